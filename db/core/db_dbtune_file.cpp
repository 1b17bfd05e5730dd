// The dbtune file and its import into the DBTUNE table. The file is read
// from $ZELHOME/etc in lines of at most 2,111 characters. Outside a section
// only headers count: "##KEYWORD" after optional blanks ("###" lines are
// comments). A section body runs to a line whose first word begins with
// "END" (or is "end" in any case) or to the end of the file; in a body "#"
// starts a comment anywhere, and each line is "NAME value". Values are read
// by the kind of name: single-word and numeric parameters of old releases,
// and text values, plain or in double quotes, which may go on over the
// following lines until a closing quote, a known name or END. A value stops
// at a control character, a double quote or a backslash.
#include <ctype.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "db/core/db_dbtune_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_stmt_internal.h"

int32_t db_dbtune_is_text_param(const char *name)
{
    return name != nullptr && db_dbtune_param_is(name, DBTUNE_KIND_TEXT) ? 1 : 0;
}

int32_t db_dbtune_is_known_param(const char *name)
{
    if (name == nullptr)
        return 0;
    return db_dbtune_is_storage_param(name) || db_dbtune_param_is(name, DBTUNE_KIND_OLD_WORD) ||
                   db_dbtune_param_is(name, DBTUNE_KIND_OLD_NUMBER) || strcasecmp(name, "END") == 0
               ? 1
               : 0;
}

int32_t db_dbtune_file_path(const char *file_name, char *out, size_t size)
{
    const char *home = getenv("ZELHOME");
    if (home == nullptr || file_name == nullptr || file_name[0] == '\0' ||
        strchr(file_name, '/') != nullptr || strstr(file_name, "..") != nullptr)
        return ZE_DBTUNE_FILE_ERROR;
    int n = snprintf(out, size, "%s/etc/%s", home, file_name);
    if (n < 0 || static_cast<size_t>(n) >= size) {
        if (size)
            out[0] = '\0';
        return ZE_INVALID_ARGUMENT;
    }
    return ZE_SUCCESS;
}

// ---- lines and words ------------------------------------------------------------

static bool S_blank(char c)
{
    return c == ' ' || c == '\t';
}

static bool S_stop(char c)
{
    return c == '\0' || iscntrl(static_cast<unsigned char>(c)) || c == '"' || c == '\\';
}

// Reads one line into the buffer; false at the end of the file.
static bool S_read_line(char *line, FILE *file)
{
    if (fgets(line, DBTUNE_LINE_SIZE, file) == nullptr) {
        line[0] = '\0';
        return false;
    }
    return true;
}

static void S_cut_comment(char *line)
{
    char *hash = strchr(line, '#');
    if (hash)
        *hash = '\0';
}

// The word at p: its first character whatever it is, then up to a blank, a
// tab or a newline, cut to 31 characters. Returns the point after the word.
static const char *S_take_word(const char *p, char *word)
{
    size_t n = 0;
    bool cut = false;
    if (*p != '\0') {
        word[n++] = *p++;
        while (*p != '\0' && !S_blank(*p) && *p != '\n') {
            if (n < DBTUNE_NAME_SIZE - 1)
                word[n++] = *p;
            else
                cut = true;
            p++;
        }
    }
    word[n] = '\0';
    if (cut)
        VES_print_debug(stderr, "WARNING: DBTUNE name '%s...' longer than %d characters is cut.\n",
                        word, DBTUNE_NAME_SIZE - 1);
    return p;
}

// Left-trims blanks, tabs and newlines in place; true when a word is left.
static bool S_trim_line(char *line)
{
    S_cut_comment(line);
    size_t skip = 0;
    while (S_blank(line[skip]) || line[skip] == '\n' || line[skip] == '\r')
        skip++;
    memmove(line, line + skip, strlen(line + skip) + 1);
    return line[0] != '\0';
}

int32_t db_dbtune_read_next_line(char *line, char *word, FILE *file)
{
    for (;;) {
        if (!S_read_line(line, file)) {
            word[0] = '\0';
            return ZE_NO_MORE_ROWS;
        }
        if (S_trim_line(line)) {
            S_take_word(line, word);
            return ZE_SUCCESS;
        }
    }
}

