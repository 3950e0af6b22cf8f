// The main window's fixed parts: the Start page, the Help page and the legend of the Translate
// page. Main.cpp binds the commands; what is built here only shows.
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <initializer_list>

#include "settings/help.h"
#include "settings/stringtable.h"
#include "ui/Main.h"
#include "ui/application.h"
#include "ui/pictures.h"
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
            for (const int id : {23, 26})
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
    VersionLabel = new QLabel("Version " + LoadStr(VersionId), Panel3);
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
    Notebook->addWidget(page);
}

}  // namespace quillfen
