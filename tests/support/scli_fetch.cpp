// Scripted CLI result sets: column binding, single-row and rowset fetches
// (SQLFetch, SQLFetchScroll with SQL_ATTR_ROW_ARRAY_SIZE, SQLExtendedFetch with
// SQL_ROWSET_SIZE), SQLGetData in pieces, and the description of the columns.
#include "tests/support/scli_state.h"

#include <algorithm>
#include <cstring>
#include <utility>

using namespace scli;

static const Value &S_cell(const Handle &s, size_t row, size_t col)
{
    static const Value none;
    const Row &r = s.rows[row];
    return col < r.size() ? r[col] : none;
}

// Fetches the next rowset of up to size rows into the bound columns.
static SQLRETURN S_fetch(Entry &e, size_t size, SQLULEN *fetched, SQLUSMALLINT *status)
{
    Handle &s = e.h();
    if (!s.cursor_open)
        return e.error("24000", "Invalid cursor state");
    s.fetch_calls++;
    SQLRETURN scripted = SQL_SUCCESS;
    auto fr = s.fetch_results.find(s.fetch_calls);
    if (fr != s.fetch_results.end()) {
        const Diag &d = fr->second.second;
        if (!d.sqlstate.empty() || !d.message.empty())
            s.diags.push_back(d);
        scripted = fr->second.first;
        if (scripted != SQL_SUCCESS && scripted != SQL_SUCCESS_WITH_INFO) {
            if (fetched)
                *fetched = 0;
            return scripted;
        }
    }
    s.gd_col = -1;
    s.gd_offset = 0;
    s.gd_done = false;
    size_t avail = s.rows.size() - s.next_row;
    size_t n = size < avail ? size : avail;
    auto &empties = state().empty_fetches;
    const auto empty = std::find(empties.begin(), empties.end(),
                                 std::make_pair(e.call().fn, state().counts[e.call().fn]));
    const bool scripted_empty = empty != empties.end();
    if (scripted_empty) {
        empties.erase(empty);
        n = 0;
    }
    if (fetched)
        *fetched = n;
    if (status)
        for (size_t r = n; r < size; r++)
            status[r] = SQL_ROW_NOROW;
    s.cur_row = s.next_row;
    s.cur_count = n;
    if (n == 0)
        return scripted_empty ? SQL_SUCCESS : SQL_NO_DATA;
    s.next_row += n;

    SQLULEN bind_type = attr_value(s, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN);
    bool any_error = false, any_info = scripted == SQL_SUCCESS_WITH_INFO;
    for (size_t r = 0; r < n; r++) {
        SQLRETURN row_rc = SQL_SUCCESS;
        for (const auto &[c, b] : s.cols) {
            if (c > s.columns.size()) {
                s.diags.push_back({own_state(s, "07009"), 0, "Invalid descriptor index"});
                row_rc = SQL_ERROR;
                continue;
            }
            SQLLEN size_of = c_type_size(b.ctype);
            size_t stride = bind_type != SQL_BIND_BY_COLUMN ? bind_type
                            : size_of > 0                   ? static_cast<size_t>(size_of)
                                                            : static_cast<size_t>(b.len);
            size_t ind_stride = bind_type != SQL_BIND_BY_COLUMN ? bind_type : sizeof(SQLLEN);
            char *buf = b.buf ? static_cast<char *>(b.buf) + r * stride : nullptr;
            SQLLEN *ind =
                b.ind ? reinterpret_cast<SQLLEN *>(reinterpret_cast<char *>(b.ind) + r * ind_stride)
                      : nullptr;
            Converted cv = value_to_c(S_cell(s, s.cur_row + r, c - 1), b.ctype, buf, b.len, ind, 0);
            if (cv.rc == SQL_SUCCESS)
                continue;
            s.diags.push_back({own_state(s, cv.state), 0, cv.message});
            if (cv.rc == SQL_ERROR)
                row_rc = SQL_ERROR;
            else if (row_rc == SQL_SUCCESS)
                row_rc = SQL_SUCCESS_WITH_INFO;
        }
        if (status)
            status[r] = row_rc == SQL_SUCCESS             ? SQL_ROW_SUCCESS
                        : row_rc == SQL_SUCCESS_WITH_INFO ? SQL_ROW_SUCCESS_WITH_INFO
                                                          : SQL_ROW_ERROR;
        any_error |= row_rc == SQL_ERROR;
        any_info |= row_rc == SQL_SUCCESS_WITH_INFO;
    }
    if (any_error)
        return size == 1 ? SQL_ERROR : SQL_SUCCESS_WITH_INFO;
    return any_info ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

static SQLRETURN S_fetch_by_array_size(Entry &e)
{
    Handle &s = e.h();
    size_t size = attr_value(s, SQL_ATTR_ROW_ARRAY_SIZE, 1);
    auto *fetched = attr_pointer<SQLULEN>(s, SQL_ATTR_ROWS_FETCHED_PTR);
    auto *status = attr_pointer<SQLUSMALLINT>(s, SQL_ATTR_ROW_STATUS_PTR);
    return S_fetch(e, size, fetched, status);
}

static const Column *S_column(Entry &e, SQLUSMALLINT col)
{
    Handle &s = e.h();
    if (col == 0 || col > s.columns.size())
        return nullptr;
    return &s.columns[col - 1];
}

extern "C" {

SQLRETURN SQL_API SQLBindCol(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber,
                             SQLSMALLINT TargetType, SQLPOINTER TargetValue, SQLLEN BufferLength,
                             SQLLEN *StrLen_or_Ind)
{
    Entry e("SQLBindCol", StatementHandle, Kind::Stmt);
    e.call().detail = "col=" + std::to_string(ColumnNumber) +
                      " ctype=" + std::to_string(TargetType) +
                      " buflen=" + std::to_string(BufferLength);
    if (e.done())
        return e.rc();
    if (ColumnNumber == 0)
        return e.finish(e.error("07009", "Invalid descriptor index"));
    if (BufferLength < 0)
        return e.finish(e.error("HY090", "Invalid string or buffer length"));
    if (!TargetValue && !StrLen_or_Ind) {
        e.h().cols.erase(ColumnNumber); // unbinds the column
        return e.finish(SQL_SUCCESS);
    }
    if (!c_type_known(TargetType))
        return e.finish(e.error("HY003", "Program type out of range"));
    e.h().cols[ColumnNumber] = BoundCol{TargetType, TargetValue, BufferLength, StrLen_or_Ind};
    return e.finish(SQL_SUCCESS);
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT StatementHandle)
{
    Entry e("SQLFetch", StatementHandle, Kind::Stmt);
    if (e.done())
        return e.rc();
    return e.finish(S_fetch_by_array_size(e));
}

SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT StatementHandle, SQLSMALLINT FetchOrientation,
                                 SQLLEN FetchOffset)
{
    Entry e("SQLFetchScroll", StatementHandle, Kind::Stmt);
    e.call().detail = "orientation=" + std::to_string(FetchOrientation) +
                      " offset=" + std::to_string(FetchOffset);
    if (e.done())
        return e.rc();
    if (FetchOrientation != SQL_FETCH_NEXT)
        return e.finish(e.error("HY106", "Fetch type out of range"));
    return e.finish(S_fetch_by_array_size(e));
}

SQLRETURN SQL_API SQLExtendedFetch(SQLHSTMT hstmt, SQLUSMALLINT fFetchType, SQLLEN irow,
                                   SQLULEN *pcrow, SQLUSMALLINT *rgfRowStatus)
{
    Entry e("SQLExtendedFetch", hstmt, Kind::Stmt);
    e.call().detail = "type=" + std::to_string(fFetchType) + " row=" + std::to_string(irow);
    if (e.done())
        return e.rc();
    if (fFetchType != SQL_FETCH_NEXT)
        return e.finish(e.error("HY106", "Fetch type out of range"));
    size_t size = attr_value(e.h(), SQL_ROWSET_SIZE, 1);
    return e.finish(S_fetch(e, size, pcrow, rgfRowStatus));
}

SQLRETURN SQL_API SQLGetData(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber,
                             SQLSMALLINT TargetType, SQLPOINTER TargetValue, SQLLEN BufferLength,
                             SQLLEN *StrLen_or_Ind)
{
    Entry e("SQLGetData", StatementHandle, Kind::Stmt);
    e.call().detail = "col=" + std::to_string(ColumnNumber) +
                      " ctype=" + std::to_string(TargetType) +
                      " buflen=" + std::to_string(BufferLength);
    if (e.done())
        return e.rc();
    Handle &s = e.h();
    if (!s.cursor_open || s.cur_count == 0)
        return e.finish(e.error("24000", "Invalid cursor state"));
    if (!S_column(e, ColumnNumber))
        return e.finish(e.error("07009", "Invalid descriptor index"));
    if (!c_type_known(TargetType))
        return e.finish(e.error("HY003", "Program type out of range"));
    if (s.gd_col != ColumnNumber) {
        s.gd_col = ColumnNumber;
        s.gd_offset = 0;
        s.gd_done = false;
    }
    if (s.gd_done)
        return e.finish(SQL_NO_DATA);
    Converted cv = value_to_c(S_cell(s, s.cur_row, ColumnNumber - 1), TargetType, TargetValue,
                              BufferLength, StrLen_or_Ind, s.gd_offset);
    if (cv.rc != SQL_SUCCESS)
        s.diags.push_back({own_state(s, cv.state), 0, cv.message});
    if (cv.rc == SQL_ERROR)
        return e.finish(SQL_ERROR);
    s.gd_offset += cv.consumed;
    s.gd_done = cv.complete;
    return e.finish(cv.rc);
}

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT StatementHandle, SQLSMALLINT *ColumnCount)
{
    Entry e("SQLNumResultCols", StatementHandle, Kind::Stmt);
    if (e.done())
        return e.rc();
    if (!ColumnCount)
        return e.finish(e.error("HY009", "Invalid use of null pointer"));
    *ColumnCount = static_cast<SQLSMALLINT>(e.h().columns.size());
    return e.finish(SQL_SUCCESS);
}

SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber,
                                 SQLCHAR *ColumnName, SQLSMALLINT BufferLength,
                                 SQLSMALLINT *NameLength, SQLSMALLINT *DataType,
                                 SQLULEN *ColumnSize, SQLSMALLINT *DecimalDigits,
                                 SQLSMALLINT *Nullable)
{
    Entry e("SQLDescribeCol", StatementHandle, Kind::Stmt);
    e.call().detail = "col=" + std::to_string(ColumnNumber);
    if (e.done())
        return e.rc();
    const Column *c = S_column(e, ColumnNumber);
    if (!c)
        return e.finish(e.error("07009", "Invalid descriptor index"));
    if (DataType)
        *DataType = c->sql_type;
    if (ColumnSize)
        *ColumnSize = c->size ? c->size : sql_type_size(c->sql_type);
    if (DecimalDigits)
        *DecimalDigits = c->digits;
    if (Nullable)
        *Nullable = c->nullable;
    return e.finish(e.text_out(c->name, ColumnName, BufferLength, NameLength));
}

SQLRETURN SQL_API SQLColAttribute(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber,
                                  SQLUSMALLINT FieldIdentifier, SQLPOINTER CharacterAttribute,
                                  SQLSMALLINT BufferLength, SQLSMALLINT *StringLength,
                                  SQLLEN *NumericAttribute)
{
    Entry e("SQLColAttribute", StatementHandle, Kind::Stmt);
    e.call().detail =
        "col=" + std::to_string(ColumnNumber) + " field=" + std::to_string(FieldIdentifier);
    if (e.done())
        return e.rc();
    Handle &s = e.h();
    auto number = [&](SQLLEN v) {
        if (NumericAttribute)
            *NumericAttribute = v;
        return e.finish(SQL_SUCCESS);
    };
    if (FieldIdentifier == SQL_DESC_COUNT || FieldIdentifier == SQL_COLUMN_COUNT)
        return number(static_cast<SQLLEN>(s.columns.size()));
    const Column *c = S_column(e, ColumnNumber);
    if (!c)
        return e.finish(e.error("07009", "Invalid descriptor index"));
    SQLLEN size = static_cast<SQLLEN>(c->size ? c->size : sql_type_size(c->sql_type));
    switch (FieldIdentifier) {
    case SQL_DESC_NAME:
    case SQL_COLUMN_NAME:
    case SQL_DESC_LABEL:
    case SQL_DESC_BASE_COLUMN_NAME:
        return e.finish(e.text_out(c->name, CharacterAttribute, BufferLength, StringLength));
    case SQL_DESC_TYPE_NAME: {
        std::string name = c->type_name.empty() ? sql_type_name(c->sql_type) : c->type_name;
        return e.finish(e.text_out(name, CharacterAttribute, BufferLength, StringLength));
    }
    case SQL_DESC_TABLE_NAME:
    case SQL_DESC_BASE_TABLE_NAME:
    case SQL_DESC_SCHEMA_NAME:
    case SQL_DESC_CATALOG_NAME:
        return e.finish(e.text_out("", CharacterAttribute, BufferLength, StringLength));
    case SQL_DESC_TYPE:
    case SQL_DESC_CONCISE_TYPE:
        return number(c->sql_type);
    case SQL_DESC_LENGTH:
    case SQL_COLUMN_LENGTH:
    case SQL_DESC_OCTET_LENGTH:
    case SQL_DESC_PRECISION:
    case SQL_COLUMN_PRECISION:
    case SQL_DESC_DISPLAY_SIZE:
        return number(size);
    case SQL_DESC_SCALE:
    case SQL_COLUMN_SCALE:
        return number(c->digits);
    case SQL_DESC_NULLABLE:
    case SQL_COLUMN_NULLABLE:
        return number(c->nullable);
    case SQL_DESC_UNSIGNED:
    case SQL_DESC_AUTO_UNIQUE_VALUE:
    case SQL_DESC_CASE_SENSITIVE:
        return number(SQL_FALSE);
    case SQL_DESC_SEARCHABLE:
        return number(SQL_PRED_SEARCHABLE);
    case SQL_DESC_UPDATABLE:
        return number(SQL_ATTR_READWRITE_UNKNOWN);
    default:
        return e.finish(e.error("HY091", "Invalid descriptor field identifier"));
    }
}

} // extern "C"
