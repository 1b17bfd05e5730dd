// Printers of coordinate references, layers and spatial references for the
// intercept trace. The coordinate reference is read through the geometry
// module's getters (mox/mox.h); the records are laid out in ve_layer.h and
// ve_spatialref.h.
#include <string.h>

#include <string>

#include "base/util/ve_list_internal.h"
#include "mox/mox.h"

// A number in the given format with its trailing zeros cut, keeping the digit
// right after the decimal point (100.000000 becomes 100.0).
static std::string S_trimmed(const char *format, double value)
{
    char text[512];
    snprintf(text, sizeof(text), format, value);
    std::string s = text;
    size_t point = s.find('.');
    if (point == std::string::npos)
        return s;
    size_t last = s.find_last_not_of('0');
    if (last < point + 1)
        last = point + 1;
    s.erase(last + 1);
    return s;
}

static void S_list_xy(FILE *out, const COORDREF *coordref, const char *indent)
{
    double falsex = 0.0;
    double falsey = 0.0;
    double units = 0.0;
    if (MoxCoordRefGetXY(coordref, &falsex, &falsey, &units) != 0) {
        fprintf(out, "%sXY False Origin:       <None>\n", indent);
        fprintf(out, "%sXY System Units:       <None>\n", indent);
        fprintf(out, "%sXY Half SysUnit:       <None>\n", indent);
        fprintf(out, "%sXY Round:              <None>\n", indent);
        return;
    }
    fprintf(out, "%sXY False Origin:       %s, %s\n", indent, S_trimmed("%.6lf", falsex).c_str(),
            S_trimmed("%.6lf", falsey).c_str());
    fprintf(out, "%sXY System Units:       %s\n", indent, S_trimmed("%.6lf", units).c_str());
    fprintf(out, "%sXY Half SysUnit:       %s\n", indent,
            S_trimmed("%.9f", coordref->xy_half_unit).c_str());
    fprintf(out, "%sXY Round:              %s\n", indent,
            S_trimmed("%.9f", coordref->xy_rounding).c_str());
}

// The four lines of the Z or measure axis; labels are padded to one column.
static void S_list_axis(FILE *out, int32_t status, const char *const labels[4],
                        const double values[4], const char *indent)
{
    for (int i = 0; i < 4; ++i) {
        if (status != 0)
            fprintf(out, "%s%s<None>\n", indent, labels[i]);
        else
            fprintf(out, i < 2 ? "%s%s%.6lf\n" : "%s%s%.9f\n", indent, labels[i], values[i]);
    }
}

void ves_list_coordref(FILE *out, const COORDREF *coordref, const char *indent)
{
    if (out == nullptr || coordref == nullptr)
        return;
    indent = ves_list_indent_text(indent);
    S_list_xy(out, coordref, indent);

    static const char *const s_z[4] = {"Z  Offset:             ", "Z  Units:              ",
                                       "Z  Half SysUnit:       ", "Z  Round:              "};
    double z[4] = {0.0, 0.0, coordref->z_half_unit, coordref->z_rounding};
    S_list_axis(out, MoxCoordRefGetZ(coordref, &z[0], &z[1]), s_z, z, indent);

    static const char *const s_m[4] = {"Measure Offset:        ", "Measure Units:         ",
                                       "Measure Half SysUnit:  ", "Measure Round:         "};
    double m[4] = {0.0, 0.0, coordref->m_half_unit, coordref->m_rounding};
    S_list_axis(out, MoxCoordRefGetM(coordref, &m[0], &m[1]), s_m, m, indent);

    int32_t id = 0;
    MoxCoordRefGetId(coordref, &id);
    fprintf(out, "%sCoordinate System ID:  %ld\n", indent, static_cast<long>(id));
    if (coordref->srtext != nullptr && coordref->srtext[0] != '\0') {
        fprintf(out, "%sCoordinate System:     \"%s\"\n", indent, coordref->srtext);
    } else {
        char description[1024] = "";
        MoxCoordRefGetDescription(coordref, description, static_cast<int32_t>(sizeof(description)));
        fprintf(out, "%sCoordinate System:     \"%s\"\n", indent, description);
    }
    int32_t srid = 0;
    MoxCoordRefGetSrId(coordref, &srid);
    fprintf(out, "%sSpatial Reference ID:  %ld\n", indent, static_cast<long>(srid));
}

