#pragma once

// Files for tests: bytes read and written as they are, a folder of its own per test, the
// real-page corpus.

#include <stdlib.h>
#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillfen::testing {

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("missing test file " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write test file " + path.string());
}

// The real pages of the corpus in tests/data/pages (not those in its subfolders), sorted by
// name.
inline std::vector<std::filesystem::path> CorpusPages() {
    std::vector<std::filesystem::path> pages;
    for (const auto& entry :
         std::filesystem::directory_iterator(QUILLFEN_SOURCE_DIR "/tests/data/pages"))
        if (entry.is_regular_file() && entry.path().extension().string().starts_with(".htm"))
            pages.push_back(entry.path());
    std::sort(pages.begin(), pages.end());
    return pages;
}

// A fresh folder for one test, removed with everything in it afterwards.
class TTempDir {
  public:
    TTempDir() {
#ifdef _WIN32
        // No mkdtemp here: a name another folder has taken is passed over.
        static unsigned counter = 0;
        for (int attempt = 0;; ++attempt) {
            path_ = std::filesystem::temp_directory_path() /
                    ("qfx-" + std::to_string(::_getpid()) + "-" + std::to_string(counter++));
            if (std::filesystem::create_directory(path_)) break;
            if (attempt == 100) throw std::runtime_error("no fresh temporary folder");
        }
#else
        std::string pattern = (std::filesystem::temp_directory_path() / "qfx-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
#endif
    }
    ~TTempDir() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(std::string_view name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

// The names of the entries in a folder, as a sorted list joined by blanks.
inline std::string Listing(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : " ") + n;
    return out;
}

}  // namespace quillfen::testing
