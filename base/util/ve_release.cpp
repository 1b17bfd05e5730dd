// The engine's release record: release "8.1.1" with the DBMS build texts as
// its description.
#include "base/util/ve_release.h"

#include <stdio.h>
#include <string.h>

#include "base/util/zel_errors.h"
#include "db/core/db_dbms.h"

int32_t VES_get_release(RELEASE *release)
{
    if (!release)
        return ZE_NULL_POINTER;
    memset(release, 0, sizeof(*release));
    sscanf(VE_RELEASE_TEXT, "%d.%d.%d", &release->major, &release->minor, &release->bugfix);
    release->release = VE_RELEASE_NUMBER;
    char rev[DB_DBMS_REV_SIZE], date[DB_DBMS_REV_SIZE], build[DB_DBMS_REV_SIZE];
    DB_dbms_get_rev(rev, date, build);
    int n =
        snprintf(release->description, sizeof(release->description), "%s %s %s", rev, build, date);
    if (n < 0)
        return 0;
    return static_cast<int32_t>(strlen(release->description));
}
