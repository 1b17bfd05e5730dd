// A query stream's description and execution (db_stream_execute.h): the
// result columns for the host, the hidden shape, row-id and log-id columns
// appended behind them, the envelope pre-filter with its bound search shape
// (db_stream_execute_internal.h), and the execute with every column bound
// (db_array_fetch_internal.h). Names go into the text unquoted only after the
// identifier check; the stored by clause always stays last.
#include "db/stream/db_stream_execute_internal.h"

#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <new>
#include <string>

#include "base/util/ve_compress.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_registration.h"
#include "base/util/ve_shape_error.h"
#include "base/util/ve_spatial_test.h"
#include "base/util/ve_varlong.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_layer_tables_internal.h"
#include "db/catalog/db_log.h"
#include "db/catalog/db_spatial_ref_internal.h"
#include "db/core/db_dbms_internal.h"
#include "db/core/db_describe_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_identifier_check.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_columns_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_vocab_internal.h"
#include "db/core/db_xerr.h"
#include "db/stream/db_array_fetch_internal.h"
#include "db/stream/db_row_lock.h"
#include "db/stream/db_stream_prepare.h"
#include "db/version/db_mv_view_internal.h"
#include "mox/mox.h"

namespace
{

// " VE_AsZel" and " VE_GeomFromZel": a function through the column
// expression format.
std::string S_function(const char *name)
{
    char format[8];
    db_get_column_expr_format(format);
    std::string f = format;
    const size_t at = f.find("%s");
    if (at != std::string::npos)
        f.replace(at, 2, name);
    return f;
}

const char *S_text(const char *part)
{
    return part != nullptr ? part : "";
}

bool S_has_entries(const DB_STREAM *stream)
{
    const DB_MV_QUERY_INFO *mv = stream->mv_info;
    return mv != nullptr && mv->tables != nullptr && mv->table_count > 0;
}

// The alias of the first multiversion entry, or null.
const char *S_first_alias(const DB_STREAM *stream)
{
    if (!S_has_entries(stream) || !stream->mv_info->tables[0].alias[0])
        return nullptr;
    return stream->mv_info->tables[0].alias;
}

// The alias of the multiversion view that reads the given table, or null
// when no entry reads it or its view has no alias.
const char *S_view_alias(const DB_STREAM *stream, const char *database, const char *owner,
                         const char *table)
{
    if (!S_has_entries(stream) || table[0] == '\0')
        return nullptr;
    char user[DB_USER_NAME_SIZE];
    db_get_current_user(user);
    for (int32_t i = 0; i < stream->mv_info->table_count; i++) {
        const DB_MV_TABLE_INFO &entry = stream->mv_info->tables[i];
        char db[DB_NAME_DATABASE_SIZE], own[DB_NAME_OWNER_SIZE], tab[DB_NAME_TABLE_SIZE];
        if (entry.table_name == nullptr ||
            db_parse_table_name(nullptr, entry.table_name, owner[0] ? owner : user, db, own, tab) !=
                0)
            continue;
        if (strcasecmp(tab, table) != 0 || (owner[0] && strcmp(own, owner) != 0) ||
            (db[0] && database[0] && strcasecmp(db, database) != 0))
            continue;
        return entry.alias[0] ? entry.alias : nullptr;
    }
    return nullptr;
}

// 0 when every name may go into the text unquoted, else -66.
int32_t S_check_names(std::initializer_list<const char *> names)
{
    for (const char *name : names)
        if (name == nullptr || DB_check_identifier(nullptr, name) != 0)
            return ZE_INVALID_ARGUMENT;
    return 0;
}

// The stream's (the layer's) table as the qualifier of a hidden item: the
// alias of the multiversion view that reads it, else owner.table.
int32_t S_table_qualifier(const DB_STREAM *stream, std::string *out)
{
    if (const char *alias = S_view_alias(stream, stream->database, stream->owner, stream->table)) {
        *out = alias;
        return S_check_names({alias});
    }
    *out = std::string(stream->owner) + "." + stream->table;
    return S_check_names({stream->owner, stream->table});
}

// The spatial column's name after its last period: the hidden shape's alias.
const char *S_shape_alias(const DB_STREAM *stream)
{
    return db_skip_qualifier(stream->spatial_column_name);
}

void S_append(DB_QUERY_FETCH *f, int32_t kind)
{
    if (f->appended_count < DB_APPENDED_MAX)
        f->appended[f->appended_count++] = kind;
}

// Rebuilds the SELECT from its grown select list and prepares it again; the
// select part keeps the growth for later rebuilds.
int32_t S_prepare_grown(DB_STREAM *stream, const std::string &select, const std::string &tail)
{
    char *kept = strdup(select.c_str());
    if (kept == nullptr)
        return ZE_OUT_OF_MEMORY;
    free(stream->sql_select);
    stream->sql_select = kept;
    return DB_stream_prepare_sql(stream, (select + tail).c_str());
}

std::string S_from_where_postfix(const DB_STREAM *stream)
{
    return std::string(S_text(stream->sql_from)) + S_text(stream->sql_where) +
           S_text(stream->sql_trailer);
}

// db_stream_add_shape_column: the shape (and the row id when the caller did
// not select it) behind the caller's columns.
int32_t S_add_shape_column(DB_STREAM *stream, DB_QUERY_FETCH *f)
{
    if (stream->sql_from == nullptr)
        return ZE_FAILURE;
    int32_t rc = S_check_names({stream->spatial_column_name});
    if (rc != 0)
        return rc;
    std::string select = S_text(stream->sql_select);
    const std::string shape = S_function("VE_AsZel") + "(" + stream->spatial_column_name + ") " +
                              S_shape_alias(stream) + " ";
    if (f->rowid_index >= 0) {
        select += ", " + shape;
    } else {
        std::string table;
        rc = S_table_qualifier(stream, &table);
        if (rc != 0)
            return rc;
        select += ", " + table + ".VE_ROW_ID, " + shape;
        f->hidden_rowid = 1;
        S_append(f, DB_APPENDED_ROWID);
    }
    f->hidden_shape = 1;
    S_append(f, DB_APPENDED_SHAPE);
    return S_prepare_grown(stream, select, S_from_where_postfix(stream));
}

// db_stream_add_row_id_column.
int32_t S_add_row_id_column(DB_STREAM *stream, DB_QUERY_FETCH *f, bool add)
{
    if (!add || f->hidden_rowid)
        return 0;
    if (stream->sql_from == nullptr)
        return ZE_FAILURE;
    std::string table;
    int32_t rc = S_table_qualifier(stream, &table);
    if (rc != 0)
        return rc;
    const std::string select =
        std::string(S_text(stream->sql_select)) + ", " + table + ".VE_ROW_ID ";
    f->hidden_rowid = 1;
    S_append(f, DB_APPENDED_ROWID);
    return S_prepare_grown(stream, select, S_from_where_postfix(stream));
}

// db_stream_add_log_id_column: the log's row-id column, unless a described
// integer column already is it.
int32_t S_add_log_id_column(DB_STREAM *stream, DB_QUERY_FETCH *f)
{
    const char *rowid = stream->auto_log_file.registration.rowid_column;
    if (rowid[0] == '\0')
        return 0;
    for (int32_t i = 0; f->columns != nullptr && i < f->described_count; i++)
        if (f->columns[i].type == VE_INTEGER && strcasecmp(f->columns[i].name, rowid) == 0) {
            f->logid_index = i;
            return 0;
        }
    if (stream->sql_from == nullptr)
        return ZE_FAILURE;
    char user[DB_USER_NAME_SIZE];
    char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], table[DB_NAME_TABLE_SIZE];
    int32_t rc = db_parse_table_name(nullptr, stream->auto_log_file.table_name,
                                     db_get_current_user(user), database, owner, table);
    if (rc != 0)
        return rc;
    rc = S_check_names({owner, table, rowid});
    if (rc == 0 && database[0])
        rc = S_check_names({database});
    if (rc != 0)
        return rc;
    std::string target = std::string(owner) + "." + table;
    if (database[0])
        target = std::string(database) + ":" + target;
    if (const char *alias = S_view_alias(stream, database, owner, table))
        target = alias;
    const std::string select =
        std::string(S_text(stream->sql_select)) + ", " + target + "." + rowid + " ";
    f->logid_added = 1;
    S_append(f, DB_APPENDED_LOGID);
    // The by clause stays last, as for every other hidden column.
    return S_prepare_grown(stream, select, S_from_where_postfix(stream));
}

