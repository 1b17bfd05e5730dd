/* The XDR transport of a channel (type 1): values and engine records as XDR
 * (base/system/xdr_records.h) in ONC record marking over a connected TCP
 * socket. Each value or record a write member sends is one record of the
 * record stream (an empty one when it puts nothing, as an empty block) and
 * each read member consumes exactly one record, whatever
 * of it the decode did not use; all segments of one blob and its end share
 * one record, and a filter array spans three records per shape filter (the
 * shape ends the first, its coordinate reference is the second).
 *
 * Output is buffered: records collect in the send buffer (a full buffer goes
 * out as a fragment) until a read, a flush or a blob end with flush sends
 * them. A fragment is a 4-byte big-endian header, whose bit 31 marks the last
 * fragment of a record and whose other bits give its length, and the bytes.
 *
 * Every member answers 0; -1 when a piece could not be moved or the peer sent
 * what the form forbids (a length or count beyond its maximum or the room
 * the caller gives); -999 when memory for received data runs out (-12 for
 * the SQL construct); -65 or -66 when a write is given a null pointer with a
 * count or a count out of range, or a read a null record: then nothing is
 * sent or read. A read or write that fails otherwise leaves the stream out of
 * step: the transport is broken and every later member answers -1 without
 * touching the socket. What a read allocates belongs to the caller and is
 * freed as base/system/so_channel.h says for the same record. */
#ifndef XDR_CHANNEL_H
#define XDR_CHANNEL_H

#include <stdint.h>

#include "base/system/so_channel.h"
#include "base/system/xdr_records.h"
#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct XDR_CHANNEL XDR_CHANNEL;

/* A transport over the connected socket *socket with a send buffer of
 * send_size and a receive buffer of receive_size bytes (libtirpc rounds them
 * to a multiple of 4; 0 takes its default). Made in reading mode. Null when
 * memory runs out or a size is negative. The socket stays the caller's. */
ZEL_API XDR_CHANNEL *XDR_create(const int *socket, int32_t send_size, int32_t receive_size);
/* Sends what is pending when flush is non-zero (and the transport is not
 * broken), then frees the transport; null ignored. */
ZEL_API void XDR_destroy(XDR_CHANNEL *ch, int32_t flush);
/* Ends the current record and sends everything pending; the transport is
 * then reading. 0, or -1 when not all went out. */
ZEL_API int32_t XDR_flush(XDR_CHANNEL *ch);
/* Whether input waits on the socket, without waiting: 1 yes (a closed or
 * failed peer too), 0 no, -1 error (a descriptor of any number). Records
 * already received into the buffer are not counted. */
ZEL_API int32_t xdr_data_waiting(XDR_CHANNEL *ch);
/* The direction of a stream, nothing else. */
ZEL_API void XDR_set_read_mode(XDR *stream);
ZEL_API void XDR_set_write_mode(XDR *stream);

ZEL_API int32_t XDR_read_long(XDR_CHANNEL *ch, int32_t *value);
ZEL_API int32_t XDR_write_long(XDR_CHANNEL *ch, int32_t value);
ZEL_API int32_t XDR_read_ulong(XDR_CHANNEL *ch, uint32_t *value);
ZEL_API int32_t XDR_write_ulong(XDR_CHANNEL *ch, uint32_t value);
ZEL_API int32_t XDR_read_float(XDR_CHANNEL *ch, float *value);
ZEL_API int32_t XDR_write_float(XDR_CHANNEL *ch, float value);
ZEL_API int32_t XDR_read_lfloat(XDR_CHANNEL *ch, double *value);
ZEL_API int32_t XDR_write_lfloat(XDR_CHANNEL *ch, double value);
ZEL_API int32_t XDR_read_short(XDR_CHANNEL *ch, int16_t *value);
ZEL_API int32_t XDR_write_short(XDR_CHANNEL *ch, int16_t value);
ZEL_API int32_t XDR_read_pt3d(XDR_CHANNEL *ch, int32_t *x, int32_t *y, int32_t *z);
ZEL_API int32_t XDR_write_pt3d(XDR_CHANNEL *ch, int32_t x, int32_t y, int32_t z);
ZEL_API int32_t XDR_read_envp(XDR_CHANNEL *ch, ENVELOPE *envelope);
ZEL_API int32_t XDR_write_envp(XDR_CHANNEL *ch, const ENVELOPE *envelope);
ZEL_API int32_t XDR_read_date(XDR_CHANNEL *ch, VE_DATE *date);
ZEL_API int32_t XDR_write_date(XDR_CHANNEL *ch, const VE_DATE *date);