// Appends text to the value, cut with a warning at the value's bound.
static void S_append(std::string &value, const char *text, size_t length)
{
    size_t room = DBTUNE_CLAUSE_SIZE - 1 - value.size();
    if (length > room) {
        VES_print_debug(stderr, "WARNING: DBTUNE value longer than %d characters is cut.\n",
                        DBTUNE_CLAUSE_SIZE - 1);
        length = room;
    }
    value.append(text, length);
}

// The run of a value: the first character whatever it is, then up to a stop
// character. Returns the stop character met ('\0' at the end of the text).
static char S_take_run(const char *p, std::string &value)
{
    if (*p == '\0')
        return '\0';
    const char *end = p + 1;
    while (!S_stop(*end))
        end++;
    S_append(value, p, static_cast<size_t>(end - p));
    return *end;
}

// Continuation of an open quoted value over the following lines: the
// first line that begins with a known name or END, or any line after a
// closing quote, is left in the buffer for the caller.
static int32_t S_read_continuation(std::string &value, char *line, char *word, FILE *file)
{
    bool closed = false;
    for (;;) {
        if (db_dbtune_read_next_line(line, word, file) != 0)
            return ZE_NO_MORE_ROWS;
        if (closed || db_dbtune_is_known_param(word))
            return ZE_SUCCESS;
        S_append(value, " ", 1);
        char stop = S_take_run(line, value);
        S_append(value, " ", 1);
        closed = stop == '"';
    }
}

// ---- values -----------------------------------------------------------------

static void S_read_old_word(const char *p, std::string &value)
{
    while (*p != '\0' && *p != '\n' && (S_blank(*p) || iscntrl(static_cast<unsigned char>(*p))))
        p++;
    if (*p == '\n')
        return;
    const char *end = p;
    while (*end != '\0' && !S_blank(*end) && !iscntrl(static_cast<unsigned char>(*end)))
        end++;
    size_t length = static_cast<size_t>(end - p);
    if (length > DBTUNE_NAME_SIZE - 1) {
        VES_print_debug(stderr, "WARNING: DBTUNE value longer than %d characters is cut.\n",
                        DBTUNE_NAME_SIZE - 1);
        length = DBTUNE_NAME_SIZE - 1;
    }
    value.assign(p, length);
}

// A numeric parameter of an old release; false when unset.
static bool S_read_old_number(const char *name, const char *p, int32_t *number)
{
    while (*p != '\0' && *p != '\n' && !isdigit(static_cast<unsigned char>(*p)))
        p++;
    if (!isdigit(static_cast<unsigned char>(*p)))
        return false;
    long long n = 0;
    for (; isdigit(static_cast<unsigned char>(*p)); p++)
        if (n <= INT_MAX)
            n = n * 10 + (*p - '0');
    if (n > INT_MAX)
        return false;
    int32_t v = static_cast<int32_t>(n);
    bool ok = strcasecmp(name, "A_CLUSTER") == 0   ? v >= 1 && v <= 255
              : strcasecmp(name, "A_IX_FILL") == 0 ? v >= 0
                                                   : v >= 1;
    if (ok)
        *number = v;
    return ok;
}

// A text value; *open is set when a quoted value was not closed on its line.
static void S_read_text(const char *p, std::string &value, bool *open)
{
    *open = false;
    while (*p != '\0' && *p != '\n' && (S_blank(*p) || iscntrl(static_cast<unsigned char>(*p))))
        p++;
    if (*p == '\0' || *p == '\n')
        return;
    bool quoted = *p == '"';
    if (quoted) {
        p++;
        if (*p == '"' || *p == '\0')
            return;
    }
    char stop = S_take_run(p, value);
    *open = quoted && stop != '"';
}

