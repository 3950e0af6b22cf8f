#pragma once

// Whether a page comes through Quillfen unchanged: an unchanged save gives its bytes back, and
// so does the way out and back in an exchange format (recombination of the text file and
// template, or a merge of a translation tool's untouched file and of the file with each source
// copied as its target, as tools do before a translator starts).

#include <cstddef>
#include <exception>
#include <string>

#include "core/tags.h"
#include "exchange/formats.h"

namespace quillfen {

struct TRoundTrip {
    std::size_t Phrases = 0;
    bool Saves = false;
    bool RoundTrips = false;
    // Why the way through the format failed, where it raised; null otherwise.
    std::exception_ptr Failure;
};

// Reads the page cut as tags and units say and tries both; a page that cannot be read raises.
// Its files are written in a folder of its own among the system's temporary files, removed
// afterwards.
TRoundTrip CheckRoundTrip(const std::string& page, TTags tags, TUnits units,
                          const TExchangeFormat& format);

// A new, empty folder among the system's temporary files; its path, in UTF-8 as every path of
// the program (scratch_posix.cpp, scratch_win.cpp).
std::string MakeScratchFolder();

}  // namespace quillfen
