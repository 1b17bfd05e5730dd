// The multiversion view SQL: view names, the existence test, the lineage
// setter, the stored standard view (created, reused, named without creating
// it, dropped again when its grant fails), the inline standard view for
// lineage lists and log files that a stored view must not freeze, the
// current-adds text, pretty printing, caller buffers, the text size, select
// lists and the refused kinds and arguments.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/db/version/mv_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

const std::string kSetter = "EXECUTE PROCEDURE ZEL_lineageid_set7(5, 3, 0, 2, -1)";
const std::string kExists = "SELECT count(*) FROM SYSTABLES WHERE tabtype = 'V' AND tabname = "
                            "LOWER('ZEL_std_view_7') ";

// The stored view of the fixture's table, piece by piece.
std::string StoredView(const std::string &L1)
{
    return "CREATE VIEW ZEL_std_view_7(" +
           std::string("objectid,name,shape ,ZEL_STATE_ID , "
                       "VE_ROW_ID  ") +
           ") AS (SELECT " + "b.objectid,b.name,b.shape , 0 ZEL_STATE_ID , b.VE_ROW_ID " + "FROM " +
           "roads b " + "WHERE b.objectid NOT IN (SELECT ZEL_DELETES_ROW_ID " +
           "FROM gis:'bob'.d7 dd " + " WHERE ZEL_STATE_ID = 0 AND " + "DELETED_AT IN (" + L1 +
           ") ) " + "UNION ALL " + "SELECT " +
           "a.objectid,a.name,a.shape , a.ZEL_STATE_ID , a.VE_ROW_ID " + " FROM " +
           " gis:'bob'.A7 a " + " WHERE a.objectid NOT IN (SELECT ZEL_DELETES_ROW_ID " +
           " FROM gis:'bob'.d7 dd " + " WHERE DELETED_AT IN (" + L1 + ") AND " +
           "a.ZEL_STATE_ID = dd.ZEL_STATE_ID ) AND " + "a.ZEL_STATE_ID IN (" + L1 + ") " + ") ";
}

TEST(MvViewName, ByKindLogSubLineageAndEquivalences)
{
    unsetenv("ZELEQUIVS");
    const struct {
        int32_t kind, log, sub;
        const char *name;
    } cases[] = {
        {2, 1, 1, "ZEL_std_log_sublineage_view_12"},
        {2, 1, 0, "ZEL_std_log_view_12"},
        {3, 0, 1, "ZEL_std_sublineage_view_12"},
        {3, 0, 0, "ZEL_std_view_12"},
        {4, 1, 1, "ZEL_nch_log_sublineage_update_view_12"},
        {4, 1, 0, "ZEL_nch_log_update_view_12"},
        {4, 0, 1, "ZEL_nch_sublineage_update_view_12"},
        {4, 0, 0, "ZEL_nch_update_view_12"},
        {5, 1, 1, "ZEL_nch_log_sublineage_delete_view_12"},
        {5, 1, 0, "ZEL_nch_log_delete_view_12"},
        {5, 0, 1, "ZEL_nch_sublineage_delete_view_12"},
        {5, 0, 0, "ZEL_nch_delete_view_12"},
        {6, 1, 1, ""},
        {11, 0, 0, ""},
        {1, 0, 0, ""},
    };
    for (bool equivs : {false, true}) {
        if (equivs)
            setenv("ZELEQUIVS", "1", 1);
        for (const auto &c : cases) {
            SCOPED_TRACE(c.name);
            char out[64] = "x";
            EXPECT_EQ(db_mv_view_name(12, c.kind, c.log, c.sub, out, sizeof(out)), 0);
            std::string expected = c.name;
            if (equivs && !expected.empty())
                expected.insert(expected.size() - strlen("_view_12"), "_equiv");
            EXPECT_EQ(out, expected);
        }
    }
    unsetenv("ZELEQUIVS");
    char small[16];
    EXPECT_EQ(db_mv_view_name(12, 2, 0, 0, small, 15), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(db_mv_view_name(12, 2, 0, 0, small, sizeof(small)), 0);
    EXPECT_EQ(db_mv_view_name(12, 2, 0, 0, nullptr, 16), ZE_INVALID_ARGUMENT);
}

TEST(SqlIsIdentifier, PlainColumnNamesOnly)
{
    const std::pair<const char *, int32_t> cases[] = {
        {"objectid", 1}, {"VE_ROW_ID", 1}, {"a$b#c", 1}, {"\"Mixed Case\"", 1},
        {"null", 0},     {"NULL", 0},      {"1abc", 0},  {"'text'", 0},
        {"a.b", 0},      {"max(x)", 0},    {"x + 1", 0}, {"", 0},
    };
    for (auto [text, expected] : cases)
        EXPECT_EQ(db_sql_is_identifier(text), expected) << text;
    EXPECT_EQ(db_sql_is_identifier(nullptr), 0);
}

TEST_F(MvTest, ExistenceCountsTheViewsOfThatName)
{
    view_count("ZEL_std_view_7", 1);
    EXPECT_EQ(db_view_exists("ZEL_std_view_7"), ZE_VIEW_EXISTS);
    view_count("o''x", 0);
    EXPECT_EQ(db_view_exists("o'x"), 0);
    scli::on_sql(kExists).fail(SQL_ERROR, {"S1000", -206, "no systables"});
    EXPECT_EQ(db_view_exists("ZEL_std_view_7"), ZE_DBMS_ERROR);
    EXPECT_EQ(executed(), (std::vector<std::string>{kExists,
                                                    "SELECT count(*) FROM SYSTABLES WHERE tabtype "
                                                    "= 'V' AND tabname = LOWER('o''x') ",
                                                    kExists}));
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.code, 0); // no record is filled
}

