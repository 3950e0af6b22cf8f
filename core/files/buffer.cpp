#include "core/files/buffer.h"

#include "core/files/filestamp.h"

namespace quillfen {

std::string ReadFileBytes(const std::string& path) {
    return detail::ReadRegularFile(path, nullptr);
}

}  // namespace quillfen
