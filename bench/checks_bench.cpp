// The checks over 100,000 phrase pairs: the real pages' phrases, in runs and in sentences, each
// with a "translation" that keeps its numbers, addresses and marks and changes its letters, and
// every eighth one with a fault; once pair by pair, once over the whole set.

#include <benchmark/benchmark.h>

#include <string>
#include <utility>
#include <vector>

#include "checks/checks.h"
#include "core/document/document.h"
#include "session/findings.h"
#include "tests/support/files.h"

namespace {

using namespace quillfen;

constexpr std::size_t kPairs = 100000;

// Letters shifted outside tags and placeholders, the rest kept; some pairs with a number changed,
// a mark dropped, a blank doubled, a bracket lost or the source copied.
std::string Translated(const std::string& source, std::size_t k) {
    std::string target;
    bool inTag = false;
    for (const char c : source) {
        inTag = c == '<' || (inTag && c != '>');
        target += !inTag && ((c >= 'a' && c <= 'y') || (c >= 'A' && c <= 'Y')) ? char(c + 1) : c;
    }
    if (k % 8 != 0) return target;
    switch (k / 8 % 5) {
        case 0:
            if (const auto at = target.find_first_of("0123456789"); at != std::string::npos)
                target[at] = target[at] == '9' ? '0' : char(target[at] + 1);
            break;
        case 1:
            if (!target.empty()) target.pop_back();
            break;
        case 2:
            if (const auto at = target.find(' '); at != std::string::npos)
                target.replace(at, 1, 2, ' ');
            break;
        case 3:
            if (const auto at = target.rfind(')'); at != std::string::npos) target.erase(at, 1);
            break;
        default:
            target = source;
    }
    return target;
}

struct TPairs {
    std::vector<std::pair<std::string, std::string>> Runs, Sentences;
};

const TPairs& Pairs() {
    static const TPairs pairs = [] {
        TPairs p;
        for (const TUnits units : {TUnits::Runs, TUnits::Sentences}) {
            if (units == TUnits::Sentences && !SentencesAvailable()) break;
            std::vector<std::string> sources;
            for (const auto& page : testing::CorpusPages()) {
                TDocument doc;
                doc.LoadBytes(testing::ReadBytes(page), TTags::Default, units);
                for (std::size_t i = 0; i < doc.PhraseCount(); ++i)
                    sources.emplace_back(doc.Text(i));
            }
            auto& out = units == TUnits::Runs ? p.Runs : p.Sentences;
            for (std::size_t k = 0; k < kPairs; ++k) {
                const std::string& source = sources[k % sources.size()];
                out.emplace_back(source, Translated(source, k));
            }
        }
        return p;
    }();
    return pairs;
}

void BM_CheckPairs(benchmark::State& state) {
    const TUnits units = state.range(0) ? TUnits::Sentences : TUnits::Runs;
    const auto& pairs = units == TUnits::Runs ? Pairs().Runs : Pairs().Sentences;
    if (pairs.empty()) {
        state.SkipWithError("a build without sentences");
        return;
    }
    const TPairChecker checker({"en", "de", units, TCheckSelection::All()});
    std::vector<TFinding> findings;
    for (auto _ : state) {
        findings.clear();
        for (const auto& [source, target] : pairs) checker.Check(source, target, findings);
        benchmark::DoNotOptimize(findings.data());
    }
    state.counters["findings"] = double(findings.size());
    state.SetItemsProcessed(std::int64_t(state.iterations() * pairs.size()));
}
BENCHMARK(BM_CheckPairs)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_CheckSet(benchmark::State& state) {
    const auto& pairs = Pairs().Runs;
    std::vector<TCheckedPhrase> phrases;
    for (std::size_t k = 0; k < pairs.size(); ++k)
        phrases.push_back({pairs[k].first, pairs[k].second, k / 1000, k % 1000});
    std::vector<TFinding> findings;
    for (auto _ : state) {
        findings.clear();
        CheckSet(phrases, TCheckSelection::All(), findings);
        benchmark::DoNotOptimize(findings.data());
    }
    state.counters["findings"] = double(findings.size());
    state.SetItemsProcessed(std::int64_t(state.iterations() * phrases.size()));
}
BENCHMARK(BM_CheckSet)->Unit(benchmark::kMillisecond);

// What Enter costs the window's marks: a page of 20,000 phrases, half of them translated, one
// more phrase changed and the page's findings brought up to date (that phrase's pair checks and
// the checks over the changed phrases).
void BM_FindingsAfterEnter(benchmark::State& state) {
    const auto& pairs = Pairs().Runs;
    constexpr std::size_t kPhrases = 20000;
    std::string page = "<html><body>\n";
    for (std::size_t k = 0; k < kPhrases; ++k) {
        page += "<p>";
        for (const char c : pairs[k].first)
            page += c == '&' ? "&amp;" : c == '<' ? "&lt;" : std::string(1, c);
        page += "</p>\n";
    }
    TDocument doc;
    doc.LoadBytes(page + "</body></html>\n", TTags::Default);
    for (std::size_t i = 0; i < doc.PhraseCount(); i += 2)
        doc.SetPhraseText(i, Translated(std::string(doc.Text(i)), i));
    TPageFindings findings;
    // The source of a phrase changed in this session, as the page session gives it.
    const TPageFindings::TSourceOf sourceOf = [&doc](std::size_t i) -> std::optional<std::string> {
        if (!doc.IsChanged(i)) return std::nullopt;
        return doc.OriginalText(i);
    };
    // The phrases that may have a source, as the page session lists them: the changed ones.
    auto changed = [&doc] {
        std::vector<std::size_t> phrases;
        for (std::size_t k = 0; k < doc.ChangedCount(); ++k)
            phrases.push_back(doc.ChangedPhrase(k));
        return phrases;
    };
    findings.Update(doc, changed(), sourceOf, nullptr);
    std::size_t step = 0;
    for (auto _ : state) {
        const std::size_t i = (2 * step++ + 1) % doc.PhraseCount();
        doc.SetPhraseText(i, Translated(doc.OriginalText(i), step));
        benchmark::DoNotOptimize(findings.Update(doc, changed(), sourceOf, nullptr));
    }
    state.counters["marked"] = double(findings.Phrases().size());
}
BENCHMARK(BM_FindingsAfterEnter)->Unit(benchmark::kMillisecond);

}  // namespace
