#pragma once

// Texts by phrase, kept compact. A merge of a translated file may change every phrase of a page
// of millions of short phrases, and a map of strings costs several times the texts: here each
// entry costs its phrase's number, where its text ends, and the text's bytes. The texts together
// hold at most MaxBytes (std::length_error beyond), as a page's phrases do.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillfen {

class TPhraseTexts {
  public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    static constexpr std::size_t MaxBytes = 0xFFFFFFFFu;

    TPhraseTexts() = default;
    TPhraseTexts(std::initializer_list<std::pair<std::size_t, std::string_view>> entries) {
        for (const auto& [phrase, text] : entries) Add(phrase, text);
    }

    // Appends an entry. Entries added in ascending phrase order are sorted already; others are
    // sorted by Sort.
    void Add(std::size_t phrase, std::string_view text);
    std::size_t Size() const { return phrases_.size(); }
    bool Empty() const { return phrases_.empty(); }
    std::size_t Phrase(std::size_t k) const { return phrases_[k]; }
    std::string_view Text(std::size_t k) const {
        const std::size_t from = k == 0 ? 0 : ends_[k - 1];
        return std::string_view(texts_).substr(from, ends_[k] - from);
    }
    // The bytes of all texts together.
    std::size_t TextBytes() const { return texts_.size(); }

    // Room for entries and their texts' bytes, so that a large batch does not grow by copies;
    // room not filled costs no memory where the system hands out pages as they are written.
    void Reserve(std::size_t entries, std::size_t bytes) {
        phrases_.reserve(entries);
        ends_.reserve(entries);
        texts_.reserve(bytes);
    }

    // Whether the entries stand in ascending phrase order, each phrase once.
    bool IsSorted() const { return sorted_; }
    // Puts the entries in ascending phrase order; of several entries for one phrase the last
    // added stays.
    void Sort();
    // The entry of phrase, or npos; the entries must be sorted.
    std::size_t Find(std::size_t phrase) const;

    // Sets phrase's text, or with erase removes its entry; keeps the entries sorted. Cheap at the
    // end, as a loop over the phrases sets them; elsewhere it moves what stands behind.
    void Set(std::size_t phrase, std::string_view text);
    void Erase(std::size_t phrase);
    // Keeps only the entries for which keep(phrase, text) holds.
    template <class Keep>
    void Filter(Keep keep) {
        // Copied only from the first entry that goes.
        std::size_t first = 0;
        while (first < Size() && keep(Phrase(first), Text(first))) ++first;
        if (first == Size()) return;
        TPhraseTexts kept;
        for (std::size_t k = 0; k < Size(); ++k)
            if (k < first || (k > first && keep(Phrase(k), Text(k)))) kept.Add(Phrase(k), Text(k));
        *this = std::move(kept);
    }
    void Clear() { *this = TPhraseTexts(); }

  private:
    std::vector<std::uint32_t> phrases_;
    std::vector<std::uint32_t> ends_;  // entry k's text is texts_[ends_[k - 1], ends_[k])
    std::string texts_;
    bool sorted_ = true;
};

}  // namespace quillfen
