#include "memory/matching.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>

#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>
#include <utility>

#include "core/files/filestamp.h"
#include "core/markup/sentences.h"
#include "core/text/utf8.h"

namespace quillfen {

namespace {

// One iterator per thread: making one costs far more than a text's tokens.
icu::BreakIterator& WordBreaker() {
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> made(
            icu::BreakIterator::createWordInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status) || !made) throw std::runtime_error("ICU has no word break rules");
        return made;
    }();
    return *iterator;
}

TToken HashToken(std::string_view bytes) { return static_cast<TToken>(HashBytes(bytes)); }

// Whether a segment ICU cut holds only white space (blanks of any script, the no-break space).
bool OnlyWhiteSpace(std::string_view segment) {
    for (std::size_t i = 0; i < segment.size();) {
        char32_t c = 0;
        const std::size_t n = Utf8CharAt(segment, i, c);
        if (n == 0) return false;  // a stray byte is something
        if (!u_isUWhiteSpace(static_cast<UChar32>(c))) return false;
        i += n;
    }
    return true;
}

TToken WordToken(std::string_view segment, std::string& folded) {
    folded.clear();
    bool ascii = true;
    for (const char c : segment) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        for (char c : segment) folded += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    } else {
        icu::UnicodeString::fromUTF8(
            icu::StringPiece(segment.data(), static_cast<std::int32_t>(segment.size())))
            .foldCase()
            .toUTF8String(folded);
    }
    return HashToken(folded);
}

// The letters of a placeholder's name: its element ("b" of "b12").
std::string_view Element(std::string_view name) {
    std::size_t n = name.size();
    while (n > 0 && name[n - 1] >= '0' && name[n - 1] <= '9') --n;
    return name.substr(0, n);
}

TToken PlaceholderToken(const TSentencePiece& piece) {
    std::string shape(1, '\x01');
    shape += piece.kind == TSentencePiece::Close ? "</" : "<";
    shape += Element(piece.text);
    if (piece.kind == TSentencePiece::Void) shape += "/";
    return HashToken(shape);
}

void AddWords(std::string_view literal, TAnalysis& out, std::string& words, std::string& folded) {
    UErrorCode status = U_ZERO_ERROR;
    UText* text =
        utext_openUTF8(nullptr, literal.data(), static_cast<std::int64_t>(literal.size()), &status);
    if (U_FAILURE(status)) throw std::runtime_error("ICU cannot read a text");
    icu::BreakIterator& breaker = WordBreaker();
    breaker.setText(text, status);
    std::int32_t from = breaker.first();
    for (std::int32_t to = breaker.next(); to != icu::BreakIterator::DONE;
         from = to, to = breaker.next()) {
        const std::string_view segment =
            literal.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
        if (OnlyWhiteSpace(segment)) continue;
        const TToken token = WordToken(segment, folded);
        out.Tokens.push_back(token);
        words.append(reinterpret_cast<const char*>(&token), sizeof token);
    }
    // The iterator keeps no pointer into a closed text.
    breaker.setText(icu::UnicodeString());
    utext_close(text);
}

// The edit distance of a and b when it is at most k, else k + 1: only the band of cells within k
// of the diagonal can hold less.
std::size_t BoundedDistance(const std::vector<TToken>& a, const std::vector<TToken>& b,
                            std::size_t k) {
    const std::size_t n = a.size(), m = b.size(), big = k + 1;
    thread_local std::vector<std::size_t> previous, current;
    previous.assign(m + 1, big);
    current.assign(m + 1, big);
    for (std::size_t j = 0; j <= m && j <= k; ++j) previous[j] = j;
    for (std::size_t i = 1; i <= n; ++i) {
        const std::size_t lo = i > k ? i - k : 0, hi = std::min(m, i + k);
        if (lo > 0) current[lo - 1] = big;
        std::size_t best = big;
        for (std::size_t j = lo; j <= hi; ++j) {
            std::size_t d;
            if (j == 0) {
                d = i;
            } else {
                d = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
                d = std::min(d, previous[j] + 1);
                d = std::min(d, current[j - 1] + 1);
            }
            current[j] = std::min(d, big);
            best = std::min(best, current[j]);
        }
        if (hi < m) current[hi + 1] = big;
        if (best > k) return big;
        std::swap(previous, current);
    }
    return std::min(previous[m], big);
}

}  // namespace

TAnalysis AnalyseText(std::string_view text) {
    TAnalysis out;
    std::string words, folded;
    for (const TSentencePiece& piece : SentencePieces(text)) {
        if (piece.kind == TSentencePiece::Literal)
            AddWords(piece.text, out, words, folded);
        else
            out.Tokens.push_back(PlaceholderToken(piece));
    }
    out.WordsKey = HashBytes(words);
    return out;
}

int FuzzyScore(const std::vector<TToken>& a, const std::vector<TToken>& b, int atLeast) {
    atLeast = std::clamp(atLeast, 1, 100);
    const std::size_t longer = std::max(a.size(), b.size());
    if (longer == 0) return 100;
    // score >= atLeast exactly when d <= longer - ceil(atLeast * longer / 100).
    const std::size_t need = (static_cast<std::size_t>(atLeast) * longer + 99) / 100;
    const std::size_t k = longer - need;
    const std::size_t shorter = std::min(a.size(), b.size());
    if (longer - shorter > k) return -1;
    const std::size_t d = BoundedDistance(a, b, k);
    if (d > k) return -1;
    return static_cast<int>(100 * (longer - d) / longer);
}

