#include "ui/wizard.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStackedWidget>
#include <QStyle>

#include <exception>

#include "ui/Main.h"
#include "ui/application.h"
#include "exchange/combine.h"
#include "settings/stringtable.h"

namespace quillfen {

namespace {

enum TPage { Export1 = 0, Export2 = 1, Import1 = 2, Import2 = 3, Import3 = 4 };

QFont PixelFont(const QString& family, int pixels, bool bold = false) {
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

std::string NativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QLabel* TextLabel(QWidget* page, const QRect& where, bool wrap) {
    auto* label = new QLabel(page);
    // The notice speaks of "<nr>" parts, which a rich-text guess would swallow as a tag.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(wrap);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(where);
    return label;
}

QString StandardChooser(QWidget* parent, TFileEdit::TKind kind, const QString& filter,
                        const QString& current) {
    if (kind == TFileEdit::TKind::Folder)
        return QFileDialog::getExistingDirectory(parent, QString(), current);
    QFileDialog dlg(parent);
    if (kind == TFileEdit::TKind::SaveFile) {
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setFileMode(QFileDialog::AnyFile);
        // The recombination itself replaces the file; the wizard asks nothing more.
        dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    } else {
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setFileMode(QFileDialog::ExistingFile);
    }
    dlg.setNameFilter(QtFileFilter(filter));
    if (!current.isEmpty()) dlg.selectFile(current);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return QString();
    return dlg.selectedFiles().first();
}

}  // namespace

// The left strip's picture: two sheets, one of text lines and one of markers, joined by an arrow.
QPixmap MakeWizardPicture() {
    QPixmap pm(133, 200);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 200);
    sky.setColorAt(0, QColor(0, 49, 205));
    sky.setColorAt(1, QColor(0, 16, 72));
    p.fillRect(pm.rect(), sky);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 148));
    p.drawRoundedRect(QRectF(14, 70, 62, 80), 4, 4);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(58, 104, 62, 80), 4, 4);

    p.setPen(QPen(QColor(0, 98, 41), 2.5, Qt::SolidLine, Qt::RoundCap));
    for (int y = 84; y < 142; y += 11) p.drawLine(22, y, y % 2 ? 58 : 68, y);
    p.setPen(QPen(QColor(0, 49, 205), 2.5, Qt::SolidLine, Qt::RoundCap));
    for (int y = 118; y < 176; y += 11) {
        p.drawLine(66, y, 78, y);
        p.drawLine(96, y, 112, y);
    }
    p.setPen(QPen(QColor(205, 0, 0), 2));
    for (int y = 118; y < 176; y += 11) p.drawEllipse(QPointF(87, y), 3, 3);

    QPainterPath arrow;
    arrow.moveTo(40, 160);
    arrow.cubicTo(40, 180, 48, 186, 54, 186);
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(arrow);
    p.drawLine(QPointF(54, 186), QPointF(47, 180));
    p.drawLine(QPointF(54, 186), QPointF(47, 192));
    return pm;
}

// --- path field -----------------------------------------------------------------------------

TFileEdit::TFileEdit(TKind kind, const QString& filter, QWidget* parent)
    : QLineEdit(parent), Kind(kind), Filter(filter) {
    const QStyle::StandardPixmap icon =
        kind == TKind::Folder ? QStyle::SP_DirOpenIcon : QStyle::SP_FileDialogStart;
    Browse = addAction(style()->standardIcon(icon), QLineEdit::TrailingPosition);
    Browse->setObjectName("Browse");
    connect(Browse, &QAction::triggered, this, [this] { BrowseClick(); });
}

void TFileEdit::BrowseClick() {
    if (!Choose) return;
    const QString chosen = Choose(Kind, Filter, text());
    if (chosen.isEmpty()) return;
    setText(QDir::toNativeSeparators(QFileInfo(chosen).absoluteFilePath()));
}

// --- the dialog -----------------------------------------------------------------------------

