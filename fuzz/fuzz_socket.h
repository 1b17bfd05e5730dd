// The input of a fuzz target as a peer would send it: written whole into one
// end of a local socket pair, whose sending side is then shut, so the reader
// under test gets the bytes and then the end of the data.
#ifndef FUZZ_SOCKET_H
#define FUZZ_SOCKET_H

#include <cstddef>
#include <cstdint>
#include <sys/socket.h>
#include <unistd.h>

// fds[0] is the reading end, fds[1] the shut writing end; the caller closes
// both. False (nothing to close) when the input does not fit or the pair
// cannot be made.
inline bool fuzz_socket_input(const uint8_t *data, size_t size, int fds[2])
{
    // The whole input must fit the socket's buffer before anything is read.
    if (size > 65536)
        return false;
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
        return false;
    int buffer_size = 1 << 20;
    setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &buffer_size, sizeof buffer_size);
    if (size > 0 && send(fds[1], data, size, 0) != (ssize_t)size) {
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    shutdown(fds[1], SHUT_WR);
    return true;
}

#endif
