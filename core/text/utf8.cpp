#include "core/text/utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/errors.h"
#include "core/text/ascii.h"

namespace quillfen {

bool IsAscii(std::string_view s) {
    // Eight bytes at a time: texts and pages are mostly ASCII, and long.
    constexpr std::uint64_t kHigh = 0x8080808080808080u;
    const char* p = s.data();
    std::size_t n = s.size();
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        if (word & kHigh) return false;
    }
    for (; n > 0; ++p, --n)
        if (static_cast<unsigned char>(*p) >= 0x80) return false;
    return true;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendReference(std::string& out, char32_t c) {
    out += "&#";
    out += std::to_string(static_cast<unsigned long>(c));
    out += ';';
}

std::size_t Utf8CharAt(std::string_view s, std::size_t i, char32_t& cp) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data()) + i;
    const std::size_t left = s.size() - i;
    const unsigned char c = p[0];
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    std::size_t len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (left < len || p[1] < lo || p[1] > hi) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        if (p[k] < 0x80 || p[k] > 0xBF) return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    return len;
}

void AppendByteEscape(std::string& out, unsigned char b) {
    constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[b >> 4];
    out += kHex[b & 0x0F];
}

// UTF-8 text in the command-line form.
void AppendEscaped(std::string& out, std::string_view utf8) {
    for (char c : utf8) {
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += c;
        }
    }
}

std::size_t EscapeAt(std::string_view escaped, std::size_t at, char& c, bool& isByte) {
    isByte = false;
    if (at + 1 == escaped.size()) throw LoneBackslashError();
    switch (escaped[at + 1]) {
        case 't':
            c = '\t';
            return 2;
        case 'r':
            c = '\r';
            return 2;
        case 'n':
            c = '\n';
            return 2;
        case '\\':
            c = '\\';
            return 2;
        case 'x': {
            const int hi = at + 2 < escaped.size() ? HexValue(escaped[at + 2]) : -1;
            const int lo = at + 3 < escaped.size() ? HexValue(escaped[at + 3]) : -1;
            if (hi < 0 || lo < 0) throw BadHexEscapeError();
            c = static_cast<char>(hi * 16 + lo);
            isByte = true;
            return 4;
        }
        default: {
            char32_t cp = 0;
            const std::size_t len = std::max<std::size_t>(1, Utf8CharAt(escaped, at + 1, cp));
            throw BadEscapeError(escaped.substr(at + 1, len));
        }
    }
}

void RequireUtf8(std::string_view s) {
    char32_t c = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (static_cast<unsigned char>(s[i]) < 0x80) continue;
        const std::size_t len = Utf8CharAt(s, i, c);
        if (len == 0) throw InvalidUtf8Error(i + 1);
        i += len - 1;
    }
}

}  // namespace quillfen
