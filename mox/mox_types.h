// The geometry module's records: entity types, integer points and envelopes,
// the coordinate reference, the shape record (FEATURE_STRUCT), the search
// methods of the spatial relations and the prepared form of a filter. The
// server's headers build on these; this header includes none of theirs. The
// shape's annotation and CAD records are the server's (base/util/ve_feature.h):
// the module only carries their pointers.
#ifndef MOX_TYPES_H
#define MOX_TYPES_H

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

/* ---- Coordinate reference ----------------------------------------------
 * Plane (coordinate-unit) value v and system-unit integer s of one axis:
 *     s = round((v - false origin) * units)     v = s / units + false origin
 * so units is the number of system units per coordinate unit. The rounding
 * value is the size of one system unit in coordinate units (1 / units), the
 * half unit half of it. A reference is active (usable for conversions) when
 * its XY units are finite and above 0; a freshly created one is not.
 *
 * Callers read and write the public fields directly. `srtext` is a C-heap
 * buffer or null: MoxCoordRefFree releases a text still attached, and the
 * copy functions copy into the destination's text buffer, reallocating it
 * only when it is too small (never shrinking a caller's fixed-size buffer).
 * The field order is that of the record's wire image. */
typedef struct COORDREF {
    int32_t lib_word1; /* the module's own; a wire receiver keeps its own */
    double falsex;
    double falsey;
    double xyunits;
    double xy_rounding;  /* MoxsCalcCRound(xyunits) */
    double xy_half_unit; /* MoxsCalcHalfSU(xy_rounding) */
    double falsez;
    double zunits;
    double z_rounding;
    double z_half_unit;
    double falsem;
    double munits;
    double m_rounding;
    double m_half_unit;
    int32_t lib_word2; /* the module's own; a wire receiver keeps its own */
    char *srtext;      /* spatial-reference text, or null */
    int32_t srid;
} COORDREF;

struct VE_ANNO;
struct VE_CAD;

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
    uint8_t *compressed;  /* compressed feature bytes */
    struct VE_ANNO *anno; /* base/util/ve_feature.h */
    struct VE_CAD *cad;   /* base/util/ve_feature.h */
} FEATURE_STRUCT;

/* Search methods. */
#define SM_ENVP 0
#define SM_ENVP_BY_GRID 1
#define SM_CP 2
#define SM_LCROSS 3
#define SM_COMMON 4
#define SM_CP_OR_LCROSS 5
#define SM_ET_OR_AI 6
#define SM_ET_OR_II SM_ET_OR_AI
#define SM_AI 7
#define SM_II SM_AI
#define SM_AI_NO_ET 8
#define SM_II_NO_ET SM_AI_NO_ET
#define SM_PC 9
#define SM_SC 10
#define SM_PC_NO_ET 11
#define SM_SC_NO_ET 12
#define SM_PIP 13
#define SM_IDENTICAL 15
#define SM_CBM 16 /* the relation pattern decides */

/* Prepared form of one filter, zero-filled when made. Only shape and
 * prepared are touched outside the geometry module; prepared is one block
 * that the C heap's free releases. */
typedef struct VE_FEATURE_SPEC {
    FEATURE_STRUCT *shape;
    void *prepared;
    uint8_t prepared_form[40]; /* the geometry module's own */
} VE_FEATURE_SPEC;

#ifdef __cplusplus
}
#endif

#endif
