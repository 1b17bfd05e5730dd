// The scripted CLI's large-object store: hooks on the ifx_lo_ calls keep a map
// of objects, hand out pointers ("LOBP" and the object id, padded to the
// pointer length) and descriptors, and refuse unknown pointers and
// descriptors with the Informix native errors of a real server.
#include "tests/support/scli_lob_store.h"

#include <cstring>

#include "tests/support/scripted_cli.h"

namespace scli
{
namespace
{

constexpr SQLUSMALLINT kInfoSpecLength = 2250;
constexpr SQLUSMALLINT kInfoPointerLength = 2251;
constexpr SQLUSMALLINT kInfoStatusLength = 2252;

LobStore &store()
{
    static LobStore s;
    return s;
}

std::string padded(const std::string &head, int64_t id, int length)
{
    std::string bytes = head;
    for (int i = 0; i < 8; i++)
        bytes.push_back(static_cast<char>((id >> (8 * i)) & 0xff));
    bytes.resize(static_cast<size_t>(length), '\0');
    return bytes;
}

// The object id inside a pointer or status record, -1 when it holds none.
int64_t id_of(const Value &v, const char *head)
{
    if (v.type != Type::Binary || v.s.size() < 12 || v.s.compare(0, 4, head) != 0)
        return -1;
    int64_t id = 0;
    for (int i = 0; i < 8; i++)
        id |= static_cast<int64_t>(static_cast<unsigned char>(v.s[4 + i])) << (8 * i);
    return store().objects.count(id) ? id : -1;
}

void refuse(Exec &e, SQLINTEGER native, const std::string &message)
{
    e.rc = SQL_ERROR;
    e.diags = {{"IX000", native, message}};
}

// The first row's parameter n, Null when it was not bound.
Value param(const Exec &e, size_t n)
{
    if (e.params.empty() || e.params[0].size() < n)
        return null();
    return e.params[0][n - 1];
}

int64_t object_of_descriptor(Exec &e, const Value &descriptor)
{
    auto it = store().open.find(static_cast<SQLINTEGER>(descriptor.i));
    if (descriptor.type != Type::Int32 || it == store().open.end()) {
        refuse(e, -9810, "Smart-large-object error: bad descriptor");
        return -1;
    }
    return it->second;
}

SQLINTEGER open_object(int64_t id, int32_t mode)
{
    SQLINTEGER d = store().next_descriptor++;
    store().open[d] = id;
    store().open_mode[d] = mode;
    return d;
}

} // namespace

LobStore &lob_store()
{
    return store();
}

LobStore &lob_store_install()
{
    store() = LobStore{};
    LobStore &s = store();
    set_info(kInfoSpecLength, static_cast<SQLUINTEGER>(s.spec_length), 2);
    set_info(kInfoPointerLength, static_cast<SQLUINTEGER>(s.pointer_length), 2);
    set_info(kInfoStatusLength, static_cast<SQLUINTEGER>(s.status_length), 2);

    on_sql("{call ifx_lo_def_create_spec(?)}").repeat().hook([](Exec &e) {
        e.out[1] = binary(padded("SPEC", 0, store().spec_length));
    });
    on_sql("{call ifx_lo_col_info(?, ?)}").repeat().hook([](Exec &e) {
        Value name = param(e, 1);
        Value spec = param(e, 2);
        if (spec.type != Type::Binary || spec.s.compare(0, 4, "SPEC") != 0)
            return refuse(e, -9750, "Invalid smart-large-object spec");
        store().last_column = name.s.c_str(); // the name is sent with its NUL
        e.out[2] = binary(padded("SPEC", 1, store().spec_length));
    });
    on_sql("{call ifx_lo_create(?, ?, ?, ?)}").repeat().hook([](Exec &e) {
        Value spec = param(e, 1);
        if (spec.type != Type::Binary || spec.s.compare(0, 4, "SPEC") != 0)
            return refuse(e, -9750, "Invalid smart-large-object spec");
        int64_t id = store().next_id++;
        store().objects[id] = std::string();
        e.out[3] = binary(padded("LOBP", id, store().pointer_length));
        e.out[4] = i32(open_object(id, static_cast<int32_t>(param(e, 2).i)));
    });
    on_sql("{call ifx_lo_write(?, ?)}").repeat().hook([](Exec &e) {
        int64_t id = object_of_descriptor(e, param(e, 1));
        if (id < 0)
            return;
        store().objects[id] += param(e, 2).s;
    });
    on_sql("{? = call  ifx_lo_open(?, ?)}").repeat().hook([](Exec &e) {
        int64_t id = id_of(param(e, 2), "LOBP");
        if (id < 0)
            return refuse(e, -9810, "Smart-large-object error: bad pointer");
        e.out[1] = i32(open_object(id, static_cast<int32_t>(param(e, 3).i)));
    });
    on_sql("{call ifx_lo_stat(?, ?)}").repeat().hook([](Exec &e) {
        int64_t id = object_of_descriptor(e, param(e, 1));
        if (id < 0)
            return;
        e.out[2] = binary(padded("STAT", id, store().status_length));
    });
    on_sql("{call ifx_lo_stat_size(?, ?)}").repeat().hook([](Exec &e) {
        int64_t id = id_of(param(e, 1), "STAT");
        if (id < 0)
            return refuse(e, -9810, "Smart-large-object error: bad status");
        int64_t size = static_cast<int64_t>(store().objects[id].size());
        e.out[2] = i64(store().size_override >= 0 ? store().size_override : size);
    });
    on_sql("{call ifx_lo_read(?, ?)}").repeat().hook([](Exec &e) {
        int64_t id = object_of_descriptor(e, param(e, 1));
        if (id < 0)
            return;
        std::string bytes = store().objects[id];
        bytes.append(static_cast<size_t>(store().read_length_excess), 'X');
        e.out[2] = varchar(bytes);
    });
    on_sql("{call ifx_lo_close(?)}").repeat().hook([](Exec &e) {
        if (object_of_descriptor(e, param(e, 1)) < 0)
            return;
        store().open.erase(static_cast<SQLINTEGER>(param(e, 1).i));
    });
    return s;
}

} // namespace scli
