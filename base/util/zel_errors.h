// Engine status codes. Every function of the library returns 0 for success or
// one of these negative codes; 100 and 110 are the no-more-data results of the
// statement primitives. Stored routines raise the same codes offset by -20000.
// Keep the list sorted by number; one #define per line (merged as a union).
#ifndef ZEL_ERRORS_H
#define ZEL_ERRORS_H

#define ZE_SUCCESS 0                  /* success */
#define ZE_NO_MORE_ROWS (-4)          /* no more rows */
#define ZE_INVALID_LOGIN (-9)         /* user or password refused */
#define ZE_OUT_OF_MEMORY (-12)        /* out of memory (most code) */
#define ZE_BITSET_NO_MEMORY (-13)     /* out of memory while resizing a bit set */
#define ZE_COLUMN_EXISTS (-19)        /* column already exists */
#define ZE_LAYER_NOT_FOUND (-20)      /* no layer matches */
#define ZE_NO_PERMISSIONS (-25)       /* no permission */
#define ZE_TABLE_NOT_FOUND (-37)      /* table not found */
#define ZE_COLUMN_NOT_FOUND (-38)     /* column not found */
#define ZE_SYNTAX_ERROR (-42)         /* SQL syntax error */
#define ZE_DBMS_ERROR (-51)           /* DBMS I/O error; extended error record filled */
#define ZE_TABLE_EXISTS (-62)         /* table already exists */
#define ZE_INDEX_EXISTS (-63)         /* index already exists */
#define ZE_INDEX_NOT_FOUND (-64)      /* index not found */
#define ZE_NULL_POINTER (-65)         /* a required pointer is null */
#define ZE_INVALID_ARGUMENT (-66)     /* an argument is out of range */
#define ZE_DATABASE_NOT_FOUND (-158)  /* no data source or no connection */
#define ZE_BUFFER_NO_MEMORY (-999)    /* out of memory (buffer, feature, channel code) */
#define ZE_CODEPAGE_MAP_FAILED (-1006) /* a code-page map could not be built; no conversion */
#define ZE_CODEPAGE_NO_TABLE (-1007)   /* no ZELHOME or no codepage.txt; no conversion */

#define ZE_SP_OFFSET (-20000)         /* offset of codes raised by stored routines */

#endif