TWizardDlg::TWizardDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("WizardDlg");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(404, 218);
    setFont(PixelFont("MS Sans Serif", 11));
    setWindowTitle(DialogTitle);
    ChooseFile = [this](TFileEdit::TKind kind, const QString& filter, const QString& current) {
        return StandardChooser(this, kind, filter, current);
    };

    auto* strip = new QWidget(this);
    strip->setObjectName("Strip");
    strip->setGeometry(0, 0, 145, 218);
    Image1 = new QLabel(strip);
    Image1->setObjectName("Image1");
    Image1->setGeometry(6, 9, 133, 200);
    Image1->setPixmap(MakeWizardPicture());
    wizHeading = new QLabel(strip);
    wizHeading->setObjectName("wizHeading");
    wizHeading->setTextFormat(Qt::PlainText);
    wizHeading->setFont(PixelFont("Arial", 19, true));
    QPalette white = wizHeading->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    wizHeading->setPalette(white);
    wizHeading->setGeometry(14, 20, 117, 28);
    wizHeading->raise();

    Notebook = new QStackedWidget(this);
    Notebook->setObjectName("Notebook");
    Notebook->setGeometry(145, 0, 259, 180);
    const char* const pageNames[5] = {"Export1", "Export2", "Import1", "Import2", "Import3"};
    QWidget* pages[5];
    for (int i = 0; i < 5; ++i) {
        pages[i] = new QWidget;
        pages[i]->setObjectName(pageNames[i]);
        Notebook->addWidget(pages[i]);
    }

    auto fileEdit = [this](QWidget* page, TFileEdit::TKind kind, const QString& filter, int y,
                           const char* name) {
        auto* edit = new TFileEdit(kind, filter, page);
        edit->setObjectName(name);
        edit->setGeometry(8, y, 243, 21);
        edit->Choose = [this](TFileEdit::TKind k, const QString& f, const QString& current) {
            return ChooseFile ? ChooseFile(k, f, current) : QString();
        };
        return edit;
    };

    wizLabel0 = TextLabel(pages[Export1], QRect(8, 8, 243, 100), true);
    wizOutputLabel = TextLabel(pages[Export1], QRect(8, 116, 243, 16), false);
    wizOutput = fileEdit(pages[Export1], TFileEdit::TKind::Folder, QString(), 134, "wizOutput");

    wizLabel1 = TextLabel(pages[Export2], QRect(8, 8, 243, 164), true);

    wizLabel2 = TextLabel(pages[Import1], QRect(8, 8, 243, 88), true);
    wizTextLabel = TextLabel(pages[Import1], QRect(8, 98, 243, 14), false);
    wizText = fileEdit(pages[Import1], TFileEdit::TKind::OpenFile, "*.txt|*.txt", 112, "wizText");
    wizTempLabel = TextLabel(pages[Import1], QRect(8, 137, 243, 14), false);
    wizTemplate = fileEdit(pages[Import1], TFileEdit::TKind::OpenFile, "*.temp|*.templ", 151,
                           "wizTemplate");

    wizLabel3 = TextLabel(pages[Import2], QRect(8, 8, 243, 48), true);
    wizHTMLLabel = TextLabel(pages[Import2], QRect(8, 62, 243, 16), false);
    wizDestination = fileEdit(pages[Import2], TFileEdit::TKind::SaveFile,
                              "*.htm; *.html|*.htm;*.html", 80, "wizDestination");

    wizLabel4 = TextLabel(pages[Import3], QRect(8, 8, 243, 48), true);
    wizLoadFile = new QCheckBox(pages[Import3]);
    wizLoadFile->setObjectName("wizLoadFile");
    wizLoadFile->setGeometry(8, 62, 243, 20);
    wizLoadFile->setChecked(false);

    auto button = [this](int x, const char* name) {
        auto* b = new QPushButton(this);
        b->setObjectName(name);
        b->setGeometry(x, 186, 75, 25);
        b->setAutoDefault(false);
        return b;
    };
    CancelBtn = button(160, "CancelBtn");
    BackBtn = button(240, "BackBtn");
    FinishBtn = button(320, "FinishBtn");
    FinishBtn->setDefault(true);
    CancelBtn->setText(CancelCaption);
    BackBtn->setText(BackCaption);
    FinishBtn->setText(NextCaption);
    BackBtn->setEnabled(false);

    connect(CancelBtn, &QPushButton::clicked, this, [this] { reject(); });
    connect(BackBtn, &QPushButton::clicked, this, [this] { BackBtnClick(); });
    connect(FinishBtn, &QPushButton::clicked, this, [this] { FinishBtnClick(); });
    connect(wizOutput, &QLineEdit::textChanged, this, [this] { wizOutputChange(); });
    connect(wizText, &QLineEdit::textChanged, this, [this] { wizTextChange(); });
    connect(wizTemplate, &QLineEdit::textChanged, this, [this] { wizTemplateChange(); });
    connect(wizDestination, &QLineEdit::textChanged, this, [this] { wizDestinationChange(); });
}

