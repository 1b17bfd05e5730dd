// The geometry module (libmox81.so): shapes over FEATURE_STRUCT, coordinate
// references, envelopes, area and length, and the spatial relations of the
// query filters. Every status is 0 or one of the MOX_E_* codes below (-2001 to
// -2049, -2999); the server library turns them into engine codes with
// VES_map_shape_error_to_zel. The records are in mox/mox_types.h.
#ifndef MOX_H
#define MOX_H

#include <stdint.h>

#include "mox/mox_export.h"
#include "mox/mox_types.h"

/* ---- Status codes ------------------------------------------------------
 * Only these leave the module. The engine code each one maps to is in
 * brackets. Numbers of the range not named here are not produced. */
#define MOX_SUCCESS 0
#define MOX_E_NULL_SHAPE (-2001)          /* a shape argument is null [-134] */
#define MOX_E_NULL_POINTER (-2002)        /* another required pointer is null [-65] */
#define MOX_E_INVALID_ARGUMENT (-2003)    /* an argument is out of range [-66] */
#define MOX_E_INVALID_ENTITY_TYPE (-2004) /* unknown entity type [-27] */
#define MOX_E_INVALID_SHAPE (-2005)       /* record unreadable: points missing, count < 0 [-135] */
#define MOX_E_INVALID_NUM_POINTS (-2006)  /* negative count asked for; ring too short [-29] */
#define MOX_E_INVALID_RELATION (-2009)    /* unknown search method, bad pattern or cell [-30] */
#define MOX_E_OUT_OF_MEMORY (-2018)       /* memory exhausted [-999] */
#define MOX_E_COORDREF_MISMATCH (-2020)   /* two shapes' references differ [-138] */
#define MOX_E_COORDREF_INACTIVE (-2023)   /* reference not usable for conversion [-141] */
#define MOX_E_COORD_OUT_OF_RANGE (-2024)  /* value beyond the system-unit range [-142] */
#define MOX_E_INTERNAL (-2999)            /* not available / internal failure [-83] */

/* Largest magnitude of a system-unit value. -2^31 is refused as well: the
 * compressed feature's varLONG has no encoding for it. */
#define MOX_SYSTEM_MAX 2147483647

/* Answers of MoxsEnvSect. */
#define MOX_ENVSECT_CANNOT_HOLD 0
#define MOX_ENVSECT_UNDECIDED 1
#define MOX_ENVSECT_HOLDS 0x1000

/* ---- Parts and rings in a shape's point list ----------------------------
 * A FEATURE_STRUCT has one point list and no part array. Its entity type
 * says how the list divides (the 0x100 bit marks the multi-part forms):
 *
 * - Point (1) and multi point (257): every point is a part of its own.
 * - Line (2) and simple line (4): the whole list is one part.
 * - Multi line (258) and multi simple line (260): a point equal to the point
 *   just before it closes the current part, and the next part starts after
 *   it. Parts A-B and C-D are stored A B B C D; parts that touch, A-B and
 *   B-C, are stored A B B B C. A writer drops repeated points inside a part.
 * - Area (8) and multi area (264): the list is a run of closed rings. A ring
 *   ends at the first later point equal to its own first point; the next
 *   ring starts after that; a last ring that never comes back is closed
 *   implicitly. For an area (8) the first ring is the outer boundary and every
 *   later ring a hole. For a multi area (264) the first ring opens a polygon;
 *   a later ring is a hole of the current polygon when its winding is zero
 *   (no area) or opposite to the winding of that polygon's outer ring, and
 *   otherwise (same winding, or an outer ring without winding) it opens the
 *   next polygon. Winding is the sign of the ring's signed area.
 * - Nil (0) and any other type: no parts.
 *
 * Z values and measures, when present, run parallel to the points. Area and
 * length follow these parts: no length between parts, an area is the outer
 * rings' areas less their holes', and a perimeter counts every ring.
 *
 * The module's own words in FEATURE_STRUCT: `reserved1` holds the MOX_SHAPE_*
 * flags, and `allocated_points` is the room of every point array present
 * (XY, Z and measures alike). A caller that puts arrays of its own into a
 * record sets `allocated_points` to their room. */
