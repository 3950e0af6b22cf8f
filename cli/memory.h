#pragma once

// What the commands of the translation memory share: the memory they use and its languages.
// Built only where the memory is (not on Windows).

#include <memory>
#include <string>

#include "cli/command.h"
#include "memory/memory.h"

namespace quillfen::cli {

extern const TOption kMemoryOption;          // --tm FILE
extern const TOption kSourceLanguageOption;  // --source-lang L
extern const TOption kTargetLanguageOption;  // --target-lang L

// The memory --tm names, else the user's own (made on first use).
std::unique_ptr<TMemory> OpenMemory(const TArguments& a);

// The language pair both options give; TUsageError when either is missing or no tag.
TLanguagePair LanguagesOption(const TArguments& a);

// The score the option gives, 1 to 101, else fallback; TUsageError for another value.
int MinScoreOption(const TArguments& a, const TOption& option, int fallback);

}  // namespace quillfen::cli
