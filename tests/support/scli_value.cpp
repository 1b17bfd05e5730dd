// Scripted CLI values: constructors, their journal text, and the conversions
// between a value and a caller's C buffer (fetched columns, output parameters,
// bound input parameters), following ODBC's conversion rules for the C types
// the library uses.
#include "tests/support/scli_state.h"

#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace scli
{

Value null()
{
    return Value{};
}

static Value S_int(Type t, int64_t v)
{
    Value x;
    x.type = t;
    x.i = v;
    return x;
}

Value i16(int16_t v)
{
    return S_int(Type::Int16, v);
}
Value i32(int32_t v)
{
    return S_int(Type::Int32, v);
}
Value i64(int64_t v)
{
    return S_int(Type::Int64, v);
}

Value f32(float v)
{
    Value x;
    x.type = Type::Float;
    x.d = v;
    return x;
}

Value f64(double v)
{
    Value x;
    x.type = Type::Double;
    x.d = v;
    return x;
}

Value chr(const std::string &text, SQLULEN width)
{
    Value x;
    x.type = Type::Char;
    x.s = text;
    x.width = width;
    return x;
}

Value varchar(const std::string &text)
{
    Value x;
    x.type = Type::VarChar;
    x.s = text;
    return x;
}

Value binary(const std::string &bytes)
{
    Value x;
    x.type = Type::Binary;
    x.s = bytes;
    return x;
}

Value date(int year, int month, int day)
{
    Value x;
    x.type = Type::Date;
    x.ts.year = static_cast<SQLSMALLINT>(year);
    x.ts.month = static_cast<SQLUSMALLINT>(month);
    x.ts.day = static_cast<SQLUSMALLINT>(day);
    return x;
}

Value time(int hour, int minute, int second)
{
    Value x;
    x.type = Type::Time;
    x.ts.hour = static_cast<SQLUSMALLINT>(hour);
    x.ts.minute = static_cast<SQLUSMALLINT>(minute);
    x.ts.second = static_cast<SQLUSMALLINT>(second);
    return x;
}

Value timestamp(int year, int month, int day, int hour, int minute, int second,
                SQLUINTEGER fraction)
{
    Value x = date(year, month, day);
    x.type = Type::Timestamp;
    x.ts.hour = static_cast<SQLUSMALLINT>(hour);
    x.ts.minute = static_cast<SQLUSMALLINT>(minute);
    x.ts.second = static_cast<SQLUSMALLINT>(second);
    x.ts.fraction = fraction;
    return x;
}

static std::string S_double_text(double d, bool single)
{
    char buf[64];
    auto r = single ? std::to_chars(buf, buf + sizeof(buf), static_cast<float>(d))
                    : std::to_chars(buf, buf + sizeof(buf), d);
    return std::string(buf, r.ptr);
}

static std::string S_date_text(const SQL_TIMESTAMP_STRUCT &t)
{
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%04d-%02u-%02u", t.year, t.month, t.day);
    return buf;
}

static std::string S_time_text(const SQL_TIMESTAMP_STRUCT &t)
{
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%02u:%02u:%02u", t.hour, t.minute, t.second);
    return buf;
}

// Text a value takes in a character buffer (and in the journal).
static std::string S_char_form(const Value &v)
{
    switch (v.type) {
    case Type::Null:
        return "NULL";
    case Type::Int16:
    case Type::Int32:
    case Type::Int64:
        return std::to_string(v.i);
    case Type::Float:
        return S_double_text(v.d, true);
    case Type::Double:
        return S_double_text(v.d, false);
    case Type::Char: {
        std::string s = v.s;
        if (s.size() < v.width)
            s.append(v.width - s.size(), ' ');
        return s;
    }
    case Type::VarChar:
        return v.s;
    case Type::Binary: {
        static const char hex[] = "0123456789abcdef";
        std::string s;
        for (unsigned char c : v.s) {
            s += hex[c >> 4];
            s += hex[c & 15];
        }
        return s;
    }
    case Type::Date:
        return S_date_text(v.ts);
    case Type::Time:
        return S_time_text(v.ts);
    case Type::Timestamp: {
        std::string s = S_date_text(v.ts) + " " + S_time_text(v.ts);
        if (v.ts.fraction) {
            char buf[16];
            std::snprintf(buf, sizeof(buf), ".%09u", static_cast<unsigned>(v.ts.fraction));
            s += buf;
        }
        return s;
    }
    }
    return {};
}

std::string to_text(const Value &v)
{
    if (v.type == Type::Binary)
        return "0x" + S_char_form(v);
    return S_char_form(v);
}

// ---- C types ----------------------------------------------------------------

SQLLEN c_type_size(SQLSMALLINT ctype)
{
    switch (ctype) {
    case SQL_C_SHORT:
    case SQL_C_SSHORT:
    case SQL_C_USHORT:
        return sizeof(SQLSMALLINT);
    case SQL_C_LONG:
    case SQL_C_SLONG:
    case SQL_C_ULONG:
        return sizeof(SQLINTEGER);
    case SQL_C_SBIGINT:
    case SQL_C_UBIGINT:
        return sizeof(SQLBIGINT);
    case SQL_C_TINYINT:
    case SQL_C_STINYINT:
    case SQL_C_UTINYINT:
    case SQL_C_BIT:
        return sizeof(SQLSCHAR);
    case SQL_C_FLOAT:
        return sizeof(SQLREAL);
    case SQL_C_DOUBLE:
        return sizeof(SQLDOUBLE);
    case SQL_C_DATE:
    case SQL_C_TYPE_DATE:
        return sizeof(SQL_DATE_STRUCT);
    case SQL_C_TIME:
    case SQL_C_TYPE_TIME:
        return sizeof(SQL_TIME_STRUCT);
    case SQL_C_TIMESTAMP:
    case SQL_C_TYPE_TIMESTAMP:
        return sizeof(SQL_TIMESTAMP_STRUCT);
    default:
        return 0;
    }
}

bool c_type_known(SQLSMALLINT ctype)
{
    return c_type_size(ctype) > 0 || ctype == SQL_C_CHAR || ctype == SQL_C_BINARY ||
           ctype == SQL_C_DEFAULT;
}

static SQLSMALLINT S_default_c_type(Type t)
{
    switch (t) {
    case Type::Int16:
        return SQL_C_SSHORT;
    case Type::Int32:
        return SQL_C_SLONG;
    case Type::Int64:
        return SQL_C_SBIGINT;
    case Type::Float:
        return SQL_C_FLOAT;
    case Type::Double:
        return SQL_C_DOUBLE;
    case Type::Binary:
        return SQL_C_BINARY;
    case Type::Date:
        return SQL_C_TYPE_DATE;
    case Type::Time:
        return SQL_C_TYPE_TIME;
    case Type::Timestamp:
        return SQL_C_TYPE_TIMESTAMP;
    default:
        return SQL_C_CHAR;
    }
}

SQLULEN sql_type_size(SQLSMALLINT sql_type)
{
    switch (sql_type) {
    case SQL_SMALLINT:
        return 5;
    case SQL_INTEGER:
        return 10;
    case SQL_BIGINT:
        return 19;
    case SQL_REAL:
        return 7;
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return 15;
    case SQL_DATE:
    case SQL_TYPE_DATE:
        return 10;
    case SQL_TIME:
    case SQL_TYPE_TIME:
        return 8;
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIMESTAMP:
        return 26;
    case SQL_CHAR:
    case SQL_VARCHAR:
        return 255;
    default:
        return 2147483647;
    }
}

std::string sql_type_name(SQLSMALLINT sql_type)
{
    switch (sql_type) {
    case SQL_CHAR:
        return "CHAR";
    case SQL_VARCHAR:
        return "VARCHAR";
    case SQL_LONGVARCHAR:
        return "TEXT";
    case SQL_SMALLINT:
        return "SMALLINT";
    case SQL_INTEGER:
        return "INTEGER";
    case SQL_BIGINT:
        return "INT8";
    case SQL_REAL:
        return "SMALLFLOAT";
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return "FLOAT";
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return "DECIMAL";
    case SQL_DATE:
    case SQL_TYPE_DATE:
        return "DATE";
    case SQL_TIME:
    case SQL_TYPE_TIME:
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIMESTAMP:
        return "DATETIME";
    case SQL_LONGVARBINARY:
        return "BYTE";
    case SQL_BINARY:
    case SQL_VARBINARY:
        return "BLOB";
    default:
        return "UDT";
    }
}

// ---- value -> C buffer -------------------------------------------------------

static Converted S_err(const char *state, const std::string &msg)
{
    Converted c;
    c.rc = SQL_ERROR;
    c.state = state;
    c.message = msg;
    return c;
}

static bool S_parse_number(const std::string &text, double *out)
{
    size_t b = text.find_first_not_of(' ');
    size_t e = text.find_last_not_of(' ');
    if (b == std::string::npos)
        return false;
    const char *first = text.data() + b;
    const char *last = text.data() + e + 1;
    if (*first == '+')
        first++;
    auto r = std::from_chars(first, last, *out);
    return r.ec == std::errc() && r.ptr == last;
}

static bool S_numeric(const Value &v, double *d, int64_t *i, bool *is_int)
{
    switch (v.type) {
    case Type::Int16:
    case Type::Int32:
    case Type::Int64:
        *i = v.i;
        *d = static_cast<double>(v.i);
        *is_int = true;
        return true;
    case Type::Float:
    case Type::Double:
        *d = v.d;
        *is_int = false;
        return true;
    case Type::Char:
    case Type::VarChar: {
        if (!S_parse_number(v.s, d))
            return false;
        *is_int = std::trunc(*d) == *d && std::fabs(*d) < 9.2e18;
        if (*is_int)
            *i = static_cast<int64_t>(*d);
        // Keep full 64-bit precision of integer texts.
        int64_t exact = 0;
        size_t b = v.s.find_first_not_of(' '), e = v.s.find_last_not_of(' ');
        auto r = std::from_chars(v.s.data() + b, v.s.data() + e + 1, exact);
        if (r.ec == std::errc() && r.ptr == v.s.data() + e + 1) {
            *i = exact;
            *is_int = true;
        }
        return true;
    }
    default:
        return false;
    }
}

// A value that is not a number: a text that does not parse is 22018, any
// other type cannot be converted at all.
static Converted S_not_numeric(const Value &v)
{
    if (v.type == Type::Char || v.type == Type::VarChar)
        return S_err("22018", "Invalid character value for cast");
    return S_err("07006", "Restricted data type attribute violation");
}

template <typename T> static Converted S_put_int(const Value &v, SQLPOINTER buf)
{
    double d = 0;
    int64_t i = 0;
    bool is_int = false;
    if (!S_numeric(v, &d, &i, &is_int))
        return S_not_numeric(v);
    Converted c;
    T out;
    if (is_int) {
        bool fits;
        if constexpr (std::is_unsigned_v<T>)
            fits = i >= 0 && static_cast<uint64_t>(i) <= std::numeric_limits<T>::max();
        else
            fits = i >= std::numeric_limits<T>::min() && i <= std::numeric_limits<T>::max();
        if (!fits)
            return S_err("22003", "Numeric value out of range");
        out = static_cast<T>(i);
    } else {
        // Range by powers of two, exact in a double, before any cast.
        double t = std::trunc(d);
        double lo = static_cast<double>(std::numeric_limits<T>::min());
        double hi = std::ldexp(1.0, std::numeric_limits<T>::digits);
        if (!(t >= lo && t < hi))
            return S_err("22003", "Numeric value out of range");
        if (t != d) {
            c.rc = SQL_SUCCESS_WITH_INFO;
            c.state = "01S07";
            c.message = "Fractional truncation";
        }
        out = static_cast<T>(t);
    }
    std::memcpy(buf, &out, sizeof(out));
    return c;
}

template <typename T> static Converted S_put_float(const Value &v, SQLPOINTER buf)
{
    double d = 0;
    int64_t i = 0;
    bool is_int = false;
    if (!S_numeric(v, &d, &i, &is_int))
        return S_not_numeric(v);
    if (is_int)
        d = static_cast<double>(i);
    if (sizeof(T) == sizeof(float) && std::isfinite(d) &&
        std::fabs(d) > std::numeric_limits<float>::max())
        return S_err("22003", "Numeric value out of range");
    T out = static_cast<T>(d);
    std::memcpy(buf, &out, sizeof(out));
    return Converted{};
}

// Parse "YYYY-MM-DD", "hh:mm:ss" or "YYYY-MM-DD hh:mm:ss[.f]" into t.
static bool S_parse_datetime(const std::string &text, SQL_TIMESTAMP_STRUCT *t, bool *has_date,
                             bool *has_time)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, used = 0;
    unsigned frac = 0;
    *has_date = *has_time = false;
    const char *p = text.c_str();
    if (std::sscanf(p, "%4d-%2d-%2d%n", &y, &mo, &d, &used) == 3) {
        *has_date = true;
        p += used;
        if (*p == ' ')
            p++;
    }
    used = 0;
    if (std::sscanf(p, "%2d:%2d:%2d%n", &h, &mi, &s, &used) == 3) {
        *has_time = true;
        p += used;
        if (*p == '.') {
            char digits[10] = "000000000";
            size_t k = 0;
            for (p++; *p >= '0' && *p <= '9'; p++)
                if (k < 9)
                    digits[k++] = *p;
            frac = static_cast<unsigned>(std::strtoul(digits, nullptr, 10));
        }
    }
    while (*p == ' ')
        p++;
    if (*p || (!*has_date && !*has_time))
        return false;
    if (*has_date && (mo < 1 || mo > 12 || d < 1 || d > 31))
        return false;
    if (*has_time && (h > 23 || mi > 59 || s > 61))
        return false;
    *t = SQL_TIMESTAMP_STRUCT{};
    t->year = static_cast<SQLSMALLINT>(y);
    t->month = static_cast<SQLUSMALLINT>(mo);
    t->day = static_cast<SQLUSMALLINT>(d);
    t->hour = static_cast<SQLUSMALLINT>(h);
    t->minute = static_cast<SQLUSMALLINT>(mi);
    t->second = static_cast<SQLUSMALLINT>(s);
    t->fraction = frac;
    return true;
}

