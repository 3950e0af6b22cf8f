#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <array>

#include "core/markup/sentences.h"
#include "core/tags.h"
#include "settings/language.h"

namespace quillfen {

// The values that survive from one run to the next.
struct TSettings {
    TLanguage Language = TLanguage::English;
    TTags Tags = TTags::Default;
    // Recently opened files, [0] the newest; an empty entry is free. Paths are kept as QString
    // because the store holds them as text of the platform, not as page bytes.
    std::array<QString, 5> History;
    // Enter's advance steps over phrases that hold no letter or digit.
    bool SkipNoLetters = false;
    // What a phrase is: a text run between tags, or a sentence with its inline tags as
    // placeholders ("Units": 0 or 1).
    TUnits Units = TUnits::Runs;
    // The export wizard's format, by the name the registry gives it ("ExportFormat"); empty: the
    // default one.
    QString ExportFormat;
    // The main window's size, place and maximised state, and where its splitter stands, as the
    // toolkit saves them; empty: the designed ones.
    QByteArray WindowGeometry;
    QByteArray SplitterState;
};

// Where the settings live: the registry key on Windows, an INI file elsewhere. Tests point it
// at a file of their own.
struct TSettingsStore {
    QString Location;
    QSettings::Format Format = QSettings::IniFormat;
};

// HKEY_CURRENT_USER\SOFTWARE\Quillfen on Windows; elsewhere Quillfen/Quillfen.ini in the
// user's configuration folder.
TSettingsStore DefaultSettingsStore();
TSettingsStore IniSettingsStore(const QString& path);

// Never fails: a value that is missing or unreadable takes its default, each on its own, and a
// store that cannot be read at all gives the defaults (English, Tags 3, no recent files).
TSettings LoadSettings(const TSettingsStore& store);

// Writes "Language", "Tags", "SkipNoLetters" (0 or 1), "Units" (0 runs, 1 sentences), the non-empty
// History entries and the non-empty "ExportFormat", "WindowGeometry" and "SplitterState"; empty
// entries are neither written nor removed. Raises TError naming the store when it cannot be
// written; nothing is then kept.
void SaveSettings(const TSettingsStore& store, const TSettings& settings);

}  // namespace quillfen
