#include "core/pagecodec.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <vector>

#include "core/errors.h"

namespace quillfen {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The length of the UTF-8 sequence at s[i] and its code point, or 0 when none starts there
// (overlong forms and surrogates are none).
std::size_t Utf8At(std::string_view s, std::size_t i, char32_t& cp) {
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

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

#ifndef _WIN32
// Browsers read these names as the Microsoft supersets, and so must the window: the C library's
// plain SHIFT_JIS even reads the backslash byte as a yen sign.
std::string ConverterName(const std::string& declared) {
    const std::string name = Lower(declared);
    auto in = [&](std::initializer_list<std::string_view> names) {
        for (std::string_view n : names)
            if (name == n) return true;
        return false;
    };
    if (in({"shift_jis", "shift-jis", "sjis", "x-sjis", "ms_kanji", "csshiftjis", "windows-31j",
            "ms932", "cp932"}))
        return "CP932";
    if (in({"euc-kr", "cseuckr", "csksc56011987", "iso-ir-149", "korean", "ks_c_5601-1987",
            "ks_c_5601-1989", "ksc5601", "ksc_5601", "windows-949", "cp949", "uhc"}))
        return "CP949";
    if (in({"gb2312", "gbk", "x-gbk", "chinese", "csgb2312", "csiso58gb231280", "gb_2312",
            "gb_2312-80", "iso-ir-58", "cp936", "ms936", "windows-936"}))
        return "GBK";
    if (in({"big5", "big5-hkscs", "cn-big5", "csbig5", "x-x-big5"})) return "BIG5-HKSCS";
    if (in({"euc-jp", "x-euc-jp", "cseucpkdfmtjapanese"})) return "EUC-JP";
    return Upper(name);
}

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// Runs cd over in and appends the result to out, state flushed. False at the first byte
// sequence cd cannot convert; stop is then where cd says it stopped, and out holds what came
// before. Some of the C library's converters report a bad sequence only behind it, so callers
// do not take stop as the bad byte.
bool Run(iconv_t cd, std::string_view in, std::string& out, std::size_t* stop = nullptr) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char buffer[4096];
    bool ok = true;
    while (left > 0) {
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        const std::size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            ok = false;
            break;
        }
    }
    if (stop) *stop = static_cast<std::size_t>(src - in.data());
    while (true) {
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        const std::size_t r = iconv(cd, nullptr, nullptr, &dst, &room);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (r != static_cast<std::size_t>(-1) || errno != E2BIG) break;
    }
    return ok;
}

// Both directions of one encoding.
struct TConverter {
    std::string name;
    iconv_t toUtf8 = kNoConverter;
    iconv_t fromUtf8 = kNoConverter;

    TConverter() = default;
    TConverter(const TConverter&) = delete;
    TConverter& operator=(const TConverter&) = delete;
    ~TConverter() {
        if (toUtf8 != kNoConverter) iconv_close(toUtf8);
        if (fromUtf8 != kNoConverter) iconv_close(fromUtf8);
    }
};

