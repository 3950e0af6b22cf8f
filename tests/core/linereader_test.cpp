#include "core/files/linereader.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tests/support/lines.h"

namespace quillfen {
namespace {

using namespace std::string_view_literals;
using Lines = std::vector<std::string_view>;

TEST(LineReader, LineBreakRules) {
    const struct {
        std::string_view text;
        Lines lines;
    } cases[] = {
        {""sv, {}},
        {"a"sv, {"a"}},
        {"a\n"sv, {"a"}},
        {"\n"sv, {""}},
        {"\r"sv, {""}},
        {"a\r\nb\rc\nd"sv, {"a", "b", "c", "d"}},
        {"a\r\n\r\n"sv, {"a", ""}},
        {"a\r\n\r\nb\r\n"sv, {"a", "", "b"}},
        // LF CR is two breaks, not one turned round.
        {"a\n\rb"sv, {"a", "", "b"}},
        {"\r\r\n\n\r"sv, {"", "", "", ""}},
        {"a\n\n\nb\r\r"sv, {"a", "", "", "b", ""}},
        {"abc\r\ndef\nghi\rjkl"sv, {"abc", "def", "ghi", "jkl"}},
        // A zero byte ends nothing: it is part of its line.
        {"a\nb\0c\nd"sv, {"a", "b\0c"sv, "d"}},
        {"ab\0cd\r\n"sv, {"ab\0cd"sv}},
        {"\0"sv, {"\0"sv}},
        {"a\r\nb\0c\r\n"sv, {"a", "b\0c"sv}},
    };
    for (const auto& c : cases) EXPECT_EQ(testing::SplitLines(c.text), c.lines) << c.text;
}

TEST(LineReader, LongLinesAndManyBreaks) {
    const std::string huge(100000, 'x');
    const std::string twoLines = huge + "\n" + huge;
    EXPECT_EQ(testing::SplitLines(twoLines), (Lines{huge, huge}));
    // CR-only breaks in a long text: the LF looked for once must not end any line early.
    std::string crOnly;
    for (int i = 0; i < 1000; ++i) crOnly += "line\r";
    crOnly += "last\nafter";
    const Lines lines = testing::SplitLines(crOnly);
    ASSERT_EQ(lines.size(), 1002u);
    EXPECT_EQ(lines[999], "line");
    EXPECT_EQ(lines[1000], "last");
    EXPECT_EQ(lines[1001], "after");
}

TEST(LineReader, UsedUpLeavesTheLineAlone) {
    TLineReader reader("only");
    std::string_view line;
    ASSERT_TRUE(reader.Next(line));
    EXPECT_EQ(line, "only");
    EXPECT_FALSE(reader.Next(line));
    EXPECT_EQ(line, "only");
    EXPECT_FALSE(reader.Next(line));
}

}  // namespace
}  // namespace quillfen
