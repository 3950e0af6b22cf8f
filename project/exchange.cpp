#include "project/exchange.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "core/document/editing.h"
#include "core/files/filestamp.h"
#include "core/files/savefile.h"
#include "core/markup/kinds.h"
#include "exchange/po.h"
#ifdef QUILLFEN_XLIFF
#include "exchange/xliff.h"
#endif
#include "exchange/translation.h"
#include "memory/memory.h"
#include "memory/pages.h"
#include "project/update.h"

namespace quillfen::project {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPageField = "X-Quillfen-Page";

std::string ReadAll(const std::string& path) {
    TFileStamp stamp;
    return ReadPageStamped(path, stamp);
}

TDocument Load(const TProject& p, std::string_view bytes, const std::string& path) {
    TDocument doc;
    doc.LoadBytes(bytes, p.Settings.Tags, p.Settings.Units, {}, path);
    return doc;
}

void Append(std::string& out, std::string_view keyword, std::string_view text) {
    out.append(keyword).append(" \"");
    AppendPoEscaped(out, text);
    out.append("\"\n");
}

void Add(TPageCounts& t, const TPageCounts& c) {
    t.Phrases += c.Phrases;
    t.Words += c.Words;
    t.Translated += c.Translated;
    t.TranslatedWords += c.TranslatedWords;
    t.InContext += c.InContext;
    t.Exact += c.Exact;
    t.Fuzzy += c.Fuzzy;
    t.FuzzyWords += c.FuzzyWords;
    for (std::size_t b = 0; b < c.Bands.size(); ++b) t.Bands[b] += c.Bands[b];
}

}  // namespace

TProjectStatus ProjectStatus(const TProject& project) {
    CheckFolders(project);
    TProjectStatus status;
    TState state(project.StatePath);
    std::map<std::string, TPageRecord> records = state.Pages();
    const TSiteFiles site = ListSiteFiles(project);
    for (const std::string& rel : site.Pages) {
        TPageStatus page;
        page.Path = rel;
        auto it = records.find(rel);
        if (it == records.end()) {
            page.SourceChanged = true;
        } else {
            TPageRecord& r = it->second;
            page.Known = true;
            page.Counts = r.Counts;
            const std::string source = project.SourceDir + "/" + rel;
            const std::string target = project.TargetDir + "/" + rel;
            if (!StatFile(source).SameStat(r.Source))
                page.SourceChanged = HashBytes(ReadAll(source)) != r.Source.Hash;
            const TFileState t = StatFile(target);
            if (t.Exists && !t.SameStat(r.Target)) {
                try {
                    TPageRecord full = *state.Page(rel);
                    const std::string targetBytes = ReadAll(target);
                    if (HashBytes(targetBytes) != r.Target.Hash) {
                        Recount(Load(project, full.Base, source),
                                Load(project, targetBytes, target), full);
                        page.Counts = full.Counts;
                    }
                } catch (const TError&) {
                    // A page that cannot be read now keeps the counts of the last update.
                }
            }
        }
        Add(status.Total, page.Counts);
        status.Pages.push_back(std::move(page));
    }
    for (const auto& [path, r] : records) {
        if (std::binary_search(site.Pages.begin(), site.Pages.end(), path)) continue;
        TPageStatus page;
        page.Path = path;
        page.Known = true;
        page.Orphaned = true;
        page.Counts = r.Counts;
        status.Pages.push_back(std::move(page));
    }
    std::sort(status.Pages.begin(), status.Pages.end(),
              [](const TPageStatus& a, const TPageStatus& b) { return a.Path < b.Path; });
    return status;
}

std::string StatusJson(const TProjectStatus& status) {
    auto quoted = [](std::string_view s) {
        std::string out = "\"";
        for (const char c : s) {
            if (c == '"' || c == '\\') out += '\\';
            if (static_cast<unsigned char>(c) < 0x20) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\u%04x", c);
                out += hex;
                continue;
            }
            out += c;
        }
        return out + "\"";
    };
    auto counts = [](const TPageCounts& c) {
        std::ostringstream o;
        o << "\"phrases\": " << c.Phrases << ", \"words\": " << c.Words
          << ", \"translated\": " << c.Translated << ", \"translated_words\": " << c.TranslatedWords
          << ", \"fuzzy\": " << c.Fuzzy << ", \"fuzzy_words\": " << c.FuzzyWords
          << ", \"untranslated\": " << c.Untranslated()
          << ", \"untranslated_words\": " << c.UntranslatedWords() << ", \"bands\": {";
        const char* names[] = {"101", "100", "95-99", "85-94", "75-84", "none"};
        for (std::size_t b = 0; b < 6; ++b)
            o << (b ? ", " : "") << "\"" << names[b] << "\": " << c.Bands[b];
        o << "}";
        return o.str();
    };
    std::string out = "{\"pages\": [";
    for (std::size_t i = 0; i < status.Pages.size(); ++i) {
        const TPageStatus& p = status.Pages[i];
        out += i ? ",\n  " : "\n  ";
        out += "{\"page\": " + quoted(p.Path) + ", " + counts(p.Counts) +
               ", \"source_changed\": " + (p.SourceChanged ? "true" : "false") +
               ", \"orphaned\": " + (p.Orphaned ? "true" : "false") + "}";
    }
    out += "],\n\"total\": {" + counts(status.Total) + "}}\n";
    return out;
}

