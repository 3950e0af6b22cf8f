// A site project in the window: its pages beside the list with their progress, a page opened
// from there with its sources above the entry and its fuzzy draft in the entry, a confirmed
// phrase counted in the pane, and Project, Update run off the interface thread.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTreeWidget>
#include <filesystem>

#include "core/document/editing.h"
#include "project/projectfile.h"
#include "project/update.h"
#include "settings/memorysettings.h"
#include "tests/ui/window_fixture.h"
#include "ui/entryedit.h"
#include "ui/matchespane.h"
#include "ui/projectpane.h"
#include "ui/texts.h"

using namespace quillfen;

namespace {

using quillfen::uitest::ReadBytes;
using quillfen::uitest::WriteBytes;

std::string Site(const char* body) {
    return std::string("<html lang=\"en\"><head><title>Guide</title></head><body>") + body +
           "</body></html>";
}

class ProjectWindow : public uitest::Window {
  protected:
    // A site of one page whose older source was translated, updated to a newer one: the title
    // and the first paragraph carried, the second a fuzzy draft.
    void MakeSite() {
        const std::filesystem::path root = QFile::encodeName(dir.path()).toStdString();
        std::filesystem::create_directories(root / "en");
        std::filesystem::create_directories(root / "de");
        WriteBytes(dir.filePath("en/a.html"), Site("<p>Alpha one.</p><p>Beta two three four.</p>"));
        project::TProjectSettings s;
        s.Source = NativePath(dir.filePath("en"));
        s.Target = NativePath(dir.filePath("de"));
        s.SourceLanguage = "en";
        s.TargetLanguage = "de";
        projectFile = dir.filePath("site.qfp");
        project::CreateProject(NativePath(projectFile), s);
        Update();
        const std::string target = NativePath(dir.filePath("de/a.html"));
        TDocument doc;
        doc.LoadFile(target, TTags::Default, TUnits::Runs);
        std::vector<TPhraseChange> changes;
        for (std::size_t i = 0; i < doc.PhraseCount(); ++i)
            changes.push_back({i, "[de] " + std::string(doc.Text(i))});
        ReplacePhrases(doc, changes, [&] { doc.Save(target); });
        WriteBytes(dir.filePath("en/a.html"),
                   Site("<p>Alpha one.</p><p>Beta two three four five.</p>"));
        Update();
    }
    void Update() {
        project::TUpdateOptions options;
        options.UserMemory = "-";
        project::UpdateProject(project::OpenProject(NativePath(projectFile)), options);
    }

    QTreeWidgetItem* PageItem(const QString& name) {
        auto* tree = Control<QTreeWidget>("ProjectPages");
        const QList<QTreeWidgetItem*> found = tree->findItems(name, Qt::MatchExactly, 0);
        return found.isEmpty() ? nullptr : found.first();
    }
    QString Progress(const QString& name) {
        QTreeWidgetItem* item = PageItem(name);
        return item ? item->text(1) : QString();
    }

