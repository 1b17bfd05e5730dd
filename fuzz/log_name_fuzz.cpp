// What the log-file and multiversion view code take from hosts as names: a
// log name with any of its owner separators, split into the database, owner
// and name that go into SQL (database and owner unquoted, the name as a
// literal), and a select item tested as a plain column name before the
// alias is put before it. A part the parser accepts fits its field and holds
// no character that could end an identifier.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "db/catalog/db_log_internal.h"
#include "db/version/db_mv_view_internal.h"
#include "fuzz/fuzz_quiet.h"
#include "tests/support/scripted_cli.h"

static void S_refuse_unsafe(const char *name)
{
    for (const char *p = name; *p; p++)
        if (strchr(" \t\n;,()-*/=<>\"'\\|!", *p) != nullptr)
            __builtin_trap();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    // The parser may ask the connection for the current user: the scripted
    // CLI journals each call, so it starts afresh for every input.
    scli::reset();
    std::string input(reinterpret_cast<const char *>(data), size);
    const char *name = input.c_str();

    char database[DB_LOG_DATABASE_SIZE], owner[DB_LOG_OWNER_SIZE], bare[DB_LOG_BARE_SIZE];
    if (db_log_parse_name(name, "bob", database, owner, bare) == 0) {
        if (strnlen(database, sizeof(database)) == sizeof(database) ||
            strnlen(owner, sizeof(owner)) == sizeof(owner) ||
            strnlen(bare, sizeof(bare)) == sizeof(bare) || owner[0] == '\0' || bare[0] == '\0')
            __builtin_trap();
        S_refuse_unsafe(database);
        S_refuse_unsafe(owner);
    } else if (database[0] != '\0' || owner[0] != '\0' || bare[0] != '\0') {
        __builtin_trap(); // a refused name leaves nothing behind
    }

    if (db_sql_is_identifier(name) && name[0] != '"') {
        for (const char *p = name; *p; p++)
            if (strchr("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_$#", *p) ==
                nullptr)
                __builtin_trap();
    }
    return 0;
}
