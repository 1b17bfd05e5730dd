// The change and difference texts of the multiversion view builder
// (db_mv_view_internal.h). Kinds 4 and 5 give the rows that a lineage
// updated or deleted, as a stored view ZEL_nch_..._view_<n> steered by the
// lineage setter or as an inline derived table; kinds 6 to 9 give the adds
// rows that differ between two lineages and kind 10 an empty row set with
// the table's columns, always inline.
//
// As with the standard view, a stored change view serves every later
// connection, so it is made only from lists that read the state through
// the table's getters and without a log file; anything else is written
// inline, with the same rows.
#include <stdlib.h>

#include <string>

#include "base/util/zel_errors.h"
#include "db/core/db_sql_text_internal.h"
#include "db/version/db_mv_view_internal.h"

namespace
{

// The texts' symbols for one build.
struct Symbols {
    const char *T, *A, *D, *E, *R, *X;
    const char *L1, *L2, *L3, *L4;
    const LOGFILE *log;
    int32_t id;
    bool equivs;
};

Symbols S_symbols(const DB_MV_BUILD &b)
{
    const DB_MV_QUERY_INFO *info = b.info;
    return {b.T.c_str(),
            b.A.c_str(),
            b.D.c_str(),
            b.E.c_str(),
            b.R.c_str(),
            b.X.c_str(),
            info->lineage,
            info->lineage2,
            info->sub_lineage,
            info->lineage4,
            info->logfile,
            b.table->registration_id,
            getenv("ZELEQUIVS") != nullptr};
}

// The log's derived table and its match, when the query has a log. The
// change kinds read the log id through the getter, the difference kinds
// by the log's data id.
void S_join(DB_MV_TEXT &t, const Symbols &s, bool getter)
{
    t.when(s.log != nullptr, [&](DB_MV_TEXT &u) {
        u.step([&] { return db_mv_log_join(s.log, u.buffer, s.id, getter ? 1 : 0); });
    });
}

void S_match(DB_MV_TEXT &t, const Symbols &s, const char *alias)
{
    t.when(s.log != nullptr, [&](DB_MV_TEXT &u) {
        u.step([&] { return db_mv_log_match(s.log, alias, s.R, u.buffer); });
    });
}

// The select list of a change kind: the stored view adds the state column
// and describes the table, the inline form uses the record's columns.
void S_select(DB_MV_TEXT &t, const DB_MV_BUILD &b, const char *alias, bool stored)
{
    t.step([&] {
        const int32_t flags = stored ? 1 : 0;
        return db_mv_select_list(b.table, alias, t.buffer, flags, flags);
    });
}

// The head of a change kind: the CREATE VIEW line with its column list, or
// the inline opening.
void S_change_head(DB_MV_TEXT &t, const DB_MV_BUILD &b, const char *view)
{
    if (view != nullptr)
        t.line({"CREATE VIEW ", view, "("})
            .step([&] { return db_mv_column_list(b.table, t.buffer, 1); })
            .add({") AS (SELECT "});
    else
        t.add({"TABLE (MULTISET( SELECT "});
    S_select(t, b, "b", view != nullptr);
}

// The tail of a change kind: the stored form closes the view's body, the
// inline form the derived table, with the alias right after it.
void S_change_tail(DB_MV_TEXT &t, const DB_MV_BUILD &b, const char *view)
{
    if (view != nullptr)
        t.line({")"});
    else
        t.line({"))", b.X.c_str()});
}

// Kind 4: the rows of the lineage L2 whose deletion there replaced them by a
// version in L4, seen from the base rows and (for a state) the adds rows of
// L1. The pieces that need a state are left out for state 0.
int32_t S_update_text(const DB_MV_BUILD &b, SQL_TEXT_BUFFER *buffer, const char *view)
{
    const Symbols s = S_symbols(b);
    const bool state = b.info->state_id != 0;
    const bool stored = view != nullptr;
    const char *R = s.R;
    DB_MV_TEXT t{buffer};
    S_change_head(t, b, view);
    t.add({"FROM "});
    S_join(t, s, true);
    t.line({s.D, " dsec,"})
        .line({s.A, " asec, "})
        .line({s.T, " b "})
        .line({" WHERE ", "DELETED_AT", " IN (", s.L2, " ) AND "});
    t.when(state, [&](DB_MV_TEXT &u) {
        u.line({"b.", R, " NOT IN "})
            .line({"(SELECT ", " ", "ZEL_DELETES_ROW_ID", " "})
            .line({"FROM ", s.D, " "})
            .line({"WHERE ", "ZEL_STATE_ID", " = 0 AND "})
            .line({"DELETED_AT", " IN (", s.L1, ")) AND "});
        u.when(s.L3 != nullptr, [&](DB_MV_TEXT &v) {
            v.line({"b.", R, " NOT IN "})
                .line({"(SELECT ", " DISTINCT ", "ZEL_DELETES_ROW_ID", " "})
                .line({"FROM ", s.D, " dd "})
                .line({"WHERE dd.", "ZEL_STATE_ID", " = 0 AND "})
                .line({"dd.", "DELETED_AT", " IN ( ", s.L3, " ) "});
            if (s.equivs)
                v.line(
                     {"AND NOT EXISTS ( SELECT DISTINCT ", "ZEL_ROW_ID", ",", "ZEL_STATE_ID", " "})
                    .line({"FROM ", s.E, " e "})
                    .line({"WHERE ", "EQUIVALENCE_STATE_ID", " IN (", s.L4, ") AND "})
                    .line({"ZEL_STATE_ID IN (", s.L3, ") "})
                    .line({"AND dd.", "ZEL_DELETES_ROW_ID", " = e.", "ZEL_ROW_ID", " "})
                    .line({"AND dd.", "DELETED_AT", " <= e.", "ZEL_STATE_ID", ")", " ) AND"});
            else
                v.add({") AND "});
        });
    });
    t.line({" b.", R, " = asec.", R, " AND "})
        .line({"asec.", "ZEL_STATE_ID", " IN (", s.L4, ") AND "})
        .line({"asec.", R, " = dsec.", "ZEL_DELETES_ROW_ID", " AND "})
        .line({"NOT EXISTS (SELECT ", "ZEL_DELETES_ROW_ID", ", ", "ZEL_STATE_ID"})
        .line({" FROM ", s.D, " dd "})
        .line({"WHERE ", "DELETED_AT", " IN (", s.L2, ") AND "})
        .line({"asec.", R, " = dd.", "ZEL_DELETES_ROW_ID", " AND "})
        .line({"asec.", "ZEL_STATE_ID", " = dd.", "ZEL_STATE_ID", ") "});
    // The equivalence rows have no column of the table's row-id name: the
    // subquery names their own row id, as the adds part below does.
    t.when(s.equivs, [&](DB_MV_TEXT &u) {
        u.line({"AND NOT EXISTS (SELECT ", "ZEL_ROW_ID", ",", "ZEL_STATE_ID"})
            .line({" FROM ", s.E, " e "})
            .line({"WHERE ", "EQUIVALENCE_STATE_ID", " IN (", s.L1, ") AND  "})
            .line({"asec.", R, " = e.", "ZEL_ROW_ID", " AND  "})
            .line({"asec.", "ZEL_STATE_ID", " = e.", "ZEL_STATE_ID", " ) "});
    });
    S_match(t, s, "b");
    t.when(state, [&](DB_MV_TEXT &u) {
        u.line({" UNION ALL "}).add({"SELECT "});
        S_select(u, b, "a", stored);
        u.add({" FROM "});
        S_join(u, s, true);
        u.line({s.D, " dsec,"})
            .line({s.A, " asec, "})
            .line({s.A, " a "})
            .line({" WHERE dsec.", "DELETED_AT", " IN (", s.L2, ") AND "})
            .line({" a.", "ZEL_STATE_ID", " IN (", s.L1, ") AND "})
            .line({"NOT EXISTS (SELECT ", "ZEL_DELETES_ROW_ID", ",", "ZEL_STATE_ID"})
            .line({" FROM ", s.D, " dd "})
            .line({"WHERE ", "DELETED_AT", " IN (", s.L1, ") AND "})
            .line({"a.", R, " = ", "ZEL_DELETES_ROW_ID", " AND "})
            .line({"a.", "ZEL_STATE_ID", " = dd.", "ZEL_STATE_ID", ") AND "});
        u.when(s.L3 != nullptr, [&](DB_MV_TEXT &v) {
            v.line({"a.", R, " NOT IN "})
                .line({"(SELECT ", " DISTINCT ", "ZEL_DELETES_ROW_ID", " "})
                .line({" FROM ", s.D, " dd "})
                .line({"WHERE dd.", "ZEL_STATE_ID", " = 0 AND "})
                .line({"dd.", "DELETED_AT", " IN (", s.L3, " ) "});
            if (s.equivs)
                v.line(
                     {"AND NOT EXISTS ( SELECT DISTINCT  ", "ZEL_ROW_ID", ",", "ZEL_STATE_ID", " "})
                    .line({" FROM ", s.E, " e "})
                    .line({"WHERE ", "EQUIVALENCE_STATE_ID", " IN ", "(", s.L4, ")  AND "})
                    .line({"ZEL_STATE_ID IN (", s.L3, ") "})
                    .line({"AND dd.", "ZEL_DELETES_ROW_ID", " = e.", "ZEL_ROW_ID", " "})
                    .line({"AND dd.", "DELETED_AT", " <= e.", "ZEL_STATE_ID", " )", " ) AND"});
            else
                v.add({") AND "});
        });
        u.line({" a.", R, " = asec.", R, " AND "})
            .line({"asec.", "ZEL_STATE_ID", " IN (", s.L4, ") AND "})
            .line({"asec.", R, " = dsec.", "ZEL_DELETES_ROW_ID", " AND "})
            .line({"NOT EXISTS (SELECT ", "ZEL_DELETES_ROW_ID", ",", "ZEL_STATE_ID"})
            .line({" FROM ", s.D, " dd "})
            .line({"WHERE ", "DELETED_AT", " IN (", s.L2, ") AND "})
            .line({"asec.", R, " = dd.", "ZEL_DELETES_ROW_ID", " AND "})
            .line({"asec.", "ZEL_STATE_ID", " = dd.", "ZEL_STATE_ID", " ) "});
        u.when(s.equivs, [&](DB_MV_TEXT &v) {
            v.line({"AND NOT EXISTS (SELECT ", "ZEL_ROW_ID", ",", "ZEL_STATE_ID"})
                .line({" FROM ", s.E, " e "})
                .line({"WHERE ", "EQUIVALENCE_STATE_ID", " IN (", s.L1, ") AND "})
                .line({"asec.", R, " = e.", "ZEL_ROW_ID", " AND "})
                .line({"asec.", "ZEL_STATE_ID", " = e.", "ZEL_STATE_ID", " ) "});
        });
        S_match(u, s, "a");
    });
    S_change_tail(t, b, view);
    return t.rc;
}

// Kind 5: the rows that the lineage L4 deleted and did not add again, seen
// from the base rows and (for a state) the adds rows of L1.
int32_t S_delete_text(const DB_MV_BUILD &b, SQL_TEXT_BUFFER *buffer, const char *view)
{
    const Symbols s = S_symbols(b);
    const bool state = b.info->state_id != 0;
    const bool stored = view != nullptr;
    const char *R = s.R;
    DB_MV_TEXT t{buffer};
    S_change_head(t, b, view);
    t.add({" FROM "});
    S_join(t, s, true);
    t.line({s.D, " dsec, "})
        .line({s.T, " b "})
        .line({" WHERE ", "DELETED_AT", " IN (", s.L4, ") AND "});
    t.when(state, [&](DB_MV_TEXT &u) {
        u.line({"b.", R, " NOT IN "})
            .line({"(SELECT ", " ", "ZEL_DELETES_ROW_ID", " "})
            .line({"FROM ", s.D, " "})
            .line({" WHERE ", "ZEL_STATE_ID", " = 0 AND "})
            .line({"DELETED_AT", " IN (", s.L1, " )) AND "});
        u.when(s.L3 != nullptr, [&](DB_MV_TEXT &v) {
            v.line({"b.", R, " NOT IN "})
                .line({"(SELECT ", " DISTINCT ", "ZEL_DELETES_ROW_ID", " "})
                .line({"FROM ", s.D, " dd "})
                .line({"WHERE dd.", "ZEL_STATE_ID", " = 0 AND "})
                .line({"dd.", "DELETED_AT", " IN (", s.L3, ") "});
            // The blank after AND keeps the next condition apart when the
            // text is not pretty printed.
            if (s.equivs)
                v.line({"AND NOT EXISTS (SELECT DISTINCT ", "ZEL_ROW_ID", ",", "ZEL_STATE_ID", " "})
                    .line({"FROM ", s.E, " e "})
                    .line({"WHERE ", "EQUIVALENCE_STATE_ID", " IN (", s.L4, ") AND "})
                    .line({"ZEL_STATE_ID IN (", s.L3, ") "})
                    .line({"AND dd.", "ZEL_DELETES_ROW_ID", " = e.", "ZEL_ROW_ID", " "})
                    .line({"AND dd.", "DELETED_AT", " <= e.", "ZEL_STATE_ID", ") ) AND "});
            else
                v.add({") AND "});
        });
    });
    t.line({"b.", R, " = dsec.", "ZEL_DELETES_ROW_ID", " AND "})
        .line({"NOT EXISTS (SELECT ", R, ", ", "ZEL_STATE_ID"})
        .line({" FROM ", s.A, " asec "})
        .line({"WHERE ", "ZEL_STATE_ID", " IN (", s.L4, ") AND "})
        .line({"dsec.", "ZEL_DELETES_ROW_ID", " = asec.", R, " AND "})
        .line({"dsec.", "DELETED_AT", " <= asec.", "ZEL_STATE_ID", " ) "});
    S_match(t, s, "b");
    t.when(state, [&](DB_MV_TEXT &u) {
        u.line({" UNION ALL "}).add({"SELECT "});
        S_select(u, b, "a", stored);
        u.add({" FROM "});
        S_join(u, s, true);
        u.line({s.D, " dsec, "})
            .line({s.A, " a "})
            .line({" WHERE ", "DELETED_AT", " IN (", s.L4, ") AND "})
            .line({" a.", "ZEL_STATE_ID", " IN (", s.L1, ") AND "})
            .line({"ROW(a.", R, ",a.", "ZEL_STATE_ID", ") NOT IN "})
            .line({"(SELECT ", "ROW( ", "ZEL_DELETES_ROW_ID", ",", "ZEL_STATE_ID", ") "})
            .line({" FROM ", s.D, " "})
            .line({"WHERE ", "DELETED_AT", " IN (", s.L1, ")) AND "});
        u.when(s.L3 != nullptr, [&](DB_MV_TEXT &v) {
            v.line({"a.", R, " NOT IN "})
                .line({"(SELECT ", " DISTINCT ", "ZEL_DELETES_ROW_ID", " "})
                .line({"FROM ", s.D, " dd "})
                .line({"WHERE dd.", "DELETED_AT", " IN (", s.L3, ") "});
            if (s.equivs)
                v.line({"AND NOT EXISTS (SELECT DISTINCT ", "ZEL_ROW_ID", ",", "ZEL_STATE_ID", " "})
                    .line({"FROM ", s.E, " e "})
                    .line({"WHERE ", "EQUIVALENCE_STATE_ID", " IN (", s.L4, ") AND "})
                    .line({"ZEL_STATE_ID", " IN ( ", s.L3, ")  "})
                    .line({"AND dd.", "ZEL_DELETES_ROW_ID", " = e.", "ZEL_ROW_ID", " "})
                    .line({"AND dd.", "DELETED_AT", " <= e.", "ZEL_STATE_ID", " ) ) AND "});
            else
                v.add({") AND "});
        });
        u.line({"a.", R, " = dsec.", "ZEL_DELETES_ROW_ID", " AND "})
            .line({" NOT EXISTS (SELECT ", R, ",", "ZEL_STATE_ID"})
            .line({" FROM ", s.A, " asec "})
            .line({" WHERE ", "ZEL_STATE_ID", " IN (", s.L4, ") AND "})
            .line({"dsec.", "ZEL_DELETES_ROW_ID", " = asec.", R, " AND "})
            .line({"dsec.", "DELETED_AT", " <= asec.", "ZEL_STATE_ID", " ) "});
        S_match(u, s, "a");
    });
    S_change_tail(t, b, view);
    return t.rc;
}

using ChangeText = int32_t (*)(const DB_MV_BUILD &, SQL_TEXT_BUFFER *, const char *);

// The protocol of kinds 4 and 5: a stored view (found, only named, or
// created) or the inline text; then the setter.
int32_t S_change_view(const DB_MV_BUILD &b, int32_t kind, int32_t create, ChangeText text)
{
    if (!db_mv_change_view_stored(b.info, b.table)) {
        const int32_t rc = text(b, b.out, nullptr);
        return rc != 0 ? rc : db_mv_set_lineage(b.info, b.table->registration_id);
    }
    char view[DB_MV_VIEW_NAME_SIZE], setter[DB_MV_VIEW_NAME_SIZE];
    int32_t rc = db_mv_view_prepare_names(b.info, b.position, kind, view, sizeof(view), setter,
                                          sizeof(setter), create);
    if (rc != 0)
        return rc;
    if (db_view_exists(view) == ZE_VIEW_EXISTS || !create)
        rc = db_mv_name_in_output(b, view);
    else
        rc = db_mv_create_view(b, view,
                               [&](SQL_TEXT_BUFFER *buffer) { return text(b, buffer, view); });
    return rc != 0 ? rc : db_mv_set_lineage(b.info, b.table->registration_id);
}

// The opening of a difference text: the adds rows under alias a.
void S_diff_head(DB_MV_TEXT &t, const DB_MV_BUILD &b, const Symbols &s,
                 std::initializer_list<const char *> opening)
{
    t.add(opening).step([&] { return db_mv_select_list(b.table, "a", t.buffer, 0, 0); });
    t.add({" FROM "});
    S_join(t, s, false);
}

int32_t S_diff_tail(DB_MV_TEXT &t, const DB_MV_BUILD &b, const Symbols &s)
{
    S_match(t, s, "a");
    t.line({")) ", s.X});
    return t.rc != 0 ? t.rc : db_mv_set_lineage(b.info, s.id);
}

} // namespace

