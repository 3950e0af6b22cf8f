// quillfen-cli's translation memory end to end on real pages: a page and its translation aligned
// give their phrases back through lookup, and pretranslating the page again writes exactly the
// phrases the memory knows, every other byte as it was; a TMX export that the TMX DTD validates,
// an import that fails leaving the memory as it was, and save and merge keeping what they write.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "core/document/document.h"
#include "core/text/phrasetext.h"
#include "memory/memory.h"
#include "memory/pages.h"
#include "tests/support/files.h"

using namespace quillfen;
namespace fs = std::filesystem;
using quillfen::testing::ReadBytes;
using quillfen::testing::TTempDir;
using quillfen::testing::WriteBytes;

namespace {

struct TRun {
    int status = -1;
    std::string out, err;
};

std::string Quoted(const std::string& a) {
    std::string quoted = "'";
    for (char c : a) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

TRun RunCli(const TTempDir& dir, const std::vector<std::string>& args) {
    std::string command = "'" QUILLFEN_CLI "'";
    for (const std::string& a : args) command.append(" ").append(Quoted(a));
    command.append(" 2>").append(Quoted(dir / "err.txt"));
    TRun run;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadBytes(dir / "err.txt");
    return run;
}

TDocument Load(const std::string& path) {
    TDocument doc;
    doc.LoadFile(path, TTags::Default, TUnits::Sentences);
    return doc;
}

// The memory's units, as TMX gives them: what a test compares before and after.
std::string Dump(const std::string& memory) {
    std::string all;
    TMemory m(memory);
    m.ForEachUnit({}, {}, [&](const TUnit& u) {
        all += u.Languages.Source + ">" + u.Languages.Target + "\t" + u.Source + "\t" + u.Target +
               "\t" + std::string(OriginName(u.Origin)) + "\n";
    });
    return all;
}

const std::string kPseudo = "XX ";

}  // namespace

// Each real page with every third phrase left as it is and the others given "XX " in front: the
// alignment gives each translated phrase back as an exact match, and a copy of the page
// pretranslated from it is the page with exactly the phrases whose text was translated anywhere
// given their translation: every other byte is the page's.
TEST(MemoryCli, AlignLookupAndPretranslateRealPages) {
    for (const fs::path& page : quillfen::testing::CorpusPages()) {
        SCOPED_TRACE(page.filename().string());
        TTempDir dir;
        const std::string a = dir / "a.html", b = dir / "b.html", memory = dir / "m.sqlite";
        fs::copy_file(page, a);
        TDocument doc = Load(a);
        std::set<std::string> translated;
        for (std::size_t i = 0; i < doc.PhraseCount(); ++i) {
            if (i % 3 == 0) continue;
            const std::string text(doc.Text(i));
            translated.insert(text);
            doc.SetPhraseText(i, kPseudo + text);
        }
        WriteBytes(b, doc.Render());
        const std::vector<std::string> options = {
            "--units", "sentences", "--tm", memory, "--source-lang", "en", "--target-lang", "de"};
        auto with = [&](std::vector<std::string> args) {
            args.insert(args.end(), options.begin(), options.end());
            return args;
        };
        TRun run = RunCli(dir, with({"tm", "align", a, b}));
        ASSERT_EQ(run.status, 0) << run.err;

        // Every translated text, looked up at once, comes first with its translation.
        const TLanguagePair languages = PageLanguages(Load(a), "en", "de");
        std::string queries;
        for (const std::string& text : translated) queries += EscapedText(text) + "\n";
        WriteBytes(dir / "queries.txt", queries);
        run = RunCli(dir, {"tm", "lookup", "--queries", dir / "queries.txt", "--tm", memory,
                           "--source-lang", languages.Source, "--target-lang", "de"});
        ASSERT_EQ(run.status, 0) << run.err;
        std::istringstream lines(run.out);
        std::size_t blocks = 0;
        for (const std::string& text : translated) {
            std::string first, line;
            std::getline(lines, first);
            if (!first.empty())
                while (std::getline(lines, line) && !line.empty()) {
                }
            EXPECT_EQ(first, "100\t" + EscapedText(text) + "\t" + EscapedText(kPseudo + text));
            ++blocks;
        }
        EXPECT_EQ(blocks, translated.size());
        EXPECT_FALSE(std::getline(lines, queries)) << "more blocks than queries";

        const std::string c = dir / "c.html", d = dir / "d.html";
        fs::copy_file(page, c);
        run = RunCli(dir, with({"pretranslate", c, "-o", d}));
        ASSERT_EQ(run.status, 0) << run.err;
        TDocument expected = Load(a);
        std::size_t written = 0;
        for (std::size_t i = 0; i < expected.PhraseCount(); ++i) {
            const std::string text(expected.Text(i));
            if (!translated.count(text)) continue;
            expected.SetPhraseText(i, kPseudo + text);
            ++written;
        }
        EXPECT_TRUE(ReadBytes(d) == expected.Render());
        EXPECT_TRUE(ReadBytes(c) == ReadBytes(page)) << "-o leaves the page as it was";
        EXPECT_NE(run.out.find(": " + std::to_string(written) + " phrases written\n"),
                  std::string::npos)
            << run.out;
        // The phrases written all had a match in context or an exact one; the bands add up.
        std::size_t exact = 0, all = 0;
        std::istringstream bands(run.out.substr(run.out.find("score\tphrases\twords\n") + 20));
        for (std::string band; std::getline(bands, band);) {
            const std::size_t phrases = std::stoul(band.substr(band.find('\t') + 1));
            all += phrases;
            if (band.starts_with("101\t") || band.starts_with("100\t")) exact += phrases;
        }
        EXPECT_EQ(exact, written);
        EXPECT_EQ(all, expected.PhraseCount());
    }
}

namespace {

// A memory made by aligning a real page with its pseudo-translation.
void AlignedMemory(const TTempDir& dir, const std::string& memory) {
    const std::string a = dir / "a.html", b = dir / "b.html";
    fs::copy_file(QUILLFEN_SOURCE_DIR "/tests/data/pages/sphinx-en-utf8-tutorial-introduction.html",
                  a);
    TDocument doc = Load(a);
    for (std::size_t i = 0; i < doc.PhraseCount(); ++i)
        doc.SetPhraseText(i, kPseudo + std::string(doc.Text(i)));
    WriteBytes(b, doc.Render());
    ASSERT_EQ(RunCli(dir, {"tm", "align", a, b, "--units", "sentences", "--tm", memory,
                           "--target-lang", "de"})
                  .status,
              0);
}

std::string WithoutOrigins(const std::string& dump) {
    std::string out;
    std::istringstream lines(dump);
    for (std::string line; std::getline(lines, line);)
        out.append(line, 0, line.rfind('\t')).append("\n");
    return out;
}

}  // namespace

// The export is TMX that the TMX 1.4 DTD validates and that imports to the same units; an import
// that fails midway leaves the memory as it was, and --skip-bad takes the good units and names
// the bad one by its line.
TEST(MemoryCli, TmxOutAndInAllOrNothing) {
    TTempDir dir;
    const std::string memory = dir / "m.sqlite", tmx = dir / "out.tmx";
    AlignedMemory(dir, memory);
    const std::string units = Dump(memory);
    ASSERT_GT(std::count(units.begin(), units.end(), '\n'), 100);
    ASSERT_NE(units.find("<a1>"), std::string::npos) << "the page's sentences have placeholders";
    TRun run = RunCli(dir, {"tm", "export", "-o", tmx, "--tm", memory});
    ASSERT_EQ(run.status, 0) << run.err;
    if (std::system("xmllint --version >/dev/null 2>&1") == 0) {
        const std::string validate = "xmllint --noout --dtdvalid '" QUILLFEN_SOURCE_DIR
                                     "/tests/data/tmx/tmx14.dtd' '" +
                                     tmx + "' 2>'" + (dir / "xmllint.txt") + "'";
        EXPECT_EQ(std::system(validate.c_str()), 0) << ReadBytes(dir / "xmllint.txt");
    } else {
        std::printf("xmllint is missing: the export is not validated\n");
    }
    run = RunCli(dir, {"tm", "import", tmx, "--tm", dir / "back.sqlite"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(WithoutOrigins(Dump(dir / "back.sqlite")), WithoutOrigins(units));

    // A good unit, then one whose bpt has no ept (its tu on line 4), then another good one; and
    // a file of good units cut short.
    const std::string head =
        "<?xml version=\"1.0\"?>\n<tmx version=\"1.4\"><header srclang=\"en\" datatype=\"html\" "
        "segtype=\"sentence\" adminlang=\"en\" creationtool=\"t\" creationtoolversion=\"1\" "
        "o-tmf=\"t\"/><body>\n";
    const std::string good1 =
        "<tu><tuv xml:lang=\"en\"><seg>Good one.</seg></tuv><tuv xml:lang=\"de\"><seg>Gut "
        "eins.</seg></tuv></tu>\n";
    const std::string good2 =
        "<tu><tuv xml:lang=\"en\"><seg>Good two.</seg></tuv><tuv xml:lang=\"de\"><seg>Gut "
        "zwei.</seg></tuv></tu>\n";
    WriteBytes(dir / "bad.tmx",
               head + good1 +
                   "<tu>\n<tuv xml:lang=\"en\">\n<seg>Bad <bpt i=\"1\">&lt;b></bpt>one.</seg>\n"
                   "</tuv>\n<tuv xml:lang=\"de\"><seg>Schlecht.</seg></tuv></tu>\n" +
                   good2 + "</body></tmx>\n");
    WriteBytes(dir / "cut.tmx", head + good1 + good2);
    for (const char* file : {"bad.tmx", "cut.tmx"}) {
        SCOPED_TRACE(file);
        run = RunCli(dir, {"tm", "import", dir / file, "--tm", memory});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(file), std::string::npos) << run.err;
        EXPECT_EQ(Dump(memory), units);
    }
    EXPECT_NE(run.err.find("cut.tmx, line "), std::string::npos) << run.err;
    run = RunCli(dir, {"tm", "import", dir / "bad.tmx", "--skip-bad", "--tm", memory});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("bad.tmx, line 4:"), std::string::npos) << run.err;
    EXPECT_EQ(Dump(memory), units + "en>de\tGood one.\tGut eins.\timport\n" +
                                "en>de\tGood two.\tGut zwei.\timport\n");
}

// save --set and merge keep what they wrote under the page's language pair when a target
// language is given; without one nothing is kept and no memory is made; a page whose language is
// not known is refused before it is written.
TEST(MemoryCli, SaveAndMergeKeepWhatTheyWrite) {
    struct TCase {
        const char* name;
        const char* page;
        std::vector<std::string> args;  // after the page; "PO": the translated PO file
        int status;
        const char* units;  // nullptr: no memory file
    };
    const char* kEnglish = "<html lang=\"en-us\"><p>Hello world.</p><p>Bye.</p></html>";
    const char* kUnknown = "<html><p>Hello world.</p><p>Bye.</p></html>";
    const TCase cases[] = {
        {"save",
         kEnglish,
         {"--set", "1=Hallo Welt.", "--target-lang", "DE"},
         0,
         "en-US>de\tHello world.\tHallo Welt.\tsave\n"},
        {"save, no target", kEnglish, {"--set", "1=Hallo Welt."}, 0, nullptr},
        {"save, no source",
         kUnknown,
         {"--set", "1=Hallo Welt.", "--target-lang", "de"},
         1,
         nullptr},
        {"save, source given",
         kUnknown,
         {"--set", "1=Hallo Welt.", "--target-lang", "de", "--source-lang", "en"},
         0,
         "en>de\tHello world.\tHallo Welt.\tsave\n"},
        {"merge",
         kEnglish,
         {"PO", "--target-lang", "de"},
         0,
         "en-US>de\tHello world.\tHallo Welt.\tmerge\n"},
        {"merge, no target", kEnglish, {"PO"}, 0, nullptr},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        const std::string page = dir / "page.html", memory = dir / "m.sqlite";
        WriteBytes(page, c.page);
        std::vector<std::string> args = {c.args[0] == "PO" ? "merge" : "save", page};
        for (const std::string& arg : c.args) {
            if (arg != "PO") {
                args.push_back(arg);
                continue;
            }
            ASSERT_EQ(RunCli(dir, {"export", page, "-d", dir.Path().string(), "--format", "po",
                                   "--target-lang", "de"})
                          .status,
                      0);
            std::string po = ReadBytes(dir / "page.po");
            const std::string empty = "msgid \"Hello world.\"\nmsgstr \"\"";
            ASSERT_NE(po.find(empty), std::string::npos);
            po.replace(po.find(empty), empty.size(),
                       "msgid \"Hello world.\"\nmsgstr \"Hallo Welt.\"");
            WriteBytes(dir / "page.po", po);
            args.push_back(dir / "page.po");
        }
        args.insert(args.end(), {"--tm", memory});
        const TRun run = RunCli(dir, args);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(ReadBytes(page) == c.page, c.status != 0) << "a refused save writes nothing";
        if (!c.units) {
            EXPECT_FALSE(fs::exists(memory));
            continue;
        }
        EXPECT_EQ(Dump(memory), c.units);
    }
}
