// Informix numbers that standard ODBC does not define: the CLI's user-defined
// SQL types, its information types and statement attribute, and the server's
// native errors the library tests. Every file names them from here; what each
// one means is the Informix client's and server's, the library passes them on
// or compares them as they are.
#ifndef DB_INFORMIX_INTERNAL_H
#define DB_INFORMIX_INTERNAL_H

/* ---- user-defined SQL types of the CLI (-100 to -104) ---------------------- */

#define DB_IFX_SQL_UDT_FIXED (-100)   /* fixed-size: large-object spec, pointer, status */
#define DB_IFX_SQL_UDT_VARYING (-101) /* varying-size: how extended (ST) columns are described */
#define DB_IFX_SQL_UDT_BLOB (-102)    /* large-object types of the type catalogue */
#define DB_IFX_SQL_UDT_CLOB (-103)
#define DB_IFX_SQL_UDT_LVARCHAR (-104)

/* ---- information types (SQLGetInfo): 2-byte lengths of large-object records */

#define DB_IFX_INFO_LO_SPEC_LENGTH 2250
#define DB_IFX_INFO_LO_POINTER_LENGTH 2251
#define DB_IFX_INFO_LO_STATUS_LENGTH 2252

/* ---- statement attribute (SQLSetStmtAttr) ----------------------------------- */

#define DB_IFX_ATTR_PARAM_ARRAYS 2255 /* 1 enables parameter arrays */

/* ---- native errors ----------------------------------------------------------- */

#define DB_IFX_NATIVE_PAST_LAST_COLUMN 111 /* a describe past the last column (positive) */
#define DB_IFX_NATIVE_TABLE_LOCKED (-289)
#define DB_IFX_NATIVE_NO_SUCH_COLUMN (-352)
#define DB_IFX_NATIVE_PASSED_370 (-370) /* the one-shot DDL passes it through to callers */
#define DB_IFX_NATIVE_NO_CONNECT_PERMISSION (-387)
#define DB_IFX_NATIVE_TABLE_NOT_FOUND (-523)
#define DB_IFX_NATIVE_CONSTRAINT_EXISTS (-625) /* a constraint name in use; passed through */
#define DB_IFX_NATIVE_TRIGGER_NOT_FOUND (-634)
#define DB_IFX_NATIVE_PASSED_673 (-673)        /* passed through to callers */
#define DB_IFX_NATIVE_ROUTINE_NOT_FOUND (-674) /* passed through to callers */
#define DB_IFX_NATIVE_DIRECTIVE_741 (-741)     /* a statement with a directive: counts as done */
#define DB_IFX_NATIVE_USER_UNKNOWN (-951)      /* user unknown or password wrong */
#define DB_IFX_NATIVE_BAD_PASSWORD (-952)
#define DB_IFX_NATIVE_9992 (-9992) /* the one-shot DDL maps it to -51 */

#endif
