// Names written by users reach the parsers as free text: the input is one
// name, split as a table, a column and a version name, checked as an
// identifier, and quote-doubled into a small buffer. Every part must end
// inside its field, and a refused name must leave its outputs empty.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/util/zel_errors.h"
#include "db/core/db_identifier_check.h"
#include "db/core/db_names_internal.h"
#include "fuzz/fuzz_quiet.h"
#include "tests/support/scripted_cli.h"

static void S_check_part(const char *part, size_t size)
{
    if (strnlen(part, size) == size)
        __builtin_trap();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    // The parsers ask the connection for the current user: the scripted CLI
    // journals each call, so it starts afresh for every input.
    scli::reset();
    std::string input(reinterpret_cast<const char *>(data), size);
    const char *name = input.c_str(); // stops at the first NUL, as a C client's would

    char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE];
    char table[DB_NAME_TABLE_SIZE], column[DB_NAME_COLUMN_SIZE];
    char version[DB_NAME_VERSION_SIZE];
    int32_t rc = db_parse_table_name(nullptr, name, "bob", database, owner, table);
    S_check_part(database, sizeof database);
    S_check_part(owner, sizeof owner);
    S_check_part(table, sizeof table);
    if (rc != ZE_SUCCESS && (database[0] || owner[0] || table[0]))
        __builtin_trap();

    rc = db_parse_column_name(nullptr, name, "bob", database, owner, table, column);
    S_check_part(database, sizeof database);
    S_check_part(owner, sizeof owner);
    S_check_part(table, sizeof table);
    S_check_part(column, sizeof column);
    if (rc != ZE_SUCCESS && (database[0] || owner[0] || table[0] || column[0]))
        __builtin_trap();
    db_parse_column_name(nullptr, name, "bob", nullptr, owner, table, column);

    rc = DB_version_parse_name(nullptr, name, owner, version);
    S_check_part(owner, sizeof owner);
    S_check_part(version, sizeof version);

    char qualified[DB_QUALIFIED_NAME_SIZE];
    DB_table_make_name(nullptr, nullptr, name, qualified);
    S_check_part(qualified, sizeof qualified);

    DB_check_identifier(nullptr, name);

    // Quote doubling in place: either refused with the text unchanged, or
    // every quote doubled.
    char quoted[40];
    size_t n = strnlen(name, sizeof quoted - 1);
    memcpy(quoted, name, n);
    quoted[n] = '\0';
    const std::string before = quoted;
    rc = db_escape_quotes(quoted, sizeof quoted);
    S_check_part(quoted, sizeof quoted);
    if (rc == ZE_SUCCESS ? db_quote_literal(before) != quoted : before != quoted)
        __builtin_trap();
    return 0;
}
