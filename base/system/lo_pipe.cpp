// The LO_ named-pipe functions: fixed-size little-endian values and
// length-prefixed strings over the platform's local pipes (lo_pipe.h).
#include "base/system/lo_pipe.h"

#include <stdio.h>
#include <string.h>

#include "base/system/lo_pipe_internal.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "platform/plat_pipe_internal.h"

// The client ends wait this long for each pipe.
static const int S_CLIENT_WAIT_MS = 10000;

int32_t lo_open_client_wait(const char *write_name, const char *read_name, LO_PIPE **write_pipe,
                            LO_PIPE **read_pipe, int timeout_ms)
{
    if (write_pipe == nullptr || read_pipe == nullptr)
        return -1;
    *write_pipe = nullptr;
    *read_pipe = nullptr;
    int rc = plat_pipe_connect(read_name, timeout_ms, read_pipe);
    if (rc != 0) {
        fprintf(stderr, "error waiting for read pipe (%d)\n", rc);
        fflush(stderr);
        return -1;
    }
    rc = plat_pipe_connect(write_name, timeout_ms, write_pipe);
    if (rc != 0) {
        fprintf(stderr, "error waiting for write pipe (%d)\n", rc);
        fflush(stderr);
        plat_pipe_close(*read_pipe);
        *read_pipe = nullptr;
        return -1;
    }
    return 0;
}

int32_t LO_open_client(const char *write_name, const char *read_name, LO_PIPE **write_pipe,
                       LO_PIPE **read_pipe)
{
    return zel_oom_guard(ZE_BUFFER_NO_MEMORY, [&]() -> int32_t {
        return lo_open_client_wait(write_name, read_name, write_pipe, read_pipe, S_CLIENT_WAIT_MS);
    });
}

int32_t LO_open_server(LO_PIPE *first, LO_PIPE *second)
{
    if (plat_pipe_accept(first) != 0)
        return -1;
    if (plat_pipe_accept(second) != 0) {
        plat_pipe_disconnect(first);
        return -1;
    }
    return 0;
}

int32_t LO_wait_for_client(void)
{
    return 1;
}

int32_t LO_read_long(LO_PIPE *pipe, int32_t *value)
{
    unsigned char bytes[4];
    if (value == nullptr || plat_pipe_read(pipe, bytes, sizeof bytes) != 0)
        return -1;
    *value = (int32_t)((uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 |
                       (uint32_t)bytes[3] << 24);
    return 0;
}

int32_t LO_write_long(LO_PIPE *pipe, int32_t value)
{
    const uint32_t v = (uint32_t)value;
    const unsigned char bytes[4] = {(unsigned char)v, (unsigned char)(v >> 8),
                                    (unsigned char)(v >> 16), (unsigned char)(v >> 24)};
    return plat_pipe_write(pipe, bytes, sizeof bytes) == 0 ? 0 : -1;
}

int32_t LO_read_short(LO_PIPE *pipe, int16_t *value)
{
    unsigned char bytes[2];
    if (value == nullptr || plat_pipe_read(pipe, bytes, sizeof bytes) != 0)
        return -1;
    *value = (int16_t)(uint16_t)(bytes[0] | bytes[1] << 8);
    return 0;
}

int32_t LO_write_short(LO_PIPE *pipe, int16_t value)
{
    const uint16_t v = (uint16_t)value;
    const unsigned char bytes[2] = {(unsigned char)v, (unsigned char)(v >> 8)};
    return plat_pipe_write(pipe, bytes, sizeof bytes) == 0 ? 0 : -1;
}

int32_t LO_read_string(LO_PIPE *pipe, char *buffer, size_t size)
{
    if (buffer == nullptr || size == 0)
        return -1;
    int32_t length = 0;
    if (LO_read_long(pipe, &length) != 0 || length == 0)
        return -1;
    // A length the buffer cannot hold leaves the stream out of step.
    if (length < 0 || (uint32_t)length >= size) {
        plat_pipe_break(pipe);
        return -1;
    }
    if (plat_pipe_read(pipe, buffer, (size_t)length) != 0)
        return -1;
    buffer[length] = '\0';
    return 0;
}

int32_t LO_write_string(LO_PIPE *pipe, const char *string)
{
    if (string == nullptr)
        return -1;
    const size_t length = strlen(string);
    if (length == 0 || length > INT32_MAX)
        return -1;
    if (LO_write_long(pipe, (int32_t)length) != 0)
        return -1;
    return plat_pipe_write(pipe, string, length) == 0 ? 0 : -1;
}

int32_t LO_close(LO_PIPE *pipe)
{
    if (pipe == nullptr || plat_pipe_kept(pipe))
        return 0;
    plat_pipe_close(pipe);
    return 1;
}

int32_t LO_disconnect(LO_PIPE *pipe)
{
    return plat_pipe_disconnect(pipe) == 0 ? 1 : 0;
}
