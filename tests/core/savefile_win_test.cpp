// Reading and saving pages on Windows: the replace call instead of rename, file attributes
// instead of modes, pipes and devices instead of FIFOs, UTF-8 paths for the system's UTF-16 ones.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>

#include "core/errors.h"
#include "core/files/savefile.h"

namespace quillfen {
namespace {

namespace fs = std::filesystem;

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path FromUtf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Put(const fs::path& p, std::string_view bytes) {
    std::ofstream(p, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
}

DWORD Attributes(const fs::path& p) { return GetFileAttributesW(p.c_str()); }

// 0 written, 1 refused with the file error, 2 refused for another cause than `cause`.
int Save(const std::string& page, std::string_view bytes, int cause = 0) {
    try {
        WriteFileAtomically(page, bytes);
        return 0;
    } catch (const TError& e) {
        return cause == 0 || e.Cause == cause ? 1 : 2;
    }
}

class SaveFile : public ::testing::Test {
  protected:
    void SetUp() override {
        static int counter = 0;
        Dir = fs::temp_directory_path() / ("qf-save-" + std::to_string(GetCurrentProcessId()) +
                                           "-" + std::to_string(counter++));
        ASSERT_TRUE(fs::create_directory(Dir)) << Dir;
    }
    void TearDown() override {
        for (const auto& e : fs::directory_iterator(Dir))
            SetFileAttributesW(e.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }
    // A page's path as the program takes it: UTF-8, with the system's backslashes.
    std::string Page(const std::string& name, std::string_view bytes = "<p>old</p>\r\n") const {
        const fs::path p = Dir / FromUtf8(name);
        Put(p, bytes);
        return Utf8(p);
    }
    // What the folder holds: no temporary file may stay behind.
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(Dir)) names.insert(Utf8(e.path().filename()));
        return names;
    }
    fs::path Dir;
};

TEST_F(SaveFile, ReadingRefusesWhatIsNoFileOnADiskAndHugeFilesUnread) {
    const std::string pipe = "\\\\.\\pipe\\quillfen-test-" + std::to_string(GetCurrentProcessId());
    // One instance for each of the two readers; each connects to one.
    HANDLE servers[2];
    for (HANDLE& server : servers) {
        server = CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE,
                                  PIPE_UNLIMITED_INSTANCES, 512, 512, 0, nullptr);
        ASSERT_NE(server, INVALID_HANDLE_VALUE);
    }
    fs::create_directory(Dir / "folder");
    const std::string big = Page("big.html", "");
    fs::resize_file(FromUtf8(big), MaxFileBytes + 1);
    const std::string notRegular = " (keine regul\xC3\xA4re Datei: ";
    const struct {
        std::string Path;
        std::string Reason;
    } cases[] = {{pipe, notRegular + "FIFO)"},
                 {"NUL", notRegular + "Zeichenger\xC3\xA4t)"},
                 {Utf8(Dir / "folder"), notRegular + "Ordner)"},
                 {Utf8(Dir) + "/folder/", notRegular + "Ordner)"},
                 {big,
                  " (gr\xC3\xB6\xC3\x9F"
                  "er als 1 GiB)"}};
    for (const auto& c : cases) {
        TFileStamp stamp;
        for (int stamped = 0; stamped < 2; ++stamped) {
            try {
                stamped ? ReadFileStamped(c.Path, stamp) : ReadFileBytes(c.Path);
                ADD_FAILURE() << c.Path << " was read";
            } catch (const TError& e) {
                EXPECT_EQ(e.what(), "Datei " + c.Path +
                                        " kann nicht ge\xC3\xB6"
                                        "ffnet werden" +
                                        c.Reason);
            }
        }
    }
    for (const HANDLE server : servers) CloseHandle(server);
    try {
        ReadFileBytes(Utf8(Dir / "missing.html"));
        ADD_FAILURE() << "a missing file was read";
    } catch (const TError& e) {
        EXPECT_EQ(e.Cause, ENOENT);
    }
}

// Paths in UTF-8 with characters of no ANSI code page, with either slash, relative, and beyond
// the 260 characters of MAX_PATH.
TEST_F(SaveFile, PathsAreUtf8AndMayBeLong) {
    const std::string wide =
        "Gr\xC3\xBC\xC3\x9F"
        "e-\xE6\x97\xA5\xE6\x9C\xAC.html";
    const std::string deep = std::string(120, 'd') + "\\" + std::string(120, 'e');
    // Made through the long form, since the C library's own calls stop at MAX_PATH.
    const std::wstring longDir = L"\\\\?\\" + Dir.wstring();
    ASSERT_TRUE(CreateDirectoryW((longDir + L"\\" + std::wstring(120, L'd')).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((longDir + L"\\" + FromUtf8(deep).wstring()).c_str(), nullptr));
    const fs::path here = fs::current_path();
    fs::current_path(Dir);
    const struct {
        std::string Path;
        fs::path OnDisk;
    } cases[] = {
        {Utf8(Dir / FromUtf8(wide)), Dir / FromUtf8(wide)},
        {Utf8(Dir) + "/forward/../slash.html", Dir / "slash.html"},
        {"relative.html", Dir / "relative.html"},
        {Utf8(Dir / FromUtf8(deep) / (std::string(200, 'n') + ".html")),
         Dir / FromUtf8(deep) / (std::string(200, 'n') + ".html")},
    };
    for (const auto& c : cases) {
        for (const char* bytes : {"first\r\n", "second, longer\r\n"}) {
            TFileStamp written, read;
            WriteFileAtomically(c.Path, bytes, written);
            EXPECT_EQ(ReadFileStamped(c.Path, read), bytes) << c.Path;
            EXPECT_EQ(written, read) << c.Path;
            EXPECT_FALSE(ChangedOnDisk(c.Path, written)) << c.Path;
        }
        EXPECT_EQ(GetFileAttributesW((L"\\\\?\\" + c.OnDisk.wstring()).c_str()),
                  DWORD{FILE_ATTRIBUTE_ARCHIVE})
            << c.Path;
    }
    fs::current_path(here);
    // The C library's own calls stop at MAX_PATH.
    DeleteFileW((L"\\\\?\\" + cases[3].OnDisk.wstring()).c_str());
    RemoveDirectoryW((longDir + L"\\" + FromUtf8(deep).wstring()).c_str());
    EXPECT_EQ(Names(),
              (std::set<std::string>{wide, "slash.html", "relative.html", std::string(120, 'd')}));
}

TEST_F(SaveFile, ChangedOnDiskCountsOnlyOtherBytes) {
    const std::string bytes = "<p>old</p>\r\n";
    const auto setTimes = [](const std::string& p, const FILETIME& time) {
        const HANDLE h = CreateFileW(FromUtf8(p).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
        SetFileTime(h, nullptr, nullptr, &time);
        CloseHandle(h);
    };
    const auto lastWrite = [](const std::string& p) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        GetFileAttributesExW(FromUtf8(p).c_str(), GetFileExInfoStandard, &data);
        return data.ftLastWriteTime;
    };
    const struct {
        const char* Name;
        std::function<void(const std::string&)> Change;
        bool Changed;
    } cases[] = {
        {"nothing", [](const std::string&) {}, false},
        {"touch",
         [&](const std::string& p) {
             FILETIME now;
             GetSystemTimeAsFileTime(&now);
             setTimes(p, now);
         },
         false},
        {"same bytes, new file",
         [&](const std::string& p) {
             Put(FromUtf8(p + ".new"), bytes);
             MoveFileExW(FromUtf8(p + ".new").c_str(), FromUtf8(p).c_str(),
                         MOVEFILE_REPLACE_EXISTING);
         },
         false},
        {"other size", [](const std::string& p) { Put(FromUtf8(p), "<p>longer</p>\r\n"); }, true},
        {"same size and time, other bytes",
         [&](const std::string& p) {
             const FILETIME before = lastWrite(p);
             Put(FromUtf8(p), "<p>new</p>\r\n");
             setTimes(p, before);
         },
         true},
        {"deleted", [](const std::string& p) { fs::remove(FromUtf8(p)); }, true},
        {"now a folder",
         [](const std::string& p) {
             fs::remove(FromUtf8(p));
             fs::create_directory(FromUtf8(p));
         },
         true},
    };
    for (const auto& c : cases) {
        const std::string page = Page("page.html", bytes);
        TFileStamp stamp;
        ASSERT_EQ(ReadFileStamped(page, stamp), bytes);
        BY_HANDLE_FILE_INFORMATION info{};
        const HANDLE h = CreateFileW(FromUtf8(page).c_str(), FILE_READ_ATTRIBUTES, 7, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
        GetFileInformationByHandle(h, &info);
        CloseHandle(h);
        EXPECT_EQ(stamp.Inode, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow);
        EXPECT_EQ(stamp.Device, info.dwVolumeSerialNumber);
        EXPECT_EQ(stamp.Hash, HashBytes(bytes));
        c.Change(page);
        EXPECT_EQ(ChangedOnDisk(page, stamp), c.Changed) << c.Name;
        fs::remove_all(FromUtf8(page));
    }
}

TEST_F(SaveFile, SavingReplacesTheFileAndKeepsItsAttributes) {
    const struct {
        const char* Name;
        DWORD Attributes;
    } cases[] = {
        {"plain.html", FILE_ATTRIBUTE_ARCHIVE},
        {"hidden.html", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
        {"system.html", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN},
    };
    std::set<std::string> names;
    for (const auto& c : cases) {
        const std::string page = Page(c.Name);
        ASSERT_TRUE(SetFileAttributesW(FromUtf8(page).c_str(), c.Attributes));
        // A reader that lets others delete, as editors do, does not stop the save and keeps
        // reading the old file.
        const HANDLE reader = CreateFileW(FromUtf8(page).c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(reader, INVALID_HANDLE_VALUE);
        WriteFileAtomically(page, "<p>new</p>\r\n");
        char old[32] = {};
        DWORD got = 0;
        ReadFile(reader, old, sizeof old, &got, nullptr);
        CloseHandle(reader);
        EXPECT_EQ(std::string(old, got), "<p>old</p>\r\n") << c.Name;
        EXPECT_EQ(Slurp(FromUtf8(page)), "<p>new</p>\r\n") << c.Name;
        // Changed, the file is to be backed up again.
        EXPECT_EQ(Attributes(FromUtf8(page)), c.Attributes | FILE_ATTRIBUTE_ARCHIVE) << c.Name;
        EXPECT_FALSE(FindCrashBackup(page)) << c.Name;
        names.insert(c.Name);
    }
    // A new page gets the attributes of a new file, not those of its temporary name.
    const std::string fresh = Utf8(Dir / "new.html");
    WriteFileAtomically(fresh, "<p>new</p>\r\n");
    EXPECT_EQ(Attributes(FromUtf8(fresh)) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY), 0u);
    names.insert("new.html");
    EXPECT_EQ(Names(), names);
}

TEST_F(SaveFile, FailuresLeaveThePageAndNoTemporaryFile) {
    const std::string readOnly = Page("read-only.html"), locked = Page("locked.html");
    ASSERT_TRUE(SetFileAttributesW(FromUtf8(readOnly).c_str(),
                                   FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    fs::create_directory(Dir / "folder");
    // A program holding the page open without letting others delete it.
    const HANDLE holder = CreateFileW(FromUtf8(locked).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    // What is no file on a disk is refused by its kind.
    const std::string notRegular = " (keine regul\xC3\xA4re Datei: ";
    const struct {
        std::string Path;
        int Cause;
        std::string Reason;
    } cases[] = {
        {readOnly, EACCES, ""},
        {locked, 0, ""},
        {Utf8(Dir / "missing" / "page.html"), ENOENT, ""},
        {Utf8(Dir / "folder"), 0, notRegular + "Ordner)"},
        {"NUL", 0, notRegular + "Zeichenger\xC3\xA4t)"},
        {"", ENOENT, ""},
        {"bad-\xFF.html", EINVAL, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Save(c.Path, "new", c.Cause), 1) << c.Path;
        try {
            WriteFileAtomically(c.Path, "new");
        } catch (const TError& e) {
            // A page that is there could not be written; the others could not be created.
            const char* verb = c.Path == readOnly ? " kann nicht geschrieben werden"
                                                  : " kann nicht erstellt werden";
            EXPECT_EQ(e.what(), "Datei " + c.Path + verb + c.Reason);
        }
    }
    CloseHandle(holder);
    EXPECT_EQ(Slurp(FromUtf8(readOnly)), "<p>old</p>\r\n");
    EXPECT_EQ(Attributes(FromUtf8(readOnly)),
              DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE});
    EXPECT_EQ(Slurp(FromUtf8(locked)), "<p>old</p>\r\n");
    EXPECT_EQ(Names(), (std::set<std::string>{"folder", "locked.html", "read-only.html"}));
}

}  // namespace
}  // namespace quillfen
