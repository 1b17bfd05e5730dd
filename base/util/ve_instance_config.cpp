// Reader of the instance configuration file "etc/kelvard.defs" and the small
// getters of the instance's home, log and temporary paths. The file is text
// that administrators edit: one "KEY value" per line, "#" starts a comment,
// a key is recognised anywhere in its line. The record is in
// ve_instance_config.h.
#include "base/util/ve_instance_config_internal.h"

#include <errno.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <memory>
#include <string>

#include "base/util/ve_path_internal.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"

namespace
{

enum S_Kind {
    S_NONZERO,      // number kept when not 0
    S_NOT_NEGATIVE, // number kept when 0 or more
    S_ANY,          // any number kept
    S_OBSOLETE,     // MAXBUFCOUNT: MINBUFOBJECTS unless that was kept
    S_WORD_TEMP,    // temporary directory
    S_LOGS,         // log path, value not read
    S_FLAG,         // on/yes/true word
};

struct S_Key {
    const char *name;
    size_t offset; // of the field in the record
    S_Kind kind;
    bool minus; // a '-' may start the value
};

#define S_FIELD(name) offsetof(VE_INSTANCE_CONFIG, name)

// The seven capacity keys are tested independently (one line may set
// several); the rest form a chain in which the first match takes the line.
const S_Key S_KEYS[] = {
    {"LOCKS", S_FIELD(LOCKS), S_NONZERO, false},
    {"STATELOCKS", S_FIELD(STATELOCKS), S_NONZERO, false},
    {"MAXTABLELOCKS", S_FIELD(MAXTABLELOCKS), S_NONZERO, false},
    {"OBJECTLOCKS", S_FIELD(OBJECTLOCKS), S_NONZERO, false},
    {"LAYERS", S_FIELD(LAYERS), S_NONZERO, false},
    {"REGISTRATIONS", S_FIELD(REGISTRATIONS), S_NONZERO, false},
    {"RASTERCOLUMNS", S_FIELD(RASTERCOLUMNS), S_NONZERO, false},
    // chain
    {"CONNECTIONS", S_FIELD(CONNECTIONS), S_NONZERO, false},
    {"TIMEOUT", S_FIELD(TIMEOUT), S_NONZERO, false},
    {"MINBUFSIZE", S_FIELD(MINBUFSIZE), S_NONZERO, false},
    {"MAXBUFSIZE", S_FIELD(MAXBUFSIZE), S_NONZERO, false},
    {"MINBUFOBJECTS", S_FIELD(MINBUFOBJECTS), S_NONZERO, false},
    {"MAXBUFCOUNT", S_FIELD(MINBUFOBJECTS), S_OBSOLETE, false},
    {"TEMP", S_FIELD(TEMP), S_WORD_TEMP, false},
    {"LOGS", S_FIELD(LOGS), S_LOGS, false},
    {"MAXBLOBSIZE", S_FIELD(MAXBLOBSIZE), S_NONZERO, false},
    {"BLOBMEM", S_FIELD(BLOBMEM), S_NONZERO, true},
    {"AUTOCOMMIT", S_FIELD(AUTOCOMMIT), S_NOT_NEGATIVE, false},
    {"MAXINITIALFEATS", S_FIELD(MAXINITIALFEATS), S_NONZERO, true},
    {"MAXDISTINCT", S_FIELD(MAXDISTINCT), S_NOT_NEGATIVE, false},
    {"MAXSTREAMS", S_FIELD(MAXSTREAMS), S_NOT_NEGATIVE, false},
    {"STREAMPOOLSIZE", S_FIELD(STREAMPOOLSIZE), S_NOT_NEGATIVE, false},
    {"SHAPEPTSBUFSIZE", S_FIELD(SHAPEPTSBUFSIZE), S_NOT_NEGATIVE, false},
    {"ATTRBUFSIZE", S_FIELD(ATTRBUFSIZE), S_NOT_NEGATIVE, false},
    {"BLOBBUFSIZE", S_FIELD(BLOBBUFSIZE), S_NOT_NEGATIVE, false},
    {"RASTERBUFSIZE", S_FIELD(RASTERBUFSIZE), S_NOT_NEGATIVE, false},
    {"MAXARRAYSIZE", S_FIELD(MAXARRAYSIZE), S_NOT_NEGATIVE, false},
    {"MAXARRAYBYTES", S_FIELD(MAXARRAYBYTES), S_NOT_NEGATIVE, false},
    {"MAXTIMEDIFF", S_FIELD(MAXTIMEDIFF), S_ANY, true},
    {"STATECACHING", S_FIELD(STATECACHING), S_FLAG, false},
    {"TCPKEEPALIVE", S_FIELD(TCPKEEPALIVE), S_FLAG, false},
    {"READONLY", S_FIELD(READONLY), S_FLAG, false},
};
const size_t S_KEY_COUNT = sizeof(S_KEYS) / sizeof(S_KEYS[0]);
const size_t S_CAPACITY_KEYS = 7;

// Keys reported when missing, in the order of the report.
const char *const S_REPORTED[] = {
    "TEMP",         "LOCKS",          "STATELOCKS",    "MAXTABLELOCKS",   "OBJECTLOCKS",
    "LAYERS",       "REGISTRATIONS",  "RASTERCOLUMNS", "ATTRBUFSIZE",     "RASTERBUFSIZE",
    "MAXARRAYSIZE", "CONNECTIONS",    "MINBUFSIZE",    "MAXBUFSIZE",      "MINBUFOBJECTS",
    "MAXBLOBSIZE",  "BLOBMEM",        "AUTOCOMMIT",    "MAXINITIALFEATS", "MAXDISTINCT",
    "MAXSTREAMS",   "STREAMPOOLSIZE", "MAXARRAYBYTES", "STATECACHING",    "TCPKEEPALIVE",
    "READONLY",     "MAXTIMEDIFF",
};

int32_t *S_number(VE_INSTANCE_CONFIG *config, const S_Key &key)
{
    return reinterpret_cast<int32_t *>(reinterpret_cast<char *>(config) + key.offset);
}

size_t S_key_index(const char *name)
{
    for (size_t i = 0; i < S_KEY_COUNT; ++i)
        if (strcmp(S_KEYS[i].name, name) == 0)
            return i;
    return S_KEY_COUNT;
}

bool S_is_blank(char c)
{
    return static_cast<unsigned char>(c) <= ' ' || c == '\x7f';
}

// The number of a line: the first digit (or '-' for signed keys) from the
// key's length after the line's start. False when there is none or it does
// not fit 32 bits.
bool S_scan_number(const char *line, const S_Key &key, int32_t *value)
{
    const char *p = line + strlen(key.name);
    while (*p != '\0' && !(*p >= '0' && *p <= '9') && !(key.minus && *p == '-'))
        ++p;
    if (*p == '\0')
        return false;
    errno = 0;
    long number = strtol(p, nullptr, 10);
    if (errno == ERANGE || number < INT32_MIN || number > INT32_MAX)
        return false;
    *value = static_cast<int32_t>(number);
    return true;
}

// The first word after the key: start and length; length 0 when none.
size_t S_scan_word(const char *line, const S_Key &key, const char **word)
{
    const char *p = line + strlen(key.name);
    while (*p != '\0' && S_is_blank(*p))
        ++p;
    const char *end = p;
    while (*end != '\0' && !S_is_blank(*end))
        ++end;
    *word = p;
    return static_cast<size_t>(end - p);
}

struct S_State {
    bool found[sizeof(S_KEYS) / sizeof(S_KEYS[0])] = {};
};

void S_apply(VE_INSTANCE_CONFIG *config, S_State *state, size_t index, const char *line)
{
    const S_Key &key = S_KEYS[index];
    int32_t value = 0;
    switch (key.kind) {
    case S_NONZERO:
    case S_NOT_NEGATIVE:
    case S_ANY:
        if (!S_scan_number(line, key, &value))
            return;
        if ((key.kind == S_NONZERO && value == 0) || (key.kind == S_NOT_NEGATIVE && value < 0))
            return;
        *S_number(config, key) = value;
        state->found[index] = true;
        return;
    case S_OBSOLETE:
        if (state->found[S_key_index("MINBUFOBJECTS")] || !S_scan_number(line, key, &value) ||
            value == 0)
            return;
        *S_number(config, key) = value;
        state->found[index] = true;
        return;
    case S_WORD_TEMP: {
        const char *word = nullptr;
        size_t length = S_scan_word(line, key, &word);
        // A directory that does not fit is refused whole: a cut one would
        // name another folder.
        if (length >= sizeof(config->TEMP))
            return;
        memcpy(config->TEMP, word, length);
        config->TEMP[length] = '\0';
        if (length > 0)
            state->found[index] = true;
        return;
    }
    case S_LOGS:
        strcpy(config->LOGS, VE_CONFIG_UNUSED_LOG);
        state->found[index] = true;
        return;
    case S_FLAG: {
        const char *word = nullptr;
        size_t length = S_scan_word(line, key, &word);
        if (length == 0)
            return;
        std::string text(word, length);
        *S_number(config, key) = strcasecmp(text.c_str(), "on") == 0 ||
                                         strcasecmp(text.c_str(), "yes") == 0 ||
                                         strcasecmp(text.c_str(), "true") == 0
                                     ? 1
                                     : 0;
        state->found[index] = true;
        return;
    }
    }
}

void S_read_line(VE_INSTANCE_CONFIG *config, S_State *state, char *line)
{
    char *comment = strchr(line, '#');
    if (comment != nullptr)
        *comment = '\0';
    while (*line == ' ')
        ++line;
    for (size_t i = 0; i < S_CAPACITY_KEYS; ++i)
        if (strstr(line, S_KEYS[i].name) != nullptr)
            S_apply(config, state, i, line);
    for (size_t i = S_CAPACITY_KEYS; i < S_KEY_COUNT; ++i)
        if (strstr(line, S_KEYS[i].name) != nullptr) {
            S_apply(config, state, i, line);
            break;
        }
}

void S_report_missing(const VE_INSTANCE_CONFIG *config, const S_State &state)
{
    for (const char *name : S_REPORTED) {
        size_t index = S_key_index(name);
        if (state.found[index])
            continue;
        const S_Key &key = S_KEYS[index];
        fprintf(stderr, "WARNING: Parameter \"%s\" not found in defaults file!\n", name);
        if (key.kind == S_WORD_TEMP)
            fprintf(stderr, "WARNING: Setting %s to \"%s\"\n", name, config->TEMP);
        else if (key.kind == S_FLAG)
            fprintf(stderr, "WARNING: Setting %s to \"%s\"\n", name,
                    key.offset == S_FIELD(STATECACHING) ? "TRUE" : "FALSE");
        else if (key.offset == S_FIELD(MINBUFOBJECTS) && state.found[S_key_index("MAXBUFCOUNT")])
            fprintf(stderr, "WARNING: taking value %d from obsolete parameter \"%s\"\n",
                    config->MINBUFOBJECTS, "MAXBUFCOUNT");
        else
            fprintf(stderr, "WARNING: Setting %s to \"%d\"\n", name,
                    *S_number(const_cast<VE_INSTANCE_CONFIG *>(config), key));
    }
}

void S_set_defaults(VE_INSTANCE_CONFIG *config)
{
    config->CONNECTIONS = 64;
    config->LOCKS = 10000;
    config->STATELOCKS = 10000;
    config->MAXTABLELOCKS = 10000;
    config->OBJECTLOCKS = 10000;
    config->LAYERS = 500;
    config->REGISTRATIONS = 1000;
    config->RASTERCOLUMNS = 500;
    config->TIMEOUT = 10;
    config->MINBUFSIZE = 16384;
    config->MAXBUFSIZE = 32768;
    config->MINBUFOBJECTS = 200;
    config->MAXBLOBSIZE = 1000000;
    config->BLOBMEM = 1000000;
    config->AUTOCOMMIT = 1000;
    config->MAXINITIALFEATS = 10000;
    config->MAXDISTINCT = 512;
    config->MAXSTREAMS = 25;
    config->STREAMPOOLSIZE = 3;
    config->SHAPEPTSBUFSIZE = 400000;
    config->ATTRBUFSIZE = 50000;
    config->BLOBBUFSIZE = 30000;
    config->RASTERBUFSIZE = 102400;
    config->MAXARRAYSIZE = 100;
    config->MAXARRAYBYTES = 550000;
    config->MAXTIMEDIFF = -1;
    config->STATECACHING = 1;
    config->TCPKEEPALIVE = 0;
    config->READONLY = 0;
}

// Copies the environment variable into the path field; false when it is
// unset or does not fit (a cut path would name another folder).
bool S_copy_env(const char *variable, char *field, size_t size)
{
    const char *value = getenv(variable);
    if (value == nullptr || strlen(value) >= size)
        return false;
    strcpy(field, value);
    return true;
}

} // namespace