// The stream's own zeroed feature as the current one.
int32_t S_own_feature(DB_QUERY_FETCH *f)
{
    if (f->own_feature == nullptr) {
        f->own_feature = static_cast<FEATURE_STRUCT *>(calloc(1, sizeof(FEATURE_STRUCT)));
        if (f->own_feature == nullptr)
            return ZE_OUT_OF_MEMORY;
    } else {
        VES_comp_feature_free(f->own_feature);
        memset(f->own_feature, 0, sizeof(FEATURE_STRUCT));
    }
    f->feature = f->own_feature;
    f->feature_held = 0;
    return 0;
}

// The per-filter work arrays, one row of pass flags per block row, and the
// filters' specs.
int32_t S_prepare_filters(DB_STREAM *stream)
{
    const size_t n = static_cast<size_t>(stream->filter_count);
    if (stream->value_array1 == nullptr)
        stream->value_array1 = calloc(n, sizeof(int32_t));
    if (stream->value_array2 == nullptr)
        stream->value_array2 = calloc(n, sizeof(int32_t));
    if (stream->value_array1 == nullptr || stream->value_array2 == nullptr)
        return ZE_OUT_OF_MEMORY;
    if (stream->filter_buffers == nullptr) {
        const int32_t rows = stream->params[DB_STREAM_PARAM_FILTER_BUFFERS];
        stream->filter_buffers =
            static_cast<void **>(calloc(static_cast<size_t>(rows > 0 ? rows : 1), sizeof(void *)));
        if (stream->filter_buffers == nullptr)
            return ZE_OUT_OF_MEMORY;
        if (rows < 1)
            stream->params[DB_STREAM_PARAM_FILTER_BUFFERS] = 1; // so the release sees the row
        for (int32_t r = 0; r < stream->params[DB_STREAM_PARAM_FILTER_BUFFERS]; r++) {
            stream->filter_buffers[r] = calloc(n, sizeof(int32_t));
            if (stream->filter_buffers[r] == nullptr)
                return ZE_OUT_OF_MEMORY;
        }
    }
    VES_free_feature_specs(stream->feature_spec_count, nullptr, stream->feature_specs);
    stream->feature_specs = nullptr;
    stream->feature_spec_count = 0;
    int32_t rc =
        VES_generate_feature_specs(stream->filter_count, stream->filters, &stream->feature_specs);
    if (stream->feature_specs != nullptr)
        stream->feature_spec_count = stream->filter_count;
    return rc == ZE_BUFFER_NO_MEMORY ? ZE_OUT_OF_MEMORY : rc;
}

