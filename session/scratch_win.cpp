#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <atomic>
#include <cerrno>
#include <filesystem>

#include "core/errors.h"
#include "session/roundtrip.h"

namespace quillfen {

std::string MakeScratchFolder() {
    // No mkdtemp here: a name another folder has taken is passed over.
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0;; ++attempt) {
        const std::filesystem::path folder =
            base / ("quillfen-check-" + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(counter++));
        const std::u8string name = folder.u8string();
        const std::string path(name.begin(), name.end());
        std::error_code ec;
        if (std::filesystem::create_directory(folder, ec)) return path;
        if (ec || attempt == 100) throw CannotCreateError(path, EEXIST);
    }
}

}  // namespace quillfen
