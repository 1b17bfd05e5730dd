// Tests views: the CREATE VIEW text, the layer and raster columns found among
// the select expressions (also through "t.*"), a view dropped again when it
// selects two layer columns, creation failures, and the drop.
#include "db/catalog/db_view_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_names_internal.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/support/quiet_stderr.h"

using namespace layer_test;

namespace
{

using Strings = std::vector<std::string>;

std::string layer_by_names(const std::string &table, const std::string &column)
{
    return kSelect + kFrom + " WHERE ly.srid = sr.srid AND ly.database_name = 'gis' AND " +
           "ly.table_name = '" + table + "' AND spatial_column = '" + column +
           "' AND ly.owner = 'bob'";
}

std::string raster_by_names()
{
    return catalog_test::raster_by_table(true);
}

// Scripts the look-ups of one column that is neither kind.
void neither(const std::string &table, const std::string &column)
{
    answer_layers(layer_by_names(table, column), {});
    std::vector<scli::Column> columns(20, scli::Column("c", SQL_INTEGER));
    scli::on_sql(raster_by_names()).columns(columns);
}

Strings neither_sql(const std::string &table, const std::string &column)
{
    return {layer_by_names(table, column), "COMMIT", raster_by_names()};
}

LayerRow layer_of(int32_t id, const char *table, const char *column)
{
    LayerRow r;
    r.id = id;
    r.table = table;
    r.column = column;
    return r;
}

// The outputs of a view creation.
struct Found {
    int32_t layer_id = 0;
    char spatial[DB_VIEW_COLUMN_NAME_SIZE] = "";
    int32_t raster_id = 0;
    char raster[DB_VIEW_COLUMN_NAME_SIZE] = "";
};

} // namespace

class Views : public LayerFixture
{
  protected:
    int32_t create(const char *name, const Strings &view_columns, const Strings &select,
                   const Strings &tables, const char *where, Found *found)
    {
        std::vector<const char *> v, s, t;
        for (const std::string &x : view_columns)
            v.push_back(x.c_str());
        for (const std::string &x : select)
            s.push_back(x.c_str());
        for (const std::string &x : tables)
            t.push_back(x.c_str());
        VE_SQL_CONSTRUCT from{static_cast<int32_t>(t.size()), const_cast<char **>(t.data()),
                              const_cast<char *>(where)};
        return DB_table_create_view(instance_, name, static_cast<int16_t>(v.size()),
                                    static_cast<int16_t>(s.size()), v.empty() ? nullptr : v.data(),
                                    s.data(), &from, &found->layer_id, found->spatial,
                                    &found->raster_id, found->raster);
    }
};

TEST_F(Views, LayerColumnUnderTheViewsName)
{
    const std::string text = "CREATE VIEW v (  a, b) AS SELECT  x, shape FROM  t WHERE x > 0";
    neither("t", "x");
    answer_layers(layer_by_names("t", "shape"), {layer_of(7, "t", "shape")});
    Found f;
    ASSERT_EQ(create("v", {"a", "b"}, {"x", "shape"}, {"t"}, "where x > 0", &f), ZE_SUCCESS);
    EXPECT_EQ(f.layer_id, 7);
    EXPECT_STREQ(f.spatial, "b");
    EXPECT_EQ(f.raster_id, 0);
    Strings expected = {text, "COMMIT"};
    for (const std::string &s : neither_sql("t", "x"))
        expected.push_back(s);
    expected.insert(expected.end(), {layer_by_names("t", "shape"), "COMMIT"});
    EXPECT_EQ(Executed(), expected);
}

TEST_F(Views, StarExpandsTheTable)
{
    // t has the columns id and shape; the layer is reported under the view's
    // name at the column's position.
    scli::on_sql("SELECT * FROM gis:bob.t")
        .columns({{"id", SQL_INTEGER}, {"shape", SQL_LONGVARBINARY, 100}});
    neither("t", "id");
    answer_layers(layer_by_names("t", "shape"), {layer_of(7, "t", "shape")});
    neither("u", "n");
    Found f;
    ASSERT_EQ(create("w", {"k", "g", "m"}, {"t.*", "u.n"}, {"t", "u"}, nullptr, &f), ZE_SUCCESS);
    EXPECT_EQ(f.layer_id, 7);
    EXPECT_STREQ(f.spatial, "g");
    Strings expected = {"CREATE VIEW w (  k, g, m) AS SELECT  t.*, u.n FROM  t, u", "COMMIT"};
    for (const std::string &s : neither_sql("t", "id"))
        expected.push_back(s);
    expected.insert(expected.end(), {layer_by_names("t", "shape"), "COMMIT"});
    for (const std::string &s : neither_sql("u", "n"))
        expected.push_back(s);
    EXPECT_EQ(Executed(), expected);
}

TEST_F(Views, RasterColumnAndNeither)
{
    answer_layers(layer_by_names("t", "img"), {});
    std::vector<scli::Column> columns(20, scli::Column("c", SQL_INTEGER));
    columns[5] = scli::Column("raster_column", SQL_VARCHAR, 128);
    scli::Row row(20, scli::i32(0));
    row[0] = scli::i32(4);
    row[3] = scli::varchar("bob");
    row[5] = scli::varchar("img");
    row[18] = scli::null();
    scli::on_sql(raster_by_names()).columns(columns).row(row);
    Found f;
    ASSERT_EQ(create("v", {}, {"img"}, {"t"}, "   ", &f), ZE_SUCCESS);
    EXPECT_EQ(f.raster_id, 4);
    EXPECT_STREQ(f.raster, "img");
    EXPECT_EQ(f.layer_id, 0);
    EXPECT_EQ(Executed().front(), "CREATE VIEW v AS SELECT  img FROM  t");

    // A select list of neither kind: both ids stay 0.
    neither("t", "a");
    Found none;
    ASSERT_EQ(create("v2", {}, {"a"}, {"t"}, nullptr, &none), ZE_SUCCESS);
    EXPECT_EQ(none.layer_id, 0);
    EXPECT_EQ(none.raster_id, 0);
}

