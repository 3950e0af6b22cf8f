// quillfen-cli project: a site's pages translated as one project and carried over to the
// site's next release.

#include <cstdio>
#include <iostream>

#include "cli/command.h"
#include "cli/texts.h"
#include "exchange/formats.h"
#include "project/exchange.h"
#include "project/projectfile.h"
#include "project/update.h"

namespace quillfen::cli {
namespace {

using namespace quillfen::project;

const TOption kSource{"--source", "DIR", "new: the folder of the source pages",
                      "new: der Ordner der Ausgangsseiten"};
const TOption kTarget{"--target", "DIR", "new: the folder their translations go into",
                      "new: der Ordner, in den ihre \xC3\x9C"
                      "bersetzungen kommen"};
const TOption kSourceLanguage{"--source-lang", "L", "new: the language of the source pages",
                              "new: die Sprache der Ausgangsseiten"};
const TOption kTargetLanguage{"--target-lang", "L", "new: the language translated into",
                              "new: die Sprache, in die \xC3\xBC"
                              "bersetzt wird"};
const TOption kInclude{"--include", "GLOB",
                       "new: the pages (default *.html, *.htm, *.xhtml); a GLOB without '/'\n"
                       "takes file names in every folder",
                       "new: die Seiten (Vorgabe *.html, *.htm, *.xhtml); ein GLOB ohne '/'\n"
                       "nimmt Dateinamen in jedem Ordner",
                       true};
const TOption kExclude{"--exclude", "GLOB", "new: files neither translated nor copied",
                       "new: Dateien, die weder \xC3\xBC"
                       "bersetzt noch kopiert werden",
                       true};
const TOption kKeepLang{"--keep-lang", "", "new: leave the root's lang as the source has it",
                        "new: das lang der Wurzel so lassen, wie die Ausgangsseite es hat"};
const TOption kJson{"--json", "", "status: as JSON", "status: als JSON"};
const TOption kFormat{"--format", "NAME",
                      "export: po or xliff (one file per page; po if not given)",
                      "export: po oder xliff (eine Datei je Seite; po, wenn nicht angegeben)"};
const TOption kFolder{"-d", "DIR", "export: the folder the files are written into",
                      "export: der Ordner, in den die Dateien geschrieben werden"};
const TOption kUntranslated{"--untranslated-only", "", "export: only phrases not translated",
                            "export: nur Phrasen, die nicht \xC3\xBC"
                            "bersetzt sind"};
const TOption* const kOptions[] = {
    &kTagsOption, &kUnitsOption, &kSource, &kTarget, &kSourceLanguage, &kTargetLanguage, &kInclude,
    &kExclude,    &kKeepLang,    &kJson,   &kFormat, &kFolder,         &kUntranslated};

// A page's counts (or the total's), its name padded to 40 bytes.
std::string Line(std::string name, const TPageCounts& c) {
    if (name.size() < 40) name.resize(40, ' ');
    auto n = [](std::uint64_t v, std::size_t width) {
        std::string text = std::to_string(v);
        return std::string(text.size() < width ? width - text.size() : 0, ' ') + text;
    };
    return name + " " +
           Say(TSaid::ProjectCounts,
               {n(c.Phrases, 6), n(c.Words, 7), n(c.Translated, 0), n(c.TranslatedWords, 0),
                n(c.InContext, 0), n(c.Exact, 0), n(c.Fuzzy, 0), n(c.FuzzyWords, 0),
                n(c.Untranslated(), 0), n(c.UntranslatedWords(), 0)}) +
           "\n";
}

std::string OutcomeName(TPageOutcome o) {
    switch (o) {
        case TPageOutcome::Unchanged:
            return Say(TSaid::OutcomeUnchanged);
        case TPageOutcome::New:
            return Say(TSaid::OutcomeNew);
        case TPageOutcome::Rebuilt:
            return Say(TSaid::OutcomeUpdated);
        case TPageOutcome::Harvested:
            return Say(TSaid::OutcomeRecorded);
        case TPageOutcome::Finished:
            return Say(TSaid::OutcomeFinished);
        case TPageOutcome::Refused:
            return Say(TSaid::OutcomeRefused);
        case TPageOutcome::Failed:
            return Say(TSaid::OutcomeFailed);
        case TPageOutcome::Orphaned:
            return Say(TSaid::OutcomeOrphaned);
    }
    return "";
}

void Only(const TArguments& a, std::string_view sub,
          std::initializer_list<const TOption*> allowed) {
    for (const TOption* o : kOptions) {
        if (!a.Has(o->Name)) continue;
        bool ok = false;
        for (const TOption* x : allowed) ok = ok || x == o;
        if (!ok) throw UsageError(TSaid::ProjectTakesNo, {sub, o->Name});
    }
}

int New(const TArguments& a) {
    Only(a, "new",
         {&kTagsOption, &kUnitsOption, &kSource, &kTarget, &kSourceLanguage, &kTargetLanguage,
          &kInclude, &kExclude, &kKeepLang});
    TProjectSettings s;
    const auto source = a.Value(kSource.Name), target = a.Value(kTarget.Name);
    s.SourceLanguage = LanguageOption(a, kSourceLanguage);
    s.TargetLanguage = LanguageOption(a, kTargetLanguage);
    if (!source || !target || s.SourceLanguage.empty() || s.TargetLanguage.empty())
        throw UsageError(TSaid::ProjectNewTakes);
    s.Source = *source;
    s.Target = *target;
    s.Tags = a.Tags();
    s.Units = a.Units();
    s.Include = a.Values(kInclude.Name);
    s.Exclude = a.Values(kExclude.Name);
    s.KeepLang = a.Has(kKeepLang.Name);
    CreateProject(a.Operands[1], s);
    return 0;
}

int Update(const TArguments& a) {
    Only(a, "update", {});
    const TUpdateReport report = UpdateProject(OpenProject(a.Operands[1]));
    std::string out;
    for (const TPageUpdate& p : report.Pages) {
        if (p.Error) {
            try {
                std::rethrow_exception(p.Error);
            } catch (const std::exception& e) {
                std::cerr << p.Path << ": " << OutcomeName(p.Outcome) << ": " << Describe(e)
                          << '\n';
            }
            continue;
        }
        out += Line(p.Path + " (" + OutcomeName(p.Outcome) + ")", p.Counts);
    }
    for (const auto& [file, error] : report.FileFailures) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            std::cerr << file << ": " << Describe(e) << '\n';
        }
    }
    out += Line(Say(TSaid::ProjectTotal), report.Total);
    out += Say(TSaid::ProjectFilesCopied, {std::to_string(report.FilesCopied)});
    Print(out);
    return report.Failed() ? 1 : 0;
}

