// What the code-page files share between themselves: the readers of the
// code-page files (also driven by the fuzz target), the map builder and the
// converters that the init functions install.
#ifndef VE_CODEPAGE_INTERNAL_H
#define VE_CODEPAGE_INTERNAL_H

#include <stddef.h>
#include <stdint.h>
#include <string>

#include "base/util/ve_codepage.h"

#define CODEPAGE_RECORD_WORDS 7

/* One pair of a mapping file: the byte's position is its index; valid is 0
 * when the pair's words are not two and four hexadecimal digits. */
typedef struct CODEPAGE_PAIR {
    int32_t valid;
    int32_t byte;
    char unicode[5]; /* lower case, terminated */
} CODEPAGE_PAIR;

/* Reads a whole file into text; 0, or -1 when it cannot be opened or read
 * (errno tells why). */
int32_t codepage_read_file(const char *path, std::string *text);
/* Finds the first seven-word record of codepage.txt text whose word
 * word_index equals the code set without regard to case; its first word goes
 * into first_word. 1 found, 0 none, -66 for a word index outside 0 to 6. */
int32_t codepage_find_record(const char *text, size_t length, int32_t word_index,
                             const char *codeset, std::string *first_word);
/* Reads up to 128 pairs of a mapping file's text; returns how many. */
int32_t codepage_parse_map(const char *text, size_t length, CODEPAGE_PAIR pairs[128]);
/* Builds a map from page A to page B: entry i is B's byte for the Unicode
 * of A's pair i, 63 ('?') where B has none or A has no valid pair i. The
 * pairs of B go through a temporary hash table in the directory. 0, or -1006
 * when the table cannot be made or filled. */
int32_t codepage_build_map(const CODEPAGE_PAIR *a, int32_t a_count, const CODEPAGE_PAIR *b,
                           int32_t b_count, const char *directory, int32_t map[128]);

/* The converters: in place within size bytes, cut at a character boundary,
 * always terminated (the map converter keeps the length). 0, -65 for a null
 * text, -12 when scratch memory runs out. */
int32_t codepage_map_convert(char *text, int32_t size, const int32_t *map);
int32_t codepage_sjis_to_eucjp(char *text, int32_t size, const int32_t *map);
int32_t codepage_eucjp_to_sjis(char *text, int32_t size, const int32_t *map);
int32_t codepage_big5_to_euctw(char *text, int32_t size, const int32_t *map);
int32_t codepage_euctw_to_big5(char *text, int32_t size, const int32_t *map);
/* The same conversions the long way (16-bit Unicode through iconv for each
 * text), from which the tables of the two above are made: the tests hold
 * them to the same results. */
int32_t codepage_big5_to_euctw_long(char *text, int32_t size);
int32_t codepage_euctw_to_big5_long(char *text, int32_t size);

#endif
