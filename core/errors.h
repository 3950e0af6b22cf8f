#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace quillfen {

// Every failure of a command is raised as this error; the window shows its text in one error box.
// Each text is composed here, by the functions below, twice: what() in German, as the German
// interface always showed it, and English() for every other interface and for quillfen-cli.
class TError : public std::runtime_error {
  public:
    // A text that is the same in every language.
    explicit TError(const std::string& what, int cause = 0)
        : std::runtime_error(what), Cause(cause) {}
    TError(const std::string& german, std::string english, int cause = 0)
        : std::runtime_error(german), Cause(cause), english_(std::move(english)) {}

    // The text in English.
    const char* English() const noexcept { return english_.empty() ? what() : english_.c_str(); }

    // The system's errno behind the failure, 0 where there is none; the error box shows it on a
    // line of its own.
    int Cause = 0;

  private:
    std::string english_;
};

// "Datei %s kann nicht geöffnet werden" (UTF-8 in the source; the error box decodes it as such).
TError CannotOpenError(const std::string& path);
// "Datei %s kann nicht erstellt werden", for a page, an exported file or a shortcut.
TError CannotCreateError(const std::string& path);
// The same texts, carrying the system's cause.
TError CannotOpenError(const std::string& path, int cause);
TError CannotCreateError(const std::string& path, int cause);
// A file that exists and may not be written (read-only, or the system's refusal).
TError CannotWriteError(const std::string& path, int cause);

// What a path names when it is not a regular file.
enum class TFileKind { Folder, Fifo, CharacterDevice, BlockDevice, Socket, Other };

// "Datei %s kann nicht geöffnet werden (keine reguläre Datei: FIFO)", with Ordner, FIFO,
// Zeichengerät, Blockgerät, Socket or "unbekannte Art" for the kind.
TError NotRegularFileError(const std::string& path, TFileKind kind);
// "Datei %s kann nicht erstellt werden (keine reguläre Datei: FIFO)": a save's target that is no
// regular file, refused by its kind before it is opened.
TError NotRegularTargetError(const std::string& path, TFileKind kind);
// "Datei %s kann nicht geöffnet werden (größer als 1 GiB)"
TError FileTooLargeError(const std::string& path);

// "Der Index der Liste überschreitet das Maximum (%d)"
TError ListIndexError(unsigned long long index);

// "Datei %s ist in der Kodierung %s geschrieben, die nicht unterstützt wird, ..." for a stateful
// or UTF-16/UTF-32 page; the English follows in parentheses. An empty path reads "Die Datei".
TError UnsupportedEncodingError(const std::string& path, const std::string& encoding);
// "Datei %s deklariert die unbekannte Kodierung %s ..." for a name that is no label of an
// encoding browsers know.
TError UnknownEncodingError(const std::string& path, const std::string& encoding);

// "Datei %s enthält ein Nullzeichen ..." for a page holding a zero byte (UTF-16 pages do).
TError ZeroByteError(const std::string& path);
// "Datei %s ist zu groß ..." for a page beyond what the program can place phrases in.
TError TooLargeError(const std::string& path);

// "Datei %s enthält den Platzhaltertext %s ..." when an export finds a page whose own bytes hold
// a text that recombination would take for a phrase marker.
TError MarkerTextError(const std::string& path, const std::string& found);

// "Die Einstellungen können nicht in %s gespeichert werden", naming the settings store.
TError SettingsNotSavedError(const std::string& location);

// "Der Ordner "%s" wurde nicht gefunden" for a shell folder the system does not know, by the
// name the registry gives it.
TError FolderNotFoundError(const std::string& folderName);
// "Ordner %s kann nicht erstellt werden" for the folder a shortcut goes into.
TError CannotCreateFolderError(const std::string& path);
// "Verknüpfung %s wird nicht im Wurzelverzeichnis angelegt"
TError LinkInRootError(const std::string& path);
// "Das Verknüpfungsobjekt der Shell ist nicht verfügbar (%s, 0x%08lX)": the interface that could
// not be had, and the system's result code.
TError ShellLinkUnavailableError(std::string_view interfaceName, unsigned long result);

// The errors of a text given on the command line in its escaped form: "the text is not valid
// UTF-8 (byte %d)" with the 1-based position, "the text ends in a lone backslash", "bad escape
// \x: two hex digits must follow" and "bad escape \%s" with the escape as typed.
TError InvalidUtf8Error(std::size_t byte);
TError LoneBackslashError();
TError BadHexEscapeError();
TError BadEscapeError(std::string_view escape);

// The errors of quillfen-cli save: "phrase %d does not exist (the page has %d)", "the text for
// phrase %d holds a line break or a zero character", "the text for phrase %d is empty" (phrases
// counted from 1), and "another program changed the page while it was read; nothing was written".
TError NoSuchPhraseError(std::size_t n, std::size_t count);
TError PhraseTextBreaksLineError(std::size_t n);
TError EmptyPhraseTextError(std::size_t n);
TError ChangedWhileReadError();

