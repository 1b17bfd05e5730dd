// Serialised band colormaps (VE_RASTERBAND_COLORMAP, layout in
// ve_rasterband.h). Sizes are computed in 64 bits and every read is bounded
// by the given length before anything is allocated.
#include "base/util/ve_big_endian_internal.h"
#include "base/util/ve_debug.h"
#include "base/util/ve_rasterband.h"
#include "base/util/zel_errors.h"

#include <stdio.h>
#include <stdlib.h>

static int64_t S_components(int32_t color_model)
{
    return color_model == VE_COLORMAP_MODEL_RGBA ? 4 : 3;
}

static int64_t S_width(int32_t component_width)
{
    return component_width == VE_COLORMAP_COMPONENT_16BIT ? 2 : 1;
}

int32_t VES_rasterband_colormap_serialize(const VE_RASTERBAND_COLORMAP *colormap,
                                          unsigned char **block, int32_t *length)
{
    if (block == nullptr || length == nullptr)
        return ZE_NULL_POINTER;
    *block = nullptr;
    *length = 0;
    if (colormap == nullptr || colormap->data == nullptr)
        return ZE_NULL_POINTER;
    if (colormap->entry_count < 0)
        return ZE_INVALID_ARGUMENT;
    int64_t values = S_components(colormap->color_model) * colormap->entry_count;
    int64_t width = S_width(colormap->component_width);
    int64_t total = VE_COLORMAP_HEADER_SIZE + values * width;
    if (total > INT32_MAX)
        return ZE_INVALID_ARGUMENT;
    auto *out = static_cast<unsigned char *>(malloc(static_cast<size_t>(total)));
    if (out == nullptr)
        return ZE_BUFFER_NO_MEMORY;
    ve_put_be32(out, static_cast<uint32_t>(total));
    ve_put_be32(out + 4, static_cast<uint32_t>(colormap->color_model));
    ve_put_be32(out + 8, static_cast<uint32_t>(colormap->component_width));
    ve_put_be32(out + 12, static_cast<uint32_t>(colormap->entry_count));
    unsigned char *at = out + VE_COLORMAP_HEADER_SIZE;
    if (width == 2) {
        const auto *data = static_cast<const uint16_t *>(colormap->data);
        for (int64_t i = 0; i < values; ++i, at += 2) {
            at[0] = static_cast<unsigned char>(data[i] >> 8);
            at[1] = static_cast<unsigned char>(data[i]);
        }
    } else if (values > 0) {
        memcpy(at, colormap->data, static_cast<size_t>(values));
    }
    *block = out;
    *length = static_cast<int32_t>(total);
    return 0;
}

static VE_RASTERBAND_COLORMAP *S_invalid_length()
{
    VES_print_debug(stderr, "VES_rasterband_colormap_deserialize: invalid length.\n");
    return nullptr;
}

VE_RASTERBAND_COLORMAP *VES_rasterband_colormap_deserialize(const unsigned char *block,
                                                            int32_t length)
{
    if (block == nullptr || length < VE_COLORMAP_HEADER_SIZE)
        return S_invalid_length();
    int64_t stored = ve_get_be32(block);
    auto color_model = static_cast<int32_t>(ve_get_be32(block + 4));
    auto component_width = static_cast<int32_t>(ve_get_be32(block + 8));
    auto entry_count = static_cast<int32_t>(ve_get_be32(block + 12));
    if (length < stored || entry_count < 0)
        return S_invalid_length();
    int64_t values = S_components(color_model) * entry_count;
    int64_t width = S_width(component_width);
    if (VE_COLORMAP_HEADER_SIZE + values * width != length)
        return S_invalid_length();

    auto *colormap =
        static_cast<VE_RASTERBAND_COLORMAP *>(calloc(1, sizeof(VE_RASTERBAND_COLORMAP)));
    if (colormap == nullptr)
        return nullptr;
    // At least one byte, so an empty colormap still has data to serialise.
    colormap->data = malloc(static_cast<size_t>(values * width) + 1);
    if (colormap->data == nullptr) {
        free(colormap);
        return nullptr;
    }
    colormap->color_model = color_model;
    colormap->component_width = component_width;
    colormap->entry_count = entry_count;
    const unsigned char *at = block + VE_COLORMAP_HEADER_SIZE;
    if (width == 2) {
        auto *data = static_cast<uint16_t *>(colormap->data);
        for (int64_t i = 0; i < values; ++i, at += 2)
            data[i] = static_cast<uint16_t>(at[0] << 8 | at[1]);
    } else if (values > 0) {
        memcpy(colormap->data, at, static_cast<size_t>(values));
    }
    return colormap;
}

void VES_rasterband_colormap_free(VE_RASTERBAND_COLORMAP *colormap)
{
    if (colormap == nullptr)
        return;
    free(colormap->data);
    free(colormap);
}

int32_t VES_rasterband_get_serialized_length(const unsigned char *block)
{
    if (block == nullptr)
        return 0;
    return static_cast<int32_t>(ve_get_be32(block));
}
