// Envelopes of written rows (db_stream_envelope.h). The current shapes are
// measured by the DBMS (DB_layer_calculate_envelope and its row form, over
// the layer's table and the stream's WHERE text); boxes in layer
// coordinates go to system units through the layer's coordinate reference,
// widened outwards so that they cover the shapes.
#include "db/stream/db_stream_envelope.h"

#include <string.h>

#include <algorithm>
#include <string>

#include "base/util/ve_feature.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_shape_error.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_envelope.h"
#include "db/catalog/db_layer_info.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_stream_layer_internal.h"
#include "db/core/db_xerr.h"
#include "db/stream/db_state_write_buffer_internal.h"
#include "db/stream/db_stream_write_internal.h"
#include "mox/mox.h"

namespace
{

// A box holds something when min <= max on both axes.
bool S_valid(const VE_ENVELOPE &box)
{
    return box.minx <= box.maxx && box.miny <= box.maxy;
}

void S_unite(ENVELOPE *into, const ENVELOPE &box)
{
    into->minx = std::min(into->minx, box.minx);
    into->miny = std::min(into->miny, box.miny);
    into->maxx = std::max(into->maxx, box.maxx);
    into->maxy = std::max(into->maxy, box.maxy);
}

// The last shape column of the stream's row buffer; -1 none.
int32_t S_buffer_shape_column(const DB_STREAM *stream)
{
    const DB_STREAM_WRITE *write = stream->write;
    if (write == nullptr || write->row.columns == nullptr)
        return -1;
    int32_t position = -1;
    for (int32_t i = 0; i < write->row.column_count; i++)
        if (write->row.columns[i].type == VE_SHAPE)
            position = i;
    return position;
}

const FEATURE_STRUCT *S_new_shape(const int16_t *indicators, void *const *values, int32_t position)
{
    if (indicators[position] == VE_IND_NULL)
        return nullptr;
    return static_cast<const FEATURE_STRUCT *>(values[position]);
}

// The box in system units united with the new shape, or the new shape's
// envelope alone when the box is empty. Nothing is written for an empty box
// and no shape.
int32_t S_box_and_shape(const LAYER *layer, const VE_ENVELOPE &box, const FEATURE_STRUCT *shape,
                        ENVELOPE *out)
{
    if (!S_valid(box)) {
        if (shape != nullptr)
            *out = shape->envelope;
        return 0;
    }
    ENVELOPE system{};
    int32_t rc = MoxsEnvelopeToSystem(layer->coordref, &box, &system);
    if (rc != 0)
        return VES_map_shape_error_to_zel(rc);
    if (shape != nullptr)
        S_unite(&system, shape->envelope);
    *out = system;
    return 0;
}

// "owner.table" of the layer: the one table of an envelope computation.
std::string S_layer_table(const LAYER *layer)
{
    return std::string(layer->owner) + "." + layer->table_name;
}

} // namespace

int32_t DB_envelope_get_insert(DB_STREAM *stream, const int16_t *indicators, void *const *values,
                               ENVELOPE *envelope, int32_t *layer_id)
{
    if (stream == nullptr || indicators == nullptr || values == nullptr || envelope == nullptr ||
        layer_id == nullptr)
        return ZE_NULL_POINTER;
    const int32_t position = stream->write != nullptr ? stream->write->spatial_position : -1;
    if (position < 0 || stream->layer == nullptr)
        return 0;
    const FEATURE_STRUCT *shape = S_new_shape(indicators, values, position);
    if (shape == nullptr)
        return 0;
    *envelope = shape->envelope;
    *layer_id = stream->layer->layer_id;
    return 0;
}

int32_t DB_envelope_get_update(DB_STREAM *stream, const int16_t *indicators, void *const *values,
                               ENVELOPE *envelope, int32_t *layer_id)
{
    if (stream == nullptr || indicators == nullptr || values == nullptr || envelope == nullptr ||
        layer_id == nullptr)
        return ZE_NULL_POINTER;
    const int32_t position = S_buffer_shape_column(stream);
    if (position < 0)
        return 0;
    const LAYER *layer = stream->layer;
    if (layer == nullptr)
        return ZE_LAYER_NOT_FOUND;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        std::string table = S_layer_table(layer);
        char *tables[] = {&table[0]};
        VE_SQL_CONSTRUCT construct{1, tables, stream->where_text};
        DB_MV_QUERY_INFO none;
        memset(&none, 0, sizeof(none));
        VE_ENVELOPE box{};
        double z_low = 0, z_high = 0;
        int32_t rc = DB_layer_calculate_envelope(nullptr, layer, &construct, &none, 0, &box, &z_low,
                                                 &z_high);
        if (rc != 0) {
            if (rc == ZE_DBMS_ERROR || rc == ZE_SYNTAX_ERROR)
                DB_instance_get_xerr(&stream->xerr);
            return rc;
        }
        const FEATURE_STRUCT *shape = S_new_shape(indicators, values, position);
        if (!S_valid(box) && shape == nullptr)
            return 0;
        if ((rc = S_box_and_shape(layer, box, shape, envelope)) != 0)
            return rc;
        *layer_id = layer->layer_id;
        return 0;
    });
}

