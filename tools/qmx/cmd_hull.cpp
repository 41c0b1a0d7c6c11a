// qmx hull FILE --x N --y M: the convex hull of the points (x, y) of two columns.
#include <cstdio>
#include <string>

#include "command.h"
#include "csv.h"
#include "qmx/math2.h"

namespace {

using namespace qmxtool;

int Hull(const std::string& file, const std::string& xs, const std::string& ys) {
  NumericTable t;
  std::string err;
  if (!ReadNumericTable(InputPath(file), t, err)) return Fail(err);
  const int xc = ResolveColumn(xs.empty() ? "1" : xs, t.names, err);
  if (xc < 0) return Fail(err);
  const int yc = ResolveColumn(ys.empty() ? "2" : ys, t.names, err);
  if (yc < 0) return Fail(err);
  qmx::TPDblArray pts;
  pts.reserve(t.rows.size());
  for (const auto& r : t.rows) pts.push_back({r[xc], r[yc]});
  const qmx::TPDblArray h = qmx::Convex2DHull(pts);
  Report rep;
  rep.doc.Set("file", file == "-" ? "standard input" : file);
  rep.Printf("convex hull of (%s, %s), %zu points: %zu vertices, counter-clockwise\n\n%14.14s %14.14s\n",
             t.names[xc].c_str(), t.names[yc].c_str(), pts.size(), h.size(), t.names[xc].c_str(),
             t.names[yc].c_str());
  Json jv = Json::Array();
  for (const auto& p : h) {
    rep.Printf("%14.6g %14.6g\n", p.x, p.y);
    Json v = Json::Array();
    v.Push(p.x);
    v.Push(p.y);
    jv.Push(v);
  }
  rep.doc.Set("vertices", jv);
  rep.doc.Set("count", h.size());
  rep.Printf("\n");
  rep.Value("area", "area", qmx::PolygonArea(h));
  return rep.Finish();
}

struct Options {
  std::string file, x, y;
};

Runner Setup(CLI::App& app) {
  auto o = std::make_shared<Options>();
  AddFile(app, o->file);
  AddXY(app, o->x, o->y);
  return [o] { return Hull(o->file, o->x, o->y); };
}

QmxCommand reg("hull", "convex hull of two columns: vertices, count and area", Setup);

}  // namespace
