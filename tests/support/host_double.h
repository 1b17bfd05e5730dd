// A host's callback table for tests: the change stamp of each layer, set and
// moved by the test, with every call the library made; the registrations the
// host knows (by id and by table name); and the host's processes (this one,
// and those alive by pid). install() puts the stamp callback into an
// instance open configuration, install_all() every callback; the host
// context word is the double's own address, so the callbacks find it again.
#pragma once

#include <stdint.h>

#include <string.h>

#include <map>
#include <string>
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
    }

    // Also the registration look-ups and the process callbacks.
    void install_all(DB_INSTANCE_OPEN_CONFIG *config)
    {
        install(config);
        config->registration_by_name = &HostDouble::registration_by_name;
        config->registration_by_id = &HostDouble::registration_by_id;
        config->own_session = &HostDouble::own_session;
        config->session_by_pid = &HostDouble::session_by_pid;
    }

    // A registration the host knows; looked up by id, or by a table name
    // whose last part (after '.' or ':') is its table name.
    void add_registration(const REGISTRATION &registration)
    {
        registrations_[registration.registration_id] = registration;
    }
    int registration_calls() const
    {
        return registration_calls_;
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

    static int32_t registration_by_id(intptr_t context, int32_t id, REGISTRATION *out)
    {
        auto *self = reinterpret_cast<HostDouble *>(context);
        self->registration_calls_++;
        auto it = self->registrations_.find(id);
        if (it == self->registrations_.end())
            return -220;
        *out = it->second;
        return 0;
    }
    static int32_t registration_by_name(intptr_t context, const char *table, REGISTRATION *out)
    {
        auto *self = reinterpret_cast<HostDouble *>(context);
        self->registration_calls_++;
        std::string name = table;
        size_t cut = name.find_last_of(".:");
        std::string last = cut == std::string::npos ? name : name.substr(cut + 1);
        for (const auto &[id, registration] : self->registrations_)
            if (last == registration.table_name) {
                *out = registration;
                return 0;
            }
        return -220;
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
    std::vector<int32_t> calls_;
    std::map<int32_t, REGISTRATION> registrations_;
    int registration_calls_ = 0;
    DB_HOST_SESSION own_{};
    DB_HOST_SESSION found_{};
    std::map<int32_t, int32_t> alive_; // pid -> start time
};

} // namespace scli
