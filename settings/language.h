#pragma once

#include <cstdint>
#include <optional>

namespace quillfen {

// The interface language. Its value is the base of its string ids (an entry's German text has
// the English id + 100), and it is the number the settings store keeps.
enum class TLanguage : std::uint16_t { English = 0, German = 100 };

constexpr int StringBase(TLanguage language) { return static_cast<int>(language); }

// The language whose string ids start at base; none for any other number, which would leave
// every caption empty.
constexpr std::optional<TLanguage> LanguageOfBase(std::uint32_t base) {
    if (base == StringBase(TLanguage::English)) return TLanguage::English;
    if (base == StringBase(TLanguage::German)) return TLanguage::German;
    return std::nullopt;
}

}  // namespace quillfen
