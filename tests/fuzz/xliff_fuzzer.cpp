// Any bytes as an XLIFF file are read or refused with the program's error, never a crash. As a
// page cut into runs and into sentences, its XLIFF reads back to each phrase's number and text,
// stamped with the page, and a target that copies the source behind a word reads as that word
// and the text.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/errors.h"
#include "exchange/xliff.h"
#include "tests/fuzz/check.h"
#include "tests/support/xliff.h"

using namespace quillfen;
using namespace quillfen::fuzz;

namespace {

TTranslationFile ReadBack(const std::string& xliff) {
    try {
        return kXliffFormat.ReadTranslation(xliff, "page.xlf");
    } catch (const TError& e) {
        Fail("an export does not read back:", e.English());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        kXliffFormat.ReadTranslation(bytes, "any.xlf");
    } catch (const TError&) {
    }
    for (const TUnits units : {TUnits::Runs, TUnits::Sentences}) {
        TDocument doc;
        try {
            doc.LoadBytes(bytes, TTags::AllKinds, units);
        } catch (const TError&) {
            continue;
        }
        const std::string xliff = XliffBytes(doc, "/web/page.html", {});
        const TTranslationFile file = ReadBack(xliff);
        const TTranslationFile translated =
            ReadBack(quillfen::testing::XliffWithTargets(xliff, "X "));
        QF_CHECK(file.Stamp == StampOf(doc));
        QF_CHECK(file.Units.size() == doc.PhraseCount() &&
                 translated.Units.size() == doc.PhraseCount());
        for (std::size_t k = 0; k < doc.PhraseCount(); ++k) {
            const std::string at = "unit " + std::to_string(k + 1);
            QF_CHECK(file.Units[k].Id == std::to_string(k + 1), at);
            QF_CHECK(
                file.Units[k].Source == doc.Text(k),
                at + " '" + std::string(doc.Text(k)) + "' read '" + file.Units[k].Source + "'");
            QF_CHECK(!file.Units[k].Target, at);
            QF_CHECK(translated.Units[k].Target == "X " + std::string(doc.Text(k)), at);
        }
    }
    return 0;
}
