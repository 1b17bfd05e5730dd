// The instance configuration: the line rules of "etc/kelvard.defs", temporary
// and log folders, the report, the getters and the record's wire offsets.
#include "base/util/ve_instance_config_internal.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <string.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/util/zel_errors.h"
#include "tests/support/quiet_stderr.h"

namespace
{

struct Read {
    VE_INSTANCE_CONFIG config{};
    int32_t result = 0;
    std::string errors;
};

// Reads the text as a definitions file into a fresh record with its defaults.
Read read_text(const std::string &text, int32_t quiet = 1)
{
    Read read;
    std::string copy = text;
    FILE *stream = fmemopen(copy.data(), copy.size(), "r");
    EXPECT_NE(stream, nullptr);
    strcpy(read.config.LOGS, "caller");
    StderrCapture capture;
    // The defaults come from the full reader on a home without the file.
    setenv("ZELHOME", "/nonexistent-home", 1);
    read_configuration(&read.config, 1);
    read.result = ves_config_read_stream(&read.config, stream, quiet);
    read.errors = capture.text();
    fclose(stream);
    return read;
}

struct HomeDir {
    std::filesystem::path root;
    HomeDir(const char *tag, const std::string &defs)
    {
        root = std::filesystem::temp_directory_path() /
               ("cfg_home_" + std::string(tag) + std::to_string(getpid()));
        std::filesystem::create_directories(root / "etc");
        if (!defs.empty())
            std::ofstream(root / "etc" / "kelvard.defs") << defs;
    }
    ~HomeDir()
    {
        std::filesystem::remove_all(root);
    }
};

} // namespace

TEST(InstanceConfig, LineRules)
{
    struct Case {
        std::string text;
        size_t offset;
        int32_t expected;
    };
#define F(name) offsetof(VE_INSTANCE_CONFIG, name)
    const Case cases[] = {
        {"LAYERS 400 # was 300\n", F(LAYERS), 400},
        {"LAYERS # 400\n", F(LAYERS), 500},
        {"LAYERS 0\n", F(LAYERS), 500},
        {"AUTOCOMMIT 0\n", F(AUTOCOMMIT), 0},
        {"AUTOCOMMIT -3\n", F(AUTOCOMMIT), 3},
        {"MAXTIMEDIFF -5\n", F(MAXTIMEDIFF), -5},
        {"MAXTIMEDIFF 0\n", F(MAXTIMEDIFF), 0},
        {"MAXSTREAMS -5\n", F(MAXSTREAMS), 5},
        {"BLOBMEM -7\n", F(BLOBMEM), -7},
        {"READONLY Yes\n", F(READONLY), 1},
        {"READONLY 1\n", F(READONLY), 0},
        {"TCPKEEPALIVE\tON\n", F(TCPKEEPALIVE), 1},
        {"STATECACHING false\n", F(STATECACHING), 0},
        {"STATECACHING\n", F(STATECACHING), 1},
        {"   CONNECTIONS 12\n", F(CONNECTIONS), 12},
        {"MAXTABLELOCKS 77\n", F(LOCKS), 77},
        {"MAXTABLELOCKS 77\n", F(MAXTABLELOCKS), 77},
        {"CONNECTIONS 99999999999\n", F(CONNECTIONS), 64},
        {"MINBUFOBJECTS 300\nMAXBUFCOUNT 400\nTIMEOUT 7\n", F(MINBUFOBJECTS), 300},
        {"MINBUFOBJECTS 300\nMAXBUFCOUNT 400\nTIMEOUT 7\n", F(TIMEOUT), 7},
        {"MAXBUFCOUNT 400\n", F(MINBUFOBJECTS), 400},
        {"MINBUFSIZE 50000\nMAXBUFSIZE 20000\n", F(MINBUFSIZE), 20000},
        {"MINBUFSIZE 50000\nMAXBUFSIZE 20000\n", F(MAXBUFSIZE), 50000},
        {"MAXBUFSIZE 100\n", F(MINBUFSIZE), 12288},
        {"MAXBUFSIZE 100\n", F(MAXBUFSIZE), 16384},
        {"MINBUFSIZE 10\n", F(MINBUFSIZE), 4096},
        // The rest of an overlong line is dropped, not read as a line.
        {std::string(1020, ' ') + "x LAYERS 7\n", F(LAYERS), 500},
    };
#undef F
    for (const Case &c : cases) {
        std::string text = c.text;
        Read read = read_text(text);
        int32_t value;
        memcpy(&value, reinterpret_cast<const char *>(&read.config) + c.offset, sizeof(value));
        EXPECT_EQ(value, c.expected) << text.substr(0, 60);
        EXPECT_EQ(read.result, ZE_SUCCESS) << text.substr(0, 60);
    }
}

