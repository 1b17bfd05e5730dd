// Tests the raster column records: reads by id and by table (NULL rules,
// the coordinate reference filled into the caller's or left out, truncation
// counted as success, two raster columns), the scan, the privileges of the
// owner and of other users, and the catalogue writes through the routines
// and with plain SQL.
#include "db/catalog/db_rastercolumn_info_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <time.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_names_internal.h"
#include "mox/mox.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Strings = std::vector<std::string>;

std::string from_clause()
{
    return catalog_test::raster_select_from();
}

std::string by_id_sql()
{
    return from_clause() + " WHERE rastercolumn_id = ? AND rc.srid = sr.srid";
}

std::string by_name_sql(bool column)
{
    return catalog_test::raster_by_table(column);
}

std::string scan_sql()
{
    return from_clause() + " WHERE rc.srid = sr.srid ORDER BY rastercolumn_id";
}

std::vector<scli::Column> raster_columns()
{
    return {{"rastercolumn_id", SQL_INTEGER},
            {"description", SQL_VARCHAR, 65},
            {"database_name", SQL_VARCHAR, 32},
            {"owner", SQL_VARCHAR, 32},
            {"table_name", SQL_VARCHAR, 128},
            {"raster_column", SQL_VARCHAR, 128},
            {"cdate", SQL_INTEGER},
            {"config_keyword", SQL_VARCHAR, 32},
            {"minimum_id", SQL_INTEGER},
            {"base_rastercolumn_id", SQL_INTEGER},
            {"rastercolumn_mask", SQL_INTEGER},
            {"falsex", SQL_DOUBLE},
            {"falsey", SQL_DOUBLE},
            {"xyunits", SQL_DOUBLE},
            {"falsez", SQL_DOUBLE},
            {"zunits", SQL_DOUBLE},
            {"falsem", SQL_DOUBLE},
            {"munits", SQL_DOUBLE},
            {"srtext", SQL_CHAR, 2048},
            {"srid", SQL_INTEGER}};
}

struct RasterRow {
    int32_t id = 4;
    const char *owner = "bob";
    bool nulls = false;                     // description, keyword and minimum_id NULL
    const char *srtext = "GEOGCS[\"wgs\"]"; // null: no spatial reference
    scli::Row row() const
    {
        auto text = [&](const char *s) { return nulls ? scli::null() : scli::varchar(s); };
        bool sr = srtext != nullptr;
        auto num = [&](double v) { return sr ? scli::f64(v) : scli::null(); };
        return {scli::i32(id),
                text("aerial photos"),
                scli::varchar("gis"),
                scli::varchar(owner),
                scli::varchar("parcels"),
                scli::varchar("image"),
                scli::i32(1700000000),
                text("RASTERS"),
                nulls ? scli::null() : scli::i32(100),
                scli::i32(2),
                scli::i32(1048576),
                num(-180),
                num(-90),
                num(1e6),
                num(0),
                num(1),
                num(0),
                num(1),
                sr ? scli::chr(srtext, 2048) : scli::null(),
                scli::i32(sr ? 12 : 0)};
    }
};

void answer(const std::string &sql, const std::vector<RasterRow> &rows)
{
    scli::Answer &a = scli::on_sql(sql).columns(raster_columns());
    for (const RasterRow &r : rows)
        a.row(r.row());
}

// A caller's record with its own coordinate reference and 1024-byte text.
struct OwnRecord {
    RASTERCOLUMN info{};
    COORDREF coordref{};
    char text[1024] = "";
    OwnRecord()
    {
        coordref.srtext = text;
        coordref.lib_word2 = 77;
        coordref.xy_rounding = 5; // not read: becomes 0
        info.coordref = &coordref;
    }
};

// The privilege query of the table of another owner for user bob.
std::string tabauth_sql(const std::string &owner, const std::string &table,
                        const std::string &db = "gis")
{
    return "SELECT tabauth from " + db + ":informix.systabauth au,         " + db +
           ":informix.systables tab WHERE au.tabid = tab.tabid and         tab.owner = '" + owner +
           "' AND tab.tabname = '" + table +
           "' AND (au.grantee = 'bob' OR au.grantee = 'public' OR au.grantee IN (SELECT rolename "
           "FROM " +
           db + ":informix.sysroleauth rol WHERE rol.grantee = 'bob'))";
}

