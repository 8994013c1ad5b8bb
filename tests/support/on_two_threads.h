#pragma once
// Cross-checks against printf are slow: `work(checker, rng)` runs on two
// threads with their own seeds, and the two checkers' results are added up.

#include <cstdint>
#include <random>
#include <thread>

namespace tavimo::testing {

template <typename Checker, typename Work>
Checker OnTwoThreads(std::uint64_t seed, Work work) {
  Checker checkers[2];
  std::thread other([&] {
    std::mt19937_64 rng(seed + 1);
    work(checkers[1], rng);
  });
  std::mt19937_64 rng(seed);
  work(checkers[0], rng);
  other.join();
  checkers[0].Add(checkers[1]);
  return checkers[0];
}

}  // namespace tavimo::testing
