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

TError CannotWriteError(const std::string& path, int cause) {
    return TError(Compose("Datei ", path, " kann nicht geschrieben werden"),
                  Compose("The file ", path, " cannot be written"), cause);
}

namespace {

// The kind's name in German and in English.
std::pair<const char*, const char*> KindName(TFileKind kind) {
    switch (kind) {
        case TFileKind::Folder:
            return {"Ordner", "folder"};
        case TFileKind::Fifo:
            return {"FIFO", "FIFO"};
        case TFileKind::CharacterDevice:
            return {"Zeichenger\xC3\xA4t", "character device"};
        case TFileKind::BlockDevice:
            return {"Blockger\xC3\xA4t", "block device"};
        case TFileKind::Socket:
            return {"Socket", "socket"};
        case TFileKind::Other:
            break;
    }
    return {"unbekannte Art", "unknown kind"};
}

}  // namespace

TError NotRegularFileError(const std::string& path, TFileKind kind) {
    const auto [name, english] = KindName(kind);
    std::string text = Compose("Datei ", path,
                               " kann nicht ge\xC3\xB6"
                               "ffnet werden (keine regul\xC3\xA4"
                               "re Datei: ");
    text.append(name).append(")");
    return TError(text, Compose("The file ", path, " cannot be opened (not a regular file: ") +
                            english + ")");
}

