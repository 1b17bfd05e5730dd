// Single-row edits, the modified flag and the twin indexes of a registered
// table (db_registered_edit.h).
#include "db/version/db_registered_edit.h"

#include <sql.h>
#include <sqlext.h>
#include <string.h>
#include <strings.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_table_index.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_xerr_internal.h"
#include "db/version/db_state_trim_internal.h"
#include "db/version/db_version_stmt_internal.h"

namespace
{

// One statement in the open transaction, its failure recorded.
int32_t S_run(const std::string &sql)
{
    const int32_t rc = db_execute_ddlsql(sql.c_str(), 1, 2);
    return rc == SQL_SUCCESS_WITH_INFO ? 0 : rc;
}

} // namespace

int32_t DB_registered_table_insert_delete_row(DB_INSTANCE *instance,
                                              const REGISTRATION *registration, int32_t row_id,
                                              int32_t living_state_id, int32_t deleting_state_id)
{
    if (registration == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        DB_STATE_NAMES n;
        const int32_t rc = db_state_names(instance, *registration, &n);
        if (rc != 0)
            return rc;
        return S_run(db_sql_format("INSERT INTO %s (%s,%s,%s) VALUES (%d,%d,%d)", n.deletes.c_str(),
                                   "ZEL_STATE_ID", "ZEL_DELETES_ROW_ID", "DELETED_AT",
                                   living_state_id, row_id, deleting_state_id));
    });
}

int32_t DB_registered_table_delete_adds_row(DB_INSTANCE *instance, const REGISTRATION *registration,
                                            int32_t, int32_t row_id, int32_t state_id)
{
    if (registration == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        DB_STATE_NAMES n;
        const int32_t rc = db_state_names(instance, *registration, &n);
        if (rc != 0)
            return rc;
        return S_run(db_sql_format("DELETE FROM %s WHERE %s = %d AND %s = %d", n.adds.c_str(),
                                   n.rowid.c_str(), row_id, "ZEL_STATE_ID", state_id));
    });
}

int32_t DB_registered_table_mark_modified(DB_INSTANCE *instance, const REGISTRATION *registration,
                                          const STATE *state)
{
    if (state == nullptr)
        return ZE_SUCCESS;
    if (registration == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        char routine[DB_QUALIFIED_NAME_SIZE] = "";
        if (db_make_admin_object_name(instance, "flag_mvtable_modified", routine,
                                      sizeof(routine)) != 0)
            return ZE_INVALID_ARGUMENT;
        SQLHSTMT hstmt = SQL_NULL_HSTMT;
        if (db_version_prepare(&hstmt,
                               db_sql_format("EXECUTE FUNCTION %s(?,?)", routine).c_str()) != 0)
            return ZE_DBMS_ERROR;
        DB_PARAMS params(hstmt);
        SQLINTEGER result = 0;
        SQLLEN length = 0;
        SQLRETURN cli = params.integer(registration->registration_id);
        if (SQL_SUCCEEDED(cli))
            cli = params.integer(state->state_id);
        if (SQL_SUCCEEDED(cli))
            cli = SQLBindCol(hstmt, 1, SQL_C_LONG, &result, sizeof(result), &length);
        if (!SQL_SUCCEEDED(cli))
            return db_version_fail(&hstmt, cli);
        // Executed, fetched and committed in one step: the flag is seen by
        // every other session at once.
        CLI_DIAG_RECORD failure;
        const int executed = db_execute_stmt_diag(&hstmt, 1, DB_EXEC_FETCH, &failure);
        if (executed == DB_NO_MORE_DATA) // a function always answers a row
            return db_version_fail(&hstmt, SQL_ERROR);
        if (executed != 0) {
            if (failure.sqlstate[0] != '\0')
                db_set_xerr_from_diag(failure);
            db_free_stmt(&hstmt);
            return static_cast<int32_t>(executed);
        }
        db_free_stmt(&hstmt);
        DB_SP_RESULT mapped;
        mapped.code = result;
        return db_sp_map_result(mapped, "zel.flag_mvtable_modified");
    });
}

namespace
{

std::string S_field(const char *text, size_t size)
{
    return std::string(text, strnlen(text, size));
}

bool S_versioned(const REGISTRATION &r)
{
    return (r.object_flags & REG_MULTIVERSION) != 0;
}

// Only the table's owner changes its indexes. 0 or -25.
int32_t S_check_owner(DB_INSTANCE *instance, const REGISTRATION &r)
{
    char user[DB_USER_NAME_SIZE] = "";
    DB_instance_get_current_user(instance, user);
    user[sizeof(user) - 1] = '\0';
    return strcasecmp(user, S_field(r.owner, sizeof(r.owner)).c_str()) == 0 ? ZE_SUCCESS
                                                                            : ZE_NO_PERMISSIONS;
}

// The caller's keyword, or the registration's when it is blank.
std::string S_keyword(const REGISTRATION &r, const char *keyword)
{
    if (!db_sql_is_blank(keyword))
        return keyword;
    return S_field(r.config_keyword, sizeof(r.config_keyword));
}

// The adds table's name. 0 or -66.
int32_t S_adds_table(DB_INSTANCE *instance, const REGISTRATION &r, std::string *out)
{
    char name[DB_QUALIFIED_NAME_SIZE] = "";
    if (db_make_adds_table_name(instance, r.registration_id,
                                S_field(r.database_name, sizeof(r.database_name)).c_str(),
                                S_field(r.owner, sizeof(r.owner)).c_str(), name, sizeof(name)) != 0)
        return ZE_INVALID_ARGUMENT;
    *out = name;
    return ZE_SUCCESS;
}

// The twin's name of an index. 0 or -66.
int32_t S_twin_name(const std::string &index, std::string *out)
{
    char name[DB_QUALIFIED_NAME_SIZE] = "";
    if (db_make_adds_index_name(index.c_str(), name, sizeof(name)) != 0 || name[0] == '\0')
        return ZE_INVALID_ARGUMENT;
    *out = name;
    return ZE_SUCCESS;
}

// Runs a clean-up step without letting it replace the extended error
// record of the failure being cleaned up after.
template <typename Step> void S_keeping_xerr(Step step)
{
    const DB_EXT_ERROR kept = db_global_xerr;
    step();
    db_global_xerr = kept;
}

} // namespace

