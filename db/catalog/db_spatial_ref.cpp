// Spatial references (db_spatial_ref.h, db_spatial_ref_internal.h): the
// SPATIAL_REFERENCES rows of the administrative database matched, numbered,
// written and read. New srids are max(srid) + 1 read under a table lock that
// is held until the new row is committed, so that two server processes never
// number the same srid. Rows are read 100 at a time.
#include "db/catalog/db_spatial_ref_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "base/util/ve_shape_error.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"
#include "mox/mox.h"

static_assert(sizeof(SQLINTEGER) == sizeof(int32_t), "SQL_C_SLONG binds a 32-bit cell");

// Text stored for a coordinate reference without one.
#define S_NO_TEXT "UNKNOWN"
// Widths of the text columns as bound.
#define S_SRTEXT_COLUMN 2049
#define S_SRTEXT_FETCH 2048
// Text buffer a read coordinate reference owns.
#define S_SRTEXT_KEPT 1024
#define S_ROWSET 100

namespace
{

// The seven values of a coordinate reference, in the order every statement
// of this file binds them.
struct Values {
    double v[7];
    explicit Values(const COORDREF *c)
        : v{c->falsex, c->falsey, c->xyunits, c->falsez, c->zunits, c->falsem, c->munits}
    {
    }
};

} // namespace

// Prepares a statement text of its own. 0; -51 recorded.
static int32_t S_prepare_text(SQLHSTMT *hstmt, const std::string &sql)
{
    return db_catalog_prepare(nullptr, hstmt, sql.c_str());
}

static std::string S_table(void)
{
    char name[DB_QUALIFIED_NAME_SIZE] = "";
    db_make_spatial_references_name(nullptr, name, sizeof(name));
    return name;
}

static std::string S_layers(void)
{
    char name[DB_QUALIFIED_NAME_SIZE] = "";
    db_make_layers_table_name(nullptr, name, sizeof(name));
    return name;
}

// The text a row holds for the reference.
static const char *S_text(const COORDREF *coordref)
{
    return coordref->srtext != nullptr && coordref->srtext[0] != '\0' ? coordref->srtext
                                                                      : S_NO_TEXT;
}

static SQLRETURN S_bind_double(SQLHSTMT hstmt, SQLUSMALLINT n, double *value)
{
    return SQLBindParameter(hstmt, n, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, value, 0,
                            nullptr);
}

// Binds the seven values as parameters first to first + 6.
static SQLRETURN S_bind_values(SQLHSTMT hstmt, SQLUSMALLINT first, Values *values)
{
    SQLRETURN rc = SQL_SUCCESS;
    for (SQLUSMALLINT i = 0; i < 7 && SQL_SUCCEEDED(rc); i++)
        rc = S_bind_double(hstmt, static_cast<SQLUSMALLINT>(first + i), &values->v[i]);
    return rc;
}

// Runs a query of one integer, its parameters bound by bind when given, and
// reads its first row without committing. 0 with *value (*is_null when
// NULL); 100 without a row; -51 recorded, the failing CLI code first printed
// to standard error with the format when one is given.
static int32_t S_query_int(const std::string &sql, const std::function<SQLRETURN(SQLHSTMT)> &bind,
                           int32_t *value, bool *is_null, const char *failure_format = nullptr)
{
    *value = 0;
    *is_null = true;
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int32_t rc = db_catalog_prepare(nullptr, &hstmt, sql.c_str());
    if (rc != 0)
        return rc;
    int32_t read = 0;
    SQLLEN length = SQL_NULL_DATA;
    SQLRETURN cli = SQLBindCol(hstmt, 1, SQL_C_SLONG, &read, sizeof(read), &length);
    if (SQL_SUCCEEDED(cli) && bind)
        cli = bind(hstmt);
    if (SQL_SUCCEEDED(cli))
        cli = SQLExecute(hstmt);
    if (SQL_SUCCEEDED(cli))
        cli = SQLFetch(hstmt);
    if (cli == SQL_NO_DATA) {
        db_free_stmt(&hstmt);
        return SQL_NO_DATA;
    }
    if (!SQL_SUCCEEDED(cli)) {
        if (failure_format != nullptr)
            fprintf(stderr, failure_format, cli);
        return db_catalog_fail(nullptr, &hstmt, cli);
    }
    db_free_stmt(&hstmt);
    *is_null = length == SQL_NULL_DATA;
    *value = *is_null ? 0 : read;
    return 0;
}

