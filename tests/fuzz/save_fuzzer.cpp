// A page, then random phrases replaced by random texts (marker texts, entities, angle brackets,
// quotes, umlauts and high bytes among them), then saved: nothing but the replaced phrases'
// spans changes, and texts read back as typed.
//
// Input: the page up to the first zero byte; behind it, Tags and the edits.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "core/errors.h"
#include "core/text/encoding.h"
#include "tests/fuzz/check.h"

using namespace quillfen;
using namespace quillfen::fuzz;

namespace {

const char* const kPieces[] = {
    "%_0_%",  "%_1_%",  "%_2_%",  "%_10_%", "%_",         "_%",     "&",          "& ",
    "&amp;",  "&amp; ", "&nbsp;", "&uuml;", "&lt;",       "<",      ">",          "<!--",
    "-->",    "\"",     "'",      "alt=\"", "content=\"", " ",      "  ",         "\t",
    "\u00E4", "\u00F6", "\u00FC", "\u00C4", "\u00D6",     "\u00DF", "&copy",      "&#0;",
    "\x80",   "\xFF",   "\r",     "\n",     "\r\n",       "x",      "Hallo Welt",
};

class TEdits {
  public:
    TEdits(std::string_view bytes) : bytes_(bytes) {}
    bool Done() const { return at_ >= bytes_.size(); }
    std::uint8_t Byte() { return Done() ? 0 : static_cast<std::uint8_t>(bytes_[at_++]); }
    std::string Text() {
        std::string text;
        const std::size_t parts = Byte() % 6;
        for (std::size_t i = 0; i < parts && !Done(); ++i) {
            const std::uint8_t how = Byte();
            if (how < 160) {
                text += kPieces[how % (sizeof kPieces / sizeof *kPieces)];
            } else {
                // Raw bytes, high ones included.
                const std::size_t n = Byte() % 16;
                // No zero byte: the entry field cannot hold one.
                for (std::size_t j = 0; j < n && !Done(); ++j)
                    text.push_back(static_cast<char>(std::max<std::uint8_t>(Byte(), 1)));
            }
        }
        return text;
    }

  private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

// What reading a replaced phrase back gives: the text as typed, references and markup
// included, less what the entry field and the page's layout never keep (line breaks and zero
// bytes are refused before a text is set; blanks at the edges and runs of them are cut; a text
// of non-breaking spaces is none), and less what a page cannot hold as typed: bytes that are no
// UTF-8 (a Windows-1252 page reads them as characters) and the C1 controls, which no reference
// gives. A quote may close one that the page left open.
bool ReadsBackAsTyped(std::string_view text) {
    if (text.empty() || text.front() == ' ' || text.back() == ' ') return false;
    bool visible = false;
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const std::size_t len = Utf8CharAt(text, i, c);
        if (len == 0 || c < 32 || c == '\'' || (c >= 0x80 && c <= 0x9F)) return false;
        if (c == ' ' && i + 1 < text.size() && text[i + 1] == ' ') return false;
        visible = visible || (c != ' ' && c != 0xA0);
        i += len;
    }
    return visible;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = all.find('\0');
    const std::string_view page = all.substr(0, nul);
    TEdits edits(nul == std::string_view::npos ? std::string_view{} : all.substr(nul + 1));
    const TTags tags = edits.Done() ? TTags::Default : TTags(edits.Byte() & Bits(TTags::AllKinds));

    TDocument doc;
    try {
        doc.LoadBytes(page, tags);
    } catch (const TError&) {
        return 0;
    }
    CheckSpans(doc, tags);
    const std::string templ = doc.TemplateBytes();
    std::vector<std::string> texts;
    for (const TTextItem& item : doc.Phrases()) texts.push_back(item.Text);
    std::vector<bool> replaced(doc.PhraseCount());
    bool plain = true;
    while (!edits.Done() && doc.PhraseCount() > 0) {
        const std::size_t i = (edits.Byte() * 256u + edits.Byte()) % doc.PhraseCount();
        std::string text = edits.Text();
        // Only a CDATA section refuses a text: one that it cannot hold as typed, or one beside it
        // that would make a Windows-1252 page, and so the section's characters, read as UTF-8.
        try {
            doc.SetPhraseText(i, text);
        } catch (const TError& e) {
            QF_CHECK(std::any_of(doc.Spans().begin(), doc.Spans().end(),
                                 [](const TPhraseSpan& s) { return s.Source == TSource::Cdata; }),
                     e.what());
            continue;
        }
        plain = plain && ReadsBackAsTyped(text);
        texts[i] = std::move(text);
        replaced[i] = true;
    }
    QF_CHECK(doc.TemplateBytes() == templ);

    // Nothing but the replaced phrases' spans differs from the page as read.
    const std::string saved = doc.Render();
    const std::string_view bom = doc.Bom();
    QF_CHECK(saved.compare(0, bom.size(), bom) == 0);
    std::size_t from = 0, at = bom.size();
    bool writtenHigh = false;
    for (std::size_t k = 0; k < doc.PhraseCount(); ++k) {
        if (!replaced[k] || !doc.IsChanged(k)) continue;
        const TPhraseSpan& span = doc.Spans()[k];
        const std::string_view between = doc.Page().substr(from, span.Begin - from);
        QF_CHECK(saved.compare(at, between.size(), between) == 0,
                 "before phrase " + std::to_string(k));
        at += between.size();
        std::string written = EncodeForSpan(doc.Text(k), span.Source, doc.EncodingInfo(),
                                            doc.SavingMode(), doc.NewValueQuote());
        KeepFromReadingAsMark(written, std::string_view(saved).substr(0, at), doc.Encoding());
        QF_CHECK(saved.compare(at, written.size(), written) == 0, "phrase " + std::to_string(k));
        writtenHigh = writtenHigh || std::any_of(written.begin(), written.end(), [](char c) {
                          return static_cast<unsigned char>(c) >= 0x80;
                      });
        at += written.size();
        from = span.End;
    }
    QF_CHECK(saved.compare(at, std::string::npos, doc.Page().substr(from)) == 0,
             "after the phrases");
    // Whatever was typed, the page opens again, and a Windows-1252 page stays one as far as the
    // new texts go (the page's own bytes may hold UTF-8 that no longer stands beside a byte that
    // is none).
    TDocument again;
    try {
        again.LoadBytes(saved, tags);
    } catch (const TError& e) {
        Fail("saved page refused:", e.what());
    }
    QF_CHECK(doc.Encoding() != TPageEncoding::Windows1252 ||
             again.Encoding() == TPageEncoding::Windows1252 || !writtenHigh);
    // Typed texts read back exactly as typed, '&' and '<' included; not where the page's own
    // bytes now read as UTF-8 (the replaced text held its only byte that is none), so that its
    // other high bytes read otherwise, which no new text's bytes could prevent.
    const bool nowUtf8 =
        doc.Encoding() == TPageEncoding::Windows1252 && again.Encoding() == TPageEncoding::Utf8;
    if (plain && !nowUtf8 && saved.find('\0') == std::string::npos)
        CheckReadsBack(doc, saved, tags, texts);
    QF_CHECK(doc.Render() == saved);
    return 0;
}
