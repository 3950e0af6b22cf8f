#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <array>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>

#include "core/files/savefile.h"
#include "core/markup/kinds.h"
#include "exchange/po.h"
#include "settings/help.h"
#include "settings/stringtable.h"
#include "tests/ui/files.h"
#include "tests/ui/window_fixture.h"
#include "ui/Main.h"
#include "ui/application.h"
#include "ui/options.h"
#include "ui/wizard.h"

using namespace quillfen;

namespace {

using quillfen::uitest::kPage;
using quillfen::uitest::ReadBytes;
using quillfen::uitest::Window;
using quillfen::uitest::WriteBytes;

// --- start-up -----------------------------------------------------------------------------------

TEST_F(Window, FirstStartShowsTheEnglishStartPageWithTheDesignedMenus) {
    EXPECT_EQ(form->windowTitle(), "Quillfen");
    EXPECT_EQ(Notebook->count(), 3);
    EXPECT_EQ(Notebook->currentIndex(), 0);
    EXPECT_FALSE(OkBtn->isEnabled());
    EXPECT_FALSE(mClose->isEnabled());
    EXPECT_FALSE(mExport->isEnabled());
    EXPECT_TRUE(mImport->isEnabled());
    EXPECT_TRUE(Control<QAction>("mEnglish")->isChecked());
    EXPECT_FALSE(Control<QAction>("mDeutsch")->isChecked());
    EXPECT_EQ(VersionLabel->text(), "Version 2.1");
    EXPECT_EQ(TextLabel->text(), "Select a phrase to translate.");
    EXPECT_EQ(Item1->text(), "0 text blocks");
    EXPECT_EQ(Item3->text(), "0 words");
    EXPECT_EQ(mExport->text(), "&Export plain text");
    EXPECT_EQ(mImport->text(), "&Recombine");
    EXPECT_EQ(mLoad->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(mExport->shortcut(), QKeySequence(Qt::Key_F7));
    EXPECT_EQ(mImport->shortcut(), QKeySequence(Qt::Key_F8));
    EXPECT_EQ(mHelp->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_FALSE(Control<QPlainTextEdit>("Help_US")->isHidden());
    EXPECT_TRUE(Control<QPlainTextEdit>("Help_DE")->isHidden());
    EXPECT_EQ(Panel3->width(), 243);
    EXPECT_EQ(Image1->pixmap().size(), QSize(243, 196));
    EXPECT_EQ(OptionsDlg->windowTitle(), "Options");
    EXPECT_EQ(WizardDlg->windowTitle(), "Wizard");

    const QList<QAction*> file = mFile->actions();
    ASSERT_EQ(file.size(), 16);
    EXPECT_EQ(file[0], mLoad);
    EXPECT_EQ(file[1]->objectName(), "mOpenProject");
    EXPECT_EQ(file[2]->objectName(), "mOpenWithSource");
    EXPECT_EQ(file[3], mClose);
    EXPECT_TRUE(file[4]->isSeparator());
    EXPECT_EQ(file[5], mExport);
    EXPECT_EQ(file[6], mImport);
    EXPECT_EQ(file[7]->objectName(), "mMerge");
    EXPECT_FALSE(file[7]->isEnabled());
    EXPECT_TRUE(file[8]->isSeparator());
    for (int i = 8; i <= 13; ++i) EXPECT_FALSE(file[i]->isVisible()) << i;
    EXPECT_TRUE(file[14]->isSeparator());
    EXPECT_EQ(file[15], mExit);
}

// --- opening and the list -----------------------------------------------------------------------

TEST_F(Window, OpenListsThePhrasesAndSwitchesToTheTranslatePage) {
    const QString path = Page("page.html");
    Open(path);
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(lastFilter, "HTML-Files (*.HTML *.HTM *.html *.htm)");
    EXPECT_EQ(form->windowTitle(), "Quillfen - " + QDir::toNativeSeparators(path));
    EXPECT_EQ(Notebook->currentIndex(), 1);
    ASSERT_EQ(TextBoxModel->rowCount(), 4);
    EXPECT_EQ(RowString(0), "First phrase");
    // Every row, an alternative text's too, is the text a browser shows.
    EXPECT_EQ(RowString(1), QString::fromUtf8("K\u00E4se picture"));
    EXPECT_EQ(RowText(1), QString::fromUtf8("Käse picture"));
    EXPECT_EQ(RowText(2), "Second phrase");
    EXPECT_EQ(Item1->text(), "4 text blocks");
    EXPECT_EQ(Item3->text(), "7 words");
    EXPECT_TRUE(mClose->isEnabled());
    EXPECT_TRUE(mExport->isEnabled());
    // The first phrase is selected, its text ready to be typed over.
    EXPECT_EQ(form->SelectedRow(), 0);
    EXPECT_EQ(Edit1->selectedText(), "First phrase");
    EXPECT_EQ(TextLabel->text(), "First phrase");
    EXPECT_TRUE(Edit1->hasFocus());
    EXPECT_TRUE(ProgressPanel->isHidden());
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(PreviewShows("First phrase"));
}

TEST_F(Window, ThePageAuthorsNoteStandsBesideItsPhrases) {
    Open(Page("note.html", "<p its-loc-note='Keep it short'>Save <b>now</b></p><p>Other</p>"));
    const auto* note = uitest::FindControl<QLabel>(*form, "NoteLabel");
    EXPECT_FALSE(note->isHidden());
    EXPECT_EQ(note->text(), "Note for the translator: Keep it short");
    Select(2);
    EXPECT_TRUE(note->isHidden());
    Select(1);
    EXPECT_EQ(note->text(), "Note for the translator: Keep it short");
}

TEST_F(Window, CancelledOpenChangesNothing) {
    nextChoice.clear();
    Command([this] { mLoad->trigger(); });
    EXPECT_EQ(Notebook->currentIndex(), 0);
    EXPECT_EQ(form->windowTitle(), "Quillfen");
    EXPECT_TRUE(form->RecentFiles()[0].isEmpty());
}

TEST_F(Window, AnEmptyPageStillOpensWithNoPhrases) {
    Open(Page("empty.html", ""));
    ASSERT_TRUE(errors.isEmpty());
    EXPECT_EQ(Notebook->currentIndex(), 1);
    EXPECT_EQ(TextBoxModel->rowCount(), 0);
    EXPECT_EQ(Item1->text(), "0 text blocks");
    EXPECT_EQ(Item3->text(), "0 words");
}

TEST_F(Window, AnUnreadablePageReportsOnceAndLeavesTheOpenPageOpen) {
    const QString good = Page("good.html");
    Open(good);
    Select(2);
    Open(dir.filePath("missing.html"));
    ASSERT_EQ(errors.size(), 1);
    // In the interface's language, with the system's cause on a line of its own.
    EXPECT_EQ(errors[0].section('\n', 0, 0),
              "The file " + dir.filePath("missing.html") + " cannot be opened");
    EXPECT_EQ(errors[0].section('\n', 1), QString::fromLocal8Bit(std::strerror(ENOENT)));
    EXPECT_TRUE(ProgressPanel->isHidden());
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
    // The open page stays as it was, under its own name.
    EXPECT_EQ(Notebook->currentIndex(), 1);
    EXPECT_TRUE(mClose->isEnabled());
    EXPECT_EQ(form->DocumentPath(), good);
    EXPECT_EQ(form->windowTitle(), "Quillfen - " + QDir::toNativeSeparators(good));
    EXPECT_EQ(TextBoxModel->rowCount(), 4);
    EXPECT_EQ(form->SelectedRow(), 2);
    // The list only takes pages that loaded.
    EXPECT_EQ(form->RecentFiles()[0], dir.filePath("good.html"));
    EXPECT_TRUE(form->RecentFiles()[1].isEmpty());

    // Opened on its own (named on the command line), a page that fails to load reports and says
    // so; nothing is raised past it.
    // The German interface keeps its texts.
    Command([this] { Control<QAction>("mDeutsch")->trigger(); });
    EXPECT_FALSE(form->OpenPage(dir.filePath("missing.html")));
    EXPECT_EQ(errors.size(), 2);
    EXPECT_EQ(errors[1].section('\n', 0, 0), "Datei " + dir.filePath("missing.html") +
                                                 QString::fromUtf8(" kann nicht geöffnet werden"));
    Command([this] { Control<QAction>("mEnglish")->trigger(); });
    Command([this] { mClose->trigger(); });
    EXPECT_FALSE(form->OpenPage(dir.filePath("missing.html")));
    EXPECT_EQ(errors.size(), 3);
    EXPECT_FALSE(form->DocumentOpen());
    EXPECT_EQ(Notebook->currentIndex(), 0);
    EXPECT_EQ(form->windowTitle(), "Quillfen");
    EXPECT_TRUE(form->OpenPage(dir.filePath("good.html")));
    EXPECT_TRUE(form->DocumentOpen());
    EXPECT_TRUE(mClose->isEnabled());
    EXPECT_EQ(errors.size(), 3);
}

TEST_F(Window, RowsAreDrawnWithTheirKindTileAndText) {
    Stop();
    TSettings stored;
    stored.Tags = TTags::AllKinds;
    SaveSettings(IniSettingsStore(dir.filePath("settings.ini")), stored);
    Start();
    Open(Page("page.html"));
    ASSERT_EQ(TextBoxModel->rowCount(), 5);
    QAbstractItemDelegate* delegate = TextBox->itemDelegate();
    QStyleOptionViewItem opt;
    opt.initFrom(TextBox);
    opt.rect = QRect(0, 0, 300, 13);
    opt.font = TextBox->font();
    opt.widget = TextBox;
    EXPECT_EQ(delegate->sizeHint(opt, TextBoxModel->index(0)).height(), 13);

    const QColor ground(255, 255, 148);
    const QColor letters[3] = {QColor(0, 98, 41), QColor(0, 0, 0), QColor(0, 49, 205)};
    const int rows[3] = {0, 1, 2};  // C (content), T, G
    for (bool selected : {false, true}) {
        opt.state = QStyle::State_Enabled | QStyle::State_Active;
        if (selected) opt.state |= QStyle::State_Selected;
        const QColor back = opt.palette.color(selected ? QPalette::Highlight : QPalette::Base);
        for (int k = 0; k < 3; ++k) {
            QImage img(300, 13, QImage::Format_RGB32);
            img.fill(Qt::magenta);
            {
                QPainter p(&img);
                delegate->paint(&p, opt, TextBoxModel->index(rows[k]));
            }
            SCOPED_TRACE(::testing::Message() << "row " << rows[k] << " selected " << selected);
            // Frame of the 12 x 12 tile at x 2..13.
            for (int i = 0; i < 12; ++i) {
                EXPECT_EQ(img.pixelColor(2 + i, 0), QColor(Qt::black));
                EXPECT_EQ(img.pixelColor(2 + i, 11), QColor(Qt::black));
                EXPECT_EQ(img.pixelColor(2, i), QColor(Qt::black));
                EXPECT_EQ(img.pixelColor(13, i), QColor(Qt::black));
            }
            int groundPixels = 0, letterPixels = 0, others = 0;
            for (int y = 1; y < 11; ++y)
                for (int x = 3; x < 13; ++x) {
                    const QColor c = img.pixelColor(x, y);
                    if (c == ground)
                        ++groundPixels;
                    else if (c == letters[k])
                        ++letterPixels;
                    else
                        ++others;
                }
            EXPECT_GT(groundPixels, 50);
            EXPECT_GT(letterPixels, 4);
            EXPECT_EQ(others, 0);
            // Left of the tile, below it and between tile and text: the row's ground.
            for (int y = 0; y < 13; ++y) {
                EXPECT_EQ(img.pixelColor(0, y), back);
                EXPECT_EQ(img.pixelColor(1, y), back);
                for (int x = 14; x < 18; ++x) EXPECT_EQ(img.pixelColor(x, y), back);
            }
            for (int x = 2; x < 14; ++x) EXPECT_EQ(img.pixelColor(x, 12), back);
            int textPixels = 0;
            for (int y = 0; y < 13; ++y)
                for (int x = 18; x < 300; ++x)
                    if (img.pixelColor(x, y) != back) ++textPixels;
            EXPECT_GT(textPixels, 10);
        }
    }
}

TEST_F(Window, SelectingARowFillsTheEntryAndEnablesOk) {
    Open(Page("page.html"));
    Select(1);
    EXPECT_EQ(Edit1->text(), QString::fromUtf8("K\u00E4se picture"));
    EXPECT_EQ(TextLabel->text(), QString::fromUtf8("K\u00E4se picture"));
    EXPECT_EQ(Edit1->selectedText(), QString::fromUtf8("K\u00E4se picture"));
    EXPECT_TRUE(Edit1->hasFocus());
    EXPECT_TRUE(OkBtn->isEnabled());
}

TEST_F(Window, ArrowKeysInTheListMoveTheSelectionAndTheFocus) {
    Open(Page("page.html"));
    TextBox->setFocus();
    QTest::keyClick(TextBox, Qt::Key_Down);
    EXPECT_EQ(form->SelectedRow(), 1);
    EXPECT_TRUE(Edit1->hasFocus());
    EXPECT_EQ(Edit1->text(), QString::fromUtf8("K\u00E4se picture"));
}

// --- Ok, Enter, Up and Down ---------------------------------------------------------------------

TEST_F(Window, EnterConfirmsSavesAndAdvances) {
    const QString path = Page("page.html");
    Open(path);
    Select(2);
    Edit1->setText("  New   second  ");
    QTest::keyClick(Edit1, Qt::Key_Return);
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    // The phrase had a blank cut from its end; the file gets it back.
    const std::string bytes = ReadBytes(path);
    EXPECT_NE(bytes.find("<p>New second </p>\r\n"), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find("Second phrase"), std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    EXPECT_EQ(RowString(2), "New second");
    EXPECT_EQ(RowText(2), "New second");
    EXPECT_EQ(form->SelectedRow(), 3);
    EXPECT_EQ(Edit1->text(), "Third");
    EXPECT_EQ(TextLabel->text(), "Third");
    EXPECT_TRUE(Edit1->hasFocus());
    EXPECT_EQ(Item3->text(), "7 words");
    EXPECT_TRUE(PreviewShows("New second"));

    // Shift+Enter acts as Enter; an umlaut goes into the file as its entity.
    Edit1->setText(QString::fromUtf8("Dritte Straße ä"));
    QTest::keyClick(Edit1, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_NE(ReadBytes(path).find("Dritte Stra&szlig;e &auml;"), std::string::npos);
    EXPECT_EQ(Item3->text(), "9 words");
    EXPECT_TRUE(PreviewShows(QString::fromUtf8("Dritte Straße ä")));
}

TEST_F(Window, OkButtonConfirmsAndKeepsTheFocus) {
    const QString path = Page("page.html");
    Open(path);
    Select(0);
    Edit1->setText("Tab\tkept");
    QTest::mouseClick(OkBtn, Qt::LeftButton);
    ASSERT_TRUE(errors.isEmpty());
    EXPECT_NE(ReadBytes(path).find("<p>Tab\tkept</p>"), std::string::npos) << ReadBytes(path);
    EXPECT_EQ(form->SelectedRow(), 1);
    EXPECT_EQ(Edit1->text(), QString::fromUtf8("K\u00E4se picture"));
}

TEST_F(Window, OkOnTheLastRowStaysThere) {
    const QString path = Page("page.html");
    Open(path);
    Select(3);
    Edit1->setText("Last one");
    QTest::keyClick(Edit1, Qt::Key_Enter);
    EXPECT_EQ(form->SelectedRow(), 3);
    EXPECT_EQ(Edit1->text(), "Last one");
    EXPECT_EQ(TextLabel->text(), "Source: Third") << "a replaced phrase shows its source";
    const std::string first = ReadBytes(path);
    EXPECT_NE(first.find("Last one"), std::string::npos);
    QTest::keyClick(Edit1, Qt::Key_Enter);
    EXPECT_EQ(ReadBytes(path), first);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Window, UpAndDownStopAtTheEndsAndKeepTheTypedText) {
    const QString path = Page("page.html");
    Open(path);
    // Up on the first row stays there.
    QTest::keyClick(Edit1, Qt::Key_Up);
    EXPECT_EQ(form->SelectedRow(), 0);
    EXPECT_EQ(Edit1->text(), "First phrase");

    Edit1->setText("typed");
    QTest::keyClick(Edit1, Qt::Key_Up);
    EXPECT_EQ(form->SelectedRow(), 0);
    EXPECT_EQ(Edit1->text(), "typed");

    QTest::keyClick(Edit1, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(form->SelectedRow(), 1);
    QTest::keyClick(Edit1, Qt::Key_Down);
    QTest::keyClick(Edit1, Qt::Key_Down);
    EXPECT_EQ(form->SelectedRow(), 3);
    Edit1->setText("typed");
    QTest::keyClick(Edit1, Qt::Key_Down);
    EXPECT_EQ(form->SelectedRow(), 3);
    EXPECT_EQ(Edit1->text(), "typed");
    QTest::keyClick(Edit1, Qt::Key_Up);
    EXPECT_EQ(form->SelectedRow(), 2);
    EXPECT_EQ(TextLabel->text(), "Second phrase");
    // Moving never saves.
    EXPECT_EQ(ReadBytes(path), kPage);
    QTest::keyClick(Edit1, Qt::Key_Escape);
    EXPECT_EQ(form->SelectedRow(), 2);
}

TEST_F(Window, OkWithoutASelectionOnlyCleansTheEntry) {
    const QString path = Page("page.html");
    Open(path);
    TextBox->selectionModel()->clear();
    Edit1->setText("  a   b ");
    QTest::keyClick(Edit1, Qt::Key_Return);
    EXPECT_EQ(Edit1->text(), "a b");
    EXPECT_EQ(ReadBytes(path), kPage);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Window, AnEntryOfBlanksOnlyStopsLikeAnEmptyOne) {
    const QString path = Page("page.html");
    Open(path);
    Select(0);
    Edit1->setText("    ");
    QTest::keyClick(Edit1, Qt::Key_Return);
    EXPECT_TRUE(Edit1->text().isEmpty());
    EXPECT_EQ(form->SelectedRow(), 0);
    EXPECT_EQ(RowString(0), "First phrase");
    EXPECT_EQ(ReadBytes(path), kPage);
    Edit1->clear();
    QTest::mouseClick(OkBtn, Qt::LeftButton);
    EXPECT_EQ(form->SelectedRow(), 0);
    EXPECT_EQ(ReadBytes(path), kPage);
}

TEST_F(Window, TypedCyrillicIsWrittenAsNumericReferences) {
    const QString path = Page("page.html");
    Open(path);
    Select(3);
    Edit1->clear();
    // Typed as a keyboard layout delivers it: key events carrying the text.
    for (const QChar c : QString::fromUtf8("Я да")) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(Edit1, &press);
    }
    EXPECT_EQ(Edit1->text(), QString::fromUtf8("Я да"));
    QTest::keyClick(Edit1, Qt::Key_Return);
    ASSERT_TRUE(errors.isEmpty());
    EXPECT_NE(ReadBytes(path).find("<p>&#1071; &#1076;&#1072;</p>"), std::string::npos)
        << ReadBytes(path);
    EXPECT_TRUE(PreviewShows(QString::fromUtf8("Я да")));
}

TEST_F(Window, Utf8PagesAreShownAndSavedAsUtf8) {
    const QString path = Page("utf8.html",
                              "<html><head><meta charset=\"utf-8\"></head><body>\r\n"
                              "<p>\xE4\xBB\x8A\xE6\x97\xA5</p>\r\n<p>\xC4\x8D"
                              "esky</p>\r\n"
                              "</body></html>\r\n");
    Open(path);
    ASSERT_TRUE(errors.isEmpty());
    EXPECT_EQ(RowText(0), QString::fromUtf16(u"\u4ECA\u65E5"));
    EXPECT_EQ(EncodingLabel->text(), "as UTF-8");
    const QString englishTip = EncodingLabel->toolTip();
    EXPECT_TRUE(englishTip.contains("UTF-8")) << englishTip.toStdString();
    Select(1);
    Edit1->setText(QString::fromUtf16(u"\u010Cesk\u00E1 \u042F \u00FC"));
    QTest::keyClick(Edit1, Qt::Key_Return);
    ASSERT_TRUE(errors.isEmpty());
    const std::string bytes = ReadBytes(path);
    EXPECT_NE(bytes.find("<p>\xE4\xBB\x8A\xE6\x97\xA5</p>\r\n<p>\xC4\x8C"
                         "esk\xC3\xA1 \xD0\xAF &uuml;</p>"),
              std::string::npos)
        << bytes;
    Control<QAction>("mDeutsch")->trigger();
    EXPECT_EQ(EncodingLabel->text(), "als UTF-8");
    EXPECT_TRUE(EncodingLabel->toolTip().contains("UTF-8"));
    EXPECT_NE(EncodingLabel->toolTip(), englishTip);
    Open(Page("latin.html"));
    EXPECT_EQ(EncodingLabel->text(), "als Windows-1252");

    // A page in another declared encoding is shown and written in it, by its name.
    const QString cyrillic = Page("cp1251.html",
                                  "<html><head><meta charset=\"windows-1251\"></head><body>\r\n"
                                  "<p>\xC4\xE0</p>\r\n<p>x</p>\r\n</body></html>\r\n");
    Open(cyrillic);
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(EncodingLabel->text(), "als WINDOWS-1251");
    EXPECT_EQ(RowText(0), QString::fromUtf16(u"\u0414\u0430"));
    Select(1);
    Edit1->setText(QString::fromUtf16(u"\u041D\u0435\u0442 \u00FC"));
    QTest::keyClick(Edit1, Qt::Key_Return);
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_NE(ReadBytes(cyrillic).find("<p>\xCD\xE5\xF2 &uuml;</p>"), std::string::npos)
        << ReadBytes(cyrillic);
}

// Rows show what a browser shows; a byte the page's encoding cannot read shows as U+FFFD and
// stays in the page when its phrase is confirmed as it stands.
TEST_F(Window, RowsShowDecodedTextsAndKeepUnreadableBytes) {
    const std::string bytes =
        "<html><head><meta charset=\"utf-8\"></head><body>\r\n<p>a\xFF"
        "b &amp; &eacute;</p>\r\n<img alt=\"x &lt;y&gt;\">\r\n</body></html>\r\n";
    const QString path = Page("bytes.html", bytes);
    Open(path);
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(RowText(0), QString::fromUtf16(u"a\uFFFDb & \u00E9"));
    EXPECT_EQ(RowString(1), "x <y>");
    Select(0);
    QTest::keyClick(Edit1, Qt::Key_Return);
    EXPECT_EQ(ReadBytes(path), bytes);
    Select(1);
    Edit1->setText("x <y> & z");
    QTest::keyClick(Edit1, Qt::Key_Return);
    EXPECT_NE(ReadBytes(path).find("alt=\"x &lt;y&gt; &amp; z\""), std::string::npos);
}

TEST_F(Window, PastedLineBreaksBecomeBlanks) {
    Open(Page("page.html"));
    Edit1->clear();
    Edit1->insert("one\r\ntwo\nthree");
    EXPECT_EQ(Edit1->text(), "one two three");
}

TEST_F(Window, AReadOnlyPageGivesOneErrorAndChangesNothingButTheDraft) {
    const QString path = Page("page.html");
    Open(path);
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0444), 0);
    Select(0);
    Edit1->setText("Refused");
    QTest::keyClick(Edit1, Qt::Key_Return);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("page.html")) << errors[0].toStdString();
    EXPECT_EQ(ReadBytes(path), kPage);
    // Neither the list nor the history has the text the file lacks.
    EXPECT_EQ(RowString(0), "First phrase");
    EXPECT_FALSE(mUndo->isEnabled());
    EXPECT_FALSE(form->Document().CanRevert());
    EXPECT_TRUE(TextBoxModel->index(0).data(TPhraseModel::DraftRole).toBool());
    // The command ended at the failed save: no advance, the typed text kept.
    EXPECT_EQ(form->SelectedRow(), 0);
    EXPECT_EQ(Edit1->text(), "Refused");

    // Once writable again, a later save writes only what it confirms.
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0644), 0);
    Select(2);
    Edit1->setText("Again");
    QTest::keyClick(Edit1, Qt::Key_Return);
    EXPECT_EQ(errors.size(), 1);
    EXPECT_NE(ReadBytes(path).find("Again"), std::string::npos);
    EXPECT_EQ(ReadBytes(path).find("Refused"), std::string::npos);
    Select(0);
    EXPECT_EQ(Edit1->text(), "Refused");
    QTest::keyClick(Edit1, Qt::Key_Return);
    EXPECT_NE(ReadBytes(path).find("Refused"), std::string::npos);
    EXPECT_FALSE(TextBoxModel->index(0).data(TPhraseModel::DraftRole).toBool());

