// Release of prepared filter forms: every spec's search data and the array go;
// a null array is ignored (the sanitizer reports anything lost).
#include <gtest/gtest.h>

#include <stdlib.h>

#include "base/util/ve_feature_spec.h"

namespace
{

TEST(FeatureSpecs, FreeReleasesEachPreparedFormAndTheArray)
{
    for (int32_t count : {0, 1, 3}) {
        auto *specs =
            static_cast<VE_FEATURE_SPEC *>(calloc(count > 0 ? count : 1, sizeof(VE_FEATURE_SPEC)));
        for (int32_t i = 0; i < count; i++)
            specs[i].prepared = i == 1 ? nullptr : malloc(16);
        VES_free_feature_specs(count, nullptr, specs);
    }
    VES_free_feature_specs(4, nullptr, nullptr);
}

} // namespace