namespace {

// One page's PO file: equal texts of one kind are one entry, as PO wants them, its phrases in
// the references, in page order.
std::string PoOfPage(const TProject& project, const std::string& rel, const TDocument& base,
                     const TDocument& target, const std::map<std::size_t, const TDraft*>& drafts,
                     bool untranslatedOnly, std::size_t& count) {
    std::vector<std::size_t> order;
    std::map<std::pair<TKind, std::string_view>, std::vector<std::size_t>> entries;
    for (std::size_t i = 0; i < base.PhraseCount(); ++i) {
        auto& phrases = entries[{base.Kind(i), base.Text(i)}];
        if (phrases.empty()) order.push_back(i);
        phrases.push_back(i);
    }
    std::string out = "# Phrases of " + rel + " for translation\nmsgid \"\"\nmsgstr \"\"\n";
    auto field = [&](std::string_view name, std::string_view value) {
        out.append("\"").append(name).append(": ");
        AppendPoEscaped(out, value);
        out.append("\\n\"\n");
    };
    field("Project-Id-Version", rel);
    field("Language", PoLanguage(project.Settings.TargetLanguage));
    field("MIME-Version", "1.0");
    field("Content-Type", "text/plain; charset=UTF-8");
    field("Content-Transfer-Encoding", "8bit");
    field("X-Source-Language", PoLanguage(project.Settings.SourceLanguage));
    field("X-Quillfen-Source", FormatSourceStamp(StampOf(base)));
    field(kPageField, rel);
    for (const std::size_t first : order) {
        const std::vector<std::size_t>& phrases = entries[{base.Kind(first), base.Text(first)}];
        const bool translated = target.Text(first) != base.Text(first);
        if (untranslatedOnly && translated) continue;
        std::string entry = "\n";
        std::string_view note = base.Note(first);
        if (!note.empty() && note.find_first_of("\r\n") == std::string_view::npos)
            entry.append("#. ").append(note).append("\n");
        entry += "#:";
        for (const std::size_t i : phrases) entry += " " + rel + ":" + std::to_string(i + 1);
        entry += "\n";
        auto draft = drafts.find(first);
        const bool fuzzy = !translated && draft != drafts.end();
        if (fuzzy) {
            entry += "#, fuzzy\n";
            Append(entry, "#| msgid", draft->second->OldSource);
        }
        entry.append("msgctxt \"").append(1, KindInfo(base.Kind(first)).Letter).append("\"\n");
        Append(entry, "msgid", base.Text(first));
        Append(entry, "msgstr",
               translated ? target.Text(first)
                          : (fuzzy ? std::string_view(draft->second->Target) : ""));
        out += entry;
        ++count;
    }
    return out;
}

#ifdef QUILLFEN_XLIFF
// One page's XLIFF file, by the single page's writer: a unit per phrase numbered as the phrase,
// the page's path as the file's original, by which a merge finds the page again.
std::string XliffOfPage(const TProject& project, const std::string& rel, const TDocument& base,
                        const TDocument& target, const std::map<std::size_t, const TDraft*>& drafts,
                        bool untranslatedOnly, std::size_t& count) {
    auto translated = [&](std::size_t i) { return target.Text(i) != base.Text(i); };
    TXliffContent content;
    content.Original = rel;
    content.Include = [&](std::size_t i) {
        const bool take = !untranslatedOnly || !translated(i);
        count += take;
        return take;
    };
    content.Target = [&](std::size_t i) -> std::optional<TXliffTarget> {
        if (translated(i)) return TXliffTarget{std::string(target.Text(i)), "translated"};
        auto draft = drafts.find(i);
        if (draft == drafts.end()) return std::nullopt;
        return TXliffTarget{draft->second->Target, "needs-review-translation",
                            draft->second->OldSource, draft->second->Score};
    };
    TExportOptions options;
    options.SourceLanguage = project.Settings.SourceLanguage;
    options.TargetLanguage = project.Settings.TargetLanguage;
    return XliffBytes(base, project.SourceDir + "/" + rel, options, content);
}
#endif

}  // namespace

