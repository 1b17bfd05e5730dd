// Fuzz target over the reader of stored registry values: the input is laid down
// as a value file of an instance key and read back both raw and as text through
// the 265-byte read buffer of the instance settings.
#include "base/util/ve_registry.h"
#include "platform/plat_registry_internal.h"

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fuzz/fuzz_quiet.h"
#include <string>

static std::string S_folder;

static void S_remove_folder()
{
    std::string cmd = "rm -rf '" + S_folder + "'";
    (void)system(cmd.c_str());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    std::string &folder = S_folder;
    if (folder.empty()) {
        char tmpl[] = "/tmp/registry_value_fuzz_XXXXXX";
        if (mkdtemp(tmpl) == nullptr)
            return 0;
        folder = tmpl;
        atexit(S_remove_folder);
        setenv("ZELREGISTRY", folder.c_str(), 1);
        if (VES_RegisterKey("fuzz", "V", "") != 0)
            __builtin_trap();
    }
    const char key[] = "Software\\TAVO\\OrvekInfo\\OrvekZEL\\8.0\\OrvekZEL for Informix\\fuzz";
    std::string file =
        folder + "/Software/TAVO/OrvekInfo/OrvekZEL/8.0/OrvekZEL for Informix/fuzz/@V";
    FILE *f = fopen(file.c_str(), "wb");
    if (f == nullptr)
        return 0;
    fwrite(data, 1, size, f);
    fclose(f);

    char raw[300];
    size_t raw_size = sizeof raw;
    uint32_t type = 0;
    int rc = plat_reg_query_value(key, "V", &type, raw, &raw_size);
    if (rc == 0 && raw_size > sizeof raw)
        __builtin_trap();
    char text[VE_REG_VALUE_SIZE];
    if (VES_GetKeyValue("fuzz", "V", text) == 0 && strlen(text) > VE_REG_VALUE_MAX)
        __builtin_trap();
    return 0;
}
