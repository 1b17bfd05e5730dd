// The change and difference texts of the multiversion view builder: the
// update and delete changes as stored views (created, found, only named)
// and inline (state 0, and lists a stored view must not freeze), the
// difference texts with and without their optional parts, the log join in
// its two forms, pretty printing, and the lists each kind needs.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/db/version/mv_fixture.h"

namespace
{

using Strings = std::vector<std::string>;

const std::string T = "roads";
const std::string A = "gis:'bob'.A7";
const std::string D = "gis:'bob'.d7";
const std::string E = "gis:'bob'.e7";

// Select lists of the fixture's table: the stored views' (state column
// added, table described) and the inline texts' (the record's columns).
const std::string kBaseStored = "b.objectid,b.name,b.shape , 0 ZEL_STATE_ID , b.VE_ROW_ID ";
const std::string kAddsStored = "a.objectid,a.name,a.shape , a.ZEL_STATE_ID , a.VE_ROW_ID ";
const std::string kBaseInline = "b.objectid,b.name,b.shape , b.VE_ROW_ID ";
const std::string kAddsInline = "a.objectid,a.name,a.shape , a.VE_ROW_ID ";
const std::string kColumns = "objectid,name,shape ,ZEL_STATE_ID , VE_ROW_ID  ";

// Lists that read the state through the table's getters (a stored view
// may be made of them) and literal ones (it may not).
const std::string G1 = "SELECT l.lineage_id FROM zel:zel.state_lineages l WHERE l.state_id = "
                       "ZEL_stateid_get7()";
const std::string G2 = "SELECT l.lineage_id FROM zel:zel.state_lineages l WHERE l.state_id = "
                       "ZEL_diffid_get7()";
const std::string G3 = "SELECT l.lineage_id FROM zel:zel.state_lineages l WHERE l.lineage_id "
                       ">= ZEL_startid_get()";
const std::string G4 = "SELECT l.lineage_id FROM zel:zel.state_lineages l WHERE l.lineage_name "
                       "= ZEL_lineageid_get7()";
const std::string L1 = "1,5", L2 = "2,6", L3 = "3,7", L4 = "4,8";

const std::string kSetter = "EXECUTE PROCEDURE ZEL_lineageid_set7(5, 3, 0, 2, -1)";
const std::string kSetterState0 = "EXECUTE PROCEDURE ZEL_lineageid_set7(0, 3, 0, 2, -1)";

std::string LogJoin(const std::string &id)
{
    return " TABLE (MULTISET(SELECT  DISTINCT zel_row_id FROM gis:ann_ZEL_LOGFILE_DATA WHERE "
           "gis:ann_ZEL_LOGFILE_DATA.logfile_data_id = " +
           id + ")) LF,";
}

// The update changes of a state with the third list and ZELEQUIVS: every
// piece but the log's. head opens the text up to the base select list,
// tail closes it.
std::string UpdateChanges(const std::string &head, const std::string &base, const std::string &adds,
                          const std::string &tail, const std::string &l1, const std::string &l2,
                          const std::string &l3, const std::string &l4)
{
    return head + base + "FROM " + D + " dsec," + A + " asec, " + T + " b " +
           " WHERE DELETED_AT IN (" + l2 + " ) AND " + "b.objectid NOT IN " +
           "(SELECT  ZEL_DELETES_ROW_ID " + "FROM " + D + " " + "WHERE ZEL_STATE_ID = 0 AND " +
           "DELETED_AT IN (" + l1 + ")) AND " + "b.objectid NOT IN " +
           "(SELECT  DISTINCT ZEL_DELETES_ROW_ID " + "FROM " + D + " dd " +
           "WHERE dd.ZEL_STATE_ID = 0 AND " + "dd.DELETED_AT IN ( " + l3 + " ) " +
           "AND NOT EXISTS ( SELECT DISTINCT ZEL_ROW_ID,ZEL_STATE_ID " + "FROM " + E + " e " +
           "WHERE EQUIVALENCE_STATE_ID IN (" + l4 + ") AND " + "ZEL_STATE_ID IN (" + l3 + ") " +
           "AND dd.ZEL_DELETES_ROW_ID = e.ZEL_ROW_ID " +
           "AND dd.DELETED_AT <= e.ZEL_STATE_ID) ) AND" + " b.objectid = asec.objectid AND " +
           "asec.ZEL_STATE_ID IN (" + l4 + ") AND " +
           "asec.objectid = dsec.ZEL_DELETES_ROW_ID AND " +
           "NOT EXISTS (SELECT ZEL_DELETES_ROW_ID, ZEL_STATE_ID" + " FROM " + D + " dd " +
           "WHERE DELETED_AT IN (" + l2 + ") AND " + "asec.objectid = dd.ZEL_DELETES_ROW_ID AND " +
           "asec.ZEL_STATE_ID = dd.ZEL_STATE_ID) " +
           // The equivalence rows are matched by their own row-id column.
           "AND NOT EXISTS (SELECT ZEL_ROW_ID,ZEL_STATE_ID" + " FROM " + E + " e " +
           "WHERE EQUIVALENCE_STATE_ID IN (" + l1 + ") AND  " +
           "asec.objectid = e.ZEL_ROW_ID AND  " + "asec.ZEL_STATE_ID = e.ZEL_STATE_ID ) " +
           " UNION ALL " + "SELECT " + adds + " FROM " + D + " dsec," + A + " asec, " + A + " a " +
           " WHERE dsec.DELETED_AT IN (" + l2 + ") AND " + " a.ZEL_STATE_ID IN (" + l1 + ") AND " +
           "NOT EXISTS (SELECT ZEL_DELETES_ROW_ID,ZEL_STATE_ID" + " FROM " + D + " dd " +
           "WHERE DELETED_AT IN (" + l1 + ") AND " + "a.objectid = ZEL_DELETES_ROW_ID AND " +
           "a.ZEL_STATE_ID = dd.ZEL_STATE_ID) AND " + "a.objectid NOT IN " +
           "(SELECT  DISTINCT ZEL_DELETES_ROW_ID " + " FROM " + D + " dd " +
           "WHERE dd.ZEL_STATE_ID = 0 AND " + "dd.DELETED_AT IN (" + l3 + " ) " +
           "AND NOT EXISTS ( SELECT DISTINCT  ZEL_ROW_ID,ZEL_STATE_ID " + " FROM " + E + " e " +
           "WHERE EQUIVALENCE_STATE_ID IN (" + l4 + ")  AND " + "ZEL_STATE_ID IN (" + l3 + ") " +
           "AND dd.ZEL_DELETES_ROW_ID = e.ZEL_ROW_ID " +
           "AND dd.DELETED_AT <= e.ZEL_STATE_ID ) ) AND" + " a.objectid = asec.objectid AND " +
           "asec.ZEL_STATE_ID IN (" + l4 + ") AND " +
           "asec.objectid = dsec.ZEL_DELETES_ROW_ID AND " +
           "NOT EXISTS (SELECT ZEL_DELETES_ROW_ID,ZEL_STATE_ID" + " FROM " + D + " dd " +
           "WHERE DELETED_AT IN (" + l2 + ") AND " + "asec.objectid = dd.ZEL_DELETES_ROW_ID AND " +
           "asec.ZEL_STATE_ID = dd.ZEL_STATE_ID ) " +
           "AND NOT EXISTS (SELECT ZEL_ROW_ID,ZEL_STATE_ID" + " FROM " + E + " e " +
           "WHERE EQUIVALENCE_STATE_ID IN (" + l1 + ") AND " + "asec.objectid = e.ZEL_ROW_ID AND " +
           "asec.ZEL_STATE_ID = e.ZEL_STATE_ID ) " + tail;
}

// The delete changes of a state with the third list and ZELEQUIVS.
std::string DeleteChanges(const std::string &head, const std::string &base, const std::string &adds,
                          const std::string &tail, const std::string &l1, const std::string &l3,
                          const std::string &l4)
{
    return head + base + " FROM " + D + " dsec, " + T + " b " + " WHERE DELETED_AT IN (" + l4 +
           ") AND " + "b.objectid NOT IN " + "(SELECT  ZEL_DELETES_ROW_ID " + "FROM " + D + " " +
           " WHERE ZEL_STATE_ID = 0 AND " + "DELETED_AT IN (" + l1 + " )) AND " +
           "b.objectid NOT IN " + "(SELECT  DISTINCT ZEL_DELETES_ROW_ID " + "FROM " + D + " dd " +
           "WHERE dd.ZEL_STATE_ID = 0 AND " + "dd.DELETED_AT IN (" + l3 + ") " +
           "AND NOT EXISTS (SELECT DISTINCT ZEL_ROW_ID,ZEL_STATE_ID " + "FROM " + E + " e " +
           "WHERE EQUIVALENCE_STATE_ID IN (" + l4 + ") AND " + "ZEL_STATE_ID IN (" + l3 + ") " +
           "AND dd.ZEL_DELETES_ROW_ID = e.ZEL_ROW_ID " +
           // A blank keeps the next condition apart from AND.
           "AND dd.DELETED_AT <= e.ZEL_STATE_ID) ) AND " +
           "b.objectid = dsec.ZEL_DELETES_ROW_ID AND " +
           "NOT EXISTS (SELECT objectid, ZEL_STATE_ID" + " FROM " + A + " asec " +
           "WHERE ZEL_STATE_ID IN (" + l4 + ") AND " +
           "dsec.ZEL_DELETES_ROW_ID = asec.objectid AND " +
           "dsec.DELETED_AT <= asec.ZEL_STATE_ID ) " + " UNION ALL " + "SELECT " + adds + " FROM " +
           D + " dsec, " + A + " a " + " WHERE DELETED_AT IN (" + l4 + ") AND " +
           " a.ZEL_STATE_ID IN (" + l1 + ") AND " + "ROW(a.objectid,a.ZEL_STATE_ID) NOT IN " +
           "(SELECT ROW( ZEL_DELETES_ROW_ID,ZEL_STATE_ID) " + " FROM " + D + " " +
           "WHERE DELETED_AT IN (" + l1 + ")) AND " + "a.objectid NOT IN " +
           "(SELECT  DISTINCT ZEL_DELETES_ROW_ID " + "FROM " + D + " dd " +
           "WHERE dd.DELETED_AT IN (" + l3 + ") " +
           "AND NOT EXISTS (SELECT DISTINCT ZEL_ROW_ID,ZEL_STATE_ID " + "FROM " + E + " e " +
           "WHERE EQUIVALENCE_STATE_ID IN (" + l4 + ") AND " + "ZEL_STATE_ID IN ( " + l3 + ")  " +
           "AND dd.ZEL_DELETES_ROW_ID = e.ZEL_ROW_ID " +
           "AND dd.DELETED_AT <= e.ZEL_STATE_ID ) ) AND " +
           "a.objectid = dsec.ZEL_DELETES_ROW_ID AND " +
           " NOT EXISTS (SELECT objectid,ZEL_STATE_ID" + " FROM " + A + " asec " +
           " WHERE ZEL_STATE_ID IN (" + l4 + ") AND " +
           "dsec.ZEL_DELETES_ROW_ID = asec.objectid AND " +
           "dsec.DELETED_AT <= asec.ZEL_STATE_ID ) " + tail;
}

class ChangeViewTest : public MvTest
{
  protected:
    void lists(const std::string &l1, const std::string &l2, const std::string *l3,
               const std::string *l4)
    {
        info_.lineage = l1.c_str();
        info_.lineage2 = l2.c_str();
        info_.sub_lineage = l3 != nullptr ? l3->c_str() : nullptr;
        info_.lineage4 = l4 != nullptr ? l4->c_str() : nullptr;
    }
    void log()
    {
        memset(&log_, 0, sizeof(log_));
        strcpy(log_.name, "gis:ann.picked");
        log_.logfile_id = 40;
        log_.data_id = 44;
        info_.logfile = &log_;
    }
    LOGFILE log_;
};

} // namespace

