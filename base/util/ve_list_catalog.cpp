// Printers of catalogue records: registrations, states and versions.
#include <string.h>

#include "base/util/ve_list_internal.h"
#include "base/util/ve_varlong_internal.h"

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

// Quotes a fixed field that may be full (no terminator).
static const char *S_quoted_field(const char *field, size_t size)
{
    return ves_list_quoted_string(std::string(field, strnlen(field, size)).c_str());
}

#define S_QUOTED(field) S_quoted_field((field), sizeof(field))

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
        fprintf(out, "%sDataBaseName:     %s\n", indent, S_QUOTED(r.database_name));
        fprintf(out, "%sOwner:            %s\n", indent, S_QUOTED(r.owner));
        fprintf(out, "%sTableName:        %s\n", indent, S_QUOTED(r.table_name));
        fprintf(out, "%sRegistration ID:  %d\n", indent, r.registration_id);
        fprintf(out, "%sRowIdColumn:      %s\n", indent, S_QUOTED(r.rowid_column));
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
            fprintf(out, "%sIMVViewName:      %s\n", indent, S_QUOTED(r.imv_view_name));
        }
        fprintf(out, "%sRegistrationDate: %s\n", indent, S_time(r.registration_date, when));
        ves_list_privileges(r.permissions, text);
        fprintf(out, "%sPrivileges:       %s\n", indent, text);
        fprintf(out, "%sConfigKeyword:    %s\n", indent, S_QUOTED(r.config_keyword));
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
    /* The leading value (the body's byte count) is skipped as an id but bounds
     * the ids read after it; the header itself is read within its widest form. */
    int32_t bytes = 0;
    const uint8_t *at =
        ves_varlong_decode(state.lineage, state.lineage + VE_VARLONG_MAX_BYTES, &bytes);
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

void ves_list_loginfo(FILE *out, const LOGFILE *records, int32_t count, const char *indent)
{
    if (out == nullptr || records == nullptr)
        return;
    indent = S_indent(indent);
    for (int32_t i = 0; i < count; ++i) {
        const LOGFILE &l = records[i];
        fprintf(out, "%sLogfile name:          %.*s\n", indent, S_FIELD(l.name));
        fprintf(out, "%sLogfile ID:            %ld\n", indent, static_cast<long>(l.logfile_id));
        fprintf(out, "%sTableOrLayer:          %s\n", indent,
                (l.flags & LOGINFO_LAYER) ? "LAYER" : "TABLE");
        fprintf(out, "%sTable Name:            %.*s\n", indent, S_FIELD(l.table_name));
        fprintf(out, "%sSpatial Column:        %.*s\n", indent, S_FIELD(l.spatial_column));
        fprintf(out, "%sPersistence:           %s\n", indent,
                (l.flags & LOGINFO_PERSISTENT) ? "PERSISTENT" : "TEMPORARY");
        fprintf(out, "%sSession ID:            %ld\n", indent, static_cast<long>(l.session_tag));
    }
}

static const char *S_locator_type(int32_t type)
{
    switch (type) {
    case 0:
        return "VE_LOCATOR_TEMPLATE";
    case 1:
        return "VE_LOCATOR_VALIDATED";
    case 2:
        return "VE_LOCATOR_DEFINED";
    default:
        return "UNKNOWN";
    }
}

void ves_list_locator(FILE *out, const LOCATOR *records, int32_t count, const char *indent)
{
    if (out == nullptr || records == nullptr)
        return;
    indent = S_indent(indent);
    for (int32_t i = 0; i < count; ++i) {
        const LOCATOR &l = records[i];
        fprintf(out, "%sLocator ID:        %d\n", indent, l.locator_id);
        fprintf(out, "%sName:              %s\n", indent, S_quoted_field(l.name, sizeof(l.name)));
        fprintf(out, "%sOwner:             %s\n", indent, S_quoted_field(l.owner, sizeof(l.owner)));
        fprintf(out, "%sCategory           %s\n", indent,
                S_quoted_field(l.category, sizeof(l.category)));
        fprintf(out, "%stype:              %s\n", indent, S_locator_type(l.type));
        fprintf(out, "%sDescription:       %s\n", indent,
                S_quoted_field(l.description, sizeof(l.description)));
        fprintf(out, "%snum_properties:    %d\n\n", indent, l.property_count);
        // A count without its arrays lists no properties rather than reading null.
        if (l.property_names != nullptr && l.property_values != nullptr) {
            for (int32_t p = 0; p < l.property_count; ++p) {
                fprintf(out, "%sProperties:        %s\n", indent,
                        ves_list_quoted_string(l.property_names[p]));
                fprintf(out, "%sValues:            %s\n\n", indent,
                        ves_list_quoted_string(l.property_values[p]));
            }
        }
        if (i + 1 < count)
            fputc('\n', out);
    }
}

