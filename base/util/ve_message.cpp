// Message catalogue reader. The hosts print the text of an engine code from
// the catalogue loaded here; the file layout is described in ve_message.h.
// Line kinds, by first character: '#' comment (the one carrying
// "WARNING MESSAGE" in its first 80 characters starts the warning section),
// '+' or blank continuation, empty line ignored, anything else (a tab too) a
// message.
#include "base/util/ve_message_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <memory>
#include <string>

#include "base/util/zel_errors.h"

namespace
{

constexpr int32_t kErrorStep = 300;
constexpr int32_t kWarningStep = 15;
constexpr size_t kMarkerWindow = 80;
constexpr const char kWarningMarker[] = "WARNING MESSAGE";

// One growing index of line starts; always keeps a free slot for the end entry.
struct S_index {
    char **slots;
    int32_t count;
    int32_t capacity;
};

} // namespace

static int32_t S_index_init(S_index *index, int32_t step)
{
    index->slots = static_cast<char **>(calloc(static_cast<size_t>(step), sizeof(char *)));
    index->count = 0;
    index->capacity = step;
    return index->slots ? ZE_SUCCESS : ZE_OUT_OF_MEMORY;
}

static int32_t S_index_append(S_index *index, char *line, int32_t step)
{
    index->slots[index->count++] = line;
    if (index->count < index->capacity)
        return ZE_SUCCESS;
    size_t grown = static_cast<size_t>(index->capacity) + static_cast<size_t>(step);
    auto *slots = static_cast<char **>(realloc(index->slots, grown * sizeof(char *)));
    if (!slots)
        return ZE_OUT_OF_MEMORY;
    index->slots = slots;
    index->capacity = static_cast<int32_t>(grown);
    return ZE_SUCCESS;
}

static bool S_is_warning_marker(const char *line, const char *line_end)
{
    size_t n = static_cast<size_t>(line_end - line);
    if (n > kMarkerWindow)
        n = kMarkerWindow;
    std::string head(line, n);
    return head.find(kWarningMarker) != std::string::npos;
}

// Walks the text and fills both indexes. A catalogue without the warning
// marker is all errors: the error index then ends at the end of the text and
// the warning index holds only its end entry.
static int32_t S_build_indexes(VE_MESSAGE_CATALOG *catalog)
{
    S_index errors{}, warnings{};
    if (S_index_init(&errors, kErrorStep) != ZE_SUCCESS ||
        S_index_init(&warnings, kWarningStep) != ZE_SUCCESS) {
        free(errors.slots);
        free(warnings.slots);
        return ZE_OUT_OF_MEMORY;
    }
    S_index *current = &errors;
    int32_t step = kErrorStep;
    char *end = catalog->text + strlen(catalog->text);
    bool in_errors = true;
    int32_t rc = ZE_SUCCESS;
    for (char *line = catalog->text; line < end && rc == ZE_SUCCESS;) {
        char *newline = static_cast<char *>(memchr(line, '\n', static_cast<size_t>(end - line)));
        char *line_end = newline ? newline : end;
        char first = *line;
        if (first == '#') {
            if (in_errors && S_is_warning_marker(line, line_end)) {
                errors.slots[errors.count] = line;
                in_errors = false;
                current = &warnings;
                step = kWarningStep;
            }
        } else if (first != '+' && first != ' ' && first != '\n') {
            rc = S_index_append(current, line, step);
        }
        line = newline ? newline + 1 : end;
    }
    if (rc != ZE_SUCCESS) {
        free(errors.slots);
        free(warnings.slots);
        return rc;
    }
    if (in_errors)
        errors.slots[errors.count] = end;
    warnings.slots[warnings.count] = end;
    catalog->error_index = errors.slots;
    catalog->warning_index = warnings.slots;
    catalog->error_count = errors.count;
    catalog->warning_count = warnings.count;
    return ZE_SUCCESS;
}

int32_t ves_message_catalog_parse(const char *bytes, size_t length, VE_MESSAGE_CATALOG *catalog)
{
    if (!catalog || (!bytes && length))
        return ZE_NULL_POINTER;
    memset(catalog, 0, sizeof(*catalog));
    char *text = static_cast<char *>(calloc(length + 1, 1));
    if (!text)
        return ZE_OUT_OF_MEMORY;
    // Text-mode reading: a CR that ends a line is dropped.
    size_t n = 0;
    for (size_t i = 0; i < length; ++i) {
        if (bytes[i] == '\r' && i + 1 < length && bytes[i + 1] == '\n')
            continue;
        text[n++] = bytes[i];
    }
    text[n] = '\0';
    catalog->text = text;
    if (*text == '\0')
        return ZE_SUCCESS;
    int32_t rc = S_build_indexes(catalog);
    if (rc != ZE_SUCCESS)
        ves_message_catalog_free(catalog);
    return rc;
}

void ves_message_catalog_free(VE_MESSAGE_CATALOG *catalog)
{
    if (!catalog)
        return;
    free(catalog->text);
    free(catalog->error_index);
    free(catalog->warning_index);
    memset(catalog, 0, sizeof(*catalog));
}

// A language folder or catalogue prefix: no separator and no "..".
static bool S_is_plain_name(const char *name)
{
    return strchr(name, '/') == nullptr && strstr(name, "..") == nullptr;
}

int32_t read_message(const char *prefix, const char *language, VE_MESSAGE_CATALOG *catalog)
{
    if (!prefix || !language || !catalog)
        return ZE_NULL_POINTER;
    /* Both names become folders of the path: neither may leave the catalogue tree. */
    if (!S_is_plain_name(prefix) || !S_is_plain_name(language)) {
        fprintf(stderr, "Invalid message catalogue name %s %s\n", language, prefix);
        return ZE_MESSAGE_FILE_ERROR;
    }
    const char *home = getenv("ZELHOME");
    if (!home) {
        fprintf(stderr, "Cannot locate ZELHOME\n");
        return ZE_FAILURE;
    }
    std::string path = std::string(home) + "/locale/msg/" + language + "/" + prefix + "_error.msg";
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        fprintf(stderr, "Error getting file information %s", path.c_str());
        return ZE_MESSAGE_FILE_ERROR;
    }
    std::unique_ptr<FILE, int (*)(FILE *)> file(fopen(path.c_str(), "rbe"), fclose);
    if (!file) {
        fprintf(stderr, "Error opening file %s", path.c_str());
        return ZE_MESSAGE_FILE_ERROR;
    }
    size_t size = static_cast<size_t>(info.st_size);
    std::unique_ptr<char, void (*)(void *)> bytes(static_cast<char *>(calloc(size + 1, 1)), free);
    if (!bytes)
        return ZE_OUT_OF_MEMORY;
    size_t got = fread(bytes.get(), 1, size, file.get());
    if (got < size && ferror(file.get())) {
        fprintf(stderr, "error reading file %s\n", path.c_str());
        return ZE_MESSAGE_FILE_ERROR;
    }
    return ves_message_catalog_parse(bytes.get(), got, catalog);
}
