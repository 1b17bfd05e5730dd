// Formatting operations shared by every record printer, and the printers of
// envelopes and ranges.
#include "base/util/ve_list_internal.h"

#include <string.h>
#include <time.h>

#include <string>

#include "base/util/zel_errors.h"

static const char *S_indent(const char *indent)
{
    return indent == nullptr ? "" : indent;
}

int32_t ves_list_indent(const char *indent, char *out, int32_t extra)
{
    int32_t width = extra;
    for (const char *p = S_indent(indent); *p != '\0'; ++p)
        width += (*p == '\t') ? 8 : 1;
    if (width < 0)
        width = 0;
    // A trace line never needs more; the cap keeps the copy inside out.
    if (width > VE_LIST_TEXT_SIZE - 1)
        width = VE_LIST_TEXT_SIZE - 1;
    if (out != nullptr) {
        memset(out, ' ', static_cast<size_t>(width));
        out[width] = '\0';
    }
    return width;
}

const char *ves_list_quoted_string(const char *text)
{
    static char s_buffer[VE_LIST_QUOTED_MAX + 8];
    if (text == nullptr)
        return "<null>";
    size_t length = strnlen(text, VE_LIST_QUOTED_MAX + 1);
    bool cut = length > VE_LIST_QUOTED_MAX;
    if (cut)
        length = VE_LIST_QUOTED_MAX;
    s_buffer[0] = '"';
    memcpy(s_buffer + 1, text, length);
    size_t at = length + 1;
    if (cut) {
        memcpy(s_buffer + at, "...", 3);
        at += 3;
    }
    s_buffer[at++] = '"';
    s_buffer[at] = '\0';
    return s_buffer;
}

void ves_list_time(uint32_t seconds, char *out, size_t size, const char *format)
{
    if (out == nullptr || size == 0)
        return;
    out[0] = '\0';
    time_t when = static_cast<time_t>(seconds);
    struct tm local;
    if (localtime_r(&when, &local) == nullptr)
        return;
    if (strftime(out, size, format == nullptr ? "%c" : format, &local) == 0)
        out[0] = '\0';
}

const char *ves_list_entity_name(int32_t entity)
{
    switch (entity) {
    case 0:
        return "Nil         ";
    case 1:
        return "Point       ";
    case 2:
        return "Line        ";
    case 4:
        return "Simple Line ";
    case 8:
        return "Area        ";
    case 257:
        return "Multi Point ";
    case 258:
        return "MultiLine   ";
    case 260:
        return "MultiSimpleLine";
    case 264:
        return "Multi Area  ";
    default:
        return "Unknown Type";
    }
}

struct S_Letter {
    int bit;
    char letter;
};

static const S_Letter S_letters[] = {
    {0, 'n'},  {1, 'p'},  {2, 's'},  {3, 'l'},  {4, 'a'},  {21, 'A'},
    {22, 'c'}, {16, '3'}, {18, '+'}, {19, 'M'}, {23, 'N'},
};
// 'N' is accepted when parsing but never printed.
static const size_t S_printed_letters = sizeof(S_letters) / sizeof(S_letters[0]) - 1;

void ves_list_entity_letters(uint32_t mask, char *out)
{
    if (out == nullptr)
        return;
    size_t at = 0;
    for (size_t i = 0; i < S_printed_letters; ++i)
        if (mask & (1u << S_letters[i].bit))
            out[at++] = S_letters[i].letter;
    out[at] = '\0';
}

int32_t ves_list_parse_entity_letters(const char *letters, uint32_t *mask)
{
    if (letters == nullptr || mask == nullptr)
        return ZE_INVALID_ARGUMENT;
    uint32_t result = 0;
    for (const char *p = letters; *p != '\0'; ++p) {
        size_t i = 0;
        while (i < sizeof(S_letters) / sizeof(S_letters[0]) && S_letters[i].letter != *p)
            ++i;
        if (i == sizeof(S_letters) / sizeof(S_letters[0]))
            return ZE_INVALID_ARGUMENT;
        result |= 1u << S_letters[i].bit;
    }
    *mask = result;
    return 0;
}

static void S_copy_out(const std::string &text, char *out)
{
    size_t length = text.size() < VE_LIST_TEXT_SIZE - 1 ? text.size() : VE_LIST_TEXT_SIZE - 1;
    memcpy(out, text.data(), length);
    out[length] = '\0';
}

static void S_join(std::string &text, const char *item)
{
    if (!text.empty())
        text += ", ";
    text += item;
}

void ves_list_storage_kinds(uint32_t mask, char *out)
{
    if (out == nullptr)
        return;
    std::string text;
    if (mask & (1u << 27))
        S_join(text, "Spatial");
    if (mask & (1u << 24))
        S_join(text, "ZEL_Binary");
    if (mask & (1u << 28))
        S_join(text, "ZEL_LOB");
    if (mask & (1u << 23))
        S_join(text, "Normalized");
    if (mask & (1u << 25))
        S_join(text, "WKB");
    if (mask & (1u << 26))
        S_join(text, (mask & (1u << 27)) ? "SQL_External" : "SQL");
    S_copy_out(text.empty() ? std::string("Unknown") : text, out);
}

static std::string S_number(const char *prefix, double value)
{
    char buffer[64];
    snprintf(buffer, sizeof(buffer), "%s%*.*g", prefix, 1, 15, value);
    return buffer;
}

