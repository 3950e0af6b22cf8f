#include "settings/stringtable.h"

#include <algorithm>
#include <iterator>

namespace quillfen {
namespace {

// Each language's table is keyed by the same ids and kept sorted by id for the binary search. The
// texts up to 55 are the program's own wording, typos included; English 20 is the instruction
// without a trailing blank, German 20 ends in one. From 56 on: the Edit menu, and the questions
// and notes that guard the user's file, where "%s" stands for a path. 66 and 67: the line under
// the legend and its tool tip, where "%s" stands for the name of the encoding the page was read
// in; 68 and 69: the wizard's headings, which also begin its title. From 70 on: finding a phrase
// and going to one by its number; "%d" stands for counts, in 73 for the match and then the number
// of matches. 79: the question before typed texts not confirmed are dropped. 80 to 86: the status
// bar ("%d" the phrase, then the count), the filter beside the find field, and the Options box for
// Enter's skipping. 92 to 95: merging a translation file into the page ("%s" its path, "%d" the
// phrases translated); 96: the wizard's choice of the export format; 97: reading the page as a file
// to merge was cut. 98 and 99: which phrases Undo and Redo go to, after the command's name ("%d"
// the phrase or the count); 100: the question before a step of many phrases; 101: a recent file
// that is gone ("%s" its path); 102: a replaced phrase's source ("%s" its text). 120 to 131: the
// translation memory's matches pane ("%s" the memory's error) and where a match came from. A new
// text takes the next free id in every table.
constexpr TStringEntry English[] = {
    {TStringId::AppTitle, u8"Quillfen"},
    {TStringId::VersionCaption, u8"Version"},
    {TStringId::MenuFile, u8"&File"},
    {TStringId::MenuOpen, u8"&Open"},
    {TStringId::MenuClose, u8"&Close"},
    {TStringId::MenuExit, u8"E&xit"},
    {TStringId::MenuHelp, u8"&Help"},
    {TStringId::MenuLanguage, u8"&Language"},
    {TStringId::MenuOptions, u8"O&ptions"},
    {TStringId::MenuExport, u8"&Export plain text"},
    {TStringId::MenuCombine, u8"&Recombine"},
    {TStringId::SelectPhrase, u8"Select a phrase to translate."},
    {TStringId::OpenFilter, u8"HTML-Files|*.HTML;*.HTM"},
    {TStringId::PhraseCount, u8"%d text blocks"},
    {TStringId::FilteredCount, u8"%d Items filtered"},
    {TStringId::WordCount, u8"%d words"},
    {TStringId::OptionsTitle, u8"Options"},
    {TStringId::KindsCaption, u8"HTML Tags to extract"},
    {TStringId::KindText, u8"&plain text"},
    {TStringId::KindImage, u8"&images alternatives"},
    {TStringId::KindContent, u8"header &content"},
    {TStringId::StartMenuCaption, u8"Start menu"},
    {TStringId::AddStartMenuItem, u8"Add &Start Menu item"},
    {TStringId::WizardTitle, u8"Wizard"},
    {TStringId::WizardExportIntro,
     u8"This wizard helps to separate all text blocks from an HTML document into a plain text "
     u8"file. It also generates a HTML template so that the text blocks can be reimported again "
     u8"after they have been translated."},
    {TStringId::WizardTextFile, u8"Text file:"},
    {TStringId::WizardTemplate, u8"Template:"},
    {TStringId::WizardExportNotice,
     u8"NOTICE: Please do not change the <nr> parts in the text file. If you remove or change them "
     u8"a later reimport will be impossible. Make sure you don't delete or change the template "
     u8"file. It is needed to import the translated texts again later."},
    {TStringId::WizardImportIntro,
     u8"This wizard recombines an extract plain text file with a saved template to complete HTML "
     u8"file. Make sure that your template remained unchange, and that your plain text file still "
     u8"contains the number tags. Otherwise the import procedure will fail !"},
    {TStringId::WizardDestinationPrompt,
     u8"Please enter the location and name of the HTML document you want to create."},
    {TStringId::WizardHtmlFile, u8"HTML file:"},
    {TStringId::WizardCombined, u8"Combination finished sucessfully !"},
    {TStringId::WizardLoadFile, u8"Load the created file."},
    {TStringId::WizardNext, u8"Next >"},
    {TStringId::WizardBack, u8"< Back"},
    {TStringId::WizardFinish, u8"Finish !"},
    {TStringId::Cancel, u8"Cancel"},
    {TStringId::WizardOutputFolder, u8"Output folder:"},
    {TStringId::MenuEdit, u8"E&dit"},
    {TStringId::MenuUndo, u8"&Undo"},
    {TStringId::MenuRedo, u8"&Redo"},
    {TStringId::MenuRevert, u8"Re&vert page"},
    {TStringId::AskRevert, u8"Undo every change to %s and restore the page as it was opened?"},
    {TStringId::AskReloadChanged,
     u8"Another program has changed %s since it was opened. Nothing has been written.\n\n"
     u8"Reload the page?"},
    {TStringId::AskDropFailedSave,
     u8"The last change to %s could not be saved and is not in the file.\n\nDiscard it?"},
    {TStringId::AskRecover,
     u8"An earlier save of this page was interrupted and left it incomplete. A copy of the page "
     u8"as it was before that save is kept at:\n%s\n\nPut the copy back and open the page?"},
    {TStringId::Yes, u8"&Yes"},
    {TStringId::No, u8"&No"},
    {TStringId::EncodingLine, u8"as %s"},
    {TStringId::EncodingTip, u8"The page was read as %s."},
    {TStringId::WizardExportHeading, u8"Export"},
    {TStringId::WizardImportHeading, u8"Import"},
    {TStringId::MenuFind, u8"&Find..."},
    {TStringId::MenuGoTo, u8"&Go to phrase..."},
    {TStringId::FindCaption, u8"Find:"},
    {TStringId::FindMatchOf, u8"%d of %d"},
    {TStringId::FindNoMatch, u8"No match"},
    {TStringId::GoToTitle, u8"Go to phrase"},
    {TStringId::GoToPrompt, u8"Phrase number (1 to %d):"},
    {TStringId::FindHint,
     u8"Enter or F3: next match. Shift+F3: previous match. Esc: back to the entry field."},
    {TStringId::CloseButton, u8"Close"},
    {TStringId::AskDropDrafts,
     u8"Texts typed for %s have not been confirmed with Enter.\n\nDiscard them?"},
    {TStringId::StatusPhraseOf, u8"Phrase %d of %d"},
    {TStringId::StatusChanged, u8"%d changed"},
    {TStringId::FilterCaption, u8"Show:"},
    {TStringId::FilterAll, u8"All phrases"},
    {TStringId::FilterUnchanged, u8"Unchanged"},
    {TStringId::FilterChanged, u8"Changed"},
    {TStringId::SkipNoLetters, u8"&Enter skips phrases without letters or digits"},
    {TStringId::KindAttribute, u8"&attribute texts (titles, labels)"},
    {TStringId::TranslatorNote, u8"Note for the translator: %s"},
    {TStringId::UnitsCaption, u8"P&hrases:"},
    {TStringId::UnitsRuns, u8"text between tags"},
    {TStringId::UnitsSentences, u8"sentences, with inline markup as placeholders"},
    {TStringId::MenuMerge, u8"&Merge translation..."},
    {TStringId::TranslationFiles, u8"Translation files"},
    {TStringId::AskForceMerge,
     u8"%s was not exported from this page as it stands now (another page, or this one changed "
     u8"since). Merge it anyway? Phrases whose number no longer reads as the exported text are "
     u8"left as they are."},
    {TStringId::MergedCount, u8"%d phrases took a translation."},
    {TStringId::ExportFormatCaption, u8"E&xport format:"},
    {TStringId::AskRecutForMerge,
     u8"%s was exported from this page read with other kinds of phrases or as other units. Read "
     u8"the page that way again to merge it? The undo history of the page starts anew."},
    {TStringId::UndoWhichPhrase, u8"(phrase %d)"},
    {TStringId::UndoWhichPhrases, u8"(%d phrases)"},
    {TStringId::AskManyPhrasesStep, u8"This step changes %d phrases at once. Go on?"},
    {TStringId::RecentFileGone, u8"%s is no longer there or is no file; it leaves the list."},
    {TStringId::SourceOfPhrase, u8"Source: %s"},
    {TStringId::StatusDone, u8"done: %d % of the phrases, %d % of the words"},
    {TStringId::HelpKeys, u8"Keys:"},
    {TStringId::HelpKinds, u8"Kinds of phrases (the letter on each row's tile):"},
    {TStringId::HelpKeyConfirm, u8"Confirm the phrase and go to the next"},
    {TStringId::HelpKeyRows, u8"Previous or next phrase"},
    {TStringId::HelpKeyEscape, u8"Take back what was typed in the entry"},
    {TStringId::HelpKeyTypingUndo, u8"Undo or redo typing in the entry"},
    {TStringId::HelpKeyPlaceholder, u8"Insert the next missing placeholder of a sentence"},
    {TStringId::HelpKeyMatches, u8"Put match 1 to 5 into the entry"},
    {TStringId::MenuFindNext, u8"Find next"},
    {TStringId::MenuFindPrevious, u8"Find previous"},
    {TStringId::WizardTranslationNotice,
     u8"The phrases go into the translation file %s. Translate it with any translation tool, then "
     u8"bring it back with File, Merge translation. The page stays as it is until then."},
    {TStringId::ExportedFiles, u8"Written:\n%s"},
    {TStringId::MatchesCaption,
     u8"Matches from the memory (Ctrl+1 to Ctrl+5 put one into the entry):"},
    {TStringId::MatchesNone, u8"No match in the memory."},
    {TStringId::MatchesLanguages, u8"Translated from (where the page names no language) and into:"},
    {TStringId::MatchesNoLanguage,
     u8"Nothing is kept in the memory or looked up until both languages are known."},
    {TStringId::MatchesDraftExact, u8"E&xact matches into the entry"},
    {TStringId::MatchesFailed, u8"The translation memory cannot be used: %s"},
    {TStringId::OriginWindow, u8"confirmed"},
    {TStringId::OriginSave, u8"saved"},
    {TStringId::OriginMerge, u8"merged"},
    {TStringId::OriginPretranslation, u8"pretranslated"},
    {TStringId::OriginAlignment, u8"aligned"},
    {TStringId::OriginImport, u8"imported"},
    {TStringId::FilterWithFindings, u8"With findings"},
    {TStringId::MenuNextFinding, u8"&Next finding"},
    {TStringId::MenuPreviousFinding, u8"&Previous finding"},
    {TStringId::MenuDismissFindings, u8"&Dismiss this phrase's findings"},
    {TStringId::FindingError, u8"Error: %s"},
    {TStringId::FindingWarning, u8"Warning: %s"},
    {TStringId::AskKeepError, u8"Press Enter again to keep the text as it is."},
    {TStringId::StepNotKept, u8"The page is saved, but this could not be kept: %s"},
    {TStringId::MenuOpenProject, u8"Open &project..."},
    {TStringId::MenuOpenWithSource, u8"Open with &source page..."},
    {TStringId::MenuProject, u8"&Project"},
    {TStringId::MenuProjectUpdate, u8"&Update"},
    {TStringId::ProjectUnfinishedOnly, u8"Unfinished pages only"},
    {TStringId::ProjectPageColumn, u8"Page"},
    {TStringId::ProjectProgressColumn, u8"Translated"},
    {TStringId::ProjectFuzzyCount, u8", %s fuzzy"},
    {TStringId::ProjectFilter, u8"Quillfen projects|*.QFP"},
    {TStringId::ProjectFuzzyDraft, u8"Fuzzy draft (%s %), not yet confirmed. It translated:"},
    {TStringId::ProjectUpdating, u8"Updating the project..."},
    {TStringId::ProjectUpdated, u8"Updated: %s pages written."},
    {TStringId::ProjectUpdateFailed, u8"These pages were refused or failed:\n%s"},
    {TStringId::ProjectPagesCaption, u8"Project pages"},
};

// The same ids in German.
constexpr TStringEntry German[] = {
    {TStringId::AppTitle, u8"Quillfen"},
    {TStringId::VersionCaption, u8"Version"},
    {TStringId::MenuFile, u8"&Datei"},
    {TStringId::MenuOpen, u8"&Öffnen"},
    {TStringId::MenuClose, u8"&Schliessen"},
    {TStringId::MenuExit, u8"&Beenden"},
    {TStringId::MenuHelp, u8"&Hilfe"},
    {TStringId::MenuLanguage, u8"&Sprache"},
    {TStringId::MenuOptions, u8"O&ptionen"},
    {TStringId::MenuExport, u8"&Exportieren"},
    {TStringId::MenuCombine, u8"&Importieren"},
    {TStringId::SelectPhrase, u8"Wählen Sie den zu übersetzenden Textblock. "},
    {TStringId::OpenFilter, u8"HTML-Dateien|*.HTML;*.HTM"},
    {TStringId::PhraseCount, u8"%d Textblöcke"},
    {TStringId::FilteredCount, u8"%d doppelte Einträge gefiltert"},
    {TStringId::WordCount, u8"%d Wörter"},
    {TStringId::OptionsTitle, u8"Optionen"},
    {TStringId::KindsCaption, u8"HTML Befehle"},
    {TStringId::KindText, u8"normaler &Text"},
    {TStringId::KindImage, u8"&Bildbeschriftungen"},
    {TStringId::KindContent, u8"&Dateikopfangaben"},
    {TStringId::StartMenuCaption, u8"Start Menü"},
    {TStringId::AddStartMenuItem, u8"Eintrag im &Start Menü"},
    {TStringId::WizardTitle, u8"Assistent"},
    {TStringId::WizardExportIntro,
     u8"Dieser Assistent trennt alle Textblöcke des HTML-Dokuments und speichert diese in einer "
     u8"seperaten Textdatei. Außerdem generiert er eine Vorlage, um die extrahierten Textstücke "
     u8"später wieder zu einer kompletten HTML-Datei zusammenfügen zu können."},
    {TStringId::WizardTextFile, u8"Textdatei:"},
    {TStringId::WizardTemplate, u8"Vorlage:"},
    {TStringId::WizardExportNotice,
     u8"HINWEIS:\nBitte verändern Sie die in der Textdatei einfügten Steuerzeichen <0..x> nicht. "
     u8"Sonst können die beiden Datei später nicht wieder kombiniert werden."},
    {TStringId::WizardImportIntro,
     u8"Dieser Assistent fügt die extrahierten Texte und die erstellte Vorlagendatei wieder zu "
     u8"einem HTML-Dokument zusammen. Stellen Sie sicher, daß die Vorlage nicht verändert wurde "
     u8"und die in die Textdatei eingefügten Steuerzeichen vorhanden sind."},
    {TStringId::WizardDestinationPrompt,
     u8"Geben Sie den Ort und den Namen des zu erstellenden HTML-Dokuments ein."},
    {TStringId::WizardHtmlFile, u8"HTML-Datei:"},
    {TStringId::WizardCombined, u8"Die Dateien wurden erfolgreich kombiniert !"},
    {TStringId::WizardLoadFile, u8"HTML-Dokument jetzt laden"},
    {TStringId::WizardNext, u8"Weiter >"},
    {TStringId::WizardBack, u8"< Zurück"},
    {TStringId::WizardFinish, u8"Fertig !"},
    {TStringId::Cancel, u8"Abbrechen"},
    {TStringId::WizardOutputFolder, u8"Verzeichnis:"},
    {TStringId::MenuEdit, u8"&Bearbeiten"},
    {TStringId::MenuUndo, u8"&Rückgängig"},
    {TStringId::MenuRedo, u8"&Wiederherstellen"},
    {TStringId::MenuRevert, u8"Seite &zurücksetzen"},
    {TStringId::AskRevert,
     u8"Alle Änderungen an %s verwerfen und die Seite wieder so herstellen, wie sie geöffnet "
     u8"wurde?"},
    {TStringId::AskReloadChanged,
     u8"Ein anderes Programm hat %s geändert, seit die Datei geöffnet wurde. Es wurde nichts "
     u8"geschrieben.\n\nDatei neu laden?"},
    {TStringId::AskDropFailedSave,
     u8"Die letzte Änderung an %s konnte nicht gespeichert werden und fehlt in der Datei.\n\n"
     u8"Verwerfen?"},
    {TStringId::AskRecover,
     u8"Ein früheres Speichern dieser Seite wurde unterbrochen und hat sie unvollständig "
     u8"hinterlassen. Eine Kopie der Seite, wie sie vorher war, liegt unter:\n%s\n\n"
     u8"Die Kopie zurückschreiben und die Seite öffnen?"},
    {TStringId::Yes, u8"&Ja"},
    {TStringId::No, u8"&Nein"},
    {TStringId::EncodingLine, u8"als %s"},
    {TStringId::EncodingTip, u8"Die Seite wurde als %s gelesen."},
    {TStringId::WizardExportHeading, u8"Export"},
    {TStringId::WizardImportHeading, u8"Import"},
    {TStringId::MenuFind, u8"&Suchen..."},
    {TStringId::MenuGoTo, u8"&Gehe zu Textblock..."},
    {TStringId::FindCaption, u8"Suchen:"},
    {TStringId::FindMatchOf, u8"%d von %d"},
    {TStringId::FindNoMatch, u8"Kein Treffer"},
    {TStringId::GoToTitle, u8"Gehe zu Textblock"},
    {TStringId::GoToPrompt, u8"Nummer des Textblocks (1 bis %d):"},
    {TStringId::FindHint,
     u8"Enter oder F3: nächster Treffer. Umschalt+F3: voriger Treffer. Esc: zurück zum "
     u8"Eingabefeld."},
    {TStringId::CloseButton, u8"Schliessen"},
    {TStringId::AskDropDrafts,
     u8"Für %s eingegebene Texte wurden nicht mit Enter bestätigt.\n\nSollen sie verworfen "
     u8"werden?"},
    {TStringId::StatusPhraseOf, u8"Textblock %d von %d"},
    {TStringId::StatusChanged, u8"%d geändert"},
    {TStringId::FilterCaption, u8"Zeigen:"},
    {TStringId::FilterAll, u8"Alle Textblöcke"},
    {TStringId::FilterUnchanged, u8"Unverändert"},
    {TStringId::FilterChanged, u8"Geändert"},
    {TStringId::SkipNoLetters, u8"&Enter überspringt Textblöcke ohne Buchstaben und Ziffern"},
    {TStringId::KindAttribute, u8"&Attributtexte (Titel, Beschriftungen)"},
    {TStringId::TranslatorNote, u8"Hinweis für die Übersetzung: %s"},
    {TStringId::UnitsCaption, u8"Te&xtblöcke:"},
    {TStringId::UnitsRuns, u8"Text zwischen Tags"},
    {TStringId::UnitsSentences, u8"Sätze, Inline-Markup als Platzhalter"},
    {TStringId::MenuMerge, u8"Übersetzung ein&fügen..."},
    {TStringId::TranslationFiles, u8"Übersetzungsdateien"},
    {TStringId::AskForceMerge,
     u8"%s wurde nicht aus dieser Seite, wie sie jetzt ist, exportiert (eine andere Seite, oder "
     u8"diese wurde seither geändert). Trotzdem einfügen? Textblöcke, deren Nummer nicht mehr "
     u8"den exportierten Text trägt, bleiben, wie sie sind."},
    {TStringId::MergedCount, u8"%d Textblöcke wurden übersetzt."},
    {TStringId::ExportFormatCaption, u8"E&xportformat:"},
    {TStringId::AskRecutForMerge,
     u8"%s wurde aus dieser Seite exportiert, als sie mit anderen Arten von Textblöcken oder in "
     u8"anderen Einheiten gelesen war. Die Seite so neu lesen, um die Datei einzufügen? Der "
     u8"Verlauf der Seite beginnt neu."},
    {TStringId::UndoWhichPhrase, u8"(Phrase %d)"},
    {TStringId::UndoWhichPhrases, u8"(%d Phrasen)"},
    {TStringId::AskManyPhrasesStep, u8"Dieser Schritt ändert %d Phrasen auf einmal. Fortfahren?"},
    {TStringId::RecentFileGone,
     u8"%s ist nicht mehr da oder keine Datei; der Eintrag verlässt die Liste."},
    {TStringId::SourceOfPhrase, u8"Ausgangstext: %s"},
    {TStringId::StatusDone, u8"fertig: %d % der Textblöcke, %d % der Wörter"},
    {TStringId::HelpKeys, u8"Tasten:"},
    {TStringId::HelpKinds, u8"Arten von Textblöcken (der Buchstabe im Bildchen jeder Zeile):"},
    {TStringId::HelpKeyConfirm, u8"Textblock bestätigen und zum nächsten gehen"},
    {TStringId::HelpKeyRows, u8"Voriger oder nächster Textblock"},
    {TStringId::HelpKeyEscape, u8"Das im Eingabefeld Getippte zurücknehmen"},
    {TStringId::HelpKeyTypingUndo, u8"Tippen im Eingabefeld rückgängig machen oder wiederholen"},
    {TStringId::HelpKeyPlaceholder, u8"Den nächsten fehlenden Platzhalter eines Satzes einfügen"},
    {TStringId::HelpKeyMatches, u8"Treffer 1 bis 5 ins Eingabefeld übernehmen"},
    {TStringId::MenuFindNext, u8"Weitersuchen"},
    {TStringId::MenuFindPrevious, u8"Rückwärts suchen"},
    {TStringId::WizardTranslationNotice,
     u8"Die Textblöcke kommen in die Übersetzungsdatei %s. Übersetzen Sie sie mit einem beliebigen "
     u8"Übersetzungsprogramm und holen Sie sie dann mit Datei, Übersetzung einfügen zurück. Bis "
     u8"dahin bleibt die Seite, wie sie ist."},
    {TStringId::ExportedFiles, u8"Geschrieben:\n%s"},
    {TStringId::MatchesCaption,
     u8"Treffer aus dem Übersetzungsspeicher (Strg+1 bis Strg+5 übernehmen einen):"},
    {TStringId::MatchesNone, u8"Kein Treffer im Übersetzungsspeicher."},
    {TStringId::MatchesLanguages, u8"Übersetzt aus (wo die Seite keine Sprache nennt) und in:"},
    {TStringId::MatchesNoLanguage,
     u8"Nichts wird im Übersetzungsspeicher behalten oder gesucht, bis beide Sprachen bekannt "
     u8"sind."},
    {TStringId::MatchesDraftExact, u8"E&xakte Treffer ins Eingabefeld"},
    {TStringId::MatchesFailed, u8"Der Übersetzungsspeicher kann nicht benutzt werden: %s"},
    {TStringId::OriginWindow, u8"bestätigt"},
    {TStringId::OriginSave, u8"gespeichert"},
    {TStringId::OriginMerge, u8"eingefügt"},
    {TStringId::OriginPretranslation, u8"vorübersetzt"},
    {TStringId::OriginAlignment, u8"abgeglichen"},
    {TStringId::OriginImport, u8"importiert"},
    {TStringId::FilterWithFindings, u8"Mit Befunden"},
    {TStringId::MenuNextFinding, u8"Nächster &Befund"},
    {TStringId::MenuPreviousFinding, u8"Vorheriger B&efund"},
    {TStringId::MenuDismissFindings, u8"Befunde dieses Textblocks &verwerfen"},
    {TStringId::FindingError, u8"Fehler: %s"},
    {TStringId::FindingWarning, u8"Warnung: %s"},
    {TStringId::AskKeepError, u8"Enter noch einmal behält den Text, wie er ist."},
    {TStringId::StepNotKept,
     u8"Die Seite ist gespeichert, aber dies konnte nicht behalten werden: %s"},
    {TStringId::MenuOpenProject, u8"&Projekt öffnen..."},
    {TStringId::MenuOpenWithSource, u8"Mit &Ausgangsseite öffnen..."},
    {TStringId::MenuProject, u8"&Projekt"},
    {TStringId::MenuProjectUpdate, u8"&Aktualisieren"},
    {TStringId::ProjectUnfinishedOnly, u8"Nur unfertige Seiten"},
    {TStringId::ProjectPageColumn, u8"Seite"},
    {TStringId::ProjectProgressColumn, u8"Übersetzt"},
    {TStringId::ProjectFuzzyCount, u8", %s unscharf"},
    {TStringId::ProjectFilter, u8"Quillfen-Projekte|*.QFP"},
    {TStringId::ProjectFuzzyDraft,
     u8"Unscharfer Entwurf (%s %), noch nicht bestätigt. Er übersetzte:"},
    {TStringId::ProjectUpdating, u8"Das Projekt wird aktualisiert..."},
    {TStringId::ProjectUpdated, u8"Aktualisiert: %s Seiten geschrieben."},
    {TStringId::ProjectUpdateFailed, u8"Diese Seiten wurden abgelehnt oder scheiterten:\n%s"},
    {TStringId::ProjectPagesCaption, u8"Seiten des Projekts"},
};

// Texts every language shares.
constexpr TStringEntry Shared[] = {
    {TStringId::Version, u8"" QUILLFEN_VERSION},
};

constexpr TLanguageEntry List[] = {
    {TLanguage::English, u8"&English", "mEnglish", "Help_US", "en", English},
    {TLanguage::German, u8"&Deutsch", "mDeutsch", "Help_DE", "de", German},
};

constexpr bool Sorted(std::span<const TStringEntry> table) {
    return std::is_sorted(table.begin(), table.end(),
                          [](const TStringEntry& a, const TStringEntry& b) { return a.Id < b.Id; });
}

static_assert(std::all_of(std::begin(List), std::end(List),
                          [](const TLanguageEntry& e) { return Sorted(e.Strings); }) &&
                  Sorted(Shared),
              "the string tables must stay sorted by id");

QString Find(std::span<const TStringEntry> table, int id) {
    const auto it =
        std::lower_bound(table.begin(), table.end(), id,
                         [](const TStringEntry& e, int key) { return int(e.Id) < key; });
    if (it == table.end() || int(it->Id) != id) return QString();
    return QString::fromUtf8(it->Text);
}

}  // namespace

std::span<const TLanguageEntry> Languages() { return List; }

const TLanguageEntry* FindLanguage(TLanguage language) {
    for (const TLanguageEntry& e : List)
        if (e.Language == language) return &e;
    return nullptr;
}

std::optional<TLanguage> LanguageOfStoredValue(std::uint32_t value) {
    for (const TLanguageEntry& e : List)
        if (StoredValue(e.Language) == value) return e.Language;
    return std::nullopt;
}

QString LoadStr(int id) { return Find(Shared, id); }

QString LoadStr(TLanguage language, int id) {
    const TLanguageEntry* entry = FindLanguage(language);
    const QString own = entry ? Find(entry->Strings, id) : QString();
    return own.isNull() ? LoadStr(id) : own;
}

}  // namespace quillfen
