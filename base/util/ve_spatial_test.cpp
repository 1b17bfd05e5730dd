// Spatial tests of query rows (base/util/ve_spatial_test.h): feature specs,
// the envelope test with its shortcut for relations the envelope proves, and
// the exact test through the geometry module with relation patterns for
// SM_CBM. A relation that does not hold is the module's -1 after mapping;
// every other failure reaches the caller, whatever the filter's truth.
#include "base/util/ve_spatial_test.h"

#include <stdlib.h>

#include "base/util/ve_compress.h"
#include "base/util/ve_shape_error.h"
#include "base/util/zel_errors.h"
#include "mox/mox.h"

ZEL_API int32_t VES_generate_feature_specs(int32_t count, const VE_FILTER *filters,
                                           VE_FEATURE_SPEC **specs)
{
    if (specs == nullptr || (count > 0 && filters == nullptr))
        return ZE_NULL_POINTER;
    if (count < 0)
        return ZE_INVALID_ARGUMENT;
    *specs = static_cast<VE_FEATURE_SPEC *>(calloc(count > 0 ? count : 1, sizeof(VE_FEATURE_SPEC)));
    if (*specs == nullptr)
        return ZE_OUT_OF_MEMORY;
    for (int32_t i = 0; i < count; i++) {
        if (filters[i].filter_type != VE_SHAPE_FILTER)
            return ZE_INVALID_FILTER_TYPE;
        (*specs)[i].shape = filters[i].shape;
    }
    return ZE_SUCCESS;
}

ZEL_API void VES_free_feature_specs(int32_t count, const VE_FILTER *filters, VE_FEATURE_SPEC *specs)
{
    (void)filters;
    if (specs == nullptr)
        return;
    for (int32_t i = 0; i < count; i++)
        MoxsFeatureSpecRelease(&specs[i]); /* GEOS objects first, then the block */
    free(specs);
}

/* 0 when both tests can read their arguments for count rows (input being the
 * candidates or the features), else its code; the passed count is cleared
 * first whenever it can be. */
static int32_t S_check_arguments(int32_t count, const void *input,
                                 const VE_SPATIAL_CONSTRAINTS *constraints, int32_t **relation_rows,
                                 int32_t *passed_count, const int32_t *passed_ids)
{
    if (passed_count == nullptr)
        return ZE_NULL_POINTER;
    *passed_count = 0;
    if (count < 0)
        return ZE_INVALID_ARGUMENT;
    if (count > 0 && (input == nullptr || passed_ids == nullptr))
        return ZE_NULL_POINTER;
    if (constraints == nullptr)
        return ZE_NULL_POINTER;
    if (constraints->filter_count < 0)
        return ZE_INVALID_ARGUMENT;
    if (constraints->filter_count == 0 || count == 0)
        return ZE_SUCCESS;
    if (constraints->filters == nullptr || constraints->specs == nullptr ||
        relation_rows == nullptr)
        return ZE_NULL_POINTER;
    for (int16_t i = 0; i < constraints->filter_count; i++) {
        if (constraints->filters[i].filter_type != VE_SHAPE_FILTER)
            return ZE_INVALID_FILTER_TYPE;
        if (constraints->specs[i].shape == nullptr)
            return ZE_NULL_SHAPE;
    }
    return ZE_SUCCESS;
}

static bool S_disjoint(const ENVELOPE &s, const ENVELOPE &c)
{
    return s.maxx < c.minx || s.maxy < c.miny || c.maxx < s.minx || c.maxy < s.miny;
}

/* The common case of one filter whose method the envelope alone decides: a
 * candidate passes when "disjoint" differs from the truth. Written without
 * branches on the outcome, which is as likely one way as the other: the slot
 * at the passed count is filled every time and kept only by a passing
 * candidate (as the general loop, a row cell may be cleared for a candidate
 * that then fails). */