#else
// Browsers read these names as the Microsoft supersets; so do the code pages. 0 for a name no
// code page stands for.
UINT CodePageOf(const std::string& declared) {
    const std::string name = Lower(declared);
    auto in = [&](std::initializer_list<std::string_view> names) {
        for (std::string_view n : names)
            if (name == n) return true;
        return false;
    };
    if (in({"shift_jis", "shift-jis", "sjis", "x-sjis", "ms_kanji", "csshiftjis", "windows-31j",
            "ms932", "cp932"}))
        return 932;
    if (in({"euc-kr", "cseuckr", "csksc56011987", "iso-ir-149", "korean", "ks_c_5601-1987",
            "ks_c_5601-1989", "ksc5601", "ksc_5601", "windows-949", "cp949", "uhc"}))
        return 949;
    if (in({"gb2312", "gbk", "x-gbk", "chinese", "csgb2312", "csiso58gb231280", "gb_2312",
            "gb_2312-80", "iso-ir-58", "cp936", "ms936", "windows-936"}))
        return 936;
    if (in({"gb18030"})) return 54936;
    if (in({"big5", "big5-hkscs", "cn-big5", "csbig5", "x-x-big5"})) return 950;
    if (in({"euc-jp", "x-euc-jp", "cseucpkdfmtjapanese"})) return 20932;
    if (in({"koi8-r", "koi8_r", "koi", "koi8", "cskoi8r"})) return 20866;
    if (in({"koi8-u", "koi8-ru"})) return 21866;
    if (in({"ibm866", "866", "cp866", "csibm866"})) return 866;
    if (in({"macintosh", "mac", "x-mac-roman", "csmacintosh"})) return 10000;
    if (in({"x-mac-cyrillic", "x-mac-ukrainian"})) return 10007;
    if (in({"windows-874", "dos-874", "tis-620", "iso-8859-11", "iso8859-11", "iso885911"}))
        return 874;
    // iso-8859-N, iso8859-N, iso_8859-N and iso-ir forms of the parts with a code page.
    for (std::string_view prefix : {"iso-8859-", "iso8859-", "iso_8859-", "iso8859"}) {
        if (!name.starts_with(prefix)) continue;
        const std::string part = name.substr(prefix.size());
        static constexpr std::pair<std::string_view, UINT> kParts[] = {
            {"2", 28592}, {"3", 28593}, {"4", 28594}, {"5", 28595},  {"6", 28596},
            {"7", 28597}, {"8", 28598}, {"9", 28599}, {"13", 28603}, {"15", 28605},
        };
        for (const auto& [number, codePage] : kParts)
            if (part == number) return codePage;
    }
    // windows-1250 to 1258 and the code pages named by number.
    for (std::string_view prefix : {"windows-", "x-cp", "cp", "ibm"}) {
        if (!name.starts_with(prefix) || name.size() == prefix.size()) continue;
        unsigned number = 0;
        const char* first = name.data() + prefix.size();
        const auto [end, ec] = std::from_chars(first, name.data() + name.size(), number);
        if (ec == std::errc() && end == name.data() + name.size() && number > 0 && number < 65000)
            return number;
    }
    return 0;
}

// One direction of a code page's conversion: page bytes to UTF-8, or back.
struct TDirection {
    UINT codePage = 0;
    bool toUtf8 = true;
};

// Page bytes to UTF-16; false when a byte starts no character or a character is cut off.
bool Widen(UINT codePage, std::string_view bytes, std::wstring& wide) {
    wide.clear();
    if (bytes.empty()) return true;
    const int size = static_cast<int>(bytes.size());
    const int n =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (n <= 0) return false;
    wide.resize(static_cast<std::size_t>(n));
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(),
                               n) == n;
}

// UTF-16 to page bytes; false when a character has no bytes of its own in the code page, rather
// than taking a look-alike or the default character. Code pages that take no flags are checked
// by reading back, as every caller does.
bool Narrow(UINT codePage, std::wstring_view wide, std::string& bytes) {
    bytes.clear();
    if (wide.empty()) return true;
    const int size = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    BOOL* used = &usedDefault;
    int n = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, used);
    if (n <= 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        used = nullptr;
        n = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, used);
    }
    if (n <= 0 || usedDefault) return false;
    bytes.resize(static_cast<std::size_t>(n));
    return WideCharToMultiByte(codePage, flags, wide.data(), size, bytes.data(), n, nullptr,
                               used) == n &&
           !usedDefault;
}

void AppendWide(std::string& out, std::wstring_view wide) {
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
        AppendUtf8(out, c);
    }
}

std::wstring WideOf(char32_t c) {
    if (c < 0x10000) return std::wstring(1, static_cast<wchar_t>(c));
    c -= 0x10000;
    return {static_cast<wchar_t>(0xD800 + (c >> 10)), static_cast<wchar_t>(0xDC00 + (c & 0x3FF))};
}

// The character at bytes[pos] appended as UTF-8: its byte count, or 0 when none starts there.
std::size_t DecodeAt(UINT codePage, std::string_view bytes, std::size_t pos, std::string& out) {
    constexpr std::size_t kLongest = 4;
    std::wstring wide;
    for (std::size_t len = 1; len <= kLongest && pos + len <= bytes.size(); ++len) {
        if (Widen(codePage, bytes.substr(pos, len), wide)) {
            AppendWide(out, wide);
            return len;
        }
    }
    return 0;
}

// Runs one direction over in and appends the result to out, as the iconv form does: false at
// the first character that cannot be converted, stop where it starts, out holding what came
// before. Whole texts go through in one call; only a failed one is taken a character at a time.
bool Run(const TDirection& d, std::string_view in, std::string& out, std::size_t* stop = nullptr) {
    std::size_t done = 0;
    if (d.toUtf8) {
        std::wstring wide;
        if (Widen(d.codePage, in, wide)) {
            AppendWide(out, wide);
            done = in.size();
        } else {
            while (done < in.size()) {
                const std::size_t len = DecodeAt(d.codePage, in, done, out);
                if (len == 0) break;
                done += len;
            }
        }
    } else {
        std::wstring wide;
        std::string bytes;
        if (Widen(CP_UTF8, in, wide) && Narrow(d.codePage, wide, bytes)) {
            out += bytes;
            done = in.size();
        } else {
            char32_t c = 0;
            while (done < in.size()) {
                const std::size_t len = Utf8At(in, done, c);
                if (len == 0 || !Narrow(d.codePage, WideOf(c), bytes)) break;
                out += bytes;
                done += len;
            }
        }
    }
    if (stop) *stop = done;
    return done == in.size();
}

