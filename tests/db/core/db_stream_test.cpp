// The stream's extended error record: a failure on a stream fills the
// stream's record and leaves the connection-level record alone.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/util/db_column_def.h"
#include "base/util/ve_buffer.h"
#include "base/util/ve_feature.h"
#include "base/util/ve_filter.h"
#include "base/util/ve_raster.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_log.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_instance_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_state_write_buffer_internal.h"
#include "mox/mox.h"
#include "tests/support/quiet_stderr.h"
#include "tests/support/scripted_cli.h"

namespace
{

TEST(StreamXerr, FailureFillsOnlyTheStreamRecord)
{
    auto stream = std::make_unique<DB_STREAM>();
    DB_instance_clear_xerr();
    CLI_DIAG_RECORD d;
    memset(&d, 0, sizeof(d));
    d.code = -1;
    strcpy(d.sqlstate, "S0022");
    strcpy(d.message, "Column not found.");
    d.native_error = -217;
    StderrCapture capture;
    const char *state = db_stream_set_xerr_from_diag(stream.get(), d);
    EXPECT_EQ(capture.text(), "ZEL_ODBC_STREAM Error: -1\nColumn not found.\n");
    EXPECT_EQ(state, stream->xerr.text);
    EXPECT_EQ(db_global_xerr.code, 0);

    DB_EXT_ERROR x;
    EXPECT_EQ(DB_stream_get_xerr(&x, stream.get()), &x);
    EXPECT_EQ(x.code, ZE_DBMS_ERROR);
    EXPECT_EQ(x.native_error, -217);
    EXPECT_STREQ(x.message, "Column not found.");
    EXPECT_STREQ(x.text, "S0022");
    memset(&x, 0, sizeof(x));
    db_stream_copy_xerr(&x, stream.get());
    EXPECT_STREQ(x.text, "S0022");

    DB_stream_clear_xerr(stream.get());
    DB_stream_get_xerr(&x, stream.get());
    EXPECT_EQ(x.code, 0);
    EXPECT_EQ(x.native_error, 0);
    EXPECT_STREQ(x.message, "");
    EXPECT_STREQ(x.text, "");
}

TEST(StreamXerr, NullStreamIsIgnored)
{
    DB_stream_clear_xerr(nullptr);
    DB_EXT_ERROR x;
    x.code = 7;
    DB_stream_get_xerr(&x, nullptr);
    EXPECT_EQ(x.code, 0);
    CLI_DIAG_RECORD d;
    memset(&d, 0, sizeof(d));
    quiet_stderr([&] { EXPECT_STREQ(db_stream_set_xerr_from_diag(nullptr, d), ""); });
}

// Record-level behaviour: creation values, mode and envelope of written rows.

DB_STREAM_PARAMS MakeParams(const char *name, int32_t filter_buffers)
{
    DB_STREAM_PARAMS params;
    memset(&params, 0, sizeof(params));
    // A long name fills all 16 bytes without a NUL.
    memcpy(params.name, name, std::min(strlen(name), sizeof(params.name)));
    for (int i = 0; i < DB_STREAM_PARAM_WORDS; i++)
        params.words[i] = 100 + i;
    params.words[DB_STREAM_PARAM_FILTER_BUFFERS] = filter_buffers;
    return params;
}

// Closes (with both flags) and frees a stream made by DB_stream_init.
struct StreamDeleter {
    void operator()(DB_STREAM *stream) const
    {
        DB_stream_free(stream);
        free(stream);
    }
};
using StreamPtr = std::unique_ptr<DB_STREAM, StreamDeleter>;

// Close against an open instance: what it frees, in which order, and that a
// second close or a free after it is harmless.
class StreamClose : public scli::Fixture
{
  protected:
    void SetUp() override
    {
        scli::Fixture::SetUp();
        memset(&codepage_, 0, sizeof(codepage_));
        memset(&config_, 0, sizeof(config_));
        config_.codepage = &codepage_;
        ASSERT_EQ(DB_instance_open("", "u", "p", &config_, &instance_), 0);
        opened_at_ = scli::journal().size();
        executed_at_ = scli::executed().size();
    }
    void TearDown() override
    {
        DB_instance_close(instance_);
        scli::Fixture::TearDown();
    }

