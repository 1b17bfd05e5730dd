// Enabling and disabling multiversion tables (db_multiversion.h,
// db_multiversion_internal.h). Enabling is all or nothing: each step that
// fails undoes what the steps before it made. Disabling tries every step
// and reports the first failure, so a half-disabled table can be disabled
// again. The stored views of a table are dropped whenever what they were
// made from goes away, so that the next read makes them afresh.
#include "db/version/db_multiversion_internal.h"

#include <sql.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/db_column_def.h"
#include "base/util/ve_debug.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_raster.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_layer_index.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_layer_user_table.h"
#include "db/catalog/db_rastercolumn_info.h"
#include "db/catalog/db_rastercolumn_tables.h"
#include "db/catalog/db_table_access.h"
#include "db/catalog/db_table_copy_internal.h"
#include "db/catalog/db_table_dbms_stats_internal.h"
#include "db/catalog/db_table_ddl_internal.h"
#include "db/catalog/db_table_index.h"
#include "db/catalog/db_view.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_dbtune_internal.h"
#include "db/core/db_describe_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_names.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_xerr_internal.h"
#include "db/version/db_imv.h"
#include "db/version/db_mv_view_internal.h"
#include "db/version/db_registry_sp_internal.h"
#include "db/version/db_routine_internal.h"
#include "db/version/db_state_trim_internal.h"

