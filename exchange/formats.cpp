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

std::vector<std::string> FileExtensions(const TExchangeFormat& format) {
    std::vector<std::string> extensions;
    for (const std::string& file : format.Files("x", "")) {
        const std::size_t dot = file.rfind('.');
        extensions.push_back(dot == std::string::npos ? std::string() : file.substr(dot));
    }
    return extensions;
}

std::string TranslationExtension(const TExchangeFormat& format) {
    if (!format.ReadTranslation) return {};
    const std::vector<std::string> extensions = FileExtensions(format);
    return extensions.empty() ? std::string() : extensions.back();
}

const TExchangeFormat* FindTranslationFormat(std::string_view path) {
    for (const TExchangeFormat* format : kFormats) {
        const std::string extension = TranslationExtension(*format);
        if (!extension.empty() && path.ends_with(extension)) return format;
    }
    return nullptr;
}

}  // namespace quillfen
