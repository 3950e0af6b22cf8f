#include "ui/Main.h"

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
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <algorithm>

#include "core/anchors.h"
#include "core/buffer.h"
#include "core/editing.h"
#include "core/errors.h"
#include "core/phrasetext.h"
#include "core/savefile.h"
#include "exchange/formats.h"
#include "exchange/merge.h"
#include "settings/stringtable.h"
#include "ui/about.h"
#include "ui/application.h"
#include "ui/codec.h"
#include "ui/desktop.h"
#include "ui/entryedit.h"
#include "ui/filedialogs.h"
#include "ui/findbar.h"
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
    ChooseTranslation = [this](const QString& filter, const QString& current) {
        return ChoosePageToOpen(this, filter, current);
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

void TForm1::BuildTranslatePage() {
    auto* page = new QWidget;
    page->setObjectName("Translate");
    auto* col = new QVBoxLayout(page);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);

    // The entry and the list above, the preview below; the splitter shares the height between
    // them, and every part takes the window's width.
    Panel1 = new QWidget(page);
    Panel1->setObjectName("Panel1");
    Panel1->setFont(PixelFont("MS Sans Serif", 11));
    auto* panel = new QVBoxLayout(Panel1);
    panel->setContentsMargins(8, 4, 8, 4);
    panel->setSpacing(4);

    auto* bevel = new QFrame(Panel1);
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    panel->addWidget(bevel);

    // The current phrase in full, to read and to copy from; a long one scrolls within a few
    // lines.
    TextLabel = new QLabel("Select a phrase to translate.");
    TextLabel->setObjectName("TextLabel");
    TextLabel->setTextFormat(Qt::PlainText);
    TextLabel->setWordWrap(true);
    TextLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    TextLabel->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    TextLabel->setFocusPolicy(Qt::ClickFocus);
    auto* labelArea = new QScrollArea(Panel1);
    labelArea->setObjectName("TextLabelArea");
    labelArea->setFrameShape(QFrame::NoFrame);
    labelArea->setWidgetResizable(true);
    labelArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    labelArea->setWidget(TextLabel);
    labelArea->setMaximumHeight(4 * QFontMetrics(Panel1->font()).lineSpacing() + 4);
    labelArea->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    panel->addWidget(labelArea);
    NoteLabel = new QLabel(Panel1);
    NoteLabel->setObjectName("NoteLabel");
    NoteLabel->setTextFormat(Qt::PlainText);
    NoteLabel->setWordWrap(true);
    NoteLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont noteFont = NoteLabel->font();
    noteFont.setItalic(true);
    NoteLabel->setFont(noteFont);
    NoteLabel->hide();
    panel->addWidget(NoteLabel);

    Edit1 = new TEntryEdit(Panel1);
    Edit1->setObjectName("Edit1");
    Edit1->KeyDown = [this](int key, Qt::KeyboardModifiers shift) {
        bool taken = false;
        Guarded([&] { taken = Edit1KeyDown(key, shift); });
        return taken;
    };
    Edit1->UndoRedo = [this](bool redo) { Guarded([this, redo] { EntryUndoRedo(redo); }); };
    panel->addWidget(Edit1);
    col->addWidget(Panel1);

    Splitter = new QSplitter(Qt::Vertical, page);
    Splitter->setObjectName("Splitter");
    Splitter->setChildrenCollapsible(false);
    col->addWidget(Splitter, 1);

    auto* listPanel = new QWidget(Splitter);
    listPanel->setObjectName("ListPanel");
    listPanel->setFont(Panel1->font());
    auto* listCol = new QVBoxLayout(listPanel);
    listCol->setContentsMargins(8, 0, 8, 4);
    listCol->setSpacing(2);
    // The find field, when open, and beside it the filter that Enter, the page keys and find
    // follow.
    auto* filterRow = new QHBoxLayout;
    filterRow->setSpacing(6);
    listCol->addLayout(filterRow);
    auto* listRow = new QHBoxLayout;
    listRow->setSpacing(8);
    listCol->addLayout(listRow, 1);

    auto* list = new TPhraseList(Doc, ImageList, listPanel);
    list->setObjectName("TextBox");
    list->setMinimumHeight(4 * 13 + 4);
    TextBox = list;
    TextBoxModel = list->Model;
    // The preview follows every selection; only the user's own in the list is a click.
    connect(TextBox->selectionModel(), &QItemSelectionModel::selectionChanged, this, Guard([this] {
                PreviewPane->Mark(SelectedRow());
                UpdateStatus();
                if (!quietSelection_) TextBoxClick();
            }));
    listRow->addWidget(TextBox, 1);

    auto* side = new QVBoxLayout;
    side->setSpacing(8);
    OkBtn = new QPushButton("Ok", listPanel);
    OkBtn->setObjectName("OkBtn");
    OkBtn->setFixedSize(81, 41);
    OkBtn->setFont(PixelFont("MS Sans Serif", 11, true));
    OkBtn->setIcon(MakeTickIcon());
    OkBtn->setIconSize(QSize(18, 18));
    OkBtn->setAutoDefault(false);
    connect(OkBtn, &QPushButton::clicked, this, Guard([this] { OkBtnClick(); }));
    side->addWidget(OkBtn, 0, Qt::AlignHCenter);
    BuildLegend(listPanel);
    side->addWidget(GroupBox1);
    side->addStretch(1);
    listRow->addLayout(side);

    setTabOrder(TextBox, Edit1);
    setTabOrder(Edit1, OkBtn);

    auto* previewPanel = new QWidget(Splitter);
    previewPanel->setObjectName("PreviewPanel");
    auto* previewCol = new QVBoxLayout(previewPanel);
    previewCol->setContentsMargins(0, 0, 0, 0);
    previewCol->setSpacing(0);
    Splitter->setStretchFactor(0, 3);
    Splitter->setStretchFactor(1, 2);

    FindBar = new TFindBar(TextBoxModel, listPanel);
    FindBar->setFont(Panel1->font());
    FindBar->Accepts = [this](int row) { return TextBoxModel->InFilter(row); };
    FindBar->CurrentRow = [this] { return SelectedRow(); };
    FindBar->Found = [this](int row) { GoToRow(row, false); };
    FindBar->Closed = [this] {
        Edit1->setFocus(Qt::OtherFocusReason);
        Edit1->selectAll();
    };
    filterRow->addWidget(FindBar, 1);
    filterRow->addStretch(0);
    FilterLabel = new QLabel(listPanel);
    FilterLabel->setObjectName("FilterLabel");
    PhraseFilter = new QComboBox(listPanel);
    PhraseFilter->setObjectName("PhraseFilter");
    PhraseFilter->addItems({"All phrases", "Unchanged", "Changed"});
    FilterLabel->setBuddy(PhraseFilter);
    connect(PhraseFilter, &QComboBox::currentIndexChanged, this, [this](int index) {
        Guarded([this, index] { TextBoxModel->SetFilter(TPhraseModel::TFilter(index)); });
    });
    filterRow->addStretch(1);
    filterRow->addWidget(FilterLabel);
    filterRow->addWidget(PhraseFilter);

    Browser = new QWebEngineView(previewPanel);
    Browser->setMinimumHeight(60);
    Browser->setObjectName("Browser");
    PreviewPane = new TPreview(Browser, this);
    PreviewPane->setObjectName("PreviewPane");
    PreviewPane->Extent = [this](int phrase) {
        return int(SentenceCharacters(Doc, std::size_t(phrase)));
    };
    // A page dropped anywhere on the window opens; the preview would only show it.
    PassDropsOn(Browser);
    connect(PreviewPane, &TPreview::PhraseClicked, this,
            [this](int phrase) { Guarded([this, phrase] { GoToRow(phrase, true); }); });
    connect(PreviewPane, &TPreview::LoadFinished, this, [this](bool ok) {
        Guarded([this, ok] {
            // A load cut short by the next save reports failure too; only a page that cannot be
            // read is worth a message.
            if (!ok && !FileName.isEmpty() && !QFileInfo(FileName).isReadable())
                throw CannotOpenError(NativePath(FileName));
        });
    });
    previewCol->addWidget(Browser, 1);

    StatusLabel = new QLabel(this);
    StatusLabel->setObjectName("StatusLabel");
    statusBar()->setObjectName("StatusBar");
    statusBar()->addWidget(StatusLabel, 1);

    ProgressPanel = new TProgressPanel(centralWidget());
    ProgressBar = ProgressPanel->Bar;

    Notebook->addWidget(page);
}

