// The host's query description and its table-and-WHERE part, as they travel on
// the channel (its own codecs). Column names and hints are string arrays from
// VES_allocate_string_array.
#ifndef VE_QUERYINFO_H
#define VE_QUERYINFO_H

#include <stdint.h>

#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VE_QUERY_TYPE_DEFAULT 4

typedef struct VE_SQL_CONSTRUCT {
    int32_t num_tables;
    char **tables; /* database:owner.table, database and owner optional */
    char *where;   /* attribute WHERE text, may be null, may begin with "where " */
} VE_SQL_CONSTRUCT;

typedef struct VE_QUERYINFO {
    int32_t reserved; /* the first word: left alone by initialisation */
    int16_t num_columns;
    char **columns;
    VE_SQL_CONSTRUCT *construct;
    int32_t query_type;
    char *by_clause;
    int32_t num_hints;
    char **hints;
    char *logfile;
    int32_t last; /* the last word */
} VE_QUERYINFO;

/* Clears every field after the first and sets the query type to 4; owns
 * nothing, frees nothing. A null record is ignored. */
ZEL_API void VES_initialize_queryinfo(VE_QUERYINFO *info);

#ifdef __cplusplus
}
#endif

#endif