/* Arrays whose count both sides know (the caller's array holds count). */
ZEL_API int32_t XDR_read_fid_array(XDR_CHANNEL *ch, int32_t *ids, int32_t count);
ZEL_API int32_t XDR_write_fid_array(XDR_CHANNEL *ch, const int32_t *ids, int32_t count);
ZEL_API int32_t XDR_read_lfloat_array(XDR_CHANNEL *ch, double *values, int32_t count);
ZEL_API int32_t XDR_write_lfloat_array(XDR_CHANNEL *ch, const double *values, int32_t count);
ZEL_API int32_t XDR_read_block(XDR_CHANNEL *ch, void *buffer, int32_t length);
ZEL_API int32_t XDR_write_block(XDR_CHANNEL *ch, const void *buffer, int32_t length);

/* A short count and the shorts, read into values (room for capacity). */
ZEL_API int32_t XDR_read_short_array(XDR_CHANNEL *ch, int16_t *count, int16_t *values,
                                     int16_t capacity);
ZEL_API int32_t XDR_write_short_array(XDR_CHANNEL *ch, int16_t count, const int16_t *values);

/* A string into buffer (capacity bytes with the terminator). A null string
 * is sent like an empty one. */
ZEL_API int32_t XDR_read_string(XDR_CHANNEL *ch, char *buffer, int32_t capacity);
ZEL_API int32_t XDR_write_string(XDR_CHANNEL *ch, const char *string);
/* A string the read allocates; null for an empty or null string. */
ZEL_API int32_t XDR_read_dynamic_string(XDR_CHANNEL *ch, char **string);
ZEL_API int32_t XDR_write_dynamic_string(XDR_CHANNEL *ch, const char *string);

/* A blob segment into buffer (capacity bytes): its length and last flag. */
ZEL_API int32_t XDR_read_blob_seg(XDR_CHANNEL *ch, void *buffer, int32_t capacity, int32_t *length,
                                  int32_t *last);
ZEL_API int32_t XDR_write_blob_seg(XDR_CHANNEL *ch, const void *buffer, int32_t length,
                                   int32_t last);
/* A blob's segments and its end (the padding of its total length to 4) share
 * one record: a segment continues the record of the segment before it; the
 * end with flush sends everything. The end's read skips to the next record
 * when skip is non-zero. */
ZEL_API int32_t XDR_read_blob_end(XDR_CHANNEL *ch, int32_t total_length, int32_t skip);
ZEL_API int32_t XDR_write_blob_end(XDR_CHANNEL *ch, int32_t total_length, int32_t flush);

ZEL_API int32_t XDR_read_release(XDR_CHANNEL *ch, RELEASE *release);
ZEL_API int32_t XDR_read_release_old(XDR_CHANNEL *ch, RELEASE *release);
ZEL_API int32_t XDR_write_release(XDR_CHANNEL *ch, const RELEASE *release);

/* Ids, count, entity type, the compressed bytes (grown into the feature's
 * buffer; they must be one whole compressed feature of the size sent) and
 * the annotation text when the bytes say there is one. */
ZEL_API int32_t XDR_read_compressed_feature(XDR_CHANNEL *ch, FEATURE_STRUCT *feature);
ZEL_API int32_t XDR_write_compressed_feature(XDR_CHANNEL *ch, const FEATURE_STRUCT *feature);
/* The feature with its points. With allocate the read gives the feature new
 * point arrays; without, its own arrays must hold the points that come (their
 * room is allocated_points). The feature's coordinate reference stays. */
