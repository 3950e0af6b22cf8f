#include "core/text/encoding.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>

#include "core/errors.h"
#include "core/markup/kinds.h"
#include "core/markup/tokenizer.h"
#include "core/text/ascii.h"
#include "core/text/utf8.h"

namespace quillfen {

namespace {

std::size_t FindNoCase(std::string_view hay, std::string_view needle, std::size_t from) {
    // The needle starts with '<', which has no case, so its first byte is found with memchr.
    const char first = needle[0];
    while (from + needle.size() <= hay.size()) {
        const void* hit = std::memchr(hay.data() + from, first, hay.size() - from);
        if (!hit) break;
        const std::size_t i = static_cast<const char*>(hit) - hay.data();
        if (i + needle.size() > hay.size()) break;
        std::size_t k = 1;
        while (k < needle.size() && LowerAZ(hay[i + k]) == needle[k]) ++k;
        if (k == needle.size()) return i;
        from = i + 1;
    }
    return std::string_view::npos;
}

std::size_t FindNoCaseAnywhere(std::string_view hay, std::string_view needle) {
    for (std::size_t i = 0; i + needle.size() <= hay.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() && LowerAZ(hay[i + k]) == needle[k]) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

bool StartsWith(const std::string& s, std::string_view prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// An encoding's name as a declaration gives it, in lower case: up to the first character that
// no name holds.
std::string NameOfValue(std::string_view value) {
    std::size_t p = 0;
    while (p < value.size() && static_cast<unsigned char>(value[p]) <= 32) ++p;
    if (p < value.size() && (value[p] == '"' || value[p] == '\'')) ++p;
    std::string name;
    for (; p < value.size(); ++p) {
        const char c = LowerAZ(value[p]);
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
              c == '.' || c == ':'))
            break;
        name.push_back(c);
    }
    return name;
}

// The charset that the meta tag at bytes[at] names, in lower case; empty if none. Its attributes
// are read as the tokenizer reads them: a charset attribute, else "charset=" in its content.
std::string CharsetOfMeta(std::string_view bytes, std::size_t at) {
    const TTagEnd end = FindTagEnd(bytes, at);
    if (end.kind != TEnd::Closed) return {};
    std::string charset, fromContent;
    ForEachAttribute(bytes.substr(at + 1, end.at - at - 1), [&](const TAttribute& a) {
        if (EqualsNoCase(a.name, "charset")) {
            if (charset.empty()) charset = NameOfValue(a.value);
        } else if (EqualsNoCase(a.name, "content") && fromContent.empty()) {
            const std::size_t p = FindNoCaseAnywhere(a.value, "charset");
            if (p != std::string_view::npos) {
                std::string_view rest = a.value.substr(p + 7);
                while (!rest.empty() && static_cast<unsigned char>(rest.front()) <= 32)
                    rest.remove_prefix(1);
                if (!rest.empty() && rest.front() == '=') fromContent = NameOfValue(rest.substr(1));
            }
        }
        return true;
    });
    return charset.empty() ? fromContent : charset;
}

// Reads the page as the tokenizer does, up to the first meta tag that names a charset.
class TCharsetFinder final : public TTokenSink {
  public:
    explicit TCharsetFinder(std::string_view page) : page_(page) {}
    void Text(std::size_t, std::size_t, TTextMode) override {}
    void Tag(const TTagToken& tag) override {
        if (tag.end || !tag.html || !EqualsNoCase(tag.name, "meta")) return;
        std::string name = CharsetOfMeta(page_, tag.lt);
        if (name.empty()) return;
        charset = std::move(name);
        at = tag.lt;
        stop = true;
    }

    std::optional<std::string> charset;
    std::size_t at = 0;

