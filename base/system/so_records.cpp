// The socket transport's record members (base/system/so_channel.h): each
// runs its raw form (base/system/raw_form_internal.h) over the transport's
// buffered byte layer. A member that fails after moving any byte, or because
// the link failed, leaves the transport broken: the stream is out of step and
// no later member touches the socket again.
#include <new>

#include "base/system/so_channel_internal.h"
#include "base/util/zel_errors.h"

// Runs one raw form on the transport.
template <typename Form> static int32_t S_run(SO_CHANNEL *so, Form form)
{
    if (so == nullptr || so->broken)
        return ZE_FAILURE;
    RAW_IO io = so_raw_io(so);
    int32_t rc;
    try {
        rc = form(&io);
    } catch (const std::bad_alloc &) {
        rc = ZE_BUFFER_NO_MEMORY;
    }
    if (rc != ZE_SUCCESS && (io.moved > 0 || io.failed))
        so->broken = 1;
    return rc;
}

ZEL_API int32_t SO_read_blob_end(SO_CHANNEL *so, int32_t, int32_t)
{
    return so == nullptr || so->broken ? ZE_FAILURE : ZE_SUCCESS;
}

ZEL_API int32_t SO_write_blob_end(SO_CHANNEL *so, int32_t, int32_t)
{
    return so == nullptr || so->broken ? ZE_FAILURE : ZE_SUCCESS;
}

ZEL_API int32_t SO_read_long(SO_CHANNEL *so, int32_t *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_long(io, value); });
}

ZEL_API int32_t SO_write_long(SO_CHANNEL *so, int32_t value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_long(io, value); });
}

ZEL_API int32_t SO_read_ulong(SO_CHANNEL *so, uint32_t *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_ulong(io, value); });
}

ZEL_API int32_t SO_write_ulong(SO_CHANNEL *so, uint32_t value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_ulong(io, value); });
}

ZEL_API int32_t SO_read_float(SO_CHANNEL *so, float *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_float(io, value); });
}

ZEL_API int32_t SO_write_float(SO_CHANNEL *so, float value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_float(io, value); });
}

ZEL_API int32_t SO_read_lfloat(SO_CHANNEL *so, double *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_lfloat(io, value); });
}

ZEL_API int32_t SO_write_lfloat(SO_CHANNEL *so, double value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_lfloat(io, value); });
}

ZEL_API int32_t SO_read_short(SO_CHANNEL *so, int16_t *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_short(io, value); });
}

ZEL_API int32_t SO_write_short(SO_CHANNEL *so, int16_t value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_short(io, value); });
}

ZEL_API int32_t SO_read_pt3d(SO_CHANNEL *so, int32_t *x, int32_t *y, int32_t *z)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_pt3d(io, x, y, z); });
}

ZEL_API int32_t SO_write_pt3d(SO_CHANNEL *so, int32_t x, int32_t y, int32_t z)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_pt3d(io, x, y, z); });
}

ZEL_API int32_t SO_read_envp(SO_CHANNEL *so, ENVELOPE *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_envp(io, value); });
}

ZEL_API int32_t SO_write_envp(SO_CHANNEL *so, const ENVELOPE *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_envp(io, value); });
}

ZEL_API int32_t SO_read_date(SO_CHANNEL *so, VE_DATE *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_date(io, value); });
}

ZEL_API int32_t SO_write_date(SO_CHANNEL *so, const VE_DATE *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_date(io, value); });
}

ZEL_API int32_t SO_read_fid_array(SO_CHANNEL *so, int32_t *ids, int32_t count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_fid_array(io, ids, count); });
}

ZEL_API int32_t SO_write_fid_array(SO_CHANNEL *so, const int32_t *ids, int32_t count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_fid_array(io, ids, count); });
}

ZEL_API int32_t SO_read_lfloat_array(SO_CHANNEL *so, double *values, int32_t count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_lfloat_array(io, values, count); });
}

ZEL_API int32_t SO_write_lfloat_array(SO_CHANNEL *so, const double *values, int32_t count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_lfloat_array(io, values, count); });
}

ZEL_API int32_t SO_read_block(SO_CHANNEL *so, void *buffer, int32_t length)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_block(io, buffer, length); });
}

ZEL_API int32_t SO_write_block(SO_CHANNEL *so, const void *buffer, int32_t length)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_block(io, buffer, length); });
}

ZEL_API int32_t SO_read_short_array(SO_CHANNEL *so, int16_t *count, int16_t *values,
                                    int16_t capacity)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_short_array(io, count, values, capacity); });
}

