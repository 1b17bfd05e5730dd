// Named shared memory with the Windows lifetime (see plat_shm_internal.h).
// Creators, stale-object removal and last-closer removal are serialised by the
// account's lock object, so no two processes decide about one name at once;
// openers do not take it and instead check, once they hold their shared lock,
// that the name still names the object they opened.
#include "platform/plat_shm_internal.h"

#include "platform/plat_wait_internal.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace
{

constexpr uint32_t S_MAGIC = 0x4d4c455au; /* "ZELM" */
constexpr size_t S_PREFIX_SIZE = 64;
constexpr int S_TRIES = 8;
constexpr int S_WAIT_TRIES = 200; /* of 1 ms each, for a creator to publish */
constexpr size_t S_KEPT_BYTES = 180;
/* '%' followed by other than two hex digits never comes out of the escape;
 * the account's user id follows. */
constexpr const char S_CREATE_LOCK_PREFIX[] = "/zel.%create-";

// Says why an object is refused: st is null when it could not even be opened.
void S_say_foreign(const char *name, const struct stat *st)
{
    if (!st)
        fprintf(stderr, "%s: shared object refused: another account made it\n", name);
    else if (st->st_uid != geteuid())
        fprintf(stderr, "%s: shared object refused: it belongs to another account (user id %lu)\n",
                name, static_cast<unsigned long>(st->st_uid));
    else
        fprintf(stderr, "%s: shared object refused: other accounts may write it (mode %04o)\n",
                name, static_cast<unsigned>(st->st_mode & 07777));
}

struct S_Prefix {
    uint32_t magic;
    uint32_t published;
    uint64_t size;
};
static_assert(sizeof(S_Prefix) <= S_PREFIX_SIZE, "prefix fits its room");

int S_flock(int fd, int operation)
{
    int result;
    do {
        result = flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    return result;
}

// The account's lock of creators and removers, held for the scope. Each
// account has its own, owner-only: the objects it decides about are its own.
struct S_CreateLock {
    int fd;
    S_CreateLock()
    {
        char name[64];
        snprintf(name, sizeof name, "%s%lu", S_CREATE_LOCK_PREFIX,
                 static_cast<unsigned long>(geteuid()));
        fd = shm_open(name, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EACCES)
                S_say_foreign(name, nullptr);
            return;
        }
        if (plat_shm_check_owner(fd, name) != 0 || S_flock(fd, LOCK_EX) != 0) {
            int error = errno;
            close(fd);
            fd = -1;
            errno = error;
        }
    }
    ~S_CreateLock()
    {
        if (fd >= 0)
            close(fd);
    }
    S_CreateLock(const S_CreateLock &) = delete;
    S_CreateLock &operator=(const S_CreateLock &) = delete;
};

// 1 when the name still names the object open on fd, 0 when it names another
// one, -1 when it names none.
int S_names_object(const char *name, int fd)
{
    int other = shm_open(name, O_RDONLY | O_CLOEXEC, 0);
    if (other < 0)
        return -1;
    struct stat mine, theirs;
    int same = fstat(fd, &mine) == 0 && fstat(other, &theirs) == 0 &&
               mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
    close(other);
    return same ? 1 : 0;
}

S_Prefix *S_prefix(const PLAT_SHM *shm)
{
    return static_cast<S_Prefix *>(shm->map);
}

void S_fill(PLAT_SHM *shm, int fd, void *map, size_t map_size)
{
    shm->fd = fd;
    shm->map = map;
    shm->map_size = map_size;
    shm->base = static_cast<char *>(map) + S_PREFIX_SIZE;
    shm->size = map_size - S_PREFIX_SIZE;
}

void S_clear(PLAT_SHM *shm)
{
    memset(shm, 0, sizeof *shm);
    shm->fd = -1;
}

} // namespace

int plat_shm_check_owner(int fd, const char *name)
{
    struct stat st;
    if (fstat(fd, &st) != 0)
        return -1;
    if (st.st_uid == geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0)
        return 0;
    S_say_foreign(name, &st);
    errno = EACCES;
    return -1;
}

