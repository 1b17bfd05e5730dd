// Tests the locators: the insert and the update with their property rows
// (one transaction; a failing step of an update rolls back and leaves the
// old properties), the deletion with the tables tied to no other locator,
// and the reads by name, by id and as a list with the outer join's rows.
#include "db/catalog/db_locator_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_diag.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Strings = std::vector<std::string>;
using catalog_test::all_params_of;
using catalog_test::answer_status;

const std::string kInsertLocator = "{call zel:zel.insert_locator(?,?,?,?,?,?)}";
const std::string kUpdateLocator = "{call zel:zel.update_locator(?,?,?,?,?)}";
const std::string kInsertMetadata = "{call zel:zel.insert_metadata (?,?,?,?,?,?,?,?);}";
const std::string kDeleteMetadata = "{ call zel:zel.delete_metadata (?,?,?,?,?,?,?,?,?,?) } ";

void answer_ids(const std::string &select, const std::vector<int32_t> &ids)
{
    scli::Answer &a = scli::on_sql(select).columns({{"record_id", SQL_INTEGER}});
    for (int32_t id : ids)
        a.row({scli::i32(id)});
}

// The locator 7 "parcels" of bob with the properties of the arrays.
struct Written {
    LOCATOR locator{};
    std::vector<int32_t> ids;
    std::vector<char *> names, values;
    Written(std::vector<const char *> n, std::vector<const char *> v)
    {
        locator.locator_id = 7;
        snprintf(locator.name, sizeof(locator.name), "%s", "parcels");
        snprintf(locator.owner, sizeof(locator.owner), "%s", "bob");
        snprintf(locator.category, sizeof(locator.category), "%s", "address");
        locator.type = VE_LOCATOR_DEFINED;
        locator.property_count = static_cast<int32_t>(n.size());
        for (size_t i = 0; i < n.size(); i++) {
            ids.push_back(static_cast<int32_t>(100 + i));
            names.push_back(const_cast<char *>(n[i]));
            values.push_back(const_cast<char *>(v[i]));
        }
    }
    int32_t insert()
    {
        return DB_sp_zellocators_def_insert(nullptr, &locator, ids.data(), names.data(),
                                            values.data());
    }
    int32_t update()
    {
        return DB_sp_zellocators_def_update(nullptr, &locator, ids.data(), names.data(),
                                            values.data());
    }
};

Strings property_row(int32_t id, const char *name, const char *value)
{
    return {std::to_string(id), "parcels", "bob", "2", "ZEL internal", name, value, "NULL"};
}

const std::string kOldProperties =
    "SELECT record_id FROM zel:zel.METADATA WHERE object_type = 2 AND             object_name = "
    "(select name from zel:zel.LOCATORS where locator_id = 7)              AND object_owner = "
    "'bob'";

std::vector<scli::Column> locator_columns()
{
    return {{"locator_id", SQL_INTEGER},   {"name", SQL_VARCHAR, 32},
            {"owner", SQL_VARCHAR, 32},    {"category", SQL_VARCHAR, 32},
            {"type", SQL_INTEGER},         {"description", SQL_VARCHAR, 64},
            {"property", SQL_VARCHAR, 32}, {"prop_value", SQL_VARCHAR, 255},
            {"record_id", SQL_INTEGER}};
}

// A row of locator id; a null property stands for the outer join's NULLs.
scli::Row locator_row(int32_t id, const char *name, const char *property, const char *value,
                      int32_t record_id)
{
    auto text = [](const char *s) { return s ? scli::varchar(s) : scli::null(); };
    return {
        scli::i32(id),      scli::varchar(name), scli::varchar("bob"),
        scli::varchar("x"), scli::i32(1),        scli::null(),
        text(property),     text(value),         property ? scli::i32(record_id) : scli::null()};
}

void free_locator(LOCATOR *l)
{
    free(l->property_names);
    free(l->property_values);
}

using Locators = ConnectedUser;

} // namespace