bool db_mv_change_view_stored(const DB_MV_QUERY_INFO *info, const DB_MV_TABLE_INFO *table)
{
    if (info == nullptr || table == nullptr || info->state_id == 0 || info->logfile != nullptr)
        return false;
    const int32_t id = table->registration_id;
    // A state other than 0 reads L1 and L4 in both kinds, L2 in kind 4 and
    // L3 when it is given.
    if (!db_mv_list_reads_getters(info->lineage, id) ||
        !db_mv_list_reads_getters(info->lineage4, id))
        return false;
    if (info->kind == DB_MV_UPDATE_CHANGES && !db_mv_list_reads_getters(info->lineage2, id))
        return false;
    return info->sub_lineage == nullptr || db_mv_list_reads_getters(info->sub_lineage, id);
}

int32_t db_mv_check_lists(const DB_MV_QUERY_INFO *info)
{
    if (info == nullptr)
        return ZE_INVALID_ARGUMENT;
    const bool state = info->state_id != 0;
    const bool equivs = getenv("ZELEQUIVS") != nullptr;
    const bool has3 = info->sub_lineage != nullptr, has4 = info->lineage4 != nullptr;
    bool need[4] = {false, false, false, false};
    switch (info->kind) {
    case DB_MV_UPDATE_CHANGES:
        need[0] = state || equivs;
        need[1] = true;
        need[2] = state && has3;
        need[3] = true;
        break;
    case DB_MV_DELETE_CHANGES:
        need[0] = state;
        need[2] = state && has3;
        need[3] = true;
        break;
    case 6:
        need[0] = need[2] = true;
        need[1] = equivs || info->diff_state_id != 0;
        need[3] = info->diff_state_id != 0 && has4;
        break;
    case 7:
        need[0] = need[1] = need[2] = need[3] = true;
        break;
    case 8:
        need[0] = need[1] = need[2] = true;
        break;
    case 9:
        need[0] = need[2] = true;
        need[3] = has4;
        break;
    case DB_MV_DIFFERENCE_LAST:
        break; // no rows whatever the lists say
    default:
        need[0] = true;
        break;
    }
    const char *lists[4] = {info->lineage, info->lineage2, info->sub_lineage, info->lineage4};
    for (int i = 0; i < 4; i++)
        // An empty list would leave "IN ()" in the text.
        if (need[i] && db_sql_is_blank(lists[i]))
            return ZE_INVALID_ARGUMENT;
    return ZE_SUCCESS;
}