// A state's update changes: a stored view, created from the full text with
// every optional piece, then found; with the create flag 0 only named.
TEST_F(ChangeViewTest, UpdateChangesOfAStateAreAStoredView)
{
    setenv("ZELEQUIVS", "1", 1);
    info_.kind = DB_MV_UPDATE_CHANGES;
    lists(G1, G2, &G3, &G4);
    const std::string view = "ZEL_nch_sublineage_update_equiv_view_7";
    view_count(view, 0);
    auto [rc, text] = build();
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(text, view + " r");
    const std::string create =
        UpdateChanges("CREATE VIEW " + view + "(" + kColumns + ") AS (SELECT ", kBaseStored,
                      kAddsStored, ")", G1, G2, G3, G4);
    const std::string exists =
        "SELECT count(*) FROM SYSTABLES WHERE tabtype = 'V' AND tabname = LOWER('" + view + "') ";
    EXPECT_EQ(executed(),
              (Strings{exists, kSpatialOfRoads, kSpatialOfRoads, kSpatialOfRoads, create,
                       "GRANT SELECT ON " + view + " TO PUBLIC", "COMMIT", kSetter}));

    mark();
    view_count(view, 1);
    EXPECT_EQ(build(), std::make_pair(0, view + " r"));
    EXPECT_EQ(executed(), (Strings{exists, kSetter}));
    // Without the create flag the setter runs as the names are made and
    // again for the view named in the output.
    mark();
    view_count(view, 0);
    EXPECT_EQ(build(0), std::make_pair(0, view + " r"));
    EXPECT_EQ(executed(), (Strings{kSetter, exists, kSetter}));
}

