// Named shared memory standing in for the Windows paging-file mappings: a
// POSIX shared-memory object under an escaped name, mapped whole. It keeps the
// Windows lifetime: every opener holds a shared file lock on the object, the
// last one to close removes the name, and a creator that meets an object that
// nobody holds (its processes died) removes it and creates a fresh one. A
// created object becomes visible to openers only once its creator publishes
// it, after initialising it. The object starts with a 64-byte prefix (a magic
// word, the published flag and the caller's size) before the caller's bytes.
// Objects are created owner-only (0600) and exclusively; one that another
// account owns or that others may write is refused on open and on create,
// with a line on standard error, since its maker could make every process of
// the instance wait on it or write to it.
#ifndef PLAT_SHM_INTERNAL_H
#define PLAT_SHM_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Results of create and open. */
#define PLAT_SHM_OK 0
#define PLAT_SHM_FAILED (-1)    /* the system refused; errno tells why */
#define PLAT_SHM_EXISTS (-2)    /* create: a live object has that name */
#define PLAT_SHM_NOT_FOUND (-3) /* open: no published object has that name */
#define PLAT_SHM_FOREIGN (-4)   /* another account owns it, or others may write it */

/* Longest object name the system takes (without its leading "/"), and the
 * size of an escaped name with its terminator. */
#define PLAT_SHM_NAME_SIZE 256

/* One opener's view of an object. */
typedef struct PLAT_SHM {
    void *base;      /* the caller's bytes */
    size_t size;     /* how many */
    void *map;       /* the whole mapping, prefix included */
    size_t map_size; /* its length */
    int fd;          /* holds the opener's shared lock */
    int published;   /* 0 while the creator initialises it */
    char name[PLAT_SHM_NAME_SIZE];
} PLAT_SHM;

/* 0 when the object open on fd belongs to this process's effective user and
 * neither its group nor others may write it; otherwise -1 (errno EACCES)
 * after a line on standard error naming the object. */
int plat_shm_check_owner(int fd, const char *name);

/* Escapes a Windows object name into an object name: "/zel." followed by the
 * name, every byte other than letters, digits, '.', '_' and '-' written as
 * "%XX"; a result that would be too long keeps its first 180 bytes and ends in
 * "~" and 16 hex digits of a hash of the whole name. Returns 0, or -1 for a
 * null or empty name. out has PLAT_SHM_NAME_SIZE bytes. */
int plat_shm_escape_name(const char *name, char out[PLAT_SHM_NAME_SIZE]);

/* Creates the object with size zero-filled bytes and maps it, unpublished.
 * PLAT_SHM_EXISTS when a live object has the name (nothing changes); an
 * object whose openers are all gone is removed and created anew;
 * PLAT_SHM_FOREIGN when another account's object has the name. */
int plat_shm_create(const char *name, size_t size, PLAT_SHM *shm);
/* Creates the object as plat_shm_create does (*created = 1; the caller
 * initialises and publishes it) or, when a live one has the name, opens that
 * one (*created = 0), as the Windows create calls do. PLAT_SHM_OK or
 * PLAT_SHM_FAILED (PLAT_SHM_FOREIGN for another account's object); an opened
 * object smaller than size fails. */
int plat_shm_create_or_open(const char *name, size_t size, PLAT_SHM *shm, int *created);
/* Makes a created object visible to plat_shm_open. */
void plat_shm_publish(PLAT_SHM *shm);
/* Opens and maps a published object; PLAT_SHM_NOT_FOUND when there is none,
 * while its creator is still initialising it, and when no process holds it
 * (they all died); PLAT_SHM_FOREIGN for another account's object. */
int plat_shm_open(const char *name, PLAT_SHM *shm);
/* Unmaps and gives up the opener's lock. The last opener removes the name;
 * an unpublished object is always removed. A closed or zeroed handle is
 * ignored. */
void plat_shm_close(PLAT_SHM *shm);
/* Removes the name (while it still names this object) so that no one opens
 * it again, then closes; processes that have it mapped keep their view. */
void plat_shm_remove(PLAT_SHM *shm);

#ifdef __cplusplus
}
#endif

#endif
