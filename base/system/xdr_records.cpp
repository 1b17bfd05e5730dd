// The XDR filters of the engine's records (base/system/xdr_records.h) over
// libtirpc's primitives. Every 32-bit field goes through zel_xdr_long or
// zel_xdr_u_long (xdr_int, xdr_u_int): libtirpc's xdr_long moves the host's
// 8-byte long. Texts in fixed fields go through the control process's text
// filter (base/system/xdr_iomgr_internal.h) bounded by the field.
#include "base/system/xdr_records_internal.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "base/system/xdr_iomgr_internal.h"
#include "mox/mox.h"

bool_t zel_xdr_long(XDR *xdrs, int32_t *value)
{
    return xdr_int(xdrs, value);
}

bool_t zel_xdr_u_long(XDR *xdrs, uint32_t *value)
{
    return xdr_u_int(xdrs, value);
}

bool_t zel_xdr_text(XDR *xdrs, char *field, uint32_t size)
{
    return size >= 1 && xdr_iomgr_text(xdrs, field, size - 1);
}

// A text field whose wire maximum is wire characters with its terminator:
// the smaller of that and the field bounds it.
template <size_t F> static bool_t S_text(XDR *xdrs, char (&field)[F], uint32_t wire)
{
    return zel_xdr_text(xdrs, field, std::min<uint32_t>(static_cast<uint32_t>(F), wire));
}

static bool_t S_u(XDR *xdrs, int32_t *value)
{
    return zel_xdr_u_long(xdrs, reinterpret_cast<uint32_t *>(value));
}

static bool_t S_l(XDR *xdrs, uint32_t *value)
{
    return zel_xdr_long(xdrs, reinterpret_cast<int32_t *>(value));
}

static bool_t S_longs(XDR *xdrs, int32_t *values, size_t n)
{
    for (size_t i = 0; i < n; i++)
        if (!zel_xdr_long(xdrs, &values[i]))
            return FALSE;
    return TRUE;
}

static bool_t S_doubles(XDR *xdrs, double *values, size_t n)
{
    for (size_t i = 0; i < n; i++)
        if (!xdr_double(xdrs, &values[i]))
            return FALSE;
    return TRUE;
}

ZEL_API bool_t xdr_const_char(XDR *xdrs, char *c)
{
    int value = static_cast<signed char>(*c);
    if (!xdr_int(xdrs, &value))
        return FALSE;
    if (xdrs->x_op == XDR_DECODE)
        *c = static_cast<char>(value & 0xff);
    return TRUE;
}

// n characters each as a 4-byte int: the older release's text form.
static bool_t S_char_vector(XDR *xdrs, char *chars, size_t n)
{
    for (size_t i = 0; i < n; i++)
        if (!xdr_const_char(xdrs, &chars[i]))
            return FALSE;
    return TRUE;
}

ZEL_API bool_t xdr_POINT(XDR *xdrs, POINT *point)
{
    return zel_xdr_long(xdrs, &point->x) && zel_xdr_long(xdrs, &point->y);
}

ZEL_API bool_t xdr_ENVELOPE(XDR *xdrs, ENVELOPE *e)
{
    return zel_xdr_long(xdrs, &e->minx) && zel_xdr_long(xdrs, &e->miny) &&
           zel_xdr_long(xdrs, &e->maxx) && zel_xdr_long(xdrs, &e->maxy);
}

ZEL_API bool_t xdr_VE_ENVELOPE(XDR *xdrs, VE_ENVELOPE *e)
{
    return xdr_double(xdrs, &e->minx) && xdr_double(xdrs, &e->miny) && xdr_double(xdrs, &e->maxx) &&
           xdr_double(xdrs, &e->maxy);
}

ZEL_API bool_t xdr_POINT3D(XDR *xdrs, int32_t *xyz)
{
    return S_longs(xdrs, xyz, 3);
}

