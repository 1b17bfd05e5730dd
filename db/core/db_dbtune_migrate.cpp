// Whole-keyword services of the DBTUNE store: the migration of a DBTUNE
// table of an older release (its index parameters ending in _1 and _2 become
// the current ones; the built-in keywords get their missing defaults), and
// the storage of the system tables (keyword DATA_DICTIONARY), read from the
// table when it exists and from the dbtune file otherwise.
#include <sqlext.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "db/core/db_dbtune_internal.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"

namespace
{

// The records of one keyword as the migration reads them.
struct S_records {
    DBTUNE_LAYER_CONFIG layer;
    DBTUNE_LOGFILE_CONFIG logfile;
    DBTUNE_RASTER_CONFIG raster;
};

const char *S_field(const DBTUNE_LAYER_CONFIG *layer, const DBTUNE_LOGFILE_CONFIG *logfile,
                    const DBTUNE_RASTER_CONFIG *raster, const char *name)
{
    const char *f = db_dbtune_field(const_cast<DBTUNE_LAYER_CONFIG *>(layer),
                                    const_cast<DBTUNE_LOGFILE_CONFIG *>(logfile),
                                    const_cast<DBTUNE_RASTER_CONFIG *>(raster), name);
    return f ? f : "";
}

} // namespace

int32_t db_dbtune_rename_index_params(const DBTUNE_LAYER_CONFIG *layer,
                                      const DBTUNE_LOGFILE_CONFIG *logfile,
                                      const DBTUNE_RASTER_CONFIG *raster, const char *keyword,
                                      DBTUNE_FAILED_ROW *failed)
{
    char table[DB_QUALIFIED_NAME_SIZE];
    char call[DBTUNE_CLAUSE_SIZE];
    int32_t rc = db_make_dbtune_table_name(nullptr, table, sizeof(table));
    if (rc == 0)
        rc = db_dbtune_insert_call(call, sizeof(call));
    if (rc != 0)
        return rc;
    // Each index parameter of older releases, in the table's order, hands its
    // value to the parameters that take it (their migration source).
    size_t count = 0;
    const DBTUNE_PARAM *params = db_dbtune_param_table(&count);
    for (size_t o = 0; o < count; o++) {
        if ((params[o].kinds & DBTUNE_KIND_OLD_INDEX) == 0)
            continue;
        const char *old_name = params[o].name;
        const char *old_value = S_field(layer, logfile, raster, old_name);
        if (old_value[0] == '\0')
            continue;
        std::string sql = std::string("DELETE FROM ") + table + " WHERE upper(keyword) = '" +
                          db_quote_literal(keyword) + "' AND upper(parameter_name) = '" + old_name +
                          "'";
        rc = db_execute_ddlsql(sql.c_str(), 0, 2);
        // 100: no row touched; success with information counts as done.
        if (rc != 0 && rc != 1 && rc != 100)
            return rc;
        for (size_t n = 0; n < count; n++) {
            const char *source = params[n].migrate_from;
            if (source == nullptr || strcmp(source, old_name) != 0)
                continue;
            const char *new_name = params[n].name;
            if (S_field(layer, logfile, raster, new_name)[0] != '\0')
                continue;
            rc = db_dbtune_insert_row(call, keyword, new_name, old_value, failed);
            if (rc != 0)
                return rc;
        }
        // D_INDEX_DELETED_AT falls back to D_INDEX_1 when there is no D_INDEX_2.
        if (strcmp(old_name, "D_INDEX_1") == 0 && layer->D_INDEX_2[0] == '\0' &&
            layer->D_INDEX_DELETED_AT[0] == '\0') {
            rc = db_dbtune_insert_row(call, keyword, "D_INDEX_DELETED_AT", old_value, failed);
            if (rc != 0)
                return rc;
        }
    }
    return ZE_SUCCESS;
}

static int32_t S_cursor_failure(SQLHSTMT *h, int32_t rc)
{
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, h, rc);
    db_free_stmt(h);
    db_set_xerr_from_diag(diag);
    return rc;
}

