// The log-file system's shared pieces: name parsing, the statement runner,
// the read of log rows, the sequence, data-id renewal, and the open-log
// descriptors with their 100-id buffer. db_log.cpp holds the catalogue side
// and the process's log state; db_log_open.cpp the descriptors.
#ifndef DB_LOG_INTERNAL_H
#define DB_LOG_INTERNAL_H

#include <stdint.h>

#include "db/catalog/db_log.h"
#include "db/core/db_cli_internal.h"

/* Ids a descriptor buffers, and rows of one read of log rows. */
#define DB_LOG_ID_BUFFER 100
/* Flags of a temporary log: exactly one of these. */
#define DB_LOG_TEMPORARY_TABLE LOGINFO_TABLE
#define DB_LOG_TEMPORARY_LAYER LOGINFO_LAYER
/* Pending kinds of a write descriptor. */
#define DB_LOG_PENDING_ADDS 0
#define DB_LOG_PENDING_REMOVALS 1

/* One open log. */
typedef struct DB_LOGFILE_DESC {
    int32_t number;           /* handed to the caller: 1, 2, ... never reused */
    LOGFILE log;              /* the log as completed by the open */
    int32_t mode;             /* DB_LOG_READ ... DB_LOG_CREATE */
    CLI_STATEMENT statement1; /* write modes: the INSERT; read mode: the SELECT */
    CLI_STATEMENT statement2; /* the removal UPDATE, made on first removal */
    int32_t statement1_ready;
    int32_t statement2_ready;
    int32_t pending; /* DB_LOG_PENDING_*: what the buffer holds */
    int32_t ids[DB_LOG_ID_BUFFER];
    SQLLEN lengths[DB_LOG_ID_BUFFER]; /* indicators of ids, as parameters or fetched */
    int32_t id_count;    /* ids taken (write modes) or delivered (read mode) since the open */
    int32_t buffered;    /* ids in the buffer; read mode: size of the last rowset */
    int32_t last_result; /* 0; -51 after a failed write or read; -4 after the end of a read */
    struct DB_LOGFILE_DESC *next;
} DB_LOGFILE_DESC;

/* Parts of a parsed log name (database, owner, bare name). */
#define DB_LOG_DATABASE_SIZE 32
#define DB_LOG_OWNER_SIZE 32
#define DB_LOG_BARE_SIZE 160

#ifdef __cplusplus
extern "C" {
#endif

/* 1 between DB_log_init and DB_log_end. */
int32_t db_log_is_initialised(void);

/* Splits [database:][owner<sep>]name, where <sep> is the last '\', else
 * '|', ',', ';', '!' or blank (the first kind found), else '.'; default
 * owner: the given one, else the current user; default database: the
 * current one; the database and name folded to lower case. Database and
 * owner must be identifiers. 0; -66 for a null name or a name that does not
 * parse. */
int32_t db_log_parse_name(const char *name, const char *default_owner, char *database, char *owner,
                          char *bare);
/* 1 when the current user may write the owner's logs: the owner is the
 * current user, or the current user is "zel". */
int32_t db_log_may_write(const char *owner);
/* Runs an UPDATE, DELETE or INSERT ... SELECT; mode 2 does not commit, 1
 * and 3 do. 0; -43 when no row was touched; -44 for a refused permission;
 * other codes of the one-shot statement. */
int32_t db_log_execute_sql(const char *sql, int32_t mode);
/* Reads the owner's log rows (database empty: the current one), restricted
 * by a condition (SQL without WHERE, or null), into one heap block of
 * *count records (null when there are none). 0; -12; -51 (connection's
 * record filled). */
int32_t db_log_select(const char *database, const char *owner, const char *where, LOGFILE **list,
                      int32_t *count);
/* Draws the next number of the owner's sequence function, committed. 0;
 * -51 (connection's record filled). */
int32_t db_log_next_value(const char *database, const char *owner, int32_t *value);
/* Gives the log a new data id, which empties it (not committed). 0; -43
 * when the log row is gone; -51. */
int32_t db_log_renew_data_id(const char *database, const char *owner, LOGFILE *log);
/* Checks and deletes the named log (not committed). As DB_log_delete. */
int32_t db_log_delete_by_name(const char *name);
/* Completes a record from the host's registration of its table: when the
 * record has no registration yet, looks the table up, rewrites the table
 * as database:owner.table and sets the registration id. 0; -37 when the
 * registration has id 0; the look-up's failure. */
int32_t db_log_complete_registration(LOGFILE *log);
/* Copies a log record over another, keeping the target's tag word. */
void db_log_copy_record(LOGFILE *target, const LOGFILE *source);

/* 1 when a descriptor is open on the log of that name (the current user as
 * default owner); 0 when none is, the log system is not started or the name
 * does not parse. */
int32_t db_log_is_open(const char *name);
/* Writes a descriptor's buffered adds, then its removals. 0; -66; -44 on a
 * read descriptor; -45 statement not ready; -51. */
int32_t db_log_flush(DB_LOGFILE_DESC *descriptor);
/* The open descriptor of that number, or null. */
DB_LOGFILE_DESC *db_log_find_descriptor(int32_t number);
/* The newest open descriptor (the list goes on through next), or null. */
DB_LOGFILE_DESC *db_log_first_descriptor(void);
/* Frees every descriptor without writing its buffer. */
void db_log_free_descriptors(void);
/* Adds to a write descriptor's log the id column of every row of a query:
 * "FROM <from> WHERE <where>" (with a non-empty from list) or the log's own
 * table. Buffered ids are not written first. Not committed. 0 (also when no
 * row was selected); -45; -44 on a read descriptor; -66; -12; codes of the
 * one-shot statement. */
int32_t db_log_add_ids_from_query(DB_INSTANCE *instance, int32_t number, const char *unused,
                                  const char *from, const char *where);

/* Records a failed statement's diagnostic in the connection's record unless
 * a step below (a refused commit) has filled it already; gives -51. */
int32_t db_log_statement_failure(SQLHSTMT *hstmt, int rc);

#ifdef __cplusplus
}

#include <string.h>

#include <string>

// The three parts of a parsed log name (the current user as default owner).
struct db_log_name {
    char database[DB_LOG_DATABASE_SIZE];
    char owner[DB_LOG_OWNER_SIZE];
    char bare[DB_LOG_BARE_SIZE];

    int32_t parse(const char *name)
    {
        return db_log_parse_name(name, nullptr, database, owner, bare);
    }
    bool operator==(const db_log_name &other) const
    {
        return strcmp(database, other.database) == 0 && strcmp(owner, other.owner) == 0 &&
               strcmp(bare, other.bare) == 0;
    }
};

// The owner's log table, data table and sequence function (database empty:
// the current one); empty when the name does not fit.
std::string db_log_table_name(const char *database, const char *owner);
std::string db_log_data_table_name(const char *database, const char *owner);
std::string db_log_function_name(const char *database, const char *owner);
#endif

#endif