ZEL_API bool_t xdr_VE_DATE(XDR *xdrs, VE_DATE *d)
{
    if (xdrs->x_op == XDR_DECODE)
        *d = VE_DATE{};
    return zel_xdr_long(xdrs, &d->tm_sec) && zel_xdr_long(xdrs, &d->tm_min) &&
           zel_xdr_long(xdrs, &d->tm_hour) && zel_xdr_long(xdrs, &d->tm_mday) &&
           zel_xdr_long(xdrs, &d->tm_mon) && zel_xdr_long(xdrs, &d->tm_year) &&
           zel_xdr_long(xdrs, &d->tm_wday) && zel_xdr_long(xdrs, &d->tm_yday) &&
           zel_xdr_long(xdrs, &d->tm_isdst);
}

// ---- Features --------------------------------------------------------------

// A 0/1 presence word; anything else from the wire is refused.
static bool_t S_flag(XDR *xdrs, uint32_t *flag)
{
    return xdr_u_int(xdrs, flag) && *flag <= 1;
}

// The XY word: we send 1/0 for presence; a peer may send the address of its
// points, which no reader uses, so any value decodes and non-zero is present.
static bool_t S_xy_word(XDR *xdrs, uint32_t *flag)
{
    if (!xdr_u_int(xdrs, flag))
        return FALSE;
    *flag = *flag != 0;
    return TRUE;
}

bool_t xdr_feature_header(XDR *xdrs, FEATURE_STRUCT *f, XDR_FEATURE_FLAGS *flags)
{
    if (xdrs->x_op == XDR_ENCODE) {
        flags->xy = f->points != nullptr;
        flags->z = f->z_values != nullptr;
        flags->m = f->measures != nullptr;
        flags->coordref = f->coordref != nullptr;
    }
    return zel_xdr_long(xdrs, &f->wire_field) && S_u(xdrs, &f->feature_id) &&
           zel_xdr_long(xdrs, &f->num_points) &&
           xdr_short(xdrs, reinterpret_cast<short *>(&f->entity_type)) &&
           xdr_ENVELOPE(xdrs, &f->envelope) && S_longs(xdrs, f->wire_fields, 4) &&
           xdr_double(xdrs, &f->area) && xdr_double(xdrs, &f->length) &&
           S_xy_word(xdrs, &flags->xy) && S_flag(xdrs, &flags->z) && S_flag(xdrs, &flags->m) &&
           S_flag(xdrs, &flags->coordref);
}

ZEL_API bool_t xdr_FEATURE_STRUCT(XDR *xdrs, FEATURE_STRUCT *feature)
{
    XDR_FEATURE_FLAGS flags{};
    return xdr_feature_header(xdrs, feature, &flags);
}

ZEL_API bool_t xdr_FEATURE_XYPTS(XDR *xdrs, POINT *points, int32_t n)
{
    if (n < 0 || (n > 0 && points == nullptr))
        return FALSE;
    for (int32_t i = 0; i < n; i++)
        if (!xdr_POINT(xdrs, &points[i]))
            return FALSE;
    return TRUE;
}

// n longs; decoded into a null array they are read and dropped.
static bool_t S_ordinates(XDR *xdrs, int32_t *values, int32_t n)
{
    if (n < 0)
        return FALSE;
    if (values != nullptr)
        return S_longs(xdrs, values, static_cast<size_t>(n));
    if (xdrs->x_op != XDR_DECODE)
        return n == 0;
    for (int32_t i = 0; i < n; i++) {
        int32_t dropped;
        if (!zel_xdr_long(xdrs, &dropped))
            return FALSE;
    }
    return TRUE;
}

ZEL_API bool_t xdr_FEATURE_ZPTS(XDR *xdrs, int32_t *values, int32_t n)
{
    return S_ordinates(xdrs, values, n);
}

ZEL_API bool_t xdr_FEATURE_MVALS(XDR *xdrs, int32_t *values, int32_t n)
{
    return S_ordinates(xdrs, values, n);
}

