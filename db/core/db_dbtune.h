// The DBTUNE store: storage clauses per configuration keyword, kept in the
// DBTUNE table (keyword, parameter_name, config_string) of the administrative
// database and in its text form, the dbtune file under $ZELHOME/etc. The DDL
// of the engine appends a clause only when the record's counter is at least
// 100 and the clause is not empty. The file grammar is described in
// db_dbtune_file.cpp; the built-in keywords and defaults in db_dbtune_defaults.cpp.
#ifndef DB_DBTUNE_H
#define DB_DBTUNE_H

#include <stdint.h>

#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#define DBTUNE_CLAUSE_SIZE 2048    /* a clause of at most 2,047 characters */
#define DBTUNE_COLUMN_NAME_SIZE 33 /* a keyword or parameter name of the table (VARCHAR(32)) */

/* Storage of the catalogue's own tables (keyword DATA_DICTIONARY), copied
 * from the layer record when its counter is at least 100, else all zero. */
typedef struct DBTUNE_SYSTEM_CONFIG {
    int16_t counter;
    char B_STORAGE[DBTUNE_CLAUSE_SIZE];
    char B_INDEX_USER[DBTUNE_CLAUSE_SIZE];
    char B_INDEX_ROWID[DBTUNE_CLAUSE_SIZE];
    char STATES_TABLE[DBTUNE_CLAUSE_SIZE];
    char STATES_INDEX[DBTUNE_CLAUSE_SIZE];
    char STATE_LINEAGES_TABLE[DBTUNE_CLAUSE_SIZE];
    char reserved[DBTUNE_CLAUSE_SIZE]; /* always empty */
    char VERSIONS_TABLE[DBTUNE_CLAUSE_SIZE];
    char VERSIONS_INDEX[DBTUNE_CLAUSE_SIZE];
    char MVTABLES_MODIFIED_TABLE[DBTUNE_CLAUSE_SIZE];
    char MVTABLES_MODIFIED_INDEX[DBTUNE_CLAUSE_SIZE];
} DBTUNE_SYSTEM_CONFIG;

/* The row whose insert failed. */
typedef struct DBTUNE_FAILED_ROW {
    char keyword[DBTUNE_COLUMN_NAME_SIZE];
    char parameter_name[DBTUNE_COLUMN_NAME_SIZE];
    char config_string[DBTUNE_CLAUSE_SIZE];
} DBTUNE_FAILED_ROW;

#ifdef __cplusplus
extern "C" {
#endif

/* ---- migration (db_dbtune_migrate.cpp) ---- */

ZEL_API int32_t DB_dbtune_table_migrate(DB_INSTANCE *instance, DBTUNE_FAILED_ROW *failed);
ZEL_API int32_t DB_read_system_tab_storage_config(DB_INSTANCE *instance, const char *keyword,
                                                  const char *file_name,
                                                  DBTUNE_SYSTEM_CONFIG *config);

/* ---- the table (db_dbtune_table.cpp) ---- */

/* 0 readable; -37 no table; -38 no keyword column; -1 another failure. */
ZEL_API int32_t DB_instance_dbtune_table_exists(DB_INSTANCE *instance);
ZEL_API int32_t DB_instance_dbtune_table_create(DB_INSTANCE *instance, const char *file_name,
                                                const DBTUNE_SYSTEM_CONFIG *config);
/* Empties (or creates) the table and loads the file; the load option is the
 * strict flag of db_copy_dbtune_FileToTable. */
ZEL_API int32_t DB_instance_import_dbtune(DB_INSTANCE *instance, const char *file_name,
                                          int32_t load_option);
ZEL_API int32_t DB_instance_export_dbtune(DB_INSTANCE *instance, const char *file_name);
ZEL_API int32_t DB_instance_load_dbtune_table(DB_INSTANCE *instance, const char *file_name,
                                              int32_t load_option, int32_t truncated);
ZEL_API int32_t DB_instance_has_dbs_tables(void);

#ifdef __cplusplus
}
#endif

#endif
