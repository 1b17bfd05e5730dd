// Version operations through the catalogue's stored functions (db_version.h):
// change_version_state, insert_version, delete_version, update_version and
// rename_version. The functions check permissions, parents and names inside
// the database; this side binds the arguments, runs the call and maps the
// code it returns (db/version/db_version_stmt_internal.h).
#include "db/version/db_version_internal.h"

#include <sqlext.h>
#include <string.h>

#include <string>

#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names.h"
#include "db/version/db_version_stmt_internal.h"

// Room for the name column insert_version returns (char(128)).
#define S_RETURNED_NAME_SIZE 129

// A version as the functions name it: owner.name (".name" without an owner,
// which the functions read as an empty owner, never as the caller), nothing
// (a NULL) without a name.
static std::string S_full_name(std::string_view owner, std::string_view name)
{
    if (name.empty())
        return std::string();
    return std::string(owner) + "." + std::string(name);
}

// "EXECUTE FUNCTION <admin database>:<routine>(...) ".
static std::string S_admin_call(DB_INSTANCE *instance, const char *routine, const char *arguments)
{
    char admin[DB_NAME_DATABASE_SIZE] = "";
    DB_instance_get_admin_database(instance, admin);
    return std::string("EXECUTE FUNCTION ") + admin + ":" + routine + arguments;
}

ZEL_API int32_t DB_sp_versions_def_change_state(DB_INSTANCE *, const VERSION *version,
                                                int32_t new_state_id)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (version == nullptr)
            return ZE_NULL_POINTER;
        std::string name = S_full_name(db_field_text(version->owner), db_field_text(version->name));
        return db_sp_call("EXECUTE FUNCTION change_version_state(?,?,?)",
                          "zel.change_version_state", [&](DB_PARAMS &p) {
                              SQLRETURN rc = p.text(name, 255, true);
                              if (SQL_SUCCEEDED(rc))
                                  rc = p.integer(version->state_id);
                              if (SQL_SUCCEEDED(rc))
                                  rc = p.integer(new_state_id);
                              return rc;
                          });
    });
}

ZEL_API int32_t DB_sp_versions_def_insert(DB_INSTANCE *, const VERSION *version,
                                          int32_t generate_unique_name, char *name_out)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (version == nullptr || name_out == nullptr)
            return ZE_NULL_POINTER;
        char returned[S_RETURNED_NAME_SIZE] = "";
        SQLLEN returned_length = 0;
        int32_t rc = db_sp_call(
            "EXECUTE FUNCTION insert_version(?,?,?,?,?,?,?,?, ?) ", "zel.insert_version",
            [&](DB_PARAMS &p) {
                SQLRETURN cli = p.text(db_field_text(version->name), sizeof(version->name), false);
                if (SQL_SUCCEEDED(cli))
                    cli = p.unsigned_integer(version->status);
                if (SQL_SUCCEEDED(cli))
                    cli = p.integer(version->version_id);
                if (SQL_SUCCEEDED(cli))
                    cli = p.integer(version->state_id);
                if (SQL_SUCCEEDED(cli))
                    cli = db_version_bind_parent(p, version, false);
                if (SQL_SUCCEEDED(cli))
                    cli = p.integer_or_null(version->parent_version_id,
                                            version->parent_version_id == 0);
                if (SQL_SUCCEEDED(cli))
                    cli = p.integer(generate_unique_name ? 1 : 2);
                return cli;
            },
            [&](SQLHSTMT hstmt) {
                return SQLBindCol(hstmt, 3, SQL_C_CHAR, returned, sizeof(returned),
                                  &returned_length);
            });
        if (rc != ZE_SUCCESS)
            return rc;
        // The name the function stored, cut at its returned length and at
        // what the caller's buffer holds.
        size_t n = strnlen(returned, sizeof(returned) - 1);
        if (returned_length >= 0 && static_cast<size_t>(returned_length) < n)
            n = static_cast<size_t>(returned_length);
        if (returned_length == SQL_NULL_DATA)
            n = 0;
        if (n > DB_VERSION_NAME_OUT_SIZE - 1)
            n = DB_VERSION_NAME_OUT_SIZE - 1;
        memcpy(name_out, returned, n);
        name_out[n] = '\0';
        return ZE_SUCCESS;
    });
}

ZEL_API int32_t DB_sp_versions_def_delete(DB_INSTANCE *instance, const char *owner,
                                          const char *name)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (owner == nullptr || name == nullptr)
            return ZE_NULL_POINTER;
        return db_sp_call(
            S_admin_call(instance, "delete_version", "(?) "), "zel.delete_version",
            [&](DB_PARAMS &p) { return p.text(S_full_name(owner, name), 255, true); });
    });
}

ZEL_API int32_t DB_sp_versions_def_update(DB_INSTANCE *, const VERSION *version)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (version == nullptr)
            return ZE_NULL_POINTER;
        return db_sp_call(
            "EXECUTE FUNCTION update_version(ROW(?,?,?,?,?,?,?,?,?,?)::version_info)",
            "zel.update_version", [&](DB_PARAMS &p) {
                SQLRETURN rc = p.text(db_field_text(version->name), sizeof(version->name), false);
                if (SQL_SUCCEEDED(rc))
                    rc = p.text(db_field_text(version->owner), sizeof(version->owner), false);
                if (SQL_SUCCEEDED(rc))
                    rc = p.unsigned_integer(version->status);
                if (SQL_SUCCEEDED(rc))
                    rc = p.integer(version->state_id);
                if (SQL_SUCCEEDED(rc))
                    rc = db_version_bind_parent(p, version, false);
                if (SQL_SUCCEEDED(rc))
                    rc = p.timestamp(static_cast<time_t>(version->creation_time));
                if (SQL_SUCCEEDED(rc))
                    rc = p.integer(version->version_id);
                if (SQL_SUCCEEDED(rc))
                    rc = p.integer(version->parent_version_id);
                return rc;
            });
    });
}

ZEL_API int32_t DB_sp_versions_def_rename(DB_INSTANCE *instance, const char *owner,
                                          const char *old_name, const char *new_name)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (owner == nullptr || old_name == nullptr || new_name == nullptr)
            return ZE_NULL_POINTER;
        return db_sp_call(S_admin_call(instance, "rename_version", "(?,?,?) "),
                          "zel.version_util.rename_version", [&](DB_PARAMS &p) {
                              SQLRETURN rc = p.text(owner, 128, true);
                              if (SQL_SUCCEEDED(rc))
                                  rc = p.text(old_name, 128, true);
                              if (SQL_SUCCEEDED(rc))
                                  rc = p.text(new_name, 128, true);
                              return rc;
                          });
    });
}
