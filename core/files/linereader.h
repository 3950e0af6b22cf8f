#pragma once

#include <cstddef>
#include <string_view>

namespace quillfen {

// The one reading of a text's lines: one after the other as views into its bytes. CR LF, a lone
// CR and a lone LF each end a line (so LF CR ends two), and a final line break starts no empty
// line. A zero byte is a byte of its line like any other: what reads the lines decides what it
// means. Recombination walks whole text files this way, so that no line is copied or even stored
// before it is needed.
class TLineReader {
  public:
    explicit TLineReader(std::string_view data);
    // The next line into line; false, with line untouched, once the text is used up.
    bool Next(std::string_view& line);

  private:
    const char* Find(char c, const char*& cached) const;

    const char* pos_;
    const char* end_;
    // The next CR and LF at or behind pos_ (end_ when there is none), each looked up only
    // once it has been passed: pages are long and most of their lines are short.
    const char* nextCr_ = nullptr;
    const char* nextLf_ = nullptr;
};

}  // namespace quillfen