static void S_store_old(DBTUNE_LAYER_CONFIG *layer, const char *name, const std::string &value,
                        int32_t number)
{
    if (layer == nullptr)
        return;
    if (strcasecmp(name, "A_TBLSP") == 0)
        db_dbtune_copy_field(layer->A_TBLSP, sizeof(layer->A_TBLSP), value.c_str(), name);
    else if (strcasecmp(name, "A_IX_TBLSP") == 0)
        db_dbtune_copy_field(layer->A_IX_TBLSP, sizeof(layer->A_IX_TBLSP), value.c_str(), name);
    else if (strcasecmp(name, "A_SBLOB_DBS") == 0)
        db_dbtune_copy_field(layer->A_SBLOB_DBS, sizeof(layer->A_SBLOB_DBS), value.c_str(), name);
    else if (strcasecmp(name, "A_CLUSTER") == 0)
        layer->A_CLUSTER = static_cast<int16_t>(number);
    else if (strcasecmp(name, "A_INIT") == 0)
        layer->A_INIT = number;
    else if (strcasecmp(name, "A_NEXT") == 0)
        layer->A_NEXT = number;
    else if (strcasecmp(name, "A_IX_FILL") == 0)
        layer->A_IX_FILL = number;
    else if (strcasecmp(name, "A_LOCK_ROW") == 0)
        layer->A_LOCK_ROW = number;
}

// Stores a parameter with its value into its field and the row list.
static int32_t S_store(DBTUNE_LAYER_CONFIG *layer, DBTUNE_LOGFILE_CONFIG *logfile,
                       DBTUNE_RASTER_CONFIG *raster, bool rows_off, const char *keyword,
                       DBTUNE_ROW_LIST *rows, const char *name, const std::string &value)
{
    if (name[0] == '\0' || value.empty())
        return ZE_SUCCESS;
    if (!db_dbtune_param_is(name, DBTUNE_KIND_DICTIONARY) ||
        db_dbtune_begins_with(keyword, "DATA_DICTIONARY")) {
        char *field = db_dbtune_field(layer, logfile, raster, name);
        if (field)
            db_dbtune_copy_field(field, DBTUNE_CLAUSE_SIZE, value.c_str(), name);
    }
    if (!rows_off && db_dbtune_row_list_add(rows, keyword, name, value.c_str()) != 0)
        return ZE_OUT_OF_MEMORY;
    if (layer)
        layer->counter = static_cast<int16_t>(layer->counter + DBTUNE_COUNTER_OWN);
    return ZE_SUCCESS;
}

int32_t db_dbtune_read_section(FILE *file, DBTUNE_LAYER_CONFIG *layer,
                               DBTUNE_LOGFILE_CONFIG *logfile, DBTUNE_RASTER_CONFIG *raster,
                               int32_t rows_off, const char *keyword, DBTUNE_ROW_LIST *rows,
                               char *line)
{
    if (file == nullptr || line == nullptr || keyword == nullptr || (!rows_off && !rows))
        return ZE_NULL_POINTER;
    char name[DBTUNE_NAME_SIZE];
    char word[DBTUNE_NAME_SIZE];
    for (;;) {
        S_cut_comment(line);
        const char *p = line;
        while (S_blank(*p))
            p++;
        p = S_take_word(p, name);
        if (name[0] == '\0' || name[0] == '\n') {
            if (!S_read_line(line, file))
                return ZE_SUCCESS;
            continue;
        }
        if (strncmp(name, "END", 3) == 0 || strcasecmp(name, "END") == 0)
            return ZE_SUCCESS;
        std::string value;
        int32_t rc;
        if (db_dbtune_param_is(name, DBTUNE_KIND_OLD_WORD) ||
            db_dbtune_param_is(name, DBTUNE_KIND_OLD_NUMBER)) {
            int32_t number = 0;
            if (db_dbtune_param_is(name, DBTUNE_KIND_OLD_WORD))
                S_read_old_word(p, value);
            else if (S_read_old_number(name, p, &number))
                value = std::to_string(number);
            if (!value.empty())
                S_store_old(layer, name, value, number);
            bool more = db_dbtune_read_next_line(line, word, file) == 0;
            rc = S_store(layer, logfile, raster, rows_off, keyword, rows, name, value);
            if (rc != 0)
                return rc;
            if (!more || strncmp(word, "END", 3) == 0)
                return ZE_SUCCESS;
            continue;
        }
        if (!db_dbtune_is_known_param(name)) {
            if (!S_read_line(line, file))
                return ZE_SUCCESS;
            continue;
        }
        bool open = false;
        S_read_text(p, value, &open);
        bool more = (open ? S_read_continuation(value, line, word, file)
                          : db_dbtune_read_next_line(line, word, file)) == 0;
        rc = S_store(layer, logfile, raster, rows_off, keyword, rows, name, value);
        if (rc != 0)
            return rc;
        if (!more)
            return ZE_SUCCESS;
    }
}