int32_t db_mv_update_view_build(const DB_MV_BUILD &b, int32_t create)
{
    return S_change_view(b, DB_MV_UPDATE_CHANGES, create, S_update_text);
}

int32_t db_mv_delete_view_build(const DB_MV_BUILD &b, int32_t create)
{
    return S_change_view(b, DB_MV_DELETE_CHANGES, create, S_delete_text);
}

// Kind 6: adds rows of L3 whose row L1 deleted and did not delete in their
// version, that the other side (the base rows, and for a difference state
// its lineage L2) still has.
int32_t db_mv_diff6_text(const DB_MV_BUILD &b)
{
    const Symbols s = S_symbols(b);
    const bool diff = b.info->diff_state_id != 0;
    const char *R = s.R;
    DB_MV_TEXT t{b.out};
    S_diff_head(t, b, s, {"TABLE (MULTISET", "(SELECT ", " "});
    t.line({s.D, " d, "})
        .line({s.A, " a "})
        .line({"WHERE a.", "ZEL_STATE_ID", " IN (", s.L3, ") AND "})
        .line({"d.", "DELETED_AT", " IN (", s.L1, ") AND "})
        .line({" a.", R, " = d.", "ZEL_DELETES_ROW_ID", " AND "})
        .line({"NOT EXISTS (SELECT ", "ZEL_DELETES_ROW_ID", ",", "ZEL_STATE_ID"})
        .line({" FROM ", s.D, " dd "})
        .line({"WHERE ", "DELETED_AT", " IN (", s.L1, ") AND "})
        .line({"a.", R, " = dd.", "ZEL_DELETES_ROW_ID", " AND "})
        .line({"a.", "ZEL_STATE_ID", " = dd.", "ZEL_STATE_ID", " ) AND "});
    t.when(s.equivs, [&](DB_MV_TEXT &u) {
        u.line({" NOT EXISTS (SELECT ", "ZEL_ROW_ID", ",", "ZEL_STATE_ID"})
            .line({" FROM ", s.E, " e "})
            .line({"WHERE ", "EQUIVALENCE_STATE_ID", " IN (", s.L2, ") AND "})
            .line({"a.", R, " = e.", "ZEL_ROW_ID", " AND "})
            .line({"a.", "ZEL_STATE_ID", " = e.", "EQUIVALENCE_STATE_ID", " ) AND "});
    });
    t.add({"(EXISTS ("})
        .line({"SELECT bsec.", R, " "})
        .line({"FROM ", s.T, " bsec "})
        .line({"WHERE a.", R, " = bsec.", R, " "});
    t.when(diff, [&](DB_MV_TEXT &u) {
        u.line({"AND bsec.", R, " NOT IN "})
            .line({"(SELECT ", "ZEL_DELETES_ROW_ID"})
            .line({" FROM ", s.D, " "})
            .line({"WHERE ", "DELETED_AT", " IN (", s.L2, ")) "});
        u.when(s.L4 != nullptr, [&](DB_MV_TEXT &v) {
            v.line({"AND ROW(bsec.", R, ",0) NOT IN "})
                .line({"(SELECT ", "ROW(", "ZEL_DELETES_ROW_ID", ",0) "})
                .line({"FROM ", s.D, " dd "})
                .line({"WHERE dd.", "ZEL_STATE_ID", " = 0 AND "})
                .line({"dd.", "DELETED_AT", " IN (", s.L4, ") "});
            if (s.equivs)
                v.line({"AND NOT EXISTS (SELECT ", "ZEL_ROW_ID", ",", "ZEL_STATE_ID", " "})
                    .line({"FROM ", s.E, " e "})
                    .line({"WHERE ", "EQUIVALENCE_STATE_ID", " IN (", s.L3, ") AND "})
                    .line({"ZEL_STATE_ID IN (", s.L4, ") AND "})
                    .line({"dd.", "ZEL_DELETES_ROW_ID", " = e.", "ZEL_ROW_ID", " AND "})
                    .line({"dd.", "DELETED_AT", " <= e.", "ZEL_STATE_ID", " )) "});
            else
                v.add({") "});
        });
    });
    t.add({") "});
    t.when(diff, [&](DB_MV_TEXT &u) {
        u.line({" OR EXISTS ( "})
            .line({"SELECT asec.", R, " "})
            .line({"FROM ", s.A, " asec "})
            .line({"WHERE a.", R, " = asec.", R, " AND "})
            .line({"asec.", "ZEL_STATE_ID", " IN (", s.L2, ") AND "})
            .line({" NOT EXISTS (SELECT ", "ZEL_DELETES_ROW_ID", ",", "ZEL_STATE_ID"})
            .line({" FROM ", s.D, " dd "})
            .line({"WHERE ", "DELETED_AT", " IN (", s.L2, ") AND "})
            .line({"asec.", R, "= dd.", "ZEL_DELETES_ROW_ID", " AND "})
            .line({"asec.", "ZEL_STATE_ID", "= dd.", "ZEL_STATE_ID", " ) "});
        u.when(s.L4 != nullptr, [&](DB_MV_TEXT &v) {
            v.line({"AND asec.", R, " NOT IN "})
                .line({"(SELECT ", "ZEL_DELETES_ROW_ID"})
                .line({" FROM ", s.D, " dd "})
                .line({" WHERE dd.", "DELETED_AT", " IN (", s.L4, ") "});
            if (s.equivs)
                v.line({"AND NOT EXISTS (SELECT ", "ZEL_ROW_ID", ",", "ZEL_STATE_ID", " "})
                    .line({" FROM ", s.E, " e "})
                    .line({"WHERE ", "EQUIVALENCE_STATE_ID", " IN (", s.L3, ") AND "})
                    .line({"ZEL_STATE_ID IN (", s.L4, ") "})
                    .line({"AND dd.", "ZEL_DELETES_ROW_ID", " = e.", "ZEL_ROW_ID", " AND "})
                    .line({"dd.", "DELETED_AT", " <= e.", "ZEL_STATE_ID", ") ) "});
            else
                v.add({") "});
        });
        u.add({") "});
    });
    t.add({") "});
    return S_diff_tail(t, b, s);
}

