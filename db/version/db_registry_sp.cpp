// Registrations written through the catalogue's registry routines
// (db_registry_sp.h): each call binds the record's values, runs the call
// and maps the one integer the routine answers.
#include "db/version/db_registry_sp_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <string.h>
#include <time.h>

#include <functional>
#include <initializer_list>
#include <string>

#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_xerr_internal.h"
#include "db/version/db_version_stmt_internal.h"

namespace
{

// How a call reaches the server: executed directly on a fresh statement, or
// prepared first (clear_registration_modified).
enum class Run { direct, prepared };

// Records the statement's diagnostic and gives -51; the statement is freed
// by its guard.
int32_t S_fail(SQLHSTMT hstmt, SQLRETURN rc)
{
    db_version_record(hstmt != SQL_NULL_HSTMT ? &hstmt : nullptr, rc);
    return ZE_DBMS_ERROR;
}

// Runs "{call <admin>.<procedure> (...)}" (the text after the name given as
// tail), binds its parameters through bind, fetches the routine's one
// integer and maps it; routine names it in the error message.
int32_t S_call(DB_INSTANCE *instance, const char *procedure, const char *tail, Run run,
               const DB_SP_BIND &bind, const char *routine)
{
    char name[DB_QUALIFIED_NAME_SIZE];
    if (db_make_admin_object_name(instance, procedure, name, sizeof(name)) != 0)
        return ZE_INVALID_ARGUMENT;
    const std::string sql = std::string("{call ") + name + tail;
    db_stmt_guard stmt;
    SQLRETURN rc;
    if (run == Run::prepared) {
        int prepared = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
        if (prepared != 0)
            return stmt.h != SQL_NULL_HSTMT ? S_fail(stmt.h, static_cast<SQLRETURN>(prepared))
                                            : ZE_DBMS_ERROR; // the open recorded it
    } else {
        rc = SQLAllocHandle(SQL_HANDLE_STMT, db_connection()->hdbc, &stmt.h);
        if (!SQL_SUCCEEDED(rc)) {
            stmt.h = SQL_NULL_HSTMT;
            return S_fail(SQL_NULL_HSTMT, rc);
        }
    }
    DB_PARAMS params(stmt.h);
    rc = bind(params);
    if (SQL_SUCCEEDED(rc))
        rc = run == Run::prepared
                 ? SQLExecute(stmt.h)
                 : SQLExecDirect(stmt.h,
                                 reinterpret_cast<SQLCHAR *>(const_cast<char *>(sql.c_str())),
                                 SQL_NTS);
    int32_t result = 0;
    SQLLEN length = 0;
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindCol(stmt.h, 1, SQL_C_SLONG, &result, sizeof(result), &length);
    if (SQL_SUCCEEDED(rc))
        rc = SQLFetch(stmt.h); // no row is a failure: the routine always answers
    if (!SQL_SUCCEEDED(rc))
        return S_fail(stmt.h, rc);
    if (length == SQL_NULL_DATA)
        result = ZE_FAILURE; // an answer that is no number cannot be success
    return result == 0 ? ZE_SUCCESS : db_set_xerr_from_procedure(result, routine);
}

// Binds the values in order; the first failing bind's result.
SQLRETURN S_bind_all(std::initializer_list<std::function<SQLRETURN()>> binds)
{
    for (const auto &bind : binds) {
        SQLRETURN rc = bind();
        if (!SQL_SUCCEEDED(rc))
            return rc;
    }
    return SQL_SUCCESS;
}

int32_t S_insert(DB_INSTANCE *instance, REGISTRATION *r)
{
    db_identifier_to_lower(nullptr, r->database_name, sizeof(r->database_name), 0);
    db_identifier_to_lower(nullptr, r->table_name, sizeof(r->table_name), 0);
    const bool rowid = (r->object_flags & REG_ROWID_COLUMN) != 0;
    const uint32_t now = static_cast<uint32_t>(time(nullptr));
    return S_call(
        instance, "insert_registration", " (?,?,?,?,?,?,?,?,?,?,?)}", Run::direct,
        [&](DB_PARAMS &p) {
            return S_bind_all({
                [&] { return p.integer(r->registration_id); },
                [&] { return p.varchar(db_field_text(r->database_name), 32, false); },
                [&] { return p.varchar(db_field_text(r->table_name), 160, false); },
                [&] { return p.varchar(db_field_text(r->owner), 32, false); },
                [&] { return p.varchar(rowid ? db_field_text(r->rowid_column) : "", 32, !rowid); },
                [&] { return p.varchar(db_field_text(r->description), 64, true); },
                [&] { return p.integer(static_cast<int32_t>(r->object_flags)); },
                [&] { return p.unsigned_integer(now); },
                [&] { return p.varchar(db_field_text(r->config_keyword), 32, true); },
                [&] {
                    return rowid ? p.unsigned_integer(r->minimum_id) : p.integer_or_null(0, true);
                },
                [&] { return p.varchar(db_field_text(r->imv_view_name), 160, true); },
            });
        },
        "insert_registration");
}

int32_t S_update(DB_INSTANCE *instance, const REGISTRATION *r)
{
    const bool rowid = (r->object_flags & REG_ROWID_COLUMN) != 0;
    const bool engine = (r->object_flags & REG_ROWID_ENGINE) != 0;
    return S_call(
        instance, "update_registration", " (?,?,?,?,?,?,?)}", Run::direct,
        [&](DB_PARAMS &p) {
            return S_bind_all({
                [&] { return p.integer(r->registration_id); },
                [&] { return p.varchar(rowid ? db_field_text(r->rowid_column) : "", 32, !rowid); },
                [&] { return p.varchar(db_field_text(r->description), 64, true); },
                [&] { return p.integer(static_cast<int32_t>(r->object_flags)); },
                [&] { return p.varchar(db_field_text(r->config_keyword), 32, true); },
                [&] {
                    return engine ? p.unsigned_integer(r->minimum_id) : p.integer_or_null(0, true);
                },
                [&] { return p.varchar(db_field_text(r->imv_view_name), 160, true); },
            });
        },
        "update_registration");
}

// The calls that take the registration id alone.
int32_t S_by_id(DB_INSTANCE *instance, const char *procedure, Run run, int32_t id,
                const char *routine)
{
    return S_call(
        instance, procedure, " (?) }", run, [&](DB_PARAMS &p) { return p.integer(id); }, routine);
}

} // namespace

