#include "core/text/phrasetext.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "core/errors.h"
#include "core/text/ascii.h"
#include "core/text/pagecodec.h"
#include "core/text/utf8.h"

namespace quillfen {

namespace {

// A Legacy page's bytes: the converter's command-line form read back, where a byte it could not
// read stays a byte. It also escapes the second form of a character that an encoding holds
// twice; such bytes are that character.
std::string LegacyText(std::string_view bytes, const TEncodingInfo& encoding) {
    const std::string escaped = PageToEscaped(bytes, encoding);
    std::string out, raw;
    out.reserve(escaped.size());
    auto flush = [&] {
        if (raw.empty()) return;
        const std::string read = PageToUtf8(raw, encoding);
        out += read.find("\xEF\xBF\xBD") == std::string::npos ? read : raw;
        raw.clear();
    };
    ReadEscaped(
        escaped,
        [&](std::string_view run) {
            flush();
            out += run;
        },
        [&](unsigned char b) { raw += static_cast<char>(b); });
    flush();
    return out;
}

// The entity the encode table writes for a character beyond ASCII, or empty.
std::string_view EntityOf(char32_t c) {
    switch (c) {
        case 0xE4:
            return "&auml;";
        case 0xF6:
            return "&ouml;";
        case 0xFC:
            return "&uuml;";
        case 0xC4:
            return "&Auml;";
        case 0xD6:
            return "&Ouml;";
        case 0xDC:
            return "&Uuml;";
        case 0xDF:
            return "&szlig;";
        case 0xA0:
            return "&nbsp;";
        default:
            return {};
    }
}

}  // namespace

std::string TextOfPageBytes(std::string_view bytes, const TEncodingInfo& encoding) {
    if (encoding.kind == TPageEncoding::Utf8 || IsAscii(bytes)) return std::string(bytes);
    if (encoding.kind == TPageEncoding::Legacy) return LegacyText(bytes, encoding);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (std::size_t i = 0; i < bytes.size();) {
        // ASCII is the same in both: copied a run at a time, found eight bytes at a time.
        std::size_t j = i;
        for (std::uint64_t word; j + 8 <= bytes.size(); j += 8) {
            std::memcpy(&word, bytes.data() + j, 8);
            if (word & 0x8080808080808080u) break;
        }
        while (j < bytes.size() && static_cast<unsigned char>(bytes[j]) < 0x80) ++j;
        out.append(bytes, i, j - i);
        if (j == bytes.size()) break;
        AppendUtf8(out, Windows1252Char(static_cast<unsigned char>(bytes[j])));
        i = j + 1;
    }
    return out;
}

std::string DecodeText(std::string_view bytes, const TEncodingInfo& encoding, TReferences where) {
    std::string text = TextOfPageBytes(bytes, encoding);
    if (where == TReferences::None || text.find('&') == std::string::npos) return text;
    return DecodeReferences(text, where);
}

void DecodeTextInPlace(std::string& text, const TEncodingInfo& encoding, TReferences where) {
    const bool references = where != TReferences::None && text.find('&') != std::string::npos;
    if (encoding.kind != TPageEncoding::Utf8 && !IsAscii(text))
        text = TextOfPageBytes(text, encoding);
    if (references) text = DecodeReferences(text, where);
}

std::string PageBytesOfText(std::string_view text, const TEncodingInfo& encoding) {
    if (encoding.kind == TPageEncoding::Utf8 || IsAscii(text)) return std::string(text);
    std::string out;
    out.reserve(text.size());
    SplitUtf8(
        text,
        [&](std::string_view run) {
            if (encoding.kind == TPageEncoding::Legacy) {
                out += Utf8ToPage(run, encoding);
                return;
            }
            char32_t c = 0;
            for (std::size_t i = 0; i < run.size();) {
                const auto lead = static_cast<unsigned char>(run[i]);
                if (lead < 0x80) {
                    out += run[i++];
                    continue;
                }
                // Latin-1 beyond ASCII, most of what such pages hold, is the same number in both.
                if ((lead == 0xC2 || lead == 0xC3) && i + 1 < run.size()) {
                    const auto next = static_cast<unsigned char>(run[i + 1]);
                    const unsigned code = ((lead & 0x1Fu) << 6) | (next & 0x3Fu);
                    if (code >= 0xA0) {
                        out += static_cast<char>(code);
                        i += 2;
                        continue;
                    }
                }
                i += Utf8CharAt(run, i, c);
                const int b = Windows1252Byte(c);
                if (b >= 0)
                    out += static_cast<char>(b);
                else
                    AppendReference(out, c);
            }
        },
        [&](unsigned char b) { out += static_cast<char>(b); });
    return out;
}

std::string CdataBytesOfText(std::string_view text, const TEncodingInfo& encoding,
                             char32_t& missing) {
    missing = 0;
    if (encoding.kind == TPageEncoding::Utf8 || IsAscii(text)) return std::string(text);
    std::string out;
    out.reserve(text.size());
    SplitUtf8(
        text,
        [&](std::string_view run) {
            // One character at a time: the encoder writes what it lacks as a reference, which
            // here would be text.
            for (std::size_t i = 0; i < run.size();) {
                char32_t c = 0;
                const std::size_t len = std::max<std::size_t>(1, Utf8CharAt(run, i, c));
                const std::string bytes = PageBytesOfText(run.substr(i, len), encoding);
                if (c >= 0x80 && bytes.starts_with("&#") && missing == 0) missing = c;
                out += bytes;
                i += len;
            }
        },
        [&](unsigned char b) { out += static_cast<char>(b); });
    return out;
}

namespace {

// The ASCII characters that EncodeText writes as they are.
constexpr std::array<bool, 256> kPlain = [] {
    std::array<bool, 256> plain{};
    for (int u = 0x20; u < 0x80; ++u) plain[u] = u != '&' && u != '<' && u != '>' && u != '"';
    plain['\t'] = plain['\n'] = plain['\r'] = true;
    return plain;
}();

bool IsPlain(unsigned char u) { return kPlain[u]; }

}  // namespace

std::string EncodeText(std::string_view text, TEncodeMode mode) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (std::size_t i = 0; i < text.size();) {
        const char b = text[i];
        const auto u = static_cast<unsigned char>(b);
        if (IsPlain(u)) {
            // Most of a text needs nothing: copied a run at a time.
            std::size_t j = i + 1;
            while (j < text.size() && IsPlain(static_cast<unsigned char>(text[j]))) ++j;
            out.append(text, i, j - i);
            i = j;
            continue;
        }
        if (u < 0x80) {
            // A control character is dropped at the start of a line when the page is read again;
            // as a reference it is kept.
            if (const std::string_view entity = MarkupEntity(b); !entity.empty())
                out += entity;
            else if (u < 0x20 && b != '\t' && b != '\n' && b != '\r')
                AppendReference(out, u);
            else
                out += b;
            ++i;
            continue;
        }
        char32_t c = 0;
        const std::size_t len = Utf8CharAt(text, i, c);
        if (len == 0) {
            out += b;
            ++i;
            continue;
        }
        const std::string_view entity = EntityOf(c);
        if (!entity.empty() && mode != TEncodeMode::KeepCharacters)
            out += entity;
        else if (mode == TEncodeMode::References)
            AppendReference(out, c);
        else
            out.append(text, i, len);
        i += len;
    }
    return out;
}

std::string TextFileText(std::string_view text, const TEncodingInfo& encoding) {
    if (text.find('&') == std::string_view::npos) return PageBytesOfText(text, encoding);
    std::string guarded;
    guarded.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && ReadReference(text.substr(i), TReferences::TextFile).length > 0)
            guarded += "&amp;";
        else
            guarded += text[i];
    }
    return PageBytesOfText(guarded, encoding);
}

std::string TextOfTextFile(std::string_view bytes, const TEncodingInfo& encoding) {
    return DecodeText(bytes, encoding, TReferences::TextFile);
}

std::string EscapedText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    SplitUtf8(
        text, [&](std::string_view run) { AppendEscaped(out, run); },
        [&](unsigned char b) { AppendByteEscape(out, b); });
    return out;
}

std::string TextOfEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    ReadEscaped(
        text, [&](std::string_view run) { out += run; },
        [&](unsigned char b) { out += static_cast<char>(b); });
    return out;
}

}  // namespace quillfen
