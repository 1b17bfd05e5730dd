// Printers of statistics and lock records for the intercept trace: the
// spatial-index statistics (as a listing and as a report), the feature
// statistics of a layer, and the lock lists of an instance. The records are
// laid out in ve_stats.h and ve_locks.h.
#include <string.h>

#include "base/util/ve_list_internal.h"

void ves_list_spatial_index_stats(FILE *out, const VE_SPIDX_STATS *record, const char *indent)
{
    char deeper[VE_LIST_TEXT_SIZE];
    if (!ves_list_begin(out, record, &indent, deeper))
        return;
    fprintf(out, "%sTable:        %.*s\n", indent, VES_LIST_FIELD(record->table_name));
    fprintf(out, "%sColumn:       %.*s\n", indent, VES_LIST_FIELD(record->column_name));
    fprintf(out, "%snSpIdxGrids:  %ld\n", indent, static_cast<long>(record->num_grids));
    for (unsigned level = 0; level < VE_SPIDX_LEVELS; ++level) {
        const VE_GRID_STATS &g = record->levels[level];
        fprintf(out, "%sLevel:        %1u\n", indent, level + 1);
        fprintf(out, "%sIndexRecords: %ld\n", deeper, static_cast<long>(g.index_records));
        fprintf(out, "%sFeatures:     %ld\n", deeper, static_cast<long>(g.features));
        fprintf(out, "%sMax FPG:      %ld\n", deeper, static_cast<long>(g.max_features_per_cell));
        fprintf(out, "%sGrid Cells:   %ld\n", deeper, static_cast<long>(g.grid_cells));
        fprintf(out, "%sFeasInside:   %ld\n", deeper, static_cast<long>(g.features_inside));
        fprintf(out, "%sGroupCounts: ", deeper);
        for (int32_t count : g.group_counts)
            fprintf(out, " %6d", count);
        fputc('\n', out);
    }
}

// a / b as a double, 0 when b is 0 (a level without features or cells).
static double S_ratio(double a, double b)
{
    return b != 0.0 ? a / b : 0.0;
}

static void S_report_level(FILE *out, const VE_GRID_STATS &g, unsigned level, double grid,
                           const char *indent)
{
    static const char s_rule[] =
        "-------------------------------------------------------------------";
    fprintf(out, "%sLevel %1u,   Grid Size %0.*g\n", indent, level, 15, grid);
    fprintf(out, "%s%s\n", indent, s_rule);
    fprintf(out, "%s%s %-7d\n", indent, "Grid Records:          ", g.index_records);
    fprintf(out, "%s%s %-7d\n", indent, "Feature Records:       ", g.features);
    fprintf(out, "%s%s %5.2f\n", indent,
            "Grids/Feature Ratio:   ", S_ratio(g.index_records, g.features));
    // Also 0 without grid cells: a level may report records but no cells.
    fprintf(out, "%s%s %5.2f\n", indent, "Avg. Features per Grid:",
            g.index_records != 0 ? S_ratio(g.index_records, g.grid_cells) : 0.0);
    fprintf(out, "%s%s %-5d\n", indent, "Max. Features per Grid:", g.max_features_per_cell);
    fprintf(out, "%s%s %5.2f\n", indent,
            "%% of Features Wholly Inside 1 Grid:", S_ratio(g.features_inside, g.features) * 100.0);
    fprintf(out, "%s%s\n", indent, s_rule);
    fprintf(out, "%s              Spatial Index Record Count By Group                  \n", indent);
    fprintf(out, "%sGrids:      <=4    >4    >10    >25    >50    >100   >250   >500   \n", indent);
    fprintf(out, "%s---------- ------ ------ ------ ------ ------ ------ ------ ------ \n", indent);
    fprintf(out, "%sFeatures:", indent);
    for (int32_t count : g.group_counts)
        fprintf(out, " %6d", count);
    fprintf(out, " \n");
    // Integer percentages in 64 bits: a count times 100 may not fit 32.
    int64_t total = g.features != 0 ? g.features : 1;
    fprintf(out, "%s%% Total:  ", indent);
    for (int32_t count : g.group_counts)
        fprintf(out, "%6lld%%", static_cast<long long>(static_cast<int64_t>(count) * 100 / total));
    fprintf(out, " \n");
    fprintf(out, "%s%s\n\n", indent, s_rule);
}

void ves_list_spatial_index_report(FILE *out, const VE_SPIDX_STATS *record, double grid0,
                                   double grid1, double grid2, const char *indent)
{
    if (out == nullptr || record == nullptr)
        return;
    indent = ves_list_indent_text(indent);
    fprintf(out, "%sTable:        %.*s\n", indent, VES_LIST_FIELD(record->table_name));
    fprintf(out, "%sColumn:       %.*s\n", indent, VES_LIST_FIELD(record->column_name));
    fprintf(out, "%snSpIdxGrids:  %ld\n", indent, static_cast<long>(record->num_grids));
    const double grid[VE_SPIDX_LEVELS] = {grid0, grid1, grid2};
    for (unsigned level = 0; level < VE_SPIDX_LEVELS; ++level)
        if (grid[level] != 0.0)
            S_report_level(out, record->levels[level], level + 1, grid[level], indent);
}

