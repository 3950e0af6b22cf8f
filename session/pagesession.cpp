#include "session/pagesession.h"

#include <algorithm>
#include <utility>

#include "core/document/editing.h"
#include "core/errors.h"
#include "core/files/savefile.h"
#include "core/text/utf8.h"

#ifdef QUILLFEN_SENTENCES
#include <unicode/uchar.h>
#endif

namespace quillfen {

namespace {

bool IsLetterOrDigit(char32_t c) {
#ifdef QUILLFEN_SENTENCES
    // Letters and numbers of every kind, as the window's toolkit counts them.
    return (U_GET_GC_MASK(UChar32(c)) & (U_GC_L_MASK | U_GC_N_MASK)) != 0;
#else
    // Without ICU: ASCII by its classes, and past Latin-1 everything but the blocks of
    // punctuation, arrows, symbols and box drawing.
    if (c < 0x80) return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
    if (c < 0xC0)
        return c == 0xAA || c == 0xB2 || c == 0xB3 || c == 0xB5 || c == 0xB9 || c == 0xBA ||
               (c >= 0xBC && c <= 0xBE);
    if (c == 0xD7 || c == 0xF7) return false;
    return !(c >= 0x2000 && c <= 0x2BFF) && !(c >= 0x3000 && c <= 0x3003);
#endif
}

// A text as the window shows it: each byte that is no UTF-8 as U+FFFD.
std::string Shown(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    SplitUtf8(
        text, [&](std::string_view run) { out.append(run); },
        [&](unsigned char) { AppendUtf8(out, 0xFFFD); });
    return out;
}

}  // namespace

bool HasLetterOrDigit(std::string_view utf8) {
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        const std::size_t len = Utf8CharAt(utf8, i, c);
        if (len == 0) {
            ++i;
            continue;
        }
        if (IsLetterOrDigit(c)) return true;
        i += len;
    }
    return false;
}

TDocument TPageSession::Read(const std::string& path, TTags tags, TUnits units,
                             const TProgress& progress) {
    TDocument page;
    page.LoadFile(path, tags, units, progress);
    return page;
}

void TPageSession::Adopt(TDocument&& page, const std::string& path) {
    doc_ = std::move(page);
    path_ = path;
    open_ = true;
    readWords_ = doc_.TotalWords();
    // Whatever was typed or failed to save went with the page it belonged to.
    DropDrafts();
    ReadRecordedSources();
    findings_.Clear();
    asked_.reset();
    Recheck();
}

void TPageSession::SetSourceRecord(TSourceRecord* record) {
    record_ = record;
    ReadRecordedSources();
}

void TPageSession::ReadRecordedSources() {
    recorded_.clear();
    if (!record_ || !open_) return;
    try {
        recorded_ = record_->RecordedSources(*this);
    } catch (...) {
        observerFailure_ = std::current_exception();
    }
    // A record names phrases of the page only as the record's page was cut.
    std::erase_if(recorded_, [&](const auto& r) { return r.first >= doc_.PhraseCount(); });
    // The page's words are its sources' words: a recorded phrase counts by its source.
    sourceWords_ = readWords_;
    for (const auto& [i, source] : recorded_)
        sourceWords_ += doc_.WordsOf(i, source) - doc_.WordsOf(i, doc_.OriginalText(i));
}

std::vector<std::size_t> TPageSession::ReplacedCandidates() const {
    std::vector<std::size_t> phrases;
    phrases.reserve(recorded_.size() + doc_.ChangedCount());
    for (const auto& r : recorded_) phrases.push_back(r.first);
    const std::size_t recorded = phrases.size();
    for (std::size_t k = 0; k < doc_.ChangedCount(); ++k)
        if (!recorded_.contains(doc_.ChangedPhrase(k))) phrases.push_back(doc_.ChangedPhrase(k));
    // Both parts are in order; together they are too once merged.
    std::inplace_merge(phrases.begin(), phrases.begin() + std::ptrdiff_t(recorded), phrases.end());
    return phrases;
}

std::uint64_t TPageSession::Words() const {
    std::uint64_t words = readWords_;
    for (std::size_t k = 0; k < doc_.ChangedCount(); ++k) {
        const std::size_t i = doc_.ChangedPhrase(k);
        words += doc_.WordsOf(i, doc_.Text(i)) - doc_.WordsOf(i, doc_.OriginalText(i));
    }
    return words;
}

