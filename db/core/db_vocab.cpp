// SQL vocabulary: shape attribute functions, reserved words and the constant
// answers of entry points this DBMS has no use for.
#include "db/core/db_vocab_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/util/zel_errors.h"

static const char *const S_shape_attrs[DB_SHAPE_ATTR_COUNT] = {
    "ST_NumPoints", "VE_ZelEntity", "VE_Xmin", "VE_Xmax", "VE_Ymin",   "VE_Ymax",      "VE_Zmin",
    "VE_Zmax",      "VE_Mmin",      "VE_Mmax", "VE_Area", "VE_Length", "VE_Anno_Text", "VE_ROW_ID",
};

// The spellings "CONECT", "NUMERER", "PLI" and "PCTREE" are what clients have
// always been given; they stay as they are.
static const char *const S_reserved[DB_RESERVED_KEYWORD_COUNT] = {
    "ACCESS",    "ADD",      "ALL",       "ALTER",      "AND",      "ANY",        "AS",
    "ASC",       "AUDIT",    "AVG",       "BETWEEN",    "BY",       "CHAR",       "CHARACTER",
    "CHECK",     "CLUSTER",  "COLUMN",    "COMMENT",    "COMPRESS", "CONECT",     "CREATE",
    "CURRENT",   "DATE",     "DECIMAL",   "DEFAULT",    "DELETE",   "DESC",       "DISTINCT",
    "DROP",      "ELSE",     "EXCLUSIVE", "EXEC",       "EXISTS",   "FETCH",      "FILE",
    "FLOAT",     "FOR",      "FROM",      "GRANT",      "GROUP",    "HAVING",     "IDENTIFIED",
    "IMMEDIATE", "IN",       "INCREMENT", "INDEX",      "INITIAL",  "INSERT",     "INTEGER",
    "INTERSECT", "INTO",     "IS",        "LEVEL",      "LIKE",     "LOCK",       "LONG",
    "MAXEXTENT", "MINUS",    "MODE",      "MODIFY",     "NOAUDIT",  "NOCOMPRESS", "NOT",
    "NOWAIT",    "NULL",     "NUMERER",   "OF",         "OFFLINE",  "ON",         "ONLINE",
    "OPTION",    "OR",       "ORDER",     "PLI",        "PCTREE",   "PRIOR",      "PRIVILEGES",
    "PUBLIC",    "RAW",      "RENAME",    "RESOURCE",   "REVOKE",   "ROW",        "ROWID",
    "ROWLABEL",  "ROWNUM",   "ROWS",      "SELECT",     "SESSION",  "SET",        "SHARE",
    "SIZE",      "SMALLINT", "START",     "SUCCESSFUL", "SYNONYM",  "SYSDATE",    "TABLE",
    "THEN",      "TO",       "TRIGGER",   "UID",        "UNION",    "UNIQUE",     "UPDATE",
    "USER",      "VALIDATE", "VALUES",    "VARCHAR",    "VARCHAR2", "VIEW",       "WHENEVER",
    "WHERE",     "WITH",
};

int32_t DB_dbms_shape_attr_name(int32_t *flags, int32_t *count, DB_SHAPE_ATTR_NAME **names)
{
    if (flags)
        *flags = 0;
    if (count)
        *count = 0;
    if (!names)
        return ZE_OUT_OF_MEMORY;
    auto *list =
        static_cast<DB_SHAPE_ATTR_NAME *>(calloc(DB_SHAPE_ATTR_COUNT, sizeof(DB_SHAPE_ATTR_NAME)));
    if (!list) {
        *names = nullptr;
        return ZE_OUT_OF_MEMORY;
    }
    for (int i = 0; i < DB_SHAPE_ATTR_COUNT - 1; ++i)
        snprintf(list[i], sizeof(list[i]), "%s(%%s)", S_shape_attrs[i]);
    snprintf(list[DB_SHAPE_ATTR_COUNT - 1], sizeof(list[0]), "%s",
             S_shape_attrs[DB_SHAPE_ATTR_COUNT - 1]);
    *names = list;
    if (count)
        *count = DB_SHAPE_ATTR_COUNT;
    return ZE_SUCCESS;
}

int32_t DB_dbms_get_reserved_keyword_list(int32_t *count, char ***words)
{
    if (!count || !words)
        return ZE_INVALID_ARGUMENT;
    *count = 0;
    *words = nullptr;
    auto **list = static_cast<char **>(calloc(DB_RESERVED_KEYWORD_COUNT, sizeof(char *)));
    if (!list)
        return ZE_OUT_OF_MEMORY;
    for (int i = 0; i < DB_RESERVED_KEYWORD_COUNT; ++i) {
        list[i] = static_cast<char *>(calloc(DB_RESERVED_KEYWORD_SIZE, 1));
        if (!list[i]) {
            for (int j = 0; j < i; ++j)
                free(list[j]);
            free(list);
            return ZE_OUT_OF_MEMORY;
        }
        snprintf(list[i], DB_RESERVED_KEYWORD_SIZE, "%s", S_reserved[i]);
    }
    *count = DB_RESERVED_KEYWORD_COUNT;
    *words = list;
    return ZE_SUCCESS;
}

int32_t DB_dbms_get_properties(void)
{
    return DB_DBMS_PROPERTIES;
}
int32_t DB_dbms_is_case_sensitive(void)
{
    return 0;
}

int32_t DB_dbms_get_nlsenv(char *name)
{
    if (!name)
        return ZE_NULL_POINTER;
    memcpy(name, "NLS_LANG", sizeof("NLS_LANG"));
    return ZE_SUCCESS;
}

int32_t DB_dbms_shape_attr_name_resolve(void)
{
    return ZE_NOT_SUPPORTED;
}
int32_t DB_update_sdodim_table(void)
{
    return ZE_SUCCESS;
}
int32_t DB_convert_binary_layer(void)
{
    return ZE_SUCCESS;
}
int32_t DB_convert_binary_table(void)
{
    return ZE_SUCCESS;
}
int32_t DB_initialize_new_thread(void)
{
    return ZE_SUCCESS;
}
int32_t DB_sqltype_create_index(void)
{
    return ZE_SUCCESS;
}

const char *db_skip_qualifier(const char *name)
{
    if (!name)
        return name;
    const char *point = strrchr(name, '.');
    return point ? point + 1 : name;
}
