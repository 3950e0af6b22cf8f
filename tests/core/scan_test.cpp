#include "core/markup/scan.h"

#include <gtest/gtest.h>

#include "core/document/document.h"

using namespace quillfen;
using Strings = std::vector<std::string>;

namespace {

// Each phrase as kind letter, ':' and text; a preformatted one is marked with '|'.
Strings Described(const std::vector<TTextItem>& phrases) {
    Strings out;
    for (const auto& p : phrases)
        out.push_back(std::string(1, KindInfo(p.Kind()).Letter) + (p.Preformatted ? "|" : ":") +
                      p.Text + (p.Note.empty() ? "" : " [" + p.Note + "]"));
    return out;
}

struct TCase {
    const char* name;
    std::string page;
    Strings phrases;
    TTags tags = TTags::PlainText | TTags::ImageAlt | TTags::Content;
};

const std::vector<TCase>& Cases() {
    static const std::vector<TCase> cases = {
        {"inline tags", "<p>Hello <b>World</b></p>", {"T:Hello", "T:World"}},
        {"lines join", "<p>Hello\r\n   world</p>", {"T:Hello world"}},
        {"lone blank at a line end", "<b>x</b> \n<i>y</i>", {"T:x", "T:y"}},
        {"alt, any case", "<IMG SRC=\"a.gif\" ALT=\"Logo\">", {"G:Logo"}},
        {"content decoded",
         "<meta name=\"description\" content=\"Fine &amp; fast\">",
         {"C:Fine & fast"}},
        {"only alt's value", "<img alt=\"1\" src=\"1.gif\">", {"G:1"}},
        {"alt quote styles",
         "<img alt=\"\"><img alt=Logo><img alt='Hi there'><img alt = \"x\">",
         {"G:Logo", "G:Hi there", "G:x"}},
        {"whole names only", "<img data-alt=\"x\" alter=\"y\" title='alt=\"z\"'>", {}},
        {"blank value stays", "<img alt=\"   \">", {"G:"}},
        {"non-breaking spaces in values, however written",
         "<img alt=\"&nbsp;\"><img alt=\xA0>",
         {"G:\u00A0", "G:\u00A0"}},
        {"values decoded as a browser reads them",
         "<img alt=\"a &copy=1 &notx &amp; &eacute &#233\">",
         {"G:a &copy=1 &notx & \u00E9 \u00E9"}},
        {"references that give whitespace",
         "<p>a<b>b</b>&#32;c&#9;&NewLine;</p><pre>&#32;x&Tab;</pre>",
         {"T:a", "T:b", "T:c", "T|x"}},
        {"every reference of text",
         "<p>m&eacute;thode &ndash; &copy 2026 &#x2014;&#8212;</p>",
         {"T:m\u00E9thode \u2013 \u00A9 2026 \u2014\u2014"}},
        {"alt decides", "<x alt=\"\" content=\"c\">", {}},
        {"content without alt", "<x alt=\"a\" content=\"c\">", {"C:c"}, TTags::Content},
        {"no plain text", "<p>Hello <img alt=\"A\"></p>", {"G:A"}, TTags::ImageAlt},
        {"nothing", "<p>Hi <img alt=\"A\"></p>", {}, TTags::None},
        {"nbsp alone", "<td>&nbsp;</td><td>&nbsp; &nbsp;</td><td>\t</td>", {}},
        {"nbsp kept", "<p>a&nbsp;&nbsp;b</p>", {"T:a\u00A0\u00A0b"}},
        {"comments",
         "a <!-- note <b>x</b> --> b<br><!--\nvar x;\n// --><!-->c<p alt=\"n\"-->z<br>",
         {"T:a", "T:b", "T:c", "G:n", "T:z"}},
        {"comment opener cut by a break", "<!-\nx>y", {"T:y"}},
        {"after the last tag", "<p>end\nof page", {"T:end of page"}},
        {"unclosed tags stay markup", "<p>x<a href=\"y\"", {"T:x"}},
        {"'<' inside a tag", "<a <b>t<img <x alt=\"y\">", {"T:t", "G:y"}},
        {"a quote left open takes the rest of the page",
         "<y a='\"'>u<x a=\">\"n='<p>t</p>",
         {"T:u"}},
        {"... a '<' in it too", "<x a=\">\"n='<b\"", {}},
        {"... whatever '>' follows", "<z b=\"v>w", {}},
        {"bare closing bracket", "<p>a > b --> c</p>", {"T:a > b --> c"}},
        {"scripts and styles",
         "<script>var a = \"<b>x</b>\"; // c\nif (a && b > c) {}</script>"
         "<style>p { font-family: \"DejaVu Sans\" }</style><p>t</p>",
         {"T:t"}},
        {"script end tag", "<SCRIPT>x</SCRIPTX>y</script >z", {"T:z"}},
        {"cdata wrapper", "<script><!--//--><![CDATA[//><!--\nvar x=1;\n//--><!]]></script>", {}},
        {"unclosed script", "<p>a</p><script>b<p>c</p>", {"T:a"}},
        {"pre keeps layout",
         "<pre>  int  x = 1;\n\tif (a &lt; b)\treturn;\n\n</pre>after",
         {"T|int  x = 1;", "T|if (a < b)\treturn;", "T:after"}},
        {"pre with inline tags", "<PRE><b>a  b</b>\n  c</PRE>", {"T|a  b", "T|c"}},
        {"textarea and title",
         "<title>A <b> title</title><textarea>a <b>\n c</textarea>",
         {"T:A <b> title", "T|a <b>", "T|c"}},
        {"brackets in quoted values",
         "<a href=\"a.html#x>\" title='<y'>Link</a>.<img alt=\"<-\">",
         {"T:Link", "T:.", "G:<-"}},
        {"unclosed value", "<img alt=\"Logo>rest", {}},
        {"machine-read metas",
         "<meta http-equiv=\"refresh\" content=\"5\"><meta charset=utf-8 content=y>"
         "<meta name=\"viewport\" content=\"width=device-width\">"
         "<meta property=\"og:image:width\" content=\"600\">"
         "<meta name=\"google-site-verification\" content=\"abc\">"
         "<meta name=\"description\" content=\" https://example.org/\">"
         "<meta name=\"keywords\" content=\"a, b\">",
         {"C:a, b"}},
        {"empty page", "", {}},
        // How the browser's tokenizer reads markup, one state or rule a case.
        {"'<' before no markup is text",
         "<p>x < y and z</p><p>a <3 b<=c <</p>a <",
         {"T:x < y and z", "T:a <3 b<=c <", "T:a <"}},
        {"comment ends",
         "a<!--b--!>c<!-->d<!--->e<!--!>f-->g<!---!>h-->i<!-- j",
         {"T:a", "T:c", "T:d", "T:e", "T:g", "T:i"}},
        {"bogus comments and </>",
         "<?php x ?>a<!x y>b</ c>d</>e<!DOCTYPE html>f",
         {"T:a", "T:b", "T:d", "T:e", "T:f"}},
        {"escaped script", "<script><!-- if (a</b) x() --></script>t", {"T:t"}},
        {"double-escaped script", "<script><!-- w(\"<script></script>\"); --></script>t", {"T:t"}},
        {"'-->' ends double escaping",
         "<script><!--<script>--></script>x</script>y",
         {"T:x", "T:y"}},
        {"raw text",
         "<style>a<b>c</style><xmp>a <b>c</b></xmp><iframe>i</iframe>"
         "<noembed>e</noembed><noframes>f</noframes>t",
         {"T:t"}},
        {"RCDATA",
         "<title>a &amp; <!--b--></title><textarea>x</textarea y>z",
         {"T:a & <!--b-->", "T|x", "T:z"}},
        {"plaintext", "<p>a</p><plaintext>b</plaintext><p>c", {"T:a"}},
        {"noscript as without scripts", "<noscript>n <b>m</b></noscript>", {"T:n", "T:m"}},
        {"svg: ordinary elements, CDATA",
         "<svg><title>a<!--c-->b</title><style>s</style>"
         "<script>u</script><![CDATA[v>]]><text>w</text></svg>x",
         {"T:a", "T:b", "T:v>", "T:w", "T:x"}},
        {"CDATA that a browser's prescan may read as markup stays the page's before its "
         "declaration",
         "<svg><text><![CDATA[a>b<c]]></text></svg><meta charset=utf-8>"
         "<svg><text><![CDATA[d>e<f]]></text></svg>",
         {"T:d>e<f"}},
        {"svg's style is markup", "<svg><style><b>x</b></style></svg>", {"T:x"}},
        {"HTML start tags end svg", "<svg><g><p>p<style><b>x</b></style>", {"T:p"}},
        {"font with color ends svg", "<svg><font color=1><style><b>y</b></style>", {}},
        {"font alone stays", "<svg><font><style><b>y</b></style>", {"T:y"}},
        {"</p> ends math", "<math><mrow></p><style><b>y</b></style>", {}},
        {"HTML inside integration points",
         "<svg><foreignObject><style><b>r</b></style></foreignObject><style><b>q</b></style>"
         "<desc><script>s</script></desc></svg><math><mi><style>y</style></mi><ms><mglyph>"
         "<style><b>z</b></style></mglyph></ms></math>",
         {"T:q", "T:z"}},
        {"self-closing only in svg",
         "<svg><title/><style><b>a</b></style></svg><svg><title a=b/><style><b>c</b></style>",
         {"T:a"}},
        {"CDATA outside svg is a comment", "<![CDATA[x>y]]>", {"T:y]]>"}},
        // Attribute texts: each on its element and where it is no text.
        {"titles, but not of link and style",
         "<p title=\"Tip\">x</p><link rel=alternate title=Set><style title=s></style>",
         {"A:Tip", "T:x"},
         TTags::AllKinds},
        {"placeholders of fields only",
         "<input placeholder='Name'><textarea placeholder=\"Say\"></textarea><p placeholder=x>",
         {"A:Name", "A:Say"},
         TTags::AllKinds},
        {"aria texts anywhere",
         "<button aria-label=Close aria-description=\"Closes it\" aria-roledescription=knob>"
         "</button>",
         {"A:Close", "A:Closes it", "A:knob"},
         TTags::AllKinds},
        {"button values, not those a form sends",
         "<input type=button value=Go><input type=RESET value=Clear><input type=submit "
         "value=Send><input type=submit name=q value=Search><input value=typed><button "
         "value=v>",
         {"A:Go", "A:Clear", "A:Send"},
         TTags::AllKinds},
        {"labels of option, optgroup and track; abbr of th",
         "<option label=One><optgroup label=Two><track label=Three><p label=no><th "
         "abbr=Qty><td abbr=no>",
         {"A:One", "A:Two", "A:Three", "A:Qty"},
         TTags::AllKinds},
        {"no blank or URL attribute texts; alt and content keep theirs",
         "<p title=\"  \" aria-label=\"https://x.org/\"><img alt=\"  \" title=//cdn/x>",
         {"G:"},
         TTags::AllKinds},
        {"attribute texts leave out URLs of every scheme, not labels followed by text",
         "<a title=\"mailto:a@b.example\"><a title='tel:+49 30 1234'><a title=data:,x>"
         "<a title=\"javascript:void(0)\"><a title=urn:isbn:3-12-345678-9>"
         "<a title=\"  MailTo:a@b.example?subject=Hello there \"><a title=\"HTTPS://x.org/a b\">"
         "<a title=\"Note: read this\"><a title=\"Tel: 0123 456\"><a title=Warning:>"
         "<a title=\"Gr\xC3\xB6\xC3\x9F"
         "e:klein\"><a title=10:30>"
         "<meta name=description content=\"mailto:a@b.example\">",
         {"A:Note: read this", "A:Tel: 0123 456", "A:Warning:",
          "A:Gr\xC3\xB6\xC3\x9F"
          "e:klein",
          "A:10:30", "C:mailto:a@b.example"},
         TTags::AllKinds},
        {"several values of one tag, in order, each in its quotes",
         "<img title='T' alt=\"A\" aria-label=L title=again>",
         {"A:T", "G:A", "A:L"},
         TTags::AllKinds},
        {"attribute texts only when chosen",
         "<p title=t>x</p>",
         {"T:x"},
         TTags::AllKinds & TTags(7)},
        // What the author marked to keep, and notes for the translator.
        {"translate=no and yes again, inherited",
         "<div translate=NO>a<p>b<span translate=\"yes\">c<b>d</b></span>e</p></div>f"
         "<p translate=maybe>g</p><p translate>h</p>",
         {"T:c", "T:d", "T:f", "T:g", "T:h"}},
        {"translate=no keeps its element's own values and RCDATA",
         "<img alt=a translate=no><img alt=b><title translate='no'>t</title>"
         "<meta translate=no name=description content=c><textarea translate=no>x</textarea>y"
         "<div translate=no><p title=t><input value=v type=button></div>",
         {"G:b", "T:y"},
         TTags::AllKinds},
        {"void and raw elements do not stay open",
         "<br translate=no>a<script translate=no>s</script>b<pre translate=no>c</pre>d",
         {"T:a", "T:b", "T:d"}},
        {"notes go to the text inside, not to values",
         "<p its-loc-note=\"Keep &amp; short\">a <img alt=i> <b>b</b></p>c"
         "<pre its-loc-note=n>x\ny</pre>",
         {"T:a [Keep & short]", "G:i", "T:b [Keep & short]", "T:c", "T|x [n]", "T|y [n]"}},
    };
    return cases;
}

}  // namespace

