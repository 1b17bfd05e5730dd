// The catalogue tables (db_system_tables.h): their schema, the tests that
// they exist with the repairs of older layouts, their creation, the highest
// ids in use, and the steps the catalogue code shares
// (db_system_tables_internal.h). The states and their lineages are in
// db_state_tables.cpp, the release table in db_release_table.cpp.
#include "db/core/db_system_tables_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <string.h>

#include <memory>
#include <new>
#include <string>

#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_dbtune_internal.h"
#include "db/core/db_informix_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_type_name.h"
#include "db/stream/db_stream_prepare.h"

static_assert(sizeof(SQLINTEGER) == sizeof(int32_t), "SQL_C_LONG binds a 32-bit cell");

// Codes of the LAYERS test.
#define S_NO_LAYERS_TABLE (-78)
#define S_LAYERS_NEIGHBOUR_MISSING (-163)

// ---- shared steps -------------------------------------------------------------------

int32_t db_ddl_result(int32_t rc)
{
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO ? ZE_SUCCESS : rc;
}

int32_t db_ddl(const char *sql, int32_t record_error, int32_t mode)
{
    return db_ddl_result(db_execute_ddlsql(sql, record_error, mode));
}

int32_t db_grant_select_public(const char *table)
{
    std::string sql = std::string("GRANT SELECT ON ") + table + " TO PUBLIC";
    return db_ddl(sql.c_str(), DB_DDL_RECORD, DB_DDL_COMMIT);
}

int32_t db_system_fail(SQLHSTMT *hstmt, int32_t rc)
{
    bool have = hstmt != nullptr && *hstmt != SQL_NULL_HSTMT;
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, have ? hstmt : nullptr, rc);
    db_set_xerr_from_diag(diag);
    if (hstmt != nullptr)
        db_free_stmt(hstmt);
    return ZE_DBMS_ERROR;
}

void db_storage_clause_append(std::string *sql, const DBTUNE_SYSTEM_CONFIG *config,
                              const char *clause)
{
    if (config == nullptr || clause == nullptr || config->counter < DBTUNE_COUNTER_OWN)
        return;
    sql->append(clause, strnlen(clause, DBTUNE_CLAUSE_SIZE));
}

int32_t db_catalog_table_probe(const char *table)
{
    std::string sql = std::string("SELECT * FROM ") + table;
    int32_t rc = db_ddl(sql.c_str(), DB_DDL_SILENT, DB_DDL_NO_COMMIT);
    return rc == SQL_NO_DATA ? ZE_SUCCESS : rc;
}

int32_t db_probe_prepare(SQLHSTMT *hstmt, const char *sql, char *sqlstate)
{
    sqlstate[0] = '\0';
    auto stream = std::make_unique<DB_STREAM>();
    memset(stream.get(), 0, sizeof(DB_STREAM));
    int rc = db_prepare_cursor(db_stream_xerr(stream.get()), hstmt, sql, 0);
    if (rc == 0)
        return 0;
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, *hstmt != SQL_NULL_HSTMT ? hstmt : nullptr, rc);
    memcpy(sqlstate, diag.sqlstate, DB_SQLSTATE_SIZE);
    sqlstate[DB_SQLSTATE_SIZE - 1] = '\0';
    return rc != 0 ? rc : ZE_FAILURE;
}

int32_t db_select_one_int(const char *sql, int32_t *value, CLI_DIAG_RECORD *diag, bool *at_prepare)
{
    *value = 0;
    *at_prepare = false;
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    SQLLEN length = 0;
    int rc = db_prepare_cursor(nullptr, &hstmt, sql, 0);
    if (rc != 0)
        *at_prepare = true;
    else
        rc = SQLBindCol(hstmt, 1, SQL_C_LONG, value, 0, &length);
    if (SQL_SUCCEEDED(rc))
        rc = SQLExecute(hstmt);
    if (SQL_SUCCEEDED(rc))
        rc = SQLFetch(hstmt);
    if (rc == SQL_NO_DATA || (SQL_SUCCEEDED(rc) && length == SQL_NULL_DATA))
        *value = 0;
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
        db_get_diag_record(diag, hstmt != SQL_NULL_HSTMT ? &hstmt : nullptr, rc);
    db_free_stmt(&hstmt);
    return SQL_SUCCEEDED(rc) ? ZE_SUCCESS : rc;
}