TEST_F(ChangeViewTest, DeleteChangesOfAStateAreAStoredView)
{
    setenv("ZELEQUIVS", "1", 1);
    info_.kind = DB_MV_DELETE_CHANGES;
    lists(G1, G2, &G3, &G4);
    const std::string view = "ZEL_nch_sublineage_delete_equiv_view_7";
    view_count(view, 0);
    auto [rc, text] = build();
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(text, view + " r");
    const Strings sql = executed();
    ASSERT_EQ(sql.size(), 8u);
    EXPECT_EQ(sql[4], DeleteChanges("CREATE VIEW " + view + "(" + kColumns + ") AS (SELECT ",
                                    kBaseStored, kAddsStored, ")", G1, G3, G4));
    EXPECT_EQ(sql.back(), kSetter);
}

// Literal lists would freeze in a view that every later query reuses: the
// same rows are written inline, with the record's columns.
TEST_F(ChangeViewTest, ChangesOfLiteralListsAreInline)
{
    setenv("ZELEQUIVS", "1", 1);
    lists(L1, L2, &L3, &L4);
    info_.kind = DB_MV_UPDATE_CHANGES;
    EXPECT_EQ(build(), std::make_pair(0, UpdateChanges("TABLE (MULTISET( SELECT ", kBaseInline,
                                                       kAddsInline, "))r", L1, L2, L3, L4)));
    info_.kind = DB_MV_DELETE_CHANGES;
    EXPECT_EQ(build(), std::make_pair(0, DeleteChanges("TABLE (MULTISET( SELECT ", kBaseInline,
                                                       kAddsInline, "))r", L1, L3, L4)));
    EXPECT_EQ(executed(), (Strings{kSpatialOfRoads, kSpatialOfRoads, kSetter, kSpatialOfRoads,
                                   kSpatialOfRoads, kSetter})); // no view looked for
    // A getter list beside a literal one freezes the literal one too.
    mark();
    lists(G1, L2, &G3, &G4);
    info_.kind = DB_MV_UPDATE_CHANGES;
    EXPECT_EQ(build().second.rfind("TABLE (MULTISET( SELECT ", 0), 0u);
    // Without ZELEQUIVS the third list's test closes by itself.
    unsetenv("ZELEQUIVS");
    lists(L1, L2, &L3, &L4);
    const std::string update = build().second;
    EXPECT_EQ(update.find(E), std::string::npos);
    EXPECT_NE(update.find("dd.DELETED_AT IN ( 3,7 ) ) AND  b.objectid = asec.objectid AND "),
              std::string::npos)
        << update;
    EXPECT_NE(update.find("dd.DELETED_AT IN (3,7 ) ) AND  a.objectid = asec.objectid AND "),
              std::string::npos)
        << update;
    info_.kind = DB_MV_DELETE_CHANGES;
    const std::string deleted = build().second;
    EXPECT_EQ(deleted.find(E), std::string::npos);
    EXPECT_NE(deleted.find("dd.DELETED_AT IN (3,7) ) AND b.objectid = dsec.ZEL_DELETES_ROW_ID"),
              std::string::npos)
        << deleted;
}