ZEL_API int32_t SO_write_short_array(SO_CHANNEL *so, int16_t count, const int16_t *values)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_short_array(io, count, values); });
}

ZEL_API int32_t SO_read_string(SO_CHANNEL *so, char *buffer, int32_t capacity)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_string(io, buffer, capacity); });
}

ZEL_API int32_t SO_write_string(SO_CHANNEL *so, const char *string)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_string(io, string); });
}

ZEL_API int32_t SO_read_dynamic_string(SO_CHANNEL *so, char **string)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_dynamic_string(io, string); });
}

ZEL_API int32_t SO_write_dynamic_string(SO_CHANNEL *so, const char *string)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_dynamic_string(io, string); });
}

ZEL_API int32_t SO_read_blob_seg(SO_CHANNEL *so, void *buffer, int32_t capacity, int32_t *length,
                                 int32_t *last)
{
    return S_run(so,
                 [&](RAW_IO *io) { return raw_read_blob_seg(io, buffer, capacity, length, last); });
}

ZEL_API int32_t SO_write_blob_seg(SO_CHANNEL *so, const void *buffer, int32_t length, int32_t last)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_blob_seg(io, buffer, length, last); });
}

ZEL_API int32_t SO_read_release(SO_CHANNEL *so, RELEASE *release)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_release(io, release, 0); });
}

ZEL_API int32_t SO_read_release_old(SO_CHANNEL *so, RELEASE *release)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_release(io, release, 1); });
}

ZEL_API int32_t SO_write_release(SO_CHANNEL *so, const RELEASE *release)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_release(io, release); });
}

ZEL_API int32_t SO_read_compressed_feature(SO_CHANNEL *so, FEATURE_STRUCT *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_compressed_feature(io, value); });
}

ZEL_API int32_t SO_write_compressed_feature(SO_CHANNEL *so, const FEATURE_STRUCT *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_compressed_feature(io, value); });
}

ZEL_API int32_t SO_readf(SO_CHANNEL *so, FEATURE_STRUCT *feature, int32_t allocate)
{
    return S_run(so, [&](RAW_IO *io) { return raw_readf(io, feature, allocate); });
}

ZEL_API int32_t SO_writef(SO_CHANNEL *so, const FEATURE_STRUCT *feature)
{
    return S_run(so, [&](RAW_IO *io) { return raw_writef(io, feature); });
}

ZEL_API int32_t SO_read_coordref(SO_CHANNEL *so, COORDREF *coordref)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_coordref(io, coordref, 0); });
}

ZEL_API int32_t SO_write_coordref(SO_CHANNEL *so, const COORDREF *coordref)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_coordref(io, coordref, 0); });
}

ZEL_API int32_t SO_read_coordref_old(SO_CHANNEL *so, COORDREF *coordref)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_coordref(io, coordref, 1); });
}

ZEL_API int32_t SO_write_coordref_old(SO_CHANNEL *so, const COORDREF *coordref)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_coordref(io, coordref, 1); });
}

ZEL_API int32_t SO_read_layer(SO_CHANNEL *so, LAYER *layer)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_layer(io, layer, 0); });
}

ZEL_API int32_t SO_write_layer(SO_CHANNEL *so, const LAYER *layer)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_layer(io, layer, 0); });
}

ZEL_API int32_t SO_read_layer_old(SO_CHANNEL *so, LAYER *layer)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_layer(io, layer, 1); });
}

ZEL_API int32_t SO_write_layer_old(SO_CHANNEL *so, const LAYER *layer)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_layer(io, layer, 1); });
}

ZEL_API int32_t SO_read_layer_list(SO_CHANNEL *so, LAYER *layers, int32_t capacity, int32_t *count)
{
    return S_run(so,
                 [&](RAW_IO *io) { return raw_read_layer_list(io, layers, capacity, count, 0); });
}

ZEL_API int32_t SO_write_layer_list(SO_CHANNEL *so, const LAYER *layers, int32_t count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_layer_list(io, layers, count, 0); });
}

ZEL_API int32_t SO_read_layer_list_old(SO_CHANNEL *so, LAYER *layers, int32_t capacity,
                                       int32_t *count)
{
    return S_run(so,
                 [&](RAW_IO *io) { return raw_read_layer_list(io, layers, capacity, count, 1); });
}

ZEL_API int32_t SO_write_layer_list_old(SO_CHANNEL *so, const LAYER *layers, int32_t count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_layer_list(io, layers, count, 1); });
}

