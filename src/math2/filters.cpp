// Sinc kernels, sliding kernel filter, Chebyshev design and zero-phase filter, Gauss kernels.
#include <algorithm>
#include <cmath>
#include <new>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "qmx/math2.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"

namespace qmx {

namespace {

constexpr double kPi = 3.14159265358979323846264338327950;

// ---- sinc kernels: one implementation over a span, both result forms call it ----

void SincLP(std::span<double> k, double f, int32_t win) {
  const int32_t N = static_cast<int32_t>(k.size());
  if (!(f >= 0.0)) f = 0.0;
  if (f > 0.5) f = 0.5;
  const int32_t c = N / 2 + 1;
  for (int32_t i = 1; i <= N; ++i) {
    const int32_t d = i - c;
    double v = d == 0 ? 2 * kPi * f : std::sin(2 * kPi * f * d) / d;
    const double phi = 2 * kPi * i / (N + 1.0);
    if (win == kSincWindowHamming)
      v *= 0.54 - 0.46 * std::cos(phi);
    else if (win == kSincWindowBlackman)
      v *= 0.42 - 0.5 * std::cos(phi) + 0.08 * std::cos(2 * phi);
    k[i - 1] = v;
  }
  double S = 0.0;
  for (double v : k) S += v;
  if (S != 0.0)
    for (double& v : k) v /= S;
}

// delta - kernel, the delta at the centre tap.
void Complement(std::span<double> k) {
  for (double& v : k) v = -v;
  if (!k.empty()) k[k.size() / 2] += 1.0;
}

void SincHP(std::span<double> k, double f, int32_t win) {
  SincLP(k, f, win);
  Complement(k);
}

void SincBS(std::span<double> k, double f1, double f2, int32_t win) {
  if (f2 < f1) std::swap(f1, f2);
  std::vector<double> hp(k.size());
  SincLP(k, f1, win);
  SincHP(hp, f2, win);
  for (std::size_t i = 0; i < k.size(); ++i) k[i] += hp[i];
}

void SincBP(std::span<double> k, double f1, double f2, int32_t win) {
  SincBS(k, f1, f2, win);
  Complement(k);
}

template <class Fn>
void IntoArray(const char* op, int32_t N, TDoubleArray& K, Fn fn) {
  try {
    K.assign(static_cast<std::size_t>(std::max(N, 0)), 0.0);
    fn(std::span<double>(K));
  } catch (const std::bad_alloc&) {
    throw EQMXMath2Error(std::string(op) + ": not enough memory");
  }
}

template <class Fn>
void IntoVector(const char* op, int32_t N, TVector* K, Fn fn) {
  if (K == nullptr || N < 1) return;
  try {
    K->Resize(N);
    fn(K->Data());
  } catch (const std::bad_alloc&) {
    throw EQMXMath2Error(std::string(op) + ": not enough memory");
  }
  K->Changed();
}

[[noreturn]] void NoMemory(const char* op) {
  throw EQMXMath2Error(std::string(op) + ": not enough memory");
}

}  // namespace

void CalcSincLPKernel(int32_t N, double Cutoff, int32_t WindowType, TVector* Kernel) {
  IntoVector("CalcSincLPKernel", N, Kernel, [&](std::span<double> k) { SincLP(k, Cutoff, WindowType); });
}
void CalcSincLPKernel(int32_t N, double Cutoff, int32_t WindowType, TDoubleArray& Kernel) {
  IntoArray("CalcSincLPKernel", N, Kernel, [&](std::span<double> k) { SincLP(k, Cutoff, WindowType); });
}
void CalcSincHPKernel(int32_t N, double Cutoff, int32_t WindowType, TVector* Kernel) {
  IntoVector("CalcSincHPKernel", N, Kernel, [&](std::span<double> k) { SincHP(k, Cutoff, WindowType); });
}
void CalcSincHPKernel(int32_t N, double Cutoff, int32_t WindowType, TDoubleArray& Kernel) {
  IntoArray("CalcSincHPKernel", N, Kernel, [&](std::span<double> k) { SincHP(k, Cutoff, WindowType); });
}
void CalcSincBSKernel(int32_t N, double Freq1, double Freq2, int32_t WindowType,
                      TDoubleArray& Kernel) {
  IntoArray("CalcSincBSKernel", N, Kernel,
            [&](std::span<double> k) { SincBS(k, Freq1, Freq2, WindowType); });
}
void CalcSincBSKernel(int32_t N, double Freq1, double Freq2, int32_t WindowType, TVector* Kernel) {
  IntoVector("CalcSincBSKernel", N, Kernel,
             [&](std::span<double> k) { SincBS(k, Freq1, Freq2, WindowType); });
}
void CalcSincBPKernel(int32_t N, double Freq1, double Freq2, int32_t WindowType,
                      TDoubleArray& Kernel) {
  IntoArray("CalcSincBPKernel", N, Kernel,
            [&](std::span<double> k) { SincBP(k, Freq1, Freq2, WindowType); });
}
void CalcSincBPKernel(int32_t N, double Freq1, double Freq2, int32_t WindowType, TVector* Kernel) {
  IntoVector("CalcSincBPKernel", N, Kernel,
             [&](std::span<double> k) { SincBP(k, Freq1, Freq2, WindowType); });
}

// ---- MovingKernelFilter ---------------------------------------------------------------------

void MovingKernelFilter(const TVector* SourceVec, int32_t First, int32_t Last, TVector* DestVec,
                        const TVector* FilterKernel) {
  if (SourceVec == nullptr || DestVec == nullptr || FilterKernel == nullptr)
    throw EQMXMath2Error("MovingKernelfilter: SourceVec, DestVec and/or FilterKernel is undefined");
  const int32_t ns = SourceVec->NrOfElem();
  First = std::clamp(First, 1, ns);
  Last = std::clamp(Last, 1, ns);
  if (First > Last) std::swap(First, Last);
  const int32_t L = FilterKernel->NrOfElem();
  if (Last - First < L)
    throw EQMXMath2Error(
        "MovingKernelfilter: specified range for smoothing is smaller than the length of the kernel");
  const int32_t c = L / 2;
  const int32_t K = Last - First + 1;
  // The stretch padded with its end values, the kernel and the result are copied out first, so
  // the three vectors may be one and the same.
  std::vector<double> xp, kern, out;
  try {
    xp.resize(static_cast<std::size_t>(K) + L - 1);
    kern.assign(FilterKernel->Data().begin(), FilterKernel->Data().end());
    out.resize(static_cast<std::size_t>(K));
  } catch (const std::bad_alloc&) {
    NoMemory("MovingKernelfilter");
  }
  const double* s = SourceVec->Data().data();
  for (int32_t k = 0; k < K + L - 1; ++k)
    xp[k] = s[std::clamp(First + k - c, First, Last) - 1];
  const double* kp = kern.data();
  int32_t b = 0;
  // Four outputs at a time as independent sums, each in kernel order.
  for (; b + 4 <= K; b += 4) {
    const double* p = xp.data() + b;
    double a0 = 0.0, a1 = 0.0, a2 = 0.0, a3 = 0.0;
    for (int32_t e = 0; e < L; ++e) {
      const double w = kp[e];
      a0 += w * p[e];
      a1 += w * p[e + 1];
      a2 += w * p[e + 2];
      a3 += w * p[e + 3];
    }
    out[b] = a0;
    out[b + 1] = a1;
    out[b + 2] = a2;
    out[b + 3] = a3;
  }
  for (; b < K; ++b) {
    const double* p = xp.data() + b;
    double a = 0.0;
    for (int32_t e = 0; e < L; ++e) a += kp[e] * p[e];
    out[b] = a;
  }
  DestVec->Resize(ns);
  std::copy(out.begin(), out.end(), DestVec->Data().begin());
  DestVec->Changed();
}

// ---- Chebyshev ------------------------------------------------------------------------------

void CalcChebFilterCoeffs(int32_t NPoles, bool HighPass, double Cutoff, double Ripple,
                          double& a0, TMatrix* Coeffs) {
  if (NPoles % 2 != 0) throw EQMXMath2Error("CalcChebFilterCoeffs: NPoles must be even");
  // The design arrays hold 23 coefficients, so at most 20 poles; 0 poles is no filter.
  if (NPoles < 2 || NPoles > 20)
    throw EQMXMath2Error("CalcChebFilterCoeffs: NPoles must be in the range 2..20");
  if (!(Ripple >= 0.0 && Ripple <= 29.0))
    throw EQMXMath2Error("CalcChebFilterCoeffs: invalid Ripple value");
  if (!(Cutoff >= 0.0 && Cutoff <= 0.5))
    throw EQMXMath2Error("CalcChebFilterCoeffs: invalid cutoff frequency");
  if (Coeffs == nullptr)
    throw EQMXMath2Error("CalcChebFilterCoeffs: coefficient matrix is undefined");
  double A[23] = {}, B[23] = {}, TA[23], TB[23];
  A[2] = 1.0;
  B[2] = 1.0;
  const double np = NPoles;
  for (int32_t p = 1; p <= NPoles / 2; ++p) {
    double rp = -std::cos(kPi / (2 * np) + (p - 1) * kPi / np);
    double ip = std::sin(kPi / (2 * np) + (p - 1) * kPi / np);
    if (Ripple != 0.0) {
      const double q = 100.0 / (100.0 - Ripple);
      const double es = std::sqrt(q * q - 1.0);
      const double vx = std::log(1.0 / es + std::sqrt(1.0 / (es * es) + 1.0)) / np;
      double kx = std::log(1.0 / es + std::sqrt(1.0 / (es * es) - 1.0)) / np;
      kx = (std::exp(kx) + std::exp(-kx)) / 2.0;
      rp = rp * ((std::exp(vx) - std::exp(-vx)) / 2.0) / kx;
      ip = ip * ((std::exp(vx) + std::exp(-vx)) / 2.0) / kx;
    }
    const double t = 2.0 * std::tan(0.5);
    const double m = rp * rp + ip * ip;
    double d = 4.0 - 4.0 * rp * t + m * t * t;
    const double x0 = t * t / d, x1 = 2.0 * t * t / d, x2 = t * t / d;
    const double y1 = (8.0 - 2.0 * m * t * t) / d;
    const double y2 = (-4.0 - 4.0 * rp * t - m * t * t) / d;
    const double w = 2.0 * kPi * Cutoff;
    const double k = HighPass ? -std::cos(w / 2.0 + 0.5) / std::cos(w / 2.0 - 0.5)
                              : std::sin(0.5 - w / 2.0) / std::sin(0.5 + w / 2.0);
    d = 1.0 + y1 * k - y2 * k * k;
    const double ca0 = (x0 - x1 * k + x2 * k * k) / d;
    double ca1 = (-2.0 * x0 * k + x1 + x1 * k * k - 2.0 * x2 * k) / d;
    const double ca2 = (x0 * k * k - x1 * k + x2) / d;
    double cb1 = (2.0 * k + y1 + y1 * k * k - 2.0 * y2 * k) / d;
    const double cb2 = (-k * k - y1 * k + y2) / d;
    if (HighPass) {
      ca1 = -ca1;
      cb1 = -cb1;
    }
    std::copy(A, A + 23, TA);
    std::copy(B, B + 23, TB);
    for (int32_t i = 2; i <= 22; ++i) {
      A[i] = ca0 * TA[i] + ca1 * TA[i - 1] + ca2 * TA[i - 2];
      B[i] = TB[i] - cb1 * TB[i - 1] - cb2 * TB[i - 2];
    }
  }
  B[2] = 0.0;
  for (int32_t i = 0; i <= 20; ++i) {
    A[i] = A[i + 2];
    B[i] = -B[i + 2];
  }
  double SA = 0.0, SB = 0.0;
  for (int32_t i = 0; i <= 20; ++i) {
    const double sgn = (HighPass && i % 2 == 1) ? -1.0 : 1.0;
    SA += A[i] * sgn;
    SB += B[i] * sgn;
  }
  const double gain = SA / (1.0 - SB);
  for (int32_t i = 0; i <= 20; ++i) A[i] /= gain;
  a0 = A[0];
  Coeffs->Resize(2, NPoles);
  for (int32_t r = 1; r <= NPoles; ++r) {
    Coeffs->Cell(1, r) = A[r];
    Coeffs->Cell(2, r) = B[r];
  }
  Coeffs->Changed();
}

namespace {
// The forward and the backward recursion over positions 1..T. NP > 0 fixes the number of poles
// at compile time (coefficients in registers, taps unrolled); NP = 0 takes it from np.
template <int NP>
void ChebRecursion(const double* xb, double* yb, double* zb, int64_t T, double a0,
                   const double* ac, const double* bc, int32_t np = NP) {
  constexpr int kMax = NP > 0 ? NP : 1;
  double a[kMax + 1], b[kMax + 1];
  if constexpr (NP > 0) {
    for (int r = 1; r <= NP; ++r) {
      a[r] = ac[r];
      b[r] = bc[r];
    }
  }
  const double* A = NP > 0 ? a : ac;
  const double* B = NP > 0 ? b : bc;
  const int32_t n = NP > 0 ? NP : np;
  for (int64_t i = 1; i <= T; ++i) {
    double acc = a0 * xb[i];
    for (int32_t r = 1; r <= n; ++r) acc += A[r] * xb[i - r] + B[r] * yb[i - r];
    yb[i] = acc;
  }
  std::fill(zb + T + 1, zb + T + n + 2, 0.0);
  for (int64_t i = T; i >= 1; --i) {
    double acc = a0 * yb[i];
    for (int32_t r = 1; r <= n; ++r) acc += A[r] * yb[i + r] + B[r] * zb[i + r];
    zb[i] = acc;
  }
}

template <int... Ns>
bool ChebRecursionDispatch(std::integer_sequence<int, Ns...>, int32_t np, const double* xb,
                           double* yb, double* zb, int64_t T, double a0, const double* ac,
                           const double* bc) {
  return ((np == Ns ? (ChebRecursion<Ns>(xb, yb, zb, T, a0, ac, bc), true) : false) || ...);
}
}  // namespace

void ChebychevFilter(const TVector* SourceVec, int32_t First, int32_t Last, TVector* DestVec,
                     double a0, const TMatrix* Coeffs) {
  if (SourceVec == nullptr || DestVec == nullptr || Coeffs == nullptr)
    throw EQMXMath2Error("ChebychevFilter: SourceVec, DestVec and/or coefficient matrix is undefined");
  const int32_t ns = SourceVec->NrOfElem();
  First = std::clamp(First, 1, ns);
  Last = std::clamp(Last, 1, ns);
  if (First > Last) std::swap(First, Last);
  const int32_t np = Coeffs->NrOfRows();
  const int32_t P = np + 1;
  const int64_t T = int64_t(Last) + 2 * int64_t(P);  // positions 1..T
  std::vector<double> a(static_cast<std::size_t>(np) + 1), b(static_cast<std::size_t>(np) + 1);
  for (int32_t r = 1; r <= np; ++r) {
    a[r] = Coeffs->Elem(1, r);
    b[r] = Coeffs->Elem(2, r);
  }
  // Zero-padded copies so the recursions index without checks: xp[q] is source index
  // q + 1 - P - np, y has np zeros before position 1 and np after position T, z np zeros
  // after position T.
  std::vector<double> xp, y;
  try {
    xp.assign(static_cast<std::size_t>(T + np + 2), 0.0);
    y.assign(static_cast<std::size_t>(T + 2 * np + 1), 0.0);
  } catch (const std::bad_alloc&) {
    NoMemory("ChebychevFilter");
  }
  const double* s = SourceVec->Data().data();
  const int64_t off = 1 - P - np;  // source index of xp[0]
  // Source indices 1..min(ns, T - P) land at q = ix - off; everything else stays 0 (including
  // the last two slots, room for z).
  const int64_t lastIx = std::min<int64_t>(ns, T - P);
  std::copy(s, s + lastIx, xp.begin() + (1 - off));
  // y[i] at yb[i] (np zeros before position 1); x[i - r - P] at xp[i - r + np - 1].
  double* yb = y.data() + np;
  const double* xb = xp.data() + (np - 1);
  // z[i] at zb[i], zero beyond T. It reuses the padded input, which the backward pass no
  // longer needs: the forward pass finishes before any z is written.
  double* zb = xp.data();
  if (!ChebRecursionDispatch(std::integer_sequence<int, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20>{}, np,
                             xb, yb, zb, T, a0, a.data(), b.data()))
    ChebRecursion<0>(xb, yb, zb, T, a0, a.data(), b.data(), np);
  auto d = DestVec->Data();
  const int32_t hi = std::min(Last, static_cast<int32_t>(d.size()));
  for (int32_t j = First; j <= hi; ++j) d[j - 1] = zb[j + P];
  DestVec->Changed();
}

// ---- Gauss kernels --------------------------------------------------------------------------

namespace {
double GaussOf(double q, double Sigma) {
  if (q == 0.0) return 1.0;  // identical points, even for sigma 0 (0/0 would give NaN)
  q /= Sigma * Sigma;
  if (q > 20.0) q = 20.0;
  return std::exp(-q);
}
}  // namespace

double CalcGaussKernel(const TVector* u, const TVector* v, double Sigma) {
  if (u == nullptr || v == nullptr) throw EQMXMath2Error("CalcGaussKernel: vector is undefined");
  double q = 0.0;
  for (int32_t i = 1; i <= v->NrOfElem(); ++i) {
    const double d = u->Elem(i) - v->Elem(i);
    q += d * d;
  }
  return GaussOf(q, Sigma);
}

double CalcGaussKernelMat(const TVector* u, const TMatrix* Mat, int32_t Row, double Sigma) {
  if (u == nullptr || Mat == nullptr)
    throw EQMXMath2Error("CalcGaussKernelMat: vector or matrix is undefined");
  double q = 0.0;
  for (int32_t c = 1; c <= Mat->NrOfColumns(); ++c) {
    const double d = u->Elem(c) - Mat->Elem(c, Row);
    q += d * d;
  }
  return GaussOf(q, Sigma);
}

}  // namespace qmx
