// Copying changes between states (db_state_copy.h). The statements are
// texts of any length, and they run as one transaction: committed together
// at the end, or rolled back together when one fails, so a failure never
// leaves a half-copied state.
#include "db/version/db_state_copy.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/core/db_describe_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/version/db_state_trim_internal.h"

namespace
{

// The adds table's copy of the source versions: "c1,c2,...," of the base
// table's columns. 0; the description's code; -66 for a name that is not an
// identifier.
int32_t S_column_list(const REGISTRATION &r, const DB_STATE_NAMES &n, std::string *out)
{
    int16_t count = 0;
    DB_COLUMN_DEF *defs = nullptr;
    int32_t *lengths = nullptr;
    int16_t *types = nullptr;
    int32_t rc = db_describe_table(nullptr, &r, n.base.c_str(), &count, &defs, &lengths, &types);
    for (int16_t i = 0; rc == 0 && i < count; i++) {
        const std::string name(defs[i].name, strnlen(defs[i].name, sizeof(defs[i].name)));
        if (db_check_name(name.c_str(), sizeof(defs[i].name)) != 0)
            rc = ZE_INVALID_ARGUMENT;
        else
            *out += name + ",";
    }
    free(defs);
    free(lengths);
    free(types);
    if (rc == 0 && out->empty())
        rc = ZE_TABLE_NOT_FOUND;
    return rc;
}

// The statements of the copy, in order.
std::vector<std::string> S_statements(const DB_STATE_NAMES &n, const std::string &columns,
                                      int32_t target, const char *source, const char *lineage)
{
    const char *A = n.adds.c_str();
    const char *D = n.deletes.c_str();
    const char *E = n.equivalence.c_str();
    const char *R = n.rowid.c_str();
    std::vector<std::string> sql;
    // The versions the sources added and did not delete again.
    sql.push_back(db_sql_format(
        "INSERT INTO %s (%s%s) SELECT %s%d FROM %s a WHERE a.%s IN (%s) AND NOT EXISTS (SELECT "
        "%s,%s FROM %s d WHERE %s IN (%s) AND a.%s = d.%s AND a.%s = d.%s)",
        A, columns.c_str(), "ZEL_STATE_ID", columns.c_str(), target, A, "ZEL_STATE_ID", source,
        "ZEL_DELETES_ROW_ID", "ZEL_STATE_ID", D, "DELETED_AT", source, "ZEL_STATE_ID",
        "ZEL_STATE_ID", R, "ZEL_DELETES_ROW_ID"));
    // Each row the sources deleted, deleted at the target in the version
    // the target's lineage sees (state 0 for a base row).
    sql.push_back(db_sql_format(
        "INSERT INTO %s (%s,%s,%s) SELECT a.%s, d.%s, %d FROM TABLE(MULTISET(SELECT a2.%s, "
        "a2.%s FROM %s a2 WHERE a2.%s IN (%s) AND NOT EXISTS (SELECT %s, %s FROM %s d2 WHERE %s "
        "IN (%s) AND a2.%s = d2.%s AND a2.%s = d2.%s) UNION ALL SELECT b.%s, 0 FROM %s b WHERE "
        "NOT EXISTS (SELECT %s, %s FROM %s d3 WHERE %s IN (%s) AND b.%s = d3.%s))) a, "
        "TABLE(MULTISET(SELECT DISTINCT %s FROM %s WHERE %s IN (%s))) d WHERE a.%s = d.%s",
        D, "ZEL_STATE_ID", "ZEL_DELETES_ROW_ID", "DELETED_AT", "ZEL_STATE_ID", "ZEL_DELETES_ROW_ID",
        target, R, "ZEL_STATE_ID", A, "ZEL_STATE_ID", lineage, "ZEL_DELETES_ROW_ID", "ZEL_STATE_ID",
        D, "DELETED_AT", lineage, "ZEL_STATE_ID", "ZEL_STATE_ID", R, "ZEL_DELETES_ROW_ID", R,
        n.base.c_str(), "ZEL_DELETES_ROW_ID", "ZEL_STATE_ID", D, "DELETED_AT", lineage, R,
        "ZEL_DELETES_ROW_ID", "ZEL_DELETES_ROW_ID", D, "DELETED_AT", source, R,
        "ZEL_DELETES_ROW_ID"));
    // The copies linked to their originals, one way and the other.
    const char *equivalences =
        "INSERT INTO %s (%s,%s,%s) SELECT %s FROM   %s a WHERE  a.%s IN (%s) AND  NOT EXISTS (  "
        "SELECT %s,%s  FROM   %s d WHERE  %s IN (%s) AND         a.%s = d.%s AND         a.%s = "
        "d.%s) ";
    const std::string forward = std::to_string(target) + ",a." + n.rowid + ",a." + "ZEL_STATE_ID";
    const std::string reverse =
        std::string("a.") + "ZEL_STATE_ID" + ",a." + n.rowid + "," + std::to_string(target);
    for (const std::string *select : {&forward, &reverse})
        if (getenv("ZELEQUIVS") != nullptr)
            sql.push_back(db_sql_format(
                equivalences, E, "ZEL_STATE_ID", "ZEL_ROW_ID", "EQUIVALENCE_STATE_ID",
                select->c_str(), A, "ZEL_STATE_ID", source, "ZEL_DELETES_ROW_ID", "ZEL_STATE_ID", D,
                "DELETED_AT", source, "ZEL_STATE_ID", "ZEL_STATE_ID", R, "ZEL_DELETES_ROW_ID"));
    return sql;
}

} // namespace

int32_t DB_registered_table_copy_changes(DB_INSTANCE *instance, const REGISTRATION *registration,
                                         int32_t target_state_id, const char *source_list,
                                         const char *target_lineage)
{
    if (registration == nullptr || source_list == nullptr || target_lineage == nullptr)
        return ZE_NULL_POINTER;
    // An empty list would make an IN list a syntax error half-way through.
    if (db_sql_is_blank(source_list) || db_sql_is_blank(target_lineage))
        return ZE_INVALID_ARGUMENT;
    bool pending = false;
    const int32_t rc = zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        DB_STATE_NAMES n;
        std::string columns;
        int32_t result = db_state_names(instance, *registration, &n);
        if (result == 0)
            result = S_column_list(*registration, n, &columns);
        if (result != 0)
            return result;
        const std::vector<std::string> sql =
            S_statements(n, columns, target_state_id, source_list, target_lineage);
        for (const std::string &statement : sql) {
            pending = true;
            result = db_state_run_statement(statement.c_str(), DB_DML_KEEP_OPEN);
            if (result != 0) {
                VES_print_debug(stderr,
                                "DB_registered_table_copy_changes (%s,%d) Execute Immediate "
                                "error (%d).\n",
                                n.deletes.c_str(), target_state_id, result);
                return result;
            }
        }
        // A failed commit has rolled back itself.
        pending = false;
        return db_catalog_commit();
    });
    // Nothing of a failed copy stays: what ran before the failure (or before
    // memory ran out, or a commit that failed) is rolled back.
    if (rc != 0 && pending)
        db_catalog_rollback();
    return rc;
}
