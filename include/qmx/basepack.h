// Shared types, hooks and small services the whole library builds on: growable-array types,
// constants, the base error class, the progress hooks, the CRC-32 step, a bit set, stream number
// helpers and string helpers.
#pragma once

#include "qmx/runtime.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <limits>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace qmx {

static_assert(std::numeric_limits<long double>::digits == 64,
              "qmx needs an 80-bit extended long double (64-bit mantissa)");
static_assert(sizeof(double) == 8 && std::numeric_limits<double>::is_iec559, "IEEE doubles required");

using TDoubleArray = std::vector<double>;
using TIntArray = std::vector<int32_t>;
using TDouble2DArray = std::vector<TDoubleArray>;

struct TPointDouble {
  double x = 0.0;
  double y = 0.0;
};
using TPDblArray = std::vector<TPointDouble>;

struct TRectDouble {
  double Left = 0.0;
  double Top = 0.0;
  double Right = 0.0;
  double Bottom = 0.0;
};

enum TOrientation { orRows, orCols };
enum TDims { dimRows, dimColumns, dimLayers, dimTimeSlots };
enum TLogicOp { loAND, loOR, loXOR, loANDNOT };

// Start values of minimum searches (negated for maximum searches); every finite value is below.
inline constexpr double uc_MaxDouble = std::numeric_limits<double>::max();
inline constexpr double uc_MaxReal = std::numeric_limits<double>::max();
inline constexpr double uc_sqrt2 = 1.41421356237309504880;
inline constexpr double uc_sqrt2pitom1 = 0.39894228040143267794;  // 1/sqrt(2*pi)

// ---- errors ---------------------------------------------------------------------------------

// Base class of all library errors.
class EQMXError : public Exception {
 public:
  using Exception::Exception;
};

// ---- process-wide hooks ---------------------------------------------------------------------

using TMathFeedBackProc = void (*)(double);

// The abort flag may be set from another thread to cancel a running computation, so it is an
// atomic that still reads and writes like a bool.
class TAbortFlag {
 public:
  constexpr TAbortFlag() noexcept = default;
  TAbortFlag& operator=(bool v) noexcept {
    FValue.store(v, std::memory_order_relaxed);
    return *this;
  }
  operator bool() const noexcept { return FValue.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> FValue{false};
};

extern double ProcStat;
extern TMathFeedBackProc MathFeedBackProc;
extern TAbortFlag AbortMathProc;

// One step of the progress protocol: add Step to ProcStat, call the feedback procedure,
// and return true when the abort flag is set.
bool ProgressStep(double Step = 1.0);

// ---- CRC-32 ---------------------------------------------------------------------------------

// One CRC-32 step (reflected polynomial 0xEDB88320) over one byte.
uint32_t CalcNextCRC32(uint8_t Data, uint32_t Accu) noexcept;

// ---- stream number helpers ------------------------------------------------------------------

// Extended floats are stored as 10 bytes (64-bit mantissa, sign and 15-bit exponent),
// little-endian; 32-bit integers as 4 bytes little-endian. Writing to a null stream does
// nothing; reading from one sets Error.
void WriteExtendedToStream(TStream* Stream, long double Value);
long double ReadExtendedFromStream(TStream* Stream, bool& Error);
void WriteLongintToStream(TStream* Stream, int32_t Value);
int32_t ReadLongintFromStream(TStream* Stream, bool& Error);

// ---- strings --------------------------------------------------------------------------------

// Number text as the runtime's text files write it: Decimals >= 0 gives fixed-point notation with
// exactly Decimals decimals, Decimals < 0 scientific notation filling Width characters (at least
// one significant decimal); right-aligned in at least Width characters; the separator is a point.
std::string strff(double Value, int32_t Width, int32_t Decimals);
// Pattern match; the pattern "//dig" stands for any decimal digit.
bool StringContains(const std::string& Text, const std::string& Pattern);
std::string ReplaceCharInString(const std::string& Text, char OldChar, char NewChar);
std::string RemoveControlChars(const std::string& Text);

// ---- bit set --------------------------------------------------------------------------------

class TBitFld : public TComponent {
 public:
  explicit TBitFld(TComponent* AOwner = nullptr) : TComponent(AOwner) {}
  std::string ClassName() const override { return "TBitFld"; }
  // Bits 0..n become valid (n+1 bits); new bits are false.
  void SetSize(int32_t n);
  int32_t Size() const noexcept { return static_cast<int32_t>(FBits.size()) - 1; }
  void Clear();
  void SetBit(int32_t i, bool Value);
  bool GetBit(int32_t i) const;
  int32_t CountTrueBits() const;
  void Invert();
  void Clone(const TBitFld* Source);
  void CombineWith(const TBitFld* Other, TLogicOp Op);

 private:
  std::vector<bool> FBits;
};

}  // namespace qmx
