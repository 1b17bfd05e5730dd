// Tests the control-process connection against a small control process in
// the test (a loopback listener on a thread): the instance's port from the
// argument or the environment ("port:N"), connection attempts and refusals,
// the exact bytes of the ping request, requests that do not fit, results of
// both releases and of hostile lengths, administration commands, the
// inheritable socket, and the start of the control process's service.
#include "base/system/ve_iomgr_internal.h"
#include "base/system/xdr_iomgr_internal.h"

#include "base/system/so_channel.h"
#include "base/util/ve_net_string.h"
#include "base/util/ve_service_internal.h"
#include "base/util/zel_errors.h"
#include "platform/plat_service_internal.h"
#include "platform/plat_socket_internal.h"
#include "tests/support/peer_watchdog.h"
#include "tests/support/quiet_stderr.h"
#include "tests/support/registry_fixture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// Each test talks to its peer within the watchdog's limit or fails.
ZEL_WATCH_EVERY_TEST();

namespace
{

using Bytes = std::vector<unsigned char>;

// Restores an environment variable at the end of a scope.
struct EnvVar {
    std::string name;
    bool had = false;
    std::string old;
    EnvVar(const char *n, const char *value) : name(n)
    {
        const char *v = getenv(n);
        had = v != nullptr;
        if (had)
            old = v;
        if (value)
            setenv(n, value, 1);
        else
            unsetenv(n);
    }
    ~EnvVar()
    {
        if (had)
            setenv(name.c_str(), old.c_str(), 1);
        else
            unsetenv(name.c_str());
    }
};

// A control process of one connection: accepts (waiting at most five
// seconds for the client), runs serve on it and closes.
struct Peer {
    int listener = -1;
    uint16_t port = 0;
    std::thread thread;

    explicit Peer(std::function<void(int)> serve, uint16_t wanted = 0) : port(wanted)
    {
        listener = plat_socket_listen_loopback(&port);
        if (listener < 0)
            return;
        thread = std::thread([this, serve] {
            if (plat_socket_poll(listener, PLAT_SOCKET_READABLE, 5000) != 1)
                return;
            int fd = plat_socket_accept(listener);
            if (fd < 0)
                return;
            serve(fd);
            plat_socket_close(fd);
        });
    }
    ~Peer()
    {
        if (thread.joinable())
            thread.join();
        if (listener >= 0)
            plat_socket_close(listener);
    }
    std::string instance() const
    {
        return "port:" + std::to_string(port);
    }
};

// Everything the client sends until it closes.
Bytes read_all(int fd)
{
    Bytes all;
    unsigned char chunk[512];
    for (;;) {
        ssize_t n = plat_socket_recv(fd, chunk, sizeof chunk);
        if (n <= 0)
            return all;
        all.insert(all.end(), chunk, chunk + n);
    }
}

void put_word(Bytes &out, int32_t value)
{
    uint32_t v = static_cast<uint32_t>(value);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(v >> shift));
}