    // Undo and Redo that cannot be written leave the list and the history as they were.
    const std::string saved = ReadBytes(path);
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0444), 0);
    Command([this] { mUndo->trigger(); });
    EXPECT_EQ(errors.size(), 2);
    EXPECT_EQ(RowString(0), "Refused");
    EXPECT_TRUE(mUndo->isEnabled());
    EXPECT_FALSE(mRedo->isEnabled());
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0644), 0);
    Command([this] { mUndo->trigger(); });
    EXPECT_EQ(RowString(0), "First phrase");
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0444), 0);
    Command([this] { mRedo->trigger(); });
    EXPECT_EQ(errors.size(), 3);
    EXPECT_EQ(RowString(0), "First phrase");
    EXPECT_TRUE(mRedo->isEnabled());
    EXPECT_NE(ReadBytes(path), saved);
}

// --- the recent files ---------------------------------------------------------------------------

TEST_F(Window, RecentFilesKeepKnownPathsInPlaceAndDropTheOldest) {
    QStringList paths;
    for (const char* n : {"a.htm", "A.htm", "b.htm", "c.htm", "d.htm", "e.htm"}) paths << Page(n);
    Open(paths[0]);
    const QList<QAction*> file = mFile->actions();
    EXPECT_TRUE(file[8]->isVisible());
    EXPECT_TRUE(file[9]->isVisible());
    EXPECT_EQ(file[9]->text(), "&1 " + paths[0]);
    EXPECT_FALSE(file[10]->isVisible());

    Open(paths[1]);  // differs only in case: a second entry
    EXPECT_EQ(form->RecentFiles()[0], paths[1]);
    EXPECT_EQ(form->RecentFiles()[1], paths[0]);
    Open(paths[0]);  // known: stays where it is
    EXPECT_EQ(form->RecentFiles()[0], paths[1]);
    EXPECT_EQ(form->RecentFiles()[1], paths[0]);
    for (int i = 2; i < 6; ++i) Open(paths[i]);
    // Six distinct pages: the oldest, a.htm, has dropped out.
    EXPECT_EQ(form->RecentFiles()[0], paths[5]);
    EXPECT_EQ(form->RecentFiles()[4], paths[1]);
    EXPECT_EQ(std::count(form->RecentFiles().begin(), form->RecentFiles().end(), paths[0]), 0);
    for (int n = 0; n < 5; ++n)
        EXPECT_EQ(file[9 + n]->text(), "&" + QString::number(n + 1) + " " + form->RecentFiles()[n]);
    Open(paths[1]);  // entry 5, same bytes: no change
    EXPECT_EQ(form->RecentFiles()[4], paths[1]);
}

