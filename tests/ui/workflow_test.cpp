// Working through a page as a user does: the keyboard from the entry field, finding a phrase,
// going to one by number, the preview following the selection, and pages handed over by the
// desktop (command line, drop).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QSpinBox>
#include <QStackedWidget>
#include <QUrl>
#include <QWindow>
#include <cerrno>
#include <cstring>
#include <string>

#include "settings/stringtable.h"
#include "tests/ui/window_fixture.h"
#include "ui/desktop.h"
#include "ui/findbar.h"
#include "ui/options.h"
#include "ui/preview.h"
#include "ui/texts.h"

using namespace quillfen;

namespace {

using quillfen::uitest::kPage;
using quillfen::uitest::ReadBytes;

// Rows: 0 "Red apple", 1 "Green pear", 2 "APPLE juice", 3 "Café", 4 "Plum", 5 "apple tart".
const std::string kFruit =
    "<html><body>\r\n<p>Red apple</p>\r\n<p>Green pear</p>\r\n<p>APPLE juice</p>\r\n"
    "<p>Caf&eacute;</p>\r\n<p>Plum</p>\r\n<p>apple tart</p>\r\n</body></html>\r\n";

std::string Rows(int n) {
    std::string page = "<html><body>\r\n";
    for (int i = 0; i < n; ++i) page += "<p>Row " + std::to_string(i) + "</p>\r\n";
    return page + "</body></html>\r\n";
}

class Workflow : public uitest::Window {
  protected:
    // The entry field holds the row's string, all of it selected, so typing replaces it.
    void ExpectEntryShowsRow(int row) {
        EXPECT_EQ(form->SelectedRow(), row);
        EXPECT_EQ(Edit1->text(), RowString(row));
        EXPECT_EQ(Edit1->selectedText(), RowString(row));
        // Above it the row's text, or for a replaced phrase its source.
        const QVariant source = TextBoxModel->index(row).data(Qt::ToolTipRole);
        EXPECT_EQ(TextLabel->text(), source.isValid() ? source.toString() : RowString(row));
    }

    // Waits until the browser shows phrase marked and no load is under way.
    bool PreviewMarks(int phrase) {
        return QTest::qWaitFor(
            [&] { return !PreviewPane->IsLoading() && ReadMark().phrase == phrase; }, 20000);
    }

    // Runs go-to by command, answering its dialog with number, or cancelling it with 0; keeps
    // what it asked.
    void GoTo(int number, const std::function<void()>& command) {
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [this, number, &poll] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            poll.stop();
            asked << dialog->windowTitle() + "|" + dialog->labelText();
            if (number > 0) dialog->findChild<QSpinBox*>()->setValue(number);
            number > 0 ? dialog->accept() : dialog->reject();
        });
        poll.start(20);
        command();
        poll.stop();
        // A window manager activates the window again once the dialog has gone; the offscreen
        // platform leaves that to the test.
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    // The whole height of the row is in the list's view.
    bool InView(int row) const {
        const QRect r = TextBox->visualRect(TextBoxModel->index(row));
        return r.top() >= 0 && r.bottom() <= TextBox->viewport()->rect().bottom();
    }

    QString FindCount() const { return FindBar->FindCount->text(); }
};

