// The growable SQL text buffer and the WHERE-clause helpers: statements are
// assembled here before they reach the statement primitives; the record is set
// up by its user (sql_string_init or sql_string_init_buffer) and lives on the
// user's stack.
#ifndef DB_SQL_TEXT_INTERNAL_H
#define DB_SQL_TEXT_INTERNAL_H

#include "db/core/db_sql_text.h"

typedef struct SQL_TEXT_BUFFER {
    char *text;         /* NUL-terminated; heap block when growable, else the caller's */
    int32_t length;     /* characters appended (a caller's buffer starts at 1) */
    int32_t capacity;   /* bytes of the text block; 0 for a new growable buffer */
    uint32_t growable;  /* 1: text is a heap block that appending may reallocate */
    uint32_t pretty;    /* 1: each appended list ends with a line break */
    uint32_t unchecked; /* 1: the caller declared its buffer large enough; the
                           capacity is still checked on every append */
} SQL_TEXT_BUFFER;

/* Growth step of a growable buffer. */
#define SQL_TEXT_STEP 2048

/* Sets up an empty growable buffer. Pretty printing follows ZELPRETTYSQL.
 * The user releases the text with sql_string_free. */
void sql_string_init(SQL_TEXT_BUFFER *buffer);

/* Sets up a buffer over the caller's block of size bytes (size > 0); it never
 * grows. Returns 0, or -66 for a null block or a size below 1. */
int32_t sql_string_init_buffer(SQL_TEXT_BUFFER *buffer, char *block, int32_t size);

/* Frees the text of a growable buffer and empties the record; a caller's
 * block is only forgotten. */
void sql_string_free(SQL_TEXT_BUFFER *buffer);

/* Appends text. 0; -250 when a buffer that cannot grow has no room; -12 when
 * growing fails; -65 for a null buffer. A failure leaves the text as it was. */
int32_t sql_string_append(SQL_TEXT_BUFFER *buffer, const char *text);

/* Appends a line break when pretty printing is on; else 0. */
int32_t sql_string_end_line(SQL_TEXT_BUFFER *buffer);

/* Appends each text up to the null pointer, then ends the line. 0, or the
 * first failure (the list is then appended partly). */
int32_t sql_string_append_list(SQL_TEXT_BUFFER *buffer, ...) __attribute__((sentinel));

/* 1 when text is null or holds only blanks, tabs and line feeds; else 0. */
int32_t db_sql_is_blank(const char *text);

/* Points past a leading "where " (and the blanks and tabs around it) of a
 * client's clause; null when the clause is null or nothing is left. */
const char *db_sql_skip_where(const char *clause);

/* 1 when every parenthesis of the condition outside its quoted texts and
 * comments ({...}, slash-star, -- to the line's end) closes one it opened and
 * all are closed (a null text too), so that the condition stays inside
 * parentheses put around it; 0 for one that does not, a quote or comment left
 * open, a -- comment reaching the end, or a semicolon outside them. Every place
 * that puts a client's condition into a statement checks it with this. */
int32_t db_sql_parentheses_balance(const char *text);

/* The condition of a client's clause, to be put into a statement: 0 with
 * *condition past a leading "where " (db_sql_skip_where; null when nothing is
 * left); -66, *condition null, when it fails db_sql_parentheses_balance. */
int32_t db_sql_client_condition(const char *clause, const char **condition);

#ifdef __cplusplus
#include <string>

/* The printf-style text in a string of its exact length, for statements whose
 * wording is fixed; literals from callers or the database go in with their
 * quotes doubled (db_quote_literal). Throws std::bad_alloc. */
std::string db_sql_format(const char *format, ...) __attribute__((format(printf, 1, 2)));
#endif

#endif
