// The control-process connection (ve_iomgr.h): the instance's port and
// address, connecting, the request and result exchange in XDR, administration
// commands, ping and the start of the control process's service.
#include "base/system/ve_iomgr_internal.h"

#include "base/system/so_channel.h"
#include "base/system/xdr_iomgr_internal.h"

#include "base/util/ve_etc.h"
#include "base/util/ve_net_string.h"
#include "base/util/ve_netdb.h"
#include "base/util/ve_path_internal.h"
#include "base/util/ve_service.h"
#include "base/util/zel_errors.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <netdb.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <string>
#include <vector>

namespace
{

constexpr int32_t S_WORD = 4;

void S_report(const char *call, int error)
{
    fprintf(stderr, "%s: errno = %d\n", call, error);
}

// One 32-bit XDR word.
void S_encode_word(int32_t value, char out[S_WORD])
{
    XDR xdrs;
    xdrmem_create(&xdrs, out, S_WORD, XDR_ENCODE);
    xdr_int(&xdrs, &value);
    xdr_destroy(&xdrs);
}

int32_t S_decode_word(char in[S_WORD])
{
    XDR xdrs;
    int32_t value = 0;
    xdrmem_create(&xdrs, in, S_WORD, XDR_DECODE);
    xdr_int(&xdrs, &value);
    xdr_destroy(&xdrs);
    return value;
}

int32_t S_write_all(int socket, const void *bytes, int32_t n)
{
    return CH_writen(socket, bytes, n) == n ? ZE_SUCCESS : ZE_NETWORK_IO;
}

int32_t S_read_word(int socket, int32_t *value)
{
    char word[S_WORD];
    if (CH_readn(socket, word, S_WORD) != S_WORD)
        return ZE_NETWORK_IO;
    *value = S_decode_word(word);
    return ZE_SUCCESS;
}

// The two forms of a result, from n bytes. 0, or -10 when they are neither.
int32_t S_decode_result(char *bytes, int32_t n, open_res *result)
{
    open_res current;
    memset(&current, 0, sizeof current);
    XDR xdrs;
    xdrmem_create(&xdrs, bytes, static_cast<u_int>(n), XDR_DECODE);
    bool_t decoded = xdr_open_res(&xdrs, &current);
    xdr_destroy(&xdrs);
    if (decoded) {
        *result = current;
        return ZE_SUCCESS;
    }
    // An earlier release's control process answers without the last two
    // ints and the texts; decoded apart, so no half of the failed attempt
    // reaches the caller.
    open_res_old old;
    memset(&old, 0, sizeof old);
    xdrmem_create(&xdrs, bytes, static_cast<u_int>(n), XDR_DECODE);
    decoded = xdr_open_res_old(&xdrs, &old);
    xdr_destroy(&xdrs);
    if (!decoded)
        return ZE_NETWORK_IO;
    memcpy(result->ids, old.ids, sizeof old.ids);
    memcpy(result->ints, old.ints, sizeof old.ints);
    result->ints[IOMGR_RESULT_OLD_INTS] = old.ids[0];
    if (old.ids[0] != ZE_DBMS_ERROR) {
        result->ints[IOMGR_RESULT_OLD_INTS + 1] = 0;
        result->text[0][0] = '\0';
        result->text[1][0] = '\0';
    }
    return ZE_SUCCESS;
}

bool S_is_directory(const char *path)
{
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool S_is_file(const char *path)
{
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

// The password's scrambled form, only to refuse early what the service
// start could not scramble; the start scrambles it itself (once).
int32_t S_check_scramble(const char *password)
{
    if (!password)
        return ZE_SUCCESS;
    std::vector<char> scrambled(strlen(password) + VES_NET_STRING_OVERHEAD + 1);
    int32_t length = VES_string_mem2net(password, scrambled.data());
    explicit_bzero(scrambled.data(), scrambled.size());
    return length < 0 ? length : ZE_SUCCESS;
}

int32_t S_start(const char *home, const char *password, const char *service_name)
{
    bool named = service_name && *service_name;
    if (!named) {
        if (!home || !*home)
            home = getenv("ZELHOME");
        if (!home || !*home || !S_is_directory(home))
            return ZE_HOME_NOT_DIRECTORY;
        std::string program = ves_path_join(ves_path_join(home, "bin"), "kelvard.exe");
        if (!S_is_file(program.c_str()))
            return ZE_IOMGR_NOT_FOUND;
    }
    int32_t result = S_check_scramble(password);
    if (result != ZE_SUCCESS)
        return result;
    char name[ETC_SERVICE_NAME_SIZE];
    if (named)
        snprintf(name, sizeof name, "%s", service_name);
    else if (Etc_service_get(home, name) != 0)
        snprintf(name, sizeof name, "%s", IOMGR_DEFAULT_INSTANCE);
    result = VES_start_service(nullptr, name, home, password);
    if (result != 0) {
        fprintf(stderr, "Error starting %s service(%d)\n", name, result);
        return ZE_FAILURE;
    }
    return ZE_SUCCESS;
}

} // namespace

int32_t ves_iomgr_attempts(void)
{
    const char *text = getenv("ZELATTEMPTS");
    if (!text || !*text)
        return IOMGR_ATTEMPTS;
    char *end = nullptr;
    errno = 0;
    long value = strtol(text, &end, 0);
    if (errno != 0 || end == text || *end != '\0' || value <= 0 || value > INT32_MAX)
        return IOMGR_ATTEMPTS;
    return static_cast<int32_t>(value);
}

int32_t VES_make_inet_socket_addr(uint16_t port, const char *host, struct sockaddr_in *address,
                                  int32_t *length)
{
    if (!host || !address || !length)
        return ZE_NULL_POINTER;
    memset(address, 0, sizeof *address);
    address->sin_family = AF_INET;
    address->sin_port = port;
    struct in_addr dotted;
    struct hostent *entry = nullptr;
    if (!getenv("ZELNOIPTEST") && inet_pton(AF_INET, host, &dotted) == 1)
        entry = gethostbyaddr(&dotted, sizeof dotted, AF_INET);
    else
        entry = VES_GetHostByName(host, nullptr, nullptr);
    if (!entry || entry->h_addrtype != AF_INET || entry->h_length != sizeof(struct in_addr) ||
        !entry->h_addr_list || !entry->h_addr_list[0])
        return ZE_HOST_UNKNOWN;
    memcpy(&address->sin_addr, entry->h_addr_list[0], sizeof address->sin_addr);
    *length = static_cast<int32_t>(sizeof *address);
    return ZE_SUCCESS;
}

int32_t VES_connect_to_iomgr(const char *host, const char *instance, int *socket_out)
{
    if (!host || !socket_out)
        return ZE_NULL_POINTER;
    bool by_default = false;
    if (!instance || !*instance) {
        instance = getenv("ZELINSTANCE");
        if (!instance || !*instance) {
            instance = IOMGR_DEFAULT_INSTANCE;
            by_default = true;
        }
    }
    int32_t attempts = ves_iomgr_attempts();
    struct servent entry;
    struct servent *service = VES_GetServByName(instance, "tcp", &entry);
    uint16_t port;
    if (service)
        port = static_cast<uint16_t>(service->s_port);
    else if (by_default)
        port = htons(IOMGR_DEFAULT_PORT);
    else
        return ZE_SERVICE_NOT_FOUND;
    struct sockaddr_in address;
    int32_t length = 0;
    int32_t result = VES_make_inet_socket_addr(port, host, &address, &length);
    if (result != ZE_SUCCESS)
        return result;

    for (int32_t attempt = 1; attempt <= attempts; ++attempt) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            S_report("SOCKET", errno);
            return ZE_NETWORK_IO;
        }
        if (connect(fd, reinterpret_cast<const struct sockaddr *>(&address),
                    static_cast<socklen_t>(length)) == 0) {
            *socket_out = fd;
            return ZE_SUCCESS;
        }
        int error = errno;
        close(fd);
        switch (error) {
        case ECONNREFUSED:
        case ECONNRESET:
            return ZE_CONNECTION_REFUSED;
        case ETIMEDOUT:
            if (attempt == attempts) {
                S_report("CONNECT", error);
                return ZE_FAILURE;
            }
            continue;
        case EINTR:
            continue;
        default:
            S_report("CONNECT", error);
            return ZE_FAILURE;
        }
    }
    S_report("CONNECT", EINTR);
    return ZE_FAILURE;
}

