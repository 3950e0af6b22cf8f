// The shell folders from the registry and shortcuts written by the system's shell link object.
// The folders are written under a key of the test's own, and HKEY_CURRENT_USER is redirected to
// it for this process, so that a run never touches the user's own Shell Folders.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The lines above must come first.
#include <gtest/gtest.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/errors.h"
#include "shell/wininfo.h"

namespace fs = std::filesystem;
using quillfen::CreateShortcut;
using quillfen::TError;
using quillfen::TWindowsInfo;
using quillfen::WindowsInfo;

namespace {

const wchar_t kTestKey[] = L"Software\\Quillfen tests";
const wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

fs::path g_root;         // the test's folder in the temporary folder
HKEY g_user = nullptr;   // what HKEY_CURRENT_USER stands for during the tests
HKEY g_empty = nullptr;  // a user without a Shell Folders key

fs::path U8(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::wstring Wide(const std::string& text, UINT codePage = CP_UTF8) {
    std::wstring wide(text.size(), L'\0');
    const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                      wide.data(), static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(std::max(n, 0)));
    return wide;
}

std::string Narrow(const std::wstring& wide, UINT codePage = CP_UTF8) {
    std::string text(wide.size() * 4, '\0');
    const int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                      text.data(), static_cast<int>(text.size()), nullptr, nullptr);
    text.resize(static_cast<std::size_t>(std::max(n, 0)));
    return text;
}

std::string AnsiToUtf8(const std::string& ansi) { return Narrow(Wide(ansi, CP_ACP)); }

// The folder names hold an umlaut, which the ANSI code page of a western system has; the shell
// module reads the registry and writes links in that code page.
const std::string kStartMenu = "Start Men\xC3\xBC";

fs::path Programs() { return g_root / U8(kStartMenu) / "Programs"; }

void SetString(HKEY key, const wchar_t* name, DWORD type, const std::wstring& value) {
    const auto size = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    ASSERT_EQ(
        RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()), size),
        ERROR_SUCCESS);
}

HKEY CreateKey(HKEY parent, const std::wstring& name) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        std::abort();
    return key;
}

// The user the tests run as: its Shell Folders hold strings, an expandable string, a value of
// another type, and lack one value.
void SetUpUser() {
    const std::wstring pid = std::to_wstring(GetCurrentProcessId());
    g_root = fs::temp_directory_path() / (L"quillfen-shell-" + pid);
    fs::create_directories(Programs());

    g_user = CreateKey(HKEY_CURRENT_USER, std::wstring(kTestKey) + L"\\" + pid + L"\\user");
    g_empty = CreateKey(HKEY_CURRENT_USER, std::wstring(kTestKey) + L"\\" + pid + L"\\empty");
    HKEY folders = CreateKey(g_user, kShellFolders);
    SetString(folders, L"Desktop", REG_SZ, (g_root / "Desk").wstring());
    SetString(folders, L"Fonts", REG_EXPAND_SZ, L"%QUILLFEN_FONTS%\\Fonts");
    DWORD number = 7;
    RegSetValueExW(folders, L"NetHood", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
    SetString(folders, L"Personal", REG_SZ, (g_root / "Papiere").wstring());
    SetString(folders, L"Programs", REG_SZ, Programs().wstring());
    SetString(folders, L"Recent", REG_SZ, (g_root / "Recent").wstring());
    SetString(folders, L"SendTo", REG_SZ, (g_root / "SendTo").wstring());
    SetString(folders, L"Start Menu", REG_SZ, (g_root / U8(kStartMenu)).wstring());
    SetString(folders, L"Startup", REG_SZ, (Programs() / "Startup").wstring());
    SetString(folders, L"Templates", REG_SZ, (g_root / "Vorlagen").wstring());
    RegCloseKey(folders);
    SetEnvironmentVariableW(L"QUILLFEN_FONTS", g_root.wstring().c_str());
    if (RegOverridePredefKey(HKEY_CURRENT_USER, g_user) != ERROR_SUCCESS) std::abort();
}

void TearDownUser() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(g_user);
    RegCloseKey(g_empty);
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    std::error_code ec;
    fs::remove_all(g_root, ec);
}

