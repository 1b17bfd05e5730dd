// TEMPORARY stand-in until identifier folding lands with the connection module.
#include "db/core/db_names_pending.h"
#include <ctype.h>
extern "C" __attribute__((weak)) char *db_identifier_to_lower(void *, char *text, int32_t, int32_t)
{
    for (char *p = text; *p; ++p)
        *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
    return text;
}