void TWizardDlg::ApplyLanguage(std::uint16_t language) {
    auto text = [language](int n) { return LoadStr(language + n); };
    DialogTitle = text(41);
    setWindowTitle(DialogTitle);
    wizTextLabel->setText(text(43));
    wizTempLabel->setText(text(44));
    wizOutputLabel->setText(text(55));
    wizHTMLLabel->setText(text(48));
    wizLabel0->setText(text(42));
    wizLabel1->setText(text(45));
    wizLabel2->setText(text(46));
    wizLabel3->setText(text(47));
    wizLabel4->setText(text(49));
    wizLoadFile->setText(text(50));
    NextCaption = text(51);
    BackCaption = text(52);
    FinishCaption = text(53);
    CancelCaption = text(54);
}

void TWizardDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Restoring a minimised dialog is no new opening.
    if (event->spontaneous()) return;
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    FormActivate();
}

void TWizardDlg::keyPressEvent(QKeyEvent* event) {
    // No button stands for Esc: the wizard is left through Cancel or the title bar only.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TWizardDlg::FormActivate() {
    wizText->clear();
    wizTemplate->clear();
    // The title is built from the plain dialog title each time, so the mode word never piles up.
    if (ExportMode) {
        wizHeading->setText("Export");
        setWindowTitle("Export " + DialogTitle);
        Notebook->setCurrentIndex(Export1);
    } else {
        wizHeading->setText("Import");
        setWindowTitle("Import " + DialogTitle);
        Notebook->setCurrentIndex(Import1);
    }
    FinishBtn->setEnabled(false);
    FinishBtn->setText(NextCaption);
    BackBtn->setText(BackCaption);
    CancelBtn->setText(CancelCaption);
}

void TWizardDlg::FinishBtnClick() {
    switch (Notebook->currentIndex()) {
    case Export1:
        BackBtn->setEnabled(true);
        Notebook->setCurrentIndex(Export2);
        FinishBtn->setText(FinishCaption);
        break;
    case Export2:
    case Import3:
        accept();
        break;
    case Import1:
        Notebook->setCurrentIndex(Import2);
        BackBtn->setEnabled(true);
        FinishBtn->setText(NextCaption);
        FinishBtn->setEnabled(false);
        break;
    case Import2:
        try {
            Combine();
        } catch (const std::exception& e) {
            // The wizard stays on this page as it was, so the user can mend the paths.
            ShowError(e);
            return;
        }
        Notebook->setCurrentIndex(Import3);
        FinishBtn->setText(FinishCaption);
        BackBtn->setEnabled(true);
        break;
    default:
        break;
    }
}

void TWizardDlg::BackBtnClick() {
    FinishBtn->setText(NextCaption);
    switch (Notebook->currentIndex()) {
    case Export2:
    case Import2:
        BackBtn->setEnabled(false);
        Notebook->setCurrentIndex(Notebook->currentIndex() - 1);
        break;
    case Import3:
        Notebook->setCurrentIndex(Import2);
        break;
    default:
        break;
    }
}

void TWizardDlg::wizOutputChange() {
    if (!wizOutput->text().isEmpty()) FinishBtn->setEnabled(true);
}

void TWizardDlg::wizTextChange() {
    if (!wizText->text().isEmpty() && !wizTemplate->text().isEmpty()) FinishBtn->setEnabled(true);
}

void TWizardDlg::wizTemplateChange() { wizTextChange(); }

void TWizardDlg::wizDestinationChange() {
    if (!wizDestination->text().isEmpty()) FinishBtn->setEnabled(true);
}

void TWizardDlg::Combine() {
    quillfen::Combine(NativePath(wizText->text()), NativePath(wizTemplate->text()),
                      NativePath(wizDestination->text()));
}

}  // namespace quillfen
