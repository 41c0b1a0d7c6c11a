// qmx dist normal|t|chi2|f|u cdf|pdf|quantile X [--df N] [--df2 N] [--n1 N --n2 N]: one value
// of a probability distribution.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>
#include <system_error>

#include "command.h"
#include "qmx/statis.h"

namespace {

using namespace qmxtool;

const char* kUsage =
    "dist normal|t|chi2|f|u cdf|pdf|quantile X [--df N] [--df2 N] [--n1 N --n2 N]";

bool ParseDouble(const std::string& s, double& v) {
  const char* b = s.data();
  const char* e = b + s.size();
  if (b != e && *b == '+') ++b;
  auto r = std::from_chars(b, e, v);
  return b != e && r.ec == std::errc() && r.ptr == e;
}

bool ParseInt(const std::string& s, int& v) {
  const char* b = s.data();
  const char* e = b + s.size();
  auto r = std::from_chars(b, e, v);
  return b != e && r.ec == std::errc() && r.ptr == e;
}

// Reads a required positive integer option.
bool IntOption(const Args& args, const std::string& name, int& v, std::string& err) {
  const std::string s = Option(args, name);
  if (s.empty()) {
    err = name + " N is required";
    return false;
  }
  if (!ParseInt(s, v) || v < 1) {
    err = "bad " + name + ": " + s + " (a positive integer is needed)";
    return false;
  }
  return true;
}

int Dist(const Args& args) {
  const Args pos = Positional(args, {"--df", "--df2", "--n1", "--n2"});
  if (pos.size() != 3) return Fail(std::string("usage: qmx ") + kUsage);
  const std::string& dist = pos[0];
  const std::string& fn = pos[1];
  if (fn != "cdf" && fn != "pdf" && fn != "quantile")
    return Fail("unknown function '" + fn + "' (cdf, pdf or quantile)");
  double x;
  if (!ParseDouble(pos[2], x) || std::isnan(x)) return Fail("bad number: " + pos[2]);
  if (fn == "quantile" && !(x > 0 && x < 1) && dist != "u")
    return Fail("the probability must lie strictly between 0 and 1");

  std::string err;
  double r;
  if (dist == "normal") {
    r = fn == "cdf" ? qmx::nDistriIntegral(x) : fn == "pdf" ? qmx::nDistriDensity(x)
                                                            : qmx::nDistriQuantile(x);
  } else if (dist == "t" || dist == "chi2") {
    int df;
    if (!IntOption(args, "--df", df, err)) return Fail(err);
    if (dist == "t")
      r = fn == "cdf" ? qmx::tDistriIntegral(x, df) : fn == "pdf" ? qmx::tDistriDensity(x, df)
                                                                  : qmx::tDistriQuantile(x, df);
    else
      r = fn == "cdf"   ? qmx::chi2DistriIntegral(x, df)
          : fn == "pdf" ? qmx::Chi2DistriDensity(x, df)
                        : qmx::chi2DistriQuantile(x, df);
  } else if (dist == "f") {
    int d1, d2;
    if (!IntOption(args, "--df", d1, err) || !IntOption(args, "--df2", d2, err)) return Fail(err);
    r = fn == "cdf"   ? qmx::FDistriIntegral(x, d1, d2)
        : fn == "pdf" ? qmx::FDistriDensity(x, d1, d2)
                      : qmx::FDistriQuantile(x, d1, d2);
  } else if (dist == "u") {
    int n1, n2;
    if (!IntOption(args, "--n1", n1, err) || !IntOption(args, "--n2", n2, err)) return Fail(err);
    if (fn == "quantile") {
      if (!(x >= 0 && x <= 1)) return Fail("the probability must lie between 0 and 1");
      r = qmx::UDistriQuantile(n1, n2, x);
    } else {
      if (x != std::floor(x) || std::fabs(x) > 2e9) return Fail("U must be an integer");
      r = fn == "cdf" ? qmx::UDistriIntegral(n1, n2, int(x)) : qmx::UDistriDensity(n1, n2, int(x));
    }
  } else {
    return Fail("unknown distribution '" + dist + "' (normal, t, chi2, f or u)");
  }
  std::printf("%.17g\n", r);
  return 0;
}

int Demo(const Args&) {
  std::cout << "== distributions: critical values and tail probabilities\n";
  std::printf("  t quantile 0.975, df 10          %.10f\n", qmx::tDistriQuantile(0.975, 10));
  std::printf("  chi-square quantile 0.95, df 10  %.10f\n", qmx::chi2DistriQuantile(0.95, 10));
  std::printf("  F quantile 0.95, df 5 and 10     %.10f\n", qmx::FDistriQuantile(0.95, 5, 10));
  std::printf("  P(T <= -37), df 1000000          %.6e\n", qmx::tDistriIntegral(-37, 1000000));
  std::printf("  Mann-Whitney P(U <= 23), 10 x 10 %.6f\n", qmx::UDistriIntegral(10, 10, 23));
  std::printf("  Shapiro-Wilk P(W <= 0.842), n 10 %.4f\n", qmx::ShapiroWilkIntegral(0.842, 10));
  return 0;
}

QmxCommand reg("dist", kUsage, Dist, 40, Demo);

}  // namespace
