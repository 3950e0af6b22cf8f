#include "exchange/merge.h"

#include <algorithm>
#include <charconv>

#include "core/errors.h"
#include "core/files/filereader.h"
#include "core/markup/kinds.h"
#include "core/text/utf8.h"

namespace quillfen {

namespace {

// The phrase (from 0) that a unit's id names, or nullopt.
std::optional<std::size_t> PhraseOfUnit(const TDocument& document, std::string_view id) {
    std::size_t n = 0;
    const auto [end, ec] = std::from_chars(id.data(), id.data() + id.size(), n);
    if (ec != std::errc() || end != id.data() + id.size() || n == 0 || n > document.PhraseCount())
        return std::nullopt;
    return n - 1;
}

// Whether a unit's source is the phrase's text. A byte of the page that is no character a UTF-8
// file can hold, PO gives as U+FFFD.
bool ReadsAs(std::string_view source, std::string_view text) {
    if (source == text) return true;
    if (IsValidUtf8(text)) return false;
    std::string shown;
    SplitUtf8(
        text, [&](std::string_view run) { shown.append(run); },
        [&](unsigned char) { AppendUtf8(shown, 0xFFFD); });
    return source == shown;
}

// What the units of a file did to a phrase.
enum : std::uint8_t {
    kOwn = 1,       // a unit of ours names it
    kAdded = 2,     // a unit a tool added names it
    kTargeted = 4,  // a unit with a target names it
    kTaken = 8,     // a target went in
    kLeftOut = 16,  // a unit of it was left out
    kDoubled = 32,  // two units name it
};

// How much of a file's texts could be the document's: a source no longer than the longest phrase
// text (three times, for the U+FFFD that stands for a byte), a target no longer than all targets
// together may be.
TReadLimits LimitsFor(const TDocument& document) {
    std::size_t longest = 0;
    for (std::size_t i = 0; i < document.PhraseCount(); ++i)
        longest = std::max(longest, document.Text(i).size());
    return {3 * longest + 16, MaxTargetBytes(document.Page().size())};
}

}  // namespace

bool IsExportOf(const TDocument& document, const std::optional<TSourceStamp>& stamp) {
    return stamp && *stamp == StampOf(document);
}

TPageCut CutForMerge(const std::optional<TSourceStamp>& stamp, TPageCut otherwise) {
    return stamp ? TPageCut{stamp->Tags, stamp->Units} : otherwise;
}

TMergeReport MergeTranslation(TDocument& document, TUnitReader& units, const TMergeOptions& options,
                              const TWrite& write) {
    // Numbers name phrases only in the page the file was made from, cut the same way.
    const bool samePage = IsExportOf(document, units.Stamp());
    if (!samePage && !options.Force) throw TranslationOfOtherPageError();
    TMergeReport report;
    auto leave = [&](const TError& error) {
        ++report.LeftOut;
        if (report.Problems.size() < kReportedProblems) report.Problems.push_back(error);
    };
    auto fail = [&](const TError& error) {
        if (!options.SkipBad) throw error;
        leave(error);
    };
    std::vector<std::uint8_t> state(document.PhraseCount());
    TPhraseTexts texts;  // the checked targets that change their phrase
    // A translation is mostly as long as its phrase's text, which is no longer than the page.
    texts.Reserve(document.PhraseCount(), document.Page().size());
    std::size_t total = 0;
    const std::size_t totalLimit =
        std::min(MaxTargetBytes(document.Page().size()), TPhraseTexts::MaxBytes);
    bool doubledTaken = false;
    TTranslationUnit unit;
    while (units.Next(unit)) {
        const std::optional<std::size_t> phrase = PhraseOfUnit(document, unit.Id);
        if (!phrase) {
            fail(UnknownUnitError(unit.Id, unit.Line));
            continue;
        }
        const std::size_t i = *phrase;
        std::uint8_t& done = state[i];
        // A unit a tool added beside ours gives ours its target; any other second unit, or a
        // second target, leaves it open which is meant.
        const std::uint8_t named = unit.Added ? kAdded : kOwn;
        if ((done & named) || (unit.Target && (done & kTargeted))) {
            doubledTaken = doubledTaken || (done & kTaken);
            done |= kDoubled;
            fail(DoubledUnitError(unit.Id, unit.Line, i + 1));
            continue;
        }
        done |= named | (unit.Target ? kTargeted : 0);
        // A matching stamp says the page is the one exported, not that every unit still belongs
        // to its phrase: one that does not is faulty. In another page a number may name another
        // phrase: only one that still reads as the unit's source takes its translation.
        if (!unit.Kind.empty() && KindNamed(unit.Kind) != document.Kind(i)) {
            done |= kLeftOut;
            const TError error = KindMismatchUnitError(unit.Id, unit.Line, unit.Kind, i + 1,
                                                       KindInfo(document.Kind(i)).Letter);
            samePage ? fail(error) : leave(error);
            continue;
        }
        if (unit.SourceTooLong || !ReadsAs(unit.Source, document.Text(i))) {
            done |= kLeftOut;
            if (samePage)
                fail(SourceMismatchUnitError(unit.Id, unit.Line, i + 1));
            else
                leave(SourceChangedUnitError(unit.Id, unit.Line));
            continue;
        }
        if (!unit.Target) continue;
        const bool placeholders = !document.Placeholders(i).empty();
        std::optional<TError> fault;
        if (unit.TargetTooLong || unit.Target->size() > MaxTargetBytes(unit.Source.size()))
            fault = TargetTooLongUnitError(unit.Id, unit.Line, false);
        else if (!unit.Inline.empty() &&
                 (!placeholders || (unit.Inline != "<g>" && unit.Inline != "<x>")))
            fault = InlineMarkupUnitError(unit.Id, unit.Line, unit.Inline, i + 1, placeholders);
        else if (unit.Target->size() > totalLimit - total)
            fault = TargetTooLongUnitError(unit.Id, unit.Line, true);
        if (!fault) {
            try {
                std::string text = CheckedText(document, i, *unit.Target);
                total += text.size();
                done |= kTaken;
                if (text != document.Text(i)) texts.Add(i, text);
                continue;
            } catch (const TError& error) {
                fault = MergeUnitError(unit.Id, unit.Line, error);
            }
        }
        done |= kLeftOut;
        fail(*fault);
    }
    // Of a phrase two units name, neither goes in.
    if (doubledTaken)
        texts.Filter([&](std::size_t i, std::string_view) { return !(state[i] & kDoubled); });
    for (const std::uint8_t done : state) {
        if (done & kDoubled) continue;
        if (done & kTaken)
            ++report.Translated;
        else if ((done & (kOwn | kAdded)) && !(done & kLeftOut))
            ++report.Kept;
    }
    state = {};
    ReplaceCheckedPhrases(document, std::move(texts), write);
    return report;
}

TMergeReport MergeTranslation(TDocument& document, const TTranslationFile& file,
                              const TMergeOptions& options, const TWrite& write) {
    TUnitsOfFile units(file);
    return MergeTranslation(document, units, options, write);
}

std::optional<TSourceStamp> ReadTranslationStamp(const TExchangeFormat& format,
                                                 const std::string& path) {
    if (!format.ReadUnits) return format.ReadTranslation(ReadFileBytes(path), path).Stamp;
    // No text of a unit is needed, and none is kept.
    return format.ReadUnits(std::make_unique<TFileReader>(path), path, {0, 0})->Stamp();
}

TMergeReport MergeTranslationFile(TDocument& document, const TExchangeFormat& format,
                                  const std::string& path, const TMergeOptions& options,
                                  const TWrite& write) {
    if (!format.ReadUnits)
        return MergeTranslation(document, format.ReadTranslation(ReadFileBytes(path), path),
                                options, write);
    const std::unique_ptr<TUnitReader> units =
        format.ReadUnits(std::make_unique<TFileReader>(path), path, LimitsFor(document));
    return MergeTranslation(document, *units, options, write);
}

}  // namespace quillfen
