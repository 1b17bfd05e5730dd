// The scrambling with its time and seed given (the tests fix both).
#ifndef VE_NET_STRING_INTERNAL_H
#define VE_NET_STRING_INTERNAL_H

#include "base/util/ve_net_string.h"

// The scrambling itself with the time and the random seed given: the exported
// form passes the current time for both.
int32_t ves_string_scramble(const char *text, char *out, uint32_t stamp, uint32_t seed);

#endif
