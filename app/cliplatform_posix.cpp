#include <stdlib.h>

#include <cerrno>
#include <filesystem>

#include "app/cliplatform.h"
#include "core/errors.h"

namespace quillfen {

std::string MakeScratchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quillfen-check-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw CannotCreateError(pattern, errno);
    return pattern;
}

// The arguments are bytes already, and paths are bytes: nothing to do.
void PrepareCommandLine(int&, char**&, std::vector<std::string>&, std::vector<char*>&) {}

}  // namespace quillfen