// Kind 7: adds rows of L3 whose row L1 deleted, that L2 replaced by a
// version of L4 it kept.
int32_t db_mv_diff7_text(const DB_MV_BUILD &b)
{
    const Symbols s = S_symbols(b);
    const char *R = s.R;
    DB_MV_TEXT t{b.out};
    S_diff_head(t, b, s, {"TABLE (MULTISET( SELECT "});
    t.line({s.D, " d, "})
        .line({s.A, " a "})
        .line({"WHERE a.", "ZEL_STATE_ID", " IN (", s.L3, ") AND "})
        .line({"d.", "DELETED_AT", " IN (", s.L1, ") AND "})
        .line({" a.", R, " = d.", "ZEL_DELETES_ROW_ID", " AND "})
        .line({"ROW(a.", R, ",a.", "ZEL_STATE_ID", ") NOT IN "})
        .line({"(SELECT ", "ROW( ", "ZEL_DELETES_ROW_ID", ",", "ZEL_STATE_ID", ") "})
        .line({"FROM ", s.D, " "})
        .line({"WHERE ", "DELETED_AT", " IN (", s.L1, ")) AND "});
    t.when(s.equivs, [&](DB_MV_TEXT &u) {
        u.line({"ROW(a.", R, ",a.", "ZEL_STATE_ID", ") NOT IN "})
            .line({"(SELECT ", " ROW( ", "ZEL_ROW_ID", ",", "ZEL_STATE_ID", ") "})
            .line({"FROM ", s.E, " "})
            .line({"WHERE ", "EQUIVALENCE_STATE_ID", " IN (", s.L2, ")) AND "});
    });
    t.line({"EXISTS (SELECT asec.", R, " "})
        .line({"FROM ", s.D, " dsec, "})
        .line({s.A, " asec "})
        .line({"WHERE a.", R, " = asec.", R, " AND "})
        .line({"dsec.", "DELETED_AT", " IN (", s.L2, ") AND "})
        .line({"asec.", "ZEL_STATE_ID", " IN (", s.L4, ") AND "})
        .line({"asec.", R, " = dsec.", "ZEL_DELETES_ROW_ID", " AND "})
        .line({"ROW(asec.", R, ",asec.", "ZEL_STATE_ID", ") NOT IN "})
        .line({"(SELECT ", "ROW( ", "ZEL_DELETES_ROW_ID", ",", "ZEL_STATE_ID", ") "})
        .line({"FROM ", s.D, " "})
        .line({"WHERE ", "DELETED_AT", " IN (", s.L2, ")) "});
    if (s.equivs)
        t.line({"AND ROW(asec.", R, ",asec.", "ZEL_STATE_ID", ") NOT IN "})
            .line({"(SELECT ", " ROW( ", "ZEL_ROW_ID", ",", "ZEL_STATE_ID", ") "})
            .line({"FROM ", s.E, " "})
            .line({"WHERE ", "EQUIVALENCE_STATE_ID", " IN (", s.L1, "))) "});
    else
        t.add({") "});
    return S_diff_tail(t, b, s);
}

