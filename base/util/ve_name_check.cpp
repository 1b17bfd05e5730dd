// Name checks, case changes and blank trimming (base/util/ve_name_check.h).
#include "base/util/ve_name_check.h"

#include <ctype.h>
#include <string.h>

#include "base/util/zel_errors.h"

static const char S_NAME_CHARACTERS[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-";

int32_t VES_name_check(const char *name, int32_t kind)
{
    if (name == nullptr || name[0] == '\0')
        return ZE_FAILURE;
    bool wide = kind == 1;
    size_t limit = wide ? 32 : 14;
    // Bounded scan: a name longer than the limit is refused without reading
    // the rest of it.
    size_t length = strnlen(name, limit + 1);
    if (length > limit)
        return ZE_FAILURE;
    for (size_t i = 0; i < length; i++) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (c >= 128) {
            if (!wide)
                return ZE_FAILURE;
            continue;
        }
        if (strchr(S_NAME_CHARACTERS, c) == nullptr)
            return ZE_FAILURE;
    }
    return 0;
}

// Replaces, in place, every byte of the class by its converted form.
static char *S_change_case(char *text, int (*in_class)(int), int (*convert)(int))
{
    if (text == nullptr)
        return nullptr;
    for (char *c = text; *c != '\0'; c++)
        if (in_class(static_cast<unsigned char>(*c)))
            *c = static_cast<char>(convert(static_cast<unsigned char>(*c)));
    return text;
}

char *VES_UpperCase(char *text)
{
    return S_change_case(text, islower, toupper);
}

char *VES_LowerCase(char *text)
{
    return S_change_case(text, isupper, tolower);
}

static bool S_is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

void VES_RemoveSpaces(char *text)
{
    if (text == nullptr)
        return;
    size_t end = strlen(text);
    while (end > 0 && S_is_blank(text[end - 1]))
        end--;
    text[end] = '\0';
    size_t start = 0;
    while (start < end && S_is_blank(text[start]))
        start++;
    if (start > 0)
        memmove(text, text + start, end - start + 1);
}