void TForm1::BuildMenus() {
    QMenuBar* bar = menuBar();
    mFile = bar->addMenu("&File");
    mFile->setObjectName("mFile");
    mLoad = AddCommand(mFile, "mLoad", "&Open", &TForm1::mLoadClick,
                       QKeySequence(Qt::CTRL | Qt::Key_O));
    mClose = AddCommand(mFile, "mClose", "&Close", &TForm1::mCloseClick);
    N1 = mFile->addSeparator();
    N1->setObjectName("N1");
    mExport =
        AddCommand(mFile, "mExport", "&Extract plain text", &TForm1::mExportClick, Qt::Key_F7);
    mImport = AddCommand(mFile, "mImport", "Com&bine", &TForm1::mImportClick, Qt::Key_F8);
    mMerge = AddCommand(mFile, "mMerge", "&Merge translation...", &TForm1::mMergeClick);
    N3 = mFile->addSeparator();
    N3->setObjectName("N3");
    mExit = AddCommand(mFile, "mExit", "E&xit", &TForm1::mExitClick);

    // Between File and Language; Alt+E belongs to Extra.
    mEdit = bar->addMenu("E&dit");
    mEdit->setObjectName("mEdit");
    mUndo = AddCommand(mEdit, "mUndo", "&Undo", &TForm1::mUndoClick,
                       QKeySequence(Qt::CTRL | Qt::Key_Z));
    mRedo = AddCommand(mEdit, "mRedo", "&Redo", &TForm1::mRedoClick);
    mRedo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    N5 = mEdit->addSeparator();
    N5->setObjectName("N5");
    mRevert = AddCommand(mEdit, "mRevert", "Re&vert page", &TForm1::mRevertClick);
    N6 = mEdit->addSeparator();
    N6->setObjectName("N6");
    mFind = AddCommand(mEdit, "mFind", "&Find...", &TForm1::mFindClick,
                       QKeySequence(Qt::CTRL | Qt::Key_F));
    mGoTo = AddCommand(mEdit, "mGoTo", "&Go to phrase...", &TForm1::mGoToClick,
                       QKeySequence(Qt::CTRL | Qt::Key_G));

    mLanguage = bar->addMenu("&Language");
    mLanguage->setObjectName("mLanguage");
    for (const TLanguageEntry& entry : Languages()) {
        QAction* item = mLanguage->addAction(QString::fromUtf8(entry.Name));
        item->setObjectName(entry.MenuItem);
        item->setCheckable(true);
        item->setChecked(entry.Language == Language);
        connect(item, &QAction::triggered, this,
                Guard([this, language = entry.Language] { LanguageClick(language); }));
        LanguageItems.push_back(item);
    }

    mExtra = bar->addMenu("&Extra");
    mExtra->setObjectName("mExtra");
    mHelp = AddCommand(mExtra, "mHelp", "&Help", &TForm1::mHelpClick, Qt::Key_F1);
    mHelp->setIcon(QIcon(MakeHelpBitmap()));
    mOptions = AddCommand(mExtra, "mOptions", "O&ptions", &TForm1::mOptionsClick);
    N4 = mExtra->addSeparator();
    N4->setObjectName("N4");
    Info1 = AddCommand(mExtra, "Info1", "Inf&o...", &TForm1::Info1Click);
}

