// The CLI statement record: a statement handle with its running bind and
// define positions, indicator cells, rows-fetched count and the diagnostic of
// its last failure, so that callers prepare, bind by position, execute, fetch
// and report without touching the CLI. Beside it the smart large-object handle
// that moves blob columns through the server's ifx_lo_ routines (db_lob.cpp).
// A record's failure stays in the record until the caller copies it into an
// extended error record (db_cli_save_error, db_cli_save_error_to).
#ifndef DB_CLI_INTERNAL_H
#define DB_CLI_INTERNAL_H

#include <sql.h>
#include <sqlext.h>
#include <stdint.h>

#include "db/core/db_diag_internal.h"

#define DB_CLI_MESSAGE_SIZE 512
#define DB_LOB_COLUMN_NAME_SIZE 128

typedef struct CLI_STATEMENT {
    SQLHDBC connection;      /* the process connection, set by db_cli_init */
    SQLHSTMT statement;      /* null until db_cli_allocate */
    SQLSMALLINT diag_kind;   /* SQL_HANDLE_DBC or SQL_HANDLE_STMT: where diagnostics are read */
    int32_t next_param;      /* last parameter bound; the next bind is this + 1 */
    int32_t next_column;     /* last column defined; the next define is this + 1 */
    SQLULEN rows_fetched;    /* rows of the last array fetch */
    SQLLEN column_length;    /* length cell of a define that gives none */
    SQLLEN zero_indicator;   /* indicator of a non-character parameter bound without one */
    SQLLEN nts_indicator;    /* SQL_NTS: indicator of a character parameter bound without one */
    SQLINTEGER native_error; /* of the last failure */
    char message[DB_CLI_MESSAGE_SIZE]; /* of the last failure */
    char sqlstate[DB_SQLSTATE_SIZE];   /* of the last failure */
    int32_t prepared;                  /* 1 after a successful prepare */
    /* Rows per fetch the statement is set to (0 or 1: one row). The driver
     * writes that many cells behind every length cell, so the record's own
     * single cell serves only one-row fetches. */
    SQLULEN row_array_size;
    int32_t shared_length; /* 1: a define since the last reset uses column_length */
} CLI_STATEMENT;

/* Large-object access modes of db_lob_create_spec and db_lob_transfer. */
#define DB_LOB_INSERT 1
#define DB_LOB_UPDATE 2
#define DB_LOB_READ 3
/* Access mode the insert and update paths give ifx_lo_create and ifx_lo_open. */
#define DB_LOB_ACCESS_DEFAULT 8

/* One blob column of a stream: created with db_lob_handle_create, kept in the
 * stream's large-object list, freed with db_lob_handle_free. */
typedef struct DB_LOB_HANDLE {
    CLI_STATEMENT cli;
    SQLHDBC connection; /* for information requests */
    SQLHENV environment;
    SQLHSTMT lo_statement; /* the record's statement, used for every ifx_lo_ call */
    SQLINTEGER descriptor; /* of the open large object */
    SQLLEN descriptor_indicator;
    unsigned char *spec; /* create spec, spec_length bytes */
    SQLSMALLINT spec_length;
    SQLLEN spec_indicator;
    unsigned char *pointer; /* the large object's pointer: the column value */
    SQLSMALLINT pointer_length;
    SQLLEN pointer_indicator; /* SQL_NULL_DATA when the column holds no large object */
    unsigned char *status;
    SQLSMALLINT status_length;
    SQLLEN status_indicator;
    char *data;         /* bytes to write, or the bytes read and a NUL */
    SQLLEN data_length; /* to write (-1: no value); after a read the bytes read */
    int32_t data_size;  /* bytes to write, or the object's size found by a read;
                           before a read the larger of data_length and data_size
                           is taken as the capacity of data */
    SQLLEN size_indicator;
    SQLINTEGER access_mode;                    /* open flags of ifx_lo_create and ifx_lo_open */
    int32_t open;                              /* 1 while a large object is open */
    char column_name[DB_LOB_COLUMN_NAME_SIZE]; /* "table.column", or the column alone */
    SQLLEN name_indicator;                     /* length of the name plus 1 */
} DB_LOB_HANDLE;