ZEL_API int32_t SO_read_construct(SO_CHANNEL *so, VE_SQL_CONSTRUCT *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_construct(io, value); });
}

ZEL_API int32_t SO_write_construct(SO_CHANNEL *so, const VE_SQL_CONSTRUCT *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_construct(io, value); });
}

ZEL_API int32_t SO_read_column_def(SO_CHANNEL *so, int16_t *count, DB_COLUMN_DEF **defs)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_column_def(io, count, defs, 0); });
}

ZEL_API int32_t SO_write_column_def(SO_CHANNEL *so, int16_t count, const DB_COLUMN_DEF *defs)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_column_def(io, count, defs, 0); });
}

ZEL_API int32_t SO_read_column_def_old(SO_CHANNEL *so, int16_t *count, DB_COLUMN_DEF **defs)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_column_def(io, count, defs, 1); });
}

ZEL_API int32_t SO_write_column_def_old(SO_CHANNEL *so, int16_t count, const DB_COLUMN_DEF *defs)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_column_def(io, count, defs, 1); });
}

ZEL_API int32_t SO_read_filter_array(SO_CHANNEL *so, int16_t *count, VE_FILTER **filters)
{
    return S_run(so, [&](RAW_IO *io) {
        return raw_read_filter_array(io, count, filters, RAW_FILTERS_CURRENT);
    });
}

ZEL_API int32_t SO_write_filter_array(SO_CHANNEL *so, int16_t count, const VE_FILTER *filters)
{
    return S_run(so, [&](RAW_IO *io) {
        return raw_write_filter_array(io, count, filters, RAW_FILTERS_CURRENT);
    });
}

int32_t so_read_filter_array_form(SO_CHANNEL *so, int16_t *count, VE_FILTER **filters, int32_t form)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_filter_array(io, count, filters, form); });
}

int32_t so_write_filter_array_form(SO_CHANNEL *so, int16_t count, const VE_FILTER *filters,
                                   int32_t form)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_filter_array(io, count, filters, form); });
}

ZEL_API int32_t SO_read_filter_array_old(SO_CHANNEL *so, int16_t *count, VE_FILTER **filters)
{
    return S_run(
        so, [&](RAW_IO *io) { return raw_read_filter_array(io, count, filters, RAW_FILTERS_OLD); });
}

ZEL_API int32_t SO_write_filter_array_old(SO_CHANNEL *so, int16_t count, const VE_FILTER *filters)
{
    return S_run(so, [&](RAW_IO *io) {
        return raw_write_filter_array(io, count, filters, RAW_FILTERS_OLD);
    });
}

ZEL_API int32_t SO_read_queryinfo(SO_CHANNEL *so, VE_QUERYINFO *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_queryinfo(io, value); });
}

ZEL_API int32_t SO_write_queryinfo(SO_CHANNEL *so, const VE_QUERYINFO *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_queryinfo(io, value); });
}

ZEL_API int32_t SO_read_ve_si_stats(SO_CHANNEL *so, VE_SPIDX_STATS *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_spidx_stats(io, value); });
}

ZEL_API int32_t SO_write_ve_si_stats(SO_CHANNEL *so, const VE_SPIDX_STATS *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_spidx_stats(io, value); });
}

ZEL_API int32_t SO_read_ve_layer_stats(SO_CHANNEL *so, VE_LAYER_STATS *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_layer_stats(io, value); });
}

ZEL_API int32_t SO_write_ve_layer_stats(SO_CHANNEL *so, const VE_LAYER_STATS *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_layer_stats(io, value); });
}

ZEL_API int32_t SO_read_ve_layer_locks_list(SO_CHANNEL *so, VE_LAYER_LOCKS *array, int32_t capacity,
                                            int32_t *count)
{
    return S_run(so,
                 [&](RAW_IO *io) { return raw_read_layer_locks_list(io, array, capacity, count); });
}

ZEL_API int32_t SO_write_ve_layer_locks_list(SO_CHANNEL *so, const VE_LAYER_LOCKS *array,
                                             int32_t count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_layer_locks_list(io, array, count); });
}

ZEL_API int32_t SO_read_ve_table_lock_list(SO_CHANNEL *so, VE_TABLE_LOCK *array, int32_t capacity,
                                           int32_t *count)
{
    return S_run(so,
                 [&](RAW_IO *io) { return raw_read_table_lock_list(io, array, capacity, count); });
}

ZEL_API int32_t SO_write_ve_table_lock_list(SO_CHANNEL *so, const VE_TABLE_LOCK *array,
                                            int32_t count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_table_lock_list(io, array, count); });
}