ZEL_API int32_t XDR_readf(XDR_CHANNEL *ch, FEATURE_STRUCT *feature, int32_t allocate);
ZEL_API int32_t XDR_writef(XDR_CHANNEL *ch, const FEATURE_STRUCT *feature);

/* The read frees the old text of the coordinate reference. */
ZEL_API int32_t XDR_read_coordref(XDR_CHANNEL *ch, COORDREF *coordref);
ZEL_API int32_t XDR_write_coordref(XDR_CHANNEL *ch, const COORDREF *coordref);
ZEL_API int32_t XDR_read_coordref_old(XDR_CHANNEL *ch, COORDREF *coordref);
ZEL_API int32_t XDR_write_coordref_old(XDR_CHANNEL *ch, const COORDREF *coordref);

/* A layer with its coordinate reference, read into the layer's own (one is
 * created for a layer that has none). Lists are read into the caller's array
 * of capacity layers. */
ZEL_API int32_t XDR_read_layer(XDR_CHANNEL *ch, LAYER *layer);
ZEL_API int32_t XDR_write_layer(XDR_CHANNEL *ch, const LAYER *layer);
ZEL_API int32_t XDR_read_layer_old(XDR_CHANNEL *ch, LAYER *layer);
ZEL_API int32_t XDR_write_layer_old(XDR_CHANNEL *ch, const LAYER *layer);
ZEL_API int32_t XDR_read_layer_list(XDR_CHANNEL *ch, LAYER *layers, int32_t capacity,
                                    int32_t *count);
ZEL_API int32_t XDR_write_layer_list(XDR_CHANNEL *ch, const LAYER *layers, int32_t count);
ZEL_API int32_t XDR_read_layer_list_old(XDR_CHANNEL *ch, LAYER *layers, int32_t capacity,
                                        int32_t *count);
ZEL_API int32_t XDR_write_layer_list_old(XDR_CHANNEL *ch, const LAYER *layers, int32_t count);

/* The read fills the record with a new table-name array (one block) and a
 * new WHERE clause; a null construct is sent as an empty one. */
ZEL_API int32_t XDR_read_construct(XDR_CHANNEL *ch, VE_SQL_CONSTRUCT *construct);
ZEL_API int32_t XDR_write_construct(XDR_CHANNEL *ch, const VE_SQL_CONSTRUCT *construct);

/* The read allocates the array (null for none). */
ZEL_API int32_t XDR_read_column_def(XDR_CHANNEL *ch, int16_t *count, DB_COLUMN_DEF **defs);
ZEL_API int32_t XDR_write_column_def(XDR_CHANNEL *ch, int16_t count, const DB_COLUMN_DEF *defs);
ZEL_API int32_t XDR_read_column_def_old(XDR_CHANNEL *ch, int16_t *count, DB_COLUMN_DEF **defs);
ZEL_API int32_t XDR_write_column_def_old(XDR_CHANNEL *ch, int16_t count, const DB_COLUMN_DEF *defs);

/* The read allocates one block of filters with their relation texts, and per
 * shape filter a feature (with its point arrays and a coordinate reference
 * from the geometry module) that the caller frees with its parts. */
ZEL_API int32_t XDR_read_filter_array(XDR_CHANNEL *ch, int16_t *count, VE_FILTER **filters);
ZEL_API int32_t XDR_write_filter_array(XDR_CHANNEL *ch, int16_t count, const VE_FILTER *filters);
ZEL_API int32_t XDR_read_filter_array_old(XDR_CHANNEL *ch, int16_t *count, VE_FILTER **filters);
ZEL_API int32_t XDR_write_filter_array_old(XDR_CHANNEL *ch, int16_t count,
                                           const VE_FILTER *filters);

/* The read keeps the record's first word and gives it new name arrays,
 * construct and texts; -259 for a null record. A null query is sent as an
 * all-zero one. */
ZEL_API int32_t XDR_read_queryinfo(XDR_CHANNEL *ch, VE_QUERYINFO *info);
ZEL_API int32_t XDR_write_queryinfo(XDR_CHANNEL *ch, const VE_QUERYINFO *info);

