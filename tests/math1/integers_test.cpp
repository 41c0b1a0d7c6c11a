#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

#include "math1/message_util.h"
#include "qmx/math1.h"

using namespace qmx;

namespace {

// Reference: plain trial division over every integer up to the root.
bool TrialPrime(int64_t n) {
  n = n < 0 ? -n : n;
  for (int64_t d = 2; d * d <= n; ++d)
    if (n % d == 0) return false;
  return true;
}

}  // namespace

TEST(Elementary, LogarithmsHyperbolicAndTangents) {
  EXPECT_EQ(lg(1000.0), 3.0);
  EXPECT_EQ(lg(1e-5), -5.0);
  EXPECT_EQ(ld(1024.0), 10.0);
  EXPECT_NEAR(lg(2.0), 0.3010299956639812, 1e-16);
  for (double bad : {0.0, -1.0}) {
    EXPECT_EQ(MessageOf<EMathError>([&] { lg(bad); }), "logarithm: invalid argument");
    EXPECT_THROW(ld(bad), EMathError);
  }
  EXPECT_NEAR(qmx::sinh(1.0), (std::exp(1.0) - std::exp(-1.0)) / 2, 1e-15);
  EXPECT_NEAR(qmx::cosh(1.0), (std::exp(1.0) + std::exp(-1.0)) / 2, 1e-15);
  EXPECT_NEAR(tgh(0.5), std::tanh(0.5), 1e-15);
  EXPECT_EQ(tgh(1000.0), 1.0);
  EXPECT_NEAR(tg(std::numbers::pi / 4), 1.0, 1e-15);
  EXPECT_NEAR(cot(std::numbers::pi / 4), 1.0, 1e-15);
  EXPECT_EQ(MessageOf<EMathError>([&] { cot(0.0); }), "cotangens overflow");
}

