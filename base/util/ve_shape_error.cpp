// The table from geometry-module results to engine codes
// (base/util/ve_shape_error.h). Module codes run from -2001 to -2049 with
// -2999 apart; the module's own names are in mox/mox.h. Engine codes that only
// ever arise here are kept as numbers in the table.
#include "base/util/ve_shape_error.h"

#include "base/util/zel_errors.h"
#include "mox/mox.h"

// Engine code of module result -2001 - i.
static const int32_t S_engine_codes[] = {
    ZE_NULL_SHAPE,          /* -2001 */
    ZE_NULL_POINTER,        /* -2002 */
    ZE_INVALID_ARGUMENT,    /* -2003 */
    ZE_INVALID_ENTITY_TYPE, /* -2004 */
    ZE_INVALID_SHAPE,       /* -2005 */
    ZE_INVALID_NUM_POINTS,  /* -2006 */
    -136,                   /* -2007 */
    -82,                    /* -2008 */
    ZE_INVALID_RELATION,    /* -2009 */
    -75,                    /* -2010 */
    -76,                    /* -2011 */
    -36,                    /* -2012 */
    -67,                    /* -2013 */
    -72,                    /* -2014 */
    -81,                    /* -2015 */
    -123,                   /* -2016 */
    -94,                    /* -2017 */
    ZE_BUFFER_NO_MEMORY,    /* -2018: the feature code's out-of-memory code */
    -137,                   /* -2019 */
    ZE_COORDREF_MISMATCH,   /* -2020 */
    -139,                   /* -2021 */
    -58,                    /* -2022 */
    ZE_INVALID_COORDREF,    /* -2023 */
    ZE_COORD_OUT_OF_RANGE,  /* -2024 */
    -143,                   /* -2025 */
    -145,                   /* -2026 */
    -147,                   /* -2027 */
    -148,                   /* -2028 */
    -149,                   /* -2029 */
    -150,                   /* -2030 */
    -151,                   /* -2031 */
    -152,                   /* -2032 */
    -153,                   /* -2033 */
    -154,                   /* -2034 */
    -155,                   /* -2035 */
    -157,                   /* -2036 */
    -200,                   /* -2037 */
    -201,                   /* -2038 */
    -202,                   /* -2039 */
    -198,                   /* -2040 */
    -199,                   /* -2041 */
    -203,                   /* -2042 */
    -197,                   /* -2043 */
    -206,                   /* -2044 */
    -207,                   /* -2045 */
    -204,                   /* -2046 */
    -205,                   /* -2047 */
    -208,                   /* -2048 */
    -217,                   /* -2049 */
};

static const int32_t S_first_code = MOX_E_NULL_SHAPE; /* -2001 */
static const int32_t S_code_count =
    static_cast<int32_t>(sizeof(S_engine_codes) / sizeof(S_engine_codes[0]));

int32_t VES_map_shape_error_to_zel(int32_t result)
{
    if (result == MOX_SUCCESS)
        return 0;
    if (result == MOX_E_INTERNAL)
        return ZE_INTERNAL_ERROR;
    int64_t index = static_cast<int64_t>(S_first_code) - result;
    if (index >= 0 && index < S_code_count)
        return S_engine_codes[index];
    return ZE_FAILURE;
}
