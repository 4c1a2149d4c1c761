#include "geometry/Random.h"

namespace pavo {

namespace {

// Used by the window's thread only, like every other caller of the shared generator.
uint32_t g_randomState = 1;

}  // namespace

void SeedRandom(uint32_t seed) {
  g_randomState = seed;
  DrawRandom();  // the first draw after seeding is discarded
}

uint32_t DrawRandom() {
  // state * 22695477 + 1, wrapping at 2^32 through unsigned arithmetic.
  g_randomState = g_randomState * 22695477u + 1u;
  return (g_randomState >> 16) & kRandomMax;
}

uint32_t RandomState() { return g_randomState; }

void SetRandomState(uint32_t state) { g_randomState = state; }

}  // namespace pavo
