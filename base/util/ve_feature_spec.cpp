// Release of the prepared forms of spatial filters (ve_feature_spec.h).
#include "base/util/ve_feature_spec.h"

#include <stdlib.h>

void VES_free_feature_specs(int32_t count, const VE_FILTER *, VE_FEATURE_SPEC *specs)
{
    if (specs == nullptr)
        return;
    for (int32_t i = 0; i < count; i++) {
        free(specs[i].prepared);
        specs[i].prepared = nullptr;
    }
    free(specs);
}
