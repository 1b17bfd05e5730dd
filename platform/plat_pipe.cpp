// Local named pipes over Unix-domain stream sockets; see plat_pipe_internal.h.
#include "platform/plat_pipe_internal.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <new>
#include <string>

#include "platform/plat_temp_file_internal.h"

struct PLAT_PIPE {
    int listen_fd;    /* server end: the listening socket, else -1 */
    int fd;           /* the connection, -1 while a server end has no client */
    int lock_fd;      /* client end: the held lock, else -1 */
    std::string path; /* server end: the socket to remove at close */
    bool kept;
};

static const char S_PREFIX[] = "\\\\.\\pipe\\";

static std::string S_folder()
{
    const char *run = getenv("ZELRUN");
    if (run != nullptr && run[0] != '\0')
        return run;
    return std::string(plat_temp_directory()) + "/zelrun-" + std::to_string(geteuid());
}

int plat_pipe_path(const char *name, char *path, size_t size)
{
    if (name == nullptr || path == nullptr || size == 0)
        return EINVAL;
    if (strncmp(name, S_PREFIX, sizeof S_PREFIX - 1) == 0)
        name += sizeof S_PREFIX - 1;
    if (name[0] == '\0' || strchr(name, '/') != nullptr || strcmp(name, ".") == 0 ||
        strcmp(name, "..") == 0)
        return EINVAL;
    std::string full = S_folder() + "/" + name;
    if (full.size() >= sizeof(((struct sockaddr_un *)nullptr)->sun_path) || full.size() >= size)
        return ENAMETOOLONG;
    memcpy(path, full.c_str(), full.size() + 1);
    return 0;
}

// The run folder must be ours and closed to others, else another account
// could connect to, or replace, the pipes.
static int S_check_folder(const std::string &folder, bool make)
{
    if (make && mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return errno;
    struct stat st;
    if (lstat(folder.c_str(), &st) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & 077) != 0)
        return EACCES;
    return 0;
}

static int S_address(const char *path, struct sockaddr_un *address)
{
    memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    if (strlen(path) >= sizeof address->sun_path)
        return ENAMETOOLONG;
    strcpy(address->sun_path, path);
    return 0;
}

static PLAT_PIPE *S_new_pipe(int listen_fd, int fd, int lock_fd)
{
    auto *made = new (std::nothrow) PLAT_PIPE;
    if (made == nullptr)
        return nullptr;
    made->listen_fd = listen_fd;
    made->fd = fd;
    made->lock_fd = lock_fd;
    made->kept = false;
    return made;
}

static void S_close_fd(int fd)
{
    if (fd >= 0)
        close(fd);
}

int plat_pipe_create(const char *name, PLAT_PIPE **pipe)
{
    *pipe = nullptr;
    char path[sizeof(((struct sockaddr_un *)nullptr)->sun_path)];
    int rc = plat_pipe_path(name, path, sizeof path);
    if (rc == 0) {
        std::string folder(path, strrchr(path, '/') - path);
        rc = S_check_folder(folder, true);
    }
    struct sockaddr_un address;
    if (rc == 0)
        rc = S_address(path, &address);
    if (rc != 0)
        return rc;
    std::string lock_path = std::string(path) + ".lock";
    int lock_fd = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock_fd < 0)
        return errno;
    close(lock_fd);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return errno;
    unlink(path);
    if (bind(fd, (struct sockaddr *)&address, sizeof address) != 0 || listen(fd, 4) != 0) {
        rc = errno;
        close(fd);
        return rc;
    }
    PLAT_PIPE *made = S_new_pipe(fd, -1, -1);
    if (made == nullptr) {
        close(fd);
        unlink(path);
        return ENOMEM;
    }
    made->path = path;
    *pipe = made;
    return 0;
}

int plat_pipe_accept(PLAT_PIPE *pipe)
{
    if (pipe == nullptr || pipe->listen_fd < 0)
        return EINVAL;
    if (pipe->fd >= 0)
        return 0;
    for (;;) {
        int fd = accept4(pipe->listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            pipe->fd = fd;
            return 0;
        }
        if (errno != EINTR && errno != ECONNABORTED)
            return errno;
    }
}

int plat_pipe_disconnect(PLAT_PIPE *pipe)
{
    if (pipe == nullptr || pipe->listen_fd < 0)
        return EINVAL;
    S_close_fd(pipe->fd);
    pipe->fd = -1;
    return 0;
}

