// qmx cluster kmeans FILE --k K [--seed S]
// qmx cluster hclust FILE [--method single|complete|ward|average|flexible|upgma] [--cut K]
// Clusters the objects (rows) of the numeric columns; a text column, when there is one, serves as
// the labels of a cross-table.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "command.h"
#include "plot.h"
#include "csv.h"
#include "qmx/math2.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"

namespace {

using namespace qmxtool;

constexpr std::size_t kMaxHclust = 20000;  // the distance matrix needs 8 n^2 bytes

struct Data {
  NumericTable t;
  qmx::TMatrix m;
  std::vector<std::string> labels;  // empty without a text column
  std::string labelName;
};

// The first text column gives the labels of the objects.
void ReadLabels(Data& d) {
  if (d.t.texts.empty()) return;
  d.labelName = d.t.textNames[0];
  d.labels = d.t.texts[0];
}

bool Load(const std::string& file, Data& d, std::string& err) {
  if (!ReadNumericTable(InputPath(file), d.t, err)) return false;
  const std::size_t n = d.t.rows.size(), p = d.t.names.size();
  if (n < 2 || p < 1) {
    err = "at least two objects (rows) with a numeric column are needed";
    return false;
  }
  d.m.Resize(static_cast<int32_t>(p), static_cast<int32_t>(n));
  for (std::size_t c = 0; c < p; ++c)
    for (std::size_t r = 0; r < n; ++r) d.m.ColumnData(static_cast<int32_t>(c + 1))[r] = d.t.rows[r][c];
  ReadLabels(d);
  return true;
}

// Cross-table of clusters (rows) against labels (columns).
void CrossTable(Report& rep, const Data& d, const std::vector<int32_t>& cl, int32_t k) {
  if (d.labels.empty()) return;
  std::vector<std::string> names;
  for (const auto& l : d.labels)
    if (std::find(names.begin(), names.end(), l) == names.end()) names.push_back(l);
  std::vector<std::vector<int>> tab(static_cast<std::size_t>(k), std::vector<int>(names.size(), 0));
  for (std::size_t i = 0; i < cl.size(); ++i) {
    const auto it = std::find(names.begin(), names.end(), d.labels[i]);
    ++tab[static_cast<std::size_t>(cl[i] - 1)][static_cast<std::size_t>(it - names.begin())];
  }
  rep.Printf("\nclusters against %s\n%-8s", d.labelName.c_str(), "cluster");
  for (const auto& nm : names) rep.Printf(" %12.12s", nm.c_str());
  rep.Printf("\n");
  Json jt = Json::Object();
  for (int32_t c = 0; c < k; ++c) {
    rep.Printf("%-8d", c + 1);
    Json row = Json::Object();
    for (std::size_t j = 0; j < names.size(); ++j) {
      rep.Printf(" %12d", tab[c][j]);
      row.Set(names[j], tab[c][j]);
    }
    rep.Printf("\n");
    jt.Set(std::to_string(c + 1), row);
  }
  rep.doc.Set("crosstable", jt);
}

int KMeans(const std::string& file, int k, uint64_t seed, bool seedGiven) {
  Data d;
  std::string err;
  if (!Load(file, d, err)) return Fail(err);
  const int32_t n = d.m.NrOfRows(), p = d.m.NrOfColumns();
  if (k < 1 || k > n) return Fail("--k must lie between 1 and the number of objects (" + std::to_string(n) + ")");
  qmx::TMatrix C;
  qmx::TIntVector A, S;
  // Seeds run from 1 (0 would start at the first k rows); without --seed the run uses 2.
  const int32_t s = seedGiven ? static_cast<int32_t>(std::min<uint64_t>(seed, 2147483647)) : 2;
  double wss;
  try {
    wss = qmx::kMeansClustering(&d.m, 0, 0, k, s < 1 ? 1 : s, &C, &A, &S);
  } catch (const qmx::EQMXMath2Error& e) {
    return Fail(e.what());
  }
  Report rep;
  rep.doc.Set("file", file == "-" ? "standard input" : file);
  rep.doc.Set("objects", n);
  rep.doc.Set("k", k);
  rep.Printf("k-means of %s: %d objects, %d variables, k = %d\n\n", file == "-" ? "standard input" : file.c_str(), n, p, k);
  rep.Printf("%-8s %6s", "cluster", "size");
  for (int32_t c = 0; c < p; ++c) rep.Printf(" %12.12s", d.t.names[c].c_str());
  rep.Printf("\n");
  Json jc = Json::Array();
  std::vector<int> sizes;
  for (int32_t j = 1; j <= k; ++j) {
    rep.Printf("%-8d %6d", j, S.Elem(j));
    sizes.push_back(S.Elem(j));
    std::vector<double> cen;
    for (int32_t c = 1; c <= p; ++c) {
      rep.Printf(" %12.5g", C.Elem(c, j));
      cen.push_back(C.Elem(c, j));
    }
    rep.Printf("\n");
    jc.Push(Json::ArrayOf(cen));
  }
  rep.doc.Set("sizes", Json::ArrayOf(sizes));
  rep.doc.Set("centres", jc);
  rep.Printf("\n");
  rep.Value("within_ss", "within-cluster sum of squares", wss);
  std::vector<int32_t> cl(A.Data().begin(), A.Data().end());
  rep.doc.Set("assignment", Json::ArrayOf(cl));
  CrossTable(rep, d, cl, k);
  if (!Output().svg.empty()) {
    // Objects and centres in the first two principal components of the covariance matrix.
    qmx::TMatrix work;
    work.Assign(&d.m);
    if (p < 2 || !qmx::CalcPrincComp(&work, 1, p, 0, 0, 1, false)) return Fail("no principal components for the plot");
    std::vector<double> mean(static_cast<std::size_t>(p), 0.0);
    for (int32_t c = 1; c <= p; ++c) {
      double v;
      d.m.MeanVar(c, 1, c, n, mean[static_cast<std::size_t>(c - 1)], v);
    }
    auto score = [&](auto elem, int comp) {
      double sum = 0;
      for (int32_t c = 1; c <= p; ++c) sum += (elem(c) - mean[static_cast<std::size_t>(c - 1)]) * qmx::GetEigenResult(comp, c);
      return sum;
    };
    std::vector<double> x, y, cx, cy;
    std::vector<std::string> colors;
    for (int32_t r = 1; r <= n; ++r) {
      auto e = [&](int32_t c) { return d.m.Elem(c, r); };
      x.push_back(score(e, 1));
      y.push_back(score(e, 2));
      colors.push_back(plot::Palette(A.Elem(r) - 1));
    }
    plot::Figure fig("k-means of " + (file == "-" ? std::string("standard input") : file) + ", k = " +
                     std::to_string(k) + ", in the first two principal components");
    plot::Panel& pa = fig.AddPanel();
    pa.SetX("PC1");
    pa.SetY("PC2");
    pa.Markers(x, y, colors, 3);
    for (int32_t j = 1; j <= k; ++j) {
      auto e = [&](int32_t c) { return C.Elem(c, j); };
      pa.Markers({score(e, 1)}, {score(e, 2)}, plot::Palette(j - 1),
                 "cluster " + std::to_string(j) + " (" + std::to_string(S.Elem(j)) + ")", 7);
    }
    std::string perr;
    if (!fig.Save(Output().svg, perr)) return Fail(perr);
  }
  return rep.Finish();
}

bool MethodOf(const std::string& s, qmx::TClusterMethod& m) {
  static const std::map<std::string, qmx::TClusterMethod> kMap = {
      {"single", qmx::cmSingleLink}, {"complete", qmx::cmCompleteLink}, {"ward", qmx::cmWard},
      {"average", qmx::cmAvgLink},   {"flexible", qmx::cmFlexLink},     {"upgma", qmx::cmUpgma}};
  const auto it = kMap.find(s);
  if (it == kMap.end()) return false;
  m = it->second;
  return true;
}

int Hclust(const std::string& file, const std::string& method, int cut) {
  qmx::TClusterMethod m = qmx::cmWard;
  if (!method.empty() && !MethodOf(method, m)) return Fail("unknown method \"" + method + "\"");
  Data d;
  std::string err;
  if (!Load(file, d, err)) return Fail(err);
  const int32_t n = d.m.NrOfRows();
  if (static_cast<std::size_t>(n) > kMaxHclust)
    return Fail("too many objects for the distance matrix (" + std::to_string(n) + ", at most " +
                std::to_string(kMaxHclust) + ")");
  if (cut < 1 || cut > n) return Fail("--cut must lie between 1 and the number of objects");
  // Ward's rule updates squared Euclidean distances; the others work on plain distances.
  const qmx::TDistMode mode = m == qmx::cmWard ? qmx::dmEuclidSqr : qmx::dmEuclid;
  qmx::TIntMatrix dend;
  qmx::TVector dist, pos;
  if (qmx::AgglomClustering(nullptr, &d.m, mode, m, 0.625, &dend, &dist, &pos) != 0)
    return Fail("aborted");
  Report rep;
  rep.doc.Set("file", file == "-" ? "standard input" : file);
  rep.doc.Set("method", qmx::ClusterMethodID[m]);
  rep.doc.Set("distance", m == qmx::cmWard ? "squared Euclidean" : "Euclidean");
  rep.Printf("agglomerative clustering of %s: %d objects, %s on %s distances\n",
             file == "-" ? "standard input" : file.c_str(), n, qmx::ClusterMethodID[m],
             m == qmx::cmWard ? "squared Euclidean" : "Euclidean");
  // Merges: the last ones in the text layout, all in JSON.
  Json jm = Json::Array();
  for (int32_t r = 1; r < n; ++r) {
    Json row = Json::Array();
    row.Push(dend.Elem(1, r));
    row.Push(dend.Elem(2, r));
    row.Push(dend.Elem(3, r));
    row.Push(dist.Elem(r));
    jm.Push(row);
  }
  rep.doc.Set("merges", jm);
  const int32_t show = std::min<int32_t>(n - 1, 20);
  rep.Printf("\nlast %d merges (nodes 1..%d are the objects by line order)\n%6s %8s %8s %8s %14s\n",
             show, n, "step", "node a", "node b", "new", "distance");
  for (int32_t r = n - show; r < n; ++r)
    rep.Printf("%6d %8d %8d %8d %14.6g\n", r, dend.Elem(1, r), dend.Elem(2, r), dend.Elem(3, r), dist.Elem(r));
  // The cut: the nodes left when the last cut - 1 merges are undone.
  std::vector<int32_t> owner(static_cast<std::size_t>(2 * n), 0);
  const int32_t keepMerges = n - cut;
  std::vector<int32_t> parent(static_cast<std::size_t>(2 * n), 0);
  for (int32_t r = 1; r <= keepMerges; ++r) {
    parent[dend.Elem(1, r)] = n + r;
    parent[dend.Elem(2, r)] = n + r;
  }
  auto top = [&](int32_t v) {
    while (parent[v] != 0) v = parent[v];
    return v;
  };
  std::vector<int32_t> roots;
  for (int32_t i = 1; i <= n; ++i) {
    const int32_t t = top(i);
    if (std::find(roots.begin(), roots.end(), t) == roots.end()) roots.push_back(t);
  }
  // Clusters numbered by drawing position of their root.
  std::sort(roots.begin(), roots.end(), [&](int32_t a, int32_t b) { return pos.Elem(a) < pos.Elem(b); });
  std::vector<int32_t> cl(static_cast<std::size_t>(n));
  std::vector<int> sizes(roots.size(), 0);
  for (int32_t i = 1; i <= n; ++i) {
    const int32_t t = top(i);
    const auto k = std::find(roots.begin(), roots.end(), t) - roots.begin();
    cl[static_cast<std::size_t>(i - 1)] = static_cast<int32_t>(k + 1);
    ++sizes[static_cast<std::size_t>(k)];
  }
  for (std::size_t k = 0; k < roots.size(); ++k) owner[roots[k]] = static_cast<int32_t>(k + 1);
  // Text dendrogram down to the clusters of the cut.
  rep.Printf("\ndendrogram (cut into %d clusters)\n", cut);
  auto label = [&](int32_t v) {
    if (owner[v] != 0)
      return "[cluster " + std::to_string(owner[v]) + ": " +
             std::to_string(sizes[static_cast<std::size_t>(owner[v] - 1)]) + " objects]";
    return "node " + std::to_string(v) + " at " + Num(dist.Elem(v - n));
  };
  std::function<void(int32_t, const std::string&)> children = [&](int32_t v, const std::string& pre) {
    if (owner[v] != 0) return;
    const int32_t a = dend.Elem(1, v - n), b = dend.Elem(2, v - n);
    const bool aFirst = pos.Elem(a) <= pos.Elem(b);  // children in drawing order
    const int32_t kids[2] = {aFirst ? a : b, aFirst ? b : a};
    for (int k = 0; k < 2; ++k) {
      rep.Printf("%s%s%s\n", pre.c_str(), k == 1 ? "`-- " : "|-- ", label(kids[k]).c_str());
      children(kids[k], pre + (k == 1 ? "    " : "|   "));
    }
  };
  if (cut == n) {
    rep.Printf("(every object is its own cluster)\n");
  } else {
    rep.Printf("%s\n", label(2 * n - 1).c_str());
    children(2 * n - 1, "");
  }
  rep.doc.Set("cut", cut);
  rep.doc.Set("cluster_sizes", Json::ArrayOf(sizes));
  rep.doc.Set("assignment", Json::ArrayOf(cl));
  CrossTable(rep, d, cl, cut);
  if (!Output().svg.empty()) {
    // The dendrogram from the library's node positions and merge distances: one polyline per
    // merge (down to both children), coloured by the cluster of the cut it lies in.
    plot::Figure fig(std::string("Dendrogram of ") + (file == "-" ? "standard input" : file) + " (" +
                     qmx::ClusterMethodID[m] + ", cut into " + std::to_string(cut) + ")");
    plot::Panel& p = fig.AddPanel();
    p.SetX("objects in drawing order", 0, 2.0 * n);
    p.SetY(m == qmx::cmWard ? "merge distance (squared Euclidean)" : "merge distance (Euclidean)");
    auto height = [&](int32_t v) { return v <= n ? 0.0 : dist.Elem(v - n); };
    std::vector<int32_t> clusterOf(static_cast<std::size_t>(2 * n), 0);
    for (int32_t v = 1; v < 2 * n; ++v) clusterOf[v] = owner[top(v)];
    double lo = 1e300, hi = -1e300, top_ = 0;
    for (int32_t v = 1; v < 2 * n; ++v) {
      lo = std::min(lo, pos.Elem(v));
      hi = std::max(hi, pos.Elem(v));
    }
    for (int32_t r = 1; r < n; ++r) {
      const int32_t a = dend.Elem(1, r), b = dend.Elem(2, r);
      const double h = dist.Elem(r);
      top_ = std::max(top_, h);
      const int32_t c = r <= keepMerges ? clusterOf[n + r] : 0;
      p.Line({pos.Elem(a), pos.Elem(a), pos.Elem(b), pos.Elem(b)}, {height(a), h, h, height(b)},
             c > 0 ? plot::Palette(c - 1) : "#555555", "", 1.2);
    }
    p.SetX("objects in drawing order", lo - 0.5, hi + 0.5);
    p.SetY(m == qmx::cmWard ? "merge distance (squared Euclidean)" : "merge distance (Euclidean)", 0,
           top_ > 0 ? top_ * 1.05 : 1);
    p.NoXTicks();
    if (cut > 1 && cut < n) p.HorizontalRule((dist.Elem(n - cut) + dist.Elem(n - cut + 1)) / 2, "#999999");
    std::string perr;
    if (!fig.Save(Output().svg, perr)) return Fail(perr);
  }
  return rep.Finish();
}

struct Options {
  std::string file, method;
  int k = 0, cut = 3;
  uint64_t seed = 2;
  bool seedGiven = false;
};

Runner Setup(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.require_subcommand(1);
  CLI::App* km = Subcommand(app, "kmeans", "k-means clustering");
  AddFile(*km, o->file);
  km->add_option("--k", o->k, "number of clusters")->required()->check(Positive());
  AddSeed(*km, o->seed, o->seedGiven);
  km->add_option("--svg", Output().svg, "write the objects in the first two principal components, coloured by cluster, as SVG");
  CLI::App* hc = Subcommand(app, "hclust", "agglomerative (hierarchical) clustering");
  AddFile(*hc, o->file);
  hc->add_option("--method", o->method, "merge rule (default ward)")
      ->check(CLI::IsMember({"single", "complete", "ward", "average", "flexible", "upgma"}));
  hc->add_option("--cut", o->cut, "number of clusters of the cut (default 3)")->check(Positive());
  hc->add_option("--svg", Output().svg, "write the dendrogram as SVG to this file");
  return [o, km] {
    if (km->parsed()) return KMeans(o->file, o->k, o->seed, o->seedGiven);
    return Hclust(o->file, o->method, o->cut);
  };
}

int Demo() {
  std::printf("== k-means with k = 3 against the species (qmx cluster kmeans iris.csv --k 3) ==\n");
  if (!DemoPlotDir().empty()) Output().svg = DemoPlotDir() + "/kmeans.svg";
  int rc = KMeans(DataDir() + "/iris.csv", 3, 2, false);
  Output().svg.clear();
  if (rc != 0) return rc;
  std::printf("\n== Ward's method cut into 3 clusters (qmx cluster hclust iris.csv --method ward --cut 3) ==\n");
  if (!DemoPlotDir().empty()) Output().svg = DemoPlotDir() + "/dendrogram.svg";
  rc = Hclust(DataDir() + "/iris.csv", "ward", 3);
  Output().svg.clear();
  return rc;
}

QmxCommand reg("cluster", "k-means and agglomerative clustering of the objects", Setup, 60, Demo);

}  // namespace