TEST(Scan, FindsThePhrasesAReaderSees) {
    for (const TCase& c : Cases()) {
        TDocument doc;
        doc.LoadBytes(c.page, c.tags);
        EXPECT_EQ(Described(doc.Phrases()), c.phrases) << c.name;
        for (std::size_t k = 0; k < doc.PhraseCount(); ++k)
            EXPECT_EQ(doc.OriginalText(k), doc.Text(k)) << c.name << " phrase " << k;
    }
}

// A CDATA section in svg or math is text as written: no reference, no markup, up to the first
// "]]>". Each page's text as Chromium 156 shows it (the text nodes of its DOM outside script and
// style, --dump-dom), blanks collapsed; the phrases, with the blanks at their edges, read the
// same.
TEST(Scan, CdataSectionsReadAsChromiumShowsThem) {
    const struct {
        const char* page;
        const char* chromium;
    } cases[] = {
        {"<svg><text><![CDATA[ a<b & c ]]></text></svg>", "a<b & c"},
        {"<svg><text><![CDATA[&amp; &lt;]]></text></svg>", "&amp; &lt;"},
        {"<svg><text><![CDATA[x]]]></text></svg>", "x]"},
        {"<svg><text><![CDATA[x]]]]></text></svg>", "x]]"},
        {"<svg><text><![CDATA[a]]>b]]></text></svg>", "ab]]>"},
        {"<svg><text><![CDATA[a<!--b-->c]]></text></svg>", "a<!--b-->c"},
        {"<svg><text><![CDATA[a</text>b]]></text></svg>", "a</text>b"},
        {"<svg><text><![cdata[x]]></text></svg>", ""},
        {"<p><![CDATA[x>y]]></p>", "y]]>"},
        {"<math><mi><![CDATA[a&b]]></mi></math>", "a&b"},
        {"<svg><foreignObject><p><![CDATA[x>y]]></p></foreignObject></svg>", "y]]>"},
        {"<svg><title><![CDATA[tip]]></title></svg>", "tip"},
        {"<svg><script><![CDATA[s]]></script></svg>", ""},
        {"<svg><style><![CDATA[.x{}]]></style><text>t</text></svg>", "t"},
        {"<svg><text>a <![CDATA[b]]> c</text></svg>", "a b c"},
        {"<svg><desc><![CDATA[d]]></desc></svg>", "d"},
        {"<svg><text><![CDATA[\n  two\n  lines\n]]></text></svg>", "two lines"},
        {"<svg><text><![CDATA[]]>x</text></svg>", "x"},
        {"<svg><text><![CDATA[a]]></text><![CDATA[b]]></svg>", "ab"},
        {"<meta charset=utf-8><svg><text><![CDATA[caf\xC3\xA9 &eacute;]]></text></svg>",
         "caf\xC3\xA9 &eacute;"},
        {"<svg><text><![CDATA[unclosed", "unclosed"},
    };
    for (const auto& c : cases) {
        TDocument doc;
        doc.LoadBytes(c.page, TTags::PlainText);
        std::string shown;
        for (const TTextItem& p : doc.Phrases())
            shown += (p.LeadingSpace ? " " : "") + p.Text + (p.TrailingSpace ? " " : "");
        EXPECT_EQ(NormaliseEntry(shown), c.chromium) << c.page;
    }
}

