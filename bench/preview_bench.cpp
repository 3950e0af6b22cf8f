// The preview on a page of 50,000 phrases, offscreen: marking a phrase (the round trip to the
// browser: find its anchor, mark it, scroll it into view) must stay well under 50 ms, so that
// Enter and the arrow keys never wait for it; and what Show does before it returns (read the
// saved page, place the anchors). It defines its own main, since the browser needs an
// application object before the benchmarks run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>
#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "core/document/document.h"
#include "core/markup/anchors.h"
#include "tests/support/offscreen.h"
#include "tests/support/pagegen.h"
#include "ui/preview.h"

using namespace quillfen;

namespace {

constexpr std::size_t kPhrases = 50000;

// A generated page of at least kPhrases phrases, with one phrase in a hundred replaced.
struct TBigPage {
    QTemporaryDir dir;
    QString path;
    TDocument doc;

    TBigPage() {
        std::string page = testing::GeneratePage(1 << 20, 11);
        doc.LoadBytes(page, TTags::AllKinds);
        const double perPhrase = double(page.size()) / double(doc.PhraseCount());
        page = testing::GeneratePage(std::size_t(perPhrase * kPhrases * 1.02), 11);
        doc.LoadBytes(page, TTags::AllKinds);
        for (std::size_t k = 0; k < doc.PhraseCount(); k += 100)
            doc.SetPhraseText(k, "Ersetzt & neu " + std::to_string(k));
        path = dir.filePath("big.html");
        std::ofstream(QFile::encodeName(path).toStdString(), std::ios::binary) << doc.Render();
    }
};

TBigPage& BigPage() {
    static TBigPage page;
    return page;
}

// Runs the event loop until the preview reports a mark or ms have passed: the phrase marked,
// -1 for none, -2 for no answer.
int WaitForMark(TPreview& preview, int ms) {
    QEventLoop loop;
    int marked = -2;
    QObject::connect(&preview, &TPreview::Marked, &loop, [&](int phrase) {
        marked = phrase;
        loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return marked;
}

void BM_PlaceAnchors(benchmark::State& state) {
    TBigPage& page = BigPage();
    const std::string saved = page.doc.Render();
    for (auto _ : state) benchmark::DoNotOptimize(AnchoredPage(page.doc, saved));
    state.counters["phrases"] = double(page.doc.PhraseCount());
    state.counters["MB"] = double(saved.size()) / (1 << 20);
}
BENCHMARK(BM_PlaceAnchors)->Unit(benchmark::kMillisecond);

void BM_ShowAndLoad(benchmark::State& state) {
    TBigPage& page = BigPage();
    QWebEngineView view;
    view.resize(1000, 700);
    view.show();
    TPreview preview(&view);
    double showMs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        preview.Show(page.path, page.doc);
        showMs += double(timer.nsecsElapsed()) / 1e6;
        if (WaitForMark(preview, 60000) == -2) {
            state.SkipWithError("the page did not load");
            break;
        }
    }
    state.counters["Show returns, ms"] =
        benchmark::Counter(showMs, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ShowAndLoad)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// What a selection costs: the mark and the answer that it was applied; to the next phrase, as
// Down and Enter go (1), and from anywhere in the page to anywhere else (7919).
void BM_MarkPhrase(benchmark::State& state) {
    TBigPage& page = BigPage();
    QWebEngineView view;
    view.resize(1000, 700);
    view.show();
    TPreview preview(&view);
    preview.Show(page.path, page.doc);
    if (WaitForMark(preview, 60000) == -2) {
        state.SkipWithError("the page did not load");
        return;
    }
    const std::size_t n = page.doc.PhraseCount();
    std::size_t k = 0, unmarked = 0;
    std::vector<double> times;
    for (auto _ : state) {
        k = (k + std::size_t(state.range(0))) % n;
        QElapsedTimer timer;
        timer.start();
        preview.Mark(int(k));
        const int marked = WaitForMark(preview, 5000);
        if (marked == -2) {
            state.SkipWithError("no answer from the browser");
            break;
        }
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (marked != int(k)) ++unmarked;
    }
    state.counters["phrases"] = double(n);
    std::sort(times.begin(), times.end());
    if (!times.empty()) {
        state.counters["median, ms"] = times[times.size() / 2];
        state.counters["90%, ms"] = times[times.size() * 9 / 10];
        state.counters["worst, ms"] = times.back();
    }
    // The phrases of the head (title, meta contents) show nowhere in the page.
    state.counters["not marked"] = double(unmarked);
}
BENCHMARK(BM_MarkPhrase)
    ->Arg(1)
    ->Arg(7919)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
    quillfen::testing::PrepareOffscreen();
    TPreview::RegisterScheme();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
