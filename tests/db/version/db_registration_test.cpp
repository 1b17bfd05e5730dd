// Tests the registration reader (scans of TABLE_REGISTRY in blocks of 100
// rows, the scan by ids in batches of 150, reopening, failures), the largest
// row id of a registered table, the table check and the obsolete entry points.
#include "db/version/db_registration_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_names_internal.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

std::string registry()
{
    char name[DB_QUALIFIED_NAME_SIZE];
    db_make_table_registry_name(nullptr, name, sizeof(name));
    return name;
}

const char *const kList = "SELECT registration_id,database_name,table_name,owner,rowid_column,"
                          "       description,object_flags,registration_date,       "
                          "config_keyword,minimum_id,imv_view_name FROM ";

std::string scan_sql()
{
    return kList + registry() + " ORDER BY registration_id";
}

std::string where_sql(const std::string &where)
{
    return kList + std::string(" ") + registry() + " WHERE " + where + " ORDER BY registration_id";
}

std::vector<scli::Column> registry_columns()
{
    return {{"registration_id", SQL_INTEGER},    {"database_name", SQL_VARCHAR, 32},
            {"table_name", SQL_VARCHAR, 128},    {"owner", SQL_VARCHAR, 32},
            {"rowid_column", SQL_VARCHAR, 32},   {"description", SQL_VARCHAR, 65},
            {"object_flags", SQL_INTEGER},       {"registration_date", SQL_INTEGER},
            {"config_keyword", SQL_VARCHAR, 32}, {"minimum_id", SQL_INTEGER},
            {"imv_view_name", SQL_VARCHAR, 32}};
}

// Registration n: every third row has its nullable columns NULL.
scli::Row registry_row(int32_t n)
{
    bool nulls = n % 3 == 0;
    auto text = [&](const std::string &s) { return nulls ? scli::null() : scli::varchar(s); };
    return {scli::i32(n),
            scli::varchar("gis"),
            scli::varchar("t" + std::to_string(n)),
            scli::varchar("bob"),
            text("objectid"),
            text("table " + std::to_string(n)),
            scli::i32(n % 2 ? 5 : 8),
            scli::i32(1000000 + n),
            text("DEFAULTS"),
            nulls ? scli::null() : scli::i32(n * 10),
            text("v" + std::to_string(n))};
}

std::vector<scli::Row> registry_rows(int32_t first, int32_t count)
{
    std::vector<scli::Row> rows;
    for (int32_t n = first; n < first + count; n++)
        rows.push_back(registry_row(n));
    return rows;
}

void expect_registration(const REGISTRATION &r, int32_t n)
{
    SCOPED_TRACE("registration " + std::to_string(n));
    bool nulls = n % 3 == 0;
    EXPECT_STREQ(r.tag, "ReG");
    EXPECT_EQ(r.registration_id, n);
    EXPECT_STREQ(r.database_name, "gis");
    EXPECT_EQ(r.table_name, "t" + std::to_string(n));
    EXPECT_STREQ(r.owner, "bob");
    EXPECT_STREQ(r.rowid_column, nulls ? "" : "objectid");
    EXPECT_EQ(r.description, nulls ? std::string() : "table " + std::to_string(n));
    EXPECT_EQ(r.object_flags, n % 2 ? 5u : 8u);
    EXPECT_EQ(r.registration_date, static_cast<uint32_t>(1000000 + n));
    EXPECT_EQ(r.permissions, 0);
    EXPECT_STREQ(r.config_keyword, nulls ? "" : "DEFAULTS");
    EXPECT_EQ(r.minimum_id, nulls ? 0u : static_cast<uint32_t>(n * 10));
    EXPECT_EQ(r.imv_view_name, nulls ? std::string() : "v" + std::to_string(n));
}

// Reads records until the call gives something other than 0; the ids read.
std::vector<int32_t> read_rest(int32_t (*next)(REGISTRATION *), int32_t *last)
{
    std::vector<int32_t> ids;
    REGISTRATION r;
    while ((*last = next(&r)) == ZE_SUCCESS)
        ids.push_back(r.registration_id);
    return ids;
}

