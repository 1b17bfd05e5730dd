// Tests the process slots: add, find, update, delete and scan, the count in
// the header, no slots at all, and several processes taking slots at once
// without a mutex (each gets its own).
#include "tests/server/svrsys/sm_fixture.h"

#include "base/util/zel_errors.h"

#include <gtest/gtest.h>

#include <time.h>

#include <set>

using namespace sm_test;

TEST(SmPinfo, AddFindUpdateDelete)
{
    Capacities c;
    c.nproc = 3;
    Instance instance(c);
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;

    int32_t before = static_cast<int32_t>(time(nullptr));
    ASSERT_EQ(SM_pinfo_add(m, 101), 0);
    ASSERT_EQ(SM_pinfo_add(m, 102), 0);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_PROCESSES_IN_USE), 2);
    SM_PINFO *slot = SM_pinfo_find(m, 102);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot, &m->pinfo[1]);
    EXPECT_EQ(slot->id_copy, 102);
    EXPECT_GE(slot->start_time, before);
    EXPECT_EQ(SM_pinfo_find_by_server(m, 102), slot);
    EXPECT_EQ(SM_pinfo_find(m, 0), &m->pinfo[2]) << "id 0 finds a free slot";
    EXPECT_EQ(SM_pinfo_find(m, 999), nullptr);

    SM_PINFO record = *slot;
    record.host[0] = 7;
    record.host[16] = -7;
    EXPECT_EQ(SM_pinfo_update(m, &record), 0);
    EXPECT_EQ(slot->host[0], 7);
    EXPECT_EQ(slot->host[16], -7);
    record.id = 999;
    EXPECT_EQ(SM_pinfo_update(m, &record), ZE_PROCESS_NOT_FOUND);

    ASSERT_EQ(SM_pinfo_add(m, 103), 0);
    EXPECT_EQ(SM_pinfo_add(m, 104), ZE_FAILURE) << "no free slot";
    EXPECT_EQ(SM_pinfo_delete(m, 102), 0);
    EXPECT_EQ(SM_pinfo_delete(m, 102), ZE_FAILURE);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_PROCESSES_IN_USE), 2);
    // A reused slot starts zeroed.
    ASSERT_EQ(SM_pinfo_add(m, 104), 0);
    EXPECT_EQ(SM_pinfo_find(m, 104), slot);
    EXPECT_EQ(slot->host[0], 0);
    EXPECT_EQ(SM_pinfo_add(m, 0), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SM_pinfo_add(nullptr, 5), ZE_NULL_POINTER);
}

TEST(SmPinfo, NoSlotsAtAll)
{
    Capacities c;
    c.nproc = 0;
    Instance instance(c);
    ASSERT_EQ(instance.created, 0);
    EXPECT_EQ(SM_pinfo_add(instance.master, 1), ZE_FAILURE);
    EXPECT_EQ(SM_pinfo_find(instance.master, 0), nullptr);
    SM_PINFO record;
    EXPECT_EQ(SM_pinfo_scan(instance.master, SM_PINFO_SCAN_FIRST, &record), ZE_NO_MORE_ROWS);
}

TEST(SmPinfo, ScanModes)
{
    Capacities c;
    c.nproc = 4;
    Instance instance(c);
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    SM_PINFO record;
    EXPECT_EQ(SM_pinfo_scan(m, SM_PINFO_SCAN_NEXT, &record), ZE_SCAN_NOT_STARTED);
    for (int32_t id : {11, 12, 13})
        ASSERT_EQ(SM_pinfo_add(m, id), 0);
    ASSERT_EQ(SM_pinfo_delete(m, 12), 0);

    struct Step {
        int32_t mode;
        int32_t result;
        int32_t id; // of the record, when the result is 0 and a slot came
    } steps[] = {
        {SM_PINFO_SCAN_FIRST, 0, 11},
        {SM_PINFO_SCAN_NEXT, 0, 13},
        {SM_PINFO_SCAN_NEXT, ZE_NO_MORE_ROWS, 0},
        {SM_PINFO_SCAN_NEXT, ZE_SCAN_NOT_STARTED, 0},
        {SM_PINFO_SCAN_FIRST, 0, 11},
        {7, 0, 0},
        {SM_PINFO_SCAN_NEXT, 0, 13},
        {SM_PINFO_SCAN_FIRST, 0, 11},
        {SM_PINFO_SCAN_END, 0, 0},
        {SM_PINFO_SCAN_NEXT, ZE_SCAN_NOT_STARTED, 0},
    };
    int n = 0;
    for (const Step &s : steps) {
        record.id = 0;
        EXPECT_EQ(SM_pinfo_scan(m, s.mode, &record), s.result) << "step " << n;
        if (s.id != 0) {
            EXPECT_EQ(record.id, s.id) << "step " << n;
        }
        ++n;
    }
}

