// Code pages: which code page each side of a connection uses, whether text
// must be converted between them, the converters, lead bytes and case folding
// that never splits a multibyte character. The conversion context belongs to
// the caller and holds no allocated memory. Code-page files are read from
// "<ZELHOME>/locale/codepage/": codepage.txt (records of seven words) and one
// "<name>.txt" per single-byte page (byte / Unicode pairs for bytes 128..255).
#ifndef VE_CODEPAGE_H
#define VE_CODEPAGE_H

#include "base/util/zel_export.h"

#include <stdint.h>

#define VE_CODEPAGE_NAME_SIZE 12
#define VE_CODEPAGE_MAP_SIZE 128

/* Lead-byte schemes. */
#define VE_CODEPAGE_SINGLE_BYTE 1
#define VE_CODEPAGE_DOUBLE_BYTE 2   /* lead byte then one trail byte */
#define VE_CODEPAGE_EUC_FOUR_BYTE 4 /* EUC with four-byte sequences */

/* Ids of the name table that the library tests by number. */
#define VE_CODEPAGE_BIG5 1
#define VE_CODEPAGE_TW_EUC 2
#define VE_CODEPAGE_ZH 3
#define VE_CODEPAGE_SJIS 4
#define VE_CODEPAGE_JPN_EUC 5
#define VE_CODEPAGE_KO 6
#define VE_CODEPAGE_88591 7
#define VE_CODEPAGE_1252 40
#define VE_CODEPAGE_TH 48 /* native side only, outside the name table */

/* One code page: its id in the name table (0 not in it), lead-byte scheme
 * and name. */
typedef struct VE_CODEPAGE_INFO {
    int32_t id;
    int32_t lead_byte_scheme;
    char name[VE_CODEPAGE_NAME_SIZE];
} VE_CODEPAGE_INFO;

/* Converts a NUL-terminated text in place within a buffer of size bytes,
 * using the map where the converter has one; returns 0, or -65 for a null
 * text. */
typedef int32_t (*VE_CODEPAGE_CONVERTER)(char *text, int32_t size, const int32_t *map);

/* The conversion context between the native side and the other side. */
typedef struct VE_CODEPAGE {
    VE_CODEPAGE_INFO native;
    VE_CODEPAGE_INFO other;
    int32_t convert;                             /* 1: text is converted between the two sides */
    int32_t map_to_native[VE_CODEPAGE_MAP_SIZE]; /* native byte per other byte 128..255 */
    int32_t map_to_other[VE_CODEPAGE_MAP_SIZE];  /* other byte per native byte 128..255 */
    VE_CODEPAGE_CONVERTER to_other;
    VE_CODEPAGE_CONVERTER to_native;
} VE_CODEPAGE;

/* Describes the machine's ANSI (ansi non-zero) or OEM code page; returns
 * the description, or null for a null one. */
ZEL_API VE_CODEPAGE_INFO *CODEPAGE_get(VE_CODEPAGE_INFO *info, int32_t ansi);
/* Finds the other side from the locale name's code set through word
 * word_index (0 to 6) of codepage.txt, decides conversion, builds the map to
 * the other side (single-byte native only) and installs the converters. The
 * native description must already be in the context. A multibyte native
 * page other than Big5, EUC-TW, Shift-JIS and EUC-JP has no converter and
 * never converts. 0; -1007 without
 * ZELHOME or codepage.txt; -1006 when a map cannot be built (conversion
 * off); -65 for a null argument; -66 for a word index outside 0 to 6. */
ZEL_API int32_t CODEPAGE_iomgrcpginit(const char *locale, int32_t word_index, VE_CODEPAGE *cp);
/* As CODEPAGE_iomgrcpginit after copying the native description into the
 * context, and builds both maps. */
ZEL_API int32_t CODEPAGE_svrcpginit(const char *locale, VE_CODEPAGE_INFO native, int32_t word_index,
                                    VE_CODEPAGE *cp);
/* Converts a text in place from the native side to the other side (tocpg)
 * or back (tonative) within size bytes, cutting it at a character boundary
 * when it grows. Does nothing when no converter is installed. 0, or -65. */
ZEL_API int32_t CODEPAGE_tocpg(char *text, int32_t size, const VE_CODEPAGE *cp);
ZEL_API int32_t CODEPAGE_tonative(char *text, int32_t size, const VE_CODEPAGE *cp);
/* By the native scheme: 0 the byte is a character by itself, 1 it starts a
 * two-byte character, 2 a four-byte one. */
ZEL_API int32_t CODEPAGE_isleadbyte(const VE_CODEPAGE *cp, unsigned char byte, unsigned char next);
/* Fold case in place by the native scheme, stepping over multibyte
 * characters; return the text. */
ZEL_API char *VES_ToUpper(char *text, const VE_CODEPAGE *cp);
ZEL_API char *VES_ToLower(char *text, const VE_CODEPAGE *cp);
/* Fold case of a text of the other side: converted to native, folded and
 * converted back when the context converts, else only folded. */
ZEL_API char *VES_CpgToLower(char *text, int32_t size, const VE_CODEPAGE *cp);
ZEL_API char *VES_CpgToUpper(char *text, int32_t size, const VE_CODEPAGE *cp);

#endif
