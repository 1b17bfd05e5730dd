// What a hostile process on the other side of a shared-memory channel can
// leave in the mapping: its tail, its head, its closed word, its sleep marks
// and the bytes of the ring it writes, changed between the steps of this
// side (the opening side) as the input says, while this side reads, writes
// and asks whether data waits. Every copy must stay inside the rings, every
// answer must be the whole count or 0, and nothing may wait: a read is made
// with the peer marked closed (it takes what is there, then fails), and a
// write only when the room the peer's head leaves cannot make it wait.
//
// The input is a list of steps, each an operation byte and its arguments:
//   0 word value(4): the peer's tail          1 word: the peer's head
//   2 word: the peer's closed word            3 word: both sleep marks
//   4 offset(4) length(1) bytes: into the ring the peer writes
//   5 length(2): a read                       6 length(2): a write
//   7: the data-waiting question
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/system/shm_channel_internal.h"
#include "fuzz/fuzz_quiet.h"
#include "platform/plat_shm_internal.h"

namespace
{

struct Input {
    const uint8_t *at;
    size_t left;
    bool take(void *out, size_t n)
    {
        if (n > left)
            return false;
        std::memcpy(out, at, n);
        at += n;
        left -= n;
        return true;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    static unsigned runs = 0;
    const std::string name = "shmfuzz_" + std::to_string(getpid()) + "_" + std::to_string(runs++);
    SHM_OBJECT *peer = nullptr, *self = nullptr;
    if (shm_client_init(&peer, name.c_str()) != 0)
        return 0;
    if (SHM_server_init(&self, name.c_str()) != 0 || shm_open_peer_process(self, getpid()) != 0) {
        shm_destroy(self);
        shm_destroy(peer);
        return 0;
    }
    PLAT_SHM mapping = {};
    if (plat_shm_open(("ZEL_chanl_shared_memory_" + name).c_str(), &mapping) != PLAT_SHM_OK) {
        shm_destroy(self);
        shm_destroy(peer);
        return 0;
    }
    auto *area = static_cast<SHM_AREA *>(mapping.base);
    // This side reads to_opener (the peer's tail and bytes) and writes
    // to_creator (the peer's head).
    SHM_RING &incoming = area->to_opener, &outgoing = area->to_creator;
    std::vector<uint8_t> buffer(65536);
    Input in = {data, size};
    uint8_t op = 0;
    while (in.take(&op, 1)) {
        uint32_t word = 0;
        switch (op % 8) {
        case 0:
            if (in.take(&word, 4))
                incoming.words.tail = word;
            break;
        case 1:
            if (in.take(&word, 4))
                outgoing.words.head = word;
            break;
        case 2:
            if (in.take(&word, 4))
                area->closed[0] = word;
            break;
        case 3:
            if (in.take(&word, 4)) {
                incoming.words.writer_sleeps = word;
                outgoing.words.reader_sleeps = word;
            }
            break;
        case 4: {
            uint8_t length = 0;
            if (!in.take(&word, 4) || !in.take(&length, 1))
                break;
            const uint32_t at = word % SHM_AREA_SIZE;
            const uint32_t n = length < SHM_AREA_SIZE - at ? length : SHM_AREA_SIZE - at;
            if (!in.take(incoming.data + at, n))
                in.left = 0;
            break;
        }
        case 5: {
            uint16_t n = 0;
            if (!in.take(&n, 2))
                break;
            const uint32_t closed = area->closed[0];
            area->closed[0] = 1;
            const int32_t got = shm_read(self, buffer.data(), n);
            if (got != 0 && got != n)
                __builtin_trap();
            area->closed[0] = closed;
            break;
        }
        case 6: {
            uint16_t n = 0;
            if (!in.take(&n, 2))
                break;
            // The tail this side published after its last write; a write
            // that the room left by a possible head cannot take would wait.
            const uint32_t used = outgoing.words.tail - outgoing.words.head;
            const bool would_wait = used <= SHM_AREA_SIZE && SHM_AREA_SIZE - used < n;
            const uint32_t closed = area->closed[0];
            if (would_wait)
                area->closed[0] = 1;
            const int32_t put = shm_write(self, buffer.data(), n);
            if (put != 0 && put != n)
                __builtin_trap();
            area->closed[0] = closed;
            break;
        }
        case 7: {
            const int32_t waiting = shm_data_waiting(self);
            if (waiting < -1 || waiting > 1)
                __builtin_trap();
            break;
        }
        }
    }
    plat_shm_close(&mapping);
    shm_destroy(self);
    shm_destroy(peer);
    return 0;
}
