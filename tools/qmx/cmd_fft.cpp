// qmx fft FILE [--column N] [--window NAME] [--dt T] [--peaks K] [--no-pad]: spectrum of one
// column with TFastFourier. A length that is not a power of two is padded with zeros to the
// next one (said in the output), or refused with --no-pad. Also the signal part of the demo.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "command.h"
#include "plot.h"
#include "qmx/fourier.h"
#include "qmx/math1.h"
#include "qmx/math2.h"
#include "qmx/vector.h"
#include "signal_io.h"

namespace {

using namespace qmxtool;

const std::map<std::string, qmx::TFastFourierWgtWin>& Windows() {
  static const std::map<std::string, qmx::TFastFourierWgtWin> w = {
      {"rectangle", qmx::fwRectangle},     {"triangle", qmx::fwTriangle},
      {"cos2", qmx::fwCos2},               {"gauss", qmx::fwGauss},
      {"hamming", qmx::fwHamming},         {"blackman", qmx::fwBlackman},
      {"blackman-harris", qmx::fwBlkmHarris}, {"blackman-nuttall", qmx::fwBlkmNuttall}};
  return w;
}

struct Options {
  std::string file, column, window = "rectangle";
  double dt = 1.0;
  int peaks = 5;
  bool noPad = false, linesShown = true;
};

int Spectrum(const Signal& s, const Options& o) {
  const std::size_t n0 = s.values.size();
  const std::size_t n = NextPowerOfTwo(n0);
  if (n != n0 && o.noPad)
    return Fail(std::to_string(n0) + " samples is not a power of two (the next one is " +
                std::to_string(n) + "; without --no-pad the signal is padded with zeros)");
  if (n > (1u << 23)) return Fail("at most 8388608 (2^23) samples");
  if (!(o.dt > 0)) return Fail("--dt must be positive");
  qmx::TFastFourier F;
  F.SetNumData(static_cast<int32_t>(n));
  for (std::size_t i = 0; i < n0; ++i) F.SetRealVal(static_cast<int32_t>(i + 1), s.values[i]);
  F.SetWgtWin(Windows().at(o.window));
  F.Transform();

  const int32_t half = static_cast<int32_t>(n / 2);
  Report rep;
  rep.Printf("fft of %s of %s: %zu samples", s.name.c_str(), s.file.c_str(), n);
  if (n != n0) rep.Printf(" (%zu padded with zeros to %zu)", n0, n);
  rep.Printf(", window %s, sample time %s\n", o.window.c_str(), Num(o.dt).c_str());
  rep.doc.Set("file", s.file);
  rep.doc.Set("column", s.name);
  rep.doc.Set("samples", static_cast<long>(n0));
  rep.doc.Set("size", static_cast<long>(n));
  rep.doc.Set("padded", n != n0);
  rep.doc.Set("window", o.window);
  rep.doc.Set("sample_time", o.dt);
  // Line 0 has no frequency from FreqOfLine (it starts at line 1): its frequency is 0.
  auto freq = [&](int32_t k) { return k == 0 ? 0.0 : F.FreqOfLine(k, o.dt); };
  if (o.linesShown) {
    rep.Printf("line,frequency,magnitude,power,phase\n");
    Json lines = Json::Array();
    for (int32_t k = 0; k <= half; ++k) {
      const double f = freq(k), m = F.GetMagnitude(k), p = F.GetPowerSpec(k), ph = F.GetPhase(k);
      rep.Printf("%d,%.10g,%.10g,%.10g,%.10g\n", k, f, m, p, ph);
      Json l = Json::Object();
      l.Set("line", k);
      l.Set("frequency", f);
      l.Set("magnitude", m);
      l.Set("power", p);
      l.Set("phase", ph);
      lines.Push(l);
    }
    rep.doc.Set("lines", lines);
  }
  // Peaks: lines 1..N/2 whose magnitude exceeds the left neighbour and is not below the right.
  std::vector<int32_t> pk;
  for (int32_t k = 1; k <= half; ++k) {
    const double m = F.GetMagnitude(k);
    if (m > F.GetMagnitude(k - 1) && (k == half || m >= F.GetMagnitude(k + 1))) pk.push_back(k);
  }
  std::stable_sort(pk.begin(), pk.end(), [&](int32_t a, int32_t b) {
    return F.GetMagnitude(a) > F.GetMagnitude(b);
  });
  if (pk.size() > static_cast<std::size_t>(std::max(o.peaks, 0))) pk.resize(static_cast<std::size_t>(std::max(o.peaks, 0)));
  rep.Printf("strongest peaks:\n");
  Json pj = Json::Array();
  for (int32_t k : pk) {
    rep.Printf("  line %6d  frequency %-12s magnitude %-12s phase %s\n", k, Num(freq(k)).c_str(),
               Num(F.GetMagnitude(k)).c_str(), Num(F.GetPhase(k)).c_str());
    Json p = Json::Object();
    p.Set("line", k);
    p.Set("frequency", freq(k));
    p.Set("magnitude", F.GetMagnitude(k));
    pj.Push(p);
  }
  rep.doc.Set("peaks", pj);
  if (!Output().svg.empty()) {
    plot::Figure fig("Power spectrum of " + s.name + " (" + o.window + " window)");
    plot::Panel& p = fig.AddPanel();
    std::vector<double> f, pw;
    for (int32_t k = 0; k <= half; ++k) {
      f.push_back(freq(k));
      pw.push_back(F.GetPowerSpec(k));
    }
    p.SetX("frequency", 0, freq(half));
    p.SetY("power of " + s.name);
    p.LogY();
    p.Line(f, pw, plot::Palette(0));
    std::string err;
    if (!fig.Save(Output().svg, err)) return Fail(err);
  }
  return rep.Finish();
}

Runner Setup(CLI::App& app) {
  auto o = std::make_shared<Options>();
  AddFile(app, o->file);
  AddColumn(app, o->column, "column: number from 1 or name (default: the first numeric one)");
  std::vector<std::string> names;
  for (const auto& [k, v] : Windows()) names.push_back(k);
  app.add_option("--window", o->window, "weighting window")->capture_default_str()->check(CLI::IsMember(names));
  app.add_option("--dt", o->dt, "sample time (frequencies are 1/dt units)")->capture_default_str();
  app.add_option("--peaks", o->peaks, "number of strongest peaks listed")->capture_default_str()->check(CLI::Range(0, 1000000));
  AddSvg(app)->description("write the power spectrum (logarithmic scale) as SVG");
  app.add_flag("--no-pad", o->noPad, "refuse a length that is not a power of two instead of padding it");
  return [o] {
    Signal s;
    std::string err;
    if (!ReadSignal(o->file, o->column, s, err)) return Fail(err);
    return Spectrum(s, *o);
  };
}

// The signal part of the demo: 1024 samples at 100 Hz of 1.0 sin(2 pi 5 t) + 0.5 sin(2 pi 12.5 t)
// with Gaussian noise (sd 0.3, fixed seed); its spectrum peaks and a smoothed excerpt.
int Demo() {
  std::printf("== fft, smooth: a noisy sum of sines (5 Hz, amplitude 1; 12.5 Hz, amplitude 0.5)\n");
  const int n = 1024;
  const double dt = 0.01;
  qmx::RandSeed(2026);
  qmx::TVector noise, clean, smooth;
  noise.Resize(n);
  noise.FillRandomGauss(0.0, 0.3);
  clean.Resize(n);
  Signal s;
  s.file = "the demo signal";
  s.name = "signal";
  for (int j = 0; j < n; ++j) {
    const double t = j * dt;
    clean.SetVal(j + 1, std::sin(2 * std::numbers::pi * 5 * t) + 0.5 * std::sin(2 * std::numbers::pi * 12.5 * t));
    s.values.push_back(clean.Elem(j + 1) + noise.Elem(j + 1));
  }
  Options o;
  o.window = "hamming";
  o.dt = dt;
  o.peaks = 3;
  o.linesShown = false;
  if (!DemoPlotDir().empty()) Output().svg = DemoPlotDir() + "/fft.svg";
  const int src0 = Spectrum(s, o);
  Output().svg.clear();
  if (src0) return src0;
  qmx::TVector src;
  src.Resize(n);
  std::copy(s.values.begin(), s.values.end(), src.Data().begin());
  smooth.Resize(n);
  qmx::PolynomialSmooth(&src, 1, n, &smooth, 11);
  std::printf("polynomial smoothing (window 11), samples 101 to 108:\n");
  std::printf("  %-6s %10s %10s %10s\n", "t", "noisy", "smoothed", "clean");
  for (int j = 101; j <= 108; ++j)
    std::printf("  %-6.2f %10.4f %10.4f %10.4f\n", (j - 1) * dt, src.Elem(j), smooth.Elem(j), clean.Elem(j));
  return 0;
}

QmxCommand reg("fft", "spectrum of one column: lines, magnitudes, power, phase and peaks", Setup, 70, Demo);

}  // namespace
