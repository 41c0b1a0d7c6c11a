// qmx pca FILE [--mode cov|corr] [--columns a-b] [--scores]: principal components of the numeric
// columns of a text or CSV file (objects in rows).
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <system_error>
#include <vector>

#include "command.h"
#include "csv.h"
#include "plot.h"
#include "qmx/math2.h"
#include "qmx/matrix.h"

namespace {

using namespace qmxtool;

// Largest number of variables accepted: the eigen analysis needs the square of it in memory and
// its cube in time.
constexpr std::size_t kMaxVariables = 2000;

bool ParseInt(const std::string& s, int& v) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// "a-b" or "a" (file column numbers, 1-based).
bool ParseColumns(const std::string& s, int& lo, int& hi) {
  const std::size_t dash = s.find('-');
  if (dash == std::string::npos) {
    if (!ParseInt(s, lo)) return false;
    hi = lo;
  } else if (!ParseInt(s.substr(0, dash), lo) || !ParseInt(s.substr(dash + 1), hi)) {
    return false;
  }
  return lo >= 1 && hi >= lo;
}

std::string Cut(const std::string& s, std::size_t w) { return s.size() <= w ? s : s.substr(0, w); }

// Biplot of the first two components (scores as points, loadings as arrows) and a scree plot.
int Plot(const std::string& file, const std::vector<std::string>& names, const std::vector<double>& ev,
         double total, const std::vector<std::vector<double>>& load,
         const std::vector<std::vector<double>>& sc) {
  const std::size_t p = ev.size();
  plot::Figure fig("Principal components of " + file);
  auto pct = [&](std::size_t k) { return total > 0 ? Num(100 * ev[k] / total, 3) + " %" : std::string("-"); };
  if (p >= 2) {
    plot::Panel& b = fig.AddPanel(0, 0, 0.64, 1);
    b.SetTitle("biplot");
    b.SetX("PC1 (" + pct(0) + ")");
    b.SetY("PC2 (" + pct(1) + ")");
    std::vector<double> x, y;
    double smax = 0, lmax = 0;
    for (const auto& r : sc) {
      x.push_back(r[0]);
      y.push_back(r[1]);
      smax = std::max({smax, std::fabs(r[0]), std::fabs(r[1])});
    }
    for (std::size_t v = 0; v < p; ++v) lmax = std::max({lmax, std::fabs(load[0][v]), std::fabs(load[1][v])});
    b.Markers(x, y, plot::Palette(0), "objects", 2.5);
    // Loadings drawn on the scores' scale so that both read in one picture.
    const double f = lmax > 0 && smax > 0 ? 0.8 * smax / lmax : 1.0;
    for (std::size_t v = 0; v < p; ++v)
      b.Arrow(0, 0, f * load[0][v], f * load[1][v], plot::Palette(1), names[v]);
  }
  plot::Panel& s = fig.AddPanel(p >= 2 ? 0.64 : 0, 0, 1, 1);
  s.SetTitle("scree plot");
  s.SetX("component", 0.5, p + 0.5);
  s.SetY("eigenvalue");
  std::vector<double> left, w, h, cx, cy;
  double top = 0;
  for (std::size_t k = 0; k < p; ++k) {
    left.push_back(k + 0.6);
    w.push_back(0.8);
    h.push_back(ev[k]);
    cx.push_back(k + 1.0);
    cy.push_back(ev[k]);
    top = std::max(top, ev[k]);
  }
  s.SetY("eigenvalue", 0, top > 0 ? top * 1.08 : 1);
  s.Bars(left, w, h, plot::Palette(0));
  s.Line(cx, cy, plot::Palette(1), "", 1.5);
  s.Markers(cx, cy, plot::Palette(1), "", 3);
  std::string err;
  if (!fig.Save(Output().svg, err)) return Fail(err);
  return 0;
}

int Pca(const std::string& file, const std::string& modeOpt, const std::string& columnsOpt,
        bool scores) {
  int mode;
  if (modeOpt.empty() || modeOpt == "cov")
    mode = 1;
  else if (modeOpt == "corr")
    mode = 2;
  else
    return Fail("unknown mode \"" + modeOpt + "\" (cov or corr)");
  int lo = 0, hi = 0;
  if (!columnsOpt.empty() && !ParseColumns(columnsOpt, lo, hi))
    return Fail("bad column range \"" + columnsOpt + "\" (a-b, columns numbered from 1)");

  NumericTable t;
  std::string err;
  if (!ReadNumericTable(InputPath(file), t, err)) return Fail(err);
  // Kept numeric columns, optionally restricted to file columns lo..hi (all of which must hold
  // numbers).
  std::vector<std::size_t> sel;
  for (std::size_t k = 0; k < t.fileColumns.size(); ++k)
    if (lo == 0 || (t.fileColumns[k] >= lo && t.fileColumns[k] <= hi)) sel.push_back(k);
  if (lo != 0)
    for (int c = lo; c <= hi; ++c)
      if (std::find(t.fileColumns.begin(), t.fileColumns.end(), c) == t.fileColumns.end())
        return Fail("column " + std::to_string(c) + " of \"" + file + "\" is not numeric");
  const std::size_t p = sel.size(), n = t.rows.size();
  if (p == 0) return Fail("no numeric columns in \"" + file + "\"");
  if (p > kMaxVariables)
    return Fail("too many variables (" + std::to_string(p) + ", at most " +
                std::to_string(kMaxVariables) + ")");
  if (n < 2) return Fail("at least two objects (rows) are needed");

  qmx::TMatrix data;
  data.Resize(static_cast<int32_t>(p), static_cast<int32_t>(n));
  for (std::size_t c = 0; c < p; ++c) {
    double* col = data.ColumnData(static_cast<int32_t>(c + 1));
    for (std::size_t r = 0; r < n; ++r) col[r] = t.rows[r][sel[c]];
  }
  if (!qmx::CalcPrincComp(&data, 1, static_cast<int32_t>(p), 0, 0, mode, false))
    return Fail("the eigen analysis did not converge");

  const int32_t np = static_cast<int32_t>(p);
  std::vector<double> ev(p);
  std::vector<std::vector<double>> load(p, std::vector<double>(p));
  double total = 0.0;
  for (int32_t k = 1; k <= np; ++k) {
    ev[k - 1] = qmx::GetEigenResult(k, 0);
    total += std::fabs(ev[k - 1]);
    // Eigenvectors have no sign of their own; show each with its largest element positive.
    int32_t big = 1;
    for (int32_t r = 2; r <= np; ++r)
      if (std::fabs(qmx::GetEigenResult(k, r)) > std::fabs(qmx::GetEigenResult(k, big))) big = r;
    const double sign = qmx::GetEigenResult(k, big) < 0 ? -1.0 : 1.0;
    for (int32_t r = 1; r <= np; ++r) load[k - 1][r - 1] = sign * qmx::GetEigenResult(k, r);
  }

  Report rep;
  rep.doc.Set("file", file == "-" ? "standard input" : file);
  rep.doc.Set("objects", n);
  rep.doc.Set("mode", mode == 1 ? "covariance" : "correlation");
  {
    std::vector<std::string> names;
    for (std::size_t k : sel) names.push_back(t.names[k]);
    rep.doc.Set("variables", Json::ArrayOf(names));
  }
  rep.doc.Set("eigenvalues", Json::ArrayOf(ev));
  Json jl = Json::Array();
  for (const auto& l : load) jl.Push(Json::ArrayOf(l));
  rep.doc.Set("loadings", jl);  // one array per component, over the variables
  rep.Printf("principal components of %s: %zu objects, %zu variables, %s matrix\n\n",
             file == "-" ? "standard input" : file.c_str(), n, p, mode == 1 ? "covariance" : "correlation");
  rep.Printf("%-8s %14s %10s %10s\n", "comp.", "eigenvalue", "fraction", "cumul.");
  Json jf = Json::Array();
  double cum = 0.0;
  for (std::size_t k = 0; k < p; ++k) {
    const double f = total > 0 ? ev[k] / total : 0.0;
    cum += f;
    jf.Push(f);
    rep.Printf("PC%-6zu %14.6g %10.4f %10.4f\n", k + 1, ev[k], f, cum);
  }
  rep.doc.Set("fractions", jf);
  rep.Printf("\nloadings\n%-14s", "variable");
  for (std::size_t k = 0; k < p; ++k) rep.Printf(" %9s", ("PC" + std::to_string(k + 1)).c_str());
  rep.Printf("\n");
  for (std::size_t r = 0; r < p; ++r) {
    rep.Printf("%-14s", Cut(t.names[sel[r]], 14).c_str());
    for (std::size_t k = 0; k < p; ++k) rep.Printf(" %9.4f", load[k][r]);
    rep.Printf("\n");
  }

  const bool plotting = !Output().svg.empty();
  std::vector<std::vector<double>> sc;  // scores per object, over the components
  if (scores || plotting) {
    // Scores: centred (correlation mode: standardised) data times the loadings.
    std::vector<double> mean(p, 0.0), scale(p, 1.0);
    for (std::size_t c = 0; c < p; ++c) {
      const double* col = data.ColumnData(static_cast<int32_t>(c + 1));
      for (std::size_t r = 0; r < n; ++r) mean[c] += col[r];
      mean[c] /= static_cast<double>(n);
      if (mode == 2) {
        double ss = 0.0;
        for (std::size_t r = 0; r < n; ++r) ss += (col[r] - mean[c]) * (col[r] - mean[c]);
        const double sd = std::sqrt(ss / static_cast<double>(n - 1));
        scale[c] = sd > 0 ? sd : 1.0;
      }
    }
    if (scores) {
      rep.Printf("\nscores\n%-8s", "line");
      for (std::size_t k = 0; k < p; ++k) rep.Printf(" %10s", ("PC" + std::to_string(k + 1)).c_str());
      rep.Printf("\n");
    }
    Json js = Json::Array();
    for (std::size_t r = 0; r < n; ++r) {
      if (scores) rep.Printf("%-8ld", t.lines[r]);
      Json row = Json::Array();
      sc.emplace_back();
      for (std::size_t k = 0; k < p; ++k) {
        double s = 0.0;
        for (std::size_t c = 0; c < p; ++c) s += (t.rows[r][sel[c]] - mean[c]) / scale[c] * load[k][c];
        if (scores) rep.Printf(" %10.4f", s);
        row.Push(s);
        sc.back().push_back(s);
      }
      js.Push(row);
      if (scores) rep.Printf("\n");
    }
    if (scores) rep.doc.Set("scores", js);
  }
  if (plotting) {
    std::vector<std::string> names;
    for (std::size_t k : sel) names.push_back(t.names[k]);
    if (int rc = Plot(file == "-" ? "standard input" : file, names, ev, total, load, sc)) return rc;
  }
  return rep.Finish();
}

struct Options {
  std::string file, mode, columns;
  bool scores = false;
};

Runner Setup(CLI::App& app) {
  auto o = std::make_shared<Options>();
  AddFile(app, o->file);
  app.add_option("--mode", o->mode, "cov (default): covariance matrix; corr: correlation matrix")
      ->check(CLI::IsMember({"cov", "corr"}));
  app.add_option("--columns", o->columns, "file columns a-b to analyse (default: all numeric ones)");
  app.add_flag("--scores", o->scores, "also print the scores of every object");
  AddSvg(app)->description("write a biplot of the first two components and a scree plot as SVG");
  return [o] { return Pca(o->file, o->mode, o->columns, o->scores); };
}

int Demo() {
  std::printf("== principal components of the four measurements (qmx pca iris.csv) ==\n");
  if (!DemoPlotDir().empty()) Output().svg = DemoPlotDir() + "/pca.svg";
  const int rc = Pca(DataDir() + "/iris.csv", "cov", "", false);
  Output().svg.clear();
  return rc;
}

QmxCommand reg("pca", "principal components of the numeric columns", Setup, 50, Demo);

}  // namespace