// A stream without a layer takes the layer of its first filter.
int32_t S_layer_of_first_filter(DB_STREAM *stream)
{
    const VE_FILTER &filter = stream->filters[0];
    const char *column = filter.column_name;
    const char *table = filter.table_name;
    int32_t rc = db_layer_info_load_for_tables(nullptr, stream, 1, &column, 1, &table);
    if (rc != 0 && rc != ZE_TABLE_NOT_FOUND)
        return rc;
    if (stream->layer == nullptr)
        return ZE_NO_QUERY_LAYER;
    if ((stream->layer->privileges & VE_PRIV_SELECT) == 0)
        return ZE_NO_PERMISSIONS;
    if (stream->layer->eflags & LAYER_LOAD_ONLY)
        return ZE_LAYER_LOAD_ONLY;
    snprintf(stream->table, sizeof(stream->table), "%s", stream->layer->table_name);
    snprintf(stream->owner, sizeof(stream->owner), "%s", stream->layer->owner);
    snprintf(stream->spatial_column_name, sizeof(stream->spatial_column_name), "%s",
             stream->layer->spatial_column);
    return 0;
}

// db_stream_envelope_query: the hidden shape and row id, then the pre-filter
// over the search shape bound as parameter 1. The statement runs at the
// first fetch.
int32_t S_envelope_query(DB_STREAM *stream, DB_QUERY_FETCH *f)
{
    if (stream->layer == nullptr)
        return ZE_NO_QUERY_LAYER;
    LAYER *layer = nullptr;
    int32_t rc = DB_layer_get_info(nullptr, stream, stream->layer->layer_id, &layer);
    if (rc != 0)
        return rc;
    rc = S_check_names({stream->owner, stream->table, stream->spatial_column_name});
    if (rc != 0)
        return rc;
    const bool entries = S_has_entries(stream);
    const char *alias = S_first_alias(stream);
    // Owner and table, bare, or the first entry's alias before VE_ROW_ID.
    std::string rowid_item = std::string(stream->owner) + "." + stream->table + ".VE_ROW_ID";
    if (entries)
        rowid_item = alias != nullptr ? std::string(alias) + ".VE_ROW_ID" : "VE_ROW_ID";
    const std::string shape = S_function("VE_AsZel") + "(" + stream->spatial_column_name + ") " +
                              S_shape_alias(stream) + " ";
    std::string select = S_text(stream->sql_select);
    if (f->spatial_index < 0 || !stream->shape_selected) {
        if (f->rowid_index >= 0) {
            select += ", " + shape;
        } else {
            select += ", " + rowid_item + "," + shape;
            f->hidden_rowid = 1;
            S_append(f, DB_APPENDED_ROWID);
        }
        f->hidden_shape = 1;
        S_append(f, DB_APPENDED_SHAPE);
    } else if (f->rowid_index < 0) {
        select += ", " + rowid_item + " ";
        f->hidden_rowid = 1;
        S_append(f, DB_APPENDED_ROWID);
    }
    std::string text = select + S_text(stream->sql_from) + S_text(stream->sql_where);
    if (stream->query_layer) {
        if (layer->coordref == nullptr)
            return ZE_INVALID_COORDREF;
        int32_t srid = 0;
        rc = db_get_srid(nullptr, stream, layer->coordref, &srid);
        if (rc == 100)
            return ZE_SPATIALREF_NOT_FOUND;
        if (rc != 0)
            return rc;
        const DB_STREAM_SYS_ENVELOPE &b = stream->sys_envelope;
        const ENVELOPE box{b.minx, b.miny, b.maxx, b.maxy};
        int32_t length = 0;
        rc = db_search_shape_param(layer->coordref, &box, &f->param, &f->param_capacity, &length);
        if (rc != 0)
            return rc;
        f->param_length = length;
        const std::string constructor =
            S_function("VE_GeomFromZel") + "(?,NULL," + std::to_string(srid) + ")";
        std::string column =
            std::string(stream->owner) + "." + stream->table + "." + stream->spatial_column_name;
        if (entries)
            column = alias != nullptr ? std::string(alias) + "." + stream->spatial_column_name
                                      : std::string(stream->spatial_column_name);
        text += stream->sql_where != nullptr && stream->sql_where[0] ? " and " : " where ";
        text += " VE_EnvelopesIntersect(" + column + "," + constructor + ")";
    }
    // The stored by clause goes after the pre-filter, or it would be lost.
    text += S_text(stream->sql_trailer);
    char *kept = strdup(select.c_str());
    if (kept == nullptr)
        return ZE_OUT_OF_MEMORY;
    free(stream->sql_select);
    stream->sql_select = kept;
    rc = DB_stream_prepare_sql(stream, text.c_str());
    if (rc != 0)
        return rc;
    if (stream->query_layer) {
        const SQLRETURN cli = SQLBindParameter(stream->stmt_main, 1, SQL_PARAM_INPUT, SQL_C_BINARY,
                                               SQL_VARCHAR, static_cast<SQLULEN>(f->param_length),
                                               0, f->param, f->param_length, &f->param_length);
        if (!SQL_SUCCEEDED(cli)) {
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, &stream->stmt_main, cli);
            db_stream_set_xerr_from_diag(stream, diag);
            db_free_stmt(&stream->stmt_main);
            return ZE_DBMS_ERROR;
        }
    }
    stream->shape_selected = 1;
    return 0;
}

