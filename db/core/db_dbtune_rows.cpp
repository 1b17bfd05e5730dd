// DBTUNE rows in memory and the storage-configuration records: the row list
// of a file section or a block fetch, the clearing of the records, and the
// look-up of a clause field by its parameter name, shared by the table
// readers, the file reader and the migration.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_dbtune_internal.h"
#include "db/core/db_diag_internal.h"

char *db_dbtune_field(DBTUNE_LAYER_CONFIG *layer, DBTUNE_LOGFILE_CONFIG *logfile,
                      DBTUNE_RASTER_CONFIG *raster, const char *name)
{
    const DBTUNE_PARAM *p = db_dbtune_param_find(name);
    if (p == nullptr || p->field != DBTUNE_FIELD_CLAUSE)
        return nullptr;
    char *base = p->record == DBTUNE_IN_LAYER     ? reinterpret_cast<char *>(layer)
                 : p->record == DBTUNE_IN_LOGFILE ? reinterpret_cast<char *>(logfile)
                                                  : reinterpret_cast<char *>(raster);
    return base == nullptr ? nullptr : base + p->offset;
}

void db_dbtune_copy_field(char *field, size_t size, const char *text, const char *what)
{
    if (field == nullptr || size == 0)
        return;
    if (text == nullptr)
        text = "";
    size_t length = strlen(text);
    if (length >= size) {
        VES_print_debug(stderr, "WARNING: DBTUNE %s longer than %zu characters is cut.\n",
                        what ? what : "text", size - 1);
        length = size - 1;
    }
    memcpy(field, text, length);
    field[length] = '\0';
}

int32_t db_dbtune_name_in(const char *const *list, size_t count, const char *name)
{
    if (list == nullptr || name == nullptr)
        return 0;
    for (size_t i = 0; i < count; i++)
        if (strcasecmp(list[i], name) == 0)
            return 1;
    return 0;
}

int32_t db_dbtune_set_procedure_xerr(int32_t result, const char *procedure)
{
    return db_set_xerr_from_procedure(result, procedure);
}

int32_t db_dbtune_begins_with(const char *text, const char *prefix)
{
    if (text == nullptr || prefix == nullptr)
        return 0;
    return strncasecmp(text, prefix, strlen(prefix)) == 0;
}

static char *S_dup(const char *text)
{
    return strdup(text ? text : "");
}

int32_t db_dbtune_row_list_add(DBTUNE_ROW_LIST *rows, const char *keyword, const char *name,
                               const char *value)
{
    if (rows == nullptr)
        return ZE_NULL_POINTER;
    size_t grown = static_cast<size_t>(rows->count) + 1;
    // Each array is replaced as soon as it has grown, so a later failure
    // leaves the list consistent with its count.
    char ***arrays[] = {&rows->keywords, &rows->names, &rows->values};
    for (char ***array : arrays) {
        auto *bigger = static_cast<char **>(realloc(*array, grown * sizeof(char *)));
        if (bigger == nullptr)
            return ZE_OUT_OF_MEMORY;
        *array = bigger;
    }
    char *texts[] = {S_dup(keyword), S_dup(name), S_dup(value)};
    if (!texts[0] || !texts[1] || !texts[2]) {
        for (char *t : texts)
            free(t);
        return ZE_OUT_OF_MEMORY;
    }
    rows->keywords[rows->count] = texts[0];
    rows->names[rows->count] = texts[1];
    rows->values[rows->count] = texts[2];
    rows->count++;
    return ZE_SUCCESS;
}

void db_dbtune_row_list_free(DBTUNE_ROW_LIST *rows)
{
    if (rows == nullptr)
        return;
    for (int32_t i = 0; i < rows->count; i++) {
        free(rows->keywords[i]);
        free(rows->names[i]);
        free(rows->values[i]);
    }
    free(rows->keywords);
    free(rows->names);
    free(rows->values);
    memset(rows, 0, sizeof(*rows));
}

void db_dbtune_clear_layer_config(DBTUNE_LAYER_CONFIG *config)
{
    if (config)
        memset(config, 0, sizeof(*config));
}

void db_dbtune_clear_logfile_config(DBTUNE_LOGFILE_CONFIG *config)
{
    if (config)
        memset(config, 0, sizeof(*config));
}

void db_dbtune_clear_raster_config(DBTUNE_RASTER_CONFIG *config)
{
    if (config)
        memset(config, 0, sizeof(*config));
}