TError NotRegularTargetError(const std::string& path, TFileKind kind) {
    const auto [name, english] = KindName(kind);
    std::string text = Compose("Datei ", path,
                               " kann nicht erstellt werden (keine regul\xC3\xA4"
                               "re Datei: ");
    text.append(name).append(")");
    return TError(text, Compose("The file ", path, " cannot be created (not a regular file: ") +
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
    return TError(
        Compose("Der Text ist kein g\xC3\xBCltiges UTF-8 (Byte ", std::to_string(byte), ")"),
        Compose("the text is not valid UTF-8 (byte ", std::to_string(byte), ")"));
}

TError LoneBackslashError() {
    return TError("Der Text endet mit einem einzelnen Backslash",
                  "the text ends in a lone backslash");
}

TError BadHexEscapeError() {
    return TError("Falsche Escape-Folge \\x: zwei Hexadezimalziffern m\xC3\xBCssen folgen",
                  "bad escape \\x: two hex digits must follow");
}

TError NoSuchPhraseError(std::size_t n, std::size_t count) {
    return TError(Compose("Phrase ", std::to_string(n), " gibt es nicht (die Seite hat ") +
                      std::to_string(count) + ")",
                  Compose("phrase ", std::to_string(n), " does not exist (the page has ") +
                      std::to_string(count) + ")");
}

TError PhraseTextBreaksLineError(std::size_t n) {
    return TError(Compose("Der Text f\xC3\xBCr Phrase ", std::to_string(n),
                          " enth\xC3\xA4lt einen Zeilenumbruch oder ein Nullzeichen"),
                  Compose("the text for phrase ", std::to_string(n),
                          " holds a line break or a zero character"));
}

TError EmptyPhraseTextError(std::size_t n) {
    return TError(Compose("Der Text f\xC3\xBCr Phrase ", std::to_string(n), " ist leer"),
                  Compose("the text for phrase ", std::to_string(n), " is empty"));
}

TError ChangedWhileReadError() {
    return TError(
        "Ein anderes Programm hat die Seite ge\xC3\xA4ndert, w\xC3\xA4hrend sie gelesen "
        "wurde; nichts wurde geschrieben",
        "another program changed the page while it was read; nothing was written");
}

TError PlaceholderMissingError(const std::string& placeholder) {
    return TError(Compose("Platzhalter ", placeholder, " fehlt; nichts wurde geschrieben"),
                  Compose("The placeholder ", placeholder, " is missing; nothing was written"));
}

TError PlaceholderDoubledError(const std::string& placeholder) {
    return TError(
        Compose("Platzhalter ", placeholder,
                " steht mehr als einmal im Text; nichts wurde geschrieben"),
        Compose("The placeholder ", placeholder, " stands more than once; nothing was written"));
}

TError PlaceholderUnknownError(const std::string& placeholder) {
    return TError(Compose("Platzhalter ", placeholder,
                          " geh\xC3\xB6rt nicht zu diesem Satz; nichts wurde geschrieben"),
                  Compose("The placeholder ", placeholder,
                          " is not one of this sentence's; nothing was written"));
}

TError PlaceholderBrokenError(const std::string& placeholder) {
    return TError(Compose("Platzhalter ", placeholder,
                          " ist nicht richtig verschachtelt; nichts wurde geschrieben"),
                  Compose("The placeholder ", placeholder,
                          " does not close the pair opened last; nothing was written"));
}

namespace {

// "Einheit 7" or "Einheit 7 (Zeile 42)", and the same in English.
std::pair<std::string, std::string> UnitNames(const std::string& unit, std::size_t line) {
    if (unit.empty()) {
        if (line == 0) return {"Einheit ohne Nummer", "Unit without a number"};
        const std::string number = std::to_string(line);
        return {"Einheit ohne Nummer (Zeile " + number + ")",
                "Unit without a number (line " + number + ")"};
    }
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

TError DoubledUnitError(const std::string& unit, std::size_t line, std::size_t n) {
    const auto [german, english] = UnitNames(unit, line);
    const std::string number = std::to_string(n);
    return TError(german + ": Phrase " + number + " hat schon eine Einheit in dieser Datei",
                  english + ": phrase " + number + " has another unit in this file");
}

TError KindMismatchUnitError(const std::string& unit, std::size_t line, std::string_view named,
                             std::size_t n, char kind) {
    const auto [german, english] = UnitNames(unit, line);
    const std::string number = std::to_string(n);
    return TError(german + Compose(": sie nennt die Art ", named, ", Phrase ") + number +
                      " ist aber von der Art " + kind,
                  english + Compose(": it names the kind ", named, ", but phrase ") + number +
                      " is of kind " + kind);
}

TError SourceMismatchUnitError(const std::string& unit, std::size_t line, std::size_t n) {
    const auto [german, english] = UnitNames(unit, line);
    const std::string number = std::to_string(n);
    return TError(german + ": ihr Ausgangstext ist nicht der Text von Phrase " + number,
                  english + ": its source is not the text of phrase " + number);
}

TError TargetTooLongUnitError(const std::string& unit, std::size_t line, bool total) {
    const auto [german, english] = UnitNames(unit, line);
    if (total)
        return TError(german +
                          ": die \xC3\x9C"
                          "bersetzungen zusammen sind l\xC3\xA4nger als das 16-Fache der Seite "
                          "und 1 MiB",
                      english +
                          ": the translations together are longer than 16 times the page "
                          "and 1 MiB");
    return TError(german +
                      ": die \xC3\x9C"
                      "bersetzung ist l\xC3\xA4nger als das 16-Fache ihres Ausgangstexts und "
                      "1 MiB",
                  english + ": the translation is longer than 16 times its source and 1 MiB");
}

TError InlineMarkupUnitError(const std::string& unit, std::size_t line, std::string_view element,
                             std::size_t n, bool placeholders) {
    const auto [german, english] = UnitNames(unit, line);
    const std::string number = std::to_string(n);
    const std::string head = Compose(
        ": die \xC3\x9C"
        "bersetzung enth\xC3\xA4lt das Inline-Element ",
        element, "");
    const std::string englishHead =
        Compose(": the translation holds the inline element ", element, "");
    if (placeholders)
        return TError(german + head + ", das f\xC3\xBCr keinen Platzhalter steht",
                      english + englishHead + ", which stands for no placeholder");
    return TError(german + head + ", Phrase " + number + " hat aber keine Platzhalter",
                  english + englishHead + ", but phrase " + number + " has no placeholders");
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
        "Diese Ausgabe teilt Seiten nur in Textabschnitte, nicht in S\xC3\xA4tze (ohne ICU "
        "gebaut)",
        "This build cuts pages into text runs only, not sentences (it was built without ICU)");
}

TError SentenceTemplateError() {
    return TError(
        "Die Seite wird in S\xC3\xA4tzen nicht exportiert: eine Phrase in einem Satz liegt "
        "au\xC3\x9F"
        "erhalb seiner Inline-Tags, wo die Vorlage sie nicht tragen kann; exportieren Sie sie "
        "als Textabschnitte",
        "The page is not exported in sentences: a phrase inside a sentence lies outside its "
        "inline tags, where the template cannot carry it; export it as text runs");
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
        case TXliffFault::ExternalDtd:
            german += Compose("nennt eine externe DTD (", d, "), die nicht gelesen wird");
            english += Compose("names an external DTD (", d, "), which is not read");
            break;
    }
    return TError(german, english);
}

TError LanguageTagError(std::string_view text) {
    return TError(Compose("\"", text, "\" ist kein Sprachkennzeichen wie de oder en-US"),
                  Compose("\"", text, "\" is not a language tag such as de or en-US"));
}

TError NotMemoryError(const std::string& path) {
    return TError(
        Compose("Datei ", path,
                " ist kein \xC3\x9C"
                "bersetzungsspeicher von Quillfen und bleibt, wie sie ist"),
        Compose("The file ", path, " is not a Quillfen translation memory; it is left as it is"));
}

TError DamagedMemoryError(const std::string& path, std::string_view detail) {
    return TError(Compose("Der \xC3\x9C"
                          "bersetzungsspeicher ",
                          path, " ist besch\xC3\xA4\x64igt und bleibt, wie er ist (") +
                      std::string(detail) + ")",
                  Compose("The translation memory ", path, " is damaged; it is left as it is (") +
                      std::string(detail) + ")");
}

TError NewerMemoryError(const std::string& path, int version) {
    const std::string v = std::to_string(version);
    return TError(Compose("Der \xC3\x9C"
                          "bersetzungsspeicher ",
                          path, " stammt von einer neueren Version von Quillfen (Schema ") +
                      v + ") und bleibt, wie er ist",
                  Compose("The translation memory ", path,
                          " was written by a newer version of Quillfen (schema ") +
                      v + "); it is left as it is");
}

TError MemoryFailedError(const std::string& path, std::string_view detail, int cause) {
    return TError(Compose("\xC3\x9C"
                          "bersetzungsspeicher ",
                          path, ": ") +
                      std::string(detail),
                  Compose("Translation memory ", path, ": ") + std::string(detail), cause);
}

TError SourceRecordError(TRecordFault fault, const std::string& path, std::string_view detail,
                         int cause) {
    const std::string d(detail);
    switch (fault) {
        case TRecordFault::NotRecord:
            return TError(Compose("Datei ", path,
                                  " ist kein Quelltextverzeichnis von Quillfen und bleibt, wie sie "
                                  "ist"),
                          Compose("The file ", path,
                                  " is not a Quillfen record of sources; it is left as it is"));
        case TRecordFault::Damaged:
            return TError(
                Compose("Das Quelltextverzeichnis ", path,
                        " ist besch\xC3\xA4\x64igt und bleibt, wie es ist (") +
                    d + ")",
                Compose("The record of sources ", path, " is damaged; it is left as it is (") + d +
                    ")");
        case TRecordFault::Newer:
            return TError(Compose("Das Quelltextverzeichnis ", path,
                                  " stammt von einer neueren Version von Quillfen (Schema ") +
                              d + ") und bleibt, wie es ist",
                          Compose("The record of sources ", path,
                                  " was written by a newer version of Quillfen (schema ") +
                              d + "); it is left as it is");
        case TRecordFault::Busy:
            return TError(Compose("Das Quelltextverzeichnis ", path,
                                  " wird gerade von einem anderen Programm geschrieben; es wurde "
                                  "nichts gespeichert"),
                          Compose("Another program is writing the record of sources ", path,
                                  "; nothing was stored"));
        case TRecordFault::Failed:
            break;
    }
    return TError(Compose("Quelltextverzeichnis ", path, ": ") + d,
                  Compose("Record of sources ", path, ": ") + d, cause);
}

TError MemoryBusyError(const std::string& path) {
    return TError(Compose("Der \xC3\x9C"
                          "bersetzungsspeicher ",
                          path,
                          " wird gerade von einem anderen Programm geschrieben; es wurde nichts "
                          "gespeichert"),
                  Compose("Another program is writing the translation memory ", path,
                          "; nothing was stored"));
}

TError UnknownLanguageError(bool target) {
    if (target)
        return TError(
            "Die Zielsprache ist nicht bekannt: sie muss angegeben werden, damit keine "
            "\xC3\x9C"
            "bersetzung unter einem geratenen Sprachpaar gespeichert wird",
            "The target language is not known: it must be given, so that no translation is "
            "stored under a guessed language pair");
    return TError(
        "Die Ausgangssprache ist nicht bekannt: die Seite nennt keine (lang), und keine wurde "
        "angegeben",
        "The source language is not known: the page names none (lang), and none was given");
}

TError TmxError(const std::string& path, std::size_t line, TTmxFault fault,
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
        case TTmxFault::NotXml:
            german += Compose("kein g\xC3\xBCltiges XML (", d, ")");
            english += Compose("not well-formed XML (", d, ")");
            break;
        case TTmxFault::NotTmx:
            german += Compose("keine TMX-Datei (Wurzelelement ", d, ")");
            english += Compose("not a TMX file (root element ", d, ")");
            break;
        case TTmxFault::Declarations:
            german += "deklariert Entit\xC3\xA4ten oder eine DTD, die nicht gelesen werden";
            english += "declares entities or a DTD, which are not read";
            break;
        case TTmxFault::UnknownEntity:
            german += Compose("unbekannte Entit\xC3\xA4t &", d, ";");
            english += Compose("unknown entity &", d, ";");
            break;
        case TTmxFault::MissingLanguage:
            german += Compose("die Einheit hat nicht beide Sprachen (", d, ")");
            english += Compose("the unit does not have both languages (", d, ")");
            break;
        case TTmxFault::BadLanguage:
            german += Compose("\"", d, "\" ist kein Sprachkennzeichen");
            english += Compose("\"", d, "\" is not a language tag");
            break;
        case TTmxFault::UnpairedCode:
            german += Compose("<", d, "> ohne sein Gegenst\xC3\xBC\x63k");
            english += Compose("<", d, "> without its partner");
            break;
        case TTmxFault::TooLong:
            german += "ein Segment ist zu lang f\xC3\xBCr eine Phrase";
            english += "a segment is too long for a phrase";
            break;
    }
    return TError(german, english);
}

