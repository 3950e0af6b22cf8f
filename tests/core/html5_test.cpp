// The scan against a real HTML5 parser (gumbo) as the oracle: the text phrases lie in the text the
// parser shows and cover all of it, and the alt and content phrases are the parser's attribute
// values. Compared by the bytes they come from, and on pages in UTF-8 also by their texts: what
// the scan decodes is what the parser decodes.

#include <gtest/gtest.h>
#include <gumbo.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>

#include "core/document/document.h"
#include "tests/support/pagegen.h"

using namespace quillfen;

namespace {

using TRange = std::pair<std::size_t, std::size_t>;

// What the parser shows of a page: its visible text nodes and the values of alt and content.
struct TOracle {
    std::vector<TRange> texts;
    std::vector<std::string> decoded;  // parallel to texts, as the parser decoded them
    // CDATA sections, which the scan offers as phrases of their own (tests/core/scan_test.cpp
    // reads them as Chromium does); the parser puts text that stands right before one into the
    // same node.
    std::vector<TRange> cdata;
    std::set<std::size_t> alts, contents;       // where the non-empty values start
    std::map<std::size_t, std::string> values;  // the decoded alt and content values by place
};

bool Invisible(const GumboElement& e) {
    switch (e.tag) {
        // Scripts and styles also in svg; the raw-text elements show their text as written, and
        // the scan offers none of it.
        case GUMBO_TAG_SCRIPT:
        case GUMBO_TAG_STYLE:
            return true;
        case GUMBO_TAG_IFRAME:
        case GUMBO_TAG_NOEMBED:
        case GUMBO_TAG_NOFRAMES:
        case GUMBO_TAG_XMP:
        case GUMBO_TAG_PLAINTEXT:
            return e.tag_namespace == GUMBO_NAMESPACE_HTML;
        default:
            return false;
    }
}

void Walk(const GumboNode* node, TOracle& oracle) {
    if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_CDATA) {
        const GumboText& t = node->v.text;
        (node->type == GUMBO_NODE_TEXT ? oracle.texts : oracle.cdata)
            .emplace_back(t.start_pos.offset, t.start_pos.offset + t.original_text.length);
        if (node->type == GUMBO_NODE_TEXT) oracle.decoded.emplace_back(t.text);
        return;
    }
    // Whitespace and comments show nothing.
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE &&
        node->type != GUMBO_NODE_DOCUMENT)
        return;
    const GumboVector& children =
        node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
    if (node->type != GUMBO_NODE_DOCUMENT) {
        const GumboElement& e = node->v.element;
        if (Invisible(e)) return;
        for (unsigned i = 0; i < e.attributes.length; ++i) {
            const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
            const std::string_view raw(a->original_value.data, a->original_value.length);
            const bool quoted = !raw.empty() && (raw[0] == '"' || raw[0] == '\'');
            if (raw.size() <= (quoted ? 2u : 0u)) continue;
            const std::size_t at = a->value_start.offset + (quoted ? 1 : 0);
            if (std::string_view(a->name) == "alt") oracle.alts.insert(at);
            if (std::string_view(a->name) == "content") oracle.contents.insert(at);
            oracle.values[at] = a->value;
        }
    }
    for (unsigned i = 0; i < children.length; ++i)
        Walk(static_cast<const GumboNode*>(children.data[i]), oracle);
}

TOracle Parse(std::string_view page, bool utf8) {
    // Markup is ASCII: on a page in another encoding the other bytes become letters, so that the
    // parser, which reads UTF-8, keeps one offset a byte.
    std::string bytes(page);
    if (!utf8)
        for (char& c : bytes)
            if (static_cast<unsigned char>(c) >= 0x80) c = 'x';
    GumboOutput* out = gumbo_parse_with_options(&kGumboDefaultOptions, bytes.data(), bytes.size());
    TOracle oracle;
    Walk(out->document, oracle);
    gumbo_destroy_output(&kGumboDefaultOptions, out);
    // Text nodes come in page order, as the sorted ranges below.
    std::vector<std::size_t> order(oracle.texts.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return oracle.texts[a] < oracle.texts[b]; });
    std::vector<TRange> texts;
    std::vector<std::string> decoded;
    for (std::size_t i : order) {
        texts.push_back(oracle.texts[i]);
        decoded.push_back(std::move(oracle.decoded[i]));
    }
    oracle.texts = std::move(texts);
    oracle.decoded = std::move(decoded);
    std::sort(oracle.cdata.begin(), oracle.cdata.end());
    return oracle;
}

