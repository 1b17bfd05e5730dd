// The insert loop of a layer stream (DB_stream_execute_insert_table per row:
// the row copied into the bound buffers, the shape parameter built from the
// compressed feature, an id drawn from the host, the shape rebound, one
// execute, the envelope widened) against the baseline, one parameter-array
// execute of the same rows' bytes on the same INSERT, prepared and bound
// once. Rows carry a name, an owner id and a polygon of about 100 points;
// 100 rows per iteration; both sides run over the scripted CLI, whose
// journal each side clears once per iteration. Report the ratio of the two
// in one run.
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "base/util/ve_codepage_internal.h"
#include "base/util/ve_compress.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_registration.h"
#include "base/util/ve_varlong.h"
#include "bench/bench_layer_catalog.h"
#include "bench/bench_ratio.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_layer_info_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_instance_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_stream_insert.h"
#include "db/stream/db_write_row_internal.h"
#include "tests/support/host_double.h"
#include "tests/support/scripted_cli.h"

namespace
{

constexpr int kRows = 100;
constexpr int kPoints = 101; // a closed ring of 100 corners
const char *const kInsert = "INSERT INTO parcels  (name, shape, owner_id, VE_ROW_ID) VALUES "
                            "(?, VE_PolyFromZel(?,?,3),?,?)";

// An instance with the polygon layer "parcels" (id 7, srid 3) cached and
// kRows compressed polygons of kPoints points, each a little different.
struct Parcels {
    Parcels()
    {
        scli::reset();
        scli::set_info_text(SQL_DATABASE_NAME, "gis");
        codepage.native = {VE_CODEPAGE_1252, VE_CODEPAGE_SINGLE_BYTE, "1252"};
        codepage.other = codepage.native;
        memset(&config, 0, sizeof(config));
        config.codepage = &codepage;
        config.layer_cache_size = 5;
        host.install_all(&config);
        host.install_ids(&config);
        REGISTRATION reg{};
        memcpy(reg.tag, REGISTRATION_TAG, sizeof(reg.tag));
        reg.registration_id = 7;
        strcpy(reg.database_name, "gis");
        strcpy(reg.owner, "bob");
        strcpy(reg.table_name, "parcels");
        strcpy(reg.rowid_column, "objectid");
        reg.object_flags = REG_LAYER | REG_ROWID_COLUMN;
        host.add_registration(reg);
        registration = reg;
        if (DB_instance_open("", "bob", "pw", &config, &instance) != 0)
            return;
        const std::vector<scli::Column> columns = bench_layer_columns();
        scli::Row row = {scli::i32(7),          scli::varchar("Parcels"),
                         scli::f64(0),          scli::f64(0),
                         scli::f64(5e5),        scli::f64(4e5),
                         scli::i32(LAYER_AREA), scli::i32(0),
                         scli::varchar("gis"),  scli::varchar("parcels"),
                         scli::varchar("bob"),  scli::varchar("shape"),
                         scli::i32(1000),       scli::varchar("DEFAULTS"),
                         scli::i32(100),        scli::i32(0),
                         scli::i32(1),          scli::i32(0),
                         scli::f64(-1e6),       scli::f64(-1e6),
                         scli::f64(1000),       scli::f64(0),
                         scli::f64(1),          scli::f64(0),
                         scli::f64(1),          scli::varchar("PROJCS[\"grid\"]"),
                         scli::i32(3)};
        scli::on_sql(std::string(DB_LAYER_SELECT) +
                     " FROM zel:zel.Layers ly, zel:zel.spatial_references sr WHERE "
                     "ly.layer_id = 7 AND ly.srid = sr.srid")
            .columns(columns)
            .row(row);
        scli::on_sql_like("select srid from .*")
            .columns({{"srid", SQL_INTEGER}})
            .row({scli::i32(3)})
            .repeat();
        LAYER *layer = nullptr;
        if (DB_layer_get_info(instance, nullptr, 7, &layer) != 0)
            return;
        shapes.resize(kRows);
        for (int r = 0; r < kRows; r++) {
            std::vector<POINT> ring;
            for (int i = 0; i < kPoints - 1; i++) {
                const double angle = 2 * M_PI * i / (kPoints - 1);
                ring.push_back({static_cast<int32_t>(1000000 + r * 5000 + 2000 * std::cos(angle)),
                                static_cast<int32_t>(1000000 + 3000 * std::sin(angle) + i % 7)});
            }
            ring.push_back(ring.front());
            FEATURE_STRUCT &f = shapes[r];
            memset(&f, 0, sizeof(f));
            f.entity_type = VE_ENTITY_AREA;
            f.num_points = kPoints;
            f.points = ring.data();
            f.envelope = {ring[0].x, ring[0].y, ring[0].x, ring[0].y};
            for (const POINT &p : ring) {
                f.envelope.minx = std::min(f.envelope.minx, p.x);
                f.envelope.miny = std::min(f.envelope.miny, p.y);
                f.envelope.maxx = std::max(f.envelope.maxx, p.x);
                f.envelope.maxy = std::max(f.envelope.maxy, p.y);
            }
            if (VES_feature_compress(&f, 0) != 0)
                return;
            f.points = nullptr;
        }
        ready = true;
    }
    ~Parcels()
    {
        for (FEATURE_STRUCT &f : shapes)
            VES_comp_feature_free(&f);
        if (instance != nullptr)
            DB_instance_close(instance);
        scli::reset();
    }

