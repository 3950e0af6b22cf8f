#include "core/document/format.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <system_error>

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

TTextLine ReadTextLine(std::string_view line, std::size_t k, std::string_view& phrase) {
    if (line.size() < 2 + kEndTag.size() || line[0] != kNumberTagOpen || !line.ends_with(kEndTag))
        return TTextLine::Malformed;
    // The end tag stands behind the number tag's '>', not on it.
    const std::size_t end = line.size() - kEndTag.size();
    std::size_t close = 1, n = 0;
    bool fits = true;
    for (; close < end && IsDigit(line[close]); ++close) {
        fits = fits && n <= (SIZE_MAX - 9) / 10;
        n = n * 10 + static_cast<std::size_t>(line[close] - '0');
    }
    if (close == 1 || close >= end || line[close] != kNumberTagClose) return TTextLine::Malformed;
    // Written as the export writes it: no zero in front.
    if (!fits || line[1] == '0' || n != k + 1) {
        phrase = line.substr(0, close + 1);
        return TTextLine::OtherNumber;
    }
    phrase = line.substr(close + 1, end - close - 1);
    return TTextLine::Phrase;
}

void AppendTableEntry(std::string& out, std::string_view name, std::string_view open, bool paired,
                      std::string_view close) {
    out.append(name);
    out += '=';
    AppendNumber(out, open.size());
    out += ':';
    out.append(open);
    if (paired) {
        out += '/';
        AppendNumber(out, close.size());
        out += ':';
        out.append(close);
    }
    out += ';';
}

std::size_t ReadTable(std::string_view text, std::size_t at, std::vector<TTableEntry>& entries) {
    entries.clear();
    if (text.substr(at, kTableOpen.size()) != kTableOpen) return std::string_view::npos;
    std::size_t i = at + kTableOpen.size();
    // A length and the bytes it counts.
    auto bytes = [&](std::string_view& out) {
        std::size_t n = 0;
        const char* begin = text.data() + i;
        const auto [end, error] = std::from_chars(begin, text.data() + text.size(), n);
        if (error != std::errc() || end == begin) return false;
        i += static_cast<std::size_t>(end - begin);
        if (i >= text.size() || text[i] != ':' || text.size() - i - 1 < n) return false;
        out = text.substr(i + 1, n);
        i += 1 + n;
        return true;
    };
    while (text.substr(i, kTableClose.size()) != kTableClose) {
        TTableEntry entry;
        const std::size_t name = i;
        while (i < text.size() && text[i] != '=' && text[i] != '%') ++i;
        if (i == name || i >= text.size() || text[i] != '=') return std::string_view::npos;
        entry.Name = text.substr(name, i - name);
        ++i;
        if (!bytes(entry.Open)) return std::string_view::npos;
        if (i < text.size() && text[i] == '/') {
            ++i;
            entry.Paired = true;
            if (!bytes(entry.Close)) return std::string_view::npos;
        }
        if (i >= text.size() || text[i] != ';') return std::string_view::npos;
        ++i;
        entries.push_back(entry);
    }
    return i + kTableClose.size();
}

}  // namespace quillfen