#define MOX_SHAPE_AREA_VALID 0x1u
#define MOX_SHAPE_LENGTH_VALID 0x2u
#define MOX_SHAPE_EXTENT_VALID 0x4u
#define MOX_SHAPE_ACTIVE 0x8u
#define MOX_SHAPE_CREATED 0x10000u       /* the record came from MoxShapeCreate */
#define MOX_SHAPE_OWNS_COORDREF 0x20000u /* MoxShapeFree releases the reference */

/* Entity types of the generated search shapes. */
#define MOX_ENTITY_POINT VE_ENTITY_POINT
#define MOX_ENTITY_SIMPLE_LINE VE_ENTITY_SIMPLE_LINE
#define MOX_ENTITY_AREA VE_ENTITY_AREA

/* ---- Shapes -------------------------------------------------------------
 * Area, length, extent and ranges of the Get functions are in coordinate
 * units of the shape's reference (system units when it has none or an
 * inactive one); the Moxs functions work in the same units. */

/* Room for count points in the XY array, and in the Z and measure arrays when
 * asked; an array not asked for but present is kept (and grown alike).
 * Sets num_points to count. Contents up to the old room are kept. */
MOX_API int32_t MoxsShapeAllocate(FEATURE_STRUCT *shape, int32_t count, int32_t with_z,
                                  int32_t with_measures);
/* The envelope field from the points; a shape without points gets the empty
 * envelope (min INT32_MAX, max INT32_MIN). */
MOX_API int32_t MoxsNvelop(FEATURE_STRUCT *shape);
/* Area of an area shape, 0 for any other; 0 for a null or broken shape. */
MOX_API double MoxsShapeArea(const FEATURE_STRUCT *shape);
/* Length of a line or perimeter of an area, 0 for points; 0 when broken. */
MOX_API double MoxsShapeLength(const FEATURE_STRUCT *shape);
MOX_API int32_t MoxsShapeSetAreaFlag(FEATURE_STRUCT *shape, int32_t on);
MOX_API int32_t MoxsShapeSetLengthFlag(FEATURE_STRUCT *shape, int32_t on);
MOX_API int32_t MoxsShapeSetExtentFlag(FEATURE_STRUCT *shape, int32_t on);
/* Marks a caller's record (zero-filled or used) as a shape of the module. */
MOX_API int32_t MoxsShapeSetActive(FEATURE_STRUCT *shape);
/* Prepares a caller's zero-filled record for the reference, which it borrows
 * (the caller keeps it alive and frees it). */
MOX_API int32_t MoxsShapeInit(FEATURE_STRUCT *shape, COORDREF *coordref);

/* A new empty shape with its own copy of coordref (none when null); freed
 * with MoxShapeFree. */
MOX_API int32_t MoxShapeCreate(const COORDREF *coordref, FEATURE_STRUCT **shape);
/* Releases the point arrays, compressed buffer and owned reference; the record
 * itself when it came from MoxShapeCreate (a caller's record stays, cleared).
 * Null is accepted. The annotation and CAD record are the caller's. */
MOX_API void MoxShapeFree(FEATURE_STRUCT *shape);
/* Target becomes a copy of source's geometry: points, Z, measures, entity,
 * envelope, area, length, ids and validity flags. A target from
 * MoxShapeCreate gets its own copy of the reference; a caller's record
 * shares the source's reference pointer. */
MOX_API int32_t MoxShapeDuplicate(const FEATURE_STRUCT *source, FEATURE_STRUCT *target);
/* Non-zero for a null shape, entity type nil, or no points. */
MOX_API int32_t MoxShapeIsNil(const FEATURE_STRUCT *shape);
/* Copies the shape's reference into an existing one (reset when it has none). */
MOX_API int32_t MoxShapeGetCoordRef(const FEATURE_STRUCT *shape, COORDREF *coordref);

