#include "core/document.h"

#include <algorithm>
#include <cstring>

#include "core/errors.h"
#include "core/format.h"
#include "core/pagecodec.h"
#include "core/savefile.h"

namespace quillfen {

void TDocument::LoadFile(const std::string& path, TTags tags, const TProgress& progress) {
    CheckInterruptedSave(path);
    TFileStamp stamp;
    std::string data = ReadFileStamped(path, stamp);
    Load(std::move(data), tags, progress, path);
    stamp_ = stamp;
    stampPath_ = path;
}

void TDocument::LoadBytes(std::string_view data, TTags tags, const TProgress& progress,
                          const std::string& path) {
    Load(std::string(data), tags, progress, path);
}

void TDocument::Load(std::string&& data, TTags tags, const TProgress& progress,
                     const std::string& path) {
    // A UTF-16 or UTF-32 page is refused by the name of its encoding.
    const std::string_view head = std::string_view(data).substr(0, 4);
    if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF") ||
        head == std::string_view("\0\0\xFE\xFF", 4))
        DetectPageEncoding(data, path);
    // The text of a page ends at a zero byte; whatever stands behind one would be gone from the
    // page after the first save.
    if (std::memchr(data.data(), '\0', data.size())) throw ZeroByteError(path);
    // Phrases are placed by 32-bit offsets.
    if (data.size() > 0xFFFFFFF0u) throw TooLargeError(path);
    std::string_view text(data);
    // A byte-order mark behind leading blanks or control bytes is the page's own too.
    std::size_t lead = 0;
    while (lead < text.size() && static_cast<unsigned char>(text[lead]) <= 32) ++lead;
    TEncodingInfo encoding;
    std::size_t prefix = 0;
    if (text.substr(lead, kUtf8Bom.size()) == kUtf8Bom) {
        encoding.kind = TPageEncoding::Utf8;
        prefix = lead + kUtf8Bom.size();
    } else {
        encoding = DetectPageEncoding(text, path);
    }
    // Texts are read through the page's encoding: one that cannot be converted is refused.
    CheckConvertible(encoding, path);
    Clear();
    data_ = std::move(data);
    bom_ = data_.substr(0, prefix);
    encoding_ = std::move(encoding);
    scan_ = ExtractPhrases(Page(), tags, encoding_, progress);
}

void TDocument::Clear() {
    data_.clear();
    history_.clear();
    done_ = 0;
    stamp_.reset();
    stampPath_.clear();
    bom_.clear();
    changed_.clear();
    encoding_ = TEncodingInfo{};
    scan_ = TScanResult{};
}

// A Windows-1252 page without a declaration reads as such only because some bytes are no UTF-8,
// and umlauts may have been all of them. Written as entities, the page would read as UTF-8 the
// next time, and its other high bytes would change their meaning ("\xC3\xA9" is two characters
// here and one there). Such a page keeps its umlauts as bytes; where the new texts' own high
// bytes read as UTF-8, they are written as references.
bool TDocument::ReadsOtherwise(const std::string& rendered) const {
    // Only bytes that are all UTF-8 can read so; most pages are not, and that is quick to see.
    return encoding_.kind == TPageEncoding::Windows1252 && IsValidUtf8(rendered) &&
           DetectEncoding(rendered) != encoding_.kind;
}

std::pair<TEncodeMode, std::string> TDocument::RenderReadingAlike(bool all) const {
    TEncodeMode mode = TEncodeMode::Entities;
    std::string out = RenderWith(mode, all);
    for (const TEncodeMode fallback : {TEncodeMode::KeepCharacters, TEncodeMode::References}) {
        if (!ReadsOtherwise(out)) break;
        mode = fallback;
        out = RenderWith(mode, all);
    }
    return {mode, std::move(out)};
}

std::string TDocument::Render() const {
    // Unchanged, the page is what was read, and was read in its own encoding.
    if (changed_.empty()) return data_;
    return RenderReadingAlike(false).second;
}

TEncodeMode TDocument::SavingMode() const {
    return changed_.empty() ? TEncodeMode::Entities : RenderReadingAlike(false).first;
}

