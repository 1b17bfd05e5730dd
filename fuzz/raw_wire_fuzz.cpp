// Every raw reader of the socket transport over arbitrary bytes. Input: the
// reader's number (first byte, taken modulo the readers), a link byte (bits
// 0-6 the most bytes one receive hands out, 0 for no limit; bit 7 a read
// area of 64 bytes instead of 8192, so pieces bypass it), then the bytes the
// peer sends. The reader runs until it fails or the bytes run out; what it
// allocates is freed after every record.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/system/so_channel_internal.h"
#include "base/util/ve_anno.h"
#include "base/util/ve_compress.h"
#include "base/util/ve_raster_internal.h"
#include "fuzz/fuzz_quiet.h"
#include "mox/mox.h"

namespace
{

struct S_input {
    const uint8_t *data;
    size_t size, at, chunk;
};

ssize_t S_recv(void *ctx, void *dst, size_t n)
{
    auto *in = static_cast<S_input *>(ctx);
    size_t give = in->size - in->at;
    if (give > n)
        give = n;
    if (in->chunk != 0 && give > in->chunk)
        give = in->chunk;
    std::memcpy(dst, in->data + in->at, give);
    in->at += give;
    return static_cast<ssize_t>(give);
}

ssize_t S_send(void *, const void *, size_t n)
{
    return static_cast<ssize_t>(n);
}

int S_poll(void *ctx)
{
    auto *in = static_cast<S_input *>(ctx);
    return in->at < in->size ? 1 : 0;
}

void S_free_coordref(COORDREF *&c)
{
    MoxCoordRefFree(c);
    c = nullptr;
}

void S_free_feature(FEATURE_STRUCT *f)
{
    S_free_coordref(f->coordref);
    VES_comp_feature_free(f);
}

using Reader = int32_t (*)(SO_CHANNEL *);

const Reader S_readers[] = {
    [](SO_CHANNEL *so) {
        int32_t v;
        return SO_read_long(so, &v);
    },
    [](SO_CHANNEL *so) {
        float v;
        double d;
        int16_t h;
        uint32_t u;
        int32_t rc = SO_read_float(so, &v);
        if (rc == 0)
            rc = SO_read_lfloat(so, &d);
        if (rc == 0)
            rc = SO_read_short(so, &h);
        return rc == 0 ? SO_read_ulong(so, &u) : rc;
    },
    [](SO_CHANNEL *so) {
        int32_t x, y, z;
        ENVELOPE e;
        VE_DATE d;
        int32_t rc = SO_read_pt3d(so, &x, &y, &z);
        if (rc == 0)
            rc = SO_read_envp(so, &e);
        return rc == 0 ? SO_read_date(so, &d) : rc;
    },
    [](SO_CHANNEL *so) {
        int32_t ids[16];
        double values[8];
        uint8_t block[32];
        int32_t rc = SO_read_fid_array(so, ids, 16);
        if (rc == 0)
            rc = SO_read_lfloat_array(so, values, 8);
        return rc == 0 ? SO_read_block(so, block, 32) : rc;
    },
    [](SO_CHANNEL *so) {
        int16_t count, values[8];
        return SO_read_short_array(so, &count, values, 8);
    },
    [](SO_CHANNEL *so) {
        char text[32];
        return SO_read_string(so, text, sizeof text);
    },
    [](SO_CHANNEL *so) {
        char *text = nullptr;
        int32_t rc = SO_read_dynamic_string(so, &text);
        std::free(text);
        return rc;
    },
    [](SO_CHANNEL *so) {
        uint8_t buffer[64];
        int32_t length, last;
        return SO_read_blob_seg(so, buffer, sizeof buffer, &length, &last);
    },
    [](SO_CHANNEL *so) {
        RELEASE r;
        int32_t rc = SO_read_release(so, &r);
        return rc == 0 ? SO_read_release_old(so, &r) : rc;
    },
    [](SO_CHANNEL *so) {
        FEATURE_STRUCT f = {};
        int32_t rc = SO_read_compressed_feature(so, &f);
        if (rc == 0)
            rc = SO_read_compressed_feature(so, &f); // into the buffer just grown
        S_free_feature(&f);
        return rc;
    },
    [](SO_CHANNEL *so) {
        FEATURE_STRUCT f = {};
        VES_anno_create(&f.anno);
        int32_t rc = SO_read_compressed_feature(so, &f);
        S_free_feature(&f);
        return rc;
    },
    [](SO_CHANNEL *so) {
        FEATURE_STRUCT f = {};
        int32_t rc = SO_readf(so, &f, 1);
        S_free_feature(&f);
        return rc;
    },
    [](SO_CHANNEL *so) {
        POINT points[4];
        int32_t z[4], m[4];
        FEATURE_STRUCT f = {};
        f.points = points;
        f.z_values = z;
        f.measures = m;
        f.allocated_points = 4;
        return SO_readf(so, &f, 0);
    },
    [](SO_CHANNEL *so) {
        COORDREF *c = nullptr;
        MoxCoordRefCreate(&c);
        int32_t rc = SO_read_coordref(so, c);
        if (rc == 0)
            rc = SO_read_coordref_old(so, c);
        S_free_coordref(c);
        return rc;
    },
    [](SO_CHANNEL *so) {
        LAYER layer = {};
        int32_t rc = SO_read_layer(so, &layer);
        if (rc == 0)
            rc = SO_read_layer_old(so, &layer);
        S_free_coordref(layer.coordref);
        return rc;
    },
    [](SO_CHANNEL *so) {
        LAYER layers[3] = {};
        int32_t count;
        int32_t rc = SO_read_layer_list(so, layers, 3, &count);
        if (rc == 0)
            rc = SO_read_layer_list_old(so, layers, 3, &count);
        for (LAYER &l : layers)
            S_free_coordref(l.coordref);
        return rc;
    },
    [](SO_CHANNEL *so) {
        VE_SQL_CONSTRUCT c = {};
        int32_t rc = SO_read_construct(so, &c);
        raw_construct_clear(&c);
        return rc;
    },
    [](SO_CHANNEL *so) {
        int16_t count = 0;
        DB_COLUMN_DEF *defs = nullptr;
        int32_t rc = SO_read_column_def(so, &count, &defs);
        std::free(defs);
        defs = nullptr;
        if (rc == 0)
            rc = SO_read_column_def_old(so, &count, &defs);
        std::free(defs);
        return rc;
    },
    [](SO_CHANNEL *so) {
        int16_t count = 0;
        VE_FILTER *filters = nullptr;
        int32_t rc = SO_read_filter_array(so, &count, &filters);
        raw_filter_array_free(count, filters);
        return rc;
    },
    [](SO_CHANNEL *so) {
        int16_t count = 0;
        VE_FILTER *filters = nullptr;
        int32_t rc = SO_read_filter_array_old(so, &count, &filters);
        raw_filter_array_free(count, filters);
        return rc;
    },
    [](SO_CHANNEL *so) {
        VE_QUERYINFO q = {};
        int32_t rc = SO_read_queryinfo(so, &q);
        raw_queryinfo_clear(&q);
        return rc;
    },
    [](SO_CHANNEL *so) {
        VE_SPIDX_STATS s;
        VE_LAYER_STATS l;
        int32_t rc = SO_read_ve_si_stats(so, &s);
        return rc == 0 ? SO_read_ve_layer_stats(so, &l) : rc;
    },
    [](SO_CHANNEL *so) {
        VE_LAYER_LOCKS layer_locks[3];
        VE_TABLE_LOCK table_locks[3];
        VE_VERSION_LOCK version_locks[3];
        int32_t count;
        int32_t rc = SO_read_ve_layer_locks_list(so, layer_locks, 3, &count);
        if (rc == 0)
            rc = SO_read_ve_table_lock_list(so, table_locks, 3, &count);
        return rc == 0 ? SO_read_ve_version_lock_list(so, version_locks, 3, &count) : rc;
    },
    [](SO_CHANNEL *so) {
        VE_OBJECT_LOCK locks[3];
        int32_t count;
        int32_t rc = SO_read_object_lock(so, &locks[0]);
        return rc == 0 ? SO_read_object_lock_list(so, locks, 3, &count) : rc;
    },
    [](SO_CHANNEL *so) {
        REGISTRATION r[3];
        int32_t count;
        int32_t rc = SO_read_registration(so, &r[0]);
        return rc == 0 ? SO_read_registration_list(so, r, 3, &count) : rc;
    },
    [](SO_CHANNEL *so) {
        METADATA m[3];
        int32_t count;
        int32_t rc = SO_read_metadata(so, &m[0]);
        return rc == 0 ? SO_read_metadata_list(so, m, 3, &count) : rc;
    },
    [](SO_CHANNEL *so) {
        RASTERCOLUMN columns[3] = {};
        int32_t count;
        MoxCoordRefCreate(&columns[1].coordref);
        int32_t rc = SO_read_rastercolumn(so, &columns[0]);
        if (rc == 0)
            rc = SO_read_rastercolumn_list(so, columns, 3, &count);
        for (RASTERCOLUMN &c : columns)
            S_free_coordref(c.coordref);
        return rc;
    },
    [](SO_CHANNEL *so) {
        RASTERBAND bands[3];
        RASTER raster;
        RASTERATTR attr = {};
        int32_t count;
        int32_t rc = SO_read_rasterband(so, &bands[0]);
        if (rc == 0)
            rc = SO_read_rasterband_list(so, bands, 3, &count);
        if (rc == 0)
            rc = SO_read_raster(so, &raster);
        return rc == 0 ? SO_read_rasterattr(so, &attr) : rc;
    },
    [](SO_CHANNEL *so) {
        RASCONSTRAINT *c = nullptr;
        int32_t rc = SO_read_rasconstraint(so, &c);
        ves_raster_constraint_free(c);
        return rc;
    },
    [](SO_CHANNEL *so) {
        STATE states[3] = {};
        int32_t count = 0;
        int32_t rc = SO_read_state(so, &states[0]);
        std::free(states[0].lineage);
        states[0].lineage = nullptr;
        if (rc == 0)
            rc = SO_read_state_list(so, states, 3, &count);
        for (int32_t i = 0; rc == 0 && i < count; i++)
            std::free(states[i].lineage);
        return rc;
    },
    [](SO_CHANNEL *so) {
        VERSION v[3];
        int32_t count;
        int32_t rc = SO_read_version(so, &v[0]);
        return rc == 0 ? SO_read_version_list(so, v, 3, &count) : rc;
    },
    [](SO_CHANNEL *so) {
        int16_t count = 0;
        VE_INPUT_DESC *descs = nullptr;
        int32_t rc = SO_read_input_desc(so, &count, &descs);
        std::free(descs);
        return rc;
    },
    [](SO_CHANNEL *so) {
        LOGFILE *l = static_cast<LOGFILE *>(std::malloc(3 * sizeof(LOGFILE)));
        int32_t count;
        int32_t rc = SO_read_logfile(so, &l[0]);
        if (rc == 0)
            rc = SO_read_logfile_list(so, l, 3, &count);
        std::free(l);
        return rc;
    },
    [](SO_CHANNEL *so) {
        int16_t count = 0;
        DB_INDEX_DEF *defs = nullptr;
        int32_t rc = SO_read_index_def(so, &count, &defs);
        raw_index_def_free(count, defs);
        return rc;
    },
    [](SO_CHANNEL *so) {
        VE_SPATIALREF refs[3] = {};
        int32_t count;
        int32_t rc = SO_read_spatialref(so, &refs[0]);
        if (rc == 0)
            rc = SO_read_spatialref_list(so, refs, 3, &count);
        for (VE_SPATIALREF &r : refs)
            S_free_coordref(r.coordref);
        return rc;
    },
    [](SO_CHANNEL *so) {
        LOCATOR locators[3] = {};
        int32_t count = 1;
        int32_t rc = SO_read_locator(so, &locators[0]);
        if (rc == 0) {
            std::free(locators[0].property_names);
            std::free(locators[0].property_values);
            rc = SO_read_locator_list(so, locators, 3, &count);
        }
        for (int32_t i = 0; rc == 0 && i < count; i++) {
            std::free(locators[i].property_names);
            std::free(locators[i].property_values);
        }
        return rc;
    },
};

constexpr size_t S_reader_count = sizeof S_readers / sizeof S_readers[0];

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size < 2)
        return 0;
    const Reader read = S_readers[data[0] % S_reader_count];
    S_input input = {data + 2, size - 2, 0, static_cast<size_t>(data[1] & 0x7F)};
    SO_LINK link = {&input, S_recv, S_send, S_poll};
    SO_CHANNEL *so = so_create_on_link(&link, 4096, (data[1] & 0x80) ? 64 : 8192);
    if (so == nullptr)
        return 0;
    for (int records = 0; records < 16; records++)
        if (read(so) != 0)
            break;
    SO_destroy(so);
    return 0;
}
