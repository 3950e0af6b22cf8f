// Any bytes, loaded as a page with every Tags value: the scan's invariants, an unchanged save
// that loads again to the same phrases, and nothing of the markup lost.

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "check.h"
#include "encoding.h"
#include "errors.h"

using namespace quillfen;
using namespace quillfen::fuzz;

namespace {

// A text phrase starts its line in the saved page, and loading strips every byte of code 32 or
// less from the start of a line: control bytes in front of a phrase go by design.
std::string_view ReloadedText(const TTextItem& item) {
    std::string_view text = item.Text;
    if (item.Kind() == TKind::Text)
        while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
    return text;
}

// A phrase's text as characters, written in UTF-8: the saved page may read in another encoding
// than the page did, since a UTF-8 page whose only non-ASCII characters were umlauts is plain
// ASCII once they are saved as entities, and so reads as Windows-1252 (umlauts as single bytes).
std::string AsUtf8(std::string_view text, TPageEncoding encoding) {
    if (encoding == TPageEncoding::Utf8) return std::string(text);
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

void CheckPage(std::string_view page, std::uint8_t tags) {
    TDocument doc;
    doc.LoadBytes(page, tags);
    CheckTemplate(doc, page);
    for (std::size_t k = 0; k < doc.PhraseCount(); ++k) {
        if (doc.Phrases()[k].Kind() == TKind::Text) QF_CHECK(doc.Row(k) == doc.Phrases()[k].Text);
        QF_CHECK((tags & kTagPlainText) || doc.Phrases()[k].Kind() != TKind::Text);
        QF_CHECK((tags & kTagImageAlt) || doc.Phrases()[k].Kind() != TKind::Image);
        QF_CHECK((tags & kTagContent) || doc.Phrases()[k].Kind() != TKind::Content);
    }
    const std::string saved = doc.Render();
    QF_CHECK(saved == Reconstruct(doc));
    CheckNothingLost(doc, page);

    // A phrase made only of such bytes leaves an empty line, which loading drops.
    std::vector<const TTextItem*> kept;
    for (const TTextItem& item : doc.Phrases())
        if (item.Kind() != TKind::Text || !ReloadedText(item).empty()) kept.push_back(&item);
    TDocument again;
    again.LoadBytes(saved, tags);
    // The other way round is never right: a Windows-1252 page read as UTF-8 would change the
    // meaning of its high bytes.
    QF_CHECK(doc.Encoding() == again.Encoding() || again.Encoding() == TPageEncoding::Windows1252,
             "reads as UTF-8 after saving");
    CheckTemplate(again, saved);
    QF_CHECK(again.PhraseCount() == kept.size(),
             std::to_string(kept.size()) + " phrases, reloaded " + std::to_string(again.PhraseCount()));
    for (std::size_t k = 0; k < kept.size(); ++k) {
        QF_CHECK(AsUtf8(again.Phrases()[k].Text, again.Encoding()) ==
                     AsUtf8(ReloadedText(*kept[k]), doc.Encoding()),
                 "phrase " + std::to_string(k) + " '" + kept[k]->Text + "' reloaded '" +
                     again.Phrases()[k].Text + "'");
        QF_CHECK(again.Phrases()[k].Kind() == kept[k]->Kind(), "phrase " + std::to_string(k));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view page(reinterpret_cast<const char*>(data), size);
    if (std::memchr(page.data(), '\0', page.size())) {
        // Refused, so that a save cannot cut the page off at the zero byte.
        for (std::uint8_t tags = 0; tags < 8; ++tags) {
            TDocument doc;
            bool refused = false;
            try {
                doc.LoadBytes(page, tags);
            } catch (const TError&) {
                refused = true;
            }
            QF_CHECK(refused);
            QF_CHECK(doc.PhraseCount() == 0);
        }
        return 0;
    }
    for (std::uint8_t tags = 0; tags < 8; ++tags) CheckPage(page, tags);
    return 0;
}
