#pragma once

// What a translation tool's file (XLIFF, PO) brings back to a page: its units, each with the
// source text exported and the target the translator gave, and the stamp of the page it was
// exported from. Texts are in their textual form, UTF-8: a sentence's placeholders as
// "<b1>...</b1>" and "<br2/>", with the escapes of core/sentences.h.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/document.h"

namespace quillfen {

// The page an export was made from and how it was cut into phrases, so that a merge can tell
// that it is given the same page.
struct TSourceStamp {
    std::uint64_t Hash = 0;  // HashBytes of the page as it stood when exported
    TTags Tags = TTags::Default;
    TUnits Units = TUnits::Runs;
    bool operator==(const TSourceStamp&) const = default;
};

// The stamp of the document as it stands now (its changed phrases included).
TSourceStamp StampOf(const TDocument& document);
// The stamp as the files carry it: "xxh64=0123456789abcdef tags=7 units=runs".
std::string FormatSourceStamp(const TSourceStamp& stamp);
// A stamp read back; nullopt for a text that is none.
std::optional<TSourceStamp> ParseSourceStamp(std::string_view text);

struct TTranslationUnit {
    std::string Id;      // as the file names it; ours are the phrase's number from 1
    std::string Source;  // the text exported
    // The translation; nullopt where the phrase is to keep its bytes (no target, an empty one,
    // a state that says it is not translated, a fuzzy entry).
    std::optional<std::string> Target;
    std::size_t Line = 0;  // where the unit starts in the file, for errors; 0 when unknown
};

struct TTranslationFile {
    std::optional<TSourceStamp> Stamp;  // nullopt when the file carries none
    std::vector<TTranslationUnit> Units;
};

// The language the page names for itself: its root element's lang, else its xml:lang, as the
// first html start tag gives them, blanks cut; empty if none.
std::string PageLanguage(const TDocument& document);
// text as a language tag ("en_US" gives "en-US", "EN-us" too), or nullopt for a text that is
// none (empty, "en_US.UTF-8", blanks inside).
std::optional<std::string> LanguageTag(std::string_view text);

// Options of an export to a translation tool's format; the text file ignores them.
struct TExportOptions {
    std::string SourceLanguage;  // used when the page names no language; empty: "und"
    std::string TargetLanguage;  // empty: none given
};

}  // namespace quillfen
