// quillfen-cli tm export: the translation memory as a TMX file.

#include "cli/command.h"
#include "cli/memory.h"
#include "cli/texts.h"
#include "memory/tmx.h"

namespace quillfen::cli {
namespace {

const TOption kOut{"-o", "FILE.tmx", "the TMX file written (needed)",
                   "die geschriebene TMX-Datei (n\xC3\xB6tig)"};
const TOption kSource{"--source-lang", "L", "only units translated from L",
                      "nur Einheiten, die aus L \xC3\xBC"
                      "bersetzt sind"};
const TOption kTarget{"--target-lang", "L", "only units translated into L",
                      "nur Einheiten, die in L \xC3\xBC"
                      "bersetzt sind"};
const TOption* const kOptions[] = {&kMemoryOption, &kOut, &kSource, &kTarget};

int Run(const TArguments& a) {
    const std::optional<std::string> out = a.Value(kOut.Name);
    if (!out) throw UsageError(TSaid::TmExportNeeds);
    TTmxExportOptions options;
    options.SourceLanguage = LanguageOption(a, kSource);
    options.TargetLanguage = LanguageOption(a, kTarget);
    const std::unique_ptr<TMemory> memory = OpenMemory(a);
    const std::size_t written = ExportTmx(*memory, *out, options);
    Print(Say(TSaid::ExportReport, {*out, std::to_string(written)}));
    return 0;
}

const TRegistration kExport{{
    .Name = "tm export",
    .MinOperands = 0,
    .MaxOperands = 0,
    .Options = kOptions,
    .Help = "Writes the units of the translation memory to a TMX 1.4b file, placeholders as\n"
            "bpt/ept and ph holding the page's own tags.",
    .HelpGerman = "Schreibt die Einheiten des \xC3\x9C"
                  "bersetzungsspeichers in eine TMX-1.4b-Datei,\n"
                  "Platzhalter als bpt/ept und ph mit den eigenen Tags der Seite.",
    .Run = Run,
    .ErrorsNameFirstOperand = false,
}};

}  // namespace
}  // namespace quillfen::cli
