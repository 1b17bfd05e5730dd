// The engine's release record: reported by the hosts, kept in the catalogue's
// release table and sent to clients (its wire forms are the channel codecs').
#ifndef VE_RELEASE_H
#define VE_RELEASE_H

#include <stdint.h>

#include "base/util/zel_export.h"

#define VE_RELEASE_TEXT "8.1.1"
#define VE_RELEASE_NUMBER 81100
#define VE_RELEASE_DESCRIPTION_SIZE 96

typedef struct {
    int32_t major;
    int32_t minor;
    int32_t bugfix;
    char description[VE_RELEASE_DESCRIPTION_SIZE];
    int32_t release;
} RELEASE;

// Fills the record with this engine's release and the DBMS build texts;
// returns the length of the description, or -65 for a null record.
ZEL_API int32_t VES_get_release(RELEASE *release);

#endif
