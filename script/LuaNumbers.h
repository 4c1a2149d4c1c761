// Number conversion and argument reading shared by the bs_ functions and the host.
//
// Scripts rely on integer conversion rounding to the nearest integer with halves going to the
// even neighbour (2.5 -> 2, 3.5 -> 4, -0.5 -> 0, -1.5 -> -2). The interpreter linked here
// truncates in lua_tointeger, so the host never uses it and rounds the number itself.
#pragma once

#include <lua.hpp>

#include <cmath>
#include <cstdint>

namespace pavo {

// Nearest int32 with halves to even; NaN gives 0 and values beyond the int32 range clamp to
// its ends, so no conversion ever leaves the representable range. The rounding is computed
// from the floor, independent of the floating-point rounding mode.
inline int32_t RoundToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  // The floor and its parity through int64, exact inside the int32 range; std::floor and
  // std::fmod are library calls on every argument.
  double r = static_cast<double>(static_cast<int64_t>(v));
  if (r > v) r -= 1.0;
  const double rest = v - r;  // exact for |v| < 2^31
  if (rest > 0.5 || (rest == 0.5 && (static_cast<int64_t>(r) & 1) != 0)) r += 1.0;
  if (r > 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(r);
}

// Truncation toward zero into int64 with NaN giving 0 and out-of-range values clamped.
inline int64_t TruncToInt64(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 9223372036854775807.0) return INT64_MAX;
  if (v <= -9223372036854775808.0) return INT64_MIN;
  return static_cast<int64_t>(v);
}

// Argument k (0-based) of a function taking n arguments. The arguments are the last n values
// passed (stack positions -n .. -1), so extra leading arguments are ignored. When fewer than
// n were passed the missing ones are the leading ones and read as 0: bs_grand(5) reads mean 0
// and spread 5. A value that is neither a number nor a numeric string reads as 0.
// lua_gettop and lua_tonumber never raise an interpreter error.
inline double ArgNumber(lua_State* L, int n, int k) {
  const int index = lua_gettop(L) - n + 1 + k;
  if (index < 1) return 0.0;
  return lua_tonumber(L, index);
}

// The same argument converted to an integer with RoundToInt.
inline int32_t ArgInt(lua_State* L, int n, int k) { return RoundToInt(ArgNumber(L, n, k)); }

// Low 8 bits of an integer argument (two's complement, so -1 gives 255 and 256 gives 0).
inline uint32_t LowByte(int32_t v) { return static_cast<uint32_t>(v) & 0xFFu; }

// Opaque colour 0xFF000000 + r * 65536 + g * 256 + b from the low 8 bits of each component.
inline uint32_t OpaqueColour(int32_t r, int32_t g, int32_t b) {
  return 0xFF000000u | (LowByte(r) << 16) | (LowByte(g) << 8) | LowByte(b);
}

}  // namespace pavo
