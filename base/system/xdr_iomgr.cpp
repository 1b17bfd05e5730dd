// XDR filters of the control process's request and result records
// (xdr_iomgr_internal.h).
#include "base/system/xdr_iomgr_internal.h"

#include <string.h>

bool_t xdr_iomgr_text(XDR *xdrs, char *field, u_int max)
{
    u_int length = 0;
    switch (xdrs->x_op) {
    case XDR_ENCODE:
        // strnlen: a field whose text does not end in it is not read past.
        length = static_cast<u_int>(strnlen(field, max + 1));
        if (length > max)
            return FALSE;
        return xdr_u_int(xdrs, &length) && xdr_opaque(xdrs, field, length);
    case XDR_DECODE:
        if (!xdr_u_int(xdrs, &length) || length > max)
            return FALSE;
        if (!xdr_opaque(xdrs, field, length))
            return FALSE;
        field[length] = '\0';
        return TRUE;
    case XDR_FREE:
        return TRUE;
    }
    return FALSE;
}

bool_t xdr_id_type(XDR *xdrs, id_type *id)
{
    return xdr_int(xdrs, id);
}

bool_t xdr_client_user_info(XDR *xdrs, client_user_info *info)
{
    for (char *text : info->text)
        if (!xdr_iomgr_text(xdrs, text, IOMGR_REQUEST_TEXT_MAX))
            return FALSE;
    return TRUE;
}

bool_t xdr_req4io(XDR *xdrs, req4io *request)
{
    if (!xdr_id_type(xdrs, &request->id))
        return FALSE;
    for (char *text : request->text)
        if (!xdr_iomgr_text(xdrs, text, IOMGR_REQUEST_TEXT_MAX))
            return FALSE;
    return xdr_int(xdrs, &request->number) && xdr_client_user_info(xdrs, &request->user) &&
           xdr_int(xdrs, &request->release);
}

// The ids and ints that both forms of a result begin with.
static bool_t S_words(XDR *xdrs, int32_t *ids, int32_t *ints, int n_ints)
{
    for (int i = 0; i < 4; ++i)
        if (!xdr_id_type(xdrs, &ids[i]))
            return FALSE;
    for (int i = 0; i < n_ints; ++i)
        if (!xdr_int(xdrs, &ints[i]))
            return FALSE;
    return TRUE;
}

bool_t xdr_open_res(XDR *xdrs, open_res *result)
{
    if (!S_words(xdrs, result->ids, result->ints, IOMGR_RESULT_INTS))
        return FALSE;
    for (char *text : result->text)
        if (!xdr_iomgr_text(xdrs, text, IOMGR_RESULT_TEXT_MAX))
            return FALSE;
    return TRUE;
}

bool_t xdr_open_res_old(XDR *xdrs, open_res_old *result)
{
    return S_words(xdrs, result->ids, result->ints, IOMGR_RESULT_OLD_INTS);
}
