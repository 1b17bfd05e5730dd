// Log delete by name while the log system is not started.
#include <gtest/gtest.h>

#include "base/util/zel_errors.h"
#include "db/catalog/db_log.h"

namespace
{

TEST(LogDelete, NameIsCheckedBeforeTheLogSystem)
{
    const std::pair<const char *, int32_t> cases[] = {{nullptr, ZE_INVALID_ARGUMENT},
                                                      {"", ZE_INVALID_ARGUMENT},
                                                      {"tmp_log_1", ZE_LOG_NOT_INITIALISED}};
    for (auto [name, expected] : cases)
        EXPECT_EQ(DB_log_delete(nullptr, name), expected) << (name ? name : "null");
}

} // namespace
