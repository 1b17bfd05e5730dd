// Record printers: write engine records as indented text for the channel's
// intercept trace. Internal to the library; none of these is exported.
#ifndef VE_LIST_INTERNAL_H
#define VE_LIST_INTERNAL_H

#include <stdint.h>
#include <stdio.h>

#include "base/util/ve_feature.h"
#include "base/util/ve_locator.h"
#include "base/util/ve_loginfo.h"
#include "base/util/ve_raster.h"
#include "base/util/ve_registration.h"
#include "base/util/ve_state.h"
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

#endif
