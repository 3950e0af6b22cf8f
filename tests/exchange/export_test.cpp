#include "exchange/export.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/document/document.h"
#include "core/errors.h"
#include "tests/exchange/testfiles.h"

namespace quillfen {
namespace {

using testing::DataDir;
using testing::ReadBytes;
using testing::TTempDir;
using testing::WriteBytes;

TEST(ExportNamesTest, BaseName) {
    EXPECT_EQ(ExportBaseName("/web/index.htm"), "index");
    EXPECT_EQ(ExportBaseName("/web/news.old.html"), "news.old");
    EXPECT_EQ(ExportBaseName("/web/readme"), "readme");
    EXPECT_EQ(ExportBaseName("/web.site/readme"), "readme");  // a dot in the folder is no extension
    EXPECT_EQ(ExportBaseName("index.htm"), "index");
    EXPECT_EQ(ExportBaseName("/web/.htm"), "");
    EXPECT_EQ(ExportBaseName("/web/page."), "page");
    EXPECT_EQ(ExportBaseName(""), "");
#ifdef _WIN32
    EXPECT_EQ(ExportBaseName("C:\\web\\index.htm"), "index");
    EXPECT_EQ(ExportBaseName("C:index.htm"), "index");
#else
    // A backslash or colon is an ordinary character of a file name here.
    EXPECT_EQ(ExportBaseName("/web/a:b\\index.htm"), "a:b\\index");
#endif
}

TEST(ExportNamesTest, FolderTextIsUsedUnchanged) {
    const std::string sep(1, kPathSeparator);
    const std::string page = sep + "web" + sep + "index.htm";
    const TExportPaths plain = ExportPaths(page, sep + "out");
    EXPECT_EQ(plain.Template, sep + "out" + sep + "index.templ");
    EXPECT_EQ(plain.Text, sep + "out" + sep + "index.txt");

    EXPECT_EQ(ExportPaths(page, sep + "out" + sep).Template,
              sep + "out" + sep + sep + "index.templ");
    EXPECT_EQ(ExportPaths(page, "").Template, sep + "index.templ");
    EXPECT_EQ(ExportPaths(page, "").Text, sep + "index.txt");
    EXPECT_EQ(ExportPaths(page, " out ").Text, " out " + sep + "index.txt");
    EXPECT_EQ(ExportPaths(sep + "readme", "o").Template, "o" + sep + "readme.templ");
}

std::vector<TTextItem> Items(const std::vector<std::string>& texts) {
    std::vector<TTextItem> items;
    for (std::size_t i = 0; i < texts.size(); ++i)
        items.emplace_back(static_cast<std::uint32_t>(i), texts[i]);
    return items;
}

TEST(TextFileTest, Lines) {
    EXPECT_EQ(TextFileBytes({}), "");
    EXPECT_EQ(TextFileBytes(Items({"A", "A", ""})), "<1>A</>\r\n<2>A</>\r\n<3></>\r\n");
    // Written plain: no entity encoding, edge blanks not restored.
    std::vector<TTextItem> items = Items({"Fish & Chips <\"\xe4\">"});
    items[0].LeadingSpace = items[0].TrailingSpace = true;
    EXPECT_EQ(TextFileBytes(items), "<1>Fish & Chips <\"\xe4\"></>\r\n");

    std::vector<std::string> eleven(11, "x");
    const std::string text = TextFileBytes(Items(eleven));
    EXPECT_NE(text.find("\r\n<10>x</>\r\n<11>x</>\r\n"), std::string::npos);
    EXPECT_EQ(text.substr(0, 9), "<1>x</>\r\n");
}

TEST(TextFileTest, LineBreaksInAPhraseBecomeBlanks) {
    using namespace std::string_literals;
    EXPECT_EQ(TextFileBytes(Items({"a\r\nb", "c\rd\ne", "\n\r", "x\0y"s, "z"})),
              "<1>a b</>\r\n<2>c d e</>\r\n<3>  </>\r\n<4>x y</>\r\n<5>z</>\r\n");
}

// Each folder under export/ holds a page and the two files its export must give.
class ExportGolden : public ::testing::TestWithParam<const char*> {};

TEST_P(ExportGolden, WritesTemplateAndTextFile) {
    const std::filesystem::path dir = DataDir() / "export" / GetParam();
    TDocument doc;
    doc.LoadBytes(ReadBytes(dir / "page.htm"), TTags::AllKinds);
    TTempDir tmp;
    ExportDocument(doc, (dir / "page.htm").string(), tmp.Path().string());
    EXPECT_EQ(ReadBytes(tmp / "page.templ"), ReadBytes(dir / "expected.templ"));
    EXPECT_EQ(ReadBytes(tmp / "page.txt"), ReadBytes(dir / "expected.txt"));
    EXPECT_EQ(testing::Listing(tmp.Path()), "page.templ page.txt");
}

INSTANTIATE_TEST_SUITE_P(Cases, ExportGolden,
                         ::testing::Values("seven_lines", "welcome_logo", "fish_chips",
                                           "no_phrases"),
                         [](const auto& info) { return std::string(info.param); });

class ExportFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        doc_.LoadBytes(ReadBytes(DataDir() / "export" / "seven_lines" / "page.htm"),
                       TTags::AllKinds);
    }
    std::string Failure(const std::string& folder) {
        try {
            ExportDocument(doc_, "/web/index.htm", folder);
        } catch (const TError& e) {
            return e.what();
        }
        return "no error";
    }
    static std::string CreateMessage(const std::string& path) {
        return "Datei " + path + " kann nicht erstellt werden";
    }