// ---- Coordinate references and layers ---------------------------------------

static bool_t S_coordref(XDR *xdrs, COORDREF *c, bool old)
{
    if (xdrs->x_op == XDR_FREE) {
        std::free(c->srtext);
        c->srtext = nullptr;
        return TRUE;
    }
    double *order[] = {&c->falsex,     &c->falsey,     &c->falsez,       &c->falsem,
                       &c->xyunits,    &c->zunits,     &c->munits,       &c->xy_rounding,
                       &c->z_rounding, &c->m_rounding, &c->xy_half_unit, &c->z_half_unit,
                       &c->m_half_unit};
    for (double *value : order)
        if (!xdr_double(xdrs, value))
            return FALSE;
    int32_t d = 0;
    if (xdrs->x_op == XDR_ENCODE && c->srtext != nullptr) {
        size_t length = strnlen(c->srtext, XDR_MAX_TEXT + 1);
        if (length > XDR_MAX_TEXT)
            return FALSE;
        d = static_cast<int32_t>(length);
    }
    if (!zel_xdr_long(xdrs, &d))
        return FALSE;
    if (d < 0 || d > XDR_MAX_TEXT)
        return FALSE;
    if (d > 0) {
        if (xdrs->x_op == XDR_DECODE) {
            char *text = static_cast<char *>(std::realloc(c->srtext, static_cast<size_t>(d) + 1));
            if (text == nullptr)
                return FALSE;
            text[0] = '\0';
            c->srtext = text;
        }
        // The text of d characters as a string(d+1); it must fit d.
        if (!xdr_iomgr_text(xdrs, c->srtext, static_cast<u_int>(d)))
            return FALSE;
    }
    if (old) {
        if (xdrs->x_op == XDR_DECODE)
            c->srid = 0;
        return TRUE;
    }
    return zel_xdr_long(xdrs, &c->srid);
}

ZEL_API bool_t xdr_COORDREF(XDR *xdrs, COORDREF *coordref)
{
    return S_coordref(xdrs, coordref, false);
}

bool_t xdr_COORDREF_old(XDR *xdrs, COORDREF *coordref)
{
    return S_coordref(xdrs, coordref, true);
}

static bool_t S_layer(XDR *xdrs, LAYER *l, bool old)
{
    if (!zel_xdr_long(xdrs, &l->layer_id) || !S_text(xdrs, l->description, 64) ||
        !S_doubles(xdrs, l->grid_size, 3) || !xdr_double(xdrs, &l->minx) ||
        !xdr_double(xdrs, &l->miny) || !xdr_double(xdrs, &l->maxx) || !xdr_double(xdrs, &l->maxy) ||
        !S_l(xdrs, &l->eflags) || !S_text(xdrs, l->database_name, 32) ||
        !S_text(xdrs, l->table_name, 160) || !S_text(xdrs, l->owner, 32) ||
        !S_text(xdrs, l->spatial_column, 32) || !zel_xdr_long(xdrs, &l->cdate) ||
        !S_l(xdrs, &l->privileges) || !S_text(xdrs, l->layer_config, 32) ||
        !zel_xdr_long(xdrs, &l->optimal_array_size) || !zel_xdr_long(xdrs, &l->stats_date) ||
        !S_u(xdrs, &l->minimum_id))
        return FALSE;
    if (old) {
        if (xdrs->x_op == XDR_DECODE) {
            l->layer_mask = 0;
            l->base_layer_id = 0;
        }
        return TRUE;
    }
    return S_l(xdrs, &l->layer_mask) && zel_xdr_long(xdrs, &l->base_layer_id);
}

ZEL_API bool_t xdr_LAYER(XDR *xdrs, LAYER *layer)
{
    return S_layer(xdrs, layer, false);
}

bool_t xdr_LAYER_old(XDR *xdrs, LAYER *layer)
{
    return S_layer(xdrs, layer, true);
}

