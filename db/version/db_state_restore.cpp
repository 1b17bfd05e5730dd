// Restoring rows and row equivalence (db_state_restore.h). Each operation
// puts its ids into a working log and joins its statements against the
// log's id rows; it is one transaction: a failure rolls back all it did
// and deletes the working log.
#include "db/version/db_state_restore.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_xerr_internal.h"
#include "db/version/db_state_rows_internal.h"

namespace
{

// The working log of one operation and the undoing of a failed one.
struct S_working {
    LOGFILE log{};
    bool live = false;

    // Rolls back (keeping the failure's record) and deletes the log. rc.
    int32_t fail(int32_t rc)
    {
        if (!live)
            return rc;
        const DB_EXT_ERROR kept = db_global_xerr;
        db_catalog_rollback();
        db_global_xerr = kept;
        db_state_drop_log(log.name, false);
        live = false;
        return rc;
    }
    // Deletes the log of a successful operation.
    int32_t done()
    {
        db_state_drop_log(log.name, true);
        live = false;
        return ZE_SUCCESS;
    }
};

// Runs an operation with its working log; memory that runs out half-way
// leaves nothing of it either.
template <typename Body> int32_t S_with_log(Body body)
{
    S_working w;
    const int32_t rc = zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return body(w); });
    return rc != 0 ? w.fail(rc) : rc;
}

// Names, then the working log of the ids and its data table.
int32_t S_prepare(DB_INSTANCE *instance, const REGISTRATION &r, const int32_t *ids, int32_t count,
                  DB_STATE_NAMES *n, S_working &w, std::string *data)
{
    int32_t rc = db_state_names(instance, r, n);
    if (rc != 0)
        return rc;
    rc = db_registered_table_make_id_logfile(&r, ids, count, &w.log);
    if (rc != 0)
        return rc;
    w.live = true;
    *data = db_state_log_data_table(w.log);
    return data->empty() ? ZE_INVALID_ARGUMENT : ZE_SUCCESS;
}

int32_t S_restore(DB_INSTANCE *instance, const REGISTRATION &r, int32_t state, const int32_t *ids,
                  int32_t count, S_working &w)
{
    DB_STATE_NAMES n;
    std::string data;
    int32_t rc = S_prepare(instance, r, ids, count, &n, w, &data);
    if (rc != 0)
        return rc;
    const int32_t data_id = w.log.data_id;
    const char *L = data.c_str();
    // The rows of one table whose column is the state and whose id column
    // is among the listed ids.
    auto remove = [&](const char *table, const char *state_column, const char *id_column,
                      const char *message) {
        return db_state_run_with_view(
            r, nullptr,
            db_sql_format("DELETE FROM %s WHERE  %s = %d AND %s IN (SELECT zel_row_id FROM   %s "
                          "WHERE  logfile_data_id = %d)",
                          table, state_column, state, id_column, L, data_id),
            message);
    };
    if (getenv("ZELEQUIVS") != nullptr) {
        // Links to versions of the state, then links of its versions.
        rc = db_state_run_with_view(
            r, nullptr,
            db_sql_format("DELETE FROM %s WHERE  %s = %d AND %s IN (SELECT l.zel_row_id FROM   %s "
                          "l,%s a WHERE  l.zel_row_id = a.%s AND l.logfile_data_id = %d AND a.%s "
                          "= %d)",
                          n.equivalence.c_str(), "EQUIVALENCE_STATE_ID", state, "ZEL_ROW_ID", L,
                          n.adds.c_str(), n.rowid.c_str(), data_id, "ZEL_STATE_ID", state),
            "Error when removing reverse rows from the equivalence table.");
        if (rc == 0)
            rc = remove(n.equivalence.c_str(), "ZEL_STATE_ID", "ZEL_ROW_ID",
                        "Error when removing forward rows from the equivalence table.");
    }
    if (rc == 0)
        rc = remove(n.adds.c_str(), "ZEL_STATE_ID", n.rowid.c_str(),
                    "Error when removing rows from the adds table");
    if (rc == 0)
        rc = remove(n.deletes.c_str(), "DELETED_AT", "ZEL_DELETES_ROW_ID",
                    "Error when removing rows from the deletes table");
    return rc != 0 ? rc : w.done();
}

// The statements of the equivalence operations, by direction: A's versions
// against B (forward) and B's against A (inverse).
struct S_equivalence_texts {
    const char *forward_message, *inverse_message;
    // The statement from the view of one state, the other state's id.
    std::string (*forward)(const DB_STATE_NAMES &, const std::string &alias, const char *data,
                           int32_t data_id, const std::string &view, int32_t other);
    std::string (*inverse)(const DB_STATE_NAMES &, const std::string &alias, const char *data,
                           int32_t data_id, const std::string &view, int32_t other);
};

std::string S_insert(const DB_STATE_NAMES &n, const std::string &alias, const char *data,
                     int32_t data_id, const std::string &view, int32_t other)
{
    const char *X = alias.c_str();
    const char *R = n.rowid.c_str();
    return db_sql_format("INSERT INTO %s SELECT %s.%s,%s.%s,%d FROM   %s l,%s WHERE  %s.%s = "
                         "l.zel_row_id AND l.logfile_data_id = %d",
                         n.equivalence.c_str(), X, "ZEL_STATE_ID", X, R, other, data, view.c_str(),
                         X, R, data_id);
}

