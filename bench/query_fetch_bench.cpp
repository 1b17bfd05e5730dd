// The query road's fetch loop against a bare SQLFetch loop over the same
// scripted rows. Subject: set-up, describe and execute of a query on a
// layer, then DB_stream_fetch_row until -4, every row's shape (about 100
// points) checked, copied and decoded into the caller's record; with a
// filter also uncompressed and tested exactly (the spatial filter variant).
// Baseline: prepare, bind the three columns, execute and SQLFetch until no
// data, copying each shape value out of its buffer, as a caller of the CLI
// would at least do. Both read the same 200 rows through the scripted CLI.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/ve_codepage_internal.h"
#include "base/util/ve_compress.h"
#include "base/util/ve_queryinfo.h"
#include "base/util/ve_registration.h"
#include "base/util/ve_row_pointers.h"
#include "base/util/ve_varlong.h"
#include "bench/bench_layer_catalog.h"
#include "bench/bench_ratio.h"
#include "db/catalog/db_layer_info.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_instance_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_stream_execute.h"
#include "db/stream/db_stream_fetch.h"
#include "db/stream/db_stream_query.h"
#include "mox/mox.h"
#include "tests/support/scripted_cli.h"

namespace
{

const int kRows = 200;
const std::string kQuery = "select  name,   VE_AsZel(shape) shape  , bob.roads.VE_ROW_ID from  "
                           "gis:bob.roads ";

int32_t S_registration(intptr_t, const char *, REGISTRATION *out)
{
    memset(out, 0, sizeof(*out));
    return -220;
}

// A line of n points around (x, y) in its fetched form.
std::string S_shape_value(int32_t x, int32_t y, int32_t n)
{
    FEATURE_STRUCT f{};
    f.entity_type = VE_ENTITY_LINE;
    VES_comp_feature_alloc(&f, n, 0, 1);
    for (int32_t i = 0; i < n; i++)
        f.points[i] = {x + 3 * i, y + (i % 9) * 5};
    VES_feature_compress(&f, 0);
    const int32_t size = VES_get_compressed_buffer_size(&f);
    std::string out(8, '\0');
    uint8_t *at = VES_encode_varLONG(n, reinterpret_cast<uint8_t *>(out.data()));
    VES_encode_varLONG(f.entity_type, at);
    out.append(reinterpret_cast<const char *>(f.compressed), static_cast<size_t>(size));
    VES_comp_feature_free(&f);
    return out;
}

struct Road {
    Road()
    {
        scli::reset();
        scli::set_info_text(SQL_DATABASE_NAME, "gis");
        codepage.native = {VE_CODEPAGE_1252, VE_CODEPAGE_SINGLE_BYTE, "1252"};
        codepage.other = codepage.native;
        memset(&config, 0, sizeof(config));
        config.codepage = &codepage;
        config.layer_cache_size = 5;
        config.registration_by_name = S_registration;
        if (DB_instance_open("", "bob", "pw", &config, &instance) != 0)
            return;
        const std::vector<scli::Column> columns = bench_layer_columns();
        scli::Row layer = {scli::i32(7),
                           scli::varchar("roads"),
                           scli::f64(0),
                           scli::f64(0),
                           scli::f64(1e5),
                           scli::f64(1e5),
                           scli::i32(LAYER_SPATIAL | LAYER_LINE),
                           scli::i32(0),
                           scli::varchar("gis"),
                           scli::varchar("roads"),
                           scli::varchar("bob"),
                           scli::varchar("shape"),
                           scli::i32(1000),
                           scli::varchar("DEFAULTS"),
                           scli::i32(4096),
                           scli::i32(0),
                           scli::i32(1),
                           scli::i32(0),
                           scli::f64(0),
                           scli::f64(0),
                           scli::f64(1000),
                           scli::f64(0),
                           scli::f64(1),
                           scli::f64(0),
                           scli::f64(1),
                           scli::varchar("PROJCS[\"local\"]"),
                           scli::i32(3)};
        // Every read of the layer (by id, by table), whenever the cache reads it.
        scli::on_sql_like("SELECT layer_id, .* FROM zel:zel.Layers ly, zel:zel.spatial_references "
                          "sr WHERE .*")
            .columns(columns)
            .row(layer)
            .repeat();
        if (DB_layer_get_info(instance, nullptr, 7, &roads) != 0)
            return;
        for (int i = 0; i < kRows; i++)
            rows.push_back({scli::varchar("road " + std::to_string(i)),
                            scli::binary(S_shape_value(i * 40, i * 40, 100)), scli::i32(i + 1)});
        result = {{"name", SQL_VARCHAR, 40},
                  {"shape", SQL_LONGVARBINARY, 4096},
                  {"VE_ROW_ID", SQL_INTEGER}};
        setup_columns = {{"name", SQL_VARCHAR, 40}, {"shape", SQL_LONGVARBINARY, 4096}};
        scli::on_sql(kQuery).columns(result).rows(rows).repeat();
        scli::on_sql("select  name,   VE_AsZel(shape) shape  from  gis:bob.roads ")
            .columns(setup_columns)
            .repeat();
        // A filter that keeps about half of the rows: a box over the first half.
        filter_shape.entity_type = VE_ENTITY_AREA;
        VES_comp_feature_alloc(&filter_shape, 5, 0, 1);
        const POINT ring[] = {{-10, -10}, {4000, -10}, {4000, 4400}, {-10, 4400}, {-10, -10}};
        memcpy(filter_shape.points, ring, sizeof(ring));
        MoxsNvelop(&filter_shape);
        strcpy(filter.table_name, "roads");
        strcpy(filter.column_name, "shape");
        filter.filter_type = VE_SHAPE_FILTER;
        filter.shape = &filter_shape;
        filter.search_method = SM_AI;
        filter.truth = 1;
        ready = true;
    }
    ~Road()
    {
        VES_comp_feature_free(&filter_shape);
        if (instance != nullptr)
            DB_instance_close(instance);
        scli::reset();
    }

