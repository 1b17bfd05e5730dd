// The locator links and the dependent tables of a registered table: the
// link rows deleted and the other links asked after, the linked ids read
// (none: a null array), and the existing side tables listed by kind, a
// missing one left out and any other failure of the probe reported.
#include "db/version/db_registered_links_internal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/db/version/mv_fixture.h"
#include "tests/db/version/registered_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using registered_test::xerr;
using Strings = std::vector<std::string>;

const std::string kLinkRows =
    "SELECT m.record_id FROM zel:zel.METADATA m WHERE m.object_type = 1 AND    m.object_owner = "
    "'o''neil' AND m.object_name = 'roads' AND (object_name = 'roads' AND object_owner = "
    "'o''neil'  AND class_name = 'ZEL internal' AND  property = 'Locator ID' AND prop_value = "
    "'4')";
const std::string kDeleteMetadata = "{ call zel:zel.delete_metadata (?,?,?,?,?,?,?,?,?,?) } ";
const std::string kOtherLinks =
    "SELECT record_id from zel:zel.METADATA WHERE object_name = 'roads' AND object_owner = "
    "'o''neil' AND object_type = 1 AND class_name = 'ZEL internal' AND property = 'Locator ID' "
    "AND prop_value != '4'";
const std::string kLocators =
    "SELECT VE_ToNumber(prop_value) from zel:zel.METADATA WHERE object_name = 'roads' AND "
    "object_owner = 'o''neil' AND object_type = 1 AND class_name = 'ZEL internal' AND property = "
    "'Locator ID'";

std::string Probe(const std::string &table)
{
    return "SELECT count(*) FROM " + table + " ";
}

struct Names {
    char **names = nullptr;
    int32_t count = 0;
    ~Names()
    {
        for (int32_t i = 0; i < count; i++)
            free(names[i]);
        free(names);
    }
    Strings list() const
    {
        return Strings(names, names + count);
    }
};

class LinksTest : public MvTest
{
  protected:
    // A quote in the owner shows the literals doubled.
    static REGISTRATION Quoted()
    {
        REGISTRATION r = roads();
        strcpy(r.owner, "o'neil");
        return r;
    }
};

} // namespace

TEST_F(LinksTest, DeletingALinkAsksAfterTheOthers)
{
    const REGISTRATION r = Quoted();
    const struct {
        std::vector<int32_t> others;
        int32_t only;
    } cases[] = {{{}, 1}, {{12}, 0}};
    for (const auto &c : cases) {
        mark();
        scli::on_sql(kLinkRows).columns({{"record_id", SQL_INTEGER}}).row({scli::i32(31)});
        scli::on_sql(kDeleteMetadata).columns({{"status", SQL_INTEGER}}).row({scli::i32(0)});
        std::vector<scli::Row> rows;
        for (int32_t id : c.others)
            rows.push_back({scli::i32(id)});
        scli::on_sql(kOtherLinks).columns({{"record_id", SQL_INTEGER}}).rows(rows);
        int32_t only = -1;
        ASSERT_EQ(DB_registered_table_delete_locator(instance_, &r, 4, &only), ZE_SUCCESS);
        EXPECT_EQ(only, c.only);
        EXPECT_EQ(executed(),
                  (Strings{kLinkRows, kDeleteMetadata, "COMMIT", kOtherLinks, "COMMIT"}));
    }
    // A failed deletion is returned before anything else is asked.
    mark();
    scli::on_sql(kLinkRows).fail(SQL_ERROR, {"S1000", -243, "lost"});
    int32_t only = -1;
    EXPECT_EQ(
        quiet_stderr([&] { return DB_registered_table_delete_locator(instance_, &r, 4, &only); }),
        ZE_DBMS_ERROR);
    EXPECT_EQ(executed(), Strings{kLinkRows});
    EXPECT_EQ(DB_registered_table_delete_locator(instance_, &r, 4, nullptr), ZE_NULL_POINTER);
}

TEST_F(LinksTest, LinkedLocatorIds)
{
    const REGISTRATION r = Quoted();
    scli::on_sql(kLocators)
        .columns({{"", SQL_INTEGER}})
        .rows({{scli::i32(4)}, {scli::i32(9)}, {scli::i32(2)}});
    int32_t *ids = reinterpret_cast<int32_t *>(8);
    int32_t count = -1;
    ASSERT_EQ(DB_registered_table_get_locator(instance_, &r, &ids, &count), ZE_SUCCESS);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(std::vector<int32_t>(ids, ids + count), (std::vector<int32_t>{4, 9, 2}));
    free(ids);
    EXPECT_EQ(executed(), Strings{kLocators});

    // None: a null array.
    scli::on_sql(kLocators).columns({{"", SQL_INTEGER}});
    ASSERT_EQ(DB_registered_table_get_locator(instance_, &r, &ids, &count), ZE_SUCCESS);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(ids, nullptr);

    // A failing fetch hands nothing out.
    scli::on_sql(kLocators)
        .columns({{"", SQL_INTEGER}})
        .rows({{scli::i32(4)}, {scli::i32(9)}})
        .at_fetch(2, SQL_ERROR, {"S1000", -243, "lost"});
    setenv("ZELVERBOSE", "1", 1);
    {
        StderrCapture capture;
        EXPECT_EQ(DB_registered_table_get_locator(instance_, &r, &ids, &count), ZE_DBMS_ERROR);
        EXPECT_NE(capture.text().find("DB_registered_table_get_locator() Fetch Error("),
                  std::string::npos);
    }
    unsetenv("ZELVERBOSE");
    EXPECT_EQ(count, 0);
    EXPECT_EQ(ids, nullptr);
    EXPECT_EQ(xerr().native_error, -243);
}

