#include "core/savefile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/savefile_platform.h"

namespace quillfen {

namespace {

thread_local const TSaveHooks* ScopedHooks = nullptr;

}  // namespace

const TSaveHooks& detail::HooksOf(const TSaveOptions& options) {
    static const TSaveHooks none;
    return options.Hooks ? *options.Hooks : ScopedHooks ? *ScopedHooks : none;
}

TSaveHooksScope::TSaveHooksScope(const TSaveHooks& hooks) : previous_(ScopedHooks) {
    ScopedHooks = &hooks;
}

TSaveHooksScope::~TSaveHooksScope() { ScopedHooks = previous_; }

bool TPieces::ForEach(std::size_t from, std::size_t length,
                      const std::function<bool(std::string_view)>& f) const {
    for (std::string_view piece : pieces_) {
        if (length == 0) break;
        if (from >= piece.size()) {
            from -= piece.size();
            continue;
        }
        const std::string_view part = piece.substr(from, length);
        from = 0;
        length -= part.size();
        if (!f(part)) return false;
    }
    return true;
}

std::uint64_t TPieces::Hash(std::size_t from, std::size_t length) const {
    THasher hasher;
    ForEach(from, length, [&](std::string_view part) {
        hasher.Add(part);
        return true;
    });
    return hasher.Finish();
}

std::string TPieces::Joined() const {
    std::string out;
    out.reserve(size_);
    for (std::string_view piece : pieces_) out += piece;
    return out;
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    detail::WritePage(path, bytes, nullptr, {});
}

void WriteFileAtomically(const std::string& path, const TPieces& bytes, TFileStamp& written,
                         const TSaveOptions& options) {
    detail::WritePage(path, bytes, &written, options);
}

void WriteFileAtomically(const std::string& path, std::string_view bytes, TFileStamp& written,
                         const TSaveOptions& options) {
    detail::WritePage(path, bytes, &written, options);
}

}  // namespace quillfen
