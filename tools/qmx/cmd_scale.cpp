// qmx scale START END [--ticks N]: axis ticks from CalcScalePars and the 1-2-5 rounding of the
// range.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>

#include "command.h"
#include "qmx/math1.h"

namespace {

using namespace qmxtool;

struct Options {
  double start = 0, end = 0;
  int ticks = 5;
};

constexpr int kMaxListed = 1000;

int Scale(const Options& o) {
  if (!std::isfinite(o.start) || !std::isfinite(o.end)) return Fail("START and END must be finite numbers");
  long double first, dist;
  uint16_t sub;
  qmx::CalcScalePars(o.ticks, o.start, o.end, first, dist, sub);
  const double range = std::fabs(o.end - o.start);
  const double rounded = qmx::Round125(range);
  // Ticks from the first one while they stay within the axis.
  Json ticks = Json::Array();
  std::string text;
  long count = 0;
  bool more = false;
  if (dist != 0) {
    const long double lo = std::fmin(o.start, o.end), hi = std::fmax(o.start, o.end);
    const long double slack = 1e-9L * std::fabs(dist);
    for (long i = 0;; ++i) {
      const long double t = first + static_cast<long double>(i) * dist;
      if (t < lo - slack || t > hi + slack) break;
      if (count == kMaxListed) {
        more = true;
        break;
      }
      ticks.Push(Json(static_cast<double>(t)));
      text += (count ? " " : "") + Num(static_cast<double>(t), 12);
      ++count;
    }
  }
  if (JsonOutput()) {
    Json j = Json::Object();
    j.Set("start", o.start);
    j.Set("end", o.end);
    j.Set("ticks_requested", o.ticks);
    j.Set("first_tick", first);
    j.Set("tick_distance", dist);
    j.Set("sub_ticks", static_cast<int>(sub));
    j.Set("ticks", ticks);
    j.Set("ticks_truncated", more);
    j.Set("range", range);
    j.Set("range_round125", rounded);
    PrintJson(j);
    return 0;
  }
  std::printf("axis %s .. %s, %d ticks requested\n", Num(o.start, 12).c_str(), Num(o.end, 12).c_str(), o.ticks);
  std::printf("  first tick    = %s\n", Num(static_cast<double>(first), 12).c_str());
  std::printf("  tick distance = %s\n", Num(static_cast<double>(dist), 12).c_str());
  std::printf("  sub-ticks     = %u\n", static_cast<unsigned>(sub));
  std::printf("  ticks         = %s%s\n", text.c_str(), more ? " ..." : "");
  std::printf("  range %s rounds (1-2-5) to %s\n", Num(range, 12).c_str(), Num(rounded, 12).c_str());
  return 0;
}

Runner Setup(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_option("start", o->start, "start of the axis")->required();
  app.add_option("end", o->end, "end of the axis")->required();
  app.add_option("--ticks", o->ticks, "number of tick intervals wanted (0: unit ticks)")
      ->check(CLI::Range(0, 100000));
  return [o] { return Scale(*o); };
}

int Demo() {
  std::cout << "== axis scales: 1-2-5 tick distances\n";
  for (const auto& [a, b, n] : {std::tuple{0.0, 100.0, 4}, {0.0, 100.0, 5}, {-0.37, 2.9, 5}, {1e6, 0.0, 4}}) {
    long double first, dist;
    uint16_t sub;
    qmx::CalcScalePars(n, a, b, first, dist, sub);
    std::printf("  %-8s .. %-8s %d ticks: first %-6s step %-7s sub-ticks %u\n", Num(a).c_str(), Num(b).c_str(), n,
                Num(static_cast<double>(first)).c_str(), Num(static_cast<double>(dist)).c_str(),
                static_cast<unsigned>(sub));
  }
  std::printf("  Round125: 0.017 -> %s, 3.1 -> %s, 8 -> %s\n", Num(qmx::Round125(0.017)).c_str(),
              Num(qmx::Round125(3.1)).c_str(), Num(qmx::Round125(8.0)).c_str());
  return 0;
}

QmxCommand reg("scale", "axis ticks (1-2-5 steps) for a range", Setup, 70, Demo);

}  // namespace
