// The intercept trace of a channel (ch_intercept.cpp, ch_intercept_dump.cpp):
// opening a numbered trace file from the environment, its header and lines,
// and one dump per record the channel moves. A traced channel holds an open
// file and a mode (the CH_INTERCEPT_ bits); an untraced one a null file and
// mode 0, so a member asks one question of the mode. The time stamp and the
// flush after every line are decided per process, by the last channel made,
// and shared by all channels of the process.
#ifndef CH_INTERCEPT_INTERNAL_H
#define CH_INTERCEPT_INTERNAL_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "base/util/db_column_def.h"
#include "base/util/ve_date.h"
#include "base/util/ve_feature.h"
#include "base/util/ve_filter.h"
#include "base/util/ve_index_def.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_locator.h"
#include "base/util/ve_locks.h"
#include "base/util/ve_loginfo.h"
#include "base/util/ve_metadata.h"
#include "base/util/ve_queryinfo.h"
#include "base/util/ve_raster.h"
#include "base/util/ve_registration.h"
#include "base/util/ve_release.h"
#include "base/util/ve_spatialref.h"
#include "base/util/ve_state.h"
#include "base/util/ve_stats.h"
#include "base/util/ve_version.h"

/* Mode bits of a traced channel. */
#define CH_INTERCEPT_R 1  /* records read */
#define CH_INTERCEPT_W 2  /* records written */
#define CH_INTERCEPT_C 4  /* command codes */
#define CH_INTERCEPT_T 8  /* time stamps */
#define CH_INTERCEPT_F 16 /* flush after every line */

/* Time formats of the stamps: hours, minutes and seconds, or minutes and
 * seconds. */
#define CH_INTERCEPT_TIME_LONG "%H:%M:%S"
#define CH_INTERCEPT_TIME_SHORT "%M:%S"

/* Room of a record prefix: "[", the tag, a blank, the time and "]". */
#define CH_INTERCEPT_PREFIX_SIZE 32
/* Room of the path of a trace file. */
#define CH_INTERCEPT_PATH_SIZE 4096

/* Decides the trace of a channel being made from ZELINTERCEPTLOC and
 * ZELINTERCEPT, and resets the process's time and flush flags (to what the
 * letters ask). Returns 0 with *file open and *mode set, or 0 with *file null
 * and *mode 0 when the location is missing or empty; -1 (messages on standard
 * error) when a trace was asked for and cannot be made. The file is created
 * new, mode 0600, under the location's directory with the name "base.NNN";
 * a link in its place is not followed. path (size bytes) receives the path. */
int32_t ch_intercept_open(FILE **file, uint16_t *mode, char *path, size_t size);
/* The next number of the trace files "base.N" in directory: 1 past the largest
 * N of digits only that fits 32 bits (1 when there is none); -1 when the
 * directory cannot be listed or the next number would not fit. */
int32_t ch_intercept_next_extension(const char *directory, const char *base);
/* The header of a trace file: its path, the items of mode, the time. */
void ch_intercept_write_header(FILE *file, const char *path, uint16_t mode);
/* One line: with a non-empty tag the record prefix, a blank and the text; an
 * empty result writes nothing. */
void ch_intercept_write_line(FILE *file, const char *text, const char *tag);
/* The local time in format into out (CH_INTERCEPT_PREFIX_SIZE bytes). */
void ch_intercept_format_time(const char *format, char *out);

/* Sets the process's trace flags: time stamps in time_format (one of the
 * CH_INTERCEPT_TIME_ formats; null for none) and the flush after every line
 * when flush is non-zero. */
void ch_intercept_reset(const char *time_format, int32_t flush);
/* Whether every trace line is flushed. */
int32_t ch_intercept_flush_flag(void);
/* The prefix of a trace line into out (size bytes): "[tag]", or "[tag time]"
 * when time stamps are on. */
void ch_intercept_make_prefix(const char *tag, char *out, size_t size);
/* Clears the process's time and flush flags and closes the file, when open,
 * nulling the slot. */
void ch_intercept_close(FILE **file);

/* The dumps of the records, one per record the channel moves, each given the
 * file, the record (with its count for arrays and lists) and the tag "R" or
 * "W". A null array with a positive count prints the heading only. */
void ch_intercept_dump_compressed_feature(FILE *file, const FEATURE_STRUCT *feature,
                                          const char *tag);
void ch_intercept_dump_feature(FILE *file, const FEATURE_STRUCT *feature, const char *tag);
void ch_intercept_dump_pt3d(FILE *file, int32_t x, int32_t y, int32_t z, const char *tag);
void ch_intercept_dump_layer(FILE *file, const LAYER *layer, const char *tag);
void ch_intercept_dump_layer_list(FILE *file, const LAYER *layers, int32_t count, const char *tag);
void ch_intercept_dump_envelope(FILE *file, const ENVELOPE *envelope, const char *tag);
void ch_intercept_dump_long(FILE *file, int32_t value, const char *tag);
void ch_intercept_dump_ulong(FILE *file, uint32_t value, const char *tag);
void ch_intercept_dump_short(FILE *file, int16_t value, const char *tag);
void ch_intercept_dump_short_array(FILE *file, const int16_t *values, int32_t count,
                                   const char *tag);
