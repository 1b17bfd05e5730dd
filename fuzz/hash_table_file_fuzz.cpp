// Fuzz target over a reopened hash-table file: the input becomes the file,
// which is reopened (its stored header checked), searched in every mode and
// closed again.
#include "base/util/ve_hash_table_internal.h"

#include "fuzz/fuzz_quiet.h"
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    char name[] = "/tmp/ht_fuzzXXXXXX";
    int fd = mkstemp(name);
    if (fd < 0)
        return 0;
    // The stored name must match the file's own for the header to be taken.
    uint8_t *bytes = static_cast<uint8_t *>(malloc(size > HT_NAME_SIZE ? size : HT_NAME_SIZE));
    if (bytes == nullptr) {
        close(fd);
        unlink(name);
        return 0;
    }
    memcpy(bytes, data, size);
    if (size >= HT_NAME_SIZE)
        memcpy(bytes, name, sizeof name);
    bool written = write(fd, bytes, size) == static_cast<ssize_t>(size);
    free(bytes);
    close(fd);
    if (written) {
        HT_TABLE *t = ht_open(name, HT_FLAG_REOPEN | HT_FLAG_DUPLICATES, 4, 8, 101);
        if (t != nullptr) {
            HT_LAYOUT layout;
            ht_get_layout(t, &layout);
            unsigned char record[64] = {0};
            if (layout.record_size <= static_cast<int32_t>(sizeof record)) {
                for (int32_t mode = 0; mode <= 5; mode++) {
                    memcpy(record, "key-", 4);
                    ht_search(t, record, mode);
                }
                for (int32_t i = 0; i < 8; i++) {
                    int32_t slot = i * 37;
                    memcpy(record, &slot, sizeof slot);
                    ht_search(t, record, HT_MODE_BY_SLOT);
                    ht_search(t, record, HT_MODE_NEXT_DUPLICATE);
                }
            }
            ht_close(t);
        }
    }
    unlink(name);
    return 0;
}
