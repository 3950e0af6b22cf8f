#include "core/format.h"

#include <charconv>
#include <cstring>

namespace quillfen {

namespace {

std::size_t DigitCount(std::size_t n) {
    std::size_t digits = 1;
    for (; n >= 10000; n /= 10000) digits += 4;
    for (; n >= 10; n /= 10) ++digits;
    return digits;
}

void AppendNumber(std::string& out, std::size_t n) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string PhraseMarker(std::size_t k) {
    // Put together on the stack: recombination makes one for every phrase of the page.
    char marker[64];
    std::memcpy(marker, kMarkerOpen.data(), kMarkerOpen.size());
    char* end = std::to_chars(marker + kMarkerOpen.size(), marker + 40, k).ptr;
    std::memcpy(end, kMarkerClose.data(), kMarkerClose.size());
    return std::string(marker, end + kMarkerClose.size());
}

std::size_t MarkerLength(std::size_t k) {
    return kMarkerOpen.size() + DigitCount(k) + kMarkerClose.size();
}

std::size_t FindMarkerText(std::string_view text, std::size_t from, std::size_t& length) {
    for (std::size_t at = text.find(kMarkerOpen, from); at != std::string_view::npos;
         at = text.find(kMarkerOpen, at + 1)) {
        const std::size_t digits = at + kMarkerOpen.size();
        std::size_t i = digits;
        while (i < text.size() && IsDigit(text[i])) ++i;
        if (i > digits && text.substr(i, kMarkerClose.size()) == kMarkerClose) {
            length = i + kMarkerClose.size() - at;
            return at;
        }
    }
    return std::string_view::npos;
}

void AppendTextLine(std::string& out, std::size_t k, std::string_view text) {
    out += kNumberTagOpen;
    AppendNumber(out, k + 1);
    out += kNumberTagClose;
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
    const std::size_t tag = 1 + DigitCount(k + 1) + 1;
    if (line.size() <= tag + kEndTag.size()) return {};
    return line.substr(tag, line.size() - tag - kEndTag.size());
}

}  // namespace quillfen
