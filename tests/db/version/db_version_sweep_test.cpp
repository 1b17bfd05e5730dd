// Fault sweeps over the versioning entry points that write or commit:
// states, versions and registrations through the catalogue's routines.
// Each row runs its entry point in a small scenario, then once per CLI call
// with that call failing (tests/support/fault_sweep.h says what every
// failure must leave). One row per entry point, with its scenario and its
// transaction rule.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/version/db_registry_sp.h"
#include "db/version/db_state.h"
#include "db/version/db_version.h"
#include "tests/db/version/mv_fixture.h"
#include "tests/db/version/state_fixture.h"
#include "tests/support/fault_sweep.h"

using namespace state_test;
using scli::Txn;

namespace
{

std::string delete_states(int32_t first, int32_t last)
{
    std::string list;
    for (int32_t i = first; i <= last; i++)
        list += (i == first ? "" : ",") + std::to_string(i);
    return "EXECUTE FUNCTION delete_state(LIST{" + list + "})";
}

const std::string kVersionInsert = "EXECUTE FUNCTION insert_version(?,?,?,?,?,?,?,?, ?) ";

VERSION edits()
{
    VERSION v{};
    strcpy(v.name, "edits");
    strcpy(v.owner, "bob");
    v.version_id = 5;
    v.status = VERSION_PROTECTED;
    v.state_id = 12;
    strcpy(v.parent_name, "DEFAULT");
    strcpy(v.parent_owner, "zel");
    v.parent_version_id = 1;
    v.creation_time = kCreatedTime;
    return v;
}

void registry_answer(const std::string &sql)
{
    scli::on_sql(sql).columns({{"status", SQL_INTEGER}}).row({scli::i32(0)});
}

} // namespace

class VersionSweep : public StateTest
{
};

TEST_F(VersionSweep, EveryFailingCallIsAnsweredAndRolledBack)
{
    uint8_t lineage[] = {0x02, 0x00, 0x03};
    STATE state{};
    state.lineage = lineage;
    state.lineage_length = 2;
    int32_t new_id = 0;
    std::vector<int32_t> ids;
    for (int32_t i = 1; i <= 250; i++)
        ids.push_back(i);
    VERSION v = edits();
    char name[DB_VERSION_NAME_OUT_SIZE] = "";
    const std::vector<scli::SweepCase> cases = {
        {"DB_sp_states_def_insert", Txn::One,
         [] {
             scli::on_sql(" {call insert_state(?,?,?)}")
                 .columns(
                     {{"code", SQL_INTEGER}, {"message", SQL_VARCHAR, 255}, {"id", SQL_INTEGER}})
                 .row({scli::i32(0), scli::null(), scli::i32(8)});
         },
         [&] { return DB_sp_states_def_insert(nullptr, &state, &new_id); }},
        // Two hundred states a call, each call committed: the calls before
        // the failure stay.
        {"DB_sp_states_def_delete", Txn::Batches,
         [] {
             function_answer(delete_states(1, 200), 0);
             function_answer(delete_states(201, 250), 0);
         },
         [&] { return DB_sp_states_def_delete(nullptr, ids.data(), 250); }},
        {"DB_sp_versions_def_insert", Txn::One,
         [] {
             scli::on_sql(kVersionInsert)
                 .columns({{"code", SQL_INTEGER},
                           {"message", SQL_VARCHAR, 255},
                           {"name", SQL_CHAR, 128}})
                 .row({scli::i32(0), scli::null(), scli::chr("edits", 5)});
         },
         [&] { return DB_sp_versions_def_insert(nullptr, &v, 1, name); }},
        {"DB_sp_versions_def_change_state", Txn::One,
         [] { function_answer("EXECUTE FUNCTION change_version_state(?,?,?)", 0); },
         [&] { return DB_sp_versions_def_change_state(nullptr, &v, 30); }},
        {"DB_sp_versions_def_delete", Txn::One,
         [] { function_answer("EXECUTE FUNCTION zel:delete_version(?) ", 0); },
         [&] { return DB_sp_versions_def_delete(nullptr, "bob", "edits"); }},
        {"DB_sp_versions_def_update", Txn::One,
         [] {
             function_answer(
                 "EXECUTE FUNCTION update_version(ROW(?,?,?,?,?,?,?,?,?,?)::version_info)", 0);
         },
         [&] { return DB_sp_versions_def_update(nullptr, &v); }},
        {"DB_sp_versions_def_rename", Txn::One,
         [] { function_answer("EXECUTE FUNCTION zel:rename_version(?,?,?) ", 0); },
         [&] { return DB_sp_versions_def_rename(nullptr, "bob", "edits", "works"); }},
    };
    scli::sweep_all("states and versions", cases);
}

class RegistrySweep : public MvTest
{
};

TEST_F(RegistrySweep, EveryFailingCallIsAnsweredAndRolledBack)
{
    REGISTRATION r = roads();
    // The registry routines write in the caller's transaction.
    const std::vector<scli::SweepCase> cases = {
        {"DB_sp_registry_def_insert", Txn::Caller,
         [] { registry_answer("{call zel:zel.insert_registration (?,?,?,?,?,?,?,?,?,?,?)}"); },
         [&] { return DB_sp_registry_def_insert(instance_, &r); }},
        {"DB_sp_registry_def_update", Txn::Caller,
         [] { registry_answer("{call zel:zel.update_registration (?,?,?,?,?,?,?)}"); },
         [&] { return DB_sp_registry_def_update(instance_, &r); }},
        {"DB_sp_registry_def_delete", Txn::Caller,
         [] { registry_answer("{call zel:zel.delete_registration (?) }"); },
         [&] { return DB_sp_registry_def_delete(instance_, 7); }},
        {"DB_sp_registry_def_change_table_name", Txn::Caller,
         [] { registry_answer("{call zel:zel.change_registration_table_name (?,?)}"); },
         [&] { return DB_sp_registry_def_change_table_name(instance_, 7, "streets"); }},
    };
    scli::sweep_all("registrations", cases);
}
