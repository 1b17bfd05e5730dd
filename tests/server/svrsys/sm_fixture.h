// The instance of a shared-memory test and its server processes: the test
// process creates the instance as the control process does, and each Agent is
// a forked child that attaches with SM_server_open and runs the calls it is
// sent one at a time, answering each with its result. An agent can be killed
// with SIGKILL at any point between two calls.
#ifndef SM_FIXTURE_H
#define SM_FIXTURE_H

#include "server/svrsys/sm_layer_lock.h"
#include "server/svrsys/sm_master_internal.h"
#include "server/svrsys/sm_object_lock.h"
#include "server/svrsys/sm_pinfo.h"
#include "server/svrsys/sm_state_lock.h"
#include "server/svrsys/sm_table_lock.h"

#include "platform/plat_wait_internal.h"
#include "tests/support/forked_child.h"

#include <limits.h>
#include <unistd.h>

#include <string>

namespace sm_test
{

// Capacities of an instance.
struct Capacities {
    int32_t nproc = 8, nlocks = 16, nstatelocks = 8, ntablelocks = 8, nlayers = 4, nregs = 4,
            nrasters = 3, nobjlocks = 8;
};

// A uniquely named instance created for one test and destroyed after it.
struct Instance {
    std::string name;
    SM_MASTER *master = nullptr;
    int32_t created = -1;

    explicit Instance(const Capacities &c = Capacities())
    {
        static int counter = 0;
        name = "smtest" + std::to_string(getpid()) + "x" + std::to_string(++counter);
        created = SM_master_create(nullptr, name.c_str(), 0, c.nproc, c.nlocks, c.nstatelocks,
                                   c.ntablelocks, c.nlayers, c.nregs, c.nrasters, c.nobjlocks,
                                   nullptr, &master);
    }
    ~Instance()
    {
        SM_master_destroy(master);
    }
    Instance(const Instance &) = delete;
    Instance &operator=(const Instance &) = delete;
};

enum Op : int32_t {
    LOCK_ADD,
    AUTOLOCK_ADD,
    LOCK_MODIFY,
    LOCK_DELETE,
    AUTOLOCK_DELETE,
    STATE_ADD,
    STATE_DELETE,
    TABLE_ADD,
    TABLE_DELETE,
    OBJECT_ADD,
    OBJECT_DELETE,
    MUTEX_LOCK,
    MUTEX_UNLOCK,
    GUARD_ACQUIRE,
    GUARD_RELEASE,
    GUARD_RELEASE_AFTER_MS,
    PINFO_ADD,
    SHARED_INFO,
    CLOSE,
};

struct Command {
    int32_t op;
    int32_t a;
    int32_t b;
    ENVELOPE envelope;
    SM_OBJECT_LOCK_RECORD record;
};

// What call answers when the agent does not.
constexpr int32_t kNoAnswer = INT32_MIN;

inline int32_t run(SM_MASTER *m, const Command &c)
{
    switch (c.op) {
    case LOCK_ADD:
        return SM_lock_add(m, c.a, c.b, &c.envelope);
    case AUTOLOCK_ADD:
        return SM_autolock_add(m, c.a, &c.envelope);
    case LOCK_MODIFY:
        return SM_lock_modify(m, c.a, c.b, &c.envelope);
    case LOCK_DELETE:
        return SM_lock_delete(m, c.a);
    case AUTOLOCK_DELETE:
        return SM_autolock_delete(m, c.a);
    case STATE_ADD:
        return SM_state_lock_add(m, c.a, c.b);
    case STATE_DELETE:
        return SM_state_lock_delete(m, c.a, c.b);
    case TABLE_ADD:
        return SM_table_lock_add(m, c.a, c.b);
    case TABLE_DELETE:
        return SM_table_lock_delete(m, c.a);
    case OBJECT_ADD:
        return SM_object_lock_add(m, &c.record, c.b);
    case OBJECT_DELETE:
        return SM_object_lock_delete(m, &c.record, c.b);
    case MUTEX_LOCK:
        return sm_mutex_lock(m, c.a);
    case MUTEX_UNLOCK:
        return sm_mutex_unlock(m, c.a);
    case GUARD_ACQUIRE:
        return sm_rw_guard_acquire(m, c.a);
    case GUARD_RELEASE:
        return sm_rw_guard_release(m);
    case GUARD_RELEASE_AFTER_MS:
        plat_sleep_ms(c.a);
        return sm_rw_guard_release(m);
    case PINFO_ADD:
        return SM_pinfo_add(m, c.a);
    case SHARED_INFO:
        return SM_shared_info(m, c.a);
    default:
        return kNoAnswer;
    }
}

// One server process of the instance.
struct Agent {
    forked::Child child;
    int32_t opened = kNoAnswer; /* SM_server_open's answer */

    explicit Agent(const Instance &instance)
    {
        std::string name = instance.name;
        child = forked::start([name](const forked::Link &link) {
            SM_MASTER *m = nullptr;
            int32_t result = SM_server_open(nullptr, name.c_str(), 0, 0, nullptr, &m);
            link.send_bytes(&result, sizeof result);
            if (result != 0)
                return 1;
            Command c;
            while (link.receive_bytes(&c, sizeof c, 60000)) {
                if (c.op == CLOSE) {
                    SM_server_close(m);
                    return 0;
                }
                result = run(m, c);
                link.send_bytes(&result, sizeof result);
            }
            return 2;
        });
        if (child.pid > 0 && !child.link.receive_bytes(&opened, sizeof opened))
            opened = kNoAnswer;
    }
    ~Agent()
    {
        if (child.pid > 0)
            forked::kill_child(child);
    }
    Agent(const Agent &) = delete;
    Agent &operator=(const Agent &) = delete;

    int32_t pid() const
    {
        return child.pid;
    }
    int32_t call(const Command &c)
    {
        int32_t result = kNoAnswer;
        if (!child.link.send_bytes(&c, sizeof c) ||
            !child.link.receive_bytes(&result, sizeof result))
            return kNoAnswer;
        return result;
    }
    int32_t call(Op op, int32_t a = 0, int32_t b = 0, ENVELOPE envelope = {0, 0, 0, 0})
    {
        return call(Command{op, a, b, envelope, {0, 0, 0, 0}});
    }
    int32_t object(Op op, SM_OBJECT_LOCK_RECORD record, int32_t type)
    {
        return call(Command{op, 0, type, {0, 0, 0, 0}, record});
    }
    // Sends a call without waiting for its answer.
    bool post(Op op, int32_t a = 0)
    {
        Command c{op, a, 0, {0, 0, 0, 0}, {0, 0, 0, 0}};
        return child.link.send_bytes(&c, sizeof c);
    }
    int32_t answer()
    {
        int32_t result = kNoAnswer;
        return child.link.receive_bytes(&result, sizeof result) ? result : kNoAnswer;
    }
    // Closes its handle and ends normally: its exit code.
    int close()
    {
        Command c{CLOSE, 0, 0, {0, 0, 0, 0}, {0, 0, 0, 0}};
        child.link.send_bytes(&c, sizeof c);
        return forked::finish(child);
    }
    int kill()
    {
        return forked::kill_child(child);
    }
};

} // namespace sm_test

#endif
