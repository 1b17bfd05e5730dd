// Test fixture of the log-file tests: an instance opened on the scripted CLI
// as "bob" in database "gis", the log tables kept by the scripted CLI's log
// store, and a host whose callbacks know two registrations (7 "roads", a
// table with row-id column objectid; 8 "plain", without one) and the
// processes that are alive (this one: pid 51234, started at 1700000042, so
// its tag is 12340042).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "base/util/ve_codepage_internal.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_log_internal.h"
#include "db/core/db_instance.h"
#include "tests/support/scli_log_store.h"
#include "tests/support/scripted_cli.h"

class LogTest : public scli::Fixture
{
  protected:
    static constexpr int32_t kTag = 12340042;

    void SetUp() override
    {
        scli::Fixture::SetUp();
        host() = Host{};
        scli::set_info_text(SQL_DATABASE_NAME, "gis");
        memset(&codepage_, 0, sizeof(codepage_));
        codepage_.native.id = VE_CODEPAGE_1252;
        codepage_.native.lead_byte_scheme = VE_CODEPAGE_SINGLE_BYTE;
        codepage_.other = codepage_.native;
        memset(&config_, 0, sizeof(config_));
        config_.codepage = &codepage_;
        config_.own_session = OwnSession;
        config_.session_by_pid = SessionByPid;
        config_.registration_by_name = RegistrationByName;
        config_.registration_by_id = RegistrationById;
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

    struct Host {
        std::map<int32_t, int32_t> alive = {{1234, 1700000042}}; // pid -> start time
        int by_id_calls = 0;
        int by_name_calls = 0;
        DB_HOST_SESSION session{};
    };
    static Host &host()
    {
        static Host h;
        return h;
    }

    static bool registration(int32_t id, REGISTRATION *out)
    {
        memset(out, 0, sizeof(*out));
        memcpy(out->tag, REGISTRATION_TAG, sizeof(out->tag));
        out->registration_id = id;
        strcpy(out->database_name, "gis");
        strcpy(out->owner, "bob");
        if (id == 7) {
            strcpy(out->table_name, "roads");
            strcpy(out->rowid_column, "objectid");
            out->object_flags = REG_ROWID_COLUMN;
            return true;
        }
        if (id == 8) {
            strcpy(out->table_name, "plain");
            return true;
        }
        return false;
    }
    static int32_t RegistrationByName(intptr_t, const char *table, REGISTRATION *out)
    {
        host().by_name_calls++;
        std::string name = table;
        std::string last = name.substr(
            name.find_last_of(".:") == std::string::npos ? 0 : name.find_last_of(".:") + 1);
        int32_t id = last == "roads" ? 7 : last == "plain" ? 8 : 0;
        return id != 0 && registration(id, out) ? 0 : -220;
    }
    static int32_t RegistrationById(intptr_t, int32_t id, REGISTRATION *out)
    {
        host().by_id_calls++;
        return registration(id, out) ? 0 : -220;
    }
    static int32_t OwnSession(intptr_t, DB_HOST_SESSION **out)
    {
        host().session = {51234, 0, 1700000042};
        *out = &host().session;
        return 0;
    }
    static int32_t SessionByPid(intptr_t, int32_t pid, DB_HOST_SESSION **out)
    {
        auto it = host().alive.find(pid);
        if (it == host().alive.end())
            return -1;
        host().session = {pid, 0, it->second};
        *out = &host().session;
        return 0;
    }

    VE_CODEPAGE codepage_;
    DB_INSTANCE_OPEN_CONFIG config_;
    DB_INSTANCE *instance_ = nullptr;
    scli::LogStore *store_ = nullptr;
    size_t mark_ = 0;
    size_t journal_mark_ = 0;
};
