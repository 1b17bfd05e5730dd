// Tests spatial references: the srid of a coordinate reference (with the
// stream's remembered answer), creation with reuse and numbering under a
// held lock, alteration and deletion with their checks, reading rows into
// records, and the srid of a new layer through the catalogue routines or
// plain SQL.
#include "db/catalog/db_spatial_ref_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stream.h"
#include "mox/mox.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

std::string table()
{
    char name[DB_QUALIFIED_NAME_SIZE];
    db_make_spatial_references_name(nullptr, name, sizeof(name));
    return name;
}

std::string layers()
{
    char name[DB_QUALIFIED_NAME_SIZE];
    db_make_layers_table_name(nullptr, name, sizeof(name));
    return name;
}

std::string find_sql(const std::string &text)
{
    return "select srid from " + table() +
           " where falsex = ? and falsey = ? and xyunits = ?    and falsez = ? and zunits = ? "
           "and falsem = ? and munits = ? and    srtext = '" +
           text + "'";
}

std::string max_sql()
{
    return "select max(srid) from " + table();
}

std::string lock_sql()
{
    return " LOCK table " + table() + " IN EXCLUSIVE MODE";
}

std::string insert_sql()
{
    return "INSERT into " + table() +
           " (srid, falsex, falsey, xyunits, falsez, zunits,           falsem, munits, srtext, "
           "description, auth_name, auth_srid)           VALUES (?,?,?,?,?,?,?,?,?,?,?,?)";
}

std::string update_sql(int32_t srid)
{
    return "UPDATE " + table() +
           " SET (srid=?, falsex=?, falsey=?, xyunits=?,           falsez=?, zunits=?, falsem=?, "
           "munits=?, srtext=?,           description=?, auth_name=?, auth_srid=?) WHERE srid = " +
           std::to_string(srid);
}

std::string count_sql(const std::string &of, int32_t srid)
{
    return "SELECT COUNT(*) FROM " + of + " WHERE SRID = " + std::to_string(srid);
}

const char *const kSelect = "SELECT  srid, description, auth_name, auth_srid, falsex, falsey, "
                            "xyunits, falsez, zunits, falsem, munits, srtext FROM ";

std::vector<scli::Column> row_columns()
{
    return {{"srid", SQL_INTEGER},           {"description", SQL_VARCHAR, 64},
            {"auth_name", SQL_VARCHAR, 255}, {"auth_srid", SQL_INTEGER},
            {"falsex", SQL_DOUBLE},          {"falsey", SQL_DOUBLE},
            {"xyunits", SQL_DOUBLE},         {"falsez", SQL_DOUBLE},
            {"zunits", SQL_DOUBLE},          {"falsem", SQL_DOUBLE},
            {"munits", SQL_DOUBLE},          {"srtext", SQL_CHAR, 2048}};
}

scli::Row sref_row(int32_t srid, scli::Value description, scli::Value auth_srid,
                   const std::string &text)
{
    return {scli::i32(srid), description,      scli::varchar("EPSG"), auth_srid,
            scli::f64(-400), scli::f64(-300),  scli::f64(1000),       scli::f64(0),
            scli::f64(10),   scli::f64(-5000), scli::f64(0),          scli::chr(text, 2048)};
}

void one_int(const std::string &sql, scli::Value v)
{
    scli::on_sql(sql).columns({{"n", SQL_INTEGER}}).row({v});
}

// A coordinate reference with heap text (or none) freed at the end.
struct Ref {
    COORDREF *c = nullptr;
    explicit Ref(const char *text, double xyunits = 1000)
    {
        MoxCoordRefCreate(&c);
        c->falsex = -400;
        c->falsey = -300;
        c->xyunits = xyunits;
        c->zunits = 10;
        c->falsem = -5000;
        if (text)
            c->srtext = strdup(text);
    }
    ~Ref()
    {
        MoxCoordRefFree(c);
    }
};

const std::vector<std::string> kValueParams = {"-400", "-300", "1000", "0", "10", "-5000", "0"};

} // namespace

using catalog_test::params_of;
using SpatialRefs = ConnectedUser;

