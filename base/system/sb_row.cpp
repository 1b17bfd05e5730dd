// Rows and blob pieces in a row stream buffer's data area: the size
// estimate, SB_put_row and SB_put_blob on the send side, SB_get_row and
// SB_get_blob on the receive side, natively (host order, no padding) or
// through the memory XDR stream. The layout is in base/system/sb_buffer.h.
// Everything read comes from the peer: every length is checked against the
// bytes received before it is used, and a row that fails leaves the buffer
// where the row began.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/system/sb_buffer_internal.h"
#include "base/system/xdr_channel.h"
#include "base/util/ve_compress.h"
#include "base/util/ve_date.h"
#include "base/util/ve_feature.h"
#include "base/util/zel_errors.h"

static_assert(sizeof(VE_DATE) == 36, "a date travels as its 9 ints");

namespace
{

constexpr int32_t kXdrStringMax = 4096;
constexpr int32_t kAnnoTextRoom = sizeof(VE_ANNO::text);

// n rounded up to whole XDR units, in 64 bits: a length the peer sent may be
// any value, and its padding must neither overflow nor wrap into range.
int64_t S_padded(int32_t n)
{
    return (static_cast<int64_t>(n) + 3) & ~int64_t{3};
}

// ---- Native data area ------------------------------------------------------

int32_t S_put(SB_BUFFER *b, const void *src, int32_t n)
{
    if (n > b->capacity - b->position)
        return ZE_NETWORK_IO;
    if (n > 0)
        std::memcpy(b->data + b->position, src, static_cast<size_t>(n));
    b->position += n;
    return ZE_SUCCESS;
}

template <typename T> int32_t S_put_value(SB_BUFFER *b, T value)
{
    return S_put(b, &value, sizeof value);
}

// n bytes from the received data; -66 when fewer are left.
int32_t S_get(SB_BUFFER *b, void *dst, int32_t n)
{
    if (n < 0 || n > b->end - b->position)
        return ZE_INVALID_ARGUMENT;
    if (n > 0)
        std::memcpy(dst, b->data + b->position, static_cast<size_t>(n));
    b->position += n;
    return ZE_SUCCESS;
}

template <typename T> int32_t S_get_value(SB_BUFFER *b, T *value)
{
    return S_get(b, value, sizeof *value);
}

// ---- The two encodings behind one set of moves ------------------------------

int32_t S_ok(int32_t xdr_rc)
{
    return xdr_rc == 0 ? ZE_SUCCESS : ZE_NETWORK_IO;
}

int32_t S_write_short(SB_BUFFER *b, int16_t v)
{
    return sb_is_xdr(b) ? S_ok(XDRMEM_write_short(&b->xdr, v)) : S_put_value(b, v);
}

int32_t S_write_long(SB_BUFFER *b, int32_t v)
{
    return sb_is_xdr(b) ? S_ok(XDRMEM_write_long(&b->xdr, v)) : S_put_value(b, v);
}

int32_t S_read_short(SB_BUFFER *b, int16_t *v)
{
    return sb_is_xdr(b) ? S_ok(XDRMEM_read_short(&b->xdr, v)) : S_get_value(b, v);
}

int32_t S_read_long(SB_BUFFER *b, int32_t *v)
{
    return sb_is_xdr(b) ? S_ok(XDRMEM_read_long(&b->xdr, v)) : S_get_value(b, v);
}

// Bytes left to read in a receive buffer.
int32_t S_left(SB_BUFFER *b)
{
    return b->end - sb_position(b);
}

// A string with its length word: native L and L bytes, XDR L and an XDR
// string. The caller has checked that the string is terminated.
int32_t S_write_string(SB_BUFFER *b, const char *s, size_t length)
{
    if (length + 1 > INT32_MAX)
        return ZE_INVALID_ARGUMENT;
    const auto with_nul = static_cast<int32_t>(length + 1);
    if (sb_is_xdr(b)) {
        if (length > kXdrStringMax)
            return ZE_NETWORK_IO;
        int32_t rc = S_write_long(b, with_nul);
        return rc != 0 ? rc : S_ok(XDRMEM_write_string(&b->xdr, s));
    }
    int32_t rc = S_write_long(b, with_nul);
    return rc != 0 ? rc : S_put(b, s, with_nul);
}

// The string of the current position into room bytes at dst (XDR), or its
// place in the data area (native, *in_place). -66 when the length word and
// the text disagree, the text has no NUL, or it passes the data or the room.
int32_t S_read_string(SB_BUFFER *b, char *dst, int32_t room, const char **in_place)
{
    int32_t with_nul = 0;
    int32_t rc = S_read_long(b, &with_nul);
    if (rc != 0)
        return rc;
    if (with_nul < 1 || with_nul > S_left(b))
        return ZE_INVALID_ARGUMENT;
    if (sb_is_xdr(b)) {
        if (with_nul > room || with_nul - 1 > kXdrStringMax)
            return ZE_INVALID_ARGUMENT;
        if (XDRMEM_read_string(&b->xdr, dst, room) != 0)
            return ZE_NETWORK_IO;
        return std::strlen(dst) + 1 == static_cast<size_t>(with_nul) ? ZE_SUCCESS
                                                                     : ZE_INVALID_ARGUMENT;
    }
    const char *text = reinterpret_cast<const char *>(b->data + b->position);
    if (text[with_nul - 1] != '\0')
        return ZE_INVALID_ARGUMENT;
    if (in_place != nullptr) {
        *in_place = text;
    } else {
        if (with_nul > room)
            return ZE_INVALID_ARGUMENT;
        std::memcpy(dst, text, static_cast<size_t>(with_nul));
    }
    b->position += with_nul;
    return ZE_SUCCESS;
}

// ---- What a row may carry ----------------------------------------------------

bool S_valid_type(int32_t type)
{
    return type >= VE_SMALLINT && type <= VE_RASTER;
}

// Whether the indicator can stand on a column of the type: the value, NULL,
// and on a shape column also "no shape". Anything else has no value on the
// wire, but the reader would look for one.
bool S_valid_indicator(int32_t type, int16_t indicator)
{
    if (indicator == VE_IND_NULL || indicator == VE_IND_VALUE)
        return true;
    return type == VE_SHAPE && indicator == VE_IND_NO_SHAPE;
}

// The row's arrays are there for its counts.
bool S_row_complete(const VE_ROW_POINTERS *row)
{
    if (row->column_count < 0 || row->aux_count < 0)
        return false;
    if (row->column_count > 0 &&
        (row->columns == nullptr || row->indicators == nullptr || row->values == nullptr))
        return false;
    return row->aux_count == 0 || row->aux_longs != nullptr;
}

// Length of an annotation text held in its 256-byte field, or -1 when the
// field has no NUL.
int32_t S_anno_text_length(const VE_ANNO *anno)
{
    const void *nul = std::memchr(anno->text, '\0', sizeof anno->text);
    return nul != nullptr ? static_cast<int32_t>(static_cast<const char *>(nul) - anno->text) : -1;
}

// Checks what a row to be put carries before a byte of it is written. -1 an
// invalid type (with the put's message); -66 a value the wire cannot carry.
int32_t S_check_put_row(const SB_BUFFER *b, const VE_ROW_POINTERS *row)
{
    if (!S_row_complete(row))
        return ZE_INVALID_ARGUMENT;
    for (int32_t i = 0; i < row->column_count; i++) {
        const int32_t type = row->columns[i].type;
        if (!S_valid_type(type)) {
            std::fprintf(stderr, "SB_put_row()::Invalid data column type (%ld)\n",
                         static_cast<long>(type));
            return ZE_FAILURE;
        }
        const int16_t indicator = row->indicators[i];
        if (!S_valid_indicator(type, indicator))
            return ZE_INVALID_ARGUMENT;
        if (type == VE_BLOB) {
            if (sb_is_xdr(b) && i >= SB_MAX_BLOB_COLUMNS)
                return ZE_INVALID_ARGUMENT;
            continue;
        }
        if (indicator != VE_IND_VALUE)
            continue;
        if (row->values[i] == nullptr)
            return ZE_INVALID_ARGUMENT;
        if (type == VE_SHAPE) {
            const auto *feature = static_cast<const FEATURE_STRUCT *>(row->values[i]);
            if (VES_get_compressed_buffer_size(feature) < 0)
                return ZE_INVALID_ARGUMENT;
            if (feature->anno != nullptr && S_anno_text_length(feature->anno) < 0)
                return ZE_INVALID_ARGUMENT;
        }
    }
    return ZE_SUCCESS;
}

// The bytes a row may take, an upper bound in both encodings; -1 for an
// invalid type (with the estimate's message).
int64_t S_row_size(const VE_ROW_POINTERS *row, bool xdr)
{
    int64_t size = static_cast<int64_t>(row->column_count) * (xdr ? 4 : 2) + 4 * row->aux_count;
    for (int32_t i = 0; i < row->column_count; i++) {
        if (row->indicators[i] != VE_IND_VALUE)
            continue;
        const int32_t type = row->columns[i].type;
        switch (type) {
        case VE_SMALLINT:
            size += xdr ? 4 : 2;
            break;
        case VE_INTEGER:
        case VE_FLOAT:
        case VE_RASTER:
            size += 4;
            break;
        case VE_DOUBLE:
            size += 8;
            break;
        case VE_STRING:
            size += 4 +
                    static_cast<int64_t>(std::strlen(static_cast<const char *>(row->values[i]))) +
                    5 + (xdr ? 4 : 0);
            break;
        case VE_BLOB:
            break;
        case VE_DATE_TYPE:
            size += xdr ? 40 : 36;
            break;
        case VE_SHAPE: {
            const auto *feature = static_cast<const FEATURE_STRUCT *>(row->values[i]);
            size += VES_get_compressed_buffer_size(feature) + (xdr ? 34 : 14);
            if (feature->anno != nullptr)
                size += S_anno_text_length(feature->anno) + 5 + (xdr ? 4 : 0);
            break;
        }
        default:
            std::fprintf(stderr, "S_stream_row_calc_size()::Invalid data column type (%ld)\n",
                         static_cast<long>(type));
            return -1;
        }
    }
    return size;
}

// ---- Values on the send side -------------------------------------------------

int32_t S_write_shape(SB_BUFFER *b, const FEATURE_STRUCT *f)
{
    const int32_t size = VES_get_compressed_buffer_size(f);
    const bool xdr = sb_is_xdr(b);
    int32_t rc = xdr ? S_ok(XDRMEM_write_ulong(&b->xdr, static_cast<uint32_t>(f->feature_id)))
                     : S_put_value(b, static_cast<uint32_t>(f->feature_id));
    if (rc == 0)
        rc = S_write_long(b, f->num_points);
    if (rc == 0)
        rc = S_write_short(b, static_cast<int16_t>(f->entity_type));
    if (rc == 0 && f->anno != nullptr)
        rc = S_write_string(b, f->anno->text, static_cast<size_t>(S_anno_text_length(f->anno)));
    if (rc == 0)
        rc = S_write_long(b, size);
    if (rc == 0)
        rc = xdr ? S_ok(XDRMEM_write_block(&b->xdr, f->compressed, size))
                 : S_put(b, f->compressed, size);
    return rc;
}

int32_t S_write_column(SB_BUFFER *b, int32_t type, const void *value)
{
    const bool xdr = sb_is_xdr(b);
    switch (type) {
    case VE_SMALLINT: {
        int16_t v;
        std::memcpy(&v, value, sizeof v);
        return S_write_short(b, v);
    }
    case VE_INTEGER:
    case VE_RASTER: {
        int32_t v;
        std::memcpy(&v, value, sizeof v);
        return S_write_long(b, v);
    }
    case VE_FLOAT: {
        float v;
        std::memcpy(&v, value, sizeof v);
        return xdr ? S_ok(XDRMEM_write_float(&b->xdr, v)) : S_put_value(b, v);
    }
    case VE_DOUBLE: {
        double v;
        std::memcpy(&v, value, sizeof v);
        return xdr ? S_ok(XDRMEM_write_lfloat(&b->xdr, v)) : S_put_value(b, v);
    }
    case VE_STRING: {
        const auto *s = static_cast<const char *>(value);
        return S_write_string(b, s, std::strlen(s));
    }
    case VE_DATE_TYPE: {
        VE_DATE v;
        std::memcpy(&v, value, sizeof v);
        return xdr ? S_ok(XDRMEM_write_date(&b->xdr, &v)) : S_put_value(b, v);
    }
    case VE_SHAPE:
        return S_write_shape(b, static_cast<const FEATURE_STRUCT *>(value));
    default:
        return ZE_FAILURE;
    }
}

int32_t S_write_row(SB_BUFFER *b, const VE_ROW_POINTERS *row)
{
    int32_t rc = ZE_SUCCESS;
    for (int32_t i = 0; i < row->column_count && rc == 0; i++)
        rc = S_write_short(b, row->indicators[i]);
    for (int32_t i = 0; i < row->aux_count && rc == 0; i++)
        rc = S_write_long(b, row->aux_longs[i]);
    for (int32_t i = 0; i < row->column_count && rc == 0; i++) {
        const int32_t type = row->columns[i].type;
        if (type != VE_BLOB && row->indicators[i] == VE_IND_VALUE)
            rc = S_write_column(b, type, row->values[i]);
    }
    return rc;
}

bool S_has_blob_column(const VE_ROW_POINTERS *row)
{
    for (int32_t i = 0; i < row->column_count; i++)
        if (row->columns[i].type == VE_BLOB)
            return true;
    return false;
}

// A piece left open before other bytes are written ends its blob here.
int32_t S_end_open_piece(SB_BUFFER *b)
{
    if (b->pending < 0)
        return ZE_SUCCESS;
    int32_t rc = sb_close_piece(b);
    if (rc == 0)
        b->partial_blob_column = SB_NO_PARTIAL_BLOB;
    return rc;
}

// ---- Values on the receive side ----------------------------------------------

int32_t S_read_shape(SB_BUFFER *b, FEATURE_STRUCT *f, int32_t mask)
{
    const bool xdr = sb_is_xdr(b);
    uint32_t id = 0;
    int32_t points = 0, size = 0;
    int16_t entity = 0;
    int32_t rc = xdr ? S_ok(XDRMEM_read_ulong(&b->xdr, &id)) : S_get_value(b, &id);
    if (rc == 0)
        rc = S_read_long(b, &points);
    if (rc == 0)
        rc = S_read_short(b, &entity);
    if (rc == 0 && f->anno != nullptr)
        rc = S_read_string(b, f->anno->text, kAnnoTextRoom, nullptr);
    if (rc == 0)
        rc = S_read_long(b, &size);
    if (rc != 0)
        return rc;
    if (size < 0 || (xdr ? S_padded(size) : int64_t{size}) > S_left(b))
        return ZE_INVALID_ARGUMENT;
    rc = VES_comp_feature_alloc_by_size(f, mask, size);
    if (rc != 0)
        return rc;
    rc =
        xdr ? S_ok(XDRMEM_read_block(&b->xdr, f->compressed, size)) : S_get(b, f->compressed, size);
    if (rc != 0)
        return rc;
    f->feature_id = static_cast<int32_t>(id);
    f->num_points = points;
    f->entity_type = static_cast<uint16_t>(entity);
    // What the wire does not carry must not stay from an earlier row.
    f->envelope = ENVELOPE{};
    std::memset(f->wire_fields, 0, sizeof f->wire_fields);
    f->area = 0;
    f->length = 0;
    return ZE_SUCCESS;
}

// The value of column i into the row's own buffer (a native string: its
// place in the data area).
int32_t S_read_column(SB_BUFFER *b, VE_ROW_POINTERS *row, int32_t i)
{
    const int32_t type = row->columns[i].type;
    void *own = row->buffers[i];
    const bool xdr = sb_is_xdr(b);
    int32_t rc = ZE_SUCCESS;
    switch (type) {
    case VE_SMALLINT: {
        int16_t v = 0;
        rc = S_read_short(b, &v);
        std::memcpy(own, &v, sizeof v);
        break;
    }
    case VE_INTEGER:
    case VE_RASTER: {
        int32_t v = 0;
        rc = S_read_long(b, &v);
        std::memcpy(own, &v, sizeof v);
        break;
    }
    case VE_FLOAT: {
        float v = 0;
        rc = xdr ? S_ok(XDRMEM_read_float(&b->xdr, &v)) : S_get_value(b, &v);
        std::memcpy(own, &v, sizeof v);
        break;
    }
    case VE_DOUBLE: {
        double v = 0;
        rc = xdr ? S_ok(XDRMEM_read_lfloat(&b->xdr, &v)) : S_get_value(b, &v);
        std::memcpy(own, &v, sizeof v);
        break;
    }
    case VE_STRING: {
        const char *in_place = nullptr;
        const int32_t room = row->columns[i].size + 1;
        rc = S_read_string(b, static_cast<char *>(own), room, xdr ? nullptr : &in_place);
        if (rc == 0 && !xdr) {
            row->values[i] = const_cast<char *>(in_place);
            return ZE_SUCCESS;
        }
        break;
    }
    case VE_DATE_TYPE: {
        VE_DATE v{};
        rc = xdr ? S_ok(XDRMEM_read_date(&b->xdr, &v)) : S_get_value(b, &v);
        std::memcpy(own, &v, sizeof v);
        break;
    }
    case VE_SHAPE: {
        const int32_t mask = row->shape_masks != nullptr ? row->shape_masks[i] : 0;
        rc = S_read_shape(b, static_cast<FEATURE_STRUCT *>(own), mask);
        break;
    }
    default:
        rc = ZE_FAILURE;
    }
    if (rc == 0)
        row->values[i] = own;
    return rc;
}

// Where each blob column's piece of the row stands, stepping over it.
int32_t S_note_pieces(SB_BUFFER *b, VE_ROW_POINTERS *row)
{
    const bool xdr = sb_is_xdr(b);
    for (int32_t i = 0; i < row->column_count; i++) {
        if (row->columns[i].type != VE_BLOB)
            continue;
        if (xdr)
            b->blob_table[i] = -1;
        if (row->indicators[i] == VE_IND_NULL)
            continue;
        const int32_t at = sb_position(b);
        if (at >= b->end) {
            if (!xdr)
                row->values[i] = nullptr;
            continue;
        }
        int32_t length = 0;
        int32_t rc = S_read_long(b, &length);
        if (rc != 0)
            return rc;
        if (length < 0)
            return ZE_INVALID_ARGUMENT;
        const int64_t span = xdr ? S_padded(length) : int64_t{length};
        if (span > S_left(b))
            return ZE_INVALID_ARGUMENT;
        rc = sb_set_position(b, at + 4 + static_cast<int32_t>(span));
        if (rc != 0)
            return rc;
        if (xdr)
            b->blob_table[i] = at;
        else
            row->values[i] = b->data + at;
    }
    return ZE_SUCCESS;
}

// Checks the row a get fills: its arrays, a buffer for every value that is
// copied, the types (-1 with the get's message) and, in the XDR encoding,
// blob columns within the position table.
int32_t S_check_get_row(const SB_BUFFER *b, const VE_ROW_POINTERS *row)
{
    if (!S_row_complete(row) || (row->column_count > 0 && row->buffers == nullptr))
        return ZE_INVALID_ARGUMENT;
    for (int32_t i = 0; i < row->column_count; i++) {
        const int32_t type = row->columns[i].type;
        if (!S_valid_type(type)) {
            std::fprintf(stderr, "SB_get_row()::Invalid data column type (%ld)\n",
                         static_cast<long>(type));
            return ZE_FAILURE;
        }
        if (type == VE_BLOB) {
            if (sb_is_xdr(b) && (i >= SB_MAX_BLOB_COLUMNS || b->blob_table == nullptr))
                return ZE_INVALID_ARGUMENT;
        } else if (row->buffers[i] == nullptr) {
            return ZE_INVALID_ARGUMENT;
        } else if (type == VE_STRING && row->columns[i].size < 0) {
            return ZE_INVALID_ARGUMENT;
        }
    }
    return ZE_SUCCESS;
}

int32_t S_read_row(SB_BUFFER *b, VE_ROW_POINTERS *row)
{
    int32_t rc = ZE_SUCCESS;
    for (int32_t i = 0; i < row->column_count && rc == 0; i++) {
        rc = S_read_short(b, &row->indicators[i]);
        if (rc == 0 && !S_valid_indicator(row->columns[i].type, row->indicators[i]))
            rc = ZE_INVALID_ARGUMENT;
    }
    for (int32_t i = 0; i < row->aux_count && rc == 0; i++)
        rc = S_read_long(b, &row->aux_longs[i]);
    for (int32_t i = 0; i < row->column_count && rc == 0; i++) {
        const int32_t type = row->columns[i].type;
        if (type == VE_BLOB || row->indicators[i] == VE_IND_NO_SHAPE)
            continue;
        if (row->indicators[i] == VE_IND_NULL)
            row->values[i] = nullptr;
        else
            rc = S_read_column(b, row, i);
    }
    if (rc == 0 && S_has_blob_column(row))
        rc = S_note_pieces(b, row);
    return rc;
}

// The offset of the column's piece in the data area, or -1 when the row has
// none here; -66 for an address that is not in the received bytes.
int32_t S_piece_offset(const SB_BUFFER *b, const VE_ROW_POINTERS *row, int32_t column)
{
    if (sb_is_xdr(b))
        return b->blob_table != nullptr ? b->blob_table[column] : -1;
    const void *at = row->values[column];
    if (at == nullptr)
        return -1;
    const auto address = reinterpret_cast<uintptr_t>(at);
    const auto start = reinterpret_cast<uintptr_t>(b->data);
    if (b->data == nullptr || address < start || address - start > static_cast<uintptr_t>(b->end))
        return ZE_INVALID_ARGUMENT;
    return static_cast<int32_t>(address - start);
}

// Copies the piece at offset into the caller's blob.
int32_t S_copy_piece(SB_BUFFER *b, int32_t offset, VE_BLOB_VALUE *blob)
{
    if (offset > b->end - 4)
        return ZE_INVALID_ARGUMENT;
    int32_t length = 0;
    const bool xdr = sb_is_xdr(b);
    if (xdr) {
        if (!xdr_setpos(&b->xdr, static_cast<u_int>(offset)) ||
            XDRMEM_read_long(&b->xdr, &length) != 0)
            return ZE_NETWORK_IO;
    } else {
        std::memcpy(&length, b->data + offset, sizeof length);
    }
    if (length < 0)
        return ZE_INVALID_ARGUMENT;
    const int64_t span = xdr ? S_padded(length) : int64_t{length};
    if (span > int64_t{b->end} - offset - 4)
        return ZE_INVALID_ARGUMENT;
    // The caller's own block says its room in byte_count.
    if (blob->data != nullptr && length > blob->byte_count)
        return ZE_INVALID_ARGUMENT;
    uint8_t *made = nullptr;
    if (blob->data == nullptr && length > 0) {
        made = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(length)));
        if (made == nullptr)
            return ZE_BUFFER_NO_MEMORY;
    }
    uint8_t *into = made != nullptr ? made : blob->data;
    if (xdr) {
        if (length > 0 && XDRMEM_read_block(&b->xdr, into, length) != 0) {
            std::free(made);
            return ZE_NETWORK_IO;
        }
    } else if (length > 0) {
        std::memcpy(into, b->data + offset + 4, static_cast<size_t>(length));
    }
    if (made != nullptr)
        blob->data = made;
    blob->byte_count = length;
    return ZE_SUCCESS;
}

} // namespace

