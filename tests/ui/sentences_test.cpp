// Sentences in the window: the entry holds a sentence's placeholders as tokens that go whole,
// Ok refuses a sentence that lost one, and a reordered sentence reaches the page, the preview,
// find and undo.
#include "core/markup/sentences.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTextDocumentFragment>
#include <QToolTip>
#include <functional>
#include <string>

#include "settings/settings.h"
#include "tests/ui/window_fixture.h"
#include "ui/entryedit.h"
#include "ui/findbar.h"
#include "ui/preview.h"

using namespace quillfen;

namespace {

using quillfen::uitest::ReadBytes;

class Sentences : public uitest::Window {
  protected:
    void SetUp() override {
        if (!SentencesAvailable()) GTEST_SKIP() << "no sentences in this build";
        TSettings stored;
        stored.Units = TUnits::Sentences;
        SaveSettings(IniSettingsStore(dir.filePath("settings.ini")), stored);
        Window::SetUp();
    }
    void TearDown() override {
        if (form) Window::TearDown();
    }
};

// Positions count a token as one character: "The quick " 0-9, <b1> 10, "brown" 11-15, </b1> 16,
// " fox" 17-20, <br2/> 21, "jumps." 22-27.
const QString kSentence = "The quick <b1>brown</b1> fox<br2/>jumps.";

}  // namespace

TEST_F(Sentences, PlaceholdersAreTokensThatGoWholeAndTheKeyBringsTheMissingOnes) {
    const std::string page = "<p>The quick <b>brown</b> fox<br>jumps.</p>";
    Open(Page("s.html", page));
    ASSERT_EQ(RowString(0), kSentence);
    ASSERT_TRUE(Edit1->HasTokens());
    const int insert = TEntryEdit::InsertPlaceholderKey;
    const struct {
        const char* name;
        QString start;
        int from, to;  // the selection before the keys; from == to: the cursor
        std::function<void()> keys;
        QString expected;
    } cases[] = {
        {"Backspace behind an end tag takes it whole", kSentence, 17, 17,
         [&] { Key(Qt::Key_Backspace); }, "The quick <b1>brown fox<br2/>jumps."},
        {"Delete before an empty element takes it whole", kSentence, 21, 21,
         [&] { Key(Qt::Key_Delete); }, "The quick <b1>brown</b1> foxjumps."},
        {"the arrow steps over a token as over one character", kSentence, 10, 10,
         [&] {
             Key(Qt::Key_Right);
             Type("X");
         },
         "The quick <b1>Xbrown</b1> fox<br2/>jumps."},
        {"a selection holds a token whole, and typing replaces it", kSentence, 15, 17,
         [&] { Type("N"); }, "The quick <b1>browN fox<br2/>jumps."},
        {"the key puts the missing empty element at the cursor",
         "The quick <b1>brown</b1> fox jumps.", 30, 30, [&] { Key(insert); },
         "The quick <b1>brown</b1> fox jumps.<br2/>"},
        {"the key wraps the selection in the missing pair", "The quick brown fox<br2/>jumps.", 4, 9,
         [&] { Key(insert); }, "The <b1>quick</b1> brown fox<br2/>jumps."},
        {"without a selection the pair goes round the cursor, typing inside it",
         "The fox<br2/>jumps.", 4, 4,
         [&] {
             Key(insert);
             Type("red ");
         },
         "The <b1>red </b1>fox<br2/>jumps."},
        {"the key brings a missing end tag alone", "The quick <b1>brown fox<br2/>jumps.", 16, 16,
         [&] { Key(insert); }, "The quick <b1>brown</b1> fox<br2/>jumps."},
        {"with nothing missing the key changes nothing", kSentence, 3, 3, [&] { Key(insert); },
         kSentence},
        {"a placeholder of this sentence typed out becomes its token", "The fox.", 4, 4,
         [&] { Type("<b1>red</b1> "); }, "The <b1>red</b1> fox."},
        {"an empty element typed out becomes its token", "The fox.", 7, 7, [&] { Type("<br2/>"); },
         "The fox<br2/>."},
        {"a tag no placeholder of this sentence has stays text", "The fox.", 8, 8,
         [&] { Type(" <b9><br2>"); }, "The fox. \\<b9>\\<br2>"},
        {"the field's undo brings a deleted token back", kSentence, 17, 17,
         [&] {
             Key(Qt::Key_Backspace);
             Key(Qt::Key_Z, Qt::ControlModifier);
         },
         kSentence},
        {"paste: this sentence's placeholders become tokens, others stay text",
         "The fox<br2/>jumps.", 4, 4,
         [&] {
             QGuiApplication::clipboard()->setText("<b1>red</b1> <i9/>");
             Key(Qt::Key_V, Qt::ControlModifier);
         },
         "The <b1>red</b1> \\<i9/>fox<br2/>jumps."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Edit1->setText(c.start);
        Edit1->setSelection(c.from, c.to - c.from);
        c.keys();
        EXPECT_EQ(Edit1->text(), c.expected);
    }

    // Copying gives the textual form, which pastes back as the same tokens.
    Edit1->setText(kSentence);
    Edit1->setSelection(10, 7);
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "<b1>brown</b1>");
    Key(Qt::Key_Delete);
    Key(Qt::Key_End);
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Edit1->text(), "The quick  fox<br2/>jumps.<b1>brown</b1>");
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    // Nothing was confirmed.
    EXPECT_EQ(ReadBytes(dir.filePath("s.html")), page);
}

