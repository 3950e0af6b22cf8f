#include <gtest/gtest.h>

#include "core/buffer.h"

using namespace quillfen;
using Lines = std::vector<std::string>;

TEST(SplitLines, LineBreakStyles) {
    EXPECT_EQ(SplitLines(""), Lines{});
    EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\n"), (Lines{"a"}));
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (Lines{"a", ""}));
    EXPECT_EQ(SplitLines("a\n\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitLines(std::string("a\nb\0c\nd", 7)), (Lines{"a", "b"}));
    EXPECT_EQ(SplitLines("\n"), (Lines{""}));
}

TEST(SplitLines, NoLengthLimit) {
    std::string huge(100000, 'x');
    auto lines = SplitLines(huge + "\n" + huge);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].size(), 100000u);
}

TEST(TrimPass, DropsEmptyLinesAndLeftTrims) {
    Lines lines{"a", "", "", "   b", " \t ", "\x01" "c", "\xA0" "d"};
    std::size_t calls = 0;
    TrimPass(lines, [&](std::size_t, std::size_t max) {
        ++calls;
        EXPECT_EQ(max, 12u);
    });
    EXPECT_EQ(lines, (Lines{"a", "b", "", "c", "\xA0" "d"}));
    EXPECT_GT(calls, 0u);
}