int32_t sb_close_piece(SB_BUFFER *buffer)
{
    if (buffer == nullptr)
        return ZE_INVALID_ARGUMENT;
    if (buffer->pending < 0)
        return ZE_FAILURE;
    const int32_t at = sb_position(buffer);
    const int32_t length = at - buffer->pending - 4;
    if (sb_is_xdr(buffer)) {
        static const char zeros[4] = {0, 0, 0, 0};
        const int32_t pad = static_cast<int32_t>(S_padded(at) - at);
        if (pad > 0 && !XDR_PUTBYTES(&buffer->xdr, zeros, static_cast<u_int>(pad)))
            return ZE_NETWORK_IO;
        const int32_t after = sb_position(buffer);
        if (!xdr_setpos(&buffer->xdr, static_cast<u_int>(buffer->pending)) ||
            XDRMEM_write_long(&buffer->xdr, length) != 0 ||
            !xdr_setpos(&buffer->xdr, static_cast<u_int>(after)))
            return ZE_NETWORK_IO;
    } else {
        std::memcpy(buffer->data + buffer->pending, &length, sizeof length);
    }
    buffer->pending = -1;
    buffer->bytes_used = sb_position(buffer);
    return ZE_SUCCESS;
}

ZEL_API int32_t SB_put_row(const VE_ROW_POINTERS *row, int32_t limit, SB_BUFFER *buffer)
{
    if (row == nullptr || buffer == nullptr)
        return ZE_INVALID_ARGUMENT;
    if (buffer->type != SB_SEND_BUFFER)
        return ZE_WRONG_DIRECTION;
    int32_t rc = sb_first_use(buffer);
    if (rc == 0)
        rc = S_check_put_row(buffer, row);
    if (rc != 0)
        return rc;
    const int64_t size = S_row_size(row, sb_is_xdr(buffer));
    if (size < 0)
        return ZE_FAILURE;
    rc = S_end_open_piece(buffer);
    if (rc != 0)
        return rc;
    if (size > static_cast<int64_t>(buffer->capacity) - buffer->bytes_used) {
        if (buffer->bytes_used != 0)
            return ZE_BUFFER_FULL;
        buffer->out_of_band = 1;
        return ZE_ROW_OUT_OF_BAND;
    }
    if (limit != 0 &&
        (buffer->bytes_used > buffer->minimum_fill || buffer->row_count >= buffer->maximum_rows))
        return ZE_BUFFER_FULL;
    const int32_t start = sb_position(buffer);
    rc = S_write_row(buffer, row);
    if (rc != 0) {
        // Nothing of a row that failed stays in the buffer.
        sb_set_position(buffer, start);
        return rc;
    }
    buffer->bytes_used = sb_position(buffer);
    buffer->row_count++;
    return S_has_blob_column(row) ? ZE_BLOB_PIECES_FOLLOW : ZE_SUCCESS;
}

