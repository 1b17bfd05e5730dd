// A spatial filter of a query; its search methods and prepared form (the
// geometry module's, mox/mox_types.h) come with it. The query path builds the
// filters (the channel reads them from the wire with its own codec), prepares
// one spec per filter before a query runs, and the spatial tests evaluate the
// specs row by row through the geometry module.
#ifndef VE_FILTER_H
#define VE_FILTER_H

#include <stdint.h>

#include "base/util/db_name_sizes.h"
#include "base/util/ve_feature.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Filter types. */
#define VE_SHAPE_FILTER 1
#define VE_ID_FILTER 2

#define VE_FILTER_COLUMN_LEN 34
#define VE_FILTER_RELATION_LEN 256 /* room of a relation pattern, terminator included */

typedef struct VE_FILTER {
    char table_name[DB_NAME_FULL_TABLE_SIZE]; /* table the filter is on */
    char column_name[VE_FILTER_COLUMN_LEN];   /* its spatial column, at most 32 characters */
    int32_t filter_type;                      /* VE_SHAPE_FILTER or VE_ID_FILTER */
    union {
        FEATURE_STRUCT *shape; /* shape filter: the filter shape, with its coordinate reference */
        int32_t id;            /* id filter: a feature id */
    };
    char filter_table[DB_NAME_FULL_TABLE_SIZE]; /* id filter: the table holding that feature */
    int32_t search_method;                      /* SM_* */
    int32_t truth;    /* non-zero: a feature must satisfy the filter; 0: must not */
    int32_t reserved; /* not used by the tests */
    char *relation;   /* SM_CBM only: the relation pattern */
} VE_FILTER;

/* Relation cell value of a filter that a candidate's envelope alone proved
 * to hold; the geometry module never writes it. */
#define VE_RELATION_BY_ENVELOPE 0x9080

/* The filters of one query as both spatial tests take them (part of the
 * stream record). specs holds one prepared spec per filter, same order. */
typedef struct VE_SPATIAL_CONSTRAINTS {
    int16_t filter_count;
    VE_FILTER *filters;
    int32_t relation_flag; /* non-zero: compute the relation of every filter */
    VE_FEATURE_SPEC *specs;
} VE_SPATIAL_CONSTRAINTS;

/* A candidate row for the envelope test (and the envelopes of the exact test). */
typedef struct VE_ENVELOPE_CANDIDATE {
    int32_t feature_id;
    int32_t reserved[2]; /* not read by the tests */
    ENVELOPE envelope;
} VE_ENVELOPE_CANDIDATE;

#ifdef __cplusplus
}
#endif

#endif
