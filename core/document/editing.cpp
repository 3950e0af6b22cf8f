#include "core/document/editing.h"

#include <map>

#include "core/errors.h"
#include "core/textitem.h"

namespace quillfen {

namespace {

std::vector<std::size_t> PhrasesOf(const TDocument::TStep& step) { return step.Phrases(); }

}  // namespace

std::string CleanedText(const TDocument& doc, std::size_t i, std::string_view typed) {
    return NormaliseEntry(typed, i < doc.PhraseCount() && doc.IsPreformatted(i));
}

bool IsPhraseText(std::string_view cleaned) {
    return cleaned.find_first_not_of(" \t") != std::string_view::npos;
}

std::string CheckedText(const TDocument& doc, std::size_t i, std::string_view typed) {
    if (i >= doc.PhraseCount()) throw NoSuchPhraseError(i + 1, doc.PhraseCount());
    // A line break would split the phrase's line of the text file, and a zero byte end the
    // page when it is read again.
    // By hand: find_first_of asks memchr for each byte, which a merge of every phrase feels.
    for (const char c : typed)
        if (c == '\r' || c == '\n' || c == '\0') throw PhraseTextBreaksLineError(i + 1);
    std::string cleaned = CleanedText(doc, i, typed);
    if (!IsPhraseText(cleaned)) throw EmptyPhraseTextError(i + 1);
    doc.CheckText(i, cleaned);
    return cleaned;
}

bool ReplacePhrases(TDocument& doc, const std::vector<TPhraseChange>& changes,
                    const TWrite& write) {
    std::map<std::size_t, std::string> typed;
    for (const TPhraseChange& change : changes) typed[change.Phrase] = change.Text;
    TPhraseTexts texts;
    for (const auto& [i, text] : typed) texts.Add(i, CheckedText(doc, i, text));
    return ReplaceCheckedPhrases(doc, std::move(texts), write);
}

bool ReplaceCheckedPhrases(TDocument& doc, TPhraseTexts texts, const TWrite& write) {
    texts.Sort();
    texts.Filter([&](std::size_t i, std::string_view text) { return text != doc.Text(i); });
    if (texts.Empty()) return false;
    doc.Record(std::move(texts), write);
    return true;
}

std::vector<std::size_t> UndoReplacement(TDocument& doc, const TWrite& write) {
    if (!doc.CanUndo()) return {};
    return PhrasesOf(doc.Undo(write));
}

std::vector<std::size_t> RedoReplacement(TDocument& doc, const TWrite& write) {
    if (!doc.CanRedo()) return {};
    return PhrasesOf(doc.Redo(write));
}

void RevertPage(TDocument& doc, const TWrite& write) { doc.Revert(write); }

}  // namespace quillfen
