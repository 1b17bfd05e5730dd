// Table indexes (db_table_index.h): B-tree and R-tree indexes made with the
// DBTUNE index clauses, described from the Informix catalogue (systables,
// sysindices, syscolumns, sysams) and dropped. A column counts as spatial
// when the DBMS's extended-type catalogue gives it an ST geometry type.
#include "db/catalog/db_table_index.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/util/ve_debug_internal.h"
#include "base/util/ve_index_def_internal.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_table_ddl_internal.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_informix_internal.h"
#include "db/core/db_instance_user_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_type_name_internal.h"

namespace
{

constexpr SQLLEN kCatalogIndexNameSize = 161; // the catalogue's 160 characters and the NUL

// The B-tree index parts of a table, around its owner and name.
const std::string kDescribeHead =
    "SELECT  si.idxname, si.idxtype, sc.colname                     FROM    "
    "systables st,                             sysindices "
    "si,                             syscolumns sc,                             "
    "sysams sa,                             "
    "TABLE(MULTISET{0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15}) as "
    "i(indexpart)                             WHERE   st.tabtype = 'T' "
    "AND                             si.tabid = st.tabid "
    "AND                             sc.tabid = st.tabid "
    "AND                             si.amid = sa.am_id "
    "AND                             sa.am_name = 'btree' "
    "AND                             st.owner = '";
const std::string kDescribeMiddle = "'  AND                             st.tabname = '";
const std::string kDescribeTail =
    "' AND                             (sc.colno = "
    "ikeyextractcolno(si.indexkeys,i.indexpart)                              OR "
    "sc.colno = "
    "-ikeyextractcolno(si.indexkeys,i.indexpart))                             order "
    "by si.idxname";

// The index clause of the selector: adds, deletes or business table.
const char *S_index_clause(const DBTUNE_LAYER_CONFIG &config, int32_t storage)
{
    return db_table_storage_pick(storage, config.B_INDEX_USER, config.A_INDEX_USER,
                                 config.D_INDEX_STATE_ROWID);
}

bool S_is_spatial_column(const char *column)
{
    return db_get_column_st_type_qualified(column) == 1;
}

// Maps a failed prepare or execute of an index statement, with the diagnostic
// kept in the connection's record; the statement is freed. "S0001" counts as
// an existing index when exists_too is set.
int32_t S_index_failure(SQLHSTMT *hstmt, int32_t rc, const char *table, bool exists_too)
{
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, hstmt, rc);
    db_free_stmt(hstmt);
    db_set_xerr_from_diag(diag);
    const std::string state = diag.sqlstate;
    if (state == "S0002")
        return diag.native_error == DB_IFX_NATIVE_NO_SUCH_COLUMN ? ZE_COLUMN_NOT_FOUND
                                                                 : ZE_TABLE_NOT_FOUND;
    if (state == "S0022")
        return ZE_COLUMN_NOT_FOUND;
    if (state == "S0011" || (exists_too && state == "S0001"))
        return ZE_INDEX_EXISTS;
    fprintf(stderr, "DB_table_create_index() Execute Error (%d)\n", rc);
    db_xerr_append_text(table);
    return ZE_DBMS_ERROR;
}

// Prepares and executes one index statement. 0 or the mapped failure.
int32_t S_run_index_sql(const std::string &sql, const char *table, bool exists_too)
{
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int32_t rc = db_catalog_execute(&hstmt, sql.c_str());
    return rc == 0 ? 0 : S_index_failure(&hstmt, rc, table, exists_too);
}

// A name of a definition: terminated within its field and an identifier.
int32_t S_check_field(const char *name, size_t size)
{
    if (name == nullptr)
        return ZE_NULL_POINTER;
    if (strnlen(name, size) >= size)
        return ZE_INVALID_ARGUMENT;
    return db_check_name(name, size);
}

