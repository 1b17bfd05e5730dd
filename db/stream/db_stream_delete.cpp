// Deletes by WHERE text and by id list, and the envelope of an id list
// (db_stream_delete.h). A DELETE that matches nothing is told apart from a
// failure: the driver answers it with "no data", or with success and a row
// count of 0, and both give -1002. IN lists are built in growable text.
#include "db/stream/db_stream_delete.h"

#include <sqlext.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <memory>
#include <string>

#include "base/util/ve_loginfo.h"
#include "base/util/ve_queryinfo.h"
#include "base/util/ve_shape_error.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_envelope.h"
#include "db/catalog/db_log.h"
#include "db/core/db_connect.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_state_delete.h"
#include "db/stream/db_state_delete_internal.h"
#include "db/stream/db_state_write_buffer_internal.h"
#include "db/stream/db_write_row_internal.h"
#include "db/version/db_row_state.h"
#include "mox/mox.h"

namespace
{

// "<column> IN (<id>,...)" over count ids from first.
std::string S_in_list(const char *column, const int32_t *first, int32_t count)
{
    std::string text = std::string(column) + " IN (";
    for (int32_t i = 0; i < count; i++)
        text += std::to_string(first[i]) + (i + 1 < count ? "," : ")");
    return text;
}

// The number of ids of the batch that starts at from.
int32_t S_batch(int32_t count, int32_t from)
{
    return count - from < DB_DELETE_MAX_IN_IDS ? count - from : DB_DELETE_MAX_IN_IDS;
}

// A fixed text field of a record, never read past its end.
template <size_t N> std::string S_field(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

// The registration's table as database:owner.table; the current database
// and user stand in for missing parts. The name is built whole so that no
// look-up of the current database runs unless it is needed, and a failed
// look-up fails here: a DELETE on a table of the wrong database must not run.
int32_t S_table_name(DB_STREAM *stream, const REGISTRATION *registration,
                     char (&out)[DB_QUALIFIED_NAME_SIZE])
{
    std::string database = S_field(registration->database_name);
    if (database.empty()) {
        char current[DB_DATABASE_NAME_SIZE] = "";
        DB_database_get_current(nullptr, current);
        current[sizeof(current) - 1] = '\0';
        if (current[0] == '\0') {
            db_stream_copy_global_xerr(stream);
            return ZE_DBMS_ERROR;
        }
        database = current;
    }
    std::string owner = S_field(registration->owner);
    if (owner.empty()) {
        char user[DB_USER_NAME_SIZE] = "";
        DB_instance_get_current_user(nullptr, user);
        owner = S_field(user);
    }
    const std::string spec = database + ":" + owner + "." + S_field(registration->table_name);
    return db_table_make_name(database.c_str(), owner.c_str(), spec.c_str(), out, sizeof(out));
}

int32_t S_row_query_column(const REGISTRATION *registration,
                           char (&column)[DB_ROW_QUERY_COLUMN_SIZE])
{
    column[0] = '\0';
    int32_t rc = DB_registered_table_get_row_query_column(nullptr, registration, column);
    if (rc == 0)
        rc = db_check_name(column, sizeof(column));
    return rc;
}

int32_t S_check_ids(const int32_t *ids, int32_t count)
{
    if (count < 0)
        return ZE_INVALID_ARGUMENT;
    return count > 0 && ids == nullptr ? ZE_NULL_POINTER : 0;
}

// The outcome of an executed DELETE: -1002 when it touched no row.
int32_t S_delete_outcome(DB_STREAM *stream, SQLHSTMT *stmt, int rc, const CLI_DIAG_RECORD &failure)
{
    if (rc == 0) {
        SQLLEN rows = -1;
        if (SQL_SUCCEEDED(SQLRowCount(*stmt, &rows)) && rows == 0)
            return ZE_NO_ROWS_DELETED;
        return 0;
    }
    if (failure.code == SQL_NO_DATA)
        return ZE_NO_ROWS_DELETED;
    if (failure.code == 0) {
        // The commit failed: the primitive filled the connection's record.
        db_stream_copy_global_xerr(stream);
        return rc;
    }
    int32_t fill = 0;
    const int32_t code = db_delete_sqlstate_code(failure.sqlstate, &fill);
    if (fill)
        db_stream_set_xerr_from_diag(stream, failure);
    return code;
}

} // namespace

int32_t DB_stream_delete_where(DB_STREAM *stream, const char *table, const char *where)
{
    if (stream == nullptr || table == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = db_check_table_name(table);
    if (rc != 0)
        return rc;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        const char *condition = nullptr;
        if (db_sql_client_condition(where, &condition) != 0)
            return ZE_INVALID_ARGUMENT;
        const std::string sql = std::string("DELETE FROM ") + table + " WHERE " +
                                (condition != nullptr ? condition : "1 = 1");
        db_stmt_guard stmt;
        int32_t prepared = db_write_prepare(stream, &stmt.h, sql.c_str());
        if (prepared != 0)
            return prepared;
        CLI_DIAG_RECORD failure;
        const int executed = db_execute_stmt_diag(&stmt.h, 1, DB_EXEC_COMMIT, &failure);
        return S_delete_outcome(stream, &stmt.h, executed, failure);
    });
}

