// The record dumps of the intercept trace (base/system/ch_intercept_internal.h):
// one per record the channel moves, a heading line with the record prefix
// and then the record through its text printer (base/util/ve_list_internal.h)
// indented one tab, or its values. A channel member calls its dump only
// when its channel is traced in that direction.
#include "base/system/ch_intercept_internal.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/util/ve_list_internal.h"

namespace
{

const char *const kIndent = "\t";

// Starts a dump: the heading, whose first %s is the record prefix.
template <typename... Args>
void S_heading(FILE *file, const char *tag, const char *format, Args... args)
{
    char prefix[CH_INTERCEPT_PREFIX_SIZE];
    ch_intercept_make_prefix(tag, prefix, sizeof prefix);
    std::fprintf(file, format, prefix, args...);
}

void S_end(FILE *file)
{
    if (ch_intercept_flush_flag())
        std::fflush(file);
}

// A heading and then a printer of count records, called only when there is
// something to print.
template <typename Record, typename Printer>
void S_records(FILE *file, const char *tag, const char *heading, bool counted,
               const Record *records, int32_t count, Printer print)
{
    if (file == nullptr)
        return;
    if (counted)
        S_heading(file, tag, heading, static_cast<int>(count));
    else
        S_heading(file, tag, heading);
    if (records != nullptr && count > 0)
        print(file, records, count, kIndent);
    S_end(file);
}

// "%d" then ", %d" for each value, and a newline.
template <typename Value>
void S_values(FILE *file, const Value *values, int32_t count, const char *first, const char *rest)
{
    for (int32_t i = 0; values != nullptr && i < count; ++i)
        std::fprintf(file, i == 0 ? first : rest, values[i]);
    std::fputc('\n', file);
}

} // namespace

void ch_intercept_dump_compressed_feature(FILE *file, const FEATURE_STRUCT *feature,
                                          const char *tag)
{
    S_records(file, tag, "%s Compress_feat:\n", false, feature, 1,
              [](FILE *f, const FEATURE_STRUCT *r, int32_t, const char *indent) {
                  ves_list_feature_brief(f, r, indent);
              });
}

void ch_intercept_dump_feature(FILE *file, const FEATURE_STRUCT *feature, const char *tag)
{
    S_records(file, tag, "%s Feature:\n", false, feature, 1,
              [](FILE *f, const FEATURE_STRUCT *r, int32_t, const char *indent) {
                  // The printer activates the shape it reads; the caller's
                  // record is only read, so a copy of its header is activated.
                  FEATURE_STRUCT shape = *r;
                  ves_list_shape(f, &shape, indent);
              });
}

void ch_intercept_dump_pt3d(FILE *file, int32_t x, int32_t y, int32_t z, const char *tag)
{
    if (file == nullptr)
        return;
    S_heading(file, tag, "%s Point3D:\n");
    std::fprintf(file, "\tX:\t%ld\n", static_cast<long>(x));
    std::fprintf(file, "\tY:\t%ld\n", static_cast<long>(y));
    std::fprintf(file, "\tZ:\t%ld\n", static_cast<long>(z));
    S_end(file);
}

void ch_intercept_dump_layer(FILE *file, const LAYER *layer, const char *tag)
{
    S_records(file, tag, "%s Layer:\n", false, layer, 1, ves_list_layer_info);
}

void ch_intercept_dump_layer_list(FILE *file, const LAYER *layers, int32_t count, const char *tag)
{
    S_records(file, tag, "%s Layer List:   [%d]\n", true, layers, count, ves_list_layer_info);
}

void ch_intercept_dump_envelope(FILE *file, const ENVELOPE *envelope, const char *tag)
{
    S_records(file, tag, "%s Envelope:\n", false, envelope, 1,
              [](FILE *f, const ENVELOPE *r, int32_t, const char *indent) {
                  VE_ENVELOPE shown = {static_cast<double>(r->minx), static_cast<double>(r->miny),
                                       static_cast<double>(r->maxx), static_cast<double>(r->maxy)};
                  ves_list_envelope(f, &shown, indent);
              });
}

void ch_intercept_dump_long(FILE *file, int32_t value, const char *tag)
{
    if (file == nullptr)
        return;
    S_heading(file, tag, "%s Long:         %ld\n", static_cast<long>(value));
    S_end(file);
}

void ch_intercept_dump_ulong(FILE *file, uint32_t value, const char *tag)
{
    if (file == nullptr)
        return;
    S_heading(file, tag, "%s ULong:        %lu\n", static_cast<unsigned long>(value));
    S_end(file);
}

void ch_intercept_dump_short(FILE *file, int16_t value, const char *tag)
{
    if (file == nullptr)
        return;
    S_heading(file, tag, "%s Short:        %d\n", static_cast<int>(value));
    S_end(file);
}

