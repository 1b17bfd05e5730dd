// Row query column and row state of a registered table (db_row_state.h). The
// versioning model: a base row is in state 0; a row added or updated in state
// s is a row of the adds table A<n> with ZEL_STATE_ID s; a deletion is a row
// of the deletes table D<n> with ZEL_STATE_ID the state the deleted version
// lived in, ZEL_DELETES_ROW_ID the row id and DELETED_AT the deleting state.
#include "db/version/db_row_state.h"

#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <initializer_list>
#include <string>

#include "base/util/ve_debug.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_raster.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_rastercolumn_info.h"
#include "db/core/db_describe.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/version/db_version_stmt_internal.h"

// The base probe: the row in the base table, unless the lineage deleted it.
#define S_BASE                                                                                     \
    "SELECT 0 FROM %s b WHERE b.%s = %d AND    NOT EXISTS (    SELECT %s, %s    FROM %s d    "     \
    "WHERE %s IN (%s) AND b.%s = d.%s)"
#define S_BASE_LAYER                                                                               \
    "SELECT 0,b.VE_ROW_ID FROM   %s b WHERE b.%s = %d AND NOT EXISTS (       SELECT %s, %s FROM "  \
    "%s d       WHERE %s IN (%s) AND b.%s = d.%s) "
// The adds probe: the version a state of the lineage added and no state of it
// deleted again.
#define S_ADDS                                                                                     \
    "SELECT b.%s FROM %s b WHERE b.%s = %d AND b.%s IN (%s) AND  NOT EXISTS (    SELECT %s,%s    " \
    "FROM %s d    WHERE %s IN (%s) AND          b.%s = d.%s AND          b.%s = d.%s) "
#define S_ADDS_LAYER                                                                               \
    "SELECT b.%s,b.VE_ROW_ID FROM %s b WHERE b.%s = %d AND b.%s IN (%s) AND  NOT EXISTS (   "      \
    "SELECT %s,%s   FROM %s d   WHERE %s IN (%s) AND         b.%s = d.%s AND         b.%s = "      \
    "d.%s )"

#define S_STATE_ID "ZEL_STATE_ID"
#define S_DELETES_ROW_ID "ZEL_DELETES_ROW_ID"
#define S_DELETED_AT "DELETED_AT"
#define S_PARSE_ERROR "DB_registered_table_get_row_state ODBC oparse error (%d).\n"

// Writes a name into the caller's column buffer.
static void S_answer(char *column, const char *name)
{
    snprintf(column, DB_ROW_QUERY_COLUMN_SIZE, "%s", name);
}

// The full name of the registered table, database:owner.table.
static std::string S_table(const REGISTRATION *r)
{
    char name[DB_QUALIFIED_NAME_SIZE] = "";
    DB_table_make_name(r->database_name, r->owner, r->table_name, name);
    return name;
}

// Whether the user's row-id column has a type rows can be addressed by.
static int32_t S_user_rowid_fits(DB_INSTANCE *instance, const REGISTRATION *r, bool *fits)
{
    const char *names[] = {r->rowid_column};
    DB_COLUMN_DEF *columns = nullptr;
    int32_t rc = DB_table_get_column_defs(instance, nullptr, S_table(r).c_str(), r, 1, names,
                                          &columns, nullptr);
    if (rc != ZE_SUCCESS)
        return rc;
    const DB_COLUMN_DEF &c = columns[0];
    *fits = c.type == VE_SMALLINT || c.type == VE_INTEGER || (c.type == VE_DOUBLE && c.size == 32);
    free(columns);
    return ZE_SUCCESS;
}

ZEL_API int32_t DB_registered_table_get_row_query_column(DB_INSTANCE *instance,
                                                         const REGISTRATION *registration,
                                                         char *column)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (registration == nullptr || column == nullptr)
            return ZE_NULL_POINTER;
        const REGISTRATION *r = registration;
        if (r->object_flags & REG_ROWID_ENGINE) {
            S_answer(column, r->rowid_column);
            return ZE_SUCCESS;
        }
        if (r->object_flags & REG_ROWID_COLUMN) {
            bool fits = false;
            int32_t rc = S_user_rowid_fits(instance, r, &fits);
            if (rc != ZE_SUCCESS)
                return rc;
            if (fits) {
                S_answer(column, r->rowid_column);
                return ZE_SUCCESS;
            }
        }
        char user[DB_USER_NAME_SIZE] = "";
        DB_instance_get_current_user(instance, user);
        if (r->object_flags & REG_LAYER) {
            LAYER *layer = nullptr;
            int32_t rc = DB_layer_get_info_by_table_name(instance, nullptr, S_table(r).c_str(),
                                                         nullptr, user, &layer);
            if (rc != ZE_SUCCESS)
                return rc;
            S_answer(column, "VE_ROW_ID");
            return ZE_SUCCESS;
        }
        if (r->object_flags & REG_RASTER_COLUMN) {
            RASTERCOLUMN raster{};
            int32_t rc = DB_rastercolumn_get_info_by_name(instance, nullptr, S_table(r).c_str(),
                                                          nullptr, user, &raster);
            if (rc != ZE_SUCCESS)
                return rc;
            S_answer(column, raster.raster_column);
            return ZE_SUCCESS;
        }
        return ZE_NO_ROW_QUERY_COLUMN;
    });
}

// The template with each %s and %d replaced by the next argument.
static std::string S_format(const char *format, std::initializer_list<std::string> arguments)
{
    std::string out;
    auto next = arguments.begin();
    for (const char *p = format; *p != '\0'; p++) {
        if (p[0] == '%' && (p[1] == 's' || p[1] == 'd') && next != arguments.end()) {
            out += *next++;
            p++;
        } else {
            out += *p;
        }
    }
    return out;
}

