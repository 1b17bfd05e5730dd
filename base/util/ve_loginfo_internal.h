// The log-file info record's copy, shared inside the library.
#ifndef VE_LOGINFO_INTERNAL_H
#define VE_LOGINFO_INTERNAL_H

#include "base/util/ve_loginfo.h"

// Copies the whole record when both are valid; -249 otherwise.
int32_t ves_loginfo_copy(const LOGFILE *source, LOGFILE *target);

#endif
