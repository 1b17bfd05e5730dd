// Attribute and spatial indexes of user tables: made one by one or from
// index definitions with the DBTUNE clauses of a keyword, described, dropped,
// and the table of an index found. The definition record is in
// base/util/ve_index_def.h.
#ifndef DB_TABLE_INDEX_H
#define DB_TABLE_INDEX_H

#include <stdint.h>

#include "base/util/ve_index_def.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

/* Makes a B-tree index on one column or on columns joined by "," (unique when
 * unique is 1, ascending when ascending is 1, which is written after the last
 * column), or an R-tree index when the one column is of a spatial type,
 * with the index clause of the keyword chosen by the storage selector
 * (db_table_ddl.h); not committed. Returns 0; -37 no such table; -38 no such
 * column; -63 the index exists; -87 a keyword without rows of its own; -51
 * (connection's extended error record filled); -65; -66 a name too long;
 * -322 a name that is not an identifier. */
ZEL_API int32_t DB_table_create_index(DB_INSTANCE *instance, const char *table, const char *column,
                                      int32_t unique, int32_t ascending, const char *index_name,
                                      const char *keyword, int32_t storage);

/* Makes the count indexes in order; not committed. When one fails, the
 * indexes this call made before it are dropped again. Returns 0; -53 a
 * spatial index of more than one column; -66 a definition whose column count
 * is not 1 to 16, or a name not terminated within its field; other codes as
 * DB_table_create_index (-63 also when the name is taken by another object).
 * Nothing is executed when a definition is refused. */
ZEL_API int32_t DB_table_create_indexes(DB_INSTANCE *instance, const char *table, int16_t count,
                                        const DB_INDEX_DEF *indexes, const char *keyword,
                                        int32_t storage);

/* Describes the table's B-tree indexes into one heap array of *count
 * definitions (null for none), each owning its two arrays and name blocks;
 * the caller frees them as base/util/ve_index_def.h says. Every key column reads as
 * ascending. Returns 0; -12; -51 (connection's extended error record filled);
 * -65; -66 for a table name part or an index name too long for its field;
 * nothing is handed out on failure. */
ZEL_API int32_t DB_table_describe_indexes(DB_INSTANCE *instance, const char *table, int16_t *count,
                                          DB_INDEX_DEF **indexes);

/* Drops the index (the table is not used); committed. 0; -22 no such index;
 * -65; -66; -322; or the statement's failure. */
ZEL_API int32_t DB_table_drop_index(DB_INSTANCE *instance, const char *table,
                                    const char *index_name);

/* Copies the name of the index's table into out (160 bytes). 0; -64 no index
 * of that name; -51 (connection's extended error record filled); -65; -66
 * for a name of 160 characters or more. */
ZEL_API int32_t DB_table_get_name_from_index_name(DB_INSTANCE *instance, const char *index_name,
                                                  char *out);

#endif
