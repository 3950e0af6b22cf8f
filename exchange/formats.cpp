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

std::string TranslationExtension(const TExchangeFormat& format) {
    if (!format.ReadTranslation) return {};
    const std::vector<std::string> files = format.Files("x", "");
    if (files.empty()) return {};
    const std::size_t dot = files.back().rfind('.');
    return dot == std::string::npos ? std::string() : files.back().substr(dot);
}

const TExchangeFormat* FindTranslationFormat(std::string_view path) {
    for (const TExchangeFormat* format : kFormats) {
        const std::string extension = TranslationExtension(*format);
        if (!extension.empty() && path.ends_with(extension)) return format;
    }
    return nullptr;
}

}  // namespace quillfen