int plat_shm_escape_name(const char *name, char out[PLAT_SHM_NAME_SIZE])
{
    if (!out)
        return -1;
    out[0] = '\0';
    if (!name || !name[0])
        return -1;
    static const char S_hex[] = "0123456789ABCDEF";
    // Room for the leading "/" and the terminator; NAME_MAX excludes the "/".
    const size_t limit = PLAT_SHM_NAME_SIZE - 1;
    size_t length = 0;
    auto put = [&](char c) {
        if (length < limit)
            out[length] = c;
        ++length;
    };
    for (const char *p = "/zel."; *p; ++p)
        put(*p);
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p; ++p) {
        unsigned char c = *p;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '.' || c == '_' || c == '-') {
            put(static_cast<char>(c));
        } else {
            put('%');
            put(S_hex[c >> 4]);
            put(S_hex[c & 15]);
        }
    }
    if (length < limit) {
        out[length] = '\0';
        return 0;
    }
    // Too long for the system: keep a readable head and add a hash of it all.
    uint64_t hash = 14695981039346656037ull; /* FNV-1a */
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p; ++p) {
        hash ^= *p;
        hash *= 1099511628211ull;
    }
    size_t kept = S_KEPT_BYTES;
    // Never cut an escape in two.
    if (out[kept - 1] == '%')
        kept -= 1;
    else if (out[kept - 2] == '%')
        kept -= 2;
    snprintf(out + kept, PLAT_SHM_NAME_SIZE - kept, "~%016llx",
             static_cast<unsigned long long>(hash));
    return 0;
}

int plat_shm_create(const char *name, size_t size, PLAT_SHM *shm)
{
    if (!shm) {
        errno = EINVAL;
        return PLAT_SHM_FAILED;
    }
    S_clear(shm);
    if (plat_shm_escape_name(name, shm->name) != 0 ||
        size > static_cast<size_t>(INT64_MAX) - S_PREFIX_SIZE) {
        errno = EINVAL;
        return PLAT_SHM_FAILED;
    }
    int fd = -1;
    {
        S_CreateLock lock;
        if (lock.fd < 0)
            return PLAT_SHM_FAILED;
        for (int tries = 0;; ++tries) {
            fd = shm_open(shm->name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd >= 0)
                break;
            if (errno != EEXIST || tries == S_TRIES)
                return PLAT_SHM_FAILED;
            int old = shm_open(shm->name, O_RDONLY | O_CLOEXEC, 0);
            if (old < 0) {
                if (errno == ENOENT)
                    continue;
                if (errno == EACCES) {
                    S_say_foreign(shm->name, nullptr);
                    return PLAT_SHM_FOREIGN;
                }
                return PLAT_SHM_FAILED;
            }
            // Another account's object under our name is neither used nor removed.
            if (plat_shm_check_owner(old, shm->name) != 0) {
                close(old);
                errno = EACCES;
                return PLAT_SHM_FOREIGN;
            }
            // A live object has openers, and every opener holds a shared lock.
            if (S_flock(old, LOCK_EX | LOCK_NB) != 0) {
                int error = errno;
                close(old);
                if (error == EWOULDBLOCK)
                    return PLAT_SHM_EXISTS;
                errno = error;
                return PLAT_SHM_FAILED;
            }
            shm_unlink(shm->name);
            close(old);
        }
        if (S_flock(fd, LOCK_SH) != 0) {
            int error = errno;
            shm_unlink(shm->name);
            close(fd);
            errno = error;
            return PLAT_SHM_FAILED;
        }
    }
    size_t map_size = S_PREFIX_SIZE + size;
    void *map = MAP_FAILED;
    if (ftruncate(fd, static_cast<off_t>(map_size)) == 0)
        map = mmap(nullptr, map_size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED) {
        int error = errno;
        shm_unlink(shm->name);
        close(fd);
        errno = error;
        return PLAT_SHM_FAILED;
    }
    S_fill(shm, fd, map, map_size);
    S_Prefix *prefix = S_prefix(shm);
    prefix->magic = S_MAGIC;
    prefix->size = size;
    return PLAT_SHM_OK;
}

void plat_shm_publish(PLAT_SHM *shm)
{
    if (!shm || !shm->map)
        return;
    std::atomic_ref<uint32_t>(S_prefix(shm)->published).store(1, std::memory_order_release);
    shm->published = 1;
}

