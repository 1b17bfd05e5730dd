// A host's callback table for tests: the change stamp of each layer, set and
// moved by the test, with every call the library made. install() puts the
// double into an instance open configuration; the host context word is the
// double's own address, so the callback finds it again.
#pragma once

#include <stdint.h>

#include <map>
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

    std::map<int32_t, int32_t> stamps_;
    std::vector<int32_t> calls_;
};

} // namespace scli
