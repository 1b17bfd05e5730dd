// The DBTUNE store inside the library: the storage records of layer, log-file
// and raster keywords, the rows of the table, the file reader, the built-in
// defaults and the migration steps behind the entry points.
#ifndef DB_DBTUNE_INTERNAL_H
#define DB_DBTUNE_INTERNAL_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "db/core/db_dbtune.h"

#define DBTUNE_NAME_SIZE 32       /* a keyword or parameter name read from a file */
#define DBTUNE_OLD_VALUE_SIZE 128 /* a single-word value of an old release */
#define DBTUNE_LINE_SIZE 2112     /* a file line of at most 2,111 characters */
#define DBTUNE_FETCH_ROWS 100     /* rows of one block fetch */
#define DBTUNE_COUNTER_OWN 100    /* counter step of a row of the asked keyword */

/* Storage of a layer keyword. The counter grows by 100 per row of the keyword
 * and by 1 per DEFAULTS row: 100 or more means the keyword is in the store.
 * The fields after MVTABLES_MODIFIED_INDEX hold what a dbtune file of an
 * older release gives. */
typedef struct DBTUNE_LAYER_CONFIG {
    int16_t counter;
    char B_STORAGE[DBTUNE_CLAUSE_SIZE];
    char B_INDEX_ROWID[DBTUNE_CLAUSE_SIZE];
    char B_INDEX_USER[DBTUNE_CLAUSE_SIZE];
    char B_RTREE[DBTUNE_CLAUSE_SIZE];
    char A_STORAGE[DBTUNE_CLAUSE_SIZE];
    char A_INDEX_ROWID[DBTUNE_CLAUSE_SIZE];
    char A_INDEX_STATEID[DBTUNE_CLAUSE_SIZE];
    char A_INDEX_USER[DBTUNE_CLAUSE_SIZE];
    char A_RTREE[DBTUNE_CLAUSE_SIZE];
    char D_STORAGE[DBTUNE_CLAUSE_SIZE];
    char D_INDEX_STATE_ROWID[DBTUNE_CLAUSE_SIZE];
    char D_INDEX_DELETED_AT[DBTUNE_CLAUSE_SIZE];
    char S_STORAGE[DBTUNE_CLAUSE_SIZE];
    char STATES_TABLE[DBTUNE_CLAUSE_SIZE];
    char STATES_INDEX[DBTUNE_CLAUSE_SIZE];
    char STATE_LINEAGES_TABLE[DBTUNE_CLAUSE_SIZE];
    char VERSIONS_TABLE[DBTUNE_CLAUSE_SIZE];
    char VERSIONS_INDEX[DBTUNE_CLAUSE_SIZE];
    char MVTABLES_MODIFIED_TABLE[DBTUNE_CLAUSE_SIZE];
    char MVTABLES_MODIFIED_INDEX[DBTUNE_CLAUSE_SIZE];
    char B_INDEX_1[DBTUNE_CLAUSE_SIZE];
    char A_INDEX_1[DBTUNE_CLAUSE_SIZE];
    char A_INDEX_2[DBTUNE_CLAUSE_SIZE];
    char D_INDEX_1[DBTUNE_CLAUSE_SIZE];
    char D_INDEX_2[DBTUNE_CLAUSE_SIZE];
    char A_TBLSP[DBTUNE_OLD_VALUE_SIZE];
    char A_IX_TBLSP[DBTUNE_OLD_VALUE_SIZE];
    char A_SBLOB_DBS[DBTUNE_OLD_VALUE_SIZE];
    int16_t A_CLUSTER;
    int32_t A_INIT;
    int32_t A_NEXT;
    int32_t A_IX_FILL;
    int32_t A_LOCK_ROW;
} DBTUNE_LAYER_CONFIG;

/* Storage of a log-file keyword (same counter rule). */
typedef struct DBTUNE_LOGFILE_CONFIG {
    int16_t counter;
    char LF_STORAGE[DBTUNE_CLAUSE_SIZE];
    char LF_INDEXES[DBTUNE_CLAUSE_SIZE];
    char LD_STORAGE[DBTUNE_CLAUSE_SIZE];
    char LD_INDEX_DATA_ID[DBTUNE_CLAUSE_SIZE];
    char LD_INDEX_ROWID[DBTUNE_CLAUSE_SIZE];
    char LD_INDEX_1[DBTUNE_CLAUSE_SIZE];
    char LD_INDEX_2[DBTUNE_CLAUSE_SIZE];
} DBTUNE_LOGFILE_CONFIG;

