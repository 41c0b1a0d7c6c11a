// TMat4D: storage, fills, range and per-pixel statistics, copies, reshaping, addressing,
// checksum and XML. The block file is in tmat4d_file.cpp.
#include "qmx/matrix/tmat4d.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

#include "matrix/matio.h"
#include "matrix/nd_impl.h"
#include "qmx/math1.h"
#include "qmx/matrix/tmat3d.h"
#include "qmx/matrix/tmatrix.h"

namespace qmx {

namespace {

std::size_t Count4(int64_t nc, int64_t nr, int64_t nl, int64_t nt) {
  return static_cast<std::size_t>(nc) * static_cast<std::size_t>(nr) * static_cast<std::size_t>(nl) *
         static_cast<std::size_t>(nt);
}

// A validated range, 1-based bounds.
struct TRange4 {
  int32_t lc, hc, lr, hr, ll, hl, lt, ht;
  int32_t NC() const { return hc - lc + 1; }
  int32_t NR() const { return hr - lr + 1; }
  int32_t NL() const { return hl - ll + 1; }
  int32_t NT() const { return ht - lt + 1; }
  int64_t Pairs() const { return int64_t(NC()) * NR(); }
  int64_t Slices() const { return int64_t(NL()) * NT(); }
  std::size_t Count() const { return Count4(NC(), NR(), NL(), NT()); }
};

TRange4 Valid(const TMat4D& m, int32_t lc, int32_t hc, int32_t lr, int32_t hr, int32_t ll, int32_t hl,
              int32_t lt, int32_t ht) {
  m.MakeValidColRange(lc, hc);
  m.MakeValidRowRange(lr, hr);
  m.MakeValidLayerRange(ll, hl);
  m.MakeValidTSlotRange(lt, ht);
  return {lc, hc, lr, hr, ll, hl, lt, ht};
}

// Walks the range in storage order, one row stretch at a time: Run(const double* p, len,
// r, l, t). The counter of column-row pairs advances as the slices are finished, so it makes
// as many steps as a walk pair by pair.
template <class RunFn>
void ForRuns(const TMat4D& m, const TRange4& b, bool Progress, RunFn Run) {
  ndimpl::TPairProgress prog(b.Pairs());
  const int64_t slices = b.Slices();
  int64_t done = 0;
  const auto len = static_cast<std::size_t>(b.NC());
  for (int32_t t = b.lt; t <= b.ht; ++t)
    for (int32_t l = b.ll; l <= b.hl; ++l) {
      for (int32_t r = b.lr; r <= b.hr; ++r) Run(m.RowData(r, l, t) + (b.lc - 1), len, r, l, t);
      if (Progress) prog.AdvanceTo(b.Pairs() * ++done / slices);
    }
}

// Walks every element column-outermost, then row, layer, time slot (the order of the checksum
// and the random fills), in stretches of that order: V(double* Stretch, Len, PairsDone). The
// stretches are gathered from tiles of up to 8 columns, so that every cache line fetched is
// used whole; with Write they are scattered back after V filled them.
template <class M, class Visit>
void WalkVisitOrder(M& m, bool Write, Visit V) {
  const int32_t nx = m.NrOfColumns(), ny = m.NrOfRows(), nz = m.NrOfLayers(), nt = m.NrOfTimeSlots();
  const std::size_t series = static_cast<std::size_t>(nz) * static_cast<std::size_t>(nt);  // one pixel
  const std::size_t column = series * static_cast<std::size_t>(ny);
  const std::size_t slice = static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny);
  constexpr std::size_t kMaxBuffer = std::size_t(1) << 22;  // 32 MiB of values
  auto* base = const_cast<double*>(m.Data());
  if (column > kMaxBuffer) {
    // Very long pixel series: one pixel at a time, in pieces.
    std::vector<double> buf(std::min<std::size_t>(series, 4096));
    int64_t pairs = 0;
    for (int32_t c = 0; c < nx; ++c)
      for (int32_t r = 0; r < ny; ++r) {
        const std::size_t px = static_cast<std::size_t>(r) * nx + c;
        // Series position k = l * nt + t lies in storage slice t * nz + l.
        auto at = [&](std::size_t k) -> double& { return base[((k % nt) * nz + k / nt) * slice + px]; };
        ++pairs;
        for (std::size_t k0 = 0; k0 < series; k0 += buf.size()) {
          const std::size_t n = std::min(buf.size(), series - k0);
          for (std::size_t k = 0; k < n; ++k) buf[k] = at(k0 + k);
          // The pair counts as done with its last piece.
          V(buf.data(), n, k0 + n < series ? pairs - 1 : pairs);
          if (Write)
            for (std::size_t k = 0; k < n; ++k) at(k0 + k) = buf[k];
        }
      }
    return;
  }
  const int32_t W = static_cast<int32_t>(std::clamp<std::size_t>(kMaxBuffer / column, 1, 8));
  std::vector<double> buf(static_cast<std::size_t>(std::min(W, nx)) * column);
  int64_t pairs = 0;
  for (int32_t c0 = 0; c0 < nx; c0 += W) {
    const int32_t w = std::min(W, nx - c0);
    // buf[j * column + (r * nz + l) * nt + t] holds (c0 + j, r, l, t). Row by row, the writes
    // fill w short contiguous stretches and the reads take one cache line from each slice.
    auto transfer = [&](bool toBuf) {
      for (int32_t r = 0; r < ny; ++r)
        for (int32_t l = 0; l < nz; ++l) {
          double* d = buf.data() + (static_cast<std::size_t>(r) * nz + l) * nt;
          const std::size_t off = static_cast<std::size_t>(r) * nx + c0;
          for (int32_t t = 0; t < nt; ++t) {
            double* s = base + (static_cast<std::size_t>(t) * nz + l) * slice + off;
            for (int32_t j = 0; j < w; ++j) {
              if (toBuf)
                d[static_cast<std::size_t>(j) * column + t] = s[j];
              else
                s[j] = d[static_cast<std::size_t>(j) * column + t];
            }
          }
        }
    };
    if (!Write) transfer(true);
    for (int32_t j = 0; j < w; ++j)
      for (int32_t r = 0; r < ny; ++r)
        V(buf.data() + static_cast<std::size_t>(j) * column + static_cast<std::size_t>(r) * series, series, ++pairs);
    if (Write) transfer(false);
  }
}

}  // namespace

