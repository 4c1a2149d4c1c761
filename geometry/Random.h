// The process-wide pseudo-random generator shared by the tester's seeding, bs_grand and the
// interpreter's math.random: state = state * 22695477 + 1 (mod 2^32), a draw is
// (state >> 16) & 0x7FFF.
#pragma once

#include <cstdint>

namespace pavo {

constexpr uint32_t kRandomMax = 0x7FFF;

// Sets the state to seed and discards one draw.
void SeedRandom(uint32_t seed);
// 0 .. 32767.
uint32_t DrawRandom();
uint32_t RandomState();
void SetRandomState(uint32_t state);

}  // namespace pavo
