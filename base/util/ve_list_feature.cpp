// Printers of features, shapes and spatial filters for the intercept trace.
// A shape is read through the geometry module's getters (mox/mox.h); the
// compressed buffer of a feature is laid out in ve_compress.h.
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/util/ve_compress.h"
#include "base/util/ve_list_internal.h"
#include "mox/mox.h"

// Most bytes of a compressed buffer a brief listing shows.
#define S_BRIEF_BYTES 25

void ves_list_feature_brief(FILE *out, const FEATURE_STRUCT *feature, const char *indent)
{
    char deeper[VE_LIST_TEXT_SIZE];
    if (!ves_list_begin(out, feature, &indent, deeper))
        return;
    fprintf(out, "%sFeature ID:     %ld\n", indent, static_cast<long>(feature->feature_id));
    fprintf(out, "%sNumOfPts:       %ld\n", indent, static_cast<long>(feature->num_points));
    fprintf(out, "%sEntity:         %s\n", indent, ves_list_entity_name(feature->entity_type));
    fprintf(out, "%sBuffer:\n", indent);
    // A header that cannot be read (or claims more than the buffer holds)
    // shows the buffer's bytes up to its capacity instead.
    int32_t length = VES_get_compressed_buffer_size(feature);
    if (length < 0)
        length = feature->compressed_capacity > 0 ? feature->compressed_capacity : 0;
    ves_list_buffer_hex(out, feature->compressed, length, S_BRIEF_BYTES, deeper);
    if (VES_comp_feature_has_anno(feature) == 1)
        fprintf(out, "%sAnno Text:      %s\n", indent,
                ves_list_quoted_field(feature->anno->text, sizeof(feature->anno->text)));
}

// The point arrays of a shape as the geometry module hands them out.
struct S_Points {
    double *xy = nullptr;
    double *z = nullptr;
    double *m = nullptr;
    int32_t *parts = nullptr;
    ~S_Points()
    {
        free(xy);
        free(z);
        free(m);
        free(parts);
    }
};

// Room for n items (at least one, so an empty shape is not taken for a failure).
template <typename T> static T *S_array(size_t n)
{
    return static_cast<T *>(malloc((n > 0 ? n : 1) * sizeof(T)));
}

// Allocates what the shape has; prints the message of the first failure.
static bool S_alloc_points(FILE *out, S_Points &p, int32_t points, int32_t parts, bool z, bool m)
{
    size_t n = static_cast<size_t>(points);
    if ((p.xy = S_array<double>(2 * n)) == nullptr) {
        fprintf(out, "Error: Fail to allocate points array\n");
        return false;
    }
    if (z && (p.z = S_array<double>(n)) == nullptr) {
        fprintf(out, "Error: Fail to allocate Z coordinates array\n");
        return false;
    }
    if (m && (p.m = S_array<double>(n)) == nullptr) {
        fprintf(out, "Error: Fail to allocate measure values array\n");
        return false;
    }
    if ((p.parts = S_array<int32_t>(static_cast<size_t>(parts))) == nullptr) {
        fprintf(out, "Error: Fail to allocate parts offset array\n");
        return false;
    }
    return true;
}

// The point table: number, X, Y, Z and measure when present, and the
// straight-line distance from the point before (parts are not looked at).
static void S_point_table(FILE *out, const S_Points &p, int32_t points, bool z, bool m)
{
    std::string rule = "------------------------------------------------";
    if (z)
        rule += "---------------";
    if (m)
        rule += "---------------";
    rule += "---------------";
    fprintf(out, "%s\n", rule.c_str());
    fprintf(out, "Point          X                Y               %s%s2D Distance \n",
            z ? "Z              " : "", m ? "M              " : "");
    fprintf(out, "%s\n", rule.c_str());
    for (size_t i = 0; i < static_cast<size_t>(points); ++i) {
        double x = p.xy[2 * i];
        double y = p.xy[2 * i + 1];
        fprintf(out, "%5u  %15.5f  %15.5f", static_cast<unsigned>(i + 1), x, y);
        if (z)
            fprintf(out, "  %15.5f", p.z[i]);
        if (m)
            fprintf(out, "  %15.5f", p.m[i]);
        if (i > 0)
            fprintf(out, "  %15.3f", hypot(x - p.xy[2 * i - 2], y - p.xy[2 * i - 1]));
        fputc('\n', out);
    }
    fputc('\n', out);
}

