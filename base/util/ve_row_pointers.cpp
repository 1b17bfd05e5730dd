// Row pointers (VE_ROW_POINTERS): per-column value buffers of one row, sized
// by engine type. Shape buffers are FEATURE_STRUCTs whose inner blocks are
// released through the compressed-feature code (base/util/ve_compress.h).
#include "base/util/ve_row_pointers.h"

#include <cstdlib>

#include "base/util/ve_compress.h"
#include "base/util/ve_date.h"
#include "base/util/ve_feature.h"
#include "base/util/ve_raster.h"
#include "base/util/zel_errors.h"

// Bytes of a column's value buffer; 0 for a type that has none.
static size_t S_buffer_size(const DB_COLUMN_DEF &column)
{
    switch (column.type) {
    case VE_SMALLINT:
        return sizeof(int16_t);
    case VE_INTEGER:
        return sizeof(int32_t);
    case VE_FLOAT:
        return sizeof(float);
    case VE_DOUBLE:
        return sizeof(double);
    case VE_STRING:
        return column.size >= 0 ? static_cast<size_t>(column.size) + 1 : 0;
    case VE_BLOB:
        return sizeof(VE_BLOB_VALUE);
    case VE_DATE_TYPE:
        return sizeof(VE_DATE);
    case VE_SHAPE:
        return sizeof(FEATURE_STRUCT);
    case VE_RASTER:
        return sizeof(RASTERATTR);
    default:
        return 0;
    }
}

ZEL_API void VES_free_row_pointers(VE_ROW_POINTERS *row)
{
    if (row == nullptr)
        return;
    std::free(row->indicators);
    row->indicators = nullptr;
    std::free(row->values);
    row->values = nullptr;
    if (row->buffers == nullptr)
        return;
    for (int32_t i = 0; i < row->column_count; i++) {
        void *buffer = row->buffers[i];
        if (buffer == nullptr)
            continue;
        int32_t type = row->columns != nullptr ? row->columns[i].type : 0;
        if (type == VE_SHAPE)
            VES_comp_feature_free(static_cast<FEATURE_STRUCT *>(buffer));
        else if (type == VE_BLOB)
            std::free(static_cast<VE_BLOB_VALUE *>(buffer)->data);
        std::free(buffer);
        row->buffers[i] = nullptr;
    }
    std::free(row->buffers);
    row->buffers = nullptr;
}

ZEL_API int32_t VES_allocate_row_pointers(VE_ROW_POINTERS *row, int32_t blob_size)
{
    if (row == nullptr)
        return ZE_NULL_POINTER;
    VES_free_row_pointers(row);
    const int32_t count = row->column_count;
    if (count < 0 || (count > 0 && row->columns == nullptr))
        return ZE_INVALID_ARGUMENT;
    // calloc of 0 bytes may answer null; keep at least one slot.
    const size_t slots = count > 0 ? static_cast<size_t>(count) : 1;
    row->indicators = static_cast<int16_t *>(std::calloc(slots, sizeof(int16_t)));
    row->values = static_cast<void **>(std::calloc(slots, sizeof(void *)));
    row->buffers = static_cast<void **>(std::calloc(slots, sizeof(void *)));
    if (row->indicators == nullptr || row->values == nullptr || row->buffers == nullptr)
        return ZE_BUFFER_NO_MEMORY;
    for (int32_t i = 0; i < count; i++) {
        size_t size = S_buffer_size(row->columns[i]);
        if (size == 0)
            return row->columns[i].type == VE_STRING ? ZE_INVALID_ARGUMENT : ZE_UNKNOWN_COLUMN_TYPE;
        void *buffer = std::calloc(1, size);
        if (buffer == nullptr)
            return ZE_BUFFER_NO_MEMORY;
        row->buffers[i] = buffer;
        if (row->columns[i].type == VE_BLOB && blob_size > 0) {
            auto *blob = static_cast<VE_BLOB_VALUE *>(buffer);
            blob->data = static_cast<uint8_t *>(std::calloc(1, static_cast<size_t>(blob_size)));
            if (blob->data == nullptr)
                return ZE_BUFFER_NO_MEMORY;
            blob->byte_count = blob_size;
        }
        row->values[i] = buffer;
    }
    return ZE_SUCCESS;
}