TEST_F(Locators, InsertWritesTheRowThenItsPropertiesAndCommits)
{
    answer_status(kInsertLocator, 0);
    answer_status(kInsertMetadata, 0, 2);
    Written w({"street", "zone"}, {"Main St", "it's 4"});
    ASSERT_EQ(w.insert(), ZE_SUCCESS);
    EXPECT_EQ(Executed(), (Strings{kInsertLocator, kInsertMetadata, kInsertMetadata, "COMMIT"}));
    EXPECT_EQ(all_params_of(kInsertLocator),
              (std::vector<Strings>{{"7", "parcels", "address", "2", "NULL", "bob"}}));
    EXPECT_EQ(all_params_of(kInsertMetadata),
              (std::vector<Strings>{property_row(100, "street", "Main St"),
                                    property_row(101, "zone", "it's 4")}));

    answer_status(kInsertLocator, 0);
    Written none({}, {});
    snprintf(none.locator.description, sizeof(none.locator.description), "%s", "lots");
    ASSERT_EQ(DB_sp_zellocators_def_insert(nullptr, &none.locator, nullptr, nullptr, nullptr),
              ZE_SUCCESS);
    const Strings all = Executed();
    EXPECT_EQ(Strings(all.end() - 2, all.end()), (Strings{kInsertLocator, "COMMIT"}));
    EXPECT_EQ(all_params_of(kInsertLocator).back()[4], "lots");
}

TEST_F(Locators, InsertFailures)
{
    // A refused insert has written nothing: neither commit nor rollback.
    answer_status(kInsertLocator, -20276);
    Written w({"street"}, {"Main St"});
    EXPECT_EQ(w.insert(), ZE_LOCATOR_EXISTS);
    DB_EXT_ERROR x;
    DB_instance_get_xerr(&x);
    EXPECT_STREQ(x.message, "Error executing stored procedure zel.insert_locator");
    EXPECT_EQ(Executed(), Strings{kInsertLocator});

    // A failed property row rolls the locator row back with it.
    answer_status(kInsertLocator, 0);
    answer_status(kInsertMetadata, -20025);
    EXPECT_EQ(w.insert(), -25);
    DB_instance_get_xerr(&x);
    EXPECT_STREQ(x.message, "Error executing stored procedure zel.metadata_util.insert_metadata");
    EXPECT_EQ(Executed(), (Strings{kInsertLocator, kInsertLocator, kInsertMetadata, "ROLLBACK"}));

    // Refused before any SQL.
    Written bad({"street"}, {"Main St"});
    bad.values[0] = nullptr;
    EXPECT_EQ(bad.insert(), ZE_NULL_POINTER);
    bad.locator.property_count = -1;
    EXPECT_EQ(bad.insert(), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_sp_zellocators_def_insert(nullptr, nullptr, nullptr, nullptr, nullptr),
              ZE_NULL_POINTER);
    EXPECT_EQ(Executed().size(), 4u);
}

TEST_F(Locators, UpdateReplacesThePropertiesInOneTransaction)
{
    // The properties were a, b (ids 50, 51); they become a, c.
    answer_ids(kOldProperties, {50, 51});
    answer_status(kDeleteMetadata, 0);
    answer_status(kUpdateLocator, 0);
    answer_status(kInsertMetadata, 0, 2);
    Written w({"a", "c"}, {"1", "3"});
    ASSERT_EQ(w.update(), ZE_SUCCESS);
    EXPECT_EQ(Executed(), (Strings{kOldProperties, kDeleteMetadata, kUpdateLocator, kInsertMetadata,
                                   kInsertMetadata, "COMMIT"}));
    EXPECT_EQ(all_params_of(kDeleteMetadata),
              (std::vector<Strings>{{"50", "51", "-1", "-1", "-1", "-1", "-1", "-1", "-1", "-1"}}));
    EXPECT_EQ(all_params_of(kUpdateLocator),
              (std::vector<Strings>{{"7", "parcels", "address", "2", "NULL"}}));
    EXPECT_EQ(all_params_of(kInsertMetadata),
              (std::vector<Strings>{property_row(100, "a", "1"), property_row(101, "c", "3")}));
}

