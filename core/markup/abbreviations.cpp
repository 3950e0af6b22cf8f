#include "core/markup/abbreviations.h"

#ifdef QUILLFEN_SENTENCES

#include <unicode/uchar.h>
#include <unicode/udata.h>
#include <unicode/unistr.h>
#include <unicode/ures.h>

#include <algorithm>
#include <initializer_list>

#include "core/text/utf8.h"

namespace quillfen {

namespace {

// Abbreviations that introduce what follows, in every language's texts: technical texts quote
// them whatever their own language, and none of them ends a sentence.
constexpr std::initializer_list<const char*> kLatin = {"e.g.", "E.g.", "i.e.", "I.e.",
                                                       "cf.",  "Cf.",  "viz.", "vs."};

// Our own lists, on top of ICU's (German instead of it: ICU's German list holds ordinary
// words, "Das ist Maier. Der Rest" would stay one sentence). Japanese, Korean and Chinese texts
// quote English abbreviations. A text that names no language gets the English list and the
// words of every list that end no sentence in any language's text.
struct TOwnList {
    std::initializer_list<const char*> languages;
    bool only;                                    // instead of ICU's list
    std::initializer_list<const char*> anywhere;  // ending no sentence in any text
    std::initializer_list<const char*> own;       // only in the language's texts
};
const TOwnList kOwnLists[] = {
    {{"", "en", "ja", "ko", "zh"},
     false,
     {},
     {"Dr.", "Mr.", "Mrs.", "Ms.", "Prof.", "approx.", "esp.", "incl.", "Sec."}},
    {{"de"},
     true,
     {"z.B.", "z. B.", "Z.B.", "Z. B.", "d.h.", "d. h.", "D.h.", "D. h.", "bzw.", "vgl.", "Vgl.",
      "sog.", "bspw.", "insb.", "u.a.", "u. a."},
     {"ca.", "s.",  "z.T.",  "z. T.", "u.U.",  "u. U.", "i.d.R.", "i. d. R.", "v.a.", "v. a.",
      "Nr.", "Dr.", "Prof.", "Hr.",   "evtl.", "ggf.",  "inkl.",  "Abs.",     "usw.", "etc."}},
    {{"fr"},
     false,
     {"p. ex.", "p.ex.", "P. ex.", "c.-à-d.", "c.à.d.", "c-à-d."},
     {"env.", "resp."}},
    {{"cs"},
     false,
     {"např.", "Např.", "tj.", "Tj.", "tzn.", "Tzn.", "tzv.", "resp.", "popř.", "příp.", "srov."},
     {"viz.", "mj.", "angl.", "Ing.", "Mgr.", "Bc.", "Dr.", "Prof."}},
    // "np." ends "import numpy as np." in a text of another language.
    {{"pl"},
     false,
     {"tj.", "Tj.", "tzn.", "Tzn.", "tzw.", "m.in.", "M.in.", "por.", "Por.", "zob.", "Zob."},
     {"np.", "Np.", "ang.", "łac.", "dr.", "Dr.", "inż.", "prof.", "Prof."}},
};

// ICU's abbreviations of a locale, where it has them. A locale ICU lacks brings none, not those
// of the locale the program runs in, as ICU's own filter does.
std::vector<std::string> IcuList(const std::string& locale) {
    std::vector<std::string> out;
    UErrorCode status = U_ZERO_ERROR;
    icu::LocalUResourceBundlePointer bundle(
        ures_open(U_ICUDATA_NAME U_TREE_SEPARATOR_STRING "brkitr", locale.c_str(), &status));
    if (U_FAILURE(status) || status == U_USING_DEFAULT_WARNING) return out;
    icu::LocalUResourceBundlePointer exceptions(
        ures_getByKey(bundle.getAlias(), "exceptions", nullptr, &status));
    icu::LocalUResourceBundlePointer list(
        ures_getByKey(exceptions.getAlias(), "SentenceBreak", nullptr, &status));
    if (U_FAILURE(status)) return out;
    for (std::int32_t i = 0, n = ures_getSize(list.getAlias()); i < n; ++i) {
        std::int32_t length = 0;
        UErrorCode s = U_ZERO_ERROR;
        const UChar* chars = ures_getStringByIndex(list.getAlias(), i, &length, &s);
        if (U_FAILURE(s)) continue;
        std::string word;
        icu::UnicodeString(chars, length).toUTF8String(word);
        out.push_back(std::move(word));
    }
    return out;
}

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// What stands right before text[at], as far as a word's start goes: the text's start or a blank,
// another mark ("(e.g."), or a part of the word (a letter, digit or mark, and '.', '-', '_' and
// apostrophes, which join parts of a word: "URL." has no word "L.", "U.S." none "S.").
enum class TEdge : std::uint8_t { Blank, Mark, Inside };

TEdge EdgeOf(char32_t c) {
    if (c < 0x80) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') return TEdge::Blank;
        const bool inside = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                            (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '-' || c == '\'';
        return inside ? TEdge::Inside : TEdge::Mark;
    }
    const UChar32 u = static_cast<UChar32>(c);
    if (u_isUWhiteSpace(u)) return TEdge::Blank;
    if ((U_GET_GC_MASK(u) & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0 || u == 0x2019)
        return TEdge::Inside;
    return TEdge::Mark;
}

// The character that ends at text[at] and where it starts; a byte that is no UTF-8 is a mark.
std::size_t CharBefore(std::string_view text, std::size_t at, char32_t& c) {
    std::size_t start = at - 1;
    while (start > 0 && at - start < 4 && IsContinuation(text[start])) --start;
    if (Utf8CharAt(text, start, c) == at - start) return start;
    c = 0xFFFD;
    return at - 1;
}

TEdge EdgeBefore(std::string_view text, std::size_t at) {
    if (at == 0) return TEdge::Blank;
    char32_t c = 0;
    CharBefore(text, at, c);
    return EdgeOf(c);
}

TEdge EdgeAt(std::string_view text, std::size_t at) {
    if (at >= text.size()) return TEdge::Blank;
    char32_t c = static_cast<unsigned char>(text[at]);
    if (c >= 0x80 && Utf8CharAt(text, at, c) == 0) return TEdge::Mark;
    return EdgeOf(c);
}

// Where the blanks that end at text[at] start.
std::size_t BlanksBefore(std::string_view text, std::size_t at) {
    while (at > 0) {
        char32_t c = 0;
        const std::size_t start = CharBefore(text, at, c);
        if (EdgeOf(c) != TEdge::Blank) break;
        at = start;
    }
    return at;
}

// Where the blanks that start at text[at] end.
std::size_t BlanksAfter(std::string_view text, std::size_t at) {
    while (at < text.size()) {
        char32_t c = static_cast<unsigned char>(text[at]);
        std::size_t length = 1;
        if (c >= 0x80 && (length = Utf8CharAt(text, at, c)) == 0) break;
        if (EdgeOf(c) != TEdge::Blank) break;
        at += length;
    }
    return at;
}

}  // namespace

TAbbreviations::TAbbreviations(const std::string& locale, const std::string& language) {
    bool only = false;
    for (const TOwnList& list : kOwnLists) {
        const bool its = std::find(list.languages.begin(), list.languages.end(), language) !=
                         list.languages.end();
        if (its) {
            only = list.only;
            for (const char* word : list.own) Add(word);
        }
        if (its || language.empty())
            for (const char* word : list.anywhere) Add(word);
    }
    for (const char* word : kLatin) Add(word);
    if (!only && !language.empty())
        for (const std::string& word : IcuList(locale)) Add(word);
    Index();
}

void TAbbreviations::Add(std::string_view abbreviation) {
    std::vector<std::string> words;
    for (std::size_t at = 0; at < abbreviation.size();) {
        const std::size_t blank = std::min(abbreviation.find(' ', at), abbreviation.size());
        if (blank > at) words.emplace_back(abbreviation.substr(at, blank - at));
        at = blank + 1;
    }
    if (!words.empty()) entries_.push_back(std::move(words));
}

void TAbbreviations::Index() {
    std::sort(entries_.begin(), entries_.end());
    entries_.erase(std::unique(entries_.begin(), entries_.end()), entries_.end());
    for (std::uint32_t e = 0; e < entries_.size(); ++e)
        for (std::uint32_t i = 0; i < entries_[e].size(); ++i) {
            const std::string& word = entries_[e][i];
            keys_.push_back({e, i});
            longest_ = std::max(longest_, word.size());
            lastBytes_[static_cast<unsigned char>(word.back())] = true;
        }
    std::sort(keys_.begin(), keys_.end(),
              [&](const TKey& a, const TKey& b) { return Word(a) < Word(b); });
}

bool TAbbreviations::HoldsBreak(std::string_view text, std::size_t at) const {
    if (at == 0 || at > text.size()) return false;
    const std::size_t end = BlanksBefore(text, at);
    if (end == 0 || !lastBytes_[static_cast<unsigned char>(text[end - 1])]) return false;
    struct TByWord {
        const TAbbreviations* self;
        bool operator()(const TKey& k, std::string_view w) const { return self->Word(k) < w; }
        bool operator()(std::string_view w, const TKey& k) const { return w < self->Word(k); }
    };
    // The word before the break starts where a word may start, no further back than the
    // longest word: a run of text without blanks costs no more than a short one.
    const std::size_t lowest = end > longest_ ? end - longest_ : 0;
    for (std::size_t start = end; start-- > lowest;) {
        if (IsContinuation(text[start])) continue;
        const TEdge edge = EdgeBefore(text, start);
        if (edge != TEdge::Inside) {
            const auto [lo, hi] = std::equal_range(keys_.begin(), keys_.end(),
                                                   text.substr(start, end - start), TByWord{this});
            for (auto k = lo; k != hi; ++k) {
                const std::vector<std::string>& words = entries_[k->entry];
                // A later word of an abbreviation follows the one before it after blanks.
                if (k->index > 0 && edge != TEdge::Blank) continue;
                if (Before(words, k->index, text, start) && After(words, k->index, text, end, at))
                    return true;
            }
        }
        if (edge == TEdge::Blank) break;
    }
    return false;
}

// Whether the words of an abbreviation before its word at text[start] stand before it.
bool TAbbreviations::Before(const std::vector<std::string>& words, std::size_t index,
                            std::string_view text, std::size_t start) const {
    std::size_t at = start;
    for (std::size_t j = index; j-- > 0;) {
        const std::size_t end = BlanksBefore(text, at);
        const std::string& word = words[j];
        if (end == at || end < word.size() || text.substr(end - word.size(), word.size()) != word)
            return false;
        at = end - word.size();
        const TEdge edge = EdgeBefore(text, at);
        if (edge == TEdge::Inside || (j > 0 && edge != TEdge::Blank)) return false;
    }
    return true;
}

// Whether the words of an abbreviation after its word that ends at text[end] follow the break
// at text[at], the last of them ending there as a word ends.
bool TAbbreviations::After(const std::vector<std::string>& words, std::size_t index,
                           std::string_view text, std::size_t end, std::size_t at) const {
    if (index + 1 == words.size()) return true;
    if (end == at) return false;
    std::size_t pos = BlanksAfter(text, at);
    for (std::size_t j = index + 1; j < words.size(); ++j) {
        if (j > index + 1) {
            const std::size_t next = BlanksAfter(text, pos);
            if (next == pos) return false;
            pos = next;
        }
        const std::string& word = words[j];
        if (text.substr(pos, word.size()) != word) return false;
        pos += word.size();
    }
    return EdgeAt(text, pos) != TEdge::Inside;
}

}  // namespace quillfen

#endif
