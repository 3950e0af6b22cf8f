// quillfen-cli speaks German where the locale does: every text of its own (help, reports) and
// every finding's text has both languages, the German really translated, with the same
// arguments in both.

#include "cli/texts.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "checks/messages.h"
#include "cli/command.h"
#include "core/text/utf8.h"

using namespace quillfen;
using namespace quillfen::cli;

namespace {

// The tokens a translation must keep: %N arguments, option names, upper-case names (PAGE, TMX,
// JSON), numbers.
std::multiset<std::string> Kept(std::string_view text, const char* pattern) {
    std::multiset<std::string> out;
    const std::string s(text);
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(s.begin(), s.end(), re); it != std::sregex_iterator(); ++it)
        out.insert(it->str());
    return out;
}

// What both languages of one text must share to be one text said twice.
void ExpectTranslated(std::string_view english, std::string_view german, const char* kept) {
    EXPECT_FALSE(english.empty());
    EXPECT_FALSE(german.empty());
    EXPECT_NE(english, german);
    EXPECT_NO_THROW(RequireUtf8(german)) << german;
    EXPECT_EQ(Kept(english, kept), Kept(german, kept)) << english << "\n" << german;
}

constexpr const char* kArguments = "%[0-9]+";
constexpr const char* kNames = "\\B--?[a-z][a-z-]*|\\b[A-Z][A-Z0-9.]+\\b|\\$[A-Z_]+";

// A usage error names what the command line may hold: the command it begins with, options,
// operands and the values it expects stay as typed.
constexpr const char* kUsageNames =
    "%[0-9]+|^(qa|project|tm|export|merge|pretranslate)( (new|export|merge|lookup))?\\b|"
    "\\B--?[a-z][a-z-]*|\\b[A-Z][A-Z0-9.]+\\b|\\b[0-9]+\\b|"
    "\\b(runs|sentences|json|po|de|en-US|new|update|status|export|merge|numbers:[0-9a-f]+)\\b";

}  // namespace

TEST(CliTexts, EveryReportFrameAndUsageTextIsSaidInBoth) {
    std::size_t i = 0;
    for (const TSaidText& text : SaidTexts()) {
        SCOPED_TRACE(text.English);
        EXPECT_EQ(std::size_t(text.Said), i++);
        ExpectTranslated(text.English, text.German,
                         text.Said >= kFirstUsageError ? kUsageNames : kArguments);
        // The arguments land where the pattern says, in both.
        for (const bool german : {false, true})
            EXPECT_EQ(Say(german, text.Said,
                          {"\x01", "\x02", "\x03", "\x04", "\x05", "\x06", "\x07", "\x08", "\x09",
                           "\x0B"})
                          .find('%'),
                      std::string::npos);
    }
    EXPECT_EQ(Say(true, TSaid::ProjectCounts, {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}),
              "1 Phrasen 2 W\xC3\xB6rter: \xC3\xBC"
              "bersetzt 3 (4 W\xC3\xB6rter), im Kontext 5, exakt 6, unscharfe Entw\xC3\xBC"
              "rfe 7 (8 W\xC3\xB6rter), un\xC3\xBC"
              "bersetzt 9 (10 W\xC3\xB6rter)");
    // An argument's own % stays as it is.
    EXPECT_EQ(Say(false, TSaid::ExportReport, {"a%2.tmx", "3"}), "a%2.tmx: 3 units\n");
}

// Whether a command of that name is built here.
bool FindsCommand(std::string_view name) {
    for (const TCommand* command : Commands())
        if (command->Name == name) return true;
    return false;
}

// A command line that fits no declaration is told whole in both languages, naming what it gave.
TEST(CliTexts, UsageErrorsAreComposedInBoth) {
    std::vector<std::pair<std::vector<std::string>, std::string>> lines = {
        {{}, ""},
        {{"frobnicate"}, "frobnicate"},
        {{"tm"}, "tm"},
        // Where the memory is not built (Windows), tm is an unknown command itself.
        {{"tm", "frob"}, FindsCommand("tm export") ? "frob" : "tm"},
        {{"save", "p", "--bogus"}, "--bogus"},
        {{"save", "p", "-o"}, "-o"},
        {{"save", "p", "-o", "a", "-o", "b"}, "-o"},
        {{"save", "p", "--tags", "99"}, "15"},
        {{"save", "p", "--units", "words"}, "sentences"},
    };
    // Every command given too many operands, or too few.
    for (const TCommand* command : Commands()) {
        std::vector<std::string> words;
        std::istringstream name{std::string(command->Name)};
        for (std::string word; name >> word;) words.push_back(word);
        if (command->MaxOperands != SIZE_MAX)
            words.insert(words.end(), command->MaxOperands + 1, "x");
        lines.emplace_back(words, command->Name);
    }
    for (const auto& [words, named] : lines) {
        SCOPED_TRACE(named);
        try {
            const auto [command, n] = FindCommand(words);
            Parse(*command, std::span(words).subspan(n));
            ADD_FAILURE() << "no usage error";
        } catch (const TUsageError& e) {
            ExpectTranslated(e.English, e.German, kNames);
            for (const std::string& text : {e.English, e.German}) {
                EXPECT_NE(text.find(named), std::string::npos) << text;
                EXPECT_EQ(text.find('%'), std::string::npos) << text;
                EXPECT_NE(text.back(), ' ') << text;
            }
        }
    }
}