void answer_tabauth(const std::string &owner, const std::string &table,
                    const std::vector<const char *> &letters, const std::string &db = "gis")
{
    scli::Answer &a =
        scli::on_sql(tabauth_sql(owner, table, db)).columns({{"tabauth", SQL_CHAR, 9}});
    for (const char *l : letters)
        a.row({scli::chr(l, 9)});
}

} // namespace

using catalog_test::params_of;
using RasterColumns = ConnectedUser;

TEST_F(RasterColumns, ReadByIdFillsTheCallersReference)
{
    answer(by_id_sql(), {RasterRow{}});
    OwnRecord r;
    ASSERT_EQ(DB_rastercolumn_get_info_by_id(nullptr, nullptr, 4, &r.info), ZE_SUCCESS);
    EXPECT_EQ(r.info.rastercolumn_id, 4);
    EXPECT_STREQ(r.info.description, "aerial photos");
    EXPECT_STREQ(r.info.database_name, "gis");
    EXPECT_STREQ(r.info.owner, "bob");
    EXPECT_STREQ(r.info.table_name, "parcels");
    EXPECT_STREQ(r.info.raster_column, "image");
    EXPECT_EQ(r.info.cdate, 1700000000);
    EXPECT_STREQ(r.info.config_keyword, "RASTERS");
    EXPECT_EQ(r.info.minimum_id, 100u);
    EXPECT_EQ(r.info.base_rastercolumn_id, 2);
    EXPECT_EQ(r.info.rastercolumn_mask, 1048576u);
    EXPECT_EQ(r.info.privileges, 30u); // the owner: no privilege query
    // The srtext is CHAR(2048): truncated into 1024 bytes, blanks cut.
    ASSERT_EQ(r.info.coordref, &r.coordref);
    EXPECT_STREQ(r.coordref.srtext, "GEOGCS[\"wgs\"]");
    EXPECT_EQ(r.coordref.srtext, r.text);
    EXPECT_EQ(r.coordref.lib_word2, 77);
    EXPECT_EQ(r.coordref.falsex, -180);
    EXPECT_EQ(r.coordref.xyunits, 1e6);
    EXPECT_EQ(r.coordref.xy_rounding, 0.0);
    EXPECT_EQ(r.coordref.srid, 12);
    EXPECT_EQ(Executed(), Strings{by_id_sql()});
    EXPECT_EQ(params_of(by_id_sql()), Strings{"4"});
}

TEST_F(RasterColumns, NullRulesAndMissingReference)
{
    const struct {
        const char *what;
        RasterRow row;
        bool own_reference;
    } cases[] = {
        {"NULL columns", RasterRow{4, "bob", true, "GEOGCS[x]"}, true},
        {"no spatial reference", RasterRow{4, "bob", false, nullptr}, true},
        {"caller brings no reference", RasterRow{}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        answer(by_id_sql(), {c.row});
        OwnRecord r;
        if (!c.own_reference)
            r.info.coordref = nullptr;
        ASSERT_EQ(DB_rastercolumn_get_info_by_id(nullptr, nullptr, 4, &r.info), ZE_SUCCESS);
        if (c.row.nulls) {
            EXPECT_STREQ(r.info.description, "");
            EXPECT_STREQ(r.info.config_keyword, "");
            EXPECT_EQ(r.info.minimum_id, 1u);
        }
        bool filled = c.own_reference && c.row.srtext != nullptr;
        EXPECT_EQ(r.info.coordref, filled ? &r.coordref : nullptr);
    }
}

TEST_F(RasterColumns, LongestNamesReadWhole)
{
    // Database and owner of 31 characters fill their 32-byte fields.
    const std::string database(31, 'd'), owner(31, 'o');
    scli::Row row = RasterRow{}.row();
    row[2] = scli::varchar(database);
    row[3] = scli::varchar(owner);
    scli::on_sql(by_id_sql()).columns(raster_columns()).row(row);
    RASTERCOLUMN info{};
    answer_tabauth(owner, "parcels", {"s--------"}, database);
    answer_tabauth(owner, "zel_blk_4", {}, database);
    EXPECT_EQ(DB_rastercolumn_get_info_by_id(nullptr, nullptr, 4, &info), ZE_NO_PERMISSIONS);
    EXPECT_EQ(Executed(), (Strings{by_id_sql(), tabauth_sql(owner, "parcels", database),
                                   tabauth_sql(owner, "zel_blk_4", database)}));
    EXPECT_EQ(info.database_name, database);
    EXPECT_EQ(info.owner, owner);
}

TEST_F(RasterColumns, ReadFailures)
{
    RASTERCOLUMN info{};
    answer(by_id_sql(), {});
    EXPECT_EQ(DB_rastercolumn_get_info_by_id(nullptr, nullptr, 9, &info),
              ZE_RASTERCOLUMN_NOT_FOUND);
    EXPECT_EQ(DB_rastercolumn_get_info_by_id(nullptr, nullptr, 0, &info),
              ZE_INVALID_RASTERCOLUMN_ID);
    EXPECT_EQ(DB_rastercolumn_get_info_by_id(nullptr, nullptr, 4, nullptr), ZE_NULL_POINTER);
    scli::on_sql(by_id_sql()).fail(SQL_ERROR, {"S1000", -211, "catalog"});
    EXPECT_EQ(DB_rastercolumn_get_info_by_id(nullptr, nullptr, 4, &info), ZE_DBMS_ERROR);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.code, ZE_DBMS_ERROR);
    EXPECT_EQ(xerr.native_error, -211);
    EXPECT_EQ(Executed(), Strings(2, by_id_sql()));
}