namespace
{

const char *const kAdmin = "zel";

std::string S_field(const char *text, size_t size)
{
    return std::string(text, strnlen(text, size));
}

bool S_equivalences()
{
    return getenv("ZELEQUIVS") != nullptr;
}

// Runs a clean-up step without letting it replace the extended error
// record of the failure being cleaned up after.
template <typename Step> void S_keeping_xerr(Step step)
{
    const DB_EXT_ERROR kept = db_global_xerr;
    step();
    db_global_xerr = kept;
}

// The names of one registration's tables: the user table (database:
// owner.table), and the versioning tables as the statements name them
// (database:'owner'.A<n>) and as they are created (A<n>).
struct S_names {
    std::string user, adds, deletes, equivalence;
    std::string bare_adds, bare_deletes, bare_equivalence;
    std::string owner, table, rowid;
};

int32_t S_make_names(DB_INSTANCE *instance, const REGISTRATION &r, S_names *n,
                     bool need_rowid = true)
{
    const std::string database = S_field(r.database_name, sizeof(r.database_name));
    n->owner = S_field(r.owner, sizeof(r.owner));
    n->table = S_field(r.table_name, sizeof(r.table_name));
    n->rowid = S_field(r.rowid_column, sizeof(r.rowid_column));
    char name[DB_QUALIFIED_NAME_SIZE] = "";
    if (db_table_make_name(database.c_str(), n->owner.c_str(), n->table.c_str(), name,
                           sizeof(name)) != 0)
        return ZE_INVALID_ARGUMENT;
    n->user = name;
    const int32_t id = r.registration_id;
    const struct {
        int32_t (*make)(DB_INSTANCE *, int32_t, const char *, const char *, char *, size_t);
        std::string *qualified, *bare;
    } tables[] = {{db_make_adds_table_name, &n->adds, &n->bare_adds},
                  {db_make_deletes_table_name, &n->deletes, &n->bare_deletes},
                  {db_make_e_table_name, &n->equivalence, &n->bare_equivalence}};
    for (const auto &t : tables) {
        if (t.make(instance, id, database.c_str(), n->owner.c_str(), name, sizeof(name)) != 0)
            return ZE_INVALID_ARGUMENT;
        *t.qualified = name;
        // The bare name is what follows the owner.
        const size_t dot = t.qualified->rfind('.');
        *t.bare = dot == std::string::npos ? *t.qualified : t.qualified->substr(dot + 1);
    }
    // The row-id column goes into the versioning tables' DDL; granting
    // does without one.
    if (need_rowid &&
        (n->rowid.empty() || db_check_name(n->rowid.c_str(), sizeof(r.rowid_column)) != 0))
        return ZE_INVALID_ARGUMENT;
    return ZE_SUCCESS;
}

// Drops a versioning table after a failure, keeping the failure's record.
void S_drop_quietly(DB_INSTANCE *instance, const std::string &table)
{
    S_keeping_xerr([&] { DB_table_drop(instance, table.c_str()); });
}

// The keyword's clauses; a keyword without rows of its own gives -87.
int32_t S_storage(const REGISTRATION &r, DBTUNE_LAYER_CONFIG *config)
{
    memset(config, 0, sizeof(*config));
    const std::string keyword = S_field(r.config_keyword, sizeof(r.config_keyword));
    if (keyword.empty())
        return ZE_SUCCESS;
    const int32_t rc = db_read_layer_storage_config(config, keyword.c_str());
    if (rc != 0)
        return rc;
    return config->counter < 100 ? ZE_KEYWORD_WITHOUT_ROWS : ZE_SUCCESS;
}

// One index statement of the adds or deletes table, committed; a failure
// is reported with the index's name. The statement's code.
int32_t S_create_index(const char *who, const std::string &sql, const std::string &index)
{
    int32_t rc = db_execute_ddlsql(sql.c_str(), 1, 3);
    if (rc == SQL_SUCCESS_WITH_INFO)
        rc = 0;
    if (rc != 0) {
        VES_print_debug(stderr, "%s Execute Error (%d) creating index %s\n", who,
                        db_global_xerr.code, index.c_str());
        VES_print_debug(stderr, "SQL stmt <%s>\n", sql.c_str());
    }
    return rc;
}

// The administrator's privileges on a table. 0; -37; else -51.
int32_t S_grant_all_privileges_to_zel(const std::string &table)
{
    const int32_t rc = db_execute_ddlsql(
        db_sql_format("GRANT SELECT,DELETE,UPDATE,INSERT ON %s TO %s", table.c_str(), kAdmin)
            .c_str(),
        0, 1);
    if (rc == 0 || rc == SQL_SUCCESS_WITH_INFO)
        return ZE_SUCCESS;
    VES_print_debug(stderr, "S_grant_all_privileges_to_zel Execute Immedediate error (%d).\n", rc);
    return rc == ZE_TABLE_NOT_FOUND ? ZE_TABLE_NOT_FOUND : ZE_DBMS_ERROR;
}

int32_t S_update_statistics(const std::string &owner, const std::string &table)
{
    return db_table_update_statistics(1, owner.c_str(), table.c_str(), DB_STATS_MODE_NONE, 0);
}

// A 32-bit integer column that does not allow NULL.
DB_COLUMN_DEF S_integer(const char *name)
{
    DB_COLUMN_DEF c;
    memset(&c, 0, sizeof(c));
    snprintf(c.name, sizeof(c.name), "%s", name);
    c.type = VE_INTEGER;
    c.nulls_allowed = 0;
    c.rowid_kind = DB_ROWID_NONE;
    return c;
}

// Creates a versioning table. PUBLIC must not keep its default privileges
// on the versions of a table it may not see: when they cannot be taken away
// the new table is dropped again and the revoke's failure answered.
int32_t S_create_table(DB_INSTANCE *instance, const REGISTRATION &r, const std::string &table,
                       const std::string &qualified, int16_t count, const DB_COLUMN_DEF *defs,
                       int32_t storage)
{
    int32_t revoked = 0;
    const int32_t rc = db_table_create_private(
        instance, table.c_str(), count, defs,
        S_field(r.config_keyword, sizeof(r.config_keyword)).c_str(), storage, &revoked);
    if (rc != 0 || revoked == 0)
        return rc;
    S_drop_quietly(instance, qualified);
    return revoked;
}

// Creates a three-column versioning table (all 32-bit integers, NOT NULL).
int32_t S_create_integer_table(DB_INSTANCE *instance, const REGISTRATION &r,
                               const std::string &table, const std::string &qualified,
                               const char *const (&columns)[3], int32_t storage)
{
    const DB_COLUMN_DEF defs[] = {S_integer(columns[0]), S_integer(columns[1]),
                                  S_integer(columns[2])};
    return S_create_table(instance, r, table, qualified, 3, defs, storage);
}

// The layer of a registered layer table, from the layer cache (not owned).
int32_t S_layer(DB_INSTANCE *instance, const S_names &n, LAYER **layer)
{
    *layer = nullptr;
    const int32_t rc = DB_layer_get_info_by_table_name(instance, nullptr, n.user.c_str(), nullptr,
                                                       n.owner.c_str(), layer);
    if (rc == 0 && *layer == nullptr)
        return ZE_TABLE_NOT_FOUND;
    return rc;
}

// The adds table: the user table's columns (the row-id column NOT NULL)
// and ZEL_STATE_ID, its three indexes, the administrator's privileges, the
// user table's grants, indexes, defaults and check constraints, and its
// statistics. A failure after the table exists drops it.
int32_t S_create_adds_table(DB_INSTANCE *instance, const REGISTRATION &r, const S_names &n)
{
    int16_t count = 0;
    DB_COLUMN_DEF *described = nullptr;
    int32_t *lengths = nullptr;
    int16_t *types = nullptr;
    int32_t rc =
        db_describe_table(nullptr, &r, n.user.c_str(), &count, &described, &lengths, &types);
    std::vector<DB_COLUMN_DEF> columns(described, described + (rc == 0 ? count : 0));
    free(described);
    free(lengths);
    free(types);
    if (rc != 0)
        return rc;
    if (columns.empty())
        return ZE_TABLE_NOT_FOUND;
    // The engine's own VE_ROW_ID column is written by the table creation,
    // which takes it only as it stands (nullable): it is made NOT NULL
    // once the table exists.
    const bool engine_rowid = strcasecmp(n.rowid.c_str(), DB_VE_ROW_ID) == 0;
    for (DB_COLUMN_DEF &c : columns)
        if (strcasecmp(S_field(c.name, sizeof(c.name)).c_str(), n.rowid.c_str()) == 0 &&
            strcasecmp(n.rowid.c_str(), DB_VE_ROW_ID) != 0)
            c.nulls_allowed = 0;
    columns.push_back(S_integer("ZEL_STATE_ID"));
    rc = S_create_table(instance, r, n.bare_adds, n.adds, static_cast<int16_t>(columns.size()),
                        columns.data(), DB_STORAGE_ADDS);
    if (rc != 0)
        return rc;
    auto config = std::make_unique<DBTUNE_LAYER_CONFIG>();
    rc = S_storage(r, config.get());
    if (rc == 0 && engine_rowid) {
        rc = db_execute_ddlsql(
            ("ALTER TABLE " + n.adds + " MODIFY (" + DB_VE_ROW_ID + " INTEGER NOT NULL)").c_str(),
            1, 3);
        if (rc == SQL_SUCCESS_WITH_INFO)
            rc = 0;
    }
    const struct {
        std::string name, columns;
        bool unique;
        const char *clause;
    } indexes[] = {
        {n.bare_adds + "_rowid_ix1", n.rowid, false, config->A_INDEX_ROWID},
        {n.adds + "_state_ix2", "ZEL_STATE_ID", false, config->A_INDEX_STATEID},
        {n.adds + "_pk_ix3", n.rowid + ",ZEL_STATE_ID", true, config->A_INDEX_USER},
    };
    for (const auto &index : indexes)
        if (rc == 0)
            rc = S_create_index("S_create_adds_table",
                                db_sql_format("CREATE %sINDEX %s on %s (%s) %s",
                                              index.unique ? "UNIQUE " : "", index.name.c_str(),
                                              n.adds.c_str(), index.columns.c_str(), index.clause),
                                index.name);
    if (rc == 0)
        rc = S_grant_all_privileges_to_zel(n.adds);
    if (rc == 0)
        rc = db_table_copy_grants(n.user.c_str(), n.adds.c_str(), 0);
    if (rc == 0) {
        // The row-id column's own unique index is the table's, not a user's;
        // a layer's unique A<layer id>_IX1 index may be copied (not unique).
        char skip[1][DB_COPY_INDEX_NAME_SIZE];
        snprintf(skip[0], sizeof(skip[0]), "R%d_zel_rowid_uk", r.registration_id);
        char allowed[1][DB_COPY_INDEX_NAME_SIZE];
        int32_t allowed_count = 0;
        if (r.object_flags & REG_LAYER) {
            LAYER *layer = nullptr;
            rc = S_layer(instance, n, &layer);
            if (rc == 0) {
                snprintf(allowed[0], sizeof(allowed[0]), "A%u_IX1",
                         static_cast<unsigned>(layer->layer_id));
                allowed_count = 1;
            }
        }
        if (rc == 0)
            rc = db_table_copy_indexes(
                n.user.c_str(), n.adds.c_str(), skip, 1, 0, allowed, allowed_count,
                S_field(r.config_keyword, sizeof(r.config_keyword)).c_str(), DB_STORAGE_ADDS);
    }
    if (rc == 0)
        rc = db_table_copy_defaults(n.user.c_str(), n.adds.c_str());
    if (rc == 0)
        rc = db_table_copy_check_constraints(n.user.c_str(), n.adds.c_str());
    if (rc == 0)
        rc = S_update_statistics(n.owner, n.adds);
    if (rc != 0)
        S_drop_quietly(instance, n.adds);
    return rc;
}

// The deletes table with its three indexes, the administrator's
// privileges, the user table's grants and its statistics.
int32_t S_create_deletes_table(DB_INSTANCE *instance, const REGISTRATION &r, const S_names &n)
{
    const char *const columns[3] = {"ZEL_STATE_ID", "ZEL_DELETES_ROW_ID", "DELETED_AT"};
    int32_t rc =
        S_create_integer_table(instance, r, n.bare_deletes, n.deletes, columns, DB_STORAGE_DELETES);
    if (rc != 0)
        return rc;
    auto config = std::make_unique<DBTUNE_LAYER_CONFIG>();
    rc = S_storage(r, config.get());
    const struct {
        const char *suffix, *columns;
        bool unique;
        const char *clause;
    } indexes[] = {
        {"_idx1", "ZEL_STATE_ID,ZEL_DELETES_ROW_ID", false, config->D_INDEX_STATE_ROWID},
        {"_idx2", "DELETED_AT", false, config->D_INDEX_DELETED_AT},
        {"_idx3", "ZEL_STATE_ID,ZEL_DELETES_ROW_ID,DELETED_AT", true, config->D_INDEX_STATE_ROWID},
    };
    for (const auto &index : indexes)
        if (rc == 0) {
            const std::string name = n.deletes + index.suffix;
            rc = S_create_index("S_create_deletes_table",
                                db_sql_format("CREATE %sINDEX %s on %s (%s) %s",
                                              index.unique ? "UNIQUE " : "", name.c_str(),
                                              n.deletes.c_str(), index.columns, index.clause),
                                name);
        }
    if (rc == 0)
        rc = S_grant_all_privileges_to_zel(n.deletes);
    if (rc == 0)
        rc = db_table_copy_grants(n.user.c_str(), n.deletes.c_str(), 0);
    if (rc == 0)
        rc = S_update_statistics(n.owner, n.deletes);
    if (rc != 0)
        S_drop_quietly(instance, n.deletes);
    return rc;
}

int32_t S_create_equivalence_table(DB_INSTANCE *instance, const REGISTRATION &r, const S_names &n)
{
    const char *const columns[3] = {"ZEL_STATE_ID", "ZEL_ROW_ID", "EQUIVALENCE_STATE_ID"};
    int32_t rc = S_create_integer_table(instance, r, n.bare_equivalence, n.equivalence, columns,
                                        DB_STORAGE_BUSINESS);
    if (rc != 0)
        return rc;
    const std::string keyword = S_field(r.config_keyword, sizeof(r.config_keyword));
    // The index names are written bare: the index creation takes a name,
    // not a qualified one.
    const struct {
        const char *suffix, *columns;
    } indexes[] = {{"_idx1", "ZEL_STATE_ID,ZEL_ROW_ID"}, {"_idx2", "EQUIVALENCE_STATE_ID"}};
    for (const auto &index : indexes)
        if (rc == 0)
            rc = DB_table_create_index(instance, n.equivalence.c_str(), index.columns, 0, 1,
                                       (n.bare_equivalence + index.suffix).c_str(), keyword.c_str(),
                                       DB_STORAGE_BUSINESS);
    if (rc == 0)
        rc = S_grant_all_privileges_to_zel(n.equivalence);
    if (rc == 0)
        rc = db_table_copy_grants(n.user.c_str(), n.equivalence.c_str(), 0);
    if (rc == 0)
        rc = S_update_statistics(n.owner, n.equivalence);
    if (rc != 0)
        S_drop_quietly(instance, n.equivalence);
    return rc;
}

// ---- lineage routines ---------------------------------------------------------

struct S_global {
    int32_t kind;
    const char *global;
};
const S_global kGlobals[] = {{DB_STATEID_GET, "ZEL_global_stateid_%d"},
                             {DB_LINEAGEID_GET, "ZEL_global_lineageid_%d"},
                             {DB_DIFFID_GET, "ZEL_global_diffid_%d"},
                             {DB_LOGID_GET, "ZEL_global_logid_%d"}};

// A CREATE of a routine: made, or there already.
bool S_created(int32_t rc)
{
    return rc == 0 || rc == SQL_SUCCESS_WITH_INFO || rc == -673;
}

void S_drop_routines(const std::vector<std::string> &names)
{
    std::vector<const char *> list;
    for (const std::string &name : names)
        list.push_back(name.c_str());
    S_keeping_xerr(
        [&] { db_registry_drop_procedure_list(static_cast<int32_t>(list.size()), list.data()); });
}

int32_t S_run_committed(const std::string &sql)
{
    const int32_t rc = db_execute_ddlsql(sql.c_str(), 0, 1);
    return rc == SQL_SUCCESS_WITH_INFO ? 0 : rc;
}

int32_t S_create_globals(int32_t id)
{
    char name[DB_MV_VIEW_NAME_SIZE];
    std::vector<std::string> made;
    std::string globals[4];
    for (size_t i = 0; i < 4; i++) {
        globals[i] = db_sql_format(kGlobals[i].global, id);
        if (db_lineage_routine_name(id, name, sizeof(name), kGlobals[i].kind, 1) != 0) {
            S_drop_routines(made);
            return ZE_INVALID_ARGUMENT;
        }
        int32_t rc = S_run_committed(db_sql_format(
            "CREATE FUNCTION %s () \t\t               RETURNING integer;                        "
            "DEFINE GLOBAL %s integer DEFAULT -1 ;\t\t\t\t\t   RETURN %s;                        "
            "END FUNCTION ",
            name, globals[i].c_str(), globals[i].c_str()));
        if (!S_created(rc)) {
            S_drop_routines(made);
            return rc;
        }
        made.push_back(name);
        rc = S_run_committed(db_sql_format("GRANT EXECUTE ON FUNCTION %s () TO PUBLIC", name));
        if (rc != 0) {
            S_drop_routines(made);
            return rc;
        }
    }
    if (db_lineage_routine_name(id, name, sizeof(name), DB_STATEID_GET, 0) != 0) {
        S_drop_routines(made);
        return ZE_INVALID_ARGUMENT;
    }
    const char *G[4] = {globals[0].c_str(), globals[1].c_str(), globals[2].c_str(),
                        globals[3].c_str()};
    int32_t rc = S_run_committed(db_sql_format(
        "CREATE PROCEDURE %s ( zel_state_id integer, zel_lineage_id integer,  zel_diff_id "
        "integer, zel_start_id integer, zel_logid integer) DEFINE GLOBAL %s integer DEFAULT -1;  "
        "DEFINE GLOBAL %s integer DEFAULT -1;  DEFINE GLOBAL %s integer DEFAULT -1;  DEFINE "
        "GLOBAL %s integer DEFAULT -1;  DEFINE GLOBAL ZEL_global_endid integer DEFAULT -1;  "
        "DEFINE GLOBAL ZEL_global_startid integer DEFAULT -1; IF(zel_state_id IS NOT NULL) THEN  "
        "LET %s = zel_state_id;  LET ZEL_global_endid = zel_state_id;  END IF  IF (zel_lineage_id "
        "IS NOT NULL) THEN  LET %s = zel_lineage_id;  END IF  IF (zel_start_id IS NOT NULL) THEN  "
        "LET ZEL_global_startid = zel_start_id; END IF  IF(zel_diff_id IS NOT NULL) THEN  LET %s "
        "= zel_diff_id;  END IF  IF (zel_logid IS NOT NULL) THEN  LET %s = zel_logid;  END IF  "
        "END PROCEDURE; ",
        name, G[0], G[1], G[2], G[3], G[0], G[1], G[2], G[3]));
    if (!S_created(rc)) {
        S_drop_routines(made);
        return rc;
    }
    made.push_back(name);
    rc = S_run_committed(db_sql_format(
        "GRANT EXECUTE ON PROCEDURE %s (integer, integer, integer, integer, integer) TO PUBLIC",
        name));
    if (rc != 0) {
        S_drop_routines(made);
        return rc;
    }
    return ZE_SUCCESS;
}

int32_t S_drop_globals(int32_t id)
{
    const struct {
        int32_t kind, getter;
    } routines[] = {{DB_LINEAGE_GET, 1},        {DB_SUBLINEAGE_GET, 1}, {DB_DIFFLINEAGE_GET, 1},
                    {DB_DIFFSUBLINEAGE_GET, 1}, {DB_STATEID_GET, 1},    {DB_LINEAGEID_GET, 1},
                    {DB_DIFFID_GET, 1},         {DB_LOGID_GET, 1},      {DB_LINEAGE_GET, 0},
                    {DB_STATEID_GET, 0}};
    std::vector<std::string> names;
    for (const auto &routine : routines) {
        char name[DB_MV_VIEW_NAME_SIZE];
        if (db_lineage_routine_name(id, name, sizeof(name), routine.kind, routine.getter) != 0) {
            S_drop_routines(names);
            return ZE_INVALID_ARGUMENT;
        }
        names.push_back(name);
    }
    S_drop_routines(names);
    return ZE_SUCCESS;
}

// ---- stored views ---------------------------------------------------------------

// The names of the registration's stored views in the connected database.
int32_t S_stored_views(int32_t id, std::vector<std::string> *views)
{
    // Every stored form is "zel_<family>..._view_<n>"; the catalogue keeps
    // view names in lower case.
    const std::string sql = db_sql_format(
        "SELECT tabname FROM systables WHERE tabtype = 'V' AND tabname MATCHES 'zel_*_view_%d'",
        id);
    CLI_STATEMENT cli;
    db_cli_init(&cli);
    char name[DB_NAME_TABLE_SIZE] = "";
    SQLLEN length = 0;
    int32_t rc = db_cli_prepare(&cli, sql.c_str());
    if (rc == 0)
        rc = db_cli_define_by_pos(&cli, SQL_C_CHAR, name, sizeof(name), &length);
    if (rc == 0)
        rc = db_cli_execute_stmt(&cli, 1);
    while (rc == 0) {
        name[0] = '\0';
        rc = db_cli_fetch(&cli);
        if (rc == 0) {
            std::string view = S_field(name, sizeof(name));
            view.erase(view.find_last_not_of(' ') + 1);
            views->push_back(view);
        }
    }
    if (rc != 0 && rc != ZE_NO_MORE_ROWS)
        db_cli_save_error(&cli);
    db_cli_free_last(&cli);
    return rc == ZE_NO_MORE_ROWS ? ZE_SUCCESS : rc;
}

} // namespace

