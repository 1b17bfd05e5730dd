// A table on its way to becoming a layer (db_layer_verify.h): checked first
// (the connection's user owns it; its spatial column and VE_ROW_ID, where
// they exist, have types the layer can use), then what the layer learns
// from the shapes it already holds: the extent of the data and the spatial
// reference of its srid, read from SPATIAL_REFERENCES into the layer's
// coordinate reference.
#include "db/catalog/db_layer_verify.h"

#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/util/db_column_def.h"
#include "base/util/ve_debug.h"
#include "base/util/ve_name_check.h"
#include "base/util/ve_spatial_index_internal.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_column_stats_internal.h"
#include "db/catalog/db_layer_user_table.h"
#include "db/catalog/db_table_ddl.h"
#include "db/catalog/db_table_describe.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_describe_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_instance_user.h"
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

// Gives the coordinate reference a new copy of the text in place of its old
// one (C heap, as every COORDREF text): the caller's buffer may be of any
// size. The copy has room for LAYER_SRTEXT_SIZE bytes at least, as the layer
// readers expect of a caller's record.
int32_t S_set_text(COORDREF *coordref, const char *text)
{
    const size_t length = strlen(text);
    auto *copy = static_cast<char *>(calloc(1, std::max<size_t>(length + 1, LAYER_SRTEXT_SIZE)));
    if (copy == nullptr)
        return ZE_OUT_OF_MEMORY;
    memcpy(copy, text, length);
    free(coordref->srtext);
    coordref->srtext = copy;
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

// ---- the table before it becomes a layer --------------------------------------

bool S_state_is(const CLI_DIAG_RECORD &diag, const char *odbc2, const char *odbc3)
{
    return strncmp(diag.sqlstate, odbc2, 5) == 0 || strncmp(diag.sqlstate, odbc3, 5) == 0;
}

// The names the table's parts resolve to: the caller's, and the qualified
// table the statements read.
struct S_table_parts {
    char database[DB_NAME_DATABASE_SIZE];
    char owner[DB_NAME_OWNER_SIZE];
    char table[DB_NAME_TABLE_SIZE];
    std::string qualified;
};

// Prepares "SELECT <column> FROM <table>" into stmt. 0; 1 when the column
// does not exist (it is added later); -37; -51 with the record filled.
int32_t S_prepare_column(const std::string &qualified, const char *column, db_stmt_guard *stmt)
{
    const std::string sql = db_sql_format("SELECT %s FROM %s", column, qualified.c_str());
    int rc = db_open_cursor(nullptr, &stmt->h);
    if (rc != 0)
        return ZE_DBMS_ERROR; // the open recorded its diagnostic
    rc = db_prepare_stmt(nullptr, &stmt->h, sql.c_str());
    if (rc == 0)
        return ZE_SUCCESS;
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, &stmt->h, rc);
    if (S_state_is(diag, "S0022", "42S22"))
        return 1;
    if (S_state_is(diag, "S0002", "42S02"))
        return ZE_TABLE_NOT_FOUND;
    fprintf(stderr, "DB_layer_verify_table() Execute Error (%d)\n", rc);
    db_set_xerr_from_diag(diag);
    return ZE_DBMS_ERROR;
}

// The warning that the spatial column is to be added while other columns
// could hold shapes already.
void S_warn_other_shapes(const char *spatial, const std::vector<std::string> &others)
{
    std::string list;
    for (const std::string &name : others)
        list += name + ",";
    list.pop_back();
    VES_print_debug(stderr, "DB_layer_verify_table:: warning message \n");
    VES_print_debug(stderr,
                    "  Adding spatial column \"%s\", but a spatial column may have already "
                    "existed.\n",
                    spatial);
    VES_print_debug(stderr, "  Possible spatial column:  %s. \n", list.c_str());
}

// The table's columns: whether the spatial column is its only column, and
// the warning when other columns could hold shapes. 0 or the description's
// failure.
int32_t S_describe(DB_INSTANCE *instance, const LAYER &layer, const S_table_parts &t,
                   bool *only_column)
{
    int16_t count = 0;
    DB_COLUMN_DEF *described = nullptr;
    const int32_t rc =
        DB_table_describe(instance, t.qualified.c_str(), nullptr, &count, &described);
    if (rc != 0)
        return rc;
    std::unique_ptr<DB_COLUMN_DEF, decltype(&free)> columns(described, &free);
    bool found = false;
    std::vector<std::string> others;
    for (int16_t i = 0; i < count; i++) {
        const DB_COLUMN_DEF &c = columns.get()[i];
        if (c.type != VE_BLOB && c.type != VE_SHAPE)
            continue;
        const std::string name(c.name, strnlen(c.name, sizeof(c.name)));
        if (strcasecmp(name.c_str(), layer.spatial_column) == 0)
            found = true;
        else
            others.push_back(name);
    }
    if (!found && !others.empty())
        S_warn_other_shapes(layer.spatial_column, others);
    *only_column = count == 1 && strncasecmp(columns.get()[0].name, layer.spatial_column,
                                             sizeof(columns.get()[0].name)) == 0;
    return ZE_SUCCESS;
}

// An integer type by its DBMS name (INTEGER, SMALLINT, INT8, BIGINT);
// INTERVAL is a time span, not an integer.
bool S_integer_type(const char *name)
{
    return strstr(name, "INT") != nullptr && strstr(name, "INTERVAL") == nullptr;
}

