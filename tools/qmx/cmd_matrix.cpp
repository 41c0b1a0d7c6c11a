// qmx corr, distances, invert, det: matrix commands on tables of numbers.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "command.h"
#include "csv.h"
#include "qmx/matrix.h"

namespace {

using namespace qmxtool;

// Objects in rows, variables in columns.
void ToMatrix(const NumericTable& t, qmx::TMatrix& m, std::size_t maxRows) {
  const std::size_t nr = std::min(t.rows.size(), maxRows);
  m.Resize(static_cast<int32_t>(t.names.size()), static_cast<int32_t>(nr));
  for (int32_t c = 1; c <= m.NrOfColumns(); ++c) {
    double* col = m.ColumnData(c);
    for (std::size_t r = 0; r < nr; ++r) col[r] = t.rows[r][static_cast<std::size_t>(c - 1)];
  }
  m.Changed();
}

std::string Num(double v, int digits = 6) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*g", digits, v);
  return buf;
}

std::string Cut(const std::string& s, std::size_t w) { return s.size() <= w ? s : s.substr(0, w); }

// Prints a square table with row and column labels.
void PrintTable(const std::vector<std::string>& labels, const qmx::TMatrix& m,
                const std::vector<bool>& blank, int digits) {
  std::size_t longest = 0;
  for (const auto& l : labels) longest = std::max(longest, l.size());
  const int lw = 14, cw = std::max({10, digits + 7, static_cast<int>(std::min<std::size_t>(longest, 14))});
  std::printf("%*s", lw, "");
  for (const auto& l : labels) std::printf(" %*s", cw, Cut(l, static_cast<std::size_t>(cw)).c_str());
  std::printf("\n");
  for (int32_t r = 1; r <= m.NrOfRows(); ++r) {
    std::printf("%-*s", lw, Cut(labels[static_cast<std::size_t>(r - 1)], lw).c_str());
    for (int32_t c = 1; c <= m.NrOfColumns(); ++c) {
      const bool none = blank[static_cast<std::size_t>(r - 1)] || blank[static_cast<std::size_t>(c - 1)];
      std::printf(" %*s", cw, none ? "-" : Num(m.Elem(c, r), digits).c_str());
    }
    std::printf("\n");
  }
}

int Corr(const std::string& file) {
  NumericTable t;
  std::string err;
  if (!ReadNumericTable(file, t, err, 10000000, 1000)) return Fail(err);
  if (t.rows.size() < 3) return Fail("correlation needs at least 3 rows of data");
  qmx::TMatrix m, r;
  ToMatrix(t, m, t.rows.size());
  // Columns without spread have no correlation: marked and left out of the products.
  std::vector<bool> constant(t.names.size());
  for (int32_t c = 1; c <= m.NrOfColumns(); ++c) {
    double mean, var;
    m.MeanVar(c, 1, c, m.NrOfRows(), mean, var);
    constant[static_cast<std::size_t>(c - 1)] = !(var > 0);
  }
  m.StandardizeColumns(nullptr, nullptr);
  for (int32_t c = 1; c <= m.NrOfColumns(); ++c)
    if (constant[static_cast<std::size_t>(c - 1)]) std::fill_n(m.ColumnData(c), m.NrOfRows(), 0.0);
  if (!m.Square(&r, m.NrOfRows() - 1.0)) return Fail("aborted");
  std::printf("%s: correlation of %zu columns over %zu rows\n", file.c_str(), t.names.size(),
              t.rows.size());
  PrintTable(t.names, r, constant, 4);
  return 0;
}

bool ParseMode(const std::string& s, qmx::TDistMode& mode) {
  const std::pair<const char*, qmx::TDistMode> modes[] = {
      {"euclid", qmx::dmEuclid},   {"manhattan", qmx::dmManhattan}, {"sqeuclid", qmx::dmEuclidSqr},
      {"jaccard", qmx::dmJaccard}, {"dice", qmx::dmDice}};
  for (const auto& [name, m] : modes)
    if (s == name) {
      mode = m;
      return true;
    }
  return false;
}