int32_t scan_next(REGISTRATION *r)
{
    return DB_registration_scan(nullptr, 0, r);
}

int32_t ids_next(REGISTRATION *r)
{
    return db_registration_scan_by_ids(nullptr, 0, nullptr, r);
}

using Bitmap = std::unique_ptr<VE_BITMAP, decltype(&VES_Bitmap_Destroy)>;

// Statement handles still allocated (the connection's own handles stay).
int open_statements()
{
    int n = 0;
    for (const std::string &line : scli::leaks())
        n += line.rfind("STMT", 0) == 0;
    return n;
}

} // namespace

class Registrations : public ConnectedUser
{
  protected:
    std::vector<std::string> commits(size_t n)
    {
        return std::vector<std::string>(n, "COMMIT");
    }
};

TEST_F(Registrations, ScanReadsBlocksOfAHundredRows)
{
    const struct {
        int32_t rows;
        int block_fetches;
    } cases[] = {{0, 1}, {1, 1}, {100, 2}, {101, 2}, {250, 3}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.rows) + " rows");
        MarkNow();
        int fetches_before = scli::call_count("SQLExtendedFetch");
        scli::on_sql(scan_sql()).columns(registry_columns()).rows(registry_rows(1, c.rows));
        REGISTRATION first;
        int32_t rc = DB_registration_scan(nullptr, 1, &first);
        std::vector<int32_t> ids;
        if (rc == ZE_SUCCESS) {
            expect_registration(first, 1);
            ids.push_back(first.registration_id);
            std::vector<int32_t> rest = read_rest(scan_next, &rc);
            ids.insert(ids.end(), rest.begin(), rest.end());
        }
        EXPECT_EQ(rc, ZE_NO_MORE_ROWS);
        ASSERT_EQ(ids.size(), static_cast<size_t>(c.rows));
        for (int32_t i = 0; i < c.rows; i++)
            EXPECT_EQ(ids[static_cast<size_t>(i)], i + 1);
        std::vector<std::string> expected = {scan_sql()};
        std::vector<std::string> each = commits(static_cast<size_t>(c.rows));
        expected.insert(expected.end(), each.begin(), each.end());
        EXPECT_EQ(Executed(), expected);
        EXPECT_EQ(scli::call_count("SQLExtendedFetch") - fetches_before, c.block_fetches);
        EXPECT_EQ(Details("SQLSetStmtAttr").back(), "attr=9 value=100");
        // The scan is closed: a next call finds nothing open.
        REGISTRATION r;
        EXPECT_EQ(DB_registration_scan(nullptr, 0, &r), ZE_SCAN_NOT_STARTED);
        EXPECT_EQ(open_statements(), 0);
    }
}

TEST_F(Registrations, EveryFieldAndNullRule)
{
    scli::on_sql(scan_sql()).columns(registry_columns()).rows(registry_rows(2, 4));
    REGISTRATION r;
    ASSERT_EQ(DB_registration_scan(nullptr, 1, &r), ZE_SUCCESS);
    expect_registration(r, 2);
    for (int32_t n = 3; n <= 5; n++) {
        ASSERT_EQ(DB_registration_scan(nullptr, 0, &r), ZE_SUCCESS);
        expect_registration(r, n); // 3 has every nullable column NULL
    }
    EXPECT_EQ(DB_registration_scan(nullptr, 0, &r), ZE_NO_MORE_ROWS);
    EXPECT_EQ(DB_registration_scan(nullptr, 0, nullptr), ZE_NULL_POINTER);
}

