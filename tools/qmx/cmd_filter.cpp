// qmx filter FILE --lowpass|--highpass F [--taps N] [--window hamming|blackman|none]
// qmx filter FILE --cheb-lowpass|--cheb-highpass F --poles P --ripple R
// One column filtered with a windowed-sinc kernel or a zero-phase Chebyshev filter; frequencies
// are fractions of the sampling rate (0 to 0.5). Printed next to the input.
#include <memory>
#include <string>
#include <vector>

#include "command.h"
#include "qmx/math2.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"
#include "signal_io.h"

namespace {

using namespace qmxtool;

struct Options {
  std::string file, column, window = "blackman";
  double lowpass = -1, highpass = -1, chebLow = -1, chebHigh = -1, ripple = 0.5;
  int taps = 101, poles = 4;
};

int Filter(const Options& o) {
  const int kinds = (o.lowpass >= 0) + (o.highpass >= 0) + (o.chebLow >= 0) + (o.chebHigh >= 0);
  if (kinds != 1)
    return Fail("give exactly one of --lowpass, --highpass, --cheb-lowpass, --cheb-highpass");
  Signal s;
  std::string err;
  if (!ReadSignal(o.file, o.column, s, err)) return Fail(err);
  qmx::TVector src, dst;
  SignalVectors(s, src, dst);
  const int32_t n = src.NrOfElem();
  std::string label;
  if (o.lowpass >= 0 || o.highpass >= 0) {
    if (o.taps >= n)
      return Fail("--taps " + std::to_string(o.taps) + " needs more than " + std::to_string(o.taps) +
                  " samples (the column has " + std::to_string(n) + ")");
    const int32_t win = o.window == "hamming" ? qmx::kSincWindowHamming
                        : o.window == "blackman" ? qmx::kSincWindowBlackman : 0;
    qmx::TVector k;
    if (o.lowpass >= 0) qmx::CalcSincLPKernel(o.taps, o.lowpass, win, &k);
    else qmx::CalcSincHPKernel(o.taps, o.highpass, win, &k);
    qmx::MovingKernelFilter(&src, 1, n, &dst, &k);
    label = o.lowpass >= 0 ? "lowpass" : "highpass";
  } else {
    double a0;
    qmx::TMatrix c;
    const bool hp = o.chebHigh >= 0;
    qmx::CalcChebFilterCoeffs(o.poles, hp, hp ? o.chebHigh : o.chebLow, o.ripple, a0, &c);
    qmx::ChebychevFilter(&src, 1, n, &dst, a0, &c);
    label = hp ? "cheb_highpass" : "cheb_lowpass";
  }
  return PrintSignalPair(s, Values(dst), label);
}

Runner Setup(CLI::App& app) {
  auto o = std::make_shared<Options>();
  AddFile(app, o->file);
  AddColumn(app, o->column, "column: number from 1 or name (default: the first numeric one)");
  app.add_option("--lowpass", o->lowpass, "windowed-sinc low-pass, cutoff as a fraction of the sampling rate");
  app.add_option("--highpass", o->highpass, "windowed-sinc high-pass cutoff");
  app.add_option("--taps", o->taps, "length of the sinc kernel")->capture_default_str()->check(Positive());
  app.add_option("--window", o->window, "window of the sinc kernel")->capture_default_str()
      ->check(CLI::IsMember({"hamming", "blackman", "none"}));
  app.add_option("--cheb-lowpass", o->chebLow, "Chebyshev low-pass cutoff (zero phase)");
  app.add_option("--cheb-highpass", o->chebHigh, "Chebyshev high-pass cutoff (zero phase)");
  app.add_option("--poles", o->poles, "number of poles of the Chebyshev filter (even, 2 to 20)")->capture_default_str();
  app.add_option("--ripple", o->ripple, "pass-band ripple of the Chebyshev filter in percent (0 to 29)")->capture_default_str();
  AddSvg(app)->description("write the signal before and after filtering as SVG");
  return [o] { return Filter(*o); };
}

QmxCommand reg("filter", "low- or high-pass filter of one column (sinc kernel or Chebyshev)", Setup);

}  // namespace
