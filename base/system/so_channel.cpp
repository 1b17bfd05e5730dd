// The socket transport's byte layer (base/system/so_channel.h): creation, the
// write and read areas, flushing, readiness, and the unbuffered CH_readn and
// CH_writen that the control-process connection also uses. Small values
// collect in the write area and leave in one send per area or flush; a piece
// larger than an area goes straight through, so large blocks are not copied.
#include "base/system/so_channel_internal.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/util/ve_buffer.h"
#include "base/util/zel_errors.h"
#include "platform/plat_socket_internal.h"

// ---- The socket link -------------------------------------------------------

static int S_fd(void *ctx)
{
    return static_cast<int>(reinterpret_cast<intptr_t>(ctx));
}

static ssize_t S_socket_recv(void *ctx, void *dst, size_t n)
{
    return plat_socket_recv(S_fd(ctx), dst, n);
}

static ssize_t S_socket_send(void *ctx, const void *src, size_t n)
{
    return plat_socket_send(S_fd(ctx), src, n);
}

static int S_socket_poll(void *ctx)
{
    return plat_socket_poll(S_fd(ctx), PLAT_SOCKET_READABLE, 0);
}

SO_LINK so_socket_link(int socket)
{
    SO_LINK link;
    link.ctx = reinterpret_cast<void *>(static_cast<intptr_t>(socket));
    link.recv = S_socket_recv;
    link.send = S_socket_send;
    link.poll = S_socket_poll;
    return link;
}

