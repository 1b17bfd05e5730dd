// SQL vocabulary of the DBMS for clients and SQL builders: the shape
// attribute functions, the reserved words a client must not use as names,
// constant answers for entry points this DBMS does not need, and the check of
// a user-given identifier.
#ifndef DB_VOCAB_H
#define DB_VOCAB_H

#include <stdint.h>

#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#define DB_SHAPE_ATTR_COUNT 14
#define DB_SHAPE_ATTR_NAME_SIZE 32
#define DB_RESERVED_KEYWORD_COUNT 114
#define DB_RESERVED_KEYWORD_SIZE 32
#define DB_DBMS_PROPERTIES 43

typedef char DB_SHAPE_ATTR_NAME[DB_SHAPE_ATTR_NAME_SIZE];

// Hands out a heap block of the 14 shape attribute names (the caller frees
// it); the first 13 are calls on a "%s" placeholder, the last is bare. The
// flag word is set to 0. Returns 0, or -12 without an array output or when the
// block cannot be allocated (count then 0).
ZEL_API int32_t DB_dbms_shape_attr_name(int32_t *flags, int32_t *count, DB_SHAPE_ATTR_NAME **names);
// Hands out a heap array of the 114 reserved words, each in its own 32-byte
// heap block (the caller frees each and the array). Returns 0; -66 when an
// output is absent; -12 (count 0, nothing kept).
ZEL_API int32_t DB_dbms_get_reserved_keyword_list(int32_t *count, char ***words);

ZEL_API int32_t DB_dbms_get_properties(void);
ZEL_API int32_t DB_dbms_is_case_sensitive(void);
// Writes "NLS_LANG" (at least 9 bytes); returns 0, -65 for a null output.
ZEL_API int32_t DB_dbms_get_nlsenv(char *name);
ZEL_API int32_t DB_dbms_shape_attr_name_resolve(void);
ZEL_API int32_t DB_update_sdodim_table(void);
ZEL_API int32_t DB_convert_binary_layer(void);
ZEL_API int32_t DB_convert_binary_table(void);
ZEL_API int32_t DB_initialize_new_thread(void);
ZEL_API int32_t DB_sqltype_create_index(void);

#endif