TEST_F(Registrations, ReopeningDiscardsTheOpenScan)
{
    scli::on_sql(scan_sql()).columns(registry_columns()).rows(registry_rows(1, 5));
    scli::on_sql(scan_sql()).columns(registry_columns()).rows(registry_rows(40, 2));
    REGISTRATION r;
    ASSERT_EQ(DB_registration_scan(nullptr, 1, &r), ZE_SUCCESS);
    ASSERT_EQ(DB_registration_scan(nullptr, 0, &r), ZE_SUCCESS);
    EXPECT_EQ(r.registration_id, 2);
    ASSERT_EQ(DB_registration_scan(nullptr, 1, &r), ZE_SUCCESS);
    EXPECT_EQ(r.registration_id, 40);
    int32_t rc = 0;
    EXPECT_EQ(read_rest(scan_next, &rc), std::vector<int32_t>{41});
    EXPECT_EQ(rc, ZE_NO_MORE_ROWS);
    // The first statement was dropped at the reopen.
    EXPECT_EQ(open_statements(), 0);
}

TEST_F(Registrations, ConnectionThatClosesCursorsAtCommit)
{
    // Commits wait until the last block is in the buffer.
    scli::set_info(SQL_CURSOR_COMMIT_BEHAVIOR, SQL_CB_CLOSE, 2);
    scli::on_sql(scan_sql()).columns(registry_columns()).rows(registry_rows(1, 130));
    REGISTRATION r;
    ASSERT_EQ(DB_registration_scan(nullptr, 1, &r), ZE_SUCCESS);
    int32_t rc = 0;
    EXPECT_EQ(read_rest(scan_next, &rc).size(), 129u);
    EXPECT_EQ(rc, ZE_NO_MORE_ROWS);
    std::vector<std::string> expected = {scan_sql()};
    std::vector<std::string> each = commits(30);
    expected.insert(expected.end(), each.begin(), each.end());
    EXPECT_EQ(Executed(), expected);
}

TEST_F(Registrations, FailuresCloseTheReader)
{
    REGISTRATION r;
    EXPECT_EQ(DB_registration_scan(nullptr, 0, &r), ZE_SCAN_NOT_STARTED);

    // The query fails at once.
    StderrCapture capture;
    scli::on_sql(scan_sql()).fail(SQL_ERROR, {"42000", -272, "no select permission"});
    EXPECT_EQ(DB_registration_scan(nullptr, 1, &r), ZE_DBMS_ERROR);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.code, ZE_DBMS_ERROR);
    EXPECT_EQ(xerr.native_error, -272);
    EXPECT_EQ(DB_registration_scan(nullptr, 0, &r), ZE_SCAN_NOT_STARTED);

    // The second block fails: the records of the first came out.
    scli::on_sql(scan_sql())
        .columns(registry_columns())
        .rows(registry_rows(1, 150))
        .at_fetch(2, SQL_ERROR, {"HY000", -244, "could not do a physical-order read"});
    ASSERT_EQ(DB_registration_scan(nullptr, 1, &r), ZE_SUCCESS);
    int32_t rc = 0;
    EXPECT_EQ(read_rest(scan_next, &rc).size(), 99u);
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -244);
    EXPECT_EQ(DB_registration_scan(nullptr, 0, &r), ZE_SCAN_NOT_STARTED);
    EXPECT_EQ(open_statements(), 0);
}

TEST_F(Registrations, ScanByIdsInBatchesOf150)
{
    Bitmap ids(VES_Bitmap_Create(400, 0), &VES_Bitmap_Destroy);
    // 200 ids: 2, 4, ..., 400 (bit n - 1 for id n).
    for (int32_t id = 2; id <= 400; id += 2)
        VES_Bitmap_Set(ids.get(), id - 1, 1);
    std::string first = "registration_id IN (", second = first;
    for (int32_t id = 2; id <= 400; id += 2)
        (id <= 300 ? first : second) += std::to_string(id) + ",";
    first.back() = ')';
    second.back() = ')';
    std::vector<scli::Row> rows1, rows2;
    for (int32_t id = 2; id <= 300; id += 2)
        rows1.push_back(registry_row(id));
    rows2.push_back(registry_row(302));
    rows2.push_back(registry_row(400));
    scli::on_sql(where_sql(first)).columns(registry_columns()).rows(rows1);
    scli::on_sql(where_sql(second)).columns(registry_columns()).rows(rows2);

    REGISTRATION r;
    ASSERT_EQ(db_registration_scan_by_ids(nullptr, 1, ids.get(), &r), ZE_SUCCESS);
    EXPECT_EQ(r.registration_id, 2);
    int32_t rc = 0;
    std::vector<int32_t> read = read_rest(ids_next, &rc);
    EXPECT_EQ(rc, ZE_NO_MORE_ROWS);
    ASSERT_EQ(read.size(), 151u);
    EXPECT_EQ(read[148], 300);
    EXPECT_EQ(read[149], 302);
    EXPECT_EQ(read[150], 400);
    std::vector<std::string> executed = Executed();
    ASSERT_EQ(executed.size(), 2u + 152u);
    EXPECT_EQ(executed[0], where_sql(first));
    EXPECT_EQ(executed[151], where_sql(second));
    EXPECT_EQ(ids_next(&r), ZE_SCAN_NOT_STARTED);
}