// The setter's fifth value is the log's data id: the view joins the log's
// rows by it, and a replaced log no longer has the data id of its log id.
TEST_F(MvTest, SetterCarriesTheStateAndTheLogsDataId)
{
    EXPECT_EQ(db_mv_set_lineage(&info_, 7), 0);
    LOGFILE log;
    memset(&log, 0, sizeof(log));
    log.logfile_id = 40;
    log.data_id = 44;
    info_.logfile = &log;
    info_.diff_state_id = 9;
    EXPECT_EQ(db_mv_set_lineage(&info_, 12), 0);
    scli::on_sql("EXECUTE PROCEDURE ZEL_lineageid_set12(5, 3, 9, 2, 44)")
        .fail(SQL_ERROR, {"S1000", -674, "Routine (zel_lineageid_set12) can not be resolved."});
    quiet_stderr([&] { EXPECT_EQ(db_mv_set_lineage(&info_, 12), -674); });
    EXPECT_EQ(executed(), (std::vector<std::string>{
                              kSetter,
                              "EXECUTE PROCEDURE ZEL_lineageid_set12(5, 3, 9, 2, 44)",
                              "EXECUTE PROCEDURE ZEL_lineageid_set12(5, 3, 9, 2, 44)",
                          })); // never committed
    EXPECT_EQ(db_mv_set_lineage(nullptr, 7), ZE_NULL_POINTER);
}

// A missing view is created, granted to PUBLIC and then steered by the
// setter; the output names it under the table's alias.
TEST_F(MvTest, StandardViewIsCreatedOnce)
{
    view_count("ZEL_std_view_7", 0);
    auto [rc, text] = build();
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(text, "ZEL_std_view_7 r");
    EXPECT_EQ(executed(), (std::vector<std::string>{
                              kExists,
                              kSpatialOfRoads,
                              kSpatialOfRoads,
                              kSpatialOfRoads,
                              StoredView(kGetterLineage),
                              "GRANT SELECT ON ZEL_std_view_7 TO PUBLIC",
                              "COMMIT",
                              kSetter,
                          }));
    // An existing view is reused, with or without the create flag.
    for (int32_t create : {1, 0}) {
        mark();
        view_count("ZEL_std_view_7", 1);
        auto [again, named] = build(create);
        EXPECT_EQ(again, 0);
        EXPECT_EQ(named, "ZEL_std_view_7 r");
        EXPECT_EQ(executed(), (std::vector<std::string>{kExists, kSetter}));
    }
    // Kind 3 is the same view; a state of 0 still reads the stored view.
    mark();
    info_.kind = DB_MV_STANDARD_OTHER;
    info_.state_id = 0;
    view_count("ZEL_std_view_7", 1);
    EXPECT_EQ(build().second, "ZEL_std_view_7 r");
    EXPECT_EQ(executed(), (std::vector<std::string>{
                              kExists, "EXECUTE PROCEDURE ZEL_lineageid_set7(0, 3, 0, 2, -1)"}));
}

