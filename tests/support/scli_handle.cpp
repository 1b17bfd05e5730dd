// Scripted CLI: handle life (environment, connection, statement), environment
// and connection attributes, connect and disconnect, transactions, and the
// driver properties answered by SQLGetInfo and SQLGetFunctions.
#include "tests/support/scli_state.h"

#include <cstring>

using namespace scli;

namespace scli
{

void set_driver_defaults(State &s)
{
    s.info.clear();
    auto num = [&](SQLUSMALLINT id, SQLUINTEGER v, int width) {
        InfoValue x;
        x.value = v;
        x.width = width;
        s.info[id] = x;
    };
    auto text = [&](SQLUSMALLINT id, const char *t) {
        InfoValue x;
        x.is_text = true;
        x.text = t;
        s.info[id] = x;
    };
    num(SQL_ODBC_API_CONFORMANCE, SQL_OAC_LEVEL1, 2);
    num(SQL_ODBC_SQL_CONFORMANCE, SQL_OSC_CORE, 2);
    num(SQL_POSITIONED_STATEMENTS,
        SQL_PS_POSITIONED_DELETE | SQL_PS_POSITIONED_UPDATE | SQL_PS_SELECT_FOR_UPDATE, 4);
    num(SQL_TXN_CAPABLE, SQL_TC_ALL, 2);
    // Cursors stay open across commits: the library fetches on after them.
    num(SQL_CURSOR_COMMIT_BEHAVIOR, SQL_CB_PRESERVE, 2);
    num(SQL_CURSOR_ROLLBACK_BEHAVIOR, SQL_CB_PRESERVE, 2);
    num(SQL_IDENTIFIER_CASE, SQL_IC_LOWER, 2);
    num(SQL_MAX_COLUMN_NAME_LEN, 128, 2);
    num(SQL_MAX_TABLE_NAME_LEN, 128, 2);
    num(SQL_MAX_OWNER_NAME_LEN, 32, 2);
    text(SQL_DBMS_NAME, "Informix");
    text(SQL_DBMS_VER, "09.40.0000");
    text(SQL_DRIVER_NAME, "iclit09b.so");
    text(SQL_DRIVER_VER, "03.00.0000");
    text(SQL_IDENTIFIER_QUOTE_CHAR, "\"");
    // Informix: lengths of a large-object spec, pointer and status.
    num(2250, 256, 2);
    num(2251, 72, 2);
    num(2252, 64, 2);

    s.functions.clear();
    static const SQLUSMALLINT supported[] = {
        SQL_API_SQLALLOCHANDLE,   SQL_API_SQLFREEHANDLE,     SQL_API_SQLCONNECT,
        SQL_API_SQLDISCONNECT,    SQL_API_SQLSETCONNECTATTR, SQL_API_SQLGETCONNECTATTR,
        SQL_API_SQLSETENVATTR,    SQL_API_SQLGETENVATTR,     SQL_API_SQLENDTRAN,
        SQL_API_SQLPREPARE,       SQL_API_SQLEXECUTE,        SQL_API_SQLEXECDIRECT,
        SQL_API_SQLBINDPARAMETER, SQL_API_SQLBINDCOL,        SQL_API_SQLGETDATA,
        SQL_API_SQLFETCH,         SQL_API_SQLEXTENDEDFETCH,  SQL_API_SQLFETCHSCROLL,
        SQL_API_SQLSETSTMTATTR,   SQL_API_SQLGETSTMTATTR,    SQL_API_SQLFREESTMT,
        SQL_API_SQLGETDIAGREC,    SQL_API_SQLGETDIAGFIELD,   SQL_API_SQLGETINFO,
        SQL_API_SQLGETFUNCTIONS,  SQL_API_SQLGETTYPEINFO,    SQL_API_SQLCOLUMNS,
        SQL_API_SQLDESCRIBECOL,   SQL_API_SQLCOLATTRIBUTE,   SQL_API_SQLGETCURSORNAME,
        SQL_API_SQLSETCURSORNAME, SQL_API_SQLROWCOUNT,       SQL_API_SQLNUMRESULTCOLS,
        SQL_API_SQLNUMPARAMS,     SQL_API_SQLCLOSECURSOR,    SQL_API_SQLMORERESULTS,
        SQL_API_SQLCANCEL,        SQL_API_SQLDRIVERCONNECT};
    for (SQLUSMALLINT f : supported)
        s.functions[f] = true;

    s.type_info.clear();
    auto type = [&](const char *name, SQLSMALLINT t, SQLINTEGER size, const char *prefix,
                    const char *suffix, const char *params) {
        auto txt = [](const char *x) { return x ? varchar(x) : null(); };
        s.type_info.push_back({varchar(name), i16(t), i32(size), txt(prefix), txt(suffix),
                               txt(params), i16(SQL_NULLABLE),
                               i16(t == SQL_CHAR || t == SQL_VARCHAR), i16(SQL_SEARCHABLE), null(),
                               i16(SQL_FALSE), null(), varchar(name), null(), null(), i16(t),
                               null(), null(), null()});
    };
    type("CHAR", SQL_CHAR, 32767, "'", "'", "length");
    type("DECIMAL", SQL_DECIMAL, 32, nullptr, nullptr, "precision,scale");
    type("INTEGER", SQL_INTEGER, 10, nullptr, nullptr, nullptr);
    type("SMALLINT", SQL_SMALLINT, 5, nullptr, nullptr, nullptr);
    type("SMALLFLOAT", SQL_REAL, 7, nullptr, nullptr, nullptr);
    type("FLOAT", SQL_DOUBLE, 15, nullptr, nullptr, nullptr);
    type("DATE", SQL_DATE, 10, "'", "'", nullptr);
    type("DATETIME YEAR TO FRACTION(5)", SQL_TIMESTAMP, 25, "'", "'", nullptr);
    type("VARCHAR", SQL_VARCHAR, 255, "'", "'", "max length,min length");
    type("INT8", SQL_BIGINT, 19, nullptr, nullptr, nullptr);
    type("BYTE", SQL_LONGVARBINARY, 2147483647, nullptr, nullptr, nullptr);
    type("TEXT", SQL_LONGVARCHAR, 2147483647, "'", "'", nullptr);
    // The Informix driver's smart large objects (its SQL_INFX_UDT_BLOB and
    // SQL_INFX_UDT_CLOB codes).
    type("BLOB", -102, 2147483647, nullptr, nullptr, nullptr);
    type("CLOB", -103, 2147483647, nullptr, nullptr, nullptr);
}

} // namespace scli