void db_registry_drop_procedure_list(int32_t count, const char *const *names)
{
    for (int32_t i = 0; names != nullptr && i < count; i++)
        if (names[i] != nullptr && db_check_name(names[i], DB_MV_VIEW_NAME_SIZE) == 0)
            db_execute_ddlsql(db_sql_format("drop procedure %s", names[i]).c_str(), 1, 1);
}

int32_t db_registered_table_create_state_globals(int32_t registration_id, int32_t create)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return create ? S_create_globals(registration_id) : S_drop_globals(registration_id);
    });
}

int32_t db_registered_table_drop_stored_views(DB_INSTANCE *instance, int32_t registration_id)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        std::vector<std::string> views;
        int32_t first = S_stored_views(registration_id, &views);
        for (const std::string &view : views) {
            if (db_check_name(view.c_str(), DB_NAME_TABLE_SIZE) != 0)
                continue;
            int32_t rc = DB_view_drop(instance, view.c_str());
            if (rc == ZE_OBJECT_NOT_FOUND || rc == ZE_TABLE_NOT_FOUND)
                rc = 0; // gone meanwhile
            if (first == 0)
                first = rc;
        }
        return first;
    });
}

int32_t db_create_equivalence_table(DB_INSTANCE *instance, const REGISTRATION *registration)
{
    if (registration == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        S_names n;
        int32_t rc = S_make_names(instance, *registration, &n);
        return rc != 0 ? rc : S_create_equivalence_table(instance, *registration, n);
    });
}