// ---- Release and statistics ------------------------------------------------

enum { kOldReleaseText = 64, kCurrentReleaseMajor = 4 };

ZEL_API bool_t xdr_RELEASE(XDR *xdrs, RELEASE *r)
{
    if (!zel_xdr_long(xdrs, &r->major) || !zel_xdr_long(xdrs, &r->minor) ||
        !zel_xdr_long(xdrs, &r->bugfix))
        return FALSE;
    if (r->major >= kCurrentReleaseMajor) {
        if (!S_text(xdrs, r->description, VE_RELEASE_DESCRIPTION_SIZE))
            return FALSE;
    } else {
        char text[kOldReleaseText] = {};
        if (xdrs->x_op == XDR_ENCODE)
            std::memcpy(text, r->description, strnlen(r->description, kOldReleaseText));
        if (!S_char_vector(xdrs, text, kOldReleaseText))
            return FALSE;
        if (xdrs->x_op == XDR_DECODE) {
            // 64 characters may come without an end: the field ends them.
            std::memset(r->description, 0, sizeof r->description);
            std::memcpy(r->description, text, kOldReleaseText);
        }
    }
    return zel_xdr_long(xdrs, &r->release);
}

ZEL_API bool_t xdr_VE_GRID_STATS(XDR *xdrs, VE_GRID_STATS *s)
{
    return zel_xdr_long(xdrs, &s->index_records) && zel_xdr_long(xdrs, &s->features) &&
           zel_xdr_long(xdrs, &s->grid_cells) && S_longs(xdrs, s->group_counts, VE_SPIDX_GROUPS) &&
           zel_xdr_long(xdrs, &s->max_features_per_cell) && zel_xdr_long(xdrs, &s->features_inside);
}

ZEL_API bool_t xdr_S_INDEX_STATS(XDR *xdrs, VE_SPIDX_STATS *s)
{
    if (!S_text(xdrs, s->table_name, 226) || !S_text(xdrs, s->column_name, 32) ||
        !zel_xdr_long(xdrs, &s->num_grids))
        return FALSE;
    for (VE_GRID_STATS &level : s->levels)
        if (!xdr_VE_GRID_STATS(xdrs, &level))
            return FALSE;
    return TRUE;
}

ZEL_API bool_t xdr_LAYER_STATS(XDR *xdrs, VE_LAYER_STATS *s)
{
    int32_t *counts[] = {&s->layer_id, &s->nils,        &s->points,        &s->multi_points,
                         &s->lines,    &s->multi_lines, &s->simple_lines,  &s->multi_simple_lines,
                         &s->areas,    &s->multi_areas, &s->total_features};
    for (int32_t *value : counts)
        if (!zel_xdr_long(xdrs, value))
            return FALSE;
    if (!xdr_VE_ENVELOPE(xdrs, &s->envelope) || !S_l(xdrs, &s->last_modified) ||
        !zel_xdr_long(xdrs, &s->min_fid) || !zel_xdr_long(xdrs, &s->max_fid) ||
        !zel_xdr_long(xdrs, &s->min_points) || !zel_xdr_long(xdrs, &s->max_points))
        return FALSE;
    double *measures[] = {&s->min_area,   &s->max_area, &s->min_length, &s->max_length,
                          &s->avg_points, &s->avg_area, &s->avg_length};
    for (double *value : measures)
        if (!xdr_double(xdrs, value))
            return FALSE;
    return TRUE;
}

// ---- Catalogue records -----------------------------------------------------

ZEL_API bool_t xdr_REGISTRATION(XDR *xdrs, REGISTRATION *r)
{
    return zel_xdr_long(xdrs, &r->registration_id) && S_text(xdrs, r->database_name, 32) &&
           S_text(xdrs, r->table_name, 160) && S_text(xdrs, r->owner, 32) &&
           S_text(xdrs, r->rowid_column, 32) && S_text(xdrs, r->description, 64) &&
           S_text(xdrs, r->config_keyword, 32) && S_l(xdrs, &r->object_flags) &&
           zel_xdr_u_long(xdrs, &r->registration_date) && zel_xdr_long(xdrs, &r->permissions) &&
           zel_xdr_u_long(xdrs, &r->minimum_id) && S_text(xdrs, r->imv_view_name, 160);
}

