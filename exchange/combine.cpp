#include "exchange/combine.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <system_error>

#include "core/document/format.h"
#include "core/document/spanwriter.h"
#include "core/errors.h"
#include "core/files/buffer.h"
#include "core/files/savefile.h"
#include "core/markup/scan.h"
#include "core/markup/sentences.h"
#include "core/text/encoding.h"
#include "core/text/pagecodec.h"
#include "core/text/phrasetext.h"
#include "core/text/utf8.h"
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

constexpr std::string_view kCdataOpen = "<![CDATA[";
constexpr std::string_view kCdataClose = "]]>";

// How the phrase of a marker standing at templ[at] (length bytes) is written: the byte in front
// of it (blanks and tabs passed over) tells an attribute value, and its quote style, from text.
// An attribute value's span leaves out the blanks at its edges, so they may stand between the
// quote and the marker. Line breaks are not passed over: in a pre block the byte before the
// line's break is the end of the line above, which may well be a quote or '='. A CDATA section's
// marker stands for all the section holds, right between its ends (or the page's end, where the
// section does not close), where no other phrase's can stand: outside svg and math, "<![CDATA["
// opens a comment up to the next '>'.
TSource SourceOfMarker(std::string_view templ, std::size_t at, std::size_t length) {
    if (at >= kCdataOpen.size() &&
        templ.substr(at - kCdataOpen.size(), kCdataOpen.size()) == kCdataOpen &&
        (templ.substr(at + length, kCdataClose.size()) == kCdataClose ||
         at + length == templ.size()))
        return TSource::Cdata;
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

// The line of text that offset at stands on, counted from 1 as the text file's lines are (CR LF,
// a lone CR and a lone LF each end one). Only errors ask, so it is counted then.
std::size_t LineOf(std::string_view text, std::size_t at) {
    std::size_t line = 1;
    for (std::size_t i = 0; i < at && i < text.size(); ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
            ++line;
    return line;
}

// Fills a template's markers, which must stand in order, each once, each with its line: a marker
// that is lost, doubled, damaged or out of place, and a line left over, would put phrases into
// other phrases' places, so each raises the error of its file before anything is written.
class TFiller {
  public:
    TFiller(std::string_view templ, const std::string& templatePath, TPhraseReader& phrases,
            const TEncodingInfo& encoding, TEncodeMode mode)
        : templ_(templ),
          path_(templatePath),
          phrases_(phrases),
          encoding_(encoding),
          mode_(mode),
          writer_(encoding, mode) {}

    std::string Fill(std::size_t reserve) {
        // Phrase k is wanted only for marker k, and markers are taken in order, so the phrases
        // are read along with the template instead of being collected up front.
        phrases_.Start(encoding_);
        std::string out;
        out.reserve(reserve);
        std::size_t pos = 0;
        for (std::size_t length = 0;; ++k_, CountUp()) {
            const std::size_t at = Find(pos, templ_.size(), k_, marker_, length);
            if (at == std::string_view::npos) break;
            if (!phrases_.Next(text_)) throw Fault(at, TTemplateFault::NoLine, k_);
            const std::string_view before = templ_.substr(pos, at - pos);
            out.append(before);
            writer_.Pass(before);
            // Never inside the phrase just written: a translation may hold marker text.
            pos = at + length;
            if (templ_.substr(pos, kTableOpen.size()) == kTableOpen) {
                pos = Sentence(out, at, pos);
                continue;
            }
            const TSource source = SourceOfMarker(templ_, at, length);
            out += source == TSource::Cdata ? writer_.WriteEncoded(Cdata(at))
                                            : writer_.Write(text_, source);
        }
        out.append(templ_, pos);
        try {
            phrases_.End();
        } catch (const TError&) {
            // A marker cut short is the likelier fault than a line too many.
            if (const std::size_t cut = Damaged(pos, templ_.size(), marker_);
                cut != std::string_view::npos)
                throw Fault(cut, TTemplateFault::Damaged, k_);
            throw;
        }
        return out;
    }

  private:
    // Marker k, counted up in place: a page has a marker for every phrase.
    void CountUp() {
        for (std::size_t i = marker_.size() - kMarkerClose.size(); i-- > kMarkerOpen.size();) {
            if (marker_[i] != '9') {
                ++marker_[i];
                return;
            }
            marker_[i] = '0';
        }
        marker_.insert(kMarkerOpen.size(), 1, '1');
    }

    // Phrase k's text as the CDATA section whose marker stands at templ_[at] holds it, as a
    // save writes it; a text the section cannot hold is the exchange file's fault in its line.
    std::string Cdata(std::size_t at) {
        try {
            if (MayReadAsMarkup(text_)) {
                if (!declarationEnd_) declarationEnd_ = CharsetDeclarationEnd(templ_);
                if (*declarationEnd_ > at) throw CdataTextError(k_ + 1, TCdataFault::Declaration);
            }
            return CdataBytes(text_, encoding_, mode_, k_ + 1);
        } catch (const TError& fault) {
            throw phrases_.Fault(k_, fault);
        }
    }

    TError Fault(std::size_t at, TTemplateFault fault, std::size_t marker,
                 std::string_view detail = {}) const {
        return TemplateError(path_, LineOf(templ_, at), fault, marker, detail);
    }

    // Where marker k (its text: marker) stands in templ_[from, to), npos where no marker text
    // stands there at all. Raises the template's fault where another marker text stands first.
    std::size_t Find(std::size_t from, std::size_t to, std::size_t k, std::string_view marker,
                     std::size_t& length) const {
        const std::size_t at = FindMarkerText(templ_.substr(0, to), from, length);
        if (at == std::string_view::npos) return at;
        const std::string_view found = templ_.substr(at, length);
        if (found == marker) return at;
        // A marker of a phrase before, written as such, stands a second time.
        std::size_t j = 0;
        const char* digits = found.data() + kMarkerOpen.size();
        const char* end = found.data() + found.size() - kMarkerClose.size();
        if (const auto [stop, error] = std::from_chars(digits, end, j);
            error == std::errc() && stop == end && j < k && found == PhraseMarker(j))
            throw Fault(at, TTemplateFault::Repeated, j);
        if (const std::size_t cut = Damaged(from, at, marker); cut != std::string_view::npos)
            throw Fault(cut, TTemplateFault::Damaged, k);
        throw Fault(at, TTemplateFault::OutOfOrder, k, found);
    }

    // Where marker (its text) stands cut short ("%_3", "%_3_") in templ_[from, to), or npos.
    std::size_t Damaged(std::size_t from, std::size_t to, std::string_view marker) const {
        const std::string_view stretch = templ_.substr(0, to);
        const std::string_view cut = marker.substr(0, marker.size() - kMarkerClose.size());
        for (std::size_t at = stretch.find(cut, from); at != std::string_view::npos;
             at = stretch.find(cut, at + 1)) {
            const std::size_t behind = at + cut.size();
            if (behind >= templ_.size() || templ_[behind] < '0' || templ_[behind] > '9') return at;
        }
        return std::string_view::npos;
    }

    // The sentence whose marker stands at templ_[at] and whose table starts at table: its tags
    // are filled from the next lines, and its text must hold its placeholders. Gives the place
    // behind the table.
    std::size_t Sentence(std::string& out, std::size_t at, std::size_t table) {
        const std::size_t sentence = k_;
        const std::size_t behind = ReadTable(templ_, table, entries_);
        if (behind == std::string_view::npos) throw Fault(at, TTemplateFault::TableDamaged, k_);
        // The phrases inside the sentence follow it, their markers in its tags in order.
        tags_.clear();
        placeholders_.clear();
        auto fill = [&](std::string_view bytes) {
            const std::size_t begin = static_cast<std::size_t>(bytes.data() - templ_.data());
            const std::size_t end = begin + bytes.size();
            std::size_t from = begin;
            for (std::size_t inner, length = 0;
                 (inner = Find(from, end, k_ + 1, PhraseMarker(k_ + 1), length)) !=
                 std::string_view::npos;) {
                ++k_;
                CountUp();
                if (!phrases_.Next(innerText_)) throw Fault(inner, TTemplateFault::NoLine, k_);
                tags_.append(templ_.substr(from, inner - from));
                tags_ += EncodeForSpan(innerText_, SourceOfMarker(bytes, inner - begin, length),
                                       encoding_, mode_);
                from = inner + length;
            }
            tags_.append(templ_.substr(from, end - from));
        };
        for (const TTableEntry& entry : entries_) {
            TPlaceholder& p = placeholders_.emplace_back();
            p.Name = entry.Name;
            p.Paired = entry.Paired;
            p.Begin = static_cast<std::uint32_t>(tags_.size());
            fill(entry.Open);
            p.End = static_cast<std::uint32_t>(tags_.size());
            p.CloseBegin = p.End;
            if (entry.Paired) fill(entry.Close);
            p.CloseEnd = static_cast<std::uint32_t>(tags_.size());
        }
        try {
            CheckPlaceholders(text_, placeholders_);
        } catch (const TError& fault) {
            throw phrases_.Fault(sentence, fault);
        }
        out += writer_.WriteEncoded(EncodeSentence(
            text_, placeholders_,
            [&](std::uint32_t begin, std::uint32_t end) {
                return tags_.substr(begin, end - begin);
            },
            encoding_, mode_));
        return behind;
    }

    std::string_view templ_;
    const std::string& path_;
    TPhraseReader& phrases_;
    const TEncodingInfo& encoding_;
    TEncodeMode mode_;
    TSpanWriter writer_;
    // Where the page's charset declaration ends, once a CDATA section's text asks.
    std::optional<std::size_t> declarationEnd_;
    std::size_t k_ = 0;
    std::string marker_ = PhraseMarker(0);
    std::string text_, innerText_;
    // A sentence's table, and its tags with the phrases inside them written.
    std::vector<TTableEntry> entries_;
    std::string tags_;
    TPlaceholders placeholders_;
};

}  // namespace

std::string CombineBytes(std::string_view templ, TPhraseReader& phrases,
                         const std::string& templatePath, std::size_t phrasesSize) {
    const TEncodingInfo encoding = PageEncoding(templ, phrases, templatePath);
    CheckConvertible(encoding, templatePath);
    const std::size_t reserve = templ.size() + phrasesSize + templ.size() / 8;
    // As a save does: a Windows-1252 page must not come out reading as UTF-8.
    return WriteReadingAlike(
               encoding,
               [&](TEncodeMode mode) {
                   return TFiller(templ, templatePath, phrases, encoding, mode).Fill(reserve);
               })
        .second;
}

std::string CombineBytes(std::string_view templateBytes, std::string_view textBytes,
                         const std::string& templatePath, const std::string& textPath) {
    TTextFileReader phrases(textBytes, textPath);
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
    const std::unique_ptr<TPhraseReader> phrases = format.Read(bytes, phrasesPath);
    WriteFileAtomically(destinationPath, CombineBytes(templ, *phrases, templatePath, bytes.size()));
}

}  // namespace quillfen
