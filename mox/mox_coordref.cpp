// Coordinate references (COORDREF, laid out in mox/mox_types.h): their life, copy,
// comparison, the rounding values derived from units, and the conversions
// between plane values and signed 32-bit system units. A conversion that would
// leave the system-unit range is refused, never wrapped.
#include <malloc.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "mox/mox.h"

MOX_API int32_t MoxCoordRefCreate(COORDREF **coordref)
{
    if (coordref == nullptr)
        return MOX_E_NULL_POINTER;
    *coordref = static_cast<COORDREF *>(calloc(1, sizeof(COORDREF)));
    return *coordref == nullptr ? MOX_E_OUT_OF_MEMORY : MOX_SUCCESS;
}

MOX_API void MoxCoordRefFree(COORDREF *coordref)
{
    if (coordref == nullptr)
        return;
    free(coordref->srtext);
    free(coordref);
}

/* Copies the public values, not the module's words nor the text pointer. */
static void S_copy_values(const COORDREF *from, COORDREF *to)
{
    to->falsex = from->falsex;
    to->falsey = from->falsey;
    to->xyunits = from->xyunits;
    to->xy_rounding = from->xy_rounding;
    to->xy_half_unit = from->xy_half_unit;
    to->falsez = from->falsez;
    to->zunits = from->zunits;
    to->z_rounding = from->z_rounding;
    to->z_half_unit = from->z_half_unit;
    to->falsem = from->falsem;
    to->munits = from->munits;
    to->m_rounding = from->m_rounding;
    to->m_half_unit = from->m_half_unit;
    to->srid = from->srid;
}

MOX_API int32_t MoxCoordRefDuplicate(const COORDREF *source, COORDREF *destination)
{
    if (source == nullptr || destination == nullptr)
        return MOX_E_NULL_POINTER;
    if (source == destination)
        return MOX_SUCCESS;
    if (source->srtext == nullptr) {
        if (destination->srtext != nullptr)
            destination->srtext[0] = '\0';
    } else if (source->srtext != destination->srtext) {
        size_t size = strlen(source->srtext) + 1;
        char *text = destination->srtext;
        // A buffer with room is kept as it is: callers attach fixed-size text
        // buffers of their own and read into them at that size, so it must
        // never shrink under them.
        if (text == nullptr || malloc_usable_size(text) < size) {
            text = static_cast<char *>(realloc(text, size));
            if (text == nullptr)
                return MOX_E_OUT_OF_MEMORY;
        }
        memcpy(text, source->srtext, size);
        destination->srtext = text;
    }
    S_copy_values(source, destination);
    return MOX_SUCCESS;
}

static const char *S_text(const COORDREF *coordref)
{
    return coordref->srtext == nullptr ? "" : coordref->srtext;
}

MOX_API int32_t MoxCoordRefIsEqual(const COORDREF *a, const COORDREF *b)
{
    if (a == b)
        return 1;
    if (a == nullptr || b == nullptr)
        return 0;
    return a->falsex == b->falsex && a->falsey == b->falsey && a->xyunits == b->xyunits &&
           a->falsez == b->falsez && a->zunits == b->zunits && a->falsem == b->falsem &&
           a->munits == b->munits && strcmp(S_text(a), S_text(b)) == 0;
}

MOX_API int32_t MoxsCoordRefIsActive(const COORDREF *coordref)
{
    return coordref != nullptr && isfinite(coordref->xyunits) && coordref->xyunits > 0.0 &&
           isfinite(coordref->falsex) && isfinite(coordref->falsey);
}

MOX_API int32_t MoxsCoordRefReset(COORDREF *coordref)
{
    if (coordref == nullptr)
        return MOX_E_NULL_POINTER;
    static const COORDREF empty = {};
    S_copy_values(&empty, coordref);
    if (coordref->srtext != nullptr)
        coordref->srtext[0] = '\0';
    return MOX_SUCCESS;
}

MOX_API int32_t MoxsCalcCRound(double units, double *rounding)
{
    if (rounding == nullptr)
        return MOX_E_NULL_POINTER;
    *rounding = 0.0;
    if (!isfinite(units) || units <= 0.0)
        return MOX_E_INVALID_ARGUMENT;
    *rounding = 1.0 / units;
    return MOX_SUCCESS;
}

MOX_API int32_t MoxsCalcHalfSU(double rounding, double *half_unit)
{
    if (half_unit == nullptr)
        return MOX_E_NULL_POINTER;
    *half_unit = 0.0;
    if (!isfinite(rounding) || rounding <= 0.0)
        return MOX_E_INVALID_ARGUMENT;
    *half_unit = rounding / 2.0;
    return MOX_SUCCESS;
}

static bool S_units_ok(double units)
{
    return isfinite(units) && units > 0.0;
}

