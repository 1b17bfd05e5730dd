/* XDR filters of the engine's records, in the manner of the ONC RPC XDR
 * library (libtirpc): one filter per record type takes an XDR stream and a
 * record and encodes, decodes or frees it as the stream's direction says,
 * answering TRUE or FALSE. The same filter serves both directions, so the
 * order of the calls inside a filter is the wire order for both sides.
 *
 * Every 32-bit field of a record travels as a 4-byte XDR int whatever the
 * host's long is; shorts in 4-byte units; doubles as 8-byte IEEE values; a
 * text held in a character array of N bytes as an XDR string of at most N-1
 * characters (a longer one fails on either side). A filter stops at the
 * first piece that fails; what it decoded before keeps its new values.
 *
 * The feature header carries, where the record has pointers, 1 or 0 for
 * "the sender has this array" and never an address; a decode leaves the
 * record's pointers as they were. The records below exist only as wire
 * records of the control process and the administration commands. */
#ifndef XDR_RECORDS_H
#define XDR_RECORDS_H

#include <stdint.h>

#include "base/util/ve_date.h"
#include "base/util/ve_instance_config.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_locks.h"
#include "base/util/ve_loginfo.h"
#include "base/util/ve_metadata.h"
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

/* libtirpc's stream and answer (<rpc/xdr.h>, under libtirpc's own include
 * directory): named here so that a host needs that directory only when it
 * works on streams itself. */
#ifndef XDR_RECORDS_STREAM
#define XDR_RECORDS_STREAM
struct __rpc_xdr;
typedef struct __rpc_xdr XDR;
typedef int32_t bool_t;
#endif

#define VE_INSTANCE_NAME_SIZE 33 /* a name of a user record: 32 characters */

/* The instance's release and two further words. */
typedef struct VE_INSTANCE_STATUS {
    RELEASE release;
    int32_t words[2];
} VE_INSTANCE_STATUS;

/* A connected user: two longs, an int and three names. */
typedef struct VE_INSTANCE_USER {
    int32_t long1;
    int32_t long2;
    int32_t int1;
    char names[3][VE_INSTANCE_NAME_SIZE];
} VE_INSTANCE_USER;

typedef struct VE_INSTANCE_STATS {
    int32_t values[9];
} VE_INSTANCE_STATS;

typedef struct VE_INSTANCE_LOCK {
    int32_t long1;
    int16_t short1;
    int32_t long2;
} VE_INSTANCE_LOCK;

/* A state, table or version lock of the instance: two longs and a short. */
typedef struct VE_INSTANCE_OBJECT_LOCK {
    int32_t long1;
    int32_t long2;
    int16_t short1;
} VE_INSTANCE_OBJECT_LOCK;
typedef VE_INSTANCE_OBJECT_LOCK VE_INSTANCE_STATE_LOCK;
typedef VE_INSTANCE_OBJECT_LOCK VE_INSTANCE_TABLE_LOCK;
typedef VE_INSTANCE_OBJECT_LOCK VE_INSTANCE_VERSION_LOCK;

/* One character as a 4-byte int: sign-extended on encode, its low byte kept
 * on decode. */
ZEL_API bool_t xdr_const_char(XDR *xdrs, char *c);

ZEL_API bool_t xdr_POINT(XDR *xdrs, POINT *point);
ZEL_API bool_t xdr_ENVELOPE(XDR *xdrs, ENVELOPE *envelope);
ZEL_API bool_t xdr_VE_ENVELOPE(XDR *xdrs, VE_ENVELOPE *envelope);
/* Three longs x, y, z. */
ZEL_API bool_t xdr_POINT3D(XDR *xdrs, int32_t *xyz);
/* Nine ints; a decode zeroes the record first. */
ZEL_API bool_t xdr_VE_DATE(XDR *xdrs, VE_DATE *date);

/* The feature's header: its words, counts, envelope and measures, and 1/0
 * for the XY, Z, measure arrays and the coordinate reference (a decode takes
 * any XY word, non-zero as present: a peer may send the address of its
 * points). A decode leaves the record's pointers alone. The points follow
 * with the three filters below. */
