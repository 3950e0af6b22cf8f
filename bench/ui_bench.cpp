// The real main window, offscreen: opening a page of 100,000 phrases (read, trim, scan, the
// progress panel, the list's model reset and its layout), and on a page of 50,000 phrases a key
// in the entry field that selects a row, up to the preview's answer that the phrase is marked;
// that must stay well under 50 ms, or Enter and the arrow keys would wait for the preview. Enter
// on pages up to 5 MB: from the end of the save to the next phrase marked in the preview. It
// defines its own main, since the window needs an application object before the benchmarks run.
// On a translation memory of 200,000 units: from reaching a phrase to its matches shown.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QKeyEvent>
#include <QListView>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/markup/sentences.h"
#include "memory/memory.h"
#include "settings/memorysettings.h"
#include "settings/settings.h"
#include "tests/memory/generate.h"
#include "tests/support/offscreen.h"
#include "tests/ui/controls.h"
#include "ui/Main.h"
#include "ui/application.h"
#include "ui/entryedit.h"
#include "ui/matchespane.h"
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

// A round trip to the browser: what it was given before has run.
void WaitForBrowser(TPreview& preview) {
    QEventLoop loop;
    preview.RunScript("1", [&](const QVariant&) { loop.quit(); });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
}

// A page of about bytes bytes in phrases phrases, paragraphs with the attributes real pages carry.
std::string ParagraphPage(int phrases, std::size_t bytes) {
    std::string page = "<html>\r\n<head>\r\n<title>Bench</title>\r\n</head>\r\n<body>\r\n";
    const std::size_t each = bytes / std::size_t(phrases);
    for (int i = 1; i < phrases; ++i) {
        std::string p = "<p class=\"para\" id=\"p" + std::to_string(i) + "\">Phrase " +
                        std::to_string(i) + " with a few more words";
        while (p.size() + 6 < each) p += " and more";
        page += p + "</p>\r\n";
    }
    return page + "</body>\r\n</html>\r\n";
}

