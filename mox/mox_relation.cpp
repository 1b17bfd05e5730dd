// Spatial relations of the query filters: the envelope pre-test, the exact
// relation of a filter shape and a feature, and DE-9IM pattern evaluation.
// Each search method is defined in mox/mox.h on the DE-9IM matrix; GEOS
// computes it. A filter shape is prepared once for each feature spec: the
// spec's C-heap block holds plain data and the id of the GEOS objects in the
// bounded cache of mox_prepared.cpp.
#include <geos_c.h>
#include <stdlib.h>

#include <memory>
#include <new>
#include <vector>

#include "mox/mox.h"
#include "mox/mox_native_relation_internal.h"
#include "mox/mox_parts_internal.h"
#include "mox/mox_prepared_internal.h"

namespace
{

/* A filter's prepared form while one call uses it: the spec's plain block
 * and the cached GEOS objects, held so that the cache may drop them meanwhile. */
struct S_prepared {
    const mox_prepared_block *block;
    mox_prepared_ref entry;
    GEOSContextHandle_t ctx;
    GEOSGeometry *geometry;
    const GEOSPreparedGeometry *prepared;
    int dim;
    ENVELOPE extent;
    bool rectangle;
};

/* One GEOS context per thread for the calls that have no spec. */
struct S_thread_context {
    GEOSContextHandle_t ctx = GEOS_init_r();
    ~S_thread_context()
    {
        if (ctx != nullptr)
            GEOS_finish_r(ctx);
    }
};

struct S_geometry_deleter {
    GEOSContextHandle_t ctx;
    void operator()(GEOSGeometry *g) const
    {
        GEOSGeom_destroy_r(ctx, g);
    }
};

} // namespace

static bool S_valid_method(int32_t method)
{
    return method >= SM_CP && method <= SM_CBM && method != 14;
}

static GEOSCoordSequence *S_sequence(GEOSContextHandle_t h, const POINT *points, int32_t count,
                                     bool close)
{
    GEOSCoordSequence *seq = GEOSCoordSeq_create_r(h, (unsigned)(count + (close ? 1 : 0)), 2);
    if (seq == nullptr)
        return nullptr;
    for (int32_t i = 0; i < count; i++)
        GEOSCoordSeq_setXY_r(h, seq, (unsigned)i, points[i].x, points[i].y);
    if (close)
        GEOSCoordSeq_setXY_r(h, seq, (unsigned)count, points[0].x, points[0].y);
    return seq;
}

static GEOSGeometry *S_point(GEOSContextHandle_t h, const POINT &p)
{
    return GEOSGeom_createPointFromXY_r(h, p.x, p.y);
}

static GEOSGeometry *S_line(GEOSContextHandle_t h, const POINT *p, int32_t count)
{
    GEOSCoordSequence *seq = S_sequence(h, p, count, false);
    return seq == nullptr ? nullptr : GEOSGeom_createLineString_r(h, seq);
}

/* Destroys the geometries of a list not yet handed to GEOS. */
static void S_destroy_all(GEOSContextHandle_t h, std::vector<GEOSGeometry *> &list)
{
    for (GEOSGeometry *g : list)
        GEOSGeom_destroy_r(h, g);
    list.clear();
}

/* Appends a new part; when it could not be made, releases the parts so far. */
static bool S_keep(GEOSContextHandle_t h, std::vector<GEOSGeometry *> &parts, GEOSGeometry *part)
{
    if (part == nullptr) {
        S_destroy_all(h, parts);
        return false;
    }
    parts.push_back(part);
    return true;
}

/* A collection of the given type from the list, which it takes over. */
static GEOSGeometry *S_collection(GEOSContextHandle_t h, int type,
                                  std::vector<GEOSGeometry *> &list)
{
    if (list.empty())
        return GEOSGeom_createEmptyCollection_r(h, type);
    GEOSGeometry *g = GEOSGeom_createCollection_r(h, type, list.data(), (unsigned)list.size());
    if (g == nullptr)
        S_destroy_all(h, list);
    list.clear();
    return g;
}

/* A ring from a run of points, closed explicitly; null when it has fewer
 * than three points of its own. */
