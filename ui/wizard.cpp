#include "ui/wizard.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStackedWidget>
#include <QStyle>

#include "exchange/combine.h"
#include "exchange/formats.h"
#include "settings/stringtable.h"
#include "ui/application.h"
#include "ui/filedialogs.h"
#include "ui/pictures.h"
#include "ui/texts.h"

namespace quillfen {

namespace {

enum TPage { Export1 = 0, Export2 = 1, Import1 = 2, Import2 = 3, Import3 = 4 };

QLabel* TextLabel(QWidget* page, const QRect& where, bool wrap) {
    auto* label = new QLabel(page);
    // The notice speaks of "<nr>" parts, which a rich-text guess would swallow as a tag.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(wrap);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(where);
    return label;
}

}  // namespace

// --- path field -----------------------------------------------------------------------------

TFileEdit::TFileEdit(TKind kind, const QString& filter, QWidget* parent)
    : QLineEdit(parent), Kind(kind), Filter(filter) {
    const QStyle::StandardPixmap icon =
        kind == TKind::Folder ? QStyle::SP_DirOpenIcon : QStyle::SP_FileDialogStart;
    Browse = addAction(style()->standardIcon(icon), QLineEdit::TrailingPosition);
    Browse->setObjectName("Browse");
    connect(Browse, &QAction::triggered, this, Guard([this] { BrowseClick(); }));
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
        return ChoosePath(this, kind, filter, current);
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

    wizLabel0 = TextLabel(pages[Export1], QRect(8, 8, 243, 70), true);
    wizOutputLabel = TextLabel(pages[Export1], QRect(8, 80, 243, 16), false);
    wizOutput = fileEdit(pages[Export1], TFileEdit::TKind::Folder, QString(), 96, "wizOutput");
    wizFormatLabel = TextLabel(pages[Export1], QRect(8, 124, 243, 16), false);
    wizFormat = new QComboBox(pages[Export1]);
    wizFormat->setObjectName("wizFormat");
    wizFormat->setGeometry(8, 142, 243, 22);
    for (const TExchangeFormat* format : ExchangeFormats()) {
        const QString name = QString::fromUtf8(format->Name.data(), qsizetype(format->Name.size()));
        const QString summary =
            QString::fromUtf8(format->Summary.data(), qsizetype(format->Summary.size()));
        wizFormat->addItem(summary.isEmpty() ? name : name + " - " + summary, name);
    }
    wizFormatLabel->setBuddy(wizFormat);

    wizLabel1 = TextLabel(pages[Export2], QRect(8, 8, 243, 164), true);

    wizLabel2 = TextLabel(pages[Import1], QRect(8, 8, 243, 88), true);
    wizTextLabel = TextLabel(pages[Import1], QRect(8, 98, 243, 14), false);
    // Recombination reads the text file and the template that the default format writes: the
    // template first, the text file, whose phrases are read, last. The template's filter has
    // always been described as "*.temp".
    const std::vector<std::string> extensions = FileExtensions(DefaultExchangeFormat());
    const QString text = "*" + QString::fromStdString(extensions.back());
    const QString templ = "*" + QString::fromStdString(extensions.front());
    wizText =
        fileEdit(pages[Import1], TFileEdit::TKind::OpenFile, text + "|" + text, 112, "wizText");
    wizTempLabel = TextLabel(pages[Import1], QRect(8, 137, 243, 14), false);
    wizTemplate =
        fileEdit(pages[Import1], TFileEdit::TKind::OpenFile, "*.temp|" + templ, 151, "wizTemplate");

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

    connect(CancelBtn, &QPushButton::clicked, this, Guard([this] { reject(); }));
    connect(BackBtn, &QPushButton::clicked, this, Guard([this] { BackBtnClick(); }));
    connect(FinishBtn, &QPushButton::clicked, this, Guard([this] { FinishBtnClick(); }));
    connect(wizOutput, &QLineEdit::textChanged, this, Guard([this] { wizOutputChange(); }));
    connect(wizText, &QLineEdit::textChanged, this, Guard([this] { wizTextChange(); }));
    connect(wizTemplate, &QLineEdit::textChanged, this, Guard([this] { wizTemplateChange(); }));
    connect(wizDestination, &QLineEdit::textChanged, this,
            Guard([this] { wizDestinationChange(); }));
}

void TWizardDlg::ApplyLanguage(TLanguage language) {
    auto text = [language](TStringId id) { return LoadStr(language, id); };
    DialogTitle = text(TStringId::WizardTitle);
    setWindowTitle(DialogTitle);
    wizTextLabel->setText(text(TStringId::WizardTextFile));
    wizTempLabel->setText(text(TStringId::WizardTemplate));
    wizOutputLabel->setText(text(TStringId::WizardOutputFolder));
    wizFormatLabel->setText(text(TStringId::ExportFormatCaption));
    wizHTMLLabel->setText(text(TStringId::WizardHtmlFile));
    wizLabel0->setText(text(TStringId::WizardExportIntro));
    ExportNotice = text(TStringId::WizardExportNotice);
    TranslationNotice = text(TStringId::WizardTranslationNotice);
    wizLabel1->setText(ExportNotice);
    wizLabel2->setText(text(TStringId::WizardImportIntro));
    wizLabel3->setText(text(TStringId::WizardDestinationPrompt));
    wizLabel4->setText(text(TStringId::WizardCombined));
    wizLoadFile->setText(text(TStringId::WizardLoadFile));
    NextCaption = text(TStringId::WizardNext);
    BackCaption = text(TStringId::WizardBack);
    FinishCaption = text(TStringId::WizardFinish);
    CancelCaption = text(TStringId::Cancel);
    ExportHeading = text(TStringId::WizardExportHeading);
    ImportHeading = text(TStringId::WizardImportHeading);
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
    const QString& heading = ExportMode ? ExportHeading : ImportHeading;
    wizHeading->setText(heading);
    setWindowTitle(heading + " " + DialogTitle);
    Notebook->setCurrentIndex(ExportMode ? Export1 : Import1);
    FinishBtn->setEnabled(false);
    FinishBtn->setText(NextCaption);
    BackBtn->setText(BackCaption);
    CancelBtn->setText(CancelCaption);
}

void TWizardDlg::FinishBtnClick() {
    switch (Notebook->currentIndex()) {
        case Export1:
            // A translation file comes back by a merge; the notice about keeping the template
            // and the markers is only for the text file.
            if (ExportFormat().ReadTranslation) {
                const QStringList files = ExportFiles();
                wizLabel1->setText(
                    FillIn(TranslationNotice, files.isEmpty() ? QString() : files.back()));
            } else {
                wizLabel1->setText(ExportNotice);
            }
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
            // A failure ends the command at its guard: the wizard stays on this page as it was, so
            // that the user can mend the paths.
            Combine();
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

QStringList TWizardDlg::ExportFiles() const {
    QStringList files;
    const TExchangeFormat& format = ExportFormat();
    if (!format.Files) return files;
    for (const std::string& file :
         format.Files(NativePath(PagePath), NativePath(wizOutput->text())))
        files << QDir::toNativeSeparators(QFile::decodeName(file.c_str()));
    return files;
}

const TExchangeFormat& TWizardDlg::ExportFormat() const {
    const QByteArray name = wizFormat->currentData().toString().toUtf8();
    const TExchangeFormat* format =
        FindExchangeFormat(std::string_view(name.constData(), std::size_t(name.size())));
    return format ? *format : DefaultExchangeFormat();
}

void TWizardDlg::SetExportFormat(const QString& name) {
    if (const int index = wizFormat->findData(name); index >= 0) wizFormat->setCurrentIndex(index);
}

void TWizardDlg::Combine() {
    // The text file's fields: the wizard offers the default format only.
    quillfen::Combine(DefaultExchangeFormat(), NativePath(wizText->text()),
                      NativePath(wizTemplate->text()), NativePath(wizDestination->text()));
}

}  // namespace quillfen
