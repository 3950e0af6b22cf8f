// A day's work in the window: room to read, numbers and progress, nothing typed lost, and a
// preview that follows each confirmed phrase.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QLabel>
#include <QListView>
#include <QSplitter>
#include <QStackedWidget>
#include <string>

#include "tests/ui/window_fixture.h"

using namespace quillfen;

namespace {

using quillfen::uitest::ReadBytes;

std::string Rows(const std::vector<std::string>& texts) {
    std::string page = "<html><body>\r\n";
    for (const std::string& t : texts) page += "<p>" + t + "</p>\r\n";
    return page + "</body></html>\r\n";
}

using Translator = uitest::Window;

// --- room -----------------------------------------------------------------------------------

TEST_F(Translator, TheWindowGrowsFromItsDesignedSizeAndKeepsItThroughARestart) {
    const QSize designed(611, 466);
    EXPECT_EQ(form->size(), designed);
    EXPECT_EQ(form->minimumSize(), designed);
    std::string words;
    for (int i = 0; i < 60; ++i) words += "word" + std::to_string(i) + " ";
    Open(Page("page.html", Rows({"Short", words})));
    ASSERT_TRUE(errors.isEmpty());
    const int smallRows = form->VisibleRows();
    const int smallWidth = Edit1->width();

    form->resize(1920, 1080);
    QTRY_COMPARE(form->size(), QSize(1920, 1080));
    EXPECT_GE(form->VisibleRows(), 30);
    EXPECT_GT(form->VisibleRows(), smallRows);
    EXPECT_GT(Edit1->width(), smallWidth);
    // Every control of the page is in sight, none over another.
    const QList<QWidget*> controls = {TextLabel, Edit1, TextBox, OkBtn, GroupBox1, Browser};
    for (QWidget* w : controls) {
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_TRUE(w->isVisible());
        const QRect r(w->mapTo(form.get(), QPoint(0, 0)), w->size());
        EXPECT_FALSE(r.isEmpty());
        EXPECT_TRUE(form->rect().contains(r));
        for (QWidget* other : controls) {
            if (other == w) continue;
            const QRect o(other->mapTo(form.get(), QPoint(0, 0)), other->size());
            EXPECT_FALSE(r.intersects(o)) << other->objectName().toStdString();
        }
    }

    // A long phrase wraps over more lines in the entry and stays one text; Enter types no line
    // break but confirms it.
    Select(0);
    const int oneLine = Edit1->height();
    Select(1);
    const QString longRow = RowString(1);
    EXPECT_EQ(Edit1->text(), longRow);
    form->resize(designed);
    QTRY_VERIFY(Edit1->height() > oneLine);
    EXPECT_EQ(TextLabel->text(), longRow);
    EXPECT_TRUE(TextLabel->textInteractionFlags() & Qt::TextSelectableByMouse);
    Edit1->setFocus();
    Edit1->setCursorPosition(0);
    Type("New ");
    Key(Qt::Key_Return);
    EXPECT_FALSE(Edit1->text().contains('\n'));
    EXPECT_EQ(RowString(1), "New " + longRow);
    EXPECT_NE(ReadBytes(form->DocumentPath()).find("<p>New word0 "), std::string::npos);

    // Smaller than designed it does not get.
    form->resize(300, 200);
    QTRY_COMPARE(form->size(), designed);

    // Size, maximised state and the splitter come back at the next start.
    form->resize(1200, 900);
    QTRY_COMPARE(form->size(), QSize(1200, 900));
    auto* splitter = Control<QSplitter>("Splitter");
    splitter->setSizes({600, 150});
    const QList<int> sizes = splitter->sizes();
    Stop();
    Start();
    EXPECT_EQ(form->size(), QSize(1200, 900));
    Open(Page("page.html", Rows({"Short"})));
    QTRY_COMPARE(Control<QSplitter>("Splitter")->sizes(), sizes);
}

}  // namespace
