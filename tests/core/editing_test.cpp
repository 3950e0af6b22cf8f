#include "core/document/editing.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "core/errors.h"
#include "tests/support/files.h"

using namespace quillfen;

namespace {

using quillfen::testing::TTempDir;

const std::string kPage =
    "<p>one</p>\r\n<img alt='two &amp; more'>\r\n<pre> three  x </pre>\r\n<p>four</p>";

std::vector<std::string> Texts(const TDocument& doc) {
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < doc.PhraseCount(); ++i) texts.emplace_back(doc.Text(i));
    return texts;
}

// What a command may change: the texts, the history's offers and the file.
struct TState {
    std::vector<std::string> Texts;
    bool Undo, Redo, Revert;
    std::string File;
    bool operator==(const TState&) const = default;
};

TState StateOf(const TDocument& doc, const std::string& page) {
    return {Texts(doc), doc.CanUndo(), doc.CanRedo(), doc.CanRevert(), ReadFileBytes(page)};
}

// A page on disk and its document; every save is counted, and fails while `fail` is set, at the
// last moment before the new bytes would take the page's place.
struct Editing : ::testing::Test {
    TTempDir dir;
    const std::string page = dir / "page.htm";
    TDocument doc;
    TSaveHooks hooks;
    int writes = 0;
    bool fail = false;
    const TWrite write = [this] { doc.Save(page, &hooks); };

    void SetUp() override {
        quillfen::testing::WriteBytes(page, kPage);
        doc.LoadFile(page, TTags::AllKinds);
        ASSERT_EQ(Texts(doc), (std::vector<std::string>{"one", "two & more", "three  x", "four"}));
        hooks.BeforeFinalCheck = [this] {
            ++writes;
            if (fail) throw TError("the disk is full");
        };
    }
};

using TCommand = std::function<std::vector<std::size_t>()>;

}  // namespace

TEST_F(Editing, EachCommandWritesOnceAsOneStepAndAFailedWriteChangesNothing) {
    auto replace = [this](std::vector<TPhraseChange> changes) -> TCommand {
        return [this, changes] {
            EXPECT_TRUE(ReplacePhrases(doc, changes, write));
            return std::vector<std::size_t>{};
        };
    };
    const TCommand undo = [this] { return UndoReplacement(doc, write); };
    const TCommand redo = [this] { return RedoReplacement(doc, write); };
    const TCommand revert = [this] {
        RevertPage(doc, write);
        return std::vector<std::size_t>{};
    };
    const std::vector<std::string> batch{"one", "zwei", "three  again", "four"};
    const struct {
        const char* name;
        TCommand command;
        std::vector<std::size_t> shown;  // the phrases undo and redo give
        std::vector<std::string> texts;
        bool canUndo, canRedo;
    } steps[] = {
        // The last text of a phrase counts; a preformatted line keeps its inner blanks.
        {"batch",
         replace({{2, "drei  und"}, {1, "  zwei "}, {2, " three  again "}}),
         {},
         batch,
         true,
         false},
        {"second",
         replace({{0, "eins"}}),
         {},
         {"eins", "zwei", "three  again", "four"},
         true,
         false},
        {"undo second", undo, {0}, batch, true, true},
        {"undo batch", undo, {1, 2}, {"one", "two & more", "three  x", "four"}, false, true},
        {"redo batch", redo, {1, 2}, batch, true, true},
        // Only a written step drops the one that could be redone.
        {"third", replace({{3, "vier"}}), {}, {"one", "zwei", "three  again", "vier"}, true, false},
        {"revert", revert, {}, {"one", "two & more", "three  x", "four"}, false, false},
    };
    for (const auto& s : steps) {
        const TState before = StateOf(doc, page);
        fail = true;
        writes = 0;
        EXPECT_THROW(s.command(), TError) << s.name;
        EXPECT_EQ(writes, 1) << s.name;
        EXPECT_TRUE(StateOf(doc, page) == before) << s.name;

        fail = false;
        writes = 0;
        EXPECT_EQ(s.command(), s.shown) << s.name;
        EXPECT_EQ(writes, 1) << s.name;
        EXPECT_EQ(Texts(doc), s.texts) << s.name;
        EXPECT_EQ(doc.CanUndo(), s.canUndo) << s.name;
        EXPECT_EQ(doc.CanRedo(), s.canRedo) << s.name;
        EXPECT_TRUE(ReadFileBytes(page) == doc.Render()) << s.name;
    }
    EXPECT_TRUE(ReadFileBytes(page) == kPage);
    EXPECT_EQ(UndoReplacement(doc, write), std::vector<std::size_t>{});
    EXPECT_EQ(writes, 1);
}

