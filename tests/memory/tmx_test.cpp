#include "memory/tmx.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "core/document/document.h"
#include "core/text/utf8.h"
#include "memory/pages.h"
#include "tests/support/files.h"

namespace quillfen {
namespace {

using testing::ReadBytes;
using testing::TTempDir;
using testing::WriteBytes;

// A TMX file around body, whose first line is line 5.
std::string Tmx(std::string_view srclang, std::string_view body,
                std::string_view declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>") {
    return std::string(declaration) +
           "\n<tmx version=\"1.4\">\n<header creationtool=\"t\" creationtoolversion=\"1\" "
           "segtype=\"sentence\" o-tmf=\"t\" adminlang=\"en\" srclang=\"" +
           std::string(srclang) + "\" datatype=\"plaintext\"/>\n<body>\n" + std::string(body) +
           "</body>\n</tmx>\n";
}

std::string Tu(std::string_view en, std::string_view de) {
    return "<tu><tuv xml:lang=\"en\"><seg>" + std::string(en) +
           "</seg></tuv><tuv xml:lang=\"de\"><seg>" + std::string(de) + "</seg></tuv></tu>\n";
}

std::string Utf16(std::string_view utf8, bool little) {
    std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        i += Utf8CharAt(utf8, i, c);
        const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        out += little ? lo : hi;
        out += little ? hi : lo;
    }
    return out;
}

TUnit Unit(std::string source, std::string target, std::string from, std::string to) {
    TUnit unit;
    unit.Source = std::move(source);
    unit.Target = std::move(target);
    unit.Languages = {std::move(from), std::move(to)};
    return unit;
}

struct TStoredUnit {
    std::string languages, source, target, codes;
    bool operator==(const TStoredUnit&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TStoredUnit& u) {
    return out << u.languages << " [" << u.source << "] [" << u.target << "] " << u.codes;
}

std::vector<TStoredUnit> Stored(TMemory& memory) {
    std::vector<TStoredUnit> units;
    memory.ForEachUnit("", "", [&](const TUnit& u) {
        units.push_back(
            {u.Languages.Source + ">" + u.Languages.Target, u.Source, u.Target, u.Codes});
    });
    return units;
}

// A file read, and what it must give: the units (languages, texts, codes), or the error (a
// part of its English text; then nothing is stored), and how many units were skipped.
struct TTmxCase {
    const char* name;
    std::string file;
    TTmxImportOptions options;
    std::vector<TStoredUnit> units;
    std::string error = {};
    std::size_t skipped = 0;
};

std::vector<TTmxCase> AllTmxCases() {
    const std::string tu = Tu("Hello world.", "Hallo Welt.");
    const TStoredUnit hello{"en>de", "Hello world.", "Hallo Welt.", ""};
    const std::string three =
        "<tu><tuv xml:lang=\"en\"><seg>Yes</seg></tuv><tuv xml:lang=\"de\"><seg>Ja</seg></tuv>"
        "<tuv xml:lang=\"fr\"><seg>Oui</seg></tuv></tu>\n";
    return {
        {"level 1", Tmx("en", tu), {}, {hello}},
        {"UTF-16 little-endian",
         Utf16(Tmx("en", tu, "<?xml version=\"1.0\" encoding=\"UTF-16\"?>"), true),
         {},
         {hello}},
        {"UTF-16 big-endian, text beyond Latin",
         Utf16(Tmx("en", Tu("Hello world.", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82."),
                   "<?xml version=\"1.0\" encoding=\"UTF-16\"?>"),
               false),
         {},
         {{"en>de", "Hello world.", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.", ""}}},
        {"tuvs in any order, lang and xml:lang in any case",
         Tmx("fr",
             "<tu srclang=\"EN-us\"><tuv lang=\"DE-de\"><seg>Hallo.</seg></tuv>"
             "<tuv xml:lang=\"en-US\"><seg>Hello.</seg></tuv></tu>\n"),
         {},
         {{"en-US>de-DE", "Hello.", "Hallo.", ""}}},
        {"level 2: codes become placeholders of their element, numbered by the source",
         Tmx("en",
             "<tu><tuv xml:lang=\"en\"><seg>Click <bpt i=\"1\" x=\"1\">&lt;b></bpt>Save"
             "<ept i=\"1\">&lt;/b></ept> now<ph x=\"2\">&lt;br/></ph><hi type=\"x\">really</hi> "
             "<it pos=\"begin\" x=\"3\">&lt;i class=\"x\"></it>done</seg></tuv>"
             "<tuv xml:lang=\"de\"><seg><it pos=\"begin\" x=\"3\">&lt;i class=\"x\"></it>Fertig "
             "<bpt i=\"7\" x=\"1\">&lt;B></bpt>Speichern<ept i=\"7\">&lt;/B></ept> klicken"
             "<ph x=\"2\">&lt;br/></ph> wirklich</seg></tuv></tu>\n"),
         {},
         {{"en>de", "Click <b1>Save</b1> now<br2/>really <i3/>done",
           "<i3/>Fertig <b1>Speichern</b1> klicken<br2/> wirklich",
           "%{b1=3:<b>/4:</b>;br2=5:<br/>;i3=13:<i class=\"x\">;%}"}}},
        {"target codes without x: by i, then by element and order",
         Tmx("en",
             "<tu><tuv xml:lang=\"en\"><seg><bpt i=\"1\">&lt;a href=\"1\"></bpt>A<ept i=\"1\">"
             "&lt;/a></ept> and <bpt i=\"2\">&lt;a href=\"2\"></bpt>B<ept i=\"2\">&lt;/a></ept>"
             "</seg></tuv><tuv xml:lang=\"de\"><seg><bpt i=\"2\">&lt;a href=\"2\"></bpt>B"
             "<ept i=\"2\">&lt;/a></ept> und <bpt i=\"9\">&lt;a></bpt>A<ept i=\"9\">&lt;/a>"
             "</ept><ph>&lt;img></ph></seg></tuv></tu>\n"),
         {},
         {{"en>de", "<a1>A</a1> and <a2>B</a2>", "<a2>B</a2> und <a1>A</a1><img3/>",
           "%{a1=12:<a href=\"1\">/4:</a>;a2=12:<a href=\"2\">/4:</a>;img3=5:<img>;%}"}}},
        {"codes that name no element stay text",
         Tmx("en", Tu("Press <ph>{1}</ph> twice <bpt i=\"1\">{\\b </bpt>now<ept i=\"1\">}</ept>.",
                      "<ph>{1}</ph> zweimal")),
         {},
         {{"en>de", "Press {1} twice {\\b now}.", "{1} zweimal", ""}}},
        {"text that reads like a placeholder is escaped, blanks kept: a seg's are significant",
         Tmx("en", Tu("  Type   &lt;b1> here ", "Tippe &lt;b1>")),
         {},
         {{"en>de", "  Type   \\<b1> here ", "Tippe \\<b1>", ""}}},
        {"srclang *all*: every variant is a source",
         Tmx("*ALL*", three),
         {},
         {{"en>de", "Yes", "Ja", ""},
          {"en>fr", "Yes", "Oui", ""},
          {"de>en", "Ja", "Yes", ""},
          {"de>fr", "Ja", "Oui", ""},
          {"fr>en", "Oui", "Yes", ""},
          {"fr>de", "Oui", "Ja", ""}}},
        {"a source language given wins over srclang",
         Tmx("en", three),
         {"DE", ""},
         {{"de>en", "Ja", "Yes", ""}, {"de>fr", "Ja", "Oui", ""}}},
        {"a target language given", Tmx("en", three), {"", "fr"}, {{"en>fr", "Yes", "Oui", ""}}},
        {"an empty segment is no translation", Tmx("en", Tu("Hello.", "") + tu), {}, {hello}},
        {"a DOCTYPE that only names a DTD is passed over",
         Tmx("en", tu,
             "<?xml version=\"1.0\"?>\n<!DOCTYPE tmx SYSTEM \"http://127.0.0.1:9/tmx14.dtd\">"),
         {},
         {hello}},
        {"an entity of the DTD it names is none: that DTD is not read",
         Tmx("en", Tu("Hello &evil;", "x"),
             "<?xml version=\"1.0\"?>\n<!DOCTYPE tmx SYSTEM \"evil.dtd\">"),
         {},
         {},
         "unknown entity &evil;"},
        {"a DOCTYPE declaring entities (billion laughs)",
         Tmx("en", Tu("&lol3;", "x"),
             "<?xml version=\"1.0\"?>\n<!DOCTYPE tmx [<!ENTITY lol \"lol\"><!ENTITY lol2 "
             "\"&lol;&lol;&lol;&lol;\"><!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;\">]>"),
         {},
         {},
         "line 2: declares entities or a DTD, which are not read"},
        {"an attribute list declared",
         Tmx("en", tu, "<?xml version=\"1.0\"?>\n<!DOCTYPE tmx [<!ATTLIST tmx a (x|y) \"x\">]>"),
         {},
         {},
         "declares entities or a DTD"},
        {"not well-formed, with the line",
         Tmx("en", tu + "<tu><tuv xml:lang=\"en\"><seg>a</tuv></tu>\n"),
         {},
         {},
         "line 6: not well-formed XML"},
        {"not a TMX file",
         "<?xml version=\"1.0\"?>\n<xliff version=\"1.2\"/>\n",
         {},
         {},
         "line 2: not a TMX file (root element xliff)"},
        {"a unit without both languages stops the import: nothing half imported",
         Tmx("en", tu + "<tu><tuv xml:lang=\"en\"><seg>Alone</seg></tuv></tu>\n"),
         {},
         {},
         "line 6: the unit does not have both languages (en)"},
        {"a unit without both languages left out",
         Tmx("en", tu + "<tu>\n<tuv xml:lang=\"en\"><seg>Alone</seg></tuv></tu>\n" + tu),
         {"", "", true},
         {hello},
         "",
         1},
        {"a bpt without its ept",
         Tmx("en", tu + Tu("<bpt i=\"4\">&lt;b></bpt>Bold", "Fett")),
         {},
         {},
         "line 6: <bpt i=\"4\"> without its partner"},
        {"an ept without its bpt left out",
         Tmx("en", Tu("Bold<ept i=\"4\">&lt;/b></ept>", "Fett") + tu),
         {"", "", true},
         {hello},
         "",
         1},
        {"a language that is no tag",
         Tmx("en",
             "<tu><tuv xml:lang=\"en_US.UTF-8\"><seg>a</seg></tuv><tuv xml:lang=\"de\"><seg>b"
             "</seg></tuv></tu>\n"),
         {},
         {},
         "line 5: \"en_US.UTF-8\" is not a language tag"},
        {"an undetermined language left out",
         Tmx("en",
             "<tu><tuv xml:lang=\"und\"><seg>a</seg></tuv><tuv xml:lang=\"de\"><seg>b"
             "</seg></tuv></tu>\n" +
                 tu),
         {"", "", true},
         {hello},
         "",
         1},
        {"a segment too long for a phrase left out",
         Tmx("en", Tu(std::string(2 << 20, 'a'), "b") + tu),
         {"", "", true},
         {hello},
         "",
         1},
    };
}

class TmxCases : public ::testing::TestWithParam<std::size_t> {};

TEST_P(TmxCases, Read) {
    static const std::vector<TTmxCase> cases = AllTmxCases();
    const TTmxCase& c = cases[GetParam()];
    SCOPED_TRACE(c.name);
    TTempDir dir;
    // What the DOCTYPE names, were it read, would define the entity.
    WriteBytes(dir / "evil.dtd", "<!ENTITY evil \"pwned\">");
    WriteBytes(dir / "in.tmx", c.file);
    TMemory memory(dir / "m.sqlite");
    try {
        const TTmxImportResult result = ImportTmx(memory, dir / "in.tmx", c.options);
        EXPECT_TRUE(c.error.empty()) << "no error, expected " << c.error;
        EXPECT_EQ(result.Skipped.size(), c.skipped);
        for (const TError& e : result.Skipped)
            EXPECT_NE(std::string(e.English()).find(dir / "in.tmx" + ", line "), std::string::npos)
                << e.English();
        EXPECT_EQ(result.Added, c.units.size());
    } catch (const TError& e) {
        EXPECT_FALSE(c.error.empty()) << e.English();
        EXPECT_NE(std::string(e.English()).find(c.error), std::string::npos) << e.English();
    }
    EXPECT_EQ(Stored(memory), c.units);
}

INSTANTIATE_TEST_SUITE_P(Memory, TmxCases, ::testing::Range<std::size_t>(0, AllTmxCases().size()));

// A segment that would make a text grow without end is read as a stream and left out once it is
// too long for a phrase: 64 MB of it cost no more than a few MB of memory.
TEST(Tmx, AHugeSegmentIsLeftOutWithoutHoldingIt) {
    TTempDir dir;
    WriteBytes(dir / "huge.tmx",
               Tmx("en", Tu(std::string(64 << 20, 'a'), "b") + Tu("Hello.", "Hallo.")));
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        rusage before{}, after{};
        int status = 2;
        try {
            TMemory memory(dir / "m.sqlite");
            ::getrusage(RUSAGE_SELF, &before);
            const TTmxImportResult result = ImportTmx(memory, dir / "huge.tmx", {"", "", true});
            ::getrusage(RUSAGE_SELF, &after);
            if (result.Added == 1 && result.Skipped.size() == 1 &&
                std::string(result.Skipped[0].English()).find("too long") != std::string::npos)
                status = 0;
        } catch (...) {
            status = 3;
        }
        // ru_maxrss is in KiB.
        if (status == 0 && after.ru_maxrss - before.ru_maxrss > 16 * 1024) status = 1;
        ::_exit(status);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: memory grew, 2: not left out, 3: an error";
}

// A process killed while it imports leaves the memory as it was: every unit of the file or none.
TEST(Tmx, AKillDuringImportLeavesAllOrNothing) {
    TTempDir dir;
    constexpr std::size_t kUnits = 40000;
    std::string body;
    for (std::size_t k = 0; k < kUnits; ++k)
        body += Tu("Sentence " + std::to_string(k) +
                       " of a long <bpt i=\"1\">&lt;b></bpt>file"
                       "<ept i=\"1\">&lt;/b></ept> to import.",
                   "Satz " + std::to_string(k));
    WriteBytes(dir / "big.tmx", Tmx("en", body));
    const std::string path = dir / "m.sqlite";
    {
        TMemory memory(path);
        memory.Add(Unit("Kept.", "Bleibt.", "en", "de"));
    }
    auto import = [&] {
        const pid_t pid = ::fork();
        if (pid == 0) {
            try {
                TMemory memory(path);
                ImportTmx(memory, dir / "big.tmx");
                ::_exit(0);
            } catch (...) {
                ::_exit(1);
            }
        }
        return pid;
    };
    // How long a whole import takes, from a copy of the memory.
    std::filesystem::copy_file(path, dir / "copy.sqlite");
    const auto start = std::chrono::steady_clock::now();
    {
        TMemory copy(dir / "copy.sqlite");
        ImportTmx(copy, dir / "big.tmx");
    }
    const auto whole = std::chrono::steady_clock::now() - start;
    for (const double at : {0.1, 0.4, 0.7, 0.9}) {
        SCOPED_TRACE(at);
        const pid_t pid = import();
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(whole * at);
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        TMemory memory(path);
        const std::size_t count = memory.UnitCount();
        EXPECT_TRUE(count == 1 || count == 1 + kUnits) << count;
        TQuery query;
        query.Text = "Sentence 17 of a long <b1>file</b1> to import.";
        query.Languages = {"en", "de"};
        EXPECT_EQ(memory.Lookup(query).size(), count == 1 ? 0u : 5u);
    }
}

// An export that xmllint validates against the TMX 1.4 DTD, and reads back into the same units:
// texts, tags of the page, context and kind.
TEST(Tmx, ExportIsValidAndReadsBack) {
    TTempDir dir;
    TMemory memory(dir / "m.sqlite");
    TDocument doc;
    doc.LoadBytes(
        "<html lang=\"en\"><body><p>Press <kbd>Ctrl</kbd>+<kbd class=\"k\">S</kbd> to save "
        "&amp; <img src=\"s.png\" alt=\"quit\">.</p><p>Type &lt;b1&gt; &lt; here.</p>"
        "<p>Caf\xC3\xA9 <a href=\"x?a=1&amp;b=2\">menu</a> \"now\".</p></body></html>",
        TTags::Default, TUnits::Sentences, {}, "/web/page.html");
    std::vector<TReplacement> replacements;
    for (std::size_t i = 0; i < doc.PhraseCount(); ++i) {
        std::string text(doc.Text(i));
        replacements.push_back({i, text, text + " (de)"});
    }
    RecordReplacements(memory, doc, replacements, {"en", "de"}, TOrigin::Window, "page.html");
    memory.Add(Unit("Control \x01 char", "Steuer\r\nzeichen \xFF", "en-US", "fr"));
    ASSERT_EQ(ExportTmx(memory, dir / "out.tmx"), doc.PhraseCount() + 1);

    const std::string command = "xmllint --nonet --noout --dtdvalid \"" QUILLFEN_SOURCE_DIR
                                "/tests/data/tmx/tmx14.dtd\" \"" +
                                dir / "out.tmx" + "\" > \"" + dir / "lint.log" + "\" 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadBytes(dir / "lint.log");

    TMemory again(dir / "again.sqlite");
    const TTmxImportResult result = ImportTmx(again, dir / "out.tmx");
    EXPECT_EQ(result.Added, doc.PhraseCount() + 1);
    std::vector<TUnit> before, after;
    memory.ForEachUnit("en", "de", [&](const TUnit& u) { before.push_back(u); });
    again.ForEachUnit("en", "de", [&](const TUnit& u) { after.push_back(u); });
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t k = 0; k < before.size(); ++k) {
        SCOPED_TRACE(before[k].Source);
        EXPECT_EQ(after[k].Source, before[k].Source);
        EXPECT_EQ(after[k].Target, before[k].Target);
        EXPECT_EQ(after[k].Codes, before[k].Codes);
        EXPECT_EQ(after[k].Context, before[k].Context);
        EXPECT_EQ(after[k].Kind, before[k].Kind);
        EXPECT_EQ(after[k].Time, before[k].Time);
        EXPECT_EQ(after[k].Origin, TOrigin::Import);
    }
    EXPECT_EQ(before[0].Codes,
              "%{kbd1=5:<kbd>/6:</kbd>;kbd2=15:<kbd class=\"k\">/6:</kbd>;"
              "img3=28:<img src=\"s.png\" alt=\"quit\">;%}");
}

}  // namespace
}  // namespace quillfen
