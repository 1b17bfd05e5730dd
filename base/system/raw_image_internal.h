// Raw record images: the bytes of an engine record as the 32-bit engine laid
// it out in memory, which the socket and memory transports send whole. Every
// number is little-endian; doubles sit on multiples of 8 as that compiler put
// them; a pointer field is a 4-byte presence word (1 set, 0 null) that tells
// the reader whether the pointed-to data follows. Text fields are written up
// to their terminator and zero-filled; a reader always terminates them within
// its own field. Field offsets are stated beside the codec (raw_image.cpp).
//
// A pack fills the whole image (padding zeroed); an unpack sets only the
// fields that travel, leaving the receiver's words that the forms keep (first
// words, pointers, owned arrays) as they were.
#ifndef RAW_IMAGE_INTERNAL_H
#define RAW_IMAGE_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include "base/util/db_column_def.h"
#include "base/util/ve_date.h"
#include "base/util/ve_feature.h"
#include "base/util/ve_filter.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_locator.h"
#include "base/util/ve_locks.h"
#include "base/util/ve_loginfo.h"
#include "base/util/ve_metadata.h"
#include "base/util/ve_raster.h"
#include "base/util/ve_registration.h"
#include "base/util/ve_release.h"
#include "base/util/ve_spatialref.h"
#include "base/util/ve_state.h"
#include "base/util/ve_stats.h"
#include "base/util/ve_version.h"

// Image sizes in bytes. The old forms are prefixes of the current images
// except the release record's.
#define RAW_ENVELOPE_IMAGE 16
#define RAW_PT3D_IMAGE 12
#define RAW_DATE_IMAGE 36
#define RAW_FEATURE_IMAGE 96
#define RAW_COORDREF_IMAGE 128
#define RAW_COORDREF_OLD_IMAGE 120
#define RAW_LAYER_IMAGE 456
#define RAW_LAYER_OLD_IMAGE 448
#define RAW_COLUMN_DEF_IMAGE 52
#define RAW_COLUMN_DEF_OLD_IMAGE 48
#define RAW_FILTER_IMAGE 512
#define RAW_FILTER_OLD_IMAGE 504
#define RAW_RELEASE_IMAGE 112
#define RAW_RELEASE_OLD_IMAGE 80
#define RAW_SPIDX_STATS_IMAGE 420
#define RAW_LAYER_STATS_IMAGE 160
#define RAW_LAYER_LOCKS_IMAGE 72
#define RAW_TABLE_LOCK_IMAGE 40
#define RAW_VERSION_LOCK_IMAGE 40
#define RAW_OBJECT_LOCK_IMAGE 56
#define RAW_REGISTRATION_IMAGE 536
#define RAW_METADATA_IMAGE 592
#define RAW_RASTERCOLUMN_IMAGE 384
#define RAW_RASTERBAND_IMAGE 184
#define RAW_RASTER_IMAGE 76
#define RAW_RASTERATTR_IMAGE 160
#define RAW_RASCONSTRAINT_IMAGE 40
#define RAW_STATE_IMAGE 56
#define RAW_VERSION_IMAGE 280
#define RAW_LOGFILE_IMAGE 1048
#define RAW_SPATIALREF_IMAGE 336
#define RAW_LOCATOR_IMAGE 184
#define RAW_INPUT_DESC_IMAGE 8

// Presence words an unpack reports (bits of its result).
#define RAW_HAS_POINTS 1u
#define RAW_HAS_Z 2u
#define RAW_HAS_MEASURES 4u
#define RAW_HAS_COORDREF 8u

// Little-endian numbers in byte strings, shared by the images and the forms.
void raw_put_i32(uint8_t *bytes, int32_t value);
int32_t raw_get_i32(const uint8_t *bytes);
void raw_put_i16(uint8_t *bytes, int16_t value);
int16_t raw_get_i16(const uint8_t *bytes);
void raw_put_f32(uint8_t *bytes, float value);
float raw_get_f32(const uint8_t *bytes);
void raw_put_f64(uint8_t *bytes, double value);
double raw_get_f64(const uint8_t *bytes);

void raw_pack_envelope(const ENVELOPE *envelope, uint8_t *image);
void raw_unpack_envelope(const uint8_t *image, ENVELOPE *envelope);
void raw_pack_date(const VE_DATE *date, uint8_t *image);
void raw_unpack_date(const uint8_t *image, VE_DATE *date);

/* The first 96 bytes of the feature record: ids, point count, entity type,
 * envelope, the carried words and doubles, and the presence of its point
 * arrays and coordinate reference. The unpack keeps the receiver's first
 * word, arrays, room, coordinate reference and everything behind them. */
void raw_pack_feature(const FEATURE_STRUCT *feature, uint8_t *image);
uint32_t raw_unpack_feature(const uint8_t *image, FEATURE_STRUCT *feature);

/* The unpack keeps the receiver's two library words and its text pointer; a
 * 120-byte old image (zero-filled to 128) leaves the srid 0. */
void raw_pack_coordref(const COORDREF *coordref, uint8_t *image);
void raw_unpack_coordref(const uint8_t *image, COORDREF *coordref);