int32_t DB_registered_table_create_index(DB_INSTANCE *instance, const REGISTRATION *registration,
                                         const char *column, int32_t unique, int32_t ascending,
                                         const char *index_name, const char *keyword)
{
    if (registration == nullptr || column == nullptr || index_name == nullptr)
        return ZE_NULL_POINTER;
    const REGISTRATION &r = *registration;
    // The adds table holds many versions of a row: its twin can never be
    // unique, and a unique index on the table alone would not hold.
    if (S_versioned(r) && unique)
        return ZE_UNIQUE_INDEX_NOT_ALLOWED;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        int32_t rc = S_check_owner(instance, r);
        if (rc != 0)
            return rc;
        const std::string table = S_field(r.table_name, sizeof(r.table_name));
        const std::string clause = S_keyword(r, keyword);
        std::string adds, twin;
        if (S_versioned(r)) {
            rc = S_adds_table(instance, r, &adds);
            if (rc == 0)
                rc = S_twin_name(index_name, &twin);
            if (rc != 0)
                return rc;
        }
        rc = DB_table_create_index(instance, table.c_str(), column, unique, ascending, index_name,
                                   clause.c_str(), 0);
        if (rc != 0 || !S_versioned(r))
            return rc;
        rc = DB_table_create_index(instance, adds.c_str(), column, 0, ascending, twin.c_str(),
                                   clause.c_str(), 1);
        if (rc != 0)
            S_keeping_xerr([&] { DB_table_drop_index(instance, table.c_str(), index_name); });
        return rc;
    });
}

int32_t DB_registered_table_drop_index(DB_INSTANCE *instance, const REGISTRATION *registration,
                                       const char *index_name)
{
    if (registration == nullptr || index_name == nullptr)
        return ZE_NULL_POINTER;
    const REGISTRATION &r = *registration;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        int32_t rc = S_check_owner(instance, r);
        if (rc != 0)
            return rc;
        std::string twin;
        if (S_versioned(r)) {
            rc = S_twin_name(index_name, &twin);
            if (rc != 0)
                return rc;
        }
        const std::string table = S_field(r.table_name, sizeof(r.table_name));
        rc = DB_table_drop_index(instance, table.c_str(), index_name);
        if (rc != 0 || !S_versioned(r))
            return rc;
        rc = DB_table_drop_index(instance, nullptr, twin.c_str());
        // A twin that is not there (never made, or dropped by hand) leaves
        // nothing to drop.
        return rc == ZE_INDEX_NOT_FOUND || rc == ZE_OBJECT_NOT_FOUND ? ZE_SUCCESS : rc;
    });
}

int32_t DB_registered_table_create_indexes(DB_INSTANCE *instance, const REGISTRATION *registration,
                                           int16_t count, const DB_INDEX_DEF *indexes,
                                           const char *keyword)
{
    if (registration == nullptr || (indexes == nullptr && count > 0))
        return ZE_NULL_POINTER;
    if (count < 0)
        return ZE_INVALID_ARGUMENT;
    const REGISTRATION &r = *registration;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        int32_t rc = S_check_owner(instance, r);
        if (rc != 0)
            return rc;
        std::string adds;
        std::vector<DB_INDEX_DEF> twins;
        if (S_versioned(r)) {
            rc = S_adds_table(instance, r, &adds);
            if (rc != 0)
                return rc;
            // Every definition is checked before anything is made.
            for (int16_t i = 0; i < count; i++) {
                if (indexes[i].unique)
                    return ZE_UNIQUE_INDEX_NOT_ALLOWED;
                DB_INDEX_DEF twin = indexes[i]; // the columns and their order are shared
                twin.unique = 0;
                std::string name;
                rc = S_twin_name(S_field(indexes[i].index_name, sizeof(indexes[i].index_name)),
                                 &name);
                // A cut name would make a twin the drop cannot find.
                if (rc != 0 || name.size() >= sizeof(twin.index_name))
                    return ZE_INVALID_ARGUMENT;
                memcpy(twin.index_name, name.c_str(), name.size() + 1);
                twins.push_back(twin);
            }
        }
        const std::string table = S_field(r.table_name, sizeof(r.table_name));
        const std::string clause = S_keyword(r, keyword);
        rc = DB_table_create_indexes(instance, table.c_str(), count, indexes, clause.c_str(), 0);
        if (rc != 0 || !S_versioned(r))
            return rc;
        rc =
            DB_table_create_indexes(instance, adds.c_str(), count, twins.data(), clause.c_str(), 1);
        if (rc != 0)
            S_keeping_xerr([&] {
                for (int16_t i = 0; i < count; i++) {
                    const std::string name =
                        S_field(indexes[i].index_name, sizeof(indexes[i].index_name));
                    if (db_check_name(name.c_str(), sizeof(indexes[i].index_name)) == 0)
                        db_execute_ddlsql((" DROP INDEX " + name).c_str(), 0, DB_EXEC_NO_COMMIT);
                }
            });
        return rc;
    });
}
