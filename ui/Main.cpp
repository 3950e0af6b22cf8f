#include "ui/Main.h"

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QSysInfo>
#include <QThread>
#include <QToolTip>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <algorithm>
#include <climits>

#include "ui/application.h"
#include "ui/codec.h"
#include "core/errors.h"
#include "exchange/export.h"
#include "ui/options.h"
#include "settings/help.h"
#include "settings/stringtable.h"
#include "ui/wizard.h"

namespace quillfen {

namespace {

std::string NativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Runs a command of the window; an error ends it at the error box here, so that no exception
// crosses Qt's own frames. What the command did before the error stays done.
template <class F>
void Guarded(F&& command) noexcept {
    try {
        command();
    } catch (const std::exception& e) {
        // Error texts are UTF-8; file names inside them are the bytes of the file system.
        ShowError(e);
    } catch (...) {
        ShowError(QStringLiteral("Unknown error"));
    }
}

enum class THistoryKey { None, Undo, Redo };

// Matched here rather than through the platform's key bindings, which differ in whether
// Ctrl+Y redoes.
THistoryKey HistoryKeyOf(const QKeyEvent& event) {
    const Qt::KeyboardModifiers mods =
        event.modifiers() &
        (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    if (event.key() == Qt::Key_Z && mods == Qt::ControlModifier) return THistoryKey::Undo;
    if (event.key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier))
        return THistoryKey::Redo;
    if (event.key() == Qt::Key_Y && mods == Qt::ControlModifier) return THistoryKey::Redo;
    return THistoryKey::None;
}

// Fixed pixel fonts, as the window is laid out in pixels.
QFont PixelFont(const QString& family, int pixels, bool bold = false) {
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

QPixmap MakeTick(bool enabled) {
    QPixmap pm(18, 18);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(enabled ? QColor(0, 150, 0) : QColor(150, 150, 150), 3.2, Qt::SolidLine, Qt::RoundCap,
             Qt::RoundJoin);
    p.setPen(pen);
    QPainterPath path;
    path.moveTo(3, 9.5);
    path.lineTo(7.5, 14);
    path.lineTo(15, 4);
    p.drawPath(path);
    return pm;
}

QPixmap MakeHelpBitmap() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(255, 255, 148));
    p.setPen(QColor(0, 49, 205));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    p.setFont(PixelFont("Arial", 12, true));
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, "?");
    return pm;
}

// The Start page's picture: a quill over a few lines of a page, in the tiles' colours.
QPixmap MakeStartPicture() {
    QPixmap pm(243, 196);
    pm.fill(Qt::black);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 148));
    p.drawRoundedRect(QRectF(40, 40, 150, 140), 6, 6);
    p.setPen(QPen(QColor(0, 98, 41), 3, Qt::SolidLine, Qt::RoundCap));
    for (int y = 62; y < 170; y += 16) p.drawLine(56, y, y % 32 ? 150 : 172, y);
    QPainterPath feather;
    feather.moveTo(120, 150);
    feather.cubicTo(150, 90, 190, 40, 228, 12);
    feather.cubicTo(215, 60, 180, 110, 120, 150);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(QColor(0, 49, 205));
    p.drawPath(feather);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(120, 150), QPointF(200, 45));
    return pm;
}

// Where the README is: beside the source tree the program was built from, or installed.
QString ReadmePath() {
    const QStringList candidates = {
        QCoreApplication::applicationDirPath() + "/../README.md",
        QCoreApplication::applicationDirPath() + "/../../README.md",
#ifdef QUILLFEN_SOURCE_DIR
        QStringLiteral(QUILLFEN_SOURCE_DIR "/README.md"),
#endif
        QStringLiteral("/usr/share/doc/quillfen/README.md"),
    };
    for (const QString& c : candidates)
        if (QFileInfo(c).isFile()) return QFileInfo(c).canonicalFilePath();
    return candidates.last();
}

// A page loads without a selected row; the first Down in the list then selects the first row,
// not the second, so the list must not make a current row of its own when it gets the focus.
class TPhraseList : public QListView {
  public:
    using QListView::QListView;

  protected:
    void focusInEvent(QFocusEvent* event) override {
        const bool hadCurrent = currentIndex().isValid();
        QListView::focusInEvent(event);
        if (!hadCurrent && !selectionModel()->hasSelection()) selectionModel()->clearCurrentIndex();
    }
};

}  // namespace

