#include "shell/wininfo.h"

#include <system_error>

#include "core/errors.h"
#include "shell/linkpath.h"

namespace fs = std::filesystem;

namespace quillfen {

namespace {

constexpr const char* kFolderNames[11] = {
    "Desktop", "Favorites", "Fonts",      "NetHood", "Personal",  "Programs",
    "Recent",  "SendTo",    "Start Menu", "Startup", "Templates",
};

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

bool IsRoot(const fs::path& folder) { return !folder.empty() && folder.relative_path().empty(); }

}  // namespace

const std::string& TWindowsInfo::Folder(int selector) const {
    static const std::string none;
    switch (selector) {
        case 1:
            return Desktop;
        case 2:
            return Favorites;
        case 3:
            return Fonts;
        case 4:
            return NetHood;
        case 5:
            return Personal;
        case 6:
            return Programs;
        case 7:
            return Recent;
        case 8:
            return SendTo;
        case 9:
            return StartMenu;
        case 10:
            return Startup;
        case 11:
            return Templates;
        default:
            return none;
    }
}

TWindowsInfo& WindowsInfo() {
    static TWindowsInfo info;
    return info;
}

namespace shell {

const char* FolderName(int selector) {
    return selector >= 1 && selector <= 11 ? kFolderNames[selector - 1] : "";
}

// The program's strings are UTF-8, while a narrow path on Windows would be read in the ANSI code
// page; going through char8_t keeps umlauts intact on both.
fs::path PathFromUtf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8FromPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path ResolveLinkPath(const TWindowsInfo& info, int selector, const std::string& linkName) {
    std::string text = linkName;
    if (selector >= 1 && selector <= 11) {
        const std::string& folder = info.Folder(selector);
        // Without its folder the link would land in the root of the current drive.
        if (folder.empty()) throw FolderNotFoundError(FolderName(selector));
        text = folder;
        if (text.back() != kSeparator && text.back() != '/') text += kSeparator;
        text += linkName;
    }
    if (linkName.empty()) throw CannotCreateError(text);

    std::error_code ec;
    fs::path full = fs::absolute(PathFromUtf8(text), ec);
    if (ec) throw CannotCreateError(text);
    full = full.lexically_normal();
    if (!full.has_filename()) throw CannotCreateError(text);

    const fs::path folder = full.parent_path();
    // A folder that is a link to the root counts as the root as well.
    const fs::path real = fs::weakly_canonical(folder, ec);
    if (IsRoot(folder) || (!ec && IsRoot(real))) throw LinkInRootError(Utf8FromPath(full));
    return full;
}

}  // namespace shell

}  // namespace quillfen
