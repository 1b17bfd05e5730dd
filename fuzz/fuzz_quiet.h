// Quiets the library's messages on standard error inside a harness: they are
// its ordinary diagnostics, not findings, and would drown the fuzzer's own
// output. Only the C stream is replaced: sanitizer reports and the fuzzer
// write to file descriptor 2 themselves and still show.
#ifndef FUZZ_QUIET_H
#define FUZZ_QUIET_H

#include <stdio.h>

inline void fuzz_quiet_stderr(void)
{
    static FILE *const sink = [] {
        FILE *f = fopen("/dev/null", "w");
        if (f != nullptr)
            stderr = f;
        return f;
    }();
    (void)sink;
}

#endif