// State 0: inline, without any piece that needs a state, the alias right
// after the closing brackets.
TEST_F(ChangeViewTest, ChangesOfState0)
{
    info_.state_id = 0;
    lists(G1, L2, nullptr, &L4);
    info_.kind = DB_MV_UPDATE_CHANGES;
    EXPECT_EQ(build(),
              std::make_pair(0, "TABLE (MULTISET( SELECT " + kBaseInline + "FROM " + D + " dsec," +
                                    A + " asec, " + T + " b " + " WHERE DELETED_AT IN (" + L2 +
                                    " ) AND " + " b.objectid = asec.objectid AND " +
                                    "asec.ZEL_STATE_ID IN (" + L4 + ") AND " +
                                    "asec.objectid = dsec.ZEL_DELETES_ROW_ID AND " +
                                    "NOT EXISTS (SELECT ZEL_DELETES_ROW_ID, ZEL_STATE_ID" +
                                    " FROM " + D + " dd " + "WHERE DELETED_AT IN (" + L2 +
                                    ") AND " + "asec.objectid = dd.ZEL_DELETES_ROW_ID AND " +
                                    "asec.ZEL_STATE_ID = dd.ZEL_STATE_ID) " + "))r"));
    // The delete changes with a log, read through the table's log getter.
    log();
    info_.kind = DB_MV_DELETE_CHANGES;
    EXPECT_EQ(build(),
              std::make_pair(0, "TABLE (MULTISET( SELECT " + kBaseInline + " FROM " +
                                    LogJoin("ZEL_logid_get7()") + D + " dsec, " + T + " b " +
                                    " WHERE DELETED_AT IN (" + L4 + ") AND " +
                                    "b.objectid = dsec.ZEL_DELETES_ROW_ID AND " +
                                    "NOT EXISTS (SELECT objectid, ZEL_STATE_ID" + " FROM " + A +
                                    " asec " + "WHERE ZEL_STATE_ID IN (" + L4 + ") AND " +
                                    "dsec.ZEL_DELETES_ROW_ID = asec.objectid AND " +
                                    "dsec.DELETED_AT <= asec.ZEL_STATE_ID ) " +
                                    " AND LF.zel_row_id = b.objectid " + "))r"));
    EXPECT_EQ(executed(), (Strings{kSpatialOfRoads, kSetterState0, kSpatialOfRoads,
                                   "EXECUTE PROCEDURE ZEL_lineageid_set7(0, 3, 0, 2, 44)"}));
}

