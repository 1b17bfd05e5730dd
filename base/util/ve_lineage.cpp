// State lineage blobs: the bounded decoder and the encoder
// (base/util/ve_lineage_internal.h, where the layout is written out).
#include "base/util/ve_lineage_internal.h"

#include <stdlib.h>

#include "base/util/ve_varlong_internal.h"
#include "base/util/zel_errors.h"

// The largest byte count a header may declare: every id at its widest.
static constexpr int64_t S_MAX_BODY = static_cast<int64_t>(VE_LINEAGE_MAX_IDS) * 5;

// Reads the header within [blob, end): the body's first byte and its count.
static int32_t S_header(const uint8_t *blob, const uint8_t *end, const uint8_t **body,
                        int32_t *body_size)
{
    int32_t declared = 0;
    const uint8_t *at = ves_varlong_decode(blob, end, &declared);
    if (at == nullptr || declared < 0 || declared > S_MAX_BODY)
        return ZE_INVALID_ARGUMENT;
    *body = at;
    *body_size = declared;
    return ZE_SUCCESS;
}

int32_t ves_lineage_total_size(const uint8_t *blob, size_t available, size_t *total)
{
    if (blob == nullptr || total == nullptr)
        return ZE_NULL_POINTER;
    const uint8_t *body = nullptr;
    int32_t body_size = 0;
    int32_t rc = S_header(blob, blob + available, &body, &body_size);
    if (rc != ZE_SUCCESS)
        return rc;
    *total = static_cast<size_t>(body - blob) + static_cast<size_t>(body_size);
    return ZE_SUCCESS;
}

int32_t ves_lineage_decode(const uint8_t *blob, size_t size, int32_t count,
                           std::vector<int32_t> *ids)
{
    if (ids == nullptr)
        return ZE_NULL_POINTER;
    ids->clear();
    if (blob == nullptr)
        return ZE_NULL_POINTER;
    if (count < 0 || count > VE_LINEAGE_MAX_IDS)
        return ZE_INVALID_ARGUMENT;
    const uint8_t *body = nullptr;
    int32_t body_size = 0;
    int32_t rc = S_header(blob, blob + size, &body, &body_size);
    if (rc != ZE_SUCCESS)
        return rc;
    // The body must lie within the stored bytes, and every id takes at least
    // one byte of it: both are checked before the count sizes anything.
    if (static_cast<size_t>(body_size) > size - static_cast<size_t>(body - blob) ||
        count > body_size)
        return ZE_INVALID_ARGUMENT;
    const uint8_t *end = body + body_size;
    ids->reserve(static_cast<size_t>(count));
    const uint8_t *at = body;
    for (int32_t i = 0; i < count; i++) {
        int32_t id = 0;
        at = ves_varlong_decode(at, end, &id);
        if (at == nullptr) {
            ids->clear();
            return ZE_INVALID_ARGUMENT;
        }
        ids->push_back(id);
    }
    if (at != end) {
        ids->clear();
        return ZE_INVALID_ARGUMENT;
    }
    return ZE_SUCCESS;
}

int32_t ves_lineage_decode_state(const STATE *state, std::vector<int32_t> *ids)
{
    if (state == nullptr || ids == nullptr)
        return ZE_NULL_POINTER;
    if (state->lineage == nullptr) {
        ids->clear();
        return state->lineage_length == 0 ? ZE_SUCCESS : ZE_NULL_POINTER;
    }
    // The header is read one byte at a time and stops at its last byte, so a
    // well-formed header is never read past; its count then bounds the rest.
    size_t total = 0;
    int32_t rc = ves_lineage_total_size(state->lineage, VE_VARLONG_MAX_BYTES, &total);
    if (rc != ZE_SUCCESS) {
        ids->clear();
        return rc;
    }
    return ves_lineage_decode(state->lineage, total, state->lineage_length, ids);
}

int32_t ves_lineage_encode(const int32_t *ids, int32_t count, uint8_t **blob, size_t *size)
{
    if (blob == nullptr || (ids == nullptr && count > 0))
        return ZE_NULL_POINTER;
    *blob = nullptr;
    if (count < 0 || count > VE_LINEAGE_MAX_IDS)
        return ZE_INVALID_ARGUMENT;
    int32_t body_size = VES_size_varLONG_array(ids, count);
    if (body_size < 0)
        return ZE_INVALID_ARGUMENT;
    size_t total =
        static_cast<size_t>(ves_varlong_size(body_size)) + static_cast<size_t>(body_size);
    auto *out = static_cast<uint8_t *>(malloc(total));
    if (out == nullptr)
        return ZE_OUT_OF_MEMORY;
    const uint8_t *end = out + total;
    uint8_t *at = ves_varlong_encode(body_size, out, end);
    for (int32_t i = 0; i < count && at != nullptr; i++)
        at = ves_varlong_encode(ids[i], at, end);
    if (at != end) {
        free(out);
        return ZE_INVALID_ARGUMENT;
    }
    *blob = out;
    if (size != nullptr)
        *size = total;
    return ZE_SUCCESS;
}
