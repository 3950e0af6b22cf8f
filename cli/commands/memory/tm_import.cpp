// quillfen-cli tm import: a TMX file into the translation memory.

#include <iostream>

#include "cli/command.h"
#include "cli/memory.h"
#include "cli/texts.h"
#include "memory/tmx.h"

namespace quillfen::cli {
namespace {

const TOption kSkipBad{"--skip-bad", "", "leaves faulty units out and names them",
                       "l\xC3\xA4sst fehlerhafte Einheiten aus und nennt sie"};
const TOption* const kOptions[] = {&kMemoryOption, &kSkipBad};

int Run(const TArguments& a) {
    const std::string& file = a.Operands[0];
    const std::unique_ptr<TMemory> memory = OpenMemory(a);
    TTmxImportOptions options;
    options.SkipBad = a.Has(kSkipBad.Name);
    const TTmxImportResult result = ImportTmx(*memory, file, options);
    for (const TError& skipped : result.Skipped) std::cerr << Describe(skipped) << '\n';
    std::string said = Say(TSaid::ImportReport,
                           {file, std::to_string(result.Added), std::to_string(result.Updated)});
    if (!result.Skipped.empty())
        said += Say(TSaid::LeftOut, {std::to_string(result.Skipped.size())});
    Print(said + '\n');
    return 0;
}

const TRegistration kImport{{
    .Name = "tm import",
    .Synopsis = "FILE.tmx",
    .Options = kOptions,
    .Help = "Adds the units of a TMX file (1.4b, levels 1 and 2) to the translation memory,\n"
            "all or none: a fault of the file stops the import with its line and the memory\n"
            "stays as it was.",
    .HelpGerman =
        "Nimmt die Einheiten einer TMX-Datei (1.4b, Stufen 1 und 2) in den\n"
        "\xC3\x9C"
        "bersetzungsspeicher auf, alle oder keine: ein Fehler der Datei h\xC3\xA4lt den Import\n"
        "mit seiner Zeile an, und der Speicher bleibt, wie er war.",
    .Run = Run,
    // TMX errors name the file and line themselves.
    .ErrorsNameFirstOperand = false,
}};

}  // namespace
}  // namespace quillfen::cli
