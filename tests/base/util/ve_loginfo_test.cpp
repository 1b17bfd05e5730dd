// The log-file info record: its client layout, the checked accessors, targets
// and names that must fit their fields, unterminated fields read within bounds.
#include "base/util/ve_loginfo_internal.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"

namespace
{

struct Loginfo {
    LOGFILE *record = nullptr;
    Loginfo()
    {
        EXPECT_EQ(VES_loginfo_create(&record), ZE_SUCCESS);
    }
    ~Loginfo()
    {
        VES_loginfo_free(record);
    }
};

struct Target {
    int32_t kind = 0;
    char table[DB_NAME_FULL_TABLE_SIZE] = {};
    char column[DB_NAME_COLUMN_SIZE] = {};
};

Target S_target(const LOGFILE *record)
{
    Target target;
    EXPECT_EQ(VES_loginfo_get_target_object(record, &target.kind, target.table, target.column),
              ZE_SUCCESS);
    return target;
}

int32_t S_persistence(const LOGFILE *record)
{
    int32_t value = 0;
    EXPECT_EQ(VES_loginfo_get_persistence(record, &value), ZE_SUCCESS);
    return value;
}

} // namespace

TEST(Loginfo, RecordKeepsTheClientsLayout)
{
    EXPECT_EQ(sizeof(LOGFILE), 1048u);
    EXPECT_EQ(offsetof(LOGFILE, name), 4u);
    EXPECT_EQ(offsetof(LOGFILE, table_name), 230u);
    EXPECT_EQ(offsetof(LOGFILE, spatial_column), 456u);
    EXPECT_EQ(offsetof(LOGFILE, logfile_id), 492u);
    EXPECT_EQ(offsetof(LOGFILE, flags), 500u);
    EXPECT_EQ(offsetof(LOGFILE, registration), 512u);
}

TEST(Loginfo, NewRecordIsZeroedTableTargetAndTemporary)
{
    Loginfo log;
    ASSERT_NE(log.record, nullptr);
    EXPECT_EQ(std::memcmp(log.record->tag, "LoG", 4), 0);
    std::vector<char> zeros(sizeof(LOGFILE) - 4, 0);
    EXPECT_EQ(std::memcmp(reinterpret_cast<char *>(log.record) + 4, zeros.data(), zeros.size()), 0);
    Target target = S_target(log.record);
    EXPECT_EQ(target.kind, LOGINFO_KIND_TABLE);
    EXPECT_STREQ(target.table, "");
    EXPECT_EQ(S_persistence(log.record), LOGINFO_IS_TEMPORARY);
    EXPECT_EQ(VES_loginfo_create(nullptr), ZE_NULL_POINTER);
    VES_loginfo_free(nullptr);
}

TEST(Loginfo, EveryAccessorRefusesAnInvalidRecord)
{
    LOGFILE freed{};
    std::memcpy(freed.tag, "gOl", 4);
    LOGFILE foreign{};
    std::memcpy(foreign.tag, "ReG", 4);
    Loginfo valid;
    int32_t number = 0;
    char text[DB_NAME_FULL_TABLE_SIZE];
    char column[DB_NAME_COLUMN_SIZE];
    const std::vector<std::function<int32_t(LOGFILE *)>> accessors = {
        [&](LOGFILE *r) { return VES_loginfo_get_id(r, &number); },
        [&](LOGFILE *r) { return VES_loginfo_get_name(r, text); },
        [&](LOGFILE *r) { return VES_loginfo_get_target_object(r, &number, text, column); },
        [&](LOGFILE *r) { return VES_loginfo_get_persistence(r, &number); },
        [&](LOGFILE *r) { return VES_loginfo_set_name(r, "log1"); },
        [&](LOGFILE *r) { return VES_loginfo_set_target_object(r, 1, "roads", nullptr); },
        [&](LOGFILE *r) { return VES_loginfo_set_persistence(r, 1); },
        [&](LOGFILE *r) { return ves_loginfo_copy(r, valid.record); },
        [&](LOGFILE *r) { return ves_loginfo_copy(valid.record, r); },
    };
    for (size_t i = 0; i < accessors.size(); ++i) {
        for (LOGFILE *record : {&freed, &foreign, static_cast<LOGFILE *>(nullptr)}) {
            EXPECT_EQ(accessors[i](record), ZE_INVALID_LOGINFO_OBJECT) << "accessor " << i;
        }
    }
}

