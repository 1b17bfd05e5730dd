// Fuzz target over the state printer's lineage decoding: the first four bytes
// are the lineage length (any value, negative included), the rest the
// lineage blob in an exact-size heap block. A reader hands the printer only a
// blob whose header decodes within its bytes; the printer then skips that
// header value and prints at most the lineage length of ids, never reading
// past the bytes the header counts, nor, through a damaged id, past the blob.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "base/util/ve_lineage_internal.h"
#include "base/util/ve_list_internal.h"
#include "base/util/ve_state.h"
#include "fuzz/fuzz_quiet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    static FILE *const sink = fopen("/dev/null", "w");
    if (sink == nullptr || size < 5 || size > 4096)
        return 0;
    STATE state;
    memset(&state, 0, sizeof state);
    memcpy(state.tag, "StA", 4);
    state.state_id = 7;
    memcpy(&state.lineage_length, data, sizeof state.lineage_length);
    std::vector<uint8_t> blob(data + 4, data + size);
    size_t total = 0;
    if (ves_lineage_total_size(blob.data(), blob.size(), &total) != 0 || total > blob.size())
        return 0;
    blob.resize(total); // exactly the bytes the header counts
    blob.shrink_to_fit();
    state.lineage = blob.data();
    ves_list_state(sink, &state, 1, "  ");
    state.lineage = nullptr;
    ves_list_state(sink, &state, 1, nullptr);
    return 0;
}