// With the create flag 0 a missing view is named but not created.
TEST_F(MvTest, MissingViewIsOnlyNamedWithoutTheCreateFlag)
{
    view_count("ZEL_std_view_7", 0);
    auto [rc, text] = build(0);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(text, "ZEL_std_view_7 r");
    EXPECT_EQ(executed(), (std::vector<std::string>{kExists, kSetter}));
}

// A grant that fails drops the view it just made and gives the grant's code.
TEST_F(MvTest, FailedGrantDropsTheNewView)
{
    view_count("ZEL_std_view_7", 0);
    scli::on_sql("GRANT SELECT ON ZEL_std_view_7 TO PUBLIC")
        .fail(SQL_ERROR, {"42000", -272, "No SELECT permission."});
    auto [rc, text] = quiet_stderr([&] { return build(); });
    EXPECT_EQ(rc, ZE_NO_PERMISSIONS);
    std::vector<std::string> sql = executed();
    auto grant = std::find(sql.begin(), sql.end(), "GRANT SELECT ON ZEL_std_view_7 TO PUBLIC");
    ASSERT_NE(grant, sql.end());
    EXPECT_EQ(std::vector<std::string>(grant, sql.end()),
              (std::vector<std::string>{"GRANT SELECT ON ZEL_std_view_7 TO PUBLIC",
                                        "DROP VIEW ZEL_STD_VIEW_7", "COMMIT"}));
    EXPECT_EQ(std::find(sql.begin(), sql.end(), kSetter), sql.end()); // the setter does not run
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -272); // the grant's failure, not the drop's
}

// A view that another connection made meanwhile (-62) counts as made.
TEST_F(MvTest, ViewMadeMeanwhileCountsAsCreated)
{
    view_count("ZEL_std_view_7", 0);
    scli::on_sql(StoredView(kGetterLineage))
        .fail(SQL_ERROR, {"S0001", -310, "Table (ZEL_std_view_7) already exists in database."});
    auto [rc, text] = build();
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(executed().back(), kSetter);
}

