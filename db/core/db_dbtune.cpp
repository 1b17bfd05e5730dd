// Storage configuration by keyword: the readers that fill the layer, log-file
// and raster records of one keyword from the DBTUNE table with the DEFAULTS
// (LOGFILE_DEFAULTS) fallback, the block fetch of DBTUNE rows, the export of
// the table to its text file under $ZELHOME/etc, and small text helpers.
// The record layouts are in db_dbtune.h and db_dbtune_internal.h; the text form is read back by
// db_dbtune_file.cpp.
#include "db/core/db_dbtune_internal.h"

#include <ctype.h>
#include <fcntl.h>
#include <sqlext.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "db/core/db_connect.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"

// Copies each parameter of the kind whose field in config is empty from the
// same field of fallback (any content of fallback with only_filled false).
template <typename Record, typename Field>
static void S_fill_from(uint32_t kind, Record *config, const Record *fallback, bool only_filled,
                        Field field_of)
{
    size_t count = 0;
    const DBTUNE_PARAM *table = db_dbtune_param_table(&count);
    for (size_t i = 0; i < count; i++) {
        if ((table[i].kinds & kind) == 0)
            continue;
        char *field = field_of(config, table[i].name);
        const char *from = field_of(const_cast<Record *>(fallback), table[i].name);
        if (field[0] == '\0' && (!only_filled || from[0] != '\0'))
            memcpy(field, from, DBTUNE_CLAUSE_SIZE);
    }
}

void db_trim_trailing_blanks(char *text)
{
    if (text == nullptr)
        return;
    size_t n = strlen(text);
    while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\n' || text[n - 1] == '\t'))
        n--;
    text[n] = '\0';
}

int32_t db_dbtune_is_storage_param(const char *name)
{
    // Every value parameter of this release and the index parameters of older
    // ones; the single-word and numeric ones of older releases are not.
    return db_dbtune_param_is(name, DBTUNE_KIND_LAYER_READ | DBTUNE_KIND_DICTIONARY |
                                        DBTUNE_KIND_LOGFILE_READ | DBTUNE_KIND_RASTER_READ |
                                        DBTUNE_KIND_TEXT | DBTUNE_KIND_OLD_INDEX);
}

// ---- block fetch --------------------------------------------------------------

static int32_t S_fail_with_diag(SQLHSTMT *h, SQLRETURN rc, DBTUNE_ROW_LIST *rows)
{
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, h, rc);
    db_set_xerr_from_diag(diag);
    db_dbtune_row_list_free(rows);
    return ZE_DBMS_ERROR;
}

