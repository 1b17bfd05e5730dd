// Locators (db_locator.h): the LOCATORS row written through the catalogue
// routines with its property rows in METADATA (db_metadata.h), read by name,
// by id or as a list with an outer join on the property rows, and deleted
// with its property and link rows. Every write is one transaction: an update
// that fails leaves the old row and properties, a deletion that fails leaves
// the locator whole.
#include "db/catalog/db_locator_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "base/util/ve_debug.h"
#include "base/util/ve_metadata.h"
#include "base/util/ve_string_array.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_metadata_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"

// The class and property of the engine's own METADATA rows.
#define S_CLASS "ZEL internal"
#define S_LINK_PROPERTY "Locator ID"

namespace
{

// One locator as read: the record's fields and its properties in record id
// order.
struct Read {
    LOCATOR head;
    std::vector<std::pair<std::string, std::string>> properties;
};

// One fetched row of the locator SELECTs.
struct Row {
    LOCATOR head;
    char property[LOCATOR_PROPERTY_NAME_LEN];
    char value[LOCATOR_PROPERTY_VALUE_LEN];
    SQLLEN id_length, name_length, owner_length, category_length, type_length, description_length,
        property_length, value_length;
};

// The text of a record's field: up to its first NUL, at most its size.
template <size_t N> std::string S_field(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

} // namespace

// ---- reads -----------------------------------------------------------------------

static int32_t S_define(CLI_STATEMENT *cli, Row *row)
{
    LOCATOR &l = row->head;
    const DB_CATALOG_COLUMN columns[] = {
        {SQL_C_SLONG, &l.locator_id, sizeof(l.locator_id), &row->id_length},
        {SQL_C_CHAR, l.name, sizeof(l.name), &row->name_length},
        {SQL_C_CHAR, l.owner, sizeof(l.owner), &row->owner_length},
        {SQL_C_CHAR, l.category, sizeof(l.category), &row->category_length},
        {SQL_C_SLONG, &l.type, sizeof(l.type), &row->type_length},
        {SQL_C_CHAR, l.description, sizeof(l.description), &row->description_length},
        {SQL_C_CHAR, row->property, sizeof(row->property), &row->property_length},
        {SQL_C_CHAR, row->value, sizeof(row->value), &row->value_length},
    };
    return db_catalog_define_columns(cli, columns);
}

// The row's locator fields with NULL texts emptied.
static LOCATOR S_head(const Row &row)
{
    LOCATOR l = row.head;
    if (row.name_length == SQL_NULL_DATA)
        l.name[0] = '\0';
    if (row.owner_length == SQL_NULL_DATA)
        l.owner[0] = '\0';
    if (row.category_length == SQL_NULL_DATA)
        l.category[0] = '\0';
    if (row.description_length == SQL_NULL_DATA)
        l.description[0] = '\0';
    return l;
}

// Runs a locator SELECT (rows in locator and record id order) to its end and
// groups its rows by locator, then commits. 0; -51 with the connection's
// record filled.
static int32_t S_read(const std::string &sql, std::vector<Read> *out)
{
    DB_CATALOG_CLI s;
    Row row;
    int32_t rc = db_catalog_cli_prepare(&s.cli, sql.c_str());
    if (rc != 0)
        return rc;
    rc = S_define(&s.cli, &row);
    if (rc == 0)
        rc = db_cli_execute_stmt(&s.cli, 1);
    while (rc == 0) {
        memset(&row, 0, sizeof(row));
        rc = db_catalog_fetch(&s.cli);
        if (rc != 0)
            break;
        const LOCATOR head = S_head(row);
        if (out->empty() || out->back().head.locator_id != head.locator_id)
            out->push_back(Read{head, {}});
        if (row.property_length != SQL_NULL_DATA)
            out->back().properties.emplace_back(
                S_field(row.property),
                row.value_length == SQL_NULL_DATA ? std::string() : S_field(row.value));
    }
    if (rc != ZE_NO_MORE_ROWS) {
        db_cli_save_error(&s.cli);
        return ZE_DBMS_ERROR;
    }
    return db_catalog_commit();
}

// Fills the caller's record from a read locator: the fields, the count and
// two new arrays (none for no properties). The record's first word stays.
// 0; -12 with the record's arrays null.
static int32_t S_fill(const Read &read, LOCATOR *out)
{
    const int32_t reserved = out->reserved;
    *out = read.head;
    out->reserved = reserved;
    out->property_count = 0;
    out->property_names = nullptr;
    out->property_values = nullptr;
    const int32_t count = static_cast<int32_t>(read.properties.size());
    if (count == 0)
        return 0;
    char **names = nullptr;
    char **values = nullptr;
    if (VES_allocate_string_array(&names, count, LOCATOR_PROPERTY_NAME_LEN) != 0 ||
        VES_allocate_string_array(&values, count, LOCATOR_PROPERTY_VALUE_LEN) != 0) {
        free(names);
        return ZE_OUT_OF_MEMORY;
    }
    for (int32_t i = 0; i < count; i++) {
        snprintf(names[i], LOCATOR_PROPERTY_NAME_LEN, "%s", read.properties[i].first.c_str());
        snprintf(values[i], LOCATOR_PROPERTY_VALUE_LEN, "%s", read.properties[i].second.c_str());
    }
    out->property_count = count;
    out->property_names = names;
    out->property_values = values;
    return 0;
}

// Reads the one locator the SELECT finds. 0; -275; -51; -12.
static int32_t S_select_one(const std::string &sql, LOCATOR *out)
{
    std::vector<Read> found;
    int32_t rc = S_read(sql, &found);
    if (rc != 0)
        return rc;
    if (found.empty() || found.front().head.owner[0] == '\0')
        return ZE_LOCATOR_NOT_FOUND;
    return S_fill(found.front(), out);
}

int32_t DB_locator_get_info(DB_INSTANCE *, const char *name, LOCATOR *out)
{
    if (name == nullptr || out == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        std::string owner, bare(name);
        const size_t dot = bare.rfind('.');
        if (dot != std::string::npos) {
            owner = bare.substr(0, dot);
            bare.erase(0, dot + 1);
        } else {
            char user[DB_USER_NAME_SIZE] = "";
            owner = db_get_current_user(user);
        }
        return S_select_one(
            db_sql_format("SELECT locator_id,name,owner,category,type,l.description, "
                          "m.property,m.prop_value,m.record_id FROM %s l, outer %s m WHERE name = "
                          "'%s' AND owner = '%s' AND l.name = m.object_name AND l.owner = "
                          "m.object_owner AND m.object_type = %d ORDER BY m.record_id",
                          db_catalog_admin_name("LOCATORS").c_str(),
                          db_catalog_admin_name("METADATA").c_str(), db_quote_literal(bare).c_str(),
                          db_quote_literal(owner).c_str(), METADATA_OBJECT_LOCATOR),
            out);
    });
}

