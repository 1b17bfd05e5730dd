// UPDATE STATISTICS of user tables and of the tables beside them
// (db_table_dbms_stats.h, db_table_dbms_stats_internal.h): the adds, deletes
// and equivalence tables of a multiversioned registration (db/version's
// registration look-up and the access core's name builders) and the band and
// block tables of a raster column. Nothing here commits.
#include "db/catalog/db_table_dbms_stats_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "base/util/ve_raster.h"
#include "base/util/ve_registration.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_rastercolumn_info.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_xerr.h"
#include "db/version/db_registration_internal.h"

namespace
{

struct ModeWord {
    const char *keyword;
    int32_t mode;
};
const ModeWord kModes[] = {
    {"DISTRIBUTIONS", DB_STATS_MODE_DISTRIBUTIONS},
    {"DROP", DB_STATS_MODE_DROP},
    {"RESOLUTION", DB_STATS_MODE_RESOLUTION},
    {"SPECIFIC", DB_STATS_MODE_SPECIFIC},
    {"FUNCTION", DB_STATS_MODE_FUNCTION},
    {"PROCEDURE", DB_STATS_MODE_PROCEDURE},
    {"ROUTINE", DB_STATS_MODE_ROUTINE},
    {"LOW", DB_STATS_MODE_LOW},
    {"MEDIUM", DB_STATS_MODE_MEDIUM},
    {"HIGH", DB_STATS_MODE_HIGH},
};

constexpr int32_t kRegistrationTables = DB_STATS_ADDS | DB_STATS_DELETES | DB_STATS_EQUIVS;

bool S_any_of_all(int32_t mask)
{
    return mask > 0 && (mask & DB_STATS_ALL) != 0;
}

const char *S_level(int32_t mode)
{
    switch (mode) {
    case DB_STATS_MODE_LOW:
        return "LOW";
    case DB_STATS_MODE_MEDIUM:
        return "MEDIUM";
    case DB_STATS_MODE_HIGH:
        return "HIGH";
    default:
        return "";
    }
}

std::string S_modifier(int32_t mode)
{
    switch (mode) {
    case DB_STATS_MODE_DISTRIBUTIONS:
        return "DISTRIBUTIONS ONLY";
    case DB_STATS_MODE_DROP:
        return "DROP DISTRIBUTIONS";
    case DB_STATS_MODE_RESOLUTION:
        return "RESOLUTION " + std::to_string(1);
    default:
        return "";
    }
}

const char *S_routine_kind(int32_t mode)
{
    switch (mode) {
    case DB_STATS_MODE_SPECIFIC:
        return "SPECIFIC";
    case DB_STATS_MODE_FUNCTION:
        return "FUNCTION";
    case DB_STATS_MODE_PROCEDURE:
        return "PROCEDURE";
    case DB_STATS_MODE_ROUTINE:
        return "ROUTINE";
    default:
        return nullptr;
    }
}

// The table's registration, by owner.table. 0 or the look-up's code.
int32_t S_registration(DB_INSTANCE *instance, const char *owner, const char *table,
                       REGISTRATION *registration)
{
    memset(registration, 0, sizeof(*registration));
    std::string name = std::string(owner) + "." + table;
    return db_registration_find_hook(instance, name.c_str(), registration);
}

// One of the registration's tables by its mask bit, named by the access
// core's builder. 0 or the builder's code.
int32_t S_registration_table(DB_INSTANCE *instance, const REGISTRATION &registration, int32_t bit,
                             const char *database, const char *owner, char *out, size_t size)
{
    int32_t id = registration.registration_id;
    if (bit == DB_STATS_ADDS)
        return db_make_adds_table_name(instance, id, database, owner, out, size);
    if (bit == DB_STATS_DELETES)
        return db_make_deletes_table_name(instance, id, database, owner, out, size);
    return db_make_e_table_name(instance, id, database, owner, out, size);
}

// Statistics of the registration's tables of the mask (adds, deletes,
// equivalence table in order). A failure ends the walk unless tolerated.
template <typename Tolerated>
int32_t S_registration_tables(DB_INSTANCE *instance, const REGISTRATION &registration,
                              const char *database, const char *owner, int32_t mode, int32_t mask,
                              Tolerated tolerated)
{
    int32_t status = 0;
    for (int32_t bit : {DB_STATS_ADDS, DB_STATS_DELETES, DB_STATS_EQUIVS}) {
        if (!(mask & bit))
            continue;
        char name[DB_QUALIFIED_NAME_SIZE];
        status =
            S_registration_table(instance, registration, bit, database, owner, name, sizeof(name));
        if (status == 0)
            status = db_table_update_statistics(1, owner, name, mode, 0);
        if (status != 0 && !tolerated(status))
            return status;
    }
    return status;
}

// Statistics of the band and block tables of the table's raster column;
// -226 (no raster column) when it has none.
int32_t S_raster_tables(DB_INSTANCE *instance, const char *owner, const char *table, int32_t mode)
{
    RASTERCOLUMN info;
    memset(&info, 0, sizeof(info));
    int32_t rc = DB_rastercolumn_get_info_by_name(instance, nullptr, table, nullptr, owner, &info);
    if (rc != 0)
        return rc;
    char name[DB_QUALIFIED_NAME_SIZE];
    rc = db_make_band_table_name(nullptr, info.rastercolumn_id, name, sizeof(name));
    if (rc == 0)
        rc = db_table_update_statistics(1, owner, name, mode, 0);
    if (rc != 0)
        return rc;
    rc = db_make_block_table_name(nullptr, info.rastercolumn_id, name, sizeof(name));
    return rc == 0 ? db_table_update_statistics(1, owner, name, mode, 0) : rc;
}

// Whether object is a constraint of the registration table of the bit: its
// bare name is what the catalogue holds.
int32_t S_constraint_of(DB_INSTANCE *instance, const REGISTRATION &registration, int32_t bit,
                        const char *object, const char *owner)
{
    char name[DB_QUALIFIED_NAME_SIZE];
    int32_t rc =
        S_registration_table(instance, registration, bit, nullptr, nullptr, name, sizeof(name));
    if (rc != 0)
        return rc;
    const char *bare = strrchr(name, '.');
    return db_table_has_constraint(bare ? bare + 1 : name, object, owner) ? 0 : ZE_INDEX_NOT_FOUND;
}

int32_t S_update_dbms_stats(DB_INSTANCE *instance, const char *table, const char *object,
                            const char *keyword, int32_t mask)
{
    char user[DB_USER_NAME_SIZE] = "";
    db_get_current_user(user);
    int32_t mode = 0;
    int32_t rc = db_table_statistics_mode(keyword, &mode);
    if (rc != 0)
        return rc;
    char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], name[DB_NAME_TABLE_SIZE];
    rc = db_parse_table_name(instance, table, user, database, owner, name);
    if (rc != 0)
        return rc;
    if (object == nullptr || object[0] == '\0')
        return S_any_of_all(mask)
                   ? db_table_update_statistics_of_tables(instance, name, owner, mode, mask)
                   : 0;
    if (strcasecmp(object, "ALL") == 0)
        return db_table_update_statistics_all(instance, database, owner, name, mode, mask);
    if (mask == DB_STATS_ALL)
        return ZE_INDEX_NOT_FOUND;
    std::string qualified =
        strchr(object, '.') != nullptr ? std::string(object) : std::string(owner) + "." + object;
    char object_database[DB_NAME_DATABASE_SIZE], object_owner[DB_NAME_OWNER_SIZE];
    char bare[DB_NAME_TABLE_SIZE];
    rc = db_parse_table_name(instance, object, owner, object_database, object_owner, bare);
    if (rc == 0)
        rc = db_check_table_name(qualified.c_str());
    if (rc == 0)
        rc = db_table_check_statistics_object(instance, name, bare, owner, mask);
    return rc != 0 ? rc : db_table_update_statistics(0, owner, qualified.c_str(), mode, 0);
}

} // namespace

