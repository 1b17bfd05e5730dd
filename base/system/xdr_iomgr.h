/* The request and result records of the control process, as they travel in
 * XDR: a client's request (req4io, with the client's user information) and
 * the control process's answer (open_res, or open_res_old from a control
 * process of an earlier release). Only the control process gives the ids,
 * numbers and texts their meaning; the library sets the values its own
 * requests need (ve_iomgr.h). Texts are kept terminated in their fields. */
#ifndef XDR_IOMGR_H
#define XDR_IOMGR_H

#include <stdint.h>

#define IOMGR_REQUEST_TEXT_MAX 256 /* characters of a request's text */
#define IOMGR_RESULT_TEXT_MAX 512  /* characters of a result's text */
#define IOMGR_RESULT_INTS 7
#define IOMGR_RESULT_OLD_INTS 5

typedef int32_t id_type;

typedef struct client_user_info {
    char text[2][IOMGR_REQUEST_TEXT_MAX + 1];
} client_user_info;

typedef struct req4io {
    id_type id;
    char text[3][IOMGR_REQUEST_TEXT_MAX + 1];
    int32_t number;
    client_user_info user;
    int32_t release; /* 81100 for this release */
} req4io;

typedef struct open_res {
    id_type ids[4];
    int32_t ints[IOMGR_RESULT_INTS];
    char text[2][IOMGR_RESULT_TEXT_MAX + 1];
} open_res;

typedef struct open_res_old {
    id_type ids[4];
    int32_t ints[IOMGR_RESULT_OLD_INTS];
} open_res_old;

#endif
