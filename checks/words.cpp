// Words: a translation that is its source, and one far shorter or longer than it.

#include <algorithm>
#include <cmath>

#include "checks/pair.h"

namespace quillfen::checks {

namespace {

bool IsWordChar(char32_t c) { return IsLetter(c) || DigitValue(c) >= 0; }

bool Joins(char32_t c) { return c == '\'' || c == 0x2019 || c == '-' || c == 0x2010; }

// Characters that make a blank-separated token code, a path or an address rather than words:
// "file_name", "/usr/bin", "a.out", "--help", "x=1".
bool IsCodeToken(std::u32string_view token) {
    if (token.size() > 1 && token[0] == '-' && (token[1] == '-' || IsWordChar(token[1])))
        return true;
    for (std::size_t i = 0; i < token.size(); ++i) {
        const char32_t c = token[i];
        if (c == '_' || c == '/' || c == '\\' || c == '@' || c == '=' || c == '#' || c == '~' ||
            c == '$' || c == '<' || c == '>' || c == '{' || c == '}')
            return true;
        if ((c == '.' || c == ':') && i > 0 && i + 1 < token.size() && IsWordChar(token[i - 1]) &&
            IsWordChar(token[i + 1]))
            return true;
        if (c == '(' && i + 1 < token.size() && token[i + 1] == ')') return true;
    }
    return false;
}

// Whether text holds a word of two letters or more that is a common word: written in lower
// case, or in a script without case, and not part of code, a path or an address. Names
// ("Debian", "Apache HTTP Server"), abbreviations and commands do not count.
bool HasCommonWord(const std::u32string& text) {
    std::vector<bool> skip(text.size());
    for (const TRange& a : FindAddresses(text))
        std::fill(skip.begin() + a.Begin, skip.begin() + a.End, true);
    for (std::size_t i = 0; i < text.size();) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !IsBlank(text[end])) ++end;
        if (IsCodeToken(std::u32string_view(text).substr(i, end - i)))
            std::fill(skip.begin() + i, skip.begin() + end, true);
        i = end;
    }
    for (const TRange& w : Words(text)) {
        if (skip[w.Begin]) continue;
        std::size_t letters = 0;
        bool upper = false;
        for (std::size_t i = w.Begin; i < w.End; ++i) {
            if (!IsLetter(text[i])) continue;
            ++letters;
            upper = upper || IsUpper(text[i]);
        }
        if (letters >= 2 && !upper) return true;
    }
    return false;
}

// The text folded to lower case, blanks at its edges cut.
std::u32string Folded(const std::u32string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    std::u32string out;
    out.reserve(end - begin);
    for (std::size_t i = begin; i < end; ++i) out += FoldCase(text[i]);
    return out;
}

// The length a reader takes in: each run of blanks one, Han and kana and Hangul weighed
// (LengthWeight), blanks at the edges left out.
std::size_t WeighedLength(const std::u32string& text) {
    std::size_t length = 0, pendingBlank = 0;
    bool started = false;
    for (const char32_t c : text) {
        if (IsBlank(c)) {
            pendingBlank = started ? 1 : 0;
            continue;
        }
        length += pendingBlank + LengthWeight(c);
        pendingBlank = 0;
        started = true;
    }
    return length;
}

bool HasLetter(const std::u32string& text) {
    return std::any_of(text.begin(), text.end(), IsLetter);
}

}  // namespace

std::vector<TRange> Words(std::u32string_view text) {
    std::vector<TRange> words;
    for (std::size_t i = 0; i < text.size();) {
        if (!IsWordChar(text[i])) {
            ++i;
            continue;
        }
        const std::size_t begin = i;
        while (i < text.size() && (IsWordChar(text[i]) || (Joins(text[i]) && i + 1 < text.size() &&
                                                           IsWordChar(text[i + 1]))))
            ++i;
        words.push_back({begin, i});
    }
    return words;
}

void CheckUnchanged(const TPair& pair, TTexts& out) {
    if (Folded(pair.Source.Chars) != Folded(pair.Target.Chars)) return;
    if (HasCommonWord(pair.Source.Chars)) out.push_back(Unchanged());
}

void CheckLength(const TPair& pair, TTexts& out) {
    if (!HasLetter(pair.Source.Chars)) return;
    const std::size_t source = WeighedLength(pair.Source.Chars);
    const std::size_t target = WeighedLength(pair.Target.Chars);
    if (target == 0 || source == 0) return;
    const unsigned most = source <= 20 ? 350 : 200;
    const double percent = 100.0 * double(target) / double(source);
    if (percent < 50 || percent > most)
        out.push_back(LengthOutside(unsigned(std::lround(percent)), most));
}

}  // namespace quillfen::checks