static int32_t S_test_envelopes_only(int32_t count, const VE_ENVELOPE_CANDIDATE *candidates,
                                     const ENVELOPE &shape, bool truth, int32_t **relation_rows,
                                     int32_t *passed_count, int32_t *passed_ids)
{
    int32_t k = 0;
    for (int32_t j = 0; j < count; j++) {
        int32_t *row = relation_rows[k];
        if (row == nullptr) {
            *passed_count = k;
            return ZE_NULL_POINTER;
        }
        const ENVELOPE &c = candidates[j].envelope;
        bool disjoint = (shape.maxx < c.minx) | (shape.maxy < c.miny) | (c.maxx < shape.minx) |
                        (c.maxy < shape.miny);
        row[0] = 0;
        passed_ids[k] = candidates[j].feature_id;
        k += disjoint != truth;
    }
    *passed_count = k;
    return ZE_SUCCESS;
}

ZEL_API int32_t VES_test_envelopes(int32_t count, const VE_ENVELOPE_CANDIDATE *candidates,
                                   VE_SPATIAL_CONSTRAINTS *constraints, int32_t **relation_rows,
                                   int32_t *passed_count, int32_t *passed_ids)
{
    int32_t rc =
        S_check_arguments(count, candidates, constraints, relation_rows, passed_count, passed_ids);
    if (rc != ZE_SUCCESS)
        return rc;
    if (constraints->filter_count == 1 && constraints->filters[0].search_method < SM_CP)
        return S_test_envelopes_only(count, candidates, constraints->specs[0].shape->envelope,
                                     constraints->filters[0].truth != 0, relation_rows,
                                     passed_count, passed_ids);
    int32_t k = 0;
    for (int32_t j = 0; j < count && rc == ZE_SUCCESS; j++) {
        const ENVELOPE &c = candidates[j].envelope;
        bool fails = false;
        for (int16_t i = 0; i < constraints->filter_count && !fails; i++) {
            const VE_FILTER &filter = constraints->filters[i];
            VE_FEATURE_SPEC &spec = constraints->specs[i];
            int32_t *row = relation_rows[k];
            if (row == nullptr) {
                rc = ZE_NULL_POINTER;
                fails = true;
                break;
            }
            bool disjoint = S_disjoint(spec.shape->envelope, c);
            if (disjoint && filter.truth != 0) {
                fails = true;
                break;
            }
            if (!disjoint && filter.search_method < SM_CP && filter.truth == 0) {
                fails = true;
                break;
            }
            row[i] = 0;
            if (filter.search_method < SM_CP)
                continue;
            int32_t answer = MoxsEnvSect(&spec, &c, filter.search_method);
            if (answer < 0) {
                rc = VES_map_shape_error_to_zel(answer);
                fails = true;
            } else if (answer == MOX_ENVSECT_CANNOT_HOLD) {
                fails = filter.truth != 0;
            } else if (answer == MOX_ENVSECT_HOLDS) {
                if (filter.truth == 0)
                    fails = true;
                else
                    row[i] = VE_RELATION_BY_ENVELOPE;
            }
        }
        if (!fails)
            passed_ids[k++] = candidates[j].feature_id;
    }
    *passed_count = k;
    return rc;
}

/* The mapped answer of one filter for a decoded feature: 0 holds, -1 does
 * not, anything else an error. */
static int32_t S_relation(const VE_FILTER &filter, VE_FEATURE_SPEC &spec,
                          const FEATURE_STRUCT &feature, int32_t *cell, int32_t relation_flag)
{
    int32_t work = 0;
    int32_t rc = VES_map_shape_error_to_zel(
        MoxsSrchComp(&spec, &feature, filter.search_method, cell, &work, relation_flag));
    if (filter.search_method != SM_CBM || rc != ZE_SUCCESS)
        return rc;
    int32_t match = MoxEvaluateRelation(spec.shape->entity_type, feature.entity_type, *cell, &work,
                                        filter.relation);
    if (match == 1)
        return ZE_SUCCESS;
    if (match == 0)
        return ZE_FAILURE;
    rc = VES_map_shape_error_to_zel(match);
    return rc == ZE_FAILURE ? ZE_INVALID_RELATION : rc;
}