// ---- one table ----------------------------------------------------------------------

namespace
{
typedef int32_t (*S_name_builder)(DB_INSTANCE *, char *, size_t);

// A catalogue table as its create and its test see it.
struct S_table {
    S_name_builder name;
    const char *create; // the CREATE TABLE text, its storage clause aside
    size_t clause;      // offset of the clause in DBTUNE_SYSTEM_CONFIG
    int32_t mode;       // the CREATE's db_execute_ddlsql mode
};

// The qualified name of a table into a std::string; "" when it cannot be built.
std::string S_name(const S_table &table, DB_INSTANCE *instance)
{
    char out[DB_QUALIFIED_NAME_SIZE];
    if (table.name(instance, out, sizeof(out)) != 0)
        return std::string();
    return out;
}

int32_t S_geometry_columns_name(DB_INSTANCE *, char *out, size_t size)
{
    return db_make_geometry_columns_name(out, size);
}
int32_t S_metadata_name(DB_INSTANCE *, char *out, size_t size)
{
    return db_make_metadata_table_name(out, size);
}
int32_t S_raster_columns_name(DB_INSTANCE *, char *out, size_t size)
{
    return db_make_raster_columns_name(out, size);
}
int32_t S_locators_name(DB_INSTANCE *, char *out, size_t size)
{
    return db_make_locators_table_name(out, size);
}

#define S_CLAUSE(field) offsetof(DBTUNE_SYSTEM_CONFIG, field)

const S_table S_geometry_columns = {
    S_geometry_columns_name,
    "CREATE TABLE GEOMETRY_COLUMNS (f_table_catalog VARCHAR(32) NOT NULL, "
    "f_table_schema VARCHAR(32) NOT NULL, f_table_name VARCHAR(128) NOT NULL, "
    "f_geometry_column VARCHAR(128) NOT NULL, storage_type INTEGER, "
    "geometry_type INTEGER NOT NULL, coord_dimension INTEGER, srid INTEGER NOT NULL, "
    "PRIMARY KEY (f_table_catalog, f_table_schema, f_table_name, f_geometry_column) "
    "CONSTRAINT geocol_pk, FOREIGN KEY (srid) REFERENCES spatial_references (srid) "
    "CONSTRAINT geocol_fk) ",
    S_CLAUSE(B_STORAGE), DB_DDL_COMMIT_EACH};

const S_table S_metadata = {
    S_metadata_name,
    "CREATE TABLE METADATA (record_id integer NOT NULL, object_name VARCHAR(32) NOT NULL, "
    "object_owner VARCHAR(32) NOT NULL, object_type INTEGER NOT NULL, class_name VARCHAR(32), "
    "property VARCHAR(32), prop_value VARCHAR(255), description VARCHAR(65), "
    "creation_date DATETIME YEAR TO SECOND NOT NULL, "
    "PRIMARY KEY (record_id) CONSTRAINT metadata_pk)",
    S_CLAUSE(B_STORAGE), DB_DDL_COMMIT};

const S_table S_raster_columns = {
    S_raster_columns_name,
    "CREATE TABLE RASTER_COLUMNS (rastercolumn_id integer NOT NULL, description VARCHAR(65), "
    "database_name VARCHAR(32) NOT NULL, owner VARCHAR(32) NOT NULL, "
    "table_name VARCHAR(128) NOT NULL, raster_column VARCHAR(128) NOT NULL, "
    "cdate INTEGER NOT NULL, config_keyword VARCHAR(32), minimum_id INTEGER, "
    "base_rastercolumn_id INTEGER NOT NULL, rastercolumn_mask INTEGER NOT NULL, srid INTEGER, "
    "UNIQUE (rastercolumn_id) CONSTRAINT rascol_uk, "
    "PRIMARY KEY (owner, table_name, raster_column) CONSTRAINT rascol_pk, "
    "FOREIGN KEY (srid) REFERENCES spatial_references (srid) CONSTRAINT rascol_fk) ",
    S_CLAUSE(B_STORAGE), DB_DDL_COMMIT};

const S_table S_table_registry = {
    db_make_table_registry_name,
    "CREATE TABLE TABLE_REGISTRY (registration_id integer NOT NULL, "
    "database_name VARCHAR(32) NOT NULL, owner VARCHAR(32) NOT NULL, "
    "table_name VARCHAR(128) NOT NULL, rowid_column VARCHAR(32), description VARCHAR(65), "
    "object_flags INTEGER NOT NULL, registration_date INTEGER NOT NULL, "
    "config_keyword VARCHAR(32), minimum_id INTEGER, imv_view_name VARCHAR(32), "
    "PRIMARY KEY (registration_id) CONSTRAINT registry_pk, "
    "UNIQUE (database_name,table_name,owner) CONSTRAINT registry_uk2) ",
    S_CLAUSE(B_STORAGE), DB_DDL_COMMIT_EACH};

const S_table S_mvtables_modified = {db_make_mvtables_modified_name,
                                     "CREATE TABLE MVTABLES_MODIFIED (state_id INTEGER NOT NULL, "
                                     "registration_id INTEGER NOT NULL) ",
                                     S_CLAUSE(MVTABLES_MODIFIED_TABLE), DB_DDL_COMMIT};

const S_table S_locators = {
    S_locators_name,
    "CREATE TABLE LOCATORS (locator_id INTEGER NOT NULL, name VARCHAR(32) NOT NULL, "
    "owner VARCHAR(32) NOT NULL, category VARCHAR(32) NOT NULL, type INTEGER NOT NULL, "
    "description VARCHAR(64) NOT NULL, PRIMARY KEY (locator_id) CONSTRAINT locators_pk, "
    "UNIQUE (name,owner) CONSTRAINT locators_uk) ",
    S_CLAUSE(B_STORAGE), DB_DDL_COMMIT_EACH};

const char *S_clause(const DBTUNE_SYSTEM_CONFIG *config, size_t offset)
{
    if (config == nullptr)
        return nullptr;
    return reinterpret_cast<const char *>(config) + offset;
}

int32_t S_probe(const S_table &table, DB_INSTANCE *instance)
{
    std::string name = S_name(table, instance);
    if (name.empty())
        return ZE_INVALID_ARGUMENT;
    return db_catalog_table_probe(name.c_str());
}

// The CREATE with its clause, recording errors.
int32_t S_create_only(const S_table &table, const DBTUNE_SYSTEM_CONFIG *config)
{
    std::string sql = table.create;
    db_storage_clause_append(&sql, config, S_clause(config, table.clause));
    return db_ddl(sql.c_str(), DB_DDL_RECORD, table.mode);
}

// The CREATE and the grant.
int32_t S_create(const S_table &table, DB_INSTANCE *instance, const DBTUNE_SYSTEM_CONFIG *config)
{
    std::string name = S_name(table, instance);
    if (name.empty())
        return ZE_INVALID_ARGUMENT;
    int32_t rc = S_create_only(table, config);
    if (rc != ZE_SUCCESS)
        return rc;
    return db_grant_select_public(name.c_str());
}
} // namespace

