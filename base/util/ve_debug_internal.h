// The banner of the administration utilities, shared inside the library.
#ifndef VE_DEBUG_INTERNAL_H
#define VE_DEBUG_INTERNAL_H

#include "base/util/ve_debug.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Prints the banner of an administration utility on standard output: a blank
 * line, the product line with the release and the "Build..." part of
 * build_text (when it has one), the utility line and a rule of dashes. */
void ves_print_banner(const char *build_text, const char *utility_name);

#ifdef __cplusplus
}
#endif

#endif
