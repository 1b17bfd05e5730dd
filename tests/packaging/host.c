/* A host program of the installed libraries: it includes public headers the
 * way a host does and calls entry points of the server library and of the
 * geometry module. Exits 0 when every answer is the expected one; the
 * packaging test builds it through pkg-config and through find_package. */
#include <stdio.h>
#include <string.h>

#include "base/util/ve_path.h"
#include "base/util/ve_release.h"
#include "base/util/zel_errors.h"
#include "mox/mox.h"

static int S_fail(const char *what)
{
    fprintf(stderr, "host: %s\n", what);
    return 1;
}

int main(void)
{
    RELEASE release;
    char text[32];
    if (VES_get_release(NULL) != ZE_NULL_POINTER)
        return S_fail("VES_get_release(NULL) is not ZE_NULL_POINTER");
    if (VES_get_release(&release) < 0)
        return S_fail("VES_get_release failed");
    snprintf(text, sizeof(text), "%d.%d.%d", (int)release.major, (int)release.minor,
             (int)release.bugfix);
    if (strcmp(text, VE_RELEASE_TEXT) != 0 || release.release != VE_RELEASE_NUMBER)
        return S_fail("release record differs from the header");

    char path[32] = "/tmp";
    if (strcmp(VES_pathcat(path, "zel"), "/tmp/zel") != 0)
        return S_fail("VES_pathcat");

    /* A 2 by 3 rectangle at 1000 system units per coordinate unit. */
    COORDREF *ref = NULL;
    FEATURE_STRUCT *shape = NULL;
    double area = 0;
    if (MoxCoordRefCreate(&ref) != MOX_SUCCESS)
        return S_fail("MoxCoordRefCreate");
    ref->xyunits = 1000;
    int status = MoxShapeCreate(ref, &shape);
    MoxCoordRefFree(ref);
    if (status == MOX_SUCCESS)
        status = MoxShapeGenerateRectangle(shape, 0, 0, 2, 3);
    if (status == MOX_SUCCESS)
        status = MoxShapeGetArea(shape, &area);
    MoxShapeFree(shape);
    if (status != MOX_SUCCESS || area < 5.999 || area > 6.001) {
        fprintf(stderr, "host: status %d, area %g\n", (int)status, area);
        return S_fail("rectangle area");
    }

    printf("host: release %s\n", text);
    return 0;
}
