// quillfen-cli tm align: a page and its translation made by Quillfen become units of the memory.

#include "cli/command.h"
#include "cli/memory.h"
#include "cli/texts.h"
#include "memory/align.h"
#include "memory/pages.h"
#include "session/pagesession.h"

namespace quillfen::cli {
namespace {

const TOption* const kOptions[] = {&kTagsOption, &kUnitsOption, &kMemoryOption,
                                   &kSourceLanguageOption, &kTargetLanguageOption};

int Run(const TArguments& a) {
    const std::string& source = a.Operands[0];
    const std::string& translated = a.Operands[1];
    const TDocument sourcePage = TPageSession::Read(source, a.Tags(), a.Units());
    const TDocument translatedPage = TPageSession::Read(translated, a.Tags(), a.Units());
    const TLanguagePair languages =
        PageLanguages(sourcePage, LanguageOption(a, kSourceLanguageOption),
                      LanguageOption(a, kTargetLanguageOption));
    const TAlignment alignment =
        AlignPages(sourcePage, source, translatedPage, translated, languages);
    const std::unique_ptr<TMemory> memory = OpenMemory(a);
    std::size_t added = 0;
    {
        TMemory::TWriter writer(*memory);
        for (const TUnit& unit : alignment.Units) added += writer.Add(unit) ? 1 : 0;
        writer.Commit();
    }
    Print(Say(TSaid::AlignReport, {source, std::to_string(alignment.Units.size()),
                                   std::to_string(added), std::to_string(alignment.Untranslated)}));
    return 0;
}

const TRegistration kAlign{{
    .Name = "tm align",
    .Synopsis = "SOURCE TRANSLATED",
    .MinOperands = 2,
    .MaxOperands = 2,
    .Options = kOptions,
    .Help = "Adds phrase i of SOURCE with phrase i of TRANSLATED to the translation memory, for\n"
            "a page translated by replacing its phrases (the same markup). Pages that part\n"
            "outside their phrases are refused, naming the first place; phrases that read as\n"
            "their source are left out. The source language is SOURCE's lang, else\n"
            "--source-lang.",
    .HelpGerman =
        "Nimmt Phrase i von SOURCE mit Phrase i von TRANSLATED in den \xC3\x9C"
        "bersetzungsspeicher\n"
        "auf, f\xC3\xBCr eine Seite, die durch Ersetzen ihrer Phrasen \xC3\xBC"
        "bersetzt wurde (dasselbe\n"
        "Markup). Seiten, die au\xC3\x9F"
        "erhalb ihrer Phrasen auseinandergehen, werden abgelehnt,\n"
        "die erste Stelle genannt; Phrasen, die wie ihr Ausgangstext lauten, bleiben weg.\n"
        "Die Ausgangssprache ist das lang von SOURCE, sonst --source-lang.",
    .Run = Run,
    .ErrorsNameFirstOperand = false,
}};

}  // namespace
}  // namespace quillfen::cli
