#include "ui/options.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include "settings/stringtable.h"
#include "shell/wininfo.h"
#include "ui/application.h"

namespace quillfen {

TOptionsDlg::TOptionsDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("OptionsDlg");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(327, 199);
    setWindowTitle("Options");
    QFont font("MS Sans Serif");
    font.setPixelSize(11);
    setFont(font);

    GroupBox1 = new QGroupBox("HTML Tags to extract", this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(8, 8, 153, 121);
    plaintext = new QCheckBox("&plain text", GroupBox1);
    plaintext->setObjectName("plaintext");
    plaintext->setGeometry(12, 24, 137, 17);
    plaintext->setChecked(true);
    imgalt = new QCheckBox("&images alternatives", GroupBox1);
    imgalt->setObjectName("imgalt");
    imgalt->setGeometry(12, 52, 137, 17);
    imgalt->setChecked(true);
    content = new QCheckBox("header &content", GroupBox1);
    content->setObjectName("content");
    content->setGeometry(12, 80, 137, 17);

    GroupBox2 = new QGroupBox("Start menu", this);
    GroupBox2->setObjectName("GroupBox2");
    GroupBox2->setGeometry(168, 8, 151, 121);
    CreateLinkBtn = new QPushButton("Add &Start Menu item", GroupBox2);
    CreateLinkBtn->setObjectName("CreateLinkBtn");
    CreateLinkBtn->setGeometry(8, 48, 135, 25);
    CreateLinkBtn->setAutoDefault(false);

    OKBtn = new QPushButton("OK", this);
    OKBtn->setObjectName("OKBtn");
    SkipBox = new QCheckBox("&Enter skips phrases without letters or digits", this);
    SkipBox->setObjectName("SkipNoLetters");
    SkipBox->setGeometry(8, 136, 311, 17);

    OKBtn->setGeometry(160, 166, 75, 25);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton("Abbrechen", this);
    CancelBtn->setObjectName("CancelBtn");
    CancelBtn->setGeometry(244, 166, 75, 25);
    CancelBtn->setAutoDefault(false);

    connect(OKBtn, &QPushButton::clicked, this, Guard([this] { OKBtnClick(); }));
    connect(CancelBtn, &QPushButton::clicked, this, Guard([this] { reject(); }));
    connect(CreateLinkBtn, &QPushButton::clicked, this, Guard([this] { CreateLinkBtnClick(); }));
}

void TOptionsDlg::ApplyLanguage(TLanguage language) {
    auto text = [language](int n) { return LoadStr(language, n); };
    setWindowTitle(text(30));
    GroupBox1->setTitle(text(31));
    plaintext->setText(text(32));
    imgalt->setText(text(33));
    content->setText(text(34));
    GroupBox2->setTitle(text(35));
    CreateLinkBtn->setText(text(36));
    SkipBox->setText(text(86));
}

void TOptionsDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    FormActivate();
}

void TOptionsDlg::FormActivate() {
    plaintext->setChecked(HasAny(Tags, TTags::PlainText));
    imgalt->setChecked(HasAny(Tags, TTags::ImageAlt));
    content->setChecked(HasAny(Tags, TTags::Content));
    SkipBox->setChecked(SkipNoLetters);
}

void TOptionsDlg::OKBtnClick() {
    Tags = With(Tags, TTags::PlainText, plaintext->isChecked());
    Tags = With(Tags, TTags::ImageAlt, imgalt->isChecked());
    Tags = With(Tags, TTags::Content, content->isChecked());
    SkipNoLetters = SkipBox->isChecked();
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
