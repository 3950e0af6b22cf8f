#include "cli/texts.h"

#include <array>

#include "cli/command.h"

namespace quillfen::cli {

namespace {

// German in UTF-8, its umlauts as escapes so that the file reads the same in every editor.
constexpr std::array kTexts = {
    TSaidText{TSaid::Usage, "Usage:\n", "Aufruf:\n"},
    TSaidText{TSaid::UsageTags,
              "--tags N: kinds of phrases (letters %1), %2\n(0 to %3, default %4).\n",
              "--tags N: Arten von Phrasen (Buchstaben %1), %2\n(0 bis %3, Vorgabe %4).\n"},
    TSaidText{TSaid::UsageUnits,
              "--units runs|sentences: phrases are the text runs between tags (default) or\n"
              "sentences, their inline tags as placeholders such as <b1>...</b1>.\n",
              "--units runs|sentences: Phrasen sind die Textst\xC3\xBC"
              "cke zwischen Tags (Vorgabe) oder\n"
              "S\xC3\xA4tze, deren Tags im Satz als Platzhalter wie <b1>...</b1>.\n"},
    TSaidText{TSaid::UsageEscapes,
              "Texts are UTF-8; tab, CR, LF and backslash are written \\t \\r \\n \\\\, a byte "
              "invalid in\nthe page's encoding \\xHH.\n",
              "Texte sind UTF-8; Tabulator, CR, LF und Backslash werden \\t \\r \\n \\\\ "
              "geschrieben, ein\nin der Kodierung der Seite ung\xC3\xBCltiges Byte \\xHH.\n"},
    TSaidText{TSaid::UsageFormats, "Exchange formats:\n", "Austauschformate:\n"},
    TSaidText{TSaid::UsageExit,
              "Exit status: 0 success, 1 a page, a file or the output failed, 2 usage error.\n",
              "Exit-Status: 0 Erfolg, 1 eine Seite, eine Datei oder die Ausgabe scheiterte, 2 "
              "falscher Aufruf.\n"},
    TSaidText{TSaid::PhrasesWritten, "%1: %2 phrases written\n", "%1: %2 Phrasen geschrieben\n"},
    TSaidText{TSaid::BandsHeader, "score\tphrases\twords\n", "Wert\tPhrasen\tW\xC3\xB6rter\n"},
    TSaidText{TSaid::PhraseRefused, "%1: phrase %2: %3", "%1: Phrase %2: %3"},
    TSaidText{TSaid::MergeReport, "%1: %2 translated, %3 kept",
              "%1: %2 \xC3\xBC"
              "bersetzt, %3 belassen"},
    TSaidText{TSaid::LeftOut, ", %1 left out", ", %1 ausgelassen"},
    TSaidText{TSaid::MergeMoreLeftOut, "%1: and %2 more units left out",
              "%1: und %2 weitere Einheiten ausgelassen"},
    TSaidText{TSaid::WrittenNotKept, "%1: the page was written, but not into the memory: %2",
              "%1: Die Seite wurde geschrieben, aber nicht in den \xC3\x9C"
              "bersetzungsspeicher: %2"},
    TSaidText{TSaid::ImportReport, "%1: %2 added, %3 updated",
              "%1: %2 hinzugef\xC3\xBCgt, %3 aktualisiert"},
    TSaidText{TSaid::AlignReport, "%1: %2 units (%3 new), %4 phrases untranslated\n",
              "%1: %2 Einheiten (%3 neu), %4 Phrasen un\xC3\xBC"
              "bersetzt\n"},
    TSaidText{TSaid::ExportReport, "%1: %2 units\n", "%1: %2 Einheiten\n"},
    TSaidText{TSaid::SameBaseName, "%1: has the same base name as %2; nothing was exported",
              "%1: hat denselben Grundnamen wie %2; nichts wurde exportiert"},
    TSaidText{TSaid::ProjectCounts,
              "%1 phrases %2 words: translated %3 (%4 words), in context %5, exact %6, fuzzy "
              "drafts %7 (%8 words), untranslated %9 (%10 words)",
              "%1 Phrasen %2 W\xC3\xB6rter: \xC3\xBC"
              "bersetzt %3 (%4 W\xC3\xB6rter), im Kontext %5, exakt %6, unscharfe Entw\xC3\xBC"
              "rfe %7 (%8 W\xC3\xB6rter), un\xC3\xBC"
              "bersetzt %9 (%10 W\xC3\xB6rter)"},
    TSaidText{TSaid::ProjectTotal, "total", "gesamt"},
    TSaidText{TSaid::ProjectFilesCopied, "%1 other files copied\n", "%1 andere Dateien kopiert\n"},
    TSaidText{TSaid::ProjectOrphaned, " (orphaned)", " (verwaist)"},
    TSaidText{TSaid::ProjectSourceChanged, " (source changed)", " (Ausgangsseite ge\xC3\xA4ndert)"},
    TSaidText{TSaid::ProjectBands, "untranslated words by match:",
              "un\xC3\xBC"
              "bersetzte W\xC3\xB6rter nach Treffer:"},
    TSaidText{TSaid::ProjectNoMatch, "none", "keiner"},
    TSaidText{TSaid::ProjectMerged, "%1: %2: %3 translated, %4 left out\n",
              "%1: %2: %3 \xC3\xBC"
              "bersetzt, %4 ausgelassen\n"},
    TSaidText{TSaid::OutcomeUnchanged, "unchanged", "unver\xC3\xA4ndert"},
    TSaidText{TSaid::OutcomeNew, "new", "neu"},
    TSaidText{TSaid::OutcomeUpdated, "updated", "aktualisiert"},
    TSaidText{TSaid::OutcomeRecorded, "recorded",
              "\xC3\xBC"
              "bernommen"},
    TSaidText{TSaid::OutcomeFinished, "finished", "abgeschlossen"},
    TSaidText{TSaid::OutcomeRefused, "refused", "abgelehnt"},
    TSaidText{TSaid::OutcomeFailed, "failed", "gescheitert"},
    TSaidText{TSaid::OutcomeOrphaned, "orphaned", "verwaist"},
    TSaidText{TSaid::Warning, "warning", "Warnung"},
};

constexpr bool InOrder() {
    for (std::size_t i = 0; i < kTexts.size(); ++i)
        if (std::size_t(kTexts[i].Said) != i) return false;
    return true;
}
static_assert(InOrder(), "kTexts stands in TSaid's order, one text for each");

struct TFormatSummary {
    std::string_view Name, German;
};
constexpr TFormatSummary kFormatSummaries[] = {
    {"po",
     "NAME.po, PO von gettext: ein Eintrag je Phrase, f\xC3\xBCr \xC3\x9C"
     "bersetzungswerkzeuge"},
    {"text", "NAME.txt, eine Zeile je Phrase, und die Vorlage NAME.templ"},
    {"xliff",
     "NAME.xlf, XLIFF 1.2 f\xC3\xBCr \xC3\x9C"
     "bersetzungswerkzeuge, zur\xC3\xBC"
     "ck in die Seite gef\xC3\xBChrt"},
};

struct TKindName {
    char Letter;
    std::string_view German;
};
constexpr TKindName kKindNames[] = {
    {'T', "Flie\xC3\x9Ftext"},
    {'G', "Bildalternativen"},
    {'C', "Inhalt des Kopfes"},
    {'A', "Texte in Attributen"},
};

}  // namespace

std::span<const TSaidText> SaidTexts() { return kTexts; }

std::string Say(bool german, TSaid said, std::initializer_list<std::string_view> args) {
    const TSaidText& text = kTexts[std::size_t(said)];
    const std::string_view pattern = german ? text.German : text.English;
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        std::size_t n = 0, end = i + 1;
        while (end < pattern.size() && end < i + 3 && pattern[end] >= '0' && pattern[end] <= '9')
            n = n * 10 + std::size_t(pattern[end++] - '0');
        if (pattern[i] != '%' || end == i + 1 || n == 0 || n > args.size()) {
            out += pattern[i];
            continue;
        }
        out.append(args.begin()[n - 1]);
        i = end - 1;
    }
    return out;
}

std::string Say(TSaid said, std::initializer_list<std::string_view> args) {
    static const bool german = SpeaksGerman();
    return Say(german, said, args);
}

std::string_view FormatSummary(const TExchangeFormat& format, bool german) {
    if (german)
        for (const TFormatSummary& s : kFormatSummaries)
            if (s.Name == format.Name) return s.German;
    return format.Summary;
}

std::string_view KindName(const TKindInfo& kind, bool german) {
    if (german)
        for (const TKindName& k : kKindNames)
            if (k.Letter == kind.Letter) return k.German;
    return kind.Name;
}

}  // namespace quillfen::cli
