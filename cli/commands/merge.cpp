// quillfen-cli merge: a translation tool's file written into the page it was exported from.

#include <iostream>

#include "cli/command.h"
#include "cli/recording.h"
#include "cli/texts.h"
#include "session/pagesession.h"

namespace quillfen::cli {
namespace {

const TOption kOut{"-o", "OUT", "writes the merged page to OUT instead of PAGE",
                   "schreibt die Seite mit den \xC3\x9C"
                   "bersetzungen nach OUT statt nach PAGE"};
const TOption kForce{
    "--force", "",
    "merges a file of another page, or of this one changed since: the units\n"
    "whose phrases still read as their sources",
    "f\xC3\xBCgt die Datei einer anderen Seite ein, oder dieser, seither ge\xC3\xA4ndert: die\n"
    "Einheiten, deren Phrasen noch wie ihr Ausgangstext lauten"};
const TOption kSkipBad{"--skip-bad", "", "leaves faulty units out and names them",
                       "l\xC3\xA4sst fehlerhafte Einheiten aus und nennt sie"};
const std::vector<const TOption*> kOptions =
    WithRecordingOptions({&kTagsOption, &kUnitsOption, &kOut, &kForce, &kSkipBad});

int Run(const TArguments& a) {
    const std::string& page = a.Operands[0];
    const std::string& path = a.Operands[1];
    const TExchangeFormat* format = FindTranslationFormat(path);
    if (!format) {
        std::string extensions;
        for (const TExchangeFormat* f : ExchangeFormats())
            if (const std::string e = TranslationExtension(*f); !e.empty())
                extensions.append(extensions.empty() ? "" : ", ").append(e);
        throw UsageError(TSaid::MergeTakes, {extensions, path});
    }
    TPageSession session;
    TPluggedSources sources(session, false);
    session.Open(page, a.Tags(), a.Units());
    sources.TellFailure();
    const std::optional<std::string> out = a.Value(kOut.Name);
    if (out) session.SetOutput(*out);
    TRecording recording(a, session);
    TMergeOptions options;
    options.Force = a.Has(kForce.Name);
    options.SkipBad = a.Has(kSkipBad.Name);
    const TMergeReport report = session.Merge(session.PlanMerge(path, format), options);
    sources.TellFailure();
    // As save does: OUT is the page, merged, even when nothing in it changed.
    if (session.Writes() == 0 && out) session.Write();
    for (const TError& problem : report.Problems)
        std::cerr << page << ": " << Describe(problem) << '\n';
    if (report.LeftOut > report.Problems.size())
        std::cerr << Say(TSaid::MergeMoreLeftOut,
                         {page, std::to_string(report.LeftOut - report.Problems.size())})
                  << '\n';
    std::string said = Say(TSaid::MergeReport,
                           {page, std::to_string(report.Translated), std::to_string(report.Kept)});
    if (report.LeftOut != 0) said += Say(TSaid::LeftOut, {std::to_string(report.LeftOut)});
    Print(said + '\n');
    return recording.Finish(page);
}

const TRegistration kMerge{{
    .Name = "merge",
    .Synopsis = "PAGE FILE",
    .MinOperands = 2,
    .MaxOperands = 2,
    .Options = kOptions,
    .Help = "Writes the translated units of FILE (a translation tool's format, known by its\n"
            "extension) into PAGE; untranslated and fuzzy units keep their bytes. The page is\n"
            "read with the kinds and units the file was exported with. Every unit is checked\n"
            "against its phrase; a faulty unit stops the merge and nothing is written. Given\n"
            "--target-lang, the translations written are kept in the translation memory, as\n"
            "save keeps them; without it nothing is kept.",
    .HelpGerman =
        "Schreibt die \xC3\xBC"
        "bersetzten Einheiten von FILE (Format eines \xC3\x9C"
        "bersetzungswerkzeugs,\n"
        "an der Endung erkannt) in PAGE; un\xC3\xBC"
        "bersetzte und unscharfe Einheiten behalten\n"
        "ihre Bytes. Die Seite wird mit den Arten und Einheiten gelesen, mit denen die\n"
        "Datei exportiert wurde. Jede Einheit wird gegen ihre Phrase gepr\xC3\xBC"
        "ft; eine\n"
        "fehlerhafte Einheit h\xC3\xA4lt das Einf\xC3\xBCgen an, und nichts wird geschrieben. Mit\n"
        "--target-lang kommen die geschriebenen \xC3\x9C"
        "bersetzungen in den \xC3\x9C"
        "bersetzungsspeicher,\n"
        "wie bei save; ohne es wird nichts behalten.",
    .Run = Run,
}};

}  // namespace
}  // namespace quillfen::cli
