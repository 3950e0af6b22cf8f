#pragma once

// One page as a translator works on it, the same for the window and quillfen-cli: opening it
// (with the recovery of a save cut short), confirming typed texts, drafts, which phrase comes
// next, undo and redo, and noticing another program's change. The front ends show what it
// reports and ask the user where it says a question is due; no rule of the work lives in them.

#include <cstddef>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/document/document.h"
#include "core/document/editing.h"
#include "exchange/formats.h"
#include "exchange/merge.h"
#include "session/findings.h"
#include "session/hooks.h"

namespace quillfen {

// Which phrases Enter, the page keys and find go to.
enum class TPhraseFilter { All, Unchanged, Changed, WithFindings };

// Whether text holds a letter or a digit of any script: "|", "." and "»" hold none.
bool HasLetterOrDigit(std::string_view utf8);

class TPageSession {
  public:
    // --- the page ---------------------------------------------------------------------------
    // Reads the page at path cut into phrases as tags and units say. A page that cannot be read
    // raises and leaves the page open before, if any, open and untouched; a new page starts
    // with no drafts.
    void Open(const std::string& path, TTags tags, TUnits units, const TProgress& progress = {}) {
        Adopt(Read(path, tags, units, progress), path);
    }
    // Open in two steps, for a front end that shows the page while it is read and must know
    // when the one it shows is replaced: the page read, raising as Open does; then the page
    // read from path made the open one.
    static TDocument Read(const std::string& path, TTags tags, TUnits units,
                          const TProgress& progress = {});
    void Adopt(TDocument&& page, const std::string& path);
    // Reads the open page again as it now stands on disk, cut as before.
    void Reload(const TProgress& progress = {}) {
        Open(path_, doc_.Tags(), doc_.Units(), progress);
    }
    // Nothing can be written to the page any more and its drafts are gone; its phrases stay
    // readable, as the window keeps showing them until another page is opened.
    void Close();
    // Closes the page and lets go of it.
    void Forget();
    bool IsOpen() const { return open_; }
    // The page open, or the last one tried.
    const std::string& Path() const { return path_; }
    const TDocument& Document() const { return doc_; }
    std::size_t PhraseCount() const { return doc_.PhraseCount(); }

    // When a page could not be opened because a save of it was cut short while it overwrote the
    // page, the copy of its old bytes that putting them back would restore; nullopt for any
    // other failure, and for a page another program wrote since (which bytes to keep is then
    // the user's to decide, and the error names both files).
    static std::optional<std::string> RecoverableBackup(const std::exception_ptr& failure);
    // Puts the old bytes of such a page back.
    static void Recover(const std::string& page);

    // Whether another program has changed the page since it was read or written here; then
    // nothing may be written until it is read again.
    bool ChangedOnDisk() const;

    // --- confirming a text ------------------------------------------------------------------
    // A typed text as it becomes phrase i's (blanks cleaned).
    std::string Cleaned(std::size_t i, std::string_view typed) const;
    // Whether a cleaned text would change phrase i: it reads otherwise than the phrase shows.
    // A byte the page's encoding could not read shows as U+FFFD, so the same text typed back is
    // the phrase's own.
    bool IsChange(std::size_t i, std::string_view cleaned) const;
    // Makes the cleaned text phrase i's and writes the page, one step of the history; false
    // when it is no change. The phrase's draft goes either way, unless the write fails: then the
    // text stays as its draft, SaveFailed() is set, and the error goes on.
    bool Confirm(std::size_t i, std::string_view cleaned);
    // A batch of replacements as the editing service takes them (core/document/editing.h), written
    // once as one step; false when none changed anything, and then nothing was written.
    bool Replace(const std::vector<TPhraseChange>& changes,
                 TReplacementSource source = TReplacementSource::Set);

    // --- drafts: typed texts not confirmed ---------------------------------------------------
    // Keeps text as phrase i's draft; an empty text drops it.
    void SetDraft(std::size_t i, std::string text);
    const std::string* Draft(std::size_t i) const;
    const std::map<std::size_t, std::string>& Drafts() const { return drafts_; }
    // Drops every draft and forgets a failed save: the user gave them up.
    void DropDrafts();
    // The last write of the page failed: a phrase's draft holds text the file does not.
    bool SaveFailed() const { return saveFailed_; }

