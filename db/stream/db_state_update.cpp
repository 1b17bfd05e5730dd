// The update through a state (db_state_update.h, db_state_update_internal.h).
// The matching versions come from a nested query stream over the state's
// view; the in-place updates go through a nested update stream on the adds
// table, the new versions and their deletes rows through two nested insert
// streams, all made on first need and kept in the stream's write buffer
// until it is closed. Names go into SQL only after the identifier check.
#include "db/stream/db_state_update.h"

#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>
#include <vector>

#include "base/util/ve_debug.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_row_pointers.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_table_describe.h"
#include "db/core/db_describe.h"
#include "db/core/db_describe_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_user_internal.h"
#include "db/core/db_names.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_state_shape_internal.h"
#include "db/stream/db_state_update_internal.h"
#include "db/stream/db_state_write_buffer_internal.h"
#include "db/stream/db_stream_execute.h"
#include "db/stream/db_stream_fetch.h"
#include "db/stream/db_stream_hooks_internal.h"
#include "db/stream/db_stream_insert.h"
#include "db/stream/db_stream_prepare.h"
#include "db/stream/db_stream_update.h"
#include "db/stream/db_stream_update_internal.h"
#include "db/stream/db_stream_update_row.h"
#include "db/stream/db_stream_update_row_internal.h"
#include "db/stream/db_stream_write_internal.h"
#include "db/stream/db_write_row_internal.h"
#include "db/version/db_mv_view_internal.h"

// Room for a fetched blob value: longer values are cut to it.
#define S_BLOB_ROOM 60000