namespace
{

// Enabling, in order; each failure undoes the steps before it.
int32_t S_enable(DB_INSTANCE *instance, const REGISTRATION &r, const S_names &n)
{
    const bool layer_table = (r.object_flags & REG_LAYER) != 0;
    const bool equivalences = S_equivalences();
    if (layer_table) {
        LAYER *layer = nullptr;
        // A layer whose record cannot be read here is found out below.
        if (S_layer(instance, n, &layer) == 0 && (layer->eflags & LAYER_LOAD_ONLY)) {
            VES_print_debug(stderr, "DB_registered_table_multiversion: \n\tMulti-version NOT "
                                    "SUPPORTED for LOAD-ONLY layers.\n");
            return ZE_MULTIVERSION_LOAD_ONLY;
        }
    }
    std::vector<std::string> made; // the versioning tables so far
    auto undo = [&](int32_t rc) {
        for (const std::string &table : made)
            S_drop_quietly(instance, table);
        return rc;
    };
    int32_t rc = S_create_adds_table(instance, r, n);
    if (rc != 0)
        return rc;
    made.push_back(n.adds);
    rc = S_create_deletes_table(instance, r, n);
    if (rc != 0)
        return undo(rc);
    made.push_back(n.deletes);
    if (equivalences) {
        rc = S_create_equivalence_table(instance, r, n);
        if (rc != 0)
            return undo(rc);
        made.push_back(n.equivalence);
    }
    rc = S_grant_all_privileges_to_zel(n.table);
    if (rc != 0)
        return undo(rc);
    LAYER *layer = nullptr;
    if (layer_table) {
        rc = S_layer(instance, n, &layer);
        if (rc == 0)
            rc = DB_layer_drop_user_trigger(instance, layer->layer_id);
        if (rc != 0)
            return undo(rc);
        if (S_update_statistics(S_field(layer->owner, sizeof(layer->owner)),
                                S_field(layer->table_name, sizeof(layer->table_name))) != 0)
            fprintf(stderr, "Unable to ANALYZE ZEL layer %s.\n",
                    S_field(layer->table_name, sizeof(layer->table_name)).c_str());
    } else if (S_update_statistics(n.owner, n.table) != 0) {
        fprintf(stderr, "Unable to ANALYZE ZEL table %s.\n", n.table.c_str());
    }
    rc = db_registered_table_create_state_globals(r.registration_id, 1);
    if (rc != 0) {
        fprintf(stderr, "Failed to create SPLS for ZEL table  %s.\n", n.table.c_str());
        // A layer keeps its update trigger while it stays plain.
        if (layer != nullptr)
            S_keeping_xerr([&] { DB_layer_create_user_trigger(instance, layer); });
        return undo(rc);
    }
    return ZE_SUCCESS;
}

// Disabling: every step runs; the first failure is the result.
int32_t S_disable(DB_INSTANCE *instance, const REGISTRATION &r, const S_names &n)
{
    int32_t first = 0;
    DB_EXT_ERROR first_record{};
    auto note = [&](int32_t rc) {
        if (rc != 0 && first == 0) {
            first = rc;
            first_record = db_global_xerr;
        }
    };
    // The stored views read the tables and routines that go below.
    note(db_registered_table_drop_stored_views(instance, r.registration_id));
    std::vector<std::string> tables = {n.adds, n.deletes};
    if (S_equivalences())
        tables.push_back(n.equivalence);
    for (const std::string &table : tables) {
        const int32_t rc = DB_table_drop(instance, table.c_str());
        note(rc == ZE_TABLE_NOT_FOUND ? 0 : rc); // nothing left to drop
    }
    note(db_registration_clear_modified(instance, r.registration_id));
    if (r.object_flags & REG_LAYER) {
        LAYER *layer = nullptr;
        int32_t rc = S_layer(instance, n, &layer);
        if (rc == 0)
            rc = DB_layer_create_user_trigger(instance, layer);
        note(rc);
    }
    if (!S_field(r.imv_view_name, sizeof(r.imv_view_name)).empty())
        note(DB_registered_table_delete_imv_view(instance, &r));
    const int32_t rc = db_registered_table_create_state_globals(r.registration_id, 0);
    if (rc != 0)
        fprintf(stderr, "Failed to create SPLS for ZEL table  %s.\n", n.table.c_str());
    note(rc);
    if (first != 0)
        db_global_xerr = first_record;
    return first;
}

} // namespace