    QString projectFile;
};

TEST_F(ProjectWindow, PagesSourcesDraftsAndProgress) {
    MakeSite();
    TMemorySettings memory;
    memory.File = dir.filePath("user.sqlite");
    SaveMemorySettings(form->SettingsStore, memory);

    nextChoice = projectFile;
    Command([this] { form->findChild<QAction*>("mOpenProject")->trigger(); });
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    ASSERT_TRUE(Control<QWidget>("ProjectDock")->isVisible());
    ASSERT_NE(PageItem("a.html"), nullptr);
    EXPECT_EQ(Progress("a.html"), "2/3, 1 fuzzy");
    EXPECT_TRUE(lastFilter.contains("*.qfp")) << lastFilter.toStdString();

    // Chosen in the pane, the page opens with the project's sources.
    Command([this] {
        auto* tree = Control<QTreeWidget>("ProjectPages");
        emit tree->itemActivated(PageItem("a.html"), 0);
    });
    ASSERT_TRUE(form->DocumentOpen());
    EXPECT_EQ(form->DocumentPath(), dir.filePath("de/a.html"));
    ASSERT_EQ(TextBoxModel->rowCount(), 3);
    Select(1);
    EXPECT_EQ(Control<QLabel>("TextLabel")->text(), "Source: Alpha one.");

    // The fuzzy draft is in the entry, marked as such with the old source, and not in the page.
    Select(2);
    auto* entry = Control<TEntryEdit>("Edit1");
    EXPECT_EQ(entry->text(), "[de] Beta two three four.");
    auto* draft = Control<QLabel>("DraftLabel");
    EXPECT_TRUE(draft->isVisible());
    EXPECT_TRUE(draft->text().contains("Fuzzy draft")) << draft->text().toStdString();
    EXPECT_TRUE(draft->text().contains("Beta two three")) << draft->text().toStdString();
    EXPECT_EQ(ReadBytes(dir.filePath("de/a.html")).find("[de] Beta"), std::string::npos);
    // The matches come from the project's memory, under the project's languages although the
    // page's root names the target language.
    auto* matches = Control<TMatchesPane>("MatchesPane");
    QTRY_VERIFY(!matches->Looking());
    ASSERT_FALSE(matches->Matches().empty());
    EXPECT_EQ(matches->Matches()[0].Target, "[de] Beta two three four.");

    // Confirmed, it is the page's, and the pane counts it.
    entry->setFocus();
    Key(Qt::Key_Return);
    QTRY_VERIFY(ReadBytes(dir.filePath("de/a.html")).find("[de] Beta two three four.") !=
                std::string::npos);
    EXPECT_EQ(Progress("a.html"), "3/3");
    Select(2);
    EXPECT_EQ(Control<QLabel>("TextLabel")->text(), "Source: Beta two three four five.");
    EXPECT_FALSE(draft->isVisible());

    // Unfinished pages only: the page is finished.
    auto* pane = Control<TProjectPane>("ProjectPane");
    pane->SetUnfinishedOnly(true);
    EXPECT_TRUE(PageItem("a.html")->isHidden());
    pane->SetUnfinishedOnly(false);

    // A new phrase in the source: Project, Update runs, the pane and the open page follow.
    WriteBytes(dir.filePath("en/a.html"),
               Site("<p>Alpha one.</p><p>Beta two three four five.</p><p>Gamma.</p>"));
    Command([this] { form->findChild<QAction*>("mProjectUpdate")->trigger(); });
    QTRY_VERIFY_WITH_TIMEOUT(!form->ProjectUpdating(), 20000);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(Progress("a.html"), "3/4");
    EXPECT_EQ(TextBoxModel->rowCount(), 4);
    EXPECT_FALSE(pane->findChild<QLabel*>("ProjectNote")->text().isEmpty());
}

TEST_F(ProjectWindow, OpenWithSourcePageShowsTheSources) {
    const QString source = Page("en.html", Site("<p>Hello.</p><p>World.</p>"));
    const QString translated = Page("de.html",
                                    "<html lang=\"de\"><head><title>Anleitung</title></head><body>"
                                    "<p>Hallo.</p><p>World.</p></body></html>");
    QStringList choices = {translated, source};
    form->ChooseFileToOpen = [&](const QString&, const QString&) { return choices.takeFirst(); };
    Command([this] { form->findChild<QAction*>("mOpenWithSource")->trigger(); });
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    ASSERT_TRUE(form->DocumentOpen());
    EXPECT_EQ(form->DocumentPath(), translated);
    Select(0);
    EXPECT_EQ(Control<QLabel>("TextLabel")->text(), "Source: Guide");
    Select(1);
    EXPECT_EQ(Control<QLabel>("TextLabel")->text(), "Source: Hello.");
    Select(2);
    EXPECT_EQ(Control<QLabel>("TextLabel")->text(), "World.");

    // Pages that part outside their phrases are refused, naming both.
    const QString other = Page("other.html", Site("<div>Hello.</div><p>World.</p>"));
    choices = {translated, other};
    Command([this] { form->findChild<QAction*>("mOpenWithSource")->trigger(); });
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("other.html")) << errors[0].toStdString();
}

}  // namespace
