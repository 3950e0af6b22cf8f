// The shell folders from the user's Shell Folders registry key and shortcuts written by the
// shell link object. Built only on Windows, from the system headers alone.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The lines above must come first.
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <filesystem>
#include <string>

#include "core/errors.h"
#include "shell/linkpath.h"
#include "shell/wininfo.h"

namespace fs = std::filesystem;

namespace quillfen {

namespace {

constexpr const char* kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class TKey {
  public:
    TKey() = default;
    TKey(const TKey&) = delete;
    TKey& operator=(const TKey&) = delete;
    ~TKey() {
        if (handle) RegCloseKey(handle);
    }
    HKEY handle = nullptr;
};

template <typename T>
class TComPtr {
  public:
    TComPtr() = default;
    TComPtr(const TComPtr&) = delete;
    TComPtr& operator=(const TComPtr&) = delete;
    ~TComPtr() {
        if (p_) p_->Release();
    }
    void** Out() { return reinterpret_cast<void**>(&p_); }
    T* operator->() const { return p_; }

  private:
    T* p_ = nullptr;
};

bool IsUtf8(UINT codePage) {
    return codePage == CP_UTF8 || (codePage == CP_ACP && GetACP() == CP_UTF8);
}

bool Widen(const std::string& text, UINT codePage, std::wstring& wide) {
    wide.clear();
    if (text.empty()) return true;
    const int size = static_cast<int>(text.size());
    const int n =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (n <= 0) return false;
    wide.assign(static_cast<std::size_t>(n), L'\0');
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), n) ==
           n;
}

// Fails when a character has no form in the code page, rather than writing a '?' in its place.
bool Narrow(const std::wstring& wide, UINT codePage, std::string& text) {
    text.clear();
    if (wide.empty()) return true;
    const int size = static_cast<int>(wide.size());
    const bool utf8 = IsUtf8(codePage);
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = utf8 ? nullptr : &usedDefault;
    const int n =
        WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, used);
    if (n <= 0 || usedDefault) return false;
    text.assign(static_cast<std::size_t>(n), '\0');
    return WideCharToMultiByte(codePage, flags, wide.data(), size, text.data(), n, nullptr, used) ==
               n &&
           !usedDefault;
}

// The registry and the A interfaces speak the ANSI code page; the program speaks UTF-8.
bool AnsiToUtf8(const std::string& ansi, std::string& utf8) {
    std::wstring wide;
    return Widen(ansi, CP_ACP, wide) && Narrow(wide, CP_UTF8, utf8);
}

bool Utf8ToAnsi(const std::string& utf8, std::string& ansi) {
    std::wstring wide;
    return Widen(utf8, CP_UTF8, wide) && Narrow(wide, CP_ACP, ansi);
}

// A value that is missing, not a string or not readable leaves its folder unknown; the shortcut
// then reports the missing folder instead of the program failing before its window exists.
std::string ReadFolder(HKEY key, const char* name) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
    std::string value;
    for (;;) {
        value.assign(size, '\0');
        DWORD got = size;
        const LONG rc = RegQueryValueExA(key, name, nullptr, &type,
                                         reinterpret_cast<BYTE*>(value.data()), &got);
        if (rc == ERROR_MORE_DATA) {  // the value grew in between
            size = got;
            continue;
        }
        if (rc != ERROR_SUCCESS) return {};
        value.resize(got);
        break;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
    // A stored string need not end in a zero byte, and may end in several.
    value = value.substr(0, value.find('\0'));
    if (type == REG_EXPAND_SZ) {
        const DWORD n = ExpandEnvironmentStringsA(value.c_str(), nullptr, 0);
        if (n == 0) return {};
        std::string expanded(static_cast<std::size_t>(n) + 1, '\0');
        const DWORD m = ExpandEnvironmentStringsA(value.c_str(), expanded.data(), n + 1);
        if (m == 0 || m > n + 1) return {};
        value = expanded.substr(0, expanded.find('\0'));
    }
    std::string utf8;
    if (!AnsiToUtf8(value, utf8)) return {};
    return utf8;
}

TError ShellLinkError(const char* step, HRESULT result) {
    return ShellLinkUnavailableError(step, static_cast<unsigned long>(result));
}

}  // namespace

TWindowsInfo::TWindowsInfo() {
    TKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_READ, &key.handle) !=
        ERROR_SUCCESS) {
        key.handle = nullptr;
        return;
    }
    std::string TWindowsInfo::*const fields[11] = {
        &TWindowsInfo::Desktop, &TWindowsInfo::Favorites, &TWindowsInfo::Fonts,
        &TWindowsInfo::NetHood, &TWindowsInfo::Personal,  &TWindowsInfo::Programs,
        &TWindowsInfo::Recent,  &TWindowsInfo::SendTo,    &TWindowsInfo::StartMenu,
        &TWindowsInfo::Startup, &TWindowsInfo::Templates,
    };
    for (int i = 0; i < 11; ++i)
        this->*fields[i] = ReadFolder(key.handle, shell::FolderName(i + 1));
}

void CreateShortcut(const std::string& target, const std::string& arguments,
                    const std::string& workingDirectory, std::uint8_t folder,
                    const std::string& linkName) {
    const fs::path file = shell::ResolveLinkPath(WindowsInfo(), folder, linkName);
    const std::string shown = shell::Utf8FromPath(file);
    std::string ansiTarget;
    std::string ansiArguments;
    std::string ansiFolder;
    if (!Utf8ToAnsi(target, ansiTarget) || !Utf8ToAnsi(arguments, ansiArguments) ||
        !Utf8ToAnsi(workingDirectory, ansiFolder))
        throw CannotCreateError(shown);

    TComPtr<IShellLinkA> link;
    HRESULT result =
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                         IID_IShellLinkA, link.Out());
    if (FAILED(result)) throw ShellLinkError("IShellLinkA", result);
    TComPtr<IPersistFile> persist;
    result = link->QueryInterface(IID_IPersistFile, persist.Out());
    if (FAILED(result)) throw ShellLinkError("IPersistFile", result);

    if (FAILED(link->SetPath(ansiTarget.c_str())) ||
        FAILED(link->SetArguments(ansiArguments.c_str())) ||
        FAILED(link->SetWorkingDirectory(ansiFolder.c_str())))
        throw CannotCreateError(shown);

    // Saved beside the old link and moved over it, so that a failed save leaves the old one whole.
    const std::wstring name = file.wstring();
    const std::wstring temporary = name + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    result = persist->Save(temporary.c_str(), FALSE);
    if (FAILED(result) || !MoveFileExW(temporary.c_str(), name.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        throw CannotCreateError(shown);
    }
}

}  // namespace quillfen
