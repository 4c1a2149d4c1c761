// The millisecond clock: 32 bits, wrapping, from std::chrono::steady_clock. Tests replace
// the source to place events at exact times.
#pragma once

#include <cstdint>

namespace pavo {

using ClockSource = uint32_t (*)();

uint32_t MilliClock();
// nullptr restores the steady clock.
void SetClockSource(ClockSource source);

}  // namespace pavo
