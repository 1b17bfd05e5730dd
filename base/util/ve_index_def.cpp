// Index definitions in their one block layout (base/util/ve_index_def.h):
// what the table description and the channel's readers build and what every
// holder frees the same way.
#include "base/util/ve_index_def_internal.h"

#include <cstdio>
#include <cstdlib>

#include "base/util/zel_errors.h"

int32_t ves_index_def_alloc(DB_INDEX_DEF *def)
{
    if (def == nullptr)
        return ZE_NULL_POINTER;
    def->column_count = 0;
    def->column_names = static_cast<char **>(std::calloc(DB_INDEX_MAX_COLUMNS, sizeof(char *)));
    def->column_order = static_cast<int32_t *>(std::calloc(DB_INDEX_MAX_COLUMNS, sizeof(int32_t)));
    if (def->column_names == nullptr || def->column_order == nullptr)
        return ZE_OUT_OF_MEMORY;
    return ZE_SUCCESS;
}

int32_t ves_index_def_add_column(DB_INDEX_DEF *def, const char *name, int32_t order)
{
    if (def == nullptr || name == nullptr || def->column_names == nullptr ||
        def->column_order == nullptr)
        return ZE_NULL_POINTER;
    if (def->column_count < 0 || def->column_count >= DB_INDEX_MAX_COLUMNS)
        return ZE_INVALID_ARGUMENT;
    char *block = static_cast<char *>(std::calloc(1, DB_INDEX_COLUMN_NAME_SIZE));
    if (block == nullptr)
        return ZE_OUT_OF_MEMORY;
    std::snprintf(block, DB_INDEX_COLUMN_NAME_SIZE, "%s", name);
    def->column_names[def->column_count] = block;
    def->column_order[def->column_count] = order;
    def->column_count++;
    return ZE_SUCCESS;
}

void ves_index_defs_free(DB_INDEX_DEF *defs, int32_t count)
{
    if (defs == nullptr)
        return;
    for (int32_t i = 0; i < count; i++) {
        if (defs[i].column_names != nullptr)
            for (int32_t c = 0; c < DB_INDEX_MAX_COLUMNS; c++)
                std::free(defs[i].column_names[c]);
        std::free(defs[i].column_names);
        std::free(defs[i].column_order);
    }
    std::free(defs);
}