// ---- LAYERS -------------------------------------------------------------------------

// The CREATE TABLE of LAYERS with the DBMS's type names.
static int32_t S_layers_create_text(const DBTUNE_SYSTEM_CONFIG *config, std::string *sql)
{
    const char *integer = nullptr;
    const char *character = nullptr;
    const char *real = nullptr;
    int32_t rc = DB_get_data_type(SQL_INTEGER, &integer);
    if (rc == 0)
        rc = DB_get_data_type(SQL_VARCHAR, &character);
    if (rc == 0)
        rc = DB_get_data_type(SQL_DOUBLE, &real);
    if (rc != 0)
        return rc;
    char geometry_columns[DB_QUALIFIED_NAME_SIZE];
    rc = db_make_geometry_columns_name(geometry_columns, sizeof(geometry_columns));
    if (rc != 0)
        return rc;
    const std::string i = integer, c = character, d = real;
    *sql = "CREATE TABLE LAYERS (layer_id " + i + ", description " + c + "(65), database_name " +
           c + "(32), owner " + c + "(32) NOT NULL, table_name " + c +
           "(128) NOT NULL, spatial_column " + c + "(128) NOT NULL, eflags " + i +
           " NOT NULL, layer_mask " + i + " NOT NULL, minx " + d + " NOT NULL, miny " + d +
           " NOT NULL, maxx " + d + " NOT NULL, maxy " + d + " NOT NULL, cdate " + i +
           " NOT NULL, layer_config " + c + "(32), optimal_array_size " + i + ", stats_date " + i +
           ", minimum_id " + i + ", srid " + i + " NOT NULL, base_layer_id " + i +
           " NOT NULL, PRIMARY KEY (database_name,owner,table_name,spatial_column) "
           "CONSTRAINT zel.layers_pk, UNIQUE (layer_id) CONSTRAINT layer_uk1, "
           "UNIQUE (database_name, owner, table_name) CONSTRAINT layer_uk2, "
           "FOREIGN KEY (database_name,owner,table_name,spatial_column) REFERENCES " +
           geometry_columns +
           " (f_table_catalog,f_table_schema,f_table_name,f_geometry_column) "
           "CONSTRAINT layers_fk, foreign key (srid) references zel.spatial_references (srid) "
           "constraint zel.spatial_ref_fk) ";
    db_storage_clause_append(sql, config, config != nullptr ? config->B_STORAGE : nullptr);
    return ZE_SUCCESS;
}

