// The layer record: a LAYERS row joined with its SPATIAL_REFERENCES row and the
// layer's coordinate reference. Read and cached by the layer code, used by the
// data streams, sent by the channel (its own codec, field by field). A plain
// value: copies are block copies whose coordref is then put back.
#ifndef VE_LAYER_H
#define VE_LAYER_H

#include <stdint.h>

#include "base/util/db_name_sizes.h"
#include "base/util/ve_feature.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Bits of eflags. */
#define LAYER_NIL 0x1
#define LAYER_POINT 0x2
#define LAYER_LINE 0x4
#define LAYER_SIMPLE_LINE 0x8
#define LAYER_AREA 0x10
#define LAYER_3D 0x10000
#define LAYER_MULTIPART 0x40000
#define LAYER_MEASURES 0x80000
#define LAYER_LOAD_ONLY 0x100000
#define LAYER_ANNOTATION 0x200000
#define LAYER_CAD 0x400000
#define LAYER_NORMALIZED 0x800000
#define LAYER_BINARY 0x1000000
#define LAYER_WKB 0x2000000
#define LAYER_SQL 0x4000000
#define LAYER_SPATIAL 0x8000000
#define LAYER_LOB 0x10000000
#define LAYER_SELECT_ONLY 0x20000000

/* Privilege bits (layers, registrations, raster columns). */
#define VE_PRIV_SELECT 2
#define VE_PRIV_UPDATE 4
#define VE_PRIV_INSERT 8
#define VE_PRIV_DELETE 16
#define VE_PRIV_ALL 30 /* all four: the owner's */

/* The spatial-reference text buffer a layer record's coordinate reference
 * owns: the text is read into it at this size. */
#define LAYER_SRTEXT_SIZE 1024

typedef struct LAYER {
    int32_t layer_id; /* -1 marks a free slot of the layer cache */
    double minx;      /* the layer's extent */
    double miny;
    double maxx;
    double maxy;
    char description[64];
    double grid_size[3]; /* carry the spatial-index kind (base/util/ve_spatial_index_internal.h) */
    uint32_t eflags;     /* LAYER_* bits */
    char database_name[DB_NAME_DATABASE_SIZE];
    char owner[DB_NAME_OWNER_SIZE];
    char table_name[DB_NAME_TABLE_SIZE];
    char spatial_column[DB_NAME_COLUMN_SIZE];
    int32_t cdate;       /* creation time, seconds since 1970 */
    uint32_t privileges; /* VE_PRIV_* of the current user */
    char layer_config[DB_NAME_KEYWORD_SIZE];
    int32_t optimal_array_size;
    int32_t stats_date;
    int32_t minimum_id;
    COORDREF *coordref; /* owned by whoever owns the record */
    uint32_t layer_mask;
    int32_t base_layer_id;
} LAYER;

#ifdef __cplusplus
}
#endif

#endif
