#include "core/errors.h"

#include <cstdio>
#include <utility>

namespace quillfen {

namespace {

std::string Compose(std::string_view head, std::string_view middle, std::string_view tail) {
    std::string s;
    s.reserve(head.size() + middle.size() + tail.size());
    s.append(head).append(middle).append(tail);
    return s;
}

}  // namespace

TError CannotOpenError(const std::string& path) { return CannotOpenError(path, 0); }

TError CannotCreateError(const std::string& path) { return CannotCreateError(path, 0); }

TError CannotOpenError(const std::string& path, int cause) {
    return TError(Compose("Datei ", path,
                          " kann nicht ge\xC3\xB6"
                          "ffnet werden"),
                  Compose("The file ", path, " cannot be opened"), cause);
}

TError CannotCreateError(const std::string& path, int cause) {
    return TError(Compose("Datei ", path, " kann nicht erstellt werden"),
                  Compose("The file ", path, " cannot be created"), cause);
}

TError NotRegularFileError(const std::string& path, TFileKind kind) {
    const char* name = "unbekannte Art";
    const char* english = "unknown kind";
    switch (kind) {
        case TFileKind::Folder:
            name = "Ordner";
            english = "folder";
            break;
        case TFileKind::Fifo:
            name = english = "FIFO";
            break;
        case TFileKind::CharacterDevice:
            name = "Zeichenger\xC3\xA4t";
            english = "character device";
            break;
        case TFileKind::BlockDevice:
            name = "Blockger\xC3\xA4t";
            english = "block device";
            break;
        case TFileKind::Socket:
            name = "Socket";
            english = "socket";
            break;
        case TFileKind::Other:
            break;
    }
    std::string text = Compose("Datei ", path,
                               " kann nicht ge\xC3\xB6"
                               "ffnet werden (keine regul\xC3\xA4"
                               "re Datei: ");
    text.append(name).append(")");
    return TError(text, Compose("The file ", path, " cannot be opened (not a regular file: ") +
                            english + ")");
}

TError FileTooLargeError(const std::string& path) {
    return TError(Compose("Datei ", path,
                          " kann nicht ge\xC3\xB6"
                          "ffnet werden (gr\xC3\xB6\xC3\x9F"
                          "er als 1 GiB)"),
                  Compose("The file ", path, " cannot be opened (larger than 1 GiB)"));
}

TError ListIndexError(unsigned long long index) {
    return TError(Compose("Der Index der Liste \xC3\xBC"
                          "berschreitet das Maximum (",
                          std::to_string(index), ")"),
                  Compose("The list index exceeds the maximum (", std::to_string(index), ")"));
}

namespace {

std::string FileNamed(const std::string& path) {
    return path.empty() ? std::string("Die Datei") : Compose("Datei ", path, "");
}

std::string EnglishFileNamed(const std::string& path) {
    return path.empty() ? std::string("The file") : Compose("The file ", path, "");
}

}  // namespace

TError UnsupportedEncodingError(const std::string& path, const std::string& encoding) {
    return TError(FileNamed(path) + " ist in der Kodierung " + encoding +
                      " geschrieben, die nicht unterst\xC3\xBCtzt wird, und wird nicht ge\xC3\xB6"
                      "ffnet (The file is encoded in " +
                      encoding +
                      ", which is not supported; it is not opened, so that saving cannot "
                      "destroy it.)",
                  EnglishFileNamed(path) + " is encoded in " + encoding +
                      ", which is not supported; it is not opened, so that saving cannot "
                      "destroy it.");
}

TError UnknownEncodingError(const std::string& path, const std::string& encoding) {
    return TError(FileNamed(path) + " deklariert die unbekannte Kodierung " + encoding +
                      " und wird nicht ge\xC3\xB6"
                      "ffnet (The file declares the encoding " +
                      encoding +
                      ", which is not known; it is not opened, so that saving cannot destroy it.)",
                  EnglishFileNamed(path) + " declares the encoding " + encoding +
                      ", which is not known; it is not opened, so that saving cannot destroy "
                      "it.");
}

TError ZeroByteError(const std::string& path) {
    return TError(Compose("Datei ", path,
                          " enth\xC3\xA4lt ein Nullzeichen und wird nicht ge\xC3\xB6"
                          "ffnet "
                          "(The file contains a zero byte, as UTF-16 pages do; it is not opened, "
                          "so that saving cannot destroy it.)"),
                  Compose("The file ", path,
                          " contains a zero byte, as UTF-16 pages do; it is not opened, so that "
                          "saving cannot destroy it."));
}

TError TooLargeError(const std::string& path) {
    return TError(Compose("Datei ", path,
                          " ist zu gro\xC3\x9F und wird nicht ge\xC3\xB6"
                          "ffnet (The file is too "
                          "large to be opened.)"),
                  Compose("The file ", path, " is too large to be opened."));
}

TError MarkerTextError(const std::string& path, const std::string& found) {
    return TError(FileNamed(path) + " enth\xC3\xA4lt den Platzhaltertext " + found +
                      " und wird nicht exportiert (The page itself holds the text " + found +
                      ", which recombination would take for a phrase marker; nothing was "
                      "exported.)",
                  EnglishFileNamed(path) + " holds the text " + found +
                      ", which recombination would take for a phrase marker; nothing was "
                      "exported.");
}

TError SettingsNotSavedError(const std::string& location) {
    return TError(
        Compose("Die Einstellungen k\xC3\xB6nnen nicht in ", location, " gespeichert werden"),
        Compose("The settings cannot be saved in ", location, ""));
}

TError FolderNotFoundError(const std::string& folderName) {
    return TError(Compose("Der Ordner \"", folderName, "\" wurde nicht gefunden"),
                  Compose("The folder \"", folderName, "\" was not found"));
}

TError CannotCreateFolderError(const std::string& path) {
    return TError(Compose("Ordner ", path, " kann nicht erstellt werden"),
                  Compose("The folder ", path, " cannot be created"));
}

TError LinkInRootError(const std::string& path) {
    return TError(Compose("Verkn\xC3\xBCpfung ", path, " wird nicht im Wurzelverzeichnis angelegt"),
                  Compose("The shortcut ", path, " is not created in the root folder"));
}

TError ShellLinkUnavailableError(std::string_view interfaceName, unsigned long result) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", result);
    return TError(Compose("Das Verkn\xC3\xBCpfungsobjekt der Shell ist nicht verf\xC3\xBCgbar (",
                          interfaceName, ", ") +
                      code + ")",
                  Compose("The shell's shortcut object is not available (", interfaceName, ", ") +
                      code + ")");
}

