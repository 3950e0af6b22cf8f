#include "exchange/translation.h"

#include <charconv>
#include <cstdio>

#include "core/filestamp.h"

namespace quillfen {

TSourceStamp StampOf(const TDocument& document) {
    // An unchanged document renders its bytes as read; only a changed one needs the render.
    const std::uint64_t hash =
        document.CanRevert() ? HashBytes(document.Render()) : HashBytes(document.Bytes());
    return {hash, document.Tags(), document.Units()};
}

std::string FormatSourceStamp(const TSourceStamp& stamp) {
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(stamp.Hash));
    return std::string("xxh64=") + hash + " tags=" + std::to_string(Bits(stamp.Tags)) +
           " units=" + (stamp.Units == TUnits::Sentences ? "sentences" : "runs");
}

std::optional<TSourceStamp> ParseSourceStamp(std::string_view text) {
    auto field = [&](std::string_view name) -> std::optional<std::string_view> {
        std::size_t at = 0;
        while ((at = text.find(name, at)) != std::string_view::npos) {
            if (at == 0 || text[at - 1] == ' ') {
                std::string_view value = text.substr(at + name.size());
                return value.substr(0, value.find(' '));
            }
            at += name.size();
        }
        return std::nullopt;
    };
    const auto hash = field("xxh64="), tags = field("tags="), units = field("units=");
    if (!hash || !tags || !units || hash->size() != 16) return std::nullopt;
    TSourceStamp stamp;
    unsigned bits = 0;
    if (std::from_chars(hash->data(), hash->data() + hash->size(), stamp.Hash, 16).ptr !=
            hash->data() + hash->size() ||
        std::from_chars(tags->data(), tags->data() + tags->size(), bits).ptr !=
            tags->data() + tags->size() ||
        bits > Bits(TTags::AllKinds))
        return std::nullopt;
    stamp.Tags = TTags(static_cast<std::uint8_t>(bits));
    if (*units == "sentences")
        stamp.Units = TUnits::Sentences;
    else if (*units != "runs")
        return std::nullopt;
    return stamp;
}

}  // namespace quillfen