/* Search shapes from plane coordinates, converted with the shape's reference
 * (set by MoxsShapeInit or MoxShapeCreate); the shape's arrays are grown as
 * needed and its envelope computed. A point, a two-point simple line, and a
 * closed five-point rectangle ring (corners normalised). */
MOX_API int32_t MoxShapeGeneratePoint(FEATURE_STRUCT *shape, double x, double y);
MOX_API int32_t MoxShapeGenerateSimpleLine(FEATURE_STRUCT *shape, double x1, double y1, double x2,
                                           double y2);
MOX_API int32_t MoxShapeGenerateRectangle(FEATURE_STRUCT *shape, double minx, double miny,
                                          double maxx, double maxy);

/* Getters of the record printers. */
MOX_API int32_t MoxShapeIs3D(const FEATURE_STRUCT *shape);
MOX_API int32_t MoxShapeIsMeasured(const FEATURE_STRUCT *shape);
MOX_API int32_t MoxShapeGetNumParts(const FEATURE_STRUCT *shape, int32_t *num_parts);
MOX_API int32_t MoxShapeGetNumPoints(const FEATURE_STRUCT *shape, int32_t *num_points);
MOX_API int32_t MoxShapeGetExtent(const FEATURE_STRUCT *shape, VE_ENVELOPE *extent);
MOX_API int32_t MoxShapeGetZRange(const FEATURE_STRUCT *shape, double *minz, double *maxz);
MOX_API int32_t MoxShapeGetMRange(const FEATURE_STRUCT *shape, double *minm, double *maxm);
MOX_API int32_t MoxShapeGetLength(const FEATURE_STRUCT *shape, double *length);
MOX_API int32_t MoxShapeGetArea(const FEATURE_STRUCT *shape, double *area);
/* part_offsets gets the index of each part's first point (room for
 * MoxShapeGetNumParts entries, may be null when there are none), xy the X and
 * Y of each point in turn (2 x num_points), z and measures one value a point
 * (null when not wanted). */
MOX_API int32_t MoxShapeGetAllPoints(const FEATURE_STRUCT *shape, int32_t *part_offsets, double *xy,
                                     double *z, double *measures);

/* ---- Coordinate references ---------------------------------------------- */

/* A zero-filled reference without text, not active. */
MOX_API int32_t MoxCoordRefCreate(COORDREF **coordref);
/* Releases the reference and any text still attached. Null is accepted. */
MOX_API void MoxCoordRefFree(COORDREF *coordref);
/* Destination becomes a copy of source; the destination's text buffer is kept
 * (reallocated only when too small for the text), or emptied when source has
 * no text. */
MOX_API int32_t MoxCoordRefDuplicate(const COORDREF *source, COORDREF *destination);
/* Non-zero when both give the same false origins, units and text (a null
 * text equals an empty one; srid and the derived values are not compared);
 * two null references are equal. */
MOX_API int32_t MoxCoordRefIsEqual(const COORDREF *a, const COORDREF *b);
/* Non-zero when the XY units and origins allow conversions. */
MOX_API int32_t MoxsCoordRefIsActive(const COORDREF *coordref);
/* Back to the empty values; the attached text buffer stays, emptied. */
MOX_API int32_t MoxsCoordRefReset(COORDREF *coordref);
/* rounding = 1 / units; MOX_E_INVALID_ARGUMENT (and 0.0) unless units > 0. */
MOX_API int32_t MoxsCalcCRound(double units, double *rounding);
/* half = rounding / 2; MOX_E_INVALID_ARGUMENT (and 0.0) unless rounding > 0. */
MOX_API int32_t MoxsCalcHalfSU(double rounding, double *half_unit);

/* One axis value to system units, rounded to nearest; MOX_E_COORD_OUT_OF_RANGE
 * beyond +-MOX_SYSTEM_MAX (never wraps), MOX_E_COORDREF_INACTIVE unless
 * units > 0, MOX_E_INVALID_ARGUMENT for a value that is not finite. */