static int32_t S_select_int(const std::string &sql, int32_t *value, bool *is_null)
{
    return S_query_int(sql, nullptr, value, is_null);
}

// The next free srid: max(srid) + 1, 1 for an empty table.
static int32_t S_next_srid(int32_t *srid)
{
    int32_t max = 0;
    bool is_null = true;
    int32_t rc = S_select_int("select max(srid) from " + S_table(), &max, &is_null);
    if (rc == SQL_NO_DATA)
        rc = 0;
    *srid = max + 1;
    return rc;
}

// Runs one statement without committing. 0; -51 recorded.
static int32_t S_run(const std::string &sql)
{
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int32_t rc = db_catalog_prepare(nullptr, &hstmt, sql.c_str());
    if (rc != 0)
        return rc;
    SQLRETURN cli = SQLExecute(hstmt);
    if (!SQL_SUCCEEDED(cli) && cli != SQL_NO_DATA)
        return db_catalog_fail(nullptr, &hstmt, cli);
    db_free_stmt(&hstmt);
    return 0;
}

// The geometry module's failure as an engine code: out of memory -12.
static int32_t S_mox_code(int32_t rc)
{
    int32_t code = VES_map_shape_error_to_zel(rc);
    return code == ZE_BUFFER_NO_MEMORY ? ZE_OUT_OF_MEMORY : code;
}

// Remembers the resolved reference in the stream.
static int32_t S_remember(DB_STREAM *stream, const COORDREF *coordref, int32_t srid)
{
    if (stream->coordref == nullptr) {
        int32_t rc = MoxCoordRefCreate(&stream->coordref);
        if (rc != 0) {
            stream->coordref = nullptr;
            return S_mox_code(rc);
        }
    }
    int32_t rc = MoxCoordRefDuplicate(coordref, stream->coordref);
    if (rc != 0)
        return S_mox_code(rc);
    stream->coordref_srid = srid;
    return 0;
}

static int32_t S_get_srid(DB_STREAM *stream, const COORDREF *coordref, int32_t *srid)
{
    if (stream != nullptr && stream->coordref != nullptr &&
        MoxCoordRefIsEqual(stream->coordref, coordref)) {
        *srid = stream->coordref_srid;
        return 0;
    }
    std::string sql = "select srid from " + S_table() +
                      " where falsex = ? and falsey = ? and xyunits = ?    and falsez = ? and "
                      "zunits = ? and falsem = ? and munits = ? and    srtext = '" +
                      db_quote_literal(S_text(coordref)) + "'";
    Values values(coordref);
    int32_t found = 0;
    bool is_null = true;
    int32_t rc = S_query_int(
        sql, [&](SQLHSTMT hstmt) { return S_bind_values(hstmt, 1, &values); }, &found, &is_null,
        "db_get_srid() Execute error (%d).\n");
    if (rc != 0)
        return rc;
    *srid = found;
    return stream != nullptr ? S_remember(stream, coordref, found) : 0;
}

int32_t db_get_srid(DB_INSTANCE *, DB_STREAM *stream, const COORDREF *coordref, int32_t *srid)
{
    if (coordref == nullptr || srid == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_get_srid(stream, coordref, srid); });
}

// ---- writing rows -----------------------------------------------------------

// Engine code of a failed insert or update of a row.
static int32_t S_write_code(const char *sqlstate)
{
    static const struct {
        const char *sqlstate;
        int32_t code;
    } map[] = {{"S0022", ZE_COLUMN_NOT_FOUND}, {"37000", ZE_SYNTAX_ERROR},
               {"42000", ZE_NO_PERMISSIONS},   {"S0002", ZE_TABLE_NOT_FOUND},
               {"01S03", ZE_TABLE_EXISTS},     {"23000", ZE_SPATIALREF_EXISTS}};
    for (const auto &m : map)
        if (strcmp(sqlstate, m.sqlstate) == 0)
            return m.code;
    return ZE_DBMS_ERROR;
}

// Whether an UPDATE or DELETE touched no row.
static bool S_touched_nothing(SQLHSTMT hstmt, SQLRETURN rc)
{
    if (rc == SQL_NO_DATA)
        return true;
    SQLLEN rows = -1;
    return SQL_SUCCEEDED(SQLRowCount(hstmt, &rows)) && rows == 0;
}

