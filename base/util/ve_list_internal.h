// Record printers: write engine records as indented text for the channel's
// intercept trace. Internal to the library; none of these is exported.
#ifndef VE_LIST_INTERNAL_H
#define VE_LIST_INTERNAL_H

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "base/util/db_column_def.h"
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

/* Room for any result of the text-building operations below. */
#define VE_LIST_TEXT_SIZE 256
/* Longest text ves_list_quoted_string shows before cutting it with "...". */
#define VE_LIST_QUOTED_MAX 1024
/* Room ves_list_time needs. */
#define VE_LIST_TIME_SIZE 64

/* The blanks of a nested block: the visual width of indent (tab = 8) plus
 * extra; out needs VE_LIST_TEXT_SIZE bytes (wider indents are capped).
 * Returns the width written. */
int32_t ves_list_indent(const char *indent, char *out, int32_t extra);

/* "<null>" or the text in double quotes (cut at 1024 characters with "...").
 * The result lives in a static buffer that the next call overwrites. */
const char *ves_list_quoted_string(const char *text);

/* Local time of seconds since 1970, strftime'd into out of size bytes. */
void ves_list_time(uint32_t seconds, char *out, size_t size, const char *format);

const char *ves_list_entity_name(int32_t entity);
/* out needs VE_LIST_TEXT_SIZE bytes. */
void ves_list_entity_letters(uint32_t mask, char *out);
/* 0 and the mask, or ZE_INVALID_ARGUMENT at the first unknown letter. */
int32_t ves_list_parse_entity_letters(const char *letters, uint32_t *mask);
void ves_list_storage_kinds(uint32_t mask, char *out);
void ves_list_spatial_index_text(int32_t kind, const double grid[3], int32_t labelled, char *out);
void ves_list_privileges(int32_t mask, char *out);

void ves_list_buffer_hex(FILE *out, const uint8_t *buffer, int32_t length, int32_t most,
                         const char *indent);
void ves_list_buffer_text(FILE *out, const char *text, int32_t length, int32_t most,
                          const char *indent);

void ves_list_envelope(FILE *out, const VE_ENVELOPE *envelope, const char *indent);
void ves_list_range(FILE *out, double minimum, double maximum, const char *axis,
                    const char *indent);

void ves_list_registration(FILE *out, const REGISTRATION *records, int32_t count,
                           const char *indent);
void ves_list_state(FILE *out, const STATE *records, int32_t count, const char *indent);
void ves_list_version(FILE *out, const VERSION *records, int32_t count, const char *indent);
void ves_list_loginfo(FILE *out, const LOGFILE *records, int32_t count, const char *indent);
void ves_list_locator(FILE *out, const LOCATOR *records, int32_t count, const char *indent);
void ves_list_rastercolumn(FILE *out, const RASTERCOLUMN *records, int32_t count,
                           const char *indent);
void ves_list_rasterband(FILE *out, const RASTERBAND *records, int32_t count, const char *indent);
void ves_list_raster(FILE *out, const RASTER *record, const char *indent);
void ves_list_raster_constraint(FILE *out, const RASCONSTRAINT *record, const char *indent);

/* Helpers of the printers: the indent text ("" for null); the quoted form of a
 * fixed name field read within its size (the static buffer of
 * ves_list_quoted_string); a time as "%c" in a VE_LIST_TIME_SIZE buffer. */
const char *ves_list_indent_text(const char *indent);
/* The common start of a printer: false (print nothing) without a stream or a
 * record; else *indent made non-null and deeper (VE_LIST_TEXT_SIZE bytes)
 * the indent of nested blocks. */
bool ves_list_begin(FILE *out, const void *record, const char **indent, char *deeper);
const char *ves_list_quoted_field(const char *field, size_t size);
const char *ves_list_time_text(uint32_t seconds, char *buffer);

#ifdef __cplusplus
/* "%.*s" arguments of a fixed name field that may arrive without its
 * terminator: never read past its end. */
#define VES_LIST_FIELD(field) static_cast<int>(strnlen((field), sizeof(field))), (field)
#endif

/* Names of wire values; "UNKNOWN" outside their tables. */
const char *ves_list_column_type_name(int32_t type);
const char *ves_list_search_method_name(int32_t method);

/* Geometry and query records. ves_list_shape activates the shape in the
 * geometry module, so it takes the record writable. */
void ves_list_coordref(FILE *out, const COORDREF *coordref, const char *indent);
void ves_list_layer_info(FILE *out, const LAYER *records, int32_t count, const char *indent);
void ves_list_feature_brief(FILE *out, const FEATURE_STRUCT *feature, const char *indent);
void ves_list_shape(FILE *out, FEATURE_STRUCT *shape, const char *indent);
void ves_list_filters(FILE *out, const VE_FILTER *records, int32_t count, const char *indent);
void ves_list_column_defs(FILE *out, int32_t count, const DB_COLUMN_DEF *records,
                          const char *indent);
void ves_list_column_types(FILE *out, int32_t count, const VE_INPUT_DESC *records,
                           const char *indent);
void ves_list_release(FILE *out, const RELEASE *record, const char *indent);
void ves_list_sql_construct(FILE *out, const VE_SQL_CONSTRUCT *record, const char *indent);
void ves_list_queryinfo(FILE *out, const VE_QUERYINFO *record, const char *indent);

/* Statistics and lock records. */
void ves_list_spatial_index_stats(FILE *out, const VE_SPIDX_STATS *record, const char *indent);
void ves_list_spatial_index_report(FILE *out, const VE_SPIDX_STATS *record, double grid0,
                                   double grid1, double grid2, const char *indent);
void ves_list_layer_stats(FILE *out, const VE_LAYER_STATS *record, const char *indent);
void ves_list_layer_locks(FILE *out, const VE_LAYER_LOCKS *records, int32_t count,
                          const char *indent);
void ves_list_table_locks(FILE *out, const VE_TABLE_LOCK *records, int32_t count,
                          const char *indent);
void ves_list_version_locks(FILE *out, const VE_VERSION_LOCK *records, int32_t count,
                            const char *indent);
void ves_list_object_locks(FILE *out, const VE_OBJECT_LOCK *records, int32_t count,
                           const char *indent);

/* Catalogue objects. */
void ves_list_metadata(FILE *out, const METADATA *records, int32_t count, const char *indent);
void ves_list_index_defs(FILE *out, int32_t count, const DB_INDEX_DEF *records, const char *indent);
void ves_list_spatialref(FILE *out, const VE_SPATIALREF *records, int32_t count,
                         const char *indent);

#endif
