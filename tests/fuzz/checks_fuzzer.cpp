// The checks on any pair of texts, in runs and in sentences, under languages of every convention
// they know: no crash, a finding's key names its check and both texts, and a text checked
// against itself in one language is found only unchanged, whatever it holds (a source that
// breaks its own rules included), in a language whose rules of punctuation it cannot break
// (French and Spanish ones it may). The texts, one a line, are also checked as one set, each
// against the line after it.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "checks/checks.h"
#include "tests/fuzz/check.h"

using namespace quillfen;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    static const char* const kLanguages[] = {"",   "en", "de",    "fr", "fr-CA", "es", "el",
                                             "th", "ja", "de-CH", "ar", "ru",    "xx"};
    const auto language = [&] {
        return kLanguages[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kLanguages) - 1)];
    };
    TCheckOptions options;
    options.SourceLanguage = language();
    options.TargetLanguage = language();
    options.Units = in.ConsumeBool() ? TUnits::Sentences : TUnits::Runs;
    const std::string source = in.ConsumeRandomLengthString(8192);
    const std::string target = in.ConsumeRemainingBytesAsString();
    const TPairChecker checker(options);

    for (const TFinding& f : checker.Check(source, target)) {
        QF_CHECK(!f.English.empty() && !f.German.empty(), std::string(CheckInfo(f.Check).Id));
        QF_CHECK(f.Key == DismissalKey(f.Check, source, target), f.Key);
        QF_CHECK(f.Severity == CheckInfo(f.Check).Severity);
    }
    TCheckOptions same = options;
    same.TargetLanguage = same.SourceLanguage;
    if (same.SourceLanguage.starts_with("fr") || same.SourceLanguage == "es")
        same.SourceLanguage = same.TargetLanguage = "de";
    const TPairChecker itself(same);
    for (const std::string* text : {&source, &target})
        for (const TFinding& f : itself.Check(*text, *text))
            QF_CHECK(f.Check == TCheck::Unchanged, "itself: " + f.English);

    std::vector<std::string> lines;
    for (std::size_t from = 0; from <= target.size();) {
        std::size_t end = target.find('\n', from);
        if (end == std::string::npos) end = target.size();
        lines.push_back(target.substr(from, end - from));
        from = end + 1;
    }
    std::vector<TCheckedPhrase> set;
    for (std::size_t k = 0; k + 1 < lines.size(); ++k)
        set.push_back({lines[k], lines[k + 1], k % 2, k});
    std::vector<TFinding> findings;
    const std::vector<std::string> pages = {"a", "b"};
    CheckSet(set, TCheckSelection::All(), findings, pages);
    for (const TFinding& f : findings) {
        QF_CHECK(CheckInfo(f.Check).OverSet && f.Phrase < set.size());
        QF_CHECK(f.Key == DismissalKey(f.Check, set[f.Phrase].Source, set[f.Phrase].Target));
    }
    return 0;
}
