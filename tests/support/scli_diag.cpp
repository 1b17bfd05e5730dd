// Scripted CLI diagnostics: SQLGetDiagRec and a minimal SQLGetDiagField over
// the records each handle keeps from its last call. Reading diagnostics does
// not clear them.
#include "tests/support/scli_state.h"

#include <algorithm>
#include <cstring>

using namespace scli;

static Kind S_kind(SQLSMALLINT type)
{
    return type == SQL_HANDLE_ENV ? Kind::Env : type == SQL_HANDLE_DBC ? Kind::Dbc : Kind::Stmt;
}

static bool S_type_ok(SQLSMALLINT type)
{
    return type == SQL_HANDLE_ENV || type == SQL_HANDLE_DBC || type == SQL_HANDLE_STMT;
}

extern "C" {

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT HandleType, SQLHANDLE Handle, SQLSMALLINT RecNumber,
                                SQLCHAR *Sqlstate, SQLINTEGER *NativeError, SQLCHAR *MessageText,
                                SQLSMALLINT BufferLength, SQLSMALLINT *TextLength)
{
    Entry e("SQLGetDiagRec", S_type_ok(HandleType) ? Handle : nullptr, S_kind(HandleType), false);
    e.call().detail =
        "rec=" + std::to_string(RecNumber) + " buflen=" + std::to_string(BufferLength);
    if (e.done())
        return e.rc();
    const std::vector<Diag> &diags = e.h().diags;
    if (RecNumber < 1 || BufferLength < 0)
        return e.finish(SQL_ERROR);
    if (static_cast<size_t>(RecNumber) > diags.size())
        return e.finish(SQL_NO_DATA);
    const Diag &d = diags[RecNumber - 1];
    if (Sqlstate) {
        // Always five characters and a NUL: six bytes, as ODBC defines the buffer.
        std::memset(Sqlstate, 0, 6);
        std::copy_n(d.sqlstate.begin(), std::min<size_t>(d.sqlstate.size(), 5), Sqlstate);
    }
    if (NativeError)
        *NativeError = d.native;
    if (TextLength)
        *TextLength = static_cast<SQLSMALLINT>(d.message.size());
    bool cut = put_text(d.message, MessageText, BufferLength);
    return e.finish(cut && MessageText ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS);
}

SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT HandleType, SQLHANDLE Handle, SQLSMALLINT RecNumber,
                                  SQLSMALLINT DiagIdentifier, SQLPOINTER DiagInfo,
                                  SQLSMALLINT BufferLength, SQLSMALLINT *StringLength)
{
    Entry e("SQLGetDiagField", S_type_ok(HandleType) ? Handle : nullptr, S_kind(HandleType), false);
    e.call().detail =
        "rec=" + std::to_string(RecNumber) + " field=" + std::to_string(DiagIdentifier);
    if (e.done())
        return e.rc();
    scli::Handle &h = e.h();
    auto text = [&](const std::string &t) {
        if (BufferLength < 0)
            return e.finish(SQL_ERROR);
        if (StringLength)
            *StringLength = static_cast<SQLSMALLINT>(t.size());
        bool cut = put_text(t, DiagInfo, BufferLength);
        return e.finish(cut && DiagInfo ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS);
    };
    // Header fields.
    switch (DiagIdentifier) {
    case SQL_DIAG_NUMBER: {
        SQLINTEGER n = static_cast<SQLINTEGER>(h.diags.size());
        if (DiagInfo)
            std::memcpy(DiagInfo, &n, sizeof(n));
        return e.finish(SQL_SUCCESS);
    }
    case SQL_DIAG_RETURNCODE: {
        SQLRETURN rc = h.last_rc;
        if (DiagInfo)
            std::memcpy(DiagInfo, &rc, sizeof(rc));
        return e.finish(SQL_SUCCESS);
    }
    case SQL_DIAG_ROW_COUNT: {
        if (h.kind != Kind::Stmt)
            return e.finish(SQL_ERROR);
        SQLLEN n = h.row_count;
        if (DiagInfo)
            std::memcpy(DiagInfo, &n, sizeof(n));
        return e.finish(SQL_SUCCESS);
    }
    default:
        break;
    }
    if (RecNumber < 1)
        return e.finish(SQL_ERROR);
    if (static_cast<size_t>(RecNumber) > h.diags.size())
        return e.finish(SQL_NO_DATA);
    const Diag &d = h.diags[RecNumber - 1];
    switch (DiagIdentifier) {
    case SQL_DIAG_SQLSTATE:
        return text(d.sqlstate);
    case SQL_DIAG_MESSAGE_TEXT:
        return text(d.message);
    case SQL_DIAG_CLASS_ORIGIN:
    case SQL_DIAG_SUBCLASS_ORIGIN:
        return text("ISO 9075");
    case SQL_DIAG_CONNECTION_NAME:
    case SQL_DIAG_SERVER_NAME:
        return text("");
    case SQL_DIAG_NATIVE: {
        SQLINTEGER n = d.native;
        if (DiagInfo)
            std::memcpy(DiagInfo, &n, sizeof(n));
        return e.finish(SQL_SUCCESS);
    }
    default:
        return e.finish(SQL_ERROR);
    }
}

} // extern "C"