TEST_F(Views, TwoLayerColumnsDropTheViewAgain)
{
    answer_layers(layer_by_names("t", "shape"), {layer_of(7, "t", "shape")});
    answer_layers(layer_by_names("u", "geom"), {layer_of(8, "u", "geom")});
    Found f;
    EXPECT_EQ(create("both", {}, {"t.shape", "u.geom"}, {"t", "u"}, nullptr, &f),
              ZE_MULTIPLE_SPATIAL_COLUMNS);
    EXPECT_EQ(Executed(),
              (Strings{"CREATE VIEW both AS SELECT  t.shape, u.geom FROM  t, u", "COMMIT",
                       layer_by_names("t", "shape"), "COMMIT", layer_by_names("u", "geom"),
                       "COMMIT", "DROP VIEW BOTH", "COMMIT"}));
}

TEST_F(Views, CreationFailures)
{
    Found f;
    // Codes the DBMS answers that the caller sees as they are.
    scli::on_sql("CREATE VIEW v AS SELECT  a FROM  gone").fail(SQL_ERROR, {"S0002", -206, "no"});
    EXPECT_EQ(create("v", {}, {"a"}, {"gone"}, nullptr, &f), ZE_TABLE_NOT_FOUND);
    // Any other: -51 with the view's name in the message.
    StderrCapture capture;
    scli::on_sql("CREATE VIEW v AS SELECT  a FROM  t").fail(SQL_ERROR, {"S1000", -310, "exists"});
    EXPECT_EQ(create("v", {}, {"a"}, {"t"}, nullptr, &f), ZE_DBMS_ERROR);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -310);
    EXPECT_STREQ(xerr.message, "exists(v)");
    scli::on_sql("CREATE VIEW v AS SELECT  a FROM  t").at_prepare(SQL_ERROR, {"S1000", -201, "x"});
    EXPECT_EQ(create("v", {}, {"a"}, {"t"}, nullptr, &f), ZE_DBMS_ERROR);
    // Names are checked before any SQL.
    MarkNow();
    EXPECT_EQ(create("v; drop table t", {}, {"a"}, {"t"}, nullptr, &f), ZE_INVALID_IDENTIFIER);
    EXPECT_EQ(create("v", {"a b"}, {"a"}, {"t"}, nullptr, &f), ZE_INVALID_IDENTIFIER);
    EXPECT_EQ(create("v", {}, {"a"}, {"t", "u; drop table t"}, nullptr, &f), ZE_INVALID_IDENTIFIER);
    EXPECT_TRUE(Executed().empty());
    VE_SQL_CONSTRUCT from{0, nullptr, nullptr};
    const char *select[] = {"a"};
    EXPECT_EQ(DB_table_create_view(instance_, "v", 0, 1, nullptr, select, &from, nullptr, f.spatial,
                                   &f.raster_id, f.raster),
              ZE_NULL_POINTER);
}

TEST_F(Views, Drop)
{
    const struct {
        std::function<void()> script;
        int32_t result;
    } cases[] = {
        {[] {}, ZE_SUCCESS},
        {[] { scli::on_sql("DROP VIEW GONE").no_data(); }, ZE_OBJECT_NOT_FOUND},
        {[] {
             scli::on_sql("DROP VIEW GONE").fail(SQL_ERROR, {"S0002", -206, "no"});
         },
         ZE_TABLE_NOT_FOUND},
        {[] {
             scli::on_sql("DROP VIEW GONE").fail(SQL_ERROR, {"42000", -212, "perm"});
         },
         ZE_NO_PERMISSIONS},
        {[] {
             scli::on_sql("DROP VIEW GONE").fail(SQL_ERROR, {"S1000", -999, "x"});
         },
         ZE_DBMS_ERROR},
    };
    testing::internal::CaptureStdout();
    StderrCapture capture;
    for (const auto &c : cases) {
        c.script();
        EXPECT_EQ(DB_view_drop(instance_, "gone"), c.result);
    }
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(DB_view_drop(instance_, "x y"), ZE_INVALID_IDENTIFIER);
    EXPECT_EQ(DB_view_drop(instance_, nullptr), ZE_NULL_POINTER);
}

// A layer look-up that could not be made fails the creation and drops the
// view: the host would register it without its layer.
TEST_F(Views, FailedLayerLookUpDropsTheViewAgain)
{
    scli::on_sql(layer_by_names("t", "shape")).fail(SQL_ERROR, {"08S01", -908, "gone"});
    Found f;
    EXPECT_EQ(quiet_stderr([&] { return create("lost", {}, {"t.shape"}, {"t"}, nullptr, &f); }),
              ZE_DBMS_ERROR);
    EXPECT_EQ(f.layer_id, 0);
    const Strings ran = Executed();
    ASSERT_GE(ran.size(), 3u);
    EXPECT_EQ(Strings(ran.begin(), ran.begin() + 3),
              (Strings{"CREATE VIEW lost AS SELECT  t.shape FROM  t", "COMMIT",
                       layer_by_names("t", "shape")}));
    EXPECT_EQ(Strings(ran.end() - 2, ran.end()), (Strings{"DROP VIEW LOST", "COMMIT"}));
    EXPECT_EQ(std::find(ran.begin(), ran.end(), raster_by_names()), ran.end());
    DB_EXT_ERROR xerr;
    EXPECT_EQ(DB_instance_get_xerr(&xerr)->native_error, -908);
}
