// Identifier case folding through the connection's code page (db_identifier_internal.h).
#include "db/core/db_identifier_internal.h"

const VE_CODEPAGE *db_identifier_codepage;

typedef char *(*S_fold)(char *text, const VE_CODEPAGE *cp);

static char *S_fold_by_codepage(char *text, int32_t size, S_fold fold)
{
    const VE_CODEPAGE *cp = db_identifier_codepage;
    if (text == nullptr || cp == nullptr)
        return text;
    if (!cp->convert)
        return fold(text, cp);
    if (cp->native.lead_byte_scheme == VE_CODEPAGE_SINGLE_BYTE) {
        CODEPAGE_tonative(text, size, cp);
        fold(text, cp);
        CODEPAGE_tocpg(text, size, cp);
        return text;
    }
    // A multibyte native page: the text stays in the other side's code page,
    // so its characters are stepped over by that side's lead-byte scheme.
    VE_CODEPAGE other = *cp;
    other.native = cp->other;
    return fold(text, &other);
}

char *db_identifier_to_upper(void *, char *text, int32_t size)
{
    return S_fold_by_codepage(text, size, VES_ToUpper);
}

char *db_identifier_to_lower(void *, char *text, int32_t size, int32_t by_codepage)
{
    if (by_codepage)
        return S_fold_by_codepage(text, size, VES_ToLower);
    if (text == nullptr || db_identifier_codepage == nullptr)
        return text;
    return VES_ToLower(text, db_identifier_codepage);
}