namespace
{

// -999 of the nested steps means memory.
int32_t S_memory(int32_t rc)
{
    return rc == ZE_BUFFER_NO_MEMORY ? ZE_OUT_OF_MEMORY : rc;
}

// A nested stream's saved error goes into the stream's record.
int32_t S_nested_failed(DB_STREAM *stream, const DB_STREAM *nested, int32_t rc)
{
    if (nested != nullptr && nested->xerr.code != 0)
        stream->xerr = nested->xerr;
    return S_memory(rc);
}

// A nested stream with the stream's own creation parameters.
int32_t S_nested(DB_STREAM *stream, DB_STREAM **out)
{
    DB_STREAM_PARAMS params{};
    memcpy(params.name, stream->stream_name, sizeof(params.name));
    memcpy(params.words, stream->params, sizeof(params.words));
    int32_t rc = DB_stream_init(out, stream->creation_argument, stream->owner_text, params);
    if (rc != 0) {
        free(*out);
        *out = nullptr;
    }
    return rc;
}

// An id value of an engine type: 16 or 32 bits, a float or double cut
// toward zero; 0 for another type.
int32_t S_id_value(const void *value, int32_t type)
{
    if (value == nullptr)
        return 0;
    switch (type) {
    case VE_SMALLINT:
        return *static_cast<const int16_t *>(value);
    case VE_INTEGER:
        return *static_cast<const int32_t *>(value);
    case VE_FLOAT:
        return static_cast<int32_t>(*static_cast<const float *>(value));
    case VE_DOUBLE:
        return static_cast<int32_t>(*static_cast<const double *>(value));
    default:
        return 0;
    }
}

template <size_t N> void S_copy(char (&out)[N], const char *text)
{
    const size_t n = strnlen(text, N - 1);
    memcpy(out, text, n);
    out[n] = '\0';
}

// Everything the update reads from its set-up: modes, columns, layer.
struct Update {
    DB_STREAM *stream;
    const REGISTRATION *registration;
    DB_MV_QUERY_INFO *spec;
    STATE_WRITE_BUFFER *b;
    // The caller's columns the update sets: all, in row mode all but the
    // last, which carries the row's id.
    int16_t matching() const
    {
        return static_cast<int16_t>(b->column_count - (b->row_mode ? 1 : 0));
    }
    const char *spatial() const
    {
        return b->layer != nullptr ? b->layer->spatial_column : "";
    }
    const char *rowid() const
    {
        return spec->tables[0].rowid_column;
    }
    // The matching caller column of that exact name; -1 none.
    int16_t caller_column(const char *name) const
    {
        for (int16_t i = 0; i < matching(); i++)
            if (strcmp(b->columns[i].name, name) == 0)
                return i;
        return -1;
    }
    int16_t select_column(const char *name) const
    {
        for (int16_t i = 0; i < b->select_count; i++)
            if (strcasecmp(b->select_columns[i].name, name) == 0)
                return i;
        return -1;
    }
};

// The base, adds and deletes tables, named again on every call.
int32_t S_names(Update &u)
{
    DB_STREAM *s = u.stream;
    STATE_WRITE_BUFFER *b = u.b;
    const char *database = s->database[0] ? s->database : nullptr;
    DB_table_make_name(database, s->owner[0] ? s->owner : nullptr, s->table, b->base_table);
    const int32_t id = u.spec->tables[0].registration_id;
    int32_t rc = db_check_table_name(b->base_table);
    if (rc == 0)
        rc = db_make_adds_table_name(nullptr, id, database, s->owner, b->adds_table,
                                     sizeof(b->adds_table));
    if (rc == 0)
        rc = db_make_deletes_table_name(nullptr, id, database, s->owner, b->deletes_table,
                                        sizeof(b->deletes_table));
    if (rc == 0)
        rc = db_check_table_name(b->adds_table);
    if (rc == 0)
        rc = db_check_table_name(b->deletes_table);
    if (rc == 0)
        rc = db_check_name(u.rowid(), sizeof(u.spec->tables[0].rowid_column));
    return rc;
}

// ---- the query's set-up -----------------------------------------------------

// The select list: the columns the caller leaves as they are, the shape
// when it is set, ZEL_STATE_ID, and VE_ROW_ID whenever the shape is read.
std::vector<std::string> S_select_names(const Update &u)
{
    std::vector<std::string> names;
    const STATE_WRITE_BUFFER *b = u.b;
    const char *spatial = u.spatial();
    bool shape_read = false;
    for (int32_t i = 0; i < b->table_column_count; i++) {
        const char *name = b->table_columns[i].name;
        if (u.caller_column(name) >= 0)
            continue;
        names.emplace_back(name);
        shape_read = shape_read || (spatial[0] != '\0' && strcasecmp(name, spatial) == 0);
    }
    if (spatial[0] != '\0' && u.caller_column(spatial) >= 0) {
        names.emplace_back(spatial);
        shape_read = true;
    }
    names.emplace_back("ZEL_STATE_ID");
    if (shape_read)
        names.emplace_back("VE_ROW_ID");
    return names;
}

// The view of the state, exposing every column but the blobs (the shape
// aside) and ZEL_STATE_ID.
int32_t S_view(const Update &u, std::string *out)
{
    const STATE_WRITE_BUFFER *b = u.b;
    std::vector<const char *> columns;
    for (int32_t i = 0; i < b->table_column_count; i++) {
        const DB_COLUMN_DEF &c = b->table_columns[i];
        if (c.type == VE_BLOB && strcasecmp(c.name, u.spatial()) != 0)
            continue;
        columns.push_back(c.name);
    }
    columns.push_back("ZEL_STATE_ID");
    DB_MV_TABLE_INFO entry = u.spec->tables[0];
    entry.column_names = columns.data();
    entry.column_count = static_cast<int16_t>(columns.size());
    DB_MV_QUERY_INFO copy = *u.spec;
    copy.tables = &entry;
    copy.table_count = 1;
    char *text = nullptr;
    int32_t rc =
        db_mv_view_build(nullptr, &copy, b->base_table, u.stream->owner_text, 0, 0, &text, 0, 1);
    if (rc == 0 && text != nullptr)
        *out += text;
    free(text);
    return rc;
}

int32_t S_query_sql(const Update &u, const std::vector<std::string> &names, std::string *sql)
{
    for (const std::string &name : names) {
        int32_t rc = db_check_name(name.c_str(), DB_NAME_COLUMN_SIZE);
        if (rc != 0)
            return rc;
    }
    *sql = "SELECT ";
    for (size_t i = 0; i < names.size(); i++) {
        const std::string &name = names[i];
        if (strcasecmp(name.c_str(), u.spatial()) == 0)
            *sql += "VE_AsZel(" + name + ") " + name;
        else
            *sql += name;
        if (i + 1 < names.size())
            *sql += ",";
    }
    *sql += " FROM ";
    int32_t rc = S_view(u, sql);
    if (rc != 0)
        return rc;
    const char *condition = nullptr;
    if (db_sql_client_condition(u.stream->where_text, &condition) != 0)
        return ZE_INVALID_ARGUMENT;
    if (condition != nullptr)
        *sql += std::string(" WHERE ") + condition;
    if (u.b->ordered_mode)
        *sql += std::string(" ORDER BY ") + u.rowid();
    return 0;
}

// The query stream knows the layer and the table, so that the fetch reads
// the shape and tells VE_ROW_ID.
void S_query_stream_names(const Update &u, DB_STREAM *query)
{
    query->layer = u.b->layer;
    S_copy(query->spatial_column_name, u.spatial());
    S_copy(query->database, u.stream->database);
    S_copy(query->owner, u.stream->owner);
    S_copy(query->table, u.stream->table);
}

int32_t S_setup(Update &u)
{
    DB_STREAM *stream = u.stream;
    STATE_WRITE_BUFFER *b = u.b;
    int16_t count = 0;
    int32_t rc =
        DB_table_describe(nullptr, b->base_table, u.registration, &count, &b->table_columns);
    if (rc != 0)
        return S_memory(rc);
    b->table_column_count = count;
    if (u.registration->object_flags & REG_LAYER) {
        b->layer = stream->layer;
        if (b->layer == nullptr &&
            (rc = DB_layer_get_info_by_table_name(nullptr, stream, b->base_table, nullptr,
                                                  stream->owner_text, &b->layer)) != 0)
            return rc;
    }
    if (u.matching() < 1)
        return ZE_INVALID_ARGUMENT; // nothing to set
    if (b->shape_column < 0 && u.spatial()[0] != '\0')
        b->shape_column = u.caller_column(u.spatial());

    const std::vector<std::string> names = S_select_names(u);
    std::string sql;
    if ((rc = S_query_sql(u, names, &sql)) != 0)
        return rc;
    if ((rc = S_nested(stream, &b->query_stream)) != 0)
        return rc;
    DB_STREAM *query = b->query_stream;
    S_query_stream_names(u, query);
    if ((rc = DB_stream_prepare_sql(query, sql.c_str())) != 0)
        return S_nested_failed(stream, query, rc);

    std::vector<const char *> pointers;
    for (const std::string &name : names)
        pointers.push_back(name.c_str());
    rc = db_describe_state_select(query, b->adds_table, u.spatial(),
                                  static_cast<int16_t>(pointers.size()), pointers.data(),
                                  &b->select_count, &b->select_columns);
    if (rc != 0)
        return S_nested_failed(stream, query, rc);
    // The query stream takes its columns from its own description, which
    // names the shape column its fetch fills.
    int16_t described = 0;
    DB_COLUMN_DEF *described_columns = nullptr;
    rc = DB_stream_describe_sql(query, nullptr, &described, &described_columns, nullptr);
    if (rc == 0 && described != b->select_count)
        rc = ZE_INVALID_ARGUMENT;
    if (rc != 0)
        return S_nested_failed(stream, query, rc);
    b->select_rowid = u.select_column(u.rowid());
    b->select_state = u.select_column("ZEL_STATE_ID");
    b->select_shape = u.spatial()[0] != '\0' ? u.select_column(u.spatial()) : -1;
    if (b->select_rowid < 0 || b->select_state < 0)
        return ZE_INVALID_ARGUMENT; // the caller sets the row-id column itself

    b->select_row = static_cast<VE_ROW_POINTERS *>(calloc(1, sizeof(VE_ROW_POINTERS)));
    if (b->select_row == nullptr)
        return ZE_OUT_OF_MEMORY;
    b->select_row->column_count = b->select_count;
    b->select_row->columns = b->select_columns;
    if ((rc = VES_allocate_row_pointers(b->select_row, S_BLOB_ROOM)) != 0)
        return S_memory(rc);
    if (b->row_mode && !b->ordered_mode) {
        // The row's id, bound once: each call sets it before the execute.
        SQLRETURN r = SQLBindParameter(query->stmt_main, 1, SQL_PARAM_INPUT, SQL_C_SLONG,
                                       SQL_INTEGER, 0, 0, &b->expected_row_id, 0, nullptr);
        if (!SQL_SUCCEEDED(r)) {
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, &query->stmt_main, r);
            db_stream_set_xerr_from_diag(stream, diag);
            return ZE_DBMS_ERROR;
        }
    }
    b->query_prepared = 1;
    return 0;
}

