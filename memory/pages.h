#pragma once

// The memory and an open page: the texts and context the memory keeps of a phrase, the language
// pair a page's translations go under, and the record of a confirmed replacement, which the page
// session, quillfen-cli's save --set and a merge make.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/document/document.h"
#include "memory/memory.h"

namespace quillfen {

// Phrase i's text (as it stands, or another text for it) in the form the memory keeps: a
// sentence's as it is, a run's escaped so that no part of it reads as a placeholder.
std::string MemoryText(const TDocument& doc, std::size_t i);
std::string MemoryText(const TDocument& doc, std::size_t i, std::string_view text);
// A text of the memory (a match's, fitted) as phrase i takes it: a sentence's as it is, a run's
// without placeholders, its escapes resolved.
std::string PhraseTextOf(const TDocument& doc, std::size_t i, std::string_view memoryText);

// The page's name as a unit's context keeps it: the file's name without its folder.
std::string PageName(std::string_view path);
// Where phrase i stands: the page's name and the texts the page had, as read, just before and
// after it.
TContext PhraseContext(const TDocument& doc, std::size_t i, std::string_view pageName);
// The tags of phrase i's placeholders, UTF-8, as TUnit::Codes keeps them; empty for a phrase
// without placeholders.
std::string PhraseCodes(const TDocument& doc, std::size_t i);

// The language pair of a page's translations: the page's own language (its root's lang), else
// source; target. Throws UnknownLanguageError when one is not known, LanguageTagError for an
// option that is no tag.
TLanguagePair PageLanguages(const TDocument& doc, std::string_view source, std::string_view target);

// A confirmed replacement: phrase (from 0) read before and now reads after, both as the phrase's
// texts (a sentence's in its textual form).
struct TReplacement {
    std::size_t Phrase;
    std::string Before, After;
};
// The unit that remembers it.
TUnit UnitOfReplacement(const TDocument& doc, const TReplacement& replacement,
                        const TLanguagePair& languages, TOrigin origin, std::string_view pageName);
// Stores replacements confirmed together, in one transaction; a replacement that changes
// nothing, or leaves an empty text, is none.
void RecordReplacements(TMemory& memory, const TDocument& doc,
                        const std::vector<TReplacement>& replacements,
                        const TLanguagePair& languages, TOrigin origin, std::string_view pageName);

}  // namespace quillfen