    VE_CODEPAGE codepage{};
    DB_INSTANCE_OPEN_CONFIG config;
    DB_INSTANCE *instance = nullptr;
    LAYER *roads = nullptr;
    std::vector<scli::Row> rows;
    std::vector<scli::Column> result, setup_columns;
    FEATURE_STRUCT filter_shape{};
    VE_FILTER filter{};
    bool ready = false;
};

// One query on the road: the rows that came back, or -1.
int S_road(DB_STREAM *stream, VE_ROW_POINTERS *row, const VE_FILTER *filter)
{
    char column0[] = "name", column1[] = "shape", table[] = "roads";
    char *columns[] = {column0, column1};
    char *tables[] = {table};
    VE_SQL_CONSTRUCT construct{1, tables, nullptr};
    VE_QUERYINFO info;
    VES_initialize_queryinfo(&info);
    info.num_columns = 2;
    info.columns = columns;
    info.construct = &construct;
    const ENVELOPE none{1, 1, 0, 0};
    if (DB_stream_set_spatial_constraints(stream, filter != nullptr ? 1 : 0, filter, none, 0) !=
            0 ||
        DB_stream_init_query_layer(stream, &info, nullptr, nullptr, nullptr) != 0)
        return -1;
    int16_t count = 0;
    DB_COLUMN_DEF *defs = nullptr;
    if (DB_stream_describe_sql(stream, nullptr, &count, &defs, nullptr) != 0)
        return -1;
    if (row->values == nullptr) {
        row->column_count = count;
        row->columns = static_cast<DB_COLUMN_DEF *>(malloc(sizeof(DB_COLUMN_DEF) * count));
        memcpy(row->columns, defs, sizeof(DB_COLUMN_DEF) * count);
        if (VES_allocate_row_pointers(row, 0) != 0)
            return -1;
    }
    if (DB_stream_execute_query(stream, 0, 0, row->values) != 0)
        return -1;
    int n = 0;
    int32_t id = 0;
    while (DB_stream_fetch_row(stream, 0, row->values, row->indicators, nullptr, &id) == 0)
        n++;
    return n;
}

void S_subject(benchmark::State &state, bool filtered)
{
    Road road;
    DB_STREAM_PARAMS params{};
    params.words[DB_STREAM_PARAM_FILTER_BUFFERS] = 1;
    DB_STREAM *stream = nullptr;
    if (!road.ready || DB_stream_init(&stream, 0, "bob", params) != 0) {
        state.SkipWithError("the road could not be set up");
        return;
    }
    VE_ROW_POINTERS row{};
    int64_t rows = 0;
    for (auto _ : state) {
        const int n = S_road(stream, &row, filtered ? &road.filter : nullptr);
        if (n < 0) {
            for (const scli::Call &c : scli::journal())
                if (c.rc != 0)
                    fprintf(stderr, "%s %s %s\n", c.fn.c_str(), c.sql.c_str(), c.detail.c_str());
            state.SkipWithError("the query failed");
            break;
        }
        rows += n;
        scli::clear_journal();
    }
    state.counters["rows"] =
        benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kAvgIterations);
    VES_free_row_pointers(&row); // reads the column types
    free(row.columns);
    DB_stream_free(stream);
    free(stream);
}

void BM_fetch_loop(benchmark::State &state)
{
    S_subject(state, false);
}

void BM_fetch_loop_filtered(benchmark::State &state)
{
    S_subject(state, true);
}

// The same rows with the CLI alone.
void BM_bare_sqlfetch_baseline(benchmark::State &state)
{
    Road road;
    if (!road.ready) {
        state.SkipWithError("the road could not be set up");
        return;
    }
    char name[41];
    std::vector<unsigned char> shape(4096), copy(4096);
    SQLINTEGER id = 0;
    SQLLEN lengths[3];
    for (auto _ : state) {
        SQLHSTMT h = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, db_connection()->hdbc, &h);
        SQLPrepare(h, (SQLCHAR *)kQuery.c_str(), SQL_NTS);
        SQLBindCol(h, 1, SQL_C_CHAR, name, sizeof(name), &lengths[0]);
        SQLBindCol(h, 2, SQL_C_BINARY, shape.data(), static_cast<SQLLEN>(shape.size()),
                   &lengths[1]);
        SQLBindCol(h, 3, SQL_C_LONG, &id, sizeof(id), &lengths[2]);
        SQLExecute(h);
        while (SQL_SUCCEEDED(SQLFetch(h))) {
            memcpy(copy.data(), shape.data(), static_cast<size_t>(lengths[1]));
            benchmark::DoNotOptimize(copy.data());
        }
        SQLFreeHandle(SQL_HANDLE_STMT, h);
        scli::clear_journal();
    }
}

} // namespace

BENCHMARK(BM_fetch_loop);
BENCHMARK(BM_fetch_loop_filtered);
BENCHMARK(BM_bare_sqlfetch_baseline);

ZEL_BENCH_MAIN({"BM_fetch_loop", "BM_bare_sqlfetch_baseline", ">= 0.8"},
               {"BM_fetch_loop_filtered", "BM_bare_sqlfetch_baseline", ">= 0.5"})
