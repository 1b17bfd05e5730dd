// The hooks the insert and update streams call after they wrote rows: the
// rows reach the stream's automatic log and, with row locking on, its
// row-lock set. Each adds what it is given once per call; a caller that
// writes in several steps calls a hook once for the rows of each step.
// Beside them the conversion of one system-unit coordinate to the plane.
#ifndef DB_STREAM_HOOKS_INTERNAL_H
#define DB_STREAM_HOOKS_INTERNAL_H

#include <stdint.h>

#include "mox/mox_types.h"

typedef struct DB_STREAM DB_STREAM;

#ifdef __cplusplus
extern "C" {
#endif

/* With the automatic log on: the feature ids when the log holds feature ids
 * (flag 4) and count >= 1, otherwise the row ids when their count is above
 * 0. 0 or the log's error. */
int32_t db_stream_log_ids(DB_STREAM *stream, const int32_t *feature_ids, int32_t feature_count,
                          const int32_t *row_ids, int32_t row_count);
/* The rows the stream's WHERE text selects: into the log when it logs
 * table rows (flag 2), into the row-lock set by row-lock mode 0x04 (add) or
 * 0x10 (remove). 0 or the last call's error. */
int32_t db_stream_log_where_rows(DB_STREAM *stream);
/* The rows of the stream's layer table ("%s:%s.%s"), restricted by the
 * stream's WHERE text when it has one. -12; 0 or the last call's error. */
int32_t db_stream_log_table_rows(DB_STREAM *stream);
/* The rows of the layer table whose shape is NULL (and that the WHERE text
 * selects), unless the log holds feature ids. -12; 0 or the last call's
 * error. */
int32_t db_stream_log_null_shape_rows(DB_STREAM *stream);

/* Axis 1 (x) or 2 (y) of a system-unit value to the plane; any other axis
 * leaves *plane alone. The geometry module's result, 0 for another axis. */
int32_t db_value_to_plane(int32_t value, double *plane, const COORDREF *coordref, int32_t axis);

#ifdef __cplusplus
}
#endif

#endif
