// The code-page context: the name table, the machine's code pages, the
// decision whether two sides convert, the maps of single-byte pages built
// from the code-page files under ZELHOME, the converters that go with the
// native page, and lead bytes. The file forms are described in ve_codepage.h.
#include "base/util/ve_codepage_internal.h"

#include "base/util/ve_codepage_internal.h"
#include "base/util/ve_hash_table_internal.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "platform/plat_codepage_internal.h"

#include <ctype.h>
#include <errno.h>
#include <memory>
#include <new>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

// Names by id (position from 1).
static const char *const S_names[] = {
    "big5",  "tw_euc", "zh",    "sjis",  "jpn_euc", "ko",     "88591",  "88592",  "88593",  "88594",
    "88595", "88596",  "88597", "88598", "88599",   "885910", "885913", "885915", "roman8", "437",
    "850",   "851",    "852",   "855",   "857",     "860",    "861",    "862",    "863",    "864",
    "865",   "866",    "869",   "708",   "720",     "737",    "775",    "1250",   "1251",   "1252",
    "1253",  "1254",   "1255",  "1256",  "1257",    "1258"};
static const int32_t S_name_count = static_cast<int32_t>(sizeof S_names / sizeof S_names[0]);

// The id of a name of the table (exact), 0 when it is not there.
static int32_t S_id_of(const char *name)
{
    for (int32_t i = 0; i < S_name_count; i++)
        if (strcmp(S_names[i], name) == 0)
            return i + 1;
    return 0;
}

static int32_t S_scheme_of(int32_t id)
{
    if (id == VE_CODEPAGE_TW_EUC)
        return VE_CODEPAGE_EUC_FOUR_BYTE;
    if ((id >= VE_CODEPAGE_BIG5 && id <= VE_CODEPAGE_KO) || id == 0)
        return VE_CODEPAGE_DOUBLE_BYTE;
    return VE_CODEPAGE_SINGLE_BYTE;
}

static void S_describe(VE_CODEPAGE_INFO *info, int32_t id, const char *name)
{
    memset(info, 0, sizeof *info);
    info->id = id;
    info->lead_byte_scheme = S_scheme_of(id);
    size_t length = strnlen(name, sizeof info->name - 1);
    memcpy(info->name, name, length); // longer names are cut to the field
}

VE_CODEPAGE_INFO *CODEPAGE_get(VE_CODEPAGE_INFO *info, int32_t ansi)
{
    if (info == nullptr)
        return nullptr;
    int32_t page = ansi != 0 ? plat_get_acp() : plat_get_oemcp();
    if (page == 874) {
        S_describe(info, VE_CODEPAGE_TH, "th");
        return info;
    }
    const char *name = nullptr;
    switch (page) {
    case 932:
        name = "sjis";
        break;
    case 936:
        name = "zh";
        break;
    case 949:
        name = "ko";
        break;
    case 950:
        name = "big5";
        break;
    default:
        break;
    }
    char digits[16];
    if (name == nullptr) {
        static const int32_t oem_pages[] = {437, 708, 720, 737, 775, 850, 851, 852, 855,
                                            857, 860, 861, 862, 863, 864, 865, 866, 869};
        bool known = false;
        if (ansi != 0) {
            known = page >= 1250 && page <= 1258;
        } else {
            for (int32_t p : oem_pages)
                known = known || p == page;
        }
        snprintf(digits, sizeof digits, "%d", known ? page : (ansi != 0 ? 1252 : 437));
        name = digits;
    }
    S_describe(info, S_id_of(name), name);
    return info;
}

// ---- code-page files ----

int32_t codepage_read_file(const char *path, std::string *text)
{
    std::unique_ptr<FILE, int (*)(FILE *)> file(fopen(path, "rbe"), fclose);
    if (!file)
        return -1;
    try {
        text->clear();
        char chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, file.get())) > 0)
            text->append(chunk, n);
    } catch (const std::bad_alloc &) {
        errno = ENOMEM;
        return -1;
    }
    return ferror(file.get()) ? -1 : 0;
}

