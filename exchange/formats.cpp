#include "exchange/formats.h"

#include <array>

#include "exchange/textfile.h"

namespace quillfen {

namespace {

// One line for each format.
constexpr std::array kFormats = {
    &kTextFileFormat,
};

}  // namespace

std::span<const TExchangeFormat* const> ExchangeFormats() { return kFormats; }

const TExchangeFormat& DefaultExchangeFormat() { return *kFormats.front(); }

const TExchangeFormat* FindExchangeFormat(std::string_view name) {
    for (const TExchangeFormat* format : kFormats)
        if (format->Name == name) return format;
    return nullptr;
}

}  // namespace quillfen