int32_t ves_read_text_line(FILE *stream, char *line, size_t size)
{
    if (stream == nullptr || line == nullptr || size < 2)
        return 0;
    if (fgets(line, static_cast<int>(size), stream) == nullptr)
        return 0;
    size_t length = strlen(line);
    if (length > 0 && line[length - 1] == '\n') {
        line[--length] = '\0';
    } else if (length == size - 1) {
        // Drop the rest of an overlong line rather than read it as a line.
        int c;
        while ((c = fgetc(stream)) != EOF && c != '\n') {
        }
    }
    if (length > 0 && line[length - 1] == '\r')
        line[length - 1] = '\0';
    return 1;
}

int32_t ves_config_read_stream(VE_INSTANCE_CONFIG *config, FILE *stream, int32_t quiet)
{
    if (config == nullptr || stream == nullptr)
        return ZE_FAILURE;
    S_State state;
    char line[VE_CONFIG_LINE_SIZE];
    while (ves_read_text_line(stream, line, sizeof(line)))
        S_read_line(config, &state, line);

    if (!quiet) {
        if (!state.found[S_key_index("LOGS")])
            strcpy(config->LOGS, VE_CONFIG_UNUSED_LOG);
        S_report_missing(config, state);
        if (config->LAYERS > config->REGISTRATIONS) {
            fprintf(stderr, "WARNING: LAYERS (%d) is larger than REGISTRATIONS (%d)!\n",
                    config->LAYERS, config->REGISTRATIONS);
            fprintf(stderr, "WARNING: Every layer requires a registration number!\n");
        }
    }

    if (config->MINBUFSIZE < 4096)
        config->MINBUFSIZE = 4096;
    if (config->MAXBUFSIZE < 4096)
        config->MAXBUFSIZE = 12288;
    if (config->MAXBUFSIZE < config->MINBUFSIZE) {
        int32_t smaller = config->MAXBUFSIZE;
        config->MAXBUFSIZE = config->MINBUFSIZE;
        config->MINBUFSIZE = smaller;
    }

    if (!quiet) {
        // Summed in 64 bits: two large sizes must not wrap below the limit.
        int64_t sum = static_cast<int64_t>(config->SHAPEPTSBUFSIZE) + config->ATTRBUFSIZE;
        if (sum > config->MAXARRAYBYTES) {
            fprintf(stderr, "\nERROR: Invalid array buffer sizes.\n");
            fprintf(stderr, "\t Array buffer sizes (%lld) exceed MAXARRAYBYTES(%d).\n",
                    static_cast<long long>(sum), config->MAXARRAYBYTES);
            return ZE_FAILURE;
        }
    }
    return ZE_SUCCESS;
}

