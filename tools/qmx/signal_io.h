// Shared input and output of the signal commands (fft, smooth, deriv, filter, dwt): one numeric
// column in, the input next to the result out (CSV on standard output, or JSON).
#pragma once

#include <string>
#include <vector>

#include "qmx/vector.h"

namespace qmxtool {

struct Signal {
  std::string file;  // as given ("standard input" for -)
  std::string name;  // the column's name
  std::vector<double> values;
};

// Reads column `column` (number from 1 or name; empty: the first numeric column) of FILE.
// At most maxValues values. Returns false with a message.
bool ReadSignal(const std::string& file, const std::string& column, Signal& s, std::string& err,
                std::size_t maxValues = 1 << 23);

// Prints "index,<inName>,<outName>" and one row per sample (CSV, %.17g so the result can be
// piped on without loss), or with --json {"file", "column", inName: [...], outName: [...]}.
// With --svg the pair is also plotted against the sample index: both on one panel, or (split,
// for a derivative, whose units differ) the input above and the result below.
int PrintSignalPair(const Signal& s, const std::vector<double>& out, const std::string& outName,
                    bool plotted = true, bool split = false);

// The signal in a TVector, and a destination of the same size.
void SignalVectors(const Signal& s, qmx::TVector& src, qmx::TVector& dst);
std::vector<double> Values(const qmx::TVector& v);

// Next power of two >= n (n >= 1).
std::size_t NextPowerOfTwo(std::size_t n);

}  // namespace qmxtool
