#include "encoding.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace quillfen {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::size_t FindNoCase(std::string_view hay, std::string_view needle, std::size_t from) {
    // The needle starts with '<', which has no case, so its first byte is found with memchr.
    const char first = needle[0];
    while (from + needle.size() <= hay.size()) {
        const void* hit = std::memchr(hay.data() + from, first, hay.size() - from);
        if (!hit) break;
        const std::size_t i = static_cast<const char*>(hit) - hay.data();
        if (i + needle.size() > hay.size()) break;
        std::size_t k = 1;
        while (k < needle.size() && Lower(hay[i + k]) == needle[k]) ++k;
        if (k == needle.size()) return i;
        from = i + 1;
    }
    return std::string_view::npos;
}

std::size_t FindNoCaseAnywhere(std::string_view hay, std::string_view needle) {
    for (std::size_t i = 0; i + needle.size() <= hay.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() && Lower(hay[i + k]) == needle[k]) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

bool StartsWith(const std::string& s, std::string_view prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// The charset named in the first meta tag that names one, in lower case.
std::optional<std::string> DeclaredCharset(std::string_view bytes) {
    for (std::size_t at = FindNoCase(bytes, "<meta", 0); at != std::string_view::npos;
         at = FindNoCase(bytes, "<meta", at + 5)) {
        std::size_t end = bytes.find('>', at);
        std::string_view tag = bytes.substr(at, end == std::string_view::npos ? bytes.size() - at
                                                                              : end - at);
        std::size_t p = FindNoCaseAnywhere(tag, "charset");
        if (p == std::string_view::npos) continue;
        p += 7;
        auto skipBlanks = [&] {
            while (p < tag.size() && static_cast<unsigned char>(tag[p]) <= 32) ++p;
        };
        skipBlanks();
        if (p >= tag.size() || tag[p] != '=') continue;
        ++p;
        skipBlanks();
        if (p < tag.size() && (tag[p] == '"' || tag[p] == '\'')) ++p;
        std::string name;
        while (p < tag.size()) {
            char c = Lower(tag[p]);
            if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
                  c == '.' || c == ':'))
                break;
            name.push_back(c);
            ++p;
        }
        if (!name.empty()) return name;
    }
    return std::nullopt;
}

bool IsSingleByteCharset(const std::string& name) {
    for (std::string_view prefix : {"iso-8859", "iso8859", "iso_8859", "windows-125", "cp125",
                                    "latin", "us-ascii", "ascii", "x-cp125"})
        if (StartsWith(name, prefix)) return true;
    return false;
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        unsigned char c = *p;
        if (c < 0x80) {
            // Pages are mostly ASCII: pass it eight bytes at a time.
            ++p;
            std::uint64_t w;
            while (end - p >= 8 && (std::memcpy(&w, p, 8), (w & 0x8080808080808080ULL) == 0)) p += 8;
            continue;
        }
        std::size_t len;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;  // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - p) < len) return false;
        if (p[1] < lo || p[1] > hi) return false;
        for (std::size_t k = 2; k < len; ++k)
            if (p[k] < 0x80 || p[k] > 0xBF) return false;
        p += len;
    }
    return true;
}

TPageEncoding DetectEncoding(std::string_view bytes) {
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) return TPageEncoding::Utf8;
    if (auto name = DeclaredCharset(bytes)) {
        if (*name == "utf-8" || *name == "utf8") return TPageEncoding::Utf8;
        if (IsSingleByteCharset(*name)) return TPageEncoding::Windows1252;
    }
    bool nonAscii = false;
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) {
            nonAscii = true;
            break;
        }
    return nonAscii && IsValidUtf8(bytes) ? TPageEncoding::Utf8 : TPageEncoding::Windows1252;
}

const TEntityTables& Utf8Tables() {
    static const TEntityTables tables{
        "UTF-8",
        {
            {"&uuml;", "\xC3\xBC"},
            {"&auml;", "\xC3\xA4"},
            {"&ouml;", "\xC3\xB6"},
            {"&Uuml;", "\xC3\x9C"},
            {"&Auml;", "\xC3\x84"},
            {"&Ouml;", "\xC3\x96"},
            {"&quot;", "\""},
            {"&amp;", "&", true},
            {"&lt;", "<"},
            {"&gt;", ">"},
            {"&szlig;", "\xC3\x9F"},
        },
        {
            {"& ", "&amp; "},
            {"\xC3\xA4", "&auml;"},
            {"\xC3\xB6", "&ouml;"},
            {"\xC3\xBC", "&uuml;"},
            {"\"", "&quot;"},
            {"\xC3\x9C", "&Uuml;"},
            {"\xC3\x84", "&Auml;"},
            {"\xC3\x96", "&Ouml;"},
            {"<", "&lt;"},
            {">", "&gt;"},
            {"\xC3\x9F", "&szlig;"},
        },
    };
    return tables;
}

const TEntityTables& TablesFor(TPageEncoding encoding) {
    return encoding == TPageEncoding::Utf8 ? Utf8Tables() : Windows1252Tables();
}

}  // namespace quillfen
