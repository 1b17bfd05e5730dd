// What the library shares about its XDR encodings beyond the exported
// filters of base/system/xdr_records.h: the 32-bit primitives every filter
// uses, the old-release filters, the list limits, and the encodings that have
// no filter of their own (lists, arrays, the query records, states, locators,
// raster columns and constraints, filters). Those answer 0 or a negative
// code, as the channel does: -1 a failed filter, a count above its maximum or
// the caller's room, or a record against its form; -999 no memory (-12 for
// the SQL construct, the string array's own code or -1 for a query
// description); -65 a null pointer and -66 a count out of range, refused
// before anything is encoded. What a decode allocates is the caller's, freed
// with the C heap's free unless stated; a decode that fails frees what it
// allocated in that call.
//
// records: whether the stream is a record stream (xdrrec) whose record
// boundaries these encodings keep (a filter array's shape filters end a
// record after the shape and after its coordinate reference); false for a
// memory stream.
#ifndef XDR_RECORDS_INTERNAL_H
#define XDR_RECORDS_INTERNAL_H

#include <rpc/xdr.h>
#include <stdint.h>

#include "base/system/xdr_records.h"
#include "base/util/db_column_def.h"
#include "base/util/ve_filter.h"
#include "base/util/ve_index_def.h"
#include "base/util/ve_locator.h"
#include "base/util/ve_queryinfo.h"

/* List maxima. */
#define XDR_MAX_LIST 5000 /* layers, registrations, metadata, raster columns, states, ... */
#define XDR_MAX_RASTERBANDS 20000
#define XDR_MAX_LOCKS 10000
#define XDR_MAX_FIDS 32000
#define XDR_MAX_TEXT 65535                 /* a coordinate reference's text, a counted string */
#define XDR_MAX_BYTES (256L * 1024 * 1024) /* one opaque block (a lineage, a clause) */
#define XDR_MAX_POINTS (16L * 1024 * 1024) /* points of one feature */
#define XDR_CONSTRUCT_TABLE_ROOM 194       /* a table-name slot of a received construct */
#define XDR_CONSTRUCT_TABLE_MAX 161        /* characters of such a name */
#define XDR_QUERY_TABLE_ROOM 227           /* a table-name slot of a received query */
#define XDR_QUERY_COLUMN_ROOM 259
#define XDR_QUERY_HINT_ROOM 1024
#define XDR_RELATION_ROOM 256

/* The engine's 32-bit long: libtirpc's xdr_long moves the host's long, which
 * is 8 bytes here, so every 32-bit field goes through these. */
bool_t zel_xdr_long(XDR *xdrs, int32_t *value);
bool_t zel_xdr_u_long(XDR *xdrs, uint32_t *value);
/* A text held in a field of size bytes, as a string of at most size-1. */
bool_t zel_xdr_text(XDR *xdrs, char *field, uint32_t size);

bool_t xdr_COORDREF_old(XDR *xdrs, COORDREF *coordref);
bool_t xdr_LAYER_old(XDR *xdrs, LAYER *layer);

/* Which arrays the sender of a feature header has. */
typedef struct XDR_FEATURE_FLAGS {
    uint32_t xy, z, m, coordref;
} XDR_FEATURE_FLAGS;
/* The feature header; the flags are the record's on encode and what came on
 * decode. The record's pointers are never touched. */
bool_t xdr_feature_header(XDR *xdrs, FEATURE_STRUCT *feature, XDR_FEATURE_FLAGS *flags);

/* A feature with its points, in the stream's direction. Decoding with
 * allocate gives the feature new arrays (malloc: XY n x 8, Z and measures
 * n x 4 when they come); without, its own arrays must have room
 * (allocated_points) for the points. Values that come for an array the
 * feature lacks are dropped; an array for which none come is zeroed. The
 * feature's coordinate reference stays. */
int32_t xdrio_feature(XDR *xdrs, FEATURE_STRUCT *feature, int32_t allocate);

int32_t xdrio_coordref(XDR *xdrs, COORDREF *coordref, int32_t old);
/* A layer and its coordinate reference; a read creates the layer's one when
 * it has none. Lists: all layers, then each one's coordinate reference. */
int32_t xdrio_layer(XDR *xdrs, LAYER *layer, int32_t old);
int32_t xdrio_read_layer_list(XDR *xdrs, LAYER *layers, int32_t capacity, int32_t *count,
                              int32_t old);
int32_t xdrio_write_layer_list(XDR *xdrs, const LAYER *layers, int32_t count, int32_t old);
/* A list of records through their filter, bounded by maximum and by the
 * caller's capacity on read. */
#define XDRIO_LIST(NAME, TYPE)                                                                     \
    int32_t xdrio_read_##NAME##_list(XDR *xdrs, TYPE *records, int32_t capacity, int32_t *count);  \
    int32_t xdrio_write_##NAME##_list(XDR *xdrs, const TYPE *records, int32_t count);
