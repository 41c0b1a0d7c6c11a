// Extremes, mean and variance of array ranges; scalar bounds, clamping and swaps; Kahan sum.
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "qmx/math1.h"

namespace qmx {

namespace {

bool IndexOK(int32_t Ix, std::size_t Count) noexcept {
  return Ix >= 0 && static_cast<std::size_t>(Ix) < Count;
}

// Column bounds are checked against row 0 and, since rows of a 2-D array may differ in length,
// every scanned row must also hold column HiCol; a short row would otherwise be read past its end.
bool Range2DOK(const TDouble2DArray& Data, int32_t LoRow, int32_t LoCol, int32_t HiRow,
               int32_t HiCol) noexcept {
  if (!IndexOK(LoRow, Data.size()) || !IndexOK(HiRow, Data.size())) return false;
  const std::size_t nc = Data[0].size();
  if (!IndexOK(LoCol, nc) || !IndexOK(HiCol, nc)) return false;
  for (int32_t r = LoRow; r <= HiRow; ++r)
    if (static_cast<std::size_t>(HiCol) >= Data[static_cast<std::size_t>(r)].size()) return false;
  return true;
}

}  // namespace

int32_t MinMaxOfArray(std::span<const double> Data, int32_t LoIx, int32_t HiIx, double& Minimum,
                      double& Maximum, int32_t& MinIx, int32_t& MaxIx) {
  Minimum = uc_MaxDouble;
  Maximum = -uc_MaxDouble;
  MinIx = 0;
  MaxIx = 0;
  if (!IndexOK(LoIx, Data.size()) || !IndexOK(HiIx, Data.size())) return -1;
  const double* d = Data.data();
  double mn = Minimum, mx = Maximum;
  int32_t imn = 0, imx = 0;
  for (int32_t i = LoIx; i <= HiIx; ++i) {
    const double x = d[i];
    if (x < mn) {
      mn = x;
      imn = i;
    }
    if (x > mx) {
      mx = x;
      imx = i;
    }
  }
  Minimum = mn;
  Maximum = mx;
  MinIx = imn;
  MaxIx = imx;
  return 0;
}

int32_t MinMaxOfArray(const TDouble2DArray& Data, int32_t LoRow, int32_t LoCol, int32_t HiRow,
                      int32_t HiCol, double& Minimum, double& Maximum, int32_t& MinRow,
                      int32_t& MinCol, int32_t& MaxRow, int32_t& MaxCol) {
  Minimum = uc_MaxDouble;
  Maximum = -uc_MaxDouble;
  MinRow = MinCol = MaxRow = MaxCol = 0;
  if (!Range2DOK(Data, LoRow, LoCol, HiRow, HiCol)) return -1;
  for (int32_t r = LoRow; r <= HiRow; ++r) {
    const double* row = Data[static_cast<std::size_t>(r)].data();
    for (int32_t c = LoCol; c <= HiCol; ++c) {
      const double x = row[c];
      if (x < Minimum) {
        Minimum = x;
        MinRow = r;
        MinCol = c;
      }
      if (x > Maximum) {
        Maximum = x;
        MaxRow = r;
        MaxCol = c;
      }
    }
  }
  return 0;
}

namespace {
// Sums are taken about the first value of the range: algebraically the same mean and
// (q - s*s/n) / (n - 1), but data far from zero keep their digits (1e9+1, 1e9+2, 1e9+3 would
// otherwise lose the whole variance to cancellation) and equal values give exactly 0. An
// infinite first value is not used as the shift, so infinities still give infinite means.
struct TShiftedSums {
  double shift;
  double s = 0.0;
  double q = 0.0;
  double raw = 0.0;  // plain sum: finite where deviations of opposite sign overflow
  bool allFinite = true;
  explicit TShiftedSums(double first) : shift(std::isfinite(first) ? first : 0.0) {}
  void Add(double x) {
    const double d = x - shift;
    s += d;
    q += d * d;
    raw += x;
    allFinite &= std::isfinite(x);
  }
  void Finish(double n, double& Mean, double& Variance) const {
    Mean = shift + s / n;
    // Finite data have a finite mean; deviations of 2e308 from the shift must not make it
    // infinite (1e308, 0, -1e308, 3 has mean 0.75).
    if (!std::isfinite(Mean) && allFinite && std::isfinite(raw)) Mean = raw / n;
    if (n < 3.0) {
      Variance = 1.0;
    } else {
      Variance = (q - s * s / n) / (n - 1.0);
      if (Variance < 0.0) Variance = 0.0;
      // Finite data whose squared deviations pass the double range meet inf - inf above; the
      // variance is then too large to represent, not undefined.
      if (Variance != Variance && allFinite) Variance = std::numeric_limits<double>::infinity();
    }
  }
};
}  // namespace

int32_t MeanVarOfArray(std::span<const double> Data, int32_t LoIx, int32_t HiIx, double& Mean,
                       double& Variance) {
  Mean = 0.0;
  Variance = 0.0;
  if (!IndexOK(LoIx, Data.size()) || !IndexOK(HiIx, Data.size())) return -1;
  if (HiIx < LoIx) return 0;  // empty range: no mean to report, the presets stand
  const double* d = Data.data();
  TShiftedSums sums(d[LoIx]);
  for (int32_t i = LoIx; i <= HiIx; ++i) sums.Add(d[i]);
  sums.Finish(static_cast<double>(HiIx - LoIx + 1), Mean, Variance);
  return 0;
}

int32_t MeanVarOfArray(const TDouble2DArray& Data, int32_t LoRow, int32_t LoCol, int32_t HiRow,
                       int32_t HiCol, double& Mean, double& Variance) {
  Mean = 0.0;
  Variance = 0.0;
  if (!Range2DOK(Data, LoRow, LoCol, HiRow, HiCol)) return -1;
  // A reversed row or column range is empty; multiplying two negative extents must not pass for
  // a non-empty range.
  if (HiRow < LoRow || HiCol < LoCol) return 0;
  TShiftedSums sums(Data[static_cast<std::size_t>(LoRow)][static_cast<std::size_t>(LoCol)]);
  for (int32_t r = LoRow; r <= HiRow; ++r) {
    const double* row = Data[static_cast<std::size_t>(r)].data();
    for (int32_t c = LoCol; c <= HiCol; ++c) sums.Add(row[c]);
  }
  const double n = static_cast<double>(static_cast<int64_t>(HiCol - LoCol + 1) *
                                       static_cast<int64_t>(HiRow - LoRow + 1));
  sums.Finish(n, Mean, Variance);
  return 0;
}

// ---- scalars -----------------------------------------------------------------------------------

double Min(double a, double b) noexcept {
  if (a != a || b != b) return std::numeric_limits<double>::quiet_NaN();
  return b < a ? b : a;
}

double Max(double a, double b) noexcept {
  if (a != a || b != b) return std::numeric_limits<double>::quiet_NaN();
  return b > a ? b : a;
}

int32_t Signum(double x) noexcept { return x >= 0.0 ? 1 : -1; }

bool WithinBounds(double Value, double Bound1, double Bound2) noexcept {
  if (Bound2 < Bound1) std::swap(Bound1, Bound2);
  return Bound1 <= Value && Value <= Bound2;
}

namespace {
template <class T>
T Confine(T Value, T Bound1, T Bound2) noexcept {
  if (Bound2 < Bound1) std::swap(Bound1, Bound2);
  if (Value < Bound1) return Bound1;
  if (Value > Bound2) return Bound2;
  return Value;
}
}  // namespace

double ConfineValue(double Value, double Bound1, double Bound2) noexcept {
  return Confine(Value, Bound1, Bound2);
}
float ConfineValue(float Value, float Bound1, float Bound2) noexcept {
  return Confine(Value, Bound1, Bound2);
}
int32_t ConfineValue(int32_t Value, int32_t Bound1, int32_t Bound2) noexcept {
  return Confine(Value, Bound1, Bound2);
}

bool WithinRect(const TPointDouble& Point, const TRectDouble& Rect) noexcept {
  return WithinBounds(Point.x, Rect.Left, Rect.Right) &&
         WithinBounds(Point.y, Rect.Top, Rect.Bottom);
}

bool ConfinePointToRect(TPointDouble& Point, const TRectDouble& Rect) noexcept {
  const double x = Confine(Point.x, Rect.Left, Rect.Right);
  const double y = Confine(Point.y, Rect.Top, Rect.Bottom);
  // Compared by value: a coordinate clamped onto the border it already lay on has not moved.
  const bool moved = x != Point.x || y != Point.y;
  Point.x = x;
  Point.y = y;
  return moved;
}

// ---- swaps ----------------------------------------------------------------------------------------

void ExChange(void* a, void* b, uint16_t Count) noexcept {
  if (a == b || a == nullptr || b == nullptr) return;
  auto* pa = static_cast<unsigned char*>(a);
  auto* pb = static_cast<unsigned char*>(b);
  for (uint16_t i = 0; i < Count; ++i) {
    const unsigned char t = pa[i];
    pa[i] = pb[i];
    pb[i] = t;
  }
}
void ExChange(int32_t& a, int32_t& b) noexcept { std::swap(a, b); }
void ExChange(uint8_t& a, uint8_t& b) noexcept { std::swap(a, b); }
void ExChange(float& a, float& b) noexcept { std::swap(a, b); }
void ExChange(double& a, double& b) noexcept { std::swap(a, b); }
void ExChange(long double& a, long double& b) noexcept { std::swap(a, b); }
void ExChange(std::string& a, std::string& b) noexcept { a.swap(b); }
void ExChange(bool& a, bool& b) noexcept { std::swap(a, b); }
void ExChange(char16_t& a, char16_t& b) noexcept { std::swap(a, b); }
void ExChange(uint16_t& a, uint16_t& b) noexcept { std::swap(a, b); }
void ExChange(int8_t& a, int8_t& b) noexcept { std::swap(a, b); }
void ExChange(uint32_t& a, uint32_t& b) noexcept { std::swap(a, b); }
void ExChange(int64_t& a, int64_t& b) noexcept { std::swap(a, b); }

// ---- Kahan sum --------------------------------------------------------------------------------

TKahanSum::TKahanSum(TComponent* AOwner) : TComponent(AOwner) { Reset(); }

void TKahanSum::Reset() noexcept {
  cps = 0.0;
  Sum = 0.0;
}

void TKahanSum::Add(double ANumber) noexcept {
  // Each step is stored to a double, so the compensation captures exactly what t lost.
  const double y = ANumber - cps;
  const double t = Sum + y;
  cps = (t - Sum) - y;
  Sum = t;
}

}  // namespace qmx
