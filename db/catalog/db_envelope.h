// Extents of the features of a layer, computed by the DBMS: the envelope
// accessors of the spatial type library aggregated over the layer's spatial
// column, for the whole layer, for the rows a query's tables and condition
// select, or for the rows of a log file. Versioned tables are read through
// their multiversion view, so that the extent is the one the query's state
// sees. The result is an envelope and a Z range.
#ifndef DB_ENVELOPE_H
#define DB_ENVELOPE_H

#include <stdint.h>

#include "base/util/ve_layer.h"
#include "base/util/ve_loginfo.h"
#include "base/util/ve_queryinfo.h"
#include "base/util/zel_export.h"
#include "db/version/db_mv_view.h"

typedef struct DB_INSTANCE DB_INSTANCE;
typedef struct DB_STREAM DB_STREAM;

/* The empty envelope every restricted computation starts from: what comes
 * back when no row qualifies (with a Z range of 0, 0). */
#define DB_ENVELOPE_EMPTY_MIN 2147483647.0
#define DB_ENVELOPE_EMPTY_MAX 0.0

#ifdef __cplusplus
extern "C" {
#endif

/* The extent of the layer's rows that the construct's tables and condition
 * select, read through the description's views (kind 0: none). With whole
 * set and view kind 0, the extent of every row of the layer (a missing row
 * set leaves 0.0 in all four). The connection's extended error record is
 * cleared first. Returns 0; -20 (a table is missing); -42 (the DBMS refused
 * the text); -51 (connection's record filled); -12; -65 for a null
 * argument; -66 or -322 for a name that cannot go into SQL; the view
 * builder's or the layer read's failure. */
ZEL_API int32_t DB_layer_calculate_envelope(DB_INSTANCE *instance, const LAYER *layer,
                                            const VE_SQL_CONSTRUCT *construct,
                                            DB_MV_QUERY_INFO *info, int32_t whole,
                                            VE_ENVELOPE *envelope, double *z_low, double *z_high);

/* The same for the stream's layer, without views: the construct's
 * condition holds one "?", bound to *parameter as an INTEGER. Clears the
 * connection's and the stream's extended error records. Codes as above. */
ZEL_API int32_t DB_layer_calculate_row_envelope(DB_STREAM *stream, const LAYER *layer,
                                                const VE_SQL_CONSTRUCT *construct, int32_t whole,
                                                VE_ENVELOPE *envelope, double *z_low,
                                                double *z_high, int32_t *parameter);

/* The extent of the layer's rows that the log file holds (and that the
 * construct selects). Codes as DB_layer_calculate_envelope. */
ZEL_API int32_t DB_envelope_get_by_logfile(DB_INSTANCE *instance, const LAYER *layer,
                                           const LOGFILE *log, const VE_SQL_CONSTRUCT *construct,
                                           DB_MV_QUERY_INFO *info, VE_ENVELOPE *envelope,
                                           double *z_low, double *z_high);

/* Kept for hosts that call it: computes nothing, writes nothing, 0. */
ZEL_API int32_t DB_envelope_get_by_fids(DB_INSTANCE *instance, const LAYER *layer, int32_t count,
                                        const int32_t *ids, VE_ENVELOPE *envelope, double *z_low,
                                        double *z_high);

/* Runs an envelope SELECT of six aggregates (min x, min y, max x, max y,
 * min z, max z) and stores what is not NULL; a preset value stays where the
 * DBMS answers NULL. The row form binds *parameter to the one "?". Returns
 * 0; -20 (SQLSTATE S0002); -42 (S0022, 37000; the text goes to standard
 * error); -51 (connection's record filled); -65 for a null argument. */
ZEL_API int32_t DB_exec_get_envelope(const char *sql, VE_ENVELOPE *envelope, double *z_low,
                                     double *z_high);
ZEL_API int32_t DB_exec_get_row_envelope(const char *sql, VE_ENVELOPE *envelope, double *z_low,
                                         double *z_high, int32_t *parameter);

/* Runs a SELECT of four aggregates (min x, min y, max x, max y) and copies
 * them, a NULL read as 0.0, into the envelope after a fetched row; without
 * a row the envelope is left as it was. Codes as DB_exec_get_envelope. */
ZEL_API int32_t DB_spix_get_envelope(const char *sql, VE_ENVELOPE *envelope);

#ifdef __cplusplus
}
#endif

#endif
