// quillfen-cli check, run as the built program.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "exchange/formats.h"
#include "tests/exchange/testfiles.h"
#ifdef _WIN32
#include "tests/support/winprocess.h"
#endif

namespace quillfen {
namespace {

using testing::ReadBytes;
using testing::TTempDir;
using testing::WriteBytes;

struct TRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs quillfen-cli check with its scratch folders in tmp/scratch.
TRun RunCheck(const std::vector<std::string>& args, const TTempDir& tmp) {
    std::filesystem::create_directory(tmp / "scratch");
#ifdef _WIN32
    std::vector<std::string> withCommand{"check"};
    withCommand.insert(withCommand.end(), args.begin(), args.end());
    const testing::TProgramRun run =
        testing::RunProgram(QUILLFEN_CLI, withCommand, tmp / "err", {{"TMP", tmp / "scratch"}});
    return {run.Status, run.Out, ReadBytes(tmp / "err")};
#else
    std::string command = "TMPDIR='" + tmp / "scratch" + "' '" QUILLFEN_CLI "' check";
    for (const std::string& a : args) command += " '" + a + "'";
    command += " >'" + tmp / "out" + "' 2>'" + tmp / "err" + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(tmp / "out"),
            ReadBytes(tmp / "err")};
#endif
}

TEST(CheckCliTest, RealPagesPass) {
    const auto pages = testing::CorpusPages();
    ASSERT_FALSE(pages.empty());
    std::vector<std::string> args;
    for (const auto& page : pages) args.push_back(page.string());
    std::vector<std::vector<std::string>> options = {{"--tags", "3"}, {"--tags", "7"}};
#ifdef QUILLFEN_SENTENCES
    // Sentences: the template carries the tags, the text file the placeholders.
    options.push_back({"--tags", "7", "--units", "sentences"});
#endif
    // Translation tools' formats: the untouched file, and the one with the sources copied as
    // targets, merge into the page's bytes.
    const std::size_t textOptions = options.size();
    for (const TExchangeFormat* format : ExchangeFormats())
        for (std::size_t i = 0; format->ReadTranslation && i < textOptions; ++i) {
            options.push_back(options[i]);
            options.back().insert(options.back().end(), {"--format", std::string(format->Name)});
        }
    for (const auto& option : options) {
        TTempDir tmp;
        std::vector<std::string> withTags = args;
        withTags.insert(withTags.end(), option.begin(), option.end());
        const TRun run = RunCheck(withTags, tmp);
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(run.err, "");
        // One line per page, in argument order, whatever order the threads finished in.
        std::string lines;
        for (const std::string& page : args) lines += page + "\t";
        std::string pagesSeen;
        std::size_t from = 0;
        for (std::size_t nl; (nl = run.out.find('\n', from)) != std::string::npos; from = nl + 1) {
            const std::string line = run.out.substr(from, nl - from);
            EXPECT_TRUE(line.ends_with("\tsave ok\troundtrip ok")) << line;
            pagesSeen += line.substr(0, line.find('\t') + 1);
        }
        EXPECT_EQ(pagesSeen, lines);
    }
}

TEST(CheckCliTest, FailuresAreToldPerPage) {
    TTempDir tmp;
    const std::string good = tmp / "good.htm", marked = tmp / "marked.htm",
                      missing = tmp / "missing.htm";
    WriteBytes(good, "<p>Fish &amp; Chips</p>\n<img alt=Logo>");
    WriteBytes(marked, "<p>One</p><!-- %_0_% -->");
    const TRun run = RunCheck({good, marked, missing, good}, tmp);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, good + "\t2\tsave ok\troundtrip ok\n" +             //
                           marked + "\t1\tsave ok\troundtrip FAIL\n" +     //
                           missing + "\t-\tsave FAIL\troundtrip FAIL\n" +  //
                           good + "\t2\tsave ok\troundtrip ok\n");
    // The causes, in argument order.
    const std::size_t markerCause = run.err.find(marked + ": The file " + marked);
    EXPECT_NE(markerCause, std::string::npos) << run.err;
    EXPECT_NE(run.err.find("%_0_%", markerCause), std::string::npos) << run.err;
    EXPECT_LT(markerCause, run.err.find(missing + ": ")) << run.err;
    EXPECT_EQ(testing::Listing(tmp / "scratch"), "");
}

}  // namespace
}  // namespace quillfen
