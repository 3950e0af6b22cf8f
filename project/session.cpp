#include "project/session.h"

#include <filesystem>

#include "core/errors.h"
#include "core/files/filestamp.h"
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
    base_.LoadBytes(record_.Base, project.Settings.Tags, project.Settings.Units, {},
                    project.SourceDir + "/" + page_);
}

std::string TProjectPage::SourceText(std::size_t i) const {
    return i < base_.PhraseCount() ? std::string(base_.Text(i)) : std::string();
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
    // The page as written now is the project's: the next update finds it unchanged.
    Recount(base_, doc, record_);
    const std::string target = project_.TargetDir + "/" + page_;
    const std::uint64_t hash = HashBytes(doc.Render());
    record_.Target = StatFile(target);
    record_.Target.Hash = hash;
    TState(project_.StatePath).Put(record_);
}

std::vector<TSuggestion> TProjectPage::SuggestionsFor(const TPageSession&, std::size_t i) {
    std::vector<TSuggestion> out;
    for (const TDraft& d : record_.Drafts)
        if (d.Phrase == i) out.push_back({d.Score, d.OldSource, d.Target, "project draft"});
    return out;
}

}  // namespace quillfen::project