int32_t db_table_statistics_mode(const char *keyword, int32_t *mode)
{
    if (mode == nullptr)
        return ZE_NULL_POINTER;
    if (keyword == nullptr) {
        *mode = DB_STATS_MODE_NONE;
        return 0;
    }
    for (const ModeWord &m : kModes)
        if (strcasecmp(keyword, m.keyword) == 0) {
            *mode = m.mode;
            return 0;
        }
    return ZE_INVALID_ARGUMENT;
}

int32_t db_table_update_statistics(int32_t table_form, const char *, const char *name, int32_t mode,
                                   int32_t)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        std::string sql;
        const char *kind = S_routine_kind(mode);
        if (table_form || kind != nullptr) {
            if (name == nullptr)
                return ZE_NULL_POINTER;
            int32_t rc = db_check_table_name(name);
            if (rc != 0)
                return rc;
        }
        if (table_form)
            sql = std::string("UPDATE STATISTICS ") + S_level(mode) + " FOR TABLE " + name + " " +
                  S_modifier(mode);
        else if (kind != nullptr)
            sql = std::string("UPDATE STATISTICS  ") + S_level(mode) + " FOR " + kind + " " + name;
        else
            sql = std::string("UPDATE STATISTICS ") + S_level(mode) + " ";
        int32_t rc = db_execute_ddlsql(sql.c_str(), 1, DB_EXEC_NO_COMMIT);
        if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO)
            return 0;
        if (rc == ZE_TABLE_NOT_FOUND || rc == ZE_NO_PERMISSIONS)
            return rc;
        return ZE_DBMS_ERROR;
    });
}

int32_t db_table_update_statistics_table(DB_INSTANCE *, const char *owner, const char *table,
                                         int32_t mode)
{
    return db_table_update_statistics(1, owner, table, mode, 0);
}

