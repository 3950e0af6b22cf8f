#include "exchange/formats.h"

#include <array>

#include "exchange/po.h"
#include "exchange/textfile.h"
#ifdef QUILLFEN_XLIFF
#include "exchange/xliff.h"
#endif

namespace quillfen {

namespace {

// One line for each format.
constexpr std::array kFormats = {
    &kTextFileFormat,
#ifdef QUILLFEN_XLIFF
    &kXliffFormat,
#endif
    &kPoFormat,
};

}  // namespace

std::span<const TExchangeFormat* const> ExchangeFormats() { return kFormats; }

const TExchangeFormat& DefaultExchangeFormat() { return *kFormats.front(); }

const TExchangeFormat* FindExchangeFormat(std::string_view name) {
    for (const TExchangeFormat* format : kFormats)
        if (format->Name == name) return format;
    return nullptr;
}

const TExchangeFormat* FindTranslationFormat(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return nullptr;
    const std::string_view extension = path.substr(dot);
    for (const TExchangeFormat* format : kFormats) {
        if (!format->ReadTranslation) continue;
        const std::vector<std::string> files = format->Files("x", "");
        if (!files.empty() && files.back().ends_with(extension)) return format;
    }
    return nullptr;
}

}  // namespace quillfen
