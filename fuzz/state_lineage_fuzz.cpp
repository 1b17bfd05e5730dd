// Fuzz target over the decoder of stored state lineages: the input's first
// byte is the id count the STATES row claims and the rest the blob as fetched.
// A blob that is taken must read the same through a state record (bounded by
// its own header) and survive an encode and decode round trip.
#include "base/util/ve_lineage_internal.h"

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "fuzz/fuzz_quiet.h"
#include <vector>

static void S_check(const uint8_t *blob, size_t size, int32_t count)
{
    size_t total = 0;
    bool sized = ves_lineage_total_size(blob, size, &total) == 0;
    std::vector<int32_t> ids;
    if (ves_lineage_decode(blob, size, count, &ids) != 0) {
        if (!ids.empty())
            __builtin_trap();
        return;
    }
    if (!sized || ids.size() != static_cast<size_t>(count) || total > size)
        __builtin_trap();
    // Only the blob's own bytes, in a block of their own size: a record's
    // reader may rely on the header alone.
    auto *own = static_cast<uint8_t *>(malloc(total ? total : 1));
    if (own == nullptr)
        return;
    memcpy(own, blob, total);
    STATE state{};
    state.lineage = own;
    state.lineage_length = count;
    std::vector<int32_t> again;
    if (ves_lineage_decode_state(&state, &again) != 0 || again != ids)
        __builtin_trap();
    free(own);
    uint8_t *encoded = nullptr;
    size_t encoded_size = 0;
    if (ves_lineage_encode(ids.data(), count, &encoded, &encoded_size) != 0)
        return; // an id without an encoding cannot have been decoded, but stay quiet
    if (ves_lineage_decode(encoded, encoded_size, count, &again) != 0 || again != ids)
        __builtin_trap();
    free(encoded);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size == 0) {
        S_check(data, 0, 0);
        return 0;
    }
    S_check(data + 1, size - 1, data[0]);
    // The same bytes with a count that is far too large for them.
    S_check(data + 1, size - 1, VE_LINEAGE_MAX_IDS);
    return 0;
}
