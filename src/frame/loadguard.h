// Rules shared by every loader of the library: storage is allocated for what the input really
// holds, and numbers read from streams are converted without undefined behaviour.
#pragma once

#include <cstdint>
#include <limits>

namespace qmx {

// Slots a loader may create although the input does not fill them: a block saved away from
// index 1 or a one-value file still load into a small target, but a few bytes never buy a large
// store (a 20-byte file announcing one value at index 2^28 must not allocate 2 GiB).
inline constexpr int64_t kFreeLoadSlots = 4096;

// True when a store of Slots entries may be created for Filled values read from the input: it
// is small, or the input fills at least half of it.
constexpr bool LoadAllocationBacked(int64_t Slots, int64_t Filled) noexcept {
  if (Slots < 0 || Filled < 0) return false;
  return Slots <= kFreeLoadSlots || Slots - Filled <= Filled;
}

// An 80-bit extended float as a double, rounded to nearest: values that round beyond the double
// range become infinities explicitly (the plain conversion is undefined there); NaN stays NaN.
inline double ExtendedToDouble(long double V) noexcept {
  // Halfway between DBL_MAX and 2^1024; ties go to the even neighbour, the infinity.
  constexpr long double kOverflow = 0x1p1024L - 0x1p970L;
  if (V >= kOverflow) return std::numeric_limits<double>::infinity();
  if (V <= -kOverflow) return -std::numeric_limits<double>::infinity();
  return static_cast<double>(V);
}

}  // namespace qmx
