// The real main window, offscreen: opening a page of 100,000 phrases (read, trim, scan, the
// progress panel, the list's model reset and its layout), and on a page of 50,000 phrases a key
// in the entry field that selects a row, up to the preview's answer that the phrase is marked;
// that must stay well under 50 ms, or Enter and the arrow keys would wait for the preview. It
// defines its own main, since the window needs an application object before the benchmarks run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QListView>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/offscreen.h"
#include "tests/ui/controls.h"
#include "ui/Main.h"
#include "ui/application.h"
#include "ui/phraselist.h"
#include "ui/preview.h"

using namespace quillfen;

namespace {

std::string PhrasePage(int phrases) {
    std::string page = "<html>\r\n<head>\r\n<title>Bench</title>\r\n</head>\r\n<body>\r\n";
    for (int i = 1; i < phrases; ++i) {
        if (i % 10 == 0)
            page += "<img src=\"p" + std::to_string(i) + ".png\" alt=\"Picture " +
                    std::to_string(i) + " of the M&uuml;ller shop\">\r\n";
        else
            page += "<p>Phrase " + std::to_string(i) + " with a few more words</p>\r\n";
    }
    page += "</body>\r\n</html>\r\n";
    return page;
}

void BM_OpenWindow(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.html");
    {
        std::ofstream out(QFile::encodeName(path).toStdString(), std::ios::binary);
        out << PhrasePage(int(state.range(0)));
    }
    const auto form = CreateMainWindow();
    form->SettingsStore = IniSettingsStore(dir.filePath("settings.ini"));
    form->show();
    QCoreApplication::processEvents();
    auto* list = uitest::FindControl<QListView>(*form, "TextBox");
    for (auto _ : state) {
        if (!form->OpenPage(path)) {
            state.SkipWithError("the page did not load");
            break;
        }
        list->doItemsLayout();
        if (list->model()->rowCount() != state.range(0)) {
            state.SkipWithError("the list was not filled");
            break;
        }
    }
    state.counters["phrases"] = double(list->model()->rowCount());
    form->close();
}
BENCHMARK(BM_OpenWindow)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

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

void PressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(target, &release);
}

// Down to the next row (0), or Ctrl+End and Ctrl+Home by turns, from one end of the page to the
// other (1).
void BM_SelectAndMark(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.html");
    {
        std::ofstream out(QFile::encodeName(path).toStdString(), std::ios::binary);
        out << PhrasePage(50000);
    }
    const auto form = CreateMainWindow();
    form->SettingsStore = IniSettingsStore(dir.filePath("settings.ini"));
    form->resize(1000, 700);
    form->show();
    QCoreApplication::processEvents();
    TPreview& preview = *uitest::FindControl<TPreview>(*form, "PreviewPane");
    QWidget* entry = uitest::FindControl<QWidget>(*form, "Edit1");
    // The first answer may come from the page shown before; the one that counts follows the
    // load.
    if (!form->OpenPage(path)) {
        state.SkipWithError("the page did not load");
        return;
    }
    while (preview.IsLoading())
        if (WaitForMark(preview, 60000) == -2) break;
    if (preview.IsLoading()) {
        state.SkipWithError("the page did not load");
        return;
    }
    const int rows = uitest::FindControl<QListView>(*form, "TextBox")->model()->rowCount();
    const bool far = state.range(0) == 1;
    std::vector<double> times;
    int unmarked = 0;
    for (auto _ : state) {
        const int row = form->SelectedRow();
        int key = Qt::Key_Down;
        Qt::KeyboardModifiers modifiers = Qt::NoModifier;
        if (far || row == rows - 1) {
            key = row == rows - 1 ? Qt::Key_Home : Qt::Key_End;
            modifiers = Qt::ControlModifier;
        }
        QElapsedTimer timer;
        timer.start();
        PressKey(entry, key, modifiers);
        const int marked = WaitForMark(preview, 5000);
        if (marked == -2) {
            state.SkipWithError("no answer from the preview");
            break;
        }
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (marked != form->SelectedRow()) ++unmarked;
    }
    state.counters["phrases"] = double(rows);
    std::sort(times.begin(), times.end());
    if (!times.empty()) {
        state.counters["median, ms"] = times[times.size() / 2];
        state.counters["90%, ms"] = times[times.size() * 9 / 10];
        state.counters["worst, ms"] = times.back();
    }
    // The title shows nowhere in the page.
    state.counters["not marked"] = unmarked;
    form->close();
}
BENCHMARK(BM_SelectAndMark)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
    quillfen::testing::PrepareOffscreen();
    TPreview::RegisterScheme();
    TApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
