// Initialisation of the host's query description (base/util/ve_queryinfo.h).
#include "base/util/ve_queryinfo.h"

void VES_initialize_queryinfo(VE_QUERYINFO *info)
{
    if (info == nullptr)
        return;
    int32_t first = info->reserved;
    *info = VE_QUERYINFO{};
    info->reserved = first;
    info->query_type = VE_QUERY_TYPE_DEFAULT;
}
