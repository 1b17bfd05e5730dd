// Case folding in place by a code-page context: single bytes are folded by
// the C library's classes, multibyte characters (told by their lead bytes)
// are stepped over whole, and the walk stops at the terminator even when a
// lead byte comes just before it.
#include "base/util/ve_codepage.h"

#include <ctype.h>

static char *S_fold(char *text, const VE_CODEPAGE *cp, int (*fold)(int))
{
    if (text == nullptr)
        return nullptr;
    auto *p = reinterpret_cast<unsigned char *>(text);
    bool multibyte = cp != nullptr && cp->native.lead_byte_scheme != VE_CODEPAGE_SINGLE_BYTE;
    while (*p != '\0') {
        int32_t lead = multibyte ? CODEPAGE_isleadbyte(cp, p[0], p[1]) : 0;
        if (lead == 0) {
            *p = static_cast<unsigned char>(fold(*p));
            p++;
            continue;
        }
        int width = lead == 1 ? 2 : 4;
        for (int i = 1; i < width; i++)
            if (p[i] == '\0')
                return text; // a character cut by the end of the text
        p += width;
    }
    return text;
}

char *VES_ToUpper(char *text, const VE_CODEPAGE *cp)
{
    return S_fold(text, cp, toupper);
}

char *VES_ToLower(char *text, const VE_CODEPAGE *cp)
{
    return S_fold(text, cp, tolower);
}

// Folds a text of the other side, through the native page when converting.
static char *S_cpg_fold(char *text, int32_t size, const VE_CODEPAGE *cp, int (*fold)(int))
{
    if (text == nullptr)
        return nullptr;
    if (cp == nullptr || cp->convert == 0)
        return S_fold(text, cp, fold);
    CODEPAGE_tonative(text, size, cp);
    S_fold(text, cp, fold);
    CODEPAGE_tocpg(text, size, cp);
    return text;
}

char *VES_CpgToLower(char *text, int32_t size, const VE_CODEPAGE *cp)
{
    return S_cpg_fold(text, size, cp, tolower);
}

char *VES_CpgToUpper(char *text, int32_t size, const VE_CODEPAGE *cp)
{
    return S_cpg_fold(text, size, cp, toupper);
}
