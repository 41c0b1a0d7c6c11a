// Elementary functions, bit functions, primes, factorial, fraction cancelling, byte order and
// distances.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numeric>

#include "qmx/math1.h"

namespace qmx {

namespace {

constexpr int32_t kNumPrimes = 4792;

// The first 4792 primes (2 ... 46337, enough to factor any positive 32-bit integer by trial
// division), sieved at compile time.
constexpr std::array<int32_t, kNumPrimes> MakePrimeTable() {
  constexpr int32_t kLimit = 46337;
  std::array<bool, kLimit + 1> composite{};
  std::array<int32_t, kNumPrimes> p{};
  int32_t n = 0;
  for (int32_t i = 2; i <= kLimit; ++i) {
    if (composite[static_cast<std::size_t>(i)]) continue;
    if (n < kNumPrimes) p[static_cast<std::size_t>(n)] = i;
    ++n;
    for (int64_t j = int64_t{i} * i; j <= kLimit; j += i) composite[static_cast<std::size_t>(j)] = true;
  }
  return p;
}

constexpr std::array<int32_t, kNumPrimes> kPrimes = MakePrimeTable();
static_assert(kPrimes[0] == 2 && kPrimes[kNumPrimes - 1] == 46337, "prime table");

uint64_t PowMod(uint64_t b, uint64_t e, uint64_t m) {
  uint64_t r = 1;
  b %= m;
  while (e) {
    if (e & 1) r = r * b % m;
    b = b * b % m;
    e >>= 1;
  }
  return r;
}

// Deterministic Miller-Rabin for odd n < 2^32 (bases 2, 7, 61 decide every such n); the same
// answer as trial division, without walking thousands of divisors for large primes.
bool OddIsPrime(uint32_t n) {
  uint32_t d = n - 1;
  int s = 0;
  while ((d & 1u) == 0) {
    d >>= 1;
    ++s;
  }
  for (uint64_t a : {2u, 7u, 61u}) {
    if (a % n == 0) continue;
    uint64_t x = PowMod(a, d, n);
    if (x == 1 || x == n - 1) continue;
    bool composite = true;
    for (int r = 1; r < s; ++r) {
      x = x * x % n;
      if (x == n - 1) {
        composite = false;
        break;
      }
    }
    if (composite) return false;
  }
  return true;
}

bool IsPrimeU(uint32_t n) {
  if (n < 4) return true;  // 0, 1, 2, 3: no divisor in 2..trunc(sqrt(n))
  if ((n & 1u) == 0) return false;
  for (uint32_t p : {3u, 5u, 7u, 11u, 13u, 17u, 19u, 23u, 29u, 31u, 37u}) {
    if (n == p) return true;
    if (n % p == 0) return false;
  }
  if (n < 41u * 41u) return true;
  return OddIsPrime(n);
}

template <class T>
T ReverseBytes(T x) {
  unsigned char b[sizeof(T)];
  std::memcpy(b, &x, sizeof(T));
  std::reverse(b, b + sizeof(T));
  std::memcpy(&x, b, sizeof(T));
  return x;
}

}  // namespace

// ---- elementary functions -------------------------------------------------------------------

// log10 and log2 rather than ln x / ln 10: the same function, but exact at exact powers.
double lg(double x) {
  if (x <= 0.0) throw EMathError("logarithm: invalid argument");
  return std::log10(x);
}

double ld(double x) {
  if (x <= 0.0) throw EMathError("logarithm: invalid argument");
  return std::log2(x);
}

double sinh(double x) {
  const double e = std::exp(x);
  return (e - 1.0 / e) / 2.0;
}

double cosh(double x) {
  const double e = std::exp(x);
  return (e + 1.0 / e) / 2.0;
}

double tgh(double x) { return 1.0 - 2.0 / (std::exp(2.0 * x) + 1.0); }

double tg(double x) {
  const double c = std::cos(x);
  if (c == 0.0) throw EMathError("tangens overflow");
  return std::sin(x) / c;
}

double cot(double x) {
  const double s = std::sin(x);
  if (s == 0.0) throw EMathError("cotangens overflow");
  return std::cos(x) / s;
}

// ---- bits -----------------------------------------------------------------------------------

int32_t DecodeBit(int32_t n) { return n >= 0 && n <= 7 ? int32_t{1} << n : 0; }

int32_t DecodeLong(int32_t n) {
  return n >= 0 && n <= 31 ? static_cast<int32_t>(uint32_t{1} << n) : 0;
}

int32_t EncodeLong(uint32_t v) { return v == 0 ? 31 : std::countr_zero(v); }

int32_t CountBits(uint8_t b) { return std::popcount(b); }

uint8_t BitReversal(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r = static_cast<uint8_t>(r | (((b >> i) & 1u) << (7 - i)));
  return r;
}

bool CheckPowerOfTwo(uint32_t v) { return (v & (v - 1u)) == 0; }

uint16_t GrayCode(uint16_t v) { return static_cast<uint16_t>(v ^ (v >> 1)); }

// ---- integers -------------------------------------------------------------------------------

bool IsPrime(int32_t n) {
  const uint32_t a = n < 0 ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n);
  return IsPrimeU(a);
}

