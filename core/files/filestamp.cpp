#include "core/files/filestamp.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/errors.h"

namespace quillfen {

namespace {

constexpr std::uint64_t Prime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t Prime2 = 0xC2B2AE3D27D4EB4Full;
constexpr std::uint64_t Prime3 = 0x165667B19E3779F9ull;
constexpr std::uint64_t Prime4 = 0x85EBCA77C2B2AE63ull;
constexpr std::uint64_t Prime5 = 0x27D4EB2F165667C5ull;

inline std::uint64_t Rotl(std::uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }

inline std::uint64_t Load64(const unsigned char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline std::uint32_t Load32(const unsigned char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline std::uint64_t Round(std::uint64_t acc, std::uint64_t input) {
    acc += input * Prime2;
    return Rotl(acc, 31) * Prime1;
}

inline std::uint64_t Merge(std::uint64_t acc, std::uint64_t value) {
    acc ^= Round(0, value);
    return acc * Prime1 + Prime4;
}

}  // namespace

std::uint64_t HashBytes(std::string_view bytes) {
    THasher hasher;
    hasher.Add(bytes);
    return hasher.Finish();
}

THasher::THasher() : v_{Prime1 + Prime2, Prime2, 0, 0 - Prime1} {}

void THasher::Add(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = p + bytes.size();
    total_ += bytes.size();
    auto stripe = [this](const unsigned char* q) {
        v_[0] = Round(v_[0], Load64(q));
        v_[1] = Round(v_[1], Load64(q + 8));
        v_[2] = Round(v_[2], Load64(q + 16));
        v_[3] = Round(v_[3], Load64(q + 24));
    };
    if (buffered_ > 0) {
        const std::size_t take = std::min<std::size_t>(32 - buffered_, bytes.size());
        std::memcpy(buffer_ + buffered_, p, take);
        buffered_ += take;
        p += take;
        if (buffered_ < 32) return;
        stripe(buffer_);
        buffered_ = 0;
    }
    for (; end - p >= 32; p += 32) stripe(p);
    std::memcpy(buffer_, p, static_cast<std::size_t>(end - p));
    buffered_ = static_cast<std::size_t>(end - p);
}

std::uint64_t THasher::Finish() const {
    std::uint64_t h;
    if (total_ >= 32) {
        h = Rotl(v_[0], 1) + Rotl(v_[1], 7) + Rotl(v_[2], 12) + Rotl(v_[3], 18);
        h = Merge(Merge(Merge(Merge(h, v_[0]), v_[1]), v_[2]), v_[3]);
    } else {
        h = Prime5;
    }
    h += total_;
    const unsigned char* p = buffer_;
    const unsigned char* const end = buffer_ + buffered_;
    for (; p + 8 <= end; p += 8) h = Rotl(h ^ Round(0, Load64(p)), 27) * Prime1 + Prime4;
    if (p + 4 <= end) {
        h = Rotl(h ^ (Load32(p) * Prime1), 23) * Prime2 + Prime3;
        p += 4;
    }
    for (; p < end; ++p) h = Rotl(h ^ (*p * Prime5), 11) * Prime1;
    h ^= h >> 33;
    h *= Prime2;
    h ^= h >> 29;
    h *= Prime3;
    h ^= h >> 32;
    return h;
}

bool detail::DiffersFrom(const std::string& path, TFileStamp now, const TFileStamp& stamp) {
    now.Hash = stamp.Hash;
    if (now == stamp) return false;
    if (now.Size != stamp.Size) return true;
    try {
        ReadRegularFile(path, &now);
        return now.Size != stamp.Size || now.Hash != stamp.Hash;
    } catch (const TError&) {
        return true;
    }
}

std::string ReadFileStamped(const std::string& path, TFileStamp& stamp) {
    return detail::ReadRegularFile(path, &stamp);
}
}  // namespace quillfen
