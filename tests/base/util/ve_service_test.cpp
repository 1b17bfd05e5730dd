// Service functions against the scripted service manager (the calls they
// make with their access, the already-running refusal, the failed-start
// lines, the events and a bounded start wait, every handle closed) and
// against the real one (a small program started, watched and stopped).
#include "base/util/ve_service_internal.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/util/ve_net_string.h"
#include "base/util/ve_registry.h"
#include "base/util/zel_errors.h"
#include "platform/plat_eventlog_internal.h"
#include "platform/plat_registry_internal.h"
#include "platform/plat_service_internal.h"
#include "tests/support/quiet_stderr.h"
#include "tests/support/registry_fixture.h"

namespace
{

const std::string kEventLog = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";

// One event line of the capture: information priority (6), source, id, name.
std::string Event(const char *source, int id, const char *name)
{
    return "6 " + std::string(source) + ": event " + std::to_string(id) +
           " (information, category 0): " + name + "\n";
}

class Service : public RegistryFixture
{
  protected:
    void SetUp() override
    {
        RegistryFixture::SetUp();
        plat_svc_script_begin();
        plat_evt_capture_begin();
        ves_log_event_reset();
        ves_service_set_start_wait(1, 2000);
    }
    void TearDown() override
    {
        EXPECT_EQ(plat_svc_script_open_handles(), 0);
        plat_svc_script_end();
        plat_evt_capture_end();
        ves_log_event_reset();
        ves_service_set_start_wait(250, 60000);
        RegistryFixture::TearDown();
    }
    static std::string Journal()
    {
        return plat_svc_script_journal();
    }
    static std::string Events()
    {
        return plat_evt_captured();
    }
};

TEST_F(Service, CreateFormsTheAccountAndRegistersTheEventSource)
{
    const struct {
        const char *account;
        const char *recorded;
    } cases[] = {{nullptr, "<null>"}, {"bob", "\".\\bob\""}, {"DOM\\bob", "\"DOM\\bob\""}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.recorded);
        plat_svc_script_begin();
        plat_evt_capture_begin();
        ASSERT_EQ(
            VES_CreateService("svc", "Display", "/opt/zel/bin/kelvard", "a\0b\0", c.account, "pw"),
            0);
        EXPECT_EQ(Journal(), std::string("open_manager <null> 0xC0000000\n"
                                         "create svc display=\"Display\" "
                                         "command=\"/opt/zel/bin/kelvard\" type=16 start=2 "
                                         "error=1 dependencies=[a,b] account=") +
                                 c.recorded +
                                 " password=<given> 0xC0000000\nclose svc\nclose manager\n");
        EXPECT_EQ(Events(), Event("svc", 100, "svc"));
    }
    char buf[64];
    size_t size = sizeof buf;
    uint32_t type = 0;
    ASSERT_EQ(
        plat_reg_query_value((kEventLog + "svc").c_str(), "EventMessageFile", &type, buf, &size),
        0);
    EXPECT_EQ(type, PLAT_REG_EXPAND_SZ);
    EXPECT_STREQ(buf, "/opt/zel/bin/kelvard");
}

TEST_F(Service, CreateFailures)
{
    // The manager cannot be opened: its error and the two lines.
    plat_svc_script_fail("open_manager", PLAT_ERROR_ACCESS_DENIED);
    StderrCapture capture;
    EXPECT_EQ(VES_CreateService("svc", "d", "/bin/x", nullptr, nullptr, nullptr),
              PLAT_ERROR_ACCESS_DENIED);
    EXPECT_EQ(capture.text(), "error opening SCManager. You must have administrator\n"
                              "privileges to perform this operation\n");
    // The service exists already: the manager's error, no event.
    plat_svc_script_add("svc", PLAT_SERVICE_STOPPED);
    EXPECT_EQ(VES_CreateService("svc", "d", "/bin/x", nullptr, nullptr, nullptr),
              PLAT_ERROR_SERVICE_EXISTS);
    // The event source cannot be registered: its result; the service stays.
    std::string longname(100, 'n');
    EXPECT_EQ(VES_CreateService(longname.c_str(), "d", "/bin/x", nullptr, nullptr, nullptr),
              ZE_FAILURE);
    EXPECT_NE(Journal().find("create " + longname), std::string::npos);
    EXPECT_EQ(Events(), "");
    EXPECT_EQ(VES_CreateService(nullptr, "d", "/bin/x", nullptr, nullptr, nullptr),
              ZE_NULL_POINTER);
}

