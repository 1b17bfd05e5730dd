// Fuzz target over the readers of the instance's text files through their
// file entry points, as the hosts call them: the first byte picks the file
// ("kelvard.defs", "dbinit.zel", "services.zel", or a DBTUNE file read by the
// migration's reader, which keeps no rows), the rest is written as that file
// under a home of the harness's own. dbinit sets environment variables: the
// environment is put back after every input.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/ve_etc.h"
#include "base/util/ve_instance_config.h"
#include "db/core/db_dbtune_internal.h"
#include "fuzz/fuzz_quiet.h"

extern char **environ;

namespace
{

// The harness's home with its "etc" folder, made once.
const std::string &S_home()
{
    static const std::string home = [] {
        char pattern[] = "/tmp/zel_fuzz_home_XXXXXX";
        std::string made = mkdtemp(pattern) != nullptr ? pattern : "";
        if (!made.empty())
            mkdir((made + "/etc").c_str(), 0700);
        return made;
    }();
    return home;
}

// The environment as it was at the first input.
const std::vector<std::string> &S_saved_environment()
{
    static const std::vector<std::string> saved = [] {
        std::vector<std::string> all;
        for (char **e = environ; *e != nullptr; e++)
            all.emplace_back(*e);
        return all;
    }();
    return saved;
}

void S_restore_environment()
{
    clearenv();
    for (const std::string &entry : S_saved_environment()) {
        size_t equals = entry.find('=');
        if (equals != std::string::npos)
            setenv(entry.substr(0, equals).c_str(), entry.c_str() + equals + 1, 1);
    }
}

void S_check_path(const char *field, size_t size)
{
    if (strnlen(field, size) == size)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    const std::string &home = S_home();
    if (home.empty() || size < 1)
        return 0;
    S_saved_environment();
    static const char *const files[] = {"kelvard.defs", "dbinit.zel", "services.zel",
                                        "fuzz.dbtune"};
    const int which = data[0] % 4;
    const std::string path = home + "/etc/" + files[which];
    FILE *out = fopen(path.c_str(), "wb");
    if (out == nullptr)
        return 0;
    fwrite(data + 1, 1, size - 1, out);
    fclose(out);
    setenv("ZELHOME", home.c_str(), 1);

    switch (which) {
    case 0: {
        VE_INSTANCE_CONFIG config;
        memset(&config, 0, sizeof config);
        for (int32_t quiet : {1, 0}) {
            read_configuration(&config, quiet);
            S_check_path(config.HOME, sizeof config.HOME);
            S_check_path(config.LOGS, sizeof config.LOGS);
            S_check_path(config.TEMP, sizeof config.TEMP);
            if (config.MINBUFSIZE < 4096 || config.MAXBUFSIZE < config.MINBUFSIZE)
                __builtin_trap();
        }
        break;
    }
    case 1:
        Etc_dbinit_set(home.c_str(), 1);
        S_restore_environment();
        break;
    case 2: {
        char name[ETC_SERVICE_NAME_SIZE];
        if (Etc_service_get(home.c_str(), name) == 0)
            S_check_path(name, sizeof name);
        break;
    }
    default: {
        auto layer = std::make_unique<DBTUNE_LAYER_CONFIG>();
        auto logfile = std::make_unique<DBTUNE_LOGFILE_CONFIG>();
        auto raster = std::make_unique<DBTUNE_RASTER_CONFIG>();
        for (const char *keyword : {"DEFAULTS", "DATA_DICTIONARY", "", "x"}) {
            db_read_dbtuneFile_paramsForAKeyword(keyword, files[3], layer.get(), logfile.get(),
                                                 raster.get());
            S_check_path(layer->A_TBLSP, sizeof layer->A_TBLSP);
            S_check_path(layer->B_STORAGE, sizeof layer->B_STORAGE);
        }
        break;
    }
    }
    return 0;
}