// A literal lineage list, or a log file (whose data table is one user's),
// would freeze in a stored view that every later connection reuses: such a
// table is written inline, and no stored view is looked for or made.
TEST_F(MvTest, FrozenListsAndLogsAreWrittenInline)
{
    const std::string literal = "1,4,5";
    info_.lineage = literal.c_str();
    auto [rc, text] = build();
    ASSERT_EQ(rc, 0);
    const std::string body = "b.objectid,b.name,b.shape , 0 ZEL_STATE_ID , b.VE_ROW_ID FROM roads "
                             "b WHERE b.objectid NOT IN (SELECT ZEL_DELETES_ROW_ID FROM "
                             "gis:'bob'.d7 dd  WHERE ZEL_STATE_ID = 0 AND DELETED_AT IN (1,4,5) "
                             ") ";
    const std::string adds = "UNION ALL SELECT a.objectid,a.name,a.shape , a.ZEL_STATE_ID , "
                             "a.VE_ROW_ID  FROM  gis:'bob'.A7 a  WHERE a.objectid NOT IN "
                             "(SELECT ZEL_DELETES_ROW_ID  FROM gis:'bob'.d7 dd  WHERE DELETED_AT "
                             "IN (1,4,5) AND a.ZEL_STATE_ID = dd.ZEL_STATE_ID ) AND "
                             "a.ZEL_STATE_ID IN (1,4,5) ";
    EXPECT_EQ(text, "TABLE (MULTISET(SELECT " + body + adds + ")) r");
    EXPECT_EQ(executed(), (std::vector<std::string>{kSpatialOfRoads, kSpatialOfRoads, kSetter}));

    // A getter list with a log file: the log's rows joined by its data id.
    mark();
    info_.lineage = kGetterLineage.c_str();
    LOGFILE log;
    memset(&log, 0, sizeof(log));
    strcpy(log.name, "gis:ann.picked");
    log.logfile_id = 40;
    log.data_id = 44;
    info_.logfile = &log;
    auto [with_log, logged] = build();
    ASSERT_EQ(with_log, 0);
    const std::string join = " TABLE (MULTISET(SELECT  DISTINCT zel_row_id FROM "
                             "gis:ann_ZEL_LOGFILE_DATA WHERE "
                             "gis:ann_ZEL_LOGFILE_DATA.logfile_data_id = 44)) LF,";
    EXPECT_NE(logged.find("FROM " + join + "roads b "), std::string::npos) << logged;
    EXPECT_NE(logged.find(" FROM " + join + " gis:'bob'.A7 a "), std::string::npos) << logged;
    EXPECT_NE(logged.find(") )  AND LF.zel_row_id = b.objectid UNION ALL "), std::string::npos)
        << logged;
    const std::string tail =
        "a.ZEL_STATE_ID IN (" + kGetterLineage + ")  AND LF.zel_row_id = a.objectid )) r";
    ASSERT_GT(logged.size(), tail.size());
    EXPECT_EQ(logged.substr(logged.size() - tail.size()), tail);
    EXPECT_EQ(executed(),
              (std::vector<std::string>{kSpatialOfRoads, kSpatialOfRoads,
                                        "EXECUTE PROCEDURE ZEL_lineageid_set7(5, 3, 0, 2, 44)"}));
}

// Another table's getter, or a getter name inside a longer one, is not this
// table's getter.
TEST_F(MvTest, OnlyTheTablesOwnGettersMakeAStoredView)
{
    for (const char *list :
         {"SELECT l.lineage_id FROM l WHERE l.state_id = ZEL_stateid_get8()",
          "SELECT l.lineage_id FROM l WHERE l.state_id = MY_ZEL_stateid_get7()"}) {
        SCOPED_TRACE(list);
        info_.lineage = list;
        auto [rc, text] = build();
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(text.rfind("TABLE (MULTISET(SELECT ", 0), 0u);
    }
    for (const char *list : {"SELECT x FROM l WHERE l.state_id = ZEL_diffid_get7()",
                             "SELECT x FROM l WHERE l.id >= ZEL_startid_get()"}) {
        SCOPED_TRACE(list);
        info_.lineage = list;
        view_count("ZEL_std_view_7", 1);
        EXPECT_EQ(build().second, "ZEL_std_view_7 r");
    }
}

// Pretty printing changes only the line breaks.
TEST_F(MvTest, PrettyPrintingOnlyBreaksLines)
{
    const std::string literal = "1,4,5";
    info_.lineage = literal.c_str();
    LOGFILE log;
    memset(&log, 0, sizeof(log));
    strcpy(log.name, "bob.picked");
    info_.logfile = &log;
    for (int32_t kind : {DB_MV_STANDARD, DB_MV_CURRENT_ADDS}) {
        SCOPED_TRACE(kind);
        info_.kind = kind;
        unsetenv("ZELPRETTYSQL");
        const std::string plain = build().second;
        setenv("ZELPRETTYSQL", "1", 1);
        const std::string pretty = build().second;
        EXPECT_GT(std::count(pretty.begin(), pretty.end(), '\n'), 8);
        EXPECT_EQ(without_line_breaks(pretty), plain);
    }
    // The stored view's text too.
    mark();
    info_.lineage = kGetterLineage.c_str();
    info_.logfile = nullptr;
    info_.kind = DB_MV_STANDARD;
    view_count("ZEL_std_view_7", 0);
    ASSERT_EQ(build().first, 0);
    const std::vector<std::string> sql = executed();
    ASSERT_GE(sql.size(), 5u);
    EXPECT_NE(sql[4].find('\n'), std::string::npos);
    EXPECT_EQ(without_line_breaks(sql[4]), StoredView(kGetterLineage));
}

