// The translation memory in quillfen-cli: the options its commands share, and the recording of
// what save --set and merge write.

#include "cli/memory.h"

#include <charconv>
#include <iostream>

#include "cli/recording.h"
#include "cli/texts.h"
#include "core/errors.h"
#include "memory/sessionmemory.h"

namespace quillfen::cli {

const TOption kMemoryOption{"--tm", "FILE",
                            "the translation memory (default: the user's own,\n"
                            "$XDG_DATA_HOME/Quillfen/memory.sqlite)",
                            "der \xC3\x9C"
                            "bersetzungsspeicher (Vorgabe: der eigene des Benutzers,\n"
                            "$XDG_DATA_HOME/Quillfen/memory.sqlite)"};
const TOption kSourceLanguageOption{"--source-lang", "L",
                                    "the language translated from, where a page's lang names none",
                                    "die Sprache, aus der \xC3\xBC"
                                    "bersetzt wird, wo das lang einer Seite keine nennt"};
const TOption kTargetLanguageOption{"--target-lang", "L", "the language translated into",
                                    "die Sprache, in die \xC3\xBC"
                                    "bersetzt wird"};

std::unique_ptr<TMemory> OpenMemory(const TArguments& a) {
    if (const std::optional<std::string> path = a.Value(kMemoryOption.Name))
        return std::make_unique<TMemory>(*path);
    return TMemory::OpenDefault();
}

TLanguagePair LanguagesOption(const TArguments& a) {
    const std::string source = LanguageOption(a, kSourceLanguageOption);
    const std::string target = LanguageOption(a, kTargetLanguageOption);
    if (source.empty() || target.empty()) throw UsageError(TSaid::BothLanguagesNeeded);
    try {
        return MakeLanguagePair(source, target);
    } catch (const TError& e) {
        // "und" is a tag, but names no language.
        throw TUsageError{e.English(), e.what()};
    }
}

int MinScoreOption(const TArguments& a, const TOption& option, int fallback) {
    const std::optional<std::string> value = a.Value(option.Name);
    if (!value) return fallback;
    int score = 0;
    const auto [end, ec] = std::from_chars(value->data(), value->data() + value->size(), score);
    if (ec != std::errc() || end != value->data() + value->size() || score < 1 ||
        score > kInContextScore)
        throw UsageError(TSaid::ScoreTakes, {option.Name, *value});
    return score;
}

std::vector<const TOption*> WithRecordingOptions(std::initializer_list<const TOption*> options) {
    std::vector<const TOption*> all(options);
    all.insert(all.end(), {&kMemoryOption, &kSourceLanguageOption, &kTargetLanguageOption});
    return all;
}

struct TRecording::TState {
    TPageSession& Session;
    std::unique_ptr<TMemory> Memory;
    std::unique_ptr<TMemoryObserver> Observer;
};

TRecording::TRecording(const TArguments& a, TPageSession& session) {
    TLanguageOptions languages{LanguageOption(a, kSourceLanguageOption),
                               LanguageOption(a, kTargetLanguageOption)};
    if (languages.Target.empty()) return;
    if (!SessionLanguages(session, languages)) throw UnknownLanguageError(false);
    state_.reset(new TState{session, OpenMemory(a), nullptr});
    state_->Observer = std::make_unique<TMemoryObserver>(*state_->Memory, std::move(languages));
    session.AddObserver(state_->Observer.get());
}

TRecording::~TRecording() {
    if (state_) state_->Session.RemoveObserver(state_->Observer.get());
}

int TRecording::Finish(const std::string& page) {
    if (!state_) return 0;
    if (const std::exception_ptr failure = state_->Session.TakeObserverFailure()) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& e) {
            std::cerr << Say(TSaid::WrittenNotKept, {page, Describe(e)}) << '\n';
        }
        return 1;
    }
    return 0;
}

}  // namespace quillfen::cli