void ves_list_shape(FILE *out, FEATURE_STRUCT *shape, const char *indent)
{
    if (out == nullptr || shape == nullptr || MoxsShapeSetActive(shape) != 0)
        return;
    // The module reads num_points entries of every array: a count beyond the
    // arrays' room would read past them.
    if (shape->num_points > shape->allocated_points) {
        fprintf(out, "Cannot get the number of points for the feature\n");
        return;
    }
    indent = ves_list_indent_text(indent);
    char deeper[VE_LIST_TEXT_SIZE];
    ves_list_indent(indent, deeper, 2);
    bool z = MoxShapeIs3D(shape) != 0;
    bool m = MoxShapeIsMeasured(shape) != 0;
    int32_t parts = 0;
    int32_t rc = MoxShapeGetNumParts(shape, &parts);
    if (rc != 0) {
        fprintf(out, "Error (%d): Cannot get the number of parts for the feature\n", rc);
        return;
    }
    int32_t points = 0;
    if (MoxShapeGetNumPoints(shape, &points) != 0 || points < 0) {
        fprintf(out, "Cannot get the number of points for the feature\n");
        return;
    }
    VE_ENVELOPE extent;
    if (MoxShapeGetExtent(shape, &extent) != 0)
        return;
    fprintf(out, "%sFeature Number:        %ld\n", indent, static_cast<long>(shape->feature_id));
    fprintf(out, "%sFeature Entity Type:   %s\n", indent, ves_list_entity_name(shape->entity_type));
    fprintf(out, "%sNumber of Points:      %ld\n", indent, static_cast<long>(points));
    fprintf(out, "%sFeature Envelope:\n", indent);
    ves_list_envelope(out, &extent, deeper);
    double low = 0.0;
    double high = 0.0;
    if (z) {
        if (MoxShapeGetZRange(shape, &low, &high) != 0) {
            fprintf(out, "Cannot get the Z coordinate value\n");
            return;
        }
        ves_list_range(out, low, high, "Z", deeper);
    }
    if (m) {
        if (MoxShapeGetMRange(shape, &low, &high) != 0) {
            fprintf(out, "Cannot get the measure value\n");
            return;
        }
        ves_list_range(out, low, high, "M", deeper);
    }
    double length = 0.0;
    if (MoxShapeGetLength(shape, &length) != 0) {
        fprintf(out, "Cannot get the length or perimeter\n");
        return;
    }
    int kind = shape->entity_type & 0xFF;
    if (kind == VE_ENTITY_AREA) {
        double area = 0.0;
        if (MoxShapeGetArea(shape, &area) != 0) {
            fprintf(out, "Cannot get the area of the feature\n");
            return;
        }
        fprintf(out, "%sPolygon Perimeter:     %15.5f\n", indent, length);
        fprintf(out, "%sPolygon Area:          %15.5f\n", indent, area);
    } else if (kind == VE_ENTITY_LINE || kind == VE_ENTITY_SIMPLE_LINE) {
        fprintf(out, "%sLine Length:           %15.5f\n", indent, length);
    }
    S_Points p;
    if (!S_alloc_points(out, p, points, parts < 0 ? 0 : parts, z, m))
        return;
    if (MoxShapeGetAllPoints(shape, p.parts, p.xy, p.z, p.m) != 0) {
        fprintf(out, "Fail to get points\n");
        return;
    }
    S_point_table(out, p, points, z, m);
}

const char *ves_list_search_method_name(int32_t method)
{
    static const char *const s_names[] = {"SM_ENVP",
                                          "SM_ENVP_BY_GRID",
                                          "SM_CP",
                                          "SM_LCROSS",
                                          "SM_COMMON",
                                          "SM_CP_OR_LCROSS",
                                          "SM_ET_OR_AI or SM_ET_OR_II",
                                          "SM_AI or SM_II",
                                          "SM_AI_NO_ET or SM_II_NO_ET",
                                          "SM_PC",
                                          "SM_SC",
                                          "SM_PC_NO_ET",
                                          "SM_SC_NO_ET",
                                          "SM_PIP",
                                          "",
                                          "SM_IDENTICAL",
                                          "SM_CBM"};
    if (method < 0 || method >= static_cast<int32_t>(sizeof(s_names) / sizeof(s_names[0])))
        return "UNKNOWN";
    return s_names[method];
}

void ves_list_filters(FILE *out, const VE_FILTER *records, int32_t count, const char *indent)
{
    char deeper[VE_LIST_TEXT_SIZE];
    if (!ves_list_begin(out, records, &indent, deeper))
        return;
    for (int32_t i = 0; i < count; ++i) {
        const VE_FILTER &f = records[i];
        fprintf(out, "%sTable:        %.*s\n", indent, VES_LIST_FIELD(f.table_name));
        fprintf(out, "%sColumn:       %.*s\n", indent, VES_LIST_FIELD(f.column_name));
        fprintf(out, "%sSearchMethod: %s\n", indent, ves_list_search_method_name(f.search_method));
        fprintf(out, "%sTruth:        Must%sPass\n", indent, f.truth ? " " : "NOT");
        if (f.filter_type == VE_SHAPE_FILTER) {
            fprintf(out, "%sFilterType:   VE_SHAPE_FILTER\n", indent);
            fprintf(out, "%sFilterShape:\n", deeper);
            ves_list_shape(out, f.shape, deeper);
        } else if (f.filter_type == VE_ID_FILTER) {
            fprintf(out, "%sFilterType:   VE_ID_FILTER\n", indent);
            fprintf(out, "%sFilterID:     %ld\n", deeper, static_cast<long>(f.id));
            fprintf(out, "%sFilterTable:  %.*s\n", deeper, VES_LIST_FIELD(f.filter_table));
        }
        if (f.search_method == SM_CBM) {
            fprintf(out, "%sCBM Object:   [", indent);
            // The pattern lives in a slot of its own size; never read beyond it.
            size_t n = f.relation != nullptr ? strnlen(f.relation, VE_FILTER_RELATION_LEN) : 0;
            for (size_t c = 0; c < n; ++c)
                fprintf(out, c == 0 ? "%d" : ",%d", static_cast<unsigned char>(f.relation[c]));
            fprintf(out, "]\n");
        }
    }
}