int32_t DB_sp_registry_def_insert(DB_INSTANCE *instance, REGISTRATION *registration)
{
    if (registration == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_insert(instance, registration); });
}

int32_t DB_sp_registry_def_update(DB_INSTANCE *instance, const REGISTRATION *registration)
{
    if (registration == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_update(instance, registration); });
}

int32_t DB_sp_registry_def_delete(DB_INSTANCE *instance, int32_t registration_id)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return S_by_id(instance, "delete_registration", Run::direct, registration_id,
                       "delete_registration");
    });
}

int32_t DB_sp_registry_def_change_table_name(DB_INSTANCE *instance, int32_t registration_id,
                                             const char *new_table)
{
    if (new_table == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return S_call(
            instance, "change_registration_table_name", " (?,?)}", Run::direct,
            [&](DB_PARAMS &p) {
                SQLRETURN rc = p.varchar(new_table, 160, false);
                return SQL_SUCCEEDED(rc) ? p.integer(registration_id) : rc;
            },
            "change_registration_table_name");
    });
}

int32_t db_registration_clear_modified(DB_INSTANCE *instance, int32_t registration_id)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return S_by_id(instance, "clear_registration_modified", Run::prepared, registration_id,
                       "zel.registry_util.clear_registration_modified");
    });
}
