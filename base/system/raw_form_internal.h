// Raw wire forms: the order in which a value or record and what its pointers
// refer to cross a byte transport, shared by the socket transport and the
// memory transports. Numbers are 4-byte little-endian longs (2 for a short, 8
// for a double) with no tag or padding between values; records go as their
// images (base/system/raw_image_internal.h). A string is a long holding its
// length with the terminating NUL (0 for an empty or null string) and that
// many bytes: "" is 00 00 00 00, "a" is 02 00 00 00 61 00. A counted list is
// a long count and the elements.
//
// Every piece goes through RAW_IO, which moves exactly the bytes asked for or
// fails. Readers never trust the wire: a length or count above the room the
// caller gives, above the limits below, or negative is refused with -1, and
// a record whose parts disagree (a compressed feature or lineage against its
// own length) likewise; the stream is then out of step and the transport is
// to be treated as broken. Writers refuse what they cannot send whole (a null
// array with a count, a negative count) before sending anything: -65 for a
// missing pointer, -66 for a count or length out of range.
//
// Results: 0; -1 when a piece could not be moved or the wire broke a rule;
// -999 when memory for received data cannot be had (-12 for the SQL construct
// and the texts of a query description, as the callers expect); -65, -66 as
// above. Everything a reader allocates is the caller's and is freed with the
// C heap's free unless a function below says otherwise; a reader that fails
// frees what it allocated in that call.
#ifndef RAW_FORM_INTERNAL_H
#define RAW_FORM_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include "base/system/raw_image_internal.h"
#include "base/util/ve_index_def.h"
#include "base/util/ve_queryinfo.h"

/* Limits on what a reader allocates from a wire count or length. */
#define RAW_MAX_ITEMS 32767                /* strings, properties, bands of one record */
#define RAW_MAX_BYTES (256L * 1024 * 1024) /* one allocated byte string */
#define RAW_MAX_POINTS (16L * 1024 * 1024) /* points of one feature */
#define RAW_RELATION_ROOM 256              /* a filter's relation text slot */
#define RAW_CONSTRUCT_TABLE_ROOM 194       /* a table name slot of a received SQL construct */
#define RAW_QUERY_COLUMN_ROOM 259          /* a column name slot of a received query */
#define RAW_QUERY_HINT_ROOM 1024           /* a hint slot of a received query */
#define RAW_ANNO_TEXT_ROOM 256             /* the text of an annotation */

/* A byte transport. read and write move exactly n bytes and answer 0, or -1
 * when fewer could be moved. moved counts the bytes moved through this io,
 * failed is set once a transfer fell short: a caller tells from them whether
 * the stream is still in step. */
typedef struct RAW_IO {
    void *ctx;
    int32_t (*read)(void *ctx, void *dst, size_t n);
    int32_t (*write)(void *ctx, const void *src, size_t n);
    uint64_t moved;
    int32_t failed;
} RAW_IO;

// Values.
int32_t raw_read_long(RAW_IO *io, int32_t *value);
int32_t raw_write_long(RAW_IO *io, int32_t value);
int32_t raw_read_ulong(RAW_IO *io, uint32_t *value);
int32_t raw_write_ulong(RAW_IO *io, uint32_t value);
int32_t raw_read_float(RAW_IO *io, float *value);
int32_t raw_write_float(RAW_IO *io, float value);
int32_t raw_read_lfloat(RAW_IO *io, double *value);
int32_t raw_write_lfloat(RAW_IO *io, double value);
int32_t raw_read_short(RAW_IO *io, int16_t *value);
int32_t raw_write_short(RAW_IO *io, int16_t value);
int32_t raw_read_pt3d(RAW_IO *io, int32_t *x, int32_t *y, int32_t *z);
int32_t raw_write_pt3d(RAW_IO *io, int32_t x, int32_t y, int32_t z);
int32_t raw_read_envp(RAW_IO *io, ENVELOPE *envelope);
int32_t raw_write_envp(RAW_IO *io, const ENVELOPE *envelope);
int32_t raw_read_date(RAW_IO *io, VE_DATE *date);
int32_t raw_write_date(RAW_IO *io, const VE_DATE *date);

// Arrays whose count both sides know; the caller's array holds count values.
int32_t raw_read_fid_array(RAW_IO *io, int32_t *ids, int32_t count);
int32_t raw_write_fid_array(RAW_IO *io, const int32_t *ids, int32_t count);
int32_t raw_read_lfloat_array(RAW_IO *io, double *values, int32_t count);
int32_t raw_write_lfloat_array(RAW_IO *io, const double *values, int32_t count);
int32_t raw_read_block(RAW_IO *io, void *buffer, int32_t length);
int32_t raw_write_block(RAW_IO *io, const void *buffer, int32_t length);

