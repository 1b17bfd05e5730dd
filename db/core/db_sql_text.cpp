// Growable SQL text: statements are assembled here before they reach the
// statement primitives. Grows in 2 KB steps; a caller-supplied buffer never
// grows and refuses an append that would not fit. Also the small helpers for
// the WHERE clauses that clients send as free text.
#include "db/core/db_sql_text_internal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "base/util/zel_errors.h"

static uint32_t S_pretty_from_env()
{
    return getenv("ZELPRETTYSQL") != nullptr ? 1 : 0;
}

void sql_string_init(SQL_TEXT_BUFFER *buffer)
{
    if (buffer == nullptr)
        return;
    buffer->text = nullptr;
    buffer->length = 0;
    buffer->capacity = 0;
    buffer->growable = 1;
    buffer->pretty = S_pretty_from_env();
    buffer->unchecked = 0;
}

int32_t sql_string_init_buffer(SQL_TEXT_BUFFER *buffer, char *block, int32_t size)
{
    if (buffer == nullptr || block == nullptr || size < 1)
        return ZE_INVALID_ARGUMENT;
    block[0] = '\0';
    buffer->text = block;
    buffer->length = 1;
    buffer->capacity = size;
    buffer->growable = 0;
    buffer->pretty = S_pretty_from_env();
    buffer->unchecked = size == INT32_MAX ? 1 : 0;
    return ZE_SUCCESS;
}

void sql_string_free(SQL_TEXT_BUFFER *buffer)
{
    if (buffer == nullptr)
        return;
    if (buffer->growable)
        free(buffer->text);
    buffer->text = nullptr;
    buffer->length = 0;
    buffer->capacity = 0;
}

int32_t sql_string_append(SQL_TEXT_BUFFER *buffer, const char *text)
{
    if (buffer == nullptr)
        return ZE_NULL_POINTER;
    if (text == nullptr || text[0] == '\0')
        return ZE_SUCCESS;
    const size_t add = strlen(text);
    const size_t length = buffer->length > 0 ? static_cast<size_t>(buffer->length) : 0;
    const size_t capacity =
        buffer->text != nullptr && buffer->capacity > 0 ? static_cast<size_t>(buffer->capacity) : 0;
    // Where the text ends: at the length, or one before it in a caller's
    // block (whose length counts the terminator). A record whose length does
    // not point at the terminator is measured, so the write stays inside it.
    size_t end = buffer->growable || length == 0 ? length : length - 1;
    if (end >= capacity || buffer->text[end] != '\0')
        end = capacity > 0 ? strnlen(buffer->text, capacity) : 0;
    const size_t used = length > end ? length : end;
    const size_t need = used + add;
    // The unchecked flag is not honoured: a declared size is checked like any.
    if (need >= capacity) {
        if (!buffer->growable)
            return ZE_SQL_BUFFER_FULL;
        const size_t grown = (need + SQL_TEXT_STEP) / SQL_TEXT_STEP * SQL_TEXT_STEP;
        if (grown > INT32_MAX)
            return ZE_OUT_OF_MEMORY;
        char *block = static_cast<char *>(realloc(buffer->text, grown));
        if (block == nullptr)
            return ZE_OUT_OF_MEMORY;
        if (buffer->capacity == 0)
            block[0] = '\0';
        buffer->text = block;
        buffer->capacity = static_cast<int32_t>(grown);
    }
    memcpy(buffer->text + end, text, add + 1);
    buffer->length = static_cast<int32_t>(length + add);
    return ZE_SUCCESS;
}

int32_t sql_string_end_line(SQL_TEXT_BUFFER *buffer)
{
    if (buffer == nullptr)
        return ZE_NULL_POINTER;
    if (!buffer->pretty)
        return ZE_SUCCESS;
    return sql_string_append(buffer, "\n");
}

int32_t sql_string_append_list(SQL_TEXT_BUFFER *buffer, ...)
{
    va_list args;
    va_start(args, buffer);
    int32_t rc = ZE_SUCCESS;
    for (const char *text = va_arg(args, const char *); text != nullptr;
         text = va_arg(args, const char *)) {
        rc = sql_string_append(buffer, text);
        if (rc != ZE_SUCCESS)
            break;
    }
    va_end(args);
    if (rc != ZE_SUCCESS)
        return rc;
    return sql_string_end_line(buffer);
}

int32_t db_sql_is_blank(const char *text)
{
    if (text == nullptr)
        return 1;
    for (; *text != '\0'; text++) {
        if (*text != ' ' && *text != '\t' && *text != '\n')
            return 0;
    }
    return 1;
}

