#include "project/qa.h"

#include <algorithm>
#include <filesystem>

#include "checks/pages.h"
#include "core/document/document.h"
#include "project/state.h"
#include "session/pageset.h"

namespace quillfen::project {

namespace {

// One page's pairs and what the checks of each pair found in them.
struct TCheckedPage {
    std::vector<std::pair<std::string, std::string>> Pairs;
    std::vector<TFinding> Findings;
};

}  // namespace

TProjectFindings CheckProject(const TProject& project, const TProjectCheckOptions& options) {
    TProjectFindings result;
    // A project never updated has made no page; a check only reads, so it makes no state.
    std::error_code ec;
    if (!std::filesystem::exists(project.StatePath, ec)) return result;
    TState state(project.StatePath);
    std::vector<TPageRecord> records;
    for (auto& [path, record] : state.Pages(true)) {
        if (record.Orphaned) continue;
        result.Pages.push_back(path);
        records.push_back(std::move(record));
    }
    TCheckOptions checkOptions;
    checkOptions.SourceLanguage = project.Settings.SourceLanguage;
    checkOptions.TargetLanguage =
        options.TargetLanguage.empty() ? project.Settings.TargetLanguage : options.TargetLanguage;
    checkOptions.Units = project.Settings.Units;
    checkOptions.Checks = options.Checks;
    const TPairChecker checker(checkOptions);
    std::vector<TCheckedPage> pages(records.size());
    const std::vector<std::exception_ptr> failures = RunOnPages(records.size(), [&](std::size_t p) {
        const std::string& path = result.Pages[p];
        TDocument base, target;
        base.LoadBytes(records[p].Base, project.Settings.Tags, project.Settings.Units, {},
                       project.SourceDir + "/" + path);
        target.LoadFile(project.TargetDir + "/" + path, project.Settings.Tags,
                        project.Settings.Units);
        TCheckedPage& page = pages[p];
        page.Pairs = TranslatedPairs(base, target);
        for (std::size_t i = 0; i < page.Pairs.size(); ++i) {
            const std::size_t before = page.Findings.size();
            checker.Check(page.Pairs[i].first, page.Pairs[i].second, page.Findings);
            for (std::size_t k = before; k < page.Findings.size(); ++k) {
                page.Findings[k].Page = p;
                page.Findings[k].Phrase = i;
            }
        }
    });
    // A page that failed takes no part in the consistency of the others.
    std::vector<TCheckedPhrase> phrases;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        if (failures[p]) {
            result.Failures.emplace_back(result.Pages[p], failures[p]);
            continue;
        }
        for (std::size_t i = 0; i < pages[p].Pairs.size(); ++i)
            phrases.push_back({pages[p].Pairs[i].first, pages[p].Pairs[i].second, p, i});
        std::move(pages[p].Findings.begin(), pages[p].Findings.end(),
                  std::back_inserter(result.Findings));
    }
    CheckSet(phrases, options.Checks, result.Findings, result.Pages);
    std::stable_sort(result.Findings.begin(), result.Findings.end(),
                     [](const TFinding& a, const TFinding& b) {
                         return a.Page != b.Page ? a.Page < b.Page : a.Phrase < b.Phrase;
                     });
    if (options.WithDismissed) {
        for (const TFinding& f : result.Findings)
            result.Dismissed.push_back(state.IsDismissed(f.Key));
    } else {
        DropDismissed(result.Findings, state);
        result.Dismissed.assign(result.Findings.size(), false);
    }
    return result;
}

}  // namespace quillfen::project
