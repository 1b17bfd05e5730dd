// Scripted CLI statements: prepare and execute against the script, parameter
// binding (single rows and parameter arrays, input, output and input-output),
// statement attributes, row counts, cursor close and cursor names.
#include "tests/support/scli_state.h"

#include <cstring>

using namespace scli;

namespace scli
{

void stmt_close_cursor(Handle &s)
{
    s.cursor_open = false;
    s.rows.clear();
    s.next_row = s.cur_row = s.cur_count = 0;
    s.gd_col = -1;
    s.gd_offset = 0;
    s.gd_done = false;
}

void stmt_open_result(Handle &s, std::vector<Column> cols, std::vector<Row> rows)
{
    stmt_close_cursor(s);
    s.columns = std::move(cols);
    s.rows = std::move(rows);
    s.cursor_open = true;
    s.has_result = true;
    s.fetch_calls = 0;
}

} // namespace scli

static bool S_param_arrays_on(const Handle &s)
{
    if (attr_value(s, kParamArrayAttr, 0) == 1)
        return true;
    auto it = state().handles.find(s.parent);
    return it != state().handles.end() && attr_value(*it->second, kParamArrayAttr, 0) == 1;
}

static bool S_is_ok(SQLRETURN rc)
{
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

static SQLRETURN S_prepare(Entry &e, const std::string &text)
{
    Handle &s = e.h();
    if (s.cursor_open && options().strict_cursor_state)
        return e.error("24000", "Invalid cursor state");
    stmt_close_cursor(s);
    s.sql = text;
    e.call().sql = text;
    s.prepared = false;
    s.has_result = false;
    s.row_count = -1;
    Answer &a = find_answer(text, false);
    s.columns = a.result.columns; // described before the execute, as drivers do
    if (!a.prepare_diag.sqlstate.empty() || !a.prepare_diag.message.empty())
        s.diags.push_back(a.prepare_diag);
    if (!S_is_ok(a.prepare_rc)) {
        if (a.uses_left > 0)
            a.uses_left--;
        return a.prepare_rc;
    }
    s.prepared = true;
    return a.prepare_rc;
}

static void S_write_param_status(Handle &s, size_t rows, size_t done, SQLUSMALLINT row_status)
{
    auto *processed = attr_pointer<SQLULEN>(s, SQL_ATTR_PARAMS_PROCESSED_PTR);
    auto *status = attr_pointer<SQLUSMALLINT>(s, SQL_ATTR_PARAM_STATUS_PTR);
    if (processed)
        *processed = done;
    if (status)
        for (size_t r = 0; r < rows; r++)
            status[r] = r < done ? row_status : SQL_PARAM_UNUSED;
}

static SQLRETURN S_execute(Entry &e)
{
    Handle &s = e.h();
    if (!s.prepared)
        return e.error("HY010", "Function sequence error");
    if (s.cursor_open && options().strict_cursor_state)
        return e.error("24000", "Invalid cursor state");
    stmt_close_cursor(s);

    int markers = count_markers(s.sql);
    SQLUSMALLINT last = static_cast<SQLUSMALLINT>(markers);
    for (int n = 1; n <= markers; n++)
        if (!s.params.count(static_cast<SQLUSMALLINT>(n)))
            return e.error("07002", "COUNT field incorrect");
    if (!s.params.empty() && s.params.rbegin()->first > last)
        last = s.params.rbegin()->first;

    size_t rows = 1;
    if (S_param_arrays_on(s))
        rows = attr_value(s, SQL_ATTR_PARAMSET_SIZE, 1);
    if (rows == 0)
        rows = 1;

    Exec x;
    x.param_io.assign(last, SQL_PARAM_INPUT);
    for (size_t r = 0; r < rows; r++) {
        std::vector<Value> values(last);
        std::vector<std::string> texts(last, "<unbound>");
        for (SQLUSMALLINT n = 1; n <= last; n++) {
            auto it = s.params.find(n);
            if (it == s.params.end())
                continue;
            const BoundParam &p = it->second;
            x.param_io[n - 1] = p.io;
            if (p.io == SQL_PARAM_OUTPUT) {
                texts[n - 1] = "<out>";
                continue;
            }
            std::string why;
            if (!c_to_value(p, r, &values[n - 1], &why)) {
                e.call().params.push_back(texts);
                return e.error("HY000", "parameter " + std::to_string(n) + ": " + why);
            }
            texts[n - 1] = to_text(values[n - 1]);
        }
        x.params.push_back(std::move(values));
        e.call().params.push_back(std::move(texts));
    }

    Answer &a = find_answer(s.sql, true);
    std::vector<std::vector<Value>> params = std::move(x.params);
    std::vector<SQLSMALLINT> io = std::move(x.param_io);
    x = a.result;
    x.stmt = as_handle(s.id);
    x.sql = s.sql;
    x.params = std::move(params);
    x.param_io = std::move(io);
    if (a.on_execute)
        a.on_execute(x);

    for (const Diag &d : x.diags)
        if (!d.sqlstate.empty() || !d.message.empty())
            s.diags.push_back(d);
    s.fetch_results = a.fetch_results;
    if (!S_is_ok(x.rc)) {
        s.row_count = x.rc == SQL_NO_DATA ? (x.row_count >= 0 ? x.row_count : 0) : -1;
        S_write_param_status(s, rows, x.rc == SQL_NO_DATA ? rows : 0,
                             x.rc == SQL_NO_DATA ? SQL_PARAM_SUCCESS : SQL_PARAM_ERROR);
        return x.rc;
    }
    s.row_count = x.row_count;
    if (!x.columns.empty())
        stmt_open_result(s, x.columns, x.rows);

    SQLRETURN rc = x.rc;
    for (const auto &[n, v] : x.out) {
        auto it = s.params.find(n);
        if (it == s.params.end() || it->second.io == SQL_PARAM_INPUT)
            continue;
        const BoundParam &p = it->second;
        Converted c = value_to_c(v, p.ctype, p.buf, p.len, p.ind, 0);
        if (c.rc == SQL_SUCCESS)
            continue;
        s.diags.push_back({own_state(s, c.state), 0, c.message});
        if (c.rc == SQL_ERROR)
            return SQL_ERROR;
        rc = SQL_SUCCESS_WITH_INFO;
    }
    S_write_param_status(s, rows, rows, SQL_PARAM_SUCCESS);
    return rc;
}

static std::string S_attr_detail(SQLINTEGER attr, SQLPOINTER value)
{
    std::string d = "attr=" + std::to_string(attr) + " value=";
    switch (attr) {
    case SQL_ATTR_PARAM_BIND_OFFSET_PTR:
    case SQL_ATTR_PARAM_STATUS_PTR:
    case SQL_ATTR_PARAMS_PROCESSED_PTR:
    case SQL_ATTR_ROW_BIND_OFFSET_PTR:
    case SQL_ATTR_ROW_STATUS_PTR:
    case SQL_ATTR_ROWS_FETCHED_PTR:
        return d + (value ? "ptr" : "null");
    default:
        return d + std::to_string(reinterpret_cast<SQLULEN>(value));
    }
}

static SQLSMALLINT S_default_c_type(SQLSMALLINT sql_type)
{
    switch (sql_type) {
    case SQL_SMALLINT:
        return SQL_C_SSHORT;
    case SQL_INTEGER:
        return SQL_C_SLONG;
    case SQL_BIGINT:
        return SQL_C_SBIGINT;
    case SQL_REAL:
        return SQL_C_FLOAT;
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return SQL_C_DOUBLE;
    case SQL_DATE:
    case SQL_TYPE_DATE:
        return SQL_C_TYPE_DATE;
    case SQL_TIME:
    case SQL_TYPE_TIME:
        return SQL_C_TYPE_TIME;
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIMESTAMP:
        return SQL_C_TYPE_TIMESTAMP;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
    case -100:
        return SQL_C_BINARY;
    default:
        return SQL_C_CHAR;
    }
}

extern "C" {

SQLRETURN SQL_API SQLPrepare(SQLHSTMT StatementHandle, SQLCHAR *StatementText,
                             SQLINTEGER TextLength)
{
    Entry e("SQLPrepare", StatementHandle, Kind::Stmt);
    std::string text = sql_text(StatementText, TextLength);
    e.call().sql = text;
    if (e.done())
        return e.rc();
    if (!StatementText)
        return e.finish(e.error("HY009", "Invalid use of null pointer"));
    return e.finish(S_prepare(e, text));
}

SQLRETURN SQL_API SQLExecute(SQLHSTMT StatementHandle)
{
    Entry e("SQLExecute", StatementHandle, Kind::Stmt);
    if (e.done())
        return e.rc();
    return e.finish(S_execute(e));
}

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT StatementHandle, SQLCHAR *StatementText,
                                SQLINTEGER TextLength)
{
    Entry e("SQLExecDirect", StatementHandle, Kind::Stmt);
    std::string text = sql_text(StatementText, TextLength);
    e.call().sql = text;
    if (e.done())
        return e.rc();
    if (!StatementText)
        return e.finish(e.error("HY009", "Invalid use of null pointer"));
    SQLRETURN rc = S_prepare(e, text);
    if (!S_is_ok(rc))
        return e.finish(rc);
    SQLRETURN xrc = S_execute(e);
    return e.finish(xrc == SQL_SUCCESS && rc == SQL_SUCCESS_WITH_INFO ? rc : xrc);
}

SQLRETURN SQL_API SQLBindParameter(SQLHSTMT hstmt, SQLUSMALLINT ipar, SQLSMALLINT fParamType,
                                   SQLSMALLINT fCType, SQLSMALLINT fSqlType, SQLULEN cbColDef,
                                   SQLSMALLINT ibScale, SQLPOINTER rgbValue, SQLLEN cbValueMax,
                                   SQLLEN *pcbValue)
{
    Entry e("SQLBindParameter", hstmt, Kind::Stmt);
    e.call().detail = "param=" + std::to_string(ipar) + " io=" + std::to_string(fParamType) +
                      " ctype=" + std::to_string(fCType) + " sqltype=" + std::to_string(fSqlType) +
                      " size=" + std::to_string(cbColDef) + " buflen=" + std::to_string(cbValueMax);
    if (e.done())
        return e.rc();
    if (ipar == 0)
        return e.finish(e.error("07009", "Invalid descriptor index"));
    if (fParamType != SQL_PARAM_INPUT && fParamType != SQL_PARAM_OUTPUT &&
        fParamType != SQL_PARAM_INPUT_OUTPUT)
        return e.finish(e.error("HY105", "Invalid parameter type"));
    if (!c_type_known(fCType))
        return e.finish(e.error("HY003", "Program type out of range"));
    if (cbValueMax < 0)
        return e.finish(e.error("HY090", "Invalid string or buffer length"));
    BoundParam p;
    p.io = fParamType;
    p.ctype = fCType == SQL_C_DEFAULT ? S_default_c_type(fSqlType) : fCType;
    p.sql_type = fSqlType;
    p.size = cbColDef;
    p.digits = ibScale;
    p.buf = rgbValue;
    p.len = cbValueMax;
    p.ind = pcbValue;
    e.h().params[ipar] = p;
    return e.finish(SQL_SUCCESS);
}

SQLRETURN SQL_API SQLNumParams(SQLHSTMT hstmt, SQLSMALLINT *pcpar)
{
    Entry e("SQLNumParams", hstmt, Kind::Stmt);
    if (e.done())
        return e.rc();
    if (!e.h().prepared)
        return e.finish(e.error("HY010", "Function sequence error"));
    if (pcpar)
        *pcpar = static_cast<SQLSMALLINT>(count_markers(e.h().sql));
    return e.finish(SQL_SUCCESS);
}

SQLRETURN SQL_API SQLRowCount(SQLHSTMT StatementHandle, SQLLEN *RowCount)
{
    Entry e("SQLRowCount", StatementHandle, Kind::Stmt);
    if (e.done())
        return e.rc();
    if (!RowCount)
        return e.finish(e.error("HY009", "Invalid use of null pointer"));
    *RowCount = e.h().row_count;
    return e.finish(SQL_SUCCESS);
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT StatementHandle, SQLUSMALLINT Option)
{
    Entry e("SQLFreeStmt", StatementHandle, Kind::Stmt);
    e.call().detail = "option=" + std::to_string(Option);
    if (e.done())
        return e.rc();
    Handle &s = e.h();
    switch (Option) {
    case SQL_CLOSE:
        stmt_close_cursor(s);
        break;
    case SQL_UNBIND:
        s.cols.clear();
        break;
    case SQL_RESET_PARAMS:
        s.params.clear();
        break;
    case SQL_DROP: {
        uintptr_t id = s.id;
        SQLRETURN rc = e.finish(SQL_SUCCESS);
        e.set_handle(nullptr);
        state().handles.erase(id);
        return rc;
    }
    default:
        return e.finish(e.error("HY092", "Invalid attribute/option identifier"));
    }
    return e.finish(SQL_SUCCESS);
}

SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT StatementHandle)
{
    Entry e("SQLCloseCursor", StatementHandle, Kind::Stmt);
    if (e.done())
        return e.rc();
    if (!e.h().cursor_open)
        return e.finish(e.error("24000", "Invalid cursor state"));
    stmt_close_cursor(e.h());
    return e.finish(SQL_SUCCESS);
}