TEST_F(Workflow, TheKeyboardAloneWorksThroughAPage) {
    const QString path = Page("page.html");
    Open(path);
    ASSERT_TRUE(Edit1->hasFocus());
    ExpectEntryShowsRow(0);
    Type("Erste");
    Key(Qt::Key_Return);
    // The next phrase stands selected: typing replaces it.
    ExpectEntryShowsRow(1);
    Type("Bild");
    Key(Qt::Key_Return);
    ExpectEntryShowsRow(2);
    EXPECT_TRUE(Edit1->hasFocus());
    const std::string bytes = ReadBytes(path);
    EXPECT_NE(bytes.find("<p>Erste</p>"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("alt=\"Bild\""), std::string::npos) << bytes;
    // Nothing was appended to the old texts.
    EXPECT_EQ(bytes.find("First phrase"), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find("picture"), std::string::npos) << bytes;
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();

    // Home and End without Ctrl edit the text, as the arrow keys do.
    Key(Qt::Key_End);
    Type("!");
    EXPECT_EQ(Edit1->text(), "Second phrase!");
    EXPECT_EQ(form->SelectedRow(), 2);

    // Tab goes round the window's controls and comes back to the entry, never into the
    // preview's links, which would hold the keyboard.
    ASSERT_TRUE(PreviewShows("Erste"));
    QStringList visited;
    for (int k = 0; k < 12; ++k) {
        Key(Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        visited << focus->objectName();
        EXPECT_FALSE(Browser == focus || Browser->isAncestorOf(focus))
            << visited.join(" > ").toStdString();
        if (focus == Edit1) break;
    }
    EXPECT_EQ(QApplication::focusWidget(), Edit1) << visited.join(" > ").toStdString();
}

TEST_F(Workflow, PageKeysAndCtrlHomeEndMoveLikeAClickAndStopAtTheEnds) {
    const QString path = Page("rows.html", Rows(40));
    Open(path);
    const int page = form->VisibleRows();
    ASSERT_GT(page, 3);
    ASSERT_LT(page, 20);
    // A page is the rows wholly in view.
    EXPECT_TRUE(InView(page - 1));
    EXPECT_FALSE(InView(page));
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        int row;
    } steps[] = {
        {Qt::Key_PageUp, Qt::NoModifier, 0},  // as Up: the first row stays
        {Qt::Key_PageDown, Qt::NoModifier, page}, {Qt::Key_PageDown, Qt::ShiftModifier, 2 * page},
        {Qt::Key_PageUp, Qt::NoModifier, page},   {Qt::Key_End, Qt::ControlModifier, 39},
        {Qt::Key_PageDown, Qt::NoModifier, 39},   {Qt::Key_PageUp, Qt::NoModifier, 39 - page},
        {Qt::Key_Home, Qt::ControlModifier, 0},   {Qt::Key_PageUp, Qt::NoModifier, 0},
        {Qt::Key_Home, Qt::ControlModifier, 0},   {Qt::Key_End, Qt::ControlModifier, 39},
        {Qt::Key_End, Qt::ControlModifier, 39},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(::testing::Message() << "key " << step.key << " to row " << step.row);
        Key(step.key, step.modifiers);
        ExpectEntryShowsRow(step.row);
        EXPECT_TRUE(Edit1->hasFocus());
        EXPECT_TRUE(InView(step.row));
    }
    EXPECT_EQ(ReadBytes(path), Rows(40));
}

TEST_F(Workflow, FindWrapsCountsAndFollowsTheChangedTexts) {
    const QString path = Page("fruit.html", kFruit);
    Open(path);
    EXPECT_TRUE(FindBar->isHidden());
    Key(Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(FindBar->isVisible());
    ASSERT_TRUE(FindBar->FindEdit->hasFocus());
    // The entry keeps showing what typing will replace.
    ExpectEntryShowsRow(0);
    EXPECT_EQ(FindBar->FindLabel->text(), "Find:");

    // Typing finds the first match; Enter and F3 go on, Shift+F3 and Shift+Enter back, round
    // the ends; case and accents do not matter.
    Type("apple");
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        int row;
        const char* count;
    } steps[] = {
        {0, {}, 0, "1 of 3"},
        {Qt::Key_Return, {}, 2, "2 of 3"},
        {Qt::Key_F3, {}, 5, "3 of 3"},
        {Qt::Key_F3, {}, 0, "1 of 3"},
        {Qt::Key_F3, Qt::ShiftModifier, 5, "3 of 3"},
        {Qt::Key_Return, Qt::ShiftModifier, 2, "2 of 3"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.count);
        if (step.key) Key(step.key, step.modifiers);
        ExpectEntryShowsRow(step.row);
        EXPECT_EQ(FindCount(), step.count);
        // The focus stays in the find field, and the entry still shows what typing replaces.
        EXPECT_TRUE(FindBar->FindEdit->hasFocus());
    }
    // F3 goes on from anywhere in the window, the entry included.
    Edit1->setFocus(Qt::OtherFocusReason);
    Key(Qt::Key_F3);
    ExpectEntryShowsRow(5);
    EXPECT_EQ(FindCount(), "3 of 3");
    Edit1->setFocus(Qt::OtherFocusReason);
    Key(Qt::Key_F3, Qt::ShiftModifier);
    ExpectEntryShowsRow(2);
    FindBar->FindEdit->setFocus(Qt::OtherFocusReason);
    const QPalette entry = Edit1->palette();
    EXPECT_EQ(entry.color(QPalette::Inactive, QPalette::Highlight),
              entry.color(QPalette::Active, QPalette::Highlight));

    // Typing on keeps the selected phrase while it still matches.
    Type(" j");
    ExpectEntryShowsRow(2);
    EXPECT_EQ(FindCount(), "1 of 1");
    FindBar->FindEdit->selectAll();
    Type("cafe");
    ExpectEntryShowsRow(3);
    Type("x");
    EXPECT_TRUE(FindBar->NoMatch());
    EXPECT_EQ(FindCount(), "No match");
    EXPECT_NE(FindBar->FindEdit->palette().color(QPalette::Base),
              Edit1->palette().color(QPalette::Base));
    ExpectEntryShowsRow(3);

    // Esc gives the entry field back, its text selected; the confirmed text is found at once.
    Key(Qt::Key_Escape);
    EXPECT_TRUE(FindBar->isHidden());
    ASSERT_TRUE(Edit1->hasFocus());
    ExpectEntryShowsRow(3);
    Type("Mango");
    Key(Qt::Key_Return);
    Command([this] { mFind->trigger(); });
    EXPECT_EQ(FindBar->FindEdit->selectedText(), "cafex");
    Type("mango");
    ExpectEntryShowsRow(3);
    EXPECT_EQ(FindCount(), "1 of 1");
    FindBar->FindEdit->selectAll();
    Type("caf");
    EXPECT_TRUE(FindBar->NoMatch());
    Command([this] { mUndo->trigger(); });
    FindBar->FindEdit->setFocus();
    Key(Qt::Key_F3);
    ExpectEntryShowsRow(3);
    Command([this] { Control<QAction>("mDeutsch")->trigger(); });
    EXPECT_EQ(FindCount(), "1 von 1");
    EXPECT_EQ(mFind->text(), "&Suchen...");
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(Workflow, GoToSelectsAPhraseByItsNumberCountedFromOne) {
    Open(Page("fruit.html", kFruit));
    EXPECT_EQ(mGoTo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_G));
    GoTo(5, [this] { Key(Qt::Key_G, Qt::ControlModifier); });
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0], "Go to phrase|Phrase number (1 to 6):");
    ExpectEntryShowsRow(4);
    EXPECT_TRUE(Edit1->hasFocus());
    GoTo(0, [this] { Key(Qt::Key_G, Qt::ControlModifier); });
    ExpectEntryShowsRow(4);
    Command([this] { Control<QAction>("mDeutsch")->trigger(); });
    GoTo(6, [this] { Command([this] { mGoTo->trigger(); }); });
    ASSERT_EQ(asked.size(), 3);
    EXPECT_EQ(asked[2], QString::fromUtf8("Gehe zu Textblock|Nummer des Textblocks (1 bis 6):"));
    ExpectEntryShowsRow(5);

    // Without a page neither command is offered.
    Command([this] { mClose->trigger(); });
    EXPECT_FALSE(mGoTo->isEnabled());
    EXPECT_FALSE(mFind->isEnabled());
}