ZEL_API int32_t XDR_read_ve_si_stats(XDR_CHANNEL *ch, VE_SPIDX_STATS *stats);
ZEL_API int32_t XDR_write_ve_si_stats(XDR_CHANNEL *ch, const VE_SPIDX_STATS *stats);
ZEL_API int32_t XDR_read_ve_layer_stats(XDR_CHANNEL *ch, VE_LAYER_STATS *stats);
ZEL_API int32_t XDR_write_ve_layer_stats(XDR_CHANNEL *ch, const VE_LAYER_STATS *stats);

/* Lists are read into the caller's array of capacity records; the count
 * that arrived is stored in *count. */
ZEL_API int32_t XDR_read_ve_layer_locks_list(XDR_CHANNEL *ch, VE_LAYER_LOCKS *locks,
                                             int32_t capacity, int32_t *count);
ZEL_API int32_t XDR_write_ve_layer_locks_list(XDR_CHANNEL *ch, const VE_LAYER_LOCKS *locks,
                                              int32_t count);
ZEL_API int32_t XDR_read_ve_table_lock_list(XDR_CHANNEL *ch, VE_TABLE_LOCK *locks, int32_t capacity,
                                            int32_t *count);
ZEL_API int32_t XDR_write_ve_table_lock_list(XDR_CHANNEL *ch, const VE_TABLE_LOCK *locks,
                                             int32_t count);
ZEL_API int32_t XDR_read_ve_version_lock_list(XDR_CHANNEL *ch, VE_VERSION_LOCK *locks,
                                              int32_t capacity, int32_t *count);
ZEL_API int32_t XDR_write_ve_version_lock_list(XDR_CHANNEL *ch, const VE_VERSION_LOCK *locks,
                                               int32_t count);
ZEL_API int32_t XDR_read_object_lock(XDR_CHANNEL *ch, VE_OBJECT_LOCK *lock);
ZEL_API int32_t XDR_write_object_lock(XDR_CHANNEL *ch, const VE_OBJECT_LOCK *lock);
ZEL_API int32_t XDR_read_object_lock_list(XDR_CHANNEL *ch, VE_OBJECT_LOCK *locks, int32_t capacity,
                                          int32_t *count);
ZEL_API int32_t XDR_write_object_lock_list(XDR_CHANNEL *ch, const VE_OBJECT_LOCK *locks,
                                           int32_t count);

ZEL_API int32_t XDR_read_registration(XDR_CHANNEL *ch, REGISTRATION *registration);
ZEL_API int32_t XDR_write_registration(XDR_CHANNEL *ch, const REGISTRATION *registration);
ZEL_API int32_t XDR_read_registration_list(XDR_CHANNEL *ch, REGISTRATION *registrations,
                                           int32_t capacity, int32_t *count);
ZEL_API int32_t XDR_write_registration_list(XDR_CHANNEL *ch, const REGISTRATION *registrations,
                                            int32_t count);

/* The read keeps the record's first word. */
ZEL_API int32_t XDR_read_metadata(XDR_CHANNEL *ch, METADATA *metadata);
ZEL_API int32_t XDR_write_metadata(XDR_CHANNEL *ch, const METADATA *metadata);
ZEL_API int32_t XDR_read_metadata_list(XDR_CHANNEL *ch, METADATA *metadata, int32_t capacity,
                                       int32_t *count);
ZEL_API int32_t XDR_write_metadata_list(XDR_CHANNEL *ch, const METADATA *metadata, int32_t count);

/* The coordinate reference travels when the record has one; the read creates
 * one for a record without, or frees the record's own when none came. */
ZEL_API int32_t XDR_read_rastercolumn(XDR_CHANNEL *ch, RASTERCOLUMN *column);
ZEL_API int32_t XDR_write_rastercolumn(XDR_CHANNEL *ch, const RASTERCOLUMN *column);
ZEL_API int32_t XDR_read_rastercolumn_list(XDR_CHANNEL *ch, RASTERCOLUMN *columns, int32_t capacity,
                                           int32_t *count);
ZEL_API int32_t XDR_write_rastercolumn_list(XDR_CHANNEL *ch, const RASTERCOLUMN *columns,
                                            int32_t count);

