// The File and Extra menus' commands of the main window: opening a page (with the recent files,
// dropping and recovering a save cut short), closing, exporting, recombining and merging, and the
// dialogs. The work on the open page is in ui/Main.cpp.
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <algorithm>

#include "core/document/editing.h"
#include "core/errors.h"
#include "core/files/buffer.h"
#include "core/files/savefile.h"
#include "core/markup/anchors.h"
#include "core/text/phrasetext.h"
#include "exchange/formats.h"
#include "exchange/merge.h"
#include "settings/stringtable.h"
#include "ui/Main.h"
#include "ui/about.h"
#include "ui/application.h"
#include "ui/codec.h"
#include "ui/desktop.h"
#include "ui/entryedit.h"
#include "ui/filedialogs.h"
#include "ui/findbar.h"
#include "ui/findings.h"
#include "ui/matchespane.h"
#include "ui/navigation.h"
#include "ui/options.h"
#include "ui/pictures.h"
#include "ui/preview.h"
#include "ui/progress.h"
#include "ui/texts.h"
#include "ui/wizard.h"

namespace quillfen {

// --- recent files -------------------------------------------------------------------------------

void TForm1::RefreshHistoryMenu() {
    if (!HistorySeparator) return;
    bool any = false;
    for (std::size_t n = 0; n < TRecentFiles::Capacity; ++n) {
        HistoryItems[n]->setVisible(!History[n].isEmpty());
        if (History[n].isEmpty()) continue;
        HistoryItems[n]->setText(TRecentFiles::MenuText(n, History[n]));
        any = true;
    }
    HistorySeparator->setVisible(any);
}

void TForm1::mLoadClick() {
    const QString chosen = ChooseFileToOpen(QtFileFilter(OpenFilter), FileName);
    if (!chosen.isEmpty()) OpenPage(chosen);
}

bool TForm1::OpenPage(const QString& path) {
    if (!MayDropUnsaved()) return false;
    // Only a page that loaded enters the list.
    const bool loaded = LoadFile(path);
    if (loaded && History.Add(path)) RefreshHistoryMenu();
    return loaded;
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedPage(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    const QString path = DroppedPage(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    // After the drop has ended: the question and the error box must not run inside the drag.
    QMetaObject::invokeMethod(this, Guard([this, path] { OpenPage(path); }), Qt::QueuedConnection);
}

void TForm1::LoadHFile(QAction* sender) {
    const QString path = TRecentFiles::PathOf(sender->text());
    if (!QFileInfo(path).isFile()) {
        // A page moved, deleted or replaced by a folder since: said once, and offered no more.
        History.Remove(path);
        RefreshHistoryMenu();
        Inform(this, AppTitle, Message(TStringId::RecentFileGone, QDir::toNativeSeparators(path)));
        return;
    }
    if (!MayDropUnsaved()) return;
    LoadFile(path);
}

// --- commands -----------------------------------------------------------------------------------

void TForm1::mCloseClick() {
    if (!MayDropUnsaved()) return;
    Notebook->setCurrentIndex(0);
    // The rows stay until another page is opened; nothing can be written to this one.
    Session.Close();
    SetDocumentOpen(false);
}

void TForm1::mExitClick() { close(); }

void TForm1::mHelpClick() {
    PageBeforeHelp = std::uint8_t(Notebook->currentIndex());
    RefreshHelp();
    Notebook->setCurrentIndex(2);
    CloseHelpBtn->setFocus(Qt::OtherFocusReason);
}

void TForm1::CloseHelpBtnClick() {
    Notebook->setCurrentIndex(PageBeforeHelp);
    if (Notebook->currentIndex() == 1) Edit1->setFocus(Qt::OtherFocusReason);
}

void TForm1::mOptionsClick() {
    OptionsDlg->Tags = Tags;
    OptionsDlg->SkipNoLetters = Session.SkipNoLetters();
    OptionsDlg->Units = Units;
    if (OptionsDlg->exec() != QDialog::Accepted) return;
    // Takes effect at the next Enter, reload or not.
    Session.SetSkipNoLetters(OptionsDlg->SkipNoLetters);
    if (DocumentOpen() && !MayDropUnsaved()) return;
    Tags = OptionsDlg->Tags;
    Units = OptionsDlg->Units;
    // Read the page again so that the new choice of phrases takes effect.
    if (DocumentOpen()) LoadFile(FileName);
}

void TForm1::mExportClick() {
    // Export needs an open page; the command is offered only then.
    if (!DocumentOpen()) return;
    WizardDlg->ExportMode = true;
    WizardDlg->PagePath = FileName;
    if (WizardDlg->exec() != QDialog::Accepted) return;
    WizardDlg->ExportFormat().Export(Doc, NativePath(FileName),
                                     NativePath(WizardDlg->wizOutput->text()), {});
    // Said, so that the translator knows where the files went.
    Inform(this, AppTitle, Message(TStringId::ExportedFiles, WizardDlg->ExportFiles().join('\n')));
}

void TForm1::mImportClick() {
    WizardDlg->ExportMode = false;
    if (WizardDlg->exec() != QDialog::Accepted) return;
    if (!WizardDlg->wizLoadFile->isChecked() || !MayDropUnsaved()) return;
    // The preview needs a full path; a typed relative one names the file the wizard wrote.
    LoadFile(QFileInfo(WizardDlg->wizDestination->text()).absoluteFilePath());
}

void TForm1::mMergeClick() {
    // Merging needs an open page; the command is offered only then.
    if (!DocumentOpen()) return;
    // The files of every format that merges, by the name its export gives them.
    QStringList patterns;
    for (const TExchangeFormat* format : ExchangeFormats())
        if (const std::string extension = TranslationExtension(*format); !extension.empty())
            patterns << "*" + QString::fromStdString(extension);
    if (patterns.isEmpty()) patterns << "*";
    const QString path = ChooseTranslation(
        QtFileFilter(LoadStr(Language, TStringId::TranslationFiles) + "|" + patterns.join(u';')),
        QFileInfo(FileName).absolutePath());
    if (path.isEmpty() || ChangedElsewhere(SelectedRow(), {})) return;
    const std::string native = NativePath(path);
    const TExchangeFormat* format = TranslationFormatOf ? TranslationFormatOf(native) : nullptr;
    if (!format || !format->ReadTranslation) throw NoTranslationFormatError(native);
    const TPageSession::TMergePlan plan = Session.PlanMerge(native, format);
    const QString shown = QDir::toNativeSeparators(path);
    // The file's numbers name phrases as the page was cut when it was exported: the page is read
    // that way again, which drops drafts and the history.
    if (plan.Recut && (!Ask(TStringId::AskRecutForMerge, shown, true) || !MayDropUnsaved())) return;
    TMergeOptions options;
    if (plan.OtherPage) {
        if (!Ask(TStringId::AskForceMerge, shown, false)) return;
        options.Force = true;
    }
    int row = SelectedRow();
    TMergeReport report;
    if (plan.Recut) {
        TextBoxModel->BeginReset();
        const auto done = qScopeGuard([this] { TextBoxModel->EndReset(); });
        entryRow_ = -1;
        report = Session.Merge(plan, options);
    } else {
        report = Session.Merge(plan, options);
        TextBoxModel->AllRowsChanged();
    }
    row = std::min(row, TextBoxModel->rowCount() - 1);
    if (row >= 0) {
        SelectRowQuietly(row);
        ShowRowInEntry(row);
    }
    UpdateLegend();
    ShowChange();
    QString note = FormatCount(LoadStr(Language, TStringId::MergedCount), report.Translated);
    for (const TError& problem : report.Problems) note += "\n" + ErrorText(problem);
    if (report.LeftOut > report.Problems.size()) note += QString::fromUtf8("\n\xE2\x80\xA6");
    Inform(this, AppTitle, note);
}

void TForm1::Info1Click() { ShowAboutBox(this); }

bool TForm1::LoadFile(const QString& path) {
    if (path.isEmpty()) return false;
    setCursor(Qt::WaitCursor);
    FindBar->Close();
    ProgressPanel->Start();

    std::exception_ptr failure;
    TDocument loaded;
    try {
        loaded = TPageSession::Read(NativePath(path), Tags, Units,
                                    [this](std::size_t position, std::size_t maximum) {
                                        ProgressPanel->Report(position, maximum);
                                    });
    } catch (...) {
        failure = std::current_exception();
    }
    ProgressPanel->hide();
    unsetCursor();
    if (failure) {
        const std::optional<std::string> backup = TPageSession::RecoverableBackup(failure);
        if (backup && Ask(TStringId::AskRecover,
                          QDir::toNativeSeparators(QFile::decodeName(backup->c_str())), true)) {
            try {
                TPageSession::Recover(NativePath(path));
                return LoadFile(path);
            } catch (...) {
                failure = std::current_exception();
            }
        }
        // Reported once the window is back at rest, and the command goes on knowing it failed.
        ShowError(failure);
        return false;
    }

    PlugPageSources(NativePath(path));
    TextBoxModel->BeginReset();
    Session.Adopt(std::move(loaded), NativePath(path));
    OfferProjectDrafts();
    TextBoxModel->EndReset();
    entryRow_ = -1;
    FileName = path;
    UpdateStatus();
    UpdateLegend();
    Notebook->setCurrentIndex(1);
    if (!splitterPlaced_) {
        // Until the user moves it, the matches take a few lines, the list a little more than
        // half of the rest, and more of what a larger window adds.
        splitterPlaced_ = true;
        const int height = Splitter->height();
        const int matches = std::min(height / 4, MatchesPaneHeight(*MatchesPane));
        const int rest = height - matches;
        Splitter->setSizes({matches, rest * 11 / 20, rest - rest * 11 / 20});
    }
    SetDocumentOpen(true);
    // Nothing of the old page stays marked; the first phrase is marked once the page is shown.
    PreviewPane->Mark(-1);
    Preview();
    // The keyboard can start at once: the first phrase is selected, its text ready to be typed
    // over.
    if (TextBoxModel->rowCount() > 0) {
        SelectRowQuietly(0);
        ShowRowInEntry(0);
    } else {
        SetEntryPlaceholders(-1);
        Edit1->clear();
        TextLabel->clear();
        ShowNote(-1);
    }
    Edit1->setFocus(Qt::OtherFocusReason);
    Edit1->selectAll();
    return true;
}

}  // namespace quillfen
