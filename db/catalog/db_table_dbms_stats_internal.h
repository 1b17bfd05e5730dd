// The statement builder of the DBMS statistics and the walks over the tables
// of a mask, which the registration code calls after it made or filled a
// table.
#ifndef DB_TABLE_DBMS_STATS_INTERNAL_H
#define DB_TABLE_DBMS_STATS_INTERNAL_H

#include <stdint.h>

#include "db/catalog/db_table_dbms_stats.h"

// Modes of the builder: no level or modifier, the modifiers, the routine
// kinds and the levels.
#define DB_STATS_MODE_NONE 65535
#define DB_STATS_MODE_DISTRIBUTIONS 1
#define DB_STATS_MODE_DROP 2
#define DB_STATS_MODE_RESOLUTION 3
#define DB_STATS_MODE_SPECIFIC 4
#define DB_STATS_MODE_FUNCTION 5
#define DB_STATS_MODE_PROCEDURE 6
#define DB_STATS_MODE_ROUTINE 7
#define DB_STATS_MODE_LOW 8
#define DB_STATS_MODE_MEDIUM 9
#define DB_STATS_MODE_HIGH 10

// The mode of a keyword (any case; null: DB_STATS_MODE_NONE) into *mode.
// 0, or -66 for a keyword that is none of them.
int32_t db_table_statistics_mode(const char *keyword, int32_t *mode);

// Builds and runs (no commit) "UPDATE STATISTICS <level> FOR TABLE <name>
// <modifier>" when table_form is set, else the routine form "UPDATE
// STATISTICS  FOR <kind> <name>" (modes 4 to 7) or "UPDATE STATISTICS
// <level> " (the whole database). Returns 0; -37; -25; -51 (connection's
// record filled); -65; -322 for a name that is not a table name.
int32_t db_table_update_statistics(int32_t table_form, const char *owner, const char *name,
                                   int32_t mode, int32_t unused);

// The table form for one table.
int32_t db_table_update_statistics_table(DB_INSTANCE *instance, const char *owner,
                                         const char *table, int32_t mode);

// The tables of the mask (no object named), in the order table, raster
// tables, adds, deletes, equivalence table.
int32_t db_table_update_statistics_of_tables(DB_INSTANCE *instance, const char *table,
                                             const char *owner, int32_t mode, int32_t mask);

// The tables of the mask for the object "ALL", in the order adds, deletes,
// equivalence table, raster tables, table. Returns the last status.
int32_t db_table_update_statistics_all(DB_INSTANCE *instance, const char *database,
                                       const char *owner, const char *table, int32_t mode,
                                       int32_t mask);

// 0 when object is a constraint of the table the mask chooses; -64 when not;
// -178; or the registration look-up's code.
int32_t db_table_check_statistics_object(DB_INSTANCE *instance, const char *table,
                                         const char *object, const char *owner, int32_t mask);

// 1 when the owner's table (names compared without regard to case) has a
// constraint of that name; 0 when not, and on any failure.
int32_t db_table_has_constraint(const char *table, const char *constraint, const char *owner);

#endif
