/* The socket transport of a channel (type 0): values and engine records in
 * their raw forms over a connected TCP socket, small values gathered in a
 * write area and received through a read area, large pieces moved straight.
 * The raw forms (little-endian longs, strings as a length counting the NUL
 * and the bytes, records as their 32-bit images followed by what they point
 * to) are laid out in base/system/raw_form_internal.h.
 *
 * Every member answers 0; -1 when a piece could not be moved in full or the
 * peer sent what the form forbids (a length or count beyond the room the
 * caller gives, a record that disagrees with itself); -999 when memory for
 * received data runs out (-12 for the SQL construct and the texts of a query
 * description); -65 or -66 when a write is given a null pointer with a count
 * or a negative count (nothing is then sent). After a failed transfer the
 * transport is broken: the stream is out of step, and every later member
 * answers -1 without touching the socket. What a read allocates belongs to
 * the caller and is released with the C heap's free, unless stated. */
#ifndef SO_CHANNEL_H
#define SO_CHANNEL_H

#include <stdint.h>

#include "base/util/db_column_def.h"
#include "base/util/ve_date.h"
#include "base/util/ve_feature.h"
#include "base/util/ve_filter.h"
#include "base/util/ve_index_def.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_locator.h"
#include "base/util/ve_locks.h"
#include "base/util/ve_loginfo.h"
#include "base/util/ve_metadata.h"
#include "base/util/ve_queryinfo.h"
#include "base/util/ve_raster.h"
#include "base/util/ve_registration.h"
#include "base/util/ve_release.h"
#include "base/util/ve_spatialref.h"
#include "base/util/ve_state.h"
#include "base/util/ve_stats.h"
#include "base/util/ve_version.h"
#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SO_CHANNEL SO_CHANNEL;

/* A transport over the connected socket *socket with a write area of
 * write_size and a read area of read_size bytes (each rounded up to a
 * multiple of 8); either size 0 makes it unbuffered. Null when memory runs
 * out or a size is negative. The socket stays the caller's. */
ZEL_API SO_CHANNEL *SO_create(const int *socket, int32_t write_size, int32_t read_size);
/* Sends what is pending (unless broken) and frees the transport; null ignored. */
ZEL_API void SO_destroy(SO_CHANNEL *so);

/* n bytes from or to a socket, without buffering: the bytes moved (fewer
 * when the peer closed first), or -1 on an error or a negative n. */
ZEL_API int32_t CH_readn(int socket, void *dst, int32_t n);
ZEL_API int32_t CH_writen(int socket, const void *src, int32_t n);

ZEL_API int32_t SO_read_long(SO_CHANNEL *so, int32_t *value);
ZEL_API int32_t SO_write_long(SO_CHANNEL *so, int32_t value);
ZEL_API int32_t SO_read_ulong(SO_CHANNEL *so, uint32_t *value);
ZEL_API int32_t SO_write_ulong(SO_CHANNEL *so, uint32_t value);
ZEL_API int32_t SO_read_float(SO_CHANNEL *so, float *value);
ZEL_API int32_t SO_write_float(SO_CHANNEL *so, float value);
ZEL_API int32_t SO_read_lfloat(SO_CHANNEL *so, double *value);
ZEL_API int32_t SO_write_lfloat(SO_CHANNEL *so, double value);
ZEL_API int32_t SO_read_short(SO_CHANNEL *so, int16_t *value);
ZEL_API int32_t SO_write_short(SO_CHANNEL *so, int16_t value);
ZEL_API int32_t SO_read_pt3d(SO_CHANNEL *so, int32_t *x, int32_t *y, int32_t *z);
ZEL_API int32_t SO_write_pt3d(SO_CHANNEL *so, int32_t x, int32_t y, int32_t z);
ZEL_API int32_t SO_read_envp(SO_CHANNEL *so, ENVELOPE *envelope);
ZEL_API int32_t SO_write_envp(SO_CHANNEL *so, const ENVELOPE *envelope);
ZEL_API int32_t SO_read_date(SO_CHANNEL *so, VE_DATE *date);
ZEL_API int32_t SO_write_date(SO_CHANNEL *so, const VE_DATE *date);