// The three grid sizes, 10 columns each, without the blanks before the first.
static std::string S_grid_sizes(const double grid[3])
{
    char text[256];
    snprintf(text, sizeof(text), "%*.*g, %*.*g, %*.*g", 10, 15, grid[0], 10, 15, grid[1], 10, 15,
             grid[2]);
    const char *start = text;
    while (*start == ' ')
        ++start;
    return start;
}

void ves_list_layer_info(FILE *out, const LAYER *records, int32_t count, const char *indent)
{
    char deeper[VE_LIST_TEXT_SIZE];
    if (!ves_list_begin(out, records, &indent, deeper))
        return;
    char text[VE_LIST_TEXT_SIZE];
    char when[VE_LIST_TIME_SIZE];
    for (int32_t i = 0; i < count; ++i) {
        const LAYER &l = records[i];
        fprintf(out, "%sLayer ID:              %ld\n", indent, static_cast<long>(l.layer_id));
        fprintf(out, "%sDescription:           %.*s\n", indent, VES_LIST_FIELD(l.description));
        fprintf(out, "%sDB name:               %.*s\n", indent, VES_LIST_FIELD(l.database_name));
        fprintf(out, "%sTable Owner:           %.*s\n", indent, VES_LIST_FIELD(l.owner));
        fprintf(out, "%sTable Name:            %.*s\n", indent, VES_LIST_FIELD(l.table_name));
        fprintf(out, "%sSpatial Column Name:   %.*s\n", indent, VES_LIST_FIELD(l.spatial_column));
        fprintf(out, "%sMinimum Shape ID:      %ld\n", indent, static_cast<long>(l.minimum_id));
        fprintf(out, "%sOptimal Array Size:    %ld\n", indent,
                static_cast<long>(l.optimal_array_size));
        fprintf(out, "%sGrid Size 0, 1, 2:     %s\n", indent, S_grid_sizes(l.grid_size).c_str());
        ves_list_entity_letters(l.eflags, text);
        fprintf(out, "%sEntity Type:           %s\n", indent, text);
        ves_list_storage_kinds(l.eflags, text);
        fprintf(out, "%sStorage Type:          %s\n", indent, text);
        fprintf(out, "%sCreation Date:         %s\n", indent,
                ves_list_time_text(static_cast<uint32_t>(l.cdate), when));
        fprintf(out, "%sI/O Mode:              %s\n", indent,
                (l.eflags & LAYER_LOAD_ONLY) ? "LOAD-ONLY" : "NORMAL");
        fprintf(out, "%sLayer Config. Keyword: %.*s\n", indent, VES_LIST_FIELD(l.layer_config));
        ves_list_privileges(static_cast<int32_t>(l.privileges), text);
        fprintf(out, "%sUser Privileges:       %s\n", indent, text);
        if (l.stats_date != 0)
            fprintf(out, "%sStats Date:            %s\n", indent,
                    ves_list_time_text(static_cast<uint32_t>(l.stats_date), when));
        fprintf(out, "%sLayer Envelope:\n", indent);
        VE_ENVELOPE extent = {l.minx, l.miny, l.maxx, l.maxy};
        ves_list_envelope(out, &extent, deeper);
        fprintf(out, "%sCoordRef:\n", indent);
        ves_list_coordref(out, l.coordref, deeper);
    }
}

void ves_list_spatialref(FILE *out, const VE_SPATIALREF *records, int32_t count, const char *indent)
{
    char deeper[VE_LIST_TEXT_SIZE];
    if (!ves_list_begin(out, records, &indent, deeper))
        return;
    for (int32_t i = 0; i < count; ++i) {
        const VE_SPATIALREF &r = records[i];
        fprintf(out, "%sSpatial Ref ID:        %ld\n", indent, static_cast<long>(r.srid));
        fprintf(out, "%sDescription:           %.*s\n", indent, VES_LIST_FIELD(r.description));
        fprintf(out, "%sAuthority Name:        %.*s\n", indent, VES_LIST_FIELD(r.auth_name));
        fprintf(out, "%sAuthority SRID:        %ld\n", indent, static_cast<long>(r.auth_srid));
        fprintf(out, "%sCoordRef:\n", indent);
        ves_list_coordref(out, r.coordref, deeper);
    }
}
