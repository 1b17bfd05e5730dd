// Record checks: each check's refusals in its documented order, and the copy
// of column definitions.
#include "base/util/ve_verify_internal.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <functional>
#include <string>

#include "base/util/zel_errors.h"
#include "mox/mox.h"

namespace
{

template <typename Record> struct Case {
    const char *what;
    std::function<void(Record &)> change;
    int32_t expected;
};

REGISTRATION S_registration()
{
    REGISTRATION r{};
    strcpy(r.table_name, "parcels");
    return r;
}

TEST(VerifyRegistration, Table)
{
    const Case<REGISTRATION> cases[] = {
        {"valid", [](REGISTRATION &) {}, 0},
        {"empty table name", [](REGISTRATION &r) { r.table_name[0] = '\0'; }, ZE_TABLE_NOT_FOUND},
        {"row-id flag, no column", [](REGISTRATION &r) { r.object_flags = REG_ROWID_COLUMN; },
         ZE_COLUMN_NOT_FOUND},
        {"row-id flag and column",
         [](REGISTRATION &r) {
             r.object_flags = REG_ROWID_COLUMN | REG_ROWID_ENGINE;
             strcpy(r.rowid_column, "objectid");
         },
         0},
        {"other flags, no column", [](REGISTRATION &r) { r.object_flags = REG_LAYER; }, 0},
        {"table checked first",
         [](REGISTRATION &r) {
             r.table_name[0] = '\0';
             r.object_flags = REG_ROWID_COLUMN;
         },
         ZE_TABLE_NOT_FOUND},
    };
    for (const auto &c : cases) {
        REGISTRATION r = S_registration();
        c.change(r);
        EXPECT_EQ(VES_verify_registration(&r), c.expected) << c.what;
    }
    EXPECT_EQ(VES_verify_registration(nullptr), ZE_NULL_POINTER);
}

TEST(VerifyVersion, Table)
{
    const Case<VERSION> cases[] = {
        {"valid", [](VERSION &) {}, 0},
        {"state 0", [](VERSION &v) { v.state_id = 0; }, 0},
        {"empty name", [](VERSION &v) { v.name[0] = '\0'; }, ZE_INVALID_VERSION_NAME},
        {"negative state", [](VERSION &v) { v.state_id = -1; }, ZE_INVALID_STATEID},
        {"name checked first",
         [](VERSION &v) {
             v.name[0] = '\0';
             v.state_id = -1;
         },
         ZE_INVALID_VERSION_NAME},
    };
    for (const auto &c : cases) {
        VERSION v{};
        strcpy(v.name, "DEFAULT");
        v.state_id = 5;
        c.change(v);
        EXPECT_EQ(VES_verify_version(&v), c.expected) << c.what;
    }
    EXPECT_EQ(VES_verify_version(nullptr), ZE_NULL_POINTER);
}

TEST(VerifyLocator, Table)
{
    static char name0[] = "street", name1[] = "zone", empty[] = "";
    static char value0[] = "Main", value1[] = "";
    const Case<LOCATOR> cases[] = {
        {"valid", [](LOCATOR &) {}, 0},
        {"empty value is allowed", [](LOCATOR &l) { l.property_values[1] = value1; }, 0},
        {"no properties",
         [](LOCATOR &l) {
             l.property_count = 0;
             l.property_names = l.property_values = nullptr;
         },
         0},
        {"empty name", [](LOCATOR &l) { l.name[0] = '\0'; }, ZE_INVALID_NAME},
        {"empty owner", [](LOCATOR &l) { l.owner[0] = '\0'; }, ZE_INVALID_OWNER},
        {"kind 3", [](LOCATOR &l) { l.type = 3; }, ZE_INVALID_LOCATOR_TYPE},
        {"kind -1", [](LOCATOR &l) { l.type = -1; }, ZE_INVALID_LOCATOR_TYPE},
        {"kind 2", [](LOCATOR &l) { l.type = VE_LOCATOR_DEFINED; }, 0},
        {"null property name", [](LOCATOR &l) { l.property_names[1] = nullptr; },
         ZE_INVALID_ARGUMENT},
        {"empty property name", [](LOCATOR &l) { l.property_names[0] = empty; },
         ZE_INVALID_ARGUMENT},
        {"null property value", [](LOCATOR &l) { l.property_values[0] = nullptr; },
         ZE_INVALID_ARGUMENT},
        {"names array missing", [](LOCATOR &l) { l.property_names = nullptr; },
         ZE_INVALID_ARGUMENT},
        {"negative count", [](LOCATOR &l) { l.property_count = -1; }, ZE_INVALID_ARGUMENT},
        {"order: name, owner, kind",
         [](LOCATOR &l) {
             l.owner[0] = '\0';
             l.type = 9;
         },
         ZE_INVALID_OWNER},
    };
    for (const auto &c : cases) {
        char *names[2] = {name0, name1};
        char *values[2] = {value0, value0};
        LOCATOR l{};
        strcpy(l.name, "addr");
        strcpy(l.owner, "gis");
        strcpy(l.category, "address");
        l.type = VE_LOCATOR_VALIDATED;
        l.property_count = 2;
        l.property_names = names;
        l.property_values = values;
        c.change(l);
        EXPECT_EQ(VES_verify_locator(&l), c.expected) << c.what;
    }
    EXPECT_EQ(VES_verify_locator(nullptr), ZE_NULL_POINTER);
}

TEST(VerifyLayer, Table)
{
    COORDREF *active = nullptr, *inactive = nullptr;
    ASSERT_EQ(MoxCoordRefCreate(&active), 0);
    ASSERT_EQ(MoxCoordRefCreate(&inactive), 0);
    active->xyunits = 1000.0;
    const Case<LAYER> cases[] = {
        {"valid", [](LAYER &) {}, 0},
        {"no reference", [](LAYER &l) { l.coordref = nullptr; }, 0},
        {"inactive reference", [inactive](LAYER &l) { l.coordref = inactive; },
         ZE_INVALID_COORDREF},
        {"empty table", [](LAYER &l) { l.table_name[0] = '\0'; }, ZE_TABLE_NOT_FOUND},
        {"empty column", [](LAYER &l) { l.spatial_column[0] = '\0'; }, ZE_COLUMN_NOT_FOUND},
        {"column before reference",
         [inactive](LAYER &l) {
             l.spatial_column[0] = '\0';
             l.coordref = inactive;
         },
         ZE_COLUMN_NOT_FOUND},
    };
    for (const auto &c : cases) {
        LAYER l{};
        strcpy(l.table_name, "roads");
        strcpy(l.spatial_column, "shape");
        l.coordref = active;
        c.change(l);
        EXPECT_EQ(ves_verify_layer(&l), c.expected) << c.what;
    }
    EXPECT_EQ(ves_verify_layer(nullptr), ZE_NULL_POINTER);
    MoxCoordRefFree(active);
    MoxCoordRefFree(inactive);
}

TEST(VerifyRasterBand, Table)
{
    static int stats_stand_in, colormap_stand_in;
    auto *stats = reinterpret_cast<struct VE_RASTERBAND_STATS *>(&stats_stand_in);
    const Case<RASTERBAND> cases[] = {
        {"valid, nothing checked", [](RASTERBAND &) {}, 0},
        {"column id 0", [](RASTERBAND &b) { b.rastercolumn_id = 0; }, ZE_INVALID_RASTERCOLUMN_ID},
        {"stats flag without stats, unchecked",
         [](RASTERBAND &b) { b.band_flags = RASTERBAND_HAS_STATISTICS; }, 0},
        {"stats flag without stats",
         [](RASTERBAND &b) {
             b.band_flags = RASTERBAND_HAS_STATISTICS;
             b.check_mask = RASTERBAND_CHECK_STATISTICS;
         },
         ZE_INVALID_RASTERBAND},
        {"stats without flag",
         [stats](RASTERBAND &b) {
             b.statistics = stats;
             b.check_mask = RASTERBAND_CHECK_STATISTICS;
         },
         ZE_INVALID_RASTERBAND},
        {"stats with flag",
         [stats](RASTERBAND &b) {
             b.statistics = stats;
             b.band_flags = RASTERBAND_HAS_STATISTICS;
             b.check_mask = RASTERBAND_CHECK_STATISTICS | RASTERBAND_CHECK_COLORMAP;
         },
         0},
        {"colormap without flag",
         [](RASTERBAND &b) {
             b.colormap = &colormap_stand_in;
             b.check_mask = RASTERBAND_CHECK_COLORMAP;
         },
         ZE_INVALID_RASTERBAND},
        {"colormap flag without colormap",
         [](RASTERBAND &b) {
             b.band_flags = RASTERBAND_HAS_COLORMAP;
             b.check_mask = RASTERBAND_CHECK_COLORMAP;
         },
         ZE_INVALID_RASTERBAND},
        {"colormap with flag",
         [](RASTERBAND &b) {
             b.colormap = &colormap_stand_in;
             b.band_flags = RASTERBAND_HAS_COLORMAP;
             b.check_mask = RASTERBAND_CHECK_COLORMAP;
         },
         0},
    };
    for (const auto &c : cases) {
        RASTERBAND b{};
        b.rastercolumn_id = 4;
        c.change(b);
        EXPECT_EQ(ves_verify_rasterband(&b), c.expected) << c.what;
    }
    EXPECT_EQ(ves_verify_rasterband(nullptr), ZE_NULL_POINTER);
}

TEST(VerifyColumnDefs, Table)
{
    const Case<DB_COLUMN_DEF> cases[] = {
        {"valid", [](DB_COLUMN_DEF &) {}, 0},
        {"shape type", [](DB_COLUMN_DEF &d) { d.type = VE_SHAPE; }, 0},
        {"31 characters", [](DB_COLUMN_DEF &d) { memset(d.name, 'c', 31); }, 0},
        {"empty name", [](DB_COLUMN_DEF &d) { d.name[0] = '\0'; }, ZE_INVALID_COLUMN_DEF},
        {"unterminated name", [](DB_COLUMN_DEF &d) { memset(d.name, 'c', sizeof d.name); },
         ZE_INVALID_COLUMN_DEF},
        {"negative size", [](DB_COLUMN_DEF &d) { d.size = -1; }, ZE_INVALID_COLUMN_DEF},
        {"type 0", [](DB_COLUMN_DEF &d) { d.type = 0; }, ZE_INVALID_COLUMN_TYPE},
        {"raster type", [](DB_COLUMN_DEF &d) { d.type = VE_RASTER; }, ZE_INVALID_COLUMN_TYPE},
        {"ST type", [](DB_COLUMN_DEF &d) { d.type = VE_POINT; }, ZE_INVALID_COLUMN_TYPE},
        {"name before type",
         [](DB_COLUMN_DEF &d) {
             d.size = -4;
             d.type = 99;
         },
         ZE_INVALID_COLUMN_DEF},
    };
    for (const auto &c : cases) {
        DB_COLUMN_DEF defs[2] = {};
        for (DB_COLUMN_DEF &d : defs) {
            strcpy(d.name, "fid");
            d.type = VE_INTEGER;
            d.size = 10;
        }
        c.change(defs[1]);
        EXPECT_EQ(ves_verify_column_defs(2, defs), c.expected) << c.what;
    }
    DB_COLUMN_DEF one{};
    EXPECT_EQ(ves_verify_column_defs(0, &one), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(ves_verify_column_defs(-3, &one), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(ves_verify_column_defs(1, nullptr), ZE_NULL_POINTER);
}

TEST(CopyColumnDefs, CopiesAndCounts)
{
    DB_COLUMN_DEF defs[3] = {};
    for (int i = 0; i < 3; i++) {
        snprintf(defs[i].name, sizeof defs[i].name, "col%d", i);
        defs[i].type = VE_SMALLINT + i;
        defs[i].size = 100 + i;
        defs[i].decimal_digits = static_cast<int16_t>(i);
        defs[i].nulls_allowed = i % 2;
        defs[i].rowid_kind = DB_ROWID_NONE;
    }
    DB_COLUMN_DEF *copy = nullptr;
    int16_t count = 0;
    ASSERT_EQ(ves_copy_column_defs(3, defs, &copy, &count), 0);
    EXPECT_EQ(count, 3);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, defs);
    EXPECT_EQ(memcmp(copy, defs, sizeof defs), 0);
    free(copy);

    EXPECT_EQ(ves_copy_column_defs(0, defs, &copy, &count), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(ves_copy_column_defs(1, nullptr, &copy, &count), ZE_NULL_POINTER);
    EXPECT_EQ(ves_copy_column_defs(1, defs, nullptr, &count), ZE_NULL_POINTER);
    EXPECT_EQ(ves_copy_column_defs(1, defs, &copy, nullptr), ZE_NULL_POINTER);
}

} // namespace
