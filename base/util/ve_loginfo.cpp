// The log-file info record (see ve_loginfo.h): create, free, validate, and
// read or write its fields. A record is valid while its tag is "LoG"; every
// accessor checks that first, so a freed or foreign block is refused.
#include "base/util/ve_loginfo_internal.h"

#include <stdlib.h>
#include <string.h>

#include "base/util/zel_errors.h"

static_assert(sizeof(LOGFILE) == LOGINFO_RECORD_SIZE, "LOGFILE keeps the clients' size");

namespace
{

bool S_valid(const LOGFILE *record)
{
    return record && memcmp(record->tag, LOGINFO_TAG, sizeof(record->tag)) == 0;
}

// Copies a field that may come off the wire without its terminator.
void S_get_text(char *out, const char *field, size_t field_size)
{
    size_t length = strnlen(field, field_size - 1);
    memcpy(out, field, length);
    out[length] = '\0';
}

bool S_fits(const char *text, size_t field_size)
{
    return strnlen(text, field_size) < field_size;
}

void S_set_text(char *field, const char *text, size_t field_size)
{
    size_t length = strnlen(text, field_size - 1);
    memset(field, 0, field_size);
    memcpy(field, text, length);
}

} // namespace

int32_t VES_loginfo_create(LOGFILE **record)
{
    if (!record)
        return ZE_NULL_POINTER;
    *record = static_cast<LOGFILE *>(calloc(1, sizeof(LOGFILE)));
    if (!*record)
        return ZE_BUFFER_NO_MEMORY;
    memcpy((*record)->tag, LOGINFO_TAG, sizeof((*record)->tag));
    return ZE_SUCCESS;
}

void VES_loginfo_free(LOGFILE *record)
{
    if (!record)
        return;
    memcpy(record->tag, LOGINFO_FREED_TAG, sizeof(record->tag));
    free(record);
}

int32_t ves_loginfo_copy(const LOGFILE *source, LOGFILE *target)
{
    if (!S_valid(source) || !S_valid(target))
        return ZE_INVALID_LOGINFO_OBJECT;
    if (source != target)
        memcpy(target, source, sizeof(LOGFILE));
    return ZE_SUCCESS;
}

int32_t VES_loginfo_get_id(const LOGFILE *record, int32_t *id)
{
    if (!S_valid(record))
        return ZE_INVALID_LOGINFO_OBJECT;
    if (!id)
        return ZE_NULL_POINTER;
    *id = record->logfile_id;
    return ZE_SUCCESS;
}

int32_t VES_loginfo_get_name(const LOGFILE *record, char *name)
{
    if (!S_valid(record))
        return ZE_INVALID_LOGINFO_OBJECT;
    if (!name)
        return ZE_NULL_POINTER;
    S_get_text(name, record->name, sizeof(record->name));
    return ZE_SUCCESS;
}

int32_t VES_loginfo_get_target_object(const LOGFILE *record, int32_t *kind, char *table_name,
                                      char *column)
{
    if (!S_valid(record))
        return ZE_INVALID_LOGINFO_OBJECT;
    if (!kind || !table_name || !column)
        return ZE_NULL_POINTER;
    *kind = (record->flags & LOGINFO_LAYER) ? LOGINFO_KIND_LAYER : LOGINFO_KIND_TABLE;
    S_get_text(table_name, record->table_name, sizeof(record->table_name));
    S_get_text(column, record->spatial_column, sizeof(record->spatial_column));
    return ZE_SUCCESS;
}

int32_t VES_loginfo_get_persistence(const LOGFILE *record, int32_t *value)
{
    if (!S_valid(record))
        return ZE_INVALID_LOGINFO_OBJECT;
    if (!value)
        return ZE_NULL_POINTER;
    *value = (record->flags & LOGINFO_PERSISTENT) ? LOGINFO_IS_PERSISTENT : LOGINFO_IS_TEMPORARY;
    return ZE_SUCCESS;
}

int32_t VES_loginfo_set_name(LOGFILE *record, const char *name)
{
    if (!S_valid(record))
        return ZE_INVALID_LOGINFO_OBJECT;
    if (!name)
        return ZE_NULL_POINTER;
    if (!S_fits(name, sizeof(record->name)))
        return ZE_INVALID_ARGUMENT;
    S_set_text(record->name, name, sizeof(record->name));
    return ZE_SUCCESS;
}

int32_t VES_loginfo_set_target_object(LOGFILE *record, int32_t kind, const char *table_name,
                                      const char *column)
{
    if (!S_valid(record))
        return ZE_INVALID_LOGINFO_OBJECT;
    if ((kind != LOGINFO_KIND_TABLE && kind != LOGINFO_KIND_LAYER) || !table_name)
        return ZE_NULL_POINTER;
    bool layer = kind == LOGINFO_KIND_LAYER;
    if (layer && (!column || !column[0]))
        return ZE_INVALID_ARGUMENT;
    // Refuse before anything changes: a half-set target would mislead readers.
    if (!S_fits(table_name, sizeof(record->table_name)) ||
        (layer && !S_fits(column, sizeof(record->spatial_column))))
        return ZE_INVALID_ARGUMENT;
    record->flags = (record->flags & LOGINFO_PERSISTENT) | (layer ? LOGINFO_LAYER : LOGINFO_TABLE);
    S_set_text(record->spatial_column, layer ? column : "", sizeof(record->spatial_column));
    S_set_text(record->table_name, table_name, sizeof(record->table_name));
    return ZE_SUCCESS;
}

int32_t VES_loginfo_set_persistence(LOGFILE *record, int32_t value)
{
    if (!S_valid(record))
        return ZE_INVALID_LOGINFO_OBJECT;
    if (value == LOGINFO_IS_PERSISTENT)
        record->flags |= LOGINFO_PERSISTENT;
    else if (value == LOGINFO_IS_TEMPORARY)
        record->flags &= ~static_cast<uint32_t>(LOGINFO_PERSISTENT);
    else
        return ZE_INVALID_ARGUMENT;
    return ZE_SUCCESS;
}