std::string TDocument::RenderWith(TEncodeMode mode, bool all) const {
    // The page's bytes are copied in long runs; only the spans of changed phrases are written
    // anew.
    const std::string_view page = Page();
    std::string out;
    out.reserve(data_.size() + 16 * changed_.size());
    out += bom_;
    std::size_t from = 0;
    bool atStart = true;  // nothing but blanks and control bytes written yet
    auto write = [&](std::size_t k) {
        const TPhraseSpan& span = scan_.Spans[k];
        out.append(page.substr(from, span.Begin - from));
        std::string bytes =
            EncodeForSpan(scan_.Phrases[k].Text, span.Source, encoding_, mode, scan_.NewValueQuote);
        if (atStart) {
            KeepFromReadingAsMark(bytes, out, encoding_.kind);
            atStart = OnlyBlanksAndControls(out) && OnlyBlanksAndControls(bytes);
        }
        out += bytes;
        from = span.End;
    };
    if (all) {
        for (std::size_t k = 0; k < scan_.Spans.size(); ++k) write(k);
    } else {
        for (std::size_t k : changed_) write(k);
    }
    out.append(page.substr(from));
    return out;
}

std::string TDocument::RenderAllPhrases() const { return RenderReadingAlike(true).second; }

std::string TDocument::TemplateBytes() const {
    const std::string_view page = Page();
    std::string out;
    out.reserve(data_.size() + 8 * scan_.Spans.size());
    out += bom_;
    std::size_t from = 0;
    for (std::size_t k = 0; k < scan_.Spans.size(); ++k) {
        const TPhraseSpan& span = scan_.Spans[k];
        out.append(page.substr(from, span.Begin - from));
        out += PhraseMarker(k);
        from = span.End;
    }
    out.append(page.substr(from));
    return out;
}

void TDocument::Save(const std::string& path, const TSaveHooks* hooks) {
    TSaveOptions options;
    if (stamp_) {
        options.Read = &*stamp_;
        options.ReadFrom = stampPath_;
    }
    options.Hooks = hooks;
    TFileStamp written;
    // Unchanged, the page is written from the bytes as read, without a copy.
    if (changed_.empty())
        WriteFileAtomically(path, data_, written, options);
    else
        WriteFileAtomically(path, Render(), written, options);
    stamp_ = written;
    stampPath_ = path;
}

bool TDocument::ChangedOnDisk(const std::string& path) const {
    return stamp_ && quillfen::ChangedOnDisk(path, *stamp_);
}

std::size_t TDocument::ReplacePhrase(std::size_t i, std::string text) {
    if (i >= scan_.Phrases.size()) throw ListIndexError(i);
    history_.resize(done_);
    history_.push_back({i, scan_.Phrases[i].Text, text});
    ++done_;
    SetPhraseText(i, std::move(text));
    return i;
}

std::size_t TDocument::Undo() {
    if (!CanUndo()) throw ListIndexError(done_);
    const TStep& step = history_[--done_];
    SetPhraseText(step.phrase, step.before);
    return step.phrase;
}

std::size_t TDocument::Redo() {
    if (!CanRedo()) throw ListIndexError(done_);
    const TStep& step = history_[done_++];
    SetPhraseText(step.phrase, step.after);
    return step.phrase;
}

void TDocument::Revert() {
    const std::set<std::size_t> changed = changed_;
    for (std::size_t i : changed) SetPhraseText(i, OriginalText(i));
    history_.clear();
    done_ = 0;
}

std::string TDocument::OriginalText(std::size_t i) const {
    if (i >= scan_.Phrases.size()) throw ListIndexError(i);
    return quillfen::OriginalText(Page(), scan_.Spans[i], encoding_);
}

void TDocument::SetPhraseText(std::size_t i, std::string text) {
    if (i >= scan_.Phrases.size()) throw ListIndexError(i);
    if (text == OriginalText(i))
        changed_.erase(i);
    else
        changed_.insert(i);
    scan_.Phrases[i].Text = std::move(text);
}

}  // namespace quillfen
