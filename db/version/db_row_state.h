/* Two read-only look-ups on a registered table (REGISTRATION,
 * base/util/ve_registration.h): the column by which the data streams address
 * its rows, and the state in which a row version is seen from a lineage (the
 * base table, state 0, or the adds-table row of a state). A base row counts as
 * gone once its id was deleted in any state of the lineage. */
#ifndef DB_ROW_STATE_H
#define DB_ROW_STATE_H

#include <stdint.h>

#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

/* Size of the column buffer the row query column is written into. */
#define DB_ROW_QUERY_COLUMN_SIZE 32

#ifdef __cplusplus
extern "C" {
#endif

/* Writes the row query column into column (DB_ROW_QUERY_COLUMN_SIZE bytes),
 * by the first rule that applies: a row-id column the engine maintains; a
 * row-id column the user maintains whose type is a 16- or 32-bit integer (or
 * a double of size 32); "VE_ROW_ID" for a layer; the raster column for a
 * table with one. Returns 0; -186 when no rule applies (column untouched);
 * the failure of the column description, the layer or the raster column
 * look-up; -65 for a null argument. */
ZEL_API int32_t DB_registered_table_get_row_query_column(DB_INSTANCE *instance,
                                                         const REGISTRATION *registration,
                                                         char *column);

/* The state in which the row of row_id is seen from the lineage (a list of
 * state ids as text, ready to stand inside IN (...)): 0 when the base row is
 * visible, else the ZEL_STATE_ID of the visible adds row. For a layer,
 * *spatial_row_id gets the row's VE_ROW_ID (-1 when NULL); it is not written
 * otherwise. Returns 0; -22 when the row is visible in neither; -51; the
 * prepare's failure (an empty lineage makes the SQL invalid); the layer
 * look-up's failure; -322 or -66 for table or column names that may not
 * stand in SQL; -65 for a null argument. The extended error record holds
 * the statement's diagnostic after -22 and -51. */
ZEL_API int32_t DB_registered_table_get_row_state(DB_INSTANCE *instance,
                                                  const REGISTRATION *registration, int32_t unused,
                                                  const char *lineage, int32_t row_id,
                                                  int32_t *state_id, int32_t *spatial_row_id);

#ifdef __cplusplus
}
#endif

#endif
