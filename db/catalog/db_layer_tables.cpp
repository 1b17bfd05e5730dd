// The layer of a statement's tables (db_layer_tables_internal.h). A pass
// over the layer cache first; for what it leaves, one layer SELECT
// (db_layer_info_internal.h) whose WHERE lists the registered layer tables
// with OR, fetched 8 rows at a time into column arrays that live for the
// process (the reader is not reentrant, as the process has one database
// thread).
#include "db/catalog/db_layer_tables_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "base/util/ve_registration.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_layer_cache_internal.h"
#include "db/catalog/db_layer_info_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_layer_internal.h"
#include "db/version/db_registration_internal.h"

#define S_ROWS DB_LAYER_TABLES_ROWSET
#define S_SRTEXT_SIZE 2048
// Longest column name the second pass folds to upper case.
#define S_UPPER_NAME_SIZE 227

namespace
{

// The column arrays of one block, in the order of the layer SELECT.
struct Block {
    int32_t layer_id[S_ROWS];
    char description[S_ROWS][sizeof(LAYER::description)];
    double minx[S_ROWS], miny[S_ROWS], maxx[S_ROWS], maxy[S_ROWS];
    uint32_t eflags[S_ROWS];
    uint32_t layer_mask[S_ROWS];
    char database_name[S_ROWS][sizeof(LAYER::database_name)];
    char table_name[S_ROWS][sizeof(LAYER::table_name)];
    char owner[S_ROWS][sizeof(LAYER::owner)];
    char spatial_column[S_ROWS][sizeof(LAYER::spatial_column)];
    int32_t cdate[S_ROWS];
    char layer_config[S_ROWS][sizeof(LAYER::layer_config)];
    int32_t optimal_array_size[S_ROWS];
    int32_t stats_date[S_ROWS];
    int32_t minimum_id[S_ROWS];
    int32_t base_layer_id[S_ROWS];
    double falsex[S_ROWS], falsey[S_ROWS], xyunits[S_ROWS];
    double falsez[S_ROWS], zunits[S_ROWS], falsem[S_ROWS], munits[S_ROWS];
    char srtext[S_ROWS][S_SRTEXT_SIZE];
    int32_t srid[S_ROWS];
    SQLLEN description_length[S_ROWS];
    SQLLEN database_name_length[S_ROWS];
    SQLLEN layer_config_length[S_ROWS];
    SQLLEN optimal_array_size_length[S_ROWS];
    SQLLEN stats_date_length[S_ROWS];
    SQLLEN minimum_id_length[S_ROWS];
    SQLLEN shared_length[S_ROWS];
    SQLUSMALLINT row_status[S_ROWS];
};

Block S_block;

// The parts of a table name of the statement.
struct TableName {
    char database[DB_NAME_DATABASE_SIZE];
    char owner[DB_NAME_OWNER_SIZE];
    char table[DB_NAME_TABLE_SIZE];
};

} // namespace

static int32_t S_parse_table(const char *name, const char *user, TableName *out)
{
    return db_parse_table_name(nullptr, name, user, out->database, out->owner, out->table);
}

// Copies a text of at most size - 1 characters into a field of size bytes.
static void S_copy(char *field, size_t size, const char *text)
{
    size_t n = strnlen(text, size - 1);
    memcpy(field, text, n);
    field[n] = '\0';
}

// ---- the cache pass ---------------------------------------------------------

// Whether the statement's column names the slot's spatial column; *counted
// when it is a reference to the spatial column itself.
static bool S_column_matches(const char *name, const LAYER *slot, const char *user, bool *counted)
{
    *counted = false;
    char column[S_UPPER_NAME_SIZE];
    S_copy(column, sizeof(column), name);
    db_identifier_to_lower(nullptr, column, sizeof(column), 0);
    const char *spatial = slot->spatial_column;
    size_t length = strnlen(spatial, sizeof(slot->spatial_column));
    // The catalogue may keep the column in upper case (a migrated layer).
    if (strncasecmp(column, spatial, length) != 0) {
        if (db_column_name_matches(nullptr, column, user, slot->database_name, slot->owner,
                                   slot->table_name, spatial) ||
            db_column_name_matches(nullptr, column, user, slot->database_name, slot->owner,
                                   slot->table_name, "*")) {
            *counted = true;
            return true;
        }
        return db_column_name_matches(nullptr, column, user, slot->database_name, slot->owner,
                                      slot->table_name, "VE_ROW_ID") != 0;
    }
    if (column[length] == '\0') {
        *counted = true;
        return true;
    }
    return column[length] == '.';
}

