// Array statistics, sorting and selection, bounded sorted lists, compensated summation, value
// clamping and typed swaps. None of these functions keeps state between calls and none raises;
// bad ranges give status codes or neutral values.
//
// Ordering of floats: every sort, selection and sorted insertion here places NaN after all
// numbers, in ascending and in descending order alike, and treats NaNs as equal to each other.
// On NaN-free data this is plain IEEE comparison.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "qmx/basepack.h"
#include "qmx/frame.h"
#include "qmx/runtime.h"

namespace qmx {

// Element type of an untyped buffer. Only the first five kinds are handled by the untyped
// functions (64-bit float, 64-bit float, 32-bit float, 32-bit integer, 32-bit integer); with any
// other kind they leave the buffer alone. The underlying type is fixed so that any byte value is
// a valid (if unhandled) kind.
enum TVarKind : uint8_t {
  vkDouble,
  vkReal,
  vkSingle,
  vkInteger,
  vkLongint,
  vkByte,
  vkSmallint,
  vkExtended,
  vkString,
  vkBoolean
};

// ---- extremes, mean and variance ------------------------------------------------------------
// Status results: 0 = done, -1 = an index lies outside the array (outputs keep their presets).
// Indices are 0-based.

// Minimum and maximum of Data[LoIx..HiIx] and the index of their first occurrence. Presets:
// Minimum = uc_MaxDouble, Maximum = -uc_MaxDouble, indices 0; HiIx < LoIx keeps the presets and
// returns 0. NaN elements are skipped.
int32_t MinMaxOfArray(std::span<const double> Data, int32_t LoIx, int32_t HiIx, double& Minimum,
                      double& Maximum, int32_t& MinIx, int32_t& MaxIx);
// Two-dimensional version over rows LoRow..HiRow, columns LoCol..HiCol (row-major scan). Every
// scanned row must hold column HiCol, otherwise -1.
int32_t MinMaxOfArray(const TDouble2DArray& Data, int32_t LoRow, int32_t LoCol, int32_t HiRow,
                      int32_t HiCol, double& Minimum, double& Maximum, int32_t& MinRow,
                      int32_t& MinCol, int32_t& MaxRow, int32_t& MaxCol);

// Mean and variance of Data[LoIx..HiIx]: Variance is 1.0 for one or two elements, else the
// unbiased sample variance (negative rounding results become 0; finite data whose spread passes
// the double range give +inf). An empty range returns 0 with Mean = Variance = 0.
int32_t MeanVarOfArray(std::span<const double> Data, int32_t LoIx, int32_t HiIx, double& Mean,
                       double& Variance);
int32_t MeanVarOfArray(const TDouble2DArray& Data, int32_t LoRow, int32_t LoCol, int32_t HiRow,
                       int32_t HiCol, double& Mean, double& Variance);

// ---- selection and sorting -------------------------------------------------------------------

// The value that would stand at index Ix if Data[LoIx..HiIx] were sorted ascending; the stretch
// is left partitioned around Ix. Returns 0.0 without touching Data for an empty range
// (HiIx < LoIx), a range outside Data, or Ix outside LoIx..HiIx.
double QuickSelect(std::span<double> Data, int32_t Ix, int32_t LoIx, int32_t HiIx);

// In-place comb sort (shrink factor 1.3); one progress step (ProcStat, MathFeedBackProc) per
// pass; the abort flag is not consulted.
void SortArray(std::span<double> Data, bool Ascending);
void SortArray(std::span<float> Data, bool Ascending);
void SortArray(std::span<int32_t> Data, bool Ascending);
// Untyped buffer of NumElems elements of kind Kind. A null or misaligned buffer, NumElems < 2 or
// an unhandled kind does nothing.
void SortArray(void* Data, int32_t NumElems, TVarKind Kind, bool Ascending);

// Inserts NewValue into the sorted, full list Data, pushing the last element out (a bounded
// list of the N best values). Returns the 0-based position, or -1 when nothing was inserted
// (NewValue lies beyond the last element, or equals one present and duplicates are not allowed).
int32_t SortIntoArray(std::span<double> Data, double NewValue, bool Ascending,
                      bool AllowDuplicates);
int32_t SortIntoArray(std::span<float> Data, float NewValue, bool Ascending, bool AllowDuplicates);
int32_t SortIntoArray(std::span<int32_t> Data, int32_t NewValue, bool Ascending,
                      bool AllowDuplicates);
// Untyped version: NewValue points to one element of kind Kind; returns the 1-based position,
// or 0 when nothing was inserted (also for bad arguments and unhandled kinds).
int32_t SortIntoArray(void* Data, int32_t NumElems, TVarKind Kind, const void* NewValue,
                      bool Ascending, bool AllowDuplicates);

// Stores NewValue at the 0-based Position after moving Data[Position..] one place up (the last
// element is lost). A Position outside the array does nothing.
void InsertIntoArray(std::span<double> Data, double NewValue, int32_t Position);
void InsertIntoArray(std::span<float> Data, float NewValue, int32_t Position);
void InsertIntoArray(std::span<int32_t> Data, int32_t NewValue, int32_t Position);
// Untyped version; Position is 1-based and must lie in 1..NumElems.
void InsertIntoArray(void* Data, int32_t NumElems, TVarKind Kind, int32_t Position,
                     const void* NewValue);

// ---- scalars, bounds and clamping ----------------------------------------------------------

// The smaller / larger of two doubles; a NaN argument gives NaN; on equality the first argument.
double Min(double a, double b) noexcept;
double Max(double a, double b) noexcept;
// 1 for x >= 0 (zero included), else -1 (NaN gives -1).
int32_t Signum(double x) noexcept;
// Low <= Value <= High with the bounds ordered first.
bool WithinBounds(double Value, double Bound1, double Bound2) noexcept;
// Value clamped into the ordered bounds.
double ConfineValue(double Value, double Bound1, double Bound2) noexcept;
float ConfineValue(float Value, float Bound1, float Bound2) noexcept;
int32_t ConfineValue(int32_t Value, int32_t Bound1, int32_t Bound2) noexcept;
// Point inside the rectangle (corners in any order, borders included).
bool WithinRect(const TPointDouble& Point, const TRectDouble& Rect) noexcept;
// Clamps the point into the rectangle; true when a coordinate changed.
bool ConfinePointToRect(TPointDouble& Point, const TRectDouble& Rect) noexcept;

// ---- typed swaps -----------------------------------------------------------------------------

// Swaps Count bytes of two buffers, byte by byte from the first.
void ExChange(void* a, void* b, uint16_t Count) noexcept;
void ExChange(int32_t& a, int32_t& b) noexcept;
void ExChange(uint8_t& a, uint8_t& b) noexcept;
void ExChange(float& a, float& b) noexcept;
void ExChange(double& a, double& b) noexcept;
void ExChange(long double& a, long double& b) noexcept;
void ExChange(std::string& a, std::string& b) noexcept;
void ExChange(bool& a, bool& b) noexcept;
void ExChange(char16_t& a, char16_t& b) noexcept;
void ExChange(uint16_t& a, uint16_t& b) noexcept;
void ExChange(int8_t& a, int8_t& b) noexcept;
void ExChange(uint32_t& a, uint32_t& b) noexcept;
void ExChange(int64_t& a, int64_t& b) noexcept;

// ---- compensated summation -------------------------------------------------------------------

// Kahan summation: Sum is the compensated total, cps the running compensation.
class TKahanSum : public TComponent {
 public:
  explicit TKahanSum(TComponent* AOwner = nullptr);
  std::string ClassName() const override { return "TKahanSum"; }
  void Reset() noexcept;
  void Add(double ANumber) noexcept;

  double cps = 0.0;
  double Sum = 0.0;
};

}  // namespace qmx
