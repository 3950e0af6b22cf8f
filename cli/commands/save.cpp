// quillfen-cli save: replaces phrases of a page and writes it.

#include <charconv>

#include "cli/command.h"
#include "cli/recording.h"
#include "cli/texts.h"
#include "core/text/phrasetext.h"
#include "session/pagesession.h"

namespace quillfen::cli {
namespace {

const TOption kOut{"-o", "OUT", "writes the page to OUT instead of PAGE",
                   "schreibt die Seite nach OUT statt nach PAGE"};
const TOption kSet{
    "--set", "N=TEXT", "replaces phrase N by TEXT (the escapes of phrases; '&' and '<' are text)",
    "ersetzt Phrase N durch TEXT (geschrieben wie bei phrases; '&' und '<' sind Text)", true};
const std::vector<const TOption*> kOptions =
    WithRecordingOptions({&kTagsOption, &kUnitsOption, &kOut, &kSet});

// The changes in the order given: of several for one phrase the last counts.
std::vector<TPhraseChange> Changes(const TArguments& a) {
    std::vector<TPhraseChange> changes;
    for (const std::string& set : a.Values(kSet.Name)) {
        const std::size_t eq = set.find('=');
        std::size_t n = 0;
        const auto [end, ec] = eq == std::string::npos
                                   ? std::from_chars_result{nullptr, std::errc::invalid_argument}
                                   : std::from_chars(set.data(), set.data() + eq, n);
        if (eq == 0 || ec != std::errc() || end != set.data() + eq)
            throw UsageError(TSaid::SetTakes, {set});
        changes.push_back({n - 1, TextOfEscaped(set.substr(eq + 1))});
    }
    return changes;
}

int Run(const TArguments& a) {
    const std::vector<TPhraseChange> changes = Changes(a);
    TPageSession session;
    TPluggedSources sources(session, false);
    session.Open(a.Operands[0], a.Tags(), a.Units());
    sources.TellFailure();
    if (const auto out = a.Value(kOut.Name)) session.SetOutput(*out);
    TRecording recording(a, session);
    // All texts in one write; the save itself refuses to overwrite another program's change to
    // the page, under any name. A save without changes still writes the page.
    if (!session.Replace(changes)) session.Write();
    sources.TellFailure();
    return recording.Finish(a.Operands[0]);
}

const TRegistration kSave{{
    .Name = "save",
    .Synopsis = "PAGE",
    .Options = kOptions,
    .Help = "Replaces the phrases given by --set and writes the page. Given --target-lang\n"
            "(where there is a translation memory), each replacement is kept in the memory\n"
            "under the page's lang (else --source-lang) and the target language; without it\n"
            "nothing is kept.",
    .HelpGerman =
        "Ersetzt die mit --set gegebenen Phrasen und schreibt die Seite. Mit --target-lang\n"
        "(wo es einen \xC3\x9C"
        "bersetzungsspeicher gibt) kommt jede Ersetzung in den Speicher,\n"
        "unter dem lang der Seite (sonst --source-lang) und der Zielsprache; ohne es wird\n"
        "nichts behalten.",
    .Run = Run,
}};

}  // namespace
}  // namespace quillfen::cli