TEST(Scan, AReplacedPhraseChangesOnlyItsBytesAndReadsBackAsTyped) {
    for (const TCase& c : Cases()) {
        TDocument doc;
        doc.LoadBytes(c.page, c.tags);
        for (std::size_t k = 0; k < doc.PhraseCount(); ++k) {
            TDocument one;
            one.LoadBytes(c.page, c.tags);
            // Appended rather than joined with +, which GCC 12 wrongly warns about (-Wrestrict).
            std::string typed = "Q";
            typed += std::to_string(k) + " <a & \"b\" \u00E4 c> &notes &#0; &copy";
            one.SetPhraseText(k, typed);
            const std::string out = one.Render();
            const TPhraseSpan& span = one.Spans()[k];
            EXPECT_EQ(out.substr(0, span.Begin), c.page.substr(0, span.Begin)) << c.name << k;
            const std::size_t tail = c.page.size() - span.End;
            EXPECT_EQ(out.substr(out.size() - tail), c.page.substr(span.End)) << c.name << k;
            TDocument again;
            again.LoadBytes(out, c.tags);
            ASSERT_EQ(again.PhraseCount(), doc.PhraseCount()) << c.name << k << "\n" << out;
            for (std::size_t i = 0; i < doc.PhraseCount(); ++i)
                EXPECT_EQ(again.Text(i), i == k ? typed : doc.Text(i))
                    << c.name << " phrase " << i << " after changing " << k << "\n"
                    << out;
        }
    }
}