// The difference texts, each with every optional piece (difference state,
// fourth list, ZELEQUIVS, a log read by its data id) and with none.
TEST_F(ChangeViewTest, DifferenceTexts)
{
    const std::string F = " FROM ";
    const std::string J = LogJoin("44");
    const std::string M = " AND LF.zel_row_id = a.objectid ";
    const struct {
        int32_t kind;
        bool full;
        std::string text;
    } cases[] = {
        {6, true,
         "TABLE (MULTISET(SELECT  " + kAddsInline + F + J + D + " d, " + A + " a " +
             "WHERE a.ZEL_STATE_ID IN (" + L3 + ") AND " + "d.DELETED_AT IN (" + L1 + ") AND " +
             " a.objectid = d.ZEL_DELETES_ROW_ID AND " +
             "NOT EXISTS (SELECT ZEL_DELETES_ROW_ID,ZEL_STATE_ID" + " FROM " + D + " dd " +
             "WHERE DELETED_AT IN (" + L1 + ") AND " + "a.objectid = dd.ZEL_DELETES_ROW_ID AND " +
             "a.ZEL_STATE_ID = dd.ZEL_STATE_ID ) AND " +
             " NOT EXISTS (SELECT ZEL_ROW_ID,ZEL_STATE_ID" + " FROM " + E + " e " +
             "WHERE EQUIVALENCE_STATE_ID IN (" + L2 + ") AND " + "a.objectid = e.ZEL_ROW_ID AND " +
             "a.ZEL_STATE_ID = e.EQUIVALENCE_STATE_ID ) AND " + "(EXISTS (" +
             "SELECT bsec.objectid " + "FROM " + T + " bsec " +
             "WHERE a.objectid = bsec.objectid " + "AND bsec.objectid NOT IN " +
             "(SELECT ZEL_DELETES_ROW_ID" + " FROM " + D + " " + "WHERE DELETED_AT IN (" + L2 +
             ")) " + "AND ROW(bsec.objectid,0) NOT IN " + "(SELECT ROW(ZEL_DELETES_ROW_ID,0) " +
             "FROM " + D + " dd " + "WHERE dd.ZEL_STATE_ID = 0 AND " + "dd.DELETED_AT IN (" + L4 +
             ") " + "AND NOT EXISTS (SELECT ZEL_ROW_ID,ZEL_STATE_ID " + "FROM " + E + " e " +
             "WHERE EQUIVALENCE_STATE_ID IN (" + L3 + ") AND " + "ZEL_STATE_ID IN (" + L4 +
             ") AND " + "dd.ZEL_DELETES_ROW_ID = e.ZEL_ROW_ID AND " +
             "dd.DELETED_AT <= e.ZEL_STATE_ID )) " + ") " + " OR EXISTS ( " +
             "SELECT asec.objectid " + "FROM " + A + " asec " +
             "WHERE a.objectid = asec.objectid AND " + "asec.ZEL_STATE_ID IN (" + L2 + ") AND " +
             " NOT EXISTS (SELECT ZEL_DELETES_ROW_ID,ZEL_STATE_ID" + " FROM " + D + " dd " +
             "WHERE DELETED_AT IN (" + L2 + ") AND " + "asec.objectid= dd.ZEL_DELETES_ROW_ID AND " +
             "asec.ZEL_STATE_ID= dd.ZEL_STATE_ID ) " + "AND asec.objectid NOT IN " +
             "(SELECT ZEL_DELETES_ROW_ID" + " FROM " + D + " dd " + " WHERE dd.DELETED_AT IN (" +
             L4 + ") " + "AND NOT EXISTS (SELECT ZEL_ROW_ID,ZEL_STATE_ID " + " FROM " + E + " e " +
             "WHERE EQUIVALENCE_STATE_ID IN (" + L3 + ") AND " + "ZEL_STATE_ID IN (" + L4 + ") " +
             "AND dd.ZEL_DELETES_ROW_ID = e.ZEL_ROW_ID AND " +
             "dd.DELETED_AT <= e.ZEL_STATE_ID) ) " + ") " + ") " + M + ")) r"},
        {6, false,
         "TABLE (MULTISET(SELECT  " + kAddsInline + F + D + " d, " + A + " a " +
             "WHERE a.ZEL_STATE_ID IN (" + L3 + ") AND " + "d.DELETED_AT IN (" + L1 + ") AND " +
             " a.objectid = d.ZEL_DELETES_ROW_ID AND " +
             "NOT EXISTS (SELECT ZEL_DELETES_ROW_ID,ZEL_STATE_ID" + " FROM " + D + " dd " +
             "WHERE DELETED_AT IN (" + L1 + ") AND " + "a.objectid = dd.ZEL_DELETES_ROW_ID AND " +
             "a.ZEL_STATE_ID = dd.ZEL_STATE_ID ) AND " + "(EXISTS (" + "SELECT bsec.objectid " +
             "FROM " + T + " bsec " + "WHERE a.objectid = bsec.objectid " + ") " + ") " + ")) r"},
        {7, true,
         "TABLE (MULTISET( SELECT " + kAddsInline + F + J + D + " d, " + A + " a " +
             "WHERE a.ZEL_STATE_ID IN (" + L3 + ") AND " + "d.DELETED_AT IN (" + L1 + ") AND " +
             " a.objectid = d.ZEL_DELETES_ROW_ID AND " + "ROW(a.objectid,a.ZEL_STATE_ID) NOT IN " +
             "(SELECT ROW( ZEL_DELETES_ROW_ID,ZEL_STATE_ID) " + "FROM " + D + " " +
             "WHERE DELETED_AT IN (" + L1 + ")) AND " + "ROW(a.objectid,a.ZEL_STATE_ID) NOT IN " +
             "(SELECT  ROW( ZEL_ROW_ID,ZEL_STATE_ID) " + "FROM " + E + " " +
             "WHERE EQUIVALENCE_STATE_ID IN (" + L2 + ")) AND " + "EXISTS (SELECT asec.objectid " +
             "FROM " + D + " dsec, " + A + " asec " + "WHERE a.objectid = asec.objectid AND " +
             "dsec.DELETED_AT IN (" + L2 + ") AND " + "asec.ZEL_STATE_ID IN (" + L4 + ") AND " +
             "asec.objectid = dsec.ZEL_DELETES_ROW_ID AND " +
             "ROW(asec.objectid,asec.ZEL_STATE_ID) NOT IN " +
             "(SELECT ROW( ZEL_DELETES_ROW_ID,ZEL_STATE_ID) " + "FROM " + D + " " +
             "WHERE DELETED_AT IN (" + L2 + ")) " +
             "AND ROW(asec.objectid,asec.ZEL_STATE_ID) NOT IN " +
             "(SELECT  ROW( ZEL_ROW_ID,ZEL_STATE_ID) " + "FROM " + E + " " +
             "WHERE EQUIVALENCE_STATE_ID IN (" + L1 + "))) " + M + ")) r"},
        {7, false,
         "TABLE (MULTISET( SELECT " + kAddsInline + F + D + " d, " + A + " a " +
             "WHERE a.ZEL_STATE_ID IN (" + L3 + ") AND " + "d.DELETED_AT IN (" + L1 + ") AND " +
             " a.objectid = d.ZEL_DELETES_ROW_ID AND " + "ROW(a.objectid,a.ZEL_STATE_ID) NOT IN " +
             "(SELECT ROW( ZEL_DELETES_ROW_ID,ZEL_STATE_ID) " + "FROM " + D + " " +
             "WHERE DELETED_AT IN (" + L1 + ")) AND " + "EXISTS (SELECT asec.objectid " + "FROM " +
             D + " dsec, " + A + " asec " + "WHERE a.objectid = asec.objectid AND " +
             "dsec.DELETED_AT IN (" + L2 + ") AND " + "asec.ZEL_STATE_ID IN (" + L4 + ") AND " +
             "asec.objectid = dsec.ZEL_DELETES_ROW_ID AND " +
             "ROW(asec.objectid,asec.ZEL_STATE_ID) NOT IN " +
             "(SELECT ROW( ZEL_DELETES_ROW_ID,ZEL_STATE_ID) " + "FROM " + D + " " +
             "WHERE DELETED_AT IN (" + L2 + ")) " + ") " + ")) r"},
        {8, true,
         "TABLE (MULTISET(SELECT " + kAddsInline + F + J + D + " d, " + A + " a " +
             "WHERE DELETED_AT IN (" + L1 + ") AND " + " a.ZEL_STATE_ID IN (" + L3 + ") AND " +
             " a.objectid = d.ZEL_DELETES_ROW_ID AND " + "ROW(a.objectid,a.ZEL_STATE_ID) NOT IN " +
             "(SELECT ROW( ZEL_DELETES_ROW_ID,ZEL_STATE_ID) " + "FROM " + D + " " +
             "WHERE DELETED_AT IN (" + L1 + ")) AND " + "ROW(a.objectid,a.ZEL_STATE_ID) NOT IN " +
             "(SELECT  ROW( ZEL_ROW_ID,ZEL_STATE_ID) " + "FROM " + E + " " +
             "WHERE EQUIVALENCE_STATE_ID IN (" + L2 + ")) AND " +
             "a.objectid IN (SELECT dsec.ZEL_DELETES_ROW_ID " + " FROM " + D + " dsec" +
             " WHERE DELETED_AT IN (" + L2 + ") AND  " +
             "NOT EXISTS (SELECT objectid,ZEL_STATE_ID " + " FROM " + A + " asec" +
             " WHERE ZEL_STATE_ID IN (" + L2 + ") AND " +
             " dsec.ZEL_DELETES_ROW_ID = asec.objectid AND " +
             "dsec.DELETED_AT <= asec.ZEL_STATE_ID )) " + M + ")) r"},
        {8, false,
         "TABLE (MULTISET(SELECT " + kAddsInline + F + D + " d, " + A + " a " +
             "WHERE DELETED_AT IN (" + L1 + ") AND " + " a.ZEL_STATE_ID IN (" + L3 + ") AND " +
             " a.objectid = d.ZEL_DELETES_ROW_ID AND " + "ROW(a.objectid,a.ZEL_STATE_ID) NOT IN " +
             "(SELECT ROW( ZEL_DELETES_ROW_ID,ZEL_STATE_ID) " + "FROM " + D + " " +
             "WHERE DELETED_AT IN (" + L1 + ")) AND " +
             "a.objectid IN (SELECT dsec.ZEL_DELETES_ROW_ID " + " FROM " + D + " dsec" +
             " WHERE DELETED_AT IN (" + L2 + ") AND  " +
             "NOT EXISTS (SELECT objectid,ZEL_STATE_ID " + " FROM " + A + " asec" +
             " WHERE ZEL_STATE_ID IN (" + L2 + ") AND " +
             " dsec.ZEL_DELETES_ROW_ID = asec.objectid AND " +
             "dsec.DELETED_AT <= asec.ZEL_STATE_ID )) " + ")) r"},
        {9, true,
         "TABLE (MULTISET(SELECT " + kAddsInline + F + J + A + " a " + "WHERE a.ZEL_STATE_ID IN (" +
             L1 + ") AND " + "NOT EXISTS (SELECT ZEL_DELETES_ROW_ID,ZEL_STATE_ID " + "FROM " + D +
             " dd " + "WHERE DELETED_AT IN (" + L1 + ") AND " +
             "a.objectid= dd.ZEL_DELETES_ROW_ID AND " + "a.ZEL_STATE_ID= dd.ZEL_STATE_ID) AND " +
             "a.objectid NOT IN " + "(SELECT objectid " + "FROM " + A + " " +
             "WHERE ZEL_STATE_ID IN (" + L4 + ")) AND " + " EXISTS (SELECT asec.objectid" +
             " FROM " + A + " asec " + " WHERE a.objectid = asec.objectid AND " +
             "asec.ZEL_STATE_ID IN (" + L3 + ") AND " + " NOT EXISTS " +
             " (SELECT ZEL_DELETES_ROW_ID,DELETED_AT" + " FROM " + D + " dsec " +
             " WHERE DELETED_AT IN (" + L1 + ") AND " +
             "asec.objectid = dsec.ZEL_DELETES_ROW_ID AND " +
             "asec.ZEL_STATE_ID >= dsec.DELETED_AT)) " + M + ")) r"},
        {9, false,
         "TABLE (MULTISET(SELECT " + kAddsInline + F + A + " a " + "WHERE a.ZEL_STATE_ID IN (" +
             L1 + ") AND " + "NOT EXISTS (SELECT ZEL_DELETES_ROW_ID,ZEL_STATE_ID " + "FROM " + D +
             " dd " + "WHERE DELETED_AT IN (" + L1 + ") AND " +
             "a.objectid= dd.ZEL_DELETES_ROW_ID AND " + "a.ZEL_STATE_ID= dd.ZEL_STATE_ID) AND " +
             " EXISTS (SELECT asec.objectid" + " FROM " + A + " asec " +
             " WHERE a.objectid = asec.objectid AND " + "asec.ZEL_STATE_ID IN (" + L3 + ") AND " +
             " NOT EXISTS " + " (SELECT ZEL_DELETES_ROW_ID,DELETED_AT" + " FROM " + D + " dsec " +
             " WHERE DELETED_AT IN (" + L1 + ") AND " +
             "asec.objectid = dsec.ZEL_DELETES_ROW_ID AND " +
             "asec.ZEL_STATE_ID >= dsec.DELETED_AT)) " + ")) r"},
        {10, true,
         "TABLE (MULTISET(SELECT " + kAddsInline + F + J + A + " a " + "WHERE 1 = 2 " + M + ")) r"},
        {10, false,
         "TABLE (MULTISET(SELECT " + kAddsInline + F + A + " a " + "WHERE 1 = 2 " + ")) r"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.kind) + (c.full ? " full" : " bare"));
        mark();
        info_.kind = c.kind;
        info_.logfile = nullptr;
        if (c.full) {
            setenv("ZELEQUIVS", "1", 1);
            info_.diff_state_id = 6;
            lists(L1, L2, &L3, &L4);
            log();
        } else {
            unsetenv("ZELEQUIVS");
            info_.diff_state_id = 0;
            // Kind 7 reads its fourth list either way.
            lists(L1, L2, &L3, c.kind == 7 ? &L4 : nullptr);
        }
        EXPECT_EQ(build(), std::make_pair(0, c.text));
        EXPECT_EQ(
            executed(),
            (Strings{kSpatialOfRoads,
                     c.full ? "EXECUTE PROCEDURE ZEL_lineageid_set7(5, 3, 6, 2, 44)" : kSetter}));
    }
}

