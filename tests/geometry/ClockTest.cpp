#include "geometry/Clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace pavo {
namespace {

uint32_t g_fakeNow = 0;
uint32_t FakeClock() { return g_fakeNow; }

TEST(ClockTest, InjectedSourceAndSteadyMilliseconds) {
  SetClockSource(FakeClock);
  g_fakeNow = 0xFFFFFFF0u;
  EXPECT_EQ(MilliClock(), 0xFFFFFFF0u);
  g_fakeNow = 7;
  EXPECT_EQ(MilliClock(), 7u);

  SetClockSource(nullptr);
  const uint32_t before = MilliClock();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  // Wrapping difference in milliseconds: at least the sleep, far below a second's worth of
  // microseconds or a wrong unit.
  const uint32_t elapsed = MilliClock() - before;
  EXPECT_GE(elapsed, 30u);
  EXPECT_LT(elapsed, 5000u);
}

}  // namespace
}  // namespace pavo
