// Big5 to EUC-TW and back through the converters, against one iconv call
// over the same text in the same run (a descriptor opened beforehand, the
// text converted whole). The text is Traditional Chinese prose as a table
// would hold it: mostly two-byte characters with ASCII words, digits and
// punctuation mixed in, 64 bytes (a name) and 4,000 bytes (a description).
#include "bench/bench_ratio.h"

#include <iconv.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/util/ve_codepage_internal.h"

namespace
{

// Common characters of the first Big5 plane that EUC-TW also has (so that
// one iconv call converts the whole text), in Big5 or in EUC-TW.
std::string Text(size_t bytes, bool big5)
{
    iconv_t cd = iconv_open("EUC-TW", "BIG5-HKSCS");
    std::string text;
    uint32_t seed = 7u + static_cast<uint32_t>(bytes);
    while (text.size() + 8 < bytes) {
        seed = seed * 1103515245u + 12345u;
        uint32_t r = seed >> 8;
        std::string piece;
        if (r % 10 == 0) {
            piece = r % 20 == 0 ? " GIS 2026 " : ", ";
        } else {
            // Frequent characters: lead bytes A4-C6, trail bytes 40-7E and A1-FE.
            auto lead = static_cast<char>(0xA4 + r % 0x23);
            auto trail =
                static_cast<char>((r >> 8) % 2 ? 0x40 + (r >> 9) % 0x3F : 0xA1 + (r >> 9) % 0x5E);
            piece = {lead, trail};
        }
        char out[16];
        char *ip = piece.data(), *op = out;
        size_t il = piece.size(), ol = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) &&
            iconv(cd, nullptr, nullptr, &op, &ol) != static_cast<size_t>(-1) && il == 0)
            text += big5 ? piece : std::string(out, sizeof out - ol);
    }
    iconv_close(cd);
    return text;
}

void Run(benchmark::State &state, bool big5)
{
    const std::string text = Text(static_cast<size_t>(state.range(0)), big5);
    std::vector<char> buffer(text.size() * 2 + 1);
    for (auto _ : state) {
        std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
        if (big5)
            codepage_big5_to_euctw(buffer.data(), static_cast<int32_t>(buffer.size()), nullptr);
        else
            codepage_euctw_to_big5(buffer.data(), static_cast<int32_t>(buffer.size()), nullptr);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void RunIconv(benchmark::State &state, bool big5)
{
    const std::string text = Text(static_cast<size_t>(state.range(0)), big5);
    std::vector<char> buffer(text.size() * 2 + 1), in(text.size() + 1);
    iconv_t cd = iconv_open(big5 ? "EUC-TW" : "BIG5-HKSCS", big5 ? "BIG5-HKSCS" : "EUC-TW");
    for (auto _ : state) {
        std::memcpy(in.data(), text.c_str(), text.size() + 1);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char *ip = in.data(), *op = buffer.data();
        size_t il = text.size(), ol = buffer.size() - 1;
        iconv(cd, &ip, &il, &op, &ol);
        iconv(cd, nullptr, nullptr, &op, &ol);
        *op = '\0';
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
    iconv_close(cd);
}

void BM_Big5ToEucTw(benchmark::State &state)
{
    Run(state, true);
}
void BM_EucTwToBig5(benchmark::State &state)
{
    Run(state, false);
}
void BM_IconvBig5ToEucTwBaseline(benchmark::State &state)
{
    RunIconv(state, true);
}
void BM_IconvEucTwToBig5Baseline(benchmark::State &state)
{
    RunIconv(state, false);
}

} // namespace

BENCHMARK(BM_Big5ToEucTw)->Arg(64)->Arg(4000);
BENCHMARK(BM_IconvBig5ToEucTwBaseline)->Arg(64)->Arg(4000);
BENCHMARK(BM_EucTwToBig5)->Arg(64)->Arg(4000);
BENCHMARK(BM_IconvEucTwToBig5Baseline)->Arg(64)->Arg(4000);

ZEL_BENCH_MAIN({"BM_Big5ToEucTw", "BM_IconvBig5ToEucTwBaseline", ">= 0.8"},
               {"BM_EucTwToBig5", "BM_IconvEucTwToBig5Baseline", ">= 0.8"})
