// What a channel sees of its transport: a table of members, one per record
// and direction, over the transport's own object (its "end"). Each transport
// fills its table once, where it is made: the raw forms over a socket or a
// memory link (so_records.cpp, with the memory ends made in cmem_channel.cpp
// and shm_channel.cpp), XDR records over a socket (xdr_channel.cpp). A table
// is chosen for the peer's release when the channel is made, so the older
// forms are members of the older peer's table. The channel (ch_records.cpp)
// calls the members; no transport calls the channel.
//
// The family is the one list below: a record added to it is a member of the
// table, a pair of CH_ members and a line in each transport's table.
#ifndef CH_TRANSPORT_INTERNAL_H
#define CH_TRANSPORT_INTERNAL_H

#include <stdint.h>

#include "base/util/db_column_def.h"
#include "base/util/ve_date.h"
#include "base/util/ve_feature.h"
#include "base/util/ve_filter.h"
#include "base/util/ve_index_def.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_locator.h"
#include "base/util/ve_locks.h"
#include "base/util/ve_loginfo.h"
#include "base/util/ve_metadata.h"
#include "base/util/ve_queryinfo.h"
#include "base/util/ve_raster.h"
#include "base/util/ve_registration.h"
#include "base/util/ve_release.h"
#include "base/util/ve_spatialref.h"
#include "base/util/ve_state.h"
#include "base/util/ve_stats.h"
#include "base/util/ve_version.h"

/* The family of records that move alike both ways, one line per record:
 * its shape, its name (CH_read_NAME, CH_write_NAME and the transports'
 * NAME members), its type, its trace (ch_intercept_dump_DUMP) and which of
 * its two members the hosts may call (BOTH, READ, WRITE or NEITHER).
 *   VALUE    read(T *value)                                write(T value)
 *   RECORD   read(T *record)                               write(const T *record)
 *   COUNTED  read(T *array, int32_t count)                 write(const T *array, int32_t count)
 *            (a count both sides know)
 *   LIST     read(T *records, int32_t capacity, int32_t *count)
 *            write(const T *records, int32_t count)
 *   ARRAY    read(int16_t *count, T **array)               write(int16_t count, const T *array)
 *            (the read allocates)
 * The members of a shape of their own follow in CH_TRANSPORT. */
#define CH_FAMILY(VALUE, RECORD, COUNTED, LIST, ARRAY)                                             \
    VALUE(long, int32_t, long, BOTH)                                                               \
    VALUE(ulong, uint32_t, ulong, BOTH)                                                            \
    VALUE(float, float, float, BOTH)                                                               \
    VALUE(lfloat, double, lfloat, BOTH)                                                            \
    VALUE(short, int16_t, short, BOTH)                                                             \
    RECORD(envp, ENVELOPE, envelope, BOTH)                                                         \
    RECORD(date, VE_DATE, date, BOTH)                                                              \
    RECORD(release, RELEASE, release, BOTH)                                                        \
    RECORD(compressed_feature, FEATURE_STRUCT, compressed_feature, BOTH)                           \
    RECORD(coordref, COORDREF, coordref, BOTH)                                                     \
    RECORD(layer, LAYER, layer, BOTH)                                                              \
    RECORD(construct, VE_SQL_CONSTRUCT, construct, BOTH)                                           \
    RECORD(queryinfo, VE_QUERYINFO, queryinfo, NEITHER)                                            \
    RECORD(ve_si_stats, VE_SPIDX_STATS, si_stats, BOTH)                                            \
    RECORD(ve_layer_stats, VE_LAYER_STATS, layer_stats, BOTH)                                      \
    RECORD(metadata, METADATA, metadata, BOTH)                                                     \
    RECORD(registration, REGISTRATION, registration, BOTH)                                         \
    RECORD(rastercolumn, RASTERCOLUMN, rastercolumn, BOTH)                                         \
    RECORD(rasterband, RASTERBAND, rasterband, BOTH)                                               \
    RECORD(raster, RASTER, raster, BOTH)                                                           \
    RECORD(state, STATE, state, BOTH)                                                              \
    RECORD(version, VERSION, version, BOTH)                                                        \
    RECORD(logfile, LOGFILE, logfile, BOTH)                                                        \
    RECORD(spatialref, VE_SPATIALREF, spatialref, BOTH)                                            \
    RECORD(locator, LOCATOR, locator, BOTH)                                                        \
    RECORD(object_lock, VE_OBJECT_LOCK, object_lock, BOTH)                                         \
    COUNTED(fid_array, int32_t, fid_array, BOTH)                                                   \
    COUNTED(lfloat_array, double, lfloat_array, READ)                                              \
    COUNTED(block, void, block, BOTH)                                                              \
    LIST(layer_list, LAYER, layer_list, BOTH)                                                      \
    LIST(ve_layer_locks_list, VE_LAYER_LOCKS, layer_locks, BOTH)                                   \
    LIST(ve_table_lock_list, VE_TABLE_LOCK, table_locks, BOTH)                                     \
    LIST(ve_version_lock_list, VE_VERSION_LOCK, version_locks, BOTH)                               \
    LIST(object_lock_list, VE_OBJECT_LOCK, object_locks, BOTH)                                     \
    LIST(metadata_list, METADATA, metadata_list, BOTH)                                             \
    LIST(registration_list, REGISTRATION, registration_list, BOTH)                                 \
    LIST(rastercolumn_list, RASTERCOLUMN, rastercolumn_list, WRITE)                                \
    LIST(rasterband_list, RASTERBAND, rasterband_list, WRITE)                                      \
    LIST(state_list, STATE, state_list, BOTH)                                                      \
    LIST(version_list, VERSION, version_list, BOTH)                                                \
    LIST(logfile_list, LOGFILE, logfile_list, BOTH)                                                \
    LIST(spatialref_list, VE_SPATIALREF, spatialref_list, BOTH)                                    \
    LIST(locator_list, LOCATOR, locator_list, BOTH)                                                \
    ARRAY(column_def, DB_COLUMN_DEF, column_def, BOTH)                                             \
    ARRAY(filter_array, VE_FILTER, filters, BOTH)                                                  \
    ARRAY(input_desc, VE_INPUT_DESC, input_desc, BOTH)                                             \
    ARRAY(index_def, DB_INDEX_DEF, index_def, BOTH)

