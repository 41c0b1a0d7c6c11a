// qmx som FILE [--size 10x10] [--steps N] [--alpha A] [--radius R] [--cyclic] [--standardize]
//              [--seed S] [--save MAP.xml]: trains a self-organising map on the numeric columns
//              and prints its hit counts per cell (and the majority label when the file has a
//              text column).
// qmx som apply MAP.xml FILE: best-matching cell and squared distance of every row.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "command.h"
#include "plot.h"
#include "csv.h"
#include "qmx/kohonen.h"

namespace {

using namespace qmxtool;

// Largest map accepted: the training time grows with the cell count times the data size.
constexpr int kMaxCells = 1000000;

struct Options {
  std::string file, size = "10x10", save, map, applyFile;
  int steps = 200, radius = 2;
  double alpha = 1.0;
  bool cyclic = false, standardize = false, seedGiven = false;
  uint64_t seed = 0;
};

bool ParseSize(const std::string& s, int& nx, int& ny) {
  const std::size_t p = s.find_first_of("xX");
  if (p == std::string::npos) return false;
  const char* b = s.data();
  auto r1 = std::from_chars(b, b + p, nx);
  auto r2 = std::from_chars(b + p + 1, b + s.size(), ny);
  return r1.ec == std::errc() && r1.ptr == b + p && r2.ec == std::errc() && r2.ptr == b + s.size() &&
         nx >= 1 && ny >= 1 && static_cast<long long>(nx) * ny <= kMaxCells;
}

std::string Shown(const std::string& file) { return file == "-" ? "standard input" : file; }

// The first text column of the data lines (its file column, its name and each row's text); -1
// when every column holds numbers.
struct Labels {
  int column = -1;
  std::string name;
  std::vector<std::string> text;
};

// The first text column gives the labels of the objects.
Labels ReadLabels(const NumericTable& t) {
  Labels l;
  if (t.texts.empty()) return l;
  l.column = t.textColumns[0] - 1;
  l.name = t.textNames[0];
  l.text = t.texts[0];
  return l;
}

bool ReadData(const std::string& file, NumericTable& t, qmx::TMatrix& data, std::string& err) {
  if (!ReadNumericTable(InputPath(file), t, err)) return false;
  if (t.names.empty() || t.rows.empty()) {
    err = "no numeric data in \"" + Shown(file) + "\"";
    return false;
  }
  const std::size_t p = t.names.size(), n = t.rows.size();
  data.Resize(static_cast<int32_t>(p), static_cast<int32_t>(n));
  for (std::size_t c = 0; c < p; ++c) {
    double* col = data.ColumnData(static_cast<int32_t>(c + 1));
    for (std::size_t r = 0; r < n; ++r) col[r] = t.rows[r][c];
  }
  return true;
}

std::string Cut(const std::string& s, std::size_t w) { return s.size() <= w ? s : s.substr(0, w); }

int Train(const Options& o) {
  int nx, ny;
  if (!ParseSize(o.size, nx, ny))
    return Fail("bad map size \"" + o.size + "\" (COLSxROWS, e.g. 10x10, at most " + std::to_string(kMaxCells) +
                " cells)");
  NumericTable t;
  qmx::TMatrix data;
  std::string err;
  if (!ReadData(o.file, t, data, err)) return Fail(err);
  const Labels labels = ReadLabels(t);

  qmx::TKohonen som;
  som.SetTrainData(&data);
  som.SetSizeX(nx);
  som.SetSizeY(ny);
  som.SetCyclic(o.cyclic);
  som.SetNrOfTrnSteps(o.steps);
  som.SetInitialAlpha(o.alpha);
  som.SetInitialNeighbors(o.radius);
  som.SetComment("trained on " + Shown(o.file));
  if (o.standardize) som.StandardizeData();
  if (o.seedGiven) qmx::RandSeed(o.seed);
  // The progress line goes to a terminal only, so redirected output stays clean.
  const bool tty = isatty(STDERR_FILENO) == 1;
  int shown = -1;
  if (tty)
    som.OnFeedback = [&](qmx::TObject*, int32_t pct) {
      if (pct == shown) return;
      shown = pct;
      std::fprintf(stderr, "\rtraining: epoch %d of %d (%d%%)", som.CurStep(), std::max(o.steps - 1, 1), pct);
      std::fflush(stderr);
    };
  som.Trainit();
  if (tty) std::fprintf(stderr, "\r\033[K");
  if (!o.save.empty() && !som.SaveAsXMLFile(o.save, "som"))
    return Fail("cannot write the map to \"" + o.save + "\"");

  // Hits, labels and distances of the training objects (in the units the map was trained in).
  std::vector<std::vector<int>> hits(static_cast<std::size_t>(nx), std::vector<int>(static_cast<std::size_t>(ny), 0));
  std::vector<std::vector<std::map<std::string, int>>> votes(
      static_cast<std::size_t>(nx), std::vector<std::map<std::string, int>>(static_cast<std::size_t>(ny)));
  qmx::TVector v;
  v.Resize(static_cast<int32_t>(t.names.size()));
  double sum = 0.0;
  for (std::size_t r = 0; r < t.rows.size(); ++r) {
    for (std::size_t c = 0; c < t.names.size(); ++c) v.SetVal(static_cast<int32_t>(c + 1), t.rows[r][c]);
    int32_t bx = 0, by = 0;
    double d = 0.0;
    som.ApplyIt(&v, bx, by, d);
    if (bx < 1) continue;
    sum += d;
    ++hits[static_cast<std::size_t>(bx - 1)][static_cast<std::size_t>(by - 1)];
    if (labels.column >= 0) ++votes[static_cast<std::size_t>(bx - 1)][static_cast<std::size_t>(by - 1)][labels.text[r]];
  }
  auto majority = [&](int x, int y) {
    std::string best;
    int n = 0;
    for (const auto& [name, count] : votes[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)])
      if (count > n) {
        n = count;
        best = name;
      }
    return best;
  };

