#include "core/text/pagecodec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/text/ascii.h"
#include "core/text/utf8.h"

namespace quillfen {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
const TEncodingInfo kUtf8Encoding{TPageEncoding::Utf8, {}};

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// The tables of the WHATWG Encoding Standard, which browsers decode and encode pages by: its
// indexes as {pointer, code point} in pointer order, and its labels with the name of the encoding
// each stands for.
struct TIndexEntry {
    std::uint32_t pointer;
    std::uint32_t codePoint;
};

struct TSingleByteIndex {
    std::string_view name;
    std::span<const TIndexEntry> entries;
};

struct TLabel {
    std::string_view label;
    std::string_view encoding;
};

#include "core/whatwg-encoding-tables.inc"

// Pointer to code point, 0 where the index has none (no index holds U+0000).
using TForward = std::vector<char32_t>;

TForward Spread(std::span<const TIndexEntry> index) {
    TForward table(index.empty() ? 0 : index.back().pointer + 1, 0);
    for (const TIndexEntry& e : index) table[e.pointer] = e.codePoint;
    return table;
}

char32_t At(const TForward& table, std::uint32_t pointer) {
    return pointer < table.size() ? table[pointer] : 0;
}

// Code point to pointer for an encoder: the index's first pointer of a code point, or its last
// one for the code points last names. Every multi-byte index has fewer than 0xFFFF pointers.
class TReverse {
  public:
    template <class Keep, class Last>
    TReverse(std::span<const TIndexEntry> index, Keep keep, Last last) : bmp_(0x10000, kNone) {
        for (const TIndexEntry& e : index) {
            if (!keep(e.pointer)) continue;
            if (e.codePoint < 0x10000) {
                std::uint16_t& slot = bmp_[e.codePoint];
                if (slot == kNone || last(e.codePoint))
                    slot = static_cast<std::uint16_t>(e.pointer);
            } else {
                astral_.push_back(e);
            }
        }
        // Stable, so that the first pointer of a code point stays in front.
        std::stable_sort(
            astral_.begin(), astral_.end(),
            [](const TIndexEntry& a, const TIndexEntry& b) { return a.codePoint < b.codePoint; });
    }

    // The pointer of c, or -1.
    long Find(char32_t c) const {
        if (c < 0x10000) return bmp_[c] == kNone ? -1 : bmp_[c];
        const auto it = std::lower_bound(
            astral_.begin(), astral_.end(), c,
            [](const TIndexEntry& e, char32_t value) { return e.codePoint < value; });
        return it != astral_.end() && it->codePoint == c ? static_cast<long>(it->pointer) : -1;
    }

