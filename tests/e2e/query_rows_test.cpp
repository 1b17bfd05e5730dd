// A query's rows from the server process to a client over loopback TCP, the
// whole road: a client process (forked) connects and sends the query command
// with its records (the selected columns, the SQL construct, the spatial
// filters and the search envelope); the server side, this process, reads
// them through its channel, runs the query road against the scripted CLI and
// streams the rows that pass the exact spatial test back through a row
// stream buffer, several messages and the last one marked; the client takes
// them out and checks every row, its id, indicators and shape points. Once
// over the socket channel with native buffers, once over the XDR channel
// with XDR buffers. The fixture rows are those of the query road's own test.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "base/system/ch_channel.h"
#include "base/system/ch_command.h"
#include "base/system/raw_form_internal.h"
#include "base/system/sb_buffer.h"
#include "base/util/ve_compress.h"
#include "base/util/ve_row_pointers.h"
#include "base/util/zel_errors.h"
#include "mox/mox.h"
#include "platform/plat_socket_internal.h"
#include "tests/db/stream/query_fixture.h"
#include "tests/support/forked_child.h"
#include "tests/support/peer_watchdog.h"
#include "tests/support/quiet_stderr.h"

// Each test talks to its peer within the watchdog's limit or fails.
ZEL_WATCH_EVERY_TEST(30);

using namespace query_test;

