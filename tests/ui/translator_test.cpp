// A day's work in the window: room to read, numbers and progress, nothing typed lost, and a
// preview that follows each confirmed phrase.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QSplitter>
#include <QStackedWidget>
#include <algorithm>
#include <functional>
#include <iterator>
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
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->size() == QSize(1920, 1080); }));
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
    EXPECT_TRUE(QTest::qWaitFor([&] { return Edit1->height() > oneLine; }));
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
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->size() == designed; })) << form->size().height();

    // Size, maximised state and the splitter (the matches, the list, the preview) come back at
    // the next start.
    form->resize(1200, 900);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->size() == QSize(1200, 900); }));
    auto* splitter = Control<QSplitter>("Splitter");
    ASSERT_EQ(splitter->widget(0)->objectName(), QString("MatchesPane"));
    splitter->setSizes({250, 600, 150});
    const QList<int> given = splitter->sizes();
    Stop();
    Start();
    EXPECT_EQ(form->size(), QSize(1200, 900));
    Open(Page("page.html", Rows({"Short"})));
    // The list keeps the larger share it was given, far from the first one's, and the matches
    // pane its height.
    QList<int> restored = Control<QSplitter>("Splitter")->sizes();
    EXPECT_GT(restored[1], 3 * restored[2]) << restored[1] << " " << restored[2];
    EXPECT_NEAR(restored[0], given[0], 2);

    // A state saved before the matches were a part of the splitter holds the list's and the
    // preview's sizes: they keep theirs, and the matches get a few lines.
    QSplitter older(Qt::Vertical);
    older.addWidget(new QWidget);
    older.addWidget(new QWidget);
    older.resize(100, 750);
    older.setSizes({600, 150});
    Stop();
    TSettings settings = LoadSettings(IniSettingsStore(dir.filePath("settings.ini")));
    settings.SplitterState = older.saveState();
    SaveSettings(IniSettingsStore(dir.filePath("settings.ini")), settings);
    Start();
    Open(Page("page.html", Rows({"Short"})));
    restored = Control<QSplitter>("Splitter")->sizes();
    EXPECT_GT(restored[1], 3 * restored[2]) << restored[1] << " " << restored[2];
    EXPECT_GT(restored[0], 40);
    EXPECT_LT(restored[0], restored[1]);
}

// --- opening, confirming, failing ------------------------------------------------------------

TEST_F(Translator, OpenLandsOnPhraseOneAndAnUnchangedEnterWritesNothing) {
    const QString path = Page("page.html");
    Open(path);
    // Typing replaces the first phrase at once.
    Type("Erste");
    Key(Qt::Key_Return);
    EXPECT_NE(ReadBytes(path).find("<p>Erste</p>"), std::string::npos);
    EXPECT_EQ(form->SelectedRow(), 1);

    // On a page that cannot be written, Enter on phrases left as they were, or typed the same
    // with other blanks, writes nothing, fails nowhere, adds no step and moves on.
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0444), 0);
    const std::string before = ReadBytes(path);
    Key(Qt::Key_Return);
    EXPECT_EQ(form->SelectedRow(), 2);
    Edit1->setText("  Second   phrase ");
    Key(Qt::Key_Return);
    EXPECT_EQ(form->SelectedRow(), 3);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(ReadBytes(path), before);
    // One step to undo: the first phrase's.
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0644), 0);
    Command([this] { mUndo->trigger(); });
    EXPECT_EQ(RowString(0), "First phrase");
    EXPECT_FALSE(mUndo->isEnabled());
    EXPECT_FALSE(form->HasDrafts());
}