void put_text(Bytes &out, const std::string &text)
{
    put_word(out, static_cast<int32_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
    while (out.size() % 4 != 0)
        out.push_back(0);
}

// A result of n bytes as the control process sends it: its length, then it.
Bytes framed(const Bytes &body)
{
    Bytes out;
    put_word(out, static_cast<int32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes result_body(const int32_t ids[4], const int32_t *ints, int n_ints,
                  const std::vector<std::string> &texts)
{
    Bytes body;
    for (int i = 0; i < 4; ++i)
        put_word(body, ids[i]);
    for (int i = 0; i < n_ints; ++i)
        put_word(body, ints[i]);
    for (const std::string &t : texts)
        put_text(body, t);
    return body;
}

constexpr int32_t kConnectFailed = INT32_MIN;

// Connects to the peer's port and retrieves one result it sends.
int32_t retrieve(const Bytes &sent, open_res *result, Bytes *left = nullptr)
{
    Peer peer([&](int fd) {
        plat_socket_send(fd, sent.data(), sent.size());
        plat_socket_shutdown_send(fd);
        read_all(fd);
    });
    int fd = -1;
    if (VES_connect_to_iomgr("127.0.0.1", peer.instance().c_str(), &fd) != 0)
        return kConnectFailed;
    int32_t answer = VES_retrieve_xdr_result(fd, result);
    if (left)
        *left = read_all(fd);
    close(fd);
    return answer;
}

} // namespace

TEST(VeIomgr, PingSendsTheAdministrationRequestAndCommandZero)
{
    const Bytes expected = {
        0x00, 0x00, 0x00, 0x20,                         // length 32
        0xFF, 0xFF, 0xFF, 0xFF,                         // id -1
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // three empty texts
        0x00, 0x00, 0x00, 0x00,                         //
        0x00, 0x00, 0x00, 0x00,                         // number 0
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // the user's two texts
        0x00, 0x01, 0x3C, 0xCC,                         // release 81100
        0x00, 0x00, 0x00, 0x00,                         // command 0
    };
    // The instance from the environment, and given.
    for (bool from_environment : {true, false}) {
        Bytes received;
        {
            Peer peer([&](int fd) { received = read_all(fd); });
            ASSERT_GE(peer.listener, 0);
            EnvVar instance("ZELINSTANCE", from_environment ? peer.instance().c_str() : "nosuch");
            EXPECT_EQ(
                VES_ping_iomgr("127.0.0.1", from_environment ? nullptr : peer.instance().c_str()),
                0);
        }
        EXPECT_EQ(received, expected) << from_environment;
    }
}

TEST(VeIomgr, TheInstanceNamesThePort)
{
    int fd = -1;
    {
        EnvVar instance("ZELINSTANCE", "zel_no_such_service");
        EXPECT_EQ(VES_connect_to_iomgr("127.0.0.1", nullptr, &fd), ZE_SERVICE_NOT_FOUND);
        EXPECT_EQ(VES_connect_to_iomgr("127.0.0.1", "zel_other_unknown", &fd),
                  ZE_SERVICE_NOT_FOUND);
    }
    // Neither a name nor the environment: the default instance, which has no
    // service entry here, listens on 5151.
    EnvVar instance("ZELINSTANCE", nullptr);
    bool connected = false;
    {
        Peer peer([&](int) { connected = true; }, IOMGR_DEFAULT_PORT);
        if (peer.listener < 0)
            GTEST_SKIP() << "port 5151 is in use";
        ASSERT_EQ(VES_connect_to_iomgr("127.0.0.1", "", &fd), 0);
        close(fd);
    }
    EXPECT_TRUE(connected);
}

TEST(VeIomgr, AttemptsFromTheEnvironment)
{
    struct Case {
        const char *text;
        int32_t attempts;
    } cases[] = {{nullptr, 4}, {"0x10", 16}, {"010", 8}, {"7", 7},   {"0", 4},
                 {"-3", 4},    {"", 4},      {"5x", 4},  {"abc", 4}, {"99999999999", 4}};
    for (const Case &c : cases) {
        EnvVar attempts("ZELATTEMPTS", c.text);
        EXPECT_EQ(ves_iomgr_attempts(), c.attempts) << (c.text ? c.text : "(unset)");
    }
}

TEST(VeIomgr, RefusedAtOnceAndUnknownHosts)
{
    uint16_t port = 0;
    int listener = plat_socket_listen_loopback(&port);
    ASSERT_GE(listener, 0);
    plat_socket_close(listener); // nothing listens there now
    EnvVar attempts("ZELATTEMPTS", "1000");
    int fd = -1;
    std::string instance = "port:" + std::to_string(port);
    EXPECT_EQ(VES_connect_to_iomgr("127.0.0.1", instance.c_str(), &fd), ZE_CONNECTION_REFUSED);
    EXPECT_EQ(VES_ping_iomgr("127.0.0.1", instance.c_str()), ZE_CONNECTION_REFUSED);
    EXPECT_EQ(VES_connect_to_iomgr("zel-no-such-host.invalid", instance.c_str(), &fd),
              ZE_HOST_UNKNOWN);
    EXPECT_EQ(VES_connect_to_iomgr(nullptr, instance.c_str(), &fd), ZE_NULL_POINTER);

    struct sockaddr_in address;
    int32_t length = 0;
    for (const char *test : {static_cast<const char *>(nullptr), "1"}) {
        EnvVar noiptest("ZELNOIPTEST", test);
        for (const char *host : {"127.0.0.1", "localhost"}) {
            memset(&address, 0xAB, sizeof address);
            EXPECT_EQ(VES_make_inet_socket_addr(htons(4711), host, &address, &length), 0) << host;
            EXPECT_EQ(length, 16);
            EXPECT_EQ(address.sin_family, AF_INET);
            EXPECT_EQ(address.sin_port, htons(4711));
            EXPECT_EQ(address.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
        }
    }
    EXPECT_EQ(VES_make_inet_socket_addr(1, "zel-no-such-host.invalid", &address, &length),
              ZE_HOST_UNKNOWN);
}

TEST(VeIomgr, RequestsTravelWholeOrNotAtAll)
{
    req4io request;
    memset(&request, 0, sizeof request);
    request.id = 17;
    snprintf(request.text[0], sizeof request.text[0], "gisdb");
    snprintf(request.text[2], sizeof request.text[2], "%s", std::string(256, 'z').c_str());
    request.number = -5;
    snprintf(request.user.text[0], sizeof request.user.text[0], "sam");
    request.release = IOMGR_RELEASE;

    req4io decoded;
    memset(&decoded, 0, sizeof decoded);
    int32_t length = -1;
    Bytes rest;
    {
        Peer peer([&](int fd) {
            char word[4];
            if (CH_readn(fd, word, 4) != 4)
                return;
            length = int32_t(uint32_t(uint8_t(word[0])) << 24 | uint32_t(uint8_t(word[1])) << 16 |
                             uint32_t(uint8_t(word[2])) << 8 | uint8_t(word[3]));
            std::vector<char> body(length > 0 && length <= 1024 ? length : 0);
            if (CH_readn(fd, body.data(), int32_t(body.size())) != int32_t(body.size()))
                return;
            XDR xdrs;
            xdrmem_create(&xdrs, body.data(), u_int(body.size()), XDR_DECODE);
            EXPECT_TRUE(xdr_req4io(&xdrs, &decoded));
            EXPECT_EQ(xdr_getpos(&xdrs), u_int(length));
            xdr_destroy(&xdrs);
            rest = read_all(fd);
        });
        int fd = -1;
        ASSERT_EQ(VES_connect_to_iomgr("127.0.0.1", peer.instance().c_str(), &fd), 0);
        EXPECT_EQ(VES_send_xdr_request(fd, &request), 0);

        // Too long for the request's 1024 bytes, or a text that does not end
        // in its field: refused, and not a byte is sent.
        req4io big = request;
        for (char *text : big.text)
            memset(text, 'a', IOMGR_REQUEST_TEXT_MAX);
        for (char *text : big.user.text)
            memset(text, 'b', IOMGR_REQUEST_TEXT_MAX);
        EXPECT_EQ(VES_send_xdr_request(fd, &big), ZE_NETWORK_IO);
        req4io unterminated = request;
        memset(unterminated.user.text[1], 'c', sizeof unterminated.user.text[1]);
        EXPECT_EQ(VES_send_xdr_request(fd, &unterminated), ZE_NETWORK_IO);
        EXPECT_EQ(VES_send_xdr_request(fd, nullptr), ZE_NULL_POINTER);
        close(fd);
    }
    EXPECT_EQ(length, 4 + (4 + 8) + 4 + (4 + 256) + 4 + (4 + 4) + 4 + 4);
    EXPECT_EQ(decoded.id, 17);
    EXPECT_STREQ(decoded.text[0], "gisdb");
    EXPECT_STREQ(decoded.text[1], "");
    EXPECT_EQ(std::string(decoded.text[2]), std::string(256, 'z'));
    EXPECT_EQ(decoded.number, -5);
    EXPECT_STREQ(decoded.user.text[0], "sam");
    EXPECT_EQ(decoded.release, 81100);
    EXPECT_TRUE(rest.empty()) << "nothing after the one request";
}

TEST(VeIomgr, ResultsOfBothReleases)
{
    const int32_t ids[4] = {7, 8, 9, 10};
    const int32_t ints[7] = {1, 2, 3, 4, 5, 6, 7};
    open_res result;
    memset(&result, 0x11, sizeof result);
    ASSERT_EQ(
        retrieve(framed(result_body(ids, ints, 7, {"first", std::string(512, 'q')})), &result), 0);
    EXPECT_EQ(result.ids[3], 10);
    EXPECT_EQ(result.ints[6], 7);
    EXPECT_STREQ(result.text[0], "first");
    EXPECT_EQ(std::string(result.text[1]), std::string(512, 'q'));

    // An earlier release: five ints, no texts. The sixth int takes the first
    // id; the seventh and the texts are cleared unless that id is -51.
    for (int32_t first : {7, -51}) {
        const int32_t old_ids[4] = {first, 8, 9, 10};
        memset(&result, 0, sizeof result);
        result.ints[6] = 99;
        snprintf(result.text[0], sizeof result.text[0], "kept");
        snprintf(result.text[1], sizeof result.text[1], "kept too");
        ASSERT_EQ(retrieve(framed(result_body(old_ids, ints, 5, {})), &result), 0) << first;
        EXPECT_EQ(result.ids[0], first);
        EXPECT_EQ(result.ints[4], 5);
        EXPECT_EQ(result.ints[5], first);
        EXPECT_EQ(result.ints[6], first == -51 ? 99 : 0);
        EXPECT_STREQ(result.text[0], first == -51 ? "kept" : "");
        EXPECT_STREQ(result.text[1], first == -51 ? "kept too" : "");
    }
    // A text over its maximum makes the bytes an earlier release's result.
    memset(&result, 0, sizeof result);
    ASSERT_EQ(retrieve(framed(result_body(ids, ints, 7, {std::string(513, 'x'), ""})), &result), 0);
    EXPECT_EQ(result.ints[5], 7);
    EXPECT_STREQ(result.text[0], "");
}

TEST(VeIomgr, ResultLengthsThatCannotBeRead)
{
    const Bytes after = {0xDE, 0xAD, 0xBE, 0xEF};
    struct Case {
        int32_t length;
        int32_t answer;
    } cases[] = {{1, ZE_INVALID_RELEASE},
                 {0, ZE_NETWORK_IO},
                 {-8, ZE_NETWORK_IO},
                 {1069, ZE_NETWORK_IO},
                 {INT32_MAX, ZE_NETWORK_IO}};
    for (const Case &c : cases) {
        Bytes sent;
        put_word(sent, c.length);
        sent.insert(sent.end(), after.begin(), after.end());
        open_res result;
        memset(&result, 0x22, sizeof result);
        open_res untouched = result;
        Bytes left;
        EXPECT_EQ(retrieve(sent, &result, &left), c.answer) << c.length;
        EXPECT_EQ(left, after) << "nothing read past the length: " << c.length;
        EXPECT_EQ(memcmp(&result, &untouched, sizeof result), 0);
    }
    // Fewer bytes than the length, or bytes of neither form.
    open_res result;
    EXPECT_EQ(retrieve({0, 0, 0, 40, 1, 2, 3}, &result), ZE_NETWORK_IO);
    EXPECT_EQ(retrieve({0, 0}, &result), ZE_NETWORK_IO);
    EXPECT_EQ(retrieve({0, 0, 0, 8, 1, 2, 3, 4, 5, 6, 7, 8}, &result), ZE_NETWORK_IO);
    EXPECT_EQ(VES_retrieve_xdr_result(0, nullptr), ZE_NULL_POINTER);
}

TEST(VeIomgr, AdministrationCommands)
{
    int32_t command = -1;
    int32_t request_id = 0;
    {
        Peer peer([&](int fd) {
            char head[4];
            if (CH_readn(fd, head, 4) != 4)
                return;
            std::vector<char> body(32);
            if (CH_readn(fd, body.data(), 32) != 32)
                return;
            XDR xdrs;
            req4io request;
            xdrmem_create(&xdrs, body.data(), 32, XDR_DECODE);
            if (xdr_req4io(&xdrs, &request))
                request_id = request.id;
            xdr_destroy(&xdrs);
            EXPECT_EQ(VES_get_admin_command(fd, &command), 0);
            EXPECT_EQ(VES_get_admin_command(fd, &command), ZE_NETWORK_IO) << "no more";
        });
        int fd = -1;
        ASSERT_EQ(VES_connect_to_iomgr("127.0.0.1", peer.instance().c_str(), &fd), 0);
        EXPECT_EQ(VES_iomgr_command(fd, 0x01020304), 0);
        close(fd);
    }
    EXPECT_EQ(request_id, -1);
    EXPECT_EQ(command, 0x01020304);
    EXPECT_EQ(VES_iomgr_command(-1, 1), ZE_NETWORK_IO);
    EXPECT_EQ(VES_get_admin_command(0, nullptr), ZE_NULL_POINTER);
}

TEST(VeIomgr, InheritableSocket)
{
    int fds[2];
    ASSERT_EQ(plat_socket_pair(fds), 0);
    int first = fds[0];
    ASSERT_NE(fcntl(first, F_GETFD) & FD_CLOEXEC, 0);
    int socket = first;
    ASSERT_EQ(VES_make_socket_inheritable(&socket), 0);
    EXPECT_NE(socket, first);
    EXPECT_EQ(fcntl(socket, F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_EQ(plat_socket_send(socket, "x", 1), 1);
    char c = 0;
    EXPECT_EQ(plat_socket_recv(fds[1], &c, 1), 1);
    int bad = -1;
    EXPECT_EQ(VES_make_socket_inheritable(&bad), ZE_NETWORK_IO);
    EXPECT_EQ(VES_make_socket_inheritable(nullptr), ZE_NULL_POINTER);
    close(socket);
    close(fds[1]);
}

class StartIomgr : public RegistryFixture
{
  protected:
    std::string home;
    void SetUp() override
    {
        RegistryFixture::SetUp();
        home = root + "/home";
        mkdir(home.c_str(), 0700);
        plat_svc_script_begin();
        ves_service_set_start_wait(1, 2000);
    }
    void TearDown() override
    {
        plat_svc_script_end();
        ves_service_set_start_wait(250, 60000);
        RegistryFixture::TearDown();
    }
    void make_program()
    {
        mkdir((home + "/bin").c_str(), 0700);
        std::ofstream(home + "/bin/kelvard.exe") << "#!/bin/sh\n";
    }
    void write_services(const char *text)
    {
        mkdir((home + "/etc").c_str(), 0700);
        std::ofstream(home + "/etc/services.zel") << text;
    }
    // The start line of the journal: its first argument and the password read
    // back from the second.
    static bool started(const char *name, std::string *first, std::string *password)
    {
        std::string journal = plat_svc_script_journal();
        std::string head = "start " + std::string(name) + " 2 ";
        size_t at = journal.find(head);
        if (at == std::string::npos)
            return false;
        // The journal line gives the first argument; the scrambled form may
        // hold any byte but NUL, so it is read as it was passed.
        std::string line =
            journal.substr(at + head.size(), journal.find('\n', at) - at - head.size());
        *first = line.substr(0, line.find(' '));
        const char *passed = plat_svc_script_start_arg(1);
        if (passed == nullptr)
            return false;
        std::string form = passed;
        if (form == "<null>") {
            *password = "<null>";
            return true;
        }
        std::vector<char> plain(form.size() + 1);
        if (VES_string_net2mem(form.c_str(), plain.data(), nullptr) < 0)
            return false;
        *password = plain.data();
        return true;
    }
};

TEST_F(StartIomgr, TheHomeMustHoldTheProgram)
{
    EnvVar zelhome("ZELHOME", nullptr);
    EXPECT_EQ(VES_start_iomgr(nullptr, "pw", nullptr), ZE_HOME_NOT_DIRECTORY);
    EXPECT_EQ(VES_start_iomgr((home + "/none").c_str(), "pw", nullptr), ZE_HOME_NOT_DIRECTORY);
    std::ofstream(root + "/file") << "x";
    EXPECT_EQ(VES_start_iomgr((root + "/file").c_str(), "pw", ""), ZE_HOME_NOT_DIRECTORY);
    EXPECT_EQ(VES_start_iomgr(home.c_str(), "pw", nullptr), ZE_IOMGR_NOT_FOUND);
    mkdir((home + "/bin").c_str(), 0700);
    mkdir((home + "/bin/kelvard.exe").c_str(), 0700);
    EXPECT_EQ(VES_start_iomgr(home.c_str(), "pw", nullptr), ZE_IOMGR_NOT_FOUND);
    EXPECT_STREQ(plat_svc_script_journal(), "") << "no service was asked";
}

TEST_F(StartIomgr, StartsTheInstancesService)
{
    make_program();
    write_services("# services\nzelinst 5200/tcp\n");
    plat_svc_script_add("zelinst", PLAT_SERVICE_STOPPED);
    std::string first, password;
    {
        EnvVar zelhome("ZELHOME", home.c_str());
        ASSERT_EQ(VES_start_iomgr(nullptr, "secret", nullptr), 0);
    }
    ASSERT_TRUE(started("zelinst", &first, &password)) << plat_svc_script_journal();
    EXPECT_EQ(first, "\"" + home + "\"");
    EXPECT_EQ(password, "secret") << "scrambled once";

    // Without a services file: the default instance's service.
    unlink((home + "/etc/services.zel").c_str());
    plat_svc_script_begin();
    plat_svc_script_add("tavo_zel", PLAT_SERVICE_STOPPED);
    ASSERT_EQ(VES_start_iomgr(home.c_str(), nullptr, nullptr), 0);
    ASSERT_TRUE(started("tavo_zel", &first, &password)) << plat_svc_script_journal();
    EXPECT_EQ(password, "<null>");

    // A service named: no home needed.
    plat_svc_script_begin();
    plat_svc_script_add("named", PLAT_SERVICE_STOPPED);
    ASSERT_EQ(VES_start_iomgr(nullptr, "pw", "named"), 0);
    ASSERT_TRUE(started("named", &first, &password)) << plat_svc_script_journal();
    EXPECT_EQ(first, "\"#\"");
    EXPECT_EQ(password, "pw");
}

TEST_F(StartIomgr, AFailedStartIsReported)
{
    plat_svc_script_add("running", PLAT_SERVICE_RUNNING);
    StderrCapture capture;
    EXPECT_EQ(VES_start_iomgr(nullptr, nullptr, "missing"), ZE_FAILURE);
    EXPECT_EQ(VES_start_iomgr(nullptr, nullptr, "running"), ZE_FAILURE);
    std::string errors = capture.text();
    EXPECT_NE(errors.find("Error starting missing service(1060)\n"), std::string::npos) << errors;
    EXPECT_NE(errors.find("Error starting running service(-209)\n"), std::string::npos) << errors;
    // A password too long for the service start fails like any start.
    plat_svc_script_add("stopped", PLAT_SERVICE_STOPPED);
    EXPECT_EQ(VES_start_iomgr(nullptr, std::string(200, 'p').c_str(), "stopped"), ZE_FAILURE);
}