int32_t S_execute_code(const char *sqlstate)
{
    if (strcmp(sqlstate, "S0002") == 0 || strcmp(sqlstate, "42704") == 0)
        return ZE_TABLE_NOT_FOUND;
    if (strcmp(sqlstate, "37000") == 0)
        return ZE_SYNTAX_ERROR;
    return ZE_DBMS_ERROR;
}

// The SELECT positions of the annotation and of the appended columns.
void S_positions(DB_QUERY_FETCH *f)
{
    int32_t at = f->described_count;
    f->anno_position = f->anno_selected ? at++ : -1;
    f->shape_position = f->spatial_index;
    f->rowid_position = f->rowid_index;
    for (int32_t k = 0; k < f->appended_count; k++, at++) {
        if (f->appended[k] == DB_APPENDED_LOGID)
            f->logid_index = at;
        else if (f->appended[k] == DB_APPENDED_ROWID)
            f->rowid_position = at;
        else
            f->shape_position = at;
    }
}

// Per described column: the read offset of a long value and the room of
// the caller's blob block.
bool S_row_arrays(DB_QUERY_FETCH *f)
{
    const size_t n = static_cast<size_t>(f->described_count > 0 ? f->described_count : 1);
    free(f->read_offsets);
    free(f->blob_room);
    free(f->blob_data);
    f->read_offsets = static_cast<int32_t *>(calloc(n, sizeof(int32_t)));
    f->blob_room = static_cast<int32_t *>(calloc(n, sizeof(int32_t)));
    f->blob_data = static_cast<void **>(calloc(n, sizeof(void *)));
    return f->read_offsets != nullptr && f->blob_room != nullptr && f->blob_data != nullptr;
}

} // namespace

