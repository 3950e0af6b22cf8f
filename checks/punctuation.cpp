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
    TEnd End = TEnd::None;
    std::size_t Mark = 0;    // where the last mark stands in Chars
    std::u32string Written;  // the marks and what trails them, as written
};

TEnding EndingOf(const TReading& r, const TLanguageConventions& language) {
    TEnding e;
    const std::u32string& s = r.Chars;
    std::size_t i = s.size();
    while (i > 0 && IsBlank(s[i - 1])) --i;
    const std::size_t end = i;
    std::size_t begin = i;
    while (i > 0 && (Trails(s[i - 1]) || MarkOf(s[i - 1], language) != TEnd::None)) {
        --i;
        if (MarkOf(s[i], language) != TEnd::None) {
            if (e.End == TEnd::None) {
                e.End = MarkOf(s[i], language);
                e.Mark = i;
            }
            begin = i;
        }
    }
    if (e.End == TEnd::None) return e;
    if (e.End == TEnd::FullStop && e.Mark >= 2 && s[e.Mark - 1] == '.' && s[e.Mark - 2] == '.')
        e.End = TEnd::Ellipsis;
    e.Written = s.substr(begin, end - begin);
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

struct TBrackets {
    char32_t Open, Close, WideOpen, WideClose;
};
constexpr std::array<TBrackets, 8> kBrackets = {{{'(', ')', 0xFF08, 0xFF09},
                                                 {'[', ']', 0xFF3B, 0xFF3D},
                                                 {'{', '}', 0xFF5B, 0xFF5D},
                                                 {0x3010, 0x3011, 0, 0},
                                                 {0x300C, 0x300D, 0, 0},
                                                 {0x300E, 0x300F, 0, 0},
                                                 {0x3008, 0x3009, 0, 0},
                                                 {0x300A, 0x300B, 0, 0}}};

struct TBalance {
    int Unopened = 0, Unclosed = 0;
    char32_t FirstUnopened = 0, LastUnclosed = 0;
    bool operator==(const TBalance& b) const {
        return Unopened == b.Unopened && Unclosed == b.Unclosed;
    }
};

TBalance BalanceOf(const std::u32string& s, const TBrackets& b) {
    TBalance balance;
    std::vector<char32_t> open;
    for (const char32_t c : s) {
        if (c == b.Open || (b.WideOpen && c == b.WideOpen)) {
            open.push_back(c);
        } else if (c == b.Close || (b.WideClose && c == b.WideClose)) {
            if (!open.empty()) {
                open.pop_back();
            } else if (balance.Unopened++ == 0) {
                balance.FirstUnopened = c;
            }
        }
    }
    balance.Unclosed = int(open.size());
    if (!open.empty()) balance.LastUnclosed = open.back();
    return balance;
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
    if (s.End != t.End) {
        // Thai and Lao end a sentence with none.
        if ((tl.NoFullStop && s.End == TEnd::FullStop && t.End == TEnd::None) ||
            (pair.SourceLanguage.NoFullStop && s.End == TEnd::None && t.End == TEnd::FullStop))
            return;
        out.push_back(EndPunctuationDiffers(Utf8(s.Written), Utf8(t.Written)));
        return;
    }
    if (t.End == TEnd::None) return;
    const std::string mark = Utf8(std::u32string(1, pair.Target.Chars[t.Mark]));
    const bool ascii = pair.Target.Chars[t.Mark] < 0x80;
    if (ascii && WantsBlank(t.End, tl)) {
        if (!BlankBeforeMarks(pair.Target, t, tl)) out.push_back(BlankBeforeMarkMissing(mark));
    } else if (ascii && !tl.Language.empty() && t.End != TEnd::FullStop &&
               t.End != TEnd::Ellipsis && t.End != TEnd::Comma &&
               BlankBeforeMarks(pair.Target, t, tl) &&
               !BlankBeforeMarks(pair.Source, s, pair.SourceLanguage)) {
        out.push_back(BlankBeforeMark(mark));
    }
    if (tl.InvertedMarks && AsksOrExclaims(t.End)) {
        const char32_t inverted = t.End == TEnd::Question ? 0xBF : 0xA1;  // ¿ ¡
        if (pair.Target.Chars.find(inverted) == std::u32string::npos)
            out.push_back(InvertedMarkMissing(Utf8(std::u32string(1, inverted))));
    }
}

void CheckBrackets(const TPair& pair, TTexts& out) {
    const std::u32string& s = pair.Source.Chars;
    const std::u32string& t = pair.Target.Chars;
    for (const TBrackets& b : kBrackets) {
        const TBalance tb = BalanceOf(t, b);
        if (tb.Unopened == 0 && tb.Unclosed == 0) continue;
        const TBalance sb = BalanceOf(s, b);
        if (tb.Unclosed > sb.Unclosed)
            out.push_back(BracketNotClosed(Utf8(std::u32string(1, tb.LastUnclosed))));
        if (tb.Unopened > sb.Unopened)
            out.push_back(BracketNotOpened(Utf8(std::u32string(1, tb.FirstUnopened))));
    }
    const auto quotes = [](const std::u32string& text) {
        return std::count_if(text.begin(), text.end(), IsDoubleQuote);
    };
    if (quotes(t) % 2 == 1 && quotes(s) % 2 == 0) out.push_back(QuotesUnpaired());
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
