// The real service manager: configuration kept in the registry store, names
// and rights checked, command lines split into words, programs of a run state
// that has gone stale never signalled, and the scripted back end's journal.
#include "platform/plat_service_internal.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "platform/plat_registry_internal.h"
#include "tests/support/registry_fixture.h"

namespace
{

const std::string kServices = "SYSTEM\\CurrentControlSet\\Services\\";

class PlatService : public RegistryFixture
{
  protected:
    PLAT_SC_HANDLE manager = nullptr;
    void SetUp() override
    {
        RegistryFixture::SetUp();
        ASSERT_EQ(plat_svc_open_manager(nullptr, PLAT_GENERIC_READ | PLAT_GENERIC_WRITE, &manager),
                  0);
        plat_svc_set_settle_ms(50);
    }
    void TearDown() override
    {
        plat_svc_close(manager);
        plat_svc_set_settle_ms(1000);
        RegistryFixture::TearDown();
    }
    int Create(const char *name, const char *command, const char *dependencies = nullptr)
    {
        PLAT_SERVICE_CONFIG config = {"Display",
                                      command,
                                      PLAT_SERVICE_WIN32_OWN_PROCESS,
                                      PLAT_SERVICE_AUTO_START,
                                      PLAT_SERVICE_ERROR_NORMAL,
                                      dependencies,
                                      nullptr,
                                      "secret"};
        PLAT_SC_HANDLE service = nullptr;
        int rc = plat_svc_create(manager, name, &config, PLAT_GENERIC_READ, &service);
        plat_svc_close(service);
        return rc;
    }
    static std::string Value(const std::string &key, const char *name, uint32_t *type = nullptr)
    {
        char buf[256];
        size_t size = sizeof buf;
        if (plat_reg_query_value(key.c_str(), name, type, buf, &size) != 0)
            return "<missing>";
        return std::string(buf, size);
    }
};

TEST_F(PlatService, CreateKeepsTheConfigurationButNotThePassword)
{
    ASSERT_EQ(Create("svc", "/bin/true", "a\0bb\0"), 0);
    std::string key = kServices + "svc";
    uint32_t type = 0;
    EXPECT_EQ(Value(key, "Type"), std::string("\x10\0\0\0", 4));
    EXPECT_EQ(Value(key, "Start"), std::string("\x02\0\0\0", 4));
    EXPECT_EQ(Value(key, "ErrorControl"), std::string("\x01\0\0\0", 4));
    EXPECT_EQ(Value(key, "ImagePath", &type), std::string("/bin/true", 10));
    EXPECT_EQ(type, PLAT_REG_EXPAND_SZ);
    EXPECT_EQ(Value(key, "DependOnService", &type), std::string("a\0bb\0\0", 6));
    EXPECT_EQ(type, 7u);
    EXPECT_EQ(Value(key, "ObjectName"), std::string("LocalSystem", 12));
    EXPECT_EQ(Value(key, "Password"), "<missing>");

    EXPECT_EQ(Create("svc", "/bin/true"), PLAT_ERROR_SERVICE_EXISTS);
    // A key that holds other keys is not taken for a service.
    EXPECT_EQ(Create("EventLog", "/bin/true"), 0);
    ASSERT_EQ(plat_reg_create_key((kServices + "Busy\\Child").c_str()), 0);
    EXPECT_EQ(Create("Busy", "/bin/true"), PLAT_ERROR_SERVICE_EXISTS);
}

TEST_F(PlatService, NamesHandlesAndRightsAreChecked)
{
    const char *bad[] = {"", "a\\b", "a/b", "..", "@x"};
    for (const char *name : bad)
        EXPECT_EQ(Create(name, "/bin/true"), PLAT_ERROR_INVALID_NAME) << name;
    EXPECT_EQ(Create(std::string(257, 'n').c_str(), "/bin/true"), PLAT_ERROR_INVALID_NAME);

    PLAT_SC_HANDLE service = nullptr;
    EXPECT_EQ(plat_svc_open(manager, "none", PLAT_GENERIC_READ, &service),
              PLAT_ERROR_SERVICE_DOES_NOT_EXIST);
    EXPECT_EQ(service, nullptr);
    ASSERT_EQ(Create("svc", "/bin/true"), 0);
    // Read access may query but not start, stop or delete.
    ASSERT_EQ(plat_svc_open(manager, "svc", PLAT_GENERIC_READ, &service), 0);
    uint32_t state = 0;
    EXPECT_EQ(plat_svc_query_status(service, &state), 0);
    EXPECT_EQ(state, PLAT_SERVICE_STOPPED);
    EXPECT_EQ(plat_svc_start(service, 0, nullptr), PLAT_ERROR_ACCESS_DENIED);
    EXPECT_EQ(plat_svc_control(service, PLAT_SERVICE_CONTROL_STOP, &state),
              PLAT_ERROR_ACCESS_DENIED);
    EXPECT_EQ(plat_svc_delete(service), PLAT_ERROR_ACCESS_DENIED);
    // A service handle is not a manager, nor the other way round.
    PLAT_SC_HANDLE other = nullptr;
    EXPECT_EQ(plat_svc_open(service, "svc", PLAT_GENERIC_READ, &other), PLAT_ERROR_INVALID_HANDLE);
    EXPECT_EQ(plat_svc_query_status(manager, &state), PLAT_ERROR_INVALID_HANDLE);
    plat_svc_close(service);

    PLAT_SC_HANDLE reader = nullptr;
    ASSERT_EQ(plat_svc_open_manager("localhost", PLAT_GENERIC_READ, &reader), 0);
    EXPECT_EQ(Create("x", "/bin/true"), 0);
    PLAT_SERVICE_CONFIG config = {nullptr, "/bin/true", 16, 2, 1, nullptr, nullptr, nullptr};
    EXPECT_EQ(plat_svc_create(reader, "y", &config, PLAT_GENERIC_READ, &service),
              PLAT_ERROR_ACCESS_DENIED);
    plat_svc_close(reader);
    EXPECT_EQ(plat_svc_open_manager("\\\\elsewhere", PLAT_GENERIC_READ, &reader),
              PLAT_ERROR_SERVER_UNAVAILABLE);
    EXPECT_EQ(reader, nullptr);
}

TEST_F(PlatService, TheProgramGetsItsOwnWordsAndReadsTheStartArgumentsFromItsInput)
{
    char tmpl[] = "/tmp/zel svc XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string dir = tmpl;
    std::string program = dir + "/run me.sh";
    // One line: its words, its input with each zero byte as "|", and whether
    // descriptor 77 of this process reached it.
    std::ofstream(program) << "#!/bin/sh\n"
                              "input=$(tr '\\000' '|')\n"
                              "leak=closed; [ -e /proc/$$/fd/77 ] && leak=open\n"
                              "printf '%s|' \"$@\" \"$input\" \"$leak\" > \"$1.tmp\"\n"
                              "mv \"$1.tmp\" \"$1\"\n"
                              "exec sleep 30\n";
    chmod(program.c_str(), 0700);
    std::string out = dir + "/words";
    std::string line = "\"" + program + "\" \"" + out + "\" two\t\"three four\"";
    ASSERT_EQ(Create("svc", line.c_str()), 0);
    // A descriptor of this process that is not close-on-exec.
    ASSERT_EQ(dup2(2, 77), 77);

    PLAT_SC_HANDLE service = nullptr;
    ASSERT_EQ(plat_svc_open(manager, "svc", PLAT_GENERIC_READ | PLAT_GENERIC_EXECUTE, &service), 0);
    const char *arguments[] = {"#", "pass word", nullptr, "never"};
    ASSERT_EQ(plat_svc_start(service, 4, arguments), 0);
    close(77);
    EXPECT_EQ(plat_svc_start(service, 0, nullptr), PLAT_ERROR_SERVICE_ALREADY_RUNNING);
    std::string words;
    for (int i = 0; i < 500 && words.empty(); ++i) {
        usleep(10000);
        std::ifstream in(out);
        std::getline(in, words);
    }
    EXPECT_EQ(words, out + "|two|three four|#|pass word||closed|");

    uint32_t state = 0;
    for (int i = 0; i < 500 && state != PLAT_SERVICE_RUNNING; ++i) {
        usleep(10000);
        ASSERT_EQ(plat_svc_query_status(service, &state), 0);
    }
    EXPECT_EQ(state, PLAT_SERVICE_RUNNING);
    ASSERT_EQ(plat_svc_control(service, PLAT_SERVICE_CONTROL_STOP, &state), 0);
    EXPECT_EQ(state, PLAT_SERVICE_STOP_PENDING);
    for (int i = 0; i < 500 && state != PLAT_SERVICE_STOPPED; ++i) {
        usleep(10000);
        ASSERT_EQ(plat_svc_query_status(service, &state), 0);
    }
    EXPECT_EQ(state, PLAT_SERVICE_STOPPED);
    EXPECT_EQ(plat_svc_control(service, PLAT_SERVICE_CONTROL_STOP, &state),
              PLAT_ERROR_SERVICE_NOT_ACTIVE);
    // This handle may start and stop but not delete.
    EXPECT_EQ(plat_svc_delete(service), PLAT_ERROR_ACCESS_DENIED);
    plat_svc_close(service);
    ASSERT_EQ(plat_svc_open(manager, "svc", PLAT_GENERIC_READ | PLAT_DELETE, &service), 0);
    EXPECT_EQ(plat_svc_delete(service), 0);
    EXPECT_EQ(plat_svc_query_status(service, &state), PLAT_ERROR_SERVICE_DOES_NOT_EXIST);
    plat_svc_close(service);
    std::string cmd = "rm -rf '" + dir + "'";
    (void)system(cmd.c_str());
}

// Stored run states whose process is gone (or never was) read as stopped, and
// a stop never signals what the stale record names.
TEST_F(PlatService, StaleRunStatesReadAsStopped)
{
    static int s_terms = 0;
    signal(SIGTERM, [](int) { ++s_terms; });
    ASSERT_EQ(Create("svc", "/bin/true"), 0);
    std::string key = kServices + "svc";
    const unsigned char running[4] = {PLAT_SERVICE_RUNNING, 0, 0, 0};
    const unsigned char zero[4] = {0, 0, 0, 0};
    int self = static_cast<int>(getpid());
    const unsigned char me[4] = {
        static_cast<unsigned char>(self), static_cast<unsigned char>(self >> 8),
        static_cast<unsigned char>(self >> 16), static_cast<unsigned char>(self >> 24)};
    // Process id 0 (a whole process group to kill) and this very process
    // under another start time (a reused id).
    for (const unsigned char *pid : {zero, me}) {
        ASSERT_EQ(plat_reg_set_value(key.c_str(), "CurrentState", PLAT_REG_DWORD, running, 4), 0);
        ASSERT_EQ(plat_reg_set_value(key.c_str(), "ProcessId", PLAT_REG_DWORD, pid, 4), 0);
        PLAT_SC_HANDLE service = nullptr;
        ASSERT_EQ(plat_svc_open(manager, "svc", PLAT_GENERIC_READ | PLAT_SERVICE_STOP, &service),
                  0);
        uint32_t state = 0;
        EXPECT_EQ(plat_svc_control(service, PLAT_SERVICE_CONTROL_STOP, &state),
                  PLAT_ERROR_SERVICE_NOT_ACTIVE);
        EXPECT_EQ(state, PLAT_SERVICE_STOPPED);
        plat_svc_close(service);
    }
    EXPECT_EQ(s_terms, 0);
    signal(SIGTERM, SIG_DFL);
}

TEST(PlatServiceScript, JournalsCallsAndPlaysStates)
{
    plat_svc_script_begin();
    plat_svc_script_add("svc", PLAT_SERVICE_STOPPED);
    const uint32_t states[] = {PLAT_SERVICE_START_PENDING, PLAT_SERVICE_RUNNING};
    plat_svc_script_states("svc", states, 2);
    PLAT_SC_HANDLE manager = nullptr;
    PLAT_SC_HANDLE service = nullptr;
    ASSERT_EQ(plat_svc_open_manager(nullptr, PLAT_GENERIC_READ, &manager), 0);
    ASSERT_EQ(plat_svc_open(manager, "svc", PLAT_GENERIC_READ, &service), 0);
    uint32_t state = 0;
    for (uint32_t expected :
         {PLAT_SERVICE_START_PENDING, PLAT_SERVICE_RUNNING, PLAT_SERVICE_RUNNING}) {
        ASSERT_EQ(plat_svc_query_status(service, &state), 0);
        EXPECT_EQ(state, expected);
    }
    plat_svc_script_fail("query", 5);
    EXPECT_EQ(plat_svc_query_status(service, &state), 5);
    EXPECT_EQ(plat_svc_query_status(service, &state), 0);
    EXPECT_EQ(plat_svc_script_open_handles(), 2);
    plat_svc_close(service);
    plat_svc_close(manager);
    EXPECT_EQ(plat_svc_script_open_handles(), 0);
    EXPECT_STREQ(plat_svc_script_journal(),
                 "open_manager <null> 0x80000000\nopen svc 0x80000000\nquery svc\nquery svc\n"
                 "query svc\nquery svc\nquery svc\nclose svc\nclose manager\n");
    plat_svc_script_end();
}

} // namespace