  private:
    std::string_view page_;
};

// The charset named in the first meta tag that names one, in lower case, as the tokenizer reads
// the page: a "<meta" that stands in a comment, in another tag's attribute value, in the text of
// a title or script, or in a CDATA section of svg or math is none, so that no phrase written anew
// changes what the page declares. where gets where that tag starts.
std::optional<std::string> DeclaredCharset(std::string_view bytes, std::size_t* where = nullptr) {
    // Most pages name a charset in no "<meta" at all, and the others near their start: the
    // markup is read only where one may, and only up to that tag.
    std::size_t at = FindNoCase(bytes, "<meta", 0);
    while (at != std::string_view::npos && CharsetOfMeta(bytes, at).empty())
        at = FindNoCase(bytes, "<meta", at + 5);
    if (at == std::string_view::npos) return std::nullopt;
    TCharsetFinder finder(bytes);
    Tokenize(bytes, finder);
    if (where && finder.charset) *where = finder.at;
    return std::move(finder.charset);
}

bool IsOneOf(const std::string& name, std::initializer_list<std::string_view> names) {
    for (std::string_view n : names)
        if (name == n) return true;
    return false;
}

// The names browsers read as UTF-8 and as Windows-1252.
bool IsUtf8Name(const std::string& name) {
    return IsOneOf(name, {"utf-8", "utf8", "unicode-1-1-utf-8", "unicode11utf8", "unicode20utf8",
                          "x-unicode20utf8"});
}

bool IsWindows1252Name(const std::string& name) {
    return IsOneOf(name, {"windows-1252", "cp1252", "x-cp1252", "iso-8859-1", "iso8859-1",
                          "iso88591", "iso_8859-1", "iso_8859-1:1987", "iso-ir-100", "latin1", "l1",
                          "csisolatin1", "cp819", "ibm819", "us-ascii", "ascii", "ansi_x3.4-1968"});
}

// Stateful encodings change the meaning of ASCII bytes by escapes, and UTF-16/UTF-32 are no
// ASCII supersets: neither can be scanned byte by byte.
bool IsRefusedName(const std::string& name) {
    for (std::string_view prefix : {"iso-2022", "iso2022", "csiso2022", "utf-7", "utf7", "utf-16",
                                    "utf16", "utf-32", "utf32", "ucs-2", "ucs2", "ucs-4", "ucs4"})
        if (StartsWith(name, prefix)) return true;
    return IsOneOf(name, {"hz", "hz-gb-2312", "unicode", "unicodefeff", "unicodefffe", "csunicode",
                          "iso-10646-ucs-2", "unicode-1-1-utf-7", "csunicode11utf7"});
}

// The encoding a byte-order mark names, or empty.
std::string_view MarkedEncoding(std::string_view bytes) {
    if (bytes.substr(0, 4) == std::string_view("\xFF\xFE\0\0", 4)) return "UTF-32LE";
    if (bytes.substr(0, 4) == std::string_view("\0\0\xFE\xFF", 4)) return "UTF-32BE";
    if (bytes.substr(0, 2) == "\xFF\xFE") return "UTF-16LE";
    if (bytes.substr(0, 2) == "\xFE\xFF") return "UTF-16BE";
    std::size_t lead = 0;
    while (lead < bytes.size() && static_cast<unsigned char>(bytes[lead]) <= 32) ++lead;
    if (bytes.substr(lead, kUtf8Bom.size()) == kUtf8Bom) return "UTF-8";
    return {};
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// Sets refused to the name of a refused encoding instead of throwing, for DetectEncoding.
TEncodingInfo Detect(std::string_view bytes, std::string& refused) {
    const std::string_view marked = MarkedEncoding(bytes);
    if (marked == "UTF-8") return {TPageEncoding::Utf8, {}};
    if (!marked.empty()) {
        refused = marked;
        return {};
    }
    if (auto name = DeclaredCharset(bytes)) {
        if (IsUtf8Name(*name)) return {TPageEncoding::Utf8, {}};
        if (IsWindows1252Name(*name)) return {};
        if (IsRefusedName(*name)) {
            refused = Upper(*name);
            return {};
        }
        return {TPageEncoding::Legacy, std::move(*name)};
    }
    if (!IsAscii(bytes) && IsValidUtf8(bytes)) return {TPageEncoding::Utf8, {}};
    return {};
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
            while (end - p >= 8 && (std::memcpy(&w, p, 8), (w & 0x8080808080808080ULL) == 0))
                p += 8;
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

std::size_t CharsetDeclarationEnd(std::string_view bytes) {
    std::size_t at = 0;
    if (!DeclaredCharset(bytes, &at)) return std::string_view::npos;
    return FindTagEnd(bytes, at).at + 1;
}

TEncodingInfo DetectPageEncoding(std::string_view bytes, const std::string& path) {
    std::string refused;
    TEncodingInfo info = Detect(bytes, refused);
    if (!refused.empty()) throw UnsupportedEncodingError(path, refused);
    return info;
}

TPageEncoding DetectEncoding(std::string_view bytes) {
    std::string refused;
    return Detect(bytes, refused).kind;
}

namespace {

// 0x80 .. 0x9F of Windows-1252; the undefined bytes keep their own number.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

char16_t Windows1252Char(unsigned char byte) {
    return (byte >= 0x80 && byte <= 0x9F) ? kWindows1252High[byte - 0x80] : char16_t(byte);
}

int Windows1252Byte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
    for (int i = 0; i < 32; ++i)
        if (kWindows1252High[i] == c) return 0x80 + i;
    return -1;
}

bool OnlyBlanksAndControls(std::string_view s) {
    for (unsigned char c : s)
        if (c > 32) return false;
    return true;
}

void KeepFromReadingAsMark(std::string& bytes, std::string_view before, TPageEncoding encoding) {
    if (!OnlyBlanksAndControls(before)) return;
    const std::string_view b(bytes);
    if (before.empty() && (b.starts_with("\xFE\xFF") || b.starts_with("\xFF\xFE"))) {
        // A UTF-16 mark counts only as a file's first two bytes, and a blank in front of the
        // text is read as nothing, in any encoding.
        bytes.insert(0, 1, ' ');
    } else if (b.starts_with(kUtf8Bom)) {
        if (encoding == TPageEncoding::Windows1252)
            // The byte's character in Windows-1252 is the Latin-1 one.
            bytes.replace(0, 1, "&#239;");
        else if (encoding == TPageEncoding::Utf8)
            bytes.replace(0, kUtf8Bom.size(), "&#65279;");
    }
}

}  // namespace quillfen
