// Nearest neighbours: the neighbour list, the estimate from neighbours and the mean distance to
// the nearest neighbours.
#include <algorithm>
#include <cmath>
#include <vector>

#include "math2/cluster_internal.h"
#include "math2/lsq.h"
#include "qmx/math1.h"
#include "qmx/math2.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"

namespace qmx {

namespace math2detail {

namespace {

// out[i] (+)= sum of W squared differences, the columns added in order.
template <int W>
void DistancePass(const double* data, std::size_t ld, int32_t c, std::size_t r0, std::size_t cnt,
                  const double* q, double* out) {
  const double* cc[W];
  double qq[W];
  for (int k = 0; k < W; ++k) {
    cc[k] = data + static_cast<std::size_t>(c + k) * ld + r0;
    qq[k] = q[c + k];
  }
  const bool first = c == 0;
  for (std::size_t i = 0; i < cnt; ++i) {
    double s = first ? 0.0 : out[i];
    for (int k = 0; k < W; ++k) {
      const double d = cc[k][i] - qq[k];
      s += d * d;
    }
    out[i] = s;
  }
}

}  // namespace

void SquaredDistances(const double* data, std::size_t ld, int32_t ncol, std::size_t r0,
                      std::size_t cnt, const double* q, int32_t nq, double* out) {
  // Columns beyond the data read as 0, so they add q_c^2 to every object.
  double extra = 0.0;
  for (int32_t c = ncol; c < nq; ++c) extra += q[c] * q[c];
  const int32_t nc = std::min(ncol, nq);
  // Up to eight columns per pass over the block (out stays in L1); the sums still add the
  // columns in order.
  if (nc == 0) std::fill(out, out + cnt, 0.0);
  int32_t c = 0;
  for (; c + 8 <= nc; c += 8) DistancePass<8>(data, ld, c, r0, cnt, q, out);
  if (c + 4 <= nc) DistancePass<4>(data, ld, c, r0, cnt, q, out), c += 4;
  if (c + 2 <= nc) DistancePass<2>(data, ld, c, r0, cnt, q, out), c += 2;
  if (c + 1 <= nc) DistancePass<1>(data, ld, c, r0, cnt, q, out), c += 1;
  if (extra != 0.0)
    for (std::size_t i = 0; i < cnt; ++i) out[i] += extra;
}

void TNeighbourList::Reset(std::size_t cap) {
  Dist.assign(cap, uc_MaxReal);
  Row.assign(cap, 0);
}

void TNeighbourList::Offer(double d, int32_t row) {
  // The sorted insert puts a value before equal ones and drops one beyond the last; NaN would
  // go to the front, so it is refused here.
  if (!(d <= Dist.back())) return;
  const int32_t p = SortIntoArray(std::span<double>(Dist), d, true, true);
  if (p >= 0) InsertIntoArray(std::span<int32_t>(Row), row, p);
}

}  // namespace math2detail

using math2detail::TNeighbourList;

namespace {

constexpr int32_t kMaxNN = 100;
constexpr int32_t kMaxMeanNN = 50;
constexpr std::size_t kBlock = 2048;

// (0, 0) is every row, as everywhere in the library; other bounds are clamped and ordered.
void ClampRows(int32_t nr, int32_t& lo, int32_t& hi) { MakeValidRange(nr, lo, hi); }

// Euclidean neighbours of q among rows lo..hi (1-based) into list.
void EuclidNeighbours(const TMatrix* DataMat, int32_t lo, int32_t hi, const double* q,
                      int32_t nq, TNeighbourList& list) {
  const double* data = DataMat->Data();
  const std::size_t ld = static_cast<std::size_t>(DataMat->Stride());
  double buf[kBlock];
  for (std::size_t r0 = static_cast<std::size_t>(lo - 1); r0 < static_cast<std::size_t>(hi);
       r0 += kBlock) {
    const std::size_t cnt = std::min(kBlock, static_cast<std::size_t>(hi) - r0);
    math2detail::SquaredDistances(data, ld, DataMat->NrOfColumns(), r0, cnt, q, nq, buf);
    const double lim = list.Dist.back();
    for (std::size_t i = 0; i < cnt; ++i) {
      // The square root is monotone, so rows beyond the list's last entry are skipped unrooted.
      // The margin keeps every row whose rooted distance could still tie the last entry.
      if (lim < 1e150 ? !(buf[i] <= lim * lim * 1.000000000001) : std::isnan(buf[i])) continue;
      list.Offer(std::sqrt(buf[i]), static_cast<int32_t>(r0 + i + 1));
    }
  }
}

}  // namespace

void FindNearestNeighbors(int32_t K, const TMatrix* DataMat, int32_t FirstRow, int32_t LastRow,
                          const TVector* Query, TMatrix* NNList, TCalcDistFunc DistFunc) {
  if (DataMat == nullptr || NNList == nullptr || (Query == nullptr && DistFunc == nullptr)) return;
  const int32_t nr = DataMat->NrOfRows();
  K = std::min({K, kMaxNN, nr});
  if (K <= 0) return;
  ClampRows(nr, FirstRow, LastRow);
  TNeighbourList list;
  list.Reset(kMaxNN);
  if (DistFunc != nullptr) {
    for (int32_t r = FirstRow; r <= LastRow; ++r) list.Offer(DistFunc(r), r);
  } else {
    EuclidNeighbours(DataMat, FirstRow, LastRow, Query->Data().data(), Query->NrOfElem(), list);
  }
  const int32_t kk = std::min(K, NNList->NrOfRows());
  if (NNList->NrOfColumns() >= 1)
    for (int32_t i = 1; i <= kk; ++i) NNList->Cell(1, i) = list.Row[i - 1];
  if (NNList->NrOfColumns() >= 2)
    for (int32_t i = 1; i <= kk; ++i) NNList->Cell(2, i) = list.Dist[i - 1];
  if (kk > 0) NNList->Changed();
}

void EstimateByKNN(const TMatrix* DataMat, const TVector* Values, int32_t K, TKnnWMode WMode,
                   double WidthFactor, const TVector* Query, double& Estimate, double& Mean) {
  Estimate = 0.0;
  Mean = 0.0;
  if (DataMat == nullptr || Values == nullptr || Query == nullptr) return;
  const int32_t nr = DataMat->NrOfRows();
  K = std::min({K, nr, kMaxNN});
  if (K <= 0 || !DataMat->HasCells()) return;
  TNeighbourList list;
  list.Reset(kMaxNN);
  EuclidNeighbours(DataMat, 1, nr, Query->Data().data(), Query->NrOfElem(), list);
  // Rows refused for a NaN distance leave row 0 in the list: only real neighbours count.
  int32_t k = 0;
  while (k < K && list.Row[static_cast<std::size_t>(k)] > 0) ++k;
  if (k == 0) return;
  K = k;
  double D = 0.0;
  for (int32_t i = 0; i < K; ++i) D += list.Dist[i];
  D /= K;
  Mean = D;
  if (D == 0.0) D = 0.001;
  auto y = [&](int32_t i) { return Values->Elem(list.Row[i]); };
  const double f = WidthFactor;
  switch (WMode) {
    case kwmGauss: {
      double sw = 0.0, swy = 0.0;
      for (int32_t i = 0; i < K; ++i) {
        const double t = f * list.Dist[i] / D;
        const double w = std::exp(-(t * t));
        sw += w;
        swy += w * y(i);
      }
      Estimate = swy / sw;
      break;
    }
    case kwmAverage: {
      double s = 0.0;
      for (int32_t i = 0; i < K; ++i) s += y(i);
      Estimate = s / K;
      break;
    }
    case kwmMedian: {
      TVector v;
      v.Resize(K);
      for (int32_t i = 0; i < K; ++i) v.Data()[i] = y(i);
      double q1, q2, q3;
      v.Quartiles(1, K, q1, q2, q3);
      Estimate = q2;
      break;
    }
    case kwmLinear: {
      double sw = 0.0, swy = 0.0;
      for (int32_t i = 0; i < K; ++i) {
        const double w = 1.0 - list.Dist[i] / D / f;
        if (w <= 0.0) continue;
        sw += w;
        swy += w * y(i);
      }
      Estimate = sw > 0.0 ? swy / sw : 0.0;
      break;
    }
    case kwmBiQuad: {
      const int32_t p = DataMat->NrOfColumns();
      const int32_t nt = 1 + 2 * p + p * (p - 1) / 2;
      const std::size_t sk = static_cast<std::size_t>(K);
      std::vector<double> A(sk * static_cast<std::size_t>(nt)), rhs(sk), b(static_cast<std::size_t>(nt));
      const double* q = Query->Data().data();
      const int32_t nq = Query->NrOfElem();
      auto qv = [&](int32_t c) { return c < nq ? q[c] : 0.0; };
      // Terms in the order 1, x_i, x_i^2, x_i x_j (i < j); the query uses the same order.
      auto terms = [&](auto&& x, auto&& put) {
        int32_t t = 0;
        put(t++, 1.0);
        for (int32_t c = 0; c < p; ++c) put(t++, x(c));
        for (int32_t c = 0; c < p; ++c) put(t++, x(c) * x(c));
        for (int32_t c = 0; c < p; ++c)
          for (int32_t d = c + 1; d < p; ++d) put(t++, x(c) * x(d));
      };
      for (int32_t i = 0; i < K; ++i) {
        const int32_t row = list.Row[i];
        terms([&](int32_t c) { return DataMat->Cell(c + 1, row); },
              [&](int32_t t, double v) { A[static_cast<std::size_t>(t) * sk + i] = v; });
        rhs[i] = y(i);
      }
      bool near = false;
      if (!LeastSquaresSolve(A.data(), K, nt, rhs.data(), b.data(), nullptr, near)) break;
      double e = 0.0;
      terms(qv, [&](int32_t t, double v) { e += b[t] * v; });
      Estimate = e;
      break;
    }
  }
}

void MeanDistanceKNN(const TMatrix* DataMat, int32_t K, int32_t FirstRow, int32_t LastRow,
                     TVector* Result) {
  if (DataMat == nullptr || Result == nullptr || !DataMat->HasCells()) return;
  const int32_t nr = DataMat->NrOfRows(), nc = DataMat->NrOfColumns();
  ClampRows(nr, FirstRow, LastRow);
  K = std::clamp(K, 1, kMaxMeanNN);
  K = std::min(K, LastRow - FirstRow + 1);
  std::vector<double> q(static_cast<std::size_t>(nc));
  TNeighbourList list;
  const double* data = DataMat->Data();
  const std::size_t ld = static_cast<std::size_t>(DataMat->Stride());
  double buf[kBlock];
  const int32_t ne = Result->NrOfElem();
  for (int32_t i = FirstRow; i <= LastRow; ++i) {
    for (int32_t c = 0; c < nc; ++c) q[c] = data[static_cast<std::size_t>(c) * ld + (i - 1)];
    list.Reset(kMaxMeanNN);
    for (std::size_t r0 = static_cast<std::size_t>(FirstRow - 1);
         r0 < static_cast<std::size_t>(LastRow); r0 += kBlock) {
      const std::size_t cnt = std::min(kBlock, static_cast<std::size_t>(LastRow) - r0);
      math2detail::SquaredDistances(data, ld, nc, r0, cnt, q.data(), nc, buf);
      for (std::size_t j = 0; j < cnt; ++j)
        if (buf[j] <= list.Dist.back()) list.Offer(std::sqrt(buf[j]), static_cast<int32_t>(r0 + j + 1));
    }
    if (i > ne) continue;
    double s = 0.0;
    int32_t k = 0;
    for (; k < K && list.Row[static_cast<std::size_t>(k)] > 0; ++k) s += list.Dist[k];
    Result->Data()[static_cast<std::size_t>(i - 1)] = k > 0 ? s / k : 0.0;
  }
  Result->Changed();
}

}  // namespace qmx
