#pragma once

#include <filesystem>

#include "tests/support/files.h"

namespace quillfen::testing {

inline std::filesystem::path DataDir() { return QUILLFEN_SOURCE_DIR "/tests/data/exchange"; }

}  // namespace quillfen::testing
