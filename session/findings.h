#pragma once

// The checks' findings over the open page, kept up to date step by step. A page without a project
// knows no source but itself: a phrase's translation is checked against its original text (what
// was read), and only once it was changed, since a text as it was read is no translation yet.

#include <cstddef>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "checks/checks.h"
#include "core/document/document.h"

namespace quillfen {

class TPageFindings {
  public:
    TPageFindings();
    ~TPageFindings();

    // A phrase's source, none where it reads as its source (the page session's Source: what it
    // read before it was first replaced, in this session or one before).
    using TSourceOf = std::function<std::optional<std::string>(std::size_t)>;

    // Checks doc anew: each replaced phrase whose text is not the one checked before, then the
    // checks over the page (the same source translated otherwise, ...). Findings dismissals holds
    // are left out; when asking them fails, the finding stays and the failure is given back.
    // replaced: the phrases that may have a source, in order; no other phrase is asked, so that
    // a step costs what was translated, not what the page holds.
    std::exception_ptr Update(const TDocument& doc, const std::vector<std::size_t>& replaced,
                              const TSourceOf& sourceOf, const TDismissals* dismissals);
    void Clear();
    // The translation's language (a tag; empty: not known, which accepts every language's
    // conventions of numbers and punctuation). A change checks every phrase anew.
    // Whether it changed.
    bool SetTargetLanguage(std::string tag);

    // Phrase i's findings, errors first.
    const std::vector<TFinding>& Of(std::size_t i) const;
    std::optional<TSeverity> Worst(std::size_t i) const;
    // The phrases that have findings, in order.
    std::vector<std::size_t> Phrases() const;

    // The errors the pair checks find in text as phrase i's translation, dismissed ones left
    // out.
    std::vector<TFinding> Errors(const TDocument& doc, const TSourceOf& sourceOf, std::size_t i,
                                 std::string_view text, const TDismissals* dismissals);

  private:
    struct TChecked {
        std::string Source, Target;
        std::vector<TFinding> Found;
    };
    const TPairChecker& Checker(const TDocument& doc);

    std::map<std::size_t, TChecked> checked_;
    std::map<std::size_t, std::vector<TFinding>> shown_;
    std::unique_ptr<TPairChecker> checker_;
    std::string language_, target_;
    TUnits units_ = TUnits::Runs;
};

}  // namespace quillfen
