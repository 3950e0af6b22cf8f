// File, Merge translation: a translation tool's file goes into the open page as one step that
// one undo takes back; a file of another state of the page is merged only when the user says so.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "exchange/formats.h"
#include "exchange/translation.h"
#include "session/pagesession.h"
#include "settings/stringtable.h"
#include "tests/ui/window_fixture.h"

using namespace quillfen;

namespace {

using quillfen::uitest::kPage;
using quillfen::uitest::ReadBytes;

// A format of the test's own: the first line is the stamp ("-" for none), each further line a
// unit's id, source and target, split by tabs (no target when empty).
TTranslationFile ReadLines(std::string_view bytes, const std::string&) {
    TTranslationFile file;
    std::size_t line = 0;
    while (!bytes.empty()) {
        const std::size_t end = std::min(bytes.find('\n'), bytes.size());
        const std::string_view text = bytes.substr(0, end);
        bytes.remove_prefix(std::min(end + 1, bytes.size()));
        if (++line == 1) {
            file.Stamp = ParseSourceStamp(text);
            continue;
        }
        const std::size_t tab = text.find('\t'), second = text.find('\t', tab + 1);
        TTranslationUnit unit{std::string(text.substr(0, tab)),
                              std::string(text.substr(tab + 1, second - tab - 1)),
                              {},
                              line};
        if (second + 1 < text.size()) unit.Target = std::string(text.substr(second + 1));
        file.Units.push_back(std::move(unit));
    }
    return file;
}

std::vector<std::string> TestFiles(std::string_view, std::string_view) { return {"x.tr"}; }

const TExchangeFormat kLines = {"lines", "", TestFiles, nullptr, nullptr, ReadLines};

std::string Replaced(std::string s, const std::string& from, const std::string& to) {
    const std::size_t at = s.find(from);
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
}

class Merge : public uitest::Window {
  protected:
    void SetUp() override {
        Window::SetUp();
        form->ChooseTranslation = [this](const QString& filter, const QString& folder) {
            lastFilter = filter;
            lastFolder = folder;
            return nextChoice;
        };
        form->TranslationFormatOf = [](std::string_view path) {
            return path.ends_with(".tr") ? &kLines : nullptr;
        };
    }

    void MergeFile(const QString& path) {
        nextChoice = path;
        Command([this] { Control<QAction>("mMerge")->trigger(); });
    }
};

}  // namespace

TEST_F(Merge, ATranslationGoesIntoTheOpenPageAsOneUndoableStep) {
    const QString page = Page("page.html");
    EXPECT_FALSE(Control<QAction>("mMerge")->isEnabled()) << "offered with an open page only";
    Open(page);
    ASSERT_TRUE(Control<QAction>("mMerge")->isEnabled());
    const std::string stamp = FormatSourceStamp(StampOf(form->Document()));
    // Unit 2 has no target and keeps its bytes.
    const QString file = Page("page.tr", stamp +
                                             "\n1\tFirst phrase\tErster Satz\n2\tK\xC3\xA4se "
                                             "picture\t\n3\tSecond phrase\tZweiter Satz\n");
    Answer(QMessageBox::Ok);
    MergeFile(file);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(asked, QStringList{"2 phrases took a translation."});
    EXPECT_TRUE(lastFilter.startsWith("Translation files (")) << lastFilter.toStdString();
    // The chooser starts in the page's folder.
    EXPECT_EQ(lastFolder, QFileInfo(form->DocumentPath()).absolutePath());
    const std::string merged =
        Replaced(Replaced(kPage, "First phrase", "Erster Satz"), "Second phrase", "Zweiter Satz");
    EXPECT_EQ(ReadBytes(page), merged);
    EXPECT_EQ(RowText(0), "Erster Satz");
    EXPECT_EQ(RowText(2), "Zweiter Satz");
    EXPECT_EQ(Edit1->text(), "Erster Satz") << "the entry shows the selected row anew";
    EXPECT_EQ(Item3->text(), "7 words");
    EXPECT_TRUE(PreviewShows("Zweiter Satz"));

    // Taking back a step of two phrases asks first.
    Answer(QMessageBox::Yes);
    Command([this] { mUndo->trigger(); });
    EXPECT_TRUE(asked.last().contains("2 phrases")) << asked.last().toStdString();
    EXPECT_EQ(ReadBytes(page), kPage);
    EXPECT_EQ(RowText(0), "First phrase");
    EXPECT_FALSE(mUndo->isEnabled());
}