int32_t read_configuration(VE_INSTANCE_CONFIG *config, int32_t quiet)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (config == nullptr)
            return ZE_FAILURE;
        S_set_defaults(config);
        if (!S_copy_env("ZELTMP", config->TEMP, sizeof(config->TEMP)) &&
            !S_copy_env("TEMP", config->TEMP, sizeof(config->TEMP)) &&
            !S_copy_env("TMP", config->TEMP, sizeof(config->TEMP)))
            strcpy(config->TEMP, VE_CONFIG_DEFAULT_TEMP);

        if (strnlen(config->HOME, sizeof(config->HOME)) == sizeof(config->HOME))
            config->HOME[0] = '\0'; // an unterminated home is no home
        if (config->HOME[0] == '\0' && get_home_path(config) != ZE_SUCCESS)
            return ZE_FAILURE;

        std::string name = ves_path_join(ves_path_join(config->HOME, "etc"), "kelvard.defs");
        std::unique_ptr<FILE, int (*)(FILE *)> file(fopen(name.c_str(), "re"), fclose);
        if (!file) {
            perror("OPEN");
            fprintf(stderr, "Warning: Couldn't open %s file.\n", name.c_str());
            fprintf(stderr, "Using default values.\n");
            return ZE_SUCCESS;
        }
        return ves_config_read_stream(config, file.get(), quiet);
    });
}

int32_t get_home_path(VE_INSTANCE_CONFIG *config)
{
    if (config == nullptr)
        return ZE_FAILURE;
    if (S_copy_env("ZELHOME", config->HOME, sizeof(config->HOME)))
        return ZE_SUCCESS;
    config->HOME[0] = '\0';
    return ZE_FAILURE;
}

int32_t get_log_path(VE_INSTANCE_CONFIG *config)
{
    if (config == nullptr)
        return ZE_FAILURE;
    strcpy(config->LOGS, VE_CONFIG_UNUSED_LOG);
    return ZE_SUCCESS;
}

int32_t get_tmp_path(VE_INSTANCE_CONFIG *config)
{
    if (config == nullptr)
        return ZE_FAILURE;
    if (S_copy_env("ZELTMP", config->TEMP, sizeof(config->TEMP)))
        return ZE_SUCCESS;
    fprintf(stderr, "WARNING: %s: Setting temp directory to  %s\n", "ZELTMP",
            VE_CONFIG_DEFAULT_TEMP);
    strcpy(config->TEMP, VE_CONFIG_DEFAULT_TEMP);
    return ZE_SUCCESS;
}
