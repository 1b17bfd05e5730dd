// A registered table's row-id column and columns for the host: the row-id
// column added, or an existing one adopted and renumbered when its values
// cannot carry a unique index, then made unique (index R<id>_zel_rowid_uk)
// and NOT NULL; and a column added to or dropped from the table together
// with its adds table.
#ifndef DB_ROWID_COLUMN_H
#define DB_ROWID_COLUMN_H

#include <stdint.h>

#include "base/util/db_column_def.h"
#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Gives the registered table its unique, NOT NULL row-id column (the
 * registration's row-id column): a missing column is added as INTEGER and
 * numbered; an existing 32-bit integer column is kept as it is when a unique
 * index on it can be made or exists, else numbered from the minimum id
 * upward in batches of 50,000 rows, each committed. The index takes the
 * B_INDEX_ROWID clause of the registration's keyword. Returns 0; -53 for a
 * column that is not a 32-bit integer or that is the layer's spatial column
 * or the raster column; -87 for a keyword without rows of its own; -37 when
 * the table does not exist; -51 (connection's extended error record
 * filled); the failing step's code (also of the final unique index); -65;
 * -66 or -322 for names that are not identifiers; -12. */
ZEL_API int32_t DB_registered_table_add_rowid_column(DB_INSTANCE *instance,
                                                     const REGISTRATION *registration);

/* Adds the column to the table and, for a multiversioned table, to its adds
 * table; then an IMV view of the registration is made again with it. When
 * the IMV view cannot be made again (its triggers are not available), the
 * call refuses with -1008 before anything is changed. Returns 0; -1008;
 * the codes of the column add and of the IMV view creation; -65. */
ZEL_API int32_t DB_registered_table_add_column(DB_INSTANCE *instance,
                                               const REGISTRATION *registration,
                                               const DB_COLUMN_DEF *column);

/* Drops the column from the table and, for a multiversioned table, from its
 * adds table; the IMV view is left as it is. Returns 0; the column drop's
 * codes; -65. */
ZEL_API int32_t DB_registered_table_drop_column(DB_INSTANCE *instance,
                                                const REGISTRATION *registration,
                                                const char *column);

#ifdef __cplusplus
}
#endif

#endif
