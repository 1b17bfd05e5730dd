/* The channel: the one object through which a server process (or a client
 * built on this library) exchanges commands and engine records with its peer.
 * The host creates one per connection over a connected socket, reads and
 * writes through the CH_ family and destroys it at the end. The channel's
 * type chooses the transport that carries the bytes: 0 the socket transport
 * (raw forms, base/system/so_channel.h), 1 XDR records, 2 and 3 the memory
 * transports. Command codes are in base/system/ch_command.h.
 *
 * Every read and write hands the record to the member of the channel's
 * transport and returns its status unchanged: 0; -1 a short transfer, a
 * broken connection, a record the peer sent against its form, or a channel
 * whose transport cannot serve (a type outside 0 to 3, a transport not built
 * here); -999 no memory for received data (-12 for the SQL construct); -65 a
 * null channel or pointer; -66 a count out of range. Nothing is retried.
 *
 * On a channel whose peer runs the older release (the old-release flag of
 * CH_create), the layer, layer list, coordinate reference, column definitions
 * and filter arrays travel in their old forms both ways, and the release
 * record is read in its old form (it is always written in the current one).
 *
 * Where a read fills the caller's storage, the caller says how much room it
 * has (capacity: bytes of a string or blob buffer, entries of a short array
 * or of a list's array); what arrives beyond it is refused with -1 and the
 * channel is then out of step. What a read allocates belongs to the caller
 * and is freed as base/system/so_channel.h says for the same record. */
#ifndef CH_CHANNEL_H
#define CH_CHANNEL_H

#include <stdint.h>

#include "base/system/so_channel.h"
#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Channel types. */
#define CH_TYPE_SOCKET 0u
#define CH_TYPE_XDR 1u
#define CH_TYPE_COORDINATED_MEMORY 2u
#define CH_TYPE_SHARED_MEMORY 3u

typedef struct CH_CHANNEL CH_CHANNEL;

/* A channel of the type over the connected socket *socket (types 0 and 1;
 * the socket stays the caller's), with old_release non-zero when the peer
 * runs the older release. Null when memory runs out, the type is not one of
 * 0 to 3, the socket is missing for a socket or XDR channel, or the type's
 * transport cannot be made here. A shared-memory channel (type 3) is made
 * without a transport: its members answer -1 until one is attached. */
ZEL_API CH_CHANNEL *CH_create(uint32_t type, int32_t old_release, const int *socket);
/* Sends what the transport holds back, destroys the transport and frees the
 * channel; null ignored. */
ZEL_API void CH_destroy(CH_CHANNEL *channel);
/* Sends what the transport holds back: 0, or -1 when not all went out (0 at
 * once on the memory transports, which hand every write over at once). */
ZEL_API int32_t CH_flush(CH_CHANNEL *channel);
/* Whether input waits on the connection, without waiting: above 0 yes, 0 no,
 * negative on error. On a socket channel bytes already received into the
 * transport's read area are not counted. */
ZEL_API int32_t CH_data_waiting(CH_CHANNEL *channel);

/* Numbers and small records. */
ZEL_API int32_t CH_read_long(CH_CHANNEL *channel, int32_t *value);
ZEL_API int32_t CH_write_long(CH_CHANNEL *channel, int32_t value);
ZEL_API int32_t CH_read_ulong(CH_CHANNEL *channel, uint32_t *value);
ZEL_API int32_t CH_write_ulong(CH_CHANNEL *channel, uint32_t value);
ZEL_API int32_t CH_read_float(CH_CHANNEL *channel, float *value);
ZEL_API int32_t CH_write_float(CH_CHANNEL *channel, float value);
ZEL_API int32_t CH_read_lfloat(CH_CHANNEL *channel, double *value);
ZEL_API int32_t CH_write_lfloat(CH_CHANNEL *channel, double value);
ZEL_API int32_t CH_read_short(CH_CHANNEL *channel, int16_t *value);
ZEL_API int32_t CH_write_short(CH_CHANNEL *channel, int16_t value);
ZEL_API int32_t CH_read_pt3d(CH_CHANNEL *channel, int32_t *x, int32_t *y, int32_t *z);
ZEL_API int32_t CH_write_pt3d(CH_CHANNEL *channel, int32_t x, int32_t y, int32_t z);
ZEL_API int32_t CH_read_envp(CH_CHANNEL *channel, ENVELOPE *envelope);
ZEL_API int32_t CH_write_envp(CH_CHANNEL *channel, const ENVELOPE *envelope);
ZEL_API int32_t CH_read_date(CH_CHANNEL *channel, VE_DATE *date);
ZEL_API int32_t CH_write_date(CH_CHANNEL *channel, const VE_DATE *date);

