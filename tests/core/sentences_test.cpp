// Sentences as phrases: what the scan cuts, how placeholders are checked and written, and on the
// real pages that nothing but a changed sentence changes.

#include "core/markup/sentences.h"

#include <gtest/gtest.h>
#ifdef QUILLFEN_SENTENCES
#include <gumbo.h>
#endif

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "core/document/document.h"
#include "core/errors.h"
#include "exchange/combine.h"
#include "exchange/export.h"
#include "tests/fuzz/check.h"
#include "tests/support/files.h"

using namespace quillfen;

namespace {

// A confirmed replacement, as Ok makes one, without a file to write.
void Replace(TDocument& doc, std::size_t i, std::string text) {
    doc.Record({{i, std::move(text)}}, [] {});
}

std::string Utf8Page(const std::string& body) {
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>" + body +
           "</body></html>";
}

// The phrases as "T:text" or "G:text".
std::vector<std::string> Listed(const TDocument& doc) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < doc.PhraseCount(); ++i)
        out.push_back(std::string(doc.Kind(i) == TKind::Image     ? "G:"
                                  : doc.Kind(i) == TKind::Content ? "C:"
                                                                  : "T:") +
                      std::string(doc.Text(i)));
    return out;
}

// What a reader reads of a page, sentence borders and blanks aside: the texts of its sentences
// without placeholders, and its other phrases.
std::pair<std::string, std::vector<std::string>> Reading(const TDocument& doc) {
    std::pair<std::string, std::vector<std::string>> out;
    for (std::size_t i = 0; i < doc.PhraseCount(); ++i) {
        if (doc.Spans()[i].Source != TSource::Sentence) {
            out.second.push_back(std::string(doc.Text(i)));
            continue;
        }
        for (char c : TextWithoutPlaceholders(doc.Text(i)))
            if (c != ' ') out.first += c;
    }
    return out;
}

std::string Body(const std::string& rendered) {
    const std::size_t b = rendered.find("<body>") + 6;
    return rendered.substr(b, rendered.rfind("</body>") - b);
}

}  // namespace

#ifdef QUILLFEN_SENTENCES