TEST_F(Merge, AFileOfAnotherStateOfThePageIsMergedOnlyWhenTheUserSaysSoAndFaultsWriteNothing) {
    const QString page = Page("page.html");
    Open(page);
    // Exported before phrase 4 was changed elsewhere: no stamp to show it is this page.
    const QString file =
        Page("old.tr", "-\n3\tSecond phrase\tZweiter Satz\n4\tThird one\tDritter\n");
    // No: nothing changes.
    Answer(QMessageBox::No);
    MergeFile(file);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].startsWith(QDir::toNativeSeparators(file) + " was not exported"));
    EXPECT_EQ(ReadBytes(page), kPage);
    EXPECT_FALSE(mUndo->isEnabled());

    // Yes: a unit whose phrase still reads as its source takes its translation; the other is
    // reported and left alone.
    Answer(QMessageBox::Yes);
    Answer(QMessageBox::Ok);
    MergeFile(file);
    ASSERT_EQ(asked.size(), 3);
    EXPECT_TRUE(asked[2].startsWith("1 phrases took a translation.\nUnit 4"))
        << asked[2].toStdString();
    EXPECT_EQ(ReadBytes(page), Replaced(kPage, "Second phrase", "Zweiter Satz"));
    Command([this] { mUndo->trigger(); });
    EXPECT_EQ(ReadBytes(page), kPage);

    // A faulty unit is named in the one error box, and nothing is written.
    const std::string stamp = FormatSourceStamp(StampOf(form->Document()));
    MergeFile(Page("bad.tr", stamp + "\n1\tFirst phrase\tErster Satz\n9\tNine\tNeun\n"));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("Unit 9")) << errors[0].toStdString();
    EXPECT_EQ(ReadBytes(page), kPage);
    EXPECT_EQ(RowText(0), "First phrase");

    // A file whose name names no format that merges.
    errors.clear();
    MergeFile(Page("notes.txt", "x"));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("no translation file")) << errors[0].toStdString();
}

// A file exported with other kinds or units numbers its phrases that way: the window asks before
// it reads the page so again (which starts the history anew), then merges as quillfen-cli does.
TEST_F(Merge, AFileOfAnotherCutIsMergedAfterThePageIsReadInItsCut) {
    const QString page = Page("page.html");
    Open(page);
    const int runsRows = form->Document().PhraseCount();
    const TDocument text = TPageSession::Read(page.toStdString(), TTags::PlainText, TUnits::Runs);
    ASSERT_LT(text.PhraseCount(), runsRows);
    TSourceStamp stamp = StampOf(text);
    const QString file = Page("text.tr", FormatSourceStamp(stamp) + "\n2\t" +
                                             std::string(text.Text(1)) + "\tZweiter Satz\n");
    Answer(QMessageBox::No);
    MergeFile(file);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains("read with other kinds")) << asked[0].toStdString();
    EXPECT_EQ(ReadBytes(page), kPage);
    EXPECT_EQ(form->Document().PhraseCount(), runsRows) << "No leaves the page as it was read";

    Answer(QMessageBox::Yes);
    Answer(QMessageBox::Ok);
    MergeFile(file);
    EXPECT_EQ(ReadBytes(page), Replaced(kPage, "Second phrase", "Zweiter Satz"));
    EXPECT_EQ(form->Document().Tags(), TTags::PlainText);
    EXPECT_EQ(form->Document().PhraseCount(), text.PhraseCount());
    Command([this] { mUndo->trigger(); });
    EXPECT_EQ(ReadBytes(page), kPage);
}