int32_t DB_envelope_get_rows_update(DB_STREAM *stream, const void *, VE_ENVELOPE *envelope,
                                    const void *, const int32_t *row_id, const char *rowid_column,
                                    int32_t *layer_id)
{
    if (stream == nullptr || envelope == nullptr || row_id == nullptr || rowid_column == nullptr ||
        layer_id == nullptr)
        return ZE_NULL_POINTER;
    if (S_buffer_shape_column(stream) < 0)
        return 0;
    const LAYER *layer = stream->layer;
    if (layer == nullptr)
        return ZE_LAYER_NOT_FOUND;
    int32_t rc = db_check_name(rowid_column, DB_NAME_COLUMN_SIZE);
    if (rc != 0)
        return rc;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        std::string table = S_layer_table(layer);
        std::string where = table + "." + rowid_column + " = ?";
        char *tables[] = {&table[0]};
        VE_SQL_CONSTRUCT construct{1, tables, &where[0]};
        int32_t parameter = *row_id;
        double z_low = 0, z_high = 0;
        int32_t found = DB_layer_calculate_row_envelope(stream, layer, &construct, 0, envelope,
                                                        &z_low, &z_high, &parameter);
        *layer_id = layer->layer_id;
        return found;
    });
}

int32_t DB_envelope_readjust(DB_STREAM *stream, const int16_t *indicators, void *const *values,
                             const VE_ENVELOPE *box, ENVELOPE *envelope)
{
    if (stream == nullptr || indicators == nullptr || values == nullptr || box == nullptr ||
        envelope == nullptr)
        return ZE_NULL_POINTER;
    int32_t position = -1;
    if (stream->update_buffer != nullptr)
        position = stream->update_buffer->shape_column;
    else if (stream->write != nullptr)
        position = stream->write->row.columns != nullptr ? S_buffer_shape_column(stream)
                                                         : stream->write->spatial_position;
    if (position < 0)
        return 0;
    const FEATURE_STRUCT *shape = S_new_shape(indicators, values, position);
    if (!S_valid(*box) && shape == nullptr)
        return 0;
    if (S_valid(*box) && (stream->layer == nullptr || stream->layer->coordref == nullptr))
        return ZE_LAYER_NOT_FOUND;
    return S_box_and_shape(stream->layer, *box, shape, envelope);
}

int32_t DB_envelope_get_delete(DB_STREAM *stream, const REGISTRATION *registration, int32_t row_id,
                               ENVELOPE *envelope, int32_t *layer_id)
{
    if (stream == nullptr || registration == nullptr || envelope == nullptr || layer_id == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        LAYER *layer = nullptr;
        int32_t rc = DB_layer_get_info_by_table_name(nullptr, stream, registration->table_name,
                                                     nullptr, db_stream_get_user(stream), &layer);
        if (rc != 0)
            return rc;
        if (layer == nullptr)
            return ZE_LAYER_NOT_FOUND;
        std::string table = S_layer_table(layer);
        std::string where =
            std::string(layer->table_name) + ".VE_ROW_ID = " + std::to_string(row_id);
        char *tables[] = {&table[0]};
        VE_SQL_CONSTRUCT construct{1, tables, &where[0]};
        DB_MV_QUERY_INFO none;
        memset(&none, 0, sizeof(none));
        VE_ENVELOPE box{};
        double z_low = 0, z_high = 0;
        rc = DB_layer_calculate_envelope(nullptr, layer, &construct, &none, 0, &box, &z_low,
                                         &z_high);
        if (rc != 0)
            return rc;
        if (!S_valid(box))
            return ZE_OBJECT_NOT_FOUND;
        ENVELOPE system{};
        if ((rc = MoxsEnvelopeToSystem(layer->coordref, &box, &system)) != 0)
            return VES_map_shape_error_to_zel(rc);
        *envelope = system;
        *layer_id = layer->layer_id;
        return 0;
    });
}