// --- phrase list ------------------------------------------------------------------------------

int TPhraseModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(std::min<std::size_t>(Doc.PhraseCount(), INT_MAX));
}

QVariant TPhraseModel::data(const QModelIndex& index, int role) const {
    const auto row = std::size_t(index.row());
    if (!index.isValid() || row >= Doc.PhraseCount()) return {};
    switch (role) {
        case Qt::DisplayRole:
            return FromPage(Doc.Phrases()[row].Text, Doc.EncodingInfo());
        case Qt::EditRole:
            return FromPage(Doc.Row(row), Doc.EncodingInfo());
        case KindRole:
            return int(Doc.Phrases()[row].Kind());
        default:
            return {};
    }
}

void TPhraseModel::Reset() {
    beginResetModel();
    endResetModel();
}

void TPhraseModel::RowChanged(int row) {
    const QModelIndex i = index(row);
    emit dataChanged(i, i);
}

void TPhraseModel::AllRowsChanged() {
    if (rowCount() > 0) emit dataChanged(index(0), index(rowCount() - 1));
}

void TPhraseDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const QRect r = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->fillRect(r, selected ? option.palette.highlight() : option.palette.base());
    const int kind = std::clamp(index.data(TPhraseModel::KindRole).toInt(), 0, 2);
    painter->drawPixmap(r.left() + 2, r.top(), ImageList[std::size_t(kind)]);
    painter->setFont(option.font);
    painter->setPen(selected ? option.palette.color(QPalette::HighlightedText)
                             : option.palette.color(QPalette::Text));
    painter->drawText(QRect(r.left() + 18, r.top(), std::max(0, r.width() - 18), r.height()),
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = r;
        focus.backgroundColor =
            option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
        const QWidget* w = option.widget;
        (w ? w->style() : QApplication::style())
            ->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, w);
    }
}

QSize TPhraseDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return QSize(option.rect.width(), 13);
}

std::array<QPixmap, 3> MakeKindImages() {
    struct TTile {
        const char* letter;
        QColor colour;
    };
    const TTile tiles[3] = {
        {"T", QColor(0, 0, 0)}, {"G", QColor(0, 49, 205)}, {"C", QColor(0, 98, 41)}};
    std::array<QPixmap, 3> images;
    for (std::size_t i = 0; i < 3; ++i) {
        QImage img(12, 12, QImage::Format_RGB32);
        img.fill(QColor(255, 255, 148));
        QPainter p(&img);
        p.setPen(QPen(Qt::black, 0));
        p.drawRect(0, 0, 11, 11);
        p.setPen(tiles[i].colour);
        QFont letter = PixelFont("Arial", 9, true);
        // Exact colours: the tiles are a fixed image list, not text.
        letter.setStyleStrategy(QFont::NoAntialias);
        p.setFont(letter);
        p.drawText(QRect(1, 1, 10, 10), Qt::AlignCenter, tiles[i].letter);
        p.end();
        images[i] = QPixmap::fromImage(img);
    }
    return images;
}

QString QtFileFilter(const QString& filter) {
    const qsizetype bar = filter.indexOf('|');
    if (bar < 0) return filter;
    QStringList patterns = filter.mid(bar + 1).split(';', Qt::SkipEmptyParts);
    // The patterns are meant without regard to case; the file system here is not.
    const QStringList given = patterns;
    for (const QString& p : given)
        if (!patterns.contains(p.toLower())) patterns << p.toLower();
    return filter.left(bar) + " (" + patterns.join(' ') + ")";
}

QString FormatCount(const QString& format, std::uint64_t n) {
    QString s = format;
    const qsizetype at = s.indexOf("%d");
    if (at >= 0) s.replace(at, 2, QString::number(n));
    return s;
}

TEntryEdit::TEntryEdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
        const QString fit = EntryText(text);
        if (fit == text) return;
        const int cursor = cursorPosition();
        setText(fit);
        setCursorPosition(std::min<int>(cursor, int(fit.size())));
    });
}

// --- the window ---------------------------------------------------------------------------------

