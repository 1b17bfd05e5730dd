// Row-lock interface (db_row_lock.h): nothing is locked, every call succeeds.
#include "db/stream/db_row_lock.h"

int32_t DB_row_lock_flush(void)
{
    return 0;
}
