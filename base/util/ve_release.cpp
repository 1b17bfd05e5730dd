// The engine's release record: release "8.1.1" with the DBMS build texts as
// its description.
#include "base/util/ve_release.h"

#include <stdio.h>
#include <string.h>

#include "base/util/ve_release_internal.h"
#include "base/util/zel_errors.h"

int32_t VES_get_release(RELEASE *release)
{
    if (!release)
        return ZE_NULL_POINTER;
    memset(release, 0, sizeof(*release));
    sscanf(VE_RELEASE_TEXT, "%d.%d.%d", &release->major, &release->minor, &release->bugfix);
    release->release = VE_RELEASE_NUMBER;
    int n = snprintf(release->description, sizeof(release->description), "%s  Build %d %s",
                     VE_DBMS_RELEASE_TEXT, VE_DBMS_BUILD_NUMBER, VE_DBMS_BUILD_DATE);
    if (n < 0)
        return 0;
    return static_cast<int32_t>(strlen(release->description));
}
