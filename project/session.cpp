#include "project/session.h"

#include <algorithm>
#include <filesystem>

#include "core/document/pairing.h"
#include "core/errors.h"
#include "core/files/filestamp.h"
#include "exchange/translation.h"
#include "memory/memory.h"
#include "memory/pages.h"
#include "project/update.h"
#include "session/pagesession.h"

namespace quillfen::project {

namespace fs = std::filesystem;

std::optional<std::string> ProjectPageOf(const TProject& project, const std::string& path) {
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(project.TargetDir, ec);
    const fs::path page = fs::weakly_canonical(path, ec);
    if (ec) return std::nullopt;
    const fs::path relative = page.lexically_relative(target);
    if (relative.empty() || *relative.begin() == "..") return std::nullopt;
    return relative.generic_string();
}

TProjectPage::TProjectPage(const TProject& project, const std::string& path) : project_(project) {
    const std::optional<std::string> page = ProjectPageOf(project, path);
    std::optional<TPageRecord> record;
    if (page) record = TState(project.StatePath).Page(*page);
    if (!record)
        throw ProjectFileError(project.File, 0,
                               "die Seite " + path + " geh\xC3\xB6rt nicht zum Projekt",
                               "the page " + path + " is no page of the project");
    page_ = *page;
    record_ = std::move(*record);
    drafts_ = record_.Drafts;
    base_.LoadBytes(record_.Base, project.Settings.Tags, project.Settings.Units, {},
                    project.SourceDir + "/" + page_);
}

std::string TProjectPage::SourceText(std::size_t i) const {
    return i < base_.PhraseCount() ? std::string(base_.Text(i)) : std::string();
}

const TDraft* TProjectPage::DraftOf(std::size_t i) const {
    for (const TDraft& d : drafts_)
        if (d.Phrase == i) return &d;
    return nullptr;
}

std::vector<std::size_t> TProjectPage::OfferDrafts(TPageSession& session) const {
    std::vector<std::size_t> offered;
    const TDocument& doc = session.Document();
    for (const TDraft& d : drafts_) {
        if (d.Phrase >= doc.PhraseCount() || d.Phrase >= base_.PhraseCount()) continue;
        if (doc.Text(d.Phrase) != base_.Text(d.Phrase) || session.Draft(d.Phrase)) continue;
        session.SetDraft(d.Phrase, d.Target);
        offered.push_back(d.Phrase);
    }
    return offered;
}

std::map<std::size_t, std::string> TProjectPage::RecordedSources(const TPageSession& session) {
    std::map<std::size_t, std::string> sources;
    const TDocument& doc = session.Document();
    for (std::size_t i = 0; i < doc.PhraseCount() && i < base_.PhraseCount(); ++i)
        if (doc.Text(i) != base_.Text(i)) sources.emplace(i, std::string(base_.Text(i)));
    return sources;
}

void TProjectPage::Replaced(const TPageSession& session, TReplacementSource source,
                            const std::vector<TReplacedPhrase>& phrases) {
    const TDocument& doc = session.Document();
    const TLanguagePair languages =
        MakeLanguagePair(project_.Settings.SourceLanguage, project_.Settings.TargetLanguage);
    std::vector<TUnit> units;
    // An undo or redo brings back what the memory heard of already; the page's state is the
    // project's all the same.
    for (const TReplacedPhrase& p : phrases) {
        if (source == TReplacementSource::History) break;
        if (p.Phrase >= base_.PhraseCount() || p.After == base_.Text(p.Phrase)) continue;
        TUnit unit;
        unit.Source = MemoryText(base_, p.Phrase);
        unit.Target = MemoryText(base_, p.Phrase, p.After);
        unit.Codes = PhraseCodes(base_, p.Phrase);
        unit.Languages = languages;
        unit.Kind = base_.Kind(p.Phrase);
        unit.Context = PhraseContext(base_, p.Phrase, page_);
        unit.Origin = source == TReplacementSource::Merge ? TOrigin::Merge : TOrigin::Window;
        units.push_back(std::move(unit));
    }
    if (!units.empty()) TMemory(project_.MemoryPath).Add(units);
    // The page as written now is the project's: the next update finds it unchanged. A draft
    // whose phrase was confirmed is dropped; one whose confirmation was undone is back.
    record_.Drafts = drafts_;
    Recount(base_, doc, record_);
    const std::string target = project_.TargetDir + "/" + page_;
    const std::uint64_t hash = HashBytes(doc.Render());
    record_.Target = StatFile(target);
    record_.Target.Hash = hash;
    TState(project_.StatePath).Put(record_);
}

std::vector<TSuggestion> TProjectPage::SuggestionsFor(const TPageSession&, std::size_t i) {
    std::vector<TSuggestion> out;
    for (const TDraft& d : drafts_)
        if (d.Phrase == i) out.push_back({d.Score, d.OldSource, d.Target, "project draft"});
    return out;
}

std::map<std::size_t, std::string> PairedSources(const std::string& sourceBytes,
                                                 const std::string& sourcePath,
                                                 const TDocument& translated,
                                                 const std::string& translatedPath) {
    const std::string language = PageLanguage(translated);
    TDocument source;
    source.LoadBytes(language.empty() ? sourceBytes : WithRootLanguage(sourceBytes, language),
                     translated.Tags(), translated.Units(), {}, sourcePath);
    const TPagePairing pairing = PairPages(source, translated, TUnpairedTags::Part);
    if (pairing.Part || source.PhraseCount() != translated.PhraseCount()) {
        const TPagesPart part = pairing.Part.value_or(
            TPagesPart{std::min(source.PhraseCount(), translated.PhraseCount()),
                       source.Page().size(), translated.Page().size()});
        auto line = [](const TDocument& doc, std::size_t at) {
            const std::string_view page = doc.Page().substr(0, at);
            return 1 + static_cast<std::size_t>(std::count(page.begin(), page.end(), '\n'));
        };
        throw PagesPartError(sourcePath, line(source, part.SourceAt),
                             source.Bom().size() + part.SourceAt, translatedPath,
                             line(translated, part.TranslatedAt),
                             translated.Bom().size() + part.TranslatedAt);
    }
    std::map<std::size_t, std::string> sources;
    for (std::size_t i = 0; i < source.PhraseCount(); ++i)
        if (pairing.Texts[i] != source.Text(i)) sources.emplace(i, std::string(source.Text(i)));
    return sources;
}

std::map<std::size_t, std::string> TPairedSources::RecordedSources(const TPageSession& session) {
    std::map<std::size_t, std::string> out;
    if (session.Path() != path_) return out;
    // Only while the phrase is not its source: the page may have been written since it was
    // paired.
    const TDocument& doc = session.Document();
    for (const auto& [i, text] : sources_)
        if (i < doc.PhraseCount() && doc.Text(i) != text) out.emplace(i, text);
    return out;
}

void TPairedSources::Replaced(const TPageSession& session, TReplacementSource source,
                              const std::vector<TReplacedPhrase>& phrases) {
    if (next_) next_->Replaced(session, source, phrases);
}

}  // namespace quillfen::project
