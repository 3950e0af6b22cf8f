#include "buffer.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "errors.h"

namespace quillfen {

TLines SplitLines(std::string_view data) {
    if (const void* nul = std::memchr(data.data(), '\0', data.size()))
        data = data.substr(0, static_cast<const char*>(nul) - data.data());
    TLines lines;
    std::size_t start = 0;
    const std::size_t n = data.size();
    while (start < n) {
        std::size_t end = start;
        while (end < n && data[end] != '\r' && data[end] != '\n') ++end;
        lines.emplace_back(data.substr(start, end - start));
        if (end == n) break;
        start = end + ((data[end] == '\r' && end + 1 < n && data[end + 1] == '\n') ? 2 : 1);
    }
    return lines;
}

std::string ReadFileBytes(const std::string& path) {
    std::error_code ec;
    if (path.empty() || std::filesystem::is_directory(path, ec)) throw CannotOpenError(path);
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) throw CannotOpenError(path);
    std::string data;
    char chunk[1 << 16];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) data.append(chunk, got);
    if (std::ferror(f.get())) throw CannotOpenError(path);
    return data;
}

void TrimPass(TLines& lines, const TProgress& progress) {
    const std::size_t total = lines.size();
    const std::size_t maximum = total ? 2 * (total - 1) : 0;
    const std::size_t step = total / 256 + 1;
    std::size_t w = 0;
    for (std::size_t r = 0; r < total; ++r) {
        if (progress && r % step == 0) progress(r, maximum);
        std::string& line = lines[r];
        if (line.empty()) continue;
        std::size_t k = 0;
        while (k < line.size() && static_cast<unsigned char>(line[k]) <= 32) ++k;
        if (k) line.erase(0, k);
        if (w != r) lines[w] = std::move(line);
        ++w;
    }
    lines.resize(w);
}

}  // namespace quillfen