#ifdef __cplusplus
extern "C" {
#endif

/* Clears the record and points it at the process connection. */
void db_cli_init(CLI_STATEMENT *cli);
/* 0 when a statement exists or was allocated; else the raw CLI return code. */
int32_t db_cli_allocate(CLI_STATEMENT *cli);
/* 0; -37 when the table is missing (SQLSTATE S0002); -51; or the raw code of
 * a failed allocation. */
int32_t db_cli_prepare(CLI_STATEMENT *cli, const char *sql);
int32_t db_cli_is_prepared(const CLI_STATEMENT *cli);
SQLHSTMT db_cli_get_handle(const CLI_STATEMENT *cli);
/* n >= 1: the next parameter (column) is n and 1 is returned; else 0. */
int32_t db_cli_set_bind_position(CLI_STATEMENT *cli, int32_t n);
int32_t db_cli_set_define_position(CLI_STATEMENT *cli, int32_t n);
/* Binds the next parameter as input. Without an indicator a text is sent
 * NUL-terminated and any other value with the zero indicator. 0; -51. */
int32_t db_cli_bind_by_pos(CLI_STATEMENT *cli, SQLSMALLINT c_type, SQLSMALLINT sql_type,
                           SQLULEN column_size, SQLPOINTER buffer, SQLLEN buffer_length,
                           SQLLEN *indicator);
/* Binds the next result column; without a length cell the record's own is
 * used. 0; -51; -66 without a length cell once the statement fetches rowsets
 * of more than one row. */
int32_t db_cli_define_by_pos(CLI_STATEMENT *cli, SQLSMALLINT c_type, SQLPOINTER buffer,
                             SQLLEN buffer_length, SQLLEN *length);
/* Executes; n > 1 fetches rowsets of n rows into the bound arrays. 0; -51;
 * -66 for rowsets of more than one row when a column was defined without a
 * length cell of its own (nothing is called then). */
int32_t db_cli_execute_stmt(CLI_STATEMENT *cli, int32_t n);
/* Fetches the next row (rowset). 0; -4 at the end; -51. */
int32_t db_cli_fetch(CLI_STATEMENT *cli);
SQLULEN db_cli_get_rows_fetched(const CLI_STATEMENT *cli);
/* Closes the cursor so the record can run another statement. 0; -51. */
int32_t db_cli_close_cursor(CLI_STATEMENT *cli);
void db_cli_reset_positions(CLI_STATEMENT *cli);
/* Frees the statement; a failed free keeps the handle for a later retry. */
void db_cli_free(CLI_STATEMENT *cli);
/* Frees a record that nothing will see again (a temporary record, a handle
 * being released): a failed free is retried once at once. */
void db_cli_free_last(CLI_STATEMENT *cli);
/* Reads diagnostic 1 of the connection or the statement into the record. */
void db_cli_error(CLI_STATEMENT *cli);
int32_t db_cli_sqlstate_is(const CLI_STATEMENT *cli, const char *sqlstate);
/* Runs the catalogue's column description. 0; -65 without a table; -51. */
int32_t db_cli_describe_columns(CLI_STATEMENT *cli, const char *catalog, const char *owner,
                                const char *table, const char *column);
/* *nullable := 0 or 1 for the column. 0; -1 when the driver does not know;
 * -4 when the column does not exist; -65 for a null table, column or out;
 * -51 or a raw CLI code on a failure. */
int32_t db_cli_column_is_nullable(const char *catalog, const char *owner, const char *table,
                                  const char *column, int32_t *nullable);
/* Runs one statement at once; modes 1 and 3 commit. 0 (also when no row was
 * touched); -25; -37; -51 (also when no statement can be allocated); an
 * unexpected CLI return code unchanged. With save_error the failure is
 * copied into the connection-level record. */
int32_t db_odbc_execute_ddlsql(const char *sql, int32_t save_error, int32_t mode);
/* 0; -51, the transaction then rolled back. */
int32_t db_odbc_commit(void);
int32_t db_odbc_rollback(void);

/* Copies the record's last failure into the connection-level extended error
 * record (engine code -51). */
void db_cli_save_error(const CLI_STATEMENT *cli);
/* The same into another record, a stream's (db_stream_xerr); a null record
 * is ignored. */
void db_cli_save_error_to(const CLI_STATEMENT *cli, DB_EXT_ERROR *xerr);

/* Creates a large-object handle for a blob column of table_name (null or empty:
 * the column name alone). 0; -12; -65 for a null column or out; -66 when
 * "table.column" does not fit the handle's name field. */
int32_t db_lob_handle_create(const char *table_name, const char *column, int32_t access_mode,
                             DB_LOB_HANDLE **out);
/* Reads the column's create spec (modes 1 and 2). 0 or 1; -12; a
 * raw CLI code. */
int32_t db_lob_create_spec(DB_LOB_HANDLE *lob, int32_t mode);
/* Writes (modes 1 and 2) or reads (any other mode) one large object. 0 or 1;
 * -12 (also for an object of 2 GiB or more); -65 before db_lob_create_spec;
 * -66 for a write whose data length is negative or above its data size;
 * a raw CLI code. A read that needs more room than data has reallocates it
 * (the size plus a NUL): the caller takes data back from the handle. */
int32_t db_lob_transfer(DB_LOB_HANDLE *lob, int32_t mode);
/* Closes the open large object, if any. 0 or 1; a raw CLI code. */
int32_t db_lob_close(DB_LOB_HANDLE *lob);
/* Frees the handle; the data buffer only with free_data (else it is the
 * caller's). 0. */
int32_t db_lob_handle_free(DB_LOB_HANDLE *lob, int32_t free_data);

#ifdef __cplusplus
}
#endif

#endif
