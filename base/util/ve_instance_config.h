// The instance configuration: capacities and buffer sizes that the control
// process reads once at start from "etc/kelvard.defs" under the instance's
// home and hands to shared memory and, over the wire, to server processes.
// The record's order is the wire order of its first 36 fields: 27 numbers,
// three paths, six numbers; the words after them never travel.
#ifndef VE_INSTANCE_CONFIG_H
#define VE_INSTANCE_CONFIG_H

#include <stdint.h>

#include "base/util/zel_export.h"

#define VE_CONFIG_PATH_SIZE 512  /* home, log and temporary paths */
#define VE_CONFIG_LINE_SIZE 1024 /* lines of 1023 characters */
#define VE_CONFIG_EXTRA_WORDS 4  /* words carried after field 36 */
#define VE_CONFIG_DEFAULT_TEMP "/tmp"
#define VE_CONFIG_UNUSED_LOG "UNUSED"

typedef struct {
    int32_t CONNECTIONS;
    int32_t LOCKS;
    int32_t STATELOCKS;
    int32_t MAXTABLELOCKS;
    int32_t OBJECTLOCKS;
    int32_t LAYERS;
    int32_t REGISTRATIONS;
    int32_t RASTERCOLUMNS;
    int32_t TIMEOUT;
    int32_t MINBUFSIZE;
    int32_t MAXBUFSIZE;
    int32_t MINBUFOBJECTS; /* also set by the obsolete MAXBUFCOUNT */
    int32_t MAXBLOBSIZE;
    int32_t BLOBMEM;
    int32_t AUTOCOMMIT;
    int32_t MAXINITIALFEATS;
    int32_t MAXDISTINCT;
    int32_t MAXSTREAMS;
    int32_t STREAMPOOLSIZE;
    int32_t SHAPEPTSBUFSIZE;
    int32_t ATTRBUFSIZE;
    int32_t BLOBBUFSIZE;
    int32_t RASTERBUFSIZE;
    int32_t MAXARRAYSIZE;
    int32_t MAXARRAYBYTES;
    int32_t MAXTIMEDIFF;
    int32_t reserved27; /* carried only */
    char HOME[VE_CONFIG_PATH_SIZE];
    char LOGS[VE_CONFIG_PATH_SIZE];
    char TEMP[VE_CONFIG_PATH_SIZE];
    int32_t reserved31; /* carried only */
    int32_t reserved32; /* carried only */
    int32_t STATECACHING;
    int32_t TCPKEEPALIVE;
    int32_t reserved35;                        /* carried only */
    int32_t reserved36;                        /* carried only */
    int32_t reserved37[VE_CONFIG_EXTRA_WORDS]; /* carried only, never on the wire */
    int32_t READONLY;
} VE_INSTANCE_CONFIG;

#ifdef __cplusplus
extern "C" {
#endif

/* Fills the record from the definitions file under its home path (or
 * ZELHOME when that is empty). Returns 0, also when the file cannot be opened
 * (all defaults then), or -1 when there is no home or the array buffer sizes
 * exceed MAXARRAYBYTES (the record keeps its values). A non-zero quiet flag
 * suppresses the warnings, the default log path and the array-size check. */
ZEL_API int32_t read_configuration(VE_INSTANCE_CONFIG *config, int32_t quiet);

/* 0 with ZELHOME copied into the home path; -1 with the home path emptied when
 * it is unset or does not fit. */
ZEL_API int32_t get_home_path(VE_INSTANCE_CONFIG *config);

/* 0; the log path becomes "UNUSED". */
ZEL_API int32_t get_log_path(VE_INSTANCE_CONFIG *config);

/* 0; the temporary directory becomes ZELTMP, or "/tmp" with a warning when it
 * is unset (or does not fit). */
ZEL_API int32_t get_tmp_path(VE_INSTANCE_CONFIG *config);

#ifdef __cplusplus
}
#endif

#endif
