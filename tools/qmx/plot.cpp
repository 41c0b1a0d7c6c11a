#include "plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>

#include "qmx/math1.h"

namespace qmxtool::plot {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string Esc(const std::string& s) {
  std::string r;
  for (char c : s) {
    switch (c) {
      case '&': r += "&amp;"; break;
      case '<': r += "&lt;"; break;
      case '>': r += "&gt;"; break;
      case '"': r += "&quot;"; break;
      default:
        // Control bytes are not allowed in XML text.
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') r += c;
    }
  }
  return r;
}

std::string F(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.2f", v);
  return b;
}

// Viridis-like colour scale, t in [0, 1].
std::string ScaleColor(double t) {
  static const double stops[5][3] = {
      {68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98}, {253, 231, 37}};
  t = std::clamp(t, 0.0, 1.0) * 4;
  const int i = std::min(3, static_cast<int>(t));
  const double f = t - i;
  char b[8];
  std::snprintf(b, sizeof b, "#%02x%02x%02x",
                static_cast<int>(std::lround(stops[i][0] + f * (stops[i + 1][0] - stops[i][0]))),
                static_cast<int>(std::lround(stops[i][1] + f * (stops[i + 1][1] - stops[i][1]))),
                static_cast<int>(std::lround(stops[i][2] + f * (stops[i + 1][2] - stops[i][2]))));
  return b;
}

// Label text of a tick at v on a scale of step dist: as many decimals as the step needs.
std::string TickText(double v, double dist) {
  if (std::fabs(v) < dist * 1e-9) v = 0;  // no "-0" or "1e-17" at the origin
  int decimals = 0;
  if (dist > 0 && dist < 1) decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(dist) - 1e-9)), 0, 12);
  const double mag = std::fabs(v);
  // Very large or small ticks in engineering form ("20k", "5m"), the others in fixed point.
  if (mag >= 1e6 || (mag > 0 && mag < 1e-4)) return qmx::EEngStr(v, 3);
  return qmx::strf(v, 0, decimals);
}

struct Range {
  double lo, hi;
};

Range Resolve(double setLo, double setHi, double dLo, double dHi) {
  if (setLo < setHi) return {setLo, setHi};
  if (!(dLo <= dHi)) return {0, 1};
  if (dLo == dHi) {
    const double d = dLo == 0 ? 1 : std::fabs(dLo) * 0.1;
    return {dLo - d, dHi + d};
  }
  const double m = (dHi - dLo) * 0.04;
  return {dLo - m, dHi + m};
}

}  // namespace