TPageSession::TDone TPageSession::Done() const {
    TDone done;
    if (!open_) return done;
    done.AllPhrases = doc_.PhraseCount();
    done.AllWords = sourceWords_;
    for (const auto& [i, source] : recorded_)
        if (doc_.Text(i) != source) {
            ++done.Phrases;
            done.Words += doc_.WordsOf(i, source);
        }
    for (std::size_t k = 0; k < doc_.ChangedCount(); ++k) {
        const std::size_t i = doc_.ChangedPhrase(k);
        if (recorded_.contains(i)) continue;
        ++done.Phrases;
        done.Words += doc_.WordsOf(i, doc_.OriginalText(i));
    }
    return done;
}

std::optional<std::string> TPageSession::Source(std::size_t i) const {
    if (i >= doc_.PhraseCount()) return std::nullopt;
    if (const auto r = recorded_.find(i); r != recorded_.end()) {
        if (doc_.Text(i) == r->second) return std::nullopt;
        return r->second;
    }
    if (doc_.IsChanged(i)) return doc_.OriginalText(i);
    return std::nullopt;
}

bool TPageSession::IsReplaced(std::size_t i) const {
    if (i >= doc_.PhraseCount()) return false;
    if (const auto r = recorded_.find(i); r != recorded_.end()) return doc_.Text(i) != r->second;
    return doc_.IsChanged(i);
}

std::size_t TPageSession::ChangedCount() const {
    // The document counts the phrases changed since it was read; a recorded phrase counts by
    // its record instead.
    std::size_t count = doc_.ChangedCount();
    for (const auto& [i, source] : recorded_) {
        if (doc_.IsChanged(i)) --count;
        if (doc_.Text(i) != source) ++count;
    }
    return count;
}

void TPageSession::Close() {
    open_ = false;
    DropDrafts();
}

void TPageSession::Forget() {
    Close();
    doc_.Clear();
    findings_.Clear();
}

std::optional<std::string> TPageSession::RecoverableBackup(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const TInterruptedSaveError& e) {
        if (!e.Foreign) return e.Backup;
    } catch (...) {
    }
    return std::nullopt;
}

void TPageSession::Recover(const std::string& page) { RecoverInterruptedSave(page); }

bool TPageSession::ChangedOnDisk() const { return open_ && doc_.ChangedOnDisk(path_); }

std::string TPageSession::Cleaned(std::size_t i, std::string_view typed) const {
    return CleanedText(doc_, i, typed);
}

bool TPageSession::IsChange(std::size_t i, std::string_view cleaned) const {
    return i >= doc_.PhraseCount() || Shown(doc_.Text(i)) != Shown(cleaned);
}

bool TPageSession::Confirm(std::size_t i, std::string_view cleaned) {
    if (!IsChange(i, cleaned)) {
        SetDraft(i, {});
        return false;
    }
    std::string before(doc_.Text(i));
    try {
        // The editing service makes the change an undo step only once it is written: a save
        // that fails leaves the phrase and the history as they were.
        ReplacePhrases(doc_, {{i, std::string(cleaned)}}, [this] { Write(); });
    } catch (...) {
        SetDraft(i, std::string(cleaned));
        throw;
    }
    SetDraft(i, {});
    Recheck();
    Tell(TReplacementSource::Confirmed, {{i, std::move(before), std::string(doc_.Text(i))}});
    return true;
}

bool TPageSession::Replace(const std::vector<TPhraseChange>& changes, TReplacementSource source) {
    std::vector<TReplacedPhrase> told;
    if (record_ || !observers_.empty())
        for (const TPhraseChange& change : changes)
            if (change.Phrase < doc_.PhraseCount())
                told.push_back({change.Phrase, std::string(doc_.Text(change.Phrase)), {}});
    if (!ReplacePhrases(doc_, changes, [this] { Write(); })) return false;
    // Texts the service found equal to the current ones were not replaced.
    std::erase_if(told, [&](TReplacedPhrase& p) {
        p.After = doc_.Text(p.Phrase);
        return p.After == p.Before;
    });
    Recheck();
    Tell(source, told);
    return true;
}

