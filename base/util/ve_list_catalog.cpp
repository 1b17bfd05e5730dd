// Printers of catalogue records: registrations, states and versions.
#include <string.h>

#include "base/util/ve_list.h"
#include "base/util/ve_varlong.h"

#include <string>

static const char *S_indent(const char *indent)
{
    return indent == nullptr ? "" : indent;
}

static const char *S_time(uint32_t seconds, char *buffer)
{
    ves_list_time(seconds, buffer, VE_LIST_TIME_SIZE, "%c");
    return buffer;
}

// Fixed name fields may arrive full; never read past their end.
#define S_FIELD(field) static_cast<int>(strnlen((field), sizeof(field))), (field)

void ves_list_registration(FILE *out, const REGISTRATION *records, int32_t count,
                           const char *indent)
{
    if (out == nullptr || records == nullptr)
        return;
    indent = S_indent(indent);
    char text[VE_LIST_TEXT_SIZE];
    char when[VE_LIST_TIME_SIZE];
    for (int32_t i = 0; i < count; ++i) {
        const REGISTRATION &r = records[i];
        std::string field;
        field.assign(r.database_name, strnlen(r.database_name, sizeof(r.database_name)));
        fprintf(out, "%sDataBaseName:     %s\n", indent, ves_list_quoted_string(field.c_str()));
        field.assign(r.owner, strnlen(r.owner, sizeof(r.owner)));
        fprintf(out, "%sOwner:            %s\n", indent, ves_list_quoted_string(field.c_str()));
        field.assign(r.table_name, strnlen(r.table_name, sizeof(r.table_name)));
        fprintf(out, "%sTableName:        %s\n", indent, ves_list_quoted_string(field.c_str()));
        fprintf(out, "%sRegistration ID:  %d\n", indent, r.registration_id);
        field.assign(r.rowid_column, strnlen(r.rowid_column, sizeof(r.rowid_column)));
        fprintf(out, "%sRowIdColumn:      %s\n", indent, ves_list_quoted_string(field.c_str()));
        if (r.object_flags & REG_ROWID_COLUMN) {
            fprintf(out, "%sRowIdType:        %s\n", indent,
                    (r.object_flags & REG_ROWID_ENGINE) ? "ZEL Maintained " : "User Maintained ");
            fprintf(out, "%sRow Lock:         %s\n", indent,
                    (r.object_flags & REG_ROW_LOCK) ? "Enable " : "Not Enable ");
            fprintf(out, "%sMinimum_ID:       %d\n", indent, static_cast<int>(r.minimum_id));
        }
        bool view = r.imv_view_name[0] != '\0';
        std::string dependent;
        if (r.object_flags & REG_LAYER)
            dependent = "Layer";
        if (r.object_flags & REG_MULTIVERSION) {
            if (!dependent.empty())
                dependent += ", ";
            dependent += "Multiversion Table";
            if (view)
                dependent += ", IMV View";
        }
        fprintf(out, "%sDependent_Obj:    %s\n", indent,
                dependent.empty() ? "None" : dependent.c_str());
        if ((r.object_flags & REG_MULTIVERSION) && view) {
            field.assign(r.imv_view_name, strnlen(r.imv_view_name, sizeof(r.imv_view_name)));
            fprintf(out, "%sIMVViewName:      %s\n", indent,
                    ves_list_quoted_string(field.c_str()));
        }
        fprintf(out, "%sRegistrationDate: %s\n", indent, S_time(r.registration_date, when));
        ves_list_privileges(r.permissions, text);
        fprintf(out, "%sPrivileges:       %s\n", indent, text);
        field.assign(r.config_keyword, strnlen(r.config_keyword, sizeof(r.config_keyword)));
        fprintf(out, "%sConfigKeyword:    %s\n", indent, ves_list_quoted_string(field.c_str()));
        if (i + 1 < count)
            fputc('\n', out);
    }
}

// The lineage blob: a varLONG byte count, then the ids. The count bounds the
// reading, so a short or damaged blob ends the list instead of overreading.
static void S_list_lineage(FILE *out, const STATE &state, const char *indent)
{
    if (state.lineage == nullptr) {
        fprintf(out, "%sLineage:        <null>\n", indent);
        return;
    }
    fprintf(out, "%sLineage:        ", indent);
    int32_t bytes = 0;
    const uint8_t *at = VES_decode_varLONG(state.lineage, &bytes);
    if (at != nullptr && bytes > 0) {
        const uint8_t *end = at + bytes;
        for (int32_t i = 0; i < state.lineage_length; ++i) {
            int32_t id = 0;
            at = ves_varlong_decode(at, end, &id);
            if (at == nullptr)
                break;
            fprintf(out, i == 0 ? "%d" : ", %d", id);
        }
    }
    fputc('\n', out);
}

void ves_list_state(FILE *out, const STATE *records, int32_t count, const char *indent)
{
    if (out == nullptr || records == nullptr)
        return;
    indent = S_indent(indent);
    char when[VE_LIST_TIME_SIZE];
    for (int32_t i = 0; i < count; ++i) {
        const STATE &s = records[i];
        fprintf(out, "%sState ID:       %d\n", indent, s.state_id);
        fprintf(out, "%sOwner:          %.*s\n", indent, S_FIELD(s.owner));
        fprintf(out, "%sStatus:         %s\n", indent, s.closing_time != 0 ? "Closed" : "Open");
        fprintf(out, "%sCreationTime:   %s\n", indent, S_time(s.creation_time, when));
        if (s.closing_time != 0)
            fprintf(out, "%sClosingTime:    %s\n", indent, S_time(s.closing_time, when));
        fprintf(out, "%sLineageLength:  %d\n", indent, s.lineage_length);
        S_list_lineage(out, s, indent);
    }
}

void ves_list_version(FILE *out, const VERSION *records, int32_t count, const char *indent)
{
    if (out == nullptr || records == nullptr)
        return;
    indent = S_indent(indent);
    char when[VE_LIST_TIME_SIZE];
    for (int32_t i = 0; i < count; ++i) {
        const VERSION &v = records[i];
        const char *status = (v.status & VERSION_PUBLIC)      ? "Public"
                             : (v.status & VERSION_PROTECTED) ? "Protected"
                                                              : "Private";
        fprintf(out, "%sName:           %.*s\n", indent, S_FIELD(v.name));
        fprintf(out, "%sOwner:          %.*s\n", indent, S_FIELD(v.owner));
        fprintf(out, "%sVersion ID:     %d\n", indent, v.version_id);
        fprintf(out, "%sStatus:         %s\n", indent, status);
        fprintf(out, "%sState ID:       %d\n", indent, v.state_id);
        fprintf(out, "%sDescription:    %.*s\n", indent, S_FIELD(v.description));
        fprintf(out, "%sParent Name:    %.*s\n", indent, S_FIELD(v.parent_name));
        fprintf(out, "%sParent Owner:   %.*s\n", indent, S_FIELD(v.parent_owner));
        fprintf(out, "%sParent Version ID:%d\n", indent, v.parent_version_id);
        fprintf(out, "%sCreation Time:  %s\n", indent, S_time(v.creation_time, when));
    }
}
