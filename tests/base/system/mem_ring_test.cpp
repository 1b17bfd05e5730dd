// Records over the rings of both memory transports, as a host's channel
// moves them: what a record write leaves behind reaches the reader without a
// flush, data waiting counts what a read has already taken out of the ring,
// and records larger than the ring cross whole while the reader takes them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "base/system/ch_channel.h"
#include "base/system/ch_channel_internal.h"
#include "base/system/cmem_channel_internal.h"
#include "base/system/shm_channel_internal.h"
#include "base/util/zel_errors.h"

namespace
{

// Two channels of one memory transport: type 2 paired, or type 3 with the
// two sides of one shared-memory channel in this process.
struct Ends {
    CH_CHANNEL *a = nullptr, *b = nullptr;
    explicit Ends(uint32_t type)
    {
        a = CH_create(type, 0, nullptr);
        b = CH_create(type, 0, nullptr);
        if (type == CH_TYPE_COORDINATED_MEMORY) {
            EXPECT_EQ(ch_pair_coordinated_memory(a, b), ZE_SUCCESS);
            return;
        }
        const std::string name = "ringtest_" + std::to_string(getpid());
        SHM_OBJECT *creator = nullptr, *opener = nullptr;
        EXPECT_EQ(shm_client_init(&creator, name.c_str()), 0);
        EXPECT_EQ(SHM_server_init(&opener, name.c_str()), 0);
        EXPECT_EQ(ch_attach_shared_memory(creator, a, getpid()), ZE_SUCCESS);
        EXPECT_EQ(ch_attach_shared_memory(opener, b, getpid()), ZE_SUCCESS);
    }
    ~Ends()
    {
        CH_destroy(a);
        CH_destroy(b);
    }
    Ends(const Ends &) = delete;
    Ends &operator=(const Ends &) = delete;
};

const uint32_t kTypes[] = {CH_TYPE_COORDINATED_MEMORY, CH_TYPE_SHARED_MEMORY};

} // namespace

// Records written by one thread are read in the same thread without a flush:
// each one is handed over when it is written, and a read that took several
// into its area still reports the rest as waiting.
TEST(MemRing, RecordsArriveWithoutAFlushAndWaitingCountsWhatWasTaken)
{
    for (uint32_t type : kTypes) {
        SCOPED_TRACE(type);
        Ends e(type);
        EXPECT_EQ(CH_data_waiting(e.b), 0);
        ASSERT_EQ(CH_write_long(e.a, 11), ZE_SUCCESS);
        ASSERT_EQ(CH_write_string(e.a, "parcel"), ZE_SUCCESS);
        ASSERT_EQ(CH_write_lfloat(e.a, 2.5), ZE_SUCCESS);
        int32_t id = 0;
        ASSERT_EQ(CH_read_long(e.b, &id), ZE_SUCCESS);
        EXPECT_EQ(id, 11);
        EXPECT_EQ(CH_data_waiting(e.b), 1); // the string and the double
        char name[16] = {};
        ASSERT_EQ(CH_read_string(e.b, name, sizeof name), ZE_SUCCESS);
        EXPECT_STREQ(name, "parcel");
        EXPECT_EQ(CH_data_waiting(e.b), 1);
        double x = 0;
        ASSERT_EQ(CH_read_lfloat(e.b, &x), ZE_SUCCESS);
        EXPECT_EQ(x, 2.5);
        EXPECT_EQ(CH_data_waiting(e.b), 0);
        EXPECT_EQ(CH_flush(e.a), ZE_SUCCESS);
        EXPECT_EQ(CH_data_waiting(e.b), 0);
    }
}

// Blocks larger than the write area and than the ring cross whole, both
// ways, while the other thread reads them; small records between them keep
// their order.
TEST(MemRing, LargeRecordsCrossWhole)
{
    const int32_t sizes[] = {1, 8192, 8193, 65536, SHM_AREA_SIZE + 17, 3 * CMEM_RING_SIZE + 5};
    for (uint32_t type : kTypes) {
        SCOPED_TRACE(type);
        Ends e(type);
        std::thread writer([&] {
            for (int32_t size : sizes) {
                std::vector<uint8_t> block(static_cast<size_t>(size));
                for (size_t i = 0; i < block.size(); i++)
                    block[i] = static_cast<uint8_t>(i * 13 + static_cast<size_t>(size));
                if (CH_write_long(e.a, size) != ZE_SUCCESS ||
                    CH_write_block(e.a, block.data(), size) != ZE_SUCCESS) {
                    ADD_FAILURE() << "writing " << size << " bytes failed";
                    // Closing wakes the reader waiting for the rest.
                    CH_destroy(e.a);
                    e.a = nullptr;
                    return;
                }
            }
        });
        for (int32_t size : sizes) {
            SCOPED_TRACE(size);
            int32_t announced = 0;
            ASSERT_EQ(CH_read_long(e.b, &announced), ZE_SUCCESS);
            ASSERT_EQ(announced, size);
            std::vector<uint8_t> got(static_cast<size_t>(size));
            ASSERT_EQ(CH_read_block(e.b, got.data(), size), ZE_SUCCESS);
            for (size_t i = 0; i < got.size(); i++)
                ASSERT_EQ(got[i], static_cast<uint8_t>(i * 13 + static_cast<size_t>(size))) << i;
        }
        writer.join();
        EXPECT_EQ(CH_data_waiting(e.b), 0);
    }
}