  private:
    static constexpr std::uint16_t kNone = 0xFFFF;
    std::vector<std::uint16_t> bmp_;
    std::vector<TIndexEntry> astral_;
};

constexpr auto kAll = [](std::uint32_t) { return true; };
constexpr auto kFirst = [](char32_t) { return false; };

struct TTables {
    TForward decode;
    TReverse encode;
};

// Built on first use: a site declares one or two encodings.
const TTables& Gb18030Tables() {
    static const TTables t{Spread(kIndex_gb18030), TReverse(kIndex_gb18030, kAll, kFirst)};
    return t;
}

const TTables& EucKrTables() {
    static const TTables t{Spread(kIndex_euc_kr), TReverse(kIndex_euc_kr, kAll, kFirst)};
    return t;
}

const TTables& Big5Tables() {
    // The encoder never writes Hong Kong extensions, and takes the last of the pointers for a few
    // characters held twice.
    static const TTables t{
        Spread(kIndex_big5),
        TReverse(
            kIndex_big5, [](std::uint32_t p) { return p >= (0xA1 - 0x81) * 157; },
            [](char32_t c) {
                return c == 0x2550 || c == 0x255E || c == 0x2561 || c == 0x256A || c == 0x5341 ||
                       c == 0x5345;
            })};
    return t;
}

const TTables& EucJpTables() {
    static const TTables t{Spread(kIndex_jis0208), TReverse(kIndex_jis0208, kAll, kFirst)};
    return t;
}

const TTables& ShiftJisTables() {
    // Shift_JIS writes the IBM extensions, not NEC's copies of them.
    static const TTables t{
        Spread(kIndex_jis0208),
        TReverse(
            kIndex_jis0208, [](std::uint32_t p) { return p < 8272 || p > 8835; }, kFirst)};
    return t;
}

const TForward& Jis0212() {
    static const TForward t = Spread(kIndex_jis0212);
    return t;
}

char32_t Gb18030RangesCodePoint(std::uint32_t pointer) {
    if ((pointer > 39419 && pointer < 189000) || pointer > 1237575) return 0;
    if (pointer == 7457) return 0xE7C7;
    const auto it = std::upper_bound(
        std::begin(kIndex_gb18030_ranges), std::end(kIndex_gb18030_ranges), pointer,
        [](std::uint32_t value, const TIndexEntry& e) { return value < e.pointer; });
    return std::prev(it)->codePoint + (pointer - std::prev(it)->pointer);
}

std::uint32_t Gb18030RangesPointer(char32_t c) {
    if (c == 0xE7C7) return 7457;
    const auto it =
        std::upper_bound(std::begin(kIndex_gb18030_ranges), std::end(kIndex_gb18030_ranges), c,
                         [](char32_t value, const TIndexEntry& e) { return value < e.codePoint; });
    return std::prev(it)->pointer + (c - std::prev(it)->codePoint);
}

enum class TFamily { SingleByte, Gbk, Gb18030, Big5, EucJp, ShiftJis, EucKr, Utf8, Refused };

struct TCodec {
    std::string_view name;
    TFamily family = TFamily::Refused;
    // Single-byte encodings: the characters of bytes 0x80 to 0xFF (0 for none), and the bytes of
    // those characters sorted by character.
    std::array<char16_t, 128> high{};
    std::vector<std::pair<char16_t, std::uint8_t>> bytes;
};

TCodec MakeCodec(std::string_view name) {
    TCodec c;
    c.name = name;
    const std::string lower = LowerAscii(name);
    static constexpr std::pair<std::string_view, TFamily> kMultiByte[] = {
        {"utf-8", TFamily::Utf8},   {"gbk", TFamily::Gbk},      {"gb18030", TFamily::Gb18030},
        {"big5", TFamily::Big5},    {"euc-jp", TFamily::EucJp}, {"shift_jis", TFamily::ShiftJis},
        {"euc-kr", TFamily::EucKr},
    };
    for (const auto& [n, family] : kMultiByte)
        if (lower == n) c.family = family;
    if (c.family != TFamily::Refused) return c;
    // A page that declares x-user-defined is read as windows-1252, and ISO-8859-8-I is
    // ISO-8859-8 with another direction of writing.
    std::string_view index = lower;
    if (lower == "x-user-defined") index = "windows-1252";
    if (lower == "iso-8859-8-i") index = "iso-8859-8";
    for (const TSingleByteIndex& s : kSingleByteIndexes) {
        if (s.name != index) continue;
        c.family = TFamily::SingleByte;
        for (const TIndexEntry& e : s.entries) {
            c.high[e.pointer] = static_cast<char16_t>(e.codePoint);
            c.bytes.emplace_back(static_cast<char16_t>(e.codePoint),
                                 static_cast<std::uint8_t>(0x80 + e.pointer));
        }
        // Stable: the first byte of a character is the one written.
        std::stable_sort(c.bytes.begin(), c.bytes.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    // ISO-2022-JP, UTF-16 and replacement remain refused.
    return c;
}

// The codec a label stands for, as browsers map labels (ASCII case and blanks around ignored);
// null for a name that is no label.
const TCodec* FindCodec(std::string_view label) {
    static const auto made = [] {
        std::vector<std::string_view> names;
        for (const TLabel& l : kLabels)
            if (std::find(names.begin(), names.end(), l.encoding) == names.end())
                names.push_back(l.encoding);
        std::vector<TCodec> codecs;
        for (std::string_view n : names) codecs.push_back(MakeCodec(n));
        return codecs;
    }();
    static const auto byLabel = [] {
        std::unordered_map<std::string_view, const TCodec*> map;
        for (const TLabel& l : kLabels)
            for (const TCodec& c : made)
                if (c.name == l.encoding) map.emplace(l.label, &c);
        return map;
    }();
    // Pages give the name in lower case already: that look-up allocates nothing.
    if (const auto it = byLabel.find(label); it != byLabel.end()) return it->second;
    auto blank = [](char ch) {
        return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\f' || ch == '\r';
    };
    while (!label.empty() && blank(label.front())) label.remove_prefix(1);
    while (!label.empty() && blank(label.back())) label.remove_suffix(1);
    const std::string key = LowerAscii(label);
    const auto it = byLabel.find(key);
    return it == byLabel.end() ? nullptr : it->second;
}

const TCodec& CodecFor(const TEncodingInfo& encoding, const std::string& path) {
    const TCodec* c = FindCodec(encoding.name);
    if (!c) throw UnknownEncodingError(path, Upper(encoding.name));
    if (c->family == TFamily::Refused) throw UnsupportedEncodingError(path, Upper(encoding.name));
    return *c;
}

// What one step of a decoder read: count characters (0 for bytes that start none, which read as
// one U+FFFD) from length bytes.
struct TStep {
    std::uint8_t length = 1;
    std::uint8_t count = 0;
    char32_t chars[2] = {0, 0};
};

TStep Read(std::size_t length, char32_t c) {
    TStep s;
    s.length = static_cast<std::uint8_t>(length);
    if (c != 0) {
        s.count = 1;
        s.chars[0] = c;
    }
    return s;
}

// A bad lead and the byte behind it: an ASCII byte is left to be read on its own.
TStep BadPair(unsigned char trail) { return Read(trail < 0x80 ? 1 : 2, 0); }

bool In(unsigned b, unsigned lo, unsigned hi) { return b >= lo && b <= hi; }

// One legacy encoding, with its tables looked up once per text.
class TLegacy {
  public:
    explicit TLegacy(const TCodec& codec) : c_(codec) {
        switch (c_.family) {
            case TFamily::Gbk:
            case TFamily::Gb18030:
                tables_ = &Gb18030Tables();
                break;
            case TFamily::Big5:
                tables_ = &Big5Tables();
                break;
            case TFamily::EucJp:
                tables_ = &EucJpTables();
                jis0212_ = &Jis0212();
                break;
            case TFamily::ShiftJis:
                tables_ = &ShiftJisTables();
                break;
            case TFamily::EucKr:
                tables_ = &EucKrTables();
                break;
            default:
                break;
        }
    }

    // The decoder at p, left > 0 bytes before the end of the text.
    TStep Step(const unsigned char* p, std::size_t left) const {
        const unsigned b = p[0];
        if (b < 0x80) {
            TStep s;
            s.count = 1;
            s.chars[0] = b;  // U+0000 too, which Read takes for none
            return s;
        }
        switch (c_.family) {
            case TFamily::SingleByte:
                return Read(1, c_.high[b - 0x80]);
            case TFamily::Gbk:
            case TFamily::Gb18030:
                return StepGb18030(p, left);
            case TFamily::Big5: {
                if (!In(b, 0x81, 0xFE)) return Read(1, 0);
                if (left < 2) return Read(1, 0);
                const unsigned t = p[1];
                if (!In(t, 0x40, 0x7E) && !In(t, 0xA1, 0xFE)) return BadPair(t);
                const std::uint32_t pointer = (b - 0x81) * 157 + (t - (t < 0x7F ? 0x40 : 0x62));
                // Four pointers stand for a letter with two marks.
                if (pointer == 1133 || pointer == 1135 || pointer == 1164 || pointer == 1166) {
                    TStep s = Read(2, pointer < 1164 ? 0xCA : 0xEA);
                    s.count = 2;
                    s.chars[1] = (pointer == 1133 || pointer == 1164) ? 0x304 : 0x30C;
                    return s;
                }
                const char32_t c = At(tables_->decode, pointer);
                return c ? Read(2, c) : BadPair(t);
            }
            case TFamily::EucKr: {
                if (!In(b, 0x81, 0xFE) || left < 2) return Read(1, 0);
                const unsigned t = p[1];
                const char32_t c =
                    In(t, 0x41, 0xFE) ? At(tables_->decode, (b - 0x81) * 190 + (t - 0x41)) : 0;
                return c ? Read(2, c) : BadPair(t);
            }
            case TFamily::ShiftJis: {
                if (b == 0x80) return Read(1, 0x80);
                if (In(b, 0xA1, 0xDF)) return Read(1, 0xFF61 - 0xA1 + b);
                if (!(In(b, 0x81, 0x9F) || In(b, 0xE0, 0xFC)) || left < 2) return Read(1, 0);
                const unsigned t = p[1];
                if (!In(t, 0x40, 0x7E) && !In(t, 0x80, 0xFC)) return BadPair(t);
                const std::uint32_t pointer =
                    (b - (b < 0xA0 ? 0x81 : 0xC1)) * 188 + t - (t < 0x7F ? 0x40 : 0x41);
                // Windows' user-defined characters.
                if (In(pointer, 8836, 10715)) return Read(2, 0xE000 - 8836 + pointer);
                const char32_t c = At(tables_->decode, pointer);
                return c ? Read(2, c) : BadPair(t);
            }
            case TFamily::EucJp: {
                if (!(b == 0x8E || b == 0x8F || In(b, 0xA1, 0xFE)) || left < 2) return Read(1, 0);
                const unsigned t = p[1];
                if (b == 0x8E && In(t, 0xA1, 0xDF)) return Read(2, 0xFF61 - 0xA1 + t);
                if (b == 0x8F && In(t, 0xA1, 0xFE)) {
                    if (left < 3) return Read(2, 0);
                    const unsigned u = p[2];
                    const char32_t c =
                        In(u, 0xA1, 0xFE) ? At(*jis0212_, (t - 0xA1) * 94 + u - 0xA1) : 0;
                    return c ? Read(3, c) : Read(u < 0x80 ? 2 : 3, 0);
                }
                const char32_t c = In(b, 0xA1, 0xFE) && In(t, 0xA1, 0xFE)
                                       ? At(tables_->decode, (b - 0xA1) * 94 + t - 0xA1)
                                       : 0;
                return c ? Read(2, c) : BadPair(t);
            }
            default:
                return Read(1, 0);
        }
    }

    // The encoder: writes the bytes it gives for c into out (4 bytes of room) and returns their
    // count, 0 where it gives none.
    std::size_t Encode(char32_t c, unsigned char* out) const {
        if (c < 0x80) {
            out[0] = static_cast<unsigned char>(c);
            return 1;
        }
        auto two = [&](unsigned lead, unsigned trail) -> std::size_t {
            if (lead > 0xFF || trail > 0xFF) return 0;
            out[0] = static_cast<unsigned char>(lead);
            out[1] = static_cast<unsigned char>(trail);
            return 2;
        };
        switch (c_.family) {
            case TFamily::SingleByte: {
                if (c > 0xFFFF) return 0;
                const auto it =
                    std::lower_bound(c_.bytes.begin(), c_.bytes.end(), c,
                                     [](const auto& e, char32_t value) { return e.first < value; });
                if (it == c_.bytes.end() || it->first != c) return 0;
                out[0] = it->second;
                return 1;
            }
            case TFamily::Gbk:
            case TFamily::Gb18030: {
                if (c == 0xE5E5) return 0;
                if (c_.family == TFamily::Gbk && c == 0x20AC) {
                    out[0] = 0x80;
                    return 1;
                }
                // Kept from GB18030-2005: these read back as other characters.
                static constexpr std::pair<char32_t, std::uint16_t> kOld[] = {
                    {0xE78D, 0xA6D9}, {0xE78E, 0xA6DA}, {0xE78F, 0xA6DB}, {0xE790, 0xA6DC},
                    {0xE791, 0xA6DD}, {0xE792, 0xA6DE}, {0xE793, 0xA6DF}, {0xE794, 0xA6EC},
                    {0xE795, 0xA6ED}, {0xE796, 0xA6F3}, {0xE81E, 0xFE59}, {0xE826, 0xFE61},
                    {0xE82B, 0xFE66}, {0xE82C, 0xFE67}, {0xE832, 0xFE6D}, {0xE843, 0xFE7E},
                    {0xE854, 0xFE90}, {0xE864, 0xFEA0},
                };
                for (const auto& [old, bytes] : kOld)
                    if (c == old) return two(bytes >> 8, bytes & 0xFF);
                const long pointer = tables_->encode.Find(c);
                if (pointer >= 0) {
                    const unsigned trail = pointer % 190;
                    return two(pointer / 190 + 0x81, trail + (trail < 0x3F ? 0x40 : 0x41));
                }
                if (c_.family == TFamily::Gbk) return 0;
                std::uint32_t r = Gb18030RangesPointer(c);
                out[0] = static_cast<unsigned char>(r / (10 * 126 * 10) + 0x81);
                r %= 10 * 126 * 10;
                out[1] = static_cast<unsigned char>(r / (10 * 126) + 0x30);
                r %= 10 * 126;
                out[2] = static_cast<unsigned char>(r / 10 + 0x81);
                out[3] = static_cast<unsigned char>(r % 10 + 0x30);
                return 4;
            }
            case TFamily::Big5: {
                const long pointer = tables_->encode.Find(c);
                if (pointer < 0) return 0;
                const unsigned trail = pointer % 157;
                return two(pointer / 157 + 0x81, trail + (trail < 0x3F ? 0x40 : 0x62));
            }
            case TFamily::EucKr: {
                const long pointer = tables_->encode.Find(c);
                if (pointer < 0) return 0;
                return two(pointer / 190 + 0x81, pointer % 190 + 0x41);
            }
            case TFamily::EucJp:
            case TFamily::ShiftJis: {
                const bool sjis = c_.family == TFamily::ShiftJis;
                if (sjis && c == 0x80) {
                    out[0] = 0x80;
                    return 1;
                }
                if (c == 0xA5 || c == 0x203E) {
                    out[0] = c == 0xA5 ? 0x5C : 0x7E;
                    return 1;
                }
                if (In(c, 0xFF61, 0xFF9F)) {
                    if (!sjis) return two(0x8E, c - 0xFF61 + 0xA1);
                    out[0] = static_cast<unsigned char>(c - 0xFF61 + 0xA1);
                    return 1;
                }
                const long pointer = tables_->encode.Find(c == 0x2212 ? 0xFF0D : c);
                if (pointer < 0) return 0;
                if (!sjis) return two(pointer / 94 + 0xA1, pointer % 94 + 0xA1);
                const unsigned lead = pointer / 188, trail = pointer % 188;
                return two(lead + (lead < 0x1F ? 0x81 : 0xC1),
                           trail + (trail < 0x3F ? 0x40 : 0x41));
            }
            default:
                return 0;
        }
    }

    // c as bytes where the encoder gives some and the decoder reads them back as c, else as a
    // numeric reference: the encoders write some characters as bytes of look-alikes (Shift_JIS
    // the yen sign as a backslash).
    void Put(char32_t c, std::string& out) const {
        unsigned char bytes[4];
        const std::size_t n = Encode(c, bytes);
        if (n > 0) {
            const TStep back = Step(bytes, n);
            if (back.length == n && back.count == 1 && back.chars[0] == c) {
                out.append(reinterpret_cast<const char*>(bytes), n);
                return;
            }
        }
        AppendReference(out, c);
    }

    // The whole of bytes as UTF-8, one U+FFFD for the bytes of each error.
    void DecodeTo(std::string_view bytes, std::string& out) const {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        const std::size_t n = bytes.size();
        if (c_.family == TFamily::SingleByte) {
            for (std::size_t i = 0; i < n; ++i) {
                if (p[i] < 0x80) {
                    out += static_cast<char>(p[i]);
                } else {
                    const char16_t c = c_.high[p[i] - 0x80];
                    AppendUtf8(out, c ? c : kReplacement);
                }
            }
            return;
        }
        std::size_t i = 0;
        while (i < n) {
            if (p[i] < 0x80) {
                std::size_t end = i + 1;
                while (end < n && p[end] < 0x80) ++end;
                out.append(bytes.data() + i, end - i);
                i = end;
                continue;
            }
            const TStep s = Step(p + i, n - i);
            i += s.length;
            if (s.count == 0) AppendUtf8(out, kReplacement);
            for (int k = 0; k < s.count; ++k) AppendUtf8(out, s.chars[k]);
        }
    }

  private:
    TStep StepGb18030(const unsigned char* p, std::size_t left) const {
        const unsigned b = p[0];
        if (b == 0x80) return Read(1, 0x20AC);
        if (b == 0xFF || left < 2) return Read(1, 0);
        const unsigned t = p[1];
        if (In(t, 0x30, 0x39)) {
            // Four bytes: the ranges between the characters of the index.
            if (left < 3) return Read(2, 0);
            if (!In(p[2], 0x81, 0xFE)) return Read(1, 0);
            if (left < 4) return Read(3, 0);
            if (!In(p[3], 0x30, 0x39)) return Read(1, 0);
            const std::uint32_t pointer = (b - 0x81) * (10 * 126 * 10) + (t - 0x30) * (10 * 126) +
                                          (p[2] - 0x81) * 10 + p[3] - 0x30;
            return Read(4, Gb18030RangesCodePoint(pointer));
        }
        const char32_t c =
            In(t, 0x40, 0x7E) || In(t, 0x80, 0xFE)
                ? At(tables_->decode, (b - 0x81) * 190 + t - (t < 0x7F ? 0x40 : 0x41))
                : 0;
        return c ? Read(2, c) : BadPair(t);
    }

    const TCodec& c_;
    const TTables* tables_ = nullptr;
    const TForward* jis0212_ = nullptr;
};

// A legacy page's bytes in the command-line form. Bytes that start no character, and the bytes
// of a character that would be written back as other bytes (one of two forms of a character, or
// one the encoder writes as a reference), are escaped byte by byte, so that the caller keeps them.
void EscapeLegacy(const TLegacy& codec, std::string_view bytes, std::string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::string one, back;
    for (std::size_t i = 0; i < bytes.size();) {
        const TStep s = codec.Step(p + i, bytes.size() - i);
        const std::string_view read = bytes.substr(i, s.length);
        i += s.length;
        one.clear();
        back.clear();
        for (int k = 0; k < s.count; ++k) {
            AppendUtf8(one, s.chars[k]);
            codec.Put(s.chars[k], back);
        }
        if (s.count > 0 && back == read) {
            AppendEscaped(out, one);
        } else {
            for (char b : read) AppendByteEscape(out, static_cast<unsigned char>(b));
        }
    }
}

}  // namespace

void CheckConvertible(const TEncodingInfo& encoding, const std::string& path) {
    if (encoding.kind == TPageEncoding::Legacy) CodecFor(encoding, path);
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
        case TPageEncoding::Legacy: {
            const TCodec& c = CodecFor(encoding, {});
            if (c.family == TFamily::Utf8) return PageToUtf8(bytes, kUtf8Encoding);
            // A byte of a single-byte page may take three bytes of UTF-8 (Thai).
            if (c.family == TFamily::SingleByte) out.reserve(bytes.size() * 3);
            TLegacy(c).DecodeTo(bytes, out);
            break;
        }
    }
    return out;
}

std::string Utf8ToPage(std::string_view utf8, const TEncodingInfo& encoding) {
    std::string out;
    out.reserve(utf8.size());
    auto each = [&](auto put) {
        SplitUtf8(
            utf8,
            [&](std::string_view run) {
                char32_t cp = 0;
                for (std::size_t i = 0; i < run.size();) {
                    i += Utf8CharAt(run, i, cp);
                    put(cp);
                }
            },
            [&](unsigned char) { put(kReplacement); });
    };
    switch (encoding.kind) {
        case TPageEncoding::Windows1252:
            each([&](char32_t cp) {
                const int b = Windows1252Byte(cp);
                if (b >= 0)
                    out += static_cast<char>(b);
                else
                    AppendReference(out, cp);
            });
            break;
        case TPageEncoding::Utf8:
            SplitUtf8(
                utf8, [&](std::string_view run) { out += run; },
                [&](unsigned char) { AppendUtf8(out, kReplacement); });
            break;
        case TPageEncoding::Legacy: {
            const TCodec& c = CodecFor(encoding, {});
            if (c.family == TFamily::Utf8) return Utf8ToPage(utf8, kUtf8Encoding);
            const TLegacy codec(c);
            each([&](char32_t cp) {
                if (cp < 0x80)
                    out += static_cast<char>(cp);
                else
                    codec.Put(cp, out);
            });
            break;
        }
    }
    return out;
}

std::string PageToEscaped(std::string_view bytes, const TEncodingInfo& encoding) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
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
                bytes, [&](std::string_view run) { AppendEscaped(out, run); },
                [&](unsigned char b) { AppendByteEscape(out, b); });
            break;
        case TPageEncoding::Legacy: {
            const TCodec& c = CodecFor(encoding, {});
            if (c.family == TFamily::Utf8) return PageToEscaped(bytes, kUtf8Encoding);
            EscapeLegacy(TLegacy(c), bytes, out);
            break;
        }
    }
    return out;
}

std::string EscapedToPage(std::string_view text, const TEncodingInfo& encoding) {
    std::string out, pending;
    ReadEscaped(
        text, [&](std::string_view run) { pending += run; },
        [&](unsigned char b) {
            out += Utf8ToPage(pending, encoding);
            pending.clear();
            out += static_cast<char>(b);
        });
    out += Utf8ToPage(pending, encoding);
    return out;
}

}  // namespace quillfen