static GEOSGeometry *S_ring(GEOSContextHandle_t h, const POINT *p, int32_t count, int32_t *status)
{
    int32_t own = count;
    if (own >= 2 && p[own - 1].x == p[0].x && p[own - 1].y == p[0].y)
        own--;
    if (own < 3) {
        *status = MOX_E_INVALID_NUM_POINTS;
        return nullptr;
    }
    GEOSCoordSequence *seq = S_sequence(h, p, own, true);
    GEOSGeometry *ring = seq == nullptr ? nullptr : GEOSGeom_createLinearRing_r(h, seq);
    if (ring == nullptr)
        *status = MOX_E_OUT_OF_MEMORY;
    return ring;
}

/* Builds the areas of an area or multi area shape. */
static int32_t S_areas(GEOSContextHandle_t h, const FEATURE_STRUCT *shape, bool multi,
                       GEOSGeometry **out)
{
    int32_t status = MOX_SUCCESS;
    std::vector<GEOSGeometry *> polygons;
    GEOSGeometry *shell = nullptr;
    std::vector<GEOSGeometry *> holes;
    auto close_polygon = [&]() {
        if (shell == nullptr)
            return;
        GEOSGeometry *poly =
            GEOSGeom_createPolygon_r(h, shell, holes.data(), (unsigned)holes.size());
        shell = nullptr;
        holes.clear();
        if (poly == nullptr)
            status = MOX_E_OUT_OF_MEMORY;
        else
            polygons.push_back(poly);
    };
    mox_for_each_ring(shape, [&](int32_t start, int32_t count, __int128, bool opens) {
        if (status != MOX_SUCCESS)
            return;
        GEOSGeometry *ring = S_ring(h, shape->points + start, count, &status);
        if (ring == nullptr)
            return;
        if (opens) {
            close_polygon();
            shell = ring;
        } else {
            holes.push_back(ring);
        }
    });
    if (status == MOX_SUCCESS)
        close_polygon();
    if (status != MOX_SUCCESS) {
        if (shell != nullptr)
            GEOSGeom_destroy_r(h, shell);
        S_destroy_all(h, holes);
        S_destroy_all(h, polygons);
        return status;
    }
    if (!multi && polygons.size() == 1) {
        *out = polygons[0];
        return MOX_SUCCESS;
    }
    *out = S_collection(h, GEOS_MULTIPOLYGON, polygons);
    return *out == nullptr ? MOX_E_OUT_OF_MEMORY : MOX_SUCCESS;
}

/* The shape as a GEOS geometry by the part and ring rule of mox/mox.h; the
 * caller destroys it. */
static int32_t S_make_geometry(GEOSContextHandle_t h, const FEATURE_STRUCT *shape,
                               GEOSGeometry **out)
{
    *out = nullptr;
    int32_t rc = mox_shape_check(shape);
    if (rc != MOX_SUCCESS)
        return rc;
    mox_walk walk;
    mox_walk_begin(&walk, shape);
    if (walk.count == 0 || walk.kind == MOX_KIND_NONE) {
        *out = GEOSGeom_createEmptyPoint_r(h);
        return *out == nullptr ? MOX_E_OUT_OF_MEMORY : MOX_SUCCESS;
    }
    const POINT *p = shape->points;
    int32_t n = walk.count;
    std::vector<GEOSGeometry *> parts;
    int32_t start = 0;
    int32_t count = 0;
    switch (walk.kind) {
    case MOX_KIND_POINTS:
        if (n == 1) {
            *out = S_point(h, p[0]);
            break;
        }
        for (int32_t i = 0; i < n; i++)
            if (!S_keep(h, parts, S_point(h, p[i])))
                return MOX_E_OUT_OF_MEMORY;
        *out = S_collection(h, GEOS_MULTIPOINT, parts);
        break;
    case MOX_KIND_LINE: {
        int32_t distinct = 1;
        while (distinct < n && p[distinct].x == p[0].x && p[distinct].y == p[0].y)
            distinct++;
        /* A line whose points are all one point is that point. */
        *out = distinct == n ? S_point(h, p[0]) : S_line(h, p, n);
        break;
    }
    case MOX_KIND_MULTILINE:
        while (mox_walk_next(&walk, &start, &count)) {
            if (count < 2)
                continue; /* a lone point carries no line */
            if (!S_keep(h, parts, S_line(h, p + start, count)))
                return MOX_E_OUT_OF_MEMORY;
        }
        *out = S_collection(h, GEOS_MULTILINESTRING, parts);
        break;
    case MOX_KIND_AREA:
    case MOX_KIND_MULTIAREA:
        return S_areas(h, shape, walk.kind == MOX_KIND_MULTIAREA, out);
    default:
        break;
    }
    return *out == nullptr ? MOX_E_OUT_OF_MEMORY : MOX_SUCCESS;
}

