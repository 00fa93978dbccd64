#pragma once
// The store stamp: a random number that bookmarks carry, drawn anew whenever the store is emptied so that
// bookmarks from before no longer match.

#include <cstdint>
#include <random>

namespace vantor {

inline constexpr int32_t kMaxStoreStamp = 1073741824;

// A stamp in [0, kMaxStoreStamp] that differs from `previous`.
template <typename Generator>
int32_t DrawStoreStamp(int32_t previous, Generator& generator) {
  std::uniform_int_distribution<int32_t> draw(0, kMaxStoreStamp);
  int32_t stamp;
  do stamp = draw(generator);
  while (stamp == previous);
  return stamp;
}

}  // namespace vantor
