// The main window's parts as they are built: the Start page, the Translate page with its list,
// entry, filter and preview, the Help page, the legend and the menus. Each control is tied to its
// handler here; what the handlers do is Main.cpp's.
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <algorithm>
#include <functional>
#include <initializer_list>

#include "core/errors.h"
#include "core/markup/anchors.h"
#include "core/markup/kinds.h"
#include "settings/help.h"
#include "settings/stringtable.h"
#include "ui/Main.h"
#include "ui/application.h"
#include "ui/codec.h"
#include "ui/desktop.h"
#include "ui/entryedit.h"
#include "ui/findbar.h"
#include "ui/findings.h"
#include "ui/matchespane.h"
#include "ui/pictures.h"
#include "ui/preview.h"
#include "ui/progress.h"
#include "ui/texts.h"

namespace quillfen {

namespace {

// The legend's labels take the group's width; a font whose figures are wider than the design's
// is made smaller until a count of seven digits fits in any language.
void FitLegend(QGroupBox* box, std::initializer_list<QLabel*> labels) {
    const int left = 4, width = box->width() - 2 * left - 1;
    QFont font = box->font();
    auto widest = [&font] {
        const QFontMetrics metrics(font);
        int w = 0;
        for (const TLanguageEntry& entry : Languages())
            for (const TStringId id : {TStringId::PhraseCount, TStringId::WordCount})
                w = std::max(w, metrics.horizontalAdvance(
                                    FormatCount(LoadStr(entry.Language, id), 9'999'999)));
        return w;
    };
    while (widest() > width && font.pixelSize() > 8) font.setPixelSize(font.pixelSize() - 1);
    for (QLabel* label : labels) {
        label->setFont(font);
        label->setGeometry(left, label->y(), width, label->height());
    }
}

}  // namespace

void TForm1::BuildStartPage() {
    auto* page = new QWidget;
    page->setObjectName("Start");
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(0, 0, 0, 0);
    row->addStretch(1);
    Panel3 = new QFrame(page);
    Panel3->setObjectName("Panel3");
    Panel3->setFixedWidth(243);
    Panel3->setAutoFillBackground(true);
    QPalette black = Panel3->palette();
    black.setColor(QPalette::Window, Qt::black);
    black.setColor(QPalette::WindowText, Qt::white);
    Panel3->setPalette(black);
    row->addWidget(Panel3);

    auto* col = new QVBoxLayout(Panel3);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    col->addSpacing(24);
    ProgLabel = new QLabel("Quillfen", Panel3);
    ProgLabel->setObjectName("ProgLabel");
    ProgLabel->setFont(PixelFont("Arial", 24, true));
    ProgLabel->setContentsMargins(16, 0, 0, 0);
    col->addWidget(ProgLabel);
    VersionLabel = new QLabel("Version " + LoadStr(TStringId::Version), Panel3);
    VersionLabel->setObjectName("VersionLabel");
    VersionLabel->setFont(PixelFont("Arial", 17, true));
    VersionLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    VersionLabel->setContentsMargins(0, 0, 16, 0);
    col->addWidget(VersionLabel);
    col->addStretch(1);
    Image1 = new QLabel(Panel3);
    Image1->setObjectName("Image1");
    Image1->setFixedSize(243, 196);
    Image1->setPixmap(MakeStartPicture());
    col->addWidget(Image1);
    Notebook->addWidget(page);
}

void TForm1::BuildLegend(QWidget* parent) {
    GroupBox1 = new QGroupBox("Legend:", parent);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setFixedSize(113, 65);
    Item1 = new QLabel("0 Items extracted", GroupBox1);
    Item1->setObjectName("Item1");
    Item1->setGeometry(8, 20, 81, 13);
    Item3 = new QLabel("Word count", GroupBox1);
    Item3->setObjectName("Item3");
    Item3->setGeometry(9, 36, 56, 13);
    Item2 = new QLabel("0 Items filtered", GroupBox1);
    Item2->setObjectName("Item2");
    Item2->setGeometry(13, 68, 68, 13);
    Item2->hide();
    // Which encoding the page was read in: a quiet line under the counts.
    EncodingLabel = new QLabel(GroupBox1);
    EncodingLabel->setObjectName("EncodingLabel");
    EncodingLabel->setGeometry(9, 50, 100, 13);
    FitLegend(GroupBox1, {Item1, Item3, EncodingLabel});
}

void TForm1::BuildHelpPage() {
    auto* page = new QWidget;
    page->setObjectName("Help");
    auto* col = new QVBoxLayout(page);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    auto makeMemo = [page](const QStringList& lines) {
        auto* memo = new QPlainTextEdit(page);
        memo->setFont(PixelFont("Arial", 12));
        QPalette pal = memo->palette();
        pal.setColor(QPalette::Base, QToolTip::palette().color(QPalette::ToolTipBase));
        pal.setColor(QPalette::Text, QToolTip::palette().color(QPalette::ToolTipText));
        memo->setPalette(pal);
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        memo->setPlainText(lines.join('\n'));
        // Tab leaves it for the Ok button rather than typing a tab.
        memo->setTabChangesFocus(true);
        return memo;
    };
    for (const TLanguageEntry& entry : Languages()) {
        QPlainTextEdit* memo = makeMemo(HelpLines(entry.Language));
        memo->setObjectName(entry.HelpMemo);
        memo->setHidden(entry.Language != Language);
        col->addWidget(memo, 1);
        HelpMemos.push_back(memo);
    }
    auto* band = new QWidget(page);
    band->setFixedHeight(68);
    auto* bandRow = new QHBoxLayout(band);
    CloseHelpBtn = new QPushButton("Ok", band);
    CloseHelpBtn->setObjectName("CloseHelpBtn");
    CloseHelpBtn->setFixedSize(81, 25);
    bandRow->addStretch(1);
    bandRow->addWidget(CloseHelpBtn);
    bandRow->addStretch(1);
    col->addWidget(band);
    connect(CloseHelpBtn, &QPushButton::clicked, this, Guard([this] { CloseHelpBtnClick(); }));
    // Esc, Enter and Return close the help from anywhere on it, as Ok does.
    for (const int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        auto* close = new QShortcut(QKeySequence(key), page);
        close->setContext(Qt::WidgetWithChildrenShortcut);
        connect(close, &QShortcut::activated, this, Guard([this] { CloseHelpBtnClick(); }));
    }
    Notebook->addWidget(page);
}

void TForm1::RefreshHelp() {
    const TLanguageEntry* entry = FindLanguage(Language);
    if (!entry) return;
    auto text = [this](TStringId id) { return LoadStr(Language, id); };
    auto keysOf = [](const QList<QKeySequence>& keys, const char* joiner = " / ") {
        QStringList written;
        for (const QKeySequence& key : keys) written << key.toString(QKeySequence::NativeText);
        return written.join(QString::fromUtf8(joiner));
    };
    QStringList lines = HelpLines(Language);
    lines << "" << text(TStringId::HelpKeys);
    // Every command with a key, named as its menu names it: the list cannot go stale.
    std::function<void(const QMenu*, const QString&)> walk = [&](const QMenu* menu,
                                                                 const QString& path) {
        for (const QAction* action : menu->actions()) {
            const QString name = path + " > " + action->iconText();
            if (action->menu())
                walk(action->menu(), name);
            else if (!action->shortcuts().isEmpty())
                lines << "  " + keysOf(action->shortcuts()) + "\t" + name;
        }
    };
    for (const QAction* top : menuBar()->actions())
        if (top->menu()) walk(top->menu(), top->menu()->title().remove(u'&'));
    for (const QAction* action : actions())
        if (!action->shortcuts().isEmpty() && !action->text().isEmpty())
            lines << "  " + keysOf(action->shortcuts()) + "\t" + action->iconText();
    const struct {
        QList<QKeySequence> keys;
        TStringId what;
        const char* joiner = " / ";
    } entryKeys[] = {
        {{QKeySequence(Qt::Key_Enter)}, TStringId::HelpKeyConfirm},
        {{QKeySequence(Qt::Key_Up), QKeySequence(Qt::Key_Down)}, TStringId::HelpKeyRows},
        {{QKeySequence(Qt::Key_Escape)}, TStringId::HelpKeyEscape},
        {{QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)},
         TStringId::HelpKeyTypingUndo},
        {{QKeySequence(TEntryEdit::InsertPlaceholderKey)}, TStringId::HelpKeyPlaceholder},
        {{QKeySequence(Qt::CTRL | Qt::Key_1), QKeySequence(Qt::CTRL | Qt::Key_5)},
         TStringId::HelpKeyMatches,
         " … "},
    };
    for (const auto& key : entryKeys)
        lines << "  " + keysOf(key.keys, key.joiner) + "\t" + text(key.what);
    lines << "" << text(TStringId::HelpKinds);
    for (const TKindInfo& kind : Kinds())
        lines << "  " + QString(QChar(kind.Letter)) + "\t" +
                     LoadStr(Language, TStringId(kind.Caption)).remove(u'&');
    for (std::size_t i = 0; i < Languages().size() && i < HelpMemos.size(); ++i)
        if (Languages()[i].Language == Language) HelpMemos[i]->setPlainText(lines.join('\n'));
}

