#include "geometry/Clock.h"

#include <chrono>

namespace pavo {

namespace {

ClockSource g_clockSource = nullptr;

// Milliseconds of the steady clock, truncated to 32 bits so that differences wrap the way
// unsigned 32-bit tick arithmetic expects.
uint32_t SteadyMilliseconds() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace

uint32_t MilliClock() { return g_clockSource ? g_clockSource() : SteadyMilliseconds(); }

void SetClockSource(ClockSource source) { g_clockSource = source; }

}  // namespace pavo