/* Arrays whose count both sides know (the caller's array holds count). */
ZEL_API int32_t SO_read_fid_array(SO_CHANNEL *so, int32_t *ids, int32_t count);
ZEL_API int32_t SO_write_fid_array(SO_CHANNEL *so, const int32_t *ids, int32_t count);
ZEL_API int32_t SO_read_lfloat_array(SO_CHANNEL *so, double *values, int32_t count);
ZEL_API int32_t SO_write_lfloat_array(SO_CHANNEL *so, const double *values, int32_t count);
ZEL_API int32_t SO_read_block(SO_CHANNEL *so, void *buffer, int32_t length);
ZEL_API int32_t SO_write_block(SO_CHANNEL *so, const void *buffer, int32_t length);

/* A short count and the shorts, read into values (room for capacity). */
ZEL_API int32_t SO_read_short_array(SO_CHANNEL *so, int16_t *count, int16_t *values,
                                    int16_t capacity);
ZEL_API int32_t SO_write_short_array(SO_CHANNEL *so, int16_t count, const int16_t *values);

/* A string into buffer (capacity bytes with the terminator). A null string
 * is sent like an empty one. */
ZEL_API int32_t SO_read_string(SO_CHANNEL *so, char *buffer, int32_t capacity);
ZEL_API int32_t SO_write_string(SO_CHANNEL *so, const char *string);
/* A string the read allocates; null for an empty or null string. */
ZEL_API int32_t SO_read_dynamic_string(SO_CHANNEL *so, char **string);
ZEL_API int32_t SO_write_dynamic_string(SO_CHANNEL *so, const char *string);

/* A blob segment into buffer (capacity bytes): its length and last flag. */
ZEL_API int32_t SO_read_blob_seg(SO_CHANNEL *so, void *buffer, int32_t capacity, int32_t *length,
                                 int32_t *last);
ZEL_API int32_t SO_write_blob_seg(SO_CHANNEL *so, const void *buffer, int32_t length, int32_t last);
/* A blob's end carries nothing on a socket. */
ZEL_API int32_t SO_read_blob_end(SO_CHANNEL *so, int32_t total_length, int32_t skip);
ZEL_API int32_t SO_write_blob_end(SO_CHANNEL *so, int32_t total_length, int32_t flush);

ZEL_API int32_t SO_read_release(SO_CHANNEL *so, RELEASE *release);
ZEL_API int32_t SO_read_release_old(SO_CHANNEL *so, RELEASE *release);
ZEL_API int32_t SO_write_release(SO_CHANNEL *so, const RELEASE *release);

/* Ids, count, entity type, the compressed bytes (grown into the feature's
 * buffer; they must be one whole compressed feature of the size sent) and
 * the annotation text when the bytes say there is one. */
ZEL_API int32_t SO_read_compressed_feature(SO_CHANNEL *so, FEATURE_STRUCT *feature);
ZEL_API int32_t SO_write_compressed_feature(SO_CHANNEL *so, const FEATURE_STRUCT *feature);
/* The feature with its points. With allocate the read gives the feature new
 * point arrays; without, its own arrays must hold the points that come (their
 * room is allocated_points). The feature's coordinate reference stays. */
ZEL_API int32_t SO_readf(SO_CHANNEL *so, FEATURE_STRUCT *feature, int32_t allocate);
ZEL_API int32_t SO_writef(SO_CHANNEL *so, const FEATURE_STRUCT *feature);

/* The read frees the old text of the coordinate reference. */
ZEL_API int32_t SO_read_coordref(SO_CHANNEL *so, COORDREF *coordref);
ZEL_API int32_t SO_write_coordref(SO_CHANNEL *so, const COORDREF *coordref);
ZEL_API int32_t SO_read_coordref_old(SO_CHANNEL *so, COORDREF *coordref);
ZEL_API int32_t SO_write_coordref_old(SO_CHANNEL *so, const COORDREF *coordref);