TEST_F(Service, DeleteWritesItsEventsAndRemovesTheSource)
{
    ASSERT_EQ(VES_RegisterEventLog("svc", "/bin/x"), 0);
    plat_svc_script_add("svc", PLAT_SERVICE_STOPPED);
    ASSERT_EQ(VES_DeleteService("svc"), 0);
    EXPECT_EQ(Journal(), "open_manager <null> 0xC0000000\nopen svc 0xC00F0000\ndelete svc\n"
                         "close svc\nclose manager\n");
    EXPECT_EQ(Events(), Event("svc", 101, "svc"));
    EXPECT_EQ(plat_reg_open_key((kEventLog + "svc").c_str()), PLAT_ERROR_FILE_NOT_FOUND);

    // Refused: event 102 and the manager's error; a missing service: its error.
    plat_svc_script_add("svc", PLAT_SERVICE_STOPPED);
    plat_svc_script_fail("delete", 1072);
    EXPECT_EQ(VES_DeleteService("svc"), 1072);
    EXPECT_EQ(Events(), Event("svc", 101, "svc") + Event("svc", 102, "svc"));
    EXPECT_EQ(VES_DeleteService("other"), PLAT_ERROR_SERVICE_DOES_NOT_EXIST);
}

TEST_F(Service, QueryWritesTheStateText)
{
    const struct {
        uint32_t state;
        const char *text;
    } cases[] = {{1, "SERVICE_STOPPED"},
                 {2, "SERVICE_START_PENDING"},
                 {3, "SERVICE_STOP_PENDING"},
                 {4, "SERVICE_RUNNING"},
                 {5, "SERVICE_CONTINUE_PENDING"},
                 {7, "SERVICE_PAUSED"},
                 {6, "untouched"},
                 {99, "untouched"}};
    for (const auto &c : cases) {
        plat_svc_script_add("svc", c.state);
        char out[VE_SERVICE_STATUS_SIZE] = "untouched";
        EXPECT_EQ(VES_QueryServiceStatus("svc", out), 0);
        EXPECT_STREQ(out, c.text) << c.state;
    }
    const std::string first = "open_manager <null> 0x80000000\nopen svc 0x80000000\nquery svc\n"
                              "close svc\nclose manager\n";
    EXPECT_EQ(Journal().substr(0, first.size()), first);
    char out[VE_SERVICE_STATUS_SIZE];
    EXPECT_EQ(VES_QueryServiceStatus("missing", out), ZE_FAILURE);
    plat_svc_script_fail("query", 5);
    EXPECT_EQ(VES_QueryServiceStatus("svc", out), ZE_FAILURE);
}

TEST_F(Service, StartRefusesARunningService)
{
    plat_svc_script_add("svc", PLAT_SERVICE_RUNNING);
    EXPECT_EQ(VES_start_service(nullptr, "svc", "/home", nullptr), ZE_SERVICE_RUNNING);
    EXPECT_EQ(Journal(), "open_manager <null> 0x80000000\nopen svc 0x80000010\nquery svc\n"
                         "close svc\nclose manager\n");
    EXPECT_EQ(Events(), "");
}