// A header line "##KEYWORD" (after blanks and tabs, not "###"): the keyword
// into word, true. A header with nothing after the hashes opens no section.
int32_t db_dbtune_header_keyword(const char *line, char *word)
{
    const char *p = line;
    while (S_blank(*p))
        p++;
    if (p[0] != '#' || p[1] != '#' || p[2] == '#')
        return 0;
    p += 2;
    if (*p == '\n' || *p == '\0')
        return 0;
    S_take_word(p, word);
    return 1;
}

// ---- legacy clauses -------------------------------------------------------------

int32_t db_dbtune_build_storage_clause(const DBTUNE_LAYER_CONFIG *layer,
                                       DBTUNE_LEGACY_CLAUSES *clauses)
{
    memset(clauses, 0, sizeof(*clauses));
    std::string extent;
    if (layer->A_TBLSP[0])
        snprintf(clauses->tablespace, sizeof(clauses->tablespace), " IN %s ", layer->A_TBLSP);
    if (layer->A_INIT != 0)
        extent += " EXTENT SIZE " + std::to_string(layer->A_INIT) + " ";
    if (layer->A_NEXT != 0)
        extent += " NEXT SIZE " + std::to_string(layer->A_NEXT) + " ";
    if (layer->A_LOCK_ROW != 0)
        extent += "LOCK MODE ROW ";
    db_dbtune_copy_field(clauses->extent, sizeof(clauses->extent), extent.c_str(), "clause");
    if (layer->A_IX_FILL != 0)
        snprintf(clauses->fill_factor, sizeof(clauses->fill_factor), " FILLFACTOR %d ",
                 layer->A_IX_FILL);
    if (layer->A_IX_TBLSP[0])
        snprintf(clauses->index_tablespace, sizeof(clauses->index_tablespace), " IN %s ",
                 layer->A_IX_TBLSP);
    return ZE_SUCCESS;
}

// ---- section insert -------------------------------------------------------------

namespace
{

// Built-in keywords in the order their marks are tried.
const struct {
    int index;
    const char *keyword;
} S_mark_order[] = {
    {DBTUNE_KW_DEFAULTS, "DEFAULTS"},
    {DBTUNE_KW_NETWORK_NETWORK, "NETWORK_DEFAULTS::NETWORK"},
    {DBTUNE_KW_NETWORK_DESC, "NETWORK_DEFAULTS::DESC"},
    {DBTUNE_KW_NETWORK_DEFAULTS, "NETWORK_DEFAULTS"},
    {DBTUNE_KW_DATA_DICTIONARY, "DATA_DICTIONARY"},
    {DBTUNE_KW_LOGFILE_DEFAULTS, "LOGFILE_DEFAULTS"},
};

void S_mark(const char *keyword, const char *name, unsigned marks)
{
    for (const auto &m : S_mark_order) {
        if ((marks & (1u << m.index)) && db_dbtune_begins_with(keyword, m.keyword)) {
            db_dbtune_set_mark(m.index, name, 0);
            return;
        }
    }
}

std::string S_legacy_source(const DBTUNE_LEGACY_CLAUSES &legacy, int kind)
{
    std::string text;
    if (kind == 1) {
        if (legacy.tablespace[0])
            text = std::string(legacy.tablespace) + " ";
        if (legacy.extent[0])
            text = text + " " + legacy.extent;
    } else if (kind == 2) {
        if (legacy.index_tablespace[0])
            text = text + " " + legacy.index_tablespace + " ";
        if (legacy.fill_factor[0])
            text = text + " " + legacy.fill_factor;
    }
    if (text.size() >= DBTUNE_CLAUSE_SIZE)
        text.resize(DBTUNE_CLAUSE_SIZE - 1);
    return text;
}

} // namespace

