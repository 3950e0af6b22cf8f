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

// One text of a language's string table.
struct TStringEntry {
    int Id;
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