int32_t DB_registered_table_multiversion(DB_INSTANCE *instance, const REGISTRATION *registration,
                                         int32_t enable)
{
    if (registration == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        S_names n;
        const int32_t rc = S_make_names(instance, *registration, &n);
        if (rc != 0)
            return rc;
        return enable ? S_enable(instance, *registration, n)
                      : S_disable(instance, *registration, n);
    });
}

int32_t DB_registered_table_truncate(DB_INSTANCE *instance, const REGISTRATION *registration)
{
    if (registration == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        S_names n;
        int32_t first = S_make_names(instance, *registration, &n);
        if (first != 0)
            return first;
        std::vector<std::string> tables = {n.adds, n.deletes};
        if (S_equivalences())
            tables.push_back(n.equivalence);
        DB_EXT_ERROR first_record{};
        for (const std::string &table : tables) {
            const int32_t rc = DB_table_truncate(instance, table.c_str());
            if (rc != 0 && first == 0) {
                first = rc;
                first_record = db_global_xerr;
            }
        }
        if (first != 0)
            db_global_xerr = first_record;
        return first;
    });
}

int32_t DB_registered_table_remove_state_list(DB_INSTANCE *instance,
                                              const REGISTRATION *registration,
                                              const char *state_list)
{
    if (registration == nullptr || state_list == nullptr)
        return ZE_NULL_POINTER;
    // An empty list would make the IN lists a syntax error.
    if (db_sql_is_blank(state_list))
        return ZE_INVALID_ARGUMENT;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        S_names n;
        int32_t rc = S_make_names(instance, *registration, &n);
        if (rc != 0)
            return rc;
        const char *L = state_list;
        struct Step {
            const std::string *table;
            std::string sql;
        };
        std::vector<Step> steps = {
            {&n.adds,
             db_sql_format("DELETE FROM %s WHERE %s IN (%s)", n.adds.c_str(), "ZEL_STATE_ID", L)},
            {&n.deletes, db_sql_format("DELETE FROM %s WHERE %s IN (%s) OR %s IN (%s)",
                                       n.deletes.c_str(), "ZEL_STATE_ID", L, "DELETED_AT", L)}};
        if (S_equivalences())
            steps.push_back(
                {&n.equivalence, db_sql_format("DELETE FROM %s WHERE %s IN (%s) OR %s IN (%s)",
                                               n.equivalence.c_str(), "ZEL_STATE_ID", L,
                                               "EQUIVALENCE_STATE_ID", L)});
        for (const Step &step : steps) {
            rc = db_state_run_statement(step.sql.c_str(), DB_DML_KEEP_OPEN);
            if (rc != 0) {
                VES_print_debug(stderr,
                                "DB_registered_table_remove_state (%s,(%s)) Execute Immediate "
                                "error (%d).\n",
                                step.table->c_str(), L, rc);
                return rc;
            }
        }
        return ZE_SUCCESS;
    });
}