// Control bytes that reading leaves out of a phrase's text (at a line's start, or making up whole
// lines), and references that give blanks at its edges, are the page's: a new text leaves them
// where they stand.
TEST(Scan, ControlBytesThatTheTextLeavesOutStayOutsideItsSpan) {
    const struct {
        std::string page, span;
    } cases[] = {
        {"\x01\x02\x0b Hallo \x03<p>", "Hallo \x03"},
        {"<p>\n\x0b x \x0b\n\x0c\n</p>", "x \x0b"},
        {"<p> \x0b x\r\x0b\r</p>", "\x0b x"},
        {"<p>a\n\x01\x02\n\x03b\n\x04</p>", "a\n\x01\x02\n\x03b"},
        {"<img alt=\"\n\x0bLogo\x0b\n\x0b\">", "Logo\x0b"},
        {"<img alt=\"\n\x0b\n\">", ""},
        {"<p>&#32; x&amp;&#x20;y &#10;</p>", "x&amp;&#x20;y"},
        {"<img alt=\"&Tab;Logo&#32;\">", "Logo"},
    };
    for (const auto& c : cases) {
        TDocument doc;
        doc.LoadBytes(c.page, TTags::AllKinds);
        ASSERT_EQ(doc.PhraseCount(), 1u) << c.page;
        const TPhraseSpan& span = doc.Spans()[0];
        EXPECT_EQ(doc.Page().substr(span.Begin, span.End - span.Begin), c.span) << c.page;
    }
}