// Pretty printing changes only the line breaks, in every kind and form.
TEST_F(ChangeViewTest, PrettyPrintingOnlyBreaksLines)
{
    setenv("ZELEQUIVS", "1", 1);
    log();
    info_.diff_state_id = 6;
    lists(L1, L2, &L3, &L4);
    for (int32_t kind = DB_MV_UPDATE_CHANGES; kind <= DB_MV_DIFFERENCE_LAST; kind++) {
        for (int32_t state : {0, 5}) {
            SCOPED_TRACE(std::to_string(kind) + " " + std::to_string(state));
            info_.kind = kind;
            info_.state_id = state;
            unsetenv("ZELPRETTYSQL");
            const std::string plain = build().second;
            setenv("ZELPRETTYSQL", "1", 1);
            const std::string pretty = build().second;
            EXPECT_GT(std::count(pretty.begin(), pretty.end(), '\n'), 4);
            EXPECT_EQ(without_line_breaks(pretty), plain);
        }
    }
    // The stored view's text.
    unsetenv("ZELPRETTYSQL");
    info_.logfile = nullptr;
    info_.state_id = 5;
    info_.kind = DB_MV_UPDATE_CHANGES;
    lists(G1, G2, &G3, &G4);
    view_count("ZEL_nch_sublineage_update_equiv_view_7", 0);
    mark();
    ASSERT_EQ(build().first, 0);
    const std::string plain = executed()[4];
    setenv("ZELPRETTYSQL", "1", 1);
    view_count("ZEL_nch_sublineage_update_equiv_view_7", 0);
    mark();
    ASSERT_EQ(build().first, 0);
    const std::string pretty = executed()[4];
    EXPECT_NE(pretty.find('\n'), std::string::npos);
    EXPECT_EQ(without_line_breaks(pretty), plain);
}

