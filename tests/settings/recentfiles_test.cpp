#include "settings/recentfiles.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <algorithm>
#include <string>

namespace quillfen {
namespace {

// The entries joined by '|', the free ones as "-".
std::string Joined(const TRecentFiles& files) {
    QStringList entries;
    for (const QString& entry : files) entries << (entry.isEmpty() ? QString("-") : entry);
    return entries.join('|').toStdString();
}

TEST(RecentFiles, AddKeepsKnownPathsInPlaceAndDropsTheOldest) {
    using E = TRecentFiles::TEntries;
    const struct {
        const char* name;
        E before;
        const char* added;
        bool changed;
        const char* after;
    } cases[] = {
        {"first page", E{}, "/a", true, "/a|-|-|-|-"},
        {"new page goes first", E{"/a", "/b"}, "/c", true, "/c|/a|/b|-|-"},
        {"known page stays where it is", E{"/a", "/b", "/c"}, "/b", false, "/a|/b|/c|-|-"},
        {"newest is known too", E{"/a", "/b"}, "/a", false, "/a|/b|-|-|-"},
        {"oldest is known too", E{"/a", "/b", "/c", "/d", "/e"}, "/e", false, "/a|/b|/c|/d|/e"},
        {"a full list drops the oldest", E{"/a", "/b", "/c", "/d", "/e"}, "/f", true,
         "/f|/a|/b|/c|/d"},
        {"case counts", E{"/a.htm"}, "/A.htm", true, "/A.htm|/a.htm|-|-|-"},
        {"blanks count", E{"/a b"}, "/a  b", true, "/a  b|/a b|-|-|-"},
        // Free entries from the store move down with the rest; they are not filled first.
        {"gaps move down", E{"/a", "", "/c"}, "/d", true, "/d|/a|-|/c|-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TRecentFiles files(c.before);
        EXPECT_EQ(files.Add(c.added), c.changed);
        EXPECT_EQ(Joined(files), c.after);
    }
}

TEST(RecentFiles, SixDistinctPagesLeaveTheFiveNewest) {
    TRecentFiles files;
    for (const char* p : {"/1", "/2", "/3", "/4", "/5", "/6"}) files.Add(p);
    EXPECT_EQ(Joined(files), "/6|/5|/4|/3|/2");
    EXPECT_EQ(std::count(files.begin(), files.end(), QString("/1")), 0);
    EXPECT_EQ(files, TRecentFiles(TRecentFiles::TEntries{"/6", "/5", "/4", "/3", "/2"}));
}

TEST(RecentFiles, MenuCaptionsNumberFromOneAndGiveTheirPathBack) {
    EXPECT_EQ(TRecentFiles::MenuText(0, "/p/page.html"), "&1 /p/page.html");
    EXPECT_EQ(TRecentFiles::MenuText(4, "/p/page.html"), "&5 /p/page.html");
    for (std::size_t n = 0; n < TRecentFiles::Capacity; ++n)
        for (const QString& path :
             {QString("/p/page.html"), QString("/with blank/&amp;.htm"), QString::fromUtf8("/ü")})
            EXPECT_EQ(TRecentFiles::PathOf(TRecentFiles::MenuText(n, path)), path) << n;
}

}  // namespace
}  // namespace quillfen
