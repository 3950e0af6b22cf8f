#include "pagegen.h"

#include <random>

namespace quillfen::testing {

std::string GeneratePage(std::size_t targetBytes, std::uint32_t seed) {
    std::mt19937 rng(seed);
    // About one word in seven carries an entity or a character that saving encodes.
    static const char* words[] = {
        "Hello", "world", "M&uuml;ller", "the",  "fast",  "text", "page",    "quick", "brown",
        "fox",   "jumps", "over",        "lazy", "dog",   "and",  "Stra\xDF" "e", "of",
        "to",    "in",    "caf&eacute;", "is",   "that",  "for",  "it",      "with",  "as",
        "was",   "on",    "&amp;",       "be",   "at",    "by",   "this",    "&nbsp;", "had",
        "not",   "are",   "but",         "from", "or",    "have", "\"quoted\"", "an", "they",
        "which", "one",   "you",         "were", "R&D",   "her",  "all",     "she",   "there",
        "would", "their", "&lt;tag&gt;", "we",   "him",   "been", "has",     "when",  "who",
        "will",  "more",  "no",          "if",   "out",   "so",   "&#169;",  "said",  "what"};
    auto sentence = [&](int n) {
        std::string s;
        for (int i = 0; i < n; ++i) {
            if (i) s += ' ';
            s += words[rng() % (sizeof words / sizeof *words)];
        }
        return s;
    };
    std::string page =
        "<html>\r\n<head>\r\n<meta name=\"description\" content=\"A generated page &amp; more\">"
        "\r\n<title>Generated</title>\r\n</head>\r\n<body>\r\n";
    page.reserve(targetBytes + 4096);
    std::size_t block = 0;
    while (page.size() < targetBytes) {
        switch (block++ % 8) {
            case 0:
            case 1:
                page += "<p>" + sentence(8) + " <b>" + sentence(2) + "</b> " + sentence(5) +
                        "</p>\r\n";
                break;
            case 2:
                page += "  <img src=\"p" + std::to_string(block) + ".gif\" alt=\"" + sentence(3) +
                        "\">\r\n";
                break;
            case 3:
                page += "<meta name=\"k" + std::to_string(block) + "\" content=\"" + sentence(2) +
                        "\">\r\n";
                break;
            case 4:
                page += "<!-- note " + std::to_string(block) + " --><td>&nbsp;</td>\r\n";
                break;
            case 5:
                page += "<!--\r\nvar x = 1 < 2;\r\n// -->\r\n\r\n";
                break;
            case 6: {
                // A minified stretch: many tags and runs on one long line.
                std::string line;
                for (int i = 0; i < 40; ++i) line += "<span>" + sentence(4) + "</span>";
                page += line + "\r\n";
                break;
            }
            default:
                page += "<div\r\nclass=\"c\">" + sentence(6) + "\r\n" + sentence(3) + "</div>\n";
                break;
        }
    }
    page += "</body>\r\n</html>\r\n";
    return page;
}

std::string AmpersandPage(std::size_t count) {
    std::string page = "<p>";
    page.reserve(count * 2 + 16);
    for (std::size_t i = 0; i < count; ++i) page += "& ";
    page += "</p>\r\n";
    return page;
}

std::string BlankRunPage(std::size_t count) {
    return "<p>a" + std::string(count, ' ') + "b</p>\r\n";
}

}  // namespace quillfen::testing
