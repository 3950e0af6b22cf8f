// quillfen-cli check: whether pages come through a save and an exchange format unchanged.

#include "cli/command.h"
#include "session/pageset.h"
#include "session/roundtrip.h"

namespace quillfen::cli {
namespace {

const TOption kFormat{"--format", "NAME", "the exchange format to go through (default text)",
                      "das Austauschformat, durch das es geht (Vorgabe text)"};
const TOption* const kOptions[] = {&kTagsOption, &kUnitsOption, &kFormat};

int Run(const TArguments& a) {
    const TExchangeFormat& format = ChosenFormat(a, kFormat);
    const std::vector<std::string>& pages = a.Operands;
    std::vector<std::string> lines(pages.size());
    std::vector<char> failed(pages.size(), 1);
    const int status = TellFailures(
        pages, RunOnPages(pages.size(), [&](std::size_t i) {
            lines[i] = pages[i] + "\t-\tsave FAIL\troundtrip FAIL";
            const TRoundTrip r = CheckRoundTrip(pages[i], a.Tags(), a.Units(), format);
            lines[i] = pages[i] + '\t' + std::to_string(r.Phrases) + "\tsave " +
                       (r.Saves ? "ok" : "FAIL") + "\troundtrip " + (r.RoundTrips ? "ok" : "FAIL");
            failed[i] = !r.Saves || !r.RoundTrips;
            // Told with the other failures, in argument order.
            if (r.Failure) std::rethrow_exception(r.Failure);
        }));
    std::string out;
    for (const std::string& line : lines) out.append(line).append("\n");
    Print(out);
    const bool anyFailed = std::find(failed.begin(), failed.end(), 1) != failed.end();
    return status != 0 || anyFailed ? 1 : 0;
}

const TRegistration kCheck{{
    .Name = "check",
    .Synopsis = "PAGE...",
    .MaxOperands = SIZE_MAX,
    .Options = kOptions,
    .Help = "Tells for each page whether an unchanged save is byte-identical and whether export\n"
            "and recombination give the page back; with a translation tool's format, whether\n"
            "its untouched file, and the file with each source copied as its target, merge\n"
            "into the page byte for byte.",
    .HelpGerman = "Sagt f\xC3\xBCr jede Seite, ob ein unver\xC3\xA4ndertes Speichern sie Byte "
                  "f\xC3\xBCr Byte gleich\n"
                  "l\xC3\xA4sst und ob Export und Zusammenf\xC3\xBCgen die Seite zur\xC3\xBC"
                  "ckgeben; mit dem Format eines\n"
                  "\xC3\x9C"
                  "bersetzungswerkzeugs, ob seine unber\xC3\xBChrte Datei und die Datei mit jedem\n"
                  "Ausgangstext als \xC3\x9C"
                  "bersetzung Byte f\xC3\xBCr Byte in die Seite eingef\xC3\xBCgt werden.",
    .Run = Run,
}};

}  // namespace
}  // namespace quillfen::cli
