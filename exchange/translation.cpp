#include "exchange/translation.h"

#include <charconv>
#include <cstdio>

#include "core/files/filestamp.h"
#include "core/markup/tokenizer.h"
#include "core/text/ascii.h"
#include "core/text/encoding.h"

namespace quillfen {

namespace {

// The language of the page's root element: the lang (else the xml:lang) of its html start tag.
class TRootLanguage final : public TTokenSink {
  public:
    struct TFound {};
    void Text(std::size_t, std::size_t, TTextMode) override {}
    void Tag(const TTagToken& tag) override {
        if (tag.end || !tag.html || !EqualsNoCase(tag.name, "html")) return;
        ForEachAttribute(tag, [&](const TAttribute& a) {
            const bool plain = EqualsNoCase(a.name, "lang");
            if (plain || EqualsNoCase(a.name, "xml:lang")) {
                Language = a.value;
                if (plain) return false;
            }
            return true;
        });
        // The first html start tag gives the root its attributes; the rest need not be read.
        throw TFound{};
    }
    std::string_view Language;
};

std::string_view PageLanguageOf(std::string_view page) {
    TRootLanguage sink;
    try {
        Tokenize(page, sink);
    } catch (const TRootLanguage::TFound&) {
    }
    return sink.Language;
}

}  // namespace

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

std::size_t MaxTargetBytes(std::size_t sourceBytes) {
    constexpr std::size_t kGrowth = 16, kSlack = std::size_t{1} << 20;
    return sourceBytes > (static_cast<std::size_t>(-1) - kSlack) / kGrowth
               ? static_cast<std::size_t>(-1)
               : sourceBytes * kGrowth + kSlack;
}

TTranslationFile ReadAllUnits(TUnitReader& reader) {
    TTranslationFile file;
    file.Stamp = reader.Stamp();
    file.Original = reader.Original();
    for (TTranslationUnit unit; reader.Next(unit);) file.Units.push_back(std::move(unit));
    return file;
}

std::string ResTypeOf(TKind kind) {
    std::string type = std::string("x-") + KindInfo(kind).Name;
    for (char& c : type)
        if (c == ' ') c = '-';
    return type;
}

std::optional<TKind> KindNamed(std::string_view name) {
    // Asked for every unit of a merge: the restypes are made once.
    static const std::vector<std::string> types = [] {
        std::vector<std::string> made;
        for (const TKindInfo& kind : Kinds()) made.push_back(ResTypeOf(kind.Kind));
        return made;
    }();
    for (const TKindInfo& kind : Kinds())
        if ((name.size() == 1 && name[0] == kind.Letter) ||
            name == types[static_cast<std::size_t>(kind.Kind)])
            return kind.Kind;
    return std::nullopt;
}

std::string PageLanguage(const TDocument& document) {
    std::string_view language = PageLanguageOf(document.Page());
    while (!language.empty() && IsHtmlSpace(language.front())) language.remove_prefix(1);
    while (!language.empty() && IsHtmlSpace(language.back())) language.remove_suffix(1);
    return std::string(language);
}

std::optional<std::string> LanguageTag(std::string_view text) {
    while (!text.empty() && IsHtmlSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsHtmlSpace(text.back())) text.remove_suffix(1);
    // [a-zA-Z]{1,8}(-[a-zA-Z0-9]{1,8})*, the form XML Schema's language type takes, with the
    // case BCP 47 writes: language lower, script title, region upper (until a singleton).
    std::string tag;
    std::size_t subtag = 0;
    bool singleton = false;
    while (true) {
        std::size_t n = 0;
        while (n < text.size() && text[n] != '-' && text[n] != '_') ++n;
        std::string part(text.substr(0, n));
        if (part.empty() || part.size() > 8) return std::nullopt;
        for (char& c : part) {
            if (!IsAsciiLetter(c) && !(subtag > 0 && c >= '0' && c <= '9')) return std::nullopt;
            c = LowerAZ(c);
        }
        if (subtag > 0 && !singleton) {
            if (part.size() == 2) {
                for (char& c : part)
                    if (c >= 'a') c = static_cast<char>(c - 'a' + 'A');
            } else if (part.size() == 4 && part[0] >= 'a') {
                part[0] = static_cast<char>(part[0] - 'a' + 'A');
            }
        }
        if (subtag > 0 && part.size() == 1) singleton = true;
        if (subtag > 0) tag += '-';
        tag += part;
        ++subtag;
        if (n == text.size()) return tag;
        text.remove_prefix(n + 1);
    }
}

}  // namespace quillfen