namespace
{

// Both peers agree on the buffers' capacity and encoding; the message does
// not carry them. Puts with the limit flag take two rows a message (the
// minimum fill is the whole capacity), so the four rows travel in two.
constexpr int32_t kCapacity = 4096;
constexpr int32_t kMinimumFill = kCapacity;
constexpr int32_t kRowsPerMessage = 2;
constexpr int kWaitMs = 20000;

struct Encoding {
    const char *name;
    uint32_t channel_type;
    int32_t buffer_encoding;
};

void PrintTo(const Encoding &encoding, std::ostream *out)
{
    *out << encoding.name;
}

// Bounds every blocking read of the socket, so a peer that stops answering
// ends the conversation instead of holding it.
void S_limit_reads(int socket)
{
    timeval limit = {kWaitMs / 1000, 0};
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

// ---- the client process ---------------------------------------------------

// One row as the client took it out of a buffer.
struct Received {
    int32_t id;
    std::string name;
    int16_t indicator;
    uint16_t entity;
    std::vector<POINT> points;
};

// The client's side: exit code 0 when it received exactly the passing rows,
// else the number of the step that failed (its reason on standard error).
int S_client(uint16_t port, const Encoding &encoding, VE_FILTER *filter)
{
    auto fail = [](int step, const char *what, int32_t rc) {
        fprintf(stderr, "client: %s failed (%d)\n", what, rc);
        return step;
    };
    int socket = plat_socket_connect("127.0.0.1", port);
    if (socket < 0)
        return fail(2, "connect", socket);
    S_limit_reads(socket);
    CH_CHANNEL *channel = CH_create(encoding.channel_type, 0, &socket);
    if (channel == nullptr)
        return fail(3, "CH_create", 0);

    // The query command and its records. The filter shape travels with the
    // layer's coordinate reference.
    COORDREF *coordref = nullptr;
    if (MoxCoordRefCreate(&coordref) != 0)
        return fail(4, "coordinate reference", 0);
    coordref->falsex = -400;
    coordref->falsey = -300;
    coordref->xyunits = 1000;
    coordref->srtext = strdup("PROJCS[\"local\"]");
    filter->shape->coordref = coordref;
    char roads[] = "roads";
    char *tables[] = {roads};
    VE_SQL_CONSTRUCT construct = {1, tables, nullptr};
    int32_t rc = CH_write_command(channel, CH_CMD_QueryLayer);
    if (rc == 0)
        rc = CH_write_short(channel, 2);
    if (rc == 0)
        rc = CH_write_string(channel, "name");
    if (rc == 0)
        rc = CH_write_string(channel, "shape");
    if (rc == 0)
        rc = CH_write_construct(channel, &construct);
    if (rc == 0)
        rc = CH_write_filter_array(channel, 1, filter);
    if (rc == 0)
        rc = CH_write_envp(channel, &kRoadBox);
    if (rc == 0)
        rc = CH_flush(channel);
    if (rc != 0)
        return fail(5, "sending the query", rc);

    // The answer: a status, the result's columns, then the rows.
    int32_t status = -1;
    rc = CH_read_long(channel, &status);
    if (rc != 0 || status != 0)
        return fail(6, "the query's status", rc != 0 ? rc : status);
    int16_t count = 0;
    DB_COLUMN_DEF *defs = nullptr;
    rc = CH_read_column_def(channel, &count, &defs);
    if (rc != 0 || count != 2 || defs[0].type != VE_STRING || defs[1].type != VE_SHAPE)
        return fail(7, "the result's columns", rc != 0 ? rc : count);
    int32_t id = 0;
    VE_ROW_POINTERS row{};
    row.column_count = count;
    row.columns = defs;
    row.aux_count = 1; // the row id travels before the values
    row.aux_longs = &id;
    if (VES_allocate_row_pointers(&row, 0) != 0)
        return fail(8, "the row", 0);
    SB_BUFFER *buffer = nullptr;
    rc = SB_init(SB_RECEIVE_BUFFER, kMinimumFill, kCapacity, kRowsPerMessage,
                 encoding.buffer_encoding, &buffer);
    if (rc != 0)
        return fail(9, "SB_init", rc);
    std::vector<Received> got;
    int messages = 1;
    rc = SB_receive_buffer(channel, buffer);
    while (rc == 0) {
        rc = SB_get_row(buffer, &row);
        if (rc == ZE_BUFFER_DRAINED) {
            messages++;
            rc = SB_receive_buffer(channel, buffer);
            continue;
        }
        if (rc != 0)
            break;
        Received r{id, static_cast<const char *>(row.values[0]), row.indicators[1], 0, {}};
        auto *shape = static_cast<FEATURE_STRUCT *>(row.values[1]);
        if (r.indicator == VE_IND_VALUE) {
            r.entity = shape->entity_type;
            if (VES_feature_uncompress(1, shape) != 0)
                return fail(10, "uncompressing a shape", 0);
            r.points.assign(shape->points, shape->points + shape->num_points);
        }
        got.push_back(r);
    }
    if (rc != ZE_NO_MORE_ROWS)
        return fail(11, "receiving the rows", rc);
    SB_free(buffer);
    VES_free_row_pointers(&row);
    free(defs);
    CH_destroy(channel);
    plat_socket_close(socket);
    MoxCoordRefFree(coordref);

    // Exactly the passing rows, in order, the second row of the crossing
    // feature without a shape of its own.
    if (messages != 2)
        return fail(12, "two messages", messages);
    if (got.size() != kRoadPassing.size())
        return fail(13, "the number of rows", static_cast<int32_t>(got.size()));
    for (size_t i = 0; i < got.size(); i++) {
        const Passing &want = kRoadPassing[i];
        const Received &r = got[i];
        if (r.id != want.id || r.name != want.name || r.indicator != want.indicator) {
            fprintf(stderr, "client: row %zu is %d \"%s\" %d\n", i, r.id, r.name.c_str(),
                    r.indicator);
            return 14;
        }
        if (r.indicator != VE_IND_VALUE)
            continue;
        bool same = r.entity == want.shape.entity && r.points.size() == want.shape.points.size();
        for (size_t p = 0; same && p < r.points.size(); p++)
            same =
                r.points[p].x == want.shape.points[p].x && r.points[p].y == want.shape.points[p].y;
        if (!same) {
            fprintf(stderr, "client: the shape of row %zu (%s) differs\n", i, want.name);
            return 15;
        }
    }
    return 0;
}

// ---- the server side --------------------------------------------------------

class QueryRowsToAClient : public QueryFixture, public ::testing::WithParamInterface<Encoding>
{
  protected:
    void TearDown() override
    {
        QueryFixture::TearDown(); // the stream holds the received filters until here
        raw_filter_array_free(filter_count_, filters_);
        raw_construct_clear(&received_construct_);
        for (char *name : received_columns_)
            free(name);
        if (socket_ >= 0)
            plat_socket_close(socket_);
        if (listener_ >= 0)
            plat_socket_close(listener_);
        if (client_.pid > 0) // a server that stopped early leaves the client no reason to stay
            forked::kill_child(client_);
    }

    // Reads the query command and its records from the channel.
    int32_t ReadQuery(CH_CHANNEL *channel, int32_t *command)
    {
        int32_t rc = CH_read_command(channel, command);
        int16_t columns = 0;
        if (rc == 0)
            rc = CH_read_short(channel, &columns);
        for (int16_t i = 0; rc == 0 && i < columns; i++) {
            char name[DB_NAME_COLUMN_SIZE];
            rc = CH_read_string(channel, name, sizeof name);
            if (rc == 0)
                received_columns_.push_back(strdup(name));
        }
        if (rc == 0)
            rc = CH_read_construct(channel, &received_construct_);
        if (rc == 0)
            rc = CH_read_filter_array(channel, &filter_count_, &filters_);
        if (rc == 0)
            rc = CH_read_envp(channel, &box_);
        return rc;
    }

    // The query road over the records received: constraints, set-up,
    // describe, execute. 0, or the failing step's code.
    int32_t RunQuery()
    {
        int32_t rc = DB_stream_set_spatial_constraints(stream_, filter_count_, filters_, box_, 0);
        if (rc != 0)
            return rc;
        VES_initialize_queryinfo(&info_);
        info_.num_columns = static_cast<int16_t>(received_columns_.size());
        info_.columns = received_columns_.data();
        info_.construct = &received_construct_;
        rc = DB_stream_init_query_layer(stream_, &info_, nullptr, nullptr, nullptr);
        if (rc != 0)
            return rc;
        int16_t count = 0;
        DB_COLUMN_DEF *defs = nullptr;
        rc = DB_stream_describe_sql(stream_, nullptr, &count, &defs, nullptr);
        if (rc != 0)
            return rc;
        row_.column_count = count;
        row_.columns = defs;
        row_.aux_count = 1;
        row_.aux_longs = &row_id_;
        rc = VES_allocate_row_pointers(&row_, 0);
        return rc != 0 ? rc : DB_stream_execute_query(stream_, 0, 0, row_.values);
    }

    // Fetches every row and puts it into the send buffer, sending the buffer
    // whenever it is full; the last buffer is marked and sent, then flushed.
    // A failure of the query is sent as the buffer's error status.
    int32_t StreamRows(CH_CHANNEL *channel, SB_BUFFER *buffer)
    {
        int32_t rc = 0;
        for (;;) {
            rc = DB_stream_fetch_row(stream_, 0, row_.values, row_.indicators, nullptr, &row_id_);
            if (rc != 0)
                break;
            rc = SB_put_row(&row_, 1, buffer);
            if (rc == ZE_BUFFER_FULL) {
                rc = SB_send_buffer(channel, buffer);
                if (rc != 0)
                    return rc;
                SB_reset(buffer);
                rc = SB_put_row(&row_, 1, buffer);
            }
            if (rc != 0)
                break;
        }
        if (rc == ZE_NO_MORE_ROWS) {
            rc = SB_set_last_buffer(buffer);
        } else {
            SB_reset(buffer);
            SB_set_error(buffer, rc);
        }
        const int32_t sent = SB_send_buffer(channel, buffer);
        const int32_t flushed = CH_flush(channel);
        return rc != 0 ? rc : (sent != 0 ? sent : flushed);
    }

    int listener_ = -1, socket_ = -1;
    forked::Child client_;
    std::vector<char *> received_columns_;
    VE_SQL_CONSTRUCT received_construct_{};
    int16_t filter_count_ = 0;
    VE_FILTER *filters_ = nullptr;
    ENVELOPE box_{};
    int32_t row_id_ = 0;
};

} // namespace

TEST_P(QueryRowsToAClient, OnlyTheRowsThatPassTheExactTestArrive)
{
    const Encoding encoding = GetParam();
    uint16_t port = 0; // any: parallel runs do not meet
    listener_ = plat_socket_listen_loopback(&port);
    ASSERT_GE(listener_, 0);
    client_ =
        forked::start([&](const forked::Link &) { return S_client(port, encoding, &filter_); });
    ASSERT_GT(client_.pid, 0);
    ASSERT_EQ(plat_socket_poll(listener_, PLAT_SOCKET_READABLE, kWaitMs), 1);
    socket_ = plat_socket_accept(listener_);
    ASSERT_GE(socket_, 0);
    S_limit_reads(socket_);
    std::unique_ptr<CH_CHANNEL, decltype(&CH_destroy)> guard(
        CH_create(encoding.channel_type, 0, &socket_), CH_destroy);
    CH_CHANNEL *channel = guard.get();
    ASSERT_NE(channel, nullptr);

    int32_t command = -1;
    ASSERT_EQ(ReadQuery(channel, &command), 0);
    EXPECT_EQ(command, CH_CMD_QueryLayer);
    EXPECT_EQ(received_columns_.size(), 2u);
    ASSERT_EQ(filter_count_, 1);
    ASSERT_NE(filters_[0].shape, nullptr);
    EXPECT_EQ(filters_[0].shape->num_points, static_cast<int32_t>(kHoledSquarePoints.size()));

    // The set-up's SELECT is prepared and described, never executed.
    scli::on_sql(kSetup)
        .columns({{"name", SQL_VARCHAR, 40}, {"shape", SQL_LONGVARBINARY, 2000}})
        .repeat();
    script_road_query();
    const int32_t query = RunQuery();
    EXPECT_EQ(query, 0);
    int32_t rc = CH_write_long(channel, query);
    if (rc == 0 && query == 0)
        rc = CH_write_column_def(channel, row_.column_count, row_.columns);
    EXPECT_EQ(rc, 0);
    SB_BUFFER *buffer = nullptr;
    EXPECT_EQ(SB_init(SB_SEND_BUFFER, kMinimumFill, kCapacity, kRowsPerMessage,
                      encoding.buffer_encoding, &buffer),
              0);
    if (rc == 0 && query == 0 && buffer != nullptr) {
        EXPECT_EQ(quiet_stderr([&] { return StreamRows(channel, buffer); }), 0);
    }
    SB_free(buffer);
    guard.reset(); // the client reads to the end of the stream, then leaves

    // The client's verdict, and the statements of the query road.
    EXPECT_EQ(forked::finish(client_), 0) << "the client's exit code names its failed step";
    EXPECT_EQ(Executed(), (Strings{kSrid, kRoadQuery, kRefetch}));
    EXPECT_TRUE(scli::unused_answers().empty());
}

INSTANTIATE_TEST_SUITE_P(Encodings, QueryRowsToAClient,
                         ::testing::Values(Encoding{"native", CH_TYPE_SOCKET, 0},
                                           Encoding{"XDR", CH_TYPE_XDR, SB_ENCODING_XDR}),
                         [](const ::testing::TestParamInfo<Encoding> &info) {
                             return std::string(info.param.name);
                         });
