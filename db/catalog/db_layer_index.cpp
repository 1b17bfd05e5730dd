// A layer's indexes, update trigger and load modes (db_layer_index.h,
// db_layer_index_internal.h).
#include "db/catalog/db_layer_index_internal.h"

#include <sqlext.h>
#include <stdio.h>
#include <string.h>

#include <memory>
#include <string>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_layer_cache_internal.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_table_index.h"
#include "db/core/db_dbtune_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_trans.h"
#include "db/core/db_xerr.h"
#include "db/core/db_xerr_internal.h"

namespace
{

std::string S_index_name(uint32_t layer_id, int which)
{
    return "A" + std::to_string(layer_id) + "_IX" + std::to_string(which);
}

// The names a layer writes into DDL unquoted.
int32_t S_check_layer(const LAYER *layer)
{
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = db_check_name(layer->owner, sizeof(layer->owner));
    if (rc == 0)
        rc = db_check_name(layer->table_name, sizeof(layer->table_name));
    if (rc == 0)
        rc = db_check_name(layer->spatial_column, sizeof(layer->spatial_column));
    return rc;
}

// Reads the layer's keyword, when it names one, into *config. 0; -87 for a
// keyword without rows of its own; the store's failure. *read tells whether
// a keyword was read.
int32_t S_read_config(const LAYER *layer, DBTUNE_LAYER_CONFIG *config, bool *read)
{
    *read = false;
    if (layer->layer_config[0] == '\0')
        return 0;
    const int32_t rc = db_read_layer_storage_config(config, layer->layer_config);
    if (rc != 0)
        return rc;
    if (config->counter < 100)
        return ZE_KEYWORD_WITHOUT_ROWS;
    *read = true;
    return 0;
}

// Records a failed index creation: its code, the index name in the message.
void S_index_failed(const char *function, int rc, const std::string &index, const std::string &sql)
{
    VES_print_debug(stderr, "%s Execute Error (%d) creating index %s\n", function, rc,
                    index.c_str());
    VES_print_debug(stderr, "SQL stmt <%s>\n", sql.c_str());
    db_global_xerr.code = rc;
    db_xerr_append_text(index.c_str());
}

// A drop of an index that is not there is no error.
int32_t S_drop_index(DB_INSTANCE *instance, const std::string &index)
{
    const int32_t rc = DB_table_drop_index(instance, "", index.c_str());
    return rc == ZE_OBJECT_NOT_FOUND || rc == ZE_INDEX_NOT_FOUND ? 0 : rc;
}

// Keeps the first failure of a run of steps that all have to be tried.
struct S_FIRST {
    int32_t rc = 0;
    void keep(int32_t step)
    {
        if (rc == 0 && step < 0)
            rc = step;
    }
};

// Makes the two indexes and the statistics. *finished when every step ran
// (a failed row-id index does not stop the rest, and is then the result).
int32_t S_enable_attr(const LAYER *layer, bool *finished)
{
    *finished = false;
    int32_t rc = S_check_layer(layer);
    if (rc != 0)
        return rc;
    auto config = std::make_unique<DBTUNE_LAYER_CONFIG>();
    bool read = false;
    const std::string table = std::string(layer->owner) + "." + layer->table_name;

    const std::string rtree = S_index_name(static_cast<uint32_t>(layer->layer_id), 1);
    std::string sql = "CREATE INDEX " + rtree + " on " + table + " (" + layer->spatial_column +
                      " St_Geometry_Ops) using RTree ";
    if ((rc = S_read_config(layer, config.get(), &read)) != 0)
        return rc;
    if (read)
        sql += config->B_RTREE;
    int ddl = db_execute_ddlsql(sql.c_str(), 0, 1);
    if (ddl < 0) {
        S_index_failed("DB_layer_enable_attr_indices", ddl, rtree, sql);
        return ddl;
    }

    const std::string rowid = S_index_name(static_cast<uint32_t>(layer->layer_id), 2);
    sql = "CREATE INDEX " + rowid + " on " + table + " (VE_ROW_ID) ";
    if ((rc = S_read_config(layer, config.get(), &read)) != 0)
        return rc;
    if (read)
        sql += config->B_INDEX_ROWID;
    S_FIRST first;
    ddl = db_execute_ddlsql(sql.c_str(), 0, 1);
    if (ddl < 0) {
        // The statistics still run; the failure is reported after them.
        S_index_failed("DB_layer_enable_attr_indices", ddl, rowid, sql);
        first.keep(ddl);
    }
    const DB_EXT_ERROR index_failure = db_global_xerr;
    ddl = db_execute_ddlsql(
        ("update statistics for table " + std::string(layer->table_name)).c_str(), 0, 1);
    if (ddl < 0) {
        fprintf(stderr, "DB_layer_enable_attr_indices Execute error (%d).\n", ddl);
        if (first.rc != 0) {
            db_global_xerr = index_failure;
            return first.rc;
        }
        db_global_xerr.code = ddl;
        return ZE_DBMS_ERROR;
    }
    *finished = true;
    return first.rc;
}

int32_t S_enable_adds(DB_INSTANCE *instance, const LAYER *layer, int32_t registration_id)
{
    // An empty database name leaves the adds table in the current database.
    int32_t rc = S_check_layer(layer);
    if (rc == 0 && layer->database_name[0] != '\0')
        rc = db_check_name(layer->database_name, sizeof(layer->database_name));
    if (rc != 0)
        return rc;
    char index[DB_NAME_TABLE_SIZE], adds[DB_QUALIFIED_NAME_SIZE];
    if (db_make_adds_index_name(S_index_name(static_cast<uint32_t>(layer->layer_id), 1).c_str(),
                                index, sizeof(index)) != 0 ||
        db_make_adds_table_name(instance, registration_id, layer->database_name, layer->owner, adds,
                                sizeof(adds)) != 0)
        return ZE_INVALID_ARGUMENT;
    auto config = std::make_unique<DBTUNE_LAYER_CONFIG>();
    bool read = false;
    if ((rc = S_read_config(layer, config.get(), &read)) != 0)
        return rc;
    std::string sql = std::string("CREATE INDEX ") + index + " on " + adds + " (" +
                      layer->spatial_column + " St_Geometry_Ops) using RTree ";
    if (read)
        sql += config->A_RTREE;
    int ddl = db_execute_ddlsql(sql.c_str(), 1, 3);
    if (ddl < 0) {
        VES_print_debug(stderr,
                        "DB_layer_enable_adds_indices Execute Error (%d) creating index %s\n",
                        db_global_xerr.code, index);
        VES_print_debug(stderr, "SQL stmt <%s>\n", sql.c_str());
        db_xerr_append_text(index);
        return ddl;
    }
    ddl = db_execute_ddlsql(("update statistics for table " + std::string(adds)).c_str(), 0, 1);
    if (ddl < 0) {
        fprintf(stderr, "DB_layer_enable_adds_indices Execute error (%d).\n", ddl);
        db_global_xerr.code = ddl;
        return ZE_DBMS_ERROR;
    }
    return 0;
}

int32_t S_create_trigger(const LAYER *layer)
{
    const int32_t rc = S_check_layer(layer);
    if (rc != 0)
        return rc;
    const std::string id = std::to_string(layer->layer_id);
    const std::string c = layer->spatial_column;
    const std::string t = layer->table_name;
    const std::string sql = "CREATE TRIGGER SC_UPD_CASC_" + id + "\n           UPDATE OF " + c +
                            " ON " + t +
                            "\n           REFERENCING NEW AS New OLD AS Old\n           FOR EACH "
                            "ROW WHEN (New." +
                            c + " is NULL and Old." + c + " IS NOT NULL)\n           (UPDATE " + t +
                            " SET VE_ROW_ID = NULL WHERE VE_ROW_ID = Old.VE_ROW_ID);\n";
    const int ddl = db_execute_ddlsql(sql.c_str(), 1, 1);
    return ddl < 0 ? ddl : 0;
}

int32_t S_drop_trigger(int32_t layer_id)
{
    const int ddl =
        db_execute_ddlsql(("DROP TRIGGER SC_UPD_CASC_" + std::to_string(layer_id)).c_str(), 0, 1);
    if (ddl < 0) {
        VES_print_debug(stderr, "DB_layer_drop_user_trigger Execute Error (%d).\n", ddl);
        return ddl;
    }
    return 0;
}

int32_t S_disable_attr(DB_INSTANCE *instance, int32_t layer_id)
{
    S_FIRST first;
    first.keep(S_drop_index(instance, S_index_name(static_cast<uint32_t>(layer_id), 1)));
    first.keep(S_drop_index(instance, S_index_name(static_cast<uint32_t>(layer_id), 2)));
    return first.rc;
}

int32_t S_disable_adds(DB_INSTANCE *instance, int32_t layer_id)
{
    char index[DB_NAME_TABLE_SIZE];
    db_make_adds_index_name(S_index_name(static_cast<uint32_t>(layer_id), 1).c_str(), index,
                            sizeof(index));
    return S_drop_index(instance, index);
}

bool S_versioned(const REGISTRATION *registration)
{
    return registration != nullptr && (registration->object_flags & REG_MULTIVERSION) != 0;
}

// The probe of the layer's table before its objects are dropped: a table
// that is gone is no failure.
int32_t S_probe(const LAYER *layer)
{
    char qualified[DB_QUALIFIED_NAME_SIZE];
    if (db_make_qualified_name_from_info(layer, qualified, sizeof(qualified)) != 0 ||
        db_check_table_name(qualified) != 0)
        return ZE_INVALID_ARGUMENT;
    db_stmt_guard stmt;
    int rc = db_prepare_cursor(
        nullptr, &stmt.h, (std::string("select count(*) from ") + qualified + " holdlock").c_str(),
        0);
    if (rc == 0)
        rc = SQLExecute(stmt.h);
    if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA)
        return 0;
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, &stmt.h, rc);
    if (strcmp(diag.sqlstate, "S0002") == 0)
        return 0;
    db_set_xerr_from_diag(diag);
    return ZE_DBMS_ERROR;
}

} // namespace