TEST_F(MvTest, CurrentAddsText)
{
    info_.kind = DB_MV_CURRENT_ADDS;
    auto [rc, text] = build();
    ASSERT_EQ(rc, 0);
    const std::string L1 = kGetterLineage;
    EXPECT_EQ(text, "TABLE (MULTISET(SELECT a.objectid,a.name,a.shape , a.VE_ROW_ID  FROM  "
                    "gis:'bob'.A7 a  WHERE ROW(a.objectid,a.ZEL_STATE_ID) NOT IN (SELECT ROW( "
                    "ZEL_DELETES_ROW_ID,ZEL_STATE_ID)  FROM gis:'bob'.d7 WHERE DELETED_AT IN (" +
                        L1 + ")) AND a.ZEL_STATE_ID IN (" + L1 + ") )) r");
    EXPECT_EQ(executed(), (std::vector<std::string>{kSpatialOfRoads, kSetter}));
}

// Select items that are not plain names stay as they are; a table without a
// state column gets the literal 0 (base) or the adds table's column.
TEST_F(MvTest, SelectListsQualifyPlainNamesOnly)
{
    const char *items[] = {"objectid", "ZEL_STATE_ID", "upper(name)", "'x'", "\"Odd\""};
    table_.column_names = items;
    table_.column_count = 5;
    for (const char *alias : {"b", "Base", "a"}) {
        SQL_TEXT_BUFFER buffer;
        sql_string_init(&buffer);
        ASSERT_EQ(db_mv_select_list(&table_, alias, &buffer, 1, 0), 0);
        const std::string x = alias;
        const std::string state = (alias[0] == 'a' ? x + "." : std::string("0 "));
        EXPECT_EQ(buffer.text,
                  x + ".objectid," + state + "ZEL_STATE_ID,upper(name),'x'," + x + ".\"Odd\" ");
        sql_string_free(&buffer);
    }
    table_.column_names = columns_;
    table_.column_count = 3;
    SQL_TEXT_BUFFER buffer;
    sql_string_init(&buffer);
    ASSERT_EQ(db_mv_select_list(&table_, "a", &buffer, 0, 0), 0);
    EXPECT_STREQ(buffer.text, "a.objectid,a.name,a.shape , a.VE_ROW_ID ");
    sql_string_free(&buffer);
    table_.column_count = 0;
    sql_string_init(&buffer);
    EXPECT_EQ(db_mv_select_list(&table_, "a", &buffer, 0, 0), ZE_INVALID_ARGUMENT);
    sql_string_free(&buffer);
}

// A caller's buffer is filled up to its real size and never beyond; the
// size function's answer is a capacity the text fits in.
TEST_F(MvTest, CallerBufferIsNeverOverrun)
{
    info_.kind = DB_MV_CURRENT_ADDS;
    const int32_t size = db_mv_view_text_size(&info_, nullptr, "roads", "bob", 0);
    const std::string whole = build().second;
    ASSERT_EQ(size, static_cast<int32_t>(whole.size()) + 2);
    std::vector<char> fits(static_cast<size_t>(size));
    char *text = fits.data();
    EXPECT_EQ(db_mv_view_build(instance_, &info_, "roads", "bob", 0, size, &text, 0, 1), 0);
    EXPECT_EQ(std::string(fits.data()), whole);
    EXPECT_EQ(text, fits.data());
    for (int32_t capacity : {size - 1, 16, 1}) {
        SCOPED_TRACE(capacity);
        std::vector<char> storage(static_cast<size_t>(size) + 8, '#');
        text = storage.data();
        EXPECT_EQ(db_mv_view_build(instance_, &info_, "roads", "bob", 0, capacity, &text, 0, 1),
                  ZE_SQL_BUFFER_FULL);
        EXPECT_LT(strnlen(storage.data(), static_cast<size_t>(capacity)),
                  static_cast<size_t>(capacity)); // terminated inside
        EXPECT_EQ(storage[static_cast<size_t>(capacity)], '#');
    }
    text = nullptr;
    EXPECT_EQ(db_mv_view_build(instance_, &info_, "roads", "bob", 0, 20, &text, 0, 1),
              ZE_NULL_POINTER);
}

