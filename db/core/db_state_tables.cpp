// The catalogue's tables of the version tree (db_system_tables.h): VERSIONS
// with the DEFAULT version, STATES with the base state 0, STATE_LINEAGES with
// its trigger and index, and the state id generator (a serial table and the
// SPL function that hands out its next value). The existence test of STATES
// converts a table of an older release, whose rows keep their lineage in the
// columns lineage_length and lineage (base/util/ve_lineage_internal.h lays
// out the blob), into STATE_LINEAGES rows and drops those columns.
#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <string.h>

#include <new>
#include <string>
#include <vector>

#include "base/util/ve_lineage_internal.h"
#include "base/util/ve_version.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_informix_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_system_tables_internal.h"
#include "db/version/db_scan_mode.h"
#include "db/version/db_state.h"
#include "db/version/db_state_internal.h"
#include "db/version/db_version.h"

static_assert(sizeof(SQLINTEGER) == sizeof(int32_t), "SQL_C_LONG binds a 32-bit cell");

// Pairs reserved ahead at most; a larger count the table gives is not
// trusted for an allocation, and more pairs grow the arrays as rows come.
#define S_RESERVE_MAX (1 << 20)

#define S_LINEAGES_DROP "DROP TABLE state_lineages"

namespace
{
// The qualified names the statements of this file use.
struct S_names {
    char states[DB_QUALIFIED_NAME_SIZE];
    char lineages[DB_QUALIFIED_NAME_SIZE];
};

int32_t S_make_names(DB_INSTANCE *instance, S_names *names)
{
    if (db_make_states_table_name(instance, names->states, sizeof(names->states)) != 0 ||
        db_make_state_lineages_table_name(instance, names->lineages, sizeof(names->lineages)) != 0)
        return ZE_INVALID_ARGUMENT;
    return ZE_SUCCESS;
}
} // namespace

// ---- VERSIONS -----------------------------------------------------------------------

int32_t DB_instance_versions_table_create(DB_INSTANCE *instance, const DBTUNE_SYSTEM_CONFIG *config)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        char versions[DB_QUALIFIED_NAME_SIZE];
        if (db_make_versions_table_name(instance, versions, sizeof(versions)) != 0)
            return ZE_INVALID_ARGUMENT;
        std::string sql =
            "CREATE TABLE VERSIONS (name VARCHAR(64) NOT NULL, owner VARCHAR(32) NOT NULL, "
            "version_id integer NOT NULL, status INTEGER NOT NULL, state_id INTEGER NOT NULL, "
            "description VARCHAR(65), parent_name VARCHAR(64), parent_owner VARCHAR(32), "
            "parent_version_id INTEGER, creation_time DATETIME YEAR TO SECOND NOT NULL, "
            "UNIQUE (name,owner) CONSTRAINT versions_uk, "
            "UNIQUE (version_id) CONSTRAINT versions_uk2) ";
        db_storage_clause_append(&sql, config,
                                 config != nullptr ? config->VERSIONS_TABLE : nullptr);
        int32_t rc = db_ddl(sql.c_str(), DB_DDL_RECORD, DB_DDL_COMMIT_EACH);
        if (rc != ZE_SUCCESS)
            return rc;
        // The instance's default version, on the base state.
        VERSION version;
        memset(&version, 0, sizeof(version));
        strcpy(version.name, "DEFAULT");
        strcpy(version.owner, DB_ADMIN_USER);
        version.version_id = 1;
        version.status = VERSION_PUBLIC;
        version.state_id = 0;
        strcpy(version.description, "Instance default version.");
        char stored[DB_VERSION_NAME_OUT_SIZE];
        rc = DB_versions_def_insert(instance, &version, 0, stored);
        if (rc != ZE_SUCCESS)
            return rc;
        return db_grant_select_public(versions);
    });
}

int32_t DB_instance_versions_table_exists(DB_INSTANCE *instance)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        char versions[DB_QUALIFIED_NAME_SIZE];
        if (db_make_versions_table_name(instance, versions, sizeof(versions)) != 0)
            return ZE_INVALID_ARGUMENT;
        return db_catalog_table_probe(versions);
    });
}

// ---- the state id generator ---------------------------------------------------------

// The administrative database, checked before it goes into SQL unquoted.
static int32_t S_admin_database(std::string *out)
{
    char admin[DB_NAME_DATABASE_SIZE];
    int32_t rc = DB_instance_get_admin_database(nullptr, admin);
    if (rc == ZE_SUCCESS)
        rc = db_check_name(admin, sizeof(admin));
    if (rc == ZE_SUCCESS)
        *out = admin;
    return rc;
}