int32_t ListOfPrimes(int32_t i) {
  return i >= 1 && i <= kNumPrimes ? kPrimes[static_cast<std::size_t>(i - 1)] : 0;
}

void FindPrimeFactors(int32_t n, TIntArray& Factors) {
  Factors.clear();
  if (n <= 1) return;
  // Trial division by the table with the limit following the remaining cofactor; the factors
  // are those of the walk up to trunc(sqrt(n)) of the given n, found sooner: a cofactor without
  // a divisor up to its own root is prime.
  uint32_t m = static_cast<uint32_t>(n);
  if (!IsPrimeU(m)) {
    for (int32_t k = 0; k < kNumPrimes; ++k) {
      const auto p = static_cast<uint32_t>(kPrimes[static_cast<std::size_t>(k)]);
      if (p * p > m) break;
      if (m % p != 0) continue;
      do {
        Factors.push_back(static_cast<int32_t>(p));
        m /= p;
      } while (m % p == 0);
      if (m == 1 || IsPrimeU(m)) break;
    }
  }
  if (m > 1) Factors.push_back(static_cast<int32_t>(m));
}

void CancelFraction(int32_t& Numerator, int32_t& Denominator) {
  // Dividing by common divisors until none is left is dividing by the greatest common divisor;
  // the magnitudes are taken in 64 bits so that -2^31 has one.
  const int64_t a = std::llabs(int64_t{Numerator});
  const int64_t b = std::llabs(int64_t{Denominator});
  if (std::min(a, b) < 2) return;
  const int64_t g = std::gcd(a, b);
  if (g < 2) return;
  Numerator = static_cast<int32_t>(int64_t{Numerator} / g);
  Denominator = static_cast<int32_t>(int64_t{Denominator} / g);
}

long double Factorial(int32_t n) {
  if (n < 0) throw EQMXMath1Error("Factorial: negative argument");
  if (n > 1000) throw EQMXMath1Error("Factorial: argument too big");
  long double f = 1.0L;
  for (int32_t i = 2; i <= n; ++i) f *= static_cast<long double>(i);
  return f;
}

double ConvertEndian(double x) { return ReverseBytes(x); }
float ConvertEndian(float x) { return ReverseBytes(x); }
uint16_t ConvertEndian(uint16_t x) { return ReverseBytes(x); }
int32_t ConvertEndian(int32_t x) { return ReverseBytes(x); }

// ---- distances ------------------------------------------------------------------------------

double EuclideanDistance(double x1, double y1, double x2, double y2) {
  return std::hypot(x2 - x1, y2 - y1);
}

double EuclideanDistance(const TPointDouble& p1, const TPointDouble& p2) {
  return std::hypot(p2.x - p1.x, p2.y - p1.y);
}

int32_t DistFromRect(const TPoint& Point, const TRect& Rect) {
  // 64-bit differences: points and edges may lie at opposite ends of the 32-bit range.
  const int64_t x = Point.x, y = Point.y;
  const int64_t l = Rect.Left, t = Rect.Top, r = Rect.Right, b = Rect.Bottom;
  auto clamp32 = [](double d) {
    return d >= 2147483647.0 ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(d);
  };
  if (x >= l && x <= r && y >= t && y <= b) return 0;
  if (x > l && x < r) return clamp32(static_cast<double>(y < t ? t - y : y - b));
  if (y > t && y < b) return clamp32(static_cast<double>(x < l ? l - x : x - r));
  double best = std::numeric_limits<double>::infinity();
  for (int64_t cx : {l, r})
    for (int64_t cy : {t, b}) {
      const double d = std::nearbyint(
          std::hypot(static_cast<double>(x - cx), static_cast<double>(y - cy)));
      best = std::min(best, d);
    }
  return clamp32(best);
}

}  // namespace qmx
