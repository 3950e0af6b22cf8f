// quillfen-cli project: a site's pages translated as one project and carried over to the
// site's next release.

#include <cstdio>
#include <iostream>

#include "cli/command.h"
#include "exchange/formats.h"
#include "project/exchange.h"
#include "project/projectfile.h"
#include "project/update.h"

namespace quillfen::cli {
namespace {

using namespace quillfen::project;

const TOption kSource{"--source", "DIR", "new: the folder of the source pages"};
const TOption kTarget{"--target", "DIR", "new: the folder their translations go into"};
const TOption kSourceLanguage{"--source-lang", "L", "new: the language of the source pages"};
const TOption kTargetLanguage{"--target-lang", "L", "new: the language translated into"};
const TOption kInclude{"--include", "GLOB",
                       "new: the pages (default *.html, *.htm, *.xhtml); a GLOB without '/'\n"
                       "takes file names in every folder",
                       true};
const TOption kExclude{"--exclude", "GLOB", "new: files neither translated nor copied", true};
const TOption kKeepLang{"--keep-lang", "", "new: leave the root's lang as the source has it"};
const TOption kJson{"--json", "", "status: as JSON"};
const TOption kFormat{"--format", "NAME",
                      "export: po or xliff (one file per page; po if not given)"};
const TOption kFolder{"-d", "DIR", "export: the folder the files are written into"};
const TOption kUntranslated{"--untranslated-only", "", "export: only phrases not translated"};
const TOption* const kOptions[] = {
    &kTagsOption, &kUnitsOption, &kSource, &kTarget, &kSourceLanguage, &kTargetLanguage, &kInclude,
    &kExclude,    &kKeepLang,    &kJson,   &kFormat, &kFolder,         &kUntranslated};

std::string Line(std::string_view name, const TPageCounts& c) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "%-40s %6llu phrases %7llu words: translated %llu (%llu words), in context "
                  "%llu, exact %llu, fuzzy drafts %llu (%llu words), untranslated %llu (%llu "
                  "words)\n",
                  std::string(name).c_str(), (unsigned long long)c.Phrases,
                  (unsigned long long)c.Words, (unsigned long long)c.Translated,
                  (unsigned long long)c.TranslatedWords, (unsigned long long)c.InContext,
                  (unsigned long long)c.Exact, (unsigned long long)c.Fuzzy,
                  (unsigned long long)c.FuzzyWords, (unsigned long long)c.Untranslated(),
                  (unsigned long long)c.UntranslatedWords());
    return text;
}

std::string_view OutcomeName(TPageOutcome o) {
    switch (o) {
        case TPageOutcome::Unchanged:
            return "unchanged";
        case TPageOutcome::New:
            return "new";
        case TPageOutcome::Rebuilt:
            return "updated";
        case TPageOutcome::Harvested:
            return "recorded";
        case TPageOutcome::Finished:
            return "finished";
        case TPageOutcome::Refused:
            return "refused";
        case TPageOutcome::Failed:
            return "failed";
        case TPageOutcome::Orphaned:
            return "orphaned";
    }
    return "";
}

void Only(const TArguments& a, std::string_view sub,
          std::initializer_list<const TOption*> allowed) {
    for (const TOption* o : kOptions) {
        if (!a.Has(o->Name)) continue;
        bool ok = false;
        for (const TOption* x : allowed) ok = ok || x == o;
        if (!ok)
            throw TUsageError{"project " + std::string(sub) + " takes no " + std::string(o->Name)};
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
        throw TUsageError{"project new takes --source, --target, --source-lang and --target-lang"};
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
        out +=
            Line(std::string(p.Path) + " (" + std::string(OutcomeName(p.Outcome)) + ")", p.Counts);
    }
    for (const auto& [file, error] : report.FileFailures) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            std::cerr << file << ": " << Describe(e) << '\n';
        }
    }
    out += Line("total", report.Total);
    out += std::to_string(report.FilesCopied) + " other files copied\n";
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
        out += Line(p.Path + (p.Orphaned        ? " (orphaned)"
                              : p.SourceChanged ? " (source changed)"
                                                : ""),
                    p.Counts);
    out += Line("total", status.Total);
    const char* names[] = {"101", "100", "95-99", "85-94", "75-84", "none"};
    out += "untranslated words by match:";
    for (std::size_t b = 0; b < 6; ++b)
        out += std::string(" ") + names[b] + " " + std::to_string(status.Total.Bands[b]);
    out += "\n";
    Print(out);
    return 0;
}

int Export(const TArguments& a) {
    Only(a, "export", {&kFormat, &kFolder, &kUntranslated});
    const auto folder = a.Value(kFolder.Name);
    if (!folder) throw TUsageError{"project export takes -d DIR"};
    const auto name = a.Value(kFormat.Name);
    TProjectFormat format = TProjectFormat::Po;
    if (name && *name == "xliff" && FindExchangeFormat("xliff"))
        format = TProjectFormat::Xliff;
    else if (name && *name != "po")
        throw TUsageError{FindExchangeFormat("xliff") ? "project export writes --format po or xliff"
                                                      : "project export writes --format po"};
    for (const std::string& f :
         ExportProject(OpenProject(a.Operands[1]), *folder, a.Has(kUntranslated.Name), format))
        Print(f + "\n");
    return 0;
}

int Merge(const TArguments& a) {
    Only(a, "merge", {});
    if (a.Operands.size() < 3) throw TUsageError{"project merge takes PROJECT FILE..."};
    const TProject project = OpenProject(a.Operands[1]);
    int status = 0;
    for (std::size_t i = 2; i < a.Operands.size(); ++i) {
        try {
            const TProjectMerge m = MergeIntoProject(project, a.Operands[i]);
            Print(a.Operands[i] + ": " + m.Page + ": " + std::to_string(m.Report.Translated) +
                  " translated, " + std::to_string(m.Report.LeftOut) + " left out\n");
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
    throw TUsageError{
        "project takes new, update, status or export with PROJECT, or merge "
        "PROJECT FILE..."};
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
    .Run = Run,
    .ErrorsNameFirstOperand = false,
}};

}  // namespace
}  // namespace quillfen::cli
