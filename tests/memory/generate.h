#pragma once

// Memories made of real sentences: the sentences of the corpus pages (tests/data/pages), each
// also mutated word by word, the way the next version of a page differs from the last. For the
// recall test and the benchmark.

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/document/document.h"
#include "core/markup/scan.h"
#include "core/markup/sentences.h"
#include "memory/memory.h"
#include "memory/pages.h"
#include "tests/support/files.h"

namespace quillfen::testing {

// Every sentence of the corpus with at least four words, in the textual form, once each.
inline std::vector<std::string> CorpusSentences() {
    std::set<std::string> seen;
    std::vector<std::string> out;
    for (const auto& page : CorpusPages()) {
        TDocument doc;
        doc.LoadFile(page.string(), TTags::Default, TUnits::Sentences);
        for (std::size_t i = 0; i < doc.PhraseCount(); ++i) {
            if (doc.Kind(i) != TKind::Text) continue;
            std::string text = MemoryText(doc, i);
            if (CountWords(TextWithoutPlaceholders(text)) < 4) continue;
            if (seen.insert(text).second) out.push_back(std::move(text));
        }
    }
    return out;
}

// text changed in one to three words (a word dropped, doubled, swapped with its neighbour,
// replaced by one of words, or its case changed); placeholders stay as they are.
inline std::string Mutate(const std::string& text, const std::vector<std::string>& words,
                          std::mt19937& random) {
    std::vector<std::string> parts;
    for (std::size_t from = 0; from <= text.size();) {
        const std::size_t to = std::min(text.find(' ', from), text.size());
        parts.push_back(text.substr(from, to - from));
        from = to + 1;
    }
    auto plain = [&](std::size_t k) {
        return !parts[k].empty() && parts[k].find_first_of("<\\") == std::string::npos;
    };
    const int edits = 1 + static_cast<int>(random() % 3);
    for (int e = 0; e < edits && parts.size() > 2; ++e) {
        const std::size_t k = random() % parts.size();
        if (!plain(k)) continue;
        switch (random() % 5) {
            case 0:
                parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(k));
                break;
            case 1:
                parts.insert(parts.begin() + static_cast<std::ptrdiff_t>(k), parts[k]);
                break;
            case 2:
                if (k + 1 < parts.size() && plain(k + 1)) std::swap(parts[k], parts[k + 1]);
                break;
            case 3:
                parts[k] = words[random() % words.size()];
                break;
            default:
                if (parts[k][0] >= 'a' && parts[k][0] <= 'z') parts[k][0] -= 32;
                break;
        }
    }
    std::string out;
    for (const std::string& part : parts) out += (out.empty() ? "" : " ") + part;
    return out;
}

// The plain words of sentences, for mutations.
inline std::vector<std::string> WordsOf(const std::vector<std::string>& sentences) {
    std::vector<std::string> words;
    for (const std::string& s : sentences)
        for (std::size_t from = 0; from < s.size();) {
            const std::size_t to = std::min(s.find(' ', from), s.size());
            const std::string word = s.substr(from, to - from);
            if (!word.empty() && word.find_first_of("<\\") == std::string::npos)
                words.push_back(word);
            from = to + 1;
        }
    return words;
}

// count units of en to de: the corpus's sentences and mutations of them, each with a target
// of its own.
inline std::vector<TUnit> GenerateUnits(std::size_t count, std::uint32_t seed,
                                        const std::vector<std::string>& sentences,
                                        const std::vector<std::string>& words) {
    std::mt19937 random(seed);
    std::vector<TUnit> units;
    units.reserve(count);
    for (std::size_t k = 0; units.size() < count; ++k) {
        TUnit unit;
        const std::string& base = sentences[k % sentences.size()];
        unit.Source = k < sentences.size() ? base : Mutate(base, words, random);
        unit.Target = "[de " + std::to_string(k) + "] " + unit.Source;
        unit.Languages = {"en", "de"};
        unit.Origin = TOrigin::Import;
        unit.Time = 1700000000 + static_cast<std::int64_t>(k);
        units.push_back(std::move(unit));
    }
    return units;
}

}  // namespace quillfen::testing