// A multiversioned table lists its adds, deletes and equivalence tables as
// far as they exist.
TEST_F(LinksTest, DependentTablesThatExist)
{
    REGISTRATION r = roads();
    r.object_flags = REG_ROWID_COLUMN | REG_MULTIVERSION;
    const std::string adds = "gis:'bob'.A7", deletes = "gis:'bob'.d7", equivalence = "gis:'bob'.e7";
    {
        Names n;
        ASSERT_EQ(DB_registration_get_dependent_tables(instance_, &r, "roads", &n.names, &n.count),
                  ZE_SUCCESS);
        EXPECT_EQ(n.list(), (Strings{"a7", "d7", "e7"})); // bare names, as the parser folds them
        EXPECT_TRUE(executed().empty());                  // only prepared
        Strings prepared;
        for (const scli::Call &c : scli::calls_of("SQLPrepare"))
            if (c.sql.rfind("SELECT count(*)", 0) == 0)
                prepared.push_back(c.sql);
        EXPECT_EQ(prepared, (Strings{Probe(adds), Probe(deletes), Probe(equivalence)}));
    }
    {
        scli::on_sql(Probe(equivalence)).at_prepare(SQL_ERROR, {"S0002", -206, "no table"});
        Names n;
        ASSERT_EQ(DB_registration_get_dependent_tables(instance_, &r, "roads", &n.names, &n.count),
                  ZE_SUCCESS);
        EXPECT_EQ(n.list(), (Strings{"a7", "d7"}));
    }
    {
        // Any other failure is no proof of absence.
        scli::on_sql(Probe(deletes)).at_prepare(SQL_ERROR, {"08S01", -908, "connection lost"});
        Names n;
        EXPECT_EQ(quiet_stderr([&] {
                      return DB_registration_get_dependent_tables(instance_, &r, "roads", &n.names,
                                                                  &n.count);
                  }),
                  ZE_DBMS_ERROR);
        EXPECT_EQ(n.list(), (Strings{"a7"}));
        EXPECT_EQ(xerr().native_error, -908);
    }
    // A plain table has none.
    Names none;
    const REGISTRATION plain = roads();
    ASSERT_EQ(
        DB_registration_get_dependent_tables(instance_, &plain, "roads", &none.names, &none.count),
        ZE_SUCCESS);
    EXPECT_EQ(none.count, 0);
    EXPECT_EQ(none.names, nullptr);
}

// A layer lists its feature table first; without a layer record the step is
// skipped.
TEST_F(LinksTest, ALayerListsItsFeatureTable)
{
    DB_instance_close(instance_);
    instance_ = nullptr;
    config_.layer_cache_size = 5;
    ASSERT_EQ(DB_instance_open("", "bob", "pw", &config_, &instance_), 0);
    auto layer_sql = [](const std::string &table) {
        return layer_test::kSelect +
               " FROM zel:zel.Layers ly, zel:zel.spatial_references sr WHERE ly.srid = sr.srid AND "
               "ly.database_name = 'gis' AND ly.table_name = '" +
               table + "' AND ly.owner = 'bob'";
    };
    layer_test::LayerRow layer;
    layer.id = 12;
    layer_test::answer_layers(layer_sql("roads"), {layer});
    REGISTRATION r = roads();
    r.object_flags = REG_LAYER | REG_MULTIVERSION;
    Names n;
    ASSERT_EQ(DB_registration_get_dependent_tables(instance_, &r, "roads", &n.names, &n.count),
              ZE_SUCCESS);
    EXPECT_EQ(n.list(), (Strings{"f12", "a7", "d7", "e7"}));

    layer_test::answer_layers(layer_sql("streets"), {});
    Names without;
    ASSERT_EQ(DB_registration_get_dependent_tables(instance_, &r, "streets", &without.names,
                                                   &without.count),
              ZE_SUCCESS);
    EXPECT_EQ(without.list(), (Strings{"a7", "d7", "e7"}));
}
