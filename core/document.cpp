#include "document.h"

#include <algorithm>
#include <cstring>

#include "errors.h"
#include "savefile.h"

namespace quillfen {

void TDocument::LoadFile(const std::string& path, std::uint8_t tags, const TProgress& progress) {
    std::string data = ReadFileBytes(path);
    Load(std::move(data), tags, progress, path);
}

void TDocument::LoadBytes(std::string_view data, std::uint8_t tags, const TProgress& progress,
                          const std::string& path) {
    Load(std::string(data), tags, progress, path);
}

void TDocument::Load(std::string&& data, std::uint8_t tags, const TProgress& progress,
                     const std::string& path) {
    // The text of a page ends at a zero byte; whatever stands behind one (all of a UTF-16 page)
    // would be gone from the page after the first save.
    if (std::memchr(data.data(), '\0', data.size()))
        throw TError(std::string("Datei ").append(path).append(
            " enth\xC3\xA4lt ein Nullzeichen und wird nicht ge\xC3\xB6" "ffnet "
            "(The file contains a zero byte, as UTF-16 pages do; it is not opened, so that "
            "saving cannot destroy it.)"));
    Clear();
    data_ = std::move(data);
    std::string_view text(data_);
    // Loading drops every byte of code 32 or less in front of a line's first other byte, so a
    // byte-order mark behind such bytes would start the saved page: it is the page's own.
    std::size_t lead = 0;
    while (lead < text.size() && static_cast<unsigned char>(text[lead]) <= 32) ++lead;
    if (text.substr(lead, kUtf8Bom.size()) == kUtf8Bom) {
        bom_ = kUtf8Bom;
        encoding_ = TPageEncoding::Utf8;
        text.remove_prefix(lead + kUtf8Bom.size());
    } else {
        encoding_ = DetectEncoding(data_);
    }
    tables_ = &TablesFor(encoding_);
    buffer_ = SplitLineViews(text);
    const std::size_t before = buffer_.size();
    TrimPass(buffer_, progress);
    const std::size_t after = buffer_.size();
    const std::size_t maximum = after ? 2 * (after - 1) : 0;
    const std::size_t start = std::min(before ? before - 1 : 0, maximum);
    scan_ = ExtractPhrases(buffer_, tags, *tables_, progress, start, maximum);
}

void TDocument::Clear() {
    buffer_.clear();
    data_.clear();
    bom_.clear();
    encoding_ = TPageEncoding::Windows1252;
    tables_ = &Windows1252Tables();
    scan_ = TScanResult{};
}

namespace {

// The Windows-1252 tables without the rows that write single high bytes as entities.
const TEntityTables& Windows1252KeepingHighBytes() {
    static const TEntityTables tables = [] {
        const TEntityTables& full = Windows1252Tables();
        std::vector<TEntityRow> encode;
        for (const TEntityRow& row : full.encode)
            if (static_cast<unsigned char>(row.search[0]) < 0x80) encode.push_back(row);
        return TEntityTables(full.name, full.decode, std::move(encode));
    }();
    return tables;
}

}  // namespace

// A Windows-1252 page without a declaration reads as such only because some bytes are no UTF-8,
// and umlauts may have been all of them. Written as entities, the page would read as UTF-8 the
// next time, and its other high bytes would change their meaning ("\xC3\xA9" is two characters
// here and one there). Such a page keeps its umlauts as bytes.
bool TDocument::ReadsOtherwise(const std::string& rendered) const {
    // Only bytes that are all UTF-8 can read so; most pages are not, and that is quick to see.
    return encoding_ == TPageEncoding::Windows1252 && IsValidUtf8(rendered) &&
           DetectEncoding(rendered) != encoding_;
}

std::string TDocument::Render() const {
    std::string out = RenderWith(*tables_);
    if (ReadsOtherwise(out)) out = RenderWith(Windows1252KeepingHighBytes());
    return out;
}

const TEntityTables& TDocument::TablesForSaving() const {
    return ReadsOtherwise(RenderWith(*tables_)) ? Windows1252KeepingHighBytes() : *tables_;
}

std::string TDocument::RenderWith(const TEntityTables& tables) const {
    // The template's bytes are the page less its phrases: they are copied in long runs between
    // the markers, and each marker is replaced by its phrase.
    const std::string& bytes = scan_.Template.Bytes();
    const auto& markers = scan_.Markers;
    std::size_t size = bytes.size() + bom_.size();
    for (const auto& p : scan_.Phrases) size += p.Text.size() + p.Text.size() / 8 + 2;
    std::string out;
    out.reserve(size);
    out += bom_;
    std::size_t from = 0;
    for (std::size_t k = 0; k < markers.size(); ++k) {
        const std::size_t at = scan_.Template.Start(markers[k].entry) + markers[k].offset;
        out.append(bytes, from, at - from);
        const TTextItem& item = scan_.Phrases[k];
        if (NeedsEncoding(item.Text, tables)) {
            out += EncodePhrase(item, tables);
        } else {
            // Nothing to encode: spare the copy most phrases would cost.
            if (item.LeadingSpace) out += ' ';
            out += item.Text;
            if (item.TrailingSpace) out += ' ';
        }
        from = at + MarkerLength(k);
    }
    out.append(bytes, from, std::string::npos);
    return out;
}

void TDocument::Save(const std::string& path) const { WriteFileAtomically(path, Render()); }

void TDocument::SetPhraseText(std::size_t i, std::string text) {
    if (i >= scan_.Phrases.size()) throw ListIndexError(i);
    scan_.SetText(i, std::move(text));
}

}  // namespace quillfen