// The errors of a new text for a sentence whose placeholders do not fit (the placeholder named
// as written, such as "<b1>"): "Platzhalter %s fehlt", "... steht mehr als einmal im Text",
// "... gehört nicht zu diesem Satz", "... ist nicht richtig verschachtelt", each followed by the
// English in parentheses.
TError PlaceholderMissingError(const std::string& placeholder);
TError PlaceholderDoubledError(const std::string& placeholder);
TError PlaceholderUnknownError(const std::string& placeholder);
TError PlaceholderBrokenError(const std::string& placeholder);
// "Einheit %s: ..." for a unit of a translation file that cannot be merged, with the cause's
// text in each language.
// line, when not 0, is where the unit stands in its file: "Einheit %s (Zeile %d): ...".
TError MergeUnitError(const std::string& unit, std::size_t line, const TError& cause);
// "Einheit %s: keine Phrase ..." for a unit that names no phrase of the page. A unit whose file
// gives it no number (an empty unit) is "Einheit ohne Nummer".
TError UnknownUnitError(const std::string& unit, std::size_t line);
// "Einheit %s: ... liest sich nicht mehr wie ihr Ausgangstext" for a unit of a forced merge whose
// phrase no longer reads as the unit's source.
TError SourceChangedUnitError(const std::string& unit, std::size_t line);
// "Einheit %s: Phrase %d hat schon eine Einheit in dieser Datei" for a second unit of one phrase
// (n counted from 1).
TError DoubledUnitError(const std::string& unit, std::size_t line, std::size_t n);
// "Einheit %s: sie nennt die Art %s, Phrase %d ist aber von der Art %s" for a unit whose kind, as
// its file names it, is not its phrase's (whose kind is given by its letter).
TError KindMismatchUnitError(const std::string& unit, std::size_t line, std::string_view named,
                             std::size_t n, char kind);
// "Einheit %s: ihr Ausgangstext ist nicht der Text von Phrase %d" for a unit of the page exported
// whose source is not its phrase's text.
TError SourceMismatchUnitError(const std::string& unit, std::size_t line, std::size_t n);
// "Einheit %s: die Übersetzung ist länger als das 16-Fache ihres Ausgangstexts und 1 MiB", or
// with total "... die Übersetzungen zusammen sind länger als das 16-Fache der Seite und 1 MiB".
TError TargetTooLongUnitError(const std::string& unit, std::size_t line, bool total);
// "Einheit %s: die Übersetzung enthält das Inline-Element <g>, Phrase %d hat aber keine
// Platzhalter", or for a phrase with placeholders "... <ph>, das für keinen Platzhalter steht".
TError InlineMarkupUnitError(const std::string& unit, std::size_t line, std::string_view element,
                             std::size_t n, bool placeholders);
// "Die Übersetzung gehört zu einer anderen Seite ..." for a translation file exported from
// another page, or from this one before it was changed, or that does not say.
TError TranslationOfOtherPageError();
// "%s ist keine Übersetzungsdatei, die Quillfen einfügen kann" for a file whose name names no
// format that merges (".xlf", ".po").
TError NoTranslationFormatError(const std::string& path);
// "Diese Ausgabe teilt Seiten nicht in Sätze ..." where sentences are asked for in a build
// without them.
TError SentencesUnavailableError();
// "Die Seite wird in Sätzen nicht exportiert ..." for the template of a page cut into sentences
// where a phrase inside a sentence lies outside its tags, which the template cannot carry.
TError SentenceTemplateError();
// What is wrong in line n of a text file, which must hold phrase n as "<n>text</>".
enum class TTextFileFault {
    Form,      // the line does not read so
    Number,    // detail: the number tag as written, which is not n's
    ZeroByte,  // a zero character, which no phrase holds
    NoMarker,  // detail: the marker the template lacks for the phrase
};
// "Datei %s, Zeile %d: " ("Die Textdatei, Zeile %d: " for an empty path, line counted from 1) and
// the fault, in either language.
TError TextFileError(const std::string& path, std::size_t line, TTextFileFault fault,
                     std::string_view detail = {});
// The same with the fault of the line's text as the phrase's text (a sentence's placeholder), in
// either language.
TError TextFileError(const std::string& path, std::size_t line, const TError& fault);
// What is wrong with marker %_k_% of a template.
enum class TTemplateFault {
    NoLine,        // the text file has no line for it
    OutOfOrder,    // detail: the marker text that stands where it belongs
    Repeated,      // it stands a second time
    Damaged,       // it is cut short ("%_3", "%_3_")
    TableDamaged,  // the table of placeholders behind it (a sentence's) cannot be read
};
// "Datei %s, Zeile %d: " ("Die Vorlage, Zeile %d: " for an empty path) and the fault, in either
// language.
TError TemplateError(const std::string& path, std::size_t line, TTemplateFault fault,
                     std::size_t marker, std::string_view detail = {});