// Whether the slot is still the layer's current record: a stale slot is
// reloaded by its names. 0, or the reload's failure.
static int32_t S_check_fresh(DB_INSTANCE *instance, DB_STREAM *stream, const LAYER *slot)
{
    char table[DB_QUALIFIED_NAME_SIZE] = "";
    db_make_qualified_name(slot->database_name, slot->owner, slot->table_name, table,
                           sizeof(table));
    LAYER *found = nullptr;
    return DB_layer_get_info_by_table_name(instance, stream, table, slot->spatial_column,
                                           slot->owner, &found);
}

// Resolves what it can from the cache. *done when every table was found in
// it; 0, -133 or the reload's failure.
static int32_t S_cache_pass(DB_INSTANCE *instance, DB_STREAM *stream, int32_t column_count,
                            const char *const *columns, int32_t table_count,
                            const char *const *tables, bool *done)
{
    *done = false;
    const char *user = db_stream_get_user(stream);
    DB_LAYER_CACHE *cache = db_layer_cache_get();
    int32_t remaining = table_count;
    std::vector<bool> resolved(static_cast<size_t>(std::max(table_count, 0)), false);
    int32_t references = 0;
    for (int32_t s = 0; cache != nullptr && s < cache->count; s++) {
        LAYER *slot = cache->entries[s];
        if (slot == nullptr || slot->layer_id == -1)
            continue;
        for (int32_t t = 0; t < table_count; t++) {
            TableName name;
            if (S_parse_table(tables[t], user, &name) != 0 ||
                !db_names_equal(slot->owner, slot->table_name, slot->database_name, name.owner,
                                name.table, name.database))
                continue;
            int32_t rc = S_check_fresh(instance, stream, slot);
            if (rc != 0)
                return rc;
            for (int32_t c = 0; c < column_count; c++) {
                bool counted = false;
                bool matched = S_column_matches(columns[c], slot, user, &counted);
                if (counted)
                    references++;
                if (references > 1) {
                    db_stream_set_layer_info(stream, nullptr);
                    return ZE_MULTIPLE_SPATIAL_COLUMNS;
                }
                if (!matched)
                    continue;
                LAYER *current = db_stream_get_layer_info(stream);
                if (current != nullptr && current != slot) {
                    db_stream_set_layer_info(stream, nullptr);
                    return ZE_MULTIPLE_SPATIAL_COLUMNS;
                }
                db_stream_set_layer_info(stream, slot);
                db_stream_set_shape_column(stream, t);
            }
            // Two cached layers on one table resolve it once.
            if (!resolved[static_cast<size_t>(t)]) {
                resolved[static_cast<size_t>(t)] = true;
                remaining--;
            }
        }
    }
    *done = remaining <= 0;
    return 0;
}

// ---- the catalogue pass -------------------------------------------------------

// The layer SELECT of the registered layer tables; empty when none is one.
static std::string S_catalogue_text(DB_INSTANCE *instance, const char *user, int32_t table_count,
                                    const char *const *tables)
{
    std::string where;
    for (int32_t t = 0; t < table_count; t++) {
        REGISTRATION registration;
        memset(&registration, 0, sizeof(registration));
        if (db_registration_find_hook(instance, tables[t], &registration) != 0 ||
            !(registration.object_flags & REG_LAYER))
            continue;
        TableName name;
        if (S_parse_table(tables[t], user, &name) != 0)
            continue;
        if (name.database[0] != '\0')
            where += " database_name = '" + db_quote_literal(name.database) +
                     "' AND table_name = '" + db_quote_literal(name.table) + "'";
        else
            where += "  table_name = '" + db_quote_literal(name.table) + "'";
        if (name.owner[0] != '\0')
            where += " AND owner = '" + db_quote_literal(name.owner) + "'";
        where += " OR ";
    }
    if (where.empty())
        return where;
    where.resize(where.size() - 4);
    return db_layer_select_from(instance, " ") + " WHERE ly.srid = sr.srid AND (" + where + ")";
}

