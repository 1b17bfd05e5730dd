// Folding a state lineage into the base table (db_state_base.h). Every
// statement runs in the caller's open transaction; once the fold has changed
// anything, a failure rolls the transaction back and the fold ends there, so
// no later statement works on a half-folded table.
#include "db/version/db_state_base.h"

#include <sql.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/core/db_describe_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/version/db_mv_view_internal.h"
#include "db/version/db_state_trim_internal.h"

namespace
{

struct Fold {
    const DB_STATE_NAMES &n;
    int32_t state_id;
    const char *fold_list;
    const char *drop_list;
    bool &pending; // a statement ran and nothing rolled it back yet
};

// Ends the fold after a failed step: the open transaction is rolled back
// (the connection's record stays the failing step's) and the code returned.
int32_t S_abandon(Fold &f, int32_t rc)
{
    db_catalog_rollback();
    f.pending = false;
    return rc;
}

// One statement of the fold's own steps, reported by the fold's name.
int32_t S_step(Fold &f, const std::string &sql, const char *message)
{
    f.pending = true;
    const int32_t rc = db_state_run_statement(sql.c_str(), DB_DML_KEEP_OPEN);
    if (rc == 0)
        return 0;
    VES_print_debug(stderr,
                    "DB_registered_table_make_state_base (%s,%d) Execute Immediate error (%d).\n",
                    f.n.base.c_str(), f.state_id, rc);
    VES_print_debug(stderr, "%s", message);
    return S_abandon(f, rc);
}

// One statement through the shared step, which reports it itself.
int32_t S_shared_step(Fold &f, const std::string &sql, const char *message)
{
    f.pending = true;
    const int32_t rc = db_execute_and_commit_dml(sql.c_str(), DB_DML_KEEP_OPEN, message);
    return rc != 0 ? S_abandon(f, rc) : 0;
}

// The equivalence rows of the folded versions move to state 0, those that
// pointed at a folded state point at 0, and those of dropped states go.
// The first statement's failure has nothing of the fold to undo.
int32_t S_equivalences(Fold &f, const std::string &view)
{
    const char *E = f.n.equivalence.c_str();
    int32_t rc = db_execute_and_commit_dml(
        db_sql_format("UPDATE %s  SET    %s = 0 WHERE  EXISTS (SELECT * FROM %s src WHERE  src.%s "
                      "= %s.%s and src.%s = %s.%s)",
                      E, "ZEL_STATE_ID", view.c_str(), "ZEL_STATE_ID", E, "ZEL_STATE_ID",
                      f.n.rowid.c_str(), E, "ZEL_ROW_ID")
            .c_str(),
        DB_DML_KEEP_OPEN, "Error when re-stating equivalence rows.");
    if (rc != 0)
        return rc;
    f.pending = true;
    rc = S_shared_step(f,
                       db_sql_format("UPDATE %s SET    %s = 0 WHERE  %s IN (%s) AND %s <> 0", E,
                                     "EQUIVALENCE_STATE_ID", "EQUIVALENCE_STATE_ID", f.fold_list,
                                     "ZEL_STATE_ID"),
                       "Error when re-equivalencing equivalence rows.");
    if (rc == 0)
        rc = S_shared_step(f,
                           db_sql_format("DELETE FROM %s WHERE  %s IN (%s) OR %s IN (%s)", E,
                                         "ZEL_STATE_ID", f.drop_list, "EQUIVALENCE_STATE_ID",
                                         f.drop_list),
                           "Error while deleting trimmed equivalence rows.");
    return rc;
}

// The base table's columns as "a.c1,a.c2,...". 0; the description's code
// (-37 for a table without columns); -66 for a name that is not an
// identifier.
int32_t S_adds_columns(const REGISTRATION &r, const DB_STATE_NAMES &n, std::string *out)
{
    int16_t count = 0;
    DB_COLUMN_DEF *defs = nullptr;
    int32_t *lengths = nullptr;
    int16_t *types = nullptr;
    int32_t rc = db_describe_table(nullptr, &r, n.base.c_str(), &count, &defs, &lengths, &types);
    if (rc == 0 && count < 1)
        rc = ZE_TABLE_NOT_FOUND;
    struct Free {
        DB_COLUMN_DEF *defs;
        int32_t *lengths;
        int16_t *types;
        ~Free()
        {
            free(defs);
            free(lengths);
            free(types);
        }
    } release{defs, lengths, types};
    for (int16_t i = 0; rc == 0 && i < count; i++) {
        const std::string name(defs[i].name, strnlen(defs[i].name, sizeof(defs[i].name)));
        if (db_check_name(name.c_str(), sizeof(defs[i].name)) != 0)
            rc = ZE_INVALID_ARGUMENT;
        else
            *out += (i > 0 ? ",a." : "a.") + name;
    }
    return rc;
}

int32_t S_fold(DB_INSTANCE *instance, const REGISTRATION &r, Fold &f, int32_t start_id)
{
    const DB_STATE_NAMES &n = f.n;
    const char *R = n.rowid.c_str();
    const char *A = n.adds.c_str();
    const char *D = n.deletes.c_str();
    const char *fold = f.fold_list;
    // The rows of the fold lineage as the state sees them, without the
    // alias; the setter runs for it also when only the table is used.
    std::string view;
    int32_t rc =
        db_state_view_text(instance, r, n, DB_MV_STANDARD_OTHER, f.state_id, start_id, fold, &view);
    if (rc != 0)
        return rc;
    if (getenv("ZELEQUIVS") != nullptr) {
        rc = S_equivalences(f, view);
        if (rc != 0)
            return rc;
    }
    rc = S_step(f,
                db_sql_format("DELETE FROM %s WHERE %s IN (SELECT DISTINCT %s FROM %s WHERE %s IN "
                              "(%s))",
                              n.base.c_str(), R, "ZEL_DELETES_ROW_ID", D, "DELETED_AT", fold),
                "Error when deleting replaced rows from base table.\n");
    if (rc != 0)
        return rc;
    std::string columns;
    rc = S_adds_columns(r, n, &columns);
    if (rc != 0)
        return S_abandon(f, rc);
    const struct {
        std::string sql;
        bool shared;
        const char *message;
    } steps[] = {
        {db_sql_format("INSERT INTO %s SELECT %s FROM %s a WHERE a.%s IN (%s) AND NOT EXISTS "
                       "(SELECT * FROM %s d WHERE a.%s = d.%s AND a.%s = d.%s AND d.%s IN (%s))",
                       n.base.c_str(), columns.c_str(), A, "ZEL_STATE_ID", fold, D, R,
                       "ZEL_DELETES_ROW_ID", "ZEL_STATE_ID", "ZEL_STATE_ID", "DELETED_AT", fold),
         true, "Error when copying rows between states."},
        {db_sql_format("DELETE FROM %s WHERE zel_state_id IN (%s) OR zel_state_id = %d", A,
                       f.drop_list, f.state_id),
         false, "Error when deleting unneeded rows from adds table.\n"},
        {db_sql_format("DELETE FROM %s WHERE  deleted_at IN (%s) OR deleted_at = %d", D,
                       f.drop_list, f.state_id),
         false, "Error when deleting unneeded rows from deletes table.\n"},
        {db_sql_format("UPDATE %s SET    %s = 0 WHERE  %s IN (%s)", D, "ZEL_STATE_ID",
                       "ZEL_STATE_ID", fold),
         false, "Error when updating rows in deletes table.\n"},
    };
    for (const auto &step : steps) {
        rc = step.shared ? S_shared_step(f, step.sql, step.message)
                         : S_step(f, step.sql, step.message);
        if (rc != 0)
            return rc;
    }
    return 0;
}

} // namespace

int32_t DB_registered_table_make_state_base(DB_INSTANCE *instance, const REGISTRATION *registration,
                                            int32_t state_id, int32_t start_id,
                                            const char *fold_list, const char *drop_list)
{
    if (registration == nullptr || fold_list == nullptr || drop_list == nullptr)
        return ZE_NULL_POINTER;
    // An empty list would make every IN list a syntax error half-way through.
    if (db_sql_is_blank(fold_list) || db_sql_is_blank(drop_list))
        return ZE_INVALID_ARGUMENT;
    bool pending = false;
    const int32_t rc = zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        DB_STATE_NAMES n;
        const int32_t named = db_state_names(instance, *registration, &n);
        if (named != 0)
            return named;
        Fold f{n, state_id, fold_list, drop_list, pending};
        return S_fold(instance, *registration, f, start_id);
    });
    // Memory that ran out between two statements leaves no half fold behind.
    if (rc != 0 && pending)
        db_catalog_rollback();
    return rc;
}