/* Storage of a raster keyword; no counter. */
typedef struct DBTUNE_RASTER_CONFIG {
    char RAS_STORAGE[DBTUNE_CLAUSE_SIZE];
    char RAS_INDEX_ID[DBTUNE_CLAUSE_SIZE];
    char BND_STORAGE[DBTUNE_CLAUSE_SIZE];
    char BND_INDEX_ID[DBTUNE_CLAUSE_SIZE];
    char BND_INDEX_COMPOSITE[DBTUNE_CLAUSE_SIZE];
    char AUX_STORAGE[DBTUNE_CLAUSE_SIZE];
    char AUX_INDEX_COMPOSITE[DBTUNE_CLAUSE_SIZE];
    char BLK_STORAGE[DBTUNE_CLAUSE_SIZE];
    char BLK_INDEX_COMPOSITE[DBTUNE_CLAUSE_SIZE];
    char RAS_INDEX_1[DBTUNE_CLAUSE_SIZE];
    char BND_INDEX_1[DBTUNE_CLAUSE_SIZE];
    char BND_INDEX_2[DBTUNE_CLAUSE_SIZE];
    char AUX_INDEX_1[DBTUNE_CLAUSE_SIZE];
    char BLK_INDEX_1[DBTUNE_CLAUSE_SIZE];
} DBTUNE_RASTER_CONFIG;

/* DBTUNE rows as three parallel arrays of heap texts; the list owns them. */
typedef struct DBTUNE_ROW_LIST {
    char **keywords;
    char **names;
    char **values;
    int32_t count;
} DBTUNE_ROW_LIST;

/* Clauses built from the single-word and numeric parameters of old releases. */
typedef struct DBTUNE_LEGACY_CLAUSES {
    char tablespace[DBTUNE_CLAUSE_SIZE];       /* " IN %s " */
    char extent[DBTUNE_CLAUSE_SIZE];           /* extent sizes and lock mode */
    char fill_factor[DBTUNE_CLAUSE_SIZE];      /* " FILLFACTOR %d " */
    char index_tablespace[DBTUNE_CLAUSE_SIZE]; /* " IN %s " */
} DBTUNE_LEGACY_CLAUSES;

/* Built-in keywords, in the order of their completeness flags. */
enum {
    DBTUNE_KW_DEFAULTS,
    DBTUNE_KW_LOGFILE_DEFAULTS,
    DBTUNE_KW_NETWORK_DEFAULTS,
    DBTUNE_KW_NETWORK_NETWORK,
    DBTUNE_KW_NETWORK_DESC,
    DBTUNE_KW_DATA_DICTIONARY,
    DBTUNE_KW_COUNT
};
#define DBTUNE_BUILTIN_COUNT 63

/* ---- the parameter table (db_dbtune_params.cpp) ---- */

/* The record that holds a parameter's value, and the kind of its field. */
enum { DBTUNE_IN_NONE, DBTUNE_IN_LAYER, DBTUNE_IN_LOGFILE, DBTUNE_IN_RASTER };
enum {
    DBTUNE_FIELD_NONE,
    DBTUNE_FIELD_CLAUSE, /* DBTUNE_CLAUSE_SIZE bytes of text */
    DBTUNE_FIELD_WORD,   /* DBTUNE_OLD_VALUE_SIZE bytes: a single word of an old release */
    DBTUNE_FIELD_INT16,
    DBTUNE_FIELD_INT32
};

/* Kinds of a parameter (bits). */
#define DBTUNE_KIND_LAYER_READ 0x001   /* read for a layer keyword, DEFAULTS filling in */
#define DBTUNE_KIND_DICTIONARY 0x002   /* a system table's: only under DATA_DICTIONARY */
#define DBTUNE_KIND_LOGFILE_READ 0x004 /* read for a log-file keyword */
#define DBTUNE_KIND_RASTER_READ 0x008  /* read for a raster keyword */
#define DBTUNE_KIND_TEXT 0x010         /* COMMENT, UI_TEXT, UI_NETWORK_TEXT */
#define DBTUNE_KIND_IMPORT 0x020       /* inserted by the file import, in table order */
#define DBTUNE_KIND_OLD_INDEX 0x040    /* an index parameter of older releases (_1, _2) */
#define DBTUNE_KIND_OLD_WORD 0x080     /* a single-word parameter of older releases */
#define DBTUNE_KIND_OLD_NUMBER 0x100   /* a numeric parameter of older releases */

/* Ranks of the built-in defaults run from 1 to this. */
#define DBTUNE_DEFAULT_RANKS 27

/* One parameter. A known value parameter (exported in quotes) is one with a
 * clause field or of kind TEXT. */
typedef struct DBTUNE_PARAM {
    const char *name;
    uint8_t record;           /* DBTUNE_IN_* */
    uint8_t field;            /* DBTUNE_FIELD_* */
    uint16_t offset;          /* of the field in its record */
    uint16_t kinds;           /* DBTUNE_KIND_* */
    const char *import_from;  /* file import: the older parameter its value falls back to */
    uint8_t legacy;           /* file import: then the legacy clause 1 (storage), 2 (index) */
    const char *migrate_from; /* migration: the older parameter whose value it takes */
    const char *default_text; /* the built-in default, null when none */
    uint8_t marks;            /* built-in keywords that must hold it: 1 << DBTUNE_KW_* */
    uint8_t default_rank;     /* its place among a built-in keyword's defaults; 0 none */
} DBTUNE_PARAM;