int32_t DB_locator_get_info_by_id(DB_INSTANCE *, int32_t locator_id, LOCATOR *out)
{
    if (out == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return S_select_one(
            db_sql_format("SELECT locator_id,name,owner,category,type,l.description, "
                          "property,prop_value,m.record_id FROM %s l,  outer %s m WHERE "
                          "locator_id = %d AND  l.name = m.object_name AND l.owner = "
                          "m.object_owner  AND m.object_type = %d ORDER BY m.record_id",
                          db_catalog_admin_name("LOCATORS").c_str(),
                          db_catalog_admin_name("METADATA").c_str(), locator_id,
                          METADATA_OBJECT_LOCATOR),
            out);
    });
}

static void S_free_list(LOCATOR *list, int32_t count)
{
    for (int32_t i = 0; list != nullptr && i < count; i++) {
        free(list[i].property_names);
        free(list[i].property_values);
    }
    free(list);
}

int32_t DB_locator_get_info_list(DB_INSTANCE *, const char *where, LOCATOR **list, int32_t *count)
{
    if (list == nullptr || count == nullptr)
        return ZE_NULL_POINTER;
    *list = nullptr;
    *count = 0;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        std::string sql = db_sql_format(
            "SELECT locator_id, name,owner,category,type,l.description, property,prop_value,"
            "record_id FROM %s l, outer %s m WHERE l.name = m.object_name AND l.owner = "
            "m.object_owner AND m.object_type = %d ",
            db_catalog_admin_name("LOCATORS").c_str(), db_catalog_admin_name("METADATA").c_str(),
            METADATA_OBJECT_LOCATOR);
        const char *condition = nullptr;
        if (db_sql_client_condition(where, &condition) != 0)
            return ZE_INVALID_ARGUMENT;
        if (condition != nullptr)
            sql = db_sql_format("%s AND (%s)", sql.c_str(), condition);
        sql += " ORDER BY l.locator_id,m.record_id";
        std::vector<Read> found;
        int32_t rc = S_read(sql, &found);
        if (rc != 0 || found.empty())
            return rc;
        LOCATOR *out = static_cast<LOCATOR *>(calloc(found.size(), sizeof(LOCATOR)));
        if (out == nullptr)
            return ZE_OUT_OF_MEMORY;
        for (size_t i = 0; i < found.size(); i++) {
            if (S_fill(found[i], &out[i]) != 0) {
                S_free_list(out, static_cast<int32_t>(i));
                return ZE_OUT_OF_MEMORY;
            }
        }
        *list = out;
        *count = static_cast<int32_t>(found.size());
        return 0;
    });
}

