// A server process's loop over a channel, as the host runs it: a client
// writes commands with their records; the server side reads each command
// code and the command's records through its channel, answers with result
// records and flushes; the client reads the answers. Commands carry layers,
// strings, index definitions and spatial filters with a shape, so allocating
// reads and the records a host frees are on the road too. The same
// conversation runs over loopback TCP, over coordinated memory between two
// threads, and over shared memory between two processes.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "base/system/ch_channel.h"
#include "base/system/ch_channel_internal.h"
#include "base/system/ch_command.h"
#include "base/system/raw_form_internal.h"
#include "base/system/shm_channel_internal.h"
#include "base/util/zel_errors.h"
#include "mox/mox.h"
#include "platform/plat_socket_internal.h"
#include "tests/support/peer_watchdog.h"

// Each test talks to its peer within the watchdog's limit or fails.
ZEL_WATCH_EVERY_TEST();

namespace
{

constexpr int32_t kNewLayerId = 17;

// What the server did, for the test to look at once it has ended.
struct ServerLog {
    std::vector<int32_t> commands;
    std::string layer_table, keyword, index_table, last_index;
    int32_t filter_points = 0;
    int32_t status = ZE_SUCCESS;
};

// Answers one command; false once the client has asked to shut down or the
// channel failed.
bool S_serve_one(CH_CHANNEL *channel, ServerLog &log)
{
    int32_t code = -1;
    int32_t rc = CH_read_command(channel, &code);
    if (rc != ZE_SUCCESS) {
        log.status = rc;
        return false;
    }
    log.commands.push_back(code);
    switch (code) {
    case CH_CMD_LayerCreate: {
        LAYER layer = {};
        char keyword[32];
        rc = CH_read_layer(channel, &layer);
        if (rc == ZE_SUCCESS)
            rc = CH_read_string(channel, keyword, sizeof keyword);
        if (rc == ZE_SUCCESS) {
            log.layer_table = layer.table_name;
            log.keyword = keyword;
            layer.layer_id = kNewLayerId;
            rc = CH_write_long(channel, ZE_SUCCESS);
        }
        if (rc == ZE_SUCCESS)
            rc = CH_write_layer(channel, &layer);
        MoxCoordRefFree(layer.coordref);
        break;
    }
    case CH_CMD_TableCreateIndexes: {
        char table[160];
        int16_t count = 0;
        DB_INDEX_DEF *defs = nullptr;
        rc = CH_read_string(channel, table, sizeof table);
        if (rc == ZE_SUCCESS)
            rc = CH_read_index_def(channel, &count, &defs);
        if (rc == ZE_SUCCESS) {
            log.index_table = table;
            log.last_index = count > 0 ? defs[count - 1].index_name : "";
            rc = CH_write_long(channel, count);
        }
        // Freed as every index definition a host gets is freed.
        for (int16_t i = 0; defs != nullptr && i < count; i++) {
            for (int c = 0; c < DB_INDEX_MAX_COLUMNS; c++)
                std::free(defs[i].column_names[c]);
            std::free(defs[i].column_names);
            std::free(defs[i].column_order);
        }
        std::free(defs);
        break;
    }
    case CH_CMD_SetSpatialConstraints: {
        int16_t count = 0;
        VE_FILTER *filters = nullptr;
        rc = CH_read_filter_array(channel, &count, &filters);
        if (rc == ZE_SUCCESS) {
            for (int16_t i = 0; i < count; i++)
                if (filters[i].shape != nullptr)
                    log.filter_points += filters[i].shape->num_points;
            int32_t ids[2] = {101, 102};
            rc = CH_write_long(channel, 2);
            if (rc == ZE_SUCCESS)
                rc = CH_write_fid_array(channel, ids, 2);
        }
        raw_filter_array_free(count, filters);
        break;
    }
    case CH_CMD_Shutdown:
        rc = CH_write_long(channel, ZE_SUCCESS);
        if (rc == ZE_SUCCESS)
            rc = CH_flush(channel);
        log.status = rc;
        return false;
    default:
        rc = CH_write_long(channel, ZE_INVALID_RELEASE);
        break;
    }
    if (rc == ZE_SUCCESS)
        rc = CH_flush(channel);
    log.status = rc;
    return rc == ZE_SUCCESS;
}

// Serves commands until the client asks to shut down or the channel fails.
void S_serve(CH_CHANNEL *channel, ServerLog &log)
{
    if (channel == nullptr) {
        log.status = ZE_FAILURE;
        return;
    }
    while (S_serve_one(channel, log)) {
    }
}

// The client's side of the conversation, up to the server's shut-down.
void S_run_client(CH_CHANNEL *client)
{
    // A layer and its configuration keyword; the answer is a status and the
    // layer with its new id.
    COORDREF *coordref = nullptr;
    EXPECT_EQ(MoxCoordRefCreate(&coordref), 0);
    coordref->xyunits = 1000;
    coordref->srtext = strdup("GEOGCS[\"WGS 84\"]");
    LAYER layer = {};
    std::strcpy(layer.table_name, "roads");
    layer.coordref = coordref;
    EXPECT_EQ(CH_write_command(client, CH_CMD_LayerCreate), ZE_SUCCESS);
    EXPECT_EQ(CH_write_layer(client, &layer), ZE_SUCCESS);
    EXPECT_EQ(CH_write_string(client, "DEFAULTS"), ZE_SUCCESS);
    EXPECT_EQ(CH_flush(client), ZE_SUCCESS);
    int32_t status = -1;
    LAYER answer = {};
    EXPECT_EQ(CH_read_long(client, &status), ZE_SUCCESS);
    EXPECT_EQ(status, ZE_SUCCESS);
    EXPECT_EQ(CH_read_layer(client, &answer), ZE_SUCCESS);
    EXPECT_EQ(answer.layer_id, kNewLayerId);
    EXPECT_STREQ(answer.table_name, "roads");
    EXPECT_NE(answer.coordref, nullptr);
    if (answer.coordref != nullptr) {
        EXPECT_STREQ(answer.coordref->srtext, "GEOGCS[\"WGS 84\"]");
    }
    MoxCoordRefFree(answer.coordref);

    // Index definitions of a table; the answer is their count.
    char c0[] = "road_id", c1[] = "name";
    char *names[] = {c0, c1};
    int32_t order[] = {DB_INDEX_ASCENDING, 0};
    DB_INDEX_DEF indexes[2] = {{1, names, "road_ix", 1, order}, {2, names, "name_ix", 0, order}};
    EXPECT_EQ(CH_write_command(client, CH_CMD_TableCreateIndexes), ZE_SUCCESS);
    EXPECT_EQ(CH_write_string(client, "gis:tom.roads"), ZE_SUCCESS);
    EXPECT_EQ(CH_write_index_def(client, 2, indexes), ZE_SUCCESS);
    EXPECT_EQ(CH_flush(client), ZE_SUCCESS);
    EXPECT_EQ(CH_read_long(client, &status), ZE_SUCCESS);
    EXPECT_EQ(status, 2);

    // A shape filter; the answer is the ids found. The reply is read without
    // a flush of our own: a read sends what is pending first.
    POINT points[4] = {{0, 0}, {10, 0}, {10, 10}, {0, 0}};
    FEATURE_STRUCT shape = {};
    shape.entity_type = VE_ENTITY_LINE;
    shape.num_points = shape.allocated_points = 4;
    shape.points = points;
    shape.coordref = coordref;
    VE_FILTER filter = {};
    std::strcpy(filter.table_name, "roads");
    std::strcpy(filter.column_name, "shape");
    filter.filter_type = VE_SHAPE_FILTER;
    filter.shape = &shape;
    filter.search_method = SM_ENVP;
    EXPECT_EQ(CH_write_command(client, CH_CMD_SetSpatialConstraints), ZE_SUCCESS);
    EXPECT_EQ(CH_write_filter_array(client, 1, &filter), ZE_SUCCESS);
    int32_t found = 0, ids[2] = {};
    EXPECT_EQ(CH_read_long(client, &found), ZE_SUCCESS);
    EXPECT_EQ(found, 2);
    EXPECT_EQ(CH_read_fid_array(client, ids, 2), ZE_SUCCESS);
    EXPECT_EQ(ids[1], 102);

    // A command the server does not serve, then the end.
    EXPECT_EQ(CH_write_command(client, CH_CMD_DBTuneExport), ZE_SUCCESS);
    EXPECT_EQ(CH_read_long(client, &status), ZE_SUCCESS);
    EXPECT_EQ(status, ZE_INVALID_RELEASE);
    EXPECT_EQ(CH_write_command(client, CH_CMD_Shutdown), ZE_SUCCESS);
    EXPECT_EQ(CH_read_long(client, &status), ZE_SUCCESS);
    EXPECT_EQ(status, ZE_SUCCESS);

    MoxCoordRefFree(coordref);
}

// What the server must have been asked and answered.
void S_expect_served(const ServerLog &log)
{
    EXPECT_EQ(log.status, ZE_SUCCESS);
    EXPECT_EQ(log.commands, (std::vector<int32_t>{CH_CMD_LayerCreate, CH_CMD_TableCreateIndexes,
                                                  CH_CMD_SetSpatialConstraints, CH_CMD_DBTuneExport,
                                                  CH_CMD_Shutdown}));
    EXPECT_EQ(log.layer_table, "roads");
    EXPECT_EQ(log.keyword, "DEFAULTS");
    EXPECT_EQ(log.index_table, "gis:tom.roads");
    EXPECT_EQ(log.last_index, "name_ix");
    EXPECT_EQ(log.filter_points, 4);
}

} // namespace

