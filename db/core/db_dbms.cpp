// Constant properties of the DBMS: its id, name and release texts, the SQL
// function names clients may use in expressions, and the qualification rules.
#include "db/core/db_dbms_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/util/ve_release_internal.h"
#include "base/util/zel_errors.h"

static const char S_dbms_name[] = "Informix/IDS";

// Addressed by position 1..57; "NONE" marks a function this DBMS lacks.
// Entries 50 to 57 are the pattern-matching vocabulary.
static const char *const S_function_names[DB_DBMS_FUNCTION_COUNT] = {
    "UPPER",
    "LOWER",
    "CONCAT",
    "NONE",
    "LENGTH",
    "NONE",
    "NONE",
    "TRIM(LEADING",
    "NONE(TRAILING",
    "SUBSTR",
    "NONE",
    "NONE",
    "NONE",
    "TRIM(BOTH",
    "NONE",
    "NONE",
    "NONE",
    "LN",
    "NONE",
    "LOG",
    "MOD",
    "POWER",
    "NONE",
    "NONE",
    "SINH",
    "COSH",
    "TANH",
    "NONE",
    "NONE",
    "NONE",
    "NONE",
    "SIN",
    "COS",
    "TAN",
    "NONE",
    "NONE",
    "NONE",
    "ABS",
    "VARIANCE",
    "STDDEV",
    "AVG",
    "COUNT",
    "MAX",
    "MIN",
    "SUM",
    "NONE",
    "NONE",
    "CAST",
    "USER",
    "%",
    "_",
    "NONE",
    "NONE",
    "\\",
    "NONE",
    "ESCAPE",
    "",
};

int32_t DB_dbms_get_id(void)
{
    return DB_DBMS_ID_INFORMIX;
}

int32_t DB_dbms_get_name(char *name)
{
    if (!name)
        return ZE_NULL_POINTER;
    memcpy(name, S_dbms_name, sizeof(S_dbms_name));
    return ZE_SUCCESS;
}

void DB_dbms_get_rev(char *release, char *date, char *build)
{
    if (release)
        snprintf(release, DB_DBMS_REV_SIZE, "%s", VE_DBMS_RELEASE_TEXT);
    if (date)
        snprintf(date, DB_DBMS_REV_SIZE, "%s", VE_DBMS_BUILD_DATE);
    if (build)
        snprintf(build, DB_DBMS_REV_SIZE, " Build %d", VE_DBMS_BUILD_NUMBER);
}

int32_t DB_dbms_get_function_name(int32_t *count, char ***names)
{
    if (count)
        *count = DB_DBMS_FUNCTION_COUNT;
    if (!names)
        return ZE_INVALID_ARGUMENT;
    *names = nullptr;
    auto **list = static_cast<char **>(calloc(DB_DBMS_FUNCTION_COUNT, sizeof(char *)));
    bool failed = list == nullptr;
    for (int i = 0; !failed && i < DB_DBMS_FUNCTION_COUNT; ++i) {
        list[i] = static_cast<char *>(calloc(DB_DBMS_FUNCTION_NAME_SIZE, 1));
        if (!list[i]) {
            failed = true;
            break;
        }
        snprintf(list[i], DB_DBMS_FUNCTION_NAME_SIZE, "%s", S_function_names[i]);
    }
    if (failed) {
        for (int i = 0; list && i < DB_DBMS_FUNCTION_COUNT; ++i) {
            free(list[i]);
            list[i] = nullptr;
        }
        free(list);
        if (count)
            *count = 0;
        return ZE_OUT_OF_MEMORY;
    }
    *names = list;
    return ZE_SUCCESS;
}

int32_t DB_dbms_get_qualify_rules(int32_t *rules, char *separators)
{
    if (!rules || !separators)
        return ZE_INVALID_ARGUMENT;
    *rules = DB_DBMS_QUALIFY_RULES;
    memcpy(separators, DB_DBMS_QUALIFY_SEPARATORS, sizeof(DB_DBMS_QUALIFY_SEPARATORS));
    return ZE_SUCCESS;
}

void db_get_column_expr_format(char *format)
{
    if (format)
        memcpy(format, " %s", sizeof(" %s"));
}