TEST_F(Locators, AFailingUpdateStepLeavesTheOldProperties)
{
    const struct {
        const char *what;
        int32_t update_status;
        int32_t insert_status;
        int32_t code;
        Strings executed;
    } cases[] = {
        {"update refused",
         -20275,
         0,
         ZE_LOCATOR_NOT_FOUND,
         {kOldProperties, kDeleteMetadata, kUpdateLocator, "ROLLBACK"}},
        {"property insert refused",
         0,
         -20025,
         -25,
         {kOldProperties, kDeleteMetadata, kUpdateLocator, kInsertMetadata, "ROLLBACK"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const size_t before = Executed().size();
        answer_ids(kOldProperties, {50, 51});
        answer_status(kDeleteMetadata, 0);
        answer_status(kUpdateLocator, c.update_status);
        if (c.update_status == 0)
            answer_status(kInsertMetadata, c.insert_status);
        Written w({"a"}, {"1"});
        EXPECT_EQ(w.update(), c.code);
        const Strings all = Executed();
        EXPECT_EQ(Strings(all.begin() + static_cast<long>(before), all.end()), c.executed);
    }

    // The old properties cannot be deleted: nothing else is tried.
    answer_ids(kOldProperties, {50});
    answer_status(kDeleteMetadata, -20025);
    Written w({"a"}, {"1"});
    EXPECT_EQ(quiet_stderr([&] { return w.update(); }), -25);
    const Strings all = Executed();
    EXPECT_EQ(Strings(all.end() - 3, all.end()),
              (Strings{kOldProperties, kDeleteMetadata, "ROLLBACK"}));
}

namespace
{

const std::string kDependents =
    "SELECT registration_id,table_name, owner  FROM zel:zel.table_registry r  WHERE EXISTS "
    "(SELECT  * from zel:zel.METADATA  WHERE object_type = 1 AND class_name = 'ZEL internal' AND "
    "property = 'Locator ID' AND prop_value = '7' AND object_name=r.table_name AND "
    "object_owner=r.owner)";

std::string other_link(const std::string &table, const std::string &owner)
{
    return "SELECT record_id from zel:zel.METADATA WHERE object_name = '" + table +
           "' AND object_owner = '" + owner +
           "' AND object_type = 1 AND class_name = 'ZEL internal' AND property = 'Locator ID' AND "
           "prop_value != '7'";
}

const std::string kLocatorRows =
    "SELECT record_id FROM zel:zel.METADATA WHERE (object_type = 2 AND EXISTS    (SELECT * FROM "
    "zel:zel.LOCATORS WHERE locator_id = 7 AND object_name = name    AND object_owner = owner)) "
    "OR (object_type = 1 AND class_name = 'ZEL internal'    AND property = 'Locator ID' AND "
    "prop_value = '7')";
const std::string kDeleteLocator = "{call zel:zel.delete_locator(7)}";

void answer_dependents()
{
    scli::on_sql(kDependents)
        .columns({{"registration_id", SQL_INTEGER},
                  {"table_name", SQL_VARCHAR, 128},
                  {"owner", SQL_VARCHAR, 32}})
        .row({scli::i32(31), scli::varchar("roads"), scli::varchar("bob")})
        .row({scli::i32(32), scli::varchar("o'hare"), scli::varchar("ann")});
    answer_ids(other_link("roads", "bob"), {});     // tied to 7 only
    answer_ids(other_link("o''hare", "ann"), {88}); // tied to 8 as well
    answer_ids(kLocatorRows, {60, 61, 62});
}

} // namespace

TEST_F(Locators, DeleteReportsTheTablesTiedToNoOtherLocator)
{
    answer_dependents();
    answer_status(kDeleteMetadata, 0);
    answer_status(kDeleteLocator, 0);
    int32_t *list = static_cast<int32_t *>(malloc(sizeof(int32_t)));
    list[0] = 5;
    int32_t count = 1;
    ASSERT_EQ(DB_sp_zellocators_def_delete(nullptr, 7, &list, &count), ZE_SUCCESS);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(list[0], 5);
    EXPECT_EQ(list[1], 31);
    free(list);
    // Every dependent is read before the first test commits; the deletions
    // and the routine call commit together.
    EXPECT_EQ(Executed(), (Strings{kDependents, other_link("roads", "bob"), "COMMIT",
                                   other_link("o''hare", "ann"), "COMMIT", kLocatorRows,
                                   kDeleteMetadata, kDeleteLocator, "COMMIT"}));
    EXPECT_EQ(all_params_of(kDeleteMetadata),
              (std::vector<Strings>{{"60", "61", "62", "-1", "-1", "-1", "-1", "-1", "-1", "-1"}}));
}

TEST_F(Locators, AFailedDeleteRollsBackAndLeavesTheList)
{
    answer_dependents();
    answer_status(kDeleteMetadata, 0);
    answer_status(kDeleteLocator, -20100);
    int32_t *list = nullptr;
    int32_t count = 0;
    EXPECT_EQ(DB_sp_zellocators_def_delete(nullptr, 7, &list, &count), -100);
    EXPECT_EQ(count, 0);
    free(list);
    DB_EXT_ERROR x;
    DB_instance_get_xerr(&x);
    EXPECT_STREQ(x.message, "Error executing stored procedure delete_locator");
    const Strings all = Executed();
    EXPECT_EQ(Strings(all.end() - 4, all.end()),
              (Strings{kLocatorRows, kDeleteMetadata, kDeleteLocator, "ROLLBACK"}));

    EXPECT_EQ(DB_sp_zellocators_def_delete(nullptr, 7, nullptr, &count), ZE_NULL_POINTER);
    count = -1;
    EXPECT_EQ(DB_sp_zellocators_def_delete(nullptr, 7, &list, &count), ZE_INVALID_ARGUMENT);
}

TEST_F(Locators, FindTableRecord)
{
    int32_t only = 7;
    answer_ids(other_link("roads", "bob"), {});
    ASSERT_EQ(db_locator_find_table_record("roads", "bob", 7, &only), ZE_SUCCESS);
    EXPECT_EQ(only, 1);
    answer_ids(other_link("roads", "bob"), {88, 89});
    ASSERT_EQ(db_locator_find_table_record("roads", "bob", 7, &only), ZE_SUCCESS);
    EXPECT_EQ(only, 0);
    scli::on_sql(other_link("roads", "bob")).fail(SQL_ERROR, {"S1000", -206, "gone"});
    EXPECT_EQ(db_locator_find_table_record("roads", "bob", 7, &only), ZE_DBMS_ERROR);
    DB_EXT_ERROR x;
    DB_instance_get_xerr(&x);
    EXPECT_EQ(x.native_error, -206);
}

namespace
{

std::string by_name_sql(const std::string &name, const std::string &owner)
{
    return "SELECT locator_id,name,owner,category,type,l.description, "
           "m.property,m.prop_value,m.record_id FROM zel:zel.LOCATORS l, outer zel:zel.METADATA "
           "m WHERE name = '" +
           name + "' AND owner = '" + owner +
           "' AND l.name = m.object_name AND l.owner = m.object_owner AND m.object_type = 2 "
           "ORDER BY m.record_id";
}

const std::string kById =
    "SELECT locator_id,name,owner,category,type,l.description, property,prop_value,m.record_id "
    "FROM zel:zel.LOCATORS l,  outer zel:zel.METADATA m WHERE locator_id = 7 AND  l.name = "
    "m.object_name AND l.owner = m.object_owner  AND m.object_type = 2 ORDER BY m.record_id";

} // namespace

TEST_F(Locators, ReadByNameSplitsTheOwner)
{
    const struct {
        const char *name;
        std::string sql;
    } cases[] = {
        {"ann.parcels", by_name_sql("parcels", "ann")},
        {"parcels", by_name_sql("parcels", "bob")}, // the current user's
        {"db:o'neil.it's", by_name_sql("it''s", "db:o''neil")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        scli::on_sql(c.sql)
            .columns(locator_columns())
            .row(locator_row(7, "parcels", "street", "Main St", 40))
            .row(locator_row(7, "parcels", "zone", nullptr, 41));
        LOCATOR l{};
        l.reserved = 99;
        ASSERT_EQ(DB_locator_get_info(nullptr, c.name, &l), ZE_SUCCESS);
        EXPECT_EQ(l.reserved, 99);
        EXPECT_EQ(l.locator_id, 7);
        EXPECT_STREQ(l.name, "parcels");
        EXPECT_STREQ(l.owner, "bob");
        EXPECT_STREQ(l.category, "x");
        EXPECT_EQ(l.type, 1);
        EXPECT_STREQ(l.description, "");
        ASSERT_EQ(l.property_count, 2);
        EXPECT_STREQ(l.property_names[0], "street");
        EXPECT_STREQ(l.property_values[0], "Main St");
        EXPECT_STREQ(l.property_names[1], "zone");
        EXPECT_STREQ(l.property_values[1], ""); // NULL value
        free_locator(&l);
        const Strings all = Executed();
        EXPECT_EQ(Strings(all.end() - 2, all.end()), (Strings{c.sql, "COMMIT"}));
    }
}

TEST_F(Locators, ReadByIdWithoutPropertiesOrWithoutALocator)
{
    scli::on_sql(kById)
        .columns(locator_columns())
        .row(locator_row(7, "parcels", nullptr, nullptr, 0));
    LOCATOR l{};
    ASSERT_EQ(DB_locator_get_info_by_id(nullptr, 7, &l), ZE_SUCCESS);
    EXPECT_STREQ(l.name, "parcels");
    EXPECT_EQ(l.property_count, 0);
    EXPECT_EQ(l.property_names, nullptr);
    EXPECT_EQ(l.property_values, nullptr);

    scli::on_sql(kById).columns(locator_columns());
    EXPECT_EQ(DB_locator_get_info_by_id(nullptr, 7, &l), ZE_LOCATOR_NOT_FOUND);
    scli::on_sql(kById).fail(SQL_ERROR, {"S1000", -206, "gone"});
    EXPECT_EQ(DB_locator_get_info_by_id(nullptr, 7, &l), ZE_DBMS_ERROR);
    EXPECT_EQ(DB_locator_get_info_by_id(nullptr, 7, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(DB_locator_get_info(nullptr, nullptr, &l), ZE_NULL_POINTER);
}

TEST_F(Locators, ListRefusesAConditionThatLeavesItsParentheses)
{
    for (const char *where : {"1=0 {(}) OR (1=1 {)}", "1=0) OR (1=1", "1=1 -- ("}) {
        SCOPED_TRACE(where);
        LOCATOR *list = nullptr;
        int32_t count = -1;
        EXPECT_EQ(DB_locator_get_info_list(nullptr, where, &list, &count), ZE_INVALID_ARGUMENT);
        EXPECT_EQ(list, nullptr);
        EXPECT_TRUE(Executed().empty());
    }
}

TEST_F(Locators, ListGroupsTheRowsByLocator)
{
    const std::string head =
        "SELECT locator_id, name,owner,category,type,l.description, property,prop_value,record_id "
        "FROM zel:zel.LOCATORS l, outer zel:zel.METADATA m WHERE l.name = m.object_name AND "
        "l.owner = m.object_owner AND m.object_type = 2 ";
    const std::string tail = " ORDER BY l.locator_id,m.record_id";
    const std::string all = head + tail;
    const std::string some = head + " AND (category = 'x')" + tail;

    scli::Answer &a = scli::on_sql(some).columns(locator_columns());
    a.row(locator_row(1, "a", "p", "1", 10)).row(locator_row(1, "a", "q", "2", 11));
    a.row(locator_row(2, "b", nullptr, nullptr, 0));
    a.row(locator_row(3, "c", "r", "3", 12));
    LOCATOR *list = nullptr;
    int32_t count = -1;
    ASSERT_EQ(DB_locator_get_info_list(nullptr, " where category = 'x'", &list, &count),
              ZE_SUCCESS);
    ASSERT_EQ(count, 3);
    EXPECT_STREQ(list[0].name, "a");
    ASSERT_EQ(list[0].property_count, 2);
    EXPECT_STREQ(list[0].property_names[1], "q");
    EXPECT_STREQ(list[0].property_values[1], "2");
    EXPECT_EQ(list[1].property_count, 0);
    EXPECT_EQ(list[1].property_names, nullptr);
    ASSERT_EQ(list[2].property_count, 1);
    EXPECT_STREQ(list[2].property_names[0], "r");
    for (int32_t i = 0; i < count; i++)
        free_locator(&list[i]);
    free(list);

    scli::on_sql(all).columns(locator_columns());
    ASSERT_EQ(DB_locator_get_info_list(nullptr, nullptr, &list, &count), ZE_SUCCESS);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(list, nullptr);

    scli::on_sql(all)
        .columns(locator_columns())
        .row(locator_row(1, "a", "p", "1", 10))
        .at_fetch(2, SQL_ERROR, {"S1000", -243, "read"});
    EXPECT_EQ(DB_locator_get_info_list(nullptr, "  ", &list, &count), ZE_DBMS_ERROR);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(Executed(), (Strings{some, "COMMIT", all, "COMMIT", all}));
}
