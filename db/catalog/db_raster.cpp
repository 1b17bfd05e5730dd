// Rasters (db_raster.h): the raster table's rows, and the deletion of a raster
// with everything that hangs off it. The bands to delete are the ones the
// band scan returns for the raster, however many there are; each band's
// tiles go first (committed in batches, db_rasterband_tiles_internal.h), then
// its attached objects, the band rows and the raster row in one transaction.
#include "db/catalog/db_raster.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_rasterband.h"
#include "db/catalog/db_rasterband_internal.h"
#include "db/catalog/db_rasterband_tiles_internal.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_xerr.h"
#include "db/core/db_xerr_internal.h"

namespace
{

int32_t S_insert(const RASTER *raster)
{
    std::string table;
    int32_t rc =
        db_rasterband_table(db_make_raster_table_name, nullptr, raster->rastercolumn_id, &table);
    if (rc != 0)
        return rc;
    const std::string sql = "INSERT INTO " + table + " (raster_id, description) VALUES (?, ?)";
    int32_t id = raster->raster_id;
    char description[sizeof(raster->description) + 1] = "";
    const size_t n = strnlen(raster->description, sizeof(raster->description));
    memcpy(description, raster->description, n);
    SQLLEN description_length = n == 0 ? SQL_NULL_DATA : static_cast<SQLLEN>(n);
    DB_CATALOG_CLI s;
    rc = db_cli_prepare(&s.cli, sql.c_str());
    if (rc == 0)
        rc = db_cli_bind_by_pos(&s.cli, SQL_C_SLONG, SQL_INTEGER, 0, &id, 0, nullptr);
    if (rc == 0)
        rc = db_cli_bind_by_pos(&s.cli, SQL_C_CHAR, SQL_CHAR, 64, description, 0,
                                &description_length);
    if (rc == 0)
        rc = db_cli_execute_stmt(&s.cli, 1);
    if (rc != 0) {
        VES_print_debug(stderr, "DB_raster_def_insert error (%d)\n", rc);
        db_cli_save_error(&s.cli);
        return db_cli_sqlstate_is(&s.cli, "23000") ? ZE_RASTER_EXISTS : rc;
    }
    return db_odbc_commit();
}

int32_t S_get_info(DB_STREAM *stream, int32_t rastercolumn_id, int32_t raster_id, RASTER *raster)
{
    std::string table;
    int32_t rc = db_rasterband_table(db_make_raster_table_name, stream, rastercolumn_id, &table);
    if (rc != 0)
        return rc;
    const std::string sql = "SELECT raster_id, description FROM " + table +
                            " WHERE raster_id = " + std::to_string(raster_id);
    int32_t id = 0;
    char description[65] = "";
    SQLLEN description_length = 0, id_length = 0;
    DB_CATALOG_CLI s;
    rc = db_cli_prepare(&s.cli, sql.c_str());
    if (rc == 0)
        rc = db_cli_define_by_pos(&s.cli, SQL_C_SLONG, &id, sizeof(id), &id_length);
    if (rc == 0)
        rc = db_cli_define_by_pos(&s.cli, SQL_C_CHAR, description, sizeof(description),
                                  &description_length);
    if (rc == 0)
        rc = db_cli_execute_stmt(&s.cli, 1);
    if (rc == 0)
        rc = db_catalog_fetch(&s.cli);
    if (rc == ZE_NO_MORE_ROWS)
        return ZE_RASTER_NOT_FOUND;
    if (rc != 0) {
        if (stream != nullptr)
            db_cli_save_error_to(&s.cli, db_stream_xerr(stream));
        else
            db_cli_save_error(&s.cli);
        return ZE_DBMS_ERROR;
    }
    raster->raster_id = id;
    // A description of the field's full width fills it without a NUL, as the
    // insert takes it.
    memset(raster->description, 0, sizeof(raster->description));
    if (description_length != SQL_NULL_DATA)
        memcpy(raster->description, description, strnlen(description, sizeof(raster->description)));
    return 0;
}

// The bands of the raster, as many as the scan gives.
int32_t S_bands(DB_INSTANCE *instance, int32_t rastercolumn_id, int32_t raster_id,
                std::vector<RASTERBAND> *bands)
{
    RASTERBAND band{};
    int32_t rc = DB_rasterband_first(instance, rastercolumn_id, raster_id, &band);
    for (;;) {
        if (rc == ZE_NO_MORE_ROWS)
            return 0;
        // The scan of raster 0 gives every band: only the raster's own count.
        if (rc == 0 && band.raster_id == raster_id)
            bands->push_back(band);
        else if (rc != 0 && rc != ZE_NO_PERMISSIONS)
            return rc;
        rc = DB_rasterband_next(instance, rastercolumn_id, &band);
    }
}

// Runs one statement of the raster's deletion, not committed. 0; the code.
int32_t S_delete_rows(const std::string &sql)
{
    const int32_t rc = db_odbc_execute_ddlsql(sql.c_str(), 1, DB_EXEC_NO_COMMIT);
    if (rc != 0)
        VES_print_debug(stderr, "DB_raster_def_delete Execute error (%d)\n", rc);
    return rc;
}

int32_t S_delete(DB_INSTANCE *instance, int32_t rastercolumn_id, int32_t raster_id)
{
    std::string rasters, bands_table, aux;
    int32_t rc = db_rasterband_table(db_make_raster_table_name, nullptr, rastercolumn_id, &rasters);
    if (rc == 0)
        rc = db_rasterband_table(db_make_band_table_name, nullptr, rastercolumn_id, &bands_table);
    if (rc == 0)
        rc = db_rasterband_table(db_make_aux_table_name, nullptr, rastercolumn_id, &aux);
    if (rc != 0)
        return rc;
    std::vector<RASTERBAND> bands;
    if ((rc = S_bands(instance, rastercolumn_id, raster_id, &bands)) != 0)
        return rc;
    for (const RASTERBAND &band : bands) {
        if ((rc = db_rasterband_delete_all_tiles(&band)) != 0) {
            const DB_EXT_ERROR failure = db_global_xerr;
            db_rollback();
            db_global_xerr = failure;
            return rc;
        }
    }
    std::vector<std::string> statements;
    for (const RASTERBAND &band : bands)
        statements.push_back("DELETE FROM " + aux +
                             " WHERE rasterband_id = " + std::to_string(band.rasterband_id));
    const std::string where = " WHERE raster_id = " + std::to_string(raster_id);
    statements.push_back("DELETE FROM " + bands_table + where);
    statements.push_back("DELETE FROM " + rasters + where);
    for (const std::string &sql : statements) {
        if ((rc = S_delete_rows(sql)) != 0) {
            const DB_EXT_ERROR failure = db_global_xerr;
            db_odbc_rollback();
            db_global_xerr = failure;
            return rc;
        }
    }
    return db_odbc_commit();
}

} // namespace

