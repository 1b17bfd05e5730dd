// Clients' WHERE clauses arrive as free text: the input is one clause, run
// through the blank test, the skip of a leading "where", the AND onto a small
// statement block, and an append to a caller's SQL text block.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "db/core/db_sql_text_internal.h"
#include "fuzz/fuzz_quiet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    std::string clause(reinterpret_cast<const char *>(data), size);
    const char *text = clause.c_str(); // stops at the first NUL, as a C client's would

    db_sql_is_blank(text);
    const char *rest = db_sql_skip_where(text);
    if (rest != nullptr && (rest < text || rest > text + strlen(text)))
        __builtin_trap();

    char statement[48] = "SELECT a FROM t WHERE b = 1";
    const size_t before = strlen(statement);
    if (DB_sql_append_constraint(statement, text, sizeof statement) == 0 &&
        strlen(statement) < before)
        __builtin_trap();
    if (strnlen(statement, sizeof statement) == sizeof statement)
        __builtin_trap();

    char block[32];
    SQL_TEXT_BUFFER buffer;
    sql_string_init_buffer(&buffer, block, sizeof block);
    sql_string_append(&buffer, text);
    sql_string_append_list(&buffer, " AND ", rest, static_cast<const char *>(nullptr));
    if (strnlen(block, sizeof block) == sizeof block)
        __builtin_trap();
    return 0;
}
