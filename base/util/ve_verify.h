// Plausibility checks of engine records before they are written: table
// registrations, versions, locators, layers, raster bands and column
// definitions, and the copy of a column-definition array. The checks only
// read; each reports the first problem found, in the order documented.
#ifndef VE_VERIFY_H
#define VE_VERIFY_H

#include <stdint.h>

#include "base/util/ve_locator.h"
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

#ifdef __cplusplus
}
#endif

#endif