// What a CDATA section of svg or math cannot hold of a new text: a browser reads no reference
// there, and the section ends at the first "]]>".
enum class TCdataFault {
    End,          // the text holds "]]>"
    Character,    // detail: a character the page's encoding lacks ("U+2603")
    ReadsAsUtf8,  // its characters, as the bytes of a Windows-1252 page, would read as UTF-8
    Declaration,  // written so, the page would declare another charset (its '<' read as markup)
};
// "Der Text für Phrase %d steht in einem CDATA-Abschnitt, ..." (phrase counted from 1; 0 names
// none), the English following in parentheses.
TError CdataTextError(std::size_t n, TCdataFault fault, std::string_view detail = {});

// "Die Standardausgabe kann nicht geschrieben werden" for quillfen-cli, whose output a full disk,
// a file-size limit or a closed pipe cut short; cause: the system's.
TError StandardOutputError(int cause);

// What is wrong with an XLIFF file that cannot be read: not well-formed XML (detail: the
// parser's message), no XLIFF (detail: the root element's name), entities declared (which are
// never expanded), an entity that is not XML's own (detail: its name), a trans-unit without an
// id, one without a source (detail: its id), an inline element this program does not read
// (detail: the unit's id and the element's name, "7: ph"), an external DTD named in the file's
// DOCTYPE (detail: its system or public identifier), which is never read.
enum class TXliffFault {
    NotXml,
    NotXliff,
    EntityDeclared,
    UnknownEntity,
    UnitWithoutId,
    UnitWithoutSource,
    UnknownInline,
    ExternalDtd
};
// "Datei %s, Zeile %d: " and the fault, in either language; line 0 leaves the line out.
TError XliffError(const std::string& path, std::size_t line, TXliffFault fault,
                  std::string_view detail = {});
// "%s ist kein Sprachkennzeichen wie de oder en-US" for a language given to an export.
TError LanguageTagError(std::string_view text);
// What is wrong in a line of a PO file.
enum class TPoFault {
    UnterminatedString,  // a string without its closing quote
    BadEscape,           // detail: the escape as written
    UnexpectedText,      // detail: the line's start
    MisplacedKeyword,    // detail: the keyword
    MissingMessage,      // an entry that ends without msgid or msgstr
    InvalidUtf8,
    UnsupportedCharset,  // detail: the charset the header names
};
// "Datei %s, Zeile %d: " (line counted from 1) and the fault, in either language.
TError PoFileError(const std::string& path, std::size_t line, TPoFault fault,
                   std::string_view detail = {});

// "Unbekannte Prüfung %s" for a check's id that names none.
TError UnknownCheckError(const std::string& id);
// "Die übersetzte Seite weicht außerhalb der Phrasen von ihrer Quelle ab, vor Phrase %d" (phrase
// counted from 1; phrase count + 1: after the last phrase) for a translated page whose markup is
// not its source's, so that its phrases cannot be compared with the source's one by one.
TError PagesPartError(std::size_t phrase, std::size_t count);
// "Die übersetzte Seite hat %d Phrasen, ihre Quelle %d"
TError PhraseCountsDifferError(std::size_t source, std::size_t translated);
// The translation memory (memory/). A file that is no memory of ours, a damaged one or one of a
// newer schema is refused before anything writes to it.
// "Datei %s ist kein Übersetzungsspeicher von Quillfen" for a file that is none: no SQLite
// database, or another program's.
TError NotMemoryError(const std::string& path);
// "Der Übersetzungsspeicher %s ist beschädigt (%s)", with what is wrong.
TError DamagedMemoryError(const std::string& path, std::string_view detail);
// "Der Übersetzungsspeicher %s stammt von einer neueren Version von Quillfen (Schema %d)".
TError NewerMemoryError(const std::string& path, int version);
// "Übersetzungsspeicher %s: %s" for any other failure of the database (a full disk, a file that
// cannot be written), with the database's message; the system's cause where there is one.
TError MemoryFailedError(const std::string& path, std::string_view detail, int cause = 0);
// "Der Übersetzungsspeicher %s wird gerade von einem anderen Programm geschrieben ..." when
// another program holds it for longer than a change waits.
TError MemoryBusyError(const std::string& path);
// The record of the sources of the phrases Quillfen replaced (sources/), refused as the memory
// is: "Datei %s ist kein Quelltextverzeichnis von Quillfen" (another program's file, or no
// SQLite database), "... ist beschädigt (%s)", "... stammt von einer neueren Version (Schema %s)"
// (detail: the schema number), "Quelltextverzeichnis %s: %s" for any other failure with the
// database's message, and "... wird gerade von einem anderen Programm geschrieben".
enum class TRecordFault { NotRecord, Damaged, Newer, Failed, Busy };
TError SourceRecordError(TRecordFault fault, const std::string& path, std::string_view detail = {},
                         int cause = 0);