TMat4D::TMat4D(TComponent* AOwner) : TComponent(AOwner) { FMat = ndimpl::AllocValues(this, 1); }

TMat4D::~TMat4D() = default;

void TMat4D::Raise(const char* Tail) const { RaiseComponentError<EQMXMatrixError>(this, Tail); }

void TMat4D::Adopt(std::vector<double>&& V, int32_t Nc, int32_t Nr, int32_t Nl, int32_t Nt) noexcept {
  FMat = std::move(V);
  FNumX = Nc;
  FNumY = Nr;
  FNumZ = Nl;
  FNumT = Nt;
}

// ---- size ---------------------------------------------------------------------------------------

bool TMat4D::Resize(int32_t Nc, int32_t Nr, int32_t Nl, int32_t Nt) {
  if (Nc < 1 || Nr < 1 || Nl < 1 || Nt < 1) return true;
  if (Nc == FNumX && Nr == FNumY && Nl == FNumZ && Nt == FNumT) return true;
  // The counts change only after the storage was taken: a failure leaves the object whole.
  std::vector<double> v = ndimpl::AllocValues(this, Count4(Nc, Nr, Nl, Nt));
  const int32_t kc = std::min(Nc, FNumX), kr = std::min(Nr, FNumY), kl = std::min(Nl, FNumZ),
                kt = std::min(Nt, FNumT);
  for (int32_t t = 1; t <= kt; ++t)
    for (int32_t l = 1; l <= kl; ++l)
      for (int32_t r = 1; r <= kr; ++r)
        std::copy_n(RowData(r, l, t), kc,
                    v.data() + ((static_cast<std::size_t>(t - 1) * Nl + (l - 1)) * Nr + (r - 1)) * Nc);
  Adopt(std::move(v), Nc, Nr, Nl, Nt);
  Changed();
  return true;
}

bool TMat4D::ResizeAndClear(int32_t Nc, int32_t Nr, int32_t Nl, int32_t Nt) {
  const bool ok = Resize(Nc, Nr, Nl, Nt);
  Fill(0.0);
  return ok;
}

void TMat4D::SetNCols(int32_t Nc) { Resize(std::max(Nc, 1), FNumY, FNumZ, FNumT); }
void TMat4D::SetNRows(int32_t Nr) { Resize(FNumX, std::max(Nr, 1), FNumZ, FNumT); }
void TMat4D::SetNLayers(int32_t Nl) { Resize(FNumX, FNumY, std::max(Nl, 1), FNumT); }
void TMat4D::SetNTSlots(int32_t Nt) { Resize(FNumX, FNumY, FNumZ, std::max(Nt, 1)); }

void TMat4D::Changed() { FireEvent(OnChange, this); }
void TMat4D::PercDone(TObject* Sender, int32_t Percent) { FireEvent(OnPercentDone, Sender, Percent); }
void TMat4D::ReadElement(TObject* Sender, int32_t ix, int32_t iy, int32_t il, int32_t it, double Value) {
  FireEvent(OnReadElement, Sender, ix, iy, il, it, Value);
}

// ---- fills --------------------------------------------------------------------------------------

void TMat4D::Fill(double Value) {
  std::fill(FMat.begin(), FMat.end(), Value);
  Changed();
}

void TMat4D::FillDiag(double Value) {
  const int32_t n = std::min({FNumX, FNumY, FNumZ, FNumT});
  for (int32_t i = 1; i <= n; ++i) FMat[Index(i, i, i, i)] = Value;
  Changed();
}

void TMat4D::FillLayer(int32_t Layer, double Value) {
  if (Layer < 1 || Layer > FNumZ) return;
  const std::size_t slice = static_cast<std::size_t>(FNumX) * FNumY;
  for (int32_t t = 1; t <= FNumT; ++t) std::fill_n(SliceData(Layer, t), slice, Value);
}

void TMat4D::FillRandomUniform(double RangeLow, double RangeHigh) {
  const double w = RangeHigh - RangeLow;
  WalkVisitOrder(*this, true, [&](double* p, std::size_t n, int64_t) {
    for (std::size_t i = 0; i < n; ++i) p[i] = RangeLow + RandomUniform() * w;
  });
  Changed();
}

void TMat4D::FillRandomGauss(double Mean, double StdDev) {
  WalkVisitOrder(*this, true, [&](double* p, std::size_t n, int64_t) {
    for (std::size_t i = 0; i < n; ++i) p[i] = GRandom() * StdDev + Mean;
  });
  Changed();
}

// ---- range statistics -----------------------------------------------------------------------------