// Each case: a body, the phrases the scan gives, and optionally a new text for the first
// phrase with the body it gives.
TEST(Sentences, BlocksAreCutIntoSentencesWithTheirInlineTagsAsPlaceholders) {
    const struct {
        const char* body;
        std::vector<std::string> phrases;
        const char* newText;
        const char* newBody;
    } cases[] = {
        {"<p>the quick <b>brown</b> fox</p>",
         {"T:the quick <b1>brown</b1> fox"},
         "le renard <b1>brun</b1> rapide",
         "<p>le renard <b>brun</b> rapide</p>"},
        {"<p>Press <kbd>Ctrl</kbd>+<kbd class=k>S</kbd> to save.</p>",
         {"T:Press <kbd1>Ctrl</kbd1>+<kbd2>S</kbd2> to save."},
         "Mit <kbd2>S</kbd2> und <kbd1>Strg</kbd1> speichern.",
         "<p>Mit <kbd class=k>S</kbd> und <kbd>Strg</kbd> speichern.</p>"},
        {"<p>Take a tool, e.g. a hammer. Dr. Smith agrees. Fine.</p>",
         {"T:Take a tool, e.g. a hammer.", "T:Dr. Smith agrees.", "T:Fine."},
         nullptr,
         nullptr},
        // A link across a sentence's end joins the sentences it touches.
        {"<p>One <a href=\"x.html\" class=k>two. Three</a> four. Five.</p>",
         {"T:One <a1>two. Three</a1> four.", "T:Five."},
         "<a1>Zwei. Drei</a1> eins vier.",
         "<p><a href=\"x.html\" class=k>Zwei. Drei</a> eins vier. Five.</p>"},
        // Nested elements, moved out of each other's order.
        {"<p>A <b>bold <i>and italic</i></b> word.</p>",
         {"T:A <b1>bold <i2>and italic</i2></b1> word."},
         "<i2>Kursiv</i2> und <b1>fett</b1>.",
         "<p><i>Kursiv</i> und <b>fett</b>.</p>"},
        {"<p>Line one<br>line two.</p>",
         {"T:Line one<br1/>line two."},
         "Zeile eins <br1/>zwei & so.",
         "<p>Zeile eins <br>zwei &amp; so.</p>"},
        // An image's alt follows its sentence and lies inside it; changed with the sentence,
        // the tag carries its own new text.
        {"<p>See <img src=\"a.png\" alt=\"the logo\"> here.</p>",
         {"T:See <img1/> here.", "G:the logo"},
         "Hier <img1/> sehen.",
         "<p>Hier <img src=\"a.png\" alt=\"the logo\"> sehen.</p>"},
        // Tags that wrap whole sentences stay outside.
        {"<p><span class=s>One. Two.</span> <b>Three.</b></p>",
         {"T:One.", "T:Two.", "T:Three."},
         "Eins.",
         "<p><span class=s>Eins. Two.</span> <b>Three.</b></p>"},
        // A reference that gives a blank is a blank: it collapses, and what is at the edges
        // stays outside.
        {"<p>&#13;\tThomas <b>L</b>&#32;and&#10;more&#13;</p>",
         {"T:Thomas <b1>L</b1> and more"},
         "<b1>L</b1> und Thomas",
         "<p>&#13;\t<b>L</b> und Thomas&#13;</p>"},
        // Text of an svg's just before a sentence that leaves the svg keeps the flow in runs:
        // a new text's first letters would make a tag or a reference of it.
        {"<svg>&<em>x</em>o", {"T:&", "T:x", "T:o"}, nullptr, nullptr},
        // ... unless a join for another tag cuts through them: then they join too.
        {"<p>A. <span>S</a>. B</span></p>",
         {"T:A. <span1>S<a2/>. B</span1>"},
         "<a2/>B. <span1>S.</span1> A.",
         "<p></a>B. <span>S.</span> A.</p>"},
        {"<div lang=\"ja\">\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF<b>\xE6\x99\xB4\xE3\x82\x8C</b>"
         "\xE3\x81\xA7\xE3\x81\x99\xE3\x80\x82\xE6\x98\x8E\xE6\x97\xA5\xE3\x81\xAF\xE9\x9B\xA8"
         "\xE3\x81\xA7\xE3\x81\x99\xE3\x80\x82</div>",
         {"T:\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF<b1>\xE6\x99\xB4\xE3\x82\x8C</b1>\xE3\x81\xA7"
          "\xE3\x81\x99\xE3\x80\x82",
          "T:\xE6\x98\x8E\xE6\x97\xA5\xE3\x81\xAF\xE9\x9B\xA8\xE3\x81\xA7\xE3\x81\x99\xE3\x80\x82"},
         nullptr,
         nullptr},
        // A sentence ending inside a word of the page that a reference is part of.
        {"<p lang=\"ja\">\xE4\xBB\x8A&amp;\xE3\x80\x82\xE6\x98\x8E\xE3\x80\x82</p>",
         {"T:\xE4\xBB\x8A&\xE3\x80\x82", "T:\xE6\x98\x8E\xE3\x80\x82"},
         "X.",
         "<p lang=\"ja\">X.\xE6\x98\x8E\xE3\x80\x82</p>"},
        {"<p lang=\"de\">Das gilt z.B. f\xC3\xBCr Nr. 5 und Dr. M\xC3\xBCller. Der Rest "
         "nicht.</p>",
         {"T:Das gilt z.B. f\xC3\xBCr Nr. 5 und Dr. M\xC3\xBCller.", "T:Der Rest nicht."},
         "Gr\xC3\xB6\xC3\x9F"
         "er.",
         "<p lang=\"de\">Gr&ouml;&szlig;er. Der Rest nicht.</p>"},
        // A paragraph ended by the next one takes its language with it.
        {"<p lang=\"de\">Eins.<p>Mr. Smith came. He left.</p>",
         {"T:Eins.", "T:Mr. Smith came.", "T:He left."},
         nullptr,
         nullptr},
        // svg, math and translate="no" elements are carried whole; pre keeps its lines.
        {"<p>Press <kbd translate=\"no\">Ctrl+<b>S</b></kbd> <svg><text>X</text></svg> now."
         "</p><pre>a  b\nc</pre>",
         {"T:Press <kbd1/> <svg2/> now.", "T:a  b", "T:c"},
         "Jetzt <svg2/><kbd1/> dr\xC3\xBC"
         "cken.",
         "<p>Jetzt <svg><text>X</text></svg><kbd translate=\"no\">Ctrl+<b>S</b></kbd> "
         "dr&uuml;cken.</p><pre>a  b\nc</pre>"},
        // A CDATA section in a carried svg is the svg's; one in an svg alone is a phrase, and so
        // is one that an HTML end tag leaves outside its carried svg.
        {"<p>See <svg><text><![CDATA[a<b]]></text></svg> here.</p>"
         "<svg><text><![CDATA[c<d & e]]></text></svg><p>f <svg><g></div><![CDATA[g]]></g></svg> "
         "h</p>",
         {"T:See <svg1/> here.", "T:c<d & e", "T:f", "T:g", "T:h"},
         "Hier <svg1/> sehen.",
         "<p>Hier <svg><text><![CDATA[a<b]]></text></svg> sehen.</p>"
         "<svg><text><![CDATA[c<d & e]]></text></svg><p>f <svg><g></div><![CDATA[g]]></g></svg> "
         "h</p>"},
        // Lines of a pre inside a carried svg are the svg's.
        {"<p>One <svg><foreignObject><pre>a\nb</pre></foreignObject></svg> two.</p><p>Three.</p>",
         {"T:One <svg1/> two.", "T:Three."},
         nullptr,
         nullptr},
        // Escaped in a sentence without placeholders too.
        {"<p>Type &lt;b1&gt; now.</p>", {"T:Type \\<b1> now."}, nullptr, nullptr},
        // The page's own text that reads like a placeholder is escaped, and goes back as it was.
        {"<p>Type &lt;b1&gt; or \\<em>x</em>.</p>",
         {"T:Type \\<b1> or \\\\<em1>x</em1>."},
         "Tippe \\<b1> oder \\\\<em1>y</em1>.",
         "<p>Tippe &lt;b1&gt; oder \\<em>y</em>.</p>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        TDocument doc;
        doc.LoadBytes(Utf8Page(c.body), TTags::AllKinds, TUnits::Sentences);
        EXPECT_EQ(Listed(doc), c.phrases);
        EXPECT_EQ(doc.Render(), doc.Bytes());
        // The exported files give the page back, and with a translated text file the page the
        // same text gives when it is confirmed.
        const std::string templ = doc.TemplateBytes();
        EXPECT_FALSE(StrayMarkerText(doc, templ));
        EXPECT_EQ(CombineBytes(templ, DocumentTextFileBytes(doc)), doc.RenderAllPhrases());
        if (!c.newText) continue;
        Replace(doc, 0, c.newText);
        EXPECT_EQ(Body(doc.Render()), c.newBody);
        EXPECT_EQ(Body(CombineBytes(templ, DocumentTextFileBytes(doc))), c.newBody);
    }
}

namespace {

// A page's phrases as a reader reads them, each followed by '|': where sentences end.
std::string Cuts(const TDocument& doc) {
    std::string out = "|";
    for (std::size_t i = 0; i < doc.PhraseCount(); ++i)
        out += TextWithoutPlaceholders(doc.Text(i)) + "|";
    return out;
}

// The page with lang on its root element, which names none.
std::string WithLang(std::string page, const std::string& lang) {
    if (lang.empty()) return page;
    std::string lower = page;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::size_t at = lower.find("<html");
    const std::string attribute = " lang=\"" + lang + "\"";
    if (at == std::string::npos) return "<html" + attribute + ">" + page;
    return page.insert(at + 5, attribute);
}

}  // namespace

// An abbreviation that introduces what follows ends no sentence, whatever follows it (a capital,
// a tag, a quote); a word with a period ends one unless it is itself an abbreviation of the
// language, as a whole word ("URL." is no "L."). Each row: a page of the corpus or a paragraph,
// the language set on its root ("" leaves the page's own, or none), and stretches of the page's
// reading in which '|' stands where a sentence ends and nowhere else.
TEST(Sentences, AbbreviationsEndNoSentenceAndCountOnlyAsWholeWords) {
    const struct {
        const char* page;  // a file of tests/data/pages, or a body
        const char* lang;
        std::vector<const char*> cuts;
    } cases[] = {
        // The real pages.
        {"apache-de-latin1-bind.html", "", {"Sockets behandelt (d.h. IPv4-gemappte Adressen"}},
        {"docbook-de-utf8-debian-reference-i18n.html",
         "",
         {"befinden sich 17, 18 bzw. 10 Buchstaben",
          "angezeigt werden, wie z.B. Fehlermeldungen, Standard"}},
        {"docbook-de-utf8-debian-reference-i18n.html",
         "de",
         {"angezeigt werden, wie z.B. Fehlermeldungen, Standard"}},
        {"docbook-cs-utf8-aptitude-options.html",
         "",
         {"Default-Grouping resp. Aptitude::UI::Default-Preview-Grouping nastavuje"}},
        {"docbook-cs-utf8-aptitude-options.html",
         "cs",
         {"s kr\xC3\xA1tk\xC3\xBDm popisem (nap\xC5\x99. \xE2\x80\x9EPoru\xC5\xA1"
          "en\xC3\xBD"
          "ch: "
          "10\xE2\x80\x9C).|",
          "Default-Grouping resp. Aptitude::UI::Default-Preview-Grouping nastavuje"}},
        {"sphinx-en-utf8-tutorial-introduction.html",
         "",
         {"the ones with a fractional part (e.g. 5.0, 1.6) have type float.|"}},
        {"handwritten-en-utf8-mixedeol-nsis-vpatch.html",
         "",
         {"|The most interesting part of VPatch, the actual patch generation algorithm, can be "
          "found in Source\\GenPat\\PatchGenerator.cpp.|The header of that file"}},
        {"latex2html-en-utf8-gettext-tutorial.html",
         "en",
         {"|G.\xC2\xA0Mohanty|", "|M.\xC2\xA0Pattnaik, for conceiving of the project.|",
          "Pansari, A.\xC2\xA0Nayak, and M.\xC2\xA0"
          "Chand is much appreciated.|",
          "|G.\xC2\xA0Mohanty, A practical primer",
          "2004, Sec.\xC2\xA0"
          "6.2 describes the xkb",
          "|G.\xC2\xA0Mohanty, A plan for Oriya"}},
        // What introduces what follows, in each language.
        {"<p>Prozesse wie z.B. Apache laufen. Und weiter.</p>",
         "de",
         {"|Prozesse wie z.B. Apache laufen.|Und weiter.|"}},
        {"<p>Das Modul, d.h. <code>Apache</code>, fehlt.</p>",
         "de",
         {"|Das Modul, d.h. Apache, fehlt.|"}},
        {"<p>Server wie z. B. Apache laufen.</p>", "de", {"|Server wie z. B. Apache laufen.|"}},
        {"<p>Server wie z.&nbsp;B. \"Apache\" laufen.</p>",
         "de",
         {"|Server wie z.\xC2\xA0"
          "B. \"Apache\" laufen.|"}},
        {"<p>Type a word, e.g. HELLO in the box. Then i.e. Apache runs.</p>",
         "en",
         {"|Type a word, e.g. HELLO in the box.|Then i.e. Apache runs.|"}},
        {"<p>Use a server, e.g. <b>Apache</b>, or say e.g. \"Hello\" or e.g.&nbsp;Nginx.</p>",
         "en",
         {"|Use a server, e.g. Apache, or say e.g. \"Hello\" or e.g.\xC2\xA0Nginx.|"}},
        {"<p>Use one, e.g. Apache, and wie z.B. Nginx.</p>",
         "",
         {"|Use one, e.g. Apache, and wie z.B. Nginx.|"}},
        {"<p>Un module, p. ex. Apache, ou c.-\xC3\xA0-d. Nginx.</p>",
         "fr",
         {"|Un module, p. ex. Apache, ou c.-\xC3\xA0-d. Nginx.|"}},
        {"<p>Bal\xC3\xADk, nap\xC5\x99. Apache, tj. Nginx.</p>",
         "cs",
         {"|Bal\xC3\xADk, nap\xC5\x99. Apache, tj. Nginx.|"}},
        {"<p>Serwer, m.in. Apache, np. Nginx.</p>", "pl", {"|Serwer, m.in. Apache, np. Nginx.|"}},
        {"<p>\xE3\x82\xB5\xE3\x83\xBC\xE3\x83\x90 (e.g. Apache) "
         "\xE3\x81\xA7\xE3\x81\x99\xE3\x80\x82</p>",
         "ja",
         {"|\xE3\x82\xB5\xE3\x83\xBC\xE3\x83\x90 (e.g. Apache) "
          "\xE3\x81\xA7\xE3\x81\x99\xE3\x80\x82|"}},
        // ICU's abbreviations of several parts hold, as whole words.
        {"<p>Born in the U.S. Army base.</p>", "en", {"|Born in the U.S. Army base.|"}},
        // A word in upper case ends its sentence.
        {"<p>Il sert une URL. Il est recommand&eacute; de lire.</p>",
         "fr",
         {"|Il sert une URL.|Il est recommand\xC3\xA9 de lire.|"}},
        {"<p>Voir le HTML. Puis le XML. Puis SSL. Fin.</p>",
         "fr",
         {"|Voir le HTML.|Puis le XML.|Puis SSL.|Fin.|"}},
        {"<p>Set PATH_INFO. Then run AIX. Use the Type-A. Then go.</p>",
         "en",
         {"|Set PATH_INFO.|Then run AIX.|Use the Type-A.|Then go.|"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.page) + " lang=" + c.lang);
        const std::string page =
            std::string(c.page).ends_with(".html")
                ? quillfen::testing::ReadBytes(QUILLFEN_SOURCE_DIR "/tests/data/pages/" +
                                               std::string(c.page))
                : Utf8Page(c.page);
        TDocument doc;
        doc.LoadBytes(WithLang(page, c.lang), TTags::PlainText, TUnits::Sentences);
        const std::string cuts = Cuts(doc);
        for (const char* cut : c.cuts) EXPECT_NE(cuts.find(cut), std::string::npos) << cut;
    }
    // What held before holds: a title holds the sentence, "etc." ends an English one, German
    // has its own list alone ("Maier." is no abbreviation), ICU's French list holds "M.".
    const struct {
        const char* body;
        const char* lang;
        const char* cuts;
    } held[] = {
        {"<p>Ask Dr. Smith. Then go.</p>", "en", "|Ask Dr. Smith.|Then go.|"},
        {"<p>Apples, pears, etc. Then more.</p>", "en", "|Apples, pears, etc.|Then more.|"},
        {"<p>Das ist Maier. Der Rest, vgl. Abschnitt 3.</p>", "de",
         "|Das ist Maier.|Der Rest, vgl. Abschnitt 3.|"},
        {"<p>Il voit M. Dupont. Il part.</p>", "fr", "|Il voit M. Dupont.|Il part.|"},
    };
    for (const auto& h : held) {
        SCOPED_TRACE(h.body);
        TDocument doc;
        doc.LoadBytes(WithLang(Utf8Page(h.body), h.lang), TTags::PlainText, TUnits::Sentences);
        EXPECT_NE(Cuts(doc).find(h.cuts), std::string::npos) << Cuts(doc);
    }
}

// The text file holds the sentences with their placeholders; the template the tags.
TEST(Sentences, TheExchangeFilesCarryPlaceholdersAndTags) {
    TDocument doc;
    doc.LoadBytes("<p>Press <kbd>Ctrl</kbd>+<kbd>S</kbd> to <img alt=\"save\">.</p>",
                  TTags::AllKinds, TUnits::Sentences);
    EXPECT_EQ(DocumentTextFileBytes(doc),
              "<1>Press <kbd1>Ctrl</kbd1>+<kbd2>S</kbd2> to <img3/>.</>\r\n<2>save</>\r\n");
    EXPECT_EQ(doc.TemplateBytes(),
              "<p>%_0_%%{kbd1=5:<kbd>/6:</kbd>;kbd2=5:<kbd>/6:</kbd>;img3=17:<img "
              "alt=\"%_1_%\">;%}</p>");
}

TEST(Sentences, ATextWhosePlaceholdersDoNotFitIsRefusedByName) {
    TDocument doc;
    doc.LoadBytes(Utf8Page("<h1>Title</h1><p>A <b>b</b> c<br>d <i>e</i>.</p>"), TTags::AllKinds,
                  TUnits::Sentences);
    ASSERT_EQ(doc.Text(1), "A <b1>b</b1> c<br2/>d <i3>e</i3>.");
    const std::string templ = doc.TemplateBytes();
    const struct {
        const char* text;
        const char* named;
    } faults[] = {
        {"A b</b1> c<br2/>d <i3>e</i3>.", "<b1>"},
        {"A <b1>b c<br2/>d <i3>e</i3>.", "</b1>"},
        {"A <b1>b</b1> c d <i3>e</i3>.", "<br2/>"},
        {"A <b1>b</b1> <b1>c</b1><br2/>d <i3>e</i3>.", "<b1>"},
        {"A <b1>b <i3>c</b1><br2/>d e</i3>.", "</b1>"},
        {"A <b1>b</b1> c<br2/><br2/>d <i3>e</i3>.", "<br2/>"},
        {"A <b1>b</b1> c<br2/>d <i3>e</i3><u4/>.", "<u4/>"},
        {"A <b1/>b c<br2/>d <i3>e</i3>.", "<b1/>"},
    };
    const std::string before = doc.Render();
    for (const auto& f : faults) {
        SCOPED_TRACE(f.text);
        try {
            Replace(doc, 1, f.text);
            ADD_FAILURE() << "accepted";
        } catch (const TError& e) {
            EXPECT_NE(std::string(e.what()).find(std::string("Platzhalter ") + f.named),
                      std::string::npos)
                << e.what();
        }
        EXPECT_FALSE(doc.CanUndo());
        EXPECT_EQ(doc.Render(), before);
        // Recombination refuses the text file the same way, naming the line.
        std::vector<TTextItem> lines = doc.Phrases();
        lines[1].Text = f.text;
        try {
            CombineBytes(templ, TextFileBytes(lines));
            ADD_FAILURE() << "recombined";
        } catch (const TError& e) {
            EXPECT_NE(std::string(e.English())
                          .find(std::string("The text file, line 2: The placeholder ") + f.named),
                      std::string::npos)
                << e.English();
        }
    }
    // A table whose length does not fit its bytes is no table.
    std::string damaged = templ;
    damaged.replace(damaged.find("b1=3:"), 5, "b1=9:");
    EXPECT_THROW(CombineBytes(damaged, DocumentTextFileBytes(doc)), TError);
}

// An alt phrase changed inside a sentence that is changed too: the sentence writes its tag with
// the alt's new text, and undo takes each back alone.
TEST(Sentences, APhraseInsideAChangedSentenceIsWrittenWithIt) {
    TDocument doc;
    doc.LoadBytes(Utf8Page("<p>See <img alt=\"logo\" src=a.png> here. Next.</p>"), TTags::AllKinds,
                  TUnits::Sentences);
    ASSERT_EQ(Listed(doc), (std::vector<std::string>{"T:See <img1/> here.", "G:logo", "T:Next."}));
    Replace(doc, 1, "Marke \"Q\"");
    EXPECT_EQ(Body(doc.Render()),
              "<p>See <img alt=\"Marke &quot;Q&quot;\" src=a.png> here. Next.</p>");
    Replace(doc, 0, "<img1/> hier.");
    Replace(doc, 2, "Weiter.");
    EXPECT_EQ(Body(doc.Render()),
              "<p><img alt=\"Marke &quot;Q&quot;\" src=a.png> hier. Weiter.</p>");
    EXPECT_EQ(Body(doc.RenderAllPhrases()), Body(doc.Render()));
    doc.Undo([] {});
    doc.Undo([] {});
    EXPECT_EQ(Body(doc.Render()),
              "<p>See <img alt=\"Marke &quot;Q&quot;\" src=a.png> here. Next.</p>");
    EXPECT_EQ(doc.TotalWords(), 5u);  // placeholders are no words
}

namespace {

// The elements an HTML5 parser builds of a page, each with its attributes, counted by
// description: a page whose tags moved inside sentences must hold the same ones.
void Collect(const GumboNode* node, std::vector<std::string>& out) {
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_DOCUMENT &&
        node->type != GUMBO_NODE_TEMPLATE)
        return;
    const GumboVector* children = &node->v.document.children;
    if (node->type != GUMBO_NODE_DOCUMENT) {
        const GumboElement& e = node->v.element;
        std::string d = e.tag == GUMBO_TAG_UNKNOWN
                            ? std::string(e.original_tag.data, e.original_tag.length)
                            : gumbo_normalized_tagname(e.tag);
        for (unsigned i = 0; i < e.attributes.length; ++i) {
            const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
            // A value written anew has its blanks collapsed, as its phrase's text has.
            std::string value;
            for (const char* v = a->value; *v; ++v) {
                const bool blank = *v == ' ' || *v == '\n' || *v == '\t' || *v == '\r';
                if (!blank || value.empty() || value.back() != ' ') value += blank ? ' ' : *v;
            }
            d += std::string(" ") + a->name + "=" + value;
        }
        out.push_back(d);
        children = &e.children;
    }
    for (unsigned i = 0; i < children->length; ++i)
        Collect(static_cast<const GumboNode*>(children->data[i]), out);
}

// The elements one list has more than the other, for a message.
std::string Difference(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    std::vector<std::string> only;
    std::set_symmetric_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(only));
    std::string out;
    for (const auto& e : only) out += "[" + e + "] ";
    return out;
}

