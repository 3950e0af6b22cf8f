#include "ui/codec.h"

namespace quillfen {

QString FromText(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string ToText(const QString& text) {
    // Qt writes a lone surrogate as '?', which would be typed text of its own.
    QString whole = text;
    for (qsizetype i = 0; i < whole.size(); ++i) {
        const char16_t u = whole[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < whole.size() &&
            QChar::isLowSurrogate(whole[i + 1].unicode()))
            ++i;
        else if (QChar::isSurrogate(u))
            whole[i] = QChar(QChar::ReplacementCharacter);
    }
    const QByteArray utf8 = whole.toUtf8();
    return std::string(utf8.constData(), std::size_t(utf8.size()));
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