ZEL_API int32_t SB_put_blob(int32_t length, const void *data, int16_t column, int16_t flag,
                            SB_BUFFER *buffer)
{
    if (buffer == nullptr || length < 0 || column < 0 || (data == nullptr && length != 0))
        return ZE_INVALID_ARGUMENT;
    if (sb_is_xdr(buffer) && column >= SB_MAX_BLOB_COLUMNS)
        return ZE_INVALID_ARGUMENT;
    if (buffer->type != SB_SEND_BUFFER)
        return ZE_WRONG_DIRECTION;
    int32_t rc = sb_first_use(buffer);
    if (rc != 0)
        return rc;
    const auto col = static_cast<uint16_t>(column);
    if (buffer->pending >= 0 && buffer->partial_blob_column != col) {
        rc = S_end_open_piece(buffer);
        if (rc != 0)
            return rc;
    }
    // A piece closed because its bytes did not fit takes no more: the bytes
    // of the same blob start a new piece.
    const bool fresh = col != buffer->partial_blob_column || buffer->pending < 0;
    // Where the bytes would end; in the XDR encoding with the padding that
    // closing the piece adds, so that a close always has room.
    int64_t ends = static_cast<int64_t>(buffer->bytes_used) + length + (fresh ? 4 : 0);
    if (sb_is_xdr(buffer))
        ends = (ends + 3) & ~int64_t{3};
    if (ends > buffer->capacity) {
        // The open piece ends here; the message says that its blob continues.
        if (!fresh) {
            rc = sb_close_piece(buffer);
            return rc != 0 ? rc : ZE_BUFFER_FULL;
        }
        // Bytes that cannot fit even an empty buffer would be refused for ever.
        return buffer->bytes_used == 0 ? ZE_INVALID_ARGUMENT : ZE_BUFFER_FULL;
    }
    if (fresh) {
        buffer->pending = sb_position(buffer);
        rc = S_write_long(buffer, 0);
        if (rc != 0) {
            buffer->pending = -1;
            return rc;
        }
        buffer->partial_blob_column = col;
    }
    if (length > 0) {
        if (sb_is_xdr(buffer)) {
            if (!XDR_PUTBYTES(&buffer->xdr, static_cast<const char *>(data),
                              static_cast<u_int>(length)))
                return ZE_NETWORK_IO;
        } else if ((rc = S_put(buffer, data, length)) != 0) {
            return rc;
        }
    }
    if (flag == SB_BLOB_LAST) {
        rc = sb_close_piece(buffer);
        if (rc != 0)
            return rc;
        buffer->partial_blob_column = SB_NO_PARTIAL_BLOB;
    }
    buffer->bytes_used = sb_position(buffer);
    return ZE_SUCCESS;
}

