#include "exchange/combine.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <utility>

#include "core/errors.h"
#include "core/files/buffer.h"
#include "tests/exchange/testfiles.h"

namespace quillfen {
namespace {

using namespace std::string_literals;
using testing::DataDir;
using testing::ReadBytes;
using testing::TTempDir;
using testing::WriteBytes;

// Each folder under combine/ holds a template with one marker per line and CR LF, as exports
// used to write them, and a text file, and either the page that recombining them must give or
// the text of the error it must raise, the files named without their folder. Such templates fill
// the same markers as they always did; a slip in a file is an error, never a page.
class CombineGolden : public ::testing::TestWithParam<const char*> {};

TEST_P(CombineGolden, GivesExpectedPageOrError) {
    const std::filesystem::path dir = DataDir() / "combine" / GetParam();
    TTempDir tmp;
    const std::string destination = tmp / "out.htm";
    const std::string before = "old page\r\n";
    WriteBytes(destination, before);

    const std::string templatePath = (dir / "template.templ").string();
    const std::string textPath = (dir / "text.txt").string();
    if (std::filesystem::exists(dir / "expected.error")) {
        try {
            Combine(textPath, templatePath, destination);
            ADD_FAILURE() << "no error raised";
        } catch (const TError& e) {
            std::string said = e.what();
            for (const auto& [path, name] :
                 {std::pair(templatePath, "template.templ"), std::pair(textPath, "text.txt")})
                for (std::size_t at; (at = said.find(path)) != std::string::npos;)
                    said.replace(at, path.size(), name);
            EXPECT_EQ(said, ReadBytes(dir / "expected.error"));
        }
        EXPECT_EQ(ReadBytes(destination), before);
    } else {
        Combine(textPath, templatePath, destination);
        EXPECT_EQ(ReadBytes(destination), ReadBytes(dir / "expected.htm"));
    }
    EXPECT_EQ(testing::Listing(tmp.Path()), "out.htm");  // no temporary file left behind
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CombineGolden,
    ::testing::Values("basic", "tag_digits_changed", "tag_longer", "end_tag_removed",
                      "first_line_deleted", "empty_text_file", "empty_line_inserted", "lf_only",
                      "cr_only", "trailing_empty_line", "lf_cr_ends_two_lines", "zero_byte_in_text",
                      "zero_byte_in_template", "seven_lines_translated", "marker_9_tag_10",
                      "short_tag_on_line_10", "fish_chips_encoded", "marker_1_deleted",
                      "marker_repeated_in_line", "every_marker_of_a_line", "marker_10_not_marker_1",
                      "short_lines", "unused_text_lines", "empty_template", "lf_cr_in_template",
                      "entities_as_the_page_wrote_them"),
    [](const auto& info) { return std::string(info.param); });

TEST(CombineTest, RunningTwiceGivesTheSameFile) {
    const std::filesystem::path dir = DataDir() / "combine" / "basic";
    TTempDir tmp;
    const std::string destination = tmp / "out.htm";
    Combine((dir / "text.txt").string(), (dir / "template.templ").string(), destination);
    const std::string first = ReadBytes(destination);
    Combine((dir / "text.txt").string(), (dir / "template.templ").string(), destination);
    EXPECT_EQ(ReadBytes(destination), first);
    EXPECT_EQ(first, ReadBytes(dir / "expected.htm"));
}

TEST(CombineTest, CountsPastSixteenBits) {
    // 70,000 markers: the counter, the tag length and the marker text all go past 65,535.
    std::string templ, text, expected;
    for (std::size_t k = 0; k < 70000; ++k) {
        const std::string n = std::to_string(k);
        templ.append("<li>%_").append(n).append("_%</li>\n");
        text.append("<").append(std::to_string(k + 1)).append(">p").append(n).append("</>\r\n");
        expected.append("<li>p").append(n).append("</li>\n");
    }
    EXPECT_EQ(CombineBytes(templ, text), expected);

    // Marker 65,536 found without text line 65,537: the numbers are reported unwrapped.
    const std::string shortText = text.substr(0, text.find("<65537>"));
    try {
        CombineBytes(templ, shortText);
        ADD_FAILURE() << "no error raised";
    } catch (const TError& e) {
        EXPECT_STREQ(e.English(),
                     "The template, line 65537: the text file has no line <65537> for the marker "
                     "%_65536_%");
    }
}

struct TCombineCase {
    const char* name;
    std::string templ;
    std::string text;
    std::string expected;
};

const std::string kBom = "\xEF\xBB\xBF";
const std::string kLatin1 = "<meta charset=\"iso-8859-1\">";
// "Grüße ☃ €" in UTF-8 and what a Windows-1252 page makes of it.
const std::string kGreeting =
    "Gr\xC3\xBC\xC3\x9F"
    "e \xE2\x98\x83 \xE2\x82\xAC";
const std::string kGreeting1252 = "Gr&uuml;&szlig;e &#9731; \x80";

// The template's bytes are copied as they stand and only its markers are replaced, each by its
// phrase written as a save writes it.
TEST(CombineTest, Cases) {
    const TCombineCase cases[] = {
        {"every marker of a line, in order", "<p>%_0_% <b>%_1_%</b>, %_2_%</p>",
         "<1>A</>\n<2>B</>\n<3>C</>", "<p>A <b>B</b>, C</p>"},
        {"the search goes on behind the phrase", "<p>%_0_%</p>\n<p>%_1_%</p>",
         "<1>see %_1_%</>\n<2>B</>", "<p>see %_1_%</p>\n<p>B</p>"},
        {"line breaks as they stand", "<p>\n%_0_%\r</p>\r\n\n<b>%_1_%</b>", "<1>A</>\r\n<2>B</>",
         "<p>\nA\r</p>\r\n\n<b>B</b>"},
        {"no line break added at the end", "<p>%_0_%</p>", "<1>A</>\r\n", "<p>A</p>"},
        {"text encoded", "<p>%_0_%</p>", "<1>Tom & \"Jerry\" <b>x</b> AT&T</>",
         "<p>Tom &amp; &quot;Jerry&quot; &lt;b&gt;x&lt;/b&gt; AT&amp;T</p>"},
        {"references with ';' are characters, every other '&' text", "<p>%_0_%</p>",
         "<1>caf&eacute; &#252;&#x20AC; &lt;b&gt; &copy 2026 &amp;amp; &notes</>",
         "<p>caf\xE9 &uuml;\x80 &lt;b&gt; &amp;copy 2026 &amp;amp; &amp;notes</p>"},
        {"attribute quote styles",
         "<img alt=\"%_0_%\"><img alt='%_1_%'><img alt=%_2_%><img alt=%_3_%><img alt=' %_4_%'>",
         "<1>a \"b\"</>\n<2>it's \"q\"</>\n<3>two words</>\n<4>one</>\n<5>x's</>",
         "<img alt=\"a &quot;b&quot;\"><img alt='it&#39;s &quot;q&quot;'>"
         "<img alt=\"two words\"><img alt=one><img alt=' x&#39;s'>"},
        {"UTF-8 text into a Windows-1252 page", kLatin1 + "<p>%_0_%</p>", "<1>" + kGreeting + "</>",
         kLatin1 + "<p>" + kGreeting1252 + "</p>"},
        {"its byte-order mark is dropped", kLatin1 + "<p>%_0_%</p>",
         kBom + "<1>" + kGreeting + "</>", kLatin1 + "<p>" + kGreeting1252 + "</p>"},
        {"byte-order marks of both on a UTF-8 page", kBom + "<p>%_0_%</p>",
         kBom + "<1>" + kGreeting + "</>",
         kBom + "<p>Gr&uuml;&szlig;e \xE2\x98\x83 \xE2\x82\xAC</p>"},
        {"an undeclared ASCII template takes UTF-8 text as UTF-8", "<p>%_0_%</p>",
         "<1>" + kGreeting + "</>", "<p>Gr&uuml;&szlig;e \xE2\x98\x83 \xE2\x82\xAC</p>"},
        {"... and Windows-1252 text as Windows-1252", "<p>%_0_%</p>",
         "<1>Gr\xFC\xDF"
         "e \x80</>",
         "<p>Gr&uuml;&szlig;e \x80</p>"},
        {"a Windows-1252 page that would read as UTF-8 keeps its umlauts", "<p>%_0_%</p>",
         "<1>M\xFCller \xC3\xA9</>", "<p>M\xFCller \xC3\xA9</p>"},
        {"UTF-8 text into a legacy page", "<meta charset=\"euc-kr\"><p>%_0_%</p>",
         "<1>\xED\x95\x9C\xEA\xB5\xAD \xE2\x98\x83 & x</>",
         "<meta charset=\"euc-kr\"><p>\xC7\xD1\xB1\xB9 &#9731; &amp; x</p>"},
        {"no byte-order mark at the start", "%_0_%<p>%_1_%</p>", "<1>\xFE\xFFx</>\n<2>\xE4</>",
         " \xFE\xFFx<p>&auml;</p>"},
        {"a CDATA section's text as it is", "<svg><text><![CDATA[%_0_%]]></text></svg>",
         "<1>a<b & &amp;amp; \xE4</>", "<svg><text><![CDATA[a<b & &amp; \xE4]]></text></svg>"},
        {"a CDATA section that never closes", "<meta charset=utf-8><svg><![CDATA[%_0_%",
         "<1>a<b & c</>", "<meta charset=utf-8><svg><![CDATA[a<b & c"},
        {"a textarea's line behind one that reads \"<![CDATA[\" is text",
         "<textarea>%_0_%\n%_1_%\n%_2_%</textarea>", "<1><![CDATA[</>\n<2>a&b<c</>\n<3>]]></>",
         "<textarea>&lt;![CDATA[\na&amp;b&lt;c\n]]&gt;</textarea>"},
        {"legacy text as it stands", "<meta charset=\"euc-kr\"><p>%_0_%</p>",
         "<1>\xC7\xD1\xB1\xB9 \xA1</>", "<meta charset=\"euc-kr\"><p>\xC7\xD1\xB1\xB9 \xA1</p>"},
    };
    for (const TCombineCase& c : cases)
        EXPECT_EQ(CombineBytes(c.templ, c.text), c.expected) << c.name;
}

// A text file and its template are checked whole before a page is made: each line must hold its
// own phrase and each marker stand once, in order, with its line, or the error names the file and
// the line where it went wrong. From a translator's and an editor's slips on "<p>One <b>two</b>
// three.</p>"; the old recombination made a wrong page of most of them.
TEST(CombineTest, TextFileAndTemplateAreCheckedWhole) {
    const std::string templ = "<p>%_0_% <b>%_1_%</b> %_2_%</p>\r\n";
    const std::string text = "<1>Eins</>\r\n<2>zwei</>\r\n<3>drei.</>\r\n";
    const std::string page = "<p>Eins <b>zwei</b> drei.</p>\r\n";
    const std::string txt = "The file page.txt, line ";
    const std::string tpl = "The file page.templ, line ";
    // The template without its last marker, the text without its last line.
    const std::string head = "<p>%_0_% <b>%_1_%</b>", two = "<1>Eins</>\r\n<2>zwei</>\r\n";
    const std::string sentence = "<p>%_0_%%{b1=3:<b>/4:</b>;%}</p>";
    const std::string image = "<p>%_0_%%{img1=17:<img alt=\"%_1_%\">;%}</p>";
    const struct {
        const char* name;
        std::string templ, text;
        std::string page;   // what recombination gives
        std::string error;  // or the error it raises, in English
    } cases[] = {
        {"as exported", templ, text, page, ""},
        {"a byte-order mark, LF and CR line ends, blank lines at the end", templ,
         "\xEF\xBB\xBF<1>Eins</>\n<2>zwei</>\r<3>drei.</>\n\n \t\r\n", page, ""},
        {"an end tag inside the text", templ, two + "<3>a</>b</>",
         "<p>Eins <b>zwei</b> a&lt;/&gt;b</p>\r\n", ""},
        {"an empty template and text file", "", "", "", ""},
        {"a zero byte in the template is a byte like any other", head + "\0 %_2_%</p>"s, text,
         "<p>Eins <b>zwei</b>\0 drei.</p>"s, ""},
        // The text file.
        {"a line doubled", templ, two + "<2>zwei</>\r\n<3>drei.</>\r\n", "",
         txt + "3: the line is numbered <2> instead of <3>"},
        {"a line lost", templ, "<1>Eins</>\r\n<3>drei.</>\r\n", "",
         txt + "2: the line is numbered <3> instead of <2>"},
        {"the last line lost", templ, two, "",
         tpl + "1: the text file has no line <3> for the marker %_2_%"},
        {"an end tag lost", templ, "<1>Eins</>\r\n<2>zwei\r\n<3>drei.</>", "",
         txt + "2: the line does not read <2>text</>"},
        {"a number tag lost", templ, "<1>Eins</>\r\nzwei</>\r\n<3>drei.</>", "",
         txt + "2: the line does not read <2>text</>"},
        {"a letter for a number", templ, "<1>Eins</>\r\n<x>zwei</>\r\n<3>drei.</>", "",
         txt + "2: the line does not read <2>text</>"},
        {"a zero in front of a number", templ, "<1>Eins</>\r\n<02>zwei</>\r\n<3>drei.</>", "",
         txt + "2: the line is numbered <02> instead of <2>"},
        {"blanks behind the end tag", templ, two + "<3>drei.</> \r\n", "",
         txt + "3: the line does not read <3>text</>"},
        {"an empty line between", templ, "<1>Eins</>\r\n\r\n<2>zwei</>\r\n<3>drei.</>", "",
         txt + "2: the line does not read <2>text</>"},
        {"a line too many", templ, text + "<99>mehr</>\r\n", "",
         txt + "4: the template has no marker %_3_% for this line"},
        {"a line too many behind blank lines", templ, text + "\r\n\r\n<4>mehr</>", "",
         txt + "6: the template has no marker %_3_% for this line"},
        {"a zero character in a line", templ, "<1>Eins</>\r\n<2>zw\0ei</>\r\n<3>drei.</>"s, "",
         txt + "2: the line holds a zero character"},
        // The template.
        {"no marker at all", "<p>One <b>two</b> three.</p>", text, "",
         txt + "1: the template has no marker %_0_% for this line"},
        {"a marker doubled", head + " %_1_% %_2_%</p>", text, "",
         tpl + "1: the marker %_1_% stands a second time"},
        {"a marker lost", "<p>%_0_% <b></b> %_2_%</p>", text, "",
         tpl + "1: the marker %_2_% stands where %_1_% belongs"},
        {"markers swapped", "<p>%_1_% <b>%_0_%</b> %_2_%</p>", text, "",
         tpl + "1: the marker %_1_% stands where %_0_% belongs"},
        {"a marker of no phrase", head + " %_2_% %_7_%</p>", text, "",
         tpl + "1: the marker %_7_% stands where %_3_% belongs"},
        {"a zero in front of a marker's number", "<p>%_0_% <b>%_01_%</b> %_2_%</p>", text, "",
         tpl + "1: the marker %_01_% stands where %_1_% belongs"},
        {"a marker cut short", "<p>%_0_% <b>%_1</b> %_2_%</p>", text, "",
         tpl + "1: the marker %_1_% is damaged"},
        {"the last marker cut short", head + " %_2_</p>", text, "",
         tpl + "1: the marker %_2_% is damaged"},
        {"lines of the template as an editor counts them",
         "<p>\r\n%_0_%\r<b>%_1_%</b>\n\n%_5_%</p>", text, "",
         tpl + "5: the marker %_5_% stands where %_2_% belongs"},
        // Sentences: the text's placeholders and the table's markers.
        {"a sentence", sentence, "<1>a <b1>b</b1></>", "<p>a <b>b</b></p>", ""},
        {"a sentence's placeholder lost", sentence, "<1>a b</>", "",
         txt + "1: " + PlaceholderMissingError("<b1>").English()},
        {"a sentence's table damaged", "<p>%_0_%%{b1=9:<b>/4:</b>;%}</p>", "<1>a <b1>b</b1></>", "",
         tpl + "1: the table of placeholders behind the marker %_0_% is damaged"},
        {"a marker in a sentence's table out of order",
         "<p>%_0_%%{img1=17:<img alt=\"%_2_%\">;%}</p>", "<1>a <img1/></>\r\n<2>b</>", "",
         tpl + "1: the marker %_2_% stands where %_1_% belongs"},
        {"a phrase in a sentence's table without its line", image, "<1>a <img1/></>", "",
         tpl + "1: the text file has no line <2> for the marker %_1_%"},
        {"a phrase in a sentence's table", image, "<1>a <img1/></>\r\n<2>b</>",
         "<p>a <img alt=\"b\"></p>", ""},
        // A CDATA section's text is the file's fault where the section cannot hold it.
        {"a CDATA section's text that would end it", "<svg><text><![CDATA[%_0_%]]></text></svg>",
         "<1>a]]>b</>", "",
         txt + "1: The text for phrase 1 stands in a CDATA section, which cannot hold \"]]>\"; "
               "nothing was written"},
        {"a CDATA section's text that would declare an encoding",
         "<svg><text><![CDATA[%_0_%]]></text></svg>", "<1>a>b<meta charset=koi8-r></>", "",
         txt + "1: The text for phrase 1 stands in a CDATA section, where its angle brackets "
               "would declare another encoding for the page; nothing was written"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            EXPECT_EQ(CombineBytes(c.templ, c.text, "page.templ", "page.txt"), c.page);
            EXPECT_EQ(c.error, "");
        } catch (const TError& e) {
            EXPECT_EQ(e.English(), c.error);
        }
    }
}

TEST(CombineTest, LongLinesAreKeptWhole) {
    const std::string head(100000, 'a');
    const std::string phrase(70000, 'b');
    EXPECT_EQ(CombineBytes(head + "%_0_%" + head, "<1>" + phrase + "</>"), head + phrase + head);
}

// Every failure must leave an existing destination exactly as it was.
class CombineErrors : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteBytes(templ_, "<p>\r\n%_0_%\r\n</p>\r\n");
        WriteBytes(text_, "<1>Hallo</>\r\n");
        WriteBytes(destination_, kOld);
    }