static SQLRETURN S_bind_block(SQLHSTMT hstmt)
{
    Block &b = S_block;
    SQLLEN *shared = b.shared_length;
    const DB_CATALOG_COLUMN columns[] = {
        {SQL_C_SLONG, b.layer_id, sizeof(int32_t), shared},
        {SQL_C_CHAR, b.description, sizeof(b.description[0]), b.description_length},
        {SQL_C_DOUBLE, b.minx, sizeof(double), shared},
        {SQL_C_DOUBLE, b.miny, sizeof(double), shared},
        {SQL_C_DOUBLE, b.maxx, sizeof(double), shared},
        {SQL_C_DOUBLE, b.maxy, sizeof(double), shared},
        {SQL_C_ULONG, b.eflags, sizeof(uint32_t), shared},
        {SQL_C_ULONG, b.layer_mask, sizeof(uint32_t), shared},
        {SQL_C_CHAR, b.database_name, sizeof(b.database_name[0]), b.database_name_length},
        {SQL_C_CHAR, b.table_name, sizeof(b.table_name[0]), shared},
        {SQL_C_CHAR, b.owner, sizeof(b.owner[0]), shared},
        {SQL_C_CHAR, b.spatial_column, sizeof(b.spatial_column[0]), shared},
        {SQL_C_SLONG, b.cdate, sizeof(int32_t), shared},
        {SQL_C_CHAR, b.layer_config, sizeof(b.layer_config[0]), b.layer_config_length},
        {SQL_C_SLONG, b.optimal_array_size, sizeof(int32_t), b.optimal_array_size_length},
        {SQL_C_SLONG, b.stats_date, sizeof(int32_t), b.stats_date_length},
        {SQL_C_SLONG, b.minimum_id, sizeof(int32_t), b.minimum_id_length},
        {SQL_C_SLONG, b.base_layer_id, sizeof(int32_t), shared},
        {SQL_C_DOUBLE, b.falsex, sizeof(double), shared},
        {SQL_C_DOUBLE, b.falsey, sizeof(double), shared},
        {SQL_C_DOUBLE, b.xyunits, sizeof(double), shared},
        {SQL_C_DOUBLE, b.falsez, sizeof(double), shared},
        {SQL_C_DOUBLE, b.zunits, sizeof(double), shared},
        {SQL_C_DOUBLE, b.falsem, sizeof(double), shared},
        {SQL_C_DOUBLE, b.munits, sizeof(double), shared},
        {SQL_C_CHAR, b.srtext, sizeof(b.srtext[0]), shared},
        {SQL_C_SLONG, b.srid, sizeof(int32_t), shared},
    };
    return db_catalog_bind_columns(hstmt, columns);
}