TEST_F(RasterColumns, ReadByTableName)
{
    // Without a column: the one raster column of the table, or -247 for two.
    answer(by_name_sql(false), {RasterRow{}});
    RASTERCOLUMN info{};
    ASSERT_EQ(DB_rastercolumn_get_info_by_name(nullptr, nullptr, "PARCELS", nullptr, "bob", &info),
              ZE_SUCCESS);
    EXPECT_EQ(info.rastercolumn_id, 4);
    EXPECT_EQ(params_of(by_name_sql(false)), (Strings{"gis", "bob", "parcels"}));
    answer(by_name_sql(false), {RasterRow{}, RasterRow{5}});
    EXPECT_EQ(DB_rastercolumn_get_info_by_name(nullptr, nullptr, "parcels", nullptr, "bob", &info),
              ZE_MULTIPLE_RASTER_COLUMNS);
    // With a column and a qualified name.
    answer(by_name_sql(true), {RasterRow{}});
    ASSERT_EQ(DB_rastercolumn_get_info_by_name(nullptr, nullptr, "other:ann.parcels", "image",
                                               "bob", &info),
              ZE_SUCCESS);
    EXPECT_EQ(params_of(by_name_sql(true)), (Strings{"other", "ann", "parcels", "image"}));
    answer(by_name_sql(true), {});
    EXPECT_EQ(DB_rastercolumn_get_info_by_name(nullptr, nullptr, "parcels", "x", "bob", &info),
              ZE_RASTERCOLUMN_NOT_FOUND);
    EXPECT_EQ(Executed(), (Strings{by_name_sql(false), by_name_sql(false), by_name_sql(true),
                                   by_name_sql(true)}));
    for (const auto &[table, owner] : std::vector<std::pair<const char *, const char *>>{
             {nullptr, "bob"}, {"", "bob"}, {"parcels", nullptr}, {"parcels", ""}})
        EXPECT_EQ(DB_rastercolumn_get_info_by_name(nullptr, nullptr, table, nullptr, owner, &info),
                  ZE_NULL_POINTER);
}

TEST_F(RasterColumns, PrivilegesOfOtherUsers)
{
    const struct {
        std::vector<const char *> table, blocks;
        uint32_t privileges;
        int32_t result;
    } cases[] = {
        {{"s--id----"}, {"su-i-----"}, 10, ZE_SUCCESS},             // select and insert on both
        {{"s--------"}, {}, 0, ZE_NO_PERMISSIONS},                  // nothing on the block table
        {{"---------", "s-u------"}, {"s--------"}, 2, ZE_SUCCESS}, // rows OR'd
    };
    for (const auto &c : cases) {
        MarkNow();
        answer(by_id_sql(), {RasterRow{4, "ann"}});
        answer_tabauth("ann", "parcels", c.table);
        answer_tabauth("ann", "zel_blk_4", c.blocks);
        RASTERCOLUMN info{};
        EXPECT_EQ(DB_rastercolumn_get_info_by_id(nullptr, nullptr, 4, &info), c.result);
        EXPECT_EQ(info.privileges, c.privileges);
        EXPECT_EQ(info.rastercolumn_id, 4); // filled even without select
        EXPECT_EQ(Executed(), (Strings{by_id_sql(), tabauth_sql("ann", "parcels"),
                                       tabauth_sql("ann", "zel_blk_4")}));
    }
}

