// The step of the routine currency check that removes what depends on older
// routines.
#ifndef DB_CATALOG_INSTALL_INTERNAL_H
#define DB_CATALOG_INSTALL_INTERNAL_H

#include <stdint.h>

#include "db/core/db_catalog_install.h"

// Drops the view zel_std_view_<id> of every registration of TABLE_REGISTRY
// inside the open transaction (a missing view is skipped). 0 when every view
// is gone, also when the registrations cannot be read; when a view cannot
// be dropped, prints what the user must do, rolls the transaction back and
// returns the drop's code (never -1 or a positive value: -51 stands in).
int32_t db_drop_std_views(void);

#endif