TEST_F(MvTest, RefusedKindsAndArguments)
{
    LOGFILE bad_log;
    memset(&bad_log, 0, sizeof(bad_log));
    strcpy(bad_log.name, "a-b.picked");
    const struct {
        const char *what;
        int32_t kind;
        const char *table;
        int32_t position;
        const char *lineage;
        const char *rowid;
        const char *alias;
        const LOGFILE *log;
    } cases[] = {
        {"kind 0", 0, "roads", 0, kGetterLineage.c_str(), "objectid", "r", nullptr},
        {"update changes without lists", 4, "roads", 0, kGetterLineage.c_str(), "objectid", "r",
         nullptr},
        {"difference without lists", 7, "roads", 0, kGetterLineage.c_str(), "objectid", "r",
         nullptr},
        {"empty rows, alias", 10, "roads", 0, nullptr, "objectid", "r x", nullptr},
        {"kind 12", 12, "roads", 0, kGetterLineage.c_str(), "objectid", "r", nullptr},
        {"position", 2, "roads", 1, kGetterLineage.c_str(), "objectid", "r", nullptr},
        {"negative position", 2, "roads", -1, kGetterLineage.c_str(), "objectid", "r", nullptr},
        {"no lineage", 2, "roads", 0, nullptr, "objectid", "r", nullptr},
        {"empty lineage", 11, "roads", 0, "", "objectid", "r", nullptr},
        {"table", 2, "roads;drop", 0, kGetterLineage.c_str(), "objectid", "r", nullptr},
        {"owner", 2, "'a b'.roads", 0, kGetterLineage.c_str(), "objectid", "r", nullptr},
        {"row-id column", 11, "roads", 0, kGetterLineage.c_str(), "id)--", "r", nullptr},
        {"no row-id column", 11, "roads", 0, kGetterLineage.c_str(), "", "r", nullptr},
        {"alias", 11, "roads", 0, kGetterLineage.c_str(), "objectid", "r x", nullptr},
        {"log name", DB_MV_STANDARD, "roads", 0, "1,2", "objectid", "r", &bad_log},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        info_.kind = c.kind;
        info_.lineage = c.lineage;
        info_.logfile = c.log;
        strcpy(table_.rowid_column, c.rowid);
        strcpy(table_.alias, c.alias);
        table_.table_name = c.table;
        char *text = nullptr;
        EXPECT_EQ(db_mv_view_build(instance_, &info_, c.table, "bob", c.position, 0, &text, 0, 1),
                  ZE_INVALID_ARGUMENT);
        free(text);
    }
    std::vector<std::string> sql = executed();
    sql.erase(std::remove(sql.begin(), sql.end(), kSpatialOfRoads), sql.end());
    EXPECT_EQ(sql, std::vector<std::string>{}); // nothing but the spatial column was read
    char *text = nullptr;
    EXPECT_EQ(db_mv_view_build(instance_, nullptr, "roads", "bob", 0, 0, &text, 0, 1),
              ZE_INVALID_ARGUMENT);
}

TEST_F(MvTest, QueriesThatNeedAView)
{
    const struct {
        int32_t kind, state, needs;
    } cases[] = {{0, 5, 0}, {1, 5, 0}, {2, 0, 1}, {2, 5, 1}, {3, 5, 1},  {4, 0, 0},
                 {4, 5, 1}, {5, 0, 0}, {5, 5, 1}, {6, 5, 0}, {10, 5, 0}, {11, 5, 0}};
    for (const auto &c : cases) {
        info_.kind = c.kind;
        info_.state_id = c.state;
        EXPECT_EQ(db_query_needs_mv_view(&info_), c.needs) << c.kind << " " << c.state;
    }
    EXPECT_EQ(db_query_needs_mv_view(nullptr), 0);
}