static int S_dimension(GEOSContextHandle_t h, const GEOSGeometry *g)
{
    if (GEOSisEmpty_r(h, g) != 0)
        return -1;
    return GEOSGeom_getDimensions_r(h, g);
}

/* Whether the shape is an area whose single ring runs round its extent's
 * four corners, edge by edge along the axes. */
static bool S_is_rectangle(const FEATURE_STRUCT *shape, const ENVELOPE &e)
{
    const POINT *p = shape->points;
    int32_t n = shape->num_points;
    if ((shape->entity_type & 0xFFu) != VE_ENTITY_AREA || p == nullptr || e.minx >= e.maxx ||
        e.miny >= e.maxy)
        return false;
    if (n == 5 && p[4].x == p[0].x && p[4].y == p[0].y)
        n = 4;
    if (n != 4)
        return false;
    int corners = 0;
    for (int32_t i = 0; i < 4; i++) {
        const POINT &a = p[i];
        const POINT &b = p[(i + 1) % 4];
        if ((a.x != e.minx && a.x != e.maxx) || (a.y != e.miny && a.y != e.maxy))
            return false;
        if ((a.x == b.x) == (a.y == b.y))
            return false; /* not one axis step: repeated corner or diagonal */
        corners |= 1 << ((a.x == e.maxx ? 1 : 0) + (a.y == e.maxy ? 2 : 0));
    }
    return corners == 0xF;
}

/* The GEOS objects of a filter shape, in a context of their own. */
static int32_t S_prepare_entry(const FEATURE_STRUCT *shape, mox_prepared_ref *out)
{
    auto entry = std::make_shared<mox_prepared_entry>();
    entry->ctx = GEOS_init_r();
    if (entry->ctx == nullptr)
        return MOX_E_OUT_OF_MEMORY;
    int32_t rc = S_make_geometry(entry->ctx, shape, &entry->geometry);
    if (rc != MOX_SUCCESS)
        return rc;
    entry->prepared = GEOSPrepare_r(entry->ctx, entry->geometry);
    if (entry->prepared == nullptr)
        return MOX_E_INVALID_SHAPE;
    *out = std::move(entry);
    return MOX_SUCCESS;
}

/* The spec's prepared form: its block is made on first use, and its GEOS
 * objects are prepared again whenever the cache no longer holds them (a
 * stale id is only a key that is not found). Throws std::bad_alloc. */
static int32_t S_prepared_of(VE_FEATURE_SPEC *spec, S_prepared *out)
{
    if (spec == nullptr)
        return MOX_E_NULL_POINTER;
    auto *block = static_cast<mox_prepared_block *>(spec->prepared);
    mox_prepared_ref entry = block == nullptr ? nullptr : mox_prepared_find(block->id);
    if (entry == nullptr) {
        if (spec->shape == nullptr)
            return MOX_E_NULL_SHAPE;
        int32_t rc = S_prepare_entry(spec->shape, &entry);
        if (rc != MOX_SUCCESS)
            return rc;
        if (block == nullptr) {
            mox_native_shape native;
            rc = mox_native_build(spec->shape, &native);
            if (rc != MOX_SUCCESS)
                return rc;
            mox_native_index(&native);
            block = mox_prepared_block_make(native);
            if (block == nullptr)
                return MOX_E_OUT_OF_MEMORY;
            block->dim = S_dimension(entry->ctx, entry->geometry);
            FEATURE_STRUCT probe = *spec->shape; /* the caller's envelope stays as it is */
            MoxsNvelop(&probe);
            block->extent = probe.envelope;
            block->rectangle = S_is_rectangle(spec->shape, block->extent) ? 1 : 0;
            spec->prepared = block;
        }
        block->id = mox_prepared_insert(entry);
    }
    out->block = block;
    out->ctx = entry->ctx;
    out->geometry = entry->geometry;
    out->prepared = entry->prepared;
    out->dim = block->dim;
    out->extent = block->extent;
    out->rectangle = block->rectangle != 0;
    out->entry = std::move(entry);
    return MOX_SUCCESS;
}