// Takes the table from PUBLIC, then gives it back for reading only.
static int32_t S_layers_grant(const char *layers)
{
    std::string sql = std::string("revoke all on ") + layers + " from public";
    int32_t rc = db_ddl(sql.c_str(), DB_DDL_RECORD, DB_DDL_COMMIT);
    if (rc != ZE_SUCCESS)
        return rc;
    sql = std::string("grant select on ") + layers + " to public";
    return db_ddl(sql.c_str(), DB_DDL_RECORD, DB_DDL_COMMIT);
}

int32_t DB_instance_layers_table_create(DB_INSTANCE *instance, const DBTUNE_SYSTEM_CONFIG *config)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        std::string sql;
        int32_t rc = S_layers_create_text(config, &sql);
        if (rc != 0)
            return rc;
        char layers[DB_QUALIFIED_NAME_SIZE];
        rc = db_make_layers_table_name(instance, layers, sizeof(layers));
        if (rc != 0)
            return rc;
        rc = db_ddl(sql.c_str(), DB_DDL_RECORD, DB_DDL_COMMIT);
        if (rc == DB_IFX_NATIVE_CONSTRAINT_EXISTS) {
            // A catalogue of an older release keeps the primary key's name on
            // its renamed table; the name is that release's, whatever the
            // administrative database is now.
            db_ddl("Alter table zel:zel.layers_30 drop constraint layers_pk", DB_DDL_RECORD,
                   DB_DDL_COMMIT);
            rc = db_ddl(sql.c_str(), DB_DDL_RECORD, DB_DDL_COMMIT);
        }
        if (rc != ZE_SUCCESS)
            return rc;
        return S_layers_grant(layers);
    });
}

// Prepares "SELECT srid FROM" a neighbour of LAYERS on the probe's stream:
// 0, -163 when the table is missing, else the prepare's code.
static int32_t S_layers_neighbour(DB_STREAM *stream, const char *table)
{
    std::string sql = std::string("SELECT srid FROM ") + table;
    int32_t rc = DB_stream_prepare_sql(stream, sql.c_str());
    db_free_stmt(&stream->stmt_main);
    return rc == ZE_TABLE_NOT_FOUND ? S_LAYERS_NEIGHBOUR_MISSING : rc;
}