void TForm1::BuildTranslatePage() {
    auto* page = new QWidget;
    page->setObjectName("Translate");
    auto* col = new QVBoxLayout(page);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);

    // The entry above the splitter; every part takes the window's width.
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
    BuildProjectParts(panel);

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

    // The matches below the entry, the list, the preview: the splitter shares the height between
    // them, and keeps how at the next start.
    Splitter = new QSplitter(Qt::Vertical, page);
    Splitter->setObjectName("Splitter");
    Splitter->setChildrenCollapsible(false);
    col->addWidget(Splitter, 1);

    MatchesPane = new TMatchesPane(Session, *Edit1, SettingsStore, Language, Splitter);
    MatchesPane->setFont(Panel1->font());
    MatchesPane->setContentsMargins(8, 0, 8, 2);

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

    auto* list = new TPhraseList(Session, ImageList, listPanel);
    list->setObjectName("TextBox");
    list->setMinimumHeight(4 * 13 + 4);
    TextBox = list;
    TextBoxModel = list->Model;
    Findings = new TFindingsView(Session, TextBoxModel, Panel1);
    panel->insertWidget(panel->indexOf(Edit1) + 1, Findings->Label);
    Findings->CurrentRow = [this] { return SelectedRow(); };
    Findings->GoTo = [this](int row) { GoToRow(row, true); };
    MatchesPane->TargetLanguageKnown = [this](const QString& tag) {
        Findings->SetTargetLanguage(tag);
    };
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
    Splitter->setStretchFactor(0, 0);
    Splitter->setStretchFactor(1, 3);
    Splitter->setStretchFactor(2, 2);

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
    PhraseFilter->addItems({"All phrases", "Unchanged", "Changed", "With findings"});
    FilterLabel->setBuddy(PhraseFilter);
    connect(PhraseFilter, &QComboBox::currentIndexChanged, this, [this](int index) {
        Guarded([this, index] {
            Session.SetFilter(TPhraseFilter(index));
            TextBoxModel->AllRowsChanged();
            // The rows are laid out anew at once, so that the current row, or the nearest one
            // the filter shows, is scrolled into view, not wherever the old offset falls.
            TextBox->doItemsLayout();
            if (const int row = SelectedRow(); row >= 0) {
                const long shown =
                    Session.InFilter(std::size_t(row)) ? row : Session.SteerToFilter(row, row);
                TextBox->scrollTo(TextBoxModel->index(int(shown)));
            }
        });
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
    mExit = AddCommand(mFile, "mExit", "E&xit", &TForm1::mExitClick,
                       QKeySequence(Qt::CTRL | Qt::Key_Q));

    // Between File and Language; Alt+E belongs to Extra.
    mEdit = bar->addMenu("E&dit");
    mEdit->setObjectName("mEdit");
    // Ctrl+Z and Ctrl+Y stay the entry's, for typing; taking back a confirmed phrase has keys of
    // its own, shown beside the command.
    mUndo = AddCommand(mEdit, "mUndo", "&Undo", &TForm1::mUndoClick,
                       QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Z));
    mRedo = AddCommand(mEdit, "mRedo", "&Redo", &TForm1::mRedoClick);
    mRedo->setShortcuts({QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_Z),
                         QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Y)});
    N5 = mEdit->addSeparator();
    N5->setObjectName("N5");
    mRevert = AddCommand(mEdit, "mRevert", "Re&vert page", &TForm1::mRevertClick);
    N6 = mEdit->addSeparator();
    N6->setObjectName("N6");
    mFind = AddCommand(mEdit, "mFind", "&Find...", &TForm1::mFindClick,
                       QKeySequence(Qt::CTRL | Qt::Key_F));
    mGoTo = AddCommand(mEdit, "mGoTo", "&Go to phrase...", &TForm1::mGoToClick,
                       QKeySequence(Qt::CTRL | Qt::Key_G));
    // F3 and Shift+F3 find on from anywhere in the window, not only from the find field.
    for (const bool back : {false, true}) {
        auto* step = new QAction(this);
        step->setObjectName(back ? "FindPrevious" : "FindNext");
        step->setShortcut(back ? QKeySequence(Qt::SHIFT | Qt::Key_F3) : QKeySequence(Qt::Key_F3));
        FindOnActions[back ? 1 : 0] = step;
        connect(step, &QAction::triggered, this, Guard([this, back] { FindOn(back); }));
        addAction(step);
    }
    Findings->AddTo(mEdit);

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
    BuildProjectMenus();
}

QAction* TForm1::AddCommand(QMenu* menu, const char* name, const QString& text,
                            void (TForm1::*command)(), const QKeySequence& key) {
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    action->setShortcut(key);
    connect(action, &QAction::triggered, this, Guard([this, command] { (this->*command)(); }));
    return action;
}

}  // namespace quillfen
