// Smart large objects through the scripted CLI's large-object store: the
// column's create spec, writes and reads back byte for byte, a null value,
// the bounds on the column name and the object size, and a fault sweep.
#include "db/core/db_cli_internal.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/util/zel_errors.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/scli_lob_store.h"

namespace
{

using Strings = std::vector<std::string>;

const Strings kSpecCalls{"{call ifx_lo_def_create_spec(?)}", "{call ifx_lo_col_info(?, ?)}"};
const Strings kWriteCalls{"{call ifx_lo_create(?, ?, ?, ?)}", "{call ifx_lo_write(?, ?)}",
                          "{call ifx_lo_close(?)}"};
const Strings kReadCalls{"{? = call  ifx_lo_open(?, ?)}", "{call ifx_lo_stat(?, ?)}",
                         "{call ifx_lo_stat_size(?, ?)}", "{call ifx_lo_read(?, ?)}",
                         "{call ifx_lo_close(?)}"};

Strings concat(std::initializer_list<Strings> parts)
{
    Strings all;
    for (const Strings &p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

class LargeObject : public CliConnected
{
  protected:
    void SetUp() override
    {
        CliConnected::SetUp();
        scli::lob_store_install();
    }

    // Writes bytes as a new object; returns the pointer record (the column value).
    std::string write(const std::string &bytes)
    {
        DB_LOB_HANDLE *lob = nullptr;
        EXPECT_EQ(db_lob_handle_create("parcels", "photo", DB_LOB_ACCESS_DEFAULT, &lob), 0);
        EXPECT_EQ(db_lob_create_spec(lob, DB_LOB_INSERT), 0);
        lob->data = const_cast<char *>(bytes.data());
        lob->data_size = static_cast<int32_t>(bytes.size());
        lob->data_length = static_cast<SQLLEN>(bytes.size());
        EXPECT_EQ(db_lob_transfer(lob, DB_LOB_INSERT), 0);
        EXPECT_EQ(db_lob_close(lob), 0);
        EXPECT_EQ(lob->pointer_indicator, lob->pointer_length);
        std::string pointer(reinterpret_cast<char *>(lob->pointer),
                            static_cast<size_t>(lob->pointer_length));
        db_lob_handle_free(lob, 0); // the bytes are the caller's
        return pointer;
    }

    // Reads the object behind a fetched pointer record into a handle of its own.
    DB_LOB_HANDLE *open_for_read(const std::string &pointer)
    {
        DB_LOB_HANDLE *lob = nullptr;
        EXPECT_EQ(db_lob_handle_create("parcels", "photo", DB_LOB_ACCESS_DEFAULT, &lob), 0);
        EXPECT_EQ(db_lob_create_spec(lob, DB_LOB_READ), 0);
        lob->pointer = static_cast<unsigned char *>(malloc(pointer.size()));
        memcpy(lob->pointer, pointer.data(), pointer.size());
        lob->pointer_length = static_cast<SQLSMALLINT>(pointer.size());
        lob->pointer_indicator = static_cast<SQLLEN>(pointer.size());
        return lob;
    }
};

TEST_F(LargeObject, WrittenBytesReadBackExactly)
{
    std::string binary("\x00\x01\xff\x7f text\x00 tail", 15);
    std::string large(70000, '\0');
    for (size_t i = 0; i < large.size(); i++)
        large[i] = static_cast<char>(i * 7);
    for (const std::string &bytes : {std::string("abc"), std::string(), binary, large}) {
        scli::lob_store_install();
        const std::string pointer = write(bytes);
        EXPECT_EQ(scli::lob_store().last_column, "parcels.photo");
        DB_LOB_HANDLE *lob = open_for_read(pointer);
        // A caller's buffer that is too small is grown; one that is large
        // enough is reused.
        lob->data = static_cast<char *>(malloc(4));
        lob->data_length = 4;
        ASSERT_EQ(db_lob_transfer(lob, DB_LOB_READ), 0);
        EXPECT_EQ(lob->data_size, static_cast<int32_t>(bytes.size()));
        ASSERT_EQ(lob->data_length, static_cast<SQLLEN>(bytes.size()));
        EXPECT_EQ(std::string(lob->data, bytes.size()), bytes);
        EXPECT_EQ(lob->data[bytes.size()], '\0');
        EXPECT_EQ(lob->open, 1);
        ASSERT_EQ(db_lob_close(lob), 0);
        EXPECT_EQ(lob->open, 0);
        EXPECT_TRUE(scli::lob_store().open.empty());
        db_lob_handle_free(lob, 1);
        EXPECT_EQ(scli::executed(), concat({kSpecCalls, kWriteCalls, kReadCalls})) << bytes.size();
        scli::reset();
        connect();
    }
}

TEST_F(LargeObject, NullValueCreatesObjectButLeavesColumnNull)
{
    DB_LOB_HANDLE *lob = nullptr;
    ASSERT_EQ(db_lob_handle_create("", "photo", DB_LOB_ACCESS_DEFAULT, &lob), 0);
    EXPECT_STREQ(lob->column_name, "photo");
    EXPECT_EQ(lob->name_indicator, 6);
    ASSERT_EQ(db_lob_create_spec(lob, DB_LOB_UPDATE), 0);
    lob->data_length = SQL_NULL_DATA;
    ASSERT_EQ(db_lob_transfer(lob, DB_LOB_UPDATE), 0);
    EXPECT_EQ(lob->pointer_indicator, SQL_NULL_DATA);
    ASSERT_EQ(db_lob_close(lob), 0);
    EXPECT_EQ(scli::executed(),
              concat({kSpecCalls, {"{call ifx_lo_create(?, ?, ?, ?)}", "{call ifx_lo_close(?)}"}}));

    // Reading a null column makes no server call.
    lob->data = static_cast<char *>(malloc(8));
    memcpy(lob->data, "stale", 6);
    lob->data_length = 8;
    lob->data_size = 5;
    const size_t before = scli::executed().size();
    ASSERT_EQ(db_lob_transfer(lob, DB_LOB_READ), 0);
    EXPECT_EQ(scli::executed().size(), before);
    EXPECT_STREQ(lob->data, "");
    EXPECT_EQ(lob->data_size, 0);
    EXPECT_EQ(lob->data_length, 0);
    db_lob_handle_free(lob, 1);
}

TEST_F(LargeObject, ColumnNameMustFitItsField)
{
    const std::string table(100, 't');
    struct Case {
        std::string table;
        std::string column;
        int32_t rc;
    } cases[] = {
        {table, std::string(26, 'c'), 0},                   // 127 characters
        {table, std::string(27, 'c'), ZE_INVALID_ARGUMENT}, // 128
        {std::string(64, 't'), std::string(126, 'c'), ZE_INVALID_ARGUMENT},
        {"", std::string(127, 'c'), 0},
    };
    for (const Case &c : cases) {
        DB_LOB_HANDLE *lob = reinterpret_cast<DB_LOB_HANDLE *>(1);
        EXPECT_EQ(db_lob_handle_create(c.table.c_str(), c.column.c_str(), 8, &lob), c.rc)
            << c.table.size() << "+" << c.column.size();
        if (c.rc == 0) {
            EXPECT_EQ(strlen(lob->column_name),
                      c.table.empty() ? c.column.size() : c.table.size() + 1 + c.column.size());
        } else {
            EXPECT_EQ(lob, nullptr);
        }
        db_lob_handle_free(lob, 1);
    }
    DB_LOB_HANDLE *lob = nullptr;
    EXPECT_EQ(db_lob_handle_create("t", nullptr, 8, &lob), ZE_NULL_POINTER);
    EXPECT_EQ(db_lob_handle_create("t", "c", 8, nullptr), ZE_NULL_POINTER);
}

TEST_F(LargeObject, ObjectsOfTwoGigabytesAreRefused)
{
    const std::string pointer = write("small");
    for (int64_t size : {int64_t{2147483648}, int64_t{5000000000}}) {
        scli::lob_store().size_override = size;
        DB_LOB_HANDLE *lob = open_for_read(pointer);
        EXPECT_EQ(db_lob_transfer(lob, DB_LOB_READ), ZE_OUT_OF_MEMORY) << size;
        EXPECT_EQ(lob->data, nullptr);
        EXPECT_EQ(db_lob_close(lob), 0);
        db_lob_handle_free(lob, 1);
    }
}

TEST_F(LargeObject, ReadLengthIsClampedToTheObject)
{
    const std::string pointer = write("exact");
    scli::lob_store().read_length_excess = 40;
    DB_LOB_HANDLE *lob = open_for_read(pointer);
    // The driver reports the cut text with a warning: still a success.
    EXPECT_EQ(db_lob_transfer(lob, DB_LOB_READ), SQL_SUCCESS_WITH_INFO);
    EXPECT_EQ(lob->data_size, 5);
    EXPECT_EQ(lob->data_length, 5);
    EXPECT_STREQ(lob->data, "exact");
    EXPECT_EQ(db_lob_close(lob), 0);
    db_lob_handle_free(lob, 1);
}

TEST_F(LargeObject, ServerRefusalStaysInTheHandle)
{
    DB_LOB_HANDLE *lob = open_for_read(std::string(16, 'z'));
    EXPECT_EQ(db_lob_transfer(lob, DB_LOB_READ), SQL_ERROR);
    EXPECT_EQ(lob->cli.native_error, -9810);
    EXPECT_STREQ(lob->cli.sqlstate, "IX000");
    EXPECT_EQ(lob->open, 0);
    EXPECT_EQ(db_lob_close(lob), 0); // nothing open: no call
    EXPECT_EQ(scli::executed(), concat({{"{? = call  ifx_lo_open(?, ?)}"}}));
    db_lob_handle_free(lob, 1);

    // A write that claims more bytes than its buffer holds is refused before
    // any server call.
    ASSERT_EQ(db_lob_handle_create("t", "c", 8, &lob), 0);
    ASSERT_EQ(db_lob_create_spec(lob, DB_LOB_INSERT), 0);
    char bytes[4] = {'a', 'b', 'c', 'd'};
    lob->data = bytes;
    const size_t calls = scli::executed().size();
    for (SQLLEN length : {SQLLEN{5}, SQLLEN{-3}}) {
        lob->data_size = 4;
        lob->data_length = length;
        EXPECT_EQ(db_lob_transfer(lob, DB_LOB_INSERT), ZE_INVALID_ARGUMENT) << length;
    }
    EXPECT_EQ(scli::executed().size(), calls);
    db_lob_handle_free(lob, 0);

    // A transfer before the create spec was read is refused.
    ASSERT_EQ(db_lob_handle_create("t", "c", 8, &lob), 0);
    EXPECT_EQ(db_lob_transfer(lob, DB_LOB_INSERT), ZE_NULL_POINTER);
    EXPECT_EQ(db_lob_transfer(nullptr, DB_LOB_READ), ZE_NULL_POINTER);
    db_lob_handle_free(lob, 1);
}

// Every CLI call of a write and read-back in turn fails: the operation that
// made it returns a failure code with the diagnostic in the handle's record,
// and after the frees no handle is left.
TEST_F(LargeObject, FaultSweepOverWriteAndRead)
{
    auto round_trip = [](int *failed_step) {
        DB_LOB_HANDLE *lob = nullptr;
        int32_t rc = db_lob_handle_create("parcels", "photo", DB_LOB_ACCESS_DEFAULT, &lob);
        if (rc != 0)
            return rc;
        std::string bytes = "round trip";
        int step = 0;
        auto steps = [&]() -> int32_t {
            ++step;
            if ((rc = db_lob_create_spec(lob, DB_LOB_INSERT)) < 0)
                return rc;
            lob->data = bytes.data();
            lob->data_size = static_cast<int32_t>(bytes.size());
            lob->data_length = static_cast<SQLLEN>(bytes.size());
            ++step;
            if ((rc = db_lob_transfer(lob, DB_LOB_INSERT)) < 0)
                return rc;
            ++step;
            if ((rc = db_lob_close(lob)) < 0)
                return rc;
            lob->data = nullptr;
            lob->data_length = 0;
            ++step;
            if ((rc = db_lob_transfer(lob, DB_LOB_READ)) < 0)
                return rc;
            if (std::string(lob->data, static_cast<size_t>(lob->data_length)) != bytes)
                return ZE_FAILURE - 1000;
            ++step;
            return db_lob_close(lob);
        };
        rc = steps();
        *failed_step = step;
        if (lob->data == bytes.data())
            lob->data = nullptr; // the test's own bytes, not the handle's
        if (rc < 0 && rc != ZE_OUT_OF_MEMORY) {
            EXPECT_NE(lob->cli.sqlstate[0], '\0') << "step " << step;
        }
        db_lob_handle_free(lob, 1);
        return rc;
    };
    int step = 0;
    ASSERT_EQ(round_trip(&step), 0);
    const int calls = static_cast<int>(scli::journal().size()) - setup_calls();
    for (int k = 1; k <= calls; k++) {
        scli::reset();
        connect();
        scli::lob_store_install();
        const int base = static_cast<int>(scli::journal().size());
        scli::fail_call("", base + k, SQL_ERROR, {"HY000", -999, "injected"});
        const int32_t rc = round_trip(&step);
        const scli::Call &failed = scli::journal()[static_cast<size_t>(base + k - 1)];
        if (failed.fn == "SQLFreeStmt" || failed.fn == "SQLFreeHandle")
            EXPECT_GE(rc, 0) << k << " " << failed.fn;
        else
            EXPECT_EQ(rc, SQL_ERROR) << k << " " << failed.fn << " step " << step;
        disconnect();
        const Strings left = scli::leaks();
        EXPECT_TRUE(left.empty()) << k << " " << failed.fn << ": " << left.front();
    }
}

} // namespace