QAction* TForm1::AddCommand(QMenu* menu, const char* name, const QString& text,
                            void (TForm1::*command)(), const QKeySequence& key) {
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    action->setShortcut(key);
    connect(action, &QAction::triggered, this, Guard([this, command] { (this->*command)(); }));
    return action;
}

// --- start and close ----------------------------------------------------------------------------

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
    SkipNoLetters = s.SkipNoLetters;
    Units = s.Units;
    History = TRecentFiles(s.History);
    if (WizardDlg) WizardDlg->SetExportFormat(s.ExportFormat);
    // A size from another screen is brought back onto this one by the toolkit; none of the
    // designed size goes below its minimum.
    if (!s.WindowGeometry.isEmpty()) restoreGeometry(s.WindowGeometry);
    splitterPlaced_ = !s.SplitterState.isEmpty() && Splitter->restoreState(s.SplitterState);
    ApplyLanguage();
    Notebook->setCurrentIndex(0);
    OkBtn->setEnabled(false);
    Doc.Clear();
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
    Doc.Clear();
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
                      .SkipNoLetters = SkipNoLetters,
                      .Units = Units,
                      .ExportFormat = WizardDlg ? FormatName(WizardDlg->ExportFormat()) : QString(),
                      .WindowGeometry = saveGeometry(),
                      .SplitterState = Splitter->saveState()});
    });
}

