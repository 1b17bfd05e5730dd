/* The DBMS's statistics of a user table and of the tables the engine keeps
 * beside it (the adds, deletes and equivalence tables of a multiversioned
 * registration, the band and block tables of a raster column). */
#ifndef DB_TABLE_DBMS_STATS_H
#define DB_TABLE_DBMS_STATS_H

#include <stdint.h>

#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

/* Tables of the mask: DB_STATS_ADDS, DB_STATS_DELETES and DB_STATS_EQUIVS of
 * the table's registration, DB_STATS_TABLE the table itself, DB_STATS_RASTER
 * the band and block tables of its raster column; DB_STATS_ALL asks for all
 * of them and passes over those that are missing. */
#define DB_STATS_ADDS 2
#define DB_STATS_DELETES 4
#define DB_STATS_EQUIVS 8
#define DB_STATS_TABLE 32
#define DB_STATS_RASTER 64
#define DB_STATS_ALL 126

/* Runs UPDATE STATISTICS for the tables of the mask (object null or empty),
 * for every table of the mask (object "ALL"), or for a named object that is
 * a constraint of the chosen table. keyword (any case; null for none):
 * DISTRIBUTIONS, DROP, RESOLUTION, SPECIFIC, FUNCTION, PROCEDURE, ROUTINE,
 * LOW, MEDIUM or HIGH. Nothing is committed. Returns 0; -66 for another
 * keyword (nothing runs); -64 an object that is not such a constraint, or an
 * object named with DB_STATS_ALL; -178 registration tables asked of a table
 * that is not multiversioned; -37; -25; -51 (connection's extended error
 * record filled); -65; -322 a name that is not one; or a look-up's code. */
ZEL_API int32_t DB_table_update_dbms_stats(DB_INSTANCE *instance, const char *table,
                                           const char *object, const char *keyword, int32_t mask);

#endif