// The next whitespace-separated word from pos; false at the end.
static bool S_next_word(const char *text, size_t length, size_t *pos, const char **word,
                        size_t *word_length)
{
    size_t i = *pos;
    while (i < length && isspace(static_cast<unsigned char>(text[i])))
        i++;
    if (i >= length)
        return false;
    size_t start = i;
    while (i < length && !isspace(static_cast<unsigned char>(text[i])))
        i++;
    *word = text + start;
    *word_length = i - start;
    *pos = i;
    return true;
}

int32_t codepage_find_record(const char *text, size_t length, int32_t word_index,
                             const char *codeset, std::string *first_word)
{
    if (word_index < 0 || word_index >= CODEPAGE_RECORD_WORDS)
        return ZE_INVALID_ARGUMENT;
    size_t codeset_length = strlen(codeset);
    size_t pos = 0;
    for (;;) {
        const char *words[CODEPAGE_RECORD_WORDS];
        size_t lengths[CODEPAGE_RECORD_WORDS];
        for (int32_t w = 0; w < CODEPAGE_RECORD_WORDS; w++)
            if (!S_next_word(text, length, &pos, &words[w], &lengths[w]))
                return 0; // an incomplete last record matches nothing
        if (lengths[word_index] == codeset_length &&
            strncasecmp(words[word_index], codeset, codeset_length) == 0) {
            first_word->assign(words[0], lengths[0]);
            return 1;
        }
    }
}

static bool S_hex_word(const char *word, size_t length, size_t digits)
{
    if (length != digits)
        return false;
    for (size_t i = 0; i < length; i++)
        if (!isxdigit(static_cast<unsigned char>(word[i])))
            return false;
    return true;
}

int32_t codepage_parse_map(const char *text, size_t length, CODEPAGE_PAIR pairs[128])
{
    size_t pos = 0;
    int32_t count = 0;
    while (count < VE_CODEPAGE_MAP_SIZE) {
        const char *byte_word, *unicode_word;
        size_t byte_length, unicode_length;
        if (!S_next_word(text, length, &pos, &byte_word, &byte_length) ||
            !S_next_word(text, length, &pos, &unicode_word, &unicode_length))
            break;
        CODEPAGE_PAIR &pair = pairs[count++];
        memset(&pair, 0, sizeof pair);
        if (!S_hex_word(byte_word, byte_length, 2) || !S_hex_word(unicode_word, unicode_length, 4))
            continue;
        pair.valid = 1;
        char hex[3] = {byte_word[0], byte_word[1], '\0'};
        pair.byte = static_cast<int32_t>(strtol(hex, nullptr, 16));
        for (size_t i = 0; i < 4; i++)
            pair.unicode[i] =
                static_cast<char>(tolower(static_cast<unsigned char>(unicode_word[i])));
    }
    return count;
}

// A hash record: the Unicode text (the key) then the byte text.
constexpr int32_t kMapKeyLength = 4;
constexpr int32_t kMapRecordSize = 6;
constexpr int64_t kMapMinSlots = 180;

int32_t codepage_build_map(const CODEPAGE_PAIR *a, int32_t a_count, const CODEPAGE_PAIR *b,
                           int32_t b_count, const char *directory, int32_t map[128])
{
    std::unique_ptr<HT_TABLE, int32_t (*)(HT_TABLE *)> table(
        ht_open_temp(directory, "zel", 1, kMapKeyLength, kMapRecordSize, kMapMinSlots), ht_close);
    if (!table)
        return ZE_CODEPAGE_MAP_FAILED;
    for (int32_t i = 0; i < b_count && i < VE_CODEPAGE_MAP_SIZE; i++) {
        if (!b[i].valid)
            continue;
        char record[kMapRecordSize + 1];
        snprintf(record, sizeof record, "%s%02x", b[i].unicode, static_cast<unsigned>(b[i].byte));
        if (ht_search(table.get(), record, HT_MODE_INSERT) < 0)
            return ZE_CODEPAGE_MAP_FAILED;
    }
    for (int32_t i = 0; i < VE_CODEPAGE_MAP_SIZE; i++) {
        map[i] = '?';
        if (i >= a_count || !a[i].valid)
            continue;
        char record[kMapRecordSize + 1] = {0};
        memcpy(record, a[i].unicode, kMapKeyLength);
        if (ht_search(table.get(), record, HT_MODE_FIND) > 0) {
            char hex[3] = {record[4], record[5], '\0'};
            map[i] = static_cast<int32_t>(strtol(hex, nullptr, 16));
        }
    }
    return 0;
}

