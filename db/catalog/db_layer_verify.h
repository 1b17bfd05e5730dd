// Verification of a table that is to become a layer: the table checked
// (owner, column types), and what the layer learns from the shapes the
// table already holds.
#ifndef DB_LAYER_VERIFY_H
#define DB_LAYER_VERIFY_H

#include <stdint.h>

#include "base/util/ve_layer.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Checks the layer's table (table_name: [[database:]owner.]table, the
 * connection's user filling a missing owner) before it becomes a layer:
 * the database is written into database_name, the owner must be the
 * connection's user, the spatial column may not be named like the table,
 * and the bare table is written into table_name; a spatial column that
 * exists must be of an extended type that allows NULL or an integer (a
 * table whose only column it is, is dropped and made again with the
 * spatial column and VE_ROW_ID); a VE_ROW_ID that exists must be a 32-bit
 * integer that allows NULL. Columns that do not exist yet are right. Ends
 * with a commit once the columns were looked at. The connection's extended
 * error record is cleared first. 0; -65 null layer; -66 or -322 for names
 * that cannot go into SQL; -96 another owner; -161 the spatial column
 * named like its table; -114 a column of a wrong type; -26 a column that
 * does not allow NULL; -37 no such table; -51 (connection's record
 * filled); -12; the description's or the re-creation's codes. */
ZEL_API int32_t DB_layer_verify_table(DB_INSTANCE *instance, LAYER *layer);

/* Marks the layer spatial and, when its table holds shapes, gives it their
 * extent and the spatial reference of their srid (values and text, the text
 * blanks trimmed: a new copy of at least LAYER_SRTEXT_SIZE bytes replaces the
 * coordinate reference's text, which is freed; MoxCoordRefFree frees the
 * copy). A
 * layer without table, owner or column, a table without the column or
 * without shapes is left as it is. The connection's extended error record
 * is cleared first. 0; -65 null layer; the grid sizes' decoding failure;
 * -66 for names that cannot go into SQL; -51 (connection's record
 * filled); -12. */
ZEL_API int32_t DB_layer_verify(DB_INSTANCE *instance, LAYER *layer);

#ifdef __cplusplus
}
#endif

#endif