// Makes sure the generator's table is there: 0, also when it exists.
static int32_t S_generator_table(const char *sql, int32_t mode)
{
    int32_t rc = db_ddl(sql, DB_DDL_SILENT, mode);
    return rc == ZE_TABLE_EXISTS ? ZE_SUCCESS : rc;
}

// 0 with *present telling whether the function exists (calling it takes a
// value, uncommitted); else the failing statement's code with *present 0.
static int32_t S_generator_check(bool *present)
{
    *present = false;
    std::string admin;
    int32_t rc = S_admin_database(&admin);
    if (rc != ZE_SUCCESS)
        return rc;
    rc = S_generator_table("CREATE TABLE state_id_generator(state_id serial NOT NULL)",
                           DB_DDL_COMMIT);
    if (rc != ZE_SUCCESS)
        return rc;
    std::string sql = "execute function " + admin + ":state_id_generator()";
    rc = db_ddl(sql.c_str(), DB_DDL_SILENT, DB_DDL_NO_COMMIT);
    if (rc == ZE_SUCCESS)
        *present = true;
    return rc == DB_IFX_NATIVE_ROUTINE_NOT_FOUND ? ZE_SUCCESS : rc;
}

static int32_t S_generator_create(void)
{
    std::string admin;
    int32_t rc = S_admin_database(&admin);
    if (rc != ZE_SUCCESS)
        return rc;
    rc = S_generator_table("CREATE TABLE state_id_generator(state_id serial not NULL)",
                           DB_DDL_COMMIT_EACH);
    if (rc != ZE_SUCCESS)
        return rc;
    std::string sql = std::string("CREATE FUNCTION state_id_generator() RETURNING integer;\n"
                                  "  DEFINE nextval integer;\n"
                                  "  DEFINE creating_time datetime year to second;\n"
                                  "  LET nextval = NULL;\n"
                                  "  LET creating_time = CURRENT;\n"
                                  "  INSERT INTO ") +
                      admin +
                      ":state_id_generator VALUES (0);\n"
                      "  LET nextval = DBINFO('sqlca.sqlerrd1');\n"
                      "  RETURN nextval;\n"
                      "END FUNCTION";
    return db_ddl(sql.c_str(), DB_DDL_SILENT, DB_DDL_COMMIT_EACH);
}

// The generator's table and function, each made where it is missing.
static int32_t S_generator_ensure(void)
{
    bool present = false;
    int32_t rc = S_generator_check(&present);
    if (rc == ZE_SUCCESS && present)
        return ZE_SUCCESS;
    return S_generator_create();
}

// ---- STATES -------------------------------------------------------------------------

int32_t DB_instance_states_table_create(DB_INSTANCE *instance, const DBTUNE_SYSTEM_CONFIG *config)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        S_names names;
        if (S_make_names(instance, &names) != ZE_SUCCESS)
            return ZE_INVALID_ARGUMENT;
        std::string sql =
            "CREATE TABLE STATES (state_id integer NOT NULL, owner VARCHAR(32) NOT NULL, "
            "creation_time DATETIME YEAR TO SECOND NOT NULL, "
            "closing_time DATETIME YEAR TO SECOND, parent_state_id INTEGER NOT NULL, "
            "PRIMARY KEY (state_id) CONSTRAINT states_pk) ";
        db_storage_clause_append(&sql, config, config != nullptr ? config->STATES_TABLE : nullptr);
        int32_t rc = db_ddl(sql.c_str(), DB_DDL_RECORD, DB_DDL_COMMIT);
        if (rc != ZE_SUCCESS)
            return rc;
        // The base state: the root of every lineage, its own parent.
        STATE base;
        memset(&base, 0, sizeof(base));
        memcpy(base.tag, STATE_TAG, sizeof(STATE_TAG));
        strcpy(base.owner, DB_ADMIN_USER);
        rc = DB_states_def_insert(instance, &base);
        if (rc != ZE_SUCCESS)
            return rc;
        rc = db_grant_select_public(names.states);
        if (rc != ZE_SUCCESS)
            return rc;
        return S_generator_ensure();
    });
}