  Report rep;
  rep.doc.Set("file", Shown(o.file));
  rep.doc.Set("objects", t.rows.size());
  rep.doc.Set("variables", Json::ArrayOf(t.names));
  rep.doc.Set("sizex", nx);
  rep.doc.Set("sizey", ny);
  rep.doc.Set("cyclic", o.cyclic);
  rep.doc.Set("standardized", o.standardize);
  rep.doc.Set("steps", o.steps);
  rep.doc.Set("mean_squared_distance", sum / static_cast<double>(t.rows.size()));
  Json jh = Json::Array(), jl = Json::Array();
  for (int y = 0; y < ny; ++y) {
    std::vector<int> row;
    std::vector<std::string> lab;
    for (int x = 0; x < nx; ++x) {
      row.push_back(hits[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)]);
      lab.push_back(majority(x, y));
    }
    jh.Push(Json::ArrayOf(row));
    jl.Push(Json::ArrayOf(lab));
  }
  rep.doc.Set("hits", jh);  // one array per map row y, over x
  if (labels.column >= 0) {
    rep.doc.Set("label_column", labels.name);
    rep.doc.Set("majority", jl);
  }
  if (!o.save.empty()) rep.doc.Set("saved", o.save);

  rep.Printf("self-organising map of %s: %zu objects, %zu variables%s, %d x %d %s map, %d steps\n",
             Shown(o.file).c_str(), t.rows.size(), t.names.size(), o.standardize ? " (standardised)" : "", nx, ny,
             o.cyclic ? "cyclic" : "flat", o.steps);
  rep.Printf("mean squared distance to the best cell: %.6g\n", sum / static_cast<double>(t.rows.size()));
  rep.Printf("\nhits per cell (x across, y down)\n%5s", "");
  for (int x = 1; x <= nx; ++x) rep.Printf(" %5d", x);
  rep.Printf("\n");
  for (int y = 0; y < ny; ++y) {
    rep.Printf("%5d", y + 1);
    for (int x = 0; x < nx; ++x) rep.Printf(" %5d", hits[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)]);
    rep.Printf("\n");
  }
  if (labels.column >= 0) {
    std::size_t w = 1;
    for (int x = 0; x < nx; ++x)
      for (int y = 0; y < ny; ++y) w = std::max(w, std::min<std::size_t>(majority(x, y).size(), 12));
    rep.Printf("\nmajority %s per cell (. = no object)\n%5s", labels.name.c_str(), "");
    for (int x = 1; x <= nx; ++x) rep.Printf(" %*d", static_cast<int>(w), x);
    rep.Printf("\n");
    for (int y = 0; y < ny; ++y) {
      rep.Printf("%5d", y + 1);
      for (int x = 0; x < nx; ++x) {
        const std::string m = majority(x, y);
        rep.Printf(" %*s", static_cast<int>(w), m.empty() ? "." : Cut(m, w).c_str());
      }
      rep.Printf("\n");
    }
  }
  if (!o.save.empty()) rep.Printf("\nmap saved to %s\n", o.save.c_str());
  if (!Output().svg.empty()) {
    // Two heat maps: the hits per cell, and each cell's mean weight distance to its 4 neighbours
    // (in the trained units; the map wraps when it is cyclic), where high values mark borders.
    const qmx::TMat3D& w = som.KohMat();
    const int32_t nv = som.NrOfInSens();
    auto between = [&](int x0, int y0, int x1, int y1) {
      double s2 = 0;
      for (int32_t k = 1; k <= nv; ++k) {
        const double dd = w.Elem(x0 + 1, y0 + 1, k) - w.Elem(x1 + 1, y1 + 1, k);
        s2 += dd * dd;
      }
      return std::sqrt(s2);
    };
    std::vector<std::vector<double>> hm(static_cast<std::size_t>(ny), std::vector<double>(static_cast<std::size_t>(nx)));
    auto um = hm;
    for (int y = 0; y < ny; ++y)
      for (int x = 0; x < nx; ++x) {
        hm[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = hits[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)];
        double sum = 0;
        int cnt = 0;
        const int dx[4] = {1, -1, 0, 0}, dy[4] = {0, 0, 1, -1};
        for (int k = 0; k < 4; ++k) {
          int xx = x + dx[k], yy = y + dy[k];
          if (o.cyclic) {
            xx = (xx + nx) % nx;
            yy = (yy + ny) % ny;
          } else if (xx < 0 || yy < 0 || xx >= nx || yy >= ny) {
            continue;
          }
          if (xx == x && yy == y) continue;
          sum += between(x, y, xx, yy);
          ++cnt;
        }
        um[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = cnt ? sum / cnt : NAN;
      }
    plot::Figure fig("Self-organising map of " + Shown(o.file) + " (" + std::to_string(nx) + " x " +
                     std::to_string(ny) + (o.cyclic ? ", cyclic" : "") + ")");
    plot::Panel& a = fig.AddPanel(0, 0, 0.5, 1);
    a.SetTitle("hits per cell");
    a.SetX("x");
    a.SetY("y");
    a.HeatMap(hm, "objects");
    plot::Panel& b = fig.AddPanel(0.5, 0, 1, 1);
    b.SetTitle("mean distance to neighbouring cells");
    b.SetX("x");
    b.SetY("y");
    b.HeatMap(um, "distance");
    std::string perr;
    if (!fig.Save(Output().svg, perr)) return Fail(perr);
  }
  return rep.Finish();
}