void TMat4D::Find(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
                  int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot, double Value, int32_t& ColIx,
                  int32_t& RowIx, int32_t& LayerIx, int32_t& TimeSlotIx) const {
  ColIx = RowIx = LayerIx = TimeSlotIx = 0;
  const TRange4 b = Valid(*this, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer, LowTimeSlot, HighTimeSlot);
  double best = uc_MaxDouble;
  // Storage order differs from the visiting order (column-outermost, then row, layer, time
  // slot), so an equally near element replaces the best one when it comes first in that order.
  ForRuns(*this, b, false, [&](const double* p, std::size_t n, int32_t r, int32_t l, int32_t t) {
    for (std::size_t i = 0; i < n; ++i) {
      const double d = std::fabs(p[i] - Value);
      if (d < best || (d == best && ColIx != 0)) {
        const int32_t c = b.lc + static_cast<int32_t>(i);
        if (d == best && std::tie(c, r, l, t) >= std::tie(ColIx, RowIx, LayerIx, TimeSlotIx)) continue;
        best = d;
        ColIx = c;
        RowIx = r;
        LayerIx = l;
        TimeSlotIx = t;
      }
    }
  });
}

void TMat4D::MinMax(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
                    int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot, double& Minimum,
                    double& Maximum) const {
  ndimpl::TExtremes<double> e(uc_MaxReal, -uc_MaxReal);
  ForRuns(*this, Valid(*this, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer, LowTimeSlot, HighTimeSlot), true,
          [&](const double* p, std::size_t n, int32_t, int32_t, int32_t) { e.Take(p, n); });
  Minimum = e.Min;
  Maximum = e.Max;
}

void TMat4D::MeanVar(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
                     int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot, double& Mean,
                     double& Variance) const {
  const TRange4 b = Valid(*this, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer, LowTimeSlot, HighTimeSlot);
  double s = 0.0, q = 0.0;
  ForRuns(*this, b, true, [&](const double* p, std::size_t n, int32_t, int32_t, int32_t) {
    for (std::size_t i = 0; i < n; ++i) {
      s += p[i];
      q += p[i] * p[i];
    }
  });
  const double n = static_cast<double>(b.Count());
  Mean = s / n;
  Variance = n >= 3 ? (q - s * s / n) / (n - 1) : 1.0;
}

double TMat4D::Sum(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
                   int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot) const {
  double s = 0.0;
  ForRuns(*this, Valid(*this, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer, LowTimeSlot, HighTimeSlot), true,
          [&](const double* p, std::size_t n, int32_t, int32_t, int32_t) {
            for (std::size_t i = 0; i < n; ++i) s += p[i];
          });
  return s;
}

double TMat4D::SquaredSum(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
                          int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot) const {
  double s = 0.0;
  ForRuns(*this, Valid(*this, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer, LowTimeSlot, HighTimeSlot), true,
          [&](const double* p, std::size_t n, int32_t, int32_t, int32_t) {
            for (std::size_t i = 0; i < n; ++i) s += p[i] * p[i];
          });
  return s;
}

int32_t TMat4D::CountValues(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
                            int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot, double RangeLow,
                            double RangeHigh) const {
  int64_t k = 0;
  ForRuns(*this, Valid(*this, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer, LowTimeSlot, HighTimeSlot), false,
          [&](const double* p, std::size_t n, int32_t, int32_t, int32_t) {
            for (std::size_t i = 0; i < n; ++i) k += (p[i] >= RangeLow) & (p[i] <= RangeHigh);
          });
  return static_cast<int32_t>(std::min<int64_t>(k, 2147483647));
}

double TMat4D::Percentile(double prob, int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                          int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot) const {
  prob = ndimpl::ClampProb(prob);
  const TRange4 b = Valid(*this, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer, LowTimeSlot, HighTimeSlot);
  const std::size_t n = b.Count();
  // Five probes look for a value that fills much of the range (the background of an image);
  // when the requested rank falls among its copies no selection is needed.
  ndimpl::TSampleRandom rnd;
  double probe[5];
  for (double& v : probe) {
    const auto k = static_cast<std::size_t>(rnd.Next(static_cast<int64_t>(n)));
    const auto nc = static_cast<std::size_t>(b.NC()), nr = static_cast<std::size_t>(b.NR()),
               nl = static_cast<std::size_t>(b.NL());
    v = FMat[Index(b.lc + int32_t(k % nc), b.lr + int32_t(k / nc % nr), b.ll + int32_t(k / nc / nr % nl),
                   b.lt + int32_t(k / nc / nr / nl))];
  }
  double cand = 0.0;
  for (int i = 0; i < 5; ++i) {
    int same = 0;
    for (int j = 0; j < 5; ++j) same += probe[j] == probe[i];
    if (same >= 2) {
      cand = probe[i];
      break;
    }
  }
  std::vector<double> x = ndimpl::AllocValues(this, n);
  double* out = x.data();
  std::size_t equal = 0, below = 0;
  ForRuns(*this, b, false, [&](const double* p, std::size_t len, int32_t, int32_t, int32_t) {
    for (std::size_t i = 0; i < len; ++i) {
      equal += p[i] == cand;
      below += p[i] < cand;
    }
    out = std::copy_n(p, len, out);
  });
  const std::size_t k = ndimpl::SelectionRank(n, prob);
  // Ranks below..below+equal-1 hold the candidate exactly (also when it is not the smallest
  // value, where taking it for every rank under its count would be wrong).
  if (k >= below && k < below + equal) return cand;
  return ndimpl::SelectRank(x, k);
}

