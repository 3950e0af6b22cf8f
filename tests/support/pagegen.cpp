#include "tests/support/pagegen.h"

#include <random>

namespace quillfen::testing {

std::string GeneratePage(std::size_t targetBytes, std::uint32_t seed) {
    std::mt19937 rng(seed);
    // About one word in seven carries an entity or a character that saving encodes.
    static const char* words[] = {"Hello",
                                  "world",
                                  "M&uuml;ller",
                                  "the",
                                  "fast",
                                  "text",
                                  "page",
                                  "quick",
                                  "brown",
                                  "fox",
                                  "jumps",
                                  "over",
                                  "lazy",
                                  "dog",
                                  "and",
                                  "Stra\xDF"
                                  "e",
                                  "of",
                                  "to",
                                  "in",
                                  "caf&eacute;",
                                  "is",
                                  "that",
                                  "for",
                                  "it",
                                  "with",
                                  "as",
                                  "was",
                                  "on",
                                  "&amp;",
                                  "be",
                                  "at",
                                  "by",
                                  "this",
                                  "&nbsp;",
                                  "had",
                                  "not",
                                  "are",
                                  "but",
                                  "from",
                                  "or",
                                  "have",
                                  "\"quoted\"",
                                  "an",
                                  "they",
                                  "which",
                                  "one",
                                  "you",
                                  "were",
                                  "R&D",
                                  "her",
                                  "all",
                                  "she",
                                  "there",
                                  "would",
                                  "their",
                                  "&lt;tag&gt;",
                                  "we",
                                  "him",
                                  "been",
                                  "has",
                                  "when",
                                  "who",
                                  "will",
                                  "more",
                                  "no",
                                  "if",
                                  "out",
                                  "so",
                                  "&#169;",
                                  "said",
                                  "what"};
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
    // Markup as real pages carry it: tags with classes, links and ids, so that markup and text
    // stand in about the proportions of a typical site's pages.
    while (page.size() < targetBytes) {
        const std::string id = std::to_string(block);
        switch (block++ % 10) {
            case 0:
            case 1:
                page += "<p class=\"article-body text-block\" id=\"p" + id + "\">" + sentence(12) +
                        " <a href=\"https://www.example.org/articles/" + id +
                        "/index.html\" class=\"inline-link\">" + sentence(3) + "</a> " +
                        sentence(9) + " <b>" + sentence(2) + "</b> " + sentence(7) + "</p>\r\n";
                break;
            case 2:
                page += "  <img src=\"/media/images/photo-" + id +
                        ".jpg\" width=\"640\" height=\"480\" class=\"figure\" alt=\"" +
                        sentence(4) + "\">\r\n";
                break;
            case 3:
                page += "<meta name=\"keywords-" + id + "\" content=\"" + sentence(3) + "\">\r\n";
                break;
            case 4:
                page += "<!-- section " + id +
                        " starts here --><table class=\"grid\"><tr><td "
                        "class=\"cell\">&nbsp;</td><td class=\"cell\">" +
                        sentence(3) + "</td></tr></table>\r\n";
                break;
            case 5:
                page += "<!--\r\nfunction track" + id +
                        "(e) { if (e.x < 2 && e.y > 1) { return window.location.href; } }\r\n"
                        "// -->\r\n\r\n";
                break;
            case 6: {
                // A minified stretch: a navigation list on one long line.
                std::string line = "<ul class=\"nav nav-main\">";
                for (int i = 0; i < 30; ++i)
                    line += "<li class=\"nav-item\"><a class=\"nav-link\" href=\"/section/" +
                            std::to_string(i) + "/\">" + sentence(2) + "</a></li>";
                page += line + "</ul>\r\n";
                break;
            }
            default:
                page += "<div\r\n  class=\"content-box shadow\" data-id=\"" + id + "\">" +
                        sentence(10) + "\r\n" + sentence(8) + "</div>\n";
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
