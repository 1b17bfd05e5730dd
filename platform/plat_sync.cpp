// Critical sections, auto-reset events, the wait for several objects and named
// semaphores on POSIX: recursive mutexes, non-blocking eventfds, poll and
// sem_open. See plat_sync_internal.h.
#include "platform/plat_sync_internal.h"

#include "platform/plat_shm_internal.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <semaphore.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <new>
#include <string>

int plat_critical_section_init(PLAT_CRITICAL_SECTION *section)
{
    pthread_mutexattr_t attr;
    int rc = pthread_mutexattr_init(&attr);
    if (rc != 0)
        return rc;
    rc = pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    if (rc == 0)
        rc = pthread_mutex_init(&section->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
    return rc;
}

void plat_critical_section_enter(PLAT_CRITICAL_SECTION *section)
{
    pthread_mutex_lock(&section->mutex);
}

int plat_critical_section_leave(PLAT_CRITICAL_SECTION *section)
{
    return pthread_mutex_unlock(&section->mutex);
}

void plat_critical_section_delete(PLAT_CRITICAL_SECTION *section)
{
    pthread_mutex_destroy(&section->mutex);
}

static int64_t S_now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

// Takes an auto-reset object's signal; false when another waiter took it first.
static bool S_take(const PLAT_WAITABLE *object)
{
    if (!object->auto_reset)
        return true;
    uint64_t value;
    return read(object->fd, &value, sizeof value) == (ssize_t)sizeof value;
}

int plat_wait_any(PLAT_WAITABLE *const *objects, int count, int timeout_ms)
{
    enum { MAX_OBJECTS = 64 };
    if (objects == nullptr || count <= 0 || count > MAX_OBJECTS) {
        errno = EINVAL;
        return PLAT_WAIT_FAILED;
    }
    struct pollfd fds[MAX_OBJECTS];
    for (int i = 0; i < count; i++) {
        fds[i].fd = objects[i]->fd;
        fds[i].events = POLLIN;
    }
    const int64_t deadline = timeout_ms < 0 ? 0 : S_now_ms() + timeout_ms;
    for (;;) {
        int left = -1;
        if (timeout_ms >= 0) {
            int64_t remaining = deadline - S_now_ms();
            left = remaining > 0 ? (int)remaining : 0;
        }
        for (int i = 0; i < count; i++)
            fds[i].revents = 0;
        int ready = poll(fds, (nfds_t)count, left);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return PLAT_WAIT_FAILED;
        }
        for (int i = 0; i < count; i++) {
            if (fds[i].revents & POLLNVAL) {
                errno = EBADF;
                return PLAT_WAIT_FAILED;
            }
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) && S_take(objects[i]))
                return i;
        }
        if (ready == 0 && left == 0)
            return PLAT_WAIT_TIMEOUT;
    }
}

struct PLAT_EVENT {
    PLAT_WAITABLE waitable;
};

int plat_event_create(PLAT_EVENT **event)
{
    *event = nullptr;
    int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0)
        return errno;
    auto *made = new (std::nothrow) PLAT_EVENT;
    if (made == nullptr) {
        close(fd);
        return ENOMEM;
    }
    made->waitable.fd = fd;
    made->waitable.auto_reset = 1;
    *event = made;
    return 0;
}

int plat_event_set(PLAT_EVENT *event)
{
    if (event == nullptr)
        return EINVAL;
    uint64_t one = 1;
    for (;;) {
        if (write(event->waitable.fd, &one, sizeof one) == (ssize_t)sizeof one)
            return 0;
        if (errno != EINTR)
            return errno;
    }
}

int plat_event_wait(PLAT_EVENT *event, int timeout_ms)
{
    if (event == nullptr) {
        errno = EINVAL;
        return PLAT_WAIT_FAILED;
    }
    PLAT_WAITABLE *object = &event->waitable;
    return plat_wait_any(&object, 1, timeout_ms);
}

PLAT_WAITABLE *plat_event_waitable(PLAT_EVENT *event)
{
    return &event->waitable;
}

void plat_event_close(PLAT_EVENT *event)
{
    if (event == nullptr)
        return;
    close(event->waitable.fd);
    delete event;
}

struct PLAT_SEMAPHORE {
    sem_t *sem;
    char name[PLAT_SEMAPHORE_NAME_MAX + 2]; /* with the leading "/" */
    bool creator;
    pthread_mutex_t release_lock; /* one release at a time in this process */
};

// POSIX names carry one leading "/" and no other.
static int S_semaphore_name(const char *name, char out[PLAT_SEMAPHORE_NAME_MAX + 2])
{
    if (name == nullptr || name[0] == '\0' || strchr(name, '/') != nullptr)
        return EINVAL;
    if (strlen(name) > PLAT_SEMAPHORE_NAME_MAX)
        return ENAMETOOLONG;
    snprintf(out, PLAT_SEMAPHORE_NAME_MAX + 2, "/%s", name);
    return 0;
}