MOX_API int32_t MoxsValueToSystem(double origin, double units, double value, int32_t *result);
/* One system-unit value to the plane. */
MOX_API int32_t MoxsValueToPlane(double origin, double units, int32_t value, double *result);
/* A plane box to system units with the reference's XY origin and units,
 * widened outwards (min rounded down, max up) so it covers the plane box. */
MOX_API int32_t MoxsEnvelopeToSystem(const COORDREF *coordref, const VE_ENVELOPE *plane,
                                     ENVELOPE *system);

/* Getters of the record printers. Z and measure getters fail with
 * MOX_E_COORDREF_INACTIVE when the reference has no units for the axis. */
MOX_API int32_t MoxCoordRefGetXY(const COORDREF *coordref, double *falsex, double *falsey,
                                 double *xyunits);
MOX_API int32_t MoxCoordRefGetZ(const COORDREF *coordref, double *falsez, double *zunits);
MOX_API int32_t MoxCoordRefGetM(const COORDREF *coordref, double *falsem, double *munits);
/* The coordinate-system id; the module keeps no projection catalogue, so 0. */
MOX_API int32_t MoxCoordRefGetId(const COORDREF *coordref, int32_t *id);
/* The reference's text, or "UNKNOWN" when it has none; cut to size - 1. */
MOX_API int32_t MoxCoordRefGetDescription(const COORDREF *coordref, char *text, int32_t size);
MOX_API int32_t MoxCoordRefGetSrId(const COORDREF *coordref, int32_t *srid);

/* ---- Spatial relations (filter tests) ------------------------------------
 * A relation is read between the filter shape A (the spec's shape) and a
 * feature B, both in system units, through the DE-9IM matrix of A against B:
 * the dimension (F for none, 0, 1, 2) of the intersections of A's interior,
 * boundary and exterior with B's, in the order II IB IE BI BB BE EI EB EE.
 * Shapes become geometries by the part and ring rule above; a part of a multi
 * line with a single point carries no line and is dropped, a line of a single
 * point is that point, a ring of fewer than three points is refused with
 * MOX_E_INVALID_NUM_POINTS, and a nil shape is empty (no method holds for it,
 * SM_CBM aside). dim(A) and dim(B) are the shapes' dimensions.
 *
 * Search methods 2 to 16 (the SM_* codes of mox/mox_types.h):
 *   2  SM_CP            common point: A and B meet, and only in points:
 *                       II, IB, BI, BB are each F or 0, not all F
 *   3  SM_LCROSS        line cross, the OGC crosses: with dim(A) < dim(B)
 *                       T*T******, with dim(A) > dim(B) T*****T**, two lines
 *                       0********; never for equal dimensions other than lines
 *   4  SM_COMMON        common line: A and B share at least a line or an area:
 *                       one of II, IB, BI, BB is 1 or 2
 *   5  SM_CP_OR_LCROSS  2 or 3
 *   6  SM_ET_OR_AI      edge touch or area intersect: A and B meet at all
 *                       (one of II, IB, BI, BB is not F)
 *   7  SM_AI            area intersect: the interiors meet (II not F)
 *   8  SM_AI_NO_ET      the interiors meet and the boundaries do not (II not
 *                       F, BB F)
 *   9  SM_PC            the feature contains the filter, touching allowed
 *                       (A within B: T*F**F***)
 *   10 SM_SC            the filter contains the feature, touching allowed
 *                       (T*****FF*): a passing feature lies in A's envelope
 *   11 SM_PC_NO_ET      the filter lies in the feature's interior (TFF*FF***)
 *   12 SM_SC_NO_ET      the feature lies in the filter's interior (T**FF*FF*)
 *   13 SM_PIP           point in polygon: one shape is a point or multi point
 *                       (dimension 0), the other an area (dimension 2), and
 *                       every point lies in the area or on its boundary
 *   14                  no relation: refused with MOX_E_INVALID_RELATION
 *   15 SM_IDENTICAL     the same point set (T*F**FFF*); B within A's envelope
 *   16 SM_CBM           always "holds" for MoxsSrchComp, which stores the
 *                       matrix; the caller's pattern decides through
 *                       MoxEvaluateRelation
 * Methods 10, 12 and 15 are the ones whose passing features lie inside the
 * filter's envelope, as filter analysis assumes. Methods 0 and 1 (envelope
 * overlap) are settled by the caller and refused here like 14.
 *
 * Relation cell (32-bit): never 0 and never 0x9080 (the caller's mark of a
 * relation proved by the envelope alone).
 *   MOX_RELATION_MATRIX set: bits 2k and 2k+1 hold matrix entry k (0 F,
 *     1 dimension 0, 2 dimension 1, 3 dimension 2), k from 0 (II) to 8 (EE).
 *     Written for SM_CBM and whenever the relation flag is non-zero.
 *   MOX_RELATION_TESTED set: only the method's predicate was evaluated; bit
 *     MOX_RELATION_HELD tells whether it held.
 * Work value: the dimension of A and B's common part (-1 when they have none)
 * when the cell holds a matrix, otherwise -1.
 *
 * Prepared data: on first use the spec gets one C-heap block holding the
 * filter's geometry prepared for repeated tests; MoxsFeatureSpecRelease (called
 * by VES_free_feature_specs) destroys what the block holds, frees it and clears
 * the pointer. */
