// The checks in the window: the rows' marks, the filter of rows with findings, the question asked
// once before a text with an error is kept, the way from finding to finding and a dismissal.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <string>

#include "settings/memorysettings.h"
#include "tests/ui/window_fixture.h"

using namespace quillfen;

namespace {

// Dismissals go into the user's memory: the test's own.
class Findings : public uitest::Window {
  protected:
    void SetUp() override {
        oldData = qgetenv("XDG_DATA_HOME");
        hadData = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
        uitest::Window::SetUp();
    }
    void TearDown() override {
        uitest::Window::TearDown();
        if (hadData)
            qputenv("XDG_DATA_HOME", oldData);
        else
            qunsetenv("XDG_DATA_HOME");
    }
    int Mark(int row) const {
        return TextBoxModel->index(row).data(TPhraseModel::FindingRole).toInt();
    }
    void Confirm(int row, const QString& text) {
        Select(row);
        Edit1->setFocus();
        Edit1->selectAll();
        Type(text);
        Key(Qt::Key_Return);
    }
    QByteArray oldData;
    bool hadData = false;
};

const std::string kChecked =
    "<html lang=\"en\"><body>\r\n<p>Version 2.0 is out.</p>\r\n<p>Read the manual.</p>\r\n"
    "<p>Hello world.</p>\r\n<p>Goodbye.</p>\r\n</body></html>\r\n";

TEST_F(Findings, ErrorsAskOnceAndRowsAreMarkedFilteredAndDismissed) {
    Open(Page("page.html", kChecked));
    ASSERT_TRUE(errors.isEmpty());
    auto* label = Control<QLabel>("FindingsLabel");

    // An error: the first Enter keeps nothing and says why, the second keeps the text.
    Confirm(0, "Version 2.1 ist da.");
    EXPECT_EQ(RowText(0), "Version 2.0 is out.");
    EXPECT_EQ(form->SelectedRow(), 0);
    EXPECT_TRUE(label->isVisible());
    EXPECT_TRUE(label->text().contains("2.1")) << label->text().toStdString();
    EXPECT_TRUE(label->text().contains("Press Enter again")) << label->text().toStdString();
    Key(Qt::Key_Return);
    EXPECT_EQ(RowText(0), "Version 2.1 ist da.");
    EXPECT_EQ(form->SelectedRow(), 1);
    // A warning is kept at once; an untouched phrase has no finding.
    Confirm(1, "Lies das Handbuch");
    EXPECT_EQ(RowText(1), "Lies das Handbuch");
    Confirm(2, "Hallo Welt.");
    EXPECT_EQ(RowText(2), "Hallo Welt.");
    const int marks[] = {2, 1, 0, 0};
    for (int row = 0; row < 4; ++row) EXPECT_EQ(Mark(row), marks[row]) << row;

    // The finding shows under the entry while its phrase is current.
    Select(0);
    form->TextBoxClick();
    EXPECT_TRUE(label->isVisible());
    EXPECT_TRUE(label->text().startsWith("Error: ")) << label->text().toStdString();
    Select(2);
    form->TextBoxClick();
    EXPECT_FALSE(label->isVisible());

    // "With findings" shows the marked rows; F4 and Shift+F4 go round them.
    Control<QComboBox>("PhraseFilter")->setCurrentIndex(3);
    for (int row = 0; row < 4; ++row) EXPECT_EQ(TextBox->isRowHidden(row), marks[row] == 0) << row;
    // The keys, pressed in the entry, are the menu's (F9 stays the entry's own).
    Edit1->setFocus();
    Key(Qt::Key_F4);
    EXPECT_EQ(form->SelectedRow(), 0);
    Key(Qt::Key_F4);
    EXPECT_EQ(form->SelectedRow(), 1);
    Key(Qt::Key_F4);
    EXPECT_EQ(form->SelectedRow(), 0);
    Key(Qt::Key_F4, Qt::ShiftModifier);
    EXPECT_EQ(form->SelectedRow(), 1);
    EXPECT_EQ(Control<QAction>("mNextFinding")->shortcut(), QKeySequence(Qt::Key_F4));

    // A dismissal takes the row's findings away for good, kept in the user's memory.
    Command([&] { Control<QAction>("mDismissFindings")->trigger(); });
    EXPECT_EQ(Mark(1), 0);
    EXPECT_TRUE(TextBox->isRowHidden(1));
    EXPECT_TRUE(QFile::exists(dir.filePath("data/Quillfen/memory.sqlite")));
    Stop();
    Start();
    Open(Page("page2.html", kChecked));
    Confirm(1, "Lies das Handbuch");
    EXPECT_EQ(Mark(1), 0);
    Confirm(0, "Version 2.1 ist da.");
    Key(Qt::Key_Return);
    EXPECT_EQ(Mark(0), 2);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

}  // namespace

// The target language the window asks for the memory is the checks' too: a blank before "?" is a
// finding where the translation is English, none where it is French, and the mark follows a
// language edited in the pane at once.
TEST_F(Findings, ConventionsFollowTheTargetLanguageOfTheMemory) {
    TMemorySettings settings;
    settings.File = dir.filePath("m.sqlite");
    settings.TargetLanguage = "en";
    SaveMemorySettings(form->SettingsStore, settings);
    Open(Page("page.html", "<html lang=\"en\"><body><p>Continue?</p><p>Stop.</p></body></html>"));
    ASSERT_TRUE(errors.isEmpty());
    Confirm(0, "Continuer ?");
    EXPECT_EQ(RowText(0), "Continuer ?");
    EXPECT_EQ(Mark(0), 1);
    auto* target = Control<QLineEdit>("MatchesTargetLanguage");
    for (const auto& [language, mark] : {std::pair{"fr", 0}, {"de", 1}, {"", 0}}) {
        target->setText(language);
        emit target->editingFinished();
        EXPECT_EQ(Mark(0), mark) << language;
    }
}