void ves_list_rasterband(FILE *out, const RASTERBAND *records, int32_t count, const char *indent)
{
    if (out == nullptr || records == nullptr)
        return;
    indent = S_indent(indent);
    char when[VE_LIST_TIME_SIZE];
    for (int32_t i = 0; i < count; ++i) {
        const RASTERBAND &b = records[i];
        fprintf(out, "%sRasterBand ID:    %d\n", indent, b.rasterband_id);
        fprintf(out, "%sSequenceNumber:   %d\n", indent, b.sequence_nbr);
        fprintf(out, "%sBandWidth:        %d\n", indent, b.band_width);
        fprintf(out, "%sBandHeight:       %d\n", indent, b.band_height);
        fprintf(out, "%sBlockWidth:       %d\n", indent, b.block_width);
        fprintf(out, "%sBlockHeight:      %d\n", indent, b.block_height);
        fprintf(out, "%sRaster ID:        %d\n", indent, b.raster_id);
        fprintf(out, "%sRasterColumn ID:  %d\n", indent, b.rastercolumn_id);
        fprintf(out, "%sCreation Date:    %s\n", indent,
                S_time(static_cast<uint32_t>(b.cdate), when));
        fprintf(out, "%sLast Modified:    %s\n", indent,
                S_time(static_cast<uint32_t>(b.mdate), when));
        if (i + 1 < count)
            fputc('\n', out);
    }
}

void ves_list_raster(FILE *out, const RASTER *record, const char *indent)
{
    if (out == nullptr || record == nullptr)
        return;
    indent = S_indent(indent);
    fprintf(out, "%sRaster ID:        %d\n", indent, record->raster_id);
    fprintf(out, "%sRasterColumn ID:  %d\n", indent, record->rastercolumn_id);
    fprintf(out, "%sDescription:      %s\n\n", indent, S_QUOTED(record->description));
}

void ves_list_raster_constraint(FILE *out, const RASCONSTRAINT *record, const char *indent)
{
    if (out == nullptr || record == nullptr)
        return;
    indent = S_indent(indent);
    fprintf(out, "%sLevel of Detail:  %d\n", indent, record->level);
    fprintf(out, "%sNumber of Bands:  %d\n", indent, record->band_count);
    // A count without its array lists no band numbers rather than reading null.
    if (record->band_numbers != nullptr) {
        for (int32_t i = 0; i < record->band_count; ++i)
            fprintf(out, i == 0 ? "%sBand Number:      %d\n" : "%s                  %d\n", indent,
                    record->band_numbers[i]);
    }
    fprintf(out, "%sMin Column:       %d\n", indent, record->min_column);
    fprintf(out, "%sMin Row:          %d\n", indent, record->min_row);
    fprintf(out, "%sMax Column:       %d\n", indent, record->max_column);
    fprintf(out, "%sMax Row:          %d\n\n", indent, record->max_row);
}

void ves_list_rastercolumn(FILE *out, const RASTERCOLUMN *records, int32_t count,
                           const char *indent)
{
    if (out == nullptr || records == nullptr)
        return;
    indent = S_indent(indent);
    char text[VE_LIST_TEXT_SIZE];
    char when[VE_LIST_TIME_SIZE];
    for (int32_t i = 0; i < count; ++i) {
        const RASTERCOLUMN &c = records[i];
        fprintf(out, "%sDataBaseName:     %s\n", indent, S_QUOTED(c.database_name));
        fprintf(out, "%sOwner:            %s\n", indent, S_QUOTED(c.owner));
        fprintf(out, "%sTableName:        %s\n", indent, S_QUOTED(c.table_name));
        fprintf(out, "%sRasterColumn ID:  %d\n", indent, c.rastercolumn_id);
        fprintf(out, "%sRasterColumnName: %s\n", indent, S_QUOTED(c.raster_column));
        fprintf(out, "%sCreation Date:    %s\n", indent,
                S_time(static_cast<uint32_t>(c.cdate), when));
        ves_list_privileges(static_cast<int32_t>(c.privileges), text);
        fprintf(out, "%sPrivileges:       %s\n", indent, text);
        fprintf(out, "%sConfigKeyword:    %s\n", indent, S_QUOTED(c.config_keyword));
        if (i + 1 < count)
            fputc('\n', out);
    }
}
