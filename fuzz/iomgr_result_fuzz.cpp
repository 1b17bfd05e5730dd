// What a control process answers, and what a client requests of it: the
// input arrives on one end of a socket pair and is read as a result (its
// length, then a result of either release), and the same bytes are decoded
// as a request. Every text that comes back must end within its field.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "base/system/ve_iomgr.h"
#include "base/system/xdr_iomgr_internal.h"
#include "fuzz/fuzz_quiet.h"
#include "fuzz/fuzz_socket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    int fds[2];
    if (!fuzz_socket_input(data, size, fds))
        return 0;
    open_res result;
    memset(&result, 'x', sizeof result);
    result.text[0][0] = '\0';
    result.text[1][0] = '\0';
    if (VES_retrieve_xdr_result(fds[0], &result) == 0)
        for (const char *text : result.text)
            if (memchr(text, '\0', IOMGR_RESULT_TEXT_MAX + 1) == nullptr)
                __builtin_trap();
    close(fds[0]);
    close(fds[1]);

    std::vector<char> bytes(data, data + size);
    req4io request;
    XDR xdrs;
    xdrmem_create(&xdrs, bytes.data(), static_cast<u_int>(bytes.size()), XDR_DECODE);
    if (xdr_req4io(&xdrs, &request)) {
        for (const char *text : request.text)
            if (memchr(text, '\0', IOMGR_REQUEST_TEXT_MAX + 1) == nullptr)
                __builtin_trap();
        for (const char *text : request.user.text)
            if (memchr(text, '\0', IOMGR_REQUEST_TEXT_MAX + 1) == nullptr)
                __builtin_trap();
    }
    xdr_destroy(&xdrs);
    return 0;
}
