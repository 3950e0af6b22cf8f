// quillfen-cli qa: the checks of a translated page against its source, one line per finding.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>

#include "checks/pages.h"
#include "cli/command.h"
#include "cli/texts.h"
#include "core/text/utf8.h"
#include "session/pagesession.h"
#ifdef QUILLFEN_DISMISSALS
#include "memory/memory.h"
#include "store/dismissals.h"
#endif
#ifdef QUILLFEN_PROJECTS
#include "project/qa.h"
#include "project/state.h"
#endif

namespace quillfen::cli {
namespace {

const TOption kTargetLanguage{"--target-lang", "L",
                              "the translation's language, whose numbers and punctuation are\n"
                              "expected (default: those of any language)",
                              "die Sprache der \xC3\x9C"
                              "bersetzung, deren Zahlen und Satzzeichen erwartet\n"
                              "werden (Vorgabe: die jeder Sprache)"};
const TOption kChecks{"--checks", "LIST",
                      "the checks to run, their ids separated by commas (default: all)",
                      "die Pr\xC3\xBC"
                      "fungen, die laufen, ihre Kennungen durch Kommas getrennt (Vorgabe: alle)"};
const TOption kFormat{"--format", "json",
                      "one JSON array of the findings, each with page, phrase, check,\n"
                      "severity, text, key and whether it is dismissed",
                      "ein JSON-Array der Befunde, jeder mit page, phrase, check, severity,\n"
                      "text, key und ob er verworfen ist (dismissed)"};
const TOption kAll{"--all", "", "lists dismissed findings too", "nennt auch verworfene Befunde"};
#ifdef QUILLFEN_DISMISSALS
const TOption kDismiss{
    "--dismiss", "KEY",
    "keeps the finding whose key (as --format json gives it) is KEY\n"
    "dismissed, in the project's state with --project, else in the user's\n"
    "memory, and then checks",
    "h\xC3\xA4lt den Befund mit dem Schl\xC3\xBCssel KEY (wie --format json ihn "
    "gibt)\nf\xC3\xBCr verworfen, mit --project im Zustand des Projekts, sonst im\n"
    "Speicher des Benutzers, und pr\xC3\xBC"
    "ft dann",
    true};
#endif
#ifdef QUILLFEN_PROJECTS
const TOption kProject{"--project", "PROJECT",
                       "checks every page of the project instead, each against the page it was\n"
                       "made from, and the translations' consistency over all pages",
                       "pr\xC3\xBC"
                       "ft stattdessen jede Seite des Projekts, jede gegen die Seite, aus der\n"
                       "sie gemacht wurde, und die Einheitlichkeit der \xC3\x9C"
                       "bersetzungen \xC3\xBC"
                       "ber alle Seiten"};
#endif
const std::vector<const TOption*> kOptions = [] {
    std::vector<const TOption*> options = {&kTagsOption, &kUnitsOption, &kTargetLanguage,
                                           &kChecks,     &kFormat,      &kAll};
#ifdef QUILLFEN_DISMISSALS
    options.push_back(&kDismiss);
#endif
#ifdef QUILLFEN_PROJECTS
    options.push_back(&kProject);
#endif
    return options;
}();

// A JSON string of text; a byte that is no UTF-8 becomes U+FFFD, since JSON holds only
// characters.
void AppendJson(std::string& out, std::string_view text) {
    out += '"';
    SplitUtf8(
        text,
        [&](std::string_view run) {
            for (const char ch : run) {
                const auto c = static_cast<unsigned char>(ch);
                if (c == '"' || c == '\\') {
                    out += '\\';
                    out += ch;
                } else if (c < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", c);
                    out += escape;
                } else {
                    out += ch;
                }
            }
        },
        [&](unsigned char) { out += "\xEF\xBF\xBD"; });
    out += '"';
}

// The dismissals made in the window for single pages, kept in the user's memory. A memory not
// yet made holds none, and is not made by a command that only reads.
class TUserDismissals {
  public:
    TUserDismissals() {
#ifdef QUILLFEN_DISMISSALS
        const std::string path = TMemory::DefaultPath();
        if (!std::filesystem::exists(path)) return;
        memory_ = std::make_unique<TMemory>(path);
        dismissals_ = std::make_unique<TStoredDismissals>(memory_->Database());
#endif
    }
    bool IsDismissed(const TFinding& finding) const {
#ifdef QUILLFEN_DISMISSALS
        return dismissals_ && dismissals_->IsDismissed(finding.Key);
#else
        (void)finding;
        return false;
#endif
    }

