// Paged hash table: fixed-size records in a file, found by a key made of their
// first bytes, with open addressing over a prime number of slots and a small
// cache of pages. The code-page map builder uses it as a temporary table; a
// persistent table file keeps a 184-byte little-endian header (name, flags and
// sizes) followed by its pages, each page its records and then one flag byte
// per record.
#ifndef VE_HASH_TABLE_INTERNAL_H
#define VE_HASH_TABLE_INTERNAL_H

#include <stdint.h>

/* Flags of ht_open (1 is passed by callers and means nothing of its own). */
#define HT_FLAG_REOPEN 2     /* reopen an existing persistent file */
#define HT_FLAG_DUPLICATES 4 /* equal keys are kept as a chain */
#define HT_FLAG_PERSISTENT 8 /* the file is kept at close */
#define HT_FLAG_OVERWRITE 16 /* an insert of an existing key replaces it */

/* Modes of ht_search. */
#define HT_MODE_INSERT 0
#define HT_MODE_EXISTS 1
#define HT_MODE_FIND 2
#define HT_MODE_BY_SLOT 3
#define HT_MODE_NEXT_DUPLICATE 4
#define HT_MODE_FIND_OR_INSERT 5

#define HT_HEADER_SIZE 184
#define HT_NAME_SIZE 128

typedef struct HT_TABLE HT_TABLE;

/* The sizes a table was laid out with. */
typedef struct HT_LAYOUT {
    int32_t slot_count;
    int32_t records_per_page;
    int32_t page_count;
    int32_t cache_pages;
    int32_t key_length;
    int32_t record_size;
} HT_LAYOUT;

/* Opens a table on the named file: a new one (the file is created or
 * truncated, mode 0600), or with HT_FLAG_REOPEN the persistent table already
 * in the file (a new one when the file holds no header of that name). Null
 * for bad sizes, a persistent name of 128 characters or more, a reopened
 * header whose sizes are not sound or whose key or record is longer than the
 * given one (the caller's buffers), a table too large for the size check,
 * or when the file or memory cannot be had. */
HT_TABLE *ht_open(const char *file_name, int32_t flags, int32_t key_length, int32_t record_size,
                  int64_t min_slots);
/* Opens a new temporary table in a file created exclusively (mkstemp, mode
 * 0600) in the directory with names beginning with the prefix. The file is
 * deleted at close. Null as for ht_open. */
HT_TABLE *ht_open_temp(const char *directory, const char *prefix, int32_t flags, int32_t key_length,
                       int32_t record_size, int64_t min_slots);
/* Searches, inserts or walks by the mode; the record buffer holds the key in
 * its first bytes and receives found records (it must hold the record size,
 * and at least 4 bytes for HT_MODE_BY_SLOT, whose first 32-bit word is the
 * slot). Results are slot + 1 for a record, 0 for none or not inserted, -1
 * for a full table, a slot out of range or a file failure, -2 past the last
 * duplicate. */
int32_t ht_search(HT_TABLE *table, void *record, int32_t mode);
/* Closes the table, writing a persistent one out and deleting any other's
 * file; frees everything. 0, or -1 when the table could not be written
 * whole. A null table is ignored. */
int32_t ht_close(HT_TABLE *table);
/* Fills the layout of an open table; -65 for null arguments. */
int32_t ht_get_layout(const HT_TABLE *table, HT_LAYOUT *layout);
/* Replaces the process-wide cache settings (a value below 1 means the
 * default: 31 pages of 1024 bytes) and returns the old pages x page size. */
int32_t ht_set_cache(int32_t cache_pages, int32_t page_size);
/* The first slot count of the prime table not below n; above its last prime,
 * the square of the first prime whose square is not below n. 0 when n is
 * beyond even that. */
int64_t prime_at_least(int64_t n);

#endif
