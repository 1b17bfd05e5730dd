// Description of a table for the host: its columns as DB_COLUMN_DEF records
// (base/util/db_column_def.h) with the engine's reading laid over the DBMS's:
// the hidden row-id column VE_ROW_ID left out, the registered row-id column
// marked, the layer's spatial column shown as a shape and the raster column
// as a raster.
#ifndef DB_TABLE_DESCRIBE_H
#define DB_TABLE_DESCRIBE_H

#include <stdint.h>

#include "base/util/db_column_def.h"
#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Describes the table (a name usable after FROM) into *columns, a C heap
 * array of *count records the caller frees with free. The registration, when
 * given, marks its row-id column (object flag 1; kind 1 with flag 2, else
 * 2; names compared exactly), finds the spatial column through the layer
 * cache (flag 4) and the raster column (flag 64); without flag 4 the spatial
 * column named in the layer catalogue is marked. Returns 0; -37 when the
 * table does not exist; -51 (connection's extended error record filled);
 * -12; -65 for a null argument; -66 or -322 for a table name that is not
 * [database:][owner.]table of identifiers; -226 or -247 when flag 64 is set and the
 * raster column cannot be told; or the description's failure. On failure
 * nothing is handed out. */
ZEL_API int32_t DB_table_describe(DB_INSTANCE *instance, const char *table,
                                  const REGISTRATION *registration, int16_t *count,
                                  DB_COLUMN_DEF **columns);

#ifdef __cplusplus
}
#endif

#endif
