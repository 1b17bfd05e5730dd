// Qualified names: builders of the engine's object names and parsers of names
// written by users. Every SQL text of the engine names its tables through
// these, so that one spelling reaches the DBMS. Database and table parts are
// lower-cased by the connection's code page; owners keep their case.
#include "db/core/db_names_internal.h"
#include "db/core/db_search_pattern_internal.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_rastercolumn_info.h"
#include "db/core/db_connect.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_instance_user_internal.h"

// ---- output helpers -------------------------------------------------------

// Formats into out; a result that does not fit leaves out empty (-66).
static int32_t S_format(char *out, size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

static int32_t S_format(char *out, size_t size, const char *format, ...)
{
    if (!out || size == 0)
        return ZE_INVALID_ARGUMENT;
    va_list args;
    va_start(args, format);
    int n = vsnprintf(out, size, format, args);
    va_end(args);
    if (n < 0 || static_cast<size_t>(n) >= size) {
        out[0] = '\0';
        return ZE_INVALID_ARGUMENT;
    }
    return ZE_SUCCESS;
}

static const char *S_text(const char *text)
{
    return text ? text : "";
}

// A fixed text field of a record as "%.*s" arguments: never read past it.
#define S_field(field) static_cast<int>(strnlen((field), sizeof(field))), (field)

static std::string S_admin_database(DB_INSTANCE *instance)
{
    char admin[DB_NAME_DATABASE_SIZE];
    DB_instance_get_admin_database(instance, admin);
    return admin;
}

static std::string S_current_database()
{
    char database[DB_NAME_DATABASE_SIZE] = "";
    DB_database_get_current(nullptr, database);
    database[sizeof(database) - 1] = '\0';
    return database;
}

static std::string S_current_user()
{
    char user[DB_USER_NAME_SIZE];
    DB_instance_get_current_user(nullptr, user);
    return user;
}

// Copies text into a fixed part of size bytes; -66 when it does not fit.
static int32_t S_copy_part(char *out, size_t size, std::string_view text)
{
    if (text.size() >= size)
        return ZE_INVALID_ARGUMENT;
    if (!text.empty())
        memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
    return ZE_SUCCESS;
}

static void S_to_lower(char *text, size_t size)
{
    if (*text)
        db_identifier_to_lower(nullptr, text, static_cast<int32_t>(size), 1);
}

// ---- catalogue tables -------------------------------------------------------

static int32_t S_admin_name(DB_INSTANCE *instance, const char *object, char *out, size_t size)
{
    return S_format(out, size, "%s:%s.%s", S_admin_database(instance).c_str(), DB_ADMIN_USER,
                    S_text(object));
}

int32_t db_make_geometry_columns_name(char *out, size_t size)
{
    return S_admin_name(nullptr, "Geometry_Columns", out, size);
}
int32_t db_make_spatial_references_name(DB_INSTANCE *instance, char *out, size_t size)
{
    return S_admin_name(instance, "spatial_references", out, size);
}
int32_t db_make_metadata_table_name(char *out, size_t size)
{
    return S_admin_name(nullptr, "METADATA", out, size);
}
int32_t db_make_locators_table_name(char *out, size_t size)
{
    return S_admin_name(nullptr, "LOCATORS", out, size);
}
int32_t db_make_raster_columns_name(char *out, size_t size)
{
    return S_admin_name(nullptr, "RASTER_COLUMNS", out, size);
}
int32_t db_make_layers_table_name(DB_INSTANCE *instance, char *out, size_t size)
{
    return S_admin_name(instance, "Layers", out, size);
}
int32_t db_make_states_table_name(DB_INSTANCE *instance, char *out, size_t size)
{
    return S_admin_name(instance, "states", out, size);
}
int32_t db_make_state_lineages_table_name(DB_INSTANCE *instance, char *out, size_t size)
{
    return S_admin_name(instance, "state_lineages", out, size);
}
int32_t db_make_table_registry_name(DB_INSTANCE *instance, char *out, size_t size)
{
    return S_admin_name(instance, "table_registry", out, size);
}
int32_t db_make_mvtables_modified_name(DB_INSTANCE *instance, char *out, size_t size)
{
    return S_admin_name(instance, "mvtables_modified", out, size);
}
int32_t db_make_versions_table_name(DB_INSTANCE *instance, char *out, size_t size)
{
    return S_admin_name(instance, "versions", out, size);
}
int32_t db_make_release_table_name(DB_INSTANCE *instance, char *out, size_t size)
{
    return S_admin_name(instance, "version", out, size);
}
int32_t db_make_dbtune_table_name(DB_INSTANCE *instance, char *out, size_t size)
{
    return S_admin_name(instance, "dbtune", out, size);
}
int32_t db_make_admin_object_name(DB_INSTANCE *instance, const char *object, char *out, size_t size)
{
    return S_admin_name(instance, object, out, size);
}

// ---- raster-column objects ----------------------------------------------------

// database:owner.<prefix><id> of the raster column read by id, else the bare
// <prefix><id>. A read that failed (-51, -12) is answered after the bare
// name is written: SQL on a bare name would reach another owner's table.
static int32_t S_raster_object_name(DB_STREAM *stream, int32_t id, const char *prefix, char *out,
                                    size_t size)
{
    RASTERCOLUMN info;
    memset(&info, 0, sizeof(info));
    const int32_t read = DB_rastercolumn_get_info_by_id(nullptr, stream, id, &info);
    if (read == ZE_SUCCESS)
        return S_format(out, size, "%.*s:%.*s.%s%d", S_field(info.database_name),
                        S_field(info.owner), prefix, info.rastercolumn_id);
    const int32_t rc = S_format(out, size, "%s%d", prefix, id);
    return rc == 0 && (read == ZE_DBMS_ERROR || read == ZE_OUT_OF_MEMORY) ? read : rc;
}

int32_t db_make_raster_table_name(DB_STREAM *stream, int32_t id, char *out, size_t size)
{
    return S_raster_object_name(stream, id, "ZEL_RAS_", out, size);
}
int32_t db_make_band_table_name(DB_STREAM *stream, int32_t id, char *out, size_t size)
{
    return S_raster_object_name(stream, id, "ZEL_BND_", out, size);
}
int32_t db_make_aux_table_name(DB_STREAM *stream, int32_t id, char *out, size_t size)
{
    return S_raster_object_name(stream, id, "ZEL_AUX_", out, size);
}
int32_t db_make_block_table_name(DB_STREAM *stream, int32_t id, char *out, size_t size)
{
    return S_raster_object_name(stream, id, "ZEL_BLK_", out, size);
}

int32_t db_make_block_table_name_from_info(const RASTERCOLUMN *info, char *out, size_t size)
{
    if (!info)
        return ZE_NULL_POINTER;
    return S_format(out, size, "%.*s:%.*s.ZEL_BLK_%d", S_field(info->database_name),
                    S_field(info->owner), info->rastercolumn_id);
}

int32_t db_make_block_unique_index_name(int32_t id, char *out, size_t size)
{
    return S_format(out, size, "ZEL_BLK_%d_UK", id);
}

// ---- layer objects ----------------------------------------------------------------

int32_t db_make_layer_f_table_name(DB_STREAM *stream, int32_t id, char *out, size_t size)
{
    LAYER *layer = nullptr;
    if (DB_layer_get_info(nullptr, stream, id, &layer) == ZE_SUCCESS && layer)
        return S_format(out, size, "%.*s.F%d", S_field(layer->owner), layer->layer_id);
    return S_format(out, size, "F%d", id);
}

int32_t db_make_layer_s_table_name(DB_STREAM *stream, int32_t id, char *out, size_t size)
{
    LAYER *layer = nullptr;
    if (DB_layer_get_info(nullptr, stream, id, &layer) == ZE_SUCCESS && layer)
        return S_format(out, size, "%.*s:%.*s.S%d", S_field(layer->database_name),
                        S_field(layer->owner), layer->layer_id);
    return S_format(out, size, "S%d", id);
}

int32_t db_make_qualified_name_from_info(const LAYER *layer, char *out, size_t size)
{
    if (!layer)
        return ZE_NULL_POINTER;
    return S_format(out, size, "%.*s:%.*s.%.*s", S_field(layer->database_name),
                    S_field(layer->owner), S_field(layer->table_name));
}

int32_t db_get_qualify_table_name(const LAYER *layer, char *out, size_t size)
{
    if (!layer || !out)
        return ZE_NULL_POINTER;
    if (memchr(layer->table_name, '.', strnlen(layer->table_name, sizeof(layer->table_name))))
        return S_format(out, size, "%.*s", S_field(layer->table_name));
    return db_make_qualified_name_from_info(layer, out, size);
}

void DB_get_qualify_table_name(const LAYER *layer, char *out)
{
    db_get_qualify_table_name(layer, out, DB_QUALIFIED_NAME_SIZE);
}

int32_t db_make_empty_layer_name(const LAYER *, char *out, size_t size, int32_t)
{
    return S_format(out, size, "%s", "");
}

// ---- plain tables -------------------------------------------------------------

int32_t db_make_qualified_name(const char *database, const char *owner, const char *table,
                               char *out, size_t size)
{
    return S_format(out, size, "%s:%s.%s", S_text(database), S_text(owner), S_text(table));
}

int32_t db_table_make_name(const char *database, const char *owner, const char *spec, char *out,
                           size_t size)
{
    if (!out || !spec)
        return ZE_NULL_POINTER;
    char parsed_db[DB_NAME_DATABASE_SIZE], parsed_owner[DB_NAME_OWNER_SIZE];
    char table[DB_NAME_TABLE_SIZE];
    // A given database is the table's: the spec is read as naming it, so that
    // the connected database is not looked up for nothing (a failed look-up
    // would go unseen).
    std::string named;
    if (database && *database && strchr(spec, ':') == nullptr) {
        named = std::string(database) + ":" +
                (strchr(spec, '.') != nullptr ? std::string(spec) : S_current_user() + "." + spec);
        spec = named.c_str();
    }
    int32_t rc = db_parse_table_name(nullptr, spec, S_current_user().c_str(), parsed_db,
                                     parsed_owner, table);
    if (rc != ZE_SUCCESS) {
        if (size)
            out[0] = '\0';
        return rc;
    }
    const char *use_owner = (owner && *owner) ? owner : parsed_owner;
    std::string use_db = (database && *database) ? database : parsed_db;
    if (use_db.empty())
        use_db = S_current_database();
    return S_format(out, size, "%s:%s.%s", use_db.c_str(), use_owner, table);
}

void DB_table_make_name(const char *database, const char *owner, const char *spec, char *out)
{
    db_table_make_name(database, owner, spec, out, DB_QUALIFIED_NAME_SIZE);
}

// ---- registered tables ----------------------------------------------------------

int32_t db_make_adds_table_name(DB_INSTANCE *, int32_t id, const char *database, const char *owner,
                                char *out, size_t size)
{
    bool has_owner = owner && *owner;
    bool has_db = database && *database;
    if (has_owner && has_db)
        return S_format(out, size, "%s:'%s'.A%d", database, db_quote_literal(owner).c_str(), id);
    if (has_owner)
        return S_format(out, size, "'%s'.A%d", db_quote_literal(owner).c_str(), id);
    return S_format(out, size, "A%d", id);
}

// The deletes ("d") and equivalence ("e") tables: named after the registration
// when it can be looked up, else after the given database and owner.
static int32_t S_side_table_name(DB_INSTANCE *instance, int32_t id, const char *database,
                                 const char *owner, char letter, char *out, size_t size)
{
    std::string found_db, found_owner;
    if (db_instance_lookup_registration(instance, id, &found_db, &found_owner) == ZE_SUCCESS) {
        if (found_db.empty())
            found_db = S_current_database();
        std::string quoted = db_quote_literal(found_owner);
        if (!found_db.empty())
            return S_format(out, size, "%s:'%s'.%c%d", found_db.c_str(), quoted.c_str(), letter,
                            id);
        return S_format(out, size, "'%s'.%c%d", quoted.c_str(), letter, id);
    }
    if (owner && *owner) {
        std::string db =
            (database && *database) ? database : (instance ? S_current_database() : "");
        std::string quoted = db_quote_literal(owner);
        if (!db.empty())
            return S_format(out, size, "%s:'%s'.%c%d", db.c_str(), quoted.c_str(), letter, id);
        return S_format(out, size, "'%s'.%c%d", quoted.c_str(), letter, id);
    }
    return S_format(out, size, "%c%d", letter, id);
}

int32_t db_make_deletes_table_name(DB_INSTANCE *instance, int32_t id, const char *database,
                                   const char *owner, char *out, size_t size)
{
    return S_side_table_name(instance, id, database, owner, 'd', out, size);
}

int32_t db_make_e_table_name(DB_INSTANCE *instance, int32_t id, const char *database,
                             const char *owner, char *out, size_t size)
{
    return S_side_table_name(instance, id, database, owner, 'e', out, size);
}

int32_t db_make_l_table_name(int32_t id, const char *owner, char *out, size_t size)
{
    if (owner && *owner)
        return S_format(out, size, "%s.L%d", owner, id);
    return S_format(out, size, "L%d", id);
}

int32_t db_make_view_trigger_name(int32_t id, int32_t operation, char *out, size_t size)
{
    static const char *const kinds[] = {"INSERT", "DELETE", "UPDATE"};
    if (operation < 0 || operation > 2)
        return ZE_INVALID_ARGUMENT;
    return S_format(out, size, "V%d_%s", id, kinds[operation]);
}

int32_t db_make_rowid_sequence_name(int32_t id, const char *owner, char *out, size_t size)
{
    if (owner && *owner)
        return S_format(out, size, "%s.R%d", owner, id);
    return S_format(out, size, "R%d", id);
}

static bool S_is_trim_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

int32_t db_make_adds_index_name(const char *base_index, char *out, size_t size)
{
    if (!out || size == 0)
        return ZE_INVALID_ARGUMENT;
    out[0] = '\0';
    if (!base_index || !*base_index)
        return ZE_SUCCESS;
    std::string_view base(base_index, strnlen(base_index, 129));
    while (!base.empty() && S_is_trim_space(base.back()))
        base.remove_suffix(1);
    while (!base.empty() && S_is_trim_space(base.front()))
        base.remove_prefix(1);
    if (base.empty())
        return ZE_SUCCESS;
    if (base.size() > 127)
        base = base.substr(0, 127);
    return S_format(out, size, "%.*s_a", static_cast<int>(base.size()), base.data());
}

// ---- log-file tables ------------------------------------------------------------

static int32_t S_logfile_name(const char *database, const char *user, const char *suffix, char *out,
                              size_t size)
{
    std::string db = (database && *database) ? database : S_current_database();
    if (!db.empty())
        return S_format(out, size, "%s:%s%s", db.c_str(), S_text(user), suffix);
    return S_format(out, size, "%s%s", S_text(user), suffix);
}

int32_t db_make_logfiles_table_name(const char *database, const char *user, char *out, size_t size)
{
    return S_logfile_name(database, user, "_zel_logfiles", out, size);
}

int32_t db_make_logfile_data_table_name(const char *database, const char *user, char *out,
                                        size_t size)
{
    return S_logfile_name(database, user, "_zel_logfile_data", out, size);
}

// ---- parsers --------------------------------------------------------------------

int32_t db_parse_table_name(DB_INSTANCE *, const char *name, const char *default_owner,
                            char *database, char *owner, char *table)
{
    if (!name || !database || !owner || !table)
        return ZE_NULL_POINTER;
    database[0] = owner[0] = table[0] = '\0';
    std::string_view text(name);
    std::string_view db_part, owner_part, table_part;
    bool have_db = false;
    size_t point = text.rfind('.');
    if (point == std::string_view::npos) {
        owner_part = S_text(default_owner);
        table_part = text;
    } else {
        table_part = text.substr(point + 1);
        std::string_view rest = text.substr(0, point);
        size_t colon = rest.rfind(':');
        if (colon != std::string_view::npos) {
            db_part = rest.substr(0, colon);
            owner_part = rest.substr(colon + 1);
            have_db = true;
        } else {
            owner_part = rest;
        }
        if (owner_part.size() >= 2 && owner_part.front() == '\'' && owner_part.back() == '\'')
            owner_part = owner_part.substr(1, owner_part.size() - 2);
    }
    std::string current;
    if (!have_db) {
        current = S_current_database();
        db_part = current;
    }
    if (S_copy_part(database, DB_NAME_DATABASE_SIZE, db_part) != ZE_SUCCESS ||
        S_copy_part(owner, DB_NAME_OWNER_SIZE, owner_part) != ZE_SUCCESS ||
        S_copy_part(table, DB_NAME_TABLE_SIZE, table_part) != ZE_SUCCESS) {
        database[0] = owner[0] = table[0] = '\0';
        return ZE_INVALID_ARGUMENT;
    }
    S_to_lower(database, DB_NAME_DATABASE_SIZE);
    S_to_lower(table, DB_NAME_TABLE_SIZE);
    return ZE_SUCCESS;
}

int32_t DB_table_parse_name(DB_INSTANCE *instance, const char *name, char *database, char *owner,
                            char *table)
{
    return db_parse_table_name(instance, name, S_current_user().c_str(), database, owner, table);
}

int32_t db_parse_column_name(DB_INSTANCE *, const char *name, const char *default_owner,
                             char *database, char *owner, char *table, char *column)
{
    if (!name || !owner || !table || !column)
        return ZE_NULL_POINTER;
    if (database)
        database[0] = '\0';
    owner[0] = table[0] = column[0] = '\0';
    std::string_view text(name);
    std::string_view db_part, owner_part, table_part, column_part;
    size_t point = text.rfind('.');
    if (point == std::string_view::npos) {
        column_part = text;
    } else {
        column_part = text.substr(point + 1);
        std::string_view rest = text.substr(0, point);
        size_t second = rest.rfind('.');
        if (second == std::string_view::npos) {
            table_part = rest;
            owner_part = S_text(default_owner);
        } else {
            table_part = rest.substr(second + 1);
            owner_part = rest.substr(0, second);
            size_t colon = owner_part.rfind(':');
            if (colon != std::string_view::npos) {
                db_part = owner_part.substr(0, colon);
                owner_part = owner_part.substr(colon + 1);
            }
        }
    }
    std::string current;
    if (database && db_part.empty()) {
        current = S_current_database();
        db_part = current;
    }
    bool fits =
        S_copy_part(owner, DB_NAME_OWNER_SIZE, owner_part) == ZE_SUCCESS &&
        S_copy_part(table, DB_NAME_TABLE_SIZE, table_part) == ZE_SUCCESS &&
        S_copy_part(column, DB_NAME_COLUMN_SIZE, column_part) == ZE_SUCCESS &&
        (!database || S_copy_part(database, DB_NAME_DATABASE_SIZE, db_part) == ZE_SUCCESS) &&
        (database || db_part.size() < DB_NAME_DATABASE_SIZE);
    if (!fits) {
        if (database)
            database[0] = '\0';
        owner[0] = table[0] = column[0] = '\0';
        return ZE_INVALID_ARGUMENT;
    }
    S_to_lower(column, DB_NAME_COLUMN_SIZE);
    S_to_lower(table, DB_NAME_TABLE_SIZE);
    if (database)
        S_to_lower(database, DB_NAME_DATABASE_SIZE);
    return ZE_SUCCESS;
}

int32_t DB_column_parse_name(DB_INSTANCE *instance, const char *name, char *database, char *owner,
                             char *table, char *column)
{
    return db_parse_column_name(instance, name, S_current_user().c_str(), database, owner, table,
                                column);
}

int32_t DB_version_parse_name(DB_INSTANCE *, const char *name, char *owner, char *version)
{
    if (!name || !owner || !version)
        return ZE_NULL_POINTER;
    owner[0] = version[0] = '\0';
    std::string_view text(name);
    std::string user;
    std::string_view owner_part, version_part = text;
    size_t point = text.rfind('.');
    if (point == std::string_view::npos) {
        user = S_current_user();
        owner_part = user;
    } else {
        owner_part = text.substr(0, point);
        version_part = text.substr(point + 1);
    }
    if (S_copy_part(owner, DB_NAME_OWNER_SIZE, owner_part) != ZE_SUCCESS ||
        S_copy_part(version, DB_NAME_VERSION_SIZE, version_part) != ZE_SUCCESS) {
        owner[0] = version[0] = '\0';
        return ZE_INVALID_ARGUMENT;
    }
    return ZE_SUCCESS;
}

int32_t db_table_name_matches(DB_INSTANCE *instance, const char *name, const char *database,
                              const char *owner, const char *table)
{
    char db[DB_NAME_DATABASE_SIZE], own[DB_NAME_OWNER_SIZE], tab[DB_NAME_TABLE_SIZE];
    if (db_parse_table_name(instance, name, S_current_user().c_str(), db, own, tab) != ZE_SUCCESS)
        return 0;
    return strcmp(db, S_text(database)) == 0 && strcmp(own, S_text(owner)) == 0 &&
           strcmp(tab, S_text(table)) == 0;
}

int32_t db_column_name_matches(DB_INSTANCE *instance, const char *name, const char *default_owner,
                               const char *database, const char *owner, const char *table,
                               const char *column)
{
    char db[DB_NAME_DATABASE_SIZE], own[DB_NAME_OWNER_SIZE], tab[DB_NAME_TABLE_SIZE];
    char col[DB_NAME_COLUMN_SIZE];
    if (db_parse_column_name(instance, name, default_owner, db, own, tab, col) != ZE_SUCCESS)
        return 0;
    if (strcasecmp(col, S_text(column)) != 0)
        return 0;
    if (!*tab)
        return 1;
    if (strcmp(tab, S_text(table)) != 0)
        return 0;
    if (!*own)
        return 1;
    if (strcmp(own, S_text(owner)) != 0)
        return 0;
    return !*db || strcmp(db, S_text(database)) == 0;
}

// ---- quotes ---------------------------------------------------------------------

std::string db_quote_literal(std::string_view text)
{
    std::string doubled;
    doubled.reserve(text.size() + 2);
    for (char c : text) {
        doubled.push_back(c);
        if (c == '\'')
            doubled.push_back('\'');
    }
    return doubled;
}

std::string db_exact_search_pattern(std::string_view name)
{
    std::string out;
    out.reserve(name.size() + 2);
    for (char c : name) {
        if (c == '_' || c == '%' || c == '\\')
            out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

int32_t db_escape_quotes(char *text, size_t size)
{
    if (!text)
        return ZE_NULL_POINTER;
    std::string doubled = db_quote_literal(std::string_view(text, strnlen(text, size)));
    if (doubled.size() >= size)
        return ZE_INVALID_ARGUMENT;
    memcpy(text, doubled.c_str(), doubled.size() + 1);
    return ZE_SUCCESS;
}
