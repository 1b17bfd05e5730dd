// Lineage strings (db_state_lineage.h): the SELECTs on STATE_LINEAGES that the
// multiversion view texts put after IN. Every one reads the lineage table by
// its state_id path: the optimizer is told to avoid both the lineage_id index
// and a full scan. The paths compared come from the records' lineage blobs
// (base/util/ve_lineage_internal.h).
#include "db/version/db_state_lineage.h"

#include <stdlib.h>

#include <string>
#include <vector>

#include "base/util/ve_lineage_internal.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/version/db_routine_internal.h"

#define S_ROUTINE_NAME_SIZE 64

namespace
{

// A growable SQL text that frees itself unless handed out.
struct Text {
    SQL_TEXT_BUFFER buffer;
    Text()
    {
        sql_string_init(&buffer);
    }
    ~Text()
    {
        sql_string_free(&buffer);
    }
    Text(const Text &) = delete;
    Text &operator=(const Text &) = delete;
    char *release()
    {
        char *text = buffer.text;
        buffer.text = nullptr;
        buffer.capacity = 0;
        buffer.length = 0;
        return text;
    }
};

} // namespace

// The two lines every lineage string starts with.
static int32_t S_head(DB_INSTANCE *instance, Text *text)
{
    char table[DB_QUALIFIED_NAME_SIZE] = "";
    db_make_state_lineages_table_name(instance, table, sizeof(table));
    int32_t rc = sql_string_append_list(
        &text->buffer, "SELECT /*+AVOID_INDEX(l lineage_id_idx), AVOID_FULL(l)*/ l.lineage_id ",
        nullptr);
    if (rc == ZE_SUCCESS)
        rc = sql_string_append_list(&text->buffer, "FROM ", table, " l ", nullptr);
    return rc;
}

// The lineage rows of the state a getter answers, from the id another getter
// answers on: "WHERE l.state_id = G() AND " and "l.lineage_id > H()" (the
// comparison as given). *text is set only on success.
static int32_t S_range_text(DB_INSTANCE *instance, const std::string &state_getter,
                            const char *comparison, const std::string &bound_getter, char **text)
{
    Text sql;
    int32_t rc = S_head(instance, &sql);
    if (rc == ZE_SUCCESS)
        rc = sql_string_append_list(&sql.buffer, "WHERE l.state_id = ", state_getter.c_str(), "()",
                                    " AND ", nullptr);
    if (rc == ZE_SUCCESS)
        rc = sql_string_append_list(&sql.buffer, comparison, bound_getter.c_str(), "()", nullptr);
    if (rc == ZE_SUCCESS)
        *text = sql.release();
    return rc;
}

// The name of a getter ("ZEL_stateid_get12") or setter of the registration.
static int32_t S_routine(int32_t registration_id, int32_t kind, int32_t getter, std::string *name)
{
    char buffer[S_ROUTINE_NAME_SIZE] = "";
    int32_t rc = db_lineage_routine_name(registration_id, buffer, sizeof(buffer), kind, getter);
    *name = buffer;
    return rc;
}

// The state getter of the registration: the difference state's or the state's.
static int32_t S_state_getter(int32_t registration_id, int32_t difference, std::string *name)
{
    return S_routine(registration_id, difference ? DB_DIFFID_GET : DB_STATEID_GET, 1, name);
}

