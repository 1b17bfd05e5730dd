// The table registration record: one TABLE_REGISTRY row. A plain value that
// operations copy whole and the host keeps copies of in shared memory; the
// channel sends it in an order of its own (its codec, field by field).
#ifndef VE_REGISTRATION_H
#define VE_REGISTRATION_H

#include <stdint.h>

#include "base/util/db_name_sizes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define REGISTRATION_TAG "ReG"

/* Bits of object_flags. */
#define REG_ROWID_COLUMN 1   /* the table has a row-id column */
#define REG_ROWID_ENGINE 2   /* ... maintained by the engine */
#define REG_LAYER 4          /* the table is a spatial layer */
#define REG_MULTIVERSION 8   /* adds and deletes tables exist */
#define REG_ROW_LOCK 32      /* row locking is on */
#define REG_RASTER_COLUMN 64 /* the table has a raster column */

typedef struct REGISTRATION {
    char tag[4]; /* "ReG" */
    int32_t registration_id;
    char database_name[DB_NAME_DATABASE_SIZE];
    char owner[DB_NAME_OWNER_SIZE];
    char table_name[DB_NAME_TABLE_SIZE];
    char rowid_column[DB_NAME_COLUMN_SIZE]; /* empty when there is none */
    char description[64];
    uint32_t object_flags;      /* REG_* bits */
    uint32_t registration_date; /* seconds since 1970 */
    int32_t permissions;        /* privilege mask; -1 not yet read */
    char config_keyword[DB_NAME_KEYWORD_SIZE];
    uint32_t minimum_id;
    char imv_view_name[DB_NAME_TABLE_SIZE];
} REGISTRATION;

#ifdef __cplusplus
}
#endif

#endif