TForm1::TForm1(QWidget* parent) : QMainWindow(parent), SettingsStore(DefaultSettingsStore()) {
    setObjectName("Form1");
    ImageList = MakeKindImages();
    ChooseFileToOpen = [this](const QString& filter, const QString& current) {
        QFileDialog dlg(this);
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setFileMode(QFileDialog::AnyFile);
        dlg.setOption(QFileDialog::ReadOnly, false);
        dlg.setNameFilter(filter);
        if (!current.isEmpty()) dlg.selectFile(current);
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return QString();
        return dlg.selectedFiles().first();
    };

    setWindowTitle("Quillfen");
    setFixedSize(611, 466);
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
    UpdateEditMenu();
}

TForm1::~TForm1() = default;

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
    ProgLabel->setFont(PixelFont("Arial", 24, true));
    ProgLabel->setContentsMargins(16, 0, 0, 0);
    col->addWidget(ProgLabel);
    VersionLabel = new QLabel("Version " + LoadStr(VersionId), Panel3);
    VersionLabel->setFont(PixelFont("Arial", 17, true));
    VersionLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    VersionLabel->setContentsMargins(0, 0, 16, 0);
    col->addWidget(VersionLabel);
    col->addStretch(1);
    Image1 = new QLabel(Panel3);
    Image1->setFixedSize(243, 196);
    Image1->setPixmap(MakeStartPicture());
    col->addWidget(Image1);
    Notebook->addWidget(page);
}

void TForm1::BuildTranslatePage() {
    auto* page = new QWidget;
    page->setObjectName("Translate");
    auto* col = new QVBoxLayout(page);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);

    Panel1 = new QWidget(page);
    Panel1->setObjectName("Panel1");
    Panel1->setFixedSize(603, 182);
    Panel1->setFont(PixelFont("MS Sans Serif", 11));
    col->addWidget(Panel1, 0, Qt::AlignLeft);

    auto* bevel = new QFrame(Panel1);
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(0, 0, 603, 2);

    TextLabel = new QLabel("Select a phrase to translate.", Panel1);
    TextLabel->setObjectName("TextLabel");
    TextLabel->setTextFormat(Qt::PlainText);
    TextLabel->setWordWrap(true);
    TextLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    TextLabel->setGeometry(8, 8, 553, 16);

    Edit1 = new TEntryEdit(Panel1);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(8, 32, 577, 21);
    Edit1->installEventFilter(this);

    TextBox = new TPhraseList(Panel1);
    TextBox->setObjectName("TextBox");
    TextBox->setGeometry(8, 56, 473, 121);
    TextBoxModel = new TPhraseModel(Doc, TextBox);
    TextBox->setModel(TextBoxModel);
    TextBox->setItemDelegate(new TPhraseDelegate(ImageList, TextBox));
    TextBox->setUniformItemSizes(true);
    TextBox->setSelectionMode(QAbstractItemView::SingleSelection);
    TextBox->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TextBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    TextBox->setTextElideMode(Qt::ElideNone);
    connect(TextBox->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!quietSelection_) Guarded([this] { TextBoxClick(); });
    });

    OkBtn = new QPushButton("Ok", Panel1);
    OkBtn->setObjectName("OkBtn");
    OkBtn->setGeometry(496, 64, 81, 41);
    OkBtn->setFont(PixelFont("MS Sans Serif", 11, true));
    QIcon tick;
    tick.addPixmap(MakeTick(true), QIcon::Normal);
    tick.addPixmap(MakeTick(false), QIcon::Disabled);
    OkBtn->setIcon(tick);
    OkBtn->setIconSize(QSize(18, 18));
    OkBtn->setAutoDefault(false);
    connect(OkBtn, &QPushButton::clicked, this, [this] { Guarded([this] { OkBtnClick(); }); });

    GroupBox1 = new QGroupBox("Legend:", Panel1);
    GroupBox1->setGeometry(488, 112, 113, 65);
    Item1 = new QLabel("0 Items extracted", GroupBox1);
    Item1->setGeometry(8, 20, 100, 13);
    Item3 = new QLabel("Word count", GroupBox1);
    Item3->setGeometry(9, 36, 100, 13);
    Item2 = new QLabel("0 Items filtered", GroupBox1);
    Item2->setGeometry(13, 68, 68, 13);
    Item2->hide();
    // Which encoding the page was read in: a quiet line under the counts.
    EncodingLabel = new QLabel(GroupBox1);
    EncodingLabel->setGeometry(9, 50, 100, 13);

    setTabOrder(TextBox, Edit1);
    setTabOrder(Edit1, OkBtn);

    Browser = new QWebEngineView(page);
    Browser->setObjectName("Browser");
    // The preview must show the file as it is on disk after every save.
    Browser->page()->profile()->setHttpCacheType(QWebEngineProfile::NoCache);
    connect(Browser, &QWebEngineView::loadFinished, this, [this](bool ok) {
        // A load cut short by the next save reports failure too; only a page that cannot be
        // read is worth a message.
        if (!ok && !FileName.isEmpty() && !QFileInfo(FileName).isReadable())
            ShowError(QString::fromUtf8(CannotOpenError(NativePath(FileName)).what()));
    });
    col->addWidget(Browser, 1);

    // The progress panel floats over whichever page is showing, so that it can be seen while a
    // page is loaded from the Start page.
    ProgressPanel = new QFrame(centralWidget());
    ProgressPanel->setObjectName("ProgressPanel");
    static_cast<QFrame*>(ProgressPanel)->setFrameStyle(QFrame::Panel | QFrame::Raised);
    ProgressPanel->setAutoFillBackground(true);
    ProgressPanel->setGeometry(155, 120, 297, 41);
    ProgressBar = new QProgressBar(ProgressPanel);
    ProgressBar->setObjectName("ProgressBar");
    ProgressBar->setGeometry(8, 12, 281, 17);
    ProgressBar->setTextVisible(false);
    ProgressPanel->hide();

    Notebook->addWidget(page);
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
        return memo;
    };
    Help_US = makeMemo(HelpLines(EnglishBase));
    Help_US->setObjectName("Help_US");
    Help_DE = makeMemo(HelpLines(GermanBase));
    Help_DE->setObjectName("Help_DE");
    Help_DE->hide();
    col->addWidget(Help_US, 1);
    col->addWidget(Help_DE, 1);
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
    connect(CloseHelpBtn, &QPushButton::clicked, this,
            [this] { Guarded([this] { CloseHelpBtnClick(); }); });
    Notebook->addWidget(page);
}

