// The IMV view's objects (db_imv.h): the view, its id sequence and its
// triggers made in order, a half-made view dropped again, and the drop.
// Every text is built before the first statement runs, so a view whose
// triggers cannot be made is refused with nothing made.
#include "db/version/db_imv_internal.h"

#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/db_column_def.h"
#include "base/util/ve_layer.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_table_describe.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_xerr_internal.h"
#include "db/version/db_mv_view_internal.h"
#include "db/version/db_state_trim_internal.h"
#include "db/version/db_version_stmt_internal.h"

namespace
{

// The names of the messages and of the drops: owner, table, view and the
// sequence, the owner and the view checked as identifiers.
struct Names {
    std::string owner, table, view, sequence;
};

int32_t S_names(const REGISTRATION &r, Names *n)
{
    n->owner = std::string(db_field_text(r.owner));
    n->table = std::string(db_field_text(r.table_name));
    n->view = std::string(db_field_text(r.imv_view_name));
    int32_t rc = db_check_name(n->owner.c_str(), sizeof(r.owner));
    if (rc == ZE_SUCCESS)
        rc = db_check_name(n->view.c_str(), sizeof(r.imv_view_name));
    if (rc != ZE_SUCCESS)
        return rc;
    char sequence[DB_QUALIFIED_NAME_SIZE];
    if (db_make_rowid_sequence_name(r.registration_id, nullptr, sequence, sizeof(sequence)) != 0)
        return ZE_INVALID_ARGUMENT;
    n->sequence = sequence;
    return ZE_SUCCESS;
}

// A growable text of a builder, freed on every way out.
struct Text {
    char *text = nullptr;
    Text() = default;
    Text(const Text &) = delete;
    Text &operator=(const Text &) = delete;
    ~Text()
    {
        free(text);
    }
};

int32_t S_delete(const REGISTRATION &r)
{
    if (!(r.object_flags & REG_MULTIVERSION))
        return ZE_NOT_MULTIVERSION;
    Names n;
    int32_t rc = S_names(r, &n);
    if (rc != ZE_SUCCESS)
        return rc;
    rc = db_execute_and_commit_dml(("DROP VIEW " + n.owner + "." + n.view).c_str(),
                                   DB_DML_COMMIT_VIEW,
                                   db_sql_format("Unable to drop IMV view %s on table %s.%s",
                                                 n.view.c_str(), n.owner.c_str(), n.table.c_str())
                                       .c_str());
    const DB_EXT_ERROR first = db_global_xerr;
    const int32_t sequence = db_execute_and_commit_dml(
        ("DROP SEQUENCE " + n.owner + "." + n.sequence).c_str(), DB_DML_COMMIT_VIEW,
        db_sql_format("Unable to drop row id sequence %s for table %s.%s", n.sequence.c_str(),
                      n.owner.c_str(), n.table.c_str())
            .c_str());
    if (rc != ZE_SUCCESS) {
        db_global_xerr = first; // the first failure is the one reported
        return rc;
    }
    return sequence;
}

int32_t S_create_from_texts(const REGISTRATION &r, const char *view,
                            const char *const triggers[DB_IMV_TRIGGER_COUNT])
{
    Names n;
    int32_t rc = S_names(r, &n);
    if (rc != ZE_SUCCESS)
        return rc;
    const char *v = n.view.c_str(), *o = n.owner.c_str(), *t = n.table.c_str();
    rc = db_execute_and_commit_dml(
        view, DB_DML_COMMIT_VIEW,
        db_sql_format("Unable to create IMV view %s for table %s.%s", v, o, t).c_str());
    if (rc != ZE_SUCCESS)
        return rc; // nothing made
    struct Step {
        std::string sql, message;
    };
    const std::vector<Step> steps = {
        {"CREATE SEQUENCE " + n.sequence +
             " INCREMENT BY -1 MAXVALUE 2147483647 MINVALUE 2136997887",
         db_sql_format("Unable to create sequence %s for IMV view %s on table %s.%s",
                       n.sequence.c_str(), v, o, t)},
        {triggers[0],
         db_sql_format("Unable to create IMV insert trigger for view %s for table %s.%s", v, o, t)},
        {triggers[1],
         db_sql_format("Unable to create IMV delete trigger for view %s for table %s.%s", v, o, t)},
        {triggers[2],
         db_sql_format("Unable to update IMV insert trigger for view %s for table %s.%s", v, o, t)},
    };
    for (const Step &step : steps) {
        rc = db_execute_and_commit_dml(step.sql.c_str(), DB_DML_COMMIT_VIEW, step.message.c_str());
        if (rc != ZE_SUCCESS) {
            const DB_EXT_ERROR kept = db_global_xerr;
            S_delete(r); // the view takes its triggers along
            db_global_xerr = kept;
            return rc;
        }
    }
    return ZE_SUCCESS;
}

int32_t S_triggers(const REGISTRATION &r, const LAYER *layer, int16_t column_count,
                   Text (&texts)[DB_IMV_TRIGGER_COUNT])
{
    for (int32_t kind = 0; kind < DB_IMV_TRIGGER_COUNT; kind++) {
        int32_t rc = db_imv_trigger_sql(&r, layer, 0, column_count, kind, 0, &texts[kind].text);
        if (rc != ZE_SUCCESS)
            return rc;
        if (texts[kind].text == nullptr || texts[kind].text[0] == '\0')
            return ZE_NOT_SUPPORTED; // an empty text would make a view without its triggers
    }
    return ZE_SUCCESS;
}

int32_t S_create(DB_INSTANCE *instance, const REGISTRATION &r)
{
    if (!(r.object_flags & REG_MULTIVERSION))
        return ZE_NOT_MULTIVERSION;
    const std::string database = std::string(db_field_text(r.database_name));
    const std::string owner = std::string(db_field_text(r.owner));
    const std::string table = std::string(db_field_text(r.table_name));
    LAYER *layer = nullptr;
    int32_t rc = ZE_SUCCESS;
    if (r.object_flags & REG_LAYER) {
        rc = DB_layer_get_info_by_table_name(instance, nullptr, table.c_str(), nullptr,
                                             owner.c_str(), &layer);
        if (rc != ZE_SUCCESS)
            return rc;
    }
    char qualified[DB_QUALIFIED_NAME_SIZE];
    if (db_table_make_name(database.c_str(), owner.c_str(), table.c_str(), qualified,
                           sizeof(qualified)) != 0)
        return ZE_INVALID_ARGUMENT;
    int16_t count = 0;
    DB_COLUMN_DEF *columns = nullptr;
    rc = DB_table_describe(instance, qualified, &r, &count, &columns);
    if (rc != ZE_SUCCESS)
        return rc;
    const std::unique_ptr<DB_COLUMN_DEF, decltype(&free)> owned(columns, &free);
    std::vector<const char *> names;
    for (int16_t i = 0; i < count; i++)
        names.push_back(columns[i].name);
    Text view;
    Text triggers[DB_IMV_TRIGGER_COUNT];
    rc = db_imv_view_sql(&r, names.data(), count, 0, &view.text);
    if (rc == ZE_SUCCESS)
        rc = S_triggers(r, layer, count, triggers);
    if (rc != ZE_SUCCESS)
        return rc;
    const char *const texts[DB_IMV_TRIGGER_COUNT] = {triggers[0].text, triggers[1].text,
                                                     triggers[2].text};
    return S_create_from_texts(r, view.text, texts);
}

} // namespace

int32_t db_imv_view_create_from_texts(const REGISTRATION *registration, const char *view,
                                      const char *const triggers[DB_IMV_TRIGGER_COUNT])
{
    if (registration == nullptr || view == nullptr || triggers == nullptr)
        return ZE_NULL_POINTER;
    for (int32_t i = 0; i < DB_IMV_TRIGGER_COUNT; i++)
        if (triggers[i] == nullptr)
            return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&] { return S_create_from_texts(*registration, view, triggers); });
}

int32_t db_imv_triggers_available(const REGISTRATION *registration)
{
    if (registration == nullptr)
        return ZE_NULL_POINTER;
    Text triggers[DB_IMV_TRIGGER_COUNT];
    return S_triggers(*registration, nullptr, 1, triggers);
}

int32_t DB_registered_table_create_imv_view(DB_INSTANCE *instance, const REGISTRATION *registration)
{
    if (registration == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_create(instance, *registration); });
}

int32_t DB_registered_table_delete_imv_view(DB_INSTANCE *, const REGISTRATION *registration)
{
    if (registration == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_delete(*registration); });
}
