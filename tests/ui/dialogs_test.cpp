#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>

#include "core/markup/kinds.h"
#include "core/markup/sentences.h"
#include "exchange/formats.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "settings/stringtable.h"
#include "shell/wininfo.h"
#include "tests/ui/controls.h"
#include "tests/ui/files.h"
#include "ui/Main.h"
#include "ui/application.h"
#include "ui/filedialogs.h"
#include "ui/options.h"
#include "ui/pictures.h"
#include "ui/wizard.h"

using namespace quillfen;

void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

using quillfen::uitest::ReadBytes;
using quillfen::uitest::WriteBytes;

std::string Replaced(std::string s, const std::string& from, const std::string& to) {
    const std::size_t at = s.find(from);
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
}

// Three phrases with the default tags: T, G, T; with header content a C phrase comes first.
const std::string kPage =
    "<html>\r\n<head>\r\n<meta name=\"description\" content=\"Head text\">\r\n</head>\r\n"
    "<body>\r\n<p>First phrase</p>\r\n<img src=\"a.png\" alt=\"Picture\">\r\n"
    "<p>Second phrase</p>\r\n</body>\r\n</html>\r\n";

class Dialogs : public ::testing::Test, protected uitest::TMainControls {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetErrorBox([this](const QString& text) { errors << text; });
        // A message box that only informs is read and closed.
        QObject::connect(&closer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || !box->button(QMessageBox::Ok)) return;
            informed << box->text();
            box->button(QMessageBox::Ok)->click();
        });
        closer.start(20);
        Create();
    }

    void Create() {
        form = CreateMainWindow();
        form->SettingsStore = IniSettingsStore(dir.filePath("settings.ini"));
        wiz = uitest::FindControl<TWizardDlg>(*form, "WizardDlg");
        opt = uitest::FindControl<TOptionsDlg>(*form, "OptionsDlg");
        ASSERT_TRUE(wiz && opt);
        form->ChooseFileToOpen = [this](const QString&, const QString&) { return nextOpen; };
        wiz->ChooseFile = [this](TFileEdit::TKind kind, const QString& filter, const QString&) {
            asked << QString("%1 %2").arg(int(kind)).arg(filter);
            return nextChoice;
        };
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        const QStringList missing = Bind(*form);
        ASSERT_TRUE(missing.isEmpty()) << missing.join(' ').toStdString();
    }

    // Starts the window again as the next run would, with tags stored in its settings.
    void RestartWith(TTags tags) {
        form->close();
        form.reset();
        TSettings stored;
        stored.Tags = tags;
        SaveSettings(IniSettingsStore(dir.filePath("settings.ini")), stored);
        Create();
    }

    void TearDown() override {
        if (wiz->isVisible()) wiz->reject();
        if (opt->isVisible()) opt->reject();
        form->close();
        form.reset();
        SetErrorBox({});
        for (const QString& f : QDir(dir.path()).entryList(QDir::Files))
            QFile(dir.filePath(f)).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }

    // Runs command from the event loop, as the menu does, and script inside the modal dialog
    // the command shows. A script that leaves the dialog open has it cancelled, so that a failed
    // check cannot hang the run.
    void Modal(QDialog* dlg, const std::function<void()>& command,
               const std::function<void()>& script) {
        bool ran = false;
        // Dies with this call, and with it a script the dialog never came to run.
        QObject guard;
        auto run = [&] {
            ran = true;
            EXPECT_TRUE(dlg->isVisible());
            script();
            if (dlg->isVisible()) dlg->reject();
        };
        // Posted from inside the command, so that the dialog's own loop is the one to run it.
        QMetaObject::invokeMethod(
            form.get(),
            [&] {
                QTimer::singleShot(0, &guard, run);
                command();
            },
            Qt::QueuedConnection);
        QCoreApplication::sendPostedEvents();
        EXPECT_TRUE(ran) << "the dialog never showed";
        EXPECT_FALSE(dlg->isVisible());
    }

    void Open(const QString& path) {
        nextOpen = path;
        QMetaObject::invokeMethod(
            form.get(), [this] { mLoad->trigger(); }, Qt::QueuedConnection);
        QCoreApplication::sendPostedEvents();
    }

    QString Page(const QString& name, const std::string& bytes = kPage) {
        const QString path = dir.filePath(name);
        WriteBytes(path, bytes);
        return path;
    }

    void Click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }

    // The main window's control of that design name.
    template <class T>
    T* Control(const char* name) const {
        T* control = uitest::FindControl<T>(*form, name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    int Shown() const { return wiz->Notebook->currentIndex(); }
    void Type(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        QTest::keyClicks(edit, text);
    }

    // Exports the open page into folder through the wizard, typing the folder.
    // Recombines text and templ into dest through the import wizard, opening dest after if load.
    void ImportTo(const QString& text, const QString& templ, const QString& dest, bool load) {
        Modal(
            wiz, [this] { form->mImportClick(); },
            [&] {
                wiz->wizText->setText(text);
                wiz->wizTemplate->setText(templ);
                Click(wiz->FinishBtn);
                wiz->wizDestination->setText(dest);
                Click(wiz->FinishBtn);
                wiz->wizLoadFile->setChecked(load);
                Click(wiz->FinishBtn);
            });
    }

    void ExportTo(const QString& folder) {
        Modal(
            wiz, [this] { form->mExportClick(); },
            [&] {
                wiz->wizOutput->clear();
                Type(wiz->wizOutput, folder);
                Click(wiz->FinishBtn);
                Click(wiz->FinishBtn);
            });
    }

    std::vector<TKind> Kinds() const {
        std::vector<TKind> kinds;
        for (const TTextItem& p : form->Document().Phrases()) kinds.push_back(p.Kind());
        return kinds;
    }

    // An Options check box by its object name.
    QCheckBox* Box(const char* name) const {
        QCheckBox* box = opt->findChild<QCheckBox*>(name);
        EXPECT_TRUE(box) << name;
        return box;
    }

    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;
    TWizardDlg* wiz = nullptr;
    TOptionsDlg* opt = nullptr;
    QStringList errors;
    QStringList asked;
    QString nextOpen;
    QString nextChoice;
    QStringList informed;
    QTimer closer;
};

// --- wizard: layout and flows -------------------------------------------------------------------

TEST_F(Dialogs, WizardIsLaidOutAsDesigned) {
    EXPECT_EQ(wiz->size(), QSize(404, 218));
    EXPECT_EQ(wiz->Image1->pixmap().size(), QSize(133, 200));
    EXPECT_EQ(wiz->wizHeading->font().pixelSize(), 19);
    EXPECT_TRUE(wiz->wizHeading->font().bold());
    EXPECT_EQ(wiz->wizHeading->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_LE(wiz->Image1->geometry().right(), 145);
    EXPECT_GE(wiz->Notebook->x(), 145);
    ASSERT_EQ(wiz->Notebook->count(), 5);
    const QStringList names = {"Export1", "Export2", "Import1", "Import2", "Import3"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(wiz->Notebook->widget(i)->objectName(), names[i]);
    for (QPushButton* b : {wiz->CancelBtn, wiz->BackBtn, wiz->FinishBtn})
        EXPECT_EQ(b->size(), QSize(75, 25)) << b->objectName().toStdString();
    EXPECT_LT(wiz->CancelBtn->x() + 75, wiz->BackBtn->x() + 1);
    EXPECT_LT(wiz->BackBtn->x() + 75, wiz->FinishBtn->x() + 1);
    EXPECT_TRUE(wiz->FinishBtn->isDefault());
    EXPECT_FALSE(wiz->BackBtn->isEnabled());
    EXPECT_FALSE(wiz->wizLoadFile->isChecked());
    // The export page offers every exchange format by name, the default first chosen, within
    // the page.
    ASSERT_EQ(std::size_t(wiz->wizFormat->count()), ExchangeFormats().size());
    for (int i = 0; i < wiz->wizFormat->count(); ++i)
        EXPECT_EQ(wiz->wizFormat->itemData(i).toString().toStdString(),
                  ExchangeFormats()[std::size_t(i)]->Name);
    EXPECT_EQ(&wiz->ExportFormat(), &DefaultExchangeFormat());
    EXPECT_LE(wiz->wizFormat->geometry().bottom(), wiz->Notebook->height());
    EXPECT_LT(wiz->wizOutput->geometry().bottom(), wiz->wizFormatLabel->geometry().top());
    // The notice speaks of "<nr>" parts, which must not vanish as a tag.
    EXPECT_EQ(wiz->wizLabel1->textFormat(), Qt::PlainText);
    EXPECT_TRUE(wiz->wizLabel1->text().contains("<nr>"));
    EXPECT_EQ(wiz->wizLabel4->text(), "Combination finished sucessfully !");
}

TEST_F(Dialogs, ExportThenRecombineTheSamePageAndLoadTheResult) {
    const QString page = Page("page.htm");
    Open(page);
    ASSERT_TRUE(mClose->isEnabled());
    const QString out = dir.filePath("out folder");
    ASSERT_TRUE(QDir().mkpath(out));

    Modal(
        wiz, [this] { form->mExportClick(); },
        [&] {
            EXPECT_EQ(wiz->windowTitle(), "Export Wizard");
            EXPECT_EQ(wiz->wizHeading->text(), "Export");
            EXPECT_EQ(Shown(), 0);
            EXPECT_FALSE(wiz->FinishBtn->isEnabled());
            EXPECT_EQ(wiz->FinishBtn->text(), "Next >");
            EXPECT_EQ(wiz->BackBtn->text(), "< Back");
            EXPECT_EQ(wiz->CancelBtn->text(), "Cancel");
            nextChoice = out;
            wiz->wizOutput->Browse->trigger();
            EXPECT_EQ(wiz->wizOutput->text(), QDir::toNativeSeparators(out));
            EXPECT_TRUE(wiz->FinishBtn->isEnabled());
            Click(wiz->FinishBtn);
            EXPECT_EQ(Shown(), 1);
            EXPECT_TRUE(wiz->BackBtn->isEnabled());
            EXPECT_TRUE(wiz->FinishBtn->isEnabled());
            EXPECT_EQ(wiz->FinishBtn->text(), "Finish !");
            Click(wiz->FinishBtn);
            EXPECT_EQ(wiz->result(), QDialog::Accepted);
        });
    EXPECT_EQ(asked, QStringList{"0 "});
    const QString text = out + "/page.txt";
    const QString templ = out + "/page.templ";
    EXPECT_EQ(ReadBytes(text), "<1>First phrase</>\r\n<2>Picture</>\r\n<3>Second phrase</>\r\n");
    EXPECT_NE(ReadBytes(templ).find("%_2_%"), std::string::npos);

    // Translated by someone else, then recombined into a new page with blanks in its path.
    WriteBytes(text, Replaced(ReadBytes(text), "First phrase", "Erster Satz"));
    const QString dest = out + "/new page.html";
    const auto history = form->RecentFiles();
    asked.clear();
    Modal(
        wiz, [this] { form->mImportClick(); },
        [&] {
            EXPECT_EQ(wiz->windowTitle(), "Import Wizard");
            EXPECT_EQ(wiz->wizHeading->text(), "Import");
            EXPECT_EQ(Shown(), 2);
            EXPECT_FALSE(wiz->FinishBtn->isEnabled());
            nextChoice = text;
            wiz->wizText->Browse->trigger();
            EXPECT_FALSE(wiz->FinishBtn->isEnabled());
            nextChoice = templ;
            wiz->wizTemplate->Browse->trigger();
            EXPECT_TRUE(wiz->FinishBtn->isEnabled());
            Click(wiz->FinishBtn);
            EXPECT_EQ(Shown(), 3);
            EXPECT_FALSE(wiz->FinishBtn->isEnabled());
            EXPECT_EQ(wiz->FinishBtn->text(), "Next >");
            EXPECT_TRUE(wiz->BackBtn->isEnabled());
            nextChoice = dest;
            wiz->wizDestination->Browse->trigger();
            EXPECT_EQ(wiz->wizDestination->text(), QDir::toNativeSeparators(dest));
            EXPECT_TRUE(wiz->FinishBtn->isEnabled());
            Click(wiz->FinishBtn);
            EXPECT_EQ(Shown(), 4);
            EXPECT_EQ(wiz->FinishBtn->text(), "Finish !");
            EXPECT_TRUE(wiz->BackBtn->isEnabled());
            wiz->wizLoadFile->setChecked(true);
            Click(wiz->FinishBtn);
        });
    EXPECT_EQ(asked,
              (QStringList{"1 *.txt|*.txt", "1 *.temp|*.templ", "2 *.htm; *.html|*.htm;*.html"}));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    std::string expected = ReadBytes(templ);
    expected = Replaced(expected, "%_0_%", "Erster Satz");
    expected = Replaced(expected, "%_1_%", "Picture");
    expected = Replaced(expected, "%_2_%", "Second phrase");
    EXPECT_EQ(ReadBytes(dest), expected);

    EXPECT_EQ(form->DocumentPath(), dest);
    EXPECT_TRUE(form->windowTitle().endsWith(QDir::toNativeSeparators(dest)));
    ASSERT_EQ(form->Document().PhraseCount(), 3u);
    EXPECT_EQ(form->Document().Phrases()[0].Text, "Erster Satz");
    EXPECT_EQ(Notebook->currentIndex(), 1);
    EXPECT_EQ(form->RecentFiles(), history) << "a recombined page is no recent file";
}

TEST_F(Dialogs, EachExportFormatIsExplainedAndItsFilesNamedWhenWritten) {
    Open(Page("page.htm"));
    for (const TExchangeFormat* format : ExchangeFormats()) {
        const QString name = QString::fromUtf8(format->Name.data(), qsizetype(format->Name.size()));
        SCOPED_TRACE(name.toStdString());
        const QString out = dir.filePath(name);
        ASSERT_TRUE(QDir().mkpath(out));
        informed.clear();
        QString notice;
        Modal(
            wiz, [this] { form->mExportClick(); },
            [&] {
                wiz->SetExportFormat(name);
                wiz->wizOutput->clear();
                Type(wiz->wizOutput, out);
                Click(wiz->FinishBtn);
                notice = wiz->wizLabel1->text();
                Click(wiz->FinishBtn);
            });
        const QStringList files = QDir(out).entryList(QDir::Files, QDir::Name);
        ASSERT_FALSE(files.isEmpty());
        // A file to merge is named in the notice, which says nothing of markers to keep.
        const bool merged = format->ReadTranslation != nullptr;
        EXPECT_EQ(notice.contains("<nr>"), !merged) << notice.toStdString();
        if (merged) {
            EXPECT_TRUE(notice.contains(QDir::toNativeSeparators(out + "/" + files.back())))
                << notice.toStdString();
        }
        // The end says which files were written: all of them, and only those.
        ASSERT_EQ(informed.size(), 1);
        QStringList said = informed[0].split('\n');
        EXPECT_EQ(said.takeFirst(), "Written:");
        for (const QString& file : files)
            EXPECT_TRUE(said.contains(QDir::toNativeSeparators(out + "/" + file)))
                << file.toStdString();
        EXPECT_EQ(said.size(), files.size());
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(Dialogs, ImportWithoutTheLoadTickOrCancelledOnTheLastPageLoadsNothing) {
    const QString page = Page("page.htm");
    Open(page);
    const QString text = Page("t.txt", "<1>Eins</>\r\n<2>Zwei</>\r\n<3>Drei</>\r\n");
    const QString templ = Page("t.templ", "<p>\r\n%_0_%\r\n%_1_%\r\n%_2_%\r\n</p>\r\n");
    const QString dest = dir.filePath("d.htm");
    auto run = [&](bool finish) {
        Modal(
            wiz, [this] { form->mImportClick(); },
            [&] {
                wiz->wizText->setText(text);
                wiz->wizTemplate->setText(templ);
                Click(wiz->FinishBtn);
                // The same text again would be no change, and Next would stay disabled.
                wiz->wizDestination->clear();
                wiz->wizDestination->setText(dest);
                Click(wiz->FinishBtn);
                EXPECT_EQ(Shown(), 4);
                Click(finish ? wiz->FinishBtn : wiz->CancelBtn);
            });
    };
    run(true);
    EXPECT_EQ(ReadBytes(dest), "<p>\r\nEins\r\nZwei\r\nDrei\r\n</p>\r\n");
    EXPECT_EQ(form->DocumentPath(), page);

    QFile::remove(dest);
    wiz->wizLoadFile->setChecked(true);
    run(false);
    EXPECT_TRUE(QFileInfo::exists(dest)) << "the page is written before the dialog closes";
    EXPECT_EQ(form->DocumentPath(), page);
    EXPECT_TRUE(wiz->wizLoadFile->isChecked());
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Dialogs, BackFromEveryPage) {
    wiz->ExportMode = true;
    wiz->show();
    // Page 0 with Back still disabled from the start: nothing happens but the caption.
    Click(wiz->BackBtn);
    EXPECT_EQ(Shown(), 0);
    wiz->wizOutput->setText("/tmp");
    Click(wiz->FinishBtn);
    ASSERT_EQ(Shown(), 1);
    Click(wiz->BackBtn);
    EXPECT_EQ(Shown(), 0);
    EXPECT_FALSE(wiz->BackBtn->isEnabled());
    EXPECT_EQ(wiz->FinishBtn->text(), "Next >");
    EXPECT_TRUE(wiz->FinishBtn->isEnabled());
    Click(wiz->FinishBtn);
    wiz->reject();

    // An export that got to page 1 leaves Back enabled for the next opening; there it only
    // resets the caption of FinishBtn.
    ASSERT_TRUE(wiz->BackBtn->isEnabled());
    wiz->ExportMode = false;
    wiz->show();
    EXPECT_TRUE(wiz->BackBtn->isEnabled());
    wiz->FinishBtn->setText("x");
    Click(wiz->BackBtn);
    EXPECT_EQ(Shown(), 2);
    EXPECT_EQ(wiz->FinishBtn->text(), "Next >");
    EXPECT_TRUE(wiz->BackBtn->isEnabled());

    wiz->wizText->setText("a.txt");
    wiz->wizTemplate->setText("a.templ");
    Click(wiz->FinishBtn);
    ASSERT_EQ(Shown(), 3);
    ASSERT_FALSE(wiz->FinishBtn->isEnabled());
    // Back to page 2 keeps Finish disabled although both edits are filled; a change enables it.
    Click(wiz->BackBtn);
    EXPECT_EQ(Shown(), 2);
    EXPECT_FALSE(wiz->BackBtn->isEnabled());
    EXPECT_FALSE(wiz->FinishBtn->isEnabled());
    wiz->wizTemplate->setText("b.templ");
    EXPECT_TRUE(wiz->FinishBtn->isEnabled());

    const QString text = Page("t.txt", "<1>Eins</>\r\n");
    const QString templ = Page("t.templ", "%_0_%\r\n");
    wiz->wizText->setText(text);
    wiz->wizTemplate->setText(templ);
    Click(wiz->FinishBtn);
    wiz->wizDestination->setText(dir.filePath("d.htm"));
    Click(wiz->FinishBtn);
    ASSERT_EQ(Shown(), 4);
    Click(wiz->BackBtn);
    EXPECT_EQ(Shown(), 3);
    EXPECT_TRUE(wiz->BackBtn->isEnabled());
    EXPECT_EQ(wiz->FinishBtn->text(), "Next >");
    EXPECT_TRUE(wiz->FinishBtn->isEnabled());
    // Next again recombines once more and overwrites the file.
    WriteBytes(text, "<1>Neu</>\r\n");
    Click(wiz->FinishBtn);
    EXPECT_EQ(Shown(), 4);
    EXPECT_EQ(ReadBytes(dir.filePath("d.htm")), "Neu\r\n");
    wiz->reject();
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Dialogs, EnablingRulesOnlyEverEnableFinish) {
    wiz->ExportMode = false;
    wiz->show();
    ASSERT_EQ(Shown(), 2);
    Type(wiz->wizText, "a.txt");
    EXPECT_FALSE(wiz->FinishBtn->isEnabled()) << "the template is still empty";
    Type(wiz->wizTemplate, "a");
    EXPECT_TRUE(wiz->FinishBtn->isEnabled());
    // Emptying a field disables nothing.
    wiz->wizTemplate->clear();
    EXPECT_TRUE(wiz->FinishBtn->isEnabled());
    wiz->reject();

    // Each rule works whatever page shows.
    wiz->show();
    ASSERT_FALSE(wiz->FinishBtn->isEnabled());
    wiz->wizDestination->setText("x.htm");
    EXPECT_TRUE(wiz->FinishBtn->isEnabled());
    wiz->reject();
    wiz->show();
    wiz->wizOutput->setText("");
    EXPECT_FALSE(wiz->FinishBtn->isEnabled());
    wiz->wizOutput->setText("o");
    EXPECT_TRUE(wiz->FinishBtn->isEnabled());
    wiz->reject();

    // A folder typed and cleared again leaves Finish enabled.
    wiz->ExportMode = true;
    wiz->show();
    wiz->wizOutput->clear();
    ASSERT_FALSE(wiz->FinishBtn->isEnabled());
    Type(wiz->wizOutput, "d");
    QTest::keyClick(wiz->wizOutput, Qt::Key_Backspace);
    EXPECT_TRUE(wiz->wizOutput->text().isEmpty());
    EXPECT_TRUE(wiz->FinishBtn->isEnabled());
    wiz->reject();
}

TEST_F(Dialogs, EnterPressesFinishOnlyWhileEnabledAndEscDoesNotClose) {
    wiz->ExportMode = true;
    wiz->show();
    wiz->wizOutput->setFocus();
    QTest::keyClick(wiz->wizOutput, Qt::Key_Return);
    EXPECT_EQ(Shown(), 0);
    Type(wiz->wizOutput, "x");
    QTest::keyClick(wiz->wizOutput, Qt::Key_Return);
    EXPECT_EQ(Shown(), 1);
    QTest::keyClick(wiz->wizOutput, Qt::Key_Escape);
    QTest::keyClick(wiz, Qt::Key_Escape);
    EXPECT_TRUE(wiz->isVisible());
    EXPECT_EQ(Shown(), 1);
    wiz->reject();
}

TEST_F(Dialogs, ClosingTheWizardThroughItsTitleBarIsCancel) {
    Open(Page("page.htm"));
    const QString out = dir.filePath("o");
    ASSERT_TRUE(QDir().mkpath(out));
    Modal(
        wiz, [this] { form->mExportClick(); },
        [&] {
            wiz->wizOutput->setText(out);
            Click(wiz->FinishBtn);
            wiz->close();
        });
    EXPECT_EQ(wiz->result(), QDialog::Rejected);
    EXPECT_TRUE(QDir(out).isEmpty());
}

TEST_F(Dialogs, ASecondOpeningKeepsFolderAndDestinationButStartsOver) {
    Open(Page("page.htm"));
    ExportTo(dir.path());
    for (int n = 0; n < 3; ++n) {
        Modal(
            wiz, [this] { form->mExportClick(); },
            [&] {
                EXPECT_EQ(wiz->wizOutput->text(), dir.path());
                EXPECT_FALSE(wiz->FinishBtn->isEnabled());
                EXPECT_EQ(Shown(), 0);
                EXPECT_EQ(wiz->windowTitle(), "Export Wizard");
                Click(wiz->CancelBtn);
            });
    }

    const QString text = dir.filePath("page.txt");
    const QString templ = dir.filePath("page.templ");
    const QString dest = dir.filePath("d.htm");
    ImportTo(text, templ, dest, false);
    Modal(
        wiz, [this] { form->mImportClick(); },
        [&] {
            EXPECT_EQ(wiz->windowTitle(), "Import Wizard");
            EXPECT_TRUE(wiz->wizText->text().isEmpty());
            EXPECT_TRUE(wiz->wizTemplate->text().isEmpty());
            EXPECT_EQ(wiz->wizDestination->text(), dest);
            EXPECT_FALSE(wiz->FinishBtn->isEnabled());
            wiz->wizText->setText(text);
            wiz->wizTemplate->setText(templ);
            Click(wiz->FinishBtn);
            EXPECT_EQ(Shown(), 3);
            EXPECT_FALSE(wiz->FinishBtn->isEnabled()) << "until the destination is changed";
            Click(wiz->CancelBtn);
        });
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Dialogs, SentencesGoOutWithTheirPlaceholdersAndComeBackReordered) {
    if (!SentencesAvailable()) GTEST_SKIP() << "no sentences in this build";
    form->close();
    form.reset();
    TSettings stored;
    stored.Units = TUnits::Sentences;
    SaveSettings(IniSettingsStore(dir.filePath("settings.ini")), stored);
    Create();
    Open(
        Page("keys.htm",
             "<p>Press <kbd>Ctrl</kbd>+<kbd>S</kbd> to <img src=\"s.png\" alt=\"save\">.</p>\r\n"));
    ASSERT_EQ(form->Document().PhraseCount(), 2u);
    const QString out = dir.filePath("out");
    ASSERT_TRUE(QDir().mkpath(out));
    ExportTo(out);
    const QString text = out + "/keys.txt";
    const QString templ = out + "/keys.templ";
    ASSERT_EQ(ReadBytes(text),
              "<1>Press <kbd1>Ctrl</kbd1>+<kbd2>S</kbd2> to <img3/>.</>\r\n<2>save</>\r\n");

    // Reordered, the tags come back as they were, with the alt's new text inside the sentence.
    WriteBytes(
        text, "<1><img3/> mit <kbd1>Strg</kbd1>+<kbd2>S</kbd2> sichern.</>\r\n<2>speichern</>\r\n");
    const QString dest = out + "/neu.htm";
    ImportTo(text, templ, dest, true);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(ReadBytes(dest),
              "<p><img src=\"s.png\" alt=\"speichern\"> mit <kbd>Strg</kbd>+<kbd>S</kbd> "
              "sichern.</p>\r\n");
    EXPECT_EQ(form->DocumentPath(), dest);
    ASSERT_EQ(form->Document().PhraseCount(), 2u);
    // An empty element at a sentence's edge stays outside it, its alt a phrase before it.
    EXPECT_EQ(form->Document().Text(0), "speichern");
    EXPECT_EQ(form->Document().Text(1), "mit <kbd1>Strg</kbd1>+<kbd2>S</kbd2> sichern.");
}

TEST_F(Dialogs, AFailedRecombinationStaysOnItsPage) {
    const QString text = Page("t.txt", "<1>Eins</>\r\n");
    const QString dest = Page("old.htm", "old page\r\n");
    Modal(
        wiz, [this] { form->mImportClick(); },
        [&] {
            wiz->wizText->setText(text);
            wiz->wizTemplate->setText(dir.filePath("missing.templ"));
            Click(wiz->FinishBtn);
            wiz->wizDestination->setText(dest);
            Click(wiz->FinishBtn);
            EXPECT_EQ(Shown(), 3);
            EXPECT_TRUE(wiz->FinishBtn->isEnabled());
            EXPECT_TRUE(wiz->BackBtn->isEnabled());
            EXPECT_EQ(wiz->FinishBtn->text(), "Next >");
            ASSERT_EQ(errors.size(), 1);
            EXPECT_TRUE(errors[0].contains("missing.templ"));
            EXPECT_TRUE(errors[0].contains("cannot be opened"));

            // A destination that cannot be written keeps its old page.
            wiz->wizTemplate->setText(Page("t.templ", "%_0_%\r\n"));
            QFile(dest).setPermissions(QFile::ReadOwner);
            Click(wiz->FinishBtn);
            EXPECT_EQ(Shown(), 3);
            ASSERT_EQ(errors.size(), 2);
            EXPECT_TRUE(errors[1].contains("cannot be written"));

            // A text file without the marker's line.
            QFile(dest).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
            WriteBytes(text, "");
            Click(wiz->FinishBtn);
            EXPECT_EQ(Shown(), 3);
            EXPECT_EQ(errors.size(), 3);
            wiz->wizLoadFile->setChecked(true);
            Click(wiz->CancelBtn);
        });
    EXPECT_EQ(ReadBytes(dest), "old page\r\n");
    EXPECT_FALSE(mClose->isEnabled());
}

TEST_F(Dialogs, ExportIntoAMissingFolderIsReported) {
    Open(Page("page.htm"));
    ExportTo(dir.filePath("no/such/folder"));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("cannot be created"));
    EXPECT_TRUE(mClose->isEnabled());
}

// --- Options ------------------------------------------------------------------------------------

TEST_F(Dialogs, OptionsLayoutAndTicksFollowTags) {
    // The designed box, grown by a row for each kind beyond the first three, and wider only where
    // a caption needs it.
    EXPECT_GE(opt->width(), 327);
    EXPECT_GT(opt->height(), 171);
    EXPECT_EQ(Box("attributes")->parentWidget(), opt->GroupBox1);
    EXPECT_EQ(opt->OKBtn->text(), "OK");
    EXPECT_TRUE(opt->OKBtn->isDefault());
    EXPECT_EQ(opt->CancelBtn->text(), LoadStr(TLanguage::English, TStringId::Cancel));
    EXPECT_EQ(Box("plaintext")->parentWidget(), opt->GroupBox1);
    EXPECT_EQ(Box("content")->parentWidget(), opt->GroupBox1);
    EXPECT_EQ(opt->CreateLinkBtn->parentWidget(), opt->GroupBox2);

    RestartWith(TTags::PlainText | TTags::Content);
    Modal(
        opt, [this] { form->mOptionsClick(); },
        [&] {
            EXPECT_TRUE(Box("plaintext")->isChecked());
            EXPECT_FALSE(Box("imgalt")->isChecked());
            EXPECT_TRUE(Box("content")->isChecked());
            // Abandoned ticks are forgotten: Cancel, then the next showing starts from Tags again.
            Box("imgalt")->setChecked(true);
            Box("plaintext")->setChecked(false);
            Click(opt->CancelBtn);
        });
    EXPECT_EQ(form->ExtractedKinds(), TTags::PlainText | TTags::Content);
    Modal(
        opt, [this] { form->mOptionsClick(); },
        [&] {
            EXPECT_TRUE(Box("plaintext")->isChecked());
            EXPECT_FALSE(Box("imgalt")->isChecked());
            Box("imgalt")->setChecked(true);
            QTest::keyClick(opt, Qt::Key_Escape);
        });
    EXPECT_EQ(form->ExtractedKinds(), TTags::PlainText | TTags::Content);

    RestartWith(TTags(0x83));
    Modal(
        opt, [this] { form->mOptionsClick(); },
        [&] {
            EXPECT_TRUE(Box("plaintext")->isChecked());
            EXPECT_TRUE(Box("imgalt")->isChecked());
            EXPECT_FALSE(Box("content")->isChecked());
            Box("content")->setChecked(true);
            Click(opt->OKBtn);
        });
    EXPECT_EQ(form->ExtractedKinds(), TTags(0x87)) << "the bits beyond the boxes survive";
    // OK without a page open changes Tags and loads nothing.
    EXPECT_FALSE(mClose->isEnabled());
    EXPECT_EQ(Notebook->currentIndex(), 0);
    EXPECT_EQ(form->Document().PhraseCount(), 0u);
}

TEST_F(Dialogs, OptionsOkReloadsTheOpenPageWithTheNewTags) {
    const QString page = Page("page.htm");
    Open(page);
    ASSERT_EQ(Kinds(), (std::vector<TKind>{TKind::Text, TKind::Image, TKind::Text}));
    // The page changed on disk: OK reads it again even with no box changed.
    WriteBytes(page, Replaced(kPage, "Second phrase", "Changed phrase"));
    Modal(
        opt, [this] { form->mOptionsClick(); }, [&] { Click(opt->OKBtn); });
    ASSERT_EQ(form->Document().PhraseCount(), 3u);
    EXPECT_EQ(form->Document().Phrases()[2].Text, "Changed phrase");

    Modal(
        opt, [this] { form->mOptionsClick(); },
        [&] {
            Box("plaintext")->setChecked(false);
            Box("content")->setChecked(true);
            QTest::keyClick(Box("content"), Qt::Key_Return);
        });
    EXPECT_EQ(form->ExtractedKinds(), TTags::ImageAlt | TTags::Content);
    EXPECT_EQ(Kinds(), (std::vector<TKind>{TKind::Content, TKind::Image}));
    EXPECT_EQ(TextBoxModel->rowCount(), 2);

    Modal(
        opt, [this] { form->mOptionsClick(); },
        [&] {
            Box("imgalt")->setChecked(false);
            Box("content")->setChecked(false);
            Click(opt->OKBtn);
        });
    EXPECT_EQ(form->ExtractedKinds(), TTags::None);
    EXPECT_EQ(form->Document().PhraseCount(), 0u);
    EXPECT_TRUE(mClose->isEnabled());

    // Cancel does not reload.
    Modal(
        opt, [this] { form->mOptionsClick(); },
        [&] {
            Box("plaintext")->setChecked(true);
            Click(opt->OKBtn);
        });
    ASSERT_EQ(form->Document().PhraseCount(), 2u);
    WriteBytes(page, "<p>gone</p>\r\n");
    Modal(
        opt, [this] { form->mOptionsClick(); }, [&] { Click(opt->CancelBtn); });
    EXPECT_EQ(form->Document().PhraseCount(), 2u);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Dialogs, OptionsSwitchThePageToSentencesAndBack) {
    Open(Page("s.htm", "<p>The quick <b>brown</b> fox. It runs.</p>"));
    ASSERT_EQ(form->Document().PhraseCount(), 3u);
    if (!SentencesAvailable()) return;
    for (const int units : {1, 0}) {
        Modal(
            opt, [this] { form->mOptionsClick(); },
            [&] {
                opt->UnitsBox->setCurrentIndex(units);
                Click(opt->OKBtn);
            });
        if (units == 1) {
            ASSERT_EQ(form->Document().PhraseCount(), 2u);
            EXPECT_EQ(form->Document().Text(0), "The quick <b1>brown</b1> fox.");
        } else {
            EXPECT_EQ(form->Document().PhraseCount(), 3u);
        }
    }
}

TEST_F(Dialogs, TheShortcutButtonWritesTheStartMenuEntry) {
    // The shell folders are read once, on first use; this run's come from a folder of its own.
    static QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data")));
    const std::string programs = WindowsInfo().Programs;
    qputenv("HOME", oldHome);
    if (oldData.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", oldData);
    ASSERT_EQ(QString::fromStdString(programs).left(home.path().size()), home.path());

    const QString link = QString::fromStdString(programs) + "/Quillfen.desktop";
    Modal(
        opt, [this] { form->mOptionsClick(); },
        [&] {
            Click(opt->CreateLinkBtn);
            EXPECT_TRUE(opt->isVisible()) << "the dialog stays open";
            EXPECT_TRUE(QFileInfo::exists(link));
            QFile::remove(link);
            Box("content")->setChecked(true);
            Click(opt->CreateLinkBtn);
            Click(opt->CancelBtn);
        });
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(form->ExtractedKinds(), TTags::Default);
    const std::string entry = ReadBytes(link);
    EXPECT_NE(entry.find("Exec=" + QCoreApplication::applicationFilePath().toStdString()),
              std::string::npos)
        << entry;
    EXPECT_NE(entry.find("Path=" + QCoreApplication::applicationDirPath().toStdString() + "/\n"),
              std::string::npos)
        << entry;
}

// Each kind of the table reaches the window: its tile, told apart from the others', and its check
// box in the Options dialog with a caption in every language.
TEST_F(Dialogs, EveryKindHasATileAndAnOptionsBoxInEveryLanguage) {
    std::vector<QImage> tiles;
    for (const TKindInfo& kind : quillfen::Kinds()) {
        SCOPED_TRACE(kind.Letter);
        const QPixmap tile = MakeKindImage(kind);
        ASSERT_FALSE(tile.isNull()) << "no tile drawn for " << kind.Icon;
        EXPECT_EQ(tile.size(), QSize(12, 12));
        for (const QImage& other : tiles) EXPECT_NE(tile.toImage(), other);
        tiles.push_back(tile.toImage());

        QCheckBox* box = Box(kind.Box);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->parentWidget(), opt->GroupBox1);
        EXPECT_TRUE(opt->GroupBox1->contentsRect().contains(box->geometry()));
        for (const TLanguageEntry& language : Languages()) {
            const QString caption = LoadStr(language.Language, kind.Caption);
            EXPECT_FALSE(caption.isEmpty()) << StoredValue(language.Language);
            opt->ApplyLanguage(language.Language);
            EXPECT_EQ(box->text(), caption);
        }
    }
    EXPECT_LT(opt->GroupBox1->geometry().bottom(), opt->OKBtn->geometry().top());
    EXPECT_TRUE(opt->rect().contains(opt->OKBtn->geometry()));
}

TEST_F(Dialogs, TheMergeDialogIsTitledAsItsCommandAndStartsInThePagesFolder) {
    const std::unique_ptr<QFileDialog> dlg =
        TranslationDialog(form.get(), "Merge translation", "XLIFF (*.xlf)", dir.path());
    EXPECT_EQ(dlg->windowTitle(), "Merge translation");
    EXPECT_EQ(dlg->directory().absolutePath(), QDir(dir.path()).absolutePath());
    EXPECT_EQ(dlg->fileMode(), QFileDialog::ExistingFile);
}

// --- accelerators -------------------------------------------------------------------------------

// The letter after a single '&' in text, lower case; none when text has no accelerator.
QChar AcceleratorOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&') continue;
        if (text[i + 1] == u'&') {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return {};
}

// Every accelerator one keyboard reaches at once among widgets: buttons, labels, group boxes.
QStringList AcceleratorClashes(const QString& where, const QList<QWidget*>& widgets) {
    std::map<QChar, QString> taken;
    QStringList clashes;
    auto add = [&](const QString& text) {
        const QChar key = AcceleratorOf(text);
        if (key.isNull()) return;
        if (const auto it = taken.find(key); it != taken.end())
            clashes << where + ": '" + QString(key) + "' in \"" + it->second + "\" and \"" + text +
                           "\"";
        else
            taken.emplace(key, text);
    };
    for (QWidget* w : widgets) {
        if (auto* button = qobject_cast<QAbstractButton*>(w)) add(button->text());
        if (auto* label = qobject_cast<QLabel*>(w)) add(label->text());
        if (auto* box = qobject_cast<QGroupBox*>(w)) add(box->title());
    }
    return clashes;
}

TEST_F(Dialogs, NoAcceleratorIsTakenTwiceInAMenuOrADialogInAnyLanguage) {
    auto visibleUnder = [](QWidget* root, QWidget* except = nullptr) {
        QList<QWidget*> found;
        for (QWidget* w : root->findChildren<QWidget*>())
            if (!except || (w != except && !except->isAncestorOf(w))) found << w;
        return found;
    };
    for (const TLanguageEntry& language : Languages()) {
        SCOPED_TRACE(StoredValue(language.Language));
        form->findChild<QAction*>(language.MenuItem)->trigger();
        opt->ApplyLanguage(language.Language);
        QStringList clashes;
        std::map<QChar, QString> titles;
        for (QAction* top : form->menuBar()->actions()) {
            if (!top->menu()) continue;
            std::map<QChar, QString> taken;
            for (QAction* item : top->menu()->actions()) {
                const QChar key = AcceleratorOf(item->text());
                if (key.isNull()) continue;
                if (taken.contains(key))
                    clashes << top->text() + ": '" + QString(key) + "' in \"" + taken[key] +
                                   "\" and \"" + item->text() + "\"";
                taken.emplace(key, item->text());
            }
            const QChar key = AcceleratorOf(top->text());
            if (!key.isNull() && titles.contains(key))
                clashes << "menu bar: '" + QString(key) + "' in " + titles[key] + " and " +
                               top->text();
            titles.emplace(key, top->text());
        }
        clashes << AcceleratorClashes("Options", visibleUnder(opt));
        // The wizard shows one page at a time, with its buttons.
        for (int page = 0; page < wiz->Notebook->count(); ++page) {
            QList<QWidget*> widgets = visibleUnder(wiz, wiz->Notebook);
            widgets << visibleUnder(wiz->Notebook->widget(page));
            clashes << AcceleratorClashes(QString("wizard page %1").arg(page), widgets);
        }
        clashes << AcceleratorClashes("window", visibleUnder(form->centralWidget()));
        EXPECT_TRUE(clashes.isEmpty()) << clashes.join('\n').toStdString();
    }
}

TEST_F(Dialogs, NoCaptionOfTheOptionsIsCutInAnyLanguage) {
    for (const TLanguageEntry& language : Languages()) {
        SCOPED_TRACE(StoredValue(language.Language));
        opt->ApplyLanguage(language.Language);
        for (QWidget* w : opt->findChildren<QWidget*>()) {
            if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLabel*>(w)) continue;
            const QString text = qobject_cast<QAbstractButton*>(w)
                                     ? qobject_cast<QAbstractButton*>(w)->text()
                                     : qobject_cast<QLabel*>(w)->text();
            // A push button's hint keeps a minimum width that its text need not fill.
            const int wanted =
                qobject_cast<QPushButton*>(w)
                    ? w->fontMetrics().horizontalAdvance(QString(text).remove('&')) + 8
                    : w->sizeHint().width();
            EXPECT_GE(w->width(), wanted) << text.toStdString();
            // Inside its group and the dialog.
            EXPECT_TRUE(w->parentWidget()->rect().contains(w->geometry())) << text.toStdString();
        }
    }
}

// --- language -----------------------------------------------------------------------------------

TEST_F(Dialogs, EachLanguageReachesBothDialogsAtOnceHiddenOrShown) {
    // Every caption of the dialogs that follows the language, by its English string id.
    const std::pair<std::function<QString()>, int> captions[] = {
        {[&] { return opt->windowTitle(); }, 30},
        {[&] { return opt->GroupBox1->title(); }, 31},
        {[&] { return Box("plaintext")->text(); }, 32},
        {[&] { return Box("imgalt")->text(); }, 33},
        {[&] { return Box("content")->text(); }, 34},
        {[&] { return opt->GroupBox2->title(); }, 35},
        {[&] { return opt->CreateLinkBtn->text(); }, 36},
        {[&] { return wiz->windowTitle(); }, 41},
        {[&] { return wiz->wizLabel0->text(); }, 42},
        {[&] { return wiz->wizTextLabel->text(); }, 43},
        {[&] { return wiz->wizTempLabel->text(); }, 44},
        {[&] { return wiz->wizLabel1->text(); }, 45},
        {[&] { return wiz->wizLabel2->text(); }, 46},
        {[&] { return wiz->wizLabel3->text(); }, 47},
        {[&] { return wiz->wizHTMLLabel->text(); }, 48},
        {[&] { return wiz->wizLabel4->text(); }, 49},
        {[&] { return wiz->wizLoadFile->text(); }, 50},
        {[&] { return wiz->wizOutputLabel->text(); }, 55},
    };
    for (const TLanguage language : {TLanguage::German, TLanguage::English}) {
        SCOPED_TRACE(StoredValue(language));
        if (language == TLanguage::German)
            Control<QAction>("mDeutsch")->trigger();
        else
            Control<QAction>("mEnglish")->trigger();
        for (const auto& [caption, id] : captions) {
            EXPECT_FALSE(caption().isEmpty()) << id;
            EXPECT_EQ(caption(), LoadStr(language, id)) << id;
        }
        // The Options dialog's OK stays; its Cancel button speaks the language.
        EXPECT_EQ(opt->OKBtn->text(), "OK");
        EXPECT_EQ(opt->CancelBtn->text(), LoadStr(language, TStringId::Cancel));
        // Opened in either mode, the wizard's heading, title and buttons follow too.
        for (const bool exporting : {true, false}) {
            wiz->ExportMode = exporting;
            wiz->show();
            const QString heading = LoadStr(language, exporting ? 68 : 69);
            EXPECT_EQ(wiz->wizHeading->text(), heading);
            EXPECT_EQ(wiz->windowTitle(),
                      heading + " " + LoadStr(language, TStringId::WizardTitle));
            EXPECT_EQ(wiz->FinishBtn->text(), LoadStr(language, TStringId::WizardNext));
            EXPECT_EQ(wiz->BackBtn->text(), LoadStr(language, TStringId::WizardBack));
            EXPECT_EQ(wiz->CancelBtn->text(), LoadStr(language, TStringId::Cancel));
            if (exporting) {
                wiz->wizOutput->clear();
                wiz->wizOutput->setText("x");
                Click(wiz->FinishBtn);
                EXPECT_EQ(wiz->FinishBtn->text(), LoadStr(language, TStringId::WizardFinish));
            }
            wiz->reject();
        }
    }

    Control<QAction>("mDeutsch")->trigger();
    wiz->ExportMode = false;
    wiz->show();
    EXPECT_EQ(wiz->windowTitle(), "Import Assistent");
    // Switching while shown reaches the labels at once; the buttons take theirs on the next page.
    Control<QAction>("mEnglish")->trigger();
    EXPECT_EQ(wiz->wizTextLabel->text(), "Text file:");
    EXPECT_EQ(opt->windowTitle(), "Options");
    EXPECT_EQ(wiz->FinishBtn->text(), "Weiter >");
    Click(wiz->BackBtn);
    EXPECT_EQ(wiz->FinishBtn->text(), "Next >");
    wiz->reject();
    wiz->show();
    EXPECT_EQ(wiz->windowTitle(), "Import Wizard");
    EXPECT_EQ(wiz->CancelBtn->text(), "Cancel");
    wiz->reject();
}

}  // namespace