/* Whether a connected feature (a line, or an area: one polygon) in the box
 * has a point in the filter's interior, from the box alone: such a feature
 * meets every horizontal and every vertical line across its box, so a
 * stretch of one that lies in the interior holds one of its points. The
 * stretches tried cross the middle of where the box and the filter's extent
 * overlap. 1 yes, -1 not known, else an error. */
static int32_t S_connected_inside(VE_FEATURE_SPEC &spec, const ENVELOPE &box)
{
    FEATURE_STRUCT shape = *spec.shape; /* the caller's envelope stays as it is */
    if (MoxsNvelop(&shape) != MOX_SUCCESS)
        return -1;
    const ENVELOPE &s = shape.envelope;
    const int64_t y0 = box.miny > s.miny ? box.miny : s.miny;
    const int64_t y1 = box.maxy < s.maxy ? box.maxy : s.maxy;
    const int64_t x0 = box.minx > s.minx ? box.minx : s.minx;
    const int64_t x1 = box.maxx < s.maxx ? box.maxx : s.maxx;
    if (y0 > y1 || x0 > x1)
        return -1;
    const auto y = static_cast<int32_t>((y0 + y1) / 2);
    const auto x = static_cast<int32_t>((x0 + x1) / 2);
    const ENVELOPE across[] = {{box.minx, y, box.maxx, y}, {x, box.miny, x, box.maxy}};
    for (const ENVELOPE &stretch : across) {
        /* Interiors meet for every feature in the stretch only when it lies
         * in the interior. */
        int32_t answer = MoxsEnvSect(&spec, &stretch, SM_AI);
        if (answer < 0)
            return answer;
        if (answer == MOX_ENVSECT_HOLDS)
            return 1;
    }
    return -1;
}

/* One filter's answer from the feature's box alone, before its decode: 1
 * holds, 0 does not, -1 open, else an error. The box answers for every
 * non-empty feature in it; the entity type tells which features those are
 * (points and single lines always have a point; a multi line may keep no
 * part at all, and its box counts its lone points, so only "apart" is taken
 * from it), whether it is connected, and, for point in polygon, whether it
 * is points. The box is the feature's own, as MoxsNvelop gives it. */
static int32_t S_box_answer(const VE_FILTER &filter, VE_FEATURE_SPEC &spec,
                            const FEATURE_STRUCT &feature, const ENVELOPE &box)
{
    const int32_t method = filter.search_method;
    if (feature.num_points <= 0 || method == SM_CBM)
        return -1;
    const uint32_t base = feature.entity_type & 0xFFu;
    const bool multi = (feature.entity_type & 0x100u) != 0;
    const bool points = base == VE_ENTITY_POINT;
    const bool line = base == VE_ENTITY_LINE || base == VE_ENTITY_SIMPLE_LINE;
    if (!points && !line && base != VE_ENTITY_AREA)
        return -1;
    const bool multi_line = line && multi;
    /* Points of point in polygon hold where the box puts them in an area
     * filter's interior, where they are contained, and cannot hold where
     * they cannot be contained (contains holds only in an area's interior). */
    const int32_t asked = multi_line ? SM_ET_OR_AI : (method == SM_PIP && points ? SM_SC : method);
    int32_t answer = MoxsEnvSect(&spec, &box, asked);
    if (answer < 0)
        return answer;
    if (answer == MOX_ENVSECT_CANNOT_HOLD)
        return 0;
    if (multi_line)
        return -1;
    if (answer == MOX_ENVSECT_UNDECIDED && (method == SM_ET_OR_AI || method == SM_AI) && !multi &&
        (line || base == VE_ENTITY_AREA))
        return S_connected_inside(spec, box);
    if (method == SM_PIP && !points)
        return -1; /* a line or area in the box may yet be points */
    return answer == MOX_ENVSECT_HOLDS ? 1 : -1;
}

