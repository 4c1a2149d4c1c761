// The discovery result as one strict JSON object (valid UTF-8, every string escaped, no
// NaN or infinity), for --discover.
#pragma once

#include <string>
#include <string_view>

#include "brush/BrushInfo.h"

namespace quarnel {

// A JSON string literal of text, which must be valid UTF-8.
std::string JsonString(std::string_view text);
// A JSON number that reads back as the same double and always shows it is one ("10.0");
// null for NaN and the infinities, which JSON cannot carry.
std::string JsonDouble(double value);

// status is the status text as bytes ("OK" or the interpreter's message); script text is
// decoded as the window decodes it.
std::string DiscoveryJson(const std::string& status, const pavo::CBrushInfo& info);

}  // namespace quarnel