std::string S_delete_forward(const DB_STATE_NAMES &n, const std::string &alias, const char *data,
                             int32_t data_id, const std::string &view, int32_t other)
{
    const char *X = alias.c_str();
    const char *R = n.rowid.c_str();
    return db_sql_format("DELETE FROM %s e WHERE ROW(%s,%s) IN ROW(SELECT %s.%s,%s.%s FROM %s l, "
                         "%s WHERE %s.%s = l.zel_row_id AND l.logfile_data_id = %d) AND %s = %d",
                         n.equivalence.c_str(), "ZEL_STATE_ID", "ZEL_ROW_ID", X, "ZEL_STATE_ID", X,
                         R, data, view.c_str(), X, R, data_id, "EQUIVALENCE_STATE_ID", other);
}

std::string S_delete_inverse(const DB_STATE_NAMES &n, const std::string &alias, const char *data,
                             int32_t data_id, const std::string &view, int32_t other)
{
    const char *X = alias.c_str();
    const char *R = n.rowid.c_str();
    return db_sql_format("DELETE FROM %s e WHERE %s = %d AND EXISTS(SELECT * FROM   %s l,%s WHERE  "
                         "%s.%s = l.zel_row_id AND l.logfile_data_id = %d AND e.%s = %s.%s AND "
                         "e.%s = %s.%s)",
                         n.equivalence.c_str(), "EQUIVALENCE_STATE_ID", other, data, view.c_str(),
                         X, R, data_id, "ZEL_STATE_ID", X, "ZEL_STATE_ID", "ZEL_ROW_ID", X, R);
}

const S_equivalence_texts S_add_texts = {"Error when adding equivalency entries.",
                                         "Error when adding inverse equivalency entries.", S_insert,
                                         S_insert};
const S_equivalence_texts S_remove_texts = {"Error when deleting equivalency entries.",
                                            "Error when deleting inverse equivalency entries.",
                                            S_delete_forward, S_delete_inverse};

int32_t S_equivalence(DB_INSTANCE *instance, const REGISTRATION &r, int32_t state_a,
                      const char *lineage_a, int32_t state_b, const char *lineage_b,
                      const int32_t *ids, int32_t count, int32_t both_ways,
                      const S_equivalence_texts &texts, S_working &w)
{
    DB_STATE_NAMES n;
    std::string data;
    int32_t rc = S_prepare(instance, r, ids, count, &n, w, &data);
    if (rc != 0)
        return rc;
    const std::string alias = "V__" + std::to_string(r.registration_id);
    const std::vector<std::string> key = {"ZEL_STATE_ID", n.rowid};
    DB_STATE_VIEW view;
    rc = db_state_view_build(instance, r, n, state_a, lineage_a, nullptr, alias, key, &view);
    if (rc == 0)
        rc = db_state_run_with_view(
            r, &view, texts.forward(n, alias, data.c_str(), w.log.data_id, view.text, state_b),
            texts.forward_message);
    if (rc == 0 && both_ways) {
        rc = db_state_view_build(instance, r, n, state_b, lineage_b, nullptr, alias, key, &view);
        if (rc == 0)
            rc = db_state_run_with_view(
                r, &view, texts.inverse(n, alias, data.c_str(), w.log.data_id, view.text, state_a),
                texts.inverse_message);
    }
    return rc != 0 ? rc : w.done();
}

// The argument checks and the run of both equivalence operations.
int32_t S_equivalence_entry(DB_INSTANCE *instance, const REGISTRATION *registration,
                            int32_t state_a, const char *lineage_a, int32_t state_b,
                            const char *lineage_b, const int32_t *ids, int32_t count,
                            int32_t both_ways, const S_equivalence_texts &texts)
{
    if (getenv("ZELEQUIVS") == nullptr)
        return ZE_SUCCESS;
    if (registration == nullptr || lineage_a == nullptr || lineage_b == nullptr ||
        (ids == nullptr && count > 0))
        return ZE_NULL_POINTER;
    if (db_sql_is_blank(lineage_a) || db_sql_is_blank(lineage_b) || count < 0)
        return ZE_INVALID_ARGUMENT;
    return S_with_log([&](S_working &w) {
        return S_equivalence(instance, *registration, state_a, lineage_a, state_b, lineage_b, ids,
                             count, both_ways, texts, w);
    });
}

} // namespace

int32_t DB_registered_table_restore_rows(DB_INSTANCE *instance, const REGISTRATION *registration,
                                         int32_t state_id, const int32_t *ids, int32_t count)
{
    if (registration == nullptr || (ids == nullptr && count > 0))
        return ZE_NULL_POINTER;
    if (count < 0)
        return ZE_INVALID_ARGUMENT;
    return S_with_log(
        [&](S_working &w) { return S_restore(instance, *registration, state_id, ids, count, w); });
}

int32_t DB_registered_table_equivalence_rows(DB_INSTANCE *instance,
                                             const REGISTRATION *registration, int32_t state_a,
                                             const char *lineage_a, int32_t state_b,
                                             const char *lineage_b, const int32_t *ids,
                                             int32_t count, int32_t both_ways)
{
    return S_equivalence_entry(instance, registration, state_a, lineage_a, state_b, lineage_b, ids,
                               count, both_ways, S_add_texts);
}

int32_t DB_registered_table_unequivalence_rows(DB_INSTANCE *instance,
                                               const REGISTRATION *registration, int32_t state_a,
                                               const char *lineage_a, int32_t state_b,
                                               const char *lineage_b, const int32_t *ids,
                                               int32_t count, int32_t both_ways)
{
    return S_equivalence_entry(instance, registration, state_a, lineage_a, state_b, lineage_b, ids,
                               count, both_ways, S_remove_texts);
}