TEST_F(Window, RecentEntriesLoadWithoutReorderingAndAVanishedOneIsSaidAndDropped) {
    const QString one = Page("one.html"), two = Page("two.html");
    Open(one);
    Open(two);
    const QList<QAction*> file = mFile->actions();
    Command([&] { file[10]->trigger(); });  // entry 2: one.html
    EXPECT_EQ(form->DocumentPath(), one);
    EXPECT_EQ(form->RecentFiles()[0], two);
    EXPECT_EQ(form->windowTitle(), "Quillfen - " + QDir::toNativeSeparators(one));

    // Entry 1 gone, made a folder: said once, and offered no more.
    ASSERT_TRUE(QFile::remove(two));
    ASSERT_TRUE(QDir().mkdir(two));
    Answer(QMessageBox::Ok);
    Command([&] { file[9]->trigger(); });
    EXPECT_TRUE(errors.isEmpty());
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains("no longer there")) << asked[0].toStdString();
    EXPECT_EQ(form->RecentFiles()[0], one);
    EXPECT_TRUE(form->RecentFiles()[1].isEmpty());
    EXPECT_EQ(file[9]->text(), "&1 " + one);
    EXPECT_FALSE(file[10]->isVisible());
    EXPECT_EQ(form->DocumentPath(), one);
    EXPECT_EQ(form->windowTitle(), "Quillfen - " + QDir::toNativeSeparators(one));
    // A later replacement still goes into the page that is open.
    Select(0);
    Edit1->setText("Still here");
    QTest::keyClick(Edit1, Qt::Key_Return);
    EXPECT_NE(ReadBytes(one).find("Still here"), std::string::npos);
}