int32_t DB_instance_states_table_exists(DB_INSTANCE *instance)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        S_names names;
        if (S_make_names(instance, &names) != ZE_SUCCESS)
            return ZE_INVALID_ARGUMENT;
        std::string sql = std::string("SELECT lineage_length FROM ") + names.states + " ";
        SQLHSTMT hstmt = SQL_NULL_HSTMT;
        char sqlstate[DB_SQLSTATE_SIZE];
        int32_t rc = db_probe_prepare(&hstmt, sql.c_str(), sqlstate);
        db_free_stmt(&hstmt);
        if (rc != 0) {
            if (strcmp(sqlstate, "S0022") == 0)
                return ZE_SUCCESS; // the current layout
            if (strcmp(sqlstate, "S0002") == 0)
                return ZE_TABLE_NOT_FOUND;
            return rc;
        }
        // An older table: its lineages move to STATE_LINEAGES first.
        rc = DB_instance_lineages_table_exists(instance);
        if (rc == ZE_TABLE_NOT_FOUND) {
            DBTUNE_SYSTEM_CONFIG config;
            memset(&config, 0, sizeof(config));
            DB_read_system_tab_storage_config(instance, "DATA_DICTIONARY", "dbtune.zel", &config);
            rc = DB_instance_lineages_table_create(instance, &config);
        }
        if (rc != ZE_SUCCESS)
            return rc;
        rc = db_ddl("ALTER TABLE states DROP (lineage_length, lineage)", DB_DDL_SILENT,
                    DB_DDL_COMMIT_EACH);
        if (rc != ZE_SUCCESS)
            return rc;
        return S_generator_ensure();
    });
}

// ---- STATE_LINEAGES -----------------------------------------------------------------

// The trigger that removes a deleted state's rows; directive names the index.
static int32_t S_lineage_trigger(const S_names &names, const char *directive)
{
    std::string sql = std::string("CREATE TRIGGER ZEL_LINEAGE_DELETE DELETE ON ") + names.states +
                      " REFERENCING OLD AS old FOR EACH ROW (DELETE " + directive + " FROM " +
                      names.lineages +
                      " where state_id = old.state_id OR  lineage_id = old.state_id)";
    return db_ddl(sql.c_str(), DB_DDL_SILENT, DB_DDL_COMMIT_EACH);
}

// The index on lineage_id; 0 also when it exists.
static int32_t S_lineage_index(void)
{
    int32_t rc = db_ddl("CREATE INDEX lineage_id_idx on STATE_LINEAGES(lineage_id)", DB_DDL_SILENT,
                        DB_DDL_COMMIT_EACH);
    return rc == ZE_INDEX_EXISTS ? ZE_SUCCESS : rc;
}

// A failed conversion leaves no half-filled table behind.
static int32_t S_lineages_undo(int32_t rc)
{
    db_ddl(S_LINEAGES_DROP, DB_DDL_RECORD, DB_DDL_COMMIT_EACH);
    return rc;
}

// The pairs of every state of an older STATES table: (state, ancestor) for
// each ancestor of its lineage, then (state, state). expected (the count the
// table gave) only sizes the arrays: rows added since are kept as well.
static int32_t S_collect_pairs(DB_INSTANCE *instance, int32_t expected,
                               std::vector<int32_t> *states, std::vector<int32_t> *ancestors)
{
    if (expected > 0 && expected <= S_RESERVE_MAX) {
        states->reserve(static_cast<size_t>(expected));
        ancestors->reserve(static_cast<size_t>(expected));
    }
    std::vector<int32_t> ids;
    STATE state;
    int32_t rc;
    for (int32_t mode = DB_SCAN_OPEN;; mode = DB_SCAN_NEXT) {
        rc = db_states_read_for_lineages(instance, mode, nullptr, &state);
        if (rc != ZE_SUCCESS)
            break;
        // The reader checked the blob; decoding stays within its own bounds.
        rc = ves_lineage_decode_state(&state, &ids);
        if (rc != ZE_SUCCESS)
            break;
        for (int32_t id : ids) {
            states->push_back(state.state_id);
            ancestors->push_back(id);
        }
        states->push_back(state.state_id);
        ancestors->push_back(state.state_id);
    }
    db_states_read_for_lineages(instance, DB_SCAN_CLOSE, nullptr, &state);
    return rc == ZE_NO_MORE_ROWS ? ZE_SUCCESS : rc;
}

// Inserts the pairs one by one, each committed. 0; else the failure
// (-51 with the connection's record filled for a CLI step).
static int32_t S_insert_pairs(const S_names &names, const std::vector<int32_t> &states,
                              const std::vector<int32_t> &ancestors)
{
    std::string sql = std::string("INSERT INTO ") + names.lineages +
                      " (state_id, lineage_id)        VALUES (?,?)";
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int rc = db_prepare_cursor(nullptr, &hstmt, sql.c_str(), 0);
    if (rc != 0)
        return db_system_fail(&hstmt, rc);
    int32_t state_id = 0;
    int32_t lineage_id = 0;
    rc = SQLBindParameter(hstmt, 1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &state_id, 0,
                          nullptr);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindParameter(hstmt, 2, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &lineage_id,
                              0, nullptr);
    if (!SQL_SUCCEEDED(rc))
        return db_system_fail(&hstmt, rc);
    for (size_t i = 0; i < states.size(); i++) {
        state_id = states[i];
        lineage_id = ancestors[i];
        CLI_DIAG_RECORD failure;
        rc = db_execute_stmt_diag(&hstmt, 1, DB_EXEC_ARRAY, &failure);
        if (rc != 0) {
            // An unmapped refusal of the execute is recorded here.
            if (rc == ZE_DBMS_ERROR && db_global_xerr.code == 0)
                db_set_xerr_from_diag(failure);
            db_free_stmt(&hstmt);
            return rc;
        }
    }
    db_free_stmt(&hstmt);
    return ZE_SUCCESS;
}

