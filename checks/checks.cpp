#include "checks/checks.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "checks/languages.h"
#include "checks/pair.h"
#include "core/errors.h"
#include "core/files/filestamp.h"

namespace quillfen {

namespace {

constexpr std::array<TCheckInfo, kCheckCount> kChecks = {{
    {TCheck::Placeholders, "placeholders", TSeverity::Error, false},
    {TCheck::Numbers, "numbers", TSeverity::Error, false},
    {TCheck::Urls, "urls", TSeverity::Error, false},
    {TCheck::Untranslated, "untranslated", TSeverity::Error, false},
    {TCheck::PlaceholderSpacing, "placeholder-spacing", TSeverity::Warning, false},
    {TCheck::DoubleSpace, "double-space", TSeverity::Warning, false},
    {TCheck::EndPunctuation, "end-punctuation", TSeverity::Warning, false},
    {TCheck::Brackets, "brackets", TSeverity::Warning, false},
    {TCheck::RepeatedWord, "repeated-word", TSeverity::Warning, false},
    {TCheck::Unchanged, "unchanged", TSeverity::Warning, false},
    {TCheck::Length, "length", TSeverity::Warning, false},
    {TCheck::InconsistentSource, "inconsistent-source", TSeverity::Warning, true},
    {TCheck::InconsistentTarget, "inconsistent-target", TSeverity::Warning, true},
}};

using TPairCheck = void (*)(const checks::TPair&, checks::TTexts&);

// The checks of a pair, in TCheck's order; Untranslated is the driver's own.
constexpr std::array<std::pair<TCheck, TPairCheck>, 10> kPairChecks = {{
    {TCheck::Placeholders, checks::CheckPlaceholders},
    {TCheck::Numbers, checks::CheckNumbers},
    {TCheck::Urls, checks::CheckAddresses},
    {TCheck::PlaceholderSpacing, checks::CheckPlaceholderSpacing},
    {TCheck::DoubleSpace, checks::CheckDoubleSpace},
    {TCheck::EndPunctuation, checks::CheckEndPunctuation},
    {TCheck::Brackets, checks::CheckBrackets},
    {TCheck::RepeatedWord, checks::CheckRepeatedWord},
    {TCheck::Unchanged, checks::CheckUnchanged},
    {TCheck::Length, checks::CheckLength},
}};

bool IsEmpty(const checks::TReading& r) {
    return r.Marks.empty() && std::all_of(r.Chars.begin(), r.Chars.end(), checks::IsBlank);
}

void Add(TCheck check, checks::TTexts& texts, std::string_view source, std::string_view target,
         std::vector<TFinding>& findings) {
    if (texts.empty()) return;
    const std::string key = DismissalKey(check, source, target);
    for (checks::TText& text : texts) {
        TFinding f;
        f.Check = check;
        f.Severity = CheckInfo(check).Severity;
        f.German = std::move(text.German);
        f.English = std::move(text.English);
        f.Key = key;
        findings.push_back(std::move(f));
    }
    texts.clear();
}

}  // namespace

std::span<const TCheckInfo> Checks() { return kChecks; }

const TCheckInfo& CheckInfo(TCheck check) { return kChecks[std::size_t(check)]; }

std::optional<TCheck> FindCheck(std::string_view id) {
    for (const TCheckInfo& info : kChecks)
        if (info.Id == id) return info.Check;
    return std::nullopt;
}

TCheckSelection TCheckSelection::All() {
    TCheckSelection all;
    all.bits_.set();
    return all;
}

TCheckSelection ParseCheckList(std::string_view list) {
    TCheckSelection selection;
    std::size_t from = 0;
    while (from <= list.size()) {
        std::size_t end = list.find(',', from);
        if (end == std::string_view::npos) end = list.size();
        std::string_view id = list.substr(from, end - from);
        while (!id.empty() && (id.front() == ' ' || id.front() == '\t')) id.remove_prefix(1);
        while (!id.empty() && (id.back() == ' ' || id.back() == '\t')) id.remove_suffix(1);
        const std::optional<TCheck> check = FindCheck(id);
        if (!check) throw UnknownCheckError(std::string(id));
        selection.Add(*check);
        from = end + 1;
    }
    return selection;
}

TPairChecker::TPairChecker(const TCheckOptions& options)
    : units_(options.Units),
      checks_(options.Checks),
      source_(std::make_unique<TLanguageConventions>(LanguageConventions(options.SourceLanguage))),
      target_(std::make_unique<TLanguageConventions>(LanguageConventions(options.TargetLanguage))) {
}

TPairChecker::~TPairChecker() = default;
TPairChecker::TPairChecker(TPairChecker&&) noexcept = default;
TPairChecker& TPairChecker::operator=(TPairChecker&&) noexcept = default;

void TPairChecker::Check(std::string_view source, std::string_view target,
                         std::vector<TFinding>& findings) const {
    const checks::TReading s = checks::Read(source, units_);
    const checks::TReading t = checks::Read(target, units_);
    checks::TTexts texts;
    // An empty translation is that one fault: none of its numbers or marks is there either.
    if (IsEmpty(t)) {
        if (!IsEmpty(s) && checks_.Has(TCheck::Untranslated)) {
            texts.push_back(checks::EmptyTranslation());
            Add(TCheck::Untranslated, texts, source, target, findings);
        }
        return;
    }
    const checks::TPair pair{s, t, *source_, *target_, units_};
    for (const auto& [check, run] : kPairChecks) {
        if (!checks_.Has(check)) continue;
        run(pair, texts);
        Add(check, texts, source, target, findings);
    }
}

std::vector<TFinding> TPairChecker::Check(std::string_view source, std::string_view target) const {
    std::vector<TFinding> findings;
    Check(source, target, findings);
    return findings;
}

std::vector<TFinding> CheckPair(std::string_view source, std::string_view target,
                                const TCheckOptions& options) {
    return TPairChecker(options).Check(source, target);
}

std::string DismissalKey(TCheck check, std::string_view source, std::string_view target) {
    THasher hasher;
    const std::string length = std::to_string(source.size());
    hasher.Add(length);
    hasher.Add(":");
    hasher.Add(source);
    hasher.Add(target);
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hasher.Finish()));
    std::string key(CheckInfo(check).Id);
    return key.append(":").append(hex);
}

void DropDismissed(std::vector<TFinding>& findings, const TDismissals& dismissals) {
    std::erase_if(findings, [&](const TFinding& f) { return dismissals.IsDismissed(f.Key); });
}

}  // namespace quillfen
