// Polygons and point sets in the plane, and distances on a sphere. Polygons are arrays of
// points indexed from 0; the closing edge from the last vertex back to vertex 0 is implied.
#pragma once

#include "qmx/basepack.h"

namespace qmx {

// True when (x, y) lies strictly inside the polygon (a point on the boundary is not inside).
bool PointIsInsidePolygon(double x, double y, const TPDblArray& Polygon);
// True when (x, y) lies strictly left of every edge of the counter-clockwise convex polygon
// Hull (false for fewer than three vertices).
bool PointIsInsideConvexHull(double x, double y, const TPDblArray& Hull);
// Signed area, positive for counter-clockwise vertex order; 0 for fewer than three vertices.
double PolygonArea(const TPDblArray& Polygon);
// The bounding rectangle; all four are 0 for an empty polygon.
void OuterRectOfPolygon(const TPDblArray& Polygon, double& MinX, double& MinY, double& MaxX,
                        double& MaxY);
// The vertices of the convex hull, counter-clockwise, starting from the direction straight
// below the centroid. Three points or fewer are returned as given.
TPDblArray Convex2DHull(const TPDblArray& Points);
// Great-circle distance of two points given by latitude and longitude in degrees, in the unit of
// Radius.
double SphereGreatCircleDist(double Radius, double Lat1, double Long1, double Lat2, double Long2);

}  // namespace qmx
