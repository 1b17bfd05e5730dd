// Copies of a table's grants, indexes, column defaults and check constraints
// onto another table (db_table_copy_internal.h). The source is read from the
// Informix catalogue (systables, systabauth, sysindices, syscolumns, sysams,
// sysdefaults, sysxtdtypes, syschecks, sysconstraints) in rowsets of 100 by
// its table name and owner, all rows first; then each statement runs and
// commits by itself, so a failure leaves the statements before it in force.
#include "db/catalog/db_table_copy_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_table_index.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"

namespace
{

constexpr int32_t kRowset = 100;
// Catalogue names of up to 128 characters (index names 160) and the NUL.
constexpr size_t kNameSize = 129;
constexpr size_t kIndexNameSize = 161;
constexpr size_t kDefaultSize = 257;
// A syschecks piece holds 32 characters, all of them text.
constexpr size_t kCheckPieceSize = 33;
// The DDL mode of every copy: run and commit one statement.
constexpr int32_t kDdlMode = 3;

// One result column of a catalogue read: its C type and the room of a value.
struct ColumnSpec {
    SQLSMALLINT c_type;
    size_t width;
};

// The rowset buffers of a catalogue read.
class Rowset
{
  public:
    explicit Rowset(std::initializer_list<ColumnSpec> specs) : specs_(specs)
    {
        for (const ColumnSpec &s : specs_) {
            data_.emplace_back(s.width * kRowset, '\0');
            lengths_.emplace_back(kRowset, 0);
        }
    }
    std::vector<DB_CATALOG_COLUMN> bindings()
    {
        std::vector<DB_CATALOG_COLUMN> out;
        for (size_t c = 0; c < specs_.size(); c++)
            out.push_back({specs_[c].c_type, data_[c].data(), static_cast<SQLLEN>(specs_[c].width),
                           lengths_[c].data()});
        return out;
    }
    // A text cell as a string: empty for NULL, cut at its terminator within
    // its room, trailing blanks kept.
    std::string text(size_t row, size_t col) const
    {
        if (lengths_[col][row] == SQL_NULL_DATA)
            return {};
        const char *cell = &data_[col][row * specs_[col].width];
        return std::string(cell, strnlen(cell, specs_[col].width - 1));
    }
    template <typename T> T number(size_t row, size_t col) const
    {
        if (lengths_[col][row] == SQL_NULL_DATA)
            return 0;
        T value;
        memcpy(&value, &data_[col][row * specs_[col].width], sizeof(T));
        return value;
    }

  private:
    std::vector<ColumnSpec> specs_;
    std::vector<std::vector<char>> data_;
    std::vector<std::vector<SQLLEN>> lengths_;
};

// Runs a catalogue query and calls on_row(rowset, row) for each row, in
// order. 0; -51 with the connection's record filled.
template <typename OnRow> int32_t S_scan(const std::string &sql, Rowset &rowset, OnRow on_row)
{
    db_stmt_guard stmt;
    int32_t rc = db_catalog_prepare(nullptr, &stmt.h, sql.c_str());
    if (rc != 0)
        return rc;
    std::vector<DB_CATALOG_COLUMN> columns = rowset.bindings();
    SQLRETURN cli = db_catalog_bind_columns(stmt.h, columns.data(), columns.size());
    if (!SQL_SUCCEEDED(cli))
        return db_catalog_fail(nullptr, &stmt.h, cli);
    SQLULEN fetched = 0;
    rc = db_execute_and_fetch(&stmt.h, 1, kRowset, &fetched);
    for (;;) {
        if (rc == DB_NO_MORE_DATA || rc == ZE_NO_MORE_ROWS)
            return 0;
        if (rc != 0)
            return db_catalog_fail(nullptr, &stmt.h, ZE_DBMS_ERROR);
        for (SQLULEN r = 0; r < fetched && r < static_cast<SQLULEN>(kRowset); r++)
            on_row(rowset, static_cast<size_t>(r));
        if (fetched < static_cast<SQLULEN>(kRowset))
            return 0;
        rc = db_fetch_rows(&stmt.h, kRowset, &fetched);
    }
}

// The source's table name and owner, quoted for a literal.
struct SourceName {
    std::string table, owner;
};

int32_t S_source_name(const char *source, SourceName *out)
{
    char user[DB_USER_NAME_SIZE] = "";
    db_get_current_user(user);
    char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], table[DB_NAME_TABLE_SIZE];
    int32_t rc = db_parse_table_name(nullptr, source, user, database, owner, table);
    if (rc != 0)
        return rc;
    out->table = db_quote_literal(table);
    out->owner = db_quote_literal(owner);
    return 0;
}

