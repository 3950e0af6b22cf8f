// Blanks, the punctuation that ends a text, brackets and quotation marks, doubled words.

#include <algorithm>
#include <array>
#include <string_view>

#include "checks/pair.h"

namespace quillfen::checks {

namespace {

// Runs of two or more spaces; a placeholder between blanks parts them.
std::size_t DoubleSpaces(const TReading& r) {
    std::size_t runs = 0, length = 0, mark = 0;
    for (std::size_t i = 0; i < r.Chars.size(); ++i) {
        while (mark < r.Marks.size() && r.Marks[mark].At <= i) {
            if (r.Marks[mark].At == i) length = 0;
            ++mark;
        }
        length = r.Chars[i] == ' ' ? length + 1 : 0;
        if (length == 2) ++runs;
    }
    return runs;
}

enum class TEnd : std::uint8_t {
    None,
    FullStop,
    Question,
    Exclamation,
    Colon,
    Semicolon,
    Ellipsis,
    Comma
};

TEnd MarkOf(char32_t c, const TLanguageConventions& language) {
    if (c == ';') return language.SemicolonAsks ? TEnd::Question : TEnd::Semicolon;
    // Each script's marks: CJK full-width ones, the Devanagari danda, Arabic, Armenian,
    // Myanmar, Khmer and Ethiopic ones.
    static constexpr std::pair<std::u32string_view, TEnd> kMarks[] = {
        {U".\u3002\uFF0E\uFF61\u0964\u0965\u06D4\u104B\u17D4\u1362", TEnd::FullStop},
        {U"?\uFF1F\u061F\u037E\u055E", TEnd::Question},
        {U"!\uFF01\u055C", TEnd::Exclamation},
        {U":\uFF1A", TEnd::Colon},
        {U"\uFF1B\u061B", TEnd::Semicolon},
        {U"\u2026\u22EF", TEnd::Ellipsis},
        {U",\uFF0C\u3001\u060C", TEnd::Comma},
    };
    for (const auto& [marks, end] : kMarks)
        if (marks.find(c) != std::u32string_view::npos) return end;
    return TEnd::None;
}

// What may stand behind the mark that ends a sentence: blanks, closing quotes and brackets.
bool Trails(char32_t c) {
    static constexpr std::u32string_view kTrailing =
        U")]}\"'*\u00AB\u00BB\u2018\u2019\u201C\u201D\u201E\u2039\u203A\u300D\u300F\u3011"
        U"\u3009\u300B\uFF09\uFF3D\uFF02";
    return IsBlank(c) || kTrailing.find(c) != std::u32string_view::npos;
}

struct TEnding {
    std::vector<TEnd> Marks;  // the marks that end the text, in order; "..." one Ellipsis
    std::size_t Mark = 0;     // where the last mark stands in Chars
    std::u32string Written;   // the marks and what trails them, as written
    TEnd End() const { return Marks.empty() ? TEnd::None : Marks.back(); }
};

TEnding EndingOf(const TReading& r, const TLanguageConventions& language) {
    TEnding e;
    const std::u32string& s = r.Chars;
    std::size_t i = s.size();
    while (i > 0 && IsBlank(s[i - 1])) --i;
    const std::size_t end = i;
    std::size_t begin = i;
    while (i > 0 && (Trails(s[i - 1]) || MarkOf(s[i - 1], language) != TEnd::None))
        if (MarkOf(s[--i], language) != TEnd::None) begin = i;
    for (std::size_t k = begin; k < end; ++k) {
        const TEnd mark = MarkOf(s[k], language);
        if (mark == TEnd::None) continue;
        e.Mark = k;
        if (s[k] == '.' && k + 2 < end && s[k + 1] == '.' && s[k + 2] == '.') {
            e.Mark = k += 2;
            e.Marks.push_back(TEnd::Ellipsis);
        } else {
            e.Marks.push_back(mark);
        }
    }
    if (!e.Marks.empty()) e.Written = s.substr(begin, end - begin);
    return e;
}

bool AsksOrExclaims(TEnd e) { return e == TEnd::Question || e == TEnd::Exclamation; }

// The marks French sets a blank before.
bool WantsBlank(TEnd e, const TLanguageConventions& language) {
    return (e == TEnd::Colon && language.BlankBeforeColon) ||
           ((AsksOrExclaims(e) || e == TEnd::Semicolon) && language.BlankBeforeQuestion);
}

// Whether a blank stands before the run of marks that ends at the last mark.
bool BlankBeforeMarks(const TReading& r, const TEnding& e, const TLanguageConventions& language) {
    std::size_t i = e.Mark;
    while (i > 0 && MarkOf(r.Chars[i - 1], language) != TEnd::None) --i;
    return i > 0 && IsBlank(r.Chars[i - 1]);
}

// Each kind of bracket, opening and closing, the full-width forms with the ASCII ones.
constexpr std::array<std::pair<std::u32string_view, std::u32string_view>, 8> kBrackets = {{
    {U"(\uFF08", U")\uFF09"},
    {U"[\uFF3B", U"]\uFF3D"},
    {U"{\uFF5B", U"}\uFF5D"},
    {U"\u3010", U"\u3011"},
    {U"\u300C", U"\u300D"},
    {U"\u300E", U"\u300F"},
    {U"\u3008", U"\u3009"},
    {U"\u300A", U"\u300B"},
}};

// How a text's brackets of one kind pair up: those that close none open, those left open.
struct TBalance {
    int Unopened = 0;
    std::vector<char32_t> Open;
    char32_t FirstUnopened = 0;
};

std::array<TBalance, kBrackets.size()> BalanceOf(const std::u32string& text) {
    std::array<TBalance, kBrackets.size()> balances;
    for (const char32_t c : text) {
        if (c < 0x80 ? (c != '(' && c != ')' && c != '[' && c != ']' && c != '{' && c != '}')
                     : c < 0x3008)
            continue;
        for (std::size_t k = 0; k < kBrackets.size(); ++k) {
            TBalance& b = balances[k];
            if (kBrackets[k].first.find(c) != std::u32string_view::npos) {
                b.Open.push_back(c);
            } else if (kBrackets[k].second.find(c) != std::u32string_view::npos) {
                if (!b.Open.empty())
                    b.Open.pop_back();
                else if (b.Unopened++ == 0)
                    b.FirstUnopened = c;
            }
        }
    }
    return balances;
}

bool IsDoubleQuote(char32_t c) {
    return c == '"' || c == 0xAB || c == 0xBB || (c >= 0x201C && c <= 0x201F) || c == 0xFF02 ||
           (c >= 0x301D && c <= 0x301F);
}

}  // namespace

void CheckDoubleSpace(const TPair& pair, TTexts& out) {
    if (DoubleSpaces(pair.Target) > DoubleSpaces(pair.Source)) out.push_back(DoubleSpace());
}

void CheckEndPunctuation(const TPair& pair, TTexts& out) {
    const TLanguageConventions& tl = pair.TargetLanguage;
    const TEnding s = EndingOf(pair.Source, pair.SourceLanguage);
    const TEnding t = EndingOf(pair.Target, tl);
    if (s.Marks != t.Marks) {
        // Thai and Lao end a sentence with none.
        const std::vector<TEnd> stop = {TEnd::FullStop};
        if ((tl.NoFullStop && s.Marks == stop && t.Marks.empty()) ||
            (pair.SourceLanguage.NoFullStop && s.Marks.empty() && t.Marks == stop))
            return;
        out.push_back(EndPunctuationDiffers(Utf8(s.Written), Utf8(t.Written)));
        return;
    }
    const TEnd end = t.End();
    if (end == TEnd::None) return;
    const std::string mark = Utf8(std::u32string(1, pair.Target.Chars[t.Mark]));
    const bool ascii = pair.Target.Chars[t.Mark] < 0x80;
    if (ascii && WantsBlank(end, tl)) {
        if (!BlankBeforeMarks(pair.Target, t, tl)) out.push_back(BlankBeforeMarkMissing(mark));
    } else if (ascii && !tl.Language.empty() && end != TEnd::FullStop && end != TEnd::Ellipsis &&
               end != TEnd::Comma && BlankBeforeMarks(pair.Target, t, tl) &&
               !BlankBeforeMarks(pair.Source, s, pair.SourceLanguage)) {
        out.push_back(BlankBeforeMark(mark));
    }
    if (tl.InvertedMarks && AsksOrExclaims(end)) {
        const char32_t inverted = end == TEnd::Question ? 0xBF : 0xA1;  // ¿ ¡
        if (pair.Target.Chars.find(inverted) == std::u32string::npos)
            out.push_back(InvertedMarkMissing(Utf8(std::u32string(1, inverted))));
    }
}

void CheckBrackets(const TPair& pair, TTexts& out) {
    // A phrase cut from a longer text may leave a bracket open or close one opened before it:
    // its translation keeps that as it is.
    const auto source = BalanceOf(pair.Source.Chars), target = BalanceOf(pair.Target.Chars);
    const auto text = [](char32_t c) { return Utf8(std::u32string(1, c)); };
    for (std::size_t k = 0; k < kBrackets.size(); ++k) {
        const TBalance &s = source[k], &t = target[k];
        if (t.Open.size() > s.Open.size()) out.push_back(BracketNotClosed(text(t.Open.back())));
        if (t.Open.size() < s.Open.size()) out.push_back(BracketMissing(text(s.Open.back())));
        if (t.Unopened > s.Unopened) out.push_back(BracketNotOpened(text(t.FirstUnopened)));
        if (t.Unopened < s.Unopened) out.push_back(BracketMissing(text(s.FirstUnopened)));
    }
    const auto quotes = [](const std::u32string& text) {
        return std::count_if(text.begin(), text.end(), IsDoubleQuote) % 2;
    };
    const auto s = quotes(pair.Source.Chars), t = quotes(pair.Target.Chars);
    if (t > s) out.push_back(QuotesUnpaired());
    if (t < s) out.push_back(QuoteMissing());
}

namespace {

// The words text writes twice in a row with blanks between, folded to lower case.
std::vector<std::u32string> DoubledWords(const std::u32string& text) {
    std::vector<std::u32string> found;
    const std::vector<TRange> words = Words(text);
    for (std::size_t k = 1; k < words.size(); ++k) {
        const TRange a = words[k - 1], b = words[k];
        if (a.End == b.Begin || a.End - a.Begin != b.End - b.Begin) continue;
        if (!std::all_of(text.begin() + a.End, text.begin() + b.Begin, IsBlank)) continue;
        bool same = true, letter = false;
        std::u32string word;
        for (std::size_t i = 0; i < a.End - a.Begin && same; ++i) {
            const char32_t c = FoldCase(text[a.Begin + i]);
            same = c == FoldCase(text[b.Begin + i]);
            letter = letter || IsLetter(c);
            word += c;
        }
        if (same && letter) found.push_back(std::move(word));
    }
    return found;
}

}  // namespace

void CheckRepeatedWord(const TPair& pair, TTexts& out) {
    const std::vector<std::u32string> target = DoubledWords(pair.Target.Chars);
    if (target.empty()) return;
    // Words the language may double, and what the source doubles itself ("Bora Bora").
    const std::vector<std::u32string> source = DoubledWords(pair.Source.Chars);
    const std::vector<std::u32string>& allowed = pair.TargetLanguage.DoubledWords;
    for (const std::u32string& word : target) {
        if (std::find(allowed.begin(), allowed.end(), word) != allowed.end()) continue;
        if (std::find(source.begin(), source.end(), word) != source.end()) continue;
        out.push_back(RepeatedWord(Utf8(word)));
        return;
    }
}

}  // namespace quillfen::checks
