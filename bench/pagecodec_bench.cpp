#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/text/pagecodec.h"

using namespace quillfen;

namespace {

// 16 MB of phrases of a legacy page, each decoded on its own as loading does: Japanese and
// Chinese text with some ASCII between, and Cyrillic for the single-byte tables.
struct TCase {
    const char* label;
    std::string phrase;
};

const TCase kCases[] = {
    {"shift_jis", "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x65\x83\x4C\x83\x58\x83\x67 text 12"},
    {"gb18030", "\xD6\xD0\xCE\xC4\xB5\xC4\xCE\xC4\xD7\xD6 \x81\x30\x84\x36 text 12"},
    {"windows-1251", "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! text 12"},
};

std::vector<std::string> Phrases(const std::string& phrase) {
    std::vector<std::string> phrases;
    for (std::size_t size = 0; size < (16u << 20); size += phrase.size()) phrases.push_back(phrase);
    return phrases;
}

void BM_DecodePhrases(benchmark::State& state) {
    const TCase& c = kCases[state.range(0)];
    const TEncodingInfo encoding{TPageEncoding::Legacy, c.label};
    const auto phrases = Phrases(c.phrase);
    for (auto _ : state)
        for (const std::string& p : phrases) benchmark::DoNotOptimize(PageToUtf8(p, encoding));
    state.SetBytesProcessed(
        static_cast<int64_t>(state.iterations() * phrases.size() * c.phrase.size()));
    state.SetLabel(c.label);
}

void BM_EncodePhrases(benchmark::State& state) {
    const TCase& c = kCases[state.range(0)];
    const TEncodingInfo encoding{TPageEncoding::Legacy, c.label};
    const auto phrases = Phrases(PageToUtf8(c.phrase, encoding));
    for (auto _ : state)
        for (const std::string& p : phrases) benchmark::DoNotOptimize(Utf8ToPage(p, encoding));
    state.SetBytesProcessed(
        static_cast<int64_t>(state.iterations() * phrases.size() * phrases[0].size()));
    state.SetLabel(c.label);
}

}  // namespace

BENCHMARK(BM_DecodePhrases)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodePhrases)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
