#pragma once

// Reading and writing test files byte for byte, by the same path names the window uses.

#include <QFile>
#include <QString>

#include <fstream>
#include <sstream>
#include <string>

namespace quillfen::uitest {

inline std::string ReadBytes(const QString& path) {
    std::ifstream in(QFile::encodeName(path).toStdString(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteBytes(const QString& path, const std::string& bytes) {
    std::ofstream out(QFile::encodeName(path).toStdString(), std::ios::binary | std::ios::trunc);
    out << bytes;
}

}  // namespace quillfen::uitest