  private:
#ifdef QUILLFEN_DISMISSALS
    std::unique_ptr<TMemory> memory_;
    std::unique_ptr<TStoredDismissals> dismissals_;
#endif
};

#ifdef QUILLFEN_DISMISSALS
// The keys --dismiss gives, each a check's id, ':' and 16 hex digits; a usage error for another
// text, so that a key mistyped is not kept in silence.
std::vector<std::string> KeysToDismiss(const TArguments& a) {
    std::vector<std::string> keys = a.Values(kDismiss.Name);
    for (const std::string& key : keys) {
        const std::size_t colon = key.find(':');
        const bool hex =
            colon != std::string::npos && key.size() == colon + 17 &&
            std::all_of(key.begin() + std::ptrdiff_t(colon) + 1, key.end(),
                        [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
        if (!hex || !FindCheck(std::string_view(key).substr(0, colon)))
            throw UsageError(TSaid::DismissTakes, {key});
    }
    return keys;
}
#endif

// A finding as the command tells it: on the page named, dismissed or not.
struct TRow {
    const std::string& Page;
    const TFinding& Finding;
    bool Dismissed;
};

// The rows as lines or JSON; 1 when an error is among those not dismissed.
int Tell(const std::vector<TRow>& rows, bool json, bool german) {
    std::string out = json ? "[" : "";
    bool errors = false, first = true;
    for (const TRow& row : rows) {
        const TFinding& f = row.Finding;
        errors = errors || (!row.Dismissed && f.Severity == TSeverity::Error);
        const std::string_view check = CheckInfo(f.Check).Id;
        const char* severity = f.Severity == TSeverity::Error ? "error" : "warning";
        if (json) {
            out += first ? "\n" : ",\n";
            out += "  {\"page\": ";
            AppendJson(out, row.Page);
            out += ", \"phrase\": " + std::to_string(f.Phrase + 1) + ", \"check\": ";
            AppendJson(out, check);
            out += ", \"severity\": ";
            AppendJson(out, severity);
            out += ", \"text\": ";
            AppendJson(out, f.Text(german));
            out += ", \"key\": ";
            AppendJson(out, f.Key);
            out += row.Dismissed ? ", \"dismissed\": true}" : ", \"dismissed\": false}";
        } else {
            AppendEscaped(out, row.Page);
            out.append("\t").append(std::to_string(f.Phrase + 1)).append("\t");
            out.append(check).append("\t").append(severity).append("\t");
            AppendEscaped(out, f.Text(german));
            out += '\n';
        }
        first = false;
    }
    if (json) out += first ? "]\n" : "\n]\n";
    Print(out);
    return errors ? 1 : 0;
}

#ifdef QUILLFEN_PROJECTS
// The project's pages; a page that could not be checked is told on standard error and fails
// the command, after the findings of the others.
int RunProject(const TArguments& a, const std::string& file, TCheckOptions options, bool json) {
    if (!a.Operands.empty()) throw UsageError(TSaid::QaProjectTakesNoPages);
    for (const TOption* o : {&kTagsOption, &kUnitsOption})
        if (a.Has(o->Name)) throw UsageError(TSaid::QaProjectTakesNo, {o->Name});
#ifdef QUILLFEN_DISMISSALS
    if (const std::vector<std::string> keys = KeysToDismiss(a); !keys.empty())
        project::TState(project::OpenProject(file).StatePath).Dismiss(keys);
#endif
    project::TProjectCheckOptions projectOptions;
    projectOptions.Checks = options.Checks;
    projectOptions.TargetLanguage = options.TargetLanguage;
    projectOptions.WithDismissed = a.Has(kAll.Name);
    const project::TProjectFindings found =
        project::CheckProject(project::OpenProject(file), projectOptions);
    std::vector<TRow> rows;
    for (std::size_t i = 0; i < found.Findings.size(); ++i)
        rows.push_back(
            {found.Pages[found.Findings[i].Page], found.Findings[i], found.Dismissed[i]});
    int status = Tell(rows, json, SpeaksGerman());
    for (const auto& [page, failure] : found.Failures) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& e) {
            std::cerr << page << ": " << Describe(e) << '\n';
        }
        status = 1;
    }
    return status;
}
#endif

int Run(const TArguments& a) {
    const std::optional<std::string> format = a.Value(kFormat.Name);
    if (format && *format != "json") throw UsageError(TSaid::QaFormatTakes);
    TCheckOptions options;
    options.TargetLanguage = LanguageOption(a, kTargetLanguage);
    if (const std::optional<std::string> list = a.Value(kChecks.Name))
        options.Checks = ParseCheckList(*list);
#ifdef QUILLFEN_PROJECTS
    if (const std::optional<std::string> project = a.Value(kProject.Name))
        return RunProject(a, *project, options, format.has_value());
#endif
    if (a.Operands.size() != 2) throw UsageError(TSaid::QaTakes);
#ifdef QUILLFEN_DISMISSALS
    if (const std::vector<std::string> keys = KeysToDismiss(a); !keys.empty())
        TStoredDismissals(TMemory::OpenDefault()->Database()).Dismiss(keys);
#endif
    const TDocument source = TPageSession::Read(a.Operands[0], a.Tags(), a.Units());
    const TDocument translated = TPageSession::Read(a.Operands[1], a.Tags(), a.Units());
    const std::vector<TFinding> findings = CheckPages(source, translated, options);
    const TUserDismissals dismissals;
    const bool all = a.Has(kAll.Name);
    std::vector<TRow> rows;
    for (const TFinding& f : findings) {
        const bool dismissed = dismissals.IsDismissed(f);
        if (!dismissed || all) rows.push_back({a.Operands[1], f, dismissed});
    }
    return Tell(rows, format.has_value(), SpeaksGerman());
}

const TRegistration kQa{{
    .Name = "qa",
    .Synopsis = "SOURCE TRANSLATED",
    // Or none with --project.
    .MinOperands = 0,
    .MaxOperands = 2,
    .Options = kOptions,
    .Help = "Checks TRANSLATED, a copy of the page SOURCE whose phrases were translated, against\n"
            "it: one line per finding, tab-separated: page, phrase number (from 1), check,\n"
            "error or warning, and what was found. Findings dismissed in the window are left\n"
            "out. Exit status 1 when an error was found, else 0 (warnings only). With\n"
            "--project, every page of the project, named relative to its target folder;\n"
            "findings dismissed in the project are left out.",
    .HelpGerman =
        "Pr\xC3\xBC"
        "ft TRANSLATED, eine Kopie der Seite SOURCE mit \xC3\xBC"
        "bersetzten Phrasen, gegen\n"
        "sie: eine Zeile je Befund, durch Tabulatoren getrennt: Seite, Nummer der Phrase\n"
        "(ab 1), Pr\xC3\xBC"
        "fung, error oder warning und was gefunden wurde. Im Fenster verworfene\n"
        "Befunde bleiben weg. Exit-Status 1, wenn ein Fehler gefunden wurde, sonst 0 (nur\n"
        "Warnungen). Mit --project jede Seite des Projekts, relativ zu seinem Zielordner\n"
        "genannt; im Projekt verworfene Befunde bleiben weg.",
    .Run = Run,
}};

}  // namespace
}  // namespace quillfen::cli