    VE_CODEPAGE codepage{};
    DB_INSTANCE_OPEN_CONFIG config;
    DB_INSTANCE *instance = nullptr;
    scli::HostDouble host;
    REGISTRATION registration{};
    std::vector<FEATURE_STRUCT> shapes;
    bool ready = false;
};

void BM_insert_stream(benchmark::State &state)
{
    Parcels parcels;
    DB_STREAM *stream = nullptr;
    DB_STREAM_PARAMS params{};
    const char *names[] = {"name", "shape", "owner_id"};
    DB_COLUMN_DEF defs[3] = {};
    strcpy(defs[0].name, "name");
    defs[0].type = VE_STRING;
    defs[0].size = 16;
    strcpy(defs[1].name, "shape");
    defs[1].type = VE_SHAPE;
    strcpy(defs[2].name, "owner_id");
    defs[2].type = VE_INTEGER;
    if (!parcels.ready || DB_stream_init(&stream, 0, "bob", params) != 0 ||
        DB_stream_init_insert_table(stream, "parcels", &parcels.registration, 0, 3, names) != 0 ||
        DB_stream_init_array_insert(stream, 3, defs, 0) != 0) {
        state.SkipWithError("the insert stream could not be set up");
        DB_stream_free(stream);
        free(stream);
        return;
    }
    char name[] = "parcel";
    int32_t owner = 42;
    const int16_t present[] = {2, 2, 2};
    for (auto _ : state) {
        for (int r = 0; r < kRows; r++) {
            void *values[] = {name, &parcels.shapes[r], &owner};
            if (DB_stream_execute_insert_table(stream, present, values, 0, 0) != 0) {
                state.SkipWithError("insert failed");
                break;
            }
        }
        scli::clear_journal();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
    DB_stream_free(stream);
    free(stream);
}

void BM_param_array_baseline(benchmark::State &state)
{
    Parcels parcels;
    if (!parcels.ready) {
        state.SkipWithError("the layer could not be read");
        return;
    }
    // The same bytes per row: the shape parameter as the stream builds it.
    std::vector<std::string> shape_bytes;
    size_t width = 0;
    for (FEATURE_STRUCT &f : parcels.shapes) {
        uint8_t header[DB_SHAPE_PARAM_HEADER] = {};
        VES_encode_varLONG(f.entity_type, VES_encode_varLONG(f.num_points, header));
        std::string bytes(reinterpret_cast<char *>(header), sizeof(header));
        bytes.append(reinterpret_cast<char *>(f.compressed),
                     static_cast<size_t>(VES_get_compressed_buffer_size(&f)));
        width = std::max(width, bytes.size());
        shape_bytes.push_back(bytes);
    }
    std::vector<char> names(kRows * 17), annos(kRows * 256), shapes(kRows * width);
    std::vector<SQLLEN> name_len(kRows, SQL_NTS), shape_len(kRows), anno_len(kRows, SQL_NULL_DATA),
        int_len(kRows, 4);
    std::vector<SQLINTEGER> owners(kRows, 42), ids(kRows);
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, db_connection()->hdbc, &stmt);
    SQLPrepare(stmt, reinterpret_cast<SQLCHAR *>(const_cast<char *>(kInsert)), SQL_NTS);
    SQLSetStmtAttr(stmt, scli::kParamArrayAttr, reinterpret_cast<SQLPOINTER>(1), 0);
    SQLSetStmtAttr(stmt, SQL_ATTR_PARAM_BIND_TYPE, SQL_PARAM_BIND_BY_COLUMN, 0);
    SQLSetStmtAttr(stmt, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(kRows), 0);
    SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, 16, 0, names.data(), 17,
                     name_len.data());
    SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_BINARY, -104, width, 0, shapes.data(),
                     static_cast<SQLLEN>(width), shape_len.data());
    SQLBindParameter(stmt, 3, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, 255, 0, annos.data(), 256,
                     anno_len.data());
    SQLBindParameter(stmt, 4, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, owners.data(), 4,
                     int_len.data());
    SQLBindParameter(stmt, 5, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, ids.data(), 4,
                     int_len.data());
    int32_t next_id = 1;
    for (auto _ : state) {
        for (int r = 0; r < kRows; r++) {
            memcpy(&names[static_cast<size_t>(r) * 17], "parcel", 7);
            memcpy(&shapes[static_cast<size_t>(r) * width], shape_bytes[r].data(),
                   shape_bytes[r].size());
            shape_len[r] = static_cast<SQLLEN>(shape_bytes[r].size());
            ids[r] = next_id++;
        }
        if (!SQL_SUCCEEDED(SQLExecute(stmt))) {
            state.SkipWithError("execute failed");
            break;
        }
        scli::clear_journal();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

} // namespace

BENCHMARK(BM_insert_stream);
BENCHMARK(BM_param_array_baseline);

ZEL_BENCH_MAIN({"BM_insert_stream", "BM_param_array_baseline",
                ">= 0.4: an execute per row against one per 100 rows"})