// Binds the twelve values of the record to the prepared INSERT or UPDATE,
// executes it without committing and frees the statement on every path.
// 0; -255 when an update touched no row; the mapped failure (-51 recorded).
static int32_t S_bind_sref_col(const VE_SPATIALREF *record, SQLHSTMT *hstmt, bool update)
{
    int32_t srid = record->srid, auth_srid = record->auth_srid;
    Values values(record->coordref);
    const char *text = S_text(record->coordref);
    SQLLEN text_length = static_cast<SQLLEN>(strlen(text));
    SQLLEN description_length =
        static_cast<SQLLEN>(strnlen(record->description, sizeof(record->description)));
    SQLLEN auth_name_length =
        static_cast<SQLLEN>(strnlen(record->auth_name, sizeof(record->auth_name)));
    SQLHSTMT h = *hstmt;
    SQLRETURN rc =
        SQLBindParameter(h, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &srid, 0, nullptr);
    if (SQL_SUCCEEDED(rc))
        rc = S_bind_values(h, 2, &values);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindParameter(h, 9, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, S_SRTEXT_COLUMN, 0,
                              const_cast<char *>(text), 0, &text_length);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindParameter(h, 10, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR,
                              sizeof(record->description), 0,
                              const_cast<char *>(record->description), 0, &description_length);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindParameter(h, 11, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR,
                              sizeof(record->auth_name), 0, const_cast<char *>(record->auth_name),
                              0, &auth_name_length);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindParameter(h, 12, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &auth_srid, 0,
                              nullptr);
    if (SQL_SUCCEEDED(rc))
        rc = SQLExecute(h);
    if (update && (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) && S_touched_nothing(h, rc)) {
        db_free_stmt(hstmt);
        return ZE_SPATIALREF_NOT_FOUND;
    }
    if (SQL_SUCCEEDED(rc)) {
        db_free_stmt(hstmt);
        return 0;
    }
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, hstmt, rc);
    db_free_stmt(hstmt);
    if (rc == SQL_INVALID_HANDLE)
        snprintf(diag.message, sizeof(diag.message), "S_bind_sref_col::Invalid ODBC handle (%d)\n",
                 rc);
    int32_t code = S_write_code(diag.sqlstate);
    if (code == ZE_DBMS_ERROR)
        db_set_xerr_from_diag(diag);
    return code;
}

// Ends a write's transaction. After a failed step the commit only ends the
// table lock (the step wrote nothing) and the step's failure and record
// stay. After a written row a failed commit is the answer (-51, recorded)
// and the transaction is rolled back, so that no later commit stores a row
// reported as not written.
static int32_t S_finish(int32_t rc)
{
    if (rc != 0) {
        const DB_EXT_ERROR failure = db_global_xerr;
        if (!SQL_SUCCEEDED(db_commit()))
            db_rollback();
        db_global_xerr = failure;
        return rc;
    }
    rc = db_catalog_commit();
    if (rc != 0)
        db_catalog_rollback();
    return rc;
}

// Takes the table lock that the caller's commit releases.
static int32_t S_lock(void)
{
    int rc = db_execute_ddlsql((" LOCK table " + S_table() + " IN EXCLUSIVE MODE").c_str(), 0,
                               DB_EXEC_NO_COMMIT);
    return rc < 0 ? rc : 0;
}

static int32_t S_create(VE_SPATIALREF *record)
{
    int32_t found = 0;
    int32_t rc = S_get_srid(nullptr, record->coordref, &found);
    if (rc == 0) {
        record->srid = found;
        return ZE_SPATIALREF_EXISTS;
    }
    if (rc != SQL_NO_DATA)
        return rc;
    rc = S_lock();
    if (rc != 0)
        return rc;
    int32_t srid = 0;
    rc = S_next_srid(&srid);
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    if (rc == 0)
        rc = S_prepare_text(
            &hstmt, "INSERT into " + S_table() +
                        " (srid, falsex, falsey, xyunits, falsez, zunits,           falsem, "
                        "munits, srtext, description, auth_name, auth_srid)           VALUES "
                        "(?,?,?,?,?,?,?,?,?,?,?,?)");
    if (rc == 0) {
        const int32_t before = record->srid;
        record->srid = srid;
        rc = S_bind_sref_col(record, &hstmt, false);
        if (rc == 0) {
            rc = S_finish(0);
            if (rc != 0)
                record->srid = before;
            return rc;
        }
    }
    record->srid = 0;
    return S_finish(rc);
}