// Kind 8: adds rows of L3 whose row L1 deleted, that L2 deleted without
// adding a later version.
int32_t db_mv_diff8_text(const DB_MV_BUILD &b)
{
    const Symbols s = S_symbols(b);
    const char *R = s.R;
    DB_MV_TEXT t{b.out};
    S_diff_head(t, b, s, {"TABLE (MULTISET(", "SELECT "});
    t.line({s.D, " d, "})
        .line({s.A, " a "})
        .line({"WHERE ", "DELETED_AT", " IN (", s.L1, ") AND "})
        .line({" a.", "ZEL_STATE_ID", " IN (", s.L3, ") AND "})
        .line({" a.", R, " = d.", "ZEL_DELETES_ROW_ID", " AND "})
        .line({"ROW(a.", R, ",a.", "ZEL_STATE_ID", ") NOT IN "})
        .line({"(SELECT ", "ROW( ", "ZEL_DELETES_ROW_ID", ",", "ZEL_STATE_ID", ") "})
        .line({"FROM ", s.D, " "})
        .line({"WHERE ", "DELETED_AT", " IN (", s.L1, ")) AND "});
    t.when(s.equivs, [&](DB_MV_TEXT &u) {
        u.line({"ROW(a.", R, ",a.", "ZEL_STATE_ID", ") NOT IN "})
            .line({"(SELECT ", " ROW( ", "ZEL_ROW_ID", ",", "ZEL_STATE_ID", ") "})
            .line({"FROM ", s.E, " "})
            .line({"WHERE ", "EQUIVALENCE_STATE_ID", " IN (", s.L2, ")) AND "});
    });
    t.line({"a.", R, " IN (SELECT dsec.", "ZEL_DELETES_ROW_ID", " "})
        .line({" FROM ", s.D, " dsec"})
        .line({" WHERE ", "DELETED_AT", " IN (", s.L2, ") AND  "})
        .line({"NOT EXISTS (SELECT ", R, ",", "ZEL_STATE_ID", " "})
        .line({" FROM ", s.A, " asec"})
        .line({" WHERE ", "ZEL_STATE_ID", " IN (", s.L2, ") AND "})
        .line({" dsec.", "ZEL_DELETES_ROW_ID", " = asec.", R, " AND "})
        .line({"dsec.", "DELETED_AT", " <= asec.", "ZEL_STATE_ID", " )) "});
    return S_diff_tail(t, b, s);
}