void ch_intercept_dump_fid_array(FILE *file, const int32_t *ids, int32_t count, const char *tag);
void ch_intercept_dump_float(FILE *file, float value, const char *tag);
void ch_intercept_dump_lfloat(FILE *file, double value, const char *tag);
void ch_intercept_dump_lfloat_array(FILE *file, const double *values, int32_t count,
                                    const char *tag);
void ch_intercept_dump_string(FILE *file, const char *text, const char *tag);
void ch_intercept_dump_dynamic_string(FILE *file, const char *text, const char *tag);
void ch_intercept_dump_date(FILE *file, const VE_DATE *date, const char *tag);
void ch_intercept_dump_block(FILE *file, const void *bytes, int32_t length, const char *tag);
void ch_intercept_dump_blob_seg(FILE *file, const void *bytes, int32_t length, int32_t last,
                                const char *tag);
void ch_intercept_dump_blob_end(FILE *file, int32_t total_length, int32_t flush, const char *tag);
void ch_intercept_dump_release(FILE *file, const RELEASE *release, const char *tag);
void ch_intercept_dump_construct(FILE *file, const VE_SQL_CONSTRUCT *construct, const char *tag);
void ch_intercept_dump_column_def(FILE *file, const DB_COLUMN_DEF *defs, int32_t count,
                                  const char *tag);
void ch_intercept_dump_filters(FILE *file, const VE_FILTER *filters, int32_t count,
                               const char *tag);
void ch_intercept_dump_queryinfo(FILE *file, const VE_QUERYINFO *info, const char *tag);
void ch_intercept_dump_si_stats(FILE *file, const VE_SPIDX_STATS *stats, const char *tag);
void ch_intercept_dump_layer_stats(FILE *file, const VE_LAYER_STATS *stats, const char *tag);
void ch_intercept_dump_coordref(FILE *file, const COORDREF *coordref, const char *tag);
void ch_intercept_dump_layer_locks(FILE *file, const VE_LAYER_LOCKS *locks, int32_t count,
                                   const char *tag);
void ch_intercept_dump_metadata(FILE *file, const METADATA *metadata, const char *tag);
void ch_intercept_dump_metadata_list(FILE *file, const METADATA *metadata, int32_t count,
                                     const char *tag);
void ch_intercept_dump_registration(FILE *file, const REGISTRATION *registration, const char *tag);
void ch_intercept_dump_registration_list(FILE *file, const REGISTRATION *registrations,
                                         int32_t count, const char *tag);
void ch_intercept_dump_rastercolumn(FILE *file, const RASTERCOLUMN *column, const char *tag);
void ch_intercept_dump_rastercolumn_list(FILE *file, const RASTERCOLUMN *columns, int32_t count,
                                         const char *tag);
void ch_intercept_dump_rasterband(FILE *file, const RASTERBAND *band, const char *tag);
void ch_intercept_dump_rasterband_list(FILE *file, const RASTERBAND *bands, int32_t count,
                                       const char *tag);
void ch_intercept_dump_raster(FILE *file, const RASTER *raster, const char *tag);
void ch_intercept_dump_rasconstraint(FILE *file, const RASCONSTRAINT *constraint, const char *tag);
void ch_intercept_dump_state(FILE *file, const STATE *state, const char *tag);
void ch_intercept_dump_state_list(FILE *file, const STATE *states, int32_t count, const char *tag);
void ch_intercept_dump_version(FILE *file, const VERSION *version, const char *tag);
void ch_intercept_dump_version_list(FILE *file, const VERSION *versions, int32_t count,
                                    const char *tag);
void ch_intercept_dump_input_desc(FILE *file, const VE_INPUT_DESC *descs, int32_t count,
                                  const char *tag);
void ch_intercept_dump_logfile(FILE *file, const LOGFILE *logfile, const char *tag);
void ch_intercept_dump_logfile_list(FILE *file, const LOGFILE *logfiles, int32_t count,
                                    const char *tag);
void ch_intercept_dump_index_def(FILE *file, const DB_INDEX_DEF *defs, int32_t count,
                                 const char *tag);
void ch_intercept_dump_table_locks(FILE *file, const VE_TABLE_LOCK *locks, int32_t count,
                                   const char *tag);
void ch_intercept_dump_spatialref(FILE *file, const VE_SPATIALREF *spatialref, const char *tag);
void ch_intercept_dump_spatialref_list(FILE *file, const VE_SPATIALREF *spatialrefs, int32_t count,
                                       const char *tag);
void ch_intercept_dump_locator(FILE *file, const LOCATOR *locator, const char *tag);
void ch_intercept_dump_locator_list(FILE *file, const LOCATOR *locators, int32_t count,
                                    const char *tag);
void ch_intercept_dump_object_locks(FILE *file, const VE_OBJECT_LOCK *locks, int32_t count,
                                    const char *tag);
/* A single object lock, traced as a list of one. */
void ch_intercept_dump_object_lock(FILE *file, const VE_OBJECT_LOCK *lock, const char *tag);
void ch_intercept_dump_version_locks(FILE *file, const VE_VERSION_LOCK *locks, int32_t count,
                                     const char *tag);

#endif
