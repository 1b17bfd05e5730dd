// TEMPORARY until identifier folding lands with the connection module.
#ifndef DB_NAMES_PENDING_H
#define DB_NAMES_PENDING_H
#include <stdint.h>
extern "C" char *db_identifier_to_lower(void *unused, char *text, int32_t size,
                                        int32_t by_codepage);
#endif