int32_t DB_registered_table_remove_state(DB_INSTANCE *instance, const REGISTRATION *registration,
                                         int32_t state_id)
{
    char list[16];
    snprintf(list, sizeof(list), "%d", state_id);
    return DB_registered_table_remove_state_list(instance, registration, list);
}

namespace
{

const int32_t kEdits = VE_PRIV_UPDATE | VE_PRIV_INSERT | VE_PRIV_DELETE;

// The user table's own privileges: through its layer and its raster
// column when it has them (each reaching the tables that hang on it),
// else as a plain table. 0 or the first failure.
int32_t S_user_table_access(DB_INSTANCE *instance, const REGISTRATION &r, const S_names &n,
                            bool grant, int32_t mask, const char *grantee, int32_t grant_option)
{
    const bool layer_table = (r.object_flags & REG_LAYER) != 0;
    const bool raster_table = (r.object_flags & REG_RASTER_COLUMN) != 0;
    if (layer_table) {
        LAYER *layer = nullptr;
        int32_t rc = S_layer(instance, n, &layer);
        if (rc == 0)
            rc = grant ? DB_layer_grant_access(instance, layer, mask, grant_option, grantee)
                       : DB_layer_revoke_access(instance, layer, mask, grantee);
        if (rc != 0)
            return rc;
    }
    if (raster_table) {
        RASTERCOLUMN raster{};
        int32_t rc = DB_rastercolumn_get_info_by_name(instance, nullptr, n.user.c_str(), nullptr,
                                                      n.owner.c_str(), &raster);
        if (rc == 0)
            rc = grant
                     ? DB_rastercolumn_grant_access(instance, &raster, mask, grantee, grant_option)
                     : DB_rastercolumn_revoke_access(instance, &raster, mask, grantee);
        if (rc != 0)
            return rc;
    }
    if (layer_table || raster_table)
        return ZE_SUCCESS;
    return grant ? DB_table_grant_access(instance, n.user.c_str(), mask, grant_option, grantee)
                 : DB_table_revoke_access(instance, n.user.c_str(), mask, grantee);
}

// The mask on the adds, deletes and (with ZELEQUIVS) equivalence tables,
// in that order; the first failure ends it.
int32_t S_versioning_access(DB_INSTANCE *instance, const S_names &n, bool grant, int32_t mask,
                            const char *grantee, int32_t grant_option)
{
    std::vector<const std::string *> tables = {&n.adds, &n.deletes};
    if (S_equivalences())
        tables.push_back(&n.equivalence);
    for (const std::string *table : tables) {
        const int32_t rc =
            grant ? DB_table_grant_access(instance, table->c_str(), mask, grant_option, grantee)
                  : DB_table_revoke_access(instance, table->c_str(), mask, grantee);
        if (rc != 0)
            return rc;
    }
    return ZE_SUCCESS;
}

} // namespace

