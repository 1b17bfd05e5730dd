// The geometry module's relations against GEOS on arbitrary shapes: the
// answer of every search method, with and without the relation flag, must be
// GEOS's wherever GEOS can judge the pair (both shapes valid), and a status
// otherwise, never a crash. Intersects, contains, within and point in polygon
// are computed on the integer points, so this holds them to GEOS's reading.
// Input: a byte of entity types (low nibble the filter's, high the
// feature's, from the table below), a byte giving the filter's point count,
// then one byte a point (x the low nibble, y the high one, on a grid of 16),
// the filter's points first. A small grid makes edges touch and vertices meet.
// A point-count byte of 128 or more draws the pair instead from the scenes of
// tests/mox/mox_relation_scenes.h, the following bytes making each choice: a
// multi area whose parts touch at a vertex or along an edge, or an area whose
// hole touches its outer ring, and a line, point or box through, along or
// around where they meet; the first byte's low bit puts the area second.
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "fuzz/fuzz_quiet.h"
#include "mox/mox.h"
#include "tests/mox/mox_relation_oracle.h"
#include "tests/mox/mox_relation_scenes.h"

static const uint16_t S_entities[] = {
    VE_ENTITY_POINT,       VE_ENTITY_MULTI_POINT, VE_ENTITY_LINE,
    VE_ENTITY_SIMPLE_LINE, VE_ENTITY_MULTI_LINE,  VE_ENTITY_MULTI_SIMPLE_LINE,
    VE_ENTITY_AREA,        VE_ENTITY_MULTI_AREA,  VE_ENTITY_NIL};

static uint16_t S_entity(unsigned nibble)
{
    return S_entities[nibble % (sizeof(S_entities) / sizeof(S_entities[0]))];
}

/* The pair of a scene, its choices read from the bytes (0 once they run
 * out); false when the draw was degenerate. */
static bool S_scene(const uint8_t *data, size_t size, mox_shapes::Shape *a, mox_shapes::Shape *b)
{
    size_t next = 2;
    mox_shapes::Scenes scenes(
        [&](uint32_t n) -> uint32_t { return next < size ? data[next++] % n : 0; });
    mox_shapes::Shape area;
    POINT at;
    if (!scenes.Area(&area, &at))
        return false;
    mox_shapes::Shape other = scenes.Through(area, at);
    *a = (data[0] & 1) ? other : area;
    *b = (data[0] & 1) ? area : other;
    return true;
}

/* Whether GEOS reads the text as a valid geometry, without relating it. */
static bool S_geos_reads(mox_oracle::Geos &geos, const std::string &wkt)
{
    if (wkt.empty())
        return false;
    GEOSGeometry *g = GEOSWKTReader_read_r(geos.h, geos.reader, wkt.c_str());
    const bool valid = g != nullptr && GEOSisValid_r(geos.h, g) == 1;
    if (g != nullptr)
        GEOSGeom_destroy_r(geos.h, g);
    return valid;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size < 2 || size > 2 + 64)
        return 0;
    std::vector<POINT> points;
    FEATURE_STRUCT a = {};
    FEATURE_STRUCT b = {};
    mox_shapes::Shape scene_a, scene_b;
    if (data[1] >= 0x80) {
        if (!S_scene(data, size, &scene_a, &scene_b))
            return 0;
        a = mox_shapes::Record(scene_a);
        b = mox_shapes::Record(scene_b);
    } else {
        for (size_t i = 2; i < size; i++)
            points.push_back(POINT{data[i] & 0x0F, data[i] >> 4});
        size_t filter_count = data[1] < points.size() ? data[1] : points.size();
        a.entity_type = S_entity(data[0] & 0x0F);
        a.num_points = (int32_t)filter_count;
        a.points = points.data();
        b.entity_type = S_entity(data[0] >> 4);
        b.num_points = (int32_t)(points.size() - filter_count);
        b.points = points.data() + filter_count;
    }
    MoxsNvelop(&a);
    MoxsNvelop(&b);

    static mox_oracle::Geos geos;
    int dim_a = -1;
    int dim_b = -1;
    std::string wkt_a = mox_oracle::Wkt(a);
    std::string wkt_b = mox_oracle::Wkt(b);
    /* GEOS misreads a line that runs along itself, so it cannot judge the
     * pair; its relate is not asked then either, as GEOS 3.11 leaks on some
     * such lines. Whether GEOS reads the shapes still decides the refusals. */
    const bool overlapping = mox_oracle::OverlapsItself(a) || mox_oracle::OverlapsItself(b);
    std::string matrix;
    bool readable = false;
    if (!overlapping) {
        matrix = mox_oracle::Matrix(geos, wkt_a, wkt_b, &dim_a, &dim_b);
        readable = !matrix.empty();
    } else {
        readable = S_geos_reads(geos, wkt_a) && S_geos_reads(geos, wkt_b);
    }
    const bool judged = !matrix.empty();

    VE_FEATURE_SPEC spec = {};
    spec.shape = &a;
    for (int32_t method : mox_oracle::kMethods) {
        for (int32_t flag : {0, 1}) {
            int32_t cell = 0;
            int32_t work = 0;
            int32_t rc = MoxsSrchComp(&spec, &b, method, &cell, &work, flag);
            if (rc != MOX_SUCCESS && rc != MOX_RELATION_NOT_HELD) {
                /* Refused shapes are refused by both: GEOS could not read them. */
                if (rc >= 0 || readable)
                    abort();
                continue;
            }
            if (cell == 0 || !judged)
                continue;
            bool expected = mox_oracle::Expected(geos, method, wkt_a, wkt_b, matrix, dim_a, dim_b);
            if ((rc == MOX_SUCCESS) != expected)
                abort();
            if ((flag != 0 || method == SM_CBM) && mox_oracle::CellMatrix(cell) != matrix)
                abort();
        }
    }
    MoxsFeatureSpecRelease(&spec);
    return 0;
}