static int S_semaphore_wrap(sem_t *sem, const char *name, bool creator, PLAT_SEMAPHORE **out)
{
    auto *made = new (std::nothrow) PLAT_SEMAPHORE;
    if (made == nullptr) {
        sem_close(sem);
        if (creator)
            sem_unlink(name);
        return ENOMEM;
    }
    made->sem = sem;
    snprintf(made->name, sizeof made->name, "%s", name);
    made->creator = creator;
    pthread_mutex_init(&made->release_lock, nullptr);
    *out = made;
    return 0;
}

// glibc keeps a named semaphore as a file of the shared-memory folder.
static std::string S_semaphore_file(const char *full)
{
    return std::string("/dev/shm/sem.") + (full + 1);
}

// Opens the semaphore's file itself (never through a link) for its owner and
// mode: 0, ENOENT, or EACCES for another account's (or others' writable) one.
static int S_semaphore_check(const char *full, int *fd_out)
{
    const std::string path = S_semaphore_file(full);
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        int rc = errno;
        if (rc == ELOOP || rc == EACCES) {
            fprintf(stderr, "%s: semaphore refused: another account made it\n", path.c_str());
            return EACCES;
        }
        return rc;
    }
    if (plat_shm_check_owner(fd, path.c_str()) != 0) {
        close(fd);
        return EACCES;
    }
    if (fd_out != nullptr)
        *fd_out = fd;
    else
        close(fd);
    return 0;
}

int plat_semaphore_create(const char *name, PLAT_SEMAPHORE **semaphore)
{
    *semaphore = nullptr;
    char full[PLAT_SEMAPHORE_NAME_MAX + 2];
    int rc = S_semaphore_name(name, full);
    if (rc != 0)
        return rc;
    sem_t *sem = sem_open(full, O_CREAT | O_EXCL, 0600, 0);
    if (sem == SEM_FAILED && errno == EEXIST) {
        // Left by an earlier process of the same id: its count cannot be
        // trusted. Another account's is neither used nor removed.
        rc = S_semaphore_check(full, nullptr);
        if (rc != 0 && rc != ENOENT)
            return rc;
        if (rc == 0 && sem_unlink(full) != 0)
            return errno;
        sem = sem_open(full, O_CREAT | O_EXCL, 0600, 0);
    }
    if (sem == SEM_FAILED)
        return errno;
    return S_semaphore_wrap(sem, full, true, semaphore);
}

int plat_semaphore_grant(PLAT_SEMAPHORE *semaphore, uid_t uid)
{
    if (semaphore == nullptr)
        return EINVAL;
    if (uid == geteuid())
        return 0;
    int fd = -1;
    int rc = S_semaphore_check(semaphore->name, &fd);
    if (rc != 0)
        return rc;
    // The one account that needs it becomes its owner; the mode stays 0600.
    rc = fchown(fd, uid, static_cast<gid_t>(-1)) == 0 ? 0 : errno;
    close(fd);
    return rc;
}

int plat_semaphore_open(const char *name, PLAT_SEMAPHORE **semaphore)
{
    *semaphore = nullptr;
    char full[PLAT_SEMAPHORE_NAME_MAX + 2];
    int rc = S_semaphore_name(name, full);
    if (rc != 0)
        return rc;
    // Only the account's own: a planted semaphore could stop it at will.
    rc = S_semaphore_check(full, nullptr);
    if (rc != 0)
        return rc;
    sem_t *sem = sem_open(full, 0);
    if (sem == SEM_FAILED)
        return errno;
    return S_semaphore_wrap(sem, full, false, semaphore);
}

int plat_semaphore_release(PLAT_SEMAPHORE *semaphore)
{
    if (semaphore == nullptr)
        return EINVAL;
    pthread_mutex_lock(&semaphore->release_lock);
    int value = 0;
    int rc = 0;
    if (sem_getvalue(semaphore->sem, &value) != 0)
        rc = errno;
    else if (value >= 1)
        rc = EOVERFLOW;
    else if (sem_post(semaphore->sem) != 0)
        rc = errno;
    pthread_mutex_unlock(&semaphore->release_lock);
    return rc;
}

int plat_semaphore_wait(PLAT_SEMAPHORE *semaphore)
{
    if (semaphore == nullptr)
        return EINVAL;
    while (sem_wait(semaphore->sem) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

int plat_semaphore_count(PLAT_SEMAPHORE *semaphore)
{
    int value = 0;
    if (semaphore == nullptr || sem_getvalue(semaphore->sem, &value) != 0)
        return -1;
    return value;
}

void plat_semaphore_close(PLAT_SEMAPHORE *semaphore)
{
    if (semaphore == nullptr)
        return;
    sem_close(semaphore->sem);
    if (semaphore->creator)
        sem_unlink(semaphore->name);
    pthread_mutex_destroy(&semaphore->release_lock);
    delete semaphore;
}
