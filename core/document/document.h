#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/document/phrasetexts.h"
#include "core/files/buffer.h"
#include "core/files/filestamp.h"
#include "core/files/savefile.h"
#include "core/markup/scan.h"
#include "core/markup/sentences.h"
#include "core/tags.h"
#include "core/text/encoding.h"

namespace quillfen {

// One open page: its bytes as read, what the scan found in them, and the writer that puts the
// phrases back. Nothing but the bytes of a changed phrase ever differs from the page as read.
class TDocument {
  public:
    // Reads and scans the file. Refuses a file holding a zero byte, since everything behind it
    // would be lost on the first save, and a page in an encoding it cannot keep intact. Remembers
    // what the file was, to notice another program's change later. A page whose in-place save
    // was interrupted is not read (TInterruptedSaveError, see ReadPageStamped).
    void LoadFile(const std::string& path, TTags tags, const TProgress& progress = {});
    // The same on bytes already in memory; path only names the file in errors.
    void LoadBytes(std::string_view data, TTags tags, const TProgress& progress = {},
                   const std::string& path = {});
    // The same, cutting the page into units: text runs (as above) or sentences, whose inline
    // tags are placeholders (core/markup/sentences.h). Sentences in a build without them are
    // refused.
    void LoadFile(const std::string& path, TTags tags, TUnits units,
                  const TProgress& progress = {});
    void LoadBytes(std::string_view data, TTags tags, TUnits units, const TProgress& progress = {},
                   const std::string& path = {});
    TUnits Units() const { return units_; }
    // The kinds of phrases the page was read with.
    TTags Tags() const { return tags_; }
    // A sentence's placeholders; empty for other phrases.
    const TPlaceholders& Placeholders(std::size_t i) const;
    // Phrase i's text as it would be written into the page now, in mode.
    std::string EncodedText(std::size_t i, TEncodeMode mode) const;
    // The same, each tag of a sentence's placeholders after what before gives for the offset in
    // Page() where the tag stands (the preview puts the anchors of the phrases inside there).
    using TBeforeTag = std::function<std::string(std::uint32_t tag)>;
    std::string EncodedText(std::size_t i, TEncodeMode mode, const TBeforeTag& before) const;
    void Clear();

    // The page as Save writes it: the bytes as read, each changed phrase's span replaced by its
    // new text with the encode table applied. A Windows-1252 page that would read as UTF-8 once
    // its umlauts are entities keeps them as bytes.
    std::string Render() const;
    // The page with every phrase written anew from its text, as a recombination of the
    // exported files gives it.
    std::string RenderAllPhrases() const;
    // Writes Render() to path safely and remembers what the file now is. When path is the file
    // this document read or last wrote, under whatever name, and another program has changed it
    // since, nothing is written (ChangedWhileReadError). Hooks are for tests.
    void Save(const std::string& path, const TSaveHooks* hooks = nullptr);
    // Whether the file at path holds other bytes than this document read or last wrote there.
    // False for a document that came from memory.
    bool ChangedOnDisk(const std::string& path) const;

    // The template file: the page with each phrase's span replaced by its marker, starting with
    // the page's byte-order mark; a sentence's marker followed by the table of its placeholders,
    // which holds the markers of the phrases inside the sentence (core/document/format.h).
    std::string TemplateBytes() const;
    // The same, giving where each marker starts in it, in phrase order.
    std::string TemplateBytes(std::vector<std::size_t>* markers) const;

    // Replaces phrase i's text. A text equal to the one the scan found leaves the phrase's bytes
    // as they were. A sentence's text must hold its placeholders (CheckPlaceholders), and a CDATA
    // section's text must be one the section can hold (CdataBytes, and no other charset declared
    // for the page); a text that is not is refused and nothing changes.
    void SetPhraseText(std::size_t i, std::string text);
    bool IsChanged(std::size_t i) const { return changed_.Find(i) != TPhraseTexts::npos; }
    // How many phrases read otherwise than the scan found them.
    std::size_t ChangedCount() const { return changed_.Size(); }
    // The k-th of them, in phrase order.
    std::size_t ChangedPhrase(std::size_t k) const { return changed_.Phrase(k); }
    // Raises the error of a text that phrase i cannot take: a sentence's that does not hold its
    // placeholders, a CDATA section's that the section cannot hold.
    void CheckText(std::size_t i, std::string_view text) const;
    // The text the scan found for phrase i.
    std::string OriginalText(std::size_t i) const;

    // One step of the history: phrases replaced together. It keeps for each phrase the text the
    // phrase does not have now (the one before the step while the step is in effect, the one
    // after it once it is undone), so that undoing or redoing it swaps the two; a phrase whose
    // other text is the one the scan found costs only its number, or nothing within a run of such
    // phrases, so that a merge that changes every phrase of a page is recorded without a copy of
    // its texts.
    class TStep {
      public:
        // The step's phrases, in page order.
        std::vector<std::size_t> Phrases() const;

      private:
        friend class TDocument;
        TPhraseTexts texts_;
        // Runs [first, last] of the phrases whose other text is the scan's, in page order.
        std::vector<std::pair<std::uint32_t, std::uint32_t>> scanned_;
    };
    // The save that puts a change of the texts into the page's file; it throws when it fails.
    using TWrite = std::function<void()>;

