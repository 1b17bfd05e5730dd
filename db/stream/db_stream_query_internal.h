// The library's side of a query stream's set-up: binding filters to the
// stream's layer and the SELECT text built from the host's description.
#ifndef DB_STREAM_QUERY_INTERNAL_H
#define DB_STREAM_QUERY_INTERNAL_H

#include <string>

#include "db/stream/db_stream_query.h"

/* Longest column name and table name of a query description (the
 * terminator not counted). */
#define DB_QUERY_COLUMN_MAX 258
#define DB_QUERY_TABLE_MAX 225

/* The functions the select list wraps a shape column and its annotation in. */
#define DB_QUERY_SHAPE_FUNCTION "VE_AsZel"
#define DB_QUERY_ANNO_FUNCTION "VE_Anno_Text"

/* 0 when the layer belongs to the tables (parsed with the current user as
 * default owner; -24 otherwise, -77 for a listed layer in load-only mode);
 * without tables, when the stream has no table or the layer's database,
 * owner and table equal the stream's (else -24). */
int32_t db_stream_check_query_layer(DB_STREAM *stream, const LAYER *layer, int32_t table_count,
                                    const char *const *tables);

/* Binds each filter that names a table to the layer of that table and
 * column: the first becomes the stream's layer (checked against the tables
 * as above, -77 in load-only mode), another layer gives -24. -17 when
 * filters were given and the stream still has no layer; a layer look-up's
 * failure. */
int32_t db_stream_set_query_layer(DB_STREAM *stream, int16_t filter_count, const VE_FILTER *filters,
                                  int32_t table_count, const char *const *tables);

/* Builds the query's SELECT text into *text and keeps its parts in the
 * stream (select list, FROM list, plain FROM list, WHERE clause, postfix).
 * 0; -12; -66 for a name too long or not an identifier where it goes into
 * the text unquoted (-322 from the identifier check); -144; the failure of
 * a reader. */
int32_t db_query_build_sql(DB_STREAM *stream, const VE_QUERYINFO *info, DB_MV_QUERY_INFO *mv,
                           const LOGFILE *log, std::string *text);

/* Rewrites the table qualifiers of the tables read through views into their
 * view aliases: "database:owner.table.", "owner.table." and "table." (in any
 * case) outside quoted text and not right after a name character or a
 * period. A pattern two tables share is left alone. */
std::string db_query_rewrite_mv_where(const DB_MV_QUERY_INFO *mv, const std::string &where);

/* Builds and prepares the query; on success the stream keeps the tables and
 * the WHERE text of the construct, and a multiversion query also the same
 * query over the base tables as its second statement. On failure the SQL
 * parts are freed and nothing is prepared. */
int32_t db_stream_build_query_layer_sql(DB_STREAM *stream, const VE_QUERYINFO *info,
                                        DB_MV_QUERY_INFO *mv, const LOGFILE *log);

#endif
