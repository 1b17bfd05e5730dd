// The operator prompt of fatal system errors. A server library has no screen:
// the stand-in writes the title and text to standard error and answers that
// execution goes on.
#ifndef PLAT_MESSAGE_BOX_INTERNAL_H
#define PLAT_MESSAGE_BOX_INTERNAL_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define PLAT_ANSWER_NO 0
#define PLAT_ANSWER_YES 1

/* Shows a yes/no question; answers PLAT_ANSWER_YES. */
int plat_message_box(const char *title, const char *text);

/* The system's text for an error number, in buffer (always terminated); null
 * when there is no text for it. */
const char *plat_error_text(int error, char *buffer, size_t size);

#ifdef __cplusplus
}
#endif

#endif