// ---- a version of the current state: in place ------------------------------

int32_t S_make_in_place(Update &u)
{
    DB_STREAM *stream = u.stream;
    STATE_WRITE_BUFFER *b = u.b;
    int32_t rc = S_nested(stream, &b->in_place_stream);
    if (rc != 0)
        return rc;
    DB_STREAM *ip = b->in_place_stream;
    // The caller's columns, and outside row mode the row-id column whose
    // value is the fetched row id.
    const int16_t count = static_cast<int16_t>(b->column_count + (b->row_mode ? 0 : 1));
    std::vector<const char *> names;
    for (int16_t i = 0; i < b->column_count; i++)
        names.push_back(b->columns[i].name);
    if (!b->row_mode)
        names.push_back(u.registration->rowid_column);
    b->in_place_values = calloc(static_cast<size_t>(count) + 1, sizeof(void *));
    b->in_place_indicators = calloc(static_cast<size_t>(count) + 1, sizeof(int16_t));
    if (b->in_place_values == nullptr || b->in_place_indicators == nullptr)
        return ZE_OUT_OF_MEMORY;

    // A copy of the registration on the adds table, without the layer flag:
    // the one-row update set-up names the UPDATE's table and row-id column.
    REGISTRATION adds = *u.registration;
    char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], table[DB_NAME_TABLE_SIZE];
    if ((rc = db_parse_table_name(nullptr, b->adds_table, stream->owner_text, database, owner,
                                  table)) != 0)
        return rc;
    S_copy(adds.database_name, database);
    S_copy(adds.owner, owner);
    S_copy(adds.table_name, table);
    adds.object_flags &= ~static_cast<uint32_t>(REG_LAYER);
    if ((rc = DB_stream_init_set_row(ip, &adds, -1, count, names.data())) != 0)
        return S_nested_failed(stream, ip, rc);
    // In row mode the caller's last column carries the row id whatever its
    // name: it is read from the adds table as the row-id column the set-up
    // found (the caller's names stay as they are).
    if (b->row_mode && ip->write != nullptr &&
        strcasecmp(names.back(), ip->write->rowid_column) != 0)
        names.back() = ip->write->rowid_column;
    ip->layer = b->layer;
    S_copy(ip->spatial_column_name, u.spatial());
    rc = DB_table_get_column_defs(nullptr, ip, b->adds_table, nullptr, count, names.data(),
                                  &b->in_place_columns, nullptr);
    if (rc != 0)
        return S_nested_failed(stream, ip, rc);
    if (b->shape_column >= 0 && b->shape_column < count) {
        DB_COLUMN_DEF &shape = b->in_place_columns[b->shape_column];
        shape.type = VE_SHAPE;
        shape.size = 0;
        shape.decimal_digits = 0;
        ip->spatial_column = b->shape_column;
    }
    if ((rc = DB_stream_init_update_buffer(ip, count, b->in_place_columns)) != 0)
        return S_nested_failed(stream, ip, rc);
    b->in_place_ready = 1;
    return 0;
}

