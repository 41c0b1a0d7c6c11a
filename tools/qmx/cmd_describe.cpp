// qmx describe FILE [--column N|NAME]: descriptive statistics of one column of a text or CSV file.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "command.h"
#include "csv.h"
#include "plot.h"
#include "qmx/datatable.h"
#include "qmx/vector.h"

namespace {

using namespace qmxtool;

// Bin width 1, 2 or 5 times a power of ten, near range / bins.
double NiceWidth(double range, int bins) {
  double raw = range / bins;
  double p = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * p >= raw) return m * p;
  return 10 * p;
}

// A nominal or ordinal column: its identifiers with their counts.
int DescribeCategories(const std::string& file, const qmx::TDataTable& t, int32_t c, const std::string& name) {
  Report rep;
  rep.Printf("%s: %s, %s\n", file.c_str(), name.c_str(), qmx::MScaleTypeNames[t.MScaleType(c)]);
  rep.doc.Set("file", file);
  rep.doc.Set("column", c);
  rep.doc.Set("name", t.ColName(c));
  rep.doc.Set("scale", qmx::MScaleTypeNames[t.MScaleType(c)]);
  std::vector<long> counts(qmx::kMaxNominalIDs + 1, 0);
  long other = 0;
  const int32_t valid = t.CountValidCells(c, 1, c, t.NrOfRows());
  for (int32_t r = 1; r <= t.NrOfRows(); ++r) {
    if (!t.IsNumber(c, r)) continue;
    const double k = t.Elem(c, r);
    if (k >= 1 && k <= qmx::kMaxNominalIDs) ++counts[static_cast<std::size_t>(k)];
    else ++other;
  }
  const int32_t empty = t.CountEmptyCells(c, 1, c, t.NrOfRows());
  rep.Printf("  %-25s %d%s\n", "count", valid,
             empty ? ("  (" + std::to_string(empty) + " empty skipped)").c_str() : "");
  rep.doc.Set("count", valid);
  rep.doc.Set("empty", empty);
  rep.Printf("  frequencies\n");
  Json freq = Json::Object();
  for (int32_t k = 1; k <= qmx::kMaxNominalIDs; ++k) {
    if (counts[k] == 0) continue;
    const std::string id = t.NominalID(c, k);
    rep.Printf("    %-12s %6ld  %5.1f%%\n", id.c_str(), counts[k], valid ? 100.0 * counts[k] / valid : 0.0);
    freq.Set(id, counts[k]);
  }
  if (other) rep.Printf("    %-12s %6ld\n", "(no identifier)", other);
  rep.doc.Set("frequencies", freq);
  return rep.Finish();
}