// --- language -----------------------------------------------------------------------------------

void TForm1::ApplyLanguage() {
    SetErrorLanguage(Language);
    auto text = [this](int n) { return LoadStr(Language, n); };
    // A number that is no language's (an edited store) leaves the marks and the help as they are.
    if (FindLanguage(Language)) {
        for (std::size_t i = 0; i < Languages().size(); ++i) {
            const bool chosen = Languages()[i].Language == Language;
            LanguageItems[i]->setChecked(chosen);
            HelpMemos[i]->setHidden(!chosen);
        }
    }
    AppTitle = text(1);
    UpdateCaption();
    VersionLabel->setText(text(2) + " " + LoadStr(VersionId));
    mFile->setTitle(text(10));
    mLoad->setText(text(11));
    mExport->setText(text(17));
    mImport->setText(text(18));
    mMerge->setText(text(92));
    mClose->setText(text(12));
    mExit->setText(text(13));
    mEdit->setTitle(text(56));
    mUndo->setText(text(57));
    mRedo->setText(text(58));
    mRevert->setText(text(59));
    mFind->setText(text(70));
    mGoTo->setText(text(71));
    FindBar->ApplyLanguage(Language);
    mHelp->setText(text(14));
    mLanguage->setTitle(text(15));
    mOptions->setText(text(16));
    if (entryRow_ < 0) TextLabel->setText(text(20));
    ShowNote(entryRow_);
    OpenFilter = text(21);
    BlocksFormat = text(23);
    FilteredFormat = text(24);
    WordsFormat = text(26);
    UpdateLegend();
    UpdateStatus();
    FilterLabel->setText(text(82));
    for (int i = 0; i < 3; ++i) PhraseFilter->setItemText(i, text(83 + i));
    if (OptionsDlg) OptionsDlg->ApplyLanguage(Language);
    if (WizardDlg) WizardDlg->ApplyLanguage(Language);
}

void TForm1::UpdateLegend() {
    const std::uint64_t count = Doc.PhraseCount();
    const std::uint64_t rows = std::uint64_t(TextBoxModel->rowCount());
    Item1->setText(FormatCount(BlocksFormat, count));
    Item2->setText(FormatCount(FilteredFormat, count >= rows ? count - rows : 0));
    Item3->setText(FormatCount(WordsFormat, Doc.TotalWords()));
    const QString name = EncodingName(Doc.EncodingInfo());
    EncodingLabel->setText(Message(66, name));
    EncodingLabel->setToolTip(Message(67, name));
}

void TForm1::LanguageClick(TLanguage language) {
    Language = language;
    ApplyLanguage();
}

// --- recent files -------------------------------------------------------------------------------

void TForm1::RefreshHistoryMenu() {
    if (!HistorySeparator) return;
    bool any = false;
    for (std::size_t n = 0; n < TRecentFiles::Capacity; ++n) {
        if (History[n].isEmpty()) continue;
        HistoryItems[n]->setText(TRecentFiles::MenuText(n, History[n]));
        HistoryItems[n]->setVisible(true);
        any = true;
    }
    if (any) HistorySeparator->setVisible(true);
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
    if (!QFileInfo(path).isFile() || !MayDropUnsaved()) return;
    LoadFile(path);
}

// --- commands -----------------------------------------------------------------------------------

void TForm1::mCloseClick() {
    if (!MayDropUnsaved()) return;
    Notebook->setCurrentIndex(0);
    SetDocumentOpen(false);
}

void TForm1::mExitClick() { close(); }

void TForm1::mHelpClick() {
    PageBeforeHelp = std::uint8_t(Notebook->currentIndex());
    Notebook->setCurrentIndex(2);
}

void TForm1::CloseHelpBtnClick() { Notebook->setCurrentIndex(PageBeforeHelp); }

