#include "exchange/textformat.h"

#include <charconv>

namespace quillfen {

void AppendTextLine(std::string& out, std::size_t k, std::string_view text) {
    char digits[24];
    out += '<';
    out.append(digits, std::to_chars(digits, digits + sizeof digits, k + 1).ptr);
    out += '>';
    std::size_t from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n' && c != '\0') continue;
        out.append(text, from, i - from);
        out += ' ';
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        from = i + 1;
    }
    out.append(text, from, text.size() - from);
    out += kEndTag;
    out += "\r\n";
}

std::string_view PhraseOfLine(std::string_view line, std::size_t k) {
    std::size_t tag = 3;  // '<', the first digit, '>'
    for (std::size_t n = k + 1; n >= 10; n /= 10) ++tag;
    if (line.size() <= tag + kEndTag.size()) return {};
    return line.substr(tag, line.size() - tag - kEndTag.size());
}

std::size_t FindMarkerText(std::string_view text, std::size_t from, std::size_t& length) {
    for (std::size_t at = text.find("%_", from); at != std::string_view::npos;
         at = text.find("%_", at + 1)) {
        std::size_t i = at + 2;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        if (i > at + 2 && text.substr(i, 2) == "_%") {
            length = i + 2 - at;
            return at;
        }
    }
    return std::string_view::npos;
}

TSource SourceOfMarker(std::string_view templ, std::size_t at) {
    // An attribute value's span leaves out the blanks at its edges, so they may stand between
    // the quote and the marker. Line breaks are not passed over: in a pre block the byte before
    // the line's break is the end of the line above, which may well be a quote or '='.
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

}  // namespace quillfen