int32_t db_dbtune_fetch_rows(const char *keyword, const char *keyword2, DBTUNE_ROW_LIST *rows,
                             int32_t mode)
{
    if (rows == nullptr)
        return ZE_NULL_POINTER;
    memset(rows, 0, sizeof(*rows));
    char table[DB_QUALIFIED_NAME_SIZE];
    int32_t rc = db_make_dbtune_table_name(nullptr, table, sizeof(table));
    if (rc != 0)
        return rc;

    char upper[DBTUNE_COLUMN_NAME_SIZE] = "";
    if (keyword != nullptr && keyword[0] != '\0') {
        db_dbtune_copy_field(upper, sizeof(upper), keyword, "keyword");
        db_identifier_to_upper(nullptr, upper, static_cast<int32_t>(sizeof(upper)));
    }
    std::string sql = "SELECT keyword, parameter_name, config_string FROM ";
    sql += table;
    if (mode == 2) {
        sql += " order by keyword";
    } else {
        if (upper[0] == '\0')
            return ZE_INVALID_ARGUMENT;
        sql += " where keyword = '" + db_quote_literal(upper) + "'";
        if (mode != 0)
            sql += " OR keyword = '" + db_quote_literal(keyword2 ? keyword2 : "") + "'";
    }

    db_stmt_guard stmt;
    rc = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
    if (rc != 0)
        return rc;
    SQLRETURN cli =
        SQLSetStmtAttr(stmt.h, SQL_ROWSET_SIZE, reinterpret_cast<SQLPOINTER>(DBTUNE_FETCH_ROWS), 0);
    if (!SQL_SUCCEEDED(cli))
        return S_fail_with_diag(&stmt.h, cli, rows);
    cli = SQLExecute(stmt.h);
    if (!SQL_SUCCEEDED(cli))
        return S_fail_with_diag(&stmt.h, cli, rows);

    std::vector<char> kw(size_t{DBTUNE_FETCH_ROWS} * DBTUNE_COLUMN_NAME_SIZE);
    std::vector<char> names(size_t{DBTUNE_FETCH_ROWS} * DBTUNE_COLUMN_NAME_SIZE);
    std::vector<char> values(size_t{DBTUNE_FETCH_ROWS} * (DBTUNE_CLAUSE_SIZE + 1));
    std::vector<SQLLEN> kw_len(DBTUNE_FETCH_ROWS), name_len(DBTUNE_FETCH_ROWS),
        value_len(DBTUNE_FETCH_ROWS);
    std::vector<SQLUSMALLINT> status(DBTUNE_FETCH_ROWS);
    struct {
        char *buffer;
        SQLLEN width;
        SQLLEN *length;
    } binds[] = {{kw.data(), DBTUNE_COLUMN_NAME_SIZE, kw_len.data()},
                 {names.data(), DBTUNE_COLUMN_NAME_SIZE, name_len.data()},
                 {values.data(), DBTUNE_CLAUSE_SIZE + 1, value_len.data()}};
    for (SQLUSMALLINT c = 0; c < 3; c++) {
        cli = SQLBindCol(stmt.h, static_cast<SQLUSMALLINT>(c + 1), SQL_C_CHAR, binds[c].buffer,
                         binds[c].width, binds[c].length);
        if (!SQL_SUCCEEDED(cli))
            return cli;
    }

    for (;;) {
        SQLULEN fetched = 0;
        cli = SQLExtendedFetch(stmt.h, SQL_FETCH_NEXT, 0, &fetched, status.data());
        if (cli == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(cli))
            return S_fail_with_diag(&stmt.h, cli, rows);
        if (fetched > DBTUNE_FETCH_ROWS)
            fetched = DBTUNE_FETCH_ROWS;
        for (SQLULEN r = 0; r < fetched; r++) {
            // A NULL cell, or one the driver left unterminated, reads as empty
            // or as the bytes of its width.
            auto cell = [&](int c) {
                char *p = binds[c].buffer + r * static_cast<SQLULEN>(binds[c].width);
                SQLLEN len = binds[c].length[r];
                if (len == SQL_NULL_DATA)
                    return std::string();
                return std::string(p, strnlen(p, static_cast<size_t>(binds[c].width - 1)));
            };
            std::string value = cell(2);
            std::vector<char> trimmed(value.begin(), value.end());
            trimmed.push_back('\0');
            db_trim_trailing_blanks(trimmed.data());
            if (db_dbtune_row_list_add(rows, cell(0).c_str(), cell(1).c_str(), trimmed.data()) !=
                0) {
                db_dbtune_row_list_free(rows);
                return ZE_OUT_OF_MEMORY;
            }
        }
    }
    return ZE_SUCCESS;
}

// ---- readers ------------------------------------------------------------------

int32_t db_read_layer_storage_config(DBTUNE_LAYER_CONFIG *config, const char *keyword)
{
    if (config == nullptr)
        return ZE_NULL_POINTER;
    db_dbtune_clear_layer_config(config);
    auto scratch = std::make_unique<DBTUNE_LAYER_CONFIG>();
    db_dbtune_clear_layer_config(scratch.get());

    std::string given = keyword ? keyword : "";
    given.erase(given.find_last_not_of(" \n\t") + 1);
    const char *effective = given.empty() ? "DEFAULTS" : given.c_str();

    DBTUNE_ROW_LIST rows;
    int32_t rc = db_dbtune_fetch_rows(effective, "DEFAULTS", &rows, 1);
    if (rc != 0)
        return rc;
    for (int32_t i = 0; i < rows.count; i++) {
        bool own = !given.empty() && db_dbtune_begins_with(rows.keywords[i], given.c_str());
        config->counter = static_cast<int16_t>(config->counter + (own ? DBTUNE_COUNTER_OWN : 1));
        const char *name = rows.names[i];
        if (db_dbtune_param_is(name, DBTUNE_KIND_LAYER_READ)) {
            char *field = db_dbtune_field(own ? config : scratch.get(), nullptr, nullptr, name);
            db_dbtune_copy_field(field, DBTUNE_CLAUSE_SIZE, rows.values[i], name);
        } else if (db_dbtune_begins_with(rows.keywords[i], "DATA_DICTIONARY") &&
                   db_dbtune_param_is(name, DBTUNE_KIND_DICTIONARY)) {
            char *field = db_dbtune_field(config, nullptr, nullptr, name);
            db_dbtune_copy_field(field, DBTUNE_CLAUSE_SIZE, rows.values[i], name);
        }
    }
    db_dbtune_row_list_free(&rows);
    S_fill_from(DBTUNE_KIND_LAYER_READ, config, scratch.get(), true,
                [](DBTUNE_LAYER_CONFIG *r, const char *name) {
                    return db_dbtune_field(r, nullptr, nullptr, name);
                });
    return ZE_SUCCESS;
}