int32_t db_table_update_statistics_of_tables(DB_INSTANCE *instance, const char *table,
                                             const char *owner, int32_t mode, int32_t mask)
{
    if (table == nullptr || owner == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = 0;
    if (mask & DB_STATS_TABLE) {
        rc = db_table_update_statistics_table(instance, owner, table, mode);
        if (rc != 0)
            return rc;
    }
    if (mask & DB_STATS_RASTER) {
        rc = S_raster_tables(instance, owner, table, mode);
        if (rc != 0 && rc != ZE_RASTERCOLUMN_NOT_FOUND)
            return rc;
    }
    REGISTRATION registration;
    rc = S_registration(instance, owner, table, &registration);
    if (rc != 0 && rc != ZE_TABLE_NOT_REGISTERED)
        return rc;
    if (rc == 0 && (registration.object_flags & REG_MULTIVERSION)) {
        rc = S_registration_tables(
            instance, registration, nullptr, owner, mode, mask,
            [&](int32_t code) { return mask == DB_STATS_ALL && code == ZE_TABLE_NOT_FOUND; });
        return rc == ZE_TABLE_NOT_FOUND && mask == DB_STATS_ALL ? 0 : rc;
    }
    if (mask != DB_STATS_ALL && (mask & kRegistrationTables))
        return ZE_NOT_MULTIVERSION;
    return 0;
}

int32_t db_table_update_statistics_all(DB_INSTANCE *instance, const char *database,
                                       const char *owner, const char *table, int32_t mode,
                                       int32_t mask)
{
    if (table == nullptr || owner == nullptr)
        return ZE_NULL_POINTER;
    if (!S_any_of_all(mask))
        return db_table_update_statistics_table(instance, owner, table, mode);
    REGISTRATION registration;
    int32_t rc = S_registration(instance, owner, table, &registration);
    if (rc != 0 && rc != ZE_TABLE_NOT_REGISTERED)
        return rc;
    int32_t status = 0;
    if (rc == 0 && (registration.object_flags & REG_MULTIVERSION)) {
        status = S_registration_tables(
            instance, registration, database, owner, mode, mask, [&](int32_t code) {
                return mask == DB_STATS_ALL &&
                       (code == ZE_TABLE_NOT_FOUND || code == ZE_INDEX_NOT_FOUND);
            });
        if (status != 0 && !(mask == DB_STATS_ALL &&
                             (status == ZE_TABLE_NOT_FOUND || status == ZE_INDEX_NOT_FOUND)))
            return status;
    } else if (mask != DB_STATS_ALL && (mask & kRegistrationTables)) {
        return ZE_NOT_MULTIVERSION;
    }
    if (mask & DB_STATS_RASTER) {
        status = S_raster_tables(instance, owner, table, mode);
        if (status == ZE_RASTERCOLUMN_NOT_FOUND)
            status = 0;
    }
    if (mask & DB_STATS_TABLE)
        status = db_table_update_statistics_table(instance, owner, table, mode);
    return status;
}

int32_t db_table_check_statistics_object(DB_INSTANCE *instance, const char *table,
                                         const char *object, const char *owner, int32_t mask)
{
    if (table == nullptr || object == nullptr || owner == nullptr)
        return ZE_NULL_POINTER;
    auto of_table = [&] {
        return db_table_has_constraint(table, object, owner) ? 0 : ZE_INDEX_NOT_FOUND;
    };
    if (!S_any_of_all(mask))
        return of_table();
    REGISTRATION registration;
    int32_t rc = S_registration(instance, owner, table, &registration);
    if (rc != 0 && rc != ZE_TABLE_NOT_REGISTERED)
        return rc;
    bool multiversion = rc == 0 && (registration.object_flags & REG_MULTIVERSION);
    if (multiversion &&
        (mask == DB_STATS_ADDS || mask == DB_STATS_DELETES || mask == DB_STATS_EQUIVS))
        return S_constraint_of(instance, registration, mask, object, owner);
    if (!multiversion && mask != DB_STATS_ALL && (mask & kRegistrationTables))
        return ZE_NOT_MULTIVERSION;
    return mask == DB_STATS_TABLE ? of_table() : ZE_INDEX_NOT_FOUND;
}

int32_t db_table_has_constraint(const char *table, const char *constraint, const char *owner)
{
    if (table == nullptr || constraint == nullptr || owner == nullptr)
        return 0;
    return zel_oom_guard(0, [&]() -> int32_t {
        std::string sql = "SELECT COUNT(*) FROM systables st, sysconstraints sc WHERE st.tabid = "
                          "sc.tabid AND LOWER(st.tabname) = LOWER('" +
                          db_quote_literal(table) + "') AND sc.owner = '" +
                          db_quote_literal(owner) + "' AND LOWER(sc.constrname) = LOWER('" +
                          db_quote_literal(constraint) + "')";
        char count[24] = "";
        SQLLEN length = 0;
        CLI_DIAG_RECORD diag;
        SQLRETURN rc = db_select_one_text(sql.c_str(), count, sizeof(count), &length, &diag);
        if (!SQL_SUCCEEDED(rc) || length == SQL_NULL_DATA)
            return 0;
        return atol(count) >= 1 ? 1 : 0;
    });
}

int32_t DB_table_update_dbms_stats(DB_INSTANCE *instance, const char *table, const char *object,
                                   const char *keyword, int32_t mask)
{
    if (table == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        DB_instance_clear_xerr();
        return S_update_dbms_stats(instance, table, object, keyword, mask);
    });
}