void TForm1::mOptionsClick() {
    OptionsDlg->Tags = Tags;
    OptionsDlg->SkipNoLetters = SkipNoLetters;
    OptionsDlg->Units = Units;
    if (OptionsDlg->exec() != QDialog::Accepted) return;
    // Takes effect at the next Enter, reload or not.
    SkipNoLetters = OptionsDlg->SkipNoLetters;
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
    if (WizardDlg->exec() != QDialog::Accepted) return;
    WizardDlg->ExportFormat().Export(Doc, NativePath(FileName),
                                     NativePath(WizardDlg->wizOutput->text()), {});
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
    const QString path =
        ChooseTranslation(QtFileFilter(LoadStr(Language, 93) + "|" + patterns.join(u';')),
                          QFileInfo(FileName).absolutePath());
    if (path.isEmpty() || ChangedElsewhere(SelectedRow(), {})) return;
    const std::string native = NativePath(path);
    const TExchangeFormat* format = TranslationFormatOf ? TranslationFormatOf(native) : nullptr;
    if (!format || !format->ReadTranslation) throw NoTranslationFormatError(native);
    TMergeOptions options;
    if (!IsExportOf(Doc, ReadTranslationStamp(*format, native))) {
        if (!Ask(94, QDir::toNativeSeparators(path), false)) return;
        options.Force = true;
    }
    // Read unit by unit as it is merged: a translation file may be many times the page.
    const TMergeReport report =
        MergeTranslationFile(Doc, *format, native, options, [this] { Save(); });
    TextBoxModel->AllRowsChanged();
    if (const int row = SelectedRow(); row >= 0) ShowRowInEntry(row);
    ShowChange();
    QString note = FormatCount(LoadStr(Language, 95), report.Translated);
    for (const TError& problem : report.Problems) note += "\n" + ErrorText(problem);
    if (report.LeftOut > report.Problems.size()) note += QString::fromUtf8("\n\xE2\x80\xA6");
    Inform(this, AppTitle, note);
}

void TForm1::Info1Click() { ShowAboutBox(this); }

// --- the document -------------------------------------------------------------------------------