std::string Palette(int i) {
  static const char* const p[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd",
                                  "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};
  return p[((i % 10) + 10) % 10];
}

Ticks LinearTicks(double lo, double hi, int numTicks) {
  Ticks t;
  if (!(lo < hi) || !std::isfinite(lo) || !std::isfinite(hi)) return t;
  long double first = 0, dist = 0;
  uint16_t sub = 1;
  qmx::CalcScalePars(numTicks, lo, hi, first, dist, sub);
  if (!(dist > 0)) return t;
  const double d = static_cast<double>(dist);
  const double eps = d * 1e-9;
  for (int k = 0; k < 100; ++k) {
    const double v = static_cast<double>(first + k * dist);
    if (v > hi + eps) break;
    if (v >= lo - eps) {
      t.major.push_back(v);
      t.labels.push_back(TickText(v, d));
    }
    if (sub > 1)
      for (int s = 1; s < sub; ++s) {
        const double m = v + s * d / sub;
        if (m >= lo && m <= hi) t.minor.push_back(m);
      }
  }
  if (sub > 1)
    for (int s = 1; s < sub; ++s) {  // minor ticks below the first major one
      const double m = static_cast<double>(first) - s * d / sub;
      if (m >= lo) t.minor.push_back(m);
    }
  return t;
}

void Panel::Extend(double x, double y) {
  if (std::isfinite(x)) {
    dx0_ = std::min(dx0_, x);
    dx1_ = std::max(dx1_, x);
  }
  if (std::isfinite(y) && (!logY_ || y > 0)) {
    dy0_ = std::min(dy0_, y);
    dy1_ = std::max(dy1_, y);
  }
}

void Panel::SetX(const std::string& label, double lo, double hi) {
  xLabel_ = label;
  xLo_ = lo;
  xHi_ = hi;
}

void Panel::SetY(const std::string& label, double lo, double hi) {
  yLabel_ = label;
  yLo_ = lo;
  yHi_ = hi;
}

void Panel::Line(const std::vector<double>& x, const std::vector<double>& y, const std::string& color,
                 const std::string& label, double width, bool dashed) {
  Item it{Item::kLine, x, y, {}, {}, color, label, "", width, dashed, {}};
  for (std::size_t i = 0; i < std::min(x.size(), y.size()); ++i) Extend(x[i], y[i]);
  items_.push_back(std::move(it));
}

void Panel::Markers(const std::vector<double>& x, const std::vector<double>& y, const std::string& color,
                    const std::string& label, double radius) {
  Item it{Item::kMarkers, x, y, {}, {}, color, label, "", radius, false, {}};
  for (std::size_t i = 0; i < std::min(x.size(), y.size()); ++i) Extend(x[i], y[i]);
  items_.push_back(std::move(it));
}

void Panel::Markers(const std::vector<double>& x, const std::vector<double>& y,
                    const std::vector<std::string>& colors, double radius) {
  Item it{Item::kMarkers, x, y, {}, colors, "#000000", "", "", radius, false, {}};
  for (std::size_t i = 0; i < std::min(x.size(), y.size()); ++i) Extend(x[i], y[i]);
  items_.push_back(std::move(it));
}

void Panel::Bars(const std::vector<double>& left, const std::vector<double>& width,
                 const std::vector<double>& height, const std::string& color, const std::string& label) {
  Item it{Item::kBars, left, height, width, {}, color, label, "", 1, false, {}};
  for (std::size_t i = 0; i < std::min({left.size(), width.size(), height.size()}); ++i) {
    Extend(left[i], height[i]);
    Extend(left[i] + width[i], logY_ ? kNaN : 0.0);
  }
  items_.push_back(std::move(it));
}

void Panel::Segment(double x0, double y0, double x1, double y1, const std::string& color, double width) {
  items_.push_back(Item{Item::kSegment, {x0, x1}, {y0, y1}, {}, {}, color, "", "", width, false, {}});
  Extend(x0, y0);
  Extend(x1, y1);
}

void Panel::Arrow(double x0, double y0, double x1, double y1, const std::string& color,
                  const std::string& text) {
  items_.push_back(Item{Item::kArrow, {x0, x1}, {y0, y1}, {}, {}, color, "", text, 1.5, false, {}});
  Extend(x0, y0);
  Extend(x1, y1);
}

void Panel::Text(double x, double y, const std::string& text, const std::string& color, int size) {
  items_.push_back(Item{Item::kText, {x}, {y}, {}, {}, color, "", text, double(size), false, {}});
}

void Panel::BoxPlot(double y, double halfHeight, double q1, double median, double q3, double lo,
                    double hi, const std::vector<double>& outliers, const std::string& color) {
  Item it{Item::kBox, {q1, median, q3, lo, hi}, {y, halfHeight}, outliers, {}, color, "", "", 1, false, {}};
  Extend(lo, y - halfHeight);
  Extend(hi, y + halfHeight);
  for (double o : outliers) Extend(o, y);
  items_.push_back(std::move(it));
}

void Panel::HeatMap(const std::vector<std::vector<double>>& values, const std::string& scaleLabel) {
  Item it{Item::kHeat, {}, {}, {}, {}, "", scaleLabel, "", 1, false, values};
  const double ny = static_cast<double>(values.size());
  double nx = 0;
  for (const auto& r : values) nx = std::max(nx, static_cast<double>(r.size()));
  if (!(xLo_ < xHi_)) SetX(xLabel_, 0, nx);
  if (!(yLo_ < yHi_)) SetY(yLabel_, 0, ny);
  items_.push_back(std::move(it));
}

void Panel::HorizontalRule(double y, const std::string& color, bool dashed) {
  items_.push_back(Item{Item::kRule, {}, {y}, {}, {}, color, "", "", 1, dashed, {}});
  Extend(kNaN, y);
}

Figure::Figure(const std::string& title, int width, int height)
    : title_(title), width_(width), height_(height) {}

Panel& Figure::AddPanel(double x0, double y0, double x1, double y1) {
  slots_.push_back({x0, y0, x1, y1});
  panels_.emplace_back();
  return panels_.back();
}

std::string Figure::Render() const {
  std::string s;
  s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  s += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width_) + "\" height=\"" +
       std::to_string(height_) + "\" viewBox=\"0 0 " + std::to_string(width_) + " " +
       std::to_string(height_) + "\" font-family=\"DejaVu Sans, Helvetica, Arial, sans-serif\">\n";
  s += "<title>" + Esc(title_) + "</title>\n";
  s += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  s += "<text class=\"title\" x=\"" + F(width_ / 2.0) +
       "\" y=\"26\" font-size=\"18\" text-anchor=\"middle\" fill=\"#111111\">" + Esc(title_) + "</text>\n";
  const double areaTop = 40, areaBottom = height_ - 4.0, areaLeft = 4, areaRight = width_ - 4.0;
  for (std::size_t pi = 0; pi < panels_.size(); ++pi) {
    const Panel& p = panels_[pi];
    const Slot& sl = slots_[pi];
    bool heat = false;
    for (const auto& it : p.items_) heat |= it.kind == Panel::Item::kHeat;
    const double sx0 = areaLeft + sl.x0 * (areaRight - areaLeft), sx1 = areaLeft + sl.x1 * (areaRight - areaLeft);
    const double sy0 = areaTop + sl.y0 * (areaBottom - areaTop), sy1 = areaTop + sl.y1 * (areaBottom - areaTop);
    const double L = sx0 + 72, R = sx1 - (heat ? 90 : 16), T = sy0 + (p.title_.empty() ? 8 : 26),
                 B = sy1 - 50;
    if (R <= L || B <= T) continue;
    const Range xr = Resolve(p.xLo_, p.xHi_, p.dx0_, p.dx1_);
    Range yr;
    if (p.logY_) {
      const double lo = p.yLo_ > 0 ? p.yLo_ : p.dy0_, hi = p.yHi_ > 0 ? p.yHi_ : p.dy1_;
      if (lo > 0 && hi >= lo) {
        yr = {std::floor(std::log10(lo)), std::ceil(std::log10(hi))};
        if (yr.hi <= yr.lo) yr.hi = yr.lo + 1;
      } else {
        yr = {0, 1};
      }
    } else {
      yr = Resolve(p.yLo_, p.yHi_, p.dy0_, p.dy1_);
    }
    auto X = [&](double x) { return L + (x - xr.lo) / (xr.hi - xr.lo) * (R - L); };
    auto Y = [&](double y) {
      const double v = p.logY_ ? (y > 0 ? std::log10(y) : yr.lo) : y;
      return B - (v - yr.lo) / (yr.hi - yr.lo) * (B - T);
    };
    s += "<g class=\"panel\">\n";
    if (!p.title_.empty())
      s += "<text x=\"" + F((L + R) / 2) + "\" y=\"" + F(sy0 + 18) +
           "\" font-size=\"14\" text-anchor=\"middle\" fill=\"#222222\">" + Esc(p.title_) + "</text>\n";
    s += "<clipPath id=\"clip" + std::to_string(pi) + "\"><rect x=\"" + F(L) + "\" y=\"" + F(T) +
         "\" width=\"" + F(R - L) + "\" height=\"" + F(B - T) + "\"/></clipPath>\n";
    // Axes: ticks, grid, labels.
    s += "<g class=\"axes\" font-size=\"11\" fill=\"#333333\">\n";
    if (p.xTicks_) {
      const Ticks tx = LinearTicks(xr.lo, xr.hi, std::clamp(static_cast<int>((R - L) / 90), 2, 10));
      for (std::size_t k = 0; k < tx.major.size(); ++k) {
        const double px = X(tx.major[k]);
        s += "<line x1=\"" + F(px) + "\" y1=\"" + F(T) + "\" x2=\"" + F(px) + "\" y2=\"" + F(B) +
             "\" stroke=\"#e6e6e6\"/>";
        s += "<line x1=\"" + F(px) + "\" y1=\"" + F(B) + "\" x2=\"" + F(px) + "\" y2=\"" + F(B + 5) +
             "\" stroke=\"#333333\"/>";
        s += "<text x=\"" + F(px) + "\" y=\"" + F(B + 18) + "\" text-anchor=\"middle\">" +
             Esc(tx.labels[k]) + "</text>\n";
      }
      for (double m : tx.minor)
        s += "<line x1=\"" + F(X(m)) + "\" y1=\"" + F(B) + "\" x2=\"" + F(X(m)) + "\" y2=\"" + F(B + 3) +
             "\" stroke=\"#777777\"/>\n";
    }
    if (p.yTicks_) {
      std::vector<double> major;
      std::vector<std::string> labels;
      std::vector<double> minor;
      if (p.logY_) {
        for (double e = yr.lo; e <= yr.hi + 1e-9; e += 1) {
          major.push_back(std::pow(10.0, e));
          labels.push_back(std::fabs(e) < 4 ? qmx::strf(std::pow(10.0, e), 0, e < 0 ? static_cast<int>(-e) : 0)
                                           : qmx::EEngStr(std::pow(10.0, e), 1));
          for (int m = 2; m <= 9 && e < yr.hi; ++m) minor.push_back(m * std::pow(10.0, e));
        }
      } else {
        // About one tick per 60 pixels, so that short panels stay legible.
        Ticks ty = LinearTicks(yr.lo, yr.hi, std::clamp(static_cast<int>((B - T) / 60), 2, 8));
        major = ty.major;
        labels = ty.labels;
        minor = ty.minor;
      }
      for (std::size_t k = 0; k < major.size(); ++k) {
        const double py = Y(major[k]);
        s += "<line x1=\"" + F(L) + "\" y1=\"" + F(py) + "\" x2=\"" + F(R) + "\" y2=\"" + F(py) +
             "\" stroke=\"#e6e6e6\"/>";
        s += "<line x1=\"" + F(L - 5) + "\" y1=\"" + F(py) + "\" x2=\"" + F(L) + "\" y2=\"" + F(py) +
             "\" stroke=\"#333333\"/>";
        s += "<text x=\"" + F(L - 8) + "\" y=\"" + F(py + 4) + "\" text-anchor=\"end\">" +
             Esc(labels[k]) + "</text>\n";
      }
      for (double m : minor)
        s += "<line x1=\"" + F(L - 3) + "\" y1=\"" + F(Y(m)) + "\" x2=\"" + F(L) + "\" y2=\"" + F(Y(m)) +
             "\" stroke=\"#777777\"/>\n";
    }
    s += "<rect x=\"" + F(L) + "\" y=\"" + F(T) + "\" width=\"" + F(R - L) + "\" height=\"" + F(B - T) +
         "\" fill=\"none\" stroke=\"#333333\"/>\n";
    if (!p.xLabel_.empty())
      s += "<text class=\"xlabel\" x=\"" + F((L + R) / 2) + "\" y=\"" + F(B + 40) +
           "\" font-size=\"13\" text-anchor=\"middle\">" + Esc(p.xLabel_) + "</text>\n";
    if (!p.yLabel_.empty())
      s += "<text class=\"ylabel\" transform=\"translate(" + F(sx0 + 16) + "," + F((T + B) / 2) +
           ") rotate(-90)\" font-size=\"13\" text-anchor=\"middle\">" + Esc(p.yLabel_) + "</text>\n";
    s += "</g>\n";

    // Items, clipped to the plot area.
    s += "<g clip-path=\"url(#clip" + std::to_string(pi) + ")\">\n";
    for (const auto& it : p.items_) {
      using K = Panel::Item;
      switch (it.kind) {
        case K::kLine: {
          std::string pts;
          auto flush = [&] {
            if (pts.empty()) return;
            s += "<polyline class=\"line\" fill=\"none\" stroke=\"" + it.color + "\" stroke-width=\"" +
                 F(it.size) + "\"" + (it.dashed ? " stroke-dasharray=\"6,4\"" : "") + " points=\"" + pts +
                 "\"/>\n";
            pts.clear();
          };
          for (std::size_t i = 0; i < std::min(it.x.size(), it.y.size()); ++i) {
            if (!std::isfinite(it.x[i]) || !std::isfinite(it.y[i]) || (p.logY_ && !(it.y[i] > 0))) {
              flush();  // a gap in the data breaks the line
              continue;
            }
            pts += F(X(it.x[i])) + "," + F(Y(it.y[i])) + " ";
          }
          flush();
          break;
        }
        case K::kMarkers:
          for (std::size_t i = 0; i < std::min(it.x.size(), it.y.size()); ++i) {
            if (!std::isfinite(it.x[i]) || !std::isfinite(it.y[i])) continue;
            const std::string& c = i < it.colors.size() ? it.colors[i] : it.color;
            s += "<circle class=\"marker\" cx=\"" + F(X(it.x[i])) + "\" cy=\"" + F(Y(it.y[i])) +
                 "\" r=\"" + F(it.size) + "\" fill=\"" + c + "\" fill-opacity=\"0.75\" stroke=\"" + c + "\"/>\n";
          }
          break;
        case K::kBars:
          for (std::size_t i = 0; i < std::min({it.x.size(), it.y.size(), it.w.size()}); ++i) {
            const double x0 = X(it.x[i]), x1 = X(it.x[i] + it.w[i]);
            const double y0 = p.logY_ ? B : Y(0.0), y1 = Y(it.y[i]);
            s += "<rect class=\"bar\" x=\"" + F(std::min(x0, x1)) + "\" y=\"" + F(std::min(y0, y1)) +
                 "\" width=\"" + F(std::fabs(x1 - x0)) + "\" height=\"" + F(std::fabs(y1 - y0)) +
                 "\" fill=\"" + it.color + "\" fill-opacity=\"0.8\" stroke=\"white\" stroke-width=\"0.5\"/>\n";
          }
          break;
        case K::kSegment:
          s += "<line class=\"segment\" x1=\"" + F(X(it.x[0])) + "\" y1=\"" + F(Y(it.y[0])) + "\" x2=\"" +
               F(X(it.x[1])) + "\" y2=\"" + F(Y(it.y[1])) + "\" stroke=\"" + it.color +
               "\" stroke-width=\"" + F(it.size) + "\"/>\n";
          break;
        case K::kArrow: {
          const double x0 = X(it.x[0]), y0 = Y(it.y[0]), x1 = X(it.x[1]), y1 = Y(it.y[1]);
          const double a = std::atan2(y1 - y0, x1 - x0), h = 8;
          s += "<g class=\"arrow\" stroke=\"" + it.color + "\" fill=\"" + it.color + "\"><line x1=\"" + F(x0) +
               "\" y1=\"" + F(y0) + "\" x2=\"" + F(x1) + "\" y2=\"" + F(y1) + "\" stroke-width=\"1.5\"/>";
          s += "<polygon points=\"" + F(x1) + "," + F(y1) + " " + F(x1 - h * std::cos(a - 0.4)) + "," +
               F(y1 - h * std::sin(a - 0.4)) + " " + F(x1 - h * std::cos(a + 0.4)) + "," +
               F(y1 - h * std::sin(a + 0.4)) + "\"/></g>\n";
          if (!it.text.empty())
            s += "<text x=\"" + F(x1 + 6 * std::cos(a)) + "\" y=\"" + F(y1 + 6 * std::sin(a) + 4) +
                 "\" font-size=\"11\" fill=\"" + it.color + "\"" +
                 (std::cos(a) < 0 ? " text-anchor=\"end\"" : "") + ">" + Esc(it.text) + "</text>\n";
          break;
        }
        case K::kText:
          s += "<text x=\"" + F(X(it.x[0])) + "\" y=\"" + F(Y(it.y[0])) + "\" font-size=\"" + F(it.size) +
               "\" fill=\"" + it.color + "\">" + Esc(it.text) + "</text>\n";
          break;
        case K::kBox: {
          const double q1 = X(it.x[0]), md = X(it.x[1]), q3 = X(it.x[2]), lo = X(it.x[3]), hi = X(it.x[4]);
          const double yc = Y(it.y[0]), yt = Y(it.y[0] + it.y[1]), yb = Y(it.y[0] - it.y[1]);
          s += "<g class=\"boxplot\" stroke=\"" + it.color + "\" stroke-width=\"1.5\">";
          s += "<rect x=\"" + F(q1) + "\" y=\"" + F(std::min(yt, yb)) + "\" width=\"" + F(q3 - q1) +
               "\" height=\"" + F(std::fabs(yb - yt)) + "\" fill=\"" + it.color + "\" fill-opacity=\"0.25\"/>";
          s += "<line x1=\"" + F(md) + "\" y1=\"" + F(yt) + "\" x2=\"" + F(md) + "\" y2=\"" + F(yb) +
               "\" stroke-width=\"2.5\"/>";
          s += "<line x1=\"" + F(lo) + "\" y1=\"" + F(yc) + "\" x2=\"" + F(q1) + "\" y2=\"" + F(yc) + "\"/>";
          s += "<line x1=\"" + F(q3) + "\" y1=\"" + F(yc) + "\" x2=\"" + F(hi) + "\" y2=\"" + F(yc) + "\"/>";
          const double wt = yc - (yc - yt) / 2, wb = yc + (yb - yc) / 2;
          s += "<line x1=\"" + F(lo) + "\" y1=\"" + F(wt) + "\" x2=\"" + F(lo) + "\" y2=\"" + F(wb) + "\"/>";
          s += "<line x1=\"" + F(hi) + "\" y1=\"" + F(wt) + "\" x2=\"" + F(hi) + "\" y2=\"" + F(wb) + "\"/>";
          for (double o : it.w)
            s += "<circle cx=\"" + F(X(o)) + "\" cy=\"" + F(yc) + "\" r=\"2.5\" fill=\"none\"/>";
          s += "</g>\n";
          break;
        }
        case K::kHeat: {
          double lo = 1e300, hi = -1e300;
          for (const auto& r : it.grid)
            for (double v : r)
              if (std::isfinite(v)) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
              }
          s += "<g class=\"heatmap\">\n";
          for (std::size_t iy = 0; iy < it.grid.size(); ++iy)
            for (std::size_t ix = 0; ix < it.grid[iy].size(); ++ix) {
              const double v = it.grid[iy][ix];
              if (!std::isfinite(v)) continue;
              const double t = hi > lo ? (v - lo) / (hi - lo) : 0.5;
              const double x0 = X(double(ix)), x1 = X(double(ix) + 1), y0 = Y(double(iy)), y1 = Y(double(iy) + 1);
              s += "<rect class=\"cell\" x=\"" + F(x0) + "\" y=\"" + F(std::min(y0, y1)) + "\" width=\"" +
                   F(x1 - x0) + "\" height=\"" + F(std::fabs(y1 - y0)) + "\" fill=\"" + ScaleColor(t) +
                   "\"><title>" + Esc(TickText(v, 1e-4)) + "</title></rect>\n";
            }
          s += "</g>\n";
          s += "</g>\n<g>\n";  // the colour bar lies outside the clipped area
          const double cx = R + 14, cw = 14;
          for (int k = 0; k < 50; ++k) {
            const double y0 = B - (B - T) * (k + 1) / 50.0;
            s += "<rect x=\"" + F(cx) + "\" y=\"" + F(y0) + "\" width=\"" + F(cw) + "\" height=\"" +
                 F((B - T) / 50.0 + 0.5) + "\" fill=\"" + ScaleColor((k + 0.5) / 50.0) + "\"/>";
          }
          if (lo <= hi) {
            s += "<text x=\"" + F(cx + cw + 4) + "\" y=\"" + F(B) + "\" font-size=\"11\">" +
                 Esc(TickText(lo, std::fabs(hi - lo) / 100 + 1e-300)) + "</text>";
            s += "<text x=\"" + F(cx + cw + 4) + "\" y=\"" + F(T + 10) + "\" font-size=\"11\">" +
                 Esc(TickText(hi, std::fabs(hi - lo) / 100 + 1e-300)) + "</text>";
          }
          s += "<text transform=\"translate(" + F(cx + cw + 40) + "," + F((T + B) / 2) +
               ") rotate(-90)\" font-size=\"12\" text-anchor=\"middle\">" + Esc(it.label) + "</text>\n";
          break;
        }
        case K::kRule:
          s += "<line x1=\"" + F(L) + "\" y1=\"" + F(Y(it.y[0])) + "\" x2=\"" + F(R) + "\" y2=\"" +
               F(Y(it.y[0])) + "\" stroke=\"" + it.color + "\"" +
               (it.dashed ? " stroke-dasharray=\"4,3\"" : "") + "/>\n";
          break;
      }
    }
    s += "</g>\n";
    // Legend: the labelled items, top right of the plot area.
    std::vector<const Panel::Item*> leg;
    for (const auto& it : p.items_)
      if (!it.label.empty() && it.kind != Panel::Item::kHeat) leg.push_back(&it);
    if (!leg.empty()) {
      std::size_t longest = 0;
      for (auto* it : leg) longest = std::max(longest, it->label.size());
      const double w = 34 + 6.5 * static_cast<double>(longest), h = 8 + 18.0 * leg.size();
      // The corner of the plot area with the fewest data points under the legend.
      const double cand[4][2] = {{R - w - 8, T + 8}, {L + 8, T + 8}, {R - w - 8, B - h - 8}, {L + 8, B - h - 8}};
      int best = 0;
      long bestCount = -1;
      for (int c = 0; c < 4; ++c) {
        long count = 0;
        for (const auto& it : p.items_)
          for (std::size_t i = 0; i < std::min(it.x.size(), it.y.size()); ++i) {
            if (it.kind != Panel::Item::kMarkers && it.kind != Panel::Item::kLine) continue;
            const double px = X(it.x[i]), py = Y(it.y[i]);
            count += px >= cand[c][0] && px <= cand[c][0] + w && py >= cand[c][1] && py <= cand[c][1] + h;
          }
        if (bestCount < 0 || count < bestCount) {
          best = c;
          bestCount = count;
        }
      }
      const double lx = cand[best][0], ly = cand[best][1];
      s += "<g class=\"legend\" font-size=\"12\"><rect x=\"" + F(lx) + "\" y=\"" + F(ly) + "\" width=\"" +
           F(w) + "\" height=\"" + F(h) + "\" fill=\"white\" fill-opacity=\"0.85\" stroke=\"#999999\"/>\n";
      for (std::size_t k = 0; k < leg.size(); ++k) {
        const double yy = ly + 16 + 18.0 * k;
        const auto* it = leg[k];
        if (it->kind == Panel::Item::kMarkers)
          s += "<circle cx=\"" + F(lx + 14) + "\" cy=\"" + F(yy - 4) + "\" r=\"4\" fill=\"" + it->color + "\"/>";
        else if (it->kind == Panel::Item::kBars)
          s += "<rect x=\"" + F(lx + 7) + "\" y=\"" + F(yy - 10) + "\" width=\"14\" height=\"10\" fill=\"" +
               it->color + "\"/>";
        else
          s += "<line x1=\"" + F(lx + 5) + "\" y1=\"" + F(yy - 4) + "\" x2=\"" + F(lx + 23) + "\" y2=\"" +
               F(yy - 4) + "\" stroke=\"" + it->color + "\" stroke-width=\"2\"" +
               (it->dashed ? " stroke-dasharray=\"6,4\"" : "") + "/>";
        s += "<text x=\"" + F(lx + 28) + "\" y=\"" + F(yy) + "\">" + Esc(it->label) + "</text>\n";
      }
      s += "</g>\n";
    }
    s += "</g>\n";
  }
  s += "</svg>\n";
  return s;
}

bool Figure::Save(const std::string& path, std::string& error) const {
  const std::string tmp = path + ".tmp";
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (!f) {
      error = "cannot write \"" + path + "\"";
      return false;
    }
    const std::string svg = Render();
    f.write(svg.data(), static_cast<std::streamsize>(svg.size()));
    f.close();
    if (!f) {
      std::remove(tmp.c_str());
      error = "writing \"" + path + "\" failed";
      return false;
    }
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    error = "cannot write \"" + path + "\"";
    return false;
  }
  return true;
}

}  // namespace qmxtool::plot
