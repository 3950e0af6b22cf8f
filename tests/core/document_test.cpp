#include "core/document/document.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "core/errors.h"
#include "core/files/savefile.h"
#include "tests/support/files.h"
#include "tests/support/pagegen.h"

using namespace quillfen;
namespace fs = std::filesystem;

namespace {

using quillfen::testing::TTempDir;

std::string ReadBytes(const std::string& path) { return ReadFileBytes(path); }

void WriteBytes(const std::string& path, const std::string& bytes) {
    quillfen::testing::WriteBytes(path, bytes);
}

}  // namespace

TEST(Document, LoadScansAFileAndReportsProgress) {
    TTempDir dir;
    const std::string page = (dir / "a.htm");
    WriteBytes(page, "a\r\n\r\n\n   b<br>\rc");
    TDocument doc;
    std::size_t lastPosition = 0, lastMaximum = 1;
    doc.LoadFile(page, TTags::AllKinds, [&](std::size_t pos, std::size_t max) {
        lastPosition = pos;
        lastMaximum = max;
    });
    ASSERT_EQ(doc.PhraseCount(), 2u);
    EXPECT_EQ(doc.Text(0), "a b");
    EXPECT_EQ(doc.Text(1), "c");
    EXPECT_EQ(lastPosition, lastMaximum);

    WriteBytes(page, "");
    doc.LoadFile(page, TTags::AllKinds);
    EXPECT_EQ(doc.PhraseCount(), 0u);
    EXPECT_EQ(doc.Render(), "");
}

TEST(Document, MissingFileAndZeroBytesAreRefused) {
    TTempDir dir;
    TDocument doc;
    EXPECT_THROW(doc.LoadFile((dir / "gone.htm"), TTags::AllKinds), TError);
    EXPECT_THROW(doc.LoadFile((dir / ""), TTags::AllKinds), TError);
    const std::string utf16 = (dir / "u16.htm");
    const std::string bytes("\xFF\xFE<\0p\0>\0", 8);
    WriteBytes(utf16, bytes);
    try {
        doc.LoadFile(utf16, TTags::AllKinds);
        FAIL() << "a page with a zero byte was opened";
    } catch (const TError& e) {
        EXPECT_NE(std::string(e.what()).find(utf16), std::string::npos);
    }
    EXPECT_EQ(ReadBytes(utf16), bytes);
}

TEST(Document, SaveWritesOnlyTheChangedPhraseEncoded) {
    TTempDir dir;
    const std::string page = (dir / "p.htm");
    const std::string original =
        "\xEF\xBB\xBF<p>Hello <b>World</b> and\r\n  <i>more</i></p>\n<img alt=\"Logo\">";
    WriteBytes(page, original);
    TDocument doc;
    doc.LoadFile(page, TTags::AllKinds);
    doc.Save(page);
    EXPECT_EQ(ReadBytes(page), original);
    doc.SetPhraseText(1,
                      "Gr\xC3\xB6\xC3\x9F"
                      "e & \"Co\" <x>");
    doc.Save(page);
    EXPECT_EQ(ReadBytes(page),
              "\xEF\xBB\xBF<p>Hello <b>Gr&ouml;&szlig;e &amp; &quot;Co&quot; &lt;x&gt;</b> "
              "and\r\n  <i>more</i></p>\n<img alt=\"Logo\">");
    EXPECT_THROW(doc.SetPhraseText(9, "x"), TError);
}

// A new text at the very start of a page must not make the page open as UTF-16 next time (a
// blank goes in front), nor turn a Windows-1252 page into a UTF-8 one (its first character is
// written as a reference). Anywhere else, and behind the page's own byte-order mark, it stands
// as typed.
TEST(Document, ANewTextNeverMakesThePageStartWithAByteOrderMark) {
    const std::string umlaut1252 = "<p>\xE4</p>";
    const std::string umlautUtf8 = "<p>\xC3\xA4</p>";
    const struct {
        std::string page, text, expected;
    } cases[] = {
        {"Hallo" + umlaut1252, "\u00FE\u00FFx", " \xFE\xFFx" + umlaut1252},
        {"Hallo" + umlaut1252, "\u00FF\u00FEx", " \xFF\xFEx" + umlaut1252},
        {" \n\x01Hallo" + umlaut1252, "\u00EF\u00BB\u00BFx", " \n\x01&#239;\xBB\xBFx" + umlaut1252},
        {" Hallo" + umlaut1252, "\u00FE\u00FFx", " \xFE\xFFx" + umlaut1252},
        {"Hallo" + umlautUtf8, "\xEF\xBB\xBFx", "&#65279;x" + umlautUtf8},
        {"<b>Hallo</b>" + umlaut1252, "\u00FE\u00FFx", "<b>\xFE\xFFx</b>" + umlaut1252},
        {"\xEF\xBB\xBFHallo" + umlautUtf8, "\xEF\xBB\xBFx",
         "\xEF\xBB\xBF\xEF\xBB\xBFx" + umlautUtf8},
    };
    for (const auto& c : cases) {
        TDocument doc;
        doc.LoadBytes(c.page, TTags::Default);
        doc.SetPhraseText(0, c.text);
        const std::string saved = doc.Render();
        EXPECT_EQ(saved, c.expected);
        TDocument again;
        ASSERT_NO_THROW(again.LoadBytes(saved, TTags::Default)) << saved;
        EXPECT_EQ(again.Encoding(), doc.Encoding()) << saved;
        EXPECT_EQ(again.PhraseCount(), doc.PhraseCount()) << saved;
    }
}

