// qmx deriv FILE --order 1|2 [--window L] [--column N]: first or second derivative of one column
// per sample step from least-squares quadratic windows, printed next to the input.
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
  std::string file, column;
  int order = 1, window = 5;
};

int Deriv(const Options& o) {
  Signal s;
  std::string err;
  if (!ReadSignal(o.file, o.column, s, err)) return Fail(err);
  qmx::TVector src, dst;
  SignalVectors(s, src, dst);
  if (o.order == 1) qmx::FirstDeriv(&src, 1, src.NrOfElem(), &dst, o.window);
  else qmx::SecondDeriv(&src, 1, src.NrOfElem(), &dst, o.window);
  return PrintSignalPair(s, Values(dst), o.order == 1 ? "deriv1" : "deriv2", true, true);
}

Runner Setup(CLI::App& app) {
  auto o = std::make_shared<Options>();
  AddFile(app, o->file);
  AddColumn(app, o->column, "column: number from 1 or name (default: the first numeric one)");
  app.add_option("--order", o->order, "1 (slope) or 2 (curvature)")->required()->check(CLI::IsMember({1, 2}));
  app.add_option("--window", o->window, "odd window length, 5 to 25")->capture_default_str();
  AddSvg(app)->description("write the signal and its derivative as SVG");
  return [o] { return Deriv(*o); };
}

QmxCommand reg("deriv", "first or second derivative of one column (polynomial windows)", Setup);

}  // namespace
