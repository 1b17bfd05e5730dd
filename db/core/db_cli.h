// The CLI statement record: a statement handle with its running bind and
// define positions, indicator cells and the last diagnostic of its own.
#ifndef DB_CLI_H
#define DB_CLI_H

#include <sql.h>
#include <stdint.h>

#define DB_CLI_MESSAGE_SIZE 512
#define DB_CLI_SQLSTATE_SIZE 6

typedef struct CLI_STATEMENT {
    SQLHDBC hdbc;              /* the process connection */
    SQLHSTMT hstmt;            /* null = none */
    int16_t diag_kind;         /* 2 = diagnostics of the connection, 3 = of the statement */
    int32_t next_param;        /* last parameter bound */
    int32_t next_column;       /* last column defined */
    SQLULEN rows_fetched;
    SQLLEN column_length;      /* length cell of a define that gives none */
    SQLLEN zero_indicator;     /* 0 */
    SQLLEN nts_indicator;      /* SQL_NTS */
    int32_t native_error;
    char message[DB_CLI_MESSAGE_SIZE];
    char sqlstate[DB_CLI_SQLSTATE_SIZE];
    int32_t prepared;
} CLI_STATEMENT;

#endif
