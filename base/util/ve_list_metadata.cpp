// Printers of metadata records and index definitions for the intercept trace.
// The records are laid out in ve_metadata.h and ve_index_def.h.
#include <string.h>

#include "base/util/ve_list_internal.h"

#define S_QUOTED(field) ves_list_quoted_field((field), sizeof(field))

void ves_list_metadata(FILE *out, const METADATA *records, int32_t count, const char *indent)
{
    if (out == nullptr || records == nullptr)
        return;
    indent = ves_list_indent_text(indent);
    char when[VE_LIST_TIME_SIZE];
    for (int32_t i = 0; i < count; ++i) {
        const METADATA &m = records[i];
        fprintf(out, "%sRecord ID:        %d\n", indent, m.record_id);
        fprintf(out, "%sObjectName:       %s\n", indent, S_QUOTED(m.object_name));
        fprintf(out, "%sObjectOwner:      %s\n", indent, S_QUOTED(m.object_owner));
        fprintf(out, "%sObjectType:       %d\n", indent, m.object_type);
        fprintf(out, "%sClassName:        %s\n", indent, S_QUOTED(m.class_name));
        fprintf(out, "%sProperty:         %s\n", indent, S_QUOTED(m.property));
        fprintf(out, "%sValue:            %s\n", indent, S_QUOTED(m.prop_value));
        fprintf(out, "%sDescription:      %s\n", indent, S_QUOTED(m.description));
        fprintf(out, "%sDate modified:    %s\n", indent, ves_list_time_text(m.creation_date, when));
        if (i + 1 < count)
            fputc('\n', out);
    }
}

// Columns an index definition really lists: its count, within the room of its
// arrays, and none without them.
static int32_t S_columns(const DB_INDEX_DEF &d)
{
    if (d.column_count <= 0)
        return 0;
    return d.column_count < DB_INDEX_MAX_COLUMNS ? d.column_count : DB_INDEX_MAX_COLUMNS;
}

void ves_list_index_defs(FILE *out, int32_t count, const DB_INDEX_DEF *records, const char *indent)
{
    if (out == nullptr || records == nullptr)
        return;
    indent = ves_list_indent_text(indent);
    for (int32_t i = 0; i < count; ++i) {
        const DB_INDEX_DEF &d = records[i];
        int32_t columns = S_columns(d);
        fprintf(out, "%sINDEX :%.*s\n", indent, VES_LIST_FIELD(d.index_name));
        fprintf(out, "%s%sColumns : ", indent, indent);
        for (int32_t c = 0; d.column_names != nullptr && c < columns; ++c) {
            const char *name = d.column_names[c] != nullptr ? d.column_names[c] : "";
            fprintf(out, c == 0 ? "%.*s" : ",%.*s",
                    static_cast<int>(strnlen(name, DB_INDEX_COLUMN_NAME_SIZE)), name);
        }
        fputc('\n', out);
        fprintf(out, "%s%sUnique: %s\n", indent, indent, d.unique ? "TRUE" : "FALSE");
        fprintf(out, "%s%sAscending: ", indent, indent);
        for (int32_t c = 0; d.column_order != nullptr && c < columns; ++c)
            fprintf(out, c == 0 ? "%s" : ",%s",
                    d.column_order[c] == DB_INDEX_ASCENDING ? "TRUE" : "FALSE");
        fputc('\n', out);
    }
}