ZEL_API int32_t SO_read_ve_version_lock_list(SO_CHANNEL *so, VE_VERSION_LOCK *array,
                                             int32_t capacity, int32_t *count)
{
    return S_run(
        so, [&](RAW_IO *io) { return raw_read_version_lock_list(io, array, capacity, count); });
}

ZEL_API int32_t SO_write_ve_version_lock_list(SO_CHANNEL *so, const VE_VERSION_LOCK *array,
                                              int32_t count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_version_lock_list(io, array, count); });
}

ZEL_API int32_t SO_read_object_lock(SO_CHANNEL *so, VE_OBJECT_LOCK *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_object_lock(io, value); });
}

ZEL_API int32_t SO_write_object_lock(SO_CHANNEL *so, const VE_OBJECT_LOCK *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_object_lock(io, value); });
}

ZEL_API int32_t SO_read_object_lock_list(SO_CHANNEL *so, VE_OBJECT_LOCK *array, int32_t capacity,
                                         int32_t *count)
{
    return S_run(so,
                 [&](RAW_IO *io) { return raw_read_object_lock_list(io, array, capacity, count); });
}

ZEL_API int32_t SO_write_object_lock_list(SO_CHANNEL *so, const VE_OBJECT_LOCK *array,
                                          int32_t count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_object_lock_list(io, array, count); });
}

ZEL_API int32_t SO_read_registration(SO_CHANNEL *so, REGISTRATION *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_registration(io, value); });
}

ZEL_API int32_t SO_write_registration(SO_CHANNEL *so, const REGISTRATION *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_registration(io, value); });
}

ZEL_API int32_t SO_read_registration_list(SO_CHANNEL *so, REGISTRATION *array, int32_t capacity,
                                          int32_t *count)
{
    return S_run(
        so, [&](RAW_IO *io) { return raw_read_registration_list(io, array, capacity, count); });
}

ZEL_API int32_t SO_write_registration_list(SO_CHANNEL *so, const REGISTRATION *array, int32_t count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_registration_list(io, array, count); });
}

ZEL_API int32_t SO_read_metadata(SO_CHANNEL *so, METADATA *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_metadata(io, value); });
}

ZEL_API int32_t SO_write_metadata(SO_CHANNEL *so, const METADATA *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_metadata(io, value); });
}

ZEL_API int32_t SO_read_metadata_list(SO_CHANNEL *so, METADATA *array, int32_t capacity,
                                      int32_t *count)
{
    return S_run(so,
                 [&](RAW_IO *io) { return raw_read_metadata_list(io, array, capacity, count); });
}

ZEL_API int32_t SO_write_metadata_list(SO_CHANNEL *so, const METADATA *array, int32_t count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_metadata_list(io, array, count); });
}

ZEL_API int32_t SO_read_rastercolumn(SO_CHANNEL *so, RASTERCOLUMN *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_rastercolumn(io, value); });
}

ZEL_API int32_t SO_write_rastercolumn(SO_CHANNEL *so, const RASTERCOLUMN *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_rastercolumn(io, value); });
}

ZEL_API int32_t SO_read_rastercolumn_list(SO_CHANNEL *so, RASTERCOLUMN *array, int32_t capacity,
                                          int32_t *count)
{
    return S_run(
        so, [&](RAW_IO *io) { return raw_read_rastercolumn_list(io, array, capacity, count); });
}

ZEL_API int32_t SO_write_rastercolumn_list(SO_CHANNEL *so, const RASTERCOLUMN *array, int32_t count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_rastercolumn_list(io, array, count); });
}

ZEL_API int32_t SO_read_rasterband(SO_CHANNEL *so, RASTERBAND *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_rasterband(io, value); });
}

ZEL_API int32_t SO_write_rasterband(SO_CHANNEL *so, const RASTERBAND *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_rasterband(io, value); });
}

ZEL_API int32_t SO_read_rasterband_list(SO_CHANNEL *so, RASTERBAND *array, int32_t capacity,
                                        int32_t *count)
{
    return S_run(so,
                 [&](RAW_IO *io) { return raw_read_rasterband_list(io, array, capacity, count); });
}

ZEL_API int32_t SO_write_rasterband_list(SO_CHANNEL *so, const RASTERBAND *array, int32_t count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_rasterband_list(io, array, count); });
}

ZEL_API int32_t SO_read_raster(SO_CHANNEL *so, RASTER *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_raster(io, value); });
}

ZEL_API int32_t SO_write_raster(SO_CHANNEL *so, const RASTER *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_raster(io, value); });
}

