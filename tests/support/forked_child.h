// Forked helper processes for tests that need several real processes: the
// child runs a function and leaves with its result through _exit, and parent
// and child step each other along by single bytes over two pipes, every wait
// bounded so that a broken test fails instead of hanging.
#ifndef FORKED_CHILD_H
#define FORKED_CHILD_H

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace forked
{

// One end of the two pipes: what the other side sends arrives on in.
struct Link {
    int in = -1;
    int out = -1;

    bool send(char c) const
    {
        return send_bytes(&c, 1);
    }
    // The next byte, or 0 when none came within timeout_ms or the pipe closed.
    char receive(int timeout_ms = 20000) const
    {
        char c = 0;
        return receive_bytes(&c, 1, timeout_ms) ? c : 0;
    }
    bool send_bytes(const void *data, size_t size) const
    {
        const char *p = static_cast<const char *>(data);
        while (size > 0) {
            ssize_t n = write(out, p, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            p += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }
    // Reads exactly size bytes, each wait at most timeout_ms; false when they
    // do not come or the pipe closes.
    bool receive_bytes(void *data, size_t size, int timeout_ms = 20000) const
    {
        char *p = static_cast<char *>(data);
        while (size > 0) {
            struct pollfd ready_in = {in, POLLIN, 0};
            int ready = poll(&ready_in, 1, timeout_ms);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready != 1)
                return false;
            ssize_t n = read(in, p, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            p += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }
};

struct Child {
    pid_t pid = -1;
    Link link; /* the parent's end */
};

// Forks; the child runs body with its end of the link and _exits with its
// result (0 to 255). pid is -1 when the fork fails.
inline Child start(const std::function<int(const Link &)> &body)
{
    Child child;
    int down[2], up[2];
    if (pipe(down) != 0)
        return child;
    if (pipe(up) != 0) {
        close(down[0]);
        close(down[1]);
        return child;
    }
    pid_t pid = fork();
    if (pid == 0) {
        close(down[1]);
        close(up[0]);
        Link mine{down[0], up[1]};
        _exit(body(mine));
    }
    close(down[0]);
    close(up[1]);
    if (pid < 0) {
        close(down[1]);
        close(up[0]);
        return child;
    }
    child.pid = pid;
    child.link = Link{up[0], down[1]};
    return child;
}

// Reaps the child: its exit code, or 128 + the signal that ended it, or -1.
// A child still running after 20 seconds is ended with SIGKILL (137).
inline int finish(Child &child)
{
    int status = 0;
    int result = -1;
    pid_t reaped = 0;
    for (int waited_ms = 0; child.pid > 0 && reaped == 0; waited_ms += 10) {
        reaped = waitpid(child.pid, &status, WNOHANG);
        if (reaped < 0 && errno == EINTR)
            reaped = 0;
        else if (reaped == 0 && waited_ms >= 20000) {
            kill(child.pid, SIGKILL);
            reaped = waitpid(child.pid, &status, 0);
        } else if (reaped == 0)
            usleep(10000);
    }
    if (child.pid > 0 && reaped == child.pid)
        result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (child.link.in >= 0)
        close(child.link.in);
    if (child.link.out >= 0)
        close(child.link.out);
    child = Child();
    return result;
}

// Ends the child with SIGKILL and reaps it.
inline int kill_child(Child &child)
{
    if (child.pid > 0)
        kill(child.pid, SIGKILL);
    return finish(child);
}

} // namespace forked

#endif