int32_t DB_stream_delete_by_ids(DB_STREAM *stream, const REGISTRATION *registration,
                                const int32_t *ids, int32_t count)
{
    if (stream == nullptr || registration == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = S_check_ids(ids, count);
    if (rc != 0)
        return rc;
    DB_stream_clear_xerr(stream);
    char table[DB_QUALIFIED_NAME_SIZE] = {};
    char column[DB_ROW_QUERY_COLUMN_SIZE];
    if ((rc = S_row_query_column(registration, column)) != 0)
        return rc;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        int32_t named = S_table_name(stream, registration, table);
        if (named != 0)
            return named;
        int32_t last = 0;
        bool deleted = false;
        for (int32_t from = 0; from < count; from += DB_DELETE_MAX_IN_IDS) {
            const std::string list = S_in_list(column, ids + from, S_batch(count, from));
            last = DB_stream_delete_where(stream, table, list.c_str());
            if (last == 0)
                deleted = true;
            else if (last != ZE_NO_ROWS_DELETED)
                return last;
        }
        return last == ZE_NO_ROWS_DELETED && deleted ? 0 : last;
    });
}

int32_t DB_stream_delete_state_by_ids(DB_STREAM *stream, const REGISTRATION *registration,
                                      const int32_t *ids, int32_t count,
                                      const DB_MV_QUERY_INFO *spec)
{
    if (stream == nullptr || registration == nullptr || spec == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = S_check_ids(ids, count);
    if (rc == 0)
        rc = db_check_name(registration->rowid_column, sizeof(registration->rowid_column));
    // Only the state views restrict their rows to a log's ids: through any
    // other view a long list would delete every visible row.
    if (rc == 0 && count > DB_DELETE_MAX_IN_IDS &&
        (spec->kind < DB_MV_STANDARD || spec->kind > DB_MV_DELETE_CHANGES))
        rc = ZE_INVALID_ARGUMENT;
    // No ids: nothing to delete, and an empty IN list is not SQL.
    if (rc != 0 || count == 0)
        return rc;
    DB_stream_clear_xerr(stream);
    std::unique_ptr<STATE_DELETE_WORK, decltype(&free)> work(
        static_cast<STATE_DELETE_WORK *>(calloc(1, sizeof(STATE_DELETE_WORK))), &free);
    if (!work)
        return ZE_OUT_OF_MEMORY;
    DB_MV_QUERY_INFO copy = *spec;
    int32_t first;
    if (count <= DB_DELETE_MAX_IN_IDS) {
        first = zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
            const std::string list = S_in_list(registration->rowid_column, ids, count);
            return db_state_delete_rows(stream, registration, list.c_str(), &copy, work.get());
        });
    } else {
        LOGFILE *log = nullptr;
        rc = db_state_write_temp_log(registration, ids, count, &log);
        if (rc != 0)
            return rc;
        copy.logfile = log;
        first = db_state_delete_rows(stream, registration, nullptr, &copy, work.get());
        DB_log_delete(nullptr, log->name);
        VES_loginfo_free(log);
    }
    if (first > 0)
        first = 0;
    else if (first == 0)
        first = ZE_NO_ROWS_DELETED;
    const int32_t finish = db_state_delete_finish(stream, registration, work.get());
    if (first == ZE_NO_ROWS_DELETED)
        return finish != 0 ? finish : ZE_NO_ROWS_DELETED;
    return first != 0 ? first : finish;
}

int32_t DB_envelope_get_id_list(DB_STREAM *stream, const REGISTRATION *registration,
                                const LAYER *layer, const int32_t *ids, int32_t count,
                                ENVELOPE *envelope)
{
    if (stream == nullptr || registration == nullptr || layer == nullptr || envelope == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = S_check_ids(ids, count);
    if (rc != 0)
        return rc;
    char column[DB_ROW_QUERY_COLUMN_SIZE];
    if ((rc = S_row_query_column(registration, column)) != 0)
        return rc;
    *envelope = {2147483647, 2147483647, 0, 0};
    if (strcasecmp(column, layer->spatial_column) == 0) {
        // Rows addressed by feature id: that look-up computes nothing.
        VE_ENVELOPE unused{};
        double z_low = 0, z_high = 0;
        return DB_envelope_get_by_fids(nullptr, layer, count, ids, &unused, &z_low, &z_high);
    }
    char table[DB_QUALIFIED_NAME_SIZE] = {};
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        int32_t named = S_table_name(stream, registration, table);
        if (named != 0)
            return named;
        bool any = false;
        for (int32_t from = 0; from < count; from += DB_DELETE_MAX_IN_IDS) {
            std::string list = S_in_list(column, ids + from, S_batch(count, from));
            char *tables[] = {table};
            VE_SQL_CONSTRUCT construct{1, tables, list.data()};
            DB_MV_QUERY_INFO plain{};
            VE_ENVELOPE box{};
            double z_low = 0, z_high = 0;
            int32_t computed = DB_layer_calculate_envelope(nullptr, layer, &construct, &plain, 0,
                                                           &box, &z_low, &z_high);
            if (computed != 0) {
                db_stream_copy_global_xerr(stream);
                return computed;
            }
            if (box.maxx < box.minx || box.maxy < box.miny)
                continue;
            ENVELOPE system{};
            const int32_t converted = MoxsEnvelopeToSystem(layer->coordref, &box, &system);
            if (converted != 0)
                return VES_map_shape_error_to_zel(converted);
            // The first box replaces the empty envelope, whose maximum of 0
            // would otherwise stand above a box of negative coordinates.
            if (!any)
                *envelope = system;
            any = true;
            envelope->minx = system.minx < envelope->minx ? system.minx : envelope->minx;
            envelope->miny = system.miny < envelope->miny ? system.miny : envelope->miny;
            envelope->maxx = system.maxx > envelope->maxx ? system.maxx : envelope->maxx;
            envelope->maxy = system.maxy > envelope->maxy ? system.maxy : envelope->maxy;
        }
        return 0;
    });
}
