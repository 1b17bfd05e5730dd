// DBMS properties: the identity and release texts of the DBMS this library is
// built for, the SQL function vocabulary offered to clients, the rules that
// qualify names, and the DBMS's own names of the CLI SQL types.
#ifndef DB_DBMS_H
#define DB_DBMS_H

#include <stdint.h>

#include "base/util/zel_export.h"

#define DB_DBMS_ID_INFORMIX 2
#define DB_DBMS_REV_SIZE 64 // room for each text of DB_dbms_get_rev
#define DB_DBMS_FUNCTION_COUNT 57
#define DB_DBMS_FUNCTION_NAME_SIZE 32
#define DB_DBMS_QUALIFY_RULES 63
#define DB_DBMS_QUALIFY_SEPARATORS ":.."

ZEL_API int32_t DB_dbms_get_id(void);
// Writes "Informix/IDS"; returns 0, or -65 for a null output.
ZEL_API int32_t DB_dbms_get_name(char *name);
// Writes the release text, the build date and the build text into three
// buffers of at least DB_DBMS_REV_SIZE bytes; null outputs are skipped.
ZEL_API void DB_dbms_get_rev(char *release, char *date, char *build);
// Hands out a heap array of the 57 SQL function names (each its own 32-byte
// heap block; the caller frees each and the array). The count is set to 57
// first. Returns 0, -66 without an array output, -12 (count 0, nothing kept).
ZEL_API int32_t DB_dbms_get_function_name(int32_t *count, char ***names);
// Returns 0, or -66 when either output is absent; the separator text needs
// sizeof(DB_DBMS_QUALIFY_SEPARATORS) bytes.
ZEL_API int32_t DB_dbms_get_qualify_rules(int32_t *rules, char *separators);

#endif
