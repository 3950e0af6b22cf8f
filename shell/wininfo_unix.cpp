// The shell folders and shortcuts of a freedesktop desktop: the folders follow the XDG base and
// user directories, and a shortcut is a desktop entry file.

#include <QByteArray>
#include <QStandardPaths>
#include <QString>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/errors.h"
#include "core/files/savefile.h"
#include "shell/linkpath.h"
#include "shell/wininfo.h"

namespace fs = std::filesystem;

namespace quillfen {

namespace {

std::string Location(QStandardPaths::StandardLocation location) {
    return QStandardPaths::writableLocation(location).toStdString();
}

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
    if (text.size() < tail.size()) return false;
    text.remove_prefix(text.size() - tail.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != tail[i]) return false;
    }
    return true;
}

// A desktop only looks at entries named *.desktop, so the program's "Quillfen.lnk" becomes
// "Quillfen.desktop".
std::string DesktopFileName(const std::string& linkName) {
    if (linkName.empty() || linkName.back() == '/') return linkName;
    if (EndsWithNoCase(linkName, ".lnk"))
        return linkName.substr(0, linkName.size() - 4) + ".desktop";
    if (EndsWithNoCase(linkName, ".desktop")) return linkName;
    return linkName + ".desktop";
}

// The arguments come as one command line; blanks separate them, double quotes group blanks into
// one argument, and \" stands for a quote inside it.
std::vector<std::string> SplitArguments(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool inQuotes = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\' && i + 1 < line.size() && line[i + 1] == '"') {
            word += '"';
            inWord = true;
            ++i;
        } else if (c == '"') {
            inQuotes = !inQuotes;
            inWord = true;
        } else if (!inQuotes && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

// One argument of an Exec line by the desktop entry quoting rules: quoted when it holds a
// reserved character, with ", `, $ and \ escaped inside the quotes; % is always doubled, as a
// single one would start a field code.
std::string QuoteArgument(std::string_view word) {
    constexpr std::string_view kReserved = " \t\n\r\"'\\><~|&;$*?#()`";
    const bool quote = word.empty() || word.find_first_of(kReserved) != std::string_view::npos;
    std::string out;
    if (quote) out += '"';
    for (const char c : word) {
        if (c == '%') {
            out += "%%";
            continue;
        }
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
        out += c;
    }
    if (quote) out += '"';
    return out;
}

// The escapes of a desktop entry string value; this comes after the quoting of Exec, so a
// backslash escaped there is doubled once more.
std::string EncodeValue(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            // Blanks at the start of a value would be trimmed away by the reader.
            case ' ':
                out += i == 0 ? "\\s" : " ";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// A desktop entry must be UTF-8 and can hold no other control characters than those EncodeValue
// escapes.
bool Writable(const std::string& text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\n' && c != '\t' && c != '\r') || u == 0x7F) return false;
    }
    const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

std::string DesktopEntry(const std::string& target, const std::string& arguments,
                         const std::string& workingDirectory) {
    std::string exec = QuoteArgument(target);
    for (const std::string& word : SplitArguments(arguments)) exec += ' ' + QuoteArgument(word);

    std::string entry = "[Desktop Entry]\nType=Application\nName=Quillfen\n";
    entry += "Exec=" + EncodeValue(exec) + '\n';
    if (!workingDirectory.empty()) entry += "Path=" + EncodeValue(workingDirectory) + '\n';
    entry += "Icon=quillfen\n";
    return entry;
}

}  // namespace

TWindowsInfo::TWindowsInfo() {
    Desktop = Location(QStandardPaths::DesktopLocation);
    Fonts = Location(QStandardPaths::FontsLocation);
    Personal = Location(QStandardPaths::DocumentsLocation);
    // The user's applications folder is both the Start menu and its Programs.
    Programs = Location(QStandardPaths::ApplicationsLocation);
    StartMenu = Programs;
    const std::string config = Location(QStandardPaths::GenericConfigLocation);
    if (!config.empty()) Startup = config + "/autostart";
    Templates = Location(QStandardPaths::TemplatesLocation);
    // Favorites, NetHood, Recent and SendTo have no counterpart here and stay empty.
}

void CreateShortcut(const std::string& target, const std::string& arguments,
                    const std::string& workingDirectory, std::uint8_t folder,
                    const std::string& linkName) {
    const fs::path file = shell::ResolveLinkPath(WindowsInfo(), folder, DesktopFileName(linkName));
    const std::string path = file.string();
    if (target.empty() || !Writable(target) || !Writable(arguments) || !Writable(workingDirectory))
        throw CannotCreateError(path);
    const std::string entry = DesktopEntry(target, arguments, workingDirectory);

    // A fresh account often has no applications folder yet.
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (ec) throw CannotCreateFolderError(file.parent_path().string());
    WriteFileAtomically(path, entry);
}

}  // namespace quillfen
