#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/document/document.h"

namespace quillfen {

// Every change the user makes to an open page goes through here, from the window and from
// quillfen-cli alike: which texts a phrase may take, how a typed text is cleaned, that a batch of
// replacements is written once and undone as one, and that a failed write changes nothing.

// One replacement the user confirmed: phrase (from 0) is to read text, as typed.
struct TPhraseChange {
    std::size_t Phrase;
    std::string Text;
};

// A typed text as it becomes phrase i's: the blanks at its edges go and, unless the phrase is a
// line of a preformatted block, runs of blanks become one (an i beyond the page's phrases is no
// such line).
std::string CleanedText(const TDocument& doc, std::size_t i, std::string_view typed);

// Whether a cleaned text can be a phrase: it holds something besides blanks and tabs.
bool IsPhraseText(std::string_view cleaned);

// The text typed for phrase i as it would become the phrase's, cleaned, once checked as
// ReplacePhrases checks it (the errors below, a sentence's placeholders, what a CDATA section
// cannot hold).
std::string CheckedText(const TDocument& doc, std::size_t i, std::string_view typed);

// write saves the document (TDocument::Save to the page's path, with whatever the caller adds
// around it); each command below runs it exactly once, or not at all when there is nothing to
// write, and a write that throws leaves the document's texts and history as they were before the
// command, the error going on.
using TWrite = TDocument::TWrite;

// Replaces the phrases by the texts, cleaned, and writes the page once; the batch is one
// step of the history. Every change is checked before any is made: a phrase that does not exist
// (NoSuchPhraseError), a text with a line break or a zero character (PhraseTextBreaksLineError),
// one that is no phrase once cleaned (EmptyPhraseTextError); these count phrases from 1. Of
// several changes of one phrase the last counts. A text equal to the phrase's current one is no
// change; with no change at all nothing is written and no step recorded, and the result is false.
bool ReplacePhrases(TDocument& doc, const std::vector<TPhraseChange>& changes, const TWrite& write);

// The same with texts that CheckedText gave, by phrase (of several for one phrase the last).
bool ReplaceCheckedPhrases(TDocument& doc, TPhraseTexts texts, const TWrite& write);

// Undoes or redoes the last step, or puts every phrase back as it was read (the history starts
// anew), and writes the page. Undo and Redo give the step's phrases in page order, the first of
// them the one to show; with nothing to undo or redo they write nothing and give none.
std::vector<std::size_t> UndoReplacement(TDocument& doc, const TWrite& write);
std::vector<std::size_t> RedoReplacement(TDocument& doc, const TWrite& write);
void RevertPage(TDocument& doc, const TWrite& write);

}  // namespace quillfen