void TForm1::BuildMenus() {
    QMenuBar* bar = menuBar();
    mFile = bar->addMenu("&File");
    mFile->setObjectName("mFile");
    mLoad = mFile->addAction("&Open");
    mLoad->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    mClose = mFile->addAction("&Close");
    mClose->setEnabled(false);
    N1 = mFile->addSeparator();
    mExport = mFile->addAction("&Extract plain text");
    mExport->setShortcut(QKeySequence(Qt::Key_F7));
    mExport->setEnabled(false);
    mImport = mFile->addAction("Com&bine");
    mImport->setShortcut(QKeySequence(Qt::Key_F8));
    N3 = mFile->addSeparator();
    mExit = mFile->addAction("E&xit");

    // Between File and Language; Alt+E belongs to Extra.
    mEdit = bar->addMenu("E&dit");
    mEdit->setObjectName("mEdit");
    mUndo = mEdit->addAction("&Undo");
    mUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    mRedo = mEdit->addAction("&Redo");
    mRedo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    N5 = mEdit->addSeparator();
    mRevert = mEdit->addAction("Re&vert page");

    mLanguage = bar->addMenu("&Language");
    mEnglish = mLanguage->addAction("&English");
    mEnglish->setCheckable(true);
    mEnglish->setChecked(true);
    mDeutsch = mLanguage->addAction("&Deutsch");
    mDeutsch->setCheckable(true);

    mExtra = bar->addMenu("&Extra");
    mHelp = mExtra->addAction(QIcon(MakeHelpBitmap()), "&Help");
    mHelp->setShortcut(QKeySequence(Qt::Key_F1));
    mOptions = mExtra->addAction("O&ptions");
    N4 = mExtra->addSeparator();
    Info1 = mExtra->addAction("Inf&o...");

    const auto on = [this](QAction* action, void (TForm1::*command)()) {
        connect(action, &QAction::triggered, this,
                [this, command] { Guarded([this, command] { (this->*command)(); }); });
    };
    on(mLoad, &TForm1::mLoadClick);
    on(mClose, &TForm1::mCloseClick);
    on(mExport, &TForm1::mExportClick);
    on(mImport, &TForm1::mImportClick);
    on(mExit, &TForm1::mExitClick);
    on(mUndo, &TForm1::mUndoClick);
    on(mRedo, &TForm1::mRedoClick);
    on(mRevert, &TForm1::mRevertClick);
    on(mEnglish, &TForm1::mEnglishClick);
    on(mDeutsch, &TForm1::mDeutschClick);
    on(mHelp, &TForm1::mHelpClick);
    on(mOptions, &TForm1::mOptionsClick);
    on(Info1, &TForm1::Info1Click);
}

