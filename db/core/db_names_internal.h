// Qualified names of every table, index, sequence, trigger and routine the
// engine creates. Names take the form database:owner.table; the adds,
// deletes and equivalence tables of a registration quote their owner
// (database:'owner'.A12). Every builder is given its output's capacity: a
// name that would not fit leaves an empty output and gives -66.
#ifndef DB_NAMES_INTERNAL_H
#define DB_NAMES_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#include <string>
#include <string_view>
#endif

#include "db/core/db_names.h"

typedef struct DB_STREAM DB_STREAM;
typedef struct RASTERCOLUMN RASTERCOLUMN;

// Catalogue tables and routines of the administrative database (owner "zel").
int32_t db_make_geometry_columns_name(char *out, size_t size);
int32_t db_make_spatial_references_name(DB_INSTANCE *instance, char *out, size_t size);
int32_t db_make_metadata_table_name(char *out, size_t size);
int32_t db_make_locators_table_name(char *out, size_t size);
int32_t db_make_raster_columns_name(char *out, size_t size);
int32_t db_make_layers_table_name(DB_INSTANCE *instance, char *out, size_t size);
int32_t db_make_states_table_name(DB_INSTANCE *instance, char *out, size_t size);
int32_t db_make_state_lineages_table_name(DB_INSTANCE *instance, char *out, size_t size);
int32_t db_make_table_registry_name(DB_INSTANCE *instance, char *out, size_t size);
int32_t db_make_mvtables_modified_name(DB_INSTANCE *instance, char *out, size_t size);
int32_t db_make_versions_table_name(DB_INSTANCE *instance, char *out, size_t size);
int32_t db_make_release_table_name(DB_INSTANCE *instance, char *out, size_t size);
int32_t db_make_dbtune_table_name(DB_INSTANCE *instance, char *out, size_t size);
int32_t db_make_admin_object_name(DB_INSTANCE *instance, const char *object, char *out,
                                  size_t size);

// Raster-column objects. The first four read the raster column by id; when
// it cannot be read the bare name is written, and a read that failed (-51,
// -12) is also the result.
int32_t db_make_raster_table_name(DB_STREAM *stream, int32_t id, char *out, size_t size);
int32_t db_make_band_table_name(DB_STREAM *stream, int32_t id, char *out, size_t size);
int32_t db_make_aux_table_name(DB_STREAM *stream, int32_t id, char *out, size_t size);
int32_t db_make_block_table_name(DB_STREAM *stream, int32_t id, char *out, size_t size);
int32_t db_make_block_table_name_from_info(const RASTERCOLUMN *info, char *out, size_t size);
int32_t db_make_block_unique_index_name(int32_t id, char *out, size_t size);

// Layer objects. The first two read the cached layer by id; when it cannot be
// read the bare name is written.
int32_t db_make_layer_f_table_name(DB_STREAM *stream, int32_t id, char *out, size_t size);
int32_t db_make_layer_s_table_name(DB_STREAM *stream, int32_t id, char *out, size_t size);
int32_t db_make_qualified_name_from_info(const LAYER *layer, char *out, size_t size);
int32_t db_get_qualify_table_name(const LAYER *layer, char *out, size_t size);
int32_t db_make_empty_layer_name(const LAYER *layer, char *out, size_t size, int32_t flag);

// Plain tables.
int32_t db_make_qualified_name(const char *database, const char *owner, const char *table,
                               char *out, size_t size);
int32_t db_table_make_name(const char *database, const char *owner, const char *spec, char *out,
                           size_t size);

// Registered tables.
int32_t db_make_adds_table_name(DB_INSTANCE *instance, int32_t id, const char *database,
                                const char *owner, char *out, size_t size);
int32_t db_make_deletes_table_name(DB_INSTANCE *instance, int32_t id, const char *database,
                                   const char *owner, char *out, size_t size);
int32_t db_make_e_table_name(DB_INSTANCE *instance, int32_t id, const char *database,
                             const char *owner, char *out, size_t size);
int32_t db_make_l_table_name(int32_t id, const char *owner, char *out, size_t size);
// Operation 0 insert, 1 delete, 2 update; any other leaves out untouched (-66).
int32_t db_make_view_trigger_name(int32_t id, int32_t operation, char *out, size_t size);
int32_t db_make_rowid_sequence_name(int32_t id, const char *owner, char *out, size_t size);
int32_t db_make_adds_index_name(const char *base_index, char *out, size_t size);

// Per-user log-file tables (database empty: the current one).
int32_t db_make_logfiles_table_name(const char *database, const char *user, char *out, size_t size);
int32_t db_make_logfile_data_table_name(const char *database, const char *user, char *out,
                                        size_t size);

// The parsers behind DB_table_parse_name and DB_column_parse_name, with the
// owner to assume when the name has none.
int32_t db_parse_table_name(DB_INSTANCE *instance, const char *name, const char *default_owner,
                            char *database, char *owner, char *table);
int32_t db_parse_column_name(DB_INSTANCE *instance, const char *name, const char *default_owner,
                             char *database, char *owner, char *table, char *column);
int32_t db_table_name_matches(DB_INSTANCE *instance, const char *name, const char *database,
                              const char *owner, const char *table);
int32_t db_column_name_matches(DB_INSTANCE *instance, const char *name, const char *default_owner,
                               const char *database, const char *owner, const char *table,
                               const char *column);

// Doubles every single quote of text in place. Returns 0, -65, or -66 when
// the doubled text would not fit in size bytes (text unchanged).
int32_t db_escape_quotes(char *text, size_t size);

#ifdef __cplusplus
// The text with every single quote doubled, for a quoted SQL literal.
std::string db_quote_literal(std::string_view text);
#endif

#endif
