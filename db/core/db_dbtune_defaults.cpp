// Built-in DBTUNE keywords and their defaults: after a file import or a
// migration every built-in keyword must hold its full set of parameters.
// The found marks record which are present; the inserter adds the others
// with a WARNING line each. Every row reaches the DBTUNE table through the
// row insert here, which calls the administrative insert_dbtune procedure.
#include <sqlext.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_dbtune_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"

namespace
{

const char *const S_keyword_names[DBTUNE_KW_COUNT] = {
    "DEFAULTS",
    "LOGFILE_DEFAULTS",
    "NETWORK_DEFAULTS",
    "NETWORK_DEFAULTS::NETWORK",
    "NETWORK_DEFAULTS::DESC",
    "DATA_DICTIONARY",
};

} // namespace

int32_t dbtune_found_marks[DBTUNE_BUILTIN_COUNT];

void db_dbtune_clear_marks(void)
{
    memset(dbtune_found_marks, 0, sizeof(dbtune_found_marks));
}

int32_t db_dbtune_set_mark(int32_t keyword, const char *parameter, int32_t prefix)
{
    if (parameter == nullptr)
        return 0;
    const DBTUNE_BUILTIN *builtins = db_dbtune_builtins();
    for (int i = 0; i < DBTUNE_BUILTIN_COUNT; i++) {
        const DBTUNE_BUILTIN &b = builtins[i];
        if (b.keyword != keyword)
            continue;
        bool match = prefix ? db_dbtune_begins_with(parameter, b.param->name)
                            : strcasecmp(parameter, b.param->name) == 0;
        if (match) {
            dbtune_found_marks[i] = 1;
            return 1;
        }
    }
    return 0;
}

int32_t db_dbtune_keyword_complete(int32_t keyword)
{
    const DBTUNE_BUILTIN *builtins = db_dbtune_builtins();
    for (int i = 0; i < DBTUNE_BUILTIN_COUNT; i++)
        if (builtins[i].keyword == keyword && !dbtune_found_marks[i])
            return 0;
    return 1;
}

const char *db_dbtune_builtin_keyword(int32_t keyword)
{
    return keyword >= 0 && keyword < DBTUNE_KW_COUNT ? S_keyword_names[keyword] : nullptr;
}

int32_t db_dbtune_insert_call(char *out, size_t size)
{
    char name[DB_QUALIFIED_NAME_SIZE];
    int32_t rc = db_make_admin_object_name(nullptr, "insert_dbtune", name, sizeof(name));
    if (rc != 0)
        return rc;
    int n = snprintf(out, size, "{ call %s (?,?,?) }", name);
    return n < 0 || static_cast<size_t>(n) >= size ? ZE_INVALID_ARGUMENT : ZE_SUCCESS;
}

static void S_report_row(DBTUNE_FAILED_ROW *failed, const char *keyword, const char *name,
                         const char *value)
{
    if (failed) {
        memset(failed, 0, sizeof(*failed));
        db_dbtune_copy_field(failed->keyword, sizeof(failed->keyword), keyword, "keyword");
        db_dbtune_copy_field(failed->parameter_name, sizeof(failed->parameter_name), name,
                             "parameter name");
        db_dbtune_copy_field(failed->config_string, sizeof(failed->config_string), value, "value");
    }
    fprintf(stderr, "Error inserting following data into DBTUNE table:\n");
    fprintf(stderr, "\tConfig keyword: %s\n", keyword);
    fprintf(stderr, "\tParameter name: %s\n", name);
    fprintf(stderr, "\tConfig String : %s\n", value);
}

int32_t db_dbtune_insert_row(const char *call, const char *keyword, const char *name,
                             const char *value, DBTUNE_FAILED_ROW *failed)
{
    if (call == nullptr || keyword == nullptr || name == nullptr)
        return ZE_NULL_POINTER;
    db_stmt_guard stmt;
    SQLHSTMT &h = stmt.h;
    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, db_connection()->hdbc, &h);
    if (!SQL_SUCCEEDED(rc))
        return rc;
    // The caller's texts may be heap strings of their exact length: the
    // procedure gets folded, bounded copies.
    char kw[DBTUNE_COLUMN_NAME_SIZE], pn[DBTUNE_COLUMN_NAME_SIZE], cs[DBTUNE_CLAUSE_SIZE];
    db_dbtune_copy_field(kw, sizeof(kw), keyword, "keyword");
    db_dbtune_copy_field(pn, sizeof(pn), name, "parameter name");
    db_dbtune_copy_field(cs, sizeof(cs), value, "value");
    db_identifier_to_upper(nullptr, kw, static_cast<int32_t>(sizeof(kw)));
    db_identifier_to_upper(nullptr, pn, static_cast<int32_t>(sizeof(pn)));

    SQLLEN nts[3] = {SQL_NTS, SQL_NTS, SQL_NTS};
    struct {
        char *text;
        SQLULEN column_size;
    } params[] = {{kw, 32}, {pn, 32}, {cs, 2048}};
    for (SQLUSMALLINT i = 0; i < 3; i++) {
        rc = SQLBindParameter(h, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR,
                              SQL_CHAR, params[i].column_size, 0, params[i].text, 0, &nts[i]);
        if (!SQL_SUCCEEDED(rc)) {
            S_report_row(failed, kw, pn, cs);
            return rc;
        }
    }
    rc = SQLExecDirect(h, reinterpret_cast<SQLCHAR *>(const_cast<char *>(call)), SQL_NTS);
    if (!SQL_SUCCEEDED(rc))
        return rc;
    SQLINTEGER result = 0;
    SQLLEN result_len = 0;
    rc = SQLBindCol(h, 1, SQL_C_LONG, &result, sizeof(result), &result_len);
    if (SQL_SUCCEEDED(rc))
        rc = SQLFetch(h);
    if (!SQL_SUCCEEDED(rc)) {
        S_report_row(failed, kw, pn, cs);
        return rc;
    }
    if (result != 0) {
        int32_t code = db_dbtune_set_procedure_xerr(result, "zel.insert_dbtune");
        S_report_row(failed, kw, pn, cs);
        return code;
    }
    return ZE_SUCCESS;
}

int32_t db_dbtune_insert_defaults(const char *file_name, const int32_t *complete,
                                  DBTUNE_FAILED_ROW *failed)
{
    char call[DBTUNE_CLAUSE_SIZE];
    int32_t rc = db_dbtune_insert_call(call, sizeof(call));
    if (rc != 0)
        return rc;
    const char *file = file_name ? file_name : "";
    const DBTUNE_BUILTIN *builtins = db_dbtune_builtins();
    for (int i = 0; i < DBTUNE_BUILTIN_COUNT; i++) {
        const DBTUNE_BUILTIN &b = builtins[i];
        if ((complete && complete[b.keyword]) || dbtune_found_marks[i])
            continue;
        const char *keyword = S_keyword_names[b.keyword];
        const char *parameter = b.param->name;
        bool tight = strncmp(parameter, "MVTABLES_MODIFIED_", 18) == 0;
        VES_print_debug(stderr,
                        "WARNING: %s does not contain %s config parameter '%s'.%s\n\t Inserting "
                        "the default values.\n",
                        file, keyword, parameter, tight ? "" : " ");
        rc = db_dbtune_insert_row(call, keyword, parameter, b.param->default_text, failed);
        if (rc != 0) {
            VES_print_debug(stderr, "S_insert_dbtuneTab_defaults_data(): Error insert data to "
                                    "DBTUNE table.\n");
            return rc;
        }
    }
    return ZE_SUCCESS;
}