/* Arrays and blocks whose length both sides know. */
ZEL_API int32_t CH_read_fid_array(CH_CHANNEL *channel, int32_t *ids, int32_t count);
ZEL_API int32_t CH_write_fid_array(CH_CHANNEL *channel, const int32_t *ids, int32_t count);
ZEL_API int32_t CH_read_lfloat_array(CH_CHANNEL *channel, double *values, int32_t count);
ZEL_API int32_t CH_read_block(CH_CHANNEL *channel, void *buffer, int32_t length);
ZEL_API int32_t CH_write_block(CH_CHANNEL *channel, const void *buffer, int32_t length);

/* A short count and the shorts, read into values (room for capacity). */
ZEL_API int32_t CH_read_short_array(CH_CHANNEL *channel, int16_t *count, int16_t *values,
                                    int16_t capacity);
ZEL_API int32_t CH_write_short_array(CH_CHANNEL *channel, int16_t count, const int16_t *values);

/* A string into buffer (capacity bytes with the terminator); a null string
 * is written like an empty one. The dynamic read allocates the string (null
 * for an empty one). */
ZEL_API int32_t CH_read_string(CH_CHANNEL *channel, char *buffer, int32_t capacity);
ZEL_API int32_t CH_write_string(CH_CHANNEL *channel, const char *string);
ZEL_API int32_t CH_read_dynamic_string(CH_CHANNEL *channel, char **string);
ZEL_API int32_t CH_write_dynamic_string(CH_CHANNEL *channel, const char *string);

/* A blob segment into buffer (capacity bytes), its length and last flag; the
 * blob's end (which carries nothing on a socket), with a flush of the
 * channel when flush is non-zero on transports that keep a blob together. */
ZEL_API int32_t CH_read_blob_seg(CH_CHANNEL *channel, void *buffer, int32_t capacity,
                                 int32_t *length, int32_t *last);
ZEL_API int32_t CH_write_blob_seg(CH_CHANNEL *channel, const void *buffer, int32_t length,
                                  int32_t last);
ZEL_API int32_t CH_read_blob_end(CH_CHANNEL *channel, int32_t total_length, int32_t skip);
ZEL_API int32_t CH_write_blob_end(CH_CHANNEL *channel, int32_t total_length, int32_t flush);

ZEL_API int32_t CH_read_release(CH_CHANNEL *channel, RELEASE *release);
ZEL_API int32_t CH_write_release(CH_CHANNEL *channel, const RELEASE *release);

/* Features: compressed (the read grows the feature's buffer), and with their
 * points (with allocate the read gives the feature new point arrays). */
ZEL_API int32_t CH_read_compressed_feature(CH_CHANNEL *channel, FEATURE_STRUCT *feature);
ZEL_API int32_t CH_write_compressed_feature(CH_CHANNEL *channel, const FEATURE_STRUCT *feature);
ZEL_API int32_t CH_readf(CH_CHANNEL *channel, FEATURE_STRUCT *feature, int32_t allocate);
ZEL_API int32_t CH_writef(CH_CHANNEL *channel, const FEATURE_STRUCT *feature);

/* Layers and coordinate references. List reads fill the caller's array of
 * capacity records and store the count that arrived. */
ZEL_API int32_t CH_read_coordref(CH_CHANNEL *channel, COORDREF *coordref);
ZEL_API int32_t CH_write_coordref(CH_CHANNEL *channel, const COORDREF *coordref);
ZEL_API int32_t CH_read_layer(CH_CHANNEL *channel, LAYER *layer);
ZEL_API int32_t CH_write_layer(CH_CHANNEL *channel, const LAYER *layer);
ZEL_API int32_t CH_read_layer_list(CH_CHANNEL *channel, LAYER *layers, int32_t capacity,
                                   int32_t *count);
ZEL_API int32_t CH_write_layer_list(CH_CHANNEL *channel, const LAYER *layers, int32_t count);