bool TForm1::LoadFile(const QString& path) {
    if (path.isEmpty()) return false;
    setCursor(Qt::WaitCursor);
    FindBar->Close();
    ProgressPanel->Start();

    // Read beside the open page: a page that cannot be opened leaves it as it was.
    TDocument loaded;
    std::exception_ptr failure;
    try {
        loaded.LoadFile(NativePath(path), Tags, Units,
                        [this](std::size_t position, std::size_t maximum) {
                            ProgressPanel->Report(position, maximum);
                        });
    } catch (...) {
        failure = std::current_exception();
    }
    ProgressPanel->hide();
    unsetCursor();
    if (failure) {
        if (OfferRecovery(failure)) return LoadFile(path);
        // Reported once the window is back at rest, and the command goes on knowing it failed.
        ShowError(failure);
        return false;
    }

    // Whatever was typed or failed to save went with the page it belonged to.
    TextBoxModel->BeginReset();
    Doc = std::move(loaded);
    TextBoxModel->EndReset();
    DropDrafts();
    FileName = path;
    RecountChanged();
    UpdateLegend();
    Notebook->setCurrentIndex(1);
    if (!splitterPlaced_) {
        // Until the user moves it, the list takes a little more than half, and more of what
        // a larger window adds.
        splitterPlaced_ = true;
        const int height = Splitter->height();
        Splitter->setSizes({height * 11 / 20, height - height * 11 / 20});
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

bool TForm1::OfferRecovery(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const TInterruptedSaveError& e) {
        // Another program wrote the page since: which bytes to keep is the user's to decide, and
        // the error names both files.
        if (e.Foreign) return false;
        if (!Ask(63, QDir::toNativeSeparators(QFile::decodeName(e.Backup.c_str())), true))
            return false;
        try {
            RecoverInterruptedSave(e.Page);
            return true;
        } catch (const std::exception& again) {
            ShowError(again);
        }
    } catch (...) {
    }
    return false;
}

void TForm1::Save() {
    // Stays set when the save raises.
    saveFailed_ = true;
    Doc.Save(NativePath(FileName));
    saveFailed_ = false;
}

void TForm1::ShowChange() {
    RecountChanged();
    UpdateEditMenu();
    Preview();
    Item3->setText(FormatCount(WordsFormat, Doc.TotalWords()));
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
    const QString t = FromText(CleanedText(Doc, std::size_t(i), ToText(Edit1->text())));
    if (t != Edit1->text()) Edit1->setText(t);
    // What the editing service would refuse as no phrase ends Ok quietly, as an empty entry.
    if (!IsPhraseText(ToText(t)) || i < 0 || ChangedElsewhere(i, t)) return;

    // A text that shows as the phrase does is the phrase's own, bytes the page's encoding could
    // not read included: nothing to write, no step to undo.
    const std::string current(Doc.Text(std::size_t(i)));
    const bool changed = FromText(current) != t;
    if (changed) {
        try {
            ConfirmPhrase(std::size_t(i), ToText(t));
        } catch (...) {
            // The typed text stays, in the entry and as the row's draft.
            SetDraft(i, t);
            throw;
        }
    }
    SetDraft(i, {});

    const int confirmed = i;
    i = NextToTranslate(i);
    // The preview changes the phrase in the page it shows and marks the next one.
    if (changed) PreviewPane->Update(FileName, Doc, confirmed, i);
    SelectRowQuietly(i);
    ShowRowInEntry(i);
    // Typing replaces the next phrase, as after a click on its row.
    Edit1->selectAll();
}

int TForm1::NextToTranslate(int row) const {
    for (int next = row + 1; next < TextBoxModel->rowCount(); ++next) {
        if (!TextBoxModel->InFilter(next)) continue;
        if (SkipNoLetters && !HasLetterOrDigit(RowString(next))) continue;
        return next;
    }
    // The last one stays.
    return row;
}

int TForm1::SteerToFilter(int target, int row) const {
    if (target < 0 || TextBoxModel->InFilter(target)) return target;
    const int count = TextBoxModel->rowCount();
    const int step = target >= row ? 1 : -1;
    // On in the direction of the move, else back towards where it started.
    for (int r = target + step; r >= 0 && r < count; r += step)
        if (TextBoxModel->InFilter(r)) return r;
    for (int r = target - step; r != row && r >= 0 && r < count; r -= step)
        if (TextBoxModel->InFilter(r)) return r;
    return row;
}

void TForm1::ConfirmPhrase(std::size_t i, std::string text) {
    // The editing service writes the page and makes the change an undo step only once it is
    // written: a save that fails leaves the phrase, its row and the history as they were.
    ReplacePhrases(Doc, {{i, std::move(text)}}, [this] { Save(); });
    TextBoxModel->RowChanged(int(i));
    RecountChanged();
    UpdateEditMenu();
    Item3->setText(FormatCount(WordsFormat, Doc.TotalWords()));
}

bool TForm1::Edit1KeyDown(int key, Qt::KeyboardModifiers shift) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        OkBtnClick();
        return false;
    }
    const TMove move = MoveOfKey(key, shift);
    if (move == TMove::None) return false;
    const int row = SelectedRow();
    const int target =
        SteerToFilter(MoveTarget(move, row, TextBoxModel->rowCount(), VisibleRows()), row);
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
    const auto draft = Drafts.find(row);
    entryGiven_ = draft != Drafts.end() ? draft->second : s;
    SetEntryPlaceholders(row);
    Edit1->setText(entryGiven_);
    TextLabel->setText(s);
    ShowNote(row);
    entryRow_ = row;
    OkBtn->setEnabled(true);
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
    NoteLabel->setText(note.empty() ? QString() : Message(88, FromText(note)));
    NoteLabel->setVisible(!note.empty());
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
    const bool had = Drafts.count(row) != 0;
    if (text.isEmpty())
        Drafts.erase(row);
    else
        Drafts[row] = text;
    if (had || !text.isEmpty()) TextBoxModel->SetDraft(row, text);
}

void TForm1::DropDrafts() {
    Drafts.clear();
    TextBoxModel->ClearDrafts();
    entryRow_ = -1;
    saveFailed_ = false;
}

bool TForm1::HasDrafts() const { return !Drafts.empty() || EntryTyped(); }

