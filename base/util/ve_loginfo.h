// The log-file info record: how clients and hosts describe a saved set of row
// ids of one table or layer. It crosses the wire whole (the channel's codec) and
// is printed by the record printers; 1048 bytes as the clients expect.
#ifndef VE_LOGINFO_H
#define VE_LOGINFO_H

#include <stdint.h>

#include "base/util/db_name_sizes.h"
#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

#define LOGINFO_TAG "LoG"
#define LOGINFO_FREED_TAG "gOl"

/* Bits of flags. */
#define LOGINFO_PERSISTENT 1 /* clear: temporary */
#define LOGINFO_TABLE 2      /* the target is a table */
#define LOGINFO_LAYER 4      /* the target is a layer */

/* Target kinds and persistence values of the accessors. */
#define LOGINFO_KIND_TABLE 1
#define LOGINFO_KIND_LAYER 2
#define LOGINFO_IS_PERSISTENT 1
#define LOGINFO_IS_TEMPORARY 2

typedef struct LOGFILE {
    char tag[4];                              /* "LoG" while valid, "gOl" once freed */
    char name[DB_NAME_FULL_TABLE_SIZE];       /* the log file's name */
    char table_name[DB_NAME_FULL_TABLE_SIZE]; /* target table or layer table */
    char spatial_column[DB_NAME_COLUMN_SIZE]; /* empty for a table target */
    int32_t registration_id;
    int32_t logfile_id;
    int32_t data_id;
    uint32_t flags;      /* LOGINFO_* bits */
    int32_t session_tag; /* the creating server process; 0 for persistent logs */
    int32_t layer_id;
    REGISTRATION registration; /* the target's registration */
} LOGFILE;

#define LOGINFO_RECORD_SIZE 1048

// Allocates a zeroed record with its tag; -65 null out, -999 no memory, else 0.
ZEL_API int32_t VES_loginfo_create(LOGFILE **record);
// Marks the record freed and frees it; null is ignored.
ZEL_API void VES_loginfo_free(LOGFILE *record);

// Every accessor answers -249 for a null or invalid record and -65 for a null
// out pointer. Text outs receive at most the field's size, NUL included.
ZEL_API int32_t VES_loginfo_get_id(const LOGFILE *record, int32_t *id);
ZEL_API int32_t VES_loginfo_get_name(const LOGFILE *record, char *name);
// kind: 2 layer (flag 4), else 1 table; table name and column copied.
ZEL_API int32_t VES_loginfo_get_target_object(const LOGFILE *record, int32_t *kind,
                                              char *table_name, char *column);
// value: 1 persistent, 2 temporary.
ZEL_API int32_t VES_loginfo_get_persistence(const LOGFILE *record, int32_t *value);
// -65 null name; -66 a name that does not fit its field (225 characters).
ZEL_API int32_t VES_loginfo_set_name(LOGFILE *record, const char *name);
// kind 1 table or 2 layer (else -65); null table name -65; a layer without a
// column -66; names that do not fit their fields -66. Persistence is kept.
ZEL_API int32_t VES_loginfo_set_target_object(LOGFILE *record, int32_t kind, const char *table_name,
                                              const char *column);
// value 1 persistent, 2 temporary, else -66; other flags are kept.
ZEL_API int32_t VES_loginfo_set_persistence(LOGFILE *record, int32_t value);

#endif
