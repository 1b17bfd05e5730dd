// Copies of what a table carries beside its columns: its grants, its B-tree
// indexes, its column defaults and its check constraints, read from the
// Informix catalogue of the source table (searched by its name and owner) and
// replayed as DDL on a target table, each statement committed by itself. An
// adds table gets them from its business table; raster tables get the grants
// of their user table.
#ifndef DB_TABLE_COPY_INTERNAL_H
#define DB_TABLE_COPY_INTERNAL_H

#include <stdint.h>

// Positions of a decoded systabauth privilege text, and the room of a word.
#define DB_PRIVILEGE_WORDS 10
#define DB_PRIVILEGE_WORD_SIZE 42
// The characters of a systabauth privilege text.
#define DB_TABAUTH_LENGTH 9
// The room of an index name in the lists of db_table_copy_indexes.
#define DB_COPY_INDEX_NAME_SIZE 160

// Decodes the letters of a privilege text (at most nine characters, up to
// its terminator), position i into words[i]: S SELECT, U UPDATE, I INSERT,
// D DELETE, A ALTER, X INDEX, R REFERENCES; an upper-case letter sets
// grant_option[i]. Other positions stay empty with their flag 0, and a null
// text leaves all ten empty. Returns 0, or -66 for a null words or flags.
int32_t db_table_decode_privileges(const char *text, char (*words)[DB_PRIVILEGE_WORD_SIZE],
                                   int32_t *grant_option);

// Grants on target what every grantee holds on source: one GRANT with the
// privileges it may pass on (WITH GRANT OPTION), one with the rest. Names
// take the form [database:]owner.table (the current user when there is no
// owner). Returns 0; -51 reading the catalogue (connection's record filled);
// -65; -66 or -322 for a target or grantee that is no name; -12; or the
// failing GRANT's code (the grants made before it stay).
int32_t db_table_copy_grants(const char *source, const char *target, int32_t unused);

// Makes on target a non-unique, ascending copy of every B-tree index of
// source, named after it with its blanks removed and "_a" appended, except
// the skip_count names of skip (compared without regard to case). With
// check_unique 0 a unique index must be one of the allowed names, else the
// copy stops with -195. The index clause comes from keyword by the storage
// selector (db_table_ddl.h). An index whose copy exists already is reported
// on standard error and passed over. Returns 0; -51; -12; -65; -195; or the
// index creation's code (the indexes made before stay).
int32_t db_table_copy_indexes(const char *source, const char *target,
                              const char (*skip)[DB_COPY_INDEX_NAME_SIZE], int32_t skip_count,
                              int32_t check_unique, const char (*allowed)[DB_COPY_INDEX_NAME_SIZE],
                              int32_t allowed_count, const char *keyword, int32_t storage);

// Gives every column of target the default its namesake has in source,
// through ALTER TABLE ... MODIFY with the source column's full type (and NOT
// NULL where the source has it). Serial, collection and row columns are
// passed over. Returns 0; -51 (a catalogue read or a failed ALTER); -55 a
// column type this copy cannot write; -65; -66; -322; -12.
int32_t db_table_copy_defaults(const char *source, const char *target);

// Adds to target every check constraint of source, its text put together
// from the catalogue's pieces in order. Returns 0; -51 (a catalogue read or a
// failed ALTER); -65; -66; -322; -12.
int32_t db_table_copy_check_constraints(const char *source, const char *target);

#endif
