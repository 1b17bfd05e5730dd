/* Lineage lists for the multiversion view texts: SELECTs on the catalogue's
 * STATE_LINEAGES table that return the lineage ids of a state, of the part of
 * one lineage beyond where it meets another, or of a stretch of a lineage.
 * Except with the literal flag they read the state through the registration's
 * lineage getters (ZEL_stateid_get<n> and its kin), so that a stored view
 * built around them follows what the table's lineage setter last stored for
 * the connection. Beside them the list of an explicit set of state ids, made
 * by the caller's formatter or, for long lists, through a temporary log. The
 * caller owns every text handed out. */
#ifndef DB_STATE_LINEAGE_H
#define DB_STATE_LINEAGE_H

#include <stdint.h>

#include "base/util/ve_state.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

/* A state list of fewer than this many ids is always made by the caller's
 * formatter; ZELTHRESHOLD (read once per process, 0 to 999) raises the
 * length from which a log is used. */
#define DB_STATE_LIST_LOG_MIN 150
#define DB_STATE_LIST_THRESHOLD_MAX 999

/* The caller's formatter of a state list: (ids, count, out text). Its result
 * is returned unchanged; its text must be released by free(). */
typedef int32_t (*DB_STATE_LIST_FORMATTER)(const int32_t *ids, int32_t count, char **text);

#ifdef __cplusplus
extern "C" {
#endif

/* The lineage ids of the state. With literal set the text names the state's
 * id; otherwise it calls the registration's state getter (its difference-
 * state getter with difference set) and the registration's lineage setter is
 * run at once with the state's id (not committed; its failure is not
 * reported), so that the getter answers this state. *text (freed with free())
 * is set only on success. Returns 0; -12; -65 for a null state or text;
 * -66 for a registration id that gives no routine name. */
ZEL_API int32_t DB_state_lineage_string(DB_INSTANCE *instance, const STATE *state, int32_t unused,
                                        int32_t registration_id, char **text, int32_t literal,
                                        int32_t difference);

/* The ids of the first state's lineage beyond the last state its path shares
 * with the second's (paths: the ancestors, then the state itself). When the
 * first path is a prefix of the second (the first state is the second or one
 * of its ancestors) *text is null and *common_state_id is left alone;
 * otherwise *common_state_id is the last shared state (0 when none is) and
 * *text (freed with free()) a SELECT through the registration's getters.
 * Returns 0; -12; -65 for a null state or text; -66 for a null common state
 * out, a lineage that does not hold its length, or a registration id that
 * gives no routine name. */
ZEL_API int32_t DB_state_sublineage_string(DB_INSTANCE *instance, const STATE *first,
                                           const STATE *second, int32_t unused,
                                           int32_t registration_id, int32_t *common_state_id,
                                           char **text, int32_t difference);

/* The stretch of a lineage from a start state on, read through the global
 * getters ZEL_startid_get and ZEL_endid_get. Returns 0 with *text (freed with
 * free()); -190 with *text null when start_state_id is not one of the
 * state's ancestors; -12; -65 for a null state or text; -66 for a lineage
 * that does not hold its length. */
ZEL_API int32_t DB_state_partial_lineage_string(DB_INSTANCE *instance, const STATE *state,
                                                int32_t start_state_id, int32_t unused,
                                                char **text);

/* A list of state ids to stand inside IN (...). A list of at least
 * DB_STATE_LIST_LOG_MIN ids and at least the ZELTHRESHOLD value goes into a
 * temporary log of the current user (the log system must be started; ids
 * below 1 are not kept) and the text selects the log's ids; any other list
 * is made by the formatter. The instance holds one such log: a new long list
 * deletes the previous one first. The text is released with
 * DB_state_list_string_free. Returns 0; the formatter's result; the log
 * system's failure (after deleting a half-made log); -12; -65 for a null
 * text, ids with a positive count, formatter of a short list or instance of a
 * long one; -66 for a negative count; -322 for a current user that may not
 * stand in SQL. */
ZEL_API int32_t DB_state_list_string(DB_INSTANCE *instance, const int32_t *ids, int32_t count,
                                     DB_STATE_LIST_FORMATTER formatter, char **text);

/* Frees a state list text (null is skipped). When the instance's log was
 * made for this text, the log is deleted: 0, or the delete's failure with
 * the log still held. A text whose log was replaced by a later long list
 * leaves the later log alone. */
ZEL_API int32_t DB_state_list_string_free(DB_INSTANCE *instance, char *text);

#ifdef __cplusplus
}
#endif

#endif
