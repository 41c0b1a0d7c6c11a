// qmx dwt FILE --order K [--levels L] [--ext wrap|zero|sym] [--inverse] [--threshold T]
// Daubechies wavelet transform of one column with TWavelet1D: the coefficients (approximation
// first, then the details of each level), the reconstruction from coefficients (--inverse), or a
// hard-threshold denoise (--threshold: details below T in size set to 0, then reconstructed).
// A length that is not a power of two is padded with zeros (said on standard error).
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "command.h"
#include "qmx/wavelet.h"
#include "signal_io.h"

namespace {

using namespace qmxtool;

struct Options {
  std::string file, column, ext = "wrap";
  int order = 2, levels = 0;
  bool inverse = false, noPad = false;
  double threshold = -1;
};

int Dwt(const Options& o) {
  if (o.inverse && o.threshold >= 0) return Fail("--inverse and --threshold exclude each other");
  Signal s;
  std::string err;
  if (!ReadSignal(o.file, o.column, s, err)) return Fail(err);
  const std::size_t n0 = s.values.size(), n = NextPowerOfTwo(n0);
  if (n != n0 && o.noPad)
    return Fail(std::to_string(n0) + " samples is not a power of two (the next one is " + std::to_string(n) + ")");
  if (n > (1u << 23)) return Fail("at most 8388608 (2^23) samples");
  if (n != n0) std::fprintf(stderr, "qmx: %zu samples padded with zeros to %zu\n", n0, n);
  qmx::TWavelet1D W;
  W.SetNumData(static_cast<int32_t>(n));
  W.SetOrder(o.order);
  W.SetSigExtMode(o.ext == "wrap" ? qmx::wseWrap : o.ext == "zero" ? qmx::wseZeroPad : qmx::wseSymmetric);
  for (std::size_t i = 0; i < n0; ++i) W.SetDataVal(static_cast<int32_t>(i + 1), s.values[i]);
  int depth = 0;
  while ((std::size_t(1) << depth) < n) ++depth;
  const int levels = o.levels <= 0 ? depth : std::min(o.levels, depth);
  const int32_t N = static_cast<int32_t>(n);
  // Undoing `levels` forward levels: the blocks N / 2^(levels-1), ..., N/2, N in turn.
  auto inverse = [&] {
    for (int32_t b = N >> (levels - 1); levels > 0 && b <= N; b *= 2) W.PartialWLT(b, 0, true);
  };
  std::string label = "coefficient";
  if (o.inverse) {
    inverse();
    label = "reconstruction";
  } else {
    W.Transform(levels);
    if (o.threshold >= 0) {
      long zeroed = 0;
      for (int32_t i = (N >> levels) + 1; i <= N; ++i)
        if (std::fabs(W.GetDataVal(i)) < o.threshold) {
          W.SetDataVal(i, 0.0L);
          ++zeroed;
        }
      std::fprintf(stderr, "qmx: %ld of %d detail coefficients below %g set to 0\n", zeroed,
                   N - (N >> levels), o.threshold);
      inverse();
      label = "denoised";
    }
  }
  std::vector<double> out(n);
  for (int32_t i = 1; i <= N; ++i) out[static_cast<std::size_t>(i - 1)] = W.GetDataVal(i);
  return PrintSignalPair(s, out, label, o.threshold >= 0);
}

Runner Setup(CLI::App& app) {
  auto o = std::make_shared<Options>();
  AddFile(app, o->file);
  AddColumn(app, o->column, "column: number from 1 or name (default: the first numeric one)");
  app.add_option("--order", o->order, "order of the Daubechies wavelet: 1 (Haar), 2 or 3")
      ->required()->check(CLI::Range(1, 3));
  app.add_option("--levels", o->levels, "number of levels (default: full depth)");
  app.add_option("--ext", o->ext, "extension before the block start")->capture_default_str()
      ->check(CLI::IsMember({"wrap", "zero", "sym"}));
  app.add_flag("--inverse", o->inverse, "the column holds coefficients of --levels levels: reconstruct");
  app.add_option("--threshold", o->threshold, "hard-threshold denoise: details smaller than this are set to 0");
  app.add_flag("--no-pad", o->noPad, "refuse a length that is not a power of two instead of padding it");
  AddSvg(app)->description("with --threshold: write the signal before and after denoising as SVG");
  return [o] { return Dwt(*o); };
}

QmxCommand reg("dwt", "Daubechies wavelet transform, inverse or hard-threshold denoise of one column", Setup);

}  // namespace
