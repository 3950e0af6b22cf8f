#include "ui/Main.h"

#include <QAction>
#include <QApplication>
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
#ifdef QUILLFEN_SOURCES
#include "sources/record.h"
#endif
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

// --- the window ---------------------------------------------------------------------------------

TForm1::TForm1(QWidget* parent) : QMainWindow(parent), SettingsStore(DefaultSettingsStore()) {
    setObjectName("Form1");
    ImageList = MakeKindImages();
    ChooseFileToOpen = [this](const QString& filter, const QString& current) {
        return ChoosePageToOpen(this, filter, current);
    };
    ChooseTranslation = [this](const QString& filter, const QString& folder) {
        QString title = LoadStr(Language, TStringId::MenuMerge).remove(u'&');
        if (title.endsWith("...")) title.chop(3);
        return ChooseTranslationFile(this, title, filter, folder);
    };
    TranslationFormatOf = [](std::string_view path) { return FindTranslationFormat(path); };

    setWindowTitle("Quillfen");
    // The designed size is the first one and the smallest; the settings may bring another.
    resize(611, 466);
    setMinimumSize(611, 466);
    setAcceptDrops(true);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    auto* client = new QWidget(this);
    setCentralWidget(client);
    auto* clientLayout = new QVBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    Notebook = new QStackedWidget(client);
    Notebook->setObjectName("Notebook");
    clientLayout->addWidget(Notebook);

    BuildStartPage();
    BuildTranslatePage();
    BuildHelpPage();
    BuildMenus();
    Notebook->setCurrentIndex(0);
    OkBtn->setEnabled(false);
    SetDocumentOpen(false);
}

TForm1::~TForm1() = default;

std::unique_ptr<TForm1> CreateMainWindow() {
    auto form = std::make_unique<TForm1>();
    form->OptionsDlg = new TOptionsDlg(form.get());
    form->WizardDlg = new TWizardDlg(form.get());
    return form;
}

// --- start and close ----------------------------------------------------------------------------

