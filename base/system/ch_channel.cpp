// The channel object (base/system/ch_channel.h): creation, destruction, flush
// and the readiness question. A channel is made with its transport, whose
// table of members (ch_transport_internal.h) serves every operation after
// that; the read and write family is in ch_records.cpp, the command codes in
// ch_command.cpp. A shared-memory channel gets its transport when an object
// is attached; until then its table refuses.
#include "base/system/ch_channel_internal.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/system/ch_intercept_internal.h"

/* The areas of a socket or XDR transport: a write area of 4096 bytes gathers
 * small values into one send, a read area of 8192 bytes takes what the
 * socket has. */
static constexpr int32_t kSocketWriteSize = 4096;
static constexpr int32_t kSocketReadSize = 8192;

// ---- The table of a channel without a transport ------------------------------

template <typename... A> static int32_t S_refuse(void *, A...)
{
    return ZE_FAILURE;
}

static int32_t S_nothing_held(void *)
{
    return ZE_SUCCESS; // nothing is held back to send
}

static void S_nothing(void *) {}

#define S_REFUSE(NAME, ...) .read_##NAME = S_refuse, .write_##NAME = S_refuse,
// clang-format off
static constexpr CH_TRANSPORT kNoTransport = {
    CH_FAMILY(S_REFUSE, S_REFUSE, S_REFUSE, S_REFUSE, S_REFUSE)
    CH_OWN_SHAPES(S_REFUSE)
    .readf = S_refuse,
    .writef = S_refuse,
    .flush = S_nothing_held,
    .data_waiting = S_refuse,
    .set_broken = S_nothing,
    .destroy = S_nothing,
};
// clang-format on
#undef S_REFUSE

// ---- Life ------------------------------------------------------------------

// The channel's end of its transport, by type (a shared-memory channel's
// comes later): true when it was made.
static bool S_make_transport(CH_CHANNEL *channel, uint32_t type, const int *socket)
{
    const int32_t old = channel->old_release;
    switch (type) {
    case CH_TYPE_SOCKET:
        channel->end = socket != nullptr
                           ? so_transport_create(socket, kSocketWriteSize, kSocketReadSize, old,
                                                 &channel->transport)
                           : nullptr;
        return channel->end != nullptr;
    case CH_TYPE_XDR:
        channel->end = socket != nullptr
                           ? xdr_transport_create(socket, kSocketWriteSize, kSocketReadSize, old,
                                                  &channel->transport)
                           : nullptr;
        return channel->end != nullptr;
    case CH_TYPE_COORDINATED_MEMORY:
        channel->end = cmem_transport_create(old, &channel->transport);
        return channel->end != nullptr;
    case CH_TYPE_SHARED_MEMORY:
        channel->transport = &kNoTransport;
        return true;
    default:
        return false;
    }
}

ZEL_API CH_CHANNEL *CH_create(uint32_t type, int32_t old_release, const int *socket)
{
    CH_CHANNEL *channel = static_cast<CH_CHANNEL *>(std::calloc(1, sizeof(CH_CHANNEL)));
    if (channel == nullptr)
        return nullptr;
    channel->type = type;
    channel->old_release = old_release;
    if (!S_make_transport(channel, type, socket)) {
        std::free(channel);
        return nullptr;
    }
    // Every channel made decides the process's trace flags anew, traced or
    // not; a trace that cannot be made leaves the channel untraced.
    char path[CH_INTERCEPT_PATH_SIZE];
    if (ch_intercept_open(&channel->intercept_file, &channel->intercept_mode, path, sizeof path) !=
        0) {
        std::printf("ERROR OPENING INTERCEPT FILE %s. ABORT INTERCEPTION !\n", path);
        std::fflush(stdout);
        channel->intercept_file = nullptr;
        channel->intercept_mode = 0;
    }
    if (channel->intercept_file != nullptr) {
        static const char *const kTypeLines[] = {
            "\tCommunication type SOCKET", "\tCommunication type XDR",
            "\tCommunication type COORDINATED MEMORY", "\tCommunication type SHARED MEMORY"};
        FILE *file = channel->intercept_file;
        ch_intercept_write_line(file, "Additional Information:", nullptr);
        ch_intercept_write_line(file, kTypeLines[type], nullptr);
        ch_intercept_write_line(file, std::string(74, '-').c_str(), nullptr);
        ch_intercept_write_line(file, " ", nullptr);
        std::fflush(file);
    }
    return channel;
}

CH_CHANNEL *ch_create_on_link(const SO_LINK *link, int32_t write_size, int32_t read_size)
{
    CH_CHANNEL *channel = static_cast<CH_CHANNEL *>(std::calloc(1, sizeof(CH_CHANNEL)));
    if (channel == nullptr)
        return nullptr;
    channel->type = CH_TYPE_SOCKET;
    channel->end = so_transport_create_on_link(link, write_size, read_size, &channel->transport);
    if (channel->end == nullptr) {
        std::free(channel);
        return nullptr;
    }
    return channel;
}

ZEL_API void CH_destroy(CH_CHANNEL *channel)
{
    if (channel == nullptr)
        return;
    channel->transport->destroy(channel->end);
    if (channel->intercept_file != nullptr)
        ch_intercept_close(&channel->intercept_file);
    std::free(channel);
}

ZEL_API int32_t CH_flush(CH_CHANNEL *channel)
{
    if (channel == nullptr)
        return ZE_NULL_POINTER;
    return channel->transport->flush(channel->end);
}

ZEL_API int32_t CH_data_waiting(CH_CHANNEL *channel)
{
    if (channel == nullptr)
        return ZE_NULL_POINTER;
    return channel->transport->data_waiting(channel->end);
}

void ch_break(CH_CHANNEL *channel)
{
    if (channel != nullptr)
        channel->transport->set_broken(channel->end);
}

// ---- The memory transports ---------------------------------------------------

int32_t ch_pair_coordinated_memory(CH_CHANNEL *a, CH_CHANNEL *b)
{
    if (a == nullptr || b == nullptr || a->type != CH_TYPE_COORDINATED_MEMORY ||
        b->type != CH_TYPE_COORDINATED_MEMORY)
        return ZE_FAILURE;
    return cmem_transport_pair(a->end, b->end) == 0 ? ZE_SUCCESS : ZE_FAILURE;
}

int32_t ch_attach_shared_memory(SHM_OBJECT *object, CH_CHANNEL *channel, int32_t peer_process_id)
{
    if (object == nullptr || channel == nullptr || channel->type != CH_TYPE_SHARED_MEMORY ||
        channel->transport != &kNoTransport)
        return ZE_FAILURE;
    const CH_TRANSPORT *transport = nullptr;
    void *end = shm_transport_create(object, peer_process_id, channel->old_release, &transport);
    if (end == nullptr)
        return ZE_FAILURE;
    channel->transport = transport;
    channel->end = end;
    return ZE_SUCCESS;
}

int32_t ch_get_old_release_flag(const CH_CHANNEL *channel)
{
    return channel != nullptr ? channel->old_release : 0;
}

int32_t ch_is_xdr_channel(const CH_CHANNEL *channel)
{
    return channel != nullptr && channel->type == CH_TYPE_XDR;
}
