// What a peer sends down a named pipe: the input arrives on one end of a
// socket pair and is read as the control process reads it, a long, a short,
// then strings into buffers of 8 and 64 bytes until a read fails. A string
// must fit its buffer and end there; a refused length ends the reading.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

#include "base/system/lo_pipe.h"
#include "fuzz/fuzz_quiet.h"
#include "fuzz/fuzz_socket.h"
#include "platform/plat_pipe_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    int fds[2];
    if (!fuzz_socket_input(data, size, fds))
        return 0;
    LO_PIPE *pipe = nullptr;
    if (plat_pipe_adopt(fds[0], &pipe) != 0) {
        close(fds[0]);
        close(fds[1]);
        return 0;
    }
    int32_t number;
    int16_t small;
    if (LO_read_long(pipe, &number) == 0 && LO_read_short(pipe, &small) == 0) {
        for (int round = 0;; round++) {
            char text[64];
            const size_t capacity = round % 2 == 0 ? 8 : sizeof text;
            memset(text, 'x', sizeof text);
            if (LO_read_string(pipe, text, capacity) != 0)
                break;
            if (memchr(text, '\0', capacity) == nullptr)
                __builtin_trap();
        }
    }
    LO_close(pipe);
    close(fds[1]);
    return 0;
}
