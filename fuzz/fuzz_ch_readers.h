// The CH_read_ family as a table for the channel's fuzz targets: each entry
// reads one kind of record (a record and its list, or a few small values)
// through a channel and frees what the read allocated. The last entry reads a
// command code. A channel made with the old-release flag reads the layer,
// layer list, coordinate reference, column definitions, filter arrays and
// release in their old forms.
#ifndef FUZZ_CH_READERS_H
#define FUZZ_CH_READERS_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/system/ch_channel_internal.h"
#include "base/system/ch_command.h"
#include "base/system/raw_form_internal.h"
#include "base/util/ve_anno.h"
#include "base/util/ve_compress.h"
#include "base/util/ve_raster_internal.h"
#include "mox/mox.h"

namespace fuzz_ch
{

inline void free_coordref(COORDREF *&c)
{
    MoxCoordRefFree(c);
    c = nullptr;
}

inline void free_feature(FEATURE_STRUCT *f)
{
    free_coordref(f->coordref);
    VES_comp_feature_free(f);
}

using Reader = int32_t (*)(CH_CHANNEL *);

inline const Reader readers[] = {
    [](CH_CHANNEL *ch) {
        int32_t v;
        uint32_t u;
        int32_t rc = CH_read_long(ch, &v);
        return rc == 0 ? CH_read_ulong(ch, &u) : rc;
    },
    [](CH_CHANNEL *ch) {
        float v;
        double d;
        int16_t h;
        int32_t rc = CH_read_float(ch, &v);
        if (rc == 0)
            rc = CH_read_lfloat(ch, &d);
        return rc == 0 ? CH_read_short(ch, &h) : rc;
    },
    [](CH_CHANNEL *ch) {
        int32_t x, y, z;
        ENVELOPE e;
        VE_DATE d;
        int32_t rc = CH_read_pt3d(ch, &x, &y, &z);
        if (rc == 0)
            rc = CH_read_envp(ch, &e);
        return rc == 0 ? CH_read_date(ch, &d) : rc;
    },
    [](CH_CHANNEL *ch) {
        int32_t ids[16];
        double values[8];
        uint8_t block[32];
        int32_t rc = CH_read_fid_array(ch, ids, 16);
        if (rc == 0)
            rc = CH_read_lfloat_array(ch, values, 8);
        return rc == 0 ? CH_read_block(ch, block, 32) : rc;
    },
    [](CH_CHANNEL *ch) {
        int16_t count, values[8];
        return CH_read_short_array(ch, &count, values, 8);
    },
    [](CH_CHANNEL *ch) {
        char text[32];
        char *dynamic = nullptr;
        int32_t rc = CH_read_string(ch, text, sizeof text);
        if (rc == 0)
            rc = CH_read_dynamic_string(ch, &dynamic);
        std::free(dynamic);
        return rc;
    },
    [](CH_CHANNEL *ch) {
        uint8_t buffer[64];
        int32_t length = 0, last = 0;
        int32_t rc = CH_read_blob_seg(ch, buffer, sizeof buffer, &length, &last);
        return rc == 0 ? CH_read_blob_end(ch, length, 0) : rc;
    },
    [](CH_CHANNEL *ch) {
        RELEASE r;
        return CH_read_release(ch, &r);
    },
    [](CH_CHANNEL *ch) {
        FEATURE_STRUCT f = {};
        int32_t rc = CH_read_compressed_feature(ch, &f);
        if (rc == 0)
            rc = CH_read_compressed_feature(ch, &f); // into the buffer just grown
        free_feature(&f);
        return rc;
    },
    [](CH_CHANNEL *ch) {
        FEATURE_STRUCT f = {};
        VES_anno_create(&f.anno);
        int32_t rc = CH_read_compressed_feature(ch, &f);
        free_feature(&f);
        return rc;
    },
    [](CH_CHANNEL *ch) {
        FEATURE_STRUCT f = {};
        int32_t rc = CH_readf(ch, &f, 1);
        free_feature(&f);
        return rc;
    },
    [](CH_CHANNEL *ch) {
        POINT points[4];
        int32_t z[4], m[4];
        FEATURE_STRUCT f = {};
        f.points = points;
        f.z_values = z;
        f.measures = m;
        f.allocated_points = 4;
        return CH_readf(ch, &f, 0);
    },
    [](CH_CHANNEL *ch) {
        COORDREF *c = nullptr;
        MoxCoordRefCreate(&c);
        int32_t rc = CH_read_coordref(ch, c);
        free_coordref(c);
        return rc;
    },
    [](CH_CHANNEL *ch) {
        LAYER layer = {};
        int32_t rc = CH_read_layer(ch, &layer);
        free_coordref(layer.coordref);
        return rc;
    },
    [](CH_CHANNEL *ch) {
        LAYER layers[3] = {};
        int32_t count;
        int32_t rc = CH_read_layer_list(ch, layers, 3, &count);
        for (LAYER &l : layers)
            free_coordref(l.coordref);
        return rc;
    },
    [](CH_CHANNEL *ch) {
        VE_SQL_CONSTRUCT c = {};
        int32_t rc = CH_read_construct(ch, &c);
        raw_construct_clear(&c);
        return rc;
    },
    [](CH_CHANNEL *ch) {
        int16_t count = 0;
        DB_COLUMN_DEF *defs = nullptr;
        int32_t rc = CH_read_column_def(ch, &count, &defs);
        std::free(defs);
        return rc;
    },
    [](CH_CHANNEL *ch) {
        int16_t count = 0;
        VE_FILTER *filters = nullptr;
        int32_t rc = CH_read_filter_array(ch, &count, &filters);
        raw_filter_array_free(count, filters);
        return rc;
    },
    [](CH_CHANNEL *ch) {
        VE_QUERYINFO q = {};
        int32_t rc = CH_read_queryinfo(ch, &q);
        raw_queryinfo_clear(&q);
        return rc;
    },
    [](CH_CHANNEL *ch) {
        VE_SPIDX_STATS s;
        VE_LAYER_STATS l;
        int32_t rc = CH_read_ve_si_stats(ch, &s);
        return rc == 0 ? CH_read_ve_layer_stats(ch, &l) : rc;
    },
    [](CH_CHANNEL *ch) {
        VE_LAYER_LOCKS layer_locks[3];
        VE_TABLE_LOCK table_locks[3];
        VE_VERSION_LOCK version_locks[3];
        int32_t count;
        int32_t rc = CH_read_ve_layer_locks_list(ch, layer_locks, 3, &count);
        if (rc == 0)
            rc = CH_read_ve_table_lock_list(ch, table_locks, 3, &count);
        return rc == 0 ? CH_read_ve_version_lock_list(ch, version_locks, 3, &count) : rc;
    },
    [](CH_CHANNEL *ch) {
        VE_OBJECT_LOCK locks[3];
        int32_t count;
        int32_t rc = CH_read_object_lock(ch, &locks[0]);
        return rc == 0 ? CH_read_object_lock_list(ch, locks, 3, &count) : rc;
    },
    [](CH_CHANNEL *ch) {
        REGISTRATION r[3];
        int32_t count;
        int32_t rc = CH_read_registration(ch, &r[0]);
        return rc == 0 ? CH_read_registration_list(ch, r, 3, &count) : rc;
    },
    [](CH_CHANNEL *ch) {
        METADATA m[3];
        int32_t count;
        int32_t rc = CH_read_metadata(ch, &m[0]);
        return rc == 0 ? CH_read_metadata_list(ch, m, 3, &count) : rc;
    },
    [](CH_CHANNEL *ch) {
        RASTERCOLUMN columns[3] = {};
        int32_t count;
        MoxCoordRefCreate(&columns[1].coordref);
        int32_t rc = CH_read_rastercolumn(ch, &columns[0]);
        if (rc == 0)
            rc = CH_read_rastercolumn_list(ch, columns, 3, &count);
        for (RASTERCOLUMN &c : columns)
            free_coordref(c.coordref);
        return rc;
    },
    [](CH_CHANNEL *ch) {
        RASTERBAND bands[3];
        RASTER raster;
        RASTERATTR attr = {};
        int32_t count;
        int32_t rc = CH_read_rasterband(ch, &bands[0]);
        if (rc == 0)
            rc = CH_read_rasterband_list(ch, bands, 3, &count);
        if (rc == 0)
            rc = CH_read_raster(ch, &raster);
        return rc == 0 ? CH_read_rasterattr(ch, &attr) : rc;
    },
    [](CH_CHANNEL *ch) {
        RASCONSTRAINT *c = nullptr;
        int32_t rc = CH_read_rasconstraint(ch, &c);
        ves_raster_constraint_free(c);
        return rc;
    },
    [](CH_CHANNEL *ch) {
        STATE states[3] = {};
        int32_t count = 0;
        int32_t rc = CH_read_state(ch, &states[0]);
        std::free(states[0].lineage);
        states[0].lineage = nullptr;
        if (rc == 0)
            rc = CH_read_state_list(ch, states, 3, &count);
        for (int32_t i = 0; rc == 0 && i < count; i++)
            std::free(states[i].lineage);
        return rc;
    },
    [](CH_CHANNEL *ch) {
        VERSION v[3];
        int32_t count;
        int32_t rc = CH_read_version(ch, &v[0]);
        return rc == 0 ? CH_read_version_list(ch, v, 3, &count) : rc;
    },
    [](CH_CHANNEL *ch) {
        int16_t count = 0;
        VE_INPUT_DESC *descs = nullptr;
        int32_t rc = CH_read_input_desc(ch, &count, &descs);
        std::free(descs);
        return rc;
    },
    [](CH_CHANNEL *ch) {
        LOGFILE *l = static_cast<LOGFILE *>(std::malloc(3 * sizeof(LOGFILE)));
        int32_t count;
        int32_t rc = CH_read_logfile(ch, &l[0]);
        if (rc == 0)
            rc = CH_read_logfile_list(ch, l, 3, &count);
        std::free(l);
        return rc;
    },
    [](CH_CHANNEL *ch) {
        int16_t count = 0;
        DB_INDEX_DEF *defs = nullptr;
        int32_t rc = CH_read_index_def(ch, &count, &defs);
        raw_index_def_free(count, defs);
        return rc;
    },
    [](CH_CHANNEL *ch) {
        VE_SPATIALREF refs[3] = {};
        int32_t count;
        int32_t rc = CH_read_spatialref(ch, &refs[0]);
        if (rc == 0)
            rc = CH_read_spatialref_list(ch, refs, 3, &count);
        for (VE_SPATIALREF &r : refs)
            free_coordref(r.coordref);
        return rc;
    },
    [](CH_CHANNEL *ch) {
        LOCATOR locators[3] = {};
        int32_t count = 1;
        int32_t rc = CH_read_locator(ch, &locators[0]);
        if (rc == 0) {
            std::free(locators[0].property_names);
            std::free(locators[0].property_values);
            rc = CH_read_locator_list(ch, locators, 3, &count);
        }
        for (int32_t i = 0; rc == 0 && i < count; i++) {
            std::free(locators[i].property_names);
            std::free(locators[i].property_values);
        }
        return rc;
    },
    [](CH_CHANNEL *ch) {
        int32_t code;
        return CH_read_command(ch, &code);
    },
};

constexpr size_t reader_count = sizeof readers / sizeof readers[0];

// Runs the readers the plan names (each byte modulo the table) in turn, until
// one fails: the channel is then out of step with its peer.
inline void read_plan(CH_CHANNEL *ch, const uint8_t *plan, size_t steps)
{
    for (size_t i = 0; i < steps; i++)
        if (readers[plan[i] % reader_count](ch) != 0)
            break;
}

} // namespace fuzz_ch

#endif