// A batch without rows, the first one included, goes on to the next; -4
// comes after the last batch only.
TEST_F(Registrations, ScanByIdsGoesPastBatchesWithoutRows)
{
    Bitmap ids(VES_Bitmap_Create(500, 0), &VES_Bitmap_Destroy);
    // 450 ids, 1 to 450: three batches of 150; only the second has rows.
    std::string batches[3];
    for (int32_t id = 1; id <= 450; id++) {
        VES_Bitmap_Set(ids.get(), id - 1, 1);
        std::string &b = batches[(id - 1) / 150];
        b += (b.empty() ? "registration_id IN (" : "") + std::to_string(id) + ",";
    }
    for (std::string &b : batches)
        b.back() = ')';
    scli::on_sql(where_sql(batches[0])).columns(registry_columns());
    scli::on_sql(where_sql(batches[1])).columns(registry_columns()).rows(registry_rows(151, 2));
    scli::on_sql(where_sql(batches[2])).columns(registry_columns());

    REGISTRATION r;
    ASSERT_EQ(db_registration_scan_by_ids(nullptr, 1, ids.get(), &r), ZE_SUCCESS);
    EXPECT_EQ(r.registration_id, 151);
    int32_t rc = 0;
    EXPECT_EQ(read_rest(ids_next, &rc), std::vector<int32_t>{152});
    EXPECT_EQ(rc, ZE_NO_MORE_ROWS);
    std::vector<std::string> queries;
    for (const std::string &sql : Executed())
        if (sql != "COMMIT")
            queries.push_back(sql);
    EXPECT_EQ(queries, (std::vector<std::string>{where_sql(batches[0]), where_sql(batches[1]),
                                                 where_sql(batches[2])}));
    EXPECT_EQ(ids_next(&r), ZE_SCAN_NOT_STARTED);
    EXPECT_EQ(open_statements(), 0);
}

TEST_F(Registrations, ScanByIdsWithoutIds)
{
    // No bit set: nothing to read, no query.
    Bitmap none(VES_Bitmap_Create(64, 0), &VES_Bitmap_Destroy);
    REGISTRATION r;
    EXPECT_EQ(db_registration_scan_by_ids(nullptr, 1, none.get(), &r), ZE_NO_MORE_ROWS);
    EXPECT_TRUE(Executed().empty());
    // No set: every registration.
    scli::on_sql(scan_sql()).columns(registry_columns()).rows(registry_rows(7, 2));
    ASSERT_EQ(db_registration_scan_by_ids(nullptr, 1, nullptr, &r), ZE_SUCCESS);
    EXPECT_EQ(r.registration_id, 7);
    int32_t rc = 0;
    EXPECT_EQ(read_rest(ids_next, &rc), std::vector<int32_t>{8});
    EXPECT_EQ(rc, ZE_NO_MORE_ROWS);
}