TEST(SmPinfo, ProcessesTakingSlotsAtOnceEachGetTheirOwn)
{
    constexpr int kProcesses = 6;
    constexpr int kRounds = 200;
    Capacities c;
    c.nproc = kProcesses;
    Instance instance(c);
    ASSERT_EQ(instance.created, 0);
    // Each process takes and frees a slot many times over while the others do
    // the same; a slot taken twice would show as a lost delete or a count off.
    forked::Child racers[kProcesses];
    for (int i = 0; i < kProcesses; ++i) {
        racers[i] = forked::start([&, i](const forked::Link &link) {
            SM_MASTER *own = nullptr;
            if (SM_server_open(nullptr, instance.name.c_str(), 0, 0, nullptr, &own) != 0)
                return 1;
            link.receive(); // start together
            int32_t id = 1000 + i;
            for (int round = 0; round < kRounds; ++round) {
                if (SM_pinfo_add(own, id) != 0)
                    return 2;
                SM_PINFO *slot = SM_pinfo_find(own, id);
                if (!slot || slot->id_copy != id)
                    return 3;
                if (SM_pinfo_delete(own, id) != 0)
                    return 4;
            }
            if (SM_pinfo_add(own, id) != 0)
                return 5;
            SM_server_close(own);
            return 0;
        });
        ASSERT_GT(racers[i].pid, 0);
    }
    for (forked::Child &racer : racers)
        racer.link.send('g');
    for (forked::Child &racer : racers)
        EXPECT_EQ(forked::finish(racer), 0);
    EXPECT_EQ(SM_shared_info(instance.master, SM_INFO_PROCESSES_IN_USE), kProcesses);
    std::set<int32_t> ids;
    for (int i = 0; i < kProcesses; ++i)
        ids.insert(instance.master->pinfo[i].id);
    EXPECT_EQ(ids.size(), static_cast<size_t>(kProcesses));
    EXPECT_EQ(ids.count(0), 0u);
}

TEST(SmPinfo, TheProcessCountIsTheCountOfClaimedSlots)
{
    Capacities c;
    Instance instance(c);
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    ASSERT_EQ(SM_pinfo_add(m, 11), 0);
    ASSERT_EQ(SM_pinfo_add(m, 12), 0);
    int32_t *w = sm_header(m);
    // A server killed between claiming its slot and counting it, and a word
    // that drifted away (as after many such kills).
    m->pinfo[c.nproc - 1].id = 13;
    w[SM_HW_PROCESSES] = -34;
    EXPECT_EQ(SM_shared_info(m, SM_INFO_PROCESSES_IN_USE), 3);
    ASSERT_EQ(SM_pinfo_delete(m, 13), 0);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_PROCESSES_IN_USE), 2);
    EXPECT_EQ(w[SM_HW_PROCESSES], 2) << "the word is set again from the slots";
    ASSERT_EQ(SM_pinfo_delete(m, 11), 0);
    ASSERT_EQ(SM_pinfo_delete(m, 12), 0);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_PROCESSES_IN_USE), 0);
    EXPECT_EQ(w[SM_HW_PROCESSES], 0);
}