ZEL_API int32_t SB_get_row(SB_BUFFER *buffer, VE_ROW_POINTERS *row)
{
    if (buffer == nullptr || row == nullptr)
        return ZE_INVALID_ARGUMENT;
    if (buffer->type != SB_RECEIVE_BUFFER)
        return ZE_WRONG_DIRECTION;
    if (buffer->out_of_band == 1)
        return ZE_ROW_OUT_OF_BAND;
    if (buffer->row_count <= 0)
        return buffer->last == 1 ? ZE_NO_MORE_ROWS : ZE_BUFFER_DRAINED;
    int32_t rc = S_check_get_row(buffer, row);
    if (rc != 0)
        return rc;
    if (!buffer->has_area)
        return ZE_INVALID_ARGUMENT;
    const int32_t start = sb_position(buffer);
    rc = S_read_row(buffer, row);
    if (rc != 0) {
        // The buffer stays at the row, whatever of it was read.
        sb_set_position(buffer, start);
        return rc;
    }
    buffer->row_count--;
    return ZE_SUCCESS;
}

ZEL_API int32_t SB_get_blob(SB_BUFFER *buffer, VE_ROW_POINTERS *row, int16_t column,
                            VE_BLOB_VALUE *blob)
{
    if (buffer == nullptr || row == nullptr || blob == nullptr || column < 0 ||
        column >= row->column_count || !S_row_complete(row))
        return ZE_INVALID_ARGUMENT;
    if (buffer->type != SB_RECEIVE_BUFFER)
        return ZE_WRONG_DIRECTION;
    if (row->indicators[column] == VE_IND_NULL)
        return ZE_NULL_VALUE;
    if (row->columns[column].type != VE_BLOB)
        return ZE_WRONG_COLUMN_TYPE;
    if (sb_is_xdr(buffer) && column >= SB_MAX_BLOB_COLUMNS)
        return ZE_INVALID_ARGUMENT;
    const int32_t offset = buffer->out_of_band == 1 ? -1 : S_piece_offset(buffer, row, column);
    if (offset == ZE_INVALID_ARGUMENT)
        return offset;
    if (offset < 0) {
        blob->byte_count = 0;
        return ZE_BLOB_NO_PIECE;
    }
    int32_t rc = ZE_SUCCESS;
    if (sb_is_xdr(buffer)) {
        const int32_t back = sb_position(buffer);
        rc = S_copy_piece(buffer, offset, blob);
        sb_set_position(buffer, back);
    } else {
        rc = S_copy_piece(buffer, offset, blob);
    }
    if (rc != 0)
        return rc;
    if (buffer->row_count == 0 && static_cast<uint16_t>(column) == buffer->partial_blob_column)
        return ZE_BLOB_NO_PIECE;
    return ZE_SUCCESS;
}