// "Die Ausgangssprache ist nicht bekannt ..." (or the target language) where a translation would
// be stored or looked up under a language pair that neither the page nor the options name.
TError UnknownLanguageError(bool target);
// What is wrong with a TMX file: not well-formed XML (detail: the parser's message), no TMX
// (detail: the root element), a DOCTYPE with declarations or an entity declared, a reference to
// an entity that is not XML's own (detail: its name), a unit without both languages, a language
// that is no language tag (detail: it), a bpt or ept without its partner (detail: its i), a
// segment too long to be a phrase.
enum class TTmxFault {
    NotXml,
    NotTmx,
    Declarations,
    UnknownEntity,
    MissingLanguage,
    BadLanguage,
    UnpairedCode,
    TooLong,
};
// "Datei %s, Zeile %d: " and the fault, in either language; line 0 leaves the line out.
TError TmxError(const std::string& path, std::size_t line, TTmxFault fault,
                std::string_view detail = {});
// "Die Seiten %s und %s unterscheiden sich außerhalb der Phrasen: Zeile %d (Byte %d) und Zeile
// %d (Byte %d)" for a page and its translation that are not the same but for their phrases
// (lines from 1, bytes from 0).
TError PagesPartError(const std::string& source, std::size_t sourceLine, std::size_t sourceOffset,
                      const std::string& translated, std::size_t translatedLine,
                      std::size_t translatedOffset);

// "Datei %s wird gerade von einem anderen Speichervorgang geschrieben ..." when another save of
// the same page holds it for longer than a save waits.
TError SaveBusyError(const std::string& path);

// "Datei %s wird gerade von einem anderen Speichervorgang geschrieben ..." when a reader waits
// for a save of the page longer than a save waits for another.
TError ReadBusyError(const std::string& path);

// What an interrupted in-place save left: a torn page, the new bytes up to some point and the old
// ones behind it; a page another program wrote since, which is neither the old page, nor the new
// one, nor such a mix; or a page that cannot be shown to be the one the save wrote (another file
// in its place, or the record of an earlier version, which holds too little to tell).
enum class TInterruption { Torn, WrittenSince, Unproven };

// A page whose in-place save was interrupted. Names the copy of the old bytes (Backup) and what
// to do: put it back (Torn), or, since nothing may be written over what is not known to be the
// torn page (Foreign), compare and delete the copy, which frees the page.
class TInterruptedSaveError : public TError {
  public:
    TInterruptedSaveError(const std::string& page, const std::string& backup, TInterruption what);
    std::string Page, Backup;
    TInterruption What;
    bool Foreign;  // anything but Torn: RecoverInterruptedSave refuses it
};
// "Datei %s hat kein unterbrochenes Speichern ..." for quillfen-cli recover on a page with
// nothing to recover.
TError NothingToRecoverError(const std::string& path);

// A site project (project/). "Projektdatei %s, Zeile %d: %s" for a project file that cannot be
// read (line 0 leaves the line out), with what is wrong in each language.
TError ProjectFileError(const std::string& path, std::size_t line, std::string_view german,
                        std::string_view english);
// "Die Projektdatei %s stammt von einer neueren Version von Quillfen (Version %d)".
TError NewerProjectError(const std::string& path, int version);
// The project's state beside its file (the SQLite file of project/state.h), refused and failing
// as the record of sources does, in words of the project's state: "Datei %s ist kein
// Projektzustand von Quillfen", "Der Projektzustand %s ist beschädigt (%s)", "... stammt von
// einer neueren Version (Schema %s)", "Projektzustand %s: %s", "... wird gerade von einem
// anderen Programm geschrieben".
TError ProjectStateError(TRecordFault fault, const std::string& path, std::string_view detail = {},
                         int cause = 0);
// "Der Quellordner %s existiert nicht" (or the target folder).
TError ProjectFolderMissingError(const std::string& folder, bool target);
// "Quell- und Zielordner sind derselbe Ordner (%s)"
TError ProjectFoldersSameError(const std::string& folder);
// "Ordner %s liegt in Ordner %s": the source and target folder, one inside the other.
TError ProjectFolderInsideError(const std::string& inner, const std::string& outer);
// "Das Muster %s erfasst keine Datei im Quellordner"
TError GlobTakesNothingError(const std::string& glob);
// "Die Projektdatei %s existiert schon" for project new over an existing file.
TError ProjectExistsError(const std::string& path);

}  // namespace quillfen