TEST_F(SpatialRefs, SridOfACoordinateReference)
{
    const struct {
        const char *text;
        std::string literal;
    } cases[] = {
        {"PROJCS[\"it's\"]", "PROJCS[\"it''s\"]"}, // quotes doubled
        {nullptr, "UNKNOWN"},                      // no text is stored as UNKNOWN
        {"", "UNKNOWN"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.literal);
        MarkNow();
        Ref ref(c.text);
        one_int(find_sql(c.literal), scli::i32(12));
        int32_t srid = 0;
        EXPECT_EQ(db_get_srid(nullptr, nullptr, ref.c, &srid), ZE_SUCCESS);
        EXPECT_EQ(srid, 12);
        EXPECT_EQ(params_of(find_sql(c.literal)), kValueParams);
        // No equal row: 100, srid untouched.
        scli::on_sql(find_sql(c.literal)).columns({{"srid", SQL_INTEGER}});
        EXPECT_EQ(db_get_srid(nullptr, nullptr, ref.c, &srid), SQL_NO_DATA);
        EXPECT_EQ(srid, 12);
        EXPECT_EQ(Executed(), std::vector<std::string>(2, find_sql(c.literal)));
    }
}

TEST_F(SpatialRefs, StreamRemembersTheLastAnswer)
{
    DB_STREAM_PARAMS params{};
    DB_STREAM *stream = nullptr;
    ASSERT_EQ(DB_stream_init(&stream, 0, "bob", params), ZE_SUCCESS);
    Ref first("GEOGCS[a]"), same("GEOGCS[a]"), other("GEOGCS[a]", 100);
    one_int(find_sql("GEOGCS[a]"), scli::i32(3));
    one_int(find_sql("GEOGCS[a]"), scli::i32(4));
    int32_t srid = 0;
    EXPECT_EQ(db_get_srid(nullptr, stream, first.c, &srid), ZE_SUCCESS);
    EXPECT_EQ(srid, 3);
    srid = 0;
    EXPECT_EQ(db_get_srid(nullptr, stream, same.c, &srid), ZE_SUCCESS); // no query
    EXPECT_EQ(srid, 3);
    EXPECT_EQ(db_get_srid(nullptr, stream, other.c, &srid), ZE_SUCCESS);
    EXPECT_EQ(srid, 4);
    EXPECT_EQ(Executed(), std::vector<std::string>(2, find_sql("GEOGCS[a]")));
    DB_stream_free(stream);
    free(stream);
}

TEST_F(SpatialRefs, FailedLookUp)
{
    Ref ref("x");
    scli::on_sql(find_sql("x")).fail(SQL_ERROR, {"HY000", -211, "cannot read system catalog"});
    int32_t srid = 0;
    StderrCapture capture;
    EXPECT_EQ(db_get_srid(nullptr, nullptr, ref.c, &srid), ZE_DBMS_ERROR);
    EXPECT_NE(capture.text().find("db_get_srid() Execute error (-1)."), std::string::npos);
    DB_EXT_ERROR xerr;
    EXPECT_EQ(DB_instance_get_xerr(&xerr)->native_error, -211);
    EXPECT_EQ(db_get_srid(nullptr, nullptr, nullptr, &srid), ZE_NULL_POINTER);
}

TEST_F(SpatialRefs, CreateReusesOrNumbers)
{
    Ref ref("PROJCS[x]");
    VE_SPATIALREF record{};
    record.coordref = ref.c;
    strcpy(record.description, "local grid");
    strcpy(record.auth_name, "EPSG");
    record.auth_srid = 3857;

    // An equal row exists: its srid, nothing added.
    one_int(find_sql("PROJCS[x]"), scli::i32(6));
    EXPECT_EQ(DB_spatial_ref_create(nullptr, &record), ZE_SPATIALREF_EXISTS);
    EXPECT_EQ(record.srid, 6);
    EXPECT_EQ(Executed(), std::vector<std::string>{find_sql("PROJCS[x]")});

    // New rows: max + 1, 1 for an empty table; the lock is held until the commit.
    const struct {
        scli::Value max;
        int32_t srid;
    } cases[] = {{scli::i32(7), 8}, {scli::null(), 1}};
    for (const auto &c : cases) {
        MarkNow();
        scli::on_sql(find_sql("PROJCS[x]")).columns({{"srid", SQL_INTEGER}});
        one_int(max_sql(), c.max);
        EXPECT_EQ(DB_spatial_ref_create(nullptr, &record), ZE_SUCCESS);
        EXPECT_EQ(record.srid, c.srid);
        EXPECT_EQ(Executed(), (std::vector<std::string>{find_sql("PROJCS[x]"), lock_sql(),
                                                        max_sql(), insert_sql(), "COMMIT"}));
        std::vector<std::string> params = {std::to_string(c.srid)};
        params.insert(params.end(), kValueParams.begin(), kValueParams.end());
        params.insert(params.end(), {"PROJCS[x]", "local grid", "EPSG", "3857"});
        EXPECT_EQ(params_of(insert_sql()), params);
    }
}