// ---- initialisation ----

// A code-page name fit to name a mapping file.
static bool S_file_name_ok(const char *name)
{
    if (*name == '\0')
        return false;
    for (const char *p = name; *p != '\0'; p++)
        if (!isalnum(static_cast<unsigned char>(*p)) && *p != '_')
            return false;
    return true;
}

// Reads the mapping file of a page into pairs; the count, or -1 (printed).
static int32_t S_read_map_file(const char *home, const char *name, CODEPAGE_PAIR pairs[128])
{
    if (!S_file_name_ok(name))
        return -1;
    std::string path = std::string(home) + "/locale/codepage/" + name + ".txt";
    std::string text;
    if (codepage_read_file(path.c_str(), &text) != 0) {
        perror("OPEN");
        return -1;
    }
    return codepage_parse_map(text.data(), text.size(), pairs);
}

// Builds the map from page A to page B into map.
static int32_t S_build_map(const char *home, const VE_CODEPAGE_INFO &a, const VE_CODEPAGE_INFO &b,
                           int32_t map[128])
{
    CODEPAGE_PAIR b_pairs[VE_CODEPAGE_MAP_SIZE], a_pairs[VE_CODEPAGE_MAP_SIZE];
    int32_t b_count = S_read_map_file(home, b.name, b_pairs);
    if (b_count < 0)
        return ZE_CODEPAGE_MAP_FAILED;
    int32_t a_count = S_read_map_file(home, a.name, a_pairs);
    if (a_count < 0)
        return ZE_CODEPAGE_MAP_FAILED;
    const char *temp = getenv("TEMP");
    return codepage_build_map(a_pairs, a_count, b_pairs, b_count,
                              temp != nullptr && *temp != '\0' ? temp : "/tmp", map);
}

// Whether text converts between the native page and the other side's page.
static bool S_converts(int32_t native, int32_t other)
{
    if (other == 0 || other == native)
        return false;
    switch (other) {
    case VE_CODEPAGE_ZH:
    case VE_CODEPAGE_KO:
        return false;
    case VE_CODEPAGE_BIG5:
        return native == VE_CODEPAGE_TW_EUC;
    case VE_CODEPAGE_TW_EUC:
        return native == VE_CODEPAGE_BIG5;
    case VE_CODEPAGE_SJIS:
        return native == VE_CODEPAGE_JPN_EUC;
    case VE_CODEPAGE_JPN_EUC:
        return native == VE_CODEPAGE_SJIS;
    case VE_CODEPAGE_88591:
        return native != VE_CODEPAGE_1252;
    case VE_CODEPAGE_1252:
        return native != VE_CODEPAGE_88591;
    default:
        return true;
    }
}

// Whether the native page converts by arithmetic or through iconv rather
// than through a map.
static bool S_has_converter(int32_t native)
{
    return native == VE_CODEPAGE_BIG5 || native == VE_CODEPAGE_TW_EUC ||
           native == VE_CODEPAGE_SJIS || native == VE_CODEPAGE_JPN_EUC;
}

static void S_install_converters(VE_CODEPAGE *cp)
{
    switch (cp->native.id) {
    case VE_CODEPAGE_BIG5:
        cp->to_other = codepage_big5_to_euctw;
        cp->to_native = codepage_euctw_to_big5;
        break;
    case VE_CODEPAGE_TW_EUC:
        cp->to_other = codepage_euctw_to_big5;
        cp->to_native = codepage_big5_to_euctw;
        break;
    case VE_CODEPAGE_SJIS:
        cp->to_other = codepage_sjis_to_eucjp;
        cp->to_native = codepage_eucjp_to_sjis;
        break;
    case VE_CODEPAGE_JPN_EUC:
        cp->to_other = codepage_eucjp_to_sjis;
        cp->to_native = codepage_sjis_to_eucjp;
        break;
    default:
        cp->to_other = codepage_map_convert;
        cp->to_native = codepage_map_convert;
        break;
    }
}

