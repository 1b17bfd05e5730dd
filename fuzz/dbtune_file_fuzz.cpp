// The dbtune file is text that users edit: the input is one whole file, read
// header by header with each section body parsed into the three records and
// a row list, as the import does before anything reaches the database.
// Every field and row must stay within its bound.
#include <stdio.h>
#include <string.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "db/core/db_dbtune_internal.h"
#include "fuzz/fuzz_quiet.h"

static void S_check_field(const char *field, size_t size)
{
    if (strnlen(field, size) == size)
        __builtin_trap();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size == 0)
        return 0;
    std::vector<char> text(data, data + size);
    FILE *file = fmemopen(text.data(), text.size(), "r");
    if (file == nullptr)
        return 0;
    auto layer = std::make_unique<DBTUNE_LAYER_CONFIG>();
    auto logfile = std::make_unique<DBTUNE_LOGFILE_CONFIG>();
    auto raster = std::make_unique<DBTUNE_RASTER_CONFIG>();
    std::vector<char> line(DBTUNE_LINE_SIZE);
    while (fgets(line.data(), DBTUNE_LINE_SIZE, file) != nullptr) {
        char keyword[DBTUNE_NAME_SIZE];
        if (!db_dbtune_header_keyword(line.data(), keyword))
            continue;
        db_dbtune_clear_layer_config(layer.get());
        db_dbtune_clear_logfile_config(logfile.get());
        db_dbtune_clear_raster_config(raster.get());
        if (fgets(line.data(), DBTUNE_LINE_SIZE, file) == nullptr)
            break;
        DBTUNE_ROW_LIST rows = {};
        if (db_dbtune_read_section(file, layer.get(), logfile.get(), raster.get(), 0, keyword,
                                   &rows, line.data()) != 0)
            __builtin_trap();
        for (int32_t i = 0; i < rows.count; i++) {
            if (strlen(rows.names[i]) >= DBTUNE_NAME_SIZE ||
                strlen(rows.values[i]) >= DBTUNE_CLAUSE_SIZE)
                __builtin_trap();
            const char *field =
                db_dbtune_field(layer.get(), logfile.get(), raster.get(), rows.names[i]);
            if (field != nullptr)
                S_check_field(field, DBTUNE_CLAUSE_SIZE);
        }
        db_dbtune_row_list_free(&rows);
        S_check_field(layer->A_TBLSP, sizeof layer->A_TBLSP);
        S_check_field(layer->A_IX_TBLSP, sizeof layer->A_IX_TBLSP);
        DBTUNE_LEGACY_CLAUSES legacy;
        db_dbtune_build_storage_clause(layer.get(), &legacy);
        S_check_field(legacy.extent, sizeof legacy.extent);
    }
    fclose(file);
    return 0;
}