#define MOX_RELATION_MATRIX 0x00100000
#define MOX_RELATION_TESTED 0x00200000
#define MOX_RELATION_HELD 0x00000001

/* Answer of MoxsSrchComp when the relation does not hold (maps to -1). */
#define MOX_RELATION_NOT_HELD 1

/* From the filter shape and a candidate envelope alone: MOX_ENVSECT_CANNOT_HOLD
 * (no feature within the envelope can satisfy the method), MOX_ENVSECT_HOLDS
 * (every non-empty feature within it does), MOX_ENVSECT_UNDECIDED, or a
 * status. Settled by the boxes and the filter's edges: apart (or an empty
 * filter or box) cannot hold; methods 9 and 11 need the box to cover the
 * filter's, 10 and 12 the reverse, 15 both; a box that no edge of the filter
 * reaches (or strictly inside a filter that is exactly a rectangle) lies in
 * an area filter's interior, where 6, 7, 8, 10 and 12 hold and 3 cannot, or
 * shares no point with the filter, where nothing holds. The filter's box is
 * that of what it keeps (a lone point of a multi line is none of it). SM_CBM
 * is always undecided. */
MOX_API int32_t MoxsEnvSect(struct VE_FEATURE_SPEC *spec, const ENVELOPE *envelope, int32_t method);
/* 0 when the method's relation holds, MOX_RELATION_NOT_HELD when it does
 * not, else a status; writes *relation and *work as described above. */
MOX_API int32_t MoxsSrchComp(struct VE_FEATURE_SPEC *spec, const FEATURE_STRUCT *shape,
                             int32_t method, int32_t *relation, int32_t *work,
                             int32_t relation_flag);
/* 1 when the matrix in the relation cell matches the 9-character pattern
 * (T any dimension, F none, * anything, 0 1 2 that dimension), 0 when not;
 * MOX_E_INVALID_RELATION for a cell without a matrix or a malformed pattern,
 * MOX_E_NULL_POINTER for a null pattern. The entity types and work value are
 * not needed (the cell carries the whole matrix). */
MOX_API int32_t MoxEvaluateRelation(int32_t filter_entity, int32_t feature_entity, int32_t relation,
                                    int32_t *work, const char *pattern);
/* Releases the prepared data of a spec; a null spec or data is ignored. */
MOX_API void MoxsFeatureSpecRelease(struct VE_FEATURE_SPEC *spec);

#endif