TEST_F(SpatialRefs, CreateFailures)
{
    Ref ref(nullptr);
    VE_SPATIALREF record{};
    record.coordref = ref.c;
    // Taken meanwhile: the DBMS refuses the key; srid back to 0, still committed.
    scli::on_sql(find_sql("UNKNOWN")).columns({{"srid", SQL_INTEGER}});
    one_int(max_sql(), scli::i32(2));
    scli::on_sql(insert_sql()).fail(SQL_ERROR, {"23000", -268, "unique constraint"});
    EXPECT_EQ(DB_spatial_ref_create(nullptr, &record), ZE_SPATIALREF_EXISTS);
    EXPECT_EQ(record.srid, 0);
    EXPECT_EQ(params_of(insert_sql())[8], "UNKNOWN");
    EXPECT_EQ(Executed().back(), "COMMIT");

    // The lock is refused: nothing more.
    MarkNow();
    scli::on_sql(find_sql("UNKNOWN")).columns({{"srid", SQL_INTEGER}});
    scli::on_sql(lock_sql()).fail(SQL_ERROR, {"S1000", -289, "cannot lock"});
    EXPECT_EQ(DB_spatial_ref_create(nullptr, &record), ZE_LOCK_CONFLICT);
    EXPECT_EQ(Executed(), (std::vector<std::string>{find_sql("UNKNOWN"), lock_sql()}));

    EXPECT_EQ(DB_spatial_ref_create(nullptr, nullptr), ZE_NULL_POINTER);
    record.coordref = nullptr;
    EXPECT_EQ(DB_spatial_ref_create(nullptr, &record), ZE_NULL_POINTER);
}

TEST_F(SpatialRefs, AlterAndDeleteCheckTheSrid)
{
    Ref ref("t");
    VE_SPATIALREF record{};
    record.coordref = ref.c;
    record.srid = 5;
    const std::string delete_sql = "DELETE from " + table() + " WHERE srid =  5 ";
    const struct {
        const char *what;
        int32_t rows, layers;
        int32_t result;
    } cases[] = {
        {"no such srid", 0, 0, ZE_SPATIALREF_NOT_FOUND},
        {"used by a layer", 1, 2, ZE_SPATIALREF_IN_USE},
        {"free", 1, 0, ZE_SUCCESS},
    };
    for (bool alter : {true, false}) {
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(alter ? "alter: " : "delete: ") + c.what);
            MarkNow();
            one_int(count_sql(table(), 5), scli::i32(c.rows));
            if (c.rows > 0)
                one_int(count_sql(layers(), 5), scli::i32(c.layers));
            scli::on_sql(update_sql(5)).row_count(1);
            scli::on_sql(delete_sql).row_count(1);
            int32_t rc =
                alter ? DB_spatial_ref_alter(nullptr, &record) : DB_spatial_ref_delete(nullptr, 5);
            EXPECT_EQ(rc, c.result);
            std::vector<std::string> expected = {count_sql(table(), 5)};
            if (c.rows > 0)
                expected.push_back(count_sql(layers(), 5));
            if (c.result == ZE_SUCCESS)
                expected.insert(expected.end(),
                                {lock_sql(), alter ? update_sql(5) : delete_sql, "COMMIT"});
            EXPECT_EQ(Executed(), expected);
        }
    }
}

