// Envelopes of written rows: the area of a layer that a write touches, in
// the layer's integer system units, asked before or after the write (to
// check or take layer locks over it): the shape of a row to insert, the
// rows an update stream changes (their current shapes and the new one),
// one row by its row id, or the row to delete. Read from the stream's
// set-up (db_stream_insert.h, db_stream_update.h, db_stream_update_row.h);
// nothing in the database changes.
#ifndef DB_STREAM_ENVELOPE_H
#define DB_STREAM_ENVELOPE_H

#include <stdint.h>

#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"
#include "db/core/db_stream.h"
#include "mox/mox_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The envelope of the shape of a row to insert (indicators, 1 NULL; value
 * pointers, the shape a FEATURE_STRUCT) and the stream's layer id. Without
 * a shape column or with a NULL shape both outputs are left as they are.
 * 0 always (-65 for a null argument). */
ZEL_API int32_t DB_envelope_get_insert(DB_STREAM *stream, const int16_t *indicators,
                                       void *const *values, ENVELOPE *envelope, int32_t *layer_id);
/* The envelope of the current shapes of the rows the stream's WHERE text
 * selects, united with the new shape of the row (the last shape column of
 * the stream's row buffer), and the layer id. No current shape and a NULL
 * new shape leave both outputs as they are; no shape column: 0, nothing
 * written. 0; the envelope computation's error (-51 and -42 with the
 * connection's extended error copied into the stream's); -20 without a
 * layer; a mapped conversion error. */
ZEL_API int32_t DB_envelope_get_update(DB_STREAM *stream, const int16_t *indicators,
                                       void *const *values, ENVELOPE *envelope, int32_t *layer_id);
/* The envelope, in layer coordinates, of the one row whose rowid_column
 * holds *row_id, and the layer id; unused1 and unused2 are not read. No
 * shape column in the stream's row buffer: 0, nothing written. Otherwise
 * the computation's result (-20 without a layer; -322 for a column name
 * that is not an identifier). */
ZEL_API int32_t DB_envelope_get_rows_update(DB_STREAM *stream, const void *unused1,
                                            VE_ENVELOPE *envelope, const void *unused2,
                                            const int32_t *row_id, const char *rowid_column,
                                            int32_t *layer_id);
/* The box (layer coordinates; empty when minx > maxx or miny > maxy) in
 * system units united with the new shape of the row: the stream's shape
 * column, or that of the update through a state it is set up for. No shape
 * column, or an empty box and a NULL shape: nothing written. 0 or a mapped
 * conversion error; -20 without a layer. */
ZEL_API int32_t DB_envelope_readjust(DB_STREAM *stream, const int16_t *indicators,
                                     void *const *values, const VE_ENVELOPE *box,
                                     ENVELOPE *envelope);
/* The envelope of the shape of the registered layer table's row whose
 * VE_ROW_ID is row_id, and the layer id. 0; -22 when the row has no shape
 * or does not exist; the layer read's and the computation's errors; a
 * mapped conversion error. */
ZEL_API int32_t DB_envelope_get_delete(DB_STREAM *stream, const REGISTRATION *registration,
                                       int32_t row_id, ENVELOPE *envelope, int32_t *layer_id);

#ifdef __cplusplus
}
#endif

#endif
