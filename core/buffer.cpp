#include "core/buffer.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <type_traits>

#include "core/errors.h"
#include "core/filestamp.h"

namespace quillfen {

TLineViews SplitLineViews(std::string_view data) {
    if (const void* nul = std::memchr(data.data(), '\0', data.size()))
        data = data.substr(0, static_cast<const char*>(nul) - data.data());
    TLineViews lines;
    const char* p = data.data();
    const char* const end = p + data.size();
    const char* lf = nullptr;
    while (p < end) {
        // The next LF is looked for again only once it is behind us: a file of CR-only breaks
        // would otherwise be searched to its end for every line.
        if (!lf || (lf != end && lf < p)) {
            lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
            if (!lf) lf = end;
        }
        const char* limit = lf;
        const char* cr = static_cast<const char*>(std::memchr(p, '\r', limit - p));
        const char* e = cr ? cr : limit;
        lines.emplace_back(p, static_cast<std::size_t>(e - p));
        if (e == end) break;
        p = e + ((*e == '\r' && e + 1 < end && e[1] == '\n') ? 2 : 1);
    }
    return lines;
}

TLines SplitLines(std::string_view data) {
    TLineViews views = SplitLineViews(data);
    return TLines(views.begin(), views.end());
}

std::string ReadFileBytes(const std::string& path) {
    return detail::ReadRegularFile(path, nullptr);
}

namespace {

template <typename Lines>
void TrimLines(Lines& lines, const TProgress& progress) {
    const std::size_t total = lines.size();
    const std::size_t maximum = total ? 2 * (total - 1) : 0;
    const std::size_t step = total / 256 + 1;
    std::size_t w = 0;
    for (std::size_t r = 0; r < total; ++r) {
        if (progress && r % step == 0) progress(r, maximum);
        auto& line = lines[r];
        if (line.empty()) continue;
        std::size_t k = 0;
        while (k < line.size() && static_cast<unsigned char>(line[k]) <= 32) ++k;
        if constexpr (std::is_same_v<typename Lines::value_type, std::string>) {
            if (k) line.erase(0, k);
        } else {
            line.remove_prefix(k);
        }
        if (w != r) lines[w] = std::move(line);
        ++w;
    }
    lines.resize(w);
}

}  // namespace

void TrimPass(TLines& lines, const TProgress& progress) { TrimLines(lines, progress); }
void TrimPass(TLineViews& lines, const TProgress& progress) { TrimLines(lines, progress); }

}  // namespace quillfen