ZEL_API int32_t DB_layer_enable_attr_indices(DB_INSTANCE *, const LAYER *layer)
{
    bool finished = false;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_enable_attr(layer, &finished); });
}

ZEL_API int32_t DB_layer_disable_attr_indices(DB_INSTANCE *instance, int32_t layer_id)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_disable_attr(instance, layer_id); });
}

ZEL_API int32_t DB_layer_generate_spix(DB_INSTANCE *instance, const LAYER *layer, int32_t quiet)
{
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    // Indexes that are not there are no reason to stop: the make decides.
    DB_layer_disable_attr_indices(instance, layer->layer_id);
    bool finished = false;
    int32_t rc = zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_enable_attr(layer, &finished); });
    if (!finished)
        return rc;
    // A failed row-id index left the spatial index made: it is committed and
    // reported like a clean make, and the failure returned after.
    const DB_EXT_ERROR index_failure = db_global_xerr;
    const int32_t committed = DB_trans_updt_commit(instance);
    if (committed != 0) {
        fprintf(stderr, "Error (%d), Performing commit\n", committed);
        return rc != 0 ? rc : committed;
    }
    if (!quiet)
        printf("Generated Spatial Index\n");
    if (rc != 0)
        db_global_xerr = index_failure;
    return rc;
}

