// State lineages as stored: the one codec of the lineage blob that the state
// readers, the state writers and the catalogue's conversion of older STATES
// rows share.
//
// Layout: a varLONG (base/util/ve_varlong.h) holding the byte count of what
// follows, then the ancestor state ids as varLONGs, lowest first. The state
// itself is not part of its lineage. Example: state 7 with the STATE_LINEAGES
// rows 0, 3, 7 has the ancestors 0 and 3, stored as 02 00 03; the root state
// has none, stored as the single byte 00.
//
// A stored blob is outside input: the decoder trusts neither the byte count
// nor the id count it is given. The count is capped before anything is
// allocated, the header must fit the bytes at hand, and the ids must fill the
// header's byte count exactly.
#ifndef VE_LINEAGE_INTERNAL_H
#define VE_LINEAGE_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "base/util/ve_state.h"

/* Most ancestor ids a lineage may hold; a stored count above it is damage. */
#define VE_LINEAGE_MAX_IDS (1 << 20)

/* The blob's total size (header and body) from its header, read within
 * [blob, blob + available). 0 with *total set; -65 for a null blob or out;
 * -66 when the header does not decode within the bytes at hand or declares
 * more than VE_LINEAGE_MAX_IDS ids could take. The body need not be at hand:
 * a reader of a cut-off cell learns here how much to fetch. */
int32_t ves_lineage_total_size(const uint8_t *blob, size_t available, size_t *total);

/* Decodes the count ancestor ids of a blob of size bytes into *ids (replaced).
 * 0; -65 for a null blob or out; -66 for a negative count or one above
 * VE_LINEAGE_MAX_IDS, a header that does not fit size, a count the header's
 * bytes cannot hold, an id that does not decode within them, or bytes left
 * over after the last id. *ids is empty after a failure. */
int32_t ves_lineage_decode(const uint8_t *blob, size_t size, int32_t count,
                           std::vector<int32_t> *ids);

/* The ancestors of a state record: its blob decoded with its own header as
 * the bound (a record carries no blob size; readers of this library hand out
 * only blobs that passed ves_lineage_decode). A null lineage with a length
 * of 0 is an empty lineage. Results as ves_lineage_decode. */
int32_t ves_lineage_decode_state(const STATE *state, std::vector<int32_t> *ids);

/* Encodes count ids into a new blob (C heap: the receiver frees it with
 * free). 0 with *blob and, when given, *size set; -65 for a null out or a
 * null ids with a positive count; -66 for a negative count, one above
 * VE_LINEAGE_MAX_IDS or the id -2147483648; -12. */
int32_t ves_lineage_encode(const int32_t *ids, int32_t count, uint8_t **blob, size_t *size);

#endif
