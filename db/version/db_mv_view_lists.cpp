// Pieces of the multiversion view texts (db_mv_view_internal.h): the select
// list of a table under an alias, the column list of a stored view, the test
// of a plain column name, the derived table of a log file's ids and its join
// condition, and the set-up of an output buffer from a capacity.
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/catalog/db_log_internal.h"
#include "db/core/db_describe_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stream_layer_internal.h"
#include "db/version/db_mv_view_internal.h"
#include "db/version/db_routine_internal.h"

DB_MV_TEXT &DB_MV_TEXT::add(std::initializer_list<const char *> pieces)
{
    for (const char *piece : pieces)
        if (rc == 0)
            rc = sql_string_append(buffer, piece);
    return *this;
}

DB_MV_TEXT &DB_MV_TEXT::line(std::initializer_list<const char *> pieces)
{
    add(pieces);
    if (rc == 0)
        rc = sql_string_end_line(buffer);
    return *this;
}

int32_t db_mv_buffer_init(SQL_TEXT_BUFFER *buffer, int32_t capacity, char *storage)
{
    if (capacity < 1) {
        sql_string_init(buffer);
        return ZE_SUCCESS;
    }
    if (storage == nullptr)
        return ZE_NULL_POINTER;
    return sql_string_init_buffer(buffer, storage, capacity);
}

