// Test fixture of the log-file tests: an instance opened on the scripted CLI
// as "bob" in database "gis", the log tables kept by the scripted CLI's log
// store, and a host whose callbacks know two registrations (7 "roads", a
// table with row-id column objectid; 8 "plain", without one) and the
// processes that are alive (this one: pid 51234, started at 1700000042, so
// its tag is 12340042).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/util/ve_codepage_internal.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_log_internal.h"
#include "db/core/db_instance.h"
#include "tests/support/host_double.h"
#include "tests/support/scli_log_store.h"
#include "tests/support/scripted_cli.h"

class LogTest : public scli::Fixture
{
  protected:
    static constexpr int32_t kTag = 12340042;

    void SetUp() override
    {
        scli::Fixture::SetUp();
        scli::set_info_text(SQL_DATABASE_NAME, "gis");
        memset(&codepage_, 0, sizeof(codepage_));
        codepage_.native.id = VE_CODEPAGE_1252;
        codepage_.native.lead_byte_scheme = VE_CODEPAGE_SINGLE_BYTE;
        codepage_.other = codepage_.native;
        memset(&config_, 0, sizeof(config_));
        config_.codepage = &codepage_;
        config_.layer_cache_size = 5;
        host_.install_all(&config_);
        host_.add_registration(registration(7, "roads", "objectid", REG_ROWID_COLUMN));
        host_.add_registration(registration(8, "plain", "", 0));
        host_.set_own_process(51234, 1700000042);
        host_.set_alive(1234, 1700000042);
        open_as("bob");
    }
    void TearDown() override
    {
        DB_log_end(instance_);
        if (instance_ != nullptr)
            DB_instance_close(instance_);
        scli::Fixture::TearDown();
    }

    // Opens the instance as user (closing one that is open), with an empty
    // log store and the log system not started.
    void open_as(const char *user)
    {
        DB_log_end(instance_);
        if (instance_ != nullptr)
            DB_instance_close(instance_);
        instance_ = nullptr;
        ASSERT_EQ(DB_instance_open("", user, "pw", &config_, &instance_), 0);
        store_ = &scli::log_store_install();
        mark();
    }

    // Starts the log system and forgets the SQL it ran.
    void start()
    {
        ASSERT_EQ(DB_log_init(instance_), 0);
        mark();
    }

    void mark()
    {
        mark_ = scli::executed().size();
        journal_mark_ = scli::journal().size();
    }
    // Journal entries of fn since the last mark.
    std::vector<scli::Call> calls_since(const std::string &fn) const
    {
        std::vector<scli::Call> out;
        const std::vector<scli::Call> &j = scli::journal();
        for (size_t i = journal_mark_; i < j.size(); i++)
            if (j[i].fn == fn)
                out.push_back(j[i]);
        return out;
    }
    // SQL texts and COMMIT/ROLLBACK since the last mark.
    std::vector<std::string> executed() const
    {
        std::vector<std::string> all = scli::executed();
        return std::vector<std::string>(all.begin() + static_cast<long>(mark_), all.end());
    }

    // A stored log row of bob.
    void add_log(const std::string &name, int32_t id, int32_t data_id, int32_t registration,
                 int32_t flags, int32_t tag, const std::string &owner = "bob")
    {
        store_->logs.push_back({owner, name, id, data_id, registration, flags, tag});
        if (store_->serial[owner] < id)
            store_->serial[owner] = id;
        if (store_->serial[owner] < data_id)
            store_->serial[owner] = data_id;
    }
    void add_ids(int32_t data_id, const std::vector<int32_t> &ids, const std::string &owner = "bob")
    {
        for (int32_t id : ids)
            store_->data.push_back({owner, data_id, id});
    }

    // A new record naming a log of the table (flags: LOGINFO_*).
    static LOGFILE record(const char *name, const char *table, uint32_t flags)
    {
        LOGFILE log;
        memset(&log, 0, sizeof(log));
        memcpy(log.tag, LOGINFO_TAG, sizeof(log.tag));
        snprintf(log.name, sizeof(log.name), "%s", name);
        snprintf(log.table_name, sizeof(log.table_name), "%s", table);
        log.flags = flags;
        return log;
    }

    // A registration of bob in gis.
    static REGISTRATION registration(int32_t id, const char *table, const char *rowid_column,
                                     uint32_t flags)
    {
        REGISTRATION r;
        memset(&r, 0, sizeof(r));
        memcpy(r.tag, REGISTRATION_TAG, sizeof(r.tag));
        r.registration_id = id;
        strcpy(r.database_name, "gis");
        strcpy(r.owner, "bob");
        snprintf(r.table_name, sizeof(r.table_name), "%s", table);
        snprintf(r.rowid_column, sizeof(r.rowid_column), "%s", rowid_column);
        r.object_flags = flags;
        return r;
    }

    VE_CODEPAGE codepage_;
    DB_INSTANCE_OPEN_CONFIG config_;
    DB_INSTANCE *instance_ = nullptr;
    scli::HostDouble host_;
    scli::LogStore *store_ = nullptr;
    size_t mark_ = 0;
    size_t journal_mark_ = 0;
};
