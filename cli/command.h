#pragma once

// quillfen-cli's commands. Each command is one file of cli/commands/ holding one TCommand: its
// name, its operands, its options and what it does. The usage text, --help and the checking of
// a command line are made from these declarations, so a command cannot take an option its help
// does not name.

#include <cstddef>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/markup/sentences.h"
#include "core/tags.h"
#include "exchange/formats.h"

namespace quillfen {
class TPageSession;
class TSourceRecord;
}  // namespace quillfen

namespace quillfen::cli {

// A command line that does not fit its command's declaration: exit status 2, with the usage. Its
// text in both languages, as an error's (cli/texts' UsageError composes both); the one told
// follows the locale's messages.
struct TUsageError {
    std::string English, German;
};

struct TOption {
    std::string_view Name;    // "--tags", "-o"
    std::string_view Value;   // the value's name in the help ("N"); empty for a switch
    std::string_view Help;    // what it does, one or more lines without the name
    std::string_view German;  // the same in German, as many lines
    bool Repeats = false;     // may be given more than once, each value kept in order
};

// The options every command that reads pages takes, in the order the help lists them.
extern const TOption kTagsOption;
extern const TOption kUnitsOption;

// A command line as its command's declaration read it.
class TArguments {
  public:
    std::vector<std::string> Operands;
    // Whether the switch or option was given.
    bool Has(std::string_view name) const { return values_.count(std::string(name)) != 0; }
    // The option's last value, if given.
    std::optional<std::string> Value(std::string_view name) const;
    // Every value of a repeated option, in the order given.
    std::vector<std::string> Values(std::string_view name) const;
    void Add(std::string_view name, std::string value) {
        values_[std::string(name)].push_back(std::move(value));
    }

    // The kinds and units the pages are to be read with (--tags, --units); TUsageError for a
    // value they do not take.
    TTags Tags() const;
    TUnits Units() const;

  private:
    std::map<std::string, std::vector<std::string>> values_;
};

struct TCommand {
    // One word, or two for a subcommand ("tm import"): the first names a group of commands.
    std::string_view Name;
    // The operands as the help shows them ("PAGE", "PAGE... -d DIR").
    std::string_view Synopsis = {};
    std::size_t MinOperands = 1;
    std::size_t MaxOperands = 1;  // SIZE_MAX: any number
    std::span<const TOption* const> Options = {};
    std::string_view Help = {};  // the command's lines of help, each line indented by the help
    std::string_view HelpGerman = {};  // the same in German
    // Runs the command; its exit status. Errors are raised (TError and the like: status 1,
    // TUsageError: status 2) and told by the caller, naming what the command names.
    int (*Run)(const TArguments& arguments) = nullptr;
    // What an error of the command is told about: its first operand, or nothing (the error
    // names its files itself).
    bool ErrorsNameFirstOperand = true;
};

// Makes a command known; one static object per command file.
struct TRegistration {
    explicit TRegistration(const TCommand& command);
};

// Every known command, by name.
std::vector<const TCommand*> Commands();
const TCommand* FindCommand(std::string_view name);
// The command the command line begins with, and how many of its words name it (1, or 2 for a
// subcommand); TUsageError for a line that names none.
std::pair<const TCommand*, std::size_t> FindCommand(std::span<const std::string> words);

// The help of every command and of what they share, in German or English.
std::string Usage(bool german);
// The command line (without the program's name) read by command's declaration.
TArguments Parse(const TCommand& command, std::span<const std::string> words);

// Runs quillfen-cli: its exit status, having told errors on standard error.
int Main(std::span<const std::string> words);

// What commands share in reading their options and telling their results.
// The exchange format option names (default: the default format); TUsageError naming the
// formats for a name that is none. merging: only a format that a translation tool reads.
const TExchangeFormat& ChosenFormat(const TArguments& a, const TOption& option,
                                    bool merging = false);
// The language tag the option gives, empty when not given; TUsageError for a text that is none.
std::string LanguageOption(const TArguments& a, const TOption& option);
// Whether the locale's messages are German (LC_ALL, else LC_MESSAGES, else LANG, as for every
// program): the command line's texts follow it, names, ids and JSON keys aside.
bool SpeaksGerman();
// An error as the command line tells it: in German where the locale's messages are German, else
// in English, the system's cause behind it, one line.
std::string Describe(const std::exception& error);
// Tells on standard error each page's failure, "PAGE: error", in page order; 1 when any failed.
int TellFailures(const std::vector<std::string>& pages,
                 const std::vector<std::exception_ptr>& failures);

// The record of sources (sources/record.h) plugged into a session, before it opens its page, for
// as long as this lives; nothing where the build has none. required: a record that cannot be
// opened raises; else that is told on standard error and the session goes on without one.
class TPluggedSources {
  public:
    TPluggedSources(TPageSession& session, bool required);
    ~TPluggedSources();
    TPluggedSources(const TPluggedSources&) = delete;
    TPluggedSources& operator=(const TPluggedSources&) = delete;
    // Tells on standard error that the steps written could not all be recorded: the page was
    // written all the same.
    void TellFailure();

  private:
    TPageSession& session_;
    std::unique_ptr<TSourceRecord> record_;
};

// Writes to standard output; a write that fails raises with its cause, so that a command does
// not end well when what it printed was lost.
void Print(std::string_view text);

}  // namespace quillfen::cli
