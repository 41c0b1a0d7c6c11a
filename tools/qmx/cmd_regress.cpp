// qmx regress FILE --y N [--x a-b] [--ridge LAMBDA]: multiple linear (or ridge) regression of one
// numeric column on others, in the layout of the common statistics packages.
// qmx pls FILE --y N --components C: SIMPLS partial least squares of the column(s) --y on the
// other numeric columns.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <system_error>
#include <vector>

#include "command.h"
#include "csv.h"
#include "qmx/math2.h"
#include "qmx/matrix.h"
#include "qmx/statis.h"
#include "qmx/vector.h"

namespace {

using namespace qmxtool;

// Columns "a-b", "a" or a name; a range is of column numbers (1-based) or names.
bool ParseColumnSet(const std::string& s, const std::vector<std::string>& names, std::vector<int>& out,
                    std::string& err) {
  out.clear();
  const std::size_t dash = s.find('-');
  if (dash == std::string::npos || dash == 0) {
    const int c = ResolveColumn(s, names, err);
    if (c < 0) return false;
    out.push_back(c);
    return true;
  }
  const int a = ResolveColumn(s.substr(0, dash), names, err);
  if (a < 0) return false;
  const int b = ResolveColumn(s.substr(dash + 1), names, err);
  if (b < 0) return false;
  for (int c = std::min(a, b); c <= std::max(a, b); ++c) out.push_back(c);
  return true;
}

const char* Stars(double p) {
  return p < 0.001 ? "***" : p < 0.01 ? "**" : p < 0.05 ? "*" : p < 0.1 ? "." : "";
}

std::string PText(double p) {
  if (!(p >= 0)) return "NA";
  if (p < 2e-16) return "< 2e-16";
  char b[32];
  std::snprintf(b, sizeof b, "%.3g", p);
  return b;
}

struct Prepared {
  NumericTable t;
  std::vector<int> ys, xs;
  qmx::TMatrix X, Y;
};

bool Prepare(const std::string& file, const std::string& yspec, const std::string& xspec, Prepared& P,
             std::string& err) {
  if (!ReadNumericTable(InputPath(file), P.t, err)) return false;
  if (!ParseColumnSet(yspec, P.t.names, P.ys, err)) return false;
  if (!xspec.empty()) {
    if (!ParseColumnSet(xspec, P.t.names, P.xs, err)) return false;
  } else {
    for (int c = 0; c < static_cast<int>(P.t.names.size()); ++c)
      if (std::find(P.ys.begin(), P.ys.end(), c) == P.ys.end()) P.xs.push_back(c);
  }
  for (int c : P.xs)
    if (std::find(P.ys.begin(), P.ys.end(), c) != P.ys.end()) {
      err = "column \"" + P.t.names[c] + "\" is both response and predictor";
      return false;
    }
  if (P.xs.empty()) {
    err = "no predictor columns";
    return false;
  }
  const int32_t n = static_cast<int32_t>(P.t.rows.size());
  P.X.Resize(static_cast<int32_t>(P.xs.size()), n);
  P.Y.Resize(static_cast<int32_t>(P.ys.size()), n);
  for (int32_t r = 0; r < n; ++r) {
    for (std::size_t c = 0; c < P.xs.size(); ++c) P.X.ColumnData(static_cast<int32_t>(c + 1))[r] = P.t.rows[r][P.xs[c]];
    for (std::size_t c = 0; c < P.ys.size(); ++c) P.Y.ColumnData(static_cast<int32_t>(c + 1))[r] = P.t.rows[r][P.ys[c]];
  }
  return true;
}

int Regress(const std::string& file, const std::string& yspec, const std::string& xspec, double ridge,
            bool ridgeGiven) {
  Prepared P;
  std::string err;
  if (!Prepare(file, yspec, xspec, P, err)) return Fail(err);
  if (P.ys.size() != 1) return Fail("--y must name one column");
  const int32_t n = P.X.NrOfRows();
  qmx::TVector y, b, se;
  y.Resize(n);
  std::copy(P.Y.ColumnData(1), P.Y.ColumnData(1) + n, y.Data().begin());
  qmx::TRegressionStats st;
  bool near = false;
  try {
    if (ridgeGiven)
      qmx::RidgeReg(&P.X, &y, ridge, &b, &se, near, &st);
    else
      qmx::MultiLinReg(&P.X, &y, &b, &se, near, &st);
  } catch (const qmx::EQMXMath2Error& e) {
    return Fail(e.what());
  }
  Report rep;
  rep.doc.Set("file", file == "-" ? "standard input" : file);
  rep.doc.Set("response", P.t.names[P.ys[0]]);
  rep.doc.Set("ridge", ridgeGiven ? ridge : 0.0);
  const std::string yname = P.t.names[P.ys[0]];
  std::string model = yname + " ~";
  for (std::size_t c = 0; c < P.xs.size(); ++c) model += (c ? " + " : " ") + P.t.names[P.xs[c]];
  rep.Printf("%s regression: %s\n%d objects%s\n\nCoefficients:\n", ridgeGiven ? "ridge" : "linear",
             model.c_str(), n, ridgeGiven ? (", lambda = " + Num(ridge)).c_str() : "");
  const int dfres = static_cast<int>(std::lround(st.DfRes));
  const bool tests = !ridgeGiven && st.DfRes > 0.5;
  if (tests)
    rep.Printf("%-14s %12s %12s %9s %10s\n", "", "Estimate", "Std. Error", "t value", "Pr(>|t|)");
  else
    rep.Printf("%-14s %12s %12s\n", "", "Estimate", "Std. Error");
  Json jc = Json::Array();
  for (int32_t j = 1; j <= b.NrOfElem(); ++j) {
    const std::string name = j == 1 ? "(Intercept)" : P.t.names[P.xs[j - 2]];
    Json e = Json::Object();
    e.Set("term", name);
    e.Set("estimate", b.Elem(j));
    e.Set("std_error", se.Elem(j));
    if (tests) {
      const double tv = se.Elem(j) > 0 ? b.Elem(j) / se.Elem(j) : NAN;
      const double pv = std::isfinite(tv) ? 2.0 * (1.0 - qmx::tDistriIntegral(std::fabs(tv), dfres)) : NAN;
      rep.Printf("%-14.14s %12.6g %12.6g %9.3f %10s %s\n", name.c_str(), b.Elem(j), se.Elem(j), tv,
                 PText(pv).c_str(), std::isfinite(pv) ? Stars(pv) : "");
      e.Set("t", tv);
      e.Set("p", pv);
    } else {
      rep.Printf("%-14.14s %12.6g %12.6g\n", name.c_str(), b.Elem(j), se.Elem(j));
    }
    jc.Push(e);
  }
  rep.doc.Set("coefficients", jc);
  if (tests) rep.Printf("---\nSignif. codes:  0 '***' 0.001 '**' 0.01 '*' 0.05 '.' 0.1 ' ' 1\n");
  if (near) rep.Printf("\n(collinear or too many predictors: %d of %zu directions kept, minimum-norm solution)\n",
                       st.Rank, P.xs.size());
  rep.Printf("\nResidual standard error: %.5g on %s degrees of freedom\n", st.ResStdErr,
             ridgeGiven ? Num(st.DfRes, 4).c_str() : std::to_string(dfres).c_str());
  rep.Printf("Multiple R-squared:  %.5g,\tAdjusted R-squared:  %.5g\n", st.RSquared, st.AdjRSquared);
  if (!ridgeGiven)
    rep.Printf("F-statistic: %.5g on %d and %d DF,  p-value: %s\n", st.FValue, st.Rank, dfres,
               PText(st.FpValue).c_str());
  else
    rep.Printf("Effective degrees of freedom of the fit: %.5g\n", st.DfReg);
  rep.doc.Set("r_squared", st.RSquared);
  rep.doc.Set("adj_r_squared", st.AdjRSquared);
  rep.doc.Set("residual_std_error", st.ResStdErr);
  rep.doc.Set("df_residual", st.DfRes);
  rep.doc.Set("df_regression", st.DfReg);
  rep.doc.Set("F", st.FValue);
  if (!ridgeGiven) rep.doc.Set("F_p", st.FpValue);
  rep.doc.Set("near_singular", near);
  return rep.Finish();
}

int Pls(const std::string& file, const std::string& yspec, int comps, bool standardize) {
  Prepared P;
  std::string err;
  if (!Prepare(file, yspec, "", P, err)) return Fail(err);
  qmx::TMatrix R, Pl, Q, T, U, B, Sc;
  qmx::TVector ex, ey;
  try {
    qmx::SimPLS(&P.X, &P.Y, comps, standardize, &R, &Pl, &Q, &T, &U, &B, &ex, &ey, &Sc);
  } catch (const qmx::EQMXMath2Error& e) {
    return Fail(e.what());
  }
  const int32_t A = ex.NrOfElem();
  Report rep;
  rep.doc.Set("file", file == "-" ? "standard input" : file);
  rep.doc.Set("components", A);
  rep.Printf("SIMPLS partial least squares, %d components, %s variables, %d objects\n\n", A,
             standardize ? "standardised" : "centred", P.X.NrOfRows());
  rep.Printf("%-6s %10s %10s %10s %10s\n", "comp.", "X var.", "cumul.", "Y var.", "cumul.");
  double cx = 0, cy = 0;
  for (int32_t a = 1; a <= A; ++a) {
    cx += ex.Elem(a);
    cy += ey.Elem(a);
    rep.Printf("%-6d %10.4f %10.4f %10.4f %10.4f\n", a, ex.Elem(a), cx, ey.Elem(a), cy);
  }
  rep.doc.Set("explained_x", Json::ArrayOf(std::vector<double>(ex.Data().begin(), ex.Data().end())));
  rep.doc.Set("explained_y", Json::ArrayOf(std::vector<double>(ey.Data().begin(), ey.Data().end())));
  rep.Printf("\ncoefficients (original units)\n%-14s", "");
  for (int y : P.ys) rep.Printf(" %12.12s", P.t.names[y].c_str());
  rep.Printf("\n");
  Json jb = Json::Object();
  for (int32_t j = 1; j <= B.NrOfRows(); ++j) {
    const std::string name = j == 1 ? "(Intercept)" : P.t.names[P.xs[j - 2]];
    rep.Printf("%-14.14s", name.c_str());
    std::vector<double> row;
    for (int32_t k = 1; k <= B.NrOfColumns(); ++k) {
      rep.Printf(" %12.6g", B.Elem(k, j));
      row.push_back(B.Elem(k, j));
    }
    rep.Printf("\n");
    jb.Set(name, Json::ArrayOf(row));
  }
  rep.doc.Set("coefficients", jb);
  rep.Printf("\nweights\n%-14s", "");
  for (int32_t a = 1; a <= A; ++a) rep.Printf(" %10s", ("comp " + std::to_string(a)).c_str());
  rep.Printf("\n");
  for (int32_t j = 1; j <= R.NrOfRows(); ++j) {
    rep.Printf("%-14.14s", P.t.names[P.xs[j - 1]].c_str());
    for (int32_t a = 1; a <= A; ++a) rep.Printf(" %10.4f", R.Elem(a, j));
    rep.Printf("\n");
  }
  return rep.Finish();
}

struct Options {
  std::string file, y, x;
  double ridge = 0;
  bool ridgeGiven = false;
  int comps = 2;
  bool standardize = false;
};

Runner SetupRegress(CLI::App& app) {
  auto o = std::make_shared<Options>();
  AddFile(app, o->file);
  app.add_option("--y", o->y, "response column: number from 1 or name")->required();
  app.add_option("--x", o->x, "predictor columns a-b (default: all other numeric columns)");
  app.add_option_function<double>("--ridge", [o](const double& l) { o->ridge = l; o->ridgeGiven = true; },
                                  "ridge parameter lambda >= 0");
  return [o] { return Regress(o->file, o->y, o->x, o->ridge, o->ridgeGiven); };
}

Runner SetupPls(CLI::App& app) {
  auto o = std::make_shared<Options>();
  AddFile(app, o->file);
  app.add_option("--y", o->y, "response column(s): number, name or range a-b")->required();
  app.add_option("--components", o->comps, "number of components (default 2)")->check(Positive());
  app.add_flag("--standardize", o->standardize, "scale the variables to unit variance");
  return [o] { return Pls(o->file, o->y, o->comps, o->standardize); };
}

int Demo() {
  std::printf("== petal width on the other measurements (qmx regress iris.csv --y petal_width) ==\n");
  return Regress(DataDir() + "/iris.csv", "petal_width", "", 0, false);
}

QmxCommand regR("regress", "multiple linear or ridge regression with coefficient tests", SetupRegress, 70, Demo);
QmxCommand regP("pls", "SIMPLS partial least squares regression", SetupPls);

}  // namespace