TEST_F(Service, StartPassesItsTwoArgumentsAndWaitsForRunning)
{
    const uint32_t states[] = {PLAT_SERVICE_STOPPED, PLAT_SERVICE_START_PENDING,
                               PLAT_SERVICE_START_PENDING, PLAT_SERVICE_RUNNING};
    plat_svc_script_add("svc", PLAT_SERVICE_STOPPED);
    plat_svc_script_states("svc", states, 4);
    EXPECT_EQ(VES_start_service("host1", "svc", nullptr, nullptr), 0);
    EXPECT_EQ(Journal(), "open_manager \"host1\" 0x80000000\nopen svc 0x80000010\nquery svc\n"
                         "start svc 2 \"#\" <null>\nquery svc\nquery svc\nquery svc\n"
                         "close svc\nclose manager\n");
    EXPECT_EQ(Events(), Event("svc", 105, "svc"));

    // A password travels scrambled as the second argument.
    plat_svc_script_begin();
    plat_svc_script_add("svc", PLAT_SERVICE_STOPPED);
    ASSERT_EQ(VES_start_service(nullptr, "svc", "/home/zel", "secret"), 0);
    std::string journal = Journal();
    ASSERT_NE(journal.find("start svc 2 \"/home/zel\" \""), std::string::npos) << journal;
    // The scrambled form may hold any byte but NUL: read it as passed.
    ASSERT_NE(plat_svc_script_start_arg(1), nullptr);
    std::string form = plat_svc_script_start_arg(1);
    EXPECT_EQ(form.size(), strlen("secret") + VES_NET_STRING_OVERHEAD);
    char plain[64];
    EXPECT_EQ(VES_string_net2mem(form.c_str(), plain, nullptr), 6);
    EXPECT_STREQ(plain, "secret");
}

TEST_F(Service, StartThatStopsPrintsTwoLines)
{
    const uint32_t states[] = {PLAT_SERVICE_STOPPED, PLAT_SERVICE_START_PENDING,
                               PLAT_SERVICE_STOPPED};
    plat_svc_script_add("svc", PLAT_SERVICE_STOPPED);
    plat_svc_script_states("svc", states, 3);
    StderrCapture capture;
    EXPECT_EQ(VES_start_service(nullptr, "svc", nullptr, nullptr), ZE_FAILURE);
    EXPECT_EQ(capture.text(), "svc service failed during initialization.\n"
                              "Please check event log or error log files.\n");
    EXPECT_EQ(Events(), "");
}

TEST_F(Service, StartWaitIsBounded)
{
    const uint32_t states[] = {PLAT_SERVICE_STOPPED, PLAT_SERVICE_START_PENDING};
    plat_svc_script_add("svc", PLAT_SERVICE_STOPPED);
    plat_svc_script_states("svc", states, 2);
    ves_service_set_start_wait(5, 60);
    EXPECT_EQ(VES_start_service(nullptr, "svc", nullptr, nullptr),
              PLAT_ERROR_SERVICE_REQUEST_TIMEOUT);
    std::string journal = Journal();
    size_t queries = 0;
    for (size_t at = 0; (at = journal.find("query svc", at)) != std::string::npos; ++at)
        ++queries;
    // One query before the start; after it, one each pause until the limit.
    EXPECT_GE(queries, 3u);
    EXPECT_LE(queries, 14u);
    EXPECT_EQ(Events(), "");
}