ZEL_API int32_t DB_state_lineage_string(DB_INSTANCE *instance, const STATE *state, int32_t,
                                        int32_t registration_id, char **text, int32_t literal,
                                        int32_t difference)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (state == nullptr || text == nullptr)
            return ZE_NULL_POINTER;
        Text sql;
        int32_t rc = S_head(instance, &sql);
        if (rc != ZE_SUCCESS)
            return rc;
        std::string where = "WHERE l.state_id = ";
        std::string setter;
        if (literal) {
            where += std::to_string(state->state_id);
        } else {
            std::string getter;
            rc = S_state_getter(registration_id, difference, &getter);
            if (rc == ZE_SUCCESS)
                rc = S_routine(registration_id, DB_STATEID_GET, 0, &setter);
            if (rc != ZE_SUCCESS)
                return rc;
            where += getter + "()";
        }
        rc = sql_string_append_list(&sql.buffer, where.c_str(), nullptr);
        if (rc != ZE_SUCCESS)
            return rc;
        if (!literal) {
            // The getter answers this state from now on; a failure shows when
            // the text is used.
            std::string set = "EXECUTE PROCEDURE " + setter + " (" +
                              std::to_string(state->state_id) + ", NULL, NULL, NULL, NULL)";
            db_execute_ddlsql(set.c_str(), 0, DB_EXEC_NO_COMMIT);
        }
        *text = sql.release();
        return ZE_SUCCESS;
    });
}

// The id at position i of a path (the ancestors, then the state itself);
// -1 beyond it.
static int32_t S_path_entry(const std::vector<int32_t> &ancestors, int32_t state_id, size_t i)
{
    if (i < ancestors.size())
        return ancestors[i];
    return i == ancestors.size() ? state_id : -1;
}

ZEL_API int32_t DB_state_sublineage_string(DB_INSTANCE *instance, const STATE *first,
                                           const STATE *second, int32_t, int32_t registration_id,
                                           int32_t *common_state_id, char **text,
                                           int32_t difference)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (common_state_id == nullptr)
            return ZE_INVALID_ARGUMENT;
        if (first == nullptr || second == nullptr || text == nullptr)
            return ZE_NULL_POINTER;
        std::vector<int32_t> path1, path2;
        if (ves_lineage_decode_state(first, &path1) != ZE_SUCCESS ||
            ves_lineage_decode_state(second, &path2) != ZE_SUCCESS)
            return ZE_INVALID_ARGUMENT;
        // Walk the first path along the second up to the first difference.
        int32_t common = 0;
        bool differs = false;
        for (size_t i = 0; i < path1.size() && !differs; i++) {
            if (path1[i] == S_path_entry(path2, second->state_id, i))
                common = path1[i];
            else
                differs = true;
        }
        if (!differs)
            differs = first->state_id != S_path_entry(path2, second->state_id, path1.size());
        if (!differs) {
            *text = nullptr; // the first state sees nothing the second does not
            return ZE_SUCCESS;
        }
        std::string state_getter, lineage_getter;
        int32_t rc = S_state_getter(registration_id, difference, &state_getter);
        if (rc == ZE_SUCCESS)
            rc = S_routine(registration_id, DB_LINEAGEID_GET, 1, &lineage_getter);
        if (rc != ZE_SUCCESS)
            return rc;
        rc = S_range_text(instance, state_getter, "l.lineage_id > ", lineage_getter, text);
        if (rc == ZE_SUCCESS)
            *common_state_id = common;
        return rc;
    });
}

ZEL_API int32_t DB_state_partial_lineage_string(DB_INSTANCE *instance, const STATE *state,
                                                int32_t start_state_id, int32_t, char **text)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (state == nullptr || text == nullptr)
            return ZE_NULL_POINTER;
        std::vector<int32_t> ancestors;
        if (ves_lineage_decode_state(state, &ancestors) != ZE_SUCCESS)
            return ZE_INVALID_ARGUMENT;
        bool found = false;
        for (int32_t id : ancestors)
            found = found || id == start_state_id;
        if (!found) {
            *text = nullptr;
            return ZE_STATE_NOT_IN_LINEAGE;
        }
        std::string start_getter, end_getter;
        int32_t rc = S_routine(-1, DB_STARTID_GET, 1, &start_getter);
        if (rc == ZE_SUCCESS)
            rc = S_routine(-1, DB_ENDID_GET, 1, &end_getter);
        if (rc != ZE_SUCCESS)
            return rc;
        return S_range_text(instance, end_getter, "l.lineage_id >= ", start_getter, text);
    });
}