// A text as a browser lays it out for comparing: ASCII whitespace collapsed to one blank and cut
// at the edges, the non-breaking space (which a phrase leaves at its edges) taken for a blank.
std::string Collapsed(std::string_view text) {
    std::string out;
    bool blank = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool nbsp = text.substr(i, 2) == "\xC2\xA0";
        if (nbsp || IsHtmlSpace(text[i])) {
            blank = true;
            i += nbsp ? 1 : 0;
            continue;
        }
        if (blank && !out.empty()) out += ' ';
        blank = false;
        out += text[i];
    }
    return out;
}

// Where the parser joined text across markup it dropped ("</>x", a stray <head>, an empty CDATA
// section): a tag's or section's bytes.
std::vector<bool> TagBytes(std::string_view page, const TRange& node) {
    auto letter = [&](std::size_t i) {
        return i < node.second && std::isalpha(static_cast<unsigned char>(page[i]));
    };
    std::vector<bool> tag(node.second - node.first);
    for (std::size_t i = node.first; i + 1 < node.second; ++i) {
        if (page[i] != '<') continue;
        if (page.substr(i, 9) == "<![CDATA[") {
            const std::size_t close = page.find("]]>", i);
            const std::size_t to =
                std::min(close == std::string_view::npos ? node.second : close + 3, node.second);
            std::fill(tag.begin() + (i - node.first), tag.begin() + (to - node.first), true);
            i = to - 1;
            continue;
        }
        const bool end = page[i + 1] == '/';
        if (!(letter(i + 1) || (end && (letter(i + 2) || page.substr(i + 2, 1) == ">")))) continue;
        const std::size_t gt = page.find('>', i);
        if (gt == std::string_view::npos || gt >= node.second) break;
        std::fill(tag.begin() + (i - node.first), tag.begin() + (gt + 1 - node.first), true);
        i = gt;
    }
    return tag;
}

// The length of the blank at i that the page shows as nothing a phrase needs: whitespace,
// control characters and non-breaking spaces (as bytes or as any reference to U+00A0); 0 if none.
std::size_t BlankAt(std::string_view page, std::size_t i) {
    if (static_cast<unsigned char>(page[i]) <= 32 || page[i] == '\xA0') return 1;
    for (std::string_view nbsp : {"\xC2\xA0", "&nbsp;", "&NonBreakingSpace;"})
        if (page.substr(i, nbsp.size()) == nbsp) return nbsp.size();
    if (page.substr(i, 2) != "&#") return 0;
    std::size_t j = i + 2;
    const bool hex = j < page.size() && (page[j] == 'x' || page[j] == 'X');
    if (hex) ++j;
    unsigned long value = 0;
    const std::size_t digits = j;
    for (; j < page.size() && std::isxdigit(static_cast<unsigned char>(page[j])) && j < digits + 8;
         ++j) {
        if (!hex && !std::isdigit(static_cast<unsigned char>(page[j]))) break;
        value = value * (hex ? 16 : 10) + std::stoul(std::string(1, page[j]), nullptr, 16);
    }
    if (j == digits || value != 0xA0) return 0;
    return j - i + (j < page.size() && page[j] == ';' ? 1 : 0);
}

