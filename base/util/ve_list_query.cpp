// Printers of column tables, the release record and query descriptions for
// the intercept trace. The records are laid out in db_column_def.h,
// ve_release.h and ve_queryinfo.h.
#include <string.h>

#include "base/util/ve_list_internal.h"

const char *ves_list_column_type_name(int32_t type)
{
    switch (type) {
    case VE_SMALLINT:
        return "VE_SMALLINT";
    case VE_INTEGER:
        return "VE_INTEGER";
    case VE_FLOAT:
        return "VE_FLOAT";
    case VE_DOUBLE:
        return "VE_DOUBLE";
    case VE_STRING:
        return "VE_STRING";
    case VE_BLOB:
        return "VE_BLOB";
    case VE_DATE_TYPE:
        return "VE_DATE";
    case VE_SHAPE:
        return "VE_SHAPE";
    case VE_POINT:
        return "VE_POINT";
    case VE_CURVE:
        return "VE_CURVE";
    case VE_LINESTRING:
        return "VE_LINESTRING";
    case VE_SURFACE:
        return "VE_SURFACE";
    case VE_POLYGON:
        return "VE_POLYGON";
    case VE_GEOMETRYCOLLECTION:
        return "VE_GEOMETRYCOLLECTION";
    case VE_MULTISURFACE:
        return "VE_MULTISURFACE";
    case VE_MULTICURVE:
        return "VE_MULTICURVE";
    case VE_MULTIPOINT:
        return "VE_MULTIPOINT";
    case VE_MULTILINESTRING:
        return "VE_MULTILINESTRING";
    case VE_MULTIPOLYGON:
        return "VE_MULTIPOLYGON";
    case VE_GEOMETRY:
        return "VE_GEOMETRY";
    default:
        return "UNKNOWN";
    }
}

static const char *S_rowid_kind(int32_t kind)
{
    switch (kind) {
    case DB_ROWID_ENGINE:
        return "ZEL ";
    case DB_ROWID_USER:
        return "USER";
    case DB_ROWID_NONE:
        return "    ";
    default:
        return " ? ";
    }
}

void ves_list_column_defs(FILE *out, int32_t count, const DB_COLUMN_DEF *records,
                          const char *indent)
{
    if (out == nullptr || records == nullptr || count <= 0)
        return;
    indent = ves_list_indent_text(indent);
    static const char s_rule[] =
        "-------------------------------- ----------- ----- ---- -------- -----";
    fprintf(out, "%sName                                 Type    Width nDec  NULL?   RowID\n",
            indent);
    fprintf(out, "%s%s\n", indent, s_rule);
    for (int32_t i = 0; i < count; ++i) {
        const DB_COLUMN_DEF &c = records[i];
        fprintf(out, "%s%-32.*s %-11s%6ld%4d  %8s  %s\n", indent, VES_LIST_FIELD(c.name),
                ves_list_column_type_name(c.type), static_cast<long>(c.size), c.decimal_digits,
                c.nulls_allowed ? "NULL" : "NOT NULL", S_rowid_kind(c.rowid_kind));
    }
    fprintf(out, "%s%s\n", indent, s_rule);
}

void ves_list_column_types(FILE *out, int32_t count, const VE_INPUT_DESC *records,
                           const char *indent)
{
    if (out == nullptr || records == nullptr || count <= 0)
        return;
    indent = ves_list_indent_text(indent);
    fprintf(out, "%s   Type    Width \n", indent);
    fprintf(out, "%s----------- ----- \n", indent);
    for (int32_t i = 0; i < count; ++i)
        fprintf(out, "%s %-11s%6ld  \n", indent, ves_list_column_type_name(records[i].type),
                static_cast<long>(records[i].width));
    fprintf(out, "%s----------- ----- \n", indent);
}

void ves_list_release(FILE *out, const RELEASE *record, const char *indent)
{
    if (out == nullptr || record == nullptr)
        return;
    indent = ves_list_indent_text(indent);
    fprintf(out, "%sRelease_Ver:  %d.%d.%d\t%d\n", indent, record->major, record->minor,
            record->bugfix, record->release);
    fprintf(out, "%sDescription:  %s\n", indent,
            ves_list_quoted_field(record->description, sizeof(record->description)));
}

// Texts of a string array joined by ", "; a count without its array, and
// null entries, add nothing.
static void S_joined(FILE *out, char *const *texts, int32_t count)
{
    bool first = true;
    for (int32_t i = 0; texts != nullptr && i < count; ++i) {
        if (texts[i] == nullptr)
            continue;
        fprintf(out, first ? "%s" : ", %s", texts[i]);
        first = false;
    }
    fputc('\n', out);
}

void ves_list_sql_construct(FILE *out, const VE_SQL_CONSTRUCT *record, const char *indent)
{
    if (out == nullptr || record == nullptr)
        return;
    indent = ves_list_indent_text(indent);
    fprintf(out, "%sSQL_Construct: [%d]\n", indent, record->num_tables);
    fprintf(out, "%sTables:        ", indent);
    S_joined(out, record->tables, record->num_tables);
    fprintf(out, "%sWhereClause:   %s\n", indent, ves_list_quoted_string(record->where));
}

void ves_list_queryinfo(FILE *out, const VE_QUERYINFO *record, const char *indent)
{
    if (out == nullptr || record == nullptr)
        return;
    indent = ves_list_indent_text(indent);
    fprintf(out, "%sNum Columns:   %d\n", indent, record->num_columns);
    fprintf(out, "%sColumns:       ", indent);
    S_joined(out, record->columns, record->num_columns);
    ves_list_sql_construct(out, record->construct, indent);
    fprintf(out, "%sQuery Type:    %d\n", indent, record->query_type);
    fprintf(out, "%sByClause: %s\n", indent, ves_list_quoted_string(record->by_clause));
    fprintf(out, "%sNum Hints:     %d\n", indent, record->num_hints);
    fprintf(out, "%sHints:         ", indent);
    S_joined(out, record->hints, record->num_hints);
    fprintf(out, "%sLogfile:       %s\n", indent, ves_list_quoted_string(record->logfile));
}
