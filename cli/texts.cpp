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
    TSaidText{TSaid::NoCommand, "no command given", "kein Befehl angegeben"},
    TSaidText{TSaid::UnknownCommand, "unknown command %1", "unbekannter Befehl %1"},
    TSaidText{TSaid::TakesSubcommand, "%1 takes a subcommand: %2",
              "%1 verlangt einen Unterbefehl: %2"},
    TSaidText{TSaid::UnknownSubcommand, "unknown command %1 %2 (%1 takes %3)",
              "unbekannter Befehl %1 %2 (%1 kennt %3)"},
    TSaidText{TSaid::UnknownOption, "unknown option %1 for %2",
              "unbekannte Option %1 f\xC3\xBCr %2"},
    TSaidText{TSaid::NeedsValue, "%1 needs a value", "%1 verlangt einen Wert"},
    TSaidText{TSaid::GivenTwice, "%1 is given more than once", "%1 ist mehr als einmal angegeben"},
    TSaidText{TSaid::TakesOperands, "%1 takes %2", "%1 erwartet %2"},
    TSaidText{TSaid::TakesNoOperands, "%1 takes only options", "%1 erwartet nur Optionen"},
    TSaidText{TSaid::TagsTakes, "--tags takes a number from 0 to %1",
              "--tags erwartet eine Zahl von 0 bis %1"},
    TSaidText{TSaid::UnitsTakes, "--units takes runs or sentences",
              "--units erwartet runs oder sentences"},
    TSaidText{TSaid::FormatTakes, "%1 takes one of %2, not %3",
              "%1 erwartet eines von %2, nicht %3"},
    TSaidText{TSaid::LanguageTakes, "%1 takes a language tag such as de or en-US, not %2",
              "%1 erwartet ein Sprachkennzeichen wie de oder en-US, nicht %2"},
    TSaidText{TSaid::ScoreTakes, "%1 takes a score from 1 to 101, not %2",
              "%1 erwartet einen Wert von 1 bis 101, nicht %2"},
    TSaidText{TSaid::BothLanguagesNeeded, "--source-lang and --target-lang are both needed",
              "--source-lang und --target-lang sind beide n\xC3\xB6tig"},
    TSaidText{TSaid::SetTakes, "--set takes N=TEXT, not %1", "--set erwartet N=TEXT, nicht %1"},
    TSaidText{TSaid::DismissTakes,
              "--dismiss takes a finding's key as --format json gives it "
              "(numbers:0123456789abcdef), not %1",
              "--dismiss erwartet den Schl\xC3\xBCssel eines Befunds, wie --format json ihn angibt "
              "(numbers:0123456789abcdef), nicht %1"},
    TSaidText{TSaid::QaFormatTakes, "--format takes json", "--format erwartet json"},
    TSaidText{TSaid::QaTakes, "qa takes SOURCE TRANSLATED", "qa erwartet SOURCE TRANSLATED"},
    TSaidText{TSaid::QaProjectTakesNoPages, "qa --project takes no pages",
              "qa --project erlaubt keine Seiten"},
    TSaidText{TSaid::QaProjectTakesNo,
              "qa --project takes no %1: the project knows how its pages are read",
              "qa --project erlaubt kein %1: Das Projekt wei\xC3\x9F, wie seine Seiten gelesen "
              "werden"},
    TSaidText{TSaid::ProjectTakesNo, "project %1 takes no %2", "project %1 erlaubt kein %2"},
    TSaidText{TSaid::ProjectNewTakes,
              "project new takes --source, --target, --source-lang and --target-lang",
              "project new verlangt --source, --target, --source-lang und --target-lang"},
    TSaidText{TSaid::ProjectExportTakes, "project export takes -d DIR",
              "project export verlangt -d DIR"},
    TSaidText{TSaid::ProjectExportWrites, "project export writes --format po or xliff",
              "project export schreibt nur --format po oder xliff"},
    TSaidText{TSaid::ProjectMergeTakes, "project merge takes PROJECT FILE...",
              "project merge erwartet PROJECT FILE..."},
    TSaidText{TSaid::ProjectTakes,
              "project takes new, update, status or export with PROJECT, or merge PROJECT FILE...",
              "project erwartet new, update, status oder export mit PROJECT, oder merge PROJECT "
              "FILE..."},
    TSaidText{TSaid::ExportTakes, "export takes pages and -d DIR",
              "export erwartet Seiten und -d DIR"},
    TSaidText{TSaid::MergeTakes, "merge takes a translation file (%1), not %2",
              "merge erwartet eine \xC3\x9C"
              "bersetzungsdatei (%1), nicht %2"},
    TSaidText{TSaid::LookupTakes, "tm lookup takes TEXT or --queries FILE",
              "tm lookup erwartet TEXT oder --queries FILE"},
    TSaidText{TSaid::TmExportNeeds, "tm export needs -o FILE.tmx",
              "tm export verlangt -o FILE.tmx"},
    TSaidText{TSaid::PretranslateNeeds, "pretranslate needs --target-lang",
              "pretranslate verlangt --target-lang"},
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

TUsageError UsageError(TSaid said, std::initializer_list<std::string_view> args) {
    return TUsageError{Say(false, said, args), Say(true, said, args)};
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
