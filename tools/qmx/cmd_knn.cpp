// qmx knn FILE --k K --query x1,x2,... [--estimate COLUMN --weighting gauss|average|median|linear|biquad]
// The K nearest objects (rows) to a query point; with --estimate, the estimate of that column
// at the query from the other columns.
#include <charconv>
#include <cstdio>
#include <string>
#include <system_error>
#include <vector>

#include "command.h"
#include "csv.h"
#include "qmx/math2.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"

namespace {

using namespace qmxtool;

bool ParseList(const std::string& s, std::vector<double>& v) {
  v.clear();
  std::size_t start = 0;
  while (start <= s.size()) {
    const std::size_t end = std::min(s.find(',', start), s.size());
    double x;
    if (!ParseNumberField(s.substr(start, end - start), x)) return false;
    v.push_back(x);
    start = end + 1;
  }
  return !v.empty();
}

int Knn(const std::string& file, int k, const std::string& query, const std::string& estimate,
        const std::string& weighting) {
  NumericTable t;
  std::string err;
  if (!ReadNumericTable(InputPath(file), t, err)) return Fail(err);
  int ycol = -1;
  if (!estimate.empty() && (ycol = ResolveColumn(estimate, t.names, err)) < 0) return Fail(err);
  std::vector<std::size_t> xs;
  for (std::size_t c = 0; c < t.names.size(); ++c)
    if (static_cast<int>(c) != ycol) xs.push_back(c);
  std::vector<double> q;
  if (!ParseList(query, q)) return Fail("bad --query \"" + query + "\" (numbers separated by commas)");
  if (q.size() != xs.size())
    return Fail("the query has " + std::to_string(q.size()) + " coordinates, the data " +
                std::to_string(xs.size()) + " columns");
  const int32_t n = static_cast<int32_t>(t.rows.size()), p = static_cast<int32_t>(xs.size());
  if (n < 1 || p < 1) return Fail("no data");
  qmx::TMatrix X;
  X.Resize(p, n);
  qmx::TVector y, qv;
  y.Resize(n);
  for (int32_t r = 0; r < n; ++r) {
    for (int32_t c = 0; c < p; ++c) X.ColumnData(c + 1)[r] = t.rows[r][xs[c]];
    if (ycol >= 0) y.Data()[r] = t.rows[r][ycol];
  }
  qv.Resize(p);
  std::copy(q.begin(), q.end(), qv.Data().begin());
  const int32_t kk = std::min({k, n, 100});
  qmx::TMatrix L;
  L.Resize(2, kk);
  qmx::FindNearestNeighbors(kk, &X, 0, 0, &qv, &L);
  Report rep;
  rep.doc.Set("file", file == "-" ? "standard input" : file);
  rep.Printf("%d nearest of %d objects to (%s)%s\n\n%6s %8s %14s", kk, n, query.c_str(),
             k > kk ? " (at most 100 and the number of objects)" : "", "rank", "line", "distance");
  if (ycol >= 0) rep.Printf(" %14.14s", t.names[ycol].c_str());
  rep.Printf("\n");
  Json jn = Json::Array();
  for (int32_t i = 1; i <= kk; ++i) {
    const int32_t row = static_cast<int32_t>(L.Elem(1, i));
    if (row < 1) break;
    rep.Printf("%6d %8ld %14.6g", i, t.lines[row - 1], L.Elem(2, i));
    Json e = Json::Object();
    e.Set("line", t.lines[row - 1]);
    e.Set("distance", L.Elem(2, i));
    if (ycol >= 0) {
      rep.Printf(" %14.6g", y.Elem(row));
      e.Set("value", y.Elem(row));
    }
    rep.Printf("\n");
    jn.Push(e);
  }
  rep.doc.Set("neighbours", jn);
  if (ycol >= 0) {
    static const char* const kModes[] = {"gauss", "average", "median", "linear", "biquad"};
    int mode = 0;
    for (int m = 0; m < 5; ++m)
      if (weighting == kModes[m]) mode = m;
    double est, md;
    qmx::EstimateByKNN(&X, &y, kk, static_cast<qmx::TKnnWMode>(mode), 1.0, &qv, est, md);
    rep.Printf("\n");
    rep.doc.Set("weighting", kModes[mode]);
    rep.Value("estimate", "estimate of " + t.names[ycol] + " (" + kModes[mode] + ")", est);
    rep.Value("mean_distance", "mean neighbour distance", md);
  }
  return rep.Finish();
}

struct Options {
  std::string file, query, estimate, weighting = "gauss";
  int k = 5;
};

Runner Setup(CLI::App& app) {
  auto o = std::make_shared<Options>();
  AddFile(app, o->file);
  app.add_option("--k", o->k, "number of neighbours (default 5, at most 100)")->check(Positive());
  app.add_option("--query", o->query, "query point x1,x2,... over the data columns")->required();
  app.add_option("--estimate", o->estimate, "column to estimate (excluded from the distances)");
  app.add_option("--weighting", o->weighting, "weighting of the estimate (default gauss)")
      ->check(CLI::IsMember({"gauss", "average", "median", "linear", "biquad"}));
  return [o] { return Knn(o->file, o->k, o->query, o->estimate, o->weighting); };
}

QmxCommand reg("knn", "nearest neighbours of a point and the estimate from them", Setup);

}  // namespace
