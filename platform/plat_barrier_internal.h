// A process-wide memory barrier for the waiter of a lock-free exchange: a
// thread about to sleep makes every running thread of the processes that
// registered (this one and its peers) pass a full barrier, so the threads
// that publish bytes need no fence of their own on every publication
// (membarrier with its expedited global command).
#ifndef PLAT_BARRIER_INTERNAL_H
#define PLAT_BARRIER_INTERNAL_H

#ifdef __cplusplus
extern "C" {
#endif

/* Registers this process for the barriers of other processes (once; later
 * calls answer the first result): 1 when plat_barrier_all works, else 0. */
int plat_barrier_register(void);
/* Makes every running thread of every registered process pass a full
 * barrier: 0, or -1 when the system cannot. */
int plat_barrier_all(void);

#ifdef __cplusplus
}
#endif

#endif
