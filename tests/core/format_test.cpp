#include "core/document/format.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace quillfen {
namespace {

using namespace std::string_view_literals;

TEST(Format, MarkersAreFoundAsWritten) {
    for (const std::size_t k : {0u, 9u, 10u, 12345u}) {
        const std::string marker = PhraseMarker(k);
        EXPECT_EQ(marker, "%_" + std::to_string(k) + "_%");
        EXPECT_EQ(MarkerLength(k), marker.size()) << k;
        const std::string templ = "<p title=\"%_x_%\">%_" + marker + "_%</p>";
        std::size_t length = 0;
        EXPECT_EQ(FindMarkerText(templ, 0, length), templ.find(marker)) << templ;
        EXPECT_EQ(length, marker.size());
    }
}

TEST(Format, MarkerTextNeedsDigitsBetweenItsEnds) {
    const struct {
        std::string_view text;
        std::size_t from, at, length;
    } cases[] = {
        {"%_%"sv, 0, std::string_view::npos, 0},
        {"%__%"sv, 0, std::string_view::npos, 0},
        {"%_1a_%"sv, 0, std::string_view::npos, 0},
        {"%_ 1_%"sv, 0, std::string_view::npos, 0},
        {"%%_12_%"sv, 0, 1, 6},
        {"%_007_%"sv, 0, 0, 7},
        // The end of one may begin the next.
        {"%_1_%_2_%"sv, 0, 0, 5},
        {"%_1_%_2_%"sv, 1, 4, 5},
        {"%_1_%"sv, 1, std::string_view::npos, 0},
    };
    for (const auto& c : cases) {
        std::size_t length = 0;
        EXPECT_EQ(FindMarkerText(c.text, c.from, length), c.at) << c.text << " from " << c.from;
        EXPECT_EQ(length, c.length) << c.text;
    }
}

TEST(Format, TextLinesGiveTheirPhraseBack) {
    const struct {
        std::size_t k;
        std::string_view text, line, phrase;
    } cases[] = {
        {0, "Hello", "<1>Hello</>\r\n", "Hello"},
        {8, "", "<9></>\r\n", ""},
        {9, "ten", "<10>ten</>\r\n", "ten"},
        {99, "</>", "<100></></>\r\n", "</>"},
        // A line break or zero byte would split or end the line: each is one blank.
        {0, "a\r\nb\nc\rd\0e"sv, "<1>a b c d e</>\r\n", "a b c d e"},
        {0, "\r\n\r\n", "<1>  </>\r\n", "  "},
    };
    for (const auto& c : cases) {
        std::string out = "before";
        AppendTextLine(out, c.k, c.text);
        EXPECT_EQ(out, "before" + std::string(c.line)) << c.k;
        const std::string_view line = c.line.substr(0, c.line.size() - 2);
        std::string_view phrase;
        EXPECT_EQ(ReadTextLine(line, c.k, phrase), TTextLine::Phrase) << c.k;
        EXPECT_EQ(phrase, c.phrase) << c.k;
    }
}

// A line gives its phrase only with its own number tag and the end tag: cut by their lengths, a
// slip in a tag would take bytes of the phrase or of a tag for the text.
TEST(Format, TextLinesAreReadByTheirTags) {
    const struct {
        std::string_view line;
        std::size_t k;
        TTextLine reads;
        std::string_view phrase;  // or the number tag as written
    } cases[] = {
        {"<10>a</>b</>", 9, TTextLine::Phrase, "a</>b"},
        {"<99>x</>", 9, TTextLine::OtherNumber, "<99>"},
        {"<010>x</>", 9, TTextLine::OtherNumber, "<010>"},
        {"<18446744073709551627>x</>", 10, TTextLine::OtherNumber, "<18446744073709551627>"},
        {"[10]x)))", 9, TTextLine::Malformed, ""},
        {"<10>x", 9, TTextLine::Malformed, ""},
        {"<1</>", 0, TTextLine::Malformed, ""},
        {"<1>/>", 0, TTextLine::Malformed, ""},
    };
    for (const auto& c : cases) {
        std::string_view phrase;
        EXPECT_EQ(ReadTextLine(c.line, c.k, phrase), c.reads) << c.line;
        EXPECT_EQ(phrase, c.phrase) << c.line;
    }
}

}  // namespace
}  // namespace quillfen