    // Frees, commits and statement drops since the open, as "fn handle".
    std::vector<std::string> Releases(const std::vector<SQLHANDLE> &known)
    {
        std::vector<std::string> out;
        const auto &journal = scli::journal();
        for (size_t i = opened_at_; i < journal.size(); i++) {
            const scli::Call &c = journal[i];
            if (c.fn != "SQLFreeStmt" && c.fn != "SQLFreeHandle" && c.fn != "SQLEndTran")
                continue;
            std::string who = "?";
            for (size_t k = 0; k < known.size(); k++)
                if (known[k] == c.handle)
                    who = std::to_string(k);
            out.push_back(c.fn + (c.fn == "SQLEndTran" ? "" : " " + who));
        }
        return out;
    }

    static DB_STREAM *NewStream(const char *name)
    {
        DB_STREAM *stream = nullptr;
        EXPECT_EQ(DB_stream_init(&stream, 0, "u", MakeParams(name, 2)), 0);
        return stream;
    }

    // Hangs one of everything a close releases in the stream.
    static void Fill(DB_STREAM *s)
    {
        ASSERT_EQ(db_open_cursor(db_stream_xerr(s), &s->stmt_main), 0);
        ASSERT_EQ(db_open_cursor(db_stream_xerr(s), &s->stmt_aux), 0);
        ASSERT_EQ(db_cli_allocate(&s->cli[1]), 0);
        s->row_lock_mode = 1;
        s->sql_select = strdup("SELECT a, b");
        s->sql_where = strdup("a > 1");
        s->where_text = strdup("a > 1");
        strcpy(s->table, "t1");
        strcpy(s->owner, "u");
        s->column_count = 2;
        s->columns = static_cast<DB_COLUMN_DEF *>(calloc(2, sizeof(DB_COLUMN_DEF)));
        s->row_buffer = malloc(64);
        s->column_buffers = static_cast<void **>(calloc(2, sizeof(void *)));
        s->value_arrays = static_cast<void **>(calloc(2, sizeof(void *)));
        s->indicator_arrays = static_cast<SQLLEN **>(calloc(2, sizeof(SQLLEN *)));
        for (int i = 0; i < 2; i++) {
            s->column_buffers[i] = malloc(8);
            s->value_arrays[i] = malloc(8);
            s->indicator_arrays[i] = static_cast<SQLLEN *>(calloc(4, sizeof(SQLLEN)));
        }
        s->column_buffer_lengths = static_cast<int32_t *>(calloc(2, sizeof(int32_t)));
        s->column_c_types = static_cast<int16_t *>(calloc(2, sizeof(int16_t)));
        s->secondary_buffer = malloc(16);
        s->secondary_slot = 16;
        ASSERT_EQ(MoxCoordRefCreate(&s->coordref), 0);
        s->shape = static_cast<FEATURE_STRUCT *>(calloc(1, sizeof(FEATURE_STRUCT)));
        s->shape_owned = 1;
        s->spatial_column = 1;
        s->value_array1 = malloc(4);
        s->value_array2 = malloc(4);
        s->filter_buffers = static_cast<void **>(calloc(2, sizeof(void *)));
        s->filter_buffers[0] = malloc(4);
        s->filter_buffers[1] = malloc(4);
        s->feature_spec_count = 2;
        s->feature_specs = static_cast<VE_FEATURE_SPEC *>(calloc(2, sizeof(VE_FEATURE_SPEC)));
        s->query_table_count = 1;
        s->query_tables = static_cast<char **>(calloc(1, sizeof(char *)));
        s->query_tables[0] = strdup("t1");
        s->query_slot = 3;
        s->raster_constraint = static_cast<RASCONSTRAINT *>(calloc(1, sizeof(RASCONSTRAINT)));
        s->raster_constraint->band_count = 1;
        s->raster_constraint->band_numbers = static_cast<int32_t *>(calloc(1, sizeof(int32_t)));
        strcpy(s->raster_table, "r1");
        s->raster_column_id = 5;
        s->buffer_size = 8192;
        s->buffer = VES_buffer_alloc(s->buffer_size);
        s->lob_count = 1;
        s->lobs = static_cast<DB_LOB_HANDLE **>(calloc(1, sizeof(DB_LOB_HANDLE *)));
        ASSERT_EQ(db_lob_handle_create("t1", "b", DB_LOB_INSERT, &s->lobs[0]), 0);
        s->filter_area[0] = 1;
        s->filter_flags[0] = 1;
        db_stream_envelope_union(s, 1, 1, 2, 2);
        s->sys_envelope.valid = 1;
    }

