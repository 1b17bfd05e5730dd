// Shapes shared by the spatial relation and spatial test programs: a 100 by
// 100 square in system units with a 20 by 20 hole in its middle, as an area's
// point list (outer ring, then the hole) and as WKT.
#ifndef SPATIAL_FIXTURE_H
#define SPATIAL_FIXTURE_H

#include <vector>

#include "base/util/ve_feature.h"

// clang-format off
inline const std::vector<POINT> kHoledSquarePoints = {
    {0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0},
    {40, 40}, {60, 40}, {60, 60}, {40, 60}, {40, 40}};
// clang-format on

inline const char *const kHoledSquareWkt =
    "POLYGON((0 0,100 0,100 100,0 100,0 0),(40 40,60 40,60 60,40 60,40 40))";

#endif