static bool S_datetime_of(const Value &v, SQL_TIMESTAMP_STRUCT *t, bool *has_date, bool *has_time)
{
    switch (v.type) {
    case Type::Date:
        *t = v.ts;
        *has_date = true;
        *has_time = false;
        return true;
    case Type::Time:
        *t = v.ts;
        *has_date = false;
        *has_time = true;
        return true;
    case Type::Timestamp:
        *t = v.ts;
        *has_date = *has_time = true;
        return true;
    case Type::Char:
    case Type::VarChar:
        return S_parse_datetime(v.s, t, has_date, has_time);
    default:
        return false;
    }
}

static Converted S_put_datetime(const Value &v, SQLSMALLINT ctype, SQLPOINTER buf)
{
    SQL_TIMESTAMP_STRUCT t{};
    bool has_date = false, has_time = false;
    if (!S_datetime_of(v, &t, &has_date, &has_time)) {
        if (v.type == Type::Char || v.type == Type::VarChar)
            return S_err("22018", "Invalid character value for cast");
        return S_err("07006", "Restricted data type attribute violation");
    }
    Converted c;
    if (ctype == SQL_C_DATE || ctype == SQL_C_TYPE_DATE) {
        if (!has_date)
            return S_err("07006", "Restricted data type attribute violation");
        if (has_time && (t.hour || t.minute || t.second || t.fraction)) {
            c.rc = SQL_SUCCESS_WITH_INFO;
            c.state = "01S07";
            c.message = "Fractional truncation";
        }
        SQL_DATE_STRUCT d{t.year, t.month, t.day};
        std::memcpy(buf, &d, sizeof(d));
    } else if (ctype == SQL_C_TIME || ctype == SQL_C_TYPE_TIME) {
        if (!has_time)
            return S_err("07006", "Restricted data type attribute violation");
        if (t.fraction) {
            c.rc = SQL_SUCCESS_WITH_INFO;
            c.state = "01S07";
            c.message = "Fractional truncation";
        }
        SQL_TIME_STRUCT tm{t.hour, t.minute, t.second};
        std::memcpy(buf, &tm, sizeof(tm));
    } else {
        if (!has_date)
            return S_err("07006", "Restricted data type attribute violation");
        std::memcpy(buf, &t, sizeof(t));
    }
    return c;
}