TEST(InstanceConfig, TempAndLogs)
{
    Read read = read_text("TEMP  /var/tmp/zel extra\nLOGS whatever\n");
    EXPECT_STREQ(read.config.TEMP, "/var/tmp/zel");
    EXPECT_STREQ(read.config.LOGS, "UNUSED");

    read = read_text("TEMP\n");
    EXPECT_STREQ(read.config.TEMP, "");

    // A directory that does not fit is refused whole.
    setenv("ZELTMP", "/tmp/z", 1);
    read = read_text("TEMP /" + std::string(600, 'a') + "\n");
    EXPECT_STREQ(read.config.TEMP, "/tmp/z");
    unsetenv("ZELTMP");

    // Quiet: the caller's log path stays.
    read = read_text("LAYERS 3\n");
    EXPECT_STREQ(read.config.LOGS, "caller");
}

TEST(InstanceConfig, Report)
{
    Read read = read_text("LAYERS 2000\nMAXBUFCOUNT 250\n", 0);
    EXPECT_EQ(read.result, ZE_SUCCESS);
    EXPECT_STREQ(read.config.LOGS, "UNUSED");
    const char *expected_lines[] = {
        "WARNING: Parameter \"LOCKS\" not found in defaults file!\n"
        "WARNING: Setting LOCKS to \"10000\"\n",
        "WARNING: Parameter \"MINBUFOBJECTS\" not found in defaults file!\n"
        "WARNING: taking value 250 from obsolete parameter \"MAXBUFCOUNT\"\n",
        "WARNING: Setting STATECACHING to \"TRUE\"\n",
        "WARNING: Setting READONLY to \"FALSE\"\n",
        "WARNING: LAYERS (2000) is larger than REGISTRATIONS (1000)!\n"
        "WARNING: Every layer requires a registration number!\n",
    };
    for (const char *line : expected_lines)
        EXPECT_NE(read.errors.find(line), std::string::npos) << line;
    for (const char *never : {"\"LAYERS\"", "TIMEOUT", "SHAPEPTSBUFSIZE", "BLOBBUFSIZE", "\"LOGS\"",
                              "Parameter \"MAXBUFCOUNT\""})
        EXPECT_EQ(read.errors.find(never), std::string::npos) << never;
    EXPECT_LT(read.errors.find("\"TEMP\""), read.errors.find("\"LOCKS\""));

    // A refused value leaves the key unfound.
    read = read_text("LAYERS 0\nLOCKS 5\n", 0);
    EXPECT_NE(read.errors.find("WARNING: Parameter \"LAYERS\" not found in defaults file!\n"
                               "WARNING: Setting LAYERS to \"500\"\n"),
              std::string::npos);
    EXPECT_EQ(read.errors.find("\"LOCKS\""), std::string::npos);
    EXPECT_LT(read.errors.find("\"READONLY\""), read.errors.find("\"MAXTIMEDIFF\""));
}

