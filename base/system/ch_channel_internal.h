// The channel record and what the library shares about it beyond the
// entry points of base/system/ch_channel.h: the type and refusal helpers
// every member's switch uses, the flag questions, and the members that are
// not entry points.
#ifndef CH_CHANNEL_INTERNAL_H
#define CH_CHANNEL_INTERNAL_H

#include <stdint.h>
#include <stdio.h>

#include "base/system/ch_channel.h"
#include "base/system/raw_form_internal.h"
#include "base/system/xdr_channel.h"
#include "base/util/zel_errors.h"

/* One channel. Only the transport slot of the channel's own type is used. */
struct CH_CHANNEL {
    uint32_t type;            /* CH_TYPE_ */
    SO_CHANNEL *so;           /* socket transport (type 0) */
    XDR_CHANNEL *xdr;         /* XDR transport (type 1) */
    void *coordinated_memory; /* coordinated-memory object (type 2) */
    void *shared_memory;      /* shared-memory object (type 3), attached after creation */
    FILE *intercept_file;     /* the trace of this channel, or null */
    uint16_t intercept_mode;  /* CH_INTERCEPT_ bits; 0 exactly when not traced */
    int32_t old_release;      /* non-zero: the peer runs the older release */
};

/* The type a member switches on; one no case takes for a null channel. */
static inline uint32_t ch_type(const CH_CHANNEL *channel)
{
    return channel != NULL ? channel->type : UINT32_MAX;
}

/* Whether the channel traces in a direction (CH_INTERCEPT_ bits): an
 * untraced channel has mode 0, so the question is one test of the mode. */
static inline int ch_traces(const CH_CHANNEL *channel, uint16_t direction)
{
    return channel != NULL && (channel->intercept_mode & direction) != 0;
}

/* The answer of a member whose channel has no transport to serve it: -65 for
 * a null channel, else -1 (a type outside 0 to 3, a memory transport not
 * built or not attached). */
static inline int32_t ch_refuse(const CH_CHANNEL *channel)
{
    return channel == NULL ? ZE_NULL_POINTER : ZE_FAILURE;
}

/* The filter-array form of a memory transport (raw_form_internal.h): its
 * filter images are always current, its coordinate references follow the
 * old-release flag. */
static inline int32_t ch_memory_filter_form(const CH_CHANNEL *channel)
{
    return channel->old_release ? RAW_FILTERS_OLD_COORDREF : RAW_FILTERS_CURRENT;
}

/* Pairs the coordinated-memory transports of two channels of type 2, one for
 * each of two threads: 0, or -1 when either is not such a channel or is
 * paired already. */
int32_t ch_pair_coordinated_memory(CH_CHANNEL *a, CH_CHANNEL *b);

typedef struct SHM_OBJECT SHM_OBJECT;
/* Gives a channel of type 3 without a transport the shared-memory object
 * (base/system/shm_channel_internal.h), which the channel then owns, and
 * opens the peer process for the object's waits: 0, or -1 when the object
 * is null, the channel is not such a channel, or the peer process cannot be
 * opened (the object stays the caller's). */
int32_t ch_attach_shared_memory(SHM_OBJECT *object, CH_CHANNEL *channel, int32_t peer_process_id);

/* Leaves the channel's transport broken, as a failed transfer does: every
 * later member answers -1 without touching the connection. For a reader that
 * refuses what the peer sent after part of it was read, so the rest is never
 * taken for the next value. Null, or a channel without a transport, ignored. */
void ch_break(CH_CHANNEL *channel);
/* The same for an XDR transport (xdr_channel.cpp). */
void xdr_break(XDR_CHANNEL *ch);

/* The old-release flag; 0 for a null channel. */
int32_t ch_get_old_release_flag(const CH_CHANNEL *channel);
/* Whether the channel is a non-null XDR channel. */
int32_t ch_is_xdr_channel(const CH_CHANNEL *channel);

/* Members that are not entry points: nothing in the library calls them, and
 * the hosts cannot. */
int32_t CH_write_lfloat_array(CH_CHANNEL *channel, const double *values, int32_t count);
int32_t CH_read_queryinfo(CH_CHANNEL *channel, VE_QUERYINFO *info);
int32_t CH_write_queryinfo(CH_CHANNEL *channel, const VE_QUERYINFO *info);
int32_t CH_read_rastercolumn_list(CH_CHANNEL *channel, RASTERCOLUMN *columns, int32_t capacity,
                                  int32_t *count);
int32_t CH_read_rasterband_list(CH_CHANNEL *channel, RASTERBAND *bands, int32_t capacity,
                                int32_t *count);
int32_t CH_write_rasterattr(CH_CHANNEL *channel, const RASTERATTR *attr);
int32_t CH_write_rasconstraint(CH_CHANNEL *channel, const RASCONSTRAINT *constraint);

#endif
