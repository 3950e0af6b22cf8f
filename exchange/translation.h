#pragma once

// What a translation tool's file (XLIFF, PO) brings back to a page: its units, each with the
// source text exported and the target the translator gave, and the stamp of the page it was
// exported from. Texts are in their textual form, UTF-8: a sentence's placeholders as
// "<b1>...</b1>" and "<br2/>", with the escapes of core/markup/sentences.h.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/document/document.h"
#include "core/markup/kinds.h"

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
    // The kind of phrase the file says the unit is for, as it names it (a PO context's letter,
    // an XLIFF restype; see KindNamed); empty where it does not say, as after a tool's
    // conversion.
    std::string Kind = {};
    // A unit that a tool added in a file of its own beside ours (po2xliff -t): it gives its
    // target to our unit of its number rather than doubling it.
    bool Added = false;
    // The first inline element of the target that is no text ("<g>", "<x>", "<ph>"; not our
    // byte codes), empty if none; a g or x stands in the target as a placeholder as well.
    std::string Inline = {};
    // The source or the target was longer than the reader keeps (TReadLimits): what it holds
    // is only their start.
    bool SourceTooLong = false, TargetTooLong = false;
    // The file marks the target as a draft still to be reviewed (XLIFF's needs-review states);
    // a single page's merge takes it all the same, a project's leaves it a draft.
    bool NeedsReview = false;
};

struct TTranslationFile {
    std::optional<TSourceStamp> Stamp;  // nullopt when the file carries none
    std::vector<TTranslationUnit> Units;
    // The page the file names as its original (XLIFF's file original), empty where it names
    // none.
    std::string Original = {};
};

// A translation may be longer than its source (a short word becomes a phrase, a language writes
// longer), but not without bound: a target longer than this is a fault, and a reader keeps no
// more of it.
std::size_t MaxTargetBytes(std::size_t sourceBytes);
// How much of a unit's texts a reader keeps, so that a crafted file cannot fill memory: a source
// longer than Source cannot be any phrase's text, and a target beyond MaxTargetBytes of its
// source or beyond Target is faulty. A header (PO's, or its unit in XLIFF) is kept to 64 KiB.
struct TReadLimits {
    std::size_t Source = static_cast<std::size_t>(-1);
    std::size_t Target = static_cast<std::size_t>(-1);
};

// A translation file read unit by unit, so that a file many times larger than its page is never
// held whole. Raises TError naming the file and the line for a file it cannot read.
class TUnitReader {
  public:
    virtual ~TUnitReader() = default;
    // The stamp the file carries ahead of its first unit; nullopt where it carries none.
    virtual std::optional<TSourceStamp> Stamp() = 0;
    // The original its first file element names, known once Stamp was asked; empty if none.
    virtual std::string Original() { return {}; }
    // The next unit into unit; false at the file's end.
    virtual bool Next(TTranslationUnit& unit) = 0;
};

// The units of a file already read whole, one by one.
class TUnitsOfFile final : public TUnitReader {
  public:
    explicit TUnitsOfFile(const TTranslationFile& file) : file_(file) {}
    std::optional<TSourceStamp> Stamp() override { return file_.Stamp; }
    std::string Original() override { return file_.Original; }
    bool Next(TTranslationUnit& unit) override {
        if (next_ == file_.Units.size()) return false;
        unit = file_.Units[next_++];
        return true;
    }

  private:
    const TTranslationFile& file_;
    std::size_t next_ = 0;
};

// Every unit a reader gives, with its stamp.
TTranslationFile ReadAllUnits(TUnitReader& reader);

// A kind's name in a file: its letter ("T"), or as an XLIFF restype "x-" and its name with
// hyphens for blanks ("x-plain-text").
std::string ResTypeOf(TKind kind);
// The kind a unit's file names, by its letter or its restype; nullopt for a name that is none.
std::optional<TKind> KindNamed(std::string_view name);

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
