#include "ui/finder.h"

#include <gtest/gtest.h>

using namespace quillfen;

TEST(Finder, MatchesWithoutCaseAndDiacritics) {
    const struct {
        const char* text;
        const char* query;
        bool found;
    } cases[] = {
        {"Gr\u00F6\u00DFe", "grosse", true},
        {"Gr\u00F6\u00DFe", "GR\u00D6SSE", true},
        {"Caf\u00E9 au lait", "cafe", true},
        {"cafe", "caf\u00E9", true},
        {"\u00C4rger", "arg", true},
        {"na\u00EFve", "NAIVE", true},
        {"Hello", "world", false},
        {"\u65E5\u672C\u8A9E", "\u672C", true},
        {"ab", "", false},
    };
    for (const auto& c : cases) {
        TPhraseFinder f;
        f.SetTexts({QString::fromUtf8(c.text)});
        EXPECT_EQ(f.Matches(QString::fromUtf8(c.query)).size() == 1, c.found)
            << c.text << " / " << c.query;
    }
}

TEST(Finder, NextAndPreviousWrapAround) {
    TPhraseFinder f;
    f.SetTexts({"apple", "banana", "Apfel", "cherry", "APPLE pie"});
    EXPECT_EQ(f.Matches("ap"), (std::vector<int>{0, 2, 4}));
    EXPECT_EQ(f.Next("ap", -1), 0);
    EXPECT_EQ(f.Next("ap", 0), 2);
    EXPECT_EQ(f.Next("ap", 2), 4);
    EXPECT_EQ(f.Next("ap", 4), 0);  // wraps
    EXPECT_EQ(f.Next("ap", 0, false), 4);
    EXPECT_EQ(f.Next("ap", -1, false), 4);
    EXPECT_EQ(f.Next("ap", 3, false), 2);
    EXPECT_FALSE(f.Next("kiwi", 1).has_value());
    f.SetText(1, "Grapefruit");
    EXPECT_EQ(f.Next("ap", 0), 1);
}