SQLRETURN SQL_API SQLMoreResults(SQLHSTMT hstmt)
{
    Entry e("SQLMoreResults", hstmt, Kind::Stmt);
    if (e.done())
        return e.rc();
    stmt_close_cursor(e.h());
    return e.finish(SQL_NO_DATA);
}

SQLRETURN SQL_API SQLCancel(SQLHSTMT StatementHandle)
{
    Entry e("SQLCancel", StatementHandle, Kind::Stmt);
    if (e.done())
        return e.rc();
    return e.finish(SQL_SUCCESS);
}

SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT StatementHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                                 SQLINTEGER StringLength)
{
    (void)StringLength;
    Entry e("SQLSetStmtAttr", StatementHandle, Kind::Stmt);
    e.call().detail = S_attr_detail(Attribute, Value);
    if (e.done())
        return e.rc();
    SQLULEN v = reinterpret_cast<SQLULEN>(Value);
    bool size_attr = Attribute == SQL_ROWSET_SIZE || Attribute == SQL_ATTR_ROW_ARRAY_SIZE ||
                     Attribute == SQL_ATTR_PARAMSET_SIZE;
    if (size_attr && v == 0)
        return e.finish(e.error("HY024", "Invalid attribute value"));
    if (Attribute == SQL_ATTR_PARAM_BIND_TYPE && v != SQL_PARAM_BIND_BY_COLUMN)
        return e.finish(e.error("HYC00", "Optional feature not implemented"));
    e.h().attrs[Attribute] = Value;
    return e.finish(SQL_SUCCESS);
}

