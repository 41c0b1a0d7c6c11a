// qmx smooth FILE --method average|weighted|median|poly [--window L] [--column N]: one column
// smoothed with a sliding window, printed next to the input (CSV, or JSON with --json).
#include <memory>
#include <string>
#include <vector>

#include "command.h"
#include "qmx/math2.h"
#include "qmx/vector.h"
#include "signal_io.h"

namespace {

using namespace qmxtool;

struct Options {
  std::string file, column, method;
  int window = 5;
};

int Smooth(const Options& o) {
  Signal s;
  std::string err;
  if (!ReadSignal(o.file, o.column, s, err)) return Fail(err);
  qmx::TVector src, dst;
  SignalVectors(s, src, dst);
  const int32_t n = src.NrOfElem();
  if (o.method == "average") qmx::MovingAverageSmooth(&src, 1, n, &dst, o.window);
  else if (o.method == "weighted") qmx::WeightedAverageSmooth(&src, 1, n, &dst, o.window);
  else if (o.method == "median") qmx::MovingMedianSmooth(&src, 1, n, &dst, o.window);
  else qmx::PolynomialSmooth(&src, 1, n, &dst, o.window);
  return PrintSignalPair(s, Values(dst), o.method);
}

Runner Setup(CLI::App& app) {
  auto o = std::make_shared<Options>();
  AddFile(app, o->file);
  AddColumn(app, o->column, "column to smooth: number from 1 or name (default: the first numeric one)");
  app.add_option("--method", o->method, "average, weighted (triangular), median or poly (quadratic fit)")
      ->required()
      ->check(CLI::IsMember({"average", "weighted", "median", "poly"}));
  app.add_option("--window", o->window, "odd window length (poly: 5 to 25)")->capture_default_str();
  AddSvg(app)->description("write the signal before and after smoothing as SVG");
  return [o] { return Smooth(*o); };
}

QmxCommand reg("smooth", "smooth one column with a moving or polynomial window", Setup);

}  // namespace