int32_t DB_instance_lineages_table_create(DB_INSTANCE *instance, const DBTUNE_SYSTEM_CONFIG *config)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        S_names names;
        if (S_make_names(instance, &names) != ZE_SUCCESS)
            return ZE_INVALID_ARGUMENT;
        std::string sql = std::string("CREATE TABLE ") + names.lineages +
                          " (state_id INTEGER NOT NULL, lineage_id INTEGER NOT NULL, "
                          "PRIMARY KEY (state_id, lineage_id) CONSTRAINT lineage_pk)";
        db_storage_clause_append(&sql, config,
                                 config != nullptr ? config->STATE_LINEAGES_TABLE : nullptr);
        int32_t rc = db_ddl(sql.c_str(), DB_DDL_SILENT, DB_DDL_COMMIT_EACH);
        if (rc != ZE_SUCCESS)
            return rc;
        rc = db_grant_select_public(names.lineages);
        if (rc != ZE_SUCCESS)
            return S_lineages_undo(rc);

        // How many pairs an older STATES table holds.
        DB_instance_clear_xerr();
        sql = std::string("SELECT SUM (lineage_length) + COUNT (state_id) FROM   ") + names.states;
        int32_t count = 0;
        CLI_DIAG_RECORD diag;
        bool at_prepare = false;
        rc = db_select_one_int(sql.c_str(), &count, &diag, &at_prepare);
        if (rc != ZE_SUCCESS && rc != SQL_NO_DATA) {
            if (at_prepare && strcmp(diag.sqlstate, "S0022") == 0)
                return DB_instance_lineages_table_exists(instance); // nothing to convert
            db_set_xerr_from_diag(diag);
            return S_lineages_undo(ZE_DBMS_ERROR);
        }
        if (count == 0) {
            fprintf(stderr, "No states found in %s table.\n", names.states);
            return ZE_SUCCESS;
        }

        std::vector<int32_t> states, ancestors;
        try {
            rc = S_collect_pairs(instance, count, &states, &ancestors);
        } catch (const std::bad_alloc &) {
            STATE closing;
            db_states_read_for_lineages(instance, DB_SCAN_CLOSE, nullptr, &closing);
            rc = ZE_OUT_OF_MEMORY;
        }
        if (rc == ZE_SUCCESS)
            rc = S_insert_pairs(names, states, ancestors);
        if (rc != ZE_SUCCESS)
            return S_lineages_undo(rc);

        rc = S_lineage_trigger(names, "/*+INDEX(STATE_LINEAGES LINEAGE_ID_IDX)*/");
        if (rc != ZE_SUCCESS)
            return rc;
        return S_lineage_index();
    });
}

int32_t DB_instance_lineages_table_exists(DB_INSTANCE *instance)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        S_names names;
        if (S_make_names(instance, &names) != ZE_SUCCESS)
            return ZE_INVALID_ARGUMENT;
        DB_instance_clear_xerr();
        std::string sql = std::string("SELECT count(*) FROM  ") + names.lineages +
                          " WHERE  state_id = 0 AND lineage_id = 0";
        int32_t count = 0;
        CLI_DIAG_RECORD diag;
        bool at_prepare = false;
        int32_t rc = db_select_one_int(sql.c_str(), &count, &diag, &at_prepare);
        if (rc != ZE_SUCCESS && rc != SQL_NO_DATA) {
            if (strcmp(diag.sqlstate, "S0002") == 0)
                return ZE_TABLE_NOT_FOUND;
            db_set_xerr_from_diag(diag);
            return ZE_DBMS_ERROR;
        }
        if (count == 0) {
            // Written only when STATES holds the base state.
            sql = std::string("INSERT INTO ") + names.lineages +
                  " SELECT state_id,state_id FROM   " + names.states + " WHERE  state_id = 0";
            rc = db_ddl(sql.c_str(), DB_DDL_RECORD, DB_DDL_COMMIT);
            if (rc != ZE_SUCCESS && rc != SQL_NO_DATA)
                return rc;
        }
        rc = S_lineage_trigger(names, "/*+INDEX(STATE_LINEAGES lineage_id_idx)*/");
        if (rc != ZE_SUCCESS)
            return rc;
        return S_lineage_index();
    });
}