int32_t DB_spatial_ref_create(DB_INSTANCE *, VE_SPATIALREF *spatial_ref)
{
    DB_instance_clear_xerr();
    if (spatial_ref == nullptr || spatial_ref->coordref == nullptr)
        return ZE_NULL_POINTER;
    try {
        return S_create(spatial_ref);
    } catch (const std::bad_alloc &) {
        db_rollback_transaction();
        spatial_ref->srid = 0;
        return ZE_OUT_OF_MEMORY;
    }
}

// -255 when no row has the srid, -256 when a layer uses it, else 0.
static int32_t S_check_unused(int32_t srid)
{
    const std::string where = " WHERE SRID = " + std::to_string(srid);
    int32_t count = 0;
    bool is_null = true;
    int32_t rc = S_select_int("SELECT COUNT(*) FROM " + S_table() + where, &count, &is_null);
    if (rc < 0)
        return rc;
    if (count <= 0)
        return ZE_SPATIALREF_NOT_FOUND;
    rc = S_select_int("SELECT COUNT(*) FROM " + S_layers() + where, &count, &is_null);
    if (rc < 0)
        return rc;
    return count > 0 ? ZE_SPATIALREF_IN_USE : 0;
}

static int32_t S_alter(const VE_SPATIALREF *record)
{
    int32_t rc = S_check_unused(record->srid);
    if (rc == 0)
        rc = S_lock();
    if (rc != 0)
        return rc;
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    rc = S_prepare_text(&hstmt,
                        "UPDATE " + S_table() +
                            " SET (srid=?, falsex=?, falsey=?, xyunits=?,           falsez=?, "
                            "zunits=?, falsem=?, munits=?, srtext=?,           description=?, "
                            "auth_name=?, auth_srid=?) WHERE srid = " +
                            std::to_string(record->srid));
    if (rc == 0)
        rc = S_bind_sref_col(record, &hstmt, true);
    return S_finish(rc);
}

int32_t DB_spatial_ref_alter(DB_INSTANCE *, const VE_SPATIALREF *spatial_ref)
{
    DB_instance_clear_xerr();
    if (spatial_ref == nullptr || spatial_ref->coordref == nullptr)
        return ZE_NULL_POINTER;
    try {
        return S_alter(spatial_ref);
    } catch (const std::bad_alloc &) {
        db_rollback_transaction();
        return ZE_OUT_OF_MEMORY;
    }
}

static int32_t S_delete(int32_t srid)
{
    int32_t rc = S_check_unused(srid);
    if (rc == 0)
        rc = S_lock();
    if (rc != 0)
        return rc;
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    rc = S_prepare_text(&hstmt, "DELETE from " + S_table() +
                                    " WHERE srid =  " + std::to_string(srid) + " ");
    if (rc == 0) {
        SQLRETURN cli = SQLExecute(hstmt);
        if (SQL_SUCCEEDED(cli) || cli == SQL_NO_DATA) {
            rc = S_touched_nothing(hstmt, cli) ? ZE_SPATIALREF_NOT_FOUND : 0;
            db_free_stmt(&hstmt);
        } else {
            rc = db_catalog_fail(nullptr, &hstmt, cli);
        }
    }
    return S_finish(rc);
}

int32_t DB_spatial_ref_delete(DB_INSTANCE *, int32_t srid)
{
    DB_instance_clear_xerr();
    try {
        return S_delete(srid);
    } catch (const std::bad_alloc &) {
        db_rollback_transaction();
        return ZE_OUT_OF_MEMORY;
    }
}

// ---- reading rows -----------------------------------------------------------

namespace
{

// Column arrays of one rowset.
struct Block {
    int32_t srid[S_ROWSET];
    char description[S_ROWSET][sizeof(VE_SPATIALREF::description)];
    SQLLEN description_length[S_ROWSET];
    char auth_name[S_ROWSET][sizeof(VE_SPATIALREF::auth_name)];
    SQLLEN auth_name_length[S_ROWSET];
    int32_t auth_srid[S_ROWSET];
    SQLLEN auth_srid_length[S_ROWSET];
    double values[7][S_ROWSET];
    char srtext[S_ROWSET][S_SRTEXT_FETCH];
    SQLLEN shared_length[S_ROWSET];
};

// A list under construction: freed with its references unless released.
struct List {
    VE_SPATIALREF *records = nullptr;
    int32_t count = 0;
    ~List()
    {
        for (int32_t i = 0; i < count; i++)
            MoxCoordRefFree(records[i].coordref);
        free(records);
    }
};

} // namespace