std::vector<std::string> Elements(const std::string& bytes) {
    GumboOutput* output =
        gumbo_parse_with_options(&kGumboDefaultOptions, bytes.data(), bytes.size());
    std::vector<std::string> out;
    Collect(output->document, out);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

// On the real pages: an unchanged save is the page; no sentence starts or ends inside an inline
// element (its tags are all inside or all outside); every sentence written again from its text
// gives the page; and with its sibling placeholders turned round, a page with the same tags.
TEST(Sentences, RealPagesKeepTheirBytesAndTheirTags) {
    for (const auto& path : quillfen::testing::CorpusPages()) {
        SCOPED_TRACE(path.string());
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        const std::string bytes = ss.str();
        TDocument doc;
        try {
            // The kinds before attribute texts: the parser below reads every page as UTF-8, and
            // a title rewritten in a Latin-1 page holds its own bytes.
            doc.LoadBytes(bytes, TTags(7), TUnits::Sentences);
        } catch (const TError&) {
            continue;  // pages the program refuses
        }
        EXPECT_EQ(doc.Render(), bytes);
        const std::string_view page = doc.Page();
        std::uint32_t lastEnd = 0;
        for (std::size_t i = 0; i < doc.PhraseCount(); ++i) {
            const TPhraseSpan& span = doc.Spans()[i];
            if (span.Source != TSource::Sentence) continue;
            EXPECT_GE(span.Begin, lastEnd);
            lastEnd = span.End;
            const TPlaceholders& ph = doc.Placeholders(i);
            for (const TPlaceholder& p : ph) {
                EXPECT_TRUE(p.Begin >= span.Begin && p.End <= span.End);
                if (p.Paired) {
                    EXPECT_TRUE(p.CloseBegin >= p.End && p.CloseEnd <= span.End);
                }
            }
            // No tag stands half in the span: the span's edges are text.
            const std::string_view bytesOf = page.substr(span.Begin, span.End - span.Begin);
            EXPECT_FALSE(bytesOf.empty());
        }
        // Every sentence written anew from its own text gives the same elements and reads as
        // the page did (blanks inside an element at a sentence's end are not written again, and
        // may change where ICU ends the sentence, so the texts are compared as a whole).
        const std::string all = doc.RenderAllPhrases();
        const std::vector<std::string> elements = Elements(bytes);
        EXPECT_TRUE(Elements(all) == elements) << Difference(Elements(all), elements);
        TDocument reread;
        reread.LoadBytes(all, TTags(7), TUnits::Sentences);
        EXPECT_EQ(Reading(reread), Reading(doc));
        // Sibling placeholders turned round: the same tags, and the texts read back.
        TDocument moved;
        moved.LoadBytes(bytes, TTags(7), TUnits::Sentences);
        for (std::size_t i = 0; i < moved.PhraseCount(); ++i)
            if (!moved.Placeholders(i).empty())
                Replace(moved, i, fuzz::SiblingsReversed(moved.Text(i)));
        const std::string movedBytes = moved.Render();
        EXPECT_TRUE(Elements(movedBytes) == elements) << Difference(Elements(movedBytes), elements);
        // The same through the exchange files: the untouched text file gives every sentence
        // written anew, the translated one the page with the placeholders moved.
        const std::string templ = doc.TemplateBytes();
        EXPECT_FALSE(StrayMarkerText(doc, templ));
        EXPECT_EQ(CombineBytes(templ, DocumentTextFileBytes(doc)), all);
        const std::string recombined = CombineBytes(templ, DocumentTextFileBytes(moved));
        EXPECT_TRUE(Elements(recombined) == elements) << Difference(Elements(recombined), elements);
        TDocument movedBack;
        movedBack.LoadBytes(recombined, TTags(7), TUnits::Sentences);
        EXPECT_EQ(Reading(movedBack), Reading(moved));
    }
}

// The fuzz corpus's pages, hostile ones among them, by the load target's checks of sentences.
TEST(Sentences, TheFuzzCorpusKeepsTheSentenceInvariants) {
    const std::filesystem::path corpus =
        std::filesystem::path(QUILLFEN_SOURCE_DIR) / "tests/fuzz/corpus/load";
    std::size_t pages = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        for (TTags tags : {TTags::PlainText, TTags::AllKinds}) fuzz::CheckSentences(ss.str(), tags);
        ++pages;
    }
    EXPECT_GT(pages, 10u);
}