TEST(ChHostLoop, ClientCommandsServedThroughTheChannel)
{
    uint16_t port = 0;
    int listener = plat_socket_listen_loopback(&port);
    ASSERT_GE(listener, 0);
    int socket = plat_socket_connect("127.0.0.1", port);
    ASSERT_GE(socket, 0);
    CH_CHANNEL *client = CH_create(CH_TYPE_SOCKET, 0, &socket);
    ASSERT_NE(client, nullptr);

    // From here on the server runs: nothing below leaves the test early.
    ServerLog log;
    std::thread server([&] {
        int socket = plat_socket_accept(listener);
        // A client that stops answering ends the loop instead of holding it.
        timeval limit = {10, 0};
        setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        CH_CHANNEL *channel = CH_create(CH_TYPE_SOCKET, 0, &socket);
        S_serve(channel, log);
        CH_destroy(channel);
        plat_socket_close(socket);
    });
    S_run_client(client);
    server.join();
    CH_destroy(client);
    plat_socket_close(socket);
    plat_socket_close(listener);
    S_expect_served(log);
}

// Two threads of one process, each with a coordinated-memory channel.
TEST(ChHostLoop, ClientCommandsServedThroughCoordinatedMemory)
{
    CH_CHANNEL *client = CH_create(CH_TYPE_COORDINATED_MEMORY, 0, nullptr);
    CH_CHANNEL *channel = CH_create(CH_TYPE_COORDINATED_MEMORY, 0, nullptr);
    ASSERT_EQ(ch_pair_coordinated_memory(client, channel), ZE_SUCCESS);
    ServerLog log;
    std::thread server([&] { S_serve(channel, log); });
    S_run_client(client);
    // A server left waiting by a failed conversation wakes when the client
    // closes its end.
    CH_destroy(client);
    server.join();
    CH_destroy(channel);
    S_expect_served(log);
}

