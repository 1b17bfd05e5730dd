// What a new layer learns from the shapes its table already holds
// (db_layer_verify.h): the extent of the data and the spatial reference of
// its srid, read from SPATIAL_REFERENCES into the layer's coordinate
// reference.
#include "db/catalog/db_layer_verify.h"

#include <sqlext.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/util/ve_name_check.h"
#include "base/util/ve_spatial_index_internal.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"

namespace
{

// Fills the connection's record from a statement's diagnostic; gives -51.
int32_t S_failure(SQLHSTMT *hstmt, int rc)
{
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, hstmt, rc);
    db_set_xerr_from_diag(diag);
    return ZE_DBMS_ERROR;
}

// The srid and extent of the stored shapes; *srid stays 0 without shapes.
// 0 also when the table has no such column; -51.
int32_t S_data_extent(const LAYER *layer, int32_t *srid, VE_ENVELOPE *extent)
{
    const char *c = layer->spatial_column;
    const std::string sql = db_sql_format(
        "select max(st_srid(%s)), min(ve_xmin(%s)), min(ve_ymin(%s)), max(ve_xmax(%s)), "
        "max(ve_ymax(%s)) from %s.%s where %s is not null",
        c, c, c, c, c, layer->owner, layer->table_name, c);
    db_stmt_guard stmt;
    SQLINTEGER id = 0;
    double values[4] = {0, 0, 0, 0};
    SQLLEN indicators[5] = {0, 0, 0, 0, 0};
    int rc = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
    if (rc == 0)
        rc = SQLBindCol(stmt.h, 1, SQL_C_LONG, &id, 0, &indicators[0]);
    for (SQLUSMALLINT i = 0; i < 4 && SQL_SUCCEEDED(rc); i++)
        rc = SQLBindCol(stmt.h, static_cast<SQLUSMALLINT>(i + 2), SQL_C_DOUBLE, &values[i], 0,
                        &indicators[i + 1]);
    if (SQL_SUCCEEDED(rc))
        rc = SQLExecute(stmt.h);
    if (SQL_SUCCEEDED(rc))
        rc = SQLFetch(stmt.h);
    if (rc == SQL_NO_DATA)
        return ZE_SUCCESS;
    if (!SQL_SUCCEEDED(rc)) {
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, &stmt.h, rc);
        if (strncmp(diag.sqlstate, "S0022", sizeof(diag.sqlstate)) == 0 ||
            strncmp(diag.sqlstate, "42S22", sizeof(diag.sqlstate)) == 0)
            return ZE_SUCCESS;
        db_set_xerr_from_diag(diag);
        return ZE_DBMS_ERROR;
    }
    if (indicators[0] == SQL_NULL_DATA)
        return ZE_SUCCESS;
    *srid = id;
    extent->minx = values[0];
    extent->miny = values[1];
    extent->maxx = values[2];
    extent->maxy = values[3];
    return ZE_SUCCESS;
}

// Puts the text into the coordinate reference: into its own buffer (of
// LAYER_SRTEXT_SIZE bytes, as the layer readers attach), or a new one.
int32_t S_set_text(COORDREF *coordref, const char *text)
{
    if (coordref->srtext == nullptr) {
        coordref->srtext = static_cast<char *>(malloc(LAYER_SRTEXT_SIZE));
        if (coordref->srtext == nullptr)
            return ZE_OUT_OF_MEMORY;
    }
    snprintf(coordref->srtext, LAYER_SRTEXT_SIZE, "%s", text);
    return ZE_SUCCESS;
}

// The spatial reference of the srid into the layer's coordinate reference.
int32_t S_spatial_reference(DB_INSTANCE *instance, LAYER *layer, int32_t srid)
{
    char table[DB_QUALIFIED_NAME_SIZE];
    if (db_make_spatial_references_name(instance, table, sizeof(table)) != 0)
        return ZE_INVALID_ARGUMENT;
    const std::string sql = db_sql_format("select falsex, falsey, xyunits,falsez,zunits,falsem,"
                                          "munits,srtext from %s where srid = %d",
                                          table, srid);
    db_stmt_guard stmt;
    double values[7] = {0, 0, 0, 0, 0, 0, 0};
    SQLLEN indicators[8] = {};
    char text[2 * LAYER_SRTEXT_SIZE + 1] = "";
    int rc = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
    for (SQLUSMALLINT i = 0; i < 7 && rc == 0; i++)
        rc = SQL_SUCCEEDED(SQLBindCol(stmt.h, static_cast<SQLUSMALLINT>(i + 1), SQL_C_DOUBLE,
                                      &values[i], 0, &indicators[i]))
                 ? 0
                 : SQL_ERROR;
    if (rc == 0)
        rc = SQLBindCol(stmt.h, 8, SQL_C_CHAR, text, sizeof(text), &indicators[7]);
    if (SQL_SUCCEEDED(rc))
        rc = SQLExecute(stmt.h);
    if (SQL_SUCCEEDED(rc))
        rc = SQLFetch(stmt.h);
    if (rc == SQL_NO_DATA)
        return ZE_SUCCESS; // no such reference: the coordinate reference stays
    if (!SQL_SUCCEEDED(rc))
        return S_failure(&stmt.h, rc);
    if (layer->coordref == nullptr)
        return ZE_SUCCESS;
    COORDREF *cr = layer->coordref;
    double *fields[7] = {&cr->falsex, &cr->falsey, &cr->xyunits, &cr->falsez,
                         &cr->zunits, &cr->falsem, &cr->munits};
    for (int i = 0; i < 7; i++)
        *fields[i] = indicators[i] == SQL_NULL_DATA ? 0 : values[i];
    if (indicators[7] == SQL_NULL_DATA)
        text[0] = '\0';
    text[sizeof(text) - 1] = '\0';
    VES_RemoveSpaces(text);
    return S_set_text(cr, text);
}

int32_t S_verify(DB_INSTANCE *instance, LAYER *layer)
{
    layer->eflags |= LAYER_SPATIAL;
    int32_t kind = 0;
    double grids[3] = {0, 0, 0};
    int32_t rc = ves_layer_verify_spatial_index(layer, &kind, &grids[0], &grids[1], &grids[2], 0);
    if (rc != 0)
        return rc;
    if (layer->spatial_column[0] == '\0' || layer->owner[0] == '\0' || layer->table_name[0] == '\0')
        return ZE_SUCCESS;
    if (db_check_name(layer->spatial_column, sizeof(layer->spatial_column)) != 0 ||
        db_check_name(layer->owner, sizeof(layer->owner)) != 0 ||
        db_check_name(layer->table_name, sizeof(layer->table_name)) != 0)
        return ZE_INVALID_ARGUMENT;
    int32_t srid = 0;
    VE_ENVELOPE extent{};
    rc = S_data_extent(layer, &srid, &extent);
    if (rc != 0 || srid < 1)
        return rc;
    rc = S_spatial_reference(instance, layer, srid);
    if (rc != 0)
        return rc;
    layer->minx = extent.minx;
    layer->miny = extent.miny;
    layer->maxx = extent.maxx;
    layer->maxy = extent.maxy;
    return ZE_SUCCESS;
}

} // namespace

int32_t DB_layer_verify(DB_INSTANCE *instance, LAYER *layer)
{
    DB_instance_clear_xerr();
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_verify(instance, layer); });
}
