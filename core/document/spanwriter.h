#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "core/markup/scan.h"
#include "core/text/encoding.h"

namespace quillfen {

// The one place where a new text becomes the bytes of a span in a page, for saving and for
// recombination alike. The page is written from its start: the bytes that stay go through Pass,
// each new text through Write, in page order.
class TSpanWriter {
  public:
    TSpanWriter(const TEncodingInfo& encoding, TEncodeMode mode, char quote = '"')
        : encoding_(encoding), mode_(mode), quote_(quote) {}

    // Bytes of the page that stand unchanged in front of the next span.
    void Pass(std::string_view bytes);
    // The bytes text becomes in a span read from source (EncodeForSpan, with quote for a value
    // that gets quotes). Where only blanks and control bytes stand in front, they do not start
    // as a byte-order mark would, so that the page is read in its encoding again
    // (KeepFromReadingAsMark).
    std::string Write(std::string_view text, TSource source);
    // The same for bytes already encoded for their span (a sentence, whose tags are written as
    // they stand).
    std::string WriteEncoded(std::string bytes);

  private:
    TEncodingInfo encoding_;
    TEncodeMode mode_;
    char quote_;
    bool atStart_ = true;  // nothing but blanks and control bytes so far
    bool empty_ = true;    // nothing at all so far
};

// Whether a page written with new texts would be read in another encoding than the one it
// was read in: a Windows-1252 page that, with its new texts, is all UTF-8 and declares nothing
// else.
bool ReadsOtherwise(const TEncodingInfo& encoding, std::string_view written);

// A page written with new texts, as render(mode) writes it, in the first mode with which it
// reads in its own encoding, and that mode. A Windows-1252 page without a declaration reads as
// such only because some bytes are no UTF-8, and umlauts may have been all of them: written as
// entities, the page would read as UTF-8 the next time, and its other high bytes would change
// their meaning ("\xC3\xA9" is two characters here and one there). Such a page keeps its umlauts
// as bytes; where the new texts' own high bytes read as UTF-8, they are written as references.
std::pair<TEncodeMode, std::string> WriteReadingAlike(
    const TEncodingInfo& encoding, const std::function<std::string(TEncodeMode)>& render);

}  // namespace quillfen
