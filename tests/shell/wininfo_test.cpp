#include "shell/wininfo.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "core/errors.h"

namespace fs = std::filesystem;
using quillfen::CreateShortcut;
using quillfen::TError;
using quillfen::TWindowsInfo;
using quillfen::WindowsInfo;

namespace {

// The fake account every test runs in; made in main before the single TWindowsInfo is read.
fs::path g_root;

fs::path Home() { return g_root / "home"; }
fs::path Config() { return g_root / "config"; }
fs::path Data() { return g_root / "data"; }
fs::path Applications() { return Data() / "applications"; }

void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void SetUpAccount() {
    char name[] = "/tmp/quillfen-shell-XXXXXX";
    if (!::mkdtemp(name)) std::abort();
    g_root = name;
    fs::create_directories(Home());
    ::setenv("HOME", Home().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", Config().c_str(), 1);
    ::setenv("XDG_DATA_HOME", Data().c_str(), 1);
    WriteText(Config() / "user-dirs.dirs",
              "# written by the tests\n"
              "XDG_DESKTOP_DIR=\"$HOME/Desk\"\n"
              "XDG_DOCUMENTS_DIR=\"$HOME/Papiere\"\n"
              "XDG_TEMPLATES_DIR=\"" +
                  (g_root / "Vorlagen").string() + "\"\n");
}

struct TRun {
    int status;
    std::string output;
};

TRun Validate(const fs::path& file) {
    const std::string tool = DESKTOP_FILE_VALIDATE;
    if (tool.empty())
        return {-1,
                "desktop-file-validate not found: install desktop-file-utils "
                "(scripts/install-deps.sh)"};
    const std::string command = "'" + tool + "' '" + file.string() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return {-1, "cannot run " + tool};
    std::string output;
    char chunk[256];
    while (std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, n);
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

// Expects a TError whose text holds part; returns nothing so that it reads as a statement.
template <typename F>
void ExpectError(F&& call, const std::string& part) {
    try {
        call();
        ADD_FAILURE() << "no error, expected one with \"" << part << "\"";
    } catch (const TError& e) {
        EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
    }
}

// Changes environment variables for one test and puts them back afterwards.
class FoldersTest : public ::testing::Test {
  protected:
    void Set(const char* name, const std::optional<std::string>& value) {
        const char* old = std::getenv(name);
        saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    void TearDown() override {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second)
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                ::unsetenv(it->first.c_str());
        }
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(FoldersTest, ResolvesUserDirsAndXdgBaseFolders) {
    const TWindowsInfo info;
    EXPECT_EQ(info.Desktop, (Home() / "Desk").string());
    EXPECT_EQ(info.Personal, (Home() / "Papiere").string());
    EXPECT_EQ(info.Templates, (g_root / "Vorlagen").string());
    EXPECT_EQ(info.Fonts, (Data() / "fonts").string());
    EXPECT_EQ(info.Programs, Applications().string());
    EXPECT_EQ(info.StartMenu, Applications().string());
    EXPECT_EQ(info.Startup, (Config() / "autostart").string());
    EXPECT_EQ(info.Favorites, "");
    EXPECT_EQ(info.NetHood, "");
    EXPECT_EQ(info.Recent, "");
    EXPECT_EQ(info.SendTo, "");
}

TEST_F(FoldersTest, SelectorsNumberTheFieldsInRegistryOrder) {
    const TWindowsInfo info;
    const std::string* fields[] = {&info.Desktop,   &info.Favorites, &info.Fonts,    &info.NetHood,
                                   &info.Personal,  &info.Programs,  &info.Recent,   &info.SendTo,
                                   &info.StartMenu, &info.Startup,   &info.Templates};
    for (int selector = 1; selector <= 11; ++selector)
        EXPECT_EQ(&info.Folder(selector), fields[selector - 1]) << selector;
    for (int selector : {0, 12, 255, -1}) EXPECT_EQ(info.Folder(selector), "") << selector;
}

TEST_F(FoldersTest, FallsBackToHomeWithoutUserDirsAndXdgVariables) {
    Set("XDG_CONFIG_HOME", std::nullopt);
    Set("XDG_DATA_HOME", std::nullopt);
    const TWindowsInfo info;
    EXPECT_EQ(info.Desktop, (Home() / "Desktop").string());
    EXPECT_EQ(info.Personal, (Home() / "Documents").string());
    EXPECT_EQ(info.Programs, (Home() / ".local/share/applications").string());
    EXPECT_EQ(info.Startup, (Home() / ".config/autostart").string());
    EXPECT_EQ(info.Favorites, "");
    // The single instance keeps what it read at start-up.
    EXPECT_EQ(WindowsInfo().Programs, Applications().string());
    EXPECT_EQ(WindowsInfo().Desktop, (Home() / "Desk").string());
}

class ShortcutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(Data());
        fs::remove_all(g_root / "out");
        fs::create_directories(g_root / "out");
    }
};

// A target with blanks, an umlaut, a percent sign and every character the Exec quoting escapes.
const std::string kTarget = R"(/opt/Quill Fän/50% "neu"/$v`x`\quillfen)";
const std::string kFolder = R"(/opt/Quill Fän/50% "neu"/)";
const std::string kEntry =
    "[Desktop Entry]\n"
    "Type=Application\n"
    "Name=Quillfen\n"
    R"(Exec="/opt/Quill Fän/50%% \\"neu\\"/\\$v\\`x\\`\\\\quillfen" --lang "de DE" a%%b)"
    "\n"
    R"(Path=/opt/Quill Fän/50% "neu"/)"
    "\n"
    "Icon=quillfen\n";

TEST_F(ShortcutTest, WritesValidDesktopEntryIntoProgramsAndReplacesIt) {
    CreateShortcut(kTarget, R"(--lang "de DE" a%b)", kFolder, 6, "Quillfen.lnk");
    const fs::path file = Applications() / "Quillfen.desktop";
    EXPECT_EQ(ReadText(file), kEntry);
    const TRun run = Validate(file);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "");

    WriteText(file, "stale");
    CreateShortcut(kTarget, R"(--lang "de DE" a%b)", kFolder, 6, "Quillfen.lnk");
    EXPECT_EQ(ReadText(file), kEntry);
    // No temporary file and no .lnk is left beside it.
    EXPECT_EQ(Names(Applications()), std::vector<std::string>{"Quillfen.desktop"});
}

TEST_F(ShortcutTest, EscapesControlCharactersAndLeadingBlankAndStaysValid) {
    const fs::path file = g_root / "out" / "Quillfen.desktop";
    CreateShortcut("/opt/tab\there/q", "\"line\nbreak\" plain", " /opt/x\\y", 0,
                   file.parent_path() / "Quillfen.lnk");
    EXPECT_EQ(ReadText(file),
              "[Desktop Entry]\nType=Application\nName=Quillfen\n"
              R"(Exec="/opt/tab\there/q" "line\nbreak" plain)"
              "\n"
              R"(Path=\s/opt/x\\y)"
              "\nIcon=quillfen\n");
    const TRun run = Validate(file);
    EXPECT_EQ(run.status, 0) << run.output;

    // A plain target needs no quotes, and empty arguments add nothing.
    CreateShortcut("/usr/bin/quillfen", "", "", 0, file.string());
    EXPECT_EQ(ReadText(file),
              "[Desktop Entry]\nType=Application\nName=Quillfen\nExec=/usr/bin/quillfen\n"
              "Icon=quillfen\n");
}

TEST_F(ShortcutTest, CreatesMissingApplicationsFolder) {
    ASSERT_FALSE(fs::exists(Data()));
    CreateShortcut("/usr/bin/quillfen", "", "/usr/bin/", 9, "Quillfen.lnk");
    EXPECT_TRUE(fs::is_regular_file(Applications() / "Quillfen.desktop"));
    CreateShortcut("/usr/bin/quillfen", "", "/usr/bin/", 10, "Quillfen.lnk");
    EXPECT_TRUE(fs::is_regular_file(Config() / "autostart" / "Quillfen.desktop"));
    fs::remove_all(Config() / "autostart");
}

TEST_F(ShortcutTest, LinkNameIsTheWholePathOutsideTheFolderSelectors) {
    const fs::path out = g_root / "out";
    CreateShortcut("/usr/bin/quillfen", "", "", 0, (out / "A.LNK").string());
    CreateShortcut("/usr/bin/quillfen", "", "", 12, (out / "B").string());
    CreateShortcut("/usr/bin/quillfen", "", "", 255, (out / "sub/../C.desktop").string());
    auto names = Names(out);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"A.desktop", "B.desktop", "C.desktop"}));
}

