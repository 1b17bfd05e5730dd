// The operator prompt on standard error; see plat_message_box_internal.h.
#include "platform/plat_message_box_internal.h"

#include <stdio.h>
#include <string.h>

int plat_message_box(const char *title, const char *text)
{
    fprintf(stderr, "%s: %s\n", title != nullptr ? title : "", text != nullptr ? text : "");
    fflush(stderr);
    return PLAT_ANSWER_YES;
}

const char *plat_error_text(int error, char *buffer, size_t size)
{
    if (buffer == nullptr || size == 0)
        return nullptr;
    buffer[0] = '\0';
    // The GNU strerror_r returns its text, which may not be the buffer.
    const char *text = strerror_r(error, buffer, size);
    if (text == nullptr || strncmp(text, "Unknown error", 13) == 0)
        return nullptr;
    if (text != buffer)
        snprintf(buffer, size, "%s", text);
    return buffer;
}
