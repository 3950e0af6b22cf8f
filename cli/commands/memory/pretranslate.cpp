// quillfen-cli pretranslate: a page's phrases from the translation memory, in one save.

#include "memory/pretranslate.h"

#include <iostream>

#include "cli/command.h"
#include "cli/memory.h"
#include "cli/texts.h"
#include "memory/pages.h"
#include "session/pagesession.h"

namespace quillfen::cli {
namespace {

const TOption kOut{"-o", "OUT", "writes the page to OUT instead of PAGE",
                   "schreibt die Seite nach OUT statt nach PAGE"};
const TOption kMin{"--min", "P",
                   "writes matches from score P up (1 to 101; default 100: in context and exact)",
                   "schreibt Treffer ab Wert P (1 bis 101; Vorgabe 100: im Kontext und exakt)"};
const TOption* const kOptions[] = {&kTagsOption, &kUnitsOption,          &kMemoryOption,
                                   &kOut,        &kSourceLanguageOption, &kTargetLanguageOption,
                                   &kMin};

std::string BandName(const TScoreBand& band) {
    if (band.Low == 0) return "none";  // a column's value, for scripts
    if (band.Low == band.High) return std::to_string(band.Low);
    return std::to_string(band.Low) + "-" + std::to_string(band.High);
}

int Run(const TArguments& a) {
    const std::string& page = a.Operands[0];
    const std::string target = LanguageOption(a, kTargetLanguageOption);
    if (target.empty()) throw UsageError(TSaid::PretranslateNeeds);
    const int minScore = MinScoreOption(a, kMin, kExactScore);
    const std::optional<std::string> out = a.Value(kOut.Name);
    TDocument doc = TPageSession::Read(page, a.Tags(), a.Units());
    const TLanguagePair languages =
        PageLanguages(doc, LanguageOption(a, kSourceLanguageOption), target);
    const std::unique_ptr<TMemory> memory = OpenMemory(a);
    const std::string& written = out.value_or(page);
    const TPretranslation result =
        Pretranslate(*memory, doc, languages, minScore, PageName(page), [&] { doc.Save(written); });
    // As save does: OUT is the page, pretranslated, even when no phrase took a match.
    if (result.Written == 0 && out) doc.Save(written);
    for (const auto& [phrase, error] : result.Refused)
        std::cerr << Say(TSaid::PhraseRefused, {page, std::to_string(phrase + 1), Describe(error)})
                  << '\n';
    std::string said = Say(TSaid::PhrasesWritten, {page, std::to_string(result.Written)}) +
                       Say(TSaid::BandsHeader);
    for (const TScoreBand& band : result.Bands)
        said += BandName(band) + '\t' + std::to_string(band.Phrases) + '\t' +
                std::to_string(band.Words) + '\n';
    Print(said);
    return 0;
}

const TRegistration kPretranslate{{
    .Name = "pretranslate",
    .Synopsis = "PAGE",
    .Options = kOptions,
    .Help = "Gives every phrase of PAGE with a match of the translation memory at or above\n"
            "--min its text, in one save, and keeps them in the memory. The source language\n"
            "is the page's lang, else --source-lang. Prints how many phrases were written,\n"
            "then per band of scores (101, 100, 95-99, 85-94, 75-84, none) how many phrases\n"
            "and words had their best match there, tab-separated.",
    .HelpGerman =
        "Gibt jeder Phrase von PAGE, f\xC3\xBCr die der \xC3\x9C"
        "bersetzungsspeicher einen Treffer ab\n"
        "--min hat, dessen Text, in einem Speichern, und beh\xC3\xA4lt sie im Speicher. Die\n"
        "Ausgangssprache ist das lang der Seite, sonst --source-lang. Nennt, wie viele\n"
        "Phrasen geschrieben wurden, dann je Band der Werte (101, 100, 95-99, 85-94,\n"
        "75-84, none), wie viele Phrasen und W\xC3\xB6rter dort ihren besten Treffer hatten,\n"
        "durch Tabulatoren getrennt.",
    .Run = Run,
}};

}  // namespace
}  // namespace quillfen::cli
