#pragma once

// XLIFF 1.2, the file translation tools read and give back: one file element for the page, one
// trans-unit for each phrase (its number from 1 as its id), a sentence's placeholders as inline
// codes (<g> for a pair, <x/> for a tag alone) named as the textual form names them. Characters
// that XML 1.0 cannot hold (control characters, U+FFFE, U+FFFF, bytes that are no UTF-8) stand as
// <x ctype="x-quillfen-byte-HH"/>, one for each byte. A sentence's unit carries
// extype="x-sentence", so that its texts are read back in the textual form of a sentence (with
// its escapes) even when it has no placeholder. The header's note from="quillfen" carries the
// stamp of the page.
//
// Built only where libxml2 is (not in the Windows build), which reads the files back: without
// the network, without loading a DTD, refusing a file that declares entities.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "exchange/formats.h"

namespace quillfen {

extern const TExchangeFormat kXliffFormat;

// The file that kXliffFormat's export writes for the page at documentPath. Refuses a language
// option that is no language tag.
std::string XliffBytes(const TDocument& document, const std::string& documentPath,
                       const TExportOptions& options);

// A unit's target where a file goes out with translations (a site project's pages).
struct TXliffTarget {
    std::string Text;        // as the phrase would take it, in the textual form
    std::string_view State;  // XLIFF's state: "translated", "needs-review-translation"
    // A fuzzy match's: the source it translated and its score, written as an alt-trans so that
    // a translation tool shows the draft as the match it is.
    std::optional<std::string> OldSource = std::nullopt;
    int Score = 0;
};
struct TXliffContent {
    // The file's original, the page's path as its reader knows it (empty: the page's file name).
    std::string Original;
    // Whether phrase i has a unit (all when empty) and its target (none when empty or nullopt).
    std::function<bool(std::size_t)> Include;
    std::function<std::optional<TXliffTarget>(std::size_t)> Target;
};
// The file of the document's phrases with targets: only the units content includes, numbered as
// their phrases, read back by kXliffFormat's reader as any of its files.
std::string XliffBytes(const TDocument& document, const std::string& documentPath,
                       const TExportOptions& options, const TXliffContent& content);

}  // namespace quillfen