template <typename F>
void ExpectError(F&& call, const std::string& part) {
    try {
        call();
        ADD_FAILURE() << "no error, expected one with \"" << part << "\"";
    } catch (const TError& e) {
        EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
    }
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(Utf8(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WindowsFolders, ReadsTheUsersShellFoldersKeyOnce) {
    const TWindowsInfo info;
    EXPECT_EQ(info.Desktop, Utf8(g_root / "Desk"));
    EXPECT_EQ(info.Fonts, Utf8(g_root) + "\\Fonts");
    EXPECT_EQ(info.Personal, Utf8(g_root / "Papiere"));
    EXPECT_EQ(info.Programs, Utf8(Programs()));
    EXPECT_EQ(info.StartMenu, Utf8(g_root / U8(kStartMenu)));
    EXPECT_EQ(info.Startup, Utf8(Programs() / "Startup"));
    EXPECT_EQ(info.Templates, Utf8(g_root / "Vorlagen"));
    // Missing, or no string.
    EXPECT_EQ(info.Favorites, "");
    EXPECT_EQ(info.NetHood, "");

    const std::string* fields[] = {&info.Desktop,   &info.Favorites, &info.Fonts,    &info.NetHood,
                                   &info.Personal,  &info.Programs,  &info.Recent,   &info.SendTo,
                                   &info.StartMenu, &info.Startup,   &info.Templates};
    for (int selector = 1; selector <= 11; ++selector)
        EXPECT_EQ(&info.Folder(selector), fields[selector - 1]) << selector;
    for (int selector : {0, 12, 255, -1}) EXPECT_EQ(info.Folder(selector), "") << selector;

    // Without the key every folder is unknown; the single instance keeps what it read first.
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, g_empty), ERROR_SUCCESS);
    const TWindowsInfo none;
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, g_user), ERROR_SUCCESS);
    for (int selector = 1; selector <= 11; ++selector) EXPECT_EQ(none.Folder(selector), "");
    EXPECT_EQ(WindowsInfo().Programs, Utf8(Programs()));
}

struct TLink {
    std::string Path, Arguments, Folder;
};

// The shortcut as the shell link object reads it back, in UTF-8.
TLink ReadLink(const fs::path& file) {
    IShellLinkA* link = nullptr;
    IPersistFile* persist = nullptr;
    TLink read;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
        SUCCEEDED(persist->Load(file.wstring().c_str(), STGM_READ))) {
        char text[INFOTIPSIZE] = {};
        if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH)))
            read.Path = AnsiToUtf8(text);
        text[0] = '\0';
        if (SUCCEEDED(link->GetArguments(text, INFOTIPSIZE))) read.Arguments = AnsiToUtf8(text);
        text[0] = '\0';
        if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH))) read.Folder = AnsiToUtf8(text);
    } else {
        ADD_FAILURE() << "cannot load " << file;
    }
    if (persist) persist->Release();
    if (link) link->Release();
    return read;
}

fs::path ThisProgram() {
    wchar_t name[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, name, MAX_PATH);
    return fs::path(std::wstring(name, n));
}

class WindowsShortcut : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = WindowsInfo().Programs;
        fs::remove_all(g_root / "out");
        fs::create_directories(g_root / "out");
    }
    void TearDown() override { WindowsInfo().Programs = saved_; }

  private:
    std::string saved_;
};