TError PagesPartError(const std::string& source, std::size_t sourceLine, std::size_t sourceOffset,
                      const std::string& translated, std::size_t translatedLine,
                      std::size_t translatedOffset) {
    auto place = [](std::size_t line, std::size_t offset, const char* byte) {
        return std::to_string(line) + " (" + byte + " " + std::to_string(offset) + ")";
    };
    return TError(Compose("Die Seiten ", source, " und ") + translated +
                      " unterscheiden sich au\xC3\x9F"
                      "erhalb der Phrasen: Zeile " +
                      place(sourceLine, sourceOffset, "Byte") + " und Zeile " +
                      place(translatedLine, translatedOffset, "Byte"),
                  Compose("The pages ", source, " and ") + translated +
                      " differ outside their phrases: line " +
                      place(sourceLine, sourceOffset, "byte") + " and line " +
                      place(translatedLine, translatedOffset, "byte"));
}

TError SaveBusyError(const std::string& path) {
    return TError(Compose("Datei ", path,
                          " wird gerade von einem anderen Speichervorgang geschrieben; es wurde "
                          "nichts geschrieben (another save of this page is running; nothing "
                          "was written)"),
                  Compose("Another save of the file ", path, " is running; nothing was written"));
}

TError ReadBusyError(const std::string& path) {
    return TError(Compose("Datei ", path,
                          " wird gerade von einem anderen Speichervorgang geschrieben und wurde "
                          "nicht gelesen (another save of this page is running; the page was not "
                          "read)"),
                  Compose("Another save of the file ", path, " is running; the page was not read"));
}