    std::string Failure(const std::string& text, const std::string& templ,
                        const std::string& destination) {
        try {
            Combine(text, templ, destination);
        } catch (const TError& e) {
            return e.what();
        }
        return "no error";
    }

    static constexpr const char* kOld = "<p>old</p>\r\n";
    TTempDir tmp_;
    std::string templ_ = tmp_ / "page.templ";
    std::string text_ = tmp_ / "page.txt";
    std::string destination_ = tmp_ / "page.htm";
    std::string missing_ = tmp_ / "missing.txt";
};

std::string OpenMessage(const std::string& path) {
    return "Datei " + path +
           " kann nicht ge\xC3\xB6"
           "ffnet werden";
}

TEST_F(CombineErrors, MissingTemplateIsReportedBeforeMissingText) {
    EXPECT_EQ(Failure(missing_, tmp_ / "missing.templ", destination_),
              OpenMessage(tmp_ / "missing.templ"));
    EXPECT_EQ(Failure(text_, tmp_ / "missing.templ", destination_),
              OpenMessage(tmp_ / "missing.templ"));
    EXPECT_EQ(ReadBytes(destination_), kOld);
}

TEST_F(CombineErrors, MissingTextFile) {
    EXPECT_EQ(Failure(missing_, templ_, destination_), OpenMessage(missing_));
    EXPECT_EQ(ReadBytes(destination_), kOld);
}

