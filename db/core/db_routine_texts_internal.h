// The engine's stored routines as one reviewable table: every SPL routine of
// the administrative database with its group and its CREATE text, in the
// order the catalogue creation makes them (db_procedures.h). Texts name
// tables, users and other routines through ${...} tokens, which
// db_routine_text_format fills from the qualified-name builders.
#ifndef DB_ROUTINE_TEXTS_INTERNAL_H
#define DB_ROUTINE_TEXTS_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#include <string>
#endif

typedef struct DB_INSTANCE DB_INSTANCE;

// What release_procedure returns; older stored routines return less.
#define DB_ROUTINE_RELEASE 11
// Number of engine routines.
#define DB_ROUTINE_COUNT 58

// Routine groups, in the order the creation runs them.
#define DB_ROUTINES_RELEASE 1
#define DB_ROUTINES_REGISTRATIONS 2
#define DB_ROUTINES_STATES 3
#define DB_ROUTINES_VERSIONS 4
#define DB_ROUTINES_SPATIAL_REFERENCES 5
#define DB_ROUTINES_LAYERS 6
#define DB_ROUTINES_RASTER_COLUMNS 7
#define DB_ROUTINES_METADATA 8
#define DB_ROUTINES_LOCATORS 9
#define DB_ROUTINES_DBTUNE 10
#define DB_ROUTINES_GROUP_COUNT 10

typedef struct DB_ROUTINE_TEXT {
    int32_t group;        // DB_ROUTINES_*
    const char *name;     // bare name, as the undo drops it
    int32_t lineage_kind; // -1; else the getter kind whose bare name it is created under
    const char *text;     // CREATE text with ${...} tokens
} DB_ROUTINE_TEXT;

// Every routine, group by group, each group in creation order.
extern const DB_ROUTINE_TEXT db_routine_texts[DB_ROUTINE_COUNT];
// The routine names in the order the catalogue's currency check lists them.
extern const char *const db_routine_check_names[DB_ROUTINE_COUNT];
// The CREATE ROW TYPE of version_info (the state row types are made by
// executing create_global_and_types).
extern const char db_version_info_type_text[];

// The entry of a bare name, or null.
const DB_ROUTINE_TEXT *db_routine_text_find(const char *name);

// The routines of a group in the order the group drops them before creating
// them again (the creation order, except for the state and version groups).
// Writes up to max entries; returns the group's count.
size_t db_routine_drop_order(int32_t group, const DB_ROUTINE_TEXT **out, size_t max);

// The name SQL calls the routine by: the administrative name
// database:zel.name, or the bare name of a lineage getter. Returns 0, or -66
// when out (size bytes) is too small or a name cannot be built.
int32_t db_routine_sql_name(DB_INSTANCE *instance, const DB_ROUTINE_TEXT *routine, char *out,
                            size_t size);

#ifdef __cplusplus
// The routine's CREATE text with every token filled: ${NAME} (its SQL name),
// the name of any other routine of the table, ${GLOBALS} (the connection
// globals shared by the state and version routines), ${RELEASE}, ${DBA}
// (the administrative user), ${ADMIN_DB} and the catalogue tables (${LAYERS},
// ${STATES}, ...). Returns 0, or -66 for an unknown or unclosed token or a
// name that cannot be built.
int32_t db_routine_text_format(DB_INSTANCE *instance, const DB_ROUTINE_TEXT *routine,
                               std::string *out);
#endif

#endif
