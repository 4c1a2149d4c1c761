// Script text (labels, interpreter messages) is bytes: decoded as UTF-8 when it is valid
// UTF-8, otherwise as Shift_JIS (code page 932); any byte that is neither becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace quarnel {

// Returns valid UTF-8.
std::string DecodeScriptText(std::string_view bytes);

}  // namespace quarnel