namespace {

std::string InterruptedSaveText(const std::string& page, const std::string& backup,
                                TInterruption what) {
    // What the user may do with a copy that is not put back.
    const std::string release = "; vergleichen Sie beide und l\xC3\xB6schen Sie " + backup +
                                ", wenn sie nicht mehr gebraucht wird: dann kann die Datei wieder "
                                "gelesen und gespeichert werden (";
    const std::string english = "Nothing was restored; compare the page with " + backup +
                                " and delete that copy once it is no longer needed, which lets "
                                "the page be read and saved again)";
    switch (what) {
        case TInterruption::Torn:
            break;
        case TInterruption::WrittenSince:
            return Compose("Datei ", page,
                           " wurde beim Speichern unterbrochen und seither von einem anderen "
                           "Programm ge\xC3\xA4ndert; es wurde nichts wiederhergestellt, die "
                           "alte Fassung liegt in ") +
                   backup + release +
                   "a save of the page was interrupted, and the page is now neither the old "
                   "page, nor the new one, nor a mix of the two: another program wrote it since. " +
                   english;
        case TInterruption::Unproven:
            return Compose("Datei ", page,
                           " wurde beim Speichern unterbrochen, aber es l\xC3\xA4sst sich nicht "
                           "zeigen, dass sie die dabei zerst\xC3\xB6rte Datei ist; es wurde "
                           "nichts wiederhergestellt, die alte Fassung liegt in ") +
                   backup + release +
                   "a save of the page was interrupted, but the page cannot be shown to be the "
                   "one it left torn: another file may stand in its place, or the save's record "
                   "comes from an earlier version. " +
                   english;
    }
    return Compose("Datei ", page,
                   " wurde beim Speichern unterbrochen und ist unvollst\xC3\xA4ndig; die "
                   "alte Fassung liegt in ") +
           backup +
           " (a save of the page was interrupted while it overwrote the page; its old "
           "bytes are in " +
           backup + "; quillfen-cli recover puts them back)";
}

std::string EnglishInterruptedSaveText(const std::string& page, const std::string& backup,
                                       TInterruption what) {
    const std::string release = ". Nothing was restored; the old bytes are in " + backup +
                                ": compare them with the page and delete that copy once it is no "
                                "longer needed, which lets the page be read and saved again";
    switch (what) {
        case TInterruption::Torn:
            break;
        case TInterruption::WrittenSince:
            return Compose("A save of the file ", page,
                           " was interrupted, and another program wrote the page since: it is "
                           "neither the old page, nor the new one, nor a mix of the two") +
                   release;
        case TInterruption::Unproven:
            return Compose("A save of the file ", page,
                           " was interrupted, but the page cannot be shown to be the one it left "
                           "torn: another file may stand in its place, or the save's record comes "
                           "from an earlier version") +
                   release;
    }
    return Compose("A save of the file ", page,
                   " was interrupted while it overwrote the page, which is incomplete; its "
                   "old bytes are in ") +
           backup + "; quillfen-cli recover puts them back";
}

}  // namespace

