// Every XDR record filter and encoding, decoding from memory: the first byte
// chooses the decoder, the rest is the stream. What a decode allocates is
// freed; the sanitizers catch a read or write past a record or the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <vector>

#include "base/system/raw_form_internal.h"
#include "base/system/xdr_records_internal.h"
#include "base/util/ve_compress.h"
#include "base/util/ve_index_def_internal.h"
#include "base/util/ve_raster_internal.h"
#include "fuzz/fuzz_quiet.h"
#include "mox/mox.h"

namespace
{

template <typename T> void S_filter(XDR *x, bool_t (*filter)(XDR *, T *))
{
    T record{};
    filter(x, &record);
}

void S_coordref(XDR *x, bool old)
{
    COORDREF *c = nullptr;
    if (MoxCoordRefCreate(&c) != 0)
        return;
    xdrio_coordref(x, c, old);
    MoxCoordRefFree(c);
}

template <typename T> void S_list(XDR *x, int32_t (*read)(XDR *, T *, int32_t, int32_t *))
{
    std::vector<T> records(8);
    int32_t count = 0;
    read(x, records.data(), static_cast<int32_t>(records.size()), &count);
}

void S_layers(XDR *x, bool list, int32_t old)
{
    LAYER layers[4] = {};
    int32_t count = 0;
    if (list)
        xdrio_read_layer_list(x, layers, 4, &count, old);
    else
        xdrio_layer(x, layers, old);
    for (LAYER &l : layers)
        MoxCoordRefFree(l.coordref);
}

void S_feature(XDR *x, int32_t allocate)
{
    POINT points[16];
    int32_t z[16], m[16];
    FEATURE_STRUCT f{};
    if (!allocate) {
        f.points = points;
        f.z_values = z;
        f.measures = m;
        f.allocated_points = 16;
    }
    if (xdrio_feature(x, &f, allocate) == 0 && allocate) {
        std::free(f.points);
        std::free(f.z_values);
        std::free(f.measures);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size < 1)
        return 0;
    std::vector<char> bytes(data + 1, data + size);
    XDR xdrs;
    xdrmem_create(&xdrs, bytes.data(), static_cast<u_int>(bytes.size()), XDR_DECODE);
    XDR *x = &xdrs;
    switch (data[0] % 40) {
    case 0:
        S_filter(x, xdr_VE_DATE);
        break;
    case 1:
        S_feature(x, 0);
        break;
    case 2:
        S_feature(x, 1);
        break;
    case 3:
        S_coordref(x, false);
        break;
    case 4:
        S_coordref(x, true);
        break;
    case 5:
        S_layers(x, false, 0);
        break;
    case 6:
        S_layers(x, true, 1);
        break;
    case 7:
        S_filter(x, xdr_RELEASE);
        break;
    case 8:
        S_filter(x, xdr_S_INDEX_STATS);
        break;
    case 9:
        S_filter(x, xdr_LAYER_STATS);
        break;
    case 10:
        S_list(x, xdrio_read_registration_list);
        break;
    case 11:
        S_list(x, xdrio_read_metadata_list);
        break;
    case 12:
        S_list(x, xdrio_read_rasterband_list);
        break;
    case 13: {
        std::vector<VE_SPATIALREF> refs(4);
        int32_t count = 0;
        xdrio_read_spatialref_list(x, refs.data(), 4, &count);
        for (VE_SPATIALREF &r : refs)
            MoxCoordRefFree(r.coordref);
        break;
    }
    case 14:
        S_list(x, xdrio_read_logfile_list);
        break;
    case 15:
        S_list(x, xdrio_read_version_list);
        break;
    case 16:
        S_list(x, xdrio_read_table_lock_list);
        break;
    case 17:
        S_list(x, xdrio_read_version_lock_list);
        break;
    case 18:
        S_list(x, xdrio_read_object_lock_list);
        break;
    case 19:
        S_list(x, xdrio_read_layer_locks_list);
        break;
    case 20: {
        STATE states[4] = {};
        int32_t count = 0;
        if (xdrio_read_state_list(x, states, 4, &count) == 0)
            for (int32_t i = 0; i < count; i++)
                std::free(states[i].lineage);
        break;
    }
    case 21: {
        LOCATOR locators[4] = {};
        int32_t count = 0;
        if (xdrio_read_locator_list(x, locators, 4, &count) == 0)
            for (int32_t i = 0; i < count; i++) {
                std::free(locators[i].property_names);
                std::free(locators[i].property_values);
            }
        break;
    }
    case 22: {
        RASTERCOLUMN columns[4] = {};
        int32_t count = 0;
        xdrio_read_rastercolumn_list(x, columns, 4, &count);
        for (RASTERCOLUMN &c : columns)
            MoxCoordRefFree(c.coordref);
        break;
    }
    case 23: {
        RASCONSTRAINT *c = nullptr;
        if (xdrio_read_rasconstraint(x, &c) == 0)
            ves_raster_constraint_free(c);
        break;
    }
    case 24: {
        int32_t ids[64];
        xdrio_read_fid_array(x, ids, 64);
        double values[16];
        xdrio_read_lfloat_array(x, values, 16);
        break;
    }
    case 25: {
        int16_t count = 0, values[8];
        xdrio_read_short_array(x, &count, values, 8);
        break;
    }
    case 26: {
        char text[64];
        xdrio_read_string(x, text, sizeof text);
        char *dynamic = nullptr;
        if (xdrio_read_dynamic_string(x, &dynamic) == 0)
            std::free(dynamic);
        break;
    }
    case 27:
    case 28: {
        int16_t count = 0;
        DB_COLUMN_DEF *defs = nullptr;
        if (xdrio_read_column_def(x, &count, &defs, data[0] % 40 == 28) == 0)
            std::free(defs);
        break;
    }
    case 29: {
        int16_t count = 0;
        DB_INDEX_DEF *defs = nullptr;
        if (xdrio_read_index_def(x, &count, &defs) == 0)
            ves_index_defs_free(defs, count);
        break;
    }
    case 30: {
        int16_t count = 0;
        VE_INPUT_DESC *descs = nullptr;
        if (xdrio_read_input_desc(x, &count, &descs) == 0)
            std::free(descs);
        break;
    }
    case 31:
    case 32: {
        int16_t count = 0;
        VE_FILTER *filters = nullptr;
        if (xdrio_read_filter_array(x, false, &count, &filters, data[0] % 40 == 32) == 0)
            raw_filter_array_free(count, filters);
        break;
    }
    case 33:
    case 34: {
        VE_SQL_CONSTRUCT c{};
        if (xdrio_read_construct(x, &c, data[0] % 40 == 34) == 0)
            raw_construct_clear(&c);
        break;
    }
    case 35: {
        VE_QUERYINFO q{};
        if (xdrio_read_queryinfo(x, &q) == 0)
            raw_queryinfo_clear(&q);
        break;
    }
    case 36: {
        FEATURE_STRUCT f{};
        xdrio_read_compressed_feature(x, &f);
        std::free(f.compressed);
        break;
    }
    case 37:
        S_filter(x, xdr_VE_INSTANCE_CONFIG);
        S_filter(x, xdr_VE_INSTANCE_STATUS);
        S_filter(x, xdr_VE_INSTANCE_USER);
        break;
    case 38:
        S_filter(x, xdr_VE_INSTANCE_LOCK);
        S_filter(x, xdr_VE_INSTANCE_OBJECT_LOCK);
        S_filter(x, xdr_RASTER);
        S_filter(x, xdr_RASTERATTR);
        break;
    default: {
        char block[32];
        xdrio_block(x, block, 13);
        S_filter(x, xdr_VE_INSTANCE_STATS);
        break;
    }
    }
    xdr_destroy(&xdrs);
    return 0;
}