MOX_API void MoxsFeatureSpecRelease(struct VE_FEATURE_SPEC *spec)
{
    if (spec == nullptr || spec->prepared == nullptr)
        return;
    auto *block = static_cast<mox_prepared_block *>(spec->prepared);
    mox_prepared_drop(block->id);
    free(block);
    spec->prepared = nullptr;
}

/* ---- Matrix cells -------------------------------------------------------- */

enum { S_II, S_IB, S_IE, S_BI, S_BB, S_BE, S_EI, S_EB, S_EE };

/* Entry k of a matrix cell: -1 for F, else the dimension. */
static int S_entry(int32_t cell, int k)
{
    return ((cell >> (2 * k)) & 3) - 1;
}

/* The cell of a GEOS matrix text (nine of F 0 1 2). */
static int32_t S_encode(const char *matrix)
{
    int32_t cell = MOX_RELATION_MATRIX;
    for (int k = 0; k < 9; k++) {
        char c = matrix[k];
        int v = (c >= '0' && c <= '2') ? c - '0' + 1 : 0;
        cell |= v << (2 * k);
    }
    return cell;
}

static int S_max3(int a, int b, int c)
{
    int m = a > b ? a : b;
    return m > c ? m : c;
}

/* Whether the method's relation holds for the matrix (definitions in mox.h). */
static bool S_holds(int32_t method, int32_t cell)
{
    int e[9];
    for (int k = 0; k < 9; k++)
        e[k] = S_entry(cell, k);
    bool meet = e[S_II] >= 0 || e[S_IB] >= 0 || e[S_BI] >= 0 || e[S_BB] >= 0;
    int dim_a = S_max3(e[S_II], e[S_IB], e[S_IE]);
    int dim_b = S_max3(e[S_II], e[S_BI], e[S_EI]);
    auto only_points = [&]() {
        return e[S_II] <= 0 && e[S_IB] <= 0 && e[S_BI] <= 0 && e[S_BB] <= 0;
    };
    auto crosses = [&]() {
        if (dim_a < 0 || dim_b < 0)
            return false;
        if (dim_a < dim_b)
            return e[S_II] >= 0 && e[S_IE] >= 0;
        if (dim_a > dim_b)
            return e[S_II] >= 0 && e[S_EI] >= 0;
        return dim_a == 1 && e[S_II] == 0;
    };
    switch (method) {
    case SM_CP:
        return meet && only_points();
    case SM_LCROSS:
        return crosses();
    case SM_COMMON:
        return e[S_II] >= 1 || e[S_IB] >= 1 || e[S_BI] >= 1 || e[S_BB] >= 1;
    case SM_CP_OR_LCROSS:
        return (meet && only_points()) || crosses();
    case SM_ET_OR_AI:
        return meet;
    case SM_AI:
        return e[S_II] >= 0;
    case SM_AI_NO_ET:
        return e[S_II] >= 0 && e[S_BB] < 0;
    case SM_PC:
        return e[S_II] >= 0 && e[S_IE] < 0 && e[S_BE] < 0;
    case SM_SC:
        return e[S_II] >= 0 && e[S_EI] < 0 && e[S_EB] < 0;
    case SM_PC_NO_ET:
        return e[S_II] >= 0 && e[S_IB] < 0 && e[S_IE] < 0 && e[S_BB] < 0 && e[S_BE] < 0;
    case SM_SC_NO_ET:
        return e[S_II] >= 0 && e[S_BI] < 0 && e[S_BB] < 0 && e[S_EI] < 0 && e[S_EB] < 0;
    case SM_PIP:
        if (!meet)
            return false;
        if (dim_a == 0 && dim_b == 2)
            return e[S_IE] < 0 && e[S_BE] < 0;
        if (dim_a == 2 && dim_b == 0)
            return e[S_EI] < 0 && e[S_EB] < 0;
        return false;
    case SM_IDENTICAL:
        return e[S_II] >= 0 && e[S_IE] < 0 && e[S_BE] < 0 && e[S_EI] < 0 && e[S_EB] < 0;
    case SM_CBM:
        return true;
    default:
        return false;
    }
}

