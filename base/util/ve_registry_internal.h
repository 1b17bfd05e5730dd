// Registry listings the library keeps for its own tools (ve_registry.h holds
// the exported verbs).
#ifndef VE_REGISTRY_INTERNAL_H
#define VE_REGISTRY_INTERNAL_H

#include <stdint.h>

#include "base/util/ve_registry.h"

/* Lists every instance of every product key under the root path, whatever
 * its DBMS word: one VE_SERVICE_ENTRY per instance key (the caller frees each
 * with free), appended product key after product key; NLS_LANG is not read
 * for "OrvekZEL for SQLServer" and DATASOURCE not for "OrvekZEL for Oracle";
 * a value that cannot be read leaves its field empty. entries must hold one
 * pointer per instance key; a null array gives the count only. 0; -65 for a
 * null count; -1 when the root cannot be opened or enumerated (entries made
 * before stay in the array, counted); -12. */
int32_t ves_list_all_services(int32_t *count, VE_SERVICE_ENTRY **entries);

#endif