/* A finite double already rounded to an integer, into range or refused. */
static int32_t S_to_system(double rounded, int32_t *result)
{
    if (rounded > (double)MOX_SYSTEM_MAX || rounded < -(double)MOX_SYSTEM_MAX)
        return MOX_E_COORD_OUT_OF_RANGE;
    *result = (int32_t)rounded;
    return MOX_SUCCESS;
}

MOX_API int32_t MoxsValueToSystem(double origin, double units, double value, int32_t *result)
{
    if (result == nullptr)
        return MOX_E_NULL_POINTER;
    if (!S_units_ok(units) || !isfinite(origin))
        return MOX_E_COORDREF_INACTIVE;
    if (!isfinite(value))
        return MOX_E_INVALID_ARGUMENT;
    double scaled = (value - origin) * units;
    if (!isfinite(scaled))
        return MOX_E_COORD_OUT_OF_RANGE;
    return S_to_system(floor(scaled + 0.5), result);
}

MOX_API int32_t MoxsValueToPlane(double origin, double units, int32_t value, double *result)
{
    if (result == nullptr)
        return MOX_E_NULL_POINTER;
    if (!S_units_ok(units) || !isfinite(origin))
        return MOX_E_COORDREF_INACTIVE;
    *result = value / units + origin;
    return MOX_SUCCESS;
}

MOX_API int32_t MoxsEnvelopeToSystem(const COORDREF *coordref, const VE_ENVELOPE *plane,
                                     ENVELOPE *system)
{
    if (plane == nullptr || system == nullptr)
        return MOX_E_NULL_POINTER;
    if (!MoxsCoordRefIsActive(coordref))
        return MOX_E_COORDREF_INACTIVE;
    const double in[4] = {plane->minx, plane->miny, plane->maxx, plane->maxy};
    const double origin[4] = {coordref->falsex, coordref->falsey, coordref->falsex,
                              coordref->falsey};
    int32_t out[4];
    for (int i = 0; i < 4; i++) {
        if (!isfinite(in[i]))
            return MOX_E_INVALID_ARGUMENT;
        double scaled = (in[i] - origin[i]) * coordref->xyunits;
        if (!isfinite(scaled))
            return MOX_E_COORD_OUT_OF_RANGE;
        int32_t rc = S_to_system(i < 2 ? floor(scaled) : ceil(scaled), &out[i]);
        if (rc != MOX_SUCCESS)
            return rc;
    }
    *system = ENVELOPE{out[0], out[1], out[2], out[3]};
    return MOX_SUCCESS;
}

MOX_API int32_t MoxCoordRefGetXY(const COORDREF *coordref, double *falsex, double *falsey,
                                 double *xyunits)
{
    if (falsex == nullptr || falsey == nullptr || xyunits == nullptr)
        return MOX_E_NULL_POINTER;
    if (!MoxsCoordRefIsActive(coordref))
        return MOX_E_COORDREF_INACTIVE;
    *falsex = coordref->falsex;
    *falsey = coordref->falsey;
    *xyunits = coordref->xyunits;
    return MOX_SUCCESS;
}

static int32_t S_get_axis(double origin, double units, double *out_origin, double *out_units)
{
    if (out_origin == nullptr || out_units == nullptr)
        return MOX_E_NULL_POINTER;
    if (!S_units_ok(units) || !isfinite(origin))
        return MOX_E_COORDREF_INACTIVE;
    *out_origin = origin;
    *out_units = units;
    return MOX_SUCCESS;
}

MOX_API int32_t MoxCoordRefGetZ(const COORDREF *coordref, double *falsez, double *zunits)
{
    if (coordref == nullptr)
        return MOX_E_NULL_POINTER;
    return S_get_axis(coordref->falsez, coordref->zunits, falsez, zunits);
}

MOX_API int32_t MoxCoordRefGetM(const COORDREF *coordref, double *falsem, double *munits)
{
    if (coordref == nullptr)
        return MOX_E_NULL_POINTER;
    return S_get_axis(coordref->falsem, coordref->munits, falsem, munits);
}

MOX_API int32_t MoxCoordRefGetId(const COORDREF *coordref, int32_t *id)
{
    if (coordref == nullptr || id == nullptr)
        return MOX_E_NULL_POINTER;
    *id = 0;
    return MOX_SUCCESS;
}

MOX_API int32_t MoxCoordRefGetDescription(const COORDREF *coordref, char *text, int32_t size)
{
    if (coordref == nullptr || text == nullptr)
        return MOX_E_NULL_POINTER;
    if (size < 1)
        return MOX_E_INVALID_ARGUMENT;
    const char *held = S_text(coordref);
    snprintf(text, (size_t)size, "%s", held[0] != '\0' ? held : "UNKNOWN");
    return MOX_SUCCESS;
}

MOX_API int32_t MoxCoordRefGetSrId(const COORDREF *coordref, int32_t *srid)
{
    if (coordref == nullptr || srid == nullptr)
        return MOX_E_NULL_POINTER;
    *srid = coordref->srid;
    return MOX_SUCCESS;
}