TEST_F(ShortcutTest, RefusesUnknownFoldersAndTheRoot) {
    const std::pair<int, const char*> unknown[] = {
        {2, "Favorites"}, {4, "NetHood"}, {7, "Recent"}, {8, "SendTo"}};
    for (const auto& [selector, name] : unknown)
        ExpectError([&] { CreateShortcut("/usr/bin/quillfen", "", "", selector, "Quillfen.lnk"); },
                    std::string("Der Ordner \"") + name + "\" wurde nicht gefunden");
    const std::string root = "Wurzelverzeichnis";
    ExpectError([] { CreateShortcut("/usr/bin/quillfen", "", "", 0, "/Quillfen.lnk"); }, root);
    ExpectError([] { CreateShortcut("/usr/bin/quillfen", "", "", 200, "//x/../Quillfen.lnk"); },
                root);
    const fs::path toRoot = g_root / "out" / "toroot";
    fs::create_directory_symlink("/", toRoot);
    ExpectError([&] { CreateShortcut("/usr/bin/quillfen", "", "", 0, toRoot / "Quillfen.lnk"); },
                root);
    // Run from the root, a bare link name would land there as well.
    const fs::path here = fs::current_path();
    fs::current_path("/");
    ExpectError([] { CreateShortcut("/usr/bin/quillfen", "", "", 0, "Quillfen.lnk"); }, root);
    fs::current_path(here);
    EXPECT_FALSE(fs::exists("/Quillfen.desktop"));
    EXPECT_FALSE(fs::exists(Data()));
}

