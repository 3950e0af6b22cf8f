#include "codec.h"

#include <array>

namespace quillfen {

namespace {

// 0x80 .. 0x9F of Windows-1252; the undefined bytes keep their own number.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t ByteToChar(unsigned char b) {
    return (b >= 0x80 && b <= 0x9F) ? kHigh[b - 0x80] : char16_t(b);
}

// -1 when the character has no byte.
int CharToByte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return int(c);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c) return 0x80 + i;
    return -1;
}

void AppendReference(std::string& out, char32_t c) {
    out += "&#";
    out += std::to_string(static_cast<unsigned long>(c));
    out += ';';
}

}  // namespace

QString FromPage(std::string_view bytes, TPageEncoding encoding) {
    if (encoding == TPageEncoding::Utf8)
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    QString out(qsizetype(bytes.size()), Qt::Uninitialized);
    QChar* d = out.data();
    for (std::size_t i = 0; i < bytes.size(); ++i)
        d[i] = QChar(ByteToChar(static_cast<unsigned char>(bytes[i])));
    return out;
}

std::string ToPage(const QString& text, TPageEncoding encoding) {
    const bool utf8 = encoding == TPageEncoding::Utf8;
    std::string out;
    out.reserve(std::size_t(text.size()));
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text[i].unicode();
        char32_t c = u;
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            c = QChar::surrogateToUcs4(u, text[i + 1].unicode());
            ++i;
        } else if (QChar::isSurrogate(u)) {
            c = 0xFFFD;
        }
        if (utf8) {
            const QByteArray bytes = QString::fromUcs4(&c, 1).toUtf8();
            out.append(bytes.constData(), std::size_t(bytes.size()));
            continue;
        }
        const int b = CharToByte(c);
        if (b >= 0)
            out += char(b);
        else
            AppendReference(out, c);
    }
    return out;
}

QString EncodingName(TPageEncoding encoding) {
    return encoding == TPageEncoding::Utf8 ? QStringLiteral("UTF-8")
                                           : QStringLiteral("Windows-1252");
}

QString EntryText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r') {
            out += u' ';
            if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        } else if (c == u'\n' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
            out += u' ';
        } else if (c != QChar::Null) {
            out += c;
        }
    }
    return out;
}

}  // namespace quillfen