TEST_F(Window, RecentFilesAndLanguageSurviveARestart) {
    const QString one = Page("one.html");
    Open(one);
    Command([this] { Control<QAction>("mDeutsch")->trigger(); });
    Stop();
    const TSettings stored = LoadSettings(IniSettingsStore(dir.filePath("settings.ini")));
    EXPECT_EQ(stored.Language, TLanguage::German);
    EXPECT_EQ(stored.Tags, TTags::Default);
    EXPECT_EQ(stored.History[0], one);
    Start();
    EXPECT_TRUE(Control<QAction>("mDeutsch")->isChecked());
    EXPECT_EQ(mFile->title(), QString::fromUtf8("&Datei"));
    EXPECT_EQ(mFile->actions()[9]->text(), "&1 " + one);
    EXPECT_TRUE(mFile->actions()[8]->isVisible());
}

TEST_F(Window, ASettingsStoreThatCannotBeWrittenIsReportedAndTheWindowStillCloses) {
    form->SettingsStore = IniSettingsStore("/dev/null/settings.ini");
    form->close();
    EXPECT_FALSE(form->isVisible());
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("/dev/null/settings.ini")) << errors[0].toStdString();
}

// --- Close, Help, language ----------------------------------------------------------------------

TEST_F(Window, CloseShowsTheStartPageAndKeepsTheRest) {
    const QString path = Page("page.html");
    Open(path);
    Command([this] { mClose->trigger(); });
    EXPECT_EQ(Notebook->currentIndex(), 0);
    EXPECT_FALSE(mClose->isEnabled());
    EXPECT_FALSE(mExport->isEnabled());
    // The caption names no page once none is open, in either language.
    EXPECT_EQ(form->windowTitle(), "Quillfen");
    Command([this] { Control<QAction>("mDeutsch")->trigger(); });
    EXPECT_EQ(form->windowTitle(), "Quillfen");
    EXPECT_EQ(TextBoxModel->rowCount(), 4);
    EXPECT_EQ(form->DocumentPath(), path);
}