TEST_F(SpatialRefs, WriteThatTouchesNoRow)
{
    // The row went between the check and the lock; either answer of the DBMS.
    Ref ref("t");
    VE_SPATIALREF record{};
    record.coordref = ref.c;
    record.srid = 5;
    const std::string delete_sql = "DELETE from " + table() + " WHERE srid =  5 ";
    for (bool no_data : {true, false}) {
        one_int(count_sql(table(), 5), scli::i32(1));
        one_int(count_sql(layers(), 5), scli::i32(0));
        one_int(count_sql(table(), 5), scli::i32(1));
        one_int(count_sql(layers(), 5), scli::i32(0));
        if (no_data) {
            scli::on_sql(update_sql(5)).no_data();
            scli::on_sql(delete_sql).no_data();
        } else {
            scli::on_sql(update_sql(5)).row_count(0);
            scli::on_sql(delete_sql).row_count(0);
        }
        EXPECT_EQ(DB_spatial_ref_alter(nullptr, &record), ZE_SPATIALREF_NOT_FOUND);
        EXPECT_EQ(DB_spatial_ref_delete(nullptr, 5), ZE_SPATIALREF_NOT_FOUND);
        EXPECT_EQ(Executed().back(), "COMMIT");
    }
}

TEST_F(SpatialRefs, ReadOneRow)
{
    scli::on_sql(std::string(kSelect) + table() + " WHERE srid = 9")
        .columns(row_columns())
        .row(sref_row(9, scli::varchar("grid"), scli::i32(2000), "PROJCS[a]   "));
    VE_SPATIALREF record{};
    MoxCoordRefCreate(&record.coordref); // the caller's old reference is freed
    ASSERT_EQ(DB_spatial_ref_get_info(nullptr, 9, &record), ZE_SUCCESS);
    EXPECT_EQ(record.srid, 9);
    EXPECT_STREQ(record.description, "grid");
    EXPECT_STREQ(record.auth_name, "EPSG");
    EXPECT_EQ(record.auth_srid, 2000);
    ASSERT_NE(record.coordref, nullptr);
    const COORDREF &c = *record.coordref;
    EXPECT_EQ(c.srid, 9);
    EXPECT_STREQ(c.srtext, "PROJCS[a]");
    EXPECT_EQ(c.falsex, -400);
    EXPECT_EQ(c.falsey, -300);
    EXPECT_EQ(c.xyunits, 1000);
    EXPECT_DOUBLE_EQ(c.xy_rounding, 0.001);
    EXPECT_DOUBLE_EQ(c.xy_half_unit, 0.0005);
    EXPECT_DOUBLE_EQ(c.z_rounding, 0.1);
    EXPECT_EQ(c.m_rounding, 0.0); // no M units
    EXPECT_EQ(Executed(), (std::vector<std::string>{
                              std::string(kSelect) + table() + " WHERE srid = 9", "COMMIT"}));
    MoxCoordRefFree(record.coordref);

    scli::on_sql(std::string(kSelect) + table() + " WHERE srid = 8").columns(row_columns());
    record.coordref = nullptr;
    EXPECT_EQ(DB_spatial_ref_get_info(nullptr, 8, &record), ZE_SPATIALREF_NOT_FOUND);
    EXPECT_EQ(DB_spatial_ref_get_info(nullptr, 8, nullptr), ZE_NULL_POINTER);
}