namespace
{

REGISTRATION registration(uint32_t flags)
{
    REGISTRATION r{};
    memcpy(r.tag, "ReG", 4);
    r.registration_id = 7;
    strcpy(r.database_name, "gis");
    strcpy(r.owner, "bob");
    strcpy(r.table_name, "roads");
    strcpy(r.rowid_column, "objectid");
    r.object_flags = flags;
    return r;
}

const char *const kMaxBase = "SELECT MAX(objectid) FROM   gis:bob.roads";
const char *const kMaxAdds =
    "SELECT MAX(objectid) FROM   gis:'bob'.A7 WHERE  objectid < 2136997887";

} // namespace

TEST_F(Registrations, LargestRowIdOfTheTableAndItsAddsTable)
{
    auto max_answer = [](const char *sql, scli::Value v) {
        scli::on_sql(sql).columns({{"max", SQL_INTEGER}}).row({v});
    };
    const struct {
        const char *what;
        uint32_t flags;
        scli::Value base, adds;
        uint32_t expected;
    } cases[] = {
        {"plain table", REG_ROWID_COLUMN, scli::i32(42), scli::null(), 42},
        {"empty plain table", REG_ROWID_COLUMN, scli::null(), scli::null(), 0},
        {"adds table higher", REG_ROWID_COLUMN | REG_MULTIVERSION, scli::i32(42), scli::i32(50),
         50},
        {"adds table lower", REG_ROWID_COLUMN | REG_MULTIVERSION, scli::i32(42), scli::i32(3), 42},
        {"empty adds table", REG_ROWID_COLUMN | REG_MULTIVERSION, scli::i32(42), scli::null(), 42},
        {"above 2^31", REG_ROWID_COLUMN, scli::i32(-5), scli::null(), 4294967291u},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        MarkNow();
        REGISTRATION r = registration(c.flags);
        max_answer(kMaxBase, c.base);
        bool versioned = c.flags & REG_MULTIVERSION;
        if (versioned)
            max_answer(kMaxAdds, c.adds);
        uint32_t max = 99;
        EXPECT_EQ(DB_registered_table_get_max_rowid(nullptr, &r, &max), ZE_SUCCESS);
        EXPECT_EQ(max, c.expected);
        std::vector<std::string> expected = {kMaxBase, "COMMIT"};
        if (versioned) {
            expected.push_back(kMaxAdds);
            expected.push_back("COMMIT");
        }
        EXPECT_EQ(Executed(), expected);
        EXPECT_TRUE(scli::unused_answers().empty());
    }
}

TEST_F(Registrations, LargestRowIdFailures)
{
    REGISTRATION r = registration(REG_ROWID_COLUMN | REG_MULTIVERSION);
    uint32_t max = 0;
    // A missing column counts as no value.
    scli::on_sql(kMaxBase).fail(SQL_ERROR, {"S0022", -217, "column not found"});
    scli::on_sql(kMaxAdds).columns({{"max", SQL_INTEGER}}).row({scli::i32(8)});
    EXPECT_EQ(DB_registered_table_get_max_rowid(nullptr, &r, &max), ZE_SUCCESS);
    EXPECT_EQ(max, 8u);

    StderrCapture capture;
    scli::on_sql(kMaxBase).columns({{"max", SQL_INTEGER}}).row({scli::i32(3)});
    scli::on_sql(kMaxAdds).fail(SQL_ERROR, {"S0002", -206, "table not found"});
    EXPECT_EQ(DB_registered_table_get_max_rowid(nullptr, &r, &max), ZE_DBMS_ERROR);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -206);

    strcpy(r.rowid_column, "id; drop");
    EXPECT_EQ(DB_registered_table_get_max_rowid(nullptr, &r, &max), ZE_INVALID_IDENTIFIER);
    EXPECT_EQ(DB_registered_table_get_max_rowid(nullptr, nullptr, &max), ZE_NULL_POINTER);
    EXPECT_EQ(DB_registered_table_get_max_rowid(nullptr, &r, nullptr), ZE_NULL_POINTER);
}