TEST_F(Window, HelpRemembersThePageItCameFrom) {
    Open(Page("page.html"));
    Command([this] { mHelp->trigger(); });
    EXPECT_EQ(Notebook->currentIndex(), 2);
    // The page's text, then every command's keys as its menu names it, and every kind.
    const QString help = Control<QPlainTextEdit>("Help_US")->toPlainText();
    EXPECT_TRUE(help.startsWith(HelpLines(TLanguage::English).join('\n')));
    QStringList missing;
    std::function<void(const QMenu*)> walk = [&](const QMenu* menu) {
        for (const QAction* action : menu->actions()) {
            if (action->menu()) walk(action->menu());
            for (const QKeySequence& key : action->shortcuts())
                if (!help.contains(key.toString(QKeySequence::NativeText)) ||
                    !help.contains(action->iconText()))
                    missing << action->iconText();
        }
    };
    for (const QAction* top : form->menuBar()->actions())
        if (top->menu()) walk(top->menu());
    for (const char* key : {"F3\tFind next", "Shift+F3\tFind previous", "Ctrl+Alt+Z\tEdit > Undo",
                            "Ctrl+Q\tFile > Exit", "F9\t", "Esc\t", "Ctrl+1 … Ctrl+5\t"})
        if (!help.contains(key)) missing << key;
    for (const TKindInfo& kind : Kinds())
        if (!help.contains(QString(QChar(kind.Letter)) + "\t" +
                           LoadStr(TLanguage::English, kind.Caption).remove('&')))
            missing << kind.Name;
    EXPECT_TRUE(missing.isEmpty()) << missing.join(", ").toStdString() << "\n"
                                   << help.toStdString();
    EXPECT_FALSE(Control<QPlainTextEdit>("Help_US")->isReadOnly());
    QTest::mouseClick(CloseHelpBtn, Qt::LeftButton);
    EXPECT_EQ(Notebook->currentIndex(), 1);

    // The keyboard leaves it too: Esc from the text, Tab to Ok and Enter; the entry has the
    // focus again.
    auto* memo = Control<QPlainTextEdit>("Help_US");
    Command([this] { mHelp->trigger(); });
    memo->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(memo, Qt::Key_Escape);
    EXPECT_EQ(Notebook->currentIndex(), 1);
    EXPECT_TRUE(Edit1->hasFocus());
    Command([this] { mHelp->trigger(); });
    memo->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(memo, Qt::Key_Tab);
    EXPECT_TRUE(CloseHelpBtn->hasFocus());
    QTest::keyClick(CloseHelpBtn, Qt::Key_Return);
    EXPECT_EQ(Notebook->currentIndex(), 1);

    // Help on the Help page: Ok leaves it showing.
    Command([this] { mHelp->trigger(); });
    Command([this] { mHelp->trigger(); });
    QTest::mouseClick(CloseHelpBtn, Qt::LeftButton);
    EXPECT_EQ(Notebook->currentIndex(), 2);

    Command([this] { mClose->trigger(); });
    Command([this] { mHelp->trigger(); });
    QTest::mouseClick(CloseHelpBtn, Qt::LeftButton);
    EXPECT_EQ(Notebook->currentIndex(), 0);
}

