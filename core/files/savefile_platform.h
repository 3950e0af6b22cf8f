#pragma once

// What the platform halves of the safe save (savefile_posix.cpp, savefile_win.cpp) share with the
// rest of it.

#include <string>
#include <string_view>

#include "core/files/filestamp.h"
#include "core/files/savefile.h"

namespace quillfen::detail {

// The hooks a save runs with: its options' own, else those of the innermost TSaveHooksScope.
const TSaveHooks& HooksOf(const TSaveOptions& options);

// Writes bytes to path the platform's safe way, filling written when given.
void WritePage(const std::string& path, const TPieces& bytes, TFileStamp* written,
               const TSaveOptions& options);
void WritePage(const std::string& path, std::string_view bytes, TFileStamp* written,
               const TSaveOptions& options);

}  // namespace quillfen::detail