static SQLRETURN S_bind_block(SQLHSTMT hstmt, Block *b)
{
    const DB_CATALOG_COLUMN columns[] = {
        {SQL_C_SLONG, b->srid, sizeof(int32_t), b->shared_length},
        {SQL_C_CHAR, b->description, sizeof(b->description[0]), b->description_length},
        {SQL_C_CHAR, b->auth_name, sizeof(b->auth_name[0]), b->auth_name_length},
        {SQL_C_SLONG, b->auth_srid, sizeof(int32_t), b->auth_srid_length},
        {SQL_C_DOUBLE, b->values[0], sizeof(double), b->shared_length},
        {SQL_C_DOUBLE, b->values[1], sizeof(double), b->shared_length},
        {SQL_C_DOUBLE, b->values[2], sizeof(double), b->shared_length},
        {SQL_C_DOUBLE, b->values[3], sizeof(double), b->shared_length},
        {SQL_C_DOUBLE, b->values[4], sizeof(double), b->shared_length},
        {SQL_C_DOUBLE, b->values[5], sizeof(double), b->shared_length},
        {SQL_C_DOUBLE, b->values[6], sizeof(double), b->shared_length},
        {SQL_C_CHAR, b->srtext, sizeof(b->srtext[0]), b->shared_length},
    };
    return db_catalog_bind_columns(hstmt, columns);
}

// Copies a fetched text of a width into a field, empty when NULL.
template <size_t N> static void S_copy_text(char (&field)[N], const char (&cell)[N], SQLLEN length)
{
    size_t n = length == SQL_NULL_DATA ? 0 : strnlen(cell, N - 1);
    memcpy(field, cell, n);
    field[n] = '\0';
}

// The rounding and half-unit values of one axis; zero without units.
static void S_rounding(double units, double *rounding, double *half_unit)
{
    if (MoxsCalcCRound(units, rounding) != 0 || MoxsCalcHalfSU(*rounding, half_unit) != 0) {
        *rounding = 0.0;
        *half_unit = 0.0;
    }
}

// Fills the coordinate reference of row i. 0; -12.
static int32_t S_fill_coordref(const Block *b, int i, int32_t srid, COORDREF *c)
{
    c->srid = srid;
    double *fields[7] = {&c->falsex, &c->falsey, &c->xyunits, &c->falsez,
                         &c->zunits, &c->falsem, &c->munits};
    for (int k = 0; k < 7; k++)
        *fields[k] = b->values[k][i];
    size_t n = strnlen(b->srtext[i], sizeof(b->srtext[i]) - 1);
    while (n > 0 && b->srtext[i][n - 1] == ' ')
        n--;
    std::string_view text(b->srtext[i], n);
    if (text.empty() || text == S_NO_TEXT)
        return 0; // no text, zero roundings
    c->srtext = static_cast<char *>(calloc(1, S_SRTEXT_KEPT));
    if (c->srtext == nullptr)
        return ZE_OUT_OF_MEMORY;
    size_t kept = std::min(n, static_cast<size_t>(S_SRTEXT_KEPT - 1));
    memcpy(c->srtext, text.data(), kept);
    S_rounding(c->xyunits, &c->xy_rounding, &c->xy_half_unit);
    S_rounding(c->zunits, &c->z_rounding, &c->z_half_unit);
    S_rounding(c->munits, &c->m_rounding, &c->m_half_unit);
    return 0;
}

// Appends the rows of a block to the list. 0; -12; the module's failure.
static int32_t S_add_rows(const Block *b, SQLULEN rows, List *list)
{
    size_t total = static_cast<size_t>(list->count) + rows;
    auto *grown =
        static_cast<VE_SPATIALREF *>(realloc(list->records, total * sizeof(VE_SPATIALREF)));
    if (grown == nullptr)
        return ZE_OUT_OF_MEMORY;
    list->records = grown;
    for (SQLULEN r = 0; r < rows; r++) {
        const int i = static_cast<int>(r);
        VE_SPATIALREF *record = &list->records[list->count];
        memset(record, 0, sizeof(*record));
        int32_t rc = MoxCoordRefCreate(&record->coordref);
        if (rc != 0) {
            record->coordref = nullptr;
            return S_mox_code(rc);
        }
        list->count++; // from here the list frees the reference
        S_copy_text(record->description, b->description[i], b->description_length[i]);
        S_copy_text(record->auth_name, b->auth_name[i], b->auth_name_length[i]);
        record->srid = b->srid[i];
        record->auth_srid = b->auth_srid_length[i] == SQL_NULL_DATA ? 0 : b->auth_srid[i];
        rc = S_fill_coordref(b, i, record->srid, record->coordref);
        if (rc != 0)
            return rc;
    }
    return 0;
}