// Both directions of one code page.
struct TConverter {
    std::string name;
    TDirection toUtf8;
    TDirection fromUtf8;
};
#endif

// The scan takes < > & " and the line breaks for themselves wherever they stand, so an encoding
// must write all of ASCII as ASCII, both ways.
bool KeepsAscii(const TConverter& c) {
    std::string ascii = "\t\n\r";
    for (char b = ' '; b < 0x7F; ++b) ascii += b;
    std::string there, back;
    return Run(c.fromUtf8, ascii, there) && there == ascii && Run(c.toUtf8, ascii, back) &&
           back == ascii;
}

#ifndef _WIN32
// Opening a converter costs more than converting a phrase: each thread keeps the few it used
// last (the command-line tool converts pages on several threads).
TConverter& ConverterFor(const TEncodingInfo& encoding, const std::string& path) {
    thread_local std::vector<std::unique_ptr<TConverter>> cache;
    const std::string name = encoding.name.empty() ? std::string() : ConverterName(encoding.name);
    for (std::size_t i = 0; i < cache.size(); ++i) {
        if (cache[i]->name != name) continue;
        if (i != 0) std::swap(cache[i], cache[0]);
        return *cache[0];
    }
    // An empty name would make iconv use the locale's encoding.
    const std::string shown = Upper(encoding.name);
    if (name.empty()) throw UnknownEncodingError(path, shown);
    auto c = std::make_unique<TConverter>();
    c->name = name;
    c->toUtf8 = iconv_open("UTF-8", name.c_str());
    c->fromUtf8 = iconv_open(name.c_str(), "UTF-8");
    if (c->toUtf8 == kNoConverter || c->fromUtf8 == kNoConverter)
        throw UnknownEncodingError(path, shown);
    if (!KeepsAscii(*c)) throw UnsupportedEncodingError(path, shown);
    constexpr std::size_t kKept = 4;
    if (cache.size() == kKept) cache.pop_back();
    cache.insert(cache.begin(), std::move(c));
    return *cache[0];
}