int32_t S_check_definition(const DB_INDEX_DEF &def)
{
    if (def.column_count < 1 || def.column_count > DB_INDEX_MAX_COLUMNS)
        return ZE_INVALID_ARGUMENT;
    if (def.column_names == nullptr || def.column_order == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = S_check_field(def.index_name, sizeof(def.index_name));
    for (int16_t i = 0; rc == 0 && i < def.column_count; i++)
        rc = S_check_field(def.column_names[i], DB_INDEX_COLUMN_NAME_SIZE);
    return rc;
}

const char *S_order(int32_t order)
{
    return order == DB_INDEX_ASCENDING ? "ASC" : "DESC";
}

// The CREATE INDEX text of a definition, without its storage clause.
std::string S_definition_sql(const DB_INDEX_DEF &def, const char *table, bool spatial)
{
    if (spatial)
        return std::string("CREATE INDEX ") + def.index_name + " on " + table + " (  " +
               def.column_names[0] + " ST_Geometry_Ops )USING RTREE";
    std::string sql = std::string("CREATE ") + (def.unique == 1 ? "UNIQUE" : "") + " INDEX " +
                      def.index_name + " on " + table + " (  " + def.column_names[0] + " " +
                      S_order(def.column_order[0]);
    for (int16_t i = 1; i < def.column_count; i++)
        sql += std::string(",") + def.column_names[i] + " " + S_order(def.column_order[i]);
    return sql + ")";
}

// A column, or columns joined by ",", each an identifier.
int32_t S_check_column_list(const char *columns)
{
    std::string list(columns);
    size_t start = 0;
    for (;;) {
        size_t comma = list.find(',', start);
        std::string one = list.substr(start, comma == std::string::npos ? comma : comma - start);
        int32_t rc = db_check_name(one.c_str(), DB_NAME_COLUMN_SIZE);
        if (rc != 0 || comma == std::string::npos)
            return rc;
        start = comma + 1;
    }
}

// The described definitions, freed unless handed out.
struct Described {
    DB_INDEX_DEF *defs = nullptr;
    int32_t count = 0;
    ~Described()
    {
        ves_index_defs_free(defs, count);
    }

    // Adds a key column to the last definition. 0; -12; -66 beyond 16.
    int32_t add_column(const char *column)
    {
        return ves_index_def_add_column(&defs[count - 1], column, DB_INDEX_ASCENDING);
    }

    // Starts a definition. 0; -12.
    int32_t add_index(const char *name, bool unique)
    {
        DB_INDEX_DEF *grown = static_cast<DB_INDEX_DEF *>(
            realloc(defs, static_cast<size_t>(count + 1) * sizeof(DB_INDEX_DEF)));
        if (grown == nullptr)
            return ZE_OUT_OF_MEMORY;
        defs = grown;
        DB_INDEX_DEF &def = defs[count++];
        memset(&def, 0, sizeof(def));
        int32_t rc = ves_index_def_alloc(&def);
        if (rc != 0)
            return rc;
        snprintf(def.index_name, sizeof(def.index_name), "%s", name);
        def.unique = unique ? 1 : 0;
        return 0;
    }
};

int32_t S_describe(DB_INSTANCE *instance, const char *table, int16_t *count, DB_INDEX_DEF **indexes)
{
    char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], name[DB_NAME_TABLE_SIZE];
    int32_t rc = DB_table_parse_name(instance, table, database, owner, name);
    if (rc != 0)
        return rc;
    // Descending key parts are found through the negated column number.
    std::string sql = kDescribeHead + db_quote_literal(owner) + kDescribeMiddle +
                      db_quote_literal(name) + kDescribeTail;
    db_stmt_guard stmt;
    SQLHSTMT &hstmt = stmt.h;
    rc = db_catalog_prepare(nullptr, &hstmt, sql.c_str());
    if (rc != 0)
        return rc;
    char index_name[kCatalogIndexNameSize] = "", type[2] = "";
    char column[DB_INDEX_COLUMN_NAME_SIZE] = "";
    SQLLEN lengths[3] = {};
    SQLRETURN cli = SQLBindCol(hstmt, 1, SQL_C_CHAR, index_name, sizeof(index_name), &lengths[0]);
    if (SQL_SUCCEEDED(cli))
        cli = SQLBindCol(hstmt, 2, SQL_C_CHAR, type, sizeof(type), &lengths[1]);
    if (SQL_SUCCEEDED(cli))
        cli = SQLBindCol(hstmt, 3, SQL_C_CHAR, column, sizeof(column), &lengths[2]);
    if (!SQL_SUCCEEDED(cli))
        return db_catalog_fail(nullptr, &hstmt, cli);
    rc = db_execute_stmt(&hstmt, 1, DB_EXEC_NO_COMMIT);
    if (rc != 0)
        return db_catalog_fail(nullptr, &hstmt, rc);
    Described described;
    for (;;) {
        index_name[0] = type[0] = column[0] = '\0';
        SQLULEN fetched = 0;
        rc = db_fetch_rows(&hstmt, 1, &fetched);
        if (rc == DB_NO_MORE_DATA)
            break;
        if (rc != 0) {
            VES_print_debug(stderr, "DB_table_describe_indexes Execute/Fetch error (%d).\n", rc);
            return db_catalog_fail(nullptr, &hstmt, rc);
        }
        // The definition holds 31 characters of a name: a longer catalogue
        // name is refused rather than cut into another index's name.
        if (strlen(index_name) >= DB_INDEX_NAME_SIZE)
            return ZE_INVALID_ARGUMENT;
        bool same = described.count > 0 &&
                    strcmp(described.defs[described.count - 1].index_name, index_name) == 0;
        rc = same ? 0 : described.add_index(index_name, type[0] == 'U');
        if (rc == 0)
            rc = described.add_column(column);
        if (rc != 0)
            return rc;
    }
    *count = static_cast<int16_t>(described.count);
    *indexes = described.defs;
    described.defs = nullptr;
    described.count = 0;
    return 0;
}

} // namespace