double TMat4D::Percentile(double prob, int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                          int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot,
                          int32_t SampleSize) const {
  prob = ndimpl::ClampProb(prob);
  const TRange4 b = Valid(*this, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer, LowTimeSlot, HighTimeSlot);
  const std::size_t n = b.Count();
  if (SampleSize <= 0 || static_cast<std::size_t>(SampleSize) >= n)
    return Percentile(prob, b.lc, b.hc, b.lr, b.hr, b.ll, b.hl, b.lt, b.ht);
  std::vector<double> s = ndimpl::AllocValues(this, static_cast<std::size_t>(SampleSize));
  ndimpl::TSampleRandom rnd;
  const auto nc = static_cast<std::size_t>(b.NC()), nr = static_cast<std::size_t>(b.NR()),
             nl = static_cast<std::size_t>(b.NL());
  for (double& v : s) {
    const auto k = static_cast<std::size_t>(rnd.Next(static_cast<int64_t>(n)));
    v = FMat[Index(b.lc + int32_t(k % nc), b.lr + int32_t(k / nc % nr), b.ll + int32_t(k / nc / nr % nl),
                   b.lt + int32_t(k / nc / nr / nl))];
  }
  return ndimpl::SelectRank(s, ndimpl::SelectionRank(s.size(), prob));
}

// ---- per-pixel statistics -------------------------------------------------------------------------

// Op supplies Init(acc, first row), Add(acc, row) over a row stretch and Result(acc, n) per pixel;
// the accumulators are laid out like a row-major image of the range, so every slice is added
// with contiguous loads.
template <class Op>
void TMat4D::PixelStats(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                        int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot, Op O) const {
  const TRange4 b = Valid(*this, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer, LowTimeSlot, HighTimeSlot);
  if (DestMat == nullptr) return;
  const auto nc = static_cast<std::size_t>(b.NC()), nr = static_cast<std::size_t>(b.NR());
  std::vector<double> a = ndimpl::AllocValues(this, O.Width * nc * nr);
  DestMat->Resize(b.NC(), b.NR());
  bool first = true;
  ndimpl::TPairProgress prog(b.Pairs());
  int64_t done = 0;
  for (int32_t t = b.lt; t <= b.ht; ++t)
    for (int32_t l = b.ll; l <= b.hl; ++l) {
      for (int32_t r = b.lr; r <= b.hr; ++r) {
        const double* p = RowData(r, l, t) + (b.lc - 1);
        double* acc = a.data() + O.Width * nc * static_cast<std::size_t>(r - b.lr);
        if (first)
          O.Init(acc, p, nc);
        else
          O.Add(acc, p, nc);
      }
      first = false;
      prog.AdvanceTo(b.Pairs() * ++done / b.Slices());
    }
  const double n = static_cast<double>(b.Slices());
  for (std::size_t c = 0; c < nc; ++c) {
    double* d = DestMat->ColumnData(static_cast<int32_t>(c) + 1);
    for (std::size_t r = 0; r < nr; ++r) d[r] = O.Result(a.data() + O.Width * (r * nc), c, nc, n);
  }
  DestMat->Changed();
}

namespace {

struct TMeanOp {
  static constexpr std::size_t Width = 1;
  void Init(double* a, const double* p, std::size_t n) const { std::copy_n(p, n, a); }
  void Add(double* a, const double* p, std::size_t n) const {
    for (std::size_t i = 0; i < n; ++i) a[i] += p[i];
  }
  double Result(const double* a, std::size_t c, std::size_t, double n) const { return a[c] / n; }
};

// Sums and sums of squares side by side: [0, n) sums, [n, 2n) squares.
struct TStdDevOp {
  static constexpr std::size_t Width = 2;
  void Init(double* a, const double* p, std::size_t n) const {
    for (std::size_t i = 0; i < n; ++i) {
      a[i] = p[i];
      a[n + i] = p[i] * p[i];
    }
  }
  void Add(double* a, const double* p, std::size_t n) const {
    for (std::size_t i = 0; i < n; ++i) {
      a[i] += p[i];
      a[n + i] += p[i] * p[i];
    }
  }
  double Result(const double* a, std::size_t c, std::size_t nc, double n) const {
    const double m = a[c] / n;
    return std::sqrt(std::max(0.0, a[nc + c] / n - m * m));
  }
};

// The extremes rule of the containers: the first comparable value of a pixel replaces the
// start value, NaNs are passed over (a NaN accumulator takes the next value).
template <bool IsMax>
struct TExtremeOp {
  static constexpr std::size_t Width = 1;
  void Init(double* a, const double* p, std::size_t n) const { std::copy_n(p, n, a); }
  void Add(double* a, const double* p, std::size_t n) const {
    for (std::size_t i = 0; i < n; ++i) {
      const double x = p[i], y = a[i];
      a[i] = ((IsMax ? x > y : x < y) || y != y) ? x : y;
    }
  }
  double Result(const double* a, std::size_t c, std::size_t, double) const {
    const double v = a[c];
    return v != v ? (IsMax ? -uc_MaxReal : uc_MaxReal) : v;
  }
};

}  // namespace

void TMat4D::MeanOfLayersToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                                  int32_t HighRow, int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot,
                                  int32_t HighTimeSlot) const {
  PixelStats(DestMat, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer, LowTimeSlot, HighTimeSlot, TMeanOp{});
}

void TMat4D::MaximumOfLayersToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                                     int32_t HighRow, int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot,
                                     int32_t HighTimeSlot) const {
  PixelStats(DestMat, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer, LowTimeSlot, HighTimeSlot,
             TExtremeOp<true>{});
}

void TMat4D::MinimumOfLayersToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                                     int32_t HighRow, int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot,
                                     int32_t HighTimeSlot) const {
  PixelStats(DestMat, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer, LowTimeSlot, HighTimeSlot,
             TExtremeOp<false>{});
}

