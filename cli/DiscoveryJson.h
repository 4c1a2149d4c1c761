// The discovery result as one strict JSON object (valid UTF-8, every string escaped, no NaN or
// infinity: those are null), for --discover.
#pragma once

#include <string>

#include "brush/BrushInfo.h"

namespace quarnel {

// status is the status text as bytes ("OK" or the interpreter's message); script text is
// decoded as the window decodes it. Keys in this order: status, count, params (slot, label,
// min, max, value each), default_size, size_slider, min_width_ratio, use_base.
std::string DiscoveryJson(const std::string& status, const pavo::CBrushInfo& info);

}  // namespace quarnel
