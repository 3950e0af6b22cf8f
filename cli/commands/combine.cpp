// quillfen-cli combine: a text file and its template recombined into a page.

#include "exchange/combine.h"

#include "cli/command.h"

namespace quillfen::cli {
namespace {

int Run(const TArguments& a) {
    Combine(a.Operands[0], a.Operands[1], a.Operands[2]);
    return 0;
}

const TRegistration kCombine{{
    .Name = "combine",
    .Synopsis = "TEXT TEMPLATE OUT",
    .MinOperands = 3,
    .MaxOperands = 3,
    .Help = "Recombines a text file and a template into the page OUT.",
    .HelpGerman = "F\xC3\xBCgt eine Textdatei und eine Vorlage zur Seite OUT zusammen.",
    .Run = Run,
    // The file layer's errors name their file; combine's may be about any of its three.
    .ErrorsNameFirstOperand = false,
}};

}  // namespace
}  // namespace quillfen::cli