/* The pairs of a shape of their own named as the family's (read_NAME and
 * write_NAME), in their order in CH_TRANSPORT; the feature's pair (readf,
 * writef) follows them. */
#define CH_OWN_SHAPES(X)                                                                           \
    X(pt3d)                                                                                        \
    X(short_array)                                                                                 \
    X(string)                                                                                      \
    X(dynamic_string)                                                                              \
    X(blob_seg)                                                                                    \
    X(blob_end)                                                                                    \
    X(rasterattr)                                                                                  \
    X(rasconstraint)

/* The members of the family over the transport's end, then the members of a
 * shape of their own, then the transport's life. */
typedef struct CH_TRANSPORT {
#define CH_VALUE_MEMBERS(NAME, T, ...)                                                             \
    int32_t (*read_##NAME)(void *end, T *value);                                                   \
    int32_t (*write_##NAME)(void *end, T value);
#define CH_RECORD_MEMBERS(NAME, T, ...)                                                            \
    int32_t (*read_##NAME)(void *end, T *record);                                                  \
    int32_t (*write_##NAME)(void *end, const T *record);
#define CH_COUNTED_MEMBERS(NAME, T, ...)                                                           \
    int32_t (*read_##NAME)(void *end, T *array, int32_t count);                                    \
    int32_t (*write_##NAME)(void *end, const T *array, int32_t count);
#define CH_LIST_MEMBERS(NAME, T, ...)                                                              \
    int32_t (*read_##NAME)(void *end, T *records, int32_t capacity, int32_t *count);               \
    int32_t (*write_##NAME)(void *end, const T *records, int32_t count);
#define CH_ARRAY_MEMBERS(NAME, T, ...)                                                             \
    int32_t (*read_##NAME)(void *end, int16_t *count, T **array);                                  \
    int32_t (*write_##NAME)(void *end, int16_t count, const T *array);
    CH_FAMILY(CH_VALUE_MEMBERS, CH_RECORD_MEMBERS, CH_COUNTED_MEMBERS, CH_LIST_MEMBERS,
              CH_ARRAY_MEMBERS)
#undef CH_VALUE_MEMBERS
#undef CH_RECORD_MEMBERS
#undef CH_COUNTED_MEMBERS
#undef CH_LIST_MEMBERS
#undef CH_ARRAY_MEMBERS

    int32_t (*read_pt3d)(void *end, int32_t *x, int32_t *y, int32_t *z);
    int32_t (*write_pt3d)(void *end, int32_t x, int32_t y, int32_t z);
    int32_t (*read_short_array)(void *end, int16_t *count, int16_t *values, int16_t capacity);
    int32_t (*write_short_array)(void *end, int16_t count, const int16_t *values);
    int32_t (*read_string)(void *end, char *buffer, int32_t capacity);
    int32_t (*write_string)(void *end, const char *string);
    int32_t (*read_dynamic_string)(void *end, char **string);
    int32_t (*write_dynamic_string)(void *end, const char *string);
    int32_t (*read_blob_seg)(void *end, void *buffer, int32_t capacity, int32_t *length,
                             int32_t *last);
    int32_t (*write_blob_seg)(void *end, const void *buffer, int32_t length, int32_t last);
    int32_t (*read_blob_end)(void *end, int32_t total_length, int32_t skip);
    int32_t (*write_blob_end)(void *end, int32_t total_length, int32_t flush);
    int32_t (*read_rasterattr)(void *end, RASTERATTR *attr);
    int32_t (*write_rasterattr)(void *end, const RASTERATTR *attr);
    int32_t (*read_rasconstraint)(void *end, RASCONSTRAINT **constraint);
    int32_t (*write_rasconstraint)(void *end, const RASCONSTRAINT *constraint);
    int32_t (*readf)(void *end, FEATURE_STRUCT *feature, int32_t allocate);
    int32_t (*writef)(void *end, const FEATURE_STRUCT *feature);

    /* Sends what the end holds back: 0, or -1. */
    int32_t (*flush)(void *end);
    /* Whether input waits, without waiting: above 0 yes, 0 no, -1 error. */
    int32_t (*data_waiting)(void *end);
    /* Leaves the end broken: every later member answers -1. */
    void (*set_broken)(void *end);
    /* Sends what is held back (unless broken) and frees the end and all it owns. */
    void (*destroy)(void *end);
} CH_TRANSPORT;

#ifdef __cplusplus
/* The table's form of a transport member F (end type H *): the same call
 * over the table's untyped end. */
template <auto F> struct ch_member;
template <typename H, typename... A, int32_t (*F)(H *, A...)> struct ch_member<F> {
    static int32_t call(void *end, A... args)
    {
        return F(static_cast<H *>(end), args...);
    }
};

/* Whether a table fills every member (the tests ask it of every table). */
inline bool ch_transport_complete(const CH_TRANSPORT &t)
{
    bool complete = true;
#define CH_FILLED(NAME, ...) complete = complete && t.read_##NAME && t.write_##NAME;
    CH_FAMILY(CH_FILLED, CH_FILLED, CH_FILLED, CH_FILLED, CH_FILLED)
    CH_OWN_SHAPES(CH_FILLED)
#undef CH_FILLED
    return complete && t.readf && t.writef && t.flush && t.data_waiting && t.set_broken &&
           t.destroy;
}
#endif

/* The transports a channel is made with. Each returns its end, or null when
 * it cannot be made, and points *transport at the table that serves it: the
 * older forms when old_release is non-zero. The socket transports take the
 * sizes of their write (send) and read (receive) areas. */
void *so_transport_create(const int *socket, int32_t write_size, int32_t read_size,
                          int32_t old_release, const CH_TRANSPORT **transport);
/* The raw forms over another byte link (so_channel_internal.h), current
 * release, with areas of the sizes given. */
typedef struct SO_LINK SO_LINK;
void *so_transport_create_on_link(const SO_LINK *link, int32_t write_size, int32_t read_size,
                                  const CH_TRANSPORT **transport);
void *xdr_transport_create(const int *socket, int32_t send_size, int32_t receive_size,
                           int32_t old_release, const CH_TRANSPORT **transport);
/* A coordinated-memory end, not yet paired (cmem_channel.cpp). */
void *cmem_transport_create(int32_t old_release, const CH_TRANSPORT **transport);
/* Pairs two coordinated-memory ends: 0, or -1 when either is paired already. */
int32_t cmem_transport_pair(void *a, void *b);
typedef struct SHM_OBJECT SHM_OBJECT;
/* An end over a shared-memory object, which it then owns, with the peer
 * process opened for its waits (shm_channel.cpp); null (the object stays
 * the caller's) when the peer process cannot be opened or no memory. */
void *shm_transport_create(SHM_OBJECT *object, int32_t peer_process_id, int32_t old_release,
                           const CH_TRANSPORT **transport);

#endif
