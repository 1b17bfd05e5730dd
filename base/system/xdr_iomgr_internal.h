// XDR filters of the control process's request and result records
// (xdr_iomgr.h), over libtirpc's primitives: ids, ints and longs as 32-bit
// xdr_int, texts as XDR strings (a length, then the bytes padded to four)
// bounded by their fields. Encoding a text that does not end within its field
// or is longer than its maximum fails; decoding refuses a length above the
// maximum before it reads a byte, and terminates what it read.
#ifndef XDR_IOMGR_INTERNAL_H
#define XDR_IOMGR_INTERNAL_H

#include <rpc/xdr.h>

#include "base/system/xdr_iomgr.h"

#ifdef __cplusplus
extern "C" {
#endif

bool_t xdr_id_type(XDR *xdrs, id_type *id);
bool_t xdr_client_user_info(XDR *xdrs, client_user_info *info);
bool_t xdr_req4io(XDR *xdrs, req4io *request);
bool_t xdr_open_res(XDR *xdrs, open_res *result);
bool_t xdr_open_res_old(XDR *xdrs, open_res_old *result);

/* One text of a field of max + 1 bytes as an XDR string of at most max. */
bool_t xdr_iomgr_text(XDR *xdrs, char *field, u_int max);

#ifdef __cplusplus
}
#endif

#endif
