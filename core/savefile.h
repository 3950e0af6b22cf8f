#pragma once

#include <string>
#include <string_view>

#include "buffer.h"

namespace quillfen {

// Writes the file at path so that it is never left half-written: the bytes go into a temporary
// file in the same folder, which then replaces the old file. A failure leaves an existing file
// exactly as it was and raises "Datei %s kann nicht erstellt werden". An existing file keeps its
// permissions; a read-only file is refused; a symbolic link is written through to its target.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace quillfen
