#include "settings/stringtable.h"

#include <algorithm>
#include <iterator>

namespace quillfen {
namespace {

struct TEntry {
    int Id;
    const char8_t* Text;
};

// Kept sorted by id for the binary search. The texts up to 55 are the program's own wording, typos
// included; 120 ends in a blank. From 56 on: the Edit menu, and the questions and notes that guard
// the user's file, where "%s" stands for a path. 66 and 67: the line under the legend and its tool
// tip, where "%s" stands for the name of the encoding the page was read in; 68 and 69: the
// wizard's headings, which also begin its title. From 70 on: finding a phrase and going to one by
// its number; "%d" stands for counts, in 73 for the match and then the number of matches.
constexpr TEntry Table[] = {
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
    {101, u8"Quillfen"},
    {102, u8"Version"},
    {110, u8"&Datei"},
    {111, u8"&Öffnen"},
    {112, u8"&Schliessen"},
    {113, u8"&Beenden"},
    {114, u8"&Hilfe"},
    {115, u8"&Sprache"},
    {116, u8"O&ptionen"},
    {117, u8"&Exportieren"},
    {118, u8"&Importieren"},
    {120, u8"Wählen Sie den zu übersetzenden Textblock. "},
    {121, u8"HTML-Dateien|*.HTML;*.HTM"},
    {123, u8"%d Textblöcke"},
    {124, u8"%d doppelte Einträge gefiltert"},
    {126, u8"%d Wörter"},
    {130, u8"Optionen"},
    {131, u8"HTML Befehle"},
    {132, u8"normaler &Text"},
    {133, u8"&Bildbeschriftungen"},
    {134, u8"&Dateikopfangaben"},
    {135, u8"Start Menü"},
    {136, u8"Eintrag im &Start Menü"},
    {141, u8"Assistent"},
    {142,
     u8"Dieser Assistent trennt alle Textblöcke des HTML-Dokuments und speichert diese in einer "
     u8"seperaten Textdatei. Außerdem generiert er eine Vorlage, um die extrahierten Textstücke "
     u8"später wieder zu einer kompletten HTML-Datei zusammenfügen zu können."},
    {143, u8"Textdatei:"},
    {144, u8"Vorlage:"},
    {145,
     u8"HINWEIS:\nBitte verändern Sie die in der Textdatei einfügten Steuerzeichen <0..x> nicht. "
     u8"Sonst können die beiden Datei später nicht wieder kombiniert werden."},
    {146,
     u8"Dieser Assistent fügt die extrahierten Texte und die erstellte Vorlagendatei wieder zu "
     u8"einem HTML-Dokument zusammen. Stellen Sie sicher, daß die Vorlage nicht verändert wurde "
     u8"und die in die Textdatei eingefügten Steuerzeichen vorhanden sind."},
    {147, u8"Geben Sie den Ort und den Namen des zu erstellenden HTML-Dokuments ein."},
    {148, u8"HTML-Datei:"},
    {149, u8"Die Dateien wurden erfolgreich kombiniert !"},
    {150, u8"HTML-Dokument jetzt laden"},
    {151, u8"Weiter >"},
    {152, u8"< Zurück"},
    {153, u8"Fertig !"},
    {154, u8"Abbrechen"},
    {155, u8"Verzeichnis:"},
    {156, u8"&Bearbeiten"},
    {157, u8"&Rückgängig"},
    {158, u8"&Wiederherstellen"},
    {159, u8"Seite &zurücksetzen"},
    {160,
     u8"Alle Änderungen an %s verwerfen und die Seite wieder so herstellen, wie sie geöffnet "
     u8"wurde?"},
    {161,
     u8"Ein anderes Programm hat %s geändert, seit die Datei geöffnet wurde. Es wurde nichts "
     u8"geschrieben.\n\nDatei neu laden?"},
    {162,
     u8"Die letzte Änderung an %s konnte nicht gespeichert werden und fehlt in der Datei.\n\n"
     u8"Verwerfen?"},
    {163,
     u8"Ein früheres Speichern dieser Seite wurde unterbrochen und hat sie unvollständig "
     u8"hinterlassen. Eine Kopie der Seite, wie sie vorher war, liegt unter:\n%s\n\n"
     u8"Die Kopie zurückschreiben und die Seite öffnen?"},
    {164, u8"&Ja"},
    {165, u8"&Nein"},
    {166, u8"als %s"},
    {167, u8"Die Seite wurde als %s gelesen."},
    {168, u8"Export"},
    {169, u8"Import"},
    {170, u8"&Suchen..."},
    {171, u8"&Gehe zu Textblock..."},
    {172, u8"Suchen:"},
    {173, u8"%d von %d"},
    {174, u8"Kein Treffer"},
    {175, u8"Gehe zu Textblock"},
    {176, u8"Nummer des Textblocks (1 bis %d):"},
    {177,
     u8"Enter oder F3: nächster Treffer. Umschalt+F3: voriger Treffer. Esc: zurück zum "
     u8"Eingabefeld."},
    {178, u8"Schliessen"},
    {999, u8"" QUILLFEN_VERSION},
};

static_assert(std::is_sorted(std::begin(Table), std::end(Table),
                             [](const TEntry& a, const TEntry& b) { return a.Id < b.Id; }),
              "the string table must stay sorted by id");

}  // namespace

QString LoadStr(int id) {
    const auto it = std::lower_bound(std::begin(Table), std::end(Table), id,
                                     [](const TEntry& e, int key) { return e.Id < key; });
    if (it == std::end(Table) || it->Id != id) return QString();
    return QString::fromUtf8(it->Text);
}

}  // namespace quillfen