// Bytes a value gives to a binary buffer.
static std::string S_binary_form(const Value &v)
{
    switch (v.type) {
    case Type::Binary:
    case Type::VarChar:
        return v.s;
    case Type::Char:
        return S_char_form(v);
    case Type::Int16: {
        int16_t x = static_cast<int16_t>(v.i);
        return std::string(reinterpret_cast<const char *>(&x), sizeof(x));
    }
    case Type::Int32: {
        int32_t x = static_cast<int32_t>(v.i);
        return std::string(reinterpret_cast<const char *>(&x), sizeof(x));
    }
    case Type::Int64:
        return std::string(reinterpret_cast<const char *>(&v.i), sizeof(v.i));
    case Type::Float: {
        float x = static_cast<float>(v.d);
        return std::string(reinterpret_cast<const char *>(&x), sizeof(x));
    }
    case Type::Double:
        return std::string(reinterpret_cast<const char *>(&v.d), sizeof(v.d));
    default:
        return std::string(reinterpret_cast<const char *>(&v.ts), sizeof(v.ts));
    }
}

Converted value_to_c(const Value &v, SQLSMALLINT ctype, SQLPOINTER buf, SQLLEN buflen, SQLLEN *ind,
                     size_t offset)
{
    if (v.type == Type::Null) {
        if (!ind)
            return S_err("22002", "Indicator variable required but not supplied");
        *ind = SQL_NULL_DATA;
        return Converted{};
    }
    if (ctype == SQL_C_DEFAULT)
        ctype = S_default_c_type(v.type);

    if (ctype == SQL_C_CHAR || ctype == SQL_C_BINARY) {
        std::string all = ctype == SQL_C_CHAR ? S_char_form(v) : S_binary_form(v);
        if (offset > all.size())
            offset = all.size();
        size_t rest = all.size() - offset;
        if (ind)
            *ind = static_cast<SQLLEN>(rest);
        if (buflen < 0)
            return S_err("HY090", "Invalid string or buffer length");
        size_t room = static_cast<size_t>(buflen);
        if (ctype == SQL_C_CHAR && room > 0)
            room--; // the NUL
        size_t n = rest < room ? rest : room;
        Converted c;
        if (buf && buflen > 0) {
            char *out = static_cast<char *>(buf);
            std::memcpy(out, all.data() + offset, n);
            // Fill up to the stated size, so a smaller buffer shows.
            std::memset(out + n, 0, static_cast<size_t>(buflen) - n);
        } else {
            n = 0;
        }
        c.consumed = n;
        c.complete = n == rest;
        if (!c.complete) {
            c.rc = SQL_SUCCESS_WITH_INFO;
            c.state = "01004";
            c.message = "String data, right truncated";
        }
        return c;
    }

    SQLLEN size = c_type_size(ctype);
    if (size == 0)
        return S_err("HY003", "Program type out of range");
    if (!buf)
        return Converted{};
    Converted c;
    switch (ctype) {
    case SQL_C_SHORT:
    case SQL_C_SSHORT:
        c = S_put_int<int16_t>(v, buf);
        break;
    case SQL_C_USHORT:
        c = S_put_int<uint16_t>(v, buf);
        break;
    case SQL_C_LONG:
    case SQL_C_SLONG:
        c = S_put_int<int32_t>(v, buf);
        break;
    case SQL_C_ULONG:
        c = S_put_int<uint32_t>(v, buf);
        break;
    case SQL_C_SBIGINT:
        c = S_put_int<int64_t>(v, buf);
        break;
    case SQL_C_UBIGINT:
        c = S_put_int<uint64_t>(v, buf);
        break;
    case SQL_C_TINYINT:
    case SQL_C_STINYINT:
        c = S_put_int<int8_t>(v, buf);
        break;
    case SQL_C_UTINYINT:
    case SQL_C_BIT:
        c = S_put_int<uint8_t>(v, buf);
        break;
    case SQL_C_FLOAT:
        c = S_put_float<float>(v, buf);
        break;
    case SQL_C_DOUBLE:
        c = S_put_float<double>(v, buf);
        break;
    default:
        c = S_put_datetime(v, ctype, buf);
        break;
    }
    if (c.rc != SQL_ERROR && ind)
        *ind = size;
    return c;
}