/* The unpack keeps the receiver's coordinate-reference pointer. */
void raw_pack_layer(const LAYER *layer, uint8_t *image);
void raw_unpack_layer(const uint8_t *image, LAYER *layer);

void raw_pack_column_def(const DB_COLUMN_DEF *def, uint8_t *image);
void raw_unpack_column_def(const uint8_t *image, DB_COLUMN_DEF *def);

/* The shape pointer and the id share one word: a shape filter sends the
 * shape's presence there, any other filter its id. The unpack sets the id
 * (or clears the shape) and the relation pointer to null; the form fills
 * them in. */
void raw_pack_filter(const VE_FILTER *filter, uint8_t *image);
void raw_unpack_filter(const uint8_t *image, VE_FILTER *filter);

void raw_pack_release(const RELEASE *release, uint8_t *image);
void raw_unpack_release(const uint8_t *image, RELEASE *release);
/* The 80-byte release of the older engine, widened: its 64-byte description
 * fills the start of the 96-byte one. */
void raw_unpack_release_old(const uint8_t *image, RELEASE *release);

void raw_pack_spidx_stats(const VE_SPIDX_STATS *stats, uint8_t *image);
void raw_unpack_spidx_stats(const uint8_t *image, VE_SPIDX_STATS *stats);
void raw_pack_layer_stats(const VE_LAYER_STATS *stats, uint8_t *image);
void raw_unpack_layer_stats(const uint8_t *image, VE_LAYER_STATS *stats);

void raw_pack_layer_locks(const VE_LAYER_LOCKS *lock, uint8_t *image);
void raw_unpack_layer_locks(const uint8_t *image, VE_LAYER_LOCKS *lock);
void raw_pack_table_lock(const VE_TABLE_LOCK *lock, uint8_t *image);
void raw_unpack_table_lock(const uint8_t *image, VE_TABLE_LOCK *lock);
void raw_pack_version_lock(const VE_VERSION_LOCK *lock, uint8_t *image);
void raw_unpack_version_lock(const uint8_t *image, VE_VERSION_LOCK *lock);
void raw_pack_object_lock(const VE_OBJECT_LOCK *lock, uint8_t *image);
void raw_unpack_object_lock(const uint8_t *image, VE_OBJECT_LOCK *lock);

void raw_pack_registration(const REGISTRATION *registration, uint8_t *image);
void raw_unpack_registration(const uint8_t *image, REGISTRATION *registration);
/* The unpack keeps the receiver's first word. */
void raw_pack_metadata(const METADATA *metadata, uint8_t *image);
void raw_unpack_metadata(const uint8_t *image, METADATA *metadata);

/* The unpack keeps the receiver's coordinate-reference pointer and reports
 * the sender's presence word (RAW_HAS_COORDREF). */
void raw_pack_rastercolumn(const RASTERCOLUMN *column, uint8_t *image);
uint32_t raw_unpack_rastercolumn(const uint8_t *image, RASTERCOLUMN *column);
/* The unpack clears the statistics, colormap and bitmap pointers. */
void raw_pack_rasterband(const RASTERBAND *band, uint8_t *image);
void raw_unpack_rasterband(const uint8_t *image, RASTERBAND *band);
void raw_pack_raster(const RASTER *raster, uint8_t *image);
void raw_unpack_raster(const uint8_t *image, RASTER *raster);
/* The owned array and its count (word 23) never travel: the unpack keeps the
 * receiver's. */
void raw_pack_rasterattr(const RASTERATTR *attr, uint8_t *image);
void raw_unpack_rasterattr(const uint8_t *image, RASTERATTR *attr);
/* The unpack keeps the receiver's first word and band array. */
void raw_pack_rasconstraint(const RASCONSTRAINT *constraint, uint8_t *image);
void raw_unpack_rasconstraint(const uint8_t *image, RASCONSTRAINT *constraint);

/* The unpack keeps the receiver's lineage pointer. */
void raw_pack_state(const STATE *state, uint8_t *image);
void raw_unpack_state(const uint8_t *image, STATE *state);
void raw_pack_version(const VERSION *version, uint8_t *image);
void raw_unpack_version(const uint8_t *image, VERSION *version);
void raw_pack_logfile(const LOGFILE *logfile, uint8_t *image);
void raw_unpack_logfile(const uint8_t *image, LOGFILE *logfile);
/* The unpack keeps the receiver's coordinate-reference pointer. */
void raw_pack_spatialref(const VE_SPATIALREF *spatialref, uint8_t *image);
void raw_unpack_spatialref(const uint8_t *image, VE_SPATIALREF *spatialref);
/* The unpack keeps the receiver's first word and property arrays. */
void raw_pack_locator(const LOCATOR *locator, uint8_t *image);
void raw_unpack_locator(const uint8_t *image, LOCATOR *locator);
void raw_pack_input_desc(const VE_INPUT_DESC *desc, uint8_t *image);
void raw_unpack_input_desc(const uint8_t *image, VE_INPUT_DESC *desc);

#endif