std::vector<std::string> ExportProject(const TProject& project, const std::string& folder,
                                       bool untranslatedOnly, TProjectFormat format) {
    CheckFolders(project);
#ifndef QUILLFEN_XLIFF
    // Without libxml2 there is no XLIFF to write (quillfen-cli does not offer it then).
    if (format == TProjectFormat::Xliff) return {};
#endif
    TState state(project.StatePath);
    std::vector<std::string> written;
    for (const auto& [rel, record] : state.Pages(true)) {
        if (record.Orphaned) continue;
        const std::string targetPath = project.TargetDir + "/" + rel;
        const TDocument base = Load(project, record.Base, project.SourceDir + "/" + rel);
        const TDocument target = Load(project, ReadAll(targetPath), targetPath);
        if (target.PhraseCount() != base.PhraseCount())
            throw PhraseCountsDifferError(base.PhraseCount(), target.PhraseCount());
        std::map<std::size_t, const TDraft*> drafts;
        for (const TDraft& d : record.Drafts) drafts[d.Phrase] = &d;
        std::size_t count = 0;
        std::string out;
        std::string extension = ".po";
        if (format == TProjectFormat::Po) {
            out = PoOfPage(project, rel, base, target, drafts, untranslatedOnly, count);
        } else {
#ifdef QUILLFEN_XLIFF
            out = XliffOfPage(project, rel, base, target, drafts, untranslatedOnly, count);
            extension = ".xlf";
#endif
        }
        if (untranslatedOnly && count == 0) continue;
        fs::path file = fs::path(folder) / (rel + extension);
        fs::create_directories(file.parent_path());
        WriteFileAtomically(file.string(), out);
        written.push_back(file.string());
    }
    return written;
}

TProjectMerge MergeIntoProject(const TProject& project, const std::string& file) {
    CheckFolders(project);
    const std::string bytes = ReadAll(file);
    TProjectMerge result;
    TTranslationFile translation;
    const TExchangeFormat* format = FindTranslationFormat(file);
    if (format && format->Name == "xliff") {
        translation = format->ReadTranslation(bytes, file);
        result.Page = translation.Original;
        // A draft the file still marks for review stays a draft, as a fuzzy PO entry does:
        // nothing the translator has not confirmed goes into the page.
        for (TTranslationUnit& unit : translation.Units)
            if (unit.NeedsReview) unit.Target.reset();
    } else {
        // The page the file is of, from its header.
        const std::size_t at = bytes.find(std::string("\"") + std::string(kPageField) + ": ");
        if (at == std::string::npos)
            throw ProjectFileError(file, 0, "nennt keine Seite des Projekts (X-Quillfen-Page)",
                                   "names no page of the project (X-Quillfen-Page)");
        const std::size_t from = at + kPageField.size() + 3;
        const std::size_t end = bytes.find("\\n\"", from);
        result.Page = bytes.substr(from, end == std::string::npos ? 0 : end - from);
        translation = ReadPoFile(bytes, file);
    }
    TState state(project.StatePath);
    std::optional<TPageRecord> record = state.Page(result.Page);
    if (!record || result.Page.empty() || result.Page.find("..") != std::string::npos)
        throw ProjectFileError(file, 0,
                               "nennt keine Seite des Projekts (X-Quillfen-Page, XLIFF original)",
                               "names no page of the project (X-Quillfen-Page, XLIFF original)");
    const std::string sourcePath = project.SourceDir + "/" + result.Page;
    const std::string targetPath = project.TargetDir + "/" + result.Page;
    TDocument base = Load(project, record->Base, sourcePath);
    TDocument target;
    target.LoadFile(targetPath, project.Settings.Tags, project.Settings.Units);
    // The units are matched against the sources; what they bring goes into the target page.
    TMergeOptions options;
    options.Force = true;
    result.Report = MergeTranslation(base, translation, options, [] {});
    std::vector<TPhraseChange> changes;
    for (std::size_t i = 0; i < base.PhraseCount() && i < target.PhraseCount(); ++i)
        if (base.IsChanged(i) && base.Text(i) != target.Text(i))
            changes.push_back({i, std::string(base.Text(i))});
    const TLanguagePair languages =
        MakeLanguagePair(project.Settings.SourceLanguage, project.Settings.TargetLanguage);
    const TDocument original = Load(project, record->Base, sourcePath);
    std::vector<TUnit> units;
    for (const TPhraseChange& c : changes) {
        TUnit unit;
        unit.Source = MemoryText(original, c.Phrase);
        unit.Target = MemoryText(original, c.Phrase, c.Text);
        unit.Codes = PhraseCodes(original, c.Phrase);
        unit.Languages = languages;
        unit.Kind = original.Kind(c.Phrase);
        unit.Context = PhraseContext(original, c.Phrase, result.Page);
        unit.Origin = TOrigin::Merge;
        units.push_back(std::move(unit));
    }
    ReplacePhrases(target, changes, [&] { target.Save(targetPath); });
    if (!units.empty()) TMemory(project.MemoryPath).Add(units);
    Recount(original, target, *record);
    const std::uint64_t hash = HashBytes(target.Render());
    record->Target = StatFile(targetPath);
    record->Target.Hash = hash;
    state.Put(*record);
    return result;
}

}  // namespace quillfen::project