TInterruptedSaveError::TInterruptedSaveError(const std::string& page, const std::string& backup,
                                             TInterruption what)
    : TError(InterruptedSaveText(page, backup, what),
             EnglishInterruptedSaveText(page, backup, what)),
      Page(page),
      Backup(backup),
      What(what),
      Foreign(what != TInterruption::Torn) {}

TError NothingToRecoverError(const std::string& path) {
    return TError(Compose("Datei ", path,
                          " hat kein unterbrochenes Speichern, das wiederherzustellen w\xC3\xA4re "
                          "(no interrupted save of this page was found)"),
                  Compose("No interrupted save of the file ", path, " was found"));
}

TError UnknownCheckError(const std::string& id) {
    return TError(Compose("Unbekannte Pr\xC3\xBC"
                          "fung ",
                          id, ""),
                  Compose("Unknown check ", id, ""));
}

TError PagesPartError(std::size_t phrase, std::size_t count) {
    const std::string n = std::to_string(phrase);
    if (phrase > count)
        return TError(
            "Die \xC3\xBC"
            "bersetzte Seite weicht au\xC3\x9F"
            "erhalb der Phrasen von "
            "ihrer Quelle ab, nach der letzten Phrase",
            "The translated page differs from its source outside the phrases, after "
            "the last phrase");
    return TError(Compose("Die \xC3\xBC"
                          "bersetzte Seite weicht au\xC3\x9F"
                          "erhalb der Phrasen "
                          "von ihrer Quelle ab, vor Phrase ",
                          n, ""),
                  Compose("The translated page differs from its source outside the phrases, "
                          "before phrase ",
                          n, ""));
}

TError PhraseCountsDifferError(std::size_t source, std::size_t translated) {
    return TError(
        Compose("Die \xC3\xBC"
                "bersetzte Seite hat ",
                std::to_string(translated), " Phrasen, ihre Quelle ") +
            std::to_string(source),
        Compose("The translated page has ", std::to_string(translated), " phrases, its source ") +
            std::to_string(source));
}

