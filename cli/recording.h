#pragma once

// What the commands that write a page (save --set, merge) keep in the translation memory: each
// replacement they wrote, under the page's language pair, when a target language is given.
// Where there is no memory (the Windows build), they take none of its options and keep nothing.

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "cli/command.h"
#include "session/pagesession.h"

namespace quillfen::cli {

// The options given, followed by the memory's (--tm, --source-lang, --target-lang) where there
// is a memory.
std::vector<const TOption*> WithRecordingOptions(std::initializer_list<const TOption*> options);

// Plugs the memory the options name into the session, its page open, for as long as it lives.
// Without --target-lang nothing is recorded and no memory is opened; with it, a memory that
// cannot be opened, or a page whose language neither its lang nor --source-lang names, raises
// before the page is written.
class TRecording {
  public:
    TRecording(const TArguments& arguments, TPageSession& session);
    ~TRecording();
    TRecording(const TRecording&) = delete;
    TRecording& operator=(const TRecording&) = delete;

    // After the page was written: 1 when the memory failed to keep what was written, told on
    // standard error naming page; else 0.
    int Finish(const std::string& page);

  private:
    struct TState;
    std::unique_ptr<TState> state_;
};

}  // namespace quillfen::cli
