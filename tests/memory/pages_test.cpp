#include "memory/pages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/document/document.h"
#include "core/errors.h"
#include "memory/align.h"
#include "memory/pretranslate.h"
#include "tests/support/files.h"

namespace quillfen {
namespace {

using testing::TTempDir;

const std::string kPage =
    "<html lang=\"en\"><head><title>Align me</title></head>\n<body>\n"
    "<p class=\"x\">First <b>bold</b> sentence. Second one.</p>\n"
    "<p>Press <kbd class=\"a\">Ctrl</kbd>+<kbd class=\"b\">S</kbd> to <img src=\"s.png\" "
    "alt=\"save\">.</p>\n<ul><li>Item one</li> <li>Item two</li></ul>\n</body></html>\n";

// The memory is built only where ICU is, so pages are read in sentences.
TDocument Load(const std::string& bytes, const std::string& path) {
    TDocument doc;
    doc.LoadBytes(bytes, TTags::Default, TUnits::Sentences, {}, path);
    return doc;
}

// Each phrase's new text: "DE " before it (a capital, so that ICU ends sentences in the
// translation where it ends them in the source), the Ctrl+S sentence with its keys the other way
// round, "Item two" left as it is.
std::map<std::size_t, std::string> Translation(const TDocument& doc) {
    std::map<std::size_t, std::string> texts;
    for (std::size_t i = 0; i < doc.PhraseCount(); ++i) {
        const std::string text(doc.Text(i));
        if (text == "Item two") continue;
        texts[i] = text.starts_with("Press <kbd1>")
                       ? "<kbd2>S</kbd2>+<kbd1>Strg</kbd1> zum <img3/>."
                       : "DE " + text;
    }
    return texts;
}

std::string Translated(const TDocument& source) {
    TDocument doc = Load(kPage, "/web/a.html");
    for (const auto& [i, text] : Translation(source)) doc.SetPhraseText(i, text);
    return doc.Render();
}

// A page and its translation made by replacing phrases give phrase i's text with phrase i's,
// placeholders named as the source names them, whatever order the translation put them in.
TEST(Align, PhraseWithPhrase) {
    const TDocument a = Load(kPage, "/web/a.html");
    const TDocument b = Load(Translated(a), "/web/a.de.html");
    ASSERT_EQ(a.PhraseCount(), b.PhraseCount());
    const TAlignment alignment = AlignPages(a, "/web/a.html", b, "/web/a.de.html", {"en", "de"});
    const auto texts = Translation(a);
    EXPECT_EQ(alignment.Untranslated, 1u);
    ASSERT_EQ(alignment.Units.size(), texts.size());
    std::size_t k = 0;
    for (const auto& [i, text] : texts) {
        const TUnit& unit = alignment.Units[k++];
        EXPECT_EQ(unit.Source, MemoryText(a, i));
        EXPECT_EQ(unit.Target, MemoryText(a, i, text));
        EXPECT_EQ(unit.Context, PhraseContext(a, i, "a.html"));
        EXPECT_EQ(unit.Origin, TOrigin::Alignment);
    }
}

// Pages that part outside their phrases are refused, naming the first byte where they part in
// each file.
TEST(Align, PagesThatPartOutsidePhrasesAreRefused) {
    const TDocument a = Load(kPage, "/web/a.html");
    const std::string translated = Translated(a);
    const struct {
        const char* name;
        std::string find, replace;           // in the translated page
        std::string atSource, atTranslated;  // what stands at the place in each
    } cases[] = {
        {"an attribute between phrases", "class=\"x\"", "class=\"y\"", "x\">First", "y\">"},
        {"a blank between phrases", "</li> <li>", "</li>  <li>", "<li>Item two", " <li>Item two"},
        {"a tag inside a sentence", "<kbd class=\"b\">", "<kbd class=\"c\">", "<kbd class=\"b\">",
         "<kbd class=\"c\">"},
        {"a phrase more", "</ul>", "</ul><p>More.</p>", "\n</body>", "<p>More"},
        {"a phrase less", " <li>Item two</li>", "", " <li>Item two", "</ul>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = translated;
        const std::size_t at = bytes.find(c.find);
        ASSERT_NE(at, std::string::npos);
        bytes.replace(at, c.find.size(), c.replace);
        const TDocument b = Load(bytes, "/web/b.html");
        try {
            AlignPages(a, "/web/a.html", b, "/web/b.html", {"en", "de"});
            ADD_FAILURE() << "aligned";
        } catch (const TError& e) {
            auto place = [](const std::string& page, std::size_t byte) {
                const auto lines =
                    std::count(page.begin(), page.begin() + static_cast<long>(byte), '\n');
                return "line " + std::to_string(lines + 1) + " (byte " + std::to_string(byte) + ")";
            };
            const std::string expected = place(kPage, kPage.find(c.atSource)) + " and " +
                                         place(bytes, bytes.find(c.atTranslated));
            EXPECT_NE(std::string(e.English()).find(expected), std::string::npos)
                << e.English() << "\n"
                << expected;
        }
    }
}

struct TWrites {
    int count = 0;
    bool fail = false;
    TWrite Write() {
        return [this] {
            ++count;
            if (fail) throw std::runtime_error("disk full");
        };
    }
};

// A page pretranslated from the memory of its translation: every phrase with a match in context
// is written in one batch, counted in the bands; a match whose placeholders do not fit is
// refused; when the write fails neither the page nor the memory changes.
TEST(Pretranslate, WritesMatchesAtOrAboveTheScoreInOneWrite) {
    TTempDir dir;
    TMemory memory(dir / "m.sqlite");
    {
        const TDocument a = Load(kPage, "/web/a.html");
        const TDocument b = Load(Translated(a), "/web/a.de.html");
        memory.Add(AlignPages(a, "/web/a.html", b, "/web/a.de.html", {"en", "de"}).Units);
    }
    TDocument page = Load(kPage, "/web/a.html");
    const TLanguagePair languages = PageLanguages(page, "", "de");
    EXPECT_EQ(languages, (TLanguagePair{"en", "de"}));
    const auto texts = Translation(page);
    const std::size_t before = memory.UnitCount();

    TWrites writes;
    writes.fail = true;
    EXPECT_THROW(Pretranslate(memory, page, languages, 100, "a.html", writes.Write()),
                 std::runtime_error);
    EXPECT_EQ(page.ChangedCount(), 0u);
    EXPECT_EQ(memory.UnitCount(), before);
    std::vector<TUnit> units;
    memory.ForEachUnit("", "", [&](const TUnit& u) { units.push_back(u); });
    for (const TUnit& u : units) EXPECT_EQ(u.Origin, TOrigin::Alignment);

    writes = {};
    const TPretranslation result =
        Pretranslate(memory, page, languages, 100, "a.html", writes.Write());
    EXPECT_EQ(writes.count, 1);
    EXPECT_EQ(result.Written, texts.size());
    EXPECT_EQ(result.Bands[0].Phrases, texts.size());  // 101: in context
    EXPECT_EQ(result.Bands[5].Phrases, 1u);            // "Item two": none
    EXPECT_EQ(result.Bands[5].Words, 2u);
    for (const auto& [i, text] : texts) EXPECT_EQ(page.Text(i), text);
    memory.ForEachUnit(
        "", "", [&](const TUnit& u) { EXPECT_EQ(u.Origin, TOrigin::Pretranslation) << u.Source; });

    // Another page: one sentence changed a little (fuzzy, not written at 100), the others
    // exact or, where their neighbours stayed, in context; a unit whose target lacks a
    // placeholder, made on this page, is the best match of its sentence and refused.
    std::string other = kPage;
    other.replace(other.find("Second one."), 11, "Second one here.");
    TDocument next = Load(other, "/web/b.html");
    std::size_t bold = 0;
    while (bold < next.PhraseCount() && next.Text(bold).find("bold") == std::string_view::npos)
        ++bold;
    ASSERT_LT(bold, next.PhraseCount());
    TUnit lacking;
    lacking.Source = MemoryText(next, bold);
    lacking.Target = "Erster fetter Satz.";
    lacking.Languages = languages;
    lacking.Context.Page = "b.html";
    memory.Add(lacking);
    writes = {};
    const TPretranslation second =
        Pretranslate(memory, next, languages, 100, "b.html", writes.Write());
    EXPECT_EQ(second.Bands[0].Phrases + second.Bands[1].Phrases, texts.size() - 1);
    EXPECT_EQ(second.Bands[4].Phrases, 1u);  // "Second one here." 75
    EXPECT_EQ(second.Bands[5].Phrases, 1u);
    ASSERT_EQ(second.Refused.size(), 1u);
    EXPECT_EQ(second.Refused[0].first, bold);
    EXPECT_NE(std::string(second.Refused[0].second.English()).find("<b1>"), std::string::npos);
    EXPECT_EQ(next.Text(bold), MemoryText(next, bold));
    EXPECT_EQ(second.Written, texts.size() - 2);
    EXPECT_EQ(writes.count, 1);
}

// A confirmed replacement is remembered with the page's tags in UTF-8, whatever the page's
// encoding, its neighbours as the page had them, and its kind; under a guessed language pair
// nothing is.
TEST(Record, AConfirmedReplacementWithItsTagsAndContext) {
    TTempDir dir;
    TMemory memory(dir / "m.sqlite");
    const TDocument doc = Load(
        "<html><head><meta charset=\"windows-1252\"></head><body><p>Before.</p><p>Read <a "
        "title=\"\xFC"
        "ber\">this</a> now.</p><p>After.</p></body></html>",
        "/web/x.html");
    EXPECT_THROW(PageLanguages(doc, "", "de"), TError);
    EXPECT_THROW(PageLanguages(doc, "en", ""), TError);
    EXPECT_THROW(PageLanguages(doc, "und", "de"), TError);
    const TLanguagePair languages = PageLanguages(doc, "EN-gb", "de");
    std::size_t i = 0;
    while (doc.Text(i).find("this") == std::string_view::npos) ++i;
    const std::string before(doc.Text(i));
    RecordReplacements(
        memory, doc,
        {{i, before, before.substr(0, before.size() - 4) + "jetzt."}, {i, before, before}},
        languages, TOrigin::Save, PageName("/web/x.html"));
    std::vector<TUnit> units;
    memory.ForEachUnit("en-GB", "de", [&](const TUnit& u) { units.push_back(u); });
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].Context, (TContext{"x.html", "Before.", "After."}));
    EXPECT_EQ(units[0].Origin, TOrigin::Save);
    EXPECT_EQ(units[0].Codes,
              "%{a1=17:<a title=\"\xC3\xBC"
              "ber\">/4:</a>;%}");
}

}  // namespace
}  // namespace quillfen
