// The IMV view text (db_mv_view_internal.h): the view through which a
// versioned table is read in the connection's current version. It shows the
// base rows that no deletion of the current lineage removed and the adds
// rows of states of the current lineage that no deletion of it removed;
// zel.version_util.in_current_lineage tells a state of that lineage. The
// registration code executes the text. The view's trigger texts are not
// made.
#include <string.h>

#include <new>
#include <string>

#include "base/util/zel_errors.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_internal.h"
#include "db/core/db_names_internal.h"
#include "db/version/db_mv_view_internal.h"

namespace
{

// A field of the record that goes into the text unquoted: an identifier
// within its field; empty when it is not.
std::string S_name(const char *field, size_t size)
{
    return db_check_name(field, size) == 0 ? std::string(field) : std::string();
}

// One side of the view: the rows of a table under an alias for which no
// deletion of the current lineage exists; the deletion's conditions follow.
void S_side(DB_MV_TEXT &text, DB_MV_TABLE_INFO *entry, const char *alias, const char *table,
            const char *deletes)
{
    text.add({"SELECT "})
        .step([&] { return db_mv_select_list(entry, alias, text.buffer, 0, 0); })
        .line({" FROM ", table, " ", alias, " "})
        .line({"WHERE NOT EXISTS "})
        .line({"(SELECT ", "ZEL_DELETES_ROW_ID", ",ZEL_STATE_ID", " "})
        .line({"FROM ", deletes, " d "});
}

int32_t S_imv_text(const REGISTRATION *registration, const char *const *columns,
                   int16_t column_count, SQL_TEXT_BUFFER *out)
{
    const std::string owner = S_name(registration->owner, sizeof(registration->owner));
    const std::string table = S_name(registration->table_name, sizeof(registration->table_name));
    const std::string R = S_name(registration->rowid_column, sizeof(registration->rowid_column));
    const std::string V = S_name(registration->imv_view_name, sizeof(registration->imv_view_name));
    const bool no_database = strnlen(registration->database_name, 1) == 0;
    const std::string database =
        no_database ? std::string()
                    : S_name(registration->database_name, sizeof(registration->database_name));
    if (owner.empty() || table.empty() || R.empty() || V.empty() ||
        (!no_database && database.empty()))
        return ZE_INVALID_ARGUMENT;
    char T[DB_QUALIFIED_NAME_SIZE], A[DB_QUALIFIED_NAME_SIZE], D[DB_QUALIFIED_NAME_SIZE];
    const int32_t id = registration->registration_id;
    DB_INSTANCE *instance = db_instance_get_current();
    if (db_table_make_name(database.c_str(), owner.c_str(), table.c_str(), T, sizeof(T)) != 0 ||
        db_make_adds_table_name(instance, id, database.c_str(), owner.c_str(), A, sizeof(A)) != 0 ||
        db_make_deletes_table_name(instance, id, database.c_str(), owner.c_str(), D, sizeof(D)) !=
            0)
        return ZE_INVALID_ARGUMENT;
    DB_MV_TABLE_INFO entry;
    memset(&entry, 0, sizeof(entry));
    entry.table_name = T;
    entry.registration_id = id;
    entry.column_names = columns;
    entry.column_count = column_count;

    const char *lineage = "zel.version_util.in_current_lineage (";
    const char *row = R.c_str();
    DB_MV_TEXT text{out};
    text.line({"CREATE VIEW ", V.c_str(), " AS "});
    S_side(text, &entry, "b", T, D);
    text.line({"WHERE ", "ZEL_STATE_ID", " = 0 AND "})
        .line({lineage, "DELETED_AT", ") > 0 AND "})
        .line({" b.", row, " = d.", "ZEL_DELETES_ROW_ID", " AND "})
        // Closes the subquery with a condition its rows meet.
        .line({"d.", "ZEL_STATE_ID", " = 0) "})
        .line({"UNION ALL "});
    S_side(text, &entry, "a", A, D);
    text.line({"WHERE ", lineage, "DELETED_AT", ") > 0 AND "})
        .line({" a.", row, " = d.", "ZEL_DELETES_ROW_ID", " AND "})
        .line({"a.", "ZEL_STATE_ID", " = d.", "ZEL_STATE_ID", " AND "})
        .line({lineage, "a.", "ZEL_STATE_ID", ") > 0 AND "})
        // Closes the subquery, then keeps only the adds rows of the lineage.
        .line({"d.", "ZEL_STATE_ID", " = a.", "ZEL_STATE_ID", ") AND ", lineage, "a.",
               "ZEL_STATE_ID", ") > 0 "});
    return text.rc;
}

} // namespace

int32_t db_imv_view_sql(const REGISTRATION *registration, const char *const *columns,
                        int16_t column_count, int32_t capacity, char **text)
{
    if (registration == nullptr || columns == nullptr || text == nullptr)
        return ZE_NULL_POINTER;
    SQL_TEXT_BUFFER out;
    int32_t rc = db_mv_buffer_init(&out, capacity, *text);
    if (rc != ZE_SUCCESS)
        return rc;
    try {
        rc = S_imv_text(registration, columns, column_count, &out);
    } catch (const std::bad_alloc &) {
        rc = ZE_OUT_OF_MEMORY;
    }
    if (capacity < 1) {
        if (rc == ZE_SUCCESS) {
            *text = out.text;
        } else {
            sql_string_free(&out);
            *text = nullptr;
        }
    }
    return rc;
}

int32_t db_imv_trigger_sql(const REGISTRATION *registration, const void *, int32_t, int16_t,
                           int32_t kind, int32_t capacity, char **text)
{
    if (registration == nullptr || text == nullptr)
        return ZE_NULL_POINTER;
    if (kind < 0 || kind > 2)
        return ZE_INVALID_ARGUMENT;
    SQL_TEXT_BUFFER out;
    int32_t rc = db_mv_buffer_init(&out, capacity, *text);
    if (rc != ZE_SUCCESS)
        return rc;
    if (capacity < 1)
        *text = out.text; // nothing was appended: null
    return ZE_SUCCESS;
}