// --- start and close ----------------------------------------------------------------------------

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!activated_) Guarded([this] { FormActivate(); });
}

void TForm1::FormActivate() {
    if (activated_) return;
    activated_ = true;
    History = {};
    const TSettings s = LoadSettings(SettingsStore);
    Language = s.Language;
    Tags = s.Tags;
    History = s.History;
    ApplyLanguage();
    Notebook->setCurrentIndex(0);
    OkBtn->setEnabled(false);
    Doc.Clear();
    TextBoxModel->Reset();

    HistorySeparator = new QAction(this);
    HistorySeparator->setSeparator(true);
    HistorySeparator->setVisible(false);
    mFile->insertAction(N3, HistorySeparator);
    for (QAction*& item : HistoryItems) {
        item = new QAction(this);
        item->setVisible(false);
        QAction* sender = item;
        connect(item, &QAction::triggered, this,
                [this, sender] { Guarded([this, sender] { LoadHFile(sender); }); });
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
    try {
        TSettings s;
        s.Language = Language;
        s.Tags = Tags;
        s.History = History;
        SaveSettings(SettingsStore, s);
    } catch (const std::exception& e) {
        // The program still ends; the user learns which store kept the old values.
        ShowError(e);
    }
}

// --- language -----------------------------------------------------------------------------------

void TForm1::ApplyLanguage() {
    const int b = Language;
    auto text = [b](int n) { return LoadStr(b + n); };
    if (b == EnglishBase || b == GermanBase) {
        const bool english = b == EnglishBase;
        mEnglish->setChecked(english);
        mDeutsch->setChecked(!english);
        Help_US->setHidden(!english);
        Help_DE->setHidden(english);
    }
    AppTitle = text(1);
    setWindowTitle(AppTitle);
    VersionLabel->setText(text(2) + " " + LoadStr(VersionId));
    mFile->setTitle(text(10));
    mLoad->setText(text(11));
    mExport->setText(text(17));
    mImport->setText(text(18));
    mClose->setText(text(12));
    mExit->setText(text(13));
    mEdit->setTitle(text(56));
    mUndo->setText(text(57));
    mRedo->setText(text(58));
    mRevert->setText(text(59));
    mHelp->setText(text(14));
    mLanguage->setTitle(text(15));
    mOptions->setText(text(16));
    TextLabel->setText(text(20));
    OpenFilter = text(21);
    BlocksFormat = text(23);
    FilteredFormat = text(24);
    WordsFormat = text(26);
    UpdateLegend();
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
    const bool german = Language == GermanBase;
    EncodingLabel->setText(german ? QStringLiteral("als %1").arg(name)
                                  : QStringLiteral("as %1").arg(name));
    EncodingLabel->setToolTip(german ? QStringLiteral("Die Seite wurde als %1 gelesen.").arg(name)
                                     : QStringLiteral("The page was read as %1.").arg(name));
}

void TForm1::mEnglishClick() {
    Language = EnglishBase;
    ApplyLanguage();
}

void TForm1::mDeutschClick() {
    Language = GermanBase;
    ApplyLanguage();
}

// --- recent files -------------------------------------------------------------------------------

void TForm1::RefreshHistoryMenu() {
    if (!HistorySeparator) return;
    bool any = false;
    for (std::size_t n = 0; n < History.size(); ++n) {
        if (History[n].isEmpty()) continue;
        HistoryItems[n]->setText("&" + QString::number(n + 1) + " " + History[n]);
        HistoryItems[n]->setVisible(true);
        any = true;
    }
    if (any) HistorySeparator->setVisible(true);
}

void TForm1::mLoadClick() {
    const QString chosen = ChooseFileToOpen(QtFileFilter(OpenFilter), FileName);
    if (chosen.isEmpty() || !MayDropUnsaved()) return;
    FileName = chosen;
    LoadFile();
    // Only a page that loaded enters the list; a known path keeps its place.
    if (std::find(History.begin(), History.end(), chosen) != History.end()) return;
    std::move_backward(History.begin(), History.end() - 1, History.end());
    History[0] = chosen;
    RefreshHistoryMenu();
}

void TForm1::LoadHFile(QAction* sender) {
    const QString path = sender->text().mid(3);
    if (!QFileInfo(path).isFile() || !MayDropUnsaved()) return;
    FileName = path;
    LoadFile();
}

// --- commands -----------------------------------------------------------------------------------

void TForm1::mCloseClick() {
    if (!MayDropUnsaved()) return;
    Notebook->setCurrentIndex(0);
    mClose->setEnabled(false);
    mExport->setEnabled(false);
    UpdateEditMenu();
}

void TForm1::mExitClick() { close(); }

void TForm1::mHelpClick() {
    PageBeforeHelp = std::uint8_t(Notebook->currentIndex());
    Notebook->setCurrentIndex(2);
}

void TForm1::CloseHelpBtnClick() { Notebook->setCurrentIndex(PageBeforeHelp); }

void TForm1::mOptionsClick() {
    OptionsDlg->Tags = Tags;
    if (OptionsDlg->exec() != QDialog::Accepted) return;
    if (mClose->isEnabled() && !MayDropUnsaved()) return;
    Tags = OptionsDlg->Tags;
    // Read the page again so that the new choice of phrases takes effect.
    if (mClose->isEnabled()) LoadFile();
}

void TForm1::mExportClick() {
    // Export needs an open page; the command is offered only then.
    if (!mExport->isEnabled()) return;
    WizardDlg->ExportMode = true;
    if (WizardDlg->exec() != QDialog::Accepted) return;
    ExportDocument(Doc, NativePath(FileName), NativePath(WizardDlg->wizOutput->text()));
}

void TForm1::mImportClick() {
    WizardDlg->ExportMode = false;
    if (WizardDlg->exec() != QDialog::Accepted) return;
    if (!WizardDlg->wizLoadFile->isChecked() || !MayDropUnsaved()) return;
    // The preview needs a full path; a typed relative one names the file the wizard wrote.
    FileName = QFileInfo(WizardDlg->wizDestination->text()).absoluteFilePath();
    LoadFile();
}

void TForm1::Info1Click() {
    QDialog about(this);
    about.setWindowTitle("About...");
    about.setFixedWidth(440);
    auto* col = new QVBoxLayout(&about);
    auto* name = new QLabel("Quillfen", &about);
    QFont big("Arial", 22);
    big.setBold(true);
    name->setFont(big);
    col->addWidget(name);
    col->addWidget(new QLabel("Version " + LoadStr(VersionId), &about));
    col->addWidget(
        new QLabel("Questions and remarks: see the README that comes with Quillfen.", &about));
    const QString readme = ReadmePath();
    auto* link = new QLabel(&about);
    link->setObjectName("AboutLink");
    link->setTextFormat(Qt::RichText);
    link->setText(
        QString("<a href=\"%1\" style=\"color:#0000ff; text-decoration:underline\">%2</a>")
            .arg(QUrl::fromLocalFile(readme).toString(QUrl::FullyEncoded), readme.toHtmlEscaped()));
    link->setOpenExternalLinks(true);
    col->addWidget(link);
    auto* line = new QFrame(&about);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    col->addWidget(line);
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    const qint64 mib = pages > 0 && pageSize > 0 ? qint64(pages) * pageSize / (1024 * 1024) : 0;
    col->addWidget(
        new QLabel(QString("Memory: %1 MB\nProcessors: %2 (%3)\nSystem: %4")
                       .arg(mib)
                       .arg(QThread::idealThreadCount())
                       .arg(QSysInfo::currentCpuArchitecture(), QSysInfo::prettyProductName()),
                   &about));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &about);
    connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
    col->addWidget(buttons);
    about.exec();
}

