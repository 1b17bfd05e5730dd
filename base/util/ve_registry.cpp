// Registry keys of the engine's instances and their event-log source, kept in
// the platform registry store (platform/plat_registry_internal.h).
#include "base/util/ve_registry_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>

#include "base/util/zel_errors.h"
#include "platform/plat_registry_internal.h"

static const char S_ROOT_PATH[] = "Software\\TAVO\\OrvekInfo\\OrvekZEL\\8.0\\";
static const char S_DBMS_WORD[] = "Informix";
static const char S_EVENTLOG_APP[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";
static const char S_PASSWORD_VALUE[] = "ZEL_DBA_PASSWORD";

// Builds the product key path, with "\instance" when an instance is given.
// False when the path would exceed the longest key path.
static bool S_key_path(const char *instance, std::string &path)
{
    path = std::string(S_ROOT_PATH) + "OrvekZEL for " + S_DBMS_WORD;
    if (instance != nullptr)
        path += std::string("\\") + instance;
    return path.size() <= VE_REG_PATH_MAX;
}

static bool S_source_path(const char *source, std::string &path)
{
    path = std::string(S_EVENTLOG_APP) + "\\" + source;
    return path.size() <= VE_REG_PATH_MAX;
}

// Opening for full access creates a missing key, as the registry does.
static int S_open_create(const std::string &path, bool fits)
{
    return fits ? plat_reg_create_key(path.c_str()) : PLAT_ERROR_INVALID_PARAMETER;
}

// Reads a value of an existing key as text into out (VE_REG_VALUE_SIZE bytes).
static int32_t S_get_key_value_by_path(const std::string &path, bool fits, const char *name,
                                       char *out)
{
    if (!fits || plat_reg_open_key(path.c_str()) != 0) {
        fprintf(stderr, "Error opening %s key (%d)\n", path.c_str(),
                fits ? plat_reg_last_error() : PLAT_ERROR_INVALID_PARAMETER);
        return ZE_FAILURE;
    }
    char buf[VE_REG_VALUE_SIZE];
    size_t size = sizeof buf;
    int rc = plat_reg_query_value(path.c_str(), name, nullptr, buf, &size);
    if (rc == PLAT_ERROR_MORE_DATA) {
        size = sizeof buf;
        rc = plat_reg_query_value(path.c_str(), name, nullptr, buf, &size);
    }
    if (rc != 0)
        return ZE_FAILURE;
    // A stored value need not end in a zero: stop at the buffer's last byte.
    size_t len = strnlen(buf, size < sizeof buf ? size : sizeof buf - 1);
    memcpy(out, buf, len);
    out[len] = '\0';
    return 0;
}

int32_t VES_RegisterKey(const char *instance, const char *name, const char *text)
{
    if (name == nullptr || text == nullptr)
        return ZE_NULL_POINTER;
    std::string path;
    bool fits = S_key_path(instance, path);
    int rc = S_open_create(path, fits);
    if (rc != 0) {
        fprintf(stderr, "Error opening/creating %s key (%d)\n", path.c_str(), rc);
        return ZE_FAILURE;
    }
    uint32_t type = strcmp(name, S_PASSWORD_VALUE) == 0 ? PLAT_REG_BINARY : PLAT_REG_SZ;
    rc = plat_reg_set_value(path.c_str(), name, type, text, strlen(text) + 1);
    if (rc != 0) {
        fprintf(stderr, "Error setting %s key (%d)\n", name, rc);
        return ZE_FAILURE;
    }
    return 0;
}

int32_t VES_UnRegisterKey(const char *instance, const char *name)
{
    if (name == nullptr)
        return ZE_NULL_POINTER;
    std::string path;
    bool fits = S_key_path(instance, path);
    int rc = S_open_create(path, fits);
    if (rc != 0) {
        fprintf(stderr, "Error opening/deleting %s key (%d)\n", path.c_str(), rc);
        return ZE_FAILURE;
    }
    rc = plat_reg_delete_value(path.c_str(), name);
    if (rc != 0) {
        fprintf(stderr, "Error Deleting  %s key (%d)\n", name, rc);
        return ZE_FAILURE;
    }
    return 0;
}

int32_t VES_GetKeyValue(const char *instance, const char *name, char *out)
{
    if (name == nullptr || out == nullptr)
        return ZE_NULL_POINTER;
    std::string path;
    bool fits = S_key_path(instance, path);
    return S_get_key_value_by_path(path, fits, name, out);
}

// Deletes parent\sub with every key below it, first child first, itself last.
static int32_t S_delete_key_tree(const std::string &parent, const char *sub)
{
    if (sub == nullptr || sub[0] == '\0') {
        fprintf(stderr, "Invalid Key name\n");
        return ZE_FAILURE;
    }
    std::string path = parent + "\\" + sub;
    if (path.size() > VE_REG_PATH_MAX || plat_reg_open_key(path.c_str()) != 0) {
        fprintf(stderr, "Error opening %s key\n", sub);
        return ZE_FAILURE;
    }
    for (;;) {
        char child[256];
        int rc = plat_reg_enum_key(path.c_str(), 0, child, sizeof child);
        if (rc == PLAT_ERROR_NO_MORE_ITEMS)
            return plat_reg_delete_key(path.c_str()) == 0 ? 0 : ZE_FAILURE;
        if (rc != 0)
            return ZE_FAILURE;
        int32_t st = S_delete_key_tree(path, child);
        if (st != 0)
            return st;
    }
}

int32_t VES_DeleteInstanceKey(const char *instance)
{
    std::string product;
    S_key_path(nullptr, product);
    if (plat_reg_create_key(product.c_str()) != 0) {
        fprintf(stderr, "Error opening instance key\n");
        return ZE_FAILURE;
    }
    return S_delete_key_tree(product, instance);
}

int32_t VES_RegisterService(const char *instance, const char *description, const char *home,
                            const char *password, const char *sid)
{
    struct {
        const char *name;
        const char *label;
        const char *text;
    } values[] = {{"DESCRIPTION", "description", description},
                  {"ZELHOME", "ZELHOME", home},
                  {S_PASSWORD_VALUE, S_PASSWORD_VALUE, password},
                  {"ORACLE_SID", "ORACLE_SID", sid}};
    for (const auto &v : values) {
        if (v.text == nullptr && strcmp(v.name, "ORACLE_SID") == 0)
            break;
        int32_t rc = VES_RegisterKey(instance, v.name, v.text);
        if (rc != 0) {
            fprintf(stderr, "Error registering service '%s'\n", v.label);
            return rc;
        }
    }
    return 0;
}

// Reads a value into a field of size room; a value that does not fit is refused.
static int32_t S_read_field(const char *instance, const char *name, char *field, size_t room)
{
    char buf[VE_REG_VALUE_SIZE];
    if (VES_GetKeyValue(instance, name, buf) != 0)
        return ZE_FAILURE;
    size_t len = strlen(buf);
    if (len >= room)
        return ZE_FAILURE;
    memcpy(field, buf, len + 1);
    return 0;
}

static int32_t S_fill_entry(VE_SERVICE_ENTRY *entry, const char *instance)
{
    size_t len = strlen(instance);
    if (len >= sizeof entry->name)
        return ZE_FAILURE;
    memcpy(entry->name, instance, len + 1);
    if (S_read_field(instance, "ZELHOME", entry->home, sizeof entry->home) != 0 ||
        S_read_field(instance, "DESCRIPTION", entry->description, sizeof entry->description) != 0)
        return ZE_FAILURE;
    entry->nls_lang[0] = '\0';
    if (S_read_field(instance, "NLS_LANG", entry->nls_lang, sizeof entry->nls_lang) != 0)
        entry->nls_lang[0] = '\0';
    return 0;
}

int32_t VES_ListService(const char *instance, int32_t *count, VE_SERVICE_ENTRY **entries)
{
    if (instance == nullptr || count == nullptr)
        return ZE_NULL_POINTER;
    std::string product;
    S_key_path(nullptr, product);
    if (plat_reg_create_key(product.c_str()) != 0)
        return ZE_FAILURE;
    if (instance[0] != '\0') {
        *count = 1;
        if (entries == nullptr)
            return 0;
        entries[0] = static_cast<VE_SERVICE_ENTRY *>(calloc(1, sizeof(VE_SERVICE_ENTRY)));
        if (entries[0] == nullptr)
            return ZE_FAILURE;
        return S_fill_entry(entries[0], instance);
    }
    uint32_t n = 0;
    if (plat_reg_count_subkeys(product.c_str(), &n) != 0 || n > INT32_MAX)
        return ZE_FAILURE;
    *count = (int32_t)n;
    if (entries == nullptr)
        return 0;
    for (uint32_t i = 0; i < n; ++i) {
        entries[i] = static_cast<VE_SERVICE_ENTRY *>(calloc(1, sizeof(VE_SERVICE_ENTRY)));
        if (entries[i] == nullptr)
            return ZE_FAILURE;
    }
    for (uint32_t i = 0; i < n; ++i) {
        char name[256];
        int rc = plat_reg_enum_key(product.c_str(), i, name, sizeof name);
        if (rc == PLAT_ERROR_NO_MORE_ITEMS)
            break;
        if (rc != 0 || S_fill_entry(entries[i], name) != 0)
            return ZE_FAILURE;
    }
    return 0;
}

// Copies a value of the key at path into a field; a value that cannot be read
// or does not fit leaves the field empty.
static void S_read_field_by_path(const std::string &path, const char *name, char *field,
                                 size_t room)
{
    char buf[VE_REG_VALUE_SIZE];
    field[0] = '\0';
    if (S_get_key_value_by_path(path, path.size() <= VE_REG_PATH_MAX, name, buf) != 0)
        return;
    size_t len = strlen(buf);
    if (len < room)
        memcpy(field, buf, len + 1);
}

// Every instance of every product key under the root path, whatever its DBMS
// word, appended product key after product key. The caller's array must hold
// one pointer per instance key; with a null array only the count is given.
static int32_t S_list_all_services(int32_t *count, VE_SERVICE_ENTRY **entries)
{
    std::string root(S_ROOT_PATH, sizeof S_ROOT_PATH - 2); /* without the last backslash */
    if (plat_reg_open_key(root.c_str()) != 0)
        return ZE_FAILURE;
    *count = 0;
    for (uint32_t p = 0;; ++p) {
        char product[256];
        int rc = plat_reg_enum_key(root.c_str(), p, product, sizeof product);
        if (rc == PLAT_ERROR_NO_MORE_ITEMS)
            return 0;
        if (rc != 0)
            return ZE_FAILURE;
        std::string product_path = std::string(S_ROOT_PATH) + product;
        uint32_t n = 0;
        if (plat_reg_open_key(product_path.c_str()) != 0 ||
            plat_reg_count_subkeys(product_path.c_str(), &n) != 0 ||
            n > static_cast<uint32_t>(INT32_MAX - *count))
            return ZE_FAILURE;
        const int32_t first = *count;
        if (entries != nullptr) {
            for (uint32_t i = 0; i < n; ++i) {
                entries[first + static_cast<int32_t>(i)] =
                    static_cast<VE_SERVICE_ENTRY *>(calloc(1, sizeof(VE_SERVICE_ENTRY)));
                if (entries[first + static_cast<int32_t>(i)] == nullptr)
                    return ZE_FAILURE;
                ++*count;
            }
        } else {
            *count += static_cast<int32_t>(n);
            continue;
        }
        const bool sqlserver = strcmp(product, "OrvekZEL for SQLServer") == 0;
        const bool oracle = strcmp(product, "OrvekZEL for Oracle") == 0;
        for (uint32_t i = 0; i < n; ++i) {
            char name[256];
            rc = plat_reg_enum_key(product_path.c_str(), i, name, sizeof name);
            if (rc == PLAT_ERROR_NO_MORE_ITEMS)
                break;
            if (rc != 0)
                return ZE_FAILURE;
            VE_SERVICE_ENTRY *e = entries[first + static_cast<int32_t>(i)];
            size_t len = strlen(name);
            if (len >= sizeof e->name)
                continue; /* a name the entry cannot hold stays empty */
            memcpy(e->name, name, len + 1);
            std::string path = product_path + "\\" + name;
            S_read_field_by_path(path, "ZELHOME", e->home, sizeof e->home);
            S_read_field_by_path(path, "DESCRIPTION", e->description, sizeof e->description);
            if (!sqlserver)
                S_read_field_by_path(path, "NLS_LANG", e->nls_lang, sizeof e->nls_lang);
            if (!oracle)
                S_read_field_by_path(path, "DATASOURCE", e->datasource, sizeof e->datasource);
        }
    }
}

int32_t ves_list_all_services(int32_t *count, VE_SERVICE_ENTRY **entries)
{
    if (count == nullptr)
        return ZE_NULL_POINTER;
    try {
        return S_list_all_services(count, entries);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}

int32_t VES_RegisterEventLog(const char *source, const char *message_file)
{
    if (source == nullptr || source[0] == '\0' || message_file == nullptr)
        return ZE_NULL_POINTER;
    std::string path;
    bool fits = S_source_path(source, path);
    int rc = S_open_create(path, fits);
    if (rc != 0) {
        fprintf(stderr, "Error opening/creating %s key (%d)\n", path.c_str(), rc);
        return ZE_FAILURE;
    }
    const unsigned char types[4] = {7, 0, 0, 0}; /* error, warning and information */
    rc = plat_reg_set_value(path.c_str(), "TypesSupported", PLAT_REG_DWORD, types, sizeof types);
    if (rc != 0) {
        fprintf(stderr, "Error setting TypesSupported value (%d)\n", rc);
        return ZE_FAILURE;
    }
    rc = plat_reg_set_value(path.c_str(), "EventMessageFile", PLAT_REG_EXPAND_SZ, message_file,
                            strlen(message_file) + 1);
    if (rc != 0) {
        fprintf(stderr, "Error setting EventMessageFile value (%d)\n", rc);
        return ZE_FAILURE;
    }
    return 0;
}

int32_t VES_UnRegisterEventLog(const char *source)
{
    if (plat_reg_create_key(S_EVENTLOG_APP) != 0) {
        fprintf(stderr, "Error opening eventlog key\n");
        return ZE_FAILURE;
    }
    return S_delete_key_tree(S_EVENTLOG_APP, source);
}