TEST_F(Window, GermanWithADocumentOpenKeepsTheListAndRecountsTheLegend) {
    Open(Page("page.html"));
    Select(1);
    Command([this] { Control<QAction>("mDeutsch")->trigger(); });
    // The caption still names the open page; the label under it keeps the phrase's text.
    EXPECT_EQ(form->windowTitle(), "Quillfen - " + QDir::toNativeSeparators(form->DocumentPath()));
    EXPECT_EQ(TextLabel->text(), QString::fromUtf8("K\u00E4se picture"));
    EXPECT_EQ(Item1->text(), QString::fromUtf8("4 Textblöcke"));
    EXPECT_EQ(Item3->text(), QString::fromUtf8("7 Wörter"));
    EXPECT_EQ(VersionLabel->text(), "Version 2.1");
    EXPECT_EQ(mLoad->text(), QString::fromUtf8("&Öffnen"));
    EXPECT_TRUE(Control<QAction>("mDeutsch")->isChecked());
    EXPECT_FALSE(Control<QAction>("mEnglish")->isChecked());
    EXPECT_TRUE(Control<QPlainTextEdit>("Help_US")->isHidden());
    EXPECT_FALSE(Control<QPlainTextEdit>("Help_DE")->isHidden());
    EXPECT_EQ(OptionsDlg->windowTitle(), "Optionen");
    EXPECT_EQ(WizardDlg->windowTitle(), "Assistent");
    EXPECT_EQ(TextBoxModel->rowCount(), 4);
    EXPECT_EQ(Edit1->text(), QString::fromUtf8("K\u00E4se picture"));
    EXPECT_EQ(Notebook->currentIndex(), 1);

    Command([this] { Control<QAction>("mEnglish")->trigger(); });
    EXPECT_EQ(Item1->text(), "4 text blocks");
    EXPECT_TRUE(Control<QAction>("mEnglish")->isChecked());
    EXPECT_FALSE(Control<QAction>("mDeutsch")->isChecked());
    EXPECT_FALSE(Control<QPlainTextEdit>("Help_US")->isHidden());
}

TEST_F(Window, TheAboutBoxLinksToTheReadme) {
    QString title, link;
    auto answer = [&] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!box) return;
        title = box->windowTitle();
        if (auto* label = box->findChild<QLabel*>("AboutLink")) link = label->text();
        box->accept();
    };
    QTimer::singleShot(0, answer);
    QTimer::singleShot(3000, answer);  // should the first look come too early
    form->Info1Click();
    EXPECT_EQ(title, "About...");
    // Run from the build tree, the program has no installed README: the link opens the copy it
    // carries, which is the project's README.
    const qsizetype start = link.indexOf("href=\"") + 6;
    ASSERT_GE(start, 6) << link.toStdString();
    const QUrl url(link.mid(start, link.indexOf('"', start) - start));
    ASSERT_TRUE(url.isLocalFile()) << link.toStdString();
    EXPECT_TRUE(url.toLocalFile().endsWith("/README.md")) << link.toStdString();
    EXPECT_EQ(ReadBytes(url.toLocalFile()), ReadBytes(QUILLFEN_SOURCE_DIR "/README.md"));
}

// --- a big page ---------------------------------------------------------------------------------

TEST_F(Window, TheProgressPanelAdvancesWhileABigPageLoads) {
    std::string page = "<html><body>\r\n";
    for (int i = 0; i < 100000; ++i) page += "<p>Phrase number " + std::to_string(i) + "</p>\r\n";
    page += "</body></html>\r\n";
    const QString path = Page("big.html", page);

    struct TPaints : QObject {
        QProgressBar* bar = nullptr;
        QList<int> values;
        bool eventFilter(QObject* o, QEvent* e) override {
            if (o == bar && e->type() == QEvent::Paint && bar->parentWidget()->isVisible())
                values << bar->value();
            return false;
        }
    } paints;
    paints.bar = ProgressBar;
    ProgressBar->installEventFilter(&paints);
    Open(path);
    ProgressBar->removeEventFilter(&paints);

    ASSERT_TRUE(errors.isEmpty());
    EXPECT_EQ(TextBoxModel->rowCount(), 100000);
    EXPECT_TRUE(ProgressPanel->isHidden());
    ASSERT_GE(paints.values.size(), 3);
    EXPECT_TRUE(std::is_sorted(paints.values.begin(), paints.values.end()));
    EXPECT_GT(paints.values.back(), paints.values.front());
    EXPECT_GT(ProgressBar->maximum(), 100000);
}

// --- the user's file is never lost -------------------------------------------------------------