// The character (or, in Big5-HKSCS, the pair) at bytes[pos]: its byte count, or 0 when no
// character starts there. Tried with one byte more at a time, so that a converter that reports
// a bad sequence late cannot swallow good bytes behind it.
std::size_t DecodeOne(TConverter& c, std::string_view bytes, std::size_t pos, std::string& out) {
    constexpr std::size_t kLongest = 6;
    for (std::size_t len = 1; len <= kLongest && pos + len <= bytes.size(); ++len) {
        iconv(c.toUtf8, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(bytes.data() + pos);
        std::size_t left = len;
        char buffer[64];
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        const std::size_t r = iconv(c.toUtf8, &src, &left, &dst, &room);
        if (r != static_cast<std::size_t>(-1) && left == 0) {
            iconv(c.toUtf8, nullptr, nullptr, &dst, &room);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            return len;
        }
        if (r == static_cast<std::size_t>(-1) && errno != EINVAL) return 0;
    }
    return 0;
}

#else
// A code page has no state, so one converter serves every thread; none is ever dropped, as a
// site declares only a few encodings. No thread_local here: MinGW runs the destructors of those
// after their thread's storage is gone.
TConverter& ConverterFor(const TEncodingInfo& encoding, const std::string& path) {
    static std::mutex lock;
    static std::vector<std::unique_ptr<TConverter>> cache;
    const std::lock_guard<std::mutex> hold(lock);
    for (const auto& c : cache)
        if (c->name == encoding.name) return *c;
    const std::string shown = Upper(encoding.name);
    const UINT codePage = encoding.name.empty() ? 0 : CodePageOf(encoding.name);
    if (codePage == 0 || !IsValidCodePage(codePage)) throw UnknownEncodingError(path, shown);
    auto c = std::make_unique<TConverter>();
    c->name = encoding.name;
    c->toUtf8 = {codePage, true};
    c->fromUtf8 = {codePage, false};
    if (!KeepsAscii(*c)) throw UnsupportedEncodingError(path, shown);
    cache.push_back(std::move(c));
    return *cache.back();
}

std::size_t DecodeOne(TConverter& c, std::string_view bytes, std::size_t pos, std::string& out) {
    return DecodeAt(c.toUtf8.codePage, bytes, pos, out);
}
#endif

// Whether bytes read back as exactly utf8.
bool ReadsAs(TConverter& c, std::string_view bytes, std::string_view utf8) {
    std::string back;
    return Run(c.toUtf8, bytes, back) && back == utf8;
}

// Whether utf8 is written as exactly bytes.
bool WritesAs(TConverter& c, std::string_view utf8, std::string_view bytes) {
    std::string there;
    return Run(c.fromUtf8, utf8, there) && there == bytes;
}

// Decodes a Legacy page's bytes: text(utf8) for the characters, bad(byte) for each byte that
// starts none. With exact, a character that would be written back as other bytes (one of two
// forms of a character) goes to bad byte by byte too, so that the caller can keep its bytes.
// The converter's output is taken only where it writes back as the bytes it came from: that
// also catches converters that report a bad sequence only behind it. Elsewhere the bytes are
// read one character at a time. Windows of bytes keep a failed try cheap.
template <class Text, class Bad>
void DecodeLegacy(TConverter& c, std::string_view bytes, bool exact, Text text, Bad bad) {
    constexpr std::size_t kWindow = 1024;
    std::string chunk;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::string_view window = bytes.substr(pos, kWindow);
        chunk.clear();
        std::size_t stop = 0;
        const bool ok = Run(c.toUtf8, window, chunk, &stop);
        const std::size_t good = ok ? window.size() : std::min(stop, window.size());
        std::size_t slowEnd;
        if (good > 0 && WritesAs(c, chunk, window.substr(0, good))) {
            text(std::string_view(chunk));
            pos += good;
            if (ok) continue;
            // A bad byte, or a character the window cut.
            slowEnd = pos + 1;
        } else {
            slowEnd = pos + std::max<std::size_t>(good, 1);
        }
        while (pos < slowEnd && pos < bytes.size()) {
            chunk.clear();
            const std::size_t len = DecodeOne(c, bytes, pos, chunk);
            if (len == 0) {
                bad(static_cast<unsigned char>(bytes[pos]));
                ++pos;
                continue;
            }
            if (exact && !WritesAs(c, chunk, bytes.substr(pos, len))) {
                for (std::size_t k = 0; k < len; ++k)
                    bad(static_cast<unsigned char>(bytes[pos + k]));
            } else {
                text(std::string_view(chunk));
            }
            pos += len;
        }
    }
}

void EncodeChar(TConverter& c, char32_t cp, std::string& out) {
    std::string utf8, bytes;
    AppendUtf8(utf8, cp);
    // Read back, since the C library writes some characters as others' bytes (the yen sign as a
    // backslash in Shift_JIS) and drops the tag characters without a word.
    if (Run(c.fromUtf8, utf8, bytes) && ReadsAs(c, bytes, utf8))
        out += bytes;
    else
        AppendReference(out, cp);
}

// One stretch of valid UTF-8 into a Legacy encoding.
void EncodeRun(TConverter& c, std::string_view run, std::string& out) {
    std::string bytes;
    while (!run.empty()) {
        bytes.clear();
        std::size_t stop = run.size();
        const bool ok = Run(c.fromUtf8, run, bytes, &stop);
        // A stop inside a character would be the converter's fault; then start again behind
        // the first character.
        if (!ok && (stop > run.size() || (stop < run.size() && (run[stop] & 0xC0) == 0x80)))
            stop = 0;
        const std::string_view done = run.substr(0, stop);
        if (ReadsAs(c, bytes, done)) {
            out += bytes;
        } else {
            char32_t cp = 0;
            for (std::size_t i = 0; i < done.size();) {
                i += Utf8At(done, i, cp);
                EncodeChar(c, cp, out);
            }
        }
        run.remove_prefix(stop);
        if (ok || run.empty()) break;
        char32_t cp = 0;
        const std::size_t len = Utf8At(run, 0, cp);
        EncodeChar(c, cp, out);
        run.remove_prefix(len);
    }
}

// Calls run(valid UTF-8 stretch) and invalid(byte) over utf8 in order.
template <class Run_, class Invalid>
void SplitUtf8(std::string_view utf8, Run_ run, Invalid invalid) {
    std::size_t from = 0, i = 0;
    char32_t cp = 0;
    while (i < utf8.size()) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t len = Utf8At(utf8, i, cp);
        if (len) {
            i += len;
            continue;
        }
        if (i > from) run(utf8.substr(from, i - from));
        invalid(static_cast<unsigned char>(utf8[i]));
        from = ++i;
    }
    if (i > from) run(utf8.substr(from, i - from));
}

}  // namespace

