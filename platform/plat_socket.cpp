// Stream sockets on POSIX for the channel's socket transport and its tests
// (platform/plat_socket_internal.h).
#include "platform/plat_socket_internal.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// Whether a call that failed with `error` found a non-blocking socket full or
// empty, to be waited for. A blocking socket fails so only when a receive or
// send time-out the host set on it ran out: that is the call's failure.
static bool S_would_block(int fd, int error)
{
    if (error != EAGAIN && error != EWOULDBLOCK)
        return false;
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_NONBLOCK) == 0) {
        errno = error;
        return false;
    }
    return true;
}

int plat_socket_poll(int fd, int what, int timeout_ms)
{
    struct pollfd entry = {};
    entry.fd = fd;
    entry.events = static_cast<short>(((what & PLAT_SOCKET_READABLE) ? POLLIN : 0) |
                                      ((what & PLAT_SOCKET_WRITABLE) ? POLLOUT : 0));
    for (;;) {
        int rc = poll(&entry, 1, timeout_ms);
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc < 0)
            return -1;
        if (rc == 0)
            return 0;
        if (entry.revents & POLLNVAL) {
            errno = EBADF;
            return -1;
        }
        return 1;
    }
}

ssize_t plat_socket_send(int fd, const void *bytes, size_t n)
{
    for (;;) {
        ssize_t sent = send(fd, bytes, n, MSG_NOSIGNAL);
        if (sent >= 0)
            return sent;
        if (errno == EINTR)
            continue;
        if (S_would_block(fd, errno) && plat_socket_poll(fd, PLAT_SOCKET_WRITABLE, -1) >= 0)
            continue;
        return -1;
    }
}

ssize_t plat_socket_recv(int fd, void *dst, size_t n)
{
    for (;;) {
        ssize_t got = recv(fd, dst, n, 0);
        if (got >= 0)
            return got;
        if (errno == EINTR)
            continue;
        if (S_would_block(fd, errno) && plat_socket_poll(fd, PLAT_SOCKET_READABLE, -1) >= 0)
            continue;
        return -1;
    }
}

int plat_socket_listen_loopback(uint16_t *port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    struct sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port != nullptr ? *port : 0);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<struct sockaddr *>(&address), sizeof address) != 0 ||
        listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<struct sockaddr *>(&address), &length) != 0) {
        close(fd);
        return -1;
    }
    if (port != nullptr)
        *port = ntohs(address.sin_port);
    return fd;
}

int plat_socket_accept(int listener)
{
    for (;;) {
        int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0 && errno == EINTR)
            continue;
        return fd;
    }
}

int plat_socket_connect(const char *host, uint16_t port)
{
    if (host == nullptr)
        return -1;
    struct addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    char service[8];
    snprintf(service, sizeof service, "%u", static_cast<unsigned>(port));
    struct addrinfo *found = nullptr;
    if (getaddrinfo(host, service, &hints, &found) != 0)
        return -1;
    int fd = -1;
    for (struct addrinfo *a = found; a != nullptr && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        int rc = connect(fd, a->ai_addr, a->ai_addrlen);
        if (rc != 0 && errno == EINTR) {
            // The connection goes on in the background; wait for its outcome.
            int error = 0;
            socklen_t length = sizeof error;
            rc = plat_socket_poll(fd, PLAT_SOCKET_WRITABLE, -1) < 0 ||
                         getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0
                     ? -1
                     : 0;
        }
        if (rc != 0) {
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    return fd;
}

int plat_socket_pair(int fds[2])
{
    return socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0 ? 0 : -1;
}

int plat_socket_set_nodelay(int fd)
{
    int on = 1;
    return setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0 ? 0 : -1;
}

int plat_socket_abort(int fd)
{
    struct linger off = {};
    off.l_onoff = 1;
    off.l_linger = 0;
    if (setsockopt(fd, SOL_SOCKET, SO_LINGER, &off, sizeof off) != 0)
        return -1;
    return close(fd) == 0 ? 0 : -1;
}

int plat_socket_shutdown_send(int fd)
{
    return shutdown(fd, SHUT_WR) == 0 ? 0 : -1;
}

int plat_socket_close(int fd)
{
    return close(fd) == 0 ? 0 : -1;
}
