// A page, then random phrases replaced by random texts (marker texts, entities, angle brackets,
// quotes, umlauts and high bytes among them), then saved: the saved page holds every phrase as
// EncodePhrase writes it and the template around them, and loads again within the invariants.
//
// Input: the page up to the first zero byte; behind it, Tags and the edits.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "check.h"

using namespace quillfen;
using namespace quillfen::fuzz;

namespace {

const char* const kPieces[] = {
    "%_0_%", "%_1_%", "%_2_%", "%_10_%", "%_", "_%", "&", "& ", "&amp;", "&amp; ", "&nbsp;",
    "&uuml;", "&lt;", "<", ">", "<!--", "-->", "\"", "'", "alt=\"", "content=\"", " ", "  ",
    "\t", "\xE4", "\xF6", "\xFC", "\xC4", "\xD6", "\xDC", "\xDF", "\xC3\xA4", "\x80", "\xFF",
    "\r", "\n", "\r\n", "x", "Hallo Welt",
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = all.find('\0');
    const std::string_view page = all.substr(0, nul);
    TEdits edits(nul == std::string_view::npos ? std::string_view{} : all.substr(nul + 1));
    const std::uint8_t tags = edits.Done() ? kDefaultTags : edits.Byte() & 7;

    TDocument doc;
    doc.LoadBytes(page, tags);
    CheckTemplate(doc, page);
    const TTemplate templ = doc.Template();
    std::vector<bool> replaced(doc.PhraseCount());
    while (!edits.Done() && doc.PhraseCount() > 0) {
        const std::size_t i = (edits.Byte() * 256u + edits.Byte()) % doc.PhraseCount();
        doc.SetPhraseText(i, edits.Text());
        replaced[i] = true;
        QF_CHECK(doc.Row(i) == doc.Phrases()[i].Text);
    }
    QF_CHECK(doc.Template() == templ);

    const std::string saved = doc.Render();
    QF_CHECK(saved == Reconstruct(doc));
    // Every phrase stands in the saved page as EncodePhrase writes it; the lines of the page are
    // the template's lines, so each replaced phrase is found on its own line.
    for (std::size_t k = 0; k < doc.PhraseCount(); ++k) {
        if (!replaced[k]) continue;
        QF_CHECK(Contains(saved, EncodePhrase(doc.Phrases()[k], doc.TablesForSaving())),
                 "phrase " + std::to_string(k));
    }
    // A phrase's new text is written as given, even where it holds line breaks or zero-free
    // marker texts; loading the saved page again must still keep every invariant.
    if (saved.find('\0') == std::string::npos) {
        TDocument again;
        again.LoadBytes(saved, tags);
        CheckTemplate(again, saved);
        QF_CHECK(again.Render() == Reconstruct(again));
    }
    // Saving again with nothing changed writes the same bytes.
    QF_CHECK(doc.Render() == saved);
    return 0;
}