    TDocument doc_;
    TTempDir tmp_;
    std::string templ_ = tmp_ / "index.templ";
    std::string text_ = tmp_ / "index.txt";
};

TEST_F(ExportFilesTest, ReplacedPhraseIsExportedWithItsNewText) {
    doc_.SetPhraseText(1, "Welt");
    ExportDocument(doc_, "/web/index.htm", tmp_.Path().string());
    EXPECT_EQ(ReadBytes(text_), "<1>Hello</>\r\n<2>Welt</>\r\n<3>Logo</>\r\n");
    EXPECT_EQ(ReadBytes(templ_), ReadBytes(DataDir() / "export/seven_lines/expected.templ"));
}

TEST_F(ExportFilesTest, OverwritesExistingFiles) {
    WriteBytes(templ_, "old template, longer than the new one ...............................");
    WriteBytes(text_, "old text");
    ExportDocument(doc_, "/web/index.htm", tmp_.Path().string());
    ExportDocument(doc_, "/web/index.htm", tmp_.Path().string());
    EXPECT_EQ(ReadBytes(templ_), ReadBytes(DataDir() / "export/seven_lines/expected.templ"));
    EXPECT_EQ(ReadBytes(text_), ReadBytes(DataDir() / "export/seven_lines/expected.txt"));
    EXPECT_EQ(testing::Listing(tmp_.Path()), "index.templ index.txt");
}

TEST_F(ExportFilesTest, MissingFolderWritesNeitherFile) {
    const std::string folder = tmp_ / "missing";
    EXPECT_EQ(Failure(folder), CreateMessage(folder + kPathSeparator + "index.templ"));
    EXPECT_EQ(testing::Listing(tmp_.Path()), "");
}

TEST_F(ExportFilesTest, TemplateRefusedLeavesTheTextFileAlone) {
    WriteBytes(templ_, "old template");
    WriteBytes(text_, "old text");
    ASSERT_EQ(::chmod(templ_.c_str(), 0444), 0);
    // It exists: it is not written, rather than not created.
    EXPECT_EQ(Failure(tmp_.Path().string()), "Datei " + templ_ + " kann nicht geschrieben werden");
    EXPECT_EQ(ReadBytes(templ_), "old template");
    EXPECT_EQ(ReadBytes(text_), "old text");
    EXPECT_EQ(testing::Listing(tmp_.Path()), "index.templ index.txt");
}

// Recombination would take a marker text of the page's own for a marker: such a page is refused
// and nothing written. A phrase may hold any, since it goes into the text file.
TEST(ExportMarkerTextTest, PageHoldingMarkerTextIsRefused) {
    struct TCase {
        std::string page;
        TTags tags;
        std::string found;  // empty: exported
    } const cases[] = {
        {"<p>Use %_1_% here</p>", TTags::AllKinds, ""},
        {"<img alt=\"%_0_%\">", TTags::AllKinds, ""},
        {"<img alt=\"%_0_%\">", TTags::PlainText, "%_0_%"},
        {"<a href=\"x%_1_%.htm\">Link</a>", TTags::AllKinds, "%_1_%"},
        {"<p>a</p><!-- %_12_% --><p>b</p>", TTags::AllKinds, "%_12_%"},
        {"<script>var m = '%_007_%';</script><p>x</p>", TTags::AllKinds, "%_007_%"},
        {"<p title=\"%__% %_x_% %_1%\">a</p>", TTags::AllKinds, ""},
        {"<p title=\"%_%_2_%\">a</p>", TTags(7), "%_2_%"},
        {"<p title=\"%_%_2_%\">a</p>", TTags::AllKinds, ""},  // the title is a phrase
        {"%_3_%\n<p>a</p>", TTags::AllKinds, ""},             // a phrase, the page's first
        {"<b>%_3_%</b>%_3_%", TTags::PlainText, ""},          // both phrases
        {"<b>x</b>\n<p %_3_%>a</p>", TTags::AllKinds, "%_3_%"},
    };
    for (const TCase& c : cases) {
        TDocument doc;
        doc.LoadBytes(c.page, c.tags);
        TTempDir tmp;
        try {
            ExportDocument(doc, "/web/page.htm", tmp.Path().string());
            EXPECT_EQ(c.found, "") << c.page;
            EXPECT_EQ(testing::Listing(tmp.Path()), "page.templ page.txt");
        } catch (const TError& e) {
            EXPECT_EQ(e.what(), std::string(MarkerTextError("/web/page.htm", c.found).what()))
                << c.page;
            EXPECT_EQ(testing::Listing(tmp.Path()), "") << c.page;
        }
    }
}

TEST_F(ExportFilesTest, TextFileRefusedKeepsTheWrittenTemplate) {
    std::filesystem::create_directory(text_);
    EXPECT_EQ(Failure(tmp_.Path().string()),
              NotRegularTargetError(text_, TFileKind::Folder).what());
    EXPECT_EQ(ReadBytes(templ_), ReadBytes(DataDir() / "export/seven_lines/expected.templ"));
    EXPECT_TRUE(std::filesystem::is_directory(text_));
    EXPECT_EQ(testing::Listing(tmp_.Path()), "index.templ index.txt");
}

}  // namespace
}  // namespace quillfen
