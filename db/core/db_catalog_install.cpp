// Bringing the administrative database up to this release
// (db_catalog_install.h): the release check with the release table's
// creation, the catalogue tables in their fixed order, and the test that the
// engine's stored routines are present and current, which first removes the
// per-registration views that older routines hold. Everything it reports goes
// to standard error, for the person running the installation.
#include "db/core/db_catalog_install_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <string.h>

#include <new>
#include <string>

#include "base/util/ve_release.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_dbms.h"
#include "db/core/db_diag.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_release_table.h"
#include "db/core/db_routine_texts_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_system_tables_internal.h"
#include "db/core/db_trans.h"

static_assert(sizeof(SQLINTEGER) == sizeof(int32_t), "SQL_C_LONG binds a 32-bit cell");

// Stored release numbers this release works with: 8.1.x.
#define S_RELEASE_FIRST 81000
#define S_RELEASE_END 82000
// The LAYERS test's codes: no table, and a table of an older schema.
#define S_NO_LAYERS_TABLE (-78)

namespace
{
// A catalogue table as the creation sequence sees it.
struct S_step {
    const char *name;        // as the messages write it
    const char *create_name; // in the creation-error message
    int32_t (*exists)(DB_INSTANCE *);
    int32_t (*create)(DB_INSTANCE *, const DBTUNE_SYSTEM_CONFIG *);
    int32_t missing; // the test's answer for a missing table
};

// The order matters: keys refer to the tables before them.
const S_step S_steps[] = {
    {"SPATIAL_REFERENCES", "SPATIAL_REFERENCE", DB_instance_spatial_ref_table_exists,
     DB_instance_spatial_ref_table_create, ZE_TABLE_NOT_FOUND},
    {"GEOMETRY_COLUMNS", "GEOMETRY_COLUMNS", DB_instance_geocol_table_exists,
     DB_instance_geocol_table_create, ZE_TABLE_NOT_FOUND},
    {"LAYERS", "LAYERS", DB_instance_layers_table_exists, DB_instance_layers_table_create,
     S_NO_LAYERS_TABLE},
    {"RASTER_COLUMNS", "RASTER_COLUMNS", DB_instance_rascol_table_exists,
     DB_instance_rascol_table_create, ZE_TABLE_NOT_FOUND},
    {"TABLE_REGISTRY", "TABLE_REGISTRY", DB_instance_registry_table_exists,
     DB_instance_registry_table_create, ZE_TABLE_NOT_FOUND},
    {"STATES", "STATES", DB_instance_states_table_exists, DB_instance_states_table_create,
     ZE_TABLE_NOT_FOUND},
    {"VERSIONS", "VERSIONS", DB_instance_versions_table_exists, DB_instance_versions_table_create,
     ZE_TABLE_NOT_FOUND},
    {"MVTABLES_MODIFIED", "MVTABLES_MODIFIED", DB_instance_modified_table_exists,
     DB_instance_modified_table_create, ZE_TABLE_NOT_FOUND},
    {"METADATA", "METADATA", DB_instance_metadata_table_exists, DB_instance_metadata_table_create,
     ZE_TABLE_NOT_FOUND},
    {"STATE_LINEAGES", "STATE_LINEAGES", DB_instance_lineages_table_exists,
     DB_instance_lineages_table_create, ZE_TABLE_NOT_FOUND},
    {"LOCATORS", "LOCATORS", DB_instance_zellocators_table_exists,
     DB_instance_zellocators_table_create, ZE_TABLE_NOT_FOUND},
};
} // namespace

// The connection's extended error record as it stands, also when the failing
// step did not fill it.
static void S_print_dbms_error(void)
{
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    fprintf(stderr, "DBMS error code: %d\n%.*s\n%.*s\n", xerr.native_error,
            static_cast<int>(strnlen(xerr.message, sizeof(xerr.message))), xerr.message,
            static_cast<int>(strnlen(xerr.text, sizeof(xerr.text))), xerr.text);
}

// This release's record, described by the DBMS's release texts.
static void S_current_release(RELEASE *release)
{
    memset(release, 0, sizeof(*release));
    sscanf(VE_RELEASE_TEXT, "%d.%d.%d", &release->major, &release->minor, &release->bugfix);
    release->release = VE_RELEASE_NUMBER;
    char text[DB_DBMS_REV_SIZE] = "";
    char date[DB_DBMS_REV_SIZE] = "";
    char build[DB_DBMS_REV_SIZE] = "";
    DB_dbms_get_rev(text, date, build);
    std::string description = std::string(text) + " " + build + " " + date;
    // The field holds 96 characters, without a terminator when full.
    memcpy(release->description, description.data(),
           description.size() < sizeof(release->description) ? description.size()
                                                             : sizeof(release->description));
}

