// Spatial tests of query rows: the prepared specs of a query's filters, the
// envelope test of candidate rows and the exact test of their features. The
// query path prepares the specs once per query and runs both tests for every
// fetched row; the relations come from the geometry module (mox/mox.h).
// Records are in base/util/ve_filter.h.
#ifndef VE_SPATIAL_TEST_H
#define VE_SPATIAL_TEST_H

#include <stdint.h>

#include "base/util/ve_filter.h"
#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Allocates count zero-filled specs into *specs and stores each filter's
 * shape in its spec. 0; -65 null argument; -66 negative count; -12 out of
 * memory; -119 at the first filter that is not a shape filter (the specs stay
 * allocated and the caller frees them with VES_free_feature_specs). */
ZEL_API int32_t VES_generate_feature_specs(int32_t count, const VE_FILTER *filters,
                                           VE_FEATURE_SPEC **specs);
/* Releases each spec's prepared data and the array; null is ignored. The
 * filters are not used. */
ZEL_API void VES_free_feature_specs(int32_t count, const VE_FILTER *filters,
                                    VE_FEATURE_SPEC *specs);

/* First pass on candidate envelopes. Candidates that may satisfy every filter
 * have their ids appended to passed_ids (room for count) in input order, and
 * *passed_count is always stored. relation_rows[k] (one cell per filter) is
 * the row of the k-th passing candidate: a cell is 0, or VE_RELATION_BY_ENVELOPE
 * when the envelope alone proved a must-pass filter's relation (the exact test
 * then skips it). 0, -65 null argument, -119 a filter that is not a shape
 * filter, -134 a spec without shape, or the mapped error of the geometry
 * module (which ends the test). */
ZEL_API int32_t VES_test_envelopes(int32_t count, const VE_ENVELOPE_CANDIDATE *candidates,
                                   VE_SPATIAL_CONSTRAINTS *constraints, int32_t **relation_rows,
                                   int32_t *passed_count, int32_t *passed_ids);

/* Exact test of features[0..count) against every filter, feature j using
 * relation_rows[j]. With uncompress non-zero a feature is decoded (geometry
 * only) before its first relation, and its envelope taken from candidates[j]
 * when candidates is given, else computed. With candidates and a relation
 * flag of 0, the candidate's envelope settles first, without the decode or
 * the exact test, every filter the boxes decide (MoxsEnvSect), with the
 * answer the exact test gives (the candidate's envelope must then be the
 * feature's own, as MoxsNvelop gives it): its cell becomes VE_RELATION_BY_ENVELOPE when
 * the relation holds, MOX_RELATION_TESTED when not; a feature that fails by
 * its box, or whose filters the boxes all settle, is not decoded. Passing features' ids are
 * appended to passed_ids; *passed_count is always stored. 0, or the first error: -65, -119, an
 * uncompress or geometry-module error (mapped), -30 when a relation pattern cannot be evaluated. A
 * relation that does not hold is never an error, for must-pass and must-not filters alike. */
ZEL_API int32_t VES_test_features(int32_t count, FEATURE_STRUCT *features,
                                  const VE_ENVELOPE_CANDIDATE *candidates, int32_t uncompress,
                                  VE_SPATIAL_CONSTRAINTS *constraints, int32_t **relation_rows,
                                  int32_t *passed_count, int32_t *passed_ids);

#ifdef __cplusplus
}
#endif

#endif
