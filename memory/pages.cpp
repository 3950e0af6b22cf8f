#include "memory/pages.h"

#include "core/document/format.h"
#include "core/errors.h"
#include "core/markup/sentences.h"
#include "core/text/phrasetext.h"
#include "exchange/export.h"
#include "exchange/translation.h"

namespace quillfen {

namespace {

bool IsSentence(const TDocument& doc, std::size_t i) {
    return doc.Spans()[i].Source == TSource::Sentence;
}

}  // namespace

std::string MemoryText(const TDocument& doc, std::size_t i, std::string_view text) {
    if (IsSentence(doc, i)) return std::string(text);
    std::string out;
    AppendSentenceLiteral(out, text, false);
    return out;
}

std::string MemoryText(const TDocument& doc, std::size_t i) {
    return MemoryText(doc, i, doc.Text(i));
}

std::string PhraseTextOf(const TDocument& doc, std::size_t i, std::string_view memoryText) {
    if (IsSentence(doc, i)) return std::string(memoryText);
    return TextWithoutPlaceholders(memoryText);
}

std::string PageName(std::string_view path) { return std::string(ExportFileName(path)); }

TContext PhraseContext(const TDocument& doc, std::size_t i, std::string_view pageName) {
    TContext context;
    context.Page = pageName;
    if (i > 0) context.Before = MemoryText(doc, i - 1, doc.OriginalText(i - 1));
    if (i + 1 < doc.PhraseCount()) context.After = MemoryText(doc, i + 1, doc.OriginalText(i + 1));
    return context;
}

std::string PhraseCodes(const TDocument& doc, std::size_t i) {
    const TPlaceholders& placeholders = doc.Placeholders(i);
    if (placeholders.empty()) return {};
    const std::string_view page = doc.Page();
    auto tag = [&](std::uint32_t begin, std::uint32_t end) {
        return TextOfPageBytes(page.substr(begin, end - begin), doc.EncodingInfo());
    };
    std::string table(kTableOpen);
    for (const TPlaceholder& p : placeholders)
        AppendTableEntry(table, p.Name, tag(p.Begin, p.End), p.Paired,
                         p.Paired ? tag(p.CloseBegin, p.CloseEnd) : std::string());
    table += kTableClose;
    return table;
}

TLanguagePair PageLanguages(const TDocument& doc, std::string_view source,
                            std::string_view target) {
    const std::optional<std::string> own = LanguageTag(PageLanguage(doc));
    if (own && *own != "und") {
        // An option that is no tag is refused even where the page names its own.
        if (!source.empty() && !LanguageTag(source)) throw LanguageTagError(source);
        return MakeLanguagePair(*own, target);
    }
    return MakeLanguagePair(source, target);
}

TUnit UnitOfReplacement(const TDocument& doc, const TReplacement& replacement,
                        const TLanguagePair& languages, TOrigin origin, std::string_view pageName) {
    const std::size_t i = replacement.Phrase;
    TUnit unit;
    unit.Source = MemoryText(doc, i, replacement.Before);
    unit.Target = MemoryText(doc, i, replacement.After);
    unit.Codes = PhraseCodes(doc, i);
    unit.Languages = languages;
    unit.Kind = doc.Kind(i);
    unit.Context = PhraseContext(doc, i, pageName);
    unit.Origin = origin;
    return unit;
}

void RecordReplacements(TMemory& memory, const TDocument& doc,
                        const std::vector<TReplacement>& replacements,
                        const TLanguagePair& languages, TOrigin origin, std::string_view pageName) {
    std::vector<TUnit> units;
    for (const TReplacement& r : replacements) {
        if (r.Phrase >= doc.PhraseCount() || r.Before == r.After || r.Before.empty() ||
            r.After.empty())
            continue;
        units.push_back(UnitOfReplacement(doc, r, languages, origin, pageName));
    }
    if (!units.empty()) memory.Add(units);
}

}  // namespace quillfen
