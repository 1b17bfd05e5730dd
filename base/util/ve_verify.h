// Plausibility checks of engine records before they are written: table
// registrations, versions, locators, layers, raster bands and column
// definitions, and the copy of a column-definition array. The checks only
// read; each reports the first problem found, in the order documented.
#ifndef VE_VERIFY_H
#define VE_VERIFY_H

#include <stdint.h>

#include "base/util/db_column_def.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_locator.h"
#include "base/util/ve_raster.h"
#include "base/util/ve_registration.h"
#include "base/util/ve_version.h"
#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* -65 null; -37 empty table name; -38 a row-id column flagged but unnamed. */
ZEL_API int32_t VES_verify_registration(const REGISTRATION *registration);
/* -65 null; -171 empty name; -181 negative state id. */
ZEL_API int32_t VES_verify_version(const VERSION *version);
/* -65 null; -274 empty name; -273 empty owner; -277 kind not 0, 1 or 2;
 * -66 a negative property count, a missing property array, or a property
 * with a null or empty name or a null value. */
ZEL_API int32_t VES_verify_locator(const LOCATOR *locator);
/* -65 null; -37 empty table name; -38 empty spatial column; -141 a
 * coordinate reference that is not active. */
int32_t ves_verify_layer(const LAYER *layer);
/* -65 null; -227 raster column id below 1; -243 when, for a part the check
 * mask selects, the band flag disagrees with the object held. */
int32_t ves_verify_rasterband(const RASTERBAND *band);
/* -66 count below 1; -65 null; -56 a name empty or unterminated, or a
 * negative size; -53 a type outside 1 to 8. */
int32_t ves_verify_column_defs(int16_t count, const DB_COLUMN_DEF *defs);
/* Copies count definitions into a new zero-filled array (*copy, freed with
 * free()) and stores the count. -66 count below 1; -65 a null argument; -13
 * when memory is short. */
int32_t ves_copy_column_defs(int16_t count, const DB_COLUMN_DEF *defs, DB_COLUMN_DEF **copy,
                             int16_t *copy_count);

#ifdef __cplusplus
}
#endif

#endif