/* The read clears the band's statistics, colormap and bitmap pointers. */
ZEL_API int32_t XDR_read_rasterband(XDR_CHANNEL *ch, RASTERBAND *band);
ZEL_API int32_t XDR_write_rasterband(XDR_CHANNEL *ch, const RASTERBAND *band);
ZEL_API int32_t XDR_read_rasterband_list(XDR_CHANNEL *ch, RASTERBAND *bands, int32_t capacity,
                                         int32_t *count);
ZEL_API int32_t XDR_write_rasterband_list(XDR_CHANNEL *ch, const RASTERBAND *bands, int32_t count);
ZEL_API int32_t XDR_read_raster(XDR_CHANNEL *ch, RASTER *raster);
ZEL_API int32_t XDR_write_raster(XDR_CHANNEL *ch, const RASTER *raster);
/* The record's owned array and its count stay the receiver's. */
ZEL_API int32_t XDR_read_rasterattr(XDR_CHANNEL *ch, RASTERATTR *attr);
ZEL_API int32_t XDR_write_rasterattr(XDR_CHANNEL *ch, const RASTERATTR *attr);
/* The read allocates the record and its band numbers; the caller frees the
 * band array, then the record. */
ZEL_API int32_t XDR_read_rasconstraint(XDR_CHANNEL *ch, RASCONSTRAINT **constraint);
ZEL_API int32_t XDR_write_rasconstraint(XDR_CHANNEL *ch, const RASCONSTRAINT *constraint);

/* States travel with their lineage blocks, which the read allocates. */
ZEL_API int32_t XDR_read_state(XDR_CHANNEL *ch, STATE *state);
ZEL_API int32_t XDR_write_state(XDR_CHANNEL *ch, const STATE *state);
ZEL_API int32_t XDR_read_state_list(XDR_CHANNEL *ch, STATE *states, int32_t capacity,
                                    int32_t *count);
ZEL_API int32_t XDR_write_state_list(XDR_CHANNEL *ch, const STATE *states, int32_t count);
ZEL_API int32_t XDR_read_version(XDR_CHANNEL *ch, VERSION *version);
ZEL_API int32_t XDR_write_version(XDR_CHANNEL *ch, const VERSION *version);
ZEL_API int32_t XDR_read_version_list(XDR_CHANNEL *ch, VERSION *versions, int32_t capacity,
                                      int32_t *count);
ZEL_API int32_t XDR_write_version_list(XDR_CHANNEL *ch, const VERSION *versions, int32_t count);

/* The read allocates the array (null for none). */
ZEL_API int32_t XDR_read_input_desc(XDR_CHANNEL *ch, int16_t *count, VE_INPUT_DESC **descs);
ZEL_API int32_t XDR_write_input_desc(XDR_CHANNEL *ch, int16_t count, const VE_INPUT_DESC *descs);

ZEL_API int32_t XDR_read_logfile(XDR_CHANNEL *ch, LOGFILE *logfile);
ZEL_API int32_t XDR_write_logfile(XDR_CHANNEL *ch, const LOGFILE *logfile);
ZEL_API int32_t XDR_read_logfile_list(XDR_CHANNEL *ch, LOGFILE *logfiles, int32_t capacity,
                                      int32_t *count);
ZEL_API int32_t XDR_write_logfile_list(XDR_CHANNEL *ch, const LOGFILE *logfiles, int32_t count);

/* The read allocates the definitions in the layout of
 * base/util/ve_index_def.h; the caller frees them by that header's rule. At
 * most DB_INDEX_MAX_COLUMNS key columns travel per index. */
ZEL_API int32_t XDR_read_index_def(XDR_CHANNEL *ch, int16_t *count, DB_INDEX_DEF **defs);
ZEL_API int32_t XDR_write_index_def(XDR_CHANNEL *ch, int16_t count, const DB_INDEX_DEF *defs);

/* A spatial reference with its coordinate reference, read into the record's
 * own (one is created for a record that has none). */
