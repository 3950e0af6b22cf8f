#include "core/markup/kinds.h"

#include <algorithm>
#include <string>

#include "core/tags.h"
#include "core/text/ascii.h"

namespace quillfen {

bool TTagView::Has(std::string_view lowerName) const {
    for (const TAttribute& a : attributes)
        if (EqualsNoCase(a.name, lowerName)) return true;
    return false;
}

namespace {

bool IsEdge(char c) { return static_cast<unsigned char>(c) <= 32; }

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsEdge(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsEdge(s.back())) s.remove_suffix(1);
    return s;
}

// Meta names whose content programs read: translating it changes what the page does.
bool IsMachineReadMetaName(std::string_view name) {
    std::string n(Trim(name));
    for (char& c : n) c = LowerAZ(c);
    for (std::string_view exact : {"viewport", "robots", "referrer", "theme-color", "color-scheme",
                                   "format-detection", "generator", "og:url"})
        if (n == exact) return true;
    for (std::string_view prefix :
         {"og:image", "twitter:image", "msapplication-", "apple-mobile-web-app-"})
        if (StartsWith(n, prefix)) return true;
    for (std::string_view suffix : {":published_time", ":modified_time", "-verification"})
        if (EndsWith(n, suffix)) return true;
    return false;
}

bool IsSchemeCharacter(char c) {
    return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

bool IsAsciiSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

// The scheme a value starts with by the URL Standard's rule (an ASCII letter, then letters,
// digits, '+', '-' and '.', ended by ':'), without its ':'; empty if none.
std::string_view SchemeOf(std::string_view value) {
    if (value.empty() || !IsAsciiLetter(value[0])) return {};
    std::size_t i = 1;
    while (i < value.size() && IsSchemeCharacter(value[i])) ++i;
    return i < value.size() && value[i] == ':' ? value.substr(0, i) : std::string_view{};
}

// An address with an authority: "scheme://..." or "//...".
bool IsNetworkUrl(std::string_view value) {
    value = Trim(value);
    if (StartsWith(value, "//")) return true;
    const std::string_view scheme = SchemeOf(value);
    return !scheme.empty() && value.substr(scheme.size(), 3) == "://";
}

// Schemes whose addresses often hold blanks (a subject, a number in groups, a script, data).
bool IsFollowedScheme(std::string_view scheme) {
    for (std::string_view known : {"mailto", "tel", "sms", "callto", "javascript", "data"})
        if (EqualsNoCase(scheme, known)) return true;
    return false;
}

// Any value a browser would follow as a URL, by the URL Standard's scheme rule: "mailto:",
// "tel:", "data:", "javascript:" as well as "https://". Since "Note" is as good a scheme as
// "mailto", a label followed by text ("Note: read this", "Tel: 0123 456", "Warning:") stays text:
// a value with a scheme is a URL where it holds no blank at all (a translator's text holds
// words), or where a scheme of the list above is followed at once by its address
// ("tel:+49 30 1234", "mailto:a@b.example?subject=Hello there").
bool IsUrl(std::string_view value) {
    value = Trim(value);
    if (IsNetworkUrl(value)) return true;
    const std::string_view scheme = SchemeOf(value);
    if (scheme.empty() || scheme.size() + 1 == value.size()) return false;
    if (std::none_of(value.begin(), value.end(), IsAsciiSpace)) return true;
    return IsFollowedScheme(scheme) && !IsAsciiSpace(value[scheme.size() + 1]);
}

// --- the rules of the kinds read from attributes ------------------------------------------------

constexpr std::string_view kAlt[] = {"alt"};

constexpr std::string_view kContent[] = {"content"};

// A content value is a text for readers, unless an alt of the same tag is taken instead (an alt
// decides even when it is empty), a program reads it (a meta's http-equiv or charset, a
// machine-read name such as viewport or robots), or it is a URL with "//". Values of other
// schemes stay phrases, as they always were: text files exported with header content keep the
// numbers of their phrases.
bool TakesContent(const TTagView& tag, const TAttribute& a, TTags chosen) {
    if (HasAny(chosen, TTags::ImageAlt) && tag.Has("alt")) return false;
    if (EqualsNoCase(tag.name, "meta"))
        for (const TAttribute& other : tag.attributes) {
            if (EqualsNoCase(other.name, "http-equiv") || EqualsNoCase(other.name, "charset"))
                return false;
            if ((EqualsNoCase(other.name, "name") || EqualsNoCase(other.name, "property")) &&
                IsMachineReadMetaName(other.value))
                return false;
        }
    return !IsNetworkUrl(a.value);
}

constexpr std::string_view kAttributeTexts[] = {
    "title", "placeholder", "aria-label", "aria-description", "aria-roledescription",
    "value", "label",       "abbr",
};

// The value of the tag's first attribute named lowerName; empty if none.
std::string_view ValueOf(const TTagView& tag, std::string_view lowerName) {
    for (const TAttribute& a : tag.attributes)
        if (EqualsNoCase(a.name, lowerName)) return a.value;
    return {};
}

bool OnlyBlanks(std::string_view value) { return Trim(value).empty(); }

// The values a reader or a screen reader meets as text, where they are that: a title names a
// style sheet set on link and style, a named submit button sends its value to the server.
bool TakesAttributeText(const TTagView& tag, const TAttribute& a, TTags) {
    if (OnlyBlanks(a.value) || IsUrl(a.value)) return false;
    if (EqualsNoCase(a.name, "title"))
        return !EqualsNoCase(tag.name, "link") && !EqualsNoCase(tag.name, "style");
    if (EqualsNoCase(a.name, "placeholder"))
        return EqualsNoCase(tag.name, "input") || EqualsNoCase(tag.name, "textarea");
    if (EqualsNoCase(a.name, "value")) {
        if (!EqualsNoCase(tag.name, "input")) return false;
        const std::string_view type = Trim(ValueOf(tag, "type"));
        return EqualsNoCase(type, "button") || EqualsNoCase(type, "reset") ||
               (EqualsNoCase(type, "submit") && !tag.Has("name"));
    }
    if (EqualsNoCase(a.name, "label"))
        return EqualsNoCase(tag.name, "option") || EqualsNoCase(tag.name, "optgroup") ||
               EqualsNoCase(tag.name, "track");
    if (EqualsNoCase(a.name, "abbr")) return EqualsNoCase(tag.name, "th");
    return true;  // the aria texts, on any element
}

constexpr std::array<TKindInfo, kKindCount> kKinds = {{
    {TKind::Text, 1, 'T', "plain text", "kind-text", 32, "plaintext", {}, nullptr},
    {TKind::Image, 2, 'G', "image alternatives", "kind-image", 33, "imgalt", kAlt, nullptr},
    {TKind::Content, 4, 'C', "header content", "kind-content", 34, "content", kContent,
     TakesContent},
    {TKind::Attribute, 8, 'A', "attribute texts", "kind-attribute", 87, "attributes",
     kAttributeTexts, TakesAttributeText},
}};

constexpr bool InOrder() {
    for (std::size_t k = 0; k < kKinds.size(); ++k)
        if (static_cast<std::size_t>(kKinds[k].Kind) != k || kKinds[k].Bit != (1u << k) ||
            kKinds[k].Letter == 0 || kKinds[k].Name == nullptr || kKinds[k].Icon == nullptr ||
            kKinds[k].Box == nullptr)
            return false;
    return true;
}
static_assert(InOrder(), "a kind's entry stands at its number and has bit 1 << number");

}  // namespace

const std::array<TKindInfo, kKindCount>& Kinds() { return kKinds; }

const TKindInfo& KindInfo(TKind kind) { return kKinds[static_cast<std::size_t>(kind)]; }

}  // namespace quillfen
