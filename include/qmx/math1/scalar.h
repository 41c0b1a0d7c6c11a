// Polynomials, table interpolation, 1-2-5 rounding and axis scales, floor and ceiling, angles and
// degree/minute/second handling, elementary functions, bit functions, primes, factorial, fraction
// cancelling, byte-order reversal and distances. Errors are EQMXMath1Error unless a function says
// EMathError (the runtime's floating-point error class).
#pragma once

#include <cstdint>
#include <span>

#include "qmx/basepack.h"
#include "qmx/frame.h"
#include "qmx/runtime.h"

namespace qmx {

// Angle text and conversion layouts, used by ordinal: decimal degrees, whole degrees and decimal
// minutes, whole degrees and minutes and decimal seconds, plain number (text only). Any byte is a
// valid (if unhandled) value.
enum TDegreeFormat : uint8_t { dfDecDeg, dfDegMin, dfDegMinSec, dfPlain };

// Integer point and rectangle (screen orientation: Top above Bottom means Top < Bottom).
struct TPoint {
  int32_t x = 0;
  int32_t y = 0;
};
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
};

// ---- polynomials and interpolation ----------------------------------------------------------

// Sum of c[i] * x^i for i = 0..order, accumulated from c[0] upward with a running power.
// An order below 0 or beyond the last coefficient raises "Polynomial: invalid order of polynomial".
double Polynomial(std::span<const double> Coefficients, int32_t Order, double x);
// The same in (x - Center).
double CenteredPolynomial(std::span<const double> Coefficients, int32_t Order, double x,
                          double Center);

// Linear interpolation in a table of equidistant values, the first at FirstX and the last at
// LastX (LastX may lie below FirstX); outside the range the first or last interval is extended.
// A NaN position gives NaN.
double InterpolTable(double x, double FirstX, double LastX, const TDoubleArray& Table);
double InterpolTable(double x, double FirstX, double LastX, const TIntArray& Table);
// Table[0] holds ascending x pivots, Table[1] the y values; rows are the positions both arrays
// hold (a longer array's extra values are not read).
double InterpolXYTable(double x, const TDouble2DArray& Table);
// Bilinear interpolation: z1..z2 along t at s = 0, z3..z4 at s = 1.
double InterpolZofXYRect(double z1, double z2, double z3, double z4, double s, double t);

// ---- 1-2-5 rounding and axis scales ---------------------------------------------------------

// Nearest of {1, 2, 5} * 10^k (keeping the sign); 0 gives 0. Exact powers of ten are exact.
double Round125(double x);
// Toward +infinity / -infinity within the same sequence.
double RoundPos125(double x);
double RoundNeg125(double x);
// Axis ticks from StartVal to EndVal: the first tick at or beyond StartVal, the signed tick
// distance (a 1-2-5 value) and the number of sub-intervals per tick distance. NumTicks <= 0
// gives unit ticks.
void CalcScalePars(int32_t NumTicks, long double StartVal, long double EndVal,
                   long double& FirstTick, long double& TickDist, uint16_t& SubTicks);

// Ceiling and floor as 32-bit integers; NaN gives 0, values beyond the 32-bit range saturate.
int32_t IntPos(double x);
int32_t IntNeg(double x);

// ---- angles ---------------------------------------------------------------------------------

// Angle brought into [-pi, pi] (radians) or [-180, 180] (degrees).
double CanonicalAngleRadians(double Angle);
double CanonicalAngleDegrees(double Angle);
// Direction of (dx, dy) in [0, 2 pi]; (0, 0) gives 3 pi / 2.
double AngleToXAxis(double dx, double dy);
// Rounds an angle of whole degrees, minutes and seconds up or down to a step of the sequence
// 1, 2, 3, 5, 10, 15, 20, 30, 60, 90, 180, 360 (of degrees, or of minutes or seconds below one
// degree or minute).
void RoundDegrees(int32_t& Deg, int32_t& Min, int32_t& Sec, bool RoundUp);
// Converts between the layouts dfDecDeg, dfDegMin and dfDegMinSec; other ordinals leave the
// values unchanged. Minutes or seconds outside 0..60 raise.
void ConvertDegrees(double& Deg, double& Min, double& Sec, TDegreeFormat Target,
                    TDegreeFormat Source);

// ---- elementary functions -------------------------------------------------------------------

// Decimal and base-2 logarithm; x <= 0 raises EMathError "logarithm: invalid argument".
double lg(double x);
double ld(double x);
double sinh(double x);
double cosh(double x);
double tgh(double x);
// Tangent and cotangent; an exactly zero divisor raises EMathError.
double tg(double x);
double cot(double x);

// ---- bits -----------------------------------------------------------------------------------

int32_t DecodeBit(int32_t n);    // 1 shl n for 0 <= n <= 7, else 0
int32_t DecodeLong(int32_t n);   // 1 shl n for 0 <= n <= 31 (bit 31 is the sign bit), else 0
int32_t EncodeLong(uint32_t v);  // index of the lowest set bit; 0 gives 31
int32_t CountBits(uint8_t b);
uint8_t BitReversal(uint8_t b);
bool CheckPowerOfTwo(uint32_t v);  // true also for 0
uint16_t GrayCode(uint16_t v);

// ---- integers -------------------------------------------------------------------------------

// No divisor in 2..trunc(sqrt(|n|)); so 0, 1 and -1 are reported prime.
bool IsPrime(int32_t n);
// The i-th prime for 1 <= i <= 4792 (2 ... 46337), else 0.
int32_t ListOfPrimes(int32_t i);
// Prime factors of n in ascending order with repetition; n <= 1 gives an empty array.
void FindPrimeFactors(int32_t n, TIntArray& Factors);
// Divides numerator and denominator by their common divisors (signs kept); a zero or unit
// member leaves both unchanged.
void CancelFraction(int32_t& Numerator, int32_t& Denominator);
// n! in 80-bit precision for 0 <= n <= 1000.
long double Factorial(int32_t n);

// Bytes reversed.
double ConvertEndian(double x);
float ConvertEndian(float x);
uint16_t ConvertEndian(uint16_t x);
int32_t ConvertEndian(int32_t x);

// ---- distances ------------------------------------------------------------------------------

double EuclideanDistance(double x1, double y1, double x2, double y2);
double EuclideanDistance(const TPointDouble& p1, const TPointDouble& p2);
// 0 inside (edges included); otherwise the distance to the nearest edge or corner, rounded
// (saturating at the 32-bit range).
int32_t DistFromRect(const TPoint& Point, const TRect& Rect);

}  // namespace qmx
