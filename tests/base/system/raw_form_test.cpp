// The raw forms over a byte transport that keeps each write as a piece of its
// own and lets a read take from one piece only, as the memory transports do:
// every writer's pieces must be read back by its reader piece by piece, and
// texts longer than their wire room go as one terminated piece. A feature's
// envelope keeps its four sides.
#include "base/system/raw_form_internal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "base/util/ve_anno.h"
#include "base/util/ve_compress.h"
#include "base/util/zel_errors.h"
#include "mox/mox.h"

namespace
{

// Writes are kept as pieces; a read takes from the current piece only and
// fails when it asks for more than that piece still holds.
struct Pieces {
    std::deque<std::vector<uint8_t>> pieces;
    size_t at = 0;

    static int32_t write(void *ctx, const void *src, size_t n)
    {
        auto *p = static_cast<Pieces *>(ctx);
        const auto *b = static_cast<const uint8_t *>(src);
        p->pieces.emplace_back(b, b + n);
        return 0;
    }
    static int32_t read(void *ctx, void *dst, size_t n)
    {
        auto *p = static_cast<Pieces *>(ctx);
        if (p->pieces.empty() || p->pieces.front().size() - p->at < n)
            return -1;
        std::memcpy(dst, p->pieces.front().data() + p->at, n);
        p->at += n;
        if (p->at == p->pieces.front().size()) {
            p->pieces.pop_front();
            p->at = 0;
        }
        return 0;
    }
    RAW_IO io()
    {
        RAW_IO r = {};
        r.ctx = this;
        r.read = read;
        r.write = write;
        return r;
    }
};

COORDREF *S_coordref(const char *text)
{
    COORDREF *c = nullptr;
    EXPECT_EQ(MoxCoordRefCreate(&c), 0);
    c->xyunits = 1000;
    c->srtext = text != nullptr ? strdup(text) : nullptr;
    return c;
}

} // namespace

