// The translation memory in the window: an exact match of an untranslated phrase goes into the
// entry as a draft when the phrase is reached (unless the setting says no), Ctrl+1 puts a fuzzy
// match there, nothing reaches the page or the memory before Enter, and nothing is kept under a
// language pair that is not known.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTextBrowser>
#include <string>
#include <vector>

#include "memory/memory.h"
#include "settings/memorysettings.h"
#include "settings/stringtable.h"
#include "tests/ui/window_fixture.h"
#include "ui/matchespane.h"

using namespace quillfen;

namespace {

using quillfen::uitest::ReadBytes;

const std::string kEnglishPage =
    "<html lang=\"en\"><body><p>Hello world.</p><p>Goodbye cruel world now.</p>"
    "<p>Hello world.</p></body></html>";

class Matches : public uitest::Window {
  protected:
    std::string MemoryFile() const {
        return QFile::encodeName(dir.filePath("m.sqlite")).toStdString();
    }

    void Configure(const QString& target) {
        TMemorySettings settings;
        settings.File = dir.filePath("m.sqlite");
        settings.TargetLanguage = target;
        SaveMemorySettings(form->SettingsStore, settings);
    }

    void Remember(const std::vector<std::pair<std::string, std::string>>& texts) {
        TMemory memory(MemoryFile());
        std::vector<TUnit> units;
        for (const auto& [source, target] : texts) {
            TUnit unit;
            unit.Source = source;
            unit.Target = target;
            unit.Languages = MakeLanguagePair("en", "de");
            unit.Origin = TOrigin::Import;
            units.push_back(unit);
        }
        memory.Add(units);
    }

    std::vector<TUnit> Units() {
        std::vector<TUnit> units;
        TMemory memory(MemoryFile());
        memory.ForEachUnit({}, {}, [&](const TUnit& u) { units.push_back(u); });
        return units;
    }

    TMatchesPane* Pane() { return Control<TMatchesPane>("MatchesPane"); }

    // The matches of the phrase the entry shows, once its lookup is done.
    const std::vector<TSuggestion>& Settled() {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !Pane()->Looking(); }, 10000));
        return Pane()->Matches();
    }
};

TEST_F(Matches, ExactMatchesBecomeDraftsAndCtrl1TakesAMatch) {
    Configure("de");
    Remember(
        {{"Hello world.", "Hallo Welt."}, {"Goodbye cruel world.", "Leb wohl, grausame Welt."}});
    const QString page = Page("page.html", kEnglishPage);
    Open(page);
    ASSERT_EQ(TextBoxModel->rowCount(), 3);

    // Reaching the first phrase put its exact match into the entry, selected, as a draft: the
    // page is as it was.
    // Not QTRY_: a QTest failure would end the test unseen by GoogleTest.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Edit1->text() == "Hallo Welt."; }))
        << Edit1->text().toStdString();
    ASSERT_EQ(Settled().size(), 1u);
    EXPECT_EQ(Settled()[0].Score, kExactScore);
    EXPECT_EQ(Edit1->selectedText(), QString("Hallo Welt."));
    EXPECT_TRUE(form->HasDrafts());
    EXPECT_EQ(ReadBytes(page), kEnglishPage);
    EXPECT_TRUE(Control<QTextBrowser>("MatchesView")->toPlainText().contains("Hallo Welt."));

    // Enter writes it, and the memory keeps it as confirmed in the window.
    Key(Qt::Key_Return);
    EXPECT_NE(ReadBytes(page).find("Hallo Welt."), std::string::npos);
    std::vector<TUnit> units = Units();
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].Origin, TOrigin::Window);
    EXPECT_EQ(units[0].Context.Page, "page.html");

    // A fuzzy match stays in the pane until Ctrl+1 puts it into the entry, a draft that moving
    // on keeps with its row.
    ASSERT_EQ(Settled().size(), 1u);
    EXPECT_LT(Settled()[0].Score, kExactScore);
    EXPECT_EQ(Edit1->text(), QString("Goodbye cruel world now."));
    Key(Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(Edit1->text(), QString("Goodbye cruel world now.")) << "there is no second match";
    Key(Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(Edit1->text(), QString("Leb wohl, grausame Welt."));
    Key(Qt::Key_Down);
    EXPECT_EQ(form->SelectedRow(), 2);
    EXPECT_EQ(form->Document().Text(1), "Goodbye cruel world now.");

    // With the setting off, an exact match stays in the pane. The third phrase reads as the
    // first did, and its match is now in context.
    Key(Qt::Key_Up);
    Control<QCheckBox>("MatchesDraftExact")->click();
    EXPECT_FALSE(LoadMemorySettings(form->SettingsStore).DraftExactMatches);
    Key(Qt::Key_Down);
    ASSERT_FALSE(Settled().empty());
    EXPECT_EQ(Settled()[0].Score, kInContextScore);
    EXPECT_EQ(Edit1->text(), QString("Hello world."));
    EXPECT_EQ(Units().size(), 2u) << "drafts are not kept";
}

// Without a target language the pane asks for it and nothing is kept; once given, it is kept in
// the settings and the memory fills.
TEST_F(Matches, NothingIsKeptUntilTheTargetLanguageIsGiven) {
    Configure("");
    const QString page = Page("page.html", kEnglishPage);
    Open(page);
    auto* target = Control<QLineEdit>("MatchesTargetLanguage");
    EXPECT_TRUE(target->isVisible());
    auto* status = Control<QLabel>("MatchesStatus");
    EXPECT_FALSE(status->isVisible());
    Type("Hallo Welt.");
    Key(Qt::Key_Return);
    EXPECT_NE(ReadBytes(page).find("Hallo Welt."), std::string::npos);
    // The step that went unkept is told, once, in the pane.
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->text(), LoadStr(TLanguage::English, TStringId::MatchesNoLanguage));
    EXPECT_FALSE(QFile::exists(dir.filePath("m.sqlite")));

    target->setText("de");
    emit target->editingFinished();
    EXPECT_EQ(LoadMemorySettings(form->SettingsStore).TargetLanguage, QString("de"));
    EXPECT_FALSE(target->isVisible());
    Key(Qt::Key_Up);
    Type("Servus Welt.");
    Key(Qt::Key_Return);
    const std::vector<TUnit> units = Units();
    ASSERT_EQ(units.size(), 1u);
    // Kept under the phrase's source, not the translation it replaced.
    EXPECT_EQ(units[0].Source, "Hello world.");
    EXPECT_EQ(units[0].Target, "Servus Welt.");
}