ZEL_API bool_t xdr_STATE(XDR *xdrs, STATE *s)
{
    return zel_xdr_long(xdrs, &s->state_id) && S_text(xdrs, s->owner, 32) &&
           zel_xdr_u_long(xdrs, &s->creation_time) && zel_xdr_u_long(xdrs, &s->closing_time) &&
           zel_xdr_long(xdrs, &s->lineage_length);
}

ZEL_API bool_t xdr_VERSION(XDR *xdrs, VERSION *v)
{
    return S_text(xdrs, v->name, 64) && S_text(xdrs, v->owner, 32) &&
           zel_xdr_long(xdrs, &v->version_id) && zel_xdr_u_long(xdrs, &v->status) &&
           zel_xdr_long(xdrs, &v->state_id) && S_text(xdrs, v->description, 64) &&
           S_text(xdrs, v->parent_name, 64) && S_text(xdrs, v->parent_owner, 32) &&
           zel_xdr_long(xdrs, &v->parent_version_id) && zel_xdr_u_long(xdrs, &v->creation_time);
}

ZEL_API bool_t xdr_LOGFILE(XDR *xdrs, LOGFILE *l)
{
    return S_text(xdrs, l->name, 226) && S_text(xdrs, l->table_name, 226) &&
           S_text(xdrs, l->spatial_column, 32) && zel_xdr_long(xdrs, &l->logfile_id) &&
           zel_xdr_long(xdrs, &l->data_id) && S_l(xdrs, &l->flags) && S_u(xdrs, &l->session_tag) &&
           zel_xdr_long(xdrs, &l->layer_id) && zel_xdr_long(xdrs, &l->registration_id) &&
           xdr_REGISTRATION(xdrs, &l->registration);
}

ZEL_API bool_t xdr_VE_SPATIALREF(XDR *xdrs, VE_SPATIALREF *s)
{
    if (xdrs->x_op == XDR_ENCODE && s->coordref == nullptr)
        return FALSE;
    if (!zel_xdr_long(xdrs, &s->srid) || !S_text(xdrs, s->description, 64) ||
        !S_text(xdrs, s->auth_name, 256) || !zel_xdr_long(xdrs, &s->auth_srid))
        return FALSE;
    if (xdrs->x_op == XDR_FREE)
        return s->coordref == nullptr || xdr_COORDREF(xdrs, s->coordref);
    if (s->coordref == nullptr && MoxCoordRefCreate(&s->coordref) != 0)
        return FALSE;
    return xdr_COORDREF(xdrs, s->coordref);
}

ZEL_API bool_t xdr_METADATA(XDR *xdrs, METADATA *m)
{
    return zel_xdr_long(xdrs, &m->record_id) && S_text(xdrs, m->object_name, 160) &&
           S_text(xdrs, m->object_owner, 32) && zel_xdr_long(xdrs, &m->object_type) &&
           S_text(xdrs, m->class_name, 32) && S_text(xdrs, m->property, 32) &&
           S_text(xdrs, m->prop_value, 255) && S_text(xdrs, m->description, 64) &&
           zel_xdr_u_long(xdrs, &m->creation_date);
}