// Row i of the block as a layer record with the NULL rules applied.
static void S_row_to_layer(int i, DB_LAYER_ROW *work)
{
    const Block &b = S_block;
    db_layer_row_clear(work);
    LAYER &l = work->layer;
    COORDREF &c = work->coordref;
    l.layer_id = b.layer_id[i];
    S_copy(l.description, sizeof(l.description), b.description[i]);
    l.minx = b.minx[i];
    l.miny = b.miny[i];
    l.maxx = b.maxx[i];
    l.maxy = b.maxy[i];
    l.eflags = b.eflags[i];
    l.layer_mask = b.layer_mask[i];
    S_copy(l.database_name, sizeof(l.database_name), b.database_name[i]);
    S_copy(l.table_name, sizeof(l.table_name), b.table_name[i]);
    S_copy(l.owner, sizeof(l.owner), b.owner[i]);
    S_copy(l.spatial_column, sizeof(l.spatial_column), b.spatial_column[i]);
    l.cdate = b.cdate[i];
    S_copy(l.layer_config, sizeof(l.layer_config), b.layer_config[i]);
    l.optimal_array_size = b.optimal_array_size[i];
    l.stats_date = b.stats_date[i];
    l.minimum_id = b.minimum_id[i];
    l.base_layer_id = b.base_layer_id[i];
    c.falsex = b.falsex[i];
    c.falsey = b.falsey[i];
    c.xyunits = b.xyunits[i];
    c.falsez = b.falsez[i];
    c.zunits = b.zunits[i];
    c.falsem = b.falsem[i];
    c.munits = b.munits[i];
    c.srid = b.srid[i];
    S_copy(work->srtext, sizeof(work->srtext), b.srtext[i]);
    DB_LAYER_INDICATORS indicators{};
    indicators.description = b.description_length[i];
    indicators.database_name = b.database_name_length[i];
    indicators.layer_config = b.layer_config_length[i];
    indicators.optimal_array_size = b.optimal_array_size_length[i];
    indicators.stats_date = b.stats_date_length[i];
    indicators.minimum_id = b.minimum_id_length[i];
    db_layer_apply_null_rules(&l, &indicators, true);
}

// Whether a column of the statement names the row's spatial column.
static bool S_row_matches(const char *name, const LAYER &row, const char *user)
{
    char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], table[DB_NAME_TABLE_SIZE];
    char column[DB_NAME_COLUMN_SIZE];
    if (db_parse_column_name(nullptr, name, user, database, owner, table, column) != 0)
        return false;
    db_identifier_to_lower(nullptr, column, sizeof(column), 1);
    bool spatial = strcmp(column, row.spatial_column) == 0 || strcmp(column, "*") == 0;
    if (owner[0] == '\0' && table[0] == '\0')
        return spatial || strcmp(column, "ve_row_id") == 0;
    db_identifier_to_lower(nullptr, table, sizeof(table), 1);
    if (owner[0] == '\0')
        return spatial && strcmp(table, row.table_name) == 0;
    return spatial &&
           db_names_equal(row.owner, row.table_name, row.database_name, owner, table, database);
}

// The upper-cased column name equals the row's spatial column exactly.
static bool S_row_matches_upper(const char *name, const LAYER &row)
{
    char column[S_UPPER_NAME_SIZE];
    S_copy(column, sizeof(column), name);
    db_identifier_to_upper(nullptr, column, sizeof(column));
    return strcmp(column, row.spatial_column) == 0;
}

namespace
{

// The layers the SELECT's rows matched, each counted once.
struct Found {
    std::vector<int32_t> ids;
    void add(int32_t id)
    {
        if (std::find(ids.begin(), ids.end(), id) == ids.end())
            ids.push_back(id);
    }
};

} // namespace

// Puts the matching rows of the block into the cache, the stream's layer
// the last of them. upper: the second pass. 0 or the cache's failure.
static int32_t S_match_block(DB_INSTANCE *instance, DB_STREAM *stream, int rows,
                             int32_t column_count, const char *const *columns, bool upper,
                             Found *found)
{
    const char *user = db_stream_get_user(stream);
    DB_LAYER_ROW work;
    db_layer_row_init(&work);
    for (int i = 0; i < rows; i++) {
        S_row_to_layer(i, &work);
        for (int32_t c = 0; c < column_count; c++) {
            bool match = upper ? S_row_matches_upper(columns[c], work.layer)
                               : S_row_matches(columns[c], work.layer, user);
            if (!match)
                continue;
            int16_t inserted = 0;
            int32_t rc = db_layer_cache_get_by_id(instance, stream, &work.layer, &inserted);
            if (rc != 0)
                return rc;
            found->add(work.layer.layer_id);
        }
    }
    return 0;
}

