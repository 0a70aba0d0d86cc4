#include "calibration/Random.h"

#include <cmath>

namespace tarnwell {

namespace {

std::uint64_t SplitMix64(std::uint64_t& x) {
  std::uint64_t z = (x += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

std::uint64_t Rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

}  // namespace

Random::Random(std::uint64_t seed) {
  for (std::uint64_t& s : s_) s = SplitMix64(seed);
}

std::uint64_t Random::Next() {
  const std::uint64_t result = Rotl(s_[1] * 5, 7) * 9;
  const std::uint64_t t = s_[1] << 17;
  s_[2] ^= s_[0];
  s_[3] ^= s_[1];
  s_[1] ^= s_[2];
  s_[0] ^= s_[3];
  s_[2] ^= t;
  s_[3] = Rotl(s_[3], 45);
  return result;
}

double Random::Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

double Random::Normal() {
  if (haveSpare_) {
    haveSpare_ = false;
    return spare_;
  }
  double u, v, s;
  do {
    u = 2 * Uniform() - 1;
    v = 2 * Uniform() - 1;
    s = u * u + v * v;
  } while (s >= 1 || s == 0);
  const double factor = std::sqrt(-2 * std::log(s) / s);
  spare_ = v * factor;
  haveSpare_ = true;
  return u * factor;
}

std::uint64_t Random::Below(std::uint64_t n) {
  // Reject the top partial block of 2^64 so that every residue is equally likely.
  const std::uint64_t limit = -n % n;  // 2^64 mod n
  std::uint64_t x;
  do x = Next();
  while (x < limit);
  return x % n;
}

}  // namespace tarnwell
