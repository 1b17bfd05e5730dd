// The statistics SELECT of db_layer_stats.h, built apart so that its text
// can be checked and run on its own.
#ifndef DB_LAYER_STATS_INTERNAL_H
#define DB_LAYER_STATS_INTERNAL_H

#include <stdint.h>

#include "db/catalog/db_layer_stats.h"

#ifdef __cplusplus
#include <string>

// The nine-column statistics SELECT over the layer's table, the
// construct's other tables (or their views), the log's derived table LF_
// and their conditions; construct, info and log may be null. 0; -65; -66
// or -322 for a name that cannot go into SQL; the view builder's failure.
int32_t db_layer_stats_build_query(DB_INSTANCE *instance, const LAYER *layer,
                                   const VE_SQL_CONSTRUCT *construct, DB_MV_QUERY_INFO *info,
                                   const LOGFILE *log, std::string *sql);
#endif

#endif
