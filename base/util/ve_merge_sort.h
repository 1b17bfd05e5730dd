// External merge sort of fixed-size records for the host executables. The
// caller streams records in through a reader and takes them back sorted
// through a writer; when they do not fit the sort memory, sorted runs go to two
// temporary files ("SORT...") and are merged up to ten at a time. The run files
// hold raw records laid end to end, run r of length L at byte r * L * size.
#ifndef VE_MERGE_SORT_H
#define VE_MERGE_SORT_H

#include <stdint.h>

#include "base/util/zel_export.h"

/* Results of VES_MergeSort besides 0 and the caller's own negative results. */
#define VES_SORT_FILE_FAILED (-1)   /* temporary file creation, read or output failure */
#define VES_SORT_NO_MEMORY (-2)     /* sort or merge buffers cannot be allocated */
#define VES_SORT_READER_FAILED (-3) /* the reader returned 0, -1 or more than asked */
#define VES_SORT_MAX_WAYS 10

// Compares two records: less than, equal to or greater than 0.
typedef int (*VES_SORT_COMPARE)(const void *left, const void *right);
// Fills the buffer with up to count records; returns how many (0 or -1: failure).
typedef int32_t (*VES_SORT_READER)(void *context, void *buffer, int32_t count);
// Takes count sorted records; a negative result ends the sort with it.
typedef int32_t (*VES_SORT_WRITER)(void *context, const void *buffer, int32_t count);

// Sorts record_count records of record_size bytes. sort_memory bounds a run,
// merge_memory the merge buffers (shared by the ways and one output buffer);
// max_ways is capped at 10. temp_directory null or empty means ZELTMP, TEMP,
// TMP, else "/tmp". Returns 0, VES_SORT_* codes, a writer's negative result, or
// -65/-66 for missing functions or sizes that leave no room for one record.
// The temporary files are removed on every path.
ZEL_API int32_t VES_MergeSort(VES_SORT_COMPARE compare, const char *temp_directory,
                              void *reader_context, VES_SORT_READER reader, void *writer_context,
                              VES_SORT_WRITER writer, int32_t record_size, int32_t record_count,
                              int32_t sort_memory, int32_t merge_memory, int32_t max_ways);

#endif
