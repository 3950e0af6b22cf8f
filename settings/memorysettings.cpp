#include "settings/memorysettings.h"

#include <QSettings>
#include <QVariant>

#include "core/errors.h"

namespace quillfen {
namespace {

const QString FileName = QStringLiteral("MemoryFile");
const QString SourceName = QStringLiteral("MemorySourceLanguage");
const QString TargetName = QStringLiteral("MemoryTargetLanguage");
const QString DraftName = QStringLiteral("MemoryDraftExact");

QString Text(const QSettings& s, const QString& name) {
    const QVariant v = s.value(name);
    return v.typeId() == QMetaType::QString ? v.toString().trimmed() : QString();
}

}  // namespace

TMemorySettings LoadMemorySettings(const TSettingsStore& store) {
    TMemorySettings result;
    const QSettings s(store.Location, store.Format);
    if (s.status() != QSettings::NoError) return result;
    result.File = Text(s, FileName);
    result.SourceLanguage = Text(s, SourceName);
    result.TargetLanguage = Text(s, TargetName);
    // The registry's DWORD and an INI file's text alike; anything else keeps the default.
    bool ok = false;
    const int draft = s.value(DraftName).toInt(&ok);
    if (ok) result.DraftExactMatches = draft != 0;
    return result;
}

void SaveMemorySettings(const TSettingsStore& store, const TMemorySettings& settings) {
    QSettings s(store.Location, store.Format);
    if (s.status() != QSettings::NoError || !s.isWritable())
        throw SettingsNotSavedError(store.Location.toStdString());
    s.setValue(FileName, settings.File);
    s.setValue(SourceName, settings.SourceLanguage);
    s.setValue(TargetName, settings.TargetLanguage);
    s.setValue(DraftName, settings.DraftExactMatches ? 1 : 0);
    s.sync();
    if (s.status() != QSettings::NoError) throw SettingsNotSavedError(store.Location.toStdString());
}

}  // namespace quillfen