// Every command that loads or closes a page, and Exit: No keeps the page and its drafts, Yes
// goes on without them.
TEST_F(Translator, DraftsStayWithTheirRowsAndEveryLoadAsksBeforeDroppingThem) {
    const QString path = Page("page.html");
    const QString other = Page("other.html", Rows({"Other"}));
    Open(other);
    Open(path);
    const struct {
        const char* name;
        std::function<void()> command;
    } commands[] = {
        {"Close", [this] { Command([this] { mClose->trigger(); }); }},
        {"Open", [this, other] { Open(other); }},
        // Given up for a page that then fails to open: the typing leaves the entry all the same.
        {"Open of a missing page", [this] { Open(dir.filePath("missing.html")); }},
        {"recent file", [this] { Command([this] { HistoryItems[1]->trigger(); }); }},
        {"dropped page", [this, other] { Command([this, other] { form->OpenPage(other); }); }},
        {"Exit", [this] { Command([this] { mExit->trigger(); }); }},
    };
    for (const auto& c : commands) {
        SCOPED_TRACE(c.name);
        // A window manager activates the window again once a message box has gone; the
        // offscreen platform leaves that to the test.
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        Select(1);
        Type("Bild");
        // The draft stays with its row when the selection moves, and comes back with it.
        Key(Qt::Key_Down);
        EXPECT_EQ(Edit1->text(), "Second phrase");
        EXPECT_TRUE(TextBoxModel->index(1).data(TPhraseModel::DraftRole).toBool());
        EXPECT_EQ(RowString(1), QString::fromUtf8("K\u00E4se picture"));
        Key(Qt::Key_Up);
        EXPECT_EQ(Edit1->selectedText(), "Bild");
        Key(Qt::Key_End);
        Type(" und mehr");
        const qsizetype questions = asked.size();
        Answer(QMessageBox::No);
        c.command();
        ASSERT_EQ(asked.size(), questions + 1);
        EXPECT_EQ(asked.back(), "Texts typed for " + QDir::toNativeSeparators(path) +
                                    " have not been confirmed with Enter.\n\nDiscard them?");
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(form->DocumentPath(), path);
        EXPECT_EQ(Notebook->currentIndex(), 1);
        EXPECT_EQ(Edit1->text(), "Bild und mehr");
        Answer(QMessageBox::Yes);
        c.command();
        EXPECT_EQ(asked.size(), questions + 2);
        EXPECT_FALSE(form->HasDrafts());
        if (form->DocumentOpen() && form->DocumentPath() == path) {
            EXPECT_EQ(Edit1->text(), RowString(form->SelectedRow()));
        }
        if (!form->isVisible()) break;
        if (!form->DocumentOpen() || form->DocumentPath() != path) Open(path);
        ASSERT_EQ(form->DocumentPath(), path);
        EXPECT_FALSE(TextBoxModel->index(1).data(TPhraseModel::DraftRole).toBool());
    }
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ReadBytes(path), uitest::kPage);
}

// --- numbers and progress ---------------------------------------------------------------------

TEST_F(Translator, TheFilterAndTheSkipOptionSteerEnterThePageKeysAndFind) {
    Stop();
    TSettings stored;
    stored.SkipNoLetters = true;
    SaveSettings(IniSettingsStore(dir.filePath("settings.ini")), stored);
    Start();
    // Nine words: the signs count as words too, as the legend counts them.
    Open(Page("page.html", Rows({"One", "|", "Two", ".", "Three", "&raquo;", "Four five six"})));
    auto* status = Control<QLabel>("StatusLabel");
    auto* filter = Control<QComboBox>("PhraseFilter");
    EXPECT_EQ(status->text(),
              "Phrase 1 of 7   0 changed   done: 0 % of the phrases, 0 % of the words");
    const struct {
        const char* typed;  // nullptr: a key instead
        int key;
        Qt::KeyboardModifiers modifiers;
        int filter;  // all, unchanged, changed
        int row;     // where the selection lands
    } steps[] = {
        // Enter steps over "|" and "." and the like.
        {"Eins", Qt::Key_Return, {}, 0, 2},
        {"Zwei", Qt::Key_Return, {}, 0, 4},
        {"Drei", Qt::Key_Return, {}, 0, 6},
        // Only unchanged phrases: the first is "|"; Enter goes on to the last, the only one left
        // with letters.
        {nullptr, Qt::Key_Home, Qt::ControlModifier, 1, 1},
        {nullptr, Qt::Key_Return, {}, 1, 6},
        {nullptr, Qt::Key_Up, {}, 1, 5},
        // Only changed ones: the page keys land on them.
        {nullptr, Qt::Key_PageUp, {}, 2, 0},
        {nullptr, Qt::Key_PageDown, {}, 2, 4},
        {nullptr, Qt::Key_Up, {}, 2, 2},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(::testing::Message() << (step.typed ? step.typed : "key") << " " << step.key
                                          << " filter " << step.filter);
        filter->setCurrentIndex(step.filter);
        Edit1->setFocus();
        if (step.typed) Type(step.typed);
        Key(step.key, step.modifiers);
        EXPECT_EQ(form->SelectedRow(), step.row);
    }
    EXPECT_EQ(RowString(4), "Drei");
    EXPECT_EQ(status->text(),
              "Phrase 3 of 7   3 changed   done: 42 % of the phrases, 33 % of the words");
    EXPECT_TRUE(TextBoxModel->index(2).data(TPhraseModel::ChangedRole).toBool());
    EXPECT_FALSE(TextBoxModel->index(3).data(TPhraseModel::ChangedRole).toBool());
    EXPECT_FALSE(TextBoxModel->index(6).data(TPhraseModel::InFilterRole).toBool());
    // Only the changed rows show, each with its own number.
    EXPECT_TRUE(TextBox->isRowHidden(6));
    EXPECT_FALSE(TextBox->isRowHidden(4));

    // Find looks only among the rows the filter shows.
    Command([this] { mFind->trigger(); });
    Type("our");
    EXPECT_TRUE(FindBar->NoMatch());
    filter->setCurrentIndex(0);
    FindBar->FindEdit->setFocus();
    Key(Qt::Key_F3);
    EXPECT_EQ(form->SelectedRow(), 6);
    EXPECT_EQ(FindBar->FindCount->text(), "1 of 1");

    // Undo counts back; the option and the texts follow the language.
    Command([this] { mUndo->trigger(); });
    EXPECT_EQ(status->text(),
              "Phrase 5 of 7   2 changed   done: 28 % of the phrases, 22 % of the words");
    Command([this] { Control<QAction>("mDeutsch")->trigger(); });
    EXPECT_EQ(status->text(), QString::fromUtf8("Textblock 5 von 7   2 geändert   fertig: 28 % der "
                                                "Textblöcke, 22 % der Wörter"));
    EXPECT_EQ(filter->itemText(2), QString::fromUtf8("Geändert"));
    EXPECT_TRUE(OptionsDlg->findChild<QCheckBox*>("SkipNoLetters")->text().startsWith("&Enter"));
    Stop();
    EXPECT_TRUE(LoadSettings(IniSettingsStore(dir.filePath("settings.ini"))).SkipNoLetters);
}