// A server process and a client process on one shared-memory channel: the
// client creates the named objects, the server (a child) opens them, and
// each opens the other process for its waits.
TEST(ChHostLoop, ClientCommandsServedThroughSharedMemory)
{
    const std::string name = "hostloop_" + std::to_string(getpid());
    SHM_OBJECT *client_side = nullptr;
    ASSERT_EQ(shm_client_init(&client_side, name.c_str()), 0);
    const pid_t client_pid = getpid();
    pid_t server = fork();
    ASSERT_GE(server, 0);
    if (server == 0) {
        SHM_OBJECT *server_side = nullptr;
        CH_CHANNEL *channel = CH_create(CH_TYPE_SHARED_MEMORY, 0, nullptr);
        ServerLog log;
        if (SHM_server_init(&server_side, name.c_str()) != 0 ||
            ch_attach_shared_memory(server_side, channel, client_pid) != ZE_SUCCESS) {
            log.status = ZE_FAILURE;
        } else {
            S_serve(channel, log);
        }
        CH_destroy(channel);
        // The checks run here; the exit status tells the client how they went.
        S_expect_served(log);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    CH_CHANNEL *client = CH_create(CH_TYPE_SHARED_MEMORY, 0, nullptr);
    ASSERT_EQ(ch_attach_shared_memory(client_side, client, server), ZE_SUCCESS);
    S_run_client(client);
    CH_destroy(client);
    int status = -1;
    ASSERT_EQ(waitpid(server, &status, 0), server);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
