// Spatial relations of the query filters: not built yet. Every call answers
// MOX_E_INTERNAL so a caller fails cleanly instead of trusting a guess.
#include "mox/mox.h"

ZEL_API int32_t MoxsEnvSect(struct VE_FEATURE_SPEC *spec, const ENVELOPE *envelope, int32_t method)
{
    (void)spec;
    (void)envelope;
    (void)method;
    return MOX_E_INTERNAL;
}

ZEL_API int32_t MoxsSrchComp(struct VE_FEATURE_SPEC *spec, const FEATURE_STRUCT *shape,
                             int32_t method, int32_t *relation, int32_t *work,
                             int32_t relation_flag)
{
    (void)spec;
    (void)shape;
    (void)method;
    (void)relation;
    (void)work;
    (void)relation_flag;
    return MOX_E_INTERNAL;
}

ZEL_API int32_t MoxEvaluateRelation(int32_t filter_entity, int32_t feature_entity, int32_t relation,
                                    int32_t *work, const char *pattern)
{
    (void)filter_entity;
    (void)feature_entity;
    (void)relation;
    (void)work;
    (void)pattern;
    return MOX_E_INTERNAL;
}