ZEL_API bool_t xdr_FEATURE_STRUCT(XDR *xdrs, FEATURE_STRUCT *feature);
/* n points, no count on the wire. */
ZEL_API bool_t xdr_FEATURE_XYPTS(XDR *xdrs, POINT *points, int32_t n);
/* n longs; a decode into a null array reads and drops them. */
ZEL_API bool_t xdr_FEATURE_ZPTS(XDR *xdrs, int32_t *values, int32_t n);
ZEL_API bool_t xdr_FEATURE_MVALS(XDR *xdrs, int32_t *values, int32_t n);

/* 13 doubles, the text's length and the text, the srid. A decode (re)allocates
 * the text (the caller frees it with the record); a length of 0 leaves the
 * receiver's text as it was. */
ZEL_API bool_t xdr_COORDREF(XDR *xdrs, COORDREF *coordref);
/* The layer without its coordinate reference, whose pointer is left alone. */
ZEL_API bool_t xdr_LAYER(XDR *xdrs, LAYER *layer);
/* Major 4 or more: the description as a string; below: 64 characters. */
ZEL_API bool_t xdr_RELEASE(XDR *xdrs, RELEASE *release);
ZEL_API bool_t xdr_VE_GRID_STATS(XDR *xdrs, VE_GRID_STATS *stats);
ZEL_API bool_t xdr_S_INDEX_STATS(XDR *xdrs, VE_SPIDX_STATS *stats);
ZEL_API bool_t xdr_LAYER_STATS(XDR *xdrs, VE_LAYER_STATS *stats);

ZEL_API bool_t xdr_REGISTRATION(XDR *xdrs, REGISTRATION *registration);
/* Without the lineage block, which travels after a list of states. */
ZEL_API bool_t xdr_STATE(XDR *xdrs, STATE *state);
ZEL_API bool_t xdr_VERSION(XDR *xdrs, VERSION *version);
ZEL_API bool_t xdr_LOGFILE(XDR *xdrs, LOGFILE *logfile);
/* With the coordinate reference the record points to: a write needs one, a
 * read creates one for a record that has none. */
ZEL_API bool_t xdr_VE_SPATIALREF(XDR *xdrs, VE_SPATIALREF *spatialref);
ZEL_API bool_t xdr_METADATA(XDR *xdrs, METADATA *metadata);
/* Without the coordinate reference. The database name goes as its whole
 * 32-byte field, the bytes after its end zeroed. */
ZEL_API bool_t xdr_RASTERCOLUMN(XDR *xdrs, RASTERCOLUMN *column);
/* A decode clears the band's statistics, colormap and bitmap pointers. */
ZEL_API bool_t xdr_RASTERBAND(XDR *xdrs, RASTERBAND *band);
ZEL_API bool_t xdr_RASTER(XDR *xdrs, RASTER *raster);
/* Sixteen of the record's words and its envelope; the others stay. */
ZEL_API bool_t xdr_RASTERATTR(XDR *xdrs, RASTERATTR *attr);

ZEL_API bool_t xdr_VE_INSTANCE_CONFIG(XDR *xdrs, VE_INSTANCE_CONFIG *config);
ZEL_API bool_t xdr_VE_INSTANCE_STATUS(XDR *xdrs, VE_INSTANCE_STATUS *status);
ZEL_API bool_t xdr_VE_INSTANCE_USER(XDR *xdrs, VE_INSTANCE_USER *user);
ZEL_API bool_t xdr_VE_INSTANCE_STATS(XDR *xdrs, VE_INSTANCE_STATS *stats);
ZEL_API bool_t xdr_VE_INSTANCE_LOCK(XDR *xdrs, VE_INSTANCE_LOCK *lock);
/* One filter for state, table and version locks of the instance. */
ZEL_API bool_t xdr_VE_INSTANCE_OBJECT_LOCK(XDR *xdrs, VE_INSTANCE_OBJECT_LOCK *lock);
ZEL_API bool_t xdr_VE_LAYER_LOCKS(XDR *xdrs, VE_LAYER_LOCKS *lock);
ZEL_API bool_t xdr_VE_TABLE_LOCK(XDR *xdrs, VE_TABLE_LOCK *lock);
ZEL_API bool_t xdr_VE_VERSION_LOCK(XDR *xdrs, VE_VERSION_LOCK *lock);
ZEL_API bool_t xdr_VE_OBJECT_LOCK(XDR *xdrs, VE_OBJECT_LOCK *lock);

#ifdef __cplusplus
}
#endif

#endif