/* A layer with its coordinate reference, read into the layer's own (one is
 * created for a layer that has none). Lists are read into the caller's array
 * of capacity layers. */
ZEL_API int32_t SO_read_layer(SO_CHANNEL *so, LAYER *layer);
ZEL_API int32_t SO_write_layer(SO_CHANNEL *so, const LAYER *layer);
ZEL_API int32_t SO_read_layer_old(SO_CHANNEL *so, LAYER *layer);
ZEL_API int32_t SO_write_layer_old(SO_CHANNEL *so, const LAYER *layer);
ZEL_API int32_t SO_read_layer_list(SO_CHANNEL *so, LAYER *layers, int32_t capacity, int32_t *count);
ZEL_API int32_t SO_write_layer_list(SO_CHANNEL *so, const LAYER *layers, int32_t count);
ZEL_API int32_t SO_read_layer_list_old(SO_CHANNEL *so, LAYER *layers, int32_t capacity,
                                       int32_t *count);
ZEL_API int32_t SO_write_layer_list_old(SO_CHANNEL *so, const LAYER *layers, int32_t count);

/* The read fills the record with a new table-name array (one block) and a
 * new WHERE clause; a null construct is sent as an empty one. */
ZEL_API int32_t SO_read_construct(SO_CHANNEL *so, VE_SQL_CONSTRUCT *construct);
ZEL_API int32_t SO_write_construct(SO_CHANNEL *so, const VE_SQL_CONSTRUCT *construct);

/* The read allocates the array (null for none). */
ZEL_API int32_t SO_read_column_def(SO_CHANNEL *so, int16_t *count, DB_COLUMN_DEF **defs);
ZEL_API int32_t SO_write_column_def(SO_CHANNEL *so, int16_t count, const DB_COLUMN_DEF *defs);
ZEL_API int32_t SO_read_column_def_old(SO_CHANNEL *so, int16_t *count, DB_COLUMN_DEF **defs);
ZEL_API int32_t SO_write_column_def_old(SO_CHANNEL *so, int16_t count, const DB_COLUMN_DEF *defs);

/* The read allocates one block of filters with their relation texts, and per
 * shape filter a feature (with its point arrays and a coordinate reference
 * from the geometry module) that the caller frees with its parts. */
ZEL_API int32_t SO_read_filter_array(SO_CHANNEL *so, int16_t *count, VE_FILTER **filters);
ZEL_API int32_t SO_write_filter_array(SO_CHANNEL *so, int16_t count, const VE_FILTER *filters);
ZEL_API int32_t SO_read_filter_array_old(SO_CHANNEL *so, int16_t *count, VE_FILTER **filters);
ZEL_API int32_t SO_write_filter_array_old(SO_CHANNEL *so, int16_t count, const VE_FILTER *filters);

/* The read keeps the record's first word and gives it new name arrays,
 * construct and texts; -259 for a null record. A null query is sent as an
 * all-zero one. */
ZEL_API int32_t SO_read_queryinfo(SO_CHANNEL *so, VE_QUERYINFO *info);
ZEL_API int32_t SO_write_queryinfo(SO_CHANNEL *so, const VE_QUERYINFO *info);

ZEL_API int32_t SO_read_ve_si_stats(SO_CHANNEL *so, VE_SPIDX_STATS *stats);
ZEL_API int32_t SO_write_ve_si_stats(SO_CHANNEL *so, const VE_SPIDX_STATS *stats);
ZEL_API int32_t SO_read_ve_layer_stats(SO_CHANNEL *so, VE_LAYER_STATS *stats);
ZEL_API int32_t SO_write_ve_layer_stats(SO_CHANNEL *so, const VE_LAYER_STATS *stats);

/* Lists are read into the caller's array of capacity records; the count
 * that arrived is stored in *count. */
ZEL_API int32_t SO_read_ve_layer_locks_list(SO_CHANNEL *so, VE_LAYER_LOCKS *locks, int32_t capacity,
                                            int32_t *count);
ZEL_API int32_t SO_write_ve_layer_locks_list(SO_CHANNEL *so, const VE_LAYER_LOCKS *locks,
                                             int32_t count);