int32_t db_search_shape_param(COORDREF *coordref, const ENVELOPE *box, uint8_t **out,
                              int32_t *capacity, int32_t *length)
{
    if (coordref == nullptr || box == nullptr || out == nullptr || capacity == nullptr ||
        length == nullptr)
        return ZE_NULL_POINTER;
    double minx = 0, miny = 0, maxx = 0, maxy = 0;
    int32_t rc = MoxsValueToPlane(coordref->falsex, coordref->xyunits, box->minx, &minx);
    if (rc == 0)
        rc = MoxsValueToPlane(coordref->falsex, coordref->xyunits, box->maxx, &maxx);
    if (rc == 0)
        rc = MoxsValueToPlane(coordref->falsey, coordref->xyunits, box->miny, &miny);
    if (rc == 0)
        rc = MoxsValueToPlane(coordref->falsey, coordref->xyunits, box->maxy, &maxy);
    FEATURE_STRUCT shape;
    memset(&shape, 0, sizeof(shape));
    if (rc == 0)
        rc = MoxsShapeInit(&shape, coordref);
    // The geometry module's own entity types come with each generator.
    if (rc == 0) {
        if (box->minx == box->maxx && box->miny == box->maxy)
            rc = MoxShapeGeneratePoint(&shape, minx, miny);
        else if (box->minx == box->maxx)
            rc = MoxShapeGenerateSimpleLine(&shape, minx, miny, minx, maxy);
        else if (box->miny == box->maxy)
            rc = MoxShapeGenerateSimpleLine(&shape, minx, miny, maxx, miny);
        else
            rc = MoxShapeGenerateRectangle(&shape, minx, miny, maxx, maxy);
    }
    if (rc != 0) {
        VES_comp_feature_free(&shape);
        rc = VES_map_shape_error_to_zel(rc);
        return rc == ZE_BUFFER_NO_MEMORY ? ZE_OUT_OF_MEMORY : rc;
    }
    rc = VES_comp_feature_alloc(&shape, shape.num_points, 0, 0);
    if (rc == 0)
        rc = VES_feature_compress(&shape, 0);
    const int32_t size = rc == 0 ? VES_get_compressed_buffer_size(&shape) : 0;
    if (rc == 0 && size < 0)
        rc = size;
    if (rc == 0 && (*out == nullptr || *capacity < size + DB_SHAPE_PREFIX_BYTES)) {
        auto *grown = static_cast<uint8_t *>(
            realloc(*out, static_cast<size_t>(size) + DB_SHAPE_PREFIX_BYTES));
        if (grown == nullptr) {
            rc = ZE_OUT_OF_MEMORY;
        } else {
            *out = grown;
            *capacity = size + DB_SHAPE_PREFIX_BYTES;
        }
    }
    if (rc == 0) {
        memset(*out, 0, DB_SHAPE_PREFIX_BYTES);
        uint8_t *at = VES_encode_varLONG(shape.num_points, *out);
        VES_encode_varLONG(shape.entity_type, at);
        memcpy(*out + DB_SHAPE_PREFIX_BYTES, shape.compressed, static_cast<size_t>(size));
        *length = size + DB_SHAPE_PREFIX_BYTES;
    }
    VES_comp_feature_free(&shape);
    return rc == ZE_BUFFER_NO_MEMORY ? ZE_OUT_OF_MEMORY : rc;
}

