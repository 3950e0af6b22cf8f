#include "ui/options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>

#include "settings/stringtable.h"
#include "shell/wininfo.h"
#include "ui/application.h"

namespace quillfen {

TOptionsDlg::TOptionsDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("OptionsDlg");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    // A check box for each kind, 28 pixels apart; the group boxes, the box for Enter's skipping
    // and the buttons below make room for them.
    const int boxesHeight = 37 + 28 * int(kKindCount);
    setFixedSize(327, boxesHeight + 106);
    setWindowTitle("Options");
    QFont font("MS Sans Serif");
    font.setPixelSize(11);
    setFont(font);

    GroupBox1 = new QGroupBox("HTML Tags to extract", this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(8, 8, 153, boxesHeight);
    for (const TKindInfo& kind : Kinds()) {
        const std::size_t k = static_cast<std::size_t>(kind.Kind);
        KindBoxes[k] = new QCheckBox(LoadStr(TLanguage::English, kind.Caption), GroupBox1);
        KindBoxes[k]->setObjectName(kind.Box);
        KindBoxes[k]->setGeometry(12, 24 + 28 * int(k), 137, 17);
    }

    GroupBox2 = new QGroupBox("Start menu", this);
    GroupBox2->setObjectName("GroupBox2");
    GroupBox2->setGeometry(168, 8, 151, boxesHeight);
    CreateLinkBtn = new QPushButton("Add &Start Menu item", GroupBox2);
    CreateLinkBtn->setObjectName("CreateLinkBtn");
    CreateLinkBtn->setGeometry(8, 48, 135, 25);
    CreateLinkBtn->setAutoDefault(false);

    OKBtn = new QPushButton("OK", this);
    OKBtn->setObjectName("OKBtn");
    SkipBox = new QCheckBox("&Enter skips phrases without letters or digits", this);
    SkipBox->setObjectName("SkipNoLetters");
    SkipBox->setGeometry(8, boxesHeight + 15, 311, 17);
    UnitsLabel = new QLabel("P&hrases:", this);
    UnitsLabel->setObjectName("UnitsLabel");
    UnitsLabel->setGeometry(8, boxesHeight + 43, 60, 17);
    UnitsBox = new QComboBox(this);
    UnitsBox->setObjectName("UnitsBox");
    UnitsBox->addItems({"text between tags", "sentences, with inline markup as placeholders"});
    UnitsBox->setGeometry(70, boxesHeight + 40, 249, 22);
    UnitsLabel->setBuddy(UnitsBox);
    // Where no sentence breaker is built in, phrases are runs.
    UnitsBox->setEnabled(SentencesAvailable());

    OKBtn->setGeometry(160, boxesHeight + 73, 75, 25);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton("Abbrechen", this);
    CancelBtn->setObjectName("CancelBtn");
    CancelBtn->setGeometry(244, boxesHeight + 73, 75, 25);
    CancelBtn->setAutoDefault(false);
    FitTexts();
    FormActivate();

    connect(OKBtn, &QPushButton::clicked, this, Guard([this] { OKBtnClick(); }));
    connect(CancelBtn, &QPushButton::clicked, this, Guard([this] { reject(); }));
    connect(CreateLinkBtn, &QPushButton::clicked, this, Guard([this] { CreateLinkBtnClick(); }));
}

void TOptionsDlg::ApplyLanguage(TLanguage language) {
    auto text = [language](TStringId id) { return LoadStr(language, id); };
    setWindowTitle(text(TStringId::OptionsTitle));
    GroupBox1->setTitle(text(TStringId::KindsCaption));
    for (const TKindInfo& kind : Kinds())
        KindBoxes[static_cast<std::size_t>(kind.Kind)]->setText(text(TStringId(kind.Caption)));
    GroupBox2->setTitle(text(TStringId::StartMenuCaption));
    CreateLinkBtn->setText(text(TStringId::AddStartMenuItem));
    SkipBox->setText(text(TStringId::SkipNoLetters));
    UnitsLabel->setText(text(TStringId::UnitsCaption));
    UnitsBox->setItemText(0, text(TStringId::UnitsRuns));
    UnitsBox->setItemText(1, text(TStringId::UnitsSentences));
    CancelBtn->setText(text(TStringId::Cancel));
    FitTexts();
}

void TOptionsDlg::FitTexts() {
    // The layout is the designed one, widened where a language's captions need more room than
    // it gives them, so that no caption is cut.
    const int boxesHeight = GroupBox1->height();
    int boxes = 137;
    for (const QCheckBox* box : KindBoxes) boxes = std::max(boxes, box->sizeHint().width());
    for (QCheckBox* box : KindBoxes) box->resize(boxes, box->height());
    GroupBox1->resize(std::max(153, boxes + 16), boxesHeight);
    const int link = std::max(135, CreateLinkBtn->sizeHint().width());
    CreateLinkBtn->resize(link, CreateLinkBtn->height());
    GroupBox2->setGeometry(GroupBox1->geometry().right() + 8, 8, std::max(151, link + 16),
                           boxesHeight);
    const int label = std::max(60, UnitsLabel->sizeHint().width());
    const int width =
        std::max({327, GroupBox2->geometry().right() + 9, SkipBox->sizeHint().width() + 16,
                  label + 12 + UnitsBox->sizeHint().width()});
    SkipBox->resize(width - 16, SkipBox->height());
    UnitsLabel->resize(label, UnitsLabel->height());
    UnitsBox->setGeometry(8 + label + 2, UnitsBox->y(), width - label - 18, UnitsBox->height());
    OKBtn->move(width - 167, OKBtn->y());
    CancelBtn->move(width - 83, CancelBtn->y());
    setFixedSize(width, height());
}

void TOptionsDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    FormActivate();
}

void TOptionsDlg::FormActivate() {
    for (const TKindInfo& kind : Kinds())
        KindBoxes[static_cast<std::size_t>(kind.Kind)]->setChecked(
            HasAny(Tags, KindBit(kind.Kind)));
    SkipBox->setChecked(SkipNoLetters);
    UnitsBox->setCurrentIndex(Units == TUnits::Sentences ? 1 : 0);
}

void TOptionsDlg::OKBtnClick() {
    for (const TKindInfo& kind : Kinds())
        Tags = With(Tags, KindBit(kind.Kind),
                    KindBoxes[static_cast<std::size_t>(kind.Kind)]->isChecked());
    SkipNoLetters = SkipBox->isChecked();
    Units = UnitsBox->currentIndex() == 1 ? TUnits::Sentences : TUnits::Runs;
    accept();
}

void TOptionsDlg::CreateLinkBtnClick() {
    const QString program = QCoreApplication::applicationFilePath();
    const QString folder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + "/");
    // A failure ends the command at its guard; the dialog stays open either way.
    CreateShortcut(program.toUtf8().toStdString(), std::string(), folder.toUtf8().toStdString(), 6,
                   "Quillfen.lnk");
}

}  // namespace quillfen
