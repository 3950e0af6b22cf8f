#include "settings/settings.h"

#include <QFile>
#include <QVariant>
#include <limits>
#include <optional>

#include "core/errors.h"

namespace quillfen {
namespace {

const QString LanguageName = QStringLiteral("Language");
const QString TagsName = QStringLiteral("Tags");
const QString SkipName = QStringLiteral("SkipNoLetters");
const QString UnitsName = QStringLiteral("Units");
const QString ExportFormatName = QStringLiteral("ExportFormat");
const QString GeometryName = QStringLiteral("WindowGeometry");
const QString SplitterName = QStringLiteral("SplitterState");

QString HistoryName(int n) { return QStringLiteral("History") + QString::number(n); }

// A 32-bit integer value, as the registry holds it. An INI file holds only text, so there a
// decimal number stands for the integer; the registry's own strings are not integers.
std::optional<uint32_t> ReadInteger(const QSettings& s, const QString& name) {
    const QVariant v = s.value(name);
    bool ok = false;
    switch (v.typeId()) {
        case QMetaType::Int:
            // REG_DWORD comes back as a signed int; its bits are what counts.
            return static_cast<uint32_t>(v.toInt());
        case QMetaType::UInt:
            return v.toUInt();
        case QMetaType::LongLong:
        case QMetaType::ULongLong: {
            const qulonglong n = v.toULongLong(&ok);
            if (ok && v.toLongLong() >= 0 && n <= std::numeric_limits<uint32_t>::max())
                return static_cast<uint32_t>(n);
            return std::nullopt;
        }
        case QMetaType::QString: {
            if (s.format() == QSettings::NativeFormat) return std::nullopt;
            const uint n = v.toString().trimmed().toUInt(&ok, 10);
            if (ok) return static_cast<uint32_t>(n);
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

// Only a string value is a recent file; lists, byte arrays and numbers give a free entry.
QString ReadHistory(const QSettings& s, const QString& name) {
    const QVariant v = s.value(name);
    if (v.typeId() != QMetaType::QString) return QString();
    QString text = v.toString();
    const qsizetype zero = text.indexOf(QChar(u'\0'));
    if (zero >= 0) text.truncate(zero);
    return text;
}

// Only bytes are a saved window state; anything else (an edited store) is none.
QByteArray ReadBytes(const QSettings& s, const QString& name) {
    const QVariant v = s.value(name);
    return v.typeId() == QMetaType::QByteArray ? v.toByteArray() : QByteArray();
}

}  // namespace

TSettingsStore DefaultSettingsStore() {
#ifdef Q_OS_WIN
    return {QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Quillfen"), QSettings::NativeFormat};
#else
    const QSettings user(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillfen"),
                         QStringLiteral("Quillfen"));
    return IniSettingsStore(user.fileName());
#endif
}

TSettingsStore IniSettingsStore(const QString& path) { return {path, QSettings::IniFormat}; }

TSettings LoadSettings(const TSettingsStore& store) {
    TSettings result;
    const QSettings s(store.Location, store.Format);
    // A store that cannot be read or parsed at all is treated as a first start. Its partial
    // contents are not trusted, and Tags keeps its default so that phrases are still found.
    if (s.status() != QSettings::NoError) return result;

    // Only the languages of the list have texts; any other number would leave every caption
    // empty, and it would be written back so.
    if (const auto stored = ReadInteger(s, LanguageName))
        if (const auto language = LanguageOfStoredValue(*stored & 0xFFFFu))
            result.Language = *language;
    for (int n = 1; n <= 5; ++n) result.History[n - 1] = ReadHistory(s, HistoryName(n));
    if (const auto tags = ReadInteger(s, TagsName))
        result.Tags = TTags(static_cast<uint8_t>(*tags & 0xFFu));
    if (const auto skip = ReadInteger(s, SkipName)) result.SkipNoLetters = *skip != 0;
    if (const auto units = ReadInteger(s, UnitsName); units && *units == 1)
        result.Units = TUnits::Sentences;
    result.ExportFormat = s.value(ExportFormatName).toString();
    result.WindowGeometry = ReadBytes(s, GeometryName);
    result.SplitterState = ReadBytes(s, SplitterName);
    return result;
}

void SaveSettings(const TSettingsStore& store, const TSettings& settings) {
    const auto fail = [&store]() { return SettingsNotSavedError(store.Location.toStdString()); };

    if (store.Format == QSettings::IniFormat) {
        // A file that cannot be parsed would stay broken and keep every later start at the
        // defaults; it holds nothing but these values, so it is replaced.
        const QSettings probe(store.Location, store.Format);
        if (probe.status() == QSettings::FormatError && !QFile::remove(store.Location))
            throw fail();
    }

    QSettings s(store.Location, store.Format);
    if (s.status() != QSettings::NoError || !s.isWritable()) throw fail();
    s.setValue(LanguageName, int(StoredValue(settings.Language)));
    s.setValue(TagsName, static_cast<int>(Bits(settings.Tags)));
    s.setValue(SkipName, settings.SkipNoLetters ? 1 : 0);
    s.setValue(UnitsName, settings.Units == TUnits::Sentences ? 1 : 0);
    for (int n = 1; n <= 5; ++n) {
        const QString& entry = settings.History[n - 1];
        if (!entry.isEmpty()) s.setValue(HistoryName(n), entry);
    }
    if (!settings.ExportFormat.isEmpty()) s.setValue(ExportFormatName, settings.ExportFormat);
    if (!settings.WindowGeometry.isEmpty()) s.setValue(GeometryName, settings.WindowGeometry);
    if (!settings.SplitterState.isEmpty()) s.setValue(SplitterName, settings.SplitterState);
    s.sync();
    if (s.status() != QSettings::NoError) throw fail();
}

}  // namespace quillfen