// What the author kept from translation, with translate="no", stays out of sentences as it
// stays out of runs, and a sentence carries the notes of its texts: each sentence, blanks
// aside, reads as the runs of the page read there, in page order, and its note is one of theirs.
TEST(Sentences, MarksOfTheAuthorHoldForSentencesAsForRuns) {
    std::vector<std::pair<std::string, std::string>> pages;
    for (const auto& path : quillfen::testing::CorpusPages())
        pages.emplace_back(path.string(), quillfen::testing::ReadBytes(path));
    for (const char* name : {"translate2html.html", "locnote7html.html"})
        pages.emplace_back(
            name, quillfen::testing::ReadBytes(
                      std::filesystem::path(QUILLFEN_SOURCE_DIR "/tests/data/its") / name));
    pages.emplace_back("nested", Utf8Page("<div translate=\"no\"><p>Secret <b>text</b>.</p>"
                                          "<p translate=\"yes\">Open <i>door</i>.</p></div>"
                                          "<section its-loc-note=\"Keep it short\"><p>One "
                                          "<b>two</b> three. Four.</p></section>"));
    auto blankless = [](std::string_view text) {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text.substr(i, 2) == "\xC2\xA0")
                ++i;
            else if (text[i] != ' ' && text[i] != '\t')
                out += text[i];
        }
        return out;
    };
    std::size_t noted = 0;
    for (const auto& [name, bytes] : pages) {
        SCOPED_TRACE(name);
        TDocument runs, sentences;
        try {
            runs.LoadBytes(bytes, TTags::PlainText);
            sentences.LoadBytes(bytes, TTags::PlainText, TUnits::Sentences);
        } catch (const TError&) {
            continue;  // pages the program refuses
        }
        std::string read;
        std::set<std::string> notes;
        for (std::size_t i = 0; i < runs.PhraseCount(); ++i) {
            read += blankless(runs.Text(i));
            notes.insert(std::string(runs.Note(i)));
        }
        std::size_t at = 0;
        for (std::size_t i = 0; i < sentences.PhraseCount(); ++i) {
            const std::string text = blankless(TextWithoutPlaceholders(sentences.Text(i)));
            const std::size_t found = read.find(text, at);
            EXPECT_NE(found, std::string::npos) << "phrase " << i + 1 << ": " << text;
            if (found != std::string::npos) at = found + text.size();
            const std::string note(sentences.Note(i));
            if (note.empty()) continue;
            ++noted;
            std::istringstream parts(note);
            for (std::string part; std::getline(parts, part, ';');)
                EXPECT_TRUE(notes.count(part.substr(part.starts_with(" ") ? 1 : 0)))
                    << "phrase " << i + 1 << ": " << note;
        }
    }
    EXPECT_GE(noted, 3u);
}

#else

TEST(Sentences, ABuildWithoutIcuRefusesSentences) {
    TDocument doc;
    EXPECT_FALSE(SentencesAvailable());
    EXPECT_THROW(doc.LoadBytes(Utf8Page("<p>a. b.</p>"), TTags::AllKinds, TUnits::Sentences),
                 TError);
}

#endif