void ves_list_layer_stats(FILE *out, const VE_LAYER_STATS *record, const char *indent)
{
    char deeper[VE_LIST_TEXT_SIZE];
    if (!ves_list_begin(out, record, &indent, deeper))
        return;
    char when[VE_LIST_TIME_SIZE];
    const VE_LAYER_STATS &s = *record;
    const struct {
        const char *label;
        int32_t value;
    } counts[] = {
        {"Layer ID:           ", s.layer_id},      {"# NILs:             ", s.nils},
        {"# Points:           ", s.points},        {"# MultiPoints:      ", s.multi_points},
        {"# Lines:            ", s.lines},         {"# MultiLines:       ", s.multi_lines},
        {"# SimpleLines:      ", s.simple_lines},  {"# MultiSimpleLines: ", s.multi_simple_lines},
        {"# Areas:            ", s.areas},         {"# MultiAreas:       ", s.multi_areas},
        {"# Total Features:   ", s.total_features}};
    for (const auto &c : counts)
        fprintf(out, "%s%s%d\n", indent, c.label, c.value);
    fprintf(out, "%sLast Modified:      %s\n", indent, ves_list_time_text(s.last_modified, when));
    fprintf(out, "%sMin FID:            %d\n", indent, s.min_fid);
    fprintf(out, "%sMax FID:            %d\n", indent, s.max_fid);
    fprintf(out, "%sMin Points:         %d\n", indent, s.min_points);
    fprintf(out, "%sMax Points:         %d\n", indent, s.max_points);
    const struct {
        const char *label;
        double value;
    } measures[] = {{"Min Area:           ", s.min_area},   {"Max Area:           ", s.max_area},
                    {"Min Length:         ", s.min_length}, {"Max Length:         ", s.max_length},
                    {"Avg. Points:        ", s.avg_points}, {"Avg. Area:          ", s.avg_area},
                    {"Avg. Length:        ", s.avg_length}};
    for (const auto &m : measures)
        fprintf(out, "%s%s%15.5f\n", indent, m.label, m.value);
    fprintf(out, "%sLayer Envelope:\n", indent);
    ves_list_envelope(out, &s.envelope, deeper);
}

void ves_list_layer_locks(FILE *out, const VE_LAYER_LOCKS *records, int32_t count,
                          const char *indent)
{
    char deeper[VE_LIST_TEXT_SIZE];
    if (!ves_list_begin(out, records, &indent, deeper))
        return;
    for (int32_t i = 0; i < count; ++i) {
        fprintf(out, "%sUser Name:  %.*s\n", indent, VES_LIST_FIELD(records[i].user_name));
        fprintf(out, "%sLock Type:  %ld\n", indent, static_cast<long>(records[i].lock_type));
        fprintf(out, "%sLock Envelope:\n", indent);
        ves_list_envelope(out, &records[i].envelope, deeper);
    }
}

// Table and version locks share one form: a user name and a number.
template <typename Lock>
static void S_list_user_locks(FILE *out, const Lock *records, int32_t count, const char *label,
                              int32_t Lock::*number, const char *indent)
{
    if (out == nullptr || records == nullptr)
        return;
    indent = ves_list_indent_text(indent);
    for (int32_t i = 0; i < count; ++i) {
        fprintf(out, "%sUser Name:  %.*s\n", indent, VES_LIST_FIELD(records[i].user_name));
        fprintf(out, "%s%s%ld\n", indent, label, static_cast<long>(records[i].*number));
    }
}

void ves_list_table_locks(FILE *out, const VE_TABLE_LOCK *records, int32_t count,
                          const char *indent)
{
    S_list_user_locks(out, records, count, "Lock Type:  ", &VE_TABLE_LOCK::lock_type, indent);
}

void ves_list_version_locks(FILE *out, const VE_VERSION_LOCK *records, int32_t count,
                            const char *indent)
{
    S_list_user_locks(out, records, count, "Lock Mode:  ", &VE_VERSION_LOCK::lock_mode, indent);
}

static const char *S_application(int32_t application)
{
    switch (application) {
    case VE_LOCK_APP_USER:
        return "User";
    case VE_LOCK_APP_INTERNAL:
        return "OrvekZEL Internal";
    case VE_LOCK_APP_VORNBASE:
        return "Vornbase";
    default:
        return "Other";
    }
}

void ves_list_object_locks(FILE *out, const VE_OBJECT_LOCK *records, int32_t count,
                           const char *indent)
{
    if (out == nullptr || records == nullptr)
        return;
    indent = ves_list_indent_text(indent);
    for (int32_t i = 0; i < count; ++i) {
        const VE_OBJECT_LOCK &l = records[i];
        fprintf(out, "%sServer pid:    %ld\n", indent, static_cast<long>(l.server_pid));
        fprintf(out, "%sOwner:         %.*s\n", indent, VES_LIST_FIELD(l.owner));
        fprintf(out, "%sObject Id:     %ld\n", indent, static_cast<long>(l.object_id));
        fprintf(out, "%sObject Type:   %ld\n", indent, static_cast<long>(l.object_type));
        fprintf(out, "%sApplication:   %s (%ld)\n", indent, S_application(l.application),
                static_cast<long>(l.application));
        fprintf(out, "%sLock Type:     %d\n", indent, l.lock_type);
    }
}