// The raster column's database name: always its whole field on encode, with
// the bytes after the name zeroed so no stale memory leaves the process; on
// decode any string of at most the field, which must end within it.
static bool_t S_database_name(XDR *xdrs, char (&field)[DB_NAME_DATABASE_SIZE])
{
    u_int length = DB_NAME_DATABASE_SIZE;
    char bytes[DB_NAME_DATABASE_SIZE + 1] = {};
    switch (xdrs->x_op) {
    case XDR_ENCODE:
        std::memcpy(bytes, field, strnlen(field, DB_NAME_DATABASE_SIZE - 1));
        return xdr_u_int(xdrs, &length) && xdr_opaque(xdrs, bytes, DB_NAME_DATABASE_SIZE);
    case XDR_DECODE:
        if (!xdr_u_int(xdrs, &length) || length > DB_NAME_DATABASE_SIZE ||
            !xdr_opaque(xdrs, bytes, length))
            return FALSE;
        if (strnlen(bytes, DB_NAME_DATABASE_SIZE) == DB_NAME_DATABASE_SIZE)
            return FALSE;
        std::memcpy(field, bytes, DB_NAME_DATABASE_SIZE);
        return TRUE;
    case XDR_FREE:
        return TRUE;
    }
    return FALSE;
}

ZEL_API bool_t xdr_RASTERCOLUMN(XDR *xdrs, RASTERCOLUMN *c)
{
    return zel_xdr_long(xdrs, &c->rastercolumn_id) && S_text(xdrs, c->description, 64) &&
           S_database_name(xdrs, c->database_name) && S_text(xdrs, c->owner, 32) &&
           S_text(xdrs, c->table_name, 160) && S_text(xdrs, c->raster_column, 32) &&
           zel_xdr_long(xdrs, &c->cdate) && S_l(xdrs, &c->privileges) &&
           S_text(xdrs, c->config_keyword, 32) && zel_xdr_u_long(xdrs, &c->minimum_id) &&
           zel_xdr_long(xdrs, &c->base_rastercolumn_id) && S_l(xdrs, &c->rastercolumn_mask);
}

ZEL_API bool_t xdr_RASTERBAND(XDR *xdrs, RASTERBAND *b)
{
    int32_t *words[] = {&b->rasterband_id,
                        &b->sequence_nbr,
                        &b->cdate,
                        &b->mdate,
                        reinterpret_cast<int32_t *>(&b->band_flags),
                        reinterpret_cast<int32_t *>(&b->band_types),
                        &b->band_width,
                        &b->band_height,
                        &b->block_width,
                        &b->block_height};
    for (int32_t *value : words)
        if (!zel_xdr_long(xdrs, value))
            return FALSE;
    if (!xdr_double(xdrs, &b->block_origin_x) || !xdr_double(xdrs, &b->block_origin_y) ||
        !zel_xdr_long(xdrs, &b->raster_id) || !zel_xdr_long(xdrs, &b->rastercolumn_id) ||
        !xdr_VE_ENVELOPE(xdrs, &b->extent) || !S_text(xdrs, b->name, 64))
        return FALSE;
    if (xdrs->x_op == XDR_DECODE) {
        b->statistics = nullptr;
        b->colormap = nullptr;
        b->bitmap = nullptr;
    }
    return TRUE;
}

ZEL_API bool_t xdr_RASTER(XDR *xdrs, RASTER *r)
{
    return zel_xdr_long(xdrs, &r->raster_id) && zel_xdr_long(xdrs, &r->rastercolumn_id) &&
           S_text(xdrs, r->description, 64);
}

ZEL_API bool_t xdr_RASTERATTR(XDR *xdrs, RASTERATTR *a)
{
    static constexpr int kHead[] = {1, 2, 3, 9, 10, 11, 12, 13, 14, 15, 16, 20};
    static constexpr int kTail[] = {17, 19, 18, 22};
    for (int word : kHead)
        if (!zel_xdr_long(xdrs, &a->w[word]))
            return FALSE;
    if (!xdr_VE_ENVELOPE(xdrs, &a->envelope))
        return FALSE;
    for (int word : kTail)
        if (!zel_xdr_long(xdrs, &a->w[word]))
            return FALSE;
    return TRUE;
}

// ---- Instance records ------------------------------------------------------