int32_t db_execute_sql(DB_STREAM *stream)
{
    DB_QUERY_FETCH *f = db_query_fetch(stream);
    if (f == nullptr)
        return stream == nullptr ? ZE_NULL_POINTER : ZE_OUT_OF_MEMORY;
    if (stream->stmt_main == SQL_NULL_HSTMT)
        return ZE_DBMS_ERROR; // freed by an earlier failure: set up again
    if (f->columns == nullptr) {
        // Rows are fetched only through bound columns: describe them now.
        int16_t count = 0;
        DB_COLUMN_DEF *columns = nullptr;
        int32_t rc = DB_stream_describe_sql(stream, nullptr, &count, &columns, nullptr);
        if (rc != 0)
            return rc;
    }
    S_positions(f);
    if (!S_row_arrays(f))
        return ZE_OUT_OF_MEMORY;
    int32_t rc = db_init_attr_array(stream);
    if (rc != 0)
        return rc;
    const SQLRETURN cli = SQLExecute(stream->stmt_main);
    if (SQL_SUCCEEDED(cli)) {
        f->bound = 1;
        stream->executed = 1;
        return 0;
    }
    fprintf(stderr, "db_execute_sql Execute Error (%d).\n", cli);
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, &stream->stmt_main, cli);
    db_stream_set_xerr_from_diag(stream, diag);
    db_free_stmt(&stream->stmt_main);
    rc = S_execute_code(diag.sqlstate);
    stream->xerr.code = rc;
    return rc;
}

int32_t DB_stream_describe_sql(DB_STREAM *stream, const REGISTRATION *registration, int16_t *count,
                               DB_COLUMN_DEF **columns, LAYER ***layers)
{
    if (stream == nullptr || count == nullptr || columns == nullptr)
        return ZE_NULL_POINTER;
    *count = 0;
    *columns = nullptr;
    if (layers != nullptr)
        *layers = nullptr;
    if (stream->stmt_main == SQL_NULL_HSTMT)
        return ZE_NULL_POINTER;
    DB_QUERY_FETCH *f = db_query_fetch(stream);
    if (f == nullptr)
        return ZE_OUT_OF_MEMORY;
    int16_t total = 0;
    DB_COLUMN_DEF *defs = nullptr;
    int32_t *sizes = nullptr;
    int16_t *types = nullptr;
    int32_t rc = db_describe_select(stream, stream->stmt_main, &total, &defs, &sizes, &types);
    if (rc != 0) {
        free(defs);
        free(sizes);
        free(types);
        return rc;
    }
    free(f->columns);
    free(f->described_sizes);
    free(f->described_types);
    f->columns = defs;
    f->described_sizes = sizes;
    f->described_types = types;
    f->described_total = total;
    f->anno_selected = stream->annotation_column;
    // The hidden columns stand last; the host does not see them.
    int32_t visible = total - (f->anno_selected ? 1 : 0) - f->appended_count;
    if (visible < 0)
        visible = 0;
    f->described_count = static_cast<int16_t>(visible);
    f->spatial_index = -1;
    f->rowid_index = -1;
    if (!f->logid_added)
        f->logid_index = -1;

    if (registration != nullptr && (registration->object_flags & REG_ROWID_COLUMN))
        db_describe_set_rowid_kinds(registration, visible, defs, 1);
    else
        db_describe_set_rowid_kinds(nullptr, visible, defs, 1);

    const char *logid = nullptr;
    if (stream->auto_log && (stream->auto_log_file.flags & LOGINFO_TABLE))
        logid = stream->auto_log_file.registration.rowid_column;
    else if (stream->row_locking &&
             (stream->row_lock_mode & (DB_ROW_LOCK_ADD_FETCHED | DB_ROW_LOCK_REMOVE_FETCHED)))
        logid = stream->row_lock_id_column;
    for (int32_t i = 0; logid != nullptr && logid[0] && !f->logid_added && i < visible; i++)
        if (defs[i].type == VE_INTEGER && strcasecmp(defs[i].name, logid) == 0) {
            f->logid_index = i;
            break;
        }

    for (int32_t i = 0; i < visible; i++) {
        DB_COLUMN_DEF &c = defs[i];
        if ((c.type == VE_BLOB || c.type == VE_STRING || c.type == VE_SHAPE) &&
            f->spatial_index < 0 && db_stream_is_spatial_column(stream, c.name)) {
            c.type = VE_SHAPE;
            c.size = 0;
            c.decimal_digits = 0;
            f->spatial_index = static_cast<int16_t>(i);
        } else if (c.type == VE_INTEGER && db_stream_is_row_id_pseudo_column(stream, c.name)) {
            f->rowid_index = static_cast<int16_t>(i);
        } else if (c.type == VE_INTEGER && db_stream_is_raster_column(stream, c.name)) {
            c.type = VE_RASTER;
            c.size = 0;
            c.decimal_digits = 0;
        }
    }
    if (layers != nullptr) {
        *layers = static_cast<LAYER **>(calloc(visible > 0 ? visible : 1, sizeof(LAYER *)));
        if (*layers == nullptr)
            return ZE_OUT_OF_MEMORY;
        if (f->spatial_index >= 0)
            (*layers)[f->spatial_index] = stream->layer;
    }
    *count = static_cast<int16_t>(visible);
    *columns = defs;
    return 0;
}