/* A short count, then that many shorts into an array with room for capacity. */
int32_t raw_read_short_array(RAW_IO *io, int16_t *count, int16_t *values, int16_t capacity);
int32_t raw_write_short_array(RAW_IO *io, int16_t count, const int16_t *values);

/* A string into a buffer of capacity bytes (an empty string needs 1). */
int32_t raw_read_string(RAW_IO *io, char *buffer, int32_t capacity);
int32_t raw_write_string(RAW_IO *io, const char *string);
/* A string the reader allocates (zero-filled); null for length 0. */
int32_t raw_read_dynamic_string(RAW_IO *io, char **string);
int32_t raw_write_dynamic_string(RAW_IO *io, const char *string);

/* Blob segment: long length, long last-segment flag, then the bytes into a
 * buffer of capacity bytes. */
int32_t raw_read_blob_seg(RAW_IO *io, void *buffer, int32_t capacity, int32_t *length,
                          int32_t *last);
int32_t raw_write_blob_seg(RAW_IO *io, const void *buffer, int32_t length, int32_t last);

/* old: the 80-byte release of the older engine. The write is always current.
 * (Here and below an old or form argument left out means the current form.) */
int32_t raw_read_release(RAW_IO *io, RELEASE *release, int32_t old = 0);
int32_t raw_write_release(RAW_IO *io, const RELEASE *release);

/* Feature id, point count and entity type as three longs; the long size of
 * the compressed bytes and the bytes, which must be one whole compressed
 * feature of exactly that size; then, when its flags mark an annotation, the
 * annotation text (string). The reader grows the feature's buffer to the
 * size when it is smaller; a text that arrives for a feature without an
 * annotation object is read and dropped, and a feature without text gets its
 * annotation text emptied. */
int32_t raw_read_compressed_feature(RAW_IO *io, FEATURE_STRUCT *feature);
int32_t raw_write_compressed_feature(RAW_IO *io, const FEATURE_STRUCT *feature);

/* The feature image; then, for a point count above 0, the XY points, the Z
 * values when the sender has them and the measures when it has them. With
 * allocate the reader gives the feature new arrays (malloc) for the points
 * that come; without it the feature's own arrays, whose room is its
 * allocated_points, must hold them. Z values or measures that come for a
 * feature without such an array are dropped; an array for which none come
 * is zeroed. The reader keeps the feature's coordinate reference. */
int32_t raw_readf(RAW_IO *io, FEATURE_STRUCT *feature, int32_t allocate);
int32_t raw_writef(RAW_IO *io, const FEATURE_STRUCT *feature);

/* The coordinate-reference image (old: its first 120 bytes; the reader sets
 * the srid 0), then its text as a dynamic string. The reader frees its old
 * text. */
int32_t raw_read_coordref(RAW_IO *io, COORDREF *coordref, int32_t old = 0);
int32_t raw_write_coordref(RAW_IO *io, const COORDREF *coordref, int32_t old = 0);

/* The layer image (old: its first 448 bytes; the reader clears the layer
 * mask and base layer id), then its coordinate reference in the same form.
 * The reader reads into the layer's own coordinate reference and creates one
 * when the layer has none. */
int32_t raw_read_layer(RAW_IO *io, LAYER *layer, int32_t old = 0);
int32_t raw_write_layer(RAW_IO *io, const LAYER *layer, int32_t old = 0);
int32_t raw_read_layer_list(RAW_IO *io, LAYER *layers, int32_t capacity, int32_t *count,
                            int32_t old = 0);
int32_t raw_write_layer_list(RAW_IO *io, const LAYER *layers, int32_t count, int32_t old = 0);

/* Long table count and the table names (strings), then the WHERE clause as a
 * dynamic string; a null construct goes as count 0 and no clause. The reader
 * fills the caller's record with a new name array (VES_allocate_string_array)
 * and clause. */
int32_t raw_read_construct(RAW_IO *io, VE_SQL_CONSTRUCT *construct);
int32_t raw_write_construct(RAW_IO *io, const VE_SQL_CONSTRUCT *construct);
/* Frees the name array and the clause of a received construct; null ignored. */
void raw_construct_clear(VE_SQL_CONSTRUCT *construct);

/* Short count and the column images (old: their first 48 bytes; the reader
 * sets the row-id kind 3). The reader allocates the array, null for 0. */
int32_t raw_read_column_def(RAW_IO *io, int16_t *count, DB_COLUMN_DEF **defs, int32_t old = 0);
int32_t raw_write_column_def(RAW_IO *io, int16_t count, const DB_COLUMN_DEF *defs, int32_t old = 0);

