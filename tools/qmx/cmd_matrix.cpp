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

std::string Cut(const std::string& s, std::size_t w) { return s.size() <= w ? s : s.substr(0, w); }

// Rows of the matrix as JSON arrays (blank entries as null).
Json MatrixJson(const qmx::TMatrix& m, const std::vector<bool>& blank) {
  Json rows = Json::Array();
  for (int32_t r = 1; r <= m.NrOfRows(); ++r) {
    Json row = Json::Array();
    for (int32_t c = 1; c <= m.NrOfColumns(); ++c) {
      const bool none = !blank.empty() && (blank[static_cast<std::size_t>(r - 1)] ||
                                           blank[static_cast<std::size_t>(c - 1)]);
      row.Push(none ? Json() : Json(m.Elem(c, r)));
    }
    rows.Push(row);
  }
  return rows;
}

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

std::string Shown(const std::string& file) { return file == "-" ? "standard input" : file; }

int Corr(const std::string& file) {
  NumericTable t;
  std::string err;
  if (!ReadNumericTable(InputPath(file), t, err, 10000000, 1000)) return Fail(err);
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
  if (JsonOutput()) {
    Json j = Json::Object();
    j.Set("file", Shown(file));
    j.Set("rows", t.rows.size());
    j.Set("columns", Json::ArrayOf(t.names));
    j.Set("correlation", MatrixJson(r, constant));
    PrintJson(j);
    return 0;
  }
  std::printf("%s: correlation of %zu columns over %zu rows\n", Shown(file).c_str(), t.names.size(),
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

int Distances(const std::string& file, const std::string& modeText, std::size_t limit) {
  qmx::TDistMode mode = qmx::dmEuclid;
  if (!modeText.empty() && !ParseMode(modeText, mode))
    return Fail("unknown mode \"" + modeText + "\" (euclid, manhattan, sqeuclid, jaccard, dice)");
  NumericTable t;
  std::string err;
  if (!ReadNumericTable(InputPath(file), t, err)) return Fail(err);
  const std::size_t n = limit ? std::min(limit, t.rows.size()) : t.rows.size();
  constexpr std::size_t kMaxObjects = 5000;  // a 5000 x 5000 result is 200 MB
  if (n > kMaxObjects)
    return Fail("too many rows for a distance matrix (" + std::to_string(n) + ", at most " +
                std::to_string(kMaxObjects) + "); choose some with --rows N");
  qmx::TMatrix m, d;
  ToMatrix(t, m, n);
  d.Resize(static_cast<int32_t>(n), static_cast<int32_t>(n));
  if (m.CalcDistMat(mode, &d) != 0) return Fail("distance matrix could not be formed");
  std::vector<std::string> labels;
  for (std::size_t i = 0; i < n; ++i) labels.push_back("line " + std::to_string(t.lines[i]));
  if (JsonOutput()) {
    Json j = Json::Object();
    j.Set("file", Shown(file));
    j.Set("mode", qmx::DistModeId[mode]);
    j.Set("columns", t.names.size());
    Json lines = Json::Array();
    for (std::size_t i = 0; i < n; ++i) lines.Push(t.lines[i]);
    j.Set("lines", lines);
    j.Set("distances", MatrixJson(d, {}));
    PrintJson(j);
    return 0;
  }
  std::printf("%s: %s distances of %zu rows over %zu columns\n", Shown(file).c_str(),
              qmx::DistModeId[mode], n, t.names.size());
  PrintTable(labels, d, std::vector<bool>(n, false), 4);
  return 0;
}

bool ReadSquare(const std::string& file, qmx::TMatrix& m) {
  NumericTable t;
  std::string err;
  if (!ReadNumericTable(InputPath(file), t, err, 2000, 2000)) {
    Fail(err);
    return false;
  }
  if (t.rows.size() != t.names.size()) {
    Fail("\"" + Shown(file) + "\" holds " + std::to_string(t.rows.size()) + " rows of " +
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
  if (JsonOutput()) {
    Json j = Json::Object();
    j.Set("inverse", MatrixJson(m, {}));
    PrintJson(j);
    return 0;
  }
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
  const double det = m.Determinant();
  if (JsonOutput()) {
    Json j = Json::Object();
    j.Set("determinant", det);
    PrintJson(j);
    return 0;
  }
  std::printf("%s\n", Num(det, 15).c_str());
  return 0;
}

Runner FileOnly(CLI::App& app, int (*fn)(const std::string&)) {
  auto file = std::make_shared<std::string>();
  AddFile(app, *file);
  return [file, fn] { return fn(*file); };
}

struct DistOptions {
  std::string file, mode;
  std::size_t rows = 0;
};

Runner SetupDistances(CLI::App& app) {
  auto o = std::make_shared<DistOptions>();
  AddFile(app, o->file);
  app.add_option("--mode", o->mode, "distance: euclid (default), manhattan, sqeuclid, jaccard, dice")
      ->check(CLI::IsMember({"euclid", "manhattan", "sqeuclid", "jaccard", "dice"}));
  app.add_option("--rows", o->rows, "use only the first N rows")->check(Positive());
  return [o] { return Distances(o->file, o->mode, o->rows); };
}

int Demo() {
  const std::string file = DataDir() + "/iris.csv";
  std::cout << "Matrices: correlation of the four measurements, then the Euclidean distances\n"
               "between the first five flowers.\n\n";
  if (int rc = Corr(file)) return rc;
  std::cout << "\n";
  return Distances(file, "euclid", 5);
}

QmxCommand regCorr("corr", "correlation matrix of the numeric columns",
                   [](CLI::App& app) { return FileOnly(app, Corr); }, 20, Demo);
QmxCommand regDist("distances", "distance matrix of the rows", SetupDistances);
QmxCommand regInv("invert", "inverse of a square matrix",
                  [](CLI::App& app) { return FileOnly(app, Invert); });
QmxCommand regDet("det", "determinant of a square matrix",
                  [](CLI::App& app) { return FileOnly(app, Det); });

}  // namespace