TEST_F(RasterColumns, ScanInIdOrder)
{
    answer(scan_sql(), {RasterRow{1}, RasterRow{2, "bob", true, nullptr}, RasterRow{3}});
    OwnRecord r;
    ASSERT_EQ(DB_rastercolumn_first(nullptr, &r.info), ZE_SUCCESS);
    EXPECT_EQ(r.info.rastercolumn_id, 1);
    EXPECT_EQ(r.info.coordref, &r.coordref);
    ASSERT_EQ(DB_rastercolumn_next(nullptr, &r.info), ZE_SUCCESS);
    EXPECT_EQ(r.info.rastercolumn_id, 2);
    EXPECT_EQ(r.info.coordref, nullptr); // no spatial reference
    EXPECT_EQ(r.info.minimum_id, 1u);
    r.info.coordref = &r.coordref; // the caller puts its own back
    ASSERT_EQ(DB_rastercolumn_next(nullptr, &r.info), ZE_SUCCESS);
    EXPECT_EQ(r.info.rastercolumn_id, 3);
    EXPECT_STREQ(r.coordref.srtext, "GEOGCS[\"wgs\"]");
    EXPECT_EQ(DB_rastercolumn_next(nullptr, &r.info), ZE_NO_MORE_ROWS);
    EXPECT_EQ(DB_rastercolumn_next(nullptr, &r.info), ZE_NO_MORE_ROWS);
    EXPECT_EQ(Executed(), Strings{scan_sql()});

    // A new first discards the open scan.
    answer(scan_sql(), {RasterRow{1}, RasterRow{2}});
    answer(scan_sql(), {RasterRow{8}});
    ASSERT_EQ(DB_rastercolumn_first(nullptr, &r.info), ZE_SUCCESS);
    ASSERT_EQ(DB_rastercolumn_first(nullptr, &r.info), ZE_SUCCESS);
    EXPECT_EQ(r.info.rastercolumn_id, 8);
    EXPECT_EQ(DB_rastercolumn_next(nullptr, &r.info), ZE_NO_MORE_ROWS);

    StderrCapture capture;
    scli::on_sql(scan_sql()).fail(SQL_ERROR, {"S1000", -211, "catalog"});
    EXPECT_EQ(DB_rastercolumn_first(nullptr, &r.info), ZE_DBMS_ERROR);
    EXPECT_EQ(DB_rastercolumn_next(nullptr, &r.info), ZE_NO_MORE_ROWS);
}

namespace
{

std::string call(const char *routine, int markers)
{
    char name[DB_QUALIFIED_NAME_SIZE];
    db_make_admin_object_name(nullptr, routine, name, sizeof(name));
    std::string list;
    for (int i = 0; i < markers; i++)
        list += i ? ",?" : "?";
    return std::string("{call ") + name + " (" + list + ")}";
}

RASTERCOLUMN new_column()
{
    RASTERCOLUMN r{};
    r.rastercolumn_id = 6;
    strcpy(r.database_name, "gis");
    strcpy(r.owner, "bob");
    strcpy(r.table_name, "parcels");
    strcpy(r.raster_column, "image");
    strcpy(r.config_keyword, "RASTERS");
    r.minimum_id = 1;
    r.base_rastercolumn_id = 0;
    r.rastercolumn_mask = 1048576;
    return r;
}

std::string find_srid_sql(const std::string &text)
{
    char refs[DB_QUALIFIED_NAME_SIZE];
    db_make_spatial_references_name(nullptr, refs, sizeof(refs));
    return std::string("select srid from ") + refs +
           " where falsex = ? and falsey = ? and xyunits = ?    and falsez = ? and zunits = ? "
           "and falsem = ? and munits = ? and    srtext = '" +
           text + "'";
}

} // namespace

