#include "cli/command.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <iostream>

#include "cli/texts.h"
#include "core/errors.h"
#include "core/markup/kinds.h"
#include "exchange/formats.h"
#include "session/pagesession.h"
#ifdef QUILLFEN_SOURCES
#include "sources/record.h"
#endif

namespace quillfen::cli {

namespace {

// Kept as copies: a registration may be given its command as a temporary. A deque, so that
// what Commands() gives stays where it is while later commands register.
std::deque<TCommand>& Registry() {
    static std::deque<TCommand> commands;
    return commands;
}

std::optional<unsigned long> Number(std::string_view s) {
    unsigned long value = 0;
    if (s.empty()) return std::nullopt;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

// The lines of text, each indented by indent.
std::string Indented(std::string_view text, std::string_view indent) {
    std::string out;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        out.append(indent).append(text.substr(0, end)).append("\n");
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return out;
}

// Standard output failed: the error names no page.
struct TOutputError : TError {
    explicit TOutputError(const TError& error) : TError(error) {}
};

// What is still buffered fails only when it is flushed, and a file system may report a failed
// write only when the file closes.
void CloseOutput() {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        throw TOutputError(StandardOutputError(errno));
    if (std::fclose(stdout) != 0) throw TOutputError(StandardOutputError(errno));
}

}  // namespace

bool SpeaksGerman() {
    // The first of these that is set names the language of messages, as for every program.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(name); value && *value)
            return std::string_view(value).starts_with("de");
    return false;
}

std::string Describe(const std::exception& error) {
    const auto* e = dynamic_cast<const TError*>(&error);
    static const bool german = SpeaksGerman();
    std::string text = !e ? error.what() : german ? e->what() : e->English();
    if (e && e->Cause != 0) text.append(": ").append(std::strerror(e->Cause));
    return text;
}

TPluggedSources::TPluggedSources(TPageSession& session, bool required) : session_(session) {
#ifdef QUILLFEN_SOURCES
    try {
        record_ = TSourceStore::OpenDefault();
    } catch (const std::exception& e) {
        if (required) throw;
        std::cerr << "quillfen-cli: " << Say(TSaid::Warning) << ": " << Describe(e) << '\n';
        return;
    }
    session_.SetSourceRecord(record_.get());
#else
    (void)required;
#endif
}

TPluggedSources::~TPluggedSources() {
    if (record_) session_.SetSourceRecord(nullptr);
}

void TPluggedSources::TellFailure() {
    if (const std::exception_ptr failure = session_.TakeObserverFailure()) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& e) {
            std::cerr << "quillfen-cli: " << Say(TSaid::Warning) << ": " << Describe(e) << '\n';
        }
    }
}

int TellFailures(const std::vector<std::string>& pages,
                 const std::vector<std::exception_ptr>& failures) {
    int status = 0;
    for (std::size_t i = 0; i < failures.size(); ++i) {
        if (!failures[i]) continue;
        status = 1;
        try {
            std::rethrow_exception(failures[i]);
        } catch (const std::exception& e) {
            std::cerr << pages[i] << ": " << Describe(e) << '\n';
        }
    }
    return status;
}

const TExchangeFormat& ChosenFormat(const TArguments& a, const TOption& option, bool merging) {
    const std::optional<std::string> name = a.Value(option.Name);
    if (!name) return DefaultExchangeFormat();
    const TExchangeFormat* format = FindExchangeFormat(*name);
    if (format && (!merging || format->ReadTranslation)) return *format;
    std::string names;
    for (const TExchangeFormat* f : ExchangeFormats())
        if (!merging || f->ReadTranslation) names.append(names.empty() ? "" : ", ").append(f->Name);
    throw UsageError(TSaid::FormatTakes, {option.Name, names, *name});
}

std::string LanguageOption(const TArguments& a, const TOption& option) {
    const std::optional<std::string> tag = a.Value(option.Name);
    if (!tag) return {};
    if (!LanguageTag(*tag)) throw UsageError(TSaid::LanguageTakes, {option.Name, *tag});
    return *tag;
}

const TOption kTagsOption{"--tags", "N", "the kinds of phrases (see below)",
                          "die Arten von Phrasen (siehe unten)"};
const TOption kUnitsOption{"--units", "runs|sentences", "what a phrase is (see below)",
                           "was eine Phrase ist (siehe unten)"};

std::optional<std::string> TArguments::Value(std::string_view name) const {
    const auto it = values_.find(std::string(name));
    if (it == values_.end() || it->second.empty()) return std::nullopt;
    return it->second.back();
}

std::vector<std::string> TArguments::Values(std::string_view name) const {
    const auto it = values_.find(std::string(name));
    return it == values_.end() ? std::vector<std::string>() : it->second;
}

TTags TArguments::Tags() const {
    const std::optional<std::string> value = Value(kTagsOption.Name);
    if (!value) return TTags::Default;
    const auto n = Number(*value);
    if (!n || *n > Bits(TTags::AllKinds))
        throw UsageError(TSaid::TagsTakes, {std::to_string(Bits(TTags::AllKinds))});
    return TTags(static_cast<std::uint8_t>(*n));
}

TUnits TArguments::Units() const {
    const std::optional<std::string> value = Value(kUnitsOption.Name);
    if (!value || *value == "runs") return TUnits::Runs;
    if (*value == "sentences") return TUnits::Sentences;
    throw UsageError(TSaid::UnitsTakes);
}

TRegistration::TRegistration(const TCommand& command) { Registry().push_back(command); }

std::vector<const TCommand*> Commands() {
    std::vector<const TCommand*> commands;
    for (const TCommand& command : Registry()) commands.push_back(&command);
    std::sort(commands.begin(), commands.end(),
              [](const TCommand* a, const TCommand* b) { return a->Name < b->Name; });
    return commands;
}

