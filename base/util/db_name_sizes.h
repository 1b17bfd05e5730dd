/* Widths of the names the engine keeps, terminator included: one set for the
 * fixed fields of the records (layers, rasters, registrations, log files,
 * filters, statistics, locks, column definitions), the name builders and
 * parsers of db/core and every buffer that holds a name. */
#ifndef DB_NAME_SIZES_H
#define DB_NAME_SIZES_H

#define DB_NAME_DATABASE_SIZE 32
#define DB_NAME_OWNER_SIZE 32
#define DB_NAME_TABLE_SIZE 160
#define DB_NAME_COLUMN_SIZE 32
#define DB_NAME_VERSION_SIZE 64
#define DB_NAME_KEYWORD_SIZE 32     /* a DBTUNE configuration keyword */
#define DB_NAME_FULL_TABLE_SIZE 226 /* database:owner.table in a record's field */
#define DB_USER_NAME_SIZE 36        /* a user name of at most 35 characters */
#define DB_TYPE_NAME_SIZE 129       /* a DBMS type name of at most 128 characters */
/* database:'owner'.table as the name builders write it, and its terminator. */
#define DB_QUALIFIED_NAME_SIZE (DB_NAME_DATABASE_SIZE + DB_NAME_OWNER_SIZE + DB_NAME_TABLE_SIZE + 4)

#endif
