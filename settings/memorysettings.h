#pragma once

// What the window keeps of the translation memory from one run to the next, in the settings
// store beside the others (settings/settings.h) but read and written on its own, so that the
// memory's pane owns its settings.

#include <QString>

#include "settings/settings.h"

namespace quillfen {

struct TMemorySettings {
    // The memory's file ("MemoryFile"); empty: the user's own.
    QString File;
    // The language translated from where a page names none in its lang ("MemorySourceLanguage"),
    // and the one translated into ("MemoryTargetLanguage"); empty: not known, and then nothing is
    // kept or looked up.
    QString SourceLanguage, TargetLanguage;
    // Reaching an untranslated phrase with a match in context or an exact one puts it into the
    // entry as a draft ("MemoryDraftExact", 0 or 1).
    bool DraftExactMatches = true;
};

// Never fails: a value missing or unreadable takes its default.
TMemorySettings LoadMemorySettings(const TSettingsStore& store);
// Writes the four values; raises TError naming the store when it cannot be written.
void SaveMemorySettings(const TSettingsStore& store, const TMemorySettings& settings);

}  // namespace quillfen