int32_t VES_make_socket_inheritable(int *socket)
{
    if (!socket)
        return ZE_NULL_POINTER;
    // dup gives a descriptor without close-on-exec: children inherit it.
    int copy = dup(*socket);
    if (copy < 0)
        return ZE_NETWORK_IO;
    close(*socket);
    *socket = copy;
    return ZE_SUCCESS;
}

int32_t VES_send_xdr_request(int socket, const req4io *request)
{
    if (!request)
        return ZE_NULL_POINTER;
    req4io copy = *request;
    char bytes[S_WORD + IOMGR_REQUEST_SIZE];
    XDR xdrs;
    xdrmem_create(&xdrs, bytes + S_WORD, IOMGR_REQUEST_SIZE, XDR_ENCODE);
    bool_t encoded = xdr_req4io(&xdrs, &copy);
    int32_t n = static_cast<int32_t>(xdr_getpos(&xdrs));
    xdr_destroy(&xdrs);
    // A request that does not encode whole is never sent cut.
    if (!encoded)
        return ZE_NETWORK_IO;
    S_encode_word(n, bytes);
    return S_write_all(socket, bytes, S_WORD + n);
}

int32_t VES_retrieve_xdr_result(int socket, open_res *result)
{
    if (!result)
        return ZE_NULL_POINTER;
    int32_t n = 0;
    if (S_read_word(socket, &n) != ZE_SUCCESS)
        return ZE_NETWORK_IO;
    if (n == 1)
        return ZE_INVALID_RELEASE;
    // A length the buffer cannot hold, or none: read nothing more.
    if (n <= 0 || n > IOMGR_RESULT_SIZE)
        return ZE_NETWORK_IO;
    char bytes[IOMGR_RESULT_SIZE];
    if (CH_readn(socket, bytes, n) != n)
        return ZE_NETWORK_IO;
    return S_decode_result(bytes, n, result);
}

int32_t VES_iomgr_command(int socket, int32_t command)
{
    req4io request;
    memset(&request, 0, sizeof request);
    request.id = -1;
    request.release = IOMGR_RELEASE;
    int32_t result = VES_send_xdr_request(socket, &request);
    if (result != ZE_SUCCESS)
        return result;
    char word[S_WORD];
    S_encode_word(command, word);
    return S_write_all(socket, word, S_WORD);
}

int32_t VES_get_admin_command(int socket, int32_t *command)
{
    if (!command)
        return ZE_NULL_POINTER;
    return S_read_word(socket, command);
}

int32_t VES_ping_iomgr(const char *host, const char *instance)
{
    int fd = -1;
    int32_t result = VES_connect_to_iomgr(host, instance, &fd);
    if (result != ZE_SUCCESS)
        return result;
    result = VES_iomgr_command(fd, IOMGR_COMMAND_PING);
    close(fd);
    return result;
}

int32_t VES_start_iomgr(const char *home, const char *password, const char *service_name)
{
    try {
        return S_start(home, password, service_name);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}