// ---- writes ----------------------------------------------------------------------

// The caller's property arrays.
struct Properties {
    int32_t count;
    const int32_t *record_ids;
    char *const *names;
    char *const *values;
};

// Calls insert_locator or update_locator with the locator's fields. 0; the
// routine's status mapped; -51.
static int32_t S_call_write(const LOCATOR &locator, bool insert)
{
    const std::string call =
        db_sql_format(insert ? "{call %s(?,?,?,?,?,?)}" : "{call %s(?,?,?,?,?)}",
                      db_catalog_admin_name(insert ? "insert_locator" : "update_locator").c_str());
    LOCATOR l = locator;
    SQLLEN name_length, category_length, description_length, owner_length;
    DB_CATALOG_CLI s;
    int32_t rc = db_catalog_cli_prepare(&s.cli, call.c_str());
    if (rc != 0)
        return rc;
    rc = db_catalog_bind_int(&s.cli, &l.locator_id);
    if (rc == 0)
        rc = db_catalog_bind_text(&s.cli, l.name, sizeof(l.name), false, &name_length);
    if (rc == 0)
        rc = db_catalog_bind_text(&s.cli, l.category, sizeof(l.category), false, &category_length);
    if (rc == 0)
        rc = db_catalog_bind_int(&s.cli, &l.type);
    if (rc == 0)
        rc = db_catalog_bind_text(&s.cli, l.description, sizeof(l.description), true,
                                  &description_length);
    if (rc == 0 && insert)
        rc = db_catalog_bind_text(&s.cli, l.owner, sizeof(l.owner), false, &owner_length);
    if (rc != 0) {
        db_cli_save_error(&s.cli);
        return ZE_DBMS_ERROR;
    }
    return db_catalog_call(&s.cli, insert ? "zel.insert_locator" : "zel.update_locator");
}

// Inserts the property rows of the locator (not committed). 0; the codes of
// the metadata insert.
static int32_t S_insert_properties(DB_INSTANCE *instance, const LOCATOR &locator,
                                   const Properties &p)
{
    if (p.count == 0)
        return 0;
    std::vector<METADATA> rows(static_cast<size_t>(p.count));
    for (int32_t i = 0; i < p.count; i++) {
        METADATA &m = rows[static_cast<size_t>(i)];
        memset(&m, 0, sizeof(m));
        m.record_id = p.record_ids[i];
        snprintf(m.object_name, sizeof(m.object_name), "%s", S_field(locator.name).c_str());
        snprintf(m.object_owner, sizeof(m.object_owner), "%s", S_field(locator.owner).c_str());
        m.object_type = METADATA_OBJECT_LOCATOR;
        snprintf(m.class_name, sizeof(m.class_name), "%s", S_CLASS);
        snprintf(m.property, sizeof(m.property), "%s", p.names[i]);
        snprintf(m.prop_value, sizeof(m.prop_value), "%s", p.values[i]);
    }
    METADATA *first = rows.data();
    return DB_sp_metadata_def_insert(instance, &first, p.count);
}

// Ends the write: commits, or rolls back and returns the failing step's code.
static int32_t S_finish(int32_t rc)
{
    if (rc == 0)
        return db_catalog_commit();
    db_catalog_rollback();
    return rc;
}

