// qmx dist normal|t|chi2|f|u cdf|pdf|quantile X [--df N] [--df2 N] [--n1 N --n2 N]: one value
// of a probability distribution.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>

#include "command.h"
#include "qmx/statis.h"

namespace {

using namespace qmxtool;

struct Options {
  std::string dist, fn;
  double x = 0;
  int df = 0, df2 = 0, n1 = 0, n2 = 0;
};

// A required positive integer option.
bool Need(int v, const char* name, std::string& err) {
  if (v >= 1) return true;
  err = std::string(name) + " N is required (a positive integer)";
  return false;
}

int Dist(const Options& o) {
  const std::string& dist = o.dist;
  const std::string& fn = o.fn;
  const double x = o.x;
  if (std::isnan(x)) return Fail("bad number: nan");
  if (fn == "quantile" && !(x > 0 && x < 1) && dist != "u")
    return Fail("the probability must lie strictly between 0 and 1");

  std::string err;
  double r;
  if (dist == "normal") {
    r = fn == "cdf" ? qmx::nDistriIntegral(x) : fn == "pdf" ? qmx::nDistriDensity(x)
                                                            : qmx::nDistriQuantile(x);
  } else if (dist == "t" || dist == "chi2") {
    const int df = o.df;
    if (!Need(df, "--df", err)) return Fail(err);
    if (dist == "t")
      r = fn == "cdf" ? qmx::tDistriIntegral(x, df) : fn == "pdf" ? qmx::tDistriDensity(x, df)
                                                                  : qmx::tDistriQuantile(x, df);
    else
      r = fn == "cdf"   ? qmx::chi2DistriIntegral(x, df)
          : fn == "pdf" ? qmx::Chi2DistriDensity(x, df)
                        : qmx::chi2DistriQuantile(x, df);
  } else if (dist == "f") {
    const int d1 = o.df, d2 = o.df2;
    if (!Need(d1, "--df", err) || !Need(d2, "--df2", err)) return Fail(err);
    r = fn == "cdf"   ? qmx::FDistriIntegral(x, d1, d2)
        : fn == "pdf" ? qmx::FDistriDensity(x, d1, d2)
                      : qmx::FDistriQuantile(x, d1, d2);
  } else if (dist == "u") {
    const int n1 = o.n1, n2 = o.n2;
    if (!Need(n1, "--n1", err) || !Need(n2, "--n2", err)) return Fail(err);
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
  if (JsonOutput()) {
    Json j = Json::Object();
    j.Set("distribution", dist);
    j.Set("function", fn);
    j.Set("x", x);
    if (o.df) j.Set("df", o.df);
    if (o.df2) j.Set("df2", o.df2);
    if (o.n1) j.Set("n1", o.n1);
    if (o.n2) j.Set("n2", o.n2);
    j.Set("value", r);
    PrintJson(j);
  } else {
    std::printf("%.17g\n", r);
  }
  return 0;
}

Runner Setup(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_option("distribution", o->dist, "normal, t, chi2, f or u")
      ->required()
      ->check(CLI::IsMember({"normal", "t", "chi2", "f", "u"}));
  app.add_option("function", o->fn, "cdf, pdf or quantile")
      ->required()
      ->check(CLI::IsMember({"cdf", "pdf", "quantile"}));
  app.add_option("x", o->x, "argument (a probability for quantile)")->required();
  app.add_option("--df", o->df, "degrees of freedom (t, chi2; numerator for f)")->check(Positive());
  app.add_option("--df2", o->df2, "denominator degrees of freedom (f)")->check(Positive());
  app.add_option("--n1", o->n1, "first sample size (u)")->check(Positive());
  app.add_option("--n2", o->n2, "second sample size (u)")->check(Positive());
  return [o] { return Dist(*o); };
}

int Demo() {
  std::cout << "== distributions: critical values and tail probabilities\n";
  std::printf("  t quantile 0.975, df 10          %.10f\n", qmx::tDistriQuantile(0.975, 10));
  std::printf("  chi-square quantile 0.95, df 10  %.10f\n", qmx::chi2DistriQuantile(0.95, 10));
  std::printf("  F quantile 0.95, df 5 and 10     %.10f\n", qmx::FDistriQuantile(0.95, 5, 10));
  std::printf("  P(T <= -37), df 1000000          %.6e\n", qmx::tDistriIntegral(-37, 1000000));
  std::printf("  Mann-Whitney P(U <= 23), 10 x 10 %.6f\n", qmx::UDistriIntegral(10, 10, 23));
  std::printf("  Shapiro-Wilk P(W <= 0.842), n 10 %.4f\n", qmx::ShapiroWilkIntegral(0.842, 10));
  return 0;
}

QmxCommand reg("dist", "distribution calculator: cdf, pdf or quantile of normal, t, chi2, f, u",
               Setup, 40, Demo);

}  // namespace
