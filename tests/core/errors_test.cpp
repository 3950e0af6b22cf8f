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
    };
    for (const auto& c : cases) EXPECT_STREQ(c.error.what(), c.text);
    EXPECT_EQ(CannotCreateError("/a/b.htm", 13).Cause, 13);
}

}  // namespace
}  // namespace quillfen
