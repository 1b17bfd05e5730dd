// Fault sweeps over the access core's entry points that write or commit:
// the DBTUNE table's import and creation, the release row, and the commits
// of the transaction control. Each row runs its entry point in a small
// scenario, then once per CLI call with that call failing
// (tests/support/fault_sweep.h says what every failure must leave). One row
// per entry point, with its scenario and its transaction rule.
#include <gtest/gtest.h>

#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_dbtune.h"
#include "db/core/db_release_table.h"
#include "db/core/db_trans.h"
#include "tests/db/core/catalog_tables_sql.h"
#include "tests/db/core/dbtune_fixture.h"
#include "tests/support/fault_sweep.h"

using scli::Txn;

class CoreSweep : public DbtuneTest
{
};

TEST_F(CoreSweep, EveryFailingCallIsAnsweredAndRolledBack)
{
    write_file("my.dbtune", "##USERKW\nB_STORAGE \"IN userspace\"\nEND\n");
    auto config = std::make_unique<DBTUNE_SYSTEM_CONFIG>();
    memset(config.get(), 0, sizeof(*config));
    strcpy(config->B_STORAGE, " IN dd_space");
    config->counter = 100;
    RELEASE release;
    memset(&release, 0, sizeof(release));
    release.major = 8;
    release.minor = 1;
    release.release = 81100;
    const auto store = [](bool exists) {
        return [exists] {
            scli::dbtune_store_install().exists = exists;
            scli::dbtune_store().rows = {{"STALE", "B_STORAGE", "old", false}};
        };
    };
    const std::vector<scli::SweepCase> cases = {
        // The table emptied and loaded is one transaction.
        {"DB_instance_import_dbtune", Txn::One, store(true),
         [] { return DB_instance_import_dbtune(nullptr, "my.dbtune", 1); }},
        // The table and its grant commit each; the grant's failure is the
        // answer.
        {"DB_instance_dbtune_table_create", Txn::Steps, store(false),
         [&] { return DB_instance_dbtune_table_create(nullptr, "x", config.get()); }},
        // A release without its row changes nothing and is no failure, so
        // the row count only tells that case apart.
        {"DB_instance_update_release",
         Txn::One,
         [] { scli::on_sql(catalog_sql::kReleaseUpdate).row_count(1); },
         [&] { return DB_instance_update_release(nullptr, 81000, &release); },
         {},
         {"SQLRowCount"}},
        {"DB_trans_updt_commit", Txn::One, [] {}, [] { return DB_trans_updt_commit(nullptr); }},
        {"DB_trans_def_commit", Txn::One, [] {}, [] { return DB_trans_def_commit(nullptr); }},
        {"DB_trans_release_requests", Txn::One, [] {},
         [] { return DB_trans_release_requests(nullptr); }},
        {"DB_trans_auto_commit_control", Txn::One, [] {},
         [] { return DB_trans_auto_commit_control(nullptr); }},
    };
    scli::sweep_all("access core", cases);
}
