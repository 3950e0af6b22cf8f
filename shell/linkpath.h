#pragma once

// Shared between the platform sources of the shell module; free of any toolkit so that every
// platform can build it.

#include <filesystem>
#include <string>

#include "shell/wininfo.h"

namespace quillfen::shell {

// The name of the shell folder numbered selector (1 to 11), as the registry calls it.
const char* FolderName(int selector);

std::filesystem::path PathFromUtf8(const std::string& text);
std::string Utf8FromPath(const std::filesystem::path& path);

// The absolute path of the shortcut file: the folder's path, a separator and the link name, or
// for a selector outside 1 to 11 the link name alone. Refuses an unknown folder, a name without
// a file part and any path whose folder is the root of a drive or file system.
std::filesystem::path ResolveLinkPath(const TWindowsInfo& info, int selector,
                                      const std::string& linkName);

}  // namespace quillfen::shell
