// Window smoothing and derivatives, with the polynomial window tables built at compile time.
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "qmx/math1.h"
#include "qmx/math2.h"
#include "qmx/vector.h"

namespace qmx {

namespace {

// Reduced denominators of the quadratic-fit weights for m = 2..12.
constexpr int32_t kPolyNorm[11] = {35, 21, 231, 429, 143, 1105, 323, 2261, 3059, 805, 5175};
constexpr int32_t kDeriv2Norm[11] = {7, 42, 462, 429, 1001, 6188, 3876, 6783, 33649, 17710, 26910};
// First derivative: sum of i^2 over -m..m.
constexpr int32_t kDeriv1Norm[11] = {10, 28, 60, 110, 182, 280, 408, 570, 770, 1012, 1300};

// Weight i of the window 2m + 1 as an exact fraction num/den of the closed formulas.
constexpr TGolayTable MakeGolay(bool second, const int32_t (&norm)[11]) {
  TGolayTable t{};
  for (int k = 0; k < 11; ++k) {
    const int64_t m = k + 2, N = norm[k];
    t[k][0] = static_cast<int32_t>(N);
    for (int64_t i = 0; i <= m; ++i) {
      int64_t num, den;
      if (!second) {
        num = N * 3 * (3 * m * m + 3 * m - 1 - 5 * i * i);
        den = (2 * m - 1) * (2 * m + 1) * (2 * m + 3);
      } else {
        num = N * 30 * (3 * i * i - m * (m + 1));
        den = m * (m + 1) * (2 * m - 1) * (2 * m + 1) * (2 * m + 3);
      }
      if (num % den != 0) throw "normaliser does not clear the denominator";
      t[k][1 + i] = static_cast<int32_t>(num / den);
    }
  }
  return t;
}

constexpr TGolayTable kGolayPoly = MakeGolay(false, kPolyNorm);
constexpr TGolayTable kGolay2nd = MakeGolay(true, kDeriv2Norm);

// Every normaliser is the least common denominator (its weights share no factor with it), the
// smoothing weights sum to N (constants and lines pass unchanged) and the second-derivative
// weights sum to 0 with sum i^2 w_i = N (so j^2 gives 2).
constexpr bool CheckTables() {
  for (int k = 0; k < 11; ++k) {
    const int m = k + 2;
    int64_t g1 = kGolayPoly[k][0], g2 = kGolay2nd[k][0];
    int64_t s1 = kGolayPoly[k][1], s2 = kGolay2nd[k][1], q2 = 0;
    for (int i = 0; i <= m; ++i) {
      g1 = std::gcd(g1, static_cast<int64_t>(kGolayPoly[k][1 + i]));
      g2 = std::gcd(g2, static_cast<int64_t>(kGolay2nd[k][1 + i]));
      if (i > 0) {
        s1 += 2 * kGolayPoly[k][1 + i];
        s2 += 2 * kGolay2nd[k][1 + i];
        q2 += 2 * int64_t(i) * i * kGolay2nd[k][1 + i];
      }
    }
    for (int i = m + 1; i < 13; ++i)
      if (kGolayPoly[k][1 + i] != 0 || kGolay2nd[k][1 + i] != 0) return false;
    if (g1 != 1 || g2 != 1 || s1 != kGolayPoly[k][0] || s2 != 0 || q2 != 2 * kGolay2nd[k][0])
      return false;
    if (kDeriv1Norm[k] != m * (m + 1) * (2 * m + 1) / 3) return false;
  }
  return true;
}
static_assert(CheckTables());
static_assert(kGolayPoly[0][1] == 17 && kGolayPoly[0][2] == 12 && kGolayPoly[0][3] == -3);
static_assert(kGolay2nd[0][1] == -2 && kGolay2nd[0][2] == -1 && kGolay2nd[0][3] == 2);

struct TWindowOp {
  const char* name;
  const char* rangeTail;  // after "<name>: specified range for "
  const char* what;       // "smoothing window" or "polynomial"
  int32_t minLen, maxLen;
};

constexpr const char* kRangeSmooth = "smoothing is smaller than the length of the smoothing windows";
constexpr const char* kRangePoly = "smoothing is smaller than the length of the polynomial";

[[noreturn]] void Raise(const TWindowOp& op, const std::string& tail) {
  throw EQMXMath2Error(std::string(op.name) + ": " + tail);
}

// The common frame: checks, then Window(s, out, count) fills out[0..count) with the outputs
// centred on s[0..count), then the ends and the copy into the destination.
template <class Window>
void RunWindow(const TWindowOp& op, const TVector* SourceVec, int32_t First, int32_t Last,
               TVector* DestVec, int32_t WinLen, Window&& window) {
  if (SourceVec == nullptr || DestVec == nullptr)
    Raise(op, "either SourceVec or DestVec is undefined");
  const int32_t ns = SourceVec->NrOfElem();
  First = std::clamp(First, 1, ns);
  Last = std::clamp(Last, 1, ns);
  if (First > Last) std::swap(First, Last);
  if (Last - First < WinLen) Raise(op, std::string("specified range for ") + op.rangeTail);
  if (WinLen < op.minLen || WinLen > op.maxLen)
    Raise(op, std::string("length of ") + op.what + " is out of range");
  if (WinLen % 2 == 0) Raise(op, std::string("length of ") + op.what + " must be odd");
  const int32_t m = WinLen / 2;
  const int32_t K = Last - First + 1;
  // Written straight into a separate destination that holds the stretch; otherwise into a work
  // array copied over afterwards (the destination may be the source itself, or shorter).
  auto d = DestVec->Data();
  const bool direct = DestVec != SourceVec && d.size() >= static_cast<std::size_t>(K);
  std::vector<double> work;
  if (!direct) {
    try {
      work.resize(static_cast<std::size_t>(K));
    } catch (const std::bad_alloc&) {
      Raise(op, "not enough memory");
    }
  }
  double* out = direct ? d.data() : work.data();
  const double* s = SourceVec->Data().data() + (First - 1);
  window(s + m, out + m, K - 2 * m);
  std::fill(out, out + m, out[m]);
  std::fill(out + K - m, out + K, out[K - m - 1]);
  if (!direct) std::copy_n(work.begin(), std::min<std::size_t>(work.size(), d.size()), d.begin());
  DestVec->Changed();
}

// Symmetric weights wt[0..m], divided by div: (wt0 s0 + sum_i wt_i (s_i + s_-i)) / div. Four
// outputs at a time as independent sums, each in the textbook order.
// Half-widths up to 12 (all polynomial windows) with the width known to the compiler: the taps
// unroll and consecutive outputs go into vector lanes, each still summed in the same order.
template <int M>
void SymmetricWindowFixed(const double* s, double* out, int32_t count, const double* wt,
                          double div) {
  double w[M + 1];
  for (int i = 0; i <= M; ++i) w[i] = wt[i];
  for (int32_t c = 0; c < count; ++c) {
    const double* p = s + c;
    double a = w[0] * p[0];
    for (int i = 1; i <= M; ++i) a += w[i] * (p[i] + p[-i]);
    out[c] = a / div;
  }
}

template <int... Ms>
bool SymmetricWindowDispatch(std::integer_sequence<int, Ms...>, int32_t m, const double* s,
                             double* out, int32_t count, const double* wt, double div) {
  return ((m == Ms ? (SymmetricWindowFixed<Ms>(s, out, count, wt, div), true) : false) || ...);
}

void SymmetricWindow(const double* s, double* out, int32_t count, const double* wt, int32_t m,
                     double div) {
  if (SymmetricWindowDispatch(std::integer_sequence<int, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12>{},
                              m, s, out, count, wt, div))
    return;
  int32_t c = 0;
  for (; c + 4 <= count; c += 4) {
    const double* p = s + c;
    double a0 = wt[0] * p[0], a1 = wt[0] * p[1], a2 = wt[0] * p[2], a3 = wt[0] * p[3];
    for (int32_t i = 1; i <= m; ++i) {
      const double w = wt[i];
      a0 += w * (p[i] + p[-i]);
      a1 += w * (p[1 + i] + p[1 - i]);
      a2 += w * (p[2 + i] + p[2 - i]);
      a3 += w * (p[3 + i] + p[3 - i]);
    }
    out[c] = a0 / div;
    out[c + 1] = a1 / div;
    out[c + 2] = a2 / div;
    out[c + 3] = a3 / div;
  }
  for (; c < count; ++c) {
    const double* p = s + c;
    double a = wt[0] * p[0];
    for (int32_t i = 1; i <= m; ++i) a += wt[i] * (p[i] + p[-i]);
    out[c] = a / div;
  }
}

template <class WeightOf>
void Symmetric(const TWindowOp& op, const TVector* S, int32_t First, int32_t Last, TVector* D,
               int32_t WinLen, WeightOf weightOf, double div) {
  RunWindow(op, S, First, Last, D, WinLen, [&](const double* s, double* out, int32_t count) {
    // The moving windows have no upper length limit, but the range check has bounded WinLen
    // by the stretch, so the weights take no more memory than the input.
    const int32_t m = WinLen / 2;
    std::vector<double> wt;
    try {
      wt.resize(static_cast<std::size_t>(m) + 1);
    } catch (const std::bad_alloc&) {
      Raise(op, "not enough memory");
    }
    for (int32_t i = 0; i <= m; ++i) wt[i] = weightOf(m, i);
    SymmetricWindow(s, out, count, wt.data(), m, div);
  });
}

}  // namespace

const TGolayTable GolayPoly = kGolayPoly;
const TGolayTable Golay2ndDeriv = kGolay2nd;

void MovingAverageSmooth(const TVector* SourceVec, int32_t First, int32_t Last, TVector* DestVec,
                         int32_t WinLen) {
  static constexpr TWindowOp op{"MovingAverageSmooth", kRangeSmooth, "smoothing window", 3,
                                INT32_MAX};
  Symmetric(op, SourceVec, First, Last, DestVec, WinLen, [](int32_t, int32_t) { return 1.0; },
            static_cast<double>(WinLen));
}

void WeightedAverageSmooth(const TVector* SourceVec, int32_t First, int32_t Last,
                           TVector* DestVec, int32_t WinLen) {
  static constexpr TWindowOp op{"WeightedAverageSmooth", kRangeSmooth, "smoothing window", 3,
                                INT32_MAX};
  const double m1 = WinLen / 2 + 1.0;
  Symmetric(op, SourceVec, First, Last, DestVec, WinLen,
            [](int32_t m, int32_t i) { return static_cast<double>(m + 1 - i); }, m1 * m1);
}

void MovingMedianSmooth(const TVector* SourceVec, int32_t First, int32_t Last, TVector* DestVec,
                        int32_t WinLen) {
  static constexpr TWindowOp op{"MovingMedianSmooth", kRangeSmooth, "smoothing window", 3,
                                INT32_MAX};
  RunWindow(op, SourceVec, First, Last, DestVec, WinLen,
            [&](const double* s, double* out, int32_t count) {
              const int32_t m = WinLen / 2;
              std::vector<double> w;
              try {
                w.resize(static_cast<std::size_t>(WinLen));
              } catch (const std::bad_alloc&) {
                Raise(op, "not enough memory");
              }
              for (int32_t c = 0; c < count; ++c) {
                const double* p = s + c;
                bool nan = false;
                for (int32_t i = -m; i <= m; ++i) {
                  w[i + m] = p[i];
                  nan |= p[i] != p[i];
                }
                // The median of the window, as the quartiles give it: NaN when one is in it.
                out[c] = nan ? std::numeric_limits<double>::quiet_NaN()
                             : QuickSelect(std::span<double>(w), m, 0, WinLen - 1);
              }
            });
}

void PolynomialSmooth(const TVector* SourceVec, int32_t First, int32_t Last, TVector* DestVec,
                      int32_t WinLen) {
  static constexpr TWindowOp op{"PolynomialSmooth", kRangePoly, "polynomial", 5, 25};
  const int32_t k = std::clamp(WinLen / 2 - 2, 0, 10);
  Symmetric(op, SourceVec, First, Last, DestVec, WinLen,
            [k](int32_t, int32_t i) { return static_cast<double>(GolayPoly[k][1 + i]); },
            GolayPoly[k][0]);
}

void SecondDeriv(const TVector* SourceVec, int32_t First, int32_t Last, TVector* DestVec,
                 int32_t WinLen) {
  static constexpr TWindowOp op{"SecondDeriv", kRangePoly, "polynomial", 5, 25};
  const int32_t k = std::clamp(WinLen / 2 - 2, 0, 10);
  Symmetric(op, SourceVec, First, Last, DestVec, WinLen,
            [k](int32_t, int32_t i) { return static_cast<double>(Golay2ndDeriv[k][1 + i]); },
            Golay2ndDeriv[k][0]);
}

void FirstDeriv(const TVector* SourceVec, int32_t First, int32_t Last, TVector* DestVec,
                int32_t WinLen) {
  static constexpr TWindowOp op{"FirstDeriv",
                                "calculation is smaller than the length of the polynomial",
                                "polynomial", 5, 25};
  RunWindow(op, SourceVec, First, Last, DestVec, WinLen,
            [&](const double* s, double* out, int32_t count) {
              const int32_t m = WinLen / 2;
              const double norm = kDeriv1Norm[m - 2];
              for (int32_t c = 0; c < count; ++c) {
                const double* p = s + c;
                double a = 0.0;
                for (int32_t i = -m; i <= m; ++i) a += i * p[i];
                out[c] = a / norm;
              }
            });
}

}  // namespace qmx