int32_t DB_raster_def_insert(DB_INSTANCE *, const RASTER *raster)
{
    DB_instance_clear_xerr();
    if (raster == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_insert(raster); });
}

int32_t DB_raster_def_delete(DB_INSTANCE *instance, int32_t rastercolumn_id, int32_t raster_id)
{
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&] { return S_delete(instance, rastercolumn_id, raster_id); });
}

int32_t DB_raster_get_info_by_id(DB_INSTANCE *, DB_STREAM *stream, int32_t rastercolumn_id,
                                 int32_t raster_id, RASTER *raster)
{
    DB_instance_clear_xerr();
    DB_stream_clear_xerr(stream);
    if (raster == nullptr)
        return ZE_NULL_POINTER;
    raster->rastercolumn_id = rastercolumn_id;
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&] { return S_get_info(stream, rastercolumn_id, raster_id, raster); });
}

int32_t DB_raster_get_max_id(DB_INSTANCE *, int32_t rastercolumn_id, uint32_t *max_id)
{
    DB_instance_clear_xerr();
    if (max_id == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        std::string table;
        int32_t rc =
            db_rasterband_table(db_make_raster_table_name, nullptr, rastercolumn_id, &table);
        if (rc != 0)
            return rc;
        DB_CATALOG_CLI s;
        int32_t value = 0;
        SQLLEN length = 0;
        rc = db_cli_prepare(&s.cli, ("SELECT MAX(raster_id) FROM " + table).c_str());
        if (rc == 0)
            rc = db_cli_define_by_pos(&s.cli, SQL_C_SLONG, &value, sizeof(value), &length);
        if (rc == 0)
            rc = db_cli_execute_stmt(&s.cli, 1);
        if (rc == 0)
            rc = db_catalog_fetch(&s.cli);
        if (rc == ZE_NO_MORE_ROWS) {
            *max_id = 0;
            return 0;
        }
        if (rc != 0) {
            db_cli_save_error(&s.cli);
            return ZE_DBMS_ERROR;
        }
        *max_id = length == SQL_NULL_DATA ? 0 : static_cast<uint32_t>(value);
        return 0;
    });
}