TEST_F(Workflow, ThePreviewMarksTheSelectedPhraseAndAClickThereSelectsItsRow) {
    Open(Page("page.html"));
    ASSERT_TRUE(PreviewShows("Third"));
    EXPECT_TRUE(PreviewMarks(0));
    EXPECT_EQ(ReadMark().text, "First phrase");
    // After Enter the page is shown again as saved, with the next phrase, an image, marked.
    Type("Neu");
    Key(Qt::Key_Return);
    ASSERT_TRUE(PreviewMarks(1));
    EXPECT_EQ(ReadMark().tag.toLower(), "img");
    EXPECT_TRUE(PreviewShows("Neu"));

    QVariantList at;
    bool done = false;
    PreviewPane->RunScript(
        "(function(){ const p = [...document.querySelectorAll('p')].find("
        "e => e.textContent.trim() == 'Third'); p.scrollIntoView();"
        "const r = document.createRange(); r.selectNodeContents(p);"
        "const b = r.getBoundingClientRect(); return [b.left + b.width / 2, b.top + b.height / 2];"
        "})()",
        [&](const QVariant& v) {
            at = v.toList();
            done = true;
        });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 20000));
    ASSERT_EQ(at.size(), 2);
    QWidget* surface = Browser->focusProxy();
    ASSERT_NE(surface, nullptr);
    Edit1->setText("typed");
    QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier,
                      QPoint(int(at[0].toDouble()), int(at[1].toDouble())));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->SelectedRow() == 3; }, 20000));
    ExpectEntryShowsRow(3);
    EXPECT_TRUE(Edit1->hasFocus());
    EXPECT_TRUE(PreviewMarks(3));
    // Opening a page marks its first phrase, after the question about the typed text.
    Answer(QMessageBox::Yes);
    Open(Page("other.html", "<p>Other page</p>"));
    EXPECT_TRUE(PreviewMarks(0));
    EXPECT_EQ(ReadMark().text, "Other page");
}

TEST_F(Workflow, CaptionsAreTheirOwnWithoutTheApplicationsName) {
    // The application as the program sets it up: a display name would be kept when the name
    // changes, and window systems append it to every caption.
    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName("Probe");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Probe");
    QCoreApplication::setApplicationName(name);

    const QString path = Page("page.html");
    Open(path);
    const QString caption = "Quillfen - " + QDir::toNativeSeparators(path);
    EXPECT_EQ(form->windowTitle(), caption);
    ASSERT_NE(form->windowHandle(), nullptr);
    EXPECT_EQ(form->windowHandle()->title(), caption);
    EXPECT_EQ(OptionsDlg->windowTitle(), "Options");
}

