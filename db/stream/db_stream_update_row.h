// One-row update and delete of a registered table that is not
// multiversioned, the row named by its row id. An update is set up once
// (DB_stream_init_set_row, then DB_stream_init_update_buffer of
// db_stream_update.h) and run per row: the caller's last column carries the
// row's id and is the UPDATE's WHERE parameter; the UPDATE, with an
// optimizer directive against full scans, is prepared at the first row and
// kept. A delete needs only DB_stream_init. Nothing here commits.
#ifndef DB_STREAM_UPDATE_ROW_H
#define DB_STREAM_UPDATE_ROW_H

#include <stdint.h>

#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"
#include "db/core/db_stream.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Sets the update of one row of the registered table up: row_id, or -1
 * when the caller's last column carries the id of each row. The stream
 * keeps a WHERE text that selects the row until it is closed. The caller's
 * names are read, never written. 0; -20 / -25 from the layer read (other
 * failures of that read leave the stream without a layer); -186 when the
 * table has no column to address rows by; -25 without the update privilege
 * on its raster column; -65; -66 for no columns; -322 for a name that is
 * not an identifier; -12; the raster column's and tile INSERT's errors. */
ZEL_API int32_t DB_stream_init_set_row(DB_STREAM *stream, const REGISTRATION *registration,
                                       int32_t row_id, int16_t column_count,
                                       const char *const *columns);
/* Updates the row whose id the last column holds with the other columns;
 * a NULL shape leaves the shape as it is. With by_rowid the id is a value
 * of rowid_column (the row's VE_ROW_ID is looked up for the log); without
 * it the id is the row's value of the set-up's row-id column. A positive
 * log_id opens the stream's automatic log first when none is open. 0;
 * -1005 when no row has the id; -1 when the layer's srid is not found;
 * -37 / -38 for a prepare refused with SQLSTATE S0002 / S0022; -51 with
 * the stream's extended error filled (the next row prepares again); -65;
 * -322; -12; -114; the VE_ROW_ID look-up's and the log's errors. */
ZEL_API int32_t DB_stream_execute_update_row(DB_STREAM *stream, const int16_t *indicators,
                                             void *const *values, int32_t by_rowid,
                                             const char *rowid_column, int32_t log_id);
/* Deletes the row with the id, and the raster its raster column refers to.
 * 0; -22 when there is no such row (no raster deleted); -51 with the
 * stream's extended error filled; the layer read's, row-id column's and
 * raster column's errors; the raster delete's result. */
ZEL_API int32_t DB_stream_delete_row(DB_STREAM *stream, const REGISTRATION *registration,
                                     int32_t row_id);

#ifdef __cplusplus
}
#endif

#endif
