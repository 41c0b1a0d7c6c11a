// Internal pieces of the radix-2 transform, shared by TFastFourier, its tests and benchmarks.
#pragma once

#include <cstdint>
#include <vector>

namespace qmx::fourier {

// Twiddle factors of every stage by the recurrence, for n samples and direction dir (+1 or -1):
// stage h (h = 1, 2, 4, ..., n/2) holds w_0..w_{h-1} at complex positions h - 1 .. 2h - 2,
// real parts in re and imaginary parts in im, each value twice (re[2p] = re[2p + 1]).
// The bit-reversal permutation: for sizes up to one cache block (8192) as the source index of
// every position (rev) with a work copy of the samples (scratch), larger as the list of index
// pairs to swap (swaps).
struct TTwiddles {
  std::vector<double> re, im;
  std::vector<uint32_t> swaps, rev;
  mutable std::vector<double> scratch;
};
void BuildTwiddles(int32_t n, int32_t dir, TTwiddles& tw);
// Bit-reversal permutation of n interleaved complex values.
void BitReverse(double* x, int32_t n);
// Bit reversal and all butterfly stages with a table from BuildTwiddles (no scaling).
void FFTWithTwiddles(double* x, int32_t n, const TTwiddles& tw);

}  // namespace qmx::fourier