static int32_t S_write(DB_INSTANCE *instance, const LOCATOR *locator, const int32_t *record_ids,
                       char *const *names, char *const *values, bool insert)
{
    DB_instance_clear_xerr();
    if (locator == nullptr)
        return ZE_NULL_POINTER;
    const Properties p{locator->property_count, record_ids, names, values};
    if (p.count < 0)
        return ZE_INVALID_ARGUMENT;
    if (p.count > 0 && (record_ids == nullptr || names == nullptr || values == nullptr))
        return ZE_NULL_POINTER;
    for (int32_t i = 0; i < p.count; i++)
        if (names[i] == nullptr || values[i] == nullptr)
            return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        if (!insert) {
            // The old property rows go in the same transaction as the update.
            const std::string select = db_sql_format(
                "SELECT record_id FROM %s WHERE object_type = %d AND             object_name = "
                "(select name from %s where locator_id = %d)              AND object_owner = "
                "'%s'",
                db_catalog_admin_name("METADATA").c_str(), METADATA_OBJECT_LOCATOR,
                db_catalog_admin_name("LOCATORS").c_str(), locator->locator_id,
                db_quote_literal(S_field(locator->owner)).c_str());
            int32_t rc = metadata_delete_by_query(instance, select.c_str(), 0);
            if (rc != 0) {
                VES_print_debug(stderr, "S_execute_procedure metadata_delete_by_query error.\n");
                return S_finish(rc);
            }
        }
        int32_t rc = S_call_write(*locator, insert);
        if (rc != 0)
            // A refused insert has written nothing; an update has deleted.
            return insert ? rc : S_finish(rc);
        return S_finish(S_insert_properties(instance, *locator, p));
    });
}

int32_t DB_sp_zellocators_def_insert(DB_INSTANCE *instance, const LOCATOR *locator,
                                     const int32_t *record_ids, char *const *property_names,
                                     char *const *property_values)
{
    return S_write(instance, locator, record_ids, property_names, property_values, true);
}

int32_t DB_sp_zellocators_def_update(DB_INSTANCE *instance, const LOCATOR *locator,
                                     const int32_t *record_ids, char *const *property_names,
                                     char *const *property_values)
{
    return S_write(instance, locator, record_ids, property_names, property_values, false);
}

// ---- deletion --------------------------------------------------------------------

int32_t db_locator_find_table_record(const char *table, const char *owner, int32_t locator_id,
                                     int32_t *only)
{
    if (table == nullptr || owner == nullptr || only == nullptr)
        return ZE_NULL_POINTER;
    *only = 0;
    const std::string sql = db_sql_format(
        "SELECT record_id from %s WHERE object_name = '%s' AND object_owner = '%s' AND "
        "object_type = %d AND class_name = '%s' AND property = '%s' AND prop_value != '%d'",
        db_catalog_admin_name("METADATA").c_str(), db_quote_literal(table).c_str(),
        db_quote_literal(owner).c_str(), METADATA_OBJECT_TABLE, S_CLASS, S_LINK_PROPERTY,
        locator_id);
    DB_CATALOG_CLI s;
    int32_t record_id = 0;
    SQLLEN length = 0;
    int32_t rc = db_catalog_cli_prepare(&s.cli, sql.c_str());
    if (rc != 0)
        return rc;
    rc = db_cli_define_by_pos(&s.cli, SQL_C_SLONG, &record_id, sizeof(record_id), &length);
    if (rc == 0)
        rc = db_cli_execute_stmt(&s.cli, 1);
    if (rc == 0)
        rc = db_catalog_fetch(&s.cli);
    if (rc != 0 && rc != ZE_NO_MORE_ROWS) {
        db_cli_save_error(&s.cli);
        return ZE_DBMS_ERROR;
    }
    const bool no_row = rc == ZE_NO_MORE_ROWS;
    rc = db_cli_close_cursor(&s.cli);
    if (rc != 0) {
        db_cli_save_error(&s.cli);
        return ZE_DBMS_ERROR;
    }
    rc = db_catalog_commit();
    if (rc == 0 && no_row)
        *only = 1;
    return rc;
}

namespace
{
// A registered table tied to the locator.
struct Dependent {
    int32_t registration_id;
    std::string table, owner;
};
} // namespace