ZEL_API int32_t DB_layer_enable_adds_indices(DB_INSTANCE *instance, const LAYER *layer,
                                             int32_t registration_id)
{
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&] { return S_enable_adds(instance, layer, registration_id); });
}

ZEL_API int32_t DB_layer_disable_adds_indices(DB_INSTANCE *instance, int32_t layer_id)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_disable_adds(instance, layer_id); });
}

ZEL_API int32_t DB_layer_create_user_trigger(DB_INSTANCE *, const LAYER *layer)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_create_trigger(layer); });
}

ZEL_API int32_t DB_layer_drop_user_trigger(DB_INSTANCE *, int32_t layer_id)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_drop_trigger(layer_id); });
}

ZEL_API int32_t DB_layer_set_load_only_mode(DB_INSTANCE *instance, const LAYER *layer,
                                            const REGISTRATION *registration)
{
    if (layer == nullptr)
        return 0;
    if (!S_versioned(registration))
        DB_layer_drop_user_trigger(instance, layer->layer_id);
    DB_layer_disable_attr_indices(instance, layer->layer_id);
    if (S_versioned(registration))
        DB_layer_disable_adds_indices(instance, layer->layer_id);
    return 0;
}

ZEL_API int32_t DB_layer_set_normal_io_mode(DB_INSTANCE *instance, const LAYER *layer,
                                            const REGISTRATION *registration)
{
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = 0;
    if (!S_versioned(registration) && (rc = DB_layer_create_user_trigger(instance, layer)) != 0)
        return rc;
    DB_layer_disable_attr_indices(instance, layer->layer_id);
    bool finished = false;
    rc = zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_enable_attr(layer, &finished); });
    if (!finished || !S_versioned(registration))
        return rc;
    // After a failed row-id index the adds table still gets its index; the
    // first failure is the result, with its record.
    const DB_EXT_ERROR index_failure = db_global_xerr;
    const int32_t adds =
        DB_layer_enable_adds_indices(instance, layer, registration->registration_id);
    if (rc != 0) {
        db_global_xerr = index_failure;
        return rc;
    }
    return adds;
}