TEST_F(CombineErrors, EmptyPathsCannotBeOpened) {
    EXPECT_EQ(Failure(text_, "", destination_), OpenMessage(""));
    EXPECT_EQ(Failure("", templ_, destination_), OpenMessage(""));
    EXPECT_EQ(ReadBytes(destination_), kOld);
}

TEST_F(CombineErrors, FoldersCannotBeOpened) {
    const std::string folder = tmp_.Path().string();
    const std::string message = NotRegularFileError(folder, TFileKind::Folder).what();
    EXPECT_EQ(Failure(text_, folder, destination_), message);
    EXPECT_EQ(Failure(folder, templ_, destination_), message);
    EXPECT_EQ(ReadBytes(destination_), kOld);
}

TEST_F(CombineErrors, TextTooShortForAMarker) {
    WriteBytes(text_, "");
    EXPECT_EQ(Failure(text_, templ_, destination_),
              "Datei " + templ_ +
                  ", Zeile 2: die Textdatei hat keine Zeile <1> f\xC3\xBCr die Marke %_0_%");
    EXPECT_EQ(ReadBytes(destination_), kOld);
}

std::string CreateMessage(const std::string& path) {
    return "Datei " + path + " kann nicht erstellt werden";
}

TEST_F(CombineErrors, DestinationCannotBeCreated) {
    const std::string inMissingFolder = tmp_ / "no/such/folder/page.htm";
    EXPECT_EQ(Failure(text_, templ_, inMissingFolder), CreateMessage(inMissingFolder));
    EXPECT_FALSE(std::filesystem::exists(tmp_ / "no"));

    EXPECT_EQ(Failure(text_, templ_, ""), CreateMessage(""));

    const std::string folder = tmp_ / "sub";
    std::filesystem::create_directory(folder);
    EXPECT_EQ(Failure(text_, templ_, folder),
              NotRegularTargetError(folder, TFileKind::Folder).what());
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST_F(CombineErrors, ReadOnlyDestinationKeepsItsContent) {
    ASSERT_EQ(::chmod(destination_.c_str(), 0444), 0);
    EXPECT_EQ(Failure(text_, templ_, destination_),
              "Datei " + destination_ + " kann nicht geschrieben werden");
    EXPECT_EQ(ReadBytes(destination_), kOld);
}

TEST_F(CombineErrors, InputsMayBeOverwrittenByTheResult) {
    // Both inputs are read whole before anything is written.
    Combine(text_, templ_, templ_);
    EXPECT_EQ(ReadBytes(templ_), "<p>\r\nHallo\r\n</p>\r\n");
}

TEST_F(CombineErrors, TemplateInAnEncodingThatCannotBeHandled) {
    // Told after both files were read, naming the template.
    WriteBytes(templ_, "<meta charset=\"utf-16\"><p>%_0_%</p>");
    EXPECT_EQ(Failure(missing_, templ_, destination_), OpenMessage(missing_));
    EXPECT_EQ(Failure(text_, templ_, destination_),
              UnsupportedEncodingError(templ_, "UTF-16").what());
    // Every text is read and written through the page's encoding.
    WriteBytes(templ_, "<meta charset=\"x-unknown\"><p>%_0_%</p>");
    WriteBytes(text_,
               "<1>Gr\xC3\xBC\xC3\x9F"
               "e</>");
    WriteBytes(destination_, kOld);
    EXPECT_EQ(Failure(text_, templ_, destination_),
              UnknownEncodingError(templ_, "X-UNKNOWN").what());
    EXPECT_EQ(ReadBytes(destination_), kOld);
}

}  // namespace
}  // namespace quillfen