static int32_t S_init(const char *locale, int32_t word_index, VE_CODEPAGE *cp, bool both_maps)
{
    cp->convert = 0;
    cp->to_other = nullptr;
    cp->to_native = nullptr;
    S_describe(&cp->other, 0, "");
    if (word_index < 0 || word_index >= CODEPAGE_RECORD_WORDS)
        return ZE_INVALID_ARGUMENT;
    const char *point = strrchr(locale, '.');
    const char *codeset = point != nullptr ? point + 1 : locale;

    const char *home = getenv("ZELHOME");
    if (home == nullptr)
        return ZE_CODEPAGE_NO_TABLE;
    std::string text;
    if (codepage_read_file((std::string(home) + "/locale/codepage/codepage.txt").c_str(), &text) !=
        0) {
        perror("OPEN");
        return ZE_CODEPAGE_NO_TABLE;
    }
    std::string first_word;
    if (codepage_find_record(text.data(), text.size(), word_index, codeset, &first_word) != 1)
        return 0;
    S_describe(&cp->other, S_id_of(first_word.c_str()), first_word.c_str());
    if (!S_converts(cp->native.id, cp->other.id))
        return 0;
    // A multibyte native page without a converter of its own ("zh", "ko")
    // has no map either: the map converter would overwrite every byte of its
    // characters with whatever the context held, so its text is left alone.
    if (cp->native.lead_byte_scheme != VE_CODEPAGE_SINGLE_BYTE && !S_has_converter(cp->native.id))
        return 0;

    if (cp->native.lead_byte_scheme == VE_CODEPAGE_SINGLE_BYTE) {
        if (S_build_map(home, cp->native, cp->other, cp->map_to_other) != 0 ||
            (both_maps && S_build_map(home, cp->other, cp->native, cp->map_to_native) != 0))
            return ZE_CODEPAGE_MAP_FAILED;
    }
    cp->convert = 1;
    S_install_converters(cp);
    return 0;
}

int32_t CODEPAGE_iomgrcpginit(const char *locale, int32_t word_index, VE_CODEPAGE *cp)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (locale == nullptr || cp == nullptr)
            return ZE_NULL_POINTER;
        cp->native.name[VE_CODEPAGE_NAME_SIZE - 1] = '\0';
        return S_init(locale, word_index, cp, false);
    });
}

int32_t CODEPAGE_svrcpginit(const char *locale, VE_CODEPAGE_INFO native, int32_t word_index,
                            VE_CODEPAGE *cp)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (locale == nullptr || cp == nullptr)
            return ZE_NULL_POINTER;
        cp->native = native;
        cp->native.name[VE_CODEPAGE_NAME_SIZE - 1] = '\0';
        return S_init(locale, word_index, cp, true);
    });
}

// ---- converting and lead bytes ----

int32_t CODEPAGE_tocpg(char *text, int32_t size, const VE_CODEPAGE *cp)
{
    if (text == nullptr || cp == nullptr)
        return ZE_NULL_POINTER;
    return cp->to_other != nullptr ? cp->to_other(text, size, cp->map_to_other) : 0;
}

int32_t CODEPAGE_tonative(char *text, int32_t size, const VE_CODEPAGE *cp)
{
    if (text == nullptr || cp == nullptr)
        return ZE_NULL_POINTER;
    return cp->to_native != nullptr ? cp->to_native(text, size, cp->map_to_native) : 0;
}

int32_t CODEPAGE_isleadbyte(const VE_CODEPAGE *cp, unsigned char byte, unsigned char next)
{
    if (cp == nullptr || byte < 128)
        return 0;
    switch (cp->native.lead_byte_scheme) {
    case VE_CODEPAGE_DOUBLE_BYTE:
        if (cp->native.id == VE_CODEPAGE_SJIS && byte >= 160 && byte <= 223)
            return 0; // half-width katakana
        return 1;
    case VE_CODEPAGE_EUC_FOUR_BYTE:
        return byte == 0x8E && (next == 0xA2 || next == 0xAE) ? 2 : 1;
    default:
        return 0;
    }
}