int Status(const TArguments& a) {
    Only(a, "status", {&kJson});
    const TProjectStatus status = ProjectStatus(OpenProject(a.Operands[1]));
    if (a.Has(kJson.Name)) {
        Print(StatusJson(status));
        return 0;
    }
    std::string out;
    for (const TPageStatus& p : status.Pages)
        out += Line(p.Path + (p.Orphaned        ? Say(TSaid::ProjectOrphaned)
                              : p.SourceChanged ? Say(TSaid::ProjectSourceChanged)
                                                : std::string()),
                    p.Counts);
    out += Line(Say(TSaid::ProjectTotal), status.Total);
    const std::string names[] = {"101",   "100",   "95-99",
                                 "85-94", "75-84", Say(TSaid::ProjectNoMatch)};
    out += Say(TSaid::ProjectBands);
    for (std::size_t b = 0; b < 6; ++b)
        out += " " + names[b] + " " + std::to_string(status.Total.Bands[b]);
    out += "\n";
    Print(out);
    return 0;
}

int Export(const TArguments& a) {
    Only(a, "export", {&kFormat, &kFolder, &kUntranslated});
    const auto folder = a.Value(kFolder.Name);
    if (!folder) throw UsageError(TSaid::ProjectExportTakes);
    const auto name = a.Value(kFormat.Name);
    TProjectFormat format = TProjectFormat::Po;
    if (name && *name == "xliff" && FindExchangeFormat("xliff"))
        format = TProjectFormat::Xliff;
    else if (name && *name != "po")
        throw UsageError(TSaid::ProjectExportWrites);
    for (const std::string& f :
         ExportProject(OpenProject(a.Operands[1]), *folder, a.Has(kUntranslated.Name), format))
        Print(f + "\n");
    return 0;
}

