// Any bytes as a page: its template and text file recombine into the page with every phrase
// written anew, exactly as the save writes them; random template and text files never crash the
// recombination, which either gives a page or raises the program's error.
//
// Input: the page or template up to the first zero byte; behind it, a text file.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/document/format.h"
#include "core/errors.h"
#include "core/markup/entities.h"
#include "core/text/encoding.h"
#include "exchange/combine.h"
#include "exchange/export.h"
#include "tests/fuzz/check.h"

using namespace quillfen;
using namespace quillfen::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = all.find('\0');
    const std::string_view page = all.substr(0, nul);
    const std::string_view text =
        nul == std::string_view::npos ? std::string_view{} : all.substr(nul + 1);
    try {
        CombineBytes(page, text);
    } catch (const TError&) {
    }

    TDocument doc;
    try {
        doc.LoadBytes(page, TTags::AllKinds);
    } catch (const TError&) {
        return 0;
    }
    // A page holding marker texts of its own is refused by the export.
    if (page.find("%_") != std::string_view::npos) return 0;
    const std::string textFile = TextFileBytes(doc.Phrases(), doc.EncodingInfo());
    // A text file that reads as UTF-8 where the page does not is converted, by design.
    if (doc.Encoding() != TPageEncoding::Utf8 && DetectEncoding(textFile) == TPageEncoding::Utf8)
        return 0;
    // Nor can the template tell a Windows-1252 page whose only bytes that are no UTF-8 stood in
    // its phrases; such a page recombines as UTF-8.
    const std::string templ = doc.TemplateBytes();
    if (doc.Encoding() != DetectEncoding(templ) &&
        !(doc.Encoding() == TPageEncoding::Utf8 && !doc.Bom().empty()))
        return 0;
    const std::string combined = CombineBytes(templ, textFile);
    QF_CHECK(combined == doc.RenderAllPhrases(), "recombined page differs");

    // A text file as earlier versions wrote it, with references as the page wrote them, gives
    // a page of the same texts, where its references read in the text file as in the page
    // (every one ended by ';') and its phrases fit on a line.
    std::string old;
    for (std::size_t k = 0; k < doc.PhraseCount(); ++k) {
        const TPhraseSpan& span = doc.Spans()[k];
        const std::string_view bytes = doc.Page().substr(span.Begin, span.End - span.Begin);
        // A CDATA section, which earlier versions offered nothing of, holds no reference.
        const TReferences where = span.Source == TSource::Cdata ? TReferences::None
                                  : doc.Kind(k) == TKind::Text  ? TReferences::Text
                                                                : TReferences::Attribute;
        if (bytes.find_first_of("\r\n") != std::string_view::npos ||
            DecodeReferences(bytes, where) != DecodeReferences(bytes, TReferences::TextFile))
            return 0;
        AppendTextLine(old, k, bytes);
    }
    if (doc.Encoding() != TPageEncoding::Utf8 && DetectEncoding(old) == TPageEncoding::Utf8)
        return 0;
    TDocument again;
    again.LoadBytes(CombineBytes(templ, old), TTags::AllKinds);
    QF_CHECK(again.PhraseCount() == doc.PhraseCount(), "old text file");
    for (std::size_t k = 0; k < doc.PhraseCount(); ++k)
        QF_CHECK(again.Text(k) == doc.Text(k), "old text file, phrase " + std::to_string(k));
    return 0;
}