// Records the table of the stream's layer among the statement's tables.
static void S_set_table_position(DB_STREAM *stream, int32_t table_count, const char *const *tables)
{
    const LAYER *layer = db_stream_get_layer_info(stream);
    if (layer == nullptr)
        return;
    const char *user = db_stream_get_user(stream);
    for (int32_t t = 0; t < table_count; t++) {
        TableName name;
        if (S_parse_table(tables[t], user, &name) != 0)
            continue;
        bool databases = name.database[0] == '\0' || layer->database_name[0] == '\0' ||
                         strcmp(name.database, layer->database_name) == 0;
        if (databases && strcmp(name.owner, layer->owner) == 0 &&
            strcmp(name.table, layer->table_name) == 0)
            db_stream_set_shape_column(stream, t);
    }
}

// Runs the SELECT and matches its rows. 0; -37 without any row; -133; -51
// recorded; the cache's failure.
static int32_t S_catalogue_pass(DB_INSTANCE *instance, DB_STREAM *stream, const std::string &sql,
                                int32_t column_count, const char *const *columns,
                                int32_t table_count, const char *const *tables)
{
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int32_t prepared = db_catalog_prepare(nullptr, &hstmt, sql.c_str());
    if (prepared != 0)
        return prepared;
    SQLRETURN cli = S_bind_block(hstmt);
    if (SQL_SUCCEEDED(cli))
        cli = SQLSetStmtAttr(hstmt, SQL_ROWSET_SIZE,
                             reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(S_ROWS)), 0);
    if (SQL_SUCCEEDED(cli))
        cli = SQLExecute(hstmt);
    db_stream_set_layer_info(stream, nullptr);
    Found found;
    int32_t result = 0;
    bool first = true;
    while (SQL_SUCCEEDED(cli)) {
        memset(&S_block, 0, sizeof(S_block));
        SQLULEN fetched = 0;
        cli = SQLExtendedFetch(hstmt, SQL_FETCH_NEXT, 0, &fetched, S_block.row_status);
        if (cli == SQL_NO_DATA) {
            if (first)
                result = ZE_TABLE_NOT_FOUND;
            break;
        }
        if (!SQL_SUCCEEDED(cli))
            break;
        first = false;
        int rows = static_cast<int>(std::min<SQLULEN>(fetched, S_ROWS));
        result = S_match_block(instance, stream, rows, column_count, columns, false, &found);
        if (result == 0 && found.ids.empty() && rows > 0)
            result = S_match_block(instance, stream, rows, column_count, columns, true, &found);
        if (result != 0 || rows < S_ROWS)
            break;
    }
    if (!SQL_SUCCEEDED(cli) && cli != SQL_NO_DATA)
        return db_catalog_fail(nullptr, &hstmt, cli);
    db_free_stmt(&hstmt);
    if (result != 0)
        return result;
    if (found.ids.size() > 1) {
        db_stream_set_layer_info(stream, nullptr);
        return ZE_MULTIPLE_SPATIAL_COLUMNS;
    }
    if (found.ids.size() == 1)
        S_set_table_position(stream, table_count, tables);
    return 0;
}

static int32_t S_load(DB_INSTANCE *instance, DB_STREAM *stream, int32_t column_count,
                      const char *const *columns, int32_t table_count, const char *const *tables)
{
    db_stream_set_layer_info(stream, nullptr);
    bool done = false;
    int32_t rc = S_cache_pass(instance, stream, column_count, columns, table_count, tables, &done);
    if (rc != 0 || done)
        return rc;
    std::string sql = S_catalogue_text(instance, db_stream_get_user(stream), table_count, tables);
    if (sql.empty())
        return 0;
    return S_catalogue_pass(instance, stream, sql, column_count, columns, table_count, tables);
}

int32_t db_layer_info_load_for_tables(DB_INSTANCE *instance, DB_STREAM *stream,
                                      int32_t column_count, const char *const *columns,
                                      int32_t table_count, const char *const *tables)
{
    if (stream == nullptr || (column_count > 0 && columns == nullptr) ||
        (table_count > 0 && tables == nullptr))
        return ZE_NULL_POINTER;
    for (int32_t c = 0; c < column_count; c++)
        if (columns[c] == nullptr)
            return ZE_NULL_POINTER;
    for (int32_t t = 0; t < table_count; t++)
        if (tables[t] == nullptr)
            return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return S_load(instance, stream, column_count, columns, table_count, tables);
    });
}
