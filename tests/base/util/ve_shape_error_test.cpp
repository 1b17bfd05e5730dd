// Geometry-module results to engine codes: the whole table, and the values
// outside it. The table is written in numbers on purpose: it pins the codes
// hosts see, independently of the names the source uses.
#include "base/util/ve_shape_error.h"
#include "base/util/zel_errors.h"

#include <gtest/gtest.h>

#include <stdint.h>

#include <map>

TEST(ShapeErrorMap, EveryModuleCodeHasItsEngineCode)
{
    const std::map<int32_t, int32_t> table = {
        {-2001, -134}, {-2002, -65},  {-2003, -66},  {-2004, -27},  {-2005, -135}, {-2006, -29},
        {-2007, -136}, {-2008, -82},  {-2009, -30},  {-2010, -75},  {-2011, -76},  {-2012, -36},
        {-2013, -67},  {-2014, -72},  {-2015, -81},  {-2016, -123}, {-2017, -94},  {-2018, -999},
        {-2019, -137}, {-2020, -138}, {-2021, -139}, {-2022, -58},  {-2023, -141}, {-2024, -142},
        {-2025, -143}, {-2026, -145}, {-2027, -147}, {-2028, -148}, {-2029, -149}, {-2030, -150},
        {-2031, -151}, {-2032, -152}, {-2033, -153}, {-2034, -154}, {-2035, -155}, {-2036, -157},
        {-2037, -200}, {-2038, -201}, {-2039, -202}, {-2040, -198}, {-2041, -199}, {-2042, -203},
        {-2043, -197}, {-2044, -206}, {-2045, -207}, {-2046, -204}, {-2047, -205}, {-2048, -208},
        {-2049, -217}, {-2999, -83},
    };
    for (const auto &[module, engine] : table)
        EXPECT_EQ(VES_map_shape_error_to_zel(module), engine) << "module code " << module;
}

TEST(ShapeErrorMap, SuccessAndUnlistedValues)
{
    EXPECT_EQ(VES_map_shape_error_to_zel(0), ZE_SUCCESS);
    for (int32_t value : {-2000, -2050, -2998, -3000, -1, 1, 5, INT32_MAX, INT32_MIN})
        EXPECT_EQ(VES_map_shape_error_to_zel(value), ZE_FAILURE) << "value " << value;
}
