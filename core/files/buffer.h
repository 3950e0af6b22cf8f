#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace quillfen {

// Progress of a long operation: position within 0 .. maximum.
using TProgress = std::function<void(std::size_t position, std::size_t maximum)>;

// Reads a whole regular file as bytes. Raises "Datei %s kann nicht geöffnet werden" when it
// cannot; a FIFO, device, socket or folder is refused at once, a file above 1 GiB before it is
// read, each with an error that says so (ReadFileStamped in filestamp.h also describes the file).
std::string ReadFileBytes(const std::string& path);

}  // namespace quillfen