TEST(Scan, ATextSetBackToTheOriginalKeepsTheOriginalBytes) {
    const std::string page = "<p>Caf&eacute;  &amp;\n  more</p><img alt='x &quot; y'>";
    TDocument doc;
    doc.LoadBytes(page, TTags::AllKinds);
    ASSERT_EQ(doc.PhraseCount(), 2u);
    const std::string first(doc.Text(0));
    EXPECT_EQ(first, "Caf\u00E9 & more");
    doc.SetPhraseText(0, "other");
    doc.SetPhraseText(1, "x \" y");
    EXPECT_NE(doc.Render(), page);
    doc.SetPhraseText(0, first);
    EXPECT_EQ(doc.Render(), "<p>Caf&eacute;  &amp;\n  more</p><img alt='x &quot; y'>");
}

TEST(Scan, ChangedAttributeValuesKeepTheirQuotes) {
    const struct {
        std::string page, text, want;
    } cases[] = {
        {"<img alt=\"a\">", "say \"hi\"", "<img alt=\"say &quot;hi&quot;\">"},
        {"<img alt='a'>", "it's \"x\"", "<img alt='it&#39;s &quot;x&quot;'>"},
        {"<img alt=a>", "b", "<img alt=b>"},
        {"<img alt=a>", "two words", "<img alt=\"two words\">"},
        {"<img alt=a src=x>", "x=y", "<img alt=x=y src=x>"},
        {"<img alt=a data-t='\"'>", "b c", "<img alt=\"b c\" data-t='\"'>"},
        {"<img alt=\"  a  \">", "b", "<img alt=\"  b  \">"},
        {"<img alt=\"   \">", "b", "<img alt=\"b   \">"},
    };
    for (const auto& c : cases) {
        TDocument doc;
        doc.LoadBytes(c.page, TTags::AllKinds);
        doc.SetPhraseText(doc.PhraseCount() - 1, c.text);
        EXPECT_EQ(doc.Render(), c.want) << c.page;
    }
}

TEST(Scan, AngleBracketsAreFoundAtEveryOffsetOfALongRun) {
    for (std::size_t at = 0; at < 40; ++at) {
        const std::string text(at, 'a');
        TDocument doc;
        doc.LoadBytes("<p>" + text + "<b>" + std::string(20, 'z') + "</b>", TTags::AllKinds);
        Strings want;
        if (at) want.push_back("T:" + text);
        want.push_back("T:" + std::string(20, 'z'));
        EXPECT_EQ(Described(doc.Phrases()), want) << at;
    }
}

TEST(CountWords, Separators) {
    const std::pair<const char*, std::uint64_t> cases[] = {
        {"", 0},      {"  \t ", 0}, {"a, b", 2}, {"a,,,b", 3}, {"Hello world.", 2},
        {" one ", 1}, {".net", 1},  {",a", 1},
    };
    for (const auto& [text, words] : cases) EXPECT_EQ(CountWords(text), words) << text;
    std::vector<TTextItem> phrases(70000, TTextItem(0, "a b"));
    EXPECT_EQ(TotalWords(phrases), 140000u);
}