    // --- what was replaced ------------------------------------------------------------------
    // Phrase i's source: the text it read before Quillfen first replaced it, recorded in an
    // earlier session or read when the page was opened; none when the phrase reads as its source
    // (never replaced, or taken back to it).
    std::optional<std::string> Source(std::size_t i) const;
    // Whether Quillfen replaced phrase i, in this session or one before: it has a source.
    bool IsReplaced(std::size_t i) const;
    // Plugs in the record of sources (session/hooks.h), asked at every open; null unplugs it.
    // The session does not own it. A failure to read it leaves the page open without its
    // recorded sources, and is taken by TakeObserverFailure.
    void SetSourceRecord(TSourceRecord* record);
    // Where steps are written: the page, or the output set.
    const std::string& WritePath() const { return output_ ? *output_ : path_; }

    // --- progress and moving on --------------------------------------------------------------
    // How many phrases are replaced (IsReplaced).
    std::size_t ChangedCount() const;
    // How much of the page is done: the replaced phrases, and the words of their sources, out
    // of every phrase and the words the page read with.
    struct TDone {
        std::size_t Phrases = 0, AllPhrases = 0;
        std::uint64_t Words = 0, AllWords = 0;
    };
    TDone Done() const;
    // The words of the page's texts as they stand (TDocument::TotalWords), counted from the
    // changed phrases only.
    std::uint64_t Words() const;
    TPhraseFilter Filter() const { return filter_; }
    void SetFilter(TPhraseFilter filter) { filter_ = filter; }
    bool InFilter(std::size_t i) const;
    // Enter steps over phrases without a letter or digit.
    bool SkipNoLetters() const { return skipNoLetters_; }
    void SetSkipNoLetters(bool skip) { skipNoLetters_ = skip; }
    // The phrase Enter moves on to from i: the next the filter shows, past those without a
    // letter or digit when SkipNoLetters is on; i itself at the end.
    std::size_t NextToTranslate(std::size_t i) const;
    // A move's target (-1: none), moved on to the nearest phrase the filter shows, in the
    // direction of the move and else back towards from; from when there is none.
    long SteerToFilter(long target, long from) const;

    // --- checks (session/findings.h) ---------------------------------------------------------
    // Phrase i's findings, errors first: its translation checked against its original text
    // once it was changed, and against the page's other translations. Every step the session
    // writes checks anew.
    const std::vector<TFinding>& Findings(std::size_t i) const { return findings_.Of(i); }
    std::optional<TSeverity> WorstFinding(std::size_t i) const { return findings_.Worst(i); }
    // The phrases that have findings, in order.
    std::vector<std::size_t> PhrasesWithFindings() const { return findings_.Phrases(); }
    // The phrase with a finding next after from (forward) or before it, round the page; none
    // when no phrase has one.
    std::optional<std::size_t> NextFinding(std::size_t from, bool forward) const;
    // The page is checked from now on (the window's choice: quillfen-cli's commands need no
    // findings), leaving out what dismissals holds (the user's memory; none: nothing is
    // dismissed), which the session does not own.
    void EnableChecks(const TDismissals* dismissals);
    // Checks anew, after a dismissal; nothing unless checks are enabled.
    void Recheck();
    // The translation's language, whose conventions the checks expect (the one the window asks
    // for the memory); empty: not known, every language's accepted. Checks anew when it changed.
    void SetTargetLanguage(const std::string& tag);
    // Confirming a text with an error asks once: the errors a cleaned text would have as phrase
    // i's, unless the user was shown them for this very text just before, so that confirming it
    // again keeps it. Empty: confirm (a text the editing service refuses, too: confirming it
    // tells why).
    std::vector<TFinding> ErrorsToAsk(std::size_t i, std::string_view cleaned);

    // --- the history -------------------------------------------------------------------------
    bool CanUndo() const { return doc_.CanUndo(); }
    bool CanRedo() const { return doc_.CanRedo(); }
    bool CanRevert() const { return doc_.CanRevert(); }
    // What the next Undo or Redo would change, for the front end to name it or ask first.
    std::vector<std::size_t> UndoPhrases() const {
        const TDocument::TStep* step = doc_.StepToUndo();
        return step ? step->Phrases() : std::vector<std::size_t>{};
    }
    std::vector<std::size_t> RedoPhrases() const {
        const TDocument::TStep* step = doc_.StepToRedo();
        return step ? step->Phrases() : std::vector<std::size_t>{};
    }
    // Take back or do again the last step and write the page; the step's phrases, the first of
    // them the one to show; none when there was nothing to do.
    std::vector<std::size_t> Undo();
    std::vector<std::size_t> Redo();
    // Every phrase back to what was read, written once; the history starts anew.
    void Revert();

