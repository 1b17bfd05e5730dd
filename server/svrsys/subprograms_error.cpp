// The reporter of failed system calls in child-process management: the text
// goes to the operator prompt, whose answer decides whether the process goes
// on. It runs on the watcher threads too, so it allocates nothing.
#include "server/svrsys/subprograms_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/plat_message_box_internal.h"

void subprograms_api_error(const char *file, int line, const char *call, int error)
{
    const char *slash = file != nullptr ? strrchr(file, '/') : nullptr;
    const char *name = slash != nullptr ? slash + 1 : (file != nullptr ? file : "");
    char text[256];
    char message[1024];
    if (plat_error_text(error, text, sizeof text) != nullptr)
        snprintf(message, sizeof message,
                 "%s: Error %d from %s on line %d:\n%s\n\nContinue execution?", name, error, call,
                 line, text);
    else
        snprintf(message, sizeof message,
                 "Unable to obtain error message text! \n%s: Error %d from %s on line %d\n\n"
                 "Continue execution?",
                 name, error, call, line);
    if (plat_message_box("Windows API Error", message) == PLAT_ANSWER_NO)
        exit(1);
}