int32_t DB_instance_layers_table_exists(DB_INSTANCE *instance)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        char layers[DB_QUALIFIED_NAME_SIZE];
        char spatial_references[DB_QUALIFIED_NAME_SIZE];
        char geometry_columns[DB_QUALIFIED_NAME_SIZE];
        if (db_make_layers_table_name(instance, layers, sizeof(layers)) != 0 ||
            db_make_spatial_references_name(instance, spatial_references,
                                            sizeof(spatial_references)) != 0 ||
            db_make_geometry_columns_name(geometry_columns, sizeof(geometry_columns)) != 0)
            return ZE_INVALID_ARGUMENT;
        std::string sql = std::string("SELECT layer_mask FROM ") + layers;
        SQLHSTMT hstmt = SQL_NULL_HSTMT;
        char sqlstate[DB_SQLSTATE_SIZE];
        int32_t rc = db_probe_prepare(&hstmt, sql.c_str(), sqlstate);
        db_free_stmt(&hstmt);
        if (rc != 0) {
            if (strcmp(sqlstate, "S0002") == 0)
                return S_NO_LAYERS_TABLE;
            if (strcmp(sqlstate, "S0022") == 0)
                return ZE_COLUMN_NOT_FOUND;
            return ZE_FAILURE;
        }
        // Errors land in a stream record of the probe's own.
        auto stream = std::make_unique<DB_STREAM>();
        memset(stream.get(), 0, sizeof(DB_STREAM));
        rc = S_layers_neighbour(stream.get(), spatial_references);
        if (rc != S_LAYERS_NEIGHBOUR_MISSING) {
            // The first neighbour's failure stands: a good GEOMETRY_COLUMNS
            // does not make up for a SPATIAL_REFERENCES without srid.
            int32_t second = S_layers_neighbour(stream.get(), geometry_columns);
            if (rc == ZE_SUCCESS)
                rc = second;
        }
        db_commit();
        return rc;
    });
}

// ---- SPATIAL_REFERENCES -------------------------------------------------------------

#define S_SPATIAL_REF_VIEW "zel.spatial_ref_sys"

int32_t DB_instance_spatial_ref_table_create(DB_INSTANCE *instance,
                                             const DBTUNE_SYSTEM_CONFIG *config)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        char table[DB_QUALIFIED_NAME_SIZE];
        int32_t rc = db_make_spatial_references_name(instance, table, sizeof(table));
        if (rc != 0)
            return rc;
        std::string sql =
            "CREATE TABLE SPATIAL_REFERENCES (srid integer NOT NULL, description VARCHAR(64), "
            "auth_name VARCHAR(255), auth_srid INTEGER, falsex FLOAT NOT NULL, "
            "falsey FLOAT NOT NULL, xyunits FLOAT NOT NULL, falsez FLOAT NOT NULL, "
            "zunits FLOAT NOT NULL, falsem FLOAT NOT NULL, munits FLOAT NOT NULL, "
            "srtext CHAR(2048) NOT NULL, PRIMARY KEY (srid) CONSTRAINT zel.spref_pk) ";
        db_storage_clause_append(&sql, config, config != nullptr ? config->B_STORAGE : nullptr);
        // An existing table is kept: it may only lack its view.
        rc = db_ddl(sql.c_str(), DB_DDL_RECORD, DB_DDL_COMMIT_EACH);
        if (rc == ZE_SUCCESS || rc == ZE_TABLE_EXISTS)
            rc = db_ddl("create view " S_SPATIAL_REF_VIEW " as select srid, auth_name, auth_srid, "
                        "srtext from zel.spatial_references",
                        DB_DDL_RECORD, DB_DDL_COMMIT);
        if (rc != ZE_SUCCESS && rc != ZE_TABLE_EXISTS)
            return rc;
        rc = db_grant_select_public(table);
        if (rc != ZE_SUCCESS)
            return rc;
        return db_grant_select_public(S_SPATIAL_REF_VIEW);
    });
}

