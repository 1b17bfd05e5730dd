// What the catalogue code takes from clients and from fetched rows: a table,
// column, index or user name checked before it is written into SQL without
// quotes, a privilege text of systabauth read into a mask, and a fetched
// layer row put through its NULL rules and copied. A name the checks accept
// holds no character that could end an identifier; no read leaves its field.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_info_internal.h"
#include "db/catalog/db_table_access_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_names_internal.h"
#include "fuzz/fuzz_quiet.h"

static void S_refuse_unsafe(const char *name)
{
    for (const char *p = name; *p; p++)
        if (strchr(" \t\n;,()-*/=<>\"", *p) != nullptr)
            __builtin_trap();
}

// Fills a fixed text field from the input as a driver would: cut and ended.
static void S_fill(char *field, size_t size, const uint8_t *&data, size_t &left)
{
    size_t n = left < size - 1 ? left : size - 1;
    memcpy(field, data, n);
    field[n] = '\0';
    data += n;
    left -= n;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    std::string input(reinterpret_cast<const char *>(data), size);
    const char *name = input.c_str();

    if (db_check_table_name(name) == ZE_SUCCESS) {
        // Quotes stand only around the owner.
        std::string rest = name;
        size_t point = rest.rfind('.');
        if (point != std::string::npos) {
            size_t colon = rest.rfind(':', point);
            size_t start = colon == std::string::npos ? 0 : colon + 1;
            if (rest[start] == '\'' && point > start + 1 && rest[point - 1] == '\'')
                rest.erase(point - 1, 1).erase(start, 1);
        }
        if (rest.find('\'') != std::string::npos)
            __builtin_trap();
        S_refuse_unsafe(name);
    }
    if (db_check_name(name, DB_NAME_COLUMN_SIZE) == ZE_SUCCESS) {
        if (strchr(name, '\'') != nullptr || strlen(name) >= DB_NAME_COLUMN_SIZE)
            __builtin_trap();
        S_refuse_unsafe(name);
    }

    int32_t mask = db_privileges_from_tabauth(input.data(), input.size() < 10 ? input.size() : 10);
    if (mask & ~30)
        __builtin_trap();

    DB_LAYER_ROW row;
    db_layer_row_init(&row);
    const uint8_t *p = data;
    size_t left = size;
    S_fill(row.layer.description, sizeof(row.layer.description), p, left);
    S_fill(row.layer.database_name, sizeof(row.layer.database_name), p, left);
    S_fill(row.layer.table_name, sizeof(row.layer.table_name), p, left);
    S_fill(row.srtext, sizeof(row.srtext), p, left);
    row.indicators.minimum_id = size % 2 ? SQL_NULL_DATA : 4;
    row.indicators.description = size % 3 ? SQL_NULL_DATA : 4;
    db_layer_apply_null_rules(&row.layer, &row.indicators, true);
    if (row.layer.minimum_id != 1 && row.indicators.minimum_id == SQL_NULL_DATA)
        __builtin_trap();
    DB_LAYER_ROW copy;
    db_layer_row_init(&copy);
    db_layer_copy(&copy.layer, &row.layer);
    if (copy.layer.coordref != &copy.coordref || strcmp(copy.srtext, row.srtext) != 0)
        __builtin_trap();
    return 0;
}