    // The history of the user's replacements, one step per confirmed batch; every load starts a
    // new one. Each of these changes the texts and the history and then runs write, once; when
    // write throws, texts and history are put back exactly as they were and the error goes on.
    // The policy of what may be replaced, and with what, is core/document/editing's
    // (ReplacePhrases). Record makes the texts (phrase to new text, each phrase once) one step,
    // each phrase's text before it taken from the document.
    void Record(TPhraseTexts texts, const TWrite& write);
    bool CanUndo() const { return done_ > 0; }
    bool CanRedo() const { return done_ < history_.size(); }
    bool CanRevert() const { return !changed_.Empty(); }
    // Puts back the texts of the last step, or sets those of the step undone last; gives the
    // step, valid until the history changes.
    const TStep& Undo(const TWrite& write);
    const TStep& Redo(const TWrite& write);
    // Every phrase back to what was read; the history starts anew.
    void Revert(const TWrite& write);
    // The step Undo or Redo would take; null when there is none.
    const TStep* StepToUndo() const { return done_ > 0 ? &history_[done_ - 1] : nullptr; }
    const TStep* StepToRedo() const { return done_ < history_.size() ? &history_[done_] : nullptr; }

    // How Render writes the changed phrases: Entities, or, for a Windows-1252 page that would
    // read as UTF-8 so, KeepCharacters or References.
    TEncodeMode SavingMode() const;
    TPageEncoding Encoding() const { return encoding_.kind; }
    const TEncodingInfo& EncodingInfo() const { return encoding_; }
    // The bytes in front of the scanned page: its byte-order mark (and, rarely, blanks before
    // it); empty if none.
    const std::string& Bom() const { return bom_; }
    // The file's bytes as read.
    const std::string& Bytes() const { return data_; }
    // The scanned part of the page: Bytes() without Bom(). Spans are offsets into it.
    std::string_view Page() const { return std::string_view(data_).substr(bom_.size()); }
    const std::vector<TPhraseSpan>& Spans() const { return spans_; }
    std::size_t PhraseCount() const { return spans_.size(); }
    // Phrase i's text as it stands now (the scan's or the one set since); valid until the
    // document changes.
    std::string_view Text(std::size_t i) const;
    TKind Kind(std::size_t i) const;
    // The note the page's author left for the translator of phrase i; empty if none.
    std::string_view Note(std::size_t i) const;
    bool IsPreformatted(std::size_t i) const { return spans_[i].Source == TSource::Line; }
    // Phrase i as a whole, a copy.
    TTextItem Phrase(std::size_t i) const;
    // Every phrase, copied: for tests and small pages; the program reads them one by one.
    std::vector<TTextItem> Phrases() const;
    std::uint64_t TotalWords() const;
    // The words of text read as phrase i's (a sentence's placeholders are no words).
    std::uint64_t WordsOf(std::size_t i, std::string_view text) const;
    // The quote a value without quotes gets when its new text needs them.
    char NewValueQuote() const { return '"'; }

  private:
    std::string RenderWith(TEncodeMode mode, bool all = false) const;
    // Render() made part by part, the page's unchanged stretches as they lie and each new text
    // as it is encoded, for a save that writes them without putting the page together.
    class TRender;
    // Whether the save may write the parts of render as they come: not where only the whole new
    // page tells how to write it (see ReadsOtherwise, core/document/spanwriter.h).
    bool WritesAsRendered(const TPieces& render) const;
    // The page with new texts written in the first mode with which it reads in its own encoding,
    // and that mode.
    std::pair<TEncodeMode, std::string> RenderReadingAlike(bool all) const;
    void Load(std::string&& data, TTags tags, const TProgress& progress, const std::string& path,
              TUnits units = TUnits::Runs);
    // The bytes of phrase k's new text; a sentence's tags as they stand, with the texts of the
    // phrases inside them (all: every phrase written anew).
    std::string EncodePhrase(std::size_t k, std::string_view text, TEncodeMode mode,
                             bool all = false, const TBeforeTag* before = nullptr) const;
    // Raises CdataTextError where the page with the new texts as they stand would not be written:
    // a Windows-1252 page that would read as UTF-8 unless its CDATA sections' characters were
    // references, which such a section cannot hold.
    void CheckWritable() const;
    // Appends the table of sentence k's placeholders to a template; gives the first phrase
    // behind the sentence.
    std::size_t AppendSentenceTable(std::string& out, std::size_t k,
                                    std::vector<std::size_t>* markers) const;

    std::string data_;  // the file's bytes
    // The phrases, kept small: a large page of short phrases would otherwise cost several times
    // its own size. A phrase's text is read from the page where it is its span's bytes as they
    // stand; the others' texts lie in texts_, phrase i's ending at textEnds_[i].
    std::vector<TPhraseSpan> spans_;
    enum : std::uint8_t {
        kKindBits = 7,  // the phrase's TKind
        kLeadingSpace = 8,
        kTrailingSpace = 16,
        kInPage = 32,
    };
    static_assert(kKindCount <= kKindBits + 1);
    std::vector<std::uint8_t> flags_;
    std::vector<std::uint32_t> textEnds_;
    std::string texts_;
    // The notes of the phrases that have one: (phrase, index into notes_), by phrase.
    std::vector<std::string> notes_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> notedPhrases_;
    TUnits units_ = TUnits::Runs;
    TTags tags_ = TTags::None;
    // The placeholders of the sentences that have any, by phrase, in phrase order.
    std::vector<std::pair<std::size_t, TPlaceholders>> placeholders_;
    std::string_view ScannedText(std::size_t i) const;
    // Phrases whose text differs from what the scan found, with their texts.
    TPhraseTexts changed_;
    // Gives the phrases of step the texts it keeps, and it the texts they had.
    void Apply(TStep& step);
    // Undo or Redo.
    const TStep& Step(bool redo, const TWrite& write);
    std::vector<TStep> history_;
    std::size_t done_ = 0;  // the steps history_[0, done_) are in effect
    std::optional<TFileStamp> stamp_;
    std::string stampPath_;  // the file stamp_ describes, as it was named
    TEncodingInfo encoding_;
    std::string bom_;
};

}  // namespace quillfen