// The shape of the version being replaced: whether another version shares
// its shape row (a shape row no version uses any more is left in place).
int32_t S_old_shape(Update &u, bool new_shape)
{
    STATE_WRITE_BUFFER *b = u.b;
    VE_ROW_POINTERS *row = b->select_row;
    if (b->shape_column < 0 || b->select_shape < 0 || b->select_count < 1)
        return 0;
    const int16_t held = row->indicators[b->select_shape];
    if (held != VE_IND_VALUE && held != VE_IND_NO_SHAPE)
        return 0;
    const int16_t last = static_cast<int16_t>(b->select_count - 1);
    b->shape_row_id = S_id_value(row->values[last], b->select_columns[last].type);
    int32_t shared = 0;
    int32_t rc = db_state_shape_is_shared(u.stream, b->base_table, b->adds_table,
                                          u.registration->rowid_column, &b->shape_row_id,
                                          &b->shared_shape_stmt, &shared);
    if (rc != 0)
        return rc;
    b->shared_shape_tested = 1;
    if (!shared && !new_shape)
        return db_remove_unshared_shape(u.stream, b->layer->layer_id, b->shape_row_id, 0, nullptr,
                                        nullptr);
    if (!shared)
        b->previous_shape_row_id = b->shape_row_id;
    return 0;
}

