#include <gtest/gtest.h>

#include "template.h"

using namespace quillfen;

TEST(Template, EntriesShareOneBlockOfPageBytes) {
    TTemplate t;
    t.push_back("<p>");
    t.Open();
    t.Add('<');
    t.Add("img alt=\"");
    t.Add("%_0_%");
    t.Add("\">");
    t.Close();
    t.push_back("");
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0], "<p>");
    EXPECT_EQ(t[1], "<img alt=\"%_0_%\">");
    EXPECT_EQ(t[2], "");
    EXPECT_EQ(t.back(), "");
    EXPECT_EQ(t.Bytes(), "<p>\r\n<img alt=\"%_0_%\">\r\n\r\n");
    EXPECT_EQ(t.Start(1), 5u);
    EXPECT_EQ(t.Start(2), 24u);
    EXPECT_TRUE(t == (TLines{"<p>", "<img alt=\"%_0_%\">", ""}));
}

TEST(Template, ComparesEntryByEntry) {
    const TTemplate a{"ab", "c"};
    EXPECT_EQ(a, (TTemplate{"ab", "c"}));
    // The same bytes cut into other entries are another template.
    EXPECT_FALSE(a == (TTemplate{"a", "bc"}));
    EXPECT_FALSE(a == (TTemplate{"ab\r\nc"}));
    EXPECT_TRUE(a == (TLines{"ab", "c"}));
    EXPECT_FALSE(a == (TLines{"ab"}));
    EXPECT_TRUE(TTemplate{}.empty());
    EXPECT_EQ(TTemplate{}.Bytes(), "");
}

TEST(Template, IteratesAsViews) {
    const TTemplate t{"one", "", "three"};
    std::vector<std::string> seen(t.begin(), t.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"one", "", "three"}));
    EXPECT_EQ(t.end() - t.begin(), 3);
    EXPECT_EQ(t.begin()[2], "three");
    auto it = t.end();
    --it;
    EXPECT_EQ(*it, "three");
}
