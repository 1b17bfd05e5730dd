// The channel record and what the library shares about it beyond the
// entry points of base/system/ch_channel.h: the trace question every member
// asks, the memory transports' pairing and attachment, the flag questions,
// and the members that are not entry points.
#ifndef CH_CHANNEL_INTERNAL_H
#define CH_CHANNEL_INTERNAL_H

#include <stdint.h>
#include <stdio.h>

#include "base/system/ch_channel.h"
#include "base/system/ch_transport_internal.h"
#include "base/util/zel_errors.h"

/* One channel: its transport's table and end, made with the channel (a
 * shared-memory channel's once an object is attached; until then a table
 * whose members refuse), and its trace. */
struct CH_CHANNEL {
    uint32_t type;                 /* CH_TYPE_ */
    const CH_TRANSPORT *transport; /* the members of the channel's transport */
    void *end;                     /* the transport's own object */
    FILE *intercept_file;          /* the trace of this channel, or null */
    uint16_t intercept_mode;       /* CH_INTERCEPT_ bits; 0 exactly when not traced */
    int32_t old_release;           /* non-zero: the peer runs the older release */
};

/* Whether the channel traces in a direction (CH_INTERCEPT_ bits): an
 * untraced channel has mode 0, so the question is one test of the mode. */
static inline int ch_traces(const CH_CHANNEL *channel, uint16_t direction)
{
    return (channel->intercept_mode & direction) != 0;
}

/* Pairs the coordinated-memory transports of two channels of type 2, one for
 * each of two threads: 0, or -1 when either is not such a channel or is
 * paired already. */
int32_t ch_pair_coordinated_memory(CH_CHANNEL *a, CH_CHANNEL *b);

/* Gives a channel of type 3 without a transport the shared-memory object
 * (base/system/shm_channel_internal.h), which the channel then owns, and
 * opens the peer process for the object's waits: 0, or -1 when the object
 * is null, the channel is not such a channel, or the peer process cannot be
 * opened (the object stays the caller's). */
int32_t ch_attach_shared_memory(SHM_OBJECT *object, CH_CHANNEL *channel, int32_t peer_process_id);

/* A socket channel, untraced and of the current release, over another byte
 * link (base/system/so_channel_internal.h) with areas of the sizes given:
 * for tests, fuzz targets and benchmarks. Null when no memory. */
typedef struct SO_LINK SO_LINK;
CH_CHANNEL *ch_create_on_link(const SO_LINK *link, int32_t write_size, int32_t read_size);

/* Leaves the channel's transport broken, as a failed transfer does: every
 * later member answers -1 without touching the connection. For a reader that
 * refuses what the peer sent after part of it was read, so the rest is never
 * taken for the next value. Null ignored. */
void ch_break(CH_CHANNEL *channel);

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