TEST_F(Sentences, OkRefusesASentenceThatLostAPlaceholderNamingItAndWritesNothing) {
    const std::string page = "<p>The quick <b>brown</b> fox<br>jumps.</p>";
    const QString path = Page("s.html", page);
    Open(path);
    Edit1->setCursorPosition(17);
    Key(Qt::Key_Backspace);
    Key(Qt::Key_Return);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("</b1>")) << errors[0].toStdString();
    EXPECT_EQ(ReadBytes(path), page);
    EXPECT_FALSE(form->Document().IsChanged(0));
    EXPECT_FALSE(mUndo->isEnabled());
    // The typed text stays, for the user to mend.
    EXPECT_EQ(form->SelectedRow(), 0);
    EXPECT_EQ(Edit1->text(), "The quick <b1>brown fox<br2/>jumps.");
}

TEST_F(Sentences, AReorderedSentenceReachesThePageThePreviewAndFindAndOneUndoTakesItBack) {
    const std::string page = "<p>the quick <b class=\"c\">brown</b> fox</p>\n<p>Next one.</p>\n";
    const QString path = Page("s.html", page);
    Open(path);
    ASSERT_EQ(RowString(0), "the quick <b1>brown</b1> fox");
    ASSERT_TRUE(PreviewShows("Next one."));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ReadMark().phrase == 0; }, 20000));
    EXPECT_EQ(ReadMark().text, "the quick brown fox") << "the whole sentence is marked";

    // Typing replaces the whole sentence; the key brings its pair back round the cursor.
    Type("le renard ");
    Key(TEntryEdit::InsertPlaceholderKey);
    Type("brun");
    Key(Qt::Key_End);
    Type(" rapide");
    EXPECT_EQ(Edit1->text(), "le renard <b1>brun</b1> rapide");
    Key(Qt::Key_Return);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    const std::string written =
        "<p>le renard <b class=\"c\">brun</b> rapide</p>\n<p>Next one.</p>\n";
    EXPECT_EQ(ReadBytes(path), written);
    EXPECT_EQ(RowString(0), "le renard <b1>brun</b1> rapide");
    EXPECT_EQ(Item3->text(), "6 words") << "words, not placeholders";
    EXPECT_EQ(form->SelectedRow(), 1);
    EXPECT_TRUE(PreviewShows("le renard brun rapide"));

    // Find reads the sentence as a reader does, across its tags.
    Key(Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(FindBar->isVisible());
    Type("renard brun");
    EXPECT_EQ(form->SelectedRow(), 0);
    EXPECT_FALSE(FindBar->NoMatch());
    Key(Qt::Key_Escape);

    // One undo puts the page back byte for byte.
    Command([this] { mUndo->trigger(); });
    EXPECT_EQ(ReadBytes(path), page);
    EXPECT_EQ(RowString(0), "the quick <b1>brown</b1> fox");
    EXPECT_EQ(Item3->text(), "6 words");
    EXPECT_FALSE(mUndo->isEnabled());
}

