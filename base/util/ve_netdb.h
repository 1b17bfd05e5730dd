// Host and service look-ups over the C library's resolver, which accept a
// port number where a service name is expected, and the local-time
// conversion into a caller's record.
#ifndef VE_NETDB_H
#define VE_NETDB_H

#include <netdb.h>
#include <stdint.h>
#include <time.h>

#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The resolver's host entry for the name (its own storage, valid until the
 * next look-up), or null when nothing is found. buffer and error are accepted
 * and left untouched. */
ZEL_API struct hostent *VES_GetHostByName(const char *name, struct hostent *buffer, int32_t *error);

/* The service entry of the name and protocol. "port:N" (any case) gives port
 * N without a look-up; a name the resolver does not know that reads as a
 * number gives that port. Ports are 1 to 65535. A port entry is built in
 * entry (its name and protocol point at the caller's texts); null when there
 * is none. */
ZEL_API struct servent *VES_GetServByName(const char *name, const char *protocol,
                                          struct servent *entry);

/* Fills record with the local broken-down form of the time and returns it;
 * null with the record untouched when the time cannot be converted. */
ZEL_API struct tm *VES_localtime(time_t time, struct tm *record);

#ifdef __cplusplus
}
#endif

#endif