/* Short count; each filter image followed, for a relation filter, by its
 * relation text; then, for each shape filter, its shape as a feature and the
 * shape's coordinate reference. The form: current; old (504-byte images, no
 * relation texts, old coordinate references); or current images and relation
 * texts with old coordinate references, what the memory transports send to
 * an older peer. The reader allocates one block holding the filters and a
 * relation slot per filter, and per shape filter a feature with its arrays
 * and coordinate reference: release them with raw_filter_array_free. */
#define RAW_FILTERS_CURRENT 0
#define RAW_FILTERS_OLD 1
#define RAW_FILTERS_OLD_COORDREF 2
int32_t raw_read_filter_array(RAW_IO *io, int16_t *count, VE_FILTER **filters,
                              int32_t form = RAW_FILTERS_CURRENT);
int32_t raw_write_filter_array(RAW_IO *io, int16_t count, const VE_FILTER *filters,
                               int32_t form = RAW_FILTERS_CURRENT);
void raw_filter_array_free(int16_t count, VE_FILTER *filters);

/* Long column count and the names; the construct; long query type; the by
 * clause; long hint count and the hints; the log-file name; the last long. A
 * null query goes as all zeros. The reader keeps the record's first word;
 * a null record is -259. Release a received one with raw_queryinfo_clear. */
int32_t raw_read_queryinfo(RAW_IO *io, VE_QUERYINFO *info);
int32_t raw_write_queryinfo(RAW_IO *io, const VE_QUERYINFO *info);
void raw_queryinfo_clear(VE_QUERYINFO *info);

int32_t raw_read_ve_si_stats(RAW_IO *io, VE_SPIDX_STATS *stats);
int32_t raw_write_ve_si_stats(RAW_IO *io, const VE_SPIDX_STATS *stats);
int32_t raw_read_ve_layer_stats(RAW_IO *io, VE_LAYER_STATS *stats);
int32_t raw_write_ve_layer_stats(RAW_IO *io, const VE_LAYER_STATS *stats);

// Counted lists read into the caller's array of capacity records.
int32_t raw_read_ve_layer_locks_list(RAW_IO *io, VE_LAYER_LOCKS *locks, int32_t capacity,
                                     int32_t *count);
int32_t raw_write_ve_layer_locks_list(RAW_IO *io, const VE_LAYER_LOCKS *locks, int32_t count);
int32_t raw_read_ve_table_lock_list(RAW_IO *io, VE_TABLE_LOCK *locks, int32_t capacity,
                                    int32_t *count);
int32_t raw_write_ve_table_lock_list(RAW_IO *io, const VE_TABLE_LOCK *locks, int32_t count);
int32_t raw_read_ve_version_lock_list(RAW_IO *io, VE_VERSION_LOCK *locks, int32_t capacity,
                                      int32_t *count);
int32_t raw_write_ve_version_lock_list(RAW_IO *io, const VE_VERSION_LOCK *locks, int32_t count);

int32_t raw_read_object_lock(RAW_IO *io, VE_OBJECT_LOCK *lock);
int32_t raw_write_object_lock(RAW_IO *io, const VE_OBJECT_LOCK *lock);
int32_t raw_read_object_lock_list(RAW_IO *io, VE_OBJECT_LOCK *locks, int32_t capacity,
                                  int32_t *count);
int32_t raw_write_object_lock_list(RAW_IO *io, const VE_OBJECT_LOCK *locks, int32_t count);

int32_t raw_read_registration(RAW_IO *io, REGISTRATION *registration);
int32_t raw_write_registration(RAW_IO *io, const REGISTRATION *registration);
int32_t raw_read_registration_list(RAW_IO *io, REGISTRATION *registrations, int32_t capacity,
                                   int32_t *count);
int32_t raw_write_registration_list(RAW_IO *io, const REGISTRATION *registrations, int32_t count);

int32_t raw_read_metadata(RAW_IO *io, METADATA *metadata);
int32_t raw_write_metadata(RAW_IO *io, const METADATA *metadata);
int32_t raw_read_metadata_list(RAW_IO *io, METADATA *metadata, int32_t capacity, int32_t *count);
int32_t raw_write_metadata_list(RAW_IO *io, const METADATA *metadata, int32_t count);

/* The raster column image, then its coordinate reference when it has one.
 * The reader creates a coordinate reference when one comes for a record that
 * has none, and frees the record's own when none comes. */
int32_t raw_read_rastercolumn(RAW_IO *io, RASTERCOLUMN *column);
int32_t raw_write_rastercolumn(RAW_IO *io, const RASTERCOLUMN *column);
int32_t raw_read_rastercolumn_list(RAW_IO *io, RASTERCOLUMN *columns, int32_t capacity,
                                   int32_t *count);