// A memory that cannot be written (even by root: a folder in the file's place, or a file in its
// folder's): Enter still writes the page, the window tells what was not kept and where, and the
// same failure at the next steps is not told again.
TEST_F(Matches, AStepTheMemoryCannotKeepIsWrittenAndToldOnce) {
    struct TCase {
        const char* Name;
        const char* File;
        const char* Blocker;
        bool BlockerIsFolder;
    };
    const TCase cases[] = {
        {"a folder in the file's place", "m.sqlite", "m.sqlite", true},
        {"a file in the folder's place", "plain/m.sqlite", "plain", false},
    };
    const QString told = LoadStr(TLanguage::English, TStringId::StepNotKept).section("%s", 0, 0);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Stop();
        Start();
        errors.clear();
        const QString blocker = dir.filePath(c.Blocker);
        if (c.BlockerIsFolder)
            ASSERT_TRUE(QDir().mkpath(blocker));
        else
            uitest::WriteBytes(blocker, "not a folder");
        TMemorySettings settings;
        settings.File = dir.filePath(c.File);
        settings.TargetLanguage = "de";
        SaveMemorySettings(form->SettingsStore, settings);
        const QString page = Page("page.html", kEnglishPage);
        Open(page);
        Type("Hallo Welt.");
        Key(Qt::Key_Return);
        EXPECT_NE(ReadBytes(page).find("Hallo Welt."), std::string::npos);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !errors.isEmpty(); }));
        EXPECT_EQ(errors.size(), 1);
        EXPECT_TRUE(errors[0].startsWith(told)) << errors[0].toStdString();
        EXPECT_TRUE(errors[0].contains("m.sqlite")) << errors[0].toStdString();

        Type("Leb wohl.");
        Key(Qt::Key_Return);
        EXPECT_NE(ReadBytes(page).find("Leb wohl."), std::string::npos);
        form->mUndoClick();
        EXPECT_EQ(ReadBytes(page).find("Leb wohl."), std::string::npos);
        QCoreApplication::processEvents();
        EXPECT_EQ(errors.size(), 1) << errors.join('\n').toStdString();
        EXPECT_TRUE(Control<QLabel>("MatchesStatus")->isVisible());
        QFile::remove(blocker);
        QDir(blocker).removeRecursively();
    }
}

}  // namespace