TEST(InstanceConfig, ArraySizeCheck)
{
    const std::string text = "SHAPEPTSBUFSIZE 2000000000\nATTRBUFSIZE 2000000000\n";
    Read read = read_text(text, 0);
    EXPECT_EQ(read.result, ZE_FAILURE);
    EXPECT_EQ(read.config.ATTRBUFSIZE, 2000000000);
    EXPECT_NE(
        read.errors.find("\nERROR: Invalid array buffer sizes.\n"
                         "\t Array buffer sizes (4000000000) exceed MAXARRAYBYTES(550000).\n"),
        std::string::npos);
    EXPECT_EQ(read_text(text, 1).result, ZE_SUCCESS);
}

TEST(InstanceConfig, ReadsFileUnderHome)
{
    HomeDir home("with", "LAYERS 42\nSHAPEPTSBUFSIZE 1\n");
    VE_INSTANCE_CONFIG config{};
    strcpy(config.HOME, home.root.c_str());
    setenv("TEMP", "/tmp/t", 1);
    unsetenv("ZELTMP");
    EXPECT_EQ(read_configuration(&config, 1), ZE_SUCCESS);
    unsetenv("TEMP");
    EXPECT_EQ(config.LAYERS, 42);
    EXPECT_STREQ(config.TEMP, "/tmp/t");

    // No file: defaults and success, with the warning.
    HomeDir empty("without", "");
    VE_INSTANCE_CONFIG fresh{};
    setenv("ZELHOME", empty.root.c_str(), 1);
    StderrCapture capture;
    EXPECT_EQ(read_configuration(&fresh, 0), ZE_SUCCESS);
    std::string errors = capture.text();
    EXPECT_NE(errors.find("Warning: Couldn't open " + empty.root.string() +
                          "/etc/kelvard.defs file.\nUsing default values.\n"),
              std::string::npos);
    EXPECT_EQ(fresh.LAYERS, 500);

    unsetenv("ZELHOME");
    VE_INSTANCE_CONFIG homeless{};
    EXPECT_EQ(read_configuration(&homeless, 1), ZE_FAILURE);
    EXPECT_STREQ(homeless.HOME, "");
}

