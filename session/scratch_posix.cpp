#include <stdlib.h>

#include <cerrno>
#include <filesystem>

#include "core/errors.h"
#include "session/roundtrip.h"

namespace quillfen {

std::string MakeScratchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quillfen-check-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw CannotCreateError(pattern, errno);
    return pattern;
}

}  // namespace quillfen