/* Query records; the reads allocate. */
ZEL_API int32_t CH_read_construct(CH_CHANNEL *channel, VE_SQL_CONSTRUCT *construct);
ZEL_API int32_t CH_write_construct(CH_CHANNEL *channel, const VE_SQL_CONSTRUCT *construct);
ZEL_API int32_t CH_read_column_def(CH_CHANNEL *channel, int16_t *count, DB_COLUMN_DEF **defs);
ZEL_API int32_t CH_write_column_def(CH_CHANNEL *channel, int16_t count, const DB_COLUMN_DEF *defs);
ZEL_API int32_t CH_read_filter_array(CH_CHANNEL *channel, int16_t *count, VE_FILTER **filters);
ZEL_API int32_t CH_write_filter_array(CH_CHANNEL *channel, int16_t count, const VE_FILTER *filters);
ZEL_API int32_t CH_read_input_desc(CH_CHANNEL *channel, int16_t *count, VE_INPUT_DESC **descs);
ZEL_API int32_t CH_write_input_desc(CH_CHANNEL *channel, int16_t count, const VE_INPUT_DESC *descs);
/* Index definitions: the read allocates them in the layout of
 * base/util/ve_index_def.h, freed by that header's rule. */
ZEL_API int32_t CH_read_index_def(CH_CHANNEL *channel, int16_t *count, DB_INDEX_DEF **defs);
ZEL_API int32_t CH_write_index_def(CH_CHANNEL *channel, int16_t count, const DB_INDEX_DEF *defs);

/* Statistics. */
ZEL_API int32_t CH_read_ve_si_stats(CH_CHANNEL *channel, VE_SPIDX_STATS *stats);
ZEL_API int32_t CH_write_ve_si_stats(CH_CHANNEL *channel, const VE_SPIDX_STATS *stats);
ZEL_API int32_t CH_read_ve_layer_stats(CH_CHANNEL *channel, VE_LAYER_STATS *stats);
ZEL_API int32_t CH_write_ve_layer_stats(CH_CHANNEL *channel, const VE_LAYER_STATS *stats);

/* Locks of an instance. */
ZEL_API int32_t CH_read_ve_layer_locks_list(CH_CHANNEL *channel, VE_LAYER_LOCKS *locks,
                                            int32_t capacity, int32_t *count);
ZEL_API int32_t CH_write_ve_layer_locks_list(CH_CHANNEL *channel, const VE_LAYER_LOCKS *locks,
                                             int32_t count);
ZEL_API int32_t CH_read_ve_table_lock_list(CH_CHANNEL *channel, VE_TABLE_LOCK *locks,
                                           int32_t capacity, int32_t *count);
ZEL_API int32_t CH_write_ve_table_lock_list(CH_CHANNEL *channel, const VE_TABLE_LOCK *locks,
                                            int32_t count);
ZEL_API int32_t CH_read_ve_version_lock_list(CH_CHANNEL *channel, VE_VERSION_LOCK *locks,
                                             int32_t capacity, int32_t *count);
ZEL_API int32_t CH_write_ve_version_lock_list(CH_CHANNEL *channel, const VE_VERSION_LOCK *locks,
                                              int32_t count);
ZEL_API int32_t CH_read_object_lock(CH_CHANNEL *channel, VE_OBJECT_LOCK *lock);
ZEL_API int32_t CH_write_object_lock(CH_CHANNEL *channel, const VE_OBJECT_LOCK *lock);
ZEL_API int32_t CH_read_object_lock_list(CH_CHANNEL *channel, VE_OBJECT_LOCK *locks,
                                         int32_t capacity, int32_t *count);
ZEL_API int32_t CH_write_object_lock_list(CH_CHANNEL *channel, const VE_OBJECT_LOCK *locks,
                                          int32_t count);

/* Catalogue records. */
ZEL_API int32_t CH_read_metadata(CH_CHANNEL *channel, METADATA *metadata);
ZEL_API int32_t CH_write_metadata(CH_CHANNEL *channel, const METADATA *metadata);
ZEL_API int32_t CH_read_metadata_list(CH_CHANNEL *channel, METADATA *metadata, int32_t capacity,
                                      int32_t *count);
ZEL_API int32_t CH_write_metadata_list(CH_CHANNEL *channel, const METADATA *metadata,
                                       int32_t count);
ZEL_API int32_t CH_read_registration(CH_CHANNEL *channel, REGISTRATION *registration);
ZEL_API int32_t CH_write_registration(CH_CHANNEL *channel, const REGISTRATION *registration);
ZEL_API int32_t CH_read_registration_list(CH_CHANNEL *channel, REGISTRATION *registrations,
                                          int32_t capacity, int32_t *count);
