#pragma once

// Where ICU's sentence breaker ends a sentence and a reader does not: after an abbreviation of
// the text's language. Each language has ICU's list of abbreviations (German not: it holds
// ordinary words) and a list of our own, above all the abbreviations that introduce what follows
// ("e.g.", "z. B.", "p. ex."), which never end a sentence.
//
// An abbreviation counts only as whole words: "L." holds no break after "URL.", "S." none after
// "U.S.", and one of several words ("z. B.") only with all of them, however many blanks stand
// between them. ICU's own filter matches the end of any word and misses an abbreviation whose
// last part is no abbreviation of its own, so this one takes its place.
//
// Built with ICU only (its lists and its character properties).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillfen {

class TAbbreviations {
  public:
    // The abbreviations of a language: locale is ICU's name of it ("de", "fr_CA"), language its
    // language alone; both empty for a text that names no language.
    TAbbreviations(const std::string& locale, const std::string& language);

    // Whether the sentence ICU's breaker ends right before text[at] (a UTF-8 text, which may
    // hold bytes that are no UTF-8) goes on: the text before it, blanks aside, ends with an
    // abbreviation, or with the first words of one whose last words follow.
    bool HoldsBreak(std::string_view text, std::size_t at) const;

  private:
    struct TKey {
        std::uint32_t entry;  // in entries_
        std::uint32_t index;  // the word's place in its entry
    };
    std::string_view Word(const TKey& key) const { return entries_[key.entry][key.index]; }
    bool Before(const std::vector<std::string>& words, std::size_t index, std::string_view text,
                std::size_t start) const;
    bool After(const std::vector<std::string>& words, std::size_t index, std::string_view text,
               std::size_t end, std::size_t at) const;
    void Add(std::string_view abbreviation);
    void Index();

    std::vector<std::vector<std::string>> entries_;  // each abbreviation's words
    std::vector<TKey> keys_;                         // every word of every entry, sorted
    std::size_t longest_ = 0;                        // the longest word's bytes
    bool lastBytes_[256] = {};                       // the bytes words end with
};

}  // namespace quillfen
