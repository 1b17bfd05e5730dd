// Scrambling of a text (a password) that one process hands to another: the
// service start passes it scrambled and the host reads it back. The form holds
// no NUL byte, carries the time of scrambling and random letters, and changes
// from second to second even for the same text.
#ifndef VE_NET_STRING_H
#define VE_NET_STRING_H

#include <stdint.h>

#include "base/util/zel_export.h"

// Length of the scrambled form of a text of length m (NUL not counted).
#define VES_NET_STRING_OVERHEAD 10

// Scrambles text into out, which holds at least strlen(text) + 11 bytes.
// Returns the form's length (strlen(text) + 10), 0 for an empty or null text
// (out emptied), -65 for a null out, -999 when memory runs out.
ZEL_API int32_t VES_string_mem2net(const char *text, char *out);

// Reads a scrambled form back into out (at least strlen(in) - 9 bytes) and the
// scrambling time into *stamp (0 when its digits cannot be read; stamp may be
// null). Returns the text's length, 0 for an empty or null input (out
// emptied), -65 for a null out, -66 for an input too short to be a scrambled
// form, -999 when memory runs out.
ZEL_API int32_t VES_string_net2mem(const char *in, char *out, uint32_t *stamp);

#endif
