// Thin wrappers over the resolver's host and service look-ups used by the
// communication code, and the local-time conversion used for timestamps.
#include "base/util/ve_netdb_internal.h"

#include <arpa/inet.h>
#include <ctype.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/socket.h>

namespace
{

char *S_no_aliases[] = {nullptr};

// The port of a decimal text (leading digits, as the C library's atoi reads
// them); 0 when there is none or it is not a TCP/UDP port.
int32_t S_port(const char *text)
{
    errno = 0;
    long number = strtol(text, nullptr, 10);
    if (errno == ERANGE || number < 1 || number > 65535)
        return 0;
    return static_cast<int32_t>(number);
}

struct servent *S_fill(struct servent *entry, const char *name, const char *protocol, int32_t port)
{
    if (entry == nullptr)
        return nullptr;
    entry->s_name = const_cast<char *>(name);
    entry->s_aliases = S_no_aliases;
    entry->s_port = static_cast<int>(htons(static_cast<uint16_t>(port)));
    entry->s_proto = const_cast<char *>(protocol);
    return entry;
}

} // namespace

struct hostent *VES_GetHostByName(const char *name, struct hostent *, int32_t *)
{
    if (name == nullptr)
        return nullptr;
    return gethostbyname(name);
}

struct hostent *ves_get_host_by_addr(const unsigned char *address, struct hostent *, int32_t *)
{
    if (address == nullptr)
        return nullptr;
    return gethostbyaddr(address, 4, AF_INET);
}

struct servent *VES_GetServByName(const char *name, const char *protocol, struct servent *entry)
{
    if (name == nullptr)
        return nullptr;
    if (strlen(name) >= 6 && name[4] == ':' && strncasecmp(name, "port", 4) == 0) {
        int32_t port = S_port(name + 5);
        if (port > 0)
            return S_fill(entry, name, protocol, port);
    }
    struct servent *found = getservbyname(name, protocol);
    if (found != nullptr)
        return found;
    int32_t port = S_port(name);
    return port > 0 ? S_fill(entry, name, protocol, port) : nullptr;
}

struct tm *VES_localtime(time_t time, struct tm *record)
{
    if (record == nullptr)
        return nullptr;
    struct tm local;
    if (localtime_r(&time, &local) == nullptr)
        return nullptr;
    *record = local;
    return record;
}
