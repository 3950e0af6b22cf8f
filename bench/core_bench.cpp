#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "core/document/document.h"
#include "core/files/buffer.h"
#include "core/files/savefile.h"
#include "tests/support/pagegen.h"

using namespace quillfen;

namespace {

const std::string& Page(std::size_t mb) {
    static std::map<std::size_t, std::string> pages;
    auto& p = pages[mb];
    if (p.empty()) p = testing::GeneratePage(mb << 20, 7);
    return p;
}

// Load is read + trim + scan, so the page comes from a file.
void LoadFrom(benchmark::State& state, const std::string& bytes) {
    const std::string path = std::filesystem::temp_directory_path() / "quillfen-bench-load.htm";
    WriteFileAtomically(path, bytes);
    for (auto _ : state) {
        TDocument doc;
        doc.LoadFile(path, TTags::AllKinds);
        benchmark::DoNotOptimize(doc.PhraseCount());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    std::filesystem::remove(path);
}

#ifdef QUILLFEN_SENTENCES
// The same page cut into sentences: ICU's breaker on every block, the tags as placeholders.
void BM_LoadSentences(benchmark::State& state) {
    const std::string& bytes = Page(state.range(0));
    const std::string path = std::filesystem::temp_directory_path() / "quillfen-bench-load.htm";
    WriteFileAtomically(path, bytes);
    for (auto _ : state) {
        TDocument doc;
        doc.LoadFile(path, TTags::AllKinds, TUnits::Sentences);
        benchmark::DoNotOptimize(doc.PhraseCount());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    std::filesystem::remove(path);
}
BENCHMARK(BM_LoadSentences)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
#endif

void SaveOf(benchmark::State& state, const std::string& bytes) {
    TDocument doc;
    doc.LoadBytes(bytes, TTags::AllKinds);
    const std::string path = std::filesystem::temp_directory_path() / "quillfen-bench-save.htm";
    for (auto _ : state) doc.Save(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    std::filesystem::remove(path);
}

// A page worked through for a while: every tenth phrase has a new text, so the save writes
// those spans anew and copies the page between them.
void BM_SaveChanged(benchmark::State& state) {
    const std::string& bytes = Page(state.range(0));
    TDocument doc;
    doc.LoadBytes(bytes, TTags::AllKinds);
    for (std::size_t i = 0; i < doc.PhraseCount(); i += 10)
        doc.SetPhraseText(i, "Neuer Text \xE4 & <b>");
    const std::string path = std::filesystem::temp_directory_path() / "quillfen-bench-save.htm";
    for (auto _ : state) doc.Save(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    std::filesystem::remove(path);
}

#ifndef _WIN32
// The same save in place, as for a page with a second hard link: a synced copy of the old bytes
// and a record holding the new bytes' hashes come first; the backup folder is a scratch one.
void BM_SaveChangedInPlace(benchmark::State& state) {
    namespace fs = std::filesystem;
    const std::string& bytes = Page(state.range(0));
    TDocument doc;
    doc.LoadBytes(bytes, TTags::AllKinds);
    for (std::size_t i = 0; i < doc.PhraseCount(); i += 10)
        doc.SetPhraseText(i, "Neuer Text \xE4 & <b>");
    const fs::path dir = fs::temp_directory_path() / "quillfen-bench-in-place";
    fs::create_directories(dir);
    ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    const std::string path = dir / "page.htm";
    doc.Save(path);
    fs::create_hard_link(path, dir / "twin.htm");
    for (auto _ : state) doc.Save(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    ::unsetenv("XDG_CACHE_HOME");
    fs::remove_all(dir);
}
BENCHMARK(BM_SaveChangedInPlace)->Arg(16)->Unit(benchmark::kMillisecond);
#endif

void BM_Load(benchmark::State& state) { LoadFrom(state, Page(state.range(0))); }
void BM_Save(benchmark::State& state) { SaveOf(state, Page(state.range(0))); }
void BM_LoadAmpersands(benchmark::State& state) { LoadFrom(state, testing::AmpersandPage(200000)); }
void BM_SaveAmpersands(benchmark::State& state) { SaveOf(state, testing::AmpersandPage(200000)); }
void BM_LoadBlankRun(benchmark::State& state) { LoadFrom(state, testing::BlankRunPage(2000000)); }
void BM_SaveBlankRun(benchmark::State& state) { SaveOf(state, testing::BlankRunPage(2000000)); }

// Fuzzing's hostile megabytes: one tag of a million characters, 100,000 empty lines, lines
// broken by CR only.
const std::string kLongTag = "<" + std::string(1'000'000, 'a') + ">";
const std::string kEmptyLines = "<p>a</p>" + std::string(1'000'000, '\n') + "b";
const std::string kCrOnly = [] {
    std::string s;
    while (s.size() < 1'000'000) s += "<b>x</b>\r";
    return s;
}();
void BM_LoadLongTag(benchmark::State& state) { LoadFrom(state, kLongTag); }
void BM_SaveLongTag(benchmark::State& state) { SaveOf(state, kLongTag); }
void BM_LoadEmptyLines(benchmark::State& state) { LoadFrom(state, kEmptyLines); }
void BM_LoadCrOnly(benchmark::State& state) { LoadFrom(state, kCrOnly); }
void BM_SaveCrOnly(benchmark::State& state) { SaveOf(state, kCrOnly); }

}  // namespace

BENCHMARK(BM_LoadLongTag)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveLongTag)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadEmptyLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadCrOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveCrOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveChanged)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAmpersands)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveAmpersands)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBlankRun)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveBlankRun)->Unit(benchmark::kMillisecond);
