// The vocabulary of command codes beyond base/system/ch_command.h: the name
// of each code, the older release's numbering, and the trace lines of one
// command.
#ifndef CH_COMMAND_INTERNAL_H
#define CH_COMMAND_INTERNAL_H

#include <stdint.h>
#include <stdio.h>

#include "base/system/ch_command.h"

/* Name of the end of the name table, behind the last code's name. */
#define CH_COMMAND_END_NAME "EndOfCommands_"

/* The name of a code from 0 to 217 ("LayerCreate"); null for any other. */
const char *ch_command_name(int32_t code);
/* The code of the same operation in the older release's numbering, or -1
 * when that release has no such operation or code is outside 0 to 217. */
int32_t ch_command_old_code(int32_t code);
/* Writes the trace of one command to file: a line of 40 equals signs, then
 * "<prefix> Command:      <name>" (or "Invalid_Command_Code <code>" for a
 * code outside the table); flushed when the process's flush flag is set. */
void ch_intercept_command(FILE *file, int32_t code, const char *tag);

#endif
