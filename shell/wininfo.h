#pragma once

#include <cstdint>
#include <string>

namespace quillfen {

// The user's special shell folders, read once when the object is made and never refreshed.
// Paths are UTF-8; a folder the system does not know stays empty.
class TWindowsInfo {
  public:
    TWindowsInfo();

    std::string Desktop, Favorites, Fonts, NetHood, Personal, Programs, Recent, SendTo, StartMenu,
        Startup, Templates;

    // Selector 1 to 11 names the fields in the order above; any other selector gives an empty
    // string.
    const std::string& Folder(int selector) const;
};

// The single instance, made on the first call; the program calls it at start-up so that the
// folders are those of the moment it started.
TWindowsInfo& WindowsInfo();

// Writes a shortcut named linkName that starts target with arguments in workingDirectory into
// the shell folder numbered folder (1 to 11, as TWindowsInfo::Folder); with any other folder the
// link name is the whole path. An existing shortcut of that name is replaced. Raises TError when
// the folder is unknown, when the shortcut would land in the root of a drive or file system, and
// when it cannot be written.
void CreateShortcut(const std::string& target, const std::string& arguments,
                    const std::string& workingDirectory, std::uint8_t folder,
                    const std::string& linkName);

}  // namespace quillfen