// Enter on a changed phrase: the save, then the preview changing the phrase in place and marking
// the next one. Measured from the end of the save (the preview's update begins) to the mark; the
// save's own time beside it.
void BM_EnterInPlace(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.html");
    {
        std::ofstream out(QFile::encodeName(path).toStdString(), std::ios::binary);
        out << ParagraphPage(int(state.range(0)), std::size_t(state.range(1)));
    }
    // Runs (0) or sentences (1).
    const bool sentences = state.range(2) != 0;
    if (sentences && !SentencesAvailable()) {
        state.SkipWithError("no sentences in this build");
        return;
    }
    TSettings stored;
    stored.Units = sentences ? TUnits::Sentences : TUnits::Runs;
    SaveSettings(IniSettingsStore(dir.filePath("settings.ini")), stored);
    const auto form = CreateMainWindow();
    form->SettingsStore = IniSettingsStore(dir.filePath("settings.ini"));
    form->resize(1000, 700);
    form->show();
    QCoreApplication::processEvents();
    TPreview& preview = *uitest::FindControl<TPreview>(*form, "PreviewPane");
    auto* entry = uitest::FindControl<TEntryEdit>(*form, "Edit1");
    if (!form->OpenPage(path)) {
        state.SkipWithError("the page did not load");
        return;
    }
    while (preview.IsLoading())
        if (WaitForMark(preview, 120000) == -2) break;
    auto* list = uitest::FindControl<QListView>(*form, "TextBox");
    const int rows = list->model()->rowCount();
    QElapsedTimer sinceKey, sinceSave;
    double saveMs = 0;
    QObject::connect(&preview, &TPreview::Updating, [&] {
        saveMs = double(sinceKey.nsecsElapsed()) / 1e6;
        sinceSave.start();
    });
    std::vector<double> times, saves, fromKey, moved;
    int wrong = 0, n = 0;
    for (auto _ : state) {
        // From the middle of the page on, where a reload would have most to lay out before it.
        if (form->SelectedRow() < rows / 2 || form->SelectedRow() >= rows - 2) {
            state.PauseTiming();
            list->selectionModel()->setCurrentIndex(list->model()->index(rows / 2, 0),
                                                    QItemSelectionModel::ClearAndSelect);
            WaitForMark(preview, 2000);
            state.ResumeTiming();
        }
        // A translator types between two Enters: the browser is done with the last one.
        state.PauseTiming();
        WaitForBrowser(preview);
        state.ResumeTiming();
        const int next = form->SelectedRow() + 1;
        // The phrase's own number, which the checks would ask about otherwise.
        entry->setText(QStringLiteral("Neu %1").arg(form->SelectedRow()));
        ++n;
        sinceKey.start();
        PressKey(entry, Qt::Key_Return);
        // The key is handled: the page is written, and the list and the entry have moved on.
        moved.push_back(double(sinceKey.nsecsElapsed()) / 1e6);
        const int marked = WaitForMark(preview, 20000);
        if (marked == -2) {
            state.SkipWithError("no answer from the preview");
            break;
        }
        times.push_back(double(sinceSave.nsecsElapsed()) / 1e6);
        fromKey.push_back(double(sinceKey.nsecsElapsed()) / 1e6);
        saves.push_back(saveMs);
        if (marked != next) ++wrong;
    }
    state.counters["phrases"] = double(rows);
    state.counters["MB"] = double(QFileInfo(path).size()) / 1e6;
    std::sort(times.begin(), times.end());
    std::sort(saves.begin(), saves.end());
    std::sort(fromKey.begin(), fromKey.end());
    std::sort(moved.begin(), moved.end());
    if (!times.empty()) {
        // What the translator waits for: from the key to the next phrase marked.
        state.counters["Enter to mark median, ms"] = fromKey[fromKey.size() / 2];
        state.counters["Enter to mark 90%, ms"] = fromKey[fromKey.size() * 9 / 10];
        state.counters["Enter to entry moved median, ms"] = moved[moved.size() / 2];
        state.counters["median, ms"] = times[times.size() / 2];
        state.counters["90%, ms"] = times[times.size() * 9 / 10];
        state.counters["worst, ms"] = times.back();
        state.counters["save median, ms"] = saves[saves.size() / 2];
    }
    state.counters["not marked"] = wrong;
    form->close();
}
BENCHMARK(BM_EnterInPlace)
    ->Args({400, 30'000, 0})
    ->Args({14'000, 1'000'000, 0})
    ->Args({70'000, 5'000'000, 0})
    ->Args({70'000, 5'000'000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(40);

// Reaching a phrase, on a memory of 200,000 units made of real sentences and their mutations: from
// the key that moves the entry to the next phrase until the matches pane shows that phrase's
// matches. The page's phrases are mutated corpus sentences as well, so most lookups are fuzzy.
void BM_MatchesShown(benchmark::State& state) {
    QTemporaryDir dir;
    const std::vector<std::string> sentences = testing::CorpusSentences();
    const std::vector<std::string> words = testing::WordsOf(sentences);
    {
        TMemory memory(QFile::encodeName(dir.filePath("memory.sqlite")).toStdString());
        memory.Add(testing::GenerateUnits(std::size_t(state.range(0)), 1, sentences, words));
    }
    const QString path = dir.filePath("bench.html");
    {
        std::mt19937 random(7);
        std::string page = "<html lang=\"en\">\r\n<body>\r\n";
        for (int i = 0; i < 400; ++i) {
            std::string text =
                testing::Mutate(sentences[random() % sentences.size()], words, random);
            // The page is markup: its text must read back as the sentence.
            std::string escaped;
            for (const char c : text)
                escaped += c == '<' ? "&lt;" : c == '&' ? "&amp;" : std::string(1, c);
            page += "<p>" + escaped + "</p>\r\n";
        }
        std::ofstream out(QFile::encodeName(path).toStdString(), std::ios::binary);
        out << page << "</body>\r\n</html>\r\n";
    }
    const auto form = CreateMainWindow();
    form->SettingsStore = IniSettingsStore(dir.filePath("settings.ini"));
    TMemorySettings settings;
    settings.File = dir.filePath("memory.sqlite");
    settings.TargetLanguage = QStringLiteral("de");
    // Exact matches stay in the pane: drafts would make closing the window ask about them.
    settings.DraftExactMatches = false;
    SaveMemorySettings(form->SettingsStore, settings);
    form->resize(1000, 700);
    form->show();
    QCoreApplication::processEvents();
    auto* pane = uitest::FindControl<TMatchesPane>(*form, "MatchesPane");
    auto* entry = uitest::FindControl<TEntryEdit>(*form, "Edit1");
    auto settle = [&] {
        QElapsedTimer waited;
        waited.start();
        while (pane->Looking() && waited.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        return !pane->Looking();
    };
    if (!form->OpenPage(path) || !settle()) {
        state.SkipWithError("the page did not load or its first lookup did not end");
        return;
    }
    const int rows = uitest::FindControl<QListView>(*form, "TextBox")->model()->rowCount();
    std::vector<double> times;
    std::size_t matched = 0;
    for (auto _ : state) {
        const bool atEnd = form->SelectedRow() >= rows - 1;
        QElapsedTimer timer;
        timer.start();
        PressKey(entry, atEnd ? Qt::Key_Home : Qt::Key_Down,
                 atEnd ? Qt::ControlModifier : Qt::NoModifier);
        if (!settle()) {
            state.SkipWithError("a lookup did not end");
            break;
        }
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!pane->Matches().empty()) ++matched;
    }
    std::sort(times.begin(), times.end());
    if (!times.empty()) {
        state.counters["median, ms"] = times[times.size() / 2];
        state.counters["90%, ms"] = times[times.size() * 9 / 10];
        state.counters["worst, ms"] = times.back();
        state.counters["with matches"] = double(matched) / double(times.size());
    }
    form->close();
}
BENCHMARK(BM_MatchesShown)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(300);

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