int plat_shm_open(const char *name, PLAT_SHM *shm)
{
    if (!shm) {
        errno = EINVAL;
        return PLAT_SHM_FAILED;
    }
    S_clear(shm);
    if (plat_shm_escape_name(name, shm->name) != 0) {
        errno = EINVAL;
        return PLAT_SHM_FAILED;
    }
    for (int tries = 0; tries < S_TRIES; ++tries) {
        int fd = shm_open(shm->name, O_RDWR | O_CLOEXEC, 0);
        if (fd < 0) {
            if (errno == ENOENT)
                return PLAT_SHM_NOT_FOUND;
            if (errno != EACCES)
                return PLAT_SHM_FAILED;
            S_say_foreign(shm->name, nullptr);
            return PLAT_SHM_FOREIGN;
        }
        // Planted by another account, or writable by others: never waited on
        // nor written.
        if (plat_shm_check_owner(fd, shm->name) != 0) {
            close(fd);
            errno = EACCES;
            return PLAT_SHM_FOREIGN;
        }
        // Nobody holds an object whose processes all died: it is not there.
        if (S_flock(fd, LOCK_EX | LOCK_NB) == 0) {
            close(fd);
            return PLAT_SHM_NOT_FOUND;
        }
        if (S_flock(fd, LOCK_SH) != 0) {
            int error = errno;
            close(fd);
            errno = error;
            return PLAT_SHM_FAILED;
        }
        // A remover may have taken the name away before the lock was had.
        int names = S_names_object(shm->name, fd);
        if (names != 1) {
            close(fd);
            if (names < 0)
                return PLAT_SHM_NOT_FOUND;
            continue;
        }
        struct stat st;
        if (fstat(fd, &st) != 0 || static_cast<size_t>(st.st_size) < S_PREFIX_SIZE) {
            close(fd);
            return PLAT_SHM_NOT_FOUND;
        }
        size_t map_size = static_cast<size_t>(st.st_size);
        void *map = mmap(nullptr, map_size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (map == MAP_FAILED) {
            int error = errno;
            close(fd);
            errno = error;
            return PLAT_SHM_FAILED;
        }
        const S_Prefix *prefix = static_cast<const S_Prefix *>(map);
        uint32_t published = std::atomic_ref<uint32_t>(const_cast<S_Prefix *>(prefix)->published)
                                 .load(std::memory_order_acquire);
        if (prefix->magic != S_MAGIC || published != 1 ||
            prefix->size != map_size - S_PREFIX_SIZE) {
            munmap(map, map_size);
            close(fd);
            return PLAT_SHM_NOT_FOUND;
        }
        S_fill(shm, fd, map, map_size);
        shm->published = 1;
        return PLAT_SHM_OK;
    }
    return PLAT_SHM_NOT_FOUND;
}

int plat_shm_create_or_open(const char *name, size_t size, PLAT_SHM *shm, int *created)
{
    if (!shm || !created)
        return PLAT_SHM_FAILED;
    *created = 0;
    for (int tries = 0; tries < S_WAIT_TRIES; ++tries) {
        int result = plat_shm_create(name, size, shm);
        if (result == PLAT_SHM_OK) {
            *created = 1;
            return PLAT_SHM_OK;
        }
        if (result == PLAT_SHM_FOREIGN)
            return PLAT_SHM_FOREIGN;
        if (result != PLAT_SHM_EXISTS)
            return PLAT_SHM_FAILED;
        result = plat_shm_open(name, shm);
        if (result == PLAT_SHM_OK) {
            if (shm->size >= size)
                return PLAT_SHM_OK;
            plat_shm_close(shm);
            return PLAT_SHM_FAILED;
        }
        if (result == PLAT_SHM_FOREIGN)
            return PLAT_SHM_FOREIGN;
        if (result != PLAT_SHM_NOT_FOUND)
            return PLAT_SHM_FAILED;
        // Its creator is still initialising it, or its last opener just left.
        plat_sleep_ms(1);
    }
    return PLAT_SHM_FAILED;
}

void plat_shm_close(PLAT_SHM *shm)
{
    if (!shm || !shm->map)
        return;
    munmap(shm->map, shm->map_size);
    {
        S_CreateLock lock;
        if (lock.fd >= 0) {
            bool last = !shm->published;
            if (!last) {
                S_flock(shm->fd, LOCK_UN);
                last = S_flock(shm->fd, LOCK_EX | LOCK_NB) == 0;
            }
            if (last && S_names_object(shm->name, shm->fd) == 1)
                shm_unlink(shm->name);
        }
    }
    close(shm->fd);
    S_clear(shm);
}

void plat_shm_remove(PLAT_SHM *shm)
{
    if (!shm || !shm->map)
        return;
    munmap(shm->map, shm->map_size);
    {
        S_CreateLock lock;
        if (lock.fd >= 0 && S_names_object(shm->name, shm->fd) == 1)
            shm_unlink(shm->name);
    }
    close(shm->fd);
    S_clear(shm);
}