ZEL_API int32_t SO_read_ve_table_lock_list(SO_CHANNEL *so, VE_TABLE_LOCK *locks, int32_t capacity,
                                           int32_t *count);
ZEL_API int32_t SO_write_ve_table_lock_list(SO_CHANNEL *so, const VE_TABLE_LOCK *locks,
                                            int32_t count);
ZEL_API int32_t SO_read_ve_version_lock_list(SO_CHANNEL *so, VE_VERSION_LOCK *locks,
                                             int32_t capacity, int32_t *count);
ZEL_API int32_t SO_write_ve_version_lock_list(SO_CHANNEL *so, const VE_VERSION_LOCK *locks,
                                              int32_t count);
ZEL_API int32_t SO_read_object_lock(SO_CHANNEL *so, VE_OBJECT_LOCK *lock);
ZEL_API int32_t SO_write_object_lock(SO_CHANNEL *so, const VE_OBJECT_LOCK *lock);
ZEL_API int32_t SO_read_object_lock_list(SO_CHANNEL *so, VE_OBJECT_LOCK *locks, int32_t capacity,
                                         int32_t *count);
ZEL_API int32_t SO_write_object_lock_list(SO_CHANNEL *so, const VE_OBJECT_LOCK *locks,
                                          int32_t count);

ZEL_API int32_t SO_read_registration(SO_CHANNEL *so, REGISTRATION *registration);
ZEL_API int32_t SO_write_registration(SO_CHANNEL *so, const REGISTRATION *registration);
ZEL_API int32_t SO_read_registration_list(SO_CHANNEL *so, REGISTRATION *registrations,
                                          int32_t capacity, int32_t *count);
ZEL_API int32_t SO_write_registration_list(SO_CHANNEL *so, const REGISTRATION *registrations,
                                           int32_t count);

/* The read keeps the record's first word. */
ZEL_API int32_t SO_read_metadata(SO_CHANNEL *so, METADATA *metadata);
ZEL_API int32_t SO_write_metadata(SO_CHANNEL *so, const METADATA *metadata);
ZEL_API int32_t SO_read_metadata_list(SO_CHANNEL *so, METADATA *metadata, int32_t capacity,
                                      int32_t *count);
ZEL_API int32_t SO_write_metadata_list(SO_CHANNEL *so, const METADATA *metadata, int32_t count);

/* The coordinate reference travels when the record has one; the read creates
 * one for a record without, or frees the record's own when none came. */
ZEL_API int32_t SO_read_rastercolumn(SO_CHANNEL *so, RASTERCOLUMN *column);
ZEL_API int32_t SO_write_rastercolumn(SO_CHANNEL *so, const RASTERCOLUMN *column);
ZEL_API int32_t SO_read_rastercolumn_list(SO_CHANNEL *so, RASTERCOLUMN *columns, int32_t capacity,
                                          int32_t *count);
ZEL_API int32_t SO_write_rastercolumn_list(SO_CHANNEL *so, const RASTERCOLUMN *columns,
                                           int32_t count);

/* The read clears the band's statistics, colormap and bitmap pointers. */
ZEL_API int32_t SO_read_rasterband(SO_CHANNEL *so, RASTERBAND *band);
ZEL_API int32_t SO_write_rasterband(SO_CHANNEL *so, const RASTERBAND *band);
ZEL_API int32_t SO_read_rasterband_list(SO_CHANNEL *so, RASTERBAND *bands, int32_t capacity,
                                        int32_t *count);
ZEL_API int32_t SO_write_rasterband_list(SO_CHANNEL *so, const RASTERBAND *bands, int32_t count);
ZEL_API int32_t SO_read_raster(SO_CHANNEL *so, RASTER *raster);
ZEL_API int32_t SO_write_raster(SO_CHANNEL *so, const RASTER *raster);
/* The record's owned array and its count stay the receiver's. */
ZEL_API int32_t SO_read_rasterattr(SO_CHANNEL *so, RASTERATTR *attr);
ZEL_API int32_t SO_write_rasterattr(SO_CHANNEL *so, const RASTERATTR *attr);
/* The read allocates the record and its band numbers; the caller frees the
 * band array, then the record. */
