// Placeholders and the blanks around them; in runs, tags and references written as text.

#include <algorithm>
#include <cstddef>
#include <map>
#include <set>

#include "checks/pair.h"

namespace quillfen::checks {

namespace {

std::string Written(std::string_view name, TMark::TKind kind) {
    std::string out(kind == TMark::Close ? "</" : "<");
    out.append(name).append(kind == TMark::Void ? "/>" : ">");
    return out;
}

struct TCounts {
    int Opens = 0, Closes = 0, Voids = 0;
    int& Of(TMark::TKind kind) {
        return kind == TMark::Open ? Opens : kind == TMark::Close ? Closes : Voids;
    }
};

std::map<std::string_view, TCounts> Counts(const std::vector<TMark>& marks) {
    std::map<std::string_view, TCounts> counts;
    for (const TMark& m : marks) ++counts[m.Name].Of(m.Kind);
    return counts;
}

// The first placeholder that breaks the nesting of pairs, or null: a close before its open
// (unpaired) or one that does not close the innermost pair open.
const TMark* NestingFault(const std::vector<TMark>& marks, bool& unpaired) {
    std::vector<std::string_view> open;
    for (const TMark& m : marks) {
        if (m.Kind == TMark::Open) open.push_back(m.Name);
        if (m.Kind != TMark::Close) continue;
        const auto it = std::find(open.begin(), open.end(), m.Name);
        unpaired = it == open.end();
        if (unpaired || it + 1 != open.end()) return &m;
        open.pop_back();
    }
    return nullptr;
}

// Measured against the source's own placeholders, so that a source that breaks its own rules
// (a text from elsewhere) is no fault of its translation.
void SentencePlaceholders(const TPair& pair, TTexts& out) {
    std::map<std::string_view, TCounts> source = Counts(pair.Source.Marks);
    std::map<std::string_view, TCounts> target = Counts(pair.Target.Marks);
    std::set<std::string_view> reported;
    for (const TMark& m : pair.Target.Marks) {
        const auto it = source.find(m.Name);
        if ((it == source.end() || it->second.Of(m.Kind) == 0) && reported.insert(m.Written).second)
            out.push_back(PlaceholderExtra(m.Written));
    }
    // A placeholder typed as text ("\<b1>", "&lt;b1&gt;" pasted, "<b 1>") leaves a literal
    // character behind that the source does not have.
    const auto surplus = [&](char32_t c) {
        return std::count(pair.Target.Chars.begin(), pair.Target.Chars.end(), c) -
               std::count(pair.Source.Chars.begin(), pair.Source.Chars.end(), c);
    };
    std::ptrdiff_t literals[3] = {surplus('<'), surplus('>'), surplus('&')};
    const auto missing = [&](const std::string& placeholder) {
        for (int k = 0; k < 3; ++k)
            if (literals[k] > 0) {
                --literals[k];
                out.push_back(PlaceholderAsText(placeholder, "<>&"[k]));
                return;
            }
        out.push_back(PlaceholderMissing(placeholder));
    };
    bool countsRight = reported.empty();
    std::set<std::string_view> done;
    for (const TMark& m : pair.Source.Marks) {
        if (!done.insert(m.Name).second) continue;
        TCounts& s = source[m.Name];
        TCounts& t = target[m.Name];
        for (const TMark::TKind kind : {TMark::Open, TMark::Close, TMark::Void}) {
            const int want = s.Of(kind), have = t.Of(kind);
            if (want == 0) continue;
            if (have < want) missing(Written(m.Name, kind));
            if (have > want) out.push_back(PlaceholderDoubled(Written(m.Name, kind)));
            countsRight = countsRight && have == want;
        }
    }
    bool unpaired = false;
    if (!countsRight || NestingFault(pair.Source.Marks, unpaired)) return;
    if (const TMark* m = NestingFault(pair.Target.Marks, unpaired))
        out.push_back(unpaired ? PlaceholderUnpaired(m->Written)
                               : PlaceholderMisnested(Written(m->Name, TMark::Open)));
}

bool IsVoidElement(std::string_view name) {
    static const std::set<std::string_view> kVoid = {"area",   "base",  "br",    "col",  "embed",
                                                     "hr",     "img",   "input", "link", "meta",
                                                     "source", "track", "wbr"};
    return kVoid.count(name) != 0;
}

// The first tag of marks that closes out of order, or null when they nest.
const TMark* Misnested(const std::vector<TMark>& marks) {
    std::vector<std::string_view> open;
    for (const TMark& m : marks) {
        if (m.Kind != TMark::Tag || m.Name.back() == '/') continue;
        if (m.Name[1] != '/') {
            const std::string_view name = std::string_view(m.Name).substr(1);
            if (!IsVoidElement(name)) open.push_back(name);
            continue;
        }
        const std::string_view name = std::string_view(m.Name).substr(2);
        const auto it = std::find(open.begin(), open.end(), name);
        if (it == open.end() || it + 1 != open.end()) return &m;
        open.pop_back();
    }
    return nullptr;
}

void RunMarkup(const TPair& pair, TTexts& out) {
    std::map<std::string_view, std::pair<int, const TMark*>> source, target;
    for (const TMark& m : pair.Source.Marks) {
        auto& [n, first] = source[m.Name];
        if (n++ == 0) first = &m;
    }
    for (const TMark& m : pair.Target.Marks) {
        auto& [n, first] = target[m.Name];
        if (n++ == 0) first = &m;
    }
    const std::size_t before = out.size();
    for (const auto& [name, found] : source)
        if (target[name].first < found.first) out.push_back(MarkupMissing(found.second->Written));
    for (const auto& [name, found] : target)
        if (found.first > 0 && source[name].first < found.first)
            out.push_back(MarkupExtra(found.second->Written));
    if (out.size() != before || Misnested(pair.Source.Marks) != nullptr) return;
    if (const TMark* m = Misnested(pair.Target.Marks)) out.push_back(MarkupMisnested(m->Written));
}

enum class TSide : std::uint8_t { Edge, Mark, Blank, Word, Other };

TSide Neighbour(const TReading& r, std::size_t k, bool before) {
    const TMark& m = r.Marks[k];
    if (before ? (k > 0 && r.Marks[k - 1].At == m.At)
               : (k + 1 < r.Marks.size() && r.Marks[k + 1].At == m.At))
        return TSide::Mark;
    if (before ? m.At == 0 : m.At >= r.Chars.size()) return TSide::Edge;
    const char32_t c = r.Chars[before ? m.At - 1 : m.At];
    if (IsBlank(c)) return TSide::Blank;
    if ((IsLetter(c) || DigitValue(c) >= 0) && !IsUnspacedScript(c)) return TSide::Word;
    return TSide::Other;
}

// Each mark that stands once in the text, by what identifies it and its kind.
std::map<std::string, std::size_t> Unique(const TReading& r) {
    std::map<std::string, std::size_t> seen;
    std::set<std::string> doubled;
    for (std::size_t k = 0; k < r.Marks.size(); ++k) {
        std::string key = r.Marks[k].Name;
        key += char('0' + r.Marks[k].Kind);
        if (!seen.emplace(key, k).second) doubled.insert(key);
    }
    for (const std::string& key : doubled) seen.erase(key);
    return seen;
}

}  // namespace

void CheckPlaceholders(const TPair& pair, TTexts& out) {
    if (pair.Source.Marks.empty() && pair.Target.Marks.empty()) return;
    if (pair.Units == TUnits::Sentences)
        SentencePlaceholders(pair, out);
    else
        RunMarkup(pair, out);
}

void CheckPlaceholderSpacing(const TPair& pair, TTexts& out) {
    // Languages written without blanks between words set none around markup either. Tags in
    // runs are text, with the blanks text has.
    if (pair.Units != TUnits::Sentences || pair.Target.Marks.empty() ||
        pair.SourceLanguage.Unspaced || pair.TargetLanguage.Unspaced)
        return;
    const std::map<std::string, std::size_t> source = Unique(pair.Source);
    for (const auto& [key, k] : Unique(pair.Target)) {
        const auto it = source.find(key);
        if (it == source.end()) continue;
        for (const bool before : {true, false}) {
            const TSide s = Neighbour(pair.Source, it->second, before);
            const TSide t = Neighbour(pair.Target, k, before);
            if ((s == TSide::Blank && t == TSide::Word) || (s == TSide::Word && t == TSide::Blank))
                out.push_back(
                    SpacingDiffers(pair.Target.Marks[k].Written, before, s == TSide::Blank));
        }
    }
}

}  // namespace quillfen::checks
