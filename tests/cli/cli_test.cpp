// quillfen-cli on real pages that nobody here wrote: an unchanged save gives the page byte for
// byte, and a replaced phrase changes nothing but its own bytes and reads back as typed.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/document.h"
#include "tests/support/files.h"
#ifdef _WIN32
#include "tests/support/winprocess.h"
#endif

using namespace quillfen;
namespace fs = std::filesystem;

namespace {

struct TRun {
    int status = -1;
    std::string out;
};

// Runs the tool with its arguments (each quoted for the shell) and gives its exit status and
// standard output; standard error goes to err when given.
#ifdef _WIN32
TRun RunCli(const std::vector<std::string>& args, const std::string& err = {}) {
    const quillfen::testing::TProgramRun run =
        quillfen::testing::RunProgram(QUILLFEN_CLI, args, err);
    return {run.Status, run.Out};
}
#else
TRun RunCli(const std::vector<std::string>& args, const std::string& err = "/dev/null") {
    std::string command = "'" QUILLFEN_CLI "'";
    for (const std::string& a : args) {
        command += " '";
        for (char c : a) command += c == '\'' ? std::string("'\\''") : std::string(1, c);
        command += "'";
    }
    command += " 2>'" + err + "'";
    TRun run;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
#endif

std::string Read(const fs::path& path) { return quillfen::testing::ReadBytes(path); }

std::vector<fs::path> Corpus() { return quillfen::testing::CorpusPages(); }

class Cli : public ::testing::Test {
  protected:
    std::string Out(const std::string& name) const { return dir_ / name; }

  private:
    quillfen::testing::TTempDir dir_;
};

}  // namespace

TEST_F(Cli, RealPagesSurviveAnUnchangedSave) {
    const auto pages = Corpus();
    ASSERT_GE(pages.size(), 10u);
    for (const fs::path& page : pages) {
        for (const char* tags : {"3", "7"}) {
            const TRun run =
                RunCli({"save", page.string(), "-o", Out("same.html"), "--tags", tags});
            ASSERT_EQ(run.status, 0) << page;
            EXPECT_TRUE(Read(Out("same.html")) == Read(page)) << page << " tags " << tags;
        }
    }
}

TEST_F(Cli, AReplacedPhraseOfARealPageChangesOnlyItsBytes) {
    for (const fs::path& page : Corpus()) {
        TDocument doc;
        doc.LoadFile(page.string(), TTags::AllKinds);
        ASSERT_GT(doc.PhraseCount(), 2u) << page;
        const std::string original = Read(page);
        // A phrase from the middle, and the last one, which on many pages ends the file.
        for (std::size_t k : {doc.PhraseCount() / 2, doc.PhraseCount() - 1}) {
            const std::string typed = "Neu <b> & &notes &#0; &copy \"\xC3\xA4\xE2\x82\xAC\" \\\\";
            const std::string set = std::to_string(k + 1) + "=" + typed;
            ASSERT_EQ(
                RunCli({"save", page.string(), "-o", Out("new.html"), "--tags", "7", "--set", set})
                    .status,
                0)
                << page;
            const std::string saved = Read(Out("new.html"));
            const std::size_t begin = doc.Bom().size() + doc.Spans()[k].Begin;
            const std::size_t tail = doc.Page().size() - doc.Spans()[k].End;
            EXPECT_EQ(saved.substr(0, begin), original.substr(0, begin)) << page << k;
            EXPECT_EQ(saved.substr(saved.size() - tail), original.substr(original.size() - tail))
                << page << k;
            // The text reads back as typed, in every encoding (the euro sign as a reference where
            // the page's encoding lacks it).
            const TRun phrases = RunCli({"phrases", Out("new.html"), "--tags", "7"});
            ASSERT_EQ(phrases.status, 0) << page;
            std::istringstream lines(phrases.out);
            std::string line;
            for (std::size_t i = 0; i <= k; ++i) std::getline(lines, line);
            const std::string kind(1, "TGC"[static_cast<int>(doc.Phrases()[k].Kind())]);
            EXPECT_EQ(line, std::to_string(k + 1) + "\t" + kind + "\t" + typed) << page;
        }
    }
}

TEST_F(Cli, FailuresWriteNothingAndSayWhy) {
    const fs::path page = Corpus().front();
    const std::string out = Out("never.html");
    const std::string err = Out("err.txt");
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"save", page.string(), "-o", out, "--set", "1= "}, 1},
        {{"save", page.string(), "-o", out, "--set", "1=a\\nb"}, 1},
        {{"save", page.string(), "-o", out, "--set", "99999=x"}, 1},
        {{"save", page.string(), "-o", out, "--set", "x"}, 2},
        {{"save", page.string(), "-o", out, "--tags", "8"}, 2},
        {{"save", page.string(), "-o", out, "--bogus"}, 2},
        {{"frobnicate", page.string()}, 2},
        {{"save",
          (fs::path(QUILLFEN_SOURCE_DIR "/tests/data/pages") / "refused" /
           "apache-ja-iso2022jp-mod-echo.html")
              .string(),
          "-o", out},
         1},
        {{"phrases", Out("missing.html")}, 1},
    };
    for (const auto& c : cases) {
        const TRun run = RunCli(c.args, err);
        EXPECT_EQ(run.status, c.status) << c.args.back();
        EXPECT_FALSE(fs::exists(out)) << c.args.back();
        EXPECT_FALSE(Read(err).empty()) << c.args.back();
    }
    const TRun help = RunCli({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* command : {"phrases", "save", "export", "combine", "check"})
        EXPECT_NE(help.out.find(std::string("quillfen-cli ") + command), std::string::npos);
}

TEST_F(Cli, TheLastTextOfARepeatedNumberCounts) {
    const std::string page = Out("p.html");
    std::ofstream(page, std::ios::binary) << "<pre>a  b</pre><p>x</p>";
    ASSERT_EQ(
        RunCli({"save", page, "--set", "2=first", "--set", "1=c   d", "--set", "2=  last  one "})
            .status,
        0);
    // The preformatted line keeps its inner blanks; the other text is cleaned as Ok cleans it.
    EXPECT_EQ(Read(page), "<pre>c   d</pre><p>last one</p>");
}