int32_t raw_write_rastercolumn_list(RAW_IO *io, const RASTERCOLUMN *columns, int32_t count);

int32_t raw_read_rasterband(RAW_IO *io, RASTERBAND *band);
int32_t raw_write_rasterband(RAW_IO *io, const RASTERBAND *band);
int32_t raw_read_rasterband_list(RAW_IO *io, RASTERBAND *bands, int32_t capacity, int32_t *count);
int32_t raw_write_rasterband_list(RAW_IO *io, const RASTERBAND *bands, int32_t count);

int32_t raw_read_raster(RAW_IO *io, RASTER *raster);
int32_t raw_write_raster(RAW_IO *io, const RASTER *raster);
int32_t raw_read_rasterattr(RAW_IO *io, RASTERATTR *attr);
int32_t raw_write_rasterattr(RAW_IO *io, const RASTERATTR *attr);

/* The constraint image, then its band numbers. The reader allocates the
 * record (zero-filled) and its band array; ves_raster_constraint_free. */
int32_t raw_read_rasconstraint(RAW_IO *io, RASCONSTRAINT **constraint);
int32_t raw_write_rasconstraint(RAW_IO *io, const RASCONSTRAINT *constraint);

/* All state images first, then per state a long lineage length and the
 * lineage block, which must be exactly as long as its leading varLONG says.
 * The reader allocates each block, null for length 0. */
int32_t raw_read_state(RAW_IO *io, STATE *state);
int32_t raw_write_state(RAW_IO *io, const STATE *state);
int32_t raw_read_state_list(RAW_IO *io, STATE *states, int32_t capacity, int32_t *count);
int32_t raw_write_state_list(RAW_IO *io, const STATE *states, int32_t count);

int32_t raw_read_version(RAW_IO *io, VERSION *version);
int32_t raw_write_version(RAW_IO *io, const VERSION *version);
int32_t raw_read_version_list(RAW_IO *io, VERSION *versions, int32_t capacity, int32_t *count);
int32_t raw_write_version_list(RAW_IO *io, const VERSION *versions, int32_t count);

/* Short count and the 8-byte entries; the reader allocates, null for 0. */
int32_t raw_read_input_desc(RAW_IO *io, int16_t *count, VE_INPUT_DESC **descs);
int32_t raw_write_input_desc(RAW_IO *io, int16_t count, const VE_INPUT_DESC *descs);

int32_t raw_read_logfile(RAW_IO *io, LOGFILE *logfile);
int32_t raw_write_logfile(RAW_IO *io, const LOGFILE *logfile);
int32_t raw_read_logfile_list(RAW_IO *io, LOGFILE *logfiles, int32_t capacity, int32_t *count);
int32_t raw_write_logfile_list(RAW_IO *io, const LOGFILE *logfiles, int32_t count);

/* Short index count; per index a short column count (at most
 * DB_INDEX_MAX_COLUMNS), per column its name and a long ascending flag, the
 * index name and a long unique flag. The reader allocates in the layout of
 * base/util/ve_index_def.h (the arrays of 16 entries, a block per name), freed
 * by its rule or raw_index_def_free. */
int32_t raw_read_index_def(RAW_IO *io, int16_t *count, DB_INDEX_DEF **defs);
int32_t raw_write_index_def(RAW_IO *io, int16_t count, const DB_INDEX_DEF *defs);
void raw_index_def_free(int16_t count, DB_INDEX_DEF *defs);

/* The spatial reference image, then its coordinate reference; the reader
 * reads into the record's own and creates one when the record has none. */
int32_t raw_read_spatialref(RAW_IO *io, VE_SPATIALREF *spatialref);
int32_t raw_write_spatialref(RAW_IO *io, const VE_SPATIALREF *spatialref);
int32_t raw_read_spatialref_list(RAW_IO *io, VE_SPATIALREF *spatialrefs, int32_t capacity,
                                 int32_t *count);
int32_t raw_write_spatialref_list(RAW_IO *io, const VE_SPATIALREF *spatialrefs, int32_t count);

/* All locator images first, then per locator its property names and values
 * (strings). The reader gives each locator with properties a name array of
 * 33-byte names and a value array of 256-byte values
 * (VES_allocate_string_array), null for none. */
int32_t raw_read_locator(RAW_IO *io, LOCATOR *locator);
int32_t raw_write_locator(RAW_IO *io, const LOCATOR *locator);
int32_t raw_read_locator_list(RAW_IO *io, LOCATOR *locators, int32_t capacity, int32_t *count);
int32_t raw_write_locator_list(RAW_IO *io, const LOCATOR *locators, int32_t count);

#endif
