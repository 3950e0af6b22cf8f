#pragma once

// quillfen-cli's own texts, each in English and German: the frame of the help, what the
// commands report and the usage errors. Which one is told follows the locale's messages
// (SpeaksGerman), as the errors do. What scripts read stays as it is in both: command and option
// names, check ids, severities, JSON keys, the columns of tab-separated lists.

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "core/markup/kinds.h"
#include "exchange/formats.h"

namespace quillfen::cli {

struct TUsageError;

enum class TSaid : std::uint8_t {
    // The help's frame.
    Usage,
    UsageTags,  // %1 letters, %2 their sum, %3 highest, %4 default
    UsageUnits,
    UsageEscapes,
    UsageFormats,
    UsageExit,
    // Reports.
    PhrasesWritten,      // pretranslate: %1 page, %2 count
    BandsHeader,         // pretranslate: the columns of its table
    PhraseRefused,       // %1 page, %2 phrase number, %3 why
    MergeReport,         // merge: %1 page, %2 translated, %3 kept
    LeftOut,             // merge and tm import, after their report: %1 left out
    MergeMoreLeftOut,    // %1 page, %2 count
    WrittenNotKept,      // %1 page, %2 why
    ImportReport,        // tm import: %1 file, %2 added, %3 updated
    AlignReport,         // tm align: %1 file, %2 units, %3 new, %4 untranslated
    ExportReport,        // tm export: %1 file, %2 units
    SameBaseName,        // export: %1 page, %2 the other page
    ProjectCounts,       // %1 phrases .. %11 (see project.cpp)
    ProjectTotal,        //
    ProjectFilesCopied,  // %1 count
    ProjectOrphaned,
    ProjectSourceChanged,
    ProjectBands,  // status: the words by band follow
    ProjectNoMatch,
    ProjectMerged,  // %1 file, %2 page, %3 translated, %4 left out
    OutcomeUnchanged,
    OutcomeNew,
    OutcomeUpdated,
    OutcomeRecorded,
    OutcomeFinished,
    OutcomeRefused,
    OutcomeFailed,
    OutcomeOrphaned,
    Warning,  // "warning" before a warning on standard error
    // Usage errors (TUsageError), from here to the end.
    NoCommand,
    UnknownCommand,         // %1 command
    TakesSubcommand,        // %1 group, %2 its subcommands
    UnknownSubcommand,      // %1 group, %2 word, %3 its subcommands
    UnknownOption,          // %1 option, %2 command
    NeedsValue,             // %1 option
    GivenTwice,             // %1 option
    TakesOperands,          // %1 command, %2 its synopsis
    TakesNoOperands,        // %1 command
    TagsTakes,              // %1 highest
    UnitsTakes,             //
    FormatTakes,            // %1 option, %2 formats, %3 value
    LanguageTakes,          // %1 option, %2 value
    ScoreTakes,             // %1 option, %2 value
    BothLanguagesNeeded,    //
    SetTakes,               // %1 value
    DismissTakes,           // %1 value
    QaFormatTakes,          //
    QaTakes,                //
    QaProjectTakesNoPages,  //
    QaProjectTakesNo,       // %1 option
    ProjectTakesNo,         // %1 subcommand, %2 option
    ProjectNewTakes,        //
    ProjectExportTakes,     //
    ProjectExportWrites,    //
    ProjectMergeTakes,      //
    ProjectTakes,           //
    ExportTakes,            //
    MergeTakes,             // %1 extensions, %2 file
    LookupTakes,            //
    TmExportNeeds,          //
    PretranslateNeeds,      //
};
constexpr TSaid kFirstUsageError = TSaid::NoCommand;

struct TSaidText {
    TSaid Said;
    std::string_view English, German;
};
// Every text, in TSaid's order.
std::span<const TSaidText> SaidTexts();

// The text in the language chosen, each %1 to %99 replaced by the argument of that number.
std::string Say(bool german, TSaid said, std::initializer_list<std::string_view> args = {});
// In the locale's language.
std::string Say(TSaid said, std::initializer_list<std::string_view> args = {});
// A usage error saying the text, in both languages: which one is told is chosen where it is told.
TUsageError UsageError(TSaid said, std::initializer_list<std::string_view> args = {});

// An exchange format's one line for the help, and a kind of phrases' name there.
std::string_view FormatSummary(const TExchangeFormat& format, bool german);
std::string_view KindName(const TKindInfo& kind, bool german);

}  // namespace quillfen::cli