ZEL_API int32_t CH_write_registration_list(CH_CHANNEL *channel, const REGISTRATION *registrations,
                                           int32_t count);
ZEL_API int32_t CH_read_spatialref(CH_CHANNEL *channel, VE_SPATIALREF *spatialref);
ZEL_API int32_t CH_write_spatialref(CH_CHANNEL *channel, const VE_SPATIALREF *spatialref);
ZEL_API int32_t CH_read_spatialref_list(CH_CHANNEL *channel, VE_SPATIALREF *spatialrefs,
                                        int32_t capacity, int32_t *count);
ZEL_API int32_t CH_write_spatialref_list(CH_CHANNEL *channel, const VE_SPATIALREF *spatialrefs,
                                         int32_t count);
ZEL_API int32_t CH_read_locator(CH_CHANNEL *channel, LOCATOR *locator);
ZEL_API int32_t CH_write_locator(CH_CHANNEL *channel, const LOCATOR *locator);
ZEL_API int32_t CH_read_locator_list(CH_CHANNEL *channel, LOCATOR *locators, int32_t capacity,
                                     int32_t *count);
ZEL_API int32_t CH_write_locator_list(CH_CHANNEL *channel, const LOCATOR *locators, int32_t count);
ZEL_API int32_t CH_read_logfile(CH_CHANNEL *channel, LOGFILE *logfile);
ZEL_API int32_t CH_write_logfile(CH_CHANNEL *channel, const LOGFILE *logfile);
ZEL_API int32_t CH_read_logfile_list(CH_CHANNEL *channel, LOGFILE *logfiles, int32_t capacity,
                                     int32_t *count);
ZEL_API int32_t CH_write_logfile_list(CH_CHANNEL *channel, const LOGFILE *logfiles, int32_t count);

/* States (with their lineages, which the read allocates) and versions. */
ZEL_API int32_t CH_read_state(CH_CHANNEL *channel, STATE *state);
ZEL_API int32_t CH_write_state(CH_CHANNEL *channel, const STATE *state);
ZEL_API int32_t CH_read_state_list(CH_CHANNEL *channel, STATE *states, int32_t capacity,
                                   int32_t *count);
ZEL_API int32_t CH_write_state_list(CH_CHANNEL *channel, const STATE *states, int32_t count);
ZEL_API int32_t CH_read_version(CH_CHANNEL *channel, VERSION *version);
ZEL_API int32_t CH_write_version(CH_CHANNEL *channel, const VERSION *version);
ZEL_API int32_t CH_read_version_list(CH_CHANNEL *channel, VERSION *versions, int32_t capacity,
                                     int32_t *count);
ZEL_API int32_t CH_write_version_list(CH_CHANNEL *channel, const VERSION *versions, int32_t count);

/* Raster records. The raster-column list read, the raster-band list read,
 * the raster-attribute write and the raster-constraint write are not
 * entry points. The constraint read allocates the record and its bands. */
ZEL_API int32_t CH_read_rastercolumn(CH_CHANNEL *channel, RASTERCOLUMN *column);
ZEL_API int32_t CH_write_rastercolumn(CH_CHANNEL *channel, const RASTERCOLUMN *column);
ZEL_API int32_t CH_write_rastercolumn_list(CH_CHANNEL *channel, const RASTERCOLUMN *columns,
                                           int32_t count);
ZEL_API int32_t CH_read_rasterband(CH_CHANNEL *channel, RASTERBAND *band);
ZEL_API int32_t CH_write_rasterband(CH_CHANNEL *channel, const RASTERBAND *band);
ZEL_API int32_t CH_write_rasterband_list(CH_CHANNEL *channel, const RASTERBAND *bands,
                                         int32_t count);
ZEL_API int32_t CH_read_raster(CH_CHANNEL *channel, RASTER *raster);
ZEL_API int32_t CH_write_raster(CH_CHANNEL *channel, const RASTER *raster);
ZEL_API int32_t CH_read_rasterattr(CH_CHANNEL *channel, RASTERATTR *attr);
ZEL_API int32_t CH_read_rasconstraint(CH_CHANNEL *channel, RASCONSTRAINT **constraint);

#ifdef __cplusplus
}
#endif

#endif