TEST_F(Registrations, VerifyPreparesTheTableItsColumn)
{
    const struct {
        uint32_t flags;
        const char *sql;
    } cases[] = {
        {REG_ROWID_COLUMN, "SELECT objectid FROM gis:bob.roads"},
        {REG_ROWID_COLUMN | REG_ROWID_ENGINE, "SELECT * FROM gis:bob.roads"},
        {REG_LAYER, "SELECT * FROM gis:bob.roads"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        REGISTRATION r = registration(c.flags);
        size_t before = scli::calls_of("SQLPrepare").size();
        EXPECT_EQ(DB_registration_verify_table(nullptr, &r), ZE_SUCCESS);
        std::vector<scli::Call> prepares = scli::calls_of("SQLPrepare");
        ASSERT_EQ(prepares.size(), before + 1);
        EXPECT_EQ(prepares.back().sql, c.sql);
    }
    EXPECT_TRUE(Executed().empty()); // prepared only
    EXPECT_EQ(open_statements(), 0);

    REGISTRATION r = registration(REG_ROWID_COLUMN);
    strcpy(r.database_name, "GIS"); // the database compares without regard to case
    EXPECT_EQ(DB_registration_verify_table(nullptr, &r), ZE_SUCCESS);
    strcpy(r.database_name, "other");
    EXPECT_EQ(DB_registration_verify_table(nullptr, &r), ZE_WRONG_DATABASE);

    StderrCapture capture;
    r = registration(REG_ROWID_COLUMN);
    scli::on_sql("SELECT objectid FROM gis:bob.roads").at_prepare(SQL_ERROR, {"S0002", -206, "no"});
    EXPECT_EQ(DB_registration_verify_table(nullptr, &r), ZE_DBMS_ERROR);
    EXPECT_EQ(DB_registration_verify_table(nullptr, nullptr), ZE_NULL_POINTER);
}

TEST_F(Registrations, ObsoleteEntryPoints)
{
    REGISTRATION r = registration(0);
    StderrCapture capture;
    EXPECT_EQ(DB_registry_def_delete(nullptr, 7), ZE_FAILURE);
    EXPECT_EQ(DB_registry_def_insert(nullptr, &r), ZE_FAILURE);
    EXPECT_EQ(DB_registry_def_update(nullptr, &r), ZE_FAILURE);
    EXPECT_EQ(DB_registry_def_change_table_name(nullptr, &r, "x"), ZE_FAILURE);
    EXPECT_EQ(capture.text(), "Obsolete function DB_registry_def_delete() called!"
                              "Obsolete function DB_registry_def_insert() called!"
                              "Obsolete function DB_registry_def_update() called!"
                              "Obsolete function DB_registry_def_change_table_name() called!");
    EXPECT_TRUE(Executed().empty());
}

namespace
{

const std::string kAccessSql =
    "SELECT tabauth from informix.systabauth au,informix.systables tab   where au.tabid = "
    "tab.tabid and tab.owner = ?    and tab.tabname = ?    and (au.grantee = ? or au.grantee = "
    "'public' or    (au.grantee in (select rolename from informix.sysroleauth rol     where "
    "rol.grantee = ?)))";

REGISTRATION owned(const char *owner, const char *table, int32_t permissions)
{
    REGISTRATION r = registration(REG_LAYER);
    strcpy(r.owner, owner);
    strcpy(r.table_name, table);
    r.permissions = permissions;
    return r;
}

} // namespace

TEST_F(Registrations, PermissionsFilledWhereNotYetRead)
{
    scli::on_sql(kAccessSql).columns({{"tabauth", SQL_CHAR, 9}}).row({scli::chr("s--id----", 9)});
    scli::on_sql(kAccessSql).columns({{"tabauth", SQL_CHAR, 9}});
    REGISTRATION list[] = {owned("bob", "roads", -1), owned("ann", "roads", 6),
                           owned("ann", "lots", -1), owned("carol", "t", -1)};
    EXPECT_EQ(DB_registration_list_get_permissions(nullptr, list, 4), ZE_SUCCESS);
    EXPECT_EQ(list[0].permissions, 30); // the owner: no query
    EXPECT_EQ(list[1].permissions, 6);  // read before: untouched
    EXPECT_EQ(list[2].permissions, 26);
    EXPECT_EQ(list[3].permissions, 0); // no privilege at all
    EXPECT_EQ(Executed(), (std::vector<std::string>{kAccessSql, kAccessSql}));
    std::vector<scli::Call> executes = scli::calls_of("SQLExecute");
    EXPECT_EQ(executes.back().params,
              (std::vector<std::vector<std::string>>{{"carol", "t", "bob", "bob"}}));
    EXPECT_EQ(open_statements(), 0); // the access statement is closed at the end

    // A DBMS failure stops the loop.
    StderrCapture capture;
    scli::on_sql(kAccessSql).fail(SQL_ERROR, {"S1000", -211, "catalog"});
    REGISTRATION failing[] = {owned("ann", "a", -1), owned("ann", "b", -1)};
    EXPECT_EQ(DB_registration_list_get_permissions(nullptr, failing, 2), ZE_DBMS_ERROR);
    EXPECT_EQ(failing[1].permissions, -1);
    EXPECT_EQ(open_statements(), 0);
    EXPECT_EQ(DB_registration_list_get_permissions(nullptr, nullptr, 1), ZE_NULL_POINTER);
    EXPECT_EQ(DB_registration_list_get_permissions(nullptr, nullptr, 0), ZE_SUCCESS);
}

namespace
{

std::string layers_table()
{
    char name[DB_QUALIFIED_NAME_SIZE];
    db_make_layers_table_name(nullptr, name, sizeof(name));
    return name;
}

std::string load_sql()
{
    return "INSERT INTO " + registry() +
           " (registration_id,database_name,                 owner,table_name,description,     "
           "            object_flags,registration_date,config_keyword)   SELECT "
           "layer_id,database_name,owner,table_name,         description,4,cdate,layer_config   "
           "FROM " +
           layers_table() + " ";
}

} // namespace

TEST_F(Registrations, LoadFromTheLayerCatalogue)
{
    const std::string count_sql = "SELECT count(*) FROM  " + layers_table();
    const std::string truncate_sql = "DELETE FROM " + registry() + " \n";
    // Emptied first, filled, committed, counted.
    scli::on_sql(count_sql).columns({{"count", SQL_INTEGER}}).row({scli::i32(3)});
    int32_t count = -1;
    EXPECT_EQ(DB_registry_load_from_layers(nullptr, 1, &count), ZE_SUCCESS);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(Executed(),
              (std::vector<std::string>{truncate_sql, load_sql(), "COMMIT", count_sql}));

    // No layer at all: the emptying is still committed.
    MarkNow();
    scli::on_sql(load_sql()).no_data();
    scli::on_sql(count_sql).columns({{"count", SQL_INTEGER}}).row({scli::i32(0)});
    EXPECT_EQ(DB_registry_load_from_layers(nullptr, 1, &count), ZE_SUCCESS);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(Executed(),
              (std::vector<std::string>{truncate_sql, load_sql(), "COMMIT", count_sql}));

    // A failed insert rolls the emptying back.
    MarkNow();
    StderrCapture capture;
    scli::on_sql(load_sql()).fail(SQL_ERROR, {"23000", -268, "duplicate"});
    EXPECT_EQ(DB_registry_load_from_layers(nullptr, 1, &count), ZE_DBMS_ERROR);
    EXPECT_EQ(Executed(), (std::vector<std::string>{truncate_sql, load_sql(), "ROLLBACK"}));

    // Without the flag nothing is emptied.
    MarkNow();
    scli::on_sql(count_sql).columns({{"count", SQL_INTEGER}}).row({scli::i32(3)});
    EXPECT_EQ(DB_registry_load_from_layers(nullptr, 0, &count), ZE_SUCCESS);
    EXPECT_EQ(Executed(), (std::vector<std::string>{load_sql(), "COMMIT", count_sql}));
    EXPECT_EQ(DB_registry_load_from_layers(nullptr, 0, nullptr), ZE_NULL_POINTER);
}