// What the user types is text: written so that a browser shows it and the page reads it back
// as typed, in every encoding, as page text and in a single-quoted value.
TEST(Document, TypedTextsReadBackAsTyped) {
    const struct {
        std::string page;
        std::string_view want;  // what "Gr\u00F6\u00DFe \u20AC \u042F" becomes in the text
    } pages[] = {
        {"<meta charset=utf-8><p>\xC3\xA4</p><img alt='x'>",
         "Gr&ouml;&szlig;e \xE2\x82\xAC \xD0\xAF"},
        {"<p>\xE4</p><img alt='x'>", "Gr&ouml;&szlig;e \x80 &#1071;"},
        {"<meta charset=windows-1251><p>\xE4</p><img alt='x'>", "Gr&ouml;&szlig;e \x88 \xDF"},
    };
    const std::string texts[] = {"Read &notes now",
                                 "&copy",
                                 "&amp;",
                                 "&lt;b&gt;",
                                 "&#0;",
                                 "it's \"so\"",
                                 "a < b > c",
                                 "\u00C4\u00D6\u00DC\u00E4\u00F6\u00FC\u00DF",
                                 "Gr\u00F6\u00DFe \u20AC \u042F"};
    for (const auto& p : pages) {
        TDocument doc;
        doc.LoadBytes(p.page, TTags::AllKinds);
        ASSERT_EQ(doc.PhraseCount(), 2u) << p.page;
        for (const std::string& text : texts) {
            for (std::size_t k : {std::size_t(0), std::size_t(1)}) {
                doc.SetPhraseText(k, text);
                const std::string saved = doc.Render();
                TDocument again;
                again.LoadBytes(saved, TTags::AllKinds);
                ASSERT_EQ(again.PhraseCount(), 2u) << saved;
                EXPECT_EQ(again.Text(k), text) << saved;
                EXPECT_EQ(again.Encoding(), doc.Encoding()) << saved;
                doc.SetPhraseText(k, doc.OriginalText(k));
            }
        }
        doc.SetPhraseText(1, "it's");
        EXPECT_NE(doc.Render().find("alt='it&#39;s'"), std::string::npos) << p.page;
        doc.SetPhraseText(0, "Gr\u00F6\u00DFe \u20AC \u042F");
        EXPECT_NE(doc.Render().find(p.want), std::string::npos) << doc.Render();
    }
}

TEST(Document, MarkersInTextsAndInTheMarkupAreNeverConfused) {
    TDocument doc;
    doc.LoadBytes("<p>one</p><!-- %_1_% --><a data-x=\"%_0_%\">two</a>", TTags::AllKinds);
    ASSERT_EQ(doc.PhraseCount(), 2u);
    doc.SetPhraseText(0, "%_0_% and %_1_%");
    EXPECT_EQ(doc.Render(), "<p>%_0_% and %_1_%</p><!-- %_1_% --><a data-x=\"%_0_%\">two</a>");
    EXPECT_EQ(doc.TemplateBytes(), "<p>%_0_%</p><!-- %_1_% --><a data-x=\"%_0_%\">%_1_%</a>");
}

TEST(Document, GeneratedPagesReloadToTheSamePhrasesWhenEveryPhraseIsRewritten) {
    for (std::uint32_t seed = 1; seed <= 5; ++seed) {
        const std::string page = quillfen::testing::GeneratePage(20000 * seed, seed);
        for (const TTags tags : {TTags::PlainText, TTags::Default, TTags::AllKinds}) {
            TDocument first;
            first.LoadBytes(page, tags);
            TDocument second;
            second.LoadBytes(first.RenderAllPhrases(), tags);
            ASSERT_EQ(first.PhraseCount(), second.PhraseCount()) << "seed " << seed;
            for (std::size_t i = 0; i < first.PhraseCount(); ++i) {
                ASSERT_EQ(first.Text(i), second.Text(i)) << i;
                ASSERT_EQ(first.Kind(i), second.Kind(i)) << i;
            }
        }
    }
}