int32_t DB_registered_table_grant_access(DB_INSTANCE *instance, const REGISTRATION *registration,
                                         int32_t mask, const char *grantee, int32_t grant_option)
{
    if (registration == nullptr || grantee == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        S_names n;
        int32_t rc = S_make_names(instance, *registration, &n, false);
        if (rc == 0)
            rc = S_user_table_access(instance, *registration, n, true, mask, grantee, grant_option);
        if (rc != 0 || !(registration->object_flags & REG_MULTIVERSION))
            return rc;
        // An edit of a versioned table writes both adds and deletes rows.
        const int32_t versioning = (mask & kEdits) ? mask | kEdits : mask;
        return S_versioning_access(instance, n, true, versioning, grantee, grant_option);
    });
}

int32_t DB_registered_table_revoke_access(DB_INSTANCE *instance, const REGISTRATION *registration,
                                          int32_t mask, const char *grantee)
{
    if (registration == nullptr || grantee == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        S_names n;
        int32_t rc = S_make_names(instance, *registration, &n, false);
        if (rc == 0)
            rc = S_user_table_access(instance, *registration, n, false, mask, grantee, 0);
        if (rc != 0 || !(registration->object_flags & REG_MULTIVERSION))
            return rc;
        // An edit privilege that stays needs all three on the versioning
        // tables.
        int32_t versioning = mask;
        if (registration->permissions & kEdits & ~mask)
            versioning &= ~kEdits;
        if (versioning == 0)
            return ZE_SUCCESS;
        return S_versioning_access(instance, n, false, versioning, grantee, 0);
    });
}
