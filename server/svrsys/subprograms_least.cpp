// Least versions of the two child-process calls that shared memory needs,
// until child-process management provides them: no process keeps a child
// list, so every holder is alive, and no stop watcher runs, so the
// stop-protected section guards nothing.
#include "server/svrsys/subprograms.h"

int32_t SubPrograms_ProgramAlive(int32_t /*process_id*/)
{
    return 1;
}

int32_t SubPrograms_StopHandling(int32_t /*leave*/)
{
    return 0;
}