// Compares the scan of page with the parser's reading; returns the differences, empty if none.
std::string Differences(std::string_view bytes) {
    TDocument doc;
    doc.LoadBytes(bytes, TTags::AllKinds);
    const std::string_view page = doc.Page();
    // Texts are compared where the parser reads the page's own encoding.
    const bool utf8 = doc.Encoding() == TPageEncoding::Utf8 || IsValidUtf8(page);
    const TOracle oracle = Parse(page, utf8);
    std::ostringstream out;
    // Appended rather than joined with +, which GCC 12 wrongly warns about (-Wrestrict).
    auto show = [&](std::size_t a, std::size_t b) {
        std::string s = "'";
        s.append(page.substr(a, std::min<std::size_t>(b - a, 60)));
        s += "' at ";
        s += std::to_string(a);
        return s;
    };
    std::vector<TRange> runs;
    std::set<std::size_t> alts, contents;
    // The texts of the phrases in each text node of the parser, joined.
    std::vector<std::string> shown(oracle.texts.size());
    for (std::size_t k = 0; k < doc.PhraseCount(); ++k) {
        const TPhraseSpan& s = doc.Spans()[k];
        switch (doc.Kind(k)) {
            case TKind::Text: {
                runs.emplace_back(s.RunBegin, s.RunEnd);
                // Within one text node that the parser shows.
                auto within = [&](const std::vector<TRange>& nodes) {
                    auto node =
                        std::upper_bound(nodes.begin(), nodes.end(), TRange(s.Begin, SIZE_MAX));
                    return node != nodes.begin() && std::prev(node)->second >= s.End;
                };
                if (!within(oracle.texts) && !within(oracle.cdata))
                    out << "phrase " << k << " shown nowhere: " << show(s.Begin, s.End) << "\n";
                auto node = std::upper_bound(oracle.texts.begin(), oracle.texts.end(),
                                             TRange(s.Begin, SIZE_MAX));
                if (node != oracle.texts.begin() && std::prev(node)->second >= s.End) {
                    std::string& joined = shown[std::prev(node) - oracle.texts.begin()];
                    joined += ' ';
                    joined += doc.Phrases()[k].Text;
                }
                break;
            }
            case TKind::Image:
            case TKind::Content:
            case TKind::Attribute: {
                if (doc.Kind(k) != TKind::Attribute)
                    (doc.Kind(k) == TKind::Image ? alts : contents).insert(s.RunBegin);
                const auto value = oracle.values.find(s.RunBegin);
                if (utf8 && value != oracle.values.end() &&
                    Collapsed(value->second) != Collapsed(doc.Phrases()[k].Text))
                    out << "value reads '" << doc.Phrases()[k].Text << "', the parser's '"
                        << value->second << "'\n";
                break;
            }
        }
    }
    // The phrases of a text node read as the parser reads the node.
    for (std::size_t n = 0; utf8 && n < oracle.texts.size(); ++n) {
        // Left out where the parser joined text across markup it dropped.
        const std::vector<bool> tag = TagBytes(page, oracle.texts[n]);
        if (std::find(tag.begin(), tag.end(), true) != tag.end()) continue;
        const std::string parser = Collapsed(oracle.decoded[n]), scan = Collapsed(shown[n]);
        if (parser != scan) out << "text reads '" << scan << "', the parser's '" << parser << "'\n";
    }
    // Every byte of shown text, but blanks and dropped markup, lies in a text phrase's run.
    for (const TRange& node : oracle.texts) {
        const std::vector<bool> tag = TagBytes(page, node);
        auto run = std::upper_bound(runs.begin(), runs.end(), TRange(node.first, SIZE_MAX));
        if (run != runs.begin()) --run;
        for (std::size_t i = node.first; i < node.second;) {
            if (const std::size_t blank = BlankAt(page, i); blank || tag[i - node.first]) {
                i += std::max<std::size_t>(blank, 1);
                continue;
            }
            while (run != runs.end() && run->second <= i) ++run;
            if (run == runs.end() || run->first > i) {
                out << "text not offered: " << show(i, node.second) << "\n";
                break;
            }
            ++i;
        }
    }
    for (std::size_t at : oracle.alts)
        if (!alts.count(at)) out << "alt not offered: " << show(at, at + 20) << "\n";
    for (std::size_t at : alts)
        if (!oracle.alts.count(at)) out << "alt the parser has not: " << show(at, at + 20) << "\n";
    for (std::size_t at : contents)
        if (!oracle.contents.count(at))
            out << "content the parser has not: " << show(at, at + 20) << "\n";
    return out.str();
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Pages put together from pieces that switch the tokenizer's states and the elements that set
// them, with text between: scripts and their escapes, raw text, RCDATA, comments and their odd
// ends, bogus comments, svg and math with their integration points and the tags that end them,
// and character references of each sort in text and in values.
// Left out where this scan follows no tree (the end tags of formatting elements, which browsers may
// have reopened elsewhere) and where the parser is out of date ("</p>" and "</br>" ending svg or
// math) or wrong (in svg and math it does not see "</script >" as the end of the script its blank
// follows, and it loses a tag that follows "</>" at once; an open svg title does not stop an end
// tag that looks for its element further out, so one is only ever open briefly).
std::string SoupPage(std::mt19937& rng, int pieces) {
    static const char* const kPieces[] = {
        "<script>",
        "</script>",
        "<!--",
        "-->",
        "--!>",
        "<!-->",
        "<!--->",
        "<script >",
        "<style>",
        "</style>",
        "<xmp>",
        "</xmp>",
        "<iframe>",
        "</iframe>",
        "<noembed>",
        "</noembed>",
        "<noframes>",
        "</noframes>",
        "</svg></math><title>",
        "<svg><title>a b</title></svg>",
        "</title>",
        "<textarea>",
        "</textarea>",
        "<noscript>",
        "</noscript>",
        "<svg>",
        "</svg>",
        "<math>",
        "</math>",
        "<mi>",
        "</mi>",
        "<mtext>",
        "<foreignObject>",
        "<desc>",
        "</desc>",
        "<![CDATA[",
        "]]>",
        "<b>",
        "<p>",
        "<div>",
        "</div>",
        "<font color=red>",
        "<font>",
        "<g>",
        "</g>",
        "<pre>",
        "</pre>",
        "<?x ",
        "<!x ",
        "</ x",
        "</>x",
        "< ",
        "<3 ",
        ">",
        "&amp;",
        "&eacute;",
        "&copy",
        "&copy=",
        "&#x2014;",
        "&#0;",
        "&#128;",
        "&#xD800;",
        "&notes",
        "&amp;uuml;",
        "&nbsp;x",
        "\xC3\xA9",
        "<img alt=\"&copy=x &eacute; &notit; &#65\">",
        "<img alt='&lt;b&gt;'>",
        "-",
        "--",
        " ",
        "\n",
        "word",
        "two words",
        "<img alt=A>",
        "<img alt=\"B c\">",
        "<meta name=description content=D>",
        "<br/>",
        "<title/>",
        "<plaintext>",
    };
    // In the body: the head's rules (noscript there ends at the first text) are not followed.
    std::string page = "<body>";
    for (int i = 0; i < pieces; ++i) {
        page += kPieces[rng() % (sizeof kPieces / sizeof *kPieces)];
        if (rng() % 3 == 0) {
            page += " t";
            page += std::to_string(i);
            page += ' ';
        }
    }
    return page;
}

}  // namespace