// The stored release, creating the release table with this release when it
// is missing. 0 with *stored filled, else the failing step's code.
static int32_t S_stored_release(DB_INSTANCE *instance, const DBTUNE_SYSTEM_CONFIG *config,
                                RELEASE *stored)
{
    int32_t rc = DB_instance_get_release(instance, stored);
    if (rc == ZE_INVALID_RELEASE) {
        S_current_release(stored);
        rc = DB_instance_release_table_create(instance, stored, config);
        if (rc != ZE_SUCCESS) {
            fprintf(stderr, "Error creating VERSION table. (%d)\n", rc);
            S_print_dbms_error();
            return rc;
        }
        fprintf(stderr, "VERSION table created...\n");
        return ZE_SUCCESS;
    }
    if (rc != ZE_SUCCESS) {
        S_print_dbms_error();
        fprintf(stderr, "ERROR getting ZEL server Release. (%d).\n", rc);
    }
    return rc;
}

// Tests one table and creates it when it is missing.
static int32_t S_table_step(const S_step &step, DB_INSTANCE *instance,
                            const DBTUNE_SYSTEM_CONFIG *config)
{
    int32_t rc = step.exists(instance);
    if (rc == ZE_SUCCESS)
        return ZE_SUCCESS;
    if (rc == step.missing) {
        fprintf(stderr, "%s table being created...\n", step.name);
        rc = step.create(instance, config);
        if (rc != ZE_SUCCESS) {
            fprintf(stderr, "ERROR in creating %s table.\nError: %d\n", step.create_name, rc);
            S_print_dbms_error();
            return ZE_FAILURE;
        }
        fprintf(stderr, "%s table created...\n", step.name);
        return ZE_SUCCESS;
    }
    if (step.missing == S_NO_LAYERS_TABLE && rc == ZE_COLUMN_NOT_FOUND) {
        fprintf(stderr, "Need to upgrade ZEL table schema.\n");
        return ZE_FAILURE;
    }
    fprintf(stderr, "Unable to verify the existence of the %s table, error = %d.\n", step.name, rc);
    S_print_dbms_error();
    return rc;
}

int32_t DB_instance_system_tables_create(DB_INSTANCE *instance, const DBTUNE_SYSTEM_CONFIG *config)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        int32_t rc = DB_trans_def_start(instance);
        if (rc != ZE_SUCCESS) {
            S_print_dbms_error();
            fprintf(stderr, "ERROR starting default transaction. (%d).\n", rc);
            return rc;
        }
        RELEASE stored;
        rc = S_stored_release(instance, config, &stored);
        if (rc != ZE_SUCCESS)
            return rc;
        if (stored.release < S_RELEASE_FIRST || stored.release >= S_RELEASE_END) {
            RELEASE current;
            S_current_release(&current);
            fprintf(stderr,
                    "Previous ZEL Server Release %d.%d.%d is not compatible with the current "
                    "Release %d.%d.%d.\n\n",
                    stored.major, stored.minor, stored.bugfix, current.major, current.minor,
                    current.bugfix);
            return ZE_INVALID_RELEASE;
        }
        for (const S_step &step : S_steps) {
            rc = S_table_step(step, instance, config);
            if (rc != ZE_SUCCESS)
                return rc;
        }
        return ZE_SUCCESS;
    });
}

int32_t DB_instance_system_tables_exists(DB_INSTANCE *)
{
    return ZE_SUCCESS;
}

// ---- the stored routines' currency ----------------------------------------------------

// The count of routines of the engine's names, of any owner.
static std::string S_routine_count_sql(void)
{
    std::string sql = "SELECT count(*) FROM sysprocedures where procname IN (";
    for (const char *name : db_routine_check_names)
        sql += std::string(" lower('") + name + "'),";
    sql.back() = ')';
    return sql;
}

// A failed CLI call of the currency check: the statement's diagnostic in the
// connection's record, the statement dropped, -51.
static int32_t S_cli_failure(SQLHSTMT *hstmt, SQLRETURN rc)
{
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, hstmt, rc);
    db_set_xerr_from_diag(diag);
    SQLFreeStmt(*hstmt, SQL_DROP);
    *hstmt = SQL_NULL_HSTMT;
    return ZE_DBMS_ERROR;
}