static Handle &S_new_handle(Kind kind, uintptr_t parent, long call_seq)
{
    auto h = std::make_unique<Handle>();
    h->kind = kind;
    h->id = next_handle_id();
    h->parent = parent;
    h->alloc_call = call_seq;
    Handle &ref = *h;
    state().handles[h->id] = std::move(h);
    return ref;
}

static bool S_has_children(uintptr_t id)
{
    for (const auto &[cid, h] : state().handles)
        if (h->parent == id)
            return true;
    return false;
}

static void S_drop_children(uintptr_t id)
{
    auto &hs = state().handles;
    for (auto it = hs.begin(); it != hs.end();) {
        if (it->second->parent == id)
            it = hs.erase(it);
        else
            ++it;
    }
}

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT HandleType, SQLHANDLE InputHandle,
                                 SQLHANDLE *OutputHandle)
{
    if (HandleType == SQL_HANDLE_ENV) {
        Entry e("SQLAllocHandle");
        e.call().detail = "type=ENV";
        if (OutputHandle)
            *OutputHandle = SQL_NULL_HENV;
        if (e.done())
            return e.rc();
        if (!OutputHandle)
            return e.finish(SQL_ERROR);
        Handle &h = S_new_handle(Kind::Env, 0, e.call().seq);
        *OutputHandle = as_handle(h.id);
        e.set_handle(&h);
        return e.finish(SQL_SUCCESS);
    }
    Kind parent = HandleType == SQL_HANDLE_DBC ? Kind::Env : Kind::Dbc;
    if (HandleType != SQL_HANDLE_DBC && HandleType != SQL_HANDLE_STMT) {
        Entry e("SQLAllocHandle", InputHandle, Kind::Env);
        if (e.done())
            return e.rc();
        return e.finish(e.error("HY092", "Invalid handle type"));
    }
    Entry e("SQLAllocHandle", InputHandle, parent);
    e.call().detail = HandleType == SQL_HANDLE_DBC ? "type=DBC" : "type=STMT";
    if (OutputHandle)
        *OutputHandle = SQL_NULL_HANDLE;
    if (e.done())
        return e.rc();
    if (!OutputHandle)
        return e.finish(e.error("HY009", "Invalid use of null pointer"));
    Handle &in = e.h();
    if (HandleType == SQL_HANDLE_DBC && in.odbc_version == 0)
        return e.finish(e.error("HY010", "Function sequence error: ODBC version not set"));
    if (HandleType == SQL_HANDLE_STMT && !in.connected)
        return e.finish(e.error("08003", "Connection not open"));
    Handle &h =
        S_new_handle(HandleType == SQL_HANDLE_DBC ? Kind::Dbc : Kind::Stmt, in.id, e.call().seq);
    if (h.kind == Kind::Stmt)
        h.cursor_name = state().options.cursor_prefix + std::to_string(h.alloc_call);
    *OutputHandle = as_handle(h.id);
    return e.finish(SQL_SUCCESS);
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT HandleType, SQLHANDLE Handle)
{
    Kind kind = HandleType == SQL_HANDLE_ENV   ? Kind::Env
                : HandleType == SQL_HANDLE_DBC ? Kind::Dbc
                                               : Kind::Stmt;
    if (HandleType != SQL_HANDLE_ENV && HandleType != SQL_HANDLE_DBC &&
        HandleType != SQL_HANDLE_STMT) {
        Entry e("SQLFreeHandle", nullptr, Kind::Env);
        return e.rc();
    }
    Entry e("SQLFreeHandle", Handle, kind);
    if (e.done())
        return e.rc();
    scli::Handle &h = e.h();
    if (kind == Kind::Dbc && h.connected)
        return e.finish(e.error("HY010", "Function sequence error: connection still open"));
    if (kind == Kind::Env && S_has_children(h.id))
        return e.finish(e.error("HY010", "Function sequence error: connections still allocated"));
    uintptr_t id = h.id;
    SQLRETURN rc = e.finish(SQL_SUCCESS);
    e.set_handle(nullptr);
    state().handles.erase(id);
    return rc;
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV EnvironmentHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                                SQLINTEGER StringLength)
{
    (void)StringLength;
    Entry e("SQLSetEnvAttr", EnvironmentHandle, Kind::Env);
    SQLULEN v = reinterpret_cast<SQLULEN>(Value);
    e.call().detail = "attr=" + std::to_string(Attribute) + " value=" + std::to_string(v);
    if (e.done())
        return e.rc();
    if (Attribute == SQL_ATTR_ODBC_VERSION) {
        if (v != SQL_OV_ODBC2 && v != SQL_OV_ODBC3 && v != 380)
            return e.finish(e.error("HY024", "Invalid attribute value"));
        e.h().odbc_version = static_cast<SQLINTEGER>(v);
    }
    e.h().attrs[Attribute] = Value;
    return e.finish(SQL_SUCCESS);
}

SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV EnvironmentHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                                SQLINTEGER BufferLength, SQLINTEGER *StringLength)
{
    (void)BufferLength;
    Entry e("SQLGetEnvAttr", EnvironmentHandle, Kind::Env);
    e.call().detail = "attr=" + std::to_string(Attribute);
    if (e.done())
        return e.rc();
    SQLINTEGER v = 0;
    if (Attribute == SQL_ATTR_ODBC_VERSION) {
        v = e.h().odbc_version;
    } else {
        v = static_cast<SQLINTEGER>(attr_value(e.h(), Attribute, 0));
    }
    if (Value)
        std::memcpy(Value, &v, sizeof(v));
    if (StringLength)
        *StringLength = sizeof(v);
    return e.finish(SQL_SUCCESS);
}

SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC ConnectionHandle, SQLINTEGER Attribute,
                                    SQLPOINTER Value, SQLINTEGER StringLength)
{
    (void)StringLength;
    Entry e("SQLSetConnectAttr", ConnectionHandle, Kind::Dbc);
    SQLULEN v = reinterpret_cast<SQLULEN>(Value);
    e.call().detail = "attr=" + std::to_string(Attribute) + " value=" + std::to_string(v);
    if (e.done())
        return e.rc();
    e.h().attrs[Attribute] = Value;
    return e.finish(SQL_SUCCESS);
}

SQLRETURN SQL_API SQLGetConnectAttr(SQLHDBC ConnectionHandle, SQLINTEGER Attribute,
                                    SQLPOINTER Value, SQLINTEGER BufferLength,
                                    SQLINTEGER *StringLength)
{
    Entry e("SQLGetConnectAttr", ConnectionHandle, Kind::Dbc);
    e.call().detail = "attr=" + std::to_string(Attribute);
    if (e.done())
        return e.rc();
    Handle &h = e.h();
    if (Attribute == SQL_ATTR_CURRENT_CATALOG) {
        if (!h.connected)
            return e.finish(e.error("08003", "Connection not open"));
        return e.finish(e.text_out(h.dsn, Value, BufferLength, StringLength));
    }
    SQLULEN def = Attribute == SQL_ATTR_AUTOCOMMIT ? SQL_AUTOCOMMIT_ON : 0;
    auto v = static_cast<SQLUINTEGER>(attr_value(h, Attribute, def));
    if (Value)
        std::memcpy(Value, &v, sizeof(v));
    if (StringLength)
        *StringLength = sizeof(v);
    return e.finish(SQL_SUCCESS);
}

