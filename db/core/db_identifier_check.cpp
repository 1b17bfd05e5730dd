// Identifier check. The first character must be a letter or an underscore;
// later ones letters, digits, '_', '$', ':' or '.'. Multibyte characters are
// accepted whole when their trail bytes are trail bytes; some single-byte
// code pages accept their upper half too.
#include "db/core/db_identifier_check_internal.h"

#include <ctype.h>
#include <string.h>

#include <string>
#include <string_view>

#include "base/util/ve_codepage.h"
#include "base/util/zel_errors.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_names_internal.h"

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

// A byte after a lead byte: every multibyte code page puts its trail bytes
// at 0x40 and above, so quotes, semicolons, blanks, '-', '/' and '*' are
// never one; Informix's comment braces and DEL are refused there too, so no
// code page the server may read the text in sees SQL syntax inside a name.
static bool S_trail_byte_ok(unsigned char c)
{
    return c >= 0x40 && c != 0x7F && c != '{' && c != '}';
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
                for (size_t k = 1; k < width; k++)
                    if (!S_trail_byte_ok(text[i + k]))
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

int32_t db_check_name(const char *name, size_t size)
{
    if (name == nullptr)
        return ZE_NULL_POINTER;
    size_t length = strnlen(name, size);
    if (length == 0 || length >= size)
        return ZE_INVALID_ARGUMENT;
    return DB_check_identifier(nullptr, name);
}

// One part of a table name: empty (when allowed) or an identifier that fits.
static int32_t S_check_part(std::string_view part, size_t size, bool required)
{
    if (part.empty())
        return required ? ZE_INVALID_ARGUMENT : ZE_SUCCESS;
    if (part.size() >= size)
        return ZE_INVALID_ARGUMENT;
    return DB_check_identifier(nullptr, std::string(part).c_str());
}

int32_t db_check_table_name(const char *name)
{
    if (name == nullptr)
        return ZE_NULL_POINTER;
    std::string_view text(name);
    std::string_view database, owner, table = text;
    size_t point = text.rfind('.');
    if (point != std::string_view::npos) {
        table = text.substr(point + 1);
        owner = text.substr(0, point);
        size_t colon = owner.rfind(':');
        if (colon != std::string_view::npos) {
            database = owner.substr(0, colon);
            owner = owner.substr(colon + 1);
        }
        if (owner.size() >= 2 && owner.front() == '\'' && owner.back() == '\'')
            owner = owner.substr(1, owner.size() - 2);
    }
    int32_t rc = S_check_part(database, DB_NAME_DATABASE_SIZE, false);
    if (rc == ZE_SUCCESS)
        rc = S_check_part(owner, DB_NAME_OWNER_SIZE, point != std::string_view::npos);
    if (rc == ZE_SUCCESS)
        rc = S_check_part(table, DB_NAME_TABLE_SIZE, true);
    return rc;
}