int32_t DB_instance_spatial_ref_table_exists(DB_INSTANCE *instance)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        char table[DB_QUALIFIED_NAME_SIZE];
        if (db_make_spatial_references_name(instance, table, sizeof(table)) != 0)
            return ZE_INVALID_ARGUMENT;
        std::string sql = std::string("SELECT description FROM ") + table + " ";
        SQLHSTMT hstmt = SQL_NULL_HSTMT;
        char sqlstate[DB_SQLSTATE_SIZE];
        int32_t rc = db_probe_prepare(&hstmt, sql.c_str(), sqlstate);
        if (rc != 0) {
            if (strcmp(sqlstate, "S0002") == 0) {
                db_free_stmt(&hstmt);
                return ZE_TABLE_NOT_FOUND;
            }
            rc = strcmp(sqlstate, "S0022") == 0 ? ZE_COLUMN_NOT_FOUND : ZE_FAILURE;
        }
        if (rc == ZE_COLUMN_NOT_FOUND) {
            // Tables of older releases have no description.
            sql = std::string("ALTER TABLE ") + table + " ADD (description CHAR(64) NULL)";
            rc = db_ddl(sql.c_str(), DB_DDL_SILENT, DB_DDL_COMMIT_EACH);
        }
        if (rc == ZE_SUCCESS) {
            sql = "SELECT count(*) FROM " S_SPATIAL_REF_VIEW " ";
            if (hstmt == SQL_NULL_HSTMT)
                rc = db_probe_prepare(&hstmt, sql.c_str(), sqlstate);
            else if (db_prepare_stmt(nullptr, &hstmt, sql.c_str()) != 0) {
                CLI_DIAG_RECORD diag;
                db_get_diag_record(&diag, &hstmt, SQL_ERROR);
                memcpy(sqlstate, diag.sqlstate, DB_SQLSTATE_SIZE);
                rc = ZE_FAILURE;
            }
            if (rc != 0)
                rc = strcmp(sqlstate, "S0002") == 0 ? ZE_TABLE_NOT_FOUND : ZE_FAILURE;
        }
        db_free_stmt(&hstmt);
        return rc;
    });
}

// ---- the other tables ---------------------------------------------------------------

int32_t DB_instance_geocol_table_create(DB_INSTANCE *instance, const DBTUNE_SYSTEM_CONFIG *config)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&]() { return S_create(S_geometry_columns, instance, config); });
}
int32_t DB_instance_geocol_table_exists(DB_INSTANCE *instance)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() { return S_probe(S_geometry_columns, instance); });
}
int32_t DB_instance_metadata_table_create(DB_INSTANCE *instance, const DBTUNE_SYSTEM_CONFIG *config)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&]() { return S_create(S_metadata, instance, config); });
}
int32_t DB_instance_metadata_table_exists(DB_INSTANCE *instance)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() { return S_probe(S_metadata, instance); });
}
int32_t DB_instance_rascol_table_create(DB_INSTANCE *instance, const DBTUNE_SYSTEM_CONFIG *config)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&]() { return S_create(S_raster_columns, instance, config); });
}
int32_t DB_instance_rascol_table_exists(DB_INSTANCE *instance)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() { return S_probe(S_raster_columns, instance); });
}
int32_t DB_instance_registry_table_create(DB_INSTANCE *instance, const DBTUNE_SYSTEM_CONFIG *config)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&]() { return S_create(S_table_registry, instance, config); });
}
int32_t DB_instance_registry_table_exists(DB_INSTANCE *instance)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() { return S_probe(S_table_registry, instance); });
}
int32_t DB_instance_zellocators_table_create(DB_INSTANCE *instance,
                                             const DBTUNE_SYSTEM_CONFIG *config)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&]() { return S_create(S_locators, instance, config); });
}
int32_t DB_instance_zellocators_table_exists(DB_INSTANCE *instance)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() { return S_probe(S_locators, instance); });
}

int32_t DB_instance_modified_table_create(DB_INSTANCE *instance, const DBTUNE_SYSTEM_CONFIG *config)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        std::string name = S_name(S_mvtables_modified, instance);
        if (name.empty())
            return ZE_INVALID_ARGUMENT;
        int32_t rc = S_create_only(S_mvtables_modified, config);
        if (rc != ZE_SUCCESS)
            return rc;
        std::string sql =
            " CREATE INDEX mvtables_mod_ix ON mvtables_modified (state_id,registration_id) ";
        db_storage_clause_append(&sql, config,
                                 config != nullptr ? config->MVTABLES_MODIFIED_INDEX : nullptr);
        rc = db_ddl(sql.c_str(), DB_DDL_SILENT, DB_DDL_COMMIT);
        if (rc != ZE_SUCCESS)
            return rc;
        return db_grant_select_public(name.c_str());
    });
}
int32_t DB_instance_modified_table_exists(DB_INSTANCE *instance)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&]() { return S_probe(S_mvtables_modified, instance); });
}

