/* The library's side of the control process: finding an instance's port and
 * host address, connecting with a bounded number of attempts, sending a
 * request (its XDR length, then the XDR record) and reading the result,
 * sending one administration command, pinging, and starting the control
 * process as the instance's service. No connection state is kept: every
 * function works on a socket the caller owns.
 *
 * Environment: ZELINSTANCE (the instance name when none is given; its TCP
 * service, or "port:N", or a bare port number), ZELATTEMPTS (connection
 * attempts, a C integer literal above 0; 4 otherwise), ZELNOIPTEST (set: a
 * dotted address is looked up by name like any other host), ZELHOME. */
#ifndef VE_IOMGR_H
#define VE_IOMGR_H

#include <netinet/in.h>
#include <stdint.h>

#include "base/system/xdr_iomgr.h"
#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

#define IOMGR_DEFAULT_INSTANCE "tavo_zel"
#define IOMGR_DEFAULT_PORT 5151 /* of the default instance without a service entry */
#define IOMGR_ATTEMPTS 4
#define IOMGR_RELEASE 81100
#define IOMGR_REQUEST_SIZE 1024 /* most bytes of an encoded request */
#define IOMGR_RESULT_SIZE 1068  /* most bytes of an encoded result */
#define IOMGR_COMMAND_PING 0

/* Connects a new socket (*socket, the caller's to close) to the control
 * process of the instance (the given name when not null or empty, else
 * ZELINSTANCE, else the default) on host. 0; -102 no service entry for a
 * given or environment name; -100 unknown host; -10 no socket could be made;
 * -101 refused or reset (at once, without further attempts); -1 any other
 * failure or every attempt timed out or was interrupted ("CONNECT: errno = n"
 * on standard error); -65 a null host or socket. */
ZEL_API int32_t VES_connect_to_iomgr(const char *host, const char *instance, int *socket);
/* The IPv4 address of host with port (network order) and its length (16).
 * 0, -100 when the host has no entry, -65 for a null argument. */
ZEL_API int32_t VES_make_inet_socket_addr(uint16_t port, const char *host,
                                          struct sockaddr_in *address, int32_t *length);
/* Replaces *socket with a duplicate that child processes inherit and closes
 * the first. 0, -10, -65. */
ZEL_API int32_t VES_make_socket_inheritable(int *socket);
/* Sends the request: its encoded length as one XDR long, then its encoding.
 * 0; -10 when the socket takes fewer bytes, or the request does not encode
 * in IOMGR_REQUEST_SIZE bytes (a text longer than its maximum or not ending
 * in its field; nothing is sent then); -65. */
ZEL_API int32_t VES_send_xdr_request(int socket, const req4io *request);
/* Reads a result into *result. An earlier release's result fills the ids and
 * first five ints and gives the sixth int the first id; unless that is -51,
 * the seventh int and both texts are cleared. 0; -88 the control process
 * refused (length 1); -10 fewer bytes than needed, a length of 0 or less or
 * above IOMGR_RESULT_SIZE (nothing more is read), or bytes that are neither
 * form; -65. */
ZEL_API int32_t VES_retrieve_xdr_result(int socket, open_res *result);
/* Sends the administration request (id -1, empty texts, number 0, this
 * release) and then the command code as one XDR long. No answer is read.
 * 0 or -10. */
ZEL_API int32_t VES_iomgr_command(int socket, int32_t command);
/* The receiving end: reads the command code that follows the request.
 * 0, -10, -65. */
ZEL_API int32_t VES_get_admin_command(int socket, int32_t *command);
/* Connects, sends the ping command and closes: 0 or the first failure. */
ZEL_API int32_t VES_ping_iomgr(const char *host, const char *instance);
/* Starts the control process as the local service service_name. Without a
 * service name, the home directory (home, else ZELHOME) must be a directory
 * (-106) holding "bin/kelvard.exe" as a regular file (-131), and the name is
 * the first word of its services file, else the default instance's. The
 * password, scrambled once by the service start, goes to the service with the
 * home directory; the scrambler's negative result is returned. A failed start
 * gives "Error starting <name> service(<code>)" on standard error and -1. */
ZEL_API int32_t VES_start_iomgr(const char *home, const char *password, const char *service_name);

#ifdef __cplusplus
}
#endif

#endif
