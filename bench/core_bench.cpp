#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>

#include "buffer.h"
#include "document.h"
#include "pagegen.h"
#include "savefile.h"

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
        doc.LoadFile(path, 7);
        benchmark::DoNotOptimize(doc.PhraseCount());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    std::filesystem::remove(path);
}

void SaveOf(benchmark::State& state, const std::string& bytes) {
    TDocument doc;
    doc.LoadBytes(bytes, 7);
    const std::string path = std::filesystem::temp_directory_path() / "quillfen-bench-save.htm";
    for (auto _ : state) doc.Save(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    std::filesystem::remove(path);
}

void BM_Load(benchmark::State& state) { LoadFrom(state, Page(state.range(0))); }
void BM_Save(benchmark::State& state) { SaveOf(state, Page(state.range(0))); }
void BM_LoadAmpersands(benchmark::State& state) { LoadFrom(state, testing::AmpersandPage(200000)); }
void BM_SaveAmpersands(benchmark::State& state) { SaveOf(state, testing::AmpersandPage(200000)); }
void BM_LoadBlankRun(benchmark::State& state) { LoadFrom(state, testing::BlankRunPage(2000000)); }
void BM_SaveBlankRun(benchmark::State& state) { SaveOf(state, testing::BlankRunPage(2000000)); }

}  // namespace

BENCHMARK(BM_Load)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAmpersands)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveAmpersands)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBlankRun)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveBlankRun)->Unit(benchmark::kMillisecond);