TError InvalidUtf8Error(std::size_t byte) {
    return TError(Compose("the text is not valid UTF-8 (byte ", std::to_string(byte), ")"));
}

TError LoneBackslashError() { return TError("the text ends in a lone backslash"); }

TError BadHexEscapeError() { return TError("bad escape \\x: two hex digits must follow"); }

TError NoSuchPhraseError(std::size_t n, std::size_t count) {
    return TError(Compose("phrase ", std::to_string(n), " does not exist (the page has ") +
                  std::to_string(count) + ")");
}

TError PhraseTextBreaksLineError(std::size_t n) {
    return TError(Compose("the text for phrase ", std::to_string(n),
                          " holds a line break or a zero character"));
}

TError EmptyPhraseTextError(std::size_t n) {
    return TError(Compose("the text for phrase ", std::to_string(n), " is empty"));
}

TError ChangedWhileReadError() {
    return TError("another program changed the page while it was read; nothing was written");
}

TError PlaceholderMissingError(const std::string& placeholder) {
    return TError(Compose("Platzhalter ", placeholder, " fehlt (the placeholder ") + placeholder +
                  " is missing; nothing was written)");
}

TError PlaceholderDoubledError(const std::string& placeholder) {
    return TError(
        Compose("Platzhalter ", placeholder, " steht mehr als einmal im Text (the placeholder ") +
        placeholder + " stands more than once; nothing was written)");
}

TError PlaceholderUnknownError(const std::string& placeholder) {
    return TError(Compose("Platzhalter ", placeholder,
                          " geh\xC3\xB6rt nicht zu diesem Satz (the placeholder ") +
                  placeholder + " is not one of this sentence's; nothing was written)");
}

TError PlaceholderBrokenError(const std::string& placeholder) {
    return TError(
        Compose("Platzhalter ", placeholder, " ist nicht richtig verschachtelt (the placeholder ") +
        placeholder + " does not close the pair opened last; nothing was written)");
}

namespace {

// "Einheit 7" or "Einheit 7 (Zeile 42)", and the same in English.
std::pair<std::string, std::string> UnitNames(const std::string& unit, std::size_t line) {
    if (line == 0) return {"Einheit " + unit, "Unit " + unit};
    const std::string number = std::to_string(line);
    return {Compose("Einheit ", unit, " (Zeile ") + number + ")",
            Compose("Unit ", unit, " (line ") + number + ")"};
}

}  // namespace

