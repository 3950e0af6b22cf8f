// The translation memory on a memory made of real sentences: the corpus pages' sentences and
// mutations of them (tests/memory/generate.h), 200,000 units, or as many as
// QUILLFEN_BENCH_UNITS says (1000000 for the large memory):
//   QUILLFEN_BENCH_UNITS=1000000 build/bench/translation_memory_bench
// Import and export of TMX (units per second, the memory file's size against the TMX file's),
// and lookups: fuzzy (mutated sentences the memory does not hold) and exact (its sources), each
// with its median and 95th percentile in milliseconds.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "memory/memory.h"
#include "memory/tmx.h"
#include "tests/memory/generate.h"

namespace {

using namespace quillfen;

std::size_t UnitCount() {
    const char* units = std::getenv("QUILLFEN_BENCH_UNITS");
    return units ? std::stoul(units) : 200000;
}

// The memory and its TMX file, made once for all benchmarks of the run.
struct TBenchMemory {
    TBenchMemory() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "qfx-tm-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        folder = pattern;
        sentences = testing::CorpusSentences();
        words = testing::WordsOf(sentences);
        units = testing::GenerateUnits(UnitCount(), 1, sentences, words);
        {
            TMemory made((folder / "made.sqlite").string());
            made.Add(units);
            ExportTmx(made, Tmx());
        }
        ImportTmx(*Open(Memory()), Tmx());
    }
    ~TBenchMemory() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    std::string Tmx() const { return (folder / "units.tmx").string(); }
    std::string Memory() const { return (folder / "memory.sqlite").string(); }
    static std::unique_ptr<TMemory> Open(const std::string& path) {
        return std::make_unique<TMemory>(path);
    }

    std::filesystem::path folder;
    std::vector<std::string> sentences, words;
    std::vector<TUnit> units;
};

TBenchMemory& Bench() {
    static TBenchMemory bench;
    return bench;
}

// One lookup's time on the clock and on the thread's CPU clock (which other programs on a busy
// machine do not lengthen), in milliseconds.
struct TTimes {
    std::vector<double> wall, cpu;
    template <class F>
    void Time(benchmark::State& state, F f) {
        timespec c0{}, c1{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c0);
        const auto start = std::chrono::steady_clock::now();
        f();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c1);
        state.SetIterationTime(took.count());
        wall.push_back(took.count() * 1000);
        cpu.push_back(static_cast<double>(c1.tv_sec - c0.tv_sec) * 1e3 +
                      static_cast<double>(c1.tv_nsec - c0.tv_nsec) / 1e6);
    }
    // The median and the 95th percentile of each.
    void Report(benchmark::State& state) {
        for (auto [times, name] : {std::pair{&wall, ""}, std::pair{&cpu, "cpu_"}}) {
            if (times->empty()) continue;
            std::sort(times->begin(), times->end());
            auto at = [&](double q) {
                return (*times)[std::min(times->size() - 1,
                                         static_cast<std::size_t>(q * times->size()))];
            };
            state.counters[std::string(name) + "median_ms"] = at(0.5);
            state.counters[std::string(name) + "p95_ms"] = at(0.95);
        }
    }
};

void BM_ImportTmx(benchmark::State& state) {
    TBenchMemory& bench = Bench();
    const std::string path = (bench.folder / "import.sqlite").string();
    std::size_t added = 0;
    for (auto _ : state) {
        std::filesystem::remove(path);
        TMemory memory(path);
        added = ImportTmx(memory, bench.Tmx()).Added;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * added));
    state.counters["units"] = static_cast<double>(added);
    state.counters["file_per_tmx"] = static_cast<double>(std::filesystem::file_size(path)) /
                                     static_cast<double>(std::filesystem::file_size(bench.Tmx()));
}
BENCHMARK(BM_ImportTmx)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_ExportTmx(benchmark::State& state) {
    TBenchMemory& bench = Bench();
    TMemory memory(bench.Memory());
    std::size_t written = 0;
    for (auto _ : state) written = ExportTmx(memory, (bench.folder / "out.tmx").string());
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * written));
}
BENCHMARK(BM_ExportTmx)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// Lookups of texts the memory does not hold, each a corpus sentence mutated in one to three
// words, with the default threshold (75) and five matches; timed one by one.
void BM_FuzzyLookup(benchmark::State& state) {
    TBenchMemory& bench = Bench();
    TMemory memory(bench.Memory());
    std::mt19937 random(99);
    std::vector<TQuery> queries(1000);
    for (TQuery& q : queries) {
        q.Text = testing::Mutate(bench.sentences[random() % bench.sentences.size()], bench.words,
                                 random);
        q.Languages = {"en", "de"};
    }
    TTimes times;
    std::size_t k = 0, matches = 0;
    for (auto _ : state)
        times.Time(state, [&] { matches += memory.Lookup(queries[k++ % queries.size()]).size(); });
    times.Report(state);
    state.counters["matches_per_lookup"] =
        static_cast<double>(matches) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FuzzyLookup)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2000);

// Lookups of the memory's own sources for exact matches only (100 and above), as the window asks
// first.
void BM_ExactLookup(benchmark::State& state) {
    TBenchMemory& bench = Bench();
    TMemory memory(bench.Memory());
    std::mt19937 random(5);
    TTimes times;
    std::size_t found = 0;
    for (auto _ : state) {
        TQuery q;
        q.Text = bench.units[random() % bench.units.size()].Source;
        q.Languages = {"en", "de"};
        q.MinScore = kExactScore;
        times.Time(state, [&] { found += memory.Lookup(q).empty() ? 0 : 1; });
    }
    times.Report(state);
    state.counters["found"] = static_cast<double>(found) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ExactLookup)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5000);

}  // namespace