// Kind 9: adds rows of L1 it kept (and L4 does not hold) whose row L3
// changed after L1 last deleted it.
int32_t db_mv_diff9_text(const DB_MV_BUILD &b)
{
    const Symbols s = S_symbols(b);
    const char *R = s.R;
    DB_MV_TEXT t{b.out};
    S_diff_head(t, b, s, {"TABLE (MULTISET(SELECT "});
    t.line({s.A, " a "})
        .line({"WHERE a.", "ZEL_STATE_ID", " IN (", s.L1, ") AND "})
        .line({"NOT EXISTS (SELECT ", "ZEL_DELETES_ROW_ID", ",", "ZEL_STATE_ID", " "})
        .line({"FROM ", s.D, " dd "})
        .line({"WHERE ", "DELETED_AT", " IN (", s.L1, ") AND "})
        .line({"a.", R, "= dd.", "ZEL_DELETES_ROW_ID", " AND "})
        .line({"a.", "ZEL_STATE_ID", "= dd.", "ZEL_STATE_ID", ") AND "});
    t.when(s.L4 != nullptr, [&](DB_MV_TEXT &u) {
        u.line({"a.", R, " NOT IN "})
            .line({"(SELECT ", R, " "})
            .line({"FROM ", s.A, " "})
            .line({"WHERE ", "ZEL_STATE_ID", " IN (", s.L4, ")) AND "});
    });
    t.line({" EXISTS (SELECT asec.", R})
        .line({" FROM ", s.A, " asec "})
        .line({" WHERE a.", R, " = asec.", R, " AND "})
        .line({"asec.", "ZEL_STATE_ID", " IN (", s.L3, ") AND "})
        .line({" NOT EXISTS "})
        .line({" (SELECT ", "ZEL_DELETES_ROW_ID", ",", "DELETED_AT"})
        .line({" FROM ", s.D, " dsec "})
        .line({" WHERE ", "DELETED_AT", " IN (", s.L1, ") AND "})
        .line({"asec.", R, " = dsec.", "ZEL_DELETES_ROW_ID", " AND "})
        .line({"asec.", "ZEL_STATE_ID", " >= dsec.", "DELETED_AT", ")) "});
    return S_diff_tail(t, b, s);
}

// Kind 10: no rows, with the table's columns.
int32_t db_mv_empty_text(const DB_MV_BUILD &b)
{
    const Symbols s = S_symbols(b);
    DB_MV_TEXT t{b.out};
    S_diff_head(t, b, s, {"TABLE (MULTISET(SELECT "});
    t.line({s.A, " a "}).line({"WHERE 1 = 2 "});
    return S_diff_tail(t, b, s);
}