TEST_F(Window, AnotherProgramsChangeIsNeverOverwrittenAndAReloadKeepsTheConfirmedText) {
    const QString path = Page("page.html");
    Open(path);
    // A touch that keeps the bytes is no change.
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), nullptr, 0), 0);
    Select(0);
    Edit1->setText("Touched");
    QTest::keyClick(Edit1, Qt::Key_Return);
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_NE(ReadBytes(path).find("Touched"), std::string::npos);

    std::string other = ReadBytes(path);
    other.replace(other.find("Third"), 5, "Third, edited elsewhere");
    WriteBytes(path, other);
    Command([this] { Control<QAction>("mDeutsch")->trigger(); });
    Edit1->setText("Mine");
    Answer(QMessageBox::No);
    QTest::keyClick(Edit1, Qt::Key_Return);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].startsWith("Ein anderes Programm hat " + path)) << asked[0].toStdString();
    EXPECT_EQ(ReadBytes(path), other);
    EXPECT_EQ(RowString(1), QString::fromUtf8("K\u00E4se picture"));
    EXPECT_EQ(form->SelectedRow(), 1);

    Command([this] { Control<QAction>("mEnglish")->trigger(); });
    Answer(QMessageBox::Yes);
    QTest::keyClick(Edit1, Qt::Key_Return);
    ASSERT_EQ(asked.size(), 2);
    EXPECT_TRUE(asked[1].startsWith("Another program has changed " + path));
    EXPECT_EQ(ReadBytes(path), other);
    // Reloaded: the other change is in the list, and the confirmed text waits, unsaved.
    EXPECT_EQ(RowString(3), "Third, edited elsewhere");
    EXPECT_EQ(form->SelectedRow(), 1);
    EXPECT_EQ(Edit1->text(), "Mine");
    EXPECT_EQ(TextLabel->text(), QString::fromUtf8("K\u00E4se picture"));
    EXPECT_FALSE(mUndo->isEnabled());
    QTest::keyClick(Edit1, Qt::Key_Return);
    EXPECT_EQ(asked.size(), 2);
    const std::string saved = ReadBytes(path);
    EXPECT_NE(saved.find("alt=\"Mine\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("Third, edited elsewhere"), std::string::npos);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();

    // Undo checks as well: a page that is gone is not written anew.
    ASSERT_TRUE(QFile::remove(path));
    Answer(QMessageBox::No);
    Command([this] { mUndo->trigger(); });
    EXPECT_EQ(asked.size(), 3);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(RowString(1), "Mine");
}

TEST_F(Window, UndoRedoAndRevertWriteThePageAndEndByteIdentical) {
    const QString path = Page("page.html");
    Open(path);
    const QList<QAction*> bar = form->menuBar()->actions();
    ASSERT_EQ(bar.size(), 5);
    EXPECT_EQ(bar[1]->menu(), mEdit);
    EXPECT_EQ(bar[2]->menu()->objectName(), "mProject");
    EXPECT_EQ(bar[3]->menu(), mLanguage);
    EXPECT_EQ(mEdit->title(), "E&dit");
    EXPECT_EQ(mRedo->shortcuts(),
              QList<QKeySequence>({QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_Z),
                                   QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Y)}));
    auto enabled = [this] {
        return std::array{mUndo->isEnabled(), mRedo->isEnabled(), mRevert->isEnabled()};
    };
    EXPECT_EQ(enabled(), (std::array{false, false, false}));

    Select(0);
    Edit1->setText("One");
    QTest::keyClick(Edit1, Qt::Key_Return);
    Edit1->setText("Two");
    QTest::keyClick(Edit1, Qt::Key_Return);
    const std::string both = ReadBytes(path);
    EXPECT_EQ(enabled(), (std::array{true, false, true}));

    Command([this] { mUndo->trigger(); });
    EXPECT_EQ(form->SelectedRow(), 1);
    EXPECT_EQ(Edit1->text(), QString::fromUtf8("K\u00E4se picture"));
    EXPECT_NE(ReadBytes(path).find("K&auml;se picture"), std::string::npos);
    Command([this] { mUndo->trigger(); });
    EXPECT_EQ(form->SelectedRow(), 0);
    EXPECT_EQ(Edit1->text(), "First phrase");
    EXPECT_EQ(ReadBytes(path), kPage);
    EXPECT_TRUE(PreviewShows("First phrase"));
    EXPECT_EQ(enabled(), (std::array{false, true, false}));

    Command([this] { mRedo->trigger(); });
    Command([this] { mRedo->trigger(); });
    EXPECT_EQ(ReadBytes(path), both);
    EXPECT_EQ(Edit1->text(), "Two");
    EXPECT_EQ(enabled(), (std::array{true, false, true}));

    // Revert asks first; No keeps everything.
    Answer(QMessageBox::No);
    Command([this] { mRevert->trigger(); });
    EXPECT_EQ(ReadBytes(path), both);
    Answer(QMessageBox::Yes);
    Command([this] { mRevert->trigger(); });
    ASSERT_EQ(asked.size(), 2);
    EXPECT_TRUE(asked[1].contains(path));
    EXPECT_EQ(ReadBytes(path), kPage);
    EXPECT_EQ(RowString(0), "First phrase");
    EXPECT_EQ(Edit1->text(), QString::fromUtf8("K\u00E4se picture"));
    EXPECT_EQ(enabled(), (std::array{false, false, false}));

    // A closed page offers nothing to undo, and every load starts a new history.
    Edit1->setText("Three");
    QTest::keyClick(Edit1, Qt::Key_Return);
    Command([this] { mClose->trigger(); });
    EXPECT_EQ(enabled(), (std::array{false, false, false}));
    Command([this] { HistoryItems[0]->trigger(); });
    EXPECT_EQ(Notebook->currentIndex(), 1);
    EXPECT_EQ(enabled(), (std::array{false, false, false}));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