static SQLRETURN S_connect(Entry &e, const std::string &dsn, const std::string &user)
{
    Handle &h = e.h();
    if (h.connected)
        return e.error("08002", "Connection name in use");
    h.connected = true;
    h.dsn = dsn;
    h.user = user;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLConnect(SQLHDBC ConnectionHandle, SQLCHAR *ServerName, SQLSMALLINT NameLength1,
                             SQLCHAR *UserName, SQLSMALLINT NameLength2, SQLCHAR *Authentication,
                             SQLSMALLINT NameLength3)
{
    Entry e("SQLConnect", ConnectionHandle, Kind::Dbc);
    std::string dsn = sql_text(ServerName, NameLength1);
    std::string user = sql_text(UserName, NameLength2);
    std::string password = sql_text(Authentication, NameLength3);
    e.call().detail = "dsn=" + dsn + " user=" + user + " password=" + password;
    if (e.done())
        return e.rc();
    return e.finish(S_connect(e, dsn, user));
}

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC hdbc, SQLHWND hwnd, SQLCHAR *szConnStrIn,
                                   SQLSMALLINT cbConnStrIn, SQLCHAR *szConnStrOut,
                                   SQLSMALLINT cbConnStrOutMax, SQLSMALLINT *pcbConnStrOut,
                                   SQLUSMALLINT fDriverCompletion)
{
    (void)hwnd;
    (void)fDriverCompletion;
    Entry e("SQLDriverConnect", hdbc, Kind::Dbc);
    std::string in = sql_text(szConnStrIn, cbConnStrIn);
    e.call().detail = in;
    if (e.done())
        return e.rc();
    // Pick DSN= (or DATABASE=) and UID= out of "KEY=value;..." pairs.
    std::string dsn, user;
    size_t pos = 0;
    while (pos < in.size()) {
        size_t end = in.find(';', pos);
        if (end == std::string::npos)
            end = in.size();
        std::string pair = in.substr(pos, end - pos);
        size_t eq = pair.find('=');
        if (eq != std::string::npos) {
            std::string key = pair.substr(0, eq);
            for (char &c : key)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (key == "DSN" || (key == "DATABASE" && dsn.empty()))
                dsn = pair.substr(eq + 1);
            if (key == "UID")
                user = pair.substr(eq + 1);
        }
        pos = end + 1;
    }
    SQLRETURN rc = S_connect(e, dsn, user);
    if (rc != SQL_SUCCESS)
        return e.finish(rc);
    return e.finish(e.text_out(in, szConnStrOut, cbConnStrOutMax, pcbConnStrOut));
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC ConnectionHandle)
{
    Entry e("SQLDisconnect", ConnectionHandle, Kind::Dbc);
    if (e.done())
        return e.rc();
    if (!e.h().connected)
        return e.finish(e.error("08003", "Connection not open"));
    e.h().connected = false;
    // Disconnecting frees the connection's statements.
    S_drop_children(e.h().id);
    return e.finish(SQL_SUCCESS);
}

// What a transaction's end does to the cursors of the connection (or of every
// connection of an environment), as the driver's information item says:
// SQL_CB_PRESERVE keeps them; SQL_CB_CLOSE closes them (as Informix does
// unless its data source keeps them); SQL_CB_DELETE closes them and forgets
// the prepared statements.
static void S_end_cursors(const Handle &ended, SQLUSMALLINT info_type)
{
    auto it = state().info.find(info_type);
    SQLUINTEGER behaviour = it != state().info.end() ? it->second.value : SQL_CB_PRESERVE;
    if (behaviour == SQL_CB_PRESERVE)
        return;
    for (auto &[id, stmt] : state().handles) {
        if (stmt->kind != Kind::Stmt)
            continue;
        auto dbc = state().handles.find(stmt->parent);
        bool mine =
            stmt->parent == ended.id || (ended.kind == Kind::Env && dbc != state().handles.end() &&
                                         dbc->second->parent == ended.id);
        if (!mine)
            continue;
        stmt_close_cursor(*stmt);
        if (behaviour == SQL_CB_DELETE)
            stmt->prepared = false;
    }
}

