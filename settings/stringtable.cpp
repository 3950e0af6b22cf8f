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
// phrases translated); 96: the wizard's choice of the export format. A new text takes the next
// free id in every table.
constexpr TStringEntry English[] = {
    {1, u8"Quillfen"},
    {2, u8"Version"},
    {10, u8"&File"},
    {11, u8"&Open"},
    {12, u8"&Close"},
    {13, u8"E&xit"},
    {14, u8"&Help"},
    {15, u8"&Language"},
    {16, u8"O&ptions"},
    {17, u8"&Export plain text"},
    {18, u8"Re&combine"},
    {20, u8"Select a phrase to translate."},
    {21, u8"HTML-Files|*.HTML;*.HTM"},
    {23, u8"%d text blocks"},
    {24, u8"%d Items filtered"},
    {26, u8"%d words"},
    {30, u8"Options"},
    {31, u8"HTML Tags to extract"},
    {32, u8"&plain text"},
    {33, u8"&images alternatives"},
    {34, u8"header &content"},
    {35, u8"Start menu"},
    {36, u8"Add &Start Menu item"},
    {41, u8"Wizard"},
    {42,
     u8"This wizard helps to separate all text blocks from an HTML document into a plain text "
     u8"file. It also generates a HTML template so that the text blocks can be reimported again "
     u8"after they have been translated."},
    {43, u8"Text file:"},
    {44, u8"Template:"},
    {45,
     u8"NOTICE: Please do not change the <nr> parts in the text file. If you remove or change them "
     u8"a later reimport will be impossible. Make sure you don't delete or change the template "
     u8"file. It is needed to import the translated texts again later."},
    {46,
     u8"This wizard recombines an extract plain text file with a saved template to complete HTML "
     u8"file. Make sure that your template remained unchange, and that your plain text file still "
     u8"contains the number tags. Otherwise the import procedure will fail !"},
    {47, u8"Please enter the location and name of the HTML document you want to create."},
    {48, u8"HTML file:"},
    {49, u8"Combination finished sucessfully !"},
    {50, u8"Load the created file."},
    {51, u8"Next >"},
    {52, u8"< Back"},
    {53, u8"Finish !"},
    {54, u8"Cancel"},
    {55, u8"Output folder:"},
    {56, u8"E&dit"},
    {57, u8"&Undo"},
    {58, u8"&Redo"},
    {59, u8"Re&vert page"},
    {60, u8"Undo every change to %s and restore the page as it was opened?"},
    {61,
     u8"Another program has changed %s since it was opened. Nothing has been written.\n\n"
     u8"Reload the page?"},
    {62, u8"The last change to %s could not be saved and is not in the file.\n\nDiscard it?"},
    {63,
     u8"An earlier save of this page was interrupted and left it incomplete. A copy of the page "
     u8"as it was before that save is kept at:\n%s\n\nPut the copy back and open the page?"},
    {64, u8"&Yes"},
    {65, u8"&No"},
    {66, u8"as %s"},
    {67, u8"The page was read as %s."},
    {68, u8"Export"},
    {69, u8"Import"},
    {70, u8"&Find..."},
    {71, u8"&Go to phrase..."},
    {72, u8"Find:"},
    {73, u8"%d of %d"},
    {74, u8"No match"},
    {75, u8"Go to phrase"},
    {76, u8"Phrase number (1 to %d):"},
    {77, u8"Enter or F3: next match. Shift+F3: previous match. Esc: back to the entry field."},
    {78, u8"Close"},
    {79, u8"Texts typed for %s have not been confirmed with Enter.\n\nDiscard them?"},
    {80, u8"Phrase %d of %d"},
    {81, u8"%d changed"},
    {82, u8"Show:"},
    {83, u8"All phrases"},
    {84, u8"Unchanged"},
    {85, u8"Changed"},
    {86, u8"&Enter skips phrases without letters or digits"},
    {87, u8"&attribute texts (titles, labels)"},
    {88, u8"Note for the translator: %s"},
    {89, u8"&Phrases:"},
    {90, u8"text between tags"},
    {91, u8"sentences, with inline markup as placeholders"},
    {92, u8"&Merge translation..."},
    {93, u8"Translation files"},
    {94,
     u8"%s was not exported from this page as it stands now (another page, or this one changed "
     u8"since). Merge it anyway? Phrases whose number no longer reads as the exported text are "
     u8"left as they are."},
    {95, u8"%d phrases took a translation."},
    {96, u8"E&xport format:"},
};