    // --- the whole page ------------------------------------------------------------------------
    // Writes the page's phrases as they stand into folderText (as typed) in format.
    void Export(const TExchangeFormat& format, const std::string& folderText,
                const TExportOptions& options) const {
        format.Export(doc_, path_, folderText, options);
    }

    // Merging a translation tool's file. Its numbers name phrases only as the page was cut when
    // it was exported, so the page is read the way the file's stamp says (its kinds and units)
    // before its units are matched, whether the page changed since or not; a file without a
    // stamp is matched in the page's own cut. Both front ends merge by this one rule: the
    // window asks before it reads its page again and before a merge needs Force, quillfen-cli
    // takes --force.
    struct TMergePlan {
        const TExchangeFormat* Format = nullptr;
        std::string Path;
        TPageCut Cut;
        // The open page is cut otherwise: the merge reads it again as Cut says, and its drafts
        // and history go.
        bool Recut = false;
        // The file was not exported from the page as it stands now (another page, this one
        // changed since, or no stamp): a merge needs Force.
        bool OtherPage = false;
    };
    // The plan for the file at path, in format, or in the format its extension names
    // (NoTranslationFormatError where none does). Reads the file's stamp only.
    TMergePlan PlanMerge(const std::string& path, const TExchangeFormat* format = nullptr) const;
    // Merges as planned: the page read again if the plan says so, then every translated unit
    // written as one step of the history, the page written once (exchange/merge.h).
    TMergeReport Merge(const TMergePlan& plan, const TMergeOptions& options);

    // The document for a whole-page operation that writes it through Write().
    TDocument& MutableDocument() { return doc_; }
    // The save every change goes through: to the page's path (or the output set), SaveFailed()
    // set while it fails.
    void Write();
    // Writes go to path instead of the page itself (the command line's -o); the page is read
    // from where it was opened.
    void SetOutput(const std::string& path) { output_ = path; }
    // How many writes went well since the session began.
    std::size_t Writes() const { return writes_; }

    // --- what outlives the session (session/hooks.h) ----------------------------------------
    // Each is told of every step written from now on; the session does not own them.
    void AddObserver(TReplacementObserver* observer) { observers_.push_back(observer); }
    void RemoveObserver(TReplacementObserver* observer) { std::erase(observers_, observer); }
    // The suggestions for phrase i from every source plugged in, best first.
    void AddSuggestionSource(TSuggestionSource* source) { suggestionSources_.push_back(source); }
    std::vector<TSuggestion> SuggestionsFor(std::size_t i) const;
    // An observer's failure (a memory that could not be written) does not undo the page's step:
    // the front end takes it here after the step and reports it.
    std::exception_ptr TakeObserverFailure() { return std::exchange(observerFailure_, nullptr); }

  private:
    TDocument doc_;
    std::string path_;
    std::optional<std::string> output_;
    bool open_ = false;
    bool saveFailed_ = false;
    std::size_t writes_ = 0;
    bool skipNoLetters_ = false;
    TPhraseFilter filter_ = TPhraseFilter::All;
    std::map<std::size_t, std::string> drafts_;
    std::vector<TReplacementObserver*> observers_;
    std::vector<TSuggestionSource*> suggestionSources_;
    TSourceRecord* record_ = nullptr;
    // The sources the record held for the page as it was opened; kept through the session, so
    // that a phrase taken back to its source and replaced again keeps it.
    // The phrases that may have a source, in order: the recorded and the changed ones.
    std::vector<std::size_t> ReplacedCandidates() const;
    std::map<std::size_t, std::string> recorded_;
    // The words of the page as read, and of its sources (recorded ones counted instead).
    std::uint64_t readWords_ = 0, sourceWords_ = 0;
    void ReadRecordedSources();
    // Tells of a step of the history: the texts of phrases before it.
    void TellHistory(std::vector<std::pair<std::size_t, std::string>> before);
    std::exception_ptr observerFailure_;
    TPageFindings findings_;
    const TDismissals* dismissals_ = nullptr;
    bool checking_ = false;
    // The text the user was last asked about, and its phrase.
    std::optional<std::pair<std::size_t, std::string>> asked_;
    // Tells the observers of a step just written: before holds the texts the step replaced.
    void Tell(TReplacementSource source, const std::vector<TReplacedPhrase>& phrases);
};

}  // namespace quillfen