SQLRETURN SQL_API SQLEndTran(SQLSMALLINT HandleType, SQLHANDLE Handle, SQLSMALLINT CompletionType)
{
    Kind kind = HandleType == SQL_HANDLE_ENV ? Kind::Env : Kind::Dbc;
    if (HandleType != SQL_HANDLE_ENV && HandleType != SQL_HANDLE_DBC)
        kind = Kind::Stmt;
    Entry e("SQLEndTran", Handle, kind);
    const char *text = CompletionType == SQL_ROLLBACK ? "ROLLBACK" : "COMMIT";
    e.call().sql = text;
    if (e.done())
        return e.rc();
    if (kind == Kind::Stmt)
        return e.finish(e.error("HY092", "Invalid attribute/option identifier"));
    if (CompletionType != SQL_COMMIT && CompletionType != SQL_ROLLBACK)
        return e.finish(e.error("HY012", "Invalid transaction operation code"));
    if (kind == Kind::Dbc && !e.h().connected)
        return e.finish(e.error("08003", "Connection not open"));
    Answer &a = find_answer(text, true);
    Exec x = a.result;
    x.sql = text;
    if (a.on_execute)
        a.on_execute(x);
    for (const Diag &d : x.diags)
        e.h().diags.push_back(d);
    if (SQL_SUCCEEDED(x.rc))
        S_end_cursors(e.h(), CompletionType == SQL_ROLLBACK ? SQL_CURSOR_ROLLBACK_BEHAVIOR
                                                            : SQL_CURSOR_COMMIT_BEHAVIOR);
    return e.finish(x.rc);
}

SQLRETURN SQL_API SQLGetInfo(SQLHDBC ConnectionHandle, SQLUSMALLINT InfoType, SQLPOINTER InfoValue,
                             SQLSMALLINT BufferLength, SQLSMALLINT *StringLength)
{
    Entry e("SQLGetInfo", ConnectionHandle, Kind::Dbc);
    e.call().detail = "info=" + std::to_string(InfoType);
    if (e.done())
        return e.rc();
    Handle &h = e.h();
    if (!h.connected)
        return e.finish(e.error("08003", "Connection not open"));
    scli::InfoValue v;
    auto it = state().info.find(InfoType);
    if (it != state().info.end()) {
        v = it->second;
    } else if (InfoType == SQL_DATABASE_NAME || InfoType == SQL_USER_NAME) {
        // Unless scripted, the connection's own database and user.
        v.is_text = true;
        v.text = InfoType == SQL_DATABASE_NAME ? h.dsn : h.user;
    } else {
        return e.finish(e.error("HY096", "Information type out of range"));
    }
    if (v.is_text)
        return e.finish(e.text_out(v.text, InfoValue, BufferLength, StringLength));
    if (v.width == 2) {
        SQLUSMALLINT x = static_cast<SQLUSMALLINT>(v.value);
        if (InfoValue)
            std::memcpy(InfoValue, &x, sizeof(x));
        if (StringLength)
            *StringLength = sizeof(x);
    } else {
        SQLUINTEGER x = v.value;
        if (InfoValue)
            std::memcpy(InfoValue, &x, sizeof(x));
        if (StringLength)
            *StringLength = sizeof(x);
    }
    return e.finish(SQL_SUCCESS);
}

SQLRETURN SQL_API SQLGetFunctions(SQLHDBC ConnectionHandle, SQLUSMALLINT FunctionId,
                                  SQLUSMALLINT *Supported)
{
    Entry e("SQLGetFunctions", ConnectionHandle, Kind::Dbc);
    e.call().detail = "function=" + std::to_string(FunctionId);
    if (e.done())
        return e.rc();
    if (!e.h().connected)
        return e.finish(e.error("08003", "Connection not open"));
    if (!Supported)
        return e.finish(e.error("HY009", "Invalid use of null pointer"));
    auto on = [](SQLUSMALLINT f) {
        auto it = state().functions.find(f);
        return it != state().functions.end() && it->second;
    };
    if (FunctionId == SQL_API_ALL_FUNCTIONS) {
        for (SQLUSMALLINT f = 0; f < 100; f++)
            Supported[f] = on(f) ? SQL_TRUE : SQL_FALSE;
    } else if (FunctionId == SQL_API_ODBC3_ALL_FUNCTIONS) {
        std::memset(Supported, 0, SQL_API_ODBC3_ALL_FUNCTIONS_SIZE * sizeof(SQLUSMALLINT));
        for (const auto &[f, yes] : state().functions)
            if (yes && f < SQL_API_ODBC3_ALL_FUNCTIONS_SIZE * 16)
                Supported[f >> 4] |= 1 << (f & 15);
    } else {
        *Supported = on(FunctionId) ? SQL_TRUE : SQL_FALSE;
    }
    return e.finish(SQL_SUCCESS);
}

} // extern "C"
