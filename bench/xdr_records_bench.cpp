// The XDR record encodings against libtirpc's primitives in the same run, on
// the same records and the same memory stream, each iteration an encode and
// a decode of the whole:
// - a list of 100 versions (texts, ids, times) through the list encoding
//   against a loop of xdr_u_int, xdr_string, xdr_int and xdr_u_int calls;
// - a feature of 10,000 points with Z values through the feature encoding
//   (header, XY, Z) against xdr_int over the same words.
// Compare the times within each pair (ratios, not absolute numbers).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/system/xdr_records_internal.h"

namespace
{

std::vector<VERSION> S_versions()
{
    std::vector<VERSION> versions(100);
    for (size_t i = 0; i < versions.size(); i++) {
        VERSION &v = versions[i];
        std::snprintf(v.name, sizeof v.name, "version_%zu", i);
        std::strcpy(v.owner, "gisowner");
        std::strcpy(v.description, "edits of the parcel fabric");
        std::strcpy(v.parent_name, "DEFAULT");
        std::strcpy(v.parent_owner, "sde");
        v.version_id = static_cast<int32_t>(i);
        v.state_id = static_cast<int32_t>(i * 3);
        v.status = 1;
        v.creation_time = 1700000000u + static_cast<uint32_t>(i);
    }
    return versions;
}

// One version with libtirpc alone: a string field through a char pointer.
bool_t S_plain_text(XDR *x, char *field, u_int max)
{
    return xdr_string(x, &field, max);
}

bool_t S_plain_version(XDR *x, VERSION *v)
{
    return S_plain_text(x, v->name, 63) && S_plain_text(x, v->owner, 31) &&
           xdr_int(x, &v->version_id) && xdr_u_int(x, &v->status) && xdr_int(x, &v->state_id) &&
           S_plain_text(x, v->description, 63) && S_plain_text(x, v->parent_name, 63) &&
           S_plain_text(x, v->parent_owner, 31) && xdr_int(x, &v->parent_version_id) &&
           xdr_u_int(x, &v->creation_time);
}

void BM_VersionListOurs(benchmark::State &state)
{
    std::vector<VERSION> versions = S_versions(), back(versions.size());
    std::vector<char> buffer(1 << 20);
    for (auto _ : state) {
        XDR x;
        xdrmem_create(&x, buffer.data(), static_cast<u_int>(buffer.size()), XDR_ENCODE);
        int32_t rc = xdrio_write_version_list(&x, versions.data(), 100);
        xdrmem_create(&x, buffer.data(), static_cast<u_int>(buffer.size()), XDR_DECODE);
        int32_t count = 0;
        rc |= xdrio_read_version_list(&x, back.data(), 100, &count);
        benchmark::DoNotOptimize(rc);
        benchmark::DoNotOptimize(back.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_VersionListOurs);

void BM_VersionListLibtirpc(benchmark::State &state)
{
    std::vector<VERSION> versions = S_versions(), back(versions.size());
    std::vector<char> buffer(1 << 20);
    for (auto _ : state) {
        XDR x;
        xdrmem_create(&x, buffer.data(), static_cast<u_int>(buffer.size()), XDR_ENCODE);
        u_int n = 100;
        bool_t ok = xdr_u_int(&x, &n);
        for (VERSION &v : versions)
            ok = ok && S_plain_version(&x, &v);
        xdrmem_create(&x, buffer.data(), static_cast<u_int>(buffer.size()), XDR_DECODE);
        ok = ok && xdr_u_int(&x, &n) && n <= back.size();
        for (u_int i = 0; ok && i < n; i++)
            ok = S_plain_version(&x, &back[i]);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(back.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_VersionListLibtirpc);

struct Shape {
    std::vector<POINT> points, room;
    std::vector<int32_t> z, z_room;
    FEATURE_STRUCT sent{}, got{};
    Shape() : points(10000), room(10000), z(10000), z_room(10000)
    {
        for (size_t i = 0; i < points.size(); i++) {
            points[i] = {static_cast<int32_t>(i * 3), static_cast<int32_t>(1000000 - i)};
            z[i] = static_cast<int32_t>(i % 977);
        }
        sent.feature_id = 7;
        sent.num_points = 10000;
        sent.points = points.data();
        sent.z_values = z.data();
        got.points = room.data();
        got.z_values = z_room.data();
        got.allocated_points = 10000;
    }
};

void BM_FeatureOurs(benchmark::State &state)
{
    Shape s;
    std::vector<char> buffer(1 << 20);
    for (auto _ : state) {
        XDR x;
        xdrmem_create(&x, buffer.data(), static_cast<u_int>(buffer.size()), XDR_ENCODE);
        int32_t rc = xdrio_feature(&x, &s.sent, 0);
        xdrmem_create(&x, buffer.data(), static_cast<u_int>(buffer.size()), XDR_DECODE);
        rc |= xdrio_feature(&x, &s.got, 0);
        benchmark::DoNotOptimize(rc);
        benchmark::DoNotOptimize(s.room.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FeatureOurs);

// The same words: the header's 24 (longs, envelope, words, doubles as two
// words each, flags), then the points and the Z values.
bool_t S_plain_feature(XDR *x, FEATURE_STRUCT *f, uint32_t *flags)
{
    int32_t *head[] = {&f->wire_field, &f->feature_id, &f->num_points};
    for (int32_t *w : head)
        if (!xdr_int(x, w))
            return FALSE;
    short type = static_cast<short>(f->entity_type);
    if (!xdr_short(x, &type) || !xdr_int(x, &f->envelope.minx) || !xdr_int(x, &f->envelope.miny) ||
        !xdr_int(x, &f->envelope.maxx) || !xdr_int(x, &f->envelope.maxy))
        return FALSE;
    for (int32_t &w : f->wire_fields)
        if (!xdr_int(x, &w))
            return FALSE;
    if (!xdr_double(x, &f->area) || !xdr_double(x, &f->length))
        return FALSE;
    for (int i = 0; i < 4; i++)
        if (!xdr_u_int(x, &flags[i]))
            return FALSE;
    for (int32_t i = 0; i < f->num_points; i++)
        if (!xdr_int(x, &f->points[i].x) || !xdr_int(x, &f->points[i].y))
            return FALSE;
    for (int32_t i = 0; i < f->num_points; i++)
        if (!xdr_int(x, &f->z_values[i]))
            return FALSE;
    return TRUE;
}

void BM_FeatureLibtirpc(benchmark::State &state)
{
    Shape s;
    std::vector<char> buffer(1 << 20);
    for (auto _ : state) {
        XDR x;
        uint32_t flags[4] = {1, 1, 0, 0};
        xdrmem_create(&x, buffer.data(), static_cast<u_int>(buffer.size()), XDR_ENCODE);
        bool_t ok = S_plain_feature(&x, &s.sent, flags);
        xdrmem_create(&x, buffer.data(), static_cast<u_int>(buffer.size()), XDR_DECODE);
        ok = ok && S_plain_feature(&x, &s.got, flags);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(s.room.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FeatureLibtirpc);

} // namespace
