// Opening a page of 100,000 phrases in the real main window, offscreen: read, trim, scan,
// the progress panel, the list's model reset and its layout. It defines its own main, since the
// window needs an application object before the benchmarks run.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QListView>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <fstream>
#include <string>

#include "tests/support/offscreen.h"
#include "ui/Main.h"
#include "ui/application.h"

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
    form->FileName = path;
    for (auto _ : state) {
        if (!form->LoadFile()) {
            state.SkipWithError("the page did not load");
            break;
        }
        form->TextBox->doItemsLayout();
        if (form->TextBoxModel->rowCount() != state.range(0)) {
            state.SkipWithError("the list was not filled");
            break;
        }
    }
    state.counters["phrases"] = double(form->TextBoxModel->rowCount());
    form->close();
}
BENCHMARK(BM_OpenWindow)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    quillfen::testing::PrepareOffscreen();
    TApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
