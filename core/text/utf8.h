#pragma once

// UTF-8 as texts hold it, where a byte that is no UTF-8 (a byte a page's encoding could not
// read) may stand among the characters and must come through unchanged.

#include <cstddef>
#include <string>
#include <string_view>

namespace quillfen {

void AppendUtf8(std::string& out, char32_t c);

// Whether every byte of s is below 0x80.
bool IsAscii(std::string_view s);

// "&#N;" for c.
void AppendReference(std::string& out, char32_t c);

// The length of the UTF-8 character at s[i] and its code point, or 0 when none starts there
// (overlong forms and surrogates are none).
std::size_t Utf8CharAt(std::string_view s, std::size_t i, char32_t& c);

// Calls run(stretch of valid UTF-8) and bad(byte) over text, in order.
template <class Run, class Bad>
void SplitUtf8(std::string_view text, Run run, Bad bad) {
    std::size_t from = 0, i = 0;
    char32_t c = 0;
    while (i < text.size()) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        if (const std::size_t len = Utf8CharAt(text, i, c)) {
            i += len;
            continue;
        }
        if (i > from) run(text.substr(from, i - from));
        bad(static_cast<unsigned char>(text[i]));
        from = ++i;
    }
    if (i > from) run(text.substr(from, i - from));
}

// The command-line form of text: tab, CR, LF and backslash as \t \r \n \\; a byte as \xHH.
void AppendEscaped(std::string& out, std::string_view utf8);
void AppendByteEscape(std::string& out, unsigned char b);

// The escape that starts at escaped[at] (a backslash): its length, and what it stands for in c
// (a character, or a byte when isByte). Throws TError on a malformed escape.
std::size_t EscapeAt(std::string_view escaped, std::size_t at, char& c, bool& isByte);
// Throws TError naming the first byte of s that is no UTF-8.
void RequireUtf8(std::string_view s);

// Reads the command-line form (hex digits in either case): text(run) for each stretch of
// characters, where an escaped character comes as a run of its own, and byte(b) for each \xHH.
// Throws TError on bytes that are no UTF-8 or a malformed escape.
template <class Text, class Byte>
void ReadEscaped(std::string_view escaped, Text text, Byte byte) {
    RequireUtf8(escaped);
    std::size_t from = 0;
    for (std::size_t i = 0; i < escaped.size();) {
        if (escaped[i] != '\\') {
            ++i;
            continue;
        }
        if (i > from) text(escaped.substr(from, i - from));
        char c = 0;
        bool isByte = false;
        i += EscapeAt(escaped, i, c, isByte);
        from = i;
        if (isByte)
            byte(static_cast<unsigned char>(c));
        else
            text(std::string_view(&c, 1));
    }
    if (escaped.size() > from) text(escaped.substr(from));
}

}  // namespace quillfen
