#pragma once

// The translation memory in the window: the matches of the current phrase below the entry (score,
// source with its differences to the phrase marked, target fitted to the phrase, origin),
// Ctrl+1 to Ctrl+5 putting one into the entry as a draft, an exact match put there on its own
// when an untranslated phrase is reached, and every confirmed step kept in the memory.
//
// The lookup runs on a thread of its own with a copy of what it needs and a connection of its own
// to the memory, so that moving through the page never waits for it; a result for a phrase that
// is no longer current is dropped. Nothing is opened, kept or looked up until the languages are
// known: the target language from the settings (asked for in the pane, once, and kept), the
// source from the page's lang or else the settings.

#include <QString>
#include <QWidget>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "memory/sessionmemory.h"
#include "session/hooks.h"
#include "settings/language.h"
#include "settings/memorysettings.h"

class QByteArray;
class QCheckBox;
class QLabel;
class QLineEdit;
class QSplitter;
class QTextBrowser;

namespace quillfen {

class TEntryEdit;
class TPageSession;

// The words of source that are not in current, marked in HTML (each its own span); the rest
// escaped as it is. Words are the runs between blanks.
QString MarkDifferences(const QString& source, const QString& current);

// The pane's height until the user gives it another: its caption and a few matches.
int MatchesPaneHeight(const QWidget& pane);
// Brings back the window's splitter (the matches pane, the list, the preview) from a state it
// saved; false for none. A state saved before the pane was a part of it holds the list's and the
// preview's sizes only: those are kept, and the pane gets its default height.
bool RestoreSplitter(QSplitter& splitter, const QByteArray& state);

class TMatchesPane : public QWidget {
  public:
    // The settings are read from store when the pane first needs them.
    TMatchesPane(TPageSession& session, TEntryEdit& entry, const TSettingsStore& store,
                 const TLanguage& language, QWidget* parent);
    ~TMatchesPane() override;

    // The entry now shows row (-1: none) with what the window gave it.
    void Reach(int row);
    // A site project's page is open: the project's languages hold whatever the page's lang
    // says, and the project's memory (at memoryPath) is looked up before the user's; an empty
    // path: no project page.
    void SetProject(const std::string& memoryPath, const std::string& sourceLanguage,
                    const std::string& targetLanguage);
    // Puts match k (from 0) into the entry, a draft until confirmed; false when there is none.
    bool Take(std::size_t k);
    void ApplyLanguage();

    // What the pane shows: the matches of the current phrase, best first.
    const std::vector<TSuggestion>& Matches() const { return matches_; }
    // Whether a lookup is under way for the current phrase.
    bool Looking() const { return looking_; }
    // Told the target language (empty: not known) once the settings are read and whenever it is
    // edited, so that the window's checks expect its conventions.
    std::function<void(const QString&)> TargetLanguageKnown;

  private:
    struct TMemoryState;
    class TRelay;
    TPageSession& session_;
    TEntryEdit& entry_;
    const TSettingsStore& store_;
    const TLanguage& language_;
    TMemorySettings settings_;
    bool settingsRead_ = false;
    // The open project page's memory and languages, if any.
    std::string projectMemory_, projectSource_, projectTarget_;
    std::unique_ptr<TMemoryState> memory_;
    std::unique_ptr<TRelay> relay_;
    QString failure_;
    // Why the memory could not be opened: each step it then cannot keep fails with it.
    std::exception_ptr openFailure_;
    // A step went unstored because the languages were not known: said once, in the pane.
    bool unstored_ = false;

    int row_ = -1;
    std::uint64_t generation_ = 0;
    bool looking_ = false;
    // The phrase as the page had it, the entry's text when it was reached, and whether an exact
    // match may go into the entry on its own.
    QString current_, given_;
    bool draftExact_ = false;
    std::vector<TSuggestion> matches_;

    QLabel* caption_ = nullptr;
    QCheckBox* draftExactBox_ = nullptr;
    QTextBrowser* view_ = nullptr;
    QWidget* languageRow_ = nullptr;
    QLabel* languageLabel_ = nullptr;
    QLineEdit* sourceEdit_ = nullptr;
    QLineEdit* targetEdit_ = nullptr;
    QLabel* status_ = nullptr;

    void ReadSettings();
    // The languages pages go under: the project's, else the settings'.
    TLanguageOptions Languages() const;
    // Opens the memory once the languages are known; false while they are not, or it failed.
    bool Ready();
    void LanguagesEdited();
    void Arrived(std::uint64_t generation, std::vector<TSuggestion> matches,
                 std::exception_ptr error);
    void Render();
    void ShowStatus();
    void Fail(const std::exception& error);
};

}  // namespace quillfen
