// quillfen-cli merge: a translation tool's file written into the page it was exported from.

#include <iostream>

#include "cli/command.h"
#include "cli/recording.h"
#include "session/pagesession.h"

namespace quillfen::cli {
namespace {

const TOption kOut{"-o", "OUT", "writes the merged page to OUT instead of PAGE"};
const TOption kForce{"--force", "",
                     "merges a file of another page, or of this one changed since: the units\n"
                     "whose phrases still read as their sources"};
const TOption kSkipBad{"--skip-bad", "", "leaves faulty units out and names them"};
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
        throw TUsageError{"merge takes a translation file (" + extensions + "), not " + path};
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
        std::cerr << page << ": and " << report.LeftOut - report.Problems.size()
                  << " more units left out\n";
    std::string said = page + ": " + std::to_string(report.Translated) + " translated, " +
                       std::to_string(report.Kept) + " kept";
    if (report.LeftOut != 0) said += ", " + std::to_string(report.LeftOut) + " left out";
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
    .Run = Run,
}};

}  // namespace
}  // namespace quillfen::cli