int32_t S_in_place(Update &u, const int16_t *indicators, void *const *values)
{
    STATE_WRITE_BUFFER *b = u.b;
    int32_t rc = 0;
    if (!b->in_place_ready && (rc = S_make_in_place(u)) != 0)
        return rc;
    const bool new_shape = b->shape_column >= 0 && indicators[b->shape_column] != VE_IND_NULL;
    if ((rc = S_old_shape(u, new_shape)) != 0)
        return rc;
    auto **vals = static_cast<void **>(b->in_place_values);
    auto *inds = static_cast<int16_t *>(b->in_place_indicators);
    int16_t n = 0;
    for (; n < b->column_count; n++) {
        vals[n] = values[n];
        inds[n] = indicators[n];
    }
    if (!b->row_mode) {
        vals[n] = &b->deletes_values[0];
        inds[n++] = VE_IND_VALUE;
    }
    // A new shape gets a new shape row: its id follows the columns.
    int32_t shape_row_id = b->shape_row_id;
    if (new_shape) {
        shape_row_id = db_get_next_ids(b->layer != nullptr ? b->layer->layer_id : 0, 1);
        if (shape_row_id < 0)
            return shape_row_id;
    }
    vals[n] = &shape_row_id;
    inds[n] = new_shape ? VE_IND_VALUE : VE_IND_NULL;
    b->in_place_state = b->fetched_state_id;
    rc = db_update_in_state(b->in_place_stream, inds, vals, &b->in_place_state, u.rowid());
    if (rc != 0)
        return S_nested_failed(u.stream, b->in_place_stream, rc);
    const DB_STREAM *ip = b->in_place_stream;
    db_stream_envelope_union(u.stream, ip->written_minx, ip->written_miny, ip->written_maxx,
                             ip->written_maxy);
    if (u.stream->auto_log) {
        int32_t row_id = b->deletes_values[0];
        return db_stream_log_ids(u.stream, &shape_row_id, 1, &row_id, 1);
    }
    return 0;
}

// ---- a version of another state: a new version and a deletes row -----------