void TMat4D::StdDevOfLayersToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                                    int32_t HighRow, int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot,
                                    int32_t HighTimeSlot) const {
  PixelStats(DestMat, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer, LowTimeSlot, HighTimeSlot, TStdDevOp{});
}

// ---- copies -------------------------------------------------------------------------------------

void TMat4D::CopyFrom(const TMat4D* MatSource, int32_t SrcLowCol, int32_t SrcHighCol, int32_t SrcLowRow,
                      int32_t SrcHighRow, int32_t SrcLowLayer, int32_t SrcHighLayer, int32_t SrcLowTSlot,
                      int32_t SrcHighTSlot, int32_t DestCol, int32_t DestRow, int32_t DestLayer, int32_t DestTSlot) {
  if (MatSource == nullptr) return;
  const TRange4 b = Valid(*MatSource, SrcLowCol, SrcHighCol, SrcLowRow, SrcHighRow, SrcLowLayer, SrcHighLayer,
                          SrcLowTSlot, SrcHighTSlot);
  // A copy within this object reads a snapshot of the block, so overlapping blocks are not smeared.
  TMat4D snap;
  const TMat4D* src = MatSource;
  TRange4 sb = b;
  if (MatSource == this) {
    snap.Resize(b.NC(), b.NR(), b.NL(), b.NT());
    snap.CopyFrom(this, b.lc, b.hc, b.lr, b.hr, b.ll, b.hl, b.lt, b.ht, 1, 1, 1, 1);
    src = &snap;
    sb = {1, b.NC(), 1, b.NR(), 1, b.NL(), 1, b.NT()};
  }
  // Offsets in 64 bits; only the columns whose target lies inside are copied.
  const int64_t oc = int64_t(DestCol) - sb.lc, orr = int64_t(DestRow) - sb.lr, ol = int64_t(DestLayer) - sb.ll,
                ot = int64_t(DestTSlot) - sb.lt;
  const int64_t c0 = std::max<int64_t>(sb.lc, 1 - oc), c1 = std::min<int64_t>(sb.hc, FNumX - oc);
  ForRuns(*src, sb, true, [&](const double*, std::size_t, int32_t r, int32_t l, int32_t t) {
    const int64_t dr = r + orr, dl = l + ol, dt = t + ot;
    if (c0 > c1 || dr < 1 || dr > FNumY || dl < 1 || dl > FNumZ || dt < 1 || dt > FNumT) return;
    std::copy_n(src->RowData(r, l, t) + (c0 - 1), c1 - c0 + 1,
                RowData(int32_t(dr), int32_t(dl), int32_t(dt)) + (c0 + oc - 1));
  });
  Changed();
}

void TMat4D::CopyTimeSlotToMat3D(TMat3D* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                                 int32_t LowLay, int32_t HighLay, int32_t TimeSlot) const {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  MakeValidLayerRange(LowLay, HighLay);
  if (TimeSlot < 1 || TimeSlot > FNumT) Raise(": specified time slot beyond data range");
  if (DestMat == nullptr) return;
  DestMat->Resize(HighCol - LowCol + 1, HighRow - LowRow + 1, HighLay - LowLay + 1);
  for (int32_t l = LowLay; l <= HighLay; ++l)
    for (int32_t r = LowRow; r <= HighRow; ++r) {
      const double* p = RowData(r, l, TimeSlot);
      for (int32_t c = LowCol; c <= HighCol; ++c) DestMat->CellData(c - LowCol + 1, r - LowRow + 1)[l - LowLay] = p[c - 1];
    }
  DestMat->Changed();
}

void TMat4D::CopyMat3DToTimeSlot(const TMat3D* SrcMat, int32_t SrcLowCol, int32_t SrcHighCol, int32_t SrcLowRow,
                                 int32_t SrcHighRow, int32_t SrcLowLay, int32_t SrcHighLay, int32_t TimeSlot,
                                 int32_t DestCol, int32_t DestRow, int32_t DestLayer) {
  if (TimeSlot < 1 || TimeSlot > FNumT) Raise(": specified time slot beyond data range");
  if (SrcMat == nullptr) return;
  MakeValidColRange(SrcLowCol, SrcHighCol);
  MakeValidRowRange(SrcLowRow, SrcHighRow);
  MakeValidLayerRange(SrcLowLay, SrcHighLay);
  for (int32_t c = SrcLowCol; c <= SrcHighCol; ++c)
    for (int32_t r = SrcLowRow; r <= SrcHighRow; ++r)
      for (int32_t l = SrcLowLay; l <= SrcHighLay; ++l) {
        const int64_t dc = int64_t(c) - SrcLowCol + DestCol, dr = int64_t(r) - SrcLowRow + DestRow,
                      dl = int64_t(l) - SrcLowLay + DestLayer;
        if (dc >= 1 && dc <= FNumX && dr >= 1 && dr <= FNumY && dl >= 1 && dl <= FNumZ)
          FMat[Index(int32_t(dc), int32_t(dr), int32_t(dl), TimeSlot)] = SrcMat->GetVal(c, r, l);
      }
}

