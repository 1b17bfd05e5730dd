// Serialised band statistics (VE_RASTERBAND_STATS, layout in
// ve_rasterband.h). Sizes are computed in 64 bits and every read is bounded
// by the given length before anything is allocated.
#include "base/util/ve_big_endian_internal.h"
#include "base/util/ve_debug.h"
#include "base/util/ve_rasterband.h"
#include "base/util/zel_errors.h"

#include <memory>
#include <stdio.h>
#include <stdlib.h>

// Bytes of the serialised form; -1 when the bin count does not fit the
// distribution type.
static int64_t S_serialized_size(int32_t distribution_type, int32_t bin_count)
{
    bool bounds = distribution_type == VE_STATS_DISTRIBUTION_BOUNDS;
    if (bin_count < (bounds ? 1 : 0))
        return -1;
    int64_t n = bin_count;
    return VE_STATS_HEADER_SIZE + 8 * n + (bounds ? 8 * (n - 1) : 0);
}

int32_t VES_rasterband_stats_serialize(const VE_RASTERBAND_STATS *stats, unsigned char **block,
                                       int32_t *length)
{
    if (block == nullptr || length == nullptr)
        return ZE_NULL_POINTER;
    *block = nullptr;
    *length = 0;
    if (stats == nullptr || stats->histogram == nullptr)
        return ZE_NULL_POINTER;
    bool bounds = stats->distribution_type == VE_STATS_DISTRIBUTION_BOUNDS;
    if (bounds && stats->bin_bounds == nullptr)
        return ZE_NULL_POINTER;
    int64_t total = S_serialized_size(stats->distribution_type, stats->bin_count);
    if (total < 0 || total > INT32_MAX)
        return ZE_INVALID_ARGUMENT;
    auto *out = static_cast<unsigned char *>(malloc(static_cast<size_t>(total)));
    if (out == nullptr)
        return ZE_BUFFER_NO_MEMORY;
    ve_put_be32(out, static_cast<uint32_t>(total));
    ve_put_be_double(out + 4, stats->minimum);
    ve_put_be_double(out + 12, stats->maximum);
    ve_put_be_double(out + 20, stats->mean);
    ve_put_be_double(out + 28, stats->std_deviation);
    ve_put_be32(out + 36, static_cast<uint32_t>(stats->distribution_type));
    ve_put_be32(out + 40, static_cast<uint32_t>(stats->bin_count));
    unsigned char *at = out + VE_STATS_HEADER_SIZE;
    if (bounds)
        for (int32_t i = 0; i < stats->bin_count - 1; ++i, at += 8)
            ve_put_be_double(at, stats->bin_bounds[i]);
    for (int32_t i = 0; i < stats->bin_count; ++i, at += 8)
        ve_put_be64(at, static_cast<uint64_t>(stats->histogram[i]));
    *block = out;
    *length = static_cast<int32_t>(total);
    return 0;
}

static VE_RASTERBAND_STATS *S_invalid_length()
{
    VES_print_debug(stderr, "VES_rasterband_stats_deserialize: invalid length.\n");
    return nullptr;
}

VE_RASTERBAND_STATS *VES_rasterband_stats_deserialize(const unsigned char *block, int32_t length)
{
    if (block == nullptr || length < VE_STATS_HEADER_SIZE)
        return S_invalid_length();
    int64_t stored = ve_get_be32(block);
    auto distribution_type = static_cast<int32_t>(ve_get_be32(block + 36));
    auto bin_count = static_cast<int32_t>(ve_get_be32(block + 40));
    if (length < stored || S_serialized_size(distribution_type, bin_count) != length)
        return S_invalid_length();

    std::unique_ptr<VE_RASTERBAND_STATS, decltype(&VES_rasterband_stats_free)> stats(
        static_cast<VE_RASTERBAND_STATS *>(calloc(1, sizeof(VE_RASTERBAND_STATS))),
        &VES_rasterband_stats_free);
    if (stats == nullptr)
        return nullptr;
    stats->minimum = ve_get_be_double(block + 4);
    stats->maximum = ve_get_be_double(block + 12);
    stats->mean = ve_get_be_double(block + 20);
    stats->std_deviation = ve_get_be_double(block + 28);
    stats->distribution_type = distribution_type;
    stats->bin_count = bin_count;
    const unsigned char *at = block + VE_STATS_HEADER_SIZE;
    if (distribution_type == VE_STATS_DISTRIBUTION_BOUNDS) {
        // One spare element, so a single bin still gets an array.
        stats->bin_bounds = static_cast<double *>(malloc(sizeof(double) * bin_count));
        if (stats->bin_bounds == nullptr)
            return nullptr;
        for (int32_t i = 0; i < bin_count - 1; ++i, at += 8)
            stats->bin_bounds[i] = ve_get_be_double(at);
    }
    stats->histogram =
        static_cast<int64_t *>(malloc(sizeof(int64_t) * (static_cast<size_t>(bin_count) + 1)));
    if (stats->histogram == nullptr)
        return nullptr;
    for (int32_t i = 0; i < bin_count; ++i, at += 8)
        stats->histogram[i] = static_cast<int64_t>(ve_get_be64(at));
    return stats.release();
}

void VES_rasterband_stats_free(VE_RASTERBAND_STATS *stats)
{
    if (stats == nullptr)
        return;
    free(stats->bin_bounds);
    free(stats->histogram);
    free(stats);
}