int32_t db_sql_is_identifier(const char *text)
{
    if (text == nullptr || text[0] == '\0')
        return 0;
    if ((text[0] >= '0' && text[0] <= '9') || text[0] == '\'')
        return 0;
    if (text[0] == '"')
        return 1;
    std::string upper(text);
    db_identifier_to_upper(nullptr, upper.data(), static_cast<int32_t>(upper.size() + 1));
    // Without a code page the folding above leaves the text as it was.
    for (char &c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    if (upper == "NULL")
        return 0;
    return upper.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_$#") == std::string::npos
               ? 1
               : 0;
}

namespace
{

// The columns a list is made of: the record's, or the table's own.
struct Columns {
    std::vector<std::string> names;
};

void S_free_description(DB_COLUMN_DEF *defs, int32_t *lengths, int16_t *types)
{
    free(defs);
    free(lengths);
    free(types);
}

int32_t S_columns(const DB_MV_TABLE_INFO *table, bool describe, Columns *out)
{
    if (!describe) {
        if (table->column_count < 1 || table->column_names == nullptr)
            return ZE_INVALID_ARGUMENT;
        for (int16_t i = 0; i < table->column_count; i++) {
            if (table->column_names[i] == nullptr || table->column_names[i][0] == '\0')
                return ZE_INVALID_ARGUMENT;
            out->names.emplace_back(table->column_names[i]);
        }
        return ZE_SUCCESS;
    }
    int16_t count = 0;
    DB_COLUMN_DEF *defs = nullptr;
    int32_t *lengths = nullptr;
    int16_t *types = nullptr;
    int32_t rc =
        db_describe_table(nullptr, nullptr, table->table_name, &count, &defs, &lengths, &types);
    if (rc == ZE_SUCCESS && count < 1)
        rc = ZE_TABLE_NOT_FOUND;
    for (int16_t i = 0; rc == ZE_SUCCESS && i < count; i++)
        out->names.emplace_back(defs[i].name, strnlen(defs[i].name, sizeof(defs[i].name)));
    S_free_description(defs, lengths, types);
    return rc;
}

// The table's spatial column, empty when it has none.
int32_t S_spatial_column(const DB_MV_TABLE_INFO *table, std::string *out)
{
    char column[DB_NAME_COLUMN_SIZE] = "";
    int32_t rc = db_get_spatial_column_name(table->table_name, column);
    if (rc != ZE_SUCCESS)
        return rc;
    column[sizeof(column) - 1] = '\0';
    *out = column;
    return ZE_SUCCESS;
}

bool S_same(const std::string &a, const char *b)
{
    return strcasecmp(a.c_str(), b) == 0;
}

} // namespace

int32_t db_mv_select_list(const DB_MV_TABLE_INFO *table, const char *alias, SQL_TEXT_BUFFER *buffer,
                          int32_t add_state, int32_t describe)
{
    if (table == nullptr || alias == nullptr || buffer == nullptr || table->table_name == nullptr)
        return ZE_NULL_POINTER;
    Columns columns;
    int32_t rc = S_columns(table, describe != 0, &columns);
    std::string spatial;
    if (rc == ZE_SUCCESS)
        rc = S_spatial_column(table, &spatial);
    if (rc != ZE_SUCCESS)
        return rc;
    // A base row belongs to state 0.
    const bool base = alias[0] == 'b' || alias[0] == 'B';
    const std::string qualifier = std::string(alias) + ".";
    bool has_state = false, has_rowid = false, has_spatial = false;
    DB_MV_TEXT text{buffer};
    const size_t n = columns.names.size();
    for (size_t i = 0; i < n; i++) {
        const std::string &c = columns.names[i];
        if (S_same(c, "ZEL_STATE_ID")) {
            has_state = true;
            text.add({base ? "0 " : qualifier.c_str()});
        } else if (db_sql_is_identifier(c.c_str())) {
            has_rowid = has_rowid || S_same(c, "VE_ROW_ID");
            text.add({qualifier.c_str()});
        }
        has_spatial = has_spatial || (!spatial.empty() && S_same(c, spatial.c_str()));
        text.add({c.c_str(), i + 1 < n ? "," : " "});
    }
    if (add_state && !has_state)
        text.add({", ", base ? "0 " : qualifier.c_str(), "ZEL_STATE_ID", " "});
    if (has_spatial && !has_rowid)
        text.add({", ", alias, ".VE_ROW_ID "});
    return text.line({}).rc;
}

int32_t db_mv_column_list(const DB_MV_TABLE_INFO *table, SQL_TEXT_BUFFER *buffer, int32_t add_state)
{
    if (table == nullptr || buffer == nullptr || table->table_name == nullptr)
        return ZE_NULL_POINTER;
    Columns columns;
    int32_t rc = S_columns(table, true, &columns);
    std::string spatial;
    if (rc == ZE_SUCCESS)
        rc = S_spatial_column(table, &spatial);
    if (rc != ZE_SUCCESS)
        return rc;
    bool has_state = false, has_rowid = false, has_spatial = false;
    DB_MV_TEXT text{buffer};
    const size_t n = columns.names.size();
    for (size_t i = 0; i < n; i++) {
        const std::string &c = columns.names[i];
        has_state = has_state || S_same(c, "ZEL_STATE_ID");
        has_rowid = has_rowid || S_same(c, "VE_ROW_ID");
        has_spatial = has_spatial || (!spatial.empty() && S_same(c, spatial.c_str()));
        text.add({c.c_str(), i + 1 < n ? "," : " "});
    }
    if (add_state && !has_state)
        text.add({",", "ZEL_STATE_ID", " "});
    if (has_spatial && !has_rowid)
        text.add({", VE_ROW_ID "});
    return text.line({" "}).rc;
}

int32_t db_mv_log_join(const LOGFILE *log, SQL_TEXT_BUFFER *buffer, int32_t registration_id,
                       int32_t getter)
{
    if (log == nullptr || buffer == nullptr)
        return ZE_NULL_POINTER;
    std::string id;
    if (getter) {
        char name[DB_MV_VIEW_NAME_SIZE];
        int32_t rc = db_lineage_routine_name(registration_id, name, sizeof(name), DB_LOGID_GET, 1);
        if (rc != ZE_SUCCESS)
            return rc;
        id = std::string(name) + "()";
    } else {
        // The data rows are keyed by the data id, which a renewed log no
        // longer shares with its log id.
        id = std::to_string(log->data_id);
    }
    char name[DB_NAME_FULL_TABLE_SIZE];
    snprintf(name, sizeof(name), "%.*s", static_cast<int>(sizeof(name) - 1), log->name);
    char database[DB_LOG_DATABASE_SIZE], owner[DB_LOG_OWNER_SIZE], bare[DB_LOG_BARE_SIZE];
    if (db_log_parse_name(name, nullptr, database, owner, bare) != ZE_SUCCESS)
        return ZE_INVALID_ARGUMENT;
    const std::string data = std::string(database) + ":" + owner + "_ZEL_LOGFILE_DATA";
    DB_MV_TEXT text{buffer};
    text.line({" TABLE (MULTISET(SELECT  DISTINCT zel_row_id "});
    text.line({"FROM ", data.c_str(), " "});
    text.line({"WHERE ", data.c_str(), ".logfile_data_id = ", id.c_str(), ")) LF,"});
    return text.rc;
}

int32_t db_mv_log_match(const LOGFILE *log, const char *alias, const char *rowid_column,
                        SQL_TEXT_BUFFER *buffer)
{
    if (log == nullptr || alias == nullptr || rowid_column == nullptr || buffer == nullptr)
        return ZE_NULL_POINTER;
    return DB_MV_TEXT{buffer}.line({" AND LF.zel_row_id = ", alias, ".", rowid_column, " "}).rc;
}