// Without a definitions file every field takes its default, the fields the
// reader does not own keep what the caller had in them, and the home given by
// the caller is kept.
TEST(InstanceConfig, DefaultsWithoutADefinitionsFile)
{
    HomeDir empty("defaults", "");
    VE_INSTANCE_CONFIG config;
    memset(&config, 0x5A, sizeof config);
    strcpy(config.HOME, empty.root.c_str());
    strcpy(config.LOGS, "caller");
    unsetenv("ZELTMP");
    unsetenv("TEMP");
    setenv("TMP", "/tmp/from-tmp", 1);
    ASSERT_EQ(quiet_stderr([&] { return read_configuration(&config, 1); }), ZE_SUCCESS);
    unsetenv("TMP");
    const struct {
        const char *name;
        int32_t value;
        int32_t expected;
    } fields[] = {
        {"CONNECTIONS", config.CONNECTIONS, 64},
        {"LOCKS", config.LOCKS, 10000},
        {"STATELOCKS", config.STATELOCKS, 10000},
        {"MAXTABLELOCKS", config.MAXTABLELOCKS, 10000},
        {"OBJECTLOCKS", config.OBJECTLOCKS, 10000},
        {"LAYERS", config.LAYERS, 500},
        {"REGISTRATIONS", config.REGISTRATIONS, 1000},
        {"RASTERCOLUMNS", config.RASTERCOLUMNS, 500},
        {"TIMEOUT", config.TIMEOUT, 10},
        {"MINBUFSIZE", config.MINBUFSIZE, 16384},
        {"MAXBUFSIZE", config.MAXBUFSIZE, 32768},
        {"MINBUFOBJECTS", config.MINBUFOBJECTS, 200},
        {"MAXBLOBSIZE", config.MAXBLOBSIZE, 1000000},
        {"BLOBMEM", config.BLOBMEM, 1000000},
        {"AUTOCOMMIT", config.AUTOCOMMIT, 1000},
        {"MAXINITIALFEATS", config.MAXINITIALFEATS, 10000},
        {"MAXDISTINCT", config.MAXDISTINCT, 512},
        {"MAXSTREAMS", config.MAXSTREAMS, 25},
        {"STREAMPOOLSIZE", config.STREAMPOOLSIZE, 3},
        {"SHAPEPTSBUFSIZE", config.SHAPEPTSBUFSIZE, 400000},
        {"ATTRBUFSIZE", config.ATTRBUFSIZE, 50000},
        {"BLOBBUFSIZE", config.BLOBBUFSIZE, 30000},
        {"RASTERBUFSIZE", config.RASTERBUFSIZE, 102400},
        {"MAXARRAYSIZE", config.MAXARRAYSIZE, 100},
        {"MAXARRAYBYTES", config.MAXARRAYBYTES, 550000},
        {"MAXTIMEDIFF", config.MAXTIMEDIFF, -1},
        {"STATECACHING", config.STATECACHING, 1},
        {"TCPKEEPALIVE", config.TCPKEEPALIVE, 0},
        {"READONLY", config.READONLY, 0},
        {"reserved27", config.reserved27, 0x5A5A5A5A},
        {"reserved31", config.reserved31, 0x5A5A5A5A},
        {"reserved32", config.reserved32, 0x5A5A5A5A},
        {"reserved35", config.reserved35, 0x5A5A5A5A},
        {"reserved36", config.reserved36, 0x5A5A5A5A},
    };
    for (const auto &f : fields)
        EXPECT_EQ(f.value, f.expected) << f.name;
    EXPECT_STREQ(config.HOME, empty.root.c_str());
    EXPECT_STREQ(config.TEMP, "/tmp/from-tmp");
}

TEST(InstanceConfig, Getters)
{
    VE_INSTANCE_CONFIG config{};
    setenv("ZELHOME", "/opt/zel", 1);
    EXPECT_EQ(get_home_path(&config), ZE_SUCCESS);
    EXPECT_STREQ(config.HOME, "/opt/zel");
    setenv("ZELHOME", std::string(600, 'h').c_str(), 1);
    EXPECT_EQ(get_home_path(&config), ZE_FAILURE);
    EXPECT_STREQ(config.HOME, "");
    unsetenv("ZELHOME");
    EXPECT_EQ(get_home_path(&config), ZE_FAILURE);

    EXPECT_EQ(get_log_path(&config), ZE_SUCCESS);
    EXPECT_STREQ(config.LOGS, "UNUSED");

    unsetenv("ZELTMP");
    setenv("TEMP", "/ignored", 1);
    StderrCapture capture;
    EXPECT_EQ(get_tmp_path(&config), ZE_SUCCESS);
    EXPECT_EQ(capture.text(), "WARNING: ZELTMP: Setting temp directory to  /tmp\n");
    EXPECT_STREQ(config.TEMP, "/tmp");
    unsetenv("TEMP");
    setenv("ZELTMP", "/tmp/zt", 1);
    EXPECT_EQ(get_tmp_path(&config), ZE_SUCCESS);
    EXPECT_STREQ(config.TEMP, "/tmp/zt");
    unsetenv("ZELTMP");
}

TEST(InstanceConfig, WireOffsets)
{
    // Offsets the wire codec of the record relies on.
    EXPECT_EQ(offsetof(VE_INSTANCE_CONFIG, HOME), 108u);
    EXPECT_EQ(offsetof(VE_INSTANCE_CONFIG, reserved31), 1644u);
    EXPECT_EQ(offsetof(VE_INSTANCE_CONFIG, STATECACHING), 1652u);
    EXPECT_EQ(offsetof(VE_INSTANCE_CONFIG, reserved36), 1664u);
}
