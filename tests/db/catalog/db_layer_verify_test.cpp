// What a new layer learns from its table's shapes: the data's extent (wholly
// below 0 here) and the spatial reference of their srid, with the exact two
// SELECTs; tables without shapes or without the column, layers without
// names, and failures.
#include "db/catalog/db_layer_verify.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_xerr.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Strings = std::vector<std::string>;

const std::string kExtent =
    "select max(st_srid(shape)), min(ve_xmin(shape)), min(ve_ymin(shape)), max(ve_xmax(shape)), "
    "max(ve_ymax(shape)) from bob.roads where shape is not null";
const std::string kReference = "select falsex, falsey, xyunits,falsez,zunits,falsem,munits,srtext "
                               "from zel:zel.spatial_references where srid = 3";

std::vector<scli::Column> doubles(int n)
{
    std::vector<scli::Column> c;
    for (int i = 0; i < n; i++)
        c.push_back(scli::Column("", SQL_DOUBLE));
    return c;
}

class LayerVerify : public layer_test::LayerFixture
{
  protected:
    void SetUp() override
    {
        LayerFixture::SetUp();
        strcpy(own_.layer.owner, "bob");
        strcpy(own_.layer.table_name, "roads");
        strcpy(own_.layer.spatial_column, "shape");
        own_.layer.minx = 1;
        own_.layer.maxx = 2;
        own_.coordref.xyunits = 7;
        strcpy(own_.text, "old");
    }
    void answer_extent(const scli::Row &row)
    {
        std::vector<scli::Column> c = doubles(4);
        c.insert(c.begin(), scli::Column("", SQL_INTEGER));
        scli::on_sql(kExtent).columns(c).row(row);
    }
    layer_test::OwnLayer own_;
};

TEST_F(LayerVerify, ShapesGiveTheExtentAndTheSpatialReference)
{
    answer_extent({scli::i32(3), scli::f64(-10), scli::f64(-20), scli::f64(-1), scli::f64(-2)});
    std::vector<scli::Column> c = doubles(7);
    c.push_back(scli::Column("srtext", SQL_CHAR, 2048));
    scli::on_sql(kReference)
        .columns(c)
        .row({scli::f64(-400), scli::f64(-300), scli::f64(1000), scli::f64(-10), scli::f64(4),
              scli::f64(0), scli::f64(8), scli::chr("  PROJCS[\"local\"]  ", 2048)});
    ASSERT_EQ(DB_layer_verify(instance_, &own_.layer), 0);
    EXPECT_EQ(Executed(), (Strings{kExtent, kReference}));
    EXPECT_NE(own_.layer.eflags & LAYER_SPATIAL, 0u);
    EXPECT_EQ(own_.layer.minx, -10);
    EXPECT_EQ(own_.layer.miny, -20);
    EXPECT_EQ(own_.layer.maxx, -1);
    EXPECT_EQ(own_.layer.maxy, -2);
    const double expected[] = {-400, -300, 1000, -10, 4, 0, 8};
    const double got[] = {own_.coordref.falsex, own_.coordref.falsey, own_.coordref.xyunits,
                          own_.coordref.falsez, own_.coordref.zunits, own_.coordref.falsem,
                          own_.coordref.munits};
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(got[i], expected[i]) << i;
    EXPECT_EQ(own_.coordref.srtext, own_.text); // its own buffer
    EXPECT_STREQ(own_.text, "PROJCS[\"local\"]");
}

// Left as they were: no shapes (NULL srid), no such column, no names.
TEST_F(LayerVerify, NothingToLearn)
{
    answer_extent({scli::null(), scli::null(), scli::null(), scli::null(), scli::null()});
    ASSERT_EQ(DB_layer_verify(instance_, &own_.layer), 0);
    scli::on_sql(kExtent).fail(SQL_ERROR, {"S0022", -217, "Column not found."});
    quiet_stderr([&] { ASSERT_EQ(DB_layer_verify(instance_, &own_.layer), 0); });
    EXPECT_EQ(Executed(), (Strings{kExtent, kExtent}));
    EXPECT_EQ(own_.layer.minx, 1);
    EXPECT_EQ(own_.layer.maxx, 2);
    EXPECT_EQ(own_.coordref.xyunits, 7);
    EXPECT_STREQ(own_.text, "old");

    MarkNow();
    own_.layer.spatial_column[0] = '\0';
    own_.layer.eflags = 0;
    ASSERT_EQ(DB_layer_verify(instance_, &own_.layer), 0);
    EXPECT_EQ(own_.layer.eflags, static_cast<uint32_t>(LAYER_SPATIAL));
    EXPECT_EQ(Executed(), Strings{});
    EXPECT_EQ(DB_layer_verify(instance_, nullptr), ZE_NULL_POINTER);
}

TEST_F(LayerVerify, FailuresFillTheRecord)
{
    answer_extent({scli::i32(3), scli::f64(0), scli::f64(0), scli::f64(1), scli::f64(1)});
    scli::on_sql(kReference).fail(SQL_ERROR, {"HY000", -243, "Could not position."});
    quiet_stderr([&] { EXPECT_EQ(DB_layer_verify(instance_, &own_.layer), ZE_DBMS_ERROR); });
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -243);
    EXPECT_EQ(own_.layer.minx, 1); // nothing taken from a half-read
    strcpy(own_.layer.owner, "bob;x");
    EXPECT_EQ(DB_layer_verify(instance_, &own_.layer), ZE_INVALID_ARGUMENT);
}

} // namespace