TEST_F(SpatialRefs, ReadEveryRowInBlocks)
{
    std::vector<scli::Row> rows;
    for (int32_t i = 1; i <= 250; i++) {
        bool nulls = i % 2 == 0;
        rows.push_back(sref_row(i, nulls ? scli::null() : scli::varchar("d"),
                                nulls ? scli::null() : scli::i32(i),
                                i % 5 == 0 ? "UNKNOWN" : "T" + std::to_string(i)));
    }
    scli::on_sql(std::string(kSelect) + table()).columns(row_columns()).rows(rows);
    VE_SPATIALREF *list = nullptr;
    int32_t count = 0;
    ASSERT_EQ(DB_spatial_ref_get_info_list(nullptr, &list, &count), ZE_SUCCESS);
    ASSERT_EQ(count, 250);
    EXPECT_EQ(scli::call_count("SQLExtendedFetch"), 3);
    for (int32_t i = 1; i <= 250; i++) {
        const VE_SPATIALREF &r = list[i - 1];
        bool nulls = i % 2 == 0;
        EXPECT_EQ(r.srid, i);
        EXPECT_STREQ(r.description, nulls ? "" : "d");
        EXPECT_EQ(r.auth_srid, nulls ? 0 : i);
        if (i % 5 == 0) {
            EXPECT_EQ(r.coordref->srtext, nullptr);
            EXPECT_EQ(r.coordref->xy_rounding, 0.0);
        } else {
            EXPECT_EQ(std::string(r.coordref->srtext), "T" + std::to_string(i));
        }
        MoxCoordRefFree(r.coordref);
    }
    free(list);

    // An empty table: no list.
    scli::on_sql(std::string(kSelect) + table()).columns(row_columns());
    ASSERT_EQ(DB_spatial_ref_get_info_list(nullptr, &list, &count), ZE_SUCCESS);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(list, nullptr);

    StderrCapture capture;
    scli::on_sql(std::string(kSelect) + table())
        .columns(row_columns())
        .rows(rows)
        .at_fetch(2, SQL_ERROR, {"HY000", -244, "physical-order read"});
    EXPECT_EQ(DB_spatial_ref_get_info_list(nullptr, &list, &count), ZE_DBMS_ERROR);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(DB_spatial_ref_get_info_list(nullptr, nullptr, &count), ZE_NULL_POINTER);
}

namespace
{

std::string routine(const char *name)
{
    char out[DB_QUALIFIED_NAME_SIZE];
    db_make_admin_object_name(nullptr, name, out, sizeof(out));
    return out;
}

std::string call_lock()
{
    return "{ call " + routine("lock_spatial_references") + " ()}";
}

std::string call_insert()
{
    return "{ call " + routine("insert_spatial_ref") + " (?,?,?,?,?,?,?,?,?)}";
}

} // namespace

TEST_F(SpatialRefs, SridOfANewLayerThroughTheRoutines)
{
    Ref ref("PROJCS[n]");
    int32_t srid = 0;
    // Found: no lock.
    one_int(find_sql("PROJCS[n]"), scli::i32(4));
    EXPECT_EQ(db_sp_find_srid(ref.c, &srid), ZE_SUCCESS);
    EXPECT_EQ(srid, 4);
    EXPECT_EQ(Executed(), std::vector<std::string>{find_sql("PROJCS[n]")});

    const struct {
        int32_t status;
        int32_t result, native;
    } cases[] = {{0, ZE_SUCCESS, 0}, {-20254, ZE_SPATIALREF_EXISTS, 0}, {-5, ZE_DBMS_ERROR, -5}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.status);
        MarkNow();
        scli::on_sql(find_sql("PROJCS[n]")).columns({{"srid", SQL_INTEGER}});
        one_int(max_sql(), scli::null());
        one_int(call_insert(), scli::i32(c.status));
        srid = 0;
        EXPECT_EQ(db_sp_find_srid(ref.c, &srid), c.result);
        EXPECT_EQ(srid, c.result == ZE_SUCCESS ? 1 : 0);
        // The lock stays with the caller's transaction: no commit.
        EXPECT_EQ(Executed(), (std::vector<std::string>{find_sql("PROJCS[n]"), call_lock(),
                                                        max_sql(), call_insert()}));
        std::vector<std::string> params = {"1"};
        params.insert(params.end(), kValueParams.begin(), kValueParams.end());
        params.push_back("PROJCS[n]");
        EXPECT_EQ(params_of(call_insert()), params);
        if (c.status != 0) {
            DB_EXT_ERROR xerr;
            DB_instance_get_xerr(&xerr);
            EXPECT_EQ(xerr.code, c.result);
            EXPECT_EQ(xerr.native_error, c.native);
            EXPECT_EQ(std::string(xerr.message),
                      "Error executing stored procedure " + routine("insert_spatial_ref"));
        }
    }
}

