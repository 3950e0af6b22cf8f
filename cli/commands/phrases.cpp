// quillfen-cli phrases: the phrases of a page as a browser shows them, one line each.

#include "cli/command.h"
#include "core/markup/kinds.h"
#include "core/text/phrasetext.h"
#include "session/pagesession.h"

namespace quillfen::cli {
namespace {

const TOption kNotes{
    "--notes", "",
    "adds a fourth column: the page author's note for the translator\n"
    "(its-loc-note), same escapes, empty if none",
    "f\xC3\xBCgt eine vierte Spalte an: die Notiz des Autors der Seite f\xC3\xBCr den\n"
    "\xC3\x9C"
    "bersetzer (its-loc-note), gleich geschrieben, leer wenn keine"};
const TOption kStatus{
    "--status", "",
    "adds a column before the note: \"replaced\" for a phrase Quillfen replaced,\n"
    "in this run or an earlier one (the record of sources), else empty",
    "f\xC3\xBCgt vor der Notiz eine Spalte ein: \"replaced\" f\xC3\xBCr eine Phrase, die Quillfen\n"
    "ersetzt hat, in diesem oder einem fr\xC3\xBCheren Lauf (die Aufzeichnung der\n"
    "Ausgangstexte), sonst leer"};
const TOption* const kOptions[] = {&kTagsOption, &kUnitsOption, &kStatus, &kNotes};

int Run(const TArguments& a) {
    TPageSession session;
    const bool status = a.Has(kStatus.Name);
    // Only --status reads the record, and then it must be there to be read.
    std::optional<TPluggedSources> sources;
    if (status) sources.emplace(session, true);
    session.Open(a.Operands[0], a.Tags(), a.Units());
    if (status)
        if (const std::exception_ptr failure = session.TakeObserverFailure())
            std::rethrow_exception(failure);
    const TDocument& doc = session.Document();
    const bool notes = a.Has(kNotes.Name);
    // Written in pieces: the list of a large page is as large as the page.
    std::string out;
    const std::size_t count = doc.PhraseCount();
    for (std::size_t i = 0; i < count; ++i) {
        out += std::to_string(i + 1);
        out += '\t';
        out += KindInfo(doc.Kind(i)).Letter;
        out += '\t';
        out += EscapedText(doc.Text(i));
        if (status) {
            out += '\t';
            if (session.IsReplaced(i)) out += "replaced";
        }
        if (notes) {
            out += '\t';
            out += EscapedText(doc.Note(i));
        }
        out += '\n';
        if (out.size() >= (std::size_t{1} << 16)) {
            Print(out);
            out.clear();
        }
    }
    Print(out);
    return 0;
}

const TRegistration kPhrases{{
    .Name = "phrases",
    .Synopsis = "PAGE",
    .Options = kOptions,
    .Help = "Lists the phrases of PAGE: number (from 1), kind letter and text as a browser\n"
            "shows it, tab-separated.",
    .HelpGerman =
        "Listet die Phrasen von PAGE: Nummer (ab 1), Buchstabe der Art und Text, wie ein\n"
        "Browser ihn zeigt, durch Tabulatoren getrennt.",
    .Run = Run,
}};

}  // namespace
}  // namespace quillfen::cli
