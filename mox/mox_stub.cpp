// Stub bodies until the shape and reference code lands.
#include "mox/mox.h"

int32_t MoxsShapeAllocate(FEATURE_STRUCT *shape, int32_t count, int32_t with_z, int32_t with_measures) { (void)shape; (void)count; (void)with_z; (void)with_measures; return MOX_E_INTERNAL; }
int32_t MoxsNvelop(FEATURE_STRUCT *shape) { (void)shape; return MOX_E_INTERNAL; }
double MoxsShapeArea(const FEATURE_STRUCT *shape) { (void)shape; return 0.0; }
double MoxsShapeLength(const FEATURE_STRUCT *shape) { (void)shape; return 0.0; }
int32_t MoxsShapeSetAreaFlag(FEATURE_STRUCT *shape, int32_t on) { (void)shape; (void)on; return MOX_E_INTERNAL; }
int32_t MoxsShapeSetLengthFlag(FEATURE_STRUCT *shape, int32_t on) { (void)shape; (void)on; return MOX_E_INTERNAL; }
int32_t MoxsShapeSetExtentFlag(FEATURE_STRUCT *shape, int32_t on) { (void)shape; (void)on; return MOX_E_INTERNAL; }
int32_t MoxsShapeSetActive(FEATURE_STRUCT *shape) { (void)shape; return MOX_E_INTERNAL; }
int32_t MoxsShapeInit(FEATURE_STRUCT *shape, COORDREF *coordref) { (void)shape; (void)coordref; return MOX_E_INTERNAL; }
int32_t MoxShapeCreate(const COORDREF *coordref, FEATURE_STRUCT **shape) { (void)coordref; (void)shape; return MOX_E_INTERNAL; }
void MoxShapeFree(FEATURE_STRUCT *shape) { (void)shape; }
int32_t MoxShapeDuplicate(const FEATURE_STRUCT *source, FEATURE_STRUCT *target) { (void)source; (void)target; return MOX_E_INTERNAL; }
int32_t MoxShapeIsNil(const FEATURE_STRUCT *shape) { (void)shape; return MOX_E_INTERNAL; }
int32_t MoxShapeGetCoordRef(const FEATURE_STRUCT *shape, COORDREF *coordref) { (void)shape; (void)coordref; return MOX_E_INTERNAL; }
int32_t MoxShapeGeneratePoint(FEATURE_STRUCT *shape, double x, double y) { (void)shape; (void)x; (void)y; return MOX_E_INTERNAL; }
int32_t MoxShapeGenerateSimpleLine(FEATURE_STRUCT *shape, double x1, double y1, double x2, double y2) { (void)shape; (void)x1; (void)y1; (void)x2; (void)y2; return MOX_E_INTERNAL; }
int32_t MoxShapeGenerateRectangle(FEATURE_STRUCT *shape, double minx, double miny, double maxx, double maxy) { (void)shape; (void)minx; (void)miny; (void)maxx; (void)maxy; return MOX_E_INTERNAL; }
int32_t MoxShapeIs3D(const FEATURE_STRUCT *shape) { (void)shape; return MOX_E_INTERNAL; }
int32_t MoxShapeIsMeasured(const FEATURE_STRUCT *shape) { (void)shape; return MOX_E_INTERNAL; }
int32_t MoxShapeGetNumParts(const FEATURE_STRUCT *shape, int32_t *num_parts) { (void)shape; (void)num_parts; return MOX_E_INTERNAL; }
int32_t MoxShapeGetNumPoints(const FEATURE_STRUCT *shape, int32_t *num_points) { (void)shape; (void)num_points; return MOX_E_INTERNAL; }
int32_t MoxShapeGetExtent(const FEATURE_STRUCT *shape, VE_ENVELOPE *extent) { (void)shape; (void)extent; return MOX_E_INTERNAL; }
int32_t MoxShapeGetZRange(const FEATURE_STRUCT *shape, double *minz, double *maxz) { (void)shape; (void)minz; (void)maxz; return MOX_E_INTERNAL; }
int32_t MoxShapeGetMRange(const FEATURE_STRUCT *shape, double *minm, double *maxm) { (void)shape; (void)minm; (void)maxm; return MOX_E_INTERNAL; }
int32_t MoxShapeGetLength(const FEATURE_STRUCT *shape, double *length) { (void)shape; (void)length; return MOX_E_INTERNAL; }
int32_t MoxShapeGetArea(const FEATURE_STRUCT *shape, double *area) { (void)shape; (void)area; return MOX_E_INTERNAL; }
int32_t MoxShapeGetAllPoints(const FEATURE_STRUCT *shape, int32_t *part_offsets, double *xy, double *z, double *measures) { (void)shape; (void)part_offsets; (void)xy; (void)z; (void)measures; return MOX_E_INTERNAL; }
int32_t MoxCoordRefCreate(COORDREF **coordref) { (void)coordref; return MOX_E_INTERNAL; }
void MoxCoordRefFree(COORDREF *coordref) { (void)coordref; }
int32_t MoxCoordRefDuplicate(const COORDREF *source, COORDREF *destination) { (void)source; (void)destination; return MOX_E_INTERNAL; }
int32_t MoxCoordRefIsEqual(const COORDREF *a, const COORDREF *b) { (void)a; (void)b; return MOX_E_INTERNAL; }
int32_t MoxsCoordRefIsActive(const COORDREF *coordref) { (void)coordref; return MOX_E_INTERNAL; }
int32_t MoxsCoordRefReset(COORDREF *coordref) { (void)coordref; return MOX_E_INTERNAL; }
int32_t MoxsCalcCRound(double units, double *rounding) { (void)units; (void)rounding; return MOX_E_INTERNAL; }
int32_t MoxsCalcHalfSU(double rounding, double *half_unit) { (void)rounding; (void)half_unit; return MOX_E_INTERNAL; }
int32_t MoxsValueToSystem(double origin, double units, double value, int32_t *result) { (void)origin; (void)units; (void)value; (void)result; return MOX_E_INTERNAL; }
int32_t MoxsValueToPlane(double origin, double units, int32_t value, double *result) { (void)origin; (void)units; (void)value; (void)result; return MOX_E_INTERNAL; }
int32_t MoxsEnvelopeToSystem(const COORDREF *coordref, const VE_ENVELOPE *plane, ENVELOPE *system) { (void)coordref; (void)plane; (void)system; return MOX_E_INTERNAL; }
int32_t MoxCoordRefGetXY(const COORDREF *coordref, double *falsex, double *falsey, double *xyunits) { (void)coordref; (void)falsex; (void)falsey; (void)xyunits; return MOX_E_INTERNAL; }
int32_t MoxCoordRefGetZ(const COORDREF *coordref, double *falsez, double *zunits) { (void)coordref; (void)falsez; (void)zunits; return MOX_E_INTERNAL; }
int32_t MoxCoordRefGetM(const COORDREF *coordref, double *falsem, double *munits) { (void)coordref; (void)falsem; (void)munits; return MOX_E_INTERNAL; }
int32_t MoxCoordRefGetId(const COORDREF *coordref, int32_t *id) { (void)coordref; (void)id; return MOX_E_INTERNAL; }
int32_t MoxCoordRefGetDescription(const COORDREF *coordref, char *text, int32_t size) { (void)coordref; (void)text; (void)size; return MOX_E_INTERNAL; }
int32_t MoxCoordRefGetSrId(const COORDREF *coordref, int32_t *srid) { (void)coordref; (void)srid; return MOX_E_INTERNAL; }
int32_t MoxsEnvSect(struct VE_FEATURE_SPEC *spec, const ENVELOPE *envelope, int32_t method) { (void)spec; (void)envelope; (void)method; return MOX_E_INTERNAL; }
int32_t MoxsSrchComp(struct VE_FEATURE_SPEC *spec, const FEATURE_STRUCT *shape, int32_t method, int32_t *relation, int32_t *work, int32_t relation_flag) { (void)spec; (void)shape; (void)method; (void)relation; (void)work; (void)relation_flag; return MOX_E_INTERNAL; }
int32_t MoxEvaluateRelation(int32_t filter_entity, int32_t feature_entity, int32_t relation, int32_t *work, const char *pattern) { (void)filter_entity; (void)feature_entity; (void)relation; (void)work; (void)pattern; return MOX_E_INTERNAL; }