ZEL_API int32_t DB_layer_drop_tables(DB_INSTANCE *instance, int32_t layer_id)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        S_FIRST first;
        LAYER *layer = nullptr;
        int32_t rc = DB_layer_get_info(instance, nullptr, layer_id, &layer);
        if (rc == 0 && layer != nullptr)
            first.keep(S_probe(layer));
        else
            first.keep(rc);
        if (rc == 0) {
            rc = DB_layer_disable_attr_indices(instance, layer_id);
            first.keep(rc);
        }
        if (rc == 0)
            first.keep(DB_layer_drop_user_trigger(instance, layer_id));
        // Forgotten and committed whatever failed before.
        first.keep(db_layer_cache_remove(instance, layer_id));
        const int commit = db_commit();
        if (!SQL_SUCCEEDED(commit)) {
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, nullptr, commit);
            if (first.rc == 0)
                db_set_xerr_from_diag(diag);
            first.keep(ZE_DBMS_ERROR);
        }
        return first.rc;
    });
}

ZEL_API int32_t DB_layer_create_tables(DB_INSTANCE *, const LAYER *)
{
    return 0;
}

ZEL_API int32_t DB_layer_enable_feat_indices(DB_INSTANCE *, const LAYER *)
{
    return 0;
}

ZEL_API int32_t DB_layer_disable_feat_indices(DB_INSTANCE *, int32_t)
{
    return 0;
}

ZEL_API int32_t DB_layer_enable_spix_indices(DB_INSTANCE *, const LAYER *)
{
    return 0;
}

ZEL_API int32_t DB_layer_disable_spix_indices(DB_INSTANCE *, int32_t)
{
    return 0;
}

// Sets the trigger <name>_<number> to state ("ENABLED" or "DISABLED").
// Returns 0, the name check's code or -12; a refused statement gives its own
// result, or -51 with that result kept as the native error when as_dbms.
static int32_t S_set_user_trigger(const char *name, int32_t number, const char *state,
                                  const char *caller, bool as_dbms)
{
    if (name == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = db_check_name(name, DB_NAME_TABLE_SIZE);
    if (rc != 0)
        return rc;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        const std::string sql =
            std::string("SET TRIGGERS ") + name + "_" + std::to_string(number) + " " + state;
        const int ddl = db_execute_ddlsql(sql.c_str(), 0, 3);
        if (ddl < 0) {
            VES_print_debug(stderr, "%s Execute Error (%d).\n", caller, ddl);
            if (!as_dbms)
                return ddl;
            db_global_xerr.native_error = ddl;
            return ZE_DBMS_ERROR;
        }
        return 0;
    });
}

int32_t db_enable_user_trigger(const char *name, int32_t number)
{
    return S_set_user_trigger(name, number, "ENABLED", "db_enable_user_trigger", false);
}

int32_t db_disable_user_trigger(const char *name, int32_t number)
{
    return S_set_user_trigger(name, number, "DISABLED", "db_disable_user_trigger", true);
}