void TForm1::RecountChanged() {
    changedCount_ = 0;
    for (std::size_t i = 0; i < Doc.PhraseCount(); ++i)
        if (Doc.IsChanged(i)) ++changedCount_;
    UpdateStatus();
}

void TForm1::UpdateStatus() {
    const int count = TextBoxModel->rowCount();
    if (!DocumentOpen() || count == 0) {
        StatusLabel->clear();
        return;
    }
    QString where = LoadStr(Language, 80);
    where = FormatCount(FormatCount(where, std::uint64_t(SelectedRow() + 1)), std::uint64_t(count));
    StatusLabel->setText(where + "   " + FormatCount(LoadStr(Language, 81), changedCount_));
}

void TForm1::UpdateCaption() {
    setWindowTitle(DocumentOpen() ? AppTitle + " - " + QDir::toNativeSeparators(FileName)
                                  : AppTitle);
}

void TForm1::SetDocumentOpen(bool open) {
    documentOpen_ = open;
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
    mUndo->setEnabled(open && Doc.CanUndo());
    mRedo->setEnabled(open && Doc.CanRedo());
    mRevert->setEnabled(open && Doc.CanRevert());
    mFind->setEnabled(open);
    mGoTo->setEnabled(open);
}

QString TForm1::Message(int id, const QString& value) const {
    return FillIn(LoadStr(Language, id), value);
}

bool TForm1::Ask(int id, const QString& path, bool yesByDefault) {
    return AskYesNo(this, AppTitle, Message(id, path), LoadStr(Language, 64), LoadStr(Language, 65),
                    yesByDefault);
}

bool TForm1::MayDropUnsaved(int keptRow) {
    if (!DocumentOpen()) return true;
    if (keptRow < 0) KeepEntryAsDraft();
    const std::size_t drafts = Drafts.size() - Drafts.count(keptRow);
    if (drafts == 0 && !saveFailed_) return true;
    // Text whose save failed is the weightier loss; it is a draft too.
    if (!Ask(saveFailed_ ? 62 : 79, QDir::toNativeSeparators(FileName), false)) return false;
    DropDrafts();
    return true;
}

bool TForm1::ChangedElsewhere(int row, const std::optional<QString>& entry) {
    if (!Doc.ChangedOnDisk(NativePath(FileName))) return false;
    // The entry's text is the one draft that survives the reload.
    if (!Ask(61, QDir::toNativeSeparators(FileName), true) || !MayDropUnsaved(entry ? row : -1))
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
    RecountChanged();
    UpdateEditMenu();
    // The preview changes the phrases in the page it shows.
    for (const std::size_t i : phrases) PreviewPane->Update(FileName, Doc, int(i), row);
    Item3->setText(FormatCount(WordsFormat, Doc.TotalWords()));
}

void TForm1::mUndoClick() {
    if (!DocumentOpen() || !Doc.CanUndo() || ChangedElsewhere(SelectedRow(), {})) return;
    ShowHistoryStep(UndoReplacement(Doc, [this] { Save(); }));
}

void TForm1::mRedoClick() {
    if (!DocumentOpen() || !Doc.CanRedo() || ChangedElsewhere(SelectedRow(), {})) return;
    ShowHistoryStep(RedoReplacement(Doc, [this] { Save(); }));
}

void TForm1::mRevertClick() {
    if (!DocumentOpen() || !Doc.CanRevert()) return;
    if (!Ask(60, QDir::toNativeSeparators(FileName), false)) return;
    if (ChangedElsewhere(SelectedRow(), {})) return;
    RevertPage(Doc, [this] { Save(); });
    TextBoxModel->AllRowsChanged();
    if (const int row = SelectedRow(); row >= 0) ShowRowInEntry(row);
    ShowChange();
}

void TForm1::EntryUndoRedo(bool redo) {
    // Unconfirmed typing is the field's own to undo; once the field holds the row's text again,
    // the page's last replacement is next.
    const int row = SelectedRow();
    const bool typed = row >= 0 ? Edit1->text() != RowString(row) : Edit1->isUndoAvailable();
    if (!redo) {
        if (typed)
            Edit1->undo();
        else
            mUndoClick();
    } else if (Edit1->isRedoAvailable()) {
        Edit1->redo();
    } else if (!typed) {
        mRedoClick();
    }
}

}  // namespace quillfen