// The registered tables tied to the locator, read to their end before any
// of them is tested (a test commits, which would close the cursor). 0; -51.
static int32_t S_dependents(int32_t locator_id, std::vector<Dependent> *out)
{
    const std::string sql = db_sql_format(
        "SELECT registration_id,table_name, owner  FROM %s r  WHERE EXISTS (SELECT  * from %s  "
        "WHERE object_type = %d AND class_name = '%s' AND property = '%s' AND prop_value = '%d' "
        "AND object_name=r.table_name AND object_owner=r.owner)",
        db_catalog_admin_name("table_registry").c_str(), db_catalog_admin_name("METADATA").c_str(),
        METADATA_OBJECT_TABLE, S_CLASS, S_LINK_PROPERTY, locator_id);
    DB_CATALOG_CLI s;
    int32_t id = 0;
    char table[DB_NAME_TABLE_SIZE] = "";
    char owner[DB_NAME_OWNER_SIZE] = "";
    SQLLEN lengths[3] = {};
    int32_t rc = db_catalog_cli_prepare(&s.cli, sql.c_str());
    if (rc != 0)
        return rc;
    rc = db_cli_define_by_pos(&s.cli, SQL_C_SLONG, &id, sizeof(id), &lengths[0]);
    if (rc == 0)
        rc = db_cli_define_by_pos(&s.cli, SQL_C_CHAR, table, sizeof(table), &lengths[1]);
    if (rc == 0)
        rc = db_cli_define_by_pos(&s.cli, SQL_C_CHAR, owner, sizeof(owner), &lengths[2]);
    if (rc == 0)
        rc = db_cli_execute_stmt(&s.cli, 1);
    while (rc == 0 && (rc = db_catalog_fetch(&s.cli)) == 0)
        out->push_back(Dependent{id, lengths[1] == SQL_NULL_DATA ? "" : S_field(table),
                                 lengths[2] == SQL_NULL_DATA ? "" : S_field(owner)});
    if (rc != ZE_NO_MORE_ROWS) {
        db_cli_save_error(&s.cli);
        return ZE_DBMS_ERROR;
    }
    return 0;
}

// Deletes the locator's property and link rows and the locator row (not
// committed). 0; the failing step's code.
static int32_t S_delete_rows(DB_INSTANCE *instance, int32_t locator_id)
{
    const std::string select = db_sql_format(
        "SELECT record_id FROM %s WHERE (object_type = %d AND EXISTS    (SELECT * FROM %s WHERE "
        "locator_id = %d AND object_name = name    AND object_owner = owner)) OR (object_type = "
        "%d AND class_name = '%s'    AND property = '%s' AND prop_value = '%d')",
        db_catalog_admin_name("METADATA").c_str(), METADATA_OBJECT_LOCATOR,
        db_catalog_admin_name("LOCATORS").c_str(), locator_id, METADATA_OBJECT_TABLE, S_CLASS,
        S_LINK_PROPERTY, locator_id);
    int32_t rc = metadata_delete_by_query(instance, select.c_str(), 0);
    if (rc != 0) {
        VES_print_debug(stderr, "DB_sp_zellocators_def_delete Metadata Execute error (%d).\n", rc);
        return rc;
    }
    const std::string call =
        db_sql_format("{call %s(%d)}", db_catalog_admin_name("delete_locator").c_str(), locator_id);
    DB_CATALOG_CLI s;
    rc = db_catalog_cli_prepare(&s.cli, call.c_str());
    return rc == 0 ? db_catalog_call(&s.cli, "delete_locator") : rc;
}

int32_t DB_sp_zellocators_def_delete(DB_INSTANCE *instance, int32_t locator_id,
                                     int32_t **registrations, int32_t *count)
{
    DB_instance_clear_xerr();
    if (registrations == nullptr || count == nullptr)
        return ZE_NULL_POINTER;
    if (*count < 0)
        return ZE_INVALID_ARGUMENT;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        std::vector<Dependent> dependents;
        int32_t rc = S_dependents(locator_id, &dependents);
        std::vector<int32_t> alone;
        for (size_t i = 0; rc == 0 && i < dependents.size(); i++) {
            int32_t only = 0;
            rc = db_locator_find_table_record(dependents[i].table.c_str(),
                                              dependents[i].owner.c_str(), locator_id, &only);
            if (rc == 0 && only)
                alone.push_back(dependents[i].registration_id);
        }
        if (rc != 0)
            return rc;
        // The list grows before anything is deleted, so that a deletion is
        // never left without its report.
        const size_t total = static_cast<size_t>(*count) + alone.size();
        if (!alone.empty()) {
            void *grown = realloc(*registrations, total * sizeof(int32_t));
            if (grown == nullptr)
                return ZE_OUT_OF_MEMORY;
            *registrations = static_cast<int32_t *>(grown);
        }
        rc = S_finish(S_delete_rows(instance, locator_id));
        if (rc != 0 || alone.empty())
            return rc;
        memcpy(*registrations + *count, alone.data(), alone.size() * sizeof(int32_t));
        *count = static_cast<int32_t>(total);
        return 0;
    });
}