void TPageSession::Tell(TReplacementSource source, const std::vector<TReplacedPhrase>& phrases) {
    if (phrases.empty()) return;
    auto tell = [&](TReplacementObserver* observer) {
        try {
            observer->Replaced(*this, source, phrases);
        } catch (...) {
            observerFailure_ = std::current_exception();
        }
    };
    if (record_) tell(record_);
    for (TReplacementObserver* observer : observers_) tell(observer);
}

void TPageSession::TellHistory(std::vector<std::pair<std::size_t, std::string>> before) {
    std::vector<TReplacedPhrase> told;
    for (auto& [i, text] : before)
        if (std::string after(doc_.Text(i)); after != text)
            told.push_back({i, std::move(text), std::move(after)});
    Tell(TReplacementSource::History, told);
}

std::vector<TSuggestion> TPageSession::SuggestionsFor(std::size_t i) const {
    std::vector<TSuggestion> all;
    for (TSuggestionSource* source : suggestionSources_) {
        std::vector<TSuggestion> some = source->SuggestionsFor(*this, i);
        all.insert(all.end(), std::make_move_iterator(some.begin()),
                   std::make_move_iterator(some.end()));
    }
    std::stable_sort(all.begin(), all.end(),
                     [](const TSuggestion& a, const TSuggestion& b) { return a.Score > b.Score; });
    return all;
}

void TPageSession::SetDraft(std::size_t i, std::string text) {
    if (text.empty())
        drafts_.erase(i);
    else
        drafts_[i] = std::move(text);
}

const std::string* TPageSession::Draft(std::size_t i) const {
    const auto draft = drafts_.find(i);
    return draft != drafts_.end() ? &draft->second : nullptr;
}

void TPageSession::DropDrafts() {
    drafts_.clear();
    saveFailed_ = false;
}

bool TPageSession::InFilter(std::size_t i) const {
    if (i >= doc_.PhraseCount()) return false;
    switch (filter_) {
        case TPhraseFilter::Unchanged:
            return !IsReplaced(i);
        case TPhraseFilter::Changed:
            return IsReplaced(i);
        case TPhraseFilter::WithFindings:
            return !findings_.Of(i).empty();
        case TPhraseFilter::All:
            break;
    }
    return true;
}

std::size_t TPageSession::NextToTranslate(std::size_t i) const {
    for (std::size_t next = i + 1; next < doc_.PhraseCount(); ++next) {
        if (!InFilter(next)) continue;
        if (skipNoLetters_ && !HasLetterOrDigit(doc_.Text(next))) continue;
        return next;
    }
    // The last one stays.
    return i;
}

long TPageSession::SteerToFilter(long target, long from) const {
    if (target < 0 || InFilter(std::size_t(target))) return target;
    const long count = long(doc_.PhraseCount());
    const long step = target >= from ? 1 : -1;
    for (long r = target + step; r >= 0 && r < count; r += step)
        if (InFilter(std::size_t(r))) return r;
    for (long r = target - step; r != from && r >= 0 && r < count; r -= step)
        if (InFilter(std::size_t(r))) return r;
    return from;
}

namespace {

// The texts phrases have now, for telling what a step of the history changed.
std::vector<std::pair<std::size_t, std::string>> TextsOf(const TDocument& doc,
                                                         const std::vector<std::size_t>& phrases) {
    std::vector<std::pair<std::size_t, std::string>> texts;
    texts.reserve(phrases.size());
    for (const std::size_t i : phrases) texts.emplace_back(i, std::string(doc.Text(i)));
    return texts;
}

}  // namespace

std::vector<std::size_t> TPageSession::Undo() {
    const bool telling = record_ || !observers_.empty();
    const TDocument::TStep* step = doc_.StepToUndo();
    auto before = telling && step ? TextsOf(doc_, step->Phrases())
                                  : std::vector<std::pair<std::size_t, std::string>>{};
    std::vector<std::size_t> phrases = UndoReplacement(doc_, [this] { Write(); });
    TellHistory(std::move(before));
    Recheck();
    return phrases;
}

std::vector<std::size_t> TPageSession::Redo() {
    const bool telling = record_ || !observers_.empty();
    const TDocument::TStep* step = doc_.StepToRedo();
    auto before = telling && step ? TextsOf(doc_, step->Phrases())
                                  : std::vector<std::pair<std::size_t, std::string>>{};
    std::vector<std::size_t> phrases = RedoReplacement(doc_, [this] { Write(); });
    TellHistory(std::move(before));
    Recheck();
    return phrases;
}