int32_t S_make_versions(Update &u)
{
    DB_STREAM *stream = u.stream;
    STATE_WRITE_BUFFER *b = u.b;
    const int16_t count = static_cast<int16_t>(b->table_column_count);
    std::vector<const char *> names;
    for (int16_t i = 0; i < count; i++)
        names.push_back(b->table_columns[i].name);
    REGISTRATION registration = *u.registration;
    if (b->select_shape < 0)
        registration.object_flags &= ~static_cast<uint32_t>(REG_LAYER);
    int32_t rc = S_nested(stream, &b->version_stream);
    if (rc != 0)
        return rc;
    DB_STREAM *vs = b->version_stream;
    rc = DB_stream_init_insert_table(vs, b->base_table, &registration, u.spec->state_id, count,
                                     names.data());
    if (rc != 0)
        return S_nested_failed(stream, vs, rc);
    b->version_columns =
        static_cast<DB_COLUMN_DEF *>(calloc(static_cast<size_t>(count), sizeof(DB_COLUMN_DEF)));
    b->version_values = calloc(static_cast<size_t>(count), sizeof(void *));
    b->version_indicators = calloc(static_cast<size_t>(count), sizeof(int16_t));
    if (b->version_columns == nullptr || b->version_values == nullptr ||
        b->version_indicators == nullptr)
        return ZE_OUT_OF_MEMORY;
    for (int16_t i = 0; i < count; i++) {
        b->version_columns[i] = b->table_columns[i];
        if (b->select_shape >= 0 && strcasecmp(names[i], u.spatial()) == 0) {
            b->version_columns[i].type = VE_SHAPE;
            b->version_columns[i].size = 0;
            b->version_columns[i].decimal_digits = 0;
        }
    }
    if ((rc = DB_stream_init_array_insert(vs, count, b->version_columns, 0)) != 0)
        return S_nested_failed(stream, vs, rc);

    if ((rc = S_nested(stream, &b->deletes_stream)) != 0)
        return rc;
    DB_STREAM *ds = b->deletes_stream;
    const char *const deletes[] = {"ZEL_DELETES_ROW_ID", "ZEL_STATE_ID", "DELETED_AT"};
    REGISTRATION plain{};
    if ((rc = DB_stream_init_insert_table(ds, b->deletes_table, &plain, 0, 3, deletes)) != 0)
        return S_nested_failed(stream, ds, rc);
    rc = DB_table_get_column_defs(nullptr, ds, b->deletes_table, nullptr, 3, deletes,
                                  &b->deletes_columns, nullptr);
    if (rc == 0)
        rc = DB_stream_init_array_insert(ds, 3, b->deletes_columns, 0);
    if (rc != 0)
        return S_nested_failed(stream, ds, rc);
    for (int i = 0; i < 3; i++)
        b->deletes_indicators[i] = VE_IND_VALUE;
    b->versions_ready = 1;
    return 0;
}

int32_t S_new_version(Update &u, const int16_t *indicators, void *const *values, int32_t log)
{
    STATE_WRITE_BUFFER *b = u.b;
    int32_t rc = 0;
    if (!b->versions_ready && (rc = S_make_versions(u)) != 0)
        return rc;
    auto **vals = static_cast<void **>(b->version_values);
    auto *inds = static_cast<int16_t *>(b->version_indicators);
    const VE_ROW_POINTERS *row = b->select_row;
    for (int32_t i = 0; i < b->table_column_count; i++) {
        const char *name = b->table_columns[i].name;
        const int16_t caller = u.caller_column(name);
        if (caller >= 0) {
            vals[i] = values[caller];
            inds[i] = indicators[caller];
            continue;
        }
        const int16_t selected = u.select_column(name);
        if (selected < 0)
            return ZE_INVALID_ARGUMENT;
        vals[i] = row->values[selected];
        // A shape the fetch still holds is this row's.
        inds[i] = row->indicators[selected] == VE_IND_NO_SHAPE ? static_cast<int16_t>(VE_IND_VALUE)
                                                               : row->indicators[selected];
    }
    DB_STREAM *vs = b->version_stream;
    if ((rc = DB_stream_execute_insert_table(vs, inds, vals, 0, log)) != 0)
        return S_nested_failed(u.stream, vs, rc);
    db_stream_envelope_union(u.stream, vs->written_minx, vs->written_miny, vs->written_maxx,
                             vs->written_maxy);
    b->deletes_values[2] = u.spec->state_id;
    void *deletes[] = {&b->deletes_values[0], &b->deletes_values[1], &b->deletes_values[2]};
    rc = DB_stream_execute_insert_table(b->deletes_stream, b->deletes_indicators, deletes, 0, 0);
    return rc != 0 ? S_nested_failed(u.stream, b->deletes_stream, rc) : 0;
}

// ---- the rows -------------------------------------------------------------

