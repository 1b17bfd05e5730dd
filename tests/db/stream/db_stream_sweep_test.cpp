// Fault sweeps over the data streams' entry points that write or commit:
// the delete by WHERE text. Each row runs its entry point in
// a small scenario, then once per CLI call with that call failing
// (tests/support/fault_sweep.h says what every failure must leave). One row
// per entry point, with its scenario and its transaction rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/stream/db_stream_delete.h"
#include "tests/db/stream/write_fixture.h"
#include "tests/support/fault_sweep.h"

using namespace write_test;
using scli::Txn;

class StreamSweep : public WriteFixture
{
};

TEST_F(StreamSweep, EveryFailingCallIsAnsweredAndRolledBack)
{
    const auto scenario = [] { scli::log_store_install(); };
    const REGISTRATION reg = registration_of("parcels", 7, REG_ROWID_ENGINE, "objectid");
    REGISTRATION local = reg;
    local.database_name[0] = '\0';
    std::vector<int32_t> ids;
    for (int32_t i = 1; i <= 151; i++)
        ids.push_back(i);
    // A DELETE matching no row is told by the row count: the delete itself
    // succeeded.
    const std::vector<scli::SweepCase> cases = {
        {"DB_stream_delete_where",
         Txn::One,
         scenario,
         [&] { return DB_stream_delete_where(stream_, "gis:bob.parcels", "objectid = 3"); },
         {},
         {"SQLRowCount"}},
        // Each batch of 150 ids commits by itself: the batches before a
        // failure stay deleted.
        {"DB_stream_delete_by_ids",
         Txn::Batches,
         scenario,
         [&] { return DB_stream_delete_by_ids(stream_, &reg, ids.data(), 151); },
         {},
         {"SQLRowCount"}},
        // A registration without a database: the current one is looked up.
        {"DB_stream_delete_by_ids, current database",
         Txn::Batches,
         scenario,
         [&] { return DB_stream_delete_by_ids(stream_, &local, ids.data(), 3); },
         {},
         {"SQLRowCount"}},
    };
    scli::sweep_all("data streams", cases);
}