void TMat4D::CopyLayerToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                               int32_t Layer, int32_t TimeSlot) const {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  if (Layer < 1 || Layer > FNumZ) Raise(": specified layer beyond data range");
  if (TimeSlot < 1 || TimeSlot > FNumT) Raise(": specified time slot beyond data range");
  if (DestMat == nullptr) return;
  DestMat->Resize(HighCol - LowCol + 1, HighRow - LowRow + 1);
  for (int32_t r = LowRow; r <= HighRow; ++r) {
    const double* p = RowData(r, Layer, TimeSlot);
    for (int32_t c = LowCol; c <= HighCol; ++c) DestMat->Cell(c - LowCol + 1, r - LowRow + 1) = p[c - 1];
  }
  DestMat->Changed();
}

void TMat4D::CopyMatrixToLayer(const TMatrix* SrcMat, int32_t SrcLowCol, int32_t SrcHighCol, int32_t SrcLowRow,
                               int32_t SrcHighRow, int32_t Layer, int32_t TimeSlot, int32_t LayLowCol,
                               int32_t LayLowRow) {
  if (Layer < 1 || Layer > FNumZ) Raise(": specified layer beyond data range");
  if (TimeSlot < 1 || TimeSlot > FNumT) Raise(": specified time slot beyond data range");
  if (SrcMat == nullptr) return;
  MakeValidColRange(SrcLowCol, SrcHighCol);
  MakeValidRowRange(SrcLowRow, SrcHighRow);
  for (int32_t r = SrcLowRow; r <= SrcHighRow; ++r) {
    const int64_t dr = int64_t(r) + LayLowRow - SrcLowRow;
    if (dr < 1 || dr > FNumY) continue;
    double* d = RowData(int32_t(dr), Layer, TimeSlot);
    for (int32_t c = SrcLowCol; c <= SrcHighCol; ++c) {
      const int64_t dc = int64_t(c) + LayLowCol - SrcLowCol;
      if (dc >= 1 && dc <= FNumX) d[dc - 1] = SrcMat->GetVal(c, r);
    }
  }
}

void TMat4D::Copy1DArrayToPixel(const TDoubleArray& Src, int32_t Col, int32_t Row, int32_t FirstLayer,
                                int32_t TimeSlot) {
  if (Col < 1 || Col > FNumX) Raise(": specified column beyond data range");
  if (Row < 1 || Row > FNumY) Raise(": specified row beyond data range");
  if (FirstLayer < 1 || FirstLayer > FNumZ) Raise(": specified layer beyond data range");
  if (TimeSlot < 1 || TimeSlot > FNumT) Raise(": specified time slot beyond data range");
  const int64_t n = std::min<int64_t>(static_cast<int64_t>(Src.size()), int64_t(FNumZ) - FirstLayer + 1);
  for (int64_t i = 0; i < n; ++i) FMat[Index(Col, Row, FirstLayer + int32_t(i), TimeSlot)] = Src[static_cast<std::size_t>(i)];
}

void TMat4D::Clone(const TMat4D* MatSource) {
  if (MatSource == nullptr) return;
  if (MatSource != this) {
    Resize(MatSource->FNumX, MatSource->FNumY, MatSource->FNumZ, MatSource->FNumT);
    const TRange4 all{1, FNumX, 1, FNumY, 1, FNumZ, 1, FNumT};
    double* out = FMat.data();
    ForRuns(*MatSource, all, true, [&](const double* p, std::size_t n, int32_t, int32_t, int32_t) {
      out = std::copy_n(p, n, out);
    });
  } else {
    ndimpl::TPairProgress(int64_t(FNumX) * FNumY).AdvanceTo(int64_t(FNumX) * FNumY);
  }
  Changed();
}

void TMat4D::Assign(const TObject* Source) {
  const auto* src = dynamic_cast<const TMat4D*>(Source);
  if (src == nullptr) {
    TComponent::Assign(Source);
    return;
  }
  if (src == this) return;
  std::vector<double> v = src->FMat;  // copy first: a failure leaves this object intact
  Adopt(std::move(v), src->FNumX, src->FNumY, src->FNumZ, src->FNumT);
  FDataID = src->FDataID;
  OnChange = src->OnChange;
  OnPercentDone = src->OnPercentDone;
  OnReadElement = src->OnReadElement;
}

void TMat4D::AssignTo(TObject* Dest) const {
  if (auto* d = dynamic_cast<TMat4D*>(Dest)) {
    d->Assign(this);
    return;
  }
  TComponent::AssignTo(Dest);
}

// ---- reshaping ----------------------------------------------------------------------------------

void TMat4D::Cut(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
                 int32_t HighLayer, int32_t LowTimeslot, int32_t HighTimeslot) {
  const TRange4 b = Valid(*this, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer, LowTimeslot, HighTimeslot);
  std::vector<double> v = ndimpl::AllocValues(this, b.Count());
  // Progress over the (time slot, layer) pairs of both passes: the copy out and the hand-over
  // of the new storage.
  const int64_t pairs = b.Slices();
  const int64_t step = std::max<int64_t>(2 * pairs / 100, 1);
  int64_t k = 0;
  auto tick = [&] {
    if (++k % step == 0) PercDone(this, static_cast<int32_t>(std::nearbyint(double(k) * 100.0 / double(2 * pairs))));
  };
  double* out = v.data();
  for (int32_t t = b.lt; t <= b.ht; ++t)
    for (int32_t l = b.ll; l <= b.hl; ++l) {
      for (int32_t r = b.lr; r <= b.hr; ++r) out = std::copy_n(RowData(r, l, t) + (b.lc - 1), b.NC(), out);
      tick();
    }
  Adopt(std::move(v), b.NC(), b.NR(), b.NL(), b.NT());
  for (int64_t i = 0; i < pairs; ++i) tick();
  Changed();
}