// --- the preview -------------------------------------------------------------------------------

// The value the browser shows for each phrase of the page, found by its anchor: a text node's
// text, or an element's alt, content and title values.
QStringList ShownPhrases(TPreview& preview) {
    QStringList shown;
    bool done = false;
    preview.RunScript(
        "(function () { const out = [];"
        " const w = document.createTreeWalker(document, NodeFilter.SHOW_COMMENT);"
        " for (let c = w.nextNode(); c; c = w.nextNode()) {"
        "  if (!c.data.startsWith('qf:')) continue;"
        "  const x = c.nextSibling; let v = '-';"
        "  if (x && x.nodeType === Node.TEXT_NODE) v = x.data;"
        "  else if (x && x.nodeType === Node.ELEMENT_NODE)"
        "   v = ['alt', 'content', 'title'].map((a) => x.getAttribute(a)).join('|');"
        "  out[Number(c.data.substring(3))] = v; }"
        " return out; })()",
        [&](const QVariant& v) {
            for (const QVariant& item : v.toList()) shown << item.toString();
            done = true;
        });
    if (!QTest::qWaitFor([&] { return done; }, 20000)) return {"no answer"};
    return shown;
}

TEST_F(Translator, TheFilterKeepsTheCurrentRowOrItsNearestNeighbourInView) {
    std::vector<std::string> texts;
    for (int i = 0; i < 150; ++i) texts.push_back("Phrase " + std::to_string(i));
    Open(Page("long.html", Rows(texts)));
    auto* filter = Control<QComboBox>("PhraseFilter");
    // The last thirty are changed.
    Select(120);
    for (int i = 120; i < 150; ++i) {
        // With its number, which the checks would ask about otherwise.
        Edit1->setText(QString("Satz %1").arg(i));
        QTest::keyClick(Edit1, Qt::Key_Return);
    }
    ASSERT_TRUE(TextBoxModel->index(149).data(TPhraseModel::ChangedRole).toBool());
    auto inView = [&](int row) {
        const QRect shown = TextBox->visualRect(TextBoxModel->index(row));
        return !TextBox->isRowHidden(row) && shown.isValid() && shown.top() >= 0 &&
               shown.bottom() < TextBox->viewport()->height();
    };
    const struct {
        int selected, filter;
        int shown;  // the row that must be in view
    } cases[] = {
        {135, 2, 135},  // changed: the current row
        {135, 1, 119},  // unchanged: the current row is out, its nearest one is in view
        {10, 2, 120},  {10, 0, 10}, {140, 0, 140},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.selected << " filter " << c.filter);
        filter->setCurrentIndex(0);
        Select(c.selected);
        filter->setCurrentIndex(c.filter);
        QCoreApplication::processEvents();
        EXPECT_TRUE(inView(c.shown));
        // The selection stays where it was.
        EXPECT_EQ(form->SelectedRow(), c.selected);
    }
}