// A save writes the page from its own bytes and the new texts without putting it together; the
// file must hold what Render gives, through a new file and in place, and a save that fails
// halfway in place must leave the page as it was.
TEST(Document, ASaveWritesWhatRenderGivesAndFailingHalfwayKeepsThePage) {
    std::vector<std::pair<std::string, std::string>> pages;
    for (const fs::path& path : quillfen::testing::CorpusPages())
        pages.emplace_back(path.filename().string(), ReadBytes(path.string()));
    // Windows-1252 pages that new texts would make read as UTF-8, or declare so.
    pages.emplace_back("ascii", "<p>one</p><p>two</p><img alt=three>");
    pages.emplace_back("ascii-meta", "<meta name=x content=\"four\"><p>five</p>");
    pages.emplace_back("latin1", "<p>\xE4</p><p>six</p>");
    pages.emplace_back("reads-as-utf8", "<p>\xE4</p><p>\xC3\xA9</p><p>x</p><p>y</p>");
    pages.emplace_back("declares", "<p>a</p><p>b</p><p>c</p><meta name=x content=\"d\">");
    pages.emplace_back("blanks", " \n<b>seven</b>");
    const std::string texts[] = {"Gr\u00FC\u00DFe & <mehr>", "plain", "\xEF\xBB\xBFmark",
                                 "charset=utf-8", "\u20AC 'q' \"dq\""};
    TTempDir dir;
    for (const auto& [name, bytes] : pages) {
        for (std::size_t step : {1u, 3u, 50u}) {
            const std::string page = dir / "page.html";
            WriteBytes(page, bytes);
            TDocument doc;
            try {
                doc.LoadFile(page, TTags::AllKinds);
            } catch (const TError&) {
                continue;  // an encoding this build cannot keep
            }
            for (std::size_t i = 0; i < doc.PhraseCount(); i += step)
                doc.SetPhraseText(i, texts[i % std::size(texts)]);
            const std::string expected = doc.Render();
            doc.Save(dir / "new.html");
            EXPECT_EQ(ReadBytes(dir / "new.html"), expected) << name << " " << step;
            fs::remove(dir / "new.html");
#ifndef _WIN32
            // A second name makes the save write in place, which only POSIX systems do.
            fs::create_hard_link(page, dir / "twin.html");
            TSaveHooks hooks;
            hooks.InPlaceFailAfter = expected.size() / 2;
            EXPECT_THROW(doc.Save(page, &hooks), TError) << name;
            EXPECT_EQ(ReadBytes(page), bytes) << name << " " << step;
            doc.Save(page);
            EXPECT_EQ(ReadBytes(dir / "twin.html"), expected) << name << " " << step;
            fs::remove(dir / "twin.html");
#endif
        }
    }
}

TEST(Document, NoticesAnotherProgramsChange) {
    TTempDir dir;
    const std::string page = (dir / "c.htm");
    WriteBytes(page, "<p>a</p>");
    TDocument doc;
    doc.LoadFile(page, TTags::AllKinds);
    EXPECT_FALSE(doc.ChangedOnDisk(page));
    WriteBytes(page, "<p>a</p>");  // written again with the same bytes: no change
    EXPECT_FALSE(doc.ChangedOnDisk(page));
    WriteBytes(page, "<p>b</p>");
    EXPECT_TRUE(doc.ChangedOnDisk(page));
    doc.LoadFile(page, TTags::AllKinds);
    doc.SetPhraseText(0, "c");
    doc.Save(page);
    EXPECT_FALSE(doc.ChangedOnDisk(page));  // its own save is none
    fs::remove(page);
    EXPECT_TRUE(doc.ChangedOnDisk(page));
}

TEST(SaveFile, FailuresLeaveThePageAsItWas) {
    TTempDir dir;
    const std::string page = (dir / "ro.htm");
    WriteBytes(page, "old");
    chmod(page.c_str(), 0444);
    try {
        WriteFileAtomically(page, "new");
        FAIL() << "a read-only page was overwritten";
    } catch (const TError& e) {
        // It exists: it could not be written, not created.
        EXPECT_EQ(std::string(e.what()), "Datei " + page + " kann nicht geschrieben werden");
        EXPECT_EQ(std::string(e.English()), "The file " + page + " cannot be written");
    }
    EXPECT_EQ(ReadBytes(page), "old");
    struct stat st {};
    stat(page.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0444u);

    EXPECT_THROW(WriteFileAtomically((dir / "no/such/folder.htm"), "x"), TError);
    EXPECT_THROW(WriteFileAtomically("", "x"), TError);
    const std::string folderAsFile = (dir / "sub");
    fs::create_directory(folderAsFile);
    EXPECT_THROW(WriteFileAtomically(folderAsFile, "x"), TError);
    EXPECT_EQ(std::distance(fs::directory_iterator((dir / "")), fs::directory_iterator{}), 2)
        << "a temporary file was left behind";
}

// Modes and symbolic links are POSIX matters; Windows keeps file attributes instead, tested
// with the rest of saving there.
#ifndef _WIN32
TEST(SaveFile, KeepsPermissionsAndWritesThroughLinks) {
    TTempDir dir;
    const std::string page = (dir / "p.htm");
    WriteBytes(page, "old");
    chmod(page.c_str(), 0640);
    WriteFileAtomically(page, "new");
    struct stat st {};
    stat(page.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(ReadBytes(page), "new");

    const std::string link = (dir / "link.htm");
    fs::create_symlink(page, link);
    WriteFileAtomically(link, "through");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadBytes(page), "through");
}
#endif