static int64_t S_now_ms()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

// One attempt of a client: take the pipe's lock, then connect. EAGAIN while
// the pipe does not exist yet or another client holds it.
static int S_try_connect(const char *path, const struct sockaddr_un *address, int *fd_out,
                         int *lock_out)
{
    std::string lock_path = std::string(path) + ".lock";
    int lock_fd = open(lock_path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (lock_fd < 0)
        return errno == ENOENT ? EAGAIN : errno;
    if (flock(lock_fd, LOCK_EX | LOCK_NB) != 0) {
        int rc = errno == EWOULDBLOCK ? EAGAIN : errno;
        close(lock_fd);
        return rc;
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        int rc = errno;
        close(lock_fd);
        return rc;
    }
    while (connect(fd, (const struct sockaddr *)address, sizeof *address) != 0) {
        if (errno == EINTR)
            continue;
        int rc = (errno == ENOENT || errno == ECONNREFUSED) ? EAGAIN : errno;
        close(fd);
        close(lock_fd);
        return rc;
    }
    *fd_out = fd;
    *lock_out = lock_fd;
    return 0;
}

int plat_pipe_connect(const char *name, int timeout_ms, PLAT_PIPE **pipe)
{
    *pipe = nullptr;
    char path[sizeof(((struct sockaddr_un *)nullptr)->sun_path)];
    int rc = plat_pipe_path(name, path, sizeof path);
    struct sockaddr_un address;
    if (rc == 0)
        rc = S_address(path, &address);
    if (rc != 0)
        return rc;
    const int64_t deadline = S_now_ms() + (timeout_ms > 0 ? timeout_ms : 0);
    int fd = -1, lock_fd = -1;
    for (;;) {
        rc = S_try_connect(path, &address, &fd, &lock_fd);
        if (rc != EAGAIN)
            break;
        if (S_now_ms() >= deadline)
            return ETIMEDOUT;
        // Neither the socket's creation nor a lock's release can be waited on.
        struct timespec pause = {0, 5L * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    if (rc != 0)
        return rc;
    PLAT_PIPE *made = S_new_pipe(-1, fd, lock_fd);
    if (made == nullptr) {
        close(fd);
        close(lock_fd);
        return ENOMEM;
    }
    *pipe = made;
    return 0;
}

int plat_pipe_adopt(int fd, PLAT_PIPE **pipe)
{
    *pipe = nullptr;
    if (fd < 0)
        return EINVAL;
    PLAT_PIPE *made = S_new_pipe(-1, fd, -1);
    if (made == nullptr)
        return ENOMEM;
    *pipe = made;
    return 0;
}

int plat_pipe_read(PLAT_PIPE *pipe, void *data, size_t size)
{
    if (pipe == nullptr || pipe->fd < 0)
        return EINVAL;
    auto *at = static_cast<char *>(data);
    while (size > 0) {
        ssize_t got = recv(pipe->fd, at, size, 0);
        if (got == 0)
            return EPIPE;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        at += got;
        size -= (size_t)got;
    }
    return 0;
}

int plat_pipe_write(PLAT_PIPE *pipe, const void *data, size_t size)
{
    if (pipe == nullptr || pipe->fd < 0)
        return EINVAL;
    auto *at = static_cast<const char *>(data);
    while (size > 0) {
        ssize_t put = send(pipe->fd, at, size, MSG_NOSIGNAL);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        at += put;
        size -= (size_t)put;
    }
    return 0;
}

void plat_pipe_break(PLAT_PIPE *pipe)
{
    if (pipe == nullptr)
        return;
    S_close_fd(pipe->fd);
    pipe->fd = -1;
}

void plat_pipe_close(PLAT_PIPE *pipe)
{
    if (pipe == nullptr)
        return;
    S_close_fd(pipe->fd);
    S_close_fd(pipe->listen_fd);
    S_close_fd(pipe->lock_fd);
    if (!pipe->path.empty()) {
        unlink(pipe->path.c_str());
        unlink((pipe->path + ".lock").c_str());
    }
    delete pipe;
}

void plat_pipe_keep(PLAT_PIPE *pipe)
{
    if (pipe != nullptr)
        pipe->kept = true;
}

int plat_pipe_kept(const PLAT_PIPE *pipe)
{
    return pipe != nullptr && pipe->kept;
}
