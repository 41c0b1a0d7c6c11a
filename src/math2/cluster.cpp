// k-means clustering, agglomerative clustering and the centre finder.
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "math2/cluster_internal.h"
#include "qmx/math1.h"
#include "qmx/math2.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"

namespace qmx {

const char* const ClusterMethodID[6] = {"single linkage",   "complete linkage",
                                        "Ward's method",    "average linkage",
                                        "flexible strategy", "unweighted pair group"};

// ---- k-means --------------------------------------------------------------------------------

namespace {

constexpr std::size_t kBlock = 512;
constexpr int32_t kMaxKMeansIter = 1001;

// Assigns every object to its nearest centre (squared Euclidean, strict improvement, so the
// lowest cluster number wins ties) and returns whether any assignment changed. cen holds the
// centres row by row (nk x nc).
bool AssignObjects(const double* data, std::size_t ld, int32_t nr, int32_t nc, const double* cen,
                   int32_t nk, int32_t* assign) {
  bool changed = false;
  double tmp[kBlock], best[kBlock];
  int32_t bk[kBlock];
  for (std::size_t r0 = 0; r0 < static_cast<std::size_t>(nr); r0 += kBlock) {
    const std::size_t cnt = std::min(kBlock, static_cast<std::size_t>(nr) - r0);
    std::fill(best, best + cnt, 1.7976931348623157e308);
    // An object whose distances are all NaN stays in cluster 1.
    std::fill(bk, bk + cnt, 1);
    for (int32_t k = 0; k < nk; ++k) {
      math2detail::SquaredDistances(data, ld, nc, r0, cnt, cen + static_cast<std::size_t>(k) * nc,
                                    nc, tmp);
      for (std::size_t i = 0; i < cnt; ++i)
        if (tmp[i] < best[i]) {
          best[i] = tmp[i];
          bk[i] = k + 1;
        }
    }
    int32_t* a = assign + r0;
    for (std::size_t i = 0; i < cnt; ++i) {
      changed = changed || a[i] != bk[i];
      a[i] = bk[i];
    }
  }
  return changed;
}

}  // namespace

double kMeansClustering(const TMatrix* DataMat, int32_t /*LowIx*/, int32_t /*HighIx*/,
                        int32_t NClusters, int32_t Seed, TMatrix* Centres, TIntVector* Assign,
                        TIntVector* Sizes) {
  if (DataMat == nullptr || Centres == nullptr || Assign == nullptr || Sizes == nullptr)
    throw EQMXMath2Error("kMeansClustering: missing argument");
  const int32_t nr = DataMat->NrOfRows(), nc = DataMat->NrOfColumns();
  if (NClusters > nr)
    throw EQMXMath2Error("kMeansClustering: number of clusters is greater than number of objects");
  if (NClusters < 1) throw EQMXMath2Error("kMeansClustering: number of clusters must be positive");
  const int32_t nk = NClusters;
  const std::size_t snk = static_cast<std::size_t>(nk), snc = static_cast<std::size_t>(nc);
  std::vector<double> cen, sums;
  try {
    if (Centres->NrOfColumns() != nc || Centres->NrOfRows() != nk) Centres->Resize(nc, nk);
    if (Assign->NrOfElem() != nr) Assign->Resize(nr);
    if (Sizes->NrOfElem() != nk) Sizes->Resize(nk);
    cen.resize(snk * snc);
    sums.resize(snk * snc);
  } catch (const std::bad_alloc&) {
    throw EQMXMath2Error("kMeansClustering: not enough memory");
  }
  const double* data = DataMat->Data();
  const std::size_t ld = static_cast<std::size_t>(DataMat->Stride());
  auto x = [&](int32_t c, int32_t r) { return data[static_cast<std::size_t>(c) * ld + r]; };
  if (Seed > 0) RandSeed(static_cast<uint64_t>(Seed));
  for (int32_t k = 0; k < nk; ++k) {
    const int32_t row = Seed > 0 ? RandomInt(nr) : k;
    for (int32_t c = 0; c < nc; ++c) cen[k * snc + c] = x(c, row);
  }
  int32_t* assign = Assign->Data().data();
  int32_t* sizes = Sizes->Data().data();
  bool aborted = false, limit = false;
  for (int32_t it = 1;; ++it) {
    ProcStat += 1.0;
    if (MathFeedBackProc != nullptr) MathFeedBackProc(ProcStat);
    // The first round always derives the centres from the assignment: an assignment vector
    // still holding a previous result must not leave the initial rows as the centres.
    const bool changed = AssignObjects(data, ld, nr, nc, cen.data(), nk, assign) || it == 1;
    if (changed) {
      std::fill(sizes, sizes + nk, 0);
      std::fill(sums.begin(), sums.end(), 0.0);
      for (int32_t c = 0; c < nc; ++c)
        for (int32_t r = 0; r < nr; ++r) sums[(assign[r] - 1) * snc + c] += x(c, r);
      for (int32_t r = 0; r < nr; ++r) ++sizes[assign[r] - 1];
      for (int32_t k = 0; k < nk; ++k)
        for (int32_t c = 0; c < nc; ++c)
          cen[k * snc + c] = sizes[k] != 0 ? sums[k * snc + c] / sizes[k] : 0.0;
    }
    if (!changed) break;
    if (it == kMaxKMeansIter) {
      limit = true;
      break;
    }
    if (AbortMathProc) {
      aborted = true;
      break;
    }
  }
  auto writeCentres = [&] {
    for (int32_t k = 0; k < nk; ++k)
      for (int32_t c = 0; c < nc; ++c) Centres->Cell(c + 1, k + 1) = cen[k * snc + c];
    Centres->Changed();
    Assign->Changed();
    Sizes->Changed();
  };
  if (aborted) {
    writeCentres();
    return 0.0;
  }
  double result = 0.0;
  for (int32_t r = 0; r < nr; ++r) {
    const double* ck = cen.data() + (assign[r] - 1) * snc;
    double d = 0.0;
    for (int32_t c = 0; c < nc; ++c) {
      const double e = x(c, r) - ck[c];
      d += e * e;
    }
    result += d;
  }
  // Renumber by decreasing size through the integer matrix's row sort.
  TIntMatrix order;
  order.Resize(2, nk);
  for (int32_t k = 1; k <= nk; ++k) {
    order.SetVal(1, k, k);
    order.SetVal(2, k, sizes[k - 1]);
  }
  order.SortRows(2, false, 0, 0, 0, 0);
  std::vector<int32_t> newNo(snk);
  std::vector<double> cen2(cen.size());
  for (int32_t k = 1; k <= nk; ++k) {
    const int32_t old = order.Elem(1, k);
    newNo[old - 1] = k;
    sizes[k - 1] = order.Elem(2, k);
    std::copy_n(cen.data() + (old - 1) * snc, snc, cen2.data() + (k - 1) * snc);
  }
  cen.swap(cen2);
  for (int32_t r = 0; r < nr; ++r) assign[r] = newNo[assign[r] - 1];
  writeCentres();
  if (limit) throw EQMXMath2Error("kMeansClustering: max. number of iterations exceeded");
  return result;
}

double kMeansClustering(const TMatrix* DataMat, int32_t LowIx, int32_t HighIx, int32_t NClusters,
                        TMatrix* Centres, TIntVector* Assign) {
  TIntVector sizes;
  return kMeansClustering(DataMat, LowIx, HighIx, NClusters, 0, Centres, Assign, &sizes);
}

int32_t kMeansEstimatedSteps(int32_t a, int32_t b, int32_t c) {
  const double A = a, B = b, C = c;
  const double v = 0.18232 * std::sqrt(A * B) - 108.0 - 0.00092427 * A - 0.00017557 * A * C +
                   0.38775 * std::sqrt(A * C);
  // NaN (negative products under the roots) and huge values stay inside the integer range.
  if (!(v > 20.0)) return 20;
  if (v >= 2147483647.0) return 2147483647;
  return std::max<int32_t>(20, static_cast<int32_t>(std::nearbyint(v)));
}

// ---- agglomerative clustering ---------------------------------------------------------------

namespace {

inline double LanceWilliams(TClusterMethod m, double dgi, double dhi, double dgh, double ng,
                            double nh, double ni, double alpha) {
  switch (m) {
    case cmSingleLink: return std::min(dgi, dhi);
    case cmCompleteLink: return std::max(dgi, dhi);
    case cmWard: return (dgi * (ng + ni) + dhi * (nh + ni) - dgh * ni) / (ng + nh + ni);
    case cmAvgLink: return (dgi + dhi) / 2.0;
    case cmFlexLink: return (dgi + dhi) * alpha + dgh * (1.0 - 2.0 * alpha);
    case cmUpgma: return dgi * ng / (ng + nh) + dhi * nh / (ng + nh);
  }
  return 0.0;
}

// Swaps a matrix's distance event for the duration of a call, also when the call raises.
struct TEventSwap {
  TMatrix* M;
  TOnCalcDistanceEvent Saved;
  TEventSwap(TMatrix* m, const TOnCalcDistanceEvent& e) : M(m), Saved(m->OnCalcDistance) {
    M->OnCalcDistance = e;
  }
  ~TEventSwap() { M->OnCalcDistance = Saved; }
};

}  // namespace

int32_t AgglomClustering(TObject* Sender, TMatrix* DataMat, TDistMode Mode, TClusterMethod Method,
                         double Alpha, TIntMatrix* Dendrogram, TVector* MergeDist,
                         TVector* Positions, const TClusterFeedBackProc& FeedBack,
                         const TOnCalcDistanceEvent& DistEvent) {
  if (DataMat == nullptr || Dendrogram == nullptr || MergeDist == nullptr || Positions == nullptr)
    throw EQMXMath2Error("AgglomClustering: missing argument");
  if (FeedBack) FeedBack(Sender, ProcStat, 0.0);
  Alpha = Alpha > 1.0 ? 1.0 : (Alpha >= 0.5 ? Alpha : 0.5);
  const int32_t n = DataMat->NrOfRows();
  if (n < 2) throw EQMXMath2Error("AgglomClustering: at least two objects are needed");
  const std::size_t sn = static_cast<std::size_t>(n);
  TMatrix dm;
  std::vector<int32_t> node(sn), nn(sn);
  std::vector<double> size(sn), nnd(sn);
  try {
    dm.Resize(n, n);
    TEventSwap swap(DataMat, DistEvent);
    DataMat->CalcDistMat(Mode, &dm);
    if (MergeDist->NrOfElem() != n - 1) MergeDist->Resize(n - 1);
    if (Positions->NrOfElem() != 2 * n - 1) Positions->Resize(2 * n - 1);
    if (Dendrogram->NrOfColumns() != 3 || Dendrogram->NrOfRows() != n - 1)
      Dendrogram->Resize(3, n - 1);
  } catch (const std::bad_alloc&) {
    throw EQMXMath2Error("AgglomClustering: not enough memory");
  }
  // The matrix stays symmetric: D[a*n + b] = D[b*n + a] (0-based), so both the partners of the
  // merged pair (D[g*n + i], D[h*n + i]) and a slot's row of higher partners (D[i*n + j],
  // j > i) are contiguous; only the mirror write D[i*n + h] is strided.
  double* D = dm.Data();
  std::vector<uint8_t> active(sn, 1);
  // nn[g]: the first higher active slot at the smallest distance from g (the scan's choice
  // within row g), -1 when no distance is below uc_MaxReal; nnd[g] that distance.
  auto rowScan = [&](std::size_t g) {
    const double* row = D + g * sn;
    double best = uc_MaxReal;
    int32_t bh = -1;
    for (std::size_t j = g + 1; j < sn; ++j)
      if (row[j] < best && active[j]) {
        best = row[j];
        bh = static_cast<int32_t>(j);
      }
    nn[g] = bh;
    nnd[g] = best;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (std::size_t i = 0; i < sn; ++i) {
    node[i] = static_cast<int32_t>(i + 1);
    size[i] = 1.0;
  }
  for (std::size_t g = 0; g + 1 < sn; ++g) rowScan(g);
  nn[sn - 1] = -1;
  nnd[sn - 1] = nan;
  int32_t* dend = Dendrogram->Data();
  const std::size_t ldd = static_cast<std::size_t>(Dendrogram->Stride());
  double* mdist = MergeDist->Data().data();
  AbortMathProc = false;
  for (int32_t r = 1; r < n && !AbortMathProc; ++r) {
    ProcStat += 1.0;
    if (FeedBack) FeedBack(Sender, ProcStat, static_cast<double>(r) / n * 100.0);
    // The row minima, taken in slot order with strict improvement, give the first pair in
    // g-then-h order among equal distances (a retired slot's NaN never wins).
    double best = uc_MaxReal;
    int32_t bg = -1;
    for (std::size_t g = 0; g + 1 < sn; ++g)
      if (nnd[g] < best) {
        best = nnd[g];
        bg = static_cast<int32_t>(g);
      }
    std::size_t g, h;
    if (bg >= 0) {
      g = static_cast<std::size_t>(bg);
      h = static_cast<std::size_t>(nn[g]);
    } else {
      // No distance below uc_MaxReal (infinite or NaN distances): the first two active slots.
      g = 0;
      while (!active[g]) ++g;
      h = g + 1;
      while (!active[h]) ++h;
    }
    const double dgh = D[g * sn + h];
    const double ng = size[g], nh = size[h];
    dend[0 * ldd + (r - 1)] = node[g];
    dend[1 * ldd + (r - 1)] = node[h];
    dend[2 * ldd + (r - 1)] = n + r;
    mdist[r - 1] = dgh;
    node[h] = n + r;
    size[h] = nh + ng;
    node[g] = 0;
    size[g] = 0.0;
    active[g] = 0;
    nn[g] = -1;
    nnd[g] = nan;
    const int32_t gi = static_cast<int32_t>(g), hi = static_cast<int32_t>(h);
    double* rowG = D + g * sn;
    double* rowH = D + h * sn;
    for (std::size_t i = 0; i < sn; ++i) {
      if (!active[i] || i == h) continue;
      const double v = LanceWilliams(Method, rowG[i], rowH[i], dgh, ng, nh, size[i], Alpha);
      rowH[i] = v;
      D[i * sn + h] = v;
      if (i >= h) continue;
      // Rows below h see the new entry: a row whose partner was g or h is scanned again, any
      // other compares its partner with the new entry (the lower slot wins a tie).
      if (nn[i] == gi || nn[i] == hi) {
        rowScan(i);
      } else if (v < nnd[i] || (v == nnd[i] && nn[i] >= 0 && hi < nn[i])) {
        nn[i] = hi;
        nnd[i] = v;
      }
    }
    if (h + 1 < sn) rowScan(h);
  }
  if (AbortMathProc) {
    std::fill(Positions->Data().begin(), Positions->Data().end(), 0.0);
    std::fill(MergeDist->Data().begin(), MergeDist->Data().end(), 0.0);
    Dendrogram->Fill(0);
    Positions->Changed();
    MergeDist->Changed();
    return -1;
  }
  // Leaf order: a node is replaced by its column-2 node followed by its column-1 node; the root
  // starts as (column 1, column 2).
  double* pos = Positions->Data().data();
  {
    std::vector<int32_t> stack;
    stack.reserve(sn);
    const std::size_t last = sn - 2;
    stack.push_back(dend[1 * ldd + last]);
    stack.push_back(dend[0 * ldd + last]);
    int32_t place = 0;
    while (!stack.empty()) {
      const int32_t m = stack.back();
      stack.pop_back();
      if (m <= n) {
        pos[m - 1] = ++place;
      } else {
        const std::size_t row = static_cast<std::size_t>(m - n - 1);
        stack.push_back(dend[0 * ldd + row]);
        stack.push_back(dend[1 * ldd + row]);
      }
    }
  }
  for (int32_t r = 1; r < n; ++r) {
    const std::size_t row = static_cast<std::size_t>(r - 1);
    pos[n + r - 1] = (pos[dend[0 * ldd + row] - 1] + pos[dend[1 * ldd + row] - 1]) / 2.0;
  }
  Dendrogram->Changed();
  MergeDist->Changed();
  Positions->Changed();
  return 0;
}

// ---- centre finder --------------------------------------------------------------------------

void FindCenters(const TMatrix* DataMat, int32_t FirstRow, int32_t LastRow, int32_t NCenters,
                 TMatrix* Centres, double& MeanDist) {
  MeanDist = 0.0;
  if (DataMat == nullptr || Centres == nullptr || !DataMat->HasCells()) return;
  const int32_t nr = DataMat->NrOfRows(), nc = DataMat->NrOfColumns();
  MakeValidRange(nr, FirstRow, LastRow);
  const std::size_t snc = static_cast<std::size_t>(nc);
  const int32_t m = LastRow - FirstRow + 1;
  // The merges work on a copy in memory (objects row by row), so the data matrix is never
  // touched and concurrent calls cannot collide.
  std::vector<double> X, w;
  try {
    X.resize(static_cast<std::size_t>(m) * snc);
    w.assign(static_cast<std::size_t>(m), 1.0);
  } catch (const std::bad_alloc&) {
    throw EQMXMath2Error("FindCenters: not enough memory");
  }
  for (int32_t c = 0; c < nc; ++c) {
    const double* col = DataMat->ColumnData(c + 1) + (FirstRow - 1);
    for (int32_t i = 0; i < m; ++i) X[i * snc + c] = col[i];
  }
  auto dist2 = [&](int32_t i, int32_t j) {
    const double* a = X.data() + i * snc;
    const double* b = X.data() + j * snc;
    double s = 0.0;
    for (std::size_t c = 0; c < snc; ++c) {
      const double d = a[c] - b[c];
      s += d * d;
    }
    return s;
  };
  int32_t last = m - 1;
  while (last + 1 > NCenters && last >= 1) {
    ProcStat += 1.0;
    if (MathFeedBackProc != nullptr) MathFeedBackProc(ProcStat);
    // Any finite distance may win (a fixed start value would leave far-apart data without a
    // pair); NaN distances never do, and then the first pair is merged.
    double best = std::numeric_limits<double>::infinity();
    int32_t bi = 0, bj = 1;
    for (int32_t i = 0; i < last; ++i)
      for (int32_t j = i + 1; j <= last; ++j) {
        const double d = dist2(i, j);
        if (d < best) {
          best = d;
          bi = i;
          bj = j;
        }
      }
    double* a = X.data() + bi * snc;
    double* b = X.data() + bj * snc;
    for (std::size_t c = 0; c < snc; ++c) a[c] = (w[bi] * a[c] + w[bj] * b[c]) / (w[bi] + w[bj]);
    w[bi] += w[bj];
    std::copy_n(X.data() + last * snc, snc, b);
    w[bj] = w[last];
    --last;
  }
  const int32_t have = std::min(NCenters, m);
  for (int32_t k = 1; k <= NCenters && k <= Centres->NrOfRows(); ++k)
    for (int32_t c = 1; c <= Centres->NrOfColumns(); ++c)
      Centres->Cell(c, k) = (c <= nc && k <= have)
                                ? X[(k - 1) * snc + (c - 1)]
                                : DataMat->GetVal(c, FirstRow + k - 1);
  Centres->Changed();
  if (have < 2) return;
  double s = 0.0;
  for (int32_t k = 0; k < have; ++k) {
    double best = std::numeric_limits<double>::infinity();
    for (int32_t l = 0; l < have; ++l)
      if (l != k) best = std::min(best, dist2(k, l));
    s += std::sqrt(best);
  }
  MeanDist = s / have;
}

}  // namespace qmx