ZEL_API int32_t XDR_read_spatialref(XDR_CHANNEL *ch, VE_SPATIALREF *spatialref);
ZEL_API int32_t XDR_write_spatialref(XDR_CHANNEL *ch, const VE_SPATIALREF *spatialref);
ZEL_API int32_t XDR_read_spatialref_list(XDR_CHANNEL *ch, VE_SPATIALREF *spatialrefs,
                                         int32_t capacity, int32_t *count);
ZEL_API int32_t XDR_write_spatialref_list(XDR_CHANNEL *ch, const VE_SPATIALREF *spatialrefs,
                                          int32_t count);

/* Locators with their properties; the read gives each locator new name and
 * value arrays (one block each; null without properties). */
ZEL_API int32_t XDR_read_locator(XDR_CHANNEL *ch, LOCATOR *locator);
ZEL_API int32_t XDR_write_locator(XDR_CHANNEL *ch, const LOCATOR *locator);
ZEL_API int32_t XDR_read_locator_list(XDR_CHANNEL *ch, LOCATOR *locators, int32_t capacity,
                                      int32_t *count);
ZEL_API int32_t XDR_write_locator_list(XDR_CHANNEL *ch, const LOCATOR *locators, int32_t count);

/* Older forms of the release (chosen by its major either way) and of the SQL
 * construct (its clause one character per int). */
ZEL_API int32_t XDR_read_construct_old(XDR_CHANNEL *ch, VE_SQL_CONSTRUCT *construct);
ZEL_API int32_t XDR_write_construct_old(XDR_CHANNEL *ch, const VE_SQL_CONSTRUCT *construct);

/* Primitives over a memory stream (no record marking), in the direction the
 * call names: the stream is switched to it first. 0 or -1. A string is read
 * into buffer of capacity bytes (at most 4096 characters); a date is zeroed
 * before it is decoded; a block is n bytes and the padding to 4. */
ZEL_API int32_t XDRMEM_read_long(XDR *stream, int32_t *value);
ZEL_API int32_t XDRMEM_write_long(XDR *stream, int32_t value);
ZEL_API int32_t XDRMEM_read_ulong(XDR *stream, uint32_t *value);
ZEL_API int32_t XDRMEM_write_ulong(XDR *stream, uint32_t value);
ZEL_API int32_t XDRMEM_read_float(XDR *stream, float *value);
ZEL_API int32_t XDRMEM_write_float(XDR *stream, float value);
ZEL_API int32_t XDRMEM_read_lfloat(XDR *stream, double *value);
ZEL_API int32_t XDRMEM_write_lfloat(XDR *stream, double value);
ZEL_API int32_t XDRMEM_read_short(XDR *stream, int16_t *value);
ZEL_API int32_t XDRMEM_write_short(XDR *stream, int16_t value);
ZEL_API int32_t XDRMEM_read_string(XDR *stream, char *buffer, int32_t capacity);
ZEL_API int32_t XDRMEM_write_string(XDR *stream, const char *string);
ZEL_API int32_t XDRMEM_read_date(XDR *stream, VE_DATE *date);
ZEL_API int32_t XDRMEM_write_date(XDR *stream, const VE_DATE *date);
ZEL_API int32_t XDRMEM_read_block(XDR *stream, void *buffer, int32_t n);
ZEL_API int32_t XDRMEM_write_block(XDR *stream, const void *buffer, int32_t n);
/* The feature's header and points in the stream's current direction; a
 * decode fills the feature's own arrays, whose room is its
 * allocated_points. On failure the stream goes back to where it was; the
 * feature's array pointers always stay. */
ZEL_API int32_t XDRMEM_feature(FEATURE_STRUCT *feature, XDR *stream);

/* One blob segment of a blob's record: long length, long last flag and the
 * bytes without padding; the end: the padding of the blob's total length to
 * 4. A null length pointer does nothing. The read takes the room of buffer
 * (capacity bytes); a negative length is refused both ways. */
ZEL_API bool_t XDR_blob_seg(XDR *stream, char *buffer, int32_t capacity, int32_t *length,
                            int32_t *last);
ZEL_API bool_t XDR_blob_end(XDR *stream, int32_t total_length);

#ifdef __cplusplus
}
#endif

#endif
