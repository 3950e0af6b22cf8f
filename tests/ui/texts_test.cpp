#include "ui/texts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace quillfen {
namespace {

TEST(Texts, FileFiltersTakeTheQtFormAndMatchLowerCaseToo) {
    const struct {
        const char* filter;
        const char* want;
    } cases[] = {
        {"HTML-Files|*.HTML;*.HTM", "HTML-Files (*.HTML *.HTM *.html *.htm)"},
        {"HTML-Dateien|*.HTML;*.HTM", "HTML-Dateien (*.HTML *.HTM *.html *.htm)"},
        {"*.txt|*.txt", "*.txt (*.txt)"},
        {"*.temp|*.templ", "*.temp (*.templ)"},
        {"*.htm; *.html|*.htm;*.html", "*.htm; *.html (*.htm *.html)"},
        {"Mixed|*.Htm;;*.htm", "Mixed (*.Htm *.htm)"},
        // Already in Qt form: left as it is.
        {"All files (*)", "All files (*)"},
    };
    for (const auto& c : cases) EXPECT_EQ(QtFileFilter(c.filter), c.want) << c.filter;
}

TEST(Texts, CountsAndValuesFillTheirFirstPlaceholderOnly) {
    EXPECT_EQ(FormatCount("%d words", 7), "7 words");
    EXPECT_EQ(FormatCount(QString::fromUtf8("%d Textblöcke"), 1234567),
              QString::fromUtf8("1234567 Textblöcke"));
    EXPECT_EQ(FormatCount("%d of %d", 2), "2 of %d");
    EXPECT_EQ(FormatCount("no number", 2), "no number");
    EXPECT_EQ(FormatCount("%d", std::numeric_limits<std::uint64_t>::max()), "18446744073709551615");

    EXPECT_EQ(FillIn("as %s", "UTF-8"), "as UTF-8");
    // A path is put in as it is, even where it looks like a placeholder itself.
    EXPECT_EQ(FillIn("Reload %s? %s", "/a%s/%1.htm"), "Reload /a%s/%1.htm? %s");
    EXPECT_EQ(FillIn("nothing to fill", "/p"), "nothing to fill");
}
}  // namespace
}  // namespace quillfen