// --- the document -------------------------------------------------------------------------------

void TForm1::LoadFile() {
    if (FileName.isEmpty()) return;
    setCursor(Qt::WaitCursor);
    QWidget* client = centralWidget();
    ProgressPanel->move(client->width() / 2 - ProgressPanel->width() / 2, ProgressPanel->y());
    ProgressPanel->show();
    ProgressPanel->raise();
    setWindowTitle(AppTitle + " - " + QDir::toNativeSeparators(FileName));
    progressClock_.start();
    lastProgressPaint_ = -1;
    ProgressBar->setRange(0, 1);
    ProgressBar->setValue(0);
    ProgressPanel->repaint();

    // Whatever happens, the text of a failed save goes with the document it belonged to.
    saveFailed_ = false;
    TextBoxModel->BeginReset();
    try {
        Doc.LoadFile(NativePath(FileName), Tags, [this](std::size_t position, std::size_t maximum) {
            OnProgress(position, maximum);
        });
    } catch (...) {
        // The page is not open: nothing of the previous one may be saved under the new name.
        Doc.Clear();
        TextBoxModel->EndReset();
        UpdateLegend();
        mClose->setEnabled(false);
        mExport->setEnabled(false);
        UpdateEditMenu();
        Notebook->setCurrentIndex(0);
        ProgressPanel->hide();
        unsetCursor();
        throw;
    }
    TextBoxModel->EndReset();
    UpdateLegend();
    Notebook->setCurrentIndex(1);
    Preview();
    Edit1->clear();
    TextLabel->clear();
    mClose->setEnabled(true);
    mExport->setEnabled(true);
    UpdateEditMenu();
    ProgressPanel->hide();
    unsetCursor();
    if (const auto& copy = Doc.CrashBackup()) {
        QMessageBox box(QMessageBox::Information, AppTitle,
                        Message(63, QDir::toNativeSeparators(QFile::decodeName(copy->c_str()))),
                        QMessageBox::Ok, this);
        box.exec();
    }
}

