#pragma once

// Checks a reviewer runs before a translated page goes out: each compares a phrase's translation
// with its source (placeholders, numbers, addresses, punctuation, blanks, length, ...), and two
// look over a whole page or project for the same source translated differently and different
// sources translated the same. Texts are in their textual form, UTF-8: in sentences a
// placeholder is "<b1>...</b1>" or "<br2/>" with the escapes of core/markup/sentences.h; in runs a
// phrase is plain text, where a tag or a character reference can only be text that a text file
// or a merge brought in and that the page will show as typed.

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/markup/sentences.h"

namespace quillfen {

enum class TSeverity : std::uint8_t { Error, Warning };

// The checks, errors first. Their ids (CheckInfo) are what users type and what a dismissal is
// kept under: an id never changes once given.
enum class TCheck : std::uint8_t {
    Placeholders,  // missing, extra, doubled, unpaired or misnested placeholders (tags in runs)
    Numbers,
    Urls,          // web addresses and e-mail addresses
    Untranslated,  // an empty translation of a text that is not
    PlaceholderSpacing,
    DoubleSpace,
    EndPunctuation,
    Brackets,  // brackets and quotation marks
    RepeatedWord,
    Unchanged,
    Length,
    InconsistentSource,  // over a set: one source, several translations
    InconsistentTarget,  // over a set: one translation, several sources
};
inline constexpr std::size_t kCheckCount = 13;

struct TCheckInfo {
    TCheck Check;
    std::string_view Id;  // "numbers", "end-punctuation"
    TSeverity Severity;
    bool OverSet;  // needs a page or a project, not one pair
};
// Every check, in TCheck's order.
std::span<const TCheckInfo> Checks();
const TCheckInfo& CheckInfo(TCheck check);
std::optional<TCheck> FindCheck(std::string_view id);

// Which checks run.
class TCheckSelection {
  public:
    static TCheckSelection All();
    static TCheckSelection None() { return {}; }
    bool Has(TCheck check) const { return bits_.test(std::size_t(check)); }
    TCheckSelection& Add(TCheck check) {
        bits_.set(std::size_t(check));
        return *this;
    }
    bool operator==(const TCheckSelection&) const = default;

  private:
    std::bitset<kCheckCount> bits_;
};
// The checks a list of ids names: "numbers,urls", blanks around the commas allowed. An id no
// check has is UnknownCheckError.
TCheckSelection ParseCheckList(std::string_view list);

struct TFinding {
    TCheck Check = TCheck::Placeholders;
    TSeverity Severity = TSeverity::Error;
    std::size_t Page = 0;    // which page of a project; 0 for a single page or pair
    std::size_t Phrase = 0;  // the phrase, counted from 0; 0 for a single pair
    // What was found, composed in checks/messages: in German for the German interface, in
    // English for every other interface and for quillfen-cli.
    std::string German, English;
    // The key a dismissal of this finding is kept under (DismissalKey).
    std::string Key;

    const std::string& Text(bool german) const { return german ? German : English; }
};

struct TCheckOptions {
    // Language tags ("fr", "de-CH", "zh-Hans"); empty where not known, which accepts the
    // conventions of every language the checks know.
    std::string SourceLanguage, TargetLanguage;
    TUnits Units = TUnits::Runs;
    TCheckSelection Checks = TCheckSelection::All();
};

struct TLanguageConventions;

// The checks of one pair of texts under fixed options; the languages' conventions are looked up
// once, so that many pairs cost only their checks.
class TPairChecker {
  public:
    explicit TPairChecker(const TCheckOptions& options);
    ~TPairChecker();
    TPairChecker(TPairChecker&&) noexcept;
    TPairChecker& operator=(TPairChecker&&) noexcept;

    // Appends what the chosen checks find in target as a translation of source (Page and
    // Phrase 0). Checks over a set are CheckSet's.
    void Check(std::string_view source, std::string_view target,
               std::vector<TFinding>& findings) const;
    std::vector<TFinding> Check(std::string_view source, std::string_view target) const;

  private:
    TUnits units_;
    TCheckSelection checks_;
    std::unique_ptr<const TLanguageConventions> source_, target_;
};

std::vector<TFinding> CheckPair(std::string_view source, std::string_view target,
                                const TCheckOptions& options);

// One phrase of a page or project, for the checks over a set.
struct TCheckedPhrase {
    std::string_view Source, Target;
    std::size_t Page = 0, Phrase = 0;
};
// Appends the findings of the chosen checks over a set: a source translated otherwise than its
// prevailing translation, and a translation that stands for another source than it mostly does.
// Each finding names where the prevailing one stands: "phrase 12", or, when it is on another page
// and pageNames names the pages, "NAME, phrase 12". Empty translations take no part.
void CheckSet(std::span<const TCheckedPhrase> phrases, const TCheckSelection& checks,
              std::vector<TFinding>& findings, std::span<const std::string> pageNames = {});

// Dismissals. A dismissed finding stays dismissed while its phrase's source and translation read
// as they did; when either changes, the finding comes back. The key is the check's id and a
// stable hash of both texts: "numbers:0123456789abcdef" (XXH64, seed 0, of the source's length in
// decimal, ':', the source and the translation). Stored keys stay valid from version to version.
std::string DismissalKey(TCheck check, std::string_view source, std::string_view target);

// Where dismissals are kept (a project's state, the user's memory).
class TDismissals {
  public:
    virtual ~TDismissals() = default;
    virtual bool IsDismissed(std::string_view key) const = 0;
};

// Dismissals held in memory.
class TDismissalSet final : public TDismissals {
  public:
    void Dismiss(const TFinding& finding) { keys_.insert(finding.Key); }
    void Dismiss(std::string key) { keys_.insert(std::move(key)); }
    bool IsDismissed(std::string_view key) const override {
        return keys_.count(std::string(key)) != 0;
    }

  private:
    std::unordered_set<std::string> keys_;
};

// Removes the dismissed findings, keeping the others in their order.
void DropDismissed(std::vector<TFinding>& findings, const TDismissals& dismissals);

}  // namespace quillfen
