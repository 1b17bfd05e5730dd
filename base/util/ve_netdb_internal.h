// The reverse host look-up, shared inside the library.
#ifndef VE_NETDB_INTERNAL_H
#define VE_NETDB_INTERNAL_H

#include <netdb.h>

#include "base/util/ve_netdb.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The resolver's host entry for an IPv4 address of 4 bytes in network order,
 * or null. buffer and error are left untouched. */
struct hostent *ves_get_host_by_addr(const unsigned char *address, struct hostent *buffer,
                                     int32_t *error);

#ifdef __cplusplus
}
#endif

#endif
