// The child program of the child-process tests. Its command line is the one
// the control process builds: a mode and its arguments, then the stop
// semaphore's name and the inbound and outbound pipe names. Modes:
//   exit N            ends with exit code N
//   wait [UID]        obeys its stop semaphore and waits (first checks that it
//                     runs under UID, else ends with 3)
//   protected R W     inside a stop-protected section says "inside" on W,
//                     waits for a byte on R, says "finished" and leaves it;
//                     the stop callback says "stopped"
//   late-enter        once a stop has begun, tries to enter a protected
//                     section; ends with 7 if it gets in
//   pipe              echoes a long, a short and a string over the pipes
//   hostile           sends a string length far beyond any buffer
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "base/system/lo_pipe.h"
#include "server/svrsys/subprograms.h"

static int S_report_fd = -1;
static int S_wake[2] = {-1, -1}; /* stop callback -> main thread */

static void S_say(const char *line)
{
    if (write(S_report_fd, line, strlen(line)) < 0)
        _exit(4);
}

static void S_said_stopped()
{
    S_say("stopped\n");
}

static void S_wait_forever()
{
    for (;;)
        pause();
}

// The stop callback of late-enter: lets the main thread try the section and
// gives it time to get in; a sound stop never lets it.
static void S_try_late_entry()
{
    if (write(S_wake[1], "x", 1) != 1)
        _exit(4);
    poll(nullptr, 0, 300);
}

int main(int argc, char **argv)
{
    if (argc < 5)
        return 2;
    const std::string mode = argv[1];
    const char *semaphore = argv[argc - 3];
    const char *inbound = argv[argc - 2];
    const char *outbound = argv[argc - 1];
    if (mode == "exit")
        return atoi(argv[2]);
    if (mode == "wait") {
        if (argc == 6 && getuid() != (uid_t)atol(argv[2]))
            return 3;
        if (SubPrograms_OnStop(nullptr, semaphore) != 0)
            return 5;
        S_wait_forever();
    }
    if (mode == "protected") {
        const int go = atoi(argv[2]);
        S_report_fd = atoi(argv[3]);
        if (SubPrograms_OnStop(S_said_stopped, semaphore) != 0)
            return 5;
        SubPrograms_StopHandling(0);
        S_say("inside\n");
        char byte;
        if (read(go, &byte, 1) != 1)
            return 6;
        S_say("finished\n");
        SubPrograms_StopHandling(1);
        S_wait_forever();
    }
    if (mode == "late-enter") {
        if (pipe(S_wake) != 0)
            return 4;
        if (SubPrograms_OnStop(S_try_late_entry, semaphore) != 0)
            return 5;
        char byte;
        if (read(S_wake[0], &byte, 1) != 1)
            return 6;
        SubPrograms_StopHandling(0);
        _exit(7);
    }
    LO_PIPE *to_server = nullptr, *from_server = nullptr;
    if (LO_open_client(inbound, outbound, &to_server, &from_server) != 0)
        return 8;
    int status = 0;
    if (mode == "pipe") {
        int32_t number = 0;
        int16_t small = 0;
        char text[64];
        if (LO_read_long(from_server, &number) != 0 || LO_read_short(from_server, &small) != 0 ||
            LO_read_string(from_server, text, sizeof text) != 0)
            status = 9;
        std::string reply = std::string("echo ") + text;
        if (status == 0 && (LO_write_long(to_server, number + 1) != 0 ||
                            LO_write_short(to_server, (int16_t)(small - 1)) != 0 ||
                            LO_write_string(to_server, reply.c_str()) != 0))
            status = 10;
    } else if (mode == "hostile") {
        // A length of 2 GB - 1 followed by two characters; the server must
        // refuse it and shut the connection, which this end then sees.
        // The server may close before the characters are sent.
        int32_t ignored;
        if (LO_write_long(to_server, 0x7fffffff) != 0)
            status = 11;
        LO_write_short(to_server, 0x6261);
        if (status == 0 && LO_read_long(to_server, &ignored) == 0)
            status = 12;
    } else {
        status = 2;
    }
    LO_close(to_server);
    LO_close(from_server);
    return status;
}