// Prepares a probe on the statement (allocated by the first). 0, or the
// failure's code with the statement freed.
static int32_t S_prepare(SQLHSTMT *hstmt, const std::string &sql)
{
    int32_t rc;
    if (*hstmt == SQL_NULL_HSTMT) {
        rc = db_version_prepare(hstmt, sql.c_str());
    } else {
        SQLRETURN cli = SQLPrepare(
            *hstmt, reinterpret_cast<SQLCHAR *>(const_cast<char *>(sql.c_str())), SQL_NTS);
        rc = SQL_SUCCEEDED(cli) ? ZE_SUCCESS : db_version_record(hstmt, cli);
        if (rc != ZE_SUCCESS)
            db_free_stmt(hstmt);
    }
    if (rc != ZE_SUCCESS)
        VES_print_debug(stderr, S_PARSE_ERROR, rc);
    return rc;
}

// The outs of a probe and their length cells.
struct Probe {
    int32_t *state_id;
    int32_t *spatial_row_id; // null unless a layer
    SQLLEN state_length;
    SQLLEN spatial_length;
};

// Runs a prepared probe: SQL_SUCCESS (or with information) with the row's
// state (and VE_ROW_ID) in the outs, SQL_NO_DATA, or the failing CLI code.
static SQLRETURN S_probe(SQLHSTMT hstmt, Probe *probe)
{
    SQLRETURN rc = SQLExecute(hstmt);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindCol(hstmt, 1, SQL_C_SLONG, probe->state_id, sizeof(int32_t),
                        &probe->state_length);
    if (SQL_SUCCEEDED(rc) && probe->spatial_row_id != nullptr)
        rc = SQLBindCol(hstmt, 2, SQL_C_SLONG, probe->spatial_row_id, sizeof(int32_t),
                        &probe->spatial_length);
    if (SQL_SUCCEEDED(rc))
        rc = SQLFetch(hstmt);
    return rc;
}

ZEL_API int32_t DB_registered_table_get_row_state(DB_INSTANCE *instance,
                                                  const REGISTRATION *registration, int32_t,
                                                  const char *lineage, int32_t row_id,
                                                  int32_t *state_id, int32_t *spatial_row_id)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (registration == nullptr || lineage == nullptr || state_id == nullptr)
            return ZE_NULL_POINTER;
        const REGISTRATION *r = registration;
        bool layer = (r->object_flags & REG_LAYER) != 0;
        if (layer && spatial_row_id == nullptr)
            return ZE_NULL_POINTER;
        std::string base = S_table(r);
        if (layer) {
            char user[DB_USER_NAME_SIZE] = "";
            DB_instance_get_current_user(instance, user);
            LAYER *found = nullptr;
            int32_t rc = DB_layer_get_info_by_table_name(instance, nullptr, base.c_str(), nullptr,
                                                         user, &found);
            if (rc != ZE_SUCCESS)
                return rc;
        }
        char adds[DB_QUALIFIED_NAME_SIZE] = "";
        char deletes[DB_QUALIFIED_NAME_SIZE] = "";
        int32_t rc = db_make_adds_table_name(instance, r->registration_id, r->database_name,
                                             r->owner, adds, sizeof(adds));
        if (rc == ZE_SUCCESS)
            rc = db_make_deletes_table_name(instance, r->registration_id, r->database_name,
                                            r->owner, deletes, sizeof(deletes));
        // Names that stand in the SQL without quotes must be identifiers.
        if (rc == ZE_SUCCESS)
            rc = db_check_name(r->rowid_column, sizeof(r->rowid_column));
        for (const char *table :
             {base.c_str(), static_cast<const char *>(adds), static_cast<const char *>(deletes)})
            if (rc == ZE_SUCCESS)
                rc = db_check_table_name(table);
        if (rc != ZE_SUCCESS)
            return rc;
        const std::string id = std::to_string(row_id);
        const std::string rowid = r->rowid_column;
        SQLHSTMT hstmt = SQL_NULL_HSTMT;
        rc = S_prepare(&hstmt, S_format(layer ? S_BASE_LAYER : S_BASE,
                                        {base, rowid, id, S_DELETES_ROW_ID, S_STATE_ID, deletes,
                                         S_DELETED_AT, lineage, rowid, S_DELETES_ROW_ID}));
        if (rc != ZE_SUCCESS)
            return rc;
        Probe probe = {state_id, layer ? spatial_row_id : nullptr, 0, 0};
        SQLRETURN cli = S_probe(hstmt, &probe);
        if (cli == SQL_NO_DATA) {
            SQLFreeStmt(hstmt, SQL_CLOSE);
            rc = S_prepare(&hstmt,
                           S_format(layer ? S_ADDS_LAYER : S_ADDS,
                                    {S_STATE_ID, adds, rowid, id, S_STATE_ID, lineage,
                                     S_DELETES_ROW_ID, S_STATE_ID, deletes, S_DELETED_AT, lineage,
                                     S_STATE_ID, S_STATE_ID, rowid, S_DELETES_ROW_ID}));
            if (rc != ZE_SUCCESS)
                return rc;
            cli = S_probe(hstmt, &probe);
        }
        if (!SQL_SUCCEEDED(cli)) {
            // Seen in neither: -22, with the statement's diagnostic kept.
            db_version_record(&hstmt, cli);
            db_free_stmt(&hstmt);
            return cli == SQL_NO_DATA ? ZE_OBJECT_NOT_FOUND : ZE_DBMS_ERROR;
        }
        db_free_stmt(&hstmt);
        if (layer && probe.spatial_length == SQL_NULL_DATA)
            *spatial_row_id = -1;
        return ZE_SUCCESS;
    });
}
