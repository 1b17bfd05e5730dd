// Replays a fuzz target's corpus as an ordinary test: every file under the
// directories (or the files) named on the command line is fed to the target
// once. Crashes and sanitizer reports fail the test.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static int S_run_file(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    // Copy into an exact-size heap block so AddressSanitizer sees any overread.
    auto *copy = new uint8_t[bytes.size() ? bytes.size() : 1];
    if (!bytes.empty())
        std::copy(bytes.begin(), bytes.end(), copy);
    LLVMFuzzerTestOneInput(copy, bytes.size());
    delete[] copy;
    return 0;
}

int main(int argc, char **argv)
{
    int files = 0, failures = 0;
    for (int i = 1; i < argc; i++) {
        std::filesystem::path arg(argv[i]);
        if (std::filesystem::is_directory(arg)) {
            for (auto &entry : std::filesystem::recursive_directory_iterator(arg)) {
                if (entry.is_regular_file()) {
                    failures += S_run_file(entry.path());
                    files++;
                }
            }
        } else {
            failures += S_run_file(arg);
            files++;
        }
    }
    std::printf("%d passed, %d failed\n", files - failures, failures);
    return failures ? 1 : 0;
}