int32_t S_execute(Update &u, const int16_t *indicators, void *const *values, int32_t log)
{
    DB_STREAM *stream = u.stream;
    STATE_WRITE_BUFFER *b = u.b;
    int32_t rc = S_names(u);
    if (rc != 0)
        return rc;
    if (!b->query_prepared && (rc = S_setup(u)) != 0)
        return rc;
    DB_STREAM *query = b->query_stream;
    VE_ROW_POINTERS *row = b->select_row;
    if (b->row_mode) {
        const int16_t last = static_cast<int16_t>(b->column_count - 1);
        b->expected_row_id =
            indicators[last] == VE_IND_NULL ? 0 : S_id_value(values[last], b->columns[last].type);
    }
    if (!b->ordered_mode || !b->query_executed) {
        // The cursor of an earlier call is closed before the query runs again.
        if (b->query_executed)
            SQLFreeStmt(query->stmt_main, SQL_CLOSE);
        if ((rc = DB_stream_execute_query(query, 0, 0, row->values)) != 0)
            return S_nested_failed(stream, query, rc);
        b->query_executed = 1;
    }
    int32_t counted = 0;
    for (;;) {
        int32_t fetched_id = 0;
        rc = DB_stream_fetch_row(query, 0, row->values, row->indicators, nullptr, &fetched_id);
        if (rc == ZE_NO_MORE_ROWS)
            break;
        // A failed fetch is the call's result: the rows before it stay
        // updated, and no further row is.
        if (rc != 0)
            return S_nested_failed(stream, query, rc);
        b->fetched_state_id = row->indicators[b->select_state] == VE_IND_NULL
                                  ? 0
                                  : S_id_value(row->values[b->select_state], VE_INTEGER);
        const int32_t row_id =
            S_id_value(row->values[b->select_rowid], b->select_columns[b->select_rowid].type);
        if (b->ordered_mode && row_id != b->expected_row_id) {
            VES_print_debug(stderr,
                            "In DB_stream_execute_update_state(), performing an ordered update "
                            "on %s\n*** Expected row id %d, received row id %d ***\n",
                            b->base_table, b->expected_row_id, row_id);
            return ZE_ORDERED_UPDATE_OUT_OF_STEP;
        }
        b->deletes_values[0] = row_id;
        b->deletes_values[1] = b->fetched_state_id;
        rc = b->fetched_state_id == u.spec->state_id ? S_in_place(u, indicators, values)
                                                     : S_new_version(u, indicators, values, log);
        if (rc != 0)
            return rc;
        counted++;
        if (b->ordered_mode)
            break;
    }
    if (!b->row_mode && counted == 0)
        return ZE_NO_ROWS_MATCHED;
    return 0;
}

} // namespace

int32_t DB_stream_execute_update_state(DB_STREAM *stream, const REGISTRATION *registration,
                                       DB_MV_QUERY_INFO *spec, const int16_t *indicators,
                                       void *const *values, int32_t log_descriptor)
{
    if (stream == nullptr || registration == nullptr || spec == nullptr || indicators == nullptr ||
        values == nullptr)
        return ZE_NULL_POINTER;
    STATE_WRITE_BUFFER *b = stream->update_buffer;
    if (b == nullptr || b->columns == nullptr || spec->tables == nullptr || spec->table_count < 1)
        return ZE_INVALID_ARGUMENT;
    DB_stream_clear_xerr(stream);
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (log_descriptor > 0 && !stream->auto_log) {
            int32_t rc = DB_stream_set_auto_log(stream, log_descriptor);
            if (rc != 0)
                return rc;
        }
        Update u{stream, registration, spec, b};
        return S_execute(u, indicators, values, log_descriptor);
    });
}