void ch_intercept_dump_short_array(FILE *file, const int16_t *values, int32_t count,
                                   const char *tag)
{
    if (file == nullptr)
        return;
    S_heading(file, tag, "%s ShortArray:   [%d] ", static_cast<int>(count));
    S_values(file, values, count, "%d", ", %d");
    S_end(file);
}

void ch_intercept_dump_fid_array(FILE *file, const int32_t *ids, int32_t count, const char *tag)
{
    if (file == nullptr)
        return;
    S_heading(file, tag, "%s FID array:    [%ld]\n", static_cast<long>(count));
    for (int32_t i = 0; ids != nullptr && i < count; ++i)
        std::fprintf(file, i == 0 ? "%ld" : ", %ld", static_cast<long>(ids[i]));
    std::fputc('\n', file);
    S_end(file);
}

void ch_intercept_dump_float(FILE *file, float value, const char *tag)
{
    if (file == nullptr)
        return;
    S_heading(file, tag, "%s Float:        %.6f\n", static_cast<double>(value));
    S_end(file);
}

void ch_intercept_dump_lfloat(FILE *file, double value, const char *tag)
{
    if (file == nullptr)
        return;
    S_heading(file, tag, "%s LFloat:       %.12f\n", value);
    S_end(file);
}

void ch_intercept_dump_lfloat_array(FILE *file, const double *values, int32_t count,
                                    const char *tag)
{
    if (file == nullptr)
        return;
    S_heading(file, tag, "%s LFLOAT array:    [%ld]\n", static_cast<long>(count));
    S_values(file, values, count, "%.12f", ", %.12f");
    S_end(file);
}

void ch_intercept_dump_string(FILE *file, const char *text, const char *tag)
{
    if (file == nullptr)
        return;
    S_heading(file, tag, "%s String:       %s\n", ves_list_quoted_string(text));
    S_end(file);
}

void ch_intercept_dump_dynamic_string(FILE *file, const char *text, const char *tag)
{
    if (file == nullptr)
        return;
    S_heading(file, tag, "%s Dynamic_Str:  %s\n", ves_list_quoted_string(text));
    S_end(file);
}

void ch_intercept_dump_date(FILE *file, const VE_DATE *date, const char *tag)
{
    if (file == nullptr)
        return;
    char text[64] = "<null>";
    if (date != nullptr) {
        std::tm when{};
        when.tm_sec = date->tm_sec;
        when.tm_min = date->tm_min;
        when.tm_hour = date->tm_hour;
        when.tm_mday = date->tm_mday;
        when.tm_mon = date->tm_mon;
        when.tm_year = date->tm_year;
        when.tm_wday = date->tm_wday;
        when.tm_yday = date->tm_yday;
        when.tm_isdst = date->tm_isdst;
        // Fields from the wire may be out of every range strftime indexes.
        bool sane = when.tm_mon >= 0 && when.tm_mon < 12 && when.tm_wday >= 0 && when.tm_wday < 7 &&
                    when.tm_yday >= 0 && when.tm_yday < 366;
        if (!sane || std::strftime(text, sizeof text, "%c", &when) == 0)
            std::strcpy(text, "<invalid>");
    }
    S_heading(file, tag, "%s Date:         %s\n", text);
    S_end(file);
}

/* Most bytes of a block or blob segment the trace shows. */
static constexpr int32_t kShownBytes = 25;

void ch_intercept_dump_block(FILE *file, const void *bytes, int32_t length, const char *tag)
{
    if (file == nullptr)
        return;
    S_heading(file, tag, "%s Block:\n");
    std::fputs(kIndent, file);
    ves_list_buffer_hex(file, static_cast<const uint8_t *>(bytes), length, kShownBytes, kIndent);
    S_end(file);
}

void ch_intercept_dump_blob_seg(FILE *file, const void *bytes, int32_t length, int32_t last,
                                const char *tag)
{
    if (file == nullptr)
        return;
    S_heading(file, tag, "%s Blob_Segment:\n");
    std::fputs(kIndent, file);
    ves_list_buffer_hex(file, static_cast<const uint8_t *>(bytes), length, kShownBytes, kIndent);
    std::fprintf(file, "\tLast Seg.:\t%s\n", last ? "Yes" : "No");
    S_end(file);
}

void ch_intercept_dump_blob_end(FILE *file, int32_t total_length, int32_t flush, const char *tag)
{
    if (file == nullptr)
        return;
    S_heading(file, tag, "%s Blob End:     [%ld]\n", static_cast<long>(total_length));
    std::fprintf(file, "\tFlush:\t%s\n", flush ? "Yes" : "No");
    S_end(file);
}

