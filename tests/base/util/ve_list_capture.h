// Runs a printer into a memory stream and returns what it wrote.
#ifndef VE_LIST_CAPTURE_H
#define VE_LIST_CAPTURE_H

#include <stdio.h>
#include <stdlib.h>

#include <string>

template <typename F> std::string Capture(F print)
{
    char *data = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&data, &size);
    print(out);
    fclose(out);
    std::string text(data, size);
    free(data);
    return text;
}

#endif
