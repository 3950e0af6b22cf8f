// quillfen-cli recover: the old bytes of a page whose save was cut short put back.

#include "cli/command.h"
#include "session/pagesession.h"

namespace quillfen::cli {
namespace {

int Run(const TArguments& a) {
    TPageSession::Recover(a.Operands[0]);
    return 0;
}

const TRegistration kRecover{{
    .Name = "recover",
    .Synopsis = "PAGE",
    .Help = "Puts back the old bytes of PAGE when a save that overwrote it in place was\n"
            "interrupted; the other commands refuse such a page and name the copy.",
    .HelpGerman = "Stellt die alten Bytes von PAGE wieder her, wenn ein Speichern, das sie an Ort\n"
                  "und Stelle \xC3\xBC"
                  "berschrieb, unterbrochen wurde; die anderen Befehle lehnen eine\n"
                  "solche Seite ab und nennen die Kopie.",
    .Run = Run,
}};

}  // namespace
}  // namespace quillfen::cli