int Distances(const std::string& file, const std::string& modeText, const std::string& rowsText) {
  qmx::TDistMode mode = qmx::dmEuclid;
  if (!modeText.empty() && !ParseMode(modeText, mode))
    return Fail("unknown mode \"" + modeText + "\" (euclid, manhattan, sqeuclid, jaccard, dice)");
  std::size_t limit = 0;
  if (!rowsText.empty()) {
    char* end = nullptr;
    const long v = std::strtol(rowsText.c_str(), &end, 10);
    if (end == rowsText.c_str() || *end != '\0' || v < 1) return Fail("bad --rows \"" + rowsText + "\"");
    limit = static_cast<std::size_t>(v);
  }
  NumericTable t;
  std::string err;
  if (!ReadNumericTable(file, t, err)) return Fail(err);
  const std::size_t n = limit ? std::min(limit, t.rows.size()) : t.rows.size();
  constexpr std::size_t kMaxObjects = 5000;  // a 5000 x 5000 result is 200 MB
  if (n > kMaxObjects)
    return Fail("too many rows for a distance matrix (" + std::to_string(n) + ", at most " +
                std::to_string(kMaxObjects) + "); choose some with --rows N");
  qmx::TMatrix m, d;
  ToMatrix(t, m, n);
  d.Resize(static_cast<int32_t>(n), static_cast<int32_t>(n));
  if (m.CalcDistMat(mode, &d) != 0) return Fail("distance matrix could not be formed");
  std::printf("%s: %s distances of %zu rows over %zu columns\n", file.c_str(),
              qmx::DistModeId[mode], n, t.names.size());
  std::vector<std::string> labels;
  for (std::size_t i = 0; i < n; ++i) labels.push_back("line " + std::to_string(t.lines[i]));
  PrintTable(labels, d, std::vector<bool>(n, false), 4);
  return 0;
}

bool ReadSquare(const std::string& file, qmx::TMatrix& m) {
  NumericTable t;
  std::string err;
  if (!ReadNumericTable(file, t, err, 2000, 2000)) {
    Fail(err);
    return false;
  }
  if (t.rows.size() != t.names.size()) {
    Fail("\"" + file + "\" holds " + std::to_string(t.rows.size()) + " rows of " +
         std::to_string(t.names.size()) + " numbers: not a square matrix");
    return false;
  }
  ToMatrix(t, m, t.rows.size());
  return true;
}

int Invert(const std::string& file) {
  qmx::TMatrix m;
  if (!ReadSquare(file, m)) return 1;
  if (!m.Invert()) return Fail("the matrix is singular (or nearly so)");
  for (int32_t r = 1; r <= m.NrOfRows(); ++r) {
    for (int32_t c = 1; c <= m.NrOfColumns(); ++c)
      std::printf("%s%s", c > 1 ? " " : "", Num(m.Elem(c, r), 15).c_str());
    std::printf("\n");
  }
  return 0;
}

int Det(const std::string& file) {
  qmx::TMatrix m;
  if (!ReadSquare(file, m)) return 1;
  std::printf("%s\n", Num(m.Determinant(), 15).c_str());
  return 0;
}

std::string OnlyFile(const Args& args, const std::vector<std::string>& withValue, bool& ok) {
  const Args pos = Positional(args, withValue);
  ok = pos.size() == 1;
  return ok ? pos[0] : "";
}

int RunCorr(const Args& args) {
  bool ok;
  const std::string f = OnlyFile(args, {}, ok);
  return ok ? Corr(f) : Fail("usage: qmx corr FILE");
}

int RunDistances(const Args& args) {
  bool ok;
  const std::string f = OnlyFile(args, {"--mode", "--rows"}, ok);
  if (!ok) return Fail("usage: qmx distances FILE [--mode euclid|manhattan|sqeuclid|jaccard|dice] [--rows N]");
  return Distances(f, Option(args, "--mode"), Option(args, "--rows"));
}

int RunInvert(const Args& args) {
  bool ok;
  const std::string f = OnlyFile(args, {}, ok);
  return ok ? Invert(f) : Fail("usage: qmx invert FILE");
}

int RunDet(const Args& args) {
  bool ok;
  const std::string f = OnlyFile(args, {}, ok);
  return ok ? Det(f) : Fail("usage: qmx det FILE");
}

int Demo(const Args&) {
  const std::string file = DataDir() + "/iris.csv";
  std::cout << "Matrices: correlation of the four measurements, then the Euclidean distances\n"
               "between the first five flowers.\n\n";
  if (int rc = Corr(file)) return rc;
  std::cout << "\n";
  return Distances(file, "euclid", "5");
}

QmxCommand regCorr("corr", "corr FILE                 correlation matrix of the numeric columns", RunCorr,
                   20, Demo);
QmxCommand regDist("distances",
                   "distances FILE [--mode M] [--rows N]  distance matrix of the rows (M: euclid, "
                   "manhattan, sqeuclid, jaccard, dice)",
                   RunDistances);
QmxCommand regInv("invert", "invert FILE               inverse of a square matrix", RunInvert);
QmxCommand regDet("det", "det FILE                  determinant of a square matrix", RunDet);

}  // namespace