void TMat4D::Resample(int32_t XDiv, int32_t XOffset, int32_t YDiv, int32_t YOffset, int32_t ZDiv, int32_t ZOffset,
                      int32_t TDiv, int32_t TOffset, bool Average) {
  if (XDiv < 1 || YDiv < 1 || ZDiv < 1 || TDiv < 1) Raise(": resampling divisors must be at least 1");
  auto reduce = [](int32_t off, int32_t div) { return ((off % div) + div) % div; };
  XOffset = reduce(XOffset, XDiv);
  YOffset = reduce(YOffset, YDiv);
  ZOffset = reduce(ZOffset, ZDiv);
  TOffset = reduce(TOffset, TDiv);
  const int32_t nx = (FNumX - XOffset - 1) / XDiv + 1, ny = (FNumY - YOffset - 1) / YDiv + 1,
                nz = (FNumZ - ZOffset - 1) / ZDiv + 1, nt = (FNumT - TOffset - 1) / TDiv + 1;
  std::vector<double> v = ndimpl::AllocValues(this, Count4(nx, ny, nz, nt));
  const double blockSize = double(XDiv) * YDiv * ZDiv * TDiv;
  std::vector<double> rowAcc(static_cast<std::size_t>(FNumX));
  ndimpl::TPercentProgress prog(int64_t(nz) * nt);
  int64_t done = 0;
  for (int32_t t2 = 1; t2 <= nt; ++t2)
    for (int32_t z2 = 1; z2 <= nz; ++z2) {
      const int32_t t0 = (t2 - 1) * TDiv + TOffset + 1, z0 = (z2 - 1) * ZDiv + ZOffset + 1;
      for (int32_t y2 = 1; y2 <= ny; ++y2) {
        const int32_t y0 = (y2 - 1) * YDiv + YOffset + 1;
        double* d = v.data() + ((static_cast<std::size_t>(t2 - 1) * nz + (z2 - 1)) * ny + (y2 - 1)) * nx;
        if (!Average) {
          if (t0 <= FNumT && z0 <= FNumZ && y0 <= FNumY) {
            const double* p = RowData(y0, z0, t0);
            for (int32_t x2 = 0; x2 < nx; ++x2) {
              const int32_t x0 = x2 * XDiv + XOffset;  // 0-based
              d[x2] = x0 < FNumX ? p[x0] : 0.0;
            }
          }
          continue;
        }
        // Halving (the common case) adds column pairs straight into the new row; other widths
        // sum the block's rows over the full width first (contiguous, vectorised) and then each
        // element's XDiv columns of that row sum.
        const bool pairs = XDiv == 2;
        if (!pairs) std::fill(rowAcc.begin(), rowAcc.end(), 0.0);
        const int32_t fullPairs = (FNumX - XOffset) / 2;
        for (int32_t t = t0; t < t0 + TDiv && t <= FNumT; ++t)
          for (int32_t z = z0; z < z0 + ZDiv && z <= FNumZ; ++z)
            for (int32_t y = y0; y < y0 + YDiv && y <= FNumY; ++y) {
              const double* p = RowData(y, z, t);
              if (pairs) {
                const double* q = p + XOffset;
                for (int32_t x2 = 0; x2 < fullPairs; ++x2) d[x2] += q[2 * x2] + q[2 * x2 + 1];
                if (fullPairs < nx) d[fullPairs] += q[2 * fullPairs];  // a last column alone
              } else {
                for (int32_t x = XOffset; x < FNumX; ++x) rowAcc[x] += p[x];
              }
            }
        for (int32_t x2 = 0; x2 < nx; ++x2) {
          if (!pairs) {
            const int32_t xs = x2 * XDiv + XOffset, xe = std::min(xs + XDiv, FNumX);
            double s = 0.0;
            for (int32_t x = xs; x < xe; ++x) s += rowAcc[x];
            d[x2] = s;
          }
          d[x2] /= blockSize;
        }
      }
      prog.AdvanceTo(++done, [&](int32_t pc) { PercDone(this, pc); });
    }
  Adopt(std::move(v), nx, ny, nz, nt);
  Changed();
}

bool TMat4D::Transpose() {
  std::vector<double> v = ndimpl::AllocValues(this, FMat.size());
  const int32_t nx = FNumX, ny = FNumY;
  const std::size_t slice = static_cast<std::size_t>(nx) * ny;
  const std::size_t slices = static_cast<std::size_t>(FNumZ) * FNumT;
  constexpr int32_t B = 32;
  // Tile by tile, so reads and writes stay within a few cache lines; the abort flag is looked
  // at once per tile column of every slice. An aborted transpose leaves the object unchanged.
  for (std::size_t s = 0; s < slices; ++s) {
    const double* src = FMat.data() + s * slice;
    double* dst = v.data() + s * slice;
    for (int32_t c0 = 0; c0 < nx; c0 += B) {
      if (AbortMathProc) return false;
      const int32_t c1 = std::min(c0 + B, nx);
      for (int32_t r0 = 0; r0 < ny; r0 += B) {
        const int32_t r1 = std::min(r0 + B, ny);
        for (int32_t r = r0; r < r1; ++r)
          for (int32_t c = c0; c < c1; ++c)
            dst[static_cast<std::size_t>(c) * ny + r] = src[static_cast<std::size_t>(r) * nx + c];
      }
    }
  }
  FMat = std::move(v);
  std::swap(FNumX, FNumY);
  Changed();
  return true;
}

void TMat4D::MirrorColumns() {
  const std::size_t rows = static_cast<std::size_t>(FNumY) * FNumZ * FNumT;
  for (std::size_t i = 0; i < rows; ++i) std::reverse(FMat.data() + i * FNumX, FMat.data() + (i + 1) * FNumX);
  Changed();
}

