// The SELECT text of a query stream (db_stream_query_internal.h): the select
// list with its shape, row-id, area and length, row-lock and annotation
// items, the FROM list with multiversion views, and the WHERE clause with the
// attribute text, the log-file and the row-lock restrictions. Texts grow as
// needed; table names go in unquoted only after the identifier check.
#include <ctype.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_table_describe.h"
#include "db/core/db_dbms_internal.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_identifier_check.h"
#include "db/core/db_instance_user_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stream_columns_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_stream_layer_internal.h"
#include "db/core/db_vocab_internal.h"
#include "db/stream/db_row_lock.h"
#include "db/stream/db_stream_query_internal.h"
#include "db/version/db_mv_view_internal.h"

namespace
{

// A table name split into its parts, lower-cased as the parser leaves them.
struct TableName {
    char database[DB_NAME_DATABASE_SIZE] = "";
    char owner[DB_NAME_OWNER_SIZE] = "";
    char table[DB_NAME_TABLE_SIZE] = "";

    std::string full() const
    {
        return std::string(database) + ":" + owner + "." + table;
    }
};

// A column name split into its parts; parsed false for an expression.
struct ColumnName {
    char database[DB_NAME_DATABASE_SIZE] = "";
    char owner[DB_NAME_OWNER_SIZE] = "";
    char table[DB_NAME_TABLE_SIZE] = "";
    char column[DB_NAME_COLUMN_SIZE] = "";
    bool parsed = false;
};

// What the builders share.
struct Query {
    DB_STREAM *stream;
    const VE_QUERYINFO *info;
    DB_MV_QUERY_INFO *mv;
    const LOGFILE *log;
    const char *user;          // the stream's user: default owner of table names
    std::string function;      // " VE_AsZel"
    std::string anno_function; // " VE_Anno_Text"
    int32_t table_count;
    const char *const *tables;
};

std::string S_function(const char *name)
{
    char format[8];
    db_get_column_expr_format(format);
    std::string f = format;
    size_t at = f.find("%s");
    if (at != std::string::npos)
        f.replace(at, 2, name);
    return f;
}

// The parts of a table name; each must be an identifier, as it goes into the
// text unquoted.
int32_t S_parse_table(const char *name, const char *user, TableName *out)
{
    if (name == nullptr)
        return ZE_NULL_POINTER;
    if (strlen(name) > DB_QUERY_TABLE_MAX)
        return ZE_INVALID_ARGUMENT;
    int32_t rc = db_parse_table_name(nullptr, name, user, out->database, out->owner, out->table);
    if (rc != 0)
        return rc;
    for (const char *part : {out->database, out->owner, out->table}) {
        rc = DB_check_identifier(nullptr, part);
        if (rc != 0)
            return rc;
    }
    return out->table[0] ? 0 : ZE_INVALID_ARGUMENT;
}

ColumnName S_parse_column(const char *name, const char *user)
{
    ColumnName c;
    c.parsed = db_parse_column_name(nullptr, name, user, c.database, c.owner, c.table, c.column) ==
               ZE_SUCCESS;
    return c;
}

bool S_reads_views(const DB_MV_QUERY_INFO *mv)
{
    return mv != nullptr && mv->tables != nullptr && mv->table_count > 0 &&
           db_query_needs_mv_view(mv) != 0;
}

bool S_has_entries(const DB_MV_QUERY_INFO *mv)
{
    return mv != nullptr && mv->tables != nullptr && mv->table_count > 0;
}

// The entry of the table at a position when that table is read through a
// view; null otherwise.
const DB_MV_TABLE_INFO *S_view_at(const DB_MV_QUERY_INFO *mv, int32_t position)
{
    if (!S_reads_views(mv) || position < 0 || position >= mv->table_count)
        return nullptr;
    const DB_MV_TABLE_INFO *entry = &mv->tables[position];
    return entry->registration_id != 0 ? entry : nullptr;
}

// db_query_mv_column_alias: the alias of the view that reads the column's
// table (the first view-read table for an unqualified column); null when the
// table is read directly or the view has no alias.
const char *S_column_alias(const Query &q, const char *database, const char *owner,
                           const char *table)
{
    if (!S_reads_views(q.mv))
        return nullptr;
    for (int32_t i = 0; i < q.mv->table_count; i++) {
        const DB_MV_TABLE_INFO *entry = S_view_at(q.mv, i);
        if (entry == nullptr || entry->table_name == nullptr)
            continue;
        if (table[0] && !db_table_name_matches(nullptr, entry->table_name, database, owner, table))
            continue;
        return entry->alias[0] ? entry->alias : nullptr;
    }
    return nullptr;
}

bool S_is_layer_table(const Query &q, const char *database, const char *owner, const char *table)
{
    const LAYER *layer = q.stream->layer;
    if (layer == nullptr || !table[0])
        return false;
    if (strcasecmp(table, layer->table_name) != 0 || strcmp(owner, layer->owner) != 0)
        return false;
    return !database[0] || !layer->database_name[0] ||
           strcasecmp(database, layer->database_name) == 0;
}

// The stream's table as a query item qualifier: the view alias or its name,
// with its owner when another owner's table of that name is in the query
// (the bare name would be ambiguous).
std::string S_layer_qualifier(const Query &q)
{
    const DB_STREAM *stream = q.stream;
    const char *alias = S_column_alias(q, stream->database, stream->owner, stream->table);
    if (alias != nullptr)
        return alias;
    for (int32_t i = 0; i < q.table_count; i++) {
        TableName t;
        if (S_parse_table(q.tables[i], q.user, &t) == 0 &&
            strcasecmp(t.table, stream->table) == 0 && strcmp(t.owner, stream->owner) != 0)
            return std::string(stream->owner) + "." + stream->table;
    }
    return stream->table;
}

// db_query_expand_star: the columns of the layer's table, its shape through
// the shape function.
int32_t S_expand_star(Query &q, std::string *out, int32_t *items)
{
    DB_STREAM *stream = q.stream;
    std::string name = std::string(stream->database) + ":" + stream->owner + "." + stream->table;
    int16_t count = 0;
    DB_COLUMN_DEF *defs = nullptr;
    int32_t rc = DB_table_describe(nullptr, name.c_str(), nullptr, &count, &defs);
    if (rc != 0)
        return rc;
    const std::string table = S_layer_qualifier(q);
    for (int16_t i = 0; i < count; i++) {
        const char *column = defs[i].name;
        if (strcasecmp(column, stream->spatial_column_name) == 0) {
            *out += " " + q.function + "(" + table + "." + column + ") " + column + ", ";
            stream->shape_selected = 1;
        } else {
            *out += " " + table + "." + column + ", ";
        }
        (*items)++;
    }
    free(defs);
    return 0;
}

// The one layer among the query's tables, for a VE_ROW_ID item without a
// table; -144 for none or several.
int32_t S_only_layer_table(const Query &q, TableName *out)
{
    int found = 0;
    for (int32_t i = 0; i < q.table_count; i++) {
        LAYER *layer = nullptr;
        int32_t rc = DB_layer_get_info_by_table_name(nullptr, q.stream, q.tables[i], nullptr,
                                                     q.user, &layer);
        if (rc == ZE_LAYER_NOT_FOUND)
            continue;
        if (rc != 0)
            return rc;
        if (++found == 1) {
            rc = S_parse_table(q.tables[i], q.user, out);
            if (rc != 0)
                return rc;
        }
    }
    return found == 1 ? 0 : ZE_ROWID_TABLE_UNRESOLVED;
}

// The VE_ROW_ID pseudo column, resolved to the row-id column of its table's
// registration.
int32_t S_row_id_item(Query &q, const char *requested, const ColumnName &c, std::string *out)
{
    DB_STREAM *stream = q.stream;
    TableName t;
    bool may_be_unregistered = true;
    if (c.table[0]) {
        std::string qualified = std::string(c.owner) + "." + c.table;
        if (c.database[0] && strchr(requested, ':') != nullptr)
            qualified = std::string(c.database) + ":" + qualified;
        int32_t rc = S_parse_table(qualified.c_str(), q.user, &t);
        if (rc != 0)
            return rc;
        may_be_unregistered = S_is_layer_table(q, t.database, t.owner, t.table);
    } else if (stream->layer != nullptr) {
        strcpy(t.database, stream->database);
        strcpy(t.owner, stream->owner);
        strcpy(t.table, stream->table);
    } else {
        int32_t rc = S_only_layer_table(q, &t);
        if (rc != 0)
            return rc;
    }
    REGISTRATION registration{};
    std::string lookup = std::string(t.owner) + "." + t.table;
    int32_t rc = db_instance_registration_by_name(lookup.c_str(), &registration);
    if (rc != 0 && !(rc == ZE_TABLE_NOT_REGISTERED && may_be_unregistered))
        return rc;
    const char *rowid =
        rc == 0 && registration.rowid_column[0] ? registration.rowid_column : "ve_row_id";
    const char *alias_name = db_skip_qualifier(requested);
    const char *alias = S_column_alias(q, t.database, t.owner, t.table);
    if (alias != nullptr)
        *out += " " + std::string(alias) + "." + rowid + " " + alias_name + ", ";
    else
        *out += " " + std::string(t.owner) + "." + t.table + "." + rowid + " " + alias_name + ", ";
    return 0;
}

// "ve_area(" or "ve_length(" over a column of a named table, written with
// the table's full name; false when the text names no table.
bool S_measure_item(Query &q, const std::string &requested, std::string *out)
{
    std::string lower = requested;
    for (char &ch : lower)
        ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    for (const char *fn : {"ve_area(", "ve_length("}) {
        size_t at = lower.find(fn);
        if (at == std::string::npos)
            continue;
        size_t open = at + strlen(fn);
        size_t close = requested.find(')', open);
        if (close == std::string::npos)
            return false;
        std::string argument = requested.substr(open, close - open);
        std::string table;
        if (at > 0 && requested[at - 1] == '.') {
            table = requested.substr(0, at - 1);
        } else {
            size_t point = argument.rfind('.');
            if (point == std::string::npos)
                return false;
            table = argument.substr(0, point);
            argument = argument.substr(point + 1);
        }
        TableName t;
        if (S_parse_table(table.c_str(), q.user, &t) != 0)
            return false;
        *out += " " + std::string(fn) + t.full() + "." + argument + "), ";
        return true;
    }
    return false;
}

// Whether a table is the layer's feature table, which the query never reads.
bool S_is_feature_table(const DB_STREAM *stream, const TableName &t)
{
    if (!stream->feature_table[0])
        return false;
    return strcasecmp(t.table, db_skip_qualifier(stream->feature_table)) == 0 &&
           strcmp(t.owner, stream->owner) == 0 &&
           (!stream->database[0] || strcasecmp(t.database, stream->database) == 0);
}

// db_query_build_select_list.
int32_t S_select_list(Query &q, std::string *out)
{
    DB_STREAM *stream = q.stream;
    const VE_QUERYINFO *info = q.info;
    std::vector<std::string> names;
    for (int16_t i = 0; i < info->num_columns; i++) {
        if (info->columns[i] == nullptr)
            return ZE_NULL_POINTER;
        if (strlen(info->columns[i]) > DB_QUERY_COLUMN_MAX)
            return ZE_INVALID_ARGUMENT;
        names.push_back(info->columns[i]);
    }
    // One "*" over one table: the table's own columns.
    if (names.size() == 1 && names[0] == "*" && q.table_count == 1) {
        TableName t;
        int32_t rc = S_parse_table(q.tables[0], q.user, &t);
        if (rc != 0)
            return rc;
        int16_t count = 0;
        DB_COLUMN_DEF *defs = nullptr;
        rc = DB_table_describe(nullptr, q.tables[0], nullptr, &count, &defs);
        if (rc != 0)
            return rc;
        names.clear();
        for (int16_t i = 0; i < count; i++) {
            if (strcasecmp(defs[i].name, "cardinality") == 0)
                names.push_back(std::string(q.tables[0]) + "." + defs[i].name);
            else
                names.push_back(defs[i].name);
        }
        free(defs);
    }

    *out = "select ";
    int32_t items = 0;
    bool lock_column_selected = false;
    for (const std::string &name : names) {
        const ColumnName c = S_parse_column(name.c_str(), q.user);
        if (c.parsed && stream->row_lock_id_column[0] &&
            strcasecmp(c.column, stream->row_lock_id_column) == 0)
            lock_column_selected = true;
        if (c.parsed && strcmp(c.column, "*") == 0) {
            if (!c.table[0]) {
                // Over every table; the layer's table by its columns.
                for (int32_t i = 0; i < q.table_count; i++) {
                    TableName t;
                    int32_t rc = S_parse_table(q.tables[i], q.user, &t);
                    if (rc != 0)
                        return rc;
                    if (S_is_feature_table(stream, t))
                        continue;
                    if (S_is_layer_table(q, t.database, t.owner, t.table)) {
                        rc = S_expand_star(q, out, &items);
                        if (rc != 0)
                            return rc;
                        continue;
                    }
                    const DB_MV_TABLE_INFO *view = S_view_at(q.mv, i);
                    if (view != nullptr && view->alias[0])
                        *out += " " + std::string(view->alias) + ".*, ";
                    else
                        *out += " " + std::string(q.tables[i]) + ".*, ";
                    items++;
                }
                continue;
            }
            if (S_is_layer_table(q, c.database, c.owner, c.table)) {
                int32_t rc = S_expand_star(q, out, &items);
                if (rc != 0)
                    return rc;
                continue;
            }
            const char *alias = S_column_alias(q, c.database, c.owner, c.table);
            *out += alias != nullptr ? " " + std::string(alias) + ".*, " : " " + name + ", ";
            items++;
            continue;
        }
        if (S_measure_item(q, name, out)) {
            items++;
            continue;
        }
        if (c.parsed && strcmp(c.column, "ve_row_id") == 0) {
            int32_t rc = S_row_id_item(q, name.c_str(), c, out);
            if (rc != 0)
                return rc;
            if (db_stream_is_row_id_pseudo_column(stream, name.c_str()))
                stream->rowid_column_index = items;
            items++;
            continue;
        }
        if (!c.parsed && name.find_first_of("( ") == std::string::npos)
            return ZE_INVALID_ARGUMENT; // a name whose parts exceed their fields
        const char *alias = c.parsed ? S_column_alias(q, c.database, c.owner, c.table) : nullptr;
        if (c.parsed && db_stream_is_spatial_column(stream, name.c_str())) {
            std::string column = alias != nullptr ? std::string(alias) + "." + c.column : name;
            *out += " " + q.function + "(" + column + ") " + db_skip_qualifier(name.c_str()) + ", ";
            stream->shape_selected = 1;
        } else if (alias != nullptr) {
            *out += " " + std::string(alias) + "." + c.column + ", ";
        } else {
            *out += " " + name + ", ";
        }
        items++;
    }

    if (stream->row_locking &&
        (stream->row_lock_mode & (DB_ROW_LOCK_ADD_FETCHED | DB_ROW_LOCK_REMOVE_FETCHED)) &&
        stream->row_lock_id_column[0] && !lock_column_selected) {
        if (q.table_count == 1 && stream->layer != nullptr)
            *out += " " + S_layer_qualifier(q) + "." + stream->row_lock_id_column + ", ";
        else
            *out += " " + std::string(stream->row_lock_id_column) + ", ";
        items++;
    }
    if (items == 0)
        return ZE_INVALID_ARGUMENT;
    if (stream->shape_selected && stream->layer != nullptr &&
        (stream->layer->eflags & LAYER_ANNOTATION)) {
        std::string column = stream->spatial_column_name;
        const char *alias = S_column_alias(q, stream->database, stream->owner, stream->table);
        if (alias != nullptr)
            column = std::string(alias) + "." + column;
        *out += " " + q.anno_function + "(" + column + ") ";
        stream->annotation_column = 1;
    } else {
        (*out)[out->size() - 2] = ' ';
    }
    return 0;
}

// db_query_build_from: the FROM list, and the plain one beside it for a
// multiversion query.
int32_t S_from(Query &q, std::string *from, std::string *plain)
{
    *from = "from ";
    const bool keep_plain = S_has_entries(q.mv);
    if (keep_plain)
        *plain = "from ";
    for (int32_t i = 0; i < q.table_count; i++) {
        TableName t;
        int32_t rc = S_parse_table(q.tables[i], q.user, &t);
        if (rc != 0)
            return rc;
        if (S_is_feature_table(q.stream, t))
            continue;
        const std::string item = " " + t.full() + ",";
        if (keep_plain)
            *plain += item;
        if (S_view_at(q.mv, i) == nullptr) {
            *from += item;
            continue;
        }
        char *view = nullptr;
        rc = db_mv_view_build(nullptr, q.mv, q.tables[i], q.user, i, 0, &view, 0, 1);
        if (rc == 0 && view != nullptr)
            *from += std::string(view) + ",";
        free(view);
        if (rc != 0)
            return rc;
    }
    from->back() = ' ';
    if (keep_plain)
        plain->back() = ' ';
    return 0;
}

bool S_row_lock_restricted(const DB_STREAM *stream)
{
    const int32_t bits =
        stream->row_lock_mode & (DB_ROW_LOCK_OWN | DB_ROW_LOCK_OTHERS | DB_ROW_LOCK_UNLOCKED);
    return stream->row_locking && stream->row_locks_initialised && bits != 0 &&
           bits != (DB_ROW_LOCK_OWN | DB_ROW_LOCK_OTHERS | DB_ROW_LOCK_UNLOCKED);
}

// The log-file restriction; nothing when a view already reads the log.
int32_t S_log_restriction(Query &q, std::string *where)
{
    const LOGFILE *log = q.log;
    if (log == nullptr)
        return 0;
    if (S_has_entries(q.mv))
        for (int32_t i = 0; i < q.mv->table_count; i++)
            if (q.mv->tables[i].registration_id != 0 &&
                q.mv->tables[i].registration_id == log->registration_id)
                return 0;
    char data_table[DB_NAME_FULL_TABLE_SIZE + 32];
    int32_t rc = db_make_logfile_data_table_name("", q.user, data_table, sizeof(data_table));
    if (rc != 0)
        return rc;
    const char *rowid =
        log->registration.rowid_column[0] ? log->registration.rowid_column : "VE_ROW_ID";
    std::string target;
    if (log->flags & LOGINFO_LAYER) {
        target = std::string(q.stream->database) + ":" + q.stream->owner + "." + q.stream->table;
    } else {
        TableName t;
        rc = S_parse_table(log->table_name, q.user, &t);
        if (rc != 0)
            return rc;
        target = t.full();
    }
    rc = DB_check_identifier(nullptr, rowid);
    if (rc != 0)
        return rc;
    *where += where->empty() ? " where " : " and ";
    *where += " EXISTS (SELECT ZEL_ROW_ID FROM " + std::string(data_table) +
              " LF_ WHERE LF_.logfile_data_id = " + std::to_string(log->data_id) + " AND ";
    *where += " (LF_.zel_row_id = " + target + "." + rowid + "))";
    return 0;
}

void S_row_lock_restriction(const DB_STREAM *stream, std::string *where)
{
    const int32_t mode = stream->row_lock_mode;
    const std::string exists =
        " (EXISTS (select ROW_ID from " + std::string(stream->row_lock_table) +
        " where ROW_ID = " + stream->row_lock_locked_table + "." + stream->row_lock_id_column;
    const std::string user =
        db_quote_literal(db_stream_get_user(stream) != nullptr ? db_stream_get_user(stream) : "");
    *where += where->empty() ? " where (" : " and (";
    bool any = false;
    if ((mode & DB_ROW_LOCK_OWN) && (mode & DB_ROW_LOCK_OTHERS)) {
        *where += exists + "))";
        any = true;
    } else if (mode & DB_ROW_LOCK_OWN) {
        *where += exists + " and USER_NAME = '" + user + "'))";
        any = true;
    } else if (mode & DB_ROW_LOCK_OTHERS) {
        *where += exists + " and USER_NAME != '" + user + "'))";
        any = true;
    }
    if (mode & DB_ROW_LOCK_UNLOCKED) {
        if (any)
            *where += " OR";
        *where += " (NOT EXISTS (select ROW_ID from " + std::string(stream->row_lock_table) +
                  " where ROW_ID = " + stream->row_lock_locked_table + "." +
                  stream->row_lock_id_column + "))";
    }
    *where += " )";
}

// db_query_build_where.
int32_t S_where(Query &q, std::string *where)
{
    where->clear();
    const char *text = nullptr;
    if (db_sql_client_condition(q.info->construct->where, &text) != 0)
        return ZE_INVALID_ARGUMENT;
    if (text != nullptr && !db_sql_is_blank(text)) {
        std::string attribute = text;
        if (S_has_entries(q.mv))
            attribute = db_query_rewrite_mv_where(q.mv, attribute);
        *where = " where (" + attribute + ")";
    }
    int32_t rc = S_log_restriction(q, where);
    if (rc != 0)
        return rc;
    if (S_row_lock_restricted(q.stream))
        S_row_lock_restriction(q.stream, where);
    return 0;
}

bool S_name_char(char c)
{
    return isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#' || c == '.' ||
           c == ':' || (c & 0x80);
}

char *S_copy(const std::string &text)
{
    char *copy = static_cast<char *>(malloc(text.size() + 1));
    if (copy == nullptr)
        throw std::bad_alloc();
    memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

void S_keep(char **slot, const std::string &text)
{
    free(*slot);
    *slot = nullptr;
    *slot = S_copy(text);
}

} // namespace

std::string db_query_rewrite_mv_where(const DB_MV_QUERY_INFO *mv, const std::string &where)
{
    if (!S_reads_views(mv))
        return where;
    struct Pattern {
        std::string text; // upper case, ends with "."
        std::string alias;
        bool shared = false;
    };
    std::vector<Pattern> patterns;
    auto add = [&](std::string text, const std::string &alias) {
        for (char &ch : text)
            ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
        for (Pattern &p : patterns)
            if (p.text == text) {
                if (p.alias != alias)
                    p.shared = true;
                return;
            }
        patterns.push_back({text, alias});
    };
    for (int32_t i = 0; i < mv->table_count; i++) {
        const DB_MV_TABLE_INFO *entry = S_view_at(mv, i);
        if (entry == nullptr || entry->table_name == nullptr || !entry->alias[0])
            continue;
        TableName t;
        char user[DB_USER_NAME_SIZE];
        if (S_parse_table(entry->table_name, db_get_current_user(user), &t) != 0)
            continue;
        add(std::string(t.database) + ":" + t.owner + "." + t.table + ".", entry->alias);
        add(std::string(t.owner) + "." + t.table + ".", entry->alias);
        add(std::string(t.table) + ".", entry->alias);
    }
    // Longest first, so that a qualified name is taken whole.
    std::stable_sort(patterns.begin(), patterns.end(), [](const Pattern &a, const Pattern &b) {
        return a.text.size() > b.text.size();
    });
    std::string upper = where;
    for (char &ch : upper)
        ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    std::string out;
    size_t i = 0;
    while (i < where.size()) {
        const char ch = where[i];
        if (ch == '\'' || ch == '"') {
            // Quoted text is copied as it is, doubled quotes included.
            size_t end = i + 1;
            while (end < where.size()) {
                if (where[end] == ch) {
                    if (end + 1 < where.size() && where[end + 1] == ch) {
                        end += 2;
                        continue;
                    }
                    break;
                }
                end++;
            }
            end = end < where.size() ? end + 1 : end;
            out.append(where, i, end - i);
            i = end;
            continue;
        }
        bool replaced = false;
        if (i == 0 || !S_name_char(where[i - 1])) {
            for (const Pattern &p : patterns) {
                if (p.shared || upper.compare(i, p.text.size(), p.text) != 0)
                    continue;
                out += p.alias + ".";
                i += p.text.size();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            out += where[i++];
    }
    return out;
}

int32_t db_query_build_sql(DB_STREAM *stream, const VE_QUERYINFO *info, DB_MV_QUERY_INFO *mv,
                           const LOGFILE *log, std::string *text)
{
    if (stream == nullptr || info == nullptr || info->construct == nullptr || text == nullptr)
        return ZE_NULL_POINTER;
    try {
        Query q{stream,
                info,
                mv,
                log,
                db_stream_get_user(stream),
                S_function(DB_QUERY_SHAPE_FUNCTION),
                S_function(DB_QUERY_ANNO_FUNCTION),
                info->construct->num_tables,
                info->construct->tables};
        char user[DB_USER_NAME_SIZE];
        if (q.user == nullptr)
            q.user = db_get_current_user(user);
        stream->annotation_column = 0;
        stream->rowid_column_index = -1;
        std::string select, from, plain, where;
        int32_t rc = S_select_list(q, &select);
        if (rc == 0)
            rc = S_from(q, &from, &plain);
        if (rc == 0)
            rc = S_where(q, &where);
        if (rc != 0)
            return rc;
        const char *by = stream->order_by_text;
        *text = select + from + where;
        if (by != nullptr && by[0])
            *text += by;
        S_keep(&stream->sql_select, select);
        S_keep(&stream->sql_from, from);
        S_keep(&stream->sql_where, where);
        S_keep(&stream->sql_trailer, by != nullptr ? by : "");
        if (S_has_entries(mv))
            S_keep(&stream->sql_plain_from, plain);
        return 0;
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}