const TCommand* FindCommand(std::string_view name) {
    for (const TCommand& command : Registry())
        if (command.Name == name) return &command;
    return nullptr;
}

std::pair<const TCommand*, std::size_t> FindCommand(std::span<const std::string> words) {
    if (words.empty()) throw UsageError(TSaid::NoCommand);
    if (const TCommand* command = FindCommand(words[0])) return {command, 1};
    // A group's name alone is no command: its subcommands are named in the error.
    std::string subcommands;
    for (const TCommand* command : Commands()) {
        const std::string_view name = command->Name;
        if (name.size() <= words[0].size() + 1 || !name.starts_with(words[0]) ||
            name[words[0].size()] != ' ')
            continue;
        if (words.size() > 1 && name.substr(words[0].size() + 1) == words[1]) return {command, 2};
        subcommands.append(subcommands.empty() ? "" : ", ")
            .append(name.substr(words[0].size() + 1));
    }
    if (subcommands.empty()) throw UsageError(TSaid::UnknownCommand, {words[0]});
    if (words.size() < 2) throw UsageError(TSaid::TakesSubcommand, {words[0], subcommands});
    throw UsageError(TSaid::UnknownSubcommand, {words[0], words[1], subcommands});
}

std::string Usage(bool german) {
    std::string out = Say(german, TSaid::Usage);
    for (const TCommand* command : Commands()) {
        std::string line = "  quillfen-cli " + std::string(command->Name);
        if (!command->Synopsis.empty()) line.append(" ").append(command->Synopsis);
        for (const TOption* option : command->Options) {
            line.append(" [").append(option->Name);
            if (!option->Value.empty()) line.append(" ").append(option->Value);
            line.append(option->Repeats ? "]..." : "]");
        }
        out += line + "\n" + Indented(german ? command->HelpGerman : command->Help, "      ");
        for (const TOption* option : command->Options) {
            if (option == &kTagsOption || option == &kUnitsOption) continue;
            std::string name = "    " + std::string(option->Name);
            if (!option->Value.empty()) name.append(" ").append(option->Value);
            out += name + ":\n" + Indented(german ? option->German : option->Help, "        ");
        }
    }
    std::string letters, sum, formats;
    for (const TKindInfo& kind : Kinds()) {
        letters += letters.empty() ? "" : ", ";
        letters += kind.Letter;
        sum += sum.empty() ? "" : " + ";
        sum += std::to_string(kind.Bit) + ' ';
        sum += KindName(kind, german);
    }
    for (const TExchangeFormat* format : ExchangeFormats())
        formats.append("  ")
            .append(format->Name)
            .append(": ")
            .append(FormatSummary(*format, german))
            .append("\n");
    return out +
           Say(german, TSaid::UsageTags,
               {letters, sum, std::to_string(Bits(TTags::AllKinds)),
                std::to_string(Bits(TTags::Default))}) +
           Say(german, TSaid::UsageUnits) + Say(german, TSaid::UsageEscapes) +
           Say(german, TSaid::UsageFormats) + formats + Say(german, TSaid::UsageExit);
}

TArguments Parse(const TCommand& command, std::span<const std::string> words) {
    TArguments a;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.size() > 1 && word[0] == '-') {
            const auto option = std::find_if(command.Options.begin(), command.Options.end(),
                                             [&](const TOption* o) { return o->Name == word; });
            if (option == command.Options.end())
                throw UsageError(TSaid::UnknownOption, {word, command.Name});
            if ((*option)->Value.empty()) {
                a.Add(word, {});
                continue;
            }
            if (i + 1 >= words.size()) throw UsageError(TSaid::NeedsValue, {word});
            if (!(*option)->Repeats && a.Has(word)) throw UsageError(TSaid::GivenTwice, {word});
            a.Add(word, words[++i]);
        } else {
            a.Operands.push_back(word);
        }
    }
    const std::size_t n = a.Operands.size();
    // A command without operands has no synopsis to name.
    if (n < command.MinOperands || n > command.MaxOperands)
        throw command.Synopsis.empty()
            ? UsageError(TSaid::TakesNoOperands, {command.Name})
            : UsageError(TSaid::TakesOperands, {command.Name, command.Synopsis});
    // The page options are checked before anything is read.
    a.Tags();
    a.Units();
    return a;
}

void Print(std::string_view text) {
    // A list cut short by a full disk, a file-size limit or a closed pipe is a failure of the
    // command, not a shorter list.
    errno = 0;
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
        throw TOutputError(StandardOutputError(errno));
}

int Main(std::span<const std::string> words) {
    int status = 0;
    try {
        if (std::find(words.begin(), words.end(), "--help") != words.end()) {
            Print(Usage(SpeaksGerman()));
        } else {
            const auto [command, named] = FindCommand(words);
            const TArguments arguments = Parse(*command, words.subspan(named));
            try {
                status = command->Run(arguments);
            } catch (const TUsageError&) {
                throw;
            } catch (const TOutputError&) {
                throw;
            } catch (const std::exception& e) {
                if (command->ErrorsNameFirstOperand && !arguments.Operands.empty())
                    std::cerr << arguments.Operands[0] << ": ";
                std::cerr << Describe(e) << '\n';
                status = 1;
            }
        }
        CloseOutput();
    } catch (const TUsageError& e) {
        const bool german = SpeaksGerman();
        std::cerr << "quillfen-cli: " << (german ? e.German : e.English) << "\n" << Usage(german);
        return 2;
    } catch (const TOutputError& e) {
        std::cerr << "quillfen-cli: " << Describe(e) << '\n';
        return 1;
    }
    return status;
}

}  // namespace quillfen::cli
