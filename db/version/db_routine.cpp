// Lineage routine names, the creation of one stored routine and the
// per-table row-id renumbering procedure. The access core's catalogue
// creation and the multiversion code name and create their SPL routines
// through these; the layer code renumbers row ids through the last.
#include "db/version/db_routine_internal.h"

#include <sql.h>
#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>

#include "base/util/zel_errors.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"

int32_t db_lineage_routine_name(int32_t registration_id, char *out, size_t size, int32_t kind,
                                int32_t getter)
{
    struct Name {
        const char *stem;
        bool numbered;
    };
    static const Name getters[] = {{"ZEL_lineage_get", true},     {"ZEL_sublineage_get", true},
                                   {"ZEL_difflineage_get", true}, {"ZEL_diffsublineage_get", true},
                                   {"ZEL_stateid_get", true},     {"ZEL_lineageid_get", true},
                                   {"ZEL_startid_get", false},    {"ZEL_endid_get", false},
                                   {"ZEL_diffid_get", true},      {"ZEL_logid_get", true}};
    if (out == nullptr || size == 0)
        return ZE_INVALID_ARGUMENT;
    out[0] = '\0';
    Name name;
    if (getter) {
        if (kind < DB_LINEAGE_GET || kind > DB_LOGID_GET)
            return ZE_INVALID_ARGUMENT;
        name = getters[kind];
    } else {
        name = {kind >= DB_LINEAGE_GET && kind <= DB_DIFFSUBLINEAGE_GET ? "ZEL_lineage_set"
                                                                        : "ZEL_lineageid_set",
                true};
    }
    std::string text = name.stem;
    if (name.numbered)
        text += std::to_string(registration_id);
    if (text.size() >= size)
        return ZE_INVALID_ARGUMENT;
    memcpy(out, text.c_str(), text.size() + 1);
    return ZE_SUCCESS;
}

// Prepares and runs the CREATE once; *diag gets the failure.
static int32_t S_create_once(DB_STREAM *stream, const char *text, CLI_DIAG_RECORD *diag,
                             bool *prepared)
{
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int rc = db_prepare_cursor(db_stream_xerr(stream), &hstmt, text, 0);
    *prepared = rc == 0;
    if (rc == 0) {
        rc = SQLExecDirect(hstmt, reinterpret_cast<SQLCHAR *>(const_cast<char *>(text)), SQL_NTS);
        if (!SQL_SUCCEEDED(rc))
            db_get_diag_record(diag, &hstmt, rc);
    } else {
        db_get_diag_record(diag, hstmt != SQL_NULL_HSTMT ? &hstmt : nullptr, rc);
    }
    db_free_stmt(&hstmt);
    return rc;
}

int32_t db_create_procedure(DB_INSTANCE *, DB_STREAM *stream, const char *text, const char *name)
{
    if (text == nullptr || name == nullptr)
        return ZE_NULL_POINTER;
    CLI_DIAG_RECORD diag{};
    bool prepared = false;
    int32_t rc = S_create_once(stream, text, &diag, &prepared);
    if (prepared && !SQL_SUCCEEDED(rc) && std::string(diag.sqlstate) == "S0011") {
        // A routine of this name is in the way: drop it and create ours, so
        // that success always means the routine of this text exists.
        std::string drop = std::string("drop procedure ") + name;
        if (db_execute_ddlsql(drop.c_str(), 0, 3) >= 0)
            rc = S_create_once(stream, text, &diag, &prepared);
    }
    if (SQL_SUCCEEDED(rc))
        return ZE_SUCCESS; // a warning does not make the routine less created
    if (prepared && stream != nullptr)
        db_stream_set_xerr_from_diag(stream, diag);
    else
        db_set_xerr_from_diag(diag);
    return rc;
}

// A field of the record that goes into the text unquoted: an identifier
// within its field; empty when it is not.
static std::string S_name(const char *field, size_t size)
{
    return db_check_name(field, size) == 0 ? std::string(field) : std::string();
}

static int32_t S_rowid_update_proc(const REGISTRATION *registration, bool registered_column,
                                   char **name)
{
    const std::string owner = S_name(registration->owner, sizeof(registration->owner));
    const std::string table = S_name(registration->table_name, sizeof(registration->table_name));
    const std::string column =
        registered_column ? S_name(registration->rowid_column, sizeof(registration->rowid_column))
                          : std::string("VE_ROW_ID");
    const bool no_database = strnlen(registration->database_name, 1) == 0;
    const std::string database =
        no_database ? std::string()
                    : S_name(registration->database_name, sizeof(registration->database_name));
    if (owner.empty() || table.empty() || column.empty() || (!no_database && database.empty()))
        return ZE_INVALID_ARGUMENT;
    const std::string procedure = owner + "." + owner + "_" + table + "_rowid_update";
    if (procedure.size() >= DB_ROWID_PROC_NAME_SIZE)
        return ZE_INVALID_ARGUMENT;
    char qualified[DB_QUALIFIED_NAME_SIZE];
    if (db_table_make_name(database.c_str(), owner.c_str(), table.c_str(), qualified,
                           sizeof(qualified)) != 0)
        return ZE_INVALID_ARGUMENT;
    const std::string sql =
        "CREATE PROCEDURE " + procedure +
        " (lowid integer, highid integer, startid integer); define rowidVAR integer; define "
        "new_rowidVAR integer; let new_rowidVAR = startid; BEGIN FOREACH select_cursor for select "
        "ROWID into rowidVAR from " +
        qualified + "  where ROWID <= highid and ROWID >lowid update " + qualified + " set " +
        column +
        "  = new_rowidVAR where CURRENT OF select_cursor; let new_rowidVAR = new_rowidVAR + 1; END "
        "FOREACH; END END PROCEDURE;";
    int32_t rc = db_execute_ddlsql(sql.c_str(), 0, 1);
    if (!SQL_SUCCEEDED(rc))
        return rc;
    *name = static_cast<char *>(calloc(1, DB_ROWID_PROC_NAME_SIZE));
    if (*name == nullptr)
        return ZE_OUT_OF_MEMORY;
    memcpy(*name, procedure.c_str(), procedure.size());
    return ZE_SUCCESS;
}

int32_t db_table_create_rowid_update_proc(const REGISTRATION *registration, int32_t, int32_t,
                                          int32_t use_registered_column, char **name)
{
    if (registration == nullptr || name == nullptr)
        return ZE_NULL_POINTER;
    *name = nullptr;
    try {
        return S_rowid_update_proc(registration, use_registered_column != 0, name);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}
