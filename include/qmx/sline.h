// Straight lines in the plane (module Qmx_sline): TSLine holds A*x + B*y + C = 0 and answers
// distances, intersections, angles and clipping. Errors are EQMXSLineError with component
// messages.
#pragma once

#include "qmx/frame.h"
#include "qmx/runtime.h"

namespace qmx {

class TSLine : public TComponent {
 public:
  // A new line is the x axis (A = 0, B = 1, C = 0).
  explicit TSLine(TComponent* AOwner = nullptr) : TComponent(AOwner) {}
  std::string ClassName() const override { return "TSLine"; }

  double ParA() const noexcept { return FParA; }
  double ParB() const noexcept { return FParB; }
  double ParC() const noexcept { return FParC; }
  // A and B never become both zero: such a setting raises and leaves the line unchanged.
  void SetParA(double v);
  void SetParB(double v);
  void SetParC(double v) noexcept { FParC = v; }
  // When set, CalcX/CalcY divide by 1e-100 instead of raising for a zero A or B.
  bool SubstituteInf() const noexcept { return FSubstInf; }
  void SetSubstituteInf(bool v) noexcept { FSubstInf = v; }

  double Direction() const { return GetDirect(); }
  double Slope() const { return GetSlope(); }
  double Intercept() const { return GetIntercept(); }
  double GetDirect() const;  // direction of (B, -A) in [0, 2 pi)
  double GetSlope() const;
  double GetIntercept() const;

  // False (line unchanged) for two identical points.
  bool LineFrom2Points(double P1X, double P1Y, double P2X, double P2Y);
  void LineFromSlopeIcpt(double k, double d);                  // y = k x + d
  void LineThroughPoint(double px, double py, double angle);  // angle in radians
  void NormalLine(double px, double py, const TSLine* OtherLine);
  void ParallelLine(double px, double py, const TSLine* OtherLine);

  void CalcKDForm(double& k, double& d) const;
  double CalcX(double y) const;
  double CalcY(double x) const;
  double Distance(double px, double py) const;
  // False (x, y unchanged) for parallel lines.
  bool InterSection(const TSLine* OtherLine, double& x, double& y) const;
  double AngleBetweenLines(const TSLine* OtherLine) const;  // in [0, pi/2]
  // Crossings of the line with the box borders. Points not found are written as NaN.
  bool ClipBox(double bllx, double blly, double burx, double bury, double& x1, double& y1,
               double& x2, double& y2);

 private:
  double FParA = 0.0;
  double FParB = 1.0;
  double FParC = 0.0;
  bool FSubstInf = false;
  [[noreturn]] void Fail(const char* Tail) const;
};

}  // namespace qmx