// The same ids in German.
constexpr TStringEntry German[] = {
    {1, u8"Quillfen"},
    {2, u8"Version"},
    {10, u8"&Datei"},
    {11, u8"&Öffnen"},
    {12, u8"&Schliessen"},
    {13, u8"&Beenden"},
    {14, u8"&Hilfe"},
    {15, u8"&Sprache"},
    {16, u8"O&ptionen"},
    {17, u8"&Exportieren"},
    {18, u8"&Importieren"},
    {20, u8"Wählen Sie den zu übersetzenden Textblock. "},
    {21, u8"HTML-Dateien|*.HTML;*.HTM"},
    {23, u8"%d Textblöcke"},
    {24, u8"%d doppelte Einträge gefiltert"},
    {26, u8"%d Wörter"},
    {30, u8"Optionen"},
    {31, u8"HTML Befehle"},
    {32, u8"normaler &Text"},
    {33, u8"&Bildbeschriftungen"},
    {34, u8"&Dateikopfangaben"},
    {35, u8"Start Menü"},
    {36, u8"Eintrag im &Start Menü"},
    {41, u8"Assistent"},
    {42,
     u8"Dieser Assistent trennt alle Textblöcke des HTML-Dokuments und speichert diese in einer "
     u8"seperaten Textdatei. Außerdem generiert er eine Vorlage, um die extrahierten Textstücke "
     u8"später wieder zu einer kompletten HTML-Datei zusammenfügen zu können."},
    {43, u8"Textdatei:"},
    {44, u8"Vorlage:"},
    {45,
     u8"HINWEIS:\nBitte verändern Sie die in der Textdatei einfügten Steuerzeichen <0..x> nicht. "
     u8"Sonst können die beiden Datei später nicht wieder kombiniert werden."},
    {46,
     u8"Dieser Assistent fügt die extrahierten Texte und die erstellte Vorlagendatei wieder zu "
     u8"einem HTML-Dokument zusammen. Stellen Sie sicher, daß die Vorlage nicht verändert wurde "
     u8"und die in die Textdatei eingefügten Steuerzeichen vorhanden sind."},
    {47, u8"Geben Sie den Ort und den Namen des zu erstellenden HTML-Dokuments ein."},
    {48, u8"HTML-Datei:"},
    {49, u8"Die Dateien wurden erfolgreich kombiniert !"},
    {50, u8"HTML-Dokument jetzt laden"},
    {51, u8"Weiter >"},
    {52, u8"< Zurück"},
    {53, u8"Fertig !"},
    {54, u8"Abbrechen"},
    {55, u8"Verzeichnis:"},
    {56, u8"&Bearbeiten"},
    {57, u8"&Rückgängig"},
    {58, u8"&Wiederherstellen"},
    {59, u8"Seite &zurücksetzen"},
    {60,
     u8"Alle Änderungen an %s verwerfen und die Seite wieder so herstellen, wie sie geöffnet "
     u8"wurde?"},
    {61,
     u8"Ein anderes Programm hat %s geändert, seit die Datei geöffnet wurde. Es wurde nichts "
     u8"geschrieben.\n\nDatei neu laden?"},
    {62,
     u8"Die letzte Änderung an %s konnte nicht gespeichert werden und fehlt in der Datei.\n\n"
     u8"Verwerfen?"},
    {63,
     u8"Ein früheres Speichern dieser Seite wurde unterbrochen und hat sie unvollständig "
     u8"hinterlassen. Eine Kopie der Seite, wie sie vorher war, liegt unter:\n%s\n\n"
     u8"Die Kopie zurückschreiben und die Seite öffnen?"},
    {64, u8"&Ja"},
    {65, u8"&Nein"},
    {66, u8"als %s"},
    {67, u8"Die Seite wurde als %s gelesen."},
    {68, u8"Export"},
    {69, u8"Import"},
    {70, u8"&Suchen..."},
    {71, u8"&Gehe zu Textblock..."},
    {72, u8"Suchen:"},
    {73, u8"%d von %d"},
    {74, u8"Kein Treffer"},
    {75, u8"Gehe zu Textblock"},
    {76, u8"Nummer des Textblocks (1 bis %d):"},
    {77,
     u8"Enter oder F3: nächster Treffer. Umschalt+F3: voriger Treffer. Esc: zurück zum "
     u8"Eingabefeld."},
    {78, u8"Schliessen"},
    {79,
     u8"Für %s eingegebene Texte wurden nicht mit Enter bestätigt.\n\nSollen sie verworfen "
     u8"werden?"},
    {80, u8"Textblock %d von %d"},
    {81, u8"%d geändert"},
    {82, u8"Zeigen:"},
    {83, u8"Alle Textblöcke"},
    {84, u8"Unverändert"},
    {85, u8"Geändert"},
    {86, u8"&Enter überspringt Textblöcke ohne Buchstaben und Ziffern"},
    {87, u8"&Attributtexte (Titel, Beschriftungen)"},
    {88, u8"Hinweis für die Übersetzung: %s"},
    {89, u8"&Textblöcke:"},
    {90, u8"Text zwischen Tags"},
    {91, u8"Sätze, Inline-Markup als Platzhalter"},
    {92, u8"Übersetzung &einfügen..."},
    {93, u8"Übersetzungsdateien"},
    {94,
     u8"%s wurde nicht aus dieser Seite, wie sie jetzt ist, exportiert (eine andere Seite, oder "
     u8"diese wurde seither geändert). Trotzdem einfügen? Textblöcke, deren Nummer nicht mehr "
     u8"den exportierten Text trägt, bleiben, wie sie sind."},
    {95, u8"%d Textblöcke wurden übersetzt."},
    {96, u8"E&xportformat:"},
};

// Texts every language shares.
constexpr TStringEntry Shared[] = {
    {999, u8"" QUILLFEN_VERSION},
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
    const auto it = std::lower_bound(table.begin(), table.end(), id,
                                     [](const TStringEntry& e, int key) { return e.Id < key; });
    if (it == table.end() || it->Id != id) return QString();
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