TEST_F(Workflow, TheLegendHoldsSevenDigitCountsInBothLanguages) {
    for (const TLanguageEntry& language : Languages()) {
        Control<QAction>(language.MenuItem)->trigger();
        for (QLabel* label : {Item1, Item3}) {
            const QString text =
                FormatCount(LoadStr(language.Language, label == Item1 ? 23 : 26), 9'999'999);
            SCOPED_TRACE(text.toStdString());
            EXPECT_LE(label->fontMetrics().horizontalAdvance(text), label->contentsRect().width());
            EXPECT_TRUE(GroupBox1->contentsRect().contains(label->geometry()));
            EXPECT_GE(label->font().pixelSize(), 8);
        }
    }
}

TEST_F(Workflow, APageFromTheCommandLineOrADropOpensAsThroughOpen) {
    const QString here = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const QString page = Page("page.html");
    const struct {
        QStringList arguments;
        bool valid;
        QString page;
    } lines[] = {
        {{"quillfen"}, true, {}},
        {{"quillfen", "page.html"}, true, page},
        {{"quillfen", "sub/../page.html"}, true, page},
        {{"quillfen", "--", "-odd.html"}, true, dir.filePath("-odd.html")},
        {{"quillfen", page}, true, page},
        {{"quillfen", "page.html", "other.html"}, false, {}},
        {{"quillfen", "--help"}, false, {}},
    };
    for (const auto& l : lines) {
        const TCommandLine line = ReadCommandLine(l.arguments);
        EXPECT_EQ(line.valid, l.valid) << l.arguments.join(' ').toStdString();
        EXPECT_EQ(line.page, l.page) << l.arguments.join(' ').toStdString();
    }
    form->OpenPage(ReadCommandLine({"quillfen", "page.html"}).page);
    ASSERT_TRUE(QDir::setCurrent(here));
    EXPECT_EQ(form->DocumentPath(), page);
    EXPECT_EQ(form->RecentFiles()[0], page);
    EXPECT_EQ(Notebook->currentIndex(), 1);
    EXPECT_TRUE(Edit1->hasFocus());

    // A drop, delivered as the window system does: to the window, at a point over a control.
    // One local file opens, over the list as over the preview; several, a folder or a web
    // address do not.
    auto drop = [this](const QList<QUrl>& urls, QWidget* over) {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at = over->mapTo(form.get(), over->rect().center());
        QWindow* window = form->windowHandle();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &enter);
        bool dropped = false;
        if (enter.isAccepted()) {
            QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(window, &drop);
            dropped = drop.isAccepted();
        } else {
            QDragLeaveEvent leave;
            QApplication::sendEvent(window, &leave);
        }
        QCoreApplication::sendPostedEvents();
        return dropped;
    };
    const QString other = Page("other.html");
    EXPECT_FALSE(drop({QUrl::fromLocalFile(other), QUrl::fromLocalFile(page)}, TextBox));
    EXPECT_FALSE(drop({QUrl::fromLocalFile(dir.path())}, TextBox));
    EXPECT_FALSE(drop({QUrl("https://example.org/page.html")}, TextBox));
    EXPECT_EQ(form->DocumentPath(), page);
    EXPECT_TRUE(drop({QUrl::fromLocalFile(other)}, TextBox));
    EXPECT_EQ(form->DocumentPath(), other);
    EXPECT_EQ(form->RecentFiles()[0], other);
    EXPECT_EQ(form->RecentFiles()[1], page);
    ASSERT_TRUE(PreviewShows("Third"));
    EXPECT_TRUE(drop({QUrl::fromLocalFile(page)}, Browser));
    EXPECT_EQ(form->DocumentPath(), page);
    EXPECT_TRUE(drop({QUrl::fromLocalFile(other)}, Browser));
    EXPECT_EQ(form->DocumentPath(), other);

    // Text whose save failed is not dropped without asking, as with Open.
    ASSERT_EQ(chmod(QFile::encodeName(other).constData(), 0444), 0);
    Key(Qt::Key_Down);
    Type("Refused");
    Key(Qt::Key_Return);
    ASSERT_EQ(errors.size(), 1);
    // The error box says why on a second line.
    EXPECT_EQ(errors[0].section('\n', 1), QString::fromLocal8Bit(std::strerror(EACCES)));
    EXPECT_TRUE(errors[0].section('\n', 0, 0).contains("other.html"));
    Answer(QMessageBox::No);
    EXPECT_TRUE(drop({QUrl::fromLocalFile(page)}, Edit1));
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(form->DocumentPath(), other);
}

}  // namespace
