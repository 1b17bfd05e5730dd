// Test fixture of the write-stream tests: an instance opened as "bob" on
// database "gis" with a layer cache, the host double answering
// registrations and allocating ids, the log tables in the scripted CLI's log
// store, and one stream. Layers are cached from their catalogue rows
// (cache_layer); every srid look-up answers srid 2.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/ve_compress.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_registration.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_log.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_stream_insert.h"
#include "mox/mox.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/support/scli_log_store.h"

namespace write_test
{

using Strings = std::vector<std::string>;

inline REGISTRATION registration_of(const char *table, int32_t id, uint32_t flags,
                                    const char *rowid)
{
    REGISTRATION r{};
    memcpy(r.tag, REGISTRATION_TAG, sizeof(r.tag));
    r.registration_id = id;
    strcpy(r.database_name, "gis");
    strcpy(r.owner, "bob");
    snprintf(r.table_name, sizeof(r.table_name), "%s", table);
    snprintf(r.rowid_column, sizeof(r.rowid_column), "%s", rowid);
    r.object_flags = flags;
    return r;
}

inline DB_COLUMN_DEF column_def(const char *name, int32_t type, int32_t size = 0)
{
    DB_COLUMN_DEF c{};
    snprintf(c.name, sizeof(c.name), "%s", name);
    c.type = type;
    c.size = size;
    c.nulls_allowed = 1;
    c.rowid_kind = DB_ROWID_NONE;
    return c;
}

// A compressed shape: points in system units, its envelope set.
struct Shape {
    FEATURE_STRUCT feature{};
    Shape(uint16_t entity, std::vector<POINT> points)
    {
        points_ = std::move(points);
        feature.entity_type = entity;
        feature.num_points = static_cast<int32_t>(points_.size());
        feature.points = points_.data();
        feature.envelope = {points_[0].x, points_[0].y, points_[0].x, points_[0].y};
        for (const POINT &p : points_) {
            feature.envelope.minx = std::min(feature.envelope.minx, p.x);
            feature.envelope.miny = std::min(feature.envelope.miny, p.y);
            feature.envelope.maxx = std::max(feature.envelope.maxx, p.x);
            feature.envelope.maxy = std::max(feature.envelope.maxy, p.y);
        }
        EXPECT_EQ(VES_feature_compress(&feature, 0), 0);
        feature.points = nullptr; // the compressed bytes are what travels
        feature.num_points = static_cast<int32_t>(points_.size());
    }
    ~Shape()
    {
        VES_comp_feature_free(&feature);
    }
    Shape(const Shape &) = delete;
    Shape &operator=(const Shape &) = delete;
    // The compressed bytes.
    std::string bytes() const
    {
        return std::string(reinterpret_cast<const char *>(feature.compressed),
                           static_cast<size_t>(VES_get_compressed_buffer_size(&feature)));
    }
    std::vector<POINT> points_;
};

class WriteFixture : public Unconnected
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
        config_.layer_cache_size = 5;
        host_.install_all(&config_);
        host_.install_ids(&config_);
        ASSERT_EQ(DB_instance_open("", "bob", "pw", &config_, &instance_), 0);
        store_ = &scli::log_store_install();
        scli::Answer &srid =
            scli::on_sql_like("select srid from .*").columns({{"srid", SQL_INTEGER}}).repeat();
        if (srid_found_)
            srid.row({scli::i32(2)});
        DB_STREAM_PARAMS params{};
        ASSERT_EQ(DB_stream_init(&stream_, 0, "bob", params), 0);
        MarkNow();
    }
    void TearDown() override
    {
        DB_stream_free(stream_);
        free(stream_);
        DB_log_end(instance_);
        if (instance_ != nullptr)
            DB_instance_close(instance_);
        Unconnected::TearDown();
    }

    // Caches the layer of the row and registers its table as a layer.
    LAYER *cache_layer(layer_test::LayerRow row, uint32_t extra_flags = 0)
    {
        layer_test::answer_layers(layer_test::by_id(row.id), {row});
        LAYER *layer = nullptr;
        EXPECT_EQ(DB_layer_get_info(instance_, nullptr, row.id, &layer), 0);
        host_.add_registration(registration_of(
            row.table.c_str(), row.id, REG_LAYER | REG_ROWID_COLUMN | extra_flags, "objectid"));
        return layer;
    }

    int32_t init_insert(const char *table, const REGISTRATION &registration, int32_t state,
                        const Strings &columns)
    {
        names_ = columns;
        name_ptrs_.clear();
        for (const std::string &s : names_)
            name_ptrs_.push_back(s.c_str());
        return DB_stream_init_insert_table(stream_, table, &registration, state,
                                           static_cast<int16_t>(name_ptrs_.size()),
                                           name_ptrs_.data());
    }

    // The texts prepared since the mark, in order, but the catalogue reads
    // (layers, raster columns, spatial references) behind the set-ups.
    Strings Prepared() const
    {
        Strings out;
        for (const scli::Call &c : Journal())
            if (c.fn == "SQLPrepare" && c.sql.find("zel:zel.") == std::string::npos)
                out.push_back(c.sql);
        return out;
    }
    // The bound values of every SQLExecute of sql since the mark.
    std::vector<Strings> Params(const std::string &sql) const
    {
        std::vector<Strings> out;
        for (const scli::Call &c : Journal())
            if (c.fn == "SQLExecute" && c.sql == sql && !c.params.empty())
                out.push_back(c.params[0]);
        return out;
    }

    layer_test::LayerRow polygons() const
    {
        layer_test::LayerRow row;
        row.id = 12;
        row.table = "t";
        row.column = "shape";
        row.eflags = LAYER_AREA;
        return row;
    }

    bool srid_found_ = true; // false: no spatial reference equals a layer's
    VE_CODEPAGE latin_{};
    DB_INSTANCE_OPEN_CONFIG config_;
    DB_INSTANCE *instance_ = nullptr;
    scli::HostDouble host_;
    scli::LogStore *store_ = nullptr;
    DB_STREAM *stream_ = nullptr;
    Strings names_;
    std::vector<const char *> name_ptrs_;
};

} // namespace write_test
