// The input of a fuzz target as the link under a channel: every read takes
// the next bytes of the input (as many as asked while they last), writes go
// nowhere, and the link is ready to read while input remains.
#ifndef FUZZ_LINK_H
#define FUZZ_LINK_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sys/types.h>

#include "base/system/so_channel_internal.h"

struct fuzz_link_input {
    const uint8_t *data;
    size_t size, at;
};

inline ssize_t fuzz_link_recv(void *ctx, void *dst, size_t n)
{
    auto *in = static_cast<fuzz_link_input *>(ctx);
    size_t give = in->size - in->at;
    if (give > n)
        give = n;
    std::memcpy(dst, in->data + in->at, give);
    in->at += give;
    return static_cast<ssize_t>(give);
}

inline ssize_t fuzz_link_send(void *, const void *, size_t n)
{
    return static_cast<ssize_t>(n);
}

inline int fuzz_link_poll(void *ctx)
{
    auto *in = static_cast<fuzz_link_input *>(ctx);
    return in->at < in->size ? 1 : 0;
}

// The input stays the caller's and must outlive the link.
inline SO_LINK fuzz_link(fuzz_link_input *input)
{
    return SO_LINK{input, fuzz_link_recv, fuzz_link_send, fuzz_link_poll};
}

#endif
