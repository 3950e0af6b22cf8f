#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace quillfen {

// An interface language, by the number the settings store keeps for it. English and German keep
// the numbers they have always been stored as; a later language takes any number no other entry
// of the list has. Only English, the default, and German need a name in code.
enum class TLanguage : std::uint16_t { English = 0, German = 100 };

constexpr std::uint16_t StoredValue(TLanguage language) {
    return static_cast<std::uint16_t>(language);
}

// The interface's texts by name. Each keeps the number it has always had in the tables; a new
// text takes the next free number, below Version.
enum class TStringId : int {
    AppTitle = 1,
    VersionCaption = 2,
    MenuFile = 10,
    MenuOpen = 11,
    MenuClose = 12,
    MenuExit = 13,
    MenuHelp = 14,
    MenuLanguage = 15,
    MenuOptions = 16,
    MenuExport = 17,
    MenuCombine = 18,
    SelectPhrase = 20,
    OpenFilter = 21,
    PhraseCount = 23,
    FilteredCount = 24,
    WordCount = 26,
    OptionsTitle = 30,
    KindsCaption = 31,
    KindText = 32,
    KindImage = 33,
    KindContent = 34,
    StartMenuCaption = 35,
    AddStartMenuItem = 36,
    WizardTitle = 41,
    WizardExportIntro = 42,
    WizardTextFile = 43,
    WizardTemplate = 44,
    WizardExportNotice = 45,
    WizardImportIntro = 46,
    WizardDestinationPrompt = 47,
    WizardHtmlFile = 48,
    WizardCombined = 49,
    WizardLoadFile = 50,
    WizardNext = 51,
    WizardBack = 52,
    WizardFinish = 53,
    Cancel = 54,
    WizardOutputFolder = 55,
    MenuEdit = 56,
    MenuUndo = 57,
    MenuRedo = 58,
    MenuRevert = 59,
    AskRevert = 60,
    AskReloadChanged = 61,
    AskDropFailedSave = 62,
    AskRecover = 63,
    Yes = 64,
    No = 65,
    EncodingLine = 66,
    EncodingTip = 67,
    WizardExportHeading = 68,
    WizardImportHeading = 69,
    MenuFind = 70,
    MenuGoTo = 71,
    FindCaption = 72,
    FindMatchOf = 73,
    FindNoMatch = 74,
    GoToTitle = 75,
    GoToPrompt = 76,
    FindHint = 77,
    CloseButton = 78,
    AskDropDrafts = 79,
    StatusPhraseOf = 80,
    StatusChanged = 81,
    FilterCaption = 82,
    FilterAll = 83,
    FilterUnchanged = 84,
    FilterChanged = 85,
    SkipNoLetters = 86,
    KindAttribute = 87,
    TranslatorNote = 88,
    UnitsCaption = 89,
    UnitsRuns = 90,
    UnitsSentences = 91,
    MenuMerge = 92,
    TranslationFiles = 93,
    AskForceMerge = 94,
    MergedCount = 95,
    ExportFormatCaption = 96,
    AskRecutForMerge = 97,
    UndoWhichPhrase = 98,
    UndoWhichPhrases = 99,
    AskManyPhrasesStep = 100,
    RecentFileGone = 101,
    SourceOfPhrase = 102,
    StatusDone = 103,
    // The Help page's list of keys and kinds.
    HelpKeys = 104,
    HelpKinds = 105,
    HelpKeyConfirm = 106,
    HelpKeyRows = 107,
    HelpKeyEscape = 108,
    HelpKeyTypingUndo = 109,
    HelpKeyPlaceholder = 111,
    HelpKeyMatches = 112,
    MenuFindNext = 113,
    MenuFindPrevious = 114,
    WizardTranslationNotice = 116,
    ExportedFiles = 117,
    // The translation memory's matches pane.
    MatchesCaption = 120,
    MatchesNone = 121,
    MatchesLanguages = 122,
    MatchesNoLanguage = 123,
    MatchesDraftExact = 124,
    MatchesFailed = 125,
    OriginWindow = 126,
    OriginSave = 127,
    OriginMerge = 128,
    OriginPretranslation = 129,
    OriginAlignment = 130,
    OriginImport = 131,
    // The checks in the window (ui/findings.h).
    FilterWithFindings = 140,
    MenuNextFinding = 141,
    MenuPreviousFinding = 142,
    MenuDismissFindings = 143,
    FindingError = 144,
    FindingWarning = 145,
    AskKeepError = 146,
    // A step written to the page that the memory or the record of sources could not keep.
    StepNotKept = 150,
    // A site project in the window.
    MenuOpenProject = 170,
    MenuOpenWithSource = 171,
    MenuProject = 172,
    MenuProjectUpdate = 173,
    ProjectUnfinishedOnly = 174,
    ProjectPageColumn = 175,
    ProjectProgressColumn = 176,
    ProjectFuzzyCount = 177,
    ProjectFilter = 178,
    ProjectFuzzyDraft = 179,
    ProjectUpdating = 180,
    ProjectUpdated = 181,
    ProjectUpdateFailed = 182,
    ProjectPagesCaption = 183,
    Version = 999,
};

// One text of a language's string table.
struct TStringEntry {
    TStringId Id;
    const char8_t* Text;
};

// Everything the program knows of one interface language. Adding a language is adding its entry
// to the list (settings/stringtable.cpp), its string table beside it, and its help text as
// resources/help/help_<HelpFile>.txt.
struct TLanguageEntry {
    TLanguage Language;
    // Its item in the Language menu, in its own words, with its access key: "&Deutsch".
    const char8_t* Name;
    // Object names of its menu item and of its text on the Help page.
    const char* MenuItem;
    const char* HelpMemo;
    const char* HelpFile;
    // Its texts, sorted by id; every language has the ids English has.
    std::span<const TStringEntry> Strings;
};

// The interface languages in the order of the Language menu.
std::span<const TLanguageEntry> Languages();

// The entry of language; none for a number that is no language's (an edited store).
const TLanguageEntry* FindLanguage(TLanguage language);

// The language stored as value; none for a number that is no language's, which would leave every
// caption empty.
std::optional<TLanguage> LanguageOfStoredValue(std::uint32_t value);

}  // namespace quillfen
