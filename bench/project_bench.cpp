// Site projects: an update where nothing changed and the status of a site of 1,000 generated
// pages, and the update of a translated release of 250 pages to its next one.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "project/exchange.h"
#include "project/projectfile.h"
#include "project/update.h"

namespace {

namespace fs = std::filesystem;
using namespace quillfen::project;

std::string Page(int n, int release) {
    std::string body = "<!DOCTYPE html>\n<html lang=\"en\"><head><title>Page " + std::to_string(n) +
                       "</title></head><body>\n";
    for (int p = 0; p < 80; ++p) {
        // Every tenth paragraph changes with the release.
        const int version = p % 10 == 0 ? release : 0;
        body += "<p>Paragraph " + std::to_string(p) + " of page " + std::to_string(n) +
                " tells the reader about option " + std::to_string(p * 7 + version) +
                " and what it does.</p>\n";
    }
    return body + "</body></html>\n";
}

TProject MakeSite(const fs::path& dir, int pages) {
    fs::remove_all(dir);
    fs::create_directories(dir / "src");
    fs::create_directories(dir / "tgt");
    for (int n = 0; n < pages; ++n)
        std::ofstream(dir / "src" / (std::to_string(n) + ".html")) << Page(n, 1);
    TProjectSettings s;
    s.Source = (dir / "src").string();
    s.Target = (dir / "tgt").string();
    s.SourceLanguage = "en";
    s.TargetLanguage = "de";
    CreateProject((dir / "site.qfp").string(), s);
    TProject project = OpenProject((dir / "site.qfp").string());
    TUpdateOptions options;
    options.UserMemory = "-";
    UpdateProject(project, options);
    return project;
}

const fs::path kDir = fs::temp_directory_path() / "quillfen-project-bench";

void BM_UpdateUnchanged1000(benchmark::State& state) {
    const TProject project = MakeSite(kDir / "unchanged", 1000);
    TUpdateOptions options;
    options.UserMemory = "-";
    for (auto _ : state) benchmark::DoNotOptimize(UpdateProject(project, options));
}
BENCHMARK(BM_UpdateUnchanged1000)->Unit(benchmark::kMillisecond);

void BM_Status1000(benchmark::State& state) {
    const TProject project = MakeSite(kDir / "status", 1000);
    for (auto _ : state) benchmark::DoNotOptimize(ProjectStatus(project));
}
BENCHMARK(BM_Status1000)->Unit(benchmark::kMillisecond);

void BM_UpdateRelease250(benchmark::State& state) {
    TUpdateOptions options;
    options.UserMemory = "-";
    for (auto _ : state) {
        state.PauseTiming();
        const TProject project = MakeSite(kDir / "release", 250);
        for (int n = 0; n < 250; ++n)
            std::ofstream(kDir / "release/src" / (std::to_string(n) + ".html")) << Page(n, 2);
        state.ResumeTiming();
        benchmark::DoNotOptimize(UpdateProject(project, options));
    }
}
BENCHMARK(BM_UpdateRelease250)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