/* Dimension of the common part of the matrix's shapes, -1 when none. */
static int32_t S_common_dimension(int32_t cell)
{
    int m = S_max3(S_entry(cell, S_II), S_entry(cell, S_IB), S_entry(cell, S_BI));
    int bb = S_entry(cell, S_BB);
    return m > bb ? m : bb;
}

/* ---- Envelope pre-test --------------------------------------------------- */

static bool S_covers(const ENVELOPE &outer, const ENVELOPE &inner)
{
    return outer.minx <= inner.minx && outer.miny <= inner.miny && outer.maxx >= inner.maxx &&
           outer.maxy >= inner.maxy;
}

MOX_API int32_t MoxsEnvSect(struct VE_FEATURE_SPEC *spec, const ENVELOPE *envelope, int32_t method)
{
    if (spec == nullptr || envelope == nullptr)
        return MOX_E_NULL_POINTER;
    if (!S_valid_method(method))
        return MOX_E_INVALID_RELATION;
    if (method == SM_CBM)
        return MOX_ENVSECT_UNDECIDED; /* a pattern may ask for anything */
    try {
        /* The block alone answers: the GEOS objects are not needed, so a row
         * settled here costs no look-up in their cache. */
        if (spec->prepared == nullptr) {
            S_prepared prepared;
            int32_t rc = S_prepared_of(spec, &prepared);
            if (rc != MOX_SUCCESS)
                return rc;
        }
        const auto *block = static_cast<const mox_prepared_block *>(spec->prepared);
        const ENVELOPE &c = *envelope;
        /* Every method but SM_CBM needs a common point: an empty filter or
         * candidate box, or boxes apart, settle it. The filter's box is that
         * of what it keeps (a lone point of a multi line is no part of it). */
        if (block->dim < 0 || c.minx > c.maxx || c.miny > c.maxy)
            return MOX_ENVSECT_CANNOT_HOLD;
        const ENVELOPE &s = block->native_extent;
        if (s.maxx < c.minx || s.maxy < c.miny || c.maxx < s.minx || c.maxy < s.miny)
            return MOX_ENVSECT_CANNOT_HOLD;
        switch (method) {
        case SM_PC:
        case SM_PC_NO_ET:
            if (!S_covers(c, s))
                return MOX_ENVSECT_CANNOT_HOLD;
            break;
        case SM_SC:
        case SM_SC_NO_ET:
            if (!S_covers(s, c))
                return MOX_ENVSECT_CANNOT_HOLD;
            break;
        case SM_IDENTICAL:
            if (!S_covers(s, c) || !S_covers(c, s))
                return MOX_ENVSECT_CANNOT_HOLD;
            break;
        default:
            break;
        }
        /* A box that no edge of the filter reaches lies wholly in its
         * interior or shares no point with it. */
        int place = block->rectangle != 0 && s.minx < c.minx && c.maxx < s.maxx &&
                            s.miny < c.miny && c.maxy < s.maxy
                        ? 2
                        : mox_native_box_place(mox_prepared_block_view(block), c);
        if (place == 0)
            return MOX_ENVSECT_CANNOT_HOLD;
        if (place < 0)
            return MOX_ENVSECT_UNDECIDED;
        switch (method) {
        case SM_ET_OR_AI:
        case SM_AI:
        case SM_AI_NO_ET:
        case SM_SC:
        case SM_SC_NO_ET:
            return MOX_ENVSECT_HOLDS;
        case SM_LCROSS:
            return MOX_ENVSECT_CANNOT_HOLD; /* nothing of the feature lies outside */
        default:
            return MOX_ENVSECT_UNDECIDED;
        }
    } catch (const std::bad_alloc &) {
        return MOX_E_OUT_OF_MEMORY;
    }
}