int32_t db_read_logfile_storage_config(DBTUNE_LOGFILE_CONFIG *config, const char *keyword)
{
    if (config == nullptr)
        return ZE_NULL_POINTER;
    db_dbtune_clear_logfile_config(config);
    auto scratch = std::make_unique<DBTUNE_LOGFILE_CONFIG>();
    db_dbtune_clear_logfile_config(scratch.get());
    const char *given = keyword ? keyword : "";
    const char *effective = given[0] ? given : "LOGFILE_DEFAULTS";

    DBTUNE_ROW_LIST rows;
    int32_t rc = db_dbtune_fetch_rows(effective, "LOGFILE_DEFAULTS", &rows, 1);
    if (rc != 0)
        return rc;
    for (int32_t i = 0; i < rows.count; i++) {
        bool own = given[0] && db_dbtune_begins_with(rows.keywords[i], given);
        config->counter = static_cast<int16_t>(config->counter + (own ? DBTUNE_COUNTER_OWN : 1));
        if (db_dbtune_param_is(rows.names[i], DBTUNE_KIND_LOGFILE_READ)) {
            char *field =
                db_dbtune_field(nullptr, own ? config : scratch.get(), nullptr, rows.names[i]);
            db_dbtune_copy_field(field, DBTUNE_CLAUSE_SIZE, rows.values[i], rows.names[i]);
        }
    }
    db_dbtune_row_list_free(&rows);
    S_fill_from(DBTUNE_KIND_LOGFILE_READ, config, scratch.get(), true,
                [](DBTUNE_LOGFILE_CONFIG *r, const char *name) {
                    return db_dbtune_field(nullptr, r, nullptr, name);
                });
    return ZE_SUCCESS;
}

int32_t db_read_raster_storage_config(DBTUNE_RASTER_CONFIG *config, const char *keyword)
{
    if (config == nullptr || keyword == nullptr)
        return ZE_NULL_POINTER;
    db_dbtune_clear_raster_config(config);
    auto scratch = std::make_unique<DBTUNE_RASTER_CONFIG>();
    db_dbtune_clear_raster_config(scratch.get());
    const char *effective = keyword[0] ? keyword : "DEFAULTS";

    DBTUNE_ROW_LIST rows;
    int32_t rc = db_dbtune_fetch_rows(effective, "DEFAULTS", &rows, 1);
    if (rc != 0)
        return rc;
    bool found = false;
    int32_t count = rows.count;
    for (int32_t i = 0; i < rows.count; i++) {
        DBTUNE_RASTER_CONFIG *target;
        if (db_dbtune_begins_with(rows.keywords[i], effective)) {
            target = config;
            found = true;
        } else if (db_dbtune_begins_with(rows.keywords[i], "DEFAULTS")) {
            target = scratch.get();
        } else {
            continue;
        }
        if (db_dbtune_param_is(rows.names[i], DBTUNE_KIND_RASTER_READ)) {
            char *field = db_dbtune_field(nullptr, nullptr, target, rows.names[i]);
            db_dbtune_copy_field(field, DBTUNE_CLAUSE_SIZE, rows.values[i], rows.names[i]);
        }
    }
    db_dbtune_row_list_free(&rows);
    if (found) {
        S_fill_from(DBTUNE_KIND_RASTER_READ, config, scratch.get(), false,
                    [](DBTUNE_RASTER_CONFIG *r, const char *name) {
                        return db_dbtune_field(nullptr, nullptr, r, name);
                    });
        return ZE_SUCCESS;
    }
    if (count == 0 && strcasecmp(effective, "DEFAULTS") == 0)
        return ZE_SUCCESS;
    return ZE_CONFIG_KEYWORD_NOT_FOUND;
}

