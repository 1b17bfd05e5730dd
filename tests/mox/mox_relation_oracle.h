// GEOS as the judge of the geometry module's relations, for the differential
// test and its fuzz target: a shape record is turned into a GEOS geometry by
// a walk of its own over the part and ring rule of mox/mox.h (not the
// module's), and each search method is read from GEOS's DE-9IM matrix by its
// definition in mox/mox.h.
#ifndef MOX_RELATION_ORACLE_H
#define MOX_RELATION_ORACLE_H

#include <geos_c.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "mox/mox.h"

namespace mox_oracle
{

inline bool Same(const POINT &a, const POINT &b)
{
    return a.x == b.x && a.y == b.y;
}

inline std::string Coords(const POINT *p, size_t n, bool close)
{
    std::string s = "(";
    for (size_t i = 0; i < n; i++)
        s += (i ? "," : "") + std::to_string(p[i].x) + " " + std::to_string(p[i].y);
    if (close)
        s += "," + std::to_string(p[0].x) + " " + std::to_string(p[0].y);
    return s + ")";
}

// The shape as WKT, or "" when the module refuses it (a ring of fewer than
// three points).
inline std::string Wkt(const FEATURE_STRUCT &f)
{
    const POINT *p = f.points;
    size_t n = f.num_points > 0 && p != nullptr ? (size_t)f.num_points : 0;
    int base = f.entity_type & 0xFF;
    bool multi = (f.entity_type & 0x100) != 0;
    if (n == 0)
        return "POINT EMPTY";
    if (base == VE_ENTITY_POINT) {
        if (n == 1)
            return "POINT" + Coords(p, 1, false);
        std::string s = "MULTIPOINT(";
        for (size_t i = 0; i < n; i++)
            s += (i ? "," : "") + Coords(p + i, 1, false);
        return s + ")";
    }
    if ((base == VE_ENTITY_LINE || base == VE_ENTITY_SIMPLE_LINE) && !multi) {
        size_t k = 1;
        while (k < n && Same(p[k], p[0]))
            k++;
        return k == n ? "POINT" + Coords(p, 1, false) : "LINESTRING" + Coords(p, n, false);
    }
    if (base == VE_ENTITY_LINE || base == VE_ENTITY_SIMPLE_LINE) {
        std::vector<std::string> parts;
        size_t s = 0;
        while (s < n) {
            size_t i = s + 1;
            while (i < n && !Same(p[i], p[i - 1]))
                i++;
            if (i - s >= 2)
                parts.push_back(Coords(p + s, i - s, false));
            s = i + 1;
        }
        if (parts.empty())
            return "MULTILINESTRING EMPTY";
        std::string w = "MULTILINESTRING(";
        for (size_t i = 0; i < parts.size(); i++)
            w += (i ? "," : "") + parts[i];
        return w + ")";
    }
    if (base != VE_ENTITY_AREA)
        return "POINT EMPTY";
    // Rings, grouped into polygons: for a multi area by winding.
    std::vector<std::vector<std::string>> polygons;
    int outer_sign = 0;
    size_t s = 0;
    while (s < n) {
        size_t i = s + 1;
        while (i < n && !Same(p[i], p[s]))
            i++;
        size_t count = i < n ? i - s + 1 : i - s;
        size_t own = count >= 2 && Same(p[s + count - 1], p[s]) ? count - 1 : count;
        if (own < 3)
            return "";
        long double twice = 0;
        for (size_t k = 0; k < own; k++) {
            const POINT &a = p[s + k];
            const POINT &b = p[s + (k + 1) % own];
            twice += (long double)a.x * b.y - (long double)b.x * a.y;
        }
        int sign = twice > 0 ? 1 : (twice < 0 ? -1 : 0);
        bool opens =
            polygons.empty() || (multi && sign != 0 && (outer_sign == 0 || sign == outer_sign));
        if (opens) {
            polygons.emplace_back();
            outer_sign = sign;
        }
        polygons.back().push_back(Coords(p + s, own, true));
        s = s + count;
    }
    std::string w = multi || polygons.size() > 1 ? "MULTIPOLYGON(" : "POLYGON";
    for (size_t k = 0; k < polygons.size(); k++) {
        w += (k ? ",(" : "(");
        for (size_t r = 0; r < polygons[k].size(); r++)
            w += (r ? "," : "") + polygons[k][r];
        w += ")";
    }
    return multi || polygons.size() > 1 ? w + ")" : w;
}

// The edges of a line or multi line by the part rule of mox/mox.h (a
// repeated point closes a part of a multi line; repeated points inside a
// part count once); none for other shapes.
inline std::vector<std::pair<POINT, POINT>> LineEdges(const FEATURE_STRUCT &f)
{
    std::vector<std::pair<POINT, POINT>> edges;
    int base = f.entity_type & 0xFF;
    if ((base != VE_ENTITY_LINE && base != VE_ENTITY_SIMPLE_LINE) || f.points == nullptr)
        return edges;
    bool multi = (f.entity_type & 0x100) != 0;
    const POINT *p = f.points;
    size_t n = f.num_points > 0 ? (size_t)f.num_points : 0;
    for (size_t i = 1; i < n; i++) {
        if (Same(p[i], p[i - 1])) {
            if (multi)
                i++; // the next part starts after the repeated point
            continue;
        }
        edges.emplace_back(p[i - 1], p[i]);
    }
    return edges;
}

// Whether two edges of the line run along one another for a stretch (a line
// doubling back, or parts lying on each other): GEOS 3.11's relate misreads
// such lines, so its matrix cannot judge them.
inline bool OverlapsItself(const FEATURE_STRUCT &f)
{
    auto edges = LineEdges(f);
    auto cross = [](const POINT &a, const POINT &b, const POINT &c) {
        return (long double)(b.x - a.x) * (c.y - a.y) - (long double)(b.y - a.y) * (c.x - a.x);
    };
    for (size_t i = 0; i < edges.size(); i++) {
        for (size_t j = i + 1; j < edges.size(); j++) {
            const POINT &a = edges[i].first, &b = edges[i].second;
            const POINT &c = edges[j].first, &d = edges[j].second;
            if (cross(a, b, c) != 0 || cross(a, b, d) != 0)
                continue; // not on one line
            // Positions along a-b of the four ends; a stretch in common when
            // the two spans overlap by more than a point.
            auto at = [&](const POINT &q) {
                return (long double)(q.x - a.x) * (b.x - a.x) +
                       (long double)(q.y - a.y) * (b.y - a.y);
            };
            long double s0 = 0, s1 = at(b), t0 = std::min(at(c), at(d)),
                        t1 = std::max(at(c), at(d));
            if (std::min(s1, t1) > std::max(s0, t0))
                return true;
        }
    }
    return false;
}

struct Geos {
    GEOSContextHandle_t h = GEOS_init_r();
    GEOSWKTReader *reader = GEOSWKTReader_create_r(h);
    Geos() = default;
    Geos(const Geos &) = delete;
    Geos &operator=(const Geos &) = delete;
    ~Geos()
    {
        GEOSWKTReader_destroy_r(h, reader);
        GEOS_finish_r(h);
    }
};

// The matrix of a against b ("" when either cannot be read or is not valid,
// where GEOS's answer means nothing); *dim_a and *dim_b their dimensions (-1
// empty).
inline std::string Matrix(Geos &g, const std::string &a, const std::string &b, int *dim_a,
                          int *dim_b)
{
    if (a.empty() || b.empty())
        return "";
    GEOSGeometry *ga = GEOSWKTReader_read_r(g.h, g.reader, a.c_str());
    GEOSGeometry *gb = GEOSWKTReader_read_r(g.h, g.reader, b.c_str());
    std::string m;
    if (ga != nullptr && gb != nullptr && GEOSisValid_r(g.h, ga) == 1 &&
        GEOSisValid_r(g.h, gb) == 1) {
        char *text = GEOSRelate_r(g.h, ga, gb);
        if (text != nullptr) {
            m = text;
            GEOSFree_r(g.h, text);
        }
        *dim_a = GEOSisEmpty_r(g.h, ga) ? -1 : GEOSGeom_getDimensions_r(g.h, ga);
        *dim_b = GEOSisEmpty_r(g.h, gb) ? -1 : GEOSGeom_getDimensions_r(g.h, gb);
    }
    if (ga != nullptr)
        GEOSGeom_destroy_r(g.h, ga);
    if (gb != nullptr)
        GEOSGeom_destroy_r(g.h, gb);
    return m;
}

inline int Entry(const std::string &m, int k)
{
    return m[(size_t)k] == 'F' ? -1 : m[(size_t)k] - '0';
}

// Whether the method holds for the matrix, by its definition in mox/mox.h.
inline bool Holds(int32_t method, const std::string &m, int dim_a, int dim_b)
{
    enum { II, IB, IE, BI, BB, BE, EI, EB, EE };
    auto e = [&](int k) { return Entry(m, k); };
    bool meet = e(II) >= 0 || e(IB) >= 0 || e(BI) >= 0 || e(BB) >= 0;
    bool only_points = e(II) <= 0 && e(IB) <= 0 && e(BI) <= 0 && e(BB) <= 0;
    bool crosses = false;
    if (dim_a >= 0 && dim_b >= 0) {
        if (dim_a < dim_b)
            crosses = e(II) >= 0 && e(IE) >= 0;
        else if (dim_a > dim_b)
            crosses = e(II) >= 0 && e(EI) >= 0;
        else
            crosses = dim_a == 1 && e(II) == 0;
    }
    switch (method) {
    case SM_CP:
        return meet && only_points;
    case SM_LCROSS:
        return crosses;
    case SM_COMMON:
        return e(II) >= 1 || e(IB) >= 1 || e(BI) >= 1 || e(BB) >= 1;
    case SM_CP_OR_LCROSS:
        return (meet && only_points) || crosses;
    case SM_ET_OR_AI:
        return meet;
    case SM_AI:
        return e(II) >= 0;
    case SM_AI_NO_ET:
        return e(II) >= 0 && e(BB) < 0;
    case SM_PC:
        return e(II) >= 0 && e(IE) < 0 && e(BE) < 0;
    case SM_SC:
        return e(II) >= 0 && e(EI) < 0 && e(EB) < 0;
    case SM_PC_NO_ET:
        return e(II) >= 0 && e(IB) < 0 && e(IE) < 0 && e(BB) < 0 && e(BE) < 0;
    case SM_SC_NO_ET:
        return e(II) >= 0 && e(BI) < 0 && e(BB) < 0 && e(EI) < 0 && e(EB) < 0;
    case SM_PIP:
        if (dim_a == 0 && dim_b == 2)
            return meet && e(IE) < 0 && e(BE) < 0;
        if (dim_a == 2 && dim_b == 0)
            return meet && e(EI) < 0 && e(EB) < 0;
        return false;
    case SM_IDENTICAL:
        return e(II) >= 0 && e(IE) < 0 && e(BE) < 0 && e(EI) < 0 && e(EB) < 0;
    case SM_CBM:
        return true;
    default:
        return false;
    }
}

// Whether the point set of WKT x lies within that of y, by GEOS's overlay,
// which unlike its relate (3.11) reads lines along one another correctly.
inline bool Covered(Geos &g, const std::string &x, const std::string &y)
{
    GEOSGeometry *gx = GEOSWKTReader_read_r(g.h, g.reader, x.c_str());
    GEOSGeometry *gy = GEOSWKTReader_read_r(g.h, g.reader, y.c_str());
    GEOSGeometry *rest = gx && gy ? GEOSDifference_r(g.h, gx, gy) : nullptr;
    bool covered = rest != nullptr && GEOSisEmpty_r(g.h, rest) == 1;
    if (rest != nullptr)
        GEOSGeom_destroy_r(g.h, rest);
    if (gx != nullptr)
        GEOSGeom_destroy_r(g.h, gx);
    if (gy != nullptr)
        GEOSGeom_destroy_r(g.h, gy);
    return covered;
}

// The answer the module owes for the method: the matrix's, except within and
// contains of two lines, which is the covering of one point set by the other
// (their interiors then meet along a line), judged by overlay.
inline bool Expected(Geos &g, int32_t method, const std::string &a, const std::string &b,
                     const std::string &matrix, int dim_a, int dim_b)
{
    if (dim_a == 1 && dim_b == 1 && method == SM_PC)
        return Covered(g, a, b);
    if (dim_a == 1 && dim_b == 1 && method == SM_SC)
        return Covered(g, b, a);
    return Holds(method, matrix, dim_a, dim_b);
}

// The matrix text of a relation cell that holds one.
inline std::string CellMatrix(int32_t cell)
{
    std::string m;
    for (int k = 0; k < 9; k++) {
        int v = ((cell >> (2 * k)) & 3) - 1;
        m += v < 0 ? 'F' : (char)('0' + v);
    }
    return m;
}

const int32_t kMethods[] = {SM_CP,       SM_LCROSS,   SM_COMMON,    SM_CP_OR_LCROSS, SM_ET_OR_AI,
                            SM_AI,       SM_AI_NO_ET, SM_PC,        SM_SC,           SM_PC_NO_ET,
                            SM_SC_NO_ET, SM_PIP,      SM_IDENTICAL, SM_CBM};

} // namespace mox_oracle

#endif
