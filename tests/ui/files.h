#pragma once

// The shared test files' bytes, by the QString paths the windows use.

#include <QFile>
#include <QString>
#include <string>
#include <string_view>

#include "tests/support/files.h"

namespace quillfen::uitest {

inline std::string ReadBytes(const QString& path) {
    return testing::ReadBytes(QFile::encodeName(path).toStdString());
}

inline void WriteBytes(const QString& path, std::string_view bytes) {
    testing::WriteBytes(QFile::encodeName(path).toStdString(), bytes);
}

}  // namespace quillfen::uitest
