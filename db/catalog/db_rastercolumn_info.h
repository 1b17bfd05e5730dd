// Raster column records (RASTERCOLUMN, base/util/ve_raster.h) for the host:
// the RASTER_COLUMNS rows of the administrative database, joined with the
// SPATIAL_REFERENCES row of their srid, read by id, by table and in a scan,
// each with the current user's privileges; and the catalogue rows written
// through the catalogue's routines. Privileges: VE_PRIV_* bits
// (base/util/ve_layer.h), 30 for the owner of the user table.
//
// Coordinate references: a record whose coordref points at a COORDREF with
// a text buffer of at least 1024 bytes receives the raster column's false
// origins, units, srid and text (trailing blanks cut) in it; its text buffer
// and lib_word2 stay, every other field is overwritten. When the raster
// column has no spatial reference, or the record brings no reference with a
// text buffer, the record's coordref is set to null: a caller that brought a
// reference keeps its own pointer to free it.
#ifndef DB_RASTERCOLUMN_INFO_H
#define DB_RASTERCOLUMN_INFO_H

#include <stdint.h>

#include "base/util/ve_raster.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;
typedef struct DB_STREAM DB_STREAM;

#ifdef __cplusplus
extern "C" {
#endif

/* Reads the raster column of the id into the caller's record. Clears the
 * connection's extended error record and the stream's. Returns 0; -226 when
 * no raster column has the id; -25 when the user may not select from it
 * (the record is filled); -51 (connection's extended error record filled);
 * -65 for a null record; -227 for an id below 1. */
ZEL_API int32_t DB_rastercolumn_get_info_by_id(DB_INSTANCE *instance, DB_STREAM *stream,
                                               int32_t rastercolumn_id, RASTERCOLUMN *info);

/* Reads the raster column of a table (database:owner.table or shorter, the
 * default owner filling a missing owner, the connected database a missing
 * database) and, when given, of that column. Returns 0; -65 for a null or
 * empty table or owner, or a null record; -66 for an over-long name part;
 * -226; -247 when no column is given and the table has two raster columns;
 * -25; -51. */
ZEL_API int32_t DB_rastercolumn_get_info_by_name(DB_INSTANCE *instance, DB_STREAM *stream,
                                                 const char *table, const char *column,
                                                 const char *default_owner, RASTERCOLUMN *info);

/* Scan of every raster column in id order, one record per call; first starts
 * a new scan (one still open is discarded). Returns 0; -4 after the last
 * (also when no scan is open); -25 for a raster column the user may not
 * select from (the record is filled; the scan goes on); -51 (connection's
 * extended error record filled; the scan ends); -65 for a null record. */
ZEL_API int32_t DB_rastercolumn_first(DB_INSTANCE *instance, RASTERCOLUMN *info);
ZEL_API int32_t DB_rastercolumn_next(DB_INSTANCE *instance, RASTERCOLUMN *info);

/* Writes the catalogue row of the record through the routine
 * insert_rastercolumn, not committed. A record with a coordinate reference
 * gets the srid of an equal spatial reference, or of a new one, first.
 * cdate is the current time. Empty description and keyword go in as NULL.
 * Returns 0; -194 when the row exists; -65; the srid look-up's failure
 * (nothing written); -51 (connection's extended error record filled). */
ZEL_API int32_t DB_sp_rastercolumn_def_insert(DB_INSTANCE *instance, const RASTERCOLUMN *info);

/* Updates description, keyword, minimum id and mask through the routine
 * update_rastercolumn; not committed. 0; -65; -51. */
ZEL_API int32_t DB_sp_rastercolumn_def_update(DB_INSTANCE *instance, const RASTERCOLUMN *info);

/* Deletes the catalogue row through the routine delete_rastercolumn and
 * commits. 0; -51. */
ZEL_API int32_t DB_sp_rastercolumn_def_delete(DB_INSTANCE *instance, int32_t rastercolumn_id);

/* Gives the catalogue row a new table name through the routine
 * rename_rastercolumn; not committed. 0; -65; -51. */
ZEL_API int32_t DB_sp_rastercolumn_def_rename(DB_INSTANCE *instance, int32_t rastercolumn_id,
                                              const char *new_table);

/* Raster columns of views are not kept: always 0, nothing written. */
ZEL_API int32_t DB_view_rastercolumn_get_ids(DB_INSTANCE *instance, int32_t view_id, int32_t *count,
                                             int32_t **ids);

#ifdef __cplusplus
}
#endif

#endif