void CheckConvertible(const TEncodingInfo& encoding, const std::string& path) {
    if (encoding.kind == TPageEncoding::Legacy) ConverterFor(encoding, path);
}

std::string PageToUtf8(std::string_view bytes, const TEncodingInfo& encoding) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    switch (encoding.kind) {
        case TPageEncoding::Windows1252:
            for (char b : bytes) AppendUtf8(out, Windows1252Char(static_cast<unsigned char>(b)));
            break;
        case TPageEncoding::Utf8:
            SplitUtf8(
                bytes, [&](std::string_view run) { out += run; },
                [&](unsigned char) { AppendUtf8(out, kReplacement); });
            break;
        case TPageEncoding::Legacy:
            DecodeLegacy(
                ConverterFor(encoding, {}), bytes, false,
                [&](std::string_view text) { out += text; },
                [&](unsigned char) { AppendUtf8(out, kReplacement); });
            break;
    }
    return out;
}

std::string Utf8ToPage(std::string_view utf8, const TEncodingInfo& encoding) {
    std::string out;
    out.reserve(utf8.size());
    switch (encoding.kind) {
        case TPageEncoding::Windows1252: {
            auto put = [&](char32_t cp) {
                const int b = Windows1252Byte(cp);
                if (b >= 0)
                    out += static_cast<char>(b);
                else
                    AppendReference(out, cp);
            };
            SplitUtf8(
                utf8,
                [&](std::string_view run) {
                    char32_t cp = 0;
                    for (std::size_t i = 0; i < run.size();) {
                        i += Utf8At(run, i, cp);
                        put(cp);
                    }
                },
                [&](unsigned char) { put(kReplacement); });
            break;
        }
        case TPageEncoding::Utf8:
            SplitUtf8(
                utf8, [&](std::string_view run) { out += run; },
                [&](unsigned char) { AppendUtf8(out, kReplacement); });
            break;
        case TPageEncoding::Legacy: {
            TConverter& c = ConverterFor(encoding, {});
            SplitUtf8(
                utf8, [&](std::string_view run) { EncodeRun(c, run, out); },
                [&](unsigned char) { EncodeChar(c, kReplacement, out); });
            break;
        }
    }
    return out;
}

std::string PageToEscaped(std::string_view bytes, const TEncodingInfo& encoding) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    auto bad = [&](unsigned char b) { AppendByteEscape(out, b); };
    switch (encoding.kind) {
        case TPageEncoding::Windows1252: {
            std::string one;
            for (char b : bytes) {
                one.clear();
                AppendUtf8(one, Windows1252Char(static_cast<unsigned char>(b)));
                AppendEscaped(out, one);
            }
            break;
        }
        case TPageEncoding::Utf8:
            SplitUtf8(
                bytes, [&](std::string_view run) { AppendEscaped(out, run); }, bad);
            break;
        case TPageEncoding::Legacy:
            DecodeLegacy(
                ConverterFor(encoding, {}), bytes, true,
                [&](std::string_view text) { AppendEscaped(out, text); }, bad);
            break;
    }
    return out;
}

std::string EscapedToPage(std::string_view text, const TEncodingInfo& encoding) {
    char32_t cp = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) < 0x80) continue;
        const std::size_t len = Utf8At(text, i, cp);
        if (len == 0) throw InvalidUtf8Error(i + 1);
        i += len - 1;
    }
    auto hex = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::string out, pending;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            pending += text[i];
            continue;
        }
        if (i + 1 == text.size()) throw LoneBackslashError();
        const char e = text[++i];
        switch (e) {
            case 't':
                pending += '\t';
                break;
            case 'r':
                pending += '\r';
                break;
            case 'n':
                pending += '\n';
                break;
            case '\\':
                pending += '\\';
                break;
            case 'x': {
                const int hi = i + 1 < text.size() ? hex(text[i + 1]) : -1;
                const int lo = i + 2 < text.size() ? hex(text[i + 2]) : -1;
                if (hi < 0 || lo < 0) throw BadHexEscapeError();
                out += Utf8ToPage(pending, encoding);
                pending.clear();
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                break;
            }
            default: {
                const std::size_t len = std::max<std::size_t>(1, Utf8At(text, i, cp));
                throw BadEscapeError(text.substr(i, len));
            }
        }
    }
    out += Utf8ToPage(pending, encoding);
    return out;
}

}  // namespace quillfen
