// The multiversion view SQL: the FROM item that shows one versioned table as
// a query's state sees it, built from the base table T, its adds table A<n>
// and deletes table D<n>. The standard kinds read a stored view
// ZEL_std_..._view_<n>, created once and steered per connection through the
// table's lineage setter ZEL_lineageid_set<n>; the other kinds are inline
// derived tables (TABLE (MULTISET(SELECT ...)) alias). Beside it the pieces
// every kind shares (names, the existence test, the setter, select and
// column lists, the join with a log file) and the IMV view text.
//
// Output buffers: a capacity below 1 makes a growable text that comes back
// through the text pointer (the caller frees it); a capacity of 1 or more
// is the real size of the caller's storage at *text, which is emptied and
// never overrun (-250 when the text does not fit).
#ifndef DB_MV_VIEW_INTERNAL_H
#define DB_MV_VIEW_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include "base/util/ve_registration.h"
#include "db/core/db_sql_text_internal.h"
#include "db/version/db_mv_view.h"

typedef struct DB_INSTANCE DB_INSTANCE;

/* Room for a view or routine name. */
#define DB_MV_VIEW_NAME_SIZE 64

#ifdef __cplusplus
extern "C" {
#endif

/* Writes the FROM item of the table at position (0-based) of the query. The
 * default owner fills a table name without one. With create set, a stored
 * view that does not exist yet is created and granted to PUBLIC. Every
 * build runs the table's lineage setter. 0; -66 for a bad argument, a kind
 * outside 2 to 11, a position outside the tables, a lineage list the kind
 * reads that is missing or blank, or a name that is not an identifier; -37
 * when the table has no columns; -250; -12; or the failing statement's
 * code. */
int32_t db_mv_view_build(DB_INSTANCE *instance, DB_MV_QUERY_INFO *info, const char *table,
                         const char *default_owner, int32_t position, int32_t capacity, char **text,
                         int32_t unused, int32_t create);

/* The capacity that db_mv_view_build needs for the table: a bound without
 * database access for a stored view of a state other than 0 (from that
 * table's own column count), else what the
 * text built without creating anything needs (its length plus 2: a caller's
 * buffer keeps one byte free beside the terminator). The setter runs.
 * Failures are not reported. */
int32_t db_mv_view_text_size(DB_MV_QUERY_INFO *info, const void *unused, const char *table,
                             const char *default_owner, int32_t position);

/* 1 when the query reads its tables through a view of its own kind: kinds 2
 * and 3, and 4 and 5 for a state other than 0; else 0. */
int32_t db_query_needs_mv_view(const DB_MV_QUERY_INFO *info);

/* The stored view's name "<base>_<n>" for kinds 2 to 5 (the base by kind,
 * log flag, sub-lineage flag and ZELEQUIVS); empty for other kinds. 0; -66
 * for a null or too small out. */
int32_t db_mv_view_name(int32_t registration_id, int32_t kind, int32_t log, int32_t sublineage,
                        char *out, size_t size);

/* -238 when a view of that name exists in the connected database, 0 when
 * none does, else the failing call's code (no record is filled). */
int32_t db_view_exists(const char *view);

/* "EXECUTE PROCEDURE ZEL_lineageid_set<n>(state, lineage, difference state,
 * start, log)", not committed; the log is the log file's data id, -1
 * without one. 0 or the statement's code; -12. */
int32_t db_mv_set_lineage(const DB_MV_QUERY_INFO *info, int32_t registration_id);

/* The setter's and the stored view's names of a change kind (4 or 5); with
 * create 0 the setter runs at once. 0; -66 for a null argument or a
 * position outside the tables; the setter's code. */
int32_t db_mv_view_prepare_names(DB_MV_QUERY_INFO *info, int32_t position, int32_t kind, char *view,
                                 size_t view_size, char *setter, size_t setter_size,
                                 int32_t create);

/* Appends the select list of a table under alias (describe: the table's own
 * columns from the catalogue, else the record's), qualifying plain column
 * names with the alias, the state column as the literal 0 for a base alias
 * ("b..."), adding ZEL_STATE_ID (add_state) and VE_ROW_ID beside a spatial
 * column when missing. 0; -37 for a table without columns; -66 for no
 * columns; -250; -12; the catalogue's failure. */
int32_t db_mv_select_list(const DB_MV_TABLE_INFO *table, const char *alias, SQL_TEXT_BUFFER *buffer,
                          int32_t add_state, int32_t describe);
/* Appends the column list of the stored view (the described columns, and
 * ZEL_STATE_ID and VE_ROW_ID as the select list adds them). */
int32_t db_mv_column_list(const DB_MV_TABLE_INFO *table, SQL_TEXT_BUFFER *buffer,
                          int32_t add_state);
/* 1 when a select item is a plain column name (letters, digits, _ $ #; not
 * NULL; or a double-quoted name); 0 for an expression or literal. */
int32_t db_sql_is_identifier(const char *text);

/* Appends the derived table LF of the log's distinct ids, read through the
 * table's log getter (getter set) or by the log's data id. 0; -66 for a
 * log name that does not parse; -250; -12. */
int32_t db_mv_log_join(const LOGFILE *log, SQL_TEXT_BUFFER *buffer, int32_t registration_id,
                       int32_t getter);
/* Appends " AND LF.zel_row_id = <alias>.<row-id column> ". */
int32_t db_mv_log_match(const LOGFILE *log, const char *alias, const char *rowid_column,
                        SQL_TEXT_BUFFER *buffer);

/* Sets a buffer up from a capacity (see the head comment). 0; -65 for a
 * capacity of 1 or more without storage. */
int32_t db_mv_buffer_init(SQL_TEXT_BUFFER *buffer, int32_t capacity, char *storage);

/* Builds the text of the registration's IMV view (not executed) over the
 * given columns: the base rows no deletion of the current lineage removed,
 * and the adds rows of states of the current lineage that no deletion of it
 * removed. A growable text comes back only on success. 0; -66 for names that
 * are not identifiers; -65; -250; -12. */
int32_t db_imv_view_sql(const REGISTRATION *registration, const char *const *columns,
                        int16_t column_count, int32_t capacity, char **text);
/* The IMV view's trigger texts (0 insert, 1 delete, 2 update) are not made:
 * the text comes back empty (fixed) or null (growable). 0; -66 for another
 * kind; -65. */
int32_t db_imv_trigger_sql(const REGISTRATION *registration, const void *layer, int32_t unused,
                           int16_t column_count, int32_t kind, int32_t capacity, char **text);

#ifdef __cplusplus
}

