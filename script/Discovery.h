// Parameter discovery: twelve fresh loads asking param1..param10, use_base and default_size.
#pragma once

#include <cstdint>
#include <string>

namespace pavo {

class CBrushInfo;
class CMangaBrush;
class CBrushStroke;

// Writes the answers into info; returns the status text (empty when the script loads,
// otherwise the interpreter's message).
std::string DiscoverScript(CBrushInfo& info);
// slot is 0..9 (param1..param10); outputs written only when the function answered.
bool QueryParam(CMangaBrush& brush, CBrushStroke& stroke, int32_t slot, std::string& label,
                int32_t& minimum, int32_t& maximum, int32_t& defaultValue);
bool QueryUseBase(CMangaBrush& brush, CBrushStroke& stroke, bool& flag);
// Outputs written only when default_size answered; the caller initialises them.
void QueryDefaultSize(CMangaBrush& brush, CBrushStroke& stroke, double& size, double& ratio);

}  // namespace pavo