SQLRETURN SQL_API SQLGetStmtAttr(SQLHSTMT StatementHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                                 SQLINTEGER BufferLength, SQLINTEGER *StringLength)
{
    (void)BufferLength;
    Entry e("SQLGetStmtAttr", StatementHandle, Kind::Stmt);
    e.call().detail = "attr=" + std::to_string(Attribute);
    if (e.done())
        return e.rc();
    SQLULEN def = 0;
    if (Attribute == SQL_ROWSET_SIZE || Attribute == SQL_ATTR_ROW_ARRAY_SIZE ||
        Attribute == SQL_ATTR_PARAMSET_SIZE)
        def = 1;
    SQLULEN v = attr_value(e.h(), Attribute, def);
    if (Value)
        std::memcpy(Value, &v, sizeof(v));
    if (StringLength)
        *StringLength = sizeof(v);
    return e.finish(SQL_SUCCESS);
}

SQLRETURN SQL_API SQLGetCursorName(SQLHSTMT StatementHandle, SQLCHAR *CursorName,
                                   SQLSMALLINT BufferLength, SQLSMALLINT *NameLength)
{
    Entry e("SQLGetCursorName", StatementHandle, Kind::Stmt);
    if (e.done())
        return e.rc();
    return e.finish(e.text_out(e.h().cursor_name, CursorName, BufferLength, NameLength));
}

SQLRETURN SQL_API SQLSetCursorName(SQLHSTMT StatementHandle, SQLCHAR *CursorName,
                                   SQLSMALLINT NameLength)
{
    Entry e("SQLSetCursorName", StatementHandle, Kind::Stmt);
    std::string name = sql_text(CursorName, NameLength);
    e.call().detail = name;
    if (e.done())
        return e.rc();
    if (name.empty())
        return e.finish(e.error("34000", "Invalid cursor name"));
    e.h().cursor_name = name;
    return e.finish(SQL_SUCCESS);
}

} // extern "C"