ZEL_API int32_t SO_read_rasconstraint(SO_CHANNEL *so, RASCONSTRAINT **constraint);
ZEL_API int32_t SO_write_rasconstraint(SO_CHANNEL *so, const RASCONSTRAINT *constraint);

/* States travel with their lineage blocks, which the read allocates. */
ZEL_API int32_t SO_read_state(SO_CHANNEL *so, STATE *state);
ZEL_API int32_t SO_write_state(SO_CHANNEL *so, const STATE *state);
ZEL_API int32_t SO_read_state_list(SO_CHANNEL *so, STATE *states, int32_t capacity, int32_t *count);
ZEL_API int32_t SO_write_state_list(SO_CHANNEL *so, const STATE *states, int32_t count);
ZEL_API int32_t SO_read_version(SO_CHANNEL *so, VERSION *version);
ZEL_API int32_t SO_write_version(SO_CHANNEL *so, const VERSION *version);
ZEL_API int32_t SO_read_version_list(SO_CHANNEL *so, VERSION *versions, int32_t capacity,
                                     int32_t *count);
ZEL_API int32_t SO_write_version_list(SO_CHANNEL *so, const VERSION *versions, int32_t count);

/* The read allocates the array (null for none). */
ZEL_API int32_t SO_read_input_desc(SO_CHANNEL *so, int16_t *count, VE_INPUT_DESC **descs);
ZEL_API int32_t SO_write_input_desc(SO_CHANNEL *so, int16_t count, const VE_INPUT_DESC *descs);

ZEL_API int32_t SO_read_logfile(SO_CHANNEL *so, LOGFILE *logfile);
ZEL_API int32_t SO_write_logfile(SO_CHANNEL *so, const LOGFILE *logfile);
ZEL_API int32_t SO_read_logfile_list(SO_CHANNEL *so, LOGFILE *logfiles, int32_t capacity,
                                     int32_t *count);
ZEL_API int32_t SO_write_logfile_list(SO_CHANNEL *so, const LOGFILE *logfiles, int32_t count);

/* The read allocates the definitions in the layout of
 * base/util/ve_index_def.h; the caller frees them by that header's rule. At
 * most DB_INDEX_MAX_COLUMNS key columns travel per index. */
ZEL_API int32_t SO_read_index_def(SO_CHANNEL *so, int16_t *count, DB_INDEX_DEF **defs);
ZEL_API int32_t SO_write_index_def(SO_CHANNEL *so, int16_t count, const DB_INDEX_DEF *defs);

/* A spatial reference with its coordinate reference, read into the record's
 * own (one is created for a record that has none). */
ZEL_API int32_t SO_read_spatialref(SO_CHANNEL *so, VE_SPATIALREF *spatialref);
ZEL_API int32_t SO_write_spatialref(SO_CHANNEL *so, const VE_SPATIALREF *spatialref);
ZEL_API int32_t SO_read_spatialref_list(SO_CHANNEL *so, VE_SPATIALREF *spatialrefs,
                                        int32_t capacity, int32_t *count);
ZEL_API int32_t SO_write_spatialref_list(SO_CHANNEL *so, const VE_SPATIALREF *spatialrefs,
                                         int32_t count);

/* Locators with their properties; the read gives each locator new name and
 * value arrays (one block each; null without properties). */
ZEL_API int32_t SO_read_locator(SO_CHANNEL *so, LOCATOR *locator);
ZEL_API int32_t SO_write_locator(SO_CHANNEL *so, const LOCATOR *locator);
ZEL_API int32_t SO_read_locator_list(SO_CHANNEL *so, LOCATOR *locators, int32_t capacity,
                                     int32_t *count);
ZEL_API int32_t SO_write_locator_list(SO_CHANNEL *so, const LOCATOR *locators, int32_t count);

#ifdef __cplusplus
}
#endif

#endif