void ves_list_spatial_index_text(int32_t kind, const double grid[3], int32_t labelled, char *out)
{
    if (out == nullptr)
        return;
    static const double s_zero[3] = {0.0, 0.0, 0.0};
    if (grid == nullptr)
        grid = s_zero;
    std::string text;
    switch (kind) {
    case 1:
        text = "SPIDX_GRID";
        if (labelled) {
            if (grid[0] > 0) {
                text += S_number(",GRID0=", grid[0]);
                if (grid[1] > 0) {
                    text += S_number(",GRID1=", grid[1]);
                    if (grid[2] > 0)
                        text += S_number(",GRID2=", grid[2]);
                }
            }
        } else {
            text += S_number(",", grid[0]);
            if (grid[1] > 0)
                text += S_number(",", grid[1]);
            if (grid[2] > 0)
                text += S_number(",", grid[2]);
        }
        break;
    case 0:
        text = "SPIDX_DBTUNE";
        break;
    case -1:
        text = "SPIDX_NONE";
        break;
    case -2:
        text = "SPIDX_RTREE";
        break;
    case -3:
        text = "SPIDX_FIXED" + S_number(labelled ? ",SDO_LEVEL=" : ",", grid[0]);
        break;
    case -4:
        text = "SPIDX_HYBRID" + S_number(labelled ? ",SDO_LEVEL=" : ",", grid[0]) +
               S_number(labelled ? ",SDO_NUMTILES=" : ",", grid[1]);
        break;
    default:
        text = "SPIDX_UNKNOWN";
        break;
    }
    S_copy_out(text, out);
}

void ves_list_privileges(int32_t mask, char *out)
{
    if (out == nullptr)
        return;
    std::string text;
    if (mask & 2)
        S_join(text, "SELECT");
    if (mask & 4)
        S_join(text, "UPDATE");
    if (mask & 8)
        S_join(text, "INSERT");
    if (mask & 16)
        S_join(text, "DELETE");
    S_copy_out(text.empty() ? std::string("<None>") : text, out);
}

static int32_t S_shown(int32_t length, int32_t most)
{
    if (length < 0)
        length = 0;
    if (most < 0)
        most = 0;
    return length < most ? length : most;
}

void ves_list_buffer_hex(FILE *out, const uint8_t *buffer, int32_t length, int32_t most,
                         const char *indent)
{
    if (out == nullptr)
        return;
    int32_t shown = S_shown(length, most);
    fprintf(out, "BufferInfo:\t[%ld/%ld]\n", static_cast<long>(shown), static_cast<long>(length));
    if (buffer == nullptr) {
        fprintf(out, "%sBufferInHex:\t<null>\n", S_indent(indent));
        return;
    }
    fprintf(out, "%sBufferInHex:\t\"", S_indent(indent));
    for (int32_t i = 0; i < shown; ++i)
        fprintf(out, "%2.2X", buffer[i]);
    fprintf(out, "%s\"\n", shown < length ? "..." : "");
}

void ves_list_buffer_text(FILE *out, const char *text, int32_t length, int32_t most,
                          const char *indent)
{
    if (out == nullptr)
        return;
    int32_t shown = S_shown(length, most);
    fprintf(out, "BufferInfo:\t[%ld/%ld]\n", static_cast<long>(shown), static_cast<long>(length));
    if (text == nullptr) {
        fprintf(out, "%sBufferText:\t<null>\n", S_indent(indent));
        return;
    }
    // Only the shown characters are read, so a text without its terminator is safe.
    fprintf(out, "%sBufferText:\t\"%.*s%s\"\n", S_indent(indent), static_cast<int>(shown), text,
            shown < length ? "..." : "");
}

void ves_list_envelope(FILE *out, const VE_ENVELOPE *envelope, const char *indent)
{
    if (out == nullptr || envelope == nullptr)
        return;
    indent = S_indent(indent);
    fprintf(out, "%sMinX:%16.5lf, MaxX:%16.5lf\n", indent, envelope->minx, envelope->maxx);
    fprintf(out, "%sMinY:%16.5lf, MaxY:%16.5lf\n", indent, envelope->miny, envelope->maxy);
}

void ves_list_range(FILE *out, double minimum, double maximum, const char *axis, const char *indent)
{
    if (out == nullptr)
        return;
    if (axis == nullptr)
        axis = "";
    fprintf(out, "%sMin%s:%16.5lf, Max%s:%16.5lf\n", S_indent(indent), axis, minimum, axis,
            maximum);
}

const char *ves_list_indent_text(const char *indent)
{
    return S_indent(indent);
}

bool ves_list_begin(FILE *out, const void *record, const char **indent, char *deeper)
{
    if (out == nullptr || record == nullptr)
        return false;
    *indent = S_indent(*indent);
    ves_list_indent(*indent, deeper, 2);
    return true;
}

const char *ves_list_quoted_field(const char *field, size_t size)
{
    if (field == nullptr)
        return ves_list_quoted_string(nullptr);
    return ves_list_quoted_string(std::string(field, strnlen(field, size)).c_str());
}

const char *ves_list_time_text(uint32_t seconds, char *buffer)
{
    ves_list_time(seconds, buffer, VE_LIST_TIME_SIZE, "%c");
    return buffer;
}