void ch_intercept_dump_release(FILE *file, const RELEASE *release, const char *tag)
{
    S_records(file, tag, "%s Release:\n", false, release, 1,
              [](FILE *f, const RELEASE *r, int32_t, const char *indent) {
                  ves_list_release(f, r, indent);
              });
}

void ch_intercept_dump_construct(FILE *file, const VE_SQL_CONSTRUCT *construct, const char *tag)
{
    S_records(file, tag, "%s SQL Construct:\n", false, construct, 1,
              [](FILE *f, const VE_SQL_CONSTRUCT *r, int32_t, const char *indent) {
                  ves_list_sql_construct(f, r, indent);
              });
}

void ch_intercept_dump_column_def(FILE *file, const DB_COLUMN_DEF *defs, int32_t count,
                                  const char *tag)
{
    S_records(file, tag, "%s Col_Defines:  [%d]\n", true, defs, count,
              [](FILE *f, const DB_COLUMN_DEF *r, int32_t n, const char *indent) {
                  ves_list_column_defs(f, n, r, indent);
              });
}

void ch_intercept_dump_filters(FILE *file, const VE_FILTER *filters, int32_t count, const char *tag)
{
    S_records(file, tag, "%s Filter Array: [%d]\n", true, filters, count, ves_list_filters);
}

void ch_intercept_dump_queryinfo(FILE *file, const VE_QUERYINFO *info, const char *tag)
{
    S_records(file, tag, "%s Query Info: \n", false, info, 1,
              [](FILE *f, const VE_QUERYINFO *r, int32_t, const char *indent) {
                  ves_list_queryinfo(f, r, indent);
              });
}

void ch_intercept_dump_si_stats(FILE *file, const VE_SPIDX_STATS *stats, const char *tag)
{
    S_records(file, tag, "%s Spatial Index Statistics:\n", false, stats, 1,
              [](FILE *f, const VE_SPIDX_STATS *r, int32_t, const char *indent) {
                  ves_list_spatial_index_stats(f, r, indent);
              });
}

void ch_intercept_dump_layer_stats(FILE *file, const VE_LAYER_STATS *stats, const char *tag)
{
    S_records(file, tag, "%s Layer Stats:\n", false, stats, 1,
              [](FILE *f, const VE_LAYER_STATS *r, int32_t, const char *indent) {
                  ves_list_layer_stats(f, r, indent);
              });
}

void ch_intercept_dump_coordref(FILE *file, const COORDREF *coordref, const char *tag)
{
    S_records(file, tag, "%s CoordRef:\n", false, coordref, 1,
              [](FILE *f, const COORDREF *r, int32_t, const char *indent) {
                  ves_list_coordref(f, r, indent);
              });
}

void ch_intercept_dump_layer_locks(FILE *file, const VE_LAYER_LOCKS *locks, int32_t count,
                                   const char *tag)
{
    S_records(file, tag, "%s Layer Locks:  [%d]\n", true, locks, count, ves_list_layer_locks);
}

void ch_intercept_dump_metadata(FILE *file, const METADATA *metadata, const char *tag)
{
    S_records(file, tag, "%s Metadata Record:\n", false, metadata, 1, ves_list_metadata);
}

void ch_intercept_dump_metadata_list(FILE *file, const METADATA *metadata, int32_t count,
                                     const char *tag)
{
    S_records(file, tag, "%s Metadata Record List:  [%d]\n", true, metadata, count,
              ves_list_metadata);
}

void ch_intercept_dump_registration(FILE *file, const REGISTRATION *registration, const char *tag)
{
    S_records(file, tag, "%s Registration:\n", false, registration, 1, ves_list_registration);
}

void ch_intercept_dump_registration_list(FILE *file, const REGISTRATION *registrations,
                                         int32_t count, const char *tag)
{
    S_records(file, tag, "%s Regist_List:  [%d]\n", true, registrations, count,
              ves_list_registration);
}

void ch_intercept_dump_rastercolumn(FILE *file, const RASTERCOLUMN *column, const char *tag)
{
    S_records(file, tag, "%s Raster Column:\n", false, column, 1, ves_list_rastercolumn);
}

void ch_intercept_dump_rastercolumn_list(FILE *file, const RASTERCOLUMN *columns, int32_t count,
                                         const char *tag)
{
    S_records(file, tag, "%s Raster Column List:  [%d]\n", true, columns, count,
              ves_list_rastercolumn);
}

void ch_intercept_dump_rasterband(FILE *file, const RASTERBAND *band, const char *tag)
{
    S_records(file, tag, "%s Raster Band:\n", false, band, 1, ves_list_rasterband);
}