TEST(CliTexts, EveryCommandOptionFormatAndKindHasItsGermanHelp) {
    for (const TCommand* command : Commands()) {
        SCOPED_TRACE(command->Name);
        ExpectTranslated(command->Help, command->HelpGerman, kNames);
        for (const TOption* option : command->Options) {
            SCOPED_TRACE(option->Name);
            ExpectTranslated(option->Help, option->German, kNames);
        }
    }
    for (const TExchangeFormat* format : ExchangeFormats())
        ExpectTranslated(format->Summary, FormatSummary(*format, true), kNames);
    for (const TKindInfo& kind : Kinds()) ExpectTranslated(kind.Name, KindName(kind, true), kNames);
    // No line of prose is left in English in the German help.
    std::set<std::string> german;
    std::istringstream g(Usage(true));
    for (std::string line; std::getline(g, line);) german.insert(line);
    std::istringstream e(Usage(false));
    for (std::string line; std::getline(e, line);) {
        if (line.starts_with("  quillfen-cli ") || line.starts_with("    -") ||
            line.find("$XDG_DATA_HOME") != std::string::npos)
            continue;
        EXPECT_EQ(german.count(line), 0u) << line;
    }
}

// Each finding's text, composed with an argument that must stand in both languages.
TEST(CliTexts, EveryFindingTextIsSaidInBoth) {
    using namespace quillfen::checks;
    const std::string_view a = "<b1>", w = "3.5";
    const TPlace elsewhere{"guide/start.html", 12};
    const std::vector<std::pair<const char*, std::function<TText()>>> texts = {
        {"placeholder missing", [&] { return PlaceholderMissing(a); }},
        {"placeholder extra", [&] { return PlaceholderExtra(a); }},
        {"placeholder doubled", [&] { return PlaceholderDoubled(a); }},
        {"placeholder unpaired", [&] { return PlaceholderUnpaired(a); }},
        {"placeholder misnested", [&] { return PlaceholderMisnested(a); }},
        {"placeholder as text", [&] { return PlaceholderAsText(a, '&'); }},
        {"markup extra", [&] { return MarkupExtra(a); }},
        {"markup missing", [&] { return MarkupMissing(a); }},
        {"markup misnested", [&] { return MarkupMisnested(a); }},
        {"number missing", [&] { return NumberMissing(w); }},
        {"number extra", [&] { return NumberExtra(w); }},
        {"address missing", [&] { return AddressMissing(w); }},
        {"address extra", [&] { return AddressExtra(w); }},
        {"empty", [] { return EmptyTranslation(); }},
        {"spacing before, source blank", [&] { return SpacingDiffers(a, true, true); }},
        {"spacing after, no blank", [&] { return SpacingDiffers(a, false, false); }},
        {"double space", [] { return DoubleSpace(); }},
        {"end punctuation", [&] { return EndPunctuationDiffers(".", "!"); }},
        {"end punctuation, none in source", [&] { return EndPunctuationDiffers("", "!"); }},
        {"end punctuation, none in target", [&] { return EndPunctuationDiffers(".", ""); }},
        {"French blank", [&] { return BlankBeforeMarkMissing("?"); }},
        {"blank before mark", [&] { return BlankBeforeMark("?"); }},
        {"inverted mark", [&] { return InvertedMarkMissing("?"); }},
        {"bracket not closed", [&] { return BracketNotClosed("("); }},
        {"bracket not opened", [&] { return BracketNotOpened(")"); }},
        {"bracket missing", [&] { return BracketMissing("("); }},
        {"quotes unpaired", [] { return QuotesUnpaired(); }},
        {"quote missing", [] { return QuoteMissing(); }},
        {"repeated word", [&] { return RepeatedWord("les"); }},
        {"unchanged", [] { return Unchanged(); }},
        {"length", [] { return LengthOutside(420, 350); }},
        {"translated otherwise", [&] { return TranslatedOtherwise("Sichern", elsewhere); }},
        {"same translation", [&] { return SameTranslationOf("Open", elsewhere); }},
    };
    // The arguments of the texts above; each text must hold in German what it holds in English.
    const char* kept =
        "<b1>|3\\.5|guide/start\\.html|\\b12\\b|420|350|Sichern|Open|\\bles\\b|[.!?&()]";
    for (const auto& [name, make] : texts) {
        SCOPED_TRACE(name);
        const TText text = make();
        ExpectTranslated(text.English, text.German, kept);
    }
}