TEST_F(SpatialRefs, SridOfANewLayerWithPlainSql)
{
    Ref ref("it's");
    const std::string lock = "lock table " + table() + " in exclusive mode";
    const std::string insert =
        "insert into " + table() +
        " (srid,falsex,falsey,xyunits,falsez,zunits,falsem,munits,      srtext) values "
        "(3,?,?,?,?,?,?,?,'it''s')";
    scli::on_sql(find_sql("it''s")).columns({{"srid", SQL_INTEGER}});
    one_int(max_sql(), scli::i32(2));
    int32_t srid = 0;
    EXPECT_EQ(db_find_srid(ref.c, &srid), ZE_SUCCESS);
    EXPECT_EQ(srid, 3);
    EXPECT_EQ(Executed(),
              (std::vector<std::string>{find_sql("it''s"), lock, max_sql(), insert, "COMMIT"}));
    EXPECT_EQ(params_of(insert), kValueParams);

    // A refused insert: rolled back, the transaction of the lock ended.
    MarkNow();
    scli::on_sql(find_sql("it''s")).columns({{"srid", SQL_INTEGER}});
    one_int(max_sql(), scli::i32(2));
    scli::on_sql(insert).fail(SQL_ERROR, {"23000", -268, "unique"});
    StderrCapture capture;
    EXPECT_EQ(db_find_srid(ref.c, &srid), ZE_DBMS_ERROR);
    EXPECT_NE(capture.text().find("db_find_srid() Execute error"), std::string::npos);
    EXPECT_EQ(Executed(), (std::vector<std::string>{find_sql("it''s"), lock, max_sql(), insert,
                                                    "ROLLBACK", "COMMIT"}));
    DB_EXT_ERROR xerr;
    EXPECT_EQ(DB_instance_get_xerr(&xerr)->native_error, -268);
}

// A row written but not committed is a failure: -51 with the commit's
// diagnostic, the transaction rolled back, the created record's srid as the
// caller had it.
TEST_F(SpatialRefs, FailedCommitAfterAWriteIsTheAnswer)
{
    Ref ref("t");
    VE_SPATIALREF record{};
    record.coordref = ref.c;
    const std::string delete_sql = "DELETE from " + table() + " WHERE srid =  5 ";
    const std::string plain_lock = "lock table " + table() + " in exclusive mode";
    const std::string plain_insert =
        "insert into " + table() +
        " (srid,falsex,falsey,xyunits,falsez,zunits,falsem,munits,      srtext) values "
        "(3,?,?,?,?,?,?,?,'t')";
    const struct {
        const char *what;
        std::vector<std::string> ran;
    } cases[] = {
        {"create", {find_sql("t"), lock_sql(), max_sql(), insert_sql(), "COMMIT", "ROLLBACK"}},
        {"alter",
         {count_sql(table(), 5), count_sql(layers(), 5), lock_sql(), update_sql(5), "COMMIT",
          "ROLLBACK"}},
        {"delete",
         {count_sql(table(), 5), count_sql(layers(), 5), lock_sql(), delete_sql, "COMMIT",
          "ROLLBACK"}},
        {"srid of a new layer",
         {find_sql("t"), plain_lock, max_sql(), plain_insert, "COMMIT", "ROLLBACK"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        MarkNow();
        scli::on_sql(find_sql("t")).columns({{"srid", SQL_INTEGER}});
        one_int(max_sql(), scli::i32(2));
        one_int(count_sql(table(), 5), scli::i32(1));
        one_int(count_sql(layers(), 5), scli::i32(0));
        scli::on_sql(update_sql(5)).row_count(1);
        scli::on_sql(delete_sql).row_count(1);
        scli::on_commit().fail(SQL_ERROR, {"08S01", -908, "connection lost"});
        record.srid = 5;
        int32_t srid = 0;
        int32_t rc = 0;
        const std::string what = c.what;
        if (what == "create")
            rc = DB_spatial_ref_create(nullptr, &record);
        else if (what == "alter")
            rc = DB_spatial_ref_alter(nullptr, &record);
        else if (what == "delete")
            rc = DB_spatial_ref_delete(nullptr, 5);
        else
            rc = db_find_srid(ref.c, &srid);
        EXPECT_EQ(rc, ZE_DBMS_ERROR);
        EXPECT_EQ(record.srid, 5);
        EXPECT_EQ(srid, 0);
        EXPECT_EQ(Executed(), c.ran);
        DB_EXT_ERROR xerr;
        EXPECT_EQ(DB_instance_get_xerr(&xerr)->native_error, -908);
    }
}