TError MergeUnitError(const std::string& unit, std::size_t line, const TError& cause) {
    const auto [german, english] = UnitNames(unit, line);
    return TError(german + ": " + cause.what(), english + ": " + cause.English(), cause.Cause);
}

TError UnknownUnitError(const std::string& unit, std::size_t line) {
    const auto [german, english] = UnitNames(unit, line);
    return TError(german + ": keine Phrase dieser Seite tr\xC3\xA4gt diese Nummer",
                  english + ": no phrase of this page has that number");
}

TError SourceChangedUnitError(const std::string& unit, std::size_t line) {
    const auto [german, english] = UnitNames(unit, line);
    return TError(german + ": die Phrase dieser Nummer liest sich nicht mehr wie ihr Ausgangstext",
                  english + ": the phrase of that number no longer reads as its source");
}

TError TranslationOfOtherPageError() {
    return TError(
        "Die \xC3\x9C"
        "bersetzung geh\xC3\xB6rt zu einer anderen Seite, oder die Seite wurde seit "
        "dem Export ge\xC3\xA4ndert; nichts wurde geschrieben",
        "The translation belongs to another page, or the page has changed since it was "
        "exported; nothing was written");
}

TError NoTranslationFormatError(const std::string& path) {
    return TError(Compose("", path,
                          " ist keine \xC3\x9C"
                          "bersetzungsdatei, die Quillfen einf\xC3\xBCgen kann"),
                  Compose("", path, " is no translation file that Quillfen can merge"));
}

TError SentencesUnavailableError() {
    return TError(
        "Diese Ausgabe teilt Seiten nicht in S\xC3\xA4tze (this build cuts pages into text "
        "runs only: it was built without ICU)");
}

TError SentenceTemplateError() {
    return TError(
        "Die Seite wird in S\xC3\xA4tzen nicht exportiert (a phrase inside a sentence lies "
        "outside its inline tags, where the template cannot carry it; export it as text runs)");
}

TError PoFileError(const std::string& path, std::size_t line, TPoFault fault,
                   std::string_view detail) {
    std::string german, english;
    switch (fault) {
        case TPoFault::UnterminatedString:
            german =
                "Zeichenkette ohne schlie\xC3\x9F"
                "endes Anf\xC3\xBChrungszeichen";
            english = "a string without its closing quote";
            break;
        case TPoFault::BadEscape:
            german = Compose("unbekannte Escape-Sequenz ", detail, "");
            english = Compose("unknown escape sequence ", detail, "");
            break;
        case TPoFault::UnexpectedText:
            german = Compose("unerwarteter Text ", detail, "");
            english = Compose("unexpected text ", detail, "");
            break;
        case TPoFault::MisplacedKeyword:
            german = Compose("", detail, " steht an falscher Stelle");
            english = Compose("", detail, " is out of place");
            break;
        case TPoFault::MissingMessage:
            german = "Eintrag ohne msgid oder msgstr";
            english = "an entry without msgid or msgstr";
            break;
        case TPoFault::InvalidUtf8:
            german = "kein g\xC3\xBCltiges UTF-8";
            english = "not valid UTF-8";
            break;
        case TPoFault::UnsupportedCharset:
            german =
                Compose("der Zeichensatz ", detail, " wird nicht unterst\xC3\xBCtzt, nur UTF-8");
            english = Compose("the charset ", detail, " is not supported, only UTF-8");
            break;
    }
    const std::string where = std::to_string(line);
    return TError(Compose("Datei ", path, ", Zeile ") + where + ": " + german,
                  Compose("The file ", path, ", line ") + where + ": " + english);
}

namespace {

// "Datei %s, Zeile %d: " in either language, an empty path named as what the file is.
std::pair<std::string, std::string> FileLine(const std::string& path, std::size_t line,
                                             const char* german, const char* english) {
    const std::string at = std::to_string(line);
    if (path.empty())
        return {Compose(german, ", Zeile ", at) + ": ", Compose(english, ", line ", at) + ": "};
    return {Compose("Datei ", path, ", Zeile ") + at + ": ",
            Compose("The file ", path, ", line ") + at + ": "};
}

}  // namespace