int32_t DB_table_create_index(DB_INSTANCE *, const char *table, const char *column, int32_t unique,
                              int32_t ascending, const char *index_name, const char *keyword,
                              int32_t storage)
{
    if (table == nullptr || column == nullptr || index_name == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        int32_t rc = db_check_table_name(table);
        if (rc == 0)
            rc = S_check_column_list(column);
        if (rc == 0)
            rc = db_check_name(index_name, DB_NAME_TABLE_SIZE);
        if (rc != 0)
            return rc;
        DB_instance_clear_xerr();
        std::string sql;
        // Only a single column can carry an R-tree index.
        if (strchr(column, ',') == nullptr && S_is_spatial_column(column))
            sql = std::string("CREATE INDEX ") + index_name + " on " + table + " (" + column +
                  ") USING RTREE ";
        else
            sql = std::string("CREATE ") + (unique == 1 ? "UNIQUE" : "") + " INDEX " + index_name +
                  " on " + table + " (" + column + " " + (ascending == 1 ? "ASC" : "DESC") + ") ";
        auto config = std::make_unique<DBTUNE_LAYER_CONFIG>();
        rc = db_table_storage_config(keyword, config.get());
        if (rc != 0)
            return rc;
        sql += S_index_clause(*config, storage);
        return S_run_index_sql(sql, table, false);
    });
}

