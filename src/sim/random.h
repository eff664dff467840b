// Random generator: the universal generator of Marsaglia and Zaman (RANMAR),
// lags 97 and 33 plus an arithmetic sequence, with 24-bit fractions.
// Every table entry and every result is a multiple of 2^-24 in [0, 1), so the
// float arithmetic below is exact and gives the same numbers on every build.
#pragma once

#include <cstdint>

constexpr int kRandomTableSize = 97;

struct RandomGenerator {
  float table[kRandomTableSize + 1] = {};  // U[1..97]; entry 0 is unused
  int32_t lagI = 97;
  int32_t lagJ = 33;
  float term = 0.0f;
  float termStep = 0.0f;
  float termModulus = 0.0f;
};

// Fills the table and the sequence terms from two seeds; ij above 31328 and
// kl above 30081 are clamped to those limits. Lag indices are left as they are
// (97 and 33 in a fresh generator).
void seedRandom(RandomGenerator& rng, uint32_t ij, uint32_t kl);

// Next draw in [0, 1); advances the generator by one step.
float randomUniform(RandomGenerator& rng);

// randomUniform() × n rounded to the nearest integer, halves to even; one draw.
// Result in 0 … n (n … 0 for negative n).
int32_t randomInt(RandomGenerator& rng, int32_t n);
