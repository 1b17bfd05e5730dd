// Diagnostics come from the driver: whatever bytes land in a CLI_DIAG_RECORD,
// terminated or not, the mapping tables and the extended error records must
// stay within their fields.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <algorithm>

#include "db/core/db_diag_internal.h"
#include "fuzz/fuzz_quiet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    CLI_DIAG_RECORD diag;
    memset(&diag, 'x', sizeof(diag));
    memcpy(&diag, data, std::min(size, sizeof(diag)));
    // The tail past the record, if any, is appended to the message.
    char tail[64] = "";
    if (size > sizeof(diag))
        memcpy(tail, data + sizeof(diag), std::min(size - sizeof(diag), sizeof(tail) - 1));

    db_map_execute_sqlstate(diag.sqlstate);
    db_map_cli_ddl_sqlstate(diag.sqlstate);
    db_map_cli_prepare_sqlstate(diag.sqlstate);
    db_map_ddl_diag(&diag, "DROP TABLE t");
    db_map_connect_diag(&diag);
    DB_EXT_ERROR xerr;
    db_xerr_fill(&xerr, &diag);
    db_set_xerr_from_diag(diag);
    db_xerr_append_text(tail);
    DB_instance_clear_xerr();
    return 0;
}
