// Record checks used only inside the library: layers, raster bands and column
// definitions, and the copy of a column-definition array.
#ifndef VE_VERIFY_INTERNAL_H
#define VE_VERIFY_INTERNAL_H

#include "base/util/db_column_def.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_raster.h"
#include "base/util/ve_verify.h"

#ifdef __cplusplus
extern "C" {
#endif

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
