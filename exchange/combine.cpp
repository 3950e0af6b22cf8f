#include "exchange/combine.h"

#include <algorithm>

#include "core/buffer.h"
#include "core/encoding.h"
#include "core/errors.h"
#include "core/format.h"
#include "core/pagecodec.h"
#include "core/phrasetext.h"
#include "core/savefile.h"
#include "core/scan.h"
#include "core/sentences.h"
#include "core/spanwriter.h"
#include "core/utf8.h"
#include "exchange/textfile.h"

namespace quillfen {

namespace {

// The template's encoding as a page's; a template of ASCII bytes that declares none says
// nothing, and the exchange file then decides.
TEncodingInfo PageEncoding(std::string_view templ, const TPhraseReader& phrases,
                           const std::string& templatePath) {
    TEncodingInfo encoding = DetectPageEncoding(templ, templatePath);
    if (encoding.kind != TPageEncoding::Windows1252 || !IsAscii(templ)) return encoding;
    // Windows-1252 may be declared or only the fallback. One UTF-8 character more makes the
    // template read as UTF-8 only in the second case.
    std::string probe(templ);
    probe += "\xC3\xA9";
    if (DetectEncoding(probe) != TPageEncoding::Utf8) return encoding;
    return {phrases.IsUtf8() ? TPageEncoding::Utf8 : TPageEncoding::Windows1252, {}};
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

std::string Fill(std::string_view templ, TPhraseReader& phrases, const TEncodingInfo& encoding,
                 TEncodeMode mode, std::size_t reserve) {
    // Phrase k is wanted only for marker k, and markers are taken in order, so the phrases are
    // read along with the template instead of being collected up front.
    phrases.Start(encoding);
    std::string out, text, innerText;
    out.reserve(reserve);
    // A sentence's table, and its tags with the phrases inside them written.
    std::vector<TTableEntry> entries;
    std::string tags;
    TPlaceholders placeholders;
    std::size_t pos = 0;
    TSpanWriter writer(encoding, mode);
    // Marker k, counted up in place: a page has a marker for every phrase.
    std::string marker = PhraseMarker(0);
    auto countUp = [&marker] {
        for (std::size_t i = marker.size() - kMarkerClose.size(); i-- > kMarkerOpen.size();) {
            if (marker[i] != '9') {
                ++marker[i];
                return;
            }
            marker[i] = '0';
        }
        marker.insert(kMarkerOpen.size(), 1, '1');
    };
    for (std::size_t k = 0;; ++k, countUp()) {
        const std::size_t at = templ.find(marker, pos);
        if (at == std::string_view::npos) break;
        if (!phrases.Next(text)) throw ListIndexError(k);
        const std::string_view before = templ.substr(pos, at - pos);
        out.append(before);
        writer.Pass(before);
        // Never inside the phrase just written: a translation may hold marker text.
        pos = at + marker.size();
        if (templ.substr(pos, kTableOpen.size()) != kTableOpen) {
            out += writer.Write(text, SourceOfMarker(templ, at));
            continue;
        }
        const std::size_t sentence = k;
        pos = ReadTable(templ, pos, entries);
        if (pos == std::string_view::npos) throw SentenceTableError(sentence + 1);
        // The phrases inside the sentence follow it, their markers in its tags in order.
        tags.clear();
        placeholders.clear();
        auto fill = [&](std::string_view bytes) {
            std::size_t from = 0;
            for (std::size_t inner;
                 (inner = bytes.find(PhraseMarker(k + 1), from)) != std::string_view::npos;) {
                countUp();
                ++k;
                if (!phrases.Next(innerText)) throw ListIndexError(k);
                tags.append(bytes.substr(from, inner - from));
                tags += EncodeForSpan(innerText, SourceOfMarker(bytes, inner), encoding, mode);
                from = inner + marker.size();
            }
            tags.append(bytes.substr(from));
        };
        for (const TTableEntry& entry : entries) {
            TPlaceholder& p = placeholders.emplace_back();
            p.Name = entry.Name;
            p.Paired = entry.Paired;
            p.Begin = static_cast<std::uint32_t>(tags.size());
            fill(entry.Open);
            p.End = static_cast<std::uint32_t>(tags.size());
            p.CloseBegin = p.End;
            if (entry.Paired) fill(entry.Close);
            p.CloseEnd = static_cast<std::uint32_t>(tags.size());
        }
        try {
            CheckPlaceholders(text, placeholders);
        } catch (const TError& fault) {
            throw TextFileLineError(sentence + 1, fault);
        }
        out += writer.WriteEncoded(EncodeSentence(
            text, placeholders,
            [&](std::uint32_t begin, std::uint32_t end) { return tags.substr(begin, end - begin); },
            encoding, mode));
    }
    out.append(templ, pos);
    return out;
}

}  // namespace

std::string CombineBytes(std::string_view templateBytes, TPhraseReader& phrases,
                         const std::string& templatePath, std::size_t phrasesSize) {
    const std::string_view templ = templateBytes.substr(0, templateBytes.find('\0'));
    const TEncodingInfo encoding = PageEncoding(templ, phrases, templatePath);
    CheckConvertible(encoding, templatePath);
    const std::size_t reserve = templ.size() + phrasesSize + templ.size() / 8;
    // As a save does: a Windows-1252 page must not come out reading as UTF-8.
    return WriteReadingAlike(
               encoding,
               [&](TEncodeMode mode) { return Fill(templ, phrases, encoding, mode, reserve); })
        .second;
}

std::string CombineBytes(std::string_view templateBytes, std::string_view textBytes,
                         const std::string& templatePath) {
    TTextFileReader phrases(textBytes);
    return CombineBytes(templateBytes, phrases, templatePath, textBytes.size());
}

void Combine(const std::string& textPath, const std::string& templatePath,
             const std::string& destinationPath) {
    Combine(kTextFileFormat, textPath, templatePath, destinationPath);
}

void Combine(const TExchangeFormat& format, const std::string& phrasesPath,
             const std::string& templatePath, const std::string& destinationPath) {
    const std::string templ = ReadFileBytes(templatePath);
    const std::string bytes = ReadFileBytes(phrasesPath);
    const std::unique_ptr<TPhraseReader> phrases = format.Read(bytes);
    WriteFileAtomically(destinationPath, CombineBytes(templ, *phrases, templatePath, bytes.size()));
}

}  // namespace quillfen
