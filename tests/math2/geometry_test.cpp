#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "qmx/math2.h"
#include "qmx/runtime.h"

using namespace qmx;

namespace {

// Independent hull: Andrew's monotone chain, strict vertices, counter-clockwise.
TPDblArray ReferenceHull(TPDblArray p) {
  std::sort(p.begin(), p.end(),
            [](const TPointDouble& a, const TPointDouble& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
  auto cross = [](const TPointDouble& o, const TPointDouble& a, const TPointDouble& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
  };
  TPDblArray h(2 * p.size());
  std::size_t k = 0;
  for (std::size_t i = 0; i < p.size(); ++i) {
    while (k >= 2 && cross(h[k - 2], h[k - 1], p[i]) <= 0) --k;
    h[k++] = p[i];
  }
  for (std::size_t i = p.size() - 1, t = k + 1; i-- > 0;) {
    while (k >= t && cross(h[k - 2], h[k - 1], p[i]) <= 0) --k;
    h[k++] = p[i];
  }
  h.resize(k - 1);
  return h;
}

// The hull starting at the vertex whose direction from the centroid, turned by a quarter, is
// the smallest angle in [0, 2 pi): the first one counter-clockwise from straight below.
TPDblArray StartBelowCentroid(TPDblArray h, const TPDblArray& pts) {
  double mx = 0, my = 0;
  for (auto& p : pts) {
    mx += p.x;
    my += p.y;
  }
  mx /= pts.size();
  my /= pts.size();
  auto key = [&](const TPointDouble& p) {
    double a = std::atan2(p.y - my, p.x - mx) + std::numbers::pi / 2;
    if (a < 0) a += 2 * std::numbers::pi;
    return a;
  };
  std::rotate(h.begin(),
              std::min_element(h.begin(), h.end(),
                               [&](auto& a, auto& b) { return key(a) < key(b); }),
              h.end());
  return h;
}

}  // namespace

TEST(Geometry, UnitSquarePolygonAndHullTests) {
  const TPDblArray sq = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  EXPECT_EQ(PolygonArea(sq), 1.0);
  EXPECT_EQ(PolygonArea(TPDblArray(sq.rbegin(), sq.rend())), -1.0);
  EXPECT_TRUE(PointIsInsidePolygon(0.5, 0.5, sq));
  EXPECT_TRUE(PointIsInsideConvexHull(0.5, 0.5, sq));
  EXPECT_FALSE(PointIsInsidePolygon(1.0, 0.5, sq));
  EXPECT_FALSE(PointIsInsideConvexHull(1.0, 0.5, sq));
  EXPECT_FALSE(PointIsInsidePolygon(0.0, 0.0, sq));
  EXPECT_FALSE(PointIsInsidePolygon(1.5, 0.5, sq));
  EXPECT_FALSE(PointIsInsideConvexHull(0.5, -0.1, sq));
  // A concave polygon (a U shape): the notch is outside.
  const TPDblArray u = {{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}};
  EXPECT_EQ(PolygonArea(u), 7.0);
  EXPECT_FALSE(PointIsInsidePolygon(1.5, 2.0, u));
  EXPECT_TRUE(PointIsInsidePolygon(0.5, 2.0, u));
  EXPECT_TRUE(PointIsInsidePolygon(2.5, 2.5, u));
  double x0, y0, x1, y1;
  OuterRectOfPolygon({{1, 5}, {-2, 3}, {0, 7}, {4, -1}}, x0, y0, x1, y1);
  EXPECT_EQ(x0, -2.0);
  EXPECT_EQ(y0, -1.0);
  EXPECT_EQ(x1, 4.0);
  EXPECT_EQ(y1, 7.0);
  const TPDblArray empty;
  EXPECT_EQ(PolygonArea(empty), 0.0);
  EXPECT_FALSE(PointIsInsidePolygon(0, 0, empty));
  EXPECT_FALSE(PointIsInsideConvexHull(0, 0, empty));
  OuterRectOfPolygon(empty, x0, y0, x1, y1);
  EXPECT_EQ(x1, 0.0);
}

TEST(Geometry, HullOfSquareWithCentreAndSmallSets) {
  const TPDblArray pts = {{1, 1}, {0, 0}, {0.5, 0.5}, {0, 1}, {1, 0}};
  const TPDblArray h = Convex2DHull(pts);
  ASSERT_EQ(h.size(), 4u);
  // Counter-clockwise from below the centroid (0.5, 0.5): (0,0) is at -135 degrees, the first
  // after -90 going counter-clockwise is (1, 0).
  EXPECT_EQ(h[0].x, 1.0);
  EXPECT_EQ(h[0].y, 0.0);
  EXPECT_EQ(h[1].x, 1.0);
  EXPECT_EQ(h[1].y, 1.0);
  EXPECT_EQ(h[2].x, 0.0);
  EXPECT_EQ(h[2].y, 1.0);
  EXPECT_EQ(h[3].x, 0.0);
  EXPECT_EQ(h[3].y, 0.0);
  EXPECT_GT(PolygonArea(h), 0.0);
  const TPDblArray three = {{5, 1}, {0, 0}, {2, 7}};
  const TPDblArray h3 = Convex2DHull(three);
  ASSERT_EQ(h3.size(), 3u);
  EXPECT_EQ(h3[0].x, 5.0);
  EXPECT_EQ(h3[2].y, 7.0);
}

TEST(Geometry, HullMatchesIndependentHullOnManyRandomSets) {
  RandSeed(20261209);
  int collapsedBefore = 0;
  for (int trial = 0; trial < 4000; ++trial) {
    const int n = trial < 3000 ? 5 + trial % 4 : 9 + trial % 200;
    TPDblArray pts(n);
    for (auto& p : pts) p = {RandomUniform() * 10 - 5, RandomUniform() * 10 - 5};
    const TPDblArray ref = StartBelowCentroid(ReferenceHull(pts), pts);
    const TPDblArray h = Convex2DHull(pts);  // must terminate
    ASSERT_EQ(h.size(), ref.size()) << "trial " << trial << " n " << n;
    for (std::size_t i = 0; i < h.size(); ++i) {
      ASSERT_EQ(h[i].x, ref[i].x) << "trial " << trial;
      ASSERT_EQ(h[i].y, ref[i].y) << "trial " << trial;
    }
    for (int k = 0; k < 5; ++k) {
      const double qx = RandomUniform() * 10 - 5, qy = RandomUniform() * 10 - 5;
      EXPECT_EQ(PointIsInsideConvexHull(qx, qy, h), PointIsInsidePolygon(qx, qy, h));
    }
    (void)collapsedBefore;
  }
}

TEST(Geometry, HullOfDegenerateSetsTerminates) {
  // Repeated points, collinear points, NaN: a result, no hang; the area is that of the true hull.
  TPDblArray rep = {{1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}};
  EXPECT_LE(Convex2DHull(rep).size(), 5u);
  TPDblArray line;
  for (int i = 0; i < 9; ++i) line.push_back({double(i), 2.0 * i});
  EXPECT_EQ(PolygonArea(Convex2DHull(line)), 0.0);
  TPDblArray dup = {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {4, 4}, {0, 0}, {2, 1}};
  EXPECT_EQ(std::fabs(PolygonArea(Convex2DHull(dup))), 16.0);
  // Points on the edges are not vertices.
  TPDblArray edges = {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1}, {1, 1.2}};
  const TPDblArray he = Convex2DHull(edges);
  EXPECT_EQ(he.size(), 4u);
  EXPECT_EQ(PolygonArea(he), 4.0);
  TPDblArray withNaN = {{0, 0}, {4, 0}, {std::nan(""), 1}, {4, 4}, {0, 4}, {2, 1}};
  (void)Convex2DHull(withNaN);
}

TEST(Geometry, GreatCircle) {
  EXPECT_EQ(SphereGreatCircleDist(6371, 47.07, 15.44, 47.07, 15.44), 0.0);
  EXPECT_NEAR(SphereGreatCircleDist(2.0, 30, 40, -30, -140), 2.0 * std::numbers::pi, 1e-12);
  // Quarter circle along the equator; pole to equator.
  EXPECT_NEAR(SphereGreatCircleDist(1.0, 0, 0, 0, 90), std::numbers::pi / 2, 1e-15);
  EXPECT_NEAR(SphereGreatCircleDist(1.0, 90, 0, 0, 123), std::numbers::pi / 2, 1e-15);
}
