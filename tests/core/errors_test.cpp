#include "core/errors.h"

#include <gtest/gtest.h>

#include <string>

namespace quillfen {
namespace {

// Texts users and their scripts know, whichever layer raises them: each must read exactly so
// (quillfen-cli's texts in English, as the command line prints them by default).
TEST(Errors, TextsReadAsTheyAlwaysDid) {
    const struct {
        TError error;
        const char* text;
        bool english = false;
    } cases[] = {
        {CannotCreateError("/a/Q.lnk"), "Datei /a/Q.lnk kann nicht erstellt werden"},
        {CannotCreateError("/a/b.htm", 13), "Datei /a/b.htm kann nicht erstellt werden"},
        {CannotWriteError("/a/b.htm", 13), "Datei /a/b.htm kann nicht geschrieben werden"},
        {SettingsNotSavedError("/c/Quillfen.ini"),
         "Die Einstellungen k\xC3\xB6nnen nicht in /c/Quillfen.ini gespeichert werden"},
        {FolderNotFoundError("Start Menu"), "Der Ordner \"Start Menu\" wurde nicht gefunden"},
        {CannotCreateFolderError("/a/plain"), "Ordner /a/plain kann nicht erstellt werden"},
        {LinkInRootError("/Q.lnk"),
         "Verkn\xC3\xBCpfung /Q.lnk wird nicht im Wurzelverzeichnis angelegt"},
        {ShellLinkUnavailableError("IPersistFile", 0x80004002ul),
         "Das Verkn\xC3\xBCpfungsobjekt der Shell ist nicht verf\xC3\xBCgbar (IPersistFile, "
         "0x80004002)"},
        {ShellLinkUnavailableError("IShellLinkA", 0x5ul),
         "Das Verkn\xC3\xBCpfungsobjekt der Shell ist nicht verf\xC3\xBCgbar (IShellLinkA, "
         "0x00000005)"},
        {InvalidUtf8Error(3), "the text is not valid UTF-8 (byte 3)", true},
        {LoneBackslashError(), "the text ends in a lone backslash", true},
        {BadHexEscapeError(), "bad escape \\x: two hex digits must follow", true},
        {BadEscapeError("\xC3\xA4"), "bad escape \\\xC3\xA4", true},
        {NoSuchPhraseError(12, 11), "phrase 12 does not exist (the page has 11)", true},
        {PhraseTextBreaksLineError(3),
         "the text for phrase 3 holds a line break or a zero character", true},
        {EmptyPhraseTextError(1), "the text for phrase 1 is empty", true},
        {ChangedWhileReadError(),
         "another program changed the page while it was read; nothing was written", true},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.english ? c.error.English() : c.error.what(), c.text);
    EXPECT_EQ(CannotCreateError("/a/b.htm", 13).Cause, 13);
}

// Every text has an English form for the English interface and quillfen-cli: plain ASCII, naming
// the same file, with the cause carried along.
TEST(Errors, EveryTextHasAnEnglishFormNamingTheSameFile) {
    const TError errors[] = {
        CannotOpenError("/p/a.htm", 2),
        CannotCreateError("/p/a.htm", 13),
        NotRegularFileError("/p/a.htm", TFileKind::CharacterDevice),
        FileTooLargeError("/p/a.htm"),
        UnsupportedEncodingError("/p/a.htm", "UTF-16LE"),
        UnknownEncodingError("/p/a.htm", "x-klingon"),
        ZeroByteError("/p/a.htm"),
        TooLargeError("/p/a.htm"),
        MarkerTextError("/p/a.htm", "%_0_%"),
        SettingsNotSavedError("/p/a.htm"),
        CannotCreateFolderError("/p/a.htm"),
        LinkInRootError("/p/a.htm"),
        SaveBusyError("/p/a.htm"),
        TInterruptedSaveError("/p/a.htm", "/c/copy", TInterruption::Torn),
        TInterruptedSaveError("/p/a.htm", "/c/copy", TInterruption::WrittenSince),
        TInterruptedSaveError("/p/a.htm", "/c/copy", TInterruption::Unproven),
        NotRegularTargetError("/p/a.htm", TFileKind::Fifo),
        ReadBusyError("/p/a.htm"),
        NothingToRecoverError("/p/a.htm"),
        XliffError("/p/a.htm", 3, TXliffFault::UnknownInline, "7: ph"),
        NotMemoryError("/p/a.htm"),
        DamagedMemoryError("/p/a.htm", "database disk image is malformed"),
        NewerMemoryError("/p/a.htm", 2),
        MemoryFailedError("/p/a.htm", "disk I/O error", 5),
        MemoryBusyError("/p/a.htm"),
        SourceRecordError(TRecordFault::NotRecord, "/p/a.htm"),
        SourceRecordError(TRecordFault::Damaged, "/p/a.htm", "file is not a database"),
        SourceRecordError(TRecordFault::Newer, "/p/a.htm", "3"),
        SourceRecordError(TRecordFault::Failed, "/p/a.htm", "disk I/O error", 5),
        SourceRecordError(TRecordFault::Busy, "/p/a.htm"),
        ProjectStateError(TRecordFault::NotRecord, "/p/a.htm"),
        ProjectStateError(TRecordFault::Damaged, "/p/a.htm", "file is not a database"),
        ProjectStateError(TRecordFault::Newer, "/p/a.htm", "3"),
        ProjectStateError(TRecordFault::Failed, "/p/a.htm", "disk I/O error", 5),
        ProjectStateError(TRecordFault::Busy, "/p/a.htm"),
        TmxError("/p/a.htm", 7, TTmxFault::UnpairedCode, "bpt i=\"1\""),
        PagesPartError("/p/a.htm", 3, 120, "/p/b.htm", 3, 131),
        XliffError("/p/a.htm", 2, TXliffFault::ExternalDtd, "x.dtd"),
        TextFileError("/p/a.htm", 3, TTextFileFault::Number, "<7>"),
        TextFileError("/p/a.htm", 3, PlaceholderMissingError("<b1>")),
        TemplateError("/p/a.htm", 3, TTemplateFault::OutOfOrder, 2, "%_7_%"),
    };
    for (const TError& e : errors) {
        const std::string english = e.English();
        SCOPED_TRACE(e.what());
        EXPECT_NE(english, e.what());
        EXPECT_NE(english.find("/p/a.htm"), std::string::npos) << english;
        EXPECT_EQ(english.find("Datei"), std::string::npos) << english;
        for (const char c : english) EXPECT_GE(c, 0x20) << english;
    }
    EXPECT_EQ(std::string(CannotOpenError("/p/a.htm", 2).English()),
              "The file /p/a.htm cannot be opened");
    EXPECT_EQ(CannotOpenError("/p/a.htm", 2).Cause, 2);
    EXPECT_EQ(std::string(NotRegularFileError("/p", TFileKind::Folder).English()),
              "The file /p cannot be opened (not a regular file: folder)");
}

// The interface speaks English or German, and so does every error it may show: each factory
// gives a German text and an English one, the English one without German words.
TEST(Errors, EveryErrorSpeaksBothLanguages) {
    const TError placeholder = PlaceholderMissingError("<b1>");
    const TError errors[] = {
        CannotOpenError("/p/a.htm"),
        CannotCreateError("/p/a.htm"),
        CannotWriteError("/p/a.htm", 13),
        ListIndexError(7),
        FolderNotFoundError("Desktop"),
        ShellLinkUnavailableError("IShellLinkW", 0x80004002),
        InvalidUtf8Error(3),
        LoneBackslashError(),
        BadHexEscapeError(),
        BadEscapeError("q"),
        NoSuchPhraseError(9, 4),
        PhraseTextBreaksLineError(2),
        EmptyPhraseTextError(2),
        ChangedWhileReadError(),
        placeholder,
        PlaceholderDoubledError("<b1>"),
        PlaceholderUnknownError("<i3>"),
        PlaceholderBrokenError("</b1>"),
        MergeUnitError("7", 3, placeholder),
        UnknownUnitError("7", 3),
        UnknownUnitError("", 0),
        SourceChangedUnitError("7", 3),
        DoubledUnitError("7", 3, 7),
        KindMismatchUnitError("7", 3, "G", 7, 'T'),
        SourceMismatchUnitError("7", 3, 7),
        TargetTooLongUnitError("7", 3, true),
        InlineMarkupUnitError("7", 3, "x", 7, false),
        TranslationOfOtherPageError(),
        NoTranslationFormatError("a.doc"),
        SentencesUnavailableError(),
        SentenceTemplateError(),
        CdataTextError(3, TCdataFault::End),
        StandardOutputError(28),
        LanguageTagError("12"),
        PoFileError("a.po", 3, TPoFault::BadEscape, "\\q"),
        UnknownCheckError("spelling"),
        PagesPartError(3, 9),
        PhraseCountsDifferError(3, 4),
        UnknownLanguageError(true),
    };
    for (const TError& e : errors) {
        const std::string german = e.what(), english = e.English();
        SCOPED_TRACE(german);
        EXPECT_NE(english, german);
        EXPECT_FALSE(german.empty());
        for (const char* word : {"Datei", "Platzhalter", "Phrase ", " nicht", " ist "})
            EXPECT_EQ(english.find(word), std::string::npos) << english;
    }
}

}  // namespace
}  // namespace quillfen