// Binds the first column into *value with its indicator in *length (both
// stay bound: the caller keeps them for every later fetch), executes (unless
// the statement ran already) and fetches one row.
static SQLRETURN S_one_int(SQLHSTMT hstmt, bool execute, int32_t *value, SQLLEN *length)
{
    SQLRETURN rc = SQLBindCol(hstmt, 1, SQL_C_LONG, value, 0, length);
    if (SQL_SUCCEEDED(rc) && execute)
        rc = SQLExecute(hstmt);
    if (SQL_SUCCEEDED(rc))
        rc = SQLFetch(hstmt);
    if (SQL_SUCCEEDED(rc) && *length == SQL_NULL_DATA)
        *value = 0;
    return rc;
}

int32_t db_drop_std_views(void)
{
    char registry[DB_QUALIFIED_NAME_SIZE];
    if (db_make_table_registry_name(nullptr, registry, sizeof(registry)) != 0)
        return ZE_SUCCESS;
    std::string sql = std::string("select registration_id from ") + registry;
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int32_t id = 0;
    SQLLEN length = 0;
    SQLRETURN rc = static_cast<SQLRETURN>(db_prepare_cursor(nullptr, &hstmt, sql.c_str(), 0));
    if (rc == SQL_SUCCESS)
        rc = S_one_int(hstmt, true, &id, &length);
    if (!SQL_SUCCEEDED(rc)) {
        // No registrations to read: no views of theirs either.
        db_free_stmt(&hstmt);
        return ZE_SUCCESS;
    }
    for (;;) {
        std::string drop = "drop view zel_std_view_" + std::to_string(id);
        int32_t dropped = db_ddl(drop.c_str(), DB_DDL_SILENT, DB_DDL_NO_COMMIT);
        if (dropped != ZE_SUCCESS && dropped != ZE_TABLE_NOT_FOUND) {
            fprintf(stderr,
                    "ZEL user must be granted DBA permission to run the zelsetupinfx program to "
                    "drop all user defined views like zel_std_view_<reg_id>. Otherwise you must "
                    "run drop_std_view located in $ZELHOME/tools for each user before you run "
                    "zelsetupinfx again.\n");
            db_free_stmt(&hstmt);
            db_rollback();
            // The caller must not go on to recreate the routines: a code of
            // its own, never -1 ("create them") nor a positive one.
            return dropped < 0 && dropped != ZE_FAILURE ? dropped : ZE_DBMS_ERROR;
        }
        rc = SQLFetch(hstmt);
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc)) {
            // The drops so far are undone, so the views are all still there.
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, &hstmt, rc);
            db_free_stmt(&hstmt);
            db_rollback();
            db_set_xerr_from_diag(diag);
            return ZE_DBMS_ERROR;
        }
    }
    db_free_stmt(&hstmt);
    return ZE_SUCCESS;
}

int32_t DB_instance_stored_procedures_exists(DB_INSTANCE *instance)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        std::string sql = S_routine_count_sql();
        SQLHSTMT hstmt = SQL_NULL_HSTMT;
        int rc = db_prepare_cursor(nullptr, &hstmt, sql.c_str(), 0);
        if (rc != 0) {
            db_free_stmt(&hstmt);
            return rc;
        }
        int32_t count = 0;
        SQLLEN length = 0;
        SQLRETURN cli = S_one_int(hstmt, true, &count, &length);
        if (!SQL_SUCCEEDED(cli))
            return S_cli_failure(&hstmt, cli);
        db_free_stmt(&hstmt);
        if (count != DB_ROUTINE_COUNT)
            return ZE_FAILURE;

        cli = SQLAllocHandle(SQL_HANDLE_STMT, db_connection()->hdbc, &hstmt);
        if (!SQL_SUCCEEDED(cli))
            return cli;
        char name[DB_QUALIFIED_NAME_SIZE];
        if (db_make_admin_object_name(instance, "release_procedure", name, sizeof(name)) != 0) {
            db_free_stmt(&hstmt);
            return ZE_INVALID_ARGUMENT;
        }
        sql = std::string("{ call ") + name + "( ) }";
        cli = SQLExecDirect(hstmt, reinterpret_cast<SQLCHAR *>(sql.data()), SQL_NTS);
        int32_t release = 0;
        if (SQL_SUCCEEDED(cli))
            cli = S_one_int(hstmt, false, &release, &length);
        if (!SQL_SUCCEEDED(cli))
            return S_cli_failure(&hstmt, cli);
        db_free_stmt(&hstmt);
        if (release >= DB_ROUTINE_RELEASE)
            return db_ddl("UPDATE STATISTICS FOR PROCEDURE", DB_DDL_SILENT, DB_DDL_COMMIT);
        // Older routines: the views built on them go first, so that the
        // routines can be dropped and created again.
        int32_t dropped = db_drop_std_views();
        return dropped != ZE_SUCCESS ? dropped : ZE_FAILURE;
    });
}
