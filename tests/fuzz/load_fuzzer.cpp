// Any bytes, loaded as a page with every Tags value: an unchanged save gives the page byte for
// byte, the spans are sound, and every phrase written anew from its text reads back the same;
// cut into sentences, the same save and spans, and sentences whose placeholders moved keep the
// page's tags.

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "core/errors.h"
#include "tests/fuzz/check.h"

using namespace quillfen;
using namespace quillfen::fuzz;

namespace {

void CheckPage(std::string_view page, TTags tags) {
    TDocument doc;
    try {
        doc.LoadBytes(page, tags);
    } catch (const TError&) {
        QF_CHECK(MayBeRefused(page));
        return;
    }
    QF_CHECK(doc.Render() == page, "unchanged save differs");
    CheckSpans(doc, tags);
    std::vector<std::string> texts;
    for (const TTextItem& item : doc.Phrases()) texts.push_back(item.Text);
    CheckReadsBack(doc, doc.RenderAllPhrases(), tags, texts);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view page(reinterpret_cast<const char*>(data), size);
    if (std::memchr(page.data(), '\0', page.size())) {
        // Refused, so that a save cannot cut the page off at the zero byte.
        for (unsigned bits = 0; bits <= Bits(TTags::AllKinds); ++bits) {
            TDocument doc;
            bool refused = false;
            try {
                doc.LoadBytes(page, TTags(static_cast<std::uint8_t>(bits)));
            } catch (const TError&) {
                refused = true;
            }
            QF_CHECK(refused);
            QF_CHECK(doc.PhraseCount() == 0);
        }
        return 0;
    }
    for (unsigned bits = 0; bits <= Bits(TTags::AllKinds); ++bits)
        CheckPage(page, TTags(static_cast<std::uint8_t>(bits)));
#ifdef QUILLFEN_SENTENCES
    for (TTags tags : {TTags::PlainText, TTags::AllKinds}) CheckSentences(page, tags);
#endif
    return 0;
}
