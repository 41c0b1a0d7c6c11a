// Links against the installed library and checks a result through the umbrella header.
#include <qmx/qmx.h>

#include <cstdio>

int main() {
  qmx::TVector v;
  v.Resize(3);
  v.SetVal(1, 1.0);
  v.SetVal(2, 2.0);
  v.SetVal(3, 6.0);
  double mean = 0, var = 0;
  v.MeanVar(0, 0, mean, var);
  std::printf("mean %g variance %g\n", mean, var);
  return (mean == 3.0 && var == 7.0) ? 0 : 1;
}
