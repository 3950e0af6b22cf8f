#include "core/files/savefile.h"

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
#include "core/files/savefile_platform.h"

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

std::size_t TPieces::Size() const {
    if (!producer_ || sized_) return size_;
    ForEach(0, std::string_view::npos, [](std::string_view) { return true; });
    return size_;
}

bool TPieces::ForEach(std::size_t from, std::size_t length,
                      const std::function<bool(std::string_view)>& f) const {
    if (!producer_) {
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
    // Writes read on from where the last stopped; only a look back starts the producer again.
    if (!started_ || from < partAt_) {
        producer_->Restart();
        started_ = true;
        ended_ = false;
        part_ = {};
        partAt_ = 0;
        hasher_.emplace();
    }
    while (length > 0) {
        if (from >= partAt_ + part_.size()) {
            if (ended_) break;
            partAt_ += part_.size();
            if (producer_->Next(part_)) {
                if (hasher_) hasher_->Add(part_);
                continue;
            }
            part_ = {};
            ended_ = true;
            if (hasher_ && !sized_) {
                size_ = partAt_;
                hash_ = hasher_->Finish();
                sized_ = true;
            }
            hasher_.reset();
            continue;
        }
        const std::string_view part = part_.substr(from - partAt_, length);
        from += part.size();
        length -= part.size();
        if (!f(part)) return false;
    }
    return true;
}

std::uint64_t TPieces::Hash(std::size_t from, std::size_t length) const {
    if (producer_ && from == 0 && length >= Size()) return hash_;
    THasher hasher;
    ForEach(from, length, [&](std::string_view part) {
        hasher.Add(part);
        return true;
    });
    return hasher.Finish();
}

std::string TPieces::Joined() const {
    std::string out;
    out.reserve(Size());
    ForEach(0, std::string_view::npos, [&](std::string_view part) {
        out += part;
        return true;
    });
    return out;
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    detail::WritePage(path, bytes, nullptr, {});
}

void WriteFileAtomically(const std::string& path, const TPieces& bytes) {
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