TEST_F(WindowsShortcut, WritesTheLinkIntoProgramsAndReplacesIt) {
    // As the Options dialog makes it: the running program, started in its own folder.
    const std::string target = Utf8(ThisProgram());
    const std::string folder = Utf8(ThisProgram().parent_path()) + "\\";
    const fs::path file = Programs() / "Quillfen.lnk";
    CreateShortcut(target, "", folder, 6, "Quillfen.lnk");
    TLink link = ReadLink(file);
    EXPECT_EQ(link.Path, target);
    EXPECT_EQ(link.Arguments, "");
    EXPECT_EQ(link.Folder, folder);

    // Again, with arguments and a folder in the ANSI code page's umlauts.
    const std::string arguments =
        "--lang \"de DE\" Gr\xC3\xBC\xC3\x9F"
        "e.htm";
    CreateShortcut(target, arguments, Utf8(g_root / U8(kStartMenu)), 6, "Quillfen.lnk");
    link = ReadLink(file);
    EXPECT_EQ(link.Path, target);
    EXPECT_EQ(link.Arguments, arguments);
    EXPECT_EQ(link.Folder, Utf8(g_root / U8(kStartMenu)));
    // No temporary file is left beside it.
    EXPECT_EQ(Names(Programs()), std::vector<std::string>{"Quillfen.lnk"});
}

TEST_F(WindowsShortcut, LinkNameIsTheWholePathOutsideTheFolderSelectors) {
    const std::string target = Utf8(ThisProgram());
    const fs::path out = g_root / "out";
    CreateShortcut(target, "a", "", 0, Utf8(out / "A.lnk"));
    CreateShortcut(target, "b", "", 12, Utf8(out) + "/sub/../B.lnk");
    CreateShortcut(target, "c", "", 255, Utf8(out / "C.lnk"));
    EXPECT_EQ(Names(out), (std::vector<std::string>{"A.lnk", "B.lnk", "C.lnk"}));
    EXPECT_EQ(ReadLink(out / "B.lnk").Arguments, "b");
    EXPECT_EQ(ReadLink(out / "C.lnk").Path, target);
}

TEST_F(WindowsShortcut, RefusesUnknownFoldersTheRootAndWhatCannotBeWritten) {
    const std::string target = Utf8(ThisProgram());
    ExpectError([&] { CreateShortcut(target, "", "", 2, "Quillfen.lnk"); },
                "Der Ordner \"Favorites\" wurde nicht gefunden");
    ExpectError([&] { CreateShortcut(target, "", "", 4, "Quillfen.lnk"); },
                "Der Ordner \"NetHood\" wurde nicht gefunden");
    const std::string root = "Wurzelverzeichnis";
    ExpectError([&] { CreateShortcut(target, "", "", 0, "C:\\Quillfen.lnk"); }, root);
    ExpectError([&] { CreateShortcut(target, "", "", 0, "C:\\Windows\\..\\Quillfen.lnk"); }, root);
    EXPECT_FALSE(fs::exists("C:\\Quillfen.lnk"));

    const std::string cannot = "kann nicht erstellt werden";
    // A Programs folder that does not exist, or that is a file.
    WindowsInfo().Programs = Utf8(g_root / "out" / "missing");
    ExpectError([&] { CreateShortcut(target, "", "", 6, "Quillfen.lnk"); },
                "Datei " + Utf8(g_root / "out" / "missing" / "Quillfen.lnk") + " " + cannot);
    std::ofstream(g_root / "out" / "plain") << "x";
    WindowsInfo().Programs = Utf8(g_root / "out" / "plain");
    ExpectError([&] { CreateShortcut(target, "", "", 6, "Quillfen.lnk"); }, cannot);
    // A character the ANSI code page does not hold cannot go into the link.
    ExpectError(
        [&] {
            CreateShortcut(target, "\xE6\x97\xA5\xE6\x9C\xAC", "", 0,
                           Utf8(g_root / "out" / "J.lnk"));
        },
        cannot);
    EXPECT_EQ(Names(g_root / "out"), std::vector<std::string>{"plain"});
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The program initialises COM for its thread at start-up, before the shell link is used.
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    SetUpUser();
    WindowsInfo();
    const int result = RUN_ALL_TESTS();
    TearDownUser();
    CoUninitialize();
    return result;
}
