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

// Reads one line into `line` (without its end). 0 at the end of the file, 2 when the line is
// longer than `cap` (binary data or a device without line ends), else 1.
int ReadLine(std::FILE* f, std::string& line, std::size_t cap) {
  line.clear();
  int c = std::getc(f);
  if (c == EOF) return 0;
  for (; c != EOF && c != '\n'; c = std::getc(f)) {
    if (line.size() >= cap) return 2;
    line.push_back(static_cast<char>(c));
  }
  return 1;
}

int Describe(const std::string& fileArg, const std::string& columnOpt) {
  int column = 0;  // 1-based; 0: the first column holding a number
  bool byName = false;
  if (!columnOpt.empty()) {
    auto r = std::from_chars(columnOpt.data(), columnOpt.data() + columnOpt.size(), column);
    byName = r.ec != std::errc() || r.ptr != columnOpt.data() + columnOpt.size();
    if (byName) column = 0;
    else if (column < 1) return Fail("bad column \"" + columnOpt + "\": columns are numbered from 1");
  }
  const std::string file = fileArg == "-" ? "standard input" : fileArg;
  const std::string path = InputPath(fileArg);
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return Fail("\"" + file + "\" is a directory");
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) return Fail("cannot open \"" + file + "\"");

  // One pass; only the chosen column's values are kept.
  std::vector<std::string> firstFields;
  bool haveFirst = false;
  std::size_t maxCols = 0, missing = 0;
  std::vector<double> values;
  std::vector<long> where;
  std::string line;
  long ln = 0;
  for (int rc; (rc = ReadLine(f.get(), line, 1 << 20)) != 0;) {
    ++ln;
    if (rc == 2) return Fail("line " + std::to_string(ln) + " of \"" + file + "\" is too long");
    std::vector<std::string> fields = SplitFields(line);
    if (fields.empty() || (fields.size() == 1 && fields[0].empty())) continue;
    maxCols = std::max(maxCols, fields.size());
    const bool first = !haveFirst;
    if (first) {
      haveFirst = true;
      firstFields = fields;
      if (byName) {
        std::string err;
        const int ix = ResolveColumn(columnOpt, fields, err);
        if (ix < 0) return Fail(err + " in the first line of \"" + file + "\"");
        column = ix + 1;
      }
    }
    double v;
    if (column == 0) {
      for (std::size_t c = 0; c < fields.size() && !column; ++c)
        if (ParseNumberField(fields[c], v)) column = static_cast<int>(c) + 1;
      if (column == 0) {
        if (!first) ++missing;
        continue;
      }
    }
    const auto ci = static_cast<std::size_t>(column - 1);
    if (ci < fields.size() && ParseNumberField(fields[ci], v)) {
      values.push_back(v);
      where.push_back(ln);
    } else if (!first) {
      ++missing;  // the first line may be a header
    }
  }
  if (column > 0 && static_cast<std::size_t>(column) > maxCols)
    return Fail("bad column \"" + columnOpt + "\" (the file has " + std::to_string(maxCols) +
                " column" + (maxCols == 1 ? "" : "s") + ")");
  std::string name = column > 0 ? "column " + std::to_string(column) : "";
  double dummy;
  if (column > 0 && static_cast<std::size_t>(column) <= firstFields.size() &&
      !ParseNumberField(firstFields[static_cast<std::size_t>(column - 1)], dummy))
    name += " (" + firstFields[static_cast<std::size_t>(column - 1)] + ")";
  if (values.empty())
    return Fail("no numeric data in " + (name.empty() ? "" : name + " of ") + "\"" + file + "\"");
  if (values.size() > static_cast<std::size_t>(INT32_MAX)) return Fail("too many values");

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
  rep.doc.Set("name", column > 0 && static_cast<std::size_t>(column) <= firstFields.size() &&
                              !ParseNumberField(firstFields[static_cast<std::size_t>(column - 1)], dummy)
                          ? Json(firstFields[static_cast<std::size_t>(column - 1)])
                          : Json());
  rep.doc.Set("count", n);
  rep.doc.Set("skipped", static_cast<long>(missing));
  row("count", std::to_string(n) + (missing ? "  (" + std::to_string(missing) + " non-numeric skipped)" : ""));
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
  return rep.Finish();
}

struct Options {
  std::string file, column;
};

Runner Setup(CLI::App& app) {
  auto o = std::make_shared<Options>();
  AddFile(app, o->file);
  AddColumn(app, o->column, "column to describe: number from 1 or name (default: the first numeric one)");
  return [o] { return Describe(o->file, o->column); };
}

int Demo() {
  std::cout << "== describe: petal length of the iris data (column 3)\n";
  return Describe(DataDir() + "/iris.csv", "3");
}

QmxCommand reg("describe", "descriptive statistics and a histogram of one column", Setup, 10, Demo);

}  // namespace
