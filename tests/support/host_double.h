// A host's callback table for tests: the change stamp of each layer, set and
// moved by the test, and the registrations of tables by name, with every
// call the library made. install() puts the double into an instance open
// configuration; the host context word is the double's own address, so the
// callbacks find it again.
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
        config->registration_by_name = &HostDouble::registration_of;
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
    // Table names of the registration look-ups, in order.
    const std::vector<std::string> &registration_calls() const
    {
        return registration_calls_;
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

    std::map<int32_t, int32_t> stamps_;
    std::map<std::string, REGISTRATION> registrations_;
    std::vector<std::string> registration_calls_;
    std::vector<int32_t> calls_;
};

} // namespace scli