// ---- export -------------------------------------------------------------------

int32_t db_copy_dbtune_TableToFile(DB_INSTANCE *, const char *file_name, int32_t)
{
    if (getenv("ZELHOME") == nullptr) {
        VES_print_debug(stderr, "db_copy_dbtune_TableToFile() EV_zel_dir Read Error.\n");
        return ZE_DBTUNE_FILE_ERROR;
    }
    std::vector<char> path(4096);
    FILE *file = nullptr;
    // Never through a symbolic link, and not emptied before the rows are known
    // to be writable.
    if (db_dbtune_file_path(file_name, path.data(), path.size()) == 0) {
        int fd = open(path.data(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0 && (file = fdopen(fd, "w")) == nullptr)
            close(fd);
    }
    if (file == nullptr) {
        VES_print_debug(stderr, "db_copy_dbtune_TableToFile() Error Opening DBTUNE file.\n");
        VES_print_debug(stderr, "OPEN DBTUNE\n");
        return ZE_DBTUNE_FILE_ERROR;
    }
    DBTUNE_ROW_LIST rows;
    int32_t rc = db_dbtune_fetch_rows(nullptr, nullptr, &rows, 2);
    if (rc == 0) {
        // The file is read line by line: a line break inside a field would
        // come back as a line of its own.
        for (int32_t i = 0; i < rows.count; i++) {
            for (const char *field : {rows.keywords[i], rows.names[i], rows.values[i]}) {
                if (field != nullptr && strpbrk(field, "\r\n") != nullptr) {
                    VES_print_debug(stderr,
                                    "db_copy_dbtune_TableToFile() %s %s holds a line break.\n",
                                    rows.keywords[i], rows.names[i]);
                    rc = ZE_DBTUNE_FILE_ERROR;
                }
            }
        }
        if (rc != 0)
            db_dbtune_row_list_free(&rows);
    }
    if (rc == 0 && ftruncate(fileno(file), 0) != 0)
        rc = ZE_DBTUNE_FILE_ERROR;
    if (rc != 0 || rows.count == 0) {
        if (rc == 0)
            db_dbtune_row_list_free(&rows);
        fclose(file);
        return rc;
    }
    fprintf(file, "##%s\n", rows.keywords[0]);
    for (int32_t i = 0; i < rows.count; i++) {
        if (i > 0 && strcasecmp(rows.keywords[i], rows.keywords[i - 1]) != 0) {
            fprintf(file, "%s\n\n", "END");
            fprintf(file, "##%s\n", rows.keywords[i]);
        }
        if (db_dbtune_is_storage_param(rows.names[i]))
            fprintf(file, "%s\t\"%s\"\n", rows.names[i], rows.values[i]);
        else
            fprintf(file, "%s\t%s\n", rows.names[i], rows.values[i]);
    }
    fprintf(file, "%s\n", "END");
    db_dbtune_row_list_free(&rows);
    fclose(file);
    return ZE_SUCCESS;
}

// ---- size word ----------------------------------------------------------------

char *db_dbtune_parse_size(const char *value, char *out)
{
    if (value == nullptr || out == nullptr)
        return nullptr;
    const char *p = value;
    while (*p && (iscntrl(static_cast<unsigned char>(*p)) || *p == ' ')) {
        if (*p == '\n')
            return nullptr;
        p++;
    }
    const char *end = p;
    while (*end && !iscntrl(static_cast<unsigned char>(*end)) && *end != ' ')
        end++;
    size_t length = static_cast<size_t>(end - p);
    if (length == 0 || length >= DBTUNE_CLAUSE_SIZE)
        return nullptr;
    std::string word(p, length);
    bool number = true;
    for (char c : word)
        number = number && isdigit(static_cast<unsigned char>(c));
    bool positive = number && word.find_first_not_of('0') != std::string::npos;
    if (!positive && strcasecmp(word.c_str(), "UNLIMITED") != 0)
        return nullptr;
    memcpy(out, word.c_str(), length + 1);
    return out;
}