// For a stored view of a state other than 0 the size is a bound that needs
// no database: 35 per column of the asked table (not the first table of the
// query), the name's length and 195. Otherwise it is the length of the
// text, built without creating anything.
TEST_F(MvTest, TextSize)
{
    DB_MV_TABLE_INFO tables[2] = {table_, table_};
    tables[1].column_count = 40;
    tables[1].table_name = "gis:bob.roads";
    info_.tables = tables;
    info_.table_count = 2;
    EXPECT_EQ(db_mv_view_text_size(&info_, nullptr, "roads", "bob", 0), 35 * 3 + 5 + 195);
    EXPECT_EQ(db_mv_view_text_size(&info_, nullptr, "gis:bob.roads", "bob", 1), 35 * 40 + 13 + 195);
    info_.kind = DB_MV_UPDATE_CHANGES;
    info_.lineage2 = kGetterLineage.c_str();
    info_.lineage4 = kGetterLineage.c_str();
    EXPECT_EQ(db_mv_view_text_size(&info_, nullptr, "roads", "bob", 0), 35 * 3 + 5 + 195);
    info_.kind = DB_MV_DELETE_CHANGES;
    EXPECT_EQ(db_mv_view_text_size(&info_, nullptr, "gis:bob.roads", "bob", 1), 35 * 40 + 13 + 195);
    EXPECT_TRUE(executed().empty());

    info_.kind = DB_MV_STANDARD;
    info_.state_id = 0;
    view_count("ZEL_std_view_7", 0);
    EXPECT_EQ(db_mv_view_text_size(&info_, nullptr, "roads", "bob", 0),
              static_cast<int32_t>(strlen("ZEL_std_view_7 r")) + 2);
    EXPECT_EQ(executed(), (std::vector<std::string>{
                              kExists, "EXECUTE PROCEDURE ZEL_lineageid_set7(0, 3, 0, 2, -1)"}));

    info_.state_id = 5;
    info_.kind = DB_MV_CURRENT_ADDS;
    const std::string built = build().second;
    EXPECT_EQ(db_mv_view_text_size(&info_, nullptr, "roads", "bob", 0),
              static_cast<int32_t>(built.size()) + 2);
    // A text longer than 4096 bytes is measured whole.
    const std::string long_list(5000, '1');
    info_.lineage = long_list.c_str();
    EXPECT_GT(db_mv_view_text_size(&info_, nullptr, "roads", "bob", 0), 10000);
    // A text that cannot be built (kind 7 without its lists) needs nothing.
    info_.kind = 7;
    info_.lineage2 = nullptr;
    EXPECT_EQ(db_mv_view_text_size(&info_, nullptr, "roads", "bob", 0), 1);
}

TEST_F(MvTest, ChangeKindNames)
{
    char view[DB_MV_VIEW_NAME_SIZE], setter[DB_MV_VIEW_NAME_SIZE];
    info_.sub_lineage = "1,2";
    EXPECT_EQ(db_mv_view_prepare_names(&info_, 0, DB_MV_UPDATE_CHANGES, view, sizeof(view), setter,
                                       sizeof(setter), 1),
              0);
    EXPECT_STREQ(view, "ZEL_nch_sublineage_update_view_7");
    EXPECT_STREQ(setter, "ZEL_lineageid_set7");
    EXPECT_TRUE(executed().empty());
    EXPECT_EQ(db_mv_view_prepare_names(&info_, 0, DB_MV_DELETE_CHANGES, view, sizeof(view), setter,
                                       sizeof(setter), 0),
              0);
    EXPECT_STREQ(view, "ZEL_nch_sublineage_delete_view_7");
    EXPECT_EQ(executed(), std::vector<std::string>{kSetter});
    EXPECT_EQ(db_mv_view_prepare_names(&info_, 1, 4, view, sizeof(view), setter, sizeof(setter), 0),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(db_mv_view_prepare_names(&info_, 0, 4, nullptr, 0, setter, sizeof(setter), 0),
              ZE_INVALID_ARGUMENT);
}

} // namespace
