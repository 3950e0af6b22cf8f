#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "core/document/document.h"
#include "exchange/combine.h"
#include "exchange/export.h"
#include "exchange/formats.h"
#include "exchange/merge.h"
#include "exchange/po.h"
#include "tests/support/files.h"
#include "tests/support/pagegen.h"
#include "tests/support/xliff.h"

namespace {

constexpr std::size_t kMegabyte = 1 << 20;

class TBenchDir {
  public:
    TBenchDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "qfx-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TBenchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string Path() const { return path_.string(); }
    std::string operator/(const char* name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

void BM_Export(benchmark::State& state) {
    const std::string page =
        quillfen::testing::GeneratePage(static_cast<std::size_t>(state.range(0)) * kMegabyte);
    quillfen::TDocument doc;
    doc.LoadBytes(page, quillfen::TTags::AllKinds);
    TBenchDir dir;
    for (auto _ : state) quillfen::ExportDocument(doc, "/bench/page.htm", dir.Path());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_Export)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

void BM_Combine(benchmark::State& state) {
    const std::string page =
        quillfen::testing::GeneratePage(static_cast<std::size_t>(state.range(0)) * kMegabyte);
    quillfen::TDocument doc;
    doc.LoadBytes(page, quillfen::TTags::AllKinds);
    TBenchDir dir;
    quillfen::ExportDocument(doc, "/bench/page.htm", dir.Path());
    for (auto _ : state) quillfen::Combine(dir / "page.txt", dir / "page.templ", dir / "out.htm");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_Combine)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

// The XLIFF file of the page in runs and in sentences (Arg 1), written to disk; the build without
// libxml2 has none.
void BM_ExportXliff(benchmark::State& state) {
    const quillfen::TExchangeFormat* xliff = quillfen::FindExchangeFormat("xliff");
    const bool sentences = state.range(1) != 0;
    if (!xliff || (sentences && !quillfen::SentencesAvailable())) {
        state.SkipWithError("not in this build");
        return;
    }
    const std::string page =
        quillfen::testing::GeneratePage(static_cast<std::size_t>(state.range(0)) * kMegabyte);
    quillfen::TDocument doc;
    doc.LoadBytes(page, quillfen::TTags::AllKinds,
                  sentences ? quillfen::TUnits::Sentences : quillfen::TUnits::Runs);
    TBenchDir dir;
    for (auto _ : state) xliff->Export(doc, "/bench/page.htm", dir.Path(), {});
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_ExportXliff)->ArgsProduct({{1, 4, 16}, {0, 1}})->Unit(benchmark::kMillisecond);

// Reading the XLIFF file of the page back into units, as a merge starts; bytes counted are the
// page's.
void BM_ReadXliff(benchmark::State& state) {
    const quillfen::TExchangeFormat* xliff = quillfen::FindExchangeFormat("xliff");
    if (!xliff) {
        state.SkipWithError("not in this build");
        return;
    }
    const std::string page =
        quillfen::testing::GeneratePage(static_cast<std::size_t>(state.range(0)) * kMegabyte);
    quillfen::TDocument doc;
    doc.LoadBytes(page, quillfen::TTags::AllKinds);
    TBenchDir dir;
    xliff->Export(doc, "/bench/page.htm", dir.Path(), {});
    const std::string bytes = quillfen::testing::ReadBytes(dir / "page.xlf");
    for (auto _ : state) benchmark::DoNotOptimize(xliff->ReadTranslation(bytes, "page.xlf"));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_ReadXliff)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
// A PO export of the page with every message translated (its source with a suffix), or as
// exported.
std::string PoFile(const quillfen::TDocument& doc, bool translated) {
    const std::string po = quillfen::PoBytes(doc, "page.htm", {}, "2026-12-09 00:00+0000");
    if (!translated) return po;
    std::string out;
    out.reserve(po.size() * 2);
    const std::string_view empty = "\"\nmsgstr \"\"\n";
    std::size_t from = 0;
    for (std::size_t at; (at = po.find("\nmsgid \"", from)) != std::string::npos;) {
        const std::size_t text = at + 8, end = po.find(empty, text);
        out.append(po, from, end - from);
        if (end == text) {  // the header
            from = end;
            continue;
        }
        out.append("\"\nmsgstr \"").append(po, text, end - text).append(" (\xC3\xBC)\"\n");
        from = end + empty.size();
    }
    out.append(po, from);
    return out;
}

// Reading a translation file of format and merging it into the page, written once when anything
// changed; Arg 1: every unit translated or none. file gives the file for the page, which is read
// from disk (from the system's cache, after the first run).
void Merge(benchmark::State& state, const quillfen::TExchangeFormat* format,
           std::string (*file)(const quillfen::TExchangeFormat&, const quillfen::TDocument&,
                               bool)) {
    if (!format) {
        state.SkipWithError("not in this build");
        return;
    }
    const std::string page =
        quillfen::testing::GeneratePage(static_cast<std::size_t>(state.range(0)) * kMegabyte);
    const bool translated = state.range(1) != 0;
    quillfen::TDocument doc;
    doc.LoadBytes(page, quillfen::TTags::AllKinds);
    const std::string bytes = file(*format, doc, translated);
    TBenchDir dir;
    const std::string out = dir / "page.htm";
    const std::string path = dir / (format->Name == "po" ? "page.po" : "page.xlf");
    quillfen::testing::WriteBytes(path, bytes);
    for (auto _ : state) {
        state.PauseTiming();
        doc.LoadBytes(page, quillfen::TTags::AllKinds);
        state.ResumeTiming();
        // Read from the file as quillfen-cli merge reads it, unit by unit.
        const quillfen::TMergeReport report =
            quillfen::MergeTranslationFile(doc, *format, path, {}, [&] { doc.Save(out); });
        if (report.Translated != (translated ? doc.PhraseCount() : 0))
            state.SkipWithError("the merge left phrases out");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
    state.counters["file_MB"] = static_cast<double>(bytes.size()) / kMegabyte;
}

void BM_MergePo(benchmark::State& state) {
    Merge(state, quillfen::FindExchangeFormat("po"),
          [](const quillfen::TExchangeFormat&, const quillfen::TDocument& doc, bool translated) {
              return PoFile(doc, translated);
          });
}
BENCHMARK(BM_MergePo)
    ->ArgNames({"MB", "translated"})
    ->ArgsProduct({{1, 4, 16}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// An XLIFF export of the page with every unit translated (its source with a suffix), or as
// exported.
std::string XliffFile(const quillfen::TExchangeFormat& xliff, const quillfen::TDocument& doc,
                      bool translated) {
    TBenchDir dir;
    xliff.Export(doc, "/bench/page.htm", dir.Path(), {});
    const std::string file = quillfen::testing::ReadBytes(dir / "page.xlf");
    return translated ? quillfen::testing::XliffWithTargets(file, "", " (\xC3\xBC)") : file;
}

void BM_MergeXliff(benchmark::State& state) {
    Merge(state, quillfen::FindExchangeFormat("xliff"), XliffFile);
}
BENCHMARK(BM_MergeXliff)
    ->ArgNames({"MB", "translated"})
    ->ArgsProduct({{1, 4, 16}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