TEST(Bits, DecodeEncodeCountReverseGray) {
  EXPECT_EQ(DecodeBit(0), 1);
  EXPECT_EQ(DecodeBit(7), 128);
  EXPECT_EQ(DecodeBit(8), 0);
  EXPECT_EQ(DecodeBit(-1), 0);
  EXPECT_EQ(DecodeLong(31), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(DecodeLong(32), 0);
  EXPECT_EQ(EncodeLong(0), 31);
  EXPECT_EQ(EncodeLong(12), 2);
  EXPECT_EQ(EncodeLong(0x80000000u), 31);
  EXPECT_EQ(CountBits(0xB5), 5);
  EXPECT_EQ(BitReversal(0x01), 0x80);
  EXPECT_EQ(BitReversal(0xB4), 0x2D);
  EXPECT_TRUE(CheckPowerOfTwo(0));
  EXPECT_TRUE(CheckPowerOfTwo(0x80000000u));
  EXPECT_FALSE(CheckPowerOfTwo(6));
  // Successive Gray codes differ in exactly one bit.
  for (uint32_t v = 0; v < 65535; ++v)
    ASSERT_EQ(CountBits(static_cast<uint8_t>(GrayCode(uint16_t(v)) ^ GrayCode(uint16_t(v + 1)))) +
                  CountBits(static_cast<uint8_t>((GrayCode(uint16_t(v)) ^ GrayCode(uint16_t(v + 1))) >> 8)),
              1);
}

TEST(Primes, AgreeWithTrialDivision) {
  EXPECT_TRUE(IsPrime(0));
  EXPECT_TRUE(IsPrime(1));
  EXPECT_TRUE(IsPrime(-1));
  EXPECT_FALSE(IsPrime(9));
  EXPECT_TRUE(IsPrime(-7));
  for (int32_t n = -3000; n <= 200000; ++n) ASSERT_EQ(IsPrime(n), TrialPrime(n)) << n;
  // Large values, including strong pseudoprimes to single bases and the ends of the range.
  for (int64_t n : {2147483647LL, 2147483646LL, 2147483629LL, 25326001LL, 3215031751LL % 2147483648LL,
                    4759123141LL % 2147483648LL, 1373653LL, 46337LL * 46337LL, 46349LL * 46351LL,
                    65537LL * 32749LL})
    EXPECT_EQ(IsPrime(static_cast<int32_t>(n)), TrialPrime(n)) << n;
  EXPECT_FALSE(IsPrime(std::numeric_limits<int32_t>::min()));
  EXPECT_EQ(ListOfPrimes(1), 2);
  EXPECT_EQ(ListOfPrimes(4792), 46337);
  EXPECT_EQ(ListOfPrimes(4793), 0);
  EXPECT_EQ(ListOfPrimes(0), 0);
  int32_t count = 0;
  for (int32_t i = 2; i <= 46337; ++i) count += TrialPrime(i);
  EXPECT_EQ(count, 4792);
}

TEST(Primes, FactorsMultiplyBackAndArePrime) {
  TIntArray f;
  FindPrimeFactors(360, f);
  EXPECT_EQ(f, (TIntArray{2, 2, 2, 3, 3, 5}));
  FindPrimeFactors(1, f);
  EXPECT_TRUE(f.empty());
  FindPrimeFactors(-12, f);
  EXPECT_TRUE(f.empty());
  FindPrimeFactors(2147483647, f);
  EXPECT_EQ(f, (TIntArray{2147483647}));
  FindPrimeFactors(1073741824, f);
  EXPECT_EQ(f, TIntArray(30, 2));
  FindPrimeFactors(46337 * 46337, f);
  EXPECT_EQ(f, (TIntArray{46337, 46337}));
  for (int32_t n : {2, 97, 1001, 65536 * 3, 2147483646, 999999937, 2 * 3 * 5 * 7 * 11 * 13 * 17 * 19 * 23}) {
    FindPrimeFactors(n, f);
    int64_t prod = 1;
    for (std::size_t i = 0; i < f.size(); ++i) {
      EXPECT_TRUE(TrialPrime(f[i]) && f[i] > 1) << n;
      if (i) { EXPECT_LE(f[i - 1], f[i]); }
      prod *= f[i];
    }
    EXPECT_EQ(prod, n);
  }
}

TEST(CancelFraction, LowestTermsAndExtremes) {
  auto cancel = [](int32_t n, int32_t d) {
    CancelFraction(n, d);
    return std::pair<int32_t, int32_t>(n, d);
  };
  EXPECT_EQ(cancel(12, 18), std::make_pair(2, 3));
  EXPECT_EQ(cancel(0, 5), std::make_pair(0, 5));
  EXPECT_EQ(cancel(-12, 18), std::make_pair(-2, 3));
  EXPECT_EQ(cancel(12, -8), std::make_pair(3, -2));
  EXPECT_EQ(cancel(1, 7), std::make_pair(1, 7));
  EXPECT_EQ(cancel(7, 7), std::make_pair(1, 1));
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  EXPECT_EQ(cancel(kMin, kMin), std::make_pair(-1, -1));
  EXPECT_EQ(cancel(kMin, 6), std::make_pair(kMin / 2, 3));
  EXPECT_EQ(cancel(2147483646, 1073741823), std::make_pair(2, 1));
}

TEST(Factorial, ExactProductsAndLimits) {
  EXPECT_EQ(Factorial(0), 1.0L);
  EXPECT_EQ(Factorial(1), 1.0L);
  EXPECT_EQ(Factorial(20), 2432902008176640000.0L);  // exact in a 64-bit mantissa
  // lgamma(1001) = ln(1000!)
  EXPECT_NEAR(static_cast<double>(std::log(Factorial(1000))), std::lgamma(1001.0), 1e-9);
  EXPECT_EQ(MessageOf<EQMXMath1Error>([&] { Factorial(1001); }), "Factorial: argument too big");
  EXPECT_EQ(MessageOf<EQMXMath1Error>([&] { Factorial(-1); }), "Factorial: negative argument");
}

TEST(ConvertEndian, ReversesBytes) {
  EXPECT_EQ(ConvertEndian(uint16_t{0x1234}), 0x3412);
  EXPECT_EQ(ConvertEndian(int32_t{0x12345678}), 0x78563412);
  EXPECT_EQ(ConvertEndian(int32_t{-2}), static_cast<int32_t>(0xFEFFFFFFu));
  const double d = ConvertEndian(1.0);  // 3FF0000000000000 reversed
  uint64_t bits;
  std::memcpy(&bits, &d, 8);
  EXPECT_EQ(bits, 0x000000000000F03FULL);
  EXPECT_EQ(ConvertEndian(ConvertEndian(-3.25f)), -3.25f);
}

TEST(Distances, EuclideanAndFromRectangle) {
  EXPECT_DOUBLE_EQ(EuclideanDistance(1, 2, 4, 6), 5.0);
  EXPECT_DOUBLE_EQ(EuclideanDistance(TPointDouble{0, 0}, TPointDouble{-5, 12}), 13.0);
  EXPECT_DOUBLE_EQ(EuclideanDistance(0, 0, 3e200, 4e200), 5e200);
  const TRect r{10, 20, 30, 40};
  EXPECT_EQ(DistFromRect(TPoint{15, 25}, r), 0);
  EXPECT_EQ(DistFromRect(TPoint{10, 40}, r), 0);
  EXPECT_EQ(DistFromRect(TPoint{15, 5}, r), 15);
  EXPECT_EQ(DistFromRect(TPoint{15, 47}, r), 7);
  EXPECT_EQ(DistFromRect(TPoint{3, 25}, r), 7);
  EXPECT_EQ(DistFromRect(TPoint{33, 25}, r), 3);
  EXPECT_EQ(DistFromRect(TPoint{7, 16}, r), 5);   // 3-4-5 from the top-left corner
  EXPECT_EQ(DistFromRect(TPoint{31, 41}, r), 1);  // sqrt 2 rounds to 1
  EXPECT_EQ(DistFromRect(TPoint{-2147483647 - 1, 25}, TRect{2147483000, 20, 2147483647, 40}),
            2147483647);
}