TError BadEscapeError(std::string_view escape) {
    return TError(Compose("Falsche Escape-Folge \\", escape, ""),
                  Compose("bad escape \\", escape, ""));
}

TError ProjectFileError(const std::string& path, std::size_t line, std::string_view german,
                        std::string_view english) {
    const std::string at = line ? ", Zeile " + std::to_string(line) : std::string();
    const std::string atEnglish = line ? ", line " + std::to_string(line) : std::string();
    return TError(Compose("Projektdatei ", path, at + ": ") + std::string(german),
                  Compose("Project file ", path, atEnglish + ": ") + std::string(english));
}

TError NewerProjectError(const std::string& path, int version) {
    const std::string v = std::to_string(version);
    return TError(Compose("Die Projektdatei ", path,
                          " stammt von einer neueren Version von Quillfen (Version ") +
                      v + "); es wurde nichts geschrieben",
                  Compose("The project file ", path,
                          " was written by a newer version of Quillfen (version ") +
                      v + "); nothing was written");
}

TError ProjectStateError(TRecordFault fault, const std::string& path, std::string_view detail,
                         int cause) {
    const std::string d(detail);
    switch (fault) {
        case TRecordFault::NotRecord:
            return TError(Compose("Datei ", path,
                                  " ist kein Projektzustand von Quillfen und bleibt, wie sie ist"),
                          Compose("The file ", path,
                                  " is not the state of a Quillfen project; it is left as it is"));
        case TRecordFault::Damaged:
            return TError(
                Compose("Der Projektzustand ", path,
                        " ist besch\xC3\xA4\x64igt und bleibt, wie er ist (") +
                    d + ")",
                Compose("The project state ", path, " is damaged; it is left as it is (") + d +
                    ")");
        case TRecordFault::Newer:
            return TError(Compose("Der Projektzustand ", path,
                                  " stammt von einer neueren Version von Quillfen (Schema ") +
                              d + ") und bleibt, wie er ist",
                          Compose("The project state ", path,
                                  " was written by a newer version of Quillfen (schema ") +
                              d + "); it is left as it is");
        case TRecordFault::Busy:
            return TError(Compose("Der Projektzustand ", path,
                                  " wird gerade von einem anderen Programm geschrieben; es wurde "
                                  "nichts gespeichert"),
                          Compose("Another program is writing the project state ", path,
                                  "; nothing was stored"));
        case TRecordFault::Failed:
            break;
    }
    return TError(Compose("Projektzustand ", path, ": ") + d,
                  Compose("Project state ", path, ": ") + d, cause);
}

TError ProjectFolderMissingError(const std::string& folder, bool target) {
    return TError(Compose(target ? "Der Zielordner " : "Der Quellordner ", folder,
                          " existiert nicht; es wurde nichts geschrieben"),
                  Compose(target ? "The target folder " : "The source folder ", folder,
                          " does not exist; nothing was written"));
}

TError ProjectFoldersSameError(const std::string& folder) {
    return TError(Compose("Quell- und Zielordner sind derselbe Ordner (", folder,
                          "); es wurde nichts geschrieben"),
                  Compose("The source and target folder are the same folder (", folder,
                          "); nothing was written"));
}

TError ProjectFolderInsideError(const std::string& inner, const std::string& outer) {
    return TError(Compose("Ordner ", inner, " liegt in Ordner ") + outer +
                      "; Quell- und Zielordner d\xC3\xBCrfen nicht ineinander liegen",
                  Compose("The folder ", inner, " lies inside the folder ") + outer +
                      "; the source and target folder must not lie one inside the other");
}

TError GlobTakesNothingError(const std::string& glob) {
    return TError(
        Compose("Das Muster ", glob,
                " erfasst keine Datei im Quellordner; es wurde nichts geschrieben"),
        Compose("The pattern ", glob, " takes no file of the source folder; nothing was written"));
}

TError ProjectExistsError(const std::string& path) {
    return TError(Compose("Die Projektdatei ", path, " existiert schon; sie bleibt, wie sie ist"),
                  Compose("The project file ", path, " exists already; it is left as it is"));
}

}  // namespace quillfen
