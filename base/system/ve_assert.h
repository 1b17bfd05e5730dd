/* The assertion stop of the hosts: VE_Assert flushes every open C stream,
 * prints "\n\nAssertion failed: EXPRESSION line: LINE\n\n" to standard error
 * and aborts the process. Nothing in the library calls it. */
#ifndef VE_ASSERT_H
#define VE_ASSERT_H

#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Does not return. A null expression prints as an empty text. */
ZEL_API void VE_Assert(const char *expression, unsigned int line) __attribute__((noreturn));

#ifdef __cplusplus
}
#endif

#endif
