#include "sim/random.h"

#include <cmath>

namespace {

constexpr uint32_t kMaxSeedIJ = 31328;
constexpr uint32_t kMaxSeedKL = 30081;
constexpr int kFractionBits = 24;
constexpr float kTwoTo24 = 16777216.0f;
constexpr float kTermStart = 362436.0f / kTwoTo24;
constexpr float kTermStep = 7654321.0f / kTwoTo24;
constexpr float kTermModulus = 16777213.0f / kTwoTo24;

}  // namespace

void seedRandom(RandomGenerator& rng, uint32_t ij, uint32_t kl) {
  if (ij > kMaxSeedIJ) ij = kMaxSeedIJ;
  if (kl > kMaxSeedKL) kl = kMaxSeedKL;

  uint32_t i = (ij / 177) % 177 + 2;
  uint32_t j = ij % 177 + 2;
  uint32_t k = (kl / 169) % 178 + 1;
  uint32_t l = kl % 169;

  for (int n = 1; n <= kRandomTableSize; ++n) {
    float s = 0.0f;
    float t = 0.5f;
    for (int bit = 0; bit < kFractionBits; ++bit) {
      uint32_t m = ((i * j) % 179) * k % 179;
      i = j;
      j = k;
      k = m;
      l = (53 * l + 1) % 169;
      if ((l * m) % 64 >= 32) s += t;
      t *= 0.5f;
    }
    rng.table[n] = s;
  }
  rng.term = kTermStart;
  rng.termStep = kTermStep;
  rng.termModulus = kTermModulus;
}

float randomUniform(RandomGenerator& rng) {
  // Indices are kept in range even if a caller hands us a damaged record.
  if (rng.lagI < 1 || rng.lagI > kRandomTableSize) rng.lagI = kRandomTableSize;
  if (rng.lagJ < 1 || rng.lagJ > kRandomTableSize) rng.lagJ = 33;

  float x = rng.table[rng.lagI] - rng.table[rng.lagJ];
  if (x < 0.0f) x += 1.0f;
  rng.table[rng.lagI] = x;

  if (--rng.lagI == 0) rng.lagI = kRandomTableSize;
  if (--rng.lagJ == 0) rng.lagJ = kRandomTableSize;

  rng.term -= rng.termStep;
  if (rng.term < 0.0f) rng.term += rng.termModulus;

  x -= rng.term;
  if (x < 0.0f) x += 1.0f;
  return x;
}

int32_t randomInt(RandomGenerator& rng, int32_t n) {
  // The product is exact in double for every 24-bit draw and |n| < 2^29.
  // Halves go to even by explicit arithmetic, so the result does not depend
  // on the rounding mode that a graphics driver may leave in the FPU.
  double scaled = static_cast<double>(randomUniform(rng)) * static_cast<double>(n);
  double whole = std::floor(scaled);
  double fraction = scaled - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return static_cast<int32_t>(whole);  // |u × n| < 2^31, so it fits
}
