// Plane and sphere geometry: point in polygon, area, bounding rectangle, convex hull, great
// circle distance.
#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>
#include <vector>

#include "qmx/math1.h"
#include "qmx/math2.h"

namespace qmx {

namespace {

// One edge's factor in the crossing product: -1 when the rightward ray from A crosses (B, C),
// 0 when A lies on it, +1 otherwise.
int EdgeValue(const TPointDouble& A, TPointDouble B, TPointDouble C) {
  if (A.y == B.y && A.y == C.y) {
    const bool between = (B.x <= A.x && A.x <= C.x) || (C.x <= A.x && A.x <= B.x);
    return between ? 0 : 1;
  }
  if (B.y > C.y) std::swap(B, C);
  if (A.x == B.x && A.y == B.y) return 0;
  if (A.y <= B.y || A.y > C.y) return 1;
  const double delta = (B.x - A.x) * (C.y - A.y) - (B.y - A.y) * (C.x - A.x);
  if (delta > 0) return -1;
  if (delta < 0) return 1;
  return 0;
}

}  // namespace

bool PointIsInsidePolygon(double x, double y, const TPDblArray& Polygon) {
  const std::size_t n = Polygon.size();
  if (n == 0) return false;
  const TPointDouble A{x, y};
  int t = -1;
  t *= EdgeValue(A, Polygon[n - 1], Polygon[0]);
  for (std::size_t i = 1; i < n && t != 0; ++i) t *= EdgeValue(A, Polygon[i - 1], Polygon[i]);
  return t == 1;
}

bool PointIsInsideConvexHull(double x, double y, const TPDblArray& Hull) {
  const std::size_t n = Hull.size();
  if (n < 3) return false;
  auto passes = [&](const TPointDouble& P, const TPointDouble& N) {
    return (x - P.x) * (P.y - N.y) + (y - P.y) * (N.x - P.x) > 0;
  };
  if (!passes(Hull[n - 1], Hull[0])) return false;
  for (std::size_t i = 0; i + 1 < n; ++i)
    if (!passes(Hull[i], Hull[i + 1])) return false;
  return true;
}

double PolygonArea(const TPDblArray& Polygon) {
  const std::size_t n = Polygon.size();
  if (n == 0) return 0.0;
  double s = (Polygon[n - 1].x - Polygon[0].x) * (Polygon[n - 1].y + Polygon[0].y);
  for (std::size_t i = 0; i + 1 < n; ++i)
    s += (Polygon[i].x - Polygon[i + 1].x) * (Polygon[i].y + Polygon[i + 1].y);
  return 0.5 * s;
}

void OuterRectOfPolygon(const TPDblArray& Polygon, double& MinX, double& MinY, double& MaxX,
                        double& MaxY) {
  MinX = MinY = MaxX = MaxY = 0.0;
  if (Polygon.empty()) return;
  MinX = MaxX = Polygon[0].x;
  MinY = MaxY = Polygon[0].y;
  for (std::size_t i = 1; i < Polygon.size(); ++i) {
    const TPointDouble& p = Polygon[i];
    if (!(p.x >= MinX)) MinX = p.x;
    if (!(p.y >= MinY)) MinY = p.y;
    if (p.x > MaxX) MaxX = p.x;
    if (p.y > MaxY) MaxY = p.y;
  }
}

namespace {

// Monotone chain hull (strictly convex vertices, counter-clockwise) of the indices idx into
// (x, y); serves when the elimination sweep collapses.
std::vector<int32_t> ChainHull(const std::vector<double>& x, const std::vector<double>& y,
                               std::vector<int32_t> idx) {
  // Non-finite points have no place in an ordering (and cannot be vertices).
  std::erase_if(idx, [&](int32_t a) { return !std::isfinite(x[a]) || !std::isfinite(y[a]); });
  std::sort(idx.begin(), idx.end(), [&](int32_t a, int32_t b) {
    return x[a] < x[b] || (x[a] == x[b] && y[a] < y[b]);
  });
  idx.erase(std::unique(idx.begin(), idx.end(),
                        [&](int32_t a, int32_t b) { return x[a] == x[b] && y[a] == y[b]; }),
            idx.end());
  if (idx.size() < 3) return idx;
  auto cross = [&](int32_t o, int32_t a, int32_t b) {
    return (x[a] - x[o]) * (y[b] - y[o]) - (y[a] - y[o]) * (x[b] - x[o]);
  };
  std::vector<int32_t> h(2 * idx.size());
  std::size_t k = 0;
  for (std::size_t i = 0; i < idx.size(); ++i) {
    while (k >= 2 && cross(h[k - 2], h[k - 1], idx[i]) <= 0) --k;
    h[k++] = idx[i];
  }
  for (std::size_t i = idx.size() - 1, t = k + 1; i-- > 0;) {
    while (k >= t && cross(h[k - 2], h[k - 1], idx[i]) <= 0) --k;
    h[k++] = idx[i];
  }
  h.resize(k - 1);
  return h;
}

}  // namespace

TPDblArray Convex2DHull(const TPDblArray& Points) {
  const int32_t n = static_cast<int32_t>(Points.size());
  if (n <= 3) return Points;
  double mx = 0.0, my = 0.0;
  for (const TPointDouble& p : Points) {
    mx += p.x;
    my += p.y;
  }
  mx /= n;
  my /= n;
  constexpr double kPi = std::numbers::pi;
  // Rows (x - mx, y - my, angle, original index) in ascending angle order. Equal angles keep
  // the input order; of points in exactly the same direction only the farthest (or, for
  // coincident points, one of them) survives the direction step, so their order does not change
  // the hull. NaN angles go last. The index lets the hull return the input points themselves.
  const std::size_t sn = static_cast<std::size_t>(n);
  std::vector<std::pair<double, int32_t>> key(sn);
  for (int32_t i = 0; i < n; ++i) {
    double a = AngleToXAxis(Points[i].x - mx, Points[i].y - my) + kPi / 2.0;
    if (a > 2.0 * kPi) a -= 2.0 * kPi;
    key[static_cast<std::size_t>(i)] = {a, i};
  }
  std::sort(key.begin(), key.end(), [](const auto& u, const auto& v) {
    const bool un = std::isnan(u.first), vn = std::isnan(v.first);
    if (un != vn) return vn;
    if (!un && u.first != v.first) return u.first < v.first;
    return u.second < v.second;
  });
  std::vector<double> X(sn + 1), Y(sn + 1), A(sn + 1);
  std::vector<int32_t> orig(sn + 1);
  for (int32_t i = 1; i <= n; ++i) {
    const int32_t k = key[static_cast<std::size_t>(i - 1)].second;
    X[i] = Points[k].x - mx;
    Y[i] = Points[k].y - my;
    A[i] = key[static_cast<std::size_t>(i - 1)].first;
    orig[i] = k;
  }
  TBitFld elim;
  elim.SetSize(n);
  auto nextRow = [&](int32_t i) { return i == n ? 1 : i + 1; };
  // The first row still present at or after r (fwd, n + 1 when none) and at or before r (bwd, 0
  // when none): path-halving finds over the eliminated rows, so that skipping long runs of
  // eliminated rows costs nearly nothing and the sweep stays O(n).
  std::vector<int32_t> fwd(sn + 2), bwd(sn + 2);
  for (int32_t i = 0; i <= n + 1; ++i) fwd[i] = bwd[i] = i;
  auto findFwd = [&](int32_t r) {
    while (fwd[r] != r) r = fwd[r] = fwd[fwd[r]];
    return r;
  };
  auto findBwd = [&](int32_t r) {
    while (bwd[r] != r) r = bwd[r] = bwd[bwd[r]];
    return r;
  };
  int32_t alive = n;
  auto eliminate = [&](int32_t r) {
    if (elim.GetBit(r)) return;
    elim.SetBit(r, true);
    fwd[r] = r + 1;
    bwd[r] = r - 1;
    --alive;
  };
  // Same direction from the centroid: the nearer point cannot be a vertex.
  for (int32_t i = 1; i <= n; ++i) {
    if (elim.GetBit(i)) continue;
    const double ri = X[i] * X[i] + Y[i] * Y[i];
    for (int32_t j = nextRow(i); j != i && std::fabs(A[i] - A[j]) < 1e-4; j = nextRow(j)) {
      if (elim.GetBit(j)) continue;
      if (ri >= X[j] * X[j] + Y[j] * Y[j]) {
        eliminate(j);
      } else {
        eliminate(i);
        break;
      }
    }
  }
  // The sweep. Its cursor moves search for a row still present; when none is left (a small set
  // can lose every point) the sweep has collapsed and the hull is taken by the chain instead.
  bool collapsed = false;
  // The next row still present after `from` in cyclic order (before it when !forward); `from`
  // itself when it is the only one.
  auto seek = [&](int32_t from, bool forward) {
    if (alive == 0) {
      collapsed = true;
      return from;
    }
    if (forward) {
      const int32_t r = from < n ? findFwd(from + 1) : n + 1;
      return r <= n ? r : findFwd(1);
    }
    const int32_t r = from > 1 ? findBwd(from - 1) : 0;
    return r >= 1 ? r : findBwd(n);
  };
  // The cursors start on rows 1, 2, 3, moved on past rows the direction test has removed (a
  // cursor on a removed row would let a removed point decide about the others).
  int32_t prev = elim.GetBit(1) ? seek(1, true) : 1;
  int32_t cur = seek(prev, true);
  int32_t next = seek(cur, true);
  for (int32_t round = 0; round < 2 * n && !collapsed; ++round) {
    bool out;
    if (X[prev] != X[next]) {
      const double k = (Y[prev] - Y[next]) / (X[prev] - X[next]);
      out = std::fabs(Y[cur] - k * X[cur]) <= std::fabs(Y[prev] - k * X[prev]);
    } else {
      out = !((X[prev] - X[cur]) * (Y[prev] - Y[next]) > 0);
    }
    if (out) {
      eliminate(cur);
      cur = prev;
      prev = seek(cur, false);
    } else {
      prev = cur;
      cur = next;
      next = seek(cur, true);
    }
  }
  std::vector<int32_t> keep;
  for (int32_t i = 1; i <= n; ++i)
    if (!elim.GetBit(i)) keep.push_back(i);
  if (!collapsed && keep.size() < 3) {
    // Fewer than three survivors are a hull only for degenerate (collinear) sets.
    std::vector<int32_t> all(sn);
    for (int32_t i = 0; i < n; ++i) all[i] = i + 1;
    collapsed = ChainHull(X, Y, all).size() >= 3;
  }
  if (collapsed) {
    std::vector<int32_t> all(sn);
    for (int32_t i = 0; i < n; ++i) all[i] = i + 1;
    keep = ChainHull(X, Y, all);
    // Rows are in angle order, so the lowest row number starts the hull as the sweep would.
    std::rotate(keep.begin(), std::min_element(keep.begin(), keep.end()), keep.end());
  }
  TPDblArray hull;
  hull.reserve(keep.size());
  for (int32_t r : keep) hull.push_back(Points[static_cast<std::size_t>(orig[r])]);
  return hull;
}

double SphereGreatCircleDist(double Radius, double Lat1, double Long1, double Lat2, double Long2) {
  constexpr double d2r = std::numbers::pi / 180.0;
  const double la1 = Lat1 * d2r, la2 = Lat2 * d2r, dl = (Long1 - Long2) * d2r;
  // h is the cosine of the central angle; arccos of it loses half the digits near 0 and pi
  // (a point with itself came out 1e-4 km apart on the earth). The angle is taken by atan2 of
  // its sine and h instead: the same angle, accurate everywhere, exactly 0 for equal points.
  const double c1 = std::cos(la1), s1 = std::sin(la1), c2 = std::cos(la2), s2 = std::sin(la2);
  const double cdl = std::cos(dl);
  const double h = c1 * c2 * cdl + s1 * s2;
  const double a = c2 * std::sin(dl), b = c1 * s2 - s1 * c2 * cdl;
  return Radius * std::atan2(std::sqrt(a * a + b * b), h);
}

}  // namespace qmx
