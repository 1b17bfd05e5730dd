// Shapes as they arrive from the wire: any entity type over any point list,
// with or without Z and measures and a reference. The measures, part getters,
// copy and release must stay in bounds and never fail on their own.
// Input: entity type (2 bytes), flags (1 byte: 1 Z, 2 measures, 4 reference),
// units (8-byte double), then 8-byte points (x, y little-endian int32).
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "fuzz/fuzz_quiet.h"
#include "mox/mox.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size < 11)
        return 0;
    uint16_t entity = (uint16_t)(data[0] | data[1] << 8);
    uint8_t flags = data[2];
    double units = 0;
    memcpy(&units, data + 3, sizeof units);
    size_t n = (size - 11) / 8;
    std::vector<POINT> points(n);
    std::vector<int32_t> z(n), m(n);
    for (size_t i = 0; i < n; i++) {
        memcpy(&points[i].x, data + 11 + 8 * i, 4);
        memcpy(&points[i].y, data + 15 + 8 * i, 4);
        z[i] = points[i].x ^ points[i].y;
        m[i] = points[i].y;
    }
    COORDREF ref = {};
    ref.xyunits = units;
    ref.zunits = units;
    FEATURE_STRUCT shape = {};
    shape.entity_type = entity;
    shape.num_points = (int32_t)n;
    shape.points = points.data();
    shape.z_values = (flags & 1) ? z.data() : nullptr;
    shape.measures = (flags & 2) ? m.data() : nullptr;
    shape.coordref = (flags & 4) ? &ref : nullptr;

    if (MoxsNvelop(&shape) != MOX_SUCCESS)
        abort();
    (void)MoxsShapeArea(&shape);
    (void)MoxsShapeLength(&shape);
    int32_t parts = 0;
    if (MoxShapeGetNumParts(&shape, &parts) != MOX_SUCCESS || parts < 0 || (size_t)parts > n)
        abort();
    std::vector<int32_t> offsets(parts > 0 ? parts : 1);
    std::vector<double> xy(2 * n + 1), zs(n + 1), ms(n + 1);
    if (MoxShapeGetAllPoints(&shape, offsets.data(), xy.data(),
                             shape.z_values ? zs.data() : nullptr,
                             shape.measures ? ms.data() : nullptr) != MOX_SUCCESS)
        abort();
    for (int32_t k = 0; k < parts; k++)
        if (offsets[k] < 0 || (size_t)offsets[k] >= n || (k > 0 && offsets[k] <= offsets[k - 1]))
            abort();

    FEATURE_STRUCT *copy = nullptr;
    if (MoxShapeCreate(shape.coordref, &copy) != MOX_SUCCESS)
        return 0;
    if (MoxShapeDuplicate(&shape, copy) == MOX_SUCCESS && copy->num_points != shape.num_points)
        abort();
    MoxShapeFree(copy);

    int32_t sys = 0;
    double plane = 0;
    if (MoxsValueToSystem(0.0, units, units, &sys) == MOX_SUCCESS &&
        MoxsValueToPlane(0.0, units, sys, &plane) != MOX_SUCCESS)
        abort();
    return 0;
}
