// The raster column of a stream: found through the host's registrations among
// the caller's columns (plain, qualified or "*"), refused without the
// required privilege or when two tables carry one, and tables without a
// raster registration cost no catalogue read.
#include "db/stream/db_stream_raster_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "base/util/ve_registration.h"
#include "base/util/zel_errors.h"
#include "db/core/db_stream_internal.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/catalog/layer_fixture.h"

using namespace layer_test;

namespace
{

using Strings = std::vector<std::string>;

// One row of the raster column read by table: the id, the owner, the table
// and the column; no spatial reference.
scli::Row raster_row(int32_t id, const std::string &owner, const std::string &table,
                     const std::string &column)
{
    return {scli::i32(id),         scli::varchar("photos"),
            scli::varchar("gis"),  scli::varchar(owner),
            scli::varchar(table),  scli::varchar(column),
            scli::i32(1700000000), scli::null(),
            scli::i32(1),          scli::i32(0),
            scli::i32(0),          scli::null(),
            scli::null(),          scli::null(),
            scli::null(),          scli::null(),
            scli::null(),          scli::null(),
            scli::null(),          scli::i32(0)};
}

std::vector<scli::Column> raster_columns()
{
    std::vector<scli::Column> c = {{"rastercolumn_id", SQL_INTEGER},
                                   {"description", SQL_VARCHAR, 65},
                                   {"database_name", SQL_VARCHAR, 32},
                                   {"owner", SQL_VARCHAR, 32},
                                   {"table_name", SQL_VARCHAR, 128},
                                   {"raster_column", SQL_VARCHAR, 128},
                                   {"cdate", SQL_INTEGER},
                                   {"config_keyword", SQL_VARCHAR, 32},
                                   {"minimum_id", SQL_INTEGER},
                                   {"base_rastercolumn_id", SQL_INTEGER},
                                   {"rastercolumn_mask", SQL_INTEGER}};
    for (const char *n : {"falsex", "falsey", "xyunits", "falsez", "zunits", "falsem", "munits"})
        c.push_back({n, SQL_DOUBLE});
    c.push_back({"srtext", SQL_CHAR, 2048});
    c.push_back({"srid", SQL_INTEGER});
    return c;
}

const std::string kByTable = catalog_test::raster_by_table(false);

class StreamRaster : public LayerFixture
{
  protected:
    void SetUp() override
    {
        LayerFixture::SetUp();
        DB_STREAM_PARAMS params{};
        ASSERT_EQ(DB_stream_init(&stream_, 0, "bob", params), 0);
        MarkNow();
    }
    void TearDown() override
    {
        DB_stream_free(stream_);
        free(stream_);
        LayerFixture::TearDown();
    }

    int32_t find(const Strings &columns, const Strings &tables, uint32_t privilege = 2)
    {
        std::vector<const char *> c, t;
        for (const std::string &s : columns)
            c.push_back(s.c_str());
        for (const std::string &s : tables)
            t.push_back(s.c_str());
        return db_stream_find_raster_column(stream_, static_cast<int32_t>(c.size()), c.data(),
                                            static_cast<int32_t>(t.size()), t.data(), privilege);
    }

    DB_STREAM *stream_ = nullptr;
};

} // namespace

TEST_F(StreamRaster, ColumnNamesThatFindTheRasterColumn)
{
    host_.set_registration("parcels", 4, REG_RASTER_COLUMN | REG_ROWID_COLUMN);
    const struct {
        Strings columns;
        int32_t position; // -1: not found
    } cases[] = {
        {{"name", "image"}, 1},
        {{"*"}, 0},
        {{"parcels.image"}, 0},
        {{"bob.parcels.image"}, 0},
        {{"gis:bob.parcels.image"}, 0},
        {{"parcels.*"}, 0},
        {{"name", "IMAGE"}, 1}, // names are folded to lower case
        {{"ann.parcels.image"}, -1},
        {{"other.image"}, -1},
        {{"other:bob.parcels.image"}, -1},
        {{"name"}, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.columns.back());
        MarkNow();
        scli::on_sql(kByTable)
            .columns(raster_columns())
            .row(raster_row(4, "bob", "parcels", "image"));
        stream_->raster_bytes_since_commit = 77;
        EXPECT_EQ(find(c.columns, {"parcels"}), 0);
        EXPECT_EQ(Executed(), Strings{kByTable});
        EXPECT_EQ(stream_->raster_position, c.position);
        EXPECT_EQ(stream_->raster_bytes_since_commit, 0);
        EXPECT_EQ(stream_->raster_commit_threshold, 1048576);
        if (c.position >= 0) {
            EXPECT_EQ(stream_->raster_column_id, 4);
            EXPECT_STREQ(stream_->raster_database, "gis");
            EXPECT_STREQ(stream_->raster_owner, "bob");
            EXPECT_STREQ(stream_->raster_table, "parcels");
            EXPECT_STREQ(stream_->raster_column, "image");
        } else {
            EXPECT_EQ(stream_->raster_column_id, 0);
            EXPECT_STREQ(stream_->raster_column, "");
        }
    }
}