    VE_CODEPAGE codepage_;
    DB_INSTANCE_OPEN_CONFIG config_;
    DB_INSTANCE *instance_ = nullptr;
    size_t opened_at_ = 0;
    size_t executed_at_ = 0;
};

class StreamRecord : public StreamClose
{
};

TEST_F(StreamRecord, InitSetsTheInitialValues)
{
    DB_STREAM *raw = nullptr;
    ASSERT_EQ(DB_stream_init(&raw, 42, "owner1", MakeParams("a-stream-name-longer", 300)), 0);
    StreamPtr stream(raw);
    EXPECT_STREQ(stream->owner_text, "owner1");
    EXPECT_STREQ(stream->stream_name, "a-stream-name-l"); // 16 bytes with the NUL
    EXPECT_EQ(stream->spatial_column, -1);
    const int32_t idents[] = {stream->layer_id,  stream->registration_id, stream->ident_zero1,
                              stream->state_id,  stream->ident_zero2,     stream->lineage_id,
                              stream->version_id};
    EXPECT_EQ(std::vector<int32_t>(std::begin(idents), std::end(idents)),
              (std::vector<int32_t>{-1, -1, 0, -1, 0, -1, -1}));
    EXPECT_EQ(stream->hidden_column, -1);
    EXPECT_EQ(stream->query_slot, -1);
    EXPECT_EQ(stream->sys_envelope.valid, 0);
    EXPECT_EQ(stream->sys_envelope.minx, 2147483647);
    EXPECT_EQ(stream->sys_envelope.miny, 2147483647);
    EXPECT_EQ(stream->sys_envelope.maxx, 0);
    EXPECT_EQ(stream->sys_envelope.maxy, 0);
    EXPECT_EQ(stream->written_minx, 2147483647.0);
    EXPECT_EQ(stream->written_miny, 2147483647.0);
    EXPECT_EQ(stream->written_maxx, 0.0);
    EXPECT_EQ(stream->written_maxy, 0.0);
    EXPECT_EQ(stream->params[0], 100);
    EXPECT_EQ(stream->params[DB_STREAM_PARAM_FILTER_BUFFERS], 250); // cut
    EXPECT_EQ(stream->params[9], 109);
    EXPECT_EQ(stream->creation_argument, 42);
    EXPECT_EQ(stream->operation_mode, 0);
    for (const CLI_STATEMENT &cli : stream->cli) {
        EXPECT_EQ(cli.statement, nullptr);
        EXPECT_EQ(cli.nts_indicator, SQL_NTS);
    }
    EXPECT_EQ(DB_stream_init(nullptr, 0, "", MakeParams("x", 1)), ZE_NULL_POINTER);
}

TEST_F(StreamRecord, OperationModeOutsideZeroToThreeIsRefusedAndKept)
{
    DB_STREAM *raw = nullptr;
    ASSERT_EQ(DB_stream_init(&raw, 0, "u", MakeParams("s", 1)), 0);
    StreamPtr stream(raw);
    const std::pair<int32_t, int32_t> cases[] = {
        {2, 0}, {3, 0}, {0, 0}, {4, ZE_INVALID_ARGUMENT}, {-1, ZE_INVALID_ARGUMENT}};
    int32_t kept = 0;
    for (auto [mode, expected] : cases) {
        EXPECT_EQ(DB_stream_set_operation_mode(stream.get(), mode), expected) << mode;
        if (expected == 0)
            kept = mode;
        EXPECT_EQ(stream->operation_mode, kept) << mode;
    }
    EXPECT_EQ(DB_stream_set_operation_mode(nullptr, 1), ZE_NULL_POINTER);
}

TEST_F(StreamRecord, EnvelopeUnionWidensReplacesOrIgnores)
{
    struct Box {
        double minx, miny, maxx, maxy;
    };
    struct Case {
        const char *label;
        std::vector<Box> merged;
        Box expected;
    };
    const Box invalid = {2147483647.0, 2147483647.0, 0, 0};
    const Case cases[] = {
        {"point into a new stream", {{3, 4, 3, 4}}, {3, 4, 3, 4}},
        {"inverted box ignored", {{5, 5, 1, 1}}, invalid},
        {"only x inverted still counts", {{5, 1, 1, 2}}, {5, 1, 1, 2}},
        {"widened on every side", {{0, 0, 1, 1}, {-1, 0.5, 0.5, 3}}, {-1, 0, 1, 3}},
        {"inner box changes nothing", {{0, 0, 10, 10}, {2, 2, 3, 3}}, {0, 0, 10, 10}},
        {"inverted after valid ignored", {{0, 0, 1, 1}, {9, 9, -9, -9}}, {0, 0, 1, 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        DB_STREAM *raw = nullptr;
        ASSERT_EQ(DB_stream_init(&raw, 0, "u", MakeParams("s", 1)), 0);
        StreamPtr stream(raw);
        for (const Box &b : c.merged)
            EXPECT_EQ(db_stream_envelope_union(stream.get(), b.minx, b.miny, b.maxx, b.maxy), 0);
        EXPECT_EQ(stream->written_minx, c.expected.minx);
        EXPECT_EQ(stream->written_miny, c.expected.miny);
        EXPECT_EQ(stream->written_maxx, c.expected.maxx);
        EXPECT_EQ(stream->written_maxy, c.expected.maxy);
    }
}

TEST_F(StreamClose, ReleasesInOrderWithTheDefaultCommitAndASecondCloseIsHarmless)
{
    DB_STREAM *s = NewStream("main");
    Fill(s);
    DB_STREAM *nested = NewStream("nested");
    ASSERT_EQ(db_open_cursor(db_stream_xerr(nested), &nested->stmt_main), 0);
    s->update_buffer = static_cast<STATE_WRITE_BUFFER *>(calloc(1, sizeof(STATE_WRITE_BUFFER)));
    s->update_buffer->query_stream = nested;
    ASSERT_EQ(db_open_cursor(db_stream_xerr(s), &s->update_buffer->shared_shape_stmt), 0);
    const std::vector<SQLHANDLE> handles = {s->stmt_main, s->stmt_aux, s->cli[1].statement,
                                            nested->stmt_main, s->update_buffer->shared_shape_stmt};

    DB_stream_close(s, 1, 1);
    // Own statements, then the default commit, then the write buffer's
    // nested stream (with its own commit) and statement, then the records.
    EXPECT_EQ(
        Releases(handles),
        (std::vector<std::string>{"SQLFreeStmt 0", "SQLFreeStmt 1", "SQLEndTran", "SQLFreeStmt 3",
                                  "SQLEndTran", "SQLFreeStmt 4", "SQLFreeHandle 2"}));
    std::vector<std::string> executed = scli::executed();
    EXPECT_EQ(std::vector<std::string>(executed.begin() + static_cast<long>(executed_at_),
                                       executed.end()),
              (std::vector<std::string>{"COMMIT", "COMMIT"}));

    // Everything released is cleared, the rest reset.
    EXPECT_EQ(s->layer, nullptr);
    EXPECT_EQ(s->stmt_main, nullptr);
    EXPECT_EQ(s->stmt_aux, nullptr);
    EXPECT_EQ(s->cli[1].statement, nullptr);
    EXPECT_EQ(s->sql_select, nullptr);
    EXPECT_EQ(s->where_text, nullptr);
    EXPECT_EQ(s->row_buffer, nullptr);
    EXPECT_EQ(s->value_arrays, nullptr);
    EXPECT_EQ(s->indicator_arrays, nullptr);
    EXPECT_EQ(s->coordref, nullptr);
    EXPECT_EQ(s->shape, nullptr);
    EXPECT_EQ(s->feature_specs, nullptr);
    EXPECT_EQ(s->filter_buffers, nullptr);
    EXPECT_EQ(s->query_tables, nullptr);
    EXPECT_EQ(s->raster_constraint, nullptr);
    EXPECT_EQ(s->update_buffer, nullptr);
    EXPECT_EQ(s->lobs, nullptr);
    EXPECT_EQ(s->buffer, nullptr);
    EXPECT_EQ(s->spatial_column, -1);
    EXPECT_EQ(s->hidden_column, -1);
    EXPECT_EQ(s->query_slot, -1);
    EXPECT_EQ(s->secondary_slot, -1);
    EXPECT_STREQ(s->table, "");
    EXPECT_STREQ(s->raster_table, "");
    EXPECT_EQ(s->raster_column_id, 0);
    EXPECT_EQ(s->filter_area[0], 0);
    EXPECT_EQ(s->sys_envelope.valid, 0);
    EXPECT_EQ(s->sys_envelope.minx, 2147483647);
    EXPECT_EQ(s->written_minx, 2147483647.0);
    EXPECT_EQ(s->written_maxx, 0.0);
    // The caller's column definitions stay the caller's.
    EXPECT_NE(s->columns, nullptr);
    free(s->columns);
    s->columns = nullptr;

    // A second close finds nothing to free; only the default commit runs.
    size_t before = scli::journal().size();
    DB_stream_close(s, 1, 1);
    DB_stream_free(s);
    std::vector<std::string> fns;
    for (size_t i = before; i < scli::journal().size(); i++)
        fns.push_back(scli::journal()[i].fn);
    EXPECT_EQ(fns, (std::vector<std::string>{"SQLEndTran", "SQLEndTran"}));
    free(s);
}

// What each flag releases: the coordinate reference and the value arrays go
// only with release-shared, the filter data only with release-all.
TEST_F(StreamClose, FlagsDecideWhatIsReleased)
{
    struct Case {
        int32_t all, shared;
    };
    for (const Case c : {Case{0, 0}, Case{1, 0}, Case{0, 1}, Case{1, 1}}) {
        SCOPED_TRACE(std::to_string(c.all) + "," + std::to_string(c.shared));
        DB_STREAM *s = NewStream("flags");
        Fill(s);
        DB_stream_close(s, c.all, c.shared);
        EXPECT_EQ(s->coordref == nullptr, c.shared != 0);
        EXPECT_EQ(s->value_arrays == nullptr, c.shared != 0);
        EXPECT_EQ(s->indicator_arrays == nullptr, c.shared != 0);
        EXPECT_EQ(s->column_buffer_lengths == nullptr, c.shared != 0);
        EXPECT_EQ(s->column_c_types == nullptr, c.shared != 0);
        EXPECT_EQ(s->feature_specs == nullptr, c.all != 0);
        EXPECT_EQ(s->filter_buffers == nullptr, c.all != 0);
        EXPECT_EQ(s->value_array1 == nullptr, c.all != 0);
        // Released by any close.
        EXPECT_EQ(s->row_buffer, nullptr);
        EXPECT_EQ(s->column_buffers, nullptr);
        EXPECT_EQ(s->secondary_buffer, nullptr);
        free(s->columns);
        s->columns = nullptr;
        DB_stream_free(s); // releases what the first close kept
        free(s);
    }
}

// The shape goes when the stream owns it or when only a hidden column uses
// it; a shape the stream does not own stays with its owner.
TEST_F(StreamClose, ShapeReleaseFollowsOwnership)
{
    struct Case {
        const char *label;
        int32_t owned;
        int16_t spatial_column;
        int32_t hidden_column;
        bool released;
    };
    const Case cases[] = {
        {"owned", 1, 2, -1, true},
        {"hidden column without a spatial column", 0, -1, 0, true},
        {"borrowed", 0, 2, -1, false},
        {"borrowed, no hidden column", 0, -1, -1, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        DB_STREAM *s = NewStream("shape");
        auto *shape = static_cast<FEATURE_STRUCT *>(calloc(1, sizeof(FEATURE_STRUCT)));
        s->shape = shape;
        s->shape_owned = c.owned;
        s->spatial_column = c.spatial_column;
        s->hidden_column = c.hidden_column;
        DB_stream_free(s);
        EXPECT_EQ(s->shape == nullptr, c.released);
        EXPECT_EQ(s->spatial_column, -1);
        if (!c.released)
            free(shape);
        free(s);
    }
}

// In the update and delete modes the shape record goes with the close, and
// its temporary log is released before the record (the log system answers
// that it is not running, which the close ignores).
TEST_F(StreamClose, ShapeRecordAndItsLogGoInUpdateAndDeleteModes)
{
    for (int32_t mode = 0; mode <= 3; mode++) {
        SCOPED_TRACE(mode);
        DB_STREAM *s = NewStream("log");
        ASSERT_EQ(DB_stream_set_operation_mode(s, mode), 0);
        s->shape_record =
            static_cast<DB_STREAM_SHAPE_RECORD *>(calloc(1, sizeof(DB_STREAM_SHAPE_RECORD)));
        s->shape_record->buffer = malloc(32);
        s->shape_record->log =
            static_cast<DB_STREAM_TEMP_LOG *>(calloc(1, sizeof(DB_STREAM_TEMP_LOG)));
        strcpy(s->shape_record->log->name, "tmp_log_1");
        s->update_buffer = static_cast<STATE_WRITE_BUFFER *>(calloc(1, sizeof(STATE_WRITE_BUFFER)));
        s->update_buffer->ids_in_log = 1;
        DB_stream_free(s);
        bool kept = mode == 0 || mode == 3;
        EXPECT_EQ(s->shape_record != nullptr, kept);
        EXPECT_EQ(s->update_buffer, nullptr);
        if (kept) {
            // The log went with the write buffer; the record is the caller's.
            EXPECT_EQ(s->shape_record->log, nullptr);
            free(s->shape_record->buffer);
            free(s->shape_record);
        }
        free(s);
    }
}

// The temporary log of an update or delete goes only after the close's
// default commit, so its deletion is not part of the stream's own work.
TEST_F(StreamClose, TemporaryLogIsDeletedAfterTheDefaultCommit)
{
    ASSERT_EQ(DB_log_init(instance_), 0);
    for (int32_t mode : {1, 2, 3}) {
        SCOPED_TRACE(mode);
        DB_STREAM *s = NewStream("log");
        ASSERT_EQ(DB_stream_set_operation_mode(s, mode), 0);
        s->shape_record =
            static_cast<DB_STREAM_SHAPE_RECORD *>(calloc(1, sizeof(DB_STREAM_SHAPE_RECORD)));
        s->shape_record->log =
            static_cast<DB_STREAM_TEMP_LOG *>(calloc(1, sizeof(DB_STREAM_TEMP_LOG)));
        strcpy(s->shape_record->log->name, "tmp_log_1");
        s->update_buffer = static_cast<STATE_WRITE_BUFFER *>(calloc(1, sizeof(STATE_WRITE_BUFFER)));
        s->update_buffer->ids_in_log = 1;
        const size_t before = scli::executed().size();
        quiet_stderr([&] { DB_stream_free(s); });
        std::vector<std::string> run = scli::executed();
        run.erase(run.begin(), run.begin() + static_cast<std::ptrdiff_t>(before));
        ASSERT_GT(run.size(), 1u) << "the log's deletion reached the database";
        EXPECT_EQ(run[0], "COMMIT");
        EXPECT_EQ(std::count(run.begin(), run.end(), "COMMIT"), 1);
        if (s->shape_record != nullptr) {
            EXPECT_EQ(s->shape_record->log, nullptr);
            free(s->shape_record->buffer);
            free(s->shape_record);
        }
        free(s);
    }
    DB_log_end(instance_);
}

// Each CLI call of a stream's close, and of the instance close after it,
// fails once in turn: the close goes on to the end, and nothing is lost (the
// disconnect takes any statement a failed free left with it).
TEST_F(StreamClose, FaultSweepOverTheCloseLeavesNothingBehind)
{
    DB_instance_close(instance_);
    instance_ = nullptr;
    auto run = [&](int fail_at, int *close_starts) {
        scli::reset();
        if (fail_at > 0)
            scli::fail_call("", fail_at, SQL_ERROR, {"S1000", -999, "injected"});
        DB_INSTANCE *instance = nullptr;
        ASSERT_EQ(DB_instance_open("", "u", "p", &config_, &instance), 0);
        DB_STREAM *s = NewStream("sweep");
        Fill(s);
        DB_STREAM *nested = NewStream("nested");
        ASSERT_EQ(db_open_cursor(db_stream_xerr(nested), &nested->stmt_main), 0);
        s->update_buffer = static_cast<STATE_WRITE_BUFFER *>(calloc(1, sizeof(STATE_WRITE_BUFFER)));
        s->update_buffer->query_stream = nested;
        if (close_starts != nullptr)
            *close_starts = scli::call_count("");
        DB_stream_free(s);
        DB_stream_free(s);
        free(s->columns);
        free(s);
        DB_instance_close(instance);
        EXPECT_TRUE(scli::leaks().empty());
        EXPECT_EQ(db_connection()->hdbc, nullptr);
    };
    StderrCapture capture;
    int close_starts = 0;
    run(0, &close_starts);
    int total = scli::call_count("");
    ASSERT_GT(total, close_starts);
    for (int n = close_starts + 1; n <= total; n++) {
        SCOPED_TRACE("failing call " + std::to_string(n));
        run(n, nullptr);
    }
}

TEST_F(StreamClose, NullStreamIsIgnored)
{
    size_t before = scli::journal().size();
    DB_stream_close(nullptr, 1, 1);
    DB_stream_free(nullptr);
    EXPECT_EQ(scli::journal().size(), before);
}

} // namespace
