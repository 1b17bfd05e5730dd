// The server program of the shared-memory tests that run under a real control
// process: started by SubPrograms_StartProgram, it attaches to the instance,
// enters its process slot, runs a list of lock calls, writes their results on
// one line to the report descriptor and then waits until it is killed. Its
// command line: the instance, the report descriptor, the calls, then the stop
// semaphore's and the two pipes' names. Calls (each takes its numbers):
//   layer L T MINX MINY MAXX MAXY    SM_lock_add
//   state S T                        SM_state_lock_add
//   states N T                       SM_state_lock_add on states 1 to N
//   table I T                        SM_table_lock_add
//   object ID TYPE APP T             SM_object_lock_add, the session being
//                                    this process's id
//   mutex N                          takes numbered mutex N and keeps it
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "server/svrsys/sm_layer_lock.h"
#include "server/svrsys/sm_master_internal.h"
#include "server/svrsys/sm_object_lock.h"
#include "server/svrsys/sm_pinfo.h"
#include "server/svrsys/sm_state_lock.h"
#include "server/svrsys/sm_table_lock.h"

int main(int argc, char **argv)
{
    if (argc < 6)
        return 2;
    int last = argc - 3; // the semaphore and pipe names follow the calls
    SM_MASTER *m = nullptr;
    if (SM_server_open(nullptr, argv[1], 0, 0, nullptr, &m) != 0)
        return 3;
    int report = atoi(argv[2]);
    int32_t pid = static_cast<int32_t>(getpid());
    if (SM_pinfo_add(m, pid) != 0)
        return 4;
    std::string line;
    auto number = [&](int &i) { return i < last ? atoi(argv[i++]) : 0; };
    for (int i = 3; i < last;) {
        std::string call = argv[i++];
        int32_t result;
        if (call == "layer") {
            int32_t layer = number(i), type = number(i);
            ENVELOPE box;
            box.minx = number(i);
            box.miny = number(i);
            box.maxx = number(i);
            box.maxy = number(i);
            result = SM_lock_add(m, layer, type, &box);
        } else if (call == "state") {
            int32_t state = number(i);
            result = SM_state_lock_add(m, state, number(i));
        } else if (call == "states") {
            int32_t count = number(i), type = number(i);
            result = 0;
            for (int32_t state = 1; state <= count; ++state) {
                int32_t one = SM_state_lock_add(m, state, type);
                if (state < count)
                    line += (line.empty() ? "" : " ") + std::to_string(one);
                else
                    result = one;
            }
        } else if (call == "table") {
            int32_t table = number(i);
            result = SM_table_lock_add(m, table, number(i));
        } else if (call == "object") {
            SM_OBJECT_LOCK_RECORD record;
            record.holder = pid;
            record.object_id = number(i);
            record.object_type = number(i);
            record.application = number(i);
            result = SM_object_lock_add(m, &record, number(i));
        } else if (call == "mutex") {
            result = sm_mutex_lock(m, number(i));
        } else {
            return 5;
        }
        line += (line.empty() ? "" : " ") + std::to_string(result);
    }
    line += "\n";
    if (write(report, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        return 6;
    for (;;)
        pause();
}