TError TextFileError(const std::string& path, std::size_t line, TTextFileFault fault,
                     std::string_view detail) {
    auto [german, english] = FileLine(path, line, "Die Textdatei", "The text file");
    const std::string own = Compose("<", std::to_string(line), ">");
    switch (fault) {
        case TTextFileFault::Form:
            german += Compose("die Zeile hat nicht die Form ", own, "Text</>");
            english += Compose("the line does not read ", own, "text</>");
            break;
        case TTextFileFault::Number:
            german += Compose("die Zeile ist mit ", detail, " statt ") + own + " nummeriert";
            english += Compose("the line is numbered ", detail, " instead of ") + own;
            break;
        case TTextFileFault::ZeroByte:
            german += "die Zeile enth\xC3\xA4lt ein Nullzeichen";
            english += "the line holds a zero character";
            break;
        case TTextFileFault::NoMarker:
            german += Compose("die Vorlage hat keine Marke ", detail, " f\xC3\xBCr diese Zeile");
            english += Compose("the template has no marker ", detail, " for this line");
            break;
    }
    return TError(german, english);
}

TError TextFileError(const std::string& path, std::size_t line, const TError& fault) {
    auto [german, english] = FileLine(path, line, "Die Textdatei", "The text file");
    return TError(german + fault.what(), english + fault.English());
}

TError TemplateError(const std::string& path, std::size_t line, TTemplateFault fault,
                     std::size_t marker, std::string_view detail) {
    auto [german, english] = FileLine(path, line, "Die Vorlage", "The template");
    const std::string own = Compose("%_", std::to_string(marker), "_%");
    switch (fault) {
        case TTemplateFault::NoLine: {
            const std::string tag = Compose("<", std::to_string(marker + 1), ">");
            german +=
                Compose("die Textdatei hat keine Zeile ", tag, " f\xC3\xBCr die Marke ") + own;
            english += Compose("the text file has no line ", tag, " for the marker ") + own;
            break;
        }
        case TTemplateFault::OutOfOrder:
            german += Compose("die Marke ", detail, " steht, wo ") + own + " hingeh\xC3\xB6rt";
            english += Compose("the marker ", detail, " stands where ") + own + " belongs";
            break;
        case TTemplateFault::Repeated:
            german += Compose("die Marke ", own, " steht ein zweites Mal");
            english += Compose("the marker ", own, " stands a second time");
            break;
        case TTemplateFault::Damaged:
            german += Compose("die Marke ", own,
                              " ist besch\xC3\xA4"
                              "digt");
            english += Compose("the marker ", own, " is damaged");
            break;
        case TTemplateFault::TableDamaged:
            german += Compose("die Tabelle der Platzhalter hinter der Marke ", own,
                              " ist besch\xC3\xA4"
                              "digt");
            english += Compose("the table of placeholders behind the marker ", own, " is damaged");
            break;
    }
    return TError(german, english);
}

TError CdataTextError(std::size_t n, TCdataFault fault, std::string_view detail) {
    std::string german = "Der Text", english = "The text";
    if (n != 0) {
        german += Compose(" f\xC3\xBCr Phrase ", std::to_string(n), "");
        english += Compose(" for phrase ", std::to_string(n), "");
    }
    german += " steht in einem CDATA-Abschnitt, ";
    english += " stands in a CDATA section, ";
    switch (fault) {
        case TCdataFault::End:
            german += "der \"]]>\" nicht enthalten kann";
            english += "which cannot hold \"]]>\"";
            break;
        case TCdataFault::Character:
            german += Compose("wo kein Verweis gelesen wird, und der Kodierung der Seite fehlt ",
                              detail, "");
            english +=
                Compose("where no reference is read, and the page's encoding lacks ", detail, "");
            break;
        case TCdataFault::ReadsAsUtf8:
            german +=
                "wo seine Zeichen als Bytes die Seite als UTF-8 lesen lie\xC3\x9F"
                "en";
            english += "where its characters, as bytes, would make the page read as UTF-8";
            break;
        case TCdataFault::Declaration:
            german +=
                "wo seine spitzen Klammern der Seite eine andere Kodierung geben w\xC3\xBCrden";
            english += "where its angle brackets would declare another encoding for the page";
            break;
    }
    english += "; nothing was written";
    return TError(german + " (" + english + ")", english);
}

TError StandardOutputError(int cause) {
    return TError("Die Standardausgabe kann nicht geschrieben werden",
                  "The standard output cannot be written", cause);
}