int PlaceholdersThatDiffer(std::string_view a, const std::vector<TToken>& aTokens,
                           std::string_view b, const std::vector<TToken>& bTokens) {
    std::map<std::pair<std::string, bool>, int> count;  // (element, paired): a's less b's
    for (const TSentencePiece& piece : SentencePieces(a))
        if (piece.kind == TSentencePiece::Open || piece.kind == TSentencePiece::Void)
            ++count[{std::string(Element(piece.text)), piece.kind == TSentencePiece::Open}];
    for (const TSentencePiece& piece : SentencePieces(b))
        if (piece.kind == TSentencePiece::Open || piece.kind == TSentencePiece::Void)
            --count[{std::string(Element(piece.text)), piece.kind == TSentencePiece::Open}];
    int onlyA = 0, onlyB = 0;
    for (const auto& [key, n] : count) (n > 0 ? onlyA : onlyB) += n > 0 ? n : -n;
    const int differ = std::max(onlyA, onlyB);
    if (differ == 0 && aTokens != bTokens) return 1;
    return differ;
}

int MatchScore(std::string_view query, const TAnalysis& queryAnalysis, std::string_view source,
               const std::vector<TToken>& sourceTokens, std::uint64_t sourceWordsKey, bool context,
               int atLeast) {
    int score = -1;
    if (source == query) {
        score = context ? kInContextScore : kExactScore;
    } else if (sourceWordsKey == queryAnalysis.WordsKey) {
        // The same words: a token distance of 0 here is no exact match.
        score = std::max(0, kNearExactScore - PlaceholdersThatDiffer(query, queryAnalysis.Tokens,
                                                                     source, sourceTokens));
    } else {
        score = FuzzyScore(queryAnalysis.Tokens, sourceTokens, std::min(atLeast, 100));
    }
    return score >= atLeast ? score : -1;
}

std::string FitToPhrase(std::string_view target, std::string_view unitSource,
                        std::string_view phrase, std::vector<std::string>* dropped) {
    // The placeholders of each element and shape, in the order they open.
    using TKey = std::pair<std::string, bool>;
    auto opened = [](std::string_view text) {
        std::map<TKey, std::vector<std::string>> names;
        for (const TSentencePiece& piece : SentencePieces(text))
            if (piece.kind == TSentencePiece::Open || piece.kind == TSentencePiece::Void)
                names[{std::string(Element(piece.text)), piece.kind == TSentencePiece::Open}]
                    .push_back(piece.text);
        return names;
    };
    const auto sourceNames = opened(unitSource);
    auto phraseNames = opened(phrase);
    std::map<std::string, std::string> renamed;  // the unit's name: the phrase's
    for (const auto& [key, names] : sourceNames) {
        const auto& theirs = phraseNames[key];
        for (std::size_t k = 0; k < names.size() && k < theirs.size(); ++k)
            renamed.emplace(names[k], theirs[k]);
    }

    std::string out, literal;
    auto flush = [&](bool placeholderFollows) {
        AppendSentenceLiteral(out, literal, placeholderFollows);
        literal.clear();
    };
    for (const TSentencePiece& piece : SentencePieces(target)) {
        if (piece.kind == TSentencePiece::Literal) {
            literal += piece.text;
            continue;
        }
        const auto it = renamed.find(piece.text);
        if (it == renamed.end()) {
            if (dropped && piece.kind != TSentencePiece::Close) dropped->push_back(piece.written);
            continue;
        }
        flush(true);
        const std::string& name = it->second;
        out += piece.kind == TSentencePiece::Close  ? "</" + name + ">"
               : piece.kind == TSentencePiece::Void ? "<" + name + "/>"
                                                    : "<" + name + ">";
    }
    flush(false);
    return out;
}

namespace {

std::size_t LengthBand(std::size_t tokens) {
    std::size_t band = std::min<std::size_t>(tokens, 8), high = 8;
    while (tokens > high) {
        high += std::max<std::size_t>(1, high / 4);
        ++band;
    }
    return band;
}

TToken BandToken(std::size_t band) {
    // Appended rather than added to a literal: GCC 12 warns of an overlap it imagines there.
    std::string name(1, '\x02');
    name += std::to_string(band);
    return HashToken(name);
}

}  // namespace

TToken LengthToken(std::size_t tokens) { return BandToken(LengthBand(tokens)); }

std::vector<TToken> LengthTokens(std::size_t n, int least) {
    least = std::clamp(least, 1, 100);
    const std::size_t shortest = (n * static_cast<std::size_t>(least) + 99) / 100;
    const std::size_t longest = n * 100 / static_cast<std::size_t>(least);
    std::vector<TToken> tokens;
    for (std::size_t band = LengthBand(shortest); band <= LengthBand(longest); ++band)
        tokens.push_back(BandToken(band));
    return tokens;
}

void AppendIndexTerm(std::string& out, TToken token) {
    static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz234567";
    for (int k = 0; k < 7; ++k, token >>= 5) out += kDigits[token & 31];
}

}  // namespace quillfen
