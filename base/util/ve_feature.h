// The in-memory feature (shape) and its companions: integer points, envelopes,
// the annotation object and the CAD record. The record is also the geometry
// module's shape record (mox/mox.h). Its compressed byte form is laid out in
// base/util/ve_compress.h. Field order is fixed: hosts and the wire code read it.
#ifndef VE_FEATURE_H
#define VE_FEATURE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Entity types of a feature (only the low byte matters for area and length). */
#define VE_ENTITY_NIL 0
#define VE_ENTITY_POINT 1
#define VE_ENTITY_LINE 2
#define VE_ENTITY_SIMPLE_LINE 4
#define VE_ENTITY_AREA 8
#define VE_ENTITY_MULTI_POINT 257
#define VE_ENTITY_MULTI_LINE 258
#define VE_ENTITY_MULTI_SIMPLE_LINE 260
#define VE_ENTITY_MULTI_AREA 264

/* An envelope in system units (integers). */
typedef struct ENVELOPE {
    int32_t minx;
    int32_t miny;
    int32_t maxx;
    int32_t maxy;
} ENVELOPE;

/* An envelope in coordinate units (doubles). */
typedef struct VE_ENVELOPE {
    double minx;
    double miny;
    double maxx;
    double maxy;
} VE_ENVELOPE;

/* A point in system units. */
typedef struct POINT {
    int32_t x;
    int32_t y;
} POINT;

/* The geometry module's coordinate reference; laid out in mox/mox.h. */
typedef struct COORDREF COORDREF;

/* Alignment record of an annotation: copied and serialised, never interpreted. */
typedef struct VE_ANNO_ALIGNMENT {
    int32_t long1;
    int32_t long2;
    int16_t values1[20];
    int16_t values2[20];
    double double1;
    double double2;
} VE_ANNO_ALIGNMENT;

#define VE_ANNO_ALIGNMENT_BYTES 104 /* its serialised size */

struct FEATURE_STRUCT;

/* The annotation of a feature. The tag reads "AnO" while the object is valid
 * and "aNo" once it has been freed. */
typedef struct VE_ANNO {
    char tag[4];
    int32_t long1;
    int32_t long2;
    int32_t long3; /* starts at 7 */
    double doubles[4];
    char text[256];
    struct FEATURE_STRUCT *leader;
    struct FEATURE_STRUCT *placement;
    VE_ANNO_ALIGNMENT *alignment;
} VE_ANNO;

/* CAD data of a feature: opaque bytes carried by the compressed form. */
typedef struct VE_CAD {
    int32_t reserved;
    int32_t byte_count;
    int32_t capacity;
    uint8_t *data;
} VE_CAD;

/* A feature. Callers allocate it zero-filled; the record owns its point
 * arrays, its compressed buffer, its annotation and its CAD record. */
typedef struct FEATURE_STRUCT {
    uint32_t reserved1; /* not used by this library */
    int32_t wire_field; /* carried in the wire form only */
    int32_t feature_id;
    int32_t num_points;     /* count of XY points */
    uint16_t entity_type;   /* VE_ENTITY_* */
    ENVELOPE envelope;      /* system units */
    int32_t wire_fields[4]; /* carried in the wire form only */
    double area;
    double length;
    POINT *points;
    int32_t *z_values;        /* one per point, or null */
    int32_t *measures;        /* one per point, or null */
    int32_t allocated_points; /* maintained by the geometry module */
    uint32_t reserved2;       /* not used by this library */
    COORDREF *coordref;
    int32_t compressed_capacity;
    uint8_t *compressed; /* compressed feature bytes */
    VE_ANNO *anno;
    VE_CAD *cad;
} FEATURE_STRUCT;

#ifdef __cplusplus
}
#endif

#endif
