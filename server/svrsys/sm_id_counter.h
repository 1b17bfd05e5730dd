// Id counters of the instance's shared memory: the last state, metadata,
// locator and version ids handed out and the default state id (seeded by the
// control process; new ids come from SM_shared_info), layer and raster column
// ids in use, per-layer feature-id ranges and modification times, per raster
// column the next raster and band ids, and the stamp of the last change to
// the states. Each counter family has its own numbered mutex; no call holds
// two. Layer ids and raster column ids n address element n - 1.
#ifndef SM_ID_COUNTER_H
#define SM_ID_COUNTER_H

#include <stdint.h>

#include "base/util/ve_bitmap.h"
#include "base/util/ve_raster.h"
#include "base/util/zel_export.h"
#include "server/svrsys/sm_master.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The highest feature id in use in the layer (0 or more), or a negative
 * engine code. Called without any mutex held. */
typedef int32_t (*SM_FID_SEED)(void *context, int32_t layer_id);
/* The highest raster (or band) id in use in the raster column (0 or more), or
 * a negative engine code. Called under the counter's mutex: it must not call
 * the id counters. */
typedef int32_t (*SM_RASTER_ID_SEED)(void *context, const RASTERCOLUMN *rastercolumn);

/* Store the last id handed out (0 or more) of a family; the next new id of
 * SM_shared_info is value + 1. 0; -66 for a negative value; -1 the mutex
 * failed; -65 for a null handle. */
ZEL_API int32_t SM_next_state_id_set(SM_MASTER *master, int32_t value);
ZEL_API int32_t SM_next_metadata_id_set(SM_MASTER *master, int32_t value);
ZEL_API int32_t SM_next_locator_id_set(SM_MASTER *master, int32_t value);
ZEL_API int32_t SM_next_version_id_set(SM_MASTER *master, int32_t value);
ZEL_API int32_t SM_default_state_id_set(SM_MASTER *master, int32_t value);

/* Every layer id whose bit (id - 1) is set becomes taken; bits past the last
 * layer id are not looked at. 0, -1, -65 for a null argument. */
ZEL_API int32_t SM_available_layer_ids_set(SM_MASTER *master, const VE_BITMAP *bitmap);
/* The layer id becomes free: 0, -1, -28 for an id outside 1 to nlayers. */
ZEL_API int32_t SM_return_layer_id(SM_MASTER *master, int32_t layer_id);
/* The same for raster column ids: 0, -1, -227 for an id outside 1 to
 * nrasters. */
ZEL_API int32_t SM_available_rastercolumn_ids_set(SM_MASTER *master, const VE_BITMAP *bitmap);
ZEL_API int32_t SM_return_rastercolumn_id(SM_MASTER *master, int32_t rastercolumn_id);

/* Hands out the feature ids [first, first + count) of the layer and returns
 * first. -1 when the layer's counter is not seeded or is being seeded (so no
 * id 0 or negative id is ever handed out), when the range would pass
 * 2^31-1, or the mutex failed; -28 for a layer id out of range; -66 for a
 * negative count. */
ZEL_API int32_t SM_layer_get_fid_range(SM_MASTER *master, int32_t layer_id, int32_t count);
/* Seeds the layer's feature-id counter once for the instance: with a seed,
 * one process claims the counter and calls seed(context, layer id) outside
 * the mutex, storing its result + 1; other processes wait (polling once a
 * second) until it has, and seed again when it failed or its process ended.
 * Without a seed the counter restarts at 1. 0; the seed's negative result
 * (the counter is left unseeded); -1 when the mutex failed or the seed
 * answers 2^31-1; -28; -65 for a null handle. */
ZEL_API int32_t SM_layer_set_fid_start(SM_MASTER *master, int32_t layer_id, SM_FID_SEED seed,
                                       void *context);
/* The counter becomes unseeded (a seed in progress keeps its result to
 * itself). 0, -1, -28. */
ZEL_API int32_t SM_layer_clear_fids(SM_MASTER *master, int32_t layer_id);

/* The layer's modification time in seconds since 1970, 0 when it was never
 * touched, the layer id is out of range or the handle is null. No mutex. */
ZEL_API uint32_t SM_layer_get_time_last_modified(SM_MASTER *master, int32_t layer_id);
/* Changes the layer's modification time: the current time, or one more than
 * the stored time when that is 0, the current time or later, so that every
 * touch gives a new, higher time. 0, -28, -65. No mutex. */
ZEL_API int32_t SM_layer_touch(SM_MASTER *master, int32_t layer_id);

/* Hands out the raster column's next raster id in *id. An unseeded counter is
 * seeded first: seed's result + 1, at least the column's minimum id. 0; the
 * seed's negative result (nothing changes); -65 for a null argument, or an
 * unseeded counter without a seed; -1 when the mutex failed or the ids would
 * pass 2^31-1; -227 for a raster column id out of range. */
ZEL_API int32_t SM_raster_get_id(SM_MASTER *master, const RASTERCOLUMN *rastercolumn,
                                 SM_RASTER_ID_SEED seed, void *context, int32_t *id);
/* Gives back id when it was the last handed out (else nothing changes): 0,
 * -1, -227, -65, -66 for an id below 1. */
ZEL_API int32_t SM_raster_return_id(SM_MASTER *master, const RASTERCOLUMN *rastercolumn,
                                    int32_t id);
/* The raster id counter becomes unseeded: 0, -1, -227, -65. */
ZEL_API int32_t SM_raster_clear_ids(SM_MASTER *master, const RASTERCOLUMN *rastercolumn);
/* The same three for raster band ids (no minimum id). */
ZEL_API int32_t SM_rasterband_get_id(SM_MASTER *master, const RASTERCOLUMN *rastercolumn,
                                     SM_RASTER_ID_SEED seed, void *context, int32_t *id);
ZEL_API int32_t SM_rasterband_return_id(SM_MASTER *master, const RASTERCOLUMN *rastercolumn,
                                        int32_t id);
ZEL_API int32_t SM_rasterband_clear_ids(SM_MASTER *master, const RASTERCOLUMN *rastercolumn);

/* The stamp of the last change to the states rises with every call: a stamp
 * not above the stored one stores the stored one + 1. 0; -1 when the mutex
 * failed or the stamp is at 2^31-1; -65. */
ZEL_API int32_t SM_states_set_last_modified(SM_MASTER *master, int32_t stamp);
/* *stamp = the stored stamp: 0, -1, -65. */
ZEL_API int32_t SM_states_get_last_modified(SM_MASTER *master, int32_t *stamp);

/* Mutex 3, lent to the host: 0, -1, -65. */
ZEL_API int32_t SM_shared_mutex_lock(SM_MASTER *master);
ZEL_API int32_t SM_shared_mutex_unlock(SM_MASTER *master);

#ifdef __cplusplus
}
#endif

#endif