TEST_F(StreamRaster, TablesWithoutARasterRegistrationAreNotRead)
{
    host_.set_registration("roads", 7, REG_LAYER); // registered, no raster column
    // "lots" is not registered at all; "parcels" has no raster column row.
    host_.set_registration("parcels", 4, REG_RASTER_COLUMN);
    scli::on_sql(kByTable).columns(raster_columns());
    EXPECT_EQ(find({"*"}, {"roads", "lots", "parcels"}), 0);
    EXPECT_EQ(Executed(), Strings{kByTable});
    EXPECT_EQ(host_.registration_calls(), (Strings{"roads", "lots", "parcels"}));
    EXPECT_EQ(stream_->raster_position, -1);
}

TEST_F(StreamRaster, Refusals)
{
    host_.set_registration("parcels", 4, REG_RASTER_COLUMN);
    host_.set_registration("scans", 5, REG_RASTER_COLUMN);
    // Two tables whose raster columns are both among the caller's columns.
    scli::on_sql(kByTable).columns(raster_columns()).row(raster_row(4, "bob", "parcels", "image"));
    scli::on_sql(kByTable).columns(raster_columns()).row(raster_row(5, "bob", "scans", "image"));
    EXPECT_EQ(find({"*"}, {"parcels", "scans"}), ZE_MULTIPLE_RASTER_COLUMNS);

    // Another owner's raster column without the privilege asked for: the
    // user may select (2) but not insert (8).
    MarkNow();
    host_.set_registration("ann.parcels", 6, REG_RASTER_COLUMN);
    scli::on_sql(kByTable).columns(raster_columns()).row(raster_row(6, "ann", "parcels", "image"));
    const std::string auth =
        "SELECT tabauth from gis:informix.systabauth au,         gis:informix.systables tab WHERE "
        "au.tabid = tab.tabid and         tab.owner = 'ann' AND tab.tabname = '";
    const std::string grantee = "' AND (au.grantee = 'bob' OR au.grantee = 'public' OR au.grantee "
                                "IN (SELECT rolename FROM gis:informix.sysroleauth rol WHERE "
                                "rol.grantee = 'bob'))";
    for (const char *t : {"parcels", "zel_blk_6"})
        scli::on_sql(auth + t + grantee)
            .columns({{"tabauth", SQL_CHAR, 9}})
            .row({scli::chr("s--------", 9)});
    EXPECT_EQ(find({"ann.parcels.image"}, {"ann.parcels"}, 8), ZE_NO_PERMISSIONS);
    EXPECT_EQ(stream_->raster_column_id, 0);
    EXPECT_EQ(Executed(),
              (Strings{kByTable, auth + "parcels" + grantee, auth + "zel_blk_6" + grantee}));
    // The same column for reading only is found.
    MarkNow();
    scli::on_sql(kByTable).columns(raster_columns()).row(raster_row(6, "ann", "parcels", "image"));
    for (const char *t : {"parcels", "zel_blk_6"})
        scli::on_sql(auth + t + grantee)
            .columns({{"tabauth", SQL_CHAR, 9}})
            .row({scli::chr("s--------", 9)});
    EXPECT_EQ(find({"ann.parcels.image"}, {"ann.parcels"}, 2), 0);
    EXPECT_EQ(stream_->raster_column_id, 6);
    EXPECT_STREQ(stream_->raster_owner, "ann");

    // A failing catalogue read is returned; -226 skips the table.
    MarkNow();
    scli::on_sql(kByTable).fail(SQL_ERROR, {"S1000", -211, "catalog"});
    EXPECT_EQ(find({"*"}, {"parcels"}), ZE_DBMS_ERROR);
}
