/* Bringing the administrative database up to this release: an installation
 * or upgrade program of the engine calls DB_instance_system_tables_create,
 * then DB_instance_stored_procedures_exists and, when that answers -1,
 * DB_instance_stored_procedures_create (db_procedures.h), on an open
 * instance. Progress and failures are reported as text on standard error,
 * for the person running the installation; nothing here ends the process. */
#ifndef DB_CATALOG_INSTALL_H
#define DB_CATALOG_INSTALL_H

#include <stdint.h>

#include "base/util/zel_export.h"
#include "db/core/db_dbtune.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Checks the release recorded in the release table (creating the table with
 * this release when there is none), refuses a catalogue of another major and
 * minor release, then tests each catalogue table in a fixed order and
 * creates the missing ones, each with the configuration's clauses. Returns
 * 0; -88 for another release (nothing is touched); -1 when a table cannot be
 * created or LAYERS is of an older schema; otherwise the code of the failing
 * step. The tables created before a failure stay. */
ZEL_API int32_t DB_instance_system_tables_create(DB_INSTANCE *instance,
                                                 const DBTUNE_SYSTEM_CONFIG *config);
/* 0 always; it reads nothing. */
ZEL_API int32_t DB_instance_system_tables_exists(DB_INSTANCE *instance);
/* 0 when all 58 engine routines exist and are of this release (the
 * routines' statistics are then updated). -1 when one is missing or they are
 * older; older routines first lose the per-registration views that depend
 * on them (zel_std_view_<registration id>). A view that exists but cannot be
 * dropped is reported with what the user must do, the drops are rolled back
 * and the drop's code is returned. -51 with the connection's extended error
 * record filled for a failed CLI call; otherwise a statement step's code. */
ZEL_API int32_t DB_instance_stored_procedures_exists(DB_INSTANCE *instance);

#ifdef __cplusplus
}
#endif

#endif