int32_t db_dbtune_migrate_index_params(DB_INSTANCE *, DBTUNE_FAILED_ROW *failed)
{
    char table[DB_QUALIFIED_NAME_SIZE];
    int32_t rc = db_make_dbtune_table_name(nullptr, table, sizeof(table));
    if (rc != 0)
        return rc;
    std::string sql = std::string("SELECT keyword FROM ") + table + " group by keyword ";
    db_stmt_guard stmt;
    SQLHSTMT &h = stmt.h;
    rc = db_prepare_cursor(nullptr, &h, sql.c_str(), 0);
    if (rc != 0)
        return S_cursor_failure(&h, rc);
    char keyword[DBTUNE_COLUMN_NAME_SIZE] = "";
    SQLLEN keyword_len = 0;
    SQLRETURN bind = SQLBindCol(h, 1, SQL_C_CHAR, keyword, sizeof(keyword), &keyword_len);
    if (!SQL_SUCCEEDED(bind))
        return S_cursor_failure(&h, bind);
    auto records = std::make_unique<S_records>();
    SQLULEN fetched = 0;
    rc = db_execute_and_fetch(&h, 1, 1, &fetched);
    for (;;) {
        if (rc == DB_NO_MORE_DATA) {
            db_commit();
            return ZE_SUCCESS;
        }
        if (rc != 0)
            return S_cursor_failure(&h, rc);
        keyword[sizeof(keyword) - 1] = '\0';
        db_trim_trailing_blanks(keyword);
        memset(records.get(), 0, sizeof(S_records));
        DBTUNE_ROW_LIST rows;
        rc = db_dbtune_fetch_rows(keyword, nullptr, &rows, 0);
        if (rc != 0) {
            db_rollback();
            return rc;
        }
        if (rows.count > 0) {
            for (int32_t i = 0; i < rows.count; i++) {
                // The index parameters of older releases and those that
                // take their values.
                const DBTUNE_PARAM *param = db_dbtune_param_find(rows.names[i]);
                if (param == nullptr ||
                    ((param->kinds & DBTUNE_KIND_OLD_INDEX) == 0 && param->migrate_from == nullptr))
                    continue;
                char *field = db_dbtune_field(&records->layer, &records->logfile, &records->raster,
                                              rows.names[i]);
                db_dbtune_copy_field(field, DBTUNE_CLAUSE_SIZE, rows.values[i], rows.names[i]);
            }
            db_dbtune_row_list_free(&rows);
            rc = db_dbtune_rename_index_params(&records->layer, &records->logfile, &records->raster,
                                               keyword, failed);
            if (rc != 0) {
                db_rollback();
                return rc;
            }
        }
        rc = db_fetch_rows(&h, 1, &fetched);
    }
}

int32_t db_dbtune_add_missing_defaults(DB_INSTANCE *, DBTUNE_FAILED_ROW *failed)
{
    static const int order[] = {DBTUNE_KW_DEFAULTS,         DBTUNE_KW_LOGFILE_DEFAULTS,
                                DBTUNE_KW_NETWORK_NETWORK,  DBTUNE_KW_NETWORK_DESC,
                                DBTUNE_KW_NETWORK_DEFAULTS, DBTUNE_KW_DATA_DICTIONARY};
    db_dbtune_clear_marks();
    DBTUNE_ROW_LIST rows;
    int32_t rc = db_dbtune_fetch_rows(nullptr, nullptr, &rows, 2);
    if (rc != 0)
        return rc;
    for (int32_t i = 0; i < rows.count; i++) {
        for (int k : order) {
            if (db_dbtune_begins_with(rows.keywords[i], db_dbtune_builtin_keyword(k))) {
                db_dbtune_set_mark(k, rows.names[i], 1);
                break;
            }
        }
    }
    db_dbtune_row_list_free(&rows);
    int32_t complete[DBTUNE_KW_COUNT];
    bool any = false;
    for (int k = 0; k < DBTUNE_KW_COUNT; k++) {
        complete[k] = db_dbtune_keyword_complete(k);
        any = any || !complete[k];
    }
    if (any) {
        rc = db_dbtune_insert_defaults("DBTUNE", complete, failed);
        if (rc != 0) {
            db_rollback();
            return rc;
        }
    }
    db_commit();
    return ZE_SUCCESS;
}

int32_t DB_dbtune_table_migrate(DB_INSTANCE *instance, DBTUNE_FAILED_ROW *failed)
{
    int32_t rc = db_dbtune_migrate_index_params(instance, failed);
    if (rc == 0)
        rc = db_dbtune_add_missing_defaults(instance, failed);
    return rc;
}