// A list the kind's text reads must be there and not blank (it would leave
// "IN ()" behind); a list it does not read may be missing.
TEST_F(ChangeViewTest, ListsEachKindReads)
{
    const std::string blank = " ";
    const struct {
        int32_t kind, state;
        const std::string *l1, *l2, *l3, *l4;
        int32_t rc;
    } cases[] = {
        {4, 5, &L1, nullptr, nullptr, &L4, ZE_INVALID_ARGUMENT},
        {4, 5, &L1, &L2, nullptr, &blank, ZE_INVALID_ARGUMENT},
        {4, 5, &L1, &L2, &blank, &L4, ZE_INVALID_ARGUMENT},
        {4, 0, nullptr, &L2, &blank, &L4, 0},
        {5, 5, nullptr, nullptr, nullptr, &L4, ZE_INVALID_ARGUMENT},
        {5, 0, nullptr, nullptr, nullptr, &L4, 0},
        {6, 5, &L1, nullptr, &L3, nullptr, 0},
        {6, 5, &L1, nullptr, nullptr, nullptr, ZE_INVALID_ARGUMENT},
        {7, 5, &L1, &L2, &L3, nullptr, ZE_INVALID_ARGUMENT},
        {8, 5, &L1, &blank, &L3, nullptr, ZE_INVALID_ARGUMENT},
        {9, 5, &L1, nullptr, &L3, &blank, ZE_INVALID_ARGUMENT},
        {9, 5, &L1, nullptr, &L3, nullptr, 0},
        {10, 5, nullptr, nullptr, nullptr, nullptr, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.kind) + " " + std::to_string(&c - cases));
        info_.kind = c.kind;
        info_.state_id = c.state;
        info_.lineage = c.l1 != nullptr ? c.l1->c_str() : nullptr;
        info_.lineage2 = c.l2 != nullptr ? c.l2->c_str() : nullptr;
        info_.sub_lineage = c.l3 != nullptr ? c.l3->c_str() : nullptr;
        info_.lineage4 = c.l4 != nullptr ? c.l4->c_str() : nullptr;
        EXPECT_EQ(build().first, c.rc);
    }
}
