// Numbers, read in each language's way of writing them, and web and e-mail addresses.

#include <algorithm>
#include <set>
#include <unordered_map>

#include "checks/pair.h"

namespace quillfen::checks {

namespace {

bool IsSpaceGroup(char32_t c) { return c == ' ' || c == 0xA0 || c == 0x202F || c == 0x2009; }

bool IsSeparator(char32_t c) {
    return c == '.' || c == ',' || c == '\'' || c == 0x2019 || c == 0x66B || c == 0x66C ||
           IsSpaceGroup(c);
}

// One number as a text writes it: its digits (as ASCII) and the separators between them.
struct TNumber {
    std::size_t Begin = 0, End = 0;
    std::vector<std::string> Groups;  // the runs of digits
    std::u32string Separators;        // one between each two groups, blanks as ' '
    // What it may mean: "L" and its digits and separators as written, and "V" and its value
    // ("1234.5") in each way its language may write it.
    std::vector<std::string> Readings;
};

std::size_t DigitsFrom(const std::u32string& text, std::size_t i, std::string& digits) {
    while (i < text.size() && DigitValue(text[i]) >= 0) digits += char('0' + DigitValue(text[i++]));
    return i;
}

// The value of a number written with decimal and groups, or "" where it is not written so.
std::string Value(const TNumber& n, char32_t decimal, const std::u32string& groups) {
    if (n.Separators.empty()) return n.Groups[0];
    // Blanks were made ' ' when the number was read; any blank the language groups with counts.
    const auto isGroup = [&](char32_t c) {
        if (c != ' ') return groups.find(c) != std::u32string::npos;
        return std::any_of(groups.begin(), groups.end(), IsSpaceGroup);
    };
    const std::size_t k = n.Separators.size();
    const bool fraction = n.Separators[k - 1] == decimal;
    const std::size_t grouped = fraction ? k - 1 : k;  // separators that group
    if (grouped > 0 && n.Groups[0].size() > 3) return {};
    for (std::size_t j = 0; j < grouped; ++j)
        if (!isGroup(n.Separators[j]) || n.Separators[j] != n.Separators[0] ||
            n.Groups[j + 1].size() != 3)
            return {};
    std::string value;
    for (std::size_t j = 0; j <= grouped; ++j) value += n.Groups[j];
    if (fraction) value.append(".").append(n.Groups[k]);
    return value;
}

// The numbers of text outside its addresses. A blank joins digits only before a group of three
// where the language groups with blanks ("1 000" in French).
std::vector<TNumber> Numbers(const std::u32string& text, const TLanguageConventions& language) {
    const std::vector<TRange> addresses = FindAddresses(text);
    const bool blanksGroup = language.Groups.find(U' ') != std::u32string::npos;
    std::vector<TNumber> found;
    std::size_t address = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        while (address < addresses.size() && addresses[address].End <= i) ++address;
        if (address < addresses.size() && addresses[address].Begin <= i) {
            i = addresses[address].End - 1;
            continue;
        }
        if (DigitValue(text[i]) < 0) continue;
        TNumber n;
        n.Begin = i;
        n.Groups.emplace_back();
        i = DigitsFrom(text, i, n.Groups.back());
        while (i + 1 < text.size() && IsSeparator(text[i]) && DigitValue(text[i + 1]) >= 0) {
            std::string digits;
            const std::size_t end = DigitsFrom(text, i + 1, digits);
            if (IsSpaceGroup(text[i]) &&
                (digits.size() != 3 || n.Groups[0].size() > 3 || (text[i] == ' ' && !blanksGroup)))
                break;
            n.Separators += IsSpaceGroup(text[i]) ? U' ' : text[i] == 0x2019 ? U'\'' : text[i];
            n.Groups.push_back(std::move(digits));
            i = end;
        }
        n.End = i;
        std::string literal = "L" + n.Groups[0];
        for (std::size_t j = 0; j < n.Separators.size(); ++j)
            literal.append(Utf8(std::u32string(1, n.Separators[j]))).append(n.Groups[j + 1]);
        n.Readings.push_back(std::move(literal));
        const auto addValue = [&](char32_t decimal, const std::u32string& groups) {
            std::string v = Value(n, decimal, groups);
            if (!v.empty()) n.Readings.push_back("V" + v);
        };
        if (language.NumbersKnown) {
            addValue(language.Decimal, language.Groups);
        } else {
            addValue('.', U", \u00A0\u202F\u2009");
            addValue(',', U". \u00A0\u202F\u2009");
        }
        found.push_back(std::move(n));
        --i;
    }
    return found;
}

// Whether text writes the number value out as a word of its language.
bool WritesOut(const TReading& text, const TLanguageConventions& language, int value,
               const std::set<std::u32string>& words) {
    for (const auto& [v, word] : language.NumberWords) {
        if (v != value) continue;
        if (IsUnspacedScript(word[0])) {
            if (text.Chars.find(word) != std::u32string::npos) return true;
        } else if (words.count(word) != 0) {
            return true;
        }
    }
    return false;
}

std::set<std::u32string> FoldedWords(const TReading& text) {
    std::set<std::u32string> out;
    for (const TRange& w : Words(text.Chars)) {
        std::u32string word;
        for (std::size_t i = w.Begin; i < w.End; ++i) word += FoldCase(text.Chars[i]);
        out.insert(std::move(word));
    }
    return out;
}

// Numbers of one side that the other matches in no way; numbers written out by the other side
// are matched (a source's "3 files" as "drei Dateien").
void DropWrittenOut(std::vector<const TNumber*>& left, const TReading& other,
                    const TLanguageConventions& language) {
    if (left.empty() || language.NumberWords.empty()) return;
    const std::set<std::u32string> words = FoldedWords(other);
    std::erase_if(left, [&](const TNumber* n) {
        return n->Separators.empty() && n->Groups[0].size() <= 2 &&
               WritesOut(other, language, std::stoi(n->Groups[0]), words);
    });
}

std::vector<std::string> AllGroups(const std::vector<const TNumber*>& numbers) {
    std::vector<std::string> groups;
    for (const TNumber* n : numbers)
        groups.insert(groups.end(), n->Groups.begin(), n->Groups.end());
    std::sort(groups.begin(), groups.end());
    return groups;
}

}  // namespace

