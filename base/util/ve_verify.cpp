// Record checks (base/util/ve_verify.h).
#include "base/util/ve_verify_internal.h"

#include <stdlib.h>
#include <string.h>

#include "base/util/zel_errors.h"
#include "mox/mox.h"

int32_t VES_verify_registration(const REGISTRATION *registration)
{
    if (registration == nullptr)
        return ZE_NULL_POINTER;
    if (registration->table_name[0] == '\0')
        return ZE_TABLE_NOT_FOUND;
    if ((registration->object_flags & REG_ROWID_COLUMN) != 0 &&
        registration->rowid_column[0] == '\0')
        return ZE_COLUMN_NOT_FOUND;
    return 0;
}

int32_t VES_verify_version(const VERSION *version)
{
    if (version == nullptr)
        return ZE_NULL_POINTER;
    if (version->name[0] == '\0')
        return ZE_INVALID_VERSION_NAME;
    if (version->state_id < 0)
        return ZE_INVALID_STATEID;
    return 0;
}

int32_t VES_verify_locator(const LOCATOR *locator)
{
    if (locator == nullptr)
        return ZE_NULL_POINTER;
    if (locator->name[0] == '\0')
        return ZE_INVALID_NAME;
    if (locator->owner[0] == '\0')
        return ZE_INVALID_OWNER;
    // The kind is the record's 32-bit type; its category is free text.
    if (locator->type < VE_LOCATOR_TEMPLATE || locator->type > VE_LOCATOR_DEFINED)
        return ZE_INVALID_LOCATOR_TYPE;
    if (locator->property_count < 0)
        return ZE_INVALID_ARGUMENT;
    if (locator->property_count > 0 &&
        (locator->property_names == nullptr || locator->property_values == nullptr))
        return ZE_INVALID_ARGUMENT;
    for (int32_t i = 0; i < locator->property_count; i++) {
        const char *name = locator->property_names[i];
        if (name == nullptr || name[0] == '\0' || locator->property_values[i] == nullptr)
            return ZE_INVALID_ARGUMENT;
    }
    return 0;
}

int32_t ves_verify_layer(const LAYER *layer)
{
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    if (layer->table_name[0] == '\0')
        return ZE_TABLE_NOT_FOUND;
    if (layer->spatial_column[0] == '\0')
        return ZE_COLUMN_NOT_FOUND;
    if (layer->coordref != nullptr && MoxsCoordRefIsActive(layer->coordref) <= 0)
        return ZE_INVALID_COORDREF;
    return 0;
}

int32_t ves_verify_rasterband(const RASTERBAND *band)
{
    if (band == nullptr)
        return ZE_NULL_POINTER;
    if (band->rastercolumn_id < 1)
        return ZE_INVALID_RASTERCOLUMN_ID;
    if ((band->check_mask & RASTERBAND_CHECK_STATISTICS) != 0 &&
        ((band->band_flags & RASTERBAND_HAS_STATISTICS) != 0) != (band->statistics != nullptr))
        return ZE_INVALID_RASTERBAND;
    if ((band->check_mask & RASTERBAND_CHECK_COLORMAP) != 0 &&
        ((band->band_flags & RASTERBAND_HAS_COLORMAP) != 0) != (band->colormap != nullptr))
        return ZE_INVALID_RASTERBAND;
    return 0;
}

int32_t ves_verify_column_defs(int16_t count, const DB_COLUMN_DEF *defs)
{
    if (count < 1)
        return ZE_INVALID_ARGUMENT;
    if (defs == nullptr)
        return ZE_NULL_POINTER;
    for (int16_t i = 0; i < count; i++) {
        const DB_COLUMN_DEF *def = &defs[i];
        // A name that fills its whole field has no terminator.
        size_t length = strnlen(def->name, sizeof def->name);
        if (length == 0 || length == sizeof def->name || def->size < 0)
            return ZE_INVALID_COLUMN_DEF;
        if (def->type < VE_SMALLINT || def->type > VE_SHAPE)
            return ZE_INVALID_COLUMN_TYPE;
    }
    return 0;
}

int32_t ves_copy_column_defs(int16_t count, const DB_COLUMN_DEF *defs, DB_COLUMN_DEF **copy,
                             int16_t *copy_count)
{
    if (count < 1)
        return ZE_INVALID_ARGUMENT;
    if (defs == nullptr || copy == nullptr || copy_count == nullptr)
        return ZE_NULL_POINTER;
    size_t n = static_cast<size_t>(count);
    DB_COLUMN_DEF *out = static_cast<DB_COLUMN_DEF *>(calloc(n, sizeof(DB_COLUMN_DEF)));
    if (out == nullptr)
        return ZE_BITSET_NO_MEMORY; // -13: this copy's out-of-memory code
    memcpy(out, defs, n * sizeof(DB_COLUMN_DEF));
    *copy = out;
    *copy_count = count;
    return 0;
}