static const char *S_skip_blanks_tabs(const char *p)
{
    while (*p == ' ' || *p == '\t')
        p++;
    return p;
}

const char *db_sql_skip_where(const char *clause)
{
    if (clause == nullptr || clause[0] == '\0')
        return nullptr;
    const char *p = S_skip_blanks_tabs(clause);
    if (strlen(p) >= 6 && strncasecmp(p, "where ", 6) == 0)
        p = S_skip_blanks_tabs(p + 6);
    return *p == '\0' ? nullptr : p;
}

// Whether a client's condition stays inside parentheses put around it: read
// as the server reads it, with its quoted texts (a doubled quote closes and
// opens again) and its comments ({...}, /* ... */ and -- to the end of the
// line), every parenthesis outside them closes one the condition opened and
// all are closed. "a = 1) OR (1 = 1" or "1=0 {(}) OR (1=1 {)}" would otherwise
// step out of them. A quote or comment left open, a -- comment that would take
// in what follows the condition, and a statement end (;) are refused too.
static bool S_parentheses_balance(const char *text)
{
    int depth = 0;
    const char *p = text;
    while (*p != '\0') {
        const char c = *p;
        if (c == '\'' || c == '"') {
            const char *end = strchr(p + 1, c);
            if (end == nullptr)
                return false;
            p = end + 1;
        } else if (c == '{') {
            const char *end = strchr(p + 1, '}');
            if (end == nullptr)
                return false;
            p = end + 1;
        } else if (c == '/' && p[1] == '*') {
            const char *end = strstr(p + 2, "*/");
            if (end == nullptr)
                return false;
            p = end + 2;
        } else if (c == '-' && p[1] == '-') {
            const char *end = strchr(p + 2, '\n');
            if (end == nullptr)
                return false;
            p = end + 1;
        } else {
            if (c == ';' || (c == ')' && depth == 0))
                return false;
            if (c == '(')
                depth++;
            else if (c == ')')
                depth--;
            p++;
        }
    }
    return depth == 0;
}

int32_t db_sql_parentheses_balance(const char *text)
{
    return text == nullptr || S_parentheses_balance(text) ? 1 : 0;
}

int32_t db_sql_client_condition(const char *clause, const char **condition)
{
    const char *rest = db_sql_skip_where(clause);
    const bool fits = rest == nullptr || S_parentheses_balance(rest);
    if (condition != nullptr)
        *condition = fits ? rest : nullptr;
    return fits ? ZE_SUCCESS : ZE_INVALID_ARGUMENT;
}

int32_t DB_sql_append_constraint(char *statement, const char *clause, int32_t statement_size)
{
    if (statement == nullptr)
        return ZE_NULL_POINTER;
    if (db_sql_is_blank(clause))
        return ZE_SUCCESS;
    const char *word = clause;
    while (*word == ' ')
        word++;
    // A condition is ANDed in parentheses, so an OR in it cannot undo the
    // statement's own condition; ORDER BY, GROUP BY and UNION go on as they are.
    const char *joiner = "and (";
    const char *closer = ")";
    const char *tail = clause;
    if (strncasecmp(word, "where ", 6) == 0) {
        tail = word + 6;
    } else if (strncasecmp(word, "order", 5) == 0 || strncasecmp(word, "group", 5) == 0 ||
               strncasecmp(word, "union", 5) == 0) {
        joiner = "";
        closer = "";
    }
    if (*closer != '\0' && !S_parentheses_balance(tail))
        return ZE_INVALID_ARGUMENT;

    if (statement_size < 1)
        return ZE_INVALID_ARGUMENT;
    const size_t size = static_cast<size_t>(statement_size);
    const size_t have = strnlen(statement, size);
    if (have == size)
        return ZE_INVALID_ARGUMENT;
    const size_t add_joiner = strlen(joiner);
    const size_t add_tail = strlen(tail);
    const size_t add_closer = strlen(closer);
    if (have + 1 + add_joiner + add_tail + add_closer >= size)
        return ZE_SQL_BUFFER_FULL;
    char *end = statement + have;
    *end++ = ' ';
    memcpy(end, joiner, add_joiner);
    memcpy(end + add_joiner, tail, add_tail);
    memcpy(end + add_joiner + add_tail, closer, add_closer + 1); // with the closer's NUL
    return ZE_SUCCESS;
}

std::string db_sql_format(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n));
        vsnprintf(out.data(), out.size() + 1, format, again);
    }
    va_end(again);
    return out;
}