int32_t DB_stream_execute_query(DB_STREAM *stream, int32_t log_descriptor, int32_t flag,
                                void **values)
{
    if (stream == nullptr)
        return ZE_NULL_POINTER;
    DB_instance_clear_xerr();
    DB_stream_clear_xerr(stream);
    DB_QUERY_FETCH *f = db_query_fetch(stream);
    if (f == nullptr)
        return ZE_OUT_OF_MEMORY;
    if (stream->stmt_main == SQL_NULL_HSTMT)
        return ZE_NULL_POINTER; // nothing prepared: set the stream up first
    int32_t rc = 0;
    if (log_descriptor > 0 && !stream->auto_log) {
        rc = DB_log_get_by_fdes(nullptr, log_descriptor, &stream->auto_log_file);
        if (rc != 0)
            return rc;
        stream->auto_log = 1;
        stream->auto_log_descriptor = log_descriptor;
    }
    // A table's log holds its registered ids: the row-id column joins the
    // query whether the log came here or through DB_stream_set_auto_log,
    // else the layer's row ids would be logged as the table's.
    if (stream->auto_log && (stream->auto_log_file.flags & LOGINFO_TABLE) && f->logid_index < 0) {
        rc = S_add_log_id_column(stream, f);
        if (rc != 0)
            return rc;
    }
    if (stream->row_locking && (stream->row_lock_mode & DB_ROW_LOCK_QUERY_BITS) &&
        !stream->row_locks_initialised) {
        rc = DB_row_lock_init(stream);
        if (rc != 0)
            return rc;
    }
    if (stream->filter_count > 0) {
        rc = S_prepare_filters(stream);
        if (rc != 0)
            return rc;
    }
    if (f->spatial_index >= 0) {
        if (values == nullptr || values[f->spatial_index] == nullptr)
            return ZE_NULL_POINTER;
        f->feature = static_cast<FEATURE_STRUCT *>(values[f->spatial_index]);
        f->feature_held = 0;
    }
    f->has_rejected = 0;
    f->passing_rows = 0;

    if (stream->sys_envelope.valid) {
        if (f->spatial_index < 0) {
            rc = S_own_feature(f);
            if (rc != 0)
                return rc;
        }
        return S_envelope_query(stream, f);
    }

    if (stream->filter_count <= 0 || stream->query_table_count <= 0) {
        rc = S_add_row_id_column(
            stream, f, stream->layer != nullptr && f->spatial_index >= 0 && f->rowid_index < 0);
    } else {
        if (stream->layer == nullptr)
            rc = S_layer_of_first_filter(stream);
        if (rc == 0 && !stream->shape_selected && !f->hidden_shape) {
            rc = S_add_shape_column(stream, f);
            if (rc == 0)
                rc = S_own_feature(f);
            stream->shape_selected = 1;
        } else if (rc == 0) {
            rc = S_add_row_id_column(stream, f, f->rowid_index < 0);
        }
    }
    if (rc != 0)
        return rc;
    if (stream->auto_log && stream->layer != nullptr) {
        if (f->rowid_index < 0 && !f->hidden_rowid)
            rc = S_add_row_id_column(stream, f, true);
        else if (flag && stream->filter_count <= 0 && f->spatial_index < 0)
            stream->shape_selected = 0;
    }
    if (rc != 0)
        return rc;
    return db_execute_sql(stream);
}
