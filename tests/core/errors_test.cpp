#include "core/errors.h"

#include <gtest/gtest.h>

#include <string>

namespace quillfen {
namespace {

// Texts users and their scripts know, whichever layer raises them: each must read exactly so.
TEST(Errors, TextsReadAsTheyAlwaysDid) {
    const struct {
        TError error;
        const char* text;
    } cases[] = {
        {CannotCreateError("/a/Q.lnk"), "Datei /a/Q.lnk kann nicht erstellt werden"},
        {CannotCreateError("/a/b.htm", 13), "Datei /a/b.htm kann nicht erstellt werden"},
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
        {InvalidUtf8Error(3), "the text is not valid UTF-8 (byte 3)"},
        {LoneBackslashError(), "the text ends in a lone backslash"},
        {BadHexEscapeError(), "bad escape \\x: two hex digits must follow"},
        {BadEscapeError("\xC3\xA4"), "bad escape \\\xC3\xA4"},
        {NoSuchPhraseError(12, 11), "phrase 12 does not exist (the page has 11)"},
        {PhraseTextBreaksLineError(3),
         "the text for phrase 3 holds a line break or a zero character"},
        {EmptyPhraseTextError(1), "the text for phrase 1 is empty"},
        {ChangedWhileReadError(),
         "another program changed the page while it was read; nothing was written"},
    };
    for (const auto& c : cases) EXPECT_STREQ(c.error.what(), c.text);
    EXPECT_EQ(CannotCreateError("/a/b.htm", 13).Cause, 13);
}

}  // namespace
}  // namespace quillfen