#include <functional>
#include <initializer_list>
#include <string>

// Assembles a text piece by piece: after the first failure nothing more is
// appended and rc keeps that failure.
struct DB_MV_TEXT {
    SQL_TEXT_BUFFER *buffer;
    int32_t rc = 0;

    // Appends the pieces.
    DB_MV_TEXT &add(std::initializer_list<const char *> pieces);
    // Appends the pieces, then ends the line (pretty printing).
    DB_MV_TEXT &line(std::initializer_list<const char *> pieces);
    // Runs a step that appends by itself, unless an earlier one failed.
    template <typename Step> DB_MV_TEXT &step(Step run)
    {
        if (rc == 0)
            rc = run();
        return *this;
    }
    // Appends what part appends to this text, only under the condition.
    template <typename Part> DB_MV_TEXT &when(bool condition, Part part)
    {
        if (rc == 0 && condition)
            part(*this);
        return *this;
    }
};

// What a builder works from: the query, its table, the names the texts use
// (T the table as the query gives it, A, D and E its adds, deletes and
// equivalence tables, R its row-id column, X its alias) and the output.
struct DB_MV_BUILD {
    DB_INSTANCE *instance;
    DB_MV_QUERY_INFO *info;
    const DB_MV_TABLE_INFO *table;
    int32_t position;
    std::string T, A, D, E, R, X;
    SQL_TEXT_BUFFER *out;
};

// True when the list reads the state through one of the table's getters, so
// that a stored view made from it follows the connection's setter.
bool db_mv_list_reads_getters(const char *list, int32_t registration_id);

// Appends "<view> <alias>" to the output.
int32_t db_mv_name_in_output(const DB_MV_BUILD &b, const char *view);

// Creates the stored view from the CREATE VIEW text that text writes into a
// private buffer, names it in the output and grants it to PUBLIC (a view
// made meanwhile counts as made; a failed grant drops it again and gives
// the grant's code with its record).
int32_t db_mv_create_view(const DB_MV_BUILD &b, const char *view,
                          const std::function<int32_t(SQL_TEXT_BUFFER *)> &text);

// True when a change kind (4, 5) reads a stored view: a state other than 0,
// no log file, and every list its text uses read through the getters.
bool db_mv_change_view_stored(const DB_MV_QUERY_INFO *info, const DB_MV_TABLE_INFO *table);

// 0 when every lineage list the kind's text uses is there and not blank;
// else -66.
int32_t db_mv_check_lists(const DB_MV_QUERY_INFO *info);

// The change kinds (4 update, 5 delete) and the difference kinds (6 to 9,
// and 10 the empty row set). Each runs the lineage setter at its end.
int32_t db_mv_update_view_build(const DB_MV_BUILD &b, int32_t create);
int32_t db_mv_delete_view_build(const DB_MV_BUILD &b, int32_t create);
int32_t db_mv_diff6_text(const DB_MV_BUILD &b);
int32_t db_mv_diff7_text(const DB_MV_BUILD &b);
int32_t db_mv_diff8_text(const DB_MV_BUILD &b);
int32_t db_mv_diff9_text(const DB_MV_BUILD &b);
int32_t db_mv_empty_text(const DB_MV_BUILD &b);
#endif

#endif