TEST_F(ShortcutTest, ReportsWhatCannotBeWritten) {
    const fs::path out = g_root / "out";
    const std::string cannot = "kann nicht erstellt werden";
    ExpectError([] { CreateShortcut("/usr/bin/quillfen", "", "", 0, ""); }, cannot);
    ExpectError([&] { CreateShortcut("/usr/bin/quillfen", "", "", 0, out.string() + "/"); },
                cannot);
    // The file's place is taken by a folder.
    fs::create_directory(out / "Busy.desktop");
    ExpectError([&] { CreateShortcut("/usr/bin/quillfen", "", "", 0, out / "Busy.lnk"); },
                "Datei " + (out / "Busy.desktop").string() + " " + cannot);
    // The folder's place is taken by a file.
    WriteText(out / "plain", "x");
    ExpectError([&] { CreateShortcut("/usr/bin/quillfen", "", "", 0, out / "plain/Q.lnk"); },
                "Ordner " + (out / "plain").string() + " " + cannot);
    // What a desktop entry cannot hold is refused rather than written broken.
    ExpectError([&] { CreateShortcut("/usr/bin/\x01q", "", "", 0, out / "Q.lnk"); }, cannot);
    ExpectError([&] { CreateShortcut("/usr/bin/q", "\xFF", "", 0, out / "Q.lnk"); }, cannot);
    ExpectError([&] { CreateShortcut("", "", "", 0, out / "Q.lnk"); }, cannot);
    EXPECT_FALSE(fs::exists(out / "Q.desktop"));
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    SetUpAccount();
    WindowsInfo();
    const int result = RUN_ALL_TESTS();
    std::error_code ec;
    fs::remove_all(g_root, ec);
    return result;
}