/* ---- Exact relation ------------------------------------------------------ */

/* The method's predicate straight from the prepared filter, when GEOS has
 * one that matches the definition: 1 holds, 0 not, 2 failed, -1 none. */
static int S_fast_predicate(const S_prepared *prep, int32_t method, const GEOSGeometry *feature)
{
    GEOSContextHandle_t h = prep->ctx;
    const GEOSPreparedGeometry *p = prep->prepared;
    switch (method) {
    case SM_LCROSS:
        return GEOSPreparedCrosses_r(h, p, feature);
    case SM_ET_OR_AI:
        return GEOSPreparedIntersects_r(h, p, feature);
    case SM_PC:
        return GEOSPreparedWithin_r(h, p, feature);
    case SM_SC:
        return GEOSPreparedContains_r(h, p, feature);
    case SM_SC_NO_ET:
        return GEOSPreparedContainsProperly_r(h, p, feature);
    case SM_PIP: {
        int dim_b = S_dimension(h, feature);
        if (prep->dim == 0 && dim_b == 2)
            return GEOSPreparedCoveredBy_r(h, p, feature);
        if (prep->dim == 2 && dim_b == 0)
            return GEOSPreparedCovers_r(h, p, feature);
        return 0;
    }
    default:
        return -1;
    }
}

/* The method's relation decided on the integer points (*held 1 or 0), or
 * *held -1 when only the matrix can tell; the spec is prepared on first use.
 * Throws std::bad_alloc. */
static int32_t S_native_relation(VE_FEATURE_SPEC *spec, const FEATURE_STRUCT *shape, int32_t method,
                                 int *held)
{
    *held = -1;
    if (spec->prepared == nullptr) {
        S_prepared prepared;
        int32_t rc = S_prepared_of(spec, &prepared);
        if (rc != MOX_SUCCESS)
            return rc;
    }
    const auto *block = static_cast<const mox_prepared_block *>(spec->prepared);
    mox_native_view filter = mox_prepared_block_view(block);
    /* Most rows are settled by their box; only the others are read whole. */
    int32_t kind = MOX_NATIVE_EMPTY;
    ENVELOPE extent;
    static thread_local std::vector<POINT> starts;
    int32_t rc = mox_native_outline(shape, &kind, &extent, &starts);
    if (rc != MOX_SUCCESS)
        return rc;
    *held = mox_native_settle(filter, kind, extent, method);
    if (*held >= 0)
        return MOX_SUCCESS;
    /* A feature reaching into the filter is found by one of its points
     * before its edges are read. */
    if (method == SM_ET_OR_AI && mox_native_any_in_area(filter, starts)) {
        *held = 1;
        return MOX_SUCCESS;
    }
    static thread_local mox_native_shape feature;
    rc = mox_native_build(shape, &feature);
    if (rc != MOX_SUCCESS)
        return rc;
    /* Within locates the filter's points in the feature: a large feature
     * gets an index of its own when the filter has many points to place. */
    if (method == SM_PC && filter.edge_count > 8)
        mox_native_index(&feature);
    *held = mox_native_relate(filter, feature.view(), method);
    return MOX_SUCCESS;
}