TEST_F(Service, StartFailuresReturnBeforeOrAfterOpening)
{
    // A password whose scrambled form would not fit: nothing is opened.
    std::string longest(VE_SERVICE_PASSWORD_MAX, 'p');
    EXPECT_EQ(VES_start_service(nullptr, "svc", nullptr, (longest + "p").c_str()),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(Journal(), "");
    plat_svc_script_add("svc", PLAT_SERVICE_STOPPED);
    EXPECT_EQ(VES_start_service(nullptr, "svc", nullptr, longest.c_str()), 0);
    EXPECT_NE(Journal().find("start svc 2 \"#\" \""), std::string::npos);

    const struct {
        const char *operation;
        int error;
    } cases[] = {{"open_manager", PLAT_ERROR_SERVER_UNAVAILABLE},
                 {"open", PLAT_ERROR_SERVICE_DOES_NOT_EXIST},
                 {"query", PLAT_ERROR_ACCESS_DENIED},
                 {"start", 1058}};
    for (const auto &c : cases) {
        plat_svc_script_add("svc", PLAT_SERVICE_STOPPED);
        plat_svc_script_fail(c.operation, c.error);
        EXPECT_EQ(VES_start_service(nullptr, "svc", nullptr, nullptr), c.error) << c.operation;
    }
    EXPECT_EQ(VES_start_service(nullptr, nullptr, nullptr, nullptr), ZE_NULL_POINTER);
}

TEST_F(Service, StopAcceptsRefusesAndReportsStoppedServices)
{
    plat_svc_script_add("svc", PLAT_SERVICE_RUNNING);
    EXPECT_EQ(VES_stop_service("svc"), 0);
    EXPECT_EQ(Journal(), "open_manager <null> 0x80000000\nopen svc 0x80000020\nquery svc\n"
                         "control svc 1\nclose svc\nclose manager\n");
    EXPECT_EQ(Events(), Event("svc", 108, "svc"));

    plat_svc_script_add("svc", PLAT_SERVICE_STOPPED);
    StderrCapture capture;
    EXPECT_EQ(VES_stop_service("svc"), ZE_FAILURE);
    EXPECT_EQ(capture.text(), "ZEL service svc is already stopped\n");

    plat_svc_script_add("svc", PLAT_SERVICE_RUNNING);
    plat_svc_script_fail("control", PLAT_ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    EXPECT_EQ(VES_stop_service("svc"), ZE_FAILURE);
    EXPECT_EQ(capture.text(), "Couldn't stop svc service(1061)\n");

    EXPECT_EQ(VES_stop_service("missing"), ZE_FAILURE);
    EXPECT_EQ(VES_stop_service(nullptr), ZE_NULL_POINTER);
}

TEST_F(Service, LogEventKeepsTheFirstSourceAndTheGivenStrings)
{
    // The first registration fails: that event is dropped, the next registers.
    plat_evt_fail_register(PLAT_ERROR_ACCESS_DENIED);
    VES_LogEvent(VE_EVENT_INFORMATION, 1, "first", "lost", nullptr, nullptr);
    VES_LogEvent(VE_EVENT_ERROR, 2, "first", nullptr, "b", "c");
    VES_LogEvent(VE_EVENT_WARNING, 3, "second", nullptr, nullptr, nullptr);
    EXPECT_EQ(Events(), "3 first: event 2 (error, category 0): b; c\n"
                        "4 first: event 3 (warning, category 0)\n");
}

// The real manager: a small program started, watched and stopped.
class RealService : public RegistryFixture
{
  protected:
    std::string dir;
    void SetUp() override
    {
        RegistryFixture::SetUp();
        char tmpl[] = "/tmp/zel_service_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        plat_evt_capture_begin();
        ves_log_event_reset();
        plat_svc_set_settle_ms(100);
        ves_service_set_start_wait(10, 10000);
    }
    void TearDown() override
    {
        plat_evt_capture_end();
        ves_log_event_reset();
        plat_svc_set_settle_ms(1000);
        ves_service_set_start_wait(250, 60000);
        std::string cmd = "rm -rf '" + dir + "'";
        (void)system(cmd.c_str());
        RegistryFixture::TearDown();
    }
    std::string Script(const char *name, const std::string &body)
    {
        std::string path = dir + "/" + name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        chmod(path.c_str(), 0700);
        return path;
    }
    static std::string Status(const char *name)
    {
        char out[VE_SERVICE_STATUS_SIZE] = "";
        return VES_QueryServiceStatus(name, out) == 0 ? out : "<failed>";
    }
    // Waits (bounded) until the service reports the state.
    static bool WaitFor(const char *name, const std::string &state)
    {
        for (int i = 0; i < 500; ++i) {
            if (Status(name) == state)
                return true;
            usleep(10000);
        }
        return false;
    }
};

TEST_F(RealService, StartsWatchesAndStopsAProgram)
{
    // It writes how many words its command line has, then its input with each
    // zero byte as a line end: the start arguments come on its input alone.
    std::string program = Script("svc.sh", "{ printf '%s\\n' \"$#\"; tr '\\000' '\\n'; } > '" +
                                               dir + "/args.tmp'\nmv '" + dir + "/args.tmp' '" +
                                               dir + "/args'\nexec sleep 30");
    ASSERT_EQ(VES_CreateService("zelsvc", "ZEL test", program.c_str(), nullptr, nullptr, nullptr),
              0);
    EXPECT_EQ(Status("zelsvc"), "SERVICE_STOPPED");
    ASSERT_EQ(VES_start_service(nullptr, "zelsvc", "/home/zel", "pw"), 0);
    EXPECT_EQ(Status("zelsvc"), "SERVICE_RUNNING");
    EXPECT_EQ(VES_start_service(nullptr, "zelsvc", nullptr, nullptr), ZE_SERVICE_RUNNING);

    std::string args;
    for (int i = 0; i < 500 && args.empty(); ++i) {
        usleep(10000);
        std::ifstream in(dir + "/args");
        std::stringstream text;
        text << in.rdbuf();
        args = text.str();
    }
    ASSERT_EQ(args.substr(0, 12), "0\n/home/zel\n");
    char plain[16];
    std::string form = args.substr(12, args.size() - 13);
    EXPECT_EQ(VES_string_net2mem(form.c_str(), plain, nullptr), 2);
    EXPECT_STREQ(plain, "pw");

    // A running program keeps its service.
    EXPECT_EQ(VES_DeleteService("zelsvc"), PLAT_ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    ASSERT_EQ(VES_stop_service("zelsvc"), 0);
    EXPECT_TRUE(WaitFor("zelsvc", "SERVICE_STOPPED"));
    StderrCapture capture;
    EXPECT_EQ(VES_stop_service("zelsvc"), ZE_FAILURE);
    EXPECT_EQ(capture.text(), "ZEL service zelsvc is already stopped\n");
    ASSERT_EQ(VES_DeleteService("zelsvc"), 0);
    EXPECT_EQ(Status("zelsvc"), "<failed>");
    EXPECT_EQ(std::string(plat_evt_captured()),
              Event("zelsvc", 100, "zelsvc") + Event("zelsvc", 105, "zelsvc") +
                  Event("zelsvc", 102, "zelsvc") + Event("zelsvc", 108, "zelsvc") +
                  Event("zelsvc", 101, "zelsvc"));
}

TEST_F(RealService, ProgramThatEndsAtOnceFailsItsStart)
{
    std::string program = Script("fail.sh", "exit 3");
    ASSERT_EQ(VES_CreateService("zelfail", nullptr, program.c_str(), nullptr, nullptr, nullptr), 0);
    StderrCapture capture;
    EXPECT_EQ(VES_start_service(nullptr, "zelfail", nullptr, nullptr), ZE_FAILURE);
    EXPECT_EQ(capture.text(), "zelfail service failed during initialization.\n"
                              "Please check event log or error log files.\n");
    EXPECT_EQ(Status("zelfail"), "SERVICE_STOPPED");
    // A missing program is the manager's refusal.
    ASSERT_EQ(
        VES_CreateService("zelnone", nullptr, (dir + "/none").c_str(), nullptr, nullptr, nullptr),
        0);
    EXPECT_EQ(VES_start_service(nullptr, "zelnone", nullptr, nullptr), PLAT_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(VES_DeleteService("zelfail"), 0);
    EXPECT_EQ(VES_DeleteService("zelnone"), 0);
}

} // namespace