TEST_F(Translator, ThePreviewChangesConfirmedPhrasesInPlaceAsAReloadShowsThem) {
    Stop();
    TSettings stored;
    stored.Tags = TTags::AllKinds;
    SaveSettings(IniSettingsStore(dir.filePath("settings.ini")), stored);
    Start();
    const std::string page =
        "<html><head><meta name=\"description\" content=\" Head text \"></head>\r\n<body>\r\n"
        "<p>First phrase\r\n   broken over lines</p>\r\n"
        "<p>Fish &amp; chips <b>bold</b> tail </p>\r\n"
        "<img src=\"a.png\" alt=\" K&auml;se picture \">\r\n"
        "<img src='b.png' alt='single'>\r\n"
        "<table><tr><td>Cell one</td></tr></table>\r\n"
        "<pre>  line one\r\n  line two</pre>\r\n"
        "<p>Last&nbsp;one</p>\r\n</body></html>\r\n";
    const QString path = Page("page.html", page);
    Open(path);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !PreviewPane->IsLoading(); }, 20000));
    const int rows = TextBoxModel->rowCount();
    ASSERT_GE(rows, 9);
    const QStringList opened = ShownPhrases(*PreviewPane);
    ASSERT_EQ(opened.size(), rows);
    // Kept by the preview's own world until the page loads anew.
    PreviewPane->RunScript("window.quillfenKept = 1;");

    QSignalSpy marks(PreviewPane, &TPreview::Marked);
    // Every phrase but the last two gets a text that the page must write as references.
    const char* texts[] = {
        "Neu & <b>fett</b>",  "Zweite \"Zeile\"", "Fisch \u00A0& Pommes", "fett",       "Schwanz",
        "It's \"K\u00E4se\"", "Tom & 'Jerry'",    "<Zelle> \u20AC",       "Zeile  eins"};
    ASSERT_EQ(rows, int(std::size(texts)) + 2);
    for (int row = 0; row < int(std::size(texts)) + 1; ++row) {
        SCOPED_TRACE(row);
        Select(row);
        Edit1->setText(QString::fromUtf8(row < int(std::size(texts)) ? texts[row] : "Zwei"));
        marks.clear();
        Key(Qt::Key_Return);
        // A tag typed as text is an error of the checks: the first Enter asks, the second keeps.
        if (Edit1->text().contains(u'<')) {
            EXPECT_EQ(form->SelectedRow(), row);
            Key(Qt::Key_Return);
        }
        ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !marks.isEmpty() && marks.last().at(0).toInt() == row + 1; }, 20000));
    }
    // Undo and Redo change the page in place too: the second line of the block as it was.
    Command([this] { mUndo->trigger(); });
    Command([this] { mUndo->trigger(); });
    Command([this] { mRedo->trigger(); });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return ShownPhrases(*PreviewPane)[rows - 2] == opened[rows - 2]; }, 20000));
    const QStringList inPlace = ShownPhrases(*PreviewPane);
    bool kept = false, answered = false;
    PreviewPane->RunScript("window.quillfenKept === 1", [&](const QVariant& v) {
        kept = v.toBool();
        answered = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }, 20000));
    EXPECT_TRUE(kept) << "the page was loaded anew";

    // What a reload of the saved bytes shows.
    QSignalSpy loaded(PreviewPane, &TPreview::LoadFinished);
    PreviewPane->Show(path, form->Document());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !loaded.isEmpty(); }, 20000));
    const QStringList reloaded = ShownPhrases(*PreviewPane);
    ASSERT_EQ(inPlace.size(), reloaded.size());
    for (int n = 0; n < rows; ++n) {
        EXPECT_EQ(inPlace[n], reloaded[n]) << n;
        // Only the last two are as they were opened.
        EXPECT_EQ(inPlace[n] == opened[n], n >= rows - 2) << n << " " << inPlace[n].toStdString();
    }
}

}  // namespace