TEST_F(Editing, ConfirmedTextsLoseOuterBlanksAndRunsUnlessPreformatted) {
    const struct {
        const char* typed;
        std::size_t phrase;  // 2 is a line of a pre block
        const char* want;
    } cases[] = {
        {"  New   second  ", 0, "New second"},
        {"  New   second  ", 2, "New   second"},
        {"a \t  b", 0, "a \t b"},
        {"\ttab\t", 0, "\ttab\t"},
        {"    ", 0, ""},
        {"    ", 2, ""},
        {"", 0, ""},
        {"plain", 0, "plain"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CleanedText(doc, c.phrase, c.typed), c.want)
            << '"' << c.typed << "\" phrase " << c.phrase;
}

TEST_F(Editing, ARefusedOrUnchangedBatchWritesNothingAndRecordsNoStep) {
    const struct {
        std::vector<TPhraseChange> changes;
        std::string error;  // empty: no change
    } cases[] = {
        {{{0, "new"}, {4, "x"}}, NoSuchPhraseError(5, 4).what()},
        {{{0, "new"}, {1, "a\nb"}}, PhraseTextBreaksLineError(2).what()},
        {{{1, std::string("a\0b", 3)}}, PhraseTextBreaksLineError(2).what()},
        {{{0, "new"}, {2, " \t "}}, EmptyPhraseTextError(3).what()},
        {{{0, "  one "}, {1, "two   & more"}, {2, "three  x "}}, ""},
        {{}, ""},
    };
    for (const auto& c : cases) {
        const TState before = StateOf(doc, page);
        std::string error;
        try {
            EXPECT_FALSE(ReplacePhrases(doc, c.changes, write));
        } catch (const TError& e) {
            error = e.what();
        }
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(writes, 0) << c.error;
        EXPECT_TRUE(StateOf(doc, page) == before) << c.error;
        EXPECT_FALSE(doc.CanUndo()) << c.error;
    }
}

// The history keeps each step's other texts compactly (runs of phrases that go back to what was
// read cost nothing) and swaps them on undo and redo: random batches, undos, redos and reverts on
// a page of many phrases give the texts, the changed marks and the saved page that a plain list of
// texts per step gives.
TEST(EditingHistory, RandomCommandsMatchAPlainModel) {
    std::string page;
    for (int i = 0; i < 60; ++i) page += "<p>t" + std::to_string(i) + "</p>";
    TDocument doc;
    doc.LoadBytes(page, TTags::Default);
    const std::vector<std::string> read = Texts(doc);
    // The model: the texts, and for each step the texts before and after it.
    std::vector<std::string> texts = read;
    std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> steps;
    std::size_t done = 0;
    std::mt19937 rng(7);
    const TWrite write = [] {};
    for (int round = 0; round < 400; ++round) {
        const unsigned what = rng() % 10;
        if (what < 5) {
            // A batch: one phrase, a run of them or all, each to a new text, its old one or what
            // was read.
            const std::size_t first = rng() % read.size();
            const std::size_t count = what == 0 ? read.size() - first : 1 + rng() % 8;
            std::vector<TPhraseChange> changes;
            std::vector<std::string> after = texts;
            for (std::size_t i = first; i < std::min(read.size(), first + count); ++i) {
                const unsigned pick = rng() % 3;
                const std::string text = pick == 0 ? read[i]
                                         : pick == 1
                                             ? "n" + std::to_string(round) + "." + std::to_string(i)
                                             : texts[i];
                changes.push_back({i, text});
                after[i] = text;
            }
            if (!ReplacePhrases(doc, changes, write)) {
                EXPECT_EQ(after, texts) << round;
                continue;
            }
            steps.resize(done);
            steps.emplace_back(texts, after);
            texts = after;
            ++done;
        } else if (what < 7) {
            if (done == 0) continue;
            texts = steps[--done].first;
            UndoReplacement(doc, write);
        } else if (what < 9) {
            if (done == steps.size()) continue;
            texts = steps[done++].second;
            RedoReplacement(doc, write);
        } else {
            RevertPage(doc, write);
            texts = read;
            steps.clear();
            done = 0;
        }
        ASSERT_EQ(Texts(doc), texts) << "round " << round;
        std::string rendered;
        std::size_t changed = 0;
        for (std::size_t i = 0; i < read.size(); ++i) {
            rendered += "<p>" + texts[i] + "</p>";
            EXPECT_EQ(doc.IsChanged(i), texts[i] != read[i]) << "round " << round << " " << i;
            changed += texts[i] != read[i];
        }
        EXPECT_EQ(doc.Render(), rendered) << "round " << round;
        EXPECT_EQ(doc.CanRevert(), changed > 0);
        EXPECT_EQ(doc.CanUndo(), done > 0);
        EXPECT_EQ(doc.CanRedo(), done < steps.size());
    }
}

// A CDATA section's new text is written as it is, where a browser reads no reference nor
// markup; a text the section cannot hold is refused before anything changes.
TEST(EditingCdata, TextsAreWrittenAsTheSectionHoldsThemOrRefused) {
    const std::string utf8 = "<meta charset=utf-8>";
    const std::string svg = "<svg><text><![CDATA[ a<b ]]></text></svg>";
    const std::string refused = "The text for phrase 1 stands in a CDATA section, ";
    const struct {
        const char* name;
        std::string head, tail;  // around the svg
        std::string typed;
        std::string section;  // what the section then holds
        std::string error;    // or the error, in English
    } cases[] = {
        {"markup and references as typed", utf8, "", "d<e & &amp; \"f\" \xC3\xA4 \xE2\x98\x83",
         "d<e & &amp; \"f\" \xC3\xA4 \xE2\x98\x83", ""},
        {"a Windows-1252 page's umlaut as its byte", "", "", "\xC3\xA4", "\xE4", ""},
        {"a legacy page's character as its bytes", "<meta charset=euc-kr>", "", "\xED\x95\x9C",
         "\xC7\xD1", ""},
        {"a ']' right before the section's end", utf8, "", "x]", "x]", ""},
        {"angle brackets behind the page's declaration", utf8, "", "a>b<meta charset=koi8-r>",
         "a>b<meta charset=koi8-r>", ""},
        {"\"]]>\" would end the section", utf8, "", "x]]>y", "",
         refused + "which cannot hold \"]]>\"; nothing was written"},
        {"a character the encoding lacks", "", "", "\xE2\x98\x83", "",
         refused + "where no reference is read, and the page's encoding lacks U+2603; nothing was "
                   "written"},
        {"characters whose bytes would make a Windows-1252 page read as UTF-8", "", "",
         "\xC3\x83\xC2\xA9", "",
         refused + "where its characters, as bytes, would make the page read as UTF-8; nothing was "
                   "written"},
        {"a declaration where the page has none", "", "", "a>b<meta charset=koi8-r>", "",
         refused + "where its angle brackets would declare another encoding for the page; nothing "
                   "was written"},
        {"a comment that hides the page's declaration behind it", "", utf8, "a><!--", "",
         refused + "where its angle brackets would declare another encoding for the page; nothing "
                   "was written"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string page = c.head + svg + c.tail;
        TDocument doc;
        doc.LoadBytes(page, TTags::PlainText);
        ASSERT_EQ(doc.PhraseCount(), 1u);
        try {
            ReplacePhrases(doc, {{0, c.typed}}, [] {});
            const std::string saved = doc.Render();
            EXPECT_EQ(saved,
                      c.head + "<svg><text><![CDATA[" + c.section + "]]></text></svg>" + c.tail);
            TDocument again;
            again.LoadBytes(saved, TTags::PlainText);
            EXPECT_EQ(again.Text(0), c.typed);
            EXPECT_EQ(c.error, "");
        } catch (const TError& e) {
            EXPECT_EQ(e.English(), c.error);
            EXPECT_FALSE(doc.CanUndo());
            EXPECT_EQ(doc.Render(), page);
        }
    }
}