int32_t db_update_in_state(DB_STREAM *in_place, const int16_t *indicators, void *const *values,
                           SQLINTEGER *state_id, const char *rowid_column)
{
    DB_STREAM_WRITE *write = in_place != nullptr ? in_place->write : nullptr;
    if (write == nullptr || write->row.buffer == nullptr || write->params == nullptr ||
        indicators == nullptr || values == nullptr || state_id == nullptr ||
        rowid_column == nullptr)
        return ZE_NULL_POINTER;
    DB_WRITE_ROW &row = write->row;
    int32_t rc = db_write_row_copy(&row, indicators, values);
    if (rc != 0)
        return S_memory(rc);
    const int32_t spatial = row.spatial_position;
    const bool with_shape = spatial >= 0 && indicators[spatial] != VE_IND_NULL;
    if (with_shape && row.rowid_index >= 0)
        // The new shape's row id, given after the row's columns.
        *static_cast<int32_t *>(row.values[row.rowid_index]) =
            *static_cast<const int32_t *>(values[row.column_count]);
    // The UPDATE of the form the row needs (a shape set or not), kept for
    // the next row of that form; the state id stays bound to *state_id.
    if (!write->update_prepared || in_place->stmt_main == SQL_NULL_HSTMT ||
        write->update_with_shape != (with_shape ? 1 : 0)) {
        write->update_prepared = 0;
        db_free_stmt(&in_place->stmt_main);
        std::string sql;
        rc = db_build_state_update_sql(in_place, with_shape, 1, with_shape, &sql, rowid_column);
        if (rc == 0)
            rc = db_write_prepare(in_place, &in_place->stmt_main, sql.c_str());
        if (rc == 0)
            rc = db_update_plan(in_place, with_shape, with_shape, 1);
        if (rc == 0)
            rc = db_bind_update_buffers(in_place);
        if (rc == 0) {
            SQLRETURN r = SQLBindParameter(
                in_place->stmt_main, static_cast<SQLUSMALLINT>(write->next_param), SQL_PARAM_INPUT,
                SQL_C_SLONG, SQL_INTEGER, 0, 0, state_id, 0, nullptr);
            if (!SQL_SUCCEEDED(r)) {
                CLI_DIAG_RECORD diag;
                db_get_diag_record(&diag, &in_place->stmt_main, r);
                db_stream_set_xerr_from_diag(in_place, diag);
                rc = ZE_DBMS_ERROR;
            }
        }
        if (rc != 0) {
            db_free_stmt(&in_place->stmt_main);
            return S_memory(rc);
        }
        write->update_prepared = 1;
        write->update_with_shape = with_shape ? 1 : 0;
    }
    rc = db_execute_update_table(in_place);
    if (rc != 0 && rc != ZE_NO_ROWS_MATCHED) {
        // The next row prepares again.
        db_free_stmt(&in_place->stmt_main);
        write->update_prepared = 0;
    }
    return S_memory(rc);
}

int32_t db_describe_state_select(DB_STREAM *query, const char *adds_table,
                                 const char *spatial_column, int16_t count,
                                 const char *const *names, int16_t *described,
                                 DB_COLUMN_DEF **columns)
{
    if (query == nullptr || adds_table == nullptr || spatial_column == nullptr ||
        names == nullptr || described == nullptr || columns == nullptr)
        return ZE_NULL_POINTER;
    *described = 0;
    *columns = nullptr;
    if (count < 1)
        return ZE_INVALID_ARGUMENT;
    int32_t rc = db_check_table_name(adds_table);
    std::string sql = "SELECT ";
    for (int16_t i = 0; rc == 0 && i < count; i++) {
        rc = db_check_name(names[i], DB_NAME_COLUMN_SIZE);
        sql += std::string(names[i]) + (i + 1 < count ? "," : "");
    }
    if (rc != 0)
        return rc;
    sql += std::string(" FROM ") + adds_table;
    db_stmt_guard stmt;
    if (db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0) != 0) {
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, &stmt.h, SQL_ERROR);
        db_set_xerr_from_diag(diag);
        return ZE_DBMS_ERROR;
    }
    int32_t *sizes = nullptr;
    int16_t *types = nullptr;
    rc = db_describe_select(nullptr, stmt.h, described, columns, &sizes, &types);
    free(sizes);
    free(types);
    if (rc != 0) {
        free(*columns);
        *columns = nullptr;
        *described = 0;
        return rc;
    }
    for (int16_t i = 0; i < *described; i++) {
        DB_COLUMN_DEF &c = (*columns)[i];
        if (c.type == VE_BLOB && strcasecmp(c.name, spatial_column) == 0) {
            c.type = VE_SHAPE;
            c.size = 0;
            c.decimal_digits = 0;
        }
    }
    return 0;
}
