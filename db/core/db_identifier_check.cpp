// Identifier check. The first character must be a letter or an underscore;
// later ones letters, digits, '_', '$', ':' or '.'. Multibyte characters are
// accepted whole; some single-byte code pages accept their upper half too.
#include "db/core/db_identifier_check.h"

#include <ctype.h>
#include <string.h>

#include <string>

#include "base/util/ve_codepage.h"
#include "base/util/zel_errors.h"
#include "db/core/db_identifier_internal.h"

// Code pages whose bytes from 128 up are all letters of identifiers.
static bool S_upper_half_is_letters(int32_t id)
{
    return id == 12 || id == 34 || id == 35 || id == 44 || id == 48;
}

static bool S_later_byte_ok(unsigned char c, int32_t id)
{
    if (isalnum(c) || c == '_' || c == '$' || c == ':' || c == '.')
        return true;
    if (c >= 128 && S_upper_half_is_letters(id))
        return true;
    return id == 43 && (c == 253 || c == 254);
}

int32_t DB_check_identifier(DB_INSTANCE *, const char *identifier)
{
    if (!identifier || !*identifier)
        return ZE_SUCCESS;
    std::string copy(identifier);
    const VE_CODEPAGE *context = db_identifier_codepage;
    VE_CODEPAGE judge{};
    if (context) {
        judge = *context;
        bool other_multibyte = context->other.lead_byte_scheme != VE_CODEPAGE_SINGLE_BYTE;
        if (context->convert && !other_multibyte) {
            copy.resize(copy.size() * 2 + 8);
            CODEPAGE_tonative(copy.data(), static_cast<int32_t>(copy.size()), context);
            copy.resize(strlen(copy.c_str()));
        }
        // Classify by the native side only when the other side is multibyte
        // and converted; else by the other side's own description.
        if (!(context->convert && other_multibyte))
            judge.native = context->other;
    } else {
        judge.native.id = VE_CODEPAGE_1252;
        judge.native.lead_byte_scheme = VE_CODEPAGE_SINGLE_BYTE;
    }
    const int32_t id = judge.native.id;
    const bool multibyte = judge.native.lead_byte_scheme != VE_CODEPAGE_SINGLE_BYTE;
    const auto *text = reinterpret_cast<const unsigned char *>(copy.c_str());
    const size_t length = copy.size();
    for (size_t i = 0; i < length;) {
        if (multibyte) {
            unsigned char next = i + 1 < length ? text[i + 1] : 0;
            int32_t kind = CODEPAGE_isleadbyte(&judge, text[i], next);
            size_t width = kind == 1 ? 2 : kind == 2 ? 4 : 1;
            if (width > 1) {
                // A character cut short by the end of the text is no character.
                if (i + width > length)
                    return ZE_INVALID_IDENTIFIER;
                i += width;
                continue;
            }
        }
        unsigned char c = text[i];
        bool ok = i == 0 ? (isalpha(c) || c == '_') : S_later_byte_ok(c, id);
        if (!ok)
            return ZE_INVALID_IDENTIFIER;
        ++i;
    }
    return ZE_SUCCESS;
}
