// qmx fit FILE --model M: curve fit of y against x.
// qmx bivar FILE: bivariate and rank statistics of two columns.
// FILE holds two numeric columns, or more columns (the tool's table reader: CSV, semicolons, TABs
// or blanks, optional header line) from which --x N --y M pick two (1-based). A file ending in
// ".asc" is read as an ASC file of pairs.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "command.h"
#include "csv.h"
#include "qmx/asc.h"
#include "qmx/math2.h"

namespace {

using namespace qmxtool;
using qmx::TCurveFit;

bool ToNumber(const std::string& field, double& v) { return ParseNumberField(field, v); }

bool ParseColumn(const Args& args, const std::string& opt, int def, int& col) {
  const std::string s = Option(args, opt);
  if (s.empty()) {
    col = def;
    return true;
  }
  const auto r = std::from_chars(s.data(), s.data() + s.size(), col);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && col >= 1;
}

// Loads the pairs; returns an error text or "".
std::string Load(const std::string& file, const Args& args, TCurveFit& cf) {
  if (file.size() > 4 && file.compare(file.size() - 4, 4, ".asc") == 0) {
    const int32_t rc = cf.ImportASC(file);
    return rc == 0 ? "" : "cannot read ASC file " + file + " (code " + std::to_string(rc) + ")";
  }
  int cx, cy;
  if (!ParseColumn(args, "--x", 1, cx) || !ParseColumn(args, "--y", 2, cy))
    return "--x and --y take column numbers from 1";
  NumericTable t;
  std::string err;
  if (!ReadNumericTable(file, t, err)) return err;
  auto index = [&](int col) {
    for (std::size_t i = 0; i < t.fileColumns.size(); ++i)
      if (t.fileColumns[i] == col) return static_cast<long>(i);
    return -1L;
  };
  const long ix = index(cx), iy = index(cy);
  if (ix < 0 || iy < 0)
    return "column " + std::to_string(ix < 0 ? cx : cy) + " of " + file + " is not numeric";
  for (const auto& row : t.rows) cf.EnterStatValue(row[std::size_t(ix)], row[std::size_t(iy)]);
  if (cf.NumData() == 0) return "no data lines in " + file;
  return "";
}

std::string Num(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

void Show(const std::string& name, double v) { std::cout << "  " << name << " = " << Num(v) << "\n"; }

int RunFit(const Args& argsIn) {
  Args args = argsIn;
  const std::string model = Option(args, "--model", "lin");
  int order = 0;
  if (model == "poly" || model == "centered") {
    // The order is the word after the model name; it is taken out of the positional words.
    std::string o;
    for (std::size_t i = 0; i + 2 < args.size(); ++i)
      if (args[i] == "--model") {
        o = args[i + 2];
        args.erase(args.begin() + std::ptrdiff_t(i) + 2);
        break;
      }
    const auto r = std::from_chars(o.data(), o.data() + o.size(), order);
    if (o.empty() || r.ec != std::errc() || r.ptr != o.data() + o.size() || order < 0 ||
        order > 50)
      return Fail("--model " + model + " needs an order from 0 to 50");
  }
  const Args pos = Positional(args, {"--model", "--at", "--x", "--y", "--smooth"});
  if (pos.empty()) return Fail("usage: qmx fit FILE --model MODEL [--at X]");
  double at = 0;
  const std::string atText = Option(args, "--at");
  const bool haveAt = !atText.empty();
  if (haveAt && !ToNumber(atText, at)) return Fail("--at needs a number");
  TCurveFit cf;
  if (auto err = Load(pos[0], args, cf); !err.empty()) return Fail(err);

  double k0 = 0, k1 = 0, k2 = 0, q = 0, value = 0;
  std::cout << "fit of " << pos[0] << ", " << cf.NumData() << " pairs, model " << model << "\n";
  if (model == "lin") {
    cf.CalcLinFit(k1, k0, q);
    std::cout << "y = k*x + d\n";
    Show("k", k1);
    Show("d", k0);
    value = k1 * at + k0;
  } else if (model == "parabola" || model == "gauss" || model == "hoerl") {
    if (model == "parabola") {
      cf.CalcParabolFit(k0, k1, k2, q);
      std::cout << "y = k0 + k1*x + k2*x^2\n";
      value = k0 + at * (k1 + at * k2);
    } else if (model == "gauss") {
      cf.CalcGaussFit(k0, k1, k2, q);
      std::cout << "y = k0*exp(-(x - k1)^2/k2)\n";
      value = k2 != 0 ? k0 * std::exp(-(at - k1) * (at - k1) / k2) : 0.0;
    } else {
      cf.CalcHoerlFit(k0, k1, k2, q);
      std::cout << "y = k0*k1^x*x^k2\n";
      value = k0 * std::pow(k1, at) * std::pow(at, k2);
    }
    Show("k0", k0);
    Show("k1", k1);
    Show("k2", k2);
  } else if (model == "poly" || model == "centered") {
    std::vector<double> k(std::size_t(order) + 1);
    bool ns = false, ok;
    double shift = 0;
    if (model == "poly") {
      ok = cf.CalcPolyFit(uint8_t(order), k, q, ns);
      std::cout << "y = sum k_i*x^i\n";
    } else {
      ok = cf.CalcCenteredPolyFit(uint8_t(order), k, shift, q, ns);
      std::cout << "y = sum k_i*(x - xshift)^i\n";
      Show("xshift", shift);
    }
    if (!ok) return Fail("the least-squares solver failed");
    if (ns) std::cout << "  (near singular: some directions were dropped)\n";
    for (int i = order; i >= 0; --i) value = value * (at - shift) + k[std::size_t(i)];
    for (int i = 0; i <= order; ++i) {
      std::string name = "k";
      name += std::to_string(i);
      Show(name, k[std::size_t(i)]);
    }
  } else if (model == "circle") {
    double r, dx, dy;
    cf.CalcCircleFit(r, dx, dy);
    std::cout << "(x - dx)^2 + (y - dy)^2 = r^2\n";
    Show("r", r);
    Show("dx", dx);
    Show("dy", dy);
    if (haveAt) std::cout << "  (--at does not apply to a circle)\n";
    return 0;
  } else if (model == "spline") {
    const std::string sm = Option(args, "--smooth");
    if (sm.empty()) {
      std::cout << "interpolating natural cubic spline\n";
      value = cf.CubicSpline(at);
      q = 1.0;
    } else {
      double p;
      if (!ToNumber(sm, p)) return Fail("--smooth needs a number from 0 to 1");
      cf.SetSplineSmoothing(p);
      bool valid;
      value = cf.SmoothedSpline(at, q, valid);
      std::cout << "smoothing spline, factor " << Num(p) << (valid ? "" : " (not valid)") << "\n";
    }
  } else {
    struct M2 {
      const char* name;
      const char* formula;
      void (TCurveFit::*fit)(double&, double&, double&) const;
    };
    static const M2 models[] = {
        {"recilin", "y = 1/(k0 + k1*x)", &TCurveFit::CalcReciLinFit},
        {"hyperbol", "y = k0 + k1/x", &TCurveFit::CalcHyperbolFit},
        {"recihyperbol", "y = x/(k0*x + k1)", &TCurveFit::CalcReciHyperbolFit},
        {"log", "y = k0 + k1*ln(x)", &TCurveFit::CalcLogFit},
        {"recilog", "y = 1/(k0 + k1*ln(x))", &TCurveFit::CalcReciLogFit},
        {"power", "y = k0*x^k1", &TCurveFit::CalcPowerFit},
        {"exp", "y = k0*exp(k1*x)", &TCurveFit::CalcExponentialFit},
    };
    const M2* m = nullptr;
    for (const auto& c : models)
      if (model == c.name) m = &c;
    if (!m) return Fail("unknown model \"" + model + "\"");
    (cf.*(m->fit))(k0, k1, q);
    std::cout << m->formula << "\n";
    Show("k0", k0);
    Show("k1", k1);
    const std::string n = m->name;
    value = n == "recilin"        ? 1 / (k0 + k1 * at)
            : n == "hyperbol"     ? k0 + k1 / at
            : n == "recihyperbol" ? at / (k0 * at + k1)
            : n == "log"          ? k0 + k1 * std::log(at)
            : n == "recilog"      ? 1 / (k0 + k1 * std::log(at))
            : n == "power"        ? k0 * std::pow(at, k1)
                                  : k0 * std::exp(k1 * at);
  }
  Show("fit quality (R^2)", q);
  if (haveAt) std::cout << "  y(" << Num(at) << ") = " << Num(value) << "\n";
  return 0;
}

int RunBivar(const Args& args) {
  const Args pos = Positional(args, {"--x", "--y"});
  if (pos.empty()) return Fail("usage: qmx bivar FILE [--x N --y M]");
  TCurveFit cf;
  if (auto err = Load(pos[0], args, cf); !err.empty()) return Fail(err);
  int32_t n;
  double mx, my, sx, sy, md, sd, r;
  cf.CalcStatistics(n, mx, my, sx, sy, md, sd, r);
  std::cout << "bivariate statistics of " << pos[0] << ", " << n << " pairs\n";
  std::cout << "            x               y\n";
  auto row = [](const char* name, double a, double b) {
    std::printf("%-9s %-15s %-15s\n", name, Num(a).c_str(), Num(b).c_str());
  };
  row("mean", mx, my);
  row("std.dev.", sx, sy);
  row("min", cf.MinX(), cf.MinY());
  row("max", cf.MaxX(), cf.MaxY());
  double a1, a2, a3, b1, b2, b3;
  cf.QuartilesX(a1, a2, a3);
  cf.QuartilesY(b1, b2, b3);
  row("q1", a1, b1);
  row("median", a2, b2);
  row("q3", a3, b3);
  row("skewness", cf.SkewnessX(), cf.SkewnessY());
  row("kurtosis", cf.KurtosisX(), cf.KurtosisY());
  std::cout << std::flush;
  double p;
  const double tau = cf.KendallsTau(p);
  Show("mean of x - y", md);
  Show("std.dev. of x - y", sd);
  Show("Pearson r", r);
  Show("Spearman rho", cf.GetSpearman());
  std::cout << "  Kendall tau-b = " << Num(tau) << " (p = " << Num(p) << ")\n";
  Show("Goodman-Kruskal gamma", cf.GetKruskalGamma());
  return 0;
}

int Demo(const Args&) {
  const std::string file = qmxtool::DataDir() + "/iris.csv";
  std::cout << "== curve fitting: petal width against petal length (linear fit)\n";
  return RunFit({file, "--x", "3", "--y", "4", "--model", "lin", "--at", "5"});
}

QmxCommand regFit("fit",
                  "fit FILE --model lin|parabola|poly N|centered N|circle|gauss|hoerl|recilin|"
                  "hyperbol|recihyperbol|log|recilog|power|exp|spline [--smooth P] [--at X] "
                  "[--x N --y M]",
                  RunFit, 60, Demo);
QmxCommand regBivar("bivar", "bivar FILE [--x N --y M]  bivariate and rank statistics", RunBivar);

}  // namespace