// A sentence whose placeholders keep their order changes in place, as a reload of the saved
// page shows it; the page is not loaded anew.
TEST_F(Sentences, AConfirmedSentenceChangesInThePreviewAsAReloadShowsIt) {
    const std::string page =
        "<html><body>\n<p>The quick <b>brown</b> fox.  It   jumps\n over <i>the <u>lazy</u></i> "
        "dog.</p>\n<p><b>Bold</b> start &amp; end.</p>\n<p>Line<br>break here.</p>\n"
        "<p>Caf&eacute; time <a href=\"x\">link text</a> now!</p>\n<p>Last one.</p>\n"
        "</body></html>\n";
    const QString path = Page("s.html", page);
    Open(path);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !PreviewPane->IsLoading(); }, 20000));
    const int rows = TextBoxModel->rowCount();
    ASSERT_GE(rows, 6);
    PreviewPane->RunScript("window.quillfenKept = 1;");
    QSignalSpy marks(PreviewPane, &TPreview::Marked);
    // Every word of letters in capitals; the placeholders stay as they stand.
    const QRegularExpression word("\\b[A-Za-z\u00E9]{2,}\\b");
    for (int row = 0; row + 1 < rows; ++row) {
        SCOPED_TRACE(RowString(row).toStdString());
        Select(row);
        QString text = RowString(row);
        for (auto m = word.globalMatch(RowString(row)); m.hasNext();) {
            const QRegularExpressionMatch found = m.next();
            text.replace(found.capturedStart(), found.capturedLength(), found.captured().toUpper());
        }
        Edit1->setText(text);
        marks.clear();
        QTest::keyClick(Edit1, Qt::Key_Return);
        ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
        ASSERT_EQ(RowString(row), text);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !marks.isEmpty() && marks.last().at(0).toInt() == row + 1; }, 20000));
    }
    const QString inPlace = BodyText();
    EXPECT_TRUE(inPlace.contains("THE QUICK BROWN FOX")) << inPlace.toStdString();
    bool kept = false, answered = false;
    PreviewPane->RunScript("window.quillfenKept === 1", [&](const QVariant& v) {
        kept = v.toBool();
        answered = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }, 20000));
    EXPECT_TRUE(kept) << "the page was loaded anew";

    QSignalSpy loaded(PreviewPane, &TPreview::LoadFinished);
    PreviewPane->Show(path, form->Document());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !loaded.isEmpty(); }, 20000));
    EXPECT_EQ(inPlace, BodyText());
}

TEST_F(Sentences, ACarriedElementShowsWhatItHoldsOverItsToken) {
    Open(Page("svg.html", "<p>Look <svg><circle r=\"1\"></circle></svg> here.</p>"));
    ASSERT_EQ(RowString(0), "Look <svg1/> here.");
    // Over the token (the sixth character), and beside it.
    QTextCursor at(Edit1->document());
    at.setPosition(5);
    const QPoint token = Edit1->cursorRect(at).center() + QPoint(3, 0);
    QHelpEvent over(QEvent::ToolTip, token, Edit1->viewport()->mapToGlobal(token));
    QCoreApplication::sendEvent(Edit1->viewport(), &over);
    EXPECT_TRUE(QToolTip::isVisible());
    // Shown as written, not read as markup of the tip's own (which showed an empty box).
    EXPECT_EQ(QTextDocumentFragment::fromHtml(QToolTip::text()).toPlainText(),
              "<svg><circle r=\"1\"></circle></svg>");
    at.setPosition(1);
    const QPoint text = Edit1->cursorRect(at).center();
    QHelpEvent beside(QEvent::ToolTip, text, Edit1->viewport()->mapToGlobal(text));
    QCoreApplication::sendEvent(Edit1->viewport(), &beside);
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 5000));
}