// ---- reading one keyword from the file ----------------------------------------

int32_t db_read_dbtuneFile_paramsForAKeyword(const char *keyword, const char *file_name,
                                             DBTUNE_LAYER_CONFIG *layer,
                                             DBTUNE_LOGFILE_CONFIG *logfile,
                                             DBTUNE_RASTER_CONFIG *raster)
{
    if (getenv("ZELHOME") == nullptr) {
        db_rollback();
        VES_print_debug(stderr, "db_copy_dbtune_FileToTable() EV_zel_dir Read Error.\n");
        return ZE_DBTUNE_FILE_ERROR;
    }
    std::vector<char> path(4096);
    if (keyword == nullptr || db_dbtune_file_path(file_name, path.data(), path.size()) != 0)
        return ZE_DBTUNE_FILE_ERROR;
    FILE *file = fopen(path.data(), "re");
    if (file == nullptr)
        return ZE_DBTUNE_FILE_ERROR;
    db_dbtune_clear_layer_config(layer);
    db_dbtune_clear_logfile_config(logfile);
    db_dbtune_clear_raster_config(raster);
    std::vector<char> line(DBTUNE_LINE_SIZE);
    char word[DBTUNE_NAME_SIZE];
    while (fgets(line.data(), DBTUNE_LINE_SIZE, file) != nullptr) {
        if (!db_dbtune_header_keyword(line.data(), word) || strcasecmp(word, keyword) != 0)
            continue;
        if (fgets(line.data(), DBTUNE_LINE_SIZE, file) == nullptr)
            break;
        db_dbtune_read_section(file, layer, logfile, raster, 1, word, nullptr, line.data());
    }
    fclose(file);
    return ZE_SUCCESS;
}

int32_t DB_read_system_tab_storage_config(DB_INSTANCE *instance, const char *keyword,
                                          const char *file_name, DBTUNE_SYSTEM_CONFIG *config)
{
    if (config == nullptr)
        return ZE_NULL_POINTER;
    memset(config, 0, sizeof(*config));
    auto records = std::make_unique<S_records>();
    memset(records.get(), 0, sizeof(S_records));
    int32_t rc;
    if (DB_instance_dbtune_table_exists(instance) == 0)
        rc = db_read_layer_storage_config(&records->layer, keyword);
    else
        rc = db_read_dbtuneFile_paramsForAKeyword(keyword, file_name, &records->layer,
                                                  &records->logfile, &records->raster);
    if (rc != 0) {
        VES_print_debug(stderr,
                        "DB_read_system_tab_storage_config() Storage                             "
                        "Parameter read ERROR: %d\n",
                        rc);
        return rc;
    }
    const DBTUNE_LAYER_CONFIG &l = records->layer;
    if (l.counter < DBTUNE_COUNTER_OWN)
        return ZE_SUCCESS;
    config->counter = l.counter;
    memcpy(config->B_STORAGE, l.B_STORAGE, DBTUNE_CLAUSE_SIZE);
    memcpy(config->B_INDEX_USER, l.B_INDEX_USER, DBTUNE_CLAUSE_SIZE);
    memcpy(config->B_INDEX_ROWID, l.B_INDEX_ROWID, DBTUNE_CLAUSE_SIZE);
    memcpy(config->STATES_TABLE, l.STATES_TABLE, DBTUNE_CLAUSE_SIZE);
    memcpy(config->STATES_INDEX, l.STATES_INDEX, DBTUNE_CLAUSE_SIZE);
    memcpy(config->STATE_LINEAGES_TABLE, l.STATE_LINEAGES_TABLE, DBTUNE_CLAUSE_SIZE);
    memcpy(config->VERSIONS_TABLE, l.VERSIONS_TABLE, DBTUNE_CLAUSE_SIZE);
    memcpy(config->VERSIONS_INDEX, l.VERSIONS_INDEX, DBTUNE_CLAUSE_SIZE);
    memcpy(config->MVTABLES_MODIFIED_TABLE, l.MVTABLES_MODIFIED_TABLE, DBTUNE_CLAUSE_SIZE);
    memcpy(config->MVTABLES_MODIFIED_INDEX, l.MVTABLES_MODIFIED_INDEX, DBTUNE_CLAUSE_SIZE);
    return ZE_SUCCESS;
}