static int32_t S_insert_dbtuneTab_data(DBTUNE_ROW_LIST *rows, DBTUNE_LAYER_CONFIG *layer,
                                       DBTUNE_LOGFILE_CONFIG *logfile, DBTUNE_RASTER_CONFIG *raster,
                                       DBTUNE_FAILED_ROW *failed)
{
    DBTUNE_LEGACY_CLAUSES legacy;
    db_dbtune_build_storage_clause(layer, &legacy);
    char call[DBTUNE_CLAUSE_SIZE];
    int32_t rc = db_dbtune_insert_call(call, sizeof(call));
    const char *keyword = rows->keywords[0];
    for (int32_t i = 0; rc == 0 && i < rows->count; i++)
        if (db_dbtune_is_text_param(rows->names[i]))
            rc = db_dbtune_insert_row(call, rows->keywords[i], rows->names[i], rows->values[i],
                                      failed);
    if (rc == 0 && db_dbtune_begins_with(keyword, "NETWORK_DEFAULTS")) {
        for (int32_t i = 0; i < rows->count; i++) {
            if (db_dbtune_begins_with(rows->names[i], "UI_NETWORK_TEXT"))
                db_dbtune_set_mark(DBTUNE_KW_NETWORK_DEFAULTS, "UI_NETWORK_TEXT", 0);
            else if (db_dbtune_begins_with(rows->names[i], "COMMENT"))
                db_dbtune_set_mark(DBTUNE_KW_NETWORK_DEFAULTS, "COMMENT", 0);
        }
    }
    size_t count = 0;
    const DBTUNE_PARAM *table = db_dbtune_param_table(&count);
    for (size_t i = 0; i < count && rc == 0; i++) {
        const DBTUNE_PARAM &p = table[i];
        if ((p.kinds & DBTUNE_KIND_IMPORT) == 0)
            continue;
        std::string value = db_dbtune_field(layer, logfile, raster, p.name);
        if (value.empty() && p.import_from)
            value = db_dbtune_field(layer, logfile, raster, p.import_from);
        if (value.empty())
            value = S_legacy_source(legacy, p.legacy);
        if (value.empty())
            continue;
        rc = db_dbtune_insert_row(call, keyword, p.name, value.c_str(), failed);
        if (rc == 0)
            S_mark(keyword, p.name, p.marks);
    }
    if (rc == 0 && strcasecmp(keyword, "DATA_DICTIONARY") == 0) {
        for (size_t i = 0; i < count && rc == 0; i++) {
            const char *name = table[i].name;
            if ((table[i].kinds & DBTUNE_KIND_DICTIONARY) == 0)
                continue;
            const char *value = db_dbtune_field(layer, nullptr, nullptr, name);
            if (value[0] == '\0')
                continue;
            rc = db_dbtune_insert_row(call, keyword, name, value, failed);
            if (rc == 0)
                db_dbtune_set_mark(DBTUNE_KW_DATA_DICTIONARY, name, 0);
        }
    }
    db_dbtune_row_list_free(rows);
    if (rc != 0) {
        VES_print_debug(stderr, "S_insert_dbtuneTab_data(): Error insert data to DBTUNE table.\n");
        return ZE_DBMS_ERROR;
    }
    return ZE_SUCCESS;
}

// ---- import -------------------------------------------------------------------

static void S_read_default_configKeywordParam(const char *path)
{
    FILE *file = fopen(path, "re");
    if (file == nullptr) {
        db_rollback();
        VES_print_debug(stderr, "S_read_default_configKeywordParam() Error Opening DBTUNE file.\n");
        VES_print_debug(stderr, "OPEN DBTUNE\n");
        return;
    }
    fclose(file);
}

static int32_t S_insert_missing_defaults(const char *file_name, DBTUNE_FAILED_ROW *failed)
{
    int32_t complete[DBTUNE_KW_COUNT];
    bool any = false;
    for (int k = 0; k < DBTUNE_KW_COUNT; k++) {
        complete[k] = db_dbtune_keyword_complete(k);
        any = any || !complete[k];
    }
    return any ? db_dbtune_insert_defaults(file_name, complete, failed) : ZE_SUCCESS;
}

