#include "core/document/spanwriter.h"

namespace quillfen {

void TSpanWriter::Pass(std::string_view bytes) {
    // Once anything else stands in front, nothing more is looked at.
    if (!atStart_) return;
    atStart_ = OnlyBlanksAndControls(bytes);
    empty_ = empty_ && bytes.empty();
}

std::string TSpanWriter::Write(std::string_view text, TSource source) {
    return WriteEncoded(EncodeForSpan(text, source, encoding_, mode_, quote_));
}

std::string TSpanWriter::WriteEncoded(std::string bytes) {
    // Everything in front is blanks, so one blank stands for it.
    if (atStart_) KeepFromReadingAsMark(bytes, empty_ ? "" : " ", encoding_.kind);
    Pass(bytes);
    return bytes;
}

bool ReadsOtherwise(const TEncodingInfo& encoding, std::string_view written) {
    // Only bytes that are all UTF-8 can read so; most pages are not, and that is quick to see.
    return encoding.kind == TPageEncoding::Windows1252 && IsValidUtf8(written) &&
           DetectEncoding(written) != encoding.kind;
}

std::pair<TEncodeMode, std::string> WriteReadingAlike(
    const TEncodingInfo& encoding, const std::function<std::string(TEncodeMode)>& render) {
    TEncodeMode mode = TEncodeMode::Entities;
    std::string out = render(mode);
    for (const TEncodeMode fallback : {TEncodeMode::KeepCharacters, TEncodeMode::References}) {
        if (!ReadsOtherwise(encoding, out)) break;
        mode = fallback;
        out = render(mode);
    }
    return {mode, std::move(out)};
}

}  // namespace quillfen
