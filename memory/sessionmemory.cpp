#include "memory/sessionmemory.h"

#include "core/markup/sentences.h"
#include "exchange/translation.h"
#include "memory/pages.h"
#include "session/pagesession.h"

namespace quillfen {

namespace {

// A tag that names no language is as good as none; one that is no tag at all is the user's
// mistake and is refused by PageLanguages.
bool Unknown(std::string_view tag) {
    if (tag.find_first_not_of(" \t\r\n") == std::string_view::npos) return true;
    const std::optional<std::string> known = LanguageTag(tag);
    return known && *known == "und";
}

TOrigin OriginOf(TReplacementSource source) {
    switch (source) {
        case TReplacementSource::Confirmed:
            return TOrigin::Window;
        case TReplacementSource::Set:
            return TOrigin::Save;
        case TReplacementSource::Merge:
            return TOrigin::Merge;
        case TReplacementSource::Pretranslation:
        case TReplacementSource::History:
            break;
    }
    return TOrigin::Pretranslation;
}

}  // namespace

std::optional<TLanguagePair> SessionLanguages(const TPageSession& session,
                                              const TLanguageOptions& options) {
    const TDocument& doc = session.Document();
    if (Unknown(options.Target)) return std::nullopt;
    if (options.Fixed)
        return Unknown(options.Source)
                   ? std::nullopt
                   : std::optional(MakeLanguagePair(options.Source, options.Target));
    if (Unknown(PageLanguage(doc)) && Unknown(options.Source)) return std::nullopt;
    return PageLanguages(doc, options.Source, options.Target);
}

void TMemoryObserver::SetLanguages(TLanguageOptions languages) {
    languages_ = std::move(languages);
    unknown_ = told_ = false;
}

void TMemoryObserver::Replaced(const TPageSession& session, TReplacementSource source,
                               const std::vector<TReplacedPhrase>& phrases) {
    // An undo or redo brings back texts the memory already heard of, or the page's own source:
    // neither is a new translation.
    if (source == TReplacementSource::History) return;
    const std::optional<TLanguagePair> languages = SessionLanguages(session, languages_);
    if (!languages) {
        unknown_ = true;
        return;
    }
    std::vector<TReplacement> replacements;
    replacements.reserve(phrases.size());
    // A translation's source is the phrase's text before it was first replaced, not the
    // translation a second one replaces; a phrase typed back to its source translates nothing.
    for (const TReplacedPhrase& p : phrases)
        if (std::optional<std::string> source = session.Source(p.Phrase))
            replacements.push_back({p.Phrase, std::move(*source), p.After});
    if (replacements.empty()) return;
    RecordReplacements(memory_, session.Document(), replacements, *languages, OriginOf(source),
                       PageName(session.Path()));
}

bool TMemoryObserver::TakeUnknownLanguage() {
    if (!unknown_ || told_) return false;
    told_ = true;
    return true;
}

void TMemorySuggestions::SetLanguages(TLanguageOptions languages) {
    languages_ = std::move(languages);
}

std::optional<TSuggestionQuery> TMemorySuggestions::QueryFor(const TPageSession& session,
                                                             std::size_t i) const {
    const TDocument& doc = session.Document();
    if (i >= doc.PhraseCount()) return std::nullopt;
    const std::optional<TLanguagePair> languages = SessionLanguages(session, languages_);
    if (!languages) return std::nullopt;
    TSuggestionQuery q;
    q.Phrase = i;
    q.Query.Text = MemoryText(doc, i, doc.OriginalText(i));
    q.Query.Languages = *languages;
    q.Query.MinScore = minScore_;
    q.Query.Context = PhraseContext(doc, i, PageName(session.Path()));
    q.Query.Limit = limit_;
    q.Sentence = doc.Spans()[i].Source == TSource::Sentence;
    return q;
}

std::vector<TSuggestion> TMemorySuggestions::Lookup(const TSuggestionQuery& query) {
    std::vector<TMatch> matches;
    {
        const std::lock_guard lock(lookup_);
        matches = memory_.Lookup(query.Query);
    }
    // As PhraseTextOf gives them: a run shows no placeholders and no escapes.
    auto shown = [&](const std::string& text) {
        return query.Sentence ? text : TextWithoutPlaceholders(text);
    };
    std::vector<TSuggestion> out;
    out.reserve(matches.size());
    for (const TMatch& m : matches)
        out.push_back(
            {m.Score, shown(m.Unit.Source), shown(m.Text), std::string(OriginName(m.Unit.Origin))});
    return out;
}

std::vector<TSuggestion> TMemorySuggestions::SuggestionsFor(const TPageSession& session,
                                                            std::size_t i) {
    const std::optional<TSuggestionQuery> query = QueryFor(session, i);
    if (!query) return {};
    return Lookup(*query);
}

}  // namespace quillfen
