// Indexes arbitrary bytes as a message catalogue and walks every message.
#include <stddef.h>
#include <stdint.h>

#include "base/util/ve_message_internal.h"
#include "fuzz/fuzz_quiet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    VE_MESSAGE_CATALOG catalog;
    if (ves_message_catalog_parse(reinterpret_cast<const char *>(data), size, &catalog) != 0)
        return 0;
    size_t total = 0;
    for (int32_t i = 0; catalog.error_index && i < catalog.error_count; ++i)
        total += static_cast<size_t>(catalog.error_index[i + 1] - catalog.error_index[i]);
    for (int32_t i = 0; catalog.warning_index && i < catalog.warning_count; ++i)
        total += static_cast<size_t>(catalog.warning_index[i + 1] - catalog.warning_index[i]);
    (void)total;
    ves_message_catalog_free(&catalog);
    return 0;
}
