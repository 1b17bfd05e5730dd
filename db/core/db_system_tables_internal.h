// Steps the catalogue's table code shares: the release table, the catalogue
// tables, the states and their lineages, and the catalogue creation.
#ifndef DB_SYSTEM_TABLES_INTERNAL_H
#define DB_SYSTEM_TABLES_INTERNAL_H

#include <sql.h>
#include <stdint.h>

#include "db/core/db_diag_internal.h"
#include "db/core/db_system_tables.h"

// db_execute_ddlsql's error recording and modes: 1 and 3 commit, 2 does not.
#define DB_DDL_RECORD 1
#define DB_DDL_SILENT 0
#define DB_DDL_COMMIT 1
#define DB_DDL_NO_COMMIT 2
#define DB_DDL_COMMIT_EACH 3

// A DDL result as the catalogue counts it: 0 for the one-shot statement's
// successes (0, and 1 for success with information), else the code.
int32_t db_ddl_result(int32_t rc);

// Runs sql through db_execute_ddlsql; the result as db_ddl_result.
int32_t db_ddl(const char *sql, int32_t record_error, int32_t mode);

// "SELECT * FROM <table>", not committed: 0 when the table exists, -37 when
// it is missing, else the statement's code.
int32_t db_catalog_table_probe(const char *table);

// "GRANT SELECT ON <table> TO PUBLIC", error recording on, committed.
int32_t db_grant_select_public(const char *table);

// Records the diagnostic of the failing CLI result rc of *hstmt (of the
// connection without a statement) in the connection's extended error
// record, frees the statement and returns -51.
int32_t db_system_fail(SQLHSTMT *hstmt, int32_t rc);

// Prepares sql with a zero-filled stream record of its own, so a refusal
// stays out of the connection's extended error record. 0 with the
// statement in *hstmt; else the prepare's code with the failure's SQLSTATE
// in sqlstate (DB_SQLSTATE_SIZE bytes). The caller frees *hstmt either way.
int32_t db_probe_prepare(SQLHSTMT *hstmt, const char *sql, char *sqlstate);

// Runs a query of one integer column: prepare, bind, execute, fetch the
// first row. Returns 0 with *value set (0 for NULL); SQL_NO_DATA with *value
// 0 when there is no row; else the failing CLI result with *diag read from
// the statement and *at_prepare telling whether the prepare failed. The
// statement is freed in every case.
int32_t db_select_one_int(const char *sql, int32_t *value, CLI_DIAG_RECORD *diag, bool *at_prepare);

#ifdef __cplusplus
#include <string>
// Appends the clause, read up to its field's size, when the configuration is
// given, its counter is at least 100 and the clause is not empty.
void db_storage_clause_append(std::string *sql, const DBTUNE_SYSTEM_CONFIG *config,
                              const char *clause);
#endif

#endif
