// Test fixture of the layer tests: an instance opened through the scripted
// CLI as "bob" on database "gis" with a layer cache and the host-callback
// double for change stamps, and the catalogue rows of layers as the layer
// SELECT returns them, with the exact texts of that SELECT.
#pragma once

#include <stdlib.h>
#include <string.h>

#include <optional>
#include <string>
#include <vector>

#include "base/util/ve_codepage_internal.h"
#include "base/util/ve_layer.h"
#include "db/catalog/db_layer_cache_internal.h"
#include "db/core/db_instance_internal.h"
#include "mox/mox.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/host_double.h"

namespace layer_test
{

// The select list of every layer read, as the catalogue is asked for it.
inline const std::string kSelect =
    "SELECT layer_id, ly.description, minx, miny, maxx, maxy, eflags, layer_mask, database_name, "
    "table_name, owner, spatial_column, cdate, layer_config, optimal_array_size, stats_date, "
    "minimum_id, base_layer_id, falsex, falsey, xyunits, falsez,zunits, falsem, munits, srtext, "
    "ly.srid";
inline const std::string kFrom = " FROM zel:zel.Layers ly, zel:zel.spatial_references sr";

inline std::string by_id(int32_t id)
{
    return kSelect + kFrom + " WHERE ly.layer_id = " + std::to_string(id) +
           " AND ly.srid = sr.srid";
}

// One LAYERS row joined with its SPATIAL_REFERENCES row; an empty optional
// is a NULL.
struct LayerRow {
    int32_t id = 7;
    std::optional<std::string> description = "Roads of the county";
    double minx = 1, miny = 2, maxx = 300, maxy = 400;
    uint32_t eflags = LAYER_SPATIAL | LAYER_LINE;
    uint32_t layer_mask = 0;
    std::optional<std::string> database = "gis";
    std::string table = "roads";
    std::string owner = "bob";
    std::string column = "shape";
    int32_t cdate = 1000;
    std::optional<std::string> config = "DEFAULTS";
    std::optional<int32_t> optimal_array_size = 200;
    std::optional<int32_t> stats_date = 1500;
    std::optional<int32_t> minimum_id = 5;
    int32_t base_layer_id = 0;
    double falsex = -400, falsey = -300, xyunits = 1000, falsez = -10, zunits = 4, falsem = 0,
           munits = 8;
    std::string srtext = "PROJCS[\"local\"]";
    int32_t srid = 3;

    scli::Row row() const
    {
        auto text = [](const std::optional<std::string> &v) {
            return v ? scli::varchar(*v) : scli::null();
        };
        auto number = [](const std::optional<int32_t> &v) {
            return v ? scli::i32(*v) : scli::null();
        };
        return {scli::i32(id),
                text(description),
                scli::f64(minx),
                scli::f64(miny),
                scli::f64(maxx),
                scli::f64(maxy),
                scli::i32(static_cast<int32_t>(eflags)),
                scli::i32(static_cast<int32_t>(layer_mask)),
                text(database),
                scli::varchar(table),
                scli::varchar(owner),
                scli::varchar(column),
                scli::i32(cdate),
                text(config),
                number(optimal_array_size),
                number(stats_date),
                number(minimum_id),
                scli::i32(base_layer_id),
                scli::f64(falsex),
                scli::f64(falsey),
                scli::f64(xyunits),
                scli::f64(falsez),
                scli::f64(zunits),
                scli::f64(falsem),
                scli::f64(munits),
                scli::chr(srtext, 2048),
                scli::i32(srid)};
    }
};

// The 27 result columns as the catalogue describes them.
inline std::vector<scli::Column> layer_columns()
{
    std::vector<scli::Column> c;
    auto add = [&](const char *name, SQLSMALLINT type, SQLULEN size = 0) {
        c.push_back(scli::Column(name, type, size));
    };
    add("layer_id", SQL_INTEGER);
    add("description", SQL_VARCHAR, 65);
    for (const char *n : {"minx", "miny", "maxx", "maxy"})
        add(n, SQL_DOUBLE);
    add("eflags", SQL_INTEGER);
    add("layer_mask", SQL_INTEGER);
    add("database_name", SQL_VARCHAR, 32);
    add("table_name", SQL_VARCHAR, 128);
    add("owner", SQL_VARCHAR, 32);
    add("spatial_column", SQL_VARCHAR, 128);
    add("cdate", SQL_INTEGER);
    add("layer_config", SQL_VARCHAR, 32);
    for (const char *n : {"optimal_array_size", "stats_date", "minimum_id", "base_layer_id"})
        add(n, SQL_INTEGER);
    for (const char *n : {"falsex", "falsey", "xyunits", "falsez", "zunits", "falsem", "munits"})
        add(n, SQL_DOUBLE);
    add("srtext", SQL_CHAR, 2048);
    add("srid", SQL_INTEGER);
    return c;
}

// Scripts one read of sql answering the rows given (none: no row).
inline scli::Answer &answer_layers(const std::string &sql, const std::vector<LayerRow> &rows)
{
    scli::Answer &a = scli::on_sql(sql).columns(layer_columns());
    for (const LayerRow &r : rows)
        a.row(r.row());
    return a;
}

// A caller's layer record with its own coordinate reference and text buffer.
struct OwnLayer {
    OwnLayer()
    {
        memset(&layer, 0, sizeof(layer));
        memset(&coordref, 0, sizeof(coordref));
        layer.coordref = &coordref;
        coordref.srtext = text;
        text[0] = '\0';
    }
    LAYER layer;
    COORDREF coordref;
    char text[LAYER_SRTEXT_SIZE];
};

// The instance is opened as "bob" on database "gis" with a layer cache of
// cache_size_ slots and the stamp double; Executed() lists the SQL since.
class LayerFixture : public Unconnected
{
  protected:
    void SetUp() override
    {
        Unconnected::SetUp();
        scli::set_info_text(SQL_DATABASE_NAME, "gis");
        latin_.native = {VE_CODEPAGE_1252, VE_CODEPAGE_SINGLE_BYTE, "1252"};
        latin_.other = latin_.native;
        memset(&config_, 0, sizeof(config_));
        config_.codepage = &latin_;
        config_.layer_cache_size = cache_size_;
        if (with_host_)
            host_.install(&config_);
        ASSERT_EQ(DB_instance_open("", "bob", "pw", &config_, &instance_), 0);
        MarkNow();
    }

    void TearDown() override
    {
        if (instance_ != nullptr)
            DB_instance_close(instance_);
        instance_ = nullptr;
        Unconnected::TearDown();
    }

    DB_LAYER_CACHE *cache() const
    {
        return db_layer_cache_get();
    }

    int32_t cache_size_ = 5;
    bool with_host_ = true;
    VE_CODEPAGE latin_{};
    DB_INSTANCE_OPEN_CONFIG config_;
    DB_INSTANCE *instance_ = nullptr;
    scli::HostDouble host_;
};

} // namespace layer_test