// The arguments every copy checks before it reads anything.
int32_t S_prepare(const char *source, const char *target, SourceName *name)
{
    if (source == nullptr || target == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = db_check_table_name(target);
    return rc != 0 ? rc : S_source_name(source, name);
}

std::string S_trim_right(std::string text)
{
    size_t end = text.find_last_not_of(" \t\n\r");
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text;
}

std::string S_trim(const std::string &text)
{
    std::string right = S_trim_right(text);
    size_t start = right.find_first_not_of(" \t\n\r");
    return start == std::string::npos ? std::string() : right.substr(start);
}

// ---- grants ---------------------------------------------------------------

struct PrivilegeLetter {
    char letter;
    const char *word;
};
const PrivilegeLetter kPrivilegeLetters[] = {
    {'S', "SELECT"}, {'U', "UPDATE"}, {'I', "INSERT"},     {'D', "DELETE"},
    {'A', "ALTER"},  {'X', "INDEX"},  {'R', "REFERENCES"},
};

// "GRANT" and its privileges, or empty when none was added.
std::string S_grant_text(const std::string &text)
{
    std::string out = S_trim(text);
    if (out.empty() || out.back() != ',')
        return {};
    out.pop_back();
    return out;
}

int32_t S_copy_grants(const char *source, const char *target)
{
    SourceName name;
    int32_t rc = S_prepare(source, target, &name);
    if (rc != 0)
        return rc;
    const std::string sql =
        "SELECT DISTINCT auth.grantee, auth.tabauth FROM systabauth auth, systables tab WHERE "
        "tab.tabname = '" +
        name.table + "' AND tab.owner = '" + name.owner +
        "' AND auth.tabid = tab.tabid ORDER BY grantee";
    struct Grant {
        std::string grantee, tabauth;
    };
    std::vector<Grant> grants;
    Rowset rowset({{SQL_C_CHAR, kNameSize}, {SQL_C_CHAR, DB_TABAUTH_LENGTH + 1}});
    rc = S_scan(sql, rowset, [&](const Rowset &r, size_t row) {
        std::string grantee = S_trim_right(r.text(row, 0));
        // Several grantors of one grantee: the first row counts.
        if (!grants.empty() && grants.back().grantee == grantee)
            return;
        grants.push_back({grantee, r.text(row, 1)});
    });
    if (rc != 0)
        return rc;
    for (const Grant &g : grants) {
        char words[DB_PRIVILEGE_WORDS][DB_PRIVILEGE_WORD_SIZE];
        int32_t flags[DB_PRIVILEGE_WORDS];
        db_table_decode_privileges(g.tabauth.c_str(), words, flags);
        std::string with_option = "GRANT ", plain = "GRANT ";
        for (int i = 0; i < DB_PRIVILEGE_WORDS; i++) {
            if (words[i][0] == '\0')
                continue;
            std::string &text = flags[i] ? with_option : plain;
            text += std::string(" ") + words[i] + ",";
        }
        with_option = S_grant_text(with_option);
        plain = S_grant_text(plain);
        if (with_option.empty() && plain.empty())
            continue;
        rc = db_check_name(g.grantee.c_str(), kNameSize);
        if (rc != 0)
            return rc;
        if (!with_option.empty()) {
            std::string grant =
                with_option + " ON " + target + " TO " + g.grantee + " WITH GRANT OPTION";
            rc = db_execute_ddlsql(grant.c_str(), 0, kDdlMode);
            if (rc < 0)
                return rc;
        }
        if (!plain.empty()) {
            std::string grant = plain + " ON " + target + " TO " + g.grantee;
            rc = db_execute_ddlsql(grant.c_str(), 0, kDdlMode);
            if (rc < 0)
                return rc;
        }
    }
    return 0;
}

// ---- indexes --------------------------------------------------------------

bool S_listed(const std::string &name, const char (*list)[DB_COPY_INDEX_NAME_SIZE], int32_t count)
{
    for (int32_t i = 0; list != nullptr && i < count; i++) {
        std::string entry(list[i], strnlen(list[i], DB_COPY_INDEX_NAME_SIZE));
        if (strcasecmp(entry.c_str(), name.c_str()) == 0)
            return true;
    }
    return false;
}

int32_t S_copy_indexes(const char *source, const char *target,
                       const char (*skip)[DB_COPY_INDEX_NAME_SIZE], int32_t skip_count,
                       int32_t check_unique, const char (*allowed)[DB_COPY_INDEX_NAME_SIZE],
                       int32_t allowed_count, const char *keyword, int32_t storage)
{
    SourceName name;
    int32_t rc = S_prepare(source, target, &name);
    if (rc != 0)
        return rc;
    // The key parts in their order within each index, so that a copy keeps
    // the column order of its source.
    const std::string sql =
        "SELECT idx.idxname, idx.idxtype, idx.clustered,sc.colname                 FROM "
        "systables tab, sysindices idx, syscolumns sc, sysams sa,                     TABLE "
        "(MULTISET{0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15}) as i(indexpart)                 WHERE "
        "tab.tabname= '" +
        name.table + "' AND tab.owner = '" + name.owner +
        "' AND tab.tabid = idx.tabid AND                       sc.tabid = tab.tabid AND "
        "idx.amid = sa.am_id AND                       sc.colno = "
        "ikeyextractcolno(idx.indexkeys,i.indexpart) AND                       (sa.am_name = "
        "'btree' ) ORDER by 1, i.indexpart";
    struct Index {
        std::string name;
        bool unique;
        std::string columns;
    };
    std::vector<Index> indexes;
    Rowset rowset(
        {{SQL_C_CHAR, kIndexNameSize}, {SQL_C_CHAR, 2}, {SQL_C_CHAR, 2}, {SQL_C_CHAR, kNameSize}});
    rc = S_scan(sql, rowset, [&](const Rowset &r, size_t row) {
        std::string index = S_trim_right(r.text(row, 0));
        std::string column = S_trim_right(r.text(row, 3));
        if (!indexes.empty() && indexes.back().name == index) {
            indexes.back().columns += "," + column;
            return;
        }
        indexes.push_back({index, r.text(row, 1) == "U", column});
    });
    if (rc != 0)
        return rc;
    for (const Index &index : indexes) {
        if (S_listed(index.name, skip, skip_count))
            continue;
        if (check_unique == 0 && index.unique && !S_listed(index.name, allowed, allowed_count))
            return ZE_UNIQUE_INDEX_NOT_ALLOWED;
        std::string base;
        for (char c : index.name)
            if (c != ' ')
                base += c;
        char copy_name[DB_NAME_TABLE_SIZE] = "";
        rc = db_make_adds_index_name(base.c_str(), copy_name, sizeof(copy_name));
        if (rc != 0)
            return rc;
        rc = DB_table_create_index(nullptr, target, index.columns.c_str(), 0, 1, copy_name, keyword,
                                   storage);
        if (rc == ZE_INDEX_EXISTS) {
            fprintf(stderr,
                    "Unable to duplicate index %s for table %s onto table %s because index %s "
                    "already exists.\n",
                    index.name.c_str(), source, target, copy_name);
            continue;
        }
        if (rc != 0)
            return rc;
    }
    return 0;
}

// ---- defaults -------------------------------------------------------------

// How a default of a column type is written.
enum class DefaultForm {
    Never,      // the type carries no default that can be copied
    Quoted,     // the catalogue's text in single quotes
    AfterBlank, // the text after the first blank
    QuotedAfterBlank,
    Null,
};

struct ColumnType {
    int16_t code;
    const char *name;
    DefaultForm form;
};
const ColumnType kColumnTypes[] = {
    {0, "CHAR", DefaultForm::Quoted},
    {1, "SMALLINT", DefaultForm::AfterBlank},
    {2, "INTEGER", DefaultForm::AfterBlank},
    {3, "FLOAT", DefaultForm::AfterBlank},
    {4, "SMALLFLOAT", DefaultForm::AfterBlank},
    {5, "DECIMAL", DefaultForm::AfterBlank},
    {6, "SERIAL", DefaultForm::Never},
    {7, "DATE", DefaultForm::QuotedAfterBlank},
    {8, "MONEY", DefaultForm::AfterBlank},
    {9, "NULL", DefaultForm::Null},
    {10, "DATETIME", DefaultForm::QuotedAfterBlank},
    {11, "BYTE", DefaultForm::Null},
    {12, "TEXT", DefaultForm::Null},
    {13, "VARCHAR", DefaultForm::Quoted},
    {14, "INTERVAL", DefaultForm::Quoted},
    {15, "NCHAR", DefaultForm::Quoted},
    {16, "NVARCHAR", DefaultForm::Quoted},
    {17, "INT8", DefaultForm::AfterBlank},
    {18, "SERIAL8", DefaultForm::Never},
    {19, "SET", DefaultForm::Never},
    {20, "MULTISET", DefaultForm::Never},
    {21, "LIST", DefaultForm::Never},
    {22, "UNNAMED ROW", DefaultForm::Never},
    {23, "COLLECTION", DefaultForm::Never},
    {24, "ROWREF", DefaultForm::Never},
    {40, nullptr, DefaultForm::Quoted}, // extended types: named by sysxtdtypes
    {41, nullptr, DefaultForm::Quoted},
    {4118, "Named ROW", DefaultForm::Never},
};
// The catalogue's mark of a NOT NULL column on its type code.
constexpr int16_t kNotNullBit = 256;

// Qualifier fields of DATETIME and INTERVAL columns by their catalogue code.
const char *S_qualifier_field(int code)
{
    switch (code) {
    case 0:
        return "YEAR";
    case 2:
        return "MONTH";
    case 4:
        return "DAY";
    case 6:
        return "HOUR";
    case 8:
        return "MINUTE";
    case 10:
        return "SECOND";
    default:
        return "FRACTION";
    }
}

// "FIRST TO LAST" of a DATETIME or INTERVAL column's collength (digits x 256
// + first x 16 + last); an INTERVAL's first field carries its precision.
std::string S_qualifier(uint16_t collength, bool interval)
{
    int first = (collength >> 4) & 0xF, last = collength & 0xF, digits = collength >> 8;
    std::string text = S_qualifier_field(first);
    if (interval && first < 11) {
        // The digits of the fields after the first: two each, a fraction its own.
        int rest = 0;
        for (int f = first + 2; f <= 10 && f <= last; f += 2)
            rest += 2;
        if (last > 10)
            rest += last - 10;
        text += "(" + std::to_string(digits - rest) + ")";
    }
    text += std::string(" TO ") + S_qualifier_field(last);
    if (last > 10)
        text += "(" + std::to_string(last - 10) + ")";
    return text;
}

// The full type of a column as ALTER TABLE writes it: the catalogue's length
// goes with the character, decimal and time types, whose bare names would
// mean CHAR(1), DECIMAL(16) or another qualifier.
std::string S_sized_type(int16_t code, const char *name, uint16_t collength)
{
    switch (code) {
    case 0:
    case 15:
        return std::string(name) + "(" + std::to_string(collength) + ")";
    case 13:
    case 16:
        return std::string(name) + "(" + std::to_string(collength & 0xFF) + "," +
               std::to_string(collength >> 8) + ")";
    case 5:
    case 8: {
        int precision = collength >> 8, scale = collength & 0xFF;
        return std::string(name) + "(" + std::to_string(precision) +
               (scale == 0xFF ? "" : "," + std::to_string(scale)) + ")";
    }
    case 10:
        return std::string(name) + " " + S_qualifier(collength, false);
    case 14:
        return std::string(name) + " " + S_qualifier(collength, true);
    default:
        return name;
    }
}

// The name of an extended type: "ST_GEOMETRY" when the catalogue has none.
// 0; -51 with the connection's record filled.
int32_t S_extended_type_name(int32_t extended_id, std::string *out)
{
    std::string sql =
        "SELECT DISTINCT name FROM sysxtdtypes WHERE extended_id = " + std::to_string(extended_id);
    char name[kNameSize] = "";
    SQLLEN length = 0;
    CLI_DIAG_RECORD diag;
    SQLRETURN rc = db_select_one_text(sql.c_str(), name, sizeof(name), &length, &diag);
    if (rc == SQL_NO_DATA || (SQL_SUCCEEDED(rc) && length == SQL_NULL_DATA)) {
        *out = "ST_GEOMETRY";
        return 0;
    }
    if (!SQL_SUCCEEDED(rc)) {
        db_set_xerr_from_diag(diag);
        return ZE_DBMS_ERROR;
    }
    *out = S_trim_right(name);
    return 0;
}

std::string S_after_first_blank(const std::string &text)
{
    size_t blank = text.find(' ');
    return blank == std::string::npos ? text : text.substr(blank + 1);
}

std::string S_quoted(const std::string &text)
{
    return "'" + db_quote_literal(text) + "'";
}

struct DefaultRow {
    std::string column;
    int16_t code;
    std::string text, kind;
    int32_t extended_id;
    uint16_t collength;
};

// The ALTER TABLE of one default, or empty for a type that is never copied.
// 0; -55 for a type this copy cannot write; -51.
int32_t S_default_sql(const DefaultRow &row, const char *target, std::string *sql)
{
    sql->clear();
    int16_t code = row.code == 4118 ? row.code : static_cast<int16_t>(row.code & ~kNotNullBit);
    const ColumnType *type = nullptr;
    for (const ColumnType &t : kColumnTypes)
        if (t.code == code)
            type = &t;
    if (type == nullptr)
        return ZE_UNSUPPORTED_COLUMN_TYPE;
    if (type->form == DefaultForm::Never)
        return 0;
    std::string type_text;
    if (type->name == nullptr) {
        int32_t rc = S_extended_type_name(row.extended_id, &type_text);
        if (rc != 0)
            return rc;
    } else {
        type_text = S_sized_type(code, type->name, row.collength);
    }
    std::string text = S_trim_right(row.text);
    std::string expression;
    if (row.kind == "N")
        expression = "NULL";
    else if (row.kind == "U")
        expression = "USER";
    else if (row.kind == "T")
        expression = "TODAY";
    else if (row.kind == "S")
        expression = "DBSERVERNAME";
    else if (row.kind == "C")
        expression = code == 10 ? "CURRENT " + S_qualifier(row.collength, false) : "CURRENT";
    else if (type->form == DefaultForm::Quoted)
        expression = S_quoted(text);
    else if (type->form == DefaultForm::QuotedAfterBlank)
        expression = S_quoted(S_after_first_blank(text));
    else if (type->form == DefaultForm::AfterBlank)
        expression = S_after_first_blank(text);
    else
        expression = "NULL";
    int32_t rc = db_check_name(row.column.c_str(), kNameSize);
    if (rc != 0)
        return rc;
    *sql = std::string("ALTER TABLE ") + target + " MODIFY (" + row.column + " " + type_text +
           " DEFAULT " + expression +
           ((row.code & kNotNullBit) && code != 4118 ? " NOT NULL" : "") + ")";
    return 0;
}

int32_t S_copy_defaults(const char *source, const char *target)
{
    SourceName name;
    int32_t rc = S_prepare(source, target, &name);
    if (rc != 0)
        return rc;
    const std::string sql =
        "SELECT DISTINCT col.colname, col.coltype, def.default, def.type, col.extended_id, "
        "col.collength FROM sysdefaults def, syscolumns col WHERE def.tabid = col.tabid AND "
        "def.colno = col.colno AND def.tabid IN (SELECT tab.tabid FROM systables tab WHERE "
        "tab.tabname = '" +
        name.table + "' AND tab.owner = '" + name.owner + "')";
    std::vector<DefaultRow> rows;
    Rowset rowset({{SQL_C_CHAR, kNameSize},
                   {SQL_C_SHORT, sizeof(int16_t)},
                   {SQL_C_CHAR, kDefaultSize},
                   {SQL_C_CHAR, 2},
                   {SQL_C_LONG, sizeof(int32_t)},
                   {SQL_C_SHORT, sizeof(int16_t)}});
    rc = S_scan(sql, rowset, [&](const Rowset &r, size_t row) {
        rows.push_back({S_trim_right(r.text(row, 0)), r.number<int16_t>(row, 1), r.text(row, 2),
                        r.text(row, 3), r.number<int32_t>(row, 4),
                        static_cast<uint16_t>(r.number<int16_t>(row, 5))});
    });
    if (rc != 0)
        return rc;
    for (const DefaultRow &row : rows) {
        std::string alter;
        rc = S_default_sql(row, target, &alter);
        if (rc != 0)
            return rc;
        if (alter.empty())
            continue;
        if (db_execute_ddlsql(alter.c_str(), 0, kDdlMode) < 0)
            return ZE_DBMS_ERROR;
    }
    return 0;
}

// ---- check constraints ----------------------------------------------------

int32_t S_copy_checks(const char *source, const char *target)
{
    SourceName name;
    int32_t rc = S_prepare(source, target, &name);
    if (rc != 0)
        return rc;
    // Pieces in their sequence, every one of them: DISTINCT would fold two
    // equal pieces of one text into one.
    const std::string sql =
        "SELECT con.constrname, ch.constrid, ch.checktext, con.constrname FROM syschecks ch, "
        "sysconstraints  con where ch.constrid = con.constrid and ch.type = 'T' AND con.tabid = "
        "(SELECT tabid from systables tab where tab.tabname = '" +
        name.table + "' AND tab.owner = '" + name.owner + "' ) order by ch.constrid, ch.seqno";
    struct Check {
        int32_t id;
        std::string text;
    };
    std::vector<Check> checks;
    Rowset rowset(
        {{SQL_C_CHAR, kNameSize}, {SQL_C_LONG, sizeof(int32_t)}, {SQL_C_CHAR, kCheckPieceSize}});
    rc = S_scan(sql, rowset, [&](const Rowset &r, size_t row) {
        int32_t id = r.number<int32_t>(row, 1);
        if (checks.empty() || checks.back().id != id)
            checks.push_back({id, {}});
        checks.back().text += r.text(row, 2);
    });
    if (rc != 0)
        return rc;
    for (const Check &check : checks) {
        std::string alter = std::string("ALTER TABLE ") + target + " ADD CONSTRAINT CHECK " +
                            S_trim_right(check.text) + " ";
        if (db_execute_ddlsql(alter.c_str(), 0, kDdlMode) < 0)
            return ZE_DBMS_ERROR;
    }
    return 0;
}

} // namespace

