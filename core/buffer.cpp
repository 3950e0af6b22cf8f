#include "core/buffer.h"

#include "core/filestamp.h"

namespace quillfen {

std::string ReadFileBytes(const std::string& path) {
    return detail::ReadRegularFile(path, nullptr);
}

}  // namespace quillfen
