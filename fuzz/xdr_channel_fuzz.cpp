// The XDR channel over a socket's record stream: the bytes a peer sends (its
// record marks and fragments included) read through the XDR channel's own
// readers, with a small or a default receive buffer, asking between reads
// whether input waits. Input: a flag byte (bit 0 a receive buffer of 100
// bytes, so records span refills; bit 1 the blob end skips to the next
// record), a plan byte per read (up to eight; a plan byte with bit 7 ends the
// plan), then the peer's bytes. The reads run in turn until one fails.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "base/system/raw_form_internal.h"
#include "base/system/xdr_channel.h"
#include "base/util/ve_anno.h"
#include "base/util/ve_compress.h"
#include "fuzz/fuzz_quiet.h"
#include "fuzz/fuzz_socket.h"
#include "mox/mox.h"

namespace
{

void S_free_feature(FEATURE_STRUCT *f)
{
    MoxCoordRefFree(f->coordref);
    f->coordref = nullptr;
    VES_comp_feature_free(f);
}

int32_t S_read(XDR_CHANNEL *ch, uint8_t which, bool skip)
{
    switch (which % 9) {
    case 0: {
        int32_t v;
        int16_t h;
        double d;
        int32_t rc = XDR_read_long(ch, &v);
        if (rc == 0)
            rc = XDR_read_short(ch, &h);
        return rc == 0 ? XDR_read_lfloat(ch, &d) : rc;
    }
    case 1: {
        uint8_t block[40];
        return XDR_read_block(ch, block, static_cast<int32_t>(sizeof block));
    }
    case 2: {
        char text[48];
        return XDR_read_string(ch, text, static_cast<int32_t>(sizeof text));
    }
    case 3: {
        char *text = nullptr;
        int32_t rc = XDR_read_dynamic_string(ch, &text);
        std::free(text);
        return rc;
    }
    case 4: {
        // A blob: segments until the last, then its end.
        uint8_t buffer[64];
        int32_t total = 0;
        for (int segments = 0; segments < 16; segments++) {
            int32_t length = 0, last = 0;
            int32_t rc =
                XDR_read_blob_seg(ch, buffer, static_cast<int32_t>(sizeof buffer), &length, &last);
            if (rc != 0)
                return rc;
            total += length;
            if (last)
                break;
        }
        return XDR_read_blob_end(ch, total, skip ? 1 : 0);
    }
    case 5: {
        FEATURE_STRUCT f = {};
        int32_t rc = XDR_read_compressed_feature(ch, &f);
        S_free_feature(&f);
        return rc;
    }
    case 6: {
        FEATURE_STRUCT f = {};
        int32_t rc = XDR_readf(ch, &f, 1);
        S_free_feature(&f);
        return rc;
    }
    case 7: {
        int32_t ids[12];
        return XDR_read_fid_array(ch, ids, 12);
    }
    default: {
        // The construct in either form (the older one sends its clause one
        // character per unit).
        VE_SQL_CONSTRUCT c = {};
        int32_t rc =
            (which & 0x40) != 0 ? XDR_read_construct_old(ch, &c) : XDR_read_construct(ch, &c);
        raw_construct_clear(&c);
        return rc;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size < 1)
        return 0;
    const uint8_t flags = data[0];
    size_t steps = 0;
    while (steps < 8 && 1 + steps < size && (data[1 + steps] & 0x80) == 0)
        steps++;
    const size_t skip_end = 1 + steps < size ? 1 : 0; // the plan's end mark
    const uint8_t *peer = data + 1 + steps + skip_end;
    const size_t peer_size = size - 1 - steps - skip_end;
    int fds[2];
    if (!fuzz_socket_input(peer, peer_size, fds))
        return 0;
    XDR_CHANNEL *ch = XDR_create(&fds[0], 0, (flags & 1) != 0 ? 100 : 0);
    if (ch != nullptr) {
        for (size_t i = 0; i < steps; i++) {
            xdr_data_waiting(ch);
            if (S_read(ch, data[1 + i], (flags & 2) != 0) != 0)
                break;
        }
        XDR_destroy(ch, 0);
    }
    close(fds[0]);
    close(fds[1]);
    return 0;
}