int32_t db_table_decode_privileges(const char *text, char (*words)[DB_PRIVILEGE_WORD_SIZE],
                                   int32_t *grant_option)
{
    if (words == nullptr || grant_option == nullptr)
        return ZE_INVALID_ARGUMENT;
    for (int i = 0; i < DB_PRIVILEGE_WORDS; i++) {
        words[i][0] = '\0';
        grant_option[i] = 0;
    }
    if (text == nullptr)
        return 0;
    size_t length = strnlen(text, DB_TABAUTH_LENGTH);
    for (size_t i = 0; i < length; i++) {
        for (const PrivilegeLetter &p : kPrivilegeLetters) {
            if (text[i] != p.letter && text[i] != p.letter + ('a' - 'A'))
                continue;
            snprintf(words[i], DB_PRIVILEGE_WORD_SIZE, "%s", p.word);
            grant_option[i] = text[i] == p.letter ? 1 : 0;
        }
    }
    return 0;
}

int32_t db_table_copy_grants(const char *source, const char *target, int32_t)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&]() -> int32_t { return S_copy_grants(source, target); });
}

int32_t db_table_copy_indexes(const char *source, const char *target,
                              const char (*skip)[DB_COPY_INDEX_NAME_SIZE], int32_t skip_count,
                              int32_t check_unique, const char (*allowed)[DB_COPY_INDEX_NAME_SIZE],
                              int32_t allowed_count, const char *keyword, int32_t storage)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        return S_copy_indexes(source, target, skip, skip_count, check_unique, allowed,
                              allowed_count, keyword, storage);
    });
}

int32_t db_table_copy_defaults(const char *source, const char *target)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&]() -> int32_t { return S_copy_defaults(source, target); });
}

int32_t db_table_copy_check_constraints(const char *source, const char *target)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&]() -> int32_t { return S_copy_checks(source, target); });
}
