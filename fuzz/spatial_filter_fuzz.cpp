// Spatial filters as they arrive from the wire: a filter shape, a search
// method, a truth flag and a relation pattern, tested against a feature
// through both spatial tests. Any entity type, point list, method or pattern
// must give a status, never a crash or an overread; a relation cell is never
// 0 or the envelope mark once a relation was computed; the feature's box,
// taken first, never changes the exact test's answer.
// Input: method (1 byte), flags (1 byte: 1 truth, 2 relation flag), filter
// entity (2 bytes), feature entity (2 bytes), filter point count (1 byte),
// pattern (10 bytes, taken as a C string), then 8-byte points (x, y
// little-endian int32): the filter's first, the rest the feature's.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "base/util/ve_spatial_test.h"
#include "fuzz/fuzz_quiet.h"
#include "mox/mox.h"

static const size_t S_header = 17;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size < S_header)
        return 0;
    int32_t method = data[0];
    uint8_t flags = data[1];
    uint16_t filter_entity = (uint16_t)(data[2] | data[3] << 8);
    uint16_t feature_entity = (uint16_t)(data[4] | data[5] << 8);
    size_t total = (size - S_header) / 8;
    size_t filter_points = data[6] < total ? data[6] : total;
    char pattern[11] = {};
    memcpy(pattern, data + 7, 10);
    std::vector<POINT> points(total);
    for (size_t i = 0; i < total; i++) {
        memcpy(&points[i].x, data + S_header + 8 * i, 4);
        memcpy(&points[i].y, data + S_header + 8 * i + 4, 4);
    }

    FEATURE_STRUCT filter_shape = {};
    filter_shape.entity_type = filter_entity;
    filter_shape.num_points = (int32_t)filter_points;
    filter_shape.points = points.data();
    MoxsNvelop(&filter_shape);
    FEATURE_STRUCT feature = {};
    feature.feature_id = 1;
    feature.entity_type = feature_entity;
    feature.num_points = (int32_t)(total - filter_points);
    feature.points = points.data() + filter_points;
    MoxsNvelop(&feature);

    VE_FILTER filter = {};
    filter.filter_type = VE_SHAPE_FILTER;
    filter.shape = &filter_shape;
    filter.search_method = method;
    filter.truth = flags & 1;
    filter.relation = pattern;
    VE_FEATURE_SPEC *specs = nullptr;
    if (VES_generate_feature_specs(1, &filter, &specs) != 0)
        abort();
    VE_SPATIAL_CONSTRAINTS set = {1, &filter, (flags & 2) ? 1 : 0, specs};
    int32_t cell = 0;
    int32_t *rows[1] = {&cell};
    VE_ENVELOPE_CANDIDATE candidate = {};
    candidate.feature_id = 1;
    candidate.envelope = feature.envelope;
    int32_t id = 0;
    int32_t count = -1;
    int32_t rc = VES_test_envelopes(1, &candidate, &set, rows, &count, &id);
    if (count < 0 || count > 1 || rc > 0)
        abort();
    if (rc == 0) {
        count = -1;
        rc = VES_test_features(1, &feature, nullptr, 0, &set, rows, &count, &id);
        if (count < 0 || count > 1 || rc > 0)
            abort();
    }
    /* The exact test with the feature's box first answers as the exact
     * test alone wherever that one answers. */
    cell = 0;
    count = -1;
    rc = VES_test_features(1, &feature, nullptr, 0, &set, rows, &count, &id);
    if (rc == 0) {
        const int32_t full = count;
        cell = 0;
        count = -1;
        rc = VES_test_features(1, &feature, &candidate, 0, &set, rows, &count, &id);
        if (rc > 0 || (rc == 0 && count != full))
            abort();
    }

    int32_t work = 0;
    cell = 0;
    rc = MoxsSrchComp(&specs[0], &feature, method, &cell, &work, flags & 2);
    if ((rc == MOX_SUCCESS || rc == MOX_RELATION_NOT_HELD) &&
        (cell == 0 || cell == VE_RELATION_BY_ENVELOPE))
        abort();
    if (rc == MOX_SUCCESS && (cell & MOX_RELATION_MATRIX) != 0) {
        int32_t match = MoxEvaluateRelation(filter_entity, feature_entity, cell, &work, pattern);
        if (match != 0 && match != 1 && match != MOX_E_INVALID_RELATION)
            abort();
    }
    VES_free_feature_specs(1, &filter, specs);
    return 0;
}