void TMat4D::MirrorRows() {
  const std::size_t slices = static_cast<std::size_t>(FNumZ) * FNumT;
  for (std::size_t s = 0; s < slices; ++s) {
    double* p = FMat.data() + s * FNumY * static_cast<std::size_t>(FNumX);
    for (int32_t a = 0, b = FNumY - 1; a < b; ++a, --b)
      std::swap_ranges(p + static_cast<std::size_t>(a) * FNumX, p + static_cast<std::size_t>(a + 1) * FNumX,
                       p + static_cast<std::size_t>(b) * FNumX);
  }
  Changed();
}

void TMat4D::MirrorLayers() {
  const std::size_t slice = static_cast<std::size_t>(FNumX) * FNumY;
  for (int32_t t = 1; t <= FNumT; ++t)
    for (int32_t a = 1, b = FNumZ; a < b; ++a, --b)
      std::swap_ranges(SliceData(a, t), SliceData(a, t) + slice, SliceData(b, t));
  Changed();
}

void TMat4D::MirrorTimeSlots() {
  const std::size_t slot = static_cast<std::size_t>(FNumX) * FNumY * FNumZ;
  for (int32_t a = 1, b = FNumT; a < b; ++a, --b)
    std::swap_ranges(SliceData(1, a), SliceData(1, a) + slot, SliceData(1, b));
  Changed();
}

// ---- addressing -----------------------------------------------------------------------------------

int32_t TMat4D::Lin3DAddr(int32_t ix, int32_t iy, int32_t il) const noexcept {
  if (int64_t(FNumX) * FNumY * FNumZ > 2147483647) return -2;
  if (ix < 1 || ix > FNumX || iy < 1 || iy > FNumY || il < 1 || il > FNumZ) return -1;
  return (il - 1) + ((ix - 1) + (iy - 1) * FNumX) * FNumZ;
}

bool TMat4D::ConvertLinTo3DAddr(int32_t LinAddr, int32_t& ix, int32_t& iy, int32_t& il) const noexcept {
  if (LinAddr < 0 || int64_t(LinAddr) >= int64_t(FNumX) * FNumY * FNumZ) return false;
  il = LinAddr % FNumZ + 1;
  ix = (LinAddr / FNumZ) % FNumX + 1;
  iy = LinAddr / FNumZ / FNumX + 1;
  return true;
}

double TMat4D::MemoryConsumed() const noexcept {
  return double(FNumX) / 1048576.0 * FNumY * FNumZ * FNumT * 8.0;
}

std::string TMat4D::CRCofData() const {
  TCRCAccumulator8 acc;
  const int64_t pairs = int64_t(FNumX) * FNumY;
  const int64_t step = std::max<int64_t>(pairs / 100, 1);
  int64_t last = 0;
  WalkVisitOrder(*this, false, [&](double* p, std::size_t n, int64_t done) {
    acc.Add(std::span<const double>(p, n));
    if (done != last && done % step == 0)
      const_cast<TMat4D*>(this)->PercDone(const_cast<TMat4D*>(this),
                                          static_cast<int32_t>(std::nearbyint(double(done) * 100.0 / double(pairs))));
    last = done;
  });
  return acc.Text();
}

// ---- XML ----------------------------------------------------------------------------------------

namespace {
std::string XmlText4(const TMat4D& M, bool CreateHeader, const std::string& DataID) {
  return matio::XmlArrayText("TMat4D", DataID.empty() ? M.DataID() : DataID, CreateHeader, M.NrOfColumns(),
                             M.NrOfRows(), M.NrOfLayers(), M.NrOfTimeSlots(),
                             [&](int32_t c, int32_t r, int32_t l, int32_t t) { return M.RowData(r, l, t)[c - 1]; });
}
}  // namespace

bool TMat4D::ReadXml(matio::CharSource& Src, const std::string& DataID) {
  matio::XmlArray a;
  if (!matio::ReadXmlArray(Src, DataID, 0, 0, a, matio::XmlOrder::ColumnFastest)) return false;
  Adopt(std::move(a.V), a.NC, a.NR, a.NL, a.NT);
  FDataID = a.ID;
  Changed();
  return true;
}

bool TMat4D::ReadFromXMLStream(TStream* InStream, const std::string& DataID) {
  return matio::XmlReadFromStream(InStream, [&](matio::CharSource& s) { return ReadXml(s, DataID); });
}

bool TMat4D::ReadFromOpenXMLFile(std::istream& InFile, const std::string& DataID) {
  return matio::XmlReadFromOpenFile(InFile, [&](matio::CharSource& s) { return ReadXml(s, DataID); });
}

bool TMat4D::LoadFromXMLFile(const std::string& FName, const std::string& DataID) {
  return matio::XmlLoadFromFile(FName, [&](matio::CharSource& s) { return ReadXml(s, DataID); });
}

void TMat4D::WriteToOpenXMLFile(std::ostream& OutFile, bool CreateHeader, const std::string& DataID) const {
  matio::WriteText(OutFile, XmlText4(*this, CreateHeader, DataID));
}

void TMat4D::WriteToXMLStream(TStream* OutStream, bool CreateHeader, const std::string& DataID) const {
  if (OutStream) matio::WriteText(*OutStream, XmlText4(*this, CreateHeader, DataID));
}

bool TMat4D::SaveAsXMLFile(const std::string& FName, const std::string& DataID) const {
  return matio::WriteWholeFile(FName, XmlText4(*this, true, DataID));
}

}  // namespace qmx
