// qmx test normality|outliers|ttest|mannwhitney|anova|runs FILE ...: hypothesis tests on the
// columns of a text or CSV file (the tool's table reader; anova also takes a nominal group column).
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "command.h"
#include "plot.h"
#include "csv.h"
#include "qmx/datatable.h"
#include "qmx/statis.h"
#include "qmx/vector.h"

namespace {

using namespace qmxtool;

struct Options {
  std::string file, column = "1", x = "1", y = "2", value = "1", group = "2";
  double alpha = 0.05;
  bool paired = false, welch = false;
};

std::string Shown(const std::string& f) { return f == "-" ? "standard input" : f; }

// The values of one or two numeric columns; an error text or "".
std::string LoadColumns(const std::string& file, const std::vector<std::string>& refs,
                        std::vector<std::vector<double>>& cols, std::vector<std::string>& names) {
  NumericTable t;
  std::string err;
  if (!ReadNumericTable(InputPath(file), t, err)) return err;
  cols.assign(refs.size(), {});
  names.clear();
  for (std::size_t k = 0; k < refs.size(); ++k) {
    const long ix = KeptColumnIndex(t, refs[k], Shown(file), err);
    if (ix < 0) return err;
    names.push_back(t.names[std::size_t(ix)]);
    for (const auto& row : t.rows) cols[k].push_back(row[std::size_t(ix)]);
  }
  if (t.rows.empty()) return "no data lines in " + Shown(file);
  if (t.rows.size() > 2147483647u) return "too many values";
  return "";
}

std::unique_ptr<qmx::TVector> ToVector(const std::vector<double>& v) {
  auto r = std::make_unique<qmx::TVector>();
  r->Resize(int32_t(v.size()));
  std::copy(v.begin(), v.end(), r->Data().begin());
  return r;
}

std::string Decision(double p, double alpha) {
  return p < alpha ? "rejected at " + Num(alpha) : "not rejected at " + Num(alpha);
}

void Verdict(Report& rep, const std::string& hypothesis, double p, double alpha) {
  rep.doc.Set("alpha", alpha);
  rep.doc.Set("rejected", p < alpha);
  rep.Text("  " + hypothesis + ": " + Decision(p, alpha) + "\n");
}

int Normality(const Options& o) {
  std::vector<std::vector<double>> c;
  std::vector<std::string> nm;
  if (auto e = LoadColumns(o.file, {o.column}, c, nm); !e.empty()) return Fail(e);
  const auto& x = c[0];
  const int32_t n = int32_t(x.size());
  Report rep;
  rep.doc.Set("file", Shown(o.file));
  rep.doc.Set("column", nm[0]);
  rep.doc.Set("count", n);
  rep.Text("normality of " + nm[0] + " in " + Shown(o.file) + ", " + std::to_string(n) + " values\n");
  // Kolmogorov-Smirnov against the standard normal after standardising; Lilliefors is the same
  // statistic judged with estimated parameters.
  auto ks = ToVector(x);
  double mean, sd;
  ks->Standardize(mean, sd);
  if (!(sd > 0)) return Fail("the values have no spread: normality cannot be tested");
  const double D = qmx::PerformKSNormalityTest(ks.get(), false);
  const double pks = qmx::KSPValue(n, D);
  auto li = ToVector(x);
  const double DL = qmx::PerformLillieforsTest(li.get(), false);
  const double pl = qmx::LillieforsPValue(n, DL);
  double W = NAN, pw = NAN;
  const int32_t sw = qmx::ShapiroWilkTest(ToVector(x).get(), 0, W, pw);
  rep.Printf("  %-22s %-12s %-12s\n", "test", "statistic", "p-value");
  auto row = [&](const char* key, const char* label, double s, double p, const std::string& note) {
    Json j = Json::Object();
    j.Set("statistic", s);
    if (p >= 0 && p == p) j.Set("p", p); else j.Set("p", Json());
    rep.doc.Set(key, j);
    rep.Printf("  %-22s %-12s %-12s %s\n", label, Num(s, 6).c_str(),
               p >= 0 && p == p ? Num(p, 6).c_str() : "n/a", note.c_str());
  };
  row("kolmogorov_smirnov", "Kolmogorov-Smirnov D", D, pks, "");
  row("lilliefors", "Lilliefors D", DL, pl, pl < 0 ? "(needs 6 values)" : "");
  row("shapiro_wilk", "Shapiro-Wilk W", W, pw, sw ? "(needs 3 to 5000 values)" : "");
  const double p = sw == 0 ? pw : (pl >= 0 ? pl : pks);
  Verdict(rep, std::string("normality (") + (sw == 0 ? "Shapiro-Wilk" : (pl >= 0 ? "Lilliefors" : "Kolmogorov-Smirnov")) + ")", p, o.alpha);
  if (!Output().svg.empty()) {
    // Normal Q-Q plot: the sorted standardised values against the normal quantiles of the
    // plotting positions (i - 3/8) / (n + 1/4), with the line of a perfect fit.
    ks->SortElems(true, 1, n);
    std::vector<double> q, v;
    for (int32_t i = 1; i <= n; ++i) {
      q.push_back(qmx::nDistriQuantile((i - 0.375) / (n + 0.25)));
      v.push_back(ks->Elem(i));
    }
    plot::Figure fig("Normal Q-Q plot of " + nm[0] + " (Shapiro-Wilk W = " + Num(W, 4) + ", p = " + Num(pw, 3) + ")");
    plot::Panel& pa = fig.AddPanel();
    pa.SetX("normal quantile");
    pa.SetY(nm[0] + " (standardised)");
    const double lo = std::min(q.front(), v.front()), hi = std::max(q.back(), v.back());
    pa.Line({lo, hi}, {lo, hi}, plot::Palette(1), "normal", 1.5, true);
    pa.Markers(q, v, plot::Palette(0), "values", 3);
    std::string err;
    if (!fig.Save(Output().svg, err)) return Fail(err);
  }
  return rep.Finish();
}

int Outliers(const Options& o) {
  std::vector<std::vector<double>> c;
  std::vector<std::string> nm;
  if (auto e = LoadColumns(o.file, {o.column}, c, nm); !e.empty()) return Fail(e);
  if (!(o.alpha > 0 && o.alpha < 1)) return Fail("--alpha must lie between 0 and 1");
  auto v = ToVector(c[0]);
  const int32_t n = v->NrOfElem();
  Report rep;
  rep.doc.Set("file", Shown(o.file));
  rep.doc.Set("column", nm[0]);
  rep.doc.Set("count", n);
  rep.doc.Set("alpha", o.alpha);
  rep.Text("outliers in " + nm[0] + " of " + Shown(o.file) + ", " + std::to_string(n) + " values\n");
  auto show = [&](const char* key, const char* label, int32_t ix, double stat, double crit) {
    Json j = Json::Object();
    j.Set("statistic", stat);
    j.Set("critical", crit);
    j.Set("outlier_index", ix);
    if (ix > 0) j.Set("outlier_value", c[0][std::size_t(ix - 1)]);
    rep.doc.Set(key, j);
    rep.Printf("  %-10s statistic %-10s critical %-10s ", label, Num(stat).c_str(), Num(crit).c_str());
    if (ix > 0)
      rep.Printf("outlier: value %d (%s)\n", ix, Num(c[0][std::size_t(ix - 1)], 10).c_str());
    else
      rep.Text("no outlier\n");
  };
  try {
    double g;
    const int32_t ix = qmx::GrubbsTest(v.get(), o.alpha, g);
    show("grubbs", "Grubbs", ix, g, qmx::GrubbsCriticalValues(n, o.alpha, true));
  } catch (const qmx::EQMXStatisError& e) {
    rep.Text(std::string("  Grubbs     ") + e.what() + "\n");
  }
  // Dean-Dixon's table has fixed levels: the largest not above alpha.
  int lv = -1;
  for (int l = 0; l < 9; ++l)
    if (qmx::NumericSigLevel[l] <= o.alpha * (1 + 1e-12)) lv = l;
  if (lv < 0) {
    rep.Text("  Dean-Dixon needs alpha >= 0.001\n");
  } else {
    try {
      double r;
      const auto level = static_cast<qmx::TSignifLevelEx>(lv);
      const int32_t ix = qmx::DeanDixonTest(v.get(), level, r);
      show("dean_dixon", "Dean-Dixon", ix, r, qmx::DeanDixonCriticalValues(n, level));
      if (qmx::NumericSigLevel[lv] != o.alpha)
        rep.Text("             (at the table level " + Num(qmx::NumericSigLevel[lv]) + ")\n");
    } catch (const qmx::EQMXStatisError& e) {
      rep.Text(std::string("  Dean-Dixon ") + e.what() + "\n");
    }
  }
  return rep.Finish();
}

int TTest(const Options& o) {
  if (o.paired && o.welch) return Fail("--paired and --welch exclude each other");
  std::vector<std::vector<double>> c;
  std::vector<std::string> nm;
  if (auto e = LoadColumns(o.file, {o.x, o.y}, c, nm); !e.empty()) return Fail(e);
  const auto version = o.paired ? qmx::ttPaired : (o.welch ? qmx::ttHeteroScedastic : qmx::ttHomoScedastic);
  double t, df, m1, m2, s1, s2, se;
  int32_t st;
  auto a = ToVector(c[0]), b = ToVector(c[1]);
  const double p = qmx::Perform2SampleTTest(a.get(), b.get(), version, false, t, df, m1, m2, s1, s2, se, st);
  if (st == -1) return Fail("too few values for this t test");
  if (st == -3) return Fail("the values have no spread: t is undefined");
  if (st < 0) return Fail("the t test failed (status " + std::to_string(st) + ")");
  Report rep;
  const char* kind = o.paired ? "paired" : (o.welch ? "Welch (unequal variances)" : "equal variances");
  rep.doc.Set("file", Shown(o.file));
  rep.doc.Set("test", o.paired ? "paired" : (o.welch ? "welch" : "equal_variances"));
  rep.Text(std::string("t test, ") + kind + ": " + nm[0] + " vs " + nm[1] + "\n");
  rep.Printf("  %-10s n = %zu  mean = %s  sd = %s\n", nm[0].c_str(), c[0].size(), Num(m1, 8).c_str(), Num(s1, 8).c_str());
  rep.Printf("  %-10s n = %zu  mean = %s  sd = %s\n", nm[1].c_str(), c[1].size(), Num(m2, 8).c_str(), Num(s2, 8).c_str());
  rep.doc.Set("mean1", m1);
  rep.doc.Set("mean2", m2);
  rep.doc.Set("sd1", s1);
  rep.doc.Set("sd2", s2);
  rep.Value("t", "t", t);
  rep.Value("df", "degrees of freedom", df);
  rep.Value("std_err_diff", "std. error of difference", se);
  rep.Value("p", "p (two-sided)", p);
  Verdict(rep, "equal means", p, o.alpha);
  return rep.Finish();
}

int MannWhitney(const Options& o) {
  std::vector<std::vector<double>> c;
  std::vector<std::string> nm;
  if (auto e = LoadColumns(o.file, {o.x, o.y}, c, nm); !e.empty()) return Fail(e);
  double U;
  const double p = qmx::PerformMannWhitneyUTest(ToVector(c[0]).get(), ToVector(c[1]).get(), false, U);
  if (p < 0) return Fail("the Mann-Whitney test failed (status " + Num(p) + ")");
  Report rep;
  rep.doc.Set("file", Shown(o.file));
  rep.Text("Mann-Whitney U test: " + nm[0] + " (n = " + std::to_string(c[0].size()) + ") vs " +
           nm[1] + " (n = " + std::to_string(c[1].size()) + ")\n");
  rep.Value("U", "U", U);
  rep.Value("p", "p (two-sided)", p);
  Verdict(rep, "equal distributions", p, o.alpha);
  return rep.Finish();
}

// The value column must be numeric; the group column may hold any text (a nominal column of the
// table) or numbers. Groups are numbered by first appearance.
int Anova(const Options& o) {
  qmx::TDataTable t;
  bool header = false;
  std::string err;
  if (!ReadTable(InputPath(o.file), t, header, err)) return Fail(err);
  std::vector<std::string> names;
  for (int32_t c = 1; c <= t.NrOfColumns(); ++c)
    names.push_back(header ? t.ColName(c) : "column " + std::to_string(c));
  const int vi = ResolveColumn(o.value, names, err);
  if (vi < 0) return Fail(err);
  const int gi = ResolveColumn(o.group, names, err);
  if (gi < 0) return Fail(err);
  const int32_t vc = vi + 1, gcol = gi + 1;
  if (t.MScaleType(vc) != qmx::stInterval) return Fail("the value column " + names[std::size_t(vi)] + " is not numeric");
  const bool nominal = t.MScaleType(gcol) != qmx::stInterval;
  std::vector<double> x;
  std::vector<int32_t> g;
  std::map<std::string, int32_t> codes;
  std::vector<std::string> labels;
  const std::vector<std::string>& header_ = names;
  for (int32_t r = 1; r <= t.NrOfRows(); ++r) {
    if (t.IsEmpty(vc, r) || t.IsEmpty(gcol, r)) continue;
    const double v = t.Elem(vc, r);
    if (!t.IsNumber(vc, r) || !std::isfinite(v))
      return Fail("record " + std::to_string(r) + " of " + Shown(o.file) + " has no number in the value column");
    const double gv = t.Elem(gcol, r);
    const std::string label = nominal ? std::string(t.NominalID(gcol, int32_t(gv))) : Num(gv, 17);
    auto it = codes.find(label);
    if (it == codes.end()) {
      it = codes.emplace(label, int32_t(codes.size()) + 1).first;
      labels.push_back(label);
    }
    x.push_back(v);
    g.push_back(it->second);
  }
  if (x.empty()) return Fail("no data lines in " + Shown(o.file));
  auto xv = ToVector(x);
  qmx::TIntVector gv;
  gv.Resize(int32_t(g.size()));
  std::copy(g.begin(), g.end(), gv.Data().begin());
  double ssb, ssw, sst, F;
  int32_t dfb, dfw, dft;
  const double p = qmx::Anova1F(xv.get(), &gv, ssb, ssw, sst, dfb, dfw, dft, F);
  if (p == -1) return Fail("one group only: nothing to compare");
  if (p == -2) return Fail("as many groups as values: no variation within groups");
  if (p == -3) return Fail("all values are equal: F is undefined");
  if (p < 0) return Fail("the analysis of variance failed (status " + Num(p) + ")");
  Report rep;
  rep.doc.Set("file", Shown(o.file));
  rep.doc.Set("value", header_[std::size_t(vi)]);
  rep.doc.Set("group", header_[std::size_t(gi)]);
  rep.doc.Set("groups", Json::ArrayOf(labels));
  rep.Text("one-way analysis of variance of " + header_[std::size_t(vi)] + " by " + header_[std::size_t(gi)] +
           ": " + std::to_string(labels.size()) + " groups, " + std::to_string(x.size()) + " values\n");
  rep.Printf("  %-9s %-14s %-8s %-14s\n", "source", "sum of sq.", "df", "mean sq.");
  rep.Printf("  %-9s %-14s %-8d %-14s\n", "between", Num(ssb, 8).c_str(), dfb, Num(ssb / dfb, 8).c_str());
  rep.Printf("  %-9s %-14s %-8d %-14s\n", "within", Num(ssw, 8).c_str(), dfw, Num(ssw / dfw, 8).c_str());
  rep.Printf("  %-9s %-14s %-8d\n", "total", Num(sst, 8).c_str(), dft);
  rep.doc.Set("ss_between", ssb);
  rep.doc.Set("ss_within", ssw);
  rep.doc.Set("ss_total", sst);
  rep.doc.Set("df_between", dfb);
  rep.doc.Set("df_within", dfw);
  rep.doc.Set("df_total", dft);
  rep.Value("F", "F", F);
  rep.Value("p", "p", p);
  Verdict(rep, "equal group means", p, o.alpha);
  return rep.Finish();
}

int Runs(const Options& o) {
  std::vector<std::vector<double>> c;
  std::vector<std::string> nm;
  if (auto e = LoadColumns(o.file, {o.column}, c, nm); !e.empty()) return Fail(e);
  auto v = ToVector(c[0]);
  double q1, med, q3;
  v->Quartiles(0, 0, q1, med, q3);
  double p;
  const bool rejected = qmx::RunsTestSerial(v.get(), p);
  if (p < 0) return Fail("no median: the runs test needs numbers");
  int runs = 1, above = 0;
  for (std::size_t i = 0; i < c[0].size(); ++i) {
    above += c[0][i] > med;
    if (i > 0 && (c[0][i] > med) != (c[0][i - 1] > med)) ++runs;
  }
  Report rep;
  rep.doc.Set("file", Shown(o.file));
  rep.doc.Set("column", nm[0]);
  rep.Text("runs test of " + nm[0] + " in " + Shown(o.file) + " (runs above and not above the median)\n");
  rep.Value("median", "median", med);
  rep.doc.Set("above", above);
  rep.doc.Set("not_above", long(c[0].size()) - above);
  rep.doc.Set("runs", runs);
  rep.Printf("  %d values above, %ld not above, %d runs\n", above, long(c[0].size()) - above, runs);
  rep.Value("p", "p (one-sided, in the direction of the deviation)", p);
  rep.doc.Set("alpha", 0.05);
  rep.doc.Set("rejected", rejected);
  rep.Text(std::string("  randomness: ") + (rejected ? "rejected" : "not rejected") + " at 0.05\n");
  return rep.Finish();
}

Runner Setup(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.require_subcommand(1);
  auto* n = Subcommand(app, "normality", "Kolmogorov-Smirnov, Lilliefors and Shapiro-Wilk tests of one column");
  AddFile(*n, o->file);
  AddColumn(*n, o->column);
  n->add_option("--alpha", o->alpha, "level of significance (default 0.05)")->check(CLI::Range(0.0, 1.0));
  n->add_option("--svg", Output().svg, "write a normal Q-Q plot as SVG to this file");
  auto* out = Subcommand(app, "outliers", "Grubbs and Dean-Dixon outlier tests of one column");
  AddFile(*out, o->file);
  AddColumn(*out, o->column);
  out->add_option("--alpha", o->alpha, "level of significance (default 0.05)");
  auto* t = Subcommand(app, "ttest", "two-sample t test of two columns");
  AddFile(*t, o->file);
  AddXY(*t, o->x, o->y);
  t->add_flag("--paired", o->paired, "paired samples");
  t->add_flag("--welch", o->welch, "unequal variances (Welch)");
  t->add_option("--alpha", o->alpha, "level of significance (default 0.05)")->check(CLI::Range(0.0, 1.0));
  auto* mw = Subcommand(app, "mannwhitney", "Mann-Whitney U test of two columns");
  AddFile(*mw, o->file);
  AddXY(*mw, o->x, o->y);
  mw->add_option("--alpha", o->alpha, "level of significance (default 0.05)")->check(CLI::Range(0.0, 1.0));
  auto* an = Subcommand(app, "anova", "one-way analysis of variance of a value column by a group column");
  AddFile(*an, o->file);
  an->add_option("--value", o->value, "value column: number from 1 or name");
  an->add_option("--group", o->group, "group column (any text): number from 1 or name");
  an->add_option("--alpha", o->alpha, "level of significance (default 0.05)")->check(CLI::Range(0.0, 1.0));
  auto* r = Subcommand(app, "runs", "runs test for randomness of one column about its median");
  AddFile(*r, o->file);
  AddColumn(*r, o->column);
  return [o, n, out, t, mw, an, r]() -> int {
    if (n->parsed()) return Normality(*o);
    if (out->parsed()) return Outliers(*o);
    if (t->parsed()) return TTest(*o);
    if (mw->parsed()) return MannWhitney(*o);
    if (an->parsed()) return Anova(*o);
    if (r->parsed()) return Runs(*o);
    return Fail("qmx test needs a subcommand");
  };
}

int Demo() {
  std::cout << "== tests: normality of sepal width, and petal length by species\n";
  Options o;
  o.file = DataDir() + "/iris.csv";
  o.column = "sepal_width";
  if (!DemoPlotDir().empty()) Output().svg = DemoPlotDir() + "/qq.svg";
  const int rc = Normality(o);
  Output().svg.clear();
  if (rc) return rc;
  o.value = "petal_length";
  o.group = "species";
  return Anova(o);
}

QmxCommand reg("test", "hypothesis tests: normality, outliers, ttest, mannwhitney, anova, runs", Setup, 70, Demo);

}  // namespace
