// The tool's plotting layer: figures of one or more panels written as SVG. Axis ticks come from
// the library's CalcScalePars and their labels from its number texts, so a plot's axes read the
// way the library's own scales do. Nothing here computes statistics: the commands hand over
// finished numbers.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace qmxtool::plot {

// Colours as SVG texts ("#1f77b4"); Palette(i) cycles through ten distinguishable ones.
std::string Palette(int i);

struct Point {
  double x, y;
};

class Panel {
 public:
  // Axis ranges and labels. Without a range the axis spans the data given (with a margin).
  void SetX(const std::string& label, double lo = 0, double hi = 0);
  void SetY(const std::string& label, double lo = 0, double hi = 0);
  void LogY(bool on = true) { logY_ = on; }  // decades on the y axis (values <= 0 are dropped)
  void NoXTicks() { xTicks_ = false; }
  void NoYTicks() { yTicks_ = false; }
  void SetTitle(const std::string& t) { title_ = t; }

  // Drawing, in data coordinates. A label puts the item into the legend.
  void Line(const std::vector<double>& x, const std::vector<double>& y, const std::string& color,
            const std::string& label = "", double width = 1.5, bool dashed = false);
  void Markers(const std::vector<double>& x, const std::vector<double>& y, const std::string& color,
               const std::string& label = "", double radius = 3);
  // Markers coloured per point (colors[i] for point i).
  void Markers(const std::vector<double>& x, const std::vector<double>& y,
               const std::vector<std::string>& colors, double radius = 3);
  // Bars from y = 0 (or the axis bottom on a log axis): [left, left + width) × [0, height).
  void Bars(const std::vector<double>& left, const std::vector<double>& width,
            const std::vector<double>& height, const std::string& color, const std::string& label = "");
  void Segment(double x0, double y0, double x1, double y1, const std::string& color, double width = 1);
  void Arrow(double x0, double y0, double x1, double y1, const std::string& color,
             const std::string& text = "");
  void Text(double x, double y, const std::string& text, const std::string& color = "#333333",
            int size = 12);
  // Horizontal box plot at height y (box q1..q3, median line, whiskers lo..hi, outliers as dots).
  void BoxPlot(double y, double halfHeight, double q1, double median, double q3, double lo,
               double hi, const std::vector<double>& outliers, const std::string& color);
  // Heat map: values[iy][ix] fills the cell [ix, ix+1) × [iy, iy+1) of the data space (axes
  // from 0 to nx and 0 to ny); NaN cells stay empty. The colour scale goes from lo to hi.
  void HeatMap(const std::vector<std::vector<double>>& values, const std::string& scaleLabel);
  void HorizontalRule(double y, const std::string& color, bool dashed = true);

  // What a panel holds, in data coordinates; drawn when the figure renders.
  struct Item {
    enum Kind { kLine, kMarkers, kBars, kSegment, kArrow, kText, kBox, kHeat, kRule } kind;
    std::vector<double> x, y, w;  // coordinates (bars: left, height, width)
    std::vector<std::string> colors;
    std::string color, label, text;
    double size = 1;             // line width, marker radius, font size
    bool dashed = false;
    std::vector<std::vector<double>> grid;  // heat map values
  };

 private:
  friend class Figure;
  void Extend(double x, double y);
  std::string xLabel_, yLabel_, title_;
  double xLo_ = 0, xHi_ = 0, yLo_ = 0, yHi_ = 0;
  bool logY_ = false, xTicks_ = true, yTicks_ = true;
  // Data extent seen so far (for axes without a set range).
  double dx0_ = 1e300, dx1_ = -1e300, dy0_ = 1e300, dy1_ = -1e300;
  std::vector<Item> items_;
};

class Figure {
 public:
  explicit Figure(const std::string& title, int width = 800, int height = 600);
  // A panel occupying the fraction [x0, x1] × [y0, y1] of the drawing area (0, 0 top left).
  Panel& AddPanel(double x0 = 0, double y0 = 0, double x1 = 1, double y1 = 1);
  std::string Render() const;
  // Writes the SVG to path (through a temporary file, so a failed write leaves no half plot).
  bool Save(const std::string& path, std::string& error) const;

 private:
  std::string title_;
  int width_, height_;
  struct Slot {
    double x0, y0, x1, y1;
  };
  std::vector<Slot> slots_;
  std::deque<Panel> panels_;  // stable references for AddPanel's callers
};

// Axis ticks of [lo, hi]: positions and their label texts (through the library's scale).
struct Ticks {
  std::vector<double> major;
  std::vector<std::string> labels;
  std::vector<double> minor;
};
Ticks LinearTicks(double lo, double hi, int numTicks = 6);

}  // namespace qmxtool::plot