int Apply(const Options& o) {
  qmx::TKohonen som;
  if (!som.LoadFromXMLFile(InputPath(o.map), ""))
    return Fail("\"" + Shown(o.map) + "\" holds no readable map");
  NumericTable t;
  qmx::TMatrix data;
  std::string err;
  if (!ReadData(o.applyFile, t, data, err)) return Fail(err);
  if (static_cast<int32_t>(t.names.size()) != som.NrOfInSens())
    return Fail("the map has " + std::to_string(som.NrOfInSens()) + " variables, \"" + Shown(o.applyFile) +
                "\" has " + std::to_string(t.names.size()) + " numeric columns");
  Report rep;
  rep.doc.Set("map", Shown(o.map));
  rep.doc.Set("file", Shown(o.applyFile));
  rep.doc.Set("sizex", som.SizeX());
  rep.doc.Set("sizey", som.SizeY());
  rep.Printf("best-matching cells of %s on the %d x %d map %s\n\n%8s %5s %5s %14s\n", Shown(o.applyFile).c_str(),
             som.SizeX(), som.SizeY(), Shown(o.map).c_str(), "line", "x", "y", "distance");
  Json rows = Json::Array();
  qmx::TVector v;
  v.Resize(som.NrOfInSens());
  for (std::size_t r = 0; r < t.rows.size(); ++r) {
    for (std::size_t c = 0; c < t.names.size(); ++c) v.SetVal(static_cast<int32_t>(c + 1), t.rows[r][c]);
    int32_t bx = 0, by = 0;
    double d = 0.0;
    som.ApplyIt(&v, bx, by, d);
    Json j = Json::Object();
    j.Set("line", t.lines[r]);
    j.Set("x", bx);
    j.Set("y", by);
    j.Set("distance", d);
    rows.Push(j);
    rep.Printf("%8ld %5d %5d %14.6g\n", t.lines[r], bx, by, d);
  }
  rep.doc.Set("rows", rows);
  return rep.Finish();
}

Runner Setup(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_option("file", o->file, "input file (- reads standard input)");
  app.add_option("--size", o->size, "map size COLSxROWS (default 10x10)");
  app.add_option("--steps", o->steps, "training steps; steps - 1 epochs run (default 200)")->check(Positive());
  app.add_option("--alpha", o->alpha, "initial learning rate (default 1)");
  app.add_option("--radius", o->radius, "initial neighbourhood radius in cells (default 2)");
  app.add_flag("--cyclic", o->cyclic, "cyclic (toroidal) map");
  app.add_flag("--standardize", o->standardize, "standardise the columns before training");
  AddSeed(app, o->seed, o->seedGiven);
  app.add_option("--save", o->save, "write the trained map to this XML file");
  app.add_option("--svg", Output().svg, "write the hit map and the neighbour distances as SVG heat maps");
  CLI::App* apply = Subcommand(app, "apply", "best-matching cell and distance of every row of FILE");
  apply->add_option("map", o->map, "map file written by --save")->required();
  apply->add_option("file", o->applyFile, "input file (- reads standard input)")->required();
  return [o, apply] {
    if (apply->parsed()) return Apply(*o);
    if (o->file.empty()) return Fail("som: no input file (qmx som FILE, or qmx som apply MAP.xml FILE)");
    return Train(*o);
  };
}

int Demo() {
  std::printf("== self-organising map of the four measurements, species per cell (qmx som iris.csv) ==\n");
  Options o;
  o.file = DataDir() + "/iris.csv";
  o.size = "6x4";
  o.steps = 50;
  o.standardize = true;
  o.seedGiven = true;
  o.seed = 1;
  if (!DemoPlotDir().empty()) Output().svg = DemoPlotDir() + "/som.svg";
  const int rc = Train(o);
  Output().svg.clear();
  return rc;
}

QmxCommand reg("som", "self-organising map: train on the numeric columns, or apply a stored map", Setup, 70,
               Demo);

}  // namespace