int Describe(const std::string& fileArg, const std::string& columnOpt) {
  const std::string file = fileArg == "-" ? "standard input" : fileArg;
  qmx::TDataTable t;
  bool header = false;
  std::string err;
  if (!ReadTable(InputPath(fileArg), t, header, err)) {
    if (fileArg == "-") err = "standard input: " + err;
    return Fail(err);
  }
  int32_t column = 0;  // 1-based; 0: the first numeric column
  if (!columnOpt.empty()) {
    std::vector<std::string> names;
    for (int32_t c = 1; c <= t.NrOfColumns(); ++c) names.push_back(header ? t.ColName(c) : "");
    const int ix = ResolveColumn(columnOpt, names, err);
    if (ix < 0) return Fail(err + " in \"" + file + "\"");
    column = ix + 1;
    if (column > t.NrOfColumns())
      return Fail("bad column \"" + columnOpt + "\" (the file has " + std::to_string(t.NrOfColumns()) + " column" +
                  (t.NrOfColumns() == 1 ? "" : "s") + ")");
  } else {
    for (int32_t c = 1; c <= t.NrOfColumns() && !column; ++c)
      if (t.MScaleType(c) == qmx::stInterval && t.CountNumCells(c, 1, c, t.NrOfRows()) > 0) column = c;
    if (column == 0) column = 1;
  }
  std::string name = "column " + std::to_string(column);
  if (header) name += " (" + t.ColName(column) + ")";
  if (t.MScaleType(column) != qmx::stInterval) return DescribeCategories(file, t, column, name);

  std::vector<double> values;
  std::vector<long> where;
  for (int32_t r = 1; r <= t.NrOfRows(); ++r)
    if (t.IsNumber(column, r) && std::isfinite(t.Elem(column, r))) {
      values.push_back(t.Elem(column, r));
      where.push_back(r + (header ? 1 : 0));
    }
  const long missing = static_cast<long>(t.NrOfRows()) - static_cast<long>(values.size());
  if (values.empty()) return Fail("no numeric data in " + name + " of \"" + file + "\"");
  const int32_t emptyCells = t.CountEmptyCells(column, 1, column, t.NrOfRows());

  qmx::TVector vec;
  const auto n = static_cast<int32_t>(values.size());
  vec.Resize(n);
  std::copy(values.begin(), values.end(), vec.Data().begin());

  double mean, var, skew, kurt, mn, mx, q1, q2, q3;
  int32_t mnIx, mxIx;
  vec.MeanVar(0, 0, mean, var);
  vec.SkewKurtSample(0, 0, skew, kurt);
  vec.MinMax(0, 0, mn, mx, mnIx, mxIx);
  vec.Quartiles(0, 0, q1, q2, q3);

  Report rep;
  auto row = [&rep](const std::string& label, const std::string& value) {
    rep.Printf("  %-25s %s\n", label.c_str(), value.c_str());
  };
  rep.Printf("%s: %s\n", file.c_str(), name.c_str());
  rep.doc.Set("file", file);
  rep.doc.Set("column", column);
  rep.doc.Set("name", header ? Json(t.ColName(column)) : Json());
  rep.doc.Set("count", n);
  rep.doc.Set("skipped", missing);
  rep.doc.Set("empty", emptyCells);
  row("count", std::to_string(n) + (missing ? "  (" + std::to_string(emptyCells) + " empty cells" +
                                                  (missing > emptyCells ? ", " + std::to_string(missing - emptyCells) +
                                                                              " other non-finite" : "") +
                                                  " skipped)"
                                            : ""));
  row("mean", Num(mean));
  rep.doc.Set("mean", mean);
  if (n >= 3) {
    row("variance", Num(var));
    row("standard deviation", Num(std::sqrt(var)));
    rep.doc.Set("variance", var);
    rep.doc.Set("std_dev", std::sqrt(var));
  } else {
    row("variance", "n/a (needs 3 values)");
  }
  if (n >= 4) {
    row("skewness (sample)", Num(skew));
    row("excess kurtosis (sample)", Num(kurt));
    rep.doc.Set("skewness", skew);
    rep.doc.Set("excess_kurtosis", kurt);
  } else {
    row("skewness, kurtosis", "n/a (need 4 values)");
  }
  const long mnLine = where[static_cast<std::size_t>(mnIx - 1)];
  const long mxLine = where[static_cast<std::size_t>(mxIx - 1)];
  row("minimum", Num(mn) + "  (value " + std::to_string(mnIx) + ", line " + std::to_string(mnLine) + ")");
  row("maximum", Num(mx) + "  (value " + std::to_string(mxIx) + ", line " + std::to_string(mxLine) + ")");
  rep.doc.Set("minimum", mn);
  rep.doc.Set("minimum_line", mnLine);
  rep.doc.Set("maximum", mx);
  rep.doc.Set("maximum_line", mxLine);
  row("quartiles Q1 Q2 Q3", Num(q1) + "  " + Num(q2) + "  " + Num(q3));
  rep.doc.Set("quartiles", Json::ArrayOf(std::vector<double>{q1, q2, q3}));
  std::string pct;
  Json pj = Json::Object();
  for (double p : {5.0, 10.0, 90.0, 95.0}) {
    const double v = vec.Percentile(p, 0, 0);
    pct.append("P").append(Num(p)).append("=").append(Num(v)).append("  ");
    pj.Set(Num(p), v);
  }
  row("percentiles", pct);
  rep.doc.Set("percentiles", pj);
  const double mode = vec.Mode(0, 0);
  row("mode", Num(mode));
  rep.doc.Set("mode", mode);
  if (mn >= 0) {
    const double g = vec.GeometricMean(0, 0);
    row("geometric mean", Num(g));
    rep.doc.Set("geometric_mean", g);
  } else {
    row("geometric mean", "n/a (negative values)");
  }
  if (mn > 0) {
    const double h = vec.HarmonicMean(0, 0);
    row("harmonic mean", Num(h));
    rep.doc.Set("harmonic_mean", h);
  } else {
    row("harmonic mean", "n/a (values <= 0)");
  }

  // Histogram: about 1 + log2(n) bins of a 1-2-5 width starting at a multiple of the width.
  const int want = std::clamp(static_cast<int>(std::ceil(std::log2(double(n)))) + 1, 1, 30);
  const double width = mx > mn ? NiceWidth(mx - mn, want) : 1.0;
  const double first = std::floor(mn / width) * width;
  // A range beyond the double range gives an infinite width and no bins at all.
  const bool binnable = std::isfinite(width) && std::isfinite(first) &&
                        std::isfinite(first + (want + 2) * width);
  const int bins =
      binnable ? std::max(1, static_cast<int>(std::floor((mx - first) / width)) + 1) : 0;
  qmx::TIntVector histo;
  int32_t under, over, maxCnt;
  if (binnable && vec.Histogram(1, n, first, first + bins * width, width, &histo, under, over, maxCnt) &&
      maxCnt > 0) {
    rep.Printf("  histogram (bin width %s)\n", Num(width).c_str());
    Json hj = Json::Object();
    hj.Set("first", first);
    hj.Set("width", width);
    Json counts = Json::Array();
    for (int32_t b = 1; b <= histo.NrOfElem(); ++b) {
      const int32_t c = histo.Elem(b);
      counts.Push(c);
      const int bar = static_cast<int>(std::lround(40.0 * c / maxCnt));
      rep.Printf("    [%10s, %10s) %6d %s\n", Num(first + (b - 1) * width).c_str(),
                 Num(first + b * width).c_str(), c, std::string(static_cast<std::size_t>(bar), '#').c_str());
    }
    hj.Set("counts", counts);
    hj.Set("below", under);
    hj.Set("above", over);
    rep.doc.Set("histogram", hj);
    if (under || over) rep.Printf("    outside the bins: %d below, %d above\n", under, over);
  }
  if (!Output().svg.empty()) {
    const std::string label = name.empty() ? "value" : name;
    plot::Figure fig("Distribution of " + label + " (" + std::to_string(n) + " values)");
    plot::Panel& h = fig.AddPanel(0, 0, 1, 0.8);
    plot::Panel& b = fig.AddPanel(0, 0.8, 1, 1);
    double lo = mn, hi = mx;
    if (histo.NrOfElem() > 0) {
      std::vector<double> left, w, c;
      for (int32_t k = 1; k <= histo.NrOfElem(); ++k) {
        left.push_back(first + (k - 1) * width);
        w.push_back(width);
        c.push_back(histo.Elem(k));
      }
      h.Bars(left, w, c, plot::Palette(0));
      lo = first;
      hi = first + histo.NrOfElem() * width;
    }
    h.SetX("", lo, hi);
    h.SetY("count", 0, std::max(1, maxCnt) * 1.08);
    b.SetX(label, lo, hi);
    b.SetY("", 0, 2);
    b.NoYTicks();
    b.BoxPlot(1, 0.5, q1, q2, q3, mn, mx, {}, plot::Palette(0));
    std::string err;
    if (!fig.Save(Output().svg, err)) return Fail(err);
  }
  return rep.Finish();
}

struct Options {
  std::string file, column;
};

Runner Setup(CLI::App& app) {
  auto o = std::make_shared<Options>();
  AddFile(app, o->file);
  AddColumn(app, o->column, "column to describe: number from 1 or name (default: the first numeric one)");
  AddSvg(app)->description("write a histogram with a box plot (whiskers at the extremes) as SVG");
  return [o] { return Describe(o->file, o->column); };
}

int Demo() {
  std::cout << "== describe: petal length of the iris data (column 3)\n";
  if (!DemoPlotDir().empty()) Output().svg = DemoPlotDir() + "/describe.svg";
  const int rc = Describe(DataDir() + "/iris.csv", "3");
  Output().svg.clear();
  return rc;
}

QmxCommand reg("describe", "descriptive statistics and a histogram of one column", Setup, 10, Demo);

}  // namespace