TError XliffError(const std::string& path, std::size_t line, TXliffFault fault,
                  std::string_view detail) {
    std::string german = FileNamed(path), english = EnglishFileNamed(path);
    if (line != 0) {
        german += Compose(", Zeile ", std::to_string(line), "");
        english += Compose(", line ", std::to_string(line), "");
    }
    german += ": ";
    english += ": ";
    const std::string d(detail);
    switch (fault) {
        case TXliffFault::NotXml:
            german += Compose("kein g\xC3\xBCltiges XML (", d, ")");
            english += Compose("not well-formed XML (", d, ")");
            break;
        case TXliffFault::NotXliff:
            german += Compose("keine XLIFF-Datei (Wurzelelement ", d, ")");
            english += Compose("not an XLIFF file (root element ", d, ")");
            break;
        case TXliffFault::EntityDeclared:
            german += "deklariert Entit\xC3\xA4ten, die nicht gelesen werden";
            english += "declares entities, which are not read";
            break;
        case TXliffFault::UnknownEntity:
            german += Compose("unbekannte Entit\xC3\xA4t &", d, ";");
            english += Compose("unknown entity &", d, ";");
            break;
        case TXliffFault::UnitWithoutId:
            german += "trans-unit ohne id";
            english += "a trans-unit without an id";
            break;
        case TXliffFault::UnitWithoutSource:
            german += Compose("trans-unit ", d, " ohne source");
            english += Compose("trans-unit ", d, " has no source");
            break;
        case TXliffFault::UnknownInline: {
            const std::size_t colon = d.find(": ");
            const std::string unit = d.substr(0, colon);
            const std::string element = colon == std::string::npos ? d : d.substr(colon + 2);
            german +=
                Compose("trans-unit ", unit, ": das Element <") + element + "> wird nicht gelesen";
            english += Compose("trans-unit ", unit, ": the inline element <") + element +
                       "> is not one this program reads";
            break;
        }
    }
    return TError(german, english);
}

TError LanguageTagError(std::string_view text) {
    return TError(Compose("\"", text, "\" ist kein Sprachkennzeichen wie de oder en-US"),
                  Compose("\"", text, "\" is not a language tag such as de or en-US"));
}

TError SaveBusyError(const std::string& path) {
    return TError(Compose("Datei ", path,
                          " wird gerade von einem anderen Speichervorgang geschrieben; es wurde "
                          "nichts geschrieben (another save of this page is running; nothing "
                          "was written)"),
                  Compose("Another save of the file ", path, " is running; nothing was written"));
}

namespace {

std::string InterruptedSaveText(const std::string& page, const std::string& backup, bool foreign) {
    if (!foreign)
        return Compose("Datei ", page,
                       " wurde beim Speichern unterbrochen und ist unvollst\xC3\xA4ndig; die "
                       "alte Fassung liegt in ") +
               backup +
               " (a save of the page was interrupted while it overwrote the page; its old "
               "bytes are in " +
               backup + "; quillfen-cli recover puts them back)";
    return Compose("Datei ", page,
                   " wurde beim Speichern unterbrochen und seither von einem anderen Programm "
                   "ge\xC3\xA4ndert; die alte Fassung liegt in ") +
           backup +
           " (a save of the page was interrupted, and the page is now neither the old page, nor "
           "the new one, nor a mix of the two: another program wrote it since. Nothing was "
           "restored; compare " +
           page + " with " + backup + "; quillfen-cli recover puts the old bytes back)";
}

std::string EnglishInterruptedSaveText(const std::string& page, const std::string& backup,
                                       bool foreign) {
    if (!foreign)
        return Compose("A save of the file ", page,
                       " was interrupted while it overwrote the page, which is incomplete; its "
                       "old bytes are in ") +
               backup + "; quillfen-cli recover puts them back";
    return Compose("A save of the file ", page,
                   " was interrupted, and another program wrote the page since: it is neither "
                   "the old page, nor the new one, nor a mix of the two. Nothing was restored; "
                   "compare it with ") +
           backup + "; quillfen-cli recover puts the old bytes back";
}

}  // namespace

TInterruptedSaveError::TInterruptedSaveError(const std::string& page, const std::string& backup,
                                             bool foreign)
    : TError(InterruptedSaveText(page, backup, foreign),
             EnglishInterruptedSaveText(page, backup, foreign)),
      Page(page),
      Backup(backup),
      Foreign(foreign) {}

TError NothingToRecoverError(const std::string& path) {
    return TError(Compose("Datei ", path,
                          " hat kein unterbrochenes Speichern, das wiederherzustellen w\xC3\xA4re "
                          "(no interrupted save of this page was found)"),
                  Compose("No interrupted save of the file ", path, " was found"));
}

TError BadEscapeError(std::string_view escape) {
    return TError(Compose("bad escape \\", escape, ""));
}

}  // namespace quillfen