TEST(Html5, TheCorpusPagesReadAsTheParserReadsThem) {
    std::vector<std::filesystem::path> pages;
    for (const char* dir : {"tests/data/pages", "examples"})
        for (const auto& e :
             std::filesystem::directory_iterator(std::filesystem::path(QUILLFEN_SOURCE_DIR) / dir))
            if (e.path().extension() == ".html") pages.push_back(e.path());
    ASSERT_GE(pages.size(), 20u);
    for (const auto& path : pages) EXPECT_EQ(Differences(ReadFile(path)), "") << path;
}

TEST(Html5, GeneratedPagesReadAsTheParserReadsThem) {
    for (std::uint32_t seed = 1; seed <= 3; ++seed)
        EXPECT_EQ(Differences(quillfen::testing::GeneratePage(1 << 16, seed)), "") << seed;
}

TEST(Html5, PagesOfEveryTokenizerStateReadAsTheParserReadsThem) {
    std::mt19937 rng(23);
    for (int i = 0; i < 4000; ++i) {
        const std::string page = SoupPage(rng, 1 + i % 40);
        const std::string differences = Differences(page);
        EXPECT_EQ(differences, "") << page;
        if (!differences.empty()) break;
    }
}

namespace {

// The W3C ITS 2.0 suite names a node by its path from the root: /html/body[1]/p[1]/span[2].
void ItsPaths(const GumboNode* node, const std::string& path,
              std::map<const GumboNode*, std::string>& paths) {
    paths[node] = path;
    std::map<std::string, int> seen;
    const GumboVector& children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type != GUMBO_NODE_ELEMENT) continue;
        const std::string name = gumbo_normalized_tagname(child->v.element.tag);
        ItsPaths(child, path + "/" + name + "[" + std::to_string(++seen[name]) + "]", paths);
    }
}