TEST(Loginfo, NullOutsAreRefused)
{
    Loginfo log;
    int32_t number = 0;
    char text[DB_NAME_FULL_TABLE_SIZE];
    EXPECT_EQ(VES_loginfo_get_id(log.record, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(VES_loginfo_get_name(log.record, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(VES_loginfo_get_persistence(log.record, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(VES_loginfo_get_target_object(log.record, nullptr, text, text), ZE_NULL_POINTER);
    EXPECT_EQ(VES_loginfo_get_target_object(log.record, &number, nullptr, text), ZE_NULL_POINTER);
    EXPECT_EQ(VES_loginfo_get_target_object(log.record, &number, text, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(VES_loginfo_set_name(log.record, nullptr), ZE_NULL_POINTER);
}

TEST(Loginfo, LayerThenTableTargetClearsColumnAndKeepsPersistence)
{
    Loginfo log;
    ASSERT_EQ(VES_loginfo_set_persistence(log.record, LOGINFO_IS_PERSISTENT), ZE_SUCCESS);
    ASSERT_EQ(VES_loginfo_set_target_object(log.record, 2, "gis.roads", "shape"), ZE_SUCCESS);
    Target layer = S_target(log.record);
    EXPECT_EQ(layer.kind, LOGINFO_KIND_LAYER);
    EXPECT_STREQ(layer.table, "gis.roads");
    EXPECT_STREQ(layer.column, "shape");
    EXPECT_EQ(log.record->flags, unsigned{LOGINFO_PERSISTENT | LOGINFO_LAYER});

    ASSERT_EQ(VES_loginfo_set_target_object(log.record, 1, "gis.parcels", "ignored"), ZE_SUCCESS);
    Target table = S_target(log.record);
    EXPECT_EQ(table.kind, LOGINFO_KIND_TABLE);
    EXPECT_STREQ(table.table, "gis.parcels");
    EXPECT_STREQ(table.column, "");
    EXPECT_EQ(log.record->flags, unsigned{LOGINFO_PERSISTENT | LOGINFO_TABLE});
    EXPECT_EQ(S_persistence(log.record), LOGINFO_IS_PERSISTENT);

    ASSERT_EQ(VES_loginfo_set_persistence(log.record, LOGINFO_IS_TEMPORARY), ZE_SUCCESS);
    EXPECT_EQ(log.record->flags, unsigned{LOGINFO_TABLE});
    EXPECT_EQ(VES_loginfo_set_persistence(log.record, 0), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(VES_loginfo_set_persistence(log.record, 3), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(log.record->flags, unsigned{LOGINFO_TABLE});
}

TEST(Loginfo, BadTargetsLeaveTheRecordUnchanged)
{
    const std::string long_table(DB_NAME_FULL_TABLE_SIZE, 't');
    const std::string long_column(DB_NAME_COLUMN_SIZE, 'c');
    struct Case {
        int32_t kind;
        const char *table;
        const char *column;
        int32_t expected;
    } cases[] = {
        {0, "roads", "shape", ZE_NULL_POINTER},
        {3, "roads", "shape", ZE_NULL_POINTER},
        {1, nullptr, nullptr, ZE_NULL_POINTER},
        {2, "roads", nullptr, ZE_INVALID_ARGUMENT},
        {2, "roads", "", ZE_INVALID_ARGUMENT},
        {1, long_table.c_str(), nullptr, ZE_INVALID_ARGUMENT},
        {2, "roads", long_column.c_str(), ZE_INVALID_ARGUMENT},
    };
    for (const Case &c : cases) {
        Loginfo log;
        ASSERT_EQ(VES_loginfo_set_target_object(log.record, 2, "before", "geom"), ZE_SUCCESS);
        LOGFILE saved = *log.record;
        EXPECT_EQ(VES_loginfo_set_target_object(log.record, c.kind, c.table, c.column), c.expected)
            << "kind " << c.kind;
        EXPECT_EQ(std::memcmp(&saved, log.record, sizeof(LOGFILE)), 0) << "kind " << c.kind;
    }
}

TEST(Loginfo, NamesMustFitTheirField)
{
    Loginfo log;
    const std::string longest(DB_NAME_FULL_TABLE_SIZE - 1, 'n');
    ASSERT_EQ(VES_loginfo_set_name(log.record, longest.c_str()), ZE_SUCCESS);
    char name[DB_NAME_FULL_TABLE_SIZE];
    ASSERT_EQ(VES_loginfo_get_name(log.record, name), ZE_SUCCESS);
    EXPECT_EQ(name, longest);
    EXPECT_EQ(VES_loginfo_set_name(log.record, (longest + "x").c_str()), ZE_INVALID_ARGUMENT);
    ASSERT_EQ(VES_loginfo_set_name(log.record, "short"), ZE_SUCCESS);
    ASSERT_EQ(VES_loginfo_get_name(log.record, name), ZE_SUCCESS);
    EXPECT_STREQ(name, "short");
    // The shorter name leaves nothing of the longer one behind in the field.
    EXPECT_EQ(log.record->name[100], '\0');
}

TEST(Loginfo, UnterminatedFieldsAreReadWithinTheirBounds)
{
    Loginfo log;
    std::memset(log.record->name, 'a', sizeof(log.record->name));
    std::memset(log.record->table_name, 'b', sizeof(log.record->table_name));
    std::memset(log.record->spatial_column, 'c', sizeof(log.record->spatial_column));
    log.record->flags = LOGINFO_LAYER;
    std::vector<char> name(DB_NAME_FULL_TABLE_SIZE + 8, 'x');
    ASSERT_EQ(VES_loginfo_get_name(log.record, name.data()), ZE_SUCCESS);
    EXPECT_EQ(std::string(name.data()), std::string(DB_NAME_FULL_TABLE_SIZE - 1, 'a'));
    Target target = S_target(log.record);
    EXPECT_EQ(target.kind, LOGINFO_KIND_LAYER);
    EXPECT_EQ(std::string(target.table), std::string(DB_NAME_FULL_TABLE_SIZE - 1, 'b'));
    EXPECT_EQ(std::string(target.column), std::string(DB_NAME_COLUMN_SIZE - 1, 'c'));
}

TEST(Loginfo, CopyAndIdCarryTheWholeRecord)
{
    Loginfo source;
    Loginfo target;
    source.record->logfile_id = 42;
    source.record->registration.registration_id = 7;
    ASSERT_EQ(VES_loginfo_set_name(source.record, "gis.log42"), ZE_SUCCESS);
    ASSERT_EQ(ves_loginfo_copy(source.record, target.record), ZE_SUCCESS);
    EXPECT_EQ(std::memcmp(source.record, target.record, sizeof(LOGFILE)), 0);
    int32_t id = 0;
    ASSERT_EQ(VES_loginfo_get_id(target.record, &id), ZE_SUCCESS);
    EXPECT_EQ(id, 42);
}
