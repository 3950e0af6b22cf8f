#include "exchange/combine.h"

#include <algorithm>

#include "core/buffer.h"
#include "core/encoding.h"
#include "core/errors.h"
#include "core/format.h"
#include "core/linereader.h"
#include "core/pagecodec.h"
#include "core/phrasetext.h"
#include "core/savefile.h"
#include "core/scan.h"
#include "core/spanwriter.h"

namespace quillfen {

namespace {

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool ReadsAsUtf8(std::string_view text) { return !IsAscii(text) && IsValidUtf8(text); }

// The template's encoding as a page's; a template of ASCII bytes that declares none says
// nothing, and the text file then decides.
TEncodingInfo PageEncoding(std::string_view templ, std::string_view text, bool textMarked,
                           const std::string& templatePath) {
    TEncodingInfo encoding = DetectPageEncoding(templ, templatePath);
    if (encoding.kind != TPageEncoding::Windows1252 || !IsAscii(templ)) return encoding;
    // Windows-1252 may be declared or only the fallback. One UTF-8 character more makes the
    // template read as UTF-8 only in the second case.
    std::string probe(templ);
    probe += "\xC3\xA9";
    if (DetectEncoding(probe) != TPageEncoding::Utf8) return encoding;
    return {textMarked || ReadsAsUtf8(text) ? TPageEncoding::Utf8 : TPageEncoding::Windows1252, {}};
}

// How the phrase of a marker standing at templ[at] is written: the byte in front of it (blanks
// and tabs passed over) tells an attribute value, and its quote style, from text. An attribute
// value's span leaves out the blanks at its edges, so they may stand between the quote and the
// marker. Line breaks are not passed over: in a pre block the byte before the line's break is the
// end of the line above, which may well be a quote or '='.
TSource SourceOfMarker(std::string_view templ, std::size_t at) {
    while (at > 0 && (templ[at - 1] == ' ' || templ[at - 1] == '\t')) --at;
    if (at == 0) return TSource::Text;
    switch (templ[at - 1]) {
        case '"':
            return TSource::DoubleQuoted;
        case '\'':
            return TSource::SingleQuoted;
        case '=':
            return TSource::Unquoted;
        default:
            return TSource::Text;
    }
}

// lineEncoding: what the text file's bytes are in.
std::string Fill(std::string_view templ, std::string_view text, const TEncodingInfo& encoding,
                 const TEncodingInfo& lineEncoding, TEncodeMode mode) {
    // Text line k is wanted only for marker k, and markers are taken in order, so the text is
    // read along with the template instead of being split up front.
    TLineReader lines(text);
    std::string out;
    out.reserve(templ.size() + text.size() + templ.size() / 8);
    std::size_t pos = 0;
    TSpanWriter writer(encoding, mode);
    for (std::size_t k = 0;; ++k) {
        const std::string marker = PhraseMarker(k);
        const std::size_t at = templ.find(marker, pos);
        if (at == std::string_view::npos) break;
        std::string_view line;
        if (!lines.Next(line)) throw ListIndexError(k);
        const std::string_view before = templ.substr(pos, at - pos);
        out.append(before);
        writer.Pass(before);
        out += writer.Write(TextOfTextFile(PhraseOfLine(line, k), lineEncoding),
                            SourceOfMarker(templ, at));
        // Never inside the phrase just written: a translation may hold marker text.
        pos = at + marker.size();
    }
    out.append(templ, pos);
    return out;
}

}  // namespace

std::string CombineBytes(std::string_view templateBytes, std::string_view textBytes,
                         const std::string& templatePath) {
    const std::string_view templ = templateBytes.substr(0, templateBytes.find('\0'));
    std::string_view text = textBytes.substr(0, textBytes.find('\0'));
    // Editors put a byte-order mark in front of UTF-8 files; it belongs to no phrase.
    const bool marked = text.substr(0, kUtf8Bom.size()) == kUtf8Bom;
    if (marked) text.remove_prefix(kUtf8Bom.size());

    const TEncodingInfo encoding = PageEncoding(templ, text, marked, templatePath);
    CheckConvertible(encoding, templatePath);
    const TEncodingInfo lineEncoding =
        encoding.kind != TPageEncoding::Utf8 && (marked || ReadsAsUtf8(text))
            ? TEncodingInfo{TPageEncoding::Utf8, {}}
            : encoding;
    // As a save does: a Windows-1252 page must not come out reading as UTF-8.
    return WriteReadingAlike(
               encoding,
               [&](TEncodeMode mode) { return Fill(templ, text, encoding, lineEncoding, mode); })
        .second;
}

void Combine(const std::string& textPath, const std::string& templatePath,
             const std::string& destinationPath) {
    const std::string templ = ReadFileBytes(templatePath);
    const std::string text = ReadFileBytes(textPath);
    WriteFileAtomically(destinationPath, CombineBytes(templ, text, templatePath));
}

}  // namespace quillfen