int32_t db_copy_dbtune_FileToTable(DB_INSTANCE *, const char *file_name, DBTUNE_FAILED_ROW *failed,
                                   int32_t strict)
{
    db_dbtune_clear_marks();
    if (getenv("ZELHOME") == nullptr) {
        db_rollback();
        VES_print_debug(stderr, "db_copy_dbtune_FileToTable() EV_zel_dir Read Error.\n");
        return ZE_DBTUNE_FILE_ERROR;
    }
    DBTUNE_FAILED_ROW scratch_failed;
    if (failed == nullptr)
        failed = &scratch_failed;
    std::vector<char> path(4096);
    bool named = db_dbtune_file_path(file_name, path.data(), path.size()) == 0;
    if (named)
        S_read_default_configKeywordParam(path.data());
    FILE *file = named ? fopen(path.data(), "re") : nullptr;
    if (file == nullptr) {
        if (strict) {
            db_rollback();
            VES_print_debug(stderr, "db_copy_dbtune_FileToTable() Error Opening DBTUNE file.\n");
            VES_print_debug(stderr, "OPEN DBTUNE\n");
            return ZE_DBTUNE_FILE_ERROR;
        }
        VES_print_debug(stderr,
                        "WARNING: File %s is not found in %s directory.\n\t Inserting the "
                        "default values.\n",
                        file_name ? file_name : "", getenv("ZELHOME"));
        int32_t none[DBTUNE_KW_COUNT] = {0};
        db_dbtune_insert_defaults(file_name ? file_name : "", none, failed);
        db_commit();
        return ZE_DBTUNE_FILE_ERROR;
    }

    auto layer = std::make_unique<DBTUNE_LAYER_CONFIG>();
    auto logfile = std::make_unique<DBTUNE_LOGFILE_CONFIG>();
    auto raster = std::make_unique<DBTUNE_RASTER_CONFIG>();
    DBTUNE_ROW_LIST rows = {};
    std::vector<char> line(DBTUNE_LINE_SIZE);
    char keyword[DBTUNE_NAME_SIZE];
    int32_t rc = ZE_SUCCESS;
    while (rc == 0 && S_read_line(line.data(), file)) {
        if (!db_dbtune_header_keyword(line.data(), keyword))
            continue;
        db_dbtune_clear_layer_config(layer.get());
        db_dbtune_clear_logfile_config(logfile.get());
        db_dbtune_clear_raster_config(raster.get());
        if (!S_read_line(line.data(), file))
            break;
        rc = db_dbtune_read_section(file, layer.get(), logfile.get(), raster.get(), 0, keyword,
                                    &rows, line.data());
        if (rc != 0)
            break;
        bool has_text = false;
        for (int32_t i = 0; i < rows.count; i++)
            has_text = has_text || db_dbtune_begins_with(rows.names[i], "UI_TEXT");
        if (!has_text && !db_dbtune_begins_with(keyword, "NETWORK_DEFAULTS"))
            rc = db_dbtune_row_list_add(&rows, keyword, "UI_TEXT", "");
        if (rc != 0)
            break;
        if (has_text || !db_dbtune_begins_with(keyword, "NETWORK_DEFAULTS")) {
            if (db_dbtune_begins_with(keyword, "DEFAULTS"))
                db_dbtune_set_mark(DBTUNE_KW_DEFAULTS, "UI_TEXT", 0);
            if (db_dbtune_begins_with(keyword, "LOGFILE_DEFAULTS"))
                db_dbtune_set_mark(DBTUNE_KW_LOGFILE_DEFAULTS, "UI_TEXT", 0);
        }
        if (rows.count > 0)
            rc = S_insert_dbtuneTab_data(&rows, layer.get(), logfile.get(), raster.get(), failed);
    }
    fclose(file);
    if (rc == 0)
        rc = S_insert_missing_defaults(file_name, failed);
    if (rc != 0) {
        db_rollback();
        db_dbtune_row_list_free(&rows);
        return ZE_DBMS_ERROR;
    }
    db_dbtune_row_list_free(&rows);
    // A load that is not committed is lost: reported, and rolled back so
    // that no later commit keeps an emptied or half-loaded table.
    const int committed = db_commit();
    if (committed != SQL_SUCCESS) {
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, nullptr, committed);
        db_set_xerr_from_diag(diag);
        db_rollback();
        return ZE_DBMS_ERROR;
    }
    return ZE_SUCCESS;
}