// ---- C buffer -> value ---------------------------------------------------------

// Element size of a column-wise parameter array.
static SQLLEN S_param_stride(const BoundParam &p)
{
    SQLLEN size = c_type_size(p.ctype);
    return size > 0 ? size : p.len;
}

// A value of type T at p, which need not be aligned.
template <typename T> static T S_load(const char *p)
{
    T x;
    std::memcpy(&x, p, sizeof(x));
    return x;
}

bool c_to_value(const BoundParam &p, size_t r, Value *out, std::string *error)
{
    *out = Value{};
    SQLLEN ind_value = p.ind ? p.ind[r] : (p.ctype == SQL_C_CHAR ? SQL_NTS : 0);
    if (ind_value == SQL_NULL_DATA)
        return true;
    if (ind_value == SQL_DATA_AT_EXEC || ind_value <= SQL_LEN_DATA_AT_EXEC_OFFSET) {
        *error = "data at execution is not supported";
        return false;
    }
    if (!p.buf) {
        *error = "no value bound";
        return false;
    }
    const char *base =
        static_cast<const char *>(p.buf) + static_cast<size_t>(S_param_stride(p)) * r;
    switch (p.ctype) {
    case SQL_C_CHAR: {
        size_t n;
        if (ind_value == SQL_NTS) {
            n = std::strlen(base);
        } else if (ind_value >= 0) {
            n = static_cast<size_t>(ind_value);
        } else {
            *error = "invalid string length";
            return false;
        }
        *out = varchar(std::string(base, n));
        return true;
    }
    case SQL_C_BINARY: {
        SQLLEN n = p.ind ? ind_value : p.len;
        if (n < 0) {
            *error = "invalid binary length";
            return false;
        }
        *out = binary(std::string(base, static_cast<size_t>(n)));
        return true;
    }
    case SQL_C_SHORT:
    case SQL_C_SSHORT:
        *out = i16(S_load<int16_t>(base));
        return true;
    case SQL_C_USHORT:
        *out = i32(S_load<uint16_t>(base));
        return true;
    case SQL_C_LONG:
    case SQL_C_SLONG:
        *out = i32(S_load<int32_t>(base));
        return true;
    case SQL_C_ULONG:
        *out = i64(S_load<uint32_t>(base));
        return true;
    case SQL_C_SBIGINT:
    case SQL_C_UBIGINT:
        *out = i64(S_load<int64_t>(base));
        return true;
    case SQL_C_TINYINT:
    case SQL_C_STINYINT:
        *out = i16(S_load<int8_t>(base));
        return true;
    case SQL_C_UTINYINT:
    case SQL_C_BIT:
        *out = i16(S_load<uint8_t>(base));
        return true;
    case SQL_C_FLOAT:
        *out = f32(S_load<float>(base));
        return true;
    case SQL_C_DOUBLE:
        *out = f64(S_load<double>(base));
        return true;
    case SQL_C_DATE:
    case SQL_C_TYPE_DATE: {
        auto d = S_load<SQL_DATE_STRUCT>(base);
        *out = date(d.year, d.month, d.day);
        return true;
    }
    case SQL_C_TIME:
    case SQL_C_TYPE_TIME: {
        auto t = S_load<SQL_TIME_STRUCT>(base);
        *out = time(t.hour, t.minute, t.second);
        return true;
    }
    case SQL_C_TIMESTAMP:
    case SQL_C_TYPE_TIMESTAMP: {
        auto t = S_load<SQL_TIMESTAMP_STRUCT>(base);
        *out = timestamp(t.year, t.month, t.day, t.hour, t.minute, t.second, t.fraction);
        return true;
    }
    default:
        *error = "program type out of range";
        return false;
    }
}

} // namespace scli