bool TForm1::focusNextPrevChild(bool next) {
    // The chain is walked here: the preview's content takes the focus late, so that the
    // standard walk cannot be asked where it went.
    QWidget* const start = QApplication::focusWidget();
    if (!start || start->window() != this) return QMainWindow::focusNextPrevChild(next);
    QWidget* w = start;
    for (qsizetype left = findChildren<QWidget*>().size() + 1; left > 0; --left) {
        w = next ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == start) return true;
        if (Browser && (w == Browser || Browser->isAncestorOf(w))) continue;
        if (w->window() == this && w->isVisible() && w->isEnabled() && !w->focusProxy() &&
            (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
    return true;
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!activated_) Guarded([this] { FormActivate(); });
}

void TForm1::FormActivate() {
    if (activated_) return;
    activated_ = true;
    const TSettings s = LoadSettings(SettingsStore);
    Language = s.Language;
    Tags = s.Tags;
    Session.SetSkipNoLetters(s.SkipNoLetters);
    Units = s.Units;
    History = TRecentFiles(s.History);
    if (WizardDlg) WizardDlg->SetExportFormat(s.ExportFormat);
#ifdef QUILLFEN_SOURCES
    // Pages remember what their phrases read before they were replaced. A record that cannot be
    // opened is said once; the window works on without it.
    Guarded([this] {
        SourceRecord = TSourceStore::OpenDefault();
        Session.SetSourceRecord(SourceRecord.get());
    });
#endif
    // A size from another screen is brought back onto this one by the toolkit; none of the
    // designed size goes below its minimum.
    if (!s.WindowGeometry.isEmpty()) restoreGeometry(s.WindowGeometry);
    splitterPlaced_ = RestoreSplitter(*Splitter, s.SplitterState);
    ApplyLanguage();
    Notebook->setCurrentIndex(0);
    OkBtn->setEnabled(false);
    TextBoxModel->Reset();

    HistorySeparator = mFile->insertSeparator(N3);
    HistorySeparator->setObjectName("HistorySeparator");
    HistorySeparator->setVisible(false);
    for (QAction*& item : HistoryItems) {
        item = new QAction(this);
        item->setObjectName(QStringLiteral("History%1").arg(&item - HistoryItems.data() + 1));
        item->setVisible(false);
        QAction* sender = item;
        connect(item, &QAction::triggered, this, Guard([this, sender] { LoadHFile(sender); }));
        mFile->insertAction(N3, item);
    }
    RefreshHistoryMenu();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!closed_ && !MayDropUnsaved()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

namespace {

QString FormatName(const TExchangeFormat& format) {
    return QString::fromUtf8(format.Name.data(), qsizetype(format.Name.size()));
}

}  // namespace

void TForm1::FormClose() {
    if (closed_) return;
    closed_ = true;
    TextBoxModel->BeginReset();
    Session.Forget();
    TextBoxModel->EndReset();
    UpdateEditMenu();
    // A window that was never activated never read the settings; writing its defaults would
    // wipe the stored ones.
    if (!activated_) return;
    // The program still ends; the user learns which store kept the old values.
    Guarded([this] {
        SaveSettings(SettingsStore,
                     {.Language = Language,
                      .Tags = Tags,
                      .History = History.Entries(),
                      .SkipNoLetters = Session.SkipNoLetters(),
                      .Units = Units,
                      .ExportFormat = WizardDlg ? FormatName(WizardDlg->ExportFormat()) : QString(),
                      .WindowGeometry = saveGeometry(),
                      .SplitterState = Splitter->saveState()});
    });
}

// --- language -----------------------------------------------------------------------------------

void TForm1::ApplyLanguage() {
    SetErrorLanguage(Language);
    auto text = [this](TStringId id) { return LoadStr(Language, id); };
    // A number that is no language's (an edited store) leaves the marks and the help as they are.
    if (FindLanguage(Language)) {
        for (std::size_t i = 0; i < Languages().size(); ++i) {
            const bool chosen = Languages()[i].Language == Language;
            LanguageItems[i]->setChecked(chosen);
            HelpMemos[i]->setHidden(!chosen);
        }
    }
    AppTitle = text(TStringId::AppTitle);
    UpdateCaption();
    MatchesPane->ApplyLanguage();
    ApplyProjectLanguage();
    VersionLabel->setText(text(TStringId::VersionCaption) + " " + LoadStr(TStringId::Version));
    mFile->setTitle(text(TStringId::MenuFile));
    mLoad->setText(text(TStringId::MenuOpen));
    mExport->setText(text(TStringId::MenuExport));
    mImport->setText(text(TStringId::MenuCombine));
    mMerge->setText(text(TStringId::MenuMerge));
    mClose->setText(text(TStringId::MenuClose));
    mExit->setText(text(TStringId::MenuExit));
    mEdit->setTitle(text(TStringId::MenuEdit));
    UpdateEditMenu();
    mRevert->setText(text(TStringId::MenuRevert));
    mFind->setText(text(TStringId::MenuFind));
    mGoTo->setText(text(TStringId::MenuGoTo));
    FindOnActions[0]->setText(text(TStringId::MenuFindNext));
    FindOnActions[1]->setText(text(TStringId::MenuFindPrevious));
    FindBar->ApplyLanguage(Language);
    Findings->ApplyLanguage(Language);
    mHelp->setText(text(TStringId::MenuHelp));
    mLanguage->setTitle(text(TStringId::MenuLanguage));
    mOptions->setText(text(TStringId::MenuOptions));
    if (entryRow_ < 0) TextLabel->setText(text(TStringId::SelectPhrase));
    ShowNote(entryRow_);
    OpenFilter = text(TStringId::OpenFilter);
    TextBoxModel->SourceFormat = text(TStringId::SourceOfPhrase);
    BlocksFormat = text(TStringId::PhraseCount);
    FilteredFormat = text(TStringId::FilteredCount);
    WordsFormat = text(TStringId::WordCount);
    UpdateLegend();
    UpdateStatus();
    FilterLabel->setText(text(TStringId::FilterCaption));
    const TStringId filters[] = {TStringId::FilterAll, TStringId::FilterUnchanged,
                                 TStringId::FilterChanged, TStringId::FilterWithFindings};
    for (int i = 0; i < int(std::size(filters)); ++i)
        PhraseFilter->setItemText(i, text(filters[i]));
    if (OptionsDlg) OptionsDlg->ApplyLanguage(Language);
    if (WizardDlg) WizardDlg->ApplyLanguage(Language);
    RefreshHelp();
}

void TForm1::UpdateLegend() {
    const std::uint64_t count = Doc.PhraseCount();
    const std::uint64_t rows = std::uint64_t(TextBoxModel->rowCount());
    Item1->setText(FormatCount(BlocksFormat, count));
    Item2->setText(FormatCount(FilteredFormat, count >= rows ? count - rows : 0));
    Item3->setText(FormatCount(WordsFormat, Session.Words()));
    const QString name = EncodingName(Doc.EncodingInfo());
    EncodingLabel->setText(Message(TStringId::EncodingLine, name));
    EncodingLabel->setToolTip(Message(TStringId::EncodingTip, name));
}

void TForm1::LanguageClick(TLanguage language) {
    Language = language;
    ApplyLanguage();
}

// --- the document -------------------------------------------------------------------------------

void TForm1::ShowChange() {
    UpdateStatus();
    UpdateEditMenu();
    Preview();
    Item3->setText(FormatCount(WordsFormat, Session.Words()));
}

void TForm1::Preview() { PreviewPane->Show(FileName, Doc); }

int TForm1::SelectedRow() const {
    const QModelIndexList rows = TextBox->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

int TForm1::VisibleRows() const { return std::max(1, TextBox->viewport()->height() / 13); }

void TForm1::SelectRowQuietly(int row) {
    const QModelIndex index = TextBoxModel->index(row);
    quietSelection_ = true;
    TextBox->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    quietSelection_ = false;
    TextBox->scrollTo(index);
}

void TForm1::TextBoxClick() {
    const int row = SelectedRow();
    if (row < 0) return;
    ShowRowInEntry(row);
    Edit1->setFocus(Qt::OtherFocusReason);
    Edit1->selectAll();
}

void TForm1::OkBtnClick() {
    if (Edit1->text().isEmpty()) return;
    int i = SelectedRow();
    const QString t = FromText(Session.Cleaned(std::size_t(i), ToText(Edit1->text())));
    if (t != Edit1->text()) Edit1->setText(t);
    // What the editing service would refuse as no phrase ends Ok quietly, as an empty entry.
    if (!IsPhraseText(ToText(t)) || i < 0 || ChangedElsewhere(i, t)) return;
    if (Findings->AskBeforeKeeping(i, ToText(t))) return;

    bool changed = false;
    // The preview changes a sentence in place by its text before.
    std::string before(Doc.Text(std::size_t(i)));
    try {
        changed = Session.Confirm(std::size_t(i), ToText(t));
    } catch (...) {
        // The typed text stays, in the entry and as the row's draft.
        TextBoxModel->RowChanged(i);
        throw;
    }
    TextBoxModel->RowChanged(i);
    if (changed) {
        UpdateStatus();
        UpdateEditMenu();
        Item3->setText(FormatCount(WordsFormat, Session.Words()));
    }

    const int confirmed = i;
    i = int(Session.NextToTranslate(std::size_t(i)));
    // The preview changes the phrase in the page it shows and marks the next one.
    if (changed) PreviewPane->Update(FileName, Doc, confirmed, i, std::move(before));
    SelectRowQuietly(i);
    ShowRowInEntry(i);
    // Typing replaces the next phrase, as after a click on its row.
    Edit1->selectAll();
}

bool TForm1::Edit1KeyDown(int key, Qt::KeyboardModifiers shift) {
    if (key == Qt::Key_Escape) {
        // Esc takes back what was typed: the entry shows what it was given again.
        if (entryRow_ >= 0 && Edit1->text() != entryGiven_) {
            Edit1->setText(entryGiven_);
            Edit1->selectAll();
        }
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        OkBtnClick();
        return false;
    }
    const TMove move = MoveOfKey(key, shift);
    if (move == TMove::None) return false;
    const int row = SelectedRow();
    const int target = int(
        Session.SteerToFilter(MoveTarget(move, row, TextBoxModel->rowCount(), VisibleRows()), row));
    if (target >= 0 && target != row) SelectRowQuietly(target);
    TextBoxClick();
    return move != TMove::Up && move != TMove::Down;
}

void TForm1::GoToRow(int row, bool focusEntry) {
    if (row < 0 || row >= TextBoxModel->rowCount()) return;
    SelectRowQuietly(row);
    if (focusEntry) {
        TextBoxClick();
        return;
    }
    ShowRowInEntry(row);
    Edit1->selectAll();
}

void TForm1::mFindClick() {
    if (!DocumentOpen()) return;
    Notebook->setCurrentIndex(1);
    FindBar->Open();
}

void TForm1::FindOn(bool back) {
    if (!DocumentOpen()) return;
    const bool searched = !FindBar->FindEdit->text().isEmpty();
    if (!searched || FindBar->isHidden()) mFindClick();
    if (searched) FindBar->Find(back ? TFindBar::TStep::Previous : TFindBar::TStep::Next);
}

void TForm1::mGoToClick() {
    const int count = TextBoxModel->rowCount();
    if (!DocumentOpen() || count == 0) return;
    const std::optional<int> number = AskPhraseNumber(this, Language, SelectedRow() + 1, count);
    if (!number) return;
    Notebook->setCurrentIndex(1);
    GoToRow(*number - 1, true);
}

// --- the page's history and other programs' changes ---------------------------------------------

QString TForm1::RowString(int row) const {
    return TextBoxModel->index(row).data(Qt::EditRole).toString();
}

void TForm1::ShowRowInEntry(int row) {
    KeepEntryAsDraft();
    const QString s = RowString(row);
    const std::string* draft = Session.Draft(std::size_t(row));
    entryGiven_ = draft ? FromText(*draft) : s;
    SetEntryPlaceholders(row);
    Edit1->setText(entryGiven_);
    // A replaced phrase shows its source above the entry, as the translator checks it.
    const std::optional<std::string> source = Session.Source(std::size_t(row));
    TextLabel->setText(source ? Message(TStringId::SourceOfPhrase, FromText(*source)) : s);
    ShowNote(row);
    ShowProjectDraft(row);
    entryRow_ = row;
    OkBtn->setEnabled(true);
    MatchesPane->Reach(row);
}

void TForm1::SetEntryPlaceholders(int row) {
    const bool sentence = row >= 0 && std::size_t(row) < Doc.PhraseCount() &&
                          Doc.Spans()[std::size_t(row)].Source == TSource::Sentence;
    std::vector<TEntryPlaceholder> placeholders;
    if (sentence) {
        for (const TPlaceholder& p : Doc.Placeholders(std::size_t(row))) {
            // The tag as the page holds it, or all a carried element holds; a long one cut.
            const std::string_view bytes = Doc.Page().substr(p.Begin, p.End - p.Begin);
            QString content = FromText(TextOfPageBytes(bytes.substr(0, 2000), Doc.EncodingInfo()));
            if (bytes.size() > 2000) content += QChar(0x2026);
            placeholders.push_back({FromText(p.Name), p.Paired, content});
        }
    }
    Edit1->SetPlaceholders(std::move(placeholders), sentence);
}

void TForm1::ShowNote(int row) {
    const std::string_view note =
        row >= 0 && std::size_t(row) < Doc.PhraseCount() ? Doc.Note(std::size_t(row)) : "";
    NoteLabel->setText(note.empty() ? QString()
                                    : Message(TStringId::TranslatorNote, FromText(note)));
    NoteLabel->setVisible(!note.empty());
    Findings->Show(row);
}

bool TForm1::EntryTyped() const {
    if (entryRow_ < 0 || entryRow_ >= TextBoxModel->rowCount()) return false;
    const QString typed = Edit1->text();
    // What the entry was given is no typing, though an undo may have changed the row since.
    return typed != entryGiven_ && typed != RowString(entryRow_);
}

void TForm1::KeepEntryAsDraft() {
    if (entryRow_ < 0 || entryRow_ >= TextBoxModel->rowCount()) return;
    const QString typed = Edit1->text();
    if (typed == entryGiven_) return;
    SetDraft(entryRow_, typed == RowString(entryRow_) ? QString() : typed);
    entryGiven_ = typed;
}

void TForm1::SetDraft(int row, const QString& text) {
    const bool had = Session.Draft(std::size_t(row)) != nullptr;
    Session.SetDraft(std::size_t(row), ToText(text));
    if (had || !text.isEmpty()) TextBoxModel->RowChanged(row);
}

bool TForm1::HasDrafts() const { return !Session.Drafts().empty() || EntryTyped(); }

void TForm1::UpdateStatus() {
    const int count = TextBoxModel->rowCount();
    if (!DocumentOpen() || count == 0) {
        StatusLabel->clear();
        return;
    }
    QString where = LoadStr(Language, TStringId::StatusPhraseOf);
    where = FormatCount(FormatCount(where, std::uint64_t(SelectedRow() + 1)), std::uint64_t(count));
    const TPageSession::TDone done = Session.Done();
    // Rounded down, so that 100 % means all of it.
    auto percent = [](std::uint64_t part, std::uint64_t all) {
        return all == 0 ? std::uint64_t(0) : part * 100 / all;
    };
    const QString doneText = FormatCount(FormatCount(LoadStr(Language, TStringId::StatusDone),
                                                     percent(done.Phrases, done.AllPhrases)),
                                         percent(done.Words, done.AllWords));
    StatusLabel->setText(where + "   " +
                         FormatCount(LoadStr(Language, TStringId::StatusChanged), done.Phrases) +
                         "   " + doneText);
}

void TForm1::UpdateCaption() {
    setWindowTitle(DocumentOpen() ? AppTitle + " - " + QDir::toNativeSeparators(FileName)
                                  : AppTitle);
}

void TForm1::SetDocumentOpen(bool open) {
    UpdateCaption();
    UpdateStatus();
    mClose->setEnabled(open);
    mExport->setEnabled(open);
    mMerge->setEnabled(open);
    UpdateEditMenu();
}

void TForm1::UpdateEditMenu() {
    // A closed page offers nothing: its commands would write a file no longer shown.
    const bool open = DocumentOpen();
    mUndo->setEnabled(open && Session.CanUndo());
    mRedo->setEnabled(open && Session.CanRedo());
    // Each names the phrase it goes to, or how many it changes.
    auto named = [this](TStringId command, const std::vector<std::size_t>& phrases) {
        QString text = LoadStr(Language, command);
        if (phrases.size() == 1)
            text += " " +
                    FormatCount(LoadStr(Language, TStringId::UndoWhichPhrase), phrases.front() + 1);
        else if (!phrases.empty())
            text +=
                " " + FormatCount(LoadStr(Language, TStringId::UndoWhichPhrases), phrases.size());
        return text;
    };
    mUndo->setText(
        named(TStringId::MenuUndo, open ? Session.UndoPhrases() : std::vector<std::size_t>{}));
    mRedo->setText(
        named(TStringId::MenuRedo, open ? Session.RedoPhrases() : std::vector<std::size_t>{}));
    // The Help page names the commands, not the phrase they go to now.
    mUndo->setIconText(LoadStr(Language, TStringId::MenuUndo).remove(u'&'));
    mRedo->setIconText(LoadStr(Language, TStringId::MenuRedo).remove(u'&'));
    mRevert->setEnabled(open && Session.CanRevert());
    mFind->setEnabled(open);
    mGoTo->setEnabled(open);
    // Every written step (Ok, undo and redo, revert, merge) ends here, so this is where what its
    // observers failed to keep is taken.
    TellObserverFailure();
}

void TForm1::TellObserverFailure() {
    const std::exception_ptr failure = Session.TakeObserverFailure();
    if (!failure) {
        observerFailureTold_.clear();
        return;
    }
    QString text;
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        text = ErrorText(e);
    } catch (...) {
        // No text of its own to compare: the box says "Unknown error".
        QMetaObject::invokeMethod(
            this, [failure]() noexcept { ShowError(failure); }, Qt::QueuedConnection);
        return;
    }
    // A memory that cannot be written fails at every Enter; one box says it.
    if (text == observerFailureTold_) return;
    observerFailureTold_ = text;
    // After the step has been shown in full: the box waits for the user.
    QMetaObject::invokeMethod(
        this, [this, text]() noexcept { ShowError(Message(TStringId::StepNotKept, text)); },
        Qt::QueuedConnection);
}

QString TForm1::Message(TStringId id, const QString& value) const {
    return FillIn(LoadStr(Language, id), value);
}

bool TForm1::Ask(TStringId id, const QString& path, bool yesByDefault) {
    return AskYesNo(this, AppTitle, Message(id, path), LoadStr(Language, TStringId::Yes),
                    LoadStr(Language, TStringId::No), yesByDefault);
}

bool TForm1::MayDropUnsaved(int keptRow) {
    if (!DocumentOpen()) return true;
    if (keptRow < 0) KeepEntryAsDraft();
    const auto& drafts = Session.Drafts();
    const std::size_t others = drafts.size() - (keptRow >= 0 ? drafts.count(keptRow) : 0);
    if (others == 0 && !Session.SaveFailed()) return true;
    // Text whose save failed is the weightier loss; it is a draft too.
    if (!Ask(Session.SaveFailed() ? TStringId::AskDropFailedSave : TStringId::AskDropDrafts,
             QDir::toNativeSeparators(FileName), false))
        return false;
    Session.DropDrafts();
    TextBoxModel->AllRowsChanged();
    entryRow_ = -1;
    // What was given up leaves the entry too, even where the command then fails and the page
    // stays open.
    if (const int row = SelectedRow(); row >= 0) {
        ShowRowInEntry(row);
        Edit1->selectAll();
    }
    return true;
}

bool TForm1::ChangedElsewhere(int row, const std::optional<QString>& entry) {
    if (!Session.ChangedOnDisk()) return false;
    // The entry's text is the one draft that survives the reload.
    if (!Ask(TStringId::AskReloadChanged, QDir::toNativeSeparators(FileName), true) ||
        !MayDropUnsaved(entry ? row : -1))
        return true;
    if (!LoadFile(FileName) || row < 0 || row >= TextBoxModel->rowCount()) return true;
    SelectRowQuietly(row);
    ShowRowInEntry(row);
    if (entry) Edit1->setText(*entry);
    Edit1->setFocus(Qt::OtherFocusReason);
    return true;
}

void TForm1::ShowHistoryStep(const std::vector<std::size_t>& phrases) {
    if (phrases.empty()) return;
    for (const std::size_t i : phrases) TextBoxModel->RowChanged(int(i));
    const int row = int(phrases.front());
    SelectRowQuietly(row);
    ShowRowInEntry(row);
    UpdateStatus();
    UpdateEditMenu();
    // The preview changes the phrases in the page it shows.
    for (const std::size_t i : phrases) PreviewPane->Update(FileName, Doc, int(i), row);
    Item3->setText(FormatCount(WordsFormat, Session.Words()));
}

void TForm1::mUndoClick() {
    if (!DocumentOpen() || !Session.CanUndo() || !MayChangeAtOnce(Session.UndoPhrases()) ||
        ChangedElsewhere(SelectedRow(), {}))
        return;
    ShowHistoryStep(Session.Undo());
}

void TForm1::mRedoClick() {
    if (!DocumentOpen() || !Session.CanRedo() || !MayChangeAtOnce(Session.RedoPhrases()) ||
        ChangedElsewhere(SelectedRow(), {}))
        return;
    ShowHistoryStep(Session.Redo());
}

bool TForm1::MayChangeAtOnce(const std::vector<std::size_t>& phrases) {
    // A merge taken back by a slip of the keys would cost the most work of all.
    if (phrases.size() <= 1) return true;
    const QString text =
        FormatCount(LoadStr(Language, TStringId::AskManyPhrasesStep), phrases.size());
    return AskYesNo(this, AppTitle, text, LoadStr(Language, TStringId::Yes),
                    LoadStr(Language, TStringId::No), false);
}

void TForm1::mRevertClick() {
    if (!DocumentOpen() || !Session.CanRevert()) return;
    if (!Ask(TStringId::AskRevert, QDir::toNativeSeparators(FileName), false)) return;
    if (ChangedElsewhere(SelectedRow(), {})) return;
    Session.Revert();
    TextBoxModel->AllRowsChanged();
    if (const int row = SelectedRow(); row >= 0) ShowRowInEntry(row);
    ShowChange();
}

void TForm1::EntryUndoRedo(bool redo) {
    // The entry's keys take back typing only: a confirmed replacement is the Edit menu's to take
    // back, so that no key pressed once too often undoes another phrase's work.
    if (redo)
        Edit1->redo();
    else
        Edit1->undo();
}

}  // namespace quillfen
