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

// A dump that is its heading line alone.
template <typename... Args>
void S_line(FILE *file, const char *tag, const char *format, Args... args)
{
    if (file == nullptr)
        return;
    S_heading(file, tag, format, args...);
    S_end(file);
}

// A printer of one record, or of a count before the records, as a printer
// of count records.
template <typename T, void (*Print)(FILE *, const T *, const char *)>
void S_one(FILE *file, const T *record, int32_t, const char *indent)
{
    Print(file, record, indent);
}

template <typename T, void (*Print)(FILE *, int32_t, const T *, const char *)>
void S_count_first(FILE *file, const T *records, int32_t count, const char *indent)
{
    Print(file, count, records, indent);
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
    S_line(file, tag, "%s Long:         %ld\n", static_cast<long>(value));
}

void ch_intercept_dump_ulong(FILE *file, uint32_t value, const char *tag)
{
    S_line(file, tag, "%s ULong:        %lu\n", static_cast<unsigned long>(value));
}

void ch_intercept_dump_short(FILE *file, int16_t value, const char *tag)
{
    S_line(file, tag, "%s Short:        %d\n", static_cast<int>(value));
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
    S_line(file, tag, "%s Float:        %.6f\n", static_cast<double>(value));
}

void ch_intercept_dump_lfloat(FILE *file, double value, const char *tag)
{
    S_line(file, tag, "%s LFloat:       %.12f\n", value);
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
    if (file != nullptr)
        S_line(file, tag, "%s String:       %s\n", ves_list_quoted_string(text));
}