// Each element's line of the suite's expected output, by path.
std::map<std::string, std::string> ItsExpected(const std::string& file) {
    std::map<std::string, std::string> lines;
    std::istringstream in(ReadFile(file));
    for (std::string line; std::getline(in, line);) {
        const std::size_t tab = line.find('\t');
        const std::string path = line.substr(0, tab);
        if (path.find('@') == std::string::npos)
            lines[path] = tab == std::string::npos ? "" : line.substr(tab + 1);
    }
    return lines;
}

// The value of key="..." in a line of expected output, or empty.
std::string ItsValue(const std::string& line, const std::string& key) {
    const std::size_t at = line.find(key + "=\"");
    if (at == std::string::npos) return {};
    const std::size_t from = at + key.size() + 2;
    return line.substr(from, line.find('"', from) - from);
}

}  // namespace

// Every text node the suite says is to be translated is offered, none it says is not, and each
// offered text carries the localisation note the suite gives its element (inherited from the
// nearest element that has one).
TEST(Html5, ItsTranslateAndLocalisationNotesAgreeWithTheW3cSuite) {
    const std::string dir = std::string(QUILLFEN_SOURCE_DIR) + "/tests/data/its/";
    for (const char* name : {"translate2html", "locnote7html"}) {
        SCOPED_TRACE(name);
        const std::string page = ReadFile(dir + name + ".html");
        const std::map<std::string, std::string> expected = ItsExpected(dir + name + "output.txt");
        TDocument doc;
        doc.LoadBytes(page, TTags::AllKinds);
        GumboOutput* output =
            gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
        std::map<const GumboNode*, std::string> paths;
        ItsPaths(output->root, "/html", paths);
        int texts = 0;
        for (const auto& [element, path] : paths) {
            const GumboVector& children = element->v.element.children;
            for (unsigned i = 0; i < children.length; ++i) {
                const auto* node = static_cast<const GumboNode*>(children.data[i]);
                if (node->type != GUMBO_NODE_TEXT) continue;
                const std::size_t from = node->v.text.start_pos.offset;
                const std::size_t to = from + node->v.text.original_text.length;
                std::optional<std::size_t> phrase;
                for (std::size_t p = 0; p < doc.PhraseCount(); ++p)
                    if (doc.Kind(p) == TKind::Text && doc.Spans()[p].Begin >= from &&
                        doc.Spans()[p].End <= to)
                        phrase = p;
                const auto line = expected.find(path);
                ASSERT_NE(line, expected.end()) << path;
                const bool translate = ItsValue(line->second, "translate") != "no";
                EXPECT_EQ(phrase.has_value(), translate) << path;
                ++texts;
                if (!phrase) continue;
                std::string note;
                for (std::string up = path; note.empty() && !up.empty();
                     up = up.substr(0, up.rfind('/'))) {
                    const auto it = expected.find(up);
                    if (it != expected.end()) note = ItsValue(it->second, "locNote");
                }
                EXPECT_EQ(doc.Note(*phrase), note) << path;
            }
        }
        EXPECT_GE(texts, 4);
        gumbo_destroy_output(&kGumboDefaultOptions, output);
    }
}