// Reads the rows of the condition (null: every row) into the list.
static int32_t S_read(const char *condition, List *list)
{
    std::string sql = "SELECT  srid, description, auth_name, auth_srid, falsex, falsey, xyunits, "
                      "falsez, zunits, falsem, munits, srtext FROM " +
                      S_table();
    if (condition != nullptr)
        sql += std::string(" WHERE ") + condition;
    std::unique_ptr<Block> block(new Block());
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int32_t rc = db_catalog_prepare(nullptr, &hstmt, sql.c_str());
    if (rc != 0)
        return rc;
    SQLRETURN cli = S_bind_block(hstmt, block.get());
    if (SQL_SUCCEEDED(cli))
        cli = SQLExecute(hstmt);
    if (!SQL_SUCCEEDED(cli))
        return db_catalog_fail(nullptr, &hstmt, cli);
    for (;;) {
        SQLULEN fetched = 0;
        int fetch = db_fetch_rows(&hstmt, S_ROWSET, &fetched);
        if (fetch == DB_NO_MORE_DATA)
            break;
        if (fetch == ZE_OUT_OF_MEMORY) {
            db_free_stmt(&hstmt);
            return fetch;
        }
        if (fetch != 0)
            return db_catalog_fail(nullptr, &hstmt, SQL_ERROR);
        rc = S_add_rows(block.get(), std::min<SQLULEN>(fetched, S_ROWSET), list);
        if (rc != 0) {
            db_free_stmt(&hstmt);
            return rc;
        }
        if (fetched < S_ROWSET)
            break;
    }
    db_free_stmt(&hstmt);
    db_commit_transaction();
    return 0;
}

