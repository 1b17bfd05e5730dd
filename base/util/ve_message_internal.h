// The message catalogue's parser (also driven by the fuzz target) and its free.
#ifndef VE_MESSAGE_INTERNAL_H
#define VE_MESSAGE_INTERNAL_H

#include <stddef.h>

#include "base/util/ve_message.h"

// Builds a catalogue record from the bytes of a catalogue file (CR LF line
// ends become LF). Returns 0, -12 or -65. The record is left empty on failure.
int32_t ves_message_catalog_parse(const char *bytes, size_t length, VE_MESSAGE_CATALOG *catalog);

// Frees the record's blocks and clears it; a null record is ignored.
void ves_message_catalog_free(VE_MESSAGE_CATALOG *catalog);

#endif