ZEL_API int32_t VES_test_features(int32_t count, FEATURE_STRUCT *features,
                                  const VE_ENVELOPE_CANDIDATE *candidates, int32_t uncompress,
                                  VE_SPATIAL_CONSTRAINTS *constraints, int32_t **relation_rows,
                                  int32_t *passed_count, int32_t *passed_ids)
{
    int32_t rc =
        S_check_arguments(count, features, constraints, relation_rows, passed_count, passed_ids);
    if (rc != ZE_SUCCESS)
        return rc;
    const int32_t relation_flag = constraints->relation_flag;
    /* Without relation cells to fill, a filter that the feature's box
     * settles needs neither its exact test nor, for a compressed feature,
     * the decode; a feature that fails by its box is not decoded at all. */
    const bool by_box = candidates != nullptr && relation_flag == 0;
    int32_t passed = 0;
    for (int32_t j = 0; j < count && rc == ZE_SUCCESS; j++) {
        FEATURE_STRUCT &feature = features[j];
        bool decoded = false;
        bool fails = false;
        for (int16_t i = 0; by_box && i < constraints->filter_count && !fails; i++) {
            const VE_FILTER &filter = constraints->filters[i];
            int32_t *cell = relation_rows[j] == nullptr ? nullptr : &relation_rows[j][i];
            if (cell == nullptr) {
                rc = ZE_NULL_POINTER;
                break;
            }
            if (filter.search_method < SM_CP || *cell != 0)
                continue;
            int32_t held =
                S_box_answer(filter, constraints->specs[i], feature, candidates[j].envelope);
            if (held < -1) {
                rc = VES_map_shape_error_to_zel(held);
                break;
            }
            if (held < 0)
                continue;
            /* A settled filter's cell is non-zero, so the exact test below
             * leaves it; a failing one ends the row. */
            *cell = held == 1 ? VE_RELATION_BY_ENVELOPE : MOX_RELATION_TESTED;
            fails = (held == 1) != (filter.truth != 0);
        }
        for (int16_t i = 0; i < constraints->filter_count && !fails && rc == ZE_SUCCESS; i++) {
            const VE_FILTER &filter = constraints->filters[i];
            VE_FEATURE_SPEC &spec = constraints->specs[i];
            int32_t *cell = relation_rows[j] == nullptr ? nullptr : &relation_rows[j][i];
            if (cell == nullptr) {
                rc = ZE_NULL_POINTER;
                break;
            }
            /* A geometry method needs the geometry, unless its envelope
             * settled it and no relation is asked; so does the relation of
             * every filter, which only a flag of exactly 1 asks decoding for
             * (other non-zero flags relate the feature as the caller gave it). */
            const bool settled = relation_flag == 0 && *cell != 0;
            if (!decoded && uncompress != 0 &&
                ((filter.search_method >= SM_CP && !settled) || relation_flag == 1)) {
                rc = VES_feature_uncompress(1, &feature);
                if (rc != ZE_SUCCESS)
                    break;
                if (candidates != nullptr)
                    feature.envelope = candidates[j].envelope;
                else if ((rc = VES_map_shape_error_to_zel(MoxsNvelop(&feature))) != ZE_SUCCESS)
                    break;
                decoded = true;
            }
            if (filter.search_method < SM_CP || *cell != 0) {
                if (relation_flag == 0)
                    continue;
                int32_t work = 0;
                rc = VES_map_shape_error_to_zel(
                    MoxsSrchComp(&spec, &feature, SM_ET_OR_AI, cell, &work, 1));
                if (rc == ZE_FAILURE)
                    rc = ZE_SUCCESS; /* the relation is recorded either way */
                continue;
            }
            int32_t answer = S_relation(filter, spec, feature, cell, relation_flag);
            if (answer != ZE_SUCCESS && answer != ZE_FAILURE) {
                rc = answer;
                break;
            }
            bool holds = answer == ZE_SUCCESS;
            fails = holds != (filter.truth != 0);
        }
        if (rc == ZE_SUCCESS && !fails)
            passed_ids[passed++] = feature.feature_id;
    }
    *passed_count = passed;
    return rc;
}