int Merge(const TArguments& a) {
    Only(a, "merge", {});
    if (a.Operands.size() < 3) throw UsageError(TSaid::ProjectMergeTakes);
    const TProject project = OpenProject(a.Operands[1]);
    int status = 0;
    for (std::size_t i = 2; i < a.Operands.size(); ++i) {
        try {
            const TProjectMerge m = MergeIntoProject(project, a.Operands[i]);
            Print(Say(TSaid::ProjectMerged,
                      {a.Operands[i], m.Page, std::to_string(m.Report.Translated),
                       std::to_string(m.Report.LeftOut)}));
            for (const TError& problem : m.Report.Problems)
                std::cerr << a.Operands[i] << ": " << Describe(problem) << '\n';
        } catch (const TError& e) {
            std::cerr << a.Operands[i] << ": " << Describe(e) << '\n';
            status = 1;
        }
    }
    return status;
}

int Run(const TArguments& a) {
    const std::string& sub = a.Operands[0];
    if (sub == "new" && a.Operands.size() == 2) return New(a);
    if (sub == "update" && a.Operands.size() == 2) return Update(a);
    if (sub == "status" && a.Operands.size() == 2) return Status(a);
    if (sub == "export" && a.Operands.size() == 2) return Export(a);
    if (sub == "merge") return Merge(a);
    throw UsageError(TSaid::ProjectTakes);
}

const TRegistration kProject{{
    .Name = "project",
    .Synopsis = "new|update|status|export PROJECT, merge PROJECT FILE...",
    .MinOperands = 2,
    .MaxOperands = SIZE_MAX,
    .Options = kOptions,
    .Help = "A site's pages translated as one project (the README gives the file's form).\n"
            "new makes the project file; update brings the target folder up to date with the\n"
            "source (unchanged phrases carried, fuzzy matches kept as drafts; exit 1 when a\n"
            "page was refused); status shows the progress; export writes a PO or XLIFF file\n"
            "per page; merge takes such files back (drafts still fuzzy or to be reviewed are\n"
            "left out).",
    .HelpGerman =
        "Die Seiten einer Website, als ein Projekt \xC3\xBC"
        "bersetzt (die Form der Datei steht im\n"
        "README). new legt die Projektdatei an; update bringt den Zielordner auf den Stand\n"
        "der Ausgangsseiten (unver\xC3\xA4nderte Phrasen \xC3\xBC"
        "bernommen, unscharfe Treffer als\n"
        "Entw\xC3\xBCrfe behalten; Exit-Status 1, wenn eine Seite abgelehnt wurde); status zeigt\n"
        "den Fortschritt; export schreibt eine PO- oder XLIFF-Datei je Seite; merge nimmt\n"
        "solche Dateien zur\xC3\xBC"
        "ck (Entw\xC3\xBCrfe, die noch unscharf sind oder gepr\xC3\xBC"
        "ft werden m\xC3\xBCssen, bleiben drau\xC3\x9F"
        "en).",
    .Run = Run,
    .ErrorsNameFirstOperand = false,
}};

}  // namespace
}  // namespace quillfen::cli
