// The unqualified part of a name, shared inside the library.
#ifndef DB_VOCAB_INTERNAL_H
#define DB_VOCAB_INTERNAL_H

#include "db/core/db_vocab.h"

// The text after the name's last point, or the whole name.
const char *db_skip_qualifier(const char *name);

#endif