void TForm1::OnProgress(std::size_t position, std::size_t maximum) {
    // The scan reports every line; painting a few dozen times a second is enough to be seen.
    const qint64 now = progressClock_.elapsed();
    if (position < maximum && lastProgressPaint_ >= 0 && now - lastProgressPaint_ < 30) return;
    lastProgressPaint_ = now;
    const int max = int(std::min<std::size_t>(maximum, INT_MAX));
    if (ProgressBar->maximum() != max) ProgressBar->setRange(0, max);
    ProgressBar->setValue(int(std::min<std::size_t>(position, std::size_t(max))));
    ProgressPanel->repaint();
}

void TForm1::Save() {
    try {
        Doc.Save(NativePath(FileName));
    } catch (...) {
        saveFailed_ = true;
        throw;
    }
    saveFailed_ = false;
}

void TForm1::Preview() {
    const QUrl url = QUrl::fromLocalFile(FileName);
    if (Browser->url() == url)
        Browser->triggerPageAction(QWebEnginePage::ReloadAndBypassCache);
    else
        Browser->setUrl(url);
}

int TForm1::SelectedRow() const {
    const QModelIndexList rows = TextBox->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

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
    const QString s = RowString(row);
    Edit1->setText(s);
    TextLabel->setText(s);
    Edit1->setFocus(Qt::OtherFocusReason);
    Edit1->selectAll();
    OkBtn->setEnabled(true);
}

void TForm1::OkBtnClick() {
    QString t = Edit1->text();
    if (t.isEmpty()) return;
    // A line of a preformatted block keeps its inner blanks: they are its layout.
    const int selected = SelectedRow();
    const bool preformatted = selected >= 0 && Doc.Phrases()[std::size_t(selected)].Preformatted;
    if (!preformatted)
        for (qsizetype p = t.indexOf("  "); p >= 0; p = t.indexOf("  ", p)) t.remove(p + 1, 1);
    while (t.startsWith(u' ')) t.remove(0, 1);
    while (t.endsWith(u' ')) t.chop(1);
    if (t != Edit1->text()) Edit1->setText(t);
    // An entry of blanks only is no phrase.
    if (t.isEmpty()) return;
    int i = SelectedRow();
    if (i < 0) return;
    if (ChangedElsewhere(i, t)) return;

    Doc.ReplacePhrase(std::size_t(i), ToPage(t, Doc.EncodingInfo()));
    TextBoxModel->RowChanged(i);
    UpdateEditMenu();
    Save();
    Preview();

    if (i < TextBoxModel->rowCount() - 1) ++i;
    SelectRowQuietly(i);
    const QString s = TextBoxModel->index(i).data(Qt::EditRole).toString();
    Edit1->setText(s);
    TextLabel->setText(s);
    Item3->setText(FormatCount(WordsFormat, Doc.TotalWords()));
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched != Edit1 || (type != QEvent::KeyPress && type != QEvent::ShortcutOverride))
        return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (const THistoryKey history = HistoryKeyOf(*key); history != THistoryKey::None) {
        // The field decides between its own undo and the page's, not the menu's shortcut.
        if (type == QEvent::KeyPress)
            Guarded([this, history] { EntryUndoRedo(history == THistoryKey::Redo); });
        event->accept();
        return true;
    }
    if (type == QEvent::KeyPress) Guarded([this, key] { Edit1KeyDown(key->key()); });
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::Edit1KeyDown(int key) {
    const int row = SelectedRow();
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            OkBtnClick();
            break;
        case Qt::Key_Up:
            if (row > 0) SelectRowQuietly(row - 1);
            TextBoxClick();
            break;
        case Qt::Key_Down:
            if (row < TextBoxModel->rowCount() - 1) SelectRowQuietly(row + 1);
            TextBoxClick();
            break;
        default:
            break;
    }
}

}  // namespace quillfen