// n bytes from the link, at most SO_RECV_MAX per call: the bytes received
// (fewer when the peer closed), or -1.
static int64_t S_readn(const SO_LINK *link, void *dst, size_t n)
{
    size_t total = 0;
    while (total < n) {
        size_t ask = n - total < SO_RECV_MAX ? n - total : SO_RECV_MAX;
        ssize_t got = link->recv(link->ctx, static_cast<uint8_t *>(dst) + total, ask);
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        total += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(total);
}

// n bytes to the link: the bytes sent (fewer when a send moved nothing), or -1.
static int64_t S_writen(const SO_LINK *link, const void *src, size_t n)
{
    size_t total = 0;
    while (total < n) {
        ssize_t sent = link->send(link->ctx, static_cast<const uint8_t *>(src) + total, n - total);
        if (sent < 0)
            return -1;
        if (sent == 0)
            break;
        total += static_cast<size_t>(sent);
    }
    return static_cast<int64_t>(total);
}

ZEL_API int32_t CH_readn(int socket, void *dst, int32_t n)
{
    if (n < 0 || (dst == nullptr && n > 0))
        return ZE_FAILURE;
    SO_LINK link = so_socket_link(socket);
    return static_cast<int32_t>(S_readn(&link, dst, static_cast<size_t>(n)));
}

ZEL_API int32_t CH_writen(int socket, const void *src, int32_t n)
{
    if (n < 0 || (src == nullptr && n > 0))
        return ZE_FAILURE;
    SO_LINK link = so_socket_link(socket);
    return static_cast<int32_t>(S_writen(&link, src, static_cast<size_t>(n)));
}

// ---- Creation --------------------------------------------------------------

static int64_t S_round8(int32_t size)
{
    return (static_cast<int64_t>(size) + 7) / 8 * 8;
}

SO_CHANNEL *so_create_on_link(const SO_LINK *link, int32_t write_size, int32_t read_size)
{
    if (link == nullptr || write_size < 0 || read_size < 0)
        return nullptr;
    auto *so = static_cast<SO_CHANNEL *>(std::calloc(1, sizeof(SO_CHANNEL)));
    if (so == nullptr)
        return nullptr;
    so->socket = -1;
    so->link = *link;
    if (write_size == 0 || read_size == 0)
        return so; // unbuffered in both directions
    const int64_t rs = S_round8(read_size), ws = S_round8(write_size);
    if (rs + ws > INT32_MAX) {
        std::free(so);
        return nullptr;
    }
    so->buffer = static_cast<uint8_t *>(VES_buffer_alloc(static_cast<int32_t>(rs + ws)));
    if (so->buffer == nullptr) {
        std::free(so);
        return nullptr;
    }
    so->read_size = static_cast<int32_t>(rs);
    so->write_size = static_cast<int32_t>(ws);
    so->read_pos = so->read_end = so->buffer;
    so->write_area = so->write_pos = so->write_end = so->buffer + rs;
    return so;
}

ZEL_API SO_CHANNEL *SO_create(const int *socket, int32_t write_size, int32_t read_size)
{
    if (socket == nullptr)
        return nullptr;
    SO_LINK link = so_socket_link(*socket);
    SO_CHANNEL *so = so_create_on_link(&link, write_size, read_size);
    if (so != nullptr)
        so->socket = *socket;
    return so;
}

static int64_t S_pending(const SO_CHANNEL *so)
{
    return so->write_end - so->write_area;
}

SO_CHANNEL *so_create_owning_link(const SO_LINK *link, void (*close)(void *ctx))
{
    SO_CHANNEL *so = so_create_on_link(link, 0, 0);
    if (so != nullptr)
        so->close_link = close;
    return so;
}

ZEL_API void SO_destroy(SO_CHANNEL *so)
{
    if (so == nullptr)
        return;
    if (!so->broken && S_pending(so) > 0)
        so_flush(so);
    if (so->buffer != nullptr)
        VES_buffer_free(so->buffer, so->read_size + so->write_size);
    if (so->close_link != nullptr)
        so->close_link(so->link.ctx);
    std::free(so);
}

// ---- Buffered moves --------------------------------------------------------

static int32_t S_break(SO_CHANNEL *so)
{
    so->broken = 1;
    return ZE_FAILURE;
}

int32_t so_flush(SO_CHANNEL *so)
{
    if (so == nullptr || so->broken)
        return ZE_FAILURE;
    const int64_t pending = S_pending(so);
    if (pending == 0)
        return ZE_SUCCESS;
    if (S_writen(&so->link, so->write_area, static_cast<size_t>(pending)) < pending)
        return S_break(so);
    so->write_pos = so->write_end = so->write_area;
    return ZE_SUCCESS;
}

int32_t so_data_waiting(SO_CHANNEL *so)
{
    if (so == nullptr || so->broken)
        return ZE_FAILURE;
    return so->link.poll(so->link.ctx);
}

int32_t so_write_buffered(SO_CHANNEL *so, const void *bytes, int32_t n)
{
    if (so == nullptr || so->broken || n < 0 || (bytes == nullptr && n > 0))
        return ZE_FAILURE;
    const uint8_t *p = static_cast<const uint8_t *>(bytes);
    int64_t remaining = n;
    int64_t room = so->write_size - S_pending(so);
    while (remaining > 0) {
        int64_t copied;
        if (remaining <= room) {
            copied = remaining;
        } else if (S_pending(so) > 0) {
            copied = room; // top up the area; it is sent below
        } else {
            // Larger than the empty area: straight to the link.
            if (S_writen(&so->link, p, static_cast<size_t>(remaining)) < remaining)
                return S_break(so);
            return n;
        }
        std::memcpy(so->write_pos, p, static_cast<size_t>(copied));
        p += copied;
        remaining -= copied;
        room -= copied;
        so->write_pos += copied;
        so->write_end = so->write_pos;
        if (so->write_size != 0 && S_pending(so) == so->write_size) {
            if (so_flush(so) != 0)
                return ZE_FAILURE;
            room = so->write_size;
        }
    }
    return n;
}

static void S_reset_read(SO_CHANNEL *so)
{
    so->read_pos = so->read_end = so->buffer;
}

// Hands out n bytes that the read area holds.
static void S_take(SO_CHANNEL *so, uint8_t *dst, int64_t n)
{
    std::memcpy(dst, so->read_pos, static_cast<size_t>(n));
    so->read_pos += n;
    if (so->read_pos == so->read_end)
        S_reset_read(so);
}

int32_t so_read_buffered(SO_CHANNEL *so, void *dst, int32_t n)
{
    if (so == nullptr || so->broken || n < 0 || (dst == nullptr && n > 0))
        return ZE_FAILURE;
    if (n == 0)
        return 0;
    // A request is always on the wire before its answer is awaited.
    if (S_pending(so) > 0 && so_flush(so) != 0)
        return ZE_FAILURE;
    uint8_t *out = static_cast<uint8_t *>(dst);
    int64_t want = n;
    int64_t available = so->read_end - so->read_pos;
    if (want <= available) {
        S_take(so, out, want);
        return n;
    }
    int64_t room = so->buffer != nullptr ? so->buffer + so->read_size - so->read_end : 0;
    for (;;) {
        const int64_t need = want - available;
        if (need <= room) {
            int32_t got = so_recv_at_least(&so->link, so->read_end, static_cast<int32_t>(need),
                                           static_cast<int32_t>(room));
            if (got < need)
                return S_break(so);
            so->read_end += got;
            break;
        }
        if (available > 0) {
            S_take(so, out, available);
            out += available;
            want -= available;
            available = 0;
            room = so->read_size;
            continue;
        }
        // Larger than the empty area: straight into the destination.
        if (S_readn(&so->link, out, static_cast<size_t>(want)) < want)
            return S_break(so);
        return n;
    }
    S_take(so, out, want);
    return n;
}

int32_t so_recv_at_least(const SO_LINK *link, void *dst, int32_t minimum, int32_t maximum)
{
    int32_t total = 0;
    while (total < minimum && total < maximum) {
        int32_t ask = maximum - total < SO_RECV_MAX ? maximum - total : SO_RECV_MAX;
        ssize_t got =
            link->recv(link->ctx, static_cast<uint8_t *>(dst) + total, static_cast<size_t>(ask));
        if (got < 0)
            return ZE_FAILURE;
        if (got == 0)
            break;
        total += static_cast<int32_t>(got);
    }
    return total;
}

// ---- The raw forms' byte transport -----------------------------------------

// Pieces of the raw forms can exceed what one buffered call takes.
static constexpr size_t S_PIECE_MAX = size_t{1} << 30;

static int32_t S_io_read(void *ctx, void *dst, size_t n)
{
    auto *so = static_cast<SO_CHANNEL *>(ctx);
    for (size_t done = 0; done < n;) {
        size_t piece = n - done < S_PIECE_MAX ? n - done : S_PIECE_MAX;
        if (so_read_buffered(so, static_cast<uint8_t *>(dst) + done, static_cast<int32_t>(piece)) <
            0)
            return ZE_FAILURE;
        done += piece;
    }
    return ZE_SUCCESS;
}

static int32_t S_io_write(void *ctx, const void *src, size_t n)
{
    auto *so = static_cast<SO_CHANNEL *>(ctx);
    for (size_t done = 0; done < n;) {
        size_t piece = n - done < S_PIECE_MAX ? n - done : S_PIECE_MAX;
        if (so_write_buffered(so, static_cast<const uint8_t *>(src) + done,
                              static_cast<int32_t>(piece)) < 0)
            return ZE_FAILURE;
        done += piece;
    }
    return ZE_SUCCESS;
}

RAW_IO so_raw_io(SO_CHANNEL *so)
{
    RAW_IO io = {};
    io.ctx = so;
    io.read = S_io_read;
    io.write = S_io_write;
    return io;
}
