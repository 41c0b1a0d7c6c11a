// qmx fit FILE --model M: curve fit of y against x.
// qmx bivar FILE: bivariate and rank statistics of two columns.
// FILE holds two numeric columns, or more columns (the tool's table reader: CSV, semicolons, TABs
// or blanks, optional header line) from which --x N --y M pick two (1-based). A file ending in
// ".asc" is read as an ASC file of pairs.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "command.h"
#include "csv.h"
#include "plot.h"
#include "qmx/asc.h"
#include "qmx/math1.h"
#include "qmx/math2.h"

namespace {

using namespace qmxtool;
using qmx::TCurveFit;

struct Options {
  std::string file, model = "lin", x = "1", y = "2";
  std::string xName, yName;  // the columns' names, once loaded (for plots)
  int order = -1;
  double at = 0;
  bool haveAt = false;
  double smooth = -1;
};

// Loads the pairs; returns an error text or "".
std::string Load(Options& o, TCurveFit& cf) {
  const std::string& file = o.file;
  if (file.size() > 4 && file.compare(file.size() - 4, 4, ".asc") == 0) {
    const int32_t rc = cf.ImportASC(file);
    return rc == 0 ? "" : "cannot read ASC file " + file + " (code " + std::to_string(rc) + ")";
  }
  NumericTable t;
  std::string err;
  if (!ReadNumericTable(InputPath(file), t, err)) return err;
  const long ix = KeptColumnIndex(t, o.x, file, err);
  if (ix < 0) return err;
  const long iy = KeptColumnIndex(t, o.y, file, err);
  if (iy < 0) return err;
  o.xName = t.names[std::size_t(ix)];
  o.yName = t.names[std::size_t(iy)];
  for (const auto& row : t.rows) cf.EnterStatValue(row[std::size_t(ix)], row[std::size_t(iy)]);
  if (cf.NumData() == 0) return "no data lines in " + file;
  return "";
}

// Scatter of the pairs with the fitted curve; with the model, a residual panel below.
int SavePlot(const Options& o, const TCurveFit& cf, const std::string& what,
             const std::vector<double>& cx, const std::vector<double>& cy,
             const std::function<double(double)>* model) {
  const std::string xn = o.xName.empty() ? "x" : o.xName, yn = o.yName.empty() ? "y" : o.yName;
  plot::Figure fig(yn + " against " + xn + ": " + what);
  plot::Panel& p = fig.AddPanel(0, 0, 1, model ? 0.72 : 1);
  std::vector<double> x, y, res;
  for (int32_t i = 1; i <= cf.NumData(); ++i) {
    x.push_back(cf.DataX(i));
    y.push_back(cf.DataY(i));
    if (model) res.push_back(cf.DataY(i) - (*model)(cf.DataX(i)));
  }
  p.SetX(model ? "" : xn);
  p.SetY(yn);
  p.Markers(x, y, plot::Palette(0), "data");
  if (!cx.empty()) p.Line(cx, cy, plot::Palette(1), "fit", 2);
  if (model) {
    plot::Panel& r = fig.AddPanel(0, 0.72, 1, 1);
    r.SetX(xn);
    r.SetY("residual");
    r.HorizontalRule(0, "#555555");
    r.Markers(x, res, plot::Palette(0), "", 2.5);
  }
  std::string err;
  if (!fig.Save(Output().svg, err)) return Fail(err);
  return 0;
}

int RunFit(Options& o) {
  const std::string& model = o.model;
  const int order = o.order;
  if ((model == "poly" || model == "centered") && order < 0)
    return Fail("--model " + model + " needs --order N (0 to 50)");
  const double at = o.at;
  const bool haveAt = o.haveAt;
  TCurveFit cf;
  if (auto err = Load(o, cf); !err.empty()) return Fail(err);

  Report rep;
  auto Show = [&rep](const std::string& name, double v) { rep.Value(name, name, v); };
  double k0 = 0, k1 = 0, k2 = 0, q = 0;
  std::function<double(double)> curve;  // the fitted model, for --at and the plot
  const std::string shown = o.file == "-" ? "standard input" : o.file;
  rep.doc.Set("file", shown);
  rep.doc.Set("pairs", cf.NumData());
  rep.doc.Set("model", model);
  rep.Text("fit of " + shown + ", " + std::to_string(cf.NumData()) + " pairs, model " + model + "\n");
  auto formula = [&rep](const std::string& f) {
    rep.doc.Set("formula", f);
    rep.Text(f + "\n");
  };
  if (model == "lin") {
    cf.CalcLinFit(k1, k0, q);
    formula("y = k*x + d");
    Show("k", k1);
    Show("d", k0);
    curve = [=](double x) { return k1 * x + k0; };
  } else if (model == "parabola" || model == "gauss" || model == "hoerl") {
    if (model == "parabola") {
      cf.CalcParabolFit(k0, k1, k2, q);
      formula("y = k0 + k1*x + k2*x^2");
      curve = [=](double x) { return k0 + x * (k1 + x * k2); };
    } else if (model == "gauss") {
      cf.CalcGaussFit(k0, k1, k2, q);
      formula("y = k0*exp(-(x - k1)^2/k2)");
      curve = [=](double x) { return k2 != 0 ? k0 * std::exp(-(x - k1) * (x - k1) / k2) : 0.0; };
    } else {
      cf.CalcHoerlFit(k0, k1, k2, q);
      formula("y = k0*k1^x*x^k2");
      curve = [=](double x) { return k0 * std::pow(k1, x) * std::pow(x, k2); };
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
      formula("y = sum k_i*x^i");
    } else {
      ok = cf.CalcCenteredPolyFit(uint8_t(order), k, shift, q, ns);
      formula("y = sum k_i*(x - xshift)^i");
      Show("xshift", shift);
    }
    if (!ok) return Fail("the least-squares solver failed");
    rep.doc.Set("near_singular", ns);
    if (ns) rep.Text("  (near singular: some directions were dropped)\n");
    curve = [k, order, shift](double x) { return qmx::CenteredPolynomial(k, order, x, shift); };
    for (int i = 0; i <= order; ++i) {
      std::string name = "k";
      name += std::to_string(i);
      Show(name, k[std::size_t(i)]);
    }
  } else if (model == "circle") {
    double r, dx, dy;
    cf.CalcCircleFit(r, dx, dy);
    formula("(x - dx)^2 + (y - dy)^2 = r^2");
    Show("r", r);
    Show("dx", dx);
    Show("dy", dy);
    if (haveAt) rep.Text("  (--at does not apply to a circle)\n");
    if (!Output().svg.empty()) {
      std::vector<double> cx, cy;
      for (int i = 0; i <= 200; ++i) {
        cx.push_back(dx + r * std::cos(i * M_PI / 100));
        cy.push_back(dy + r * std::sin(i * M_PI / 100));
      }
      if (int rc = SavePlot(o, cf, "circle fit", cx, cy, nullptr)) return rc;
    }
    return rep.Finish();
  } else if (model == "spline") {
    if (o.smooth < 0) {
      formula("interpolating natural cubic spline");
      curve = [&cf](double x) { return cf.CubicSpline(x); };
      q = 1.0;
    } else {
      const double p = o.smooth;
      cf.SetSplineSmoothing(p);
      bool valid;
      cf.SmoothedSpline(at, q, valid);
      curve = [&cf](double x) {
        double qq;
        bool v;
        return cf.SmoothedSpline(x, qq, v);
      };
      rep.doc.Set("smoothing", p);
      rep.doc.Set("valid", valid);
      formula("smoothing spline, factor " + Num(p, 10) + (valid ? "" : " (not valid)"));
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
    formula(m->formula);
    Show("k0", k0);
    Show("k1", k1);
    const std::string n = m->name;
    curve = [=](double x) {
      return n == "recilin"        ? 1 / (k0 + k1 * x)
             : n == "hyperbol"     ? k0 + k1 / x
             : n == "recihyperbol" ? x / (k0 * x + k1)
             : n == "log"          ? k0 + k1 * std::log(x)
             : n == "recilog"      ? 1 / (k0 + k1 * std::log(x))
             : n == "power"        ? k0 * std::pow(x, k1)
                                   : k0 * std::exp(k1 * x);
    };
  }
  rep.doc.Set("fit_quality", q);
  rep.Text("  fit quality (R^2) = " + Num(q, 10) + "\n");
  if (haveAt) {
    const double value = curve(at);
    rep.doc.Set("at", at);
    rep.doc.Set("value", value);
    rep.Text("  y(" + Num(at, 10) + ") = " + Num(value, 10) + "\n");
  }
  if (!Output().svg.empty()) {
    std::vector<double> cx, cy;
    const double lo = cf.MinX(), hi = cf.MaxX();
    for (int i = 0; i <= 300; ++i) {
      const double x = lo + (hi - lo) * i / 300.0;
      cx.push_back(x);
      cy.push_back(curve(x));
    }
    if (int rc = SavePlot(o, cf, model + " fit, R\u00b2 = " + Num(q, 4), cx, cy, &curve)) return rc;
  }
  return rep.Finish();
}

int RunBivar(Options& o) {
  TCurveFit cf;
  if (auto err = Load(o, cf); !err.empty()) return Fail(err);
  int32_t n;
  double mx, my, sx, sy, md, sd, r;
  cf.CalcStatistics(n, mx, my, sx, sy, md, sd, r);
  Report rep;
  const std::string shown = o.file == "-" ? "standard input" : o.file;
  rep.doc.Set("file", shown);
  rep.doc.Set("pairs", n);
  rep.Text("bivariate statistics of " + shown + ", " + std::to_string(n) + " pairs\n");
  rep.Text("            x               y\n");
  Json jx = Json::Object(), jy = Json::Object();
  auto row = [&](const char* name, double a, double b) {
    jx.Set(name, a);
    jy.Set(name, b);
    rep.Printf("%-9s %-15s %-15s\n", name, Num(a, 10).c_str(), Num(b, 10).c_str());
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
  rep.doc.Set("x", jx);
  rep.doc.Set("y", jy);
  double p;
  const double tau = cf.KendallsTau(p);
  rep.Value("mean_difference", "mean of x - y", md);
  rep.Value("std_dev_difference", "std.dev. of x - y", sd);
  rep.Value("pearson_r", "Pearson r", r);
  rep.Value("spearman_rho", "Spearman rho", cf.GetSpearman());
  rep.doc.Set("kendall_tau_b", tau);
  rep.doc.Set("kendall_p", p);
  rep.Text("  Kendall tau-b = " + Num(tau, 10) + " (p = " + Num(p, 10) + ")\n");
  rep.Value("goodman_kruskal_gamma", "Goodman-Kruskal gamma", cf.GetKruskalGamma());
  if (!Output().svg.empty()) {
    double k, d, q;
    cf.CalcLinFit(k, d, q);
    const std::function<double(double)> line = [k, d](double x) { return k * x + d; };
    const std::vector<double> cx{cf.MinX(), cf.MaxX()}, cy{line(cf.MinX()), line(cf.MaxX())};
    if (int rc = SavePlot(o, cf, "r = " + Num(r, 4) + ", least-squares line", cx, cy, &line)) return rc;
  }
  return rep.Finish();
}

void AddPairOptions(CLI::App& app, Options& o) {
  AddFile(app, o.file, "text/CSV file (- reads standard input), or an ASC file of pairs (.asc)");
  AddXY(app, o.x, o.y);
  AddSvg(app)->description("write the scatter with the fitted curve and a residual panel as SVG");
}

Runner SetupFit(CLI::App& app) {
  auto o = std::make_shared<Options>();
  AddPairOptions(app, *o);
  app.add_option("--model", o->model,
                 "lin (default), parabola, poly, centered, circle, gauss, hoerl, recilin, hyperbol, "
                 "recihyperbol, log, recilog, power, exp, spline")
      ->check(CLI::IsMember({"lin", "parabola", "poly", "centered", "circle", "gauss", "hoerl",
                             "recilin", "hyperbol", "recihyperbol", "log", "recilog", "power", "exp",
                             "spline"}));
  app.add_option("--order", o->order, "order of the poly and centered models")->check(CLI::Range(0, 50));
  app.add_option_function<double>(
      "--at", [o](const double& v) { o->at = v; o->haveAt = true; }, "evaluate the fit at this x");
  app.add_option("--smooth", o->smooth, "spline smoothing factor from 0 to 1")->check(CLI::Range(0.0, 1.0));
  return [o] { return RunFit(*o); };
}

Runner SetupBivar(CLI::App& app) {
  auto o = std::make_shared<Options>();
  AddPairOptions(app, *o);
  return [o] { return RunBivar(*o); };
}

int Demo() {
  std::cout << "== curve fitting: petal width against petal length (linear fit)\n";
  Options o;
  o.file = qmxtool::DataDir() + "/iris.csv";
  o.x = "3";
  o.y = "4";
  o.at = 5;
  o.haveAt = true;
  if (!DemoPlotDir().empty()) Output().svg = DemoPlotDir() + "/fit.svg";
  const int rc = RunFit(o);
  Output().svg.clear();
  return rc;
}

QmxCommand regFit("fit", "curve fit of one column against another", SetupFit, 60, Demo);
QmxCommand regBivar("bivar", "bivariate and rank statistics of two columns", SetupBivar);

}  // namespace