// The spatial column as it stands: an extended (spatial) type that allows
// NULL, or an integer column, which as the table's only column makes the
// table be made again with the spatial column and VE_ROW_ID. A column that
// is not there yet is right. 0; -26; -114; -37; -51; the re-creation's code.
int32_t S_check_spatial_column(DB_INSTANCE *instance, const LAYER &layer, const S_table_parts &t,
                               bool only_column)
{
    db_stmt_guard stmt;
    int32_t rc = S_prepare_column(t.qualified, layer.spatial_column, &stmt);
    if (rc != 0)
        return rc == 1 ? ZE_SUCCESS : rc;
    char type[128] = "";
    SQLSMALLINT length = 0;
    const SQLRETURN got =
        SQLColAttribute(stmt.h, 1, SQL_DESC_TYPE_NAME, type, sizeof(type), &length, nullptr);
    if (!SQL_SUCCEEDED(got))
        return S_failure(&stmt.h, got);
    type[sizeof(type) - 1] = '\0';
    if (strstr(type, "SQLUDTVAR") != nullptr) {
        int32_t nullable = 0;
        rc = db_cli_column_is_nullable(t.database, t.owner, t.table, layer.spatial_column,
                                       &nullable);
        // A driver that cannot tell, or no catalogue row, is not "nullable".
        if (rc == ZE_SUCCESS || rc == ZE_FAILURE || rc == ZE_NO_MORE_ROWS)
            return rc == ZE_SUCCESS && nullable == SQL_NULLABLE ? ZE_SUCCESS
                                                                : ZE_COLUMN_NOT_NULLABLE;
        return rc;
    }
    if (!S_integer_type(type))
        return ZE_WRONG_COLUMN_TYPE;
    if (!only_column)
        return ZE_SUCCESS;
    db_free_stmt(&stmt.h); // the table is dropped below
    LAYER remade = layer;
    snprintf(remade.owner, sizeof(remade.owner), "%s", t.owner);
    return DB_alter_spatial_table(instance, &remade, nullptr, 1);
}

// VE_ROW_ID as it stands: a 32-bit integer that allows NULL, or not there
// yet. 0; -26; -114; -37; -51.
int32_t S_check_row_id_column(const S_table_parts &t)
{
    db_stmt_guard stmt;
    int32_t rc = S_prepare_column(t.qualified, DB_VE_ROW_ID, &stmt);
    if (rc != 0)
        return rc == 1 ? ZE_SUCCESS : rc;
    int16_t count = 0;
    DB_COLUMN_DEF *described = nullptr;
    int32_t *lengths = nullptr;
    int16_t *c_types = nullptr;
    rc = db_describe_select(nullptr, stmt.h, &count, &described, &lengths, &c_types);
    std::unique_ptr<DB_COLUMN_DEF, decltype(&free)> columns(described, &free);
    free(lengths);
    free(c_types);
    if (rc == ZE_UNSUPPORTED_COLUMN_TYPE)
        return ZE_WRONG_COLUMN_TYPE;
    if (rc != 0)
        return rc;
    if (count < 1 || columns.get()[0].type != VE_INTEGER)
        return ZE_WRONG_COLUMN_TYPE;
    return columns.get()[0].nulls_allowed ? ZE_SUCCESS : ZE_COLUMN_NOT_NULLABLE;
}

int32_t S_verify_table(DB_INSTANCE *instance, LAYER *layer)
{
    // The caller's fields are read as texts only when they end in theirs.
    if (strnlen(layer->table_name, sizeof(layer->table_name)) == sizeof(layer->table_name) ||
        strnlen(layer->spatial_column, sizeof(layer->spatial_column)) ==
            sizeof(layer->spatial_column))
        return ZE_INVALID_ARGUMENT;
    char user[DB_USER_NAME_SIZE] = "";
    DB_instance_get_current_user(instance, user);
    S_table_parts t{};
    int32_t rc =
        db_parse_table_name(instance, layer->table_name, user, t.database, t.owner, t.table);
    if (rc != 0)
        return rc;
    snprintf(layer->database_name, sizeof(layer->database_name), "%s", t.database);
    if (strcmp(t.owner, user) != 0)
        return ZE_NOT_TABLE_OWNER;
    char column[DB_NAME_COLUMN_SIZE], table[DB_NAME_TABLE_SIZE];
    snprintf(column, sizeof(column), "%s", layer->spatial_column);
    snprintf(table, sizeof(table), "%s", t.table);
    db_identifier_to_upper(nullptr, column, sizeof(column));
    db_identifier_to_upper(nullptr, table, sizeof(table));
    if (strcmp(column, table) == 0)
        return ZE_SPATIAL_COLUMN_IS_TABLE_NAME;
    snprintf(layer->table_name, sizeof(layer->table_name), "%s", t.table);
    if ((rc = db_check_name(layer->spatial_column, sizeof(layer->spatial_column))) != 0)
        return rc;
    char qualified[DB_QUALIFIED_NAME_SIZE];
    if (db_make_qualified_name(t.database, t.owner, t.table, qualified, sizeof(qualified)) != 0)
        return ZE_INVALID_ARGUMENT;
    t.qualified = qualified;
    if ((rc = db_check_table_name(qualified)) != 0)
        return rc;
    bool only_column = false;
    if ((rc = S_describe(instance, *layer, t, &only_column)) != 0)
        return rc;
    if ((rc = S_check_spatial_column(instance, *layer, t, only_column)) != 0)
        return rc;
    rc = S_check_row_id_column(t);
    const int32_t committed = db_commit_or_error();
    return rc != 0 ? rc : committed;
}

} // namespace

int32_t DB_layer_verify_table(DB_INSTANCE *instance, LAYER *layer)
{
    DB_instance_clear_xerr();
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_verify_table(instance, layer); });
}

int32_t DB_layer_verify(DB_INSTANCE *instance, LAYER *layer)
{
    DB_instance_clear_xerr();
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_verify(instance, layer); });
}
