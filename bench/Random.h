// Random: the generator's own pseudo-random source (xoshiro256** seeded by SplitMix64), so that
// a seed gives the same session tree with every standard library, unlike std:: distributions.
#pragma once

#include <cstdint>

namespace nubrel::bench {

class Random {
 public:
  explicit Random(std::uint64_t seed) {
    for (std::uint64_t& word : state_) {
      seed += 0x9e3779b97f4a7c15ULL;
      std::uint64_t z = seed;
      z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
      z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
      word = z ^ (z >> 31);
    }
  }

  std::uint64_t next() {
    const std::uint64_t result = rotl(state_[1] * 5, 7) * 9;
    const std::uint64_t t = state_[1] << 17;
    state_[2] ^= state_[0];
    state_[3] ^= state_[1];
    state_[1] ^= state_[2];
    state_[0] ^= state_[3];
    state_[2] ^= t;
    state_[3] = rotl(state_[3], 45);
    return result;
  }

  // Uniform in [low, high]; the slight modulo bias does not matter for test data.
  std::int64_t between(std::int64_t low, std::int64_t high) {
    const auto span = static_cast<std::uint64_t>(high - low) + 1;
    return low + static_cast<std::int64_t>(span == 0 ? next() : next() % span);
  }

  // Uniform in [0, 1).
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

  bool chance(double probability) { return unit() < probability; }

  // A new stream for a part of the tree, so that changing one part leaves the others alone.
  Random fork() { return Random(next()); }

 private:
  static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  std::uint64_t state_[4] = {};
};

}  // namespace nubrel::bench