ZEL_API int32_t SO_read_rasterattr(SO_CHANNEL *so, RASTERATTR *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_rasterattr(io, value); });
}

ZEL_API int32_t SO_write_rasterattr(SO_CHANNEL *so, const RASTERATTR *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_rasterattr(io, value); });
}

ZEL_API int32_t SO_read_rasconstraint(SO_CHANNEL *so, RASCONSTRAINT **constraint)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_rasconstraint(io, constraint); });
}

ZEL_API int32_t SO_write_rasconstraint(SO_CHANNEL *so, const RASCONSTRAINT *constraint)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_rasconstraint(io, constraint); });
}

ZEL_API int32_t SO_read_state(SO_CHANNEL *so, STATE *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_state(io, value); });
}

ZEL_API int32_t SO_write_state(SO_CHANNEL *so, const STATE *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_state(io, value); });
}

ZEL_API int32_t SO_read_state_list(SO_CHANNEL *so, STATE *array, int32_t capacity, int32_t *count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_state_list(io, array, capacity, count); });
}

ZEL_API int32_t SO_write_state_list(SO_CHANNEL *so, const STATE *array, int32_t count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_state_list(io, array, count); });
}

ZEL_API int32_t SO_read_version(SO_CHANNEL *so, VERSION *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_version(io, value); });
}

ZEL_API int32_t SO_write_version(SO_CHANNEL *so, const VERSION *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_version(io, value); });
}

ZEL_API int32_t SO_read_version_list(SO_CHANNEL *so, VERSION *array, int32_t capacity,
                                     int32_t *count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_version_list(io, array, capacity, count); });
}

ZEL_API int32_t SO_write_version_list(SO_CHANNEL *so, const VERSION *array, int32_t count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_version_list(io, array, count); });
}

ZEL_API int32_t SO_read_input_desc(SO_CHANNEL *so, int16_t *count, VE_INPUT_DESC **descs)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_input_desc(io, count, descs); });
}

ZEL_API int32_t SO_write_input_desc(SO_CHANNEL *so, int16_t count, const VE_INPUT_DESC *descs)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_input_desc(io, count, descs); });
}

ZEL_API int32_t SO_read_logfile(SO_CHANNEL *so, LOGFILE *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_logfile(io, value); });
}

ZEL_API int32_t SO_write_logfile(SO_CHANNEL *so, const LOGFILE *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_logfile(io, value); });
}

ZEL_API int32_t SO_read_logfile_list(SO_CHANNEL *so, LOGFILE *array, int32_t capacity,
                                     int32_t *count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_logfile_list(io, array, capacity, count); });
}

ZEL_API int32_t SO_write_logfile_list(SO_CHANNEL *so, const LOGFILE *array, int32_t count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_logfile_list(io, array, count); });
}

ZEL_API int32_t SO_read_index_def(SO_CHANNEL *so, int16_t *count, DB_INDEX_DEF **defs)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_index_def(io, count, defs); });
}

ZEL_API int32_t SO_write_index_def(SO_CHANNEL *so, int16_t count, const DB_INDEX_DEF *defs)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_index_def(io, count, defs); });
}

ZEL_API int32_t SO_read_spatialref(SO_CHANNEL *so, VE_SPATIALREF *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_spatialref(io, value); });
}

ZEL_API int32_t SO_write_spatialref(SO_CHANNEL *so, const VE_SPATIALREF *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_spatialref(io, value); });
}

ZEL_API int32_t SO_read_spatialref_list(SO_CHANNEL *so, VE_SPATIALREF *array, int32_t capacity,
                                        int32_t *count)
{
    return S_run(so,
                 [&](RAW_IO *io) { return raw_read_spatialref_list(io, array, capacity, count); });
}

ZEL_API int32_t SO_write_spatialref_list(SO_CHANNEL *so, const VE_SPATIALREF *array, int32_t count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_spatialref_list(io, array, count); });
}

ZEL_API int32_t SO_read_locator(SO_CHANNEL *so, LOCATOR *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_locator(io, value); });
}

ZEL_API int32_t SO_write_locator(SO_CHANNEL *so, const LOCATOR *value)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_locator(io, value); });
}

ZEL_API int32_t SO_read_locator_list(SO_CHANNEL *so, LOCATOR *array, int32_t capacity,
                                     int32_t *count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_locator_list(io, array, capacity, count); });
}

ZEL_API int32_t SO_write_locator_list(SO_CHANNEL *so, const LOCATOR *array, int32_t count)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_locator_list(io, array, count); });
}