void TPageSession::Revert() {
    std::vector<std::size_t> changed;
    if (record_ || !observers_.empty())
        for (std::size_t i = 0; i < doc_.PhraseCount(); ++i)
            if (doc_.IsChanged(i)) changed.push_back(i);
    auto before = TextsOf(doc_, changed);
    RevertPage(doc_, [this] { Write(); });
    TellHistory(std::move(before));
    Recheck();
}

std::optional<std::size_t> TPageSession::NextFinding(std::size_t from, bool forward) const {
    const std::vector<std::size_t> phrases = findings_.Phrases();
    if (phrases.empty()) return std::nullopt;
    if (forward) {
        const auto next = std::upper_bound(phrases.begin(), phrases.end(), from);
        return next != phrases.end() ? *next : phrases.front();
    }
    const auto next = std::lower_bound(phrases.begin(), phrases.end(), from);
    return next != phrases.begin() ? *std::prev(next) : phrases.back();
}

void TPageSession::EnableChecks(const TDismissals* dismissals) {
    checking_ = true;
    dismissals_ = dismissals;
    Recheck();
}

void TPageSession::SetTargetLanguage(const std::string& tag) {
    if (findings_.SetTargetLanguage(tag)) Recheck();
}

void TPageSession::Recheck() {
    if (!checking_) return;
    // A store of dismissals that cannot be read fails like an observer: the step stands.
    if (std::exception_ptr failure = findings_.Update(
            doc_, ReplacedCandidates(), [this](std::size_t i) { return Source(i); }, dismissals_))
        observerFailure_ = failure;
}

std::vector<TFinding> TPageSession::ErrorsToAsk(std::size_t i, std::string_view cleaned) {
    if (asked_ && asked_->first == i && asked_->second == cleaned) {
        asked_.reset();
        return {};
    }
    // A text the editing service refuses is not asked about: confirming it tells its error.
    try {
        CheckedText(doc_, i, cleaned);
    } catch (const TError&) {
        asked_.reset();
        return {};
    }
    std::vector<TFinding> errors = findings_.Errors(
        doc_, [this](std::size_t k) { return Source(k); }, i, cleaned, dismissals_);
    if (errors.empty())
        asked_.reset();
    else
        asked_.emplace(i, std::string(cleaned));
    return errors;
}

TPageSession::TMergePlan TPageSession::PlanMerge(const std::string& path,
                                                 const TExchangeFormat* format) const {
    TMergePlan plan;
    plan.Format = format ? format : FindTranslationFormat(path);
    if (!plan.Format || !plan.Format->ReadTranslation) throw NoTranslationFormatError(path);
    plan.Path = path;
    const std::optional<TSourceStamp> stamp = ReadTranslationStamp(*plan.Format, path);
    plan.Cut = CutForMerge(stamp, {doc_.Tags(), doc_.Units()});
    plan.Recut = plan.Cut.Tags != doc_.Tags() || plan.Cut.Units != doc_.Units();
    // The cut aside, the stamp names the page's bytes.
    plan.OtherPage = !stamp || stamp->Hash != StampOf(doc_).Hash;
    return plan;
}

TMergeReport TPageSession::Merge(const TMergePlan& plan, const TMergeOptions& options) {
    if (plan.Recut) Open(path_, plan.Cut.Tags, plan.Cut.Units);
    // Only observers need the texts as they were; a merge may change every phrase of the page.
    std::vector<std::string> before;
    if (record_ || !observers_.empty())
        for (std::size_t i = 0; i < doc_.PhraseCount(); ++i) before.emplace_back(doc_.Text(i));
    TMergeReport report =
        MergeTranslationFile(doc_, *plan.Format, plan.Path, options, [this] { Write(); });
    std::vector<TReplacedPhrase> told;
    for (std::size_t i = 0; i < before.size(); ++i)
        if (std::string after(doc_.Text(i)); after != before[i])
            told.push_back({i, std::move(before[i]), std::move(after)});
    Recheck();
    Tell(TReplacementSource::Merge, told);
    return report;
}

void TPageSession::Write() {
    // Stays set when the save raises.
    saveFailed_ = true;
    doc_.Save(output_.value_or(path_));
    saveFailed_ = false;
    ++writes_;
}

}  // namespace quillfen
