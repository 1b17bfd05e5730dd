// The two back ends of the service manager (plat_service_internal.h) as its
// front calls them: the real one on the registry store and child processes
// (plat_service_real.cpp), the scripted one for tests (plat_service_script.cpp).
// The front checks names, handles and rights before it calls either.
#ifndef PLAT_SERVICE_BACKEND_INTERNAL_H
#define PLAT_SERVICE_BACKEND_INTERNAL_H

#include <stdint.h>

#include "platform/plat_service_internal.h"

/* Longest service name. */
#define PLAT_SERVICE_NAME_MAX 256

struct PLAT_SC_HANDLE_REC {
    int manager;     /* 1: the manager; 0: a service */
    uint32_t rights; /* specific rights, generic ones mapped */
    char name[PLAT_SERVICE_NAME_MAX + 1];
};

int plat_svc_real_open_manager(const char *machine);
int plat_svc_real_create(const char *name, const PLAT_SERVICE_CONFIG *config);
int plat_svc_real_open(const char *name);
int plat_svc_real_delete(const char *name);
int plat_svc_real_query(const char *name, uint32_t *state);
int plat_svc_real_start(const char *name, int argc, const char *const *argv);
int plat_svc_real_control(const char *name, uint32_t control, uint32_t *state);

/* Non-zero while the scripted back end is selected. */
int plat_svc_script_active(void);
/* The scripted operations; they record their call and the access asked. A
 * null name in close stands for the manager. */
int plat_svc_script_open_manager(const char *machine, uint32_t access);
int plat_svc_script_create(const char *name, const PLAT_SERVICE_CONFIG *config, uint32_t access);
int plat_svc_script_open(const char *name, uint32_t access);
int plat_svc_script_delete(const char *name);
int plat_svc_script_query(const char *name, uint32_t *state);
int plat_svc_script_start(const char *name, int argc, const char *const *argv);
int plat_svc_script_control(const char *name, uint32_t control, uint32_t *state);
void plat_svc_script_close(const char *name);

#endif