/* One built-in row: a built-in keyword (DBTUNE_KW_*) and its parameter. */
typedef struct DBTUNE_BUILTIN {
    int keyword;
    const DBTUNE_PARAM *param;
} DBTUNE_BUILTIN;

#ifdef __cplusplus
extern "C" {
#endif

/* The whole table and its size. */
const DBTUNE_PARAM *db_dbtune_param_table(size_t *count);
/* The parameter of that name (any case); null when there is none. */
const DBTUNE_PARAM *db_dbtune_param_find(const char *name);
/* 1 when name is a parameter of one of the kinds. */
int32_t db_dbtune_param_is(const char *name, uint32_t kinds);
/* The DBTUNE_BUILTIN_COUNT built-in rows in the inserter's order: keyword by
 * keyword (DBTUNE_KW_* order), each keyword's parameters by rank. The found
 * marks are indexed alike. */
const DBTUNE_BUILTIN *db_dbtune_builtins(void);

/* ---- storage configuration by keyword (db_dbtune.cpp) ---- */

/* Cuts blanks, newlines and tabs from the end of text; a null text is left. */
void db_trim_trailing_blanks(char *text);
/* Each returns 0 (a keyword without rows leaves the counter below 100) or
 * the block fetch's failure. */
int32_t db_read_layer_storage_config(DBTUNE_LAYER_CONFIG *config, const char *keyword);
int32_t db_read_logfile_storage_config(DBTUNE_LOGFILE_CONFIG *config, const char *keyword);
/* 0; -65 for a null record or keyword; -313 when no row is the keyword's. */
int32_t db_read_raster_storage_config(DBTUNE_RASTER_CONFIG *config, const char *keyword);
/* Fetches rows into *rows (freed with db_dbtune_row_list_free). Mode 2: all
 * rows by keyword; 0: the keyword's; other: the keyword's or keyword2's.
 * A keyword over 32 characters is cut with a warning. 0; -66 for an
 * empty mode 0 or 1 keyword; -12;
 * -51 with the connection's record filled; a bind's CLI result. */
int32_t db_dbtune_fetch_rows(const char *keyword, const char *keyword2, DBTUNE_ROW_LIST *rows,
                             int32_t mode);
/* Writes the table to $ZELHOME/etc/<file_name>. 0; -287 without ZELHOME, for
 * a name that leaves etc ("/" or ".."), or when the file cannot be opened;
 * or the fetch's failure. */
int32_t db_copy_dbtune_TableToFile(DB_INSTANCE *instance, const char *file_name, int32_t unused);
int32_t db_dbtune_is_storage_param(const char *name);
/* out (DBTUNE_CLAUSE_SIZE bytes) gets the value's first word when it is a
 * whole number of at least 1 or "UNLIMITED"; returns out, else null. */
char *db_dbtune_parse_size(const char *value, char *out);

/* ---- rows and records (db_dbtune_rows.cpp) ---- */

/* Appends copies of the three texts (a null value counts as empty); -12. */
int32_t db_dbtune_row_list_add(DBTUNE_ROW_LIST *rows, const char *keyword, const char *name,
                               const char *value);
/* Frees every text and the arrays; the list is left empty. */
void db_dbtune_row_list_free(DBTUNE_ROW_LIST *rows);
void db_dbtune_clear_layer_config(DBTUNE_LAYER_CONFIG *config);
void db_dbtune_clear_logfile_config(DBTUNE_LOGFILE_CONFIG *config);
void db_dbtune_clear_raster_config(DBTUNE_RASTER_CONFIG *config);
/* 1 when name equals one of the count names of list, without regard to case. */
int32_t db_dbtune_name_in(const char *const *list, size_t count, const char *name);
/* Sets the connection's extended error record from a stored procedure's
 * result: codes -20001 to -20998 become the engine code they stand for
 * (native error 0), others -51 with the result as native error; the message
 * names the procedure. Returns the record's code. */
int32_t db_dbtune_set_procedure_xerr(int32_t result, const char *procedure);
/* Case-blind prefix test over the length of prefix. */
int32_t db_dbtune_begins_with(const char *text, const char *prefix);
/* Copies text (null: empty) into a field of size bytes, cut with a warning
 * naming what when longer. */
void db_dbtune_copy_field(char *field, size_t size, const char *text, const char *what);
/* The clause field named name (any case) in whichever of the records has
 * one (null records are passed over); null when none has. Every field is
 * DBTUNE_CLAUSE_SIZE bytes. */
char *db_dbtune_field(DBTUNE_LAYER_CONFIG *layer, DBTUNE_LOGFILE_CONFIG *logfile,
                      DBTUNE_RASTER_CONFIG *raster, const char *name);

/* ---- the dbtune file (db_dbtune_file.cpp) ---- */

/* Path $ZELHOME/etc/<file_name> into out; -287 without ZELHOME or for a
 * name holding "/" or "..", -66 when it does not fit. */
int32_t db_dbtune_file_path(const char *file_name, char *out, size_t size);
int32_t db_dbtune_is_known_param(const char *name);
int32_t db_dbtune_is_text_param(const char *name);
/* 1 when line is a section header "##KEYWORD" (after blanks and tabs, not
 * "###", something after the hashes); its keyword, cut to 31 characters,
 * into word (DBTUNE_NAME_SIZE bytes). */
int32_t db_dbtune_header_keyword(const char *line, char *word);
/* Reads lines up to one that holds a word (left-trimmed, cut at "#", kept
 * in line, DBTUNE_LINE_SIZE bytes); its first word into word
 * (DBTUNE_NAME_SIZE bytes). 0; -4 at the end of the file. */
int32_t db_dbtune_read_next_line(char *line, char *word, FILE *file);
/* Reads one section body; line holds the first line after the header.
 * 0; -12 when a row cannot be appended (never with rows_off set). */
int32_t db_dbtune_read_section(FILE *file, DBTUNE_LAYER_CONFIG *layer,
                               DBTUNE_LOGFILE_CONFIG *logfile, DBTUNE_RASTER_CONFIG *raster,
                               int32_t rows_off, const char *keyword, DBTUNE_ROW_LIST *rows,
                               char *line);
int32_t db_dbtune_build_storage_clause(const DBTUNE_LAYER_CONFIG *layer,
                                       DBTUNE_LEGACY_CLAUSES *clauses);
/* Imports the file into the table. 0; -287; -51 (rolled back; failed row
 * filled when the insert reached the procedure). strict 0: a missing file
 * means the built-in defaults (inserted and committed; -287 all the same). */
int32_t db_copy_dbtune_FileToTable(DB_INSTANCE *instance, const char *file_name,
                                   DBTUNE_FAILED_ROW *failed, int32_t strict);

/* ---- built-in defaults (db_dbtune_defaults.cpp) ---- */

extern int32_t dbtune_found_marks[DBTUNE_BUILTIN_COUNT];
void db_dbtune_clear_marks(void);
/* Sets the mark of (built-in keyword index, parameter); 0 when none matches.
 * prefix 1 matches a parameter name that begins with the built-in one. */
int32_t db_dbtune_set_mark(int32_t keyword, const char *parameter, int32_t prefix);
/* The name of a built-in keyword index; null out of range. */
const char *db_dbtune_builtin_keyword(int32_t keyword);
/* 1 when every mark of the built-in keyword is set. */
int32_t db_dbtune_keyword_complete(int32_t keyword);
/* The call text "{ call <admin>.insert_dbtune (?,?,?) }". */
int32_t db_dbtune_insert_call(char *out, size_t size);
int32_t db_dbtune_insert_row(const char *call, const char *keyword, const char *name,
                             const char *value, DBTUNE_FAILED_ROW *failed);
/* complete[DBTUNE_KW_COUNT]: 1 passes a keyword over. 0 or the first failure. */
int32_t db_dbtune_insert_defaults(const char *file_name, const int32_t *complete,
                                  DBTUNE_FAILED_ROW *failed);

/* ---- migration and file reading (db_dbtune_migrate.cpp) ---- */

int32_t db_dbtune_migrate_index_params(DB_INSTANCE *instance, DBTUNE_FAILED_ROW *failed);
int32_t db_dbtune_rename_index_params(const DBTUNE_LAYER_CONFIG *layer,
                                      const DBTUNE_LOGFILE_CONFIG *logfile,
                                      const DBTUNE_RASTER_CONFIG *raster, const char *keyword,
                                      DBTUNE_FAILED_ROW *failed);
int32_t db_dbtune_add_missing_defaults(DB_INSTANCE *instance, DBTUNE_FAILED_ROW *failed);
int32_t db_read_dbtuneFile_paramsForAKeyword(const char *keyword, const char *file_name,
                                             DBTUNE_LAYER_CONFIG *layer,
                                             DBTUNE_LOGFILE_CONFIG *logfile,
                                             DBTUNE_RASTER_CONFIG *raster);

#ifdef __cplusplus
}

template <size_t N>
static inline bool db_dbtune_name_in(const char *const (&list)[N], const char *name)
{
    return db_dbtune_name_in(list, N, name) != 0;
}
#endif

#endif