TEST(RawFormPieces, EveryReaderTakesItsWritersPieces)
{
    COORDREF *ref = S_coordref("a reference text");
    LAYER layer = {};
    layer.layer_id = 3;
    layer.coordref = ref;

    POINT points[3] = {{1, 2}, {3, 4}, {5, 6}};
    int32_t z[3] = {7, 8, 9};
    FEATURE_STRUCT shape = {};
    shape.num_points = 3;
    shape.allocated_points = 3;
    shape.points = points;
    shape.z_values = z;
    shape.coordref = ref;
    VE_FILTER filter = {};
    filter.filter_type = VE_SHAPE_FILTER;
    filter.shape = &shape;
    filter.search_method = SM_CBM;
    char relation[] = "T*F**F***";
    filter.relation = relation;

    FEATURE_STRUCT compressed = {};
    compressed.num_points = 3;
    compressed.allocated_points = 3;
    compressed.points = points;
    ASSERT_EQ(VES_anno_create(&compressed.anno), 0);
    std::strcpy(compressed.anno->text, "anno");
    ASSERT_EQ(VES_feature_compress(&compressed, VE_SHAPE_MASK_ANNO), 0);

    uint8_t lineage[3] = {2, 0x01, 0x02};
    STATE state = {};
    state.lineage = lineage;

    std::string long_name(40, 'n');
    char *names[] = {long_name.data()};
    char value[] = "v";
    char *values[] = {value};
    LOCATOR locator = {};
    locator.property_count = 1;
    locator.property_names = names;
    locator.property_values = values;

    char t[] = "roads", col[] = "a";
    char *tables[] = {t}, *columns[] = {col};
    VE_SQL_CONSTRUCT construct = {1, tables, nullptr};
    VE_QUERYINFO query = {0, 1, columns, &construct, 4, nullptr, 0, nullptr, nullptr, 0};

    int32_t order[] = {1};
    DB_INDEX_DEF index = {1, columns, "ix", 0, order};
    int16_t shorts[2] = {1, 2};
    RASTERCOLUMN column = {};
    column.coordref = ref;

    struct Case {
        const char *what;
        std::function<int32_t(RAW_IO *)> write, read;
    } cases[] = {
        {"layer", [&](RAW_IO *io) { return raw_write_layer(io, &layer, 0); },
         [&](RAW_IO *io) {
             LAYER got = {};
             int32_t rc = raw_read_layer(io, &got, 0);
             MoxCoordRefFree(got.coordref);
             return rc;
         }},
        {"filters", [&](RAW_IO *io) { return raw_write_filter_array(io, 1, &filter, 0); },
         [&](RAW_IO *io) {
             int16_t n = 0;
             VE_FILTER *got = nullptr;
             int32_t rc = raw_read_filter_array(io, &n, &got, 0);
             raw_filter_array_free(n, got);
             return rc;
         }},
        {"compressed feature",
         [&](RAW_IO *io) { return raw_write_compressed_feature(io, &compressed); },
         [&](RAW_IO *io) {
             FEATURE_STRUCT got = {};
             int32_t rc = raw_read_compressed_feature(io, &got);
             VES_comp_feature_free(&got);
             return rc;
         }},
        {"state", [&](RAW_IO *io) { return raw_write_state_list(io, &state, 1); },
         [&](RAW_IO *io) {
             STATE got = {};
             int32_t n = 0;
             int32_t rc = raw_read_state_list(io, &got, 1, &n);
             std::free(got.lineage);
             return rc;
         }},
        {"locator", [&](RAW_IO *io) { return raw_write_locator(io, &locator); },
         [&](RAW_IO *io) {
             LOCATOR got = {};
             int32_t rc = raw_read_locator(io, &got);
             if (rc == 0) {
                 EXPECT_EQ(std::string(got.property_names[0]), std::string(32, 'n'));
             }
             std::free(got.property_names);
             std::free(got.property_values);
             return rc;
         }},
        {"query", [&](RAW_IO *io) { return raw_write_queryinfo(io, &query); },
         [&](RAW_IO *io) {
             VE_QUERYINFO got = {};
             int32_t rc = raw_read_queryinfo(io, &got);
             raw_queryinfo_clear(&got);
             return rc;
         }},
        {"index", [&](RAW_IO *io) { return raw_write_index_def(io, 1, &index); },
         [&](RAW_IO *io) {
             int16_t n = 0;
             DB_INDEX_DEF *got = nullptr;
             int32_t rc = raw_read_index_def(io, &n, &got);
             raw_index_def_free(n, got);
             return rc;
         }},
        {"raster column", [&](RAW_IO *io) { return raw_write_rastercolumn(io, &column); },
         [&](RAW_IO *io) {
             RASTERCOLUMN got = {};
             int32_t rc = raw_read_rastercolumn(io, &got);
             MoxCoordRefFree(got.coordref);
             return rc;
         }},
        {"short array and blob",
         [&](RAW_IO *io) {
             int32_t rc = raw_write_short_array(io, 2, shorts);
             return rc != 0 ? rc : raw_write_blob_seg(io, "xyz", 3, 1);
         },
         [&](RAW_IO *io) {
             int16_t n, got[2];
             char blob[3];
             int32_t length, last;
             int32_t rc = raw_read_short_array(io, &n, got, 2);
             return rc != 0 ? rc : raw_read_blob_seg(io, blob, 3, &length, &last);
         }},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        Pieces pieces;
        RAW_IO out = pieces.io(), in = pieces.io();
        ASSERT_EQ(c.write(&out), ZE_SUCCESS);
        EXPECT_EQ(c.read(&in), ZE_SUCCESS);
        EXPECT_TRUE(pieces.pieces.empty());
        EXPECT_EQ(in.moved, out.moved);
    }
    compressed.points = nullptr; // the test's own array
    VES_comp_feature_free(&compressed);
    MoxCoordRefFree(ref);
}

// A feature's envelope keeps each of its four sides through the raw form,
// whichever way the sides differ.
TEST(RawFormFeature, EachEnvelopeSideSurvivesTheRoundTrip)
{
    const ENVELOPE boxes[] = {
        {1, 2, 3, 4},
        {-40, -30, -20, -10},
        {INT32_MIN, -1, 0, INT32_MAX},
        {70000, 65536, 16777216, 2000000000},
    };
    for (const ENVELOPE &box : boxes) {
        SCOPED_TRACE(box.minx);
        POINT points[2] = {{box.minx, box.miny}, {box.maxx, box.maxy}};
        FEATURE_STRUCT sent = {};
        sent.feature_id = 12;
        sent.entity_type = VE_ENTITY_LINE;
        sent.num_points = 2;
        sent.allocated_points = 2;
        sent.points = points;
        sent.envelope = box;
        Pieces wire;
        RAW_IO io = wire.io();
        ASSERT_EQ(raw_writef(&io, &sent), 0);
        FEATURE_STRUCT got = {};
        ASSERT_EQ(raw_readf(&io, &got, 1), 0);
        EXPECT_EQ(got.envelope.minx, box.minx);
        EXPECT_EQ(got.envelope.miny, box.miny);
        EXPECT_EQ(got.envelope.maxx, box.maxx);
        EXPECT_EQ(got.envelope.maxy, box.maxy);
        EXPECT_EQ(got.feature_id, 12);
        EXPECT_TRUE(wire.pieces.empty());
        std::free(got.points);
        std::free(got.z_values);
        std::free(got.measures);
    }
}
