// The channel object (base/system/ch_channel.h): creation over a connected
// socket, destruction, flush and the readiness question, each a switch on
// the channel's type. The read and write family is in ch_records.cpp, the
// command codes in ch_command.cpp. A memory channel (type 2 made with its
// coordinated-memory end, type 3 once a shared-memory object is attached)
// also holds an unbuffered socket transport over the memory transport's
// link, through which the family sends the raw forms.
#include "base/system/ch_channel_internal.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/system/ch_intercept_internal.h"
#include "base/system/cmem_channel_internal.h"
#include "base/system/shm_channel_internal.h"
#include "base/system/so_channel_internal.h"

/* The areas of a socket or XDR transport: a write area of 4096 bytes gathers
 * small values into one send, a read area of 8192 bytes takes what the
 * socket has. */
static constexpr int32_t kSocketWriteSize = 4096;
static constexpr int32_t kSocketReadSize = 8192;

ZEL_API CH_CHANNEL *CH_create(uint32_t type, int32_t old_release, const int *socket)
{
    CH_CHANNEL *channel = static_cast<CH_CHANNEL *>(std::calloc(1, sizeof(CH_CHANNEL)));
    if (channel == nullptr)
        return nullptr;
    channel->type = type;
    bool made = false;
    switch (type) {
    case CH_TYPE_SOCKET:
        channel->so =
            socket != nullptr ? SO_create(socket, kSocketWriteSize, kSocketReadSize) : nullptr;
        made = channel->so != nullptr;
        break;
    case CH_TYPE_XDR:
        channel->xdr =
            socket != nullptr ? XDR_create(socket, kSocketWriteSize, kSocketReadSize) : nullptr;
        made = channel->xdr != nullptr;
        break;
    case CH_TYPE_COORDINATED_MEMORY: {
        CMEM *end = cmem_create();
        SO_LINK link = cmem_link(end);
        channel->so = end != nullptr ? so_create_on_link(&link, 0, 0) : nullptr;
        if (channel->so == nullptr)
            cmem_destroy(end);
        else
            channel->coordinated_memory = end;
        made = channel->so != nullptr;
        break;
    }
    case CH_TYPE_SHARED_MEMORY:
        made = true; // its transport is attached afterwards
        break;
    default:
        made = false;
        break;
    }
    if (!made) {
        std::free(channel);
        return nullptr;
    }
    channel->old_release = old_release;
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

ZEL_API void CH_destroy(CH_CHANNEL *channel)
{
    if (channel == nullptr)
        return;
    switch (channel->type) {
    case CH_TYPE_SOCKET:
        SO_destroy(channel->so);
        break;
    case CH_TYPE_XDR:
        XDR_destroy(channel->xdr, 1);
        break;
    case CH_TYPE_COORDINATED_MEMORY:
        SO_destroy(channel->so);
        cmem_destroy(static_cast<CMEM *>(channel->coordinated_memory));
        break;
    case CH_TYPE_SHARED_MEMORY:
        SO_destroy(channel->so);
        shm_destroy(static_cast<SHM_OBJECT *>(channel->shared_memory));
        break;
    default:
        break;
    }
    if (channel->intercept_file != nullptr)
        ch_intercept_close(&channel->intercept_file);
    std::free(channel);
}

ZEL_API int32_t CH_flush(CH_CHANNEL *channel)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
        return so_flush(channel->so);
    case CH_TYPE_XDR:
        return XDR_flush(channel->xdr);
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return ZE_SUCCESS; // every write is handed over at once
    default:
        return ch_refuse(channel);
    }
}

void ch_break(CH_CHANNEL *channel)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        if (channel->so != nullptr)
            channel->so->broken = 1;
        break;
    case CH_TYPE_XDR:
        xdr_break(channel->xdr);
        break;
    default:
        break;
    }
}

ZEL_API int32_t CH_data_waiting(CH_CHANNEL *channel)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
        return so_data_waiting(channel->so);
    case CH_TYPE_XDR:
        return xdr_data_waiting(channel->xdr);
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return channel->so != nullptr ? so_data_waiting(channel->so) : ZE_FAILURE;
    default:
        return ch_refuse(channel);
    }
}

int32_t ch_pair_coordinated_memory(CH_CHANNEL *a, CH_CHANNEL *b)
{
    if (ch_type(a) != CH_TYPE_COORDINATED_MEMORY || ch_type(b) != CH_TYPE_COORDINATED_MEMORY)
        return ZE_FAILURE;
    return cmem_connect(static_cast<CMEM *>(a->coordinated_memory),
                        static_cast<CMEM *>(b->coordinated_memory)) == 0
               ? ZE_SUCCESS
               : ZE_FAILURE;
}

int32_t ch_attach_shared_memory(SHM_OBJECT *object, CH_CHANNEL *channel, int32_t peer_process_id)
{
    if (object == nullptr || ch_type(channel) != CH_TYPE_SHARED_MEMORY ||
        channel->shared_memory != nullptr)
        return ZE_FAILURE;
    if (shm_open_peer_process(object, peer_process_id) != 0)
        return ZE_FAILURE;
    SO_LINK link = shm_link(object);
    channel->so = so_create_on_link(&link, 0, 0);
    if (channel->so == nullptr)
        return ZE_FAILURE;
    channel->shared_memory = object;
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
