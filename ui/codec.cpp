#include "ui/codec.h"

#include "core/pagecodec.h"

namespace quillfen {

namespace {

// f(code point) for every character; a surrogate without its partner is no character and gives
// U+FFFD.
template <class F>
void ForEachCodePoint(const QString& text, F f) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text[i].unicode();
        char32_t c = u;
        if (QChar::isHighSurrogate(u) && i + 1 < n &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            c = QChar::surrogateToUcs4(u, text[i + 1].unicode());
            ++i;
        } else if (QChar::isSurrogate(u)) {
            c = 0xFFFD;
        }
        f(c);
    }
}

std::string ToUtf8(const QString& text) {
    std::string out;
    out.reserve(std::size_t(text.size()));
    ForEachCodePoint(text, [&](char32_t c) {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    });
    return out;
}

}  // namespace

QString FromPage(std::string_view bytes, TPageEncoding encoding) {
    return FromPage(bytes, TEncodingInfo{encoding, {}});
}

QString FromPage(std::string_view bytes, const TEncodingInfo& encoding) {
    if (encoding.kind == TPageEncoding::Utf8)
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    if (encoding.kind == TPageEncoding::Legacy) {
        const std::string utf8 = PageToUtf8(bytes, encoding);
        return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    }
    QString out(qsizetype(bytes.size()), Qt::Uninitialized);
    QChar* d = out.data();
    for (std::size_t i = 0; i < bytes.size(); ++i)
        d[i] = QChar(Windows1252Char(static_cast<unsigned char>(bytes[i])));
    return out;
}

std::string ToPage(const QString& text, TPageEncoding encoding) {
    return ToPage(text, TEncodingInfo{encoding, {}});
}

std::string ToPage(const QString& text, const TEncodingInfo& encoding) {
    switch (encoding.kind) {
        case TPageEncoding::Utf8:
            return ToUtf8(text);
        case TPageEncoding::Legacy:
            return Utf8ToPage(ToUtf8(text), encoding);
        case TPageEncoding::Windows1252:
            break;
    }
    // Windows-1252 directly, without the detour through UTF-8.
    std::string out;
    out.reserve(std::size_t(text.size()));
    ForEachCodePoint(text, [&](char32_t c) {
        const int b = Windows1252Byte(c);
        if (b >= 0) {
            out += char(b);
        } else {
            out += "&#";
            out += std::to_string(static_cast<unsigned long>(c));
            out += ';';
        }
    });
    return out;
}

QString EncodingName(TPageEncoding encoding) { return EncodingName(TEncodingInfo{encoding, {}}); }

QString EncodingName(const TEncodingInfo& encoding) {
    switch (encoding.kind) {
        case TPageEncoding::Utf8:
            return QStringLiteral("UTF-8");
        case TPageEncoding::Legacy:
            return QString::fromStdString(encoding.name).toUpper();
        case TPageEncoding::Windows1252:
            break;
    }
    return QStringLiteral("Windows-1252");
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