// --- the page's history and other programs' changes ---------------------------------------------

namespace quillfen {

QString TForm1::RowString(int row) const {
    return TextBoxModel->index(row).data(Qt::EditRole).toString();
}

void TForm1::ShowRowInEntry(int row) {
    const QString s = RowString(row);
    Edit1->setText(s);
    TextLabel->setText(s);
    OkBtn->setEnabled(true);
}

void TForm1::UpdateEditMenu() {
    // A closed page offers nothing: its commands would write a file no longer shown.
    const bool open = mClose->isEnabled();
    mUndo->setEnabled(open && Doc.CanUndo());
    mRedo->setEnabled(open && Doc.CanRedo());
    mRevert->setEnabled(open && Doc.CanRevert());
}

QString TForm1::Message(int id, const QString& path) const {
    QString text = LoadStr(Language + id);
    const qsizetype at = text.indexOf("%s");
    if (at >= 0) text.replace(at, 2, path);
    return text;
}

bool TForm1::Ask(int id, const QString& path, bool yesByDefault) {
    QMessageBox box(QMessageBox::Warning, AppTitle, Message(id, path),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.button(QMessageBox::Yes)->setText(LoadStr(Language + 64));
    box.button(QMessageBox::No)->setText(LoadStr(Language + 65));
    box.setDefaultButton(yesByDefault ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool TForm1::MayDropUnsaved() {
    if (!saveFailed_) return true;
    if (!Ask(62, QDir::toNativeSeparators(FileName), false)) return false;
    saveFailed_ = false;
    return true;
}

bool TForm1::ChangedElsewhere(int row, const std::optional<QString>& entry) {
    if (!Doc.ChangedOnDisk(NativePath(FileName))) return false;
    if (!Ask(61, QDir::toNativeSeparators(FileName), true) || !MayDropUnsaved()) return true;
    LoadFile();
    if (row < 0 || row >= TextBoxModel->rowCount()) return true;
    SelectRowQuietly(row);
    ShowRowInEntry(row);
    if (entry) Edit1->setText(*entry);
    Edit1->setFocus(Qt::OtherFocusReason);
    return true;
}

void TForm1::ShowHistoryStep(std::size_t i) {
    const int row = int(i);
    TextBoxModel->RowChanged(row);
    SelectRowQuietly(row);
    ShowRowInEntry(row);
    UpdateEditMenu();
    Save();
    Preview();
    Item3->setText(FormatCount(WordsFormat, Doc.TotalWords()));
}

void TForm1::mUndoClick() {
    if (!mClose->isEnabled() || !Doc.CanUndo() || ChangedElsewhere(SelectedRow(), {})) return;
    ShowHistoryStep(Doc.Undo());
}

void TForm1::mRedoClick() {
    if (!mClose->isEnabled() || !Doc.CanRedo() || ChangedElsewhere(SelectedRow(), {})) return;
    ShowHistoryStep(Doc.Redo());
}

void TForm1::mRevertClick() {
    if (!mClose->isEnabled() || !Doc.CanRevert()) return;
    if (!Ask(60, QDir::toNativeSeparators(FileName), false)) return;
    if (ChangedElsewhere(SelectedRow(), {})) return;
    Doc.Revert();
    TextBoxModel->AllRowsChanged();
    if (const int row = SelectedRow(); row >= 0) ShowRowInEntry(row);
    UpdateEditMenu();
    Save();
    Preview();
    Item3->setText(FormatCount(WordsFormat, Doc.TotalWords()));
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