void CheckNumbers(const TPair& pair, TTexts& out) {
    const std::vector<TNumber> source = Numbers(pair.Source.Chars, pair.SourceLanguage);
    const std::vector<TNumber> target = Numbers(pair.Target.Chars, pair.TargetLanguage);
    if (source.empty() && target.empty()) return;
    // Where each reading of the target's numbers stands, first to last.
    std::unordered_map<std::string_view, std::vector<std::size_t>> readings;
    for (std::size_t t = target.size(); t-- > 0;)
        for (const std::string& r : target[t].Readings) readings[r].push_back(t);
    std::vector<bool> taken(target.size()), matched(source.size());
    std::vector<const TNumber*> missing, extra;
    const auto take = [&](std::string_view reading) {
        const auto it = readings.find(reading);
        if (it == readings.end()) return false;
        std::vector<std::size_t>& at = it->second;
        while (!at.empty() && taken[at.back()]) at.pop_back();
        if (at.empty()) return false;
        taken[at.back()] = true;
        at.pop_back();
        return true;
    };
    // Numbers written alike first, so that a number read otherwise takes no partner another needs.
    for (std::size_t s = 0; s < source.size(); ++s) matched[s] = take(source[s].Readings[0]);
    for (std::size_t s = 0; s < source.size(); ++s)
        for (std::size_t k = 1; k < source[s].Readings.size() && !matched[s]; ++k)
            matched[s] = take(source[s].Readings[k]);
    for (std::size_t s = 0; s < source.size(); ++s)
        if (!matched[s]) missing.push_back(&source[s]);
    for (std::size_t t = 0; t < target.size(); ++t)
        if (!taken[t]) extra.push_back(&target[t]);
    DropWrittenOut(missing, pair.Target, pair.TargetLanguage);
    DropWrittenOut(extra, pair.Source, pair.SourceLanguage);
    // A date or a version written in the language's own order of its parts ("12/31/2024" as
    // "31.12.2024") keeps the same runs of digits.
    if (AllGroups(missing) == AllGroups(extra)) return;
    for (const TNumber* n : missing)
        out.push_back(NumberMissing(
            Utf8(std::u32string_view(pair.Source.Chars).substr(n->Begin, n->End - n->Begin))));
    for (const TNumber* n : extra)
        out.push_back(NumberExtra(
            Utf8(std::u32string_view(pair.Target.Chars).substr(n->Begin, n->End - n->Begin))));
}

void CheckAddresses(const TPair& pair, TTexts& out) {
    const auto addresses = [](const TReading& r) {
        std::vector<std::u32string> found;
        for (const TRange& a : FindAddresses(r.Chars))
            found.push_back(r.Chars.substr(a.Begin, a.End - a.Begin));
        return found;
    };
    std::vector<std::u32string> source = addresses(pair.Source), target = addresses(pair.Target);
    if (source.empty() && target.empty()) return;
    for (const std::u32string& a : source) {
        const auto it = std::find(target.begin(), target.end(), a);
        if (it != target.end())
            it->clear();  // matched
        else
            out.push_back(AddressMissing(Utf8(a)));
    }
    for (const std::u32string& a : target)
        if (!a.empty()) out.push_back(AddressExtra(Utf8(a)));
}

}  // namespace quillfen::checks