TEST_F(RasterColumns, InsertThroughTheRoutine)
{
    const std::string insert = call("insert_rastercolumn", 12);
    RASTERCOLUMN r = new_column();
    // Without a coordinate reference: srid NULL, description NULL.
    time_t before = time(nullptr);
    EXPECT_EQ(DB_sp_rastercolumn_def_insert(nullptr, &r), ZE_SUCCESS);
    time_t after = time(nullptr);
    Strings p = params_of(insert);
    ASSERT_EQ(p.size(), 12u);
    EXPECT_EQ(Strings(p.begin(), p.begin() + 6),
              (Strings{"6", "NULL", "gis", "bob", "parcels", "image"}));
    EXPECT_GE(std::stoll(p[6]), static_cast<long long>(before));
    EXPECT_LE(std::stoll(p[6]), static_cast<long long>(after));
    EXPECT_EQ(Strings(p.begin() + 7, p.end()), (Strings{"RASTERS", "1", "0", "1048576", "NULL"}));
    EXPECT_EQ(Executed(), Strings{insert}); // not committed

    // With one: the srid of the equal spatial reference.
    COORDREF *c = nullptr;
    MoxCoordRefCreate(&c);
    c->xyunits = 1000;
    r.coordref = c;
    strcpy(r.description, "scans");
    scli::on_sql(find_srid_sql("UNKNOWN")).columns({{"srid", SQL_INTEGER}}).row({scli::i32(12)});
    EXPECT_EQ(DB_sp_rastercolumn_def_insert(nullptr, &r), ZE_SUCCESS);
    p = params_of(insert);
    EXPECT_EQ(p[1], "scans");
    EXPECT_EQ(p[11], "12");

    // Its failure comes first; a duplicate is -194.
    MarkNow();
    StderrCapture capture;
    scli::on_sql(find_srid_sql("UNKNOWN")).fail(SQL_ERROR, {"S1000", -211, "catalog"});
    EXPECT_EQ(DB_sp_rastercolumn_def_insert(nullptr, &r), ZE_DBMS_ERROR);
    EXPECT_EQ(Executed(), Strings{find_srid_sql("UNKNOWN")});
    r.coordref = nullptr;
    scli::on_sql(insert).fail(SQL_ERROR, {"23000", -268, "unique"});
    EXPECT_EQ(DB_sp_rastercolumn_def_insert(nullptr, &r), ZE_RASTERCOLUMN_EXISTS);
    scli::on_sql(insert).fail(SQL_ERROR, {"S1000", -999, "other"});
    EXPECT_EQ(DB_sp_rastercolumn_def_insert(nullptr, &r), ZE_DBMS_ERROR);
    DB_EXT_ERROR xerr;
    EXPECT_EQ(DB_instance_get_xerr(&xerr)->native_error, -999);
    MoxCoordRefFree(c);
}

TEST_F(RasterColumns, UpdateDeleteRenameAndThePlainInsert)
{
    RASTERCOLUMN r = new_column();
    EXPECT_EQ(DB_sp_rastercolumn_def_update(nullptr, &r), ZE_SUCCESS);
    EXPECT_EQ(params_of(call("update_rastercolumn", 5)),
              (Strings{"6", "NULL", "RASTERS", "1", "1048576"}));
    EXPECT_EQ(DB_sp_rastercolumn_def_delete(nullptr, 6), ZE_SUCCESS);
    EXPECT_EQ(params_of(call("delete_rastercolumn", 1)), Strings{"6"});
    EXPECT_EQ(DB_sp_rastercolumn_def_rename(nullptr, 6, "lots"), ZE_SUCCESS);
    EXPECT_EQ(params_of(call("rename_rastercolumn", 2)), (Strings{"6", "lots"}));
    EXPECT_EQ(DB_sp_rastercolumn_def_rename(nullptr, 6, std::string(160, 'x').c_str()),
              ZE_INVALID_ARGUMENT);
    // Only the delete commits.
    EXPECT_EQ(Executed(), (Strings{call("update_rastercolumn", 5), call("delete_rastercolumn", 1),
                                   "COMMIT", call("rename_rastercolumn", 2)}));

    char table[DB_QUALIFIED_NAME_SIZE];
    db_make_raster_columns_name(table, sizeof(table));
    const std::string plain =
        std::string("INSERT INTO ") + table +
        "   (rastercolumn_id, description, database_name, owner,   table_name, raster_column, "
        "cdate, config_keyword,   minimum_id, base_rastercolumn_id, rastercolumn_mask, srid) "
        "VALUES   (?, ?, ?, ?,   ?, ?, ?, ?,   ?, ?, ?, ?)";
    MarkNow();
    EXPECT_EQ(db_rastercolumn_def_insert_direct(nullptr, &r), ZE_SUCCESS);
    EXPECT_EQ(Executed(), (Strings{plain, "COMMIT"}));
    EXPECT_EQ(DB_view_rastercolumn_get_ids(nullptr, 1, nullptr, nullptr), 0);
    EXPECT_EQ(DB_sp_rastercolumn_def_update(nullptr, nullptr), ZE_NULL_POINTER);
}