XDRIO_LIST(registration, REGISTRATION)
XDRIO_LIST(metadata, METADATA)
XDRIO_LIST(rasterband, RASTERBAND)
XDRIO_LIST(spatialref, VE_SPATIALREF)
XDRIO_LIST(logfile, LOGFILE)
XDRIO_LIST(version, VERSION)
XDRIO_LIST(table_lock, VE_TABLE_LOCK)
XDRIO_LIST(version_lock, VE_VERSION_LOCK)
XDRIO_LIST(object_lock, VE_OBJECT_LOCK)
XDRIO_LIST(layer_locks, VE_LAYER_LOCKS)
/* States with their lineage blocks (the reader allocates each). */
XDRIO_LIST(state, STATE)
/* Locators with their properties (string arrays, one block each). */
XDRIO_LIST(locator, LOCATOR)
/* Raster columns, then per column 1 and its coordinate reference, or 0. A
 * read creates a coordinate reference for a record that has none when one
 * comes, and frees the record's own when none comes. */
int32_t xdrio_rastercolumn(XDR *xdrs, RASTERCOLUMN *column);
XDRIO_LIST(rastercolumn, RASTERCOLUMN)
#undef XDRIO_LIST

/* The reader allocates the record and its bands (ves_raster_constraint_free). */
int32_t xdrio_read_rasconstraint(XDR *xdrs, RASCONSTRAINT **constraint);
int32_t xdrio_write_rasconstraint(XDR *xdrs, const RASCONSTRAINT *constraint);

/* Counted array of at most XDR_MAX_FIDS ids; the reader's room is capacity. */
int32_t xdrio_read_fid_array(XDR *xdrs, int32_t *ids, int32_t capacity);
int32_t xdrio_write_fid_array(XDR *xdrs, const int32_t *ids, int32_t count);
/* Counted array of doubles, at most count. */
int32_t xdrio_read_lfloat_array(XDR *xdrs, double *values, int32_t capacity);
int32_t xdrio_write_lfloat_array(XDR *xdrs, const double *values, int32_t count);
int32_t xdrio_read_short_array(XDR *xdrs, int16_t *count, int16_t *values, int16_t capacity);
int32_t xdrio_write_short_array(XDR *xdrs, int16_t count, const int16_t *values);
/* n raw bytes and the padding to a multiple of 4. */
int32_t xdrio_block(XDR *xdrs, void *buffer, int32_t n);
/* A string of at most capacity-1 characters into buffer. */
int32_t xdrio_read_string(XDR *xdrs, char *buffer, int32_t capacity);
int32_t xdrio_write_string(XDR *xdrs, const char *string);
/* Long n = strlen + 1 (0 for null), then the string; the read allocates. */
int32_t xdrio_read_dynamic_string(XDR *xdrs, char **string);
int32_t xdrio_write_dynamic_string(XDR *xdrs, const char *string);

/* The reads allocate the arrays (null for none). */
int32_t xdrio_read_column_def(XDR *xdrs, int16_t *count, DB_COLUMN_DEF **defs, int32_t old);
int32_t xdrio_write_column_def(XDR *xdrs, int16_t count, const DB_COLUMN_DEF *defs, int32_t old);
/* In the layout of base/util/ve_index_def.h (ves_index_defs_free). */
int32_t xdrio_read_index_def(XDR *xdrs, int16_t *count, DB_INDEX_DEF **defs);
int32_t xdrio_write_index_def(XDR *xdrs, int16_t count, const DB_INDEX_DEF *defs);
int32_t xdrio_read_input_desc(XDR *xdrs, int16_t *count, VE_INPUT_DESC **descs);
int32_t xdrio_write_input_desc(XDR *xdrs, int16_t count, const VE_INPUT_DESC *descs);
/* One block of filters with relation slots, per shape filter a feature with
 * its arrays and coordinate reference: raw_filter_array_free. */
int32_t xdrio_read_filter_array(XDR *xdrs, bool records, int16_t *count, VE_FILTER **filters,
                                int32_t old);
int32_t xdrio_write_filter_array(XDR *xdrs, bool records, int16_t count, const VE_FILTER *filters,
                                 int32_t old);
/* The read fills the record with a new name array and clause
 * (raw_construct_clear). */
int32_t xdrio_read_construct(XDR *xdrs, VE_SQL_CONSTRUCT *construct, int32_t old);
int32_t xdrio_write_construct(XDR *xdrs, const VE_SQL_CONSTRUCT *construct, int32_t old);
/* -259 for a null record; the read keeps the first word (raw_queryinfo_clear). */
int32_t xdrio_read_queryinfo(XDR *xdrs, VE_QUERYINFO *info);
int32_t xdrio_write_queryinfo(XDR *xdrs, const VE_QUERYINFO *info);

/* Compressed feature: id, count, entity type, size and bytes, then, when the
 * bytes' flags say so, the annotation text as one XDR string (at most 255
 * characters; empty when the feature has no annotation object). */
int32_t xdrio_read_compressed_feature(XDR *xdrs, FEATURE_STRUCT *feature);
int32_t xdrio_write_compressed_feature(XDR *xdrs, const FEATURE_STRUCT *feature);

#endif