// ---- names and ids ------------------------------------------------------------------

char *DB_instance_get_admin_user(DB_INSTANCE *, char *out)
{
    if (out != nullptr)
        memcpy(out, DB_ADMIN_USER, sizeof(DB_ADMIN_USER));
    return out;
}

// "SELECT MAX(<column>) FROM  <table>" into *out.
static int32_t S_max_id(const char *column, const std::string &table, int32_t *out)
{
    if (out == nullptr)
        return ZE_NULL_POINTER;
    if (table.empty())
        return ZE_INVALID_ARGUMENT;
    DB_instance_clear_xerr();
    *out = 0;
    std::string sql = std::string("SELECT MAX(") + column + ") FROM  " + table;
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int rc = db_prepare_cursor(nullptr, &hstmt, sql.c_str(), 0);
    if (rc != 0) {
        db_free_stmt(&hstmt);
        return rc;
    }
    SQLLEN length = 0;
    rc = SQLBindCol(hstmt, 1, SQL_C_LONG, out, 0, &length);
    if (!SQL_SUCCEEDED(rc))
        return db_system_fail(&hstmt, rc);
    SQLULEN rows = 0;
    rc = db_execute_and_fetch(&hstmt, 1, 1, &rows);
    if (rc == ZE_SUCCESS && length == SQL_NULL_DATA)
        *out = 0;
    if (rc == ZE_SUCCESS || rc == SQL_NO_DATA || rc == DB_NO_MORE_DATA ||
        rc == ZE_TABLE_NOT_FOUND) {
        if (rc != ZE_SUCCESS)
            *out = 0;
        db_free_stmt(&hstmt);
        return rc;
    }
    // The fetch of the primitive records its own failure.
    if (db_global_xerr.code != 0) {
        db_free_stmt(&hstmt);
        return ZE_DBMS_ERROR;
    }
    return db_system_fail(&hstmt, rc);
}

static std::string S_admin_table(const char *table)
{
    char out[DB_QUALIFIED_NAME_SIZE];
    if (db_make_admin_object_name(nullptr, table, out, sizeof(out)) != 0)
        return std::string();
    return out;
}

int32_t DB_instance_get_max_version_id(DB_INSTANCE *, int32_t *out)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&]() { return S_max_id("version_id", S_admin_table("versions"), out); });
}
int32_t DB_instance_get_max_metadata_id(DB_INSTANCE *, int32_t *out)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&]() { return S_max_id("record_id", S_admin_table("metadata"), out); });
}
int32_t DB_instance_get_max_locator_id(DB_INSTANCE *, int32_t *out)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&]() { return S_max_id("locator_id", S_admin_table("locators"), out); });
}
int32_t DB_instance_get_max_state_id(DB_INSTANCE *instance, int32_t *out)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        char states[DB_QUALIFIED_NAME_SIZE];
        if (db_make_states_table_name(instance, states, sizeof(states)) != 0)
            states[0] = '\0';
        return S_max_id("state_id", states, out);
    });
}

int32_t DB_instance_layers_table_upgrade(DB_INSTANCE *)
{
    DB_instance_clear_xerr();
    return ZE_SUCCESS;
}
int32_t DB_instance_modified_table_upgrade(DB_INSTANCE *)
{
    DB_instance_clear_xerr();
    return ZE_SUCCESS;
}
int32_t DB_instance_compress_log_start(DB_INSTANCE *)
{
    return ZE_SUCCESS;
}
int32_t DB_instance_compress_log_finish(DB_INSTANCE *)
{
    return ZE_SUCCESS;
}
int32_t DB_instance_update_system_table_stats(DB_INSTANCE *)
{
    return ZE_SUCCESS;
}