int32_t DB_table_create_indexes(DB_INSTANCE *, const char *table, int16_t count,
                                const DB_INDEX_DEF *indexes, const char *keyword, int32_t storage)
{
    if (table == nullptr || (count > 0 && indexes == nullptr))
        return ZE_NULL_POINTER;
    if (count < 0)
        return ZE_INVALID_ARGUMENT;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        int32_t rc = db_check_table_name(table);
        for (int16_t i = 0; rc == 0 && i < count; i++)
            rc = S_check_definition(indexes[i]);
        if (rc != 0)
            return rc;
        DB_instance_clear_xerr();
        auto config = std::make_unique<DBTUNE_LAYER_CONFIG>();
        rc = db_table_storage_config(keyword, config.get());
        if (rc != 0)
            return rc;
        // Which definitions are spatial, before any index is made.
        std::vector<bool> spatial(static_cast<size_t>(count), false);
        for (int16_t i = 0; i < count; i++) {
            const DB_INDEX_DEF &def = indexes[i];
            for (int16_t c = 0; c < def.column_count && !spatial[i]; c++)
                spatial[i] = S_is_spatial_column(def.column_names[c]);
            if (spatial[i] && def.column_count > 1)
                return ZE_INVALID_COLUMN_TYPE;
        }
        for (int16_t i = 0; i < count; i++) {
            // The definition's text ends in a word: a blank keeps the clause apart.
            std::string sql = S_definition_sql(indexes[i], table, spatial[i]);
            const char *clause = S_index_clause(*config, storage);
            if (clause[0] != '\0')
                sql += std::string(" ") + clause;
            rc = S_run_index_sql(sql, table, true);
            if (rc == 0)
                continue;
            // Undo the indexes this call made; their failures change nothing.
            for (int16_t made = 0; made < i; made++) {
                std::string drop = std::string(" DROP INDEX ") + indexes[made].index_name;
                db_odbc_execute_ddlsql(drop.c_str(), 0, DB_EXEC_NO_COMMIT);
            }
            return rc;
        }
        return 0;
    });
}

int32_t DB_table_describe_indexes(DB_INSTANCE *instance, const char *table, int16_t *count,
                                  DB_INDEX_DEF **indexes)
{
    if (table == nullptr || count == nullptr || indexes == nullptr)
        return ZE_NULL_POINTER;
    *count = 0;
    *indexes = nullptr;
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&]() -> int32_t { return S_describe(instance, table, count, indexes); });
}

int32_t DB_table_drop_index(DB_INSTANCE *, const char *, const char *index_name)
{
    if (index_name == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        int32_t rc = db_check_name(index_name, DB_NAME_TABLE_SIZE);
        if (rc != 0)
            return rc;
        DB_instance_clear_xerr();
        std::string sql = std::string("DROP INDEX ") + index_name;
        rc = db_execute_ddlsql(sql.c_str(), 0, 3);
        if (rc == SQL_NO_DATA)
            return ZE_OBJECT_NOT_FOUND;
        return rc == SQL_SUCCESS_WITH_INFO ? 0 : rc;
    });
}

int32_t DB_table_get_name_from_index_name(DB_INSTANCE *, const char *index_name, char *out)
{
    if (index_name == nullptr || out == nullptr)
        return ZE_NULL_POINTER;
    char name[DB_NAME_TABLE_SIZE];
    if (strlen(index_name) >= sizeof(name))
        return ZE_INVALID_ARGUMENT;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        strcpy(name, index_name);
        // The catalogue keeps the names of indexes made without quotes in
        // lower case.
        db_identifier_to_lower(nullptr, name, sizeof(name), 1);
        std::string sql = "SELECT  tabname FROM systables tab, sysindexes idx WHERE tab.tabid = "
                          "idx.tabid AND idxname = '" +
                          db_quote_literal(name) + "'";
        char found[DB_NAME_TABLE_SIZE] = "";
        SQLLEN length = 0;
        CLI_DIAG_RECORD diag;
        SQLRETURN rc = db_select_one_text(sql.c_str(), found, sizeof(found), &length, &diag);
        if (rc == SQL_NO_DATA)
            return ZE_INDEX_NOT_FOUND;
        if (!SQL_SUCCEEDED(rc)) {
            db_set_xerr_from_diag(diag);
            return ZE_DBMS_ERROR;
        }
        size_t n = strnlen(found, sizeof(found) - 1);
        while (n > 0 && found[n - 1] == ' ')
            n--;
        memcpy(out, found, n);
        out[n] = '\0';
        return 0;
    });
}
