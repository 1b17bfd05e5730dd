// The copies of a table's grants, defaults and check constraints read the
// Informix catalogue and write what they read into DDL: a privilege text of
// nine letters (terminated or not), a column's type code, length code,
// default kind and default text, and the pieces of a check text. Input: nine
// bytes of privilege text, two bytes of type code, two of length code, one
// default kind, then the text. Whatever they hold, the decoder stays within
// its nine letters and every statement the copies run names the target and
// its column as they are.
#include <sql.h>
#include <sqlext.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "db/catalog/db_table_copy_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_instance_user_internal.h"
#include "fuzz/fuzz_quiet.h"
#include "tests/support/scripted_cli.h"

namespace
{

const char *const kDefaults =
    "SELECT DISTINCT col.colname, col.coltype, def.default, def.type, col.extended_id, "
    "col.collength FROM sysdefaults def, syscolumns col WHERE def.tabid = col.tabid AND "
    "def.colno = col.colno AND def.tabid IN (SELECT tab.tabid FROM systables tab WHERE "
    "tab.tabname = 't' AND tab.owner = 'bob')";
const char *const kChecks =
    "SELECT con.constrname, ch.constrid, ch.checktext, con.constrname FROM syschecks ch, "
    "sysconstraints  con where ch.constrid = con.constrid and ch.type = 'T' AND con.tabid = "
    "(SELECT tabid from systables tab where tab.tabname = 't' AND tab.owner = 'bob' ) order by "
    "ch.constrid, ch.seqno";

void S_expect_prefix(const std::string &prefix)
{
    for (const std::string &sql : scli::executed())
        if (sql.rfind("ALTER", 0) == 0 && sql.rfind(prefix, 0) != 0)
            __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    char tabauth[DB_TABAUTH_LENGTH];
    memset(tabauth, '-', sizeof(tabauth));
    memcpy(tabauth, data, size < sizeof(tabauth) ? size : sizeof(tabauth));
    char words[DB_PRIVILEGE_WORDS][DB_PRIVILEGE_WORD_SIZE];
    int32_t flags[DB_PRIVILEGE_WORDS];
    db_table_decode_privileges(tabauth, words, flags);
    for (auto &word : words)
        if (strnlen(word, sizeof(word)) == sizeof(word))
            __builtin_trap();
    if (size < DB_TABAUTH_LENGTH + 5)
        return 0;
    const uint8_t *p = data + DB_TABAUTH_LENGTH;
    int16_t code, collength;
    memcpy(&code, p, sizeof(code));
    memcpy(&collength, p + 2, sizeof(collength));
    std::string kind(1, static_cast<char>(p[4]));
    std::string text(reinterpret_cast<const char *>(p + 5), size - DB_TABAUTH_LENGTH - 5);
    text = text.substr(0, 256);
    const std::string first = text.substr(0, 32);
    const std::string second = text.size() > 32 ? text.substr(32, 32) : std::string();

    scli::reset();
    char database[64] = "";
    if (db_connect("zel", "pw", database, sizeof(database)).code != SQL_SUCCESS)
        __builtin_trap();
    db_instance_set_current_user("bob");
    scli::on_sql(kDefaults)
        .columns({{"colname", SQL_CHAR, 128},
                  {"coltype", SQL_SMALLINT},
                  {"default", SQL_CHAR, 256},
                  {"type", SQL_CHAR, 1},
                  {"extended_id", SQL_INTEGER},
                  {"collength", SQL_SMALLINT}})
        .row({scli::chr("c", 128), scli::i16(code), scli::chr(text, 256), scli::chr(kind, 1),
              scli::i32(7), scli::i16(collength)});
    db_table_copy_defaults("t", "A12");
    S_expect_prefix("ALTER TABLE A12 MODIFY (c ");

    scli::on_sql(kChecks)
        .columns({{"constrname", SQL_CHAR, 128},
                  {"constrid", SQL_INTEGER},
                  {"checktext", SQL_CHAR, 32},
                  {"constrname", SQL_CHAR, 128}})
        .row({scli::chr("c1", 128), scli::i32(1), scli::chr(first, 32), scli::chr("c1", 128)})
        .row({scli::chr("c1", 128), scli::i32(1), scli::chr(second, 32), scli::chr("c1", 128)});
    db_table_copy_check_constraints("t", "A12");
    S_expect_prefix("ALTER TABLE A12 ");

    db_instance_set_current_user(nullptr);
    db_connection_release();
    return 0;
}