MOX_API int32_t MoxsSrchComp(struct VE_FEATURE_SPEC *spec, const FEATURE_STRUCT *shape,
                             int32_t method, int32_t *relation, int32_t *work,
                             int32_t relation_flag)
{
    if (spec == nullptr || relation == nullptr || work == nullptr)
        return MOX_E_NULL_POINTER;
    if (shape == nullptr)
        return MOX_E_NULL_SHAPE;
    if (!S_valid_method(method))
        return MOX_E_INVALID_RELATION;
    try {
        S_prepared prepared_form;
        S_prepared *prep = &prepared_form;
        int32_t rc = MOX_SUCCESS;
        /* The native answer stands even when GEOS computes the matrix: GEOS
         * misreads some lines that run along one another. */
        int held = -1;
        if (mox_native_method(method)) {
            rc = S_native_relation(spec, shape, method, &held);
            if (rc != MOX_SUCCESS)
                return rc;
            if (held >= 0 && relation_flag == 0) {
                *relation = MOX_RELATION_TESTED | (held == 1 ? MOX_RELATION_HELD : 0);
                *work = -1;
                return held == 1 ? MOX_SUCCESS : MOX_RELATION_NOT_HELD;
            }
        }
        rc = S_prepared_of(spec, prep);
        if (rc != MOX_SUCCESS)
            return rc;
        GEOSContextHandle_t h = prep->ctx;
        GEOSGeometry *raw = nullptr;
        rc = S_make_geometry(h, shape, &raw);
        if (rc != MOX_SUCCESS)
            return rc;
        std::unique_ptr<GEOSGeometry, S_geometry_deleter> feature(raw, S_geometry_deleter{h});
        bool want_matrix = relation_flag != 0 || method == SM_CBM;
        if (!want_matrix) {
            int fast = S_fast_predicate(prep, method, feature.get());
            if (fast == 2)
                return MOX_E_INVALID_SHAPE;
            if (fast == -1) {
                /* Every remaining method needs a common point. */
                char meet = GEOSPreparedIntersects_r(h, prep->prepared, feature.get());
                if (meet == 2)
                    return MOX_E_INVALID_SHAPE;
                fast = meet == 0 ? 0 : -1;
            }
            if (fast >= 0) {
                *relation = MOX_RELATION_TESTED | (fast == 1 ? MOX_RELATION_HELD : 0);
                *work = -1;
                return fast == 1 ? MOX_SUCCESS : MOX_RELATION_NOT_HELD;
            }
        }
        char *matrix = GEOSRelate_r(h, prep->geometry, feature.get());
        if (matrix == nullptr)
            return MOX_E_INVALID_SHAPE;
        int32_t cell = S_encode(matrix);
        GEOSFree_r(h, matrix);
        *relation = cell;
        *work = S_common_dimension(cell);
        bool holds = held >= 0 ? held == 1 : S_holds(method, cell);
        return holds ? MOX_SUCCESS : MOX_RELATION_NOT_HELD;
    } catch (const std::bad_alloc &) {
        return MOX_E_OUT_OF_MEMORY;
    }
}

/* ---- Pattern evaluation -------------------------------------------------- */

static bool S_valid_pattern(const char *pattern)
{
    for (int k = 0; k < 9; k++) {
        switch (pattern[k]) {
        case 'T':
        case 'F':
        case '*':
        case '0':
        case '1':
        case '2':
            break;
        default:
            return false; /* the terminator of a short pattern lands here */
        }
    }
    return pattern[9] == '\0';
}

MOX_API int32_t MoxEvaluateRelation(int32_t filter_entity, int32_t feature_entity, int32_t relation,
                                    int32_t *work, const char *pattern)
{
    (void)filter_entity;
    (void)feature_entity;
    (void)work;
    if (pattern == nullptr)
        return MOX_E_NULL_POINTER;
    if ((relation & MOX_RELATION_MATRIX) == 0 || (relation & ~0x0013FFFF) != 0 ||
        !S_valid_pattern(pattern))
        return MOX_E_INVALID_RELATION;
    char matrix[10];
    for (int k = 0; k < 9; k++) {
        int v = S_entry(relation, k);
        matrix[k] = v < 0 ? 'F' : static_cast<char>('0' + v);
    }
    matrix[9] = '\0';
    try {
        static thread_local S_thread_context context;
        if (context.ctx == nullptr)
            return MOX_E_OUT_OF_MEMORY;
        char match = GEOSRelatePatternMatch_r(context.ctx, matrix, pattern);
        if (match == 2)
            return MOX_E_INVALID_RELATION;
        return match;
    } catch (const std::bad_alloc &) {
        return MOX_E_OUT_OF_MEMORY;
    }
}
