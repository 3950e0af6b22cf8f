#pragma once

#include <string>
#include <string_view>

namespace quillfen {

// Legacy: any other encoding a page declares (EUC-KR, Shift_JIS, windows-1251...), converted by
// core/text/pagecodec.
enum class TPageEncoding { Windows1252, Utf8, Legacy };

struct TEncodingInfo {
    TPageEncoding kind = TPageEncoding::Windows1252;
    // The declared charset in lower case for Legacy ("euc-kr", "shift_jis"); empty otherwise.
    std::string name;

    friend bool operator==(const TEncodingInfo&, const TEncodingInfo&) = default;
};

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// How a page's bytes are to be read: a byte-order mark (the UTF-8 one also behind leading bytes
// of code 32 or less, which loading drops), else the charset the first meta tag naming one
// declares (<meta charset=...> or http-equiv content="...; charset=..."), else UTF-8 when the
// bytes are valid UTF-8 holding non-ASCII characters, else Windows-1252. The names browsers read
// as Windows-1252 (ISO-8859-1, US-ASCII, ...) or as UTF-8 mean those; any other is Legacy.
// Throws TError naming the encoding for a stateful encoding (ISO-2022-*, UTF-7, HZ) and for
// UTF-16/UTF-32, declared or marked: their bytes cannot be handled as an ASCII superset. path
// only names the file in the message.
TEncodingInfo DetectPageEncoding(std::string_view bytes, const std::string& path = {});

// Where the meta tag that declares the page's charset, as DetectPageEncoding finds it, ends
// (behind its '>'); npos where no tag declares one. Nothing behind it changes what the page
// declares.
std::size_t CharsetDeclarationEnd(std::string_view bytes);

// DetectPageEncoding's kind; never throws (a refused encoding gives Windows1252).
TPageEncoding DetectEncoding(std::string_view bytes);

bool IsValidUtf8(std::string_view bytes);

// The character of a Windows-1252 byte. The five bytes the encoding leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) give the C1 controls of the same number, so that every byte round-trips.
char16_t Windows1252Char(unsigned char byte);
// The inverse: the byte of a character, or -1 when Windows-1252 has none.
int Windows1252Byte(char32_t c);

// A new text written where only bytes of code 32 or less stand in front of it (before: the
// output so far) must not start with bytes that the next reading takes for a byte-order mark:
// the page would open as UTF-16, or as UTF-8 where it was Windows-1252. Before the bytes of a
// UTF-16 mark goes a blank; the first character of a UTF-8 mark is written as a character
// reference (a Legacy page, where those bytes may start another character, keeps them).
void KeepFromReadingAsMark(std::string& bytes, std::string_view before, TPageEncoding encoding);
// Whether s holds only bytes of code 32 or less, which may stand in front of a byte-order mark.
bool OnlyBlanksAndControls(std::string_view s);

}  // namespace quillfen
