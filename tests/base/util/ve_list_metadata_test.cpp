// Metadata and index-definition printers: exact text, records separated by an
// empty line, and hostile records (full-width fields, column counts beyond the
// arrays' room, missing arrays) printed within bounds.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "base/util/ve_list_internal.h"
#include "tests/base/util/ve_list_capture.h"

namespace
{

TEST(VeListMetadata, RecordsAreQuotedAndSeparated)
{
    METADATA m[2];
    memset(m, 0, sizeof(m));
    m[0].record_id = 4;
    strcpy(m[0].object_name, "roads");
    strcpy(m[0].object_owner, "me");
    m[0].object_type = METADATA_OBJECT_TABLE;
    strcpy(m[0].class_name, "ZEL internal");
    strcpy(m[0].property, "Locator ID");
    strcpy(m[0].prop_value, "12");
    m[0].creation_date = 86400;
    memset(m[1].prop_value, 'v', sizeof(m[1].prop_value)); // no terminator
    memset(m[1].description, 'd', sizeof(m[1].description));
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_metadata(out, m, 2, "-"); }),
              "-Record ID:        4\n-ObjectName:       \"roads\"\n-ObjectOwner:      \"me\"\n"
              "-ObjectType:       1\n-ClassName:        \"ZEL internal\"\n"
              "-Property:         \"Locator ID\"\n-Value:            \"12\"\n"
              "-Description:      \"\"\n-Date modified:    Fri Jan  2 00:00:00 1970\n\n"
              "-Record ID:        0\n-ObjectName:       \"\"\n-ObjectOwner:      \"\"\n"
              "-ObjectType:       0\n-ClassName:        \"\"\n-Property:         \"\"\n"
              "-Value:            \"" +
                  std::string(255, 'v') + "\"\n-Description:      \"" + std::string(64, 'd') +
                  "\"\n-Date modified:    Thu Jan  1 00:00:00 1970\n");
}

TEST(VeListMetadata, IndexDefinitionsListColumnsAndOrders)
{
    char a[DB_INDEX_COLUMN_NAME_SIZE] = "a";
    char b[DB_INDEX_COLUMN_NAME_SIZE] = "b";
    char *names[DB_INDEX_MAX_COLUMNS] = {a, b};
    int32_t order[DB_INDEX_MAX_COLUMNS] = {DB_INDEX_ASCENDING, 0};
    DB_INDEX_DEF d[2];
    memset(d, 0, sizeof(d));
    d[0].column_count = 2;
    d[0].column_names = names;
    strcpy(d[0].index_name, "ix1");
    d[0].unique = 1;
    d[0].column_order = order;
    d[1].column_count = 1; // arrays missing
    memset(d[1].index_name, 'i', sizeof(d[1].index_name));
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_index_defs(out, 2, d, "-"); }),
              "-INDEX :ix1\n--Columns : a,b\n--Unique: TRUE\n--Ascending: TRUE,FALSE\n"
              "-INDEX :" +
                  std::string(32, 'i') + "\n--Columns : \n--Unique: FALSE\n--Ascending: \n");
}

TEST(VeListMetadata, IndexColumnCountIsBoundedByTheArrays)
{
    char name[DB_INDEX_COLUMN_NAME_SIZE];
    memset(name, 'c', sizeof(name)); // a full name block without a terminator
    char *names[DB_INDEX_MAX_COLUMNS];
    int32_t order[DB_INDEX_MAX_COLUMNS];
    for (int i = 0; i < DB_INDEX_MAX_COLUMNS; ++i) {
        names[i] = name;
        order[i] = DB_INDEX_ASCENDING;
    }
    DB_INDEX_DEF d;
    memset(&d, 0, sizeof(d));
    d.column_count = 30000;
    d.column_names = names;
    d.column_order = order;
    std::string text = Capture([&](FILE *out) { ves_list_index_defs(out, 1, &d, ""); });
    std::string columns = std::string(33, 'c');
    std::string orders = "TRUE";
    for (int i = 1; i < DB_INDEX_MAX_COLUMNS; ++i) {
        columns += "," + std::string(33, 'c');
        orders += ",TRUE";
    }
    EXPECT_NE(text.find("Columns : " + columns + "\n"), std::string::npos);
    EXPECT_NE(text.find("Ascending: " + orders + "\n"), std::string::npos);
    d.column_count = -3;
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_index_defs(out, 1, &d, ""); }),
              "INDEX :\nColumns : \nUnique: FALSE\nAscending: \n");
}

} // namespace
