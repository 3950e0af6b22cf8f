#include "core/files/linereader.h"

#include <algorithm>
#include <cstring>

namespace quillfen {

TLineReader::TLineReader(std::string_view data) : pos_(data.data()), end_(pos_ + data.size()) {}

const char* TLineReader::Find(char c, const char*& cached) const {
    if (cached == nullptr || (cached < pos_ && cached != end_)) {
        const void* hit = std::memchr(pos_, c, static_cast<std::size_t>(end_ - pos_));
        cached = hit ? static_cast<const char*>(hit) : end_;
    }
    return cached;
}

bool TLineReader::Next(std::string_view& line) {
    if (pos_ >= end_) return false;
    const char* stop = std::min(Find('\r', nextCr_), Find('\n', nextLf_));
    line = std::string_view(pos_, static_cast<std::size_t>(stop - pos_));
    if (stop == end_) {
        pos_ = end_;
    } else {
        pos_ = stop + 1;
        if (*stop == '\r' && pos_ < end_ && *pos_ == '\n') ++pos_;
    }
    return true;
}

}  // namespace quillfen
