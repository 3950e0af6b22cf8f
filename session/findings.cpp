#include "session/findings.h"

#include <algorithm>

#include "exchange/translation.h"

namespace quillfen {

TPageFindings::TPageFindings() = default;
TPageFindings::~TPageFindings() = default;

const TPairChecker& TPageFindings::Checker(const TDocument& doc) {
    const std::string language = PageLanguage(doc);
    if (!checker_ || language != language_ || doc.Units() != units_) {
        TCheckOptions options;
        // Where the translation's language is not known, every language's conventions are taken.
        options.SourceLanguage = language;
        options.TargetLanguage = target_;
        options.Units = doc.Units();
        checker_ = std::make_unique<TPairChecker>(options);
        checked_.clear();
        language_ = language;
        units_ = doc.Units();
    }
    return *checker_;
}

std::exception_ptr TPageFindings::Update(const TDocument& doc,
                                         const std::vector<std::size_t>& replaced,
                                         const TSourceOf& sourceOf, const TDismissals* dismissals) {
    const TPairChecker& checker = Checker(doc);
    std::vector<TFinding> found;
    std::vector<TCheckedPhrase> phrases;
    // Phrases checked before that are no longer replaced go.
    for (auto it = checked_.begin(); it != checked_.end();)
        it = std::binary_search(replaced.begin(), replaced.end(), it->first) ? std::next(it)
                                                                             : checked_.erase(it);
    for (const std::size_t i : replaced) {
        if (i >= doc.PhraseCount()) continue;
        std::optional<std::string> source = sourceOf(i);
        if (!source) {
            checked_.erase(i);
            continue;
        }
        TChecked& c = checked_[i];
        if (c.Target != doc.Text(i) || c.Source != *source) {
            c.Source = std::move(*source);
            c.Target = doc.Text(i);
            c.Found.clear();
            checker.Check(c.Source, c.Target, c.Found);
            for (TFinding& f : c.Found) f.Phrase = i;
        }
        found.insert(found.end(), c.Found.begin(), c.Found.end());
        phrases.push_back({c.Source, c.Target, 0, i});
    }
    for (auto it = checked_.lower_bound(doc.PhraseCount()); it != checked_.end();)
        it = checked_.erase(it);
    CheckSet(phrases, TCheckSelection::All(), found);
    std::exception_ptr failure;
    if (dismissals) {
        try {
            DropDismissed(found, *dismissals);
        } catch (...) {
            failure = std::current_exception();
        }
    }
    shown_.clear();
    for (TFinding& f : found) shown_[f.Phrase].push_back(std::move(f));
    for (auto& [i, list] : shown_)
        std::stable_sort(list.begin(), list.end(), [](const TFinding& a, const TFinding& b) {
            return a.Severity == TSeverity::Error && b.Severity != TSeverity::Error;
        });
    return failure;
}

bool TPageFindings::SetTargetLanguage(std::string tag) {
    if (tag == target_) return false;
    target_ = std::move(tag);
    checker_.reset();
    return true;
}

void TPageFindings::Clear() {
    checked_.clear();
    shown_.clear();
}

const std::vector<TFinding>& TPageFindings::Of(std::size_t i) const {
    static const std::vector<TFinding> none;
    const auto it = shown_.find(i);
    return it != shown_.end() ? it->second : none;
}

std::optional<TSeverity> TPageFindings::Worst(std::size_t i) const {
    const std::vector<TFinding>& list = Of(i);
    if (list.empty()) return std::nullopt;
    return list.front().Severity;
}

std::vector<std::size_t> TPageFindings::Phrases() const {
    std::vector<std::size_t> phrases;
    for (const auto& [i, list] : shown_) phrases.push_back(i);
    return phrases;
}

std::vector<TFinding> TPageFindings::Errors(const TDocument& doc, const TSourceOf& sourceOf,
                                            std::size_t i, std::string_view text,
                                            const TDismissals* dismissals) {
    std::vector<TFinding> errors;
    if (i >= doc.PhraseCount()) return errors;
    const std::string source = sourceOf(i).value_or(std::string(doc.Text(i)));
    if (source == text) return errors;
    Checker(doc).Check(source, text, errors);
    std::erase_if(errors, [](const TFinding& f) { return f.Severity != TSeverity::Error; });
    for (TFinding& f : errors) f.Phrase = i;
    if (dismissals) DropDismissed(errors, *dismissals);
    return errors;
}

}  // namespace quillfen
