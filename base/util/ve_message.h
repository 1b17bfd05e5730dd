// Message catalogue: the texts of the engine's error and warning codes, one
// file per language under the instance's home
// ("<ZELHOME>/locale/msg/<language>/<prefix>_error.msg"). The whole file is
// kept in memory with one index of message lines per section; a message runs
// from its indexed line up to the next indexed line (or the section's end).
#ifndef VE_MESSAGE_H
#define VE_MESSAGE_H

#include <stdint.h>

#include "base/util/zel_export.h"

typedef struct {
    char *text;           // the whole catalogue, NUL-terminated, LF line ends
    char **error_index;   // error_count message starts, then the section's end
    char **warning_index; // warning_count message starts, then the text's end
    int32_t error_count;
    int32_t warning_count;
} VE_MESSAGE_CATALOG;

// Loads the catalogue "<prefix>_error.msg" of the language directory into the
// caller's record. Returns 0; -1 without ZELHOME; -1011 when the file is
// missing or unreadable; -12 out of memory; -65 for a null argument. The caller
// owns the record's three blocks (ves_message_catalog_free releases them).
ZEL_API int32_t read_message(const char *prefix, const char *language, VE_MESSAGE_CATALOG *catalog);

#endif