// Ctrl+Z in the entry takes back typing and nothing else; the Edit menu's Undo names the phrase
// it goes to, and a step of many phrases (a merge) asks first.
TEST_F(Window, CtrlZInTheEntryTakesBackTypingOnlyAndUndoNamesItsPhrases) {
    const QString path = Page("page.html");
    Open(path);
    Select(0);
    QTest::keyClicks(Edit1, "New");
    QTest::keyClick(Edit1, Qt::Key_Return);
    ASSERT_EQ(RowString(0), "New");
    EXPECT_EQ(mUndo->text(), "&Undo (phrase 1)");
    QTest::keyClick(Edit1, Qt::Key_End);
    QTest::keyClicks(Edit1, "X");
    for (int press = 0; press < 3; ++press) QTest::keyClick(Edit1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Edit1->text(), QString::fromUtf8("K\u00E4se picture"));
    EXPECT_EQ(form->SelectedRow(), 1) << "the entry stays on its phrase";
    EXPECT_NE(ReadBytes(path).find("New"), std::string::npos) << "confirmed work stays";
    QTest::keyClick(Edit1, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Edit1->text(), QString::fromUtf8("K\u00E4se pictureX"));

    // Esc takes back all the typing at once.
    QTest::keyClicks(Edit1, "YZ");
    QTest::keyClick(Edit1, Qt::Key_Escape);
    EXPECT_EQ(Edit1->text(), QString::fromUtf8("K\u00E4se picture"));
    EXPECT_EQ(form->SelectedRow(), 1);

    // The menu's keys take back the replacement and go to its phrase.
    QTest::keyClick(Edit1, Qt::Key_Z, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(form->SelectedRow(), 0);
    EXPECT_EQ(ReadBytes(path), kPage);
    EXPECT_EQ(mRedo->text(), "&Redo (phrase 1)");
    QTest::keyClick(Edit1, Qt::Key_Y, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_NE(ReadBytes(path).find("New"), std::string::npos);

    // A merge is a step of several phrases: taking it back asks, and No leaves it.
    std::string po = PoBytes(form->Document(), "page.html", {}, "2026-12-10 10:00+0000");
    for (const char* source : {"Second phrase", "Third"}) {
        const std::string entry = "msgid \"" + std::string(source) + "\"\nmsgstr \"\"";
        ASSERT_NE(po.find(entry), std::string::npos) << po;
        po.replace(po.find(entry), entry.size(),
                   entry.substr(0, entry.size() - 1) + (source[0] == 'S' ? "Zwei\"" : "Drei\""));
    }
    const QString file = Page("page.po", po);
    form->ChooseTranslation = [file](const QString&, const QString&) { return file; };
    Answer(QMessageBox::Ok);
    Command([this] { Control<QAction>("mMerge")->trigger(); });
    asked.clear();
    EXPECT_EQ(mUndo->text(), "&Undo (2 phrases)");
    const std::string both = ReadBytes(path);
    Answer(QMessageBox::No);
    Command([this] { mUndo->trigger(); });
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains("2 phrases")) << asked[0].toStdString();
    EXPECT_EQ(ReadBytes(path), both);
    Answer(QMessageBox::Yes);
    Command([this] { mUndo->trigger(); });
    EXPECT_EQ(ReadBytes(path).find("Zwei"), std::string::npos);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(Window, TextWhoseSaveFailedIsNotDroppedWithoutAsking) {
    const QString path = Page("page.html");
    Open(path);
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0444), 0);
    Select(0);
    Edit1->setText("Refused");
    QTest::keyClick(Edit1, Qt::Key_Return);
    ASSERT_EQ(errors.size(), 1);
    ASSERT_TRUE(form->SaveFailed());

    // Close, Open and the window's close box each ask; No keeps the page.
    Answer(QMessageBox::No);
    Command([this] { mClose->trigger(); });
    EXPECT_EQ(Notebook->currentIndex(), 1);
    Answer(QMessageBox::No);
    Open(Page("other.html"));
    EXPECT_EQ(form->DocumentPath(), path);
    Answer(QMessageBox::No);
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(asked.size(), 3);
    for (const QString& q : asked)
        EXPECT_EQ(q, "The last change to " + path +
                         " could not be saved and is not in the file.\n\nDiscard it?");
    EXPECT_EQ(RowString(0), "First phrase");
    EXPECT_EQ(Edit1->text(), "Refused");

    // A save that works clears the flag: closing asks nothing.
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0644), 0);
    QTest::keyClick(Edit1, Qt::Key_Return);
    EXPECT_FALSE(form->SaveFailed());
    Command([this] { mClose->trigger(); });
    EXPECT_EQ(Notebook->currentIndex(), 0);
    EXPECT_EQ(asked.size(), 3);

    // Yes lets the command go on.
    Command([this] { HistoryItems[0]->trigger(); });
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0444), 0);
    Select(1);
    Edit1->setText("Refused again");
    QTest::keyClick(Edit1, Qt::Key_Return);
    Answer(QMessageBox::Yes);
    EXPECT_TRUE(form->close());
    EXPECT_EQ(asked.size(), 4);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(Window, APageTornByAnInterruptedSaveIsOpenedOnlyWithItsCopyPutBack) {
    const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(dir.filePath("cache")));
    const QString path = Page("linked.html");
    // A second name makes the save write in place, keeping a copy until it is done.
    ASSERT_EQ(link(QFile::encodeName(path).constData(),
                   QFile::encodeName(dir.filePath("other-name.html")).constData()),
              0);
    Open(path);
    Select(0);
    Edit1->setText("Cut short");
    TSaveHooks crash;
    crash.InPlaceFailAfter = kPage.find("First") + 2;  // into the new text
    crash.RestoreFails = true;
    {
        const TSaveHooksScope scope(crash);
        QTest::keyClick(Edit1, Qt::Key_Return);
    }
    EXPECT_EQ(errors.size(), 1);
    const std::string torn = ReadBytes(path);
    EXPECT_NE(torn, kPage);
    const std::optional<std::string> copy = FindCrashBackup(QFile::encodeName(path).toStdString());
    ASSERT_TRUE(copy.has_value());
    Answer(QMessageBox::Yes);  // discard the text whose save failed
    Answer(QMessageBox::No);   // keep the page as it is: it is not opened
    Open(path);
    // What was open stays open; the torn page is not read.
    EXPECT_EQ(form->Document().Bytes(), kPage);
    EXPECT_EQ(errors.size(), 2);
    EXPECT_EQ(ReadBytes(path), torn);
    Answer(QMessageBox::Yes);  // put the copy back
    Open(dir.filePath("other-name.html"));
    if (oldCache.isNull())
        qunsetenv("XDG_CACHE_HOME");
    else
        qputenv("XDG_CACHE_HOME", oldCache);
    ASSERT_EQ(asked.size(), 3);
    for (int i : {1, 2})
        EXPECT_TRUE(asked[i].contains(":\n" + QFile::decodeName(copy->c_str()) + "\n"))
            << asked[i].toStdString();
    EXPECT_TRUE(form->DocumentOpen());
    EXPECT_EQ(form->Document().Bytes(), kPage);
    EXPECT_EQ(ReadBytes(path), kPage);
    EXPECT_FALSE(FindCrashBackup(QFile::encodeName(path).toStdString()));
}

TEST_F(Window, ALanguageWithoutStringTableShowsTheEnglishMenus) {
    Stop();
    WriteBytes(dir.filePath("settings.ini"), "[General]\nLanguage=65535\n");
    Start();
    EXPECT_EQ(mFile->title(), "&File");
    EXPECT_EQ(mEdit->title(), "E&dit");
    EXPECT_EQ(mUndo->text(), "&Undo");
    EXPECT_TRUE(Control<QAction>("mEnglish")->isChecked());
}

}  // namespace

#ifndef _WIN32
// A phrase replaced before keeps its source in view, after the window and the page were closed:
// above the entry and on its row, and it counts as changed.
TEST_F(Window, TheSourceOfAReplacedPhraseShowsAfterARestart) {
    const QString path = Page("source.html");
    Open(path);
    Select(0);
    Edit1->setText("Erster Satz");
    QTest::keyClick(Edit1, Qt::Key_Return);
    Select(0);
    EXPECT_EQ(TextLabel->text(), "Source: First phrase");
    Stop();
    Start();
    Open(path);
    Select(0);
    EXPECT_EQ(Edit1->text(), "Erster Satz");
    EXPECT_EQ(TextLabel->text(), "Source: First phrase");
    EXPECT_EQ(TextBoxModel->index(0).data(Qt::ToolTipRole).toString(), "Source: First phrase");
    // And beside the translation on its row.
    EXPECT_EQ(TextBoxModel->index(0).data(TPhraseModel::SourceRole).toString(), "First phrase");
    EXPECT_FALSE(TextBoxModel->index(1).data(TPhraseModel::SourceRole).isValid());
    EXPECT_TRUE(TextBoxModel->index(0).data(TPhraseModel::ChangedRole).toBool());
    EXPECT_FALSE(TextBoxModel->index(1).data(Qt::ToolTipRole).isValid());
    const QString status = Control<QLabel>("StatusLabel")->text();
    EXPECT_TRUE(status.contains("1 changed")) << status.toStdString();
    // A phrase that reads as its source again has none.
    Edit1->setText("First phrase");
    QTest::keyClick(Edit1, Qt::Key_Return);
    Select(0);
    EXPECT_EQ(TextLabel->text(), "First phrase");
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}
#endif