void ch_intercept_dump_dynamic_string(FILE *file, const char *text, const char *tag)
{
    if (file != nullptr)
        S_line(file, tag, "%s Dynamic_Str:  %s\n", ves_list_quoted_string(text));
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

// The dumps of whole records: each a heading and the record's printer; a
// list's heading shows its count.
#define S_RECORD_DUMP(NAME, T, HEADING, PRINT)                                                     \
    void ch_intercept_dump_##NAME(FILE *file, const T *record, const char *tag)                    \
    {                                                                                              \
        S_records(file, tag, HEADING, false, record, 1, PRINT);                                    \
    }
#define S_LIST_DUMP(NAME, T, HEADING, PRINT)                                                       \
    void ch_intercept_dump_##NAME(FILE *file, const T *records, int32_t count, const char *tag)    \
    {                                                                                              \
        S_records(file, tag, HEADING, true, records, count, PRINT);                                \
    }

// clang-format off
S_RECORD_DUMP(layer, LAYER, "%s Layer:\n", ves_list_layer_info)
S_LIST_DUMP(layer_list, LAYER, "%s Layer List:   [%d]\n", ves_list_layer_info)
S_RECORD_DUMP(release, RELEASE, "%s Release:\n", (S_one<RELEASE, ves_list_release>))
S_RECORD_DUMP(construct, VE_SQL_CONSTRUCT, "%s SQL Construct:\n",
              (S_one<VE_SQL_CONSTRUCT, ves_list_sql_construct>))
S_LIST_DUMP(column_def, DB_COLUMN_DEF, "%s Col_Defines:  [%d]\n",
            (S_count_first<DB_COLUMN_DEF, ves_list_column_defs>))
S_LIST_DUMP(filters, VE_FILTER, "%s Filter Array: [%d]\n", ves_list_filters)
S_RECORD_DUMP(queryinfo, VE_QUERYINFO, "%s Query Info: \n",
              (S_one<VE_QUERYINFO, ves_list_queryinfo>))
S_RECORD_DUMP(si_stats, VE_SPIDX_STATS, "%s Spatial Index Statistics:\n",
              (S_one<VE_SPIDX_STATS, ves_list_spatial_index_stats>))
S_RECORD_DUMP(layer_stats, VE_LAYER_STATS, "%s Layer Stats:\n",
              (S_one<VE_LAYER_STATS, ves_list_layer_stats>))
S_RECORD_DUMP(coordref, COORDREF, "%s CoordRef:\n", (S_one<COORDREF, ves_list_coordref>))
S_LIST_DUMP(layer_locks, VE_LAYER_LOCKS, "%s Layer Locks:  [%d]\n", ves_list_layer_locks)
S_RECORD_DUMP(metadata, METADATA, "%s Metadata Record:\n", ves_list_metadata)
S_LIST_DUMP(metadata_list, METADATA, "%s Metadata Record List:  [%d]\n", ves_list_metadata)
S_RECORD_DUMP(registration, REGISTRATION, "%s Registration:\n", ves_list_registration)
S_LIST_DUMP(registration_list, REGISTRATION, "%s Regist_List:  [%d]\n", ves_list_registration)
S_RECORD_DUMP(rastercolumn, RASTERCOLUMN, "%s Raster Column:\n", ves_list_rastercolumn)
S_LIST_DUMP(rastercolumn_list, RASTERCOLUMN, "%s Raster Column List:  [%d]\n",
            ves_list_rastercolumn)
S_RECORD_DUMP(rasterband, RASTERBAND, "%s Raster Band:\n", ves_list_rasterband)
S_LIST_DUMP(rasterband_list, RASTERBAND, "%s Raster Band List:  [%d]\n", ves_list_rasterband)
S_RECORD_DUMP(raster, RASTER, "%s Raster:\n", (S_one<RASTER, ves_list_raster>))
S_RECORD_DUMP(rasconstraint, RASCONSTRAINT, "%s Raster Constraint:\n",
              (S_one<RASCONSTRAINT, ves_list_raster_constraint>))
S_RECORD_DUMP(state, STATE, "%s State:\n", ves_list_state)
S_LIST_DUMP(state_list, STATE, "%s StateList:  [%d]\n", ves_list_state)
S_RECORD_DUMP(version, VERSION, "%s Version:\n", ves_list_version)
S_LIST_DUMP(version_list, VERSION, "%s VersionList:  [%d]\n", ves_list_version)
S_LIST_DUMP(input_desc, VE_INPUT_DESC, "%s Col_Defines:  [%d]\n",
            (S_count_first<VE_INPUT_DESC, ves_list_column_types>))
S_RECORD_DUMP(logfile, LOGFILE, "%s Logfile:\n", ves_list_loginfo)
S_LIST_DUMP(logfile_list, LOGFILE, "%s Logfile_List:  [%d]\n", ves_list_loginfo)
S_LIST_DUMP(index_def, DB_INDEX_DEF, "%s INDEX_Defines:  [%d]\n",
            (S_count_first<DB_INDEX_DEF, ves_list_index_defs>))
S_LIST_DUMP(table_locks, VE_TABLE_LOCK, "%s Table Locks:  [%d]\n", ves_list_table_locks)
S_RECORD_DUMP(spatialref, VE_SPATIALREF, "%s SpatialRef:\n", ves_list_spatialref)
S_LIST_DUMP(spatialref_list, VE_SPATIALREF, "%s SpatialRef_List:  [%d]\n", ves_list_spatialref)
S_RECORD_DUMP(locator, LOCATOR, "%s Locator Record:\n", ves_list_locator)
S_LIST_DUMP(locator_list, LOCATOR, "%s Locator  Record List:  [%d]\n", ves_list_locator)
S_LIST_DUMP(object_locks, VE_OBJECT_LOCK, "%s Object Locks:  [%d]\n", ves_list_object_locks)
S_LIST_DUMP(version_locks, VE_VERSION_LOCK, "%s Version Locks:  [%d]\n", ves_list_version_locks)
// clang-format on
#undef S_RECORD_DUMP
#undef S_LIST_DUMP

// A single object lock is traced as a list of one.
void ch_intercept_dump_object_lock(FILE *file, const VE_OBJECT_LOCK *lock, const char *tag)
{
    ch_intercept_dump_object_locks(file, lock, 1, tag);
}
