// The searches' random numbers: xoshiro256** seeded through splitmix64, with uniform and
// normal variates of our own, so that one seed gives the same numbers with every compiler
// and standard library (the standard distributions are free to differ between them).
#pragma once

#include <cstdint>

namespace tarnwell {

class Random {
 public:
  explicit Random(std::uint64_t seed);
  std::uint64_t Next();
  // Uniform on [0, 1), 53 random bits.
  double Uniform();
  // Uniform on [lo, hi).
  double Uniform(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
  // Standard normal (Marsaglia's polar method: only a logarithm and a square root, both of
  // which give the same bits everywhere the C library rounds them correctly).
  double Normal();
  // Uniform integer in [0, n), n >= 1, without modulo bias.
  std::uint64_t Below(std::uint64_t n);

 private:
  std::uint64_t s_[4];
  bool haveSpare_ = false;
  double spare_ = 0;
};

}  // namespace tarnwell
