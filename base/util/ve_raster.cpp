// Helpers of the raster records: constraint release, attribute reset and
// cell-size comparison (base/util/ve_raster.h).
#include "base/util/ve_raster_internal.h"

#include <math.h>
#include <stdlib.h>

#include "base/util/ve_row_pointers.h"

int32_t VES_raster_present(const VE_ROW_POINTERS *row)
{
    if (row == nullptr || row->columns == nullptr || row->indicators == nullptr)
        return 0;
    for (int16_t i = 0; i < row->column_count; i++) {
        if (row->indicators[i] == VE_IND_VALUE && row->columns[i].type == VE_RASTER)
            return 1;
    }
    return 0;
}

void ves_raster_constraint_free(RASCONSTRAINT *constraint)
{
    if (constraint == nullptr)
        return;
    free(constraint->band_numbers);
    free(constraint);
}

void ves_rasterattr_reset(RASTERATTR *attr)
{
    if (attr == nullptr)
        return;
    int32_t *array = attr->array;
    if (attr->w[RASTERATTR_ARRAY_COUNT] > 0) {
        free(array);
        array = nullptr;
    }
    *attr = RASTERATTR{};
    attr->array = array;
    attr->w[1] = -1;
    attr->w[2] = -1;
    attr->envelope.minx = 2147483647.0;
    attr->envelope.miny = 2147483647.0;
}

int32_t VES_cell_size_equal(double a, double b, double reference)
{
    // Written so that NaN never compares as valid.
    if (!(a > 0.0) || !(b > 0.0))
        return 0;
    if (a == b)
        return 1;
    double t = fabs(reference);
    double digits;
    if (a >= 1.0) {
        double x = (t < 1.0 || a > t) ? a : t;
        digits = 14.0 - (floor(log10(x)) + 1.0);
    } else {
        digits = t >= 1.0 ? 14.0 - (floor(log10(t)) + 1.0) : 14.0;
    }
    return fabs(a - b) < pow(10.0, -digits) ? 1 : 0;
}