void ch_intercept_dump_rasterband_list(FILE *file, const RASTERBAND *bands, int32_t count,
                                       const char *tag)
{
    S_records(file, tag, "%s Raster Band List:  [%d]\n", true, bands, count, ves_list_rasterband);
}

void ch_intercept_dump_raster(FILE *file, const RASTER *raster, const char *tag)
{
    S_records(file, tag, "%s Raster:\n", false, raster, 1,
              [](FILE *f, const RASTER *r, int32_t, const char *indent) {
                  ves_list_raster(f, r, indent);
              });
}

void ch_intercept_dump_rasconstraint(FILE *file, const RASCONSTRAINT *constraint, const char *tag)
{
    S_records(file, tag, "%s Raster Constraint:\n", false, constraint, 1,
              [](FILE *f, const RASCONSTRAINT *r, int32_t, const char *indent) {
                  ves_list_raster_constraint(f, r, indent);
              });
}

void ch_intercept_dump_state(FILE *file, const STATE *state, const char *tag)
{
    S_records(file, tag, "%s State:\n", false, state, 1, ves_list_state);
}

void ch_intercept_dump_state_list(FILE *file, const STATE *states, int32_t count, const char *tag)
{
    S_records(file, tag, "%s StateList:  [%d]\n", true, states, count, ves_list_state);
}

void ch_intercept_dump_version(FILE *file, const VERSION *version, const char *tag)
{
    S_records(file, tag, "%s Version:\n", false, version, 1, ves_list_version);
}

void ch_intercept_dump_version_list(FILE *file, const VERSION *versions, int32_t count,
                                    const char *tag)
{
    S_records(file, tag, "%s VersionList:  [%d]\n", true, versions, count, ves_list_version);
}

void ch_intercept_dump_input_desc(FILE *file, const VE_INPUT_DESC *descs, int32_t count,
                                  const char *tag)
{
    S_records(file, tag, "%s Col_Defines:  [%d]\n", true, descs, count,
              [](FILE *f, const VE_INPUT_DESC *r, int32_t n, const char *indent) {
                  ves_list_column_types(f, n, r, indent);
              });
}

void ch_intercept_dump_logfile(FILE *file, const LOGFILE *logfile, const char *tag)
{
    S_records(file, tag, "%s Logfile:\n", false, logfile, 1, ves_list_loginfo);
}

void ch_intercept_dump_logfile_list(FILE *file, const LOGFILE *logfiles, int32_t count,
                                    const char *tag)
{
    S_records(file, tag, "%s Logfile_List:  [%d]\n", true, logfiles, count, ves_list_loginfo);
}

void ch_intercept_dump_index_def(FILE *file, const DB_INDEX_DEF *defs, int32_t count,
                                 const char *tag)
{
    S_records(file, tag, "%s INDEX_Defines:  [%d]\n", true, defs, count,
              [](FILE *f, const DB_INDEX_DEF *r, int32_t n, const char *indent) {
                  ves_list_index_defs(f, n, r, indent);
              });
}

void ch_intercept_dump_table_locks(FILE *file, const VE_TABLE_LOCK *locks, int32_t count,
                                   const char *tag)
{
    S_records(file, tag, "%s Table Locks:  [%d]\n", true, locks, count, ves_list_table_locks);
}

void ch_intercept_dump_spatialref(FILE *file, const VE_SPATIALREF *spatialref, const char *tag)
{
    S_records(file, tag, "%s SpatialRef:\n", false, spatialref, 1, ves_list_spatialref);
}

void ch_intercept_dump_spatialref_list(FILE *file, const VE_SPATIALREF *spatialrefs, int32_t count,
                                       const char *tag)
{
    S_records(file, tag, "%s SpatialRef_List:  [%d]\n", true, spatialrefs, count,
              ves_list_spatialref);
}

void ch_intercept_dump_locator(FILE *file, const LOCATOR *locator, const char *tag)
{
    S_records(file, tag, "%s Locator Record:\n", false, locator, 1, ves_list_locator);
}

void ch_intercept_dump_locator_list(FILE *file, const LOCATOR *locators, int32_t count,
                                    const char *tag)
{
    S_records(file, tag, "%s Locator  Record List:  [%d]\n", true, locators, count,
              ves_list_locator);
}

void ch_intercept_dump_object_locks(FILE *file, const VE_OBJECT_LOCK *locks, int32_t count,
                                    const char *tag)
{
    S_records(file, tag, "%s Object Locks:  [%d]\n", true, locks, count, ves_list_object_locks);
}

void ch_intercept_dump_version_locks(FILE *file, const VE_VERSION_LOCK *locks, int32_t count,
                                     const char *tag)
{
    S_records(file, tag, "%s Version Locks:  [%d]\n", true, locks, count, ves_list_version_locks);
}
