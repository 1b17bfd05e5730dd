// A host's callback table for tests: the change stamp of each layer, set and
// moved by the test; the registrations of tables, by the name the library
// asks for and by id; and the host's processes (this one, and those alive by
// pid); with every call the library made. install() puts the stamp and the
// registration-by-name callbacks into an instance open configuration,
// install_all() every callback; the host context word is the double's own
// address, so the callbacks find it again.
#pragma once

#include <stdint.h>
#include <string.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "db/core/db_instance_internal.h"

namespace scli
{

class HostDouble
{
  public:
    // Layers never given a stamp answer this one.
    static constexpr int32_t kDefaultStamp = 1;

    void install(DB_INSTANCE_OPEN_CONFIG *config)
    {
        config->host_context = reinterpret_cast<intptr_t>(this);
        config->layer_stamp = &HostDouble::stamp_of;
        config->registration_by_name = &HostDouble::registration_of;
    }
    // Also the registration look-up by id and the process callbacks.
    void install_all(DB_INSTANCE_OPEN_CONFIG *config)
    {
        install(config);
        config->registration_by_id = &HostDouble::registration_by_id;
        config->own_session = &HostDouble::own_session;
        config->session_by_pid = &HostDouble::session_by_pid;
    }

    // The id allocator: each layer hands out ids from next_id (1 when never
    // set), count at a time; fail_ids makes every later call answer it.
    void install_ids(DB_INSTANCE_OPEN_CONFIG *config)
    {
        config->host_context = reinterpret_cast<intptr_t>(this);
        config->allocate_id = &HostDouble::allocate_ids;
    }
    void set_next_id(int32_t layer_id, int32_t next)
    {
        next_ids_[layer_id] = next;
    }
    void fail_ids(int32_t result)
    {
        id_failure_ = result;
    }
    // (layer id, count) of every allocation, in order.
    const std::vector<std::pair<int32_t, int32_t>> &id_requests() const
    {
        return id_requests_;
    }

    // Registers a table under the name the library will ask for, with the
    // object flags given; tables not registered answer -220.
    void set_registration(const std::string &table, int32_t id, uint32_t flags)
    {
        REGISTRATION r{};
        memcpy(r.tag, "ReG", 4);
        r.registration_id = id;
        r.object_flags = flags;
        registrations_[table] = r;
    }
    // A whole registration: found by its id, and by the names table,
    // owner.table and database:owner.table.
    void add_registration(const REGISTRATION &registration)
    {
        by_id_[registration.registration_id] = registration;
        const std::string table = registration.table_name;
        const std::string owned = std::string(registration.owner) + "." + table;
        registrations_[table] = registration;
        registrations_[owned] = registration;
        registrations_[std::string(registration.database_name) + ":" + owned] = registration;
    }
    // Table names of the registration look-ups, in order.
    const std::vector<std::string> &registration_calls() const
    {
        return registration_calls_;
    }
    // Number of the look-ups by id.
    int registration_id_calls() const
    {
        return id_calls_;
    }

    // This process as the host sees it, and the processes alive by pid.
    void set_own_process(int32_t pid, int32_t start_time)
    {
        own_ = {pid, 0, start_time};
    }
    void set_alive(int32_t pid, int32_t start_time)
    {
        alive_[pid] = start_time;
    }

    void set_stamp(int32_t layer_id, int32_t stamp)
    {
        stamps_[layer_id] = stamp;
    }
    // Moves the layer's stamp on, as the host does when the layer changes.
    void bump(int32_t layer_id)
    {
        stamps_[layer_id] = stamp(layer_id) + 1;
    }
    int32_t stamp(int32_t layer_id) const
    {
        auto it = stamps_.find(layer_id);
        return it == stamps_.end() ? kDefaultStamp : it->second;
    }

    // Layer ids of the stamp calls, in order; cleared by forget_calls().
    const std::vector<int32_t> &stamp_calls() const
    {
        return calls_;
    }
    void forget_calls()
    {
        calls_.clear();
    }

  private:
    static int32_t stamp_of(intptr_t context, int32_t layer_id)
    {
        auto *self = reinterpret_cast<HostDouble *>(context);
        self->calls_.push_back(layer_id);
        return self->stamp(layer_id);
    }

    static int32_t registration_of(intptr_t context, const char *table, REGISTRATION *out)
    {
        auto *self = reinterpret_cast<HostDouble *>(context);
        self->registration_calls_.push_back(table);
        auto it = self->registrations_.find(table);
        if (it == self->registrations_.end())
            return -220;
        *out = it->second;
        return 0;
    }
    static int32_t registration_by_id(intptr_t context, int32_t id, REGISTRATION *out)
    {
        auto *self = reinterpret_cast<HostDouble *>(context);
        self->id_calls_++;
        auto it = self->by_id_.find(id);
        if (it == self->by_id_.end())
            return -220;
        *out = it->second;
        return 0;
    }
    static int32_t allocate_ids(intptr_t context, int32_t layer_id, int32_t count)
    {
        auto *self = reinterpret_cast<HostDouble *>(context);
        self->id_requests_.emplace_back(layer_id, count);
        if (self->id_failure_ != 0)
            return self->id_failure_;
        auto it = self->next_ids_.emplace(layer_id, 1).first;
        const int32_t first = it->second;
        it->second += count;
        return first;
    }
    static int32_t own_session(intptr_t context, DB_HOST_SESSION **out)
    {
        auto *self = reinterpret_cast<HostDouble *>(context);
        if (self->own_.process_id == 0)
            return -1;
        *out = &self->own_;
        return 0;
    }
    static int32_t session_by_pid(intptr_t context, int32_t pid, DB_HOST_SESSION **out)
    {
        auto *self = reinterpret_cast<HostDouble *>(context);
        auto it = self->alive_.find(pid);
        if (it == self->alive_.end())
            return -1;
        self->found_ = {pid, 0, it->second};
        *out = &self->found_;
        return 0;
    }

    std::map<int32_t, int32_t> stamps_;
    std::map<std::string, REGISTRATION> registrations_;
    std::vector<std::string> registration_calls_;
    std::map<int32_t, REGISTRATION> by_id_;
    int id_calls_ = 0;
    std::vector<int32_t> calls_;
    DB_HOST_SESSION own_{};
    DB_HOST_SESSION found_{};
    std::map<int32_t, int32_t> alive_; // pid -> start time
    std::map<int32_t, int32_t> next_ids_;
    int32_t id_failure_ = 0;
    std::vector<std::pair<int32_t, int32_t>> id_requests_;
};

} // namespace scli
