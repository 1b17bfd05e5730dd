// Case folding of identifiers through the connection's code page: texts of
// the database side are folded on the native side (converted there and back
// for a single-byte native page), never splitting a multibyte character.
#ifndef DB_IDENTIFIER_INTERNAL_H
#define DB_IDENTIFIER_INTERNAL_H

#include <stdint.h>

#include "base/util/ve_codepage.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The connection's code-page context: the instance open points it at its
 * copy, the close clears it. Without one identifiers are left as they are. */
extern const VE_CODEPAGE *db_identifier_codepage;

/* Fold text in place within size bytes and return it. */
char *db_identifier_to_upper(void *unused, char *text, int32_t size);
/* With by_codepage clear, folds by the native description only. */
char *db_identifier_to_lower(void *unused, char *text, int32_t size, int32_t by_codepage);

#ifdef __cplusplus
}
#endif

#endif