int32_t DB_spatial_ref_get_info_list(DB_INSTANCE *, VE_SPATIALREF **list, int32_t *count)
{
    if (list == nullptr || count == nullptr)
        return ZE_NULL_POINTER;
    *list = nullptr;
    *count = 0;
    try {
        List read;
        int32_t rc = S_read(nullptr, &read);
        if (rc != 0)
            return rc;
        *list = read.records;
        *count = read.count;
        read.records = nullptr;
        read.count = 0;
        return 0;
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}

int32_t DB_spatial_ref_get_info(DB_INSTANCE *, int32_t srid, VE_SPATIALREF *spatial_ref)
{
    if (spatial_ref == nullptr)
        return ZE_NULL_POINTER;
    try {
        List read;
        int32_t rc = S_read(("srid = " + std::to_string(srid)).c_str(), &read);
        if (rc != 0)
            return rc;
        if (read.count == 0)
            return ZE_SPATIALREF_NOT_FOUND;
        MoxCoordRefFree(spatial_ref->coordref);
        *spatial_ref = read.records[0];
        read.records[0].coordref = nullptr; // taken over by the caller's record
        return 0;
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}

// ---- srids of new layers and raster columns ----------------------------------

static std::string S_admin_object(const char *name)
{
    char out[DB_QUALIFIED_NAME_SIZE] = "";
    db_make_admin_object_name(nullptr, name, out, sizeof(out));
    return out;
}

// Inserts the row through the catalogue routine; the routine's status mapped.
static int32_t S_call_insert(const COORDREF *coordref, int32_t srid)
{
    const std::string procedure = S_admin_object("insert_spatial_ref");
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int32_t rc = S_prepare_text(&hstmt, "{ call " + procedure + " (?,?,?,?,?,?,?,?,?)}");
    if (rc != 0)
        return rc;
    Values values(coordref);
    const char *text = S_text(coordref);
    SQLLEN text_length = static_cast<SQLLEN>(strlen(text));
    int32_t status = 0;
    SQLLEN status_length = 0;
    SQLRETURN cli = SQLBindParameter(hstmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                                     &srid, 0, nullptr);
    if (SQL_SUCCEEDED(cli))
        cli = S_bind_values(hstmt, 2, &values);
    if (SQL_SUCCEEDED(cli))
        cli = SQLBindParameter(hstmt, 9, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, S_SRTEXT_FETCH, 0,
                               const_cast<char *>(text), 0, &text_length);
    if (SQL_SUCCEEDED(cli))
        cli = SQLExecute(hstmt);
    if (SQL_SUCCEEDED(cli))
        cli = SQLBindCol(hstmt, 1, SQL_C_SLONG, &status, sizeof(status), &status_length);
    if (SQL_SUCCEEDED(cli))
        cli = SQLFetch(hstmt);
    if (!SQL_SUCCEEDED(cli))
        return db_catalog_fail(nullptr, &hstmt, cli);
    db_free_stmt(&hstmt);
    return status == 0 ? 0 : db_set_xerr_from_procedure(status, procedure.c_str());
}

static int32_t S_sp_find_srid(const COORDREF *coordref, int32_t *srid)
{
    int32_t rc = S_get_srid(nullptr, coordref, srid);
    if (rc != SQL_NO_DATA)
        return rc;
    int32_t next = 0;
    rc = S_run("{ call " + S_admin_object("lock_spatial_references") + " ()}");
    if (rc == 0)
        rc = S_next_srid(&next);
    if (rc == 0)
        rc = S_call_insert(coordref, next);
    if (rc == 0)
        *srid = next;
    return rc;
}

int32_t db_sp_find_srid(const COORDREF *coordref, int32_t *srid)
{
    if (coordref == nullptr || srid == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_sp_find_srid(coordref, srid); });
}

// The plain-SQL insert of a new row. 0; the failing CLI code.
static int S_insert_plain(const COORDREF *coordref, int32_t srid, CLI_DIAG_RECORD *diag)
{
    std::string sql = "insert into " + S_table() +
                      " (srid,falsex,falsey,xyunits,falsez,zunits,falsem,munits,      srtext) "
                      "values (" +
                      std::to_string(srid) + ",?,?,?,?,?,?,?,'" +
                      db_quote_literal(S_text(coordref)) + "')";
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int rc = db_open_cursor(nullptr, &hstmt);
    if (rc == 0)
        rc = db_prepare_stmt(nullptr, &hstmt, sql.c_str());
    Values values(coordref);
    if (rc == 0) {
        SQLRETURN cli = S_bind_values(hstmt, 1, &values);
        if (SQL_SUCCEEDED(cli))
            cli = SQLExecute(hstmt);
        rc = SQL_SUCCEEDED(cli) ? 0 : cli;
    }
    if (rc != 0)
        db_get_diag_record(diag, hstmt != SQL_NULL_HSTMT ? &hstmt : nullptr, rc);
    db_free_stmt(&hstmt);
    return rc;
}

static int32_t S_find_srid(const COORDREF *coordref, int32_t *srid)
{
    int32_t rc = S_get_srid(nullptr, coordref, srid);
    if (rc != SQL_NO_DATA)
        return rc;
    int cli = db_execute_ddlsql(("lock table " + S_table() + " in exclusive mode").c_str(), 1,
                                DB_EXEC_NO_COMMIT);
    if (cli < 0) {
        db_rollback_transaction();
        fprintf(stderr, "db_find_srid() Execute error (%d).\n", cli);
        return ZE_DBMS_ERROR;
    }
    int32_t next = 0;
    rc = S_next_srid(&next); // a failure is recorded
    if (rc == 0) {
        CLI_DIAG_RECORD diag;
        cli = S_insert_plain(coordref, next, &diag);
        if (cli == 0) {
            rc = S_finish(0);
            if (rc == 0)
                *srid = next;
            return rc;
        }
        db_set_xerr_from_diag(diag);
    }
    db_rollback_transaction();
    fprintf(stderr, "db_find_srid() Execute error (%d).\n", rc != 0 ? rc : cli);
    db_commit_transaction(); // ends the transaction of the lock
    return ZE_DBMS_ERROR;
}

int32_t db_find_srid(const COORDREF *coordref, int32_t *srid)
{
    if (coordref == nullptr || srid == nullptr)
        return ZE_NULL_POINTER;
    try {
        return S_find_srid(coordref, srid);
    } catch (const std::bad_alloc &) {
        db_rollback_transaction();
        return ZE_OUT_OF_MEMORY;
    }
}
