// Where there is no translation memory: the commands record nothing and take none of its options.

#include "cli/recording.h"

namespace quillfen::cli {

struct TRecording::TState {};

std::vector<const TOption*> WithRecordingOptions(std::initializer_list<const TOption*> options) {
    return options;
}

TRecording::TRecording(const TArguments&, TPageSession&) {}
TRecording::~TRecording() = default;
int TRecording::Finish(const std::string&) { return 0; }

}  // namespace quillfen::cli