ZEL_API bool_t xdr_VE_INSTANCE_CONFIG(XDR *xdrs, VE_INSTANCE_CONFIG *c)
{
    // The 27 numbers at the head of the record, in record order.
    static_assert(offsetof(VE_INSTANCE_CONFIG, HOME) == 27 * sizeof(int32_t));
    auto *head = reinterpret_cast<int32_t *>(c);
    if (!S_longs(xdrs, head, 27) || !S_text(xdrs, c->HOME, VE_CONFIG_PATH_SIZE) ||
        !S_text(xdrs, c->LOGS, VE_CONFIG_PATH_SIZE) || !S_text(xdrs, c->TEMP, VE_CONFIG_PATH_SIZE))
        return FALSE;
    return zel_xdr_long(xdrs, &c->reserved31) && zel_xdr_long(xdrs, &c->STATECACHING) &&
           zel_xdr_long(xdrs, &c->reserved32) && xdr_int(xdrs, &c->TCPKEEPALIVE) &&
           xdr_int(xdrs, &c->reserved35) && xdr_int(xdrs, &c->reserved36);
}

ZEL_API bool_t xdr_VE_INSTANCE_STATUS(XDR *xdrs, VE_INSTANCE_STATUS *s)
{
    return xdr_RELEASE(xdrs, &s->release) && S_longs(xdrs, s->words, 2);
}

ZEL_API bool_t xdr_VE_INSTANCE_USER(XDR *xdrs, VE_INSTANCE_USER *u)
{
    if (!zel_xdr_long(xdrs, &u->long1) || !zel_xdr_long(xdrs, &u->long2) ||
        !xdr_int(xdrs, &u->int1))
        return FALSE;
    for (auto &name : u->names)
        if (!S_text(xdrs, name, 512))
            return FALSE;
    return TRUE;
}

ZEL_API bool_t xdr_VE_INSTANCE_STATS(XDR *xdrs, VE_INSTANCE_STATS *s)
{
    return S_longs(xdrs, s->values, 9);
}

ZEL_API bool_t xdr_VE_INSTANCE_LOCK(XDR *xdrs, VE_INSTANCE_LOCK *l)
{
    return zel_xdr_long(xdrs, &l->long1) && xdr_short(xdrs, &l->short1) &&
           zel_xdr_long(xdrs, &l->long2);
}

ZEL_API bool_t xdr_VE_INSTANCE_OBJECT_LOCK(XDR *xdrs, VE_INSTANCE_OBJECT_LOCK *l)
{
    return zel_xdr_long(xdrs, &l->long1) && zel_xdr_long(xdrs, &l->long2) &&
           xdr_short(xdrs, &l->short1);
}

ZEL_API bool_t xdr_VE_LAYER_LOCKS(XDR *xdrs, VE_LAYER_LOCKS *l)
{
    return S_text(xdrs, l->user_name, 36) && zel_xdr_long(xdrs, &l->lock_type) &&
           xdr_VE_ENVELOPE(xdrs, &l->envelope);
}

ZEL_API bool_t xdr_VE_TABLE_LOCK(XDR *xdrs, VE_TABLE_LOCK *l)
{
    return S_text(xdrs, l->user_name, 36) && zel_xdr_long(xdrs, &l->lock_type);
}

ZEL_API bool_t xdr_VE_VERSION_LOCK(XDR *xdrs, VE_VERSION_LOCK *l)
{
    return S_text(xdrs, l->user_name, 36) && zel_xdr_long(xdrs, &l->lock_mode);
}

ZEL_API bool_t xdr_VE_OBJECT_LOCK(XDR *xdrs, VE_OBJECT_LOCK *l)
{
    return zel_xdr_long(xdrs, &l->server_pid) && S_text(xdrs, l->owner, 32) &&
           zel_xdr_long(xdrs, &l->object_id) && zel_xdr_long(xdrs, &l->object_type) &&
           zel_xdr_long(xdrs, &l->application) && xdr_short(xdrs, &l->lock_type);
}
